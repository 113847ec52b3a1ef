// Surface report operations: emptying a report, gross range checks, the
// comparison and merge of two reports of one station by content categories,
// the synoptic weather, visibility and cloud-base codes and the summary of a
// report's cloud layers. No file-static state.
#include "surface/sfc_tool.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "runtime/mess.h"
#include "surface/wx_tool.h"

namespace {

// Messages of the comparison and the merge: level d of the out4 kind.
constexpr M_type SFC_MESS = 0x8000000; // out4 sub-level d

bool given(float v) {
    return v != FMISSING;
}
bool given(int v) {
    return v != MISSING;
}
bool given(char c) {
    return c != ' ' && c != '\0';
}

// A float field of one category with its comparison and merge messages.
struct FloatField {
    int category;
    float SFC_report::*field;
    const char *differ;
    const char *updated;
};

// The plain float fields in the order of the categories (precipitation,
// clouds and the integer fields are handled by their categories).
constexpr FloatField float_fields[] = {
    {3, &SFC_report::t, "Different temperatures\n", "Updated temp\n"},
    {3, &SFC_report::td, "Different dewpoints\n", "Updated dewpoint\n"},
    {4, &SFC_report::pmb, "Different SLP pressures\n", "Updated SL pressure\n"},
    {4, &SFC_report::alt, "Different altimeter settings\n", "Updated altimeter setting\n"},
    {5, &SFC_report::w_dir, "Different wind direction\n", "Updated wind direction\n"},
    {5, &SFC_report::w_spd, "Different wind speed\n", "Updated wind speed\n"},
    {5, &SFC_report::w_gust, "Different wind gusts\n", "Updated wind gust\n"},
    {8, &SFC_report::vis, "Different visibility\n", "Updated visibility\n"},
    {9, &SFC_report::ptend, "Different pressure tendencies\n", "Updated pressure tendency\n"},
    {11, &SFC_report::max_t, "Different max temp\n", "Updated max temp\n"},
    {11, &SFC_report::min_t, "Different min temp\n", "Updated min temp\n"},
    {11, &SFC_report::max6_t, "Different 6 hr max temp\n", "Updated 6 hr max temp\n"},
    {11, &SFC_report::min6_t, "Different 6 hr min temp\n", "Updated 6 hr min temp\n"},
    {12, &SFC_report::scover, "Different snow cover\n", "Updated snow cover\n"},
    {13, &SFC_report::solar, "Different solar duration\n", "Updated solar duration\n"},
    {14, &SFC_report::sst, "Different sea surface temperatures\n", "Updated sea surface temperatures\n"},
    {14, &SFC_report::wav_per, "Different wave period\n", "Updated wave period\n"},
    {14, &SFC_report::wav_hgt, "Different wave height\n", "Updated wave height\n"},
};

// The precipitation amounts of category 10.
struct RainField {
    float SFC_report::*field;
    const char *differ;
    const char *updated;
    const char *deleted;
};

constexpr RainField rain_fields[] = {
    {&SFC_report::rain3, "Different 3 hr precip\n", "Updated 3 hr precip\n", "Deleted 3 hr precip\n"},
    {&SFC_report::rain6, "Different 6 hr precip\n", "Updated 6 hr precip\n", "Deleted 6 hr precip\n"},
    {&SFC_report::rain12, "Different 12 hr precip\n", "Updated 12 hr precip\n", "Deleted 12 hr precip\n"},
    {&SFC_report::rain24, "Different 24 hr precip\n", "Updated 24 hr precip\n", "Deleted 24 hr precip\n"},
};

// Valid ranges of the gross check, in the order the check runs after the
// time, temperature and dew point.
struct Range {
    float SFC_report::*field;
    float lo;
    float hi;
};

constexpr Range ranges[] = {
    {&SFC_report::pmb, 900, 1150}, {&SFC_report::alt, 26, 33},    {&SFC_report::w_dir, 0, 360},
    {&SFC_report::w_spd, 0, 100},  {&SFC_report::w_gust, 0, 150},
};

constexpr Range late_ranges[] = {
    {&SFC_report::ptend, -10, 10},    {&SFC_report::rain3, 0, 10},      {&SFC_report::rain6, 0, 15},
    {&SFC_report::rain12, 0, 20},     {&SFC_report::rain24, 0, 20},     {&SFC_report::max_t, -100, 150},
    {&SFC_report::min_t, -100, 150},  {&SFC_report::max6_t, -100, 150}, {&SFC_report::min6_t, -100, 150},
    {&SFC_report::scover, -100, 150}, {&SFC_report::solar, -100, 150},  {&SFC_report::sst, -100, 150},
    {&SFC_report::wav_per, 0, 10},    {&SFC_report::wav_hgt, 0, 20},
};

void check_range(float &v, float lo, float hi) {
    if (v < lo || v > hi) v = FMISSING;
}

void check_range(int &v, int lo, int hi) {
    if (v < lo || v > hi) v = MISSING;
}

// Two floats differ when both are given and unequal.
bool differ(float a, float b) {
    return given(a) && given(b) && a != b;
}
bool differ(int a, int b) {
    return given(a) && given(b) && a != b;
}
bool differ(char a, char b) {
    return given(a) && given(b) && a != b;
}

// Compares the float fields of one category; sets *result to the category at
// the first difference.
void compare_floats(const SFC_report *rep1, const SFC_report *rep2, int category, int *result) {
    for (const FloatField &f : float_fields) {
        if (f.category != category || !differ(rep1->*f.field, rep2->*f.field)) continue;
        MESS_print(SFC_MESS, "%s", f.differ);
        if (*result == 0) *result = category;
    }
}

// Copies the float fields of one category that rep2 has.
void update_floats(SFC_report *rep1, const SFC_report *rep2, int category, bool temp_allowed) {
    for (const FloatField &f : float_fields) {
        if (f.category != category || !given(rep2->*f.field)) continue;
        if (category == 3 && !temp_allowed) continue;
        rep1->*f.field = rep2->*f.field;
        MESS_print(SFC_MESS, "%s", f.updated);
    }
}

// Whether rep2 carries the supplementary section (any tendency, precipitation,
// extreme, snow, sunshine, sea or cloud type value).
bool has_supplement(const SFC_report *r) {
    if (given(r->ptend_t)) return true;
    for (float v : {r->ptend, r->rain3, r->rain6, r->rain12, r->rain24, r->max_t, r->min_t, r->max6_t,
                    r->min6_t, r->scover, r->solar, r->sst, r->wav_per, r->wav_hgt})
        if (given(v)) return true;
    return std::any_of(std::begin(r->cld_type), std::end(r->cld_type), [](char c) { return given(c); });
}

} // namespace

int SFC_initialize(SFC_report *report) {
    SFC_report &r = *report;
    r.id[0] = '\0';
    r.area[0] = '\0';
    r.type = 0;
    r.wmo = r.prior = r.time = r.ptend_t = r.rain_per = MISSING;
    for (float *f :
         {&r.lat,    &r.lon,   &r.elev,   &r.vis,    &r.pmb,    &r.t,     &r.td,     &r.w_dir,   &r.w_spd,
          &r.w_gust, &r.alt,   &r.ptend,  &r.rain1,  &r.rain3,  &r.rain6, &r.rain12, &r.rain24,  &r.rain,
          &r.max_t,  &r.min_t, &r.max6_t, &r.min6_t, &r.scover, &r.solar, &r.sst,    &r.wav_per, &r.wav_hgt})
        *f = FMISSING;
    std::fill(std::begin(r.cld_height), std::end(r.cld_height), FMISSING);
    std::fill(std::begin(r.cld_cover), std::end(r.cld_cover), ' ');
    std::fill(std::begin(r.cld_type), std::end(r.cld_type), ' ');
    r.cld_low = ' ';
    r.num_cld = 0;
    std::memcpy(r.weather, " ", 2);
    r.comment[0] = '\0';
    r.flag = 0;
    return 0;
}

int SFC_check_valid(SFC_report *report) {
    SFC_report &r = *report;
    check_range(r.time, 0, 2400);
    check_range(r.t, -100, 150);
    check_range(r.td, -100, 150);
    if (r.td > r.t) r.td = r.t;
    for (const Range &g : ranges)
        check_range(r.*g.field, g.lo, g.hi);
    for (float &h : r.cld_height)
        check_range(h, 0, 35000);
    check_range(r.vis, 0, 150);
    check_range(r.ptend_t, 0, 9);
    for (const Range &g : late_ranges)
        check_range(r.*g.field, g.lo, g.hi);
    return 0;
}

int SFC_compare(const SFC_report *rep1, const SFC_report *rep2) {
    int result = 0;
    auto note = [&result](int category, const char *mess) {
        MESS_print(SFC_MESS, "%s", mess);
        if (result == 0) result = category;
    };

    if (rep1->type != 0 && rep2->type != 0 && rep1->type != rep2->type) {
        MESS_print(SFC_MESS, "Different types: %d %d\n", rep1->type, rep2->type);
        result = 1;
    }
    if (differ(rep1->time, rep2->time)) note(2, "Different times\n");
    compare_floats(rep1, rep2, 3, &result);
    compare_floats(rep1, rep2, 4, &result);
    compare_floats(rep1, rep2, 5, &result);
    if (given(rep1->weather[0]) && given(rep2->weather[0]) && std::strcmp(rep1->weather, rep2->weather) != 0)
        note(6, "Different weather\n");
    for (int i = 0; i < 5; ++i) {
        if (differ(rep1->cld_height[i], rep2->cld_height[i])) note(7, "Different cloud heights\n");
        if (differ(rep1->cld_cover[i], rep2->cld_cover[i])) note(7, "Different cloud covers\n");
    }
    compare_floats(rep1, rep2, 8, &result);
    if (differ(rep1->ptend_t, rep2->ptend_t)) note(9, "Different pressure tendency type\n");
    compare_floats(rep1, rep2, 9, &result);
    // Precipitation compares by value alone: a missing amount against a given one differs.
    for (const RainField &f : rain_fields)
        if (rep1->*f.field != rep2->*f.field) note(10, f.differ);
    for (int category = 11; category <= 14; ++category)
        compare_floats(rep1, rep2, category, &result);
    for (int i = 0; i < 3; ++i)
        if (differ(rep1->cld_type[i], rep2->cld_type[i])) note(15, "Different cloud types\n");
    if (rep1->comment[0] != '\0' && rep2->comment[0] != '\0' &&
        std::strcmp(rep1->comment, rep2->comment) != 0)
        note(16, "Different comments\n");
    return result;
}

int SFC_update(SFC_report *rep1, const SFC_report *rep2, int lev) {
    if (lev >= 1 && rep2->type != 0) {
        rep1->type = rep2->type;
        MESS_print(SFC_MESS, "Updated type\n");
    }
    if (lev >= 2 && given(rep2->time)) {
        rep1->time = rep2->time;
        MESS_print(SFC_MESS, "Updated time\n");
    }
    // A report marked as holding the better temperatures keeps them against
    // one that is not.
    const bool temp_allowed = !((rep1->flag & 1) && !(rep2->flag & 1));
    for (int category = 3; category <= 5; ++category)
        if (lev >= category) update_floats(rep1, rep2, category, temp_allowed);
    if (lev >= 6 && given(rep2->weather[0])) {
        std::memcpy(rep1->weather, rep2->weather, sizeof rep1->weather);
        rep1->weather[sizeof rep1->weather - 1] = '\0';
        MESS_print(SFC_MESS, "Updated weather\n");
    }
    if (lev >= 7) {
        // The merged report keeps rep1's upper layers: its count is the larger
        // of rep1's and one more than the highest layer rep2 supplied.
        int top = 0;
        for (int i = 0; i < 5; ++i) {
            if (given(rep2->cld_height[i])) {
                rep1->cld_height[i] = rep2->cld_height[i];
                MESS_print(SFC_MESS, "Updated cloud height: %d\n", i);
                top = i + 1;
            }
            if (given(rep2->cld_cover[i])) {
                rep1->cld_cover[i] = rep2->cld_cover[i];
                MESS_print(SFC_MESS, "Updated cloud cover: %d\n", i);
                top = i + 1;
            }
        }
        rep1->num_cld = std::max(rep1->num_cld, top);
    }
    if (lev >= 8) update_floats(rep1, rep2, 8, true);

    const bool supplement = has_supplement(rep2);
    if (lev >= 9 && given(rep2->ptend_t)) {
        rep1->ptend_t = rep2->ptend_t;
        MESS_print(SFC_MESS, "Updated pressure tendency type\n");
    }
    if (lev >= 9) update_floats(rep1, rep2, 9, true);
    if (lev >= 10) {
        for (const RainField &f : rain_fields) {
            if (given(rep2->*f.field)) {
                rep1->*f.field = rep2->*f.field;
                MESS_print(SFC_MESS, "%s", f.updated);
            } else if (supplement && given(rep1->*f.field)) {
                // A supplementary section without this amount reports none.
                rep1->*f.field = FMISSING;
                MESS_print(SFC_MESS, "%s", f.deleted);
            }
        }
    }
    for (int category = 11; category <= 14; ++category)
        if (lev >= category) update_floats(rep1, rep2, category, true);
    if (lev >= 15) {
        for (int i = 0; i < 3; ++i) {
            if (!given(rep2->cld_type[i])) continue;
            rep1->cld_type[i] = rep2->cld_type[i];
            MESS_print(SFC_MESS, "Updated cloud type: %d\n", i);
        }
    }
    if (lev >= 16 && rep2->comment[0] != '\0') {
        std::memcpy(rep1->comment, rep2->comment, sizeof rep1->comment);
        rep1->comment[sizeof rep1->comment - 1] = '\0';
        MESS_print(SFC_MESS, "Updated comments\n");
    }
    return 0;
}

// ---- Synoptic codes and the cloud summary ------------------------------------

int SYN_weather(int wx, char *wx_str) {
    return WX_wmo_weather(wx, wx_str);
}

int SYN_auto_weather(int wx, char *wx_str) {
    return WX_wmo_auto_weather(wx_str, wx);
}

float SYN_visibility(int vis) {
    // The codes 90-99 step from fog to exceptional visibility, in miles.
    constexpr float coarse[] = {0.0f, 0.03125f, 0.125f, 0.3125f, 0.625f, 1.25f, 2.5f, 6.25f, 12.5f, 31.25f};
    if (vis >= 90 && vis <= 99) return coarse[vis - 90];
    return WX_vis_miles(vis);
}

float SYN_ceiling(int cb) {
    return WX_wmo_cld_base(cb);
}

int SYN_ceiling_to_code(int cb) {
    // Upper bounds (feet) of the classes 0 to 8; above the last is class 9.
    constexpr int upper[] = {163, 327, 655, 983, 1967, 3280, 4920, 6561, 8201};
    int code = 0;
    while (code < 9 && cb > upper[code])
        ++code;
    return code;
}

int WX_set_cloud(const SFC_report *report, char *cover, float *hght) {
    char cov = ' ';
    float h = FMISSING;
    const int num = std::clamp(report->num_cld, 0, 5);
    if (num == 1) {
        cov = report->cld_cover[0];
        h = report->cld_height[0];
    }
    if (num <= 1) {
        *cover = cov;
        *hght = h;
        return -1;
    }
    auto one_of = [](char c, std::string_view set) { return set.find(c) != std::string_view::npos; };
    for (int i = 0; i < num; ++i) {
        const char c = report->cld_cover[i];
        const float layer = report->cld_height[i];
        if (c == 'F' || c == '1') {
            if (one_of(cov, "C ")) h = layer;
            cov = 'F';
        }
        if (one_of(c, "S23")) {
            if (one_of(cov, "CF ")) h = layer;
            cov = 'S';
        } else if (one_of(c, "B456")) {
            if (one_of(cov, "CFS ")) h = layer;
            cov = 'B';
        } else if (one_of(c, "O78")) {
            if (one_of(cov, "CFS ")) h = layer;
            cov = 'O';
        } else if (one_of(c, "X9")) {
            h = layer;
            cov = 'X';
        } else if (cov == ' ') {
            // A layer of no cover (clear, thin or none) before any cloud.
            h = FMISSING;
            cov = 'C';
        }
    }
    *cover = cov;
    *hght = h;
    return 0;
}
