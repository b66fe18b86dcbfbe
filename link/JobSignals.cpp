#include "link/JobSignals.h"

namespace tessera {

CJobSignals::CJobSignals(QObject* parent) : QObject(parent) {
    qRegisterMetaType<std::shared_ptr<tessera::TransferJob>>();
}

void CJobSignals::JobProgress(JobKind kind, std::int64_t bytes) {
    emit Progress(static_cast<int>(kind), static_cast<qint64>(bytes));
}

void CJobSignals::JobCloseRequest(JobKind kind) {
    emit CloseRequested(static_cast<int>(kind));
}

void CJobSignals::JobStep(int step) {
    emit StepReached(step);
}

void CJobSignals::JobFinished(const std::shared_ptr<TransferJob>& job) {
    emit Finished(job);
}

} // namespace tessera
