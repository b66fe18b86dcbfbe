#pragma once
// The simulated PDA: plays the device's side of one exchange (record stream send or receive,
// or the PC-link conversation of the add-in transfer) on a pseudo-terminal, over the cable or
// the infrared packets, with an echoing adapter, line-speed pacing and faults on demand. In
// the Auto role it waits for whichever exchange the PC starts, as a device left ready for both.
//
// Typical in-process use (a test on its own thread):
//     SimConfig cfg; cfg.method = SimMethod::Infrared; cfg.role = SimRole::Receive;
//     cfg.timing = SimTiming{}.Scaled(0.1);
//     SimThread sim(cfg);                 // pty made, device started on a thread
//     ... open sim.PortName() with the PC side, transfer, close ...
//     SimResult r = sim.Join();           // r.completed, r.received, r.stored, r.stats

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tessera::sim {

enum class SimMethod { Cable, Infrared };
// Auto: the PC's first bytes decide. Silence means the PC waits to receive, so the device
// sends; a record stream (the cable) or an ENQ (infrared) means the PC sends, so the device
// receives; the first frame of a PC link (SOH, on infrared inside the first packet) means an
// add-in transfer, which the device answers as in PcLink.
enum class SimRole { Send, Receive, PcLink, Auto };

// The device's own patience. Defaults are a real device's pace; tests scale them down together
// with the PC side's timing.
struct SimTiming {
    using ms = std::chrono::milliseconds;
    ms peerWait{24 * 3600 * 1000}; // for the PC to open the line
    ms startDelay{1000};           // the user starts the device's send after the PC waits
    ms roleWait{2000};             // Auto: silence from the PC this long means it receives
    ms firstWait{120000};          // for the PC to start an exchange the device waits in
    ms replyWait{6000};            // for an answer within an exchange
    ms synWait{2000};              // for SYN before the device asks again with ENQ
    ms emptyWait{1000};            // for a complaint about an empty final packet
    ms byteGap{1000};              // silence inside a packet or frame that breaks it off
    ms streamGap{5000};            // cable: silence inside a stream without its end mark
    ms endQuiet{300};              // cable: quiet after the end mark that ends the stream
    ms commandPause{2};            // before a command packet sent in answer
    ms turnPause{5};               // before each write of the conversation
    ms quietGap{50};               // silence that tells a broken packet has passed
    ms closeGrace{300};            // the PC may close and reopen the line within this
    ms linger{30000};              // after the exchange, for the PC to close the line

    // Every duration multiplied by `factor` (at least 1 ms where it was positive).
    SimTiming Scaled(double factor) const;
};

struct SimFaults {
    double drop = 0.0; // probability that a byte on the air is lost
    double flip = 0.0; // probability that a byte on the air has one bit flipped
    std::uint32_t seed = 1;
    bool mute = false; // the device never answers
    // Data packets (counted from 0 in the order the device transmits them) that go out with
    // a wrong checksum.
    std::set<int> badChecksumSends;
    // Data packets (counted as above) that go out carrying another sequence number, as when
    // noise hits the number field, which no checksum covers.
    std::map<int, std::uint16_t> renumberSends;
    // Data packets (counted from 0 in the order they arrive intact) that the device answers
    // with NAK as if their checksum had been wrong.
    std::set<int> rejectReceives;
    // PC-link data frames (counted from 0 in the order they arrive intact, frames sent again
    // included) that arrive damaged: the device keeps nothing, answers NAK with a stray ACK
    // right behind it, and then, as after any broken frame, lets the line go quiet for
    // quietGap before it listens again, so what the PC sends meanwhile is lost.
    std::set<int> staleAckFrames;
};

struct SimConfig {
    SimMethod method = SimMethod::Cable;
    SimRole role = SimRole::Receive;
    bool echo = false;    // infrared: the adapter echoes every byte the PC sends
    int bps = 0;          // cable: the device's speed (0 = whatever the line is set to)
    bool pace = false;    // deliver bytes at line speed (10 bits a byte, 11 with parity)
    std::string sendData; // Send, Auto: the record stream the device sends
    // Send: streams sent after sendData, one after another, as a user walking through the
    // kinds in one sitting. Each goes out once the PC has let go of the line after the
    // previous stream and opened it again (or kept it open for as long as the device would
    // linger), and `sendGap` has passed since.
    std::vector<std::string> moreSends;
    std::chrono::milliseconds sendGap{3000};
    // PcLink and Auto's PC link:
    std::string storeDir;         // device files are kept under here ("" = memory only)
    bool nifadr = false;          // S7:NIFADR.BOX exists
    std::vector<std::string> has; // S1:<name> exists
    bool noAddin = false;         // the device refuses the add-in support check
    std::string linkPath;         // a symbolic link to the line made for the PC (optional)
    SimFaults faults;
    SimTiming timing;
};

struct SimStats {
    long long bytesIn = 0;  // bytes that reached the device (after faults)
    long long bytesOut = 0; // bytes the device put on the line (echo excluded)
    long long echoed = 0;
    long long dropped = 0;
    long long flipped = 0;
    int packetsSent = 0;     // infrared data packets transmitted, resends included
    int packetsAccepted = 0; // infrared data packets taken in
    int duplicates = 0;      // repeats acknowledged again and discarded
    int naksSent = 0;
    int naksReceived = 0;
    int cansSent = 0;
    int cansReceived = 0;
    int framesReceived = 0; // PC-link frames taken in
    int framesRejected = 0; // PC-link frames answered with NAK
    int negativeReplies = 0;
    std::vector<std::uint16_t> sequenceNumbers; // of the data packets taken in, in order
    std::vector<int> blockNumbers;              // of the PC-link data frames taken in
};

struct SimResult {
    bool completed = false; // the device played its whole part
    std::string error;      // why not, when not
    // The part the device played: the configured role, or for Auto the one the PC chose
    // (Auto itself while the PC had not shown its choice).
    SimRole played = SimRole::Auto;
    std::string received;                      // Receive: the record stream as it arrived
    std::map<std::string, std::string> stored; // PcLink: device name ("S1:X") -> file data
    std::vector<std::string> commands;         // PcLink: command codes in order ("CFV", ...)
    int lineBps = 0;                           // the speed the PC set on the line
    // When the record stream began and ended on the device's side: sending, from the first
    // byte put on the line to the last one delivered (infrared: acknowledged); receiving, from
    // the first byte to the end of the stream. For measuring transfer rates.
    std::chrono::steady_clock::time_point streamStart{};
    std::chrono::steady_clock::time_point streamEnd{};
    // Cable: the silence the device heard before the end mark that ended the stream.
    std::chrono::steady_clock::duration endMarkQuiet{};
    SimStats stats;
    int streamsSent = 0; // Send: streams sent whole (sendData and moreSends)
};

class SimLine;

class SimDevice {
public:
    explicit SimDevice(SimConfig config);
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // Makes the pseudo-terminal (and the link path). Must succeed before Run.
    bool Open(std::string* error);
    // The name the PC opens: the link path when one was given, else the terminal's own.
    std::string PortName() const;
    // Waits for the PC to open the line, plays one exchange and lingers until the PC closes it
    // (a Send with moreSends then plays each further stream the same way).
    SimResult Run();
    // Asks a running Run to give up at its next wait (safe from any thread).
    void Stop();
    // True while Run waits for the PC to open the line, that is, while a new exchange may
    // start (safe from any thread).
    bool IsWaiting() const { return m_waiting.load(); }

private:
    void PlayMoreSends(SimResult& result);

    SimConfig m_config;
    std::unique_ptr<SimLine> m_line;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_waiting{false};
};

// A device on its own thread, for tests: constructing it opens the line and starts Run.
class SimThread {
public:
    explicit SimThread(SimConfig config);
    ~SimThread();
    bool Ok() const { return m_openError.empty(); }
    const std::string& OpenError() const { return m_openError; }
    std::string PortName() const { return m_device.PortName(); }
    // Waits for the device to finish and returns what it did.
    SimResult Join();
    void Stop() { m_device.Stop(); }

private:
    SimDevice m_device;
    std::string m_openError;
    SimResult m_result;
    std::thread m_thread;
    bool m_joined = false;
};

// Device name of a stored file ("S1:NAME") -> path under the store folder ("DIR/S1/NAME"),
// or "" for a name that cannot be a device file (no drive, path separators, "..").
std::string DeviceFilePath(const std::string& storeDir, const std::string& deviceName);

} // namespace tessera::sim
