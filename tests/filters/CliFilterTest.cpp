// tessera-cli import and export: the same registrations and engine as the window program,
// run the way a user types them, from a sample to a foreign file and back.

#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"

namespace tessera::test {
namespace {

class CliFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        // The user's settings of the child process, with the bundled filters registered.
        QSettings store(m_home.filePath(QStringLiteral("Quillon/Tessera.conf")), QSettings::IniFormat);
        Register(store, QStringLiteral("CSV"), QStringLiteral("csv"), QStringLiteral(TSR_CSV));
        Register(store, QStringLiteral("vCard"), QStringLiteral("vcf"), QStringLiteral(TSR_VCARD));
        Register(store, QStringLiteral("iCalendar"), QStringLiteral("ics"), QStringLiteral(TSR_ICAL));
        store.setValue(QStringLiteral("Filters/Installed"), 3);
        store.sync();
    }

    static void Register(QSettings& s, const QString& name, const QString& ext, const QString& program) {
        s.setValue(QStringLiteral("FilterPrograms/") + name + QStringLiteral("/szExtension"), ext);
        s.setValue(QStringLiteral("FilterPrograms/") + name + QStringLiteral("/szFilter"), program);
        s.setValue(QStringLiteral("FilterPrograms/") + name + QStringLiteral("/bPerlScript"), 0);
    }

    struct Result {
        int code = -1;
        std::string out, err;
    };
    Result Cli(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TESSERA_CLI), args);
        EXPECT_TRUE(p.waitForFinished(60000));
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
    const Result missing = Cli({"import", Path("none.ics"), "--filter", "iCalendar", "-o", Path("x.tsr")});
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

} // namespace
} // namespace tessera::test
