// Services shared by the source files of the grid calculator (not a public
// interface of the module).
#pragma once

#include <cmath>
#include <cstddef>
#include <string>

#include "fields/zeqgrd.h"

namespace calc_int {

// One call of a calculator function: the name split at its first '-', the
// operand list and the number of operands in it (not counting the results).
struct Call {
    std::string name; // function name
    std::string abbr; // parameter abbreviation after '-', empty when none
    GRD_report **grids;
    float *values;
    int nops;
};

// A calculator function: true when it filled its result(s); false when its
// operands are unusable (the caller reports "Invalid grids").
using Handler = bool (*)(const Call &);

// The function of each family by name; null when the family has none.
Handler arith_function(const std::string &name);
Handler thermo_function(const std::string &name);
Handler wind_function(const std::string &name);

// GRD_math_setup for the call with `num` operands; `func` replaces the call's
// name as the key of the result's parameter number when not null.
bool setup(const Call &c, float **ptr, int *nx, int *ny, int num, const char *units,
           const char *func = nullptr);

// True when every operand from index first to last is a grid (ptr not null).
inline bool grids_only(float *const *ptr, int first, int last) {
    for (int i = first; i <= last; ++i)
        if (ptr[i] == nullptr) return false;
    return true;
}

// A value as stored in a grid: -9999 for anything that is not a finite float.
inline float store(double v) {
    if (!std::isfinite(v)) return -9999.0f;
    const float f = static_cast<float>(v);
    return std::isfinite(f) ? f : -9999.0f;
}

inline std::size_t points(int nx, int ny) {
    return std::size_t(nx) * std::size_t(ny);
}

// Sets the record's units text (cut to fit); the label is left alone.
void set_units(GRD_report *grid, const char *units);

// The units text of `in` scaled by `scale` with `suffix` appended
// (UNIT_scale), in a buffer that fits a record's units.
std::string scaled_units(const char *in, float scale, const char *suffix);

} // namespace calc_int
