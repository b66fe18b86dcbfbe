#pragma once
// The built-in string table, generated from strings.txt at build time.

#include <cstddef>

namespace tessera::detail {

struct StringDataEntry {
    int id;
    const char* text; // code page 932 bytes
    std::size_t size;
};

// Sorted by id.
extern const StringDataEntry kStringData[];
extern const std::size_t kStringDataCount;

} // namespace tessera::detail
