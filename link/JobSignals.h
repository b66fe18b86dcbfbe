#pragma once
// The job observer for a Qt user interface: the worker's reports become signals of an object
// living on the GUI thread, so connected slots run there (queued) in the order they were sent.
//
//     CJobSignals signals;                    // on the GUI thread
//     connect(&signals, &CJobSignals::Progress, dialog, &CTransDlg::OnProgress);
//     connect(&signals, &CJobSignals::Finished, view, [&](auto job) {
//         runner.Finish(); CompleteJob(*job, signals, hooks); });
//     runner.Start(job, signals);
//     // the dialog's Cancel: job->Cancel();

#include "link/Job.h"

#include <QObject>
#include <memory>

namespace tessera {

class CJobSignals : public QObject, public JobObserver {
    Q_OBJECT
public:
    explicit CJobSignals(QObject* parent = nullptr);

    void JobProgress(JobKind kind, std::int64_t bytes) override;
    void JobCloseRequest(JobKind kind) override;
    void JobStep(int step) override;
    void JobFinished(const std::shared_ptr<TransferJob>& job) override;

signals:
    // kind: 0 send, 1 receive, 2 add-in.
    void Progress(int kind, qint64 bytes);
    void CloseRequested(int kind);
    void StepReached(int step);
    void Finished(std::shared_ptr<tessera::TransferJob> job);
};

} // namespace tessera

Q_DECLARE_METATYPE(std::shared_ptr<tessera::TransferJob>)
