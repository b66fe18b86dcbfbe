// tessera-cli find FILE QUERY... [--json]: the numbers (from 1, as send --records takes them)
// of the records whose display texts hold every word of the query, folded as the window's
// find bar folds them. Exit 0 when a record matched, 1 when none did.

#include "base/Cp932.h"
#include "cli/Command.h"
#include "cli/RecordSetFile.h"
#include "model/Find.h"
#include "model/RecordSet.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tessera::cli {

namespace {

class FindCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("find"); }
    QString Description() const override {
        return QStringLiteral("print the numbers of the records that match a query");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({QStringLiteral("json"),
                          QStringLiteral("print one JSON object: file, query words, records")});
        AddReadOptions(parser);
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("record-set file"));
        parser.addPositionalArgument(
            QStringLiteral("QUERY"),
            QStringLiteral("words that must all occur (case, width and kana folded)"),
            QStringLiteral("QUERY..."));
    }

    int Run(Context& ctx) override {
        ReadOptions options;
        if (!TakeReadOptions(ctx, options))
            return kExitUsage;
        const QStringList args = ctx.Arguments();
        if (args.size() < 2)
            return ctx.UsageError(QStringLiteral("find: give a file and at least one word"));

        CRecordSet set;
        int emptied = 0;
        const int rc = ReadRecordFile(ctx, args.front(), options, set, emptied);
        if (rc != kExitOk)
            return rc;

        const QStringList words = args.mid(1);
        std::string query;
        std::vector<int> hits;
        // A word code page 932 cannot hold is in no record.
        if (QStringToCp932(words.join(QLatin1Char(' ')), query))
            hits = FindRecords(set, CFindQuery(query));

        if (ctx.Parser().isSet(QStringLiteral("json"))) {
            QJsonArray records;
            for (int i : hits)
                records.append(i + 1);
            QJsonObject root;
            root.insert(QStringLiteral("file"), args.front());
            root.insert(QStringLiteral("query"), QJsonArray::fromStringList(words));
            root.insert(QStringLiteral("records"), records);
            ctx.Out(QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact)) +
                    QLatin1Char('\n'));
        } else {
            QString out;
            for (int i : hits)
                out += QString::number(i + 1) + QLatin1Char('\n');
            ctx.Out(out);
        }
        return hits.empty() ? 1 : kExitOk;
    }
};

TESSERA_REGISTER_COMMAND(FindCommand);

} // namespace

} // namespace tessera::cli
