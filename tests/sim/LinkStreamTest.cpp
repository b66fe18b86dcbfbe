// Record streams between the real ports and the simulated device, both directions, both
// methods: every length that lands on or around a block edge must arrive byte for byte.

#include "link/CableCom.h"
#include "link/OpticalCom.h"
#include "tests/sim/LinkSimSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <tuple>

namespace tessera::sim::test {
namespace {

using namespace std::chrono_literals;

struct StreamCase {
    SimMethod method;
    bool echo;
    size_t length;
};

std::string Name(const testing::TestParamInfo<StreamCase>& info) {
    const auto& c = info.param;
    return std::string(c.method == SimMethod::Cable ? "Cable" : "Ir") + (c.echo ? "Echo" : "") +
           "_" + std::to_string(c.length);
}

std::vector<StreamCase> Cases() {
    std::vector<StreamCase> out;
    for (size_t n : {0u, 1u, 511u, 512u, 513u, 1024u, 100000u}) {
        out.push_back({SimMethod::Cable, false, n});
        out.push_back({SimMethod::Infrared, false, n});
        out.push_back({SimMethod::Infrared, true, n});
    }
    return out;
}

class SimStreamTest : public testing::TestWithParam<StreamCase> {
protected:
    std::string Data() const {
        const auto& c = GetParam();
        return c.method == SimMethod::Cable ? CableStream(c.length, 11)
                                            : AnyBytes(c.length, static_cast<unsigned>(c.length));
    }
    // On the cable a stream of nothing cannot be told from no stream at all.
    bool Carriable() const {
        return GetParam().method != SimMethod::Cable || GetParam().length > 0;
    }
};

TEST_P(SimStreamTest, PcToDeviceArrivesByteIdentical) {
    const auto& c = GetParam();
    std::string data = Data();
    SimConfig cfg = DeviceConfig(c.method, SimRole::Receive);
    cfg.echo = c.echo;
    if (!Carriable()) {
        cfg.timing.firstWait = 300ms;
        cfg.timing.linger = 10ms;
    }
    SimThread sim(cfg);
    ASSERT_TRUE(sim.Ok()) << sim.OpenError();
    PcOutcome pc;
    {
        auto port = MakePort(c.method, c.echo, PcTiming());
        pc = PcSend(*port, sim.PortName(), data);
        if (!Carriable())
            sim.Join(); // let the device give up before the line closes
    }
    SimResult r = sim.Join();
    ASSERT_TRUE(pc.opened);
    EXPECT_EQ(pc.result, TransferResult::Completed);
    if (!Carriable()) {
        EXPECT_FALSE(r.completed);
        EXPECT_TRUE(r.received.empty());
        return;
    }
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.received.size(), data.size());
    EXPECT_TRUE(r.received == data);
    if (c.method == SimMethod::Infrared) {
        // Full packets 1, 2, ... and the short (or empty) last one numbered 0xFFFF.
        std::vector<std::uint16_t> numbers;
        for (size_t i = 0; i < data.size() / 512; ++i)
            numbers.push_back(static_cast<std::uint16_t>(i + 1));
        numbers.push_back(0xFFFF);
        EXPECT_EQ(r.stats.sequenceNumbers, numbers);
        EXPECT_EQ(r.stats.naksSent, 0);
    }
}

TEST_P(SimStreamTest, DeviceToPcArrivesByteIdentical) {
    const auto& c = GetParam();
    std::string data = Data();
    SimConfig cfg = DeviceConfig(c.method, SimRole::Send);
    cfg.echo = c.echo;
    cfg.sendData = data;
    LinkTiming timing = PcTiming();
    if (!Carriable())
        timing.cableEmptyReads = 3; // the PC waits for a stream that never comes
    SimThread sim(cfg);
    ASSERT_TRUE(sim.Ok()) << sim.OpenError();
    PcOutcome pc;
    {
        auto port = MakePort(c.method, c.echo, timing);
        // A fast line keeps the speed-dependent part of the empty reads short.
        pc = PcReceive(*port, sim.PortName(), Carriable() ? 9600 : 460800);
    }
    SimResult r = sim.Join();
    ASSERT_TRUE(pc.opened);
    if (!Carriable()) {
        EXPECT_EQ(pc.result, TransferResult::Failed);
        return;
    }
    EXPECT_EQ(pc.result, TransferResult::Completed);
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(pc.data.size(), data.size());
    EXPECT_TRUE(pc.data == data);
}

INSTANTIATE_TEST_SUITE_P(SimLengths, SimStreamTest, testing::ValuesIn(Cases()), Name);

// ---- a device that serves both directions -----------------------------------------------

class SimAutoStreamTest : public testing::TestWithParam<std::tuple<SimMethod, bool>> {
protected:
    SimConfig Device(const std::string& held) const {
        SimConfig cfg = DeviceConfig(std::get<0>(GetParam()), SimRole::Auto);
        cfg.echo = std::get<1>(GetParam());
        cfg.sendData = held;
        return cfg;
    }
    std::unique_ptr<CZaurusCom> Port() const {
        return MakePort(std::get<0>(GetParam()), std::get<1>(GetParam()), PcTiming());
    }
};

// What a device left ready for both does over two exchanges: it sends what it holds to a PC
// that receives, and takes what a PC sends, with the ports' real timing in proportion.
TEST_P(SimAutoStreamTest, SendsToAReceivingPcAndTakesFromASendingOne) {
    const std::string held = CableStream(1300, 43);
    const std::string sent = CableStream(1024, 44); // two full blocks and an empty one
    {
        SimThread sim(Device(held));
        ASSERT_TRUE(sim.Ok()) << sim.OpenError();
        PcOutcome pc;
        {
            auto port = Port();
            pc = PcReceive(*port, sim.PortName());
        }
        SimResult r = sim.Join();
        EXPECT_EQ(pc.result, TransferResult::Completed);
        EXPECT_TRUE(pc.data == held);
        EXPECT_TRUE(r.completed) << r.error;
        EXPECT_EQ(r.played, SimRole::Send);
    }
    {
        SimThread sim(Device(held));
        ASSERT_TRUE(sim.Ok()) << sim.OpenError();
        PcOutcome pc;
        {
            auto port = Port();
            pc = PcSend(*port, sim.PortName(), sent);
        }
        SimResult r = sim.Join();
        EXPECT_EQ(pc.result, TransferResult::Completed);
        EXPECT_TRUE(r.completed) << r.error;
        EXPECT_EQ(r.played, SimRole::Receive);
        EXPECT_TRUE(r.received == sent);
    }
}

INSTANTIATE_TEST_SUITE_P(SimLines, SimAutoStreamTest,
                         testing::Values(std::make_tuple(SimMethod::Cable, false),
                                         std::make_tuple(SimMethod::Infrared, false),
                                         std::make_tuple(SimMethod::Infrared, true)),
                         [](const testing::TestParamInfo<std::tuple<SimMethod, bool>>& info) {
                             return std::string(std::get<0>(info.param) == SimMethod::Cable
                                                    ? "Cable"
                                                    : "Ir") +
                                    (std::get<1>(info.param) ? "Echo" : "");
                         });

// ---- retries and failures on infrared ---------------------------------------------------

TEST(SimIrFaults, BadChecksumFromDeviceIsRefusedAndSentAgain) {
    std::string data = AnyBytes(1500, 3);
    SimConfig cfg = DeviceConfig(SimMethod::Infrared, SimRole::Send);
    cfg.sendData = data;
    cfg.faults.badChecksumSends = {1, 3}; // the second packet, and again the third's first try
    SimThread sim(cfg);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Infrared, false, PcTiming());
        pc = PcReceive(*port, sim.PortName());
    }
    SimResult r = sim.Join();
    EXPECT_EQ(pc.result, TransferResult::Completed);
    EXPECT_TRUE(pc.data == data);
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.stats.naksReceived, 2);
    EXPECT_EQ(r.stats.packetsSent, 5);
}

TEST(SimIrFaults, PcRepeatsPacketTheDeviceRefused) {
    std::string data = AnyBytes(1500, 4);
    SimConfig cfg = DeviceConfig(SimMethod::Infrared, SimRole::Receive);
    cfg.faults.rejectReceives = {0, 2};
    SimThread sim(cfg);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Infrared, false, PcTiming());
        pc = PcSend(*port, sim.PortName(), data);
    }
    SimResult r = sim.Join();
    EXPECT_EQ(pc.result, TransferResult::Completed);
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_TRUE(r.received == data);
    EXPECT_EQ(r.stats.naksSent, 2);
}

TEST(SimIrFaults, ThreeBadPacketsMakeThePcCancel) {
    SimConfig cfg = DeviceConfig(SimMethod::Infrared, SimRole::Send);
    cfg.sendData = AnyBytes(1200, 5);
    cfg.faults.badChecksumSends = {1, 2, 3};
    SimThread sim(cfg);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Infrared, false, PcTiming());
        pc = PcReceive(*port, sim.PortName());
    }
    SimResult r = sim.Join();
    EXPECT_EQ(pc.result, TransferResult::Failed);
    EXPECT_EQ(pc.data.size(), 512u); // the first packet only
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.stats.naksReceived, 3);
    EXPECT_EQ(r.stats.cansReceived, 1);
}

TEST(SimIrFaults, ThreeRefusalsMakeThePcSendFail) {
    SimConfig cfg = DeviceConfig(SimMethod::Infrared, SimRole::Receive);
    cfg.faults.rejectReceives = {1, 2, 3};
    cfg.timing.replyWait = 300ms;
    SimThread sim(cfg);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Infrared, false, PcTiming());
        pc = PcSend(*port, sim.PortName(), AnyBytes(1200, 6));
    }
    SimResult r = sim.Join();
    EXPECT_EQ(pc.result, TransferResult::Failed);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.received.size(), 512u);
    EXPECT_EQ(r.stats.naksSent, 3);
}

// Noise on the number field of the last full packet makes it look like a repeat of the one
// before. Taking it for a repeat would drop 512 bytes and still end with the short packet.
// Disabled until the port compares a repeat with the packet it took before.
TEST(SimIrFaults, PacketWithThePreviousNumberButNewDataIsNotDropped) {
    std::string data = AnyBytes(3 * 512 + 64, 12);
    SimConfig cfg = DeviceConfig(SimMethod::Infrared, SimRole::Send);
    cfg.sendData = data;
    cfg.faults.renumberSends = {{2, 2}}; // packet 3 goes out numbered 2
    SimThread sim(cfg);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Infrared, false, PcTiming());
        pc = PcReceive(*port, sim.PortName());
    }
    SimResult r = sim.Join();
    if (pc.result == TransferResult::Completed) {
        EXPECT_EQ(pc.data.size(), data.size());
        EXPECT_TRUE(pc.data == data) << "a packet was dropped and the receive still succeeded";
    }
}

// ---- a silent device --------------------------------------------------------------------

TEST(SimSilentDevice, ReceiveFailsAfterTheTimeOuts) {
    for (SimMethod m : {SimMethod::Cable, SimMethod::Infrared}) {
        SCOPED_TRACE(m == SimMethod::Cable ? "cable" : "infrared");
        SimConfig cfg = DeviceConfig(m, SimRole::Send, 0.01);
        cfg.faults.mute = true;
        LinkTiming timing = PcTiming(0.01);
        // A fast line keeps the part of each read time-out that follows the line speed small.
        const int bps = 460800;
        SimThread sim(cfg);
        auto start = std::chrono::steady_clock::now();
        PcOutcome pc;
        {
            auto port = MakePort(m, false, timing);
            pc = PcReceive(*port, sim.PortName(), bps);
        }
        auto took = std::chrono::steady_clock::now() - start;
        sim.Join();
        EXPECT_EQ(pc.result, TransferResult::Failed);
        EXPECT_TRUE(pc.data.empty());
        // Cable: 73 empty reads of the total time-out; infrared: three waits for ENQ.
        auto least =
            m == SimMethod::Cable
                ? std::chrono::milliseconds(timing.cableEmptyReads * timing.cableReadTotalMs)
                : std::chrono::milliseconds(timing.packetAttempts * timing.irReadTotalMs);
        EXPECT_GE(took, least);
        EXPECT_LE(took, least * 3 + 2s);
    }
}

TEST(SimSilentDevice, InfraredSendFailsWithoutAnswer) {
    SimConfig cfg = DeviceConfig(SimMethod::Infrared, SimRole::Receive, 0.02);
    cfg.faults.mute = true;
    SimThread sim(cfg);
    PcOutcome pc;
    {
        auto port = MakePort(SimMethod::Infrared, false, PcTiming(0.02));
        pc = PcSend(*port, sim.PortName(), "abc");
    }
    SimResult r = sim.Join();
    EXPECT_EQ(pc.result, TransferResult::Failed);
    EXPECT_FALSE(r.completed);
}

// ---- noise on the air: never a wrong success ----------------------------------------------

TEST(SimIrNoise, FlippedBytesGiveIdenticalDataOrFailure) {
    int identical = 0, failed = 0;
    long long flipped = 0;
    for (std::uint32_t seed = 1; seed <= 16; ++seed) {
        for (SimRole role : {SimRole::Send, SimRole::Receive}) {
            SCOPED_TRACE("seed " + std::to_string(seed) +
                         (role == SimRole::Send ? " device sends" : " PC sends"));
            std::string data = AnyBytes(2600, seed);
            SimConfig cfg = DeviceConfig(SimMethod::Infrared, role, 0.05);
            cfg.faults.flip = 0.001;
            cfg.faults.seed = seed * 2 + (role == SimRole::Send ? 0 : 1);
            cfg.sendData = data;
            cfg.timing.linger = 200ms;
            SimThread sim(cfg);
            PcOutcome pc;
            {
                auto port = MakePort(SimMethod::Infrared, false, PcTiming(0.05));
                pc = role == SimRole::Send ? PcReceive(*port, sim.PortName())
                                           : PcSend(*port, sim.PortName(), data);
            }
            SimResult r = sim.Join();
            flipped += r.stats.flipped;
            if (std::getenv("TESSERA_NOISE_DEBUG"))
                std::printf(
                    "seed %u %s: pc %d (%zu bytes) device %d '%s' flips %lld naks s/r %d/%d "
                    "cans s/r %d/%d dup %d\n",
                    seed, role == SimRole::Send ? "dev->pc" : "pc->dev",
                    static_cast<int>(pc.result), pc.data.size(), r.completed, r.error.c_str(),
                    r.stats.flipped, r.stats.naksSent, r.stats.naksReceived, r.stats.cansSent,
                    r.stats.cansReceived, r.stats.duplicates);
            if (role == SimRole::Send) {
                if (pc.result == TransferResult::Completed) {
                    EXPECT_TRUE(pc.data == data) << "wrong data reported as received";
                    ++identical;
                } else {
                    ++failed;
                }
            } else {
                // The device's view counts too: it must never keep a wrong stream.
                if (r.completed) {
                    EXPECT_TRUE(r.received == data) << "device kept wrong data";
                }
                if (pc.result == TransferResult::Completed && r.completed)
                    ++identical;
                else
                    ++failed;
            }
        }
    }
    // The noise must really have done something, and most transfers get through.
    EXPECT_GT(identical, 0);
    EXPECT_GT(flipped, 32);
    std::printf("flipped %lld bytes: %d transfers identical, %d failed\n", flipped, identical,
                failed);
}

} // namespace
} // namespace tessera::sim::test
