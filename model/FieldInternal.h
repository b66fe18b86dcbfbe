#pragma once
// Helpers shared by the field class sources only.

#include <cstddef>
#include <cstdint>
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
