#pragma once
// The record table's model: reads the document's record set directly (nothing is copied
// into the model, so a set of 100 000 records costs only a row-order index), one column per
// field headed by its title, display texts as cells.

#include "model/Find.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <string>
#include <vector>

namespace tessera {

class CRecordSet;
class CDocHost;

class CRecordTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Item data role that holds a row's record index in the set.
    static constexpr int kRecordIndexRole = Qt::UserRole + 1;

    explicit CRecordTableModel(const CDocHost& host, QObject* parent = nullptr);

    // Shows `set` in record order (null shows nothing).
    void Rebuild(const CRecordSet* set);
    // The record at `recordIndex` changed: its row is redrawn where it stands.
    int RefreshRecord(int recordIndex);

    // Sorts the rows by the exchange texts of `column`: ascending or descending, in code
    // page 932 byte order on every locale; rows with equal texts keep record order.
    void SortRows(int column, bool descending);

    // Shows only the records whose display texts match `query` (an empty query shows all),
    // in the current sort order. The folded texts are kept per record, so typing costs one
    // search through them.
    void SetFilter(const std::string& query);
    void SetFilter(const std::string& text, const CFindQuery& query);
    const std::string& FilterText() const { return m_filterText; }
    bool IsFiltered() const { return !m_query.IsEmpty(); }
    // Rows shown and records in the set.
    int TotalRecords() const;

    int RecordIndexAt(int row) const;
    int RowOfRecord(int recordIndex) const;
    const CRecordSet* RecordSet() const { return m_set; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The display text as the table shows it: with the width limit on, a text of `maxBytes`
    // bytes or more is cut after at most `maxBytes` bytes (never inside a double-byte
    // character) and "..." is appended.
    static std::string LimitText(const std::string& text, bool limit, int maxBytes);
    // A display text as a cell shows it: the report's item separator as a bar, a TAB as a
    // space.
    static QString CellText(const std::string& cp932);

private:
    const CDocHost& m_host;
    const CRecordSet* m_set = nullptr;
    void ApplyFilter();

    std::vector<int> m_order;  // row -> record index, the rows shown
    std::vector<int> m_sorted; // every record index in the current sort order
    std::string m_filterText;
    CFindQuery m_query;
    mutable std::vector<std::u16string> m_findTexts; // per record, made on the first search
    mutable std::vector<bool> m_findTextReady;
    QStringList m_titles;
    int m_columns = 0;
};

} // namespace tessera
