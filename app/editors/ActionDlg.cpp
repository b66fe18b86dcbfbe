#include "app/editors/ActionDlg.h"

#include "base/AppSettings.h"
#include "model/FieldLimits.h"
#include "model/RecordSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

namespace tessera {

namespace {
constexpr FieldTag kSCRT = MakeTag("SCRT");
constexpr FieldTag kETDY = MakeTag("ETDY");
constexpr FieldTag kFNDY = MakeTag("FNDY");
constexpr FieldTag kMARK = MakeTag("MARK");
constexpr FieldTag kPRTY = MakeTag("PRTY");
constexpr FieldTag kMEM1 = MakeTag("MEM1");
constexpr FieldTag kLTDY = MakeTag("LTDY");
constexpr int kTimerMs = 1000;

QString DayText(const DateEdits& d) {
    const unsigned y = d.year->Unsigned(), m = d.month->Unsigned(), dd = d.day->Unsigned();
    if (y > 1900 && y <= 9999 && m >= 1 && m <= 12 && dd >= 1 && dd <= 31)
        return DayOfWeekText(static_cast<int>(y), static_cast<int>(m), static_cast<int>(dd));
    return {};
}
} // namespace

std::optional<RemainingTime> RemainingUntil(const QDateTime& now, unsigned year, unsigned month,
                                            unsigned day) {
    if (year <= 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    // A day past the month's end runs on into the next month, as the calendar would.
    const QDate date = QDate(static_cast<int>(year), static_cast<int>(month), 1).addDays(day - 1);
    const QDateTime due(date, QTime(0, 0), now.timeSpec() == Qt::UTC ? Qt::UTC : Qt::LocalTime);
    const qint64 diff = now.secsTo(due);
    if (diff <= 0)
        return std::nullopt;
    RemainingTime r;
    r.days = diff / 86400;
    r.hours = diff / 3600 - 24 * r.days;
    r.minutes = diff / 60 - 60 * (diff / 3600);
    return r;
}

CActionDlg::CActionDlg(const CAppSettings& settings, QWidget* parent)
    : CRecordEditor(148, settings, parent), m_hasDue(settings.ModelCode() != 0) {
    setObjectName(QStringLiteral("CActionDlg"));
    setWindowTitle(EditorText(110148));

    m_secret = new QCheckBox(EditorText(101086), this);
    m_secret->setObjectName(QStringLiteral("secret"));
    m_done = new QCheckBox(EditorText(101103), this);
    m_done->setObjectName(QStringLiteral("done"));
    m_priority = new QComboBox(this);
    m_priority->setObjectName(QStringLiteral("priority"));
    m_priority->addItems(
        {EditorText(12816), EditorText(12817), EditorText(12818), EditorText(12819)});
    m_priority->setCurrentIndex(1);
    m_entry = DateEdits::Create(this, QStringLiteral("entry"));
    m_finish = DateEdits::Create(this, QStringLiteral("finish"));
    m_due = DateEdits::Create(this, QStringLiteral("due"));
    auto dayLabel = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    m_entryDay = dayLabel("entryDayOfWeek");
    m_finishDay = dayLabel("finishDayOfWeek");
    m_dueDay = dayLabel("dueDayOfWeek");
    m_remainDays = dayLabel("remainDays");
    m_remainHours = dayLabel("remainHours");
    m_remainMinutes = dayLabel("remainMinutes");
    for (QLabel* l : {m_remainDays, m_remainHours, m_remainMinutes}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(QFontMetrics(l->font()).horizontalAdvance(QStringLiteral("0000")));
    }
    m_memo = new CByteTextEdit(FieldByteLimit(kKindActionList, kMEM1), this);
    m_memo->setObjectName(QStringLiteral("memo"));
    SetEditLines(m_memo, 5);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    auto* marks = new QHBoxLayout;
    marks->addWidget(m_secret);
    marks->addSpacing(12);
    marks->addWidget(m_done);
    marks->addSpacing(12);
    marks->addWidget(MakeFieldLabel("PRTY", m_priority, this));
    marks->addWidget(m_priority);
    marks->addStretch(1);
    grid->addLayout(marks, row++, 1);
    grid->addWidget(MakeFieldLabel("ETDY", m_entry.year, this, true), row, 0, Qt::AlignRight);
    grid->addWidget(m_entry.Row(this, m_entryDay), row++, 1);
    grid->addWidget(MakeFieldLabel("FNDY", m_finish.year, this), row, 0, Qt::AlignRight);
    grid->addWidget(m_finish.Row(this, m_finishDay), row++, 1);
    m_dueLabel = MakeFieldLabel("LTDY", m_due.year, this);
    grid->addWidget(m_dueLabel, row, 0, Qt::AlignRight);
    QWidget* dueRow = m_due.Row(this, m_dueDay);
    grid->addWidget(dueRow, row++, 1);
    auto* remain = new QHBoxLayout;
    auto* remainLabel = new QLabel(EditorText(ids::kStrRemaining), this);
    auto* daysUnit = new QLabel(EditorText(ids::kStrUnitDay), this);
    auto* hoursUnit = new QLabel(EditorText(ids::kStrUnitHours), this);
    auto* minutesUnit = new QLabel(EditorText(ids::kStrUnitMinute), this);
    remain->addWidget(remainLabel);
    remain->addWidget(m_remainDays);
    remain->addWidget(daysUnit);
    remain->addWidget(m_remainHours);
    remain->addWidget(hoursUnit);
    remain->addWidget(m_remainMinutes);
    remain->addWidget(minutesUnit);
    remain->addStretch(1);
    grid->addLayout(remain, row++, 1);
    grid->addWidget(MakeFieldLabel("MEM1", m_memo, this, true), row, 0,
                    Qt::AlignRight | Qt::AlignTop);
    grid->setRowStretch(row, 1);
    grid->addWidget(m_memo, row++, 1);
    grid->addWidget(m_memo->RoomLabel(), row++, 1);
    m_dueLabels = {m_dueLabel, remainLabel, daysUnit, hoursUnit, minutesUnit};
    for (QLabel* l : dueRow->findChildren<QLabel*>())
        m_dueLabels.push_back(l);

    auto* top = new QHBoxLayout(this);
    top->addLayout(grid, 1);
    top->addWidget(MakeButtons(), 0, Qt::AlignTop);

    if (!m_hasDue) {
        m_due.SetEnabled(false);
        for (QLabel* l : m_dueLabels)
            l->setEnabled(false);
    }

    connect(m_done, &QCheckBox::toggled, this, &CActionDlg::OnDoneToggled);
    for (CSpinEdit* e : {m_entry.year, m_entry.month, m_entry.day, m_finish.year, m_finish.month,
                         m_finish.day, m_due.year, m_due.month, m_due.day})
        connect(e, &CSpinEdit::numberChanged, this, &CActionDlg::RefreshTexts);
    // An empty due date stays empty until the user types or steps it (the spin buttons
    // start at today): merely passing through it with Tab stores nothing.

    m_timer = new QTimer(this);
    m_timer->setInterval(kTimerMs);
    connect(m_timer, &QTimer::timeout, this, &CActionDlg::RefreshTexts);
    m_timer->start();
    FinishForm({m_secret, m_done, m_priority, m_entry.year, m_entry.month, m_entry.day,
                m_finish.year, m_finish.month, m_finish.day, m_due.year, m_due.month, m_due.day,
                m_memo},
               m_memo);
    RefreshTexts();
}

CActionDlg::~CActionDlg() {
    m_timer->stop();
}

void CActionDlg::InitNewRecord() {
    m_entry.SetToday();
    m_priority->setCurrentIndex(1);
    RefreshTexts();
}

void CActionDlg::OnDoneToggled(bool on) {
    if (on)
        m_finish.SetToday();
    else
        m_finish.Clear();
    RefreshTexts();
}

void CActionDlg::RefreshTexts() {
    m_entryDay->setText(DayText(m_entry));
    m_finishDay->setText(DayText(m_finish));
    m_dueDay->setText(m_hasDue ? DayText(m_due) : QString());
    std::optional<RemainingTime> r;
    if (m_hasDue)
        r = RemainingUntil(EditorNow(), m_due.year->Unsigned(), m_due.month->Unsigned(),
                           m_due.day->Unsigned());
    m_remainDays->setText(r ? QString::number(r->days) : QString());
    m_remainHours->setText(r ? QString::number(r->hours) : QString());
    m_remainMinutes->setText(r ? QString::number(r->minutes) : QString());
}

bool CActionDlg::LoadFromRecord(const CDataRecord& record) {
    int32_t secret = 0, done = -1, priority = -1;
    std::optional<DateTimeValue> entry, finish, due;
    std::string memo;
    if (!LoadInt(record, kSCRT, secret) || !LoadDate(record, kETDY, entry) ||
        !LoadDate(record, kFNDY, finish) || !LoadInt(record, kMARK, done) ||
        !LoadInt(record, kPRTY, priority) || !LoadText(record, kMEM1, memo))
        return LoadFailed();
    // A record from an older model may have no due date at all: it is then shown empty.
    if (m_hasDue && FieldOf(record, kLTDY) != nullptr && !LoadDate(record, kLTDY, due))
        return LoadFailed();

    m_secret->setChecked(secret != 0);
    {
        QSignalBlocker block(m_done); // loading the mark must not move the finish date
        m_done->setChecked(done == 1);
    }
    m_priority->setCurrentIndex(priority >= 0 && priority <= 3 ? priority : 1);
    m_entry.Show(entry ? &*entry : nullptr);
    m_finish.Show(finish ? &*finish : nullptr);
    m_due.Show(m_hasDue && due ? &*due : nullptr);
    m_memo->SetBytes(memo);
    m_loadedDone = done;
    m_loadedPriority = priority;
    m_loadedDates[0] = m_entry.Texts();
    m_loadedDates[1] = m_finish.Texts();
    m_loadedDates[2] = m_due.Texts();
    RefreshTexts();
    return true;
}

bool CActionDlg::Validate() {
    if (!m_entry.Complete()) {
        ShowRequiredMissing(kETDY);
        m_entry.year->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (m_memo->IsEmptyText()) {
        ShowRequiredMissing(kMEM1);
        m_memo->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

bool CActionDlg::Compose(CFieldWrites& writes) {
    const bool fresh = IsNewRecord();
    writes.Set(kSCRT, int32_t{m_secret->isChecked() ? 1 : 0});
    // Dates the user left alone keep their stored value, even one the edits cannot show
    // whole (a date without its year).
    if (fresh || m_entry.Texts() != m_loadedDates[0])
        writes.SetDate(kETDY, m_entry.Complete());
    if (fresh || m_finish.Texts() != m_loadedDates[1])
        writes.SetDate(kFNDY, m_finish.Complete());
    if (m_hasDue && (fresh || m_due.Texts() != m_loadedDates[2]))
        writes.SetDate(kLTDY, m_due.Complete());
    const int32_t done = m_done->isChecked() ? 1 : 0;
    if (fresh || done != (m_loadedDone == 1 ? 1 : 0) || m_loadedDone < 0)
        writes.Set(kMARK, done);
    const int32_t priority = std::max(0, m_priority->currentIndex());
    if (fresh || priority != m_loadedPriority)
        writes.Set(kPRTY, priority);
    return TakeEdit(m_memo, kMEM1, writes);
}

} // namespace tessera
