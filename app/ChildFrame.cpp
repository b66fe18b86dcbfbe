#include "app/ChildFrame.h"

#include "document/FindBar.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"

#include <QAction>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QIcon>
#include <QMenu>

namespace tessera {

CChildFrame::CChildFrame(CTesseraDoc& doc, QWidget* parent) : QMdiSubWindow(parent), m_doc(doc) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/icons/tessera-tsr.svg")));
    m_view = new CTesseraView(doc, this);
    setWidget(m_view);
    // The find bar goes above the table in the window's own layout, so the window's widget
    // stays the view itself.
    m_findBar = new CFindBar(*m_view, this);
    if (auto* box = qobject_cast<QBoxLayout*>(layout()))
        box->insertWidget(0, m_findBar);
    connect(&doc, &CTesseraDoc::TitleChanged, this, &CChildFrame::UpdateTitle);
    connect(&doc, &CTesseraDoc::ViewsChanged, this, &CChildFrame::UpdateTitle);
    connect(&doc, &CTesseraDoc::ModifiedChanged, this, &CChildFrame::UpdateTitle);
    // The main window's Ctrl+F4 closes the active document window; the same key on every
    // window's own menu made it ambiguous, so that it closed none.
    for (QAction* a : systemMenu()->actions())
        a->setShortcuts({});
    UpdateTitle();
}

CChildFrame::~CChildFrame() {
    // The view goes with the base class, after this frame has stopped being a CChildFrame;
    // the document's ViewsChanged from its destructor must not reach UpdateTitle here.
    disconnect(&m_doc, nullptr, this, nullptr);
    m_view = nullptr;
}

void CChildFrame::UpdateTitle() {
    const auto& views = m_doc.Views();
    QString title = m_doc.Title();
    if (views.size() > 1) {
        const int n = static_cast<int>(views.indexOf(m_view)) + 1;
        if (n > 0)
            title += QStringLiteral(":%1").arg(n);
    }
    if (m_doc.IsModified())
        title += QStringLiteral(" *");
    setWindowTitle(title);
}

void CChildFrame::closeEvent(QCloseEvent* e) {
    // Only the last window of a document asks; the others just go.
    const bool last = m_doc.Views().size() <= 1;
    if (last && !m_doc.IsClosing()) {
        if (!m_doc.SaveModified(this)) {
            e->ignore();
            return;
        }
        m_doc.SetClosing(true);
    }
    QMdiSubWindow::closeEvent(e);
}

} // namespace tessera
