#pragma once
// Every message to the user goes through one Prompter, set once at start-up: the GUI shows
// a message box, the command line prints to stderr and answers from its options, tests
// answer from a script. Texts are code page 932 bytes, already formatted.

#include <string>

#include "resources/StringTable.h"

namespace tessera {

enum class PromptIcon { None, Stop, Warning, Information, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, AbortRetryIgnore, RetryCancel };
enum class PromptResult { Ok, Cancel, Yes, No, Abort, Retry, Ignore };

class Prompter {
public:
    virtual ~Prompter() = default;
    // Shows message `id` whose formatted text is `text` and returns the button pressed.
    virtual PromptResult Show(int id, const std::string& text, PromptIcon icon,
                              PromptButtons buttons) = 0;
};

// The process-wide prompter. Without one installed, Show answers as if the first
// button (Ok/Yes/Abort/Retry) was pressed and prints nothing.
Prompter* CurrentPrompter();
void SetPrompter(Prompter* prompter);

PromptResult DefaultPromptResult(PromptButtons buttons);

// Shows string-table entry `id`, formatted with `args`, through the current prompter.
template <class... A>
PromptResult ShowMessage(int id, PromptIcon icon, PromptButtons buttons, const A&... args) {
    std::string text = FormatString(id, args...);
    Prompter* p = CurrentPrompter();
    if (p == nullptr)
        return DefaultPromptResult(buttons);
    return p->Show(id, text, icon, buttons);
}

} // namespace tessera
