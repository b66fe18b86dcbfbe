#include "cli/FilterCli.h"

#include "base/AppSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tessera::cli {

QString RegisteredFilterName(Context& ctx, const QString& name) {
    RegisterBundledFilters(ctx.Settings(), QCoreApplication::applicationDirPath());
    QString loose;
    for (const FilterProgram& f : CAppSettings::ReadFilters()) {
        if (f.name == name)
            return f.name;
        if (loose.isEmpty() && f.name.compare(name, Qt::CaseInsensitive) == 0)
            loose = f.name;
    }
    return loose;
}

void AddTimeoutOption(QCommandLineParser& parser) {
    parser.addOption(
        {QStringLiteral("timeout"),
         QStringLiteral("stop the filter after SECONDS (0: never; default 600 when standard "
                        "input is not a terminal, else never)"),
         QStringLiteral("SECONDS")});
}

bool TakeTimeout(Context& ctx, int& seconds) {
    if (!ctx.Parser().isSet(QStringLiteral("timeout"))) {
        seconds = isatty(STDIN_FILENO) != 0 ? 0 : kDefaultScriptTimeout;
        return true;
    }
    bool ok = false;
    const QString text = ctx.Parser().value(QStringLiteral("timeout"));
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 24 * 3600 * 365) {
        ctx.UsageError(QStringLiteral("--timeout: '%1' is not a number of seconds").arg(text));
        return false;
    }
    seconds = value;
    return true;
}

namespace {

// Signals reach the event loop through a pipe: the handler only writes a byte.
int g_signalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int signo) {
    const char byte = static_cast<char>(signo);
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

bool MakeSignalPipe() {
    if (g_signalPipe[0] >= 0)
        return true;
    if (::pipe(g_signalPipe) != 0)
        return false;
    for (int fd : g_signalPipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC); // not handed to the filter
    }
    return true;
}

// Drains the pipe; the number of signals that were waiting.
int TakeSignals() {
    int count = 0;
    char buf[16];
    ssize_t n;
    while ((n = ::read(g_signalPipe[0], buf, sizeof buf)) > 0)
        count += static_cast<int>(n);
    return count;
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handlers for the time one filter runs; the previous ones come back afterwards.
class SignalGuard {
public:
    SignalGuard() {
        m_active = MakeSignalPipe();
        if (!m_active)
            return;
        TakeSignals(); // one that came while no filter ran is not about this one
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
            sigaction(kStopSignals[i], &sa, &m_previous[i]);
            // Started with Ctrl+C or a hang-up ignored (nohup, a background job): so it stays.
            if (kStopSignals[i] != SIGTERM && m_previous[i].sa_handler == SIG_IGN)
                sigaction(kStopSignals[i], &m_previous[i], nullptr);
        }
    }
    ~SignalGuard() {
        if (!m_active)
            return;
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
            sigaction(kStopSignals[i], &m_previous[i], nullptr);
    }
    bool Active() const { return m_active; }

private:
    bool m_active = false;
    struct sigaction m_previous[std::size(kStopSignals)]{};
};

} // namespace

FilterWait::FilterWait(int timeoutSeconds) : m_shared(std::make_shared<Shared>()) {
    m_shared->timeout = timeoutSeconds;
}

FilterWaiter FilterWait::Waiter() {
    std::shared_ptr<Shared> shared = m_shared;
    return [shared](CFilterProcess& process) {
        SignalGuard guard;
        std::unique_ptr<QSocketNotifier> notifier;
        if (guard.Active()) {
            notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, &process, [&process] {
                for (int n = TakeSignals(); n > 0; --n)
                    process.Cancel(); // the first asks it to end, the next one kills it
            });
        }
        process.SetTimeLimit(shared->timeout);
        process.WaitInEventLoop();
        shared->cancelled = process.CurrentState() == CFilterProcess::State::Cancelled;
    };
}

int FilterWait::ExitCode(bool ok) const {
    if (ok)
        return kExitOk;
    return m_shared->cancelled ? kExitCancelled : kExitBadData;
}

} // namespace tessera::cli
