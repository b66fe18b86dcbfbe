#include "cli/Command.h"

#include "base/AppSettings.h"
#include "cli/CliPrompter.h"
#include "model/CodeMap.h"
#include "resources/StringIds.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

namespace tessera::cli {

namespace {
std::vector<CommandFactory>& Factories() {
    static std::vector<CommandFactory> factories;
    return factories;
}
} // namespace

CommandRegistrar::CommandRegistrar(CommandFactory factory) {
    Factories().push_back(std::move(factory));
}

std::vector<std::unique_ptr<Command>> AllCommands() {
    std::vector<std::unique_ptr<Command>> all;
    for (const CommandFactory& f : Factories())
        all.push_back(f());
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return a->Name() < b->Name(); });
    return all;
}

Context::Context(const QCommandLineParser& parser, CliPrompter& prompter)
    : m_parser(parser), m_prompter(prompter) {}

Context::~Context() = default;

CAppSettings& Context::Settings() {
    if (!m_settings) {
        m_settings = std::make_unique<CAppSettings>();
        m_settings->LoadSettings();
    }
    return *m_settings;
}

const CCodeMap* Context::CodeMap() {
    if (!m_mapTried) {
        m_mapTried = true;
        auto map = std::make_unique<CCodeMap>(Settings().ConvFlags());
        if (map->LoadTables())
            m_map = std::move(map);
        else
            ShowMessage(ids::kMsgCharTables, PromptIcon::Stop, PromptButtons::Ok);
    }
    return m_map.get();
}

void Context::Out(const QString& text) {
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, static_cast<std::size_t>(b.size()), stdout);
}

void Context::OutBytes(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void Context::Err(const QString& text) {
    const QByteArray b = text.toUtf8();
    std::fprintf(stderr, "%s\n", b.constData());
}

void Context::OutJson(const QJsonObject& document) {
    OutBytes(QJsonDocument(document).toJson(QJsonDocument::Compact).toStdString());
    OutBytes("\n");
}

int Context::UsageError(const QString& text) {
    Err(QStringLiteral("tessera-cli: %1").arg(text));
    return kExitUsage;
}

QString CommandHelpText(const QCommandLineParser& parser, const QString& command) {
    QString text = parser.helpText();
    // The parser names the program by the path it was started as.
    const QString usage = QStringLiteral("Usage: ");
    const QStringList args = QCoreApplication::arguments();
    const QString started = usage + (args.isEmpty() ? QString() : args.front());
    const QString wanted = usage + QStringLiteral("tessera-cli ") + command;
    if (!args.isEmpty() && text.startsWith(started + QLatin1Char(' ')))
        text.replace(0, started.size(), wanted);
    return text;
}

void AddJsonOption(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("print one JSON document instead of lines (tessera-cli(1) "
                                     "lists its keys)")});
}

bool JsonWanted(const QCommandLineParser& parser) {
    return parser.optionNames().contains(QStringLiteral("json"));
}

bool ParseHex(const QString& text, unsigned max, unsigned& value) {
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    else if (t.startsWith(QLatin1Char('$')))
        t = t.mid(1);
    if (t.isEmpty() || t.size() > 8)
        return false;
    bool ok = false;
    const uint v = t.toUInt(&ok, 16);
    if (!ok || v > max)
        return false;
    value = v;
    return true;
}

bool ParseWordList(const QString& text, const QStringList& allowed, QStringList& words) {
    words.clear();
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& p : parts) {
        const QString w = p.trimmed().toLower();
        if (!allowed.contains(w))
            return false;
        if (!words.contains(w))
            words.append(w);
    }
    return true;
}

} // namespace tessera::cli
