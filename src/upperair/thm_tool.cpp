// The current sounding: made from a report or installed from lists, the
// plot parameters of its parcel, the storm motion, and its accessors.
// File-static state: the module's own two lists, the two current soundings
// with their counts, the surface, tropopause, maximum-wind and parcel
// levels, the parcel choice, the mean wind and storm motion, the index
// record, the station identifier and the sounding's date.
#include "upperair/thm_tool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "fields/calc.h"
#include "fields/cty_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
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
