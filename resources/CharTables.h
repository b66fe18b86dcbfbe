#pragma once
// The device character tables, generated from charmap.txt at build time.
//  - class table: one byte per double-byte code 0x8100..0xFDFF; bits 7-6 the group
//    (0 always, 0x40 symbols, 0x80 kana, 0xC0 alphanumerics), bits 5-0 the range number;
//  - single-byte results for ranges 21-40, double-byte results for ranges 41-63,
//    result strings for ranges 1-20.

#include <cstddef>
#include <cstdint>

namespace tessera::chartables {

inline constexpr std::size_t kClassTableSize = 32000;
inline constexpr std::size_t kSingleTableSize = 72;
inline constexpr std::size_t kDoubleTableSize = 358;
inline constexpr std::size_t kRangeCount = 64;
inline constexpr std::size_t kResultStringCount = 163;
inline constexpr std::uint16_t kFirstCode = 0x8100;

struct RangeInfo {
    std::uint16_t first;  // first code of the range
    std::uint16_t offset; // first entry in its result table
};

struct ResultString {
    std::uint16_t offset; // into kResultText
    std::uint8_t size;
};

extern const unsigned char kClassTable[kClassTableSize];
extern const char kSingleTable[kSingleTableSize + 1];
extern const unsigned char kDoubleTable[kDoubleTableSize];
extern const RangeInfo kRanges[kRangeCount];
extern const ResultString kResultStrings[kResultStringCount];
extern const char kResultText[];

} // namespace tessera::chartables
