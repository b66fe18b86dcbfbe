#include "document/FindBar.h"

#include "base/Cp932.h"
#include "document/TesseraView.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace tessera {

namespace {

QString Text(int id) {
    return Cp932ToQString(LoadString(id));
}

} // namespace

CFindBar::CFindBar(CTesseraView& view, QWidget* parent) : QWidget(parent), m_view(view) {
    setObjectName(QStringLiteral("FindBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(6);
    auto* label = new QLabel(Text(ids::kStrFindLabel), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("FindEdit"));
    m_edit->setClearButtonEnabled(true);
    m_edit->setPlaceholderText(Text(ids::kStrFindHint));
    m_edit->setToolTip(Text(ids::kStrFindClear));
    m_edit->installEventFilter(this);
    label->setBuddy(m_edit);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("FindCount"));
    row->addWidget(label);
    row->addWidget(m_edit, 1);
    row->addWidget(m_count);

    // Every keystroke filters at once; the folded texts are kept, so this stays quick.
    connect(m_edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_view.SetFilterText(text); });
    connect(&m_view, &CTesseraView::FilterChanged, this, [this] {
        if (m_edit->text() != m_view.FilterText())
            m_edit->setText(m_view.FilterText());
        ShowCount();
    });
    connect(&m_view, &CTesseraView::CommandStatesChanged, this, &CFindBar::ShowCount);
    ShowCount();
}

void CFindBar::Activate() {
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void CFindBar::ShowCount() {
    if (!m_view.IsFiltered()) {
        m_count->clear();
        return;
    }
    const int shown = m_view.ShownCount();
    m_count->setText(
        shown == 0 ? Text(ids::kStrFindNone)
                   : Cp932ToQString(FormatString(ids::kStrFindShown, shown, m_view.TotalCount())));
}

bool CFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            m_edit->clear();
            m_view.setFocus(Qt::OtherFocusReason);
            return true;
        }
        // Down and Enter go to the rows found.
        if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Return ||
            key->key() == Qt::Key_Enter) {
            if (m_view.ShownCount() > 0 && !m_view.selectionModel()->currentIndex().isValid())
                m_view.selectRow(0);
            m_view.setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessera
