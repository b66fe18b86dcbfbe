#pragma once
// Transfer jobs: a send, a receive or an add-in transfer runs on a worker thread, one at a
// time, and tells its owner what happens through a JobObserver. The owner (the GUI through
// queued signals, the command line directly) shows progress, may cancel, and handles the
// completion with CompleteJob, which is the one place that decides what the user is told.
//
// Typical use:
//     auto job = std::make_shared<ReceiveJob>();
//     job->link = ...;                        // method, port, speed from the settings
//     runner.Start(job, observer);            // false while another job runs
//     ... observer.JobFinished(job) arrives (on the worker thread) ...
//     runner.Finish();                        // joins the worker, clears the busy flag
//     CompleteJob(*job, observer, hooks);     // messages 1536..1541, loads the received file

#include "link/LinkTiming.h"
#include "link/ZaurusCom.h"
#include "resources/StringIds.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QTemporaryFile;

namespace tessera {

class CAddInTransfer;
class CRecordSet;

enum class JobKind { Send = 0, Receive = 1, AddIn = 2 };

// Result codes of every job.
enum JobResult : int { kJobCompleted = 0, kJobCancelled = 1, kJobFailed = 2 };

// Message ids of the jobs.
enum JobMessage : int {
    kMsgTempFile = 1024,
    kMsgJobNoMemory = ids::kMsgNoMemory,
    kMsgPortOpen = ids::kMsgPortOpen,
    kMsgReceiveFailed = 1536,
    kMsgReceiveDone = 1537,
    kMsgReceiveCancelled = 1538,
    kMsgSendFailed = 1539,
    kMsgSendDone = 1540,
    kMsgSendCancelled = 1541,
    kMsgReceiveDamaged = 9200,      // the received text read with warnings: it may be damaged
    kMsgPortReason = 9201,          // the system's reason, after 1120
    kMsgWaiting = ids::kStrWaiting, // "接続待機中..."
    kMsgBytesReceived = 9024,       // "%d バイト受信"
    kMsgTransferring = ids::kMsgTransferring, // status text once data moves
    kMsgBytesSent = 1105,                     // "%d バイト送信 (%d%%)"
};

// How the device is reached; the starter fills it from the settings store.
struct JobLink {
    int method = 1;   // 0 infrared, anything else the cable
    QString portName; // a platform path such as /dev/ttyUSB0
    int bitsPerSecond = 9600;
    bool ignoreEcho = false; // infrared adapter echoes what the PC sends
    QString traceFile;       // protocol trace for support; empty = none
    LinkTiming timing;       // the device's real figures unless a test scales them
    LineFactory lineFactory; // empty = a real serial line
};

class TransferJob {
public:
    virtual ~TransferJob();
    TransferJob(const TransferJob&) = delete;
    TransferJob& operator=(const TransferJob&) = delete;

    JobKind Kind() const { return m_kind; }

    JobLink link;
    int result = kJobFailed;
    // Set by the worker when the port could not be opened (after message 1120): a failure
    // no later attempt on the same settings mends.
    bool portOpenFailed = false;

    // The user's cancel: the progress window was closed. Safe from any thread (and from a
    // signal handler: it only stores an atomic flag).
    void Cancel() { m_cancelled.store(true); }
    bool UserCancelled() const { return m_cancelled.load(); }
    // True once the progress window is gone: closed by the user, or on a close request. The
    // worker reads it between blocks and steps and at every wait of the line.
    bool DialogGone() const { return m_cancelled.load() || m_closed.load(); }
    // Marks the window closed for a close request (the observer is told by the caller).
    void MarkDialogClosed() { m_closed.store(true); }

    // What the progress bar runs over: the stream length of a send, the total size of an
    // add-in, 0 for a receive (which cannot know it).
    virtual std::int64_t TotalBytes() const { return 0; }

protected:
    explicit TransferJob(JobKind kind) : m_kind(kind) {}

private:
    JobKind m_kind;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_closed{false};
};

// Records to the device: the text form, already written into the stream buffer.
class SendJob : public TransferJob {
public:
    SendJob() : TransferJob(JobKind::Send) {}
    std::vector<char> buffer;
    int length = 0;
    std::int64_t TotalBytes() const override { return length; }
};

// Records from the device into a temporary file ("ZRS" prefix, in the temporary folder)
// that the worker makes and the owner deletes.
class ReceiveJob : public TransferJob {
public:
    ReceiveJob();
    ~ReceiveJob() override;
    // Path of the received file; empty when none was made.
    QString TempPath() const;
    // Closes and removes the temporary file (if any).
    void DeleteTempFile();
    std::unique_ptr<QTemporaryFile> tempFile;
    std::int64_t bytesReceived = 0;
    // The last warning or error the loader showed while reading the received text (0 when
    // it read cleanly); set by CompleteJob. The cable carries no check of its own, so such a
    // message is the only sign that bytes were changed on the way.
    int loadWarning = 0;
};

// An add-in to the device, described by a loaded CAddInTransfer.
class AddInJob : public TransferJob {
public:
    explicit AddInJob(std::unique_ptr<CAddInTransfer> transfer);
    ~AddInJob() override;
    std::unique_ptr<CAddInTransfer> transfer;
    std::int64_t TotalBytes() const override;
};

// What the worker reports. Every call comes on the worker thread; a GUI forwards them to its
// own thread through queued signals (see CJobSignals), the command line acts on them at once.
class JobObserver {
public:
    virtual ~JobObserver() = default;
    // Bytes moved so far (for an add-in: across all its files).
    virtual void JobProgress(JobKind kind, std::int64_t bytes) = 0;
    // The progress window is to close; the job already counts it as gone.
    virtual void JobCloseRequest(JobKind kind) = 0;
    // An add-in step 2..7 was reached: the window shows string 1104 + step.
    virtual void JobStep(int step) = 0;
    // The job has ended; the last call for a job. The owner then calls CJobRunner::Finish
    // and CompleteJob (on its own thread).
    virtual void JobFinished(const std::shared_ptr<TransferJob>& job) = 0;
};

// The worker procedures, run on the calling thread (the runner calls them on its worker).
// They set job.result and show the port and memory messages through the prompter; they do
// not call JobFinished.
void RunSendJob(SendJob& job, JobObserver& observer);
void RunReceiveJob(ReceiveJob& job, JobObserver& observer);
void RunAddInJob(AddInJob& job, JobObserver& observer);
void RunJob(TransferJob& job, JobObserver& observer);

// One worker thread at a time: the busy flag is set by Start and cleared by Finish.
class CJobRunner {
public:
    CJobRunner() = default;
    // Cancels a job still running and waits for its worker.
    ~CJobRunner();
    CJobRunner(const CJobRunner&) = delete;
    CJobRunner& operator=(const CJobRunner&) = delete;

    // Starts `job` on a new worker thread reporting to `observer`, which must stay alive
    // until JobFinished has been called. False (nothing started) while busy.
    bool Start(std::shared_ptr<TransferJob> job, JobObserver& observer);
    bool IsBusy() const;
    // True once the worker has called JobFinished.
    bool IsFinished() const;
    // Waits until the worker has called JobFinished (for owners without an event loop).
    void WaitFinished();
    // After the completion arrived: joins the worker and clears the busy flag. Must not be
    // called from the worker thread itself (that is, not from inside JobFinished).
    void Finish();
    // The job being run, if any.
    std::shared_ptr<TransferJob> Current() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_done;
    std::shared_ptr<TransferJob> m_job;
    std::thread m_thread;
    bool m_busy = false;
    bool m_finished = false;
};

// Prepares a send: a buffer of `bufferBytes` (2^SendBufferSize KiB) filled with the text form
// of all records (`selection` null) or of the listed positions. False when no job may start:
// the record set has shown its message (1028, 2049, 1036), or 1036 for the buffer.
bool PrepareSendJob(SendJob& job, const CRecordSet& records,
                    const std::vector<std::int32_t>* selection, std::size_t bufferBytes);

// Why `port` did not open, in the system's words ("No such file or directory"); empty when
// the line does not say. Ask before deleting the port.
QString PortOpenReason(const CZaurusCom& port);
// 1120, then the system's reason (9201) when there is one: 1120 alone only guesses.
void ShowPortOpenFailure(const QString& reason);

// What the owner does beyond messages and close requests when a job completes.
struct CompletionHooks {
    // Loads the received text form at `path` into the document (the document's
    // LoadReceivedText, or ReadText into a record set); false when it could not be loaded
    // (the loader has shown why). Without one, the received file counts as not loadable.
    std::function<bool(const QString& path)> loadReceived;
    // The failure beep before 1536/1539; may be empty.
    std::function<void()> beep;
};

// The owner's completion handling: closes the progress window where it still stands, loads
// and deletes the received file, and shows 1536..1541 through the prompter; a received text
// that loaded with warnings is followed by 9200 (it may be damaged). Returns the id of the
// last message shown. Call it once per job, after CJobRunner::Finish.
int CompleteJob(TransferJob& job, JobObserver& observer, const CompletionHooks& hooks);

} // namespace tessera
