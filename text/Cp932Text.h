#pragma once
// Code page 932 <-> UTF-8 without Qt, for the parts below the user interface that read
// UTF-8 files (the resource pack) or print UTF-8. The tables are made at build time from
// the same windows-31j codec the user interface uses, so both sides agree.

#include "resources/Cp932Data.h"
#include "text/LeadByte.h" // IsLeadByte

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessera {

// Converts UTF-8 to code page 932. Fails on malformed UTF-8 or on a character that code
// page 932 cannot hold; `badOffset` (if given) then receives the byte offset in `utf8`.
// Private-use characters U+F0000 + code give back the device-only code they stand for.
bool Utf8ToCp932(std::string_view utf8, std::string& out, std::size_t* badOffset = nullptr);

// Converts code page 932 to UTF-8. A code that code page 932 leaves undefined (a device-only
// character, a stray byte) becomes the private-use character U+F0000 + code, so nothing is
// lost and Utf8ToCp932 restores the same bytes.
std::string Cp932ToUtf8(std::string_view cp932);

// Appends the UTF-8 bytes of the code point `c`.
void AppendUtf8(std::string& out, char32_t c);

// The private-use base that stands for codes code page 932 leaves undefined.
inline constexpr char32_t kDeviceCodeBase = 0xF0000;

} // namespace tessera
