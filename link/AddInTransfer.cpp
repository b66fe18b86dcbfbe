#include "link/AddInTransfer.h"

#include "link/Job.h"
#include "link/PcLink.h"
#include "model/Prompter.h"
#include "text/Cp932Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

namespace tessera {

namespace {

constexpr char kZrsPrefix[] = "ZRS,P,\"";
constexpr char kExtendedMemoryFile[] = "S7:NIFADR.BOX";
constexpr char kDevicePrefix[] = "S1:";

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

// Lines of a file made anywhere: CR LF, LF or CR ends a line.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current.push_back(c);
            open = true;
        }
    }
    if (open)
        lines.push_back(std::move(current));
    return lines;
}

} // namespace

void CAddInTransfer::Clear() {
    m_documentPath.clear();
    m_title.clear();
    m_names.clear();
    m_paths.clear();
    m_sizes.clear();
    m_totalSize = 0;
    m_firstFileSize = 0;
}

bool CAddInTransfer::IsPlainName(const std::string& name) {
    if (name.empty())
        return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    // Judged on the decoded text: in code page 932 the byte 0x5C is also the second byte of
    // many double-byte characters (ソ, 表), which are no separator.
    const QString text = QString::fromUtf8(Cp932ToUtf8(name));
    return !text.contains(QLatin1Char('/')) && !text.contains(QLatin1Char('\\')) &&
           !text.contains(QLatin1Char(':')) && !text.contains(QLatin1String("..")) &&
           text != QLatin1String(".");
}

QString CAddInTransfer::ResolveName(const QString& directory, const std::string& name) {
    if (!IsPlainName(name))
        return {};
    const QString plain = QString::fromUtf8(Cp932ToUtf8(name));
    const QDir dir(directory);
    const QString exact = dir.filePath(plain);
    if (QFileInfo(exact).isFile())
        return exact;
    // Windows does not care about case; the disk here may.
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& e : entries) {
        if (e.compare(plain, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    }
    return {};
}

bool CAddInTransfer::InFolder(const QString& path) const {
    const QFileInfo real(QFileInfo(path).canonicalFilePath());
    return !m_folder.isEmpty() && real.isFile() && real.absolutePath() == m_folder;
}

int CAddInTransfer::ChangedFile() const {
    for (std::size_t i = 0; i < m_paths.size(); ++i) {
        if (!InFolder(m_paths[i]) || QFileInfo(m_paths[i]).size() != m_sizes[i])
            return static_cast<int>(i);
    }
    return -1;
}

int CAddInTransfer::LoadZrs(const QString& path) {
    try {
        const int r = LoadInner(path);
        if (r != kLoaded)
            Clear();
        return r;
    } catch (const std::bad_alloc&) {
        Clear();
        return kNoMemory;
    }
}

int CAddInTransfer::LoadInner(const QString& path) {
    Clear();
    m_problem.clear();
    m_problemLine = 0;
    m_problemSize = 0;
    const QFileInfo info(path);
    m_directory = info.absolutePath() + QLatin1Char('/');

    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return kCannotOpen;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return kCannotOpen;
    std::vector<std::string> lines =
        SplitLines(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    // Editors leave blank lines at the end; they name no file.
    while (!lines.empty() && IsBlank(lines.back()))
        lines.pop_back();

    if (lines.empty() || lines[0].rfind(kZrsPrefix, 0) != 0)
        return kBadFormat;
    const std::string& first = lines[0];
    const std::size_t close = first.find('"', sizeof kZrsPrefix - 1);
    m_title = first.substr(sizeof kZrsPrefix - 1, close == std::string::npos
                                                      ? std::string::npos
                                                      : close - (sizeof kZrsPrefix - 1));
    if (lines.size() < 3)
        return kBadFormat;

    // The folder as the disk knows it, so a link leading out of it is seen for what it is.
    m_folder = QFileInfo(m_directory).canonicalFilePath();
    // The file named on line `index` + 1, refused unless it is a plain name of a file that
    // really lies in the ZRS folder; nothing outside is opened or even looked for.
    const auto locate = [&](std::size_t index, QString& found) -> int {
        const std::string& name = lines[index];
        m_problem = name;
        m_problemLine = static_cast<int>(index) + 1;
        if (!IsPlainName(name))
            return kNotPlainName;
        found = ResolveName(m_directory, name);
        if (found.isEmpty())
            return kMissingFile;
        if (!InFolder(found))
            return kOutsideFolder;
        return kLoaded;
    };

    if (IsBlank(lines[1]))
        return kBadFormat;
    if (const int r = locate(1, m_documentPath); r != kLoaded) {
        m_documentPath.clear();
        return r;
    }
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const std::string& name = lines[i];
        // A blank line among the names is no name at all.
        if (IsBlank(name))
            return kBadFormat;
        QString filePath;
        if (const int r = locate(i, filePath); r != kLoaded)
            return r;
        if (static_cast<int>(name.size()) > kMaxNameBytes)
            return kNameTooLong;
        const std::int64_t size = QFileInfo(filePath).size();
        if (m_names.empty())
            m_firstFileSize = size;
        m_totalSize += size;
        m_names.push_back(name);
        m_paths.push_back(filePath);
        m_sizes.push_back(size);
    }
    m_problem.clear();
    m_problemLine = 0;
    if (m_totalSize > kMaxTotalSize) {
        m_problemSize = m_totalSize;
        return kTotalTooLarge;
    }
    return kLoaded;
}

bool CAddInTransfer::Load(const QString& path) {
    const int r = LoadZrs(path);
    if (r == kLoaded)
        return true;
    switch (r) {
    case kCannotOpen:
        ShowMessage(kMsgZrsOpen, PromptIcon::Stop, PromptButtons::Ok);
        break;
    case kNameTooLong:
        ShowMessage(kMsgAddInNameTooLong, PromptIcon::Stop, PromptButtons::Ok, m_problem);
        break;
    case kNotPlainName:
        ShowMessage(kMsgZrsNotPlainName, PromptIcon::Stop, PromptButtons::Ok, m_problemLine,
                    m_problem);
        break;
    case kOutsideFolder:
        ShowMessage(kMsgZrsOutsideFolder, PromptIcon::Stop, PromptButtons::Ok, m_problemLine,
                    m_problem);
        break;
    case kTotalTooLarge:
        ShowMessage(kMsgZrsTotalTooLarge, PromptIcon::Stop, PromptButtons::Ok, m_problemSize,
                    kMaxTotalSize);
        break;
    default:
        ShowMessage(kMsgZrsFormat - 1 + r, PromptIcon::Stop, PromptButtons::Ok);
        break;
    }
    ShowMessage(kMsgAddInPrepareFailed, PromptIcon::Stop, PromptButtons::Ok);
    return false;
}

bool CAddInTransfer::ReadDocument(std::string& text) const {
    text.clear();
    QFile file(m_documentPath);
    if (m_documentPath.isEmpty() || !InFolder(m_documentPath) || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    const bool ok = file.error() == QFileDevice::NoError;
    // The overview window wants CR LF; a bare LF gets its CR.
    text.reserve(static_cast<std::size_t>(bytes.size()) + 64);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            text.push_back('\r');
        text.push_back(c);
    }
    return ok;
}

// ---- the worker procedure ----

void RunAddInJob(AddInJob& job, JobObserver& observer) {
    job.result = kJobFailed;
    if (!job.transfer || job.transfer->FileCount() == 0)
        return;
    CAddInTransfer& t = *job.transfer;
    const auto closeWindow = [&] {
        if (!job.DialogGone()) {
            job.MarkDialogClosed();
            observer.JobCloseRequest(JobKind::AddIn);
        }
    };
    // The files are sent as they were checked, or not at all.
    if (const int changed = t.ChangedFile(); changed >= 0) {
        closeWindow();
        ShowMessage(kMsgAddInFileChanged, PromptIcon::Stop, PromptButtons::Ok,
                    t.DeviceName(changed));
        return;
    }

    PortOptions o;
    o.timing = job.link.timing;
    o.ignoreEcho = job.link.ignoreEcho;
    o.traceFile = job.link.traceFile;
    o.lineFactory = job.link.lineFactory;
    o.cancelled = [&job] { return job.DialogGone(); };
    std::unique_ptr<CZaurusCom> port;
    try {
        port = CreatePort(job.link.method, std::move(o));
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgJobNoMemory, PromptIcon::Stop, PromptButtons::Ok);
        return;
    }
    if (!port->Open(job.link.portName, job.link.bitsPerSecond)) {
        closeWindow();
        const QString reason = PortOpenReason(*port);
        port.reset();
        ShowPortOpenFailure(reason);
        return;
    }

    CPcLink link(*port, job.link.timing);
    link.SetPacing(true);
    // Step k: stop as cancelled when the window is gone, else show the step.
    const auto step = [&](int k) {
        if (job.DialogGone())
            return false;
        observer.JobStep(k);
        return true;
    };
    const auto failed = [&] { return job.UserCancelled() ? kJobCancelled : kJobFailed; };
    // After a refused check the device is left in PC-link mode unless it is told to end it.
    const auto refuse = [&](int message) {
        if (!job.DialogGone()) {
            observer.JobStep(7);
            link.EndPcLink();
        }
        if (!job.DialogGone())
            ShowMessage(message, PromptIcon::Stop, PromptButtons::Ok);
        job.result = failed();
    };

    job.result = [&]() -> int {
        if (!step(2))
            return kJobCancelled;
        if (!link.CheckAddInSupport()) {
            refuse(kMsgAddInUnsupported);
            return job.result;
        }
        if (!step(3))
            return kJobCancelled;
        // A failed query counts as an absent file: the smaller limit applies.
        const bool extended = link.FileExists(kExtendedMemoryFile);
        if (t.FirstFileSize() >= CAddInTransfer::SizeLimit(extended)) {
            refuse(kMsgAddInTooLarge);
            return job.result;
        }
        if (!step(4))
            return kJobCancelled;
        if (link.FileExists(kDevicePrefix + t.DeviceName(0))) {
            refuse(kMsgAddInSameName);
            return job.result;
        }
        for (int i = 0; i < t.FileCount(); ++i) {
            if (!step(5))
                return kJobCancelled;
            if (!link.AnnounceFile(t.DeviceName(i)))
                return failed();
            if (!step(6))
                return kJobCancelled;
            const bool sent = link.SendFileData(
                t.FilePath(i),
                [&](std::int64_t total) {
                    if (job.DialogGone())
                        return false;
                    observer.JobProgress(JobKind::AddIn, total);
                    return true;
                },
                t.FileSize(i));
            if (!sent)
                return job.DialogGone() ? kJobCancelled : kJobFailed;
        }
        if (!step(7))
            return kJobCancelled;
        if (!link.EndPcLink())
            return failed();
        if (job.DialogGone())
            return kJobCancelled;
        closeWindow();
        return kJobCompleted;
    }();
    port.reset();
}

} // namespace tessera
