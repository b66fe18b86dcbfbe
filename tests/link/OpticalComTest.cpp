// The infrared port against a scripted device on an in-memory line: packet layout, sequence
// numbers, NAK and retries, CAN, the echo, the empty final packet, refused lengths, and the
// exact-count operations of the PC-link conversation.

#include "link/OpticalCom.h"

#include "IrDevice.h"
#include "LinkTestSupport.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>

using namespace tessera;
using namespace tessera::test;

namespace {

std::int64_t MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 t0)
        .count();
}

struct IrFixture : ::testing::Test {
    std::shared_ptr<FakePeer> peer = std::make_shared<FakePeer>();
    std::shared_ptr<IrDevice> dev = std::make_shared<IrDevice>();
    std::unique_ptr<COpticalCom> port;

    void OpenPort(PortOptions options) {
        IrDevice::Attach(peer, dev);
        port = std::make_unique<COpticalCom>(std::move(options));
        ASSERT_TRUE(port->Open(QStringLiteral("/dev/ttyIR"), 115200));
    }
    void SetUp() override { OpenPort(FakeOptions(peer)); }

    bool Write(const std::string& s) {
        return port->WriteBlock(s.data(), static_cast<int>(s.size()));
    }
    std::vector<int> CommandsWritten() const {
        std::vector<int> codes;
        for (const auto& p : ParsePackets(peer->written))
            if (p.type == ir::kCommandType)
                codes.push_back(p.code);
        return codes;
    }
};

} // namespace

TEST(IrPackets, LayoutAndChecksum) {
    EXPECT_EQ(CommandPacketBytes(ir::ENQ), Bytes({0, 0, 0, 0, 0, 0x96, 0x82, 0x05}));
    EXPECT_EQ(DataPacketBytes("ABC", 1),
              Bytes({0,    0,    0,    0,    0,    0x96, 0x81, 0x10, 0x01, 0x00,
                     0x01, 0x40, 0xFE, 0x03, 0x00, 'A',  'B',  'C',  0xC6, 0x00}));
    const CDataPacket empty(nullptr, 0, 0xFFFF);
    EXPECT_EQ(std::string(empty.Data(), 17),
              Bytes({0, 0, 0, 0, 0, 0x96, 0x81, 0x10, 0xFF, 0xFF, 0x01, 0x40, 0xFE, 0, 0, 0, 0}));
    // The sum wraps at 65536: 512 bytes of 0xFF sum to 130560 = 0x1FE00.
    const std::string ff(512, '\xFF');
    EXPECT_EQ(Checksum16(ff.data(), 512), 0xFE00);
    const CDataPacket full(ff.data(), 600, 7); // never more than 512 data bytes
    EXPECT_EQ(full.DataLength(), 512);
    EXPECT_EQ(full.Size(), 529);
}

TEST_F(IrFixture, OpenUsesTheInfraredLineWhateverSpeedIsAsked) {
    EXPECT_EQ(peer->settings.bitsPerSecond, 9600);
    EXPECT_EQ(peer->settings.parity, LineParity::Odd);
    EXPECT_FALSE(peer->settings.hardwareFlow);
    EXPECT_TRUE(peer->settings.setRts);
    EXPECT_FALSE(peer->settings.setDtr); // left as opening the port left it
    EXPECT_EQ(peer->settings.inputQueue, 768);
    EXPECT_EQ(peer->timeouts.readIntervalMs, FastTiming().irReadIntervalMs);
    EXPECT_EQ(peer->timeouts.readTotalMs, FastTiming().irReadTotalMs);
}

TEST_F(IrFixture, SequenceNumbersCountFullPacketsAndMarkShortOnes) {
    PortOptions o = FakeOptions(peer);
    o.timing.finalPacketPauseMs = 80;
    OpenPort(std::move(o));
    const std::string data = Pattern(1300);
    ASSERT_TRUE(Write(data.substr(0, 512)));
    ASSERT_TRUE(Write(data.substr(512, 512)));
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(Write(data.substr(1024)));
    EXPECT_GE(MsSince(t0), 80);              // the pause after a 0xFFFF packet
    ASSERT_TRUE(Write(data.substr(0, 512))); // later full blocks keep 0xFFFF
    ASSERT_EQ(dev->received.size(), 4u);
    EXPECT_EQ(dev->received[0].sequence, 1);
    EXPECT_EQ(dev->received[1].sequence, 2);
    EXPECT_EQ(dev->received[2].sequence, 0xFFFF);
    EXPECT_EQ(dev->received[3].sequence, 0xFFFF);
    EXPECT_EQ(dev->received[2].length, 276);
    EXPECT_EQ(dev->received[0].data + dev->received[1].data + dev->received[2].data, data);
    for (const auto& p : dev->received)
        EXPECT_EQ(p.checksum, Checksum16(p.data.data(), static_cast<int>(p.data.size())));
    EXPECT_EQ(CommandsWritten(), std::vector<int>(4, ir::ENQ));
}

TEST_F(IrFixture, SequenceNumberReachingTheEndStaysAtTheFinalMark) {
    port->SetSequenceNumber(0xFFFE);
    const std::string block = Pattern(512);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Write(block));
    ASSERT_EQ(dev->received.size(), 3u);
    EXPECT_EQ(dev->received[0].sequence, 0xFFFE);
    EXPECT_EQ(dev->received[1].sequence, 0xFFFF);
    EXPECT_EQ(dev->received[2].sequence, 0xFFFF);
}

TEST_F(IrFixture, WriteRetriesAfterNakAndGivesUpAfterThreeOrOnCan) {
    struct Case {
        const char* name;
        std::deque<int> enqAnswers, dataAnswers;
        bool ok;
        int enqs, packets;
    };
    const Case cases[] = {
        {"nak then ack", {}, {ir::NAK, ir::ACK}, true, 2, 2},
        {"three naks", {}, {ir::NAK, ir::NAK, ir::NAK}, false, 3, 3},
        {"no syn twice", {-1, -1}, {}, true, 3, 1},
        {"no answer to data", {}, {-1, -1, -1}, false, 3, 3},
        {"can for enq", {ir::CAN}, {}, false, 1, 0},
        {"can for data", {}, {ir::CAN}, false, 1, 1},
    };
    for (const Case& c : cases) {
        peer = std::make_shared<FakePeer>();
        dev = std::make_shared<IrDevice>();
        dev->enqAnswers = c.enqAnswers;
        dev->dataAnswers = c.dataAnswers;
        OpenPort(FakeOptions(peer));
        const std::string block = Pattern(512);
        EXPECT_EQ(Write(block), c.ok) << c.name;
        EXPECT_EQ(dev->enqCount, c.enqs) << c.name;
        ASSERT_EQ(static_cast<int>(dev->received.size()), c.packets) << c.name;
        for (const auto& p : dev->received) {
            EXPECT_EQ(p.sequence, 1) << c.name; // the same packet every time
            EXPECT_EQ(p.data, block) << c.name;
        }
        EXPECT_EQ(port->SequenceNumber(), c.ok ? 2 : 1) << c.name;
    }
}

TEST_F(IrFixture, EmptyFinalPacketIsNotAcknowledgedAndStillSucceeds) {
    PortOptions o = FakeOptions(peer);
    o.timing.finalPacketPauseMs = 60;
    OpenPort(std::move(o));
    dev->dataAnswers = {-1}; // the device answers an empty packet with nothing
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(port->WriteBlock(nullptr, 0));
    EXPECT_GE(MsSince(t0), 60);
    ASSERT_EQ(dev->received.size(), 1u);
    EXPECT_EQ(dev->received[0].length, 0);
    EXPECT_EQ(dev->received[0].checksum, 0);
    EXPECT_EQ(dev->received[0].sequence, 0xFFFF);
    EXPECT_EQ(dev->enqCount, 1);

    // A damaged empty packet draws a NAK within the pause: it is sent again.
    dev->received.clear();
    dev->enqCount = 0;
    dev->dataAnswers = {ir::NAK, -1};
    EXPECT_TRUE(port->WriteBlock(nullptr, 0));
    EXPECT_EQ(dev->received.size(), 2u);
    EXPECT_EQ(dev->enqCount, 2);
}

TEST_F(IrFixture, BlocksLongerThanAPacketAreRefused) {
    const std::string big = Pattern(513);
    EXPECT_FALSE(Write(big));
    EXPECT_TRUE(peer->written.empty());
}

TEST_F(IrFixture, EchoIsReadBackBeforeTheAnswer) {
    peer = std::make_shared<FakePeer>();
    dev = std::make_shared<IrDevice>();
    peer->echo = true;
    OpenPort(FakeOptions(peer, /*ignoreEcho=*/true));
    const std::string data = Pattern(300);
    ASSERT_TRUE(Write(data));
    ASSERT_EQ(dev->received.size(), 1u);
    EXPECT_EQ(dev->received[0].data, data);
    EXPECT_EQ(peer->Pending(), 0u);

    // Receiving with an echo: SYN and ACK are echoed too.
    dev->outgoing.push_back(DataPacketBytes("hello", 0xFFFF));
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), "hello");

    // Without the echo the PC waits for bytes that never come: the transmission fails.
    peer->echo = false;
    EXPECT_FALSE(Write(data));
}

TEST_F(IrFixture, MissingEchoByteFailsTheTransmission) {
    peer = std::make_shared<FakePeer>();
    dev = std::make_shared<IrDevice>();
    OpenPort(FakeOptions(peer, true));
    // An echo one byte short, then the device's SYN in a later burst.
    peer->onWrite = [](FakePeer& p, const std::string& bytes) {
        p.Send(bytes.substr(0, bytes.size() - 1));
        p.Send(CommandPacketBytes(ir::SYN));
    };
    EXPECT_FALSE(Write("abc"));
}

TEST_F(IrFixture, ReceivesNumberedPacketsAndAcknowledgesEach) {
    const std::string data = Pattern(1300);
    dev->outgoing = {DataPacketBytes(data.substr(0, 512), 1),
                     DataPacketBytes(data.substr(512, 512), 2),
                     DataPacketBytes(data.substr(1024), 0xFFFF)};
    std::string got;
    char buf[512];
    for (int i = 0; i < 3; ++i) {
        int n = 0;
        ASSERT_TRUE(port->ReadBlock(buf, n)) << i;
        got.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(got, data);
    EXPECT_EQ(dev->pcAnswers, (std::vector<int>{ir::ACK, ir::ACK, ir::ACK}));
    EXPECT_EQ(port->ExpectedSequence(), 3);
}

TEST_F(IrFixture, PacketSentAgainAfterNakIsTaken) {
    // The expected number must not move on before the packet is accepted.
    const std::string a = Pattern(512, 1), b = Pattern(512, 2);
    dev->outgoing = {DataPacketBytes(a, 1, -1, 0x1234), DataPacketBytes(b, 2)};
    dev->resend = {DataPacketBytes(a, 1)};
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(std::string(buf, 512), a);
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(std::string(buf, 512), b);
    EXPECT_EQ(dev->pcAnswers, (std::vector<int>{ir::NAK, ir::ACK, ir::ACK}));
}

TEST_F(IrFixture, RepeatedPacketAfterLostAckIsAcknowledgedAndDropped) {
    const std::string a = Pattern(512, 1), b = Pattern(100, 2);
    dev->outgoing = {DataPacketBytes(a, 1), DataPacketBytes(a, 1), DataPacketBytes(b, 0xFFFF)};
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(n, 512);
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), b);
    EXPECT_EQ(dev->pcAnswers, (std::vector<int>{ir::ACK, ir::ACK, ir::ACK}));
}

TEST_F(IrFixture, ReceiveFailuresAnswerWithNakOrCan) {
    struct Case {
        const char* name;
        std::deque<std::string> packets;
        std::deque<std::string> resend; // what the device sends after a NAK
        std::vector<int> answers;       // what the PC writes back after the SYNs
        bool ok;
        int count;
    };
    const std::string d = Pattern(40);
    std::string badMarker = DataPacketBytes(d, 1);
    badMarker[7] = 0x20;
    std::string commandInstead = CommandPacketBytes(ir::ACK);
    const Case cases[] = {
        {"three bad sums",
         {DataPacketBytes(d, 0xFFFF, -1, 1)},
         {DataPacketBytes(d, 0xFFFF, -1, 2), DataPacketBytes(d, 0xFFFF, -1, 3)},
         {ir::NAK, ir::NAK, ir::NAK, ir::CAN},
         false,
         0},
        {"bad marker byte", {badMarker}, {}, {ir::CAN}, false, 0},
        {"length above 512", {DataPacketBytes(d, 0xFFFF, 600)}, {}, {ir::CAN}, false, 0},
        {"true end packet", {DataPacketBytes("", 0xFFFF)}, {}, {}, true, 0},
        {"empty but numbered",
         {DataPacketBytes("", 1)},
         {DataPacketBytes(d, 0xFFFF)},
         {ir::NAK, ir::ACK},
         true,
         40},
        {"empty with a sum",
         {DataPacketBytes("", 0xFFFF, -1, 5)},
         {DataPacketBytes(d, 0xFFFF)},
         {ir::NAK, ir::ACK},
         true,
         40},
        {"length hit to zero",
         {DataPacketBytes(d, 0xFFFF, 0)},
         {DataPacketBytes(d, 0xFFFF)},
         {ir::NAK, ir::ACK},
         true,
         40},
        {"out of sequence",
         {DataPacketBytes(d, 5), DataPacketBytes(d, 1)},
         {},
         {ir::ACK},
         true,
         40},
        {"not a data packet", {commandInstead, DataPacketBytes(d, 1)}, {}, {ir::ACK}, true, 40},
    };
    for (const Case& c : cases) {
        peer = std::make_shared<FakePeer>();
        dev = std::make_shared<IrDevice>();
        dev->outgoing = c.packets;
        dev->resend = c.resend;
        OpenPort(FakeOptions(peer));
        // After an unusable packet the PC stays silent; the device gives up waiting for an
        // answer and offers its next packet.
        peer->onIdle = [d = dev](FakePeer& p) {
            if (d->awaitingAnswer) {
                d->outgoing.pop_front();
                d->awaitingAnswer = d->enqSent = false;
            }
            if (!d->outgoing.empty() && !d->enqSent) {
                d->enqSent = true;
                p.Send(CommandPacketBytes(ir::ENQ));
            }
        };
        std::vector<char> buf(512 + 64, '\x5A');
        int n = -1;
        EXPECT_EQ(port->ReadBlock(buf.data(), n), c.ok) << c.name;
        EXPECT_EQ(n, c.count) << c.name;
        EXPECT_EQ(dev->pcAnswers, c.answers) << c.name;
        for (size_t i = 512; i < buf.size(); ++i)
            ASSERT_EQ(buf[i], '\x5A') << c.name; // nothing written beyond the block
    }
}

TEST_F(IrFixture, LineErrorInAPacketIsAnsweredLikeABadChecksum) {
    // A parity or framing error reported during the packet: the data cannot be trusted even
    // when the sum happens to match.
    const std::string d = Pattern(40);
    dev->outgoing = {DataPacketBytes(d, 0xFFFF)};
    bool once = true;
    peer->damages = [&](const std::string& bytes) {
        const bool hit = once && bytes == d;
        once = once && !hit;
        return hit;
    };
    char buf[512];
    int n = 0;
    ASSERT_TRUE(port->ReadBlock(buf, n));
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), d);
    EXPECT_EQ(dev->pcAnswers, (std::vector<int>{ir::NAK, ir::ACK}));
}

TEST_F(IrFixture, NoiseWithoutSyncEndsTheWaitInTime) {
    dev->noise = true;
    char buf[512];
    int n = 0;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(port->ReadBlock(buf, n));
    EXPECT_LT(MsSince(t0), 3000);
    EXPECT_EQ(CommandsWritten(), std::vector<int>{ir::CAN});
}

TEST_F(IrFixture, RefusalBytesTravelWithTheNextWrite) {
    const std::string refusal = Bytes({0x05, 0x06, 0x06});
    ASSERT_TRUE(port->WriteExact(refusal.data(), 3));
    EXPECT_TRUE(peer->written.empty());
    EXPECT_TRUE(port->HeldPrefix());
    const std::string frame = Pattern(10);
    ASSERT_TRUE(port->WriteExact(frame.data(), 10));
    EXPECT_FALSE(port->HeldPrefix());
    ASSERT_EQ(dev->received.size(), 1u);
    EXPECT_EQ(dev->received[0].length, 13);
    EXPECT_EQ(dev->received[0].data, refusal + frame);
    EXPECT_EQ(dev->received[0].sequence, 0xFFFF);
}

TEST_F(IrFixture, ExactReadsAreServedFromOnePacket) {
    dev->outgoing = {DataPacketBytes("0123456789", 0xFFFF), DataPacketBytes("abc", 0xFFFF),
                     DataPacketBytes("xy", 0xFFFF)};
    char buf[32];
    ASSERT_TRUE(port->ReadExact(buf, 1));
    EXPECT_EQ(buf[0], '0');
    ASSERT_TRUE(port->ReadExact(buf, 4));
    EXPECT_EQ(std::string(buf, 4), "1234");
    ASSERT_TRUE(port->ReadExact(buf, 5));
    EXPECT_EQ(std::string(buf, 5), "56789");
    EXPECT_EQ(dev->pcAnswers.size(), 1u); // one packet so far
    // Two bytes wanted, three in the next packet, then one left over is dropped.
    ASSERT_TRUE(port->ReadExact(buf, 2));
    EXPECT_EQ(std::string(buf, 2), "ab");
    // More than the next packet holds: fails rather than inventing bytes.
    EXPECT_FALSE(port->ReadExact(buf, 3));
}
