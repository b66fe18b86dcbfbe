#include "sim/DeviceConversation.h"

#include <thread>

namespace tessera::sim {

namespace {
constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kEnq = 0x05;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kCan = 0x18;
// The PC keeps 1024 bytes for a whole frame; the device holds itself to the same.
constexpr int kMaxPayload = 1024 - 7;
// What the device answers with when it refuses; the PC looks only at the CAN in front.
const char* const kRefusal = "ERR";

std::string CString(const std::string& payload, size_t from) {
    if (from >= payload.size())
        return {};
    size_t end = payload.find('\0', from);
    return payload.substr(from, end == std::string::npos ? std::string::npos : end - from);
}
} // namespace

std::string LinkFrame(int block, const std::string& payload) {
    std::string f;
    f += static_cast<char>(kSoh);
    f += static_cast<char>(block & 0xFF);
    f += static_cast<char>(0xFF - (block & 0xFF));
    f += static_cast<char>(payload.size() & 0xFF);
    f += static_cast<char>((payload.size() >> 8) & 0xFF);
    f += payload;
    std::uint16_t sum = ir::Checksum(payload);
    f += static_cast<char>(sum & 0xFF);
    f += static_cast<char>(sum >> 8);
    return f;
}

LineStatus CableTransport::ReadByte(std::uint8_t& byte, Clock::time_point deadline) {
    if (!m_taken.empty()) {
        byte = m_taken.front();
        m_taken.pop_front();
        return LineStatus::Ok;
    }
    return m_line.ReadByte(byte, deadline);
}

bool CableTransport::Write(const std::string& bytes) {
    return m_line.Write(bytes) == LineStatus::Ok;
}

void CableTransport::Resync(std::chrono::milliseconds quiet, Clock::time_point deadline) {
    m_taken.clear();
    m_line.DrainUntilQuiet(quiet, deadline);
}

void InfraredTransport::Prime(const std::string& packet) {
    m_lastTaken = packet;
    m_wroteSince = false;
    m_queue.insert(m_queue.end(), packet.begin(), packet.end());
}

LineStatus InfraredTransport::ReadByte(std::uint8_t& byte, Clock::time_point deadline) {
    while (m_queue.empty()) {
        auto now = Clock::now();
        if (now >= deadline)
            return LineStatus::Timeout;
        // A packet equal to the last one, with nothing sent by the device in between, is the
        // PC repeating it because our ACK got lost: acknowledge, keep nothing.
        auto judge = [this](std::uint16_t, const std::string& data) {
            if (data.empty())
                return Verdict::EndSilent;
            if (!m_wroteSince && data == m_lastTaken)
                return Verdict::Repeat;
            return Verdict::Accept;
        };
        std::string data;
        bool ended = false;
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        Outcome out = m_ir.ReceivePacket(judge, wait, data, ended);
        switch (out) {
        case Outcome::Ok:
            break;
        case Outcome::Timeout:
            return LineStatus::Timeout;
        case Outcome::Closed:
            return LineStatus::Closed;
        case Outcome::Stopped:
            return LineStatus::Stopped;
        case Outcome::Cancelled:
        case Outcome::Failed:
            return LineStatus::Error;
        }
        if (ended)
            continue;
        m_lastTaken = data;
        m_wroteSince = false;
        m_queue.insert(m_queue.end(), data.begin(), data.end());
    }
    byte = m_queue.front();
    m_queue.pop_front();
    return LineStatus::Ok;
}

bool InfraredTransport::Write(const std::string& bytes) {
    m_wroteSince = true;
    // Every conversation write is short, so every packet carries the last-packet number.
    return m_ir.SendPacket(bytes, ir::kLastNumber, std::chrono::milliseconds(0)) == Outcome::Ok;
}

DeviceConversation::DeviceConversation(ConvTransport& link, const SimConfig& config,
                                       DeviceStore& store, SimResult& result, SimStats& stats)
    : m_link(link), m_config(config), m_store(store), m_result(result), m_stats(stats) {}

void DeviceConversation::Fail(const std::string& why) {
    if (m_result.error.empty()) {
        m_result.error = why;
        std::string detail = m_link.Error();
        if (!detail.empty())
            m_result.error += " (" + detail + ")";
    }
}

LineStatus DeviceConversation::Read(std::uint8_t& byte, Clock::time_point deadline) {
    if (!m_pushback.empty()) {
        byte = m_pushback.front();
        m_pushback.pop_front();
        return LineStatus::Ok;
    }
    return m_link.ReadByte(byte, deadline);
}

bool DeviceConversation::Send(const std::string& bytes) {
    if (m_config.timing.turnPause.count() > 0)
        std::this_thread::sleep_for(m_config.timing.turnPause);
    return m_link.Write(bytes);
}

bool DeviceConversation::ReadFrame(int& block, std::string& payload) {
    const auto& t = m_config.timing;
    std::uint8_t head[4];
    for (auto& h : head)
        if (Read(h, Clock::now() + t.byteGap) != LineStatus::Ok)
            return false;
    block = head[0];
    int length = head[2] | (head[3] << 8);
    if (head[1] != static_cast<std::uint8_t>(0xFF - head[0]) || length > kMaxPayload)
        return false;
    std::string body;
    for (int i = 0; i < length + 2; ++i) {
        std::uint8_t b;
        if (Read(b, Clock::now() + t.byteGap) != LineStatus::Ok)
            return false;
        body += static_cast<char>(b);
    }
    auto sum = static_cast<std::uint16_t>(static_cast<std::uint8_t>(body[length]) |
                                          (static_cast<std::uint8_t>(body[length + 1]) << 8));
    body.resize(static_cast<size_t>(length));
    if (ir::Checksum(body) != sum)
        return false;
    payload = std::move(body);
    return true;
}

bool DeviceConversation::TakeFrame(int block, const std::string& payload) {
    std::string code = payload.substr(0, 3);
    if (m_inFile) {
        if (code == "RFD") {
            if (block == m_expectedBlock) {
                m_fileData += payload.substr(3);
                m_lastBlock = block;
                m_lastPayload = payload;
                m_expectedBlock = (block + 1) & 0xFF;
                m_stats.blockNumbers.push_back(block);
                return true;
            }
            if (block == m_lastBlock && payload == m_lastPayload) {
                ++m_stats.duplicates; // our ACK was lost; the PC sent it again
                return true;
            }
            return false;
        }
        // Any other command means the PC left this file unfinished: it is not kept.
        m_inFile = false;
    }
    m_result.commands.push_back(code);
    if (code == "RFD") {
        std::string name = CString(payload, 3);
        if (DeviceFilePath(m_config.storeDir, name).empty())
            return false;
        m_inFile = true;
        m_fileName = name;
        m_fileData.clear();
        m_expectedBlock = 2;
        m_lastBlock = -1;
        m_lastPayload.clear();
        m_pending.clear();
        return true;
    }
    m_pending = code;
    m_pendingArg = CString(payload, 3);
    return true;
}

bool DeviceConversation::ArrivesDamaged(int block, const std::string& payload) {
    if (!m_inFile || payload.compare(0, 3, "RFD") != 0 || block == 1)
        return false;
    return m_config.faults.staleAckFrames.count(m_dataFramesSeen++) != 0;
}

bool DeviceConversation::AwaitByte(std::uint8_t wanted, int tries) {
    for (int i = 0; i < tries; ++i) {
        std::uint8_t b;
        LineStatus st = Read(b, Clock::now() + m_config.timing.replyWait);
        if (st != LineStatus::Ok)
            return false;
        if (b == wanted)
            return true;
        if (b == kSoh) {
            // The PC went on with a new frame: it did not take our reply.
            Unread(b);
            return false;
        }
    }
    return false;
}

bool DeviceConversation::PositiveReply(const std::string& code) {
    if (!Send(LinkFrame(1, code)))
        return false;
    // The PC takes the turn back: ACK, our EOT, its ACK, our ENQ.
    if (!AwaitByte(kAck, 10))
        return false;
    if (!Send(std::string(1, static_cast<char>(kEot))))
        return false;
    if (!AwaitByte(kAck, 10))
        return false;
    return Send(std::string(1, static_cast<char>(kEnq)));
}

bool DeviceConversation::NegativeReply() {
    ++m_stats.negativeReplies;
    std::string reply(1, static_cast<char>(kCan));
    reply += LinkFrame(1, kRefusal);
    if (!Send(reply))
        return false;
    // EOT and ENQ in one write: the PC reads them together, then answers ENQ ACK ACK.
    m_awaitRefusalAck = true;
    return Send(std::string{static_cast<char>(kEot), static_cast<char>(kEnq)});
}

bool DeviceConversation::Reply(bool& ended) {
    ended = false;
    if (m_inFile) {
        m_inFile = false;
        std::string why;
        if (!m_store.Store(m_fileName, m_fileData, &why)) {
            Fail(why);
            return NegativeReply();
        }
        m_result.stored[m_fileName] = m_fileData;
        return PositiveReply("AEX");
    }
    std::string code = m_pending;
    m_pending.clear();
    if (code == "CFV" || code == "RFV") {
        if (m_config.noAddin)
            return NegativeReply();
        return PositiveReply(code == "CFV" ? "DOK" : "AFV");
    }
    if (code == "CFF" || code == "CFD")
        return PositiveReply("DOK");
    if (code == "RFF")
        return m_store.Exists(m_pendingArg) ? PositiveReply("AFF") : NegativeReply();
    if (code == "CLE") {
        bool ok = PositiveReply("DOK");
        ended = ok;
        return ok;
    }
    return NegativeReply();
}

bool DeviceConversation::Run() {
    const auto& t = m_config.timing;
    auto deadline = Clock::now() + t.firstWait;
    bool started = false;
    for (;;) {
        std::uint8_t b = 0;
        LineStatus st = Read(b, deadline);
        if (st == LineStatus::Timeout) {
            Fail(started ? "the PC went silent in the middle of the conversation"
                         : "the PC never started the PC link");
            return false;
        }
        if (st == LineStatus::Closed) {
            Fail("the PC closed the line before ending the PC link");
            return false;
        }
        if (st == LineStatus::Stopped) {
            Fail("stopped");
            return false;
        }
        if (st != LineStatus::Ok) {
            Fail("the conversation broke down");
            return false;
        }
        // Patient between steps: the PC may pause to read its files.
        deadline = Clock::now() + 2 * t.replyWait;
        switch (b) {
        case kSoh: {
            started = true;
            int block = 0;
            std::string payload;
            if (!ReadFrame(block, payload)) {
                ++m_stats.framesRejected;
                Send(std::string(1, static_cast<char>(kNak)));
                break;
            }
            ++m_stats.framesReceived;
            if (ArrivesDamaged(block, payload)) {
                ++m_stats.framesRejected;
                Send(std::string{static_cast<char>(kNak), static_cast<char>(kAck)});
                m_pushback.clear();
                m_link.Resync(t.quietGap, Clock::now() + t.replyWait);
                break;
            }
            bool take = TakeFrame(block, payload);
            if (!take)
                ++m_stats.framesRejected;
            Send(std::string(1, static_cast<char>(take ? kAck : kNak)));
            break;
        }
        case kEot: {
            started = true;
            // The PC hands over the turn: ACK, then its ENQ, then our answer.
            if (!Send(std::string(1, static_cast<char>(kAck))))
                break;
            if (!AwaitByte(kEnq, 10))
                break;
            bool ended = false;
            if (Reply(ended) && ended)
                return true;
            break;
        }
        case kEnq: {
            if (!m_awaitRefusalAck)
                break;
            // The PC's refusal of our negative reply: ENQ ACK ACK.
            m_awaitRefusalAck = false;
            std::uint8_t a = 0, c = 0;
            if (Read(a, Clock::now() + t.byteGap) != LineStatus::Ok)
                break;
            if (a != kAck) {
                Unread(a);
                break;
            }
            if (Read(c, Clock::now() + t.byteGap) == LineStatus::Ok && c != kAck)
                Unread(c);
            break;
        }
        default:
            break; // noise between frames
        }
    }
}

} // namespace tessera::sim
