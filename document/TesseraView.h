#pragma once
// The record table of a document window: one column per field, one row per record, whole
// rows selected (several at once), three-state sorting by a header click, column widths
// kept per field tag. Its record commands run through the CRecordCommands its window gives it.

#include "document/CommandTarget.h"
#include "document/UpdateHint.h"
#include "print/TablePrint.h"

#include <QString>
#include <QTableView>
#include <string>
#include <vector>

class QMenu;

namespace tessera {

class CDocHost;
class CRecordCommands;
class CRecordSet;
class CRecordTableModel;
class CTesseraDoc;

class CTesseraView : public QTableView, public CCommandTarget {
    Q_OBJECT
public:
    explicit CTesseraView(CTesseraDoc& doc, QWidget* parent = nullptr);
    ~CTesseraView() override;

    CTesseraDoc& Document() const { return m_doc; }
    CRecordTableModel* Model() const { return m_model; }

    // Hint 0 rebuilds the table, hint 1 replaces the row of the named record.
    void OnUpdate(QObject* sender, int hint, const CUpdateWindow* window);

    // The sort state: order 0 record order, 1 ascending, 2 descending.
    int SortColumn() const { return m_sortColumn; }
    int SortOrder() const { return m_sortOrder; }
    // What a click on the header of `column` does.
    void OnHeaderClicked(int column);

    // The find bar's text: only the records whose display texts hold every word of it are
    // shown (in the current sort order); empty shows all. A receive or a new record set
    // clears it.
    void SetFilterText(const QString& text);
    QString FilterText() const { return m_filterText; }
    bool IsFiltered() const;
    // Rows shown now and records in the document.
    int ShownCount() const;
    int TotalCount() const;
    // What the status bar's count pane shows for this view ("3 / 120 選択" with several rows
    // selected, "12 / 120 レコード" while filtered); empty for the plain record count.
    QString CountPaneText() const;

    // The table as printed: the rows shown in their order, the columns at their widths.
    CPrintTable PrintTable() const;

    // Record indices of the selected rows, in display order.
    std::vector<int> SelectedRecordIndices() const;
    int SelectedCount() const;
    // Record index of the focused row, -1 without one.
    int FocusedRecordIndex() const;

    // Column widths as the view keeps them (filled from the store on the first rebuild).
    const std::vector<int>& ColumnWidths() const { return m_widths; }
    // Empties the widths so the next rebuild reads the store again (a receive may bring
    // another kind).
    void ResetColumnWidths();
    // Writes the current widths to the store under each column's tag.
    void SaveColumnWidths();

    // The context menu of the table, with the current enable states.
    QMenu* CreateContextMenu(QWidget* parent);

    // The record commands and refresh; a view without record commands offers none of them.
    bool UpdateCommand(int id, CommandState& state) override;
    bool RunCommand(int id) override;

    void SetRecordCommands(CRecordCommands* commands) { m_commands = commands; }
    CRecordCommands* RecordCommands() const { return m_commands; }

signals:
    // The selection or focus moved: the command states may have changed.
    void CommandStatesChanged();
    // The filter changed or was cleared (the find bar shows FilterText()).
    void FilterChanged();

protected:
    void contextMenuEvent(QContextMenuEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Rebuild();
    void ApplyWidths();

    CTesseraDoc& m_doc;
    CRecordTableModel* m_model = nullptr;
    CRecordCommands* m_commands = nullptr;
    std::vector<int> m_widths;
    int m_sortColumn = -1;
    int m_sortOrder = 0;
    bool m_applyingWidths = false;
    std::vector<std::string> m_tags; // tags of the columns shown, for the width store
    QString m_filterText;
    const CRecordSet* m_shownSet = nullptr; // the set of the last rebuild
};

} // namespace tessera
