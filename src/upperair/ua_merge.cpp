// Sounding merge: a report's mandatory, significant and wind levels merged
// into a temperature and a wind sounding, level lists merged, levels
// interpolated to pressures, heights and potential temperatures, and the
// hydrostatic completion of heights and pressures. No file-static state.
#include "upperair/ua_merge.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "fields/calc.h"
#include "runtime/mess.h"
#include "runtime/zeq.h"
#include "upperair/thm_tool.h"
#include "upperair/ua_read.h"
#include "upperair/ua_tool.h"

namespace {

constexpr float M = FMISSING;

// ---- The hydrostatic relation -----------------------------------------------------------

constexpr float GAS_CONST = 287.05f;
constexpr float GRAVITY = 9.8f;
constexpr float KELVIN = 273.15f;
constexpr float LAPSE = 0.0065f;
constexpr float STD_SFC_TEMP = 288.15f;
constexpr float STD_SFC_PRES = 1013.25f;

constexpr M_type TRACE = M_DEBUG_D;

bool known(float v) {
    return v != FMISSING;
}

// The temperature (K) of a layer whose two temperatures are missing: the
// lowest level's temperature less the standard lapse over the height from
// that level, or the standard atmosphere when the lowest level has none.
float lapse_temp(const UPA_level *level, float h) {
    if (!known(h)) h = 0.0f;
    if (known(level[0].t)) {
        const float h0 = known(level[0].h) ? level[0].h : h;
        return level[0].t + KELVIN - LAPSE * (h - h0);
    }
    return STD_SFC_TEMP - LAPSE * h;
}

// The mean temperature (K) of the layer between two levels, or the one that
// is known.
float layer_temp(const UPA_level *level, const UPA_level &a, const UPA_level &b, float h) {
    if (known(a.t) && known(b.t)) return (a.t + b.t) / 2.0f + KELVIN;
    if (known(a.t)) return a.t + KELVIN;
    if (known(b.t)) return b.t + KELVIN;
    return lapse_temp(level, h);
}

// The thickness (m) of the layer between two pressures at mean temperature tbar.
float thickness(float p_lower, float p_upper, float tbar) {
    return std::log(p_lower / p_upper) * GAS_CONST * tbar / GRAVITY;
}

// The pressure at height h above a level (p_ref, h_ref), mean temperature tbar.
float pressure_at(float p_ref, float h_ref, float h, float tbar) {
    return p_ref * std::exp(GRAVITY * (h_ref - h) / (GAS_CONST * tbar));
}

// The mean temperature (K) of the layer between two levels of known
// pressures and heights.
float hypsometric_temp(const UPA_level &lower, const UPA_level &upper) {
    return (upper.h - lower.h) * (GRAVITY / GAS_CONST) / std::log(lower.p / upper.p);
}

// The height of a pressure in the standard atmosphere (m).
float std_height(float p) {
    return (STD_SFC_TEMP - STD_SFC_TEMP * std::pow(p / STD_SFC_PRES, GAS_CONST * LAPSE / GRAVITY)) / LAPSE;
}

bool pressures(const UPA_level &a, const UPA_level &b) {
    return known(a.p) && known(b.p) && a.p > 0.0f && b.p > 0.0f;
}

// ---- Merging ----------------------------------------------------------------------------

constexpr float FEET_TO_M = 0.3048f;

float feet_to_m(float h) {
    return known(h) ? h * FEET_TO_M : M;
}

// The merged list with its man_index: levels are inserted and removed with
// every index that points behind them moved along.
struct Merged {
    UPA_level *lev;
    int *man_index;
    int n = 0;

    void insert(int j, const UPA_level &l) {
        for (int m = n; m > j; --m)
            lev[m] = lev[m - 1];
        lev[j] = l;
        ++n;
        for (int k = 0; k < UPA_MAN_INDEX; ++k)
            if (man_index[k] >= j) ++man_index[k];
    }
    void remove(int j) {
        for (int m = j; m < n - 1; ++m)
            lev[m] = lev[m + 1];
        --n;
        for (int k = 0; k < UPA_MAN_INDEX; ++k) {
            if (man_index[k] == j)
                man_index[k] = MISSING;
            else if (man_index[k] > j)
                --man_index[k];
        }
    }
};

void clear_index(int *man_index, int from, int to) {
    for (int k = from; k < to; ++k)
        man_index[k] = MISSING;
}

int sig_count(const UPA_report &r) {
    return std::clamp(r.numsig, 0, UPA_MAX_SIG);
}
int wnd_count(const UPA_report &r) {
    return std::clamp(r.numwnd, 0, UPA_MAX_WND);
}
float first_sig_pres(const UPA_report &r) {
    return sig_count(r) > 0 ? r.sig[0].p : M;
}

// The pressure of the first of the surface and mandatory levels 1000 to
// 10 mb that has a temperature (of the first level above 10 mb when none has).
float first_temp_pres(const UPA_report &r) {
    for (int k = UPA_SLOT_SFC; k <= 16; ++k)
        if (known(r.man[k].t)) return r.man[k].p;
    return r.man[UPA_SLOT_ABOVE].p;
}

UPA_level sig_level(const UPA_sig_level &s, float h) {
    return {s.p, h, s.t, s.td, M, M};
}
UPA_level wind_level(const UPA_wind_level &w) {
    return {M, feet_to_m(w.h), M, M, w.dir, w.spd};
}

// A value at pressure p from the levels on both sides of it, linear in ln p;
// the one neighbour's value where the other is missing or absent.
float from_neighbours(const UPA_level *below, const UPA_level *above, float UPA_level::*field, float p) {
    if (below != nullptr && above != nullptr && pressures(*below, *above))
        return interp_temp(below->*field, above->*field, below->p, above->p, p);
    if (below != nullptr && known(below->*field)) return below->*field;
    if (above != nullptr && known(above->*field)) return above->*field;
    return M;
}

// Places the maximum wind by pressure: on a level of the same pressure, or
// inserted in front of the first level of smaller pressure; its temperature
// and dew point from the levels on both sides.
void place_max_wind(Merged &m, const UPA_level &mw) {
    for (int j = 0; j < m.n; ++j) {
        if (m.lev[j].p > mw.p) continue;
        if (m.lev[j].p < mw.p) m.insert(j, {mw.p, M, M, M, M, M});
        UPA_level &l = m.lev[j];
        const UPA_level *below = j > 0 ? &m.lev[j - 1] : nullptr;
        const UPA_level *above = j + 1 < m.n ? &m.lev[j + 1] : nullptr;
        l.t = from_neighbours(below, above, &UPA_level::t, l.p);
        l.td = from_neighbours(below, above, &UPA_level::td, l.p);
        l.dir = mw.dir;
        l.spd = mw.spd;
        m.man_index[UPA_SLOT_MAXW] = j;
        return;
    }
}

void place_trop(Merged &m, const UPA_level &tr) {
    for (int j = 0; j < m.n; ++j) {
        if (m.lev[j].p == tr.p) {
            UPA_level &l = m.lev[j];
            l = {tr.p, l.h, tr.t, tr.td, tr.dir, tr.spd};
        } else if (m.lev[j].p < tr.p) {
            m.insert(j, {tr.p, M, tr.t, tr.td, tr.dir, tr.spd});
        } else {
            continue;
        }
        m.man_index[UPA_SLOT_TROP] = j;
        return;
    }
}

// Places a special level of the wind sounding by height, all its values.
void place_by_height(Merged &m, const UPA_level &l, int slot) {
    for (int j = 0; j < m.n; ++j) {
        if (m.lev[j].h == l.h)
            m.lev[j] = l;
        else if (m.lev[j].h > l.h)
            m.insert(j, l);
        else
            continue;
        m.man_index[slot] = j;
        return;
    }
}

float pot_temp_c(const UPA_level &l) {
    return known(l.t) ? pot_temp(l.t + KELVIN, l.p) : M;
}

// Removes the levels colder in potential temperature by more than 3 K than
// the level kept below them.
void theta_screen(Merged &m) {
    if (m.n == 0) return;
    float ref = pot_temp_c(m.lev[0]);
    for (int j = 0; j < m.n;) {
        const float theta = pot_temp_c(m.lev[j]);
        if (theta - ref < -3.0f) {
            MESS_print(TRACE, "BAD: %d = %1.0f\n", j, static_cast<double>(m.lev[j].p));
            m.remove(j);
            continue;
        }
        ref = theta;
        ++j;
    }
}

// A trace line of the wind merge: index and height, with direction and
// speed when `wind`.
void trace_level(const char *format, int n, float h, const UPA_level &l, bool wind) {
    if (wind)
        MESS_print(TRACE, format, n, static_cast<double>(h), static_cast<double>(l.dir),
                   static_cast<double>(l.spd));
    else
        MESS_print(TRACE, format, n, static_cast<double>(h));
}

// The wind levels below height hm (m) go into the list: those with a
// direction above the station height are kept.
void winds_below(const UPA_report &r, Merged &m, int &i, float hm, bool full_trace) {
    const int numwnd = wnd_count(r);
    while (i < numwnd && feet_to_m(r.wnd[i].h) < hm) {
        UPA_level &l = m.lev[m.n];
        l = wind_level(r.wnd[i]);
        trace_level(full_trace ? "HW: %d = %.0f %.0f %.0f\n" : "HW: %d = %1.0f\n", m.n, l.h, l, full_trace);
        if (known(l.dir) && l.h > r.man[UPA_SLOT_SFC].h) ++m.n;
        ++i;
    }
}

// The wind merges. full: the wind sounding with standard-atmosphere heights,
// the tropopause and the maximum wind; else the plain one.
int wind_merge(const UPA_report &r, UPA_level *merge, int *man_index, bool full) {
    const int numwnd = wnd_count(r);
    const UPA_level &sfc = r.man[UPA_SLOT_SFC];
    if (r.numman == 0) {
        for (int i = 0; i < numwnd; ++i)
            merge[i] = wind_level(r.wnd[i]);
        if (numwnd > 0 && merge[0].h < 300 && known(sfc.h)) merge[0].h = sfc.h;
        clear_index(man_index, 0, UPA_MAN_INDEX);
        return numwnd;
    }
    const float sig0 = first_sig_pres(r);
    float bound;
    if (full)
        bound = !known(sig0) || sig0 >= 500 ? (known(sfc.p) ? sfc.p : 1000.0f) : first_temp_pres(r);
    else
        bound = known(sig0) && sig0 >= 500 ? sfc.p : first_temp_pres(r);
    MESS_print(TRACE, "SFC: %1.0f\n", static_cast<double>(bound));

    Merged m{merge, man_index};
    int i = 0;
    for (int k = UPA_SLOT_SFC; k < UPA_SLOT_TROP; ++k) {
        const UPA_level &mk = r.man[k];
        if (!known(mk.p) || !known(mk.dir) || mk.p > bound) {
            man_index[k] = MISSING;
            MESS_print(TRACE, "bad mand: %d = %1.0f\n", k, static_cast<double>(mk.p));
            continue;
        }
        const float hm = full && !known(mk.h) ? std_height(mk.p) : mk.h;
        winds_below(r, m, i, hm, full);
        // The surface wind is the surface level's.
        if (i == 0 && numwnd > 0 && r.wnd[0].h == 0 && known(sfc.p)) i = 1;
        if (i < numwnd && feet_to_m(r.wnd[i].h) == mk.h) ++i;
        merge[m.n] = {mk.p, hm, mk.t, mk.td, mk.dir, mk.spd};
        trace_level(full ? "HM: %d = %1.0f %.0f %.0f\n" : "HM: %d = %1.0f\n", m.n, hm, mk, full);
        man_index[k] = m.n++;
    }
    for (; i < numwnd; ++i) {
        UPA_level &l = merge[m.n];
        l = wind_level(r.wnd[i]);
        trace_level(full ? "HW+ %d = %1.0f %.0f %.0f\n" : "HW: %d = %1.0f\n", m.n, l.h, l, full);
        if (known(l.dir)) ++m.n;
    }
    if (!full) return m.n;
    clear_index(man_index, UPA_SLOT_TROP, UPA_MAN_INDEX);
    if (known(r.man[UPA_SLOT_TROP].p)) place_by_height(m, r.man[UPA_SLOT_TROP], UPA_SLOT_TROP);
    if (known(r.man[UPA_SLOT_MAXW].p)) place_by_height(m, r.man[UPA_SLOT_MAXW], UPA_SLOT_MAXW);
    return m.n;
}

// One field: from a unless missing there, else from b.
UPA_level merge_fields(const UPA_level &a, const UPA_level &b) {
    auto pick = [](float x, float y) { return known(x) ? x : y; };
    return {pick(a.p, b.p),   pick(a.h, b.h),     pick(a.t, b.t),
            pick(a.td, b.td), pick(a.dir, b.dir), pick(a.spd, b.spd)};
}

// ---- Interpolation ----------------------------------------------------------------------

enum class Group { Pressure, Height, Theta, None };

Group group_of(int coord) {
    if (UPA_is_pres_coord(coord)) return Group::Pressure;
    if (UPA_is_hght_coord(coord)) return Group::Height;
    if (UPA_is_theta_coord(coord)) return Group::Theta;
    return Group::None;
}

// The thickness of a layer above (10 mb, 50 m, 5 K) or below (20 mb, 200 m,
// 2 K) a level when none is given.
float default_thick(Group g, bool above) {
    switch (g) {
    case Group::Pressure:
        return above ? 10.0f : 20.0f;
    case Group::Height:
        return above ? 50.0f : 200.0f;
    case Group::Theta:
        return above ? 5.0f : 2.0f;
    default:
        return M;
    }
}

// Interpolation reduces every other code to pressure.
Group interp_group(int coord) {
    const Group g = group_of(coord);
    return g == Group::None ? Group::Pressure : g;
}

float coord_value(Group g, const UPA_level &l) {
    switch (g) {
    case Group::Pressure:
        return known(l.p) && l.p > 0 ? -std::log(l.p) : M;
    case Group::Height:
        return l.h;
    case Group::Theta:
        return known(l.t) ? pot_temp(l.t + KELVIN, l.p) : M;
    default:
        return M;
    }
}

constexpr float UPA_level::*fields[6] = {&UPA_level::p,  &UPA_level::h,   &UPA_level::t,
                                         &UPA_level::td, &UPA_level::dir, &UPA_level::spd};
constexpr float PRES_GAP = 300.0f; // pressures further apart are not bridged

// The levels of one interpolation with their coordinate values.
struct Column {
    const UPA_level *lev;
    int n;
    std::vector<float> c;
};

// Interpolates every field of one level at coordinate value cv (within the
// list's range); false when a pressure gap leaves the level missing.
bool interp_fields(const Column &col, Group g, float value, float cv, float tol, int k, UPA_level &out) {
    for (float UPA_level::*f : fields) {
        int lo = k - 1;
        while (lo >= 0 && !known(col.lev[lo].*f))
            --lo;
        int hi = k;
        while (hi < col.n && !known(col.lev[hi].*f))
            ++hi;
        if (f == &UPA_level::p && g == Group::Pressure) {
            out.p = value;
            continue;
        }
        if (f == &UPA_level::h && g == Group::Height) {
            out.h = value;
            continue;
        }
        const bool has_lo = lo >= 0, has_hi = hi < col.n;
        // A value exactly at the one level that has the field gives it.
        if (!has_lo && has_hi && col.c[hi] == cv) {
            out.*f = col.lev[hi].*f;
            continue;
        }
        if (has_lo && !has_hi && col.c[lo] == cv) {
            out.*f = col.lev[lo].*f;
            continue;
        }
        if (!has_lo || !has_hi || !known(col.c[lo]) || !known(col.c[hi])) {
            out.*f = M;
            continue;
        }
        const UPA_level &a = col.lev[lo], &b = col.lev[hi];
        const float ca = col.c[lo], cb = col.c[hi];
        if (cv == ca || ca == cb) {
            out.*f = a.*f;
            continue;
        }
        if (cv == cb) {
            out.*f = b.*f;
            continue;
        }
        if (f == &UPA_level::p && std::fabs(a.p - b.p) > PRES_GAP) {
            // A gap in the pressures is not bridged.
            if (cv - ca <= tol) {
                out.p = a.p;
            } else if (cb - cv <= tol) {
                out.p = b.p;
            } else {
                UPA_level_init(&out);
                return false;
            }
            continue;
        }
        const float x = (cv - ca) / (cb - ca);
        if (f == &UPA_level::dir) {
            // The short way round.
            float da = a.dir, db = b.dir;
            if (db - da > 180)
                db -= 360;
            else if (db - da < -180)
                db += 360;
            float d = da + (db - da) * x;
            if (d < 0) d += 360;
            if (d > 360) d -= 360;
            out.dir = d;
            continue;
        }
        out.*f = a.*f + (b.*f - a.*f) * x;
    }
    return true;
}

} // namespace

// ---- Merging a report ------------------------------------------------------------------------

int UPA_sm_merge(const UPA_report *report, UPA_level *merge, int *man_index) {
    if (report == nullptr || merge == nullptr || man_index == nullptr) return 0;
    const UPA_report &r = *report;
    const int numsig = sig_count(r);
    const UPA_level &sfc = r.man[UPA_SLOT_SFC];
    if (r.numman == 0) {
        for (int i = 0; i < numsig; ++i)
            merge[i] = sig_level(r.sig[i], M);
        if (numsig > 0 && merge[0].p > 500 && known(sfc.h)) merge[0].h = sfc.h;
        clear_index(man_index, 0, UPA_MAN_INDEX);
        return numsig;
    }

    const float sig0 = first_sig_pres(r);
    MESS_print(TRACE, "SFC: %1.0f\n",
               static_cast<double>(known(sig0) && sig0 >= 500 ? sfc.p : first_temp_pres(r)));
    Merged m{merge, man_index};
    int i = 0;
    bool sfc_placed = false;
    man_index[UPA_SLOT_SFC] = MISSING;
    for (int k = UPA_SLOT_1000; k < UPA_SLOT_TROP; ++k) {
        const UPA_level &mk = r.man[k];
        if (!known(mk.p)) {
            man_index[k] = MISSING;
            MESS_print(TRACE, "bad mand: %d = %1.0f\n", k, static_cast<double>(mk.p));
            continue;
        }
        UPA_level_init(&merge[m.n]);
        // The surface goes in once, in front of the first mandatory level at
        // or above it; a first significant level at the surface is the surface.
        if (!sfc_placed && i == 0 && known(sfc.p) && mk.p <= sfc.p) {
            merge[m.n] = sfc;
            MESS_print(TRACE, "P-: %d = %1.0f\n", m.n, static_cast<double>(sfc.p));
            man_index[UPA_SLOT_SFC] = m.n;
            if (sig0 == sfc.p) i = 1;
            if (mk.p < sfc.p) ++m.n;
            sfc_placed = true;
        }
        if (i == 0 && sfc.p == mk.p) {
            man_index[UPA_SLOT_SFC] = m.n;
            if (sig0 == sfc.p) i = 1;
        }
        for (; i < numsig && r.sig[i].p > mk.p; ++i) {
            const float h = i == 0 && r.sig[0].p > 700 ? sfc.h : M;
            merge[m.n] = sig_level(r.sig[i], h);
            MESS_print(TRACE, "PS: %d = %1.0f\n", m.n, static_cast<double>(r.sig[i].p));
            ++m.n;
        }
        // The mandatory values win over a significant level at their pressure.
        if (i < numsig && r.sig[i].p == mk.p) ++i;
        if (mk.p != sfc.p) merge[m.n] = mk;
        MESS_print(TRACE, "PM: %d = %1.0f\n", m.n, static_cast<double>(mk.p));
        man_index[k] = m.n++;
    }
    for (; i < numsig; ++i) {
        float h = M;
        if (i == 0 && r.sig[0].p > 600) {
            h = sfc.h;
            man_index[UPA_SLOT_SFC] = m.n;
        }
        merge[m.n] = sig_level(r.sig[i], h);
        MESS_print(TRACE, "PS: %d = %1.0f\n", m.n, static_cast<double>(r.sig[i].p));
        ++m.n;
    }
    clear_index(man_index, UPA_SLOT_TROP, UPA_MAN_INDEX);
    if (known(r.man[UPA_SLOT_TROP].p)) place_trop(m, r.man[UPA_SLOT_TROP]);
    if (known(r.man[UPA_SLOT_MAXW].p)) place_max_wind(m, r.man[UPA_SLOT_MAXW]);
    theta_screen(m);
    return m.n;
}

int UPA_wm_merge(const UPA_report *report, UPA_level *merge, int *man_index) {
    if (report == nullptr || merge == nullptr || man_index == nullptr) return 0;
    return wind_merge(*report, merge, man_index, true);
}

int UPA_sw_merge(const UPA_report *report, UPA_level *merge, int *man_index) {
    if (report == nullptr || merge == nullptr || man_index == nullptr) return 0;
    return wind_merge(*report, merge, man_index, false);
}

int UPA_merge_array(const UPA_level *in1, int in1_num, const UPA_level *in2, int in2_num, UPA_level *out) {
    if (in1 == nullptr || out == nullptr) return 0;
    if (in2 == nullptr) in2_num = 0;
    int j = 0, o = 0;
    for (int i = 0; i < in1_num; ++i) {
        const UPA_level &a = in1[i];
        while (j < in2_num && in2[j].p > a.p)
            out[o++] = in2[j++];
        if (j < in2_num && in2[j].p == a.p)
            out[o++] = merge_fields(a, in2[j++]);
        else
            out[o++] = a;
    }
    return o;
}

int UPA_wnd_merge_array(const UPA_level *in1, int in1_num, const UPA_level *in2, int in2_num,
                        UPA_level *out) {
    if (in1 == nullptr || out == nullptr) return 0;
    if (in2 == nullptr) in2_num = 0;
    int j = 0, o = 0;
    for (int i = 0; i < in1_num; ++i) {
        const UPA_level &a = in1[i];
        for (; j < in2_num && in2[j].h < a.h; ++j) {
            if (!known(in2[j].dir)) continue;
            UPA_print_level(TRACE, TRACE, 200 + j, &in2[j]);
            out[o++] = in2[j];
        }
        if (!known(a.dir)) continue;
        if (j < in2_num && in2[j].h == a.h) {
            // One level for the height; the first list's wind stands also
            // where the second list has none there.
            out[o] = merge_fields(a, in2[j++]);
            UPA_print_level(TRACE, TRACE, 300 + o, &out[o]);
            ++o;
            continue;
        }
        out[o] = a;
        UPA_print_level(TRACE, TRACE, 100 + i, &out[o]);
        ++o;
    }
    return o;
}

// ---- Coordinates and interpolation ----------------------------------------------------------

float UPA_get_level(int coord, const UPA_level *level) {
    if (level == nullptr) return M;
    return coord_value(group_of(coord), *level);
}

float UPA_thick_top(int coord, float bottom, float thick) {
    if (!known(bottom)) return M;
    const Group g = group_of(coord);
    if (!known(thick)) thick = default_thick(g, true);
    if (!known(thick)) return M;
    return g == Group::Pressure ? bottom - thick : bottom + thick;
}

float UPA_thick_bottom(int coord, float top, float thick) {
    if (!known(top)) return M;
    const Group g = group_of(coord);
    if (!known(thick)) thick = default_thick(g, false);
    if (!known(thick)) return M;
    return g == Group::Pressure ? top + thick : top - thick;
}

float UPA_sfc_pres(const UPA_level *lev, const int *ind) {
    if (lev == nullptr || ind == nullptr || *ind < 0) return 1000.0f;
    return lev[*ind].p;
}

int UPA_calc_temp(UPA_level *levels, int num) {
    if (levels == nullptr) return 0;
    for (int i = 0; i < num; ++i) {
        UPA_level &l = levels[i];
        if (known(l.t)) continue;
        int a = i - 1;
        while (a >= 0 && !known(levels[a].t))
            --a;
        int b = i + 1;
        while (b < num && !known(levels[b].t))
            ++b;
        if (a < 0 || b >= num) continue;
        const UPA_level &la = levels[a], &lb = levels[b];
        if (!known(l.p) || !known(la.p) || !known(lb.p)) continue;
        l.t = la.p == lb.p ? la.t : la.t + (lb.t - la.t) * (l.p - la.p) / (lb.p - la.p);
    }
    return 0;
}

int UPA_interp_levels(const UPA_level *levels, int num_level, int coord, const float *values,
                      UPA_level *result, int num_result) {
    if (coord == UPA_COORD_SFC) {
        if (result == nullptr) return 0;
        result[0] = *THERM_get_sfc();
        for (int i = 0; levels != nullptr && i < num_level; ++i)
            if (levels[i].p == result[0].p) return i;
        return 0;
    }
    if (levels == nullptr || num_level < 0) num_level = 0;
    const Group g = interp_group(coord);

    // Potential temperature: temperatures filled in a copy, the list cut
    // after its last level with a value.
    std::vector<UPA_level> copy;
    Column col{levels, num_level, {}};
    if (g == Group::Theta) {
        copy.assign(levels, levels + num_level);
        UPA_calc_temp(copy.data(), num_level);
        col.lev = copy.data();
    }
    col.c.resize(static_cast<std::size_t>(num_level));
    int position = num_level;
    bool seen = false;
    for (int i = 0; i < num_level; ++i) {
        const float c = coord_value(g, col.lev[i]);
        if (g == Group::Theta && seen && !known(c)) {
            col.n = i;
            position = i + 1;
            break;
        }
        seen = seen || known(c);
        col.c[static_cast<std::size_t>(i)] = c;
    }

    for (int r = 0; r < num_result && values != nullptr && result != nullptr; ++r) {
        UPA_level &out = result[r];
        UPA_level_init(&out);
        const float value = values[r];
        if (!known(value) || (g == Group::Pressure && value <= 0)) continue;
        float cv = value, tol = 1.0f;
        if (g == Group::Pressure) {
            cv = -std::log(value);
            tol = 0.01f;
        } else if (g == Group::Height) {
            tol = 3.0f;
        }
        if (col.n == 0 || cv < col.c[0] - tol) {
            position = 0;
            continue;
        }
        if (cv < col.c[0]) {
            out = col.lev[0];
            position = 0;
            continue;
        }
        int k = 1;
        while (k < col.n && col.c[static_cast<std::size_t>(k)] < cv)
            ++k;
        position = k;
        interp_fields(col, g, value, cv, tol, k, out);
    }
    return position;
}

int UPA_interp(const UPA_level *levels, int num_level, int coord, float value, UPA_level *result) {
    return UPA_interp_levels(levels, num_level, coord, &value, result, 1);
}

// ---- Hydrostatic completion ------------------------------------------------------------------

int UPA_calc_height(UPA_level *level, int num) {
    if (level == nullptr || num < 1) return -1;
    int s = 0;
    while (s < num) {
        int i = s + 1;
        while (i < num && !known(level[i].h))
            ++i;
        if (i == num) {
            level[num].p = level[num].h = level[num].t = M;
            if (s == 0) return -1;
        }
        UPA_level &ls = level[s];
        if (!known(ls.h) && i < num && pressures(ls, level[i])) {
            const float tbar = layer_temp(level, ls, level[i], level[i].h);
            ls.h = level[i].h - thickness(ls.p, level[i].p, tbar);
        }
        if (i - s > 1) {
            const float upper = level[i].h;
            const int last = i < num ? i : num - 1;
            for (int j = s + 1; j <= last; ++j) {
                const UPA_level &below = level[j - 1];
                if (!known(below.h)) {
                    level[j].h = M;
                } else if (pressures(below, level[j])) {
                    const float tbar = layer_temp(level, below, level[j], below.h);
                    level[j].h = below.h + thickness(below.p, level[j].p, tbar);
                } else {
                    level[j].h = ls.h;
                }
            }
            if (i < num) {
                // Spread the misfit at the known upper height linearly in pressure.
                const UPA_level &top = level[i];
                if (known(top.h) && pressures(ls, top) && top.p != ls.p) {
                    const float d = (top.h - upper) / (top.p - ls.p);
                    for (int j = s + 1; j < i; ++j)
                        if (known(level[j].h) && known(level[j].p)) level[j].h -= (level[j].p - ls.p) * d;
                }
                level[i].h = upper;
            }
        }
        s = i;
    }
    return 0;
}

int UPA_calc_press(UPA_level *level, int num) {
    if (level == nullptr || num < 1) return 0;
    int s = 0;
    while (s < num) {
        int i = s + 1;
        while (i < num && !known(level[i].p))
            ++i;
        if (i == num) level[num].p = level[num].h = M;
        UPA_level &ls = level[s];
        const UPA_level &li = level[i];
        const bool upper = known(li.p) && li.p > 0 && known(li.h);
        // A missing height, then a missing first pressure, from the next
        // level with a pressure.
        if (!known(ls.h) && upper && known(ls.p) && ls.p > 0)
            ls.h = li.h - thickness(ls.p, li.p, layer_temp(level, ls, li, li.h));
        if (!known(ls.p) && upper && known(ls.h))
            ls.p = pressure_at(li.p, li.h, ls.h, layer_temp(level, ls, li, li.h));
        if (i - s > 1 && known(ls.p) && ls.p > 0 && known(ls.h)) {
            // Between two known pressures the layer's own mean temperature;
            // above the last one level by level with the layer temperature.
            const float tbar = upper && li.p != ls.p ? hypsometric_temp(ls, li) : M;
            const int last = std::min(i, num);
            int prev = s;
            for (int j = s + 1; j < last; ++j) {
                UPA_level &lj = level[j];
                if (!known(lj.h)) continue;
                if (known(tbar) && tbar > 0 && std::isfinite(tbar)) {
                    lj.p = pressure_at(ls.p, ls.h, lj.h, tbar);
                } else {
                    const UPA_level &lp = level[prev];
                    lj.p = pressure_at(lp.p, lp.h, lj.h, layer_temp(level, lp, lj, (lp.h + lj.h) / 2));
                    prev = j;
                }
            }
        }
        s = i;
    }
    return 0;
}
