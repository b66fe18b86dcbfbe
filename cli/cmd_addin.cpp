// tessera-cli addin FILE.zrs [--model NAME] [link options]: installs the add-in a ZRS file
// describes. Prints the add-in's document, asks to start (answered by --answer), then checks
// the device, stores every file on it and ends the PC link.

#include "base/AppSettings.h"
#include "base/Cp932.h"
#include "cli/Command.h"
#include "cli/LinkOptions.h"
#include "link/AddInTransfer.h"
#include "model/Prompter.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QCommandLineParser>
#include <cstdio>

namespace tessera::cli {

namespace {

constexpr int kModelNameBase = ids::kStrFirstModel;
// Add-ins need a model from code 2 (PI-4500) on.
constexpr int kFirstAddInModel = 2;

QString ModelName(int code) {
    return Cp932ToQString(LoadString(kModelNameBase + code));
}

bool ParseModel(const QString& text, int& code) {
    const QString t = text.trimmed();
    bool isNumber = false;
    const int n = t.toInt(&isNumber);
    // A model code 0..9; other numbers may be a model's digits ("6000").
    if (isNumber && n >= 0 && n < CAppSettings::kModelCount) {
        code = n;
        return true;
    }
    for (int c = 0; c < CAppSettings::kModelCount; ++c) {
        const QString name = ModelName(c);
        // "PI-6000", "pi6000" and "6000" all name the same model.
        QString bare = name;
        bare.remove(QLatin1Char('-'));
        QString given = t;
        given.remove(QLatin1Char('-'));
        if (t.compare(name, Qt::CaseInsensitive) == 0 ||
            given.compare(bare, Qt::CaseInsensitive) == 0 ||
            (bare.startsWith(QLatin1String("PI")) &&
             given.compare(bare.mid(2), Qt::CaseInsensitive) == 0)) {
            code = c;
            return true;
        }
    }
    return false;
}

class AddInCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("addin"); }
    QString Description() const override {
        return QStringLiteral("install an add-in described by a ZRS file on the device");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({QStringLiteral("model"),
                          QStringLiteral("the device model, such as PI-6000 (default: the "
                                         "configured model); add-ins need PI-4500 or later"),
                          QStringLiteral("NAME")});
        AddLinkOptions(parser);
        parser.addPositionalArgument(QStringLiteral("FILE.zrs"),
                                     QStringLiteral("add-in description file"));
    }

    int Run(Context& ctx) override {
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("addin: give one ZRS file"));
        int model = ctx.Settings().ModelCode();
        if (ctx.Parser().isSet(QStringLiteral("model")) &&
            !ParseModel(ctx.Parser().value(QStringLiteral("model")), model))
            return ctx.UsageError(
                QStringLiteral("addin: unknown model '%1' (PI-3000 .. PI-8000, MobileZ)")
                    .arg(ctx.Parser().value(QStringLiteral("model"))));
        if (model < kFirstAddInModel)
            return ctx.UsageError(
                QStringLiteral("addin: the %1 cannot take add-ins (PI-4500 or later "
                               "is needed; give the model with --model)")
                    .arg(ModelName(model)));

        JobLink link;
        if (!TakeLinkOptions(ctx, link))
            return kExitUsage;

        auto transfer = std::make_unique<CAddInTransfer>();
        if (!transfer->Load(ctx.Arguments().front()))
            return kExitBadData;

        // The add-in's overview, as the program shows it before asking.
        std::string document;
        const bool readable = transfer->ReadDocument(document);
        ctx.Out(Cp932ToQString(document));
        if (!document.empty() && document.back() != '\n')
            ctx.Out(QStringLiteral("\n"));
        std::fflush(stdout);
        if (!readable)
            ShowMessage(kMsgAddInDocument, PromptIcon::Warning, PromptButtons::Ok);
        if (ShowMessage(kMsgAddInConfirm, PromptIcon::Question, PromptButtons::OkCancel) !=
            PromptResult::Ok)
            return kExitCancelled;

        auto job = std::make_shared<AddInJob>(std::move(transfer));
        job->link = link;
        return RunTransferJob(ctx, job, {});
    }
};

TESSERA_REGISTER_COMMAND(AddInCommand);

} // namespace

} // namespace tessera::cli
