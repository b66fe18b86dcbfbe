// The PC-link conversation of the add-in transfer between the real ports and the simulated
// device, on both lines: checks, queries, refusals, storing files, and the end of the link.

#include "link/PcLink.h"
#include "tests/sim/LinkSimSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tessera::sim::test {
namespace {

class SimPcLinkTest : public testing::TestWithParam<SimMethod> {
protected:
    SimConfig Device() const { return DeviceConfig(GetParam(), SimRole::PcLink); }

    QString MakeFile(const QString& name, const std::string& data) {
        QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data.data(), static_cast<qint64>(data.size()));
        return path;
    }

    std::unique_ptr<CZaurusCom> OpenPort(const SimThread& sim) {
        auto port = MakePort(GetParam(), false, PcTiming());
        EXPECT_TRUE(port->Open(QString::fromStdString(sim.PortName()), 9600));
        return port;
    }

    QTemporaryDir m_dir;
};

TEST_P(SimPcLinkTest, InstallsTwoFilesOnADeviceWithExtendedMemory) {
    SimConfig cfg = Device();
    cfg.nifadr = true;
    SimThread sim(cfg);
    std::string app = AnyBytes(253 * 2 + 100, 21);
    QString appPath = MakeFile("APP.EXE", app);
    QString emptyPath = MakeFile("EMPTY.DAT", "");
    bool support = false, nifadr = false, same = true, announced1 = false, data1 = false,
         announced2 = false, data2 = false, ended = false;
    std::int64_t total = 0;
    {
        auto port = OpenPort(sim);
        CPcLink link(*port, PcTiming());
        support = link.CheckAddInSupport();
        nifadr = link.FileExists("S7:NIFADR.BOX");
        same = link.FileExists("S1:APP.EXE");
        announced1 = link.AnnounceFile("APP.EXE");
        data1 = link.SendFileData(appPath);
        announced2 = link.AnnounceFile("EMPTY.DAT");
        data2 = link.SendFileData(emptyPath); // no data frame: straight to the turnaround
        ended = link.EndPcLink();
        total = link.RunningTotal();
    }
    SimResult r = sim.Join();
    EXPECT_TRUE(support);
    EXPECT_TRUE(nifadr);
    EXPECT_FALSE(same);
    EXPECT_TRUE(announced1 && data1 && announced2 && data2);
    EXPECT_TRUE(ended);
    EXPECT_EQ(total, static_cast<std::int64_t>(app.size()));
    EXPECT_TRUE(r.completed) << r.error;
    ASSERT_EQ(r.stored.size(), 2u);
    EXPECT_TRUE(r.stored["S1:APP.EXE"] == app);
    EXPECT_EQ(r.stored["S1:EMPTY.DAT"], "");
    EXPECT_EQ(r.commands, (std::vector<std::string>{"CFV", "RFV", "CFF", "RFF", "CFF", "RFF", "CFD",
                                                    "RFD", "CFD", "RFD", "CLE"}));
    EXPECT_EQ(r.stats.blockNumbers, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(r.stats.framesRejected, 0);
}

// An absent file is a negative reply that the PC refuses with ENQ ACK ACK; the conversation
// must go on cleanly after it (on infrared those bytes ride in front of the next frame).
TEST_P(SimPcLinkTest, AbsentFilesAreRefusedAndTheConversationGoesOn) {
    SimConfig cfg = Device();
    SimThread sim(cfg);
    bool nifadr = true, again = true, ended = false;
    {
        auto port = OpenPort(sim);
        CPcLink link(*port, PcTiming());
        nifadr = link.FileExists("S7:NIFADR.BOX");
        again = link.FileExists("S1:NONE.EXE");
        ended = link.EndPcLink();
    }
    SimResult r = sim.Join();
    EXPECT_FALSE(nifadr);
    EXPECT_FALSE(again);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.stats.negativeReplies, 2);
    EXPECT_EQ(r.stats.framesRejected, 0);
}

TEST_P(SimPcLinkTest, SameNameAddInIsFound) {
    SimConfig cfg = Device();
    cfg.has = {"APP.EXE"};
    SimThread sim(cfg);
    bool same = false, other = true;
    {
        auto port = OpenPort(sim);
        CPcLink link(*port, PcTiming());
        same = link.FileExists("S1:APP.EXE");
        other = link.FileExists("S1:OTHER.EXE");
        link.EndPcLink();
    }
    SimResult r = sim.Join();
    EXPECT_TRUE(same);
    EXPECT_FALSE(other);
    EXPECT_TRUE(r.completed) << r.error;
}

TEST_P(SimPcLinkTest, RefusedSupportCheckThenEndOfLink) {
    SimConfig cfg = Device();
    cfg.noAddin = true;
    SimThread sim(cfg);
    bool support = true, ended = false;
    {
        auto port = OpenPort(sim);
        CPcLink link(*port, PcTiming());
        support = link.CheckAddInSupport();
        ended = link.EndPcLink();
    }
    SimResult r = sim.Join();
    EXPECT_FALSE(support);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.commands, (std::vector<std::string>{"CFV", "CLE"}));
    EXPECT_TRUE(r.stored.empty());
}

TEST_P(SimPcLinkTest, FileNameTooLongForTheCommandIsRefusedBeforeSending) {
    SimConfig cfg = Device();
    SimThread sim(cfg);
    bool announced = true, ended = false;
    {
        auto port = OpenPort(sim);
        CPcLink link(*port, PcTiming());
        announced = link.AnnounceFile(std::string(26, 'A'));
        ended = link.EndPcLink();
    }
    SimResult r = sim.Join();
    EXPECT_FALSE(announced);
    EXPECT_TRUE(ended);
    EXPECT_EQ(r.commands, (std::vector<std::string>{"CLE"}));
}

// A device waiting for whichever exchange the PC starts hears the PC link in its first frame
// (on infrared, in its first packet) and answers the whole add-in, refusals included.
TEST_P(SimPcLinkTest, AnAutoDeviceAnswersTheWholeAddIn) {
    SimConfig cfg = DeviceConfig(GetParam(), SimRole::Auto);
    cfg.sendData = CableStream(700, 41);
    cfg.has = {"OLD.EXE"};
    SimThread sim(cfg);
    std::string app = AnyBytes(253 + 10, 42);
    QString appPath = MakeFile("APP.EXE", app);
    bool support = false, old = false, fresh = true, announced = false, data = false, ended = false;
    {
        auto port = OpenPort(sim);
        CPcLink link(*port, PcTiming());
        support = link.CheckAddInSupport();
        old = link.FileExists("S1:OLD.EXE");
        fresh = link.FileExists("S1:APP.EXE");
        announced = link.AnnounceFile("APP.EXE");
        data = link.SendFileData(appPath);
        ended = link.EndPcLink();
    }
    SimResult r = sim.Join();
    EXPECT_TRUE(support);
    EXPECT_TRUE(old);
    EXPECT_FALSE(fresh);
    EXPECT_TRUE(announced && data);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.played, SimRole::PcLink);
    EXPECT_TRUE(r.stored["S1:APP.EXE"] == app);
    EXPECT_EQ(r.stats.framesRejected, 0);
}

INSTANTIATE_TEST_SUITE_P(SimLines, SimPcLinkTest,
                         testing::Values(SimMethod::Cable, SimMethod::Infrared),
                         [](const testing::TestParamInfo<SimMethod>& info) {
                             return info.param == SimMethod::Cable ? "Cable" : "Ir";
                         });

TEST(SimPcLinkBlocks, BlockNumbersWrapAfter255AndTheFileArrivesWhole) {
    QTemporaryDir dir;
    SimConfig cfg = DeviceConfig(SimMethod::Cable, SimRole::PcLink);
    cfg.storeDir = QDir(dir.path()).filePath("device").toStdString();
    SimThread sim(cfg);
    std::string big = AnyBytes(253 * 300 + 7, 22);
    QString path = QDir(dir.path()).filePath("BIG.EXE");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(big.data(), static_cast<qint64>(big.size()));
    }
    bool ok = false;
    std::vector<std::int64_t> progress;
    {
        auto port = MakePort(SimMethod::Cable, false, PcTiming());
        ASSERT_TRUE(port->Open(QString::fromStdString(sim.PortName()), 115200));
        CPcLink link(*port, PcTiming());
        ok = link.AnnounceFile("BIG.EXE") && link.SendFileData(path, [&](std::int64_t n) {
            progress.push_back(n);
            return true;
        }) && link.EndPcLink();
    }
    SimResult r = sim.Join();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_TRUE(r.stored["S1:BIG.EXE"] == big);
    ASSERT_EQ(r.stats.blockNumbers.size(), 301u);
    EXPECT_EQ(r.stats.blockNumbers[253], 255);
    EXPECT_EQ(r.stats.blockNumbers[254], 0);
    EXPECT_EQ(r.stats.blockNumbers[255], 1);
    EXPECT_EQ(r.stats.blockNumbers[256], 2);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), static_cast<std::int64_t>(big.size()));
    QFile stored(QString::fromStdString(cfg.storeDir + "/S1/BIG.EXE"));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.size(), static_cast<qint64>(big.size()));
}

} // namespace
} // namespace tessera::sim::test
