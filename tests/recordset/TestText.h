#pragma once
// Small helpers for writing code page 932 test texts in UTF-8 source.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "text/Cp932Text.h"

namespace tessera::test {

// The code page 932 bytes of a UTF-8 literal.
inline std::string J(std::string_view utf8) {
    std::string out;
    EXPECT_TRUE(Utf8ToCp932(utf8, out)) << utf8;
    return out;
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
