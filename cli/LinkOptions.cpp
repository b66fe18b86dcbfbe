#include "cli/LinkOptions.h"

#include <QCommandLineParser>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#define TESSERA_ISATTY(f) ::isatty(::fileno(f))
#elif defined(_WIN32)
#include <io.h>
#define TESSERA_ISATTY(f) ::_isatty(::_fileno(f))
#else
#define TESSERA_ISATTY(f) 0
#endif

#include "base/AppSettings.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"
#include "text/Cp932Text.h"
#include "text/StringTable.h"

namespace tessera::cli {

namespace {

// ---- Ctrl+C ----

std::atomic<TransferJob*> g_runningJob{nullptr};

extern "C" void OnInterrupt(int) {
    // Only an atomic store: safe in a signal handler. A second Ctrl+C ends the program
    // (SA_RESETHAND put the default action back).
    if (TransferJob* job = g_runningJob.load())
        job->Cancel();
}

// ---- the progress line ----

// One line on stderr, rewritten in place while a terminal watches; messages first end it.
class ProgressLine {
public:
    ProgressLine() : m_enabled(TESSERA_ISATTY(stderr) != 0) {}

    void Show(const std::string& cp932) {
        if (!m_enabled)
            return;
        std::lock_guard<std::mutex> guard(m_lock);
        const std::string text = Cp932ToUtf8(cp932);
        std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
        std::fflush(stderr);
        m_drawn = true;
    }
    void Break() {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_drawn) {
            std::fputc('\n', stderr);
            std::fflush(stderr);
            m_drawn = false;
        }
    }

private:
    std::mutex m_lock;
    bool m_enabled;
    bool m_drawn = false;
};

// Ends the progress line before a message is printed, from whichever thread shows it.
class LinePrompter : public Prompter {
public:
    LinePrompter(Prompter* inner, ProgressLine& line) : m_inner(inner), m_line(line) {}
    PromptResult Show(int id, const std::string& text, PromptIcon icon,
                      PromptButtons buttons) override {
        m_line.Break();
        std::lock_guard<std::mutex> guard(m_lock);
        return m_inner ? m_inner->Show(id, text, icon, buttons) : DefaultPromptResult(buttons);
    }

private:
    Prompter* m_inner;
    ProgressLine& m_line;
    std::mutex m_lock;
};

class CliObserver : public JobObserver {
public:
    CliObserver(ProgressLine& line, std::int64_t total) : m_line(line), m_total(total) {}

    void JobProgress(JobKind kind, std::int64_t bytes) override {
        if (kind == JobKind::Receive) {
            m_line.Show(FormatString(kMsgBytesReceived, bytes));
        } else {
            const long long percent = m_total > 0 ? bytes * 100 / m_total : 0;
            m_line.Show(FormatString(kMsgBytesSent, bytes, percent));
        }
    }
    void JobCloseRequest(JobKind) override { m_line.Break(); }
    void JobStep(int step) override { m_line.Show(LoadString(kMsgTransferring + step)); }
    void JobFinished(const std::shared_ptr<TransferJob>&) override {}

private:
    ProgressLine& m_line;
    std::int64_t m_total;
};

bool ParsePositive(const QString& text, int& value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v <= 0)
        return false;
    value = v;
    return true;
}

} // namespace

InterruptScope::InterruptScope(void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &sa, &m_int);
    sigaction(SIGTERM, &sa, &m_term);
}

InterruptScope::~InterruptScope() {
    sigaction(SIGINT, &m_int, nullptr);
    sigaction(SIGTERM, &m_term, nullptr);
}

void AddLinkOptions(QCommandLineParser& parser) {
    parser.addOption(
        {QStringLiteral("port"),
         QStringLiteral("serial port of the link (default: the configured port, else the "
                        "first serial port found, USB adapters first)"),
         QStringLiteral("P")});
    parser.addOption({QStringLiteral("method"),
                      QStringLiteral("cable or ir (default: the configured link method)"),
                      QStringLiteral("cable|ir")});
    parser.addOption({QStringLiteral("bps"),
                      QStringLiteral("cable speed in bits per second (default: the configured "
                                     "speed; infrared always runs at 9600)"),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("echo"),
                      QStringLiteral("the infrared adapter echoes what is sent: skip the echo")});
    parser.addOption({QStringLiteral("no-echo"), QStringLiteral("the adapter does not echo")});
    parser.addOption({QStringLiteral("trace"),
                      QStringLiteral("append a protocol trace of the line to FILE"),
                      QStringLiteral("FILE")});
}

bool TakeLinkOptions(Context& ctx, JobLink& link) {
    const QCommandLineParser& p = ctx.Parser();
    CAppSettings& settings = ctx.Settings();
    link.method = settings.Method;
    link.portName = settings.Port();
    link.bitsPerSecond = settings.Bps;
    link.ignoreEcho = settings.IgnoreEcho;

    if (p.isSet(QStringLiteral("port"))) {
        link.portName = p.value(QStringLiteral("port"));
        if (link.portName.isEmpty()) {
            ctx.UsageError(QStringLiteral("--port needs a port name"));
            return false;
        }
    } else if (settings.PortIsDefault()) {
        // No port configured: say which one is taken (an information line, --quiet hides it).
        bool found = false;
        CAppSettings::DefaultPort(&found);
        ShowMessage(found ? ids::kMsgDefaultPort : ids::kMsgNoPortFound, PromptIcon::Information,
                    PromptButtons::Ok, link.portName.toStdString());
    }
    if (p.isSet(QStringLiteral("method"))) {
        const QString m = p.value(QStringLiteral("method")).toLower();
        if (m == QLatin1String("cable")) {
            link.method = 1;
        } else if (m == QLatin1String("ir")) {
            link.method = 0;
        } else {
            ctx.UsageError(QStringLiteral("--method takes cable or ir"));
            return false;
        }
    }
    if (p.isSet(QStringLiteral("bps"))) {
        int bps = 0;
        bool known = ParsePositive(p.value(QStringLiteral("bps")), bps);
        if (known) {
            known = false;
            for (int choice : CAppSettings::kBpsChoices)
                known = known || choice == bps;
        }
        if (!known) {
            ctx.UsageError(QStringLiteral("--bps takes one of 300, 600, 1200, 2400, 4800, 9600, "
                                          "19200, 38400, 57600, 115200"));
            return false;
        }
        link.bitsPerSecond = bps;
    }
    const bool echo = p.isSet(QStringLiteral("echo"));
    const bool noEcho = p.isSet(QStringLiteral("no-echo"));
    if (echo && noEcho) {
        ctx.UsageError(QStringLiteral("give --echo or --no-echo, not both"));
        return false;
    }
    if (echo || noEcho)
        link.ignoreEcho = echo;
    if (p.isSet(QStringLiteral("trace")))
        link.traceFile = p.value(QStringLiteral("trace"));
    return true;
}

bool ParseRecordList(const QString& text, int count, std::vector<std::int32_t>& positions,
                     QString& error) {
    positions.clear();
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& raw : parts) {
        const QString part = raw.trimmed();
        int first = 0, last = 0;
        const qsizetype dash = part.indexOf(QLatin1Char('-'));
        const bool ok = dash < 0 ? ParsePositive(part, first) && ((last = first), true)
                                 : ParsePositive(part.left(dash), first) &&
                                       ParsePositive(part.mid(dash + 1), last);
        if (!ok || first > last) {
            error =
                QStringLiteral("'%1' is not a record number or range (such as 1,3-5)").arg(part);
            return false;
        }
        if (last > count) {
            error =
                QStringLiteral("record %1 does not exist (the file holds %2)").arg(last).arg(count);
            return false;
        }
        for (int r = first; r <= last; ++r)
            positions.push_back(r - 1);
    }
    return !positions.empty();
}

int RunTransferJob(Context& ctx, const std::shared_ptr<TransferJob>& job,
                   const CompletionHooks& hooks) {
    (void)ctx;
    ProgressLine line;
    Prompter* previous = CurrentPrompter();
    LinePrompter prompter(previous, line);
    SetPrompter(&prompter);
    CliObserver observer(line, job->TotalBytes());

    int id = 0;
    {
        g_runningJob.store(job.get());
        const struct Forget {
            ~Forget() { g_runningJob.store(nullptr); }
        } forget;
        InterruptScope interrupt(OnInterrupt);
        if (job->Kind() == JobKind::Receive)
            line.Show(LoadString(kMsgWaiting));
        CJobRunner runner;
        if (!runner.Start(job, observer)) {
            SetPrompter(previous);
            std::fprintf(stderr, "tessera-cli: the transfer could not be started\n");
            return kExitLink;
        }
        runner.WaitFinished();
        runner.Finish();
    }
    line.Break();
    id = CompleteJob(*job, observer, hooks);
    SetPrompter(previous);

    switch (job->result) {
    case kJobCompleted:
        // A receive whose text could not be loaded moved its bytes but holds bad data.
        return id == kMsgReceiveFailed ? kExitBadData : kExitOk;
    case kJobCancelled:
        return kExitCancelled;
    default:
        return kExitLink;
    }
}

} // namespace tessera::cli
