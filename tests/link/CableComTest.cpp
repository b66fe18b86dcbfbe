// The cable port over an in-memory line: line settings, the end-mark and empty-read rules of
// ReadBlock, the pauses around the end byte in WriteBlock, and the exact-count operations.

#include "link/CableCom.h"

#include "LinkTestSupport.h"
#include "link/RecordStream.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace tessera;
using namespace tessera::test;

namespace {

struct CableFixture : ::testing::Test {
    std::shared_ptr<FakePeer> peer = std::make_shared<FakePeer>();
    std::unique_ptr<CCableCom> port;

    void OpenPort(PortOptions options) {
        port = std::make_unique<CCableCom>(std::move(options));
        ASSERT_TRUE(port->Open(QStringLiteral("/dev/ttyFAKE"), 115200));
        peer->events.clear();
    }
    void SetUp() override { OpenPort(FakeOptions(peer)); }
};

std::string WithEndMark(size_t length) {
    std::string s = Pattern(length - 1);
    s.push_back(0x1A);
    return s;
}

} // namespace

TEST(CableOpen, SetsTheCableLineAndTimeOutsAndClosesOnDelete) {
    auto peer = std::make_shared<FakePeer>();
    {
        CCableCom port(FakeOptions(peer));
        ASSERT_TRUE(port.Open(QStringLiteral("/dev/ttyS0"), 19200));
        EXPECT_EQ(peer->settings.bitsPerSecond, 19200);
        EXPECT_EQ(peer->settings.parity, LineParity::None);
        EXPECT_TRUE(peer->settings.hardwareFlow);
        EXPECT_TRUE(peer->settings.setDtr);
        EXPECT_EQ(peer->settings.inputQueue, 1024);
        const LinkTiming t = FastTiming();
        EXPECT_EQ(peer->timeouts.readIntervalMs, t.cableReadIntervalMs);
        EXPECT_EQ(peer->timeouts.readTotalMs, t.cableReadTotalMs);
        EXPECT_EQ(peer->timeouts.writeTotalMs, t.cableWriteTotalMs);
        EXPECT_GT(peer->timeouts.readPerByteUs, 0);
        ASSERT_GE(peer->events.size(), 2u);
        EXPECT_EQ(peer->events[1], "purge 3");
    }
    EXPECT_EQ(peer->events.back(), "close");
    EXPECT_FALSE(peer->open);
}

TEST(CableOpen, FailureLeavesNothingOpen) {
    auto peer = std::make_shared<FakePeer>();
    peer->openFails = true;
    CCableCom port(FakeOptions(peer));
    EXPECT_FALSE(port.Open(QStringLiteral("/dev/ttyS0"), 9600));
    char buf[512];
    int n = -1;
    EXPECT_FALSE(port.ReadBlock(buf, n));
    EXPECT_EQ(n, 0);
}

TEST_F(CableFixture, ReadBlockReturnsWhatArrivedUpTo512) {
    peer->Send(Pattern(100));
    peer->Send(Pattern(700, 2));
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(n, 100);
    EXPECT_EQ(std::string(buf, 100), Pattern(100));
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(n, 512);
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(n, 188);
}

TEST_F(CableFixture, FullBlockWithEndByteMakesTheNextEmptyReadEndTheStream) {
    std::string block = Pattern(512);
    block[200] = 0x1A; // anywhere in the block
    peer->Send(block);
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(n, 512);
    EXPECT_TRUE(port->EndMarkPending());
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(peer->emptyReads, 1);
    EXPECT_FALSE(port->EndMarkPending());
}

TEST_F(CableFixture, FullBlockWithoutEndByteThenSilenceFailsAfter73EmptyReads) {
    peer->Send(Pattern(512));
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_FALSE(port->EndMarkPending());
    EXPECT_FALSE(port->ReadBlock(buf, n));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(peer->emptyReads, 73);
}

TEST_F(CableFixture, ShortBlockClearsTheEndMark) {
    peer->Send(WithEndMark(512));
    peer->Send(Pattern(10));
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_TRUE(port->EndMarkPending());
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(n, 10);
    EXPECT_FALSE(port->EndMarkPending());
    EXPECT_FALSE(port->ReadBlock(buf, n)); // silence now waits the full count again
    EXPECT_EQ(peer->emptyReads, 73);
}

TEST_F(CableFixture, ReportedLineErrorFailsTheRead) {
    // The raw stream has no checksum: damaged bytes must not pass as data.
    peer->Send(Pattern(300));
    peer->lineErrorOnNextRead = true;
    char buf[512];
    int n = 0;
    EXPECT_FALSE(port->ReadBlock(buf, n));
}

TEST(CableCancel, CancelStopsTheWaitForAFirstByte) {
    auto peer = std::make_shared<FakePeer>();
    int checks = 0;
    PortOptions o = FakeOptions(peer);
    o.cancelled = [&] { return ++checks > 5; };
    CCableCom port(std::move(o));
    ASSERT_TRUE(port.Open(QStringLiteral("x"), 9600));
    char buf[512];
    int n = 0;
    EXPECT_FALSE(port.ReadBlock(buf, n));
    EXPECT_TRUE(port.WasCancelled());
    EXPECT_LT(peer->emptyReads, 10);
}

TEST(CableCancel, BlockCutShortByACancelIsNotTheEndOfTheStream) {
    auto peer = std::make_shared<FakePeer>();
    bool cancel = false;
    PortOptions o = FakeOptions(peer);
    o.cancelled = [&] { return cancel; };
    CCableCom port(std::move(o));
    ASSERT_TRUE(port.Open(QStringLiteral("x"), 9600));
    peer->Send(Pattern(512));
    peer->Send(Pattern(200)); // the line's read ended early: the user cancelled meanwhile
    peer->damages = [&](const std::string& bytes) {
        cancel = bytes.size() == 200;
        return false;
    };
    std::string got;
    EXPECT_EQ(ReceiveRecordStream(port,
                                  [&](const char* d, int n) {
                                      got.append(d, static_cast<size_t>(n));
                                      return true;
                                  }),
              TransferResult::Cancelled);
    EXPECT_EQ(got.size(), 512u);
}

TEST(CableCancel, EndMarkDoesNotCarryOverToTheNextPort) {
    // A receive cancelled right after a full block holding the end byte must not make the
    // next receive end at once with nothing.
    auto peer = std::make_shared<FakePeer>();
    char buf[512];
    int n = 0;
    {
        CCableCom first(FakeOptions(peer));
        ASSERT_TRUE(first.Open(QStringLiteral("x"), 9600));
        peer->Send(WithEndMark(512));
        ASSERT_TRUE(first.ReadBlock(buf, n));
        ASSERT_TRUE(first.EndMarkPending());
    }
    CCableCom second(FakeOptions(peer));
    ASSERT_TRUE(second.Open(QStringLiteral("x"), 9600));
    EXPECT_FALSE(second.ReadBlock(buf, n));
    EXPECT_EQ(peer->emptyReads, 73);
}

TEST_F(CableFixture, WriteBlockSendsTheEndByteAloneBetweenPauses) {
    PortOptions o = FakeOptions(peer);
    o.timing.endMarkLeadMs = 120;
    o.timing.endMarkTailMs = 60;
    OpenPort(std::move(o));

    struct Case {
        std::string block;
        std::vector<std::string> writes;
        bool paused;
    };
    const std::string body = Pattern(300);
    const Case cases[] = {
        {body + "\x1A", {body, "\x1A"}, true},
        {"\x1A", {"\x1A"}, true}, // one byte: no first write
        {body, {body}, false},
        {"", {}, false},
    };
    for (const Case& c : cases) {
        peer->writes.clear();
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_TRUE(port->WriteBlock(c.block.data(), static_cast<int>(c.block.size())));
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - t0)
                            .count();
        EXPECT_EQ(peer->writes, c.writes) << c.block.size();
        if (c.paused)
            EXPECT_GE(ms, 175) << c.block.size();
        else
            EXPECT_LT(ms, 100) << c.block.size();
    }
}

TEST_F(CableFixture, FailedWritesAreReported) {
    peer->writeFails = true;
    const std::string block = Pattern(20) + "\x1A";
    EXPECT_FALSE(port->WriteBlock(block.data(), static_cast<int>(block.size())));
    EXPECT_FALSE(port->WriteBlock(block.data(), 20));
    EXPECT_FALSE(port->WriteExact(block.data(), 5));
}

TEST_F(CableFixture, ExactReadsNeedTheWholeCount) {
    peer->Send("ABCDE");
    char buf[8];
    EXPECT_TRUE(port->ReadExact(buf, 3));
    EXPECT_EQ(std::string(buf, 3), "ABC");
    EXPECT_FALSE(port->ReadExact(buf, 3)); // only two left: a time-out
    EXPECT_TRUE(port->WriteExact("\x01\x02", 2));
    EXPECT_EQ(peer->written, "\x01\x02");
}
