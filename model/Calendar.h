#pragma once
// Calendar arithmetic of the Gregorian calendar, once for the whole program: the editors
// (day of week beside a date, age beside a birthday) and the filters use these.

namespace tessera {

constexpr bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days of `month` (1..12) in `year`; 31 for a month outside 1..12, so a caller checking a
// day never reads outside the table.
constexpr int DaysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 31;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Day of week of a date, 0 = Sunday .. 6 = Saturday (the device's numbering).
constexpr int DayOfWeek(int year, int month, int day) {
    if (month == 1 || month == 2) {
        year -= 1;
        month += 12;
    }
    const int v = (13 * month + 8) / 5 + year + year / 4 - year / 100 + year / 400 + day;
    return ((v % 7) + 7) % 7;
}

// Whole years someone born on birthYear/birthMonth/birthDay has on year/month/day: one
// more on each birthday (someone born on 29 February gains it on 1 March in other years).
constexpr int AgeOn(int year, int month, int day, int birthYear, int birthMonth, int birthDay) {
    int age = year - birthYear;
    if (month < birthMonth || (month == birthMonth && day < birthDay))
        --age;
    return age;
}

} // namespace tessera
