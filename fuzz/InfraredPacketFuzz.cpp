// The infrared port's packet reader on whatever the device (or the noise in front of the
// adapter) sends. The first byte picks the echoing adapter and what the PC does: receive
// blocks, read the exact counts of the PC-link conversation, or send a block and read the
// answers. Every block the port hands up must have come off the line whole, fit its
// buffer, and the expected packet number may move on by one per block taken at most.

#include "FuzzCheck.h"
#include "FuzzLine.h"
#include "link/OpticalCom.h"

#include <string>
#include <vector>

using namespace tessera;
using tessera::fuzz::CameFrom;

namespace {

void ReceiveBlocks(COpticalCom& port, std::string_view input) {
    // A block buffer of exactly the promised room, so a write past it is seen.
    const auto buffer = std::make_unique<char[]>(kLinkBlockSize);
    for (int i = 0; i < 64; ++i) {
        const std::uint16_t before = port.ExpectedSequence();
        int count = -1;
        const bool ok = port.ReadBlock(buffer.get(), count);
        FUZZ_CHECK(count >= 0 && count <= kLinkBlockSize);
        const std::uint16_t after = port.ExpectedSequence();
        FUZZ_CHECK(after == before || after == static_cast<std::uint16_t>(before + 1));
        if (!ok) {
            FUZZ_CHECK(count == 0);
            FUZZ_CHECK(after == before);
            return;
        }
        FUZZ_CHECK(CameFrom(input, {buffer.get(), static_cast<std::size_t>(count)}));
        if (count == 0)
            return; // the end packet
    }
}

void ReadExactCounts(COpticalCom& port, std::string_view input, std::uint8_t sizes) {
    // The counts the conversation asks for: a byte, a header, a whole short frame.
    const int counts[] = {1, 4, 5, 2, 7, 255, 512, 3};
    for (int i = 0; i < 48; ++i) {
        const int count = counts[(sizes + i) % 8];
        const auto buffer = std::make_unique<char[]>(static_cast<std::size_t>(count));
        if (!port.ReadExact(buffer.get(), count))
            return;
        FUZZ_CHECK(CameFrom(input, {buffer.get(), static_cast<std::size_t>(count)}));
    }
}

void SendBlocks(COpticalCom& port, std::uint8_t mode) {
    std::vector<char> block(kLinkBlockSize);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7 + mode);
    for (int i = 0; i < 8; ++i) {
        const std::uint16_t before = port.SequenceNumber();
        // Full blocks keep the numbered packets going; the last one is short. An empty
        // packet is left out: its wait is timed by the clock alone.
        const int count = i == 7 ? 1 + mode % 64 : kLinkBlockSize;
        const bool ok = port.WriteBlock(block.data(), count);
        if (!ok) {
            // A full block that did not go keeps its number for the next attempt.
            if (count == kLinkBlockSize)
                FUZZ_CHECK(port.SequenceNumber() == before);
            return;
        }
        if (count == kLinkBlockSize && before != ir::kFinalSequence)
            FUZZ_CHECK(port.SequenceNumber() == static_cast<std::uint16_t>(before + 1));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const tessera::fuzz::ExactBlock input(data + 1, size - 1);
    tessera::fuzz::FuzzPeer peer;
    peer.data = input.data();
    peer.size = input.size();

    COpticalCom port(tessera::fuzz::FuzzOptions(peer, (mode & 1) != 0));
    FUZZ_CHECK(port.Open(QStringLiteral("fuzz"), 9600));
    switch ((mode >> 1) & 3) {
    case 0:
        ReceiveBlocks(port, input.view());
        break;
    case 1:
        ReadExactCounts(port, input.view(), mode >> 3);
        break;
    case 2:
        SendBlocks(port, mode >> 3);
        break;
    default:
        // Both directions on one port, as the conversation does.
        SendBlocks(port, mode >> 3);
        ReadExactCounts(port, input.view(), mode >> 3);
        break;
    }
    return 0;
}
