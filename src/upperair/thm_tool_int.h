// Parcel settings and mean wind of the current sounding, shared by the
// module's sources and its tests (not a public interface of the module).
#pragma once

#include "upperair/zequpa.h"

namespace thm_int {

// Parcel choice: 1 surface, 2 mean of a layer above the surface, 3
// maximum-temperature parcel, 5 given level.
inline constexpr int PAR_SFC = 1, PAR_LAYER = 2, PAR_MAXT = 3, PAR_LEVEL = 5;

int par_type();
// Sets the parcel choice as the plot parameters would (tests reach the
// choices that no plot parameter sets).
void set_par_type(int type);
float par_thick(); // depth of the parcel layer, mb
WIND mean6();      // mean wind of the lowest 6000 m

} // namespace thm_int
