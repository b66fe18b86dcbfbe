#pragma once
// Content lines of vCard and iCalendar (RFC 6350 / 5545): text escaping, folding at 75
// octets without splitting a UTF-8 character, CR LF line ends, and the reading side
// (unfolding, names, parameters, values).

#include "filters/FilterKit.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tessera::filters {

struct ContentLine {
    std::string name;                                       // upper case
    std::map<std::string, std::vector<std::string>> params; // names upper case
    std::string value;                                      // still escaped
    int lineNo = 0;
    std::string group; // "ITEM1" of "item1.EMAIL", upper case; empty without one

    // The first value of parameter `name` (upper case); empty when it is missing or bare.
    std::string Param(std::string_view name) const;
    // The ENCODING in upper case, also vCard 2.1's bare QUOTED-PRINTABLE / BASE64 words.
    std::string Encoding() const;

    // True when a parameter (or, vCard 2.1 style, a bare parameter word) holds `word`
    // without regard to case, e.g. HasType("FAX") for TYPE=fax or TYPE=WORK,FAX.
    bool HasType(std::string_view word) const;
};

// Escapes a text value: backslash, comma, semicolon and line breaks.
std::string EscapeText(std::string_view text);
// Undoes EscapeText; "\n" and "\N" become CR LF.
std::string UnescapeText(std::string_view text);
// Splits a structured value at unescaped `sep`, each part unescaped.
std::vector<std::string> SplitStructured(std::string_view value, char sep);

// Appends "line" folded to lines of at most 75 octets, each ended with CR LF.
void AppendFolded(std::string& out, std::string_view line);

// Decodes quoted-printable: "=XX" a byte, "=" at a line end a soft break.
std::string DecodeQuotedPrintable(std::string_view value);

// Unfolds and splits a whole file. A quoted-printable value that ends in "=" goes on on
// the next line, and the bare lines of a vCard 2.1 BASE64 value belong to it. False with 11 for a
// line without a colon.
bool ParseContentLines(std::string_view text, std::vector<ContentLine>& out, Failure& failure);

std::string ToUpperAscii(std::string_view text);

} // namespace tessera::filters
