// Time and day-of-week fields: the positional text, the range rules per tag, both forms.

#include "FieldTestSupport.h"

#include <gtest/gtest.h>

namespace tessera {
namespace {

using fieldtest::Display;
using fieldtest::Exchange;
using fieldtest::J;

constexpr int32_t Y = DateTimeValue::kYear;
constexpr int32_t M = DateTimeValue::kMonth;
constexpr int32_t D = DateTimeValue::kDay;
constexpr int32_t H = DateTimeValue::kHour;
constexpr int32_t N = DateTimeValue::kMinute;

struct TimeCase {
    const char* tag;
    const char* text;
    bool accepted;
    DateTimeValue value;  // when accepted
    const char* exchange; // when accepted
    const char* display;  // when accepted
};

TEST(TimeField, ParsesByPositionWithTheRulesOfItsTag) {
    const TimeCase cases[] = {
        {"BRTH", "    1224      ", true, {M | D, 0, 12, 24, 0, 0}, "    1224      ", "12/24"},
        {"BRTH",
         "19701224      ",
         true,
         {Y | M | D, 1970, 12, 24, 0, 0},
         "19701224      ",
         "1970/12/24"},
        {"TIM1",
         "200105311230  ",
         true,
         {Y | M | D | H | N, 2001, 5, 31, 12, 30},
         "200105311230  ",
         "2001/05/31 12:30"},
        {"TIM2",
         "200105310000xx",
         true,
         {Y | M | D | H | N, 2001, 5, 31, 0, 0},
         "200105310000  ",
         "2001/05/31 00:00"},
        {"ALRM",
         "20010531      ",
         true,
         {Y | M | D, 2001, 5, 31, 0, 0},
         "20010531      ",
         "2001/05/31"},
        {"TIM1",
         "2001053112    ",
         true,
         {Y | M | D | H, 2001, 5, 31, 12, 0},
         "2001053112    ",
         "2001/05/31 12:  "},
        {"TIM1",
         "20010531  45  ",
         true,
         {Y | M | D | N, 2001, 5, 31, 0, 45},
         "20010531  45  ",
         "2001/05/31   :45"},
        {"TIM1",
         "    05311230  ",
         true,
         {M | D | H | N, 0, 5, 31, 12, 30},
         "    05311230  ",
         "    /05/31 12:30"},
        {"TIM1",
         "2001 5 1 9 5  ",
         true,
         {Y | M | D | H | N, 2001, 5, 1, 9, 5},
         "200105010905  ",
         "2001/05/01 09:05"},
        {"TIM1",
         "0000053112    ",
         true,
         {M | D | H, 0, 5, 31, 12, 0},
         "    053112    ",
         "    /05/31 12:  "},
        {"TIM1",
         "190105311230  ",
         true,
         {Y | M | D | H | N, 1901, 5, 31, 12, 30},
         "190105311230  ",
         "1901/05/31 12:30"},
        {"TIM1",
         "209912312359  ",
         true,
         {Y | M | D | H | N, 2099, 12, 31, 23, 59},
         "209912312359  ",
         "2099/12/31 23:59"},
        // The day is not checked against the month.
        {"ETDY",
         "20010231      ",
         true,
         {Y | M | D, 2001, 2, 31, 0, 0},
         "20010231      ",
         "2001/02/31"},
        // ANN1 never has a year: the year bytes are not even read.
        {"ANN1", "abcd0101      ", true, {M | D, 0, 1, 1, 0, 0}, "    0101      ", "01/01"},
        {"ANN1", "20010101      ", true, {M | D, 0, 1, 1, 0, 0}, "    0101      ", "01/01"},
        // Date-only tags do not read hour and minute.
        {"ETDY",
         "200101019999  ",
         true,
         {Y | M | D, 2001, 1, 1, 0, 0},
         "20010101      ",
         "2001/01/01"},
        {"LTDY",
         "20010101xxxx  ",
         true,
         {Y | M | D, 2001, 1, 1, 0, 0},
         "20010101      ",
         "2001/01/01"},
        {"FNDY", "    0101      ", true, {M | D, 0, 1, 1, 0, 0}, "    0101      ", "01/01"},

        {"TIM1", "190012311230  ", false, {}, "", ""},
        {"TIM1", "210001011230  ", false, {}, "", ""},
        {"BRTH", "19001224      ", false, {}, "", ""},
        {"BRTH", " 999 101      ", false, {}, "", ""},
        {"TIM1", "200113011230  ", false, {}, "", ""},
        {"TIM1", "200100011230  ", false, {}, "", ""},
        {"TIM1", "2001  011230  ", false, {}, "", ""},
        {"TIM1", "200101001230  ", false, {}, "", ""},
        {"TIM1", "200101321230  ", false, {}, "", ""},
        {"TIM1", "200101012400  ", false, {}, "", ""},
        {"TIM1", "200101011260  ", false, {}, "", ""},
        {"ALRM", "20010101-100  ", false, {}, "", ""},
        // Each part is digits after leading spaces, nothing else.
        {"TIM1", "20015 011230  ", false, {}, "", ""},
        {"TIM1", "20 1050112    ", false, {}, "", ""},
        {"TIM1", "2001+50112    ", false, {}, "", ""},
        {"TIM1", "2001051x1230  ", false, {}, "", ""},
        {"TIM1", "20010501120x  ", false, {}, "", ""},
        {"BRTH",
         "2001\x82\x4f"
         "01      ",
         false,
         {},
         "",
         ""},
        // Exactly 14 bytes.
        {"TIM1", "200105311230 ", false, {}, "", ""},
        {"TIM1", "200105311230   ", false, {}, "", ""},
        {"BRTH", "    1224", false, {}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " '" + c.text + "'");
        CTimeField f(MakeTag(c.tag));
        ASSERT_TRUE(f.ParseText("20000101      ")); // a previous value
        EXPECT_EQ(f.ParseText(c.text), c.accepted);
        if (!c.accepted) {
            EXPECT_TRUE(f.IsEmpty());
            EXPECT_EQ(Exchange(f), "");
            EXPECT_EQ(ValueAs<DateTimeValue>(f.GetValue()), nullptr);
            continue;
        }
        const auto* v = ValueAs<DateTimeValue>(f.GetValue());
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(*v, c.value);
        EXPECT_EQ(Exchange(f), c.exchange);
        EXPECT_EQ(Display(f), c.display);
        // The exchange text reads back to the same value.
        CTimeField back(MakeTag(c.tag));
        ASSERT_TRUE(back.ParseText(Exchange(f)));
        EXPECT_EQ(back.Value(), f.Value());
    }
}

TEST(TimeField, EmptyTextUnsets) {
    CTimeField f(MakeTag("TIM1"));
    EXPECT_TRUE(f.IsEmpty());
    ASSERT_TRUE(f.ParseText("200105311230  "));
    ASSERT_TRUE(f.ParseText(""));
    EXPECT_TRUE(f.IsEmpty());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(f.GetValue()));
    EXPECT_EQ(Exchange(f), "");
    EXPECT_EQ(Display(f), "");
}

TEST(TimeField, Capacities) {
    CTimeField f(MakeTag("TIM1"));
    ASSERT_TRUE(f.ParseText("200105311230  "));
    char buf[32];
    EXPECT_FALSE(f.FormatText(buf, 14, false));
    EXPECT_TRUE(f.FormatText(buf, 15, false));
    EXPECT_FALSE(f.FormatText(buf, 18, true));
    EXPECT_TRUE(f.FormatText(buf, 19, true));
    EXPECT_STREQ(buf, "2001/05/31 12:30");
}

TEST(TimeField, SetValue) {
    CTimeField f(MakeTag("TIM1"));
    EXPECT_TRUE(f.SetValue(DateTimeValue{Y | M | D | H | N, 2001, 5, 31, 12, 30}));
    EXPECT_EQ(Display(f), "2001/05/31 12:30");

    // Parts without their bit keep their values but no longer count.
    EXPECT_TRUE(f.SetValue(DateTimeValue{M | D, 0, 6, 1, 0, 0}));
    EXPECT_EQ(f.Value().year, 2001);
    EXPECT_EQ(f.Value().hour, 12);
    EXPECT_EQ(f.Value().flags, M | D);
    EXPECT_EQ(Exchange(f), "    0601      ");

    // Flags 0 unsets the field.
    EXPECT_FALSE(f.SetValue(DateTimeValue{}));
    EXPECT_TRUE(f.IsEmpty());
    EXPECT_FALSE(f.SetValue(std::string("x")));
}

TEST(TimeField, SetValueRefusesWhatCouldNotBeReadBack) {
    const DateTimeValue refused[] = {
        {Y, 2001, 0, 0, 0, 0},         // no month or day
        {Y | M, 2001, 5, 0, 0, 0},     // no day
        {Y | M | D, 1900, 5, 1, 0, 0}, // year out of range
        {M | D, 0, 13, 1, 0, 0},       // month out of range
        {M | D, 0, 12, 32, 0, 0},      // day out of range
        {M | D | H, 0, 12, 1, 24, 0},  // hour out of range
        {M | D | N, 0, 12, 1, 0, 60},  // minute out of range
        {M | D | N, 0, 12, 1, 0, -1},
    };
    for (const auto& v : refused) {
        CTimeField f(MakeTag("TIM1"));
        ASSERT_TRUE(f.ParseText("200105311230  "));
        EXPECT_FALSE(f.SetValue(v)) << v.flags << " " << v.year << "/" << v.month << "/" << v.day;
        EXPECT_EQ(Exchange(f), "200105311230  "); // unchanged
    }
}

TEST(TimeField, SetValueDropsPartsTheTagNeverHas) {
    CTimeField birthday(MakeTag("BRTH"));
    ASSERT_TRUE(birthday.SetValue(DateTimeValue{Y | M | D | H | N, 1980, 4, 1, 99, 99}));
    EXPECT_EQ(birthday.Value().flags, Y | M | D);
    EXPECT_EQ(Display(birthday), "1980/04/01");

    CTimeField anniversary(MakeTag("ANN1"));
    ASSERT_TRUE(anniversary.SetValue(DateTimeValue{Y | M | D, 1980, 4, 1, 0, 0}));
    EXPECT_EQ(anniversary.Value().flags, M | D);
    EXPECT_EQ(Exchange(anniversary), "    0401      ");
}

TEST(TimeField, CopyKeepsValueAndTag) {
    CTimeField f(MakeTag("ALRM"));
    ASSERT_TRUE(f.ParseText("200105311230  "));
    const auto clone = f.Clone();
    EXPECT_EQ(clone->Tag(), MakeTag("ALRM"));
    EXPECT_EQ(Exchange(*clone), "200105311230  ");
    f.Clear();
    EXPECT_EQ(Exchange(*clone), "200105311230  ");
}

struct DayWeekCase {
    const char* text;
    bool accepted;
    int month, week, dayOfWeek;
    const char* display; // UTF-8
};

TEST(DayWeekField, ParsesMonthWeekAndDay) {
    const DayWeekCase cases[] = {
        {"    0326", true, 3, 2, 6, "3月 第2 土曜日"},
        {"    1240", true, 12, 4, 0, "12月 第4 日曜日"},
        {"xxxx0111", true, 1, 1, 1, "1月 第1 月曜日"},
        {"     713", true, 7, 1, 3, "7月 第1 水曜日"},
        // The fifth week has no label.
        {"    0356", true, 3, 5, 6, "3月  土曜日"},
        {"    0026", false, 0, 0, 0, ""},
        {"    1326", false, 0, 0, 0, ""},
        {"      26", false, 0, 0, 0, ""},
        {"    0306", false, 0, 0, 0, ""},
        {"    0366", false, 0, 0, 0, ""},
        {"    0327", false, 0, 0, 0, ""},
        {"    032x", false, 0, 0, 0, ""},
        {"    3 26", false, 0, 0, 0, ""},
        {"    032", false, 0, 0, 0, ""},
        {"    03260", false, 0, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        CDayWeekField f(MakeTag("ANN2"));
        ASSERT_TRUE(f.ParseText("    0111"));
        EXPECT_EQ(f.ParseText(c.text), c.accepted);
        if (!c.accepted) {
            EXPECT_TRUE(f.IsEmpty());
            EXPECT_EQ(ValueAs<DayWeekValue>(f.GetValue()), nullptr);
            EXPECT_EQ(Exchange(f), "");
            continue;
        }
        const auto* v = ValueAs<DayWeekValue>(f.GetValue());
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->flags, DayWeekValue::kAll);
        EXPECT_EQ(v->month, c.month);
        EXPECT_EQ(v->week, c.week);
        EXPECT_EQ(v->dayOfWeek, c.dayOfWeek);
        EXPECT_EQ(Display(f), J(c.display));
        const std::string exchange = Exchange(f);
        EXPECT_EQ(exchange.substr(0, 4), "    ");
        CDayWeekField back(MakeTag("ANN2"));
        ASSERT_TRUE(back.ParseText(exchange));
        EXPECT_EQ(back.Value(), f.Value());
    }
}

TEST(DayWeekField, ExchangeAndCapacities) {
    CDayWeekField f(MakeTag("ANN2"));
    EXPECT_EQ(Exchange(f), "");
    ASSERT_TRUE(f.SetValue(DayWeekValue{DayWeekValue::kAll, 3, 2, 6}));
    EXPECT_EQ(Exchange(f), "    0326");
    char buf[32];
    EXPECT_FALSE(f.FormatText(buf, 8, false));
    EXPECT_TRUE(f.FormatText(buf, 9, false));
    EXPECT_FALSE(f.FormatText(buf, 23, true));
    EXPECT_TRUE(f.FormatText(buf, 24, true));
}

TEST(DayWeekField, SetValueNeedsAllThreeParts) {
    CDayWeekField f(MakeTag("ANN2"));
    ASSERT_TRUE(f.SetValue(DayWeekValue{DayWeekValue::kAll, 3, 2, 6}));
    EXPECT_FALSE(f.SetValue(DayWeekValue{DayWeekValue::kMonth | DayWeekValue::kWeek, 3, 2, 6}));
    EXPECT_TRUE(f.IsEmpty());

    ASSERT_TRUE(f.SetValue(DayWeekValue{DayWeekValue::kAll, 3, 2, 6}));
    EXPECT_FALSE(f.SetValue(DayWeekValue{DayWeekValue::kAll, 13, 2, 6}));
    EXPECT_FALSE(f.SetValue(DayWeekValue{DayWeekValue::kAll, 3, 6, 6}));
    EXPECT_FALSE(f.SetValue(DayWeekValue{DayWeekValue::kAll, 3, 2, 7}));
    EXPECT_EQ(Exchange(f), "    0326");
}

} // namespace
} // namespace tessera
