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
    kMsgEditUnencodable = 9100, // a character code page 932 cannot hold (%s field, %s char)
    kMsgEditForbidden = 9101,   // a TAB, control byte or quote-comma (%s field)
    kTextEditField = 9102,      // "項目: %s" line added to 1073
    kTextEditRoomLeft = 9103,   // "あと %d バイト"
};

// A text of the string table (or a resource pack), else the built-in words.
QString EditorText(int id, const char* fallbackUtf8);
// Shows message `id` through the current prompter; its text comes from the string table,
// else from `fallbackUtf8`, formatted with `args`.
void ShowEditorMessage(int id, const char* fallbackUtf8, PromptIcon icon,
                       const std::vector<std::string>& args = {});

// The name a message gives a field: its display name, else its tag.
std::string FieldName(FieldTag tag);

// 1073, followed by a line naming the field that refused its value.
void ShowFieldRefused(FieldTag tag);

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
