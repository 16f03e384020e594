#pragma once

// Gregorian calendar arithmetic shared by the date-time editor and its
// calendar popup.

namespace liveview {

constexpr bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days of month 1..12 of year; 0 for a month outside 1..12.
constexpr int DaysInMonth(int month, int year) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Weekday of a Gregorian date, 0 Sunday .. 6 Saturday (for years from 1).
constexpr int DayOfWeek(int year, int month, int day) {
    const int a = (14 - month) / 12;
    const int y = year - a;
    const int m = month + 12 * a - 2;
    return (day + y + y / 4 - y / 100 + y / 400 + 31 * m / 12) % 7;
}

static_assert(DaysInMonth(2, 2000) == 29 && DaysInMonth(2, 2400) == 29);
static_assert(DaysInMonth(2, 2100) == 28 && DaysInMonth(2, 2023) == 28);
static_assert(DayOfWeek(2000, 1, 1) == 6, "1 January 2000 was a Saturday");
static_assert(DayOfWeek(2026, 12, 10) == 4, "10 December 2026 is a Thursday");

}  // namespace liveview
