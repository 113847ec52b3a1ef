// Frontal-position bulletins on the current map: reading the sections and
// records, fronts bent through their coded positions with pips, thinned
// pressure centres, tropical systems with spelled positions, and the
// stand-alone driver. File-static state: the section hour, the date the
// analysis must match and the plot_param switches (pressure labels, thinning
// box, pips); everything else lives for one bulletin.
#include "plot/frt_plt.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/spline.h"
#include "plot/wx_symb.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

// Limits of one bulletin.
constexpr std::size_t MAX_CENTRES = 200;
constexpr std::size_t MAX_POINTS = 100;
constexpr std::size_t MAX_RECORD = 499;
constexpr std::size_t MAX_VALID = 49;
constexpr std::size_t MAX_NAME = 19;
// Pressures above this are not centres (a stray number is skipped).
constexpr float MAX_PRESSURE = 1050.0f;
// The device flag's value of a PostScript workstation.
constexpr int DEVICE_PS = 4;

int hour = 0;
Date file_date{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
int pr_lab = 1;
float pr_rad = 5.0f;
int barb = 0;

// ---- Words and lines ---------------------------------------------------------------------

bool is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Splits a text into its blank-separated words.
std::vector<std::string_view> words_of(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && is_blank(static_cast<unsigned char>(s[i])))
            ++i;
        const std::size_t start = i;
        while (i < s.size() && !is_blank(static_cast<unsigned char>(s[i])))
            ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

std::string_view first_word(std::string_view s) {
    const std::vector<std::string_view> w = words_of(s);
    return w.empty() ? std::string_view() : w.front();
}

// The next whole line of the file, without its line end and trailing blanks;
// false at the end of the file.
bool read_line(FILE *file, std::string &line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::getc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        line += static_cast<char>(c);
    }
    if (!any) return false;
    while (!line.empty() && is_blank(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return true;
}

// The next blank-separated word of the file; false at the end of the file.
bool read_word(FILE *file, std::string &word) {
    word.clear();
    int c;
    while ((c = std::getc(file)) != EOF && is_blank(c)) {
    }
    while (c != EOF && !is_blank(c)) {
        word += static_cast<char>(c);
        c = std::getc(file);
    }
    return !word.empty();
}

bool begins_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool begins_with_digit(std::string_view word) {
    return !word.empty() && word.front() >= '0' && word.front() <= '9';
}

// A finite number filling the start of a word as "%f" reads it.
bool read_number(std::string_view word, float *value) {
    char buf[64];
    copy_text(buf, word);
    float v = 0;
    if (std::sscanf(buf, "%f", &v) != 1 || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

// The tags that begin a section.
bool section_tag(std::string_view tag) {
    return tag == "VALID" || tag == "12HR" || tag == "24HR" || tag == "36HR" || tag == "48HR";
}

// ---- Spelled positions ----------------------------------------------------------------------

struct NumberWord {
    const char *word;
    int value;
};
constexpr NumberWord number_words[] = {
    {"ONE", 1},       {"TWO", 2},       {"THREE", 3},    {"FOUR", 4},     {"FIVE", 5},       {"SIX", 6},
    {"SEVEN", 7},     {"EIGHT", 8},     {"NINE", 9},     {"TEN", 10},     {"ELEVEN", 11},    {"TWELVE", 12},
    {"THIRTEEN", 13}, {"FOURTEEN", 14}, {"FIFTEEN", 15}, {"SIXTEEN", 16}, {"SEVENTEEN", 17}, {"EIGHTEEN", 18},
    {"NINETEEN", 19}, {"TWENTY", 20},   {"THIRTY", 30},  {"FORTY", 40},   {"FIFTY", 50},     {"SIXTY", 60},
    {"SEVENTY", 70},  {"EIGHTY", 80},   {"NINETY", 90},
};

// The value of a number word recognised by its beginning (the longest
// match; "ONE" only as the whole word), or -1.
int number_word(std::string_view word) {
    int value = -1;
    std::size_t best = 0;
    for (const NumberWord &n : number_words) {
        const std::string_view name = n.word;
        const bool match = name == "ONE" ? word == name : begins_with(word, name);
        if (match && name.size() > best) {
            best = name.size();
            value = n.value;
        }
    }
    return value;
}

// Reads a spelled position; the word that ended it goes into *end. 0, or -1
// at the end of the file.
int decode_locate(FILE *file, float *lat, float *lon, std::string *end) {
    float total = 0;
    bool decimal = false;
    std::string word;
    while (read_word(file, word)) {
        if (begins_with(word, "NORTH")) {
            *lat = total;
            total = 0;
            decimal = false;
        } else if (begins_with(word, "WEST")) {
            *lon = -total;
            total = 0;
            decimal = false;
        } else if (begins_with(word, "HUNDRED")) {
            total *= 100;
        } else if (begins_with(word, "POINT")) {
            decimal = true;
        } else if (const int v = number_word(word); v >= 0) {
            total += decimal ? static_cast<float>(v) / 10.0f : static_cast<float>(v);
        } else {
            if (end != nullptr) *end = word;
            return 0;
        }
    }
    return -1;
}

// ---- One bulletin ----------------------------------------------------------------------------

struct Centre {
    float lat, lon, pres;
    char kind;
};

enum class Kind { COLD, WARM, OCCLUDED, STATIONARY, TROUGH };

// The drawing state of one bulletin.
struct Bulletin {
    const char *filename = "";
    Gattribs data{}, highs{}, lows{}, cold{}, warm{}, occl{}, trough{}, trop{}, black{};
    float scale = 1;
    float pscale = 1;
    std::vector<Centre> centres;
    bool warned_centres = false;
    bool warned_points = false;
};

bool colour_set(int c) {
    return c != MISSING && c >= 0;
}

// The bundles of the colour items, each first unset.
void make_bundles(Bulletin &b) {
    for (Gattribs *a : {&b.data, &b.highs, &b.lows, &b.cold, &b.warm, &b.occl, &b.trough, &b.trop, &b.black})
        ATTRIB_init(a);
    if (const char *cd = RES_get("color_data"); cd != nullptr) ATTRIB_parse(cd, &b.data);
    ParsedList items(RES_get("color_front"));
    const struct {
        Gattribs *attr;
        const char *def;
        float width;
    } slots[] = {
        {&b.highs, "blue", 2},   {&b.lows, "red", 2},     {&b.cold, "blue", 3},       {&b.warm, "red", 3},
        {&b.occl, "magenta", 3}, {&b.trough, "brown", 3}, {&b.trop, "red", FMISSING},
    };
    for (std::size_t k = 0; k < std::size(slots); ++k) {
        const char *item = static_cast<int>(k) < items.size() ? items[static_cast<int>(k)] : nullptr;
        slots[k].attr->width = slots[k].width;
        ATTRIB_parse(item != nullptr && *item != '\0' ? item : slots[k].def, slots[k].attr);
    }
    ATTRIB_parse("black", &b.black);
    float scale = 1;
    if (RES_getval("plot_scale", &scale, CV_float) == 0 || !(scale > 0)) scale = 1;
    b.scale = scale;
    b.pscale = scale * MAP_get_vert();
}

// Lines in `line`, fills in `fill` with the fill colour of `colour`.
void set_front_attr(const Gattribs &line, const Gattribs &fill, const Gattribs &colour) {
    GPH_line_attr(&line);
    GPH_fill_attr(&fill);
    if (colour_set(colour.color)) gset_fill_colr_ind(colour.color);
}

// "HIGHS" and "LOWS": pairs of a pressure and a coded position.
void centres_record(Bulletin &b, const std::vector<std::string_view> &w, char kind) {
    MESS_print(M_OUT3, kind == 'H' ? "HIGHS\n" : "LOWS\n");
    std::size_t k = 1;
    for (;;) {
        float pres = 0;
        bool have = false;
        while (k < w.size() && read_number(w[k], &pres)) {
            ++k;
            if (pres <= MAX_PRESSURE) {
                have = true;
                break;
            }
        }
        if (!have || k >= w.size()) return;
        char word[64];
        copy_text(word, w[k]);
        float lat = 0, lon = 0;
        if (decode_latlon(word, &lat, &lon) == 0) return;
        ++k;
        MESS_print(M_OUT3, "%2.0f %2.0f %2.0f\n", static_cast<double>(pres), static_cast<double>(lat),
                   static_cast<double>(lon));
        if (b.centres.size() >= MAX_CENTRES) {
            if (!b.warned_centres)
                MESS_print(M_WARN, "FRT_plot_file: More than %zu pressure centres, the rest ignored: %s\n",
                           MAX_CENTRES, b.filename);
            b.warned_centres = true;
            continue;
        }
        b.centres.push_back({lat, -lon, pres, kind});
    }
}

// A pip: a triangle (sigma 0) pointing to side dir, or a half disc toward
// side sigma.
void triangle(Gpt p0, Gpt p1, float s, int dir) {
    const Gpt m{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2};
    const Gpt d{p1.x - p0.x, p1.y - p0.y};
    const Gpt p{-d.y, d.x};
    const Gpt a{m.x - s * d.x, m.y - s * d.y};
    const std::array<Gpt, 4> pts{
        a, Gpt{m.x + s * d.x, m.y + s * d.y},
        Gpt{m.x + 1.5f * s * static_cast<float>(dir) * p.x, m.y + 1.5f * s * static_cast<float>(dir) * p.y},
        a};
    gfill_area(4, pts.data());
}

void half_disc(Gpt p0, Gpt p1, float s, int sigma) {
    const Gpt m{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2};
    const Gpt d{p1.x - p0.x, p1.y - p0.y};
    const float g = static_cast<float>(sigma);
    const Gpt p{-d.y, d.x};
    const Gpt a{m.x - s * d.x, m.y - s * d.y};
    const std::array<Gpt, 6> pts{
        a,
        Gpt{m.x + s * d.x, m.y + s * d.y},
        Gpt{m.x + s * (0.5f * d.x + 0.866f * g * p.x), m.y + s * (0.5f * d.y + 0.866f * g * p.y)},
        Gpt{m.x + s * g * p.x, m.y + s * g * p.y},
        Gpt{m.x + s * (-0.5f * d.x + 0.866f * g * p.x), m.y + s * (-0.5f * d.y + 0.866f * g * p.y)},
        a,
    };
    gfill_area(6, pts.data());
}

void segment(Gpt p0, Gpt p1) {
    GPH_line(p0.x, p0.y, p1.x, p1.y);
}

// The trace names of the curve points of each kind.
const char *trace_name(Kind kind) {
    switch (kind) {
    case Kind::COLD:
        return "COLD";
    case Kind::WARM:
        return "WARM";
    case Kind::OCCLUDED:
        return "OCCL";
    case Kind::STATIONARY:
        return "STAT";
    case Kind::TROUGH:
        return "TROF";
    }
    return "";
}

// "COLD", "WARM", "OCFNT", "STNRY" and "TROF": a qualifier (not for troughs)
// and coded positions, drawn as a curve with the kind's segments and pips.
void front_record(Bulletin &b, const std::vector<std::string_view> &w, Kind kind, std::string_view tag) {
    std::size_t k = 1;
    if (kind == Kind::TROUGH) {
        MESS_print(M_OUT3, "TROF\n");
    } else {
        const std::string qual(k < w.size() ? w[k] : std::string_view());
        MESS_print(M_OUT3, "%.*s %s\n", static_cast<int>(tag.size()), tag.data(), qual.c_str());
        ++k;
    }

    const Gattribs *gate = kind == Kind::COLD       ? &b.cold
                           : kind == Kind::OCCLUDED ? &b.occl
                           : kind == Kind::TROUGH   ? &b.trough
                                                    : &b.warm;
    if (gate->color != -1) {
        switch (kind) {
        case Kind::COLD:
            set_front_attr(b.cold, b.data, b.cold);
            break;
        case Kind::WARM:
            set_front_attr(b.warm, b.data, b.warm);
            break;
        case Kind::OCCLUDED:
            set_front_attr(b.occl, b.data, b.occl);
            break;
        case Kind::STATIONARY:
            GPH_line_attr(&b.warm);
            GPH_fill_attr(&b.warm);
            break;
        case Kind::TROUGH:
            break;
        }
    }

    std::vector<float> xs, ys;
    float lat1 = 0, lon1 = 0, lat = 0, lon = 0;
    bool decoded = false, kept = false;
    for (; k < w.size(); ++k) {
        char word[64];
        copy_text(word, w[k]);
        float plat = 0, plon = 0;
        if (decode_latlon(word, &plat, &plon) == 0) break;
        float x = FMISSING, y = FMISSING;
        MAP_tran(plat, -plon, &x, &y);
        MESS_print(M_OUT3, "%2.0f %2.0f = %.4f %.4f\n", static_cast<double>(plat), static_cast<double>(plon),
                   static_cast<double>(x), static_cast<double>(y));
        decoded = true;
        lat = plat;
        lon = plon;
        if (is_missing(x)) continue;
        if (!xs.empty() && x == xs.back() && y == ys.back()) continue;
        if (xs.size() >= MAX_POINTS) {
            if (!b.warned_points)
                MESS_print(M_WARN, "FRT_plot_file: More than %zu points in a front, the rest ignored: %s\n",
                           MAX_POINTS, b.filename);
            b.warned_points = true;
            continue;
        }
        if (!kept) {
            lat1 = plat;
            lon1 = plon;
            kept = true;
        }
        xs.push_back(x);
        ys.push_back(y);
    }
    if (!decoded) return;
    if (!kept) {
        lat1 = lat;
        lon1 = lon;
    }

    int dir = 1;
    if (kind != Kind::TROUGH) {
        const float dlat = std::fabs(lat1 - lat);
        const float dlon = std::fabs(lon1 - lon);
        switch (kind) {
        case Kind::COLD:
            if ((dlon > dlat && lon1 > lon) || (dlat > dlon && lat > lat1)) dir = -1;
            break;
        case Kind::WARM:
            if ((dlon > dlat && lon > lon1) || (dlat > dlon && lat > lat1)) dir = -1;
            break;
        case Kind::OCCLUDED:
            if (dlat != dlon && lon > lon1) dir = -1;
            break;
        case Kind::STATIONARY:
            if (dlat != dlon && lon1 > lon) dir = -1;
            break;
        case Kind::TROUGH:
            break;
        }
        const char letter = kind == Kind::COLD       ? 'C'
                            : kind == Kind::WARM     ? 'W'
                            : kind == Kind::OCCLUDED ? 'O'
                                                     : 'S';
        MESS_print(M_DEBUG, "%c %.1f %.1f %.1f %.1f %.1f %.1f %d\n", letter, static_cast<double>(lat1),
                   static_cast<double>(lat), static_cast<double>(lon1), static_cast<double>(lon),
                   static_cast<double>(dlat), static_cast<double>(dlon), dir);
    }

    if (gate->color == -1) return;
    if (kind == Kind::TROUGH) GPH_line_attr(&b.trough);
    // The curve needs two points.
    const int n = static_cast<int>(xs.size());
    if (n < 2) return;
    std::vector<float> d(xs.size());
    float *cx = nullptr, *cy = nullptr;
    if (SPLINE_create2(n, xs.data(), ys.data(), d.data(), &cx, &cy) == 0) return;
    const float dist = d.back();
    const char *name = trace_name(kind);
    auto at = [&](float z) {
        Gpt p{};
        SPLINE_interp2(z, n, cx, cy, xs.data(), ys.data(), d.data(), &p.x, &p.y);
        return p;
    };
    Gpt p0 = at(0);
    MESS_print(M_OUT3, "%s: %.4f %.4f\n", name, static_cast<double>(p0.x), static_cast<double>(p0.y));
    const float s = b.scale;
    for (int i = 0;; ++i) {
        const float z = 0.5f * static_cast<float>(i + 1);
        if (!(z <= dist + 0.02f)) break;
        const Gpt p1 = at(z);
        if (kind != Kind::TROUGH)
            MESS_print(M_OUT3, "%s: %.4f %.4f\n", name, static_cast<double>(p1.x), static_cast<double>(p1.y));
        switch (kind) {
        case Kind::COLD:
            segment(p0, p1);
            if (barb && i % 4 == 2) triangle(p0, p1, s, dir);
            break;
        case Kind::WARM:
            segment(p0, p1);
            if (barb && i % 6 == 3) half_disc(p0, p1, s, dir);
            break;
        case Kind::OCCLUDED:
            segment(p0, p1);
            if (barb && i % 11 == 3) triangle(p0, p1, s, dir);
            if (barb && i % 11 == 8) half_disc(p0, p1, s, dir);
            break;
        case Kind::STATIONARY:
            if (i % 11 <= 5)
                set_front_attr(b.cold, b.data, b.cold);
            else
                set_front_attr(b.warm, b.data, b.warm);
            segment(p0, p1);
            if (barb && i % 11 == 3) triangle(p0, p1, s, dir);
            if (barb && i % 11 == 8) {
                segment(p0, p1);
                half_disc(p0, p1, s, -dir);
            }
            break;
        case Kind::TROUGH:
            if (i % 2 == 0) segment(p0, p1);
            break;
        }
        p0 = p1;
    }
    if (kind != Kind::TROUGH) {
        const Gpt p1 = at(dist);
        MESS_print(M_OUT3, "%s: %.4f %.4f\n", kind == Kind::COLD ? "COLD" : "WARM", static_cast<double>(p1.x),
                   static_cast<double>(p1.y));
        segment(p0, p1);
    }
    std::free(cx);
    std::free(cy);
}

// A tropical system's symbol (or text) and its name at a spelled position.
void tropical_mark(Bulletin &b, float lat, float lon, const char *symbol, const char *text,
                   const std::string &name) {
    float x = FMISSING, y = FMISSING;
    MAP_tran(lat, lon, &x, &y);
    if (is_missing(x) || b.trop.color == -1) return;
    GPH_line_attr(&b.trop);
    GPH_text_attr(&b.trop, 0.018f * b.pscale);
    const int fill =
        FLAG_get(FLAG_DEVICE) == DEVICE_PS && gps_get_colorPS() == 0 ? b.black.color : b.trop.color;
    if (colour_set(fill)) gset_fill_colr_ind(fill);
    if (symbol != nullptr)
        WX_symb(x, y, symbol, 0.035f * b.pscale);
    else
        GPH_printf(x, y, "%s", text);
    GPH_printf(x, y - 0.03f * b.pscale, "%s", name.c_str());
}

// Reads a storm's spelled position; false (with a warning) when a
// coordinate was never named. The word that ended it goes into *end.
bool storm_position(const Bulletin &b, FILE *file, const std::string &name, float *lat, float *lon,
                    std::string *end) {
    *lat = FMISSING;
    *lon = FMISSING;
    end->clear();
    decode_locate(file, lat, lon, end);
    if (is_missing(*lat) || is_missing(*lon)) {
        MESS_print(M_WARN, "FRT_plot_file: No position for storm %s: %s\n", name.c_str(), b.filename);
        return false;
    }
    MESS_print(M_OUT3, "%2.0f %2.0f\n", static_cast<double>(*lat), static_cast<double>(*lon));
    return true;
}

// Skips words of the file up to and including the one `done` accepts,
// unless the position already ended on it.
template <class Done> void skip_to(FILE *file, const std::string &end, Done done) {
    if (done(end)) return;
    std::string word;
    while (read_word(file, word))
        if (done(word)) return;
}

// "HURRICANE" and "TROPICAL" blocks: the words after the line held for the
// next record.
void tropical(Bulletin &b, FILE *file, std::string_view tag) {
    std::string word, name, end;
    float lat = 0, lon = 0;
    if (tag == "HURRICANE") {
        if (read_word(file, word)) name = word.substr(0, MAX_NAME);
        MESS_print(M_OUT3, "HURRICANE %s\n", name.c_str());
        if (storm_position(b, file, name, &lat, &lon, &end)) tropical_mark(b, lat, lon, "@+", nullptr, name);
        skip_to(file, end, [](const std::string &w) { return begins_with(w, "PSN"); });
    } else {
        std::string kind;
        if (read_word(file, word)) kind = word.substr(0, MAX_NAME);
        if (read_word(file, word)) name = word.substr(0, MAX_NAME);
        MESS_print(M_OUT3, "TROPICAL %s %s\n", kind.c_str(), name.c_str());
        if (storm_position(b, file, name, &lat, &lon, &end)) {
            if (kind == "STORM")
                tropical_mark(b, lat, lon, "@", nullptr, name);
            else
                tropical_mark(b, lat, lon, nullptr, "L", name);
        }
        skip_to(file, end, [](const std::string &w) { return w == "PSN"; });
    }
}

// Thins the centres and draws those left.
void draw_centres(Bulletin &b) {
    std::vector<bool> removed(b.centres.size(), false);
    for (std::size_t i = 0; i < b.centres.size(); ++i) {
        const Centre &c = b.centres[i];
        for (std::size_t j = 0; j < b.centres.size(); ++j) {
            if (j == i || removed[j]) continue;
            const Centre &o = b.centres[j];
            if (std::fabs(o.lat - c.lat) > pr_rad || std::fabs(o.lon - c.lon) > pr_rad) continue;
            if (c.kind == 'H' ? o.pres >= c.pres : o.pres <= c.pres) {
                removed[i] = true;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < b.centres.size(); ++i) {
        if (removed[i]) continue;
        const Centre &c = b.centres[i];
        const Gattribs &a = c.kind == 'H' ? b.highs : b.lows;
        float x = FMISSING, y = FMISSING;
        MAP_tran(c.lat, c.lon, &x, &y);
        if (is_missing(x) || a.color == -1) continue;
        GPH_text_attr(&a, 0.03f * b.pscale);
        GPH_printf(x, y, "%c", c.kind);
        if (pr_lab) {
            GPH_text_attr(&b.data, 0.018f * b.pscale);
            if (colour_set(a.color)) gset_text_colr_ind(a.color);
            GPH_printf(x, y - 0.03f * b.pscale, "%1.0f", static_cast<double>(c.pres));
        }
    }
}

// The analysis header: whether the valid time matches file_date (its hour
// lowered to a multiple of 3 first), with the upper right label either way.
bool analysis_matches(const std::vector<std::string_view> &w) {
    const std::string valid(w.size() > 1 ? w[1].substr(0, MAX_VALID) : std::string_view());
    if (file_date.hour != MISSING && file_date.hour >= 0) file_date.hour = file_date.hour / 3 * 3;
    char hh[32], dh[32], mdh[32];
    std::snprintf(hh, sizeof hh, "%02d00", file_date.hour);
    std::snprintf(dh, sizeof dh, "%02d%02d", file_date.day, file_date.hour);
    std::snprintf(mdh, sizeof mdh, "%02d%02d%02d", file_date.month, file_date.day, file_date.hour);
    const bool found = begins_with(valid, hh) || begins_with(valid, dh) || begins_with(valid, mdh);
    if (!found) MESS_print(M_WARN, "FRT_plot_file: Invalid date in file: %s != %s\n", valid.c_str(), mdh);
    char date[64];
    DATE_make_label(&file_date, date, sizeof date);
    PLT_label_up_right(("NCEP analysis for " + std::string(date)).c_str());
    return found;
}

void forecast_label() {
    char valid[64];
    DATE_make_label_valid_time(hour, &file_date, valid, sizeof valid);
    char text[128];
    std::snprintf(text, sizeof text, "%d hr NCEP forecast valid %s", hour, valid);
    PLT_label_up_right(text);
}

void read_bulletin(Bulletin &b, FILE *file) {
    char wanted[16];
    if (hour == 0)
        copy_text(wanted, "VALID");
    else
        std::snprintf(wanted, sizeof wanted, "%dHR", hour);
    bool found = false;
    bool held = false;
    bool at_end = false;
    std::string line;
    while (!at_end) {
        if (!held) {
            if (!read_line(file, line)) break;
            if (words_of(line).empty()) continue;
        }
        held = false;
        const std::string_view tag = first_word(line);
        if (found && tag.find("VALID") != std::string_view::npos) break;
        if (hour == 0 && tag == "VALID") {
            found = analysis_matches(words_of(line));
            continue;
        }
        if (hour > 0 && tag == wanted) {
            found = true;
            forecast_label();
            continue;
        }
        if (!found) continue;
        if (section_tag(tag)) break;

        // The record: its line and its continuation lines.
        std::string record = line;
        const std::string tag_text(tag);
        std::string next;
        for (;;) {
            if (!read_line(file, next)) {
                at_end = true; // the record read so far is still drawn
                break;
            }
            const std::string_view w = first_word(next);
            if (w.empty()) break; // an empty line ends the record and is skipped
            if (section_tag(w) || !begins_with_digit(w)) {
                line = next;
                held = true;
                break;
            }
            if (record.size() + 1 + next.size() <= MAX_RECORD) record += " " + next;
        }
        MESS_print(M_DEBUG, "DATA: %s\n", record.c_str());
        const std::vector<std::string_view> w = words_of(record);
        if (tag_text == "HIGHS")
            centres_record(b, w, 'H');
        else if (tag_text == "LOWS")
            centres_record(b, w, 'L');
        else if (tag_text == "COLD")
            front_record(b, w, Kind::COLD, tag_text);
        else if (tag_text == "WARM")
            front_record(b, w, Kind::WARM, tag_text);
        else if (tag_text == "OCFNT")
            front_record(b, w, Kind::OCCLUDED, tag_text);
        else if (tag_text == "STNRY")
            front_record(b, w, Kind::STATIONARY, tag_text);
        else if (tag_text == "TROF")
            front_record(b, w, Kind::TROUGH, tag_text);
        else if (held) {
            const std::string_view h = first_word(line);
            if (h == "HURRICANE" || h == "TROPICAL") tropical(b, file, h);
        }
    }
}

// Keeps the first characters of an item after its keyword and separator.
std::string_view value_after(std::string_view item, std::size_t skip) {
    return item.size() > skip ? item.substr(skip) : std::string_view();
}

} // namespace

int FRT_plot_param() {
    ParsedList items(RES_get("plot_param"));
    for (int i = 0; i < items.size(); ++i) {
        const std::string_view item = items[i] != nullptr ? items[i] : "";
        if (istarts_with(item, "noprlab")) pr_lab = 0;
        if (istarts_with(item, "barb")) barb = 1;
        if (istarts_with(item, "prrad")) {
            const std::string_view v = value_after(item, 6);
            double r = 0;
            if (!v.empty() && scan_decimal(v, &r) > 0 && std::isfinite(r)) pr_rad = static_cast<float>(r);
        }
        if (istarts_with(item, "hour")) {
            const std::string_view v = value_after(item, 5);
            int h = 0;
            const char *start = v.data();
            if (!v.empty() && *start == '+') ++start;
            if (!v.empty() && std::from_chars(start, v.data() + v.size(), h).ec == std::errc()) hour = h;
        }
    }
    return 0;
}

int FRT_set_date(const Date *datim) {
    if (datim != nullptr)
        file_date = *datim;
    else
        FILE_get_date(&file_date);
    return 0;
}

int FRT_decode_locate(FILE *file, float *lat, float *lon) {
    if (file == nullptr || lat == nullptr || lon == nullptr) return -1;
    return decode_locate(file, lat, lon, nullptr);
}

int decode_latlon(const char *text, float *lat, float *lon) {
    if (text == nullptr || lat == nullptr || lon == nullptr) return 0;
    return std::sscanf(text, "%2f%3f", lat, lon) == 2 ? 1 : 0;
}

int FRT_plot_file(const char *filename) {
    FRT_plot_param();
    FILE *file = FILE_open(filename, "r");
    if (file == nullptr) {
        MESS_print(M_WARN, "FRT_plot_file: Unable to open front file: %s\n",
                   filename != nullptr ? filename : "");
        return 0;
    }
    Bulletin b;
    b.filename = filename;
    make_bundles(b);
    GPH_text_align(GCENTER_HOR, GHALF_VERT);
    PLT_label_up_left("Frontal positions");
    read_bulletin(b, file);
    FILE_close(file);
    draw_centres(b);
    return 0;
}

int FRT_plot(Domain *domain) {
    const bool was_open = gchk_graphics() != 0;
    if (was_open) {
        PLT_reset(DOM_aspect(domain));
    } else {
        FRT_plot_param();
        if (PLT_open(DOM_aspect(domain)) != 0) return 0;
        PLT_set_callback(FRT_callback);
        PLT_set_zoom_func(FRT_plot);
        PLT_set_resize_func(FRT_plot);
    }
    MAP_setup(domain);
    int t = 0;
    if (RES_getval("time", &t, CV_int) != 0) hour = t;
    FILE_first(&file_date);
    const bool several = FILE_get_num_file() != 0;
    char name[FILE_NAME_SIZE];
    int index = 0;
    while (FILE_get_next(name, sizeof name) != 0) {
        if (several) {
            gcreate_frame(index);
            gselect_frame(index);
        }
        FILE_get_date(&file_date);
        MAP_draw(5);
        FRT_plot_file(name);
        MAP_draw(2);
        PLT_labels();
        if (several) gdisplay_frame(index);
        PLT_dump(index);
        ++index;
    }
    if (several) gset_looping(1);
    if (!was_open) PLT_close();
    return 0;
}

void FRT_callback(int, const char *str, float x, float y) {
    PLT_print_location(str, x, y);
    PLT_plot_zoom(str, x, y);
    PLT_plot_resize(str, x, y);
}
