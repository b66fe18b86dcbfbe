#include "link/ZaurusCom.h"

#include <chrono>
#include <thread>

#include "link/CableCom.h"
#include "link/OpticalCom.h"

namespace tessera {

CZaurusCom::CZaurusCom(PortOptions options) : m_options(std::move(options)) {}

CZaurusCom::~CZaurusCom() { CloseLine(); }

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
