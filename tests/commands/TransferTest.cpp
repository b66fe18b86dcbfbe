// Send, receive and add-in transfers through the real windows of a started Tessera against
// the simulated device: progress windows and their texts, cancel, completion messages, the
// document afterwards, the busy flag in every window, the receiving document's lock, and
// windows closed while a transfer runs.

#include "CommandTestSupport.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/transfer/AddInCommand.h"
#include "app/transfer/DemoDevice.h"
#include "app/transfer/RecvDlg.h"
#include "app/transfer/ShowDocDlg.h"
#include "app/transfer/TransDlg.h"
#include "base/AppSettings.h"
#include "document/CommandIds.h"
#include "document/RecordTableModel.h"
#include "document/TesseraDoc.h"
#include "document/TesseraView.h"
#include "link/AddInTransfer.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

using sim::SimMethod;
using sim::SimRole;

class TransferTest : public ::testing::TestWithParam<SimMethod> {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.started);
        frame = run.app->MainFrame();
        ASSERT_NE(frame, nullptr);
    }

    // A document window holding `names`, unmodified.
    CTesseraDoc* OpenPhoneBook(const std::vector<std::string>& names) {
        CTesseraDoc* doc = frame->NewDocument();
        const std::string text = PhoneBookText(names);
        doc->DeleteContents();
        EXPECT_TRUE(doc->LoadText(QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
        doc->UpdateAllViews(nullptr, kHintRebuild);
        doc->SetModifiedFlag(false);
        return doc;
    }
    CTesseraView* ViewOf(CTesseraDoc* doc) { return doc->Views().first(); }
    void Activate(CTesseraDoc* doc) {
        for (QMdiSubWindow* w : frame->MdiArea()->subWindowList())
            if (w->widget() == ViewOf(doc))
                frame->MdiArea()->setActiveSubWindow(w);
    }
    bool Enabled(int id) { return frame->RouteUpdate(id).enabled; }
    bool ViewEnabled(CTesseraView* view, int id) {
        CommandState s;
        view->UpdateCommand(id, s);
        return s.enabled;
    }
    // Waits for the running transfer to end, noting every status text its window showed.
    QStringList WaitAndWatch(int timeoutMs = 60000) {
        QStringList seen;
        CTransferSession* session = run.Session();
        QPointer<QWidget> window = session != nullptr ? session->ProgressWidget() : nullptr;
        WaitUntil(
            [&] {
                if (auto* dlg = qobject_cast<CTransferDlgBase*>(window.data())) {
                    if (seen.isEmpty() || seen.last() != dlg->StatusText())
                        seen << dlg->StatusText();
                    if (auto* trans = qobject_cast<CTransDlg*>(dlg);
                        trans && !trans->BytesText().trimmed().isEmpty())
                        if (seen.last() != trans->BytesText())
                            seen << trans->BytesText();
                }
                return run.Session() == nullptr;
            },
            timeoutMs);
        ProcessEvents();
        return seen;
    }

    RunningApp run;
    ScriptedPrompter prompter;
    CMainFrame* frame = nullptr;
};

TEST_P(TransferTest, ReceiveFillsTheDocumentAndKeepsEveryWindowFromStartingAnother) {
    CTesseraDoc* doc = OpenPhoneBook({"old 1", "old 2"});
    CTesseraDoc* other = OpenPhoneBook({"x"});
    Activate(doc);
    sim::SimConfig cfg = DeviceConfig(GetParam(), SimRole::Send);
    cfg.sendData = SampleText("phonebook");
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok()) << device.OpenError();
    UseSimulatedLine(device.PortName(), GetParam());

    prompter.Expect(kMsgConfirmReceive, PromptResult::Ok).Expect(kMsgReceiveDone);
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    CTransferSession* session = run.Session();
    ASSERT_NE(session, nullptr);
    auto* dlg = qobject_cast<CRecvDlg*>(session->ProgressWidget());
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->StatusText(), QStringLiteral("接続待機中..."));

    // While it runs: busy everywhere, and the receiving document is locked and empty.
    EXPECT_TRUE(run.app->IsBusy());
    EXPECT_FALSE(Enabled(ID_APP_EXIT));
    EXPECT_FALSE(Enabled(ID_ADDIN_TRANSFER));
    EXPECT_FALSE(Enabled(ID_SEND_TO_DEVICE));
    EXPECT_FALSE(Enabled(ID_FILE_SAVE)) << "saving the emptied set would empty the file";
    EXPECT_FALSE(ViewEnabled(ViewOf(other), ID_SEND_TO_DEVICE));
    EXPECT_FALSE(ViewEnabled(ViewOf(other), ID_RECEIVE_FROM_DEVICE));
    EXPECT_TRUE(ViewEnabled(ViewOf(other), ID_RECORD_DELETE) ||
                ViewOf(other)->SelectedCount() == 0);
    EXPECT_TRUE(IsDocumentLocked(doc));
    EXPECT_FALSE(IsDocumentLocked(other));
    CTesseraView* second = frame->NewWindow()->View();
    EXPECT_EQ(second->Model()->rowCount(), 0);
    for (int id : {ID_RECORD_ADD, ID_EDIT_PASTE, ID_RECORD_DELETE, ID_RECORD_PROPERTIES})
        EXPECT_FALSE(ViewEnabled(second, id)) << id;
    // Import and export too, whatever their own rule says.
    for (int id : {ID_FILE_IMPORT, ID_FILE_EXPORT})
        frame->Router().Replace(
            id, [] { return tessera::Enabled(true); }, [] {});
    EXPECT_FALSE(Enabled(ID_FILE_IMPORT))
        << "the second window on the receiving document is active";
    EXPECT_FALSE(Enabled(ID_FILE_EXPORT));
    QMdiSubWindow* secondWindow = frame->MdiArea()->activeSubWindow();
    Activate(other);
    EXPECT_TRUE(Enabled(ID_FILE_IMPORT));
    EXPECT_TRUE(Enabled(ID_FILE_EXPORT));
    frame->MdiArea()->setActiveSubWindow(secondWindow);

    const QStringList seen = WaitAndWatch();
    EXPECT_TRUE(seen.contains(QStringLiteral("接続待機中...")));
    bool counted = false;
    for (const QString& s : seen)
        counted |= s.endsWith(QStringLiteral(" バイト受信"));
    EXPECT_TRUE(counted) << seen.join(QLatin1Char('|')).toStdString();

    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgConfirmReceive, kMsgReceiveDone}));
    EXPECT_EQ(prompter.Messages().back().icon, PromptIcon::Information);
    EXPECT_FALSE(run.app->IsBusy());
    EXPECT_TRUE(Enabled(ID_APP_EXIT));
    EXPECT_FALSE(IsDocumentLocked(doc));
    ASSERT_NE(doc->RecordSet(), nullptr);
    EXPECT_EQ(doc->RecordSet()->Kind(), 1);
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 5);
    EXPECT_EQ(Names(*doc).front(), "山田 花子");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(ViewOf(doc)->Model()->rowCount(), 5);
    EXPECT_EQ(second->Model()->rowCount(), 5);
    EXPECT_TRUE(device.Join().completed);
}

TEST_P(TransferTest, SendDeliversTheDocumentsRecordsWithProgress) {
    CTesseraDoc* doc = frame->NewDocument();
    const std::string text = SampleText("cards");
    doc->DeleteContents();
    ASSERT_TRUE(doc->LoadText(QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
    doc->UpdateAllViews(nullptr, kHintRebuild);
    std::string expected;
    ASSERT_TRUE(doc->RecordSet()->WriteTextToString(expected));

    sim::SimConfig cfg = DeviceConfig(GetParam(), SimRole::Receive);
    // The cable at line speed, so the progress can be watched.
    const bool watch = GetParam() == SimMethod::Cable;
    cfg.pace = watch;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok()) << device.OpenError();
    UseSimulatedLine(device.PortName(), GetParam());

    prompter.Expect(kMsgConfirmSend, PromptResult::Ok).Expect(kMsgSendDone);
    ASSERT_TRUE(frame->RouteCommand(ID_SEND_TO_DEVICE));
    auto* dlg = qobject_cast<CTransDlg*>(run.Session()->ProgressWidget());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->Total(), static_cast<qint64>(expected.size()));
    EXPECT_EQ(dlg->Bar()->maximum(), CTransDlg::BarMaximum(static_cast<qint64>(expected.size())));
    const QStringList seen = WaitAndWatch();
    if (watch) {
        EXPECT_TRUE(seen.contains(QStringLiteral("データを転送しています")))
            << seen.join(QLatin1Char('|')).toStdString();
        bool bytes = false;
        for (const QString& s : seen)
            bytes |= s.contains(QStringLiteral(" バイト送信 ("));
        EXPECT_TRUE(bytes) << seen.join(QLatin1Char('|')).toStdString();
    }
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgConfirmSend, kMsgSendDone}));
    EXPECT_FALSE(run.app->IsBusy());
    EXPECT_FALSE(doc->IsModified()) << "a send changes nothing in the document";
    const sim::SimResult r = device.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.received, expected);
}

TEST_P(TransferTest, CancelledReceiveGivesTheDocumentItsRecordsBack) {
    CTesseraDoc* doc = OpenPhoneBook({"keep 1", "keep 2", "keep 3"});
    sim::SimConfig cfg = DeviceConfig(GetParam(), SimRole::Send);
    cfg.faults.mute = true; // the user never starts the device's send
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    UseSimulatedLine(device.PortName(), GetParam());

    prompter.Expect(kMsgConfirmReceive, PromptResult::Ok).Expect(kMsgReceiveCancelled);
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    auto* dlg = qobject_cast<CRecvDlg*>(run.Session()->ProgressWidget());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 0);
    ProcessEvents(100);
    dlg->CancelButton()->click();
    WaitAndWatch(20000);
    EXPECT_EQ(run.Session(), nullptr);
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgConfirmReceive, kMsgReceiveCancelled}));
    EXPECT_EQ(prompter.Messages().back().icon, PromptIcon::Warning);
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"keep 1", "keep 2", "keep 3"}));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(ViewOf(doc)->Model()->rowCount(), 3);
    EXPECT_FALSE(run.app->IsBusy());
    device.Stop();
}

TEST_P(TransferTest, ReceivedTextTheReaderRefusesGivesTheRecordsBack) {
    CTesseraDoc* doc = OpenPhoneBook({"keep"});
    sim::SimConfig cfg = DeviceConfig(GetParam(), SimRole::Send);
    // A value with a lone CR: the reader stops at it.
    cfg.sendData = std::string("\"i\",\"NAME\"\r\n\"T\",\"a\"\r\n\"D\",\"x\ry\"\r\n\x1A");
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    UseSimulatedLine(device.PortName(), GetParam());

    prompter.Expect(kMsgConfirmReceive, PromptResult::Ok);
    prompter.Allow(kMsgBadLineBreak)
        .Allow(kMsgReadFormatError)
        .Allow(kMsgFileError)
        .Allow(kMsgReceiveFailed);
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    WaitAndWatch();
    ASSERT_FALSE(prompter.Ids().empty());
    EXPECT_EQ(prompter.Ids().back(), kMsgReceiveFailed);
    EXPECT_EQ(prompter.Messages().back().icon, PromptIcon::Stop);
    EXPECT_EQ(prompter.Count(kMsgBadLineBreak), 1);
    ASSERT_NE(doc->RecordSet(), nullptr) << "the document is never left without records";
    EXPECT_EQ(Names(*doc), std::vector<std::string>{"keep"});
    EXPECT_FALSE(run.app->IsBusy());
    device.Join();
}

INSTANTIATE_TEST_SUITE_P(Lines, TransferTest,
                         ::testing::Values(SimMethod::Cable, SimMethod::Infrared),
                         [](const auto& info) {
                             return info.param == SimMethod::Cable ? "Cable" : "Infrared";
                         });

// ---- cases that do not depend on the line ----

class TransferWindowTest : public TransferTest {};

TEST_F(TransferWindowTest, PortThatCannotBeOpenedReportsTwiceAndKeepsTheRecords) {
    CTesseraDoc* doc = OpenPhoneBook({"keep"});
    UseSimulatedLine("/nonexistent/tessera-test-port", SimMethod::Cable);
    prompter.Expect(kMsgConfirmReceive, PromptResult::Ok)
        .Expect(kMsgPortOpen)
        .Expect(kMsgPortReason)
        .Expect(kMsgReceiveFailed);
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    WaitAndWatch();
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgConfirmReceive, kMsgPortOpen, kMsgPortReason,
                                                kMsgReceiveFailed}));
    EXPECT_EQ(Names(*doc), std::vector<std::string>{"keep"});

    prompter.Clear();
    prompter.Expect(kMsgConfirmSend, PromptResult::Ok)
        .Expect(kMsgPortOpen)
        .Expect(kMsgPortReason)
        .Expect(kMsgSendFailed);
    ASSERT_TRUE(frame->RouteCommand(ID_SEND_TO_DEVICE));
    WaitAndWatch();
    EXPECT_EQ(prompter.Ids(),
              (std::vector<int>{kMsgConfirmSend, kMsgPortOpen, kMsgPortReason, kMsgSendFailed}));
    EXPECT_FALSE(run.app->IsBusy());
}

TEST_F(TransferWindowTest, ReceiveAsksToSaveAModifiedDocumentFirst) {
    CTesseraDoc* doc = OpenPhoneBook({"keep"});
    doc->SetModifiedFlag(true);
    prompter.Expect(kMsgAskToSave, PromptResult::Cancel);
    frame->RouteCommand(ID_RECEIVE_FROM_DEVICE);
    EXPECT_EQ(run.Session(), nullptr);
    prompter.Expect(kMsgAskToSave, PromptResult::No)
        .Expect(kMsgConfirmReceive, PromptResult::Cancel);
    frame->RouteCommand(ID_RECEIVE_FROM_DEVICE);
    EXPECT_EQ(run.Session(), nullptr);
    EXPECT_EQ(Names(*doc), std::vector<std::string>{"keep"});
}

TEST_F(TransferWindowTest, UndoIsLockedWhileAReceiveRunsAndStartsAfreshAfterIt) {
    CTesseraDoc* doc = OpenPhoneBook({"a", "b", "c"});
    ASSERT_EQ(DeleteRecords(*doc, {0}), 1);
    doc->SetModifiedFlag(false); // saved after the delete: no question before the receive
    ASSERT_TRUE(Enabled(ID_EDIT_UNDO));

    // A receive the user cancels: locked while it runs, the history back afterwards.
    {
        sim::SimConfig cfg = DeviceConfig(SimMethod::Cable, SimRole::Send);
        cfg.faults.mute = true;
        sim::SimThread device(cfg);
        ASSERT_TRUE(device.Ok());
        UseSimulatedLine(device.PortName(), SimMethod::Cable);
        prompter.Expect(kMsgConfirmReceive, PromptResult::Ok).Expect(kMsgReceiveCancelled);
        ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
        ASSERT_TRUE(IsDocumentLocked(doc));
        EXPECT_FALSE(doc->CanUndo());
        EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
        EXPECT_FALSE(frame->RouteCommand(ID_EDIT_UNDO));
        // Even a direct call finds the lock: the history belongs to the records put aside.
        EXPECT_TRUE(doc->RunCommand(ID_EDIT_UNDO));
        EXPECT_EQ(doc->RecordSet()->RecordCount(), 0);
        EXPECT_EQ(doc->UndoStack().index(), 1);
        run.Session()->Cancel();
        WaitAndWatch(20000);
        device.Stop();
    }
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"b", "c"}));
    EXPECT_FALSE(doc->IsModified());
    Activate(doc); // the closed progress window may have taken the activation along
    ASSERT_TRUE(Enabled(ID_EDIT_UNDO));
    ASSERT_TRUE(frame->RouteCommand(ID_EDIT_UNDO));
    EXPECT_EQ(Names(*doc), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(doc->IsModified());

    // A receive that completes replaces the records: nothing before it can be undone, and
    // the document stays modified until saved.
    sim::SimConfig cfg = DeviceConfig(SimMethod::Cable, SimRole::Send);
    cfg.sendData = SampleText("phonebook");
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    UseSimulatedLine(device.PortName(), SimMethod::Cable);
    prompter.Expect(kMsgAskToSave, PromptResult::No)
        .Expect(kMsgConfirmReceive, PromptResult::Ok)
        .Expect(kMsgReceiveDone);
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    EXPECT_EQ(doc->UndoStack().index(), 0);
    EXPECT_FALSE(doc->CanRedo()) << "redo is locked too";
    EXPECT_FALSE(Enabled(ID_EDIT_REDO));
    WaitAndWatch();
    EXPECT_TRUE(device.Join().completed);
    Activate(doc);
    EXPECT_EQ(doc->RecordSet()->RecordCount(), 5);
    EXPECT_EQ(doc->UndoStack().count(), 0);
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    EXPECT_FALSE(Enabled(ID_EDIT_REDO));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(prompter.Pending(), 0u);
    doc->SetModifiedFlag(false);
}

TEST_F(TransferWindowTest, ClosingWindowsWhileATransferRunsAsksAndWaitsForTheEnd) {
    CTesseraDoc* doc = OpenPhoneBook({"keep"});
    CTesseraDoc* other = OpenPhoneBook({"other"});
    Activate(doc);
    sim::SimConfig cfg = DeviceConfig(SimMethod::Cable, SimRole::Send);
    cfg.faults.mute = true;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    UseSimulatedLine(device.PortName(), SimMethod::Cable);
    prompter.Expect(kMsgConfirmReceive, PromptResult::Ok);
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    ASSERT_NE(run.Session(), nullptr);

    // The main window: the user keeps the transfer, so nothing closes.
    prompter.Expect(kMsgCancelToClose, PromptResult::Cancel);
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_NE(run.Session(), nullptr);

    // Another document's window is no concern of the transfer.
    QPointer<QMdiSubWindow> otherWindow;
    QPointer<QMdiSubWindow> docWindow;
    for (QMdiSubWindow* w : frame->MdiArea()->subWindowList()) {
        if (w->widget() == ViewOf(other))
            otherWindow = w;
        if (w->widget() == ViewOf(doc))
            docWindow = w;
    }
    ASSERT_TRUE(otherWindow && docWindow);
    otherWindow->close();
    ProcessEvents();

    // The receiving document's window: cancel, and close once the job has ended.
    prompter.Expect(kMsgCancelToClose, PromptResult::Ok).Expect(kMsgReceiveCancelled);
    docWindow->close();
    ProcessEvents();
    WaitAndWatch(20000);
    ProcessEvents(50);
    EXPECT_EQ(run.Session(), nullptr);
    EXPECT_FALSE(run.app->IsBusy());
    EXPECT_TRUE(docWindow.isNull()) << "the window closed after the job ended";
    EXPECT_TRUE(frame->Documents().isEmpty());
    EXPECT_EQ(prompter.Pending(), 0u);
    device.Stop();
}

TEST_F(TransferWindowTest, AddInGoesToTheDeviceAfterTheOverviewAndTheQuestion) {
    QTemporaryDir dir;
    auto write = [&](const char* name, const std::string& bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    };
    write("TEST.ZRS", "ZRS,P,\"Test\"\r\nREADME.TXT\r\nAPP.EXE\r\nAPP.DAT\r\n");
    write("README.TXT", "Test add-in\r\nline two\n");
    const std::string exe(3000, 'E');
    const std::string dat(700, 'D');
    write("APP.EXE", exe);
    write("APP.DAT", dat);

    ASSERT_TRUE(run.app->Settings().SetModel(1));
    EXPECT_FALSE(Enabled(ID_ADDIN_TRANSFER)) << "a model that takes no add-ins";
    ASSERT_TRUE(run.app->Settings().SetModel(4));
    EXPECT_TRUE(Enabled(ID_ADDIN_TRANSFER));

    sim::SimConfig cfg = DeviceConfig(SimMethod::Cable, SimRole::PcLink);
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    UseSimulatedLine(device.PortName(), SimMethod::Cable);
    SetAddInFileDialog([&](QWidget*) { return dir.filePath(QStringLiteral("TEST.ZRS")); });

    QString overview;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* show = qobject_cast<CShowDocDlg*>(w); show && show->isVisible()) {
                overview = show->TextBox()->toPlainText();
                show->accept();
            }
    });
    prompter.Expect(kMsgAddInConfirm, PromptResult::Ok).Expect(kMsgSendDone);
    ASSERT_TRUE(frame->RouteCommand(ID_ADDIN_TRANSFER));
    EXPECT_EQ(overview, QStringLiteral("Test add-in\nline two\n"));
    ASSERT_NE(run.Session(), nullptr);
    EXPECT_FALSE(Enabled(ID_ADDIN_TRANSFER));
    const QStringList seen = WaitAndWatch();
    SetAddInFileDialog({});
    EXPECT_TRUE(seen.contains(QStringLiteral("アドインデータを転送しています")))
        << seen.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgAddInConfirm, kMsgSendDone}));
    EXPECT_FALSE(run.app->IsBusy());
    const sim::SimResult r = device.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.stored.at("S1:APP.EXE"), exe);
    EXPECT_EQ(r.stored.at("S1:APP.DAT"), dat);
}

TEST_F(TransferWindowTest, AddInStopsAtABadZrsFileOrACancelledOverview) {
    QTemporaryDir dir;
    {
        QFile f(dir.filePath(QStringLiteral("TWO.ZRS")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ZRS,P,\"Two\"\r\nREADME.TXT\r\n");
        QFile r(dir.filePath(QStringLiteral("README.TXT")));
        ASSERT_TRUE(r.open(QIODevice::WriteOnly));
        r.write("hello\r\n");
        QFile a(dir.filePath(QStringLiteral("OK.ZRS")));
        ASSERT_TRUE(a.open(QIODevice::WriteOnly));
        a.write("ZRS,P,\"Ok\"\r\nREADME.TXT\r\nREADME.TXT\r\n");
    }
    ASSERT_TRUE(run.app->Settings().SetModel(4));
    QString answer = dir.filePath(QStringLiteral("TWO.ZRS"));
    SetAddInFileDialog([&](QWidget*) { return answer; });
    prompter.Expect(kMsgZrsFormat).Expect(kMsgAddInPrepareFailed);
    frame->RouteCommand(ID_ADDIN_TRANSFER);
    EXPECT_EQ(run.Session(), nullptr);

    answer = dir.filePath(QStringLiteral("OK.ZRS"));
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* show = qobject_cast<CShowDocDlg*>(w); show && show->isVisible())
                show->reject();
    });
    frame->RouteCommand(ID_ADDIN_TRANSFER);
    EXPECT_EQ(run.Session(), nullptr);

    answer.clear(); // the file dialog cancelled
    frame->RouteCommand(ID_ADDIN_TRANSFER);
    SetAddInFileDialog({});
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgZrsFormat, kMsgAddInPrepareFailed}));
    EXPECT_FALSE(run.app->IsBusy());
}

// What a new user does first: start with the simulated device and receive its phone book,
// with the program's own settings for the line and its real timing.
TEST(DemoTransferTest, TheDemoDevicesPhoneBookArrivesInANewDocument) {
    RunningApp run({QStringLiteral("--demo")});
    ASSERT_TRUE(run.started);
    if (run.app->DemoDevice() == nullptr || !run.app->DemoDevice()->IsRunning())
        GTEST_SKIP() << "no pseudo-terminal for the demo device";
    ScriptedPrompter prompter;
    CMainFrame* frame = run.app->MainFrame();
    CTesseraDoc* doc = frame->NewDocument();
    prompter.Expect(kMsgConfirmReceive, PromptResult::Ok).Expect(kMsgReceiveDone);
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    EXPECT_TRUE(WaitUntil([&run] { return run.Session() == nullptr; }, 60000));
    EXPECT_EQ(prompter.Ids(), (std::vector<int>{kMsgConfirmReceive, kMsgReceiveDone}));
    ASSERT_NE(doc->RecordSet(), nullptr);
    EXPECT_EQ(doc->RecordSet()->Kind(), 1);
    EXPECT_GT(doc->RecordSet()->RecordCount(), 0);
    EXPECT_EQ(doc->Views().first()->Model()->rowCount(), doc->RecordSet()->RecordCount());
}

} // namespace
} // namespace tessera::test
