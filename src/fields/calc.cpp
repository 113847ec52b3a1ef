// The calculation library of the variable and grid modules: the
// meteorological formulas. No file-static state.
#include "fields/calc.h"

#include <algorithm>
#include <cmath>
#include <string_view>

// ---- Meteorological formulas -------------------------------------------------
//
// Arguments and results are floats; the arithmetic runs in double precision.

namespace {

// R/cp of dry air, used for every potential-temperature conversion.
constexpr double kKappa = 0.286;
// Ratio of the gas constants of dry air and vapour, in g/kg.
constexpr double kEps = 622.0;
// Latent heat over the specific heat (K kg/g) of the saturated adiabat.
constexpr double kLatent = 2.6518986;
// Earth radius in units of 100 km.
constexpr double kEarthRad = 63.713;
// Skin temperature of the wind-chill formulas, K.
constexpr double kSkin = 306.15;

double fahrenheit(double t) {
    return 32.0 + 9.0 * (t - 273.15) / 5.0;
}

double kelvin_of_f(double f) {
    return 273.15 + 5.0 * (f - 32.0) / 9.0;
}

// Vapour pressure of a humidity argument: itself when 100 or less, else the
// saturation vapour pressure of that temperature.
double vapour(float temp) {
    return temp <= 100.0f ? double(temp) : double(vapor_pr(temp));
}

// The inverse saturation formula for e > 0.
double temp_of_vapour(double e) {
    return std::pow(10.0, 0.0498646455 * std::log10(e) + 2.4082965) - 7.08475 +
           38.9114 * std::pow(std::pow(e, 0.0915) - 1.2035, 2.0);
}

// Equivalent potential temperature from the condensation level of air at
// (temp, dewp, pr); -9999 when no condensation level can be found.
float thetae_from_lcl(float temp, float dewp, float pr) {
    const float pl = lcl_pres(temp, dewp, pr);
    if (is_missing(pl)) return FMISSING;
    return thetae_on_satad(lcl_temp(temp, pr, pl), pl);
}

} // namespace

float vapor_pr(float t) {
    if (t < 0.0f) return FMISSING;
    if (t < 100.0f) return 0.0f;
    const double x = t;
    return float(std::pow(10.0, 23.832241 - 5.02808 * std::log10(x) -
                                    1.3816e-7 * std::pow(10.0, 11.344 - 0.0303998 * x) +
                                    0.008132801 * std::pow(10.0, 3.49149 - 1302.8844 / x) - 2949.076 / x));
}

float temp_vapor_pr(float e) {
    if (e <= 0.0f) return 0.0f;
    return float(temp_of_vapour(e));
}

float mix_ratio(float temp, float pr) {
    if (is_missing(temp) || is_missing(pr)) return FMISSING;
    if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
    const double e = vapour(temp);
    // Vapour at or above the total pressure leaves no dry air to mix with.
    if (e >= pr) return FMISSING;
    return float(kEps * e / (pr - e));
}

float spec_hum(float temp, float pr) {
    if (is_missing(temp) || is_missing(pr)) return FMISSING;
    if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
    return float(kEps * vapour(temp) / pr);
}

float rel_hum(float t, float td) {
    if (t <= 0.0f || td <= 0.0f) return FMISSING;
    const double et = vapour(t);
    if (et <= 0.0) return FMISSING;
    return float(100.0 * vapour(td) / et);
}

float dew_temp(float temp, float rh) {
    if (is_missing(rh) || temp <= 0.0f) return FMISSING;
    rh = std::clamp(rh, 2.0f, 100.0f);
    return temp_vapor_pr(float(double(vapor_pr(temp)) * rh / 100.0));
}

float pot_temp(float temp, float pr) {
    if (temp <= 0.0f || pr <= 0.0f) return FMISSING;
    return float(temp * std::pow(1000.0 / pr, kKappa));
}

float temp_on_dryad(float pot, float pr) {
    if (pot <= 0.0f || pr <= 0.0f) return 0.0f;
    return float(pot * std::pow(pr / 1000.0, kKappa));
}

float virt_temp(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return FMISSING;
    if (dewp == 0.0f) return temp;
    const float w = dewp <= 100.0f ? dewp : mix_ratio(dewp, pr);
    if (is_missing(w)) return FMISSING;
    return float(temp * (1.0 + 0.609 * w / 1000.0));
}

float virt_pot_temp(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr <= 0.0f) return FMISSING;
    if (dewp == 0.0f) return pot_temp(temp, pr);
    const float tv = virt_temp(temp, dewp, pr);
    if (is_missing(tv)) return FMISSING;
    return float(tv * std::pow(1000.0 / pr, kKappa));
}

float thetae_on_satad(float temp, float pr) {
    if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
    const float ws = mix_ratio(temp, pr);
    if (is_missing(ws)) return FMISSING;
    return float(temp * std::pow(1000.0 / pr, kKappa) / std::exp(-kLatent * ws / temp));
}

float temp_on_satad(float pot, float pr) {
    if (pot <= 0.0f || pr <= 0.0f || pr > 2000.0f) return FMISSING;
    // Bisection on the residual between the given equivalent potential
    // temperature and that of saturated air at t.
    double t = 253.16;
    double d = 120.0;
    for (int pass = 0; pass < 12; ++pass) {
        const float ws = mix_ratio(float(t), pr);
        const float th = pot_temp(float(t), pr);
        // Air too warm to be saturated at pr has an unbounded equivalent
        // potential temperature: the residual tends to -th.
        const float r = is_missing(ws) ? -th : float(pot * std::exp(-kLatent * ws / t) - th);
        if (r * r < 2e-5f) return float(t);
        d /= 2.0;
        t += r > 0.0f ? d : -d;
    }
    return float(t);
}

float temp_on_mixrat(float w, float pr) {
    if (w <= 0.0f || pr <= 0.0f) return 0.0f;
    const double x = double(w) * pr / (kEps + w);
    return float(temp_of_vapour(x));
}

float lcl_pres(float ts, float tds, float ps) {
    if (ts <= 100.0f || tds <= 100.0f || ps <= 0.0f || ps > 1100.0f) return FMISSING;
    const float w = mix_ratio(tds, ps);
    if (is_missing(w)) return FMISSING;
    const float th = pot_temp(ts, ps);
    double p = ps;
    double d = double(temp_on_mixrat(w, float(p))) - temp_on_dryad(th, float(p));
    for (int n = 0; d * d > 1e-4 && n < 8; ++n) {
        p *= std::pow(2.0, 0.02 * d);
        d = double(temp_on_mixrat(w, float(p))) - temp_on_dryad(th, float(p));
    }
    return float(p);
}

float lcl_temp(float ts, float ps, float pl) {
    return temp_on_dryad(pot_temp(ts, ps), pl);
}

float eq_pot_temp(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return FMISSING;
    if (dewp == 0.0f) return pot_temp(temp, pr);
    return thetae_from_lcl(temp, dewp, pr);
}

float wet_bulb(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return FMISSING;
    if (dewp == 0.0f) return 0.0f;
    return temp_on_satad(thetae_from_lcl(temp, dewp, pr), pr);
}

float wet_bulb_pot_temp(float temp, float dewp, float pr) {
    if (temp <= 0.0f || dewp < 0.0f || pr < 0.0f) return FMISSING;
    if (dewp == 0.0f) return 0.0f;
    return temp_on_satad(thetae_from_lcl(temp, dewp, pr), 1000.0f);
}

float conv_temp(float wbar, float pc, float pr) {
    return temp_on_dryad(pot_temp(temp_on_mixrat(wbar, pc), pc), pr);
}

float interp_temp(float t1, float t2, float p1, float p2, float pr) {
    if (p1 <= 0.0f || p2 <= 0.0f) return FMISSING;
    if (is_missing(t1) && is_missing(t2)) return FMISSING;
    if (is_missing(t1)) return t2;
    if (is_missing(t2)) return t1;
    // A layer without depth, or a pressure without a logarithm, gives no
    // temperature.
    if (pr <= 0.0f || p1 == p2) return FMISSING;
    return float(t1 - std::log(double(pr) / p1) * (double(t2) - t1) / std::log(double(p1) / p2));
}

float sfc_pr_alt(float alt, float el) {
    if (alt <= 0.0f || is_missing(el)) return FMISSING;
    const double ratio = (288.15 - 0.0065 * el) / 288.15;
    if (ratio <= 0.0) return FMISSING;
    return float(alt * std::pow(ratio, 5.2558));
}

float pres_alt(float pres) {
    if (pres <= 0.0f) return FMISSING;
    if (pres < 226.32f) return float(11000.0 + 6341.62 * std::log(226.32 / pres));
    return float((288.15 - 288.15 * std::pow(pres / 1013.25, 0.190263)) / 0.0065);
}

float wind_chill_temp(float temp, float ws) {
    if (ws < 0.0f || temp < 0.0f) return FMISSING;
    if (ws < 2.0f || temp > kSkin) return temp;
    const double v = std::min(ws, 26.0f);
    return float(kSkin - (0.474266 + 0.453843 * std::sqrt(v) - 0.0453843 * v) * (kSkin - temp));
}

float wind_chill_temp2(float temp, float ws) {
    if (ws < 0.0f || temp < 0.0f) return FMISSING;
    const double w = 0.6215 * temp + 116.514 + std::pow(double(ws), 0.16) * (0.4863 * temp - 146.774);
    return std::min(temp, float(w));
}

float wind_chill(float temp, float ws) {
    if (ws < 0.0f || temp < 0.0f) return FMISSING;
    // The heat-loss index describes cooling by wind of skin colder than
    // 33 C; in calm air or above skin temperature it has no value.
    if (ws < 2.0f || temp > kSkin) return FMISSING;
    const double v = std::min(ws, 26.0f);
    return float((kSkin - temp) * (10.45 + 10.0 * std::sqrt(v) - v) * 1.1627);
}

float heat_index(float temp, float dewp) {
    if (temp < 0.0f || dewp < 0.0f || temp < dewp) return FMISSING;
    const double es = vapor_pr(temp);
    if (es <= 0.0) return FMISSING;
    const double t = fahrenheit(temp);
    const double r = 100.0 * vapor_pr(dewp) / es;
    const double a = 60.8 + 1.2 * (t - 68.0) + 0.0936 * r;
    if (a < 77.0) return float(kelvin_of_f(a));
    const double t2 = t * t, t3 = t2 * t, r2 = r * r, r3 = r2 * r;
    const double hi = 16.0 + 0.185212 * t + 5.37941 * r - 0.100254 * t * r + 0.00941695 * t2 +
                      0.00728898 * r2 + 0.000345372 * t2 * r - 0.000814971 * t * r2 + 1.02102e-5 * t2 * r2 -
                      3.8646e-5 * t3 + 2.91583e-5 * r3 + 1.42721e-6 * t3 * r + 1.97483e-7 * t * r3 -
                      2.18429e-8 * t3 * r2 + 8.43296e-10 * t2 * r3 - 4.81975e-11 * t3 * r3;
    return float(kelvin_of_f(hi));
}

float humiture(float temp, float dewp) {
    if (temp < 0.0f || dewp < 0.0f) return FMISSING;
    const double e = vapor_pr(dewp);
    const double t = fahrenheit(temp);
    return float(e > 21.0 ? t + (e - 21.0) : t);
}

float temp_hum_index(float temp, float dewp) {
    if (temp < 0.0f || dewp < 0.0f) return FMISSING;
    return float(0.55 * temp + 0.2 * dewp + 17.5);
}

float calc_earth_dist(float lat1, float lon1, float lat2, float lon2) {
    const double a1 = lat1 * DEG_TO_RAD, a2 = lat2 * DEG_TO_RAD;
    const double c = std::sin(a1) * std::sin(a2) +
                     std::cos(a1) * std::cos(a2) * std::cos((double(lon1) - lon2) * DEG_TO_RAD);
    // Rounding may carry the cosine just past +-1 for equal or opposite points.
    return float(100.0 * kEarthRad * std::acos(std::clamp(c, -1.0, 1.0)));
}

// ---- Calculator function names ------------------------------------------------

namespace {

struct MathFunc {
    std::string_view name;
    int type;
};

// Functions whose entries get a grid plot type of their own.
constexpr MathFunc kMathFuncs[] = {
    {"wind", 20},    {"vect", 21},  {"stream", 23}, {"strm", 23},   {"copy", 10},   {"max", 10},
    {"min", 10},     {"add", 10},   {"sum", 10},    {"avg", 10},    {"interp", 10}, {"sub", 10},
    {"thick", 10},   {"mul", 10},   {"mod", 10},    {"sqrt", 10},   {"pow", 10},    {"exp", 10},
    {"log", 10},     {"log10", 10}, {"abs", 10},    {"div", 10},    {"sin", 10},    {"cos", 10},
    {"tan", 10},     {"asin", 10},  {"acos", 10},   {"atan", 10},   {"atan2", 10},  {"dx", 10},
    {"dy", 10},      {"dewp", 10},  {"rhum", 10},   {"wetblb", 10}, {"show", 10},   {"wchill", 10},
    {"wchill2", 10}, {"heat", 10},  {"theta", 10},  {"thetae", 10}, {"vtemp", 10},  {"thetav", 10},
    {"vapor", 10},   {"shum", 10},  {"mixrat", 10}, {"wspd", 10},   {"spd", 10},    {"mag", 10},
    {"wdir", 10},    {"dir", 10},   {"dot", 10},    {"cross", 10},  {"ugeos", 10},  {"vgeos", 10},
    {"uq", 10},      {"vq", 10},    {"lapl", 10},   {"conv", 10},   {"diverg", 10}, {"def1", 10},
    {"def2", 10},    {"vconv", 10}, {"rvort", 10},  {"avort", 10},  {"adv", 10},
};

constexpr std::string_view kVectFuncs[] = {"grad", "vdiff"};
constexpr std::string_view kPlotFuncs[] = {"wind", "vect", "stream", "strm"};

// The function name: the part of str before its first '-'.
std::string_view func_name(const char *str) {
    if (str == nullptr) return {};
    const std::string_view s(str);
    return s.substr(0, s.find('-'));
}

} // namespace

int GRD_is_math_func(const char *str) {
    const std::string_view name = func_name(str);
    for (const auto &f : kMathFuncs)
        if (f.name == name) return f.type;
    return 0;
}

int GRD_is_vect_func(const char *str) {
    const std::string_view name = func_name(str);
    for (const auto &f : kVectFuncs)
        if (f == name) return 1;
    return 0;
}

int GRD_is_plot_func(const char *str) {
    const std::string_view name = func_name(str);
    for (const auto &f : kPlotFuncs)
        if (f == name) return 1;
    return 0;
}
