#pragma once
// The byte line under a link port. ILine is the seam: the ports talk only to it, so a
// serial port, a trace wrapper or an in-memory fake in the tests can stand behind them.
// All calls block and are meant for a worker thread without an event loop.

#include "link/LinkTiming.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QSerialPort;

namespace tessera {

enum class LineParity { None, Odd };

struct LineSettings {
    int bitsPerSecond = 9600;
    LineParity parity = LineParity::None; // always 8 data bits and one stop bit
    bool hardwareFlow = false;            // RTS/CTS handshake
    bool setDtr = false;                  // assert DTR (otherwise leave it as opening left it)
    bool setRts = false;                  // assert RTS (only without hardware flow control)
    int inputQueue = 0;                   // driver queue sizes where the platform has them
    int outputQueue = 0;

    // Bits on the line per byte: start + 8 data + parity + stop.
    int BitsPerByte() const { return parity == LineParity::None ? 10 : 11; }
};

enum PurgeFlags : unsigned { PurgeInput = 1u, PurgeOutput = 2u, PurgeBoth = 3u };

class ILine {
public:
    virtual ~ILine() = default;

    // Opens `portName` exclusively with `settings`; false when it cannot be opened or
    // configured. The settings in force before are put back by Close.
    virtual bool Open(const QString& portName, const LineSettings& settings) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual bool SetTimeouts(const LineTimeouts& timeouts) = 0;
    virtual LineTimeouts Timeouts() const = 0;

    // Reads up to `count` bytes under the time-outs. Returns how many arrived (0 after a
    // time-out with nothing), or -1 when the line failed.
    virtual std::int64_t Read(char* buffer, std::int64_t count) = 0;
    // Writes all `count` bytes and waits until they have left the port. Returns the number
    // transmitted (less than count when the write time-out passed), or -1 on failure.
    virtual std::int64_t Write(const char* buffer, std::int64_t count) = 0;
    // Waits until everything written has been transmitted.
    virtual bool Flush() = 0;
    // Discards pending input and/or output.
    virtual bool Purge(unsigned flags) = 0;

    // True (and cleared) when a framing, parity or overrun error was reported since the last
    // call. Lines that report nothing always answer false.
    virtual bool TakeLineError() = 0;

    // Consulted while a read waits, so a cancel ends the wait early (as a time-out).
    virtual void SetCancelCheck(std::function<bool()> cancelled) = 0;
};

// A serial port: QSerialPort for opening and configuring, with the blocking read/write rules
// the link protocols need. Restores the port's previous settings on close.
class SerialLine : public ILine {
public:
    SerialLine();
    ~SerialLine() override;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    bool Open(const QString& portName, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override;
    bool SetTimeouts(const LineTimeouts& timeouts) override;
    LineTimeouts Timeouts() const override { return m_timeouts; }
    std::int64_t Read(char* buffer, std::int64_t count) override;
    std::int64_t Write(const char* buffer, std::int64_t count) override;
    bool Flush() override;
    bool Purge(unsigned flags) override;
    bool TakeLineError() override;
    void SetCancelCheck(std::function<bool()> cancelled) override;

    // Why the last Open failed, for the log or a support trace (English, not shown to users).
    QString LastError() const { return m_lastError; }

private:
    // Waits until all written bytes have left the port or the deadline passed; returns how
    // many are still waiting (0 = all sent), or -1 when the line failed.
    std::int64_t Untransmitted(std::int64_t deadlineMs);
    bool Cancelled() const { return m_cancelled && m_cancelled(); }
    void ReadErrorCounters(std::int64_t (&counters)[4]);

    std::unique_ptr<QSerialPort> m_port;
    LineTimeouts m_timeouts;
    std::function<bool()> m_cancelled;
    std::int64_t m_errorBase[4] = {0, 0, 0, 0};
    bool m_hasErrorCounters = false;
    QString m_lastError;
};

// A protocol trace for support: every read and write as time-stamped hex lines in a file.
class LineTrace {
public:
    // Opens (appends to) `path`; IsOpen tells whether that worked.
    explicit LineTrace(const QString& path);
    ~LineTrace();
    LineTrace(const LineTrace&) = delete;
    LineTrace& operator=(const LineTrace&) = delete;

    bool IsOpen() const;
    // One entry: `what` ("read", "write", "open", ...) and the bytes involved, if any.
    void Log(const char* what, const char* bytes = nullptr, std::int64_t count = 0,
             const QString& note = {});

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Wraps a line and writes every operation to a trace.
class TracedLine : public ILine {
public:
    TracedLine(std::unique_ptr<ILine> inner, std::shared_ptr<LineTrace> trace);

    bool Open(const QString& portName, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return m_inner->IsOpen(); }
    bool SetTimeouts(const LineTimeouts& timeouts) override;
    LineTimeouts Timeouts() const override { return m_inner->Timeouts(); }
    std::int64_t Read(char* buffer, std::int64_t count) override;
    std::int64_t Write(const char* buffer, std::int64_t count) override;
    bool Flush() override;
    bool Purge(unsigned flags) override;
    bool TakeLineError() override;
    void SetCancelCheck(std::function<bool()> cancelled) override;

private:
    std::unique_ptr<ILine> m_inner;
    std::shared_ptr<LineTrace> m_trace;
};

} // namespace tessera
