#pragma once
// Running a registered filter program: the exact argument lists of the filter interface,
// the exit-code messages, and a process that a window can wait for without blocking (and
// cancel). Qt Core only, so the command line uses the same code as the window program.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "app/core/AppSettings.h"

namespace tessera {

class CCodeMap;
class CRecordSet;

enum FilterMessageId : int {
    kMsgFilterVersion = 1280,
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
    kMsgMergeKindMismatch = 1031,
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

// One run of a filter program. Import gathers standard output; export writes its input and
// closes the channel so a filter reading to the end of its input finishes.
class CFilterProcess : public QObject {
    Q_OBJECT
public:
    enum class State { NotStarted, Running, Finished, FailedToStart, Crashed, Cancelled };

    explicit CFilterProcess(QObject* parent = nullptr);
    ~CFilterProcess() override;

    // Starts the program. `input` null: an import (output gathered, no input); otherwise an
    // export whose standard input gets `*input`. False when it cannot start.
    bool Start(const FilterCommandLine& command, const QByteArray* input);
    // Kills a running filter; the state becomes Cancelled.
    void Cancel();
    // Waits in a local event loop until the filter has ended (no time limit).
    void WaitInEventLoop();

    State CurrentState() const { return m_state; }
    bool IsDone() const { return m_state != State::NotStarted && m_state != State::Running; }
    int ExitCode() const { return m_exitCode; }
    const QByteArray& Output() const { return m_output; }
    qint64 Pid() const;

signals:
    void Done();

private:
    void Finish(State state);

    QProcess m_process;
    State m_state = State::NotStarted;
    int m_exitCode = -1;
    QByteArray m_output;
};

// How a caller waits for a started filter: the window program shows its busy dialog, the
// command line waits in an event loop. It returns once the process is done (Cancel counts).
using FilterWaiter = std::function<void(CFilterProcess&)>;
void WaitForFilter(CFilterProcess& process);

// The registration of `name`; false after 3079 when it cannot be read or names no program.
bool LookUpFilter(const QString& name, FilterProgram& out);

// Exports all records of `set` through `filter` into `target` (taken as given). The text
// form is made first, so no filter is left waiting when it cannot be made. Shows 1290 on
// success, the exit code's message, 3079, 3080 or the writer's message otherwise. A failed
// or cancelled export leaves `target` as it was (removed when it did not exist).
bool RunExportFilter(const CRecordSet& set, const FilterProgram& filter, const QString& target,
                     const FilterWaiter& waiter = WaitForFilter);

// Imports `source` through `filter`: the set read from the filter's output, or null after
// the messages (exit code, 3079, 3080, the reader's messages then 1037). 1079 when values
// were emptied.
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
