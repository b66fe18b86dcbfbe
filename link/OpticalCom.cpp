#include "link/OpticalCom.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace tessera {

namespace {

constexpr int kIrQueueSize = 768;

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PutLe16(char* at, std::uint16_t v) {
    at[0] = static_cast<char>(v & 0xFF);
    at[1] = static_cast<char>(v >> 8);
}

std::uint16_t GetLe16(const char* at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(at[0]) |
                                      (static_cast<std::uint8_t>(at[1]) << 8));
}

// Sets a shorter read limit on the line for one wait and puts the old one back after.
class ReadLimitOverride {
public:
    ReadLimitOverride(ILine& line, std::int64_t limitMs) : m_line(line) {
        if (limitMs < 0)
            return;
        m_saved = line.Timeouts();
        LineTimeouts t = m_saved;
        t.readTotalMs = static_cast<int>(std::max<std::int64_t>(limitMs, 1));
        t.readPerByteUs = 0;
        m_line.SetTimeouts(t);
        m_active = true;
    }
    ~ReadLimitOverride() {
        if (m_active)
            m_line.SetTimeouts(m_saved);
    }
    ReadLimitOverride(const ReadLimitOverride&) = delete;
    ReadLimitOverride& operator=(const ReadLimitOverride&) = delete;

private:
    ILine& m_line;
    LineTimeouts m_saved;
    bool m_active = false;
};

constexpr char kRefusal[3] = {0x05, 0x06, 0x06};

} // namespace

std::uint16_t Checksum16(const char* data, int count) {
    std::uint32_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += static_cast<std::uint8_t>(data[i]);
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

CCommandPacket::CCommandPacket(std::uint8_t code) {
    m_bytes[5] = static_cast<char>(ir::kSync);
    m_bytes[6] = static_cast<char>(ir::kCommandType);
    m_bytes[7] = static_cast<char>(code);
}

CDataPacket::CDataPacket(const char* data, int count, std::uint16_t sequence) {
    const int n = std::clamp(count, 0, kLinkBlockSize);
    char* p = m_bytes.data();
    p[5] = static_cast<char>(ir::kSync);
    p[6] = static_cast<char>(ir::kDataType);
    p[7] = 0x10;
    PutLe16(p + 8, sequence);
    p[10] = 0x01;
    p[11] = 0x40;
    p[12] = static_cast<char>(0xFE);
    PutLe16(p + 13, static_cast<std::uint16_t>(n));
    if (n > 0)
        std::memcpy(p + ir::kDataHeaderSize, data, static_cast<size_t>(n));
    PutLe16(p + ir::kDataHeaderSize + n, Checksum16(data, n));
    m_size = n + ir::kDataOverhead;
}

COpticalCom::COpticalCom(PortOptions options) : CZaurusCom(std::move(options)) {}

COpticalCom::~COpticalCom() = default;

bool COpticalCom::Open(const QString& portName, int /*bitsPerSecond*/) {
    LineSettings s;
    s.bitsPerSecond = kLineSpeed;
    s.parity = LineParity::Odd;
    s.hardwareFlow = false;
    // Many adapters draw their power from DTR and RTS: DTR stays as opening left it
    // (asserted), RTS is switched on.
    s.setDtr = false;
    s.setRts = true;
    s.inputQueue = kIrQueueSize;
    s.outputQueue = kIrQueueSize;
    if (!OpenLine(portName, s))
        return false;
    m_line->Purge(PurgeBoth);
    const LinkTiming& t = Timing();
    if (!m_line->SetTimeouts(SpeedAwareTimeouts(t.irReadIntervalMs, t.irReadTotalMs,
                                                t.irWriteTotalMs, kLineSpeed, s.BitsPerByte())))
        return false;
    Pause(t.openSettleMs);
    return true;
}

bool COpticalCom::ReadByte(std::uint8_t& byte) {
    char c = 0;
    if (m_line->Read(&c, 1) != 1)
        return false;
    byte = static_cast<std::uint8_t>(c);
    return true;
}

bool COpticalCom::ReadBytes(char* buffer, int count) {
    return count == 0 || m_line->Read(buffer, count) == count;
}

bool COpticalCom::Transmit(const char* bytes, int count) {
    if (!m_line || m_line->Write(bytes, count) != count)
        return false;
    m_line->Flush();
    if (m_options.ignoreEcho) {
        // An echoing adapter hands back everything the PC transmits; take it off the input
        // before the device's answer is read. A missing echo byte fails the transmission.
        char echo[kLinkBlockSize + ir::kDataOverhead];
        int left = count;
        while (left > 0) {
            const int n = std::min<int>(left, static_cast<int>(sizeof echo));
            if (m_line->Read(echo, n) != n)
                return false;
            left -= n;
        }
        m_line->TakeLineError();
    }
    return true;
}

bool COpticalCom::SendCommand(std::uint8_t code) {
    const CCommandPacket packet(code);
    return Transmit(packet.Data(), packet.Size());
}

bool COpticalCom::FindSync(std::int64_t deadlineMs, bool needZeroFirst) {
    // Noise from an infrared receiver (daylight, lamps) can keep bytes coming for ever; the
    // search ends when no sync turned up within the read time-out.
    std::uint8_t w0 = 0xFF, w1 = 0xFF, w2 = 0xFF;
    std::uint8_t b = 0;
    if (needZeroFirst) {
        do {
            if (NowMs() > deadlineMs || CheckCancel() || !ReadByte(b))
                return false;
        } while (b != 0x00);
        w2 = b;
    }
    for (;;) {
        if (NowMs() > deadlineMs || CheckCancel() || !ReadByte(b))
            return false;
        w0 = w1;
        w1 = w2;
        w2 = b;
        if (w0 == 0x00 && w1 == 0x00 && w2 == ir::kSync)
            return true;
    }
}

COpticalCom::AwaitResult COpticalCom::AwaitCommand(std::uint8_t expected, std::uint8_t& received,
                                                   std::int64_t limitMs) {
    ReadLimitOverride limit(*m_line, limitMs);
    const std::int64_t deadline =
        NowMs() + (limitMs >= 0 ? limitMs : m_line->Timeouts().readTotalMs);
    for (;;) {
        if (!FindSync(deadline, false))
            return AwaitResult::Failed;
        std::uint8_t type = 0;
        if (!ReadByte(type))
            return AwaitResult::Failed;
        if (type != ir::kCommandType)
            continue;
        std::uint8_t code = 0;
        if (!ReadByte(code))
            return AwaitResult::Failed;
        received = code;
        return code == expected ? AwaitResult::Ok : AwaitResult::OtherCode;
    }
}

bool COpticalCom::WriteBlock(const char* buffer, int count) {
    // A packet holds at most 512 bytes; a longer block cannot be sent as one.
    if (!m_line || count < 0 || count > kLinkBlockSize)
        return false;
    if (count < kLinkBlockSize)
        m_sequence = ir::kFinalSequence;
    const CDataPacket packet(buffer, count, m_sequence);
    const LinkTiming& t = Timing();
    for (int attempt = 0; attempt < t.packetAttempts; ++attempt) {
        if (CheckCancel())
            return false;
        // A late SYN or ACK of the failed try must not answer this one.
        if (attempt > 0)
            DrainLine();
        if (!SendCommand(ir::ENQ))
            continue;
        std::uint8_t got = 0;
        AwaitResult r = AwaitCommand(ir::SYN, got);
        if (r == AwaitResult::OtherCode && got == ir::CAN)
            return false;
        if (r != AwaitResult::Ok)
            continue;
        Pause(t.packetGapMs);
        if (!Transmit(packet.Data(), packet.Size()))
            return false;
        if (count == 0) {
            // The receiver takes an empty packet as the end of the stream and answers with
            // nothing, so no ACK is awaited. A NAK within the final pause means it arrived
            // damaged and is sent again.
            const std::int64_t start = NowMs();
            r = AwaitCommand(ir::NAK, got, t.finalPacketPauseMs);
            if (r == AwaitResult::Ok)
                continue;
            Pause(static_cast<int>(
                std::max<std::int64_t>(0, start + t.finalPacketPauseMs - NowMs())));
            return true;
        }
        r = AwaitCommand(ir::ACK, got);
        if (r == AwaitResult::Ok) {
            if (m_sequence == ir::kFinalSequence)
                Pause(t.finalPacketPauseMs);
            else
                ++m_sequence;
            return true;
        }
        // CAN: the receiver has given up; another attempt would only wait for nothing.
        if (r == AwaitResult::OtherCode && got == ir::CAN)
            return false;
    }
    return false;
}

bool COpticalCom::ReadBlock(char* buffer, int& count) {
    count = 0;
    if (!m_line)
        return false;
    const LinkTiming& t = Timing();
    int attempts = t.packetAttempts;
    int repeats = 0;
    const auto startOver = [&] {
        --attempts;
        Pause(t.badPacketPauseMs);
        m_line->Purge(PurgeInput);
    };
    while (attempts > 0) {
        if (CheckCancel())
            return false;
        std::uint8_t got = 0;
        if (AwaitCommand(ir::ENQ, got) != AwaitResult::Ok) {
            --attempts;
            continue;
        }
        Pause(t.packetGapMs);
        if (!SendCommand(ir::SYN)) {
            --attempts;
            continue;
        }
        // From here a failed read ends the receive at once, without an answer.
        if (!FindSync(NowMs() + m_line->Timeouts().readTotalMs, true))
            return false;
        m_line->TakeLineError(); // noise before the packet does not count against it
        std::uint8_t type = 0;
        if (!ReadByte(type))
            return false;
        if (type != ir::kDataType) {
            startOver();
            continue;
        }
        std::uint8_t marker = 0;
        if (!ReadByte(marker))
            return false;
        if ((marker >> 4) != 0x1) {
            Pause(t.packetGapMs);
            SendCommand(ir::CAN);
            return false;
        }
        char field[3];
        if (!ReadBytes(field, 2))
            return false;
        const std::uint16_t sequence = GetLe16(field);
        // The sender repeats a packet whose ACK it missed: take it again but keep it out of
        // the data.
        bool repeat = false;
        if (sequence != ir::kFinalSequence && sequence != m_expected) {
            if (m_haveAccepted && sequence == static_cast<std::uint16_t>(m_expected - 1)) {
                repeat = true;
            } else {
                startOver();
                continue;
            }
        }
        if (!ReadBytes(field, 3) || !ReadBytes(field, 2))
            return false;
        const int length = GetLe16(field);
        if (length > kLinkBlockSize) {
            // More than a packet can hold: refused as a bad packet, the buffer is not touched.
            Pause(t.packetGapMs);
            SendCommand(ir::CAN);
            return false;
        }
        if (!ReadBytes(buffer, length) || !ReadBytes(field, 2))
            return false;
        const std::uint16_t sum = GetLe16(field);
        const bool damaged = m_line->TakeLineError();
        if (length == 0) {
            // Only a true end packet ends the stream; a length byte hit by noise must not cut
            // a receive short and call it a success.
            if (!damaged && sum == 0 && sequence == ir::kFinalSequence)
                return true;
            Pause(t.packetGapMs);
            SendCommand(ir::NAK);
            --attempts;
            continue;
        }
        Pause(t.packetGapMs);
        // The number is not covered by the checksum: a packet carrying the previous number
        // is a repeat only when it also carries the previous data, otherwise a damaged
        // number would silently drop a block.
        const bool sameAsLast =
            repeat && length == m_lastLength &&
            std::memcmp(buffer, m_lastBlock.data(), static_cast<size_t>(length)) == 0;
        if (damaged || sum != Checksum16(buffer, length) || (repeat && !sameAsLast)) {
            SendCommand(ir::NAK);
            --attempts;
            continue;
        }
        SendCommand(ir::ACK);
        if (repeat) {
            if (++repeats > t.packetAttempts)
                --attempts;
            continue;
        }
        // The expected number moves on only now, so a packet sent again after a NAK is
        // still the one expected.
        if (sequence != ir::kFinalSequence) {
            ++m_expected;
            m_haveAccepted = true;
            std::memcpy(m_lastBlock.data(), buffer, static_cast<size_t>(length));
            m_lastLength = length;
        }
        count = length;
        return true;
    }
    Pause(t.packetGapMs);
    SendCommand(ir::CAN);
    return false;
}

bool COpticalCom::WriteExact(const char* buffer, int count) {
    if (count < 0)
        return false;
    if (m_held) {
        m_held = false;
        if (count + 3 > kLinkBlockSize)
            return false;
        // The refusal travels in one packet with the next write.
        char joined[kLinkBlockSize];
        std::memcpy(joined, kRefusal, 3);
        if (count > 0)
            std::memcpy(joined + 3, buffer, static_cast<size_t>(count));
        Pause(Timing().packetGapMs);
        return WriteBlock(joined, count + 3);
    }
    if (count == 3 && std::memcmp(buffer, kRefusal, 3) == 0) {
        m_held = true;
        return true;
    }
    Pause(Timing().packetGapMs);
    return WriteBlock(buffer, count);
}

void COpticalCom::DiscardInput(bool untilQuiet) {
    m_buffered = m_position = 0;
    CZaurusCom::DiscardInput(untilQuiet);
}

bool COpticalCom::ReadExact(char* buffer, int count) {
    if (count < 0 || count > kLinkBlockSize)
        return false;
    if (count == 0)
        return true;
    if (m_buffered > 0 && m_position + count <= m_buffered) {
        std::memcpy(buffer, m_packet.data() + m_position, static_cast<size_t>(count));
        m_position += count;
        if (m_position == m_buffered)
            m_buffered = m_position = 0;
        return true;
    }
    // Too few bytes left over from the last packet: they are dropped.
    m_buffered = m_position = 0;
    int n = 0;
    if (!ReadBlock(m_packet.data(), n) || n == 0)
        return false;
    // A read longer than the packet has nothing defined to return for the rest.
    if (count > n)
        return false;
    std::memcpy(buffer, m_packet.data(), static_cast<size_t>(count));
    if (count < n) {
        m_buffered = n;
        m_position = count;
    }
    return true;
}

} // namespace tessera
