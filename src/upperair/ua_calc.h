// Sounding calculations: layer means over a level list by the trapezoid rule
// in the logarithm of pressure.
//
// Lists are UPA_level arrays ordered upwards (pressure decreasing with the
// index); bottom and top are values of a vertical coordinate code (1 the
// current surface, 100 to 102, 115, 116 pressure, 103 to 106 height, 113,
// 114 potential temperature). Temperatures and dew points Celsius, speeds
// knots; -9999 is missing.
#pragma once

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
