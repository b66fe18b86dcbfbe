#pragma once
// The field family: one class per kind of value a record can hold. A field knows its tag,
// keeps its value in the PC's own form and converts it to and from the exchange text (what
// the record-set text form carries), to the display text (table and captions), and to and
// from a raw value (what the editors read and write).
//
// All texts are code page 932 bytes. Line breaks are CR LF in memory, 0x1F in exchange
// text and one space in display text.

#include "model/FieldNames.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tessera {

class CDiBitmap;

// Raw value of a time field. A part counts only when its bit is set in `flags`.
struct DateTimeValue {
    static constexpr int32_t kYear = 0x01;
    static constexpr int32_t kMonth = 0x02;
    static constexpr int32_t kDay = 0x04;
    static constexpr int32_t kHour = 0x08;
    static constexpr int32_t kMinute = 0x10;

    int32_t flags = 0;
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;

    friend bool operator==(const DateTimeValue&, const DateTimeValue&) = default;
};

// Raw value of a day-of-week field: month 1-12, week of the month 1-5, day 0 (Sunday)-6.
struct DayWeekValue {
    static constexpr int32_t kMonth = 0x01;
    static constexpr int32_t kWeek = 0x02;
    static constexpr int32_t kDayOfWeek = 0x04;
    static constexpr int32_t kAll = kMonth | kWeek | kDayOfWeek;

    int32_t flags = 0;
    int32_t month = 0;
    int32_t week = 0;
    int32_t dayOfWeek = 0;

    friend bool operator==(const DayWeekValue&, const DayWeekValue&) = default;
};

// Which class a field is. None is the empty slot of a tag without a field class.
enum class FieldClass : int {
    None = 0,
    Text,      // CTextField
    SubText,   // CSubTextField
    Flag,      // CFlagField
    Time,      // CTimeField
    DayWeek,   // CDayWeekField
    Check,     // CCheckField
    Ascii,     // CAsciiField
    Binary,    // CBinaryField
    Phonogram, // CPhonogramField
    Image,     // CImageField
};

// A raw value handed to SetValue. Which alternative a class takes:
//   Text, SubText          std::string
//   Flag, Check, Ascii     int32_t
//   Time                   DateTimeValue
//   DayWeek                DayWeekValue
//   Binary                 std::vector<uint8_t>
//   Phonogram              uint16_t (int32_t 0..0xFFFF also taken)
//   Image                  const CDiBitmap* (copied; null is refused)
// Any other alternative is refused (SetValue returns false).
using FieldValue = std::variant<std::string, int32_t, DateTimeValue, DayWeekValue,
                                std::vector<uint8_t>, uint16_t, const CDiBitmap*>;

// A read-only view of a field's raw value; monostate where the field has none (an unset
// time or day-of-week field, an image field without a picture).
using FieldValueRef = std::variant<std::monostate, const std::string*, const int32_t*,
                                   const DateTimeValue*, const DayWeekValue*,
                                   const std::vector<uint8_t>*, const uint16_t*, const CDiBitmap*>;

// The typed pointer held by `ref`, or null when it holds another type or nothing.
template <class T> const T* ValueAs(const FieldValueRef& ref) {
    if (const auto* p = std::get_if<const T*>(&ref))
        return *p;
    return nullptr;
}

class CField {
public:
    // What FormatText's capacity means when the caller has no limit of its own.
    static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

    virtual ~CField() = default;
    CField& operator=(const CField&) = delete;

    FieldTag Tag() const { return m_tag; }
    virtual FieldClass Class() const = 0;

    // Sets the value from an exchange text. False when the text is refused; the field is
    // then empty, except an image field, which keeps its picture.
    virtual bool ParseText(std::string_view text) = 0;

    // Writes the exchange text (display false) or the display text (display true) into
    // `buffer` of `capacity` bytes, terminating zero included. False when the buffer is too
    // small or the value cannot be written; the buffer then holds an empty string.
    bool FormatText(char* buffer, std::size_t capacity, bool display) const;
    // The same into a string (replaced, not appended), with the same capacity rules.
    bool FormatText(std::string& out, bool display, std::size_t capacity = kNoLimit) const;
    // Convenience: the text, or an empty string when it cannot be written.
    std::string Text(bool display) const;

    virtual bool SetValue(const FieldValue& value) = 0;
    virtual FieldValueRef GetValue() const = 0;

    // True when the field holds no value (what a new field holds).
    virtual bool IsEmpty() const = 0;
    // Back to the value of a new field.
    virtual void Clear() = 0;

    virtual std::unique_ptr<CField> Clone() const = 0;

protected:
    // The writer renders values straight into its output.
    friend class CRecordSet;

    explicit CField(FieldTag tag) : m_tag(tag) {}
    CField(const CField&) = default;

    // The smallest capacity the class asks for this value and form (terminator included).
    virtual std::size_t RequiredCapacity(bool display) const = 0;
    // Appends the text of the value to `out`; false when the value cannot be written.
    virtual bool Render(std::string& out, bool display) const = 0;

private:
    FieldTag m_tag;
};

// The bytes of a text-like field, without a std::string per field: either a view of bytes
// kept in the record's own block (how the reader fills a large set: one allocation per record
// instead of one per value), or a string the field owns (after any other change, or once a
// caller asks for the string, which then stays valid as long as the field). The owner keeps
// the view's size; an owned string knows its own.
class FieldBytes {
public:
    FieldBytes() = default;
    FieldBytes(const FieldBytes&) = delete;
    FieldBytes& operator=(const FieldBytes&) = delete;
    ~FieldBytes();

    bool Owns() const { return (m_word.load(std::memory_order_acquire) & kOwned) != 0; }
    std::string_view View(std::uint32_t viewSize) const {
        const std::uintptr_t w = m_word.load(std::memory_order_acquire);
        if (w & kOwned)
            return *reinterpret_cast<const std::string*>(w & ~kOwned);
        if (w == 0)
            return {};
        return {reinterpret_cast<const char*>(w), viewSize};
    }
    // The string; made from the view on first use (safe from several readers at once).
    const std::string& Str(std::uint32_t viewSize) const;
    // The owned string for a new value; made empty (the view dropped) when there is none.
    std::string& Owned();
    // Shows `bytes` (at an even address, or null) of storage that outlives the field; only
    // while the field owns no string.
    void SetView(const char* bytes) {
        m_word.store(reinterpret_cast<std::uintptr_t>(bytes), std::memory_order_relaxed);
    }

private:
    static constexpr std::uintptr_t kOwned = 1; // tag bit of an owned string's address

    mutable std::atomic<std::uintptr_t> m_word{0};
};

// Text: NAME NAPR TEL1 FAX1 OFCE OFPR SCTN PSTN ZIPC ADR1 MEM1 CLAS.
// A text holding a TAB is a report's item list whose 0x1F bytes are separators, so in that
// case (tab mode) ParseText keeps 0x1F instead of turning it into CR LF. The text form has
// no other way to carry a line break, so a text in tab mode also holds each CR LF it is
// given (by ParseText or SetValue) as 0x1F: what the report editor makes of a line break
// inside an item, and what the text would read back as after a save.
class CTextField final : public CField {
public:
    explicit CTextField(FieldTag tag) : CField(tag) {}
    CTextField(const CTextField& other); // copies tag and text; tab mode starts clear

    FieldClass Class() const override { return FieldClass::Text; }
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override;
    FieldValueRef GetValue() const override { return &Value(); }
    bool IsEmpty() const override { return View().empty(); }
    void Clear() override;
    std::unique_ptr<CField> Clone() const override;

    const std::string& Value() const { return m_text.Str(m_meta & kSizeMask); }
    // The text without making a string of it.
    std::string_view View() const { return m_text.View(m_meta & kSizeMask); }
    bool TabMode() const { return (m_meta & kTabBit) != 0; }

protected:
    friend class CRecordSet; // the writer calls Render directly
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;
    // The exchange text written straight to `dst`, which has room for ExchangeBound() bytes;
    // returns the end.
    std::size_t ExchangeBound() const { return View().size(); }
    char* WriteExchange(char* dst) const;

private:
    friend class CDataRecord;
    // ParseText for the reader: the text goes to `space` (at least the value's size plus its
    // 0x1F count plus one bytes), which lives as long as the field; `space` moves past it.
    // `mayHoldControl` false says that no character of the text is below 0x20 (so it holds
    // neither a TAB nor a line break) and it is taken as it is.
    bool ReadInto(std::string_view text, bool mayHoldControl, char*& space);

    static constexpr std::uint32_t kTabBit = 0x80000000u;
    static constexpr std::uint32_t kSizeMask = 0x7FFFFFFFu;

    std::uint32_t m_meta = 0; // size of a view, and the tab mode bit
    FieldBytes m_text;
};

// Remark kept by the device as an embedded memo: RMRK ASCT.
// Exchange text "MEM1:" content 0x1E 0x0C.
class CSubTextField final : public CField {
public:
    explicit CSubTextField(FieldTag tag) : CField(tag) {}
    CSubTextField(const CSubTextField& other);

    FieldClass Class() const override { return FieldClass::SubText; }
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override;
    FieldValueRef GetValue() const override { return &Value(); }
    bool IsEmpty() const override { return View().empty(); }
    void Clear() override;
    std::unique_ptr<CField> Clone() const override;

    const std::string& Value() const { return m_text.Str(m_size); }
    // The text without making a string of it.
    std::string_view View() const { return m_text.View(m_size); }

protected:
    friend class CRecordSet; // the writer calls Render directly
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;
    // As CTextField's.
    std::size_t ExchangeBound() const { return View().size() + 7; }
    char* WriteExchange(char* dst) const;

private:
    friend class CDataRecord;
    // ParseText for the reader, as CTextField::ReadInto.
    bool ReadInto(std::string_view text, char*& space);

    std::uint32_t m_size = 0; // size of a view
    FieldBytes m_text;
};

// Set/clear flag: SCRT ALON. "*" is set, a space clear.
class CFlagField final : public CField {
public:
    explicit CFlagField(FieldTag tag) : CField(tag) {}
    CFlagField(const CFlagField&) = default;

    FieldClass Class() const override { return FieldClass::Flag; }
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override; // 0 or 1
    FieldValueRef GetValue() const override { return &m_value; }
    bool IsEmpty() const override { return m_value == 0; }
    void Clear() override { m_value = 0; }
    std::unique_ptr<CField> Clone() const override;

    int32_t Value() const { return m_value; }

protected:
    friend class CRecordSet; // the writer calls Render directly
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;
    // As CTextField's.
    static constexpr std::size_t kExchangeBound = 1;
    char* WriteExchange(char* dst) const {
        *dst = m_value == 1 ? '*' : ' ';
        return dst + 1;
    }

private:
    int32_t m_value = 0;
};

// Date and time: BRTH TIM1 TIM2 ALRM ANN1 ETDY FNDY LTDY. Only TIM1, TIM2 and ALRM carry
// hour and minute; ANN1 never has a year.
class CTimeField final : public CField {
public:
    explicit CTimeField(FieldTag tag) : CField(tag) {}
    CTimeField(const CTimeField&) = default;

    FieldClass Class() const override { return FieldClass::Time; }
    bool ParseText(std::string_view text) override;
    // Flags 0 unsets the field and returns false. A value the exchange text cannot carry
    // back (a part out of range, no month or day) is refused and the field keeps its value;
    // parts this tag never has (the year of ANN1, the time of a date) are dropped.
    bool SetValue(const FieldValue& value) override;
    FieldValueRef GetValue() const override;
    bool IsEmpty() const override { return !m_set; }
    void Clear() override;
    std::unique_ptr<CField> Clone() const override;

    bool IsSet() const { return m_set; }
    const DateTimeValue& Value() const { return m_value; }
    bool HasTime() const; // TIM1 TIM2 ALRM
    bool HasYear() const; // every tag but ANN1

protected:
    friend class CRecordSet; // the writer calls Render directly
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;
    // As CTextField's (five parts of at most 15 digits and two spaces).
    static constexpr std::size_t kExchangeBound = 80;
    char* WriteExchange(char* dst) const;

private:
    DateTimeValue m_value;
    bool m_set = false;
};

// Month, week of the month and day of week: ANN2.
class CDayWeekField final : public CField {
public:
    explicit CDayWeekField(FieldTag tag) : CField(tag) {}
    CDayWeekField(const CDayWeekField&) = default;

    FieldClass Class() const override { return FieldClass::DayWeek; }
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override;
    FieldValueRef GetValue() const override;
    bool IsEmpty() const override { return !m_set; }
    void Clear() override;
    std::unique_ptr<CField> Clone() const override;

    bool IsSet() const { return m_set; }
    const DayWeekValue& Value() const { return m_value; }

protected:
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;

private:
    DayWeekValue m_value;
    bool m_set = false;
};

// Check mark 0-3: CHK1 CHK2 CHK3 CHK4. Exchange text uses the fixed symbols, display text
// the loaded ones.
class CCheckField final : public CField {
public:
    explicit CCheckField(FieldTag tag);
    CCheckField(const CCheckField&) = default;

    FieldClass Class() const override { return FieldClass::Check; }
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override; // 0..3
    FieldValueRef GetValue() const override { return &m_value; }
    bool IsEmpty() const override { return m_value == 0; }
    void Clear() override { m_value = 0; }
    std::unique_ptr<CField> Clone() const override;

    int32_t Value() const { return m_value; }
    // The fixed exchange symbol of `value` 1-3; empty for any other.
    static constexpr std::string_view ExchangeSymbol(int value) {
        return value >= 1 && value <= 3 ? std::string_view(kExchangeSymbols[value], 2)
                                        : std::string_view();
    }

protected:
    friend class CRecordSet; // the writer calls Render directly
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;
    // As CTextField's; null when the value cannot be written.
    static constexpr std::size_t kExchangeBound = 2;
    char* WriteExchange(char* dst) const {
        if (m_value < 0 || m_value > 3)
            return nullptr;
        if (m_value == 0)
            return dst;
        std::memcpy(dst, kExchangeSymbols[m_value], 2);
        return dst + 2;
    }

private:
    // The fixed symbols of the exchange text: "△" 1, "×" 2, "○" 3.
    static constexpr char kExchangeSymbols[4][2] = {
        {0, 0}, {'\x81', '\xa2'}, {'\x81', '\x7e'}, {'\x81', '\x9b'}};

    int32_t m_value = 0;
};

// Done mark MARK (0/1) and priority PRTY (0-3), exchanged as "0" and a digit. A new field
// holds -1 (no value); it formats to an empty text, which ParseText refuses, so a record
// never gains a value it did not have.
class CAsciiField final : public CField {
public:
    explicit CAsciiField(FieldTag tag);
    CAsciiField(const CAsciiField&) = default;

    FieldClass Class() const override { return FieldClass::Ascii; }
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override;
    FieldValueRef GetValue() const override { return &m_value; }
    bool IsEmpty() const override { return m_value < 0; }
    void Clear() override { m_value = -1; }
    std::unique_ptr<CField> Clone() const override;

    int32_t Value() const { return m_value; }
    int32_t MaxValue() const; // 1 for MARK, 3 for PRTY, -1 for any other tag

protected:
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;

private:
    int32_t m_value = -1;
};

// Print format bytes: PRF1, exchanged as upper-case hexadecimal digit pairs.
class CBinaryField final : public CField {
public:
    explicit CBinaryField(FieldTag tag) : CField(tag) {}
    CBinaryField(const CBinaryField&) = default;

    FieldClass Class() const override { return FieldClass::Binary; }
    // Refuses (and empties) texts of odd length or with a byte that is no hex digit.
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override;
    FieldValueRef GetValue() const override { return &m_bytes; }
    bool IsEmpty() const override { return m_bytes.empty(); }
    void Clear() override { m_bytes.clear(); }
    std::unique_ptr<CField> Clone() const override;

    const std::vector<uint8_t>& Value() const { return m_bytes; }

protected:
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;

private:
    std::vector<uint8_t> m_bytes;
};

// Classification code CLSC: one reading character (lead byte in the high 8 bits), 0 empty.
class CPhonogramField final : public CField {
public:
    explicit CPhonogramField(FieldTag tag) : CField(tag) {}
    CPhonogramField(const CPhonogramField&) = default;

    FieldClass Class() const override { return FieldClass::Phonogram; }
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override;
    FieldValueRef GetValue() const override { return &m_code; }
    bool IsEmpty() const override { return m_code == 0; }
    void Clear() override { m_code = 0; }
    std::unique_ptr<CField> Clone() const override;

    uint16_t Value() const { return m_code; }
    // The codes a classification may hold: full-width space, digits, plain hiragana.
    static bool IsAcceptedCode(uint16_t code);

protected:
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;

private:
    uint16_t m_code = 0;
};

// Handwritten memo picture IMG1. Without a picture (a new field) both texts are empty and
// ParseText("") means "no picture".
class CImageField final : public CField {
public:
    explicit CImageField(FieldTag tag);
    CImageField(const CImageField& other); // duplicates the bitmap
    ~CImageField() override;

    FieldClass Class() const override { return FieldClass::Image; }
    bool ParseText(std::string_view text) override;
    bool SetValue(const FieldValue& value) override;
    FieldValueRef GetValue() const override;
    bool IsEmpty() const override { return !m_bitmap; }
    void Clear() override;
    std::unique_ptr<CField> Clone() const override;

    const CDiBitmap* Bitmap() const { return m_bitmap.get(); }

protected:
    std::size_t RequiredCapacity(bool display) const override;
    bool Render(std::string& out, bool display) const override;

private:
    std::unique_ptr<CDiBitmap> m_bitmap;
};

// The class of a tag's field; None for a tag without a field class (such as SYNC).
FieldClass FieldClassOf(FieldTag tag);
// The class name ("CTextField", ...); "" for None.
const char* FieldClassName(FieldClass fieldClass);
// A new empty field of the tag's class; null for a tag without a field class.
std::unique_ptr<CField> CreateField(FieldTag tag);
// Packs the four bytes of a tag string; 0 (matches no tag) when it is not four bytes long,
// so an unknown longer tag keeps its own text and never passes for a known one.
FieldTag TagCodeOf(std::string_view tag);

// Reloads the display strings of check, priority and done marks from the string table.
// They are loaded once, when the first check or priority field is made; a resource pack
// loaded afterwards calls this.
void ReloadMarkStrings();

// Text entering a field from outside the text form (editors, paste, import, the command
// line) has every line break turned into CR LF: a lone CR would stop the reader, a lone LF
// would come back as a plain byte. (A text field in tab mode then keeps them as 0x1F.)
std::string NormalizeLineBreaks(std::string_view text);

} // namespace tessera
