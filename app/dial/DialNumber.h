#pragma once
// Turning the telephone number typed in an editor into a dial string. Pure code page 932
// byte work, no Qt, so the rules can be checked without a display or a sound card.

#include <string>
#include <string_view>

namespace tessera {

// The dial string holds at most this many characters (it had to fit a 32-byte buffer with
// its terminator, and the telephony side still expects no more).
inline constexpr std::size_t kMaxDialNumberLength = 31;

// Converts an editor's number (code page 932) into digits and '-': ASCII digits and '-' are
// copied, full-width digits become ASCII digits, the long-vowel mark, the full-width
// hyphen-minus-like dash and the full-width minus become '-'. Any other character, a split
// double-byte character, or a result longer than kMaxDialNumberLength makes it fail; `out`
// is then left empty.
bool ConvertDialNumber(std::string_view cp932, std::string& out);

} // namespace tessera
