// The simulated device on its own, driven byte by byte from a raw terminal: it must answer the
// way the PC relies on, and behave like a patient device when the PC does something wrong.

#include "sim/SimDevice.h"

#include "tests/sim/RawPc.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace tessera::sim {
namespace {

using test::RawPc;
using namespace std::chrono_literals;

constexpr char kEnq = 0x05, kAck = 0x06, kNak = 0x15, kSyn = 0x16, kCan = 0x18;
constexpr char kSoh = 0x01, kEot = 0x04;

SimConfig Fast(SimMethod method, SimRole role) {
    SimConfig c;
    c.method = method;
    c.role = role;
    c.timing = SimTiming{}.Scaled(0.05);
    return c;
}

std::string Cmd(char code) {
    return std::string("\0\0\0\0\0\x96\x82", 7) + code;
}

std::string Packet(std::uint16_t number, const std::string& data, int sumDelta = 0) {
    std::string p("\0\0\0\0\0\x96\x81\x10", 8);
    p += static_cast<char>(number & 0xFF);
    p += static_cast<char>(number >> 8);
    p += "\x01\x40\xFE";
    p += static_cast<char>(data.size() & 0xFF);
    p += static_cast<char>(data.size() >> 8);
    p += data;
    unsigned sum = sumDelta;
    for (char c : data)
        sum += static_cast<unsigned char>(c);
    p += static_cast<char>(sum & 0xFF);
    p += static_cast<char>((sum >> 8) & 0xFF);
    return p;
}

std::string Frame(int block, const std::string& payload, int sumDelta = 0) {
    std::string f;
    f += kSoh;
    f += static_cast<char>(block);
    f += static_cast<char>(0xFF - block);
    f += static_cast<char>(payload.size() & 0xFF);
    f += static_cast<char>(payload.size() >> 8);
    f += payload;
    unsigned sum = sumDelta;
    for (char c : payload)
        sum += static_cast<unsigned char>(c);
    f += static_cast<char>(sum & 0xFF);
    f += static_cast<char>((sum >> 8) & 0xFF);
    return f;
}

std::string Text(size_t n, unsigned seed) {
    std::mt19937 r(seed);
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<char>(0x20 + r() % 0x5F);
    return s;
}

// ---- cable record stream ------------------------------------------------------------------

TEST(SimCable, ReceiveEndsOnLoneEndMarkAndKeepsEveryByte) {
    SimThread sim(Fast(SimMethod::Cable, SimRole::Receive));
    ASSERT_TRUE(sim.Ok()) << sim.OpenError();
    RawPc pc(sim.PortName());
    ASSERT_TRUE(pc.Ok());
    std::this_thread::sleep_for(20ms);
    // An end mark followed at once by more bytes is data; the lone one after a pause ends it.
    std::string body = Text(3000, 1) + "\x1a" + "tail\r\n";
    pc.Write(body);
    std::this_thread::sleep_for(50ms);
    pc.Write("\x1a");
    std::this_thread::sleep_for(100ms);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.received, body + "\x1a");
}

TEST(SimCable, ReceiveWithoutEndMarkOrWithoutAnyByteFails) {
    {
        SimConfig c = Fast(SimMethod::Cable, SimRole::Receive);
        c.timing.linger = 10ms;
        SimThread sim(c);
        RawPc pc(sim.PortName());
        std::this_thread::sleep_for(20ms);
        pc.Write("\"i\",\"NAME\"\r\n");
        SimResult r = sim.Join(); // the stream stops short: the device gives up by itself
        EXPECT_FALSE(r.completed);
        EXPECT_NE(r.error.find("end mark"), std::string::npos) << r.error;
    }
    {
        SimConfig c = Fast(SimMethod::Cable, SimRole::Receive);
        c.timing.firstWait = 200ms;
        c.timing.linger = 10ms;
        SimThread sim(c);
        RawPc pc(sim.PortName());
        SimResult r = sim.Join();
        EXPECT_FALSE(r.completed);
        EXPECT_TRUE(r.received.empty());
    }
}

TEST(SimCable, SendWaitsForTheUserThenSendsTheWholeStream) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::Send);
    c.sendData = Text(5000, 2) + "\r\n\x1a";
    c.timing.startDelay = 150ms;
    SimThread sim(c);
    RawPc pc(sim.PortName());
    auto opened = std::chrono::steady_clock::now();
    std::string got = pc.Read(1, 2000);
    auto first = std::chrono::steady_clock::now() - opened;
    got += pc.ReadUntilQuiet(200);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(got, c.sendData);
    EXPECT_GE(first, 140ms);
}

TEST(SimCable, PacingTakesTheLineTimeOfEveryByte) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::Send);
    c.sendData = Text(5760, 3); // 0.5 s at 115 200 bps, 10 bits a byte
    c.pace = true;
    c.timing.startDelay = 1ms;
    SimThread sim(c);
    RawPc pc(sim.PortName(), B115200);
    std::string got = pc.Read(1, 2000);
    auto start = std::chrono::steady_clock::now();
    got += pc.Read(c.sendData.size() - 1, 3000);
    auto took = std::chrono::steady_clock::now() - start;
    pc.Close();
    sim.Join();
    EXPECT_EQ(got, c.sendData);
    EXPECT_GE(took, 450ms);
    EXPECT_LE(took, 800ms);
}

TEST(SimCable, LineAtAnotherSpeedIsReportedAsFailure) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::Receive);
    c.bps = 19200;
    SimThread sim(c);
    RawPc pc(sim.PortName(), B9600);
    std::this_thread::sleep_for(20ms);
    pc.Write("abc");
    std::this_thread::sleep_for(30ms);
    pc.Write("\x1a");
    std::this_thread::sleep_for(60ms);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.lineBps, 9600);
    EXPECT_NE(r.error.find("9600"), std::string::npos) << r.error;
}

// ---- infrared packets, device receiving ---------------------------------------------------

// Reads one 8-byte command packet; returns its code or -1.
int ReadCommand(RawPc& pc, int ms = 1000) {
    std::string p = pc.Read(8, ms);
    if (p.size() != 8 || p.compare(0, 7, std::string("\0\0\0\0\0\x96\x82", 7)) != 0)
        return -1;
    return static_cast<unsigned char>(p[7]);
}

// One PC send attempt: ENQ, SYN, packet; returns the device's answer code (-1 for none).
int Offer(RawPc& pc, const std::string& packet, int answerMs = 500) {
    pc.Write(Cmd(kEnq));
    if (ReadCommand(pc) != kSyn)
        return -2;
    pc.Write(packet);
    return ReadCommand(pc, answerMs);
}

TEST(SimInfrared, ReceiveChecksNumbersAndChecksumsLikeAPatientDevice) {
    SimThread sim(Fast(SimMethod::Infrared, SimRole::Receive));
    RawPc pc(sim.PortName());
    std::string a = Text(512, 4), b = Text(512, 5), tail = Text(100, 6);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(Offer(pc, Packet(1, a, 1)), kNak); // bad checksum
    EXPECT_EQ(Offer(pc, Packet(1, a)), kAck);
    EXPECT_EQ(Offer(pc, Packet(1, a)), kAck);     // repeat after a lost ACK: kept once
    EXPECT_EQ(Offer(pc, Packet(3, b)), kNak);     // out of sequence
    EXPECT_EQ(Offer(pc, Packet(2, "", 0)), kNak); // empty but not the final number
    std::string big = Packet(2, b);
    big[13] = 0x01;
    big[14] = 0x02; // announces 513 bytes
    EXPECT_EQ(Offer(pc, big), kNak);
    EXPECT_EQ(Offer(pc, Packet(2, b)), kAck);
    EXPECT_EQ(Offer(pc, Packet(0xFFFF, tail)), kAck);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.received, a + b + tail);
    EXPECT_EQ(r.stats.duplicates, 1);
    EXPECT_EQ(r.stats.naksSent, 4);
    EXPECT_EQ(r.stats.sequenceNumbers, (std::vector<std::uint16_t>{1, 2, 0xFFFF}));
}

TEST(SimInfrared, EmptyFinalPacketIsAnsweredWithNothing) {
    SimThread sim(Fast(SimMethod::Infrared, SimRole::Receive));
    RawPc pc(sim.PortName());
    std::string a = Text(512, 7);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(Offer(pc, Packet(1, a)), kAck);
    EXPECT_EQ(Offer(pc, Packet(0xFFFF, ""), 200), -1);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.received, a);
}

TEST(SimInfrared, EchoingAdapterReturnsEveryByteBeforeTheAnswer) {
    SimConfig c = Fast(SimMethod::Infrared, SimRole::Receive);
    c.echo = true;
    SimThread sim(c);
    RawPc pc(sim.PortName());
    std::this_thread::sleep_for(20ms);
    pc.Write(Cmd(kEnq));
    EXPECT_EQ(pc.Read(8, 1000), Cmd(kEnq));
    EXPECT_EQ(ReadCommand(pc), kSyn);
    std::string packet = Packet(0xFFFF, "x");
    pc.Write(packet);
    EXPECT_EQ(pc.Read(packet.size(), 1000), packet);
    EXPECT_EQ(ReadCommand(pc), kAck);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.received, "x");
}

// ---- infrared packets, device sending -----------------------------------------------------

// Takes one packet offered by the device: waits for ENQ, answers SYN, reads the packet.
bool Take(RawPc& pc, std::uint16_t& number, std::string& data, bool& sumOk) {
    if (ReadCommand(pc, 2000) != kEnq)
        return false;
    pc.Write(Cmd(kSyn));
    std::string head = pc.Read(15, 1000);
    if (head.size() != 15 || static_cast<unsigned char>(head[6]) != 0x81)
        return false;
    number = static_cast<std::uint16_t>(static_cast<unsigned char>(head[8]) |
                                        static_cast<unsigned char>(head[9]) << 8);
    size_t len = static_cast<unsigned char>(head[13]) | static_cast<unsigned char>(head[14]) << 8;
    std::string rest = pc.Read(len + 2, 1000);
    if (rest.size() != len + 2)
        return false;
    data = rest.substr(0, len);
    unsigned sum = 0;
    for (char c : data)
        sum += static_cast<unsigned char>(c);
    sumOk =
        (sum & 0xFFFF) == (static_cast<unsigned char>(rest[len]) |
                           static_cast<unsigned>(static_cast<unsigned char>(rest[len + 1])) << 8);
    return true;
}

TEST(SimInfrared, SendNumbersFullPacketsAndRepeatsAfterNak) {
    SimConfig c = Fast(SimMethod::Infrared, SimRole::Send);
    c.sendData = Text(1300, 8);
    c.faults.badChecksumSends = {2}; // the third transmission goes out spoilt
    SimThread sim(c);
    RawPc pc(sim.PortName());
    std::vector<std::uint16_t> numbers;
    std::string got;
    std::uint16_t n = 0;
    std::string data;
    bool sumOk = false;
    ASSERT_TRUE(Take(pc, n, data, sumOk));
    EXPECT_TRUE(sumOk);
    numbers.push_back(n);
    got += data;
    pc.Write(Cmd(kAck));
    ASSERT_TRUE(Take(pc, n, data, sumOk));
    pc.Write(Cmd(kNak)); // refuse a good one: it must come again, same number, same bytes
    std::string first = data;
    std::uint16_t firstNumber = n;
    ASSERT_TRUE(Take(pc, n, data, sumOk));
    EXPECT_FALSE(sumOk); // the spoilt transmission
    pc.Write(Cmd(kNak));
    ASSERT_TRUE(Take(pc, n, data, sumOk));
    EXPECT_TRUE(sumOk);
    EXPECT_EQ(n, firstNumber);
    EXPECT_EQ(data, first);
    numbers.push_back(n);
    got += data;
    pc.Write(Cmd(kAck));
    ASSERT_TRUE(Take(pc, n, data, sumOk));
    numbers.push_back(n);
    got += data;
    pc.Write(Cmd(kAck));
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(numbers, (std::vector<std::uint16_t>{1, 2, 0xFFFF}));
    EXPECT_EQ(got, c.sendData);
    EXPECT_EQ(r.stats.packetsSent, 5);
    EXPECT_EQ(r.stats.naksReceived, 2);
}

TEST(SimInfrared, PacingCountsElevenBitsAByte) {
    SimConfig c = Fast(SimMethod::Infrared, SimRole::Send);
    c.sendData = Text(512, 10);
    c.pace = true;
    SimThread sim(c);
    RawPc pc(sim.PortName());
    ASSERT_EQ(ReadCommand(pc, 2000), kEnq);
    pc.Write(Cmd(kSyn));
    std::string first = pc.Read(1, 1000);
    auto start = std::chrono::steady_clock::now();
    std::string rest = pc.Read(512 + 16, 3000);
    auto took = std::chrono::steady_clock::now() - start;
    pc.Write(Cmd(kAck));
    std::this_thread::sleep_for(50ms);
    pc.Close();
    sim.Join();
    ASSERT_EQ(first.size() + rest.size(), 529u);
    // 528 bytes at 9600 bps with a parity bit: 605 ms (550 ms at 10 bits a byte).
    EXPECT_GE(took, 585ms);
    EXPECT_LE(took, 900ms);
}

TEST(SimInfrared, SendAsksAgainWhenUnansweredAndStopsOnCan) {
    SimConfig c = Fast(SimMethod::Infrared, SimRole::Send);
    c.sendData = "abc";
    SimThread sim(c);
    RawPc pc(sim.PortName());
    EXPECT_EQ(ReadCommand(pc, 2000), kEnq);
    EXPECT_EQ(ReadCommand(pc, 1000), kEnq); // nobody answered: the device asks again
    pc.Write(Cmd(kCan));
    std::this_thread::sleep_for(20ms);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_FALSE(r.completed);
    EXPECT_NE(r.error.find("cancel"), std::string::npos) << r.error;
}

// ---- PC-link conversation on the cable ----------------------------------------------------

class Conversation {
public:
    explicit Conversation(RawPc& pc) : m_pc(pc) {}

    // Frame with ACK, turnaround, reply; returns the reply payload ("" on failure) and
    // whether it was negative.
    std::string Transact(const std::string& payload, bool& negative) {
        negative = false;
        m_pc.Write(Frame(1, payload));
        if (m_pc.Read(1, 1000) != std::string(1, kAck))
            return {};
        m_pc.Write(std::string(1, kEot));
        if (m_pc.Read(1, 1000) != std::string(1, kAck))
            return {};
        m_pc.Write(std::string(1, kEnq));
        std::string first = m_pc.Read(1, 1000);
        if (first == std::string(1, kCan)) {
            negative = true;
            std::string head = m_pc.Read(5, 1000);
            size_t n = static_cast<unsigned char>(head[3]) | static_cast<unsigned char>(head[4])
                                                                 << 8;
            std::string rest = m_pc.Read(n + 2, 1000);
            if (m_pc.Read(2, 1000) != std::string{kEot, kEnq})
                return {};
            m_pc.Write(std::string{kEnq, kAck, kAck});
            return rest.substr(0, n);
        }
        if (first != std::string(1, kSoh))
            return {};
        std::string head = m_pc.Read(4, 1000);
        size_t n = static_cast<unsigned char>(head[2]) | static_cast<unsigned char>(head[3]) << 8;
        std::string rest = m_pc.Read(n + 2, 1000);
        m_pc.Write(std::string(1, kAck));
        if (m_pc.Read(1, 1000) != std::string(1, kEot))
            return {};
        m_pc.Write(std::string(1, kAck));
        if (m_pc.Read(1, 1000) != std::string(1, kEnq))
            return {};
        return rest.substr(0, n);
    }

    std::string Transact(const std::string& payload) {
        bool negative = false;
        std::string r = Transact(payload, negative);
        return negative ? "negative" : r;
    }

    char SendFrame(const std::string& frame) {
        m_pc.Write(frame);
        std::string a = m_pc.Read(1, 1000);
        return a.empty() ? 0 : a[0];
    }

private:
    RawPc& m_pc;
};

TEST(SimPcLink, AnswersChecksQueriesAndEnd) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::PcLink);
    c.nifadr = true;
    c.has = {"OLD.EXE"};
    SimThread sim(c);
    RawPc pc(sim.PortName());
    Conversation conv(pc);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(conv.Transact("CFV"), "DOK");
    EXPECT_EQ(conv.Transact(std::string("RFV\x0a\0\0S1:NIFADR.BOX\0", 20)), "AFV");
    EXPECT_EQ(conv.Transact("CFF"), "DOK");
    EXPECT_EQ(conv.Transact(std::string("RFFS7:NIFADR.BOX\0", 17)), "AFF");
    EXPECT_EQ(conv.Transact("CFF"), "DOK");
    EXPECT_EQ(conv.Transact(std::string("RFFS1:OLD.EXE\0", 14)), "AFF");
    EXPECT_EQ(conv.Transact("CFF"), "DOK");
    EXPECT_EQ(conv.Transact(std::string("RFFS1:NEW.EXE\0", 14)), "negative");
    EXPECT_EQ(conv.SendFrame(Frame(1, "CLE", 1)), kNak); // bad checksum
    EXPECT_EQ(conv.Transact("CLE"), "DOK");
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.commands, (std::vector<std::string>{"CFV", "RFV", "CFF", "RFF", "CFF", "RFF", "CFF",
                                                    "RFF", "CLE"}));
    EXPECT_EQ(r.stats.negativeReplies, 1);
    EXPECT_EQ(r.stats.framesRejected, 1);
}

TEST(SimPcLink, RefusesSupportCheckWhenAddInsAreOff) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::PcLink);
    c.noAddin = true;
    SimThread sim(c);
    RawPc pc(sim.PortName());
    Conversation conv(pc);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(conv.Transact("CFV"), "negative");
    EXPECT_EQ(conv.Transact("CLE"), "DOK");
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
}

TEST(SimPcLink, StoresFileAcrossBlockNumberWrapAndIgnoresRepeats) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("tessera-sim-store-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    SimConfig c = Fast(SimMethod::Cable, SimRole::PcLink);
    c.storeDir = dir.string();
    SimThread sim(c);
    RawPc pc(sim.PortName());
    Conversation conv(pc);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(conv.Transact("CFD"), "DOK");
    EXPECT_EQ(conv.SendFrame(Frame(1, std::string("RFDS1:../evil\0", 14))), kNak);
    EXPECT_EQ(conv.SendFrame(Frame(1, std::string("RFDS1:BIG.EXE\0", 14))), kAck);
    std::string file = Text(253 * 300 + 17, 9);
    int block = 2;
    for (size_t at = 0; at < file.size(); at += 253) {
        std::string f = Frame(block, "RFD" + file.substr(at, 253));
        ASSERT_EQ(conv.SendFrame(f), kAck) << at;
        if (at == 253 * 10) {
            EXPECT_EQ(conv.SendFrame(f), kAck); // our ACK lost: sent again, kept once
        }
        block = (block + 1) & 0xFF;
    }
    EXPECT_EQ(conv.SendFrame(Frame((block + 5) & 0xFF, "RFDxx")), kNak); // out of order
    pc.Write(std::string(1, kEot));
    EXPECT_EQ(pc.Read(1, 1000), std::string(1, kAck));
    pc.Write(std::string(1, kEnq));
    std::string reply = pc.Read(10, 1000);
    EXPECT_EQ(reply.substr(5, 3), "AEX");
    pc.Write(std::string(1, kAck));
    EXPECT_EQ(pc.Read(1, 1000), std::string(1, kEot));
    pc.Write(std::string(1, kAck));
    EXPECT_EQ(pc.Read(1, 1000), std::string(1, kEnq));
    EXPECT_EQ(conv.Transact("CLE"), "DOK");
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    ASSERT_EQ(r.stored.count("S1:BIG.EXE"), 1u);
    EXPECT_EQ(r.stored["S1:BIG.EXE"], file);
    EXPECT_EQ(r.stats.duplicates, 1);
    ASSERT_GT(r.stats.blockNumbers.size(), 256u);
    EXPECT_EQ(r.stats.blockNumbers[253], 255);
    EXPECT_EQ(r.stats.blockNumbers[254], 0);
    EXPECT_EQ(r.stats.blockNumbers[255], 1);
    std::ifstream in(dir / "S1" / "BIG.EXE", std::ios::binary);
    std::string onDisk((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(onDisk, file);
    EXPECT_FALSE(fs::exists(dir / "evil"));
    fs::remove_all(dir);
}

TEST(SimPcLink, DeviceFileNamesStayInsideTheStore) {
    struct Case {
        const char* name;
        const char* path;
    } cases[] = {
        {"S1:GAME.EXE", "D/S1/GAME.EXE"},
        {"S7:NIFADR.BOX", "D/S7/NIFADR.BOX"},
        {"S1:\x83\x5C.EXE", "D/S1/\x83\x5C.EXE"}, // a code page 932 character ending in 0x5C
        {"S1:a/b", ""},
        {"S1:..", ""},
        {"S1:", ""},
        {"s1:X", ""},
        {"S1X", ""},
        {"S1:a\nb", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DeviceFilePath("D", c.name), c.path) << c.name;
}

// ---- auto: the PC's first bytes choose the device's part --------------------------------

TEST(SimAuto, CableSilenceMeansThePcReceives) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::Auto);
    c.sendData = Text(1500, 20) + "\r\n\x1a";
    c.timing.roleWait = 150ms;
    SimThread sim(c);
    RawPc pc(sim.PortName());
    auto opened = std::chrono::steady_clock::now();
    std::string got = pc.Read(1, 2000);
    auto first = std::chrono::steady_clock::now() - opened;
    got += pc.ReadUntilQuiet(200);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.played, SimRole::Send);
    EXPECT_EQ(got, c.sendData);
    EXPECT_GE(first, 140ms) << "the device gives the PC its time to start a send";
    EXPECT_TRUE(r.received.empty());
}

TEST(SimAuto, CableStreamFromThePcIsTakenWholeAndNothingIsSent) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::Auto);
    c.sendData = "\"i\",\"HELD\"\r\n\x1a";
    SimThread sim(c);
    RawPc pc(sim.PortName());
    std::this_thread::sleep_for(20ms);
    std::string body = "\"i\",\"NAME\"\r\n" + Text(2000, 21) + "\r\n";
    pc.Write(body);
    std::this_thread::sleep_for(50ms);
    pc.Write("\x1a");
    // Well past the wait that would have made the device send: it must stay a receiver.
    std::string heard = pc.Read(1, 300);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.played, SimRole::Receive);
    EXPECT_EQ(r.received, body + "\x1a") << "the byte that chose the part is kept too";
    EXPECT_EQ(heard, "");
}

TEST(SimAuto, CableStreamCutShortIsAFailedReceive) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::Auto);
    c.sendData = "x\x1a";
    c.timing.linger = 10ms;
    SimThread sim(c);
    {
        RawPc pc(sim.PortName());
        std::this_thread::sleep_for(20ms);
        pc.Write("\"i\",\"NAME\"\r\n" + Text(600, 22)); // the PC cancels: no end mark
    }
    SimResult r = sim.Join();
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.played, SimRole::Receive);
    EXPECT_NE(r.error.find("closed"), std::string::npos) << r.error;
}

TEST(SimAuto, CablePcLinkFrameStartsTheConversation) {
    SimConfig c = Fast(SimMethod::Cable, SimRole::Auto);
    c.sendData = "x\x1a";
    c.has = {"OLD.EXE"};
    SimThread sim(c);
    RawPc pc(sim.PortName());
    Conversation conv(pc);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(conv.Transact("CFV"), "DOK");
    EXPECT_EQ(conv.Transact(std::string("RFV\x0a\0\0S1:NIFADR.BOX\0", 20)), "AFV");
    EXPECT_EQ(conv.Transact(std::string("RFFS1:OLD.EXE\0", 14)), "AFF");
    EXPECT_EQ(conv.Transact("CLE"), "DOK");
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.played, SimRole::PcLink);
    EXPECT_EQ(r.commands, (std::vector<std::string>{"CFV", "RFV", "RFF", "CLE"}));
}

TEST(SimAuto, InfraredEnqMakesAReceiverThatKeepsCountingFromTheFirstPacket) {
    SimConfig c = Fast(SimMethod::Infrared, SimRole::Auto);
    c.sendData = "x";
    SimThread sim(c);
    RawPc pc(sim.PortName());
    std::string a = "\"i\"," + Text(508, 23), b = Text(512, 24), tail = Text(40, 25);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(Offer(pc, Packet(1, a, 1)), kNak); // the very first packet spoilt
    EXPECT_EQ(Offer(pc, Packet(1, a)), kAck);
    EXPECT_EQ(Offer(pc, Packet(1, a)), kAck); // our ACK lost: kept once
    EXPECT_EQ(Offer(pc, Packet(3, b)), kNak); // out of sequence after the first
    EXPECT_EQ(Offer(pc, Packet(2, b)), kAck);
    EXPECT_EQ(Offer(pc, Packet(0xFFFF, tail)), kAck);
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_TRUE(r.completed) << r.error;
    EXPECT_EQ(r.played, SimRole::Receive);
    EXPECT_EQ(r.received, a + b + tail);
    EXPECT_EQ(r.stats.duplicates, 1);
    EXPECT_EQ(r.stats.sequenceNumbers, (std::vector<std::uint16_t>{1, 2, 0xFFFF}));
}

TEST(SimAuto, InfraredSilenceMakesASenderAndAPcLinkPacketAConversation) {
    {
        SimConfig c = Fast(SimMethod::Infrared, SimRole::Auto);
        c.sendData = Text(100, 26);
        SimThread sim(c);
        RawPc pc(sim.PortName());
        std::uint16_t n = 0;
        std::string data;
        bool sumOk = false;
        ASSERT_TRUE(Take(pc, n, data, sumOk));
        pc.Write(Cmd(kAck));
        pc.Close();
        SimResult r = sim.Join();
        EXPECT_TRUE(r.completed) << r.error;
        EXPECT_EQ(r.played, SimRole::Send);
        EXPECT_EQ(n, 0xFFFF);
        EXPECT_EQ(data, c.sendData);
    }
    {
        SimConfig c = Fast(SimMethod::Infrared, SimRole::Auto);
        c.sendData = "x";
        SimThread sim(c);
        RawPc pc(sim.PortName());
        std::this_thread::sleep_for(20ms);
        // The PC link's first frame travels in one packet; the device acknowledges the packet,
        // then the frame, in a packet of its own.
        EXPECT_EQ(Offer(pc, Packet(0xFFFF, Frame(1, "CFV"))), kAck);
        ASSERT_EQ(ReadCommand(pc, 2000), kEnq);
        pc.Write(Cmd(kSyn));
        std::string reply = pc.Read(18, 1000);
        ASSERT_EQ(reply.size(), 18u);
        EXPECT_EQ(reply[15], kAck);
        pc.Write(Cmd(kAck));
        pc.Close();
        SimResult r = sim.Join();
        EXPECT_EQ(r.played, SimRole::PcLink);
        EXPECT_EQ(r.commands, (std::vector<std::string>{"CFV"}));
    }
}

TEST(SimDevice, MuteDeviceNeverAnswersAndReportsIt) {
    SimConfig c = Fast(SimMethod::Infrared, SimRole::Receive);
    c.faults.mute = true;
    c.echo = true; // the adapter still echoes
    SimThread sim(c);
    RawPc pc(sim.PortName());
    std::this_thread::sleep_for(20ms);
    pc.Write(Cmd(kEnq));
    EXPECT_EQ(pc.Read(8, 500), Cmd(kEnq));
    EXPECT_EQ(pc.Read(1, 300), "");
    pc.Close();
    SimResult r = sim.Join();
    EXPECT_FALSE(r.completed);
    EXPECT_NE(r.error.find("mute"), std::string::npos);
}

TEST(SimDevice, StopEndsAWaitingDevice) {
    SimThread sim(Fast(SimMethod::Cable, SimRole::Receive));
    auto start = std::chrono::steady_clock::now();
    sim.Stop();
    SimResult r = sim.Join();
    EXPECT_FALSE(r.completed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

} // namespace
} // namespace tessera::sim
