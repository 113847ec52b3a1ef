// Sounding calculations: one quantity of a level, layer means over a level
// list by the trapezoid rule in the logarithm of pressure (named quantities,
// the parcel layer's mixing ratio and potential temperature, the wind),
// derived quantities, parcel ascent, indices, helicity and shear, and the
// level specifications of variables read against the current sounding. No
// file-static state.
#include "upperair/ua_calc.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <vector>

#include "fields/calc.h"
#include "fields/var_tool.h"
#include "plot/vecttool.h"
#include "runtime/mess.h"
#include "runtime/tools.h"
#include "upperair/thm_tool.h"
#include "upperair/ua_merge.h"
#include "upperair/ua_read.h"
#include "upperair/ua_tool.h"

namespace {

constexpr float M = FMISSING;
constexpr float KELVIN = 273.15f;
constexpr M_type TRACE = M_DEBUG_C;
constexpr M_type ROWS = M_DEBUG_D;

bool known(float v) {
    return v != FMISSING;
}

float kelvin(float c) {
    return known(c) ? c + KELVIN : M;
}

struct NamedType {
    const char *name;
    int type;
};
constexpr NamedType quantity_names[] = {
    {"temp", 1},   {"dewp", 2},  {"rhum", 3},   {"theta", 4},   {"dewd", 5},    {"mrat", 6},
    {"shum", 7},   {"vpres", 8}, {"wetblb", 9}, {"thetaw", 10}, {"thetae", 11}, {"thetav", 12},
    {"vtemp", 14}, {"hght", 15}, {"hag", 15},   {"pres", 16},
};

int quantity_type(const char *name) {
    if (name == nullptr) return 0;
    for (const NamedType &q : quantity_names)
        if (std::strcmp(name, q.name) == 0) return q.type;
    return 0;
}

// The weight of a segment: the logarithm of its pressure ratio (the ratio
// in single precision); 0 where a pressure is unknown.
float weight(const UPA_level &lower, const UPA_level &upper) {
    if (!(lower.p > 0) || !(upper.p > 0)) return 0.0f;
    return static_cast<float>(std::log(static_cast<double>(lower.p / upper.p)));
}

// The walk over a layer: from the interpolated bottom B (at or below level
// lb) over the levels that have the key up to the interpolated top T (level
// k the first at or above it), one segment between each two points in turn.
// add(lower, upper, index_lower, index_upper) with -1 for B and -2 for T.
template <class Key, class Add>
void walk(const UPA_level *lev, int num, const UPA_level &B, int lb, const UPA_level &T, int k, Key key,
          Add add) {
    int j = lb, pos = lb;
    if (lb < num && lev[lb].p != B.p) {
        while (pos < k && !key(lev[pos]))
            ++pos;
        if (pos < num) {
            add(B, lev[pos], -1, pos);
            // The segment to T starts at the point just reached.
            j = pos;
        }
    }
    while (pos < k) {
        j = pos;
        ++pos;
        while (pos < k && !key(lev[pos]))
            ++pos;
        if (pos >= k) break;
        add(lev[j], lev[pos], j, pos);
    }
    if (j < num && T.p != lev[j].p) add(lev[j], T, j, -2);
}

void trace_segment(int a, int b, float xa, float xb, float pa, float pb, float qa, float qb) {
    auto d = [](float v) { return static_cast<double>(v); };
    if (a == -1)
        MESS_print(TRACE, "LB,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", b, d(xa), d(xb), d(pa), d(pb),
                   d(qa), d(qb));
    else if (b == -2)
        MESS_print(TRACE, "%2d,LT  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", a, d(xa), d(xb), d(pa), d(pb),
                   d(qa), d(qb));
    else
        MESS_print(TRACE, "%2d,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", a, b, d(xa), d(xb), d(pa), d(pb),
                   d(qa), d(qb));
}

// The trapezoid sum of one scalar quantity over a layer.
struct ScalarSum {
    float sum = 0.0f;
    float weights = 0.0f;
    bool used = false;

    template <class Value>
    void add(const UPA_level &a, const UPA_level &b, int ia, int ib, Value value, float UPA_level::*shown) {
        const float qa = value(a), qb = value(b);
        trace_segment(ia, ib, a.*shown, b.*shown, a.p, b.p, qa, qb);
        if (!known(qa) || !known(qb)) return;
        const float w = weight(a, b);
        sum += (qa + qb) * w;
        weights += w;
        used = true;
    }
    float mean() const { return used && weights != 0.0f ? sum / (2.0f * weights) : M; }
};

bool has_t(const UPA_level &l) {
    return known(l.t);
}
bool has_td(const UPA_level &l) {
    return known(l.td);
}
bool has_dir(const UPA_level &l) {
    return known(l.dir);
}

float parcel_theta(const UPA_level &l) {
    return pot_temp(kelvin(l.t), l.p);
}
float parcel_mixing_ratio(const UPA_level &l) {
    return mix_ratio(kelvin(l.td), l.p);
}

} // namespace

float variable_calc(int type, const UPA_level *lev) {
    if (lev == nullptr) return M;
    const UPA_level &l = *lev;
    const float t = kelvin(l.t), td = kelvin(l.td), p = l.p;
    switch (type) {
    case 1:
        return l.t;
    case 2:
        return l.td;
    case 3:
        return rel_hum(t, td);
    case 4:
    case 13:
        return pot_temp(t, p);
    case 5:
        return known(l.t) && known(l.td) ? l.t - l.td : M;
    case 6:
        return mix_ratio(td, p);
    case 7:
        return spec_hum(td, p);
    case 8:
        return vapor_pr(td);
    case 9:
        return wet_bulb(t, td, p);
    case 10:
        return wet_bulb_pot_temp(t, td, p);
    case 11:
        return eq_pot_temp(t, td, p);
    case 12:
        return virt_pot_temp(t, td, p);
    case 14:
        return virt_temp(t, td, p);
    case 15:
        return l.h;
    case 16:
        return l.p;
    default:
        return M;
    }
}

float mean_value(const char *val, const UPA_level *lev, int num, int coord, float bottom, float top) {
    const int type = quantity_type(val);
    if (lev == nullptr || num <= 0 || lev[0].p < 500 || !known(bottom)) return M;
    UPA_level B, T;
    const int lb = UPA_interp(lev, num, coord, bottom, &B);
    if (num == 1) return known(top) ? M : variable_calc(type, &B);
    if (!known(top) || top == bottom) return variable_calc(type, &B);
    const int k = UPA_interp(lev, num, coord, top, &T);
    MESS_print(TRACE, "%d-%d  %5.1f %5.1f  %5.1f %5.1f\n", lb, k, static_cast<double>(bottom),
               static_cast<double>(top), static_cast<double>(B.p), static_cast<double>(T.p));
    ScalarSum s;
    auto value = [type](const UPA_level &l) { return variable_calc(type, &l); };
    walk(lev, num, B, lb, T, k, has_t, [&](const UPA_level &a, const UPA_level &b, int ia, int ib) {
        s.add(a, b, ia, ib, value, &UPA_level::t);
    });
    return s.mean();
}

int layer_parcel_mean(const UPA_level *lev, int num, int coord, float bottom, float top, float *Wbar,
                      float *Obar) {
    float w_out = M, o_out = M;
    if (lev != nullptr && num == 1) {
        w_out = parcel_mixing_ratio(lev[0]);
        o_out = parcel_theta(lev[0]);
    } else if (lev != nullptr && num > 1) {
        UPA_level B, T;
        const int lb = UPA_interp(lev, num, coord, bottom, &B);
        // The surface is a bottom only: the top is a pressure.
        const int k = UPA_interp(lev, num, coord == UPA_COORD_SFC ? UPA_COORD_PRES : coord, top, &T);
        MESS_print(TRACE, "%2d-%2d  %5.1f %5.1f  %5.1f %5.1f\n", lb, k, static_cast<double>(bottom),
                   static_cast<double>(top), static_cast<double>(B.p), static_cast<double>(T.p));
        if (B.p == T.p) {
            // A layer without depth: the values at its one pressure.
            w_out = parcel_mixing_ratio(B);
            o_out = parcel_theta(B);
        } else {
            ScalarSum theta, mixing;
            walk(lev, num, B, lb, T, k, has_t, [&](const UPA_level &a, const UPA_level &b, int ia, int ib) {
                theta.add(a, b, ia, ib, parcel_theta, &UPA_level::t);
            });
            walk(lev, num, B, lb, T, k, has_td, [&](const UPA_level &a, const UPA_level &b, int ia, int ib) {
                mixing.add(a, b, ia, ib, parcel_mixing_ratio, &UPA_level::td);
            });
            // Each mean over the depth its own walk covered.
            w_out = mixing.mean();
            o_out = theta.mean();
        }
    }
    MESS_print(TRACE, "%f %f\n", static_cast<double>(w_out), static_cast<double>(o_out));
    if (Wbar != nullptr) *Wbar = w_out;
    if (Obar != nullptr) *Obar = o_out;
    return 0;
}

int layer_wind_mean(const UPA_level *lev, int num, int coord, float bottom, float top, WIND *wind) {
    WIND out = {M, M};
    auto finish = [&](int rc) {
        if (wind != nullptr) *wind = out;
        return rc;
    };
    if (lev == nullptr || num <= 0) return finish(-1);
    if (known(top) && (UPA_is_pres_coord(coord) ? top > bottom : top < bottom)) return finish(-1);
    if (num == 1) {
        out = {lev[0].dir, lev[0].spd};
        return finish(0);
    }
    UPA_level B, T;
    const int lb = UPA_interp(lev, num, coord, bottom, &B);
    UPA_print_level(ROWS, ROWS, 1, &B);
    if (!known(top) || top == bottom) {
        // The wind at the bottom; a bottom outside the winds has none.
        out = {B.dir, B.spd};
        return finish(known(B.dir) ? 1 : 0);
    }
    const int k = UPA_interp(lev, num, coord, top, &T);
    UPA_print_level(ROWS, ROWS, 2, &T);
    MESS_print(TRACE, "%2d-%2d  %5.1f %5.1f  %5.1f %5.1f\n", lb, k, static_cast<double>(bottom),
               static_cast<double>(top), static_cast<double>(B.p), static_cast<double>(T.p));

    float su = 0.0f, sv = 0.0f, ss = 0.0f, weights = 0.0f;
    bool used = false;
    walk(lev, num, B, lb, T, k, has_dir, [&](const UPA_level &a, const UPA_level &b, int ia, int ib) {
        float ua, va, ub, vb;
        wind2vect(a.dir, a.spd, &ua, &va);
        wind2vect(b.dir, b.spd, &ub, &vb);
        auto d = [](float v) { return static_cast<double>(v); };
        MESS_print(TRACE, "%2d,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", ia, ib, d(a.spd),
                   d(b.spd), d(a.p), d(b.p), d(ua), d(ub), d(va), d(vb));
        if (!known(ua) || !known(ub)) return;
        const float w = weight(a, b);
        su += (ua + ub) * w;
        sv += (va + vb) * w;
        ss += (a.spd + b.spd) * w;
        weights += w;
        used = true;
    });
    if (!used || weights == 0.0f) return finish(0);
    float dir, spd;
    vect2wind(su / (2.0f * weights), sv / (2.0f * weights), &dir, &spd);
    out = {dir, ss / (2.0f * weights)};
    MESS_print(TRACE, "%f %f\n", static_cast<double>(out.dir), static_cast<double>(out.spd));
    return finish(known(T.dir) ? 1 : 0);
}

// ---- Derived quantities ----------------------------------------------------------------------

namespace {

// The levels at bottom and top.
struct Pair {
    UPA_level b, u;
};
Pair levels_at(const UPA_level *lev, int num, int coord, float bottom, float top) {
    Pair pr;
    UPA_interp(lev, lev != nullptr ? num : 0, coord, bottom, &pr.b);
    UPA_interp(lev, lev != nullptr ? num : 0, coord, top, &pr.u);
    return pr;
}

float theta_of(const UPA_level &l) {
    return known(l.t) ? pot_temp(l.t + KELVIN, l.p) : M;
}

// A formula's temperature: 0 K (its answer to missing input) is missing.
float kelvin_result(float k) {
    return known(k) && k > 0.0f ? k : M;
}
float celsius_result(float k) {
    return known(k) && k > 0.0f ? k - KELVIN : M;
}

} // namespace

float thickness(const UPA_level *lev, int num, int coord, float bottom, float top) {
    const Pair pr = levels_at(lev, num, coord, bottom, top);
    if (!known(pr.b.h) || !known(pr.u.h)) return M;
    return std::fabs(pr.u.h - pr.b.h);
}

float lapse_rate(const UPA_level *lev, int num, int coord, float bottom, float top) {
    const Pair pr = levels_at(lev, num, coord, bottom, top);
    const UPA_level &b = pr.b, &u = pr.u;
    if (!known(b.t) || !known(u.t) || !known(b.h) || !known(u.h) || b.h == u.h) return M;
    return -(u.t - b.t) / (u.h - b.h);
}

float theta_lapse_rate(const UPA_level *lev, int num, int coord, float bottom, float top) {
    const Pair pr = levels_at(lev, num, coord, bottom, top);
    const UPA_level &b = pr.b, &u = pr.u;
    const float tb = theta_of(b), tu = theta_of(u);
    if (!known(tb) || !known(tu) || !known(b.h) || !known(u.h) || b.h == u.h) return M;
    return (tu - tb) / (u.h - b.h);
}

float theta_pres_lapse_rate(const UPA_level *lev, int num, int coord, float bottom, float top) {
    const Pair pr = levels_at(lev, num, coord, bottom, top);
    const UPA_level &b = pr.b, &u = pr.u;
    const float tb = theta_of(b), tu = theta_of(u);
    if (!known(tb) || !known(tu) || b.p == u.p) return M;
    return (tu - tb) / (b.p - u.p);
}

float static_stability(const UPA_level *lev, int num, int coord, float level) {
    const Pair pr =
        levels_at(lev, num, coord, UPA_thick_bottom(coord, level, M), UPA_thick_top(coord, level, M));
    const UPA_level &b = pr.b, &u = pr.u;
    UPA_level mid;
    UPA_interp(lev, lev != nullptr ? num : 0, coord, level, &mid);
    const float tb = theta_of(b), tu = theta_of(u), tm = theta_of(mid);
    if (!known(tb) || !known(tu) || !known(tm) || !known(b.h) || !known(u.h) || b.p == u.p) return M;
    const double t_mid = static_cast<double>(mid.t) + KELVIN;
    return static_cast<float>((tu - tb) * (t_mid * -287.05 / (mid.p * 1e4 * tm)) / (u.p - b.p));
}

float precip_water(const UPA_level *lev, int num) {
    if (lev == nullptr || num <= 2 || lev[0].p < 500) return M;
    if (!known(lev[0].td) && !known(lev[1].td) && !known(lev[2].td)) return M;
    auto q = [](const UPA_level &l) { return spec_hum(l.td + KELVIN, l.p); };
    float sum = 0.0f;
    for (int i = 0; i < num - 1; ++i) {
        if (!known(lev[i].td)) continue;
        int j = i + 1;
        while (j < num && !known(lev[j].td))
            ++j;
        if (j == num) break;
        sum += (lev[i].p - lev[j].p) * (((q(lev[i]) + q(lev[j])) / 2000.0f) / 2.4892f);
    }
    return sum;
}

namespace {

// The lowest 0 Celsius crossing of value(level) over the levels with
// has(level), linear in pressure; -1 from below_freezing(level, first).
template <class Has, class Value, class Below>
float zero_crossing(const UPA_level *lev, int num, Has has, Value value, Below below_freezing) {
    bool first = true;
    for (int i = 0; i < num - 1; ++i) {
        if (!has(lev[i])) continue;
        const float vi = value(lev[i]);
        if (!known(vi)) continue;
        if (below_freezing(lev[i], vi, first)) return -1.0f;
        first = false;
        int j = i + 1;
        while (j < num && !(has(lev[j]) && known(value(lev[j]))))
            ++j;
        if (j == num) return M;
        const float vj = value(lev[j]);
        if ((vi >= 0 && vj < 0) || (vi < 0 && vj >= 0))
            return linear_interp(0.0f, vi, vj, lev[i].p, lev[j].p);
    }
    return M;
}

} // namespace

float freezing_level(const UPA_level *lev, int num) {
    if (lev == nullptr || num <= 0 || lev[0].p < 500) return M;
    return zero_crossing(
        lev, num, has_t, [](const UPA_level &l) { return l.t; },
        [](const UPA_level &l, float t, bool first) { return first && l.p > 500 && t < 0; });
}

float wet_bulb_zero(const UPA_level *lev, int num) {
    if (lev == nullptr || num <= 0) return M;
    return zero_crossing(
        lev, num, [](const UPA_level &l) { return known(l.t) && known(l.td); },
        [](const UPA_level &l) { return celsius_result(wet_bulb(l.t + KELVIN, l.td + KELVIN, l.p)); },
        [](const UPA_level &, float wb, bool) { return wb < 0; });
}

float max_temperature(const UPA_level *lev, int num, int coord, float bottom, float thick) {
    if (!known(bottom)) return M;
    const Pair pr = levels_at(lev, num, coord, bottom, UPA_thick_top(coord, bottom, thick));
    const float theta = theta_of(pr.u);
    if (!known(theta) || !known(pr.b.p)) return M;
    return kelvin_result(temp_on_dryad(theta, pr.b.p));
}

float pr_ccl(const UPA_level *lev, int num, int coord, float bottom, float thick, float *Wbar) {
    float w = M;
    auto finish = [&](float result) {
        if (Wbar != nullptr) *Wbar = w;
        return result;
    };
    if (lev == nullptr || num <= 0) return finish(M);
    UPA_level b;
    const int k = UPA_interp(lev, num, coord, bottom, &b);
    if (!(b.p >= 500)) return finish(M);
    w = mix_ratio(kelvin(b.td), b.p);
    if (num == 1) return finish(0.0f);
    if (thick > 0)
        layer_parcel_mean(lev, num, coord, bottom, UPA_thick_top(coord, bottom, thick), &w, nullptr);
    if (!known(w) || w <= 0.0f) {
        w = M;
        return finish(M);
    }
    // Upwards to the first level colder than the saturation temperature of
    // the mixing ratio.
    int lower = -1, stop = -1;
    for (int i = k; i < num; ++i) {
        if (!known(lev[i].t)) continue;
        const float ts = kelvin_result(temp_on_mixrat(w, lev[i].p));
        if (known(ts) && ts > lev[i].t + KELVIN) {
            stop = i;
            break;
        }
        lower = i;
    }
    if (stop < 0) return finish(-1.0f);
    if (stop == k || lower < 0) return finish(lev[stop].p);
    const UPA_level &lj = lev[lower], &ls = lev[stop];
    float pc = (lj.p + ls.p) / 2.0f, d = (lj.p - ls.p) / 2.0f;
    for (int pass = 0; pass < 12; ++pass) {
        const float tm = temp_on_mixrat(w, pc);
        const float te_c = interp_temp(ls.t, lj.t, ls.p, lj.p, pc);
        const float te = known(te_c) ? te_c + KELVIN : M;
        const float diff = tm - te;
        if (diff * diff < 2e-5f) break;
        pc += diff > 0 ? d : -d;
        d /= 2.0f;
    }
    return finish(pc);
}

// ---- Parcel ascent ----------------------------------------------------------------------------

namespace {

constexpr float GRAVITY = 9.8f;

// The start of a parcel (kelvin): the level at bottom, or with the layer
// means of a layer thick above it; a formula's 0 K is missing.
struct Start {
    UPA_level lev; // Celsius, as the level is
    int index = 0; // the interpolation's search position
};
Start parcel_start(const UPA_level *lev, int num, int coord, float bottom, float thick) {
    Start s;
    s.index = UPA_interp(lev, num, coord, bottom, &s.lev);
    if (thick > 0) {
        float w = M, o = M;
        layer_parcel_mean(lev, num, coord, bottom, UPA_thick_top(coord, bottom, thick), &w, &o);
        const float p = s.lev.p;
        s.lev.t = known(o) && known(p) ? celsius_result(temp_on_dryad(o, p)) : M;
        s.lev.td = known(w) && known(p) ? celsius_result(temp_on_mixrat(w, p)) : M;
    }
    return s;
}

// The condensation level of a start: pressure and temperature (K).
struct Lcl {
    float p = M, t = M;
};
Lcl lcl_of(const UPA_level &s) {
    Lcl l;
    if (!known(s.t) || !known(s.td) || !known(s.p)) return l;
    l.p = lcl_pres(s.t + KELVIN, s.td + KELVIN, s.p);
    if (known(l.p)) l.t = kelvin_result(lcl_temp(s.t + KELVIN, s.p, l.p));
    if (!known(l.t)) l.p = M;
    return l;
}

void trace_moist(const UPA_level &p1, const UPA_level &p2, const UPA_level &e1, const UPA_level &e2, float e,
                 float negative, const PARCEL_params &pp) {
    auto d = [](float v) { return static_cast<double>(v); };
    MESS_print(TRACE, "%5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n", d(e1.t), d(e2.t), d(e1.p), d(e2.p),
               d(p1.t), d(p2.t), d(e));
    MESS_print(TRACE, "   %5.1f-%5.1f-%5.1f %5.1f,%5.1f,%5.1f %5.1f-%5.1f\n", d(pp.Bplus), d(pp.Bminus),
               d(negative), d(pp.lfc), d(pp.el), d(pp.mpl), d(pp.Bel), d(pp.Bmpl));
}

} // namespace

float energy_calc(const UPA_level *par1, const UPA_level *par2, const UPA_level *env1,
                  const UPA_level *env2) {
    if (par1 == nullptr || par2 == nullptr || env1 == nullptr || env2 == nullptr) return M;
    if (!known(par1->t) || !known(par2->t) || !known(env1->t) || !known(env2->t) || !known(env1->h) ||
        !known(env2->h))
        return M;
    const double tp = (static_cast<double>(par1->t) + par2->t) / 2.0;
    const double te = (static_cast<double>(env1->t) + env2->t) / 2.0;
    return static_cast<float>((static_cast<double>(env2->h) - env1->h) * GRAVITY * (tp - te) / (te + KELVIN));
}

int parcel_calc(const UPA_level *lev, int num, UPA_level *blev, int coord, float bottom, float thick,
                PARCEL_params *params) {
    if (params == nullptr) return 0;
    PARCEL_params &pp = *params;
    pp.plcl = pp.el = pp.mpl = pp.Bel = pp.Bmpl = M;
    pp.lfc = -1.0f;
    pp.Bplus = pp.Bminus = pp.wmax = pp.cap = 0.0f;
    auto refuse = [&pp]() {
        pp.Bplus = pp.Bminus = pp.wmax = pp.cap = pp.lfc = M;
        return 0;
    };
    if (lev == nullptr || num <= 0 || !known(bottom)) return refuse();

    // The start: parcel point P and environment point E.
    UPA_level P, E;
    int k0 = 0;
    if (blev != nullptr && known(blev->p)) {
        P = *blev;
        k0 = UPA_interp(lev, num, UPA_COORD_PRES, blev->p, &E);
    } else {
        const Start s = parcel_start(lev, num, coord, bottom, thick);
        UPA_interp(lev, num, coord, bottom, &E);
        P = s.lev;
        k0 = s.index;
        if (blev != nullptr) *blev = P;
    }
    MESS_print(TRACE, "P:%6.1f H:%7.0f T:%7.1f Td:%7.1f Dir:%6.0f Spd:%6.0f\n", static_cast<double>(P.p),
               static_cast<double>(P.h), static_cast<double>(P.t), static_cast<double>(P.td),
               static_cast<double>(P.dir), static_cast<double>(P.spd));
    const Lcl lcl = lcl_of(P);
    if (!known(lcl.p)) return refuse();
    pp.plcl = lcl.p;
    pp.tlcl = lcl.t;
    const float theta = pot_temp(lcl.t, lcl.p);
    if (known(E.t) && known(P.t)) pp.cap = std::max(pp.cap, E.t - P.t);

    UPA_level P1 = P, E1 = E;
    bool ended = false;
    // One step of the ascent to environment point E2 with parcel temperature
    // tp (Celsius); false when it cannot be made.
    auto step_to = [&](const UPA_level &E2, float tp, float &e) {
        UPA_level P2 = E2;
        P2.t = tp;
        e = energy_calc(&P1, &P2, &E1, &E2);
        if (!known(e)) return false;
        if (E2.p > 500) pp.cap = std::max(pp.cap, E2.t - P2.t);
        P1 = P2;
        E1 = E2;
        return true;
    };

    // Dry ascent: the levels with a temperature between the start and the
    // condensation level, then the condensation level itself.
    std::vector<float> points;
    for (int i = k0; i < num; ++i)
        if (has_t(lev[i]) && lev[i].p < P.p && lev[i].p > lcl.p) points.push_back(lev[i].p);
    if (lcl.p < P.p) points.push_back(lcl.p);
    for (std::size_t n = 0; n < points.size() && !ended; ++n) {
        UPA_level E2;
        UPA_interp(lev, num, UPA_COORD_PRES, points[n], &E2);
        const float tp = celsius_result(temp_on_dryad(theta, points[n]));
        float e = 0.0f;
        const UPA_level P1_was = P1, E1_was = E1;
        if (!step_to(E2, tp, e)) {
            ended = true;
            break;
        }
        MESS_print(TRACE, "%2d,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n", static_cast<int>(n),
                   static_cast<int>(n + 1), static_cast<double>(E1_was.t), static_cast<double>(E2.t),
                   static_cast<double>(E1_was.p), static_cast<double>(E2.p), static_cast<double>(P1_was.t),
                   static_cast<double>(tp), static_cast<double>(e));
        if (e > 0)
            pp.Bplus += e;
        else
            pp.Bminus += -e;
    }

    // Moist ascent along the saturated adiabat in 10 mb steps.
    pp.Satad = kelvin_result(thetae_on_satad(lcl.t, lcl.p));
    float negative = 0.0f;
    int stage = 0;
    bool positive = false;
    for (float p = lcl.p - 10.0f; !ended && known(pp.Satad) && lev[num - 1].p < p; p -= 10.0f) {
        UPA_level E2;
        UPA_interp(lev, num, UPA_COORD_PRES, p, &E2);
        if (!known(E2.t)) break;
        const UPA_level P1_was = P1, E1_was = E1;
        const float tp = celsius_result(temp_on_satad(pp.Satad, p));
        float e = 0.0f;
        if (!known(tp) || !step_to(E2, tp, e)) break;
        const float pm = (P1.p + P1_was.p) / 2.0f;
        if (e >= 0 && stage == 0) {
            pp.lfc = pm;
            stage = 1;
        }
        if (e < 0 && stage == 0) pp.Bminus += -e;
        if (e > 0) {
            pp.Bplus += e;
            positive = true;
        }
        if (e < 0 && stage > 0) {
            negative += -e;
            if (positive && stage == 1) {
                pp.el = pm;
                pp.mpl = M;
                pp.Bel = pp.Bplus - negative;
                stage = 2;
            }
            positive = false;
        }
        if (pp.Bplus <= negative && stage == 2 && !known(pp.mpl)) {
            pp.mpl = pm;
            pp.Bmpl = pp.Bplus - negative;
        }
        trace_moist(P1_was, P1, E1_was, E1, e, negative, pp);
    }
    if (pp.Bplus > 0) pp.wmax = std::sqrt(2.0f * pp.Bplus);
    return 1;
}

namespace {

// The lifted parcel's temperature (Celsius) at pressure pt: on the dry
// adiabat below its condensation level, else on its saturated adiabat.
struct Lifted {
    float T = M, Td = M, p = M; // start, kelvin
    Lcl lcl;
};
Lifted lifted_start(const UPA_level *lev, int num, int coord, float bottom, float thick) {
    Lifted l;
    const Start s = parcel_start(lev, num, coord, bottom, thick);
    l.T = kelvin(s.lev.t);
    l.Td = kelvin(s.lev.td);
    l.p = s.lev.p;
    l.lcl = lcl_of(s.lev);
    return l;
}

} // namespace

float cap_strength(const UPA_level *lev, int num, int coord, float bottom, float thick) {
    if (lev == nullptr || num <= 0 || !known(bottom)) return M;
    const Lifted l = lifted_start(lev, num, coord, bottom, thick);
    if (!known(l.lcl.p)) return M;
    const bool dry = l.lcl.p < 500;
    const float theta = dry ? pot_temp(l.T, l.p) : kelvin_result(thetae_on_satad(l.lcl.t, l.lcl.p));
    if (!known(theta)) return M;
    UPA_level at;
    const int k = UPA_interp(lev, num, UPA_COORD_PRES, l.lcl.p, &at);
    float d = known(at.t) ? at.t - (l.lcl.t - KELVIN) : M;
    for (int i = k; i < num && lev[i].p > 500; ++i) {
        if (!known(lev[i].t)) continue;
        const float tp =
            celsius_result(dry ? temp_on_dryad(theta, lev[i].p) : temp_on_satad(theta, lev[i].p));
        if (!known(tp)) continue;
        const float diff = lev[i].t - tp;
        if (!known(d) || diff > d) d = diff;
    }
    return d;
}

float lifted_index(const UPA_level *lev, int num, int coord, float bottom, float thick, float top) {
    if (lev == nullptr || num <= 0 || lev[0].p < 500) return M;
    UPA_level b, u;
    UPA_interp(lev, num, coord, bottom, &b);
    UPA_interp(lev, num, coord, top, &u);
    if (!known(b.t) || !known(u.t)) return M;
    const Lifted l = lifted_start(lev, num, coord, bottom, thick);
    if (!known(l.lcl.p)) return M;
    const float pt = u.p;
    const float tp =
        pt > l.lcl.p ? celsius_result(temp_on_dryad(pot_temp(l.T, l.p), pt))
                     : celsius_result(temp_on_satad(kelvin_result(thetae_on_satad(l.lcl.t, l.lcl.p)), pt));
    return known(tp) ? u.t - tp : M;
}

int thetae_index(const UPA_level *lev, int num, THETAE_params *params) {
    if (params == nullptr) return -1;
    THETAE_params &tp = *params;
    tp = {M, M, M, M, M, M, M};
    auto both = [&](int i) { return known(lev[i].t) && known(lev[i].td); };
    auto thetae = [&](int i) { return eq_pot_temp(lev[i].t + KELVIN, lev[i].td + KELVIN, lev[i].p); };
    int i = 0;
    while (lev != nullptr && i < num && !both(i))
        ++i;
    if (lev == nullptr || i >= num) return -1;
    constexpr int RUNS = 5;
    float sums[RUNS] = {0, 0, 0, 0, 0}, base[RUNS] = {M, M, M, M, M}, top[RUNS] = {M, M, M, M, M};
    float te = thetae(i);
    tp.max = tp.min = te;
    tp.maxp = tp.minp = lev[i].p;
    base[0] = lev[i].p;
    int r = 0;
    bool open = false;
    while (r < RUNS && base[r] >= 700) {
        const int j = i + 1;
        i = j;
        while (i < num && !both(i))
            ++i;
        if (i >= num) break;
        const float te2 = thetae(i);
        if (te2 > tp.max) {
            tp.max = te2;
            tp.maxp = lev[i].p;
        }
        if (te2 < tp.min) {
            tp.min = te2;
            tp.minp = lev[i].p;
        }
        if (te2 <= te) {
            if (!open) {
                open = true;
                base[r] = lev[j].p;
            }
            sums[r] += te - te2;
        } else if (open) {
            top[r] = lev[j].p;
            ++r;
            if (r < RUNS) base[r] = lev[j].p;
            open = false;
        }
        te = te2;
    }
    if (!(base[0] >= 700)) return -1;
    int best = 0;
    for (int n = 1; n < RUNS; ++n)
        if (base[n] >= 700 && sums[n] > sums[best]) best = n;
    tp.index = sums[best];
    tp.base = base[best];
    tp.top = top[best];
    return 0;
}

// ---- Stability indices -----------------------------------------------------------------------

namespace {

struct Mandatory3 {
    UPA_level l850, l700, l500;
};
Mandatory3 at_mandatory(const UPA_level *lev, int num) {
    Mandatory3 m;
    const int n = lev != nullptr ? num : 0;
    UPA_interp(lev, n, UPA_COORD_PRES, 850, &m.l850);
    UPA_interp(lev, n, UPA_COORD_PRES, 700, &m.l700);
    UPA_interp(lev, n, UPA_COORD_PRES, 500, &m.l500);
    return m;
}

} // namespace

float total_totals(const UPA_level *lev, int num) {
    const Mandatory3 m = at_mandatory(lev, num);
    if (!known(m.l850.t) || !known(m.l850.td) || !known(m.l500.t)) return M;
    return m.l850.t + m.l850.td - 2.0f * m.l500.t;
}

float vertical_totals(const UPA_level *lev, int num) {
    const Mandatory3 m = at_mandatory(lev, num);
    if (!known(m.l850.t) || !known(m.l500.t)) return M;
    return m.l850.t - m.l500.t;
}

float cross_totals(const UPA_level *lev, int num) {
    const Mandatory3 m = at_mandatory(lev, num);
    if (!known(m.l850.td) || !known(m.l500.t)) return M;
    return m.l850.td - m.l500.t;
}

float k_index(const UPA_level *lev, int num) {
    const Mandatory3 m = at_mandatory(lev, num);
    for (float v : {m.l850.t, m.l850.td, m.l500.t, m.l700.t, m.l700.td})
        if (!known(v)) return M;
    return (m.l850.t - m.l500.t) + m.l850.td - (m.l700.t - m.l700.td);
}

float sweat_index(const UPA_level *lev, int num) {
    const Mandatory3 m = at_mandatory(lev, num);
    const UPA_level &a = m.l850, &b = m.l500;
    if (!known(b.t) || !known(b.dir) || !known(a.t) || !known(a.dir) || !known(a.td)) return M;
    float s = a.td > 0 ? 12.0f * a.td : 0.0f;
    const float tt = total_totals(lev, num);
    if (known(tt) && tt > 49) s += 20.0f * (tt - 49.0f);
    if (known(a.spd)) s += 2.0f * a.spd;
    if (known(b.spd)) s += b.spd;
    if (a.dir >= 135 && a.dir <= 250 && b.dir >= 210 && b.dir <= 310 && b.dir - a.dir > 0 && known(a.spd) &&
        a.spd >= 15 && known(b.spd) && b.spd >= 15)
        s = static_cast<float>(s + 125.0 * (std::sin((b.dir - a.dir) * DEG_TO_RAD) + 0.2));
    return s;
}

float energy_index(const UPA_level *lev, int num) {
    const Mandatory3 m = at_mandatory(lev, num);
    auto energy = [](const UPA_level &l) {
        if (!known(l.t) || !known(l.td) || !known(l.h)) return M;
        const float w = mix_ratio(l.td + KELVIN, l.p);
        if (!known(w)) return M;
        return 0.24f * (l.t + KELVIN) + l.h * 980.0f * 100.0f / 4.2e7f + 0.6f * w;
    };
    const float e850 = energy(m.l850), e500 = energy(m.l500);
    return known(e850) && known(e500) ? e500 - e850 : M;
}

// ---- Helicity and shear ----------------------------------------------------------------------

namespace {

constexpr float TO_MS = UPA_KNOT_TO_MS;
constexpr float CALM = 0.01f; // m/s

// A level's wind vector in m/s (missing with the wind).
void wind_ms(const UPA_level &l, float &u, float &v) {
    wind2vect(l.dir, known(l.spd) ? l.spd * TO_MS : M, &u, &v);
}

// An angle brought into -180..180.
float wrap180(float a) {
    if (a < -180) a += 360;
    if (a > 180) a -= 360;
    return a;
}

// The layer of a wind parameter: bottom and top levels, the search position
// of the top, and the height of the top step.
struct WindLayer {
    UPA_level b, t;
    int kt = 0;
};

// The top height of a wind layer: 10 m above the top level, or in
// coordinate 103 without its height the requested depth above the bottom
// (result 0); false outside coordinate 103 without it.
bool top_height(const WindLayer &wl, int coord, float bottom, float top, float &h, int &result) {
    if (known(wl.t.h)) {
        h = wl.t.h + 10.0f;
        return true;
    }
    if (coord != UPA_COORD_HGHT) return false;
    h = wl.b.h + top - bottom;
    result = 0;
    return true;
}

// The number of steps of a layer walk from bottom_h up to top_h (the steps
// at bottom_h + k * step up to top_h); -1 for a layer deeper than any
// atmosphere (heights of a damaged sounding), whose walk would not end.
int layer_steps(float bottom_h, float top_h, float step) {
    constexpr double MAX_DEPTH = 100000.0;
    const double depth = static_cast<double>(top_h) - bottom_h;
    if (!(depth <= MAX_DEPTH)) return -1;
    return depth < step ? 0 : static_cast<int>(depth / step);
}

} // namespace

int helicity(const UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
             HELICITY_params *windp) {
    if (windp == nullptr) return 0;
    HELICITY_params &hp = *windp;
    hp = {M, M, M, M, M, M, M, M};
    if (lev == nullptr || num < 2 || lev[0].h > 5000 || storm == nullptr || !known(storm->dir)) return 0;
    float cu, cv;
    wind2vect(storm->dir, known(storm->spd) ? storm->spd * TO_MS : M, &cu, &cv);
    auto relative = [&](const UPA_level &l, float &u, float &v) {
        wind_ms(l, u, v);
        if (!known(u) || !known(cu)) {
            u = v = M;
            return;
        }
        u -= cu;
        v -= cv;
    };
    WindLayer wl;
    UPA_interp(lev, num, coord, bottom, &wl.b);
    wl.kt = UPA_interp(lev, num, coord, top, &wl.t);
    int result = 1;
    float ua, va, da = M, sa = M;
    relative(wl.b, ua, va);
    if (known(ua)) vect2wind(ua, va, &da, &sa);
    if (!known(wl.t.dir) && wl.kt == num) {
        // Cut at the top of the data.
        result = 0;
        UPA_interp(lev, num, UPA_COORD_HGHT, lev[num - 1].h, &wl.t);
    }
    float ut, vt;
    relative(wl.t, ut, vt);
    if (known(ut) && known(da)) {
        float dt, st;
        vect2wind(ut, vt, &dt, &st);
        hp.dir_shr = wrap180(dt - da);
    }
    if (!known(wl.b.h)) return -1;
    float top_h = M;
    if (!top_height(wl, coord, bottom, top, top_h, result)) return -1;
    const int count = layer_steps(wl.b.h, top_h, 100.0f);
    if (count < 0) return -1;

    hp.pos_hel = hp.neg_hel = hp.tot_hel = hp.ave_hel = hp.rel_hel = hp.hor_vort = hp.stm_vort = 0.0f;
    int steps = 0;
    float sum_s = 0.0f, sum_v = 0.0f, depth = 0.0f;
    for (int n = 1; n <= count; ++n) {
        const float h = wl.b.h + 100.0f * static_cast<float>(n);
        UPA_level l;
        UPA_interp(lev, num, UPA_COORD_HGHT, h, &l);
        float ub, vb;
        relative(l, ub, vb);
        float hel = M;
        if (known(ua) && known(ub)) {
            hel = va * ub - vb * ua;
            if (hel > 0)
                hp.pos_hel += hel;
            else
                hp.neg_hel += hel;
            float db, sb;
            vect2wind(ub, vb, &db, &sb);
            const float a = wrap180(db - da);
            const float ws = (sb + sa) * (static_cast<float>(DEG_TO_RAD) * a / 100.0f) / 2.0f;
            const float ss = (sb - sa) / 100.0f;
            sum_s += ws;
            sum_v += std::sqrt(ss * ss + ws * ws);
            depth += 100.0f;
            ua = ub;
            va = vb;
            da = db;
            sa = sb;
        }
        ++steps;
        auto d = [](float v) { return static_cast<double>(v); };
        MESS_print(TRACE, "%5.1f %5.1f-%5.1f  %5.1f,%5.1f %5.1f,%5.1f = %5.1f %5.1f\n", d(h), d(l.dir),
                   d(l.spd), d(ua), d(va), d(ub), d(vb), d(hp.pos_hel), d(hp.neg_hel));
    }
    hp.tot_hel = hp.pos_hel + hp.neg_hel;
    if (depth != 0) hp.ave_hel = hp.tot_hel / depth;
    if (steps != 0) {
        hp.hor_vort = sum_v / static_cast<float>(steps);
        hp.stm_vort = sum_s / static_cast<float>(steps);
    }
    if (hp.hor_vort != 0) hp.rel_hel = sum_s / sum_v;
    return result;
}

int shear_layer(const UPA_level *lev, int num, int coord, float bottom, float top, const WIND *,
                SHEAR_params *windp) {
    if (windp == nullptr) return 0;
    SHEAR_params &sp = *windp;
    sp = {M, M};
    if (lev == nullptr || num <= 0 || lev[0].h > 5000) return 0;
    WindLayer wl;
    UPA_interp(lev, num, coord, bottom, &wl.b);
    wl.kt = UPA_interp(lev, num, coord, top, &wl.t);
    float ua, va;
    wind_ms(wl.b, ua, va);
    float da = wl.b.dir;
    if (!known(wl.b.h)) return -1;
    int result = 1;
    float top_h = M;
    if (!top_height(wl, coord, bottom, top, top_h, result)) return -1;
    const int count = layer_steps(wl.b.h, top_h, 500.0f);
    if (count < 0) return -1;
    float pu = 0, pv = 0, nu = 0, nv = 0, depth = 0;
    for (int n = 1; n <= count; ++n) {
        const float h = wl.b.h + 500.0f * static_cast<float>(n);
        UPA_level l;
        UPA_interp(lev, num, UPA_COORD_HGHT, h, &l);
        float ub, vb;
        wind_ms(l, ub, vb);
        if (known(ua) && known(ub)) {
            const float dd = l.dir - da;
            if ((dd > 0 && dd < 180) || dd < -180) {
                pu += ub - ua;
                pv += vb - va;
            } else {
                nu += ub - ua;
                nv += vb - va;
            }
            depth += 500.0f;
        }
        ua = ub;
        va = vb;
        da = l.dir;
    }
    if (depth == 0) return result;
    sp.pos_shr = std::hypot(pu, pv) / depth;
    sp.neg_shr = std::hypot(nu, nv) / depth;
    return result;
}

int bulk_richardson(const UPA_level *lev, int num, int coord, float bottom, float cape, float *brn,
                    float *shear) {
    float b_out = M, s_out = M;
    auto finish = [&](int rc) {
        if (brn != nullptr) *brn = b_out;
        if (shear != nullptr) *shear = s_out;
        return rc;
    };
    if (lev == nullptr || num <= 0) return finish(-1);
    UPA_level b;
    UPA_interp(lev, num, coord, bottom, &b);
    if (!known(b.h)) return finish(-1);
    WIND m1, m2;
    const int r1 = layer_wind_mean(lev, num, UPA_COORD_HGHT, b.h, b.h + 500.0f, &m1);
    const int r2 = layer_wind_mean(lev, num, UPA_COORD_HGHT, b.h, b.h + 6000.0f, &m2);
    // Both means are needed for a difference.
    if ((r1 != 1 && r2 != 1) || !known(m1.dir) || !known(m2.dir)) return finish(-1);
    float u1, v1, u2, v2;
    wind2vect(m1.dir, m1.spd * TO_MS, &u1, &v1);
    wind2vect(m2.dir, m2.spd * TO_MS, &u2, &v2);
    s_out = std::hypot(u2 - u1, v2 - v1);
    // Means that differ by less than the calm limit of the wind tools are
    // equal: no shear, no number.
    if (known(cape) && cape >= 0 && s_out >= CALM)
        b_out = static_cast<float>(cape / (0.5 * static_cast<double>(s_out) * s_out));
    return finish(0);
}

float energy_helicity(const UPA_level *lev, int num, int coord, float bottom, const WIND *storm, float cape) {
    if (lev == nullptr || num <= 0 || !known(bottom)) return M;
    UPA_level b;
    UPA_interp(lev, num, coord, bottom, &b);
    HELICITY_params hp;
    helicity(lev, num, UPA_COORD_HGHT, b.h, known(b.h) ? b.h + 2000.0f : M, storm, &hp);
    if (!known(hp.pos_hel) || !known(cape)) return M;
    return hp.pos_hel * cape / 160000.0f;
}

// ---- Level specifications ------------------------------------------------------------------

namespace {

// Special first bounds of decoded layers.
constexpr float LAYER_SFC = 1900.0f;       // pressure layer from the surface
constexpr float LAYER_MAXT = 1910.0f;      // the same, the maximum-temperature parcel
constexpr float LAYER_TROP = 1950.0f;      // pressure layer up from the tropopause
constexpr float LAYER_SFC_THICK = 2000.0f; // from the surface, 2000 + parcel layer depth
constexpr float LAYER_TROP_H = 99500.0f;   // height layer up from the tropopause

// The level types whose first decoded value is the upper bound of a layer.
bool upper_first(int ltype) {
    return ltype == 104 || ltype == 106 || ltype == 114 || ltype == 116;
}

// The decoded layer of a variable as bottom (the lower level) and top.
struct Layer {
    int coord = UPA_COORD_PRES;
    float bottom = M, top = M;
};
Layer decoded_layer(const VAR_data *var) {
    Layer l;
    float thick = M;
    UPA_level_decode(var, &l.coord, &l.bottom, &l.top, &thick);
    if (var == nullptr || !upper_first(var->ltype) || !known(l.bottom) || !known(l.top)) return l;
    // The layer types that give the upper end first are turned round (the
    // layer up from the tropopause already comes lower end first): the lower
    // level has the larger pressure, the smaller height or temperature.
    if (UPA_is_pres_coord(l.coord) ? l.bottom < l.top : l.bottom > l.top) std::swap(l.bottom, l.top);
    return l;
}

} // namespace

int UPA_level_decode(const VAR_data *var, int *coord, float *lev1, float *lev2, float *thick) {
    float c1 = M, c2 = M, th = M;
    int cd = UPA_COORD_PRES;
    auto finish = [&](int rc) {
        if (coord != nullptr) *coord = cd;
        if (lev1 != nullptr) *lev1 = c1;
        if (lev2 != nullptr) *lev2 = c2;
        if (thick != nullptr) *thick = th;
        return rc;
    };
    if (var == nullptr || var->ltype == MISSING) return finish(0);
    const UPA_level sfc = *THERM_get_sfc();
    const UPA_level trop = *THERM_get_trop();
    switch (var->ltype) {
    case 1:
        c1 = sfc.p;
        if (var->level > 0) th = static_cast<float>(var->level);
        return finish(1);
    case 6:
        c1 = THERM_get_mwnd()->p;
        return finish(1);
    case 7:
        c1 = trop.p;
        return finish(1);
    case 0:
        c1 = sfc.p;
        c2 = 500.0f;
        return finish(2);
    case 4:
        c1 = freezing_level(THERM_get_SM(), THERM_get_SM_num());
        return finish(1);
    case 5:
        c1 = lcl_pres(kelvin(sfc.t), kelvin(sfc.td), sfc.p);
        return finish(1);
    default:
        break;
    }

    const int lt = var->ltype;
    const float sfc_h = known(sfc.h) ? sfc.h : 0.0f;
    cd = lt;
    VAR_get_level(lt, var->level, &c1, &c2);
    switch (lt) {
    case 116:
        c2 = known(sfc.p) && known(c2) ? sfc.p - c2 : M;
        [[fallthrough]];
    case 115:
        c1 = known(sfc.p) && known(c1) ? sfc.p - c1 : M;
        break;
    case 106:
        if (known(c2)) c2 += sfc_h;
        [[fallthrough]];
    case 105:
        if (known(c1)) c1 += sfc_h;
        break;
    case 101:
        if (c1 == LAYER_SFC || c1 == LAYER_MAXT) {
            c1 = sfc.p;
        } else if (c1 == LAYER_TROP) {
            if (!known(trop.p) || trop.p - c2 < 0) {
                c1 = c2 = M;
            } else {
                c1 = trop.p;
                c2 = trop.p - c2;
            }
        } else if (c1 >= LAYER_SFC_THICK) {
            th = c1 - LAYER_SFC_THICK;
            c1 = sfc.p;
        }
        break;
    case 104:
        if (c1 == LAYER_TROP_H) {
            // A tropopause without a height has no layer either.
            if (!known(trop.p) || !known(trop.h) || trop.h + c2 < 0) {
                c1 = c2 = M;
            } else {
                c1 = trop.h;
                c2 = trop.h + c2;
            }
        }
        break;
    default:
        break;
    }
    return finish(lt == 101 || upper_first(lt) ? 2 : 1);
}

int UPA_is_maxt(const VAR_data *var) {
    if (var == nullptr || var->ltype != 101) return 0;
    float l1 = M, l2 = M;
    VAR_get_level(var->ltype, var->level, &l1, &l2);
    return l1 == LAYER_MAXT ? 1 : 0;
}

int UPA_make_layer(const VAR_data *var, int *, float *lev1, float *lev2, float delta) {
    if (var == nullptr || lev1 == nullptr || lev2 == nullptr) return 0;
    const float level = static_cast<float>(var->level);
    const float d = delta > 0 ? delta : 0.0f;
    switch (var->ltype) {
    case 100: {
        const float h = d > 0 ? d : 25.0f;
        *lev1 = level - h;
        *lev2 = level + h;
        break;
    }
    case 103:
    case 113: {
        const float h = d > 0 ? d : (var->ltype == 103 ? 200.0f : 5.0f);
        *lev1 = level + h;
        *lev2 = level - h;
        break;
    }
    default:
        break;
    }
    return 0;
}

int UPA_calc_layer(const VAR_data *var, RAW_data *data) {
    if (var == nullptr || data == nullptr) return 0;
    const Layer l = decoded_layer(var);
    data->value[0] = mean_value(var->name, THERM_get_SM(), THERM_get_SM_num(), l.coord, l.bottom, l.top);
    return 0;
}

int UPA_calc_wind_layer(const VAR_data *var, WIND *wind) {
    if (wind == nullptr) return 0;
    *wind = {M, M};
    if (var == nullptr) return 0;
    const Layer l = decoded_layer(var);
    WIND w;
    if (layer_wind_mean(THERM_get_WM(), THERM_get_WM_num(), l.coord, l.bottom, l.top, &w) == 1) *wind = w;
    return 0;
}
