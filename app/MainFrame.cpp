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
#include "model/Prompter.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QUrl>

namespace tessera {

namespace {

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

// Every message shown while a file opens names that file: the reader's messages (2048,
// 1079, 1037, ...) do not know which file they are about, and several may open at once.
class CFileNamingPrompter : public Prompter {
public:
    explicit CFileNamingPrompter(const QString& path)
        : m_inner(CurrentPrompter()), m_name(QStringToCp932Lossy(QDir::toNativeSeparators(path))) {
        SetPrompter(this);
    }
    ~CFileNamingPrompter() override { SetPrompter(m_inner); }
    CFileNamingPrompter(const CFileNamingPrompter&) = delete;
    CFileNamingPrompter& operator=(const CFileNamingPrompter&) = delete;

    PromptResult Show(int id, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override {
        if (m_inner == nullptr)
            return DefaultPromptResult(buttons);
        return m_inner->Show(id, Named(text), icon, buttons);
    }
    PromptResult ShowWithDetails(int id, const std::string& text, PromptIcon icon,
                                 PromptButtons buttons, const std::string& details) override {
        if (m_inner == nullptr)
            return DefaultPromptResult(buttons);
        return m_inner->ShowWithDetails(id, Named(text), icon, buttons, details);
    }

private:
    std::string Named(const std::string& text) const {
        return FormatString(ids::kMsgInFile, text, m_name);
    }
    Prompter* m_inner;
    std::string m_name;
};

// Windows cascade by the height of a title bar.
int CascadeStep(const QWidget* w) {
    return qMax(16, w->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, w) + 6);
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
        UpdateCaption();
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
    connect(child, &QMdiSubWindow::windowStateChanged, this, &CMainFrame::ScheduleUpdate);
    connect(child, &QWidget::windowTitleChanged, this, &CMainFrame::ScheduleUpdate);
    PlaceNewChild(child);
    child->show();
    m_mdi->setActiveSubWindow(child);
    child->View()->setFocus();
    return child;
}

QSize CMainFrame::ChildSize(const QSize& area) {
    // Three quarters of the workspace, but never below a size that shows a few rows, nor
    // beyond the workspace itself.
    const int w = qMin(area.width(), qMax(kMinChildWidth, area.width() * 3 / 4));
    const int h = qMin(area.height(), qMax(kMinChildHeight, area.height() * 3 / 4));
    return {qMax(w, 1), qMax(h, 1)};
}

QRect CMainFrame::CascadeRect(int index, const QSize& area, int step) {
    const QSize size = ChildSize(area);
    // The cascade starts again at the top left before a window would leave the workspace.
    const int fit = 1 + qMax(0, qMin((area.width() - size.width()) / step,
                                     (area.height() - size.height()) / step));
    const int slot = index % fit;
    return {QPoint(slot * step, slot * step), size};
}

QSize CMainFrame::WorkspaceSize() const {
    // Without the scroll bars: windows placed inside it need none.
    return m_mdi->contentsRect().size();
}

void CMainFrame::PlaceNewChild(QMdiSubWindow* child) {
    int others = 0;
    for (QMdiSubWindow* w : m_mdi->subWindowList())
        if (w != child && w->isVisible() && !w->isMinimized())
            ++others;
    if (!isVisible()) {
        // The workspace has no size before the window is first shown (documents named on
        // the command line): these windows are placed when it is.
        m_unplaced.append(child);
        child->resize(kMinChildWidth, kMinChildHeight);
        return;
    }
    child->setGeometry(CascadeRect(others, WorkspaceSize(), CascadeStep(child)));
}

void CMainFrame::PlaceWaitingChildren() {
    if (m_unplaced.isEmpty())
        return;
    if (layout() != nullptr)
        layout()->activate();
    const QList<QPointer<QMdiSubWindow>> waiting = m_unplaced;
    m_unplaced.clear();
    int index = 0;
    for (const QPointer<QMdiSubWindow>& w : waiting)
        if (w && !w->isMinimized() && !w->isMaximized())
            w->setGeometry(CascadeRect(index++, WorkspaceSize(), CascadeStep(w)));
}

void CMainFrame::CascadeWindows() {
    // Back to front, so the active window ends up on top, at the last place.
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::StackingOrder))
        if (!w->isMinimized() && !w->isHidden())
            windows.append(w);
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    int index = 0;
    for (QMdiSubWindow* w : windows) {
        if (w->isMaximized())
            w->showNormal();
        w->setGeometry(CascadeRect(index++, WorkspaceSize(), CascadeStep(w)));
        w->raise();
    }
    if (active != nullptr)
        m_mdi->setActiveSubWindow(active);
}

void CMainFrame::ActivateNextWindow(bool forward) {
    if (forward)
        m_mdi->activateNextSubWindow();
    else
        m_mdi->activatePreviousSubWindow();
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
    bool ok = false;
    {
        CFileNamingPrompter naming(path);
        ok = doc->OnOpenDocument(path);
    }
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

void CMainFrame::OnSubWindowActivated(QMdiSubWindow*) {
    UpdateCaption();
    ScheduleUpdate();
}

QString CMainFrame::CaptionText() const {
    const QString app = QStringLiteral("Tessera");
    CChildFrame* child = ActiveChild();
    if (child == nullptr)
        return app;
    // A maximised document window has no title bar of its own: its name goes in brackets.
    if (child->isMaximized())
        return app + QStringLiteral(" - [") + child->windowTitle() + QLatin1Char(']');
    return app + QStringLiteral(" - ") + child->windowTitle();
}

void CMainFrame::UpdateCaption() {
    const QString wanted = CaptionText();
    if (windowTitle() == wanted)
        return;
    CChildFrame* child = ActiveChild();
    // The workspace adds " - [name]" itself to the caption it finds while a window is
    // maximised: it is given the bare name of the program then.
    setWindowTitle(child != nullptr && child->isMaximized() ? QStringLiteral("Tessera") : wanted);
    if (windowTitle() != wanted)
        setWindowTitle(wanted);
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
        auto* none = new QAction(Cp932ToQString(LoadString(ids::kStrNoRecentFiles)), this);
        none->setEnabled(false);
        m_recentActions.append(none);
    }
    for (int i = 0; i < list.Files().size(); ++i) {
        auto* a = new QAction(list.MenuText(i), this);
        a->setStatusTip(Cp932ToQString(LoadString(ids::kStrOpenRecentHint))
                            .replace(QStringLiteral("%s"), list.Files()[i]));
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
    ShowHelpTopic(kHelpContents); // says so itself when there is no manual or no browser
}

void CMainFrame::ShowContextHelp() {
    ShowHelpTopic(kHelpTopicBase + (ActiveView() != nullptr ? 129u : 128u));
}

QUrl CMainFrame::WebPageUrl(int id) {
    // An address that starts with '#' is a section of the installed manual; a resource
    // pack may give a web address instead.
    const QString address = Cp932ToQString(LoadString(WebStringId(id))).trimmed();
    if (address.startsWith(QLatin1Char('#')))
        return ManualUrl(address.mid(1));
    return QUrl(address);
}

void CMainFrame::OpenWebPage(int id) {
    const QUrl url = WebPageUrl(id);
    if (url.isEmpty() || !url.isValid()) {
        ShowMessage(ids::kMsgNoManual, PromptIcon::Warning, PromptButtons::Ok);
        return;
    }
    if (!m_app.OpenUrl(url))
        ShowMessage(ids::kMsgNoBrowser, PromptIcon::Warning, PromptButtons::Ok,
                    QStringToCp932Lossy(url.toDisplayString()));
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
    // The frame's rectangle, title bar included: applied as the client area it would put
    // the title bar above the screen.
    const QRect r = frameGeometry();
    s.WindowLeft = r.x();
    s.WindowTop = r.y();
    s.WindowRight = r.x() + r.width();
    s.WindowBottom = r.y() + r.height();
}

QRect CMainFrame::FitOnScreen(const QRect& frame, const QList<QRect>& screens) {
    // The screen that shows most of the rectangle; none at all: it is not applied.
    QRect best;
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect both = screen.intersected(frame);
        const qint64 area = qint64(both.width()) * both.height();
        if (area > bestArea) {
            bestArea = area;
            best = screen;
        }
    }
    if (bestArea == 0)
        return {};
    QRect r = frame;
    r.setWidth(qMin(r.width(), best.width()));
    r.setHeight(qMin(r.height(), best.height()));
    // The title bar stays on the screen, where it can be grabbed.
    if (r.top() < best.top())
        r.moveTop(best.top());
    if (r.left() < best.left())
        r.moveLeft(best.left());
    if (r.bottom() > best.bottom())
        r.moveBottom(best.bottom());
    if (r.right() > best.right())
        r.moveRight(best.right());
    return r;
}

void CMainFrame::ApplyStoredPlacement() {
    const CAppSettings& s = m_app.Settings();
    if (!s.ApplyStoredRect())
        return;
    const QRect stored(s.WindowLeft, s.WindowTop, s.WindowRight - s.WindowLeft,
                       s.WindowBottom - s.WindowTop);
    if (stored.width() < 100 || stored.height() < 60)
        return;
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QRect r = screens.isEmpty() ? stored : FitOnScreen(stored, screens);
    if (r.isEmpty())
        return; // a rectangle left on a screen that is no longer there would hide the window
    const bool ready = m_placementReady;
    m_placementReady = false;
    // move() places the frame; the client area is the frame less its borders (none known
    // before the first show, when the window system adds them around it).
    const QMargins borders(geometry().left() - frameGeometry().left(),
                           geometry().top() - frameGeometry().top(),
                           frameGeometry().right() - geometry().right(),
                           frameGeometry().bottom() - geometry().bottom());
    resize(r.size().shrunkBy(borders));
    move(r.topLeft());
    if (!isVisible())
        m_placedFrame = r; // the borders are known once shown
    m_placementReady = ready;
}

void CMainFrame::ShowWithStoredState() {
    ApplyStoredPlacement();
    switch (m_app.Settings().ShowState()) {
    case WindowShowState::Minimized:
        showMinimized();
        // Some window systems map a new window normally whatever it asked for: once it is
        // up, it is minimised again.
        QTimer::singleShot(0, this, [this] {
            if (windowState() == Qt::WindowNoState)
                showMinimized();
        });
        break;
    case WindowShowState::Maximized:
        showMaximized();
        break;
    default:
        show();
        break;
    }
}

void CMainFrame::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (m_placedFrame.isValid() && windowState() == Qt::WindowNoState) {
        // The stored rectangle is the frame's: the client area is what the borders leave.
        const QRect frame = m_placedFrame;
        const QSize borders = frameGeometry().size() - geometry().size();
        const bool ready = m_placementReady;
        m_placementReady = false;
        resize(frame.size() - borders);
        move(frame.topLeft());
        m_placementReady = ready;
    }
    m_placedFrame = QRect();
    // Once the window system has settled the size the workspace has.
    if (!m_unplaced.isEmpty())
        QTimer::singleShot(0, this, &CMainFrame::PlaceWaitingChildren);
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
