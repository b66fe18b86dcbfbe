#pragma once
// Helpers shared by the field class sources only.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "model/FieldNames.h"

namespace tessera::fieldimpl {

constexpr FieldTag Tag4(const char (&s)[5]) {
    return (static_cast<FieldTag>(static_cast<unsigned char>(s[0])) << 24) |
           (static_cast<FieldTag>(static_cast<unsigned char>(s[1])) << 16) |
           (static_cast<FieldTag>(static_cast<unsigned char>(s[2])) << 8) |
           static_cast<FieldTag>(static_cast<unsigned char>(s[3]));
}

constexpr bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFD);
}

// A decimal number after optional leading spaces; all spaces (or nothing) read as 0.
// Anything else in the part refuses it.
std::optional<int> ReadDecimalPart(std::string_view part);

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

// Appends `value` in at least `digits` digits with leading zeros (value >= 0).
void AppendZeroPadded(std::string& out, int value, int digits);

// Appends `text` with each CR LF pair replaced by `lineBreak`.
void AppendWithBreaks(std::string& out, std::string_view text, char lineBreak);

// Shows 1036 (memory exhaustion); used where a field could not get memory for its text.
void ReportNoMemory();

// Display strings of marks, loaded once from the string table.
struct MarkStrings {
    std::string check[4]; // index = value; [0] unused
    std::string priority[4];
    std::string done;
};
const MarkStrings& LoadedMarkStrings();

} // namespace tessera::fieldimpl
