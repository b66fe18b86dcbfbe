// tessera-cli info FILE [--json]: what a record-set file holds, in four lines or as one JSON
// object (file, kind, kindName, fields, records, emptied).

#include "base/Cp932.h"
#include "cli/Command.h"
#include "cli/RecordSetFile.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"

#include <QCommandLineParser>
#include <QJsonObject>

namespace tessera::cli {

namespace {

class InfoCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("info"); }
    QString Description() const override {
        return QStringLiteral("show the kind, field and record counts of a .tsr file");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        AddReadOptions(parser);
        AddJsonOption(parser);
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("record-set file"));
    }

    int Run(Context& ctx) override {
        ReadOptions options;
        if (!TakeReadOptions(ctx, options))
            return kExitUsage;
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("info: give one file"));

        CRecordSet& set = KeptUntilExit();
        int emptied = 0;
        const int rc = ReadRecordFile(ctx, ctx.Arguments().front(), options, set, emptied);
        if (rc != kExitOk)
            return rc;
        const QString name =
            set.Kind() != 0 ? Cp932ToQString(KindName(set.Kind())) : QStringLiteral("none");
        if (JsonWanted(ctx.Parser())) {
            ctx.OutJson({{QStringLiteral("file"), ctx.Arguments().front()},
                         {QStringLiteral("kind"), set.Kind()},
                         {QStringLiteral("kindName"), name},
                         {QStringLiteral("fields"), set.FieldCount()},
                         {QStringLiteral("records"), set.RecordCount()},
                         {QStringLiteral("emptied"), emptied}});
            return kExitOk;
        }
        ctx.Out(QStringLiteral("kind: %1 (%2)\nfields: %3\nrecords: %4\nemptied: %5\n")
                    .arg(set.Kind())
                    .arg(name)
                    .arg(set.FieldCount())
                    .arg(set.RecordCount())
                    .arg(emptied));
        return kExitOk;
    }
};

TESSERA_REGISTER_COMMAND(InfoCommand);

} // namespace

} // namespace tessera::cli
