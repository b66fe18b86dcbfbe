#include "app/dial/DialNumber.h"

#include <gtest/gtest.h>
#include <string>

using tessera::ConvertDialNumber;

namespace {

struct ConversionCase {
    const char* name;
    std::string input; // code page 932 bytes
    bool ok;
    std::string expected;
};

// Full-width digits are 0x82 0x4F..0x58; the three dashes 0x81 0x5B (long-vowel mark),
// 0x81 0x5C and 0x81 0x7C.
const ConversionCase kCases[] = {
    {"ascii digits and dash", "03-1234-5678", true, "03-1234-5678"},
    {"full-width digits", "\x82\x4F\x82\x50\x82\x58", true, "019"},
    {"long-vowel mark as dash",
     "06\x81\x5B"
     "1234",
     true, "06-1234"},
    {"full-width dash 815C",
     "1\x81\x5C"
     "2",
     true, "1-2"},
    {"full-width minus 817C",
     "1\x81\x7C"
     "2",
     true, "1-2"},
    {"mixed widths",
     "\x82\x4F\x82\x53\x81\x5B"
     "123-\x82\x54",
     true, "04-123-5"},
    {"letter refused", "03-12a4", false, ""},
    {"space refused", "03 1234", false, ""},
    {"plus refused", "+81312345678", false, ""},
    {"parenthesis refused", "(03)1234", false, ""},
    {"full-width letter refused",
     "\x82\x60"
     "12",
     false, ""},                                                // full-width A
    {"byte after full-width 9 refused", "\x82\x59", false, ""}, // next after 9
    {"byte before full-width 0 refused", "\x82\x4E", false, ""},
    {"other 0x81 symbol refused", "\x81\x5D", false, ""},
    {"kanji refused", "\x93\x64\x98\x62", false, ""}, // 電話
    {"half-width katakana refused", "\xB1", false, ""},
    {"lead byte cut off at the end", "123\x82", false, ""},
    {"31 characters fit", std::string(31, '1'), true, std::string(31, '1')},
    {"32 characters refused", std::string(32, '1'), false, ""},
};

TEST(DialNumber, ConversionTable) {
    for (const ConversionCase& c : kCases) {
        std::string out = "stale";
        EXPECT_EQ(ConvertDialNumber(c.input, out), c.ok) << c.name;
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST(DialNumber, LengthCountsConvertedCharactersNotBytes) {
    // 20 full-width digits are 40 bytes but only 20 dial characters.
    std::string wide;
    for (int i = 0; i < 20; ++i)
        wide += "\x82\x50";
    std::string out;
    ASSERT_TRUE(ConvertDialNumber(wide, out));
    EXPECT_EQ(out, std::string(20, '1'));

    // 31 converted characters made of wide and narrow ones still fit; one more does not.
    std::string mixed = wide + std::string(11, '2');
    EXPECT_TRUE(ConvertDialNumber(mixed, out));
    EXPECT_FALSE(ConvertDialNumber(mixed + "\x81\x5B", out));
    EXPECT_TRUE(out.empty());
}

TEST(DialNumber, TrailByteLookingLikeDigitIsNotADigit) {
    // 0x82 0x30 is no full-width character; its second byte is '0' but must not pass as one.
    std::string out;
    EXPECT_FALSE(ConvertDialNumber(std::string("\x82"
                                               "0",
                                               2),
                                   out));
    // 0x81 0x2D: the trail byte is '-'.
    EXPECT_FALSE(ConvertDialNumber(std::string("\x81-", 2), out));
}

} // namespace
