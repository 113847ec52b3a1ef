// The current sounding: one temperature sounding (decreasing pressure) and
// one wind sounding (increasing height) of one station, its surface,
// tropopause and maximum-wind levels, the storm motion, the lifted parcel,
// the station identifier and date, and the index record of the sounding.
//
// The accessors hand out the module's own records: callers may change them.
#pragma once

#include "runtime/zeq.h"
#include "upperair/zequpa.h"

// ---- Making a sounding current --------------------------------------------------------

// Makes a report the current sounding: a missing elevation (with WMO number
// and position) from the station table "upa.cty"; the temperature levels
// merged and completed hydrostatically, the report given the computed
// heights of its surface, tropopause and maximum wind (with the latter's
// temperature and dew point); the wind levels merged with the pressures
// completed; winds put on the temperature levels; then THERM_set_data with
// the surface pressure (1000 mb when the merge placed no surface). The lists
// are the module's own (300 levels each). 1, or 0 (the current sounding
// unchanged) when the temperature merge gives no level or the lists cannot
// be allocated (with an error).
int UPA_merge_report(UPA_report *report);
// Installs soundings as the current one: the caller's lists (which must stay
// valid while they are current), the surface interpolated at pressure pr,
// the plot parameters read, the index record cleared, and the storm motion.
// 0.
int THERM_set_data(float pr, UPA_level *smi, int smi_num, UPA_level *wmi, int wmi_num);
// Reads the resource plot_param: "page" and "nopage" set the paging, an item
// beginning with "par" the parcel: "par=sfc" (or "par") the surface parcel,
// "par=maxt" the maximum-temperature parcel, "par=layer:DEPTH" the mean of a
// layer DEPTH mb deep above the surface, "par=P:T:TD" a parcel from pressure P
// with temperature T and dew point TD (where not given, the sounding's own at
// P). Any case. 0.
int THERM_param();
// Gives every temperature level without a direction the wind of the wind
// sounding at its pressure (missing where the winds do not reach); 0.
int UPA_calc_wind(UPA_level *sm, int sm_num, const UPA_level *wm, int wm_num);
// The mean wind of the lowest 6000 m above the surface and the storm motion:
// 30 degrees to its right at 75 % of its speed (both -9999 without a mean
// direction); 0.
int THERM_calc_storm();
// UPA_interp_levels on the current temperature / wind sounding.
int UPA_sm_interp(int coord, const float *values, UPA_level *result, int num_result);
int UPA_wm_interp(int coord, const float *values, UPA_level *result, int num_result);

// ---- Calculations and printed tables ----------------------------------------------------
// The tables print through MESS_print, each on its own pair of message kinds
// (basic and extended), and pause through MESS_hold (see each function); they
// show what THERM_calc stored last.

// Computes every index of the current sounding into the index record and
// lifts the parcel that the plot parameters choose (no parcel values for
// another choice); the parcel's start becomes the parcel level. 0.
int THERM_calc();
// The sounding table: the header, one row per temperature level (SFC at the
// surface pressure), the tropopause and maximum-wind rows (0x1000, extended
// columns 0x2000), pausing after each page. 0.
int THERM_sig_table();
// "Sounding variables and indices" (0x4000, more at 0x8000) with a risk text
// for each stability index, and "Parcel Indices" (0x10000, more at 0x20000).
// 0.
int THERM_indices();
// "Wind Parameters": mean wind, storm motion, shear and helicity of the
// lowest 3000 m, energy-helicity index and bulk Richardson number (0x40000,
// more at 0x80000). 0.
int THERM_wind();
// The wind table of the wind sounding with the storm-relative winds
// (0x100000, storm-relative columns 0x200000, pauses 0x400000). 0.
int THERM_wind_table();
// The storm table: mean wind, inflow, shear, helicity and vorticity of the
// layers from the surface up 500 m to 6000 m (0x400000). 0.
int THERM_storm_table();

// ---- Point-data soundings ---------------------------------------------------------------------

// Writes the current sounding as a point-data file (one row per level: the
// temperature levels, the wind levels, the tropopause and the maximum wind)
// named by the out_file resource ("raw" or "raw=NAME"; the convention
// "upa_snd" by default) and the sounding's date. The temperature levels get
// the winds of the wind sounding first. 1 when written; 0 with a warning
// when the file cannot be opened or written.
int THERM_out_raw();
// Reads such a file as the current sounding (the identifier, date, levels,
// tropopause, maximum wind and surface pressure; at most 300 temperature and
// 300 wind levels). 0; the program ends with status 10 when the file cannot
// be opened.
int THERM_read_raw(const char *filename);

// ---- State and accessors -------------------------------------------------------------------

// Sets every field of an index record, its parameter records included, to
// -9999; 0.
int THERM_init_values(THERM_values *values);

// Keeps the station identifier (at most 19 characters) and its WMO number
// (in the index record), and makes the identifier the file-name template key
// 'i'; 0.
int THERM_set_id(const char *str, int val);
// Keeps the date of the sounding: a copy of date, or with null the date of
// the last file name; 0.
int THERM_set_date(const Date *date);
// The station identifier (empty until set) and its WMO number.
const char *THERM_get_id();
int THERM_get_wmo();

// The storm motion (direction, speed in knots); 0 / the motion.
int THERM_set_storm(const WIND *wind);
WIND THERM_get_storm();
// Copies a level into the tropopause / maximum-wind record; 0.
int THERM_set_trop(const UPA_level *lev);
int THERM_set_mwnd(const UPA_level *lev);

// The current soundings and their counts (null and 0 while no sounding is
// current).
UPA_level *THERM_get_SM();
int THERM_get_SM_num();
UPA_level *THERM_get_WM();
int THERM_get_WM_num();

// The module's surface, tropopause, maximum-wind and parcel levels (p, h, t,
// td, dir -9999 and speed 0 at start) and the index record.
UPA_level *THERM_get_sfc();
UPA_level *THERM_get_trop();
UPA_level *THERM_get_mwnd();
UPA_level *THERM_get_parcel();
THERM_values *THERM_get_values();

// The surface in a vertical coordinate: its height for 103 and 104, its
// potential temperature (K) for 113 and 114, its pressure for every other
// code.
float THERM_get_sfc_level(int ltype);
