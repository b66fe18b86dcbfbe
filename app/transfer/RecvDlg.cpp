#include "app/transfer/RecvDlg.h"

#include "base/Cp932.h"
#include "link/Job.h"
#include "text/StringTable.h"

namespace tessera {

CRecvDlg::CRecvDlg(std::shared_ptr<TransferJob> job, int method, QWidget* parent)
    : CTransferDlgBase(std::move(job), method, 144, "", 9023, "", parent) {
    setObjectName(QStringLiteral("CRecvDlg"));
}

void CRecvDlg::OnProgress(qint64 bytes) {
    SetStatus(Cp932ToQString(FormatString(kMsgBytesReceived, static_cast<long long>(bytes))));
    if (!m_started) {
        m_started = true;
        StartAnimation();
    }
}

} // namespace tessera
