#pragma once
// Byte-level pieces of the record-set text form: the tokenizer that the reader runs over a
// byte buffer, and the value quoting rules of the writer. Both work on code page 932 bytes.
//
// The form: "i" line of quoted tags, "T" line of quoted titles, one "D" line per record of
// quoted exchange texts (a bare comma for an empty one), CR LF line ends, a final 0x1A.
// Quotes inside values are not escaped, so the writer refuses the few values that the
// tokenizer would read back differently (CheckValue).

#include "text/Cp932Text.h" // IsLeadByte

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class CCodeMap;

// The reader's work buffer for one value, terminator included.
inline constexpr std::size_t kReadValueCapacity = 32768;
// The writer's work buffer for one formatted field, terminator included.
inline constexpr std::size_t kWriteValueCapacity = 65536;

inline constexpr char kTextEnd = 0x1A;
inline constexpr char kExchangeLineBreak = 0x1F;

// Where the tokenizer stands after a value.
enum class LineState : int {
    BadBreak = -1, // a CR inside a quoted value
    InLine = 0,
    EndOfLine = 1,
};

// A value as the reader takes it: its bytes, and whether a character below 0x20 may be
// among them (see CTextTokenizer::ValueMayHoldControl).
struct ReadValue {
    std::string_view text;
    bool mayHoldControl;
};

// Splits a text form into values, one at a time. Never reads outside [text, text + size):
// the buffer's end counts as the end of input, like a 0x1A or a zero byte.
class CTextTokenizer {
public:
    // `map` converts every double-byte character; null passes them unchanged.
    CTextTokenizer(const char* text, std::size_t size, const CCodeMap* map);
    // A tokenizer for another stretch of the same text (or of one read with the same map),
    // taking the tables `other` has learnt instead of asking the map again.
    CTextTokenizer(const CTextTokenizer& other, const char* text, std::size_t size);
    CTextTokenizer(const CTextTokenizer&) = delete;
    CTextTokenizer& operator=(const CTextTokenizer&) = delete;

    enum class Status {
        Value,     // a value was read; input goes on
        LastValue, // a value was read and the input ends after it
        Overflow,  // the value does not fit the work buffer; nothing more can be read
    };
    Status Next();
    // Next() for the rest of the current line while its values are the input itself, as
    // they nearly always are: appends them to `values` (views of the input) and returns true
    // once it has read the line's last value, as Next() would have with Value and EndOfLine.
    // Stops before the first value that it cannot take so and returns false; Next() goes on
    // from there. Value() shows the last value it read.
    bool NextInLine(std::vector<ReadValue>& values);

    // The value read by the last Next() (for Overflow, its first kReadValueCapacity - 1 bytes).
    std::string_view Value() const {
        return std::string_view(m_inPlace ? m_valueBegin : m_value, m_length);
    }
    // True when Value() shows the input itself (nothing in it was mapped to other bytes): it
    // then stays valid after the next Next(), as long as the input does.
    bool ValueInPlace() const { return m_inPlace; }
    // False when no character of Value() is a byte below 0x20 (TAB, 0x1F and the like; bytes
    // inside a double-byte character do not count); true when one may be.
    bool ValueMayHoldControl() const { return m_control; }
    LineState State() const { return m_state; }
    void ResetLineState() { m_state = LineState::InLine; }
    // Offset of the next unread byte.
    std::size_t Offset() const { return static_cast<std::size_t>(m_pos - m_begin); }
    // Goes on from `offset` (at most the size), which must be where a line starts, as if
    // the text before it had been read to there.
    void SeekLine(std::size_t offset);

    // Texts at least this long first learn which codes the map leaves as they are, so that
    // the common character is copied without a call.
    static constexpr std::size_t kIdentityTableThreshold = 64 * 1024;

private:
    // The whole rule set, one byte class at a time, copying into m_value where the map changes
    // a character. Next() leaves every value that is not a plain quoted one to it.
    Status NextInFull();
    // One value by the quick pass, from `begin`: false when the full rules must read it.
    struct Quick {
        const unsigned char* value; // its first byte
        std::size_t length;
        const unsigned char* next; // where the next value starts
        bool control;
        bool lineEnd;
    };
    bool QuickValue(const unsigned char* begin, Quick& q) const;
    // QuickValue's work on many bytes at once: a value found, one for the full rules, or
    // the rest (from `p`) for the byte walk.
    enum class Wide { Found, Full, Walk };
    Wide WideValue(const unsigned char* begin, Quick& q, const unsigned char*& p,
                   bool& control) const;
    void TakeQuick(const Quick& q);
    bool Append(const char* bytes, std::size_t count);
    bool Unchanged(unsigned char lead, unsigned char trail) const {
        const unsigned code = (static_cast<unsigned>(lead) << 8) | trail;
        return (m_unchanged[(code >> 6) & 0x1FF] >> (code & 63)) & 1u;
    }

    const unsigned char* m_begin;
    const unsigned char* m_pos;
    const unsigned char* m_end;
    const CCodeMap* m_map;
    LineState m_state = LineState::InLine;
    bool m_ended = false;
    bool m_fastPairs = false; // double-byte characters found in m_unchanged are copied
    std::size_t m_length = 0;
    // Until a mapped character changes its bytes, the value is the input from m_valueBegin
    // and nothing is copied.
    bool m_inPlace = false;
    const char* m_valueBegin = nullptr;
    bool m_control = true;
    // One bit per code 0x8000-0xFFFF: set when the map gives the code back unchanged.
    std::uint64_t m_unchanged[512] = {};
    // What Next() does with each byte inside quotes (see TextForm.cpp).
    unsigned char m_quickClass[256];
    // The lead bytes of characters the map may change (QCheck), for the wide pass.
    static constexpr int kMaxCheckLeads = 16;
    // Each lead byte sixteen times over: what the wide pass compares with.
    alignas(16) unsigned char m_checkLeads[kMaxCheckLeads][16] = {};
    int m_checkLeadCount = 0;
    bool m_wide = false;
    char m_value[kReadValueCapacity];
};

// Why a value cannot be written so that the reader gives it back unchanged.
enum class ValueProblem {
    None,
    EndMark,        // holds a zero byte or 0x1A: the reader would stop there
    BareCR,         // holds a CR: the reader stops the whole read at it
    QuoteSeparator, // a quote directly followed by a comma or a CR would end the value early
    SplitCharacter, // ends with the first byte of a double-byte character, which would
                    // swallow the closing quote
    TooLong,        // longer than the reader's work buffer
};
ValueProblem CheckValue(std::string_view value);

// Appends one value as the writer puts it: a comma, then nothing more for an empty value,
// else a quote, the value with circled numbers 0x8740-0x8753 rewritten to 0xED40-0xED53, and a
// quote. The caller has checked the value with CheckValue.
void AppendValue(std::string& out, std::string_view value);
// AppendValue for a value that passes CheckValue, in one pass; false (and `out` as it was)
// for one that does not.
bool AppendCheckedValue(std::string& out, std::string_view value);
// The same check for a value already appended to `out` after its comma and opening quote,
// starting at `start`: closes the value in place (an empty one loses its quote and stays a
// bare comma) and returns true, or returns false and leaves `out` for the caller to cut back.
bool CloseAppendedValue(std::string& out, std::size_t start);
// Where one value of a line lies in the writer's output: its first byte (after the opening
// quote) and its size (the closing quote follows).
struct WrittenValue {
    std::size_t start;
    std::size_t size;
};
// CloseAppendedValue's check for the non-empty values of several record lines at once, each
// already between its quotes in `text`. [regionStart, regionEnd) holds `lines` whole record
// lines, each a CR LF, the quoted "D" and its values (each a comma, or a comma and the
// quoted value); `quoted` of the values are not empty, and values[0..count) are those of
// them that can hold what the check looks for (the writer leaves out fields whose text is
// made of fixed bytes only: marks, flags, dates). text[regionEnd] must be readable, and so
// must the eight bytes that end each value (a line's first value starts seven bytes into
// it). Mends circled numbers in place; false when a value would not read back. Lines whose
// bytes need no character walk (the usual case) are looked at in one pass of simple byte
// tests, which the compiler can do many bytes at a time, instead of value by value.
bool CheckWrittenLines(char* text, std::size_t regionStart, std::size_t regionEnd,
                       std::size_t lines, std::size_t quoted, const WrittenValue* values,
                       std::size_t count);
// Appends a quote, the value (circled numbers rewritten) and a quote, also when it is empty:
// how tags and titles are written.
void AppendQuoted(std::string& out, std::string_view value);

// Rewrites circled numbers in place as the writer does (lead byte 0x87 -> 0xED for trail
// bytes 0x40-0x53), stepping over double-byte characters.
void RewriteCircledNumbers(std::string& value);

} // namespace tessera
