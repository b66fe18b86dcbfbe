#pragma once
// One backup sitting: waits for the device's sends one after another on one port and keeps
// each completed stream in a backup folder. Each stream is an ordinary receive job; between
// them the port is opened again. Run blocks: the command line calls it directly, the window
// on a thread of its own, with an observer that forwards to the window.
//
//     CBackupSession session(folder, options, observer);
//     session.Run();                  // until the stream count, the idle time or Stop
//     ... from any thread: session.Stop() (done), session.CancelStream() (drop this stream)

#include "bundle/BackupFolder.h"
#include "link/Job.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace tessera::bundle {

struct SessionOptions {
    JobLink link;
    int maxStreams = 0;    // stop after this many streams (0 = no limit)
    int idleSeconds = 600; // stop when no stream starts this long after the last (0 = never)
    // A stream the link broke off ends the sitting (the command line) or is dropped while
    // the sitting goes on (the window).
    bool stopOnLinkFailure = true;
};

enum class SessionEnd {
    Stopped,    // Stop() while no stream was coming in, or the stream count reached
    Idle,       // no stream started within the idle time
    Cancelled,  // Stop() while a stream was coming in: that stream was dropped
    PortFailed, // the port could not be opened (message 1120 was shown)
    LinkFailed, // a stream broke off (stopOnLinkFailure)
};

class BackupSessionObserver {
public:
    virtual ~BackupSessionObserver() = default;
    // Called on the session's thread.
    virtual void SessionWaiting() = 0;                    // waiting for the next send
    virtual void SessionProgress(std::int64_t bytes) = 0; // bytes of the current stream
    virtual void SessionStreamTaken(const StreamOutcome& outcome) = 0;
    // A stream was dropped: cancelled by the user, or broken off (`bytes` arrived).
    virtual void SessionStreamDropped(bool cancelled, std::int64_t bytes) = 0;
};

class CBackupSession {
public:
    CBackupSession(CBackupFolder& folder, SessionOptions options, BackupSessionObserver& observer);
    ~CBackupSession();

    SessionEnd Run();
    // Ends the sitting: a stream coming in is dropped (safe from any thread and a signal
    // handler: atomic stores only).
    void Stop();
    // Drops the stream coming in; the sitting goes on.
    void CancelStream();
    // True while bytes of a stream are coming in.
    bool StreamInProgress() const { return m_bytes.load() > 0; }
    int StreamsTaken() const { return m_taken; }

private:
    class JobWatch;

    CBackupFolder& m_folder;
    SessionOptions m_options;
    BackupSessionObserver& m_observer;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_cancelStream{false};
    std::atomic<std::int64_t> m_bytes{0};
    int m_taken = 0;
};

} // namespace tessera::bundle
