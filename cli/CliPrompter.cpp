#include "cli/CliPrompter.h"

#include "base/Cp932.h"

#include <cstdio>

namespace tessera::cli {

namespace {

bool Offers(PromptButtons buttons, PromptResult r) {
    switch (buttons) {
    case PromptButtons::Ok:
        return r == PromptResult::Ok;
    case PromptButtons::OkCancel:
        return r == PromptResult::Ok || r == PromptResult::Cancel;
    case PromptButtons::YesNo:
        return r == PromptResult::Yes || r == PromptResult::No;
    case PromptButtons::YesNoCancel:
        return r == PromptResult::Yes || r == PromptResult::No || r == PromptResult::Cancel;
    case PromptButtons::AbortRetryIgnore:
        return r == PromptResult::Abort || r == PromptResult::Retry || r == PromptResult::Ignore;
    case PromptButtons::RetryCancel:
        return r == PromptResult::Retry || r == PromptResult::Cancel;
    }
    return false;
}

const char* IconWord(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Stop:
        return "error";
    case PromptIcon::Warning:
        return "warning";
    case PromptIcon::Information:
        return "info";
    case PromptIcon::Question:
        return "question";
    case PromptIcon::None:
        break;
    }
    return "message";
}

const char* AnswerWord(PromptResult r) {
    switch (r) {
    case PromptResult::Ok:
        return "ok";
    case PromptResult::Cancel:
        return "cancel";
    case PromptResult::Yes:
        return "yes";
    case PromptResult::No:
        return "no";
    case PromptResult::Abort:
        return "abort";
    case PromptResult::Retry:
        return "retry";
    case PromptResult::Ignore:
        return "ignore";
    }
    return "ok";
}

} // namespace

CliPrompter::CliPrompter(PromptResult answer, bool hasAnswer, bool quiet)
    : m_answer(answer), m_hasAnswer(hasAnswer), m_quiet(quiet) {}

bool CliPrompter::ParseAnswer(const QString& word, PromptResult& answer) {
    static const struct {
        const char* word;
        PromptResult result;
    } kWords[] = {{"ok", PromptResult::Ok},        {"cancel", PromptResult::Cancel},
                  {"yes", PromptResult::Yes},      {"no", PromptResult::No},
                  {"abort", PromptResult::Abort},  {"retry", PromptResult::Retry},
                  {"ignore", PromptResult::Ignore}};
    for (const auto& w : kWords) {
        if (word.compare(QLatin1String(w.word), Qt::CaseInsensitive) == 0) {
            answer = w.result;
            return true;
        }
    }
    return false;
}

PromptResult CliPrompter::Show(int id, const std::string& text, PromptIcon icon,
                               PromptButtons buttons) {
    ++m_shown;
    const PromptResult r =
        (m_hasAnswer && Offers(buttons, m_answer)) ? m_answer : DefaultPromptResult(buttons);
    if (r == PromptResult::Cancel || r == PromptResult::No || r == PromptResult::Abort)
        m_declined = true;
    if (!(m_quiet && icon == PromptIcon::Information)) {
        QByteArray utf8 = Cp932ToQString(text).toUtf8();
        std::fprintf(stderr, "tessera-cli: %s %d: %s", IconWord(icon), id, utf8.constData());
        if (buttons != PromptButtons::Ok)
            std::fprintf(stderr, " [answered %s]", AnswerWord(r));
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    return r;
}

PromptResult CliPrompter::ShowWithDetails(int id, const std::string& text, PromptIcon icon,
                                          PromptButtons buttons, const std::string& detailsUtf8) {
    const PromptResult r = Show(id, text, icon, buttons);
    std::size_t from = 0;
    while (from < detailsUtf8.size()) {
        std::size_t end = detailsUtf8.find('\n', from);
        if (end == std::string::npos)
            end = detailsUtf8.size();
        if (end > from)
            std::fprintf(stderr, "  %.*s\n", static_cast<int>(end - from),
                         detailsUtf8.data() + from);
        from = end + 1;
    }
    std::fflush(stderr);
    return r;
}

} // namespace tessera::cli
