#pragma once
// Helpers shared by the field class sources only.

#include "model/FieldNames.h"
#include "text/LeadByte.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace tessera::fieldimpl {

constexpr FieldTag Tag4(const char (&s)[5]) {
    return (static_cast<FieldTag>(static_cast<unsigned char>(s[0])) << 24) |
           (static_cast<FieldTag>(static_cast<unsigned char>(s[1])) << 16) |
           (static_cast<FieldTag>(static_cast<unsigned char>(s[2])) << 8) |
           static_cast<FieldTag>(static_cast<unsigned char>(s[3]));
}

using tessera::IsLeadByte;

// A decimal number after optional leading spaces; all spaces (or nothing) read as 0.
// Anything else in the part refuses it. Parts are a few bytes: inline, since a large read
// parses several per record.
inline std::optional<int> ReadDecimalPart(std::string_view part) {
    std::size_t i = 0;
    while (i < part.size() && part[i] == ' ')
        ++i;
    int value = 0;
    for (; i < part.size(); ++i) {
        const char c = part[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Whether p[0..n) holds a byte below 0x20 (TAB, 0x1F and the like); eight bytes at a time,
// since most values hold none and can then be copied as they are.
inline bool HasControlByte(const char* p, std::size_t n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        std::uint64_t x;
        std::memcpy(&x, p + k, 8);
        if ((x - kOnes * 0x20) & ~x & kHigh)
            return true;
    }
    for (; k < n; ++k)
        if (static_cast<unsigned char>(p[k]) < 0x20)
            return true;
    return false;
}

// Writes `value` in at least `digits` digits with leading zeros (value >= 0) to `dst`
// (room for 15 bytes); returns the end.
char* WriteZeroPadded(char* dst, int value, int digits);
// Appends `value` in at least `digits` digits with leading zeros (value >= 0).
void AppendZeroPadded(std::string& out, int value, int digits);

// Writes `text` with each CR LF pair replaced by `lineBreak` to `dst` (room for text.size()
// bytes); returns the end.
char* WriteWithBreaks(char* dst, std::string_view text, char lineBreak);
// Appends `text` with each CR LF pair replaced by `lineBreak`.
void AppendWithBreaks(std::string& out, std::string_view text, char lineBreak);

// Shows 1036 (memory exhaustion); used where a field could not get memory for its text.
void ReportNoMemory();

// Display strings of marks, loaded once from the string table.
struct MarkStrings {
    std::string check[4];           // index = value; [0] unused
    std::uint64_t checkKey[4] = {}; // MarkKey of each check text
    std::string priority[4];
    std::string done;
};
const MarkStrings& LoadedMarkStrings();

// A text of at most 7 bytes as one number: its size in the low byte, its bytes above; equal
// texts and only they give equal keys, the empty text 0. Longer texts give 0 too.
constexpr std::uint64_t MarkKey(std::string_view text) {
    if (text.size() > 7)
        return 0;
    std::uint64_t key = text.size();
    for (std::size_t i = 0; i < text.size(); ++i)
        key |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * (i + 1));
    return key;
}

} // namespace tessera::fieldimpl
