// The engine that runs a filter program: the exact argument vector and standard input a
// filter receives, every exit code's message on each side, the faults of a filter (writes
// nothing, stops reading, crashes, cannot start, hangs until cancelled), merging an
// import into existing records, and the first-start registration of the bundled filters.

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>
#include <tuple>

#include "app/core/AppSettings.h"
#include "document/FilterRunner.h"
#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"
#include "tests/filters/FilterTestSupport.h"

namespace tessera::test {
namespace {

class FilterRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApp();
        ASSERT_TRUE(m_dir.isValid());
        m_log = m_dir.filePath(QStringLiteral("probe.log"));
        for (const char* v : {"PROBE_EXIT", "PROBE_OUTPUT", "PROBE_NOREAD", "PROBE_CRASH", "PROBE_HANG", "PROBE_TOUCH"})
            qunsetenv(v);
        qputenv("PROBE_LOG", m_log.toLocal8Bit());
    }
    void TearDown() override { qunsetenv("PROBE_LOG"); }

    FilterProgram Probe(const QString& program = QStringLiteral(FILTER_PROBE)) const {
        FilterProgram f;
        f.name = QStringLiteral("probe");
        f.extension = QStringLiteral("csv");
        f.program = program;
        return f;
    }
    std::string Log() const { return ReadBytes(m_log); }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    std::unique_ptr<CRecordSet> SampleSet(const char* file) {
        ScriptedPrompter quiet;
        auto set = std::make_unique<CRecordSet>();
        EXPECT_TRUE(set->ReadText(SampleBytes(file), nullptr));
        return set;
    }

    TempSettings m_settings;
    QTemporaryDir m_dir;
    QString m_log;
};

TEST(FilterCommandLines, ArgumentListsAreExactAndUnquoted) {
    FilterProgram exe;
    exe.program = QStringLiteral("/opt/my filters/conv");
    FilterProgram perl = exe;
    perl.program = QStringLiteral("/opt/my filters/conv.PL");
    perl.perlScript = true;
    const QString file = QStringLiteral("/home/u/My Documents/address book.csv");

    const FilterCommandLine in = ImportCommandLine(exe, file);
    EXPECT_EQ(in.program, exe.program);
    EXPECT_EQ(in.arguments, (QStringList{"-I", file, "-V", "1"}));
    const FilterCommandLine out = ExportCommandLine(exe, file, 6);
    EXPECT_EQ(out.program, exe.program);
    EXPECT_EQ(out.arguments, (QStringList{"-E", file, "-T", "6", "-V", "1"}));
    const FilterCommandLine pin = ImportCommandLine(perl, file);
    EXPECT_EQ(pin.program, QStringLiteral("perl"));
    EXPECT_EQ(pin.arguments, (QStringList{perl.program, "-I", file, "-V", "1"}));
    const FilterCommandLine pout = ExportCommandLine(perl, file, 1);
    EXPECT_EQ(pout.arguments, (QStringList{perl.program, "-E", file, "-T", "1", "-V", "1"}));
}

TEST(FilterCommandLines, ExitCodeMessagesFollowEachSidesOwnTable) {
    // code, import message, export message
    const std::vector<std::tuple<int, int, int>> table = {
        {0, 0, 1290},     {1, 1280, 1280},  {2, 1281, 1281},  {3, 1282, 1282},  {4, 1289, 1289},
        {9, 1289, 1289},  {10, 1283, 1289}, {11, 1284, 1289}, {19, 1285, 1289}, {20, 1289, 1286},
        {21, 1289, 1287}, {29, 1289, 1288}, {30, 1289, 1289}, {255, 1289, 1289}, {-1, 1289, 1289},
    };
    for (const auto& [code, in, out] : table) {
        EXPECT_EQ(ImportExitMessage(code), in) << code;
        EXPECT_EQ(ExportExitMessage(code), out) << code;
    }
}

TEST(FilterCommandLines, PerlAndExtensionRules) {
    for (const char* yes : {"a.pl", "A.PL", "/x/y/conv.Pl"})
        EXPECT_TRUE(IsPerlScriptPath(QString::fromLatin1(yes))) << yes;
    for (const char* no : {"a.exe", "apl", "a.pl.bak", "a.plx", ""})
        EXPECT_FALSE(IsPerlScriptPath(QString::fromLatin1(no))) << no;
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/d/address"), QStringLiteral("csv")), QStringLiteral("/d/address.csv"));
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/d/address.txt"), QStringLiteral("csv")), QStringLiteral("/d/address.txt"));
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/d.x/address"), QStringLiteral("csv")), QStringLiteral("/d.x/address.csv"));
}

TEST_F(FilterRunnerTest, ExportHandsTheFilterItsArgumentsAndTheWholeTextForm) {
    auto set = SampleSet("phonebook.tsr");
    const QString target = Path("out dir with spaces.csv");
    ScriptedPrompter prompter;
    prompter.Expect(kMsgExportDone);
    ASSERT_TRUE(RunExportFilter(*set, Probe(), target));
    std::string text;
    ASSERT_TRUE(set->WriteTextToString(text));
    const std::string expected = "argc=6\n[-E]\n[" + target.toStdString() + "]\n[-T]\n[1]\n[-V]\n[1]\nstdin:" +
                                 text + ":end\n";
    EXPECT_EQ(Log(), expected);
    ASSERT_EQ(text.substr(text.size() - 3), "\r\n\x1A");
    EXPECT_NE(prompter.Messages().at(0).Utf8().find(target.toStdString()), std::string::npos);
}

TEST_F(FilterRunnerTest, ImportReadsTheFiltersOutputButNotItsStandardError) {
    qputenv("PROBE_OUTPUT", QByteArray(TESSERA_SAMPLES "/schedule.tsr"));
    const QString source = Path("in file.ics");
    ScriptedPrompter prompter;
    auto set = RunImportFilter(Probe(), source, nullptr);
    ASSERT_TRUE(set);
    EXPECT_EQ(Log(), "argc=4\n[-I]\n[" + source.toStdString() + "]\n[-V]\n[1]\nstdin::end\n")
        << "no input is offered on import";
    EXPECT_EQ(Rows(*set), Rows(*SampleSet("schedule.tsr")));
}

TEST_F(FilterRunnerTest, EveryExitCodeShowsItsMessageOnEachSide) {
    auto set = SampleSet("memo.tsr");
    for (int code : {1, 2, 3, 10, 11, 19, 20, 21, 29, 42}) {
        SCOPED_TRACE(code);
        qputenv("PROBE_EXIT", QByteArray::number(code));
        {
            ScriptedPrompter prompter;
            prompter.Expect(ImportExitMessage(code));
            EXPECT_FALSE(RunImportFilter(Probe(), Path("x"), nullptr));
        }
        {
            ScriptedPrompter prompter;
            prompter.Expect(ExportExitMessage(code));
            EXPECT_FALSE(RunExportFilter(*set, Probe(), Path("x")));
            EXPECT_NE(prompter.Messages().at(0).icon, PromptIcon::Information);
        }
    }
}

TEST_F(FilterRunnerTest, AFilterThatWritesNothingFailsTheImportWith2048Then1037) {
    ScriptedPrompter prompter;
    prompter.Expect(2048).Expect(kMsgFileError);
    EXPECT_FALSE(RunImportFilter(Probe(), Path("x"), nullptr));
}

TEST_F(FilterRunnerTest, AFilterThatStopsBeforeReadingItsInputEndsTheExport) {
    qputenv("PROBE_NOREAD", "1");
    qputenv("PROBE_EXIT", "29");
    // More than a pipe holds, so the write runs into the closed pipe.
    auto set = std::make_unique<CRecordSet>();
    set->SetKind(kKindReport);
    for (int i = 0; i < 3000; ++i) {
        auto r = set->NewRecord();
        ASSERT_TRUE(r->ParseField(set->FindTag(MakeTag("CLAS")), std::string(60, 'x'), false));
        set->InsertRecord(-1, std::move(r));
    }
    ScriptedPrompter prompter;
    prompter.Expect(1288);
    EXPECT_FALSE(RunExportFilter(*set, Probe(), Path("x")));
}

TEST_F(FilterRunnerTest, ACrashIsAnInternalErrorNotTheSignalsNumber) {
    qputenv("PROBE_CRASH", "1");
    ScriptedPrompter prompter;
    prompter.Expect(kMsgFilterInternal).Expect(kMsgFilterInternal);
    EXPECT_FALSE(RunImportFilter(Probe(), Path("x"), nullptr));
    EXPECT_FALSE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), Path("x")));
}

TEST_F(FilterRunnerTest, AFilterPathWithSpacesStartsWhole) {
    const QString dir = Path("my filters");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString copy = dir + QStringLiteral("/probe filter");
    ASSERT_TRUE(QFile::copy(QStringLiteral(FILTER_PROBE), copy));
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner);
    qputenv("PROBE_OUTPUT", QByteArray(TESSERA_SAMPLES "/memo.tsr"));
    ScriptedPrompter prompter;
    auto set = RunImportFilter(Probe(copy), Path("a b"), nullptr);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->Kind(), kKindMemo);
}

TEST_F(FilterRunnerTest, AFilterThatCannotStartOrIsNotRegisteredGives3079) {
    ScriptedPrompter prompter;
    prompter.Expect(kMsgFilterCannotStart).Expect(kMsgFilterCannotStart).Expect(kMsgFilterCannotStart);
    EXPECT_FALSE(RunImportFilter(Probe(Path("no-such-program")), Path("x"), nullptr));
    EXPECT_FALSE(RunExportFilter(*SampleSet("memo.tsr"), Probe(Path("no-such-program")), Path("x")));
    FilterProgram f;
    EXPECT_FALSE(LookUpFilter(QStringLiteral("never registered"), f));
}

TEST_F(FilterRunnerTest, APerlFilterRunsThroughPerlWithTheScriptFirst) {
    if (QStandardPaths::findExecutable(QStringLiteral("perl")).isEmpty())
        GTEST_SKIP() << "no perl on PATH";
    const QString script = Path("echo args.pl");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("open(my $l, '>>', $ENV{PROBE_LOG}); print $l join('|', $0, @ARGV), \"\\n\"; "
            "binmode STDIN; local $/; my $in = <STDIN>; print $l length($in), \"\\n\"; exit 0;\n");
    f.close();
    FilterProgram perl = Probe(script);
    perl.perlScript = true;
    auto set = SampleSet("anniversary.tsr");
    std::string text;
    ASSERT_TRUE(set->WriteTextToString(text));
    ScriptedPrompter prompter;
    prompter.Expect(kMsgExportDone);
    ASSERT_TRUE(RunExportFilter(*set, perl, Path("o.csv")));
    EXPECT_EQ(Log(), (script + QStringLiteral("|-E|") + Path("o.csv") + QStringLiteral("|-T|4|-V|1\n")).toStdString() +
                         std::to_string(text.size()) + "\n");
}

TEST_F(FilterRunnerTest, CancelKillsTheFilterAndLeavesNoHalfWrittenFile) {
    qputenv("PROBE_HANG", "1");
    qputenv("PROBE_TOUCH", "1");
    const QString target = Path("never.csv");
    qint64 pid = 0;
    auto cancelSoon = [&](CFilterProcess& p) {
        pid = p.Pid();
        // The filter has made its file; the user gives up.
        for (int i = 0; i < 200 && !QFile::exists(target); ++i)
            QThread::msleep(10);
        p.Cancel();
    };
    ScriptedPrompter prompter;
    prompter.Expect(kMsgFilterCancelled);
    EXPECT_FALSE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), target, cancelSoon));
    EXPECT_GT(pid, 0);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_NE(::kill(static_cast<pid_t>(pid), 0), 0) << "the filter is gone";

    prompter.Expect(kMsgFilterCancelled);
    EXPECT_FALSE(RunImportFilter(Probe(), Path("x"), nullptr, [](CFilterProcess& p) { p.Cancel(); }));
}

TEST_F(FilterRunnerTest, AFailedOrCancelledExportLeavesAnExistingFileAsItWas) {
    const QString target = Path("kept.csv");
    auto write = [&] {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the user's file");
    };
    write();
    qputenv("PROBE_TOUCH", "1"); // the filter overwrites the target, then fails
    qputenv("PROBE_EXIT", "21");
    ScriptedPrompter prompter;
    prompter.Expect(1287);
    EXPECT_FALSE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), target));
    EXPECT_EQ(ReadBytes(target), "the user's file");
    qputenv("PROBE_HANG", "1");
    prompter.Expect(kMsgFilterCancelled);
    EXPECT_FALSE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), target, [&](CFilterProcess& p) {
        for (int i = 0; i < 200 && ReadBytes(target) != "partial"; ++i)
            QThread::msleep(10);
        p.Cancel();
    }));
    EXPECT_EQ(ReadBytes(target), "the user's file");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).filter(QStringLiteral("kept")).size(), 1)
        << "no copy is left behind";
}

TEST_F(FilterRunnerTest, ImportMergesByKindAsPasteDoes) {
    ScriptedPrompter prompter;
    // Nothing yet: the imported set is taken whole.
    auto imported = SampleSet("phonebook.tsr");
    EXPECT_EQ(MergeImported(nullptr, *imported), MergeResult::TakeWhole);
    CRecordSet fresh;
    EXPECT_EQ(MergeImported(&fresh, *imported), MergeResult::TakeWhole);
    // The same kind: appended after the existing records.
    auto current = SampleSet("phonebook.tsr");
    const int before = current->RecordCount();
    EXPECT_EQ(MergeImported(current.get(), *imported), MergeResult::Appended);
    EXPECT_EQ(current->RecordCount(), before * 2);
    // Another kind: 1031 and the records stay as they were.
    auto schedule = SampleSet("schedule.tsr");
    const auto rowsBefore = Rows(*current);
    prompter.Expect(kMsgMergeKindMismatch);
    EXPECT_EQ(MergeImported(current.get(), *schedule), MergeResult::Refused);
    EXPECT_EQ(Rows(*current), rowsBefore);
}

TEST_F(FilterRunnerTest, BundledFiltersAreRegisteredOnceAndStayRemovedWhenRemoved) {
    // An install folder with the three programs.
    const QString app = Path("bin");
    ASSERT_TRUE(QDir().mkpath(app));
    for (const BundledFilter& b : BundledFilters()) {
        const QString p = app + QLatin1Char('/') + QString::fromLatin1(b.program);
        ASSERT_TRUE(QFile::copy(QStringLiteral(FILTER_PROBE), p));
    }
    CAppSettings settings;
    EXPECT_EQ(RegisterBundledFilters(settings, Path("empty")), 0) << "nothing found, nothing remembered";
    EXPECT_EQ(RegisterBundledFilters(settings, app), 3);
    EXPECT_EQ(settings.Installed, 3);
    FilterProgram csv;
    ASSERT_TRUE(CAppSettings::ReadFilter(QStringLiteral("CSV"), csv));
    EXPECT_EQ(csv.extension, QStringLiteral("csv"));
    EXPECT_TRUE(csv.program.endsWith(QStringLiteral("/bin/tsr-csv")));
    EXPECT_FALSE(csv.perlScript);
    EXPECT_EQ(RegisterBundledFilters(settings, app), 0) << "only once";

    for (const FilterProgram& f : CAppSettings::ReadFilters())
        ASSERT_TRUE(CAppSettings::RemoveFilter(f.name));
    EXPECT_EQ(RegisterBundledFilters(settings, app), 0) << "the user's removal stands";
    EXPECT_EQ(settings.Installed, 0);
}

} // namespace
} // namespace tessera::test
