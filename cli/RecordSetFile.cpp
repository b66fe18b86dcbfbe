#include "cli/RecordSetFile.h"

#include "base/AppSettings.h"
#include "base/SafeSave.h"
#include "cli/CliPrompter.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "text/Cp932Text.h"

#include <QCommandLineParser>
#include <QFile>
#include <cstdio>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tessera::cli {

namespace {

// Answers the reader's questions by the --bad-values policy instead of the global
// --answer, and prints every message as the command line's prompter does.
class ReadPolicyPrompter : public Prompter {
public:
    ReadPolicyPrompter(BadValues policy, Prompter* next) : m_policy(policy), m_next(next) {}

    PromptResult Show(int id, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override {
        const bool empty = m_policy == BadValues::Empty;
        // The general notice before each bad value says nothing the next message does not.
        if (id == kMsgInvalidInput)
            return PromptResult::Ok;
        // Emptying bad values is "ignore all": the count is reported once at the end.
        if (empty && id == kMsgBadValue)
            return PromptResult::Ignore;
        if (id == kMsgIgnoreAll)
            return PromptResult::Yes;
        // A notice needs no answer: it goes the usual way, so whoever watches the messages
        // (a receive that checks its text was read cleanly) sees it.
        if (buttons == PromptButtons::Ok && m_next != nullptr)
            return m_next->Show(id, text, icon, buttons);
        PromptResult answer = DefaultPromptResult(buttons);
        if (buttons == PromptButtons::AbortRetryIgnore)
            answer = empty ? PromptResult::Ignore : PromptResult::Abort;
        CliPrompter printer(answer, true, false);
        return printer.Show(id, text, icon, buttons);
    }

private:
    BadValues m_policy;
    Prompter* m_next;
};

} // namespace

void AddReadOptions(QCommandLineParser& parser, bool withBadValues) {
    parser.addOption({QStringLiteral("conv"),
                      QStringLiteral("device character conversions to switch on while reading: "
                                     "alnum, symbol, kana (comma-separated), all or none"),
                      QStringLiteral("list")});
    if (withBadValues)
        parser.addOption({QStringLiteral("bad-values"),
                          QStringLiteral("what to do with a value its field refuses: abort "
                                         "(default) or empty"),
                          QStringLiteral("abort|empty")});
}

bool TakeTransferReadOptions(Context& ctx, ReadOptions& options) {
    const CAppSettings& settings = ctx.Settings();
    options.flags.convAlphaNumeric = settings.ConvAlphaNumeric();
    options.flags.convSymbol = settings.ConvSymbol();
    options.flags.convHiraKana = settings.ConvHiraKana();
    return TakeReadOptions(ctx, options);
}

bool TakeReadOptions(Context& ctx, ReadOptions& options, bool withBadValues) {
    const QCommandLineParser& p = ctx.Parser();
    if (p.isSet(QStringLiteral("conv"))) {
        QStringList words;
        const QStringList allowed = {QStringLiteral("alnum"), QStringLiteral("symbol"),
                                     QStringLiteral("kana"), QStringLiteral("all"),
                                     QStringLiteral("none")};
        if (!ParseWordList(p.value(QStringLiteral("conv")), allowed, words)) {
            ctx.UsageError(QStringLiteral("--conv takes alnum, symbol, kana, all or none"));
            return false;
        }
        const bool all = words.contains(QStringLiteral("all"));
        options.flags.convAlphaNumeric = all || words.contains(QStringLiteral("alnum"));
        options.flags.convSymbol = all || words.contains(QStringLiteral("symbol"));
        options.flags.convHiraKana = all || words.contains(QStringLiteral("kana"));
    }
    if (withBadValues && p.isSet(QStringLiteral("bad-values"))) {
        const QString v = p.value(QStringLiteral("bad-values"));
        if (v == QLatin1String("abort")) {
            options.badValues = BadValues::Abort;
        } else if (v == QLatin1String("empty")) {
            options.badValues = BadValues::Empty;
        } else {
            ctx.UsageError(QStringLiteral("--bad-values takes abort or empty"));
            return false;
        }
    }
    return true;
}

CRecordSet& KeptUntilExit() {
    // Reachable from this pointer to the end, so a leak checker does not count it.
    static CRecordSet* const set = new CRecordSet;
    return *set;
}

bool ReadWholeFile(const QString& path, std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
    return true;
}

bool WriteOutputFile(Context& ctx, const QString& command, const QString& path,
                     std::string_view text) {
    QString reason;
    if (SaveFileSafely(path, text, &reason))
        return true;
    ctx.Err(QStringLiteral("tessera-cli %1: cannot write '%2': %3").arg(command, path, reason));
    return false;
}

#ifdef Q_OS_UNIX
namespace {

// A mapped file that another program shortens while it is read faults (SIGBUS) at the first
// byte past its new end. The read cannot go on: say so and end as for unreadable input,
// rather than crash.
char g_mappedFault[512];
std::size_t g_mappedFaultLength = 0;

extern "C" void OnMappedFileFault(int) {
    const ssize_t written = ::write(STDERR_FILENO, g_mappedFault, g_mappedFaultLength);
    static_cast<void>(written);
    ::_exit(kExitBadData);
}

// Catches such a fault for as long as it lives.
class MappedReadGuard {
public:
    explicit MappedReadGuard(const QString& path) {
        const QByteArray text =
            QStringLiteral("tessera-cli: '%1' was changed by another program while it was read\n")
                .arg(path)
                .toLocal8Bit()
                .left(static_cast<int>(sizeof g_mappedFault));
        std::memcpy(g_mappedFault, text.constData(), static_cast<std::size_t>(text.size()));
        g_mappedFaultLength = static_cast<std::size_t>(text.size());
        struct sigaction action {};
        action.sa_handler = OnMappedFileFault;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &m_previous);
    }
    ~MappedReadGuard() { ::sigaction(SIGBUS, &m_previous, nullptr); }
    MappedReadGuard(const MappedReadGuard&) = delete;
    MappedReadGuard& operator=(const MappedReadGuard&) = delete;

private:
    struct sigaction m_previous {};
};

} // namespace
#endif

int ReadRecordFile(Context& ctx, const QString& path, const ReadOptions& options, CRecordSet& set,
                   int& emptied) {
    emptied = 0;
    // A regular file is read where it lies, mapped, rather than copied twice into the heap;
    // anything that cannot be mapped (a pipe, an empty file) is read as a whole.
    QFile file(path);
    std::string bytes;
    std::string_view text;
    bool mapped = false;
    if (file.open(QIODevice::ReadOnly) && file.size() > 0) {
        if (const uchar* at = file.map(0, file.size())) {
            text = {reinterpret_cast<const char*>(at), static_cast<std::size_t>(file.size())};
            mapped = true;
#if defined(Q_OS_UNIX) && defined(MADV_NOHUGEPAGE)
            // Small pages, so that letting go of the stretches read lets go of all of them:
            // a large page that two threads' stretches share would stay until both are done.
            ::madvise(const_cast<uchar*>(at), static_cast<std::size_t>(file.size()),
                      MADV_NOHUGEPAGE);
#endif
        }
    }
    if (!mapped) {
        file.close();
        if (!ReadWholeFile(path, bytes)) {
            ctx.Err(QStringLiteral("tessera-cli: cannot read '%1'").arg(path));
            return kExitBadData;
        }
        text = bytes;
    }
    CCodeMap map(&options.flags);
    if (!map.LoadTables()) {
        ShowMessage(ids::kMsgCharTables, PromptIcon::Stop, PromptButtons::Ok);
        return kExitBadData;
    }

    // The lines read so far leave the process's memory: the system still caches them, so
    // a mapped file costs little more than the records made from it.
    CRecordSet::ReadRelease release;
#ifdef Q_OS_UNIX
    if (mapped) {
        const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        release = [begin = reinterpret_cast<std::uintptr_t>(text.data()), page](std::size_t from,
                                                                                std::size_t to) {
            // Only the pages wholly inside the stretch: one it shares may still be read.
            const std::uintptr_t first = (begin + from + page - 1) / page * page;
            const std::uintptr_t upTo = (begin + to) / page * page;
            if (upTo > first)
                ::madvise(reinterpret_cast<void*>(first), upTo - first, MADV_DONTNEED);
        };
    }
#endif

    Prompter* previous = CurrentPrompter();
    ReadPolicyPrompter policy(options.badValues, previous);
    SetPrompter(&policy);
    bool ok = false;
    {
#ifdef Q_OS_UNIX
        std::optional<MappedReadGuard> guard;
        if (mapped)
            guard.emplace(path);
#endif
        ok = set.ReadText(text, &map, &emptied, release ? &release : nullptr);
    }
    SetPrompter(previous);
    if (!ok)
        return kExitBadData;
    if (emptied != 0)
        ShowMessage(kMsgFieldsEmptied, PromptIcon::Warning, PromptButtons::Ok, emptied);
    return kExitOk;
}

std::string JsonString(std::string_view cp932) {
    const std::string utf8 = Cp932ToUtf8(cp932);
    std::string out;
    out.reserve(utf8.size() + 2);
    out.push_back('"');
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\b':
            out += "\\b";
            break;
        default:
            if (b < 0x20 || b == 0x7F) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", b);
                out += esc;
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
    return out;
}

} // namespace tessera::cli
