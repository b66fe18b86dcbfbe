// tessera-cli export FILE.tsr --filter NAME -o OUT: writes the records of a record-set file
// into a foreign file through a registered filter program, exactly as the window program's
// export does (same registrations, same command line, same messages).

#include "base/AppSettings.h"
#include "base/FilterRunner.h"
#include "cli/Command.h"
#include "cli/FilterCli.h"
#include "cli/RecordSetFile.h"
#include "model/RecordSet.h"

#include <QCommandLineParser>

namespace tessera::cli {

namespace {

class ExportCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("export"); }
    QString Description() const override {
        return QStringLiteral("write a .tsr file's records to a foreign file through a filter");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({QStringLiteral("filter"), QStringLiteral("the registered filter's name"),
                          QStringLiteral("NAME")});
        parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                          QStringLiteral("the foreign file to write"),
                          QStringLiteral("OUT")});
        AddReadOptions(parser);
        AddTimeoutOption(parser);
        parser.addPositionalArgument(QStringLiteral("FILE.tsr"),
                                     QStringLiteral("the records to export"));
    }

    int Run(Context& ctx) override {
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("export: give one record-set file"));
        const QString output = ctx.Parser().value(QStringLiteral("output"));
        if (output.isEmpty())
            return ctx.UsageError(QStringLiteral("export: give the output file with -o"));
        const QString wanted = ctx.Parser().value(QStringLiteral("filter"));
        if (wanted.isEmpty())
            return ctx.UsageError(QStringLiteral("export: give the filter with --filter"));
        const QString name = RegisteredFilterName(ctx, wanted);
        if (name.isEmpty())
            return ctx.UsageError(
                QStringLiteral("export: no filter named '%1' is registered").arg(wanted));

        ReadOptions options;
        int timeout = 0;
        if (!TakeReadOptions(ctx, options) || !TakeTimeout(ctx, timeout))
            return kExitUsage;
        CRecordSet set;
        int emptied = 0;
        const int rc = ReadRecordFile(ctx, ctx.Arguments().front(), options, set, emptied);
        if (rc != kExitOk)
            return rc;

        FilterProgram filter;
        if (!LookUpFilter(name, filter))
            return kExitBadData;
        FilterWait wait(timeout);
        return wait.ExitCode(RunExportFilter(set, filter, output, wait.Waiter()));
    }
};

} // namespace

TESSERA_REGISTER_COMMAND(ExportCommand);

} // namespace tessera::cli
