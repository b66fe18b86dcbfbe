#include "link/PcLink.h"

#include "link/OpticalCom.h"
#include "link/ZaurusCom.h"

#include <QFile>
#include <chrono>
#include <cstring>
#include <thread>

namespace tessera {

using namespace pclink;

namespace {

constexpr int kTransactionAttempts = 10;
constexpr int kAnnounceAttempts = 3;
constexpr int kTurnReads = 10;
constexpr int kTurnaroundTries = 10;
constexpr char kRefusal[3] = {ENQ, ACK, ACK};

std::string CommandFrame(const std::string& payload) {
    return BuildLinkFrame(1, payload);
}

// A device name goes into a 32-byte command text through "%s": it must fit with its prefix
// and terminator, and a zero byte inside would cut it short.
bool NameFits(const std::string& name, int maxLength) {
    return !name.empty() && static_cast<int>(name.size()) <= maxLength &&
           name.find('\0') == std::string::npos;
}

} // namespace

std::string BuildLinkFrame(std::uint8_t blockNumber, const std::string& payload) {
    const auto n = static_cast<std::uint16_t>(payload.size());
    std::string frame;
    frame.reserve(payload.size() + kFrameOverhead);
    frame.push_back(static_cast<char>(SOH));
    frame.push_back(static_cast<char>(blockNumber));
    frame.push_back(static_cast<char>(0xFF - blockNumber));
    frame.push_back(static_cast<char>(n & 0xFF));
    frame.push_back(static_cast<char>(n >> 8));
    frame += payload;
    const std::uint16_t sum = Checksum16(payload.data(), static_cast<int>(payload.size()));
    frame.push_back(static_cast<char>(sum & 0xFF));
    frame.push_back(static_cast<char>(sum >> 8));
    return frame;
}

CPcLink::CPcLink(CZaurusCom& port, const LinkTiming& timing) : m_port(port), m_timing(timing) {}

void CPcLink::PacedPause() const {
    if (m_pacing && m_timing.pacedPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_timing.pacedPauseMs));
}

bool CPcLink::WriteByte(std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    return m_port.WriteExact(&c, 1);
}

bool CPcLink::ReadByte(std::uint8_t& byte) {
    char c = 0;
    if (!m_port.ReadExact(&c, 1))
        return false;
    byte = static_cast<std::uint8_t>(c);
    return true;
}

bool CPcLink::WriteFrame(const std::string& frame) {
    return m_port.WriteExact(frame.data(), static_cast<int>(frame.size()));
}

bool CPcLink::SendWithAck(const std::string& frame, int attempts) {
    for (int i = 0; i < attempts; ++i) {
        // Nothing the device said before this frame can acknowledge it: after a NAK, a
        // time-out or a stray byte, whatever it still sends about the failed try (a late ACK
        // above all) must be gone before the frame goes again, or it would be taken for the
        // acknowledgement of a frame the device never got. Before a first try, what has
        // already arrived is enough to drop (a second ACK for a frame sent twice).
        m_port.DiscardInput(i > 0);
        PacedPause();
        if (!WriteFrame(frame))
            return false;
        std::uint8_t b = 0;
        if (ReadByte(b) && b == ACK)
            return true;
    }
    return false;
}

bool CPcLink::Turnaround() {
    for (int i = 0; i < kTurnaroundTries; ++i) {
        if (i > 0)
            m_port.DiscardInput(true);
        if (!WriteByte(EOT))
            return false;
        std::uint8_t b = 0;
        if (ReadByte(b) && b == ACK) {
            PacedPause();
            return WriteByte(ENQ);
        }
    }
    return false;
}

bool CPcLink::ReadReply(bool& negative) {
    negative = false;
    std::uint8_t first = 0;
    if (!ReadByte(first))
        return false;
    char* buf = m_buffer.data();
    if (first == SOH) {
        buf[0] = static_cast<char>(SOH);
        if (!m_port.ReadExact(buf + 1, 4))
            return false;
    } else if (first == CAN) {
        // A refusal: CAN, then a complete header of its own.
        negative = true;
        if (!m_port.ReadExact(buf, 5))
            return false;
    } else {
        return false;
    }
    const int n = static_cast<std::uint8_t>(buf[3]) | (static_cast<std::uint8_t>(buf[4]) << 8);
    // A frame that would not fit the receive buffer is a failed read, not an overrun.
    if (n + kFrameOverhead > kReceiveBufferSize)
        return false;
    if (!m_port.ReadExact(buf + 5, n + 2))
        return false;
    const std::uint16_t sum = static_cast<std::uint16_t>(
        static_cast<std::uint8_t>(buf[5 + n]) | (static_cast<std::uint8_t>(buf[6 + n]) << 8));
    return sum == Checksum16(buf + 5, n);
}

void CPcLink::RefuseNegativeReply() {
    PacedPause();
    char two[2];
    if (!m_port.ReadExact(two, 2))
        return;
    if (static_cast<std::uint8_t>(two[0]) == EOT && static_cast<std::uint8_t>(two[1]) == ENQ) {
        PacedPause();
        m_port.WriteExact(kRefusal, 3);
    }
}

bool CPcLink::TakeTurnBack() {
    const auto waitFor = [this](std::uint8_t wanted) {
        for (int i = 0; i < kTurnReads; ++i) {
            std::uint8_t b = 0;
            if (!ReadByte(b))
                return false;
            if (b == wanted)
                return true;
        }
        return false;
    };
    PacedPause();
    if (!WriteByte(ACK) || !waitFor(EOT))
        return false;
    PacedPause();
    return WriteByte(ACK) && waitFor(ENQ);
}

bool CPcLink::Transaction(const std::string& frame, const char* expectedCode, int attempts) {
    if (!SendWithAck(frame, attempts))
        return false;
    PacedPause();
    if (!Turnaround())
        return false;
    bool negative = false;
    if (!ReadReply(negative))
        return false;
    if (negative) {
        RefuseNegativeReply();
        return false;
    }
    const int n =
        static_cast<std::uint8_t>(m_buffer[3]) | (static_cast<std::uint8_t>(m_buffer[4]) << 8);
    if (n < 3 || std::memcmp(m_buffer.data() + 5, expectedCode, 3) != 0)
        return false;
    return TakeTurnBack();
}

bool CPcLink::CheckAddInSupport() {
    if (!Transaction(CommandFrame("CFV"), "DOK", kTransactionAttempts))
        return false;
    std::string rfv("RFV\x0A\x00\x00", 6);
    rfv += "S1:NIFADR.BOX";
    rfv.push_back('\0');
    return Transaction(CommandFrame(rfv), "AFV", kTransactionAttempts);
}

bool CPcLink::FileExists(const std::string& deviceName) {
    if (!NameFits(deviceName, kMaxQueryNameLength))
        return false;
    if (!Transaction(CommandFrame("CFF"), "DOK", kTransactionAttempts))
        return false;
    std::string rff = "RFF" + deviceName;
    rff.push_back('\0');
    return Transaction(CommandFrame(rff), "AFF", kTransactionAttempts);
}

bool CPcLink::AnnounceFile(const std::string& name) {
    if (!NameFits(name, kMaxAnnounceNameLength))
        return false;
    if (!Transaction(CommandFrame("CFD"), "DOK", kAnnounceAttempts))
        return false;
    std::string rfd = "RFDS1:" + name;
    rfd.push_back('\0');
    return SendWithAck(CommandFrame(rfd), kTransactionAttempts);
}

bool CPcLink::SendFileData(const QString& path, const PcLinkProgress& progress,
                           std::int64_t expectedSize) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    std::uint8_t block = 2;
    char data[kMaxDataPerFrame];
    std::int64_t sent = 0;
    for (;;) {
        const qint64 n = file.read(data, kMaxDataPerFrame);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        // The file grew since it was checked: what it holds now was never confirmed.
        if (expectedSize >= 0 && sent + n > expectedSize)
            return false;
        sent += n;
        std::string payload = "RFD";
        payload.append(data, static_cast<size_t>(n));
        if (!SendWithAck(BuildLinkFrame(block, payload), kTransactionAttempts))
            return false;
        m_runningTotal += n;
        if (progress && !progress(m_runningTotal))
            return false;
        block = static_cast<std::uint8_t>(block + 1); // wraps from 255 to 0
    }
    file.close();
    // A file that shrank must not be completed on the device as if whole.
    if (expectedSize >= 0 && sent != expectedSize)
        return false;
    PacedPause();
    if (!Turnaround())
        return false;
    bool negative = false;
    if (!ReadReply(negative))
        return false;
    if (negative) {
        RefuseNegativeReply();
        return false;
    }
    const int n =
        static_cast<std::uint8_t>(m_buffer[3]) | (static_cast<std::uint8_t>(m_buffer[4]) << 8);
    if (n < 3 || std::memcmp(m_buffer.data() + 5, "AEX", 3) != 0)
        return false;
    return TakeTurnBack();
}

bool CPcLink::EndPcLink() {
    return Transaction(CommandFrame("CLE"), "DOK", kTransactionAttempts);
}

} // namespace tessera
