// The main window: status-bar panes, the two menu sets, texts and keys of the commands, the
// toolbar, enable rules, window placement, the recent-file list, dropped files, the exit
// question, start-up with bad files and the hand-over from a second start.

#include "app/MainFrame.h"

#include "GuiTestSupport.h"
#include "RecordFactory.h"
#include "app/AboutDlg.h"
#include "app/ChildFrame.h"
#include "app/GuiPrompter.h"
#include "app/Help.h"
#include "app/RecentFileList.h"
#include "app/SingleInstance.h"
#include "base/AppSettings.h"
#include "document/CommandIds.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace tessera::test {
namespace {

using testdata::MakeTextForm;

QStringList Titles(const QList<QMenu*>& menus) {
    QStringList out;
    for (QMenu* m : menus)
        out << m->title();
    return out;
}

TEST(MainFrameTest, StatusPanesShowKindCountAndMethod) {
    ScriptedPrompter prompter;
    StartedApp s;
    ASSERT_TRUE(s.started);
    CMainFrame* frame = s.app->MainFrame();
    QTemporaryDir dir;

    frame->RefreshStatusPanes();
    EXPECT_EQ(frame->KindPane()->text(), QStringLiteral(" "));
    EXPECT_EQ(frame->CountPane()->text(), QStringLiteral(" "));
    EXPECT_EQ(frame->MethodPane()->text(), QStringLiteral("ASK赤外線"));

    ASSERT_NE(frame->NewDocument(), nullptr);
    frame->RefreshStatusPanes();
    EXPECT_EQ(frame->KindPane()->text(), QStringLiteral("不明"));
    EXPECT_EQ(frame->CountPane()->text(), QStringLiteral("レコード無し"));

    ASSERT_NE(frame->OpenDocumentFile(
                  WriteFile(dir, QStringLiteral("a.tsr"), MakeTextForm(kKindPhoneBook, 12))),
              nullptr);
    frame->RefreshStatusPanes();
    EXPECT_EQ(frame->KindPane()->text(), QStringLiteral("電話帳"));
    EXPECT_EQ(frame->CountPane()->text(), QStringLiteral("  12レコード"));

    ASSERT_NE(frame->OpenDocumentFile(
                  WriteFile(dir, QStringLiteral("b.tsr"), MakeTextForm(kKindAnniversaryWeek, 0))),
              nullptr);
    s.app->Settings().Method = 1;
    frame->RefreshStatusPanes();
    EXPECT_EQ(frame->KindPane()->text(), QStringLiteral("記念日(月/週/曜)"));
    EXPECT_EQ(frame->CountPane()->text(), QStringLiteral("レコード無し"));
    EXPECT_EQ(frame->MethodPane()->text(), QStringLiteral("ケーブル"));

    // Each pane is wide enough for the widest text it can show.
    const QLabel* kind = frame->KindPane();
    EXPECT_GE(kind->minimumWidth(),
              kind->fontMetrics().horizontalAdvance(QStringLiteral("記念日 (月/週/曜)")));
    const QLabel* count = frame->CountPane();
    EXPECT_GE(count->minimumWidth(),
              count->fontMetrics().horizontalAdvance(QStringLiteral("99999レコード")));
}

TEST(MainFrameTest, MenusSwitchWithTheFirstAndLastDocument) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    const QStringList none{QStringLiteral("ファイル(&F)"), QStringLiteral("表示(&V)"),
                           QStringLiteral("オプション(&O)"), QStringLiteral("ヘルプ(&H)")};
    const QStringList docs{QStringLiteral("ファイル(&F)"),   QStringLiteral("編集(&E)"),
                           QStringLiteral("表示(&V)"),       QStringLiteral("レコード(&R)"),
                           QStringLiteral("オプション(&O)"), QStringLiteral("ウィンドウ(&W)"),
                           QStringLiteral("ヘルプ(&H)")};
    EXPECT_EQ(Titles(frame->CurrentMenus()), none);
    EXPECT_EQ(frame->menuBar()->actions().size(), 4);

    CTesseraDoc* first = frame->NewDocument();
    CTesseraDoc* second = frame->NewDocument();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(frame->ShowsDocumentMenus());
    EXPECT_EQ(Titles(frame->CurrentMenus()), docs);
    EXPECT_EQ(frame->menuBar()->actions().size(), 7);

    ASSERT_TRUE(frame->CloseDocument(first));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame->ShowsDocumentMenus());
    ASSERT_TRUE(frame->CloseDocument(second));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frame->ShowsDocumentMenus());
    EXPECT_EQ(Titles(frame->CurrentMenus()), none);
    EXPECT_TRUE(frame->Documents().isEmpty());
}

TEST(MainFrameTest, CommandsCarryTheirTextsKeysAndHints) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    const struct {
        int id;
        const char* text;
        const char* keys;
    } table[] = {
        {ID_FILE_NEW, "新規作成(&N)\tCtrl+N", "Ctrl+N"},
        {ID_FILE_OPEN, "開く(&O)...\tCtrl+O", "Ctrl+O"},
        {ID_FILE_CLOSE, "閉じる(&C)", "Ctrl+F4"},
        {ID_FILE_SAVE, "上書き保存(&S)\tCtrl+S", "Ctrl+S"},
        {ID_FILE_SAVE_AS, "名前を付けて保存(&A)...", ""},
        {ID_SEND_TO_DEVICE, "ザウルスへ送信(&T)...", ""},
        {ID_RECEIVE_FROM_DEVICE, "ザウルスから受信(&G)...", ""},
        {ID_ADDIN_TRANSFER, "アドインの転送(&I)...", ""},
        {ID_FILE_IMPORT, "インポート(&M)...", ""},
        {ID_FILE_EXPORT, "エクスポート(&E)...", ""},
        {ID_FILE_SEND_MAIL, "送信(&D)...", ""},
        {ID_APP_EXIT, "終了(&X)", ""},
        {ID_EDIT_UNDO, "元に戻す(&U)\tCtrl+Z", "Ctrl+Z, Alt+Backspace"},
        {ID_EDIT_REDO, "やり直し(&R)\tCtrl+Y", "Ctrl+Y, Ctrl+Shift+Z"},
        {ID_EDIT_CUT, "切り取り(&T)\tCtrl+X", "Ctrl+X, Shift+Del"},
        {ID_EDIT_COPY, "コピー(&C)\tCtrl+C", "Ctrl+C, Ctrl+Ins"},
        {ID_EDIT_PASTE, "貼り付け(&P)\tCtrl+V", "Ctrl+V, Shift+Ins"},
        {ID_VIEW_TOOLBAR, "ツールバー(&T)", ""},
        {ID_VIEW_STATUS_BAR, "ステータスバー(&S)", ""},
        {ID_VIEW_REFRESH, "最新の情報に更新(&R)", ""},
        {ID_RECORD_ADD, "追加(&A)...", ""},
        {ID_RECORD_INSERT, "挿入(&I)...\tIns", "Ins"},
        {ID_RECORD_DELETE, "削除(&D)...\tDel", "Del"},
        {ID_RECORD_SEND, "送信(&S)...", ""},
        {ID_RECORD_PROPERTIES, "プロパティ(&P)...\tEnter", "Return, Enter"},
        {ID_OPTION_SETTINGS, "環境設定(&E)...", ""},
        {ID_OPTION_FILTERS, "フィルタ設定(&F)...", ""},
        {ID_WINDOW_NEW, "新しいウィンドウを開く(&N)", ""},
        {ID_WINDOW_CASCADE, "重ねて表示(&C)", ""},
        {ID_WINDOW_TILE_HORZ, "並べて表示(&T)", ""},
        {ID_WINDOW_ARRANGE, "アイコンの整列(&A)", ""},
        {ID_HELP_INDEX, "目次(&C)", ""},
        {ID_APP_ABOUT, "バージョン情報(&A)...", ""},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.id);
        QAction* a = frame->Action(row.id);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(), QString::fromUtf8(row.text));
        QStringList keys;
        for (const QKeySequence& k : a->shortcuts())
            keys << k.toString(QKeySequence::PortableText);
        EXPECT_EQ(keys.join(QStringLiteral(", ")), QString::fromLatin1(row.keys));
        // Every command explains itself in Japanese, on hover and in the status bar.
        EXPECT_FALSE(a->toolTip().isEmpty());
        EXPECT_FALSE(a->statusTip().isEmpty());
        EXPECT_GT(a->statusTip().front().unicode(), 0x2E7F) << a->statusTip().toStdString();
    }
    for (int id : {ID_HELP_WEB1, ID_HELP_WEB2, ID_HELP_WEB3, ID_HELP_WEB4})
        EXPECT_FALSE(frame->Action(id)->text().isEmpty());
}

TEST(MainFrameTest, ToolbarHasItsButtonsInOrderWithIcons) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    auto* bar = frame->findChild<QToolBar*>(QStringLiteral("MainToolBar"));
    ASSERT_NE(bar, nullptr);
    std::vector<int> ids;
    for (QAction* a : bar->actions()) {
        ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->data().toInt();
            EXPECT_FALSE(a->icon().pixmap(20, 20).isNull()) << a->data().toInt();
        }
    }
    const std::vector<int> expected{ID_FILE_NEW,
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
    EXPECT_EQ(ids, expected);

    // The View menu hides and shows the bars.
    EXPECT_TRUE(frame->RouteCommand(ID_VIEW_TOOLBAR));
    EXPECT_FALSE(bar->isVisibleTo(frame));
    frame->UpdateCommands();
    EXPECT_FALSE(frame->Action(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(frame->RouteCommand(ID_VIEW_TOOLBAR));
    EXPECT_TRUE(bar->isVisibleTo(frame));
}

TEST(MainFrameTest, EnableRulesOfTheFrameCommands) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    auto enabled = [frame](int id) { return frame->RouteUpdate(id).enabled; };

    EXPECT_TRUE(enabled(ID_FILE_NEW));
    EXPECT_TRUE(enabled(ID_APP_ABOUT));
    EXPECT_FALSE(enabled(ID_FILE_CLOSE)) << "nothing to close";
    EXPECT_FALSE(enabled(ID_FILE_SAVE));
    EXPECT_TRUE(enabled(ID_OPTION_FILTERS));
    EXPECT_TRUE(enabled(ID_OPTION_SETTINGS));
    frame->Router().Replace(ID_OPTION_FILTERS, {}, {});
    EXPECT_FALSE(enabled(ID_OPTION_FILTERS)) << "a row without its handler is never offered";
    EXPECT_FALSE(frame->RouteCommand(ID_OPTION_FILTERS));
    EXPECT_FALSE(enabled(4711)) << "nor is a command the table does not have";

    // The add-in transfer: only for models from PI-4500 on, never during a transfer.
    int runs = 0;
    frame->Router().Replace(ID_ADDIN_TRANSFER, frame->Router().Find(ID_ADDIN_TRANSFER)->state,
                            [&runs] { ++runs; });
    for (const auto& [model, expected] :
         std::vector<std::pair<unsigned, bool>>{{0, false}, {1, false}, {2, true}, {9, true}}) {
        ASSERT_TRUE(s.app->Settings().SetModel(model));
        EXPECT_EQ(enabled(ID_ADDIN_TRANSFER), expected) << model;
    }
    s.app->SetBusy(true);
    EXPECT_FALSE(enabled(ID_ADDIN_TRANSFER));
    EXPECT_FALSE(enabled(ID_APP_EXIT));
    EXPECT_FALSE(frame->RouteCommand(ID_ADDIN_TRANSFER));
    EXPECT_EQ(runs, 0);
    s.app->SetBusy(false);
    EXPECT_TRUE(enabled(ID_APP_EXIT));
    EXPECT_TRUE(frame->RouteCommand(ID_ADDIN_TRANSFER));
    EXPECT_EQ(runs, 1);
    frame->Router().Replace(ID_ADDIN_TRANSFER, {}, {});
    EXPECT_FALSE(enabled(ID_ADDIN_TRANSFER));

    // With a document: its own commands, the view's refresh, and the window commands; the
    // view's commands go through the view first.
    ASSERT_NE(frame->NewDocument(), nullptr);
    EXPECT_TRUE(enabled(ID_FILE_SAVE));
    EXPECT_TRUE(enabled(ID_FILE_CLOSE));
    EXPECT_TRUE(enabled(ID_VIEW_REFRESH));
    EXPECT_TRUE(enabled(ID_WINDOW_NEW));
    // A view its window gave no record commands offers none.
    frame->ActiveView()->SetRecordCommands(nullptr);
    EXPECT_FALSE(enabled(ID_SEND_TO_DEVICE));
    EXPECT_TRUE(enabled(ID_VIEW_REFRESH));
    frame->ActiveView()->SetRecordCommands(&frame->RecordCommands());
    EXPECT_TRUE(enabled(ID_SEND_TO_DEVICE));
    s.app->SetBusy(true);
    EXPECT_FALSE(enabled(ID_SEND_TO_DEVICE)) << "no second transfer while one runs";
    s.app->SetBusy(false);
    EXPECT_FALSE(enabled(ID_FILE_SEND_MAIL)) << "an empty document has nothing to mail";
    frame->UpdateCommands();
    EXPECT_FALSE(frame->Action(ID_RECORD_DELETE)->isEnabled());
    EXPECT_TRUE(frame->Action(ID_SEND_TO_DEVICE)->isEnabled());
}

TEST(MainFrameTest, NewWindowShowsTheSameDocumentAndClosingAsksOnce) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    CTesseraDoc* doc = frame->NewDocument();
    ASSERT_NE(doc, nullptr);
    const QString title = doc->Title();
    ASSERT_NE(frame->NewWindow(), nullptr);
    EXPECT_EQ(doc->Views().size(), 2);
    EXPECT_EQ(frame->ActiveChild()->windowTitle(), title + QStringLiteral(":2"));

    doc->SetModifiedFlag(true);
    frame->ActiveChild()->close(); // not the last window: no question
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(doc->Views().size(), 1);
    EXPECT_EQ(frame->MdiArea()->subWindowList().first()->windowTitle(),
              title + QStringLiteral(" *"))
        << "a modified document is marked";

    prompter.Expect(kMsgAskToSave, PromptResult::Cancel);
    frame->MdiArea()->subWindowList().first()->close();
    EXPECT_EQ(frame->Documents().size(), 1) << "cancel keeps the document";
    prompter.Expect(kMsgAskToSave, PromptResult::No);
    frame->MdiArea()->subWindowList().first()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame->Documents().isEmpty());
}

TEST(MainFrameTest, ExitAsksForEveryModifiedDocumentAndCanBeCancelled) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    CTesseraDoc* a = frame->NewDocument();
    frame->NewDocument();
    CTesseraDoc* c = frame->NewDocument();
    a->SetModifiedFlag(true);
    c->SetModifiedFlag(true);
    prompter.Expect(kMsgAskToSave, PromptResult::No);
    prompter.Expect(kMsgAskToSave, PromptResult::Cancel);
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(frame->Documents().size(), 3);
    // A cancelled exit leaves every document as it was, asking again next time.
    prompter.Expect(kMsgAskToSave, PromptResult::No);
    prompter.Expect(kMsgAskToSave, PromptResult::No);
    EXPECT_TRUE(frame->close());
    // While a transfer runs the window does not close at all.
}

TEST(MainFrameTest, BusyWindowRefusesToClose) {
    ScriptedPrompter prompter;
    StartedApp s;
    s.app->SetBusy(true);
    EXPECT_FALSE(s.app->MainFrame()->close());
    s.app->SetBusy(false);
    EXPECT_TRUE(s.app->MainFrame()->close());
}

// A termination signal closes the window while modal work (a filter's busy dialog, an
// editor) runs in a nested event loop: the work is cancelled and has returned before any
// document closes, and the window closes after it.
TEST(MainFrameTest, CloseUnderModalWorkCancelsItFirst) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    QPointer<CTesseraDoc> doc = frame->NewDocument();
    ASSERT_NE(doc, nullptr);
    QDialog work(frame);
    work.setWindowModality(Qt::ApplicationModal);
    bool docAliveAtCancel = false;
    QObject::connect(&work, &QDialog::rejected,
                     [&] { docAliveAtCancel = doc != nullptr && !doc->IsClosing(); });
    QTimer::singleShot(0, frame, [frame] { frame->close(); });
    // Ends the work, not cancelled, if the close never reaches it (no hang on the fault).
    QTimer::singleShot(20000, &work, [&work] { work.accept(); });
    EXPECT_EQ(work.exec(), QDialog::Rejected) << "the close did not cancel the work";
    EXPECT_TRUE(docAliveAtCancel);
    ASSERT_NE(doc, nullptr) << "no document goes while the work still runs";
    for (int i = 0; i < 20 && frame->isVisible(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_TRUE(doc == nullptr || doc->IsClosing());
}

TEST(MainFrameTest, PlacementIsRecordedAndRestored) {
    ScriptedPrompter prompter;
    TempSettings folder;
    QRect placed;
    {
        StartedApp s({}, false, false);
        CMainFrame* frame = s.app->MainFrame();
        frame->setGeometry(QRect(40, 50, 700, 500));
        QApplication::processEvents();
        const CAppSettings& set = s.app->Settings();
        EXPECT_EQ(set.WindowStyle, 0);
        EXPECT_EQ(QRect(QPoint(set.WindowLeft, set.WindowTop),
                        QPoint(set.WindowRight - 1, set.WindowBottom - 1)),
                  frame->frameGeometry())
            << "the frame, title bar included";
        placed = frame->frameGeometry();
    }
    {
        StartedApp s({}, false, false);
        EXPECT_EQ(s.app->MainFrame()->frameGeometry(), placed) << "the next start comes back there";
        s.app->MainFrame()->showMinimized();
        QApplication::processEvents();
        EXPECT_EQ(s.app->Settings().WindowStyle, 1);
    }
    {
        StartedApp s({}, false, false);
        EXPECT_EQ(s.app->Settings().WindowStyle, 1);
        EXPECT_TRUE(s.app->MainFrame()->isMinimized());
        s.app->MainFrame()->showMaximized();
        QApplication::processEvents();
        EXPECT_EQ(s.app->Settings().WindowStyle, 2);
    }
    {
        StartedApp s({}, false, false);
        EXPECT_TRUE(s.app->MainFrame()->isMaximized());
    }
}

TEST(MainFrameTest, RectangleOffEveryScreenIsNotApplied) {
    ScriptedPrompter prompter;
    TempSettings folder;
    {
        auto store = CAppSettings::OpenStore();
        store->setValue(QStringLiteral("Settings/WindowLeft"), 90000);
        store->setValue(QStringLiteral("Settings/WindowTop"), 90000);
        store->setValue(QStringLiteral("Settings/WindowRight"), 90640);
        store->setValue(QStringLiteral("Settings/WindowBottom"), 90480);
    }
    CTesseraApp::Options options;
    options.singleInstance = false;
    options.installPrompter = false;
    CTesseraApp app(options);
    ASSERT_TRUE(app.InitInstance({QStringLiteral("tessera")}));
    EXPECT_LT(app.MainFrame()->geometry().left(), 90000);
    app.ExitInstance();
}

TEST(MainFrameTest, RecentFilesAreListedShortenedAndDroppedWhenGone) {
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString deep =
        QDir(dir.path()).filePath(QStringLiteral("a/very/long/folder/name/for/testing"));
    QDir().mkpath(deep);
    const QString file =
        WriteFile(dir, QStringLiteral("a/very/long/folder/name/for/testing/book.tsr"),
                  MakeTextForm(kKindPhoneBook, 3));
    TempSettings folder;
    {
        StartedApp s({}, false, false);
        ASSERT_NE(s.app->MainFrame()->OpenDocumentFile(file), nullptr);
        ASSERT_EQ(s.app->RecentFiles().Files().size(), 1);
        const QString text = s.app->RecentFiles().MenuText(0);
        EXPECT_TRUE(text.startsWith(QStringLiteral("&1 ")));
        EXPECT_LE(text.size() - 3, CRecentFileList::kDisplayLength);
        EXPECT_TRUE(text.endsWith(QStringLiteral("/book.tsr")));
        auto* entry = s.app->MainFrame()->findChild<QAction*>(QStringLiteral("recent1"));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->text(), text);
    }
    QFile::remove(file);
    {
        // Stored at exit, read at the next start; an entry that no longer opens goes.
        StartedApp s({}, false, false);
        ASSERT_EQ(s.app->RecentFiles().Files().size(), 1);
        prompter.Expect(kMsgFileError);
        s.app->MainFrame()->findChild<QAction*>(QStringLiteral("recent1"))->trigger();
        EXPECT_TRUE(s.app->RecentFiles().Files().isEmpty());
    }
}

TEST(MainFrameTest, RecentListKeepsItsSizeAndOrder) {
    CRecentFileList list(3);
    for (const char* f : {"/x/1.tsr", "/x/2.tsr", "/x/3.tsr", "/x/4.tsr", "/x/2.tsr"})
        list.Add(QString::fromLatin1(f));
    EXPECT_EQ(list.Files(), (QStringList{QStringLiteral("/x/2.tsr"), QStringLiteral("/x/4.tsr"),
                                         QStringLiteral("/x/3.tsr")}));
    CRecentFileList none(0);
    none.Add(QStringLiteral("/x/1.tsr"));
    EXPECT_TRUE(none.Files().isEmpty());

    const struct {
        const char* path;
        const char* shown;
    } cases[] = {
        {"/home/u/book.tsr", "/home/u/book.tsr"},
        {"/home/user/documents/pda/2026/book.tsr", "/.../pda/2026/book.tsr"},
        {"/home/user/a-very-long-file-name-indeed.tsr", "a-very-long-file-name-indeed.tsr"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CRecentFileList::Abbreviate(QString::fromLatin1(c.path), 30),
                  QString::fromLatin1(c.shown));
}

TEST(MainFrameTest, DroppedFilesOpen) {
    ScriptedPrompter prompter;
    StartedApp s;
    QTemporaryDir dir;
    const QString file = WriteFile(dir, QStringLiteral("drop.tsr"), MakeTextForm(kKindSchedule, 4));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    CMainFrame* frame = s.app->MainFrame();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &drop);
    ASSERT_EQ(frame->Documents().size(), 1);
    EXPECT_EQ(frame->ActiveDocument()->RecordSet()->Kind(), kKindSchedule);
    // Opening it again brings the same window forward.
    QApplication::sendEvent(frame, &drop);
    EXPECT_EQ(frame->Documents().size(), 1);
    EXPECT_EQ(frame->MdiArea()->subWindowList().size(), 1);
}

TEST(MainFrameTest, BadFilesOnTheCommandLineDoNotStopTheStart) {
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString empty = WriteFile(dir, QStringLiteral("empty.tsr"), "");
    const QString good =
        WriteFile(dir, QStringLiteral("good.tsr"), MakeTextForm(kKindPhoneBook, 2));
    prompter.Expect(kMsgReadFormatError);
    prompter.Expect(kMsgFileError);
    StartedApp s({empty, dir.filePath(QStringLiteral("missing.tsr")), good});
    ASSERT_TRUE(s.started);
    EXPECT_TRUE(s.app->MainFrame()->isVisible());
    ASSERT_EQ(s.app->MainFrame()->Documents().size(), 1);
    EXPECT_EQ(s.app->MainFrame()->Documents().first()->Title(), QStringLiteral("good.tsr"));
}

TEST(MainFrameTest, NewOnStartDecidesTheEmptyStart) {
    ScriptedPrompter prompter;
    TempSettings folder;
    {
        StartedApp s({}, false, false);
        EXPECT_TRUE(s.app->MainFrame()->Documents().isEmpty());
        s.app->Settings().NewOnStart = true;
    }
    StartedApp s({}, false, false);
    ASSERT_EQ(s.app->MainFrame()->Documents().size(), 1);
    EXPECT_EQ(s.app->MainFrame()->Documents().first()->RecordSet()->Kind(), 0);
}

TEST(MainFrameTest, SecondStartHandsItsFilesToTheFirst) {
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString file =
        WriteFile(dir, QStringLiteral("handed.tsr"), MakeTextForm(kKindPhoneBook, 3));
    StartedApp first({}, true);
    ASSERT_TRUE(first.started);
    ASSERT_TRUE(first.app->SingleInstance()->IsPrimary());

    // The second start runs where the first cannot answer it from the same thread.
    std::atomic<int> delivered{-1};
    const QString runtime = first.runtime.path();
    std::thread second([&] {
        CSingleInstance other(QStringLiteral("tessera"), runtime);
        if (other.Acquire()) {
            delivered = 2;
            return;
        }
        delivered = other.SendFiles({file}) ? 1 : 0;
    });
    while (delivered < 0)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();
    EXPECT_EQ(delivered.load(), 1);
    ProcessEvents();
    ASSERT_EQ(first.app->MainFrame()->Documents().size(), 1);
    EXPECT_EQ(first.app->MainFrame()->Documents().first()->Title(), QStringLiteral("handed.tsr"));
}

TEST(MainFrameTest, SecondStartWithoutFilesEndsSilentlyAndStoresNothing) {
    ScriptedPrompter prompter;
    StartedApp first({}, true);
    ASSERT_TRUE(first.started);
    first.app->Settings().HistoryBuffer = 9;

    CTesseraApp::Options options;
    options.instanceDir = first.runtime.path();
    options.installPrompter = false;
    {
        CTesseraApp second(options);
        EXPECT_FALSE(second.InitInstance({QStringLiteral("tessera")}));
        EXPECT_EQ(second.ExitCode(), 0);
        EXPECT_EQ(second.MainFrame(), nullptr);
    }
    EXPECT_TRUE(prompter.Ids().empty());
    // The second start wrote no settings of its own.
    auto store = CAppSettings::OpenStore();
    EXPECT_FALSE(store->contains(QStringLiteral("Settings/HistoryBuffer")));
}

TEST(MainFrameTest, LockOfACrashedRunIsTakenOver) {
    QTemporaryDir dir;
    {
        QFile stale(QDir(dir.path()).filePath(QStringLiteral("tessera.lock")));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        // A process id that does not run, on this host.
        stale.write("999999\ntessera\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }
    CSingleInstance instance(QStringLiteral("tessera"), dir.path());
    EXPECT_TRUE(instance.Acquire());
}

TEST(MainFrameTest, MessageBoxesUseJapaneseButtonsAndSafeDefaults) {
    StartedApp s; // loads the toolkit's Japanese texts
    CGuiPrompter prompter;
    QStringList buttons;
    QString defaultText;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr || !box->isVisible())
                continue;
            for (QAbstractButton* b : box->buttons())
                buttons << b->text().remove(QLatin1Char('&'));
            defaultText = box->defaultButton()->text().remove(QLatin1Char('&'));
            box->defaultButton()->click();
        }
    });
    const PromptResult r = prompter.Show(1078, testdata::Sjis("全て無視しますか"),
                                         PromptIcon::Question, PromptButtons::YesNo);
    EXPECT_EQ(r, PromptResult::No) << "ignoring every bad value must be chosen, not defaulted";
    EXPECT_TRUE(buttons.contains(QStringLiteral("いいえ(N)")) ||
                buttons.contains(QStringLiteral("いいえ")))
        << buttons.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(defaultText.startsWith(QStringLiteral("いいえ")));
}

TEST(MainFrameTest, HelpOpensTheManualAtTheSection) {
    EXPECT_EQ(HelpAnchor(kHelpContents), QStringLiteral("contents"));
    EXPECT_EQ(HelpAnchor(kHelpTopicBase + 100), QStringLiteral("about"));
    EXPECT_EQ(HelpAnchor(kHelpTopicBase + 135), QStringLiteral("settings-port"));
    EXPECT_EQ(HelpAnchor(kHelpTopicBase + 9999), QStringLiteral("contents"));
    static QList<QUrl> opened;
    SetHelpOpener([](const QUrl& url) {
        opened << url;
        return true;
    });
    ScriptedPrompter prompter;
    StartedApp s;
    s.app->MainFrame()->RouteCommand(ID_HELP_INDEX);
    s.app->MainFrame()->NewDocument();
    s.app->MainFrame()->ShowContextHelp();
    SetHelpOpener(nullptr);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(QFileInfo::exists(opened[0].toLocalFile()));
    EXPECT_EQ(opened[0].fragment(), QStringLiteral("contents"));
    EXPECT_EQ(opened[1].fragment(), QStringLiteral("record-table"));
    // Every section a topic names exists in the manual.
    const std::string manual = ReadFile(opened[0].toLocalFile());
    for (unsigned id : {100u, 102u, 128u, 129u, 131u, 132u, 134u, 135u, 139u, 140u, 141u,
                        144u, 147u, 148u, 150u, 152u, 162u, 163u, 165u, 183u, 185u}) {
        const std::string anchor = "id=\"" + HelpAnchor(kHelpTopicBase + id).toStdString() + "\"";
        EXPECT_NE(manual.find(anchor), std::string::npos) << anchor;
    }
}

TEST(MainFrameTest, TableSettingsReachTheViewsSafely) {
    ScriptedPrompter prompter;
    StartedApp s;
    // The sheet's range, 1 to 1024, and never 0, whatever the store says.
    for (const auto& [stored, used] : std::vector<std::pair<int, int>>{
             {-3, 1}, {0, 1}, {1, 1}, {64, 64}, {1023, 1023}, {1024, 1024}, {5000, 1024}}) {
        s.app->Settings().MaxFieldWidth = stored;
        EXPECT_EQ(s.app->MaxFieldWidth(), used) << stored;
    }
    EXPECT_EQ(s.app->FieldWidth("NAME"), 100);
    s.app->SetFieldWidth("NAME", 150);
    EXPECT_EQ(s.app->FieldWidth("NAME"), 150);
    auto store = CAppSettings::OpenStore();
    store->setValue(QStringLiteral("Field Width/TEL1"), QStringLiteral("wide"));
    store->sync();
    EXPECT_EQ(s.app->FieldWidth("TEL1"), 100) << "an unreadable width falls back";
}

TEST(MainFrameTest, AboutBoxNamesThePlatformAndVersion) {
    EXPECT_TRUE(CAboutDlg::TitleLine().startsWith(QStringLiteral("Tessera for ")));
    EXPECT_FALSE(CAboutDlg::TitleLine().contains(QStringLiteral("Win32")));
    EXPECT_EQ(CAboutDlg::VersionLine(), QStringLiteral("Version %1 (Build %2)")
                                            .arg(QStringLiteral(TESSERA_VERSION))
                                            .arg(TESSERA_BUILD_NUMBER));
}

} // namespace
} // namespace tessera::test
