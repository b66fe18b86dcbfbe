#pragma once
// Helpers for the link tests: an in-memory line whose far end is a scripted peer, a raw
// pseudo-terminal pair, and a line over a plain file descriptor for the far end of a pty.

#include "link/LinkTiming.h"
#include "link/SerialLine.h"
#include "link/ZaurusCom.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessera::test {

// Timing for tests: every figure a hundredth of the real one (at least 1 ms), so a whole
// exchange with retries runs in well under a second.
LinkTiming FastTiming();

// The far end of a FakeLine. Bytes the device sends come in bursts: one read returns bytes
// from the front burst only, as a real read ends when the line falls silent.
struct FakePeer {
    std::deque<std::string> bursts;
    std::vector<std::string> writes; // every Write call of the port, in order
    std::string written;             // all bytes written
    std::vector<std::string> events; // "open", "purge 1", "write", "read 0", ...
    // Called after every Write with the bytes just written; may queue answers.
    std::function<void(FakePeer&, const std::string&)> onWrite;
    // Called when a read finds nothing queued; may queue bytes (the device speaking up).
    std::function<void(FakePeer&)> onIdle;
    LineSettings settings;
    LineTimeouts timeouts;
    bool openFails = false;
    bool writeFails = false;
    bool lineErrorOnNextRead = false;
    // Decides from the bytes one read delivered whether the driver reports a line error.
    std::function<bool(const std::string&)> damages;
    int emptyReads = 0;
    int reads = 0;
    bool open = false;
    bool echo = false; // hand every written byte back as input first (an echoing adapter)

    void Send(const std::string& bytes) {
        if (!bytes.empty())
            bursts.push_back(bytes);
    }
    size_t Pending() const;
};

class FakeLine : public ILine {
public:
    explicit FakeLine(std::shared_ptr<FakePeer> peer) : m_peer(std::move(peer)) {}
    bool Open(const QString& portName, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return m_peer->open; }
    bool SetTimeouts(const LineTimeouts& timeouts) override;
    LineTimeouts Timeouts() const override { return m_peer->timeouts; }
    std::int64_t Read(char* buffer, std::int64_t count) override;
    std::int64_t Write(const char* buffer, std::int64_t count) override;
    bool Flush() override { return true; }
    bool Purge(unsigned flags) override;
    bool TakeLineError() override;
    void SetCancelCheck(std::function<bool()>) override {}

private:
    std::shared_ptr<FakePeer> m_peer;
    bool m_lineError = false;
};

// Port options that put a FakeLine with `peer` under the port.
PortOptions FakeOptions(const std::shared_ptr<FakePeer>& peer, bool ignoreEcho = false);

// A pseudo-terminal pair in raw mode; the slave's path is what a port opens.
struct PtyPair {
    int master = -1;
    int slave = -1; // kept open so the line does not hang up between opens
    std::string slavePath;
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;
    bool Ok() const { return master >= 0 && slave >= 0; }
    QString Path() const { return QString::fromStdString(slavePath); }
    // Raw access to the master side.
    bool WriteMaster(const std::string& bytes) const;
    // Reads what arrives at the master within `ms`, stopping early once `count` arrived.
    std::string ReadMaster(size_t count, int ms) const;
};

// An ILine over a file descriptor that someone else owns (the master side of a pty), with
// the same read/write time-out rules as SerialLine.
class FdLine : public ILine {
public:
    explicit FdLine(int fd) : m_fd(fd) {}
    bool Open(const QString&, const LineSettings& settings) override;
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    bool SetTimeouts(const LineTimeouts& timeouts) override;
    LineTimeouts Timeouts() const override { return m_timeouts; }
    std::int64_t Read(char* buffer, std::int64_t count) override;
    std::int64_t Write(const char* buffer, std::int64_t count) override;
    bool Flush() override { return true; }
    bool Purge(unsigned flags) override;
    bool TakeLineError() override { return false; }
    void SetCancelCheck(std::function<bool()>) override {}

private:
    int m_fd;
    bool m_open = false;
    LineTimeouts m_timeouts;
};

PortOptions FdOptions(int fd, const LinkTiming& timing);

// Byte helpers.
std::string Bytes(std::initializer_list<int> values);
std::string Pattern(size_t length, unsigned seed = 1);
std::string CommandPacketBytes(int code);
// A data packet as the device would send it; `lengthField`/`checksum` override the true values.
std::string DataPacketBytes(const std::string& data, int sequence, int lengthField = -1,
                            int checksum = -1);
// Splits a written buffer into packets of the infrared line: returns (type, code-or-sequence,
// payload) for each packet found in `bytes`.
struct ParsedPacket {
    int type = 0;     // 0x82 command, 0x81 data
    int code = 0;     // command code
    int sequence = 0; // data packets
    int length = 0;
    int checksum = 0;
    std::string data;
};
std::vector<ParsedPacket> ParsePackets(const std::string& bytes);

} // namespace tessera::test
