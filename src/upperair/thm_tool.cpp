// The current sounding and its accessors. File-static state: the two
// soundings with their counts, the surface, tropopause, maximum-wind and
// parcel levels, the parcel choice, the mean wind and storm motion, the
// index record, the station identifier and the sounding's date.
#include "upperair/thm_tool.h"

#include "fields/calc.h"
#include "runtime/files.h"
#include "runtime/string.h"
#include "upperair/ua_read.h"

namespace {

constexpr float KELVIN = 273.15f;

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
WIND storm = {0.0f, 0.0f};
THERM_values values{};
char id[20] = "";
Date file_date{};

} // namespace

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
