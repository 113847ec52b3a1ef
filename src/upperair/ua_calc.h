// Sounding calculations: layer means over a level list by the trapezoid rule
// in the logarithm of pressure.
//
// Lists are UPA_level arrays ordered upwards (pressure decreasing with the
// index); bottom and top are values of a vertical coordinate code (1 the
// current surface, 100 to 102, 115, 116 pressure, 103 to 106 height, 113,
// 114 potential temperature). Temperatures and dew points Celsius, speeds
// knots; -9999 is missing.
#pragma once

#include "fields/zeqgrd.h"
#include "plot/zeqraw.h"
#include "upperair/zequpa.h"

// One quantity of a level by its type: 1 temperature, 2 dew point (Celsius),
// 3 relative humidity (%), 4 and 13 potential temperature (K), 5 dew-point
// depression, 6 mixing ratio, 7 specific humidity (g/kg), 8 vapour pressure
// (mb), 9 wet-bulb temperature, 10 wet-bulb potential temperature, 11
// equivalent potential temperature, 12 virtual potential temperature, 14
// virtual temperature (K), 15 height (m), 16 pressure (mb); -9999 for any
// other type or where it cannot be formed.
float variable_calc(int type, const UPA_level *lev);

// The mean of the quantity named val ("temp", "dewp", "rhum", "theta",
// "dewd", "mrat", "shum", "vpres", "wetblb", "thetaw", "thetae", "thetav",
// "vtemp", "hght" or "hag", "pres"; exact case) over the layer from bottom to
// top, or its value at bottom when top is -9999 or equals bottom. Levels
// without a temperature are passed over. -9999 for an empty list, a list
// whose first level lies above 500 mb, a missing bottom, or a layer without
// a segment where the quantity is known at both ends.
float mean_value(const char *val, const UPA_level *lev, int num, int coord, float bottom, float top);

// The layer-mean mixing ratio (g/kg) into *Wbar, over the levels with a dew
// point, and potential temperature (K) into *Obar, over the levels with a
// temperature; each -9999 when no segment of its own has values. One level,
// or bottom and top at one pressure: the values there. 0.
int layer_parcel_mean(const UPA_level *lev, int num, int coord, float bottom, float top, float *Wbar,
                      float *Obar);

// The layer-mean wind: the mean components' direction and the mean scalar
// speed over the levels with a direction. 1 for a mean whose top has a
// direction or the wind at bottom (top -9999 or equal to bottom); 0 for one
// level (its wind), a layer without a usable segment (a missing wind), or a
// mean whose top has no direction; -1 with a missing wind for a top below
// the bottom or an empty list.
int layer_wind_mean(const UPA_level *lev, int num, int coord, float bottom, float top, WIND *wind);

// ---- Derived quantities ----------------------------------------------------------------
// Each interpolates the levels it needs; -9999 where a value is missing.

// The height difference (m) of the levels at bottom and top.
float thickness(const UPA_level *lev, int num, int coord, float bottom, float top);
// The temperature lapse rate (Celsius per m, positive when the temperature
// falls with height) between bottom and top.
float lapse_rate(const UPA_level *lev, int num, int coord, float bottom, float top);
// The change of potential temperature with height (K per m) and with
// pressure (K per mb, positive when it rises upwards) between bottom and top.
float theta_lapse_rate(const UPA_level *lev, int num, int coord, float bottom, float top);
float theta_pres_lapse_rate(const UPA_level *lev, int num, int coord, float bottom, float top);
// The static stability -(R T / (p theta)) d theta / dp at a level (pressures
// in Pa), over the layer from 20 mb (200 m, 2 K) below to 10 mb (50 m, 5 K)
// above it.
float static_stability(const UPA_level *lev, int num, int coord, float level);
// The precipitable water (inches) of the whole sounding from its specific
// humidities; -9999 for a list starting above 500 mb, of 2 levels or fewer,
// or without a dew point in its first three levels.
float precip_water(const UPA_level *lev, int num);
// The pressure of the lowest 0 Celsius crossing of the temperature (mb),
// linear in pressure; -1 when the first level with a temperature lies below
// 500 mb and below freezing; -9999 without a crossing.
float freezing_level(const UPA_level *lev, int num);
// The same for the wet-bulb temperature over the levels with a dew point;
// -1 when the wet bulb of the lowest of them is below freezing.
float wet_bulb_zero(const UPA_level *lev, int num);
// The temperature (K) at the bottom pressure of air brought dry-adiabatically
// down from the top of the layer thick above bottom (10 mb when missing).
float max_temperature(const UPA_level *lev, int num, int coord, float bottom, float thick);
// The convective condensation level (mb) of the mean mixing ratio of the
// layer thick above bottom (of the bottom level when thick is not positive),
// which goes to *Wbar: where the saturation temperature of that mixing ratio
// meets the sounding. -1 when it does not; 0 for a one-level list; -9999 for
// a bottom above 500 mb or without a mixing ratio.
float pr_ccl(const UPA_level *lev, int num, int coord, float bottom, float thick, float *Wbar);

// ---- Parcel ascent -----------------------------------------------------------------------
// The parcel starts at *blev when it has a pressure, else at the level at
// bottom, with the mean potential temperature and mixing ratio of the layer
// thick above bottom when thick is positive.

// Lifts the parcel dry-adiabatically to its condensation level and then
// along its saturated adiabat in 10 mb steps to the top of the sounding,
// adding up the buoyant energy of every step (positive energy into Bplus,
// negative energy below the level of free convection into Bminus), and
// finds the levels of free convection, equilibrium and maximum ascent, the
// cap and the maximum updraft. A start at bottom is written into *blev. The
// ascent ends where a parcel or environment temperature is missing. 1, or 0
// (energies, cap and lfc -9999) without a start.
int parcel_calc(const UPA_level *lev, int num, UPA_level *blev, int coord, float bottom, float thick,
                PARCEL_params *params);
// The buoyant energy (J/kg) of a step from parcel point par1 to par2 through
// environment points env1 to env2; -9999 where a temperature or height is
// missing.
float energy_calc(const UPA_level *par1, const UPA_level *par2, const UPA_level *env1, const UPA_level *env2);
// The largest excess (Celsius) of the environment over the parcel between
// its condensation level and 500 mb; -9999 when none can be formed.
float cap_strength(const UPA_level *lev, int num, int coord, float bottom, float thick);
// The environment temperature at top less the lifted parcel's (Celsius).
float lifted_index(const UPA_level *lev, int num, int coord, float bottom, float thick, float top);
// The largest decrease of equivalent potential temperature with height over
// a layer starting at or below 700 mb, with the extremes met. 0, or -1 when
// the first level with temperature and dew point or the first decrease
// lies above 700 mb, or no level has both.
int thetae_index(const UPA_level *lev, int num, THETAE_params *params);

// ---- Stability indices ---------------------------------------------------------------------
// From the sounding at 850, 700 and 500 mb; -9999 when a needed value is missing.

float total_totals(const UPA_level *lev, int num);
float vertical_totals(const UPA_level *lev, int num);
float cross_totals(const UPA_level *lev, int num);
float k_index(const UPA_level *lev, int num);
float sweat_index(const UPA_level *lev, int num);
// The difference of static plus latent energy (cal/g) between 500 and 850 mb.
float energy_index(const UPA_level *lev, int num);

// ---- Helicity and shear --------------------------------------------------------------------
// Winds in knots become m/s (x 0.5144); inside a layer the steps are taken
// in height.

// Storm-relative helicity of the layer from bottom to top in 100 m steps. 1
// over the whole layer; 0 over a layer cut at the top of the data, or with
// every field -9999 for fewer than 2 levels, a first level above 5000 m or
// no storm direction; -1 without a bottom height, (outside coordinate 103)
// without a top height, or for a layer more than 100 km deep (heights out
// of order).
int helicity(const UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
             HELICITY_params *windp);
// Veering and backing shear of the layer in 500 m steps; results as helicity
// (the storm motion is not used).
int shear_layer(const UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
                SHEAR_params *windp);
// The bulk shear (m/s) between the 0-500 m and 0-6000 m mean winds above the
// level at bottom, and the bulk Richardson number cape / (shear^2 / 2)
// (-9999 for a negative cape or no shear). 0, or -1 (both -9999) without both
// mean winds.
int bulk_richardson(const UPA_level *lev, int num, int coord, float bottom, float cape, float *brn,
                    float *shear);
// The energy-helicity index: the positive 0-2000 m storm-relative helicity
// above the level at bottom times cape over 160000.
float energy_helicity(const UPA_level *lev, int num, int coord, float bottom, const WIND *storm, float cape);

// ---- Level specifications -----------------------------------------------------------------
// A variable's level type and encoded level read against the current
// sounding (its surface, tropopause, maximum wind, freezing level and
// condensation level).

// Decodes the level of var into a coordinate code, bottom, top and parcel
// layer thickness (each -9999 when not given; *coord 100 unless the level
// type is itself the coordinate): "sfc" (type 1, an encoded level above 0
// the thickness), "mwnd" (6), "trop" (7), "frz" (4), "lcl" (5) and "none"
// (0: the surface to 500 mb) as pressures; heights above ground (105, 106)
// become heights above sea level and pressure differences from the surface
// (115, 116) pressures; the pressure layers whose first bound is 1900 or
// 1910 ("sfc", "maxt") or 2000 + N ("sfc" with a parcel layer of N mb) start
// at the surface pressure, 1950 ("trop") at the tropopause pressure going up
// by the second bound, and the height layer 99500 at the tropopause height
// going up by the second bound (both -9999 without a tropopause). For the
// layer types 104, 106, 114 and 116 the first value is the upper bound. 0
// without a level, 2 for a layer (types 0, 101, 104, 106, 114, 116), else 1.
int UPA_level_decode(const VAR_data *var, int *coord, float *lev1, float *lev2, float *thick);
// 1 when the level of var is the pressure layer of the maximum-temperature
// parcel (first bound 1910); else 0.
int UPA_is_maxt(const VAR_data *var);
// Widens the single level of var into a layer of half-width delta (negative
// counts as 0, 0 takes 25 mb for type 100, 200 m for 103, 5 K for 113); *lev1
// is the upper bound. Other level types leave both values as they are;
// coord is not written. 0.
int UPA_make_layer(const VAR_data *var, int *coord, float *lev1, float *lev2, float delta);
// data->value[0]: the mean of the quantity named var->name (see mean_value)
// on the current temperature sounding over the decoded layer from its lower
// to its upper bound, or its value at a single level. 0.
int UPA_calc_layer(const VAR_data *var, RAW_data *data);
// *wind: the mean wind of the current wind sounding over the decoded layer
// from its lower to its upper bound (the wind at a single level); -9999 for
// both unless layer_wind_mean gives a full result. 0.
int UPA_calc_wind_layer(const VAR_data *var, WIND *wind);
