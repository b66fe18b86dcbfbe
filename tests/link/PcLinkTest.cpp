// The PC-link conversation against a scripted device, over the cable and over infrared
// packets: frames, send-with-ACK, turnaround, replies, refusals, the five operations.

#include "link/PcLink.h"

#include "IrDevice.h"
#include "LinkTestSupport.h"
#include "link/CableCom.h"
#include "link/OpticalCom.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace tessera;
using namespace tessera::test;
using namespace tessera::pclink;

namespace {

std::string Reply(const std::string& payload) {
    return BuildLinkFrame(1, payload);
}
std::string Refusal(const std::string& payload) {
    return std::string(1, static_cast<char>(CAN)) + BuildLinkFrame(1, payload);
}

// The device's side of the conversation, as bytes in and messages out.
struct Device {
    std::map<std::string, std::string> replies = {
        {"CFV", Reply("DOK")}, {"RFV", Reply("AFV")},  {"CFF", Reply("DOK")}, {"RFF", Reply("AFF")},
        {"CFD", Reply("DOK")}, {"DATA", Reply("AEX")}, {"CLE", Reply("DOK")}};
    std::deque<int> frameAnswers; // default ACK; -1 = silence; kNakThenAck = NAK, stray ACK
    static constexpr int kNakThenAck = -2;
    std::deque<int> eotAnswers; // default ACK
    std::vector<std::string> payloads;
    std::vector<int> blocks;
    std::string fileData;
    int refusals = 0;
    int badFrames = 0;
    enum { Idle, WaitEnq, WaitAck1, WaitAck2 } state = Idle;
    std::string last;

    static int Take(std::deque<int>& q, int dflt) {
        if (q.empty())
            return dflt;
        const int v = q.front();
        q.pop_front();
        return v;
    }

    std::vector<std::string> OnBytes(std::string in) {
        std::vector<std::string> out;
        const auto say = [&](int b) {
            if (b >= 0)
                out.emplace_back(1, static_cast<char>(b));
        };
        if (in.compare(0, 3, Bytes({ENQ, ACK, ACK})) == 0 && in.size() >= 3 &&
            (in.size() == 3 || in[3] == static_cast<char>(SOH))) {
            ++refusals;
            in.erase(0, 3);
            if (in.empty())
                return out;
        }
        if (in.size() >= 7 && in[0] == static_cast<char>(SOH)) {
            const int n =
                static_cast<unsigned char>(in[3]) | (static_cast<unsigned char>(in[4]) << 8);
            const std::string payload = in.substr(5, static_cast<size_t>(n));
            const int sum = static_cast<unsigned char>(in[5 + n]) |
                            (static_cast<unsigned char>(in[6 + n]) << 8);
            if (sum != Checksum16(payload.data(), n) ||
                static_cast<unsigned char>(in[2]) != 0xFF - static_cast<unsigned char>(in[1])) {
                ++badFrames;
                return out;
            }
            payloads.push_back(payload);
            const int block = static_cast<unsigned char>(in[1]);
            blocks.push_back(block);
            if (block != 1) {
                fileData += payload.substr(3);
                last = "DATA";
            } else {
                last = payload.substr(0, 3);
            }
            const int answer = Take(frameAnswers, ACK);
            if (answer == kNakThenAck)
                out.push_back(Bytes({0x15, ACK})); // one burst: the ACK is already there
            else
                say(answer);
            return out;
        }
        if (in.size() != 1)
            return out;
        const int b = static_cast<unsigned char>(in[0]);
        if (b == EOT) {
            const int a = Take(eotAnswers, ACK);
            if (a == kNakThenAck)
                out.push_back(Bytes({0x15, ACK}));
            else
                say(a);
            if (a == ACK)
                state = WaitEnq;
        } else if (b == ENQ && state == WaitEnq) {
            const std::string& r = replies[last];
            out.push_back(r);
            if (!r.empty() && r[0] == static_cast<char>(CAN)) {
                out.push_back(Bytes({EOT, ENQ}));
                state = Idle;
            } else {
                state = WaitAck1;
            }
        } else if (b == ACK && state == WaitAck1) {
            say(EOT);
            state = WaitAck2;
        } else if (b == ACK && state == WaitAck2) {
            say(ENQ);
            state = Idle;
        }
        return out;
    }
};

enum class Carrier { Cable, Infrared };

struct Rig {
    std::shared_ptr<FakePeer> peer = std::make_shared<FakePeer>();
    std::shared_ptr<IrDevice> ir = std::make_shared<IrDevice>();
    std::shared_ptr<Device> device = std::make_shared<Device>();
    std::unique_ptr<CZaurusCom> port;
    std::unique_ptr<CPcLink> link;
    std::vector<std::string> pcMessages; // what the PC wrote, one entry per exact write

    explicit Rig(Carrier carrier) {
        PortOptions o = FakeOptions(peer);
        o.timing.finalPacketPauseMs = 1;
        if (carrier == Carrier::Cable) {
            peer->onWrite = [d = device, this](FakePeer& p, const std::string& bytes) {
                pcMessages.push_back(bytes);
                for (const auto& m : d->OnBytes(bytes))
                    p.Send(m);
            };
            port = std::make_unique<CCableCom>(std::move(o));
        } else {
            IrDevice::Attach(peer, ir);
            ir->onData = [d = device, this](IrDevice& dev, const std::string& data) {
                pcMessages.push_back(data);
                for (const auto& m : d->OnBytes(data))
                    dev.outgoing.push_back(DataPacketBytes(m, 0xFFFF));
            };
            port = std::make_unique<COpticalCom>(std::move(o));
        }
        EXPECT_TRUE(port->Open(QStringLiteral("x"), 9600));
        link = std::make_unique<CPcLink>(*port, port->Timing());
    }
};

std::string WriteFile(const QTemporaryDir& dir, const char* name, const std::string& data) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data.data(), static_cast<qint64>(data.size()));
    return path.toStdString();
}

class PcLinkBoth : public ::testing::TestWithParam<Carrier> {};

} // namespace

TEST(PcLinkFrame, Layout) {
    EXPECT_EQ(BuildLinkFrame(1, "CFV"),
              Bytes({0x01, 0x01, 0xFE, 0x03, 0x00, 'C', 'F', 'V', 0xDF, 0x00}));
    const std::string f = BuildLinkFrame(255, "RFD" + std::string(253, '\xFF'));
    EXPECT_EQ(f.size(), 263u);
    EXPECT_EQ(Bytes({0x01, 0xFF, 0x00, 0x00, 0x01}), f.substr(0, 5));
    const int sum = 'R' + 'F' + 'D' + 253 * 255;
    EXPECT_EQ(static_cast<unsigned char>(f[261]), sum & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(f[262]), (sum >> 8) & 0xFF);
}

TEST(PcLinkCable, TransactionWritesFrameTurnaroundAndTakesTheTurnBack) {
    Rig rig(Carrier::Cable);
    ASSERT_TRUE(rig.link->Transaction(BuildLinkFrame(1, "CFV"), "DOK", 10));
    const std::vector<std::string> expected = {BuildLinkFrame(1, "CFV"), Bytes({EOT}), Bytes({ENQ}),
                                               Bytes({ACK}), Bytes({ACK})};
    EXPECT_EQ(rig.pcMessages, expected);
    EXPECT_EQ(rig.peer->Pending(), 0u);
}

TEST_P(PcLinkBoth, CheckAddInSupportSendsCfvThenRfv) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.link->CheckAddInSupport());
    ASSERT_EQ(rig.device->payloads.size(), 2u);
    EXPECT_EQ(rig.device->payloads[0], "CFV");
    std::string rfv("RFV\x0A\x00\x00S1:NIFADR.BOX\x00", 20);
    EXPECT_EQ(rig.device->payloads[1], rfv);
}

TEST_P(PcLinkBoth, NegativeReplyIsRefusedAndTheLinkGoesOn) {
    Rig rig(GetParam());
    rig.device->replies["RFF"] = Refusal("NAF");
    EXPECT_FALSE(rig.link->FileExists("S7:NIFADR.BOX"));
    EXPECT_EQ(rig.device->payloads.back(), std::string("RFFS7:NIFADR.BOX\0", 17));
    // The refusal answer is exactly 05 06 06 (over infrared it rides with the next frame).
    ASSERT_TRUE(rig.link->EndPcLink());
    EXPECT_EQ(rig.device->refusals, 1);
    if (GetParam() == Carrier::Cable) {
        EXPECT_NE(std::find(rig.pcMessages.begin(), rig.pcMessages.end(), Bytes({5, 6, 6})),
                  rig.pcMessages.end());
    } else {
        EXPECT_EQ(rig.ir->received.at(rig.ir->received.size() - 5).data,
                  Bytes({5, 6, 6}) + BuildLinkFrame(1, "CLE"));
    }
}

TEST_P(PcLinkBoth, BadRepliesFailWithoutAcknowledgement) {
    struct Case {
        const char* name;
        std::string reply;
    };
    std::string badSum = Reply("AFF");
    badSum[8] ^= 0x01;
    std::string huge = Reply("AFF");
    huge[3] = static_cast<char>(0x4C); // announces 1100 payload bytes
    huge[4] = static_cast<char>(0x04);
    const Case cases[] = {{"wrong checksum", badSum},
                          {"unexpected code", Reply("DOK")},
                          {"frame larger than the buffer", huge},
                          {"not a frame", Bytes({0x33, 0x44})}};
    for (const Case& c : cases) {
        Rig rig(GetParam());
        rig.device->replies["RFF"] = c.reply;
        EXPECT_FALSE(rig.link->FileExists("S1:GAME.EXE")) << c.name;
        // After the ENQ that asked for the reply the PC writes nothing more.
        ASSERT_FALSE(rig.pcMessages.empty()) << c.name;
        EXPECT_EQ(rig.pcMessages.back(), Bytes({ENQ})) << c.name;
    }
}

TEST_P(PcLinkBoth, TooLongNamesAreRefusedBeforeAnythingIsSent) {
    Rig rig(GetParam());
    EXPECT_FALSE(rig.link->FileExists("S1:" + std::string(26, 'A'))); // 29 bytes
    EXPECT_FALSE(rig.link->AnnounceFile(std::string(26, 'B')));
    EXPECT_FALSE(rig.link->AnnounceFile(std::string("AB\0CD", 5)));
    EXPECT_FALSE(rig.link->AnnounceFile(""));
    EXPECT_TRUE(rig.pcMessages.empty());
    EXPECT_TRUE(rig.peer->written.empty());

    EXPECT_TRUE(rig.link->FileExists("S1:" + std::string(25, 'A'))); // 28 bytes fit
    ASSERT_TRUE(rig.link->AnnounceFile(std::string(25, 'B')));
    EXPECT_EQ(rig.device->payloads.back(), "RFDS1:" + std::string(25, 'B') + '\0');
    EXPECT_EQ(rig.device->payloads.back().size(), 32u); // fills the command text exactly
}

TEST_P(PcLinkBoth, FileDataGoesInNumberedFramesThatWrap) {
    QTemporaryDir dir;
    struct Case {
        size_t size;
        size_t frames;
    };
    const Case cases[] = {{0, 0}, {600, 3}, {253 * 254 + 10, 255}};
    for (const Case& c : cases) {
        Rig rig(GetParam());
        rig.device->last = "DATA"; // the file was announced before
        const std::string data = Pattern(c.size, 7);
        const std::string path = WriteFile(dir, "addin.bin", data);
        std::vector<std::int64_t> progress;
        ASSERT_TRUE(rig.link->SendFileData(QString::fromStdString(path), [&](std::int64_t n) {
            progress.push_back(n);
            return true;
        })) << c.size;
        EXPECT_EQ(rig.device->fileData, data);
        ASSERT_EQ(rig.device->blocks.size(), c.frames);
        for (size_t i = 0; i < c.frames; ++i)
            ASSERT_EQ(rig.device->blocks[i], static_cast<int>((i + 2) % 256)) << i;
        EXPECT_EQ(progress.size(), c.frames);
        EXPECT_EQ(rig.link->RunningTotal(), static_cast<std::int64_t>(c.size));
        // After the data the turn goes to the device, whose AEX completes the file.
        if (GetParam() == Carrier::Cable) {
            EXPECT_EQ(rig.pcMessages.at(rig.pcMessages.size() - 4), Bytes({EOT}));
        }
    }
}

// A file whose length is not the one checked is never completed on the device: no byte
// beyond the checked size goes out, and the turn is not handed over.
TEST(PcLinkCable, FileOfAnotherSizeThanExpectedFails) {
    QTemporaryDir dir;
    const QString path = QString::fromStdString(WriteFile(dir, "a", Pattern(600)));
    const struct {
        std::int64_t expected;
        bool ok;
        size_t sentAtMost;
    } cases[] = {{600, true, 600}, {-1, true, 600}, {500, false, 500}, {700, false, 600}};
    for (const auto& c : cases) {
        Rig rig(Carrier::Cable);
        rig.device->last = "DATA";
        EXPECT_EQ(rig.link->SendFileData(path, {}, c.expected), c.ok) << c.expected;
        EXPECT_LE(rig.device->fileData.size(), c.sentAtMost) << c.expected;
        EXPECT_EQ(std::count(rig.pcMessages.begin(), rig.pcMessages.end(), Bytes({EOT})),
                  c.ok ? 1 : 0)
            << c.expected;
    }
}

TEST(PcLinkCable, RunningTotalSpansFilesAndCancelStopsAfterTheBlock) {
    QTemporaryDir dir;
    Rig rig(Carrier::Cable);
    const std::string a = WriteFile(dir, "a", Pattern(300));
    const std::string b = WriteFile(dir, "b", Pattern(1000, 3));
    ASSERT_TRUE(rig.link->SendFileData(QString::fromStdString(a)));
    int calls = 0;
    std::int64_t lastSeen = 0;
    EXPECT_FALSE(rig.link->SendFileData(QString::fromStdString(b), [&](std::int64_t n) {
        lastSeen = n;
        return ++calls < 2;
    }));
    EXPECT_EQ(lastSeen, 300 + 253 * 2);
    EXPECT_EQ(rig.device->fileData.size(), 300u + 253 * 2);
    EXPECT_FALSE(rig.link->SendFileData(dir.filePath(QStringLiteral("missing"))));
}

TEST(PcLinkCable, RetriesAreCounted) {
    {
        Rig rig(Carrier::Cable);
        rig.device->frameAnswers = {0x15, -1, ACK};
        EXPECT_TRUE(rig.link->SendWithAck(BuildLinkFrame(1, "CFV"), 10));
        EXPECT_EQ(rig.pcMessages.size(), 3u);
    }
    {
        Rig rig(Carrier::Cable);
        rig.device->frameAnswers = std::deque<int>(10, 0x15);
        EXPECT_FALSE(rig.link->SendWithAck(BuildLinkFrame(1, "CFV"), 10));
        EXPECT_EQ(rig.pcMessages.size(), 10u);
    }
    {
        // The file announcement's transaction gets three attempts, not ten.
        Rig rig(Carrier::Cable);
        rig.device->frameAnswers = std::deque<int>(10, -1);
        EXPECT_FALSE(rig.link->AnnounceFile("GAME.EXE"));
        EXPECT_EQ(rig.pcMessages.size(), 3u);
    }
    {
        Rig rig(Carrier::Cable);
        rig.device->eotAnswers = std::deque<int>(10, -1);
        EXPECT_FALSE(rig.link->EndPcLink());
        EXPECT_EQ(std::count(rig.pcMessages.begin(), rig.pcMessages.end(), Bytes({EOT})), 10);
    }
}

// A damaged frame is answered NAK with a stray ACK right behind it, and the frame sent again
// is lost: that ACK must not pass for its acknowledgement. Neither may an ACK that came in
// before a frame was written, nor one left over when the turn is handed over.
TEST_P(PcLinkBoth, StaleAcksAcknowledgeNothing) {
    {
        Rig rig(GetParam());
        rig.device->frameAnswers = {Device::kNakThenAck, -1, ACK};
        EXPECT_TRUE(rig.link->SendWithAck(BuildLinkFrame(1, "CFV"), 10));
        EXPECT_EQ(rig.pcMessages.size(), 3u);
    }
    {
        Rig rig(GetParam());
        rig.device->frameAnswers = {Device::kNakThenAck, -1, -1};
        EXPECT_FALSE(rig.link->SendWithAck(BuildLinkFrame(1, "CFV"), 3));
    }
    if (GetParam() == Carrier::Cable) {
        Rig rig(GetParam());
        rig.device->frameAnswers = {-1};
        rig.peer->Send(Bytes({ACK}));
        EXPECT_FALSE(rig.link->SendWithAck(BuildLinkFrame(1, "CFV"), 1));
    }
    {
        Rig rig(GetParam());
        rig.device->eotAnswers = {Device::kNakThenAck, -1, ACK};
        rig.device->last = "CFV";
        EXPECT_TRUE(rig.link->Turnaround());
        EXPECT_EQ(std::count(rig.pcMessages.begin(), rig.pcMessages.end(), Bytes({EOT})), 3);
    }
}

TEST_P(PcLinkBoth, AnnouncementNeedsOnlyTheAcknowledgement) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.link->AnnounceFile("GAME.EXE"));
    EXPECT_EQ(rig.device->payloads,
              (std::vector<std::string>{"CFD", std::string("RFDS1:GAME.EXE\0", 15)}));
    EXPECT_EQ(rig.pcMessages.back(), BuildLinkFrame(1, std::string("RFDS1:GAME.EXE\0", 15)));
}

INSTANTIATE_TEST_SUITE_P(Carriers, PcLinkBoth, ::testing::Values(Carrier::Cable, Carrier::Infrared),
                         [](const auto& info) {
                             return info.param == Carrier::Cable ? std::string("Cable")
                                                                 : std::string("Infrared");
                         });
