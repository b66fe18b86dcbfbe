#include "sim/DeviceIr.h"

#include <thread>

namespace tessera::sim {

namespace ir {

namespace {
constexpr int kPreamble = 5;
} // namespace

std::string CommandPacket(std::uint8_t code) {
    std::string p(kPreamble, '\0');
    p += static_cast<char>(kSync);
    p += static_cast<char>(kCommandType);
    p += static_cast<char>(code);
    return p;
}

std::uint16_t Checksum(const std::string& data) {
    std::uint16_t sum = 0;
    for (char c : data)
        sum = static_cast<std::uint16_t>(sum + static_cast<std::uint8_t>(c));
    return sum;
}

std::string DataPacket(const std::string& data, std::uint16_t number, bool spoilChecksum) {
    std::string p(kPreamble, '\0');
    p += static_cast<char>(kSync);
    p += static_cast<char>(kDataType);
    p += '\x10';
    p += static_cast<char>(number & 0xFF);
    p += static_cast<char>(number >> 8);
    p += "\x01\x40\xFE";
    auto len = static_cast<std::uint16_t>(data.size());
    p += static_cast<char>(len & 0xFF);
    p += static_cast<char>(len >> 8);
    p += data;
    std::uint16_t sum = Checksum(data);
    if (spoilChecksum)
        sum = static_cast<std::uint16_t>(sum ^ 0x5A5A);
    p += static_cast<char>(sum & 0xFF);
    p += static_cast<char>(sum >> 8);
    return p;
}

} // namespace ir

DeviceIr::DeviceIr(SimLine& line, const SimTiming& timing, const SimFaults& faults)
    : m_line(line), m_timing(timing), m_faults(faults) {}

void DeviceIr::Pause(std::chrono::milliseconds d) const {
    if (d.count() > 0)
        std::this_thread::sleep_for(d);
}

Outcome DeviceIr::FromStatus(LineStatus st) const {
    switch (st) {
    case LineStatus::Ok:
        return Outcome::Ok;
    case LineStatus::Timeout:
        return Outcome::Timeout;
    case LineStatus::Closed:
        return Outcome::Closed;
    case LineStatus::Stopped:
        return Outcome::Stopped;
    case LineStatus::Error:
        break;
    }
    return Outcome::Failed;
}

bool DeviceIr::SendCommand(std::uint8_t code, bool pause) {
    if (pause)
        Pause(m_timing.commandPause);
    if (code == ir::kNak)
        ++m_line.Stats().naksSent;
    if (code == ir::kCan)
        ++m_line.Stats().cansSent;
    return m_line.Write(ir::CommandPacket(code)) == LineStatus::Ok;
}

void DeviceIr::Abandon() {
    SendCommand(ir::kCan);
}

LineStatus DeviceIr::ReadByteWithin(std::uint8_t& b, Clock::time_point deadline) {
    return m_line.ReadByte(b, std::min(deadline, Clock::now() + m_timing.byteGap));
}

LineStatus DeviceIr::Next(Event& event, Clock::time_point deadline) {
    event = Event{};
    // Sync: at least two zero bytes of the preamble, then 0x96. Anything else is noise.
    int zeros = 0;
    for (;;) {
        std::uint8_t b = 0;
        LineStatus st = m_line.ReadByte(b, deadline);
        if (st != LineStatus::Ok)
            return st;
        if (b == 0x00) {
            ++zeros;
            continue;
        }
        if (b == ir::kSync && zeros >= 2)
            break;
        zeros = 0;
    }
    auto broken = [&]() {
        // Let the rest of a broken packet pass before anyone answers it.
        event.kind = Event::Broken;
        LineStatus st =
            m_line.DrainUntilQuiet(m_timing.quietGap, Clock::now() + m_timing.replyWait);
        return st == LineStatus::Timeout ? LineStatus::Ok : st;
    };
    std::uint8_t type = 0;
    LineStatus st = ReadByteWithin(type, Clock::time_point::max());
    if (st == LineStatus::Timeout)
        return broken();
    if (st != LineStatus::Ok)
        return st;
    if (type == ir::kCommandType) {
        std::uint8_t code = 0;
        st = ReadByteWithin(code, Clock::time_point::max());
        if (st == LineStatus::Timeout)
            return broken();
        if (st != LineStatus::Ok)
            return st;
        event.kind = Event::Command;
        event.code = code;
        if (code == ir::kNak)
            ++m_line.Stats().naksReceived;
        if (code == ir::kCan)
            ++m_line.Stats().cansReceived;
        return LineStatus::Ok;
    }
    if (type != ir::kDataType)
        return broken();

    std::uint8_t head[8];
    for (auto& h : head) {
        st = ReadByteWithin(h, Clock::time_point::max());
        if (st == LineStatus::Timeout)
            return broken();
        if (st != LineStatus::Ok)
            return st;
    }
    int length = head[6] | (head[7] << 8);
    if ((head[0] >> 4) != 0x1 || length > ir::kMaxData)
        return broken();
    event.number = static_cast<std::uint16_t>(head[1] | (head[2] << 8));
    std::string data;
    data.reserve(static_cast<size_t>(length) + 2);
    for (int i = 0; i < length + 2; ++i) {
        std::uint8_t b = 0;
        st = ReadByteWithin(b, Clock::time_point::max());
        if (st == LineStatus::Timeout)
            return broken();
        if (st != LineStatus::Ok)
            return st;
        data += static_cast<char>(b);
    }
    auto sum = static_cast<std::uint16_t>(static_cast<std::uint8_t>(data[length]) |
                                          (static_cast<std::uint8_t>(data[length + 1]) << 8));
    data.resize(static_cast<size_t>(length));
    event.kind = Event::Data;
    event.checksumOk = ir::Checksum(data) == sum;
    event.data = std::move(data);
    return LineStatus::Ok;
}

Outcome DeviceIr::SendPacket(const std::string& data, std::uint16_t number,
                             std::chrono::milliseconds firstWait) {
    const int kAttempts = 10;
    int failures = 0;
    auto synDeadline = Clock::now() + std::max(firstWait, m_timing.replyWait);
    while (failures < kAttempts) {
        // Ask to send, and keep asking now and then until the PC is ready.
        bool ready = false;
        while (!ready) {
            if (!SendCommand(ir::kEnq, false)) {
                m_error = "cannot write to the line";
                return Outcome::Failed;
            }
            auto until = std::min(synDeadline, Clock::now() + m_timing.synWait);
            for (;;) {
                Event ev;
                LineStatus st = Next(ev, until);
                if (st == LineStatus::Timeout)
                    break;
                if (st != LineStatus::Ok) {
                    m_error = "the line went away while waiting for SYN";
                    return FromStatus(st);
                }
                if (ev.kind != Event::Command)
                    continue;
                if (ev.code == ir::kSyn) {
                    ready = true;
                    break;
                }
                if (ev.code == ir::kCan) {
                    m_error = "the PC cancelled (CAN)";
                    return Outcome::Cancelled;
                }
            }
            if (!ready && Clock::now() >= synDeadline) {
                m_error = "the PC never answered ENQ with SYN";
                Abandon();
                return Outcome::Timeout;
            }
        }

        Pause(m_timing.commandPause);
        bool spoil = m_faults.badChecksumSends.count(m_transmitted) != 0;
        auto renumbered = m_faults.renumberSends.find(m_transmitted);
        std::uint16_t onAir =
            renumbered != m_faults.renumberSends.end() ? renumbered->second : number;
        ++m_transmitted;
        ++m_line.Stats().packetsSent;
        if (m_line.Write(ir::DataPacket(data, onAir, spoil)) != LineStatus::Ok) {
            m_error = "cannot write to the line";
            return Outcome::Failed;
        }

        // The empty final packet gets no answer; only a complaint makes the device repeat it.
        auto wait = data.empty() ? m_timing.emptyWait : m_timing.replyWait;
        auto until = Clock::now() + wait;
        bool retry = false;
        for (;;) {
            Event ev;
            LineStatus st = Next(ev, until);
            if (st == LineStatus::Timeout) {
                if (data.empty())
                    return Outcome::Ok;
                retry = true;
                break;
            }
            if (st == LineStatus::Closed && data.empty())
                return Outcome::Ok;
            if (st != LineStatus::Ok) {
                m_error = "the line went away while waiting for ACK";
                return FromStatus(st);
            }
            if (ev.kind != Event::Command)
                continue;
            if (ev.code == ir::kAck)
                return Outcome::Ok;
            if (ev.code == ir::kNak) {
                retry = true;
                break;
            }
            if (ev.code == ir::kCan) {
                m_error = "the PC cancelled (CAN)";
                return Outcome::Cancelled;
            }
        }
        if (retry) {
            ++failures;
            synDeadline = Clock::now() + std::max(m_timing.replyWait, m_timing.synWait);
        }
    }
    m_error = "the PC did not take packet " + std::to_string(number) + " after " +
              std::to_string(kAttempts) + " attempts";
    Abandon();
    return Outcome::Failed;
}

Outcome DeviceIr::ReceivePacket(const Judge& judge, std::chrono::milliseconds wait,
                                std::string& data, bool& ended, bool enqTaken) {
    const int kAttempts = 10;
    ended = false;
    int failures = 0;
    auto deadline = Clock::now() + wait;
    LineStatus st = LineStatus::Ok;
    for (bool answer = enqTaken;; answer = false) {
        if (!answer) {
            Event ev;
            st = Next(ev, deadline);
            if (st == LineStatus::Timeout) {
                m_error = "no packet from the PC";
                return Outcome::Timeout;
            }
            if (st != LineStatus::Ok) {
                m_error = "the line went away while waiting for a packet";
                return FromStatus(st);
            }
            if (ev.kind != Event::Command)
                continue; // a packet without ENQ first is not for us
            if (ev.code == ir::kCan) {
                m_error = "the PC cancelled (CAN)";
                return Outcome::Cancelled;
            }
            if (ev.code != ir::kEnq)
                continue;
        }

        // ENQ: ready to receive. A further ENQ means our SYN was lost: answer it again.
        bool again = true;
        while (again) {
            again = false;
            if (!SendCommand(ir::kSyn)) {
                m_error = "cannot write to the line";
                return Outcome::Failed;
            }
            Event pk;
            st = Next(pk, Clock::now() + m_timing.replyWait);
            if (st == LineStatus::Timeout) {
                ++failures;
                break;
            }
            if (st != LineStatus::Ok) {
                m_error = "the line went away while waiting for a packet";
                return FromStatus(st);
            }
            if (pk.kind == Event::Command) {
                if (pk.code == ir::kEnq)
                    again = true;
                else if (pk.code == ir::kCan) {
                    m_error = "the PC cancelled (CAN)";
                    return Outcome::Cancelled;
                }
                continue;
            }
            Verdict v = Verdict::Reject;
            if (pk.kind == Event::Data && pk.checksumOk) {
                int index = m_intact++;
                v = m_faults.rejectReceives.count(index) ? Verdict::Reject
                                                         : judge(pk.number, pk.data);
            }
            switch (v) {
            case Verdict::Accept:
                SendCommand(ir::kAck);
                ++m_line.Stats().packetsAccepted;
                m_line.Stats().sequenceNumbers.push_back(pk.number);
                data = std::move(pk.data);
                return Outcome::Ok;
            case Verdict::Repeat:
                SendCommand(ir::kAck);
                ++m_line.Stats().duplicates;
                break;
            case Verdict::EndSilent:
                ended = true;
                data.clear();
                m_line.Stats().sequenceNumbers.push_back(pk.number);
                return Outcome::Ok;
            case Verdict::Reject:
                SendCommand(ir::kNak);
                ++failures;
                break;
            }
        }
        if (failures >= kAttempts) {
            m_error = "gave up after " + std::to_string(kAttempts) + " bad packets";
            Abandon();
            return Outcome::Failed;
        }
        // The PC tries again soon after a NAK or a lost exchange.
        deadline = std::max(deadline, Clock::now() + m_timing.replyWait);
    }
}

} // namespace tessera::sim
