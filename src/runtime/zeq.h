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
