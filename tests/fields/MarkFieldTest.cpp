// Check marks, done marks, priorities, print-format bytes and classification codes.

#include "FieldTestSupport.h"

#include <gtest/gtest.h>

namespace tessera {
namespace {

using fieldtest::Display;
using fieldtest::Exchange;
using fieldtest::J;
using fieldtest::StringOverride;

TEST(CheckField, ParsesTheSymbols) {
    const struct {
        std::string text;
        bool accepted;
        int32_t value;
    } cases[] = {
        {"", true, 0},     {J("○"), true, 3},   {J("×"), true, 2},
        {J("△"), true, 1}, {J("○○"), false, 0}, {J("●"), false, 0},
        {"o", false, 0},   {"3", false, 0},     {J("○").substr(0, 1), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CCheckField f(MakeTag("CHK1"));
        ASSERT_TRUE(f.SetValue(int32_t{2}));
        EXPECT_EQ(f.ParseText(c.text), c.accepted);
        EXPECT_EQ(f.Value(), c.value);
    }
}

TEST(CheckField, FormatsBothForms) {
    const char* symbols[] = {"", "△", "×", "○"};
    for (int32_t v = 0; v <= 3; ++v) {
        CCheckField f(MakeTag("CHK4"));
        ASSERT_TRUE(f.SetValue(v));
        EXPECT_EQ(Exchange(f), J(symbols[v]));
        EXPECT_EQ(Display(f), J(symbols[v]));
        char buf[3];
        EXPECT_TRUE(f.FormatText(buf, 3, false));
        EXPECT_FALSE(f.FormatText(buf, 2, true));
    }
}

TEST(CheckField, SetValueRange) {
    CCheckField f(MakeTag("CHK2"));
    EXPECT_TRUE(f.SetValue(int32_t{3}));
    EXPECT_FALSE(f.SetValue(int32_t{4}));
    EXPECT_FALSE(f.SetValue(int32_t{-1}));
    EXPECT_EQ(f.Value(), 3);
}

TEST(CheckField, LoadedSymbolsShowWhileFixedOnesStillRead) {
    // A resource pack that changes only the first symbol.
    StringOverride pack(12800, J("◎"));
    CCheckField f(MakeTag("CHK3"));
    ASSERT_TRUE(f.ParseText(J("◎")));
    EXPECT_EQ(f.Value(), 3);
    EXPECT_EQ(Display(f), J("◎"));
    EXPECT_EQ(Exchange(f), J("○")); // the exchange text never changes
    ASSERT_TRUE(f.ParseText(J("○")));
    EXPECT_EQ(f.Value(), 3);
    ASSERT_TRUE(f.ParseText(J("×")));
    EXPECT_EQ(f.Value(), 2);
}

TEST(CheckField, LoadedTextsFitTheirSlot) {
    // Seven bytes at most, never half a character.
    StringOverride pack(12801, J("ばつばつ"));
    CCheckField f(MakeTag("CHK3"));
    ASSERT_TRUE(f.SetValue(int32_t{2}));
    EXPECT_EQ(Display(f), J("ばつば"));
}

TEST(AsciiField, ParsesTwoDigitTexts) {
    const struct {
        const char* tag;
        const char* text;
        bool accepted;
        int32_t value;
    } cases[] = {
        {"MARK", "00", true, 0},  {"MARK", "01", true, 1},   {"MARK", "02", false, -1},
        {"PRTY", "00", true, 0},  {"PRTY", "03", true, 3},   {"PRTY", "04", false, -1},
        {"PRTY", "3", false, -1}, {"PRTY", "13", false, -1}, {"PRTY", "030", false, -1},
        {"PRTY", "", false, -1},  {"MARK", " 1", false, -1}, {"MARK", "0x", false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " '" + c.text + "'");
        CAsciiField f(MakeTag(c.tag));
        EXPECT_EQ(f.ParseText(c.text), c.accepted);
        EXPECT_EQ(f.Value(), c.value);
        if (c.accepted) {
            EXPECT_EQ(Exchange(f), c.text);
        }
    }
}

TEST(AsciiField, DisplayTexts) {
    const struct {
        const char* tag;
        int32_t value;
        const char* display;
    } cases[] = {
        {"MARK", 0, " "},  {"MARK", 1, "済"}, {"PRTY", 0, "緊急"},
        {"PRTY", 1, "Ａ"}, {"PRTY", 2, "Ｂ"}, {"PRTY", 3, "Ｃ"},
    };
    for (const auto& c : cases) {
        CAsciiField f(MakeTag(c.tag));
        ASSERT_TRUE(f.SetValue(c.value));
        EXPECT_EQ(Display(f), J(c.display)) << c.tag << " " << c.value;
        char buf[5];
        EXPECT_TRUE(f.FormatText(buf, 5, true));
        EXPECT_FALSE(f.FormatText(buf, 4, true));
        EXPECT_TRUE(f.FormatText(buf, 3, false));
        EXPECT_FALSE(f.FormatText(buf, 2, false));
    }
}

TEST(AsciiField, NoValueNeverReadsBackAsOne) {
    for (const char* tag : {"MARK", "PRTY"}) {
        CAsciiField f(MakeTag(tag));
        EXPECT_EQ(f.Value(), -1);
        EXPECT_TRUE(f.IsEmpty());
        std::string text;
        ASSERT_TRUE(f.FormatText(text, false)); // writable, so a record can be saved
        CAsciiField back(MakeTag(tag));
        EXPECT_FALSE(back.ParseText(text)) << tag;
        EXPECT_EQ(back.Value(), -1);
        EXPECT_EQ(Display(f), "");
    }
}

TEST(AsciiField, SetValueRangePerTag) {
    CAsciiField mark(MakeTag("MARK"));
    EXPECT_TRUE(mark.SetValue(int32_t{1}));
    EXPECT_FALSE(mark.SetValue(int32_t{2}));
    CAsciiField priority(MakeTag("PRTY"));
    EXPECT_TRUE(priority.SetValue(int32_t{3}));
    EXPECT_FALSE(priority.SetValue(int32_t{4}));
    EXPECT_FALSE(priority.SetValue(int32_t{-1}));
    EXPECT_EQ(priority.Value(), 3);
}

TEST(AsciiField, OtherTagsFailEverything) {
    CAsciiField f(MakeTag("NAME"));
    EXPECT_FALSE(f.ParseText("01"));
    EXPECT_FALSE(f.SetValue(int32_t{0}));
    std::string out;
    EXPECT_FALSE(f.FormatText(out, false));
    EXPECT_FALSE(f.FormatText(out, true));
}

TEST(BinaryField, HexPairs) {
    const struct {
        std::string text;
        bool accepted;
        std::vector<uint8_t> bytes;
        std::string exchange;
    } cases[] = {
        {"", true, {}, ""},         {"0AFF", true, {0x0A, 0xFF}, "0AFF"},
        {"00", true, {0x00}, "00"}, {"0aff", true, {0x0A, 0xFF}, "0AFF"},
        {"A", false, {}, ""},       {"ABC", false, {}, ""},
        {"0G", false, {}, ""},      {"0 ", false, {}, ""},
        {"-1", false, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CBinaryField f(MakeTag("PRF1"));
        ASSERT_TRUE(f.SetValue(std::vector<uint8_t>{1, 2, 3}));
        EXPECT_EQ(f.ParseText(c.text), c.accepted);
        EXPECT_EQ(f.Value(), c.bytes);
        EXPECT_EQ(Exchange(f), c.exchange);
        EXPECT_EQ(Display(f), c.exchange);
    }
}

TEST(BinaryField, CapacityIsTwicePlusOne) {
    CBinaryField f(MakeTag("PRF1"));
    ASSERT_TRUE(f.SetValue(std::vector<uint8_t>{0x12, 0x34, 0xAB}));
    char buf[8];
    EXPECT_FALSE(f.FormatText(buf, 6, false));
    ASSERT_TRUE(f.FormatText(buf, 7, false));
    EXPECT_STREQ(buf, "1234AB");
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    ASSERT_TRUE(f.SetValue(all));
    CBinaryField back(MakeTag("PRF1"));
    ASSERT_TRUE(back.ParseText(Exchange(f)));
    EXPECT_EQ(back.Value(), all);
}

TEST(PhonogramField, AcceptedCodes) {
    const struct {
        std::string text;
        bool accepted;
        uint16_t code;
    } cases[] = {
        {"", true, 0},
        {J("あ"), true, 0x82A0},
        {J("ん"), true, 0x82F1},
        {J("を"), true, 0x82F0},
        {J("５"), true, 0x8254},
        {J("０"), true, 0x824F},
        {J("９"), true, 0x8258},
        {J("　"), true, 0x8140},
        {J("あいう"), true, 0x82A0}, // only the first character counts
        // A digit folded to ASCII by the reader stands for the full-width digit.
        {"5", true, 0x8254},
        {"0", true, 0x824F},
        {J("が"), false, 0},
        {J("ア"), false, 0},
        {J("ぁ"), false, 0},
        {J("ゐ"), false, 0},
        {J("ゑ"), false, 0},
        {J("ぱ"), false, 0},
        {J("Ａ"), false, 0},
        {"a", false, 0},
        {" ", false, 0},
        {"\x82", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CPhonogramField f(MakeTag("CLSC"));
        ASSERT_TRUE(f.SetValue(uint16_t{0x82A2}));
        EXPECT_EQ(f.ParseText(c.text), c.accepted);
        EXPECT_EQ(f.Value(), c.code);
    }
}

TEST(PhonogramField, ExactlyTheFortySixPlainHiragana) {
    int accepted = 0;
    for (uint16_t code = 0x829F; code <= 0x82F1; ++code) {
        if (CPhonogramField::IsAcceptedCode(code))
            ++accepted;
    }
    EXPECT_EQ(accepted, 46);
    EXPECT_FALSE(CPhonogramField::IsAcceptedCode(0));
    EXPECT_FALSE(CPhonogramField::IsAcceptedCode(0x824E));
    EXPECT_FALSE(CPhonogramField::IsAcceptedCode(0x8259));
}

TEST(PhonogramField, FormatsTheTwoBytes) {
    CPhonogramField f(MakeTag("CLSC"));
    EXPECT_EQ(Exchange(f), "");
    ASSERT_TRUE(f.ParseText("7"));
    EXPECT_EQ(Exchange(f), J("７"));
    EXPECT_EQ(Display(f), J("７"));
    char buf[3];
    EXPECT_FALSE(f.FormatText(buf, 2, false));
    EXPECT_TRUE(f.FormatText(buf, 3, false));
}

TEST(PhonogramField, SetValueAppliesTheSameCheck) {
    CPhonogramField f(MakeTag("CLSC"));
    EXPECT_TRUE(f.SetValue(uint16_t{0x82A0}));
    EXPECT_TRUE(f.SetValue(int32_t{0x8140}));
    EXPECT_FALSE(f.SetValue(uint16_t{0}));
    EXPECT_FALSE(f.SetValue(uint16_t{0x82AA}));
    EXPECT_FALSE(f.SetValue(int32_t{0x182A0}));
    EXPECT_EQ(f.Value(), 0x8140);
}

} // namespace
} // namespace tessera
