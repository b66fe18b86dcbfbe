#include "document/TesseraView.h"

#include "base/Cp932.h"
#include "document/CommandIds.h"
#include "document/DocHost.h"
#include "document/RecordCommands.h"
#include "document/RecordTableModel.h"
#include "document/TesseraDoc.h"
#include "model/Find.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <algorithm>

namespace tessera {

namespace {

constexpr int kDefaultWidth = 100;

struct PopupItem {
    int id;
    int textId;       // string-table entry of the item's text
    const char* text; // the text when the table has none
};

// The table's context menu; 0 is a separator.
constexpr PopupItem kPopup[] = {
    {ID_EDIT_UNDO, ID_EDIT_UNDO, ""},
    {ID_EDIT_REDO, ID_EDIT_REDO, ""},
    {0, 0, nullptr},
    {ID_EDIT_CUT, 9007, ""},
    {ID_EDIT_COPY, 9008, ""},
    {ID_EDIT_PASTE, 9009, ""},
    {0, 0, nullptr},
    {ID_RECORD_ADD, 9010, ""},
    {ID_RECORD_INSERT, 9011, ""},
    {ID_RECORD_DELETE, 9012, ""},
    {0, 0, nullptr},
    {ID_RECORD_SEND, ID_RECORD_SEND, ""},
    {0, 0, nullptr},
    {ID_RECORD_PROPERTIES, 9013, ""},
};

QString PopupText(const PopupItem& item) {
    const std::string& s = LoadString(item.textId);
    return s.empty() ? QString::fromUtf8(item.text) : Cp932ToQString(s);
}

bool IsViewCommand(int id) {
    switch (id) {
    case ID_RECORD_DELETE:
    case ID_RECORD_PROPERTIES:
    case ID_RECORD_ADD:
    case ID_RECORD_INSERT:
    case ID_EDIT_COPY:
    case ID_EDIT_CUT:
    case ID_EDIT_PASTE:
    case ID_SEND_TO_DEVICE:
    case ID_RECEIVE_FROM_DEVICE:
    case ID_RECORD_SEND:
    case ID_VIEW_REFRESH:
    case ID_EDIT_SELECT_ALL:
        return true;
    default:
        return false;
    }
}

// Rows are selected whole, so a single cell never shows its own focus frame.
class CRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

} // namespace

CTesseraView::CTesseraView(CTesseraDoc& doc, QWidget* parent)
    : QTableView(parent), m_doc(doc), m_model(new CRecordTableModel(doc.Host(), this)) {
    setModel(m_model);
    setItemDelegate(new CRowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSortingEnabled(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsClickable(true);
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setStretchLastSection(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setMinimumSectionSize(8);
    connect(columns, &QHeaderView::sectionClicked, this, &CTesseraView::OnHeaderClicked);
    connect(columns, &QHeaderView::sectionResized, this, [this](int i, int, int size) {
        if (!m_applyingWidths && i >= 0 && i < static_cast<int>(m_widths.size()))
            m_widths[static_cast<std::size_t>(i)] = size;
    });

    connect(&m_doc, &CTesseraDoc::Updated, this,
            [this](QObject* sender, int hint, const CUpdateWindow* w) {
                if (sender != this)
                    OnUpdate(sender, hint, w);
            });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTesseraView::CommandStatesChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CTesseraView::CommandStatesChanged);

    Rebuild();
    m_doc.AddView(this);
}

CTesseraView::~CTesseraView() {
    SaveColumnWidths();
    m_doc.RemoveView(this);
}

void CTesseraView::OnUpdate(QObject*, int hint, const CUpdateWindow* window) {
    if (hint == kHintRebuild) {
        Rebuild();
    } else if (hint == kHintRecord && window != nullptr) {
        // The row is redrawn where it stands, sorted or not, and becomes the selection.
        const int row = m_model->RefreshRecord(window->index);
        if (row >= 0) {
            selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
        }
    }
    emit CommandStatesChanged();
}

void CTesseraView::Rebuild() {
    const CRecordSet* set = m_doc.RecordSet();
    // Another set (a receive, a paste that gave the document its kind) starts unfiltered.
    const bool clearFilter = set != m_shownSet && !m_filterText.isEmpty();
    m_shownSet = set;
    if (clearFilter) {
        m_filterText.clear();
        m_model->SetFilter(std::string());
    }
    const int fields = set != nullptr ? set->FieldCount() : 0;
    const int shown = m_model->columnCount();

    // The user's width changes survive the rebuild; the first rebuild with fields reads
    // the store, as does a column that did not exist before.
    if (!m_widths.empty()) {
        for (int i = 0; i < std::min({fields, shown, static_cast<int>(m_widths.size())}); ++i)
            m_widths[static_cast<std::size_t>(i)] = columnWidth(i);
    }
    if (fields > 0 && static_cast<int>(m_widths.size()) < fields) {
        for (int i = static_cast<int>(m_widths.size()); i < fields; ++i)
            m_widths.push_back(m_doc.Host().FieldWidth(set->Tags()[static_cast<std::size_t>(i)]));
    }

    m_tags = set != nullptr ? set->Tags() : std::vector<std::string>{};
    m_model->Rebuild(set);
    ApplyWidths();

    if (m_sortOrder != 0 && m_sortColumn >= 0 && m_sortColumn < fields) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_model->SortRows(m_sortColumn, m_sortOrder == 2);
        QApplication::restoreOverrideCursor();
        horizontalHeader()->setSortIndicatorShown(true);
        horizontalHeader()->setSortIndicator(m_sortColumn, m_sortOrder == 1 ? Qt::AscendingOrder
                                                                            : Qt::DescendingOrder);
    } else {
        horizontalHeader()->setSortIndicatorShown(false);
    }
    if (clearFilter)
        emit FilterChanged();
}

void CTesseraView::SetFilterText(const QString& text) {
    if (text == m_filterText)
        return;
    m_filterText = text;
    std::string bytes;
    if (QStringToCp932(text, bytes))
        m_model->SetFilter(bytes);
    else // a character no record can hold matches nothing
        m_model->SetFilter(bytes, CFindQuery::Nothing());
    // The focused row stays in sight when it is still shown.
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid())
        scrollTo(current);
    emit FilterChanged();
    emit CommandStatesChanged();
}

CPrintTable CTesseraView::PrintTable() const {
    CPrintTable t;
    t.set = m_doc.RecordSet();
    t.documentName = m_doc.Title();
    for (int r = 0; r < m_model->rowCount(); ++r)
        t.rows.push_back(m_model->RecordIndexAt(r));
    const QHeaderView* header = horizontalHeader();
    // Columns in the order the header shows them; hidden ones stay off the paper.
    for (int v = 0; v < header->count(); ++v) {
        const int c = header->logicalIndex(v);
        if (!header->isSectionHidden(c))
            t.columns.push_back({c, columnWidth(c)});
    }
    return t;
}

bool CTesseraView::IsFiltered() const {
    return m_model->IsFiltered();
}

int CTesseraView::ShownCount() const {
    return m_model->rowCount();
}

int CTesseraView::TotalCount() const {
    return m_model->TotalRecords();
}

QString CTesseraView::CountPaneText() const {
    const int selected = SelectedCount();
    if (selected > 1)
        return Cp932ToQString(FormatString(ids::kStrSelectedOf, selected, ShownCount()));
    if (IsFiltered())
        return Cp932ToQString(FormatString(ids::kStrFindShown, ShownCount(), TotalCount()));
    return {};
}

void CTesseraView::ApplyWidths() {
    m_applyingWidths = true;
    const int columns = m_model->columnCount();
    for (int i = 0; i < columns && i < static_cast<int>(m_widths.size()); ++i) {
        // The stored width is taken as the list control took it: its low 16 bits.
        int w = m_widths[static_cast<std::size_t>(i)] & 0xFFFF;
        if (w <= 0 || w > 4000)
            w = kDefaultWidth;
        setColumnWidth(i, w);
    }
    m_applyingWidths = false;
}

void CTesseraView::OnHeaderClicked(int column) {
    if (column < 0 || column >= m_model->columnCount())
        return;
    m_sortOrder = column == m_sortColumn ? (m_sortOrder + 1) % 3 : 1;
    if (m_sortOrder == 0) {
        // Back to record order; the sort column stays for the next click.
        Rebuild();
        return;
    }
    m_sortColumn = column;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->SortRows(column, m_sortOrder == 2);
    QApplication::restoreOverrideCursor();
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(column, m_sortOrder == 1 ? Qt::AscendingOrder
                                                                  : Qt::DescendingOrder);
}

std::vector<int> CTesseraView::SelectedRecordIndices() const {
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<int> out;
    out.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& r : rows)
        out.push_back(m_model->RecordIndexAt(r.row()));
    return out;
}

int CTesseraView::SelectedCount() const {
    return static_cast<int>(selectionModel()->selectedRows().size());
}

int CTesseraView::FocusedRecordIndex() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? m_model->RecordIndexAt(current.row()) : -1;
}

void CTesseraView::ResetColumnWidths() {
    m_widths.clear();
}

void CTesseraView::SaveColumnWidths() {
    if (m_widths.empty())
        return;
    const int columns = m_model->columnCount();
    for (int i = 0; i < columns && i < static_cast<int>(m_tags.size()); ++i)
        m_doc.Host().SetFieldWidth(m_tags[static_cast<std::size_t>(i)], columnWidth(i));
}

bool CTesseraView::UpdateCommand(int id, CommandState& state) {
    if (!IsViewCommand(id))
        return false;
    if (id == ID_VIEW_REFRESH) {
        state.enabled = true;
        return true;
    }
    if (id == ID_EDIT_SELECT_ALL) {
        state.enabled = !IsDocumentLocked(&m_doc) && m_model->rowCount() > 0;
        return true;
    }
    // A document being received holds none of its records: nothing may change or read it.
    if (IsDocumentLocked(&m_doc) || m_commands == nullptr) {
        state.enabled = false;
        return true;
    }
    m_commands->UpdateCommand(*this, id, state);
    return true;
}

bool CTesseraView::RunCommand(int id) {
    if (!IsViewCommand(id))
        return false;
    if (id == ID_VIEW_REFRESH) {
        m_doc.UpdateAllViews(nullptr, kHintRebuild);
        return true;
    }
    if (id == ID_EDIT_SELECT_ALL) {
        // The rows shown: with a filter on, only the records found.
        if (!IsDocumentLocked(&m_doc))
            selectAll();
        return true;
    }
    if (!IsDocumentLocked(&m_doc) && m_commands != nullptr)
        m_commands->RunCommand(*this, id);
    return true;
}

QMenu* CTesseraView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("RecordPopup"));
    for (const PopupItem& item : kPopup) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(PopupText(item));
        a->setData(item.id);
        // Undo and redo belong to the document, the rest to this view.
        const int id = item.id;
        const bool docCommand = id == ID_EDIT_UNDO || id == ID_EDIT_REDO;
        CommandState state;
        if (docCommand)
            m_doc.UpdateCommand(id, state);
        else
            UpdateCommand(id, state);
        a->setEnabled(state.enabled);
        connect(a, &QAction::triggered, this, [this, id, docCommand] {
            if (docCommand)
                m_doc.RunCommand(id);
            else
                RunCommand(id);
        });
    }
    return menu;
}

void CTesseraView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu* menu = CreateContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
    e->accept();
}

void CTesseraView::mouseDoubleClickEvent(QMouseEvent* e) {
    // Any point on a row's height counts, also right of the last column.
    const int row = rowAt(e->position().toPoint().y());
    if (row < 0 || e->button() != Qt::LeftButton) {
        QTableView::mouseDoubleClickEvent(e);
        return;
    }
    selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
    RunCommand(ID_RECORD_PROPERTIES);
}

} // namespace tessera

namespace tessera {

void CTesseraView::keyPressEvent(QKeyEvent* e) {
    // Esc in the table clears the filter too.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && !m_filterText.isEmpty()) {
        SetFilterText(QString());
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

} // namespace tessera
