#pragma once
// The device's infrared packet layer: small command packets (ENQ, SYN, ACK, NAK, CAN) and
// checksummed data packets of up to 512 bytes. The device is the patient party: it asks again
// when nothing answers, answers a broken packet with NAK, and acknowledges a repeat it has
// already taken in so that a lost ACK costs the PC nothing.

#include "sim/SimDevice.h"
#include "sim/SimLine.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tessera::sim {

namespace ir {
inline constexpr std::uint8_t kSync = 0x96;
inline constexpr std::uint8_t kCommandType = 0x82;
inline constexpr std::uint8_t kDataType = 0x81;
inline constexpr std::uint8_t kEnq = 0x05;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kSyn = 0x16;
inline constexpr std::uint8_t kCan = 0x18;
inline constexpr std::uint16_t kLastNumber = 0xFFFF;
inline constexpr int kMaxData = 512;

// The bytes of a command packet and of a data packet as they go on the air.
std::string CommandPacket(std::uint8_t code);
std::string DataPacket(const std::string& data, std::uint16_t number, bool spoilChecksum);
std::uint16_t Checksum(const std::string& data);
} // namespace ir

// How the device takes an intact data packet.
enum class Verdict {
    Accept,    // keep it and acknowledge it
    Repeat,    // already have it: acknowledge again, keep nothing
    Reject,    // answer NAK
    EndSilent, // the empty final packet: keep nothing, answer nothing
};

enum class Outcome { Ok, Timeout, Cancelled, Failed, Closed, Stopped };

class DeviceIr {
public:
    DeviceIr(SimLine& line, const SimTiming& timing, const SimFaults& faults);

    struct Event {
        enum Kind { Command, Data, Broken } kind = Broken;
        std::uint8_t code = 0;    // Command
        std::uint16_t number = 0; // Data
        std::string data;         // Data
        bool checksumOk = false;  // Data
    };
    // The next packet from the PC, or why none came by `deadline`.
    LineStatus Next(Event& event, Clock::time_point deadline);

    // Sends one data packet the device's way: ENQ, wait for SYN, the packet, wait for ACK,
    // with retries. An empty packet is not acknowledged; the device only listens a moment for
    // a NAK. `firstWait` bounds how long the PC may take to answer the very first ENQ.
    Outcome SendPacket(const std::string& data, std::uint16_t number,
                       std::chrono::milliseconds firstWait);

    // Serves the PC's packet exchanges until `judge` accepts one (its data in `data`) or the
    // empty final packet arrives (`ended`). `wait` bounds the wait for the PC's ENQ;
    // `enqTaken`: the caller has already read the PC's first ENQ, which is answered at once.
    using Judge = std::function<Verdict(std::uint16_t number, const std::string& data)>;
    Outcome ReceivePacket(const Judge& judge, std::chrono::milliseconds wait, std::string& data,
                          bool& ended, bool enqTaken = false);

    const std::string& LastError() const { return m_error; }
    // Sends CAN to tell the PC the device gives up.
    void Abandon();

private:
    bool SendCommand(std::uint8_t code, bool pause = true);
    LineStatus ReadByteWithin(std::uint8_t& b, Clock::time_point deadline);
    Outcome FromStatus(LineStatus st) const;
    void Pause(std::chrono::milliseconds d) const;

    SimLine& m_line;
    const SimTiming& m_timing;
    const SimFaults& m_faults;
    int m_transmitted = 0; // data packets put on the air
    int m_intact = 0;      // intact data packets received
    std::string m_error;
};

} // namespace tessera::sim
