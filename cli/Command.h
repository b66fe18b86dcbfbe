#pragma once
// The command framework of tessera-cli. A command is a subclass of Command in its own
// cli/cmd_<name>.cpp, registered with TESSERA_REGISTER_COMMAND(Class).

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {
class CAppSettings;
class CCodeMap;
} // namespace tessera

class QJsonObject;

namespace tessera::cli {

// Exit codes of every command.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,     // bad command line
    kExitBadData = 2,   // unreadable or invalid input
    kExitLink = 3,      // the link or the device failed
    kExitCancelled = 4, // cancelled (by an answer to a question, or a signal)
};

class CliPrompter;

// What the framework hands a running command.
class Context {
public:
    Context(const QCommandLineParser& parser, CliPrompter& prompter);
    ~Context();

    const QCommandLineParser& Parser() const { return m_parser; }
    QStringList Arguments() const { return m_parser.positionalArguments(); }
    CliPrompter& Prompter() { return m_prompter; }

    // The user's settings, read on first use (messages through the prompter).
    CAppSettings& Settings();
    // The character map, loaded on first use with the settings' switches; null (after
    // message 1012) when its tables cannot be loaded.
    const CCodeMap* CodeMap();

    // Output: text in UTF-8 on stdout; raw bytes; a message on stderr.
    void Out(const QString& text);
    void OutBytes(std::string_view bytes);
    void Err(const QString& text);
    // One JSON document (compact, UTF-8) and a line break on stdout: what --json prints.
    void OutJson(const QJsonObject& document);
    // Prints "tessera-cli <command>: <text>" on stderr and returns kExitUsage.
    int UsageError(const QString& text);

private:
    const QCommandLineParser& m_parser;
    CliPrompter& m_prompter;
    std::unique_ptr<CAppSettings> m_settings;
    std::unique_ptr<CCodeMap> m_map;
    bool m_mapTried = false;
};

class Command {
public:
    virtual ~Command() = default;
    virtual QString Name() const = 0;
    virtual QString Description() const = 0;
    // The command's options and positional arguments (help text), added to `parser`.
    virtual void AddOptions(QCommandLineParser& parser) const { (void)parser; }
    // Runs the command; returns an exit code.
    virtual int Run(Context& ctx) = 0;
};

using CommandFactory = std::function<std::unique_ptr<Command>()>;

struct CommandRegistrar {
    explicit CommandRegistrar(CommandFactory factory);
};

// Every registered command, one instance each, sorted by name.
std::vector<std::unique_ptr<Command>> AllCommands();

// Helpers shared by commands.
// The help text of a command, its usage line naming the program and the command
// ("Usage: tessera-cli addin [options] FILE.zrs") rather than the executable's path.
QString CommandHelpText(const QCommandLineParser& parser, const QString& command);
// --json: one JSON document on stdout instead of the lines (a command that offers it adds it).
void AddJsonOption(QCommandLineParser& parser);
bool JsonWanted(const QCommandLineParser& parser);
// Parses "1F", "0x1F", "$1F"; false when not hex or above `max`.
bool ParseHex(const QString& text, unsigned max, unsigned& value);
// Parses a comma-separated option value against the allowed words; false on an unknown one.
bool ParseWordList(const QString& text, const QStringList& allowed, QStringList& words);

} // namespace tessera::cli

#define TESSERA_CLI_CONCAT2(a, b) a##b
#define TESSERA_CLI_CONCAT(a, b) TESSERA_CLI_CONCAT2(a, b)
#define TESSERA_REGISTER_COMMAND(Class)                                                            \
    static const ::tessera::cli::CommandRegistrar TESSERA_CLI_CONCAT(s_register_, __LINE__)(       \
        [] { return std::unique_ptr<::tessera::cli::Command>(new Class); })
