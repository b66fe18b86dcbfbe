// Transfer efficiency of the record stream over the line-paced simulated device, with the
// device's real timing on both sides: payload bytes per second divided by what the line can
// carry (bps / 10 on the cable, bps / 11 on infrared with its parity bit), for 100 KiB.
// The cable's fixed end-mark pauses are left out; everything else counts.
//
// Each case moves 100 KiB once; infrared at 9600 bps takes about two minutes per direction.
// Run one case with --benchmark_filter=Cable or =Ir.

#include "link/LinkTiming.h"
#include "link/RecordStream.h"
#include "link/ZaurusCom.h"
#include "sim/SimDevice.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <random>
#include <string>

namespace {

using namespace tessera;
using namespace tessera::sim;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kPayload = 100 * 1024;

// A record stream of text lines ending in CR LF and the end mark.
std::string Stream() {
    std::mt19937 r(7);
    std::string s = "\"i\",\"NAME\",\"TEL1\"\r\n";
    while (static_cast<std::int64_t>(s.size()) < kPayload - 3) {
        s += "\"D\",\"";
        for (int i = 0; i < 40 && static_cast<std::int64_t>(s.size()) < kPayload - 8; ++i)
            s += static_cast<char>('A' + r() % 26);
        s += "\"\r\n";
    }
    s.resize(static_cast<size_t>(kPayload - 3), 'x');
    s += "\r\n\x1a";
    return s;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// direction 0: PC sends to the device; 1: the device sends to the PC.
void Run(benchmark::State& state, SimMethod method, int bps, int direction) {
    const bool ir = method == SimMethod::Infrared;
    const int bitsPerByte = ir ? 11 : 10;
    const std::string data = Stream();
    const LinkTiming timing; // the real figures
    for (auto _ : state) {
        SimConfig cfg;
        cfg.method = method;
        cfg.role = direction == 0 ? SimRole::Receive : SimRole::Send;
        cfg.pace = true;
        cfg.bps = ir ? 0 : bps;
        cfg.sendData = data;
        cfg.timing.startDelay = std::chrono::milliseconds(200);
        cfg.timing.linger = std::chrono::milliseconds(2000);
        SimThread sim(cfg);
        if (!sim.Ok()) {
            state.SkipWithError(sim.OpenError().c_str());
            return;
        }
        PortOptions options;
        options.timing = timing;
        auto port = CreatePort(ir ? 0 : 1, std::move(options));
        if (!port->Open(QString::fromStdString(sim.PortName()), bps)) {
            state.SkipWithError("cannot open the simulated line");
            return;
        }
        Clock::time_point start = Clock::now(), lastByte{};
        TransferResult result;
        std::string got;
        if (direction == 0) {
            result = SendRecordStream(*port, data.data(), static_cast<std::int64_t>(data.size()));
        } else {
            result = ReceiveRecordStream(*port, [&](const char* d, int n) {
                got.append(d, static_cast<size_t>(n));
                if (got.size() == data.size())
                    lastByte = Clock::now();
                return true;
            });
        }
        port.reset();
        SimResult r = sim.Join();
        double seconds = 0;
        if (direction == 0) {
            if (result != TransferResult::Completed || !r.completed || r.received != data) {
                state.SkipWithError(("transfer failed: " + r.error).c_str());
                return;
            }
            // Without the pause before the lone 0x1A, as far as the device heard it (on a
            // pseudo-terminal the PC's writes end before the line has carried them, so part of
            // the pause is hidden behind bytes still on their way).
            seconds = Seconds(r.streamEnd - start) - Seconds(r.endMarkQuiet);
        } else {
            if (result != TransferResult::Completed || got != data) {
                state.SkipWithError("transfer failed");
                return;
            }
            seconds = Seconds(lastByte - r.streamStart);
        }
        state.SetIterationTime(seconds);
        const double limit = static_cast<double>(bps) / bitsPerByte;
        state.counters["efficiency"] = static_cast<double>(data.size()) / seconds / limit;
        state.counters["payload_Bps"] = static_cast<double>(data.size()) / seconds;
    }
}

void Cable115200_PcToDevice(benchmark::State& s) {
    Run(s, SimMethod::Cable, 115200, 0);
}
void Cable115200_DeviceToPc(benchmark::State& s) {
    Run(s, SimMethod::Cable, 115200, 1);
}
void Ir9600_PcToDevice(benchmark::State& s) {
    Run(s, SimMethod::Infrared, 9600, 0);
}
void Ir9600_DeviceToPc(benchmark::State& s) {
    Run(s, SimMethod::Infrared, 9600, 1);
}

BENCHMARK(Cable115200_PcToDevice)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(Cable115200_DeviceToPc)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(Ir9600_PcToDevice)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(Ir9600_DeviceToPc)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    // The serial line wants a Qt application object on the thread that drives it.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
