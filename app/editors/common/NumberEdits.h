#pragma once
// The number edits with spin buttons, the date edits and the small widgets the editors share.

#include "app/editors/common/TextEdits.h"

namespace tessera {

// ---- number edits with spin buttons ----

// Steps of a spin button held down: after `afterMs` milliseconds each step moves `step`.
struct SpinAccel {
    int afterMs;
    int step;
};
extern const SpinAccel kYearAccel[3];  // 1, 5 after 2 s, 10 after 4 s
extern const SpinAccel kMonthAccel[2]; // 1, 2 after 1 s
extern const SpinAccel kDayAccel[3];   // 1, 2 after 1 s, 5 after 2 s

// A number edit that may be empty: digits only, with spin buttons clamped to a range and
// accelerating while held.
class CSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    CSpinEdit(int minimum, int maximum, std::span<const SpinAccel> accel,
              QWidget* parent = nullptr);

    void SetNumber(int value);
    void Clear();
    bool IsEmptyText() const { return text().isEmpty(); }
    // The number as the editors read it: unsigned, an empty edit counts 0.
    unsigned Unsigned() const;
    // Signed, an empty edit counts -1.
    int Signed() const;
    // The value an empty edit takes when a spin button is pressed.
    void SetEmptyStart(std::function<int()> start) { m_emptyStart = std::move(start); }
    // The step a press makes `elapsedMs` after the button went down.
    int StepAfter(qint64 elapsedMs) const;

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

signals:
    void focusGained();
    void numberChanged();

protected:
    StepEnabled stepEnabled() const override;
    void focusInEvent(QFocusEvent* event) override;

private:
    int m_min;
    int m_max;
    std::vector<SpinAccel> m_accel;
    std::function<int()> m_emptyStart;
    QElapsedTimer m_series;
    QElapsedTimer m_lastStep;
};

// Year, month and day edits of one date, with their spin ranges.
struct DateEdits {
    CSpinEdit* year = nullptr;
    CSpinEdit* month = nullptr;
    CSpinEdit* day = nullptr;

    static DateEdits Create(QWidget* parent, const QString& namePrefix);
    // year / month / day labels laid out in a row.
    QWidget* Row(QWidget* parent, QLabel* dayOfWeek = nullptr) const;
    void Show(const DateTimeValue* value); // the date parts only; empty without a full date
    void Clear();
    void SetToday();
    // Year above 1900 and month and day not zero: the date (flags 7), else no date.
    std::optional<DateTimeValue> Complete() const;
    QString Texts() const; // for change detection
    void SetEnabled(bool on);
};

// A label naming a field ("個人名 :") for `buddy`; a required field's label carries a mark.
// The access key is given later, by AssignAccessKeys.
QLabel* MakeFieldLabel(const char* tag, QWidget* buddy, QWidget* parent, bool required = false);
// Gives every field label under `dialog` without an access key one that no other control
// there uses: a letter of the field's tag where one is free.
void AssignAccessKeys(QWidget* dialog);
// A multi-line edit's height for at least `lines` lines of text; it grows with its dialog.
void SetEditLines(QPlainTextEdit* edit, int lines);

// The check-mark combo ("？", "△", "×", "○").
QComboBox* MakeCheckCombo(QWidget* parent);
// The day-of-week combo ("日" .. "土").
QComboBox* MakeDayOfWeekCombo(QWidget* parent);

} // namespace tessera
