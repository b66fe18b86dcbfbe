// The --demo start: a simulated device with the sample phone book on a pseudo-terminal,
// this run's port pointed at it, and the user's own port kept in the store. The device serves
// both directions: what Tessera sends, it keeps, and the next receive brings it back.

#include "GuiTestSupport.h"
#include "app/MainFrame.h"
#include "app/transfer/DemoDevice.h"
#include "base/AppSettings.h"
#include "document/CommandIds.h"
#include "document/RecordCommands.h"
#include "document/RecordTableModel.h"
#include "document/TesseraDoc.h"
#include "link/AddInTransfer.h"
#include "link/CableCom.h"
#include "link/Job.h"
#include "link/RecordStream.h"
#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QSettings>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace tessera::test {
namespace {

std::string SampleBytes() {
    QFile f(CDemoDevice::SamplePhoneBook());
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

// Waits until a device waits on the line for the next exchange (the one before it may still
// be lingering after the last one), keeping the windows alive meanwhile.
bool WaitReady(const CDemoDevice& demo, int ms = 10000) {
    QDeadlineTimer until(ms);
    while (!demo.IsReady() && !until.hasExpired()) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    return demo.IsReady();
}

// Owns one job at a time the way the windows do: the runner's worker, then the completion and
// its message, whose id Run returns. A receive's file is kept in `received`; with `cancelAt`
// the user cancels once that many bytes have gone.
class JobOwner : public JobObserver {
public:
    explicit JobOwner(const CAppSettings& settings) : m_settings(settings) {}

    void JobProgress(JobKind, std::int64_t bytes) override {
        TransferJob* job = m_job.load();
        if (cancelAt > 0 && bytes >= cancelAt && job != nullptr)
            job->Cancel();
    }
    void JobCloseRequest(JobKind) override {}
    void JobStep(int) override {}
    void JobFinished(const std::shared_ptr<TransferJob>&) override {}

    int Run(const std::shared_ptr<TransferJob>& job) {
        job->link.method = m_settings.Method;
        job->link.portName = m_settings.Port();
        job->link.bitsPerSecond = m_settings.Bps;
        m_job = job.get();
        CJobRunner runner;
        if (!runner.Start(job, *this))
            return -1;
        runner.WaitFinished();
        runner.Finish();
        CompletionHooks hooks;
        hooks.loadReceived = [this](const QString& path) {
            received = ReadFile(path);
            return !received.empty();
        };
        const int id = CompleteJob(*job, *this, hooks);
        m_job = nullptr;
        return id;
    }
    int Receive(std::string& out) {
        received.clear();
        const int id = Run(std::make_shared<ReceiveJob>());
        out = received;
        return id;
    }
    int Send(const CRecordSet& records, std::string* sent = nullptr) {
        auto job = std::make_shared<SendJob>();
        if (!PrepareSendJob(*job, records, nullptr, 256 * 1024))
            return -1;
        if (sent != nullptr)
            sent->assign(job->buffer.data(), static_cast<std::size_t>(job->length));
        return Run(job);
    }

    std::int64_t cancelAt = 0;
    std::string received;

private:
    const CAppSettings& m_settings;
    std::atomic<TransferJob*> m_job{nullptr};
};

TEST(DemoTest, DeviceSendsTheSamplePhoneBookOnThePortItGivesTheSettings) {
    const QString sample = CDemoDevice::SamplePhoneBook();
    ASSERT_FALSE(sample.isEmpty()) << "the repository's samples hold a phone book";
    QFile f(sample);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string expected = f.readAll().toStdString();

    ScriptedPrompter prompter;
    TempSettings folder;
    CAppSettings settings;
    CDemoDevice demo;
    ASSERT_TRUE(demo.Start(settings));
    EXPECT_EQ(settings.Port(), demo.PortName());
    EXPECT_EQ(settings.Method, 1);
    EXPECT_EQ(demo.PreviousPort(), QStringLiteral("COM1"));

    // Two receives in a row: the device is ready again after each one.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // A device that has just finished lingers a moment for a line closed and reopened at
        // once; the next receive comes to the next device, as a user's second one would.
        QDeadlineTimer ready(5000);
        while (!(demo.Exchanges() == round && demo.IsReady()) && !ready.hasExpired())
            QThread::msleep(20);
        ASSERT_TRUE(demo.IsReady());
        {
            CCableCom port;
            ASSERT_TRUE(port.Open(settings.Port(), settings.Bps));
            std::string got;
            const TransferResult r = ReceiveRecordStream(port, [&got](const char* data, int count) {
                got.append(data, static_cast<std::size_t>(count));
                return true;
            });
            EXPECT_EQ(r, TransferResult::Completed);
            EXPECT_EQ(got, expected);
        }
        QDeadlineTimer done(5000);
        while (demo.Exchanges() == round && !done.hasExpired())
            QThread::msleep(20);
    }
    demo.Stop();
    EXPECT_FALSE(QFile::exists(demo.PortName())) << "the line's name goes with the device";
}

// The new user's round trip against the real job engine and the program's own timing:
// receive the sample, send back a changed set, and the next receive brings that set back.
TEST(DemoTest, WhatIsSentBackIsWhatTheNextReceiveBrings) {
    const std::string sample = SampleBytes();
    ASSERT_FALSE(sample.empty());
    ScriptedPrompter prompter;
    prompter.Expect(kMsgReceiveDone).Expect(kMsgSendDone).Expect(kMsgReceiveDone);
    TempSettings folder;
    CAppSettings settings;
    CDemoDevice demo;
    ASSERT_TRUE(demo.Start(settings));
    JobOwner owner(settings);

    std::string first;
    ASSERT_TRUE(WaitReady(demo));
    ASSERT_EQ(owner.Receive(first), kMsgReceiveDone);
    EXPECT_EQ(first, sample);

    // One record fewer and the last one moved to the front: nothing the sample could pass for.
    CRecordSet changed;
    ASSERT_TRUE(changed.ReadText(first, nullptr));
    ASSERT_GE(changed.RecordCount(), 3);
    const int count = changed.RecordCount();
    ASSERT_TRUE(changed.RemoveRecord(0));
    ASSERT_TRUE(changed.InsertRecord(0, changed.TakeRecord(changed.RecordCount() - 1)));
    std::string sent;
    ASSERT_TRUE(WaitReady(demo));
    ASSERT_EQ(owner.Send(changed, &sent), kMsgSendDone);
    ASSERT_NE(sent, sample);

    std::string again;
    ASSERT_TRUE(WaitReady(demo));
    ASSERT_EQ(owner.Receive(again), kMsgReceiveDone);
    EXPECT_EQ(again, sent);
    CRecordSet back;
    ASSERT_TRUE(back.ReadText(again, nullptr));
    EXPECT_EQ(back.RecordCount(), count - 1);
    ASSERT_TRUE(WaitReady(demo)); // the device counts an exchange once it has let go of it
    EXPECT_EQ(demo.Exchanges(), 3);
    EXPECT_EQ(prompter.Pending(), 0u);
}

// A send the user cancels halfway leaves the device holding what it held, and ready.
TEST(DemoTest, ACancelledSendLeavesTheDeviceAsItWasAndReady) {
    const std::string sample = SampleBytes();
    ASSERT_FALSE(sample.empty());
    ScriptedPrompter prompter;
    prompter.Expect(kMsgSendCancelled)
        .Expect(kMsgReceiveDone)
        .Expect(kMsgSendDone)
        .Expect(kMsgReceiveDone);
    TempSettings folder;
    CAppSettings settings;
    CDemoDevice demo;
    ASSERT_TRUE(demo.Start(settings));
    JobOwner owner(settings);

    // Enough records for several blocks, so the cancel after the first leaves the stream
    // without its end.
    CRecordSet big;
    ASSERT_TRUE(big.ReadText(sample, nullptr));
    const int base = big.RecordCount();
    for (int i = 0; i < 4 * base; ++i)
        ASSERT_TRUE(big.InsertRecord(big.RecordCount(), big.RecordAt(i % base)->Clone()));
    std::string stream;
    ASSERT_TRUE(big.WriteTextToString(stream));
    ASSERT_GT(stream.size(), 3u * kLinkBlockSize);

    owner.cancelAt = 1;
    ASSERT_TRUE(WaitReady(demo));
    EXPECT_EQ(owner.Send(big), kMsgSendCancelled);
    owner.cancelAt = 0;

    std::string got;
    ASSERT_TRUE(WaitReady(demo)) << "the device is ready again after the broken stream";
    EXPECT_EQ(demo.Exchanges(), 0) << "a broken stream is no exchange";
    ASSERT_EQ(owner.Receive(got), kMsgReceiveDone);
    EXPECT_EQ(got, sample) << "nothing of the cancelled send is kept";

    // And the whole set goes through on the next try.
    std::string sent;
    ASSERT_TRUE(WaitReady(demo));
    ASSERT_EQ(owner.Send(big, &sent), kMsgSendDone);
    ASSERT_TRUE(WaitReady(demo));
    ASSERT_EQ(owner.Receive(got), kMsgReceiveDone);
    EXPECT_TRUE(got == sent);
    EXPECT_EQ(prompter.Pending(), 0u);
}

// The add-in command's transfer reaches the device too, which then holds the add-in: the
// same one again is refused as already there, and the records are untouched by either.
TEST(DemoTest, AnAddInIsInstalledOnceAndTheRecordsStay) {
    const std::string sample = SampleBytes();
    ASSERT_FALSE(sample.empty());
    QTemporaryDir dir;
    WriteFile(dir, QStringLiteral("GAME.ZRS"),
              "ZRS,P,\"Game\"\r\nREADME.TXT\r\nGAME.EXE\r\nGAME.DAT\r\n");
    WriteFile(dir, QStringLiteral("README.TXT"), "A game.\r\n");
    WriteFile(dir, QStringLiteral("GAME.EXE"), std::string(700, 'x'));
    WriteFile(dir, QStringLiteral("GAME.DAT"), std::string(30, 'd'));
    const auto addIn = [&] {
        auto transfer = std::make_unique<CAddInTransfer>();
        EXPECT_EQ(transfer->LoadZrs(dir.filePath(QStringLiteral("GAME.ZRS"))),
                  CAddInTransfer::kLoaded);
        return std::make_shared<AddInJob>(std::move(transfer));
    };
    ScriptedPrompter prompter;
    prompter.Expect(kMsgSendDone)
        .Expect(kMsgAddInSameName)
        .Expect(kMsgSendFailed)
        .Expect(kMsgReceiveDone);
    TempSettings folder;
    CAppSettings settings;
    CDemoDevice demo;
    ASSERT_TRUE(demo.Start(settings));
    JobOwner owner(settings);

    ASSERT_TRUE(WaitReady(demo));
    EXPECT_EQ(owner.Run(addIn()), kMsgSendDone);
    ASSERT_TRUE(WaitReady(demo));
    EXPECT_EQ(owner.Run(addIn()), kMsgSendFailed);

    std::string got;
    ASSERT_TRUE(WaitReady(demo));
    ASSERT_EQ(owner.Receive(got), kMsgReceiveDone);
    EXPECT_EQ(got, sample);
    EXPECT_EQ(prompter.Pending(), 0u);
}

// The same round trip through the windows, as a user does it: receive into a new window,
// sort, copy and paste two records, send the window's records with the send command, and
// receive into another window.
TEST(DemoTest, WindowsReceiveChangeSendBackAndReceiveAgain) {
    ScriptedPrompter prompter;
    TempSettings folder;
    StartedApp s({QStringLiteral("--demo")}, false, false);
    ASSERT_TRUE(s.started);
    CDemoDevice* demo = s.app->DemoDevice();
    if (demo == nullptr || !demo->IsRunning())
        GTEST_SKIP() << "no pseudo-terminal for the demo device";
    CMainFrame* frame = s.app->MainFrame();
    const auto transferEnds = [frame] {
        QDeadlineTimer until(60000);
        while (frame->RecordCommands().Session() != nullptr && !until.hasExpired()) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        ProcessEvents();
        return frame->RecordCommands().Session() == nullptr;
    };

    CTesseraDoc* first = frame->NewDocument();
    prompter.Expect(kMsgConfirmReceive, PromptResult::Ok).Expect(kMsgReceiveDone);
    ASSERT_TRUE(WaitReady(*demo));
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    ASSERT_TRUE(transferEnds());
    ASSERT_NE(first->RecordSet(), nullptr);
    const int count = first->RecordSet()->RecordCount();
    ASSERT_GE(count, 2);
    CTesseraView* view = first->Views().first();
    EXPECT_EQ(view->Model()->rowCount(), count);

    view->OnHeaderClicked(1);
    view->OnHeaderClicked(1); // descending
    for (int row : {0, 1})
        view->selectionModel()->select(view->Model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(view->RunCommand(ID_EDIT_COPY));
    ASSERT_TRUE(view->RunCommand(ID_EDIT_PASTE));
    ASSERT_EQ(first->RecordSet()->RecordCount(), count + 2);
    std::string expected;
    ASSERT_TRUE(first->RecordSet()->WriteTextToString(expected));

    prompter.Expect(kMsgConfirmSend, PromptResult::Ok).Expect(kMsgSendDone);
    ASSERT_TRUE(WaitReady(*demo));
    ASSERT_EQ(frame->ActiveDocument(), first);
    ASSERT_TRUE(frame->RouteCommand(ID_SEND_TO_DEVICE));
    ASSERT_TRUE(transferEnds());

    CTesseraDoc* second = frame->NewDocument();
    prompter.Expect(kMsgConfirmReceive, PromptResult::Ok).Expect(kMsgReceiveDone);
    ASSERT_TRUE(WaitReady(*demo));
    ASSERT_TRUE(frame->RouteCommand(ID_RECEIVE_FROM_DEVICE));
    ASSERT_TRUE(transferEnds());
    EXPECT_EQ(prompter.Ids(),
              (std::vector<int>{kMsgConfirmReceive, kMsgReceiveDone, kMsgConfirmSend, kMsgSendDone,
                                kMsgConfirmReceive, kMsgReceiveDone}));
    ASSERT_NE(second->RecordSet(), nullptr);
    EXPECT_EQ(second->RecordSet()->RecordCount(), count + 2);
    EXPECT_EQ(second->Views().first()->Model()->rowCount(), count + 2);
    std::string got;
    ASSERT_TRUE(second->RecordSet()->WriteTextToString(got));
    EXPECT_TRUE(got == expected);
    ASSERT_TRUE(WaitReady(*demo));
    EXPECT_EQ(demo->Exchanges(), 3);
}

TEST(DemoTest, DemoPortIsNotStoredAtExit) {
    ScriptedPrompter prompter;
    TempSettings folder;
    {
        StartedApp s({QStringLiteral("--demo")}, false, false);
        ASSERT_TRUE(s.started);
        ASSERT_NE(s.app->DemoDevice(), nullptr);
        EXPECT_EQ(s.app->Settings().Port(), s.app->DemoDevice()->PortName());
        s.app->MainFrame()->RefreshStatusPanes();
    }
    // No port was configured before the demo, so none is stored after it.
    auto store = CAppSettings::OpenStore();
    EXPECT_FALSE(store->contains(QStringLiteral("Device/Port")));
}

} // namespace
} // namespace tessera::test
