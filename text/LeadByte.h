#pragma once
// The one lead-byte rule of code page 932 as the device uses it: 0x81-0x9F and 0xE0-0xFD
// start a double-byte character (0xFD carries device-only codes). Header only and free of
// everything else, so the build-time generator in resources/tools shares it too.

#include <cstddef>
#include <string_view>

namespace tessera {

constexpr bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD);
}

// How many of the first `max` bytes of `text` hold whole characters: a cut there never lands
// between a lead byte and its trail (a lead byte that ends the text counts as a character).
constexpr std::size_t WholeCharacterBytes(std::string_view text, std::size_t max) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t step =
            IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + step > max)
            break;
        end += step;
    }
    return end;
}

} // namespace tessera
