// tessera-cli import and export: the same registrations and engine as the window program,
// run the way a user types them, from a sample to a foreign file and back.

#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <unistd.h>

namespace tessera::test {
namespace {

class CliFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        // The user's settings of the child process, with the bundled filters registered.
        QSettings store(m_home.filePath(QStringLiteral("Quillon/Tessera.conf")),
                        QSettings::IniFormat);
        Register(store, QStringLiteral("CSV"), QStringLiteral("csv"), QStringLiteral(TSR_CSV));
        Register(store, QStringLiteral("vCard"), QStringLiteral("vcf"), QStringLiteral(TSR_VCARD));
        Register(store, QStringLiteral("iCalendar"), QStringLiteral("ics"),
                 QStringLiteral(TSR_ICAL));
        store.setValue(QStringLiteral("Filters/Installed"), 3);
        store.sync();
    }

    static void Register(QSettings& s, const QString& name, const QString& ext,
                         const QString& program, bool perl = false) {
        s.setValue(QStringLiteral("FilterPrograms/") + name + QStringLiteral("/szExtension"), ext);
        s.setValue(QStringLiteral("FilterPrograms/") + name + QStringLiteral("/szFilter"), program);
        s.setValue(QStringLiteral("FilterPrograms/") + name + QStringLiteral("/bPerlScript"),
                   perl ? 1 : 0);
    }
    // Registers a shell script as the filter `name` (a program, not a perl script).
    void RegisterScript(const QString& name, const QByteArray& body) {
        const QString path = m_home.filePath(name + QStringLiteral(".sh"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + body);
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        QSettings store(m_home.filePath(QStringLiteral("Quillon/Tessera.conf")),
                        QSettings::IniFormat);
        Register(store, name, QStringLiteral("csv"), path);
    }

    struct Result {
        int code = -1;
        std::string out, err;
    };
    // Starts tessera-cli with the test's settings; Ctrl+C and SIGTERM act on it as at a
    // terminal even when the tests themselves run with them ignored.
    void Start(QProcess& p, const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("PIDS"), m_home.filePath(QStringLiteral("pids")));
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([] {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
        });
        p.start(QStringLiteral(TESSERA_CLI), args);
    }
    Result Cli(const QStringList& args) {
        QProcess p;
        Start(p, args);
        return Finish(p);
    }
    static Result Finish(QProcess& p) {
        EXPECT_TRUE(p.waitForFinished(120000));
        Result r;
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }
    QString Path(const char* name) const { return m_work.filePath(QString::fromUtf8(name)); }

    QTemporaryDir m_home;
    QTemporaryDir m_work;
};

std::vector<std::vector<std::string>> RowsOfFile(const QString& path) {
    ScriptedPrompter prompter;
    CRecordSet set;
    EXPECT_TRUE(set.ReadText(ReadBytes(path), nullptr));
    return Rows(set);
}

TEST_F(CliFilterTest, ExportsAndImportsEachBundledFormat) {
    struct Case {
        const char* sample;
        const char* filter;
        const char* out;
    };
    for (const Case& c : std::vector<Case>{{"phonebook.tsr", "vCard", "book.vcf"},
                                           {"schedule.tsr", "iCalendar", "plan.ics"},
                                           {"report.tsr", "csv", "report.csv"}}) { // any case
        SCOPED_TRACE(c.sample);
        const QString sample = QStringLiteral(TESSERA_SAMPLES "/") + QString::fromLatin1(c.sample);
        const Result ex = Cli({"export", sample, "--filter", c.filter, "-o", Path(c.out)});
        ASSERT_EQ(ex.code, 0) << ex.err;
        EXPECT_NE(ex.err.find("エクスポートが正常に終了しました"), std::string::npos) << ex.err;
        const QString back = Path("back.tsr");
        const Result im = Cli({"import", Path(c.out), "--filter", c.filter, "-o", back});
        ASSERT_EQ(im.code, 0) << im.err;
        EXPECT_EQ(RowsOfFile(back), RowsOfFile(sample));
    }
}

TEST_F(CliFilterTest, FailuresAreReportedWithTheirMessagesAndExitCodes) {
    const QString sample = QStringLiteral(TESSERA_SAMPLES "/schedule.tsr");
    // A kind the filter cannot hold: 1282 and no success.
    const Result kind = Cli({"export", sample, "--filter", "vCard", "-o", Path("x.vcf")});
    EXPECT_EQ(kind.code, 2);
    EXPECT_NE(kind.err.find("対応していないタイプです"), std::string::npos) << kind.err;
    // A missing input file: 1283, and no record-set file is made.
    const Result missing =
        Cli({"import", Path("none.ics"), "--filter", "iCalendar", "-o", Path("x.tsr")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("入力ファイルが存在しません"), std::string::npos) << missing.err;
    EXPECT_FALSE(QFile::exists(Path("x.tsr")));
    // An unknown filter name and a missing option are usage errors.
    EXPECT_EQ(Cli({"export", sample, "--filter", "nope", "-o", Path("y")}).code, 1);
    EXPECT_EQ(Cli({"import", Path("a"), "--filter", "CSV"}).code, 1);
}

TEST_F(CliFilterTest, FirstRunRegistersTheBundledFiltersOnceOnly) {
    const QString conf = m_home.filePath(QStringLiteral("Quillon/Tessera.conf"));
    ASSERT_TRUE(QFile::remove(conf)); // a user who never started either program
    const QString sample = QStringLiteral(TESSERA_SAMPLES "/phonebook.tsr");
    const Result first = Cli({"export", sample, "--filter", "vCard", "-o", Path("first.vcf")});
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_TRUE(QFile::exists(Path("first.vcf")));
    {
        QSettings store(conf, QSettings::IniFormat);
        EXPECT_EQ(store.value(QStringLiteral("Filters/Installed")).toInt(), 3);
        // The user removes every filter afterwards: they stay removed.
        store.remove(QStringLiteral("FilterPrograms"));
        store.setValue(QStringLiteral("Filters/Installed"), 0);
        store.sync();
    }
    EXPECT_EQ(Cli({"export", sample, "--filter", "vCard", "-o", Path("again.vcf")}).code, 1);
    EXPECT_FALSE(QFile::exists(Path("again.vcf")));
}

TEST_F(CliFilterTest, FiltersListsTheRegistrationsOneALine) {
    {
        QSettings store(m_home.filePath(QStringLiteral("Quillon/Tessera.conf")),
                        QSettings::IniFormat);
        Register(store, QStringLiteral("Perl conv"), QStringLiteral("txt"),
                 QStringLiteral("/opt/my filters/conv.pl"), true);
    }
    const Result r = Cli({"filters"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "CSV\tcsv\t" TSR_CSV "\n"
                     "Perl conv\ttxt\tperl /opt/my filters/conv.pl\n"
                     "iCalendar\tics\t" TSR_ICAL "\n"
                     "vCard\tvcf\t" TSR_VCARD "\n");
    EXPECT_EQ(Cli({"filters", "extra"}).code, 1);
}

// A filter that never ends, with a child of its own (as a script's commands are); it writes
// both process ids to $PIDS once it runs, and a note.
const QByteArray kHangingScript = "[ -n \"$IGNORE_TERM\" ] && trap '' TERM\n"
                                  "sleep 100000 &\n"
                                  "echo $! $$ > \"$PIDS.new\" && mv \"$PIDS.new\" \"$PIDS\"\n"
                                  "echo 'レコード 1: まだ終わりません' >&2\n"
                                  "wait\n";

TEST_F(CliFilterTest, AHangingFilterIsStoppedAndLeavesEverythingAsItWas) {
    RegisterScript(QStringLiteral("Hang"), kHangingScript);
    const QString sample = QStringLiteral(TESSERA_SAMPLES "/phonebook.tsr");
    struct Case {
        const char* name;
        bool import;
        int signo; // 0: the time limit ends it
        bool ignoreTerm;
        int code;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"export, --timeout", false, 0, false, 2, "2 秒たっても終了しないため中止しました"},
        {"export, Ctrl+C", false, SIGINT, false, 4, "実行を中止しました"},
        {"export, SIGTERM", false, SIGTERM, false, 4, "実行を中止しました"},
        {"export, Ctrl+C, filter ignores SIGTERM", false, SIGINT, true, 4, "実行を中止しました"},
        {"import, --timeout", true, 0, false, 2, "2 秒たっても終了しないため中止しました"},
        {"import, Ctrl+C", true, SIGINT, false, 4, "実行を中止しました"},
    };
    QTemporaryDir runs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString pids = m_home.filePath(QStringLiteral("pids"));
        QFile::remove(pids);
        const QString target = runs.filePath(QStringLiteral("out.csv"));
        {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("the user's file\n");
        }
        const QString tsr = runs.filePath(QStringLiteral("out.tsr"));
        QStringList args = c.import
                               ? QStringList{"import", target, "--filter", "Hang", "-o", tsr}
                               : QStringList{"export", sample, "--filter", "Hang", "-o", target};
        if (c.signo == 0)
            args << "--timeout"
                 << "2";
        qputenv("IGNORE_TERM", c.ignoreTerm ? "1" : "");
        QProcess cli;
        Start(cli, args);
        ASSERT_TRUE(cli.waitForStarted(60000));
        for (int i = 0; i < 3000 && !QFile::exists(pids); ++i)
            QThread::msleep(20);
        ASSERT_TRUE(QFile::exists(pids)) << "the filter runs";
        const QList<QByteArray> ids =
            ReadBytes(pids).empty()
                ? QList<QByteArray>()
                : QByteArray::fromStdString(ReadBytes(pids)).trimmed().split(' ');
        ASSERT_EQ(ids.size(), 2);
        if (c.signo != 0)
            ::kill(static_cast<pid_t>(cli.processId()), c.signo);
        const Result r = Finish(cli);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("\n  レコード 1: まだ終わりません\n"), std::string::npos)
            << "the notes follow: " << r.err;
        for (const QByteArray& id : ids)
            EXPECT_TRUE(WaitUntilGone(id.toLongLong()))
                << "process " << id.toStdString() << " is gone";
        EXPECT_EQ(ReadBytes(target), "the user's file\n");
        EXPECT_EQ(FilesIn(runs.path()), QStringList{"out.csv"})
            << "no temporary file, no record-set file";
    }
    qunsetenv("IGNORE_TERM");
    EXPECT_EQ(
        Cli({"export", sample, "--filter", "Hang", "-o", Path("x"), "--timeout", "soon"}).code, 1);
    EXPECT_EQ(
        Cli({"import", Path("x"), "--filter", "Hang", "-o", Path("x.tsr"), "--timeout", "-1"}).code,
        1);
}

TEST_F(CliFilterTest, AFailingFilterLeavesTheTargetByteForByteAndItsNotesAreShown) {
    // Half the output written, then the disk is full (exit 21) or the filter gives up (29).
    RegisterScript(QStringLiteral("Full"),
                   "cat > /dev/null\nprintf partial > \"$2\"\n"
                   "echo 'レコード 2: 書き込めません' >&2\nexit ${CODE:-21}\n");
    RegisterScript(QStringLiteral("Fine"),
                   "cat > /dev/null\nprintf new > \"$2\"\n"
                   "printf 'レコード 1: 読みの欄がありません\\n3 行目: 空の行\\n' >&2\n");
    const QString sample = QStringLiteral(TESSERA_SAMPLES "/phonebook.tsr");
    const QString target = Path("book.csv");
    QByteArray original;
    for (int i = 0; i < 256; ++i)
        original.append(static_cast<char>(i));
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(original);
    }
    for (const char* code : {"21", "29"}) {
        SCOPED_TRACE(code);
        qputenv("CODE", code);
        const Result r = Cli({"export", sample, "--filter", "Full", "-o", target});
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(std::string(code) == "21" ? "ディスク容量が不足しています"
                                                       : "エクスポート時のエラーです"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("\n  レコード 2: 書き込めません\n"), std::string::npos) << r.err;
        EXPECT_EQ(QByteArray::fromStdString(ReadBytes(target)), original);
        EXPECT_EQ(FilesIn(m_work.path()), QStringList{"book.csv"});
    }
    qunsetenv("CODE");
    const Result ok = Cli({"export", sample, "--filter", "Fine", "-o", target});
    ASSERT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_NE(ok.err.find("注意が 2 件あります"), std::string::npos) << ok.err;
    EXPECT_NE(ok.err.find("\n  レコード 1: 読みの欄がありません\n  3 行目: 空の行\n"),
              std::string::npos)
        << ok.err;
    const Result quiet = Cli({"--quiet", "export", sample, "--filter", "Fine", "-o", target});
    EXPECT_NE(quiet.err.find("  3 行目: 空の行"), std::string::npos) << "--quiet keeps the notes";
}

} // namespace
} // namespace tessera::test
