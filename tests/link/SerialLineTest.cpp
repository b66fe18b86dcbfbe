// SerialLine on a real pseudo-terminal: the blocking read rules, writes, purge, exclusive
// open, settings put back on close, and the protocol trace.

#include "link/SerialLine.h"

#include "LinkTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <termios.h>
#include <thread>

using namespace tessera;
using namespace tessera::test;

namespace {

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

LineSettings Line9600() {
    LineSettings s;
    s.bitsPerSecond = 9600;
    return s;
}

LineTimeouts Timeouts(int interval, int total) {
    LineTimeouts t;
    t.readIntervalMs = interval;
    t.readTotalMs = total;
    t.writeTotalMs = 1000;
    return t;
}

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(line.Open(pty.Path(), Line9600())) << line.LastError().toStdString();
    }
    PtyPair pty;
    SerialLine line;
};

} // namespace

TEST_F(SerialLineTest, ReadEndsWhenCountArrivesOrAfterTotalOrInterval) {
    line.SetTimeouts(Timeouts(80, 1500));
    char buf[64] = {};

    // Count arrives: returns at once with all of it.
    ASSERT_TRUE(pty.WriteMaster("0123456789"));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(line.Read(buf, 10), 10);
    EXPECT_EQ(std::string(buf, 10), "0123456789");
    EXPECT_LT(ElapsedMs(t0), 500);

    // A first byte, then silence: the interval ends the read long before the total.
    ASSERT_TRUE(pty.WriteMaster("abc"));
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(line.Read(buf, 64), 3);
    const auto interval = ElapsedMs(t0);
    EXPECT_GE(interval, 70);
    EXPECT_LT(interval, 1000);

    // Nothing at all: the total time-out, and 0 bytes.
    line.SetTimeouts(Timeouts(80, 300));
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(line.Read(buf, 8), 0);
    const auto total = ElapsedMs(t0);
    EXPECT_GE(total, 290);
    EXPECT_LT(total, 1200);
}

TEST_F(SerialLineTest, BytesTricklingInKeepTheReadGoingUntilTheTotal) {
    // Bytes 40 ms apart never trip the 100 ms interval; the 400 ms total ends the read.
    line.SetTimeouts(Timeouts(100, 400));
    std::thread writer([&] {
        for (int i = 0; i < 20; ++i) {
            pty.WriteMaster("x");
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    });
    char buf[64];
    const auto t0 = std::chrono::steady_clock::now();
    const auto n = line.Read(buf, 64);
    const auto ms = ElapsedMs(t0);
    writer.join();
    EXPECT_GE(n, 5);
    EXPECT_LT(n, 20);
    EXPECT_GE(ms, 380);
    EXPECT_LT(ms, 1200);
}

TEST_F(SerialLineTest, WriteArrivesAndPurgeDropsPendingInput) {
    line.SetTimeouts(Timeouts(50, 200));
    const std::string block = Pattern(700);
    EXPECT_EQ(line.Write(block.data(), static_cast<std::int64_t>(block.size())), 700);
    EXPECT_TRUE(line.Flush());
    EXPECT_EQ(pty.ReadMaster(700, 1000), block);

    ASSERT_TRUE(pty.WriteMaster("stale bytes"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(line.Purge(PurgeInput));
    char buf[16];
    EXPECT_EQ(line.Read(buf, 16), 0);
}

TEST_F(SerialLineTest, CancelCheckEndsAWaitEarly) {
    line.SetTimeouts(Timeouts(0, 5000));
    const auto t0 = std::chrono::steady_clock::now();
    line.SetCancelCheck([&] { return ElapsedMs(t0) > 100; });
    char buf[4];
    EXPECT_EQ(line.Read(buf, 4), 0);
    EXPECT_LT(ElapsedMs(t0), 1000);
}

TEST(SerialLineOpen, FailsOnMissingPortAndIsExclusive) {
    SerialLine missing;
    EXPECT_FALSE(missing.Open(QStringLiteral("/dev/tessera-no-such-port"), Line9600()));
    EXPECT_FALSE(missing.IsOpen());
    char c;
    EXPECT_EQ(missing.Read(&c, 1), -1);
    EXPECT_EQ(missing.Write("x", 1), -1);

    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    SerialLine first;
    ASSERT_TRUE(first.Open(pty.Path(), Line9600()));
    SerialLine second;
    EXPECT_FALSE(second.Open(pty.Path(), Line9600()));
    first.Close();
    EXPECT_TRUE(second.Open(pty.Path(), Line9600()));
}

TEST(SerialLineOpen, AppliesSettingsAndRestoresThePreviousOnesOnClose) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    // Something recognisably different from what the link sets.
    termios before{};
    ASSERT_EQ(tcgetattr(pty.slave, &before), 0);
    cfsetispeed(&before, B2400);
    cfsetospeed(&before, B2400);
    before.c_cflag = (before.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB)) | CS7 | CSTOPB;
    ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &before), 0);
    ASSERT_EQ(tcgetattr(pty.slave, &before), 0);

    {
        SerialLine line;
        LineSettings s;
        s.bitsPerSecond = 9600;
        s.parity = LineParity::Odd;
        s.setRts = true; // a pty has no modem lines: must not fail the open
        s.setDtr = true;
        ASSERT_TRUE(line.Open(pty.Path(), s)) << line.LastError().toStdString();
        termios during{};
        ASSERT_EQ(tcgetattr(pty.slave, &during), 0);
        EXPECT_EQ(cfgetospeed(&during), static_cast<speed_t>(B9600));
        EXPECT_EQ(during.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        // (A pty keeps no parity bit of its own; the odd-parity flag still shows.)
        EXPECT_TRUE(during.c_cflag & PARODD);
        EXPECT_FALSE(during.c_cflag & CSTOPB);
    } // closes

    termios after{};
    ASSERT_EQ(tcgetattr(pty.slave, &after), 0);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(cfgetispeed(&after), cfgetispeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}

TEST(LineTraceTest, TracedLineLogsEveryReadAndWriteAsHex) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    {
        auto trace = std::make_shared<LineTrace>(path);
        ASSERT_TRUE(trace->IsOpen());
        TracedLine line(std::make_unique<SerialLine>(), trace);
        ASSERT_TRUE(line.Open(pty.Path(), Line9600()));
        line.SetTimeouts(Timeouts(30, 100));
        EXPECT_EQ(line.Write("AB\x96", 3), 3);
        pty.WriteMaster(std::string("\x00\x1a", 2));
        char buf[8];
        EXPECT_EQ(line.Read(buf, 8), 2);
        EXPECT_EQ(line.Read(buf, 1), 0);
        line.Close();
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string text = f.readAll().toStdString();
    EXPECT_NE(text.find("open"), std::string::npos);
    EXPECT_NE(text.find("write"), std::string::npos);
    EXPECT_NE(text.find("41 42 96"), std::string::npos) << text;
    EXPECT_NE(text.find("00 1a"), std::string::npos) << text;
    EXPECT_NE(text.find("time-out"), std::string::npos) << text;
    EXPECT_NE(text.find("close"), std::string::npos);
}

TEST(LinkTimingTest, TimeOutsGrowWithTheBlockAtLowSpeeds) {
    struct Case {
        int bps;
        int bitsPerByte;
        std::int64_t minBlockLimitMs; // a 512-byte read must be allowed at least this long
    };
    // 512 bytes at 300 bps (10 bits) take 17 067 ms; the limit must cover 1.5 times that.
    const Case cases[] = {{300, 10, 5000 + 25600}, {9600, 11, 5000 + 880}, {115200, 10, 5000}};
    for (const Case& c : cases) {
        const LineTimeouts t = SpeedAwareTimeouts(500, 5000, 5000, c.bps, c.bitsPerByte);
        EXPECT_EQ(t.readIntervalMs, 500);
        EXPECT_GE(t.ReadLimitMs(512), c.minBlockLimitMs) << c.bps;
        EXPECT_GE(t.WriteLimitMs(512), c.minBlockLimitMs) << c.bps;
        EXPECT_GE(t.ReadLimitMs(1), 5000) << c.bps;
        EXPECT_LT(t.ReadLimitMs(1), 5100) << c.bps;
    }
    const LinkTiming scaled = LinkTiming().Scaled(0.001);
    EXPECT_EQ(scaled.packetGapMs, 1); // never scaled to nothing
    EXPECT_EQ(scaled.cableReadTotalMs, 5);
    EXPECT_EQ(scaled.cableEmptyReads, 73); // counts are not times
}
