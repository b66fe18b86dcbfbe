#include "model/TextForm.h"

#include "model/CodeMap.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessera {

namespace {

constexpr unsigned char kQuote = '"';
constexpr unsigned char kComma = ',';
constexpr unsigned char kCR = '\r';

// Byte classes of the tokenizer, so the common case (a plain byte) costs one table look-up.
enum ByteClass : unsigned char { Plain = 0, End, CR, Quote, Comma, Lead };

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = IsLeadByte(static_cast<unsigned char>(b)) ? Lead : Plain;
    t[0x00] = End;
    t[0x1A] = End;
    t[kCR] = CR;
    t[kQuote] = Quote;
    t[kComma] = Comma;
    return t;
}
constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

bool IsEndByte(unsigned char b) {
    return b == 0x00 || b == 0x1A;
}

// What the quick pass of Next() does with a byte inside quotes.
enum QuickClass : unsigned char {
    QPlain = 0, // a single-byte character (the comma included): one step
    QPair,      // the lead byte of a character the map leaves alone: two steps
    QCheck,     // the lead byte of a character the map may change: ask the table
    QControl,   // a byte below 0x20 that is no end mark and no CR: one step, noted
    QQuote,     // the value's end when a comma or CR follows
    QFull,      // end marks, CR, lead bytes without a table: the full rules decide
};

constexpr std::uint64_t kOnes8 = 0x0101010101010101ULL;
constexpr std::uint64_t kHigh8 = 0x8080808080808080ULL;
// High bit set in (at least) the lanes of `x` (all below 0x80) that equal `b`; zero when none.
constexpr std::uint64_t LanesEqual(std::uint64_t x, unsigned char b) {
    const std::uint64_t v = x ^ (kOnes8 * b);
    return (v - kOnes8) & ~v & kHigh8;
}

// Circled numbers 1-20 (0x8740-0x8753) go out as 0xED40-0xED53, which the reader maps back.
void RewriteCircled(char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (!IsLeadByte(b))
            continue;
        if (b == 0x87 && i + 1 < n) {
            const auto t = static_cast<unsigned char>(p[i + 1]);
            if (t >= 0x40 && t <= 0x53)
                p[i] = static_cast<char>(0xED);
        }
        ++i;
    }
}

} // namespace

CTextTokenizer::CTextTokenizer(const char* text, std::size_t size, const CCodeMap* map)
    : m_begin(reinterpret_cast<const unsigned char*>(text)), m_pos(m_begin),
      m_end(m_begin + (text != nullptr ? size : 0)), m_map(map) {
    m_value[0] = '\0';
    if (map == nullptr) {
        std::memset(m_unchanged, 0xFF, sizeof m_unchanged);
        m_fastPairs = true;
    } else if (static_cast<std::size_t>(m_end - m_begin) >= kIdentityTableThreshold) {
        char out[16];
        for (unsigned code = 0x8100; code <= 0xFDFF; ++code) {
            if (!IsLeadByte(static_cast<unsigned char>(code >> 8)))
                continue;
            const int n = map->MapDeviceCode(static_cast<std::uint16_t>(code), out);
            if (n == 2 && static_cast<unsigned char>(out[0]) == (code >> 8) &&
                static_cast<unsigned char>(out[1]) == (code & 0xFF))
                m_unchanged[(code >> 6) & 0x1FF] |= std::uint64_t{1} << (code & 63);
        }
        m_fastPairs = true;
    }
    for (int b = 0; b < 256; ++b) {
        const auto c = static_cast<unsigned char>(b);
        unsigned char q = QPlain;
        if (IsLeadByte(c)) {
            // The 256 codes of a lead byte are four words of the table.
            const std::uint64_t* words = m_unchanged + ((static_cast<unsigned>(c) << 2) & 0x1FF);
            const bool allSame = (words[0] & words[1] & words[2] & words[3]) == ~std::uint64_t{0};
            q = !m_fastPairs ? QFull : allSame ? QPair : QCheck;
        } else if (kClasses[c] == End || c == kCR) {
            q = QFull;
        } else if (c < 0x20) {
            q = QControl;
        } else if (c == kQuote) {
            q = QQuote;
        }
        m_quickClass[b] = q;
        if (q == QCheck && m_checkLeadCount < kMaxCheckLeads)
            std::memset(m_checkLeads[m_checkLeadCount], c, sizeof m_checkLeads[0]);
        if (q == QCheck)
            ++m_checkLeadCount;
    }
    // The wide pass looks for each lead byte of a character the map may change; with more
    // of them than it compares at once, the byte walk is as quick.
    m_wide = m_fastPairs && m_checkLeadCount <= kMaxCheckLeads;
}

CTextTokenizer::CTextTokenizer(const CTextTokenizer& other, const char* text, std::size_t size)
    : m_begin(reinterpret_cast<const unsigned char*>(text)), m_pos(m_begin),
      m_end(m_begin + (text != nullptr ? size : 0)), m_map(other.m_map),
      m_fastPairs(other.m_fastPairs), m_checkLeadCount(other.m_checkLeadCount),
      m_wide(other.m_wide) {
    m_value[0] = '\0';
    std::memcpy(m_unchanged, other.m_unchanged, sizeof m_unchanged);
    std::memcpy(m_quickClass, other.m_quickClass, sizeof m_quickClass);
    std::memcpy(m_checkLeads, other.m_checkLeads, sizeof m_checkLeads);
}

void CTextTokenizer::SeekLine(std::size_t offset) {
    const auto size = static_cast<std::size_t>(m_end - m_begin);
    m_pos = m_begin + (offset < size ? offset : size);
    m_state = LineState::InLine;
    m_ended = false;
    m_inPlace = false;
    m_length = 0;
    m_value[0] = '\0';
}

bool CTextTokenizer::Append(const char* bytes, std::size_t count) {
    if (m_length + count > kReadValueCapacity - 1)
        return false;
    if (m_inPlace) {
        if (bytes == m_valueBegin + m_length) {
            m_length += count; // the next input bytes: still the input itself
            return true;
        }
        std::memcpy(m_value, m_valueBegin, m_length);
        m_inPlace = false;
    }
    std::memcpy(m_value + m_length, bytes, count);
    m_length += count;
    return true;
}

// The quick pass: a bare comma, or a quoted value of characters the map leaves alone that
// ends with a quote and a comma or CR, as nearly every value of a written file is. It stops
// at anything else and leaves the value, from its first byte, to the full rules.
inline bool CTextTokenizer::QuickValue(const unsigned char* begin, Quick& q) const {
    const unsigned char* const end = m_end;
    if (end - begin < 2)
        return false;
    if (*begin == kComma) {
        q = {begin, 0, begin + 1, false, false};
        return true;
    }
    if (*begin != kQuote)
        return false;
    const unsigned char* p = begin + 1;
    const unsigned char* const last = end - 1; // below it, p[1] can be read
    const unsigned char* const classes = m_quickClass;
    bool control = false;
#if defined(__SSE2__)
    if (m_wide) {
        switch (WideValue(begin, q, p, control)) {
        case Wide::Found:
            return true;
        case Wide::Full:
            return false;
        case Wide::Walk:
            break;
        }
    }
#endif
    while (p < last) {
        const unsigned char c = classes[*p];
        if (c == QPair) {
            p += 2;
        } else if (c == QPlain) {
            ++p;
        } else if (c == QQuote) {
            const unsigned char next = p[1];
            if (next == kComma || next == kCR) {
                const auto length = static_cast<std::size_t>(p - (begin + 1));
                if (length > kReadValueCapacity - 1)
                    return false;
                const bool lineEnd = next == kCR;
                q = {begin + 1, length, lineEnd ? (end - p > 3 ? p + 3 : end) : p + 2, control,
                     lineEnd};
                return true;
            }
            if (IsEndByte(next))
                return false;
            ++p; // a quote inside the value
        } else if (c == QControl) {
            control = true;
            ++p;
        } else if (c == QCheck && Unchanged(p[0], p[1])) {
            p += 2;
        } else {
            return false;
        }
    }
    return false;
}

#if defined(__SSE2__)
namespace {

// True when `at` begins a character of a value whose bytes start at `start`: any byte outside
// the lead range ends a character, so the lead-range bytes right before `at` must pair up,
// as the byte walk takes them.
bool StartsCharacter(const unsigned char* start, const unsigned char* at) {
    const unsigned char* p = at;
    while (p > start && IsLeadByte(p[-1]))
        --p;
    return ((at - p) & 1) == 0;
}

} // namespace

// The quick pass sixteen bytes at a time. The bytes that end or mark a value (quote, bytes
// below 0x20) are never the second byte of a character, and neither are the ones the map may
// change that it looks for, unless it is a lead byte found as a second byte: such a false
// find is looked up as if it began a character, and at worst sends the value to the full
// rules. Where a quote or control byte lies decides on its own whether it begins a
// character. Leaves `p` (at a character) and `control` for the byte walk near the end.
CTextTokenizer::Wide CTextTokenizer::WideValue(const unsigned char* begin, Quick& q,
                                               const unsigned char*& p, bool& control) const {
    const unsigned char* const start = begin + 1;
    const unsigned char* const end = m_end;
    const __m128i quote = _mm_set1_epi8(static_cast<char>(kQuote));
    const __m128i below = _mm_set1_epi8(0x1F);
    const int leadCount = m_checkLeadCount;
    // Sixteen bytes and the one after them (a second byte, or what follows a quote).
    while (end - p > 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(v, below), below);
        const auto stops =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, _mm_cmpeq_epi8(v, quote))));
        __m128i check = _mm_setzero_si128();
        for (int k = 0; k < leadCount; ++k)
            check = _mm_or_si128(
                check, _mm_cmpeq_epi8(
                           v, _mm_load_si128(reinterpret_cast<const __m128i*>(m_checkLeads[k]))));
        const int first = stops != 0 ? std::countr_zero(stops) : 16;
        // The lead bytes before the first stop: each pair must be one the map leaves alone.
        auto finds = static_cast<unsigned>(_mm_movemask_epi8(check)) & ((1u << first) - 1u);
        for (; finds != 0; finds &= finds - 1) {
            const int i = std::countr_zero(finds);
            if (!Unchanged(p[i], p[i + 1]))
                return Wide::Full;
        }
        if (stops == 0) {
            p += 16;
            continue;
        }
        const unsigned char* const at = p + first;
        p = at + 1;
        if (!StartsCharacter(start, at))
            continue; // the second byte of a character: taken with its first
        const unsigned char b = *at;
        if (b == kQuote) {
            const unsigned char next = at[1];
            if (next == kComma || next == kCR) {
                const auto length = static_cast<std::size_t>(at - start);
                if (length > kReadValueCapacity - 1)
                    return Wide::Full;
                const bool lineEnd = next == kCR;
                q = {start, length, lineEnd ? (end - at > 3 ? at + 3 : end) : at + 2, control,
                     lineEnd};
                return Wide::Found;
            }
            if (IsEndByte(next))
                return Wide::Full;
            continue; // a quote inside the value
        }
        if (IsEndByte(b) || b == kCR)
            return Wide::Full;
        control = true;
    }
    // The byte walk goes on from a character's first byte; a character that spans `p` was
    // looked up above.
    if (!StartsCharacter(start, p))
        ++p;
    return Wide::Walk;
}
#endif

inline void CTextTokenizer::TakeQuick(const Quick& q) {
    m_inPlace = true;
    m_valueBegin = reinterpret_cast<const char*>(q.value);
    m_length = q.length;
    m_control = q.control;
    m_pos = q.next;
    if (q.lineEnd)
        m_state = LineState::EndOfLine;
}

CTextTokenizer::Status CTextTokenizer::Next() {
    Quick q;
    if (m_ended || !QuickValue(m_pos, q))
        return NextInFull();
    TakeQuick(q);
    return Status::Value;
}

bool CTextTokenizer::NextInLine(std::vector<ReadValue>& values) {
    if (m_ended)
        return false;
    Quick q;
    const unsigned char* p = m_pos;
    bool read = false;
    while (QuickValue(p, q)) {
        values.push_back(
            {std::string_view(reinterpret_cast<const char*>(q.value), q.length), q.control});
        read = true;
        if (q.lineEnd)
            break;
        p = q.next;
    }
    if (!read)
        return false;
    TakeQuick(q); // the last value read (a failed QuickValue leaves `q` alone)
    return q.lineEnd;
}

CTextTokenizer::Status CTextTokenizer::NextInFull() {
    m_control = true;
    m_inPlace = false;
    m_length = 0;
    m_value[0] = '\0';
    if (m_ended || m_pos >= m_end)
        return Status::LastValue;

    const bool quoted = *m_pos == kQuote;
    if (quoted)
        ++m_pos;
    m_inPlace = true;
    m_valueBegin = reinterpret_cast<const char*>(m_pos);

    auto finish = [this](Status s) {
        if (!m_inPlace)
            m_value[m_length] = '\0';
        if (s != Status::Value)
            m_ended = true;
        return s;
    };
    // Skips `count` bytes, never past the end of the buffer.
    auto skip = [this](std::size_t count) {
        std::size_t left = static_cast<std::size_t>(m_end - m_pos);
        m_pos += count < left ? count : left;
    };

    while (m_pos < m_end) {
        // Copy the run of plain bytes (and of characters the map leaves alone) in one go.
        const unsigned char* run = m_pos;
        const unsigned char* p = m_pos;
        const unsigned char* const end = m_end;
        const bool fastPairs = m_fastPairs;
        while (p < end) {
            const unsigned char c = kClasses[*p];
            if (c == Plain) {
                ++p;
                // Plain text such as numbers and dates: eight bytes at a time while none
                // is special or above 0x7F.
                while (end - p >= 8) {
                    std::uint64_t x;
                    std::memcpy(&x, p, 8);
                    if ((x & kHigh8) != 0)
                        break;
                    if ((LanesEqual(x, 0x00) | LanesEqual(x, 0x1A) | LanesEqual(x, kCR) |
                         LanesEqual(x, kQuote) | LanesEqual(x, kComma)) != 0)
                        break;
                    p += 8;
                }
            } else if (c == Lead && fastPairs && end - p >= 2 && Unchanged(p[0], p[1])) {
                p += 2;
            } else {
                break;
            }
        }
        m_pos = p;
        if (m_pos != run && !Append(reinterpret_cast<const char*>(run), m_pos - run))
            return finish(Status::Overflow);
        if (m_pos >= m_end)
            break;

        const unsigned char b = *m_pos;
        switch (kClasses[b]) {
        case End:
            return finish(Status::LastValue);
        case CR:
            if (quoted) {
                // A line break inside quotes cannot be part of a value: the reader stops.
                m_state = LineState::BadBreak;
                skip(3);
                return finish(Status::Value);
            }
            skip(2);
            m_state = LineState::EndOfLine;
            if (m_pos >= m_end || *m_pos != kQuote)
                return finish(Status::LastValue);
            return finish(Status::Value);
        case Quote:
            if (!quoted) {
                if (!Append(reinterpret_cast<const char*>(m_pos), 1))
                    return finish(Status::Overflow);
                ++m_pos;
                break;
            }
            if (m_pos + 1 >= m_end || IsEndByte(m_pos[1])) {
                skip(1);
                return finish(Status::LastValue);
            }
            if (m_pos[1] == kCR) {
                skip(3);
                m_state = LineState::EndOfLine;
                return finish(Status::Value);
            }
            if (m_pos[1] == kComma) {
                skip(2);
                return finish(Status::Value);
            }
            if (!Append(reinterpret_cast<const char*>(m_pos), 1))
                return finish(Status::Overflow);
            ++m_pos;
            break;
        case Comma:
            if (!quoted) {
                ++m_pos;
                return finish(Status::Value);
            }
            if (!Append(reinterpret_cast<const char*>(m_pos), 1))
                return finish(Status::Overflow);
            ++m_pos;
            break;
        case Lead: {
            if (m_pos + 1 >= m_end) {
                // A lead byte cut off by the end of the buffer: keep it as it is.
                if (!Append(reinterpret_cast<const char*>(m_pos), 1))
                    return finish(Status::Overflow);
                ++m_pos;
                break;
            }
            const std::uint16_t code = static_cast<std::uint16_t>((b << 8) | m_pos[1]);
            m_pos += 2;
            if (m_map == nullptr) {
                if (!Append(reinterpret_cast<const char*>(m_pos - 2), 2))
                    return finish(Status::Overflow);
            } else {
                char out[16];
                int n = m_map->MapDeviceCode(code, out);
                if (n < 0)
                    n = 0;
                if (!Append(out, static_cast<std::size_t>(n)))
                    return finish(Status::Overflow);
            }
            break;
        }
        default:
            break;
        }
    }
    // The buffer ended without a 0x1A or a zero byte: the same as an end mark.
    return finish(Status::LastValue);
}

ValueProblem CheckValue(std::string_view value) {
    if (value.size() > kReadValueCapacity - 1)
        return ValueProblem::TooLong;
    const auto* p = reinterpret_cast<const unsigned char*>(value.data());
    const std::size_t n = value.size();
    // Walk the bytes the way the tokenizer reads a quoted value.
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = p[i];
        if (IsLeadByte(b)) {
            if (i + 1 >= n)
                return ValueProblem::SplitCharacter;
            ++i;
            continue;
        }
        if (IsEndByte(b))
            return ValueProblem::EndMark;
        if (b == kCR)
            return ValueProblem::BareCR;
        if (b == kQuote && i + 1 < n && (p[i + 1] == kComma || p[i + 1] == kCR))
            return ValueProblem::QuoteSeparator;
    }
    return ValueProblem::None;
}

void AppendValue(std::string& out, std::string_view value) {
    out.push_back(static_cast<char>(kComma));
    if (value.empty())
        return;
    AppendQuoted(out, value);
}

void AppendQuoted(std::string& out, std::string_view value) {
    out.push_back(static_cast<char>(kQuote));
    const std::size_t start = out.size();
    out.append(value);
    RewriteCircled(out.data() + start, value.size());
    out.push_back(static_cast<char>(kQuote));
}

namespace {

// What the writer's check looks at in a byte it meets outside a double-byte character.
enum WriteClass : unsigned char { WPlain = 0, WLead = 1, WBad = 2, WQuote = 4, WCircledLead = 8 };

constexpr std::array<unsigned char, 256> MakeWriteClasses() {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = IsLeadByte(static_cast<unsigned char>(b)) ? WLead : WPlain;
    t[0x87] = WLead | WCircledLead;
    t[0x00] = WBad;
    t[0x1A] = WBad;
    t[kCR] = WBad;
    t[kQuote] = WQuote;
    return t;
}
constexpr std::array<unsigned char, 256> kWriteClasses = MakeWriteClasses();

// Bytes that need the character walk: the end marks, CR, the quote, and 0x87 (circled
// numbers). Other control bytes (line breaks 0x1F, memo ends 0x1E 0x0C, TAB) are plain.
constexpr std::array<unsigned char, 256> MakeWalkBytes() {
    std::array<unsigned char, 256> t{};
    t[0x00] = 1;
    t[0x1A] = 1;
    t[kCR] = 1;
    t[kQuote] = 1;
    t[0x87] = 1;
    return t;
}
constexpr std::array<unsigned char, 256> kWalkBytes = MakeWalkBytes();

// True when p[0..n) holds a byte that needs the walk. Eight bytes at a time: a lane equal to
// one of those bytes becomes zero after the xor and shows up in its high bit. `before` bytes
// in front of p may be read too: then a short tail is read as the eight bytes that end it,
// with the lanes in front of the value masked out.
bool NeedsWalk(const unsigned char* p, std::size_t n, std::size_t before) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    auto hasZero = [](std::uint64_t v) { return (v - kOnes) & ~v & kHigh; };
    auto special = [&](std::uint64_t x) {
        return (hasZero(x) | hasZero(x ^ (kOnes * 0x1A)) | hasZero(x ^ (kOnes * kCR)) |
                hasZero(x ^ (kOnes * kQuote)) | hasZero(x ^ (kOnes * 0x87))) != 0;
    };
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        std::uint64_t x;
        std::memcpy(&x, p + k, 8);
        if (special(x))
            return true;
    }
    const std::size_t left = n - k;
    if (left == 0)
        return false;
    if (k + before >= 8 - left) {
        std::uint64_t x;
        std::memcpy(&x, p + n - 8, 8);
        // Little-endian lanes: the low ones lie in front of the tail; make them plain 'A'.
        const std::uint64_t keep = ~std::uint64_t{0} << (8 * (8 - left));
        x = (x & keep) | (kOnes * 'A' & ~keep);
        return special(x);
    }
    unsigned char walk = 0;
    for (; k < n; ++k)
        walk |= kWalkBytes[p[k]];
    return walk != 0;
}

// True when the last byte of p[0..n) begins a double-byte character. Any byte outside the
// lead range ends a character, so only the run of lead-range bytes at the end counts: they
// pair up from its start.
bool EndsInsideCharacter(const unsigned char* p, std::size_t n) {
    std::size_t run = 0;
    while (run < n && IsLeadByte(p[n - 1 - run]))
        ++run;
    return run % 2 == 1;
}

} // namespace

bool AppendCheckedValue(std::string& out, std::string_view value) {
    const std::size_t before = out.size();
    if (value.size() > kReadValueCapacity - 1)
        return false;
    out.push_back(static_cast<char>(kComma));
    if (value.empty())
        return true;
    out.push_back(static_cast<char>(kQuote));
    out.append(value);
    if (CloseAppendedValue(out, before + 2))
        return true;
    out.resize(before);
    return false;
}

namespace {

// The check of one value at p[0..n) (n > 0, at most the reader's limit) as the reader will
// walk it, mending circled numbers in place; `before` as for NeedsWalk.
bool CheckWrittenValue(char* dst, std::size_t n, std::size_t before) {
    const auto* p = reinterpret_cast<const unsigned char*>(dst);
    // Most values hold none of the bytes that need the walk.
    if (!NeedsWalk(p, n, before))
        return !EndsInsideCharacter(p, n);
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = kWriteClasses[p[i]];
        if (c == WPlain) {
            ++i;
            continue;
        }
        if (c & WLead) {
            if ((c & WCircledLead) && i + 1 < n && p[i + 1] >= 0x40 && p[i + 1] <= 0x53)
                dst[i] = static_cast<char>(0xED);
            i += 2;
            continue;
        }
        if ((c & WBad) || (i + 1 < n && (p[i + 1] == kComma || p[i + 1] == kCR)))
            break;
        ++i; // a quote that stays inside the value
    }
    // Stopped early, or the last byte began a character that the closing quote would end.
    return i == n;
}

} // namespace

bool CloseAppendedValue(std::string& out, std::size_t start) {
    const std::size_t n = out.size() - start;
    if (n == 0) {
        out.pop_back(); // an empty value is a bare comma
        return true;
    }
    if (n > kReadValueCapacity - 1)
        return false;
    if (!CheckWrittenValue(out.data() + start, n,
                           std::endian::native == std::endian::little ? start : 0))
        return false;
    out.push_back(static_cast<char>(kQuote));
    return true;
}

namespace {

// What a stretch of written bytes holds that the fast check looks for.
struct RegionBytes {
    bool walk = false;   // an end mark, or 0x87 before a circled number's trail byte
    std::size_t crs = 0; // CR bytes
    std::size_t quotes = 0;
};

// Plain byte tests in separate accumulators over blocks of a fixed size, short enough for
// byte counters: a form the compiler turns into wide vector code. p[n] is read too (the
// byte after 0x87).
template <std::size_t N> void ScanBlock(const unsigned char* p, std::size_t n, RegionBytes& r) {
    unsigned char zero = 0;
    unsigned char end = 0;
    unsigned char circled = 0;
    unsigned char crs = 0;
    unsigned char quotes = 0;
    for (std::size_t i = 0; i < (N != 0 ? N : n); ++i) {
        const unsigned char b = p[i];
        const unsigned char next = p[i + 1];
        zero |= static_cast<unsigned char>(b == 0x00);
        end |= static_cast<unsigned char>(b == 0x1A);
        circled |= static_cast<unsigned char>((b == 0x87) &
                                              (static_cast<unsigned char>(next - 0x40) < 0x14));
        crs += static_cast<unsigned char>(b == kCR);
        quotes += static_cast<unsigned char>(b == kQuote);
    }
    r.walk |= (zero | end | circled) != 0;
    r.crs += crs;
    r.quotes += quotes;
}

void ScanRegion(const unsigned char* p, std::size_t n, RegionBytes& r) {
    constexpr std::size_t kBlock = 128;
    for (; n >= kBlock; p += kBlock, n -= kBlock)
        ScanBlock<kBlock>(p, kBlock, r);
    ScanBlock<0>(p, n, r);
}

// EndsInsideCharacter for a value that a non-lead byte (its opening quote) precedes, with
// eight readable bytes before its end: the lead-range bytes at its end, counted eight at a
// time without a branch per byte.
bool EndsInsideCharacterFast(const unsigned char* p, std::size_t n) {
    if constexpr (std::endian::native != std::endian::little)
        return EndsInsideCharacter(p, n);
    std::uint64_t x;
    std::memcpy(&x, p + n - 8, 8); // the last byte in the top lane
    // Lead bytes 0x81-0x9F and 0xE0-0xFD: high bit set, low seven bits 0x01-0x1F or 0x60-0x7D.
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t low = x & kLow7;
    auto inRange = [low](unsigned lo, unsigned hi) {
        return (low + kOnes8 * (0x80 - lo)) & ~(low + kOnes8 * (0x7F - hi));
    };
    const std::uint64_t lead = x & (inRange(0x01, 0x1F) | inRange(0x60, 0x7D)) & kHigh8;
    // Each lead lane gives eight ones from the top; the first other lane stops the count.
    const int run = std::countl_one(lead | ~kHigh8) / 8;
    if (run == 8)
        return EndsInsideCharacter(p, n); // the run may go on further back
    return (run & 1) != 0;
}

} // namespace

bool CheckWrittenLines(char* text, std::size_t regionStart, std::size_t regionEnd,
                       std::size_t lines, std::size_t quoted, const WrittenValue* values,
                       std::size_t count) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    // Anywhere in the region: a byte the walk must stop at or mend (only a byte 0x87 before
    // a circled number's trail byte can need mending, whatever the character boundaries),
    // and the CR and quote bytes, which must be just the line ends and the quotes around
    // "D" and each value.
    RegionBytes r;
    ScanRegion(bytes + regionStart, regionEnd - regionStart, r);
    const WrittenValue* const end = values + count;
    if (!r.walk && r.crs == lines && r.quotes == 2 * (lines + quoted)) {
        // Each value follows its opening quote, and the text holds more than eight bytes
        // before any value.
        for (const WrittenValue* v = values; v != end; ++v)
            if (EndsInsideCharacterFast(bytes + v->start, v->size))
                return false;
        return true;
    }
    // Something needs the walk: each value as CloseAppendedValue checks it.
    for (const WrittenValue* v = values; v != end; ++v)
        if (!CheckWrittenValue(text + v->start, v->size,
                               std::endian::native == std::endian::little ? v->start : 0))
            return false;
    return true;
}

void RewriteCircledNumbers(std::string& value) {
    RewriteCircled(value.data(), value.size());
}

} // namespace tessera
