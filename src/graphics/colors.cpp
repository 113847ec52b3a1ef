// The named colour table read from colour table files and extended by "#"
// names, the mapping of colour names to colour indices, the names of fill
// patterns and marker types, and the attribute strings that fill a Gattribs.
// File-static state: the 256 entries, the number in use and the number of
// fill colours.
#include "colors.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/tools.h"
#include "runtime/zeq.h"

namespace {

constexpr int MAX_COLORS = 256;
constexpr std::size_t NAME_MAX_LEN = 19;
constexpr int LINE_LEN = 100;     // characters of a colour table line
constexpr int KEEP_NAMES = 16;    // entries whose names survive a new read
constexpr int PRINT_COLORS = 500; // index of the first print colour

struct RGB {
    std::string name;
    float red = 0;
    float grn = 0;
    float blu = 0;
};

std::array<RGB, MAX_COLORS> colors;
int num_colors = 0;
int num_fill = 0;

constexpr const char *print_names[] = {"pblk",  "pbblk", "ptblk", "pwht", "pbwht",
                                       "ptwht", "pgry",  "pbgry", "ptgry"};

float fraction(float f) {
    return std::isnan(f) ? 0 : std::clamp(f, 0.0f, 1.0f);
}

void set_entry(int ind, std::string_view name, float r, float g, float b) {
    RGB &e = colors[static_cast<std::size_t>(ind)];
    e.name = std::string(name.substr(0, NAME_MAX_LEN));
    e.red = fraction(r);
    e.grn = fraction(g);
    e.blu = fraction(b);
}

// The leading integer of a text (an optional sign, then digits), or false.
bool lead_int(std::string_view text, long *v) {
    std::size_t at = !text.empty() && text[0] == '+' ? 1 : 0;
    const char *begin = text.data() + at;
    const auto [p, ec] = std::from_chars(begin, text.data() + text.size(), *v);
    return ec == std::errc() && p != begin;
}

int lead_int_or_zero(const char *text) {
    long v = 0;
    if (text == nullptr || !lead_int(text, &v)) return 0;
    return static_cast<int>(std::clamp(v, -2147483647L, 2147483647L));
}

// One line of a colour table file. `running` is the file's running index,
// `offset` the index of the file's first entry, `top` one past the highest
// entry index reached; `fill_end` (null after the first file) takes the
// running index at an "END" line.
void table_line(std::string_view line, int offset, int &running, int &top, int *fill_end) {
    if (!line.empty() && line[0] == '#') return;
    if (iequals(line, "END")) {
        if (fill_end != nullptr) *fill_end = running;
        return;
    }
    int index = running;
    std::string_view fields = line;
    // A line led by an integer gives its entry's index; one that would fall
    // outside the table is ignored whole.
    const std::size_t end = std::min(line.find_first_of(" \t"), line.size());
    long explicit_index = 0;
    const std::string_view lead = line.substr(0, end);
    const auto [p, ec] = std::from_chars(lead.data(), lead.data() + lead.size(), explicit_index);
    if (!lead.empty() && ec != std::errc::invalid_argument && p == lead.data() + lead.size()) {
        if (ec != std::errc() || explicit_index < 0 || explicit_index > MAX_COLORS - 1) return;
        index = static_cast<int>(explicit_index);
        fields = line.substr(end);
    }
    const int ind = index + offset;
    if (ind > MAX_COLORS - 1) return;
    top = std::max(top, ind + 1);
    const std::string text(fields);
    char name[NAME_MAX_LEN + 1] = "";
    float r = 0, g = 0, b = 0;
    unsigned R = 0, G = 0, B = 0;
    if (std::sscanf(text.c_str(), "%19s %f %f %f", name, &r, &g, &b) == 4) {
        set_entry(ind, name, r, g, b);
    } else if (std::sscanf(text.c_str(), "%19s #%2X%2X%2X", name, &R, &G, &B) == 4) {
        set_entry(ind, name, static_cast<float>(R) / 255, static_cast<float>(G) / 255,
                  static_cast<float>(B) / 255);
    }
    // A line of neither form (a blank line too) takes its index and leaves
    // the entry as it was.
    running = index + 1;
}

// Reads one file of the table; false when it cannot be opened. The first
// file that opens starts a new table: the names past the first 16 go.
bool read_file(const char *file, int offset, int &top, int *fill_end, bool &started) {
    FILE *f = FILE_open_table(file, nullptr);
    if (f == nullptr) return false;
    if (!started) {
        for (int k = KEEP_NAMES; k < MAX_COLORS; ++k)
            colors[static_cast<std::size_t>(k)].name.clear();
        started = true;
    }
    char buf[LINE_LEN + 1];
    int running = 0;
    while (fgetnline(f, buf, LINE_LEN) != EOF) {
        trim_cr_string(buf);
        trim_string(buf);
        table_line(buf, offset, running, top, fill_end);
    }
    FILE_close(f);
    return true;
}

bool is_hex(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

bool is_dec(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// A new entry for a "#" name: two hexadecimal digits per component, or three
// decimal digits 0-255; -1 when the digits do not read so.
int add_hash_colour(std::string_view name) {
    const std::string_view digits = name.substr(1);
    const std::size_t w = digits.size() / 3;
    if (!(digits.size() == 6 ? is_hex(digits) : is_dec(digits))) return -1;
    std::array<float, 3> c{};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string_view part = digits.substr(i * w, w);
        int v = 0;
        std::from_chars(part.data(), part.data() + part.size(), v, w == 2 ? 16 : 10);
        if (v > 255) return -1;
        c[i] = static_cast<float>(v) / 255;
    }
    const std::string whole(name);
    return CLR_add(whole.c_str(), c[0], c[1], c[2]);
}

// The number after a one-letter or keyword item; false when there is none.
bool item_float(const char *text, Gfloat *out) {
    double v = 0;
    if (scan_decimal(text, &v) == 0) return false;
    *out = static_cast<Gfloat>(v);
    return true;
}

bool item_int(const char *text, Gint *out) {
    long v = 0;
    if (!lead_int(text, &v)) return false;
    *out = static_cast<Gint>(std::clamp(v, -2147483647L, 2147483647L));
    return true;
}

int line_style(const char *word) {
    static constexpr const char *styles[] = {"sol", "dsh", "lsdsh", "llsdsh", "dot"};
    for (int i = 0; i < 5; ++i)
        if (stricmp(word, styles[i]) == 0) return i + 1;
    return lead_int_or_zero(word);
}

void parse_item(const char *item, Gattribs *a) {
    const std::string_view s(item);
    if (istarts_with(s, "co=")) {
        a->color = CLR_get_ind(item + 3);
    } else if (istarts_with(s, "wi=")) {
        item_float(item + 3, &a->width);
    } else if (istarts_with(s, "st=")) {
        a->style = line_style(item + 3);
    } else if (istarts_with(s, "fo=")) {
        a->font = gget_font_index(item + 3);
    } else if (istarts_with(s, "fi=") || istarts_with(s, "fp=")) {
        a->fill_pat = ATTR_parse_fill_pat(item + 3);
    } else if (istarts_with(s, "sc=") || istarts_with(s, "hi=")) {
        item_float(item + 3, &a->height);
    } else if (istarts_with(s, "te=")) {
        item_float(item + 3, &a->expan);
    } else {
        switch (item[0]) {
        case 'w':
            item_float(item + 1, &a->width);
            break;
        case 's':
            item_int(item + 1, &a->style);
            break;
        case 't':
            item_int(item + 1, &a->font);
            break;
        case 'f':
            if (item[1] == 'M')
                a->fill_pat = MISSING;
            else
                item_int(item + 1, &a->fill_pat);
            break;
        case 'h':
            item_float(item + 1, &a->height);
            break;
        case 'e':
            item_float(item + 1, &a->expan);
            break;
        default:
            break;
        }
    }
}

} // namespace

// ---- Colour table ------------------------------------------------------------------

int CLR_read_table(const char *filename) {
    const char *color_table = RES_get("color_table");
    const bool from_resource =
        (filename == nullptr || *filename == '\0') && color_table != nullptr && *color_table != '\0';
    const char *list = filename != nullptr && *filename != '\0' ? filename
                       : from_resource                          ? color_table
                                                                : "zeq.clr";
    int n = 0;
    char **files = nullptr;
    parse_string(list, ',', &n, &files);
    int top = 0;
    int offset = 0;
    bool started = false;
    for (int i = 0; i < n; ++i) {
        int fill_end = -1;
        if (!read_file(files[i], offset, top, i == 0 ? &fill_end : nullptr, started)) continue;
        num_colors = top;
        if (i == 0 && from_resource) num_fill = fill_end >= 0 ? fill_end : top;
        offset = num_colors;
    }
    free_parsed_array(n, files);
    return 0;
}

int CLR_add(const char *name, float red, float grn, float blu) {
    if (num_colors >= MAX_COLORS) return -1;
    const int ind = num_colors;
    set_entry(ind, name != nullptr ? name : "", red, grn, blu);
    ++num_colors;
    if (gchk_graphics()) GPH_set_color(ind, red, grn, blu);
    return ind;
}

int CLR_get_ind(const char *name) {
    if (name == nullptr || *name == '\0') return -1;
    if (stricmp(name, "end") == 0) return -2;
    if (stricmp(name, "none") == 0 || stricmp(name, "off") == 0 || stricmp(name, "back") == 0) return -1;
    for (int i = 0; i < 9; ++i)
        if (stricmp(name, print_names[i]) == 0) return PRINT_COLORS + i;
    for (int i = 0; i < num_colors; ++i)
        if (iequals(colors[static_cast<std::size_t>(i)].name, name)) return i;
    const std::string_view s(name);
    if (s[0] == '#' && (s.size() == 7 || s.size() == 10)) return add_hash_colour(s);
    if (std::isdigit(static_cast<unsigned char>(s[0]))) return lead_int_or_zero(name);
    return -1;
}

const char *CLR_get_name(int ind) {
    if (num_colors == 0) return "";
    return colors[static_cast<std::size_t>(std::clamp(ind, 0, num_colors - 1))].name.c_str();
}

int CLR_get_rgb(int ind, float *red, float *grn, float *blu) {
    RGB none;
    const RGB &e =
        num_colors == 0 ? none : colors[static_cast<std::size_t>(std::clamp(ind, 0, num_colors - 1))];
    if (red != nullptr) *red = e.red;
    if (grn != nullptr) *grn = e.grn;
    if (blu != nullptr) *blu = e.blu;
    return 0;
}

int CLR_get_num() {
    return num_colors;
}

int CLR_get_num_fill() {
    return num_fill;
}

int CLR_clear_table() {
    num_colors = 0;
    return 0;
}

// ---- Names of fill patterns and markers ------------------------------------------------

int ATTR_parse_fill_pat(const char *str) {
    if (str == nullptr) return 0;
    struct Name {
        const char *a;
        const char *b;
        int pat;
    };
    static constexpr Name names[] = {
        {"sol", nullptr, 0}, {"st", nullptr, 1},  {"ost", nullptr, 2}, {"rst", nullptr, 3},
        {"lst", nullptr, 4}, {"vln", "||", 5},    {"dlr", "\\\\", 6},  {"drl", "//", 7},
        {"hln", "--", 8},    {"hat", "XX", 9},    {"clr", "0%", 10},   {"1%", nullptr, 11},
        {"2%", nullptr, 12}, {"3%", nullptr, 13}, {"4%", nullptr, 14}, {"5%", nullptr, 15},
        {"6%", nullptr, 16}, {"7%", nullptr, 17}, {"8%", nullptr, 18}, {"9%", nullptr, 19},
    };
    for (const Name &n : names)
        if (stricmp(str, n.a) == 0 || (n.b != nullptr && stricmp(str, n.b) == 0)) return n.pat;
    return lead_int_or_zero(str);
}

int ATTR_parse_marker(const char *str) {
    if (str == nullptr) return 0;
    struct Name {
        const char *prefix;
        int type;
    };
    static constexpr Name names[] = {
        {"pnt", 1},  {".", 1},      {"plus", 2}, {"+", 2},    {"star", 3}, {"*", 3},
        {"crcl", 4}, {"circle", 4}, {"o", 4},    {"x", 5},    {"sqr", 6},  {"square", 6},
        {"#", 6},    {"tri", 7},    {"^", 7},    {"itri", 9}, {"v", 9},    {"dot", 8},
    };
    for (const Name &n : names)
        if (istarts_with(str, n.prefix)) return n.type;
    return lead_int_or_zero(str);
}

// ---- Attribute strings --------------------------------------------------------------

int ATTRIB_parse(const char *str, Gattribs *attrib) {
    if (str == nullptr || *str == '\0' || attrib == nullptr) return 0;
    int n = 0;
    char **items = nullptr;
    parse_string(str, ':', &n, &items);
    int first = 0;
    if (n > 0 && items[0][0] != '\0' && std::strchr(items[0], '=') == nullptr) {
        attrib->color = CLR_get_ind(items[0]);
        first = 1;
    }
    for (int i = first; i < n; ++i)
        if (items[i][0] != '\0') parse_item(items[i], attrib);
    free_parsed_array(n, items);
    return 0;
}

int ATTRIB_get(const char *resrc, const char *def, Gattribs *attrib) {
    ATTRIB_parse(def, attrib);
    const char *value = resrc != nullptr ? RES_get(resrc) : nullptr;
    if (value == nullptr) return 0;
    ATTRIB_parse(value, attrib);
    return 1;
}

int ATTRIB_init(Gattribs *attrib) {
    if (attrib != nullptr) *attrib = {MISSING, FMISSING, FMISSING, FMISSING, MISSING, MISSING, MISSING};
    return 0;
}

int ATTRIB_update(Gattribs *attr1, const Gattribs *attr2) {
    if (attr1 == nullptr || attr2 == nullptr) return 0;
    if (attr2->color != MISSING) attr1->color = attr2->color;
    if (attr2->width != FMISSING) attr1->width = attr2->width;
    if (attr2->height != FMISSING) attr1->height = attr2->height;
    if (attr2->expan != FMISSING) attr1->expan = attr2->expan;
    if (attr2->style != MISSING) attr1->style = attr2->style;
    if (attr2->fill_pat != MISSING) attr1->fill_pat = attr2->fill_pat;
    if (attr2->font != MISSING) attr1->font = attr2->font;
    return 0;
}

int ATTRIB_print(const Gattribs *a) {
    if (a == nullptr) return 0;
    MESS_print(M_PRINT, "Color: %d\n", a->color);
    MESS_print(M_PRINT, "Style: %d\n", a->style);
    MESS_print(M_PRINT, "Height: %5.2f\n", static_cast<double>(a->height));
    MESS_print(M_PRINT, "Width: %5.2f\n", static_cast<double>(a->width));
    MESS_print(M_PRINT, "Expansion: %5.2f\n", static_cast<double>(a->expan));
    MESS_print(M_PRINT, "Fill: %d\n", a->fill_pat);
    MESS_print(M_PRINT, "Font: %d\n", a->font);
    return 0;
}
