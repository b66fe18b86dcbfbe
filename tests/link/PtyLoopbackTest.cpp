// The ports on a real pseudo-terminal with SerialLine underneath: the cable's end-mark
// pauses and empty reads as the far end sees them, and infrared packets in both directions
// with a packet peer on the master side.

#include "LinkTestSupport.h"
#include "link/CableCom.h"
#include "link/OpticalCom.h"
#include "link/RecordStream.h"

#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace tessera;
using namespace tessera::test;

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

LinkTiming LoopTiming() {
    return LinkTiming().Scaled(0.05);
}

PortOptions SerialOptions(const LinkTiming& t) {
    PortOptions o;
    o.timing = t;
    return o;
}

} // namespace

TEST(PtyCable, EndByteLeavesAloneAfterAPause) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    LinkTiming t = LoopTiming();
    t.endMarkLeadMs = 150;
    t.endMarkTailMs = 20;
    CCableCom port(SerialOptions(t));
    ASSERT_TRUE(port.Open(pty.Path(), 38400));
    const std::string block = Pattern(299) + "\x1A";

    std::string body, mark;
    Clock::time_point bodyAt, markAt;
    std::thread far([&] {
        body = pty.ReadMaster(299, 2000);
        bodyAt = Clock::now();
        mark = pty.ReadMaster(1, 2000);
        markAt = Clock::now();
    });
    EXPECT_TRUE(port.WriteBlock(block.data(), 300));
    far.join();
    EXPECT_EQ(body, block.substr(0, 299));
    EXPECT_EQ(mark, "\x1A");
    EXPECT_GE(MsBetween(bodyAt, markAt), 120);
}

TEST(PtyCable, ReadBlockOnARealLine) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const LinkTiming t = LoopTiming(); // 25 ms interval, 250 ms per empty read
    CCableCom port(SerialOptions(t));
    ASSERT_TRUE(port.Open(pty.Path(), 115200));

    // 700 bytes at once: a full block and the rest, and the full one holds the end byte.
    std::string data = Pattern(700);
    data[100] = 0x1A;
    ASSERT_TRUE(pty.WriteMaster(data));
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port.ReadBlock(buf, n));
    EXPECT_EQ(n, 512);
    EXPECT_TRUE(port.EndMarkPending());
    ASSERT_TRUE(port.ReadBlock(buf, n));
    EXPECT_EQ(n, 188);
    EXPECT_EQ(std::string(buf, 188), data.substr(512));

    // A full block with the end byte, then silence: one empty read ends the stream.
    ASSERT_TRUE(pty.WriteMaster(Pattern(511) + "\x1A"));
    ASSERT_TRUE(port.ReadBlock(buf, n));
    ASSERT_EQ(n, 512);
    const auto t0 = Clock::now();
    ASSERT_TRUE(port.ReadBlock(buf, n));
    EXPECT_EQ(n, 0);
    const auto waited = MsBetween(t0, Clock::now());
    EXPECT_GE(waited, t.cableReadTotalMs - 5);
    EXPECT_LT(waited, 4 * t.cableReadTotalMs);
}

TEST(PtyInfrared, StreamsBothWaysArriveIntact) {
    const LinkTiming t = LoopTiming();
    for (size_t length : {size_t{0}, size_t{511}, size_t{1024}, size_t{1300}}) {
        for (bool pcSends : {true, false}) {
            PtyPair pty;
            ASSERT_TRUE(pty.Ok());
            COpticalCom pc(SerialOptions(t));
            ASSERT_TRUE(pc.Open(pty.Path(), 9600));
            COpticalCom device(FdOptions(pty.master, t));
            ASSERT_TRUE(device.Open(QStringLiteral("master"), 9600));
            const std::string data = Pattern(length, static_cast<unsigned>(length));

            CZaurusCom& sender = pcSends ? static_cast<CZaurusCom&>(pc) : device;
            CZaurusCom& receiver = pcSends ? static_cast<CZaurusCom&>(device) : pc;
            std::string got;
            TransferResult received = TransferResult::Failed;
            // The receiver waits first, as the user starts the receiving side first.
            const auto receive = [&] {
                received = ReceiveRecordStream(receiver, [&](const char* d, int n) {
                    got.append(d, static_cast<size_t>(n));
                    return true;
                });
            };
            TransferResult sent = TransferResult::Failed;
            if (pcSends) {
                std::thread far(receive);
                sent = SendRecordStream(sender, data.data(), static_cast<std::int64_t>(length));
                far.join();
            } else {
                std::thread far([&] {
                    sent = SendRecordStream(sender, data.data(), static_cast<std::int64_t>(length));
                });
                receive();
                far.join();
            }
            EXPECT_EQ(sent, TransferResult::Completed) << length << " pc sends " << pcSends;
            EXPECT_EQ(received, TransferResult::Completed) << length << " pc sends " << pcSends;
            EXPECT_EQ(got, data) << length << " pc sends " << pcSends;
        }
    }
}

TEST(PtyInfrared, SilentDeviceFailsTheReceiveAfterThreeWaits) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const LinkTiming t = LoopTiming();
    COpticalCom pc(SerialOptions(t));
    ASSERT_TRUE(pc.Open(pty.Path(), 9600));
    char buf[512];
    int n = 0;
    const auto t0 = Clock::now();
    EXPECT_FALSE(pc.ReadBlock(buf, n));
    const auto waited = MsBetween(t0, Clock::now());
    EXPECT_GE(waited, 3 * t.irReadTotalMs - 10);
    EXPECT_LT(waited, 3 * t.irReadTotalMs + 1000);
    // Having given up, the PC tells the device so.
    EXPECT_EQ(pty.ReadMaster(8, 500), CommandPacketBytes(0x18));
}

namespace {
std::atomic<int> g_qtWarnings{0};
void CountWarnings(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtWarningMsg)
        ++g_qtWarnings;
}
} // namespace

TEST(PtyWorker, PortRunsOnAWorkerThreadWithoutEventLoop) {
    // Transfers run on a plain worker thread; the line must work there without an event loop
    // and without Qt complaining on stderr at every open.
    g_qtWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(CountWarnings);
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    bool ok = false;
    std::string got;
    std::thread worker([&] {
        CCableCom port(SerialOptions(LoopTiming()));
        if (!port.Open(pty.Path(), 9600))
            return;
        char buf[512];
        int n = 0;
        ok = port.WriteExact("ping", 4) && port.ReadBlock(buf, n);
        got.assign(buf, static_cast<size_t>(n));
    });
    EXPECT_EQ(pty.ReadMaster(4, 2000), "ping");
    ASSERT_TRUE(pty.WriteMaster("pong"));
    worker.join();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, "pong");
    EXPECT_EQ(g_qtWarnings.load(), 0);
}
