// tessera-cli import IN --filter NAME -o OUT.tsr: reads a foreign file through a registered
// filter program into a record-set file, exactly as the window program's import does.

#include "base/AppSettings.h"
#include "base/FilterRunner.h"
#include "cli/Command.h"
#include "cli/FilterCli.h"
#include "cli/RecordSetFile.h"
#include "model/RecordSet.h"

#include <QCommandLineParser>
#include <string>

namespace tessera::cli {

namespace {

class ImportCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("import"); }
    QString Description() const override {
        return QStringLiteral("read a foreign file through a filter into a .tsr file");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({QStringLiteral("filter"), QStringLiteral("the registered filter's name"),
                          QStringLiteral("NAME")});
        parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                          QStringLiteral("the record-set file to write"),
                          QStringLiteral("OUT.tsr")});
        AddTimeoutOption(parser);
        parser.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("the foreign file"));
    }

    int Run(Context& ctx) override {
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("import: give one input file"));
        const QString output = ctx.Parser().value(QStringLiteral("output"));
        if (output.isEmpty())
            return ctx.UsageError(QStringLiteral("import: give the output file with -o"));
        const QString wanted = ctx.Parser().value(QStringLiteral("filter"));
        if (wanted.isEmpty())
            return ctx.UsageError(QStringLiteral("import: give the filter with --filter"));
        const QString name = RegisteredFilterName(ctx, wanted);
        if (name.isEmpty())
            return ctx.UsageError(
                QStringLiteral("import: no filter named '%1' is registered").arg(wanted));

        int timeout = 0;
        if (!TakeTimeout(ctx, timeout))
            return kExitUsage;

        FilterProgram filter;
        if (!LookUpFilter(name, filter))
            return kExitBadData;
        FilterWait wait(timeout);
        std::unique_ptr<CRecordSet> set =
            RunImportFilter(filter, ctx.Arguments().front(), ctx.CodeMap(), wait.Waiter());
        if (!set)
            return wait.ExitCode(false);

        std::string text;
        if (!set->WriteTextToString(text))
            return kExitBadData;
        if (!WriteOutputFile(ctx, Name(), output, text))
            return kExitBadData;
        ctx.Out(
            QStringLiteral("%1 records imported into %2\n").arg(set->RecordCount()).arg(output));
        return kExitOk;
    }
};

} // namespace

TESSERA_REGISTER_COMMAND(ImportCommand);

} // namespace tessera::cli
