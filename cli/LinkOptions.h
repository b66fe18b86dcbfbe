#pragma once
// What the transfer commands (receive, send, addin) share: the link options with their
// defaults from the user's settings, and running one job to its end with a progress line,
// Ctrl+C as the progress window's Cancel, and the completion messages.

#include "cli/Command.h"
#include "link/Job.h"

#include <QString>
#include <csignal>
#include <memory>

class QCommandLineParser;

namespace tessera::cli {

// --port P --method cable|ir --bps N --echo --no-echo --trace FILE
void AddLinkOptions(QCommandLineParser& parser);
// Fills `link` from the settings store and the options given; a usage error (printed) and
// false on a bad value.
bool TakeLinkOptions(Context& ctx, JobLink& link);

// Parses a record list of 1-based positions such as "1,3-5" against `count` records into
// 0-based positions in the order given. False (with `error` set) on a bad or missing entry.
bool ParseRecordList(const QString& text, int count, std::vector<std::int32_t>& positions,
                     QString& error);

// Ctrl+C and SIGTERM call `handler` for as long as this lives; SA_RESETHAND puts the default
// action back, so a second one ends the program at once. The handler may only store atomics.
class InterruptScope {
public:
    explicit InterruptScope(void (*handler)(int));
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    struct sigaction m_int {};
    struct sigaction m_term {};
};

// Runs `job` on the worker, waits for its end and completes it. Returns the exit code:
// 0 done, 4 cancelled (Ctrl+C), 3 link or device failure, 2 when the received text could
// not be loaded.
int RunTransferJob(Context& ctx, const std::shared_ptr<TransferJob>& job,
                   const CompletionHooks& hooks);

} // namespace tessera::cli
