#pragma once
// The link port: one object per transfer, created, used and deleted by the worker. Deleting it
// closes the line and puts the port's previous settings back.

#include "link/LinkTiming.h"
#include "link/SerialLine.h"

#include <QString>
#include <functional>
#include <memory>

namespace tessera {

// Largest block the block operations move, and the packet payload limit on infrared.
inline constexpr int kLinkBlockSize = 512;

using LineFactory = std::function<std::unique_ptr<ILine>()>;

struct PortOptions {
    LinkTiming timing;               // defaults are the device's figures
    bool ignoreEcho = false;         // infrared adapter echoes what the PC transmits
    std::function<bool()> cancelled; // consulted between reads and attempts; may be empty
    QString traceFile;               // protocol trace for support; empty = none
    LineFactory lineFactory;         // empty = a real SerialLine
};

class CZaurusCom {
public:
    explicit CZaurusCom(PortOptions options);
    virtual ~CZaurusCom();
    CZaurusCom(const CZaurusCom&) = delete;
    CZaurusCom& operator=(const CZaurusCom&) = delete;

    // Opens the named port (a platform path such as /dev/ttyUSB0) at the given speed.
    virtual bool Open(const QString& portName, int bitsPerSecond) = 0;
    // Reads one block of at most 512 bytes into `buffer` (room for 512); `count` gets its size.
    virtual bool ReadBlock(char* buffer, int& count) = 0;
    // Writes one block of at most 512 bytes.
    virtual bool WriteBlock(const char* buffer, int count) = 0;
    // The exact-count operations of the PC-link conversation.
    virtual bool WriteExact(const char* buffer, int count) = 0;
    virtual bool ReadExact(char* buffer, int count) = 0;

    // Throws away what the peer sent and nobody has read: the input queue and, with
    // `untilQuiet`, whatever arrives until the line has been silent for a while
    // (LinkTiming::staleQuietMs). Used before anything is sent again after a damaged
    // exchange, and (without the wait) before a new frame of a turn-taking conversation.
    virtual void DiscardInput(bool untilQuiet);

    // True when an operation ended because the user cancelled (the cancel check said so).
    bool WasCancelled() const;
    const LinkTiming& Timing() const { return m_options.timing; }
    // The line in use after Open (nullptr before); for tests and diagnostics.
    ILine* Line() const { return m_line.get(); }

protected:
    // Creates the line (with the trace around it when asked) and opens it.
    bool OpenLine(const QString& portName, const LineSettings& settings);
    void CloseLine();
    bool CheckCancel();
    void Pause(int ms) const;
    // The line part of DiscardInput: purge, then read until quiet. Bounded by the read
    // time-out, so noise that never stops cannot hold it for ever.
    void DrainLine();

    PortOptions m_options;
    std::unique_ptr<ILine> m_line;
    bool m_wasCancelled = false;
};

// Link method of the settings: 0 selects infrared, anything else the cable.
std::unique_ptr<CZaurusCom> CreatePort(int method, PortOptions options);

} // namespace tessera
