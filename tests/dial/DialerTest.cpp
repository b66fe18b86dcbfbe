#include "app/dial/Dialer.h"

#include "DtmfDecoder.h"
#include "FakeToneOutput.h"
#include "app/dial/ToneDial.h"
#include "base/AppSettings.h"
#include "resources/StringIds.h"
#include "support/ScriptedPrompter.h"
#include "support/TestApp.h"

#include <QUrl>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace tessera;
using tessera::test::FakeToneOutput;
using tessera::test::FakeToneState;

namespace {

class DialerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::CoreApp();
        tones.SetOutput(std::make_unique<FakeToneOutput>(state));
        Prepare(dialer);
    }

    void Prepare(CDialer& d) {
        d.SetToneModule(&tones);
        d.SetUrlOpener([this](const QUrl& url) {
            opened.push_back(url.toString());
            return openerAccepts;
        });
        d.SetHandlerProbe([this](const QString& scheme) {
            probedScheme = scheme;
            return handlerKnown;
        });
    }

    test::ScriptedPrompter prompter;
    FakeToneState state;
    CToneDialModule tones;
    CDialer dialer;
    std::vector<QString> opened;
    bool openerAccepts = true;
    std::optional<bool> handlerKnown = true;
    QString probedScheme;
};

const DialSettings kHandler{0, ""};
const DialSettings kTones{1, "0,"};

// 03ー1234 in full-width digits and the long-vowel mark.
const std::string kWideNumber = "\x82\x4F\x82\x52\x81\x5B\x82\x50\x82\x51\x82\x52\x82\x53";

TEST_F(DialerTest, EmptyNumberDoesNothing) {
    EXPECT_EQ(dialer.Dial("", kHandler), DialOutcome::Nothing);
    EXPECT_EQ(dialer.Dial("", kTones), DialOutcome::Nothing);
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(state.plays, 0);
}

TEST_F(DialerTest, BadNumbersAreRefusedBeforeAnythingDials) {
    for (const DialSettings& s : {kHandler, kTones}) {
        for (const std::string& number : {std::string("03-12a4"), std::string("03 1234"),
                                          std::string(32, '5'), std::string("-\x81\x5B")}) {
            prompter.Clear();
            prompter.Expect(1075);
            EXPECT_EQ(dialer.Dial(number, s), DialOutcome::BadNumber) << number;
            ASSERT_EQ(prompter.Ids(), std::vector<int>{1075}) << number;
            EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Stop);
        }
    }
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(state.plays, 0);
}

TEST_F(DialerTest, HandlerGetsTheConvertedNumberAsTelAddress) {
    prompter.Expect(5120).Expect(5120);
    EXPECT_EQ(dialer.Dial(kWideNumber, kHandler), DialOutcome::HandedOver);
    ASSERT_EQ(opened.size(), 1U);
    EXPECT_EQ(opened[0], QStringLiteral("tel:03-1234"));
    EXPECT_EQ(probedScheme, QStringLiteral("tel"));
    ASSERT_EQ(prompter.Ids(), std::vector<int>{5120});
    EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Information);
    EXPECT_NE(prompter.Messages()[0].text.find("03-1234"), std::string::npos)
        << "5120 names the number";
    EXPECT_FALSE(dialer.InCall()) << "a handed-over call is the handler's, not ours";
    EXPECT_TRUE(dialer.ConfirmClose());
    // The prefix is for tone dialling only; the telephony handler applies its own rules.
    opened.clear();
    dialer.Dial("117", {0, "0,"});
    EXPECT_EQ(opened[0], QStringLiteral("tel:117"));
}

TEST_F(DialerTest, AnyMethodButOneUsesTheHandler) {
    prompter.Expect(5120).Expect(5120);
    EXPECT_EQ(dialer.Dial("117", {2, ""}), DialOutcome::HandedOver);
    EXPECT_EQ(dialer.Dial("117", {-1, ""}), DialOutcome::HandedOver);
    EXPECT_EQ(opened.size(), 2U);
    EXPECT_EQ(state.plays, 0);
}

TEST_F(DialerTest, NoHandlerIsAFailureNotASuccess) {
    // Nothing takes tel: (the desktop says so, or cannot tell and opening fails): the user
    // is told and offered the tone dialer; declined, nothing dials.
    const struct {
        std::optional<bool> known;
        bool accepts;
        std::size_t tried; // URLs handed to the opener
    } cases[] = {{false, true, 0}, {std::nullopt, false, 1}};
    for (const auto& c : cases) {
        prompter.Clear();
        opened.clear();
        handlerKnown = c.known;
        openerAccepts = c.accepts;
        prompter.Expect(ids::kMsgDialNoHandler, PromptResult::No);
        EXPECT_EQ(dialer.Dial("117", kHandler), DialOutcome::NoHandler);
        EXPECT_EQ(opened.size(), c.tried);
        ASSERT_EQ(prompter.Ids(), std::vector<int>{ids::kMsgDialNoHandler});
        EXPECT_EQ(prompter.Messages()[0].buttons, PromptButtons::YesNo);
        EXPECT_NE(prompter.Messages()[0].text.find("117"), std::string::npos);
        EXPECT_EQ(state.plays, 0);
    }
    // Accepted, the number (with the outside-line prefix) plays as tones.
    prompter.Clear();
    prompter.Expect(ids::kMsgDialNoHandler, PromptResult::Yes);
    EXPECT_EQ(dialer.Dial("117", {0, "0,"}), DialOutcome::TonesStarted);
    EXPECT_EQ(state.plays, 1);
    EXPECT_EQ(test::DecodeDtmf(state.lastPcm, state.lastRate).digits, "0117");
    EXPECT_TRUE(dialer.InCall());
    dialer.HangUp();

    // The desktop cannot tell, and opening works.
    prompter.Clear();
    openerAccepts = true;
    prompter.Expect(5120);
    EXPECT_EQ(dialer.Dial("117", kHandler), DialOutcome::HandedOver);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{5120});
}

TEST_F(DialerTest, TonesCarryPrefixAndNumber) {
    EXPECT_EQ(dialer.Dial(kWideNumber, kTones), DialOutcome::TonesStarted);
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_TRUE(opened.empty());
    const auto decoded = test::DecodeDtmf(state.lastPcm, state.lastRate);
    EXPECT_EQ(decoded.digits, "0031234");
    ASSERT_GE(decoded.silenceBeforeMs.size(), 2U);
    EXPECT_NEAR(decoded.silenceBeforeMs[1], tones.Timing().gapMs + tones.Timing().shortPauseMs,
                40.0);
    EXPECT_TRUE(dialer.InCall());
}

TEST_F(DialerTest, CallInProgressRefusesSecondDialAndClosing) {
    ASSERT_EQ(dialer.Dial("117", kTones), DialOutcome::TonesStarted);

    prompter.Expect(5137).Expect(5142);
    EXPECT_EQ(dialer.Dial("117", kTones), DialOutcome::Busy);
    EXPECT_FALSE(dialer.ConfirmClose());
    ASSERT_EQ(prompter.Ids(), (std::vector<int>{5137, 5142}));
    EXPECT_EQ(prompter.Messages()[0].icon, PromptIcon::Stop);
    EXPECT_EQ(prompter.Messages()[1].icon, PromptIcon::Warning);
    EXPECT_EQ(state.plays, 1);

    // Another open editor cannot take the sound output either.
    CDialer other;
    Prepare(other);
    prompter.Clear();
    prompter.Expect(5137);
    EXPECT_EQ(other.Dial("110", kTones), DialOutcome::Busy);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{5137});
    EXPECT_TRUE(other.ConfirmClose()) << "the other editor has no call of its own";

    // The tones end: closing and dialling work again, and nothing is reported for success.
    prompter.Clear();
    state.Finish(true);
    EXPECT_FALSE(dialer.InCall());
    EXPECT_TRUE(dialer.ConfirmClose());
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(dialer.Dial("117", kTones), DialOutcome::TonesStarted);
}

TEST_F(DialerTest, ToneFailuresShow5124) {
    // No audio output on this computer: said as it is, not as a dialing error.
    state.available = false;
    prompter.Expect(ids::kMsgDialNoSound);
    EXPECT_EQ(dialer.Dial("117", kTones), DialOutcome::NoSound);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{ids::kMsgDialNoSound});

    // A prefix character that has no tone.
    prompter.Clear();
    state.available = true;
    prompter.Expect(5124);
    EXPECT_EQ(dialer.Dial("117", {1, "9x"}), DialOutcome::Failed);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{5124});

    // The output refuses to start.
    prompter.Clear();
    state.refuseToStart = true;
    prompter.Expect(5124);
    EXPECT_EQ(dialer.Dial("117", kTones), DialOutcome::Failed);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{5124});
    EXPECT_FALSE(dialer.InCall());

    // The output breaks while playing.
    prompter.Clear();
    state.refuseToStart = false;
    ASSERT_EQ(dialer.Dial("117", kTones), DialOutcome::TonesStarted);
    EXPECT_TRUE(prompter.Messages().empty());
    prompter.Expect(5124);
    state.Finish(false);
    EXPECT_EQ(prompter.Ids(), std::vector<int>{5124});
    EXPECT_FALSE(dialer.InCall());
}

TEST_F(DialerTest, ClosedEditorStopsItsTones) {
    auto d = std::make_unique<CDialer>();
    Prepare(*d);
    ASSERT_EQ(d->Dial("117", kTones), DialOutcome::TonesStarted);
    EXPECT_TRUE(tones.Busy());
    const int stopsBefore = state.stops;
    d.reset();
    EXPECT_FALSE(tones.Busy());
    EXPECT_GT(state.stops, stopsBefore);
    // The sound output is free for the next editor.
    EXPECT_EQ(dialer.Dial("117", kTones), DialOutcome::TonesStarted);
}

TEST_F(DialerTest, SettingsChooseMethodAndPrefix) {
    CAppSettings app;
    app.DialMethod = 1;
    app.CallOut = QStringLiteral("9@");
    const DialSettings s = DialSettings::From(app);
    EXPECT_EQ(s.dialMethod, 1);
    EXPECT_EQ(s.callOut, "9@");
    ASSERT_EQ(dialer.Dial("12", s), DialOutcome::TonesStarted);
    EXPECT_EQ(test::DecodeDtmf(state.lastPcm, state.lastRate).digits, "912");
}

TEST_F(DialerTest, CallStateSignalFollowsTheCall) {
    std::vector<bool> states;
    QObject::connect(&dialer, &CDialer::callStateChanged, [&](bool s) { states.push_back(s); });
    dialer.Dial("1", kTones);
    state.Finish(true);
    dialer.Dial("1", kTones);
    dialer.HangUp();
    EXPECT_EQ(states, (std::vector<bool>{true, false, true, false}));
    EXPECT_FALSE(tones.Busy());
}

} // namespace
