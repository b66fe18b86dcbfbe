// tessera-cli filters: the registered filter programs, one a line, as
// NAME<TAB>EXTENSION<TAB>PROGRAM ("perl " before a script's path), in the order the file
// dialogs list them.

#include "base/AppSettings.h"
#include "base/FilterRunner.h"
#include "cli/Command.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace tessera::cli {

namespace {

class FiltersCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("filters"); }
    QString Description() const override {
        return QStringLiteral("list the registered filter programs");
    }

    int Run(Context& ctx) override {
        if (!ctx.Arguments().isEmpty())
            return ctx.UsageError(QStringLiteral("filters: takes no arguments"));
        // As import and export do: a first run registers the bundled filters.
        RegisterBundledFilters(ctx.Settings(), QCoreApplication::applicationDirPath());
        for (const FilterProgram& f : CAppSettings::ReadFilters()) {
            const QString program = f.perlScript ? QStringLiteral("perl ") + f.program : f.program;
            ctx.Out(f.name + QLatin1Char('\t') + f.extension + QLatin1Char('\t') + program +
                    QLatin1Char('\n'));
        }
        return kExitOk;
    }
};

} // namespace

TESSERA_REGISTER_COMMAND(FiltersCommand);

} // namespace tessera::cli
