#pragma once
// The device's end of the line: the master side of a pseudo-terminal. It models the air (or
// the wire) between the PC and the device: bytes take their line time when pacing is on, the
// adapter echoes what the PC sends, and bytes may be lost or corrupted on the way.

#include "sim/SimDevice.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <string_view>

namespace tessera::sim {

using Clock = std::chrono::steady_clock;

// Outcome of every wait on the line.
enum class LineStatus { Ok, Timeout, Closed, Stopped, Error };

class SimLine {
public:
    struct Options {
        bool echo = false;
        bool pace = false;
        int bps = 0; // 0 = the speed the PC set on the line
        int bitsPerByte = 10;
        double drop = 0.0;
        double flip = 0.0;
        std::uint32_t seed = 1;
        std::chrono::milliseconds closeGrace{300};
    };

    SimLine();
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    bool Create(const std::string& linkPath, std::string* error);
    std::string PortName() const;
    void SetOptions(const Options& options);
    void SetStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
    SimStats& Stats() { return m_stats; }

    // Waits until the PC has opened the line and put it in raw mode.
    LineStatus WaitForPeer(Clock::time_point deadline);
    // The speed the PC set on the line, as seen when bytes first moved (0 when none did: once
    // the PC has closed the line its old settings are back).
    int PeerBps() const;

    // One byte that reached the device by `deadline`.
    LineStatus ReadByte(std::uint8_t& byte, Clock::time_point deadline);
    // Puts bytes on the line; returns when the last one has left (at line speed when pacing).
    LineStatus Write(std::string_view bytes);
    // Discards what has arrived until the line stayed quiet for `quiet` (at most until
    // `deadline`).
    LineStatus DrainUntilQuiet(std::chrono::milliseconds quiet, Clock::time_point deadline);
    // Waits until the PC has closed the line for good or `deadline` passed; what arrives is
    // dropped (after echoing it).
    LineStatus WaitForClose(Clock::time_point deadline);
    // Waits until the PC lets go of the line even for a moment (Ok), or `deadline` (Timeout):
    // a PC that closes and opens the line again between two exchanges is seen doing so.
    LineStatus WaitForHangUp(Clock::time_point deadline);

private:
    struct Pending {
        std::uint8_t byte;
        Clock::time_point due;
    };
    LineStatus Pull(Clock::time_point until);
    bool Deliver(std::uint8_t& byte);
    std::chrono::nanoseconds ByteTime() const;
    bool Chance(double p);
    bool StopRequested() const { return m_stop && m_stop->load(); }
    LineStatus CheckClosed(bool hungUp);
    LineStatus WriteRaw(const std::uint8_t* data, size_t count, Clock::time_point deadline);

    int TerminalBps() const;
    void SampleSpeed();

    int m_master = -1;
    int m_seenBps = 0;
    std::string m_slaveName;
    std::string m_linkPath;
    bool m_ownsLink = false;
    Options m_options;
    const std::atomic<bool>* m_stop = nullptr;
    std::deque<Pending> m_pending;
    Clock::time_point m_inFreeAt{};
    Clock::time_point m_outFreeAt{};
    Clock::time_point m_closedSince{};
    bool m_closed = false;
    std::mt19937 m_random;
    SimStats m_stats;
};

} // namespace tessera::sim
