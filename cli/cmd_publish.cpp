// tessera-cli publish FILE.tsr|DIR... --url URL [--user NAME] [--password-file F |
// --ask-password] [--dry-run] [--delete-missing]: puts the phone book and cards into an
// address book, the schedule, anniversaries and action list into a calendar on a CardDAV /
// CalDAV server, one resource per record. Prints one "name: N" line per count; notes and
// messages go to stderr.

#include "cli/CliPrompter.h"
#include "cli/Command.h"
#include "dav/DavClient.h"
#include "dav/DavInput.h"
#include "dav/DavPublisher.h"
#include "dav/DavTrust.h"
#include "resources/StringIds.h"

#include <QCommandLineParser>
#include <QFile>
#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace tessera::cli {

namespace {

// A line from the terminal without echo (the password); empty when there is no terminal.
bool AskLine(const QString& prompt, bool echo, QString& line) {
#ifdef Q_OS_UNIX
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (tty == nullptr)
        return false;
    std::fputs(prompt.toUtf8().constData(), tty);
    std::fflush(tty);
    termios saved{};
    const int fd = fileno(tty);
    const bool hide = !echo && tcgetattr(fd, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    char buf[1024];
    const bool got = std::fgets(buf, sizeof buf, tty) != nullptr;
    if (hide) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        std::fputs("\n", tty);
    }
    std::fclose(tty);
    if (!got)
        return false;
    line = QString::fromUtf8(buf);
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return true;
#else
    (void)prompt;
    (void)echo;
    (void)line;
    return false;
#endif
}

class PublishCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("publish"); }
    QString Description() const override {
        return QStringLiteral("put the records on a CardDAV / CalDAV server");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({QStringLiteral("url"),
                          QStringLiteral("the server, the user's address book or calendar"),
                          QStringLiteral("URL")});
        parser.addOption({QStringLiteral("user"), QStringLiteral("the user name on the server"),
                          QStringLiteral("NAME")});
        parser.addOption({QStringLiteral("password-file"),
                          QStringLiteral("read the password from the first line of F"),
                          QStringLiteral("F")});
        parser.addOption({QStringLiteral("ask-password"),
                          QStringLiteral("ask for the password on the terminal")});
        parser.addOption({QStringLiteral("dry-run"),
                          QStringLiteral("say what would change; send nothing but reads")});
        parser.addOption(
            {QStringLiteral("delete-missing"),
             QStringLiteral("delete resources this program made that are no longer in the input")});
        parser.addPositionalArgument(QStringLiteral("FILE.tsr|DIR"),
                                     QStringLiteral("record-set files or backup folders"),
                                     QStringLiteral("FILE.tsr|DIR..."));
    }

    int Run(Context& ctx) override {
        const QCommandLineParser& p = ctx.Parser();
        if (ctx.Arguments().isEmpty())
            return ctx.UsageError(QStringLiteral("publish: give record-set files or folders"));
        const QUrl url = QUrl::fromUserInput(p.value(QStringLiteral("url")));
        if (!p.isSet(QStringLiteral("url")) || !url.isValid() ||
            (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
            return ctx.UsageError(
                QStringLiteral("publish: give the server with --url http(s)://..."));
        if (p.isSet(QStringLiteral("password-file")) && p.isSet(QStringLiteral("ask-password")))
            return ctx.UsageError(
                QStringLiteral("publish: give --password-file or --ask-password, not both"));

        dav::DavClientOptions options;
        options.user = p.value(QStringLiteral("user"));
        if (options.user.isEmpty())
            options.user = url.userName();
        if (p.isSet(QStringLiteral("password-file"))) {
            QFile f(p.value(QStringLiteral("password-file")));
            if (!f.open(QIODevice::ReadOnly))
                return ctx.UsageError(QStringLiteral("publish: cannot read the password file '%1'")
                                          .arg(f.fileName()));
            options.password = QString::fromUtf8(f.readLine());
            while (options.password.endsWith(QLatin1Char('\n')) ||
                   options.password.endsWith(QLatin1Char('\r')))
                options.password.chop(1);
        } else if (p.isSet(QStringLiteral("ask-password"))) {
            if (!AskLine(QStringLiteral("password for %1 at %2: ").arg(options.user, url.host()),
                         false, options.password))
                return ctx.UsageError(
                    QStringLiteral("publish: no terminal to ask the password on"));
        }

        QStringList files;
        dav::DavMessage failure;
        if (!dav::ExpandInputs(ctx.Arguments(), files, failure)) {
            ctx.Err(failure.Text());
            return kExitBadData;
        }
        std::vector<dav::DavObject> objects;
        std::vector<QString> notes;
        dav::AddFiles(files, ctx.CodeMap(), objects, notes);
        for (const QString& n : notes)
            ctx.Err(n);

        // Certificates the user trusted, per host; a new one is trusted only on the terminal.
        options.trusted = dav::LoadTrusted();
        options.askTrust = [](const QString& host, const QString& print, const QString& problem) {
            const dav::DavMessage ask{ids::kMsgDavTrustAsk, {host, problem, print}};
            QString answer;
            return AskLine(ask.Text() + QStringLiteral(" [y/N] "), true, answer) &&
                   (answer.trimmed().toLower() == QLatin1String("y") ||
                    answer.trimmed().toLower() == QLatin1String("yes"));
        };

        dav::CDavClient client(options);
        dav::PublishOptions publish;
        publish.url = url;
        publish.url.setUserInfo(QString());
        publish.dryRun = p.isSet(QStringLiteral("dry-run"));
        publish.deleteMissing = p.isSet(QStringLiteral("delete-missing"));
        dav::CPublisher publisher(client, publish);
        dav::PublishResult result;
        const bool ok = publisher.Run(objects, result);

        if (client.Trusted() != options.trusted)
            dav::SaveTrusted(client.Trusted());
        for (const QString& n : result.notes)
            ctx.Err(n);
        if (result.failure.IsSet()) {
            const std::string text = result.failure.Cp932();
            ctx.Prompter().Show(result.failure.id, text, PromptIcon::Stop, PromptButtons::Ok);
        }
        ctx.Out(dav::CountLines(result.counts));
        if (ok)
            return kExitOk;
        if (result.cancelled)
            return kExitCancelled;
        if (result.failure.IsSet() && result.failure.id != ids::kMsgDavNothing)
            return kExitLink;
        return kExitBadData;
    }
};

} // namespace

TESSERA_REGISTER_COMMAND(PublishCommand);

} // namespace tessera::cli
