#pragma once
// Every pause and time-out of the link layer in one value. The defaults are the device's real
// figures; the product never changes them, tests pass a scaled-down copy so they run fast.

#include <cstdint>

namespace tessera {

struct LinkTiming {
    // Cable line (CCableCom).
    int cableReadIntervalMs = 500; // a block ends when the line stays silent this long
    int cableReadTotalMs = 5000;   // one empty read lasts this long
    int cableWriteTotalMs = 5000;
    int cableEmptyReads = 73; // one first read and 72 repeats: about six minutes
    int endMarkLeadMs = 1000; // silence before the lone 0x1A end byte
    int endMarkTailMs = 500;  // and after it

    // Infrared line (COpticalCom).
    int irReadIntervalMs = 400;
    int irReadTotalMs = 5000;
    int irWriteTotalMs = 5000;
    int packetGapMs = 3;          // before every packet the PC answers or sends
    int finalPacketPauseMs = 500; // after a packet numbered 0xFFFF
    int badPacketPauseMs = 400;   // before purging after a packet that cannot be taken
    int packetAttempts = 3;

    // Both lines.
    int openSettleMs = 500; // after the line settings are applied
    int pacedPauseMs = 15;  // before each write of the PC-link conversation
    // Before a frame or packet goes out again after a damaged exchange, input is read off
    // until the line stayed silent this long (and at least two byte times): a late answer to
    // the first try must not pass for the answer to the second. USB adapters hand bytes on
    // in bursts up to 16 ms apart, so a shorter silence proves nothing.
    int staleQuietMs = 20;

    // Every figure multiplied by `factor` (at least 1 ms where the figure was positive);
    // the counts (empty reads, attempts) stay as they are.
    LinkTiming Scaled(double factor) const;

    // How long `bytes` take on the line at `bitsPerSecond` with `bitsPerByte` bits per
    // character (10 for 8N1, 11 for 8O1), in microseconds.
    static std::int64_t LineTimeUs(std::int64_t bytes, int bitsPerSecond, int bitsPerByte);
};

// The time-outs of one line, in the style of the serial driver: a read ends when the count has
// arrived, when readTotalMs + readPerByteUs * count has passed, or when the line stayed silent
// for readIntervalMs after a byte arrived (0 = no interval limit). A write must have left the
// port within writeTotalMs + writePerByteUs * count.
struct LineTimeouts {
    int readIntervalMs = 0;
    int readTotalMs = 0;
    std::int64_t readPerByteUs = 0;
    int writeTotalMs = 0;
    std::int64_t writePerByteUs = 0;

    // Total read time-out for a read of `count` bytes, in milliseconds.
    std::int64_t ReadLimitMs(std::int64_t count) const;
    std::int64_t WriteLimitMs(std::int64_t count) const;
};

// The read/write time-outs for a line running at `bitsPerSecond`: at least the fixed figures,
// plus 1.5 times what a byte needs at that speed for every byte asked for, so a 512-byte block
// at 300 bps is not cut short by the fixed five seconds.
LineTimeouts SpeedAwareTimeouts(int intervalMs, int readTotalMs, int writeTotalMs,
                                int bitsPerSecond, int bitsPerByte);

} // namespace tessera
