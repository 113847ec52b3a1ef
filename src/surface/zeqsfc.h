// Records shared by the surface modules and their users: one surface report,
// the header of an open surface file, and the surface file type codes.
#pragma once

#include "runtime/zeq.h"

// One surface weather observation. Numbers are -9999 when missing (but type,
// num_cld and flag are 0 when unset), code characters a blank, texts empty
// (weather " "). Units: degrees Fahrenheit, knots, mb, inches of mercury,
// statute miles, feet for cloud bases, inches for precipitation.
struct SFC_report {
    char id[11];         // station identifier (call letters or WMO block and station number)
    char area[11];       // region code; "SHIP" for a report carrying its own position
    int type;            // report type; 0 none known
    int wmo;             // WMO station number
    float lat;           // position carried by the report, degrees north
    float lon;           // degrees east
    float elev;          // station elevation (m)
    int prior;           // station priority
    int time;            // observation time hhmm UTC
    float cld_height[5]; // cloud base of up to five layers (feet above ground)
    char cld_cover[5];   // cover of each layer: C F S B O X (lower case thin), '0'-'9' oktas, ' ' none
    int num_cld;         // number of cloud layers present
    float vis;           // visibility (miles)
    char weather[21];    // present weather (WMO number, '!' METAR group or letter code); " " none
    float pmb;           // sea-level pressure (mb)
    float t;             // temperature (F)
    float td;            // dew point (F)
    float w_dir;         // wind direction (degrees)
    float w_spd;         // wind speed (knots)
    float w_gust;        // gust (knots)
    float alt;           // altimeter setting (inches)
    int ptend_t;         // pressure tendency characteristic 0-8
    float ptend;         // 3-hour pressure change (mb)
    float rain1;         // precipitation over the last 1, 3, 6, 12, 24 hours (inches)
    float rain3;
    float rain6;
    float rain12;
    float rain24;
    float rain; // a further precipitation amount over rain_per hours
    int rain_per;
    char cld_low;     // amount of low cloud in oktas '0'-'8'
    char cld_type[3]; // low, middle and high cloud type; not terminated
    float max_t;      // extremes of the day period the report time implies (F)
    float min_t;
    float max6_t; // 6-hour extremes (F)
    float min6_t;
    float scover;      // snow depth (inches)
    float solar;       // sunshine duration (minutes)
    float sst;         // sea surface temperature (C)
    float wav_per;     // wave period (s)
    float wav_hgt;     // wave height (m)
    char comment[100]; // remarks
    int flag;          // bit 0: temperature and dew point take precedence in merges
};

// The header of an open surface file.
struct SFC_info {
    char datim[40];      // date label of the file (at most 39 characters)
    char file[20];       // short file label, not touched by the file functions
    const char *cmdline; // history text of new netCDF files; null: the default text
    Date date;           // the date decoded from datim
    int num_stat;        // number of reports: the record count of a netCDF file, -9999 for text
};

// Surface file types.
inline constexpr int SFC_COMPACT_SHORT = 1; // compact text, records of five groups
inline constexpr int SFC_COMPACT = 2;       // compact text, full records
inline constexpr int SFC_TEXT = 3;          // text with the "ZEQSFC" magic line
inline constexpr int SFC_TEXT_EXT = 4;      // as 3, with 12-hour precipitation and 6-hour extremes
inline constexpr int SFC_PLAIN = 5;         // text opened and closed only
inline constexpr int SFC_CDF_STATION = 11;  // netCDF, station layout (record dimension "station")
inline constexpr int SFC_CDF_REPORT = 12;   // netCDF, report layout
inline constexpr int SFC_BINARY = 41;       // binary records (written)
inline constexpr int SFC_XML = 51;          // XML (written)
