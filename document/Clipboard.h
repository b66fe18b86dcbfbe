#pragma once
// Records on the system clipboard. A copy puts the record-set text form there twice: as
// Unicode text, which any program can take, and as its exact code page 932 bytes under a
// type of our own, which a paste prefers so that nothing is lost on the way. Text that
// other programs put there is made fit for the reader first: line breaks become CR LF and
// the text is encoded to code page 932, refusing what it cannot carry.

#include "model/FieldLimits.h"
#include "resources/StringIds.h"

#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class CCodeMap;
class CDataRecord;
class CRecordSet;

// Our own clipboard type: the text form's bytes, code page 932, with the end mark.
inline constexpr const char* kRecordMimeType = "application/x-tessera-records";

// Messages of the clipboard that the string table holds under our own ids.
enum ClipboardMessage : int {
    kMsgClipboardOpen = 1035, // クリップボードがオープンできません
    kMsgClipboardKind = ids::kMsgKindMismatch, // クリップボードのデータ型が一致しません
    kMsgClipboardBadChar = 61720,              // a character code page 932 cannot hold (%s: U+XXXX)
    kMsgClipboardControl = 61721, // a control byte the text form cannot carry (%s: 0xNN)
};

// Puts `text` (code page 932 text form) on the clipboard. False when there is no clipboard
// to put it on. The plain text for other programs has the device's characters mapped through
// `map` (the built-in map when null), so a circled number arrives as ① and not as the
// device code the text form carries; our own type keeps the exact bytes.
bool PutRecordText(const std::string& text, const CCodeMap* map = nullptr);

// True when `text` (code page 932, as TakeRecordText gives it) is a table of TAB-separated
// cells, as spreadsheets copy it, and not a record-set text form.
bool IsTabTable(std::string_view text);

// Makes records of `set`'s tags from a TAB-separated table: one record per row, the cells in
// the table's column order; a first row of the column titles is left out. A cell a field
// refuses stops it with message 9481 (row, column, value, field), a row with more cells than
// columns with 1031. A text longer than its field's byte limit keeps what fits (9476 says
// how much was cut). `records` receives the new records (not yet in the set).
bool ReadTabTable(std::string_view text, const CRecordSet& set,
                  std::vector<std::unique_ptr<CDataRecord>>& records);

// Message 9476 (how many values a paste cut to their field limits, and how many bytes)
// when `cut` holds any.
void ShowLimitCut(const LimitCut& cut);

// The text form with every device character mapped as a read would map it.
std::string MapDeviceCharacters(std::string_view text, const CCodeMap& map);

// True when the clipboard holds our records or any text.
bool ClipboardHasRecordText();

enum class ClipboardText {
    None, // nothing usable: no clipboard, or no text on it
    Ok,
    Refused, // text that cannot be taken; the message has been shown
};

// The clipboard's records as code page 932 bytes ending in the end mark 0x1A.
ClipboardText TakeRecordText(std::string& out);

// The rules for text from other programs, apart from the clipboard itself. `badText`
// receives what to name in the refusal (U+XXXX or 0xNN) and `message` its id.
bool RecordTextFromUnicode(const QString& text, std::string& out, std::string* badText = nullptr,
                           int* message = nullptr);
// Checks bytes of our own type: at most one end mark, at the end; no NUL. Adds the end
// mark when it is missing.
bool RecordTextFromBytes(std::string bytes, std::string& out, std::string* badText = nullptr);

} // namespace tessera
