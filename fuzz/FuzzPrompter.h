#pragma once
// A prompter for the fuzz targets: answers from a policy the input chooses, so every path
// of the reader's questions (abort, ignore, ignore all, retry once) gets exercised, and
// counts what it was asked.

#include "model/Prompter.h"

#include <vector>

namespace tessera::fuzz {

class PolicyPrompter : public Prompter {
public:
    // Bit 0: ignore a bad value (else abort); bit 1: ignore all after it (else not);
    // bit 2: ignore a record with too many fields (else abort); bit 3: retry once first.
    explicit PolicyPrompter(unsigned policy) : m_policy(policy), m_previous(CurrentPrompter()) {
        SetPrompter(this);
    }
    ~PolicyPrompter() override { SetPrompter(m_previous); }
    PolicyPrompter(const PolicyPrompter&) = delete;
    PolicyPrompter& operator=(const PolicyPrompter&) = delete;

    PromptResult Show(int id, const std::string&, PromptIcon, PromptButtons buttons) override {
        ids.push_back(id);
        if (buttons == PromptButtons::AbortRetryIgnore) {
            if ((m_policy & 8) != 0 && !m_retried) {
                m_retried = true;
                return PromptResult::Retry;
            }
            m_retried = false;
            const unsigned bit = id == 1077 ? 4 : 1;
            return (m_policy & bit) != 0 ? PromptResult::Ignore : PromptResult::Abort;
        }
        if (buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel)
            return (m_policy & 2) != 0 ? PromptResult::Yes : PromptResult::No;
        return DefaultPromptResult(buttons);
    }

    std::vector<int> ids;

private:
    unsigned m_policy;
    bool m_retried = false;
    Prompter* m_previous;
};

} // namespace tessera::fuzz
