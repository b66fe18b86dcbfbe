#include "link/CableCom.h"

#include <cstring>

namespace tessera {

namespace {
constexpr char kEndOfFile = 0x1A;
constexpr int kCableQueueSize = 1024;
} // namespace

CCableCom::CCableCom(PortOptions options) : CZaurusCom(std::move(options)) {}

CCableCom::~CCableCom() = default;

bool CCableCom::Open(const QString& portName, int bitsPerSecond) {
    LineSettings s;
    s.bitsPerSecond = bitsPerSecond;
    s.parity = LineParity::None;
    s.hardwareFlow = true;
    s.setDtr = true;
    s.inputQueue = kCableQueueSize;
    s.outputQueue = kCableQueueSize;
    if (!OpenLine(portName, s))
        return false;
    m_line->Purge(PurgeBoth);
    const LinkTiming& t = Timing();
    if (!m_line->SetTimeouts(SpeedAwareTimeouts(t.cableReadIntervalMs, t.cableReadTotalMs,
                                                t.cableWriteTotalMs, bitsPerSecond,
                                                s.BitsPerByte())))
        return false;
    m_endMarkPending = false;
    Pause(t.openSettleMs);
    return true;
}

bool CCableCom::ReadBlock(char* buffer, int& count) {
    count = 0;
    if (!m_line)
        return false;
    for (int attempt = 0; attempt < Timing().cableEmptyReads; ++attempt) {
        if (CheckCancel())
            break;
        const std::int64_t n = m_line->Read(buffer, kLinkBlockSize);
        // A cancel can cut a read short; such a block must not pass for the stream's end.
        if (CheckCancel())
            break;
        // The raw stream has no checksum: a framing, parity or overrun error reported by the
        // driver is the only sign of damaged bytes, so such a read fails.
        if (n < 0 || m_line->TakeLineError())
            break;
        if (n > 0) {
            count = static_cast<int>(n);
            m_endMarkPending =
                n == kLinkBlockSize && std::memchr(buffer, kEndOfFile, kLinkBlockSize) != nullptr;
            return true;
        }
        if (CheckCancel())
            break;
        if (m_endMarkPending) {
            // A full block held the end byte and nothing followed: the stream has ended.
            m_endMarkPending = false;
            return true;
        }
    }
    m_endMarkPending = false;
    return false;
}

bool CCableCom::WriteAll(const char* buffer, int count) {
    return m_line && m_line->Write(buffer, count) == count;
}

bool CCableCom::WriteBlock(const char* buffer, int count) {
    if (count < 0 || !m_line)
        return false;
    if (count == 0)
        return true;
    if (buffer[count - 1] == kEndOfFile) {
        // The device needs the end byte on its own, with a silence before and after it.
        if (count >= 2 && !WriteAll(buffer, count - 1))
            return false;
        Pause(Timing().endMarkLeadMs);
        const bool ok = WriteAll(&kEndOfFile, 1);
        Pause(Timing().endMarkTailMs);
        return ok;
    }
    return WriteAll(buffer, count);
}

bool CCableCom::WriteExact(const char* buffer, int count) {
    if (count < 0)
        return false;
    if (!WriteAll(buffer, count))
        return false;
    m_line->Flush();
    return true;
}

bool CCableCom::ReadExact(char* buffer, int count) {
    if (count < 0 || !m_line)
        return false;
    if (count == 0)
        return true;
    const std::int64_t n = m_line->Read(buffer, count);
    if (m_line->TakeLineError())
        return false;
    return n == count;
}

} // namespace tessera
