// What the surface file module knows of its open file, shared by the
// module's source files (not a public interface of the module): the stream or
// netCDF id, type, access and name, the record counter, the file date and the
// layout of a netCDF file.
#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "runtime/zeq.h"
#include "surface/zeqsfc.h"

namespace sfc_read_int {

// Variables of the station layout (type 11), in the order of CdfLayout::station_vars.
inline constexpr std::array<const char *, 10> station_names = {
    "id", "region", "wx", "cld", "intdata", "intname", "intunit", "fltdata", "fltname", "fltunit",
};
enum StationVar { SV_ID, SV_REGION, SV_WX, SV_CLD, SV_INTDATA, SV_INTNAME, SV_INTUNIT, SV_FLTDATA };

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
enum ReportVar {
    RV_TIME,
    RV_ID,
    RV_REGION,
    RV_LAT,
    RV_LON,
    RV_ELEV,
    RV_T,
    RV_TD,
    RV_PSL,
    RV_ALTIM,
    RV_SPD,
    RV_DIR,
    RV_GUST,
    RV_WX,
    RV_ZCL,
    RV_CC,
    RV_CLOUDTYPE,
    RV_VIS,
    RV_PTEND,
    RV_DELP,
    RV_PRECIP,
    RV_REFTIME_PRECIP,
    RV_SNOW,
    RV_TMAX,
    RV_TMIN,
    RV_TMAX6,
    RV_TMIN6,
    RV_SUNSHINE,
    RV_SST,
    RV_WAVE_PER,
    RV_WAVE_HGT,
    RV_REMARKS,
};

// Cloud layers the report layout holds.
inline constexpr int CDF_LAYERS = 4;

// The header of the open netCDF file, as SFC_getinfo found it (or, for a
// file being written, as SFC_putinfo defined it).
struct CdfLayout {
    int num_rec = 0;                                    // number of records
    std::array<int, station_names.size()> station_vars; // variable ids, -1 absent
    std::array<int, report_names.size()> report_vars;
    float miss_f = -9999.0f; // missing markers of a station file
    int miss_i = -9999;
    char miss_c = ' ';
    long remarks_len = 0; // length of the remarks of a report file
    int version = 2;      // 1: station file of the first version (longitudes of opposite sign)
    bool defined = false; // the report variables are known (read from the header or defined)
};

// The open surface file.
struct OpenFile {
    FILE *stream = nullptr; // text, binary and XML files
    int type = 0;           // file type; 0 none open
    int access = 0;         // 0 read, 1 write, 2 append
    int cdf_fd = -1;        // netCDF file id
    int stat_num = 0;       // index of the report the file stands at (netCDF: the record counter)
    Date date = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
    std::string name;          // the name the file was opened by, for messages
    bool write_failed = false; // a write failed (warned once)
};

OpenFile &open_file();
CdfLayout &cdf_layout();

// Reads the header of the open netCDF file into the layout (and info when
// given): record count, variable ids, missing markers, version.
void cdf_read_header(SFC_info *info);
// Reads a report of the open netCDF file (SFC_read for types 11 and 12).
int cdf_read_report(SFC_report *report, int rep_type, int statnum);

} // namespace sfc_read_int
