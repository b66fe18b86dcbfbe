#include "app/transfer/DemoDevice.h"

#include "base/AppSettings.h"
#include "base/DataPaths.h"
#include "model/RecordKind.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#if TESSERA_HAVE_DEMO
#include "sim/SimDevice.h"
#endif

namespace tessera {

namespace {

// The tags of a text form's first line, for telling a phone book from the other samples.
std::vector<std::string> FirstLineTags(const QByteArray& text) {
    std::vector<std::string> tags;
    const QByteArray line = text.left(text.indexOf('\r'));
    const QList<QByteArray> values = line.split(',');
    for (int i = 1; i < values.size(); ++i) {
        QByteArray v = values[i];
        if (v.startsWith('"'))
            v.remove(0, 1);
        if (v.endsWith('"'))
            v.chop(1);
        tags.push_back(v.toStdString());
    }
    return tags;
}

QStringList SampleFolders() {
    QStringList folders;
    for (const QString& data : DataFolders())
        folders.append(QDir(data).filePath(QStringLiteral("samples")));
    return folders;
}

} // namespace

CDemoDevice::CDemoDevice() = default;

CDemoDevice::~CDemoDevice() {
    Stop();
}

QString CDemoDevice::SamplePhoneBook() {
    for (const QString& folder : SampleFolders()) {
        const QDir dir(folder);
        const QStringList names = dir.entryList({QStringLiteral("*.tsr")}, QDir::Files, QDir::Name);
        for (const QString& name : names) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            if (DeduceKind(FirstLineTags(f.read(4096))) == kKindPhoneBook)
                return f.fileName();
        }
    }
    return {};
}

#if !TESSERA_HAVE_DEMO

// Built without the simulated device (TESSERA_DEMO off, or no pseudo-terminals here).
bool CDemoDevice::Start(CAppSettings&) {
    fprintf(stderr, "tessera: --demo is not available in this build\n");
    return false;
}

void CDemoDevice::Loop(std::string) {}

bool CDemoDevice::IsReady() const {
    return false;
}

void CDemoDevice::Stop() {}

#else

bool CDemoDevice::Start(CAppSettings& settings) {
    const QString sample = SamplePhoneBook();
    QFile f(sample);
    if (sample.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        fprintf(stderr, "tessera: --demo: no sample phone book found\n");
        return false;
    }
    const QByteArray data = f.readAll();

    // A fixed link name, so the port stays the same across the device's exchanges.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    QDir().mkpath(dir);
    m_portName = QDir(dir).filePath(
        QStringLiteral("tessera-demo-%1").arg(QCoreApplication::applicationPid()));

    // A first device checks the line and lets the settings take the port while no exchange
    // runs; the loop below then makes the device anew at the same name for every exchange.
    sim::SimConfig probe;
    probe.method = sim::SimMethod::Cable;
    probe.role = sim::SimRole::Auto;
    probe.linkPath = m_portName.toStdString();
    // A default port (none configured) goes back as "none": empty.
    m_previousPort = settings.PortIsDefault() ? QString() : settings.Port();
    {
        sim::SimDevice test(probe);
        std::string error;
        if (!test.Open(&error)) {
            fprintf(stderr, "tessera: --demo: %s\n", error.c_str());
            m_portName.clear();
            return false;
        }
        if (!settings.SetPort(m_portName)) {
            m_portName.clear();
            return false;
        }
    }
    settings.Method = 1;
    settings.Bps = 9600;
    m_stop = false;
    m_thread = std::thread(&CDemoDevice::Loop, this, data.toStdString());
    // The loop makes the device's line anew; a receive chosen at once must find it there.
    for (int waited = 0; waited < 3000 && !IsReady(); waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
}

void CDemoDevice::Loop(std::string data) {
    std::vector<std::string> files; // add-in files stored on the device, without "S1:"
    while (!m_stop) {
        sim::SimConfig cfg;
        cfg.method = sim::SimMethod::Cable;
        cfg.role = sim::SimRole::Auto;
        cfg.sendData = data;
        cfg.has = files;
        cfg.linkPath = m_portName.toStdString();
        sim::SimDevice device(cfg);
        std::string error;
        if (!device.Open(&error))
            return;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_stop)
                return;
            m_current = &device;
        }
        const sim::SimResult result = device.Run();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_current = nullptr;
        }
        if (!result.completed)
            continue; // a failed or cancelled exchange leaves the device as it was
        if (result.played == sim::SimRole::Receive && !result.received.empty()) {
            // What Tessera sent replaces what the device held.
            data = result.received;
        } else if (result.played == sim::SimRole::PcLink) {
            for (const auto& stored : result.stored) {
                const std::string& name = stored.first;
                if (name.rfind("S1:", 0) == 0 &&
                    std::find(files.begin(), files.end(), name.substr(3)) == files.end())
                    files.push_back(name.substr(3));
            }
        }
        ++m_exchanges;
    }
}

bool CDemoDevice::IsReady() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_current != nullptr && m_current->IsWaiting();
}

void CDemoDevice::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
        if (m_current != nullptr)
            m_current->Stop();
    }
    if (m_thread.joinable())
        m_thread.join();
    if (!m_portName.isEmpty())
        QFile::remove(m_portName);
}

#endif // TESSERA_HAVE_DEMO

} // namespace tessera
