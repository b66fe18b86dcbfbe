#include "model/Calendar.h"

#include <gtest/gtest.h>

using namespace tessera;

namespace {

TEST(Calendar, DayOfWeekAcrossTheDevicesYears) {
    struct Case {
        int y, m, d, dow;
    };
    const Case cases[] = {
        {1901, 1, 1, 2},  {1999, 12, 31, 5}, {2000, 1, 1, 6},   {2000, 2, 29, 2}, {2000, 3, 1, 3},
        {2024, 2, 29, 4}, {2026, 12, 8, 2},  {2099, 12, 31, 4}, {2100, 3, 1, 1},  {1900, 2, 28, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DayOfWeek(c.y, c.m, c.d), c.dow) << c.y << '-' << c.m << '-' << c.d;
}

TEST(Calendar, MonthLengthsAndLeapYears) {
    struct Case {
        int y, m, days;
    };
    const Case cases[] = {
        {2023, 2, 28}, {2024, 2, 29},  {1900, 2, 28}, {2000, 2, 29},  {0, 2, 29},
        {2023, 4, 30}, {2023, 12, 31}, {2023, 0, 31}, {2023, 13, 31},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DaysInMonth(c.y, c.m), c.days) << c.y << '-' << c.m;
}

TEST(Calendar, AgeGrowsOnTheBirthday) {
    struct Case {
        int y, m, d, by, bm, bd, age;
    };
    const Case cases[] = {
        {2026, 12, 7, 1990, 12, 8, 35}, {2026, 12, 8, 1990, 12, 8, 36},
        {2026, 1, 1, 1990, 12, 31, 35}, {2025, 2, 28, 2000, 2, 29, 24},
        {2025, 3, 1, 2000, 2, 29, 25},  {2024, 2, 29, 2000, 2, 29, 24},
        {2026, 5, 5, 2026, 5, 5, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AgeOn(c.y, c.m, c.d, c.by, c.bm, c.bd), c.age) << c.y << '-' << c.m << '-' << c.d;
}

} // namespace
