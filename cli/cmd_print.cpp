// tessera-cli print FILE.tsr -o OUT.pdf [--landscape]: the record table of a file as a PDF,
// every record in record order, the column widths the window keeps, without a display.
// The drawing is done by tessera-pdf beside this program, so tessera-cli itself needs no Qt
// Gui.

#include "base/Cp932.h"
#include "cli/Command.h"
#include "cli/RecordSetFile.h"
#include "model/RecordSet.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace tessera::cli {

namespace {

QString FindPdfProgram() {
    const QDir dir(QCoreApplication::applicationDirPath());
    // Installed under libexec; in the build tree beside its own folder.
    for (const QString& candidate : {dir.filePath(QStringLiteral("../libexec/tessera/tessera-pdf")),
                                     dir.filePath(QStringLiteral("tessera-pdf")),
                                     dir.filePath(QStringLiteral("../print/tessera-pdf"))}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return {};
}

class PrintCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("print"); }
    QString Description() const override {
        return QStringLiteral("write the record table of a .tsr file as a PDF");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                          QStringLiteral("the PDF file to write"),
                          QStringLiteral("OUT.pdf")});
        parser.addOption({QStringLiteral("landscape"), QStringLiteral("print across the page")});
        AddReadOptions(parser);
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("record-set file"));
    }

    int Run(Context& ctx) override {
        ReadOptions options;
        if (!TakeReadOptions(ctx, options))
            return kExitUsage;
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("print: give one file"));
        const QString out = ctx.Parser().value(QStringLiteral("output"));
        if (out.isEmpty())
            return ctx.UsageError(QStringLiteral("print: give the PDF file with -o OUT.pdf"));

        CRecordSet set;
        int emptied = 0;
        const QString path = ctx.Arguments().front();
        const int rc = ReadRecordFile(ctx, path, options, set, emptied);
        if (rc != kExitOk)
            return rc;

        const QString program = FindPdfProgram();
        if (program.isEmpty()) {
            ctx.Err(QStringLiteral("tessera-cli print: tessera-pdf is not installed (it belongs in "
                                   "../libexec/tessera beside tessera-cli)\n"));
            return kExitBadData;
        }
        // What was read (with the conversions asked for) goes to the drawing program.
        QTemporaryDir temp;
        std::string text;
        if (!temp.isValid() || !set.WriteTextToString(text) ||
            !WriteOutputFile(ctx, QStringLiteral("print"), temp.filePath(QStringLiteral("in.tsr")),
                             text))
            return kExitBadData;
        QStringList args = {temp.filePath(QStringLiteral("in.tsr")), out,
                            QFileInfo(path).fileName()};
        if (ctx.Parser().isSet(QStringLiteral("landscape")))
            args << QStringLiteral("--landscape");
        QProcess pdf;
        pdf.setProcessChannelMode(QProcess::ForwardedChannels);
        pdf.start(program, args);
        if (!pdf.waitForFinished(10 * 60 * 1000) || pdf.exitStatus() != QProcess::NormalExit ||
            pdf.exitCode() != 0) {
            ctx.Err(QStringLiteral("tessera-cli print: cannot write '%1'\n").arg(out));
            return kExitBadData;
        }
        return kExitOk;
    }
};

TESSERA_REGISTER_COMMAND(PrintCommand);

} // namespace

} // namespace tessera::cli
