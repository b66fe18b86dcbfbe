#pragma once
// The pure half of tone dialing: reading a dial text into steps (tones and pauses) and
// rendering those steps as 16-bit PCM. Playback lives in ToneDial.cpp, so this half can be
// checked sample by sample without a sound card.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tessera {

// Lengths of everything that is played, in milliseconds. The defaults are what a telephone
// exchange reliably detects: 100 ms tones and gaps are well above the 40 ms minimum.
struct ToneTiming {
    int toneMs = 100;       // one digit's tone
    int gapMs = 100;        // silence after every digit
    int leadInMs = 150;     // silence before the first step, so the output has settled
    int tailMs = 150;       // silence after the last step, so the last tone is not cut
    int shortPauseMs = 500; // ','
    int pause1Ms = 1000;    // '@'
    int pause5Ms = 5000;    // '$'
    int pause10Ms = 10000;  // '%'
    int rampMs = 4;         // fade in/out of every tone, so it does not click
};

struct ToneStep {
    char digit = 0;  // '0'..'9', '*', '#', 'A'..'D'; 0 for a pause
    int pauseMs = 0; // length of a pause step
};

// The two frequencies of a key (low group, high group) in hertz; false for a key that has
// no tone.
bool DtmfFrequencies(char key, int& lowHz, int& highHz);

// Reads a dial text (the outside-line prefix followed by the number): digits, '*', '#' and
// 'A'..'D' (either case) are tones, '@' '$' '%' pauses of 1, 5 and 10 seconds, ',' a short
// pause; '-', ' ', '(', ')' and '.' only make a number readable and are skipped. Any other
// byte makes the text unplayable (no value).
std::optional<std::vector<ToneStep>> ParseToneDialText(std::string_view text,
                                                       const ToneTiming& timing = {});

// Renders the steps as mono 16-bit PCM at `sampleRate` samples per second. Each tone is
// followed by the gap; a pause is pure silence of its own length.
std::vector<std::int16_t> RenderToneSteps(const std::vector<ToneStep>& steps, int sampleRate,
                                          const ToneTiming& timing = {});

// Length of the rendered audio in milliseconds (what RenderToneSteps will produce).
std::int64_t ToneStepsDurationMs(const std::vector<ToneStep>& steps, const ToneTiming& timing = {});

} // namespace tessera
