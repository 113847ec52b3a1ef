// Types and constants shared by every module of the system.
#pragma once

#include <cstdint>

// The missing value of every integer and float field, key and setting.
inline constexpr int MISSING = -9999;
inline constexpr float FMISSING = -9999.0f;

// Message kind and level mask. Each kind is a group of four sub-level bits
// (a, b, c, d); error and warn share the second group.
using M_type = std::uint32_t;
inline constexpr M_type M_PRINT = 0xF;
inline constexpr M_type M_ERROR = 0x30;
inline constexpr M_type M_WARN = 0xC0;
inline constexpr M_type M_MESS = 0xF00;
inline constexpr M_type M_OUT1 = 0xF000;
inline constexpr M_type M_OUT2 = 0xF0000;
inline constexpr M_type M_OUT3 = 0xF00000;
inline constexpr M_type M_OUT4 = 0xF000000;
inline constexpr M_type M_DEBUG = 0xF0000000;

// Calendar record: full year, month 1..12, day 1..31, day of the year 1..366,
// day of the week 0..6 (0 = Sunday), hour, minute, second; -9999 marks a
// field missing.
struct Date {
    int year;
    int month;
    int day;
    int jday;
    int wday;
    int hour;
    int min;
    int sec;
};

// One row of a text menu. Row 0 of a table is the return entry; a row with a
// null name ends the table. The tables and their texts belong to the callers.
struct MENU_item {
    const char *name; // text shown; a name beginning with '-' prints a separator line
    const char *abbr; // abbreviation that chooses the row, handed back after a choice
    int index;        // value returned when the row is chosen
    int disp[10];     // the row is shown in menu number n when disp[n] is 1
};
