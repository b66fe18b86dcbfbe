#pragma once
// Helpers for the field tests: code page 932 literals from UTF-8 source text, a prompter
// that records what would have been shown, and short ways to format a field.

#include <string>
#include <string_view>
#include <vector>

#include "model/Field.h"
#include "model/Prompter.h"
#include "text/Cp932Text.h"

namespace tessera::fieldtest {

// Code page 932 bytes of a UTF-8 literal.
inline std::string J(std::string_view utf8) {
    std::string out;
    if (!Utf8ToCp932(utf8, out))
        return "<not code page 932>";
    return out;
}

inline std::string Exchange(const CField& f) {
    std::string out;
    return f.FormatText(out, false) ? out : std::string("<format failed>");
}

inline std::string Display(const CField& f) {
    std::string out;
    return f.FormatText(out, true) ? out : std::string("<format failed>");
}

class RecordingPrompter : public Prompter {
public:
    RecordingPrompter() : m_previous(CurrentPrompter()) { SetPrompter(this); }
    ~RecordingPrompter() override { SetPrompter(m_previous); }
    PromptResult Show(int id, const std::string&, PromptIcon, PromptButtons buttons) override {
        ids.push_back(id);
        return DefaultPromptResult(buttons);
    }
    std::vector<int> ids;

private:
    Prompter* m_previous;
};

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
