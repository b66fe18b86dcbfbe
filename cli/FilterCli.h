#pragma once
// What import, export and filters share on the command line: finding a registered filter by
// name, the --timeout option, and waiting for a filter with Ctrl+C (and SIGTERM, SIGHUP)
// as the window's Cancel.

#include "base/FilterRunner.h"
#include "cli/Command.h"

#include <QString>
#include <memory>

class QCommandLineParser;

namespace tessera::cli {

// The registered name that matches `name`, exactly or else without regard to case; empty
// when none does. The first run of either program registers the bundled filters, so a user
// who only ever runs tessera-cli has them too.
QString RegisteredFilterName(Context& ctx, const QString& name);

// Scripts that hang must not wait for ever: without --timeout, a run whose standard input
// is not a terminal gets this limit.
inline constexpr int kDefaultScriptTimeout = 600;

// --timeout SECONDS (0: no limit).
void AddTimeoutOption(QCommandLineParser& parser);
// The limit in seconds (0 none): --timeout, else kDefaultScriptTimeout when standard input
// is not a terminal, else none. False after a usage error on a bad value.
bool TakeTimeout(Context& ctx, int& seconds);

// Waits for a filter in an event loop with the time limit; SIGINT, SIGTERM and SIGHUP stop
// it (a second one kills it at once) instead of ending tessera-cli and leaving it running.
class FilterWait {
public:
    explicit FilterWait(int timeoutSeconds);
    FilterWaiter Waiter();
    // The exit code of a run that returned `ok`: 0, 4 when a signal stopped the filter
    // (as Ctrl+C gives 4 in the transfers), else 2.
    int ExitCode(bool ok) const;

private:
    struct Shared {
        int timeout = 0;
        bool cancelled = false;
    };
    std::shared_ptr<Shared> m_shared;
};

} // namespace tessera::cli
