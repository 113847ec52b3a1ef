// The calculation library of the variable and grid modules.
#pragma once

#include "fields/zeqgrd.h"

// ---- Meteorological formulas -------------------------------------------------
//
// Scalar thermodynamic and comfort formulas, shared by the surface variables,
// the grid calculator, the upper-air code, the station selection and the
// thermodynamic diagrams. Pure functions without state.
//
// Units: temperatures K, pressures and vapour pressures mb, mixing ratio and
// specific humidity g/kg, wind speed m/s, heights m, relative humidity %,
// distances km; -9999 is missing. Out-of-range input gives -9999, except
// where a function says it gives 0. A humidity argument of 100 or less is a
// vapour pressure in mb, above 100 a dew point (or temperature) in K, whose
// saturation vapour pressure is used.

// Saturation vapour pressure over water (mb): -9999 for t < 0, 0 below 100 K.
float vapor_pr(float t);
// Temperature (K) whose saturation vapour pressure is e (mb); 0 for e <= 0.
// Not an exact inverse of vapor_pr: within about 0.06 K from 233 to 313 K.
float temp_vapor_pr(float e);
// Mixing ratio (g/kg) of vapour pressure or dew point `temp` at pressure pr:
// -9999 when either is -9999 or when the vapour pressure reaches pr; 0 when
// either is <= 0.
float mix_ratio(float temp, float pr);
// Specific humidity (g/kg), 622 e / pr: -9999 when either is -9999, 0 when
// either is <= 0.
float spec_hum(float temp, float pr);
// Relative humidity (%) of temperature t and dew point td (each a vapour
// pressure when 100 or less); -9999 when either is <= 0; not limited to 100.
float rel_hum(float t, float td);
// Dew point (K) of temperature temp at relative humidity rh (limited to
// 2..100 %); -9999 when rh is -9999 or temp <= 0.
float dew_temp(float temp, float rh);
// Potential temperature (K); -9999 when either is <= 0.
float pot_temp(float temp, float pr);
// Temperature (K) at pr on the dry adiabat of potential temperature pot; 0
// when either is <= 0.
float temp_on_dryad(float pot, float pr);
// Virtual temperature (K); dewp is a mixing ratio (g/kg) when 100 or less,
// else a dew point (K); temp itself when dewp is 0; -9999 for temp <= 0 or a
// negative dewp or pr.
float virt_temp(float temp, float dewp, float pr);
// Virtual potential temperature (K); guards as virt_temp, and -9999 for
// pr <= 0.
float virt_pot_temp(float temp, float dewp, float pr);
// Equivalent potential temperature (K) of the saturated adiabat through
// (temp, pr); 0 when either is <= 0, -9999 when temp is too warm to be
// saturated at pr.
float thetae_on_satad(float temp, float pr);
// Temperature (K) at pr on the saturated adiabat of equivalent potential
// temperature pot; -9999 for pot <= 0, pr <= 0 or pr > 2000.
float temp_on_satad(float pot, float pr);
// Temperature (K) at which the saturation mixing ratio at pr is w (g/kg); 0
// when either is <= 0.
float temp_on_mixrat(float w, float pr);
// Pressure (mb) of the lifting condensation level of air at ts with dew point
// tds at ps; -9999 for ts or tds <= 100, ps <= 0 or ps > 1100.
float lcl_pres(float ts, float tds, float ps);
// Temperature (K) at the condensation pressure pl of air at ts and ps.
float lcl_temp(float ts, float ps, float pl);
// Equivalent potential temperature (K) from temperature and dew point; the
// potential temperature when dewp is 0; -9999 for temp <= 0, a negative
// dewp or pr, or when no condensation level can be found.
float eq_pot_temp(float temp, float dewp, float pr);
// Wet-bulb temperature (K); guards as eq_pot_temp; 0 when dewp is 0.
float wet_bulb(float temp, float dewp, float pr);
// Wet-bulb potential temperature (K); as wet_bulb, brought to 1000 mb.
float wet_bulb_pot_temp(float temp, float dewp, float pr);
// Convective temperature (K) at pr for the mean mixing ratio wbar (g/kg) and
// the convective condensation pressure pc.
float conv_temp(float wbar, float pc, float pr);
// Temperature at pr, linear in ln p between (t1, p1) and (t2, p2); t2 or t1
// when only the other is missing; -9999 when both are missing, a pressure is
// <= 0 or p1 equals p2.
float interp_temp(float t1, float t2, float p1, float p2, float pr);
// Station pressure (mb) from the altimeter setting alt (mb) and the elevation
// el (m); -9999 for alt <= 0, a missing el or an elevation above the
// standard atmosphere's troposphere formula.
float sfc_pr_alt(float alt, float el);
// Pressure altitude (m) in the standard atmosphere (troposphere, and the
// isothermal layer above 226.32 mb); -9999 for pres <= 0.
float pres_alt(float pres);
// Wind-chill equivalent temperature (K); temp itself when calm (ws < 2) or
// warmer than 306.15 K; ws limited to 26; -9999 for negative input.
float wind_chill_temp(float temp, float ws);
// Wind-chill temperature (K) by the power law, never above temp; -9999 for
// negative input.
float wind_chill_temp2(float temp, float ws);
// Wind-chill heat loss index (W/m^2), ws limited to 26; -9999 for negative
// input and where the index is not defined (ws < 2 or temp > 306.15).
float wind_chill(float temp, float ws);
// Heat index (K) from temperature and dew point; -9999 for negative input or
// a dew point above the temperature.
float heat_index(float temp, float dewp);
// Humiture (degrees F); -9999 for negative input.
float humiture(float temp, float dewp);
// Temperature-humidity index 0.55 temp + 0.2 dewp + 17.5 (no conversion of
// units); -9999 for negative input.
float temp_hum_index(float temp, float dewp);
// Great-circle distance (km) between two points (degrees) on a sphere of
// radius 6371.3 km. No missing-value test: callers pass known positions.
float calc_earth_dist(float lat1, float lon1, float lat2, float lon2);

// ---- Calculator function names ------------------------------------------------

// The plot type that a calculator function gives its entry, by the part of
// the name before the first '-' (exact case): 20 wind, 21 vect, 23 stream or
// strm, 10 every other grid function of the table, 0 for any other name.
int GRD_is_math_func(const char *str);

// 1 for the vector-valued functions "grad" and "vdiff" (part before '-'), else 0.
int GRD_is_vect_func(const char *str);

// 1 for the plot-only functions "wind", "vect", "stream" and "strm" (part
// before '-'), else 0.
int GRD_is_plot_func(const char *str);

// ---- Grid calculator ------------------------------------------------------------
//
// The operand list of a calculator function is two parallel arrays: `grids`
// (record pointers) and `values` (floats). Index 0 is the result (index 1 the
// second result of a vector-valued function), then the operands in order: a
// grid as its record with value -9999, a literal number as a null pointer with
// the number. A null pointer whose value is -9999 ends the list, which holds
// at most GRD_MATH_LIST entries with that end.
//
// Functions convert their operand grids in place to the units their formulas
// need (K, mb, m/s, m). A result that is not a finite number is stored as
// -9999. Derivatives are per 100 km, their units scaled by UNIT_scale.

// Entries of an operand list, the result(s), the operands and the end together.
inline constexpr int GRD_MATH_LIST = 20;

// Evaluates every function entry of the variable list whose grid slot holds no
// data yet onto its slot, the deepest functions first; returns 1.
int GRD_calc_var();

// Gathers the operands of a function header of depth level - 1 from entry
// start on: at most num of them (all, at most 1000, when num is negative).
// grds gets a slot pointer per operand (null for a literal, whose number goes
// into values when values is not null) and a null end. Returns the index of
// the last operand taken when the limit was reached, else the first entry
// after the operands (or the number of entries).
int GRD_find_param_grids(int start, int num, int level, GRD_report **grds, float *values);

// Evaluates the calculator function str ("name" or "name-abbr") on the operand
// list; 1 on success, 0 on failure (message printed).
int GRD_math(const char *str, GRD_report **grids, float *values);

// Checks operands 1 to num (2 to num + 1 for a vector-valued func), prepares
// the result grid(s) and sets ptr[i] to each operand's values (null for a
// literal) and ptr[0] (and ptr[1]) to the result's; nx, ny the result size.
// The result takes the parameter number of type (when not empty) or func, and
// units (when not empty) with a rebuilt label. 1 when usable, else 0 with the
// result untouched.
int GRD_math_setup(float **ptr, int *nx, int *ny, int num, GRD_report **grids, float *values,
                   const char *func, const char *type, const char *units);

// The value of operand ind at the current point: *ptr[ind] for a grid, else
// values[ind].
float GRD_get_math_val(int ind, float **ptr, const float *values);

// The number of list entries after index 0 before the end of the list;
// GRD_MATH_LIST when the list has no end within its size.
int GRD_find_num_data(GRD_report **grids, const float *values);

// ---- Grid calculator commands over grid files -----------------------------------
//
// A command is a list of words. Inputs come first, then "=", then the output
// name (a name convention or file name; "-" or absent writes to standard
// output), INFO ("-" keeps the description label, "v=ABBR" gives the result
// the parameter number of ABBR, the file-name key v and a rebuilt label, any
// other text becomes the label) and DATIM (a new date label unless "-").
//
//   A add|sub|mul|div|mod B = OUT INFO DATIM   A or B a file or a literal
//                                              "#N" ("#cor": the Coriolis
//                                              parameter)
//   piece NXxNY F1 .. Fn = OUT ...             a mosaic of n = NX*NY pieces,
//                                              row by row from the north-west
//   unit F UNITS = OUT ...                     F converted to UNITS
//   remap F DOMAIN = OUT ...                   F resampled onto a domain text
//   cutoff F lower|higher CUT NVAL = OUT ...   NVAL below / above CUT
//   info|domain|max|min|maxmin|avg|avgnum F =  prints the description, the
//                                              domain or statistics
//   val F LOC ...                              prints the value at each
//                                              location: "id STATION",
//                                              "id=STATION", "ll LAT,LON",
//                                              "ll=LAT,LON" or grid X,Y
//   loc F LOC                                  prints grid coordinates of a
//                                              place, or the latitude and
//                                              longitude of grid X,Y
//   max|min|sum|avg F1 F2 .. = OUT ...         point by point over the files
//   FUNC F [OPERAND ..] = OUT ...              a calculator function of F and
//                                              at most three more operands
//
// A file word is resolved through the name conventions (and the resource
// current when it exists); a suffix after '+' is a grid spec of the file.
// The command uses grid slots 0 (the first input or the result), 1 and 2 to
// 4 of the grid table, which keep what it read or computed afterwards.
// Operand grids must share their domain (pieces their size); the command
// refuses others with a message naming both files.

// Runs one command of num words; 1 when carried out and its output written,
// 0 when it cannot be: too few words, an input that cannot be read, a bad
// domain, location or number, grids that do not match, a function that
// fails or an output that cannot be written.
int GRD_math_command(int num, const char *const *cmd);

// Combines slot 0 (the first file, already read) point by point with each
// file of `files` up to "=" or num words, read in turn into slot 1: str
// (the part before '-') max, min, sum or avg; a point missing in either grid
// becomes missing; avg divides by the number of grids read. Files that cannot
// be read are skipped. The number of words consumed; -1 for another function
// name; 0 when slot 0 holds no grid or a file's grid has another domain.
int GRD_math_file(const char *str, const char *const *files, int num);

// Applies INFO at cmd[ind] and DATIM at cmd[ind + 1] (each when present
// within num, not empty and not "-") to grid; 0.
int GRD_set_math_info(GRD_report *grid, const char *const *cmd, int num, int ind);
