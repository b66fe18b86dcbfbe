// tessera-cli check FILE: reads a record-set file without asking anything and lists every
// problem the reader meets, one line each (record, field, value, message). Exit 0 when the
// file reads without a single message, 2 otherwise. --json prints one object instead:
// file, ok, readable and the problems (record, field, value, id, message).

#include "base/Cp932.h"
#include "cli/Command.h"
#include "cli/RecordSetFile.h"
#include "model/Prompter.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <string>
#include <vector>

namespace tessera::cli {

namespace {

// Notes each question of the reader with where it stands, and answers so that the reader
// goes on to the next problem: ignore a bad value (but never "ignore all", so each one is
// listed), drop surplus values.
class ProblemCollector : public Prompter {
public:
    explicit ProblemCollector(const CRecordSet& set) : m_set(set) {}

    struct Problem {
        int id;
        ReadPosition where;
        std::string text;
    };

    PromptResult Show(int id, const std::string& text, PromptIcon, PromptButtons buttons) override {
        if (id == kMsgInvalidInput)
            return PromptResult::Ok; // the generic notice before the detailed question
        if (id == kMsgIgnoreAll)
            return PromptResult::No;
        m_problems.push_back({id, m_set.CurrentReadPosition(), text});
        if (buttons == PromptButtons::AbortRetryIgnore)
            return PromptResult::Ignore;
        return DefaultPromptResult(buttons);
    }

    const std::vector<Problem>& Problems() const { return m_problems; }

private:
    const CRecordSet& m_set;
    std::vector<Problem> m_problems;
};

class CheckCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("check"); }
    QString Description() const override {
        return QStringLiteral("list every problem of a .tsr file (exit 2 when there is one)");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        AddReadOptions(parser, false);
        AddJsonOption(parser);
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("record-set file"));
    }

    int Run(Context& ctx) override {
        ReadOptions options;
        if (!TakeReadOptions(ctx, options, false))
            return kExitUsage;
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("check: give one file"));
        const QString path = ctx.Arguments().front();
        std::string bytes;
        if (!ReadWholeFile(path, bytes)) {
            ctx.Err(QStringLiteral("tessera-cli: cannot read '%1'").arg(path));
            return kExitBadData;
        }
        CCodeMap map(&options.flags);
        if (!map.LoadTables()) {
            ShowMessage(ids::kMsgCharTables, PromptIcon::Stop, PromptButtons::Ok);
            return kExitBadData;
        }

        CRecordSet set;
        ProblemCollector collector(set);
        Prompter* previous = CurrentPrompter();
        SetPrompter(&collector);
        const bool ok = set.ReadText(bytes, &map);
        SetPrompter(previous);

        const bool json = JsonWanted(ctx.Parser());
        QJsonArray problems;
        for (const auto& p : collector.Problems()) {
            QString message = Cp932ToQString(p.text);
            message.replace(QLatin1Char('\n'), QLatin1Char(' '));
            if (json) {
                problems.append(
                    QJsonObject{{QStringLiteral("record"), p.where.record},
                                {QStringLiteral("field"), p.where.field},
                                {QStringLiteral("value"), Cp932ToQString(p.where.value)},
                                {QStringLiteral("id"), p.id},
                                {QStringLiteral("message"), message}});
                continue;
            }
            const QString value = QString::fromStdString(JsonString(p.where.value));
            ctx.Out(QStringLiteral("record %1, field %2, value %3: %4\n")
                        .arg(p.where.record)
                        .arg(p.where.field)
                        .arg(value, message));
        }
        if (json) {
            ctx.OutJson({{QStringLiteral("file"), path},
                         {QStringLiteral("ok"), ok && collector.Problems().empty()},
                         {QStringLiteral("readable"), ok || !collector.Problems().empty()},
                         {QStringLiteral("problems"), problems}});
        } else if (!ok && collector.Problems().empty()) {
            ctx.Out(QStringLiteral("the file cannot be read\n"));
        }
        return ok && collector.Problems().empty() ? kExitOk : kExitBadData;
    }
};

TESSERA_REGISTER_COMMAND(CheckCommand);

} // namespace

} // namespace tessera::cli
