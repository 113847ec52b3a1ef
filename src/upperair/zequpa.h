// Records shared by the upper-air and thermodynamics modules and their users:
// sounding levels, radiosonde station reports as their files hold them, the
// header of an upper-air file, winds, and the upper-air file type codes.
#pragma once

#include "runtime/zeq.h"

// One sounding level; -9999 marks a missing value.
struct UPA_level {
    float p;   // pressure (mb)
    float h;   // height above sea level (m)
    float t;   // temperature (degrees Celsius)
    float td;  // dew point (degrees Celsius)
    float dir; // direction the wind blows from (degrees)
    float spd; // wind speed (knots)
};

// One significant temperature level (mb, degrees Celsius).
struct UPA_sig_level {
    float p;
    float t;
    float td;
};

// One wind level: height in feet above sea level (0 is the surface wind),
// direction in degrees, speed in knots.
struct UPA_wind_level {
    float h;
    float dir;
    float spd;
};

// Slots of UPA_report::man.
inline constexpr int UPA_SLOT_SFC = 0;    // surface; height = station height
inline constexpr int UPA_SLOT_1000 = 1;   // 1 to 16: 1000 ... 10 mb (UPA_mandatory)
inline constexpr int UPA_SLOT_ABOVE = 17; // 17 to 21: levels above 10 mb in file order
inline constexpr int UPA_SLOT_TROP = 22;  // tropopause: no height in any file
inline constexpr int UPA_SLOT_MAXW = 23;  // maximum wind: pressure and wind only
inline constexpr int UPA_SLOT_SPARE = 24;

inline constexpr int UPA_MAX_MAN = 25;
inline constexpr int UPA_MAX_SIG = 200;
inline constexpr int UPA_MAX_WND = 100;

// One radiosonde station report, as its file holds it. Every float is -9999
// when missing. Units: mb, metres in man, feet in wnd, degrees Celsius,
// degrees, knots.
struct UPA_report {
    char id[11];   // station identifier, at most 10 characters
    char area[11]; // region or area code
    int wmo;       // WMO station number
    float lat;     // degrees north
    float lon;     // degrees east
    float elev;    // station elevation (m)
    int time;      // observation time as the producer sets it (no reader fills it)
    int type;      // report kind as the producer sets it (no file stores it)
    UPA_level man[UPA_MAX_MAN];
    int numman; // mandatory count as the file type sets it; nonzero: mandatory data present
    UPA_sig_level sig[UPA_MAX_SIG];
    int numsig; // valid entries of sig, decreasing pressure
    UPA_wind_level wnd[UPA_MAX_WND];
    int numwnd; // valid entries of wnd, increasing height
};

// The header of an upper-air file.
struct UPA_info {
    char datim[40];      // date label (at most 39 characters)
    char file[20];       // date key, the global attribute "yymmddhh" of netCDF files
    const char *cmdline; // history text of new netCDF files; null: the default text
    Date date;           // the date decoded from datim
};

// Knots to metres per second.
inline constexpr float UPA_KNOT_TO_MS = 0.5144f;

// A wind: direction (degrees) and speed (knots).
struct WIND {
    float dir;
    float spd;
};

// Upper-air file types.
inline constexpr int UPA_TEXT_OLD4 = 1;    // older coded text: 4 mandatory levels, fixed wind heights
inline constexpr int UPA_TEXT_OLD8 = 2;    // older coded text: 8 mandatory levels, fixed wind heights
inline constexpr int UPA_TEXT = 3;         // "ZEQUPA" fixed-length coded text
inline constexpr int UPA_TEXT_VAR = 4;     // "ZEQUPA+" variable-length coded text, blocks end with "$"
inline constexpr int UPA_TEXT_POS = 5;     // "ZEQUPAx": as 4 with WMO number and position in the token
inline constexpr int UPA_CDF_STATION = 11; // netCDF, record dimension "station", knots and feet
inline constexpr int UPA_CDF_REPORT = 12;  // netCDF, record dimension "report", m/s and metres
inline constexpr int UPA_BINARY = 41;      // binary records of selected levels (written only)
inline constexpr int UPA_XML = 51;         // XML document (written only)

// Reading modes of UPA_read: 1 to 16 a mandatory slot, 22 the tropopause and
// 23 the maximum wind (each returned in slot 0) are the single-level modes.
inline constexpr int UPA_READ_SFC = 0;      // the surface level in slot 0
inline constexpr int UPA_READ_ALL = 30;     // the whole report
inline constexpr int UPA_READ_TOKEN = 31;   // station identification only
inline constexpr int UPA_READ_STATION = 32; // netCDF: the station part only
