#pragma once
// A scripted infrared device for the in-memory line: it answers the PC's packets and sends
// its own, with faults on demand. Installed on a FakePeer through Attach.

#include "LinkTestSupport.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessera::test {

struct IrDevice {
    // --- PC to device ---
    // Answers to the PC's ENQs and data packets, in turn; when empty: SYN and ACK.
    // -1 answers nothing.
    std::deque<int> enqAnswers;
    std::deque<int> dataAnswers;
    std::vector<ParsedPacket> received; // data packets the PC sent
    int enqCount = 0;

    // --- device to PC ---
    // Packets (raw bytes) the device offers, each after its own ENQ/SYN; a NAK sends the
    // front again (or the next of `resend` if any), an ACK moves on.
    std::deque<std::string> outgoing;
    std::deque<std::string> resend;
    std::vector<int> pcAnswers;        // ACK/NAK/CAN the PC wrote back
    std::vector<std::string> pcWrites; // every command code the PC wrote, by name
    bool enqSent = false;
    bool awaitingAnswer = false;
    // Called with the data of every packet the device accepted (after its ACK went out).
    std::function<void(IrDevice&, const std::string&)> onData;
    // Noise on an idle line instead of silence.
    bool noise = false;

    static void Attach(const std::shared_ptr<FakePeer>& peer, const std::shared_ptr<IrDevice>& dev);
};

} // namespace tessera::test
