#pragma once
// The code page 932 <-> Unicode tables, generated from the windows-31j codec at build time.

#include <cstddef>
#include <cstdint>

namespace tessera::detail {

struct Cp932Pair {
    std::uint16_t first;
    std::uint16_t second;
};

// (code, Unicode) sorted by code; (Unicode, canonical code) sorted by Unicode.
extern const Cp932Pair kCp932Decode[];
extern const std::size_t kCp932DecodeCount;
extern const Cp932Pair kCp932Encode[];
extern const std::size_t kCp932EncodeCount;

} // namespace tessera::detail
