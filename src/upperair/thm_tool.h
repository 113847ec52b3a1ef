// The current sounding: one temperature sounding (decreasing pressure) and
// one wind sounding (increasing height) of one station, its surface,
// tropopause and maximum-wind levels, the storm motion, the lifted parcel,
// the station identifier and date, and the index record of the sounding.
//
// The accessors hand out the module's own records: callers may change them.
#pragma once

#include "runtime/zeq.h"
#include "upperair/zequpa.h"

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
