#pragma once
// A small DTMF receiver for the tests: Goertzel power at the eight key frequencies over
// fixed blocks, then runs of blocks joined into digits and silences. It knows nothing of
// how the tones were made, so it checks the generator from the outside.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace tessera::test {

struct DecodedDtmf {
    std::string digits;
    // Silence before each digit (index i: before digits[i]) and after the last one, in ms.
    std::vector<double> silenceBeforeMs;
    double trailingSilenceMs = 0;
    std::vector<double> toneMs; // length of each digit's tone
};

inline double GoertzelPower(const std::int16_t* x, std::size_t n, double freq, int rate) {
    const double w = 2.0 * std::numbers::pi * freq / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

// Classifies one block: a key, 0 for silence, '?' for something that is neither.
inline char ClassifyBlock(const std::int16_t* x, std::size_t n, int rate) {
    static const int low[4] = {697, 770, 852, 941};
    static const int high[4] = {1209, 1336, 1477, 1633};
    static const char keys[4][4] = {
        {'1', '2', '3', 'A'}, {'4', '5', '6', 'B'}, {'7', '8', '9', 'C'}, {'*', '0', '#', 'D'}};
    double energy = 0;
    for (std::size_t i = 0; i < n; ++i)
        energy += static_cast<double>(x[i]) * x[i];
    if (energy / static_cast<double>(n) < 100.0 * 100.0)
        return 0;
    double pl[4];
    double ph[4];
    int bl = 0;
    int bh = 0;
    for (int i = 0; i < 4; ++i) {
        pl[i] = GoertzelPower(x, n, low[i], rate);
        ph[i] = GoertzelPower(x, n, high[i], rate);
        if (pl[i] > pl[bl])
            bl = i;
        if (ph[i] > ph[bh])
            bh = i;
    }
    // The winning tone of each group must stand well clear of the others in its group.
    for (int i = 0; i < 4; ++i) {
        if (i != bl && pl[i] * 10.0 > pl[bl])
            return '?';
        if (i != bh && ph[i] * 10.0 > ph[bh])
            return '?';
    }
    // And the two tones must carry most of the block's energy (a pure tone pair, no noise).
    const double toneEnergy = 2.0 * (pl[bl] + ph[bh]) / static_cast<double>(n);
    if (toneEnergy < 0.6 * energy)
        return '?';
    return keys[bl][bh];
}

// Blocks of about 25 ms (205 samples at 8 kHz) resolve the 70 Hz spacing of the low group.
inline DecodedDtmf DecodeDtmf(const std::vector<std::int16_t>& pcm, int rate) {
    const std::size_t block = static_cast<std::size_t>(rate) * 205 / 8000;
    const double blockMs = 1000.0 * static_cast<double>(block) / rate;
    std::vector<char> cls;
    for (std::size_t i = 0; i + block <= pcm.size(); i += block)
        cls.push_back(ClassifyBlock(pcm.data() + i, block, rate));

    DecodedDtmf out;
    double silence = 0;
    std::size_t i = 0;
    while (i < cls.size()) {
        if (cls[i] == 0) {
            silence += blockMs;
            ++i;
            continue;
        }
        // A tone run: blocks straddling its edges may read '?'; the key is the one the
        // inner blocks agree on.
        std::size_t j = i;
        char key = '?';
        while (j < cls.size() && cls[j] != 0) {
            if (cls[j] != '?') {
                if (key == '?')
                    key = cls[j];
                else if (cls[j] != key)
                    break; // a different key without silence between: a new digit
            }
            ++j;
        }
        out.digits.push_back(key);
        out.silenceBeforeMs.push_back(silence);
        out.toneMs.push_back(static_cast<double>(j - i) * blockMs);
        silence = 0;
        i = j;
    }
    out.trailingSilenceMs = silence;
    return out;
}

} // namespace tessera::test
