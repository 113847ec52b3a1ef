// The current sounding: made from a report, installed from lists or read
// from a point-data file, the plot parameters of its parcel, the storm
// motion, the calculation of its indices, its printed tables, its point-data
// output, and its accessors.
// File-static state: the module's own two lists, the two current soundings
// with their counts, the surface, tropopause, maximum-wind and parcel
// levels, the parcel choice, the mean wind and storm motion, the index
// record, the station identifier and the sounding's date.
#include "upperair/thm_tool.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "fields/calc.h"
#include "fields/cty_tool.h"
#include "plot/raw_read.h"
#include "plot/vecttool.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "upperair/thm_tool_int.h"
#include "upperair/ua_calc.h"
#include "upperair/ua_merge.h"
#include "upperair/ua_read.h"
#include "upperair/ua_tool.h"

namespace {

constexpr float KELVIN = 273.15f;
constexpr M_type TRACE = M_DEBUG_A;

// The module's lists: 300 levels and the spare entry after them that the
// hydrostatic completion uses as scratch.
constexpr std::size_t LIST_LEVELS = 300;
std::vector<UPA_level> own_sm, own_wm;

// A level of the module at start: all missing but a calm speed.
constexpr UPA_level start_level = {FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, 0.0f};

UPA_level *sm = nullptr; // temperature sounding
int sm_num = 0;
UPA_level *wm = nullptr; // wind sounding
int wm_num = 0;
UPA_level sfc = start_level;
UPA_level trop = start_level;
UPA_level mwnd = start_level;
UPA_level par = start_level;
int par_type = thm_int::PAR_LAYER;
float par_thick = 100.0f;
WIND mean6 = {0.0f, 0.0f};
WIND storm = {0.0f, 0.0f};
THERM_values values{};
char id[20] = "";
Date file_date{};

// Allocates the module's lists on first need; false when they cannot be.
bool own_lists() {
    if (own_sm.size() == LIST_LEVELS + 1 && own_wm.size() == LIST_LEVELS + 1) return true;
    try {
        own_sm.assign(LIST_LEVELS + 1, start_level);
        own_wm.assign(LIST_LEVELS + 1, start_level);
    } catch (const std::bad_alloc &) {
        own_sm.clear();
        own_wm.clear();
        return false;
    }
    return true;
}

// A parcel item of plot_param after "par": WORD[:T[:TD]] (WORD may be empty).
void parcel_item(const char *item) {
    const std::string text = std::strlen(item) > 4 ? std::string(item + 4) : std::string();
    const std::size_t colon = text.find(':');
    const std::string word = text.substr(0, std::min<std::size_t>(colon, 23));
    float numbers[2] = {FMISSING, FMISSING};
    int count = 0;
    for (std::size_t pos = colon; pos != std::string::npos && count < 2; ++count) {
        const std::size_t next = text.find(':', pos + 1);
        double v = 0;
        if (scan_decimal(text.substr(pos + 1, next == std::string::npos ? next : next - pos - 1), &v) == 0)
            break;
        numbers[count] = static_cast<float>(v);
        pos = next;
    }
    par_type = thm_int::PAR_LEVEL;
    par = sfc;
    if (word.empty() || stricmp(word.c_str(), "sfc") == 0) {
        par_type = thm_int::PAR_SFC;
    } else if (stricmp(word.c_str(), "maxt") == 0) {
        par_type = thm_int::PAR_MAXT;
    } else if (stricmp(word.c_str(), "layer") == 0) {
        // Without a depth the layer keeps the one it had.
        par_type = thm_int::PAR_LAYER;
        if (!is_missing(numbers[0])) par_thick = numbers[0];
    } else {
        // A parcel from a pressure: temperature and dew point as given, else
        // missing, so that the ascent takes the sounding's own there.
        double p = 0;
        par.p = scan_decimal(word, &p) != 0 ? static_cast<float>(p) : FMISSING;
        par.t = numbers[0];
        par.td = numbers[1];
    }
}

} // namespace

namespace thm_int {
int par_type() {
    return ::par_type;
}
void set_par_type(int type) {
    ::par_type = type;
}
float par_thick() {
    return ::par_thick;
}
WIND mean6() {
    return ::mean6;
}
} // namespace thm_int

// ---- Making a sounding current --------------------------------------------------------------

int UPA_merge_report(UPA_report *report) {
    if (report == nullptr) return 0;
    if (!own_lists()) {
        MESS_print(M_ERROR, "UPA_merge_report: Unable to allocate the sounding lists\n");
        return 0;
    }
    UPA_report &r = *report;
    if (is_missing(r.elev) && r.id[0] != '\0') {
        CTY_data st;
        CTY_data_init(&st);
        if (CTY_get("upa.cty", r.id, &st) == 1) {
            r.elev = st.el;
            r.lat = st.lat;
            r.lon = st.lon;
            // 99999 is the table's mark of a station without a number.
            if (st.wmo != 99999) r.wmo = st.wmo;
        }
    }
    UPA_print_locate(TRACE, &r);
    r.man[UPA_SLOT_SFC].h = r.elev;

    // The temperature levels go into a scratch list first: a report without
    // any leaves the current sounding as it was.
    int si[UPA_MAN_INDEX], wi[UPA_MAN_INDEX];
    std::vector<UPA_level> merged(UPA_MAX_SM_MERGE);
    const int n = UPA_sm_merge(&r, merged.data(), si);
    if (n <= 0) return 0;
    std::copy(merged.begin(), merged.begin() + n, own_sm.begin());
    UPA_level *s_list = own_sm.data();
    UPA_calc_height(s_list, n);
    if (si[UPA_SLOT_SFC] >= 0) r.man[UPA_SLOT_SFC].h = s_list[si[UPA_SLOT_SFC]].h;
    if (si[UPA_SLOT_TROP] >= 0) r.man[UPA_SLOT_TROP].h = s_list[si[UPA_SLOT_TROP]].h;
    if (si[UPA_SLOT_MAXW] >= 0) {
        const UPA_level &mw = s_list[si[UPA_SLOT_MAXW]];
        r.man[UPA_SLOT_MAXW].h = mw.h;
        r.man[UPA_SLOT_MAXW].t = mw.t;
        r.man[UPA_SLOT_MAXW].td = mw.td;
    }
    UPA_level *w_list = own_wm.data();
    const int nw = UPA_wm_merge(&r, w_list, wi);
    UPA_calc_press(w_list, nw);
    UPA_calc_wind(s_list, n, w_list, nw);
    UPA_print_report(TRACE, &r);
    THERM_set_trop(&r.man[UPA_SLOT_TROP]);
    THERM_set_mwnd(&r.man[UPA_SLOT_MAXW]);
    THERM_set_data(UPA_sfc_pres(s_list, &si[UPA_SLOT_SFC]), s_list, n, w_list, nw);
    return 1;
}

int THERM_set_data(float pr, UPA_level *smi, int smi_num, UPA_level *wmi, int wmi_num) {
    sfc.p = pr;
    sm = smi;
    sm_num = smi != nullptr ? std::max(smi_num, 0) : 0;
    wm = wmi;
    wm_num = wmi != nullptr ? std::max(wmi_num, 0) : 0;
    THERM_param();
    THERM_init_values(&values);
    UPA_interp(sm, sm_num, UPA_COORD_PRES, pr, &sfc);
    MESS_print(M_DEBUG_D, "SFCP: %f\n", static_cast<double>(pr));
    UPA_print_level(M_DEBUG_D, M_DEBUG_D, -1, &sfc);
    THERM_calc_storm();
    return 0;
}

int THERM_param() {
    int n = 0;
    char **items = nullptr;
    RES_getvals("plot_param", &n, &items);
    for (int i = 0; i < n; ++i) {
        if (stricmp(items[i], "page") == 0)
            MESS_set_page(1);
        else if (stricmp(items[i], "nopage") == 0)
            MESS_set_page(0);
        else if (istarts_with(items[i], "par"))
            parcel_item(items[i]);
    }
    free_parsed_array(n, items);
    return 0;
}

int UPA_calc_wind(UPA_level *s_list, int s_num, const UPA_level *w_list, int w_num) {
    if (s_list == nullptr) return 0;
    for (int i = 0; i < s_num; ++i) {
        UPA_level &l = s_list[i];
        if (!is_missing(l.dir)) continue;
        UPA_level w;
        UPA_interp(w_list, w_list != nullptr ? w_num : 0, UPA_COORD_PRES, l.p, &w);
        l.dir = w.dir;
        l.spd = w.spd;
    }
    return 0;
}

int THERM_calc_storm() {
    mean6 = {FMISSING, FMISSING};
    if (!is_missing(sfc.h)) layer_wind_mean(wm, wm_num, UPA_COORD_HGHT, sfc.h, sfc.h + 6000.0f, &mean6);
    if (is_missing(mean6.dir)) {
        storm = {FMISSING, FMISSING};
        return 0;
    }
    float dir = mean6.dir + 30.0f;
    if (dir > 360.0f) dir -= 360.0f;
    storm = {dir, is_missing(mean6.spd) ? FMISSING : 0.75f * mean6.spd};
    return 0;
}

int UPA_sm_interp(int coord, const float *vals, UPA_level *result, int num_result) {
    return UPA_interp_levels(sm, sm_num, coord, vals, result, num_result);
}

int UPA_wm_interp(int coord, const float *vals, UPA_level *result, int num_result) {
    return UPA_interp_levels(wm, wm_num, coord, vals, result, num_result);
}

// ---- Calculations and printed tables --------------------------------------------------------

namespace {

// Message kinds of the tables: basic and extended lines.
constexpr M_type SIG1 = M_OUT1_A, SIG2 = M_OUT1_B;      // sounding table
constexpr M_type IND1 = M_OUT1_C, IND2 = M_OUT1_D;      // indices
constexpr M_type IND_TITLE = M_OUT2;                    // their title
constexpr M_type PAR1 = M_OUT2_A, PAR2 = M_OUT2_B;      // parcel indices
constexpr M_type WND1 = M_OUT2_C, WND2 = M_OUT2_D;      // wind parameters
constexpr M_type WTB1 = M_OUT3_A, WTB2 = M_OUT3_B;      // wind table
constexpr M_type WTB_HOLD = M_OUT3_C, STORM = M_OUT3_C; // its pauses; storm table
constexpr const char *HOLD_TEXT = "Press return to continue\n";
constexpr float M_TO_FT = 3.2808f;
constexpr float MS_TO_KNOT = 1.944f;

bool known(float v) {
    return !is_missing(v);
}
double dbl(float v) {
    return static_cast<double>(v);
}
float kelvin(float c) {
    return known(c) ? c + KELVIN : FMISSING;
}
// A formula's temperature (K) in Celsius; 0 K and below is no temperature.
float celsius(float k) {
    return known(k) && k > 0 ? k - KELVIN : FMISSING;
}
// A formula's temperature (K); 0 K and below is no temperature.
float positive(float k) {
    return known(k) && k > 0 ? k : FMISSING;
}
float fahrenheit(float c) {
    return known(c) ? c * 9.0f / 5.0f + 32.0f : FMISSING;
}
float feet(float m) {
    return known(m) ? m * M_TO_FT : FMISSING;
}
float times1000(float v) {
    return known(v) ? v * 1000.0f : FMISSING;
}

// The temperature sounding at a pressure.
UPA_level sounding_at(float p) {
    UPA_level l;
    UPA_interp(sm, sm_num, UPA_COORD_PRES, p, &l);
    return l;
}

// A line of a pressure, its height in the temperature sounding in metres and
// in feet (-9999 in both without a height).
void print_level_line(M_type kind, const char *text, float p) {
    const float h = sounding_at(p).h;
    MESS_print(kind, "%s%7.2f mb = %8.2f m = %8.2f ft\n", text, dbl(p), dbl(h), dbl(feet(h)));
}
void print_parcel_level(M_type kind, const char *text, float p) {
    const float h = sounding_at(p).h;
    MESS_print(kind, "%s%8.2f mb = %8.2f m = %8.2f ft\n", text, dbl(p), dbl(h), dbl(feet(h)));
}

// Risk categories of a stability index: the text of the first bound the
// value passes (lies above for a falling table, below for a rising one),
// else the last text.
struct Risk {
    float bound;
    const char *text;
};
struct RiskTable {
    bool rising;
    std::vector<Risk> ranges;
    const char *last;
};
const RiskTable lifted_risk = {false,
                               {{2, "None\n"},
                                {0, "Showers probable\n"},
                                {-2, "Thunderstorms probable\n"},
                                {-4, "Severe thunderstorms possible\n"}},
                               "Severe thunderstorms probable\n"};
const RiskTable showalter_risk = {false,
                                  {{3, "None\n"},
                                   {1, "Showers probable\n"},
                                   {-2, "Thunderstorms probable\n"},
                                   {-6, "Severe thunderstorms possible\n"}},
                                  "Severe thunderstorms probable\n"};
const RiskTable totals_risk = {
    true,
    {{44, "None\n"}, {49, "Scattered moderate thunderstorms\n"}, {55, "Scattered heavy thunderstorms\n"}},
    "Severe Thunderstorms probable\n"};
const RiskTable k_risk = {true,
                          {{15, "None\n"},
                           {20, "< 20 % chance of thunderstorms\n"},
                           {25, "20-40 % chance of thunderstorms\n"},
                           {30, "40-60 % chance of thunderstorms\n"},
                           {35, "60-80 % chance of thunderstorms\n"}},
                          "> 80 % chance of thunderstorms\n"};
const RiskTable sweat_risk = {true,
                              {{300, "None\n"}, {400, "Showers and thunderstorms possible\n"}},
                              "Severe Thunderstorms possible\n"};
const RiskTable energy_risk = {
    false, {{0, "None\n"}, {-2, "Scattered severe thunderstorms\n"}}, "Severe Thunderstorms probable\n"};

void print_risk(M_type kind, const RiskTable &table, float v) {
    const char *text = table.last;
    for (const Risk &r : table.ranges) {
        if (table.rising ? v < r.bound : v > r.bound) {
            text = r.text;
            break;
        }
    }
    MESS_print(kind, "%s", text);
}

// Every crossing of 0 Celsius between two levels with a temperature, from
// the bottom up: the pressure linear in temperature, the height linear in
// pressure.
void print_freezing_crossings() {
    int i = 0;
    while (i < sm_num && !known(sm[i].t))
        ++i;
    while (i < sm_num) {
        int j = i + 1;
        while (j < sm_num && !known(sm[j].t))
            ++j;
        if (j >= sm_num) break;
        const UPA_level &a = sm[i], &b = sm[j];
        if ((a.t >= 0) != (b.t >= 0)) {
            const float p = a.p + (0.0f - a.t) * (b.p - a.p) / (b.t - a.t);
            float h = FMISSING;
            if (known(a.h) && known(b.h)) h = b.p == a.p ? a.h : a.h + (p - a.p) * (b.h - a.h) / (b.p - a.p);
            MESS_print(IND2, "Freezing level:         %7.2f mb = %8.2f m = %8.2f ft\n", dbl(p), dbl(h),
                       dbl(feet(h)));
        }
        i = j;
    }
}

void clear_parcel(PARCEL_params &pp) {
    pp = {FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING,
          FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING};
}

// The height sfc.h + depth, -9999 without a surface height.
float above_surface(float depth) {
    return known(sfc.h) ? sfc.h + depth : FMISSING;
}

// One row of the storm table: the layer from the surface up depth metres;
// storm_u and storm_v the storm motion in m/s. wide: the formats of the
// rows below 4000 m.
void storm_row(float depth, float storm_u, float storm_v, bool wide) {
    MESS_print(STORM, "%4.0f  ", dbl(depth));
    const float top = above_surface(depth);
    WIND mean;
    if (layer_wind_mean(wm, wm_num, UPA_COORD_HGHT, sfc.h, top, &mean) == 1) {
        MESS_print(STORM, "%3.0f %3.0f ", dbl(mean.dir), dbl(mean.spd));
        float u, v, dir = FMISSING, spd = FMISSING;
        wind2vect(mean.dir, known(mean.spd) ? mean.spd * UPA_KNOT_TO_MS : FMISSING, &u, &v);
        if (known(u) && known(storm_u)) vect2wind(u - storm_u, v - storm_v, &dir, &spd);
        // Without a storm motion the inflow is left blank.
        if (known(dir))
            MESS_print(STORM, "%3.0f %3.0f| ", dbl(dir), dbl(spd * MS_TO_KNOT));
        else
            MESS_print(STORM, "       | ");
    } else {
        MESS_print(STORM, " NO DATA       | ");
    }
    SHEAR_params sh;
    if (shear_layer(wm, wm_num, UPA_COORD_HGHT, sfc.h, top, nullptr, &sh) == 1 && known(sh.pos_shr))
        MESS_print(STORM, "%4.1f %4.1f %4.1f|", dbl(sh.pos_shr * 1000.0f), dbl(sh.neg_shr * 1000.0f),
                   dbl((sh.pos_shr + sh.neg_shr) * 1000.0f));
    else
        MESS_print(STORM, "              |");
    HELICITY_params hel;
    if (helicity(wm, wm_num, UPA_COORD_HGHT, sfc.h, top, &storm, &hel) == 1) {
        MESS_print(STORM, "%5.1f%6.1f%6.1f ", dbl(hel.pos_hel), dbl(hel.neg_hel), dbl(hel.tot_hel));
        MESS_print(STORM, wide ? "%6.1f %5.2f|" : "%6.1f %5.2f| ", dbl(times1000(hel.ave_hel)),
                   dbl(hel.rel_hel));
        MESS_print(STORM, wide ? "%5.1f%5.1f\n" : "%4.1f %4.1f\n", dbl(times1000(hel.hor_vort)),
                   dbl(times1000(hel.stm_vort)));
    } else {
        MESS_print(STORM, "                              |\n");
    }
}

} // namespace

int THERM_calc() {
    THERM_values &v = values;
    v.thick = thickness(sm, sm_num, UPA_COORD_PRES, 1000, 500);
    v.frz = freezing_level(sm, sm_num);
    v.wb0 = wet_bulb_zero(sm, sm_num);
    v.precip = precip_water(sm, sm_num);
    v.mean_rh = mean_value("rhum", sm, sm_num, UPA_COORD_PRES, sfc.p, 500);
    v.max_t = celsius(max_temperature(sm, sm_num, UPA_COORD_PRES, sfc.p, 150));

    // The surface parcel's condensation level.
    const UPA_level surface = sounding_at(sfc.p);
    v.plcl = lcl_pres(kelvin(surface.t), kelvin(surface.td), surface.p);
    v.tlcl = known(v.plcl) && known(surface.t) ? positive(lcl_temp(surface.t + KELVIN, surface.p, v.plcl))
                                               : FMISSING;

    const float lapse = lapse_rate(sm, sm_num, UPA_COORD_PRES, 700, 500);
    v.lapse57 = known(lapse) ? lapse * 1000.0f : FMISSING;
    thetae_index(sm, sm_num, &v.thetae);
    v.ccl = pr_ccl(sm, sm_num, UPA_COORD_PRES, sfc.p, 100, &v.wbar);
    // A convective temperature of 0 K (no mixing ratio) is none.
    v.ct = v.ccl > 0 ? positive(conv_temp(v.wbar, v.ccl, sfc.p)) : FMISSING;
    v.li = lifted_index(sm, sm_num, UPA_COORD_PRES, sfc.p, 100, 500);
    v.cap = cap_strength(sm, sm_num, UPA_COORD_PRES, sfc.p, 100);
    v.si = lifted_index(sm, sm_num, UPA_COORD_PRES, 850, 0, 500);
    v.tt = total_totals(sm, sm_num);
    v.k = k_index(sm, sm_num);
    v.sweat = sweat_index(sm, sm_num);
    v.ei = energy_index(sm, sm_num);

    // The parcel: its start blev, written back by the ascent where the ascent
    // finds it. A choice that runs no parcel shows no parcel values.
    UPA_level blev;
    UPA_level_init(&blev);
    float thick = par_thick;
    bool lift = true;
    switch (par_type) {
    case thm_int::PAR_SFC:
        thick = 0;
        break;
    case thm_int::PAR_LAYER:
        break;
    case thm_int::PAR_MAXT:
        blev = sfc;
        blev.t = v.max_t;
        break;
    case thm_int::PAR_LEVEL: {
        const UPA_level at = sounding_at(par.p);
        blev = at;
        blev.p = par.p;
        if (known(par.t)) blev.t = par.t;
        if (known(par.td)) blev.td = par.td;
        break;
    }
    default:
        lift = false;
        blev = surface;
        break;
    }
    if (lift)
        parcel_calc(sm, sm_num, &blev, UPA_COORD_PRES, sfc.p, thick, &v.parcel);
    else
        clear_parcel(v.parcel);
    par = blev;

    const float top = above_surface(3000);
    shear_layer(wm, wm_num, UPA_COORD_HGHT, sfc.h, top, nullptr, &v.shear);
    helicity(wm, wm_num, UPA_COORD_HGHT, sfc.h, top, &storm, &v.helicity);
    bulk_richardson(wm, wm_num, UPA_COORD_PRES, sfc.p, v.parcel.Bplus, &v.brn, &v.bshear);
    v.ehi = energy_helicity(wm, wm_num, UPA_COORD_PRES, sfc.p, &storm, v.parcel.Bplus);
    return 0;
}

int THERM_sig_table() {
    const int lines = std::max(MESS_get_max_lines(), 1);
    UPA_print_level(SIG1, SIG2, 0, nullptr);
    for (int i = 0; i < sm_num; ++i) {
        UPA_print_level(SIG1, SIG2, sm[i].p == sfc.p ? -1 : i, &sm[i]);
        if (i % lines == lines - 4) MESS_hold(SIG1, HOLD_TEXT);
    }
    UPA_print_level(SIG1, SIG2, -2, &trop);
    if ((sm_num + 1) % lines == lines - 4) MESS_hold(SIG1, HOLD_TEXT);
    UPA_print_level(SIG1, SIG2, -3, &mwnd);
    MESS_hold(SIG1, HOLD_TEXT);
    return 0;
}

int THERM_indices() {
    const THERM_values &v = values;
    MESS_print(IND_TITLE, "\nSounding variables and indices\n");
    if (known(v.thick)) MESS_print(IND1, "1000-500 mb thick:      %7.2f m\n", dbl(v.thick));
    const float t_sfc = sounding_at(sfc.p).t;
    if (known(t_sfc) && t_sfc < 0) MESS_print(IND2, "Freezing level:      Surface below freezing\n");
    print_freezing_crossings();
    if (v.wb0 == -1)
        MESS_print(IND2, "Wetbulb zero:        Below ground\n");
    else if (known(v.wb0))
        print_level_line(IND2, "Wetbulb zero:           ", v.wb0);
    if (known(v.precip)) MESS_print(IND2, "Precipitable water:     %7.2f inches\n", dbl(v.precip));
    if (known(v.mean_rh)) MESS_print(IND2, "Sfc-500 mean rel hum:   %7.2f %%\n", dbl(v.mean_rh));
    if (known(v.max_t))
        MESS_print(IND2, "Est. max temperature:   %7.2f C = %7.2f F\n", dbl(v.max_t),
                   dbl(fahrenheit(v.max_t)));
    if (known(v.plcl) && v.plcl > 0) {
        const UPA_level l = sounding_at(v.plcl);
        MESS_print(IND2, "Sfc-Lift cond lev (LCL): %6.2f mb = %8.2f m = %8.2f ft T: %7.2f C\n", dbl(v.plcl),
                   dbl(l.h), dbl(feet(l.h)), dbl(l.t));
    }
    if (known(v.lapse57)) MESS_print(IND2, "700-500 lapse rate:      %6.2f C/km\n", dbl(v.lapse57));
    if (known(v.thetae.index))
        MESS_print(IND2, "ThetaE index:            %6.2f C Layer %6.1f-%6.1f mb\n", dbl(v.thetae.index),
                   dbl(v.thetae.base), dbl(v.thetae.top));
    if (known(v.ccl) && v.ccl > 0) {
        print_level_line(IND2, "Conv cond level (CCL):  ", v.ccl);
        MESS_print(IND2, "  Mean mixing ratio:    %7.2f g/kg\n", dbl(v.wbar));
        const float ct = celsius(v.ct);
        MESS_print(IND2, "  Conv temperature:     %7.2f C = %7.2f F\n", dbl(ct), dbl(fahrenheit(ct)));
    } else if (v.ccl == -1) {
        MESS_print(IND2, "Conv cond level (CCL): None\n");
    }
    MESS_hold(IND2, HOLD_TEXT);

    if (known(v.cap)) MESS_print(IND2, "Cap Strength:            %6.2f C\n", dbl(v.cap));
    if (known(v.li)) {
        MESS_print(IND1, "Lifted Index:            %6.2f C Risk: ", dbl(v.li));
        print_risk(IND1, lifted_risk, v.li);
    }
    const float li300 = lifted_index(sm, sm_num, UPA_COORD_PRES, sfc.p, 100, 300);
    if (known(li300)) MESS_print(IND2, "Lifted Index @300 mb:    %6.2f C\n", dbl(li300));
    const float li700 = lifted_index(sm, sm_num, UPA_COORD_PRES, sfc.p, 100, 700);
    if (known(li700)) MESS_print(IND2, "Lifted Index @700 mb:    %6.2f C\n", dbl(li700));
    if (known(v.si)) {
        MESS_print(IND1, "Showalter Index:         %6.2f C Risk: ", dbl(v.si));
        print_risk(IND1, showalter_risk, v.si);
    }
    if (known(v.tt)) {
        MESS_print(IND1, "Total Totals Index:      %6.2f C Risk: ", dbl(v.tt));
        print_risk(IND1, totals_risk, v.tt);
        MESS_print(IND2, "  Vertical Totals Index: %6.2f C\n", dbl(vertical_totals(sm, sm_num)));
        MESS_print(IND2, "  Cross Totals Index:    %6.2f C\n", dbl(cross_totals(sm, sm_num)));
    }
    if (known(v.k)) {
        MESS_print(IND1, "K Index:                 %6.2f   Risk: ", dbl(v.k));
        print_risk(IND1, k_risk, v.k);
    }
    if (known(v.sweat)) {
        MESS_print(IND2, "Sweat Index:             %6.2f   Risk: ", dbl(v.sweat));
        print_risk(IND2, sweat_risk, v.sweat);
    }
    if (known(v.ei)) {
        MESS_print(IND2, "Energy Index:            %6.2f   Risk: ", dbl(v.ei));
        print_risk(IND2, energy_risk, v.ei);
    }
    MESS_hold(IND1, HOLD_TEXT);

    const PARCEL_params &pp = v.parcel;
    MESS_print(PAR1, "\nParcel Indices\n");
    switch (par_type) {
    case thm_int::PAR_SFC:
        MESS_print(PAR1, "Parcel: using surface\n");
        break;
    case thm_int::PAR_LAYER:
        MESS_print(PAR1, "Parcel: using %1.0f mb layer\n", dbl(par_thick));
        break;
    case thm_int::PAR_MAXT:
        MESS_print(PAR1, "Parcel: using max temp\n");
        break;
    case thm_int::PAR_LEVEL:
        MESS_print(PAR1, "Parcel: using P: %1.0f T: %2.1f TD: %2.1f\n", dbl(par.p), dbl(par.t), dbl(par.td));
        break;
    default:
        break;
    }
    if (known(pp.Bplus)) MESS_print(PAR1, "CAPE (B+):             %8.2f J/kg\n", dbl(pp.Bplus));
    if (known(pp.wmax)) MESS_print(PAR2, "Max Up Vert Vel:       %8.2f m/s\n", dbl(pp.wmax));
    if (known(pp.Bminus)) MESS_print(PAR1, "Conv Inhibition (B-):  %8.2f J/kg\n", dbl(pp.Bminus));
    if (known(pp.cap)) MESS_print(PAR1, "Cap Strength:          %8.2f C\n", dbl(pp.cap));
    if (known(pp.plcl)) print_parcel_level(PAR2, "Lift Cond Lev (LCL):   ", pp.plcl);
    if (pp.lfc == -1)
        MESS_print(PAR2, "Lev Free Conv (LFC):     none\n");
    else if (known(pp.lfc))
        print_parcel_level(PAR2, "Lev Free Conv (LFC):   ", pp.lfc);
    if (known(pp.el)) print_parcel_level(PAR2, "Equ Level (EL):        ", pp.el);
    if (known(pp.Bel)) MESS_print(PAR2, "B at Equ Level:        %8.2f J/kg\n", dbl(pp.Bel));
    if (known(pp.mpl)) print_parcel_level(PAR2, "Max Parcel Lev (MPL):  ", pp.mpl);
    MESS_hold(PAR1, HOLD_TEXT);
    return 0;
}

int THERM_wind() {
    const THERM_values &v = values;
    MESS_print(WND1, "\nWind Parameters\n");
    if (known(mean6.dir))
        MESS_print(WND1, "Mean winds (0-6000m):           %6.1f at %6.1f knts\n", dbl(mean6.dir),
                   dbl(mean6.spd));
    if (known(storm.dir))
        MESS_print(WND1, "Storm direction:                %6.1f at %6.1f knts\n", dbl(storm.dir),
                   dbl(storm.spd));
    const SHEAR_params &sh = v.shear;
    if (known(sh.pos_shr))
        MESS_print(WND2, "Shear (0-3000m)              pos: %6.1f neg: %6.1f tot: %6.1f 10-3/s\n",
                   dbl(sh.pos_shr * 1000.0f), dbl(times1000(sh.neg_shr)),
                   dbl(known(sh.neg_shr) ? (sh.pos_shr + sh.neg_shr) * 1000.0f : FMISSING));
    const HELICITY_params &hel = v.helicity;
    if (known(hel.dir_shr))
        MESS_print(WND2, "Storm rel Dir Shear (0-3000m):    %6.1f deg\n", dbl(hel.dir_shr));
    if (known(hel.pos_hel))
        MESS_print(WND1, "Storm rel helicity (0-3000m) pos: %6.1f neg: %6.1f tot: %6.1f m^2/s^2\n",
                   dbl(hel.pos_hel), dbl(hel.neg_hel), dbl(hel.tot_hel));
    if (known(hel.ave_hel))
        MESS_print(WND2, "                             ave: %6.1f 10^-3 m/s^2 rel: %6.2f\n",
                   dbl(hel.ave_hel * 1000.0f), dbl(hel.rel_hel));
    if (known(hel.hor_vort))
        MESS_print(WND2, "Storm rel vorticity (0-3000m) horiz: %6.1f stream: %6.1f 10^-3/s\n",
                   dbl(hel.hor_vort * 1000.0f), dbl(times1000(hel.stm_vort)));
    if (known(v.ehi)) MESS_print(WND1, "Energy-Hel index:       %7.2f\n", dbl(v.ehi));
    if (known(v.brn)) {
        MESS_print(WND2, "Bulk Rich Number:       %7.2f\n", dbl(v.brn));
        MESS_print(WND2, "Bulk Shear:             %7.2f m/s\n", dbl(v.bshear));
    }
    MESS_hold(WND1, HOLD_TEXT);
    return 0;
}

int THERM_wind_table() {
    const int lines = std::max(MESS_get_max_lines(), 1);
    UPA_print_wind(WTB1, WTB2, 0, nullptr, &storm);
    for (int i = 0; i < wm_num; ++i) {
        UPA_print_wind(WTB1, WTB2, i, &wm[i], &storm);
        if (i % lines == lines - 4) MESS_hold(WTB_HOLD, HOLD_TEXT);
    }
    // The last row has just paused when wm_num - 1 ended a page.
    if (wm_num % lines != lines - 3) MESS_hold(WTB_HOLD, HOLD_TEXT);
    return 0;
}

int THERM_storm_table() {
    float su, sv;
    wind2vect(storm.dir, known(storm.spd) ? storm.spd * UPA_KNOT_TO_MS : FMISSING, &su, &sv);
    const std::string rule = std::string(79, '-') + "\n";
    MESS_print(STORM, "\nStorm Parameters\n");
    MESS_print(STORM, "%s", rule.c_str());
    MESS_print(STORM, "Depth  Mean    Inflow|    Shear      |           Helicity           | Vorticity\n");
    MESS_print(STORM, " AGL  Dir Spd Dir Spd|  Pos  Neg  Tot|  Pos   Neg   Tot   Ave   Rel |  Hor Strm\n");
    MESS_print(STORM, "  m       knt     knt|     10^-3/s   |       m^2/s^2     m/s^2      | 10^-3/s\n");
    MESS_print(STORM, "%s", rule.c_str());
    for (int d = 500; d <= 3000; d += 500)
        storm_row(static_cast<float>(d), su, sv, true);
    for (int d = 4000; d <= 6000; d += 1000)
        storm_row(static_cast<float>(d), su, sv, false);
    return 0;
}

// ---- Point-data soundings ---------------------------------------------------------------------

namespace {

// One row of a sounding file: label (5 characters), pressure, height,
// temperature, dew point, direction and speed; dashes for missing values.
void raw_row(FILE *f, const char *label, const UPA_level &l) {
    std::fprintf(f, "%s%4.0f ", label, dbl(l.p));
    if (known(l.h))
        std::fprintf(f, "%5.0f ", dbl(l.h));
    else
        std::fputs("    - ", f);
    if (known(l.t))
        std::fprintf(f, " %5.1f ", dbl(l.t));
    else
        std::fputs("     - ", f);
    if (known(l.td))
        std::fprintf(f, "%5.1f ", dbl(l.td));
    else
        std::fputs("    - ", f);
    if (known(l.dir))
        std::fprintf(f, "%4.0f ", dbl(l.dir));
    else
        std::fputs("   - ", f);
    if (known(l.spd))
        std::fprintf(f, "%3.0f", dbl(l.spd));
    else
        std::fputs("  - ", f);
    std::fputc('\n', f);
}

// The name convention of the sounding file: "upa_snd", then each item of
// out_file in turn ("gif..." passed over, "raw" the default again, "raw=NAME"
// NAME, anything else itself).
void select_output_convention() {
    char snd[] = "upa_snd";
    FILE_set_name(snd);
    int n = 0;
    char **items = nullptr;
    RES_getvals("out_file", &n, &items);
    for (int i = 0; i < n; ++i) {
        char *item = items[i];
        if (istarts_with(item, "gif")) continue;
        if (istarts_with(item, "raw") && std::strlen(item) <= 4) {
            // "raw" alone, or "raw=" without a name.
            char again[] = "upa_snd";
            FILE_set_name(again);
        } else if (istarts_with(item, "raw")) {
            FILE_set_name(item + 4);
        } else {
            FILE_set_name(item);
        }
    }
    free_parsed_array(n, items);
}

// Where the values of a sounding-file row go.
enum class RawRow { none, temp, wind, trop, mwnd };

} // namespace

int THERM_out_raw() {
    select_output_convention();
    char name[FILE_NAME_SIZE] = "";
    FILE_set_date(&file_date, name, sizeof name);
    FILE *f = FILE_open(name, "w");
    if (f == nullptr) {
        MESS_print(M_WARN, "THERM_out_raw: Unable to open output file: %s\n", name);
        return 0;
    }
    char label[50] = "";
    DATE_make_label(&file_date, label, sizeof label);
    std::fprintf(f, "ZEQRAW\n%s\n!%s Sounding\n Lev   P     H     T     Td    Dir Spd $\n", label, id);

    UPA_calc_wind(sm, sm_num, wm, wm_num);
    char row[16];
    for (int i = 0; i < sm_num; ++i) {
        if (sm[i].p == sfc.p)
            copy_text(row, " SFC ");
        else
            std::snprintf(row, sizeof row, "%4d ", i);
        raw_row(f, row, sm[i]);
    }
    for (int i = 0; i < wm_num; ++i) {
        if (i == 0)
            copy_text(row, "WIND ");
        else
            std::snprintf(row, sizeof row, "%4d ", i);
        raw_row(f, row, wm[i]);
    }
    if (known(trop.p)) raw_row(f, "TROP ", trop);
    if (known(mwnd.p)) raw_row(f, "MWND ", mwnd);
    std::fputc('\n', f);
    if (FILE_close_output(f) != 0) {
        MESS_print(M_WARN, "THERM_out_raw: Unable to write output file: %s\n", name);
        return 0;
    }
    MESS_print(M_MESS_B, "Written raw file to: %s\n", name);
    return 1;
}

int THERM_read_raw(const char *filename) {
    char name[FILE_NAME_SIZE] = "";
    copy_text(name, filename != nullptr ? filename : "");
    int type = 0;
    const int slot = RAW_open(name, 0, &type);
    if (slot < 0) {
        MESS_print(M_ERROR, "Unable to open file:%s\n", filename != nullptr ? filename : "");
        ZEQ_exit(10);
    }
    RAW_info info{};
    RAW_getinfo(slot, &info);
    MESS_print(M_OUT1_A, "ID: %s\n", info.info);
    MESS_print(M_OUT1_A, "Date: %s\n", info.datim);
    const std::string_view line(info.info);
    const std::size_t start = std::min(line.find_first_not_of(" \t"), line.size());
    const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
    copy_text(id, line.substr(start, end - start));
    file_date = info.date;
    UPA_set_datim(info.datim);
    for (int i = 0; i < RAW_get_num_field(slot); ++i) {
        const char *field = RAW_get_field_name(slot, i + 7);
        MESS_print(TRACE, "Field %d: %s\n", i, field != nullptr ? field : "");
    }
    if (!own_lists()) {
        MESS_print(M_ERROR, "THERM_read_raw: Unable to allocate the sounding lists\n");
        RAW_close(slot);
        return 0;
    }

    // The file replaces the whole sounding: special levels and the surface
    // pressure it does not give are missing.
    UPA_level_init(&trop);
    UPA_level_init(&mwnd);
    sfc.p = FMISSING;
    UPA_level *s_list = own_sm.data(), *w_list = own_wm.data();
    const int max_levels = static_cast<int>(LIST_LEVELS);
    int s = -1, w = -1;
    RawRow target = RawRow::none;
    bool row_start = true, dropped = false;
    RAW_report r{};
    for (int n = 0;; ++n) {
        const int rc = RAW_read(slot, &r, RAW_EACH_FIELD, &n);
        if (rc < 0) break;
        if (rc == 0) {
            row_start = true;
            continue;
        }
        if (iequals(r.id, "sfc")) sfc.p = r.lat;
        // A row without value columns adds no level.
        if (r.type == MISSING) continue;
        MESS_print(TRACE, "%s %d %f %f\n", r.id, r.type, dbl(r.lat), dbl(r.value[0]));
        if (row_start) {
            row_start = false;
            target = RawRow::none;
            if (iequals(r.id, "mwnd")) {
                UPA_level_init(&mwnd);
                target = RawRow::mwnd;
            } else if (iequals(r.id, "trop")) {
                UPA_level_init(&trop);
                target = RawRow::trop;
            } else if (iequals(r.id, "wind")) {
                w = 0;
                UPA_level_init(&w_list[0]);
                target = RawRow::wind;
            } else if (w == -1 ? s + 1 < max_levels : w + 1 < max_levels) {
                if (w == -1) {
                    UPA_level_init(&s_list[++s]);
                    target = RawRow::temp;
                } else {
                    UPA_level_init(&w_list[++w]);
                    target = RawRow::wind;
                }
            } else if (!dropped) {
                MESS_print(M_WARN, "THERM_read_raw: More than %d levels, the rows after them left out: %s\n",
                           max_levels, name);
                dropped = true;
            }
        }
        UPA_level *l = nullptr;
        switch (target) {
        case RawRow::temp:
            l = &s_list[s];
            break;
        case RawRow::wind:
            l = &w_list[w];
            break;
        case RawRow::trop:
            l = &trop;
            break;
        case RawRow::mwnd:
            l = &mwnd;
            break;
        case RawRow::none:
            break;
        }
        if (l == nullptr) continue;
        l->p = r.lat;
        switch (r.type) {
        case 2:
            l->h = r.value[0];
            break;
        case 3:
            l->t = r.value[0];
            break;
        case 4:
            l->td = r.value[0];
            break;
        case 5:
            l->dir = r.value[0];
            break;
        case 6:
            l->spd = r.value[0];
            break;
        default:
            break;
        }
    }
    RAW_close(slot);

    if (!known(sfc.p) && s >= 0) sfc.p = s_list[0].p;
    // Without a "WIND" row the temperature levels are the wind sounding too.
    if (w >= 0)
        THERM_set_data(sfc.p, s_list, s + 1, w_list, w + 1);
    else
        THERM_set_data(sfc.p, s_list, s + 1, s_list, s + 1);
    return 0;
}

// ---- State and accessors --------------------------------------------------------------------

int THERM_init_values(THERM_values *v) {
    if (v == nullptr) return 0;
    // Every field, so that no table shows an earlier sounding's numbers.
    UPA_level_init(&v->par_lev);
    for (float *f :
         {&v->lat,    &v->lon,     &v->elev,  &v->plcl, &v->tlcl, &v->frz,    &v->wb0, &v->lapse57, &v->max_t,
          &v->precip, &v->mean_rh, &v->thick, &v->ccl,  &v->wbar, &v->ct,     &v->li,  &v->cap,     &v->si,
          &v->tt,     &v->k,       &v->sweat, &v->ei,   &v->brn,  &v->bshear, &v->ehi})
        *f = FMISSING;
    v->wmo = MISSING;
    v->thetae = {FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING};
    v->parcel = {FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING,
                 FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING};
    v->helicity = {FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING, FMISSING};
    v->shear = {FMISSING, FMISSING};
    return 0;
}

int THERM_set_id(const char *str, int val) {
    copy_text(id, str);
    values.wmo = val;
    FILE_set_key('i', id);
    return 0;
}

int THERM_set_date(const Date *date) {
    if (date != nullptr)
        file_date = *date;
    else
        FILE_get_date(&file_date);
    return 0;
}

const char *THERM_get_id() {
    return id;
}

int THERM_get_wmo() {
    return values.wmo;
}

int THERM_set_storm(const WIND *wind) {
    if (wind != nullptr) storm = *wind;
    return 0;
}

WIND THERM_get_storm() {
    return storm;
}

int THERM_set_trop(const UPA_level *lev) {
    if (lev != nullptr) trop = *lev;
    return 0;
}

int THERM_set_mwnd(const UPA_level *lev) {
    if (lev != nullptr) mwnd = *lev;
    return 0;
}

UPA_level *THERM_get_SM() {
    return sm;
}
int THERM_get_SM_num() {
    return sm_num;
}
UPA_level *THERM_get_WM() {
    return wm;
}
int THERM_get_WM_num() {
    return wm_num;
}

UPA_level *THERM_get_sfc() {
    return &sfc;
}
UPA_level *THERM_get_trop() {
    return &trop;
}
UPA_level *THERM_get_mwnd() {
    return &mwnd;
}
UPA_level *THERM_get_parcel() {
    return &par;
}
THERM_values *THERM_get_values() {
    return &values;
}

float THERM_get_sfc_level(int ltype) {
    switch (ltype) {
    case 103:
    case 104:
        return sfc.h;
    case 113:
    case 114:
        return is_missing(sfc.t) ? FMISSING : pot_temp(sfc.t + KELVIN, sfc.p);
    default:
        return sfc.p;
    }
}
