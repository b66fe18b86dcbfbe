#pragma once
// The string table: every message and label text of Tessera by id, as code page 932 bytes.
// The table is written in UTF-8 (strings.txt) and converted at build time, so a lookup
// costs no conversion. A resource pack may override entries at start-up.

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace tessera {

// Code page 932 text of `id`; an empty string when the table has no such id.
const std::string& LoadString(int id);
bool HasString(int id);

// Replaces or adds entries (code page 932 texts). Used by the resource pack.
void OverrideString(int id, std::string text);

// Loads a resource pack: a UTF-8 text file in the same format as the built-in table
// ("ID<TAB>text" lines with C escapes). Returns the number of entries taken, -1 when the
// file cannot be read.
int LoadResourcePack(const std::string& path);

// The built-in (Japanese) text of `id`, whatever a pack has put over it: texts that are
// stored in files or sent to the device (field titles of the header line) are always these.
const std::string& BuiltInString(int id);

// Drops every override: the table holds the built-in texts again (a language change
// within one process, as the tests make).
void RestoreBuiltInStrings();

using FormatArg = std::variant<long long, std::string>;

// printf-style formatting of a code page 932 text: %d %i %u %x %X %c %s %% (with optional
// flags, width and precision); missing arguments format as empty / 0, extra ones are ignored.
std::string FormatText(std::string_view format, const std::vector<FormatArg>& args);

namespace detail {
inline FormatArg ToFormatArg(const std::string& s) {
    return s;
}
inline FormatArg ToFormatArg(std::string_view s) {
    return std::string(s);
}
inline FormatArg ToFormatArg(const char* s) {
    return std::string(s ? s : "");
}
template <class T>
inline FormatArg ToFormatArg(const T& v) requires std::is_integral_v<T> || std::is_enum_v<T> {
    return static_cast<long long>(v);
}
} // namespace detail

template <class... A> std::string FormatString(int id, const A&... args) {
    return FormatText(LoadString(id), {detail::ToFormatArg(args)...});
}

} // namespace tessera

namespace tessera {

// Id spaces of the table besides the plain string ids.
inline constexpr int kFixedTextBase = 9000;     // texts without an id of their own
inline constexpr int kControlTextBase = 100000; // + control id: caption of a dialog control
inline constexpr int kDialogTitleBase = 110000; // + dialog id: title of a dialog or page

} // namespace tessera
