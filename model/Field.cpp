// The field base, the text-like fields, flags, the tag-to-class table and shared helpers.

#include "model/Field.h"

#include "model/FieldInternal.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"

#include <bit>
#include <cstring>
#include <new>

namespace tessera {

using fieldimpl::Tag4;

namespace fieldimpl {

char* WriteZeroPadded(char* dst, int value, int digits) {
    // Right to left into a small buffer, then one copy.
    char buf[32];
    char* end = buf + sizeof buf;
    char* p = end;
    int n = 0;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
        ++n;
    } while (value > 0 && n < 15);
    for (; n < digits && p > buf; ++n)
        *--p = '0';
    const auto size = static_cast<std::size_t>(end - p);
    std::memcpy(dst, p, size);
    return dst + size;
}

void AppendZeroPadded(std::string& out, int value, int digits) {
    char buf[32];
    out.append(buf, static_cast<std::size_t>(WriteZeroPadded(buf, value, digits) - buf));
}

namespace {

// Copies n bytes that hold no CR (the common text) with a few loads and stores instead of a
// search and a copy call; false (dst then holds some of them) when a CR is among them.
bool CopyWithoutCR(char* dst, const char* src, std::size_t n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    auto hasCR = [](std::uint64_t x) {
        const std::uint64_t v = x ^ (kOnes * '\r');
        return ((v - kOnes) & ~v & kHigh) != 0;
    };
    if (n >= 8) {
        // Whole words, the last one ending exactly at the end (it may overlap the one before).
        std::uint64_t found = 0;
        std::size_t i = 0;
        for (; i + 8 < n; i += 8) {
            std::uint64_t x;
            std::memcpy(&x, src + i, 8);
            found |= hasCR(x);
            std::memcpy(dst + i, &x, 8);
        }
        std::uint64_t x;
        std::memcpy(&x, src + n - 8, 8);
        std::memcpy(dst + n - 8, &x, 8);
        return !(found | hasCR(x));
    }
    if (n >= 4) {
        std::uint32_t a;
        std::uint32_t b;
        std::memcpy(&a, src, 4);
        std::memcpy(&b, src + n - 4, 4);
        std::memcpy(dst, &a, 4);
        std::memcpy(dst + n - 4, &b, 4);
        return !hasCR((std::uint64_t{a} << 32) | b);
    }
    bool cr = false;
    for (std::size_t i = 0; i < n; ++i) {
        dst[i] = src[i];
        cr |= src[i] == '\r';
    }
    return !cr;
}

} // namespace

char* WriteWithBreaks(char* dst, std::string_view text, char lineBreak) {
    if (CopyWithoutCR(dst, text.data(), text.size()))
        return dst + text.size();
    // Eight bytes at a time up to each CR, one byte at a time at it and at the end. CR and
    // LF never occur as trail bytes. The output is never ahead of the input, so a whole word
    // written while eight input bytes remain stays inside the room for the text.
    const char* src = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        if constexpr (std::endian::native == std::endian::little) {
            if (n - i >= 8) {
                constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
                std::uint64_t x;
                std::memcpy(&x, src + i, 8);
                const std::uint64_t v = x ^ (kOnes * '\r');
                // The lowest marked lane is the first CR exactly.
                const std::uint64_t cr = (v - kOnes) & ~v & (kOnes * 0x80);
                std::memcpy(dst, &x, 8);
                const std::size_t take =
                    cr == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(cr)) / 8;
                dst += take;
                i += take;
                if (cr == 0)
                    continue;
            }
        }
        const char c = src[i];
        if (c != '\r') {
            *dst++ = c;
            ++i;
        } else if (i + 1 < n && src[i + 1] == '\n') {
            *dst++ = lineBreak;
            i += 2;
        } else {
            *dst++ = '\r'; // a lone CR is copied; the writer decides what to do with it
            ++i;
        }
    }
    return dst;
}

void AppendWithBreaks(std::string& out, std::string_view text, char lineBreak) {
    // The result is never longer than the text.
    const std::size_t old = out.size();
    out.resize(old + text.size());
    char* end = WriteWithBreaks(out.data() + old, text, lineBreak);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

void ReportNoMemory() {
    ShowMessage(ids::kMsgNoMemory, PromptIcon::Stop, PromptButtons::Ok);
}

} // namespace fieldimpl

// ---- CField ----

bool CField::FormatText(std::string& out, bool display, std::size_t capacity) const {
    out.clear();
    if (capacity < RequiredCapacity(display))
        return false;
    try {
        if (!Render(out, display)) {
            out.clear();
            return false;
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    if (out.size() >= capacity) {
        out.clear();
        return false;
    }
    return true;
}

bool CField::FormatText(char* buffer, std::size_t capacity, bool display) const {
    if (buffer == nullptr || capacity == 0)
        return false;
    thread_local std::string scratch;
    const bool ok = FormatText(scratch, display, capacity);
    if (!ok) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, scratch.data(), scratch.size());
    buffer[scratch.size()] = '\0';
    return true;
}

std::string CField::Text(bool display) const {
    std::string out;
    FormatText(out, display, kNoLimit);
    return out;
}

// ---- FieldBytes ----

FieldBytes::~FieldBytes() {
    const std::uintptr_t w = m_word.load(std::memory_order_acquire);
    if (w & kOwned)
        delete reinterpret_cast<std::string*>(w & ~kOwned);
}

const std::string& FieldBytes::Str(std::uint32_t viewSize) const {
    std::uintptr_t w = m_word.load(std::memory_order_acquire);
    if (!(w & kOwned)) {
        auto* made = w == 0 ? new std::string()
                            : new std::string(reinterpret_cast<const char*>(w), viewSize);
        const std::uintptr_t mine = reinterpret_cast<std::uintptr_t>(made) | kOwned;
        if (m_word.compare_exchange_strong(w, mine, std::memory_order_acq_rel,
                                           std::memory_order_acquire))
            w = mine;
        else
            delete made; // another reader made it first; `w` holds theirs
    }
    return *reinterpret_cast<const std::string*>(w & ~kOwned);
}

std::string& FieldBytes::Owned() {
    std::uintptr_t w = m_word.load(std::memory_order_relaxed);
    if (!(w & kOwned)) {
        auto* made = new std::string();
        w = reinterpret_cast<std::uintptr_t>(made) | kOwned;
        m_word.store(w, std::memory_order_release);
    }
    return *reinterpret_cast<std::string*>(w & ~kOwned);
}

namespace {

// Fields of a record share one block, so every byte of these counts for a large set.
static_assert(sizeof(void*) != 8 || sizeof(CTextField) <= 24);
static_assert(sizeof(void*) != 8 || sizeof(CSubTextField) <= 24);

constexpr char kSeparator = '\x1f';

// Whether p[at] begins a character: the lead-range bytes just before it pair up from the
// first of them, since the byte before that run always ends a character.
bool IsCharStart(const char* p, std::size_t at) {
    std::size_t run = 0;
    while (run < at && fieldimpl::IsLeadByte(static_cast<unsigned char>(p[at - 1 - run])))
        ++run;
    return run % 2 == 0;
}

// Whether the text holds a TAB character (a TAB byte that is no trail byte).
bool HoldsTab(std::string_view text) {
    const char* p = text.data();
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const void* hit = std::memchr(p + i, '\t', n - i);
        if (hit == nullptr)
            return false;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - p);
        if (IsCharStart(p, at))
            return true;
        i = at + 1;
    }
    return false;
}

// Calls run(from, to) for each stretch of `text` between separator characters (0x1F bytes
// that are no trail bytes) and sep() for each separator. `all` takes every 0x1F byte.
template <class Run, class Sep>
void SplitAtSeparators(std::string_view text, bool all, Run run, Sep sep) {
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t from = 0;
    std::size_t i = 0;
    while (i < n) {
        const void* hit = std::memchr(p + i, kSeparator, n - i);
        if (hit == nullptr)
            break;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - p);
        i = at + 1;
        if (!all && !IsCharStart(p, at))
            continue; // the second byte of a character
        run(from, at);
        sep();
        from = at + 1;
    }
    run(from, n);
}

std::size_t CountSeparators(std::string_view text, bool all) {
    std::size_t count = 0;
    SplitAtSeparators(
        text, all, [](std::size_t, std::size_t) {}, [&count] { ++count; });
    return count;
}

// Writes `text` to `dst` with each separator turned into CR LF; returns the bytes written
// (the text's size plus CountSeparators).
std::size_t ExpandSeparators(std::string_view text, bool all, char* dst) {
    char* o = dst;
    SplitAtSeparators(
        text, all,
        [&](std::size_t from, std::size_t to) {
            if (to > from)
                std::memcpy(o, text.data() + from, to - from);
            o += to - from;
        },
        [&] {
            *o++ = '\r';
            *o++ = '\n';
        });
    return static_cast<std::size_t>(o - dst);
}

// The owned string becomes `text` with its separators turned into CR LF.
void AssignExpanded(std::string& s, std::string_view text, bool all) {
    const std::size_t separators = CountSeparators(text, all);
    if (separators == 0) {
        s.assign(text);
        return;
    }
    s.resize(text.size() + separators);
    ExpandSeparators(text, all, s.data());
}

// The stored form of a text in tab mode. Its 0x1F bytes stay as they are when it is read
// back from the text form, so a CR LF, which goes out as 0x1F like in any text, would come
// back as a separator: in tab mode each CR LF is kept as 0x1F from the start, the way the
// report editor writes the line breaks of an item. The text then reads back as it was.
void AssignTabText(std::string& s, std::string_view text) {
    if (text.find("\r\n") == std::string_view::npos) {
        s.assign(text);
        return;
    }
    std::string out;
    out.reserve(text.size());
    fieldimpl::AppendWithBreaks(out, text, kSeparator);
    s = std::move(out);
}

// Room taken in a record's block: an even address (odd addresses mark owned strings).
char* AlignSpace(char*& space) {
    if (reinterpret_cast<std::uintptr_t>(space) & 1)
        ++space;
    return space;
}

} // namespace

// ---- CTextField ----

CTextField::CTextField(const CTextField& other) : CField(other) {
    const std::string_view text = other.View();
    if (!text.empty())
        m_text.Owned().assign(text);
}

bool CTextField::ParseText(std::string_view text) {
    if (text.empty()) {
        Clear();
        return true;
    }
    try {
        const bool tabMode = HoldsTab(text);
        std::string& s = m_text.Owned();
        if (tabMode)
            AssignTabText(s, text); // a report's items keep their 0x1F separators
        else
            AssignExpanded(s, text, false);
        m_meta = tabMode ? kTabBit : 0;
    } catch (const std::bad_alloc&) {
        fieldimpl::ReportNoMemory();
        Clear();
        return false;
    }
    return true;
}

bool CTextField::ReadInto(std::string_view text, bool mayHoldControl, char*& space) {
    if (m_text.Owns())
        return ParseText(text);
    if (text.empty()) {
        Clear();
        return true;
    }
    char* at = AlignSpace(space);
    std::size_t n = text.size();
    if (!mayHoldControl || !fieldimpl::HasControlByte(text.data(), n)) { // no TAB, no separator
        std::memcpy(at, text.data(), n);
        m_text.SetView(at);
        m_meta = static_cast<std::uint32_t>(n);
        space = at + n;
        return true;
    }
    const bool tabMode = HoldsTab(text);
    if (tabMode)
        std::memcpy(at, text.data(), n);
    else
        n = ExpandSeparators(text, false, at);
    m_text.SetView(at);
    m_meta = static_cast<std::uint32_t>(n) | (tabMode ? kTabBit : 0);
    space = at + n;
    return true;
}

bool CTextField::SetValue(const FieldValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr)
        return false;
    const bool tabMode = HoldsTab(*text);
    if (tabMode)
        AssignTabText(m_text.Owned(), *text);
    else
        m_text.Owned() = *text;
    m_meta = tabMode ? kTabBit : 0;
    return true;
}

void CTextField::Clear() {
    if (m_text.Owns())
        m_text.Owned().clear();
    else
        m_text.SetView(nullptr);
    m_meta = 0;
}

std::unique_ptr<CField> CTextField::Clone() const {
    return std::make_unique<CTextField>(*this);
}

std::size_t CTextField::RequiredCapacity(bool) const {
    return View().size() + 1;
}

bool CTextField::Render(std::string& out, bool display) const {
    fieldimpl::AppendWithBreaks(out, View(), display ? ' ' : '\x1f');
    return true;
}

char* CTextField::WriteExchange(char* dst) const {
    return fieldimpl::WriteWithBreaks(dst, View(), kSeparator);
}

// ---- CSubTextField ----

namespace {
constexpr std::string_view kSubTextPrefix = "MEM1:";

// The content of a sub-text exchange text; false when the text is not one.
bool SubTextContent(std::string_view text, std::string_view& content) {
    if (text.substr(0, kSubTextPrefix.size()) != kSubTextPrefix)
        return false;
    const std::string_view rest = text.substr(kSubTextPrefix.size());
    const std::size_t end = rest.find('\x1e');
    if (end == std::string_view::npos)
        return false;
    content = rest.substr(0, end);
    return true;
}
} // namespace

CSubTextField::CSubTextField(const CSubTextField& other) : CField(other) {
    const std::string_view text = other.View();
    if (!text.empty())
        m_text.Owned().assign(text);
}

bool CSubTextField::ParseText(std::string_view text) {
    if (text.empty()) {
        Clear();
        return true;
    }
    std::string_view content;
    if (!SubTextContent(text, content)) {
        Clear();
        return false;
    }
    try {
        AssignExpanded(m_text.Owned(), content, true);
    } catch (const std::bad_alloc&) {
        fieldimpl::ReportNoMemory();
        Clear();
        return false;
    }
    return true;
}

bool CSubTextField::ReadInto(std::string_view text, char*& space) {
    if (m_text.Owns())
        return ParseText(text);
    std::string_view content;
    if (text.empty() || !SubTextContent(text, content)) {
        Clear();
        return text.empty();
    }
    char* at = AlignSpace(space);
    const std::size_t n = ExpandSeparators(content, true, at);
    m_text.SetView(n != 0 ? at : nullptr);
    m_size = static_cast<std::uint32_t>(n);
    space = at + n;
    return true;
}

bool CSubTextField::SetValue(const FieldValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr)
        return false;
    m_text.Owned() = *text;
    return true;
}

void CSubTextField::Clear() {
    if (m_text.Owns())
        m_text.Owned().clear();
    else
        m_text.SetView(nullptr);
    m_size = 0;
}

std::unique_ptr<CField> CSubTextField::Clone() const {
    return std::make_unique<CSubTextField>(*this);
}

std::size_t CSubTextField::RequiredCapacity(bool) const {
    const std::size_t size = View().size();
    return size == 0 ? 1 : size + 8;
}

bool CSubTextField::Render(std::string& out, bool display) const {
    const std::string_view text = View();
    if (text.empty())
        return true;
    if (display) {
        fieldimpl::AppendWithBreaks(out, text, ' ');
        return true;
    }
    const std::size_t old = out.size();
    out.resize(old + ExchangeBound());
    char* end = WriteExchange(out.data() + old);
    out.resize(static_cast<std::size_t>(end - out.data()));
    return true;
}

char* CSubTextField::WriteExchange(char* dst) const {
    const std::string_view text = View();
    if (text.empty())
        return dst;
    std::memcpy(dst, kSubTextPrefix.data(), kSubTextPrefix.size());
    dst = fieldimpl::WriteWithBreaks(dst + kSubTextPrefix.size(), text, kSeparator);
    *dst++ = '\x1e';
    *dst++ = '\x0c';
    return dst;
}

// ---- CFlagField ----

bool CFlagField::ParseText(std::string_view text) {
    if (!text.empty() && text[0] == '*') {
        m_value = 1;
        return true;
    }
    if (!text.empty() && text[0] == ' ') {
        m_value = 0;
        return true;
    }
    m_value = 0;
    return false;
}

bool CFlagField::SetValue(const FieldValue& value) {
    // Only 0 and 1 can be written and read back; any other integer would turn into 0.
    const auto* v = std::get_if<int32_t>(&value);
    if (v == nullptr || (*v != 0 && *v != 1))
        return false;
    m_value = *v;
    return true;
}

std::unique_ptr<CField> CFlagField::Clone() const {
    return std::make_unique<CFlagField>(*this);
}

std::size_t CFlagField::RequiredCapacity(bool) const {
    return 2;
}

bool CFlagField::Render(std::string& out, bool) const {
    char c;
    WriteExchange(&c);
    out.push_back(c);
    return true;
}

// ---- Tag table and factory ----

FieldClass FieldClassOf(FieldTag tag) {
    switch (tag) {
    case Tag4("NAME"):
    case Tag4("NAPR"):
    case Tag4("TEL1"):
    case Tag4("FAX1"):
    case Tag4("OFCE"):
    case Tag4("OFPR"):
    case Tag4("SCTN"):
    case Tag4("PSTN"):
    case Tag4("ZIPC"):
    case Tag4("ADR1"):
    case Tag4("MEM1"):
    case Tag4("CLAS"):
        return FieldClass::Text;
    case Tag4("RMRK"):
    case Tag4("ASCT"):
        return FieldClass::SubText;
    case Tag4("SCRT"):
    case Tag4("ALON"):
        return FieldClass::Flag;
    case Tag4("BRTH"):
    case Tag4("TIM1"):
    case Tag4("TIM2"):
    case Tag4("ALRM"):
    case Tag4("ANN1"):
    case Tag4("ETDY"):
    case Tag4("FNDY"):
    case Tag4("LTDY"):
        return FieldClass::Time;
    case Tag4("ANN2"):
        return FieldClass::DayWeek;
    case Tag4("CHK1"):
    case Tag4("CHK2"):
    case Tag4("CHK3"):
    case Tag4("CHK4"):
        return FieldClass::Check;
    case Tag4("MARK"):
    case Tag4("PRTY"):
        return FieldClass::Ascii;
    case Tag4("PRF1"):
        return FieldClass::Binary;
    case Tag4("CLSC"):
        return FieldClass::Phonogram;
    case Tag4("IMG1"):
        return FieldClass::Image;
    default:
        return FieldClass::None;
    }
}

const char* FieldClassName(FieldClass fieldClass) {
    switch (fieldClass) {
    case FieldClass::Text:
        return "CTextField";
    case FieldClass::SubText:
        return "CSubTextField";
    case FieldClass::Flag:
        return "CFlagField";
    case FieldClass::Time:
        return "CTimeField";
    case FieldClass::DayWeek:
        return "CDayWeekField";
    case FieldClass::Check:
        return "CCheckField";
    case FieldClass::Ascii:
        return "CAsciiField";
    case FieldClass::Binary:
        return "CBinaryField";
    case FieldClass::Phonogram:
        return "CPhonogramField";
    case FieldClass::Image:
        return "CImageField";
    case FieldClass::None:
        break;
    }
    return "";
}

std::unique_ptr<CField> CreateField(FieldTag tag) {
    switch (FieldClassOf(tag)) {
    case FieldClass::Text:
        return std::make_unique<CTextField>(tag);
    case FieldClass::SubText:
        return std::make_unique<CSubTextField>(tag);
    case FieldClass::Flag:
        return std::make_unique<CFlagField>(tag);
    case FieldClass::Time:
        return std::make_unique<CTimeField>(tag);
    case FieldClass::DayWeek:
        return std::make_unique<CDayWeekField>(tag);
    case FieldClass::Check:
        return std::make_unique<CCheckField>(tag);
    case FieldClass::Ascii:
        return std::make_unique<CAsciiField>(tag);
    case FieldClass::Binary:
        return std::make_unique<CBinaryField>(tag);
    case FieldClass::Phonogram:
        return std::make_unique<CPhonogramField>(tag);
    case FieldClass::Image:
        return std::make_unique<CImageField>(tag);
    case FieldClass::None:
        break;
    }
    return nullptr;
}

FieldTag TagCodeOf(std::string_view tag) {
    // A longer tag is another tag: "SCRTX" must not be taken for SCRT.
    if (tag.size() != 4)
        return 0;
    return (static_cast<FieldTag>(static_cast<unsigned char>(tag[0])) << 24) |
           (static_cast<FieldTag>(static_cast<unsigned char>(tag[1])) << 16) |
           (static_cast<FieldTag>(static_cast<unsigned char>(tag[2])) << 8) |
           static_cast<FieldTag>(static_cast<unsigned char>(tag[3]));
}

std::string NormalizeLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.append("\r\n");
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out.append("\r\n");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace tessera
