#include "app/editors/Day1Dlg.h"

#include "model/FieldLimits.h"
#include "model/RecordSet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace tessera {

namespace {
constexpr FieldTag kSCRT = MakeTag("SCRT");
constexpr FieldTag kANN1 = MakeTag("ANN1");
constexpr FieldTag kMEM1 = MakeTag("MEM1");
} // namespace

CDay1Dlg::CDay1Dlg(const CAppSettings& settings, QWidget* parent)
    : CRecordEditor(163, settings, parent) {
    setObjectName(QStringLiteral("CDay1Dlg"));
    setWindowTitle(EditorText(110163));
    m_secret = new QCheckBox(EditorText(101086), this);
    m_secret->setObjectName(QStringLiteral("secret"));
    m_month = new CSpinEdit(1, 12, kMonthAccel, this);
    m_month->setObjectName(QStringLiteral("month"));
    m_month->SetEmptyStart([] { return EditorToday().month(); });
    m_day = new CSpinEdit(1, 31, kDayAccel, this);
    m_day->setObjectName(QStringLiteral("day"));
    m_day->SetEmptyStart([] { return EditorToday().day(); });
    m_memo = new CByteTextEdit(FieldByteLimit(kKindAnniversary, kMEM1), this);
    m_memo->setObjectName(QStringLiteral("memo"));
    SetEditLines(m_memo, 5);

    auto* date = new QHBoxLayout;
    date->addWidget(m_month);
    date->addWidget(new QLabel(EditorText(ids::kStrUnitMonth), this));
    date->addWidget(m_day);
    date->addWidget(new QLabel(EditorText(ids::kStrUnitDay), this));
    date->addStretch(1);

    auto* grid = new QGridLayout;
    grid->addWidget(m_secret, 0, 1);
    grid->addWidget(MakeFieldLabel("ANN1", m_month, this, true), 1, 0, Qt::AlignRight);
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
    FinishForm({m_secret, m_month, m_day, m_memo}, m_month);
}

bool CDay1Dlg::LoadFromRecord(const CDataRecord& record) {
    int32_t secret = 0;
    std::optional<DateTimeValue> date;
    std::string memo;
    if (!LoadInt(record, kSCRT, secret) || !LoadDate(record, kANN1, date) ||
        !LoadText(record, kMEM1, memo))
        return LoadFailed();
    m_secret->setChecked(secret != 0);
    m_month->Clear();
    m_day->Clear();
    if (date && (date->flags & DateTimeValue::kMonth))
        m_month->SetNumber(date->month);
    if (date && (date->flags & DateTimeValue::kDay))
        m_day->SetNumber(date->day);
    m_memo->SetBytes(memo);
    return true;
}

bool CDay1Dlg::Validate() {
    const unsigned m = m_month->Unsigned();
    const unsigned d = m_day->Unsigned();
    if (m < 1 || m > 12 || d < 1 || d > 31) {
        ShowFieldRefused(kANN1);
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

bool CDay1Dlg::Compose(CFieldWrites& writes) {
    writes.Set(kSCRT, int32_t{m_secret->isChecked() ? 1 : 0});
    DateTimeValue v;
    v.flags = DateTimeValue::kMonth | DateTimeValue::kDay;
    v.month = static_cast<int32_t>(m_month->Unsigned());
    v.day = static_cast<int32_t>(m_day->Unsigned());
    writes.Set(kANN1, v);
    return TakeEdit(m_memo, kMEM1, writes);
}

} // namespace tessera
