#pragma once
// The device's infrared link through a serial infrared adapter: every block travels in one
// acknowledged data packet, guarded by command packets, sequence numbers and a checksum.

#include "link/ZaurusCom.h"

#include <array>
#include <cstdint>

namespace tessera {

namespace ir {
inline constexpr std::uint8_t kSync = 0x96;
inline constexpr std::uint8_t kCommandType = 0x82;
inline constexpr std::uint8_t kDataType = 0x81;
inline constexpr std::uint8_t ENQ = 0x05;
inline constexpr std::uint8_t SYN = 0x16;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t NAK = 0x15;
inline constexpr std::uint8_t CAN = 0x18;
inline constexpr std::uint16_t kFinalSequence = 0xFFFF;
inline constexpr int kPreamble = 5;
inline constexpr int kCommandPacketSize = 8;
inline constexpr int kDataHeaderSize = 15;
inline constexpr int kDataOverhead = 17; // header + checksum
} // namespace ir

// 16-bit sum of the bytes, modulo 65536.
std::uint16_t Checksum16(const char* data, int count);

// An 8-byte command packet: five 0x00, sync, 0x82, the code.
class CCommandPacket {
public:
    explicit CCommandPacket(std::uint8_t code);
    virtual ~CCommandPacket() = default;
    const char* Data() const { return m_bytes.data(); }
    int Size() const { return ir::kCommandPacketSize; }

private:
    std::array<char, ir::kCommandPacketSize> m_bytes{};
};

// A data packet of at most 512 data bytes (17 bytes of header and checksum around them).
// Held inline, so building one cannot fail for want of memory.
class CDataPacket {
public:
    // Takes min(count, 512) bytes; the length field carries that number.
    CDataPacket(const char* data, int count, std::uint16_t sequence);
    virtual ~CDataPacket() = default;
    const char* Data() const { return m_bytes.data(); }
    int Size() const { return m_size; }
    int DataLength() const { return m_size - ir::kDataOverhead; }

private:
    std::array<char, kLinkBlockSize + ir::kDataOverhead> m_bytes{};
    int m_size = 0;
};

class COpticalCom : public CZaurusCom {
public:
    explicit COpticalCom(PortOptions options = {});
    ~COpticalCom() override;

    // The speed is always 9600 bps whatever is asked.
    bool Open(const QString& portName, int bitsPerSecond) override;
    bool ReadBlock(char* buffer, int& count) override;
    bool WriteBlock(const char* buffer, int count) override;
    bool WriteExact(const char* buffer, int count) override;
    bool ReadExact(char* buffer, int count) override;
    // Also drops the unread rest of the last packet taken in.
    void DiscardInput(bool untilQuiet) override;

    // Next number for a full packet sent, and the number expected of the next full packet
    // received. Both start at 1; 0xFFFF marks short packets.
    std::uint16_t SequenceNumber() const { return m_sequence; }
    std::uint16_t ExpectedSequence() const { return m_expected; }
    void SetSequenceNumber(std::uint16_t n) { m_sequence = n; }
    void SetExpectedSequence(std::uint16_t n) { m_expected = n; }
    bool HeldPrefix() const { return m_held; }

    static constexpr int kLineSpeed = 9600;

private:
    enum class AwaitResult { Ok, OtherCode, Failed };
    bool Transmit(const char* bytes, int count);
    bool SendCommand(std::uint8_t code);
    AwaitResult AwaitCommand(std::uint8_t expected, std::uint8_t& received,
                             std::int64_t limitMs = -1);
    bool FindSync(std::int64_t deadlineMs, bool needZeroFirst);
    bool ReadByte(std::uint8_t& byte);
    bool ReadBytes(char* buffer, int count);

    std::uint16_t m_sequence = 1;
    std::uint16_t m_expected = 1;
    bool m_haveAccepted = false; // a numbered packet was taken, so a repeat can be spotted
    std::array<char, kLinkBlockSize> m_lastBlock{}; // data of the last accepted packet
    int m_lastLength = -1;
    bool m_held = false;
    std::array<char, kLinkBlockSize> m_packet{};
    int m_buffered = 0;
    int m_position = 0;
};

} // namespace tessera
