#include "app/editors/EditorCommon.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>

#include "app/Help.h"
#include "app/core/AppSettings.h"
#include "app/core/Cp932.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "resources/StringTable.h"

namespace tessera {

// ---------------------------------------------------------------- texts and messages

QString EditorText(int id, const char* fallbackUtf8) {
    if (HasString(id))
        return Cp932ToQString(LoadString(id));
    return QString::fromUtf8(fallbackUtf8);
}

void ShowEditorMessage(int id, const char* fallbackUtf8, PromptIcon icon,
                       const std::vector<std::string>& args) {
    const std::string format =
        HasString(id) ? LoadString(id) : QStringToCp932Lossy(QString::fromUtf8(fallbackUtf8));
    std::vector<FormatArg> formatArgs(args.begin(), args.end());
    const std::string text = FormatText(format, formatArgs);
    if (Prompter* p = CurrentPrompter())
        p->Show(id, text, icon, PromptButtons::Ok);
}

namespace {

std::string FieldName(FieldTag tag) {
    const std::string& name = FieldDisplayName(tag);
    return name.empty() ? TagText(tag) : name;
}

} // namespace

void ShowFieldRefused(FieldTag tag) {
    // 1073 itself names no field; the line below it tells the user where to look.
    std::string text = LoadString(kMsgEditBadInput);
    const std::string format = HasString(kTextEditField)
                                   ? LoadString(kTextEditField)
                                   : QStringToCp932Lossy(QStringLiteral("項目: %s"));
    text += "\n";
    text += FormatText(format, {FieldName(tag)});
    if (Prompter* p = CurrentPrompter())
        p->Show(kMsgEditBadInput, text, PromptIcon::Warning, PromptButtons::Ok);
}

void ShowTextRefused(TextCheck check, FieldTag tag, const QString& bad) {
    if (check == TextCheck::Unencodable) {
        ShowEditorMessage(kMsgEditUnencodable,
                          "「%s」の文字「%s」はザウルスに送れない文字です。別の文字に置き換えてください。",
                          PromptIcon::Warning, {FieldName(tag), QStringToCp932Lossy(bad)});
    } else if (check == TextCheck::Forbidden) {
        ShowEditorMessage(kMsgEditForbidden,
                          "「%s」にタブや制御文字、または引用符とコンマの並び(\",)は入力できません。",
                          PromptIcon::Warning, {FieldName(tag)});
    }
}

// ---------------------------------------------------------------- calendar

namespace {
std::optional<QDateTime> g_fixedNow;
} // namespace

int DayOfWeek(int year, int month, int day) {
    if (month == 1 || month == 2) {
        year -= 1;
        month += 12;
    }
    const int v = (13 * month + 8) / 5 + year + year / 4 - year / 100 + year / 400 + day;
    return ((v % 7) + 7) % 7;
}

QString DayOfWeekText(int year, int month, int day) {
    static const char* const kNames[7] = {"(日)", "(月)", "(火)", "(水)", "(木)", "(金)", "(土)"};
    const int dow = DayOfWeek(year, month, day);
    return EditorText(6400 + dow, kNames[dow]);
}

int AgeOn(const QDate& today, int year, int month, int day) {
    int age = today.year() - year;
    if (today.month() < month || (today.month() == month && today.day() < day))
        --age;
    return age;
}

QDateTime EditorNow() { return g_fixedNow ? *g_fixedNow : QDateTime::currentDateTime(); }
QDate EditorToday() { return EditorNow().date(); }
void SetEditorClockForTests(std::optional<QDateTime> now) { g_fixedNow = std::move(now); }

// ---------------------------------------------------------------- texts of edits

int Cp932Length(const QString& text) {
    int bytes = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            bytes += 2; // stored as CR LF
        else if (c.isLowSurrogate())
            continue;
        else if (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F))
            bytes += 1;
        else
            bytes += 2;
    }
    return bytes;
}

TextCheck EncodeFieldText(const QString& text, bool allowTab, std::string& out, QString* bad) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QChar(u'\r'), QChar(u'\n'));
    normal.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    normal.replace(QChar::LineSeparator, QChar(u'\n'));
    for (QChar c : normal) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || u == 0x7F;
        if ((control && u != u'\n' && !(allowTab && u == u'\t'))) {
            if (bad)
                *bad = QString(c);
            return TextCheck::Forbidden;
        }
    }
    // A quote directly before a comma would end the value early in the text form.
    if (normal.contains(QStringLiteral("\","))) {
        if (bad)
            *bad = QStringLiteral("\",");
        return TextCheck::Forbidden;
    }
    std::string bytes;
    qsizetype badIndex = -1;
    if (!QStringToCp932(normal, bytes, &badIndex)) {
        if (bad) {
            *bad = badIndex >= 0 && badIndex < normal.size() ? normal.mid(badIndex, 1) : QString();
            if (badIndex >= 0 && badIndex + 1 < normal.size() && normal.at(badIndex).isHighSurrogate())
                *bad = normal.mid(badIndex, 2);
        }
        return TextCheck::Unencodable;
    }
    out = NormalizeLineBreaks(bytes);
    return TextCheck::Ok;
}

namespace {

// How a stored text is shown: CR LF (or a lone CR or LF) as one line break.
QString ShownText(std::string_view bytes) {
    QString s = Cp932ToQString(bytes);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar(u'\r'), QChar(u'\n'));
    return s;
}

} // namespace

CByteLimitValidator::CByteLimitValidator(int maxBytes, const QLineEdit* edit)
    : QValidator(const_cast<QLineEdit*>(edit)), m_max(maxBytes), m_edit(edit) {}

QValidator::State CByteLimitValidator::validate(QString& input, int&) const {
    if (m_max <= 0)
        return Acceptable;
    const int bytes = Cp932Length(input);
    if (bytes <= m_max)
        return Acceptable;
    // A loaded text longer than the limit may still be shortened.
    if (m_edit != nullptr && bytes < Cp932Length(m_edit->text()))
        return Intermediate;
    return Invalid;
}

void CLoadedText::Load(std::string_view bytes, const QString& shown) {
    m_bytes.assign(bytes);
    m_shown = shown;
    m_loaded = true;
}

CByteLineEdit::CByteLineEdit(int maxBytes, QWidget* parent) : QLineEdit(parent), m_max(maxBytes) {
    if (m_max > 0) {
        setValidator(new CByteLimitValidator(m_max, this));
        // The room left shows in the tooltip; typing past the limit is refused.
        auto updateRoom = [this] {
            const QString room = EditorText(kTextEditRoomLeft, "あと %d バイト");
            setToolTip(QString(room).replace(QStringLiteral("%d"), QString::number(RoomLeft())));
        };
        connect(this, &QLineEdit::textChanged, this, updateRoom);
        updateRoom();
    }
}

void CByteLineEdit::SetBytes(std::string_view bytes) {
    const QString shown = ShownText(bytes);
    setText(shown);
    m_loaded.Load(bytes, text());
}

TextCheck CByteLineEdit::TakeBytes(std::string& out, QString* bad) const {
    if (m_loaded.Unchanged(text())) {
        out = m_loaded.Bytes();
        return TextCheck::Ok;
    }
    return EncodeFieldText(text(), false, out, bad);
}

int CByteLineEdit::RoomLeft() const { return m_max > 0 ? m_max - Cp932Length(text()) : 0; }

CByteTextEdit::CByteTextEdit(int maxBytes, QWidget* parent) : QPlainTextEdit(parent), m_max(maxBytes) {
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &CByteTextEdit::OnChanged);
}

void CByteTextEdit::SetMaxBytes(int maxBytes) {
    m_max = maxBytes;
    UpdateRoom();
}

void CByteTextEdit::SetBytes(std::string_view bytes) {
    const QString shown = ShownText(bytes);
    m_reverting = true;
    setPlainText(shown);
    m_reverting = false;
    m_lastText = toPlainText();
    m_lastBytes = Cp932Length(m_lastText);
    m_loaded.Load(bytes, m_lastText);
    UpdateRoom();
}

TextCheck CByteTextEdit::TakeBytes(std::string& out, bool allowTab, QString* bad) const {
    const QString now = toPlainText();
    if (m_loaded.Unchanged(now)) {
        out = m_loaded.Bytes();
        return TextCheck::Ok;
    }
    return EncodeFieldText(now, allowTab, out, bad);
}

int CByteTextEdit::RoomLeft() const { return m_max > 0 ? m_max - Cp932Length(toPlainText()) : 0; }

QLabel* CByteTextEdit::RoomLabel() {
    if (m_room == nullptr) {
        m_room = new QLabel(parentWidget());
        m_room->setObjectName(objectName() + QStringLiteral("Room"));
        m_room->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        UpdateRoom();
    }
    return m_room;
}

void CByteTextEdit::OnChanged() {
    if (m_reverting)
        return;
    const QString now = toPlainText();
    const int bytes = Cp932Length(now);
    if (m_max > 0 && !m_soft && bytes > m_max && bytes > m_lastBytes) {
        // Refuse what went past the limit: back to the text before this change.
        const int pos = std::min(static_cast<int>(m_lastText.size()),
                                 std::max(0, textCursor().position() - static_cast<int>(now.size() - m_lastText.size())));
        m_reverting = true;
        setPlainText(m_lastText);
        QTextCursor c = textCursor();
        c.setPosition(pos);
        setTextCursor(c);
        m_reverting = false;
        return;
    }
    m_lastText = now;
    m_lastBytes = bytes;
    UpdateRoom();
}

void CByteTextEdit::UpdateRoom() {
    const int left = RoomLeft();
    if (m_room != nullptr) {
        m_room->setVisible(m_max > 0);
        const QString room = EditorText(kTextEditRoomLeft, "あと %d バイト");
        m_room->setText(QString(room).replace(QStringLiteral("%d"), QString::number(left)));
    }
    emit roomChanged(left);
}

// ---------------------------------------------------------------- number edits

const SpinAccel kYearAccel[3] = {{0, 1}, {2000, 5}, {4000, 10}};
const SpinAccel kMonthAccel[2] = {{0, 1}, {1000, 2}};
const SpinAccel kDayAccel[3] = {{0, 1}, {1000, 2}, {2000, 5}};

namespace {
// A press later than this after the previous step starts a new series of steps.
constexpr qint64 kSeriesGapMs = 600;
} // namespace

CSpinEdit::CSpinEdit(int minimum, int maximum, std::span<const SpinAccel> accel, QWidget* parent)
    : QAbstractSpinBox(parent), m_min(minimum), m_max(maximum), m_accel(accel.begin(), accel.end()) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setAlignment(Qt::AlignRight);
    setKeyboardTracking(true);
    connect(lineEdit(), &QLineEdit::textChanged, this, &CSpinEdit::numberChanged);
    const int digits = static_cast<int>(QString::number(m_max).size());
    const QFontMetrics fm(font());
    setMinimumWidth(fm.horizontalAdvance(QString(digits + 1, QChar(u'0'))) + 28);
}

void CSpinEdit::SetNumber(int value) { lineEdit()->setText(QString::number(value)); }

void CSpinEdit::Clear() { lineEdit()->clear(); }

unsigned CSpinEdit::Unsigned() const {
    bool ok = false;
    const unsigned v = text().toUInt(&ok);
    return ok ? v : 0u;
}

int CSpinEdit::Signed() const {
    bool ok = false;
    const int v = text().toInt(&ok);
    return ok ? v : -1;
}

int CSpinEdit::StepAfter(qint64 elapsedMs) const {
    int step = 1;
    for (const SpinAccel& a : m_accel)
        if (elapsedMs >= a.afterMs)
            step = a.step;
    return step;
}

void CSpinEdit::stepBy(int steps) {
    if (text().isEmpty()) {
        // An empty edit starts where the user most likely wants to be.
        SetNumber(std::clamp(m_emptyStart ? m_emptyStart() : m_min, m_min, m_max));
        m_series.start();
        m_lastStep.start();
        return;
    }
    if (!m_lastStep.isValid() || m_lastStep.elapsed() > kSeriesGapMs)
        m_series.start();
    m_lastStep.start();
    const int step = StepAfter(m_series.elapsed());
    const long long v = static_cast<long long>(Signed()) + static_cast<long long>(steps) * step;
    SetNumber(static_cast<int>(std::clamp<long long>(v, m_min, m_max)));
    lineEdit()->selectAll();
}

QValidator::State CSpinEdit::validate(QString& input, int&) const {
    const int digits = static_cast<int>(QString::number(m_max).size());
    if (input.size() > digits)
        return QValidator::Invalid;
    for (QChar c : input)
        if (c < u'0' || c > u'9')
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled CSpinEdit::stepEnabled() const {
    if (isReadOnly())
        return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

void CSpinEdit::focusInEvent(QFocusEvent* event) {
    QAbstractSpinBox::focusInEvent(event);
    emit focusGained();
}

DateEdits DateEdits::Create(QWidget* parent, const QString& namePrefix) {
    DateEdits d;
    d.year = new CSpinEdit(1901, 2099, kYearAccel, parent);
    d.month = new CSpinEdit(1, 12, kMonthAccel, parent);
    d.day = new CSpinEdit(1, 31, kDayAccel, parent);
    d.year->setObjectName(namePrefix + QStringLiteral("Year"));
    d.month->setObjectName(namePrefix + QStringLiteral("Month"));
    d.day->setObjectName(namePrefix + QStringLiteral("Day"));
    d.year->SetEmptyStart([] { return EditorToday().year(); });
    d.month->SetEmptyStart([] { return EditorToday().month(); });
    d.day->SetEmptyStart([] { return EditorToday().day(); });
    return d;
}

QWidget* DateEdits::Row(QWidget* parent, QLabel* dayOfWeek) const {
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(3);
    h->addWidget(year);
    h->addWidget(new QLabel(EditorText(9110, "年"), row));
    h->addWidget(month);
    h->addWidget(new QLabel(EditorText(9111, "月"), row));
    h->addWidget(day);
    h->addWidget(new QLabel(EditorText(9112, "日"), row));
    if (dayOfWeek != nullptr) {
        dayOfWeek->setMinimumWidth(QFontMetrics(dayOfWeek->font()).horizontalAdvance(QStringLiteral("(日)")) + 4);
        h->addWidget(dayOfWeek);
    }
    h->addStretch(1);
    return row;
}

void DateEdits::Show(const DateTimeValue* v) {
    constexpr int32_t kDate = DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay;
    if (v != nullptr && (v->flags & kDate) == kDate) {
        year->SetNumber(v->year);
        month->SetNumber(v->month);
        day->SetNumber(v->day);
    } else if (v != nullptr && (v->flags & (DateTimeValue::kMonth | DateTimeValue::kDay)) ==
                                   (DateTimeValue::kMonth | DateTimeValue::kDay)) {
        // A date without its year is shown as far as it goes.
        year->Clear();
        month->SetNumber(v->month);
        day->SetNumber(v->day);
    } else {
        Clear();
    }
}

void DateEdits::Clear() {
    year->Clear();
    month->Clear();
    day->Clear();
}

void DateEdits::SetToday() {
    const QDate t = EditorToday();
    year->SetNumber(t.year());
    month->SetNumber(t.month());
    day->SetNumber(t.day());
}

std::optional<DateTimeValue> DateEdits::Complete() const {
    const unsigned y = year->Unsigned();
    const unsigned m = month->Unsigned();
    const unsigned d = day->Unsigned();
    if (y <= 1900 || m == 0 || d == 0)
        return std::nullopt;
    DateTimeValue v;
    v.flags = DateTimeValue::kYear | DateTimeValue::kMonth | DateTimeValue::kDay;
    v.year = static_cast<int32_t>(std::min(y, 99999u));
    v.month = static_cast<int32_t>(std::min(m, 99u));
    v.day = static_cast<int32_t>(std::min(d, 99u));
    return v;
}

QString DateEdits::Texts() const {
    return year->text() + QLatin1Char('/') + month->text() + QLatin1Char('/') + day->text();
}

void DateEdits::SetEnabled(bool on) {
    year->setEnabled(on);
    month->setEnabled(on);
    day->setEnabled(on);
}

QLabel* MakeFieldLabel(const char* tag, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(Cp932ToQString(FieldName(MakeTag(tag))) + QStringLiteral(" :"), parent);
    label->setBuddy(buddy);
    return label;
}

void SetEditLines(QPlainTextEdit* edit, int lines) {
    const QFontMetrics fm(edit->font());
    const int h = fm.lineSpacing() * lines + 2 * static_cast<int>(edit->document()->documentMargin()) +
                  2 * edit->frameWidth() + 2;
    edit->setMinimumHeight(h);
    edit->setMaximumHeight(h);
}

QComboBox* MakeCheckCombo(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->addItems({EditorText(9050, "？"), EditorText(9051, "△"), EditorText(9052, "×"),
                   EditorText(9053, "○")});
    box->setCurrentIndex(0);
    return box;
}

QComboBox* MakeDayOfWeekCombo(QWidget* parent) {
    static const char* const kDays[7] = {"日", "月", "火", "水", "木", "金", "土"};
    auto* box = new QComboBox(parent);
    for (int i = 0; i < 7; ++i)
        box->addItem(EditorText(9054 + i, kDays[i]));
    box->setCurrentIndex(0);
    return box;
}

// ---------------------------------------------------------------- staged writes

void CFieldWrites::Set(FieldTag tag, FieldValue value) {
    m_writes.push_back(Write{tag, std::move(value)});
}

void CFieldWrites::Clear(FieldTag tag) { m_writes.push_back(Write{tag, std::nullopt}); }

void CFieldWrites::SetText(FieldTag tag, std::string text) {
    if (text.empty())
        Clear(tag);
    else
        Set(tag, std::move(text));
}

void CFieldWrites::SetDate(FieldTag tag, const std::optional<DateTimeValue>& value) {
    if (value && value->flags != 0)
        Set(tag, *value);
    else
        Clear(tag);
}

bool CFieldWrites::Has(FieldTag tag) const {
    return std::any_of(m_writes.begin(), m_writes.end(), [tag](const Write& w) { return w.tag == tag; });
}

bool CFieldWrites::Check(const CDataRecord& record) const {
    for (const Write& w : m_writes) {
        const int index = record.FindField(w.tag);
        if (index < 0 || record.FieldAt(index) == nullptr) {
            ShowFieldRefused(w.tag);
            return false;
        }
        if (!w.value)
            continue;
        std::unique_ptr<CField> scratch = CreateField(w.tag);
        if (!scratch || !scratch->SetValue(*w.value)) {
            ShowFieldRefused(w.tag);
            return false;
        }
    }
    return true;
}

bool CFieldWrites::Apply(CDataRecord& record) const {
    if (!Check(record))
        return false;
    for (const Write& w : m_writes) {
        const int index = record.FindField(w.tag);
        // Clearing first makes the value replace the old one whole: a date whose year the
        // user emptied must lose its year, not keep the old one.
        record.ClearField(index);
        if (w.value && !record.FieldAt(index)->SetValue(*w.value)) {
            ShowFieldRefused(w.tag);
            return false;
        }
    }
    return true;
}

const CField* FieldOf(const CDataRecord& record, FieldTag tag) {
    const int index = record.FindField(tag);
    return index < 0 ? nullptr : record.FieldAt(index);
}

bool LoadText(const CDataRecord& record, FieldTag tag, std::string& out) {
    const CField* f = FieldOf(record, tag);
    if (f == nullptr)
        return false;
    const std::string* s = ValueAs<std::string>(f->GetValue());
    if (s == nullptr)
        return false;
    out = *s;
    return true;
}

bool LoadInt(const CDataRecord& record, FieldTag tag, int32_t& out) {
    const CField* f = FieldOf(record, tag);
    if (f == nullptr)
        return false;
    const int32_t* v = ValueAs<int32_t>(f->GetValue());
    if (v == nullptr)
        return false;
    out = *v;
    return true;
}

bool LoadDate(const CDataRecord& record, FieldTag tag, std::optional<DateTimeValue>& out) {
    const CField* f = FieldOf(record, tag);
    if (f == nullptr || f->Class() != FieldClass::Time)
        return false;
    const DateTimeValue* v = ValueAs<DateTimeValue>(f->GetValue());
    out = v != nullptr ? std::optional<DateTimeValue>(*v) : std::nullopt;
    return true;
}

bool TakeEdit(const CByteLineEdit* edit, FieldTag tag, CFieldWrites& writes) {
    std::string bytes;
    QString bad;
    const TextCheck check = edit->TakeBytes(bytes, &bad);
    if (check != TextCheck::Ok) {
        ShowTextRefused(check, tag, bad);
        return false;
    }
    writes.SetText(tag, std::move(bytes));
    return true;
}

bool TakeEdit(const CByteTextEdit* edit, FieldTag tag, CFieldWrites& writes) {
    std::string bytes;
    QString bad;
    const TextCheck check = edit->TakeBytes(bytes, false, &bad);
    if (check != TextCheck::Ok) {
        ShowTextRefused(check, tag, bad);
        return false;
    }
    writes.SetText(tag, std::move(bytes));
    return true;
}

// ---------------------------------------------------------------- the dialog base

CRecordEditor::CRecordEditor(int dialogId, const CAppSettings& settings, QWidget* parent)
    : QDialog(parent), m_dialogId(dialogId), m_settings(settings) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

CRecordEditor::~CRecordEditor() = default;

int CRecordEditor::ModelCode() const { return m_settings.ModelCode(); }

void CRecordEditor::SetNewRecord() {
    m_isNew = true;
    InitNewRecord();
}

bool CRecordEditor::LoadFailed() {
    ShowMessage(kMsgEditCannotLoad, PromptIcon::Stop, PromptButtons::Ok);
    return false;
}

bool CRecordEditor::StoreIntoRecord(CDataRecord& record) {
    CFieldWrites writes;
    if (!Compose(writes))
        return false;
    return writes.Apply(record);
}

void CRecordEditor::accept() {
    if (!CanClose() || !Validate())
        return;
    if (m_target != nullptr) {
        CFieldWrites writes;
        if (!Compose(writes) || !writes.Apply(*m_target))
            return;
    }
    QDialog::accept();
}

void CRecordEditor::reject() {
    if (!CanClose())
        return;
    QDialog::reject();
}

QDialogButtonBox* CRecordEditor::MakeButtons() {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                                     Qt::Vertical, this);
    box->setObjectName(QStringLiteral("buttons"));
    box->button(QDialogButtonBox::Ok)->setText(EditorText(9026, "OK"));
    box->button(QDialogButtonBox::Cancel)->setText(EditorText(9027, "キャンセル"));
    box->button(QDialogButtonBox::Help)->setText(EditorText(101217, "ヘルプ"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(box, &QDialogButtonBox::helpRequested, this,
            [this] { ShowHelpTopic(kHelpTopicBase + static_cast<unsigned>(m_dialogId)); });
    return box;
}

} // namespace tessera
