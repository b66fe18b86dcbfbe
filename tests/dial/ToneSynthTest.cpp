#include "app/dial/ToneSynth.h"

#include "DtmfDecoder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

using namespace tessera;
using tessera::test::DecodeDtmf;

namespace {

std::vector<std::int16_t> Render(const std::string& text, int rate, const ToneTiming& t = {}) {
    auto steps = ParseToneDialText(text, t);
    EXPECT_TRUE(steps.has_value()) << text;
    return steps ? RenderToneSteps(*steps, rate, t) : std::vector<std::int16_t>{};
}

TEST(ToneSynth, EveryKeyDecodesToItself) {
    const std::string keys = "0123456789*#ABCD";
    for (int rate : {8000, 44100, 48000}) {
        const auto pcm = Render(keys, rate);
        const auto decoded = DecodeDtmf(pcm, rate);
        EXPECT_EQ(decoded.digits, keys) << "rate " << rate;
    }
}

TEST(ToneSynth, LowerCaseLettersAreTheSameKeys) {
    const auto pcm = Render("abcd", 8000);
    EXPECT_EQ(DecodeDtmf(pcm, 8000).digits, "ABCD");
}

TEST(ToneSynth, RepeatedDigitsStaySeparate) {
    // Without the gap, "00" would be one long tone and the exchange would hear one zero.
    const auto decoded = DecodeDtmf(Render("1100999", 8000), 8000);
    EXPECT_EQ(decoded.digits, "1100999");
    for (std::size_t i = 1; i < decoded.silenceBeforeMs.size(); ++i)
        EXPECT_GE(decoded.silenceBeforeMs[i], 60.0) << "gap before digit " << i;
}

TEST(ToneSynth, ToneAndGapLengths) {
    const ToneTiming t;
    const auto decoded = DecodeDtmf(Render("123", 8000, t), 8000);
    ASSERT_EQ(decoded.digits, "123");
    for (double ms : decoded.toneMs) {
        EXPECT_GE(ms, t.toneMs - 30.0);
        EXPECT_LE(ms, t.toneMs + 30.0);
    }
    for (std::size_t i = 1; i < decoded.silenceBeforeMs.size(); ++i)
        EXPECT_NEAR(decoded.silenceBeforeMs[i], t.gapMs, 30.0);
}

TEST(ToneSynth, PausesOfThePrefixCharacters) {
    // Prefix "0@" then "$", "%", "," between digits: the silence before the next digit is
    // the gap after the previous tone plus the pause.
    const ToneTiming t;
    const auto decoded = DecodeDtmf(Render("0@1$2%3,4", 8000, t), 8000);
    ASSERT_EQ(decoded.digits, "01234");
    const double tolerance = 40.0;
    EXPECT_NEAR(decoded.silenceBeforeMs[0], t.leadInMs, tolerance);
    EXPECT_NEAR(decoded.silenceBeforeMs[1], t.gapMs + 1000, tolerance);
    EXPECT_NEAR(decoded.silenceBeforeMs[2], t.gapMs + 5000, tolerance);
    EXPECT_NEAR(decoded.silenceBeforeMs[3], t.gapMs + 10000, tolerance);
    EXPECT_NEAR(decoded.silenceBeforeMs[4], t.gapMs + t.shortPauseMs, tolerance);
    EXPECT_LT(t.shortPauseMs, 1000) << "',' is the short pause";
    EXPECT_NEAR(decoded.trailingSilenceMs, t.gapMs + t.tailMs, tolerance);
}

TEST(ToneSynth, LeadingPauseAndSeparators) {
    const ToneTiming t;
    const auto decoded = DecodeDtmf(Render("@03-(1234) 5.6", 8000, t), 8000);
    EXPECT_EQ(decoded.digits, "031234"
                              "56");
    ASSERT_FALSE(decoded.silenceBeforeMs.empty());
    EXPECT_NEAR(decoded.silenceBeforeMs[0], t.leadInMs + 1000, 40.0);
}

TEST(ToneSynth, UnplayableTextIsRefused) {
    for (const char* text : {"12x4", "P123", "03+1", "\x82\x4F", "1\t2", "E"})
        EXPECT_FALSE(ParseToneDialText(text).has_value()) << text;
    EXPECT_TRUE(ParseToneDialText("").has_value());
}

TEST(ToneSynth, DurationMatchesRenderedLength) {
    const ToneTiming t;
    auto steps = ParseToneDialText("9@12,3", t);
    ASSERT_TRUE(steps);
    for (int rate : {8000, 44100, 48000}) {
        const auto pcm = RenderToneSteps(*steps, rate, t);
        const double ms = 1000.0 * static_cast<double>(pcm.size()) / rate;
        EXPECT_NEAR(ms, static_cast<double>(ToneStepsDurationMs(*steps, t)), 1.0) << rate;
    }
}

TEST(ToneSynth, NoClippingAndNoClick) {
    const int rate = 48000;
    const auto pcm = Render("1D#*", rate);
    int peak = 0;
    for (std::int16_t s : pcm)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 10000) << "loud enough to be heard by the telephone";
    EXPECT_LT(peak, 32000) << "two tones together must not clip";
    // The ramp keeps the sample-to-sample step at a tone's start small.
    int maxStep = 0;
    for (std::size_t i = 1; i < pcm.size(); ++i)
        maxStep = std::max(maxStep, std::abs(pcm[i] - pcm[i - 1]));
    EXPECT_LT(maxStep, 6000);
}

TEST(ToneSynth, ScaledTimingIsHonoured) {
    ToneTiming t;
    t.toneMs = 60;
    t.gapMs = 60;
    t.pause5Ms = 300;
    t.leadInMs = 0;
    const auto decoded = DecodeDtmf(Render("5$5", 8000, t), 8000);
    ASSERT_EQ(decoded.digits, "55");
    EXPECT_NEAR(decoded.silenceBeforeMs[1], 360.0, 40.0);
}

} // namespace
