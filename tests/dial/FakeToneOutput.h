#pragma once
// A tone output that keeps what it was asked to play and ends only when the test says so.

#include "app/dial/ToneDial.h"

#include <functional>
#include <vector>

namespace tessera::test {

struct FakeToneState {
    bool available = true;
    bool refuseToStart = false;
    bool finishAtOnce = false; // reports the end from inside Play
    int rate = 8000;
    int plays = 0;
    int stops = 0;
    std::vector<std::int16_t> lastPcm;
    int lastRate = 0;
    std::function<void(bool)> finished;

    void Finish(bool ok) {
        auto f = std::move(finished);
        finished = nullptr;
        if (f)
            f(ok);
    }
};

class FakeToneOutput final : public ToneOutput {
public:
    explicit FakeToneOutput(FakeToneState& state) : m_state(state) {}
    bool Available() const override { return m_state.available; }
    int SampleRate() const override { return m_state.rate; }
    bool Play(std::vector<std::int16_t> pcm, int sampleRate,
              std::function<void(bool)> finished) override {
        if (m_state.refuseToStart)
            return false;
        ++m_state.plays;
        m_state.lastPcm = std::move(pcm);
        m_state.lastRate = sampleRate;
        m_state.finished = std::move(finished);
        if (m_state.finishAtOnce)
            m_state.Finish(true);
        return true;
    }
    void Stop() override {
        ++m_state.stops;
        m_state.finished = nullptr;
    }

private:
    FakeToneState& m_state;
};

} // namespace tessera::test
