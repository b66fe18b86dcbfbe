// The bundled filter programs end to end: every sample of every kind a program handles goes
// out to the foreign format and back through the real executables, and comes back with the
// same records; the programs answer bad command lines and missing files with the exit
// codes of the filter interface.

#include "filters/CsvFormat.h"
#include "filters/ICalFormat.h"
#include "filters/VCardFormat.h"
#include "support/ScriptedPrompter.h"
#include "tests/filters/FilterTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>

namespace tessera::test {
namespace {

using filters::Failure;

struct Program {
    const char* path;
    std::vector<int> kinds;
    const char* extension;
};

const std::vector<Program>& Programs() {
    static const std::vector<Program> list = {
        {TSR_CSV, {1, 2, 3, 4, 5, 6, 7, 8}, "csv"},
        {TSR_VCARD, {1, 2}, "vcf"},
        {TSR_ICAL, {3, 4, 5, 6}, "ics"},
    };
    return list;
}

struct RunResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

RunResult RunProgram(const char* program, const QStringList& args, const std::string& input = {}) {
    QProcess p;
    p.start(QString::fromLocal8Bit(program), args);
    EXPECT_TRUE(p.waitForStarted(10000));
    p.write(input.data(), static_cast<qint64>(input.size()));
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    RunResult r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

std::vector<std::vector<std::string>> RowsOf(const std::string& text) {
    ScriptedPrompter prompter;
    CRecordSet set;
    std::string t = text;
    if (t.find('\x1A') == std::string::npos)
        t.push_back('\x1A');
    EXPECT_TRUE(set.ReadText(t, nullptr));
    return Rows(set);
}

TEST(BundledPrograms, EverySampleOfEveryKindComesBackWithTheSameRecords) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int checked = 0;
    for (const Program& program : Programs()) {
        for (const SampleFile& sample : Samples()) {
            const bool handled = std::find(program.kinds.begin(), program.kinds.end(),
                                           sample.kind) != program.kinds.end();
            SCOPED_TRACE(std::string(program.path) + " " + sample.file);
            const std::string text = SampleBytes(sample.file);
            ASSERT_FALSE(text.empty());
            const QString foreign =
                dir.filePath(QString::fromLatin1(sample.file) + QLatin1Char('.') +
                             QString::fromLatin1(program.extension));
            const RunResult out = RunProgram(program.path,
                                             {QStringLiteral("-E"), foreign, QStringLiteral("-T"),
                                              QString::number(sample.kind), QStringLiteral("-V"),
                                              QStringLiteral("1")},
                                             text);
            if (!handled) {
                EXPECT_EQ(out.exitCode, 3) << "a kind the format cannot hold";
                EXPECT_FALSE(QFile::exists(foreign));
                continue;
            }
            ASSERT_EQ(out.exitCode, 0) << out.err.toStdString();
            const RunResult back =
                RunProgram(program.path, {QStringLiteral("-I"), foreign, QStringLiteral("-V"),
                                          QStringLiteral("1")});
            ASSERT_EQ(back.exitCode, 0) << back.err.toStdString();
            EXPECT_EQ(RowsOf(std::string(back.out.constData(),
                                         static_cast<std::size_t>(back.out.size()))),
                      RowsOf(text));
            ++checked;
        }
    }
    EXPECT_EQ(checked, 8 + 2 + 4);
}

TEST(BundledPrograms, CommandLineFaultsGiveTheInterfaceExitCodes) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("x.csv"));
    struct Case {
        QStringList args;
        int code;
    };
    const std::vector<Case> cases = {
        {{"-E", target, "-T", "1", "-V", "2"}, 1},            // another interface version
        {{"-E", target, "-T", "1"}, 1},                       // no version at all
        {{"-E", target, "-T", "1", "-V", "1", "-X", "y"}, 2}, // unknown option
        {{"-E", target, "-V", "1"}, 2},                       // export without a kind
        {{"-I", target, "-E", target, "-V", "1"}, 2},         // both directions
        {{"-E", target, "-T", "9", "-V", "1"}, 3},            // no such kind
        {{"-I", dir.filePath("missing.csv"), "-V", "1"}, 10}, // no input file
        {{"-E", dir.filePath("no/such/dir/x.csv"), "-T", "1", "-V", "1"}, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(RunProgram(TSR_CSV, c.args, SampleBytes("phonebook.tsr")).exitCode, c.code);
    }
    // vCard and iCalendar refuse the kinds they cannot hold.
    EXPECT_EQ(
        RunProgram(TSR_VCARD, {"-E", target, "-T", "3", "-V", "1"}, SampleBytes("schedule.tsr"))
            .exitCode,
        3);
    EXPECT_EQ(
        RunProgram(TSR_ICAL, {"-E", target, "-T", "1", "-V", "1"}, SampleBytes("phonebook.tsr"))
            .exitCode,
        3);
}

TEST(BundledPrograms, RefusalsLeaveNoFileAndSayWhyOnStandardError) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("x.csv"));
    // Records of another kind than -T says: refused, not converted under the wrong columns.
    const RunResult wrongKind =
        RunProgram(TSR_CSV, {"-E", target, "-T", "2", "-V", "1"}, SampleBytes("phonebook.tsr"));
    EXPECT_EQ(wrongKind.exitCode, 29);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_FALSE(wrongKind.err.isEmpty());
    // A text form the reader would have to empty values of is refused as a whole.
    const RunResult bad =
        RunProgram(TSR_CSV, {"-E", target, "-T", "6", "-V", "1"},
                   "\"i\",\"SCRT\",\"ETDY\",\"MARK\"\r\n\"T\",\"a\",\"b\",\"c\"\r\n"
                   "\"D\",\" \",\"20011399      \",\"01\"\r\n\x1A");
    EXPECT_EQ(bad.exitCode, 29);
    EXPECT_FALSE(QFile::exists(target));
    // Import of a malformed file: 11, nothing on standard output.
    QFile f(dir.filePath(QStringLiteral("bad.csv")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\"unclosed,header\r\n");
    f.close();
    const RunResult in = RunProgram(TSR_CSV, {"-I", f.fileName(), "-V", "1"});
    EXPECT_EQ(in.exitCode, 11);
    EXPECT_TRUE(in.out.isEmpty());
    // A spreadsheet's Shift_JIS file is read as such, and the user is told.
    QFile sjis(dir.filePath(QStringLiteral("sjis.csv")));
    ASSERT_TRUE(sjis.open(QIODevice::WriteOnly));
    sjis.write(
        "\x8C\xC2\x90\x6C\x96\xBC\r\n\x8E\x52\x93\x63\r\n"); // 個人名 / 山田 in code page 932
    sjis.close();
    const RunResult shiftJis = RunProgram(TSR_CSV, {"-I", sjis.fileName(), "-V", "1"});
    EXPECT_EQ(shiftJis.exitCode, 0) << shiftJis.err.toStdString();
    EXPECT_NE(shiftJis.out.indexOf("\"\x8E\x52\x93\x63\""), -1);
    EXPECT_NE(shiftJis.err.indexOf("Shift_JIS"), -1) << shiftJis.err.toStdString();
}

TEST(BundledPrograms, ExportStopsReadingAtTheEndMarkOfAHostThatKeepsThePipeOpen) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("open.csv"));
    QProcess p;
    p.start(QStringLiteral(TSR_CSV), {"-E", target, "-T", "1", "-V", "1"});
    ASSERT_TRUE(p.waitForStarted(10000));
    const std::string text = SampleBytes("phonebook.tsr");
    p.write(text.data(), static_cast<qint64>(text.size()));
    // The channel stays open: the 0x1A alone must end the input.
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(target));
}

TEST(BundledPrograms, NotesFollowTheLanguagePackWhileTheDataStaysTheSame) {
    // Tessera names its pack to the filters it starts; the records do not change with it.
    QTemporaryDir dir;
    QFile sjis(dir.filePath(QStringLiteral("sjis.csv")));
    ASSERT_TRUE(sjis.open(QIODevice::WriteOnly));
    sjis.write("\x8C\xC2\x90\x6C\x96\xBC\r\n\x8E\x52\x93\x63\r\n"); // 個人名 / 山田
    sjis.close();
    RunResult runs[2];
    for (int english = 0; english < 2; ++english) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("TESSERA_LANG_PACK"));
        if (english)
            env.insert(QStringLiteral("TESSERA_LANG_PACK"),
                       QStringLiteral(TESSERA_SOURCE_DIR "/resources/lang/en.txt"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TSR_CSV),
                {QStringLiteral("-I"), sjis.fileName(), QStringLiteral("-V"), QStringLiteral("1")});
        ASSERT_TRUE(p.waitForFinished(30000));
        runs[english] = {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
        EXPECT_EQ(runs[english].exitCode, 0) << runs[english].err.toStdString();
    }
    EXPECT_EQ(runs[1].out, runs[0].out);
    EXPECT_NE(runs[1].err.indexOf("The file was read as Shift_JIS"), -1)
        << runs[1].err.toStdString();
    EXPECT_EQ(runs[0].err.indexOf("The file was read"), -1) << runs[0].err.toStdString();
}

} // namespace
} // namespace tessera::test
