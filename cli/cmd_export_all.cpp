// tessera-cli export-all IN... -o OUTDIR: record files and folders of them (a backup
// folder) into the export bundle: contacts.vcf, calendar.ics, csv/<slug>.csv,
// memos/NN-<title>.png and reports/NN-<title>.txt. The summary (one line a file written,
// with its record count) goes to stdout, notes to stderr. Exit 0 when everything was
// written, 2 when an input could not be read or a file not written (the rest is still
// written), 1 for usage.

#include "bundle/ExportBundle.h"
#include "cli/Command.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace tessera::cli {

namespace {

class ExportAllCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("export-all"); }
    QString Description() const override {
        return QStringLiteral("turn .tsr files and backup folders into vCard, iCalendar, CSV, "
                              "PNG and text files");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                          QStringLiteral("the folder to write into (made if needed)"),
                          QStringLiteral("OUTDIR")});
        parser.addPositionalArgument(QStringLiteral("IN"),
                                     QStringLiteral(".tsr files or folders of them"),
                                     QStringLiteral("IN..."));
    }

    int Run(Context& ctx) override {
        const QStringList inputs = ctx.Arguments();
        const QString outDir = ctx.Parser().value(QStringLiteral("output"));
        if (inputs.isEmpty())
            return ctx.UsageError(
                QStringLiteral("export-all: give the files or folders to export"));
        if (outDir.isEmpty())
            return ctx.UsageError(QStringLiteral("export-all: give the output folder with -o"));

        bundle::CExportBundle bundle;
        bool unreadable = false;
        for (const QString& in : inputs) {
            const QFileInfo info(in);
            QStringList why;
            if (info.isDir()) {
                const int before = bundle.SourceCount();
                if (!bundle.AddFolder(in, &why))
                    unreadable = true;
                if (bundle.SourceCount() == before && why.isEmpty())
                    ctx.Err(
                        QStringLiteral("tessera-cli export-all: %1 holds no .tsr file").arg(in));
            } else {
                QString reason;
                if (!bundle.AddFile(in, &reason)) {
                    unreadable = true;
                    why << reason;
                }
            }
            for (const QString& line : why)
                ctx.Err(QStringLiteral("tessera-cli export-all: cannot read %1").arg(line));
        }
        if (!QDir().mkpath(outDir)) {
            ctx.Err(
                QStringLiteral("tessera-cli export-all: cannot make the folder '%1'").arg(outDir));
            return kExitBadData;
        }
        const bundle::BundleResult result = bundle.Write(outDir);
        for (const bundle::BundleFile& f : result.files)
            ctx.Out(QStringLiteral("%1: %2 records\n")
                        .arg(QDir::toNativeSeparators(QDir(outDir).filePath(f.path)))
                        .arg(f.records));
        ctx.Out(QStringLiteral("%1 files written, %2 notes\n")
                    .arg(result.files.size())
                    .arg(result.notes.size()));
        for (const QString& note : result.notes)
            ctx.Err(QStringLiteral("note: %1").arg(note));
        for (const QString& failure : result.failures)
            ctx.Err(QStringLiteral("tessera-cli export-all: not written: %1").arg(failure));
        return unreadable || !result.failures.isEmpty() ? kExitBadData : kExitOk;
    }
};

TESSERA_REGISTER_COMMAND(ExportAllCommand);

} // namespace

} // namespace tessera::cli
