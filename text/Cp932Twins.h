#pragma once
// Characters other programs write where code page 932 has a twin under another code point
// (Unicode's JIS mapping against Windows' one, and a few look-alikes). Every conversion of
// outside text to code page 932 folds them, so the editors, the clipboard and the import
// filters take the same characters.
//
// ¥ (U+00A5) folds to the full-width ￥ (0x818F), not to the byte 0x5C: 0x5C reads back
// here as a backslash, so a yen sign typed into a record would come back as "\" when the
// file is opened again; ￥ shows as a yen sign on the PC and on the device alike.

namespace tessera {

// The code page 932 twin of `c`, or 0 when `c` has none (it may still be a character code
// page 932 holds as it is).
constexpr char32_t Cp932Twin(char32_t c) {
    switch (c) {
    case 0x301C:       // 〜 wave dash
        return 0xFF5E; // ～
    case 0x2212:       // − minus sign
        return 0xFF0D; // －
    case 0x2016:       // ‖ double vertical line
        return 0x2225; // ∥
    case 0x00A2:       // ¢
        return 0xFFE0; // ￠
    case 0x00A3:       // £
        return 0xFFE1; // ￡
    case 0x00AC:       // ¬
        return 0xFFE2; // ￢
    case 0x2014:       // — em dash
        return 0x2015; // ―
    case 0x00A6:       // ¦
        return 0xFFE4; // ￤
    case 0x00A5:       // ¥
        return 0xFFE5; // ￥
    default:
        return 0;
    }
}

} // namespace tessera
