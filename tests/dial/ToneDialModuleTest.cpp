#include "DtmfDecoder.h"
#include "FakeToneOutput.h"
#include "app/dial/ToneDial.h"
#include "support/TestApp.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace tessera;
using tessera::test::FakeToneOutput;
using tessera::test::FakeToneState;

namespace {

class ToneDialModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::CoreApp();
        module.SetOutput(std::make_unique<FakeToneOutput>(state));
    }
    FakeToneState state;
    CToneDialModule module;
};

TEST_F(ToneDialModuleTest, PlaysPrefixAndNumberAsTones) {
    QSignalSpy finished(&module, &CToneDialModule::finished);
    ASSERT_EQ(module.Dial("0,03-1234"), ToneDialResult::Started);
    EXPECT_TRUE(module.Busy());
    EXPECT_EQ(state.lastRate, 8000);
    EXPECT_EQ(test::DecodeDtmf(state.lastPcm, 8000).digits, "0031234");

    state.Finish(true);
    EXPECT_FALSE(module.Busy());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.at(0).at(0).toBool());
}

TEST_F(ToneDialModuleTest, RendersAtTheOutputsRate) {
    state.rate = 44100;
    ASSERT_EQ(module.Dial("7"), ToneDialResult::Started);
    EXPECT_EQ(state.lastRate, 44100);
    EXPECT_EQ(test::DecodeDtmf(state.lastPcm, 44100).digits, "7");
}

TEST_F(ToneDialModuleTest, SecondDialWhilePlayingIsBusy) {
    ASSERT_EQ(module.Dial("1"), ToneDialResult::Started);
    EXPECT_EQ(module.Dial("2"), ToneDialResult::Busy);
    EXPECT_EQ(state.plays, 1);
    state.Finish(true);
    EXPECT_EQ(module.Dial("2"), ToneDialResult::Started);
}

TEST_F(ToneDialModuleTest, RefusalsLeaveItIdle) {
    EXPECT_EQ(module.Dial("12x"), ToneDialResult::BadText);
    state.available = false;
    EXPECT_EQ(module.Dial("12"), ToneDialResult::NoOutput);
    EXPECT_FALSE(module.Available());
    state.available = true;
    state.refuseToStart = true;
    EXPECT_EQ(module.Dial("12"), ToneDialResult::Failed);
    EXPECT_FALSE(module.Busy());
    EXPECT_EQ(state.plays, 0);
}

TEST_F(ToneDialModuleTest, OutputFailureIsReported) {
    QSignalSpy finished(&module, &CToneDialModule::finished);
    ASSERT_EQ(module.Dial("1"), ToneDialResult::Started);
    state.Finish(false);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    EXPECT_FALSE(module.Busy());
}

TEST_F(ToneDialModuleTest, EndReportedFromInsidePlayIsNotLost) {
    state.finishAtOnce = true;
    QSignalSpy finished(&module, &CToneDialModule::finished);
    EXPECT_EQ(module.Dial("1"), ToneDialResult::Started);
    EXPECT_FALSE(module.Busy());
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(ToneDialModuleTest, StopSilencesAndLateEndIsIgnored) {
    QSignalSpy finished(&module, &CToneDialModule::finished);
    ASSERT_EQ(module.Dial("1"), ToneDialResult::Started);
    auto late = state.finished;
    module.Stop();
    EXPECT_FALSE(module.Busy());
    EXPECT_GE(state.stops, 1);
    // An output that still reports the stopped play must not end a new one.
    ASSERT_EQ(module.Dial("2"), ToneDialResult::Started);
    late(true);
    EXPECT_TRUE(module.Busy());
    EXPECT_EQ(finished.count(), 0);
}

TEST_F(ToneDialModuleTest, StuckOutputIsGivenUp) {
    ToneTiming t;
    t.toneMs = 10;
    t.gapMs = 10;
    t.leadInMs = 0;
    t.tailMs = 0;
    module.SetTiming(t);
    module.SetWatchdogSlackMs(200);
    QSignalSpy finished(&module, &CToneDialModule::finished);
    ASSERT_EQ(module.Dial("1"), ToneDialResult::Started);
    // The output never reports; after the expected length plus slack the module frees itself.
    ASSERT_TRUE(finished.wait(3000));
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    EXPECT_FALSE(module.Busy());
}

TEST(ToneDialVersion, LowWordMajorHighWordMinor) {
    const std::uint32_t v = GetToneDialVersion();
    EXPECT_EQ(v & 0xFFFFU, 1U);
    EXPECT_EQ(FormatToneDialVersion(v), "1.0");
    EXPECT_EQ(FormatToneDialVersion(3U | (12U << 16)), "3.12");
}

} // namespace
