#include "IrDevice.h"

#include "link/OpticalCom.h"

namespace tessera::test {

void IrDevice::Attach(const std::shared_ptr<FakePeer>& peer, const std::shared_ptr<IrDevice>& dev) {
    std::weak_ptr<IrDevice> weak = dev;
    peer->onWrite = [weak](FakePeer& p, const std::string& bytes) {
        auto d = weak.lock();
        if (!d)
            return;
        for (const ParsedPacket& pk : ParsePackets(bytes)) {
            if (pk.type == ir::kDataType) {
                d->received.push_back(pk);
                int answer = ir::ACK;
                if (!d->dataAnswers.empty()) {
                    answer = d->dataAnswers.front();
                    d->dataAnswers.pop_front();
                }
                if (answer >= 0)
                    p.Send(CommandPacketBytes(answer));
                if (answer == ir::ACK && d->onData)
                    d->onData(*d, pk.data);
                continue;
            }
            switch (pk.code) {
            case ir::ENQ: {
                ++d->enqCount;
                int answer = ir::SYN;
                if (!d->enqAnswers.empty()) {
                    answer = d->enqAnswers.front();
                    d->enqAnswers.pop_front();
                }
                if (answer >= 0)
                    p.Send(CommandPacketBytes(answer));
                break;
            }
            case ir::SYN:
                d->pcWrites.push_back("SYN");
                if (d->enqSent && !d->outgoing.empty()) {
                    p.Send(d->outgoing.front());
                    d->awaitingAnswer = true;
                }
                break;
            case ir::ACK:
            case ir::NAK:
            case ir::CAN:
                d->pcWrites.push_back(pk.code == ir::ACK   ? "ACK"
                                      : pk.code == ir::NAK ? "NAK"
                                                           : "CAN");
                d->pcAnswers.push_back(pk.code);
                if (pk.code == ir::CAN) {
                    d->outgoing.clear();
                } else if (d->awaitingAnswer) {
                    if (pk.code == ir::ACK) {
                        d->outgoing.pop_front();
                    } else if (!d->resend.empty()) {
                        d->outgoing.front() = d->resend.front();
                        d->resend.pop_front();
                    }
                }
                d->awaitingAnswer = false;
                d->enqSent = false;
                break;
            default:
                break;
            }
        }
    };
    peer->onIdle = [weak](FakePeer& p) {
        auto d = weak.lock();
        if (!d)
            return;
        if (!d->outgoing.empty() && !d->enqSent && !d->awaitingAnswer) {
            d->enqSent = true;
            p.Send(CommandPacketBytes(ir::ENQ));
        } else if (d->noise) {
            p.Send(Bytes({0x00, 0x55, 0x00, 0x96, 0xAA, 0x13}));
        }
    };
}

} // namespace tessera::test
