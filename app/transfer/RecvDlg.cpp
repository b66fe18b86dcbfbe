#include "app/transfer/RecvDlg.h"

#include "base/Cp932.h"
#include "link/Job.h"
#include "text/StringTable.h"

namespace tessera {

CRecvDlg::CRecvDlg(std::shared_ptr<TransferJob> job, int method, QWidget* parent)
    : CTransferDlgBase(
          std::move(job), method, 144, "ザウルスから受信中", 9023,
          "受信を中断した場合，再通信が可能になるまで\nしばらく時間がかかる場合があります．",
          parent) {
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
