#include "app/editors/SchedDlg.h"

#include "base/AppSettings.h"
#include "model/FieldLimits.h"
#include "model/RecordSet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessera {

namespace {

constexpr FieldTag kSCRT = MakeTag("SCRT");
constexpr FieldTag kALON = MakeTag("ALON");
constexpr FieldTag kMEM1 = MakeTag("MEM1");
constexpr FieldTag kTabTags[3] = {MakeTag("TIM1"), MakeTag("TIM2"), MakeTag("ALRM")};
constexpr int32_t kDateFlags = DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay;
constexpr int32_t kTimeFlags = DateTimeValue::kHour | DateTimeValue::kMinute;

} // namespace

CSchedDlg::CSchedDlg(const CAppSettings& settings, QWidget* parent)
    : CRecordEditor(150, settings, parent) {
    setObjectName(QStringLiteral("CSchedDlg"));
    setWindowTitle(EditorText(110150));

    m_secret = new QCheckBox(EditorText(101071), this);
    m_secret->setObjectName(QStringLiteral("secret"));
    m_alarmOn = new QCheckBox(EditorText(ids::kStrAlarmOn), this);
    m_alarmOn->setObjectName(QStringLiteral("alarmOn"));
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->addTab(EditorText(3034));
    m_tabs->addTab(EditorText(3035));
    m_tabs->addTab(EditorText(3036));
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    // The tab bar's scroll arrows sit at the end of the Tab order and caught the focus
    // there; the arrow keys move between the tabs anyway.
    for (QToolButton* arrow : m_tabs->findChildren<QToolButton*>())
        arrow->setFocusPolicy(Qt::NoFocus);
    m_date = DateEdits::Create(this, QStringLiteral("date"));
    m_hour = new CSpinEdit(0, 23, kDayAccel, this);
    m_hour->setObjectName(QStringLiteral("hour"));
    m_hour->SetEmptyStart([] { return EditorNow().time().hour(); });
    m_minute = new CSpinEdit(0, 59, kDayAccel, this);
    m_minute->setObjectName(QStringLiteral("minute"));
    m_minute->SetEmptyStart([] { return EditorNow().time().minute(); });
    m_reset = new QPushButton(EditorText(101228), this);
    m_reset->setObjectName(QStringLiteral("reset"));
    m_reset->setAutoDefault(false);
    m_memo = new CByteTextEdit(FieldByteLimit(kKindSchedule, kMEM1), this);
    m_memo->setObjectName(QStringLiteral("memo"));
    SetEditLines(m_memo, 6);

    // The tab's page: the shared edits in a frame under the tab bar.
    auto* page = new QFrame(this);
    page->setFrameShape(QFrame::StyledPanel);
    auto* pageRow = new QHBoxLayout(page);
    pageRow->addWidget(m_date.Row(page));
    pageRow->addSpacing(8);
    pageRow->addWidget(m_hour);
    pageRow->addWidget(new QLabel(EditorText(ids::kStrUnitHour), page));
    pageRow->addWidget(m_minute);
    pageRow->addWidget(new QLabel(EditorText(ids::kStrUnitMinute), page));
    pageRow->addStretch(1);
    pageRow->addWidget(m_reset);

    auto* flags = new QHBoxLayout;
    flags->addWidget(m_secret);
    flags->addSpacing(16);
    flags->addWidget(m_alarmOn);
    flags->addStretch(1);

    auto* memoLabel = MakeFieldLabel("MEM1", m_memo, this, true);
    auto* memoHead = new QHBoxLayout;
    memoHead->addWidget(memoLabel);
    memoHead->addStretch(1);
    memoHead->addWidget(m_memo->RoomLabel());

    auto* fields = new QVBoxLayout;
    fields->addLayout(flags);
    fields->addSpacing(4);
    fields->addWidget(m_tabs);
    fields->addWidget(page);
    fields->setSpacing(0);
    fields->addSpacing(8);
    fields->addLayout(memoHead);
    fields->addWidget(m_memo);

    auto* top = new QHBoxLayout(this);
    top->addLayout(fields, 1);
    top->addWidget(MakeButtons(), 0, Qt::AlignTop);

    connect(m_tabs, &QTabBar::currentChanged, this, &CSchedDlg::OnTabChanged);
    for (CSpinEdit* e : {m_date.year, m_date.month, m_date.day, m_hour, m_minute})
        connect(e, &CSpinEdit::numberChanged, this, &CSchedDlg::OnEditChanged);
    connect(m_date.year, &CSpinEdit::focusGained, this,
            [this] { FillIfEmpty(m_date.year, EditorToday().year()); });
    connect(m_date.month, &CSpinEdit::focusGained, this,
            [this] { FillIfEmpty(m_date.month, EditorToday().month()); });
    connect(m_date.day, &CSpinEdit::focusGained, this,
            [this] { FillIfEmpty(m_date.day, EditorToday().day()); });
    connect(m_hour, &CSpinEdit::focusGained, this,
            [this] { FillIfEmpty(m_hour, EditorNow().time().hour()); });
    connect(m_minute, &CSpinEdit::focusGained, this,
            [this] { FillIfEmpty(m_minute, EditorNow().time().minute()); });
    connect(m_reset, &QPushButton::clicked, this, [this] {
        for (CSpinEdit* e : {m_date.year, m_date.month, m_date.day, m_hour, m_minute})
            e->Clear();
    });
    FinishForm({m_secret, m_alarmOn, m_tabs, m_date.year, m_date.month, m_date.day, m_hour,
                m_minute, m_reset, m_memo},
               m_memo);
    m_showing = false;
}

void CSchedDlg::FillIfEmpty(CSpinEdit* edit, int value) {
    if (edit->IsEmptyText())
        edit->SetNumber(value);
}

void CSchedDlg::ShowValue(const std::optional<DateTimeValue>& v) {
    m_showing = true;
    if (v && (v->flags & kDateFlags) == kDateFlags) {
        m_date.year->SetNumber(v->year);
        m_date.month->SetNumber(v->month);
        m_date.day->SetNumber(v->day);
        if ((v->flags & kTimeFlags) == kTimeFlags) {
            m_hour->SetNumber(v->hour);
            m_minute->SetNumber(v->minute);
        } else {
            m_hour->Clear();
            m_minute->Clear();
        }
    } else {
        m_date.Clear();
        m_hour->Clear();
        m_minute->Clear();
    }
    m_showing = false;
}

void CSchedDlg::TakeEdits() {
    const unsigned y = m_date.year->Unsigned();
    const unsigned m = m_date.month->Unsigned();
    const unsigned d = m_date.day->Unsigned();
    const int h = m_hour->Signed();
    const int mi = m_minute->Signed();
    std::optional<DateTimeValue> v;
    if (y > 1900 && m != 0 && d != 0) {
        DateTimeValue t;
        t.flags = kDateFlags;
        t.year = static_cast<int32_t>(y);
        t.month = static_cast<int32_t>(m);
        t.day = static_cast<int32_t>(d);
        if (h >= 0 && mi >= 0) {
            t.flags |= kTimeFlags;
            t.hour = h;
            t.minute = mi;
        }
        v = t;
    }
    m_values[m_current] = v;
    m_touched[m_current] = true;
}

void CSchedDlg::OnEditChanged() {
    if (!m_showing)
        TakeEdits();
}

void CSchedDlg::OnTabChanged(int index) {
    if (index < 0 || index > 2)
        return;
    // Every change of the edits has already gone into the tab they were showing.
    m_current = index;
    if (Settings().ScheduleAutoComp && index == kEnd && !m_values[kEnd] && m_values[kStart]) {
        // The end time starts as a copy of the start time; it is stored as the end time when
        // the tab changes again or OK is pressed.
        ShowValue(m_values[kStart]);
        m_values[kEnd] = m_values[kStart];
        m_touched[kEnd] = true;
        return;
    }
    ShowValue(m_values[index]);
}

bool CSchedDlg::LoadFromRecord(const CDataRecord& record) {
    int32_t secret = 0;
    int32_t alarmOn = 0;
    std::string memo;
    std::optional<DateTimeValue> values[3];
    bool ok = LoadInt(record, kSCRT, secret) && LoadInt(record, kALON, alarmOn) &&
              LoadText(record, kMEM1, memo);
    for (int i = 0; ok && i < 3; ++i)
        ok = LoadDate(record, kTabTags[i], values[i]);
    if (!ok)
        return LoadFailed();
    m_secret->setChecked(secret != 0);
    m_alarmOn->setChecked(alarmOn != 0);
    m_memo->SetBytes(memo);
    for (int i = 0; i < 3; ++i) {
        m_values[i] = values[i];
        m_touched[i] = false;
    }
    ShowValue(m_values[m_current]);
    return true;
}

bool CSchedDlg::Validate() {
    // The edits are taken at every change, so the current tab's value is up to date.
    const auto& start = m_values[kStart];
    if (!start || (start->flags & kDateFlags) != kDateFlags) {
        ShowRequiredMissing(kTabTags[kStart]);
        return false;
    }
    if (m_memo->IsEmptyText()) {
        ShowRequiredMissing(kMEM1);
        m_memo->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

bool CSchedDlg::Compose(CFieldWrites& writes) {
    writes.Set(kSCRT, int32_t{m_secret->isChecked() ? 1 : 0});
    writes.Set(kALON, int32_t{m_alarmOn->isChecked() ? 1 : 0});
    for (int i = 0; i < 3; ++i)
        if (m_touched[i] || IsNewRecord())
            writes.SetDate(kTabTags[i], m_values[i]);
    return TakeEdit(m_memo, kMEM1, writes);
}

} // namespace tessera
