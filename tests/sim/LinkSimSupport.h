#pragma once
// The real link ports against the simulated device: each test runs the device on its own
// thread and the PC side (a real SerialLine under CCableCom or COpticalCom) on the test's.

#include "link/LinkTiming.h"
#include "link/RecordStream.h"
#include "link/ZaurusCom.h"
#include "sim/SimDevice.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tessera::sim::test {

// One scale for both sides keeps their patience in the real proportion.
inline constexpr double kScale = 0.1;

LinkTiming PcTiming(double scale = kScale);
SimConfig DeviceConfig(SimMethod method, SimRole role, double scale = kScale);

std::unique_ptr<CZaurusCom> MakePort(SimMethod method, bool echo, const LinkTiming& timing);

struct PcOutcome {
    bool opened = false;
    TransferResult result = TransferResult::Failed;
    std::string data; // what the PC received
};

// Opens the port at `portName` and receives a record stream / sends `data`.
PcOutcome PcReceive(CZaurusCom& port, const std::string& portName, int bps = 9600);
PcOutcome PcSend(CZaurusCom& port, const std::string& portName, const std::string& data,
                 int bps = 9600);

// Stream contents: on the cable the text form never holds 0x1A but ends with it; on infrared
// any byte may travel.
std::string CableStream(size_t length, unsigned seed);
std::string AnyBytes(size_t length, unsigned seed);

} // namespace tessera::sim::test
