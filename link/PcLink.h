#pragma once
// The PC-link conversation of the add-in transfer: a half-duplex, turn-taking dialogue of
// checksummed frames and single control bytes, carried by a port's exact-count operations.

#include "link/LinkTiming.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tessera {

class CZaurusCom;

namespace pclink {
inline constexpr std::uint8_t SOH = 0x01;
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t ENQ = 0x05;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t CAN = 0x18;
inline constexpr int kReceiveBufferSize = 1024;
inline constexpr int kCommandTextSize = 32; // device commands are formatted into 32 bytes
inline constexpr int kMaxDataPerFrame = 253;
inline constexpr int kFrameOverhead = 7;
} // namespace pclink

// A frame: SOH, block number, 0xFF - block number, payload length (LE), payload, 16-bit sum
// of the payload (LE). Commands and replies carry block number 1.
std::string BuildLinkFrame(std::uint8_t blockNumber, const std::string& payload);

// Longest device file name a "RFF" query can carry ("RFF" + name + terminator in 32 bytes).
inline constexpr int kMaxQueryNameLength = pclink::kCommandTextSize - 4;
// Longest file name that can be announced ("RFDS1:" + name + terminator in 32 bytes).
inline constexpr int kMaxAnnounceNameLength = pclink::kCommandTextSize - 7;

// Progress of the data sent so far (all files); returns false when the user has cancelled.
using PcLinkProgress = std::function<bool(std::int64_t bytesSoFar)>;

class CPcLink {
public:
    CPcLink(CZaurusCom& port, const LinkTiming& timing);

    // While on (the default), every paced pause lasts the 15 ms the device needs.
    void SetPacing(bool on) { m_pacing = on; }

    // The five operations of the add-in transfer. All return false on any failure.
    bool CheckAddInSupport();
    // Asks whether the full device name (such as "S7:NIFADR.BOX") exists; a name too long
    // for the command is refused before anything is sent (false, like an absent file).
    bool FileExists(const std::string& deviceName);
    // Announces "S1:" + name; a name longer than 25 bytes is refused before anything is sent.
    bool AnnounceFile(const std::string& name);
    // Sends the contents of `path` in data frames, then hands the turn over and expects the
    // device's "AEX". `progress` returning false ends it (false; the caller tells cancel).
    // With `expectedSize` (>= 0) a file of any other length fails before the device is told
    // the file is complete, and no byte beyond that size is sent.
    bool SendFileData(const QString& path, const PcLinkProgress& progress = {},
                      std::int64_t expectedSize = -1);
    bool EndPcLink();

    // Bytes of file data sent by this conversation, across files.
    std::int64_t RunningTotal() const { return m_runningTotal; }

    // Building blocks, public for tests and diagnostics.
    bool SendWithAck(const std::string& frame, int attempts);
    bool Turnaround();
    // Reads a reply frame into the receive buffer; `negative` tells a CAN-prefixed reply.
    bool ReadReply(bool& negative);
    void RefuseNegativeReply();
    bool TakeTurnBack();
    bool Transaction(const std::string& frame, const char* expectedCode, int attempts);
    // The last reply frame read (header at offset 0).
    const std::array<char, pclink::kReceiveBufferSize>& Reply() const { return m_buffer; }

private:
    void PacedPause() const;
    bool WriteByte(std::uint8_t byte);
    bool ReadByte(std::uint8_t& byte);
    bool WriteFrame(const std::string& frame);

    CZaurusCom& m_port;
    LinkTiming m_timing;
    bool m_pacing = true;
    std::int64_t m_runningTotal = 0;
    std::array<char, pclink::kReceiveBufferSize> m_buffer{};
};

} // namespace tessera
