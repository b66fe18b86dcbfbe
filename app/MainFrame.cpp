#include "app/MainFrame.h"

#include "app/AboutDlg.h"
#include "app/AppResources.h"
#include "app/ChildFrame.h"
#include "app/Help.h"
#include "app/RecentFileList.h"
#include "app/TesseraApp.h"
#include "app/commands/MainCommands.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "document/CommandIds.h"
#include "document/RecordCommands.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "text/StringTable.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QUrl>

namespace tessera {

namespace {

// Web-page addresses when the string table has none.
const char* FallbackWebPage(int id) {
    switch (id) {
    case ID_HELP_WEB1:
        return "https://tessera.example.org/";
    case ID_HELP_WEB2:
        return "https://tessera.example.org/download/";
    case ID_HELP_WEB3:
        return "https://tessera.example.org/faq/";
    default:
        return "https://tessera.example.org/addins/";
    }
}

int WebStringId(int id) {
    switch (id) {
    case ID_HELP_WEB1:
        return 4004;
    case ID_HELP_WEB2:
        return 4005;
    case ID_HELP_WEB3:
        return 4006;
    default:
        return 4007;
    }
}

QString Str(int id, const char* fallback) {
    const std::string& s = LoadString(id);
    return s.empty() ? QString::fromUtf8(fallback) : Cp932ToQString(s);
}

} // namespace

CMainFrame::CMainFrame(CTesseraApp& app, CommandTableFn commands, QWidget* parent)
    : QMainWindow(parent), m_app(app) {
    InitAppResources();
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Tessera"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tessera.svg")));
    setAcceptDrops(true);

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MdiArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

    m_updateTimer = new QTimer(this);
    m_updateTimer->setSingleShot(true);
    m_updateTimer->setInterval(0);
    connect(m_updateTimer, &QTimer::timeout, this, [this] {
        UpdateCommands();
        RefreshStatusPanes();
    });

    m_records = std::make_unique<CRecordCommands>(m_app.RecordHost());
    m_router =
        std::make_unique<CCommandRouter>(commands ? commands(*this) : MainCommandTable(*this),
                                         [this] { return IsDocumentLocked(ActiveDocument()); });
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    SwitchMenus(false);
    RebuildRecentMenus();

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &CMainFrame::ScheduleUpdate);
    connect(&m_app, &CTesseraApp::BusyChanged, this, &CMainFrame::ScheduleUpdate);
    UpdateCommands();
    RefreshStatusPanes();
    m_placementReady = true;
}

CMainFrame::~CMainFrame() {
    // Views write their column widths while their documents still exist; nothing asks any
    // more, and the documents no longer report to this window.
    for (CTesseraDoc* doc : m_docs) {
        doc->SetClosing(true);
        disconnect(doc, nullptr, this, nullptr);
    }
    // Closed windows wait for their deferred deletion and are no longer listed by the area:
    // they go now too, before the documents their views point to.
    const QList<CChildFrame*> windows = findChildren<CChildFrame*>();
    for (CChildFrame* w : windows)
        delete w;
    qDeleteAll(m_docs);
    m_docs.clear();
}

// ---------------------------------------------------------------- documents

QList<CTesseraDoc*> CMainFrame::Documents() const {
    // A document whose windows are closing is on its way out.
    QList<CTesseraDoc*> open;
    for (CTesseraDoc* doc : m_docs)
        if (!doc->IsClosing())
            open.append(doc);
    return open;
}

CTesseraDoc* CMainFrame::FindDocument(const QString& path) const {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return nullptr;
    for (CTesseraDoc* doc : m_docs)
        if (!doc->IsClosing() && doc->PathName() == canonical)
            return doc;
    return nullptr;
}

CTesseraDoc* CMainFrame::AdoptDocument(CTesseraDoc* doc) {
    doc->setParent(this);
    m_docs.append(doc);
    connect(doc, &CTesseraDoc::LastViewClosed, this, [this, doc] { OnLastViewClosed(doc); });
    connect(doc, &CTesseraDoc::Updated, this, &CMainFrame::ScheduleUpdate);
    connect(doc, &CTesseraDoc::ModifiedChanged, this, &CMainFrame::ScheduleUpdate);
    connect(doc, &CTesseraDoc::TitleChanged, this, &CMainFrame::ScheduleUpdate);
    // Undo and redo follow the history, and name the step they would take.
    connect(&doc->UndoStack(), &QUndoStack::indexChanged, this, &CMainFrame::ScheduleUpdate);
    connect(&doc->UndoStack(), &QUndoStack::cleanChanged, this, &CMainFrame::ScheduleUpdate);
    connect(doc, &CTesseraDoc::UndoStateChanged, this, &CMainFrame::ScheduleUpdate);
    CreateChild(doc);
    SwitchMenus(true);
    emit DocumentOpened(doc);
    ScheduleUpdate();
    return doc;
}

CChildFrame* CMainFrame::CreateChild(CTesseraDoc* doc) {
    auto* child = new CChildFrame(*doc);
    child->View()->SetRecordCommands(m_records.get());
    m_mdi->addSubWindow(child);
    connect(child->View(), &CTesseraView::CommandStatesChanged, this, &CMainFrame::ScheduleUpdate);
    child->resize(qMax(320, m_mdi->width() * 3 / 4), qMax(200, m_mdi->height() * 3 / 4));
    child->show();
    m_mdi->setActiveSubWindow(child);
    child->View()->setFocus();
    return child;
}

CTesseraDoc* CMainFrame::NewDocument() {
    auto doc = std::make_unique<CTesseraDoc>(m_app);
    if (!doc->OnNewDocument())
        return nullptr;
    return AdoptDocument(doc.release());
}

CTesseraDoc* CMainFrame::OpenDocumentFile(const QString& path) {
    if (CTesseraDoc* open = FindDocument(path)) {
        const auto views = open->Views();
        if (!views.isEmpty()) {
            for (QMdiSubWindow* w : m_mdi->subWindowList())
                if (w->widget() == views.first()) {
                    if (w->isMinimized())
                        w->showNormal();
                    m_mdi->setActiveSubWindow(w);
                }
        }
        return open;
    }
    auto doc = std::make_unique<CTesseraDoc>(m_app);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = doc->OnOpenDocument(path);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        // The reader has said why; the entry leaves the recent-file list.
        m_app.RecentFiles().Remove(path);
        RebuildRecentMenus();
        return nullptr;
    }
    RebuildRecentMenus();
    return AdoptDocument(doc.release());
}

CChildFrame* CMainFrame::NewWindow() {
    CTesseraDoc* doc = ActiveDocument();
    return doc != nullptr ? CreateChild(doc) : nullptr;
}

bool CMainFrame::CloseDocument(CTesseraDoc* doc) {
    if (!doc->SaveModified(this))
        return false;
    doc->SetClosing(true);
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        auto* child = qobject_cast<CChildFrame*>(w);
        if (child != nullptr && &child->Document() == doc)
            child->close();
    }
    return true;
}

bool CMainFrame::SaveAllModified() {
    for (CTesseraDoc* doc : m_docs) {
        if (!doc->SaveModified(this))
            return false;
        doc->SetClosing(true);
    }
    return true;
}

void CMainFrame::CloseAllDocuments() {
    for (CTesseraDoc* doc : m_docs)
        doc->SetClosing(true);
    m_mdi->closeAllSubWindows();
}

void CMainFrame::OnLastViewClosed(CTesseraDoc* doc) {
    m_docs.removeAll(doc);
    doc->deleteLater();
    if (m_docs.isEmpty())
        SwitchMenus(false);
    ScheduleUpdate();
}

CChildFrame* CMainFrame::ActiveChild() const {
    return qobject_cast<CChildFrame*>(m_mdi->activeSubWindow());
}

CTesseraView* CMainFrame::ActiveView() const {
    CChildFrame* child = ActiveChild();
    return child != nullptr ? child->View() : nullptr;
}

CTesseraDoc* CMainFrame::ActiveDocument() const {
    CChildFrame* child = ActiveChild();
    return child != nullptr ? &child->Document() : nullptr;
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* w) {
    auto* child = qobject_cast<CChildFrame*>(w);
    setWindowTitle(child != nullptr ? QStringLiteral("Tessera - %1").arg(child->windowTitle())
                                    : QStringLiteral("Tessera"));
    ScheduleUpdate();
}

void CMainFrame::OnFileOpen() {
    const QString path = m_app.GetOpenFileName(this);
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

void CMainFrame::OnOpenRecent(int index) {
    const QStringList& files = m_app.RecentFiles().Files();
    if (index < 0 || index >= files.size())
        return;
    OpenDocumentFile(files[index]);
}

void CMainFrame::RebuildRecentMenus() {
    for (QMenu* m : m_fileMenus)
        for (QAction* a : m_recentActions)
            m->removeAction(a);
    qDeleteAll(m_recentActions);
    m_recentActions.clear();

    const CRecentFileList& list = m_app.RecentFiles();
    if (list.Files().isEmpty()) {
        auto* none = new QAction(QStringLiteral("最近使ったファイル"), this);
        none->setEnabled(false);
        m_recentActions.append(none);
    }
    for (int i = 0; i < list.Files().size(); ++i) {
        auto* a = new QAction(list.MenuText(i), this);
        a->setStatusTip(QStringLiteral("%1 を開きます").arg(list.Files()[i]));
        a->setObjectName(QStringLiteral("recent%1").arg(i + 1));
        connect(a, &QAction::triggered, this, [this, i] { OnOpenRecent(i); });
        m_recentActions.append(a);
    }
    for (int m = 0; m < m_fileMenus.size(); ++m)
        m_fileMenus[m]->insertActions(m_recentAnchors[m], m_recentActions);
}

void CMainFrame::ArrangeIcons() {
    const QRect area = m_mdi->viewport()->rect();
    int x = 0;
    int y = area.bottom();
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isMinimized())
            continue;
        const QSize s = w->size();
        if (x > 0 && x + s.width() > area.width()) {
            x = 0;
            y -= s.height();
        }
        w->move(x, y - s.height() + 1);
        x += s.width();
    }
}

// ---------------------------------------------------------------- status bar

QString CMainFrame::KindPaneText() const {
    if (ActiveChild() == nullptr)
        return QStringLiteral(" ");
    const CRecordSet* set = ActiveDocument()->RecordSet();
    if (set != nullptr && IsValidKind(set->Kind()))
        return Cp932ToQString(LoadString(4095 + set->Kind()));
    return Str(4111, "不明");
}

QString CMainFrame::CountPaneText() const {
    if (ActiveChild() == nullptr)
        return QStringLiteral(" ");
    // Several rows selected, or a filter on: the view says how many of how many.
    if (CTesseraView* view = ActiveView(); view != nullptr && !view->CountPaneText().isEmpty())
        return view->CountPaneText();
    const CRecordSet* set = ActiveDocument()->RecordSet();
    const int count = set != nullptr ? set->RecordCount() : 0;
    if (count < 1)
        return Str(4115, "レコード無し");
    if (!HasString(4114))
        return QStringLiteral("%1レコード").arg(count, 4);
    return Cp932ToQString(FormatString(4114, count)).left(15);
}

QString CMainFrame::MethodPaneText() const {
    return m_app.Settings().Method == 0 ? Str(4112, "ASK赤外線") : Str(4113, "ケーブル");
}

void CMainFrame::RefreshStatusPanes() {
    m_kindPane->setText(KindPaneText());
    m_countPane->setText(CountPaneText());
    m_methodPane->setText(MethodPaneText());
}

// ---------------------------------------------------------------- help and about

void CMainFrame::ShowAbout() {
    CAboutDlg dlg(this);
    dlg.exec();
}

void CMainFrame::ShowHelpContents() {
    ShowHelpTopic(kHelpContents);
}

void CMainFrame::ShowContextHelp() {
    ShowHelpTopic(kHelpTopicBase + (ActiveView() != nullptr ? 129u : 128u));
}

void CMainFrame::OpenWebPage(int id) {
    const std::string& s = LoadString(WebStringId(id));
    const QString address =
        s.empty() ? QString::fromLatin1(FallbackWebPage(id)) : Cp932ToQString(s);
    // A failing browser start is ignored.
    m_app.OpenUrl(QUrl(address));
}

// ---------------------------------------------------------------- window events

QWidget* CMainFrame::RunningModalWork() const {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal != this ? modal : nullptr;
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // Only a termination signal closes the window under modal work (its nested event loop
    // still runs). The documents must outlive it: an export reads a document's records
    // throughout. The work is cancelled first (a filter's busy dialog stops its program),
    // and the window closes once it has returned.
    if (QWidget* modal = RunningModalWork()) {
        e->ignore();
        if (auto* dlg = qobject_cast<QDialog*>(modal)) {
            QPointer<CMainFrame> self(this);
            connect(
                dlg, &QDialog::finished, this,
                [self] {
                    if (self)
                        QTimer::singleShot(0, self.data(), [self] {
                            if (self)
                                self->close();
                        });
                },
                Qt::SingleShotConnection);
            dlg->reject();
        } else {
            modal->close();
        }
        return;
    }
    if (m_app.IsBusy() || !SaveAllModified()) {
        for (CTesseraDoc* doc : m_docs)
            doc->SetClosing(false);
        e->ignore();
        return;
    }
    CloseAllDocuments();
    e->accept();
}

void CMainFrame::RecordPlacement() {
    if (!m_placementReady)
        return;
    CAppSettings& s = m_app.Settings();
    s.WindowStyle = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    // The client rectangle: it is what the next start gives back to setGeometry.
    const QRect r = geometry();
    s.WindowLeft = r.x();
    s.WindowTop = r.y();
    s.WindowRight = r.x() + r.width();
    s.WindowBottom = r.y() + r.height();
}

void CMainFrame::ApplyStoredPlacement() {
    const CAppSettings& s = m_app.Settings();
    if (!s.ApplyStoredRect())
        return;
    const QRect r(s.WindowLeft, s.WindowTop, s.WindowRight - s.WindowLeft,
                  s.WindowBottom - s.WindowTop);
    if (r.width() < 100 || r.height() < 60)
        return;
    // A rectangle left on a screen that is no longer there would hide the window.
    bool onScreen = QGuiApplication::screens().isEmpty();
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(r))
            onScreen = true;
    if (!onScreen)
        return;
    const bool ready = m_placementReady;
    m_placementReady = false;
    setGeometry(r);
    m_placementReady = ready;
}

void CMainFrame::ShowWithStoredState() {
    ApplyStoredPlacement();
    switch (m_app.Settings().ShowState()) {
    case WindowShowState::Minimized:
        showMinimized();
        break;
    case WindowShowState::Maximized:
        showMaximized();
        break;
    default:
        show();
        break;
    }
}

void CMainFrame::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    RecordPlacement();
}

void CMainFrame::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    RecordPlacement();
}

void CMainFrame::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange)
        RecordPlacement();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) {
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile()) {
                e->acceptProposedAction();
                return;
            }
    }
    e->ignore();
}

void CMainFrame::dropEvent(QDropEvent* e) {
    QStringList files;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    e->acceptProposedAction();
    activateWindow();
    for (const QString& f : files)
        OpenDocumentFile(f);
}

} // namespace tessera
