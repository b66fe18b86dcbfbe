#include "tests/jobs/JobTestSupport.h"

#include "support/TestApp.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>

namespace tessera::test {

JobLink SimLink(const std::string& portName, sim::SimMethod method, double scale) {
    JobLink link;
    link.method = method == sim::SimMethod::Infrared ? 0 : 1;
    link.portName = QString::fromStdString(portName);
    link.bitsPerSecond = 9600;
    link.ignoreEcho = false;
    link.timing = LinkTiming{}.Scaled(scale);
    return link;
}

sim::SimConfig SimDeviceConfig(sim::SimMethod method, sim::SimRole role, double scale) {
    sim::SimConfig c;
    c.method = method;
    c.role = role;
    c.timing = sim::SimTiming{}.Scaled(scale);
    return c;
}

void RecordingObserver::JobProgress(JobKind, std::int64_t bytes) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.push_back({Event::Progress, bytes});
    }
    if (onProgress)
        onProgress(bytes);
}

void RecordingObserver::JobCloseRequest(JobKind) {
    std::lock_guard<std::mutex> g(m_lock);
    m_events.push_back({Event::Close, 0});
}

void RecordingObserver::JobStep(int step) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.push_back({Event::Step, step});
    }
    if (onStep)
        onStep(step);
}

void RecordingObserver::JobFinished(const std::shared_ptr<TransferJob>&) {
    std::lock_guard<std::mutex> g(m_lock);
    m_events.push_back({Event::Finished, 0});
}

std::vector<RecordingObserver::Event> RecordingObserver::Events() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_events;
}

std::vector<std::int64_t> RecordingObserver::ProgressValues() const {
    std::vector<std::int64_t> out;
    for (const Event& e : Events())
        if (e.kind == Event::Progress)
            out.push_back(e.value);
    return out;
}

std::vector<int> RecordingObserver::Steps() const {
    std::vector<int> out;
    for (const Event& e : Events())
        if (e.kind == Event::Step)
            out.push_back(static_cast<int>(e.value));
    return out;
}

int RecordingObserver::CloseRequests() const {
    int n = 0;
    for (const Event& e : Events())
        n += e.kind == Event::Close ? 1 : 0;
    return n;
}

int RecordingObserver::Finished() const {
    int n = 0;
    for (const Event& e : Events())
        n += e.kind == Event::Finished ? 1 : 0;
    return n;
}

JobRun RunJobToEnd(const std::shared_ptr<TransferJob>& job, RecordingObserver& observer,
                   bool loadResult) {
    JobRun run;
    CJobRunner runner;
    EXPECT_TRUE(runner.Start(job, observer));
    runner.WaitFinished();
    runner.Finish();
    EXPECT_FALSE(runner.IsBusy());
    if (job->Kind() == JobKind::Receive)
        run.tempPath = static_cast<ReceiveJob&>(*job).TempPath();
    CompletionHooks hooks;
    hooks.loadReceived = [&](const QString& path) {
        run.loadCalled = true;
        run.loaded = ReadFileBytes(path);
        return loadResult;
    };
    run.message = CompleteJob(*job, observer, hooks);
    return run;
}

} // namespace tessera::test

// The serial line wants a Qt application object.
namespace {
[[maybe_unused]] ::testing::Environment* const g_qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new tessera::test::CoreAppEnvironment);
} // namespace
