// Surface report operations: emptying a report, gross range checks, the
// comparison and merge of two reports of one station by content categories,
// the synoptic weather, visibility and cloud-base codes, the summary of a
// report's cloud layers, and the report listings. File-static state: the
// listing settings (print kind, dashes for missing values, metric snow cover).
#include "surface/sfc_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fields/var_tool.h"
#include "plot/zeqraw.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/unittool.h"
#include "surface/sfc_plt.h"
#include "surface/wx_tool.h"

namespace {

// Messages of the comparison and the merge: level d of the out4 kind.

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
        MESS_print(M_OUT4_D, "%s", f.differ);
        if (*result == 0) *result = category;
    }
}

// Copies the float fields of one category that rep2 has.
void update_floats(SFC_report *rep1, const SFC_report *rep2, int category, bool temp_allowed) {
    for (const FloatField &f : float_fields) {
        if (f.category != category || !given(rep2->*f.field)) continue;
        if (category == 3 && !temp_allowed) continue;
        rep1->*f.field = rep2->*f.field;
        MESS_print(M_OUT4_D, "%s", f.updated);
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
        MESS_print(M_OUT4_D, "%s", mess);
        if (result == 0) result = category;
    };

    if (rep1->type != 0 && rep2->type != 0 && rep1->type != rep2->type) {
        MESS_print(M_OUT4_D, "Different types: %d %d\n", rep1->type, rep2->type);
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
        MESS_print(M_OUT4_D, "Updated type\n");
    }
    if (lev >= 2 && given(rep2->time)) {
        rep1->time = rep2->time;
        MESS_print(M_OUT4_D, "Updated time\n");
    }
    // A report marked as holding the better temperatures keeps them against
    // one that is not.
    const bool temp_allowed = !((rep1->flag & 1) && !(rep2->flag & 1));
    for (int category = 3; category <= 5; ++category)
        if (lev >= category) update_floats(rep1, rep2, category, temp_allowed);
    if (lev >= 6 && given(rep2->weather[0])) {
        copy_text(rep1->weather,
                  std::string_view(rep2->weather, strnlen(rep2->weather, sizeof rep2->weather)));
        MESS_print(M_OUT4_D, "Updated weather\n");
    }
    if (lev >= 7) {
        // The merged report keeps rep1's upper layers: its count is the larger
        // of rep1's and one more than the highest layer rep2 supplied.
        int top = 0;
        for (int i = 0; i < 5; ++i) {
            if (given(rep2->cld_height[i])) {
                rep1->cld_height[i] = rep2->cld_height[i];
                MESS_print(M_OUT4_D, "Updated cloud height: %d\n", i);
                top = i + 1;
            }
            if (given(rep2->cld_cover[i])) {
                rep1->cld_cover[i] = rep2->cld_cover[i];
                MESS_print(M_OUT4_D, "Updated cloud cover: %d\n", i);
                top = i + 1;
            }
        }
        rep1->num_cld = std::max(rep1->num_cld, top);
    }
    if (lev >= 8) update_floats(rep1, rep2, 8, true);

    const bool supplement = has_supplement(rep2);
    if (lev >= 9 && given(rep2->ptend_t)) {
        rep1->ptend_t = rep2->ptend_t;
        MESS_print(M_OUT4_D, "Updated pressure tendency type\n");
    }
    if (lev >= 9) update_floats(rep1, rep2, 9, true);
    if (lev >= 10) {
        for (const RainField &f : rain_fields) {
            if (given(rep2->*f.field)) {
                rep1->*f.field = rep2->*f.field;
                MESS_print(M_OUT4_D, "%s", f.updated);
            } else if (supplement && given(rep1->*f.field)) {
                // A supplementary section without this amount reports none.
                rep1->*f.field = FMISSING;
                MESS_print(M_OUT4_D, "%s", f.deleted);
            }
        }
    }
    for (int category = 11; category <= 14; ++category)
        if (lev >= category) update_floats(rep1, rep2, category, true);
    if (lev >= 15) {
        for (int i = 0; i < 3; ++i) {
            if (!given(rep2->cld_type[i])) continue;
            rep1->cld_type[i] = rep2->cld_type[i];
            MESS_print(M_OUT4_D, "Updated cloud type: %d\n", i);
        }
    }
    if (lev >= 16 && rep2->comment[0] != '\0') {
        copy_text(rep1->comment,
                  std::string_view(rep2->comment, strnlen(rep2->comment, sizeof rep2->comment)));
        MESS_print(M_OUT4_D, "Updated comments\n");
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

// ---- Report listings ---------------------------------------------------------------

namespace {

int print_type = 2; // print kind of SFC_print_line
int miss_dash = 0;  // 1: missing values print a dash
int metric = 0;     // 1: the long form gives the snow cover in centimetres

// Appends printf-formatted text to a line.
[[gnu::format(printf, 2, 3)]] void put(std::string &line, const char *format, ...) {
    std::va_list ap;
    va_start(ap, format);
    std::va_list again;
    va_copy(again, ap);
    char buf[256];
    const int n = std::vsnprintf(buf, sizeof buf, format, ap);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof buf) {
        line.append(buf, static_cast<std::size_t>(n));
    } else if (n > 0) {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        line.append(big.data(), static_cast<std::size_t>(n));
    }
    va_end(again);
    va_end(ap);
}

// The text of a missing value: blanks, or with dashes on the dash text.
const char *miss(const char *off, const char *on) {
    return miss_dash ? on : off;
}

// A float printed by format when present, else its missing text.
void value(std::string &line, const char *format, float v, bool present, const char *off, const char *on) {
    if (present)
        put(line, format, static_cast<double>(v));
    else
        line += miss(off, on);
}

// A text field of the report up to its terminator or the end of its array.
template <std::size_t N> std::string text_of(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The last n decimal digits of the integer part of x (the sign kept), without
// overflow for any float; 0 for a value that is no number.
int last_digits(double x, double n) {
    const double d = std::fmod(std::trunc(x), n);
    return std::isfinite(d) ? static_cast<int>(d) : 0;
}

// A surface variable of the report in its native units (and its text), as the
// surface plots compute it; the entry's time code chooses among periods.
float surface_value(const SFC_report &r, const char *name, int time = MISSING, std::string *text = nullptr) {
    VAR_data var;
    VAR_data_init(&var);
    std::snprintf(var.name, sizeof var.name, "%s", name);
    var.time = time;
    RAW_data item{};
    item.x = item.y = FMISSING;
    // The report is only read.
    SFC_get_data(const_cast<SFC_report *>(&r), &var, &item);
    if (text != nullptr) *text = item.data;
    return item.value[0];
}

float fahrenheit_of_k(float k) {
    return static_cast<float>(32.0 + 9.0 * (k - 273.15) / 5.0);
}

// The weather letter code of a field.
std::string letter_code(const SFC_report &r) {
    char code[15];
    WX_field_code(text_of(r.weather).c_str(), code, sizeof code);
    return code;
}

std::string weather_words(const SFC_report &r) {
    char words[WX_TEXT_SIZE];
    WX_weather_text(text_of(r.weather).c_str(), words, sizeof words);
    return words;
}

// Number of cloud layers that the arrays can hold.
int layers(const SFC_report &r) {
    return std::clamp(r.num_cld, 0, 5);
}

void print(M_type level, const std::string &line) {
    MESS_print(level, "%s", line.c_str());
}

// ---- Print kind 2: one line per report

void kind2_line(M_type level, const SFC_report &r) {
    std::string s;
    if (r.id[0] == '\0' && miss_dash)
        s += "  -    ";
    else
        put(s, "%-6.6s ", text_of(r.id).c_str());
    if (given(r.time))
        put(s, "%4.4d ", r.time);
    else
        s += miss("     ", "   - ");
    value(s, "%3.0f ", r.t, given(r.t), "    ", "  - ");
    value(s, "%3.0f ", r.td, given(r.td), "    ", "  - ");
    const float rh = surface_value(r, "rhum");
    value(s, "%3.0f ", rh, given(r.t) && given(r.td) && given(rh), "    ", "  - ");
    for (float w : {r.w_dir, r.w_spd, r.w_gust})
        value(s, "%3.0f ", w, given(w), "    ", "  - ");
    // Only the last three digits of the altimeter and the pressure.
    if (given(r.alt))
        put(s, "%03d ", last_digits(100.0 * (r.alt + 0.002), 1000));
    else
        s += miss("    ", "  - ");
    if (given(r.pmb))
        put(s, "%03d ", last_digits(10.0 * (r.pmb + 0.02), 1000));
    else
        s += miss("    ", "  - ");
    value(s, r.vis >= 3 ? "%3.0f " : "%3.1f ", r.vis, given(r.vis), "    ", "  - ");
    char cover;
    float height;
    WX_set_cloud(&r, &cover, &height);
    value(s, "%3.0f ", height / 100, given(height), "    ", "  - ");
    switch (cover) {
    case 'C':
        s += " CLR ";
        break;
    case 'F':
        s += " FEW ";
        break;
    case 'S':
        s += " SCT ";
        break;
    case 'B':
        s += " BKN ";
        break;
    case 'O':
        s += " OVC ";
        break;
    case 'X':
    case '9':
        s += "  X  ";
        break;
    case 's':
        s += "-SCT ";
        break;
    case 'b':
        s += "-BKN ";
        break;
    case 'o':
        s += "-OVC ";
        break;
    case 'x':
        s += " -X  ";
        break;
    default:
        // Oktas take the five characters of the other covers.
        if (cover >= '0' && cover <= '8')
            put(s, " %c/8 ", cover);
        else
            s += miss("     ", "   - ");
        break;
    }
    const std::string code = letter_code(r);
    if (r.weather[0] == ' ' || (miss_dash && (code.empty() || code[0] == ' ')))
        s += miss("    ", "-   ");
    else
        put(s, "%-3.3s ", code.c_str());
    const float max = given(r.max_t) ? r.max_t : r.max6_t;
    const float min = given(r.min_t) ? r.min_t : r.min6_t;
    value(s, "%3.0f ", max, given(max), "    ", "  - ");
    value(s, "%3.0f ", min, given(min), "    ", "  - ");
    value(s, "%4.2f ", r.rain6, given(r.rain6), "     ", "   - ");
    value(s, "%4.2f ", r.rain24, given(r.rain24), "     ", "   - ");
    value(s, "%2.0f", r.scover, given(r.scover), "  ", " -");
    s += '\n';
    print(level, s);
}

// ---- Print kind 5: a short line with the weather in words

// The word of a summary cover in the short and the long listings: the letter
// or its okta digit.
struct CoverWord {
    std::string_view covers;
    const char *abbr;
    const char *word;
};
constexpr CoverWord cover_words[] = {
    {"0C", " CLR ", "clear"},
    {"1F", " FEW ", "few"},
    {"23S", " SCT ", "scattered"},
    {"456B", " BKN ", "broken"},
    {"78O", " OVC ", "overcast"},
    {"9X", "  X  ", "obscured"},
    {"f", "-FEW ", nullptr},
    {"s", "-SCT ", "thin scattered"},
    {"b", "-BKN ", "thin broken"},
    {"o", "-OVC ", "thin overcast"},
    {"x", " -X  ", "partially obscured"},
};

const CoverWord *cover_word(char cover) {
    for (const CoverWord &w : cover_words)
        if (cover != '\0' && w.covers.find(cover) != std::string_view::npos) return &w;
    return nullptr;
}

void kind5_line(M_type level, const SFC_report &r) {
    std::string s;
    put(s, "%5s ", text_of(r.id).c_str());
    for (float t : {r.t, r.td}) {
        if (given(t))
            put(s, " %3.0f ", static_cast<double>(t));
        else
            s += " --- ";
    }
    if (!given(r.w_dir))
        s += " ---    -- ";
    else if (given(r.w_spd))
        put(s, " %3.0f at %2.0f ", static_cast<double>(r.w_dir), static_cast<double>(r.w_spd));
    else
        put(s, " %3.0f at -- ", static_cast<double>(r.w_dir));
    if (given(r.pmb))
        put(s, " %6.1f ", static_cast<double>(r.pmb));
    else
        s += " ------ ";
    char cover;
    float height;
    WX_set_cloud(&r, &cover, &height);
    if (given(height))
        put(s, " %3.0f ", height / 100.0);
    else
        s += " --- ";
    // A cover that is no cover letter keeps the column as a blank one does.
    if (const CoverWord *w = cover_word(cover))
        s += w->abbr;
    else
        s += miss("     ", "   - ");
    if (r.rain6 >= 0)
        put(s, " %4.2f ", static_cast<double>(r.rain6));
    else
        s += " ---- ";
    if (r.weather[0] != ' ')
        s += weather_words(r);
    else
        s += miss("", " - ");
    s += '\n';
    print(level, s);
}

// ---- Print kind 1: two lines with the clouds by layer

// A code character as printed: a NUL would end the line early.
char shown(char c) {
    return c == '\0' ? ' ' : c;
}

// One cloud layer of the second line of kind 1 (8 characters).
void kind1_layer(std::string &s, float height, char cover) {
    struct LayerText {
        char cover;
        const char *with_height;
        const char *without;
    };
    static constexpr LayerText texts[] = {
        {'C', "%3.0f CLR ", "    CLR "}, {'F', "%3.0f FEW ", "   -FEW "}, {'S', "%3.0f SCT ", "    SCT "},
        {'B', "%3.0f BKN ", "    BKN "}, {'O', "%3.0f OVC ", "    OVC "}, {'X', "%3.0f X   ", "    X   "},
        {'s', "%3.0f-SCT ", "   -SCT "}, {'b', "%3.0f-BKN ", "   -BKN "}, {'o', "%3.0f-OVC ", "   -OVC "},
        {'x', "%3.0f-X   ", "   -X   "},
    };
    for (const LayerText &t : texts) {
        if (t.cover != cover) continue;
        if (height >= 0)
            put(s, t.with_height, height / 100.0);
        else
            s += t.without;
        return;
    }
    if (height >= 0 && cover == ' ')
        s += "    M   ";
    else if (height >= 0)
        put(s, "%3.0f %1c/8 ", height / 100.0, shown(cover));
    else
        put(s, "    %1c/8 ", shown(cover));
}

// The wind columns: direction, a separator and the speed. A direction
// without a speed shows the speed as missing.
void wind_columns(std::string &s, const SFC_report &r, const char *dir_format) {
    put(s, dir_format, static_cast<double>(r.w_dir));
    value(s, "%2.0f ", r.w_spd, given(r.w_spd), "   ", " - ");
}

void kind1_lines(M_type level, const SFC_report &r) {
    std::string s;
    if (r.id[0] == '\0' && miss_dash)
        s += " -   ";
    else
        put(s, "%4s ", text_of(r.id).c_str());
    static constexpr const char *type_letters[] = {"--", "SA", "SP", "RS"};
    s += type_letters[r.type & 3];
    s += (r.type & 4) ? "*" : miss(" ", "-");
    if (r.time >= 0)
        put(s, "%4.4d ", r.time);
    else
        s += miss("     ", "   - ");
    value(s, "%5.1f  ", r.vis, r.vis >= 0, "       ", "    -  ");
    if (r.weather[0] == ' ')
        s += miss("      ", "    - ");
    else
        put(s, "%5.5s ", text_of(r.weather).c_str() + (r.weather[0] == '!' ? 1 : 0));
    value(s, " %6.1f ", r.pmb, r.pmb >= 0, "        ", "      - ");
    value(s, "%3.0f ", r.t, given(r.t), "    ", "  - ");
    value(s, "%3.0f ", r.td, given(r.td), "    ", "  - ");
    if (given(r.w_dir)) {
        wind_columns(s, r, miss_dash ? " %3.0f " : " %3.0f-");
        value(s, "%2.0f ", r.w_gust, r.w_gust >= 0, "   ", " - ");
    } else {
        s += miss("    -      ", "   -  -  - ");
    }
    value(s, "%5.2f ", r.alt, r.alt >= 0, "      ", "    - ");
    value(s, "%4.1f  ", r.ptend, given(r.ptend), "      ", "    - ");
    const float max = given(r.max_t) ? r.max_t : r.max6_t;
    const float min = given(r.min_t) ? r.min_t : r.min6_t;
    value(s, "%3.0f ", max, given(max), "    ", "  - ");
    value(s, "%3.0f ", min, given(min), "    ", "  - ");
    s += '\n';
    print(level, s);

    s = "    ";
    for (int i = 0; i < 5; ++i) {
        if (i < layers(r))
            kind1_layer(s, r.cld_height[i], r.cld_cover[i]);
        else
            s += miss("        ", " -   -  ");
    }
    put(s, "  %c:%c:%c  ", shown(r.cld_type[0]), shown(r.cld_type[1]), shown(r.cld_type[2]));
    value(s, "%4.2f ", r.rain3, r.rain3 >= 0, "     ", "     ");
    for (float rain : {r.rain6, r.rain12, r.rain24})
        value(s, "%4.2f ", rain, rain >= 0, "     ", "   - ");
    value(s, "%2.0f\n", r.scover, r.scover >= 0, "  \n", "  \n");
    print(level, s);
    if (r.comment[0] != '\0') {
        s.clear();
        put(s, "   COMMENT: %s\n", text_of(r.comment).c_str());
        print(level, s);
    }
}

// ---- Print kind 4: one compact line

void kind4_line(M_type level, const SFC_report &r) {
    std::string s;
    if (r.id[0] == '\0' && miss_dash)
        s += " -    ";
    else
        put(s, "%-5s ", text_of(r.id).c_str());
    if (layers(r) == 0)
        s += "       ";
    else if (r.cld_height[0] >= 0)
        put(s, " %3.0f %c ", r.cld_height[0] / 100.0, shown(r.cld_cover[0]));
    else
        put(s, "     %c ", shown(r.cld_cover[0]));
    value(s, "%5.1f  ", r.vis, r.vis >= 0, "       ", "    -  ");
    if (r.weather[0] == ' ')
        s += miss("    ", "  - ");
    else
        put(s, "%4s", text_of(r.weather).c_str());
    value(s, " %6.1f ", r.pmb, r.pmb >= 0, "        ", "      - ");
    value(s, "%3.0f ", r.t, given(r.t), "    ", "  - ");
    value(s, "%3.0f ", r.td, given(r.td), "    ", "  - ");
    // Direction, speed and gust take ten characters, also when missing.
    if (given(r.w_dir)) {
        wind_columns(s, r, miss_dash ? "%3.0f " : "%3.0f-");
        value(s, "%2.0f ", r.w_gust, r.w_gust >= 0, "   ", " - ");
    } else {
        s += miss("   -      ", "  -  -  - ");
    }
    float extreme = FMISSING;
    for (float t : {r.max_t, r.min_t, r.max6_t, r.min6_t}) {
        if (given(t)) {
            extreme = t;
            break;
        }
    }
    value(s, "%3.0f ", extreme, given(extreme), "    ", "  - ");
    value(s, "%4.1f", r.ptend, given(r.ptend), "    ", "  - ");
    value(s, " %4.2f ", r.rain6, r.rain6 >= 0, "      ", "    - ");
    value(s, "%4.2f ", r.rain24, r.rain24 >= 0, "     ", "   - ");
    value(s, "%2.0f", r.scover, r.scover >= 0, "  ", " -");
    if (r.cld_type[0] != ' ')
        put(s, " %c:%c:%c", shown(r.cld_type[0]), shown(r.cld_type[1]), shown(r.cld_type[2]));
    s += '\n';
    print(level, s);
}

// ---- Print kind 3: the long form

void long_form(M_type level, const SFC_report &r) {
    // Lines of one piece go straight to the printer, whose format is checked
    // at each call; the wind and cloud lines are built in pieces.
    std::string s;
    MESS_print(level, "Data for: %s\n", text_of(r.id).c_str());
    if (given(r.wmo)) MESS_print(level, "WMO number: %ld\n", static_cast<long>(r.wmo));
    if (given(r.lat))
        MESS_print(level, "LAT: %7.2f N  LON: %7.2f E\n", static_cast<double>(r.lat),
                   static_cast<double>(r.lon));
    if (given(r.elev)) MESS_print(level, "Elevation: %7.0f m\n", static_cast<double>(r.elev));
    MESS_print(level, "-----------------------------------\n");
    if (given(r.time)) MESS_print(level, "Report time:        %4.4d Z\n", r.time);
    if (given(r.t))
        MESS_print(level, "Temperature:         %3.0f F = %4.1f C\n", static_cast<double>(r.t),
                   5.0 * (r.t - 32.0) / 9.0);
    if (given(r.td))
        MESS_print(level, "Dewpoint:            %3.0f F = %4.1f C\n", static_cast<double>(r.td),
                   5.0 * (r.td - 32.0) / 9.0);
    if (given(r.w_dir)) {
        s = "Winds:               ";
        if (r.w_spd == 0)
            s += "calm";
        else if (given(r.w_spd))
            put(s, "%3.0f deg at %1.0f knt", static_cast<double>(r.w_dir), static_cast<double>(r.w_spd));
        else
            put(s, "%3.0f deg at %s knt", static_cast<double>(r.w_dir), miss(" ", "-"));
        if (given(r.w_gust))
            put(s, " Gusts: %1.0f knt\n", static_cast<double>(r.w_gust));
        else
            s += '\n';
        print(level, s);
    }
    if (given(r.alt)) MESS_print(level, "Altimeter setting:    %5.2f in Hg\n", static_cast<double>(r.alt));
    if (given(r.pmb)) MESS_print(level, "Sea level pressure: %5.1f mb\n", static_cast<double>(r.pmb));
    for (int i = 0; i < layers(r); ++i) {
        s = i == 0 ? "Clouds:" : "       ";
        if (given(r.cld_height[i]))
            put(s, "level %d: %6.0f feet ", i + 1, static_cast<double>(r.cld_height[i]));
        else
            s += std::string(20, ' ');
        // A cover without a word still ends its line.
        const CoverWord *w = cover_word(r.cld_cover[i]);
        if (w != nullptr && w->word != nullptr) s += w->word;
        s += '\n';
        print(level, s);
    }
    if (given(r.vis)) MESS_print(level, "Visibility:           %5.2f miles\n", static_cast<double>(r.vis));
    if (r.weather[0] != ' ') MESS_print(level, "Present weather:     %s\n", weather_words(r).c_str());
    if (given(r.ptend)) MESS_print(level, "Pressure tendency:    %4.1f mb\n", static_cast<double>(r.ptend));
    if (r.rain6 >= 0) MESS_print(level, "3/6 hour precip:       %4.2f in\n", static_cast<double>(r.rain6));
    if (r.rain24 >= 0) MESS_print(level, "24 hour precip:        %4.2f in\n", static_cast<double>(r.rain24));
    if (given(r.max_t)) MESS_print(level, "Max temperature:     %3.0f F\n", static_cast<double>(r.max_t));
    if (given(r.min_t)) MESS_print(level, "Min temperature:     %3.0f F\n", static_cast<double>(r.min_t));
    if (given(r.max6_t)) MESS_print(level, " 6 hr Max temp:      %3.0f F\n", static_cast<double>(r.max6_t));
    if (given(r.min6_t)) MESS_print(level, " 6 hr Min temp:      %3.0f F\n", static_cast<double>(r.min6_t));
    if (r.scover >= 0) {
        if (metric)
            MESS_print(level, "Snow cover:          %3.0f cm\n", r.scover * 2.54);
        else
            MESS_print(level, "Snow cover:          %3.0f in.\n", static_cast<double>(r.scover));
    }
    if (given(r.t) && given(r.w_spd)) {
        const float chill = surface_value(r, "wchill2");
        if (given(chill) && fahrenheit_of_k(chill) < 30)
            MESS_print(level, "Wind chill:           %4.1f F\n", static_cast<double>(fahrenheit_of_k(chill)));
    }
    if (given(r.t) && given(r.td)) {
        const float heat = surface_value(r, "heat");
        if (given(heat) && fahrenheit_of_k(heat) > 75)
            MESS_print(level, "Heat index:           %4.1f F\n", static_cast<double>(fahrenheit_of_k(heat)));
    }
    if (r.cld_type[0] != ' ')
        MESS_print(level, "Cloud types- Low:%c Medium:%c High:%c\n", shown(r.cld_type[0]),
                   shown(r.cld_type[1]), shown(r.cld_type[2]));
    if (r.comment[0] != '\0') MESS_print(level, "Remarks: %s\n", text_of(r.comment).c_str());
}

// ---- Print kind 6: one column per variable-list entry

enum class Column {
    id,
    otime,
    field,   // a report field in its input units
    surface, // a surface variable in its native units
    cldcl,
    wx,
    saowx,
    txtwx,
    cldcv,
    cld_char,
    fr,
    rmk,
};

struct ColumnDef {
    std::string_view name;
    Column column;
    float SFC_report::*field; // Column::field
    const char *iunits;       // units of the value before conversion
    int index;                // Column::cld_char: 0 the low cloud amount, 1-3 the cloud types
};

constexpr ColumnDef columns[] = {
    {"city", Column::id, nullptr, "", 0},
    {"id", Column::id, nullptr, "", 0},
    {"otime", Column::otime, nullptr, "", 0},
    {"temp", Column::field, &SFC_report::t, "F", 0},
    {"dewp", Column::field, &SFC_report::td, "F", 0},
    // A difference of temperatures converts as one ("dF").
    {"dewd", Column::surface, nullptr, "dF", 0},
    {"wdir", Column::field, &SFC_report::w_dir, "deg", 0},
    {"wspd", Column::field, &SFC_report::w_spd, "knt", 0},
    {"wgst", Column::field, &SFC_report::w_gust, "knt", 0},
    {"alt", Column::field, &SFC_report::alt, "in_Hg", 0},
    {"pres", Column::field, &SFC_report::pmb, "mb", 0},
    {"wx", Column::wx, nullptr, "", 0},
    {"saowx", Column::saowx, nullptr, "", 0},
    {"txtwx", Column::txtwx, nullptr, "", 0},
    {"vis", Column::field, &SFC_report::vis, "mi", 0},
    {"cldcl", Column::cldcl, nullptr, "100 ft", 0},
    {"cldcv", Column::cldcv, nullptr, "", 0},
    {"ptend", Column::field, &SFC_report::ptend, "mb", 0},
    {"prec1", Column::field, &SFC_report::rain1, "in", 0},
    {"prec3", Column::field, &SFC_report::rain3, "in", 0},
    {"prec6", Column::field, &SFC_report::rain6, "in", 0},
    {"prec12", Column::field, &SFC_report::rain12, "in", 0},
    {"prec24", Column::field, &SFC_report::rain24, "in", 0},
    {"prec", Column::surface, nullptr, "in", 0},
    {"extt", Column::surface, nullptr, "F", 0},
    {"maxt", Column::field, &SFC_report::max_t, "F", 0},
    {"maxt6", Column::field, &SFC_report::max6_t, "F", 0},
    {"mint", Column::field, &SFC_report::min_t, "F", 0},
    {"mint6", Column::field, &SFC_report::min6_t, "F", 0},
    {"snwdp", Column::field, &SFC_report::scover, "in", 0},
    {"nlcld", Column::cld_char, nullptr, "", 0},
    {"lcld", Column::cld_char, nullptr, "", 1},
    {"mcld", Column::cld_char, nullptr, "", 2},
    {"hcld", Column::cld_char, nullptr, "", 3},
    {"solar", Column::field, &SFC_report::solar, "min", 0},
    {"sst", Column::field, &SFC_report::sst, "C", 0},
    {"wavper", Column::field, &SFC_report::wav_per, "sec", 0},
    {"wavhgt", Column::field, &SFC_report::wav_hgt, "m", 0},
    {"vpres", Column::surface, nullptr, "mb", 0},
    {"svpres", Column::surface, nullptr, "mb", 0},
    {"wchilt", Column::surface, nullptr, "K", 0},
    {"wchill2", Column::surface, nullptr, "K", 0},
    {"wchilf", Column::surface, nullptr, "W/m^2", 0},
    {"heat", Column::surface, nullptr, "K", 0},
    {"humit", Column::surface, nullptr, "F", 0},
    {"mrat", Column::surface, nullptr, "g/kg", 0},
    {"smrat", Column::surface, nullptr, "g/kg", 0},
    {"shum", Column::surface, nullptr, "g/kg", 0},
    {"rhum", Column::surface, nullptr, "%", 0},
    {"wetblb", Column::surface, nullptr, "K", 0},
    {"thetaw", Column::surface, nullptr, "K", 0},
    {"thetae", Column::surface, nullptr, "K", 0},
    {"thetav", Column::surface, nullptr, "K", 0},
    {"theta", Column::surface, nullptr, "K", 0},
    {"vtemp", Column::surface, nullptr, "K", 0},
    {"fr", Column::fr, nullptr, "", 0},
    {"rmk", Column::rmk, nullptr, "", 0},
};

const ColumnDef *find_column(const char *name) {
    for (const ColumnDef &c : columns)
        if (iequals(c.name, name)) return &c;
    return nullptr;
}

// The summary cover in words of the variable-column listing.
std::string cover_abbr(char cover) {
    switch (cover) {
    case ' ':
        return "M";
    case 'C':
        return "CLR";
    case 'F':
        return "FEW";
    case 'S':
        return "SCT";
    case 'B':
        return "BKN";
    case 'O':
        return "OVC";
    case 'X':
        return "X";
    case 's':
        return "-SCT";
    case 'b':
        return "-BKN";
    case 'o':
        return "-OVC";
    case 'x':
        return "-X";
    default:
        return std::string(1, shown(cover)) + "/8";
    }
}

void kind6_header(M_type level) {
    const VAR_data *vars = VAR_get_vars();
    std::string s;
    for (int i = 0; i < VAR_get_num(); ++i)
        put(s, "%6.6s ", vars[i].name);
    s += '\n';
    print(level, s);
    s.clear();
    for (int i = 0; i < VAR_get_num(); ++i)
        put(s, "%6.6s ", vars[i].units);
    s += '\n';
    print(level, s);
}

void kind6_column(std::string &s, const SFC_report &r, const VAR_data &var) {
    const ColumnDef *c = find_column(var.name);
    auto valued = [&s, &var, c](float v) {
        char text[64];
        SFC_set_print_str(v, c->iunits, var.units, var.format, text, sizeof text);
        put(s, "%6.6s ", text);
    };
    if (c == nullptr) {
        s += miss("       ", "     - ");
        return;
    }
    char cover = ' ';
    float height = FMISSING;
    switch (c->column) {
    case Column::id:
        if (r.id[0] == '\0' && miss_dash)
            s += " -     ";
        else
            put(s, "%-6.6s ", text_of(r.id).c_str());
        break;
    case Column::otime:
        if (given(r.time))
            put(s, "  %4.4d ", r.time);
        else
            s += miss("       ", "     - ");
        break;
    case Column::field:
        valued(r.*(c->field));
        break;
    case Column::surface:
        valued(surface_value(r, std::string(c->name).c_str(), var.time));
        break;
    case Column::cldcl:
        WX_set_cloud(&r, &cover, &height);
        valued(given(height) ? height / 100 : FMISSING);
        break;
    case Column::wx:
        put(s, "%6.6s ", text_of(r.weather).c_str());
        break;
    case Column::saowx:
        put(s, "%6.6s ", letter_code(r).c_str());
        break;
    case Column::txtwx:
        put(s, "%s ", weather_words(r).c_str());
        break;
    case Column::cldcv:
        WX_set_cloud(&r, &cover, &height);
        put(s, "%6.6s ", cover_abbr(cover).c_str());
        break;
    case Column::cld_char:
        put(s, "%6c ", shown(c->index == 0 ? r.cld_low : r.cld_type[c->index - 1]));
        break;
    case Column::fr: {
        std::string category;
        surface_value(r, "fr", MISSING, &category);
        put(s, "%6.6s ", category.c_str());
        break;
    }
    case Column::rmk:
        put(s, "%s ", text_of(r.comment).c_str());
        break;
    }
}

void kind6_line(M_type level, const SFC_report &r) {
    const VAR_data *vars = VAR_get_vars();
    std::string s;
    for (int i = 0; i < VAR_get_num(); ++i)
        kind6_column(s, r, vars[i]);
    s += '\n';
    print(level, s);
}

} // namespace

int SFC_set_print_str(float val, const char *iunits, const char *ounits, const char *format, char *str,
                      std::size_t size) {
    if (size == 0) return 0;
    if (val == FMISSING) {
        std::snprintf(str, size, "%s", miss("", " -"));
        return 0;
    }
    if (ounits != nullptr && ounits[0] != '\0') val = UNIT_cvt(val, iunits != nullptr ? iunits : "", ounits);
    // The user's format is used only when it is exactly one float conversion.
    const bool own = format != nullptr && format[0] == '%' && string_is_float_format(format);
    std::snprintf(str, size, own ? format : "%4.0f", static_cast<double>(val));
    return 0;
}

int SFC_print_report(const SFC_report *report) {
    if (report == nullptr) return -1;
    long_form(M_PRINT, *report);
    return 0;
}

int SFC_print_line(M_type level, const SFC_report *report) {
    static int init = 0;
    if (!MESS_check(level)) return 0;
    if (init == 0) {
        if (const char *spec = RES_get("variable")) {
            VAR_open_file(nullptr);
            init = 1;
            VAR_setup(nullptr, spec);
        }
    }
    if (init == 1 && print_type == 6) {
        if (report == nullptr)
            kind6_header(level);
        else
            kind6_line(level, *report);
        return 0;
    }
    switch (print_type) {
    case 3:
        if (report != nullptr) long_form(level, *report);
        break;
    case 5:
        if (report == nullptr) {
            MESS_print(level, " ID   Temp  Dew  Winds       Press   Clouds   Prec  Weather\n");
            MESS_print(level, "        F    F   deg   knt     mb  100ft cov   in\n");
        } else {
            kind5_line(level, *report);
        }
        break;
    case 1:
        if (report == nullptr) {
            MESS_print(level, "  ID Tp Time  Vis    PWx   SLPres   T  Td   WD-WS WG  Alt   PT  Max Min\n");
            MESS_print(level, "     CHt CCv CHt CCv CHt CCv CHt CCv CHt CCv  L:M:H  Rn3  Rn6 Rn12 Rn24 SC\n");
        } else {
            kind1_lines(level, *report);
        }
        break;
    case 4:
        if (report == nullptr)
            MESS_print(level,
                       " ID   Cht Cv  Vis   PWx  SLPres   T  Td  WD-WS WG  Te  PT   Rn6 Rn24 SC L:M:H\n");
        else
            kind4_line(level, *report);
        break;
    case 2:
        if (report == nullptr)
            MESS_print(level,
                       "ID     TIME   T  TD  RH DIR SPD GST ALT SLP VIS CIL  COV WX  MAX MIN  PR6 PR24 SC\n");
        else
            kind2_line(level, *report);
        break;
    default:
        break;
    }
    return 0;
}

int SFC_set_print(int type) {
    print_type = type;
    return 0;
}

int SFC_set_miss_dash() {
    miss_dash = 1;
    return 0;
}

int SFC_set_metric(int value) {
    metric = value;
    return 0;
}

int SFC_set_in_file() {
    char conv[] = "sfc_cvt";
    FILE_set_name(conv);
    int argc = 0;
    char **argv = nullptr;
    RES_getvals("in_file", &argc, &argv);
    for (int i = 0; i < argc; ++i) {
        char *word = argv[i];
        if (strnicmp(word, "sao", 3) == 0)
            FILE_set_name(conv);
        else if (strnicmp(word, "zeq", 3) == 0)
            FLAG_set(17, 3);
        else if (strnicmp(word, "cdf", 3) == 0)
            FLAG_set(17, 12);
        else
            FILE_set_name(word);
    }
    free_parsed_array(argc, argv);
    return 1;
}
