#pragma once
// Small helpers for writing code page 932 test texts in UTF-8 source.

#include "support/ScriptedPrompter.h"
#include "text/Cp932Text.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace tessera::test {

// The code page 932 bytes of a UTF-8 literal (short for the shared Cp932()).
inline std::string J(std::string_view utf8) {
    return Cp932(std::string(utf8));
}

// A text form line: a first value and quoted further values ("" written as a bare comma),
// without the line end.
inline std::string Line(std::string_view head, std::initializer_list<std::string_view> values) {
    std::string out = "\"" + std::string(head) + "\"";
    for (std::string_view v : values) {
        out += ',';
        if (!v.empty())
            out += "\"" + std::string(v) + "\"";
    }
    return out;
}

} // namespace tessera::test
