// Send and receive jobs end to end: the worker, a real serial line and port, the simulated
// device on a pseudo-terminal, and the owner's completion with its messages.

#include "model/RecordSet.h"
#include "support/ScriptedPrompter.h"
#include "tests/jobs/JobTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace tessera::test {
namespace {

using namespace std::chrono_literals;
using sim::SimMethod;
using sim::SimRole;

std::string MethodName(SimMethod m) {
    return m == SimMethod::Cable ? "Cable" : "Ir";
}

// ---- every kind over both lines ----

struct KindCase {
    SimMethod method;
    std::string sample;
};

std::vector<KindCase> KindCases() {
    std::vector<KindCase> out;
    for (const std::string& s : SampleNames()) {
        out.push_back({SimMethod::Cable, s});
        out.push_back({SimMethod::Infrared, s});
    }
    return out;
}

std::string KindCaseName(const testing::TestParamInfo<KindCase>& info) {
    std::string s = info.param.sample;
    for (char& c : s)
        if (c == '-')
            c = '_';
    return MethodName(info.param.method) + "_" + s;
}

class JobKindTest : public testing::TestWithParam<KindCase> {};

// The records read from what arrived equal the records of the sample.
void ExpectSameRecords(const std::string& got, const std::string& sample) {
    CRecordSet a, b;
    ASSERT_TRUE(a.ReadText(got, nullptr));
    ASSERT_TRUE(b.ReadText(sample, nullptr));
    std::string ta, tb;
    ASSERT_TRUE(a.WriteTextToString(ta));
    ASSERT_TRUE(b.WriteTextToString(tb));
    EXPECT_EQ(a.Kind(), b.Kind());
    EXPECT_EQ(a.RecordCount(), b.RecordCount());
    EXPECT_TRUE(ta == tb);
}

TEST_P(JobKindTest, ReceiveLoadsTheDevicesRecords) {
    const std::string sample = SampleBytes(GetParam().sample);
    sim::SimConfig cfg = SimDeviceConfig(GetParam().method, SimRole::Send);
    cfg.sendData = sample;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok()) << device.OpenError();

    ScriptedPrompter prompter;
    prompter.Expect(kMsgReceiveDone);
    auto job = std::make_shared<ReceiveJob>();
    job->link = SimLink(device.PortName(), GetParam().method);
    RecordingObserver observer;
    const JobRun run = RunJobToEnd(job, observer);
    sim::SimResult r = device.Join();

    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(job->result, kJobCompleted);
    EXPECT_EQ(run.message, kMsgReceiveDone);
    ASSERT_TRUE(run.loadCalled);
    EXPECT_TRUE(run.loaded == sample);
    ExpectSameRecords(run.loaded, sample);
    // The owner deleted the file after loading it.
    EXPECT_FALSE(run.tempPath.isEmpty());
    EXPECT_TRUE(QFileInfo(run.tempPath).fileName().startsWith(QLatin1String("ZRS")));
    EXPECT_FALSE(QFileInfo::exists(run.tempPath));
    // Progress rose to the whole stream, then the window was closed once.
    const auto progress = observer.ProgressValues();
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), static_cast<std::int64_t>(sample.size()));
    EXPECT_EQ(observer.CloseRequests(), 1);
}

TEST_P(JobKindTest, SendDeliversTheRecords) {
    const std::string sample = SampleBytes(GetParam().sample);
    CRecordSet set;
    ASSERT_TRUE(set.ReadText(sample, nullptr));
    sim::SimConfig cfg = SimDeviceConfig(GetParam().method, SimRole::Receive);
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok()) << device.OpenError();

    ScriptedPrompter prompter;
    prompter.Expect(kMsgSendDone);
    auto job = std::make_shared<SendJob>();
    job->link = SimLink(device.PortName(), GetParam().method);
    ASSERT_TRUE(PrepareSendJob(*job, set, nullptr, std::size_t{1024} << 7));
    RecordingObserver observer;
    const JobRun run = RunJobToEnd(job, observer);
    sim::SimResult r = device.Join();

    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(job->result, kJobCompleted);
    EXPECT_EQ(run.message, kMsgSendDone);
    EXPECT_EQ(r.received.size(), static_cast<std::size_t>(job->length));
    ExpectSameRecords(r.received, sample);
    const auto progress = observer.ProgressValues();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), job->length);
    // The stream buffer is freed with the job's completion.
    EXPECT_TRUE(job->buffer.empty());
}

INSTANTIATE_TEST_SUITE_P(Samples, JobKindTest, testing::ValuesIn(KindCases()), KindCaseName);

// ---- per line: cancel, failures, incomplete streams ----

class JobLineTest : public testing::TestWithParam<SimMethod> {
protected:
    SimMethod Method() const { return GetParam(); }
};

std::string LineName(const testing::TestParamInfo<SimMethod>& info) {
    return MethodName(info.param);
}

// A receive cancelled while the device has not started yet ends at once as cancelled; it
// does not hold the port until the read time-outs run out.
TEST_P(JobLineTest, CancelWhileWaitingForTheDeviceEndsPromptly) {
    sim::SimConfig cfg = SimDeviceConfig(Method(), SimRole::Send);
    cfg.faults.mute = true;
    cfg.timing.linger = 10ms;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());

    ScriptedPrompter prompter;
    prompter.Expect(kMsgReceiveCancelled);
    auto job = std::make_shared<ReceiveJob>();
    // Real time-outs: a cancel seen only after them would take minutes.
    job->link = SimLink(device.PortName(), Method(), 1.0);
    RecordingObserver observer;
    std::thread canceller([job] {
        std::this_thread::sleep_for(1200ms);
        job->Cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    const JobRun run = RunJobToEnd(job, observer);
    const auto took = std::chrono::steady_clock::now() - start;
    canceller.join();
    device.Stop();
    device.Join();

    EXPECT_EQ(job->result, kJobCancelled);
    EXPECT_EQ(run.message, kMsgReceiveCancelled);
    EXPECT_FALSE(run.loadCalled);
    EXPECT_LT(took, 4s);
    EXPECT_FALSE(run.tempPath.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(run.tempPath));
    // The user closed the window: nobody asks it to close again.
    EXPECT_EQ(observer.CloseRequests(), 0);
}

// Cancel after the first block: the block in hand is kept until the owner deletes the file,
// and the job is cancelled, not failed.
TEST_P(JobLineTest, CancelDuringReceive) {
    sim::SimConfig cfg = SimDeviceConfig(Method(), SimRole::Send);
    std::string stream(6000, 'x');
    stream = "\"i\",\"NAME\"\r\n" + stream + "\r\n\x1a";
    cfg.sendData = stream;
    cfg.pace = true;
    cfg.bps = 9600;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());

    ScriptedPrompter prompter;
    prompter.Expect(kMsgReceiveCancelled);
    auto job = std::make_shared<ReceiveJob>();
    job->link = SimLink(device.PortName(), Method());
    RecordingObserver observer;
    observer.onProgress = [job](std::int64_t) { job->Cancel(); };
    const JobRun run = RunJobToEnd(job, observer);
    device.Stop();
    device.Join();

    EXPECT_EQ(job->result, kJobCancelled);
    EXPECT_EQ(run.message, kMsgReceiveCancelled);
    EXPECT_EQ(observer.ProgressValues().size(), 1u);
    EXPECT_GT(job->bytesReceived, 0);
    EXPECT_LT(job->bytesReceived, static_cast<std::int64_t>(stream.size()));
    EXPECT_FALSE(QFileInfo::exists(run.tempPath));
}

TEST_P(JobLineTest, CancelDuringSend) {
    sim::SimConfig cfg = SimDeviceConfig(Method(), SimRole::Receive);
    cfg.timing.linger = 10ms;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());

    ScriptedPrompter prompter;
    prompter.Expect(kMsgSendCancelled);
    auto job = std::make_shared<SendJob>();
    job->link = SimLink(device.PortName(), Method());
    job->buffer.assign(5000, 'y');
    job->length = 5000;
    RecordingObserver observer;
    observer.onProgress = [job](std::int64_t) { job->Cancel(); };
    const JobRun run = RunJobToEnd(job, observer);
    device.Stop();
    device.Join();

    EXPECT_EQ(job->result, kJobCancelled);
    EXPECT_EQ(run.message, kMsgSendCancelled);
    // The block in progress completed; nothing was reported after the cancel.
    EXPECT_EQ(observer.ProgressValues(), std::vector<std::int64_t>{512});
    EXPECT_EQ(observer.CloseRequests(), 0);
}

// The text form ends with 0x1A; a stream without it was cut short and must not be loaded.
TEST_P(JobLineTest, StreamWithoutEndMarkIsAFailedReceive) {
    sim::SimConfig cfg = SimDeviceConfig(Method(), SimRole::Send);
    std::string sample = SampleBytes("schedule");
    sample.pop_back();
    ASSERT_NE(sample.back(), '\x1a');
    cfg.sendData = sample;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());

    ScriptedPrompter prompter;
    prompter.Expect(kMsgReceiveFailed);
    auto job = std::make_shared<ReceiveJob>();
    job->link = SimLink(device.PortName(), Method());
    RecordingObserver observer;
    const JobRun run = RunJobToEnd(job, observer);
    device.Join();

    EXPECT_EQ(job->result, kJobFailed);
    EXPECT_EQ(run.message, kMsgReceiveFailed);
    EXPECT_FALSE(run.loadCalled);
    EXPECT_EQ(observer.CloseRequests(), 1);
}

// A device that never starts: the line's time-outs (scaled) run out and the receive fails.
TEST_P(JobLineTest, DeviceThatNeverStartsFailsAfterTheTimeouts) {
    sim::SimConfig cfg = SimDeviceConfig(Method(), SimRole::Send, 0.01);
    cfg.faults.mute = true;
    cfg.timing.linger = 10ms;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());

    ScriptedPrompter prompter;
    prompter.Expect(kMsgReceiveFailed);
    auto job = std::make_shared<ReceiveJob>();
    job->link = SimLink(device.PortName(), Method(), 0.01);
    // Fewer empty reads on the cable keep the wait short; every read still waits in full.
    job->link.timing.cableEmptyReads = 4;
    job->link.bitsPerSecond = 115200;
    RecordingObserver observer;
    const JobRun run = RunJobToEnd(job, observer);
    device.Stop();
    device.Join();

    EXPECT_EQ(job->result, kJobFailed);
    EXPECT_EQ(run.message, kMsgReceiveFailed);
    EXPECT_TRUE(observer.ProgressValues().empty());
    EXPECT_FALSE(run.tempPath.isEmpty() && QFileInfo::exists(run.tempPath));
}

INSTANTIATE_TEST_SUITE_P(Lines, JobLineTest, testing::Values(SimMethod::Cable, SimMethod::Infrared),
                         LineName);

// ---- failures before the line moves ----

TEST(JobStartTest, PortThatCannotBeOpened) {
    const QString missing = QDir::temp().filePath(QStringLiteral("tessera-no-such-port"));
    for (int method : {0, 1}) {
        {
            ScriptedPrompter prompter;
            prompter.Expect(kMsgPortOpen).Expect(kMsgPortReason).Expect(kMsgReceiveFailed);
            auto job = std::make_shared<ReceiveJob>();
            job->link.method = method;
            job->link.portName = missing;
            RecordingObserver observer;
            const JobRun run = RunJobToEnd(job, observer);
            EXPECT_EQ(job->result, kJobFailed);
            EXPECT_EQ(run.message, kMsgReceiveFailed);
            // No temporary file is left behind.
            EXPECT_TRUE(job->TempPath().isEmpty());
            EXPECT_EQ(observer.CloseRequests(), 1);
        }
        {
            ScriptedPrompter prompter;
            prompter.Expect(kMsgPortOpen).Expect(kMsgPortReason).Expect(kMsgSendFailed);
            auto job = std::make_shared<SendJob>();
            job->link.method = method;
            job->link.portName = missing;
            job->buffer.assign(10, 'a');
            job->length = 10;
            RecordingObserver observer;
            const JobRun run = RunJobToEnd(job, observer);
            EXPECT_EQ(job->result, kJobFailed);
            EXPECT_EQ(run.message, kMsgSendFailed);
            // The worker closed the window before its message; the owner does not again.
            const auto events = observer.Events();
            ASSERT_EQ(observer.CloseRequests(), 1);
            EXPECT_EQ(events.front().kind, RecordingObserver::Event::Close);
        }
    }
}

TEST(JobStartTest, TemporaryFileThatCannotBeMade) {
    // A temporary folder that is a file: nothing can be made in it.
    QTemporaryFile notAFolder;
    ASSERT_TRUE(notAFolder.open());
    const QByteArray old = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(notAFolder.fileName()));
    ScriptedPrompter prompter;
    prompter.Expect(kMsgTempFile).Expect(kMsgReceiveFailed);
    auto job = std::make_shared<ReceiveJob>();
    job->link.portName = QStringLiteral("/nonexistent/port");
    RecordingObserver observer;
    const JobRun run = RunJobToEnd(job, observer);
    if (old.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", old);
    EXPECT_EQ(job->result, kJobFailed);
    EXPECT_EQ(run.message, kMsgReceiveFailed);
}

// One job at a time: a second start is refused until the first one's completion is handled.
TEST(JobRunnerTest, SecondStartIsRefusedWhileBusy) {
    sim::SimConfig cfg = SimDeviceConfig(SimMethod::Cable, SimRole::Send);
    cfg.faults.mute = true;
    cfg.timing.linger = 10ms;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    ScriptedPrompter prompter;
    prompter.Expect(kMsgReceiveCancelled);

    CJobRunner runner;
    RecordingObserver observer;
    auto first = std::make_shared<ReceiveJob>();
    first->link = SimLink(device.PortName(), SimMethod::Cable);
    ASSERT_TRUE(runner.Start(first, observer));
    EXPECT_TRUE(runner.IsBusy());
    auto second = std::make_shared<SendJob>();
    EXPECT_FALSE(runner.Start(second, observer));
    EXPECT_EQ(runner.Current(), first);

    first->Cancel();
    runner.WaitFinished();
    // Finished but not yet handled: still busy.
    EXPECT_TRUE(runner.IsBusy());
    EXPECT_FALSE(runner.Start(second, observer));
    runner.Finish();
    EXPECT_FALSE(runner.IsBusy());
    EXPECT_EQ(CompleteJob(*first, observer, {}), kMsgReceiveCancelled);
    EXPECT_EQ(observer.Finished(), 1);
    device.Stop();
    device.Join();
}

TEST(JobPrepareTest, StreamLargerThanTheBufferStartsNothing) {
    CRecordSet set;
    ASSERT_TRUE(set.ReadText(SampleBytes("cards"), nullptr));
    ScriptedPrompter prompter;
    prompter.Expect(kMsgBufferTooSmall);
    SendJob job;
    EXPECT_FALSE(PrepareSendJob(job, set, nullptr, 512));
    EXPECT_EQ(job.length, 0);

    // Only the selected records, in the order given.
    std::vector<std::int32_t> selection{1};
    ASSERT_TRUE(PrepareSendJob(job, set, &selection, 4096));
    CRecordSet back;
    ASSERT_TRUE(back.ReadText(
        std::string_view(job.buffer.data(), static_cast<std::size_t>(job.length)), nullptr));
    EXPECT_EQ(back.RecordCount(), 1);
}

} // namespace
} // namespace tessera::test
