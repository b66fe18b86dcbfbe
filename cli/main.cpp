// tessera-cli: scripted use of Tessera without windows.
//   tessera-cli [--answer BUTTON] [--quiet] [--json] [--lang CODE] COMMAND [options] [arguments]

#include "base/Language.h"
#include "cli/CliPrompter.h"
#include "cli/Command.h"
#include "text/StringTable.h"

#include <QCoreApplication>
#include <cstdio>

using namespace tessera;
using namespace tessera::cli;

namespace {

void PrintCommands(FILE* to) {
    std::fprintf(to,
                 "usage: tessera-cli [--answer BUTTON] [--quiet] [--json] [--lang ja|en] COMMAND\n"
                 "                   [options] [arguments]\n"
                 "       tessera-cli COMMAND --help\n\ncommands:\n");
    for (const auto& c : AllCommands())
        std::fprintf(to, "  %-10s %s\n", qPrintable(c->Name()),
                     c->Description().toUtf8().constData());
    std::fprintf(
        to, "\n--answer BUTTON answers every question with ok, cancel, yes, no, abort, retry or\n"
            "ignore where offered (otherwise the first button); --quiet hides information\n"
            "messages; --json makes info, check and filters print one JSON document;\n"
            "--lang chooses the language of the messages for this run.\nexit codes: "
            "0 success, 1 usage, 2 bad data, 3 link or device failure, "
            "4 cancelled\n");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Tessera"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TESSERA_VERSION));

    QStringList args = QCoreApplication::arguments();

    // The language first (--lang among the global options, else the setting or the
    // system), then a resource pack beside the program over it.
    QString language;
    for (int k = 1; k < args.size() && args[k].startsWith(QLatin1Char('-')); ++k) {
        if (args[k] == QLatin1String("--answer"))
            ++k; // its button name
        else if (args[k] == QLatin1String("--lang") && k + 1 < args.size())
            language = args[++k];
        else if (args[k].startsWith(QLatin1String("--lang=")))
            language = args[k].section(QLatin1Char('='), 1);
    }
    ApplyLanguage(ChooseLanguage(language, StoredLanguageSetting()));
    const QString pack = QCoreApplication::applicationDirPath() + QStringLiteral("/tsres.txt");
    LoadResourcePack(pack.toStdString());
    PromptResult answer = PromptResult::Ok;
    bool hasAnswer = false;
    bool quiet = false;
    bool json = false; // given before the command: handed to it as its own --json

    // Global options come before the command name.
    int i = 1;
    for (; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            PrintCommands(stdout);
            return kExitOk;
        } else if (a == QLatin1String("--version")) {
            std::printf("tessera-cli %s\n", TESSERA_VERSION);
            return kExitOk;
        } else if (a == QLatin1String("--quiet") || a == QLatin1String("-q")) {
            quiet = true;
        } else if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--lang") || a.startsWith(QLatin1String("--lang="))) {
            const QString code = a.contains(QLatin1Char('=')) ? a.section(QLatin1Char('='), 1)
                                 : ++i < args.size()          ? args[i]
                                                              : QString();
            if (!IsLanguageCode(code) && code != QLatin1String("auto")) {
                std::fprintf(stderr, "tessera-cli: --lang needs a language code (ja, en)\n");
                return kExitUsage;
            }
        } else if (a == QLatin1String("--answer") || a.startsWith(QLatin1String("--answer="))) {
            QString word = a.section(QLatin1Char('='), 1);
            if (!a.contains(QLatin1Char('='))) {
                if (++i >= args.size()) {
                    std::fprintf(stderr, "tessera-cli: --answer needs a button name\n");
                    return kExitUsage;
                }
                word = args[i];
            }
            if (!CliPrompter::ParseAnswer(word, answer)) {
                std::fprintf(stderr, "tessera-cli: unknown answer '%s'\n", qPrintable(word));
                return kExitUsage;
            }
            hasAnswer = true;
        } else if (a.startsWith(QLatin1Char('-'))) {
            std::fprintf(
                stderr,
                "tessera-cli: unknown option '%s' (options of a command go after its name)\n",
                qPrintable(a));
            return kExitUsage;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        PrintCommands(stderr);
        return kExitUsage;
    }

    const QString name = args[i];
    std::unique_ptr<Command> command;
    for (auto& c : AllCommands())
        if (c->Name() == name)
            command = std::move(c);
    if (!command) {
        std::fprintf(stderr, "tessera-cli: unknown command '%s'\n", qPrintable(name));
        PrintCommands(stderr);
        return kExitUsage;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(command->Description());
    parser.addHelpOption();
    command->AddOptions(parser);
    QStringList commandArgs = args.mid(i);
    commandArgs[0] = QStringLiteral("tessera-cli ") + name;
    if (json)
        commandArgs.insert(1, QStringLiteral("--json"));
    if (!parser.parse(commandArgs)) {
        std::fprintf(stderr, "tessera-cli %s: %s\n", qPrintable(name),
                     qPrintable(parser.errorText()));
        return kExitUsage;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(CommandHelpText(parser, name).toUtf8().constData(), stdout);
        return kExitOk;
    }

    CliPrompter prompter(answer, hasAnswer, quiet);
    SetPrompter(&prompter);
    Context ctx(parser, prompter);
    const int rc = command->Run(ctx);
    std::fflush(stdout);
    SetPrompter(nullptr);
    return rc;
}
