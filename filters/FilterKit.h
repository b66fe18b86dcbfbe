#pragma once
// What every bundled filter program shares: the command line of the filter interface, the
// exit codes, reading the record-set text form from standard input and writing it to
// standard output, and the exchange values in UTF-8.

#include "model/RecordSet.h"
#include "text/StringTable.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessera::filters {

// Exit codes of the filter interface.
enum FilterExit : int {
    kExitOk = 0,
    kExitVersion = 1,   // -V is not 1
    kExitOption = 2,    // unknown or missing option
    kExitType = 3,      // a record kind this filter does not handle
    kExitNoInput = 10,  // import: the foreign file does not exist
    kExitBadInput = 11, // import: the foreign file is malformed
    kExitImport = 19,   // import: something the records cannot hold, or output failed
    kExitCreate = 20,   // export: the target cannot be created
    kExitDiskFull = 21, // export: no space left
    kExitExport = 29,   // export: the records cannot be written in the foreign format
};

// String-table texts of the notes' places ("%d" the number, "%s" the note).
enum NoteTextId : int {
    kNoteRecord = 9260,
    kNoteLine = 9261,
    kNoteReplaced = 9262,    // %d characters without a code became 〓
    kNoteKeptInMemo = 9263,  // %s kept in the remark as a labelled line
    kNoteLeftOut = 9264,     // %s (binary data) left out
    kNoteNearestDate = 9265, // %s does not exist: %s written, the exact value in %s
    kNoteDefaultPriority = 9266,
    kNoteNoName = 9268,          // no name: FN carries %s
    kNoteUnknownEncoding = 9269, // %s: encoding %s not read, left out
    kNoteUnknownCharset = 9270,  // %s: character set %s unknown, read as UTF-8
    kNoteCp932File = 9271,       // the file was read as Shift_JIS (code page 932)
    kNoteBadValueInMemo = 9272,  // %s value %s could not be read, kept in the remark
};

// A refusal with the exit code to end with and a line for standard error.
struct Failure {
    int code = kExitOk;
    std::string message; // UTF-8
};

struct FilterArgs {
    bool import = false; // -I
    std::string path;    // the foreign file
    int kind = 0;        // -T, export only
};

// Reads the argument vector (without the program name). Failure codes: 2 for an unknown,
// repeated or missing option, 1 for a version other than 1, 3 for a -T that is no kind.
bool ParseFilterArgs(const std::vector<std::string>& args, FilterArgs& out, Failure& failure);

// One foreign format: which kinds it takes, and the two conversions. Export gets a set of
// the kind's own tag list; import fills an empty set.
struct FormatOps {
    const char* name = "";
    std::function<bool(int kind)> handlesKind;
    std::function<bool(const CRecordSet& set, std::string& out, Failure& failure)> exportSet;
    std::function<bool(std::string_view in, CRecordSet& set, Failure& failure)> importSet;
    // True when importSet reads other encodings than UTF-8 itself (a Shift_JIS file, a
    // CHARSET parameter); otherwise a file that is not UTF-8 is refused before it.
    bool decodesBytes = false;
};

// The whole program: arguments, standard input or the foreign file, the conversion, the
// foreign file or standard output. Returns the exit code; messages go to standard error.
int RunFilter(int argc, char** argv, const FormatOps& ops);

// ---- pieces shared by the formats (all texts UTF-8 unless named otherwise) ----

// Reads a text form (code page 932) into `set`. Any question or warning of the reader
// counts as a refusal, so no value is emptied or record dropped on the way.
bool ReadTextForm(std::string_view bytes, CRecordSet& set, Failure& failure);
// A set of `kind` holding the records of `from` rebuilt on the kind's own tag list.
std::unique_ptr<CRecordSet> OnKindTags(CRecordSet& from, int kind, Failure& failure);

std::string ToUtf8(std::string_view cp932);
// UTF-8 to code page 932. Characters other programs type for one code page 932 holds under
// another code point (〜 U+301C, − U+2212, ‖ U+2016, ¢ £ ¬, — U+2014) are folded to it; a
// character with no code at all becomes 〓 and is counted in ReplacedCharacters(). False
// (with 11) only for bytes that are not UTF-8.
bool FromUtf8(std::string_view utf8, std::string& cp932, Failure& failure);
// How many characters FromUtf8 has replaced by 〓 in this process.
int ReplacedCharacters();

// True when `bytes` is well-formed UTF-8.
bool IsUtf8(std::string_view bytes);
// `bytes` in the character set `charset` (a MIME / IANA name) as UTF-8. Shift_JIS and its
// Windows form go through code page 932's own table, others through iconv(3). False when
// the character set is unknown or the bytes are not in it.
bool CharsetToUtf8(std::string_view bytes, std::string_view charset, std::string& utf8);

// Days in `month` of `year` (a year of 0: any year, so February has 29).
int DaysInMonth(int year, int month);

// The exchange text of field `index` in UTF-8, its 0x1F line breaks as CR LF.
std::string ExchangeUtf8(const CDataRecord& record, int index);
// Parses a UTF-8 exchange text (line breaks CR LF, LF or 0x1F) into field `index`. False
// with 19 (character) or 11 (value refused) and a message naming record and tag.
bool ParseExchangeUtf8(CDataRecord& record, int index, std::string_view utf8, int recordNo,
                       const std::string& tag, Failure& failure);

// The value a CSV cell and the X- properties carry: the exchange text, but a flag is "*"
// or empty, dates lose their padding, and a remark is its plain text.
std::string CellText(const CDataRecord& record, int index);
// Reads a cell back; an empty cell leaves the field as a new field has it.
bool ParseCellText(CDataRecord& record, int index, std::string_view utf8, int recordNo,
                   const std::string& tag, Failure& failure);

// ---- identities ----

// The UID of a record in vCard and iCalendar output: made from the record's kind and its
// exchange texts alone, so an unchanged record keeps its UID across exports whatever its
// position, and a changed one gets a new one. `seen` counts the UIDs handed out in one file:
// a second identical record gets "-2", a third "-3". Every UID ends in kUidSuffix, which is
// how resources this program made are told from those that others made.
inline constexpr std::string_view kUidSuffix = "@tessera.invalid";
std::string ContentUid(const CDataRecord& record, int kind, std::map<std::string, int>& seen);

// ---- notes to the user ----

// What a run tells the user about single records while it goes on: a value it adjusted, a
// property it kept in the memo text, a component it left out. The host shows them after the
// run (in a message box's details, or on the command line's standard error). Each note is one
// UTF-8 line "<where>: <text>" in the user's language; the texts come from the string table.
class Notes {
public:
    // "レコード N: text" (N counts records from 1 as the host numbers them).
    void Record(int recordNo, std::string_view text);
    // "N 行目: text" for a line of the foreign file.
    void Line(int lineNo, std::string_view text);
    // A note about the whole file.
    void General(std::string_view text);

    const std::vector<std::string>& Lines() const { return m_lines; }
    void Clear() { m_lines.clear(); }

private:
    std::vector<std::string> m_lines;
};

// The notes of this run. RunFilter writes them to standard error, one a line, before it
// ends (after a failure too, so the user sees what was found before it).
Notes& RunNotes();

// The string-table text `id` formatted with `args`, in UTF-8.
std::string NoteText(int id, const std::vector<FormatArg>& args = {});

// Line breaks: CR LF / LF / CR all become `to`.
std::string NormalizeBreaks(std::string_view text, std::string_view to);

} // namespace tessera::filters
