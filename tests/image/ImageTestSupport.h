#pragma once
// Helpers shared by the memo picture tests: builders for pictures and packed texts.

#include "model/DiBitmap.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tessera::imagetest {

// A top-down device picture from packed rows (1 = black).
inline CDiBitmap FromPacked(int width, int height, const std::vector<std::uint8_t>& packed) {
    CDiBitmap b;
    const auto info = CDiBitmap::DeviceInfo(width, height);
    if (!b.SetInfo(info) || !b.SetPackedBits(packed))
        return {};
    return b;
}

// Packed rows that mix long runs and noise, so both code kinds and their limits appear.
inline std::vector<std::uint8_t> MixedPacked(int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    const std::size_t row = CDiBitmap::PackedRowSizeFor(width);
    std::vector<std::uint8_t> out;
    for (int y = 0; y < height; ++y) {
        std::size_t x = 0;
        while (x < row) {
            const std::size_t len = std::min<std::size_t>(row - x, 1 + rng() % 300);
            const bool solid = rng() % 2 == 0;
            const auto value = static_cast<std::uint8_t>(rng());
            for (std::size_t i = 0; i < len; ++i)
                out.push_back(solid ? value : static_cast<std::uint8_t>(rng() % 4));
            x += len;
        }
    }
    return out;
}

inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (auto b : bytes) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 15]);
    }
    return s;
}

// A packed text with the given header values and data bytes; `total` 0 means the right one.
inline std::string Stream(int width, int height, std::uint8_t packing,
                          const std::vector<std::uint8_t>& data, std::size_t total = 0) {
    if (total == 0)
        total = data.size() + 10;
    std::vector<std::uint8_t> s = {static_cast<std::uint8_t>(total),
                                   static_cast<std::uint8_t>(total >> 8),
                                   static_cast<std::uint8_t>(width - 1),
                                   static_cast<std::uint8_t>((width - 1) >> 8),
                                   static_cast<std::uint8_t>(height - 1),
                                   static_cast<std::uint8_t>((height - 1) >> 8),
                                   4,
                                   packing};
    s.insert(s.end(), data.begin(), data.end());
    s.push_back(0);
    s.push_back(0);
    return Hex(s);
}

} // namespace tessera::imagetest
