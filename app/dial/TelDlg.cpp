#include "app/dial/TelDlg.h"

#include "app/dial/Dialer.h"
#include "base/AppSettings.h"
#include "model/RecordSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessera {

namespace {

constexpr FieldTag kSCRT = MakeTag("SCRT");
constexpr FieldTag kNAME = MakeTag("NAME");
constexpr FieldTag kNAPR = MakeTag("NAPR");
constexpr FieldTag kTEL1 = MakeTag("TEL1");
constexpr FieldTag kFAX1 = MakeTag("FAX1");
constexpr FieldTag kOFCE = MakeTag("OFCE");
constexpr FieldTag kOFPR = MakeTag("OFPR");
constexpr FieldTag kSCTN = MakeTag("SCTN");
constexpr FieldTag kPSTN = MakeTag("PSTN");
constexpr FieldTag kZIPC = MakeTag("ZIPC");
constexpr FieldTag kADR1 = MakeTag("ADR1");
constexpr FieldTag kBRTH = MakeTag("BRTH");
constexpr FieldTag kRMRK = MakeTag("RMRK");
constexpr FieldTag kASCT = MakeTag("ASCT");
constexpr FieldTag kCHK[4] = {MakeTag("CHK1"), MakeTag("CHK2"), MakeTag("CHK3"), MakeTag("CHK4")};
constexpr const char* kCHKName[4] = {"CHK1", "CHK2", "CHK3", "CHK4"};

// Edit limits in bytes: the phone book allows 992 bytes, a card 965, readings 16, the
// card's association memo 1023.
constexpr int kTelLimit = 992;
constexpr int kCardLimit = 965;
constexpr int kReadingLimit = 16;
constexpr int kAssociationLimit = 1023;

} // namespace

CContactDlg::CContactDlg(bool card, int dialogId, const CAppSettings& settings, QWidget* parent)
    : CRecordEditor(dialogId, settings, parent), m_card(card) {
    setObjectName(card ? QStringLiteral("CCardDlg") : QStringLiteral("CTelDlg"));
    setWindowTitle(card ? EditorText(110139) : EditorText(110132));
    m_dialer = new CDialer(this);
    BuildForm();
    UpdateBirthdayTexts();
}

void CContactDlg::BuildForm() {
    const int limit = m_card ? kCardLimit : kTelLimit;
    auto line = [this](int max, const char* name) {
        auto* e = new CByteLineEdit(max, this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    auto multi = [this](int max, const char* name, int lines) {
        auto* e = new CByteTextEdit(max, this);
        e->setObjectName(QString::fromLatin1(name));
        SetEditLines(e, lines);
        return e;
    };

    m_secret = new QCheckBox(EditorText(101014), this);
    m_secret->setObjectName(QStringLiteral("secret"));
    m_name = line(limit, "name");
    m_reading = line(kReadingLimit, "reading");
    m_tel = line(limit, "tel");
    m_zip = line(limit, "zip");
    m_address = multi(limit, "address", 2);
    m_remark = multi(limit, "remark", 2);
    m_birth = DateEdits::Create(this, QStringLiteral("birth"));
    m_birthDay = new QLabel(this);
    m_birthDay->setObjectName(QStringLiteral("birthDayOfWeek"));
    m_age = new QLabel(this);
    m_age->setObjectName(QStringLiteral("age"));
    m_age->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_age->setMinimumWidth(QFontMetrics(m_age->font()).horizontalAdvance(QStringLiteral("000")));
    m_ageUnit = new QLabel(EditorText(101081), this);
    m_ageUnit->setObjectName(QStringLiteral("ageUnit"));
    m_dial = new QPushButton(EditorText(101077), this);
    m_dial->setObjectName(QStringLiteral("dial"));
    m_dial->setAutoDefault(false);
    // The dial button keeps its width when it turns into the stop button.
    m_dial->setMinimumWidth(std::max(
        m_dial->sizeHint().width(),
        QFontMetrics(m_dial->font()).horizontalAdvance(EditorText(ids::kStrDialStop)) + 24));
    m_dialState = new QLabel(EditorText(ids::kStrDialing), this);
    m_dialState->setObjectName(QStringLiteral("dialState"));
    m_dialState->setVisible(false);
    for (int i = 0; i < 4; ++i) {
        m_checks[i] = MakeCheckCombo(this);
        m_checks[i]->setObjectName(QStringLiteral("check%1").arg(i + 1));
    }
    if (m_card) {
        m_fax = line(limit, "fax");
        m_office = line(limit, "office");
        m_officeReading = line(kReadingLimit, "officeReading");
        m_section = line(limit, "section");
        m_post = line(limit, "post");
        m_association = multi(kAssociationLimit, "association", 3);
    }

    auto* telRow = new QHBoxLayout;
    telRow->setContentsMargins(0, 0, 0, 0);
    telRow->addWidget(m_tel, 1);
    telRow->addWidget(m_dial);
    telRow->addWidget(m_dialState);

    auto* birthRow = new QHBoxLayout;
    birthRow->setContentsMargins(0, 0, 0, 0);
    birthRow->addWidget(m_birth.Row(this, m_birthDay));
    birthRow->addSpacing(12);
    birthRow->addWidget(m_age);
    birthRow->addWidget(m_ageUnit);
    birthRow->addStretch(1);

    auto* checks = new QHBoxLayout;
    checks->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        checks->addWidget(MakeFieldLabel(kCHKName[i], m_checks[i], this));
        checks->addWidget(m_checks[i]);
        checks->addSpacing(6);
    }
    checks->addStretch(1);

    auto addRow = [this](QGridLayout* grid, int& r, const char* tag, QWidget* w,
                         QLayout* l = nullptr, bool required = false) {
        // Labels of multi-line edits stand at their first line; their rows take the height
        // the dialog gains when it grows.
        const bool multi = qobject_cast<QPlainTextEdit*>(w) != nullptr;
        const Qt::Alignment vertical = multi ? Qt::AlignTop : Qt::AlignVCenter;
        grid->addWidget(MakeFieldLabel(tag, w, this, required), r, 0, Qt::AlignRight | vertical);
        if (multi)
            grid->setRowStretch(r, 1);
        if (l != nullptr)
            grid->addLayout(l, r, 1);
        else
            grid->addWidget(w, r, 1);
        ++r;
        // A multi-line edit shows the bytes it has left under it, as one-line edits do in
        // their tool tips.
        if (auto* e = qobject_cast<CByteTextEdit*>(w))
            grid->addWidget(e->RoomLabel(), r++, 1);
    };
    auto* form = new QGridLayout;
    form->setHorizontalSpacing(8);
    form->setColumnStretch(1, 1);
    int row = 0;
    form->addWidget(m_secret, row++, 1);
    addRow(form, row, "NAME", m_name, nullptr, true);
    addRow(form, row, "NAPR", m_reading);
    if (m_card) {
        addRow(form, row, "OFCE", m_office, nullptr, true);
        addRow(form, row, "OFPR", m_officeReading);
        addRow(form, row, "SCTN", m_section);
        addRow(form, row, "PSTN", m_post);
    }
    addRow(form, row, "TEL1", m_tel, telRow);
    if (m_card)
        addRow(form, row, "FAX1", m_fax);
    addRow(form, row, "ZIPC", m_zip);
    // A card has too many fields for one column: its memos go to a second one.
    QGridLayout* memos = form;
    int memoRow = row;
    if (m_card) {
        memos = new QGridLayout;
        memos->setHorizontalSpacing(8);
        memos->setColumnStretch(1, 1);
        memoRow = 0;
    }
    addRow(memos, memoRow, "ADR1", m_address);
    if (!m_card)
        row = memoRow;
    addRow(form, row, "BRTH", m_birth.year, birthRow);
    if (!m_card)
        memoRow = row;
    addRow(memos, memoRow, "RMRK", m_remark);
    if (m_card)
        addRow(memos, memoRow, "ASCT", m_association);
    else
        row = memoRow;

    auto* fields = new QGridLayout;
    fields->addLayout(form, 0, 0);
    if (m_card) {
        fields->addLayout(memos, 0, 1);
        fields->setColumnStretch(0, 3);
        fields->setColumnStretch(1, 2);
        fields->setHorizontalSpacing(16);
    }
    fields->addLayout(checks, 1, 0, 1, m_card ? 2 : 1);
    auto* top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addWidget(MakeButtons(), 0, Qt::AlignTop);
    setLayout(top);
    m_name->setMinimumWidth(260);
    if (m_card)
        for (CByteTextEdit* e : {m_address, m_remark, m_association})
            e->setMinimumWidth(200);
    fields->setRowStretch(0, 1);

    for (CSpinEdit* e : {m_birth.year, m_birth.month, m_birth.day})
        connect(e, &CSpinEdit::numberChanged, this, &CContactDlg::UpdateBirthdayTexts);
    connect(m_dial, &QPushButton::clicked, this, &CContactDlg::OnDial);
    connect(m_dialer, &CDialer::callStateChanged, this, &CContactDlg::ShowCallState);

    // Tab follows the layout; the focus starts on the first text field, never on the secret
    // mark (a typed space would mark the record secret).
    if (m_card)
        FinishForm({m_secret,      m_name,      m_reading,  m_office, m_officeReading, m_section,
                    m_post,        m_tel,       m_dial,     m_fax,    m_zip,           m_birth.year,
                    m_birth.month, m_birth.day, m_address,  m_remark, m_association,   m_checks[0],
                    m_checks[1],   m_checks[2], m_checks[3]},
                   m_name);
    else
        FinishForm({m_secret, m_name, m_reading, m_tel, m_dial, m_zip, m_address, m_birth.year,
                    m_birth.month, m_birth.day, m_remark, m_checks[0], m_checks[1], m_checks[2],
                    m_checks[3]},
                   m_name);
}

bool CContactDlg::LoadFromRecord(const CDataRecord& record) {
    int32_t secret = 0;
    std::string name, reading, tel, zip, address, remark;
    std::optional<DateTimeValue> birth;
    int32_t checks[4] = {0, 0, 0, 0};
    bool ok = LoadInt(record, kSCRT, secret) && LoadText(record, kNAME, name) &&
              LoadText(record, kNAPR, reading) && LoadText(record, kTEL1, tel) &&
              LoadText(record, kZIPC, zip) && LoadText(record, kADR1, address) &&
              LoadDate(record, kBRTH, birth) && LoadText(record, kRMRK, remark);
    for (int i = 0; ok && i < 4; ++i)
        ok = LoadInt(record, kCHK[i], checks[i]);
    std::string fax, office, officeReading, section, post, association;
    if (ok && m_card)
        ok = LoadText(record, kFAX1, fax) && LoadText(record, kOFCE, office) &&
             LoadText(record, kOFPR, officeReading) && LoadText(record, kSCTN, section) &&
             LoadText(record, kPSTN, post) && LoadText(record, kASCT, association);
    if (!ok)
        return LoadFailed();

    m_secret->setChecked(secret != 0);
    m_name->SetBytes(name);
    m_reading->SetBytes(reading);
    m_tel->SetBytes(tel);
    m_zip->SetBytes(zip);
    m_address->SetBytes(address);
    m_remark->SetBytes(remark);
    m_birth.Show(birth ? &*birth : nullptr);
    for (int i = 0; i < 4; ++i)
        m_checks[i]->setCurrentIndex(checks[i] >= 0 && checks[i] <= 3 ? checks[i] : 0);
    if (m_card) {
        m_fax->SetBytes(fax);
        m_office->SetBytes(office);
        m_officeReading->SetBytes(officeReading);
        m_section->SetBytes(section);
        m_post->SetBytes(post);
        m_association->SetBytes(association);
    }
    UpdateBirthdayTexts();
    return true;
}

void CContactDlg::UpdateBirthdayTexts() {
    // The age and day of week follow the birthday as it is typed, so they are never stale.
    const unsigned y = m_birth.year->Unsigned();
    const unsigned m = m_birth.month->Unsigned();
    const unsigned d = m_birth.day->Unsigned();
    if (y > 1900 && y <= 2099 && m >= 1 && m <= 12 && d >= 1 && d <= 31) {
        const int yy = static_cast<int>(y), mm = static_cast<int>(m), dd = static_cast<int>(d);
        // A birthday still to come has no age yet.
        const int age = AgeOn(EditorToday(), yy, mm, dd);
        if (age >= 0)
            m_age->setText(QString::number(age));
        else
            m_age->clear();
        m_birthDay->setText(DayOfWeekText(yy, mm, dd));
        m_ageUnit->setEnabled(age >= 0);
    } else {
        m_age->clear();
        m_birthDay->clear();
        m_ageUnit->setEnabled(false);
    }
}

void CContactDlg::OnDial() {
    // While tones play the button stops them.
    if (m_dialer->InCall()) {
        m_dialer->HangUp();
        return;
    }
    std::string number;
    QString bad;
    const TextCheck check = m_tel->TakeBytes(number, &bad);
    if (check != TextCheck::Ok) {
        ShowTextRefused(check, kTEL1, bad);
        return;
    }
    m_dial->setEnabled(false);
    m_dialer->Dial(number, DialSettings::From(Settings()));
    m_dial->setEnabled(true);
    ShowCallState(m_dialer->InCall());
}

void CContactDlg::ShowCallState(bool inCall) {
    m_dial->setText(inCall ? EditorText(ids::kStrDialStop) : EditorText(101077));
    m_dialState->setVisible(inCall);
}

bool CContactDlg::CanClose() {
    return m_dialer->ConfirmClose();
}

bool CContactDlg::Validate() {
    for (CByteLineEdit* e : {m_name, m_card ? m_office : nullptr}) {
        if (e != nullptr && e->text().isEmpty()) {
            ShowRequiredMissing(e == m_name ? kNAME : kOFCE);
            e->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    const unsigned y = m_birth.year->Unsigned();
    const unsigned m = m_birth.month->Unsigned();
    const unsigned d = m_birth.day->Unsigned();
    if (y == 0 && m == 0 && d == 0)
        return true; // no birthday
    const bool onlyDay = y == 0 && m == 0;
    const bool badYear = y != 0 && (y < 1901 || y > 2099);
    const bool badMonthDay = (y != 0 || m != 0) && (m < 1 || m > 12 || d < 1 || d > 31);
    if (onlyDay || badYear || badMonthDay) {
        ShowMessage(kMsgEditBadDate, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    return true;
}

bool CContactDlg::Compose(CFieldWrites& writes) {
    writes.Set(kSCRT, int32_t{m_secret->isChecked() ? 1 : 0});
    if (!TakeEdit(m_name, kNAME, writes) || !TakeEdit(m_reading, kNAPR, writes) ||
        !TakeEdit(m_tel, kTEL1, writes) || !TakeEdit(m_zip, kZIPC, writes) ||
        !TakeEdit(m_address, kADR1, writes) || !TakeEdit(m_remark, kRMRK, writes))
        return false;
    if (m_card &&
        (!TakeEdit(m_fax, kFAX1, writes) || !TakeEdit(m_office, kOFCE, writes) ||
         !TakeEdit(m_officeReading, kOFPR, writes) || !TakeEdit(m_section, kSCTN, writes) ||
         !TakeEdit(m_post, kPSTN, writes) || !TakeEdit(m_association, kASCT, writes)))
        return false;

    // The birthday keeps its year only above 1900; without month and day there is none.
    const unsigned y = m_birth.year->Unsigned();
    const unsigned m = m_birth.month->Unsigned();
    const unsigned d = m_birth.day->Unsigned();
    std::optional<DateTimeValue> birth;
    if (m != 0 && d != 0) {
        DateTimeValue v;
        v.flags = DateTimeValue::kMonth | DateTimeValue::kDay;
        v.month = static_cast<int32_t>(m);
        v.day = static_cast<int32_t>(d);
        if (y > 1900) {
            v.flags |= DateTimeValue::kYear;
            v.year = static_cast<int32_t>(y);
        }
        birth = v;
    }
    writes.SetDate(kBRTH, birth);
    for (int i = 0; i < 4; ++i)
        writes.Set(kCHK[i], int32_t{std::max(0, m_checks[i]->currentIndex())});
    return true;
}

CTelDlg::CTelDlg(const CAppSettings& settings, QWidget* parent)
    : CContactDlg(false, 132, settings, parent) {}

} // namespace tessera
