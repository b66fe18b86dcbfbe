// The engine that runs a filter program: the exact argument vector and standard input a
// filter receives, every exit code's message on each side, the faults of a filter (writes
// nothing, stops reading, crashes, cannot start, hangs until cancelled), merging an
// import into existing records, and the first-start registration of the bundled filters.

#include "base/FilterRunner.h"

#include "base/AppSettings.h"
#include "model/RecordKind.h"
#include "support/ScriptedPrompter.h"
#include "support/TempSettings.h"
#include "tests/filters/FilterTestSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <signal.h>
#include <tuple>

namespace tessera::test {
namespace {

class FilterRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApp();
        ASSERT_TRUE(m_dir.isValid());
        m_log = m_dir.filePath(QStringLiteral("probe.log"));
        for (const char* v :
             {"PROBE_EXIT", "PROBE_OUTPUT", "PROBE_NOREAD", "PROBE_CRASH", "PROBE_HANG",
              "PROBE_TOUCH", "PROBE_NOTES", "PROBE_CHILD", "PROBE_IGNORE_TERM"})
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
    // True once the filter has written "partial" into the file it was given.
    bool FilterWrotePartial() const {
        const QString path = ExportArgument();
        return !path.isEmpty() && ReadBytes(path) == "partial";
    }
    // The path the filter was given after -E (the first run in the log).
    QString ExportArgument() const {
        const QStringList lines = QString::fromStdString(Log()).split(QLatin1Char('\n'));
        const qsizetype at = lines.indexOf(QStringLiteral("[-E]"));
        return at >= 0 && at + 1 < lines.size() ? lines.at(at + 1).mid(1).chopped(1) : QString();
    }
    // The child the probe started (PROBE_CHILD), 0 when none is logged.
    long long LoggedChild() const {
        const std::string log = Log();
        const std::size_t at = log.find("child=");
        return at == std::string::npos ? 0 : std::atoll(log.c_str() + at + 6);
    }
    // Writes `bytes` to a file of the test folder and returns its path.
    QString Write(const char* name, const QByteArray& bytes) const {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
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
        {0, 0, 1290},     {1, 1280, 1280},  {2, 1281, 1281},  {3, 1282, 1282},   {4, 1289, 1289},
        {9, 1289, 1289},  {10, 1283, 1289}, {11, 1284, 1289}, {19, 1285, 1289},  {20, 1289, 1286},
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
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/d/address"), QStringLiteral("csv")),
              QStringLiteral("/d/address.csv"));
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/d/address.txt"), QStringLiteral("csv")),
              QStringLiteral("/d/address.txt"));
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/d.x/address"), QStringLiteral("csv")),
              QStringLiteral("/d.x/address.csv"));
}

TEST_F(FilterRunnerTest, ExportHandsTheFilterItsArgumentsAndTheWholeTextForm) {
    auto set = SampleSet("phonebook.tsr");
    const QString target = Path("out dir with spaces.csv");
    qputenv("PROBE_TOUCH", "1");
    ScriptedPrompter prompter;
    prompter.Expect(kMsgExportDone);
    ASSERT_TRUE(RunExportFilter(*set, Probe(), target));
    // The filter writes a new file beside the target, with its extension; that file becomes
    // the target.
    const QString written = ExportArgument();
    EXPECT_EQ(QFileInfo(written).absolutePath(), m_dir.path());
    EXPECT_TRUE(QFileInfo(written).fileName().startsWith(
        QStringLiteral(".out dir with spaces.csv.tessera-")))
        << written.toStdString();
    EXPECT_TRUE(written.endsWith(QStringLiteral(".csv")));
    EXPECT_EQ(ReadBytes(target), "partial");
    EXPECT_EQ(FilesIn(m_dir.path()), (QStringList{"out dir with spaces.csv", "probe.log"}));
    std::string text;
    ASSERT_TRUE(set->WriteTextToString(text));
    const std::string expected = "argc=6\n[-E]\n[" + written.toStdString() +
                                 "]\n[-T]\n[1]\n[-V]\n[1]\nstdin:" + text + ":end\n";
    EXPECT_EQ(Log(), expected);
    ASSERT_EQ(text.substr(text.size() - 3), "\r\n\x1A");
    EXPECT_NE(prompter.Messages().at(0).Utf8().find(target.toStdString()), std::string::npos)
        << "the message names the target, not the file the filter wrote";
}

TEST_F(FilterRunnerTest, ImportReadsTheFiltersOutputButNotItsStandardError) {
    qputenv("PROBE_OUTPUT", QByteArray(TESSERA_SAMPLES "/schedule.tsr"));
    qputenv("PROBE_NOTES", Write("notes", "\"D\",\"not a record\"\n").toLocal8Bit());
    const QString source = Path("in file.ics");
    DetailPrompter prompter;
    prompter.Expect(kMsgImportDoneNotes);
    auto set = RunImportFilter(Probe(), source, nullptr);
    ASSERT_TRUE(set);
    EXPECT_EQ(Log(), "argc=4\n[-I]\n[" + source.toStdString() + "]\n[-V]\n[1]\nstdin::end\n")
        << "no input is offered on import";
    EXPECT_EQ(Rows(*set), Rows(*SampleSet("schedule.tsr")));
    EXPECT_EQ(prompter.Details(0), "\"D\",\"not a record\"")
        << "standard error is a note, not a record";
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
    prompter.Expect(kMsgFilterCannotStart)
        .Expect(kMsgFilterCannotStart)
        .Expect(kMsgFilterCannotStart);
    EXPECT_FALSE(RunImportFilter(Probe(Path("no-such-program")), Path("x"), nullptr));
    EXPECT_FALSE(
        RunExportFilter(*SampleSet("memo.tsr"), Probe(Path("no-such-program")), Path("x")));
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
    const QRegularExpression expected(
        QLatin1Char('^') +
        QRegularExpression::escape(script + QStringLiteral("|-E|") + m_dir.path()) +
        QStringLiteral("/\\.o\\.csv\\.tessera-\\d+-\\w{6}\\.csv\\|-T\\|4\\|-V\\|1\n") +
        QString::number(text.size()) + QStringLiteral("\n$"));
    EXPECT_TRUE(expected.match(QString::fromStdString(Log())).hasMatch()) << Log();
}

TEST_F(FilterRunnerTest, CancelKillsTheFilterAndLeavesNoHalfWrittenFile) {
    qputenv("PROBE_HANG", "1");
    qputenv("PROBE_TOUCH", "1");
    const QString target = Path("never.csv");
    qint64 pid = 0;
    auto cancelSoon = [&](CFilterProcess& p) {
        pid = p.Pid();
        // The filter has written its file; the user gives up.
        for (int i = 0; i < 500 && !FilterWrotePartial(); ++i)
            QThread::msleep(10);
        p.Cancel();
    };
    ScriptedPrompter prompter;
    prompter.Expect(kMsgFilterCancelled);
    EXPECT_FALSE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), target, cancelSoon));
    EXPECT_GT(pid, 0);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(FilesIn(m_dir.path()), QStringList{"probe.log"}) << "nothing of the export is left";
    EXPECT_TRUE(ProcessGone(pid)) << "the filter is gone";

    prompter.Expect(kMsgFilterCancelled);
    EXPECT_FALSE(
        RunImportFilter(Probe(), Path("x"), nullptr, [](CFilterProcess& p) { p.Cancel(); }));
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
    QFile::remove(m_log);
    EXPECT_FALSE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), target, [&](CFilterProcess& p) {
        for (int i = 0; i < 500 && !FilterWrotePartial(); ++i)
            QThread::msleep(10);
        p.Cancel();
    }));
    EXPECT_EQ(ReadBytes(target), "the user's file");
    EXPECT_EQ(FilesIn(m_dir.path()), (QStringList{"kept.csv", "probe.log"}))
        << "no copy is left behind";
}

TEST_F(FilterRunnerTest, TheTargetChangesOnlyWhenTheFilterSucceeds) {
    enum class Stop { None, Cancel, TimeLimit };
    struct Case {
        const char* name;
        int exit;
        bool crash;
        Stop stop;
        bool ignoreTerm;
        int message;
    };
    const std::vector<Case> cases = {
        {"success", 0, false, Stop::None, false, kMsgExportDone},
        {"disk full", 21, false, Stop::None, false, 1287},
        {"wrong version", 1, false, Stop::None, false, 1280},
        {"crash", 0, true, Stop::None, false, kMsgFilterInternal},
        {"cancel", 0, false, Stop::Cancel, false, kMsgFilterCancelled},
        {"cancel, SIGTERM ignored", 0, false, Stop::Cancel, true, kMsgFilterCancelled},
        {"time limit", 0, false, Stop::TimeLimit, false, kMsgFilterTimedOut},
    };
    auto set = SampleSet("memo.tsr");
    int n = 0;
    for (const Case& c : cases) {
        for (const bool existed : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (existed ? ", over a file" : ", new file"));
            const QString dir = Path("case") + QString::number(++n);
            ASSERT_TRUE(QDir().mkpath(dir));
            const QString target = dir + QStringLiteral("/out.csv");
            if (existed) {
                Write("x", "the user's file");
                ASSERT_TRUE(QFile::rename(Path("x"), target));
                QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup);
            }
            QFile::remove(m_log);
            for (const char* v : {"PROBE_CRASH", "PROBE_HANG", "PROBE_CHILD", "PROBE_IGNORE_TERM"})
                qunsetenv(v);
            qputenv("PROBE_TOUCH", "1");
            qputenv("PROBE_EXIT", QByteArray::number(c.exit));
            if (c.crash)
                qputenv("PROBE_CRASH", "1");
            if (c.stop != Stop::None) {
                qputenv("PROBE_HANG", "1");
                qputenv("PROBE_CHILD", "1");
            }
            if (c.ignoreTerm)
                qputenv("PROBE_IGNORE_TERM", "1");
            qint64 pid = 0;
            FilterWaiter waiter = [&](CFilterProcess& p) {
                pid = p.Pid();
                if (c.stop == Stop::TimeLimit)
                    p.SetTimeLimit(1);
                if (c.stop == Stop::Cancel) {
                    for (int i = 0; i < 500 && !FilterWrotePartial(); ++i)
                        QThread::msleep(10);
                    p.Cancel();
                }
                p.WaitInEventLoop();
            };
            ScriptedPrompter prompter;
            prompter.Expect(c.message);
            EXPECT_EQ(RunExportFilter(*set, Probe(), target, waiter),
                      c.exit == 0 && !c.crash && c.stop == Stop::None);
            if (c.message == kMsgExportDone) {
                EXPECT_EQ(ReadBytes(target), "partial");
                if (existed) {
                    const auto ownerGroupOther =
                        QFile::permissions(target) & QFileDevice::Permissions(0x7077);
                    EXPECT_EQ(ownerGroupOther, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ReadGroup)
                        << "the replaced file keeps its permissions";
                }
            } else if (existed) {
                EXPECT_EQ(ReadBytes(target), "the user's file");
            }
            EXPECT_EQ(FilesIn(dir), existed || c.message == kMsgExportDone ? QStringList{"out.csv"}
                                                                           : QStringList{})
                << "no file of the export is left";
            EXPECT_TRUE(WaitUntilGone(pid)) << "the filter is gone";
            if (c.stop != Stop::None) {
                EXPECT_GT(LoggedChild(), 0);
                EXPECT_TRUE(WaitUntilGone(LoggedChild())) << "and so is what it started";
            }
        }
    }
}

TEST_F(FilterRunnerTest, ATimeLimitOrCancelStopsAnImportToo) {
    qputenv("PROBE_HANG", "1");
    qputenv("PROBE_CHILD", "1");
    qint64 pid = 0;
    ScriptedPrompter prompter;
    prompter.Expect(kMsgFilterTimedOut);
    EXPECT_FALSE(RunImportFilter(Probe(), Path("x"), nullptr, [&](CFilterProcess& p) {
        pid = p.Pid();
        p.SetTimeLimit(1);
        p.WaitInEventLoop();
    }));
    EXPECT_NE(prompter.Messages().at(0).Utf8().find("1 秒"), std::string::npos)
        << prompter.Messages().at(0).Utf8();
    EXPECT_TRUE(WaitUntilGone(pid));
    EXPECT_TRUE(WaitUntilGone(LoggedChild()));
}

TEST_F(FilterRunnerTest, FilesOfAKilledRunAreRemovedOnlyWhenTheirProgramIsGone) {
    // A process that has ended: its pid names a run that can no longer finish.
    QProcess gone;
    gone.start(QStringLiteral(FILTER_PROBE), {});
    ASSERT_TRUE(gone.waitForStarted(60000));
    const qint64 deadPid = gone.processId();
    gone.closeWriteChannel();
    ASSERT_TRUE(gone.waitForFinished(60000));
    ASSERT_TRUE(ProcessGone(deadPid));
    const QString ownPid = QString::number(QCoreApplication::applicationPid());
    const QString dead = QStringLiteral(".kept.csv.tessera-%1-AbC123.csv").arg(deadPid);
    const QString live = QStringLiteral(".kept.csv.tessera-%1-AbC123.csv").arg(ownPid);
    const QStringList others = {QStringLiteral("kept.csv.tessera-previous"),
                                QStringLiteral(".kept.csv.tessera-1-x.csv"),
                                QStringLiteral(".other.csv.tessera-%1-AbC123.csv").arg(deadPid)};
    for (const QString& name : QStringList{dead, live} + others)
        Write(name.toUtf8().constData(), "old");
    ScriptedPrompter prompter;
    prompter.Expect(kMsgExportDone);
    ASSERT_TRUE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), Path("kept.csv")));
    const QStringList files = FilesIn(m_dir.path());
    EXPECT_FALSE(files.contains(dead)) << "gone: " << deadPid;
    EXPECT_TRUE(files.contains(live)) << "a run that is still going keeps its file";
    for (const QString& name : others)
        EXPECT_TRUE(files.contains(name)) << name.toStdString();
}

TEST_F(FilterRunnerTest, AnExportThatCannotWriteBesideTheTargetStartsNoFilter) {
    ASSERT_TRUE(QDir().mkpath(Path("a folder.csv")));
    for (const QString& target : {Path("no such folder/out.csv"), Path("a folder.csv")}) {
        SCOPED_TRACE(target.toStdString());
        ScriptedPrompter prompter;
        prompter.Expect(kMsgCannotCreateOutput);
        EXPECT_FALSE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), target));
        EXPECT_EQ(Log(), "") << "the filter was not started";
    }
    // Through a link the file linked to is replaced, and the link stays.
    Write("real.csv", "old");
    ASSERT_TRUE(QFile::link(Path("real.csv"), Path("link.csv")));
    qputenv("PROBE_TOUCH", "1");
    ScriptedPrompter prompter;
    prompter.Expect(kMsgExportDone);
    ASSERT_TRUE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), Path("link.csv")));
    EXPECT_TRUE(QFileInfo(Path("link.csv")).isSymLink());
    EXPECT_EQ(ReadBytes(Path("real.csv")), "partial");
    // A name near the folder's limit still leaves room for the file written first.
    const QString longName = QString(240, QLatin1Char('n')) + QStringLiteral(".csv");
    prompter.Expect(kMsgExportDone);
    ASSERT_TRUE(RunExportFilter(*SampleSet("memo.tsr"), Probe(), m_dir.filePath(longName)));
    EXPECT_EQ(ReadBytes(m_dir.filePath(longName)), "partial");
}

TEST(FilterNotesTest, LinesAreDecodedCleanedAndBounded) {
    const std::string sjisRecord =
        "\x83\x8C\x83\x52\x81\x5B\x83\x68 2: x"; // "レコード 2: x" in code page 932
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"plain lines", {"a\nb\n"}, {"a", "b"}},
        {"CR LF, blank lines, no last line end", {"a\r\n\r\n  \n", "b"}, {"a", "b"}},
        {"a character split between reads",
         {"\xE3\x83\xAC\xE3", "\x82\xB3\xE3\x83\xBC\xE3\x83\x89 1: y\n"},
         {"レコード 1: y"}},
        {"not UTF-8: code page 932", {sjisRecord + "\n"}, {"レコード 2: x"}},
        {"control characters", {"a\x1b[31mb\x07\n"}, {"a [31mb"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FilterNotes notes;
        for (const std::string& chunk : c.chunks)
            notes.Feed(QByteArrayView(chunk.data(), static_cast<qsizetype>(chunk.size())));
        notes.Finish();
        std::vector<std::string> got;
        for (const QString& line : notes.Lines())
            got.push_back(line.toStdString());
        EXPECT_EQ(got, c.lines);
        EXPECT_EQ(notes.More(), 0);
    }

    // Too many lines: the first ones are kept, the rest counted.
    FilterNotes many;
    for (int i = 1; i <= 1500; ++i)
        many.Feed(QByteArray("record ") + QByteArray::number(i) + '\n');
    many.Finish();
    EXPECT_EQ(many.Lines().size(), FilterNotes::kMaxLines);
    EXPECT_EQ(many.Count(), 1500);
    const std::string details = many.DetailsUtf8();
    EXPECT_EQ(details.substr(0, 18), "record 1\nrecord 2\n");
    EXPECT_EQ(details.substr(details.rfind('\n') + 1), "… ほかに 500 件の注意があります");
    // Too many bytes.
    FilterNotes big;
    const QByteArray line = QByteArray(99, 'n') + '\n';
    for (int i = 0; i < 800; ++i)
        big.Feed(line);
    EXPECT_EQ(big.Lines().size(), FilterNotes::kMaxBytes / 99);
    EXPECT_EQ(big.Count(), 800);
    // One endless line is cut, and not inside a character.
    FilterNotes endless;
    for (int i = 0; i < 30000; ++i)
        endless.Feed("あ");
    endless.Finish();
    ASSERT_EQ(endless.Lines().size(), 1);
    EXPECT_TRUE(endless.Lines().front().endsWith(QChar(0x2026)));
    EXPECT_FALSE(endless.Lines().front().contains(QChar(0xFFFD)));
    EXPECT_LE(endless.Lines().front().toUtf8().size(), FilterNotes::kMaxBytes + 3);
}

TEST_F(FilterRunnerTest, NotesComeWithTheMessageOfEveryOutcome) {
    qputenv("PROBE_NOTES",
            Write("notes", "レコード 2: 電話番号が長すぎます\n3 行目: 日付がありません\n")
                .toLocal8Bit());
    const std::string expected = "レコード 2: 電話番号が長すぎます\n3 行目: 日付がありません";
    auto set = SampleSet("phonebook.tsr");
    qputenv("PROBE_OUTPUT", QByteArray(TESSERA_SAMPLES "/phonebook.tsr"));
    struct Case {
        const char* name;
        bool import;
        int exit;
        bool cancel;
        int message;
        std::string text; // part of the message
    };
    const std::vector<Case> cases = {
        {"export done", false, 0, false, kMsgExportDoneNotes,
         std::to_string(set->RecordCount()) +
             " 件のレコードをエクスポートしました。注意が 2 件あります。"},
        {"import done", true, 0, false, kMsgImportDoneNotes,
         std::to_string(set->RecordCount()) +
             " 件のレコードをインポートしました。注意が 2 件あります。"},
        {"export failed", false, 21, false, 1287, "ディスク容量が不足しています"},
        {"import failed", true, 11, false, 1284, "入力フォーマットが不正です"},
        {"cancelled", false, 0, true, kMsgFilterCancelled, "中止しました"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qputenv("PROBE_EXIT", QByteArray::number(c.exit));
        FilterWaiter waiter = WaitForFilter;
        if (c.cancel) {
            qputenv("PROBE_HANG", "1");
            waiter = [](CFilterProcess& p) {
                while (p.Notes().Count() < 2 && !p.IsDone())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
                p.Cancel();
                p.WaitInEventLoop();
            };
        }
        DetailPrompter prompter;
        prompter.Expect(c.message);
        const bool ok = c.import ? RunImportFilter(Probe(), Path("x"), nullptr, waiter) != nullptr
                                 : RunExportFilter(*set, Probe(), Path("out.csv"), waiter);
        qunsetenv("PROBE_HANG");
        EXPECT_EQ(ok, c.exit == 0 && !c.cancel);
        ASSERT_EQ(prompter.Messages().size(), 1u);
        EXPECT_NE(prompter.Messages()[0].Utf8().find(c.text), std::string::npos)
            << prompter.Messages()[0].Utf8();
        EXPECT_EQ(prompter.Details(0), expected);
        EXPECT_EQ(prompter.Messages()[0].icon,
                  ok ? PromptIcon::Information
                     : (c.cancel ? PromptIcon::Warning : PromptIcon::Stop));
    }
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
    EXPECT_EQ(RegisterBundledFilters(settings, Path("empty")), 0)
        << "nothing found, nothing remembered";
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
