#include "model/Prompter.h"

#include <atomic>

namespace tessera {

namespace {
std::atomic<Prompter*> g_prompter{nullptr};
}

Prompter* CurrentPrompter() {
    return g_prompter.load(std::memory_order_acquire);
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
