// Types and constants shared by every module of the system.
#pragma once

#include <cstdint>
#include <numbers>

// The missing value of every integer and float field, key and setting.
inline constexpr int MISSING = -9999;
inline constexpr float FMISSING = -9999.0f;

// True for the missing value (-9999, or -9999.0 exactly for floats).
inline constexpr bool is_missing(int v) {
    return v == MISSING;
}
inline constexpr bool is_missing(long v) {
    return v == MISSING;
}
inline constexpr bool is_missing(float v) {
    return v == FMISSING;
}
inline constexpr bool is_missing(double v) {
    return v == double(FMISSING);
}

// Degrees to radians and back.
inline constexpr double DEG_TO_RAD = std::numbers::pi / 180.0;
inline constexpr double RAD_TO_DEG = 180.0 / std::numbers::pi;

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

// The single sub-level bits of each kind. Error holds a and b of the second
// group and warn c and d, so those two kinds have two names each.
inline constexpr M_type M_PRINT_A = 0x1;
inline constexpr M_type M_PRINT_B = 0x2;
inline constexpr M_type M_PRINT_C = 0x4;
inline constexpr M_type M_PRINT_D = 0x8;
inline constexpr M_type M_ERROR_A = 0x10;
inline constexpr M_type M_ERROR_B = 0x20;
inline constexpr M_type M_WARN_C = 0x40;
inline constexpr M_type M_WARN_D = 0x80;
inline constexpr M_type M_MESS_A = 0x100;
inline constexpr M_type M_MESS_B = 0x200;
inline constexpr M_type M_MESS_C = 0x400;
inline constexpr M_type M_MESS_D = 0x800;
inline constexpr M_type M_OUT1_A = 0x1000;
inline constexpr M_type M_OUT1_B = 0x2000;
inline constexpr M_type M_OUT1_C = 0x4000;
inline constexpr M_type M_OUT1_D = 0x8000;
inline constexpr M_type M_OUT2_A = 0x10000;
inline constexpr M_type M_OUT2_B = 0x20000;
inline constexpr M_type M_OUT2_C = 0x40000;
inline constexpr M_type M_OUT2_D = 0x80000;
inline constexpr M_type M_OUT3_A = 0x100000;
inline constexpr M_type M_OUT3_B = 0x200000;
inline constexpr M_type M_OUT3_C = 0x400000;
inline constexpr M_type M_OUT3_D = 0x800000;
inline constexpr M_type M_OUT4_A = 0x1000000;
inline constexpr M_type M_OUT4_B = 0x2000000;
inline constexpr M_type M_OUT4_C = 0x4000000;
inline constexpr M_type M_OUT4_D = 0x8000000;
inline constexpr M_type M_DEBUG_A = 0x10000000;
inline constexpr M_type M_DEBUG_B = 0x20000000;
inline constexpr M_type M_DEBUG_C = 0x40000000;
inline constexpr M_type M_DEBUG_D = 0x80000000;

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
