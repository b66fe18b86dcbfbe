#pragma once
// The --demo start: a simulated device on a pseudo-terminal, ready for whichever exchange
// Tessera starts. It holds the sample phone book at first and sends what it holds whenever
// Tessera receives; what Tessera sends replaces it, so a later receive brings those records
// back, as a real device would keep them. Add-ins are answered too, and the device remembers
// their files for this run. This run's port points at it; the user's own port is what gets
// stored at exit.

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tessera {

namespace sim {
class SimDevice;
}

class CAppSettings;

class CDemoDevice {
public:
    CDemoDevice();
    ~CDemoDevice();
    CDemoDevice(const CDemoDevice&) = delete;
    CDemoDevice& operator=(const CDemoDevice&) = delete;

    // Starts the device and points `settings` at it (cable, 9600 bps). False when the
    // sample or the pseudo-terminal cannot be had; the settings are then unchanged.
    bool Start(CAppSettings& settings);
    void Stop();

    bool IsRunning() const { return m_thread.joinable(); }
    // The stable name of the line this run uses, and the port it replaced (empty when
    // none was configured).
    const QString& PortName() const { return m_portName; }
    const QString& PreviousPort() const { return m_previousPort; }
    // Exchanges the device has completed so far (failed and cancelled ones do not count).
    int Exchanges() const { return m_exchanges.load(); }
    // True while a device waits on the line for the next exchange: from the end of one
    // exchange (and the device's short linger after it) until Tessera opens the line again.
    bool IsReady() const;

    // The sample phone book the device holds (code page 932 text form); empty when none.
    static QString SamplePhoneBook();

private:
    void Loop(std::string data);

    QString m_portName;
    QString m_previousPort;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_exchanges{0};
    mutable std::mutex m_lock;
    sim::SimDevice* m_current = nullptr;
};

} // namespace tessera
