#include "bundle/BackupSession.h"

#include <QFile>
#include <condition_variable>
#include <thread>

namespace tessera::bundle {

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

// The receive job's observer: progress into the session, the end to the waiting loop.
class CBackupSession::JobWatch : public JobObserver {
public:
    explicit JobWatch(CBackupSession& session) : m_session(session) {}
    void JobProgress(JobKind, std::int64_t bytes) override {
        m_session.m_bytes.store(bytes);
        m_session.m_observer.SessionProgress(bytes);
    }
    void JobCloseRequest(JobKind) override {}
    void JobStep(int) override {}
    void JobFinished(const std::shared_ptr<TransferJob>&) override {}

    void MarkDone() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_done = true;
        m_wake.notify_all();
    }
    // Waits up to `wait` for the job's end; true once it has ended.
    bool WaitDone(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_wake.wait_for(guard, wait, [this] { return m_done; });
    }

private:
    CBackupSession& m_session;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_done = false;
};

CBackupSession::CBackupSession(CBackupFolder& folder, SessionOptions options,
                               BackupSessionObserver& observer)
    : m_folder(folder), m_options(std::move(options)), m_observer(observer) {}

CBackupSession::~CBackupSession() = default;

void CBackupSession::Stop() {
    m_stop.store(true);
}

void CBackupSession::CancelStream() {
    m_cancelStream.store(true);
}

SessionEnd CBackupSession::Run() {
    auto lastEnd = Clock::now();
    for (;;) {
        if (m_stop.load())
            return SessionEnd::Stopped;
        if (m_options.maxStreams > 0 && m_taken >= m_options.maxStreams)
            return SessionEnd::Stopped;
        m_observer.SessionWaiting();
        m_bytes.store(0);
        m_cancelStream.store(false);

        auto job = std::make_shared<ReceiveJob>();
        job->link = m_options.link;
        JobWatch jobWatch(*this);
        std::thread worker([&] {
            RunReceiveJob(*job, jobWatch);
            jobWatch.MarkDone();
        });
        bool idle = false, stopped = false, cancelled = false;
        while (!jobWatch.WaitDone(std::chrono::milliseconds(100))) {
            const bool started = m_bytes.load() > 0;
            if (m_stop.load() && !stopped) {
                stopped = true;
                job->Cancel();
            } else if (m_cancelStream.exchange(false) && started && !cancelled) {
                cancelled = true;
                job->Cancel();
            } else if (!started && !idle && m_options.idleSeconds > 0 &&
                       Clock::now() - lastEnd >= std::chrono::seconds(m_options.idleSeconds)) {
                idle = true;
                job->Cancel();
            }
        }
        worker.join();
        const std::int64_t bytes = m_bytes.exchange(0);

        if (job->result == kJobCompleted) {
            QByteArray stream;
            QFile file(job->TempPath());
            if (file.open(QIODevice::ReadOnly))
                stream = file.readAll();
            file.close();
            job->DeleteTempFile();
            ++m_taken;
            m_observer.SessionStreamTaken(m_folder.Take(stream));
            lastEnd = Clock::now();
            continue;
        }
        job->DeleteTempFile();
        if (stopped)
            return bytes > 0 ? SessionEnd::Cancelled : SessionEnd::Stopped;
        if (idle)
            return SessionEnd::Idle;
        if (job->portOpenFailed)
            return SessionEnd::PortFailed;
        if (cancelled) {
            // Nothing of it is kept; the device may send it again.
            m_observer.SessionStreamDropped(true, bytes);
            lastEnd = Clock::now();
            continue;
        }
        if (bytes > 0) {
            m_observer.SessionStreamDropped(false, bytes);
            if (m_options.stopOnLinkFailure)
                return SessionEnd::LinkFailed;
            lastEnd = Clock::now();
            continue;
        }
        // The port waited its full time without a byte: wait again, unless the line itself
        // is gone, which a short pause keeps from spinning.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

} // namespace tessera::bundle
