// What the surface file module knows of an open netCDF surface file, shared
// by the module's source files (not a public interface of the module).
#pragma once

#include <array>

namespace sfc_read_int {

// Variables of the station layout (type 11), in the order of CdfLayout::station_vars.
inline constexpr std::array<const char *, 10> station_names = {
    "id", "region", "wx", "cld", "intdata", "intname", "intunit", "fltdata", "fltname", "fltunit",
};

// Variables of the report layout (type 12), in the order of CdfLayout::report_vars.
inline constexpr std::array<const char *, 32> report_names = {
    "time",      "id",
    "region",    "lat",
    "lon",       "elev",
    "T",         "TD",
    "PSL",       "ALTIM",
    "SPD",       "DIR",
    "GUST",      "WX",
    "ZCL",       "CC",
    "cloudtype", "VIS",
    "Ptend",     "delP",
    "PRECIP",    "reftime_PRECIP",
    "SNOW",      "Tmax",
    "Tmin",      "Tmax6",
    "Tmin6",     "sunshine",
    "SST",       "wave_per",
    "wave_hgt",  "remarks",
};

// The header of the open netCDF file, as SFC_getinfo found it.
struct CdfLayout {
    int num_rec = 0;                                    // number of records
    std::array<int, station_names.size()> station_vars; // variable ids, -1 absent
    std::array<int, report_names.size()> report_vars;
    float miss_f = -9999.0f; // missing markers of a station file
    int miss_i = -9999;
    char miss_c = ' ';
    long remarks_len = 0; // length of the remarks of a report file
    int version = 2;      // 1: station file of the first version (longitudes of opposite sign)
};

// The layout of the open netCDF surface file.
const CdfLayout &cdf_layout();

} // namespace sfc_read_int
