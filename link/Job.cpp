#include "link/Job.h"

#include "link/AddInTransfer.h"
#include "link/RecordStream.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "text/Cp932Text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <new>

namespace tessera {

namespace {

constexpr char kEndMark = 0x1A;

std::unique_ptr<CZaurusCom> MakeJobPort(TransferJob& job) {
    PortOptions o;
    o.timing = job.link.timing;
    o.ignoreEcho = job.link.ignoreEcho;
    o.traceFile = job.link.traceFile;
    o.lineFactory = job.link.lineFactory;
    // The line asks at every wait, so a cancel is seen even while the device stays silent.
    o.cancelled = [&job] { return job.DialogGone(); };
    return CreatePort(job.link.method, std::move(o));
}

void RequestClose(TransferJob& job, JobObserver& observer) {
    if (job.DialogGone())
        return;
    job.MarkDialogClosed();
    observer.JobCloseRequest(job.Kind());
}

// Passes every message on and keeps the last warning or error: what the loader says about
// a received text it still took.
class LoadWatch : public Prompter {
public:
    explicit LoadWatch(Prompter* next) : m_next(next) {}
    PromptResult Show(int id, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override {
        if (icon == PromptIcon::Warning || icon == PromptIcon::Stop)
            last = id;
        return m_next != nullptr ? m_next->Show(id, text, icon, buttons)
                                 : DefaultPromptResult(buttons);
    }
    int last = 0;

private:
    Prompter* m_next;
};

// A failure after the user cancelled is the cancel's doing, not the device's.
int FailureResult(const TransferJob& job) {
    return job.UserCancelled() ? kJobCancelled : kJobFailed;
}

} // namespace

QString PortOpenReason(const CZaurusCom& port) {
    const auto* serial = dynamic_cast<const SerialLine*>(port.Line());
    return serial != nullptr ? serial->LastError() : QString();
}

void ShowPortOpenFailure(const QString& reason) {
    ShowMessage(kMsgPortOpen, PromptIcon::Stop, PromptButtons::Ok);
    if (reason.isEmpty())
        return;
    std::string text;
    if (!Utf8ToCp932(reason.toStdString(), text))
        text = reason.toLatin1().toStdString();
    ShowMessage(kMsgPortReason, PromptIcon::Stop, PromptButtons::Ok, text);
}

// ---- job records ----

TransferJob::~TransferJob() = default;

ReceiveJob::ReceiveJob() : TransferJob(JobKind::Receive) {}
ReceiveJob::~ReceiveJob() {
    DeleteTempFile();
}

QString ReceiveJob::TempPath() const {
    return tempFile ? tempFile->fileName() : QString();
}

void ReceiveJob::DeleteTempFile() {
    if (!tempFile)
        return;
    tempFile->close();
    tempFile->remove();
    tempFile.reset();
}

AddInJob::AddInJob(std::unique_ptr<CAddInTransfer> t)
    : TransferJob(JobKind::AddIn), transfer(std::move(t)) {}
AddInJob::~AddInJob() = default;

std::int64_t AddInJob::TotalBytes() const {
    return transfer ? transfer->TotalSize() : 0;
}

// ---- worker procedures ----

void RunSendJob(SendJob& job, JobObserver& observer) {
    job.result = kJobFailed;
    std::unique_ptr<CZaurusCom> port;
    try {
        port = MakeJobPort(job);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgJobNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return;
    }
    if (job.length < 0 || static_cast<std::size_t>(job.length) > job.buffer.size())
        return;
    if (!port->Open(job.link.portName, job.link.bitsPerSecond)) {
        RequestClose(job, observer);
        const QString reason = PortOpenReason(*port);
        port.reset();
        job.portOpenFailed = true;
        ShowPortOpenFailure(reason);
        return;
    }
    const TransferResult r =
        SendRecordStream(*port, job.buffer.data(), job.length, [&](std::int64_t sent) {
            if (job.DialogGone())
                return false;
            observer.JobProgress(JobKind::Send, sent);
            return true;
        });
    // Deleting the port puts the line's settings back before the owner hears of the end.
    port.reset();
    switch (r) {
    case TransferResult::Completed:
        job.result = kJobCompleted;
        break;
    case TransferResult::Cancelled:
        job.result = kJobCancelled;
        break;
    case TransferResult::Failed:
        job.result = FailureResult(job);
        break;
    }
}

void RunReceiveJob(ReceiveJob& job, JobObserver& observer) {
    job.result = kJobFailed;
    job.bytesReceived = 0;
    std::unique_ptr<CZaurusCom> port;
    try {
        port = MakeJobPort(job);
        job.tempFile =
            std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/ZRSXXXXXX"));
    } catch (const std::bad_alloc&) {
        port.reset();
        ShowMessage(kMsgJobNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return;
    }
    // The owner removes the file once it has loaded it.
    job.tempFile->setAutoRemove(false);
    if (!job.tempFile->open()) {
        job.tempFile.reset();
        port.reset();
        ShowMessage(kMsgTempFile, PromptIcon::Stop, PromptButtons::Ok);
        return;
    }
    if (!port->Open(job.link.portName, job.link.bitsPerSecond)) {
        job.DeleteTempFile();
        const QString reason = PortOpenReason(*port);
        port.reset();
        job.portOpenFailed = true;
        ShowPortOpenFailure(reason);
        return;
    }

    bool writeFailed = false;
    char lastByte = 0;
    const TransferResult r = ReceiveRecordStream(
        *port,
        [&](const char* data, int n) {
            // A short write (full disk) must fail the receive, not truncate it.
            if (job.tempFile->write(data, n) != n) {
                writeFailed = true;
                return false;
            }
            lastByte = data[n - 1];
            return true;
        },
        [&](std::int64_t received) {
            job.bytesReceived = received;
            if (job.DialogGone())
                return false;
            observer.JobProgress(JobKind::Receive, received);
            return true;
        });
    port.reset();
    if (!job.tempFile->flush())
        writeFailed = true;
    job.tempFile->close();

    if (writeFailed) {
        job.result = kJobFailed;
    } else if (r == TransferResult::Completed) {
        // The text form always ends with the end mark; a stream without it was cut short
        // (on the cable a pause of the device ends the last block early).
        job.result = job.bytesReceived > 0 && lastByte == kEndMark ? kJobCompleted : kJobFailed;
    } else if (r == TransferResult::Cancelled) {
        job.result = kJobCancelled;
    } else {
        job.result = FailureResult(job);
    }
    if (job.result == kJobFailed)
        job.DeleteTempFile();
}

void RunJob(TransferJob& job, JobObserver& observer) {
    switch (job.Kind()) {
    case JobKind::Send:
        RunSendJob(static_cast<SendJob&>(job), observer);
        break;
    case JobKind::Receive:
        RunReceiveJob(static_cast<ReceiveJob&>(job), observer);
        break;
    case JobKind::AddIn:
        RunAddInJob(static_cast<AddInJob&>(job), observer);
        break;
    }
}

// ---- runner ----

CJobRunner::~CJobRunner() {
    std::shared_ptr<TransferJob> job = Current();
    if (job)
        job->Cancel();
    if (m_thread.joinable())
        m_thread.join();
}

bool CJobRunner::Start(std::shared_ptr<TransferJob> job, JobObserver& observer) {
    if (!job)
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_busy)
        return false;
    // A worker whose completion was handled without Finish is joined before the next one.
    if (m_thread.joinable())
        m_thread.join();
    m_busy = true;
    m_finished = false;
    m_job = job;
    try {
        m_thread = std::thread([this, job, &observer] {
            RunJob(*job, observer);
            {
                std::lock_guard<std::mutex> g(m_lock);
                m_finished = true;
            }
            m_done.notify_all();
            observer.JobFinished(job);
        });
    } catch (...) {
        m_busy = false;
        m_job.reset();
        return false;
    }
    return true;
}

bool CJobRunner::IsBusy() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_busy;
}

bool CJobRunner::IsFinished() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_finished;
}

void CJobRunner::WaitFinished() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_done.wait(lock, [this] { return !m_busy || m_finished; });
}

void CJobRunner::Finish() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
    std::lock_guard<std::mutex> guard(m_lock);
    m_busy = false;
    m_job.reset();
}

std::shared_ptr<TransferJob> CJobRunner::Current() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_job;
}

// ---- starting and completing ----

bool PrepareSendJob(SendJob& job, const CRecordSet& records,
                    const std::vector<std::int32_t>* selection, std::size_t bufferBytes) {
    job.buffer.clear();
    job.length = 0;
    // WriteTextToBuffer counts in int; larger settings are not offered.
    const std::size_t capacity = std::min<std::size_t>(bufferBytes, 0x7FFFFFFF);
    try {
        job.buffer.resize(capacity);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgJobNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    const int n =
        records.WriteTextToBuffer(selection, job.buffer.data(), static_cast<int>(capacity));
    if (n < 0) {
        job.buffer.clear();
        return false;
    }
    job.length = n;
    return true;
}

int CompleteJob(TransferJob& job, JobObserver& observer, const CompletionHooks& hooks) {
    const auto closeWindow = [&] { RequestClose(job, observer); };
    const auto beep = [&] {
        if (hooks.beep)
            hooks.beep();
    };
    int id = 0;
    PromptIcon icon = PromptIcon::Stop;
    switch (job.Kind()) {
    case JobKind::Receive: {
        auto& receive = static_cast<ReceiveJob&>(job);
        if (job.result == kJobCompleted) {
            closeWindow();
            const QString path = receive.TempPath();
            LoadWatch watch(CurrentPrompter());
            bool loaded = false;
            {
                // The owner's prompter comes back however the loader ends.
                const struct Restore {
                    Prompter* owner;
                    ~Restore() { SetPrompter(owner); }
                } restore{CurrentPrompter()};
                SetPrompter(&watch);
                loaded = !path.isEmpty() && hooks.loadReceived && hooks.loadReceived(path);
            }
            receive.loadWarning = loaded ? watch.last : 0;
            receive.DeleteTempFile();
            id = loaded ? kMsgReceiveDone : kMsgReceiveFailed;
            icon = loaded ? PromptIcon::Information : PromptIcon::Stop;
        } else if (job.result == kJobCancelled) {
            receive.DeleteTempFile();
            id = kMsgReceiveCancelled;
            icon = PromptIcon::Warning;
        } else {
            closeWindow();
            receive.DeleteTempFile();
            beep();
            id = kMsgReceiveFailed;
        }
        break;
    }
    case JobKind::Send:
    case JobKind::AddIn:
        if (job.result == kJobCompleted) {
            // The add-in worker has closed its window itself.
            closeWindow();
            id = kMsgSendDone;
            icon = PromptIcon::Information;
        } else if (job.result == kJobCancelled) {
            if (job.Kind() == JobKind::AddIn)
                closeWindow();
            id = kMsgSendCancelled;
            icon = PromptIcon::Warning;
        } else {
            closeWindow();
            if (job.Kind() == JobKind::Send)
                beep();
            id = kMsgSendFailed;
        }
        break;
    }
    if (job.Kind() == JobKind::Send) {
        auto& send = static_cast<SendJob&>(job);
        send.buffer.clear();
        send.buffer.shrink_to_fit();
    }
    ShowMessage(id, icon, PromptButtons::Ok);
    if (job.Kind() == JobKind::Receive && id == kMsgReceiveDone) {
        const int warning = static_cast<ReceiveJob&>(job).loadWarning;
        if (warning != 0) {
            ShowMessage(kMsgReceiveDamaged, PromptIcon::Warning, PromptButtons::Ok, warning);
            id = kMsgReceiveDamaged;
        }
    }
    return id;
}

} // namespace tessera
