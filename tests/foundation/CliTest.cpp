#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

// Runs tessera-cli with a home of its own, so no real settings are touched; `locale` (when
// given) is the whole locale of the run, with no language chosen by the environment.
CliRun Cli(const QStringList& args, const QString& locale = {}) {
    static QTemporaryDir home;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!locale.isEmpty()) {
        for (const char* v : {"TESSERA_LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            env.remove(QString::fromLatin1(v));
        env.insert(QStringLiteral("LANG"), locale);
    }
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TESSERA_CLI), args);
    CliRun r;
    if (!p.waitForFinished(20000)) {
        ADD_FAILURE() << "tessera-cli did not finish";
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

TEST(CliCharmap, PrintsHexThenTabThenText) {
    CliRun r = Cli({QStringLiteral("charmap"), QStringLiteral("--conv"), QStringLiteral("kana"),
                    QStringLiteral("ECAA"), QStringLiteral("ec41")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("B6DE\tｶﾞ\n82A0\tあ\n"));

    r = Cli({QStringLiteral("charmap"), QStringLiteral("EBAE"), QStringLiteral("8259"),
             QStringLiteral("824F")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("30\t0\n3130\t10\n824F\t０\n"));

    r = Cli({QStringLiteral("charmap"), QStringLiteral("--conv=alnum,symbol"),
             QStringLiteral("0x9873"), QStringLiteral("824F"), QStringLiteral("ECAA")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("288A9429\t(株)\n30\t0\nECAA\t") +
                         QString(QChar::highSurrogate(0xFECAA)) +
                         QString(QChar::lowSurrogate(0xFECAA)) + QStringLiteral("\n"));
}

TEST(CliCharmap, BadInputGivesItsExitCode) {
    EXPECT_EQ(Cli({QStringLiteral("charmap"), QStringLiteral("--conv"), QStringLiteral("greek"),
                   QStringLiteral("8140")})
                  .code,
              1);
    EXPECT_EQ(Cli({QStringLiteral("charmap"), QStringLiteral("XYZ")}).code, 1);
    EXPECT_EQ(Cli({QStringLiteral("charmap"), QStringLiteral("123456")}).code, 1);
    EXPECT_EQ(Cli({QStringLiteral("charmap")}).code, 1);
    // A single-byte code is never converted: bad data, but the other codes are still shown.
    CliRun r = Cli({QStringLiteral("charmap"), QStringLiteral("0041"), QStringLiteral("EBAE")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, QStringLiteral("30\t0\n"));
    EXPECT_FALSE(r.err.isEmpty());
}

TEST(CliStrings, PrintsEachTextOnItsLine) {
    CliRun r = Cli({QStringLiteral("strings"), QStringLiteral("1537"), QStringLiteral("6150")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("受信が正常に終了しました\nPI-6600\n"));

    r = Cli({QStringLiteral("strings"), QStringLiteral("--escape"), QStringLiteral("1013")});
    EXPECT_EQ(r.out, QStringLiteral("不正なザウルス機種が設定されていたので既定値(PI-3000)"
                                    "に戻しました。\\n正しい機種を再設定してください。\n"));
}

TEST(CliStrings, UnknownOrBadIds) {
    CliRun r = Cli({QStringLiteral("strings"), QStringLiteral("1537"), QStringLiteral("3")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, QStringLiteral("受信が正常に終了しました\n"));
    EXPECT_EQ(Cli({QStringLiteral("strings"), QStringLiteral("12x")}).code, 1);
    EXPECT_EQ(Cli({QStringLiteral("strings")}).code, 1);
}

TEST(Cli, UsageErrors) {
    EXPECT_EQ(Cli({}).code, 1);
    EXPECT_EQ(Cli({QStringLiteral("nosuchcommand")}).code, 1);
    EXPECT_EQ(Cli({QStringLiteral("--answer"), QStringLiteral("maybe"), QStringLiteral("strings"),
                   QStringLiteral("1")})
                  .code,
              1);
    CliRun r = Cli({QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("charmap")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("strings")));
}

// Usage lines name the program and the command, never the path it was started by.
TEST(Cli, UsageLinesNameProgramAndCommand) {
    const struct {
        const char* command;
        const char* usage;
    } kCases[] = {{"addin", "Usage: tessera-cli addin [options] FILE.zrs\n"},
                  {"info", "Usage: tessera-cli info [options] FILE\n"},
                  {"filters", "Usage: tessera-cli filters [options]\n"}};
    for (const auto& c : kCases) {
        for (const char* help : {"--help", "--help-all"}) {
            SCOPED_TRACE(std::string(c.command) + " " + help);
            const CliRun r = Cli({QString::fromLatin1(c.command), QString::fromLatin1(help)});
            EXPECT_EQ(r.code, 0);
            EXPECT_TRUE(r.out.startsWith(QString::fromLatin1(c.usage))) << r.out.toStdString();
        }
    }
}

QJsonObject JsonOf(const CliRun& r) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(QLatin1Char('\n')) && r.out.count(QLatin1Char('\n')) == 1)
        << "one document on one line";
    return doc.object();
}

// --json prints one document with the documented keys, after the command or before it.
TEST(CliJson, InfoCheckAndFiltersKeepTheirKeys) {
    const QString sample = QStringLiteral(TESSERA_SAMPLES "/phonebook.tsr");
    for (const QStringList& args :
         {QStringList{QStringLiteral("info"), QStringLiteral("--json"), sample},
          QStringList{QStringLiteral("--json"), QStringLiteral("info"), sample}}) {
        const CliRun r = Cli(args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QJsonObject o = JsonOf(r);
        EXPECT_EQ(o.value(QStringLiteral("file")).toString(), sample);
        EXPECT_EQ(o.value(QStringLiteral("kind")).toInt(), 1);
        EXPECT_EQ(o.value(QStringLiteral("kindName")).toString(), QStringLiteral("電話帳"));
        EXPECT_EQ(o.value(QStringLiteral("fields")).toInt(), 12);
        EXPECT_EQ(o.value(QStringLiteral("records")).toInt(), 5);
        EXPECT_EQ(o.value(QStringLiteral("emptied")).toInt(), 0);
    }

    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.tsr"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\"i\",\"MARK\",\"PRTY\",\"MEM1\"\r\n\"T\"\r\n\"D\",\"01\",\"9\",\"a\"\r\n"
            "\"D\",\"x\",\"02\",\"b\"\r\n\x1A");
    f.close();
    CliRun r = Cli({QStringLiteral("check"), QStringLiteral("--json"), broken});
    EXPECT_EQ(r.code, 2) << "the exit code does not change with --json";
    QJsonObject o = JsonOf(r);
    EXPECT_FALSE(o.value(QStringLiteral("ok")).toBool());
    EXPECT_TRUE(o.value(QStringLiteral("readable")).toBool());
    const QJsonArray problems = o.value(QStringLiteral("problems")).toArray();
    ASSERT_EQ(problems.size(), 2);
    const struct {
        int record, field;
        const char* value;
    } kProblems[] = {{1, 2, "9"}, {2, 1, "x"}};
    for (int i = 0; i < 2; ++i) {
        const QJsonObject p = problems[i].toObject();
        EXPECT_EQ(p.value(QStringLiteral("record")).toInt(), kProblems[i].record);
        EXPECT_EQ(p.value(QStringLiteral("field")).toInt(), kProblems[i].field);
        EXPECT_EQ(p.value(QStringLiteral("value")).toString(), QLatin1String(kProblems[i].value));
        EXPECT_GT(p.value(QStringLiteral("id")).toInt(), 0);
        EXPECT_FALSE(p.value(QStringLiteral("message")).toString().isEmpty());
    }
    r = Cli({QStringLiteral("check"), QStringLiteral("--json"),
             QStringLiteral(TESSERA_SAMPLES "/schedule.tsr")});
    EXPECT_EQ(r.code, 0);
    o = JsonOf(r);
    EXPECT_TRUE(o.value(QStringLiteral("ok")).toBool());
    EXPECT_TRUE(o.value(QStringLiteral("problems")).toArray().isEmpty());

    r = Cli({QStringLiteral("--json"), QStringLiteral("filters")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QStringList names;
    for (const QJsonValue& v : JsonOf(r).value(QStringLiteral("filters")).toArray()) {
        const QJsonObject filter = v.toObject();
        names.append(filter.value(QStringLiteral("name")).toString());
        EXPECT_FALSE(filter.value(QStringLiteral("extension")).toString().isEmpty());
        EXPECT_FALSE(filter.value(QStringLiteral("program")).toString().isEmpty());
        EXPECT_TRUE(filter.value(QStringLiteral("perlScript")).isBool());
    }
    EXPECT_TRUE(names.contains(QStringLiteral("CSV")) && names.contains(QStringLiteral("vCard")) &&
                names.contains(QStringLiteral("iCalendar")))
        << names.join(QLatin1Char(' ')).toStdString();
}

// A failure prints nothing on stdout; a command without --json refuses it as a usage error.
TEST(CliJson, FailuresAndCommandsWithoutJson) {
    CliRun r = Cli({QStringLiteral("info"), QStringLiteral("--json"),
                    QStringLiteral("/nonexistent/nothing.tsr")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.isEmpty());
    r = Cli({QStringLiteral("--json"), QStringLiteral("strings"), QStringLiteral("1537")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty());
}

TEST(CliLanguage, LangOptionThenSystemLocale) {
    const QString received = QStringLiteral("受信が正常に終了しました\nPI-6600\n");
    const QString english = QStringLiteral("The data has been received.\nPI-6600\n");
    const struct {
        QStringList global;
        QString locale;
        QString out;
    } cases[] = {
        {{QStringLiteral("--lang"), QStringLiteral("en")}, {}, english},
        {{QStringLiteral("--lang=en"), QStringLiteral("--quiet")}, {}, english},
        {{QStringLiteral("--answer"), QStringLiteral("no"), QStringLiteral("--lang"),
          QStringLiteral("en")},
         {},
         english},
        {{QStringLiteral("--lang"), QStringLiteral("ja")}, QStringLiteral("en_US.UTF-8"), received},
        {{}, QStringLiteral("en_US.UTF-8"), english},
        {{}, QStringLiteral("ja_JP.UTF-8"), received},
        {{}, QStringLiteral("C"), received},
        {{}, QStringLiteral("POSIX"), received},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.global.join(QLatin1Char(' ')) + QLatin1Char('/') + c.locale).toStdString());
        CliRun r = Cli(c.global + QStringList{QStringLiteral("strings"), QStringLiteral("1537"),
                                              QStringLiteral("6150")},
                       c.locale);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
    }
    EXPECT_EQ(Cli({QStringLiteral("--lang"), QStringLiteral("english!"), QStringLiteral("strings"),
                   QStringLiteral("1")})
                  .code,
              1);
}

} // namespace
