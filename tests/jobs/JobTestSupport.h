#pragma once
// Running transfer jobs against the simulated device: an observer that records every report,
// and a helper that runs a job to its end the way an owner does (runner, then completion).

#include "link/Job.h"
#include "sim/SimDevice.h"
#include "support/TestFiles.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tessera::test {

// One scale for the PC and the device keeps their patience in the real proportion.
inline constexpr double kJobScale = 0.1;

JobLink SimLink(const std::string& portName, sim::SimMethod method, double scale = kJobScale);
sim::SimConfig SimDeviceConfig(sim::SimMethod method, sim::SimRole role, double scale = kJobScale);

class RecordingObserver : public JobObserver {
public:
    struct Event {
        enum Kind { Progress, Close, Step, Finished } kind;
        std::int64_t value = 0;
    };

    void JobProgress(JobKind kind, std::int64_t bytes) override;
    void JobCloseRequest(JobKind kind) override;
    void JobStep(int step) override;
    void JobFinished(const std::shared_ptr<TransferJob>& job) override;

    std::vector<Event> Events() const;
    std::vector<std::int64_t> ProgressValues() const;
    std::vector<int> Steps() const;
    int CloseRequests() const;
    int Finished() const;
    // Called with every progress report (on the worker), e.g. to cancel at some point.
    std::function<void(std::int64_t)> onProgress;
    std::function<void(int)> onStep;

private:
    mutable std::mutex m_lock;
    std::vector<Event> m_events;
};

struct JobRun {
    int message = 0; // what CompleteJob showed
    bool loadCalled = false;
    std::string loaded; // bytes of the received file when it was loaded
    QString tempPath;   // the receive file, as it was when the job ended
};

// Starts the job on a runner, waits for its completion and completes it. For a receive,
// the load hook keeps the file's bytes and answers `loadResult`.
JobRun RunJobToEnd(const std::shared_ptr<TransferJob>& job, RecordingObserver& observer,
                   bool loadResult = true);

} // namespace tessera::test
