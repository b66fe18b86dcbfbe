#include "app/editors/common/NumberEdits.h"

#include "app/Help.h"
#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "text/StringTable.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace tessera {

// ---------------------------------------------------------------- number edits

const SpinAccel kYearAccel[3] = {{0, 1}, {2000, 5}, {4000, 10}};
const SpinAccel kMonthAccel[2] = {{0, 1}, {1000, 2}};
const SpinAccel kDayAccel[3] = {{0, 1}, {1000, 2}, {2000, 5}};

namespace {
// A press later than this after the previous step starts a new series of steps.
constexpr qint64 kSeriesGapMs = 600;
} // namespace

CSpinEdit::CSpinEdit(int minimum, int maximum, std::span<const SpinAccel> accel, QWidget* parent)
    : QAbstractSpinBox(parent), m_min(minimum), m_max(maximum),
      m_accel(accel.begin(), accel.end()) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setAlignment(Qt::AlignRight);
    setKeyboardTracking(true);
    connect(lineEdit(), &QLineEdit::textChanged, this, &CSpinEdit::numberChanged);
    const int digits = static_cast<int>(QString::number(m_max).size());
    const QFontMetrics fm(font());
    setMinimumWidth(fm.horizontalAdvance(QString(digits + 1, QChar(u'0'))) + 28);
}

void CSpinEdit::SetNumber(int value) {
    lineEdit()->setText(QString::number(value));
}

void CSpinEdit::Clear() {
    lineEdit()->clear();
}

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
    h->addWidget(new QLabel(EditorText(ids::kStrUnitYear), row));
    h->addWidget(month);
    h->addWidget(new QLabel(EditorText(ids::kStrUnitMonth), row));
    h->addWidget(day);
    h->addWidget(new QLabel(EditorText(ids::kStrUnitDay), row));
    if (dayOfWeek != nullptr) {
        dayOfWeek->setMinimumWidth(
            QFontMetrics(dayOfWeek->font()).horizontalAdvance(EditorText(6400)) + 4);
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

namespace {
// The parts of a field label: the name, then the access key and the marks once known.
constexpr const char* kLabelName = "fieldName";
constexpr const char* kLabelTag = "fieldTag";
constexpr const char* kLabelRequired = "fieldRequired";

QString FieldLabelText(const QLabel* label, QChar key) {
    QString text = label->property(kLabelName).toString();
    if (!key.isNull())
        text += QStringLiteral("(&") + key + QLatin1Char(')');
    if (label->property(kLabelRequired).toBool())
        text += QLatin1Char(' ') + EditorText(ids::kStrRequiredMark);
    return text + QStringLiteral(" :");
}

// The access key of a text with '&' ("&&" is a literal ampersand), upper case; null if none.
QChar AccessKeyOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toUpper();
    }
    return {};
}
} // namespace

QLabel* MakeFieldLabel(const char* tag, QWidget* buddy, QWidget* parent, bool required) {
    auto* label = new QLabel(parent);
    label->setProperty(kLabelName, Cp932ToQString(FieldName(MakeTag(tag))));
    label->setProperty(kLabelTag, QString::fromLatin1(tag));
    label->setProperty(kLabelRequired, required);
    label->setText(FieldLabelText(label, {}));
    if (required)
        label->setToolTip(EditorText(ids::kStrRequiredTip));
    label->setBuddy(buddy);
    SetEditFieldName(buddy, label->property(kLabelName).toString());
    return label;
}

void AssignAccessKeys(QWidget* dialog) {
    QSet<QChar> used;
    const QList<QWidget*> all = dialog->findChildren<QWidget*>();
    for (QWidget* w : all) {
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(w))
            text = l->text();
        if (const QChar k = AccessKeyOf(text); !k.isNull())
            used.insert(k);
    }
    for (QWidget* w : all) {
        auto* label = qobject_cast<QLabel*>(w);
        if (label == nullptr || label->buddy() == nullptr ||
            !label->property(kLabelTag).isValid() || !AccessKeyOf(label->text()).isNull())
            continue;
        // A letter of the tag first (NAME: N, TEL1: T), then any free letter or digit.
        const QString candidates = label->property(kLabelTag).toString().toUpper() +
                                   QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ123456789");
        QChar key;
        for (QChar c : candidates) {
            if (c.isLetterOrNumber() && !used.contains(c)) {
                key = c;
                break;
            }
        }
        if (key.isNull())
            continue;
        used.insert(key);
        label->setText(FieldLabelText(label, key));
    }
}

void SetEditLines(QPlainTextEdit* edit, int lines) {
    const QFontMetrics fm(edit->font());
    const int h = fm.lineSpacing() * lines +
                  2 * static_cast<int>(edit->document()->documentMargin()) +
                  2 * edit->frameWidth() + 2;
    edit->setMinimumHeight(h);
    edit->setSizePolicy(edit->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
}

QComboBox* MakeCheckCombo(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->addItems({EditorText(9050), EditorText(9051), EditorText(9052), EditorText(9053)});
    box->setCurrentIndex(0);
    return box;
}

QComboBox* MakeDayOfWeekCombo(QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (int i = 0; i < 7; ++i)
        box->addItem(EditorText(9054 + i));
    box->setCurrentIndex(0);
    return box;
}

} // namespace tessera
