#pragma once
// The main window: documents in sub-windows, the menus (one set while no document is open,
// another once one is), the toolbar, the status bar with the kind, count and link-method
// panes, the recent-file list, and the commands that belong to no document.

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <vector>

#include "document/CommandTarget.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;

namespace tessera {

class CChildFrame;
class CTesseraApp;
class CTesseraDoc;
class CTesseraView;

// A main-window command's action and, optionally, an extra enable condition that is
// combined with the window's own rule. Commands without an action stay disabled.
struct FrameCommandHandler {
    std::function<void()> run;
    std::function<bool()> enabled;
};

class CMainFrame : public QMainWindow, public CCommandTarget {
    Q_OBJECT
public:
    explicit CMainFrame(CTesseraApp& app, QWidget* parent = nullptr);
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

    // ---- commands ----
    QAction* Action(int id) const;
    // Updates every command's enabled and checked state and its text (the idle update).
    void UpdateCommands();
    // A menu text with a command's detail put before its shortcut: "元に戻す(&U) - レコードの
    // 削除\tCtrl+Z". The text alone when there is no detail.
    static QString CommandText(const QString& text, const QString& detail);
    // Asks for an update soon, once, however often it is asked for.
    void ScheduleUpdate();
    // The state of `id` along the command route: active view, its document, this frame.
    CommandState RouteUpdate(int id);
    bool RouteCommand(int id);

    static void RegisterCommand(int id, FrameCommandHandler handler);
    static void UnregisterCommand(int id);
    // Exchanges the whole command table (tests start from a known table and put it back).
    static void SwapCommands(std::map<int, FrameCommandHandler>& table);

    bool UpdateCommand(int id, CommandState& state) override;
    bool RunCommand(int id) override;

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
    void ShowWithStoredState();

    void ShowAbout();
    void ShowHelpContents();
    void ShowContextHelp();
    void OpenWebPage(int id);

signals:
    void DocumentOpened(tessera::CTesseraDoc* doc);

protected:
    void closeEvent(QCloseEvent* e) override;
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
    void FillWindowMenu();
    void ArrangeIcons();
    void OnFileOpen();
    void OnOpenRecent(int index);
    static std::map<int, FrameCommandHandler>& Handlers();

    CTesseraApp& m_app;
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
    QList<QAction*> m_recentAnchors;   // separator before "exit" in each file menu
    QList<QAction*> m_recentActions;
    QList<CTesseraDoc*> m_docs;
    QTimer* m_updateTimer = nullptr;
    bool m_documentMenus = false;
    bool m_placementReady = false;
};

} // namespace tessera
