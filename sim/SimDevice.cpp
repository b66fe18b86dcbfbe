#include "sim/SimDevice.h"

#include "sim/DeviceConversation.h"
#include "sim/DeviceIr.h"
#include "sim/DeviceStore.h"
#include "sim/SimLine.h"

#include <algorithm>
#include <cmath>

namespace tessera::sim {

namespace {

constexpr char kEndMark = 0x1A;
constexpr std::uint8_t kSoh = 0x01;
constexpr size_t kBlock = 512;

SimTiming::ms Scale(SimTiming::ms d, double factor) {
    if (d.count() <= 0)
        return d;
    auto v = static_cast<long long>(std::llround(static_cast<double>(d.count()) * factor));
    return SimTiming::ms(std::max<long long>(1, v));
}

// One exchange as the device plays it.
class Exchange {
public:
    Exchange(SimLine& line, const SimConfig& config, SimResult& result)
        : m_line(line), m_config(config), m_result(result),
          m_ir(line, config.timing, config.faults) {}

    bool Play() {
        Playing(m_config.role);
        if (m_config.faults.mute)
            return Mute();
        bool ir = m_config.method == SimMethod::Infrared;
        switch (m_config.role) {
        case SimRole::Send:
            return ir ? InfraredSend() : CableSend();
        case SimRole::Receive:
            return ir ? InfraredReceive() : CableReceive();
        case SimRole::PcLink:
            return PcLink();
        case SimRole::Auto:
            return ir ? InfraredAuto() : CableAuto();
        }
        return false;
    }

    // A further stream of a Send, once the gap since the previous one has passed: the user
    // has picked the next kind and starts its send without waiting for the PC again.
    bool PlayStream() {
        Playing(SimRole::Send);
        return m_config.method == SimMethod::Infrared ? InfraredStream() : CableStream();
    }

    // After the exchange: stay on the line until the PC lets go, answering repeats of the last
    // infrared packet whose ACK the PC may have missed.
    void Linger() {
        auto deadline = Clock::now() + m_config.timing.linger;
        if (m_config.method == SimMethod::Infrared && m_role == SimRole::Receive &&
            m_result.completed) {
            auto judge = [this](std::uint16_t number, const std::string& data) {
                if (data.empty())
                    return Verdict::EndSilent;
                return number == m_lastNumber && data == m_lastData ? Verdict::Repeat
                                                                    : Verdict::Reject;
            };
            while (Clock::now() < deadline) {
                std::string data;
                bool ended = false;
                auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                Outcome out = m_ir.ReceivePacket(judge, left, data, ended);
                if (out == Outcome::Closed || out == Outcome::Stopped || out == Outcome::Timeout)
                    return;
            }
            return;
        }
        m_line.WaitForClose(deadline);
    }

private:
    // A packet the device took in before it knew which part it plays.
    struct FirstPacket {
        std::uint16_t number = 0;
        std::string data;
        bool ended = false; // the empty final packet
    };

    void Playing(SimRole role) {
        m_role = role;
        m_result.played = role;
    }

    bool Fail(const std::string& why) {
        if (m_result.error.empty())
            m_result.error = why;
        return false;
    }

    bool FailLine(LineStatus st, const std::string& what) {
        switch (st) {
        case LineStatus::Closed:
            return Fail(what + ": the PC closed the line");
        case LineStatus::Stopped:
            return Fail("stopped");
        case LineStatus::Timeout:
            return Fail(what + ": time-out");
        default:
            return Fail(what + ": line error");
        }
    }

    bool FailIr(Outcome out, const std::string& what) {
        std::string detail = m_ir.LastError();
        switch (out) {
        case Outcome::Closed:
            return Fail(what + ": the PC closed the line");
        case Outcome::Stopped:
            return Fail("stopped");
        case Outcome::Cancelled:
            return Fail(what + ": the PC cancelled the transfer");
        default:
            return Fail(what + (detail.empty() ? std::string() : ": " + detail));
        }
    }

    // The user walks to the device and starts its send: the device is idle meanwhile.
    bool WaitStart() {
        auto until = Clock::now() + m_config.timing.startDelay;
        LineStatus st = m_line.WaitForClose(until);
        if (st == LineStatus::Timeout)
            return true;
        return FailLine(st, "before the send started");
    }

    bool Mute() {
        m_line.WaitForClose(Clock::now() + m_config.timing.firstWait);
        return Fail("the device is mute: nothing was answered");
    }

    bool CableSend() {
        if (!WaitStart())
            return false;
        return CableStream();
    }

    bool CableStream() {
        m_result.streamStart = Clock::now();
        LineStatus st = m_line.Write(m_config.sendData);
        m_result.streamEnd = Clock::now();
        if (st != LineStatus::Ok)
            return FailLine(st, "sending the stream");
        return true;
    }

    bool CableReceive() {
        std::uint8_t b = 0;
        LineStatus st = m_line.ReadByte(b, Clock::now() + m_config.timing.firstWait);
        if (st == LineStatus::Timeout)
            return Fail("nothing arrived: the PC never sent a stream");
        if (st != LineStatus::Ok)
            return FailLine(st, "waiting for the stream");
        return CableReceiveFrom(b);
    }

    // The rest of a stream whose first byte has arrived.
    bool CableReceiveFrom(std::uint8_t first) {
        const auto& t = m_config.timing;
        std::string& in = m_result.received;
        std::uint8_t b = 0;
        in += static_cast<char>(first);
        m_result.streamStart = m_result.streamEnd = Clock::now();
        for (;;) {
            // The PC sends the end mark alone after a pause; quiet after it ends the stream.
            auto gap = in.back() == kEndMark ? t.endQuiet : t.streamGap;
            auto before = m_result.streamEnd;
            LineStatus st = m_line.ReadByte(b, Clock::now() + gap);
            if (st == LineStatus::Ok) {
                in += static_cast<char>(b);
                m_result.streamEnd = Clock::now();
                if (b == kEndMark)
                    m_result.endMarkQuiet = m_result.streamEnd - before;
                continue;
            }
            // Quiet after the end mark, or the PC letting go of the line right after it.
            if ((st == LineStatus::Timeout || st == LineStatus::Closed) && in.back() == kEndMark)
                return true;
            if (st == LineStatus::Timeout)
                return Fail("the stream stopped after " + std::to_string(in.size()) +
                            " bytes without its end mark");
            return FailLine(st,
                            "receiving the stream after " + std::to_string(in.size()) + " bytes");
        }
    }

    bool InfraredSend() {
        if (!WaitStart())
            return false;
        return InfraredStream();
    }

    bool InfraredStream() {
        const std::string& all = m_config.sendData;
        std::uint16_t number = 1;
        m_result.streamStart = Clock::now();
        // floor(L/512)+1 blocks: the last is short, and empty when L is a multiple of 512.
        for (size_t at = 0;; at += kBlock) {
            std::string block = all.substr(std::min(at, all.size()), kBlock);
            bool last = block.size() < kBlock;
            std::uint16_t n = last ? ir::kLastNumber : number++;
            auto wait = at == 0 ? m_config.timing.firstWait : m_config.timing.replyWait;
            Outcome out = m_ir.SendPacket(block, n, wait);
            if (out != Outcome::Ok)
                return FailIr(out, "sending packet " + std::to_string(at / kBlock + 1));
            m_result.streamEnd = Clock::now();
            if (last)
                return true;
        }
    }

    // `taken` is the stream's first packet when it has already been acknowledged.
    bool InfraredReceive(const FirstPacket* taken = nullptr) {
        std::uint16_t expected = 1;
        bool final = false;
        auto keep = [&](std::uint16_t number, const std::string& data) {
            if (number != ir::kLastNumber)
                ++expected;
            m_lastNumber = number;
            m_lastData = data;
            final = data.size() < kBlock;
        };
        auto judge = [&](std::uint16_t number, const std::string& data) {
            if (data.empty())
                // Only a true end: number 0xFFFF (its checksum 0 is already checked).
                return number == ir::kLastNumber ? Verdict::EndSilent : Verdict::Reject;
            if (number == ir::kLastNumber || number == expected) {
                keep(number, data);
                return Verdict::Accept;
            }
            // Our ACK was lost and the PC sent the same packet again.
            if (number == m_lastNumber && data == m_lastData)
                return Verdict::Repeat;
            return Verdict::Reject;
        };
        bool first = true;
        if (taken != nullptr) {
            m_result.streamStart = m_result.streamEnd = Clock::now();
            if (taken->ended)
                return true;
            keep(taken->number, taken->data);
            m_result.received += taken->data;
            if (final)
                return true;
            first = false;
        }
        for (;;) {
            std::string data;
            bool ended = false;
            auto wait = first ? m_config.timing.firstWait : m_config.timing.replyWait;
            Outcome out = m_ir.ReceivePacket(judge, wait, data, ended);
            if (out != Outcome::Ok)
                return FailIr(out, first ? "waiting for the first packet"
                                         : "after " + std::to_string(m_result.received.size()) +
                                               " bytes");
            if (first)
                m_result.streamStart = Clock::now();
            first = false;
            m_result.streamEnd = Clock::now();
            if (ended)
                return true;
            m_result.received += data;
            if (final)
                return true;
        }
    }

    // The cable carries no request: a PC that sends starts its stream once the line is set
    // up, one that receives stays silent, and a PC link starts with the SOH of its first frame.
    bool CableAuto() {
        std::uint8_t b = 0;
        LineStatus st = m_line.ReadByte(b, Clock::now() + m_config.timing.roleWait);
        if (st == LineStatus::Timeout) {
            Playing(SimRole::Send);
            return CableStream();
        }
        if (st != LineStatus::Ok)
            return FailLine(st, "waiting for the PC to start");
        if (b == kSoh) {
            Playing(SimRole::PcLink);
            return PcLink(std::string(1, static_cast<char>(b)));
        }
        Playing(SimRole::Receive);
        return CableReceiveFrom(b);
    }

    // On infrared both a record stream and a PC link begin with the PC's ENQ; the first packet
    // tells them apart: a PC-link frame starts with SOH, the text form never does.
    bool InfraredAuto() {
        auto deadline = Clock::now() + m_config.timing.roleWait;
        for (;;) {
            DeviceIr::Event ev;
            LineStatus st = m_ir.Next(ev, deadline);
            if (st == LineStatus::Timeout) {
                Playing(SimRole::Send);
                return InfraredStream();
            }
            if (st != LineStatus::Ok)
                return FailLine(st, "waiting for the PC to start");
            if (ev.kind == DeviceIr::Event::Command && ev.code == ir::kEnq)
                break;
            // Anything before the PC's first ENQ is not addressed to the device.
        }
        FirstPacket first;
        auto judge = [&first](std::uint16_t number, const std::string& data) {
            if (data.empty())
                return number == ir::kLastNumber ? Verdict::EndSilent : Verdict::Reject;
            if (number != 1 && number != ir::kLastNumber)
                return Verdict::Reject;
            first.number = number;
            return Verdict::Accept;
        };
        Outcome out =
            m_ir.ReceivePacket(judge, m_config.timing.replyWait, first.data, first.ended, true);
        if (out != Outcome::Ok)
            return FailIr(out, "waiting for the first packet");
        if (!first.ended && static_cast<std::uint8_t>(first.data.front()) == kSoh) {
            Playing(SimRole::PcLink);
            return PcLink(first.data);
        }
        Playing(SimRole::Receive);
        return InfraredReceive(&first);
    }

    // `taken`: bytes of the conversation that have already arrived.
    bool PcLink(const std::string& taken = {}) {
        DeviceStore store(m_config.storeDir, m_config.nifadr, m_config.has);
        CableTransport cable(m_line);
        InfraredTransport infrared(m_ir);
        if (!taken.empty()) {
            if (m_config.method == SimMethod::Infrared)
                infrared.Prime(taken);
            else
                cable.Prime(taken);
        }
        ConvTransport& link = m_config.method == SimMethod::Infrared
                                  ? static_cast<ConvTransport&>(infrared)
                                  : static_cast<ConvTransport&>(cable);
        DeviceConversation conversation(link, m_config, store, m_result, m_line.Stats());
        bool ok = conversation.Run();
        m_result.stored = store.Stored();
        return ok;
    }

    SimLine& m_line;
    const SimConfig& m_config;
    SimResult& m_result;
    DeviceIr m_ir;
    SimRole m_role = SimRole::Auto;
    std::uint16_t m_lastNumber = 0;
    std::string m_lastData;
};

} // namespace

SimTiming SimTiming::Scaled(double factor) const {
    SimTiming t = *this;
    for (ms* d : {&t.startDelay, &t.roleWait, &t.firstWait, &t.replyWait, &t.synWait, &t.emptyWait,
                  &t.byteGap, &t.streamGap, &t.endQuiet, &t.commandPause, &t.turnPause, &t.quietGap,
                  &t.closeGrace, &t.linger})
        *d = Scale(*d, factor);
    return t;
}

SimDevice::SimDevice(SimConfig config) : m_config(std::move(config)) {}

SimDevice::~SimDevice() = default;

bool SimDevice::Open(std::string* error) {
    m_line = std::make_unique<SimLine>();
    if (!m_line->Create(m_config.linkPath, error)) {
        m_line.reset();
        return false;
    }
    bool ir = m_config.method == SimMethod::Infrared;
    SimLine::Options o;
    o.echo = ir && m_config.echo;
    o.pace = m_config.pace;
    o.bps = ir ? 9600 : m_config.bps;
    o.bitsPerByte = ir ? 11 : 10;
    o.drop = m_config.faults.drop;
    o.flip = m_config.faults.flip;
    o.seed = m_config.faults.seed;
    o.closeGrace = m_config.timing.closeGrace;
    m_line->SetOptions(o);
    m_line->SetStopFlag(&m_stop);
    return true;
}

std::string SimDevice::PortName() const {
    return m_line ? m_line->PortName() : std::string();
}

void SimDevice::Stop() {
    m_stop = true;
}

SimResult SimDevice::Run() {
    SimResult result;
    result.played = m_config.role;
    if (!m_line) {
        result.error = "the line is not open";
        return result;
    }
    m_waiting = true;
    LineStatus st = m_line->WaitForPeer(Clock::now() + m_config.timing.peerWait);
    m_waiting = false;
    if (st != LineStatus::Ok) {
        result.error = st == LineStatus::Stopped ? "stopped" : "the PC never opened the line";
        return result;
    }
    Exchange exchange(*m_line, m_config, result);
    result.completed = exchange.Play();
    result.lineBps = m_line->PeerBps();
    // A device at another speed (infrared always runs at 9600) would hear only garbage.
    int deviceBps = m_config.method == SimMethod::Infrared ? 9600 : m_config.bps;
    if (deviceBps > 0 && result.lineBps > 0 && result.lineBps != deviceBps) {
        std::string why = "the PC set the line to " + std::to_string(result.lineBps) +
                          " bps; the device runs at " + std::to_string(deviceBps) + " bps";
        if (!result.completed && !result.error.empty())
            why += " (" + result.error + ")";
        result.completed = false;
        result.error = why;
    }
    // Between the streams of a backup the device does not linger: the next send starts after
    // the gap whether or not the PC has let go of the line meanwhile.
    const bool more = m_config.role == SimRole::Send && !m_config.moreSends.empty();
    if (!m_stop && !(more && result.completed))
        exchange.Linger();
    if (result.completed && m_config.role == SimRole::Send) {
        result.streamsSent = 1;
        PlayMoreSends(result);
    }
    result.stats = m_line->Stats();
    return result;
}

void SimDevice::PlayMoreSends(SimResult& result) {
    for (const std::string& data : m_config.moreSends) {
        // The PC takes a stream, lets go of the line and opens it again for the next one;
        // what the device sent meanwhile would be lost, so it waits for that (or, where it
        // cannot tell, as long as it would linger) and then for the gap.
        LineStatus st = m_line->WaitForHangUp(Clock::now() + m_config.timing.linger);
        if (st == LineStatus::Ok)
            st = m_line->WaitForPeer(Clock::now() + m_config.timing.peerWait);
        if (st == LineStatus::Timeout && m_line->WaitForPeer(Clock::now()) == LineStatus::Ok)
            st = LineStatus::Ok;
        if (st == LineStatus::Ok)
            st = m_line->WaitForClose(Clock::now() + m_config.sendGap);
        if (st != LineStatus::Timeout) {
            result.completed = false;
            result.error = st == LineStatus::Stopped  ? "stopped"
                           : st == LineStatus::Closed ? "the PC closed the line between streams"
                                                      : "the PC never opened the line again";
            return;
        }
        SimConfig next = m_config;
        next.sendData = data;
        next.moreSends.clear();
        SimResult part;
        Exchange exchange(*m_line, next, part);
        part.completed = exchange.PlayStream();
        result.streamEnd = part.streamEnd;
        if (!part.completed) {
            result.completed = false;
            result.error = "stream " + std::to_string(result.streamsSent + 1) + ": " + part.error;
            return;
        }
        ++result.streamsSent;
        if (!m_stop && &data == &m_config.moreSends.back())
            exchange.Linger();
    }
}

SimThread::SimThread(SimConfig config) : m_device(std::move(config)) {
    if (!m_device.Open(&m_openError)) {
        if (m_openError.empty())
            m_openError = "cannot open the simulated line";
        return;
    }
    m_thread = std::thread([this] { m_result = m_device.Run(); });
}

SimThread::~SimThread() {
    if (m_thread.joinable()) {
        m_device.Stop();
        m_thread.join();
    }
}

SimResult SimThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
    if (!m_openError.empty() && m_result.error.empty())
        m_result.error = m_openError;
    return m_result;
}

} // namespace tessera::sim
