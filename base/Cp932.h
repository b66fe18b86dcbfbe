#pragma once
// Code page 932 <-> QString at the edges (table cells, editors, message boxes, CLI output).
// Codes that code page 932 leaves undefined (device-only characters the character map did
// not convert, stray bytes) decode to the private-use character U+F0000 + code and encode
// back to the same bytes, so showing or editing a record never loses them.

#include <QString>
#include <string>
#include <string_view>

namespace tessera {

QString Cp932ToQString(std::string_view bytes);

// For showing only (table cells): as Cp932ToQString, but each device-only code appears as
// the placeholder "〓", which every Japanese font draws, instead of a private-use
// character that most fonts draw as nothing at all.
QString Cp932ToDisplayString(std::string_view bytes);

// Encodes `text`; false when a character has no code page 932 code (nothing is replaced
// silently). `badIndex` then receives the index of that character in `text`. Characters
// with a code page 932 twin under another code point (〜 − ‖ ¢ £ ¬ — ¦ ¥, see
// text/Cp932Twins.h) take their twin's code: editors, clipboard and import all come here.
bool QStringToCp932(const QString& text, std::string& out, qsizetype* badIndex = nullptr);

// Convenience for texts known to be representable (the program's own); unrepresentable
// characters become '?'.
std::string QStringToCp932Lossy(const QString& text);

// True when `c` (a UCS-4 code point) stands for a device-only code; views show a
// placeholder for it. `code` receives that code.
bool IsDeviceCodeChar(char32_t c, unsigned* code = nullptr);

} // namespace tessera
