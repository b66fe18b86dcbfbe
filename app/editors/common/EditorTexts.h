#pragma once
// The editors' texts and messages, and the calendar helpers beside their dates.

#include "model/Calendar.h"
#include "model/Field.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"

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
    kMsgEditNoMemory = ids::kMsgNoMemory,       // メモリ割り当てに失敗しました
    kMsgEditCannotLoad = ids::kMsgNoRecordData, // レコードデータを読み込めませんでした
    kMsgEditRequired = 1040,                    // 必須項目に未入力のものがあります
    kMsgEditBadDate = 1072,                     // 日付指定が無効です。...
    kMsgEditBadInput = ids::kMsgInvalidInput, // 入力されたデータが不正です。確認してください。
    kMsgEditPhoneBusy = ids::kMsgDeviceInUse, // テレフォニーデバイスを使用中です。
    // Texts of our own (built-in words unless a resource pack gives others):
    kMsgEditUnencodable = ids::kMsgEditUnencodable, // a character code page 932 cannot hold
    kMsgEditForbidden = ids::kMsgEditForbidden,     // a TAB, control byte or quote-comma
    kTextEditField = ids::kTextEditField,           // the line naming a field under a message
    kTextEditRoomLeft = ids::kTextEditRoomLeft,     // the bytes left in an edit
};

// A text of the string table (or a resource pack).
QString EditorText(int id);
// The same, else the built-in words (for ids a resource pack may leave out).
QString EditorText(int id, const char* fallbackUtf8);
// Shows message `id` through the current prompter; its text comes from the string table,
// else from `fallbackUtf8`, formatted with `args`.
void ShowEditorMessage(int id, const char* fallbackUtf8, PromptIcon icon,
                       const std::vector<std::string>& args = {});

// The name a message gives a field: its display name, else its tag.
std::string FieldName(FieldTag tag);

// 1073, followed by a line naming the field that refused its value.
void ShowFieldRefused(FieldTag tag);
// 1040, followed by a line naming the required field left empty.
void ShowRequiredMissing(FieldTag tag);

// ---- calendar helpers ----

// DayOfWeek(year, month, day) and AgeOn on plain numbers come from model/Calendar.h.
// The text "(日)" .. "(土)" of a date's day of week.
QString DayOfWeekText(int year, int month, int day);
// Age on `today` of someone born on year/month/day.
int AgeOn(const QDate& today, int year, int month, int day);
// Today, from the editors' clock (tests may fix it).
QDate EditorToday();
QDateTime EditorNow();
void SetEditorClockForTests(std::optional<QDateTime> now);

} // namespace tessera
