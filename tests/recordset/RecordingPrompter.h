#pragma once
// A prompter for the record-set tests: remembers every message shown and answers from a
// script, then with a fixed answer per button set.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "model/Prompter.h"

namespace tessera::test {

class RecordingPrompter : public Prompter {
public:
    RecordingPrompter() { SetPrompter(this); }
    ~RecordingPrompter() override { SetPrompter(nullptr); }

    struct Shown {
        int id;
        std::string text;
        PromptIcon icon;
        PromptButtons buttons;
    };

    PromptResult Show(int id, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override {
        shown.push_back({id, text, icon, buttons});
        if (onShow)
            onShow(id);
        if (!script.empty()) {
            PromptResult r = script.front();
            script.pop_front();
            return r;
        }
        switch (buttons) {
        case PromptButtons::AbortRetryIgnore:
            return whenUnscripted;
        case PromptButtons::YesNo:
        case PromptButtons::YesNoCancel:
            return PromptResult::No;
        case PromptButtons::OkCancel:
        case PromptButtons::Ok:
            return PromptResult::Ok;
        case PromptButtons::RetryCancel:
            return PromptResult::Cancel;
        }
        return PromptResult::Ok;
    }

    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (const auto& s : shown)
            ids.push_back(s.id);
        return ids;
    }

    std::function<void(int id)> onShow;
    std::deque<PromptResult> script;
    PromptResult whenUnscripted = PromptResult::Abort;
    std::vector<Shown> shown;
};

} // namespace tessera::test
