// tessera-cli build IN.json -o OUT.tsr: the inverse of dump (without --display). Takes the
// tags and the records' exchange texts, parses each into its field and writes the text
// form. A value its field refuses, or one the file could not carry back, is an error naming
// the record and field; a value stored differently from the input is reported on stderr.

#include "base/Cp932.h"
#include "cli/Command.h"
#include "cli/RecordSetFile.h"
#include "model/RecordSet.h"
#include "model/TextForm.h"
#include "text/Cp932Text.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <string>
#include <vector>

namespace tessera::cli {

namespace {

QString ProblemText(ValueProblem problem) {
    switch (problem) {
    case ValueProblem::EndMark:
        return QStringLiteral("holds a zero byte or 0x1A, which ends a record-set text");
    case ValueProblem::BareCR:
        return QStringLiteral("holds a CR that is not part of a line break");
    case ValueProblem::QuoteSeparator:
        return QStringLiteral("holds a double quote followed by a comma or CR, which would "
                              "split the value");
    case ValueProblem::SplitCharacter:
        return QStringLiteral("ends with half of a double-byte character");
    case ValueProblem::TooLong:
        return QStringLiteral("is longer than 32767 bytes");
    case ValueProblem::None:
        break;
    }
    return {};
}

// The first half of a surrogate pair standing alone (JSON's "\ud800"), which no code page
// 932 code can carry: its 1-based character position, or 0 when there is none.
qsizetype LoneSurrogateAt(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return i + 1;
    }
    return 0;
}

QString LoneSurrogateText(const QString& text, qsizetype at) {
    return QStringLiteral("a lone surrogate (U+%1) at character %2 is not a character")
        .arg(QString::number(text[at - 1].unicode(), 16).toUpper())
        .arg(at);
}

class BuildCommand : public Command {
public:
    QString Name() const override { return QStringLiteral("build"); }
    QString Description() const override {
        return QStringLiteral("write a .tsr file from JSON in the form dump prints");
    }

    void AddOptions(QCommandLineParser& parser) const override {
        parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                          QStringLiteral("the record-set file to write"),
                          QStringLiteral("OUT.tsr")});
        parser.addPositionalArgument(QStringLiteral("IN.json"),
                                     QStringLiteral("tags and records as dump prints them"));
    }

    int Run(Context& ctx) override {
        if (ctx.Arguments().size() != 1)
            return ctx.UsageError(QStringLiteral("build: give one JSON file"));
        const QString output = ctx.Parser().value(QStringLiteral("output"));
        if (output.isEmpty())
            return ctx.UsageError(QStringLiteral("build: give the output file with -o"));

        std::string json;
        if (!ReadWholeFile(ctx.Arguments().front(), json)) {
            ctx.Err(
                QStringLiteral("tessera-cli build: cannot read '%1'").arg(ctx.Arguments().front()));
            return kExitBadData;
        }
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(
            QByteArray(json.data(), static_cast<qsizetype>(json.size())), &parseError);
        if (doc.isNull() || !doc.isObject())
            return Fail(ctx, parseError.error != QJsonParseError::NoError
                                 ? QStringLiteral("not JSON: %1 at byte %2")
                                       .arg(parseError.errorString())
                                       .arg(parseError.offset)
                                 : QStringLiteral("the JSON is not an object"));
        const QJsonObject root = doc.object();
        if (!root.value(QStringLiteral("tags")).isArray() ||
            !root.value(QStringLiteral("records")).isArray())
            return Fail(ctx, QStringLiteral("the JSON needs the arrays \"tags\" and \"records\""));

        std::vector<std::string> tags;
        for (const QJsonValue& t : root.value(QStringLiteral("tags")).toArray()) {
            std::string tag;
            if (t.isString()) {
                const QString text = t.toString();
                if (const qsizetype at = LoneSurrogateAt(text))
                    return Fail(ctx, QStringLiteral("tag %1: ").arg(tags.size() + 1) +
                                         LoneSurrogateText(text, at));
            }
            if (!t.isString() || !Utf8ToCp932(t.toString().toStdString(), tag))
                return Fail(ctx, QStringLiteral("every tag must be a text in code page 932"));
            tags.push_back(tag);
        }
        CRecordSet set;
        set.SetTagList(tags);
        if (root.contains(QStringLiteral("kind")) &&
            root.value(QStringLiteral("kind")).toInt(-1) != set.Kind())
            ctx.Err(QStringLiteral("tessera-cli build: note: the tags give kind %1, not %2")
                        .arg(set.Kind())
                        .arg(root.value(QStringLiteral("kind")).toInt(-1)));

        int number = 0;
        RecordList records;
        for (const QJsonValue& rv : root.value(QStringLiteral("records")).toArray()) {
            ++number;
            if (!rv.isArray())
                return Fail(ctx, QStringLiteral("record %1 is not an array").arg(number));
            const QJsonArray values = rv.toArray();
            if (values.size() > set.FieldCount())
                return Fail(ctx, QStringLiteral("record %1 has %2 values for %3 tags")
                                     .arg(number)
                                     .arg(values.size())
                                     .arg(set.FieldCount()));
            auto record = set.NewRecord();
            if (!record)
                return kExitBadData;
            for (int f = 0; f < static_cast<int>(values.size()); ++f) {
                const int rc = PutValue(ctx, set, *record, number, f, values[f]);
                if (rc != kExitOk)
                    return rc;
            }
            records.push_back(std::move(record));
        }
        if (!records.empty())
            set.InsertRecords(-1, std::move(records));

        std::string text;
        if (!set.WriteTextToString(text))
            return kExitBadData;
        if (!WriteOutputFile(ctx, Name(), output, text))
            return kExitBadData;
        return kExitOk;
    }

private:
    static int Fail(Context& ctx, const QString& text) {
        ctx.Err(QStringLiteral("tessera-cli build: ") + text);
        return kExitBadData;
    }

    static int PutValue(Context& ctx, const CRecordSet& set, CDataRecord& record, int number, int f,
                        const QJsonValue& v) {
        const QString where = QStringLiteral("record %1, field %2 (%3)")
                                  .arg(number)
                                  .arg(f + 1)
                                  .arg(Cp932ToQString(set.Tags()[static_cast<std::size_t>(f)]));
        const bool slot = record.FieldAt(f) != nullptr;
        if (v.isNull()) {
            // A slot without a field class; for a real field, the value of a new one.
            return kExitOk;
        }
        if (!v.isString())
            return Fail(ctx, where + QStringLiteral(": the value must be a text or null"));
        if (!slot)
            return Fail(ctx, where + QStringLiteral(": the tag has no field class, so the "
                                                    "value must be null"));
        const QString input = v.toString();
        // toStdString would turn it into '?' without a word.
        if (const qsizetype at = LoneSurrogateAt(input))
            return Fail(ctx, where + QStringLiteral(": ") + LoneSurrogateText(input, at));
        std::string value;
        std::size_t bad = 0;
        const std::string utf8 = input.toStdString();
        if (!Utf8ToCp932(utf8, value, &bad))
            return Fail(ctx, where + QStringLiteral(": the character at byte %1 has no code "
                                                    "page 932 code")
                                         .arg(bad));
        // Line breaks from outside always enter as CR LF: a lone CR would stop the reader.
        std::string normal = NormalizeLineBreaks(value);
        const bool rebroken = normal != value;
        try {
            record.ParseField(f, normal, false);
        } catch (const CUserAbort&) {
            return Fail(
                ctx, where + QStringLiteral(": the field refuses '%1'").arg(Cp932ToQString(value)));
        }
        std::string stored;
        if (!record.FormatField(f, stored, false))
            return Fail(ctx, where + QStringLiteral(": the value cannot be written back"));
        const ValueProblem problem = CheckValue(stored);
        if (problem != ValueProblem::None)
            return Fail(ctx, where + QStringLiteral(": the value ") + ProblemText(problem));
        if (rebroken)
            ctx.Err(QStringLiteral("tessera-cli build: %1: line breaks changed to CR LF "
                                   "(written as 0x1F)")
                        .arg(where));
        else if (stored != value)
            ctx.Err(QStringLiteral("tessera-cli build: %1: stored as %2")
                        .arg(where)
                        .arg(QString::fromStdString(JsonString(stored))));
        return kExitOk;
    }
};

TESSERA_REGISTER_COMMAND(BuildCommand);

} // namespace

} // namespace tessera::cli
