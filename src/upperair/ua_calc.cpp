// Sounding calculations: one quantity of a level, and layer means over a
// level list by the trapezoid rule in the logarithm of pressure (named
// quantities, the parcel layer's mixing ratio and potential temperature, the
// wind). No file-static state.
#include "upperair/ua_calc.h"

#include <cmath>
#include <cstring>

#include "fields/calc.h"
#include "plot/vecttool.h"
#include "runtime/mess.h"
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
