#include "app/transfer/TransDlg.h"

#include "base/Cp932.h"
#include "link/Job.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace tessera {

namespace {

constexpr int kIconSize = 40;
constexpr int kStrCancel = 9020;              // 中断
constexpr int kStrWaiting = ids::kStrWaiting; // 接続待機中...
constexpr int kStrSendNote = 9022;
constexpr int kStrReceiveNote = 9023;
constexpr int kDlgTransfer = 131;

QString Text(int id, const char* fallback) {
    return HasString(id) ? Cp932ToQString(LoadString(id)) : QString::fromUtf8(fallback);
}

void DrawDevice(QPainter& p, const QRectF& r) {
    // The PDA: a dark case with a light screen.
    p.setPen(QPen(QColor(40, 40, 48), 1.2));
    p.setBrush(QColor(92, 96, 110));
    p.drawRoundedRect(r, 2.5, 2.5);
    p.setBrush(QColor(176, 214, 168));
    p.drawRect(r.adjusted(2, 2, -2, -r.height() * 0.35));
}

void DrawComputer(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(40, 40, 48), 1.2));
    p.setBrush(QColor(210, 210, 204));
    p.drawRect(r.adjusted(0, 0, 0, -5));
    p.setBrush(QColor(70, 110, 170));
    p.drawRect(r.adjusted(2.5, 2.5, -2.5, -7.5));
    p.setBrush(QColor(210, 210, 204));
    p.drawRect(QRectF(r.center().x() - 4, r.bottom() - 4, 8, 4));
}

} // namespace

QPixmap TransferIcon(int method, int frame) {
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (method == 0) {
        // Infrared: the device on the right sends waves to the left; the waves move.
        DrawDevice(p, QRectF(27, 8, 11, 24));
        p.setBrush(Qt::NoBrush);
        const QPointF source(26, 20);
        for (int i = 0; i < 3; ++i) {
            const bool lit = frame >= 0 && (i % 2) == (frame % 2);
            p.setPen(QPen(lit ? QColor(220, 40, 40) : QColor(232, 170, 170), lit ? 2.2 : 1.4));
            const double radius = 6 + i * 7;
            p.drawArc(QRectF(source.x() - radius, source.y() - radius, 2 * radius, 2 * radius),
                      150 * 16, 60 * 16);
        }
    } else {
        // Cable: computer and device joined by a cable that carries a dot while data moves.
        DrawComputer(p, QRectF(1, 6, 20, 19));
        DrawDevice(p, QRectF(28, 12, 10, 22));
        QPainterPath cable;
        cable.moveTo(11, 25);
        cable.cubicTo(11, 36, 33, 38, 33, 34);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(60, 60, 60), 1.6));
        p.drawPath(cable);
        if (frame >= 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(230, 150, 20));
            for (double t : {0.15, 0.5, 0.85}) {
                const double at = frame % 2 == 0 ? t : std::min(1.0, t + 0.17);
                p.drawEllipse(cable.pointAtPercent(at), 2.4, 2.4);
            }
        }
    }
    return pm;
}

// ---------------------------------------------------------------- base

CTransferDlgBase::CTransferDlgBase(std::shared_ptr<TransferJob> job, int method, int titleId,
                                   const char* title, int noteId, const char* note, QWidget* parent)
    : QDialog(parent), m_job(job), m_method(method) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(Text(kDialogTitleBase + titleId, title));
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint) &
                   ~Qt::WindowContextHelpButtonHint);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("AnimationIcon"));
    m_icon->setFixedSize(kIconSize, kIconSize);
    // The cable shows its still picture until data moves; infrared starts on the first frame.
    m_icon->setPixmap(TransferIcon(method, method == 0 ? 0 : -1));
    m_status = new QLabel(Text(kStrWaiting, ""), this);
    m_status->setObjectName(QStringLiteral("StatusText"));
    m_status->setMinimumWidth(260);

    auto* top = new QHBoxLayout;
    top->addWidget(m_icon);
    top->addSpacing(8);
    top->addWidget(m_status, 1);

    m_body = new QVBoxLayout;
    m_body->setSpacing(6);

    auto* noteLabel = new QLabel(Text(noteId, note), this);
    noteLabel->setObjectName(QStringLiteral("Note"));
    noteLabel->setWordWrap(false);
    QFont small = noteLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    noteLabel->setFont(small);

    m_cancel = new QPushButton(Text(kStrCancel, ""), this);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));
    m_cancel->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(noteLabel, 1);
    bottom->addSpacing(12);
    bottom->addWidget(m_cancel, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(m_body);
    layout->addSpacing(4);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CTransferDlgBase::StatusText() const {
    return m_status->text();
}

QPixmap CTransferDlgBase::ShownIcon() const {
    return m_icon->pixmap();
}

void CTransferDlgBase::SetStatus(const QString& text) {
    m_status->setText(text);
    m_status->repaint();
}

void CTransferDlgBase::StartAnimation() {
    if (m_timer.isActive())
        return;
    m_frame = 0;
    m_icon->setPixmap(TransferIcon(m_method, m_frame));
    m_timer.start(kAnimationMs, this);
}

void CTransferDlgBase::timerEvent(QTimerEvent* e) {
    if (e->timerId() != m_timer.timerId()) {
        QDialog::timerEvent(e);
        return;
    }
    ++m_frame;
    m_icon->setPixmap(TransferIcon(m_method, m_frame % 2));
}

void CTransferDlgBase::OnCloseRequest() {
    m_closeRequested = true;
    close();
}

void CTransferDlgBase::done(int result) {
    if (m_closed)
        return;
    // While Cancel is disabled (an add-in before the device answered) the close box and
    // Escape do nothing either; a close request always closes.
    if (!m_closeRequested && !m_cancel->isEnabled())
        return;
    m_closed = true;
    m_timer.stop();
    // A window the user closed is how the worker learns of the cancel.
    if (!m_closeRequested) {
        m_cancelled = true;
        if (auto job = m_job.lock())
            job->Cancel();
    }
    QDialog::done(result);
    // Hidden is not enough: the window goes once the events in hand are through.
    deleteLater();
}

// ---------------------------------------------------------------- send and add-in

CTransDlg::CTransDlg(std::shared_ptr<TransferJob> job, qint64 total, int method, bool addIn,
                     QWidget* parent)
    : CTransferDlgBase(std::move(job), method, kDlgTransfer, "", kStrSendNote, "", parent),
      m_total(total), m_addIn(addIn) {
    setObjectName(QStringLiteral("CTransDlg"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setRange(0, BarMaximum(total));
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bytes = new QLabel(QStringLiteral(" "), this);
    m_bytes->setObjectName(QStringLiteral("BytesText"));
    Body()->addWidget(m_bar);
    Body()->addWidget(m_bytes);
    // An add-in can be cancelled once the device has answered.
    if (addIn)
        CancelButton()->setEnabled(false);
}

int CTransDlg::BarMaximum(qint64 total) {
    if (total <= 0)
        return 1;
    return static_cast<int>(std::min<qint64>((total + 31) / 32, 0x7FFFFFFF));
}

int CTransDlg::BarPosition(qint64 bytes, qint64 total) {
    if (bytes <= 0)
        return 0;
    if (total <= 0 || bytes >= total)
        return BarMaximum(total);
    return static_cast<int>(bytes / 32);
}

int CTransDlg::Percent(qint64 bytes, qint64 total) {
    if (total <= 0)
        return 100;
    return static_cast<int>(std::clamp<qint64>(bytes * 100 / total, 0, 100));
}

QString CTransDlg::BytesText() const {
    return m_bytes->text();
}

void CTransDlg::OnProgress(qint64 bytes) {
    m_bar->setValue(BarPosition(bytes, m_total));
    m_bytes->setText(
        Cp932ToQString(FormatString(1105, static_cast<long long>(bytes), Percent(bytes, m_total))));
    if (!m_addIn && !m_started) {
        m_started = true;
        SetStatus(Cp932ToQString(LoadString(kMsgTransferring)));
        StartAnimation();
    }
}

void CTransDlg::OnStep(int step) {
    if (step < 2 || step > 7)
        return;
    if (step == 2) {
        CancelButton()->setEnabled(true);
        StartAnimation();
    }
    SetStatus(Cp932ToQString(LoadString(1104 + step)));
}

// ---------------------------------------------------------------- receive

} // namespace tessera
