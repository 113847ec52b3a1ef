// Point plotting: base, item and format attributes, colour by value through
// the contour bands, and the drawing of each item kind. File-static state:
// the base attributes of the plot, the attributes of the item being drawn,
// the last two item positions and the request for a line to the next item.
#include "plot/raw_plt.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "fields/maptran.h"
#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/raw_tool.h"
#include "plot/windbarb.h"
#include "plot/wx_symb.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

// Plot switches and the plot type that switch point drawing off.
constexpr int SWITCH_DATA = 7;
constexpr int SWITCH_ALL = 12;
constexpr int PLOT_NONE = 99;
// The marker value that draws a sky cover circle.
constexpr int MARK_CLOUD = 1001;
// Character height as a fraction of the map height.
constexpr float TEXT_SIZE = 0.018f;

RAW_attribs initial_attribs() {
    RAW_attribs a{};
    RAW_init_attrib(&a);
    return a;
}

RAW_attribs base_attr = initial_attribs();
RAW_attribs cur_attr = initial_attribs();
// pts[1] the position of the last item, pts[0] the one before it.
Gpt pts[2] = {{FMISSING, FMISSING}, {FMISSING, FMISSING}};
bool post_line = false;

RAW_attribs &base() {
    return base_attr;
}
RAW_attribs &cur() {
    return cur_attr;
}

std::string_view skip_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

// A decimal number at the start of text (after blanks); false without one.
bool lead_float(std::string_view text, float *out, std::size_t *used = nullptr) {
    const std::string_view s = skip_blanks(text);
    double v = 0;
    const std::size_t n = scan_decimal(s, &v);
    if (n == 0 || !(std::fabs(v) <= std::numeric_limits<float>::max())) return false;
    *out = static_cast<float>(v);
    if (used != nullptr) *used = text.size() - s.size() + n;
    return true;
}

// The whole number at the start of text (the whole part of a decimal
// number), 0 when there is none or it lies outside int range.
int lead_whole(std::string_view text) {
    double v = 0;
    if (scan_decimal(skip_blanks(text), &v) == 0) return 0;
    v = std::trunc(v);
    return v >= -2147483647.0 && v <= 2147483647.0 ? static_cast<int>(v) : 0;
}

bool all_set(const Gpt &a, const Gpt &b) {
    return !is_missing(a.x) && !is_missing(a.y) && !is_missing(b.x) && !is_missing(b.y);
}

// A line between the last two item positions, when both are known.
void line_to_current() {
    if (all_set(pts[0], pts[1])) GPH_line(pts[0].x, pts[0].y, pts[1].x, pts[1].y);
}

// ---- Names ------------------------------------------------------------------------------

struct MarkName {
    const char *name;
    int type;
    bool word; // the "mk=" key knows only these
};
// Tried in this order, each as a prefix of the text without regard to case.
constexpr MarkName mark_names[] = {
    {"dot", 8, true},  {"pnt", 1, true},  {".", 1, false},     {"plus", 2, true},   {"+", 2, false},
    {"star", 3, true}, {"*", 3, false},   {"crcl", 4, true},   {"circle", 4, true}, {"o", 4, false},
    {"x", 5, false},   {"sqr", 6, true},  {"square", 6, true}, {"#", 6, false},     {"tri", 7, true},
    {"^", 7, false},   {"itri", 9, true}, {"v", 9, false},
};

// The marker type of a marker name (only the word forms with words_only),
// else the whole number the text holds (0 none).
int marker_of(const char *text, bool words_only) {
    if (text == nullptr) return 0;
    for (const MarkName &m : mark_names)
        if ((m.word || !words_only) && istarts_with(text, m.name)) return m.type;
    int v = 0;
    const char *end = text + std::strlen(text);
    const char *p = text;
    if (*p == '+') ++p;
    if (std::from_chars(p, end, v).ec != std::errc()) return 0;
    return v;
}

struct Position {
    const char *word;
    float x;
    float y;
    int hor;
    float param_x; // the x offset the word gives in plot_param
};
constexpr Position positions[] = {
    {"ul", -0.012f, 0.02f, 3, -0.012f},   {"uc", 0.0f, 0.02f, 2, 0.0f},   {"ur", 0.012f, 0.02f, 1, 0.012f},
    {"tl", -0.012f, 0.012f, 3, -0.012f},  {"tc", 0.0f, 0.012f, 2, 0.0f},  {"tr", 0.012f, 0.012f, 1, 0.012f},
    {"cl", -0.012f, 0.0f, 3, -0.015f},    {"cc", 0.0f, 0.0f, 2, 0.0f},    {"cr", 0.012f, 0.0f, 1, 0.015f},
    {"bl", -0.012f, -0.012f, 3, -0.012f}, {"bc", 0.0f, -0.012f, 2, 0.0f}, {"br", 0.012f, -0.012f, 1, 0.012f},
    {"ll", -0.012f, -0.02f, 3, -0.012f},  {"lc", 0.0f, -0.02f, 2, 0.0f},  {"lr", 0.012f, -0.02f, 1, 0.012f},
};

const Position *position_of(std::string_view word) {
    for (const Position &p : positions)
        if (iequals(word, p.word)) return &p;
    return nullptr;
}

// Horizontal alignment by the sign of an x offset.
int hor_of(float x) {
    return x < 0 ? 3 : x > 0 ? 1 : 2;
}

// Two numbers separated by blanks or by the sign of the second.
bool two_floats(std::string_view text, float *a, float *b) {
    std::size_t n = 0;
    if (!lead_float(text, a, &n)) return false;
    return lead_float(text.substr(n), b);
}

// The kinds whose colour follows the speed (value[1]).
bool speed_kind(int type) {
    return type == 21 || type == 22 || type == 23 || (type >= 32 && type <= 35);
}

// ---- Item texts -----------------------------------------------------------------------------

// The value as a whole number, false for a missing value or one outside int
// range.
bool whole_value(float value, int *out) {
    if (is_missing(value) || !std::isfinite(value)) return false;
    const double v = std::trunc(static_cast<double>(value));
    if (v < -2147483648.0 || v > 2147483647.0) return false;
    *out = static_cast<int>(v);
    return true;
}

void float_text(char *str, std::size_t size, float value, const char *format) {
    RAW_format_float(str, size, format, value, "RAW_plot_data");
}

// ---- Drawing -------------------------------------------------------------------------------

void draw_text(float x, float y, const char *text) {
    if (text == nullptr || text[0] == '\0') return;
    const Gpt pt{x, y};
    GPH_pprint(&pt, text);
}

void draw_marker(float x, float y, int type) {
    gset_marker_type(type);
    GPH_mark(x, y);
}

// A line from the item's position to the point of latitude value[0] and
// longitude value[1], else to the previous item's position.
void draw_line_item(const RAW_data *data) {
    if (is_missing(data->x) || is_missing(data->y)) return;
    if (!is_missing(data->value[0]) && !is_missing(data->value[1])) {
        float x = FMISSING, y = FMISSING;
        if (MAP_tran(data->value[0], data->value[1], &x, &y) != 0 && !is_missing(x))
            GPH_line(data->x, data->y, x, y);
        return;
    }
    if (!is_missing(pts[0].x) && !is_missing(pts[0].y)) GPH_line(data->x, data->y, pts[0].x, pts[0].y);
}

// Draws the item by its type at (px, py); h is the map height and s the scale.
void draw_by_type(RAW_data *data, float px, float py, float h, float s) {
    const RAW_attribs &c = cur();
    const float dir = data->value[0];
    const float spd = data->value[1];
    char buf[80];
    switch (data->type) {
    case 1:
    case 3:
        draw_text(px, py, data->data);
        break;
    case 2:
        if (!is_missing(data->value[0])) {
            float_text(buf, sizeof buf, data->value[0], c.format);
            // A format that drops the leading zero leaves its text with the item.
            if (c.format[0] == '%' && c.format[1] == 'z') copy_text(data->data, buf);
            draw_text(px, py, buf);
        } else {
            draw_text(px, py, data->data);
        }
        break;
    case 5: {
        int v = 0;
        if (whole_value(data->value[0], &v)) {
            RAW_format_int(buf, sizeof buf, c.format, v, "RAW_plot_data");
            draw_text(px, py, buf);
        }
        break;
    }
    case 4:
        draw_marker(px, py, marker_of(data->data, false));
        break;
    case 31:
        WX_cloud(px, py, 0.01f * h * s, data->data[0]);
        break;
    case 33:
        if (spd == 0.0f)
            WX_cloud(px, py, 0.013f * h * s, '0');
        else if (dir >= 0.0f)
            WIND_barb_map(px, py, dir, spd, 0.05f * h * s, 0.01f * h * s);
        break;
    case 34:
        WX_cloud(px, py, 0.003f * h * s, '0');
        if (spd == 0.0f)
            WX_cloud(px, py, 0.006f * h * s, '0');
        else if (dir >= 0.0f)
            WIND_barb_map(px, py, dir, spd, 0.05f * h * s, 0.003f * h * s);
        break;
    case 32:
        if (spd == 0.0f)
            WX_cloud(px, py, 0.003f * h * s, '0');
        else if (dir >= 0.0f)
            WIND_barb_map(px, py, dir, spd, 0.05f * h * s, 0.0f);
        break;
    case 35:
        // An arrow as long as the distance the wind travels in an hour.
        if (spd > 0.0f && !is_missing(spd)) WIND_vect_map(px, py, dir, spd * 1.852f / 100.0f, s, 1.0f);
        break;
    case 23:
        if (spd > 0.0f && !is_missing(spd)) {
            const float len = MAP_factor(MAP_get_clat(), MAP_get_clon()) * spd * 1.852f * 2.0f / 100.0f;
            WIND_track(px, py, dir, len, 0.1f * s * h, 4, 0);
        }
        break;
    case 36:
        WX_symb(px, py, data->data, 0.03f * h * s);
        break;
    case 37:
        if (stricmp(data->data, "pre") == 0)
            line_to_current();
        else if (stricmp(data->data, "post") == 0)
            post_line = true;
        else
            draw_line_item(data);
        break;
    default:
        break;
    }
}

} // namespace

// ---- Attribute records ------------------------------------------------------------------

int RAW_init_attrib(RAW_attribs *attr) {
    if (attr == nullptr) return 0;
    ATTRIB_init(&attr->attrib);
    attr->intrvl = FMISSING;
    attr->scale = 1.0f;
    attr->base = 0.0f;
    attr->min = FMISSING;
    attr->max = FMISSING;
    attr->type = 1;
    attr->symbol[0] = '\0';
    attr->text[0] = '\0';
    attr->format[0] = '\0';
    attr->bar = MISSING;
    attr->marker = 0;
    attr->hor = 2;
    attr->vert = 3;
    attr->x = 0.0f;
    attr->y = 0.0f;
    attr->line = 0;
    attr->skip = 1;
    return 0;
}

int RAW_plot_param() {
    RAW_attribs &b = base();
    const char *param = RES_get("plot_param");
    if (param == nullptr || param[0] == '\0') return 0;
    const ParsedList items(param, ',');
    for (int i = 0; i < items.size(); ++i) {
        const std::string_view item = items[i];
        // "word", one separator character and the value.
        const auto value = [&](std::size_t len) -> std::string_view {
            return item.size() > len + 1 ? item.substr(len + 1) : std::string_view();
        };
        if (istarts_with(item, "skip")) {
            if (!value(4).empty()) b.skip = lead_whole(value(4));
        } else if (istarts_with(item, "text")) {
            if (!value(4).empty()) copy_text(b.text, value(4));
        } else if (istarts_with(item, "mark")) {
            const std::string name(value(4));
            if (!name.empty()) b.marker = iequals(name, "cld") ? MARK_CLOUD : ATTR_parse_marker(name.c_str());
        } else if (iequals(item, "line")) {
            b.line = 1;
        } else if (istarts_with(item, "yba")) {
            b.bar = item.size() == 3 ? 0 : lead_whole(item.size() > 4 ? item.substr(4) : std::string_view());
        } else if (istarts_with(item, "xy=")) {
            float x = 0, y = 0;
            std::size_t n = 0;
            const std::string_view rest = item.substr(3);
            if (lead_float(rest, &x, &n) && n < rest.size() && rest[n] == ':' &&
                lead_float(rest.substr(n + 1), &y)) {
                b.x = 0.012f * x;
                b.y = 0.02f * y;
            }
        } else if (const Position *p = position_of(item)) {
            b.x = p->param_x;
            b.y = p->y;
        }
    }
    return 0;
}

int RAW_parse_format(RAW_attribs *attr, const char *format) {
    if (attr == nullptr || format == nullptr || format[0] == '\0') return 0;
    int result = 0;
    const ParsedList tokens(format, ':');
    for (int i = 0; i < tokens.size(); ++i) {
        const char *tok = tokens[i];
        const std::string_view t = tok;
        if (t.empty()) continue;
        if (t[0] == '%') {
            std::snprintf(attr->format, sizeof attr->format, "%%%s", tok + 1);
            result = 2;
            continue;
        }
        if (const int type = VAR_dec_type(tok); type >= 0) {
            result = type;
            continue;
        }
        if (const Position *p = position_of(t)) {
            attr->x = p->x;
            attr->y = p->y;
            attr->hor = p->hor;
            attr->vert = 3;
            continue;
        }
        if (t.size() < 3 || t[2] != '=') continue;
        const std::string key(t.substr(0, 3));
        const std::string v(t.substr(3));
        float f = 0;
        if (iequals(key, "xy=")) {
            float x = 0, y = 0;
            if (two_floats(v, &x, &y)) {
                attr->x = 0.012f * x;
                attr->y = 0.02f * y;
                attr->vert = 3;
                attr->hor = hor_of(attr->x);
            }
        } else if (iequals(key, "rs=")) {
            Gattribs a;
            ATTRIB_init(&a);
            if (ATTRIB_get(v.c_str(), "green", &a) != 0) ATTRIB_update(&attr->attrib, &a);
        } else if (iequals(key, "co=")) {
            attr->attrib.color = CLR_get_ind(v.c_str());
        } else if (iequals(key, "fm=")) {
            copy_text(attr->format, v);
            result = 2;
        } else if (iequals(key, "hi=")) {
            if (lead_float(v, &f)) attr->attrib.height = f;
        } else if (iequals(key, "sc=")) {
            if (!lead_float(v, &f) || f < 0.01f || f > 1000.0f) f = 1.0f;
            attr->scale = f;
        } else if (iequals(key, "wi=")) {
            if (lead_float(v, &f)) attr->attrib.width = f;
        } else if (iequals(key, "fo=")) {
            attr->attrib.font = gget_font_index(v.c_str());
        } else if (iequals(key, "te=")) {
            if (lead_float(v, &f)) attr->attrib.expan = f;
        } else if (iequals(key, "tx=")) {
            copy_text(attr->text, v);
        } else if (iequals(key, "ta=")) {
            const char h = v.empty() ? '\0' : static_cast<char>(v[0] | 0x20);
            const char w = v.size() < 2 ? '\0' : static_cast<char>(v[1] | 0x20);
            attr->hor = h == 'l' ? 1 : h == 'r' ? 3 : 2;
            attr->vert = w == 't' ? 1 : w == 'c' ? 2 : w == 's' ? 4 : w == 'b' ? 5 : 3;
        } else if (iequals(key, "mk=")) {
            attr->marker = marker_of(v.c_str(), true);
        } else if (iequals(key, "sf=") || iequals(key, "wf=")) {
            copy_text(attr->symbol, v);
        } else if (iequals(key, "mn=")) {
            if (lead_float(v, &f)) attr->min = f;
        } else if (iequals(key, "mx=")) {
            if (lead_float(v, &f)) attr->max = f;
        } else if (iequals(key, "sk=")) {
            attr->skip = lead_whole(v);
        }
    }
    return result;
}

int RAW_set_attribs(RAW_attribs *attr) {
    if (attr == nullptr) return 0;
    if (is_missing(attr->attrib.color)) ATTRIB_get("color_data", "green", &attr->attrib);
    GPH_text_attr(nullptr, 1.0f);
    GPH_text_attr(&attr->attrib, MAP_get_vert() * attr->scale * TEXT_SIZE);
    GPH_text_align(attr->hor, attr->vert);
    GPH_line_attr(&attr->attrib);
    GPH_mark_attr(&attr->attrib, attr->scale);
    GPH_fill_attr(&attr->attrib);
    if (attr->symbol[0] != '\0') WX_symb_file(attr->symbol);
    return 0;
}

int RAW_set_attr(const Gattribs *attrib) {
    if (attrib != nullptr) ATTRIB_update(&cur().attrib, attrib);
    return 0;
}

// ---- Starting a plot and drawing items ------------------------------------------------------

int RAW_plot_init(const Gattribs *attrib, float scale) {
    if (!FLAG_getplot(SWITCH_ALL) || FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE || !gchk_graphics()) return -1;
    RAW_attribs &b = base();
    RAW_init_attrib(&b);
    b.scale = scale;
    if (attrib != nullptr) b.attrib = *attrib;
    RAW_plot_param();

    GPH_text_attr(nullptr, 1.0f);
    GPH_line_attr(nullptr);
    GPH_mark_attr(nullptr, 1.0f);
    GPH_fill_attr(nullptr);
    gsel_norm_tran(2);

    CONT_init();
    CONT_set_fill_colors(nullptr, 0);
    if (is_missing(CONT_get_type())) CONT_set_type(15);

    if (const char *pf = RES_get("plot_format"); pf != nullptr && pf[0] != '\0') {
        const int type = RAW_parse_format(&b, pf);
        if (type != 0) b.type = type;
    }
    if (const char *cb = RES_get("con_base"); cb != nullptr && cb[0] != '\0') {
        int count = 0;
        char **items = nullptr;
        RES_getvals("con_base", &count, &items);
        for (int i = 0; i < count; ++i) {
            const std::string_view item = skip_blanks(items[i]);
            float v = 0;
            if (!item.empty() && item[0] == '>') {
                if (lead_float(item.substr(1), &v)) b.min = b.base = v;
            } else if (!item.empty() && item[0] == '<') {
                if (lead_float(item.substr(1), &v)) b.max = v;
            } else if (lead_float(item, &v)) {
                b.base = v;
            }
        }
        free_parsed_array(count, items);
        CONT_set_base(b.base);
        CONT_set_cutoff(b.max, b.min);
    }
    float intrvl = 0;
    if (RES_getval("con_interval", &intrvl, CV_float) != 0) {
        b.intrvl = intrvl;
        CONT_set_intrvl(intrvl);
    }

    RAW_set_attribs(&b);
    b.hor = hor_of(b.x);
    GPH_text_align(b.hor, b.vert);
    cur() = b;
    return 0;
}

int RAW_plot_data(RAW_data *data) {
    if (data == nullptr) return -1;
    if (!FLAG_getplot(SWITCH_DATA) || FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) return -1;
    RAW_attribs &c = cur();
    c = base();

    if (data->x != pts[1].x || data->y != pts[1].y) {
        pts[0] = pts[1];
        pts[1] = {data->x, data->y};
    }
    if (post_line) {
        line_to_current();
        post_line = false;
    }

    ATTRIB_update(&c.attrib, &data->attr);
    if (CONT_get_values(nullptr, 0) != 0 || !is_missing(c.intrvl)) {
        Gattribs band;
        CONT_get_fill_attrib(speed_kind(data->type) ? data->value[1] : data->value[0], &band);
        ATTRIB_update(&c.attrib, &band);
    }
    const float v = data->value[0];
    if (!is_missing(v) && ((!is_missing(c.min) && v < c.min) || (!is_missing(c.max) && v > c.max))) return -1;

    const int type = RAW_parse_format(&c, data->format);
    if (type != 0) data->type = type;
    RAW_set_attribs(&c);

    const float h = MAP_get_vert();
    const float s = c.scale;
    const float px = data->x + s * c.x * h;
    const float py = data->y + s * c.y * h;
    MESS_print(M_DEBUG_B, "PLOT: %8.3f %8.3f %-5s %-10s %-10s %8.3f\n", static_cast<double>(data->x),
               static_cast<double>(data->y), VAR_print_type(data->type), data->format, data->data,
               static_cast<double>(v));

    if (c.text[0] != '\0') {
        draw_text(px, py, c.text);
    } else if (c.marker != 0 && (data->data[0] != '\0' || !is_missing(v))) {
        if (c.marker == MARK_CLOUD)
            WX_cloud(px, py, 0.01f * h * s, '0');
        else
            draw_marker(px, py, c.marker);
    } else if (c.line != 0) {
        line_to_current();
    } else if (!is_missing(c.bar)) {
        GPH_line(px, py, px, static_cast<float>(c.bar));
    } else {
        draw_by_type(data, px, py, h, s);
    }
    return 0;
}

// ---- Item texts and records ---------------------------------------------------------------

int RAW_data_to_string(char *str, std::size_t size, const RAW_data *data) {
    if (str == nullptr || size == 0) return 0;
    str[0] = '\0';
    if (data == nullptr) return 0;
    const char *format = cur().format;
    const float v = data->value[0];
    int whole = 0;
    switch (data->type) {
    case 1:
        if (data->data[0] != '\0' || is_missing(v))
            copy_text(str, size, data->data);
        else
            RAW_format_float(str, size, format, v, "RAW_data_to_string");
        break;
    case 2:
        if (!is_missing(v)) RAW_format_float(str, size, format, v, "RAW_data_to_string");
        break;
    case 5:
        if (whole_value(v, &whole)) RAW_format_int(str, size, format, whole, "RAW_data_to_string");
        break;
    case 3:
    case 4:
    case 31:
    case 36:
        copy_text(str, size, data->data);
        break;
    case 21:
    case 22:
    case 32:
    case 33:
    case 34:
    case 35:
        std::snprintf(str, size, "%1.0f-%1.0f", static_cast<double>(v), static_cast<double>(data->value[1]));
        break;
    default:
        break;
    }
    return 0;
}

RAW_data *RAW_set(RAW_data *data, float x, float y, int type, const char *format, const char *str, float val1,
                  float val2) {
    if (data == nullptr) return nullptr;
    RAW_data_init(data);
    data->x = x;
    data->y = y;
    data->type = type;
    copy_text(data->format, format != nullptr ? format : "");
    copy_text(data->data, str != nullptr ? str : "");
    data->value[0] = val1;
    data->value[1] = val2;
    return data;
}

int RAW_print(M_type kind, const RAW_data *data) {
    if (data == nullptr) return 0;
    MESS_print(kind, "Location: %f %f\n", static_cast<double>(data->x), static_cast<double>(data->y));
    MESS_print(kind, "Type: %d\n", data->type);
    MESS_print(kind, "Format: %s\n", data->format);
    MESS_print(kind, "Data: %s\n", data->data);
    MESS_print(kind, "Value: %f\n", static_cast<double>(data->value[0]));
    return 0;
}

// ---- Setters and getters ------------------------------------------------------------------

int RAW_set_intrvl(float value) {
    base().intrvl = value;
    return 0;
}

float RAW_get_intrvl() {
    return base().intrvl;
}

int RAW_set_range(float max, float min) {
    base().max = max;
    base().min = min;
    return 0;
}

int RAW_get_range(float *max, float *min) {
    if (max != nullptr) *max = base().max;
    if (min != nullptr) *min = base().min;
    return 0;
}

int RAW_set_marker(int mark) {
    base().marker = mark;
    return 0;
}

int RAW_set_scale(float value) {
    cur().scale = value;
    return 0;
}

float RAW_get_scale() {
    return cur().scale;
}

int RAW_set_off(float xoff, float yoff) {
    cur().x = xoff;
    cur().y = yoff;
    return 0;
}

int RAW_set_format(const char *text) {
    copy_text(cur().format, text != nullptr ? text : "");
    return 0;
}

const char *RAW_get_format() {
    return cur().format;
}
