// Model soundings: a vertical profile at one point from the grids of one
// model grid file, handed to the upper-air layer (this file is the bridge to
// it, see layers.txt). File-static state: the pressure step.
#include "fields/grd_tool.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "fields/calc.h"
#include "fields/grd_tool_int.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "plot/vecttool.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/unittool.h"
#include "upperair/ua_merge.h"
#include "upperair/ua_tool.h"
#include "upperair/zequpa.h"

using grd_int::Scratch;

namespace {

float sound_dp = 50.0f;

constexpr int NUM_SPECS = 10;
constexpr float KELVIN = 273.15f;
constexpr float KNOTS = 1.944f;

bool known(float v) {
    return v != FMISSING;
}

void clear_level(UPA_level &l, float p) {
    l.p = p;
    l.h = l.t = l.td = l.dir = l.spd = FMISSING;
}

// Stores a value by the parameter number of its grid; false for a parameter
// the sounding does not use.
bool store(UPA_level &l, const GRD_report &g, float value) {
    switch (g.var) {
    case 1:
        l.p = value / 100.0f;
        return true;
    case 7:
        l.h = g.units[0] != '\0' ? UNIT_cvt(value, g.units, "m") : value;
        return true;
    case 11:
        l.t = g.units[0] != '\0' ? UNIT_cvt(value, g.units, "K") : value;
        return true;
    case 52:
        l.td = value;
        return true;
    case 33:
        l.dir = value;
        return true;
    case 34:
        l.spd = value;
        return true;
    default:
        return false;
    }
}

// Fills a missing field of the level at pressure p linearly in pressure
// between the levels below and above it when both hold it.
void interp_field(float UPA_level::*field, UPA_level &l, const UPA_level &below, const UPA_level &above) {
    if (known(l.*field) || !known(below.*field) || !known(above.*field)) return;
    if (!known(below.p) || !known(above.p) || below.p == above.p) return;
    l.*field = below.*field + (above.*field - below.*field) * (l.p - below.p) / (above.p - below.p);
}

} // namespace

int GRD_set_params(VAR_data *params, int time, int ltype, int level, int var) {
    if (params == nullptr) return -1;
    params->ltype = ltype;
    params->level = level;
    params->var[0] = var;
    for (int i = 1; i < 5; ++i)
        params->var[i] = MISSING;
    params->time = time;
    return 0;
}

int GRD_set_sound_dp(float dp) {
    if (dp == 25.0f) sound_dp = dp;
    return 0;
}

int GRD_snd_param() {
    int argc = 0;
    char **argv = nullptr;
    RES_getvals("plot_param", &argc, &argv);
    for (int k = 0; k < argc; ++k) {
        const char *item = argv[k];
        if (strnicmp(item, "dpres", 5) == 0 && std::strlen(item) > 6)
            GRD_set_sound_dp(float(std::atof(item + 6)));
    }
    free_parsed_array(argc, argv);
    return 0;
}

int GRD_get_sound(int grd_fd, float lat, float lon, UPA_level *sm, int *num, float *sfcp) {
    if (sm == nullptr || num == nullptr || sfcp == nullptr) return 0;
    MESS_print(M_MESS, "Searching file for grids...\n");
    const float step = sound_dp;
    const int n = step == 25.0f ? 40 : 20;
    for (int k = 0; k < n; ++k)
        clear_level(sm[k], 1000.0f - float(k) * step);
    clear_level(sm[n], FMISSING);
    clear_level(sm[n + 1], FMISSING);

    struct Want {
        int ltype, level, var;
    };
    static constexpr Want wants[NUM_SPECS] = {
        {100, MISSING, 7}, {100, MISSING, 11}, {100, MISSING, 52}, {100, MISSING, 33}, {100, MISSING, 34},
        {1, MISSING, 1},   {105, 2, 11},       {105, 2, 52},       {105, 10, 33},      {105, 10, 34}};
    VAR_data specs[NUM_SPECS];
    const int time = FLAG_get(FLAG_TIME);
    for (int k = 0; k < NUM_SPECS; ++k) {
        VAR_data_init(&specs[k]);
        GRD_set_params(&specs[k], time, wants[k].ltype, wants[k].level, wants[k].var);
    }
    int type = MISSING;
    RES_getval("grid_type", &type, CV_int);

    MapScope keep;
    Scratch hdr, full;
    int count = 0;
    bool dated = false;
    for (int g = 0;; ++g) {
        int gnum = g;
        // A grid that cannot be decoded (1) is passed over; -1 is the end.
        const int r = GRD_read(grd_fd, &hdr.r, 1, &gnum);
        if (r < 0) break;
        if (r != 0) continue;
        bool have = false;
        float value = FMISSING;
        for (int k = 0; k < NUM_SPECS; ++k) {
            if (!GRD_test(&hdr.r, &specs[k], type)) continue;
            if (!have) {
                int rnum = g;
                if (GRD_read(grd_fd, &full.r, 0, &rnum) != 0) break;
                have = true;
                MAP_domain(&full.r.domain);
                float x = FMISSING, y = FMISSING;
                MAP_tran(lat, lon, &x, &y);
                value = GRD_get_value_domain(&full.r, nullptr, &x, &y);
            }
            if (!known(value)) break;
            int entry;
            if (k < 5) {
                const int level = full.r.level;
                if (level < 50 || level > 1000 || std::fmod(float(level), step) != 0.0f) continue;
                entry = int((1000.0f - float(level)) / step);
            } else {
                entry = n + 1;
            }
            if (!store(sm[entry], full.r, value)) continue;
            if (!dated) {
                UPA_set_datim(full.r.datim);
                dated = true;
            }
            ++count;
        }
    }

    if (count < 10) {
        MESS_print(M_WARN_C, "GRD_get_sound: Too few grids to make sounding: %d\n", count);
        *num = 0;
        return 0;
    }

    int levels = n;
    const UPA_level sfc = sm[n + 1];
    if (known(sfc.p)) {
        *sfcp = sfc.p;
        int k = 0;
        while (k < n && sm[k].p >= sfc.p)
            ++k;
        for (int j = n - 1; j >= k; --j)
            sm[j + 1] = sm[j];
        sm[k] = sfc;
        if (k > 0 && k < n) {
            // Between the pressure level below ground and the one above.
            for (float UPA_level::*field : {&UPA_level::t, &UPA_level::td, &UPA_level::dir, &UPA_level::spd})
                interp_field(field, sm[k], sm[k - 1], sm[k + 1]);
        }
        for (int j = 0; j < k; ++j) {
            if (sm[j].p > sfc.p) sm[j].t = sm[j].td = sm[j].dir = sm[j].spd = FMISSING;
        }
        levels = n + 1;
    } else {
        *sfcp = 1000.0f;
    }

    int kept = 0;
    for (int j = 0; j < levels; ++j) {
        const UPA_level &l = sm[j];
        if (!known(l.h) && !known(l.t) && !known(l.dir) && !known(l.spd)) continue;
        sm[kept++] = l;
    }
    levels = kept;

    for (int j = 0; j < levels; ++j) {
        UPA_level &l = sm[j];
        l.td = dew_temp(l.t, l.td);
        vect2wind(l.dir, l.spd, &l.dir, &l.spd);
        if (known(l.t)) l.t -= KELVIN;
        if (known(l.td)) l.td -= KELVIN;
        if (known(l.spd)) l.spd *= KNOTS;
    }
    UPA_calc_height(sm, levels);
    *num = levels;
    return 1;
}
