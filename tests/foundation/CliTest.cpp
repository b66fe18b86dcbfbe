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
