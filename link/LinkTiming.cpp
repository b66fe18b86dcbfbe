#include "link/LinkTiming.h"

#include <cmath>
#include <initializer_list>

namespace tessera {

namespace {
int ScaleMs(int ms, double factor) {
    if (ms <= 0)
        return ms;
    const double scaled = std::ceil(ms * factor);
    return scaled < 1.0 ? 1 : static_cast<int>(scaled);
}
} // namespace

LinkTiming LinkTiming::Scaled(double factor) const {
    LinkTiming t = *this;
    for (int* ms : {&t.cableReadIntervalMs, &t.cableReadTotalMs, &t.cableWriteTotalMs,
                    &t.endMarkLeadMs, &t.endMarkTailMs, &t.irReadIntervalMs, &t.irReadTotalMs,
                    &t.irWriteTotalMs, &t.packetGapMs, &t.finalPacketPauseMs, &t.badPacketPauseMs,
                    &t.openSettleMs, &t.pacedPauseMs, &t.staleQuietMs})
        *ms = ScaleMs(*ms, factor);
    return t;
}

std::int64_t LinkTiming::LineTimeUs(std::int64_t bytes, int bitsPerSecond, int bitsPerByte) {
    if (bitsPerSecond <= 0 || bytes <= 0)
        return 0;
    return (bytes * bitsPerByte * 1000000 + bitsPerSecond - 1) / bitsPerSecond;
}

std::int64_t LineTimeouts::ReadLimitMs(std::int64_t count) const {
    return readTotalMs + (readPerByteUs * count + 999) / 1000;
}

std::int64_t LineTimeouts::WriteLimitMs(std::int64_t count) const {
    return writeTotalMs + (writePerByteUs * count + 999) / 1000;
}

LineTimeouts SpeedAwareTimeouts(int intervalMs, int readTotalMs, int writeTotalMs,
                                int bitsPerSecond, int bitsPerByte) {
    LineTimeouts t;
    t.readIntervalMs = intervalMs;
    t.readTotalMs = readTotalMs;
    t.writeTotalMs = writeTotalMs;
    // 1.5 times the time of one byte on the line, for every byte of the call.
    const std::int64_t perByte = LinkTiming::LineTimeUs(1, bitsPerSecond, bitsPerByte);
    t.readPerByteUs = perByte + perByte / 2;
    t.writePerByteUs = t.readPerByteUs;
    return t;
}

} // namespace tessera
