// tessera-cli filters: the registered filter programs, one a line, as
// NAME<TAB>EXTENSION<TAB>PROGRAM ("perl " before a script's path), in the order the file
// dialogs list them. --json: {"filters": [{name, extension, program, perlScript}, ...]}.

#include "base/AppSettings.h"
#include "base/FilterRunner.h"
#include "cli/Command.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

namespace tessera::cli {

namespace {

class FiltersCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("filters"); }
    QString Description() const override {
        return QStringLiteral("list the registered filter programs");
    }

    void AddOptions(QCommandLineParser& parser) const override { AddJsonOption(parser); }

    int Run(Context& ctx) override {
        if (!ctx.Arguments().isEmpty())
            return ctx.UsageError(QStringLiteral("filters: takes no arguments"));
        // As import and export do: a first run registers the bundled filters.
        RegisterBundledFilters(ctx.Settings(), QCoreApplication::applicationDirPath());
        const bool json = JsonWanted(ctx.Parser());
        QJsonArray list;
        for (const FilterProgram& f : CAppSettings::ReadFilters()) {
            if (json) {
                list.append(QJsonObject{{QStringLiteral("name"), f.name},
                                        {QStringLiteral("extension"), f.extension},
                                        {QStringLiteral("program"), f.program},
                                        {QStringLiteral("perlScript"), f.perlScript}});
                continue;
            }
            const QString program = f.perlScript ? QStringLiteral("perl ") + f.program : f.program;
            ctx.Out(f.name + QLatin1Char('\t') + f.extension + QLatin1Char('\t') + program +
                    QLatin1Char('\n'));
        }
        if (json)
            ctx.OutJson({{QStringLiteral("filters"), list}});
        return kExitOk;
    }
};

} // namespace

TESSERA_REGISTER_COMMAND(FiltersCommand);

} // namespace tessera::cli
