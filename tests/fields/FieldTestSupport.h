#pragma once
// Helpers for the field tests: code page 932 literals from UTF-8 source text and short ways
// to format a field.

#include "model/Field.h"
#include "model/Prompter.h"
#include "support/ScriptedPrompter.h"
#include "text/Cp932Text.h"

#include <string>
#include <string_view>

namespace tessera::fieldtest {

// Code page 932 bytes of a UTF-8 literal (short for the shared Cp932()).
inline std::string J(std::string_view utf8) {
    return test::Cp932(std::string(utf8));
}

inline std::string Exchange(const CField& f) {
    std::string out;
    return f.FormatText(out, false) ? out : std::string("<format failed>");
}

inline std::string Display(const CField& f) {
    std::string out;
    return f.FormatText(out, true) ? out : std::string("<format failed>");
}

// Restores a string-table entry and the loaded mark strings when a test ends.
class StringOverride {
public:
    StringOverride(int id, std::string text) : m_id(id), m_saved(LoadString(id)) {
        OverrideString(id, std::move(text));
        ReloadMarkStrings();
    }
    ~StringOverride() {
        OverrideString(m_id, m_saved);
        ReloadMarkStrings();
    }

private:
    int m_id;
    std::string m_saved;
};

} // namespace tessera::fieldtest
