// Add-in transfers: reading ZRS files as Windows writes them, and the whole add-in job
// against the simulated device on both lines (checks, refusals, files stored, cancel).

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <random>

#include "link/AddInTransfer.h"
#include "support/ScriptedPrompter.h"
#include "tests/jobs/JobTestSupport.h"

namespace tessera::test {
namespace {

using sim::SimMethod;
using sim::SimRole;

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 r(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(r() & 0xFF);
    return s;
}

class ZrsFolder {
public:
    QString Write(const QString& name, const std::string& bytes) {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return path;
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// ---- ZRS files ----

struct ZrsCase {
    const char* what;
    std::string zrs;
    int result;
    int files;  // names taken when loaded
};

class ZrsLoadTest : public testing::TestWithParam<ZrsCase> {};

TEST_P(ZrsLoadTest, Loads) {
    ZrsFolder dir;
    dir.Write("README.TXT", "about\n");
    dir.Write("APP.EXE", std::string(100, 'a'));
    dir.Write("sub/Data.Bin", std::string(30, 'b'));
    const QString zrs = dir.Write("TEST.ZRS", GetParam().zrs);
    CAddInTransfer t;
    EXPECT_EQ(t.LoadZrs(zrs), GetParam().result) << GetParam().what;
    EXPECT_EQ(t.FileCount(), GetParam().files) << GetParam().what;
}

const ZrsCase kZrsCases[] = {
    {"CR LF", "ZRS,P,\"App\"\r\nREADME.TXT\r\nAPP.EXE\r\n", CAddInTransfer::kLoaded, 1},
    {"LF", "ZRS,P,\"App\"\nREADME.TXT\nAPP.EXE\n", CAddInTransfer::kLoaded, 1},
    {"CR", "ZRS,P,\"App\"\rREADME.TXT\rAPP.EXE\r", CAddInTransfer::kLoaded, 1},
    {"no final line end", "ZRS,P,\"App\"\r\nREADME.TXT\r\nAPP.EXE", CAddInTransfer::kLoaded, 1},
    {"blank lines at the end", "ZRS,P,\"App\"\r\nREADME.TXT\r\nAPP.EXE\r\n\r\n  \r\n\r\n", CAddInTransfer::kLoaded, 1},
    {"backslash folder, other case", "ZRS,P,\"App\"\r\nreadme.txt\r\nApp.Exe\r\nSUB\\DATA.BIN\r\n",
     CAddInTransfer::kLoaded, 2},
    {"only two lines", "ZRS,P,\"App\"\r\nREADME.TXT\r\n", CAddInTransfer::kBadFormat, 0},
    {"two lines and blanks", "ZRS,P,\"App\"\r\nREADME.TXT\r\n\r\n\r\n", CAddInTransfer::kBadFormat, 0},
    {"wrong first line", "ZRS,Q,\"App\"\r\nREADME.TXT\r\nAPP.EXE\r\n", CAddInTransfer::kBadFormat, 0},
    {"empty file", "", CAddInTransfer::kBadFormat, 0},
    {"blank line among names", "ZRS,P,\"App\"\r\nREADME.TXT\r\nAPP.EXE\r\n\r\nSUB\\DATA.BIN\r\n",
     CAddInTransfer::kBadFormat, 0},
    {"missing document", "ZRS,P,\"App\"\r\nNONE.TXT\r\nAPP.EXE\r\n", CAddInTransfer::kMissingFile, 0},
    {"missing data file", "ZRS,P,\"App\"\r\nREADME.TXT\r\nAPP.EXE\r\nNONE.DAT\r\n", CAddInTransfer::kMissingFile, 0},
    {"a folder is no file", "ZRS,P,\"App\"\r\nREADME.TXT\r\nSUB\r\n", CAddInTransfer::kMissingFile, 0},
};

INSTANTIATE_TEST_SUITE_P(Lines, ZrsLoadTest, testing::ValuesIn(kZrsCases));

TEST(ZrsTest, NamesSizesAndDocument) {
    ZrsFolder dir;
    dir.Write("README.TXT", "line one\nline two\r\nthree");
    dir.Write("APP.EXE", std::string(100, 'a'));
    dir.Write("sub/Data.Bin", std::string(30, 'b'));
    const QString zrs = dir.Write("TEST.ZRS", "ZRS,P,\"My Add-In\"\r\nREADME.TXT\r\nAPP.EXE\r\nsub\\DATA.BIN\r\n");
    CAddInTransfer t;
    ASSERT_EQ(t.LoadZrs(zrs), CAddInTransfer::kLoaded);
    EXPECT_EQ(t.Title(), "My Add-In");
    ASSERT_EQ(t.FileCount(), 2);
    // The device is told the names as written; the files are found as they are on disk.
    EXPECT_EQ(t.DeviceName(1), "sub\\DATA.BIN");
    EXPECT_EQ(QFileInfo(t.FilePath(1)).fileName(), QStringLiteral("Data.Bin"));
    EXPECT_EQ(t.FirstFileSize(), 100);
    EXPECT_EQ(t.TotalSize(), 130);
    std::string text;
    ASSERT_TRUE(t.ReadDocument(text));
    EXPECT_EQ(text, "line one\r\nline two\r\nthree");
}

TEST(ZrsTest, CodePage932NamesAndTheirByteLimit) {
    ZrsFolder dir;
    dir.Write("README.TXT", "x");
    // "アプリ.EXE": 3 double-byte characters, 10 bytes.
    dir.Write(QString::fromUtf8("アプリ.EXE"), "data");
    // 13 characters but 26 bytes: too long for the device's command.
    dir.Write(QString::fromUtf8("アアアアアアアアアアアア.E"), "data");
    const std::string kana = Cp932("アプリ.EXE");
    ASSERT_EQ(kana.size(), 10u);
    CAddInTransfer t;
    ASSERT_EQ(t.LoadZrs(dir.Write("A.ZRS", "ZRS,P,\"a\"\r\nREADME.TXT\r\n" + kana + "\r\n")), CAddInTransfer::kLoaded);
    EXPECT_EQ(t.DeviceName(0), kana);

    const std::string longName = Cp932("アアアアアアアアアアアア.E");
    ASSERT_EQ(longName.size(), 26u);
    EXPECT_EQ(t.LoadZrs(dir.Write("B.ZRS", "ZRS,P,\"b\"\r\nREADME.TXT\r\n" + longName + "\r\n")),
              CAddInTransfer::kNameTooLong);
    EXPECT_EQ(t.ProblemName(), longName);
    EXPECT_EQ(t.FileCount(), 0);

    // 25 bytes fit exactly.
    dir.Write("ABCDEFGHIJKLMNOPQRSTU.EXE", "x");
    EXPECT_EQ(t.LoadZrs(dir.Write("C.ZRS", "ZRS,P,\"c\"\nREADME.TXT\nABCDEFGHIJKLMNOPQRSTU.EXE\n")),
              CAddInTransfer::kLoaded);
}

TEST(ZrsTest, LoadShowsItsMessageThenThePreparationFailure) {
    ZrsFolder dir;
    dir.Write("README.TXT", "x");
    struct {
        std::string zrs;
        int first;
    } cases[] = {
        {"ZRS,P,\"a\"\r\nREADME.TXT\r\nNONE.EXE\r\n", kMsgZrsMissingFile},
        {"ZRS,P,\"a\"\r\nREADME.TXT\r\n", kMsgZrsFormat},
        {"ZRS,P,\"a\"\r\nREADME.TXT\r\nABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n", kMsgAddInNameTooLong},
    };
    dir.Write("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "x");
    for (const auto& c : cases) {
        ScriptedPrompter prompter;
        prompter.Expect(c.first).Expect(kMsgAddInPrepareFailed);
        CAddInTransfer t;
        EXPECT_FALSE(t.Load(dir.Write("T.ZRS", c.zrs)));
    }
    ScriptedPrompter prompter;
    prompter.Expect(kMsgZrsOpen).Expect(kMsgAddInPrepareFailed);
    CAddInTransfer t;
    EXPECT_FALSE(t.Load(dir.Path("NONE.ZRS")));
    EXPECT_NE(prompter.Messages().front().Utf8().find("ZRS"), std::string::npos);
}

// ---- the add-in job against the device ----

class AddInJobTest : public testing::TestWithParam<SimMethod> {
protected:
    // An add-in of `files` (name, bytes) with a document; loaded into a job for `device`.
    std::shared_ptr<AddInJob> MakeJob(const sim::SimThread& device,
                                      const std::vector<std::pair<std::string, std::string>>& files) {
        m_dir.Write("DOC.TXT", "An add-in.\n");
        std::string zrs = "ZRS,P,\"Test\"\r\nDOC.TXT\r\n";
        for (const auto& [name, data] : files) {
            m_dir.Write(QString::fromStdString(name), data);
            zrs += name + "\r\n";
        }
        auto transfer = std::make_unique<CAddInTransfer>();
        EXPECT_EQ(transfer->LoadZrs(m_dir.Write("ADDIN.ZRS", zrs)), CAddInTransfer::kLoaded);
        auto job = std::make_shared<AddInJob>(std::move(transfer));
        job->link = SimLink(device.PortName(), GetParam());
        return job;
    }
    sim::SimConfig Device() const { return SimDeviceConfig(GetParam(), SimRole::PcLink); }

    ZrsFolder m_dir;
};

TEST_P(AddInJobTest, InstallsTwoFiles) {
    const std::string app = RandomBytes(253 * 3 + 17, 5);
    const std::string data = RandomBytes(600, 6);
    sim::SimThread device(Device());
    ASSERT_TRUE(device.Ok());
    ScriptedPrompter prompter;
    prompter.Expect(kMsgSendDone);
    auto job = MakeJob(device, {{"APP.EXE", app}, {"APP.DAT", data}});
    RecordingObserver observer;
    const JobRun run = RunJobToEnd(job, observer);
    sim::SimResult r = device.Join();

    EXPECT_EQ(job->result, kJobCompleted);
    EXPECT_EQ(run.message, kMsgSendDone);
    EXPECT_TRUE(r.completed) << r.error;
    ASSERT_EQ(r.stored.size(), 2u);
    EXPECT_TRUE(r.stored["S1:APP.EXE"] == app);
    EXPECT_TRUE(r.stored["S1:APP.DAT"] == data);
    EXPECT_EQ(observer.Steps(), (std::vector<int>{2, 3, 4, 5, 6, 5, 6, 7}));
    // Progress counts on across the files up to the total of both.
    const auto progress = observer.ProgressValues();
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), static_cast<std::int64_t>(app.size() + data.size()));
    EXPECT_EQ(job->TotalBytes(), static_cast<std::int64_t>(app.size() + data.size()));
    EXPECT_GT(std::count(progress.begin(), progress.end(), static_cast<std::int64_t>(app.size())), 0);
    // The worker closed the window itself before the completion.
    EXPECT_EQ(observer.CloseRequests(), 1);
    EXPECT_EQ(observer.Events().back().kind, RecordingObserver::Event::Finished);
}

TEST_P(AddInJobTest, DeviceWithoutAddInSupport) {
    sim::SimConfig cfg = Device();
    cfg.noAddin = true;
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    ScriptedPrompter prompter;
    prompter.Expect(kMsgAddInUnsupported).Expect(kMsgSendFailed);
    auto job = MakeJob(device, {{"APP.EXE", "abc"}});
    RecordingObserver observer;
    const JobRun run = RunJobToEnd(job, observer);
    sim::SimResult r = device.Join();

    EXPECT_EQ(job->result, kJobFailed);
    EXPECT_EQ(run.message, kMsgSendFailed);
    // The PC link was ended with CLE, nothing stored.
    ASSERT_FALSE(r.commands.empty());
    EXPECT_EQ(r.commands.back(), "CLE");
    EXPECT_TRUE(r.stored.empty());
    EXPECT_EQ(observer.Steps(), (std::vector<int>{2, 7}));
}

struct SizeCase {
    bool nifadr;
    std::size_t size;
    bool accepted;
};

TEST_P(AddInJobTest, FirstFileSizeLimit) {
    const SizeCase cases[] = {
        {false, 54272, false},  // the limit itself is refused
        {true, 54272, true},    // the extended memory takes it
        {true, 120832, false},
    };
    for (const SizeCase& c : cases) {
        // Storing 53 KiB over infrared takes long; the refusals are what differ there.
        if (c.accepted && GetParam() == SimMethod::Infrared)
            continue;
        sim::SimConfig cfg = Device();
        cfg.nifadr = c.nifadr;
        sim::SimThread device(cfg);
        ASSERT_TRUE(device.Ok());
        ScriptedPrompter prompter;
        if (c.accepted)
            prompter.Expect(kMsgSendDone);
        else
            prompter.Expect(kMsgAddInTooLarge).Expect(kMsgSendFailed);
        auto job = MakeJob(device, {{"BIG.EXE", RandomBytes(c.size, 9)}});
        RecordingObserver observer;
        RunJobToEnd(job, observer);
        sim::SimResult r = device.Join();
        EXPECT_EQ(job->result, c.accepted ? kJobCompleted : kJobFailed) << c.size << " " << c.nifadr;
        EXPECT_EQ(r.stored.size(), c.accepted ? 1u : 0u);
        EXPECT_EQ(r.commands.back(), "CLE");
    }
}

TEST_P(AddInJobTest, SameNameAlreadyOnTheDevice) {
    sim::SimConfig cfg = Device();
    cfg.has = {"APP.EXE"};
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    ScriptedPrompter prompter;
    prompter.Expect(kMsgAddInSameName).Expect(kMsgSendFailed);
    auto job = MakeJob(device, {{"APP.EXE", "new"}});
    RecordingObserver observer;
    RunJobToEnd(job, observer);
    sim::SimResult r = device.Join();
    EXPECT_EQ(job->result, kJobFailed);
    EXPECT_TRUE(r.stored.empty());
    EXPECT_EQ(r.commands.back(), "CLE");
    EXPECT_EQ(observer.Steps(), (std::vector<int>{2, 3, 4, 7}));
}

// Cancel while the second file is sent: the exchange stops after the block in hand, the PC
// link is not ended, and the owner reports the cancel.
TEST_P(AddInJobTest, CancelDuringTheSecondFile) {
    const std::string app = RandomBytes(300, 1);
    const std::string data = RandomBytes(253 * 6, 2);
    sim::SimConfig cfg = Device();
    cfg.timing.linger = std::chrono::milliseconds(10);
    sim::SimThread device(cfg);
    ASSERT_TRUE(device.Ok());
    ScriptedPrompter prompter;
    prompter.Expect(kMsgSendCancelled);
    auto job = MakeJob(device, {{"APP.EXE", app}, {"APP.DAT", data}});
    RecordingObserver observer;
    observer.onProgress = [&](std::int64_t total) {
        if (total > static_cast<std::int64_t>(app.size()))
            job->Cancel();
    };
    const JobRun run = RunJobToEnd(job, observer);
    device.Stop();
    sim::SimResult r = device.Join();

    EXPECT_EQ(job->result, kJobCancelled);
    EXPECT_EQ(run.message, kMsgSendCancelled);
    EXPECT_EQ(std::count(r.commands.begin(), r.commands.end(), "CLE"), 0);
    EXPECT_EQ(observer.ProgressValues().back(), static_cast<std::int64_t>(app.size() + 253));
    EXPECT_EQ(observer.CloseRequests(), 0);
}

TEST_P(AddInJobTest, PortThatCannotBeOpened) {
    ZrsFolder dir;
    dir.Write("D.TXT", "x");
    dir.Write("A.EXE", "x");
    auto transfer = std::make_unique<CAddInTransfer>();
    ASSERT_EQ(transfer->LoadZrs(dir.Write("A.ZRS", "ZRS,P,\"a\"\nD.TXT\nA.EXE\n")), CAddInTransfer::kLoaded);
    auto job = std::make_shared<AddInJob>(std::move(transfer));
    job->link.method = GetParam() == SimMethod::Cable ? 1 : 0;
    job->link.portName = dir.Path("no-port");
    ScriptedPrompter prompter;
    prompter.Expect(kMsgPortOpen).Expect(kMsgSendFailed);
    RecordingObserver observer;
    const JobRun run = RunJobToEnd(job, observer);
    EXPECT_EQ(job->result, kJobFailed);
    EXPECT_EQ(run.message, kMsgSendFailed);
    EXPECT_EQ(observer.CloseRequests(), 1);
    EXPECT_TRUE(observer.Steps().empty());
}

INSTANTIATE_TEST_SUITE_P(Lines, AddInJobTest, testing::Values(SimMethod::Cable, SimMethod::Infrared),
                         [](const testing::TestParamInfo<SimMethod>& i) {
                             return std::string(i.param == SimMethod::Cable ? "Cable" : "Ir");
                         });

} // namespace
} // namespace tessera::test
