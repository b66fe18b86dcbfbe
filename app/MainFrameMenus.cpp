// The main window's actions (made from the command table), its two sets of menus, the
// toolbar and status bar, and the idle update of every command's state.
#include "app/AboutDlg.h"
#include "app/AppResources.h"
#include "app/ChildFrame.h"
#include "app/Help.h"
#include "app/MainFrame.h"
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
#include "resources/StringIds.h"
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

// An action's text without the detail an update may add to it.
constexpr const char* kBaseText = "tesseraBaseText";

QString Str(int id, const char* fallback = "") {
    const std::string& s = LoadString(id);
    return s.empty() ? QString::fromUtf8(fallback) : Cp932ToQString(s);
}

} // namespace

// ---------------------------------------------------------------- actions and menus

void CMainFrame::CreateActions() {
    for (const CommandEntry& def : m_router->Table()) {
        // The string table may hold the text (a resource pack can translate it).
        auto* a = new QAction(Str(CommandMenuTextId(def.id), def.text), this);
        a->setProperty(kBaseText, a->text());
        a->setData(def.id);
        a->setObjectName(QStringLiteral("cmd%1").arg(def.id));
        if (def.icon != nullptr)
            a->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(def.icon))));
        // The prompt "hint\ntool tip" of the string table, else the row's own texts.
        const QString prompt = Str(CommandPromptId(def.id));
        a->setStatusTip(prompt.isEmpty() ? QString::fromUtf8(def.hint)
                                         : prompt.section(QLatin1Char('\n'), 0, 0));
        a->setToolTip(prompt.isEmpty() ? QString::fromUtf8(def.tip)
                                       : prompt.section(QLatin1Char('\n'), 1));
        const QString keys = QString::fromLatin1(def.keys);
        if (!keys.isEmpty()) {
            QList<QKeySequence> seqs;
            for (const QString& k : keys.split(QLatin1Char(';')))
                seqs.append(QKeySequence(k, QKeySequence::PortableText));
            a->setShortcuts(seqs);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        if (def.id == ID_VIEW_TOOLBAR || def.id == ID_VIEW_STATUS_BAR) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        const int id = def.id;
        connect(a, &QAction::triggered, this, [this, id] { RouteCommand(id); });
        // Shortcuts work whichever menu set is shown.
        addAction(a);
        m_actions[id] = a;
    }
}

QAction* CMainFrame::Action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus() {
    auto menu = [this](int titleId, const char* name) {
        auto* m = new QMenu(Str(titleId), this);
        m->setObjectName(QString::fromLatin1(name));
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
        return m;
    };
    auto add = [this](QMenu* m, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0)
                m->addSeparator();
            else
                m->addAction(Action(id));
        }
    };
    auto fileTail = [this](QMenu* m) {
        // Recent files go between these two separators.
        m->addSeparator();
        m_recentAnchors.append(m->addSeparator());
        m->addAction(Action(ID_APP_EXIT));
        m_fileMenus.append(m);
    };

    // Menus while no document is open.
    QMenu* file0 = menu(9000, "FileMenu0");
    add(file0, {ID_FILE_NEW, ID_FILE_OPEN, 0, ID_ADDIN_TRANSFER, ID_FILE_BACKUP, 0,
                ID_FILE_EXPORT_BUNDLE, ID_FILE_PUBLISH});
    fileTail(file0);
    QMenu* view0 = menu(9002, "ViewMenu0");
    add(view0, {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR});
    QMenu* option0 = menu(9004, "OptionMenu0");
    add(option0, {ID_OPTION_SETTINGS, ID_OPTION_FILTERS});
    QMenu* help0 = menu(9006, "HelpMenu0");
    add(help0, {ID_HELP_INDEX, 0, ID_HELP_WEB1, ID_HELP_WEB2, ID_HELP_WEB3, ID_HELP_WEB4, 0,
                ID_APP_ABOUT});
    m_noDocMenus = {file0, view0, option0, help0};

    // Menus while a document is open.
    QMenu* file1 = menu(9000, "FileMenu1");
    add(file1, {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0,
                ID_SEND_TO_DEVICE, ID_RECEIVE_FROM_DEVICE, ID_ADDIN_TRANSFER, ID_FILE_BACKUP, 0,
                ID_FILE_IMPORT, ID_FILE_EXPORT, ID_FILE_EXPORT_BUNDLE, ID_FILE_PUBLISH, 0,
                ID_FILE_SEND_MAIL});
    add(file1, {0, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_EXPORT_PDF}); // printing
    fileTail(file1);
    QMenu* edit1 = menu(9001, "EditMenu1");
    add(edit1, {ID_EDIT_UNDO, ID_EDIT_REDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE});
    add(edit1, {0, ID_EDIT_SELECT_ALL, ID_EDIT_FIND}); // finding
    QMenu* view1 = menu(9002, "ViewMenu1");
    add(view1, {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, 0, ID_VIEW_REFRESH});
    QMenu* record1 = menu(9003, "RecordMenu1");
    add(record1, {ID_RECORD_ADD, ID_RECORD_INSERT, ID_RECORD_DELETE, 0, ID_RECORD_SEND, 0,
                  ID_RECORD_PROPERTIES});
    QMenu* option1 = menu(9004, "OptionMenu1");
    add(option1, {ID_OPTION_SETTINGS, ID_OPTION_FILTERS});
    m_windowMenu = menu(9005, "WindowMenu1");
    connect(m_windowMenu, &QMenu::aboutToShow, this, &CMainFrame::FillWindowMenu);
    QMenu* help1 = menu(9006, "HelpMenu1");
    add(help1, {ID_HELP_INDEX, 0, ID_HELP_WEB1, ID_HELP_WEB2, ID_HELP_WEB3, ID_HELP_WEB4, 0,
                ID_APP_ABOUT});
    m_docMenus = {file1, edit1, view1, record1, option1, m_windowMenu, help1};
    FillWindowMenu();
}

void CMainFrame::SwitchMenus(bool documents) {
    if (documents == m_documentMenus && !menuBar()->actions().isEmpty())
        return;
    m_documentMenus = documents;
    menuBar()->clear();
    for (QMenu* m : documents ? m_docMenus : m_noDocMenus)
        menuBar()->addMenu(m);
}

QList<QMenu*> CMainFrame::CurrentMenus() const {
    return m_documentMenus ? m_docMenus : m_noDocMenus;
}

void CMainFrame::FillWindowMenu() {
    m_windowMenu->clear();
    for (int id : std::initializer_list<int>{ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ,
                                             ID_WINDOW_ARRANGE})
        m_windowMenu->addAction(Action(id));
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    m_windowMenu->addSeparator();
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        ++n;
        QString title = w->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString text = n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                                    : QStringLiteral("%1 %2").arg(n).arg(title);
        QAction* a = m_windowMenu->addAction(text);
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        a->setStatusTip(Str(ids::kStrActivateWindowHint));
        QPointer<QMdiSubWindow> target(w);
        connect(a, &QAction::triggered, this, [this, target] {
            if (target) {
                if (target->isMinimized())
                    target->showNormal();
                m_mdi->setActiveSubWindow(target);
            }
        });
    }
}

void CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(Str(ids::kStrToolBarTitle), this);
    m_toolBar->setObjectName(QStringLiteral("MainToolBar"));
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    static constexpr int kButtons[] = {ID_FILE_NEW,
                                       ID_FILE_OPEN,
                                       ID_FILE_SAVE,
                                       0,
                                       ID_EDIT_CUT,
                                       ID_EDIT_COPY,
                                       ID_EDIT_PASTE,
                                       ID_EDIT_UNDO,
                                       ID_EDIT_REDO,
                                       0,
                                       ID_SEND_TO_DEVICE,
                                       ID_RECEIVE_FROM_DEVICE,
                                       0,
                                       ID_ADDIN_TRANSFER,
                                       0,
                                       ID_RECORD_ADD,
                                       ID_RECORD_DELETE,
                                       ID_RECORD_PROPERTIES,
                                       0,
                                       ID_APP_ABOUT};
    for (int id : kButtons) {
        if (id == 0)
            m_toolBar->addSeparator();
        else
            m_toolBar->addAction(Action(id));
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);
    connect(m_toolBar, &QToolBar::visibilityChanged, this, &CMainFrame::ScheduleUpdate);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    auto pane = [this, bar](int widestId, const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // Each pane is as wide as the widest text it can show.
        const QString text = Str(widestId);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(text) + 12);
        bar->addPermanentWidget(label);
        return label;
    };
    m_kindPane = pane(ID_INDICATOR_KIND, "KindPane");
    m_countPane = pane(ID_INDICATOR_COUNT, "CountPane");
    m_methodPane = pane(ID_INDICATOR_METHOD, "MethodPane");
}

// ---------------------------------------------------------------- command routing

CommandState CMainFrame::RouteUpdate(int id) {
    CommandState state;
    if (!m_router->UpdateCommand(id, state))
        state = CommandState{};
    return state;
}

bool CMainFrame::RouteCommand(int id) {
    // The handler may close this window: the update is asked for through a guard.
    QPointer<CMainFrame> self(this);
    const bool done = m_router->RunCommand(id);
    if (self)
        ScheduleUpdate();
    return done;
}

void CMainFrame::CloseActiveDocument() {
    if (CTesseraDoc* doc = ActiveDocument())
        CloseDocument(doc);
}

void CMainFrame::ScheduleUpdate() {
    if (!m_updateTimer->isActive())
        m_updateTimer->start();
}

void CMainFrame::UpdateCommands() {
    for (auto& [id, action] : m_actions) {
        const CommandState state = RouteUpdate(id);
        action->setEnabled(state.enabled);
        if (action->isCheckable())
            action->setChecked(state.checked);
        const QString text = CommandText(action->property(kBaseText).toString(), state.detail);
        if (action->text() != text)
            action->setText(text);
    }
}

QString CMainFrame::CommandText(const QString& text, const QString& detail) {
    if (detail.isEmpty())
        return text;
    // "元に戻す(&U) - レコードの削除<tab>Ctrl+Z": the detail goes before the shortcut.
    QString shown = detail;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    const QString name = tab < 0 ? text : text.left(tab);
    const QString keys = tab < 0 ? QString() : text.mid(tab);
    return name + QStringLiteral(" - ") + shown + keys;
}

} // namespace tessera
