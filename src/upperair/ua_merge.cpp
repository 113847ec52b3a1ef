// Sounding merge: hydrostatic completion of the heights of a sounding.
// No file-static state.
#include "upperair/ua_merge.h"

#include <cmath>

#include "runtime/zeq.h"

namespace {

constexpr float GAS_CONST = 287.05f;
constexpr float GRAVITY = 9.8f;
constexpr float KELVIN = 273.15f;
constexpr float LAPSE = 0.0065f;
constexpr float STD_SFC_TEMP = 288.15f;

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

float thickness(float p_lower, float p_upper, float tbar) {
    return std::log(p_lower / p_upper) * GAS_CONST * tbar / GRAVITY;
}

bool pressures(const UPA_level &a, const UPA_level &b) {
    return known(a.p) && known(b.p) && a.p > 0.0f && b.p > 0.0f;
}

} // namespace

int UPA_calc_height(UPA_level *level, int num) {
    if (level == nullptr || num < 1) return -1;
    int s = 0;
    while (s < num) {
        int i = s + 1;
        while (i < num && !known(level[i].h))
            ++i;
        if (i == num) {
            level[num].p = level[num].h = level[num].t = FMISSING;
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
                    level[j].h = FMISSING;
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
