#pragma once
// Every message to the user goes through one Prompter, set once at start-up: the GUI shows
// a message box, the command line prints to stderr and answers from its options, tests
// answer from a script. Texts are code page 932 bytes, already formatted.

#include "text/StringTable.h"

#include <string>

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
    // The same with a longer text the user may open under the message (UTF-8, one item a
    // line: it comes from outside the string table, e.g. a filter's notes). A prompter
    // with no place for it shows the message alone.
    virtual PromptResult ShowWithDetails(int id, const std::string& text, PromptIcon icon,
                                         PromptButtons buttons, const std::string& detailsUtf8) {
        (void)detailsUtf8;
        return Show(id, text, icon, buttons);
    }
};

// The process-wide prompter. Without one installed, Show answers as if the first
// button (Ok/Yes/Abort/Retry) was pressed and prints nothing. A thread inside a
// CThreadPrompterScope gets that scope's prompter instead.
Prompter* CurrentPrompter();
void SetPrompter(Prompter* prompter);

// Gives the calling thread a prompter of its own for as long as it lives, whatever the
// process-wide one is: a helper thread that must never put a question to the user answers
// through it (and learns that a question came up).
class CThreadPrompterScope {
public:
    explicit CThreadPrompterScope(Prompter* prompter);
    ~CThreadPrompterScope();
    CThreadPrompterScope(const CThreadPrompterScope&) = delete;
    CThreadPrompterScope& operator=(const CThreadPrompterScope&) = delete;

private:
    Prompter* m_previous;
};

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

// ShowMessage with a detail text (UTF-8); an empty one shows the message as ShowMessage does.
template <class... A>
PromptResult ShowMessageWithDetails(int id, PromptIcon icon, PromptButtons buttons,
                                    const std::string& detailsUtf8, const A&... args) {
    std::string text = FormatString(id, args...);
    Prompter* p = CurrentPrompter();
    if (p == nullptr)
        return DefaultPromptResult(buttons);
    return detailsUtf8.empty() ? p->Show(id, text, icon, buttons)
                               : p->ShowWithDetails(id, text, icon, buttons, detailsUtf8);
}

} // namespace tessera
