// The grid calculator's thermodynamic functions: moisture, stability and
// comfort quantities from the formulas of the calc module, point by point.
// Operands are grids, converted in place to K, mb and m/s first; a humidity
// operand is a dew point when its parameter number is that of "dewp", else a
// relative humidity in %. No file-static state.
#include <cmath>
#include <string_view>

#include "fields/calc.h"
#include "fields/calc_int.h"
#include "fields/grd_tool.h"
#include "fields/var_tool.h"

using calc_int::Call;
using calc_int::grids_only;
using calc_int::Handler;
using calc_int::points;
using calc_int::store;

namespace {

// Level type of isobaric levels, whose level is the pressure in mb.
constexpr int kIsobaric = 100;
// Pressure of results on other levels without a pressure operand.
constexpr float kDefaultPressure = 1000.0f;

// True when the grid holds a dew point (by its parameter number).
bool is_dew_point(const GRD_report *g) {
    const int dewp = VAR_search_var_num("dewp");
    return dewp != 0 && g->var == dewp;
}

bool is_speed(const GRD_report *g) {
    const int wspd = VAR_search_var_num("wspd");
    const int spd = VAR_search_var_num("spd");
    return (wspd != 0 && g->var == wspd) || (spd != 0 && g->var == spd);
}

void convert(GRD_report *g, const char *units) {
    GRD_units(g, units);
}

// The result's pressure when it lies on an isobaric level, else -9999.
float level_pressure(const GRD_report *r) {
    return r->ltype == kIsobaric ? float(r->level) : FMISSING;
}

// setup for functions whose operands must all be grids.
bool grid_setup(const Call &c, float **ptr, int *nx, int *ny, int num, const char *units) {
    for (int i = 1; i <= num; ++i)
        if (c.grids[i] == nullptr) return false;
    if (!calc_int::setup(c, ptr, nx, ny, num, units)) return false;
    return grids_only(ptr, 1, num);
}

// The dew point of humidity x at temperature t.
float dew_point_of(float t, float x, bool x_is_dew) {
    return x_is_dew ? x : dew_temp(t, x);
}

// dewp(T, RH)
bool f_dewp(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 2, "K")) return false;
    convert(c.grids[1], "K");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float t = ptr[1][k], rh = ptr[2][k];
        ptr[0][k] = is_missing(t) || is_missing(rh) ? FMISSING : store(dew_temp(t, rh));
    }
    return true;
}

// rhum(T, Td)
bool f_rhum(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 2, "%")) return false;
    convert(c.grids[1], "K");
    convert(c.grids[2], "K");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float t = ptr[1][k], td = ptr[2][k];
        ptr[0][k] = is_missing(t) || is_missing(td) ? FMISSING : store(rel_hum(t, td));
    }
    return true;
}

// wetblb, thetae, vtemp, thetav (T, X [, P]): the pressure is the result's
// isobaric level, else a third operand when exactly three are given, else
// 1000 mb.
template <float (*Fn)(float, float, float)> bool f_moist(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 2 || !grid_setup(c, ptr, &nx, &ny, c.nops, "K")) return false;
    const bool dew = is_dew_point(c.grids[2]);
    const float plev = level_pressure(c.grids[0]);
    const bool p_operand = is_missing(plev) && c.nops == 3;
    convert(c.grids[1], "K");
    if (dew) convert(c.grids[2], "K");
    if (p_operand) convert(c.grids[3], "mb");
    const float pfix = is_missing(plev) ? kDefaultPressure : plev;
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float t = ptr[1][k], x = ptr[2][k];
        const float p = p_operand ? ptr[3][k] : pfix;
        if (is_missing(t) || is_missing(x) || is_missing(p)) {
            ptr[0][k] = FMISSING;
            continue;
        }
        ptr[0][k] = store(Fn(t, dew_point_of(t, x, dew), p));
    }
    return true;
}

// theta(T [, P]): only T is tested; pot_temp rejects a missing pressure.
bool f_theta(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 1 || !grid_setup(c, ptr, &nx, &ny, c.nops, "K")) return false;
    const float plev = level_pressure(c.grids[0]);
    const bool p_operand = is_missing(plev) && c.nops == 2;
    convert(c.grids[1], "K");
    if (p_operand) convert(c.grids[2], "mb");
    const float pfix = is_missing(plev) ? kDefaultPressure : plev;
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float t = ptr[1][k];
        const float p = p_operand ? ptr[2][k] : pfix;
        ptr[0][k] = is_missing(t) ? FMISSING : store(pot_temp(t, p));
    }
    return true;
}

// Showalter index: T500 minus the temperature of a parcel lifted from 850 mb.
float showalter(float t850, float td850, float t500) {
    const float pl = lcl_pres(t850, td850, 850.0f);
    const float tl = lcl_temp(t850, 850.0f, pl);
    float tp;
    if (pl < 500.0f) {
        tp = temp_on_dryad(pot_temp(t850, 850.0f), 500.0f);
    } else {
        tp = temp_on_satad(thetae_on_satad(tl, pl), 500.0f);
    }
    return is_missing(tp) ? FMISSING : t500 - tp;
}

// show(T850, X850, T500)
bool f_show(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 3, "dC")) return false;
    const bool dew = is_dew_point(c.grids[2]);
    convert(c.grids[1], "K");
    if (dew) convert(c.grids[2], "K");
    convert(c.grids[3], "K");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float t = ptr[1][k], x = ptr[2][k], t500 = ptr[3][k];
        if (is_missing(t) || is_missing(x) || is_missing(t500)) {
            ptr[0][k] = FMISSING;
            continue;
        }
        ptr[0][k] = store(showalter(t, dew_point_of(t, x, dew), t500));
    }
    return true;
}

// heat(T, X)
bool f_heat(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 2 || !grid_setup(c, ptr, &nx, &ny, c.nops, "K")) return false;
    const bool dew = is_dew_point(c.grids[2]);
    convert(c.grids[1], "K");
    if (dew) convert(c.grids[2], "K");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float t = ptr[1][k], x = ptr[2][k];
        ptr[0][k] = is_missing(t) || is_missing(x) ? FMISSING : store(heat_index(t, dew_point_of(t, x, dew)));
    }
    return true;
}

// wchill and wchill2 (T, S or T, U, V): the second operand is a speed when its
// parameter number is that of "wspd" or "spd", else the wind components.
// A point where either component is missing is missing.
template <float (*Fn)(float, float)> bool f_chill(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 2 || c.grids[2] == nullptr) return false;
    const bool speed = is_speed(c.grids[2]);
    if (!speed && c.nops < 3) return false;
    if (!grid_setup(c, ptr, &nx, &ny, c.nops, "K")) return false;
    convert(c.grids[1], "K");
    convert(c.grids[2], "m/s");
    if (!speed) convert(c.grids[3], "m/s");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float t = ptr[1][k];
        float s;
        if (speed) {
            s = ptr[2][k];
        } else {
            const float u = ptr[2][k], v = ptr[3][k];
            s = is_missing(u) || is_missing(v) ? FMISSING : store(std::sqrt(double(u) * u + double(v) * v));
        }
        ptr[0][k] = is_missing(t) || is_missing(s) ? FMISSING : store(Fn(t, s));
    }
    return true;
}

// vapor(Td) or vapor(T, RH). A single operand that is not a dew point is
// taken as its own dew point: the saturation vapour pressure.
bool f_vapor(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 1 || !grid_setup(c, ptr, &nx, &ny, c.nops, "mb")) return false;
    const bool dew = is_dew_point(c.grids[1]) || c.nops == 1;
    convert(c.grids[1], "K");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float a = ptr[1][k];
        const float rh = dew ? 0.0f : ptr[2][k];
        if (is_missing(a) || is_missing(rh)) {
            ptr[0][k] = FMISSING;
            continue;
        }
        ptr[0][k] = store(vapor_pr(dew ? a : dew_temp(a, rh)));
    }
    return true;
}

// pr_alt(P)
bool f_pr_alt(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 1, "m")) return false;
    convert(c.grids[1], "mb");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k)
        ptr[0][k] = store(pres_alt(ptr[1][k]));
    return true;
}

// mixrat and shum: Td [, P] when the first operand is a dew point (or the
// only operand, then its own dew point), else T, RH [, P]. On an isobaric
// result level the pressure is the level; without a pressure operand 1000 mb.
template <float (*Fn)(float, float)> bool f_humidity(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 1 || !grid_setup(c, ptr, &nx, &ny, c.nops, "gm/kg")) return false;
    const bool dew = is_dew_point(c.grids[1]) || c.nops == 1;
    const float plev = level_pressure(c.grids[0]);
    const int pind = dew ? 2 : 3;
    const bool p_operand = is_missing(plev) && c.nops >= pind;
    convert(c.grids[1], "K");
    if (p_operand) convert(c.grids[pind], "mb");
    const float pfix = is_missing(plev) ? kDefaultPressure : plev;
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float a = ptr[1][k];
        const float rh = dew ? 0.0f : ptr[2][k];
        const float p = p_operand ? ptr[pind][k] : pfix;
        if (is_missing(a) || is_missing(rh) || is_missing(p)) {
            ptr[0][k] = FMISSING;
            continue;
        }
        ptr[0][k] = store(Fn(dew ? a : dew_temp(a, rh), p));
    }
    return true;
}

struct Entry {
    std::string_view name;
    Handler fn;
};

constexpr Entry kThermo[] = {
    {"dewp", f_dewp},
    {"rhum", f_rhum},
    {"wetblb", f_moist<wet_bulb>},
    {"thetae", f_moist<eq_pot_temp>},
    {"vtemp", f_moist<virt_temp>},
    {"thetav", f_moist<virt_pot_temp>},
    {"theta", f_theta},
    {"show", f_show},
    {"heat", f_heat},
    {"wchill", f_chill<wind_chill_temp>},
    {"wchill2", f_chill<wind_chill_temp2>},
    {"vapor", f_vapor},
    {"pr_alt", f_pr_alt},
    {"mixrat", f_humidity<mix_ratio>},
    {"shum", f_humidity<spec_hum>},
};

} // namespace

namespace calc_int {

Handler thermo_function(const std::string &name) {
    for (const Entry &e : kThermo)
        if (e.name == name) return e.fn;
    return nullptr;
}

} // namespace calc_int
