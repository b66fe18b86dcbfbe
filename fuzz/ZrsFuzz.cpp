// The add-in description reader on arbitrary bytes, in a folder that holds a few add-in
// files in mixed case and a subfolder, so the names resolve often. A refused file leaves the
// transfer empty; an accepted one names only regular files, every device name fits the
// device's command, and the sizes add up. The document reader must bring the text back
// with every line ending in CR LF.

#include "FuzzCheck.h"
#include "FuzzPrompter.h"
#include "link/AddInTransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

using namespace tessera;

namespace {

void Put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly));
    FUZZ_CHECK(f.write(bytes) == bytes.size());
}

const QString& Folder() {
    static QTemporaryDir dir;
    static const QString path = [] {
        FUZZ_CHECK(dir.isValid());
        const QDir d(dir.path());
        Put(d.filePath(QStringLiteral("README.TXT")), "An add-in\nsecond line\r\nthird\r");
        Put(d.filePath(QStringLiteral("App.exe")), QByteArray(300, 'a'));
        Put(d.filePath(QStringLiteral("DATA.DAT")), QByteArray(17, 'd'));
        FUZZ_CHECK(d.mkpath(QStringLiteral("Sub")));
        Put(d.filePath(QStringLiteral("Sub/more.dat")), QByteArray(5, 'm'));
        return dir.path();
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tessera::fuzz::PolicyPrompter prompter(0);
    const QString zrs = QDir(Folder()).filePath(QStringLiteral("ADDIN.ZRS"));
    Put(zrs, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

    CAddInTransfer transfer;
    const int r = transfer.LoadZrs(zrs);
    FUZZ_CHECK(r == CAddInTransfer::kLoaded || r == CAddInTransfer::kBadFormat ||
               r == CAddInTransfer::kMissingFile || r == CAddInTransfer::kNameTooLong ||
               r == CAddInTransfer::kCannotOpen);
    if (r != CAddInTransfer::kLoaded) {
        FUZZ_CHECK(transfer.FileCount() == 0);
        FUZZ_CHECK(transfer.DocumentPath().isEmpty());
        FUZZ_CHECK(transfer.TotalSize() == 0);
        return 0;
    }
    FUZZ_CHECK(transfer.FileCount() >= 1);
    FUZZ_CHECK(QFileInfo(transfer.DocumentPath()).isFile());
    std::int64_t total = 0;
    for (int i = 0; i < transfer.FileCount(); ++i) {
        const std::string& name = transfer.DeviceName(i);
        FUZZ_CHECK(!name.empty());
        FUZZ_CHECK(static_cast<int>(name.size()) <= CAddInTransfer::kMaxNameBytes);
        FUZZ_CHECK(name.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        const QFileInfo file(transfer.FilePath(i));
        FUZZ_CHECK(file.isFile());
        if (i == 0)
            FUZZ_CHECK(transfer.FirstFileSize() == file.size());
        total += file.size();
    }
    FUZZ_CHECK(transfer.TotalSize() == total);

    std::string text;
    if (transfer.ReadDocument(text)) {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n')
                FUZZ_CHECK(i > 0 && text[i - 1] == '\r');
    }
    return 0;
}
