#pragma once
// The progress windows of the transfers: CTransDlg "ザウルスへ送信中" for sends and add-ins,
// CRecvDlg "ザウルスから受信中" for receives (RecvDlg.h). Both are modeless, show a status
// line, an animated picture of the link in use and a Cancel button "中断", and delete
// themselves when they close. Closing one by the user cancels the job; a close request (the
// job is over) does not.

#include "document/RecordCommands.h"

#include <QBasicTimer>
#include <QDialog>
#include <QPixmap>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace tessera {

class TransferJob;

// The picture of the link: `method` 0 infrared, else the cable; `frame` 0 or 1 of the
// animation, -1 the cable's still picture before data moves.
QPixmap TransferIcon(int method, int frame);

class CTransferDlgBase : public QDialog, public CProgressWindow {
    Q_OBJECT
public:
    static constexpr int kAnimationMs = 1000;

    QWidget* Widget() override { return this; }
    void OnCloseRequest() override;

    QString StatusText() const;
    QPushButton* CancelButton() const { return m_cancel; }
    bool IsAnimating() const { return m_timer.isActive(); }
    int Frame() const { return m_frame; }
    // The picture shown now (for tests: it changes with the frame).
    QPixmap ShownIcon() const;
    // True once the user closed the window (the job was cancelled).
    bool WasCancelled() const { return m_cancelled; }

protected:
    CTransferDlgBase(std::shared_ptr<TransferJob> job, int method, int titleId, const char* title,
                     int noteId, const char* note, QWidget* parent);
    void SetStatus(const QString& text);
    void StartAnimation();
    // The layout the subclasses add their rows to, above the note.
    QVBoxLayout* Body() const { return m_body; }

    void done(int result) override;
    void timerEvent(QTimerEvent* e) override;

private:
    std::weak_ptr<TransferJob> m_job;
    int m_method = 1;
    QLabel* m_icon = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_cancel = nullptr;
    QVBoxLayout* m_body = nullptr;
    QBasicTimer m_timer;
    int m_frame = 0;
    bool m_closeRequested = false;
    bool m_closed = false;
    bool m_cancelled = false;
};

class CTransDlg : public CTransferDlgBase {
    Q_OBJECT
public:
    // `total` bytes are to go (the stream length, or an add-in's total file size). An add-in
    // window keeps Cancel disabled until the device has been reached and shows the steps.
    CTransDlg(std::shared_ptr<TransferJob> job, qint64 total, int method, bool addIn,
              QWidget* parent = nullptr);

    void OnProgress(qint64 bytes) override;
    void OnStep(int step) override;

    QProgressBar* Bar() const { return m_bar; }
    QString BytesText() const;
    qint64 Total() const { return m_total; }

    // The bar's range for `total` bytes and its position after `bytes`, in 32-byte units
    // (a small total still gets a bar that fills).
    static int BarMaximum(qint64 total);
    static int BarPosition(qint64 bytes, qint64 total);
    // The percentage shown after `bytes` of `total`.
    static int Percent(qint64 bytes, qint64 total);

private:
    QProgressBar* m_bar = nullptr;
    QLabel* m_bytes = nullptr;
    qint64 m_total = 0;
    bool m_addIn = false;
    bool m_started = false;
};

} // namespace tessera
