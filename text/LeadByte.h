#pragma once
// The one lead-byte rule of code page 932 as the device uses it: 0x81-0x9F and 0xE0-0xFD
// start a double-byte character (0xFD carries device-only codes). Header only and free of
// everything else, so the build-time generator in resources/tools shares it too.

namespace tessera {

constexpr bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD);
}

} // namespace tessera
