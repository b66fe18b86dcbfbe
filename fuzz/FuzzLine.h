#pragma once
// A line for the link fuzz targets: the device's side is the fuzz input, handed out in the
// pieces the port asks for; once it is used up every read times out at once. Writes are
// kept so a target can look at what the port sent. Every pause of the port is zero, and
// every read limit so long that no wall-clock deadline ever ends a wait: a run depends on
// the input alone.

#include "link/LinkTiming.h"
#include "link/SerialLine.h"
#include "link/ZaurusCom.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace tessera::fuzz {

struct FuzzPeer {
    const char* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
    std::string written;
    bool open = false;
    LineTimeouts timeouts;

    std::string_view Input() const { return {data, size}; }
};

class FuzzLine : public ILine {
public:
    explicit FuzzLine(FuzzPeer& peer) : m_peer(peer) {}
    bool Open(const QString&, const LineSettings&) override { return m_peer.open = true; }
    void Close() override { m_peer.open = false; }
    bool IsOpen() const override { return m_peer.open; }
    bool SetTimeouts(const LineTimeouts& timeouts) override {
        m_peer.timeouts = timeouts;
        return true;
    }
    LineTimeouts Timeouts() const override { return m_peer.timeouts; }
    std::int64_t Read(char* buffer, std::int64_t count) override {
        if (count < 0)
            return -1;
        const std::size_t left = m_peer.size - m_peer.position;
        const std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(count));
        if (n > 0)
            std::memcpy(buffer, m_peer.data + m_peer.position, n);
        m_peer.position += n;
        return static_cast<std::int64_t>(n);
    }
    std::int64_t Write(const char* buffer, std::int64_t count) override {
        if (count < 0)
            return -1;
        // Only the start of a long conversation is worth keeping.
        if (m_peer.written.size() < 65536)
            m_peer.written.append(buffer, static_cast<std::size_t>(count));
        return count;
    }
    bool Flush() override { return true; }
    // Pending input is the rest of the fuzz input: dropping it would only waste the input.
    bool Purge(unsigned) override { return true; }
    bool TakeLineError() override { return false; }
    void SetCancelCheck(std::function<bool()>) override {}

private:
    FuzzPeer& m_peer;
};

inline LinkTiming FuzzTiming() {
    LinkTiming t;
    for (int* ms : {&t.endMarkLeadMs, &t.endMarkTailMs, &t.packetGapMs, &t.finalPacketPauseMs,
                    &t.badPacketPauseMs, &t.openSettleMs, &t.pacedPauseMs})
        *ms = 0;
    for (int* ms : {&t.cableReadIntervalMs, &t.cableReadTotalMs, &t.cableWriteTotalMs,
                    &t.irReadIntervalMs, &t.irReadTotalMs, &t.irWriteTotalMs})
        *ms = 3600 * 1000;
    t.cableEmptyReads = 2;
    return t;
}

inline PortOptions FuzzOptions(FuzzPeer& peer, bool ignoreEcho) {
    PortOptions o;
    o.timing = FuzzTiming();
    o.ignoreEcho = ignoreEcho;
    o.lineFactory = [&peer] { return std::make_unique<FuzzLine>(peer); };
    return o;
}

// True when `piece` occurs somewhere in `whole`: what a port hands up must have come off
// the line.
inline bool CameFrom(std::string_view whole, std::string_view piece) {
    return whole.find(piece) != std::string_view::npos;
}

} // namespace tessera::fuzz
