#pragma once
// "ザウルスから受信中": the receive's progress window (see TransDlg.h). A receive cannot know
// its length, so the window counts the bytes that arrived.

#include "app/transfer/TransDlg.h"

namespace tessera {

class CRecvDlg : public CTransferDlgBase {
    Q_OBJECT
public:
    CRecvDlg(std::shared_ptr<TransferJob> job, int method, QWidget* parent = nullptr);

    void OnProgress(qint64 bytes) override;
    void OnStep(int) override {}

private:
    bool m_started = false;
};

} // namespace tessera
