// tessera-cli strings ID...: prints each text of the string table in UTF-8, one per line.

#include "base/Cp932.h"
#include "cli/Command.h"
#include "text/StringTable.h"

namespace tessera::cli {

namespace {

class StringsCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("strings"); }
    QString Description() const override {
        return QStringLiteral("print texts of the string table by id");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({QStringLiteral("escape"),
                          QStringLiteral("write line breaks and tabs as \\n and \\t")});
        parser.addPositionalArgument(QStringLiteral("ID"), QStringLiteral("string ids (decimal)"),
                                     QStringLiteral("ID..."));
    }

    int Run(Context& ctx) override {
        const QStringList ids = ctx.Arguments();
        if (ids.isEmpty())
            return ctx.UsageError(QStringLiteral("strings: give at least one string id"));
        std::vector<int> numbers;
        for (const QString& s : ids) {
            bool ok = false;
            const int id = s.toInt(&ok, 10);
            if (!ok || id < 0)
                return ctx.UsageError(QStringLiteral("strings: '%1' is not a string id").arg(s));
            numbers.push_back(id);
        }
        const bool escape = ctx.Parser().isSet(QStringLiteral("escape"));
        int rc = kExitOk;
        for (int id : numbers) {
            if (!HasString(id)) {
                ctx.Err(QStringLiteral("tessera-cli strings: no text with id %1").arg(id));
                rc = kExitBadData;
                continue;
            }
            QString text = Cp932ToQString(LoadString(id));
            if (escape) {
                text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
                text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
                text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
                text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
            }
            ctx.Out(text + QLatin1Char('\n'));
        }
        return rc;
    }
};

TESSERA_REGISTER_COMMAND(StringsCommand);

} // namespace

} // namespace tessera::cli
