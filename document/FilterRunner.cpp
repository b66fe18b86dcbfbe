#include "document/FilterRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <map>

#include "app/core/Cp932.h"
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

void ShowStop(int id) { ShowMessage(id, PromptIcon::Stop, PromptButtons::Ok); }

} // namespace

FilterCommandLine ImportCommandLine(const FilterProgram& filter, const QString& path) {
    return WithProgram(filter, {QStringLiteral("-I"), path, QStringLiteral("-V"),
                                QString::number(kFilterInterfaceVersion)});
}

FilterCommandLine ExportCommandLine(const FilterProgram& filter, const QString& path, int kind) {
    return WithProgram(filter, {QStringLiteral("-E"), path, QStringLiteral("-T"), QString::number(kind),
                                QStringLiteral("-V"), QString::number(kFilterInterfaceVersion)});
}

int ImportExitMessage(int exitCode) {
    static const std::map<int, int> table = {{0, 0},       {1, 1280},  {2, 1281}, {3, 1282},
                                             {10, 1283},   {11, 1284}, {19, 1285}};
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

// ---- CFilterProcess ----

CFilterProcess::CFilterProcess(QObject* parent) : QObject(parent) {
    // Standard error goes where the program's own goes, never into the records.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            [this] { m_output += m_process.readAllStandardOutput(); });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && m_state == State::Running)
            Finish(State::FailedToStart);
        // A write error means the filter stopped reading; its exit code tells the rest.
    });
    connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (m_state != State::Running)
            return;
        m_output += m_process.readAllStandardOutput();
        m_exitCode = code;
        Finish(status == QProcess::CrashExit ? State::Crashed : State::Finished);
    });
}

CFilterProcess::~CFilterProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool CFilterProcess::Start(const FilterCommandLine& command, const QByteArray* input) {
    m_output.clear();
    m_exitCode = -1;
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
    if (input != nullptr) {
        m_process.write(*input);
        // End of input: a filter reading to the end of its input can finish.
        m_process.closeWriteChannel();
    }
    return true;
}

void CFilterProcess::Cancel() {
    if (m_state != State::Running)
        return;
    Finish(State::Cancelled);
    m_process.kill();
    m_process.waitForFinished(5000);
}

void CFilterProcess::WaitInEventLoop() {
    if (IsDone())
        return;
    QEventLoop loop;
    connect(this, &CFilterProcess::Done, &loop, &QEventLoop::quit);
    if (!IsDone())
        loop.exec();
}

qint64 CFilterProcess::Pid() const { return m_process.processId(); }

void CFilterProcess::Finish(State state) {
    m_state = state;
    emit Done();
}

void WaitForFilter(CFilterProcess& process) { process.WaitInEventLoop(); }

// ---- import and export ----

bool LookUpFilter(const QString& name, FilterProgram& out) {
    if (!CAppSettings::ReadFilter(name, out) || out.program.isEmpty()) {
        ShowStop(kMsgFilterCannotStart);
        return false;
    }
    return true;
}

namespace {

// Starts and waits; false after 3079 or 3080. `process` then holds the exit code.
bool RunToEnd(CFilterProcess& process, const FilterCommandLine& command, const QByteArray* input,
              const FilterWaiter& waiter) {
    if (!process.Start(command, input)) {
        ShowStop(kMsgFilterCannotStart);
        return false;
    }
    waiter(process);
    if (!process.IsDone())
        process.Cancel(); // a waiter that returns early has given up on the filter
    switch (process.CurrentState()) {
    case CFilterProcess::State::FailedToStart:
        ShowStop(kMsgFilterCannotStart);
        return false;
    case CFilterProcess::State::Cancelled:
        ShowMessage(kMsgFilterCancelled, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    default:
        return true;
    }
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

    // The file as it was, so a filter that fails or is stopped half-way changes nothing:
    // a file that was there comes back, a file that was not is removed again.
    const bool targetExisted = QFileInfo::exists(target);
    const QString backup = target + QStringLiteral(".tessera-previous");
    const bool backedUp = targetExisted && !QFileInfo::exists(backup) && QFile::copy(target, backup);
    auto restore = [&] {
        if (backedUp) {
            QFile::remove(target);
            QFile::rename(backup, target);
        } else if (!targetExisted) {
            QFile::remove(target);
        }
    };
    auto done = [&](bool ok) {
        if (ok) {
            if (backedUp)
                QFile::remove(backup);
        } else {
            restore();
        }
        return ok;
    };

    CFilterProcess process;
    if (!RunToEnd(process, ExportCommandLine(filter, target, set.Kind()), &input, waiter))
        return done(false);
    if (process.CurrentState() == CFilterProcess::State::Crashed) {
        ShowStop(kMsgFilterInternal);
        return done(false);
    }
    const int message = ExportExitMessage(process.ExitCode());
    if (process.ExitCode() == 0) {
        done(true);
        ShowMessage(message, PromptIcon::Information, PromptButtons::Ok, QStringToCp932Lossy(target));
        return true;
    }
    ShowStop(message);
    return done(false);
}

std::unique_ptr<CRecordSet> RunImportFilter(const FilterProgram& filter, const QString& source,
                                            const CCodeMap* map, const FilterWaiter& waiter) {
    CFilterProcess process;
    if (!RunToEnd(process, ImportCommandLine(filter, source), nullptr, waiter))
        return nullptr;
    if (process.CurrentState() == CFilterProcess::State::Crashed) {
        ShowStop(kMsgFilterInternal);
        return nullptr;
    }
    if (process.ExitCode() != 0) {
        ShowStop(ImportExitMessage(process.ExitCode()));
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
        ShowStop(kMsgFileError);
        return nullptr;
    }
    if (errors != 0)
        ShowMessage(kMsgFieldsEmptied, PromptIcon::Warning, PromptButtons::Ok, errors);
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
    for (const QString& candidate : {dir.filePath(program), dir.filePath(QStringLiteral("../filters/") + program)}) {
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
