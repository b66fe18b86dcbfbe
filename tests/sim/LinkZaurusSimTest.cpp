// The zaurus-sim program as scripts use it: its command line, "ready PATH", one exchange with
// the real ports, the exit code and the reason on stderr.

#include "link/PcLink.h"
#include "tests/sim/LinkSimSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tessera::sim::test {
namespace {

class ZaurusSim {
public:
    explicit ZaurusSim(QStringList args) {
        m_process.setProgram(QStringLiteral(ZAURUS_SIM));
        m_process.setArguments(args);
        m_process.start();
    }
    ~ZaurusSim() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    // The first line on stdout.
    QString ReadyLine() {
        for (int i = 0; i < 50 && !m_process.canReadLine(); ++i)
            m_process.waitForReadyRead(100);
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    int Finish(int ms = 10000) {
        if (!m_process.waitForFinished(ms))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
    }
    QString Stderr() { return QString::fromUtf8(m_process.readAllStandardError()); }
    // What stdout held after the ready line.
    QString Stdout() { return QString::fromUtf8(m_process.readAllStandardOutput()); }

private:
    QProcess m_process;
};

QStringList Fast(QStringList args) {
    return args << QStringLiteral("--time-scale") << QStringLiteral("0.1");
}

TEST(SimProgram, RefusesBadCommandLines) {
    const QStringList bad[] = {
        {"--receive", "x.tsr"},                                // no link
        {"--link", "/tmp/x", "--receive", "a", "--send", "b"}, // two exchanges
        {"--link", "/tmp/x"},                                  // no exchange
        {"--link", "/tmp/x", "--receive", "a", "--nifadr"},    // PC-link option without it
        {"--link", "/tmp/x", "--receive", "a", "--flip", "2"}, // not a probability
        {"--link", "/tmp/x", "--receive", "a", "--method", "usb"},
        {"--link", "/tmp/x", "--receive", "a", "--bps", "fast"},
        {"--link", "/tmp/x", "--receive", "a", "--seed"},
        {"--link", "/tmp/x", "--receive", "a", "--colour"},
        {"--link", "/tmp/x", "--auto", "a", "--send", "b"}, // auto is an exchange too
        {"--link", "/tmp/x", "--auto"},                     // auto without its file
        {"--link", "/tmp/x", "--pclink", "d", "--stale-ack", "-1"},
        {"--link", "/tmp/x", "--pclink", "d", "--stale-ack"},
    };
    for (const auto& args : bad) {
        ZaurusSim sim(args);
        EXPECT_EQ(sim.Finish(), 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(sim.Stderr().contains(QStringLiteral("usage:")));
    }
}

TEST(SimProgram, NeverReplacesAFileAtTheLinkPath) {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("not-a-link"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    ZaurusSim sim({"--link", path, "--receive", dir.filePath(QStringLiteral("out.tsr"))});
    EXPECT_EQ(sim.Finish(), 3);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep me"));
}

TEST(SimProgram, ReceivesOverEchoingInfraredIntoTheOutputFile) {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("line"));
    QString out = dir.filePath(QStringLiteral("out.tsr"));
    ZaurusSim sim(Fast({"--link", link, "--method", "ir", "--echo", "--receive", out}));
    ASSERT_EQ(sim.ReadyLine(), QStringLiteral("ready ") + link);
    std::string data = CableStream(1500, 31);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Infrared, true, PcTiming());
        pc = PcSend(*port, link.toStdString(), data);
    }
    EXPECT_EQ(pc.result, TransferResult::Completed);
    EXPECT_EQ(sim.Finish(), 0) << sim.Stderr().toStdString();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().toStdString() == data);
    EXPECT_FALSE(QFile::exists(link)); // the link goes away with the program
}

TEST(SimProgram, SendsAFileOverTheCable) {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("line"));
    QString in = dir.filePath(QStringLiteral("in.tsr"));
    std::string data = CableStream(2000, 32);
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data.data(), static_cast<qint64>(data.size()));
    }
    ZaurusSim sim(Fast({"--link", link, "--send", in, "--bps", "19200", "--pace"}));
    ASSERT_EQ(sim.ReadyLine(), QStringLiteral("ready ") + link);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Cable, false, PcTiming());
        pc = PcReceive(*port, link.toStdString(), 19200);
    }
    EXPECT_EQ(pc.result, TransferResult::Completed);
    EXPECT_TRUE(pc.data == data);
    EXPECT_EQ(sim.Finish(), 0) << sim.Stderr().toStdString();
}

TEST(SimProgram, MuteDeviceFailsTheReceiveAndSaysWhy) {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("line"));
    ZaurusSim sim({"--link", link, "--method", "ir", "--send",
                   QStringLiteral(TESSERA_SOURCE_DIR "/README.md"), "--mute", "--time-scale",
                   "0.02"});
    ASSERT_EQ(sim.ReadyLine(), QStringLiteral("ready ") + link);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Infrared, false, PcTiming(0.02));
        pc = PcReceive(*port, link.toStdString());
    }
    EXPECT_EQ(pc.result, TransferResult::Failed);
    EXPECT_EQ(sim.Finish(), 1);
    QString why = sim.Stderr();
    EXPECT_TRUE(why.contains(QStringLiteral("mute"))) << why.toStdString();
}

TEST(SimProgram, AnswersThePcLinkWithItsFiles) {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("line"));
    QString store = dir.filePath(QStringLiteral("device"));
    ZaurusSim sim(Fast(
        {"--link", link, "--method", "ir", "--pclink", store, "--nifadr", "--has", "OLD.EXE"}));
    ASSERT_EQ(sim.ReadyLine(), QStringLiteral("ready ") + link);
    bool nifadr = false, old = false, ended = false;
    {
        auto port = MakePort(SimMethod::Infrared, false, PcTiming());
        ASSERT_TRUE(port->Open(link, 9600));
        CPcLink pcLink(*port, PcTiming());
        nifadr = pcLink.FileExists("S7:NIFADR.BOX");
        old = pcLink.FileExists("S1:OLD.EXE");
        ended = pcLink.EndPcLink();
    }
    EXPECT_TRUE(nifadr);
    EXPECT_TRUE(old);
    EXPECT_TRUE(ended);
    EXPECT_EQ(sim.Finish(), 0) << sim.Stderr().toStdString();
}

// --auto: one file is what the device holds. A PC that receives gets it; a PC that sends
// replaces it, so the next receive brings back what was sent.
TEST(SimProgram, AutoSendsItsFileAndKeepsWhatThePcSends) {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("line"));
    QString held = dir.filePath(QStringLiteral("held.tsr"));
    std::string first = CableStream(900, 45), second = CableStream(1500, 46);
    {
        QFile f(held);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(first.data(), static_cast<qint64>(first.size()));
    }
    auto readHeld = [&] {
        QFile f(held);
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString()
                                           : std::string("(unreadable)");
    };
    {
        ZaurusSim sim(Fast({"--link", link, "--auto", held, "--has", "OLD.EXE"}));
        ASSERT_EQ(sim.ReadyLine(), QStringLiteral("ready ") + link);
        PcOutcome pc;
        {
            auto port = MakePort(SimMethod::Cable, false, PcTiming());
            pc = PcReceive(*port, link.toStdString());
        }
        EXPECT_EQ(pc.result, TransferResult::Completed);
        EXPECT_TRUE(pc.data == first);
        EXPECT_EQ(sim.Finish(), 0) << sim.Stderr().toStdString();
        EXPECT_EQ(sim.Stdout().trimmed(), QStringLiteral("played send"));
        EXPECT_TRUE(readHeld() == first);
    }
    {
        ZaurusSim sim(Fast({"--link", link, "--method", "ir", "--auto", held}));
        ASSERT_EQ(sim.ReadyLine(), QStringLiteral("ready ") + link);
        PcOutcome pc;
        {
            auto port = MakePort(SimMethod::Infrared, false, PcTiming());
            pc = PcSend(*port, link.toStdString(), second);
        }
        EXPECT_EQ(pc.result, TransferResult::Completed);
        EXPECT_EQ(sim.Finish(), 0) << sim.Stderr().toStdString();
        EXPECT_EQ(sim.Stdout().trimmed(), QStringLiteral("played receive"));
        EXPECT_TRUE(readHeld() == second);
    }
}

// The fault options of the program: each noisy transfer arrives whole or fails, never wrong.
TEST(SimProgram, FlippedBytesNeverGiveWrongData) {
    for (int seed : {3, 4, 5}) {
        QTemporaryDir dir;
        QString link = dir.filePath(QStringLiteral("line"));
        QString out = dir.filePath(QStringLiteral("out.tsr"));
        ZaurusSim sim({"--link", link, "--method", "ir", "--receive", out, "--flip", "0.002",
                       "--seed", QString::number(seed), "--time-scale", "0.05"});
        ASSERT_EQ(sim.ReadyLine(), QStringLiteral("ready ") + link);
        std::string data = AnyBytes(2000, static_cast<unsigned>(seed));
        PcOutcome pc;
        {
            auto port = MakePort(SimMethod::Infrared, false, PcTiming(0.05));
            pc = PcSend(*port, link.toStdString(), data);
        }
        int code = sim.Finish();
        if (code == 0) {
            QFile f(out);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_TRUE(f.readAll().toStdString() == data) << "seed " << seed;
        } else {
            EXPECT_EQ(code, 1);
            EXPECT_FALSE(QFile::exists(out)); // nothing half-written
        }
    }
}

} // namespace
} // namespace tessera::sim::test
