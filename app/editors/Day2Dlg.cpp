#include "app/editors/Day2Dlg.h"

#include "model/FieldLimits.h"
#include "model/RecordSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace tessera {

namespace {
constexpr FieldTag kSCRT = MakeTag("SCRT");
constexpr FieldTag kANN2 = MakeTag("ANN2");
constexpr FieldTag kMEM1 = MakeTag("MEM1");
} // namespace

CDay2Dlg::CDay2Dlg(const CAppSettings& settings, QWidget* parent)
    : CRecordEditor(164, settings, parent) {
    setObjectName(QStringLiteral("CDay2Dlg"));
    setWindowTitle(EditorText(110164));
    m_secret = new QCheckBox(EditorText(101086), this);
    m_secret->setObjectName(QStringLiteral("secret"));
    m_month = new CSpinEdit(1, 12, kMonthAccel, this);
    m_month->setObjectName(QStringLiteral("month"));
    m_month->SetEmptyStart([] { return EditorToday().month(); });
    m_week = new CSpinEdit(1, 5, kMonthAccel, this);
    m_week->setObjectName(QStringLiteral("week"));
    m_week->SetEmptyStart([] { return 1; });
    // Never without a choice: a day of week that is not set shows Sunday.
    m_dayOfWeek = MakeDayOfWeekCombo(this);
    m_dayOfWeek->setObjectName(QStringLiteral("dayOfWeek"));
    m_memo = new CByteTextEdit(FieldByteLimit(kKindAnniversaryWeek, kMEM1), this);
    m_memo->setObjectName(QStringLiteral("memo"));
    SetEditLines(m_memo, 5);

    auto* date = new QHBoxLayout;
    date->addWidget(m_month);
    date->addWidget(new QLabel(EditorText(ids::kStrUnitMonth), this));
    date->addSpacing(6);
    date->addWidget(new QLabel(EditorText(ids::kStrUnitWeekOrdinal), this));
    date->addWidget(m_week);
    date->addWidget(new QLabel(EditorText(ids::kStrUnitWeek), this));
    date->addSpacing(6);
    date->addWidget(m_dayOfWeek);
    date->addWidget(new QLabel(EditorText(ids::kStrUnitDayOfWeek), this));
    date->addStretch(1);

    auto* grid = new QGridLayout;
    grid->addWidget(m_secret, 0, 1);
    grid->addWidget(MakeFieldLabel("ANN2", m_month, this, true), 1, 0, Qt::AlignRight);
    grid->addLayout(date, 1, 1);
    grid->addWidget(MakeFieldLabel("MEM1", m_memo, this, true), 2, 0,
                    Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(m_memo, 2, 1);
    grid->setRowStretch(2, 1);
    grid->addWidget(m_memo->RoomLabel(), 3, 1);
    grid->setColumnStretch(1, 1);
    m_memo->setMinimumWidth(300);

    auto* top = new QHBoxLayout(this);
    top->addLayout(grid, 1);
    top->addWidget(MakeButtons(), 0, Qt::AlignTop);
    // The focus starts on the date, never on the secret mark.
    FinishForm({m_secret, m_month, m_week, m_dayOfWeek, m_memo}, m_month);
}

void CDay2Dlg::InitNewRecord() {
    m_dayOfWeek->setCurrentIndex(0);
}

bool CDay2Dlg::LoadFromRecord(const CDataRecord& record) {
    int32_t secret = 0;
    std::string memo;
    const CField* field = FieldOf(record, kANN2);
    if (!LoadInt(record, kSCRT, secret) || field == nullptr ||
        field->Class() != FieldClass::DayWeek || !LoadText(record, kMEM1, memo))
        return LoadFailed();
    const DayWeekValue* v = ValueAs<DayWeekValue>(field->GetValue());
    m_secret->setChecked(secret != 0);
    m_month->Clear();
    m_week->Clear();
    m_dayOfWeek->setCurrentIndex(0);
    if (v != nullptr && (v->flags & DayWeekValue::kMonth))
        m_month->SetNumber(v->month);
    if (v != nullptr && (v->flags & DayWeekValue::kWeek))
        m_week->SetNumber(v->week);
    if (v != nullptr && (v->flags & DayWeekValue::kDayOfWeek) && v->dayOfWeek >= 0 &&
        v->dayOfWeek <= 6)
        m_dayOfWeek->setCurrentIndex(v->dayOfWeek);
    m_memo->SetBytes(memo);
    return true;
}

bool CDay2Dlg::Validate() {
    const unsigned m = m_month->Unsigned();
    const unsigned w = m_week->Unsigned();
    if (m < 1 || m > 12 || w < 1 || w > 5) {
        ShowFieldRefused(kANN2);
        m_month->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (m_memo->IsEmptyText()) {
        ShowRequiredMissing(kMEM1);
        m_memo->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

bool CDay2Dlg::Compose(CFieldWrites& writes) {
    writes.Set(kSCRT, int32_t{m_secret->isChecked() ? 1 : 0});
    DayWeekValue v;
    v.flags = DayWeekValue::kAll;
    v.month = static_cast<int32_t>(m_month->Unsigned());
    v.week = static_cast<int32_t>(m_week->Unsigned());
    v.dayOfWeek = std::max(0, m_dayOfWeek->currentIndex());
    writes.Set(kANN2, v);
    return TakeEdit(m_memo, kMEM1, writes);
}

} // namespace tessera
