#include "document/RecordTableModel.h"

#include "base/Cp932.h"
#include "document/DocHost.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "text/Cp932Text.h"

#include <algorithm>
#include <numeric>

namespace tessera {

namespace {

QString ToQString(const std::string& cp932) {
    if (cp932.empty())
        return {};
    return Cp932ToDisplayString(cp932);
}

// A cell shows the report's item separator (0x1F) as a bar and a TAB as a space: the fonts
// draw either as a missing-glyph box.
QString ShownText(const std::string& cp932) {
    QString s = ToQString(cp932);
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QChar(0x1F))
            s[i] = QChar(0xFF5C); // ｜
        else if (s[i] == QLatin1Char('\t'))
            s[i] = QLatin1Char(' ');
    }
    return s;
}

} // namespace

QString CRecordTableModel::CellText(const std::string& cp932) {
    return ShownText(cp932);
}

CRecordTableModel::CRecordTableModel(const CDocHost& host, QObject* parent)
    : QAbstractTableModel(parent), m_host(host) {}

void CRecordTableModel::Rebuild(const CRecordSet* set) {
    beginResetModel();
    m_set = set;
    m_titles.clear();
    m_order.clear();
    m_sorted.clear();
    m_columns = 0;
    if (set != nullptr) {
        m_columns = set->FieldCount();
        // A named field shows its name in the run's language; the set's own title (the one
        // files carry) is shown for a tag without one.
        const auto& titles = set->Titles();
        const auto& tags = set->Tags();
        for (int i = 0; i < m_columns; ++i) {
            const std::string& shown = i < static_cast<int>(tags.size())
                                           ? FieldDisplayName(MakeTag(tags[i]))
                                           : std::string();
            m_titles.append(!shown.empty()                        ? ToQString(shown)
                            : i < static_cast<int>(titles.size()) ? ToQString(titles[i])
                                                                  : QString());
        }
        m_sorted.resize(static_cast<std::size_t>(set->RecordCount()));
        std::iota(m_sorted.begin(), m_sorted.end(), 0);
    }
    m_findTexts.clear();
    m_findTextReady.clear();
    if (m_query.IsEmpty() || set == nullptr) {
        m_order = m_sorted;
    } else {
        // Filtered again below, once the reset is over (nothing is selected yet).
        m_order.clear();
    }
    endResetModel();
    if (!m_query.IsEmpty() && set != nullptr)
        ApplyFilter();
}

int CRecordTableModel::RefreshRecord(int recordIndex) {
    // Its find text is made again at the next search; the row stays shown meanwhile.
    if (recordIndex >= 0 && recordIndex < static_cast<int>(m_findTextReady.size()))
        m_findTextReady[static_cast<std::size_t>(recordIndex)] = false;
    const int row = RowOfRecord(recordIndex);
    if (row >= 0 && m_columns > 0)
        emit dataChanged(index(row, 0), index(row, m_columns - 1));
    return row;
}

int CRecordTableModel::RecordIndexAt(int row) const {
    if (row < 0 || row >= static_cast<int>(m_order.size()))
        return -1;
    return m_order[static_cast<std::size_t>(row)];
}

int CRecordTableModel::RowOfRecord(int recordIndex) const {
    // In record order the row is the index itself; after a sort it is looked up.
    if (recordIndex >= 0 && recordIndex < static_cast<int>(m_order.size()) &&
        m_order[static_cast<std::size_t>(recordIndex)] == recordIndex)
        return recordIndex;
    const auto it = std::find(m_order.begin(), m_order.end(), recordIndex);
    return it == m_order.end() ? -1 : static_cast<int>(it - m_order.begin());
}

void CRecordTableModel::SortRows(int column, bool descending) {
    if (m_set == nullptr || column < 0 || column >= m_columns || m_sorted.empty())
        return;
    const std::size_t n = m_sorted.size();
    // Whole exchange texts are compared byte by byte, however long they are: code page 932
    // order is the same on every machine, whatever its locale.
    std::vector<std::string> keys(n);
    for (std::size_t i = 0; i < n; ++i) {
        const CDataRecord* record = m_set->RecordAt(m_sorted[i]);
        if (record == nullptr || !record->FormatField(column, keys[i], false))
            keys[i].clear();
    }
    std::vector<std::size_t> perm(n);
    std::iota(perm.begin(), perm.end(), std::size_t{0});
    std::sort(perm.begin(), perm.end(), [&](std::size_t a, std::size_t b) {
        const int c = keys[a].compare(keys[b]);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        // Equal texts stay in record order, whatever the table showed before.
        return m_sorted[a] < m_sorted[b];
    });
    std::vector<int> sorted(n);
    for (std::size_t i = 0; i < n; ++i)
        sorted[i] = m_sorted[perm[i]];
    m_sorted = std::move(sorted);
    ApplyFilter();
}

void CRecordTableModel::SetFilter(const std::string& query) {
    SetFilter(query, CFindQuery(query));
}

void CRecordTableModel::SetFilter(const std::string& text, const CFindQuery& query) {
    m_filterText = text;
    m_query = query;
    ApplyFilter();
}

int CRecordTableModel::TotalRecords() const {
    return static_cast<int>(m_sorted.size());
}

void CRecordTableModel::ApplyFilter() {
    std::vector<int> order;
    if (m_query.IsEmpty() || m_set == nullptr) {
        order = m_sorted;
    } else {
        order.reserve(m_sorted.size());
        if (m_findTexts.size() != m_sorted.size()) {
            m_findTexts.assign(m_sorted.size(), {});
            m_findTextReady.assign(m_sorted.size(), false);
        }
        for (const int record : m_sorted) {
            const auto r = static_cast<std::size_t>(record);
            if (!m_findTextReady[r]) {
                if (const CDataRecord* rec = m_set->RecordAt(record))
                    m_findTexts[r] = RecordFindText(*rec);
                m_findTextReady[r] = true;
            }
            if (m_query.Matches(m_findTexts[r]))
                order.push_back(record);
        }
    }

    // The rows move as a layout change, so the selection and the focus stay on their
    // records wherever those now stand, and leave the rows no longer shown.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOfRecord(m_sorted.size(), -1);
    for (std::size_t row = 0; row < order.size(); ++row)
        newRowOfRecord[static_cast<std::size_t>(order[row])] = static_cast<int>(row);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& idx : from) {
        const int record = RecordIndexAt(idx.row());
        const int row = record >= 0 && record < static_cast<int>(newRowOfRecord.size())
                            ? newRowOfRecord[static_cast<std::size_t>(record)]
                            : -1;
        to.append(row >= 0 ? createIndex(row, idx.column()) : QModelIndex());
    }
    m_order = std::move(order);
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int CRecordTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int CRecordTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

std::string CRecordTableModel::LimitText(const std::string& text, bool limit, int maxBytes) {
    if (!limit || maxBytes <= 0 || static_cast<int>(text.size()) < maxBytes)
        return text;
    // Walk whole characters so the cut never falls between a lead byte and its trail byte.
    std::size_t cut = 0;
    const std::size_t max = static_cast<std::size_t>(maxBytes);
    while (cut < text.size()) {
        const std::size_t step = IsLeadByte(static_cast<unsigned char>(text[cut])) ? 2 : 1;
        if (cut + step > max)
            break;
        cut += step;
    }
    return text.substr(0, cut) + "...";
}

QVariant CRecordTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || m_set == nullptr || index.row() >= static_cast<int>(m_order.size()) ||
        index.column() >= m_columns)
        return {};
    const int recordIndex = m_order[static_cast<std::size_t>(index.row())];
    if (role == kRecordIndexRole)
        return recordIndex;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const CDataRecord* record = m_set->RecordAt(recordIndex);
    if (record == nullptr)
        return {};
    std::string text;
    if (!record->FormatField(index.column(), text, true))
        return QString();
    const bool limit = m_host.LimitFieldWidth();
    const int max = m_host.MaxFieldWidth();
    if (role == Qt::ToolTipRole) {
        // The whole text, for the cells that the width limit cuts short.
        if (limit && static_cast<int>(text.size()) >= max)
            return ShownText(text);
        return {};
    }
    return ShownText(LimitText(text, limit, max));
}

QVariant CRecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_titles.size())
            return {};
        if (role == Qt::DisplayRole)
            return m_titles[section];
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }
    if (role == Qt::DisplayRole && section >= 0 && section < static_cast<int>(m_order.size()))
        return section + 1;
    return {};
}

Qt::ItemFlags CRecordTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace tessera
