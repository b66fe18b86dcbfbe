#pragma once
// The command line's Prompter: prints each message in UTF-8 on stderr and answers it from
// the --answer option instead of asking, so scripted runs never wait for a person.

#include "model/Prompter.h"

#include <QString>

namespace tessera::cli {

class CliPrompter : public Prompter {
public:
    // `answer` is the button to press whenever the message offers it; otherwise the
    // message's first button. `quiet` drops messages shown with the information icon.
    explicit CliPrompter(PromptResult answer = PromptResult::Ok, bool hasAnswer = false,
                         bool quiet = false);

    PromptResult Show(int id, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override;
    // The details follow the message, one indented line each; --quiet does not drop them
    // (they are about the data, not about progress).
    PromptResult ShowWithDetails(int id, const std::string& text, PromptIcon icon,
                                 PromptButtons buttons, const std::string& detailsUtf8) override;

    // True once any message was answered with Cancel, No or Abort.
    bool Declined() const { return m_declined; }
    int Shown() const { return m_shown; }

    // Parses an --answer value ("ok", "cancel", "yes", "no", "abort", "retry", "ignore").
    static bool ParseAnswer(const QString& word, PromptResult& answer);

private:
    PromptResult m_answer;
    bool m_hasAnswer;
    bool m_quiet;
    bool m_declined = false;
    int m_shown = 0;
};

} // namespace tessera::cli
