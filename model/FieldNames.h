#pragma once
// Field tags and their display names.
// A tag is four ASCII characters packed big-endian into 32 bits ("NAME" is 0x4E414D45).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessera {

using FieldTag = std::uint32_t;

// Packs the first four characters of `text` (missing ones count as NUL).
constexpr FieldTag MakeTag(std::string_view text) {
    FieldTag tag = 0;
    for (std::size_t i = 0; i < 4; ++i)
        tag = (tag << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return tag;
}

// The four characters of `tag`.
std::string TagText(FieldTag tag);

// The number of tags with a display name, and the i-th of them (string 7168 + i names it).
inline constexpr int kNamedTagCount = 35;
inline constexpr int kFieldNameFirstId = 7168;
FieldTag NamedTagAt(int i);

// Code page 932 display name of `tag` in the language of this run (the window's column
// heads, the editors' labels); empty when the tag has none.
const std::string& FieldDisplayName(FieldTag tag);

// The title of `tag` as files and the device carry it (the header line's titles): the
// built-in Japanese name, whatever the language. Empty when the tag has none.
const std::string& FieldStoredTitle(FieldTag tag);

} // namespace tessera
