#include "document/RecordTableModel.h"

#include "base/Cp932.h"
#include "document/DocHost.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "text/Cp932Text.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <numeric>

namespace tessera {

namespace {

QString ToQString(const std::string& cp932) {
    if (cp932.empty())
        return {};
    return Cp932ToDisplayString(cp932);
}

} // namespace

CRecordTableModel::CRecordTableModel(const CDocHost& host, QObject* parent)
    : QAbstractTableModel(parent), m_host(host) {}

void CRecordTableModel::Rebuild(const CRecordSet* set) {
    beginResetModel();
    m_set = set;
    m_titles.clear();
    m_order.clear();
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
            m_titles.append(!shown.empty() ? ToQString(shown)
                            : i < static_cast<int>(titles.size()) ? ToQString(titles[i])
                                                                  : QString());
        }
        m_order.resize(static_cast<std::size_t>(set->RecordCount()));
        std::iota(m_order.begin(), m_order.end(), 0);
    }
    endResetModel();
}

int CRecordTableModel::RefreshRecord(int recordIndex) {
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
    if (m_set == nullptr || column < 0 || column >= m_columns || m_order.empty())
        return;
    const std::size_t n = m_order.size();
    // Whole exchange texts are compared, however long they are.
    std::vector<QString> keys(n);
    std::string text;
    for (std::size_t row = 0; row < n; ++row) {
        const CDataRecord* record = m_set->RecordAt(m_order[row]);
        if (record != nullptr && record->FormatField(column, text, false))
            keys[row] = ToQString(text);
    }
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(false);
    std::vector<QCollatorSortKey> sortKeys;
    sortKeys.reserve(n);
    for (const QString& k : keys)
        sortKeys.push_back(collator.sortKey(k));

    std::vector<std::size_t> perm(n);
    std::iota(perm.begin(), perm.end(), std::size_t{0});
    std::sort(perm.begin(), perm.end(), [&](std::size_t a, std::size_t b) {
        const int c = sortKeys[a].compare(sortKeys[b]);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        // Equal texts stay in record order, whatever the table showed before.
        return m_order[a] < m_order[b];
    });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newOrder(n);
    std::vector<int> newRowOfOld(n);
    for (std::size_t newRow = 0; newRow < n; ++newRow) {
        newOrder[newRow] = m_order[perm[newRow]];
        newRowOfOld[perm[newRow]] = static_cast<int>(newRow);
    }
    m_order = std::move(newOrder);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& idx : from) {
        if (idx.row() >= 0 && idx.row() < static_cast<int>(n))
            to.append(index(newRowOfOld[static_cast<std::size_t>(idx.row())], idx.column()));
        else
            to.append(QModelIndex());
    }
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
            return ToQString(text);
        return {};
    }
    return ToQString(LimitText(text, limit, max));
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
