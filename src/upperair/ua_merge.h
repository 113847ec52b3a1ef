// Sounding merge, vertical interpolation and hydrostatic completion.
//
// Level lists are UPA_level arrays ordered upwards: a temperature sounding
// by decreasing pressure, a wind sounding by increasing height (metres).
// -9999 marks a missing value.
#pragma once

#include "upperair/zequpa.h"

// ---- Merging a report into soundings ------------------------------------------------

// man_index[k] (24 entries) receives the index in the merged list of
// mandatory slot k (0 the surface, 1 to 21), 22 of the tropopause and 23 of
// the maximum wind; -9999 where that slot was not placed.
inline constexpr int UPA_MAN_INDEX = 24;
// Room a merged list needs for any report: its mandatory and special slots
// and all its significant (temperature) or wind levels.
inline constexpr int UPA_MAX_SM_MERGE = UPA_MAX_SIG + UPA_MAX_MAN - 1;
inline constexpr int UPA_MAX_WM_MERGE = UPA_MAX_WND + UPA_MAX_MAN - 1;

// The temperature sounding of a report: mandatory and significant levels by
// decreasing pressure, the surface placed once, the tropopause and the
// maximum wind placed by pressure (the maximum wind with temperature and dew
// point from its neighbours), levels colder in potential temperature by more
// than 3 K than the level below removed. merge holds UPA_MAX_SM_MERGE
// levels. The number of levels.
int UPA_sm_merge(const UPA_report *report, UPA_level *merge, int *man_index);
// The wind sounding of a report: mandatory levels with a wind (heights from
// the standard atmosphere where missing) and wind levels above the station
// by increasing height in metres, the tropopause and the maximum wind placed
// by height. merge holds UPA_MAX_WM_MERGE levels. The number of levels.
int UPA_wm_merge(const UPA_report *report, UPA_level *merge, int *man_index);
// As UPA_wm_merge without the tropopause and the maximum wind (entries 22
// and 23 of man_index are not set) and without standard-atmosphere heights.
int UPA_sw_merge(const UPA_report *report, UPA_level *merge, int *man_index);
// Merges two lists by decreasing pressure into out (room for in1_num +
// in2_num levels): levels at one pressure become one, each field from in1
// unless missing there; in2 levels above the last of in1 are left out. The
// number of levels written.
int UPA_merge_array(const UPA_level *in1, int in1_num, const UPA_level *in2, int in2_num, UPA_level *out);
// The same by increasing height, keeping only levels with a direction.
int UPA_wnd_merge_array(const UPA_level *in1, int in1_num, const UPA_level *in2, int in2_num, UPA_level *out);

// ---- Coordinates and interpolation --------------------------------------------------------

// The value of a level in a vertical coordinate: -ln p for the pressure codes
// (1, 100, 101, 102, 115, 116), the height for 103 to 106, the potential
// temperature (K) for 113 and 114; -9999 where it has none.
float UPA_get_level(int coord, const UPA_level *level);
// The top of a layer of thickness thick above bottom (a missing thickness:
// 10 mb, 50 m, 5 K), and the bottom of one below top (20 mb, 200 m, 2 K).
float UPA_thick_top(int coord, float bottom, float thick);
float UPA_thick_bottom(int coord, float top, float thick);
// The pressure of lev[*ind], or 1000 mb when *ind is negative (not placed).
float UPA_sfc_pres(const UPA_level *lev, const int *ind);
// Fills each missing temperature linearly in pressure between the nearest
// levels before and after it that have one; 0.
int UPA_calc_temp(UPA_level *levels, int num);

// Interpolates whole levels to num_result values of a coordinate (linear in
// -ln p, height or potential temperature, directions the short way round),
// result[r] for values[r]; values below the first level by more than a
// tolerance (0.01 in ln p, 3 m, 1 K) or above the last give missing levels.
// Coordinate 1 copies the current sounding's surface into result[0]. The
// list is not changed. The search position of the last value handled: 0
// below the first level, else the index (from 1) of the first level not
// below it, num_level above the list.
int UPA_interp_levels(const UPA_level *levels, int num_level, int coord, const float *values,
                      UPA_level *result, int num_result);
// The same for one value.
int UPA_interp(const UPA_level *levels, int num_level, int coord, float value, UPA_level *result);

// ---- Hydrostatic completion ---------------------------------------------------------------
// Both use the hypsometric relation dz = ln(p1/p2) * 287.05 * Tbar / 9.8;
// where a layer has no temperature, Tbar is the lowest level's temperature
// less 6.5 K per km above it (the standard atmosphere, 288.15 K at sea
// level, when the lowest level has none). level[num] is scratch: the array
// holds num + 1 levels.

// Fills the missing heights of `num` levels ordered by decreasing pressure.
// A missing first height comes from the next known one; runs of missing
// heights between two known ones are integrated upward and corrected
// linearly in pressure to meet the upper one; heights above the last known
// one are integrated without correction. 0, or -1 when no level after the
// first has a height.
int UPA_calc_height(UPA_level *level, int num);
// Fills the missing pressures of `num` levels ordered by increasing height:
// a missing first pressure from the next known one, pressures between two
// known ones with the layer's mean temperature, those above the last known
// one with the layer temperature estimate. A list without any pressure
// keeps its pressures missing. 0.
int UPA_calc_press(UPA_level *level, int num);
