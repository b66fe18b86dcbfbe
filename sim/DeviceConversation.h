#pragma once
// The device's side of the PC-link conversation of the add-in transfer: it takes the PC's
// frames, acknowledges them, answers each command when the PC hands over the turn, refuses
// what it cannot do, and keeps the files the PC stores.

#include "sim/DeviceIr.h"
#include "sim/DeviceStore.h"
#include "sim/SimDevice.h"
#include "sim/SimLine.h"

#include <cstdint>
#include <deque>
#include <string>

namespace tessera::sim {

// Bytes of the conversation in both directions, whatever carries them.
class ConvTransport {
public:
    virtual ~ConvTransport() = default;
    virtual LineStatus ReadByte(std::uint8_t& byte, Clock::time_point deadline) = 0;
    virtual bool Write(const std::string& bytes) = 0;
    virtual std::string Error() const { return {}; }
    // After a broken frame: drops what is queued and lets the rest of it pass.
    virtual void Resync(std::chrono::milliseconds quiet, Clock::time_point deadline) = 0;
};

// On the cable the bytes go raw.
class CableTransport : public ConvTransport {
public:
    explicit CableTransport(SimLine& line) : m_line(line) {}
    // Bytes that arrived before the conversation began; they are read first.
    void Prime(const std::string& bytes) {
        m_taken.insert(m_taken.end(), bytes.begin(), bytes.end());
    }
    LineStatus ReadByte(std::uint8_t& byte, Clock::time_point deadline) override;
    bool Write(const std::string& bytes) override;
    void Resync(std::chrono::milliseconds quiet, Clock::time_point deadline) override;

private:
    SimLine& m_line;
    std::deque<std::uint8_t> m_taken;
};

// On infrared every write is one packet numbered 0xFFFF and reads are served from the
// packets taken in.
class InfraredTransport : public ConvTransport {
public:
    explicit InfraredTransport(DeviceIr& ir) : m_ir(ir) {}
    // A packet taken in (and acknowledged) before the conversation began.
    void Prime(const std::string& packet);
    LineStatus ReadByte(std::uint8_t& byte, Clock::time_point deadline) override;
    bool Write(const std::string& bytes) override;
    std::string Error() const override { return m_ir.LastError(); }
    // Packets arrive whole: only the rest of the one in hand is dropped.
    void Resync(std::chrono::milliseconds, Clock::time_point) override { m_queue.clear(); }

private:
    DeviceIr& m_ir;
    std::deque<std::uint8_t> m_queue;
    std::string m_lastTaken;
    bool m_wroteSince = true;
};

class DeviceConversation {
public:
    DeviceConversation(ConvTransport& link, const SimConfig& config, DeviceStore& store,
                       SimResult& result, SimStats& stats);
    // Plays the conversation until the PC ends the PC link; false (result.error set) otherwise.
    bool Run();

private:
    LineStatus Read(std::uint8_t& byte, Clock::time_point deadline);
    void Unread(std::uint8_t byte) { m_pushback.push_back(byte); }
    bool Send(const std::string& bytes);
    bool ReadFrame(int& block, std::string& payload);
    bool TakeFrame(int block, const std::string& payload);
    bool Reply(bool& ended);
    bool PositiveReply(const std::string& code);
    bool NegativeReply();
    bool AwaitByte(std::uint8_t wanted, int tries);
    bool ArrivesDamaged(int block, const std::string& payload);
    void Fail(const std::string& why);

    ConvTransport& m_link;
    const SimConfig& m_config;
    DeviceStore& m_store;
    SimResult& m_result;
    SimStats& m_stats;
    std::deque<std::uint8_t> m_pushback;

    std::string m_pending; // command waiting for its reply
    std::string m_pendingArg;
    bool m_inFile = false; // announced file whose data frames are coming
    std::string m_fileName;
    std::string m_fileData;
    int m_expectedBlock = 2;
    int m_lastBlock = -1;
    std::string m_lastPayload;
    int m_dataFramesSeen = 0; // intact data frames, for the faults
    bool m_awaitRefusalAck = false;
};

// Frame helpers shared with the tests.
std::string LinkFrame(int block, const std::string& payload);

} // namespace tessera::sim
