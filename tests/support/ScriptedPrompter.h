#pragma once
// A Prompter for tests: records every message shown (id, formatted text, icon, buttons)
// and answers from a script. A message the script does not expect fails the test.
// Installs itself as the current prompter for its lifetime.

#include "model/Prompter.h"

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tessera::test {

class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        int id = 0;
        std::string text; // code page 932
        PromptIcon icon = PromptIcon::None;
        PromptButtons buttons = PromptButtons::Ok;
        PromptResult answer = PromptResult::Ok;
        std::string Utf8() const;
    };

    ScriptedPrompter();
    ~ScriptedPrompter() override;
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    // The next message must be `id`; it is answered with `answer`.
    ScriptedPrompter& Expect(int id, PromptResult answer = PromptResult::Ok);
    // Message `id` may come any number of times, whenever no scripted one is due first.
    ScriptedPrompter& Allow(int id, PromptResult answer = PromptResult::Ok);
    // The same, answering each time with what `answer` returns.
    ScriptedPrompter& Allow(int id, std::function<PromptResult()> answer);
    // Called with every message as it is shown (before it is answered), e.g. to look at the
    // state of the code that asks.
    void OnShow(std::function<void(const Shown&)> hook) { m_onShow = std::move(hook); }
    // With this set, the destructor does not complain about expected messages not shown.
    void SetLenient(bool lenient) { m_lenient = lenient; }

    PromptResult Show(int id, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override;

    std::vector<Shown> Messages() const;
    std::vector<int> Ids() const;
    int Count(int id) const;
    std::size_t Pending() const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::deque<std::pair<int, PromptResult>> m_script;
    std::map<int, std::function<PromptResult()>> m_allowed;
    std::function<void(const Shown&)> m_onShow;
    std::vector<Shown> m_shown;
    Prompter* m_previous = nullptr;
    bool m_lenient = false;
};

// UTF-8 of a code page 932 text, for readable comparisons in tests.
std::string Utf8(const std::string& cp932);
// Code page 932 of a UTF-8 literal; fails the test when it cannot be converted.
std::string Cp932(const std::string& utf8);

} // namespace tessera::test
