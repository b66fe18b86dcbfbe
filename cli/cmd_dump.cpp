// tessera-cli dump FILE [--display] [--conv LIST] [--bad-values abort|empty]: a record-set
// file as one JSON object in UTF-8: kind, tags, titles and every record's field texts
// (exchange texts, or display texts with --display); null marks a slot without a field.

#include "base/Cp932.h"
#include "cli/Command.h"
#include "cli/RecordSetFile.h"
#include "model/RecordSet.h"

#include <QCommandLineParser>
#include <string>

namespace tessera::cli {

namespace {

class DumpCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("dump"); }
    QString Description() const override {
        return QStringLiteral("print a .tsr file as JSON (the input of build)");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({QStringLiteral("display"),
                          QStringLiteral("print display texts instead of exchange texts")});
        AddReadOptions(parser);
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("record-set file"));
    }

    int Run(Context& ctx) override {
        ReadOptions options;
        if (!TakeReadOptions(ctx, options))
            return kExitUsage;
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("dump: give one file"));
        const bool display = ctx.Parser().isSet(QStringLiteral("display"));

        CRecordSet set;
        int emptied = 0;
        const int rc = ReadRecordFile(ctx, ctx.Arguments().front(), options, set, emptied);
        if (rc != kExitOk)
            return rc;

        std::string out = "{\"kind\":" + std::to_string(set.Kind()) + ",\"tags\":[";
        for (std::size_t i = 0; i < set.Tags().size(); ++i) {
            if (i)
                out += ',';
            out += JsonString(set.Tags()[i]);
        }
        out += "],\"titles\":[";
        for (std::size_t i = 0; i < set.Titles().size(); ++i) {
            if (i)
                out += ',';
            out += JsonString(set.Titles()[i]);
        }
        out += "],\"records\":[";
        std::string text;
        for (int r = 0; r < set.RecordCount(); ++r) {
            const CDataRecord* record = set.RecordAt(r);
            out += r ? ",\n[" : "\n[";
            for (int f = 0; f < record->FieldCount(); ++f) {
                if (f)
                    out += ',';
                if (record->FieldAt(f) == nullptr) {
                    out += "null";
                    continue;
                }
                if (!record->FormatField(f, text, display)) {
                    ctx.Err(QStringLiteral("tessera-cli dump: record %1, field %2 (%3): the value "
                                           "cannot be written as text")
                                .arg(r + 1)
                                .arg(f + 1)
                                .arg(Cp932ToQString(set.Tags()[static_cast<std::size_t>(f)])));
                    return kExitBadData;
                }
                out += JsonString(text);
            }
            out += ']';
        }
        out += set.RecordCount() ? "\n]}\n" : "]}\n";
        ctx.OutBytes(out);
        return kExitOk;
    }
};

TESSERA_REGISTER_COMMAND(DumpCommand);

} // namespace

} // namespace tessera::cli
