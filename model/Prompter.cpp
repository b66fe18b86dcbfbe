#include "model/Prompter.h"

#include <atomic>

namespace tessera {

namespace {
std::atomic<Prompter*> g_prompter{nullptr};
thread_local Prompter* t_prompter = nullptr;
} // namespace

Prompter* CurrentPrompter() {
    if (t_prompter != nullptr)
        return t_prompter;
    return g_prompter.load(std::memory_order_acquire);
}

CThreadPrompterScope::CThreadPrompterScope(Prompter* prompter) : m_previous(t_prompter) {
    t_prompter = prompter;
}

CThreadPrompterScope::~CThreadPrompterScope() {
    t_prompter = m_previous;
}

void SetPrompter(Prompter* prompter) {
    g_prompter.store(prompter, std::memory_order_release);
}

PromptResult DefaultPromptResult(PromptButtons buttons) {
    switch (buttons) {
    case PromptButtons::Ok:
    case PromptButtons::OkCancel:
        return PromptResult::Ok;
    case PromptButtons::YesNo:
    case PromptButtons::YesNoCancel:
        return PromptResult::Yes;
    case PromptButtons::AbortRetryIgnore:
        return PromptResult::Abort;
    case PromptButtons::RetryCancel:
        return PromptResult::Retry;
    }
    return PromptResult::Ok;
}

} // namespace tessera
