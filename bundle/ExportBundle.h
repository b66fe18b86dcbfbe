#pragma once
// The export bundle: a set of record files turned into what today's programs read, in one
// folder: contacts.vcf (phone book and cards), calendar.ics (schedule, both anniversary
// kinds, action list), csv/<slug>.csv for every kind, memos/NN-<title>.png (each memo at its
// own size, one bit a dot) and reports/NN-<title>.txt (UTF-8). The conversions are the
// bundled filters' own.
//
//     CExportBundle bundle;
//     bundle.AddFile(path) / bundle.AddText(label, bytes) ...   // false: could not be read
//     BundleResult r = bundle.Write(outDir);

#include <QString>
#include <QStringList>
#include <memory>
#include <string_view>
#include <vector>

namespace tessera {
class CRecordSet;
}

namespace tessera::bundle {

struct BundleFile {
    QString path; // relative to the output folder, "/" separated
    int records = 0;
};

struct BundleResult {
    std::vector<BundleFile> files; // in the order written
    QStringList notes;             // UTF-8 lines: what a conversion adjusted or left out
    QStringList failures;          // files that could not be written, with the reason
};

class CExportBundle {
public:
    CExportBundle();
    ~CExportBundle();

    // A record file; false with `why` when it cannot be read (nothing added).
    bool AddFile(const QString& path, QString* why);
    // Every *.tsr file in `dir` (by name); false with `why` for the first one that cannot
    // be read (the others are still added).
    bool AddFolder(const QString& dir, QStringList* why);
    // The text form of a set (an open document), named `label` in notes.
    bool AddText(const QString& label, std::string_view textForm, QString* why);
    int SourceCount() const { return static_cast<int>(m_sources.size()); }

    BundleResult Write(const QString& outDir);

private:
    struct Source {
        QString label;
        std::unique_ptr<CRecordSet> set;
    };
    std::vector<Source> m_sources;
};

// A title made safe as a file name: path separators, characters file systems refuse and
// control characters become "_", leading and trailing dots and spaces go, at most 60
// characters; `fallback` when nothing is left.
QString FileTitle(const QString& title, const QString& fallback);

// A report's text as lines: an item list ("name TAB content" items) as "name: content", the
// free text as it is; LF line ends, UTF-8.
QByteArray ReportText(const CRecordSet& set, int record);

} // namespace tessera::bundle
