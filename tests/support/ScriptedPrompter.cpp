#include "support/ScriptedPrompter.h"

#include "text/Cp932Text.h"

#include <gtest/gtest.h>

namespace tessera::test {

std::string Utf8(const std::string& cp932) {
    return Cp932ToUtf8(cp932);
}

std::string Cp932(const std::string& utf8) {
    std::string out;
    std::size_t bad = 0;
    if (!Utf8ToCp932(utf8, out, &bad))
        ADD_FAILURE() << "text has no code page 932 form at byte " << bad << ": " << utf8;
    return out;
}

std::string ScriptedPrompter::Shown::Utf8() const {
    return test::Utf8(text);
}

ScriptedPrompter::ScriptedPrompter() : m_previous(CurrentPrompter()) {
    SetPrompter(this);
}

ScriptedPrompter::~ScriptedPrompter() {
    SetPrompter(m_previous);
    if (!m_lenient) {
        for (const auto& [id, answer] : m_script)
            ADD_FAILURE() << "message " << id << " was expected but never shown";
    }
}

ScriptedPrompter& ScriptedPrompter::Expect(int id, PromptResult answer) {
    std::lock_guard<std::mutex> g(m_lock);
    m_script.emplace_back(id, answer);
    return *this;
}

ScriptedPrompter& ScriptedPrompter::Allow(int id, PromptResult answer) {
    std::lock_guard<std::mutex> g(m_lock);
    m_allowed[id] = [answer] { return answer; };
    return *this;
}

ScriptedPrompter& ScriptedPrompter::Allow(int id, std::function<PromptResult()> answer) {
    std::lock_guard<std::mutex> g(m_lock);
    m_allowed[id] = std::move(answer);
    return *this;
}

PromptResult ScriptedPrompter::Show(int id, const std::string& text, PromptIcon icon,
                                    PromptButtons buttons) {
    std::lock_guard<std::mutex> g(m_lock);
    Shown s{id, text, icon, buttons, DefaultPromptResult(buttons)};
    if (m_onShow)
        m_onShow(s);
    if (!m_script.empty() && m_script.front().first == id) {
        s.answer = m_script.front().second;
        m_script.pop_front();
    } else if (auto it = m_allowed.find(id); it != m_allowed.end()) {
        s.answer = it->second();
    } else {
        ADD_FAILURE() << "unexpected message " << id << ": " << Cp932ToUtf8(text)
                      << (m_script.empty()
                              ? std::string()
                              : " (expected " + std::to_string(m_script.front().first) + ")");
    }
    m_shown.push_back(s);
    return s.answer;
}

std::vector<ScriptedPrompter::Shown> ScriptedPrompter::Messages() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_shown;
}

std::vector<int> ScriptedPrompter::Ids() const {
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<int> ids;
    for (const Shown& s : m_shown)
        ids.push_back(s.id);
    return ids;
}

int ScriptedPrompter::Count(int id) const {
    std::lock_guard<std::mutex> g(m_lock);
    int n = 0;
    for (const Shown& s : m_shown)
        n += s.id == id ? 1 : 0;
    return n;
}

std::size_t ScriptedPrompter::Pending() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_script.size();
}

void ScriptedPrompter::Clear() {
    std::lock_guard<std::mutex> g(m_lock);
    m_shown.clear();
}

} // namespace tessera::test
