// Contour colour lists and options: the band table built from a colour list,
// a contour level file, the colour table's fill colours or the default
// colours; the contour keywords of plot_param and of format texts; the line
// attributes of the variable's format; the interval and type prompts.
// File-static state: none of its own (the settings of cont_detail).
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "plot/cont.h"
#include "plot/cont_int.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"

using cont_detail::Settings;
using cont_detail::settings;

namespace {

// The 15 default band colours, lowest band first.
constexpr const char *DEFAULT_FILL =
    "Magenta,LMagenta,Blue,LBlue,Cyan,LCyan,Green,LGreen,Brown,Yellow,Red,LRed,DGray,LGray,White";

// Level-file lines are read up to this many characters.
constexpr std::size_t LINE_CHARS = 80;

// A text split at `delim` into owned items.
struct Items {
    int n = 0;
    char **v = nullptr;
    Items(const char *text, char delim) { parse_string(text, delim, &n, &v); }
    ~Items() { free_parsed_array(n, v); }
    Items(const Items &) = delete;
    Items &operator=(const Items &) = delete;
};

std::string_view skip_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

// A whole decimal number making up all of text (after leading blanks).
bool read_float(std::string_view text, float *out) {
    text = skip_blanks(text);
    double v = 0;
    const std::size_t n = scan_decimal(text, &v);
    if (n == 0 || !skip_blanks(text.substr(n)).empty()) return false;
    *out = static_cast<float>(v);
    return true;
}

// An integer at the start of text (after leading blanks); the characters
// used, 0 when there is none.
std::size_t lead_int(std::string_view text, int *out) {
    std::string_view digits = skip_blanks(text);
    std::size_t skipped = text.size() - digits.size();
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        ++skipped;
    }
    int v = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec != std::errc()) return 0;
    *out = v;
    return skipped + static_cast<std::size_t>(end - digits.data());
}

// Up to four integers joined by sep, read as far as they go; their count.
int read_ints(std::string_view text, char sep, int out[4]) {
    int n = 0;
    while (n < 4) {
        int v = 0;
        const std::size_t used = lead_int(text, &v);
        if (used == 0) break;
        out[n++] = v;
        text.remove_prefix(std::min(used, text.size()));
        if (text.empty() || text.front() != sep) break;
        text.remove_prefix(1);
    }
    return n;
}

// The numbers of a "lab" keyword: "a:b:c:d", else "a.b.c.d". One number n
// sets label skip n / 10 and extrema radius n % 10; two or more set skip and
// radius, a third both label spacings and a fourth the y spacing. Nothing
// when no number is there.
void decode_lab(std::string_view text) {
    int v[4] = {0, 0, 0, 0};
    int n = read_ints(text, ':', v);
    if (n == 1) n = read_ints(text, '.', v);
    if (n == 0) return;
    Settings &s = settings();
    if (n == 1) {
        s.label_skip = v[0] / 10;
        s.ext_radius = v[0] % 10;
        return;
    }
    s.label_skip = v[0];
    s.ext_radius = v[1];
    if (n >= 3) s.x_label_space = s.y_label_space = v[2];
    if (n >= 4) s.y_label_space = v[3];
}

// The value of a keyword item: what follows the keyword and one separator
// character; empty when the item stops at the keyword.
std::string_view keyword_value(std::string_view item, std::size_t keyword_len) {
    return item.size() > keyword_len + 1 ? item.substr(keyword_len + 1) : std::string_view();
}

// One valued or plain entry into band entry n.
void decode_entry(Settings &s, std::string_view text) {
    const auto n = static_cast<std::size_t>(s.fill_count);
    std::string attrs(text);
    char label[cont_detail::LABEL_SIZE] = "";
    bool labelled = false;
    // ":la=label" up to the next ':' or the end; taken out of the attributes.
    for (std::size_t p = 0; p + 4 <= attrs.size(); ++p) {
        if (attrs[p] == ':' && istarts_with(std::string_view(attrs).substr(p + 1), "la=")) {
            std::size_t end = attrs.find(':', p + 4);
            if (end == std::string::npos) end = attrs.size();
            copy_text(label, std::string_view(attrs).substr(p + 4, end - p - 4));
            labelled = true;
            attrs.erase(p, end - p);
            break;
        }
    }
    float value = FMISSING;
    double v = 0;
    const std::size_t used = scan_decimal(attrs, &v);
    if (used > 0 && (used == attrs.size() || attrs[used] == ':')) {
        value = static_cast<float>(v);
        if (!labelled) copy_text(label, std::string_view(attrs).substr(0, used));
        // A number alone is also its colour; else the attributes follow the ':'.
        if (used < attrs.size()) attrs.erase(0, used + 1);
    }
    Gattribs &a = s.fill_attrib[n];
    CONT_fill_attrib_init(&a);
    ATTRIB_parse(attrs.c_str(), &a);
    s.cont_value[n] = value;
    copy_text(s.cont_label[n], label);
    ++s.fill_count;
}

// The colour a range end names: its first item, when it has no '=' and is a
// colour; -1 when it names none.
int range_colour(const char *text) {
    Items items(text, ':');
    if (items.n < 1 || items.v[0][0] == '\0' || std::strchr(items.v[0], '=') != nullptr) return -1;
    return CLR_get_ind(items.v[0]);
}

// Reads a contour level file into the band table; false when it cannot be
// opened.
bool read_level_file(Settings &s, const char *name) {
    std::string path;
    FILE *fp = FILE_open_table(name, &path);
    if (fp == nullptr) {
        MESS_print(M_WARN, "CONT_set_fill_colors: Unable to read contour level file: %s\n", path.c_str());
        return false;
    }
    std::string line;
    bool at_end = false;
    while (!at_end && s.fill_count < CONT_MAX_LEVELS) {
        line.clear();
        int c;
        while ((c = std::fgetc(fp)) != EOF && c != '\n')
            if (line.size() < LINE_CHARS) line.push_back(static_cast<char>(c));
        if (c == EOF) {
            at_end = true;
            if (line.empty()) break;
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty() || line[0] == '@' || line[0] == '#') continue;
        CONT_decode_fill_color(line.c_str());
    }
    FILE_close(fp);
    return true;
}

// Gives every entry without a value one: between valued entries by linear
// interpolation, after the last valued entry by its band width (1 when only
// one entry carries a value).
void fill_values(Settings &s, int count) {
    int last = 0;
    for (int i = 0; i < count; ++i)
        if (!is_missing(s.cont_value[static_cast<std::size_t>(i)])) last = i;
    int a = 0;
    for (int i = 1; i < last; ++i) {
        const auto iu = static_cast<std::size_t>(i);
        if (!is_missing(s.cont_value[iu])) {
            a = i;
            continue;
        }
        int b = i + 1;
        while (is_missing(s.cont_value[static_cast<std::size_t>(b)]))
            ++b;
        const float p = s.cont_value[static_cast<std::size_t>(a)];
        const float q = s.cont_value[static_cast<std::size_t>(b)];
        s.cont_value[iu] = p + static_cast<float>(i - a) * (q - p) / static_cast<float>(b - a);
    }
    const float top = s.cont_value[static_cast<std::size_t>(last)];
    const float width = last > 0 ? top - s.cont_value[static_cast<std::size_t>(last - 1)] : 1.0f;
    for (int i = last + 1; i < count; ++i)
        s.cont_value[static_cast<std::size_t>(i)] = top + static_cast<float>(i - last) * width;
}

// Sets the type from a type word of the options; false for another word.
bool type_word(std::string_view item, int *type) {
    Settings &s = settings();
    if (iequals(item, "value") || iequals(item, "gvalue"))
        *type = 17;
    else if (iequals(item, "cf"))
        *type = 15;
    else if (iequals(item, "lcf"))
        *type = 16;
    else if (iequals(item, "ln"))
        *type = 12;
    else if (iequals(item, "dln")) {
        *type = 12;
        s.dash = 1;
    } else if (iequals(item, "ndln")) {
        *type = 12;
        s.dash = -1;
    } else
        return false;
    return true;
}

} // namespace

// ---- Band table -------------------------------------------------------------------

int CONT_fill_attrib_init(Gattribs *attrib) {
    if (attrib == nullptr) return 0;
    attrib->width = FMISSING;
    attrib->height = FMISSING;
    attrib->expan = FMISSING;
    attrib->style = MISSING;
    attrib->fill_pat = MISSING;
    attrib->font = MISSING;
    return 0;
}

int CONT_decode_fill_color(const char *text) {
    Settings &s = settings();
    if (text == nullptr || s.fill_count < 0 || s.fill_count >= CONT_MAX_LEVELS) return 0;
    const std::string_view entry = skip_blanks(text);
    const std::size_t dash = entry.find('-');
    if (dash == std::string_view::npos || dash == 0) {
        decode_entry(s, entry);
        return 0;
    }
    // A colour range: one entry per colour index from A's colour to B's,
    // each with A's other attributes and no value.
    const std::string first(entry.substr(0, dash));
    const std::string second(entry.substr(dash + 1));
    Gattribs a = s.fill_attrib[static_cast<std::size_t>(s.fill_count)];
    CONT_fill_attrib_init(&a);
    ATTRIB_parse(first.c_str(), &a);
    const int end = range_colour(second.c_str());
    if (end < 0) {
        MESS_print(M_WARN, "CONT_decode_fill_color: No colour at the end of the range: %s\n",
                   std::string(entry).c_str());
        decode_entry(s, first);
        return 0;
    }
    const int step = end >= a.color ? 1 : -1;
    for (int c = a.color;; c += step) {
        const auto n = static_cast<std::size_t>(s.fill_count);
        s.fill_attrib[n] = a;
        s.fill_attrib[n].color = c;
        s.cont_value[n] = FMISSING;
        s.cont_label[n][0] = '\0';
        ++s.fill_count;
        if (c == end || s.fill_count >= CONT_MAX_LEVELS) break;
    }
    return 0;
}

int CONT_set_fill_colors(const char *string, int flag) {
    Settings &s = settings();
    if (s.color_fill_set) return -1;
    std::string list = string != nullptr ? string : "";
    if (!flag) {
        const char *res = RES_get("color_fill");
        if (res != nullptr && res[0] != '\0' && stricmp(res, "miss") != 0 && strnicmp(res, "def", 3) != 0)
            list = res;
    }
    if (list.empty()) {
        const int n = std::min(CLR_get_num_fill(), CONT_MAX_LEVELS);
        if (n > 0) {
            for (int i = 0; i < n; ++i) {
                Gattribs &a = s.fill_attrib[static_cast<std::size_t>(i)];
                ATTRIB_init(&a);
                a.color = i;
            }
            ATTRIB_init(&s.fill_attrib[static_cast<std::size_t>(n)]);
            s.fill_attrib[static_cast<std::size_t>(n)].color = -2;
            s.color_num = s.num_cont = n;
            s.cont_value[0] = FMISSING;
            s.color_fill_set = 1;
            return -1;
        }
        list = DEFAULT_FILL;
    }
    Items items(list.c_str(), ',');
    s.fill_count = 0;
    s.color_fill_set = 1;
    if (items.n == 1 && std::strchr(items.v[0], '-') == nullptr) {
        if (!read_level_file(s, items.v[0])) return 0;
    } else {
        for (int i = 0; i < items.n && s.fill_count < CONT_MAX_LEVELS; ++i)
            CONT_decode_fill_color(items.v[i]);
    }
    const int count = s.fill_count;
    const auto end = static_cast<std::size_t>(count);
    ATTRIB_init(&s.fill_attrib[end]);
    s.fill_attrib[end].color = -2;
    s.cont_value[end] = FMISSING;
    s.color_num = s.num_cont = count;
    if (count > 0 && !is_missing(s.cont_value[0])) {
        fill_values(s, count);
        s.intrvl = count >= 2 ? s.cont_value[1] - s.cont_value[0] : FMISSING;
        s.grid_min = s.cont_value[0];
        s.grid_max = s.cont_value[end - 1];
    } else {
        // The entries only colour the interval levels, cyclically.
        s.cont_value[0] = FMISSING;
    }
    return 0;
}

// ---- Options ------------------------------------------------------------------------

int CONT_param_decode() {
    const char *param = RES_get("plot_param");
    if (param == nullptr || param[0] == '\0') return 0;
    Settings &s = settings();
    Items items(param, ',');
    for (int i = 0; i < items.n; ++i) {
        const std::string_view item = skip_blanks(items.v[i]);
        if (istarts_with(item, "fill")) {
            const std::string v(keyword_value(item, 4));
            if (!v.empty()) s.fill_pat = ATTR_parse_fill_pat(v.c_str());
        } else if (istarts_with(item, "lab")) {
            decode_lab(keyword_value(item, 3));
        } else if (istarts_with(item, "rlab")) {
            s.rot_label = 1;
        } else if (istarts_with(item, "hlab")) {
            s.rot_label = 0;
        } else if (istarts_with(item, "maxl")) {
            int v = 0;
            if (lead_int(keyword_value(item, 4), &v) > 0) s.max_line_fact = v;
        } else if (istarts_with(item, "conmin")) {
            float v = 0;
            if (read_float(keyword_value(item, 6), &v)) s.min_cut = v;
        } else if (istarts_with(item, "conmax")) {
            float v = 0;
            if (read_float(keyword_value(item, 6), &v)) s.max_cut = v;
        } else if (iequals(item, "grid")) {
            s.draw_grid = 1;
        } else if (iequals(item, "mapcon")) {
            s.mapcon = 1;
        } else if (iequals(item, "conmap")) {
            s.mapcon = 0;
        }
    }
    return 0;
}

int CONT_format_decode_type(const char *format) {
    if (format == nullptr) return -1;
    Settings &s = settings();
    int type = MISSING;
    Items items(format, ':');
    // Where each item starts in the text, for "cof=" and the rest after it.
    std::size_t at = 0;
    for (int i = 0; i < items.n; at += std::strlen(items.v[i]) + 1, ++i) {
        const std::string_view item = items.v[i];
        float f = 0;
        if (type_word(item, &type)) {
        } else if (iequals(item, "nolr")) {
            FLAG_setplot(6, 0);
        } else if (iequals(item, "bar")) {
            s.plt_bar = 3;
        } else if (iequals(item, "nobar")) {
            s.plt_bar = -2;
        } else if (istarts_with(item, "rlab")) {
            s.rot_label = 1;
        } else if (istarts_with(item, "hlab")) {
            s.rot_label = 0;
        } else if (istarts_with(item, "labs")) {
            PLT_set_label_type(-1);
        } else if (istarts_with(item, "in=")) {
            if (read_float(item.substr(3), &f)) s.intrvl = f;
        } else if (istarts_with(item, "cb=")) {
            if (read_float(item.substr(3), &f)) s.base = f;
        } else if (istarts_with(item, "mn=")) {
            if (read_float(item.substr(3), &f)) s.min_cut = f;
        } else if (istarts_with(item, "mx=")) {
            if (read_float(item.substr(3), &f)) s.max_cut = f;
        } else if (istarts_with(item, "sc=")) {
            if (read_float(item.substr(3), &f)) s.scale = f;
        } else if (istarts_with(item, "xy=")) {
            const std::vector<std::string> w = split_words(item.substr(3));
            float x = 0, y = 0;
            if (w.size() >= 2 && read_float(w[0], &x) && read_float(w[1], &y)) {
                s.x_off = x * 0.012f;
                s.y_off = y * 0.02f;
            }
        } else if (istarts_with(item, "sk=")) {
            int v[4] = {0, 0, 0, 0};
            const int n = read_ints(item.substr(3), ':', v);
            if (n >= 1) {
                s.x_skip = v[0];
                s.y_skip = n >= 2 ? v[1] : v[0];
            }
        } else if (istarts_with(item, "cof=")) {
            // A colour list holds ':' itself: the whole rest of the text is
            // the list.
            CONT_set_fill_colors(format + at + 4, 1);
            break;
        } else if (istarts_with(item, "fi=")) {
            int v = 0;
            if (lead_int(item.substr(3), &v) > 0) s.fill_pat = v;
        } else if (item.starts_with('%')) {
            // Only a format of exactly one float conversion that fits is
            // safe to hand to printf with a grid value.
            if (item.size() < sizeof s.num_form && string_is_float_format(items.v[i]))
                copy_text(s.num_form, item);
            else
                MESS_print(M_WARN, "CONT_format_decode_type: Invalid number format: %s\n", items.v[i]);
        } else if (istarts_with(item, "lab=")) {
            decode_lab(item.substr(4));
        }
    }
    if (!is_missing(type)) CONT_set_type(type);
    return 0;
}

int CONT_format_decode_attrib(Gattribs *attrib) {
    if (attrib == nullptr) return 0;
    Items items(settings().format, ':');
    for (int i = 0; i < items.n; ++i) {
        const std::string_view item = items.v[i];
        float f = 0;
        int v = 0;
        if (istarts_with(item, "co=")) {
            if (item.size() > 3) attrib->color = CLR_get_ind(items.v[i] + 3);
        } else if (istarts_with(item, "wi=")) {
            if (read_float(item.substr(3), &f)) attrib->width = f;
        } else if (istarts_with(item, "st=")) {
            if (lead_int(item.substr(3), &v) > 0) attrib->style = v;
        } else if (istarts_with(item, "fp=")) {
            if (item.size() > 3) attrib->fill_pat = ATTR_parse_fill_pat(items.v[i] + 3);
        }
    }
    return 0;
}

// ---- Prompts ------------------------------------------------------------------------

int CONT_prompt_intrvl() {
    float v = FMISSING;
    if (RES_getval("con_interval", &v, CV_float) == 0)
        v = FLAG_batch() ? 0.0f : ZEQ_promptf("Enter the contour interval: ");
    settings().intrvl = v < 0 ? 0.0f : v;
    return 0;
}

int CONT_prompt_type() {
    Settings &s = settings();
    if (!is_missing(s.cont_type)) return s.cont_type;
    const int flag = FLAG_get(FLAG_PLOT_TYPE);
    int type = 12;
    if (flag >= 1) {
        type = flag;
    } else if (FLAG_batch()) {
        type = 15;
    } else {
        char answer[10] = "";
        ZEQ_prompts("Color fill (C) or Line (L) contours: ", answer, sizeof answer);
        const std::string_view a = answer;
        if (iequals(a, "none"))
            type = 99;
        else if (type_word(a, &type)) {
        } else if (!a.empty() && (a[0] == 'c' || a[0] == 'C' || a[0] == 'y' || a[0] == 'Y'))
            type = 15;
    }
    CONT_set_type(type);
    return s.cont_type;
}
