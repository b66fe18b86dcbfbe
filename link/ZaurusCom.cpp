#include "link/ZaurusCom.h"

#include "link/CableCom.h"
#include "link/OpticalCom.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tessera {

CZaurusCom::CZaurusCom(PortOptions options) : m_options(std::move(options)) {}

CZaurusCom::~CZaurusCom() {
    CloseLine();
}

bool CZaurusCom::OpenLine(const QString& portName, const LineSettings& settings) {
    CloseLine();
    std::unique_ptr<ILine> line =
        m_options.lineFactory ? m_options.lineFactory() : std::make_unique<SerialLine>();
    if (!line)
        return false;
    if (!m_options.traceFile.isEmpty()) {
        auto trace = std::make_shared<LineTrace>(m_options.traceFile);
        // A trace that cannot be written must not stop the transfer.
        if (trace->IsOpen())
            line = std::make_unique<TracedLine>(std::move(line), std::move(trace));
    }
    if (m_options.cancelled)
        line->SetCancelCheck(m_options.cancelled);
    m_line = std::move(line);
    return m_line->Open(portName, settings);
}

void CZaurusCom::CloseLine() {
    if (m_line) {
        m_line->Close();
        m_line.reset();
    }
}

bool CZaurusCom::CheckCancel() {
    if (m_options.cancelled && m_options.cancelled()) {
        m_wasCancelled = true;
        return true;
    }
    return false;
}

bool CZaurusCom::WasCancelled() const {
    return m_wasCancelled || (m_options.cancelled && m_options.cancelled());
}

void CZaurusCom::DiscardInput(bool untilQuiet) {
    if (!m_line)
        return;
    if (untilQuiet) {
        DrainLine();
        return;
    }
    m_line->Purge(PurgeInput);
    m_line->TakeLineError();
}

void CZaurusCom::DrainLine() {
    if (!m_line)
        return;
    m_line->Purge(PurgeInput);
    const LineTimeouts saved = m_line->Timeouts();
    // Two byte times at the line's speed (the per-byte figure is 1.5 byte times).
    const std::int64_t twoBytesMs = (saved.readPerByteUs * 4 / 3 + 999) / 1000;
    const int quietMs = static_cast<int>(std::max<std::int64_t>(
        {static_cast<std::int64_t>(m_options.timing.staleQuietMs), twoBytesMs, 1}));
    LineTimeouts quiet = saved;
    quiet.readIntervalMs = quietMs;
    quiet.readTotalMs = quietMs;
    quiet.readPerByteUs = 0;
    m_line->SetTimeouts(quiet);
    using namespace std::chrono;
    const auto until = steady_clock::now() + milliseconds(std::max(saved.readTotalMs, quietMs));
    char sink[64];
    while (steady_clock::now() < until && m_line->Read(sink, sizeof sink) > 0) {
    }
    m_line->SetTimeouts(saved);
    // Damage in what was thrown away says nothing about what comes next.
    m_line->TakeLineError();
}

void CZaurusCom::Pause(int ms) const {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::unique_ptr<CZaurusCom> CreatePort(int method, PortOptions options) {
    if (method == 0)
        return std::make_unique<COpticalCom>(std::move(options));
    return std::make_unique<CCableCom>(std::move(options));
}

} // namespace tessera
