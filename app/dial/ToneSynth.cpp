#include "app/dial/ToneSynth.h"

#include <cmath>
#include <numbers>

namespace tessera {

namespace {

constexpr int kLowGroup[4] = {697, 770, 852, 941};
constexpr int kHighGroup[4] = {1209, 1336, 1477, 1633};
// Keypad layout: row selects the low tone, column the high tone.
constexpr char kKeypad[4][4] = {
    {'1', '2', '3', 'A'},
    {'4', '5', '6', 'B'},
    {'7', '8', '9', 'C'},
    {'*', '0', '#', 'D'},
};

// Each of the two tones at about -10 dBFS: together they stay clear of clipping.
constexpr double kToneAmplitude = 0.32 * 32767.0;

char NormaliseKey(char c) {
    if (c >= 'a' && c <= 'd')
        return static_cast<char>(c - 'a' + 'A');
    return c;
}

std::size_t SamplesFor(std::int64_t ms, int sampleRate) {
    return static_cast<std::size_t>(ms * sampleRate / 1000);
}

} // namespace

bool DtmfFrequencies(char key, int& lowHz, int& highHz) {
    key = NormaliseKey(key);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (kKeypad[r][c] == key) {
                lowHz = kLowGroup[r];
                highHz = kHighGroup[c];
                return true;
            }
        }
    }
    return false;
}

std::optional<std::vector<ToneStep>> ParseToneDialText(std::string_view text,
                                                       const ToneTiming& timing) {
    std::vector<ToneStep> steps;
    for (char c : text) {
        int low = 0;
        int high = 0;
        switch (c) {
        case '@':
            steps.push_back({0, timing.pause1Ms});
            continue;
        case '$':
            steps.push_back({0, timing.pause5Ms});
            continue;
        case '%':
            steps.push_back({0, timing.pause10Ms});
            continue;
        case ',':
            steps.push_back({0, timing.shortPauseMs});
            continue;
        case '-':
        case ' ':
        case '(':
        case ')':
        case '.':
            continue;
        default:
            break;
        }
        if (!DtmfFrequencies(c, low, high))
            return std::nullopt;
        steps.push_back({NormaliseKey(c), 0});
    }
    return steps;
}

std::int64_t ToneStepsDurationMs(const std::vector<ToneStep>& steps, const ToneTiming& timing) {
    std::int64_t ms = timing.leadInMs + timing.tailMs;
    for (const ToneStep& s : steps)
        ms += s.digit != 0 ? timing.toneMs + timing.gapMs : s.pauseMs;
    return ms;
}

std::vector<std::int16_t> RenderToneSteps(const std::vector<ToneStep>& steps, int sampleRate,
                                          const ToneTiming& timing) {
    std::vector<std::int16_t> pcm;
    if (sampleRate <= 0)
        return pcm;
    pcm.reserve(SamplesFor(ToneStepsDurationMs(steps, timing), sampleRate));
    pcm.resize(SamplesFor(timing.leadInMs, sampleRate), 0);

    const std::size_t toneLen = SamplesFor(timing.toneMs, sampleRate);
    const std::size_t rampLen = std::min(SamplesFor(timing.rampMs, sampleRate), toneLen / 2);
    const double twoPi = 2.0 * std::numbers::pi;
    for (const ToneStep& s : steps) {
        if (s.digit == 0) {
            pcm.resize(pcm.size() + SamplesFor(s.pauseMs, sampleRate), 0);
            continue;
        }
        int low = 0;
        int high = 0;
        DtmfFrequencies(s.digit, low, high);
        const double wl = twoPi * low / sampleRate;
        const double wh = twoPi * high / sampleRate;
        for (std::size_t n = 0; n < toneLen; ++n) {
            double gain = 1.0;
            if (n < rampLen)
                gain = static_cast<double>(n) / rampLen;
            else if (n >= toneLen - rampLen)
                gain = static_cast<double>(toneLen - 1 - n) / rampLen;
            const double v =
                kToneAmplitude * gain *
                (std::sin(wl * static_cast<double>(n)) + std::sin(wh * static_cast<double>(n)));
            pcm.push_back(static_cast<std::int16_t>(std::lround(v)));
        }
        pcm.resize(pcm.size() + SamplesFor(timing.gapMs, sampleRate), 0);
    }
    pcm.resize(pcm.size() + SamplesFor(timing.tailMs, sampleRate), 0);
    return pcm;
}

} // namespace tessera
