#pragma once
// The serial cable: blocks go out raw; the stream has no framing of its own, so the end of a
// record stream is seen from a short block or from the 0x1A end byte in a full one.

#include "link/ZaurusCom.h"

namespace tessera {

class CCableCom : public CZaurusCom {
public:
    explicit CCableCom(PortOptions options = {});
    ~CCableCom() override;

    bool Open(const QString& portName, int bitsPerSecond) override;
    bool ReadBlock(char* buffer, int& count) override;
    bool WriteBlock(const char* buffer, int count) override;
    bool WriteExact(const char* buffer, int count) override;
    bool ReadExact(char* buffer, int count) override;

    // A full block holding 0x1A was read: the next empty read ends the stream.
    bool EndMarkPending() const { return m_endMarkPending; }

private:
    bool WriteAll(const char* buffer, int count);

    // Kept per port (one port per transfer) so a cancelled receive cannot leave a stale mark
    // that would end the next receive at once with nothing.
    bool m_endMarkPending = false;
};

} // namespace tessera
