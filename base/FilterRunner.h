#pragma once
// Running a registered filter program: the exact argument lists of the filter interface,
// the exit-code messages, and a process that a window can wait for without blocking (and
// cancel). Qt Core only, so the command line uses the same code as the window program.

#include "base/AppSettings.h"
#include "resources/StringIds.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace tessera {

class CCodeMap;
class CRecordSet;

enum FilterMessageId : int {
    kMsgFilterVersion = 1280,
    kMsgCannotCreateOutput = 1286,
    kMsgFilterInternal = 1289,
    kMsgExportDone = 1290,
    kMsgImportTitle = 3066,
    kMsgExportTitle = 3067,
    kMsgPerlExtension = 3073,
    kMsgDeleteFilter = 3074,
    kMsgNoExtension = 3075,
    kMsgNoProgram = 3076,
    kMsgNoFilterName = 3077,
    kMsgFilterExists = 3078,
    kMsgFilterCannotStart = 3079,
    kMsgFilterCancelled = 3080, // the user stopped the filter; nothing was changed
    kMsgFilterOverwrite = 3081, // %s exists: replace it?
    kMsgFilterBadName = 3082,   // a name with / or \ cannot be registered
    kMsgMergeKindMismatch = ids::kMsgKindMismatch,
    kMsgExportDoneNotes = 9220, // 1290 with the record count and the number of notes
    kMsgImportDoneNotes = 9221, // records imported, the number of notes
    kMsgFilterTimedOut = 9222,  // the filter did not end within %d seconds; nothing changed
    kMsgFilterMoreNotes = 9223, // "… N more" under the kept notes
    kMsgFilterStopping = 9224,  // the busy dialog while a stopped filter ends
};

// The interface version passed with -V.
inline constexpr int kFilterInterfaceVersion = 1;

// What the process is started with. The filter path and the file path are entries of their
// own, never split, so paths with spaces reach the filter whole.
struct FilterCommandLine {
    QString program;
    QStringList arguments;
};

// [-I, path, -V, 1], after "perl <script>" for a perl filter.
FilterCommandLine ImportCommandLine(const FilterProgram& filter, const QString& path);
// [-E, path, -T, kind, -V, 1], after "perl <script>" for a perl filter.
FilterCommandLine ExportCommandLine(const FilterProgram& filter, const QString& path, int kind);

// The message of an exit code: 0 for a successful import, 1290 for a successful export,
// else 1280-1289. Each side knows only its own codes; every other code is 1289.
int ImportExitMessage(int exitCode);
int ExportExitMessage(int exitCode);

// True when `path`'s program uses the perl form (".pl" in any case).
bool IsPerlScriptPath(const QString& path);
// `path` with "." + `extension` appended when the file name has no extension.
QString WithFilterExtension(const QString& path, const QString& extension);

// What a filter wrote on standard error: one note a line ("レコード 3: ...", "26 行目: ..."),
// in UTF-8 (a line that is not UTF-8 is read as code page 932, as older filters write).
// Bounded: the first kMaxLines lines within kMaxBytes are kept, later ones only counted.
class FilterNotes {
public:
    static constexpr int kMaxLines = 1000;
    static constexpr qsizetype kMaxBytes = 64 * 1024;

    void Feed(QByteArrayView bytes);
    // Takes a last line that had no line end.
    void Finish();
    void Clear();

    const QStringList& Lines() const { return m_lines; }
    int More() const { return m_more; }
    int Count() const { return static_cast<int>(m_lines.size()) + m_more; }
    // The kept lines one a line, then "… ほかに N 件" when some were left out (UTF-8;
    // empty when there are no notes): the detail text of a message.
    std::string DetailsUtf8() const;

private:
    void EndLine();

    QStringList m_lines;
    qsizetype m_bytes = 0;
    int m_more = 0;
    QByteArray m_pending;
    bool m_pendingCut = false;
};

// One run of a filter program. Import gathers standard output; export writes its input and
// closes the channel so a filter reading to the end of its input finishes. Standard error
// is read as the filter's notes. The filter runs in a process group of its own, so a
// Ctrl+C at a terminal reaches only the host, which ends the filter and whatever the filter
// started itself.
class CFilterProcess : public QObject {
    Q_OBJECT
public:
    enum class State { NotStarted, Running, Finished, FailedToStart, Crashed, Cancelled, TimedOut };
    // How long a stopped filter has to end on SIGTERM before it is killed.
    static constexpr int kGraceMs = 3000;

    explicit CFilterProcess(QObject* parent = nullptr);
    ~CFilterProcess() override;

    // Starts the program. `input` null: an import (output gathered, no input); otherwise an
    // export whose standard input gets `*input`. False when it cannot start.
    bool Start(const FilterCommandLine& command, const QByteArray* input);
    // Stop(Cancelled): the user gives up.
    void Cancel();
    // Asks a running filter to end: SIGTERM now, SIGKILL after kGraceMs or on a second
    // request. Once it has ended the state is `reason` (Cancelled or TimedOut), whatever
    // its exit code; Done is emitted then, not before.
    void Stop(State reason);
    // Stop, then waits (without an event loop) until the filter has ended.
    void StopAndWait(State reason);
    // The filter is stopped with TimedOut `seconds` from now; 0 takes the limit away.
    void SetTimeLimit(int seconds);
    int TimeLimit() const { return m_timeLimit; }
    // Waits in a local event loop until the filter has ended (no limit of its own).
    void WaitInEventLoop();

    State CurrentState() const { return m_state; }
    bool IsDone() const { return m_state != State::NotStarted && m_state != State::Running; }
    bool IsStopping() const {
        return m_state == State::Running && m_stopReason != State::NotStarted;
    }
    int ExitCode() const { return m_exitCode; }
    const QByteArray& Output() const { return m_output; }
    const FilterNotes& Notes() const { return m_notes; }
    qint64 Pid() const;

signals:
    void Done();
    // A stop was asked for; Done follows once the filter has ended.
    void Stopping();

private:
    void Finish(State state);
    void Signal(int signo);
    void TakeStandardError();

    QProcess m_process;
    QTimer m_graceTimer;
    QTimer m_limitTimer;
    State m_state = State::NotStarted;
    State m_stopReason = State::NotStarted;
    int m_exitCode = -1;
    int m_timeLimit = 0;
    qint64 m_group = 0;
    QByteArray m_output;
    FilterNotes m_notes;
};

// How a caller waits for a started filter: the window program shows its busy dialog, the
// command line waits in an event loop. It returns once the process is done (Cancel counts);
// a waiter that returns early has given up, and the filter is stopped.
using FilterWaiter = std::function<void(CFilterProcess&)>;
void WaitForFilter(CFilterProcess& process);

// The registration of `name`; false after 3079 when it cannot be read or names no program.
bool LookUpFilter(const QString& name, FilterProgram& out);

// Exports all records of `set` through `filter` into `target` (taken as given). The text
// form is made first, so no filter is left waiting when it cannot be made. The filter writes
// a new file beside the target (".NAME.tessera-PID-XXXXXX.EXT"), which replaces the target
// only when the filter exits with 0: a failed, cancelled or timed-out export leaves the
// target as it was and no file of its own behind (nor any left by a run that was killed
// outright). Shows 1290 on success (9220 with the notes in the details when the filter
// left notes), else the exit code's message, 1286, 3079, 3080, 9222 or the writer's
// message, with the notes under it.
bool RunExportFilter(const CRecordSet& set, const FilterProgram& filter, const QString& target,
                     const FilterWaiter& waiter = WaitForFilter);

// Imports `source` through `filter`: the set read from the filter's output, or null after
// the messages (exit code, 3079, 3080, 9222, the reader's messages then 1037; the notes
// under the last). 1079 when values were emptied; 9221 with the notes when there are some.
std::unique_ptr<CRecordSet> RunImportFilter(const FilterProgram& filter, const QString& source,
                                            const CCodeMap* map,
                                            const FilterWaiter& waiter = WaitForFilter);

// Merges an imported set into a document's set as pasting does: a missing or empty set
// (kind 0, no fields) takes the imported one whole; the same kind gets the records
// appended (moved out of `imported`); another kind is refused with 1031 and `current`
// stays as it was.
enum class MergeResult { Refused, TakeWhole, Appended };
MergeResult MergeImported(CRecordSet* current, CRecordSet& imported);

// ---- the bundled filters ----

struct BundledFilter {
    const char* name;      // registration name
    const char* extension; // handled extension
    const char* program;   // executable file name
};
// tsr-csv, tsr-vcard and tsr-ical with their names and extensions.
const std::vector<BundledFilter>& BundledFilters();

// Where a bundled program is: beside `appDir`, or in the build tree's filters folder.
QString FindBundledProgram(const QString& appDir, const QString& program);

// Registers the bundled filters found beside the program once per user: when the user has
// none registered and it was never done before. `settings.Installed` follows the number of
// registrations. Returns how many were registered now.
int RegisterBundledFilters(CAppSettings& settings, const QString& appDir);

// `Installed` brought in step with the registrations (the number of registered filters).
void SyncInstalledCount(CAppSettings& settings);

} // namespace tessera
