#include "base/FilterRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <map>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "base/Cp932.h"
#include "model/Prompter.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"

namespace tessera {

namespace {

const QString kBundledDoneKey = QStringLiteral("Filters/BundledRegistered");

FilterCommandLine WithProgram(const FilterProgram& filter, QStringList arguments) {
    FilterCommandLine line;
    if (filter.perlScript) {
        line.program = QStringLiteral("perl");
        arguments.prepend(filter.program);
    } else {
        line.program = filter.program;
    }
    line.arguments = std::move(arguments);
    return line;
}

void ShowStop(int id) {
    ShowMessage(id, PromptIcon::Stop, PromptButtons::Ok);
}

} // namespace

FilterCommandLine ImportCommandLine(const FilterProgram& filter, const QString& path) {
    return WithProgram(filter, {QStringLiteral("-I"), path, QStringLiteral("-V"),
                                QString::number(kFilterInterfaceVersion)});
}

FilterCommandLine ExportCommandLine(const FilterProgram& filter, const QString& path, int kind) {
    return WithProgram(filter,
                       {QStringLiteral("-E"), path, QStringLiteral("-T"), QString::number(kind),
                        QStringLiteral("-V"), QString::number(kFilterInterfaceVersion)});
}

int ImportExitMessage(int exitCode) {
    static const std::map<int, int> table = {{0, 0},     {1, 1280},  {2, 1281}, {3, 1282},
                                             {10, 1283}, {11, 1284}, {19, 1285}};
    const auto it = table.find(exitCode);
    return it != table.end() ? it->second : kMsgFilterInternal;
}

int ExportExitMessage(int exitCode) {
    static const std::map<int, int> table = {{0, kMsgExportDone}, {1, 1280},  {2, 1281}, {3, 1282},
                                             {20, 1286},          {21, 1287}, {29, 1288}};
    const auto it = table.find(exitCode);
    return it != table.end() ? it->second : kMsgFilterInternal;
}

bool IsPerlScriptPath(const QString& path) {
    return path.endsWith(Cp932ToQString(LoadString(kMsgPerlExtension)), Qt::CaseInsensitive);
}

QString WithFilterExtension(const QString& path, const QString& extension) {
    if (!QFileInfo(path).suffix().isEmpty() || extension.isEmpty())
        return path;
    return path.endsWith(QLatin1Char('.')) ? path + extension : path + QLatin1Char('.') + extension;
}

// ---- FilterNotes ----

namespace {

QString DecodeNote(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(line);
    if (utf8.hasError())
        text = Cp932ToQString(
            std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
    // A note is one line of text: no control characters reach a message box or a terminal.
    for (QChar& c : text)
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return text;
}

} // namespace

void FilterNotes::Feed(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView piece = end < 0 ? bytes : bytes.first(end);
        // A line longer than everything that is kept is cut; the rest of it is skipped.
        const qsizetype room = kMaxBytes - m_pending.size();
        if (piece.size() > room)
            m_pendingCut = true;
        m_pending.append(piece.first(std::min(piece.size(), room)));
        if (end < 0)
            return;
        EndLine();
        bytes = bytes.sliced(end + 1);
    }
}

void FilterNotes::Finish() {
    if (!m_pending.isEmpty())
        EndLine();
}

void FilterNotes::Clear() {
    *this = FilterNotes();
}

void FilterNotes::EndLine() {
    QByteArray line = std::move(m_pending);
    const bool cut = m_pendingCut;
    m_pending = QByteArray();
    m_pendingCut = false;
    if (cut) // do not leave half a UTF-8 character at the cut
        while (!line.isEmpty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80)
            line.chop(1);
    if (cut && !line.isEmpty() && (static_cast<unsigned char>(line.back()) & 0x80) != 0)
        line.chop(1);
    if (line.trimmed().isEmpty())
        return;
    if (m_lines.size() >= kMaxLines || m_bytes + line.size() > kMaxBytes) {
        ++m_more;
        return;
    }
    m_bytes += line.size();
    QString text = DecodeNote(line).trimmed();
    if (cut)
        text += QChar(0x2026);
    m_lines.append(text);
}

std::string FilterNotes::DetailsUtf8() const {
    QString text = m_lines.join(QLatin1Char('\n'));
    if (m_more > 0)
        text += QLatin1Char('\n') + Cp932ToQString(FormatString(kMsgFilterMoreNotes, m_more));
    return text.toStdString();
}

// ---- CFilterProcess ----

CFilterProcess::CFilterProcess(QObject* parent) : QObject(parent) {
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
#ifdef Q_OS_UNIX
    // A group of its own: the terminal's Ctrl+C reaches the host only, and a stop reaches
    // everything the filter started (a script's own children included).
    m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    m_graceTimer.setSingleShot(true);
    m_limitTimer.setSingleShot(true);
    connect(&m_graceTimer, &QTimer::timeout, this, [this] { Signal(SIGKILL); });
    connect(&m_limitTimer, &QTimer::timeout, this, [this] { Stop(State::TimedOut); });
    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            [this] { m_output += m_process.readAllStandardOutput(); });
    connect(&m_process, &QProcess::readyReadStandardError, this, [this] { TakeStandardError(); });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && m_state == State::Running)
            Finish(State::FailedToStart);
        // A write error means the filter stopped reading; its exit code tells the rest.
    });
    connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (m_state != State::Running)
            return;
        m_output += m_process.readAllStandardOutput();
        TakeStandardError();
        m_notes.Finish();
        m_exitCode = code;
        if (m_stopReason != State::NotStarted) {
            Signal(SIGKILL); // whatever the filter started and left behind
            Finish(m_stopReason);
        } else {
            Finish(status == QProcess::CrashExit ? State::Crashed : State::Finished);
        }
    });
}

CFilterProcess::~CFilterProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        Signal(SIGKILL);
        m_process.waitForFinished(5000);
    }
}

bool CFilterProcess::Start(const FilterCommandLine& command, const QByteArray* input) {
    m_output.clear();
    m_notes.Clear();
    m_exitCode = -1;
    m_stopReason = State::NotStarted;
    m_group = 0;
    m_state = State::Running;
    m_process.setProgram(command.program);
    m_process.setArguments(command.arguments);
    if (input == nullptr)
        m_process.setStandardInputFile(QProcess::nullDevice());
    else
        m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QIODevice::ReadWrite);
    if (!m_process.waitForStarted(-1)) {
        if (m_state == State::Running)
            Finish(State::FailedToStart);
        return false;
    }
    m_group = m_process.processId();
    if (m_timeLimit > 0)
        m_limitTimer.start(m_timeLimit * 1000);
    if (input != nullptr) {
        m_process.write(*input);
        // End of input: a filter reading to the end of its input can finish.
        m_process.closeWriteChannel();
    }
    return true;
}

void CFilterProcess::Cancel() {
    Stop(State::Cancelled);
}

void CFilterProcess::Stop(State reason) {
    if (m_state != State::Running)
        return;
    if (m_stopReason != State::NotStarted) { // asked again: no more waiting
        Signal(SIGKILL);
        return;
    }
    m_stopReason = reason;
    m_limitTimer.stop();
    Signal(SIGTERM);
    m_graceTimer.start(kGraceMs);
    emit Stopping();
}

void CFilterProcess::StopAndWait(State reason) {
    Stop(reason);
    if (m_state == State::Running && !m_process.waitForFinished(kGraceMs)) {
        Signal(SIGKILL);
        m_process.waitForFinished(10000);
    }
    if (m_state == State::Running) // not reaped in time: it is killed, do not wait on
        Finish(m_stopReason);
}

void CFilterProcess::SetTimeLimit(int seconds) {
    m_timeLimit = std::max(seconds, 0);
    m_limitTimer.stop();
    if (m_timeLimit > 0 && m_state == State::Running && m_stopReason == State::NotStarted)
        m_limitTimer.start(m_timeLimit * 1000);
}

void CFilterProcess::WaitInEventLoop() {
    if (IsDone())
        return;
    QEventLoop loop;
    connect(this, &CFilterProcess::Done, &loop, &QEventLoop::quit);
    if (!IsDone())
        loop.exec();
}

qint64 CFilterProcess::Pid() const {
    return m_process.processId();
}

void CFilterProcess::Finish(State state) {
    m_graceTimer.stop();
    m_limitTimer.stop();
    m_state = state;
    emit Done();
}

void CFilterProcess::Signal(int signo) {
    if (m_group <= 0)
        return;
#ifdef Q_OS_UNIX
    // The whole group; the filter itself when it could not make one.
    if (::kill(static_cast<pid_t>(-m_group), signo) != 0 &&
        m_process.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(m_group), signo);
#else
    if (m_process.state() != QProcess::NotRunning)
        signo == SIGKILL ? m_process.kill() : m_process.terminate();
#endif
}

void CFilterProcess::TakeStandardError() {
    m_notes.Feed(m_process.readAllStandardError());
}

void WaitForFilter(CFilterProcess& process) {
    process.WaitInEventLoop();
}

// ---- import and export ----

bool LookUpFilter(const QString& name, FilterProgram& out) {
    if (!CAppSettings::ReadFilter(name, out) || out.program.isEmpty()) {
        ShowStop(kMsgFilterCannotStart);
        return false;
    }
    return true;
}

namespace {

void ShowStop(int id, const std::string& details) {
    ShowMessageWithDetails(id, PromptIcon::Stop, PromptButtons::Ok, details);
}

// Starts and waits; false after 3079, 3080, 9222 or 1289 (a crash). `process` then holds
// the exit code.
bool RunToEnd(CFilterProcess& process, const FilterCommandLine& command, const QByteArray* input,
              const FilterWaiter& waiter) {
    if (!process.Start(command, input)) {
        ShowStop(kMsgFilterCannotStart);
        return false;
    }
    waiter(process);
    if (!process.IsDone())
        process.StopAndWait(CFilterProcess::State::Cancelled);
    const std::string notes = process.Notes().DetailsUtf8();
    switch (process.CurrentState()) {
    case CFilterProcess::State::FailedToStart:
        ShowStop(kMsgFilterCannotStart, notes);
        return false;
    case CFilterProcess::State::Cancelled:
        ShowMessageWithDetails(kMsgFilterCancelled, PromptIcon::Warning, PromptButtons::Ok, notes);
        return false;
    case CFilterProcess::State::TimedOut:
        ShowMessageWithDetails(kMsgFilterTimedOut, PromptIcon::Stop, PromptButtons::Ok, notes,
                               process.TimeLimit());
        return false;
    case CFilterProcess::State::Crashed:
        ShowStop(kMsgFilterInternal, notes);
        return false;
    default:
        return true;
    }
}

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

bool ProcessAlive(qint64 pid) {
#ifdef Q_OS_UNIX
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
#else
    (void)pid;
    return true;
#endif
}

// The files an export to `target` writes first: ".NAME.tessera-PID-XXXXXX.EXT", hidden, in
// the target's folder (so the rename that replaces the target stays on one file system),
// with the target's extension for filters that go by it.
// The name is cut so that a long one still leaves room in the folder's name limit.
QString TempPrefix(const QFileInfo& target) {
    return QLatin1Char('.') + target.fileName().left(64) + QStringLiteral(".tessera-");
}
QString TempSuffix(const QFileInfo& target) {
    return target.suffix().isEmpty() ? QString() : QLatin1Char('.') + target.suffix().left(32);
}

// Removes what a run that was killed outright left of an export to `target`: files of the
// pattern whose program has gone.
void RemoveStaleTemps(const QFileInfo& target) {
    const QRegularExpression pattern(
        QLatin1Char('^') + QRegularExpression::escape(TempPrefix(target)) +
        QStringLiteral("(\\d+)-[A-Za-z0-9]{6}") + QRegularExpression::escape(TempSuffix(target)) +
        QLatin1Char('$'));
    const QDir dir = target.absoluteDir();
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch() && !ProcessAlive(m.captured(1).toLongLong()))
            QFile::remove(dir.filePath(name));
    }
}

// Makes an empty file of the pattern beside `target`; its path, or empty when the folder
// takes no new file.
QString MakeTemp(const QFileInfo& target) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QString head = target.absoluteDir().filePath(TempPrefix(target)) +
                         QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-');
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString tag;
        for (int i = 0; i < 6; ++i)
            tag += QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))]);
        const QString path = head + tag + TempSuffix(target);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!QFileInfo::exists(path))
            return {}; // not a name clash: the folder itself refuses
    }
    return {};
}

// Puts the filter's finished file in the target's place in one step; the target keeps its
// permissions.
bool ReplaceTarget(const QString& temp, const QFileInfo& target) {
    if (target.exists())
        QFile::setPermissions(temp, target.permissions());
    return std::rename(Native(temp).constData(), Native(target.absoluteFilePath()).constData()) ==
           0;
}

} // namespace

bool RunExportFilter(const CRecordSet& set, const FilterProgram& filter, const QString& target,
                     const FilterWaiter& waiter) {
    std::string text;
    try {
        if (!set.WriteTextToString(text))
            return false; // the writer has shown its message
    } catch (const std::bad_alloc&) {
        ShowStop(kMsgNoMemory);
        return false;
    }
    const QByteArray input(text.data(), static_cast<qsizetype>(text.size()));
    text = std::string();

    // Through a link, the file it names is the one replaced.
    QFileInfo where(target);
    if (where.isSymLink())
        where = QFileInfo(where.symLinkTarget());
    // A folder or a read-only file in the way refuses the export, as it refused a filter
    // writing there itself.
    if (where.isDir() || (where.exists() && !where.isWritable())) {
        ShowStop(kMsgCannotCreateOutput);
        return false;
    }
    RemoveStaleTemps(where);
    const QString temp = MakeTemp(where);
    if (temp.isEmpty()) {
        ShowStop(kMsgCannotCreateOutput);
        return false;
    }

    CFilterProcess process;
    if (!RunToEnd(process, ExportCommandLine(filter, temp, set.Kind()), &input, waiter)) {
        QFile::remove(temp);
        return false;
    }
    const std::string notes = process.Notes().DetailsUtf8();
    if (process.ExitCode() != 0) {
        QFile::remove(temp);
        ShowStop(ExportExitMessage(process.ExitCode()), notes);
        return false;
    }
    if (!ReplaceTarget(temp, where)) {
        QFile::remove(temp);
        ShowStop(kMsgCannotCreateOutput, notes);
        return false;
    }
    const std::string shownTarget = QStringToCp932Lossy(target);
    if (process.Notes().Count() > 0)
        ShowMessageWithDetails(kMsgExportDoneNotes, PromptIcon::Information, PromptButtons::Ok,
                               notes, shownTarget, set.RecordCount(), process.Notes().Count());
    else
        ShowMessage(kMsgExportDone, PromptIcon::Information, PromptButtons::Ok, shownTarget);
    return true;
}

std::unique_ptr<CRecordSet> RunImportFilter(const FilterProgram& filter, const QString& source,
                                            const CCodeMap* map, const FilterWaiter& waiter) {
    CFilterProcess process;
    if (!RunToEnd(process, ImportCommandLine(filter, source), nullptr, waiter))
        return nullptr;
    const std::string notes = process.Notes().DetailsUtf8();
    if (process.ExitCode() != 0) {
        ShowStop(ImportExitMessage(process.ExitCode()), notes);
        return nullptr;
    }
    std::unique_ptr<CRecordSet> set;
    int errors = 0;
    bool ok = false;
    try {
        QByteArray bytes = process.Output();
        bytes.append('\x1A');
        set = std::make_unique<CRecordSet>();
        ok = set->ReadText(bytes.constData(), static_cast<std::size_t>(bytes.size()), map, &errors);
    } catch (const std::bad_alloc&) {
        ShowStop(kMsgNoMemory);
    } catch (const CUserAbort&) {
        ok = false;
    }
    if (!ok) {
        ShowStop(kMsgFileError, notes);
        return nullptr;
    }
    if (errors != 0)
        ShowMessage(kMsgFieldsEmptied, PromptIcon::Warning, PromptButtons::Ok, errors);
    if (process.Notes().Count() > 0)
        ShowMessageWithDetails(kMsgImportDoneNotes, PromptIcon::Information, PromptButtons::Ok,
                               notes, set->RecordCount(), process.Notes().Count());
    return set;
}

MergeResult MergeImported(CRecordSet* current, CRecordSet& imported) {
    if (current == nullptr || (current->FieldCount() == 0 && current->RecordCount() == 0))
        return MergeResult::TakeWhole;
    if (current->Kind() == 0 || current->Kind() != imported.Kind() ||
        !CRecordSet::MoveRecords(imported, *current, -1)) {
        ShowMessage(kMsgMergeKindMismatch, PromptIcon::Warning, PromptButtons::Ok);
        return MergeResult::Refused;
    }
    return MergeResult::Appended;
}

// ---- bundled filters ----

const std::vector<BundledFilter>& BundledFilters() {
    static const std::vector<BundledFilter> list = {
        {"CSV", "csv", "tsr-csv"},
        {"vCard", "vcf", "tsr-vcard"},
        {"iCalendar", "ics", "tsr-ical"},
    };
    return list;
}

QString FindBundledProgram(const QString& appDir, const QString& program) {
    const QDir dir(appDir);
    for (const QString& candidate :
         {dir.filePath(program), dir.filePath(QStringLiteral("../filters/") + program)}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return {};
}

void SyncInstalledCount(CAppSettings& settings) {
    settings.Installed = static_cast<int>(CAppSettings::ReadFilters().size());
    std::unique_ptr<QSettings> store = CAppSettings::OpenStore();
    store->setValue(QStringLiteral("Filters/Installed"), settings.Installed);
}

int RegisterBundledFilters(CAppSettings& settings, const QString& appDir) {
    std::unique_ptr<QSettings> store = CAppSettings::OpenStore();
    if (store->value(kBundledDoneKey).toInt() != 0 || !CAppSettings::ReadFilters().empty()) {
        SyncInstalledCount(settings);
        return 0;
    }
    int added = 0;
    for (const BundledFilter& b : BundledFilters()) {
        const QString path = FindBundledProgram(appDir, QString::fromLatin1(b.program));
        if (path.isEmpty())
            continue;
        FilterProgram f;
        f.name = QString::fromLatin1(b.name);
        f.extension = QString::fromLatin1(b.extension);
        f.program = path;
        f.perlScript = false;
        if (CAppSettings::WriteFilter(f))
            ++added;
    }
    // Remembered only once something was registered, so an install whose programs are not
    // found yet is tried again at the next start.
    if (added > 0) {
        store->setValue(kBundledDoneKey, 1);
        store->sync();
    }
    SyncInstalledCount(settings);
    return added;
}

} // namespace tessera
