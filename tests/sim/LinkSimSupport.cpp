#include "tests/sim/LinkSimSupport.h"

#include "support/TestApp.h"

#include <gtest/gtest.h>
#include <random>

namespace tessera::sim::test {

LinkTiming PcTiming(double scale) {
    return LinkTiming{}.Scaled(scale);
}

SimConfig DeviceConfig(SimMethod method, SimRole role, double scale) {
    SimConfig c;
    c.method = method;
    c.role = role;
    c.timing = SimTiming{}.Scaled(scale);
    return c;
}

std::unique_ptr<CZaurusCom> MakePort(SimMethod method, bool echo, const LinkTiming& timing) {
    PortOptions o;
    o.timing = timing;
    o.ignoreEcho = echo;
    return CreatePort(method == SimMethod::Infrared ? 0 : 1, std::move(o));
}

PcOutcome PcReceive(CZaurusCom& port, const std::string& portName, int bps) {
    PcOutcome out;
    out.opened = port.Open(QString::fromStdString(portName), bps);
    if (!out.opened)
        return out;
    out.result = ReceiveRecordStream(port, [&](const char* d, int n) {
        out.data.append(d, static_cast<size_t>(n));
        return true;
    });
    return out;
}

PcOutcome PcSend(CZaurusCom& port, const std::string& portName, const std::string& data, int bps) {
    PcOutcome out;
    out.opened = port.Open(QString::fromStdString(portName), bps);
    if (!out.opened)
        return out;
    out.result = SendRecordStream(port, data.data(), static_cast<std::int64_t>(data.size()));
    return out;
}

std::string CableStream(size_t length, unsigned seed) {
    std::mt19937 r(seed);
    std::string s;
    for (size_t i = 0; i + 1 < length; ++i) {
        // Code page 932 text bytes; never the end mark.
        auto b = static_cast<char>(0x20 + r() % 0xDF);
        s += b == 0x1A ? 'x' : b;
    }
    if (length > 0)
        s += '\x1a';
    return s;
}

std::string AnyBytes(size_t length, unsigned seed) {
    std::mt19937 r(seed);
    std::string s(length, '\0');
    for (auto& c : s)
        c = static_cast<char>(r() & 0xFF);
    return s;
}

} // namespace tessera::sim::test

// QSerialPort wants a Qt application object on the thread that drives it.
namespace {
[[maybe_unused]] ::testing::Environment* const g_qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new tessera::test::CoreAppEnvironment);
} // namespace
