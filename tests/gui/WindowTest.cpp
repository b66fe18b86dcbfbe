// The window as a user meets it: files handed over by a second start, the demo's settings,
// where document windows open and how they cascade, the captions, the stored frame, the
// default buttons of the questions, the window shortcuts, the start folder of the file
// dialogs, help without a browser, and undo from the toolbar and the record table's menu.

#include "GuiTestSupport.h"
#include "RecordFactory.h"
#include "app/ChildFrame.h"
#include "app/GuiPrompter.h"
#include "app/Help.h"
#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "app/commands/MainCommands.h"
#include "app/transfer/DemoDevice.h"
#include "base/AppSettings.h"
#include "document/CommandIds.h"
#include "document/RecordCommands.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "support/ScriptedPrompter.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace tessera::test {
namespace {

using testdata::MakeTextForm;

// A text form cut off inside its tag line: the reader refuses it with 2048.
const std::string kDamaged = "\"i\",\"NAME\",\"TE";

bool Inside(const QRect& inner, const QSize& area) {
    return inner.left() >= 0 && inner.top() >= 0 && inner.right() < area.width() &&
           inner.bottom() < area.height();
}

TEST(WindowTest, DamagedFileHandedOverIsReportedAfterTheHandOverEnds) {
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString damaged = WriteFile(dir, QStringLiteral("damaged.tsr"), kDamaged);
    StartedApp first({}, true);
    ASSERT_TRUE(first.started);
    ASSERT_TRUE(first.app->SingleInstance()->IsPrimary());

    std::atomic<int> delivered{-1};
    // The message box runs its own event loop: the sender's disconnect arrives in it, and
    // the socket it frees must not be the one whose handler is still running.
    prompter.Expect(kMsgReadFormatError);
    prompter.OnShow([&](const ScriptedPrompter::Shown&) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (delivered >= 0)
                loop.quit();
        });
        poll.start(10);
        loop.exec();
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    });
    const QString runtime = first.runtime.path();
    std::thread second([&] {
        CSingleInstance other(QStringLiteral("tessera"), runtime);
        delivered = other.Acquire() ? 2 : other.SendFiles({damaged}) ? 1 : 0;
    });
    while (prompter.Messages().empty() && delivered != 2 && delivered != 0)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();
    ProcessEvents();
    EXPECT_EQ(delivered.load(), 1);
    EXPECT_EQ(prompter.Count(kMsgReadFormatError), 1);
    EXPECT_TRUE(first.app->MainFrame()->Documents().isEmpty());
    // The instance still takes the next hand-over.
    prompter.OnShow({});
    const QString good =
        WriteFile(dir, QStringLiteral("good.tsr"), MakeTextForm(kKindPhoneBook, 1));
    std::atomic<int> again{-1};
    std::thread third([&] {
        CSingleInstance other(QStringLiteral("tessera"), runtime);
        again = other.Acquire() ? 2 : other.SendFiles({good}) ? 1 : 0;
    });
    while (again < 0)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    third.join();
    ProcessEvents();
    EXPECT_EQ(again.load(), 1);
    EXPECT_EQ(first.app->MainFrame()->Documents().size(), 1);
}

// The files are opened only once the socket's handler has returned: a message shown while
// it runs would let the sender's disconnect free the socket under it.
TEST(WindowTest, HandedOverFilesOpenAfterTheSocketHandlerReturns) {
    QTemporaryDir dir;
    CSingleInstance instance(QStringLiteral("tessera"), dir.path());
    ASSERT_TRUE(instance.Acquire());
    auto* server = instance.findChild<QLocalServer*>();
    ASSERT_NE(server, nullptr);
    bool handlerDone = false;
    QStringList received;
    bool receivedAfterHandler = false;
    // Connected after the instance's own slots, so they run after them for each signal.
    QObject::connect(server, &QLocalServer::newConnection, [&] {
        for (QLocalSocket* socket : server->findChildren<QLocalSocket*>())
            QObject::connect(socket, &QLocalSocket::readyRead, [&handlerDone, socket] {
                if (socket->bytesAvailable() == 0)
                    handlerDone = true;
            });
    });
    QObject::connect(&instance, &CSingleInstance::FilesReceived, [&](const QStringList& files) {
        received = files;
        receivedAfterHandler = handlerDone;
    });
    std::atomic<int> delivered{-1};
    std::thread second([&] {
        CSingleInstance other(QStringLiteral("tessera"), dir.path());
        delivered = other.SendFiles({QStringLiteral("/tmp/x.tsr")}) ? 1 : 0;
    });
    while (delivered < 0)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();
    ProcessEvents();
    EXPECT_EQ(delivered.load(), 1);
    EXPECT_EQ(received, QStringList{QStringLiteral("/tmp/x.tsr")});
    EXPECT_TRUE(receivedAfterHandler);
}

TEST(WindowTest, DemoLeavesTheStoredLinkSettingsAsTheyWere) {
    ScriptedPrompter prompter;
    TempSettings folder;
    {
        auto store = CAppSettings::OpenStore();
        store->setValue(QStringLiteral("Device/Method"), 0);
        store->setValue(QStringLiteral("Device/Bps"), 19200);
        store->setValue(QStringLiteral("Device/Port"), QStringLiteral("COM3"));
    }
    {
        StartedApp s({QStringLiteral("--demo")}, false, false);
        ASSERT_TRUE(s.started);
        if (s.app->DemoDevice() == nullptr || s.app->DemoDevice()->PortName().isEmpty())
            GTEST_SKIP() << "no demo device in this build";
        EXPECT_EQ(s.app->Settings().Method, 1) << "the demo runs on its cable line";
    }
    auto store = CAppSettings::OpenStore();
    EXPECT_EQ(store->value(QStringLiteral("Device/Method")).toInt(), 0);
    EXPECT_EQ(store->value(QStringLiteral("Device/Bps")).toInt(), 19200);
    EXPECT_EQ(store->value(QStringLiteral("Device/Port")).toString(), QStringLiteral("COM3"));
}

TEST(WindowTest, DocumentWindowsOpenInsideTheWorkspaceAtAUsefulSize) {
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 3; ++i)
        files << WriteFile(dir, QStringLiteral("f%1.tsr").arg(i), MakeTextForm(kKindPhoneBook, 2));
    StartedApp s(files);
    ASSERT_TRUE(s.started);
    CMainFrame* frame = s.app->MainFrame();
    ProcessEvents();
    const QSize area = frame->WorkspaceSize();
    const QSize useful = CMainFrame::ChildSize(area);
    ASSERT_GT(useful.width(), CMainFrame::kMinChildWidth) << "a workspace of " << area.width();

    auto check = [&](const char* when) {
        QSet<QPoint> places;
        for (QMdiSubWindow* w : frame->MdiArea()->subWindowList()) {
            const QRect g = w->geometry();
            EXPECT_TRUE(Inside(g, frame->WorkspaceSize()))
                << when << ": " << g.x() << "," << g.y() << " " << g.width() << "x" << g.height()
                << " in " << area.width() << "x" << area.height();
            EXPECT_GE(g.width(), CMainFrame::ChildSize(frame->WorkspaceSize()).width() - 1) << when;
            EXPECT_GE(g.height(), CMainFrame::ChildSize(frame->WorkspaceSize()).height() - 1)
                << when;
            places.insert(g.topLeft());
        }
        return places.size();
    };
    // Named on the command line, before the window had a size.
    EXPECT_EQ(check("command line"), 3) << "each a step further down the cascade";
    // Made later, more than fit in one cascade.
    for (int i = 0; i < 12; ++i)
        ASSERT_NE(frame->NewDocument(), nullptr);
    check("new");
    // 重ねて表示 keeps the useful size.
    frame->MdiArea()->subWindowList().first()->showMaximized();
    ASSERT_TRUE(frame->RouteCommand(ID_WINDOW_CASCADE));
    check("cascade");
    EXPECT_NE(frame->MdiArea()->activeSubWindow(), nullptr);

    // The cascade restarts at the top left before leaving the workspace.
    const QSize small(400, 300);
    const QRect r0 = CMainFrame::CascadeRect(0, small, 30);
    EXPECT_EQ(r0.topLeft(), QPoint(0, 0));
    EXPECT_EQ(r0.size(), CMainFrame::ChildSize(small));
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(Inside(CMainFrame::CascadeRect(i, small, 30), small)) << i;
    EXPECT_EQ(CMainFrame::ChildSize(QSize(200, 100)), QSize(200, 100)) << "never beyond it";
}

TEST(WindowTest, CaptionFollowsTheDocumentItsStateAndItsWindows) {
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString cards =
        WriteFile(dir, QStringLiteral("cards.tsr"), MakeTextForm(kKindBusinessCard, 2));
    StartedApp s({cards});
    CMainFrame* frame = s.app->MainFrame();
    CTesseraDoc* doc = frame->Documents().value(0);
    ASSERT_NE(doc, nullptr);
    auto caption = [frame] {
        ProcessEvents();
        return frame->windowTitle();
    };
    EXPECT_EQ(caption(), QStringLiteral("Tessera - cards.tsr"));
    doc->SetModifiedFlag(true);
    EXPECT_EQ(caption(), QStringLiteral("Tessera - cards.tsr *"));
    EXPECT_EQ(frame->ActiveChild()->windowTitle(), QStringLiteral("cards.tsr *"));

    s.dialogAnswer = dir.filePath(QStringLiteral("renamed.tsr"));
    ASSERT_TRUE(frame->RouteCommand(ID_FILE_SAVE_AS));
    EXPECT_EQ(caption(), QStringLiteral("Tessera - renamed.tsr"));

    ASSERT_NE(frame->NewWindow(), nullptr);
    EXPECT_EQ(caption(), QStringLiteral("Tessera - renamed.tsr:2"));
    frame->ActiveChild()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(caption(), QStringLiteral("Tessera - renamed.tsr"));

    // A maximised window names its document once, in brackets.
    frame->ActiveChild()->showMaximized();
    EXPECT_EQ(caption(), QStringLiteral("Tessera - [renamed.tsr]"));
    doc->SetModifiedFlag(true);
    EXPECT_EQ(caption(), QStringLiteral("Tessera - [renamed.tsr *]"));
    doc->SetModifiedFlag(false);
    frame->ActiveChild()->showNormal();
    EXPECT_EQ(caption(), QStringLiteral("Tessera - renamed.tsr"));
    ASSERT_TRUE(frame->CloseDocument(doc));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(caption(), QStringLiteral("Tessera"));
}

TEST(WindowTest, StoredFrameKeepsItsTitleBarOnTheScreen) {
    const QRect screen(0, 0, 1280, 1024);
    struct Case {
        QRect stored;
        QRect applied;
    };
    const std::vector<Case> cases = {
        {{0, 0, 640, 480}, {0, 0, 640, 480}},
        {{0, -20, 640, 480}, {0, 0, 640, 480}},        // title bar above the screen
        {{-50, 100, 640, 480}, {0, 100, 640, 480}},    // off the left edge
        {{1000, 900, 640, 480}, {640, 544, 640, 480}}, // hanging off the bottom right
        {{-10, -10, 2000, 1500}, {0, 0, 1280, 1024}},  // larger than the screen
        {{90000, 90000, 640, 480}, {}},                // on no screen at all
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMainFrame::FitOnScreen(c.stored, {screen}), c.applied)
            << c.stored.x() << "," << c.stored.y();

    ScriptedPrompter prompter;
    TempSettings folder;
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    {
        auto store = CAppSettings::OpenStore();
        store->setValue(QStringLiteral("Settings/WindowLeft"), avail.left());
        store->setValue(QStringLiteral("Settings/WindowTop"), avail.top() - 20);
        store->setValue(QStringLiteral("Settings/WindowRight"), avail.left() + 640);
        store->setValue(QStringLiteral("Settings/WindowBottom"), avail.top() + 460);
    }
    StartedApp s({}, false, false);
    CMainFrame* frame = s.app->MainFrame();
    ProcessEvents();
    EXPECT_GE(frame->frameGeometry().top(), avail.top());
    // What is stored is the frame, so the next start puts it back where it was.
    frame->move(avail.left() + 30, avail.top() + 40);
    ProcessEvents();
    const CAppSettings& set = s.app->Settings();
    EXPECT_EQ(QPoint(set.WindowLeft, set.WindowTop), frame->frameGeometry().topLeft());
    EXPECT_EQ(set.WindowRight - set.WindowLeft, frame->frameGeometry().width());
}

// The default button of every question, taken by a stray Enter.
TEST(WindowTest, QuestionsDefaultToTheAnswerThatLosesNothing) {
    StartedApp s; // loads the toolkit's Japanese texts
    CGuiPrompter prompter;
    struct Case {
        int id;
        PromptButtons buttons;
        PromptResult enter;
    };
    const std::vector<Case> cases = {
        {3074, PromptButtons::YesNo, PromptResult::No},         // delete a filter
        {1078, PromptButtons::YesNo, PromptResult::No},         // ignore every bad value
        {3081, PromptButtons::YesNo, PromptResult::No},         // overwrite an export file
        {9601, PromptButtons::YesNo, PromptResult::No},         // save over a part-read file
        {61722, PromptButtons::OkCancel, PromptResult::Cancel}, // stop a transfer to close
        {3090, PromptButtons::OkCancel, PromptResult::Ok},      // delete the chosen records
        {3089, PromptButtons::OkCancel, PromptResult::Ok},      // start the receive
        {61709, PromptButtons::YesNoCancel, PromptResult::Yes}, // save before closing
    };
    for (const Case& c : cases) {
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                    box->defaultButton()->click();
        });
        EXPECT_EQ(prompter.Show(c.id, testdata::Sjis("?"), PromptIcon::Question, c.buttons),
                  c.enter)
            << c.id;
    }
}

TEST(WindowTest, KeysCloseSwitchAndUndoInTheWindow) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    QTemporaryDir dir;
    CTesseraDoc* a = frame->OpenDocumentFile(
        WriteFile(dir, QStringLiteral("a.tsr"), MakeTextForm(kKindPhoneBook, 3)));
    CTesseraDoc* b = frame->NewDocument();
    ASSERT_TRUE(a && b);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    auto key = [frame](Qt::Key k, Qt::KeyboardModifiers m) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : frame;
        QTest::keyClick(target, k, m);
        ProcessEvents();
    };
    EXPECT_EQ(frame->ActiveDocument(), b);
    key(Qt::Key_F6, Qt::ControlModifier);
    EXPECT_EQ(frame->ActiveDocument(), a) << "Ctrl+F6 goes to the next window";
    key(Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(frame->ActiveDocument(), b);
    key(Qt::Key_F6, Qt::ControlModifier);

    // Alt+Backspace takes the last change back, as Ctrl+Z does.
    ASSERT_EQ(frame->ActiveDocument(), a);
    frame->ActiveView()->selectRow(0);
    prompter.Expect(kMsgConfirmDelete);
    ASSERT_TRUE(frame->RouteCommand(ID_RECORD_DELETE));
    ASSERT_EQ(a->RecordSet()->RecordCount(), 2);
    ProcessEvents(); // the idle update enables undo
    key(Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(a->RecordSet()->RecordCount(), 3);

    key(Qt::Key_F4, Qt::ControlModifier);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame->Documents().size(), 1) << "Ctrl+F4 closes the document window";
}

TEST(WindowTest, SignalDuringAStartUpMessageEndsTheStart) {
    ScriptedPrompter prompter;
    TempSettings folder;
    QTemporaryDir dir;
    const QString damaged = WriteFile(dir, QStringLiteral("damaged.tsr"), kDamaged);
    const QString good =
        WriteFile(dir, QStringLiteral("good.tsr"), MakeTextForm(kKindPhoneBook, 1));
    CTesseraApp::Options options;
    options.singleInstance = false;
    options.installPrompter = false;
    CTesseraApp app(options);
    prompter.Expect(kMsgReadFormatError);
    prompter.OnShow([&app](const ScriptedPrompter::Shown&) { app.RequestQuit(); });
    EXPECT_FALSE(app.InitInstance({QStringLiteral("tessera"), damaged, good}));
    EXPECT_TRUE(app.QuitRequested());
    ASSERT_NE(app.MainFrame(), nullptr);
    EXPECT_TRUE(app.MainFrame()->Documents().isEmpty()) << "nothing more opens";
    EXPECT_FALSE(app.MainFrame()->isVisible());
    app.ExitInstance();
}

TEST(WindowTest, FileDialogsStartInTheLastFolderAcrossRuns) {
    ScriptedPrompter prompter;
    TempSettings folder;
    QTemporaryDir dir;
    const QString file = WriteFile(dir, QStringLiteral("a.tsr"), MakeTextForm(kKindPhoneBook, 1));
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString expectedFirst = QFileInfo(docs).isDir() ? docs : QDir::homePath();
    {
        StartedApp s({}, false, false);
        EXPECT_EQ(s.app->StartFolder(), expectedFirst) << "not the working folder";
        QStringList asked;
        s.app->SetFileDialog([&](bool save, QWidget*, const QString& suggested) {
            asked << suggested;
            return save ? QString() : file;
        });
        s.app->MainFrame()->OnFileOpen();
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked[0], expectedFirst);
        EXPECT_EQ(s.app->StartFolder(), dir.path());
    }
    StartedApp s({}, false, false);
    EXPECT_EQ(s.app->StartFolder(), dir.path()) << "remembered across runs";
    QString proposed;
    s.app->SetFileDialog([&](bool, QWidget*, const QString& suggested) {
        proposed = suggested;
        return QString();
    });
    CTesseraDoc* doc = s.app->MainFrame()->NewDocument();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(s.app->MainFrame()->RouteCommand(ID_FILE_SAVE_AS));
    EXPECT_EQ(QFileInfo(proposed).absolutePath(), dir.path());
}

TEST(WindowTest, MessagesWhileOpeningNameTheFile) {
    ScriptedPrompter prompter;
    StartedApp s;
    QTemporaryDir dir;
    const QString damaged = WriteFile(dir, QStringLiteral("damaged.tsr"), kDamaged);
    const QString missing = dir.filePath(QStringLiteral("missing.tsr"));
    prompter.Expect(kMsgReadFormatError).Expect(kMsgFileError);
    EXPECT_EQ(s.app->MainFrame()->OpenDocumentFile(damaged), nullptr);
    EXPECT_EQ(s.app->MainFrame()->OpenDocumentFile(missing), nullptr);
    const auto shown = prompter.Messages();
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_NE(shown[0].Utf8().find("damaged.tsr"), std::string::npos) << shown[0].Utf8();
    EXPECT_NE(shown[0].Utf8().find("フォーマットが異常です"), std::string::npos);
    EXPECT_NE(shown[1].Utf8().find("missing.tsr"), std::string::npos) << shown[1].Utf8();
    // Messages after the open are the plain ones again.
    prompter.Expect(kMsgReadFormatError);
    ShowMessage(kMsgReadFormatError, PromptIcon::Stop, PromptButtons::Ok);
    EXPECT_EQ(prompter.Messages().back().Utf8().find("damaged.tsr"), std::string::npos);
}

TEST(WindowTest, HelpAndWebPagesOpenTheManualOrSayWhy) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    // Each web command leads to a section the installed manual has.
    QList<QUrl> opened;
    s.app->SetUrlOpener([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    for (int id : {ID_HELP_WEB1, ID_HELP_WEB2, ID_HELP_WEB3, ID_HELP_WEB4})
        ASSERT_TRUE(frame->RouteCommand(id)) << id;
    ASSERT_EQ(opened.size(), 4);
    for (const QUrl& url : opened) {
        ASSERT_TRUE(url.isLocalFile()) << url.toString().toStdString();
        const std::string manual = ReadFile(url.toLocalFile());
        EXPECT_NE(manual.find("id=\"" + url.fragment().toStdString() + "\""), std::string::npos)
            << url.toString().toStdString();
    }
    EXPECT_TRUE(prompter.Ids().empty());

    // Without a browser the user learns where to go.
    s.app->SetUrlOpener([](const QUrl&) { return false; });
    prompter.Expect(ids::kMsgNoBrowser);
    ASSERT_TRUE(frame->RouteCommand(ID_HELP_WEB3));
    EXPECT_NE(prompter.Messages().back().Utf8().find("manual.html#troubleshooting"),
              std::string::npos)
        << prompter.Messages().back().Utf8();
    SetHelpOpener([](const QUrl&) { return false; });
    prompter.Expect(ids::kMsgNoBrowser);
    ASSERT_TRUE(frame->RouteCommand(ID_HELP_INDEX));
    SetHelpOpener(nullptr);
    EXPECT_NE(prompter.Messages().back().Utf8().find("manual.html#contents"), std::string::npos);
}

TEST(WindowTest, UndoAndRedoFromTheToolbarAndTheRecordMenu) {
    ScriptedPrompter prompter;
    StartedApp s;
    CMainFrame* frame = s.app->MainFrame();
    QTemporaryDir dir;
    CTesseraDoc* doc = frame->OpenDocumentFile(
        WriteFile(dir, QStringLiteral("a.tsr"), MakeTextForm(kKindPhoneBook, 3)));
    ASSERT_NE(doc, nullptr);
    QAction* undo = frame->Action(ID_EDIT_UNDO);
    QAction* redo = frame->Action(ID_EDIT_REDO);
    EXPECT_TRUE(frame->ToolBar()->actions().contains(undo));
    EXPECT_TRUE(frame->ToolBar()->actions().contains(redo));

    frame->ActiveView()->selectRow(1);
    prompter.Expect(kMsgConfirmDelete);
    ASSERT_TRUE(frame->RouteCommand(ID_RECORD_DELETE));
    frame->UpdateCommands();
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());

    auto popupAction = [&](int id) -> QAction* {
        static std::unique_ptr<QMenu> menu;
        menu.reset(frame->ActiveView()->CreateContextMenu(nullptr));
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->data().toInt() == id)
                return a;
        return nullptr;
    };
    QAction* popupUndo = popupAction(ID_EDIT_UNDO);
    ASSERT_NE(popupUndo, nullptr);
    ASSERT_TRUE(popupUndo->isEnabled());
    popupUndo->trigger();
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 3);
    QAction* popupRedo = popupAction(ID_EDIT_REDO);
    ASSERT_NE(popupRedo, nullptr);
    ASSERT_TRUE(popupRedo->isEnabled());
    EXPECT_FALSE(popupAction(ID_EDIT_UNDO)->isEnabled());
    popupAction(ID_EDIT_REDO)->trigger();
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 2);
    frame->UpdateCommands();
    redo->trigger();
    undo->trigger();
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 3) << "the toolbar's undo";
}

} // namespace
} // namespace tessera::test
