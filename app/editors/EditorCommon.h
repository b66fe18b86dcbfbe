#pragma once
// What every record editor shares: the modal dialog base with its OK/Cancel/Help flow, the
// edits that count their limit in code page 932 bytes, the number edits with spin buttons,
// and the staged writes that put the composed values into a record only once every field
// has accepted its value.

#include <QAbstractSpinBox>
#include <QDate>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QValidator>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/Field.h"
#include "model/Prompter.h"

QT_BEGIN_NAMESPACE
class QComboBox;
class QDialogButtonBox;
class QLabel;
QT_END_NAMESPACE

namespace tessera {

class CAppSettings;
class CDataRecord;

// Message ids the editors show.
enum EditorMessage : int {
    kMsgEditNoMemory = 1036,     // メモリ割り当てに失敗しました
    kMsgEditCannotLoad = 1038,   // レコードデータを読み込めませんでした
    kMsgEditRequired = 1040,     // 必須項目に未入力のものがあります
    kMsgEditBadDate = 1072,      // 日付指定が無効です。...
    kMsgEditBadInput = 1073,     // 入力されたデータが不正です。確認してください。
    kMsgEditPhoneBusy = 5142,    // テレフォニーデバイスを使用中です。
    // Texts of our own (built-in words unless a resource pack gives others):
    kMsgEditUnencodable = 9100,  // a character code page 932 cannot hold (%s field, %s char)
    kMsgEditForbidden = 9101,    // a TAB, control byte or quote-comma (%s field)
    kTextEditField = 9102,       // "項目: %s" line added to 1073
    kTextEditRoomLeft = 9103,    // "あと %d バイト"
};

// A text of the string table (or a resource pack), else the built-in words.
QString EditorText(int id, const char* fallbackUtf8);
// Shows message `id` through the current prompter; its text comes from the string table,
// else from `fallbackUtf8`, formatted with `args`.
void ShowEditorMessage(int id, const char* fallbackUtf8, PromptIcon icon,
                       const std::vector<std::string>& args = {});

// 1073, followed by a line naming the field that refused its value.
void ShowFieldRefused(FieldTag tag);

// ---- calendar helpers ----

// Day of week of a date, 0 = Sunday (the editors' texts beside dates).
int DayOfWeek(int year, int month, int day);
// The text "(日)" .. "(土)" of a date's day of week.
QString DayOfWeekText(int year, int month, int day);
// Age on `today` of someone born on year/month/day.
int AgeOn(const QDate& today, int year, int month, int day);
// Today, from the editors' clock (tests may fix it).
QDate EditorToday();
QDateTime EditorNow();
void SetEditorClockForTests(std::optional<QDateTime> now);

// ---- text edits ----

// Outcome of turning an edit's text into field bytes.
enum class TextCheck {
    Ok,
    Unencodable, // a character code page 932 cannot hold
    Forbidden,   // TAB (unless allowed), a control byte, 0x1A, or a quote directly before a comma
};

// Encodes `text` for a field: line breaks become CR LF, and characters the field cannot carry
// are refused. `bad` receives the refused character.
TextCheck EncodeFieldText(const QString& text, bool allowTab, std::string& out, QString* bad);

// Bytes `text` takes in code page 932 (a line break counted as CR LF).
int Cp932Length(const QString& text);

// Refuses an edit that would make the text longer than the limit in bytes. A loaded text
// that is already longer may still be shortened.
class CByteLimitValidator : public QValidator {
    Q_OBJECT
public:
    CByteLimitValidator(int maxBytes, const QLineEdit* edit);
    State validate(QString& input, int& pos) const override;

private:
    int m_max;
    const QLineEdit* m_edit;
};

// The original bytes of a loaded text and the text shown for them: an edit the user did not
// change gives back exactly the bytes it was loaded with.
class CLoadedText {
public:
    void Load(std::string_view bytes, const QString& shown);
    bool Unchanged(const QString& now) const { return m_loaded && now == m_shown; }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    QString m_shown;
    bool m_loaded = false;
};

// One-line edit limited in code page 932 bytes.
class CByteLineEdit : public QLineEdit {
    Q_OBJECT
public:
    // `maxBytes` 0: no limit.
    CByteLineEdit(int maxBytes, QWidget* parent = nullptr);

    void SetBytes(std::string_view bytes);
    // The bytes to store (the loaded bytes when untouched).
    TextCheck TakeBytes(std::string& out, QString* bad = nullptr) const;
    bool IsTouched() const { return !m_loaded.Unchanged(text()); }
    int MaxBytes() const { return m_max; }
    int RoomLeft() const;

private:
    int m_max;
    CLoadedText m_loaded;
};

// Multi-line edit limited in code page 932 bytes; TAB moves the focus, and the companion
// label (RoomLabel) shows how many bytes are left.
class CByteTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    CByteTextEdit(int maxBytes, QWidget* parent = nullptr);

    void SetBytes(std::string_view bytes);
    TextCheck TakeBytes(std::string& out, bool allowTab = false, QString* bad = nullptr) const;
    bool IsTouched() const { return !m_loaded.Unchanged(toPlainText()); }
    bool IsEmptyText() const { return toPlainText().isEmpty(); }
    int MaxBytes() const { return m_max; }
    void SetMaxBytes(int maxBytes);
    // A soft limit only shows the room left (negative past it) and refuses nothing; the
    // dialog checks the length when the user confirms.
    void SetSoftLimit(bool soft) { m_soft = soft; }
    int RoomLeft() const;
    // A small label kept up to date with the bytes left (null without a limit).
    QLabel* RoomLabel();

signals:
    void roomChanged(int left);

private:
    void OnChanged();
    void UpdateRoom();

    int m_max;
    CLoadedText m_loaded;
    QString m_lastText;
    int m_lastBytes = 0;
    bool m_reverting = false;
    bool m_soft = false;
    QLabel* m_room = nullptr;
};

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
    CSpinEdit(int minimum, int maximum, std::span<const SpinAccel> accel, QWidget* parent = nullptr);

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

// A label naming a field ("個人名 :") for `buddy`.
QLabel* MakeFieldLabel(const char* tag, QWidget* buddy, QWidget* parent);
// A multi-line edit's height for `lines` lines of text.
void SetEditLines(QPlainTextEdit* edit, int lines);

// The check-mark combo ("？", "△", "×", "○").
QComboBox* MakeCheckCombo(QWidget* parent);
// The day-of-week combo ("日" .. "土").
QComboBox* MakeDayOfWeekCombo(QWidget* parent);

// ---- staged writes ----

// The values an editor composes, put into the record only when every field accepts its
// value, so that a refused value never leaves a record half written. An emptied value
// clears its field directly (fields refuse "no value" through SetValue), and every other
// value replaces the field's whole value.
class CFieldWrites {
public:
    void Set(FieldTag tag, FieldValue value);
    void Clear(FieldTag tag);
    void SetText(FieldTag tag, std::string text); // empty clears
    void SetDate(FieldTag tag, const std::optional<DateTimeValue>& value);

    // Tries every value on a scratch field of its tag and checks the record has the field;
    // shows 1073 naming the first field that refuses. False then, and nothing is written.
    bool Check(const CDataRecord& record) const;
    // Check, then write everything.
    bool Apply(CDataRecord& record) const;

    bool Has(FieldTag tag) const;

private:
    struct Write {
        FieldTag tag;
        std::optional<FieldValue> value; // none: clear
    };
    std::vector<Write> m_writes;
};

// Loading helpers: the field of `tag`, null when the record lacks it.
const CField* FieldOf(const CDataRecord& record, FieldTag tag);
// The text of a text or sub-text field; false when the record lacks it.
bool LoadText(const CDataRecord& record, FieldTag tag, std::string& out);
// The integer of a flag, check or ascii field; false when the record lacks it.
bool LoadInt(const CDataRecord& record, FieldTag tag, int32_t& out);
// A time field's value (none when unset); false when the record lacks it.
bool LoadDate(const CDataRecord& record, FieldTag tag, std::optional<DateTimeValue>& out);

// Takes an edit's text into `writes`, or shows why it cannot be stored. `fieldTag` names the
// field in the message.
bool TakeEdit(const CByteLineEdit* edit, FieldTag tag, CFieldWrites& writes);
bool TakeEdit(const CByteTextEdit* edit, FieldTag tag, CFieldWrites& writes);
// Shows the message of a refused text.
void ShowTextRefused(TextCheck check, FieldTag tag, const QString& bad);

// ---- the dialog base ----

class CRecordEditor : public QDialog {
    Q_OBJECT
public:
    CRecordEditor(int dialogId, const CAppSettings& settings, QWidget* parent);
    ~CRecordEditor() override;

    int DialogId() const { return m_dialogId; }
    int ModelCode() const;

    // Fills the controls from a record; 1038 and false when a field cannot be read.
    virtual bool LoadFromRecord(const CDataRecord& record) = 0;
    // The defaults of a new record.
    void SetNewRecord();
    bool IsNewRecord() const { return m_isNew; }

    // Composes the values and writes them into `record`; false (after a message, nothing
    // written) when a value cannot be stored.
    bool StoreIntoRecord(CDataRecord& record);

    // The record OK stores into (null: OK only checks the input).
    void SetTarget(CDataRecord* record) { m_target = record; }

    // OK: the checks of the editor, then the store into the target; stays open on failure.
    void accept() override;
    void reject() override;

protected:
    const CAppSettings& Settings() const { return m_settings; }
    virtual void InitNewRecord() {}
    // The checks of OK, with their messages; false keeps the dialog open.
    virtual bool Validate() = 0;
    // The values to write.
    virtual bool Compose(CFieldWrites& writes) = 0;
    // False keeps the dialog open (a call still going).
    virtual bool CanClose() { return true; }

    // OK, Cancel and Help buttons wired to this dialog.
    QDialogButtonBox* MakeButtons();
    // Reports a load failure.
    bool LoadFailed();

private:
    int m_dialogId;
    const CAppSettings& m_settings;
    CDataRecord* m_target = nullptr;
    bool m_isNew = false;
};

} // namespace tessera
