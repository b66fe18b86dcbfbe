#pragma once
// The main window: documents in sub-windows, the menus (one set while no document is open,
// another once one is), the toolbar, the status bar with the kind, count and link-method
// panes, the recent-file list, and the commands that belong to no document.

#include "app/commands/CommandRouter.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;
class QUrl;

namespace tessera {

class CChildFrame;
class CRecordCommands;
class CTesseraApp;
class CTesseraDoc;
class CTesseraView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // `commands` builds the window's command table; empty = MainCommandTable.
    explicit CMainFrame(CTesseraApp& app, CommandTableFn commands = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // ---- documents ----
    CTesseraDoc* NewDocument();
    // Opens `path`, or brings its window forward when it is already open. Null (after the
    // messages) when the file cannot be opened.
    CTesseraDoc* OpenDocumentFile(const QString& path);
    // A second window on the document of the active window.
    CChildFrame* NewWindow();
    // Asks to save and closes every window of `doc`; false when the user cancelled.
    bool CloseDocument(CTesseraDoc* doc);
    // The exit question for every document; false when the user cancelled one.
    bool SaveAllModified();
    void CloseAllDocuments();
    QList<CTesseraDoc*> Documents() const;
    CTesseraDoc* FindDocument(const QString& path) const;

    CChildFrame* ActiveChild() const;
    CTesseraView* ActiveView() const;
    CTesseraDoc* ActiveDocument() const;
    QMdiArea* MdiArea() const { return m_mdi; }
    QToolBar* ToolBar() const { return m_toolBar; }
    CTesseraApp& App() const { return m_app; }
    void CloseActiveDocument();
    void OnFileOpen();
    // Minimised windows line up along the bottom edge, left to right.
    void ArrangeIcons();
    // 重ねて表示: every window at a useful size, each a title bar lower and to the right,
    // inside the visible workspace.
    void CascadeWindows();
    // Ctrl+F6 / Ctrl+Shift+F6.
    void ActivateNextWindow(bool forward);
    // The size and place of the index-th window of a cascade in a workspace of `area`.
    static constexpr int kMinChildWidth = 320;
    static constexpr int kMinChildHeight = 200;
    static QSize ChildSize(const QSize& area);
    static QRect CascadeRect(int index, const QSize& area, int step);
    QSize WorkspaceSize() const;

    // "Tessera - name", "Tessera - [name]" while the document window is maximised.
    QString CaptionText() const;

    // ---- commands ----
    QAction* Action(int id) const;
    // Updates every command's enabled and checked state and its text (the idle update).
    void UpdateCommands();
    // A menu text with a command's detail put before its shortcut: "元に戻す(&U) - レコードの
    // 削除\tCtrl+Z". The text alone when there is no detail.
    static QString CommandText(const QString& text, const QString& detail);
    // Asks for an update soon, once, however often it is asked for.
    void ScheduleUpdate();
    // The state of `id` as the command table gives it (disabled when it has no row).
    CommandState RouteUpdate(int id);
    // Runs `id` when it is enabled now; false when it is not.
    bool RouteCommand(int id);
    CCommandRouter& Router() { return *m_router; }
    // The record commands of this window's table views, and its transfer session.
    CRecordCommands& RecordCommands() const { return *m_records; }

    // True while the document menus are shown (at least one document is open).
    bool ShowsDocumentMenus() const { return m_documentMenus; }
    QList<QMenu*> CurrentMenus() const;

    // ---- status bar ----
    QString KindPaneText() const;
    QString CountPaneText() const;
    QString MethodPaneText() const;
    void RefreshStatusPanes();
    QLabel* KindPane() const { return m_kindPane; }
    QLabel* CountPane() const { return m_countPane; }
    QLabel* MethodPane() const { return m_methodPane; }

    // ---- recent files ----
    void RebuildRecentMenus();

    // ---- placement ----
    // Copies the window's state and rectangle into the settings.
    void RecordPlacement();
    // Applies the stored placement (normal windows only) before the first show.
    void ApplyStoredPlacement();
    // `frame` moved and cut to the screen that shows most of it, the title bar on it; empty
    // when no screen shows any of it.
    static QRect FitOnScreen(const QRect& frame, const QList<QRect>& screens);
    void ShowWithStoredState();

    void ShowAbout();
    void ShowHelpContents();
    void ShowContextHelp();
    void OpenWebPage(int id);
    // Where a web-page command leads: a section of the installed manual, or the address a
    // resource pack gives.
    static QUrl WebPageUrl(int id);

signals:
    void DocumentOpened(tessera::CTesseraDoc* doc);

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void SwitchMenus(bool documents);
    CChildFrame* CreateChild(CTesseraDoc* doc);
    CTesseraDoc* AdoptDocument(CTesseraDoc* doc);
    void OnLastViewClosed(CTesseraDoc* doc);
    void OnSubWindowActivated(QMdiSubWindow* w);
    void UpdateCaption();
    void PlaceNewChild(QMdiSubWindow* child);
    void PlaceWaitingChildren();
    void FillWindowMenu();
    void OnOpenRecent(int index);
    // Modal work running in a nested event loop (a filter's busy dialog, an editor) that a
    // close must wait for; null when there is none.
    QWidget* RunningModalWork() const;

    CTesseraApp& m_app;
    std::unique_ptr<CRecordCommands> m_records;
    std::unique_ptr<CCommandRouter> m_router;
    QMdiArea* m_mdi = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_kindPane = nullptr;
    QLabel* m_countPane = nullptr;
    QLabel* m_methodPane = nullptr;
    std::map<int, QAction*> m_actions;
    QList<QMenu*> m_noDocMenus;
    QList<QMenu*> m_docMenus;
    QMenu* m_windowMenu = nullptr;
    QList<QMenu*> m_fileMenus;
    QList<QAction*> m_recentAnchors; // separator before "exit" in each file menu
    QList<QAction*> m_recentActions;
    QList<CTesseraDoc*> m_docs;
    QList<QPointer<QMdiSubWindow>> m_unplaced; // made before the first show
    QRect m_placedFrame;                       // the stored frame, until the first show
    QTimer* m_updateTimer = nullptr;
    bool m_documentMenus = false;
    bool m_placementReady = false;
};

} // namespace tessera
