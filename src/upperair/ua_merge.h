// Sounding merge, vertical interpolation and hydrostatic completion.
#pragma once

#include "upperair/zequpa.h"

// Fills the missing heights of `num` levels ordered by decreasing pressure
// hydrostatically: h2 = h1 + ln(p1/p2) * 287.05 * Tbar / 9.8 with Tbar the
// layer's mean temperature in kelvin. A missing first height comes from the
// next known one; runs of missing heights between two known ones are
// integrated upward and corrected linearly in pressure to meet the upper one;
// heights above the last known one are integrated without correction. Where
// both temperatures of a layer are missing the layer temperature is the
// lowest level's temperature less 6.5 K per km of height above that level
// (the standard atmosphere, 288.15 K less 6.5 K per km, when the lowest level
// has none). level[num] is used as scratch: the array holds num + 1 levels.
// 0, or -1 when no level after the first has a height.
int UPA_calc_height(UPA_level *level, int num);
