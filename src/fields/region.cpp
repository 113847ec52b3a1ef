// Domains and their texts, the region file and the region prompt.
// File-static state: the station priority levels set by the last decoded
// domain, the region menu rows and their texts, the file they came from, and
// whether the region is still to be asked for.
#include "fields/region.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fields/cty_tool.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/menu.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "runtime/tools.h"

namespace {

constexpr const char *REGION_FILE = "zeq.reg";
constexpr const char *STATION_FILE = "sao.cty";

constexpr int MAX_NEST = 8;            // region texts that name further regions
constexpr int MAX_REGIONS = 19;        // menu rows read from a region file
constexpr int MENU_ROWS = 23;          // rows of the menu table, return entry and end included
constexpr int MAX_TRIES = 5;           // answers at the region prompt
constexpr std::size_t ABBR_LEN = 5;    // region abbreviation
constexpr std::size_t DESC_LEN = 20;   // description shown in the menu
constexpr std::size_t DOMAIN_LEN = 79; // domain text of a region line
constexpr int LINE_LEN = 500;          // region file line

// Built-in size and spacing of a region and of the short domain forms.
constexpr int DEF_NX = 25;
constexpr int DEF_NY = 17;
constexpr float DEF_DX = 1.2f;

int priority = 3;  // stations with a priority number up to this are used
int loc_prior = 4; // priority number of a report whose station is unknown

// ---- Region menu state ----

struct RowText {
    std::array<char, ABBR_LEN + 1> abbr{};
    std::array<char, DESC_LEN + 1> desc{};
};

std::array<RowText, MAX_REGIONS + 1> row_text;
std::array<MENU_item, MENU_ROWS> reg_menu = [] {
    std::array<MENU_item, MENU_ROWS> menu{};
    menu[0] = MENU_item{"Return to previous menu", "back", 0, {1}};
    return menu;
}();
int reg_menu_type = 0;
int num_regs = 0;      // rows in use after the last load, row 0 included; 0 not loaded
std::string menu_file; // the region file the menu rows come from
int prompt_region = 1; // 0 once a domain came from a resource or the batch default

// ---- Small helpers ----

// The value of a resource that is set and not empty, else null.
const char *res_value(const char *name) {
    const char *value = RES_get(name);
    return value && *value ? value : nullptr;
}

struct FileCloser {
    void operator()(FILE *f) const { FILE_close(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Opens a region file along resource file_path; without that resource, a
// file missing from the working directory is taken from the system's data
// directory. Standard input is never a region file (the region prompt reads
// it), and neither is a command, a device or a FIFO, whoever named it.
FilePtr open_region_file(const char *file, const char *caller) {
    if (!file) file = "";
    const std::string path = FILE_table_path(file);
    FILE *f = FILE_is_stdio(file) ? nullptr : FILE_open_regular(path.c_str(), caller);
    if (!f) MESS_print(M_DEBUG_D, "Unable to open region file: %s\n", path.c_str());
    return FilePtr(f);
}

// The next line (the rest of an overlong line is dropped); false at the end.
bool next_line(FILE *f, std::string &line) {
    char buf[LINE_LEN + 1];
    const int n = fgetnline(f, buf, LINE_LEN);
    if (n == EOF) return false;
    if (n >= LINE_LEN) fskipline(f);
    line.assign(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    return true;
}

// A whole token read as an int.
bool whole_int(const std::string &s, int &value) {
    if (s.empty()) return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end || errno || v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

// One line of a region file: ABBR DESC DISP DOMAIN.
struct RegionLine {
    std::vector<std::string> tok;
    bool region = false; // the four tokens are there and DISP is a number
    int disp = 0;
};

// Reads the next line that is neither blank nor a comment; false at the end.
bool next_region_line(FILE *f, RegionLine &out) {
    std::string line;
    while (next_line(f, line)) {
        out.tok = split_words(line);
        if (out.tok.empty() || out.tok[0][0] == '#') continue;
        out.region = out.tok.size() >= 4 && whole_int(out.tok[2], out.disp);
        return true;
    }
    return false;
}

// ---- Domain text fields ----

enum Field { F_END, F_PROJ, F_PLON, F_CLAT, F_CLON, F_NX, F_NY, F_DX, F_DY, F_ID, F_REG };

enum class Read { ok, empty, bad };

Read read_float(const char *item, float &value) {
    const char *p = item;
    while (*p && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (!*p) return Read::empty;
    char *end = nullptr;
    const float v = std::strtof(p, &end);
    if (end == p || !std::isfinite(v)) return Read::bad;
    value = v;
    return Read::ok;
}

Read read_int(const char *item, int &value) {
    const char *p = item;
    while (*p && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (!*p) return Read::empty;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(p, &end, 10);
    if (end == p || errno || v < INT_MIN || v > INT_MAX) return Read::bad;
    value = static_cast<int>(v);
    return Read::ok;
}

// A ':'-part of the projection item, read as atof reads it (no number gives
// 0); false only for a value that is not finite.
bool read_part(const char *part, float &value) {
    const double v = std::strtod(part, nullptr);
    if (!std::isfinite(v) || std::fabs(v) > 3.0e38) return false;
    value = static_cast<float>(v);
    return true;
}

// The projection item: a projection word with optional ':'-parts
// [e:]plat:plon:p0:p1:p2:p3, or word:plon.
bool read_proj(const char *item, Domain &d) {
    const int proj = DOM_proj_str(item);
    if (proj == -1) {
        d.proj = 1;
        return false;
    }
    d.proj = proj;
    int n = 0;
    char **parts = nullptr;
    parse_string(item, ':', &n, &parts);
    bool ok = true;
    if (n == 2) {
        ok = read_part(parts[1], d.plon);
    } else if (n > 2) {
        int i = 1;
        if (std::strcmp(parts[1], "e") == 0) {
            d.ellipse = 1;
            ++i;
        }
        if (i < n) ok = read_part(parts[i++], d.plat) && ok;
        if (i < n) ok = read_part(parts[i++], d.plon) && ok;
        for (int k = 0; k < 4 && i < n; ++k, ++i)
            if (!string_is_blank(parts[i])) ok = read_part(parts[i], d.param[k]) && ok;
    }
    free_parsed_array(n, parts);
    return ok;
}

bool has_id(const char *item) {
    return strnicmp(item, "id:", 3) == 0;
}

// "id:STATION" or "id:FILE:STATION": the station's position is the centre.
bool read_station(const char *item, Domain &d) {
    const std::string rest(item + 3);
    std::string file = STATION_FILE;
    std::string id = rest;
    if (const std::size_t colon = rest.find(':'); colon != std::string::npos) {
        file = rest.substr(0, colon);
        id = rest.substr(colon + 1);
    }
    float lat = 0.0f;
    float lon = 0.0f;
    if (!CTY_get_loc(file.c_str(), id.c_str(), &lat, &lon)) return false;
    d.clat = lat;
    d.clon = lon;
    return true;
}

int decode(const char *str, Domain *domain, int depth);

// A region text found in a file, decoded one level deeper.
bool read_nested(const char *text, Domain &d, int depth) {
    return decode(text, &d, depth + 1) != -1;
}

// A region item: "fi:FILE", "FILE:", "FILE:NAME", or a name of the region
// file, a built-in region or a projection word alone.
bool read_region(const char *item, Domain &d, int depth) {
    if (std::strncmp(item, "id:", 3) == 0) return false;
    char text[DOMAIN_LEN + 1];
    if (std::strncmp(item, "fi:", 3) == 0)
        return DOM_search_file(item + 3, nullptr, text, sizeof text) && read_nested(text, d, depth);
    if (const char *colon = std::strchr(item, ':')) {
        const std::string file(item, colon);
        if (file.empty()) return false;
        if (!colon[1]) return DOM_read_menu(file.c_str()) == 1;
        return DOM_search_file(file.c_str(), colon + 1, text, sizeof text) && read_nested(text, d, depth);
    }
    if (DOM_search_file(REGION_FILE, item, text, sizeof text)) return read_nested(text, d, depth);
    if (DOM_get_def_region(item, &d)) return true;
    // A projection word alone keeps the built-in size and spacing; a size
    // command needs its size.
    const int proj = DOM_proj_str(item);
    d.proj = proj == 51 ? -1 : proj;
    return d.proj != -1;
}

// Latitudes mean latitudes only for the map projections (and a zoom centre).
bool latitudes_valid(const Domain &d) {
    const bool geo = d.proj == MISSING || is_map_proj(d.proj) || d.proj == 50;
    if (!geo) return true;
    auto bad = [](float lat) { return lat != FMISSING && std::fabs(lat) > 90.0f; };
    return !bad(d.clat) && !bad(d.plat);
}

// Whether a fitted domain can be drawn or gridded: a centre, a size of at
// least one point each way (and not beyond what a grid can hold) and a
// spacing above 0; map longitudes within a turn either way. A size command
// needs only its size; a region text that only loaded a region menu leaves
// everything missing and is no domain to check.
bool domain_usable(const Domain &d, bool region_item) {
    const bool menu_load = region_item && d.proj == MISSING && d.clat == FMISSING && d.clon == FMISSING &&
                           d.nx == MISSING && d.ny == MISSING && d.dx == FMISSING && d.dy == FMISSING;
    if (menu_load) return true;
    if (d.proj == -1 || d.proj == MISSING) return false;
    const bool size_ok = d.nx >= 1 && d.ny >= 1 && d.nx <= DOM_MAX_SIDE && d.ny <= DOM_MAX_SIDE &&
                         static_cast<long long>(d.nx) * d.ny <= DOM_MAX_POINTS;
    if (!size_ok) return false;
    if (d.proj == 51) return true;
    auto given = [](float v) { return v != FMISSING && std::isfinite(v); };
    if (!given(d.clat) || !given(d.clon)) return false;
    if (!given(d.dx) || !given(d.dy) || !(d.dx > 0.0f) || !(d.dy > 0.0f)) return false;
    const bool geo = is_map_proj(d.proj) || d.proj == 50;
    auto lon_bad = [](float lon) { return lon != FMISSING && std::fabs(lon) > 360.0f; };
    if (geo && (lon_bad(d.clon) || lon_bad(d.plon))) return false;
    return latitudes_valid(d);
}

// Tries one positional pattern on the split text; 0 when it fits.
int set_params(int argc, char **argv, Domain &d, const std::array<Field, 8> &pattern, int depth) {
    std::vector<Field> fields;
    for (Field f : pattern) {
        if (f == F_END) break;
        // A station in the centre's place stands for both coordinates.
        if (f == F_CLON && !fields.empty() && fields.back() == F_CLAT &&
            static_cast<int>(fields.size()) <= argc && has_id(argv[fields.size() - 1]))
            continue;
        fields.push_back(f);
    }
    if (static_cast<int>(fields.size()) != argc) return -1;
    DOM_init(&d);
    // "miss" or "none" first stands for a domain with every field missing:
    // without a centre it cannot be drawn, so no form fits it.
    if (stricmp(argv[0], "miss") == 0 || stricmp(argv[0], "none") == 0) return -1;

    for (int i = 0; i < argc; ++i) {
        const char *item = argv[i];
        Read r = Read::ok;
        switch (fields[i]) {
        case F_PROJ:
            if (!read_proj(item, d)) return -1;
            break;
        case F_PLON:
            r = read_float(item, d.plon);
            break;
        case F_CLAT:
            if (has_id(item)) {
                if (!read_station(item, d)) return -1;
            } else {
                r = read_float(item, d.clat);
            }
            break;
        case F_CLON:
            r = read_float(item, d.clon);
            break;
        case F_NX:
            r = read_int(item, d.nx);
            break;
        case F_NY:
            r = read_int(item, d.ny);
            break;
        case F_DX:
            r = read_float(item, d.dx);
            break;
        case F_DY:
            r = read_float(item, d.dy);
            break;
        case F_ID:
            if (!has_id(item) || !read_station(item, d)) return -1;
            break;
        case F_REG:
            if (!read_region(item, d, depth)) return -1;
            break;
        case F_END:
            break;
        }
        if (r == Read::bad) return -1;
    }
    return latitudes_valid(d) ? 0 : -1;
}

void size_25x17(Domain &d) {
    d.nx = DEF_NX;
    d.ny = DEF_NY;
}

// What a fitting pattern fills in.
enum Default : unsigned {
    D_NONE = 0,
    D_PS = 1,     // proj 1
    D_SIZE = 2,   // 25 x 17
    D_DY_DX = 4,  // dy = dx
    D_DX_1_2 = 8, // dx = dy = 1.2
    D_CMD = 16,   // size: nx, ny from the centre; zoom: 25 x 17 at 1.0; else 25 x 17 at 1.2
};

struct Pattern {
    std::array<Field, 8> fields;
    const char *trace;
    unsigned defaults;
};

// The positional forms in the order tried; the first that fits wins.
constexpr Pattern patterns[] = {
    {{F_PROJ, F_NX, F_NY}, "proj,nx,ny", D_NONE},
    {{F_PROJ, F_PLON, F_CLAT, F_CLON, F_NX, F_NY, F_DX, F_DY}, "proj,plon,clat,clon,nx,ny,dx,dy", D_NONE},
    {{F_PROJ, F_CLAT, F_CLON, F_NX, F_NY, F_DX, F_DY}, "proj,clat,clon,nx,ny,dx,dy", D_NONE},
    {{F_PROJ, F_PLON, F_CLAT, F_CLON, F_DX, F_DY}, "proj,plon,clat,clon,dx,dy", D_SIZE},
    {{F_PROJ, F_CLAT, F_CLON, F_NX, F_NY, F_DX}, "proj,clat,clon,nx,ny,dx", D_DY_DX},
    {{F_CLAT, F_CLON, F_NX, F_NY, F_DX, F_DY}, "clat,clon,nx,ny,dx,dy", D_PS},
    {{F_PROJ, F_CLAT, F_CLON, F_DX, F_DY}, "proj,clat,clon,dx,dy", D_SIZE},
    {{F_CLAT, F_CLON, F_NX, F_NY, F_DX}, "clat,clon,nx,ny,dx", D_PS | D_DY_DX},
    {{F_PROJ, F_CLAT, F_CLON, F_DX}, "proj,clat,clon,dx", D_SIZE | D_DY_DX},
    {{F_CLAT, F_CLON, F_NX, F_NY}, "clat,clon,nx,ny", D_PS | D_DX_1_2},
    {{F_CLAT, F_CLON, F_DX}, "clat,clon,dx", D_PS | D_SIZE | D_DY_DX},
    {{F_PROJ, F_CLAT, F_CLON}, "proj,clat,clon", D_CMD},
    {{F_CLAT, F_CLON}, "clat,clon", D_PS | D_SIZE | D_DX_1_2},
    {{F_ID}, "id:###", D_PS | D_SIZE | D_DX_1_2},
    {{F_REG}, "reg:REG", D_NONE},
};

// A float truncated to an int, clamped to the int range.
int truncated(float v) {
    if (v == FMISSING) return MISSING;
    if (v >= static_cast<float>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<float>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

void apply_defaults(unsigned defaults, Domain &d) {
    if (defaults & D_PS) d.proj = 1;
    if (defaults & D_SIZE) size_25x17(d);
    if (defaults & D_DY_DX) d.dy = d.dx;
    if (defaults & D_DX_1_2) d.dx = d.dy = DEF_DX;
    if (defaults & D_CMD) {
        if (d.proj == 51) {
            d.nx = truncated(d.clat);
            d.ny = truncated(d.clon);
            d.clat = d.clon = FMISSING;
        } else {
            size_25x17(d);
            d.dx = d.dy = d.proj == 50 ? 1.0f : DEF_DX;
        }
    }
}

int decode(const char *str, Domain *domain, int depth) {
    DOM_init(domain);
    if (!str || !*str || stricmp(str, "miss") == 0) return MISSING;
    if (depth > MAX_NEST) {
        MESS_print(M_WARN, "DOM_decode: Region definitions nested deeper than %d levels at: %s\n", MAX_NEST,
                   str);
        return -1;
    }

    int argc = 0;
    char **argv = nullptr;
    int result = -1;
    if (parse_string(str, ',', &argc, &argv) == 0) {
        MESS_print(M_DEBUG_C, "******** PARSING DOMAIN: %d %s\n", argc, str);
        for (const Pattern &p : patterns) {
            if (&p == &patterns[0] && stricmp(argv[0], "size") != 0) continue;
            if (set_params(argc, argv, *domain, p.fields, depth) != 0) continue;
            apply_defaults(p.defaults, *domain);
            // A form whose domain cannot be drawn does not fit.
            const bool region_item = p.fields[0] == F_REG;
            if (!domain_usable(*domain, region_item)) continue;
            MESS_print(M_DEBUG_C, "%2d %s\n", 0, p.trace);
            result = region_item ? 2 : 1;
            break;
        }
    }
    free_parsed_array(argc, argv);

    // Only the outermost decode reports and records; nested region texts
    // report through it.
    if (depth > 0) return result;
    if (result == -1) MESS_print(M_WARN, "DOM_decode: Invalid plot domain\n");
    FLAG_set(FLAG_DOMAIN, result);
    FILE_set_key('r', str);
    DOM_set_base_prior(static_cast<float>((static_cast<double>(domain->ny) - 1.0) * domain->dy));
    return result;
}

// Decodes a domain the program was given; an invalid one ends the program.
int decode_given(const char *text, Domain *domain) {
    DOM_init(domain);
    const int r = DOM_decode(text, domain);
    if (r == -1) {
        MESS_print(M_ERROR, "Invalid domain\n");
        ZEQ_exit(43);
    }
    return r;
}

// A decode that gave a place to plot (a loaded region menu gives none).
bool plottable(int result, const Domain *domain) {
    return result > 0 && domain->proj != MISSING;
}

// The region text of a menu row's abbreviation: a row of a menu loaded from
// another region file is looked up in that file.
std::string row_region(const char *abbr) {
    if (menu_file == REGION_FILE || menu_file.find(':') != std::string::npos) return abbr;
    return menu_file + ":" + abbr;
}

// The region text of the first menu row; empty when the menu has no rows.
std::string first_region() {
    return num_regs > 1 && reg_menu[1].name ? row_region(reg_menu[1].abbr) : std::string();
}

const char *proj_name(int proj) {
    switch (proj) {
    case 1:
        return "pstereo";
    case 2:
        return "latlon";
    case 3:
        return "merc";
    case 4:
        return "lamb";
    case 5:
        return "ortho";
    case 6:
        return "gnom";
    case 7:
        return "moll";
    case 8:
        return "lambaz";
    case 9:
        return "sat";
    case 20:
        return "xy";
    case 21:
        return "xz";
    case 22:
        return "xlogp";
    case 23:
        return "polar";
    case 24:
        return "cat";
    case 40:
        return "skewt";
    case 41:
        return "stuve";
    case 42:
        return "ema";
    case 50:
        return "zoom";
    case 99:
        return "pixel";
    default:
        return "";
    }
}

template <typename... Args> std::string format(const char *fmt, Args... args) {
    const int n = std::snprintf(nullptr, 0, fmt, args...);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), fmt, args...);
    s.resize(static_cast<std::size_t>(n));
    return s;
}

bool same_ref(float p1, float p2, float c1, float c2) {
    return p1 == p2 || (p1 == FMISSING && p2 == c1) || (p2 == FMISSING && p1 == c2);
}

} // namespace

// ---- The domain record and its text ------------------------------------------

int DOM_init(Domain *domain) {
    if (!domain) return 0;
    domain->proj = MISSING;
    domain->plat = domain->plon = FMISSING;
    for (float &p : domain->param)
        p = FMISSING;
    domain->clat = domain->clon = FMISSING;
    domain->dx = domain->dy = FMISSING;
    domain->nx = domain->ny = MISSING;
    domain->ellipse = 0;
    return 0;
}

int DOM_comp_proj(const Domain *dom1, const Domain *dom2) {
    if (!dom1 || !dom2) return 0;
    if (dom1->proj != dom2->proj) return 0;
    if (!same_ref(dom1->plat, dom2->plat, dom1->clat, dom2->clat)) return 0;
    if (!same_ref(dom1->plon, dom2->plon, dom1->clon, dom2->clon)) return 0;
    for (int i = 0; i < 5; ++i)
        if (dom1->param[i] != dom2->param[i]) return 0;
    return dom1->ellipse == dom2->ellipse;
}

int DOM_comp(const Domain *dom1, const Domain *dom2) {
    if (!DOM_comp_proj(dom1, dom2)) return 0;
    return dom1->clat == dom2->clat && dom1->clon == dom2->clon && dom1->dx == dom2->dx &&
           dom1->dy == dom2->dy && dom1->nx == dom2->nx && dom1->ny == dom2->ny;
}

int DOM_proj_str(const char *proj) {
    if (!proj) return -1;
    struct Word {
        const char *prefix;
        int len;
        int number;
    };
    static constexpr Word words[] = {
        {"ll", 2, 2},     {"lat", 3, 2},    {"polar", 5, 1},  {"ps", 2, 1},    {"sat", 3, 9},
        {"lamb", 4, 4},   {"lc", 2, 4},     {"la", 2, 8},     {"gn", 2, 6},    {"or", 2, 5},
        {"mo", 2, 7},     {"me", 2, 3},     {"pix", 3, 99},   {"xy", 2, 20},   {"xlogy", 5, 22},
        {"xlogp", 5, 22}, {"cat", 3, 24},   {"skewt", 5, 40}, {"ema", 3, 42},  {"teph", 4, 43},
        {"rteph", 5, 44}, {"therm", 5, 40}, {"stuve", 5, 41}, {"hodo", 4, 23}, {"vert", 4, 22},
        {"xp", 4, 25},    {"zoom", 4, 50},  {"size", 4, 51},
    };
    for (const Word &w : words)
        if (strnicmp(proj, w.prefix, w.len) == 0) return w.number;
    if (stricmp(proj, "miss") == 0) return MISSING;
    return -1;
}

int DOM_decode(const char *str, Domain *domain) {
    if (!domain) return -1;
    return decode(str, domain, 0);
}

int DOM_get_def_region(const char *region, Domain *domain) {
    if (!domain) return 0;
    domain->proj = 1;
    size_25x17(*domain);
    domain->dx = domain->dy = DEF_DX;
    if (!region) return 0;

    struct Builtin {
        const char *name;
        float clat;
        float clon;
        float dx;
    };
    static constexpr Builtin regions[] = {
        {"us", 39.0f, -97.0f, 2.3f},  {"ne", 42.0f, -76.0f, 0.9f},  {"at", 37.0f, -82.0f, 0.9f},
        {"se", 31.0f, -88.0f, 1.1f},  {"mw", 43.0f, -93.0f, 1.1f},  {"sp", 32.5f, -100.0f, 1.2f},
        {"nw", 44.0f, -112.0f, 1.0f}, {"sw", 37.0f, -112.0f, 1.0f},
    };
    bool known = false;
    for (const Builtin &b : regions) {
        if (stricmp(region, b.name) == 0) {
            domain->clat = b.clat;
            domain->clon = b.clon;
            domain->dx = domain->dy = b.dx;
            known = true;
            break;
        }
    }
    if (!known && stricmp(region, "var") == 0) {
        domain->clat = ZEQ_promptf("Enter the central latitude: ");
        domain->clon = ZEQ_promptf("Enter the central longitude: ");
        // In batch mode nobody answers: the domain has no centre and is invalid.
        if (FLAG_batch()) domain->clat = domain->clon = FMISSING;
        known = true;
    }
    if (!known) return 0;
    domain->plon = domain->clon;
    DOM_set_base_prior(static_cast<float>(domain->ny - 1) * domain->dy);
    FLAG_set(FLAG_DOMAIN, 1);
    return 1;
}

int DOM_print(M_type mess, const Domain *domain) {
    if (!domain || !MESS_check(mess)) return 0;
    std::string line = proj_name(domain->proj);
    if (domain->ellipse) line += ":e";
    for (float v : {domain->plat, domain->plon, domain->param[0], domain->param[1], domain->param[2]})
        line += v == FMISSING ? std::string(":") : format(":%3.3f", static_cast<double>(v));
    line += format(",%3.3f,%3.3f,%d,%d,%4.4f,%4.4f\n", static_cast<double>(domain->clat),
                   static_cast<double>(domain->clon), domain->nx, domain->ny, static_cast<double>(domain->dx),
                   static_cast<double>(domain->dy));
    MESS_print(mess, "%s", line.c_str());
    return 0;
}

float DOM_aspect(const Domain *domain) {
    if (!domain || domain->nx <= 1 || domain->ny <= 1) return 1.0f;
    return static_cast<float>(domain->nx - 1) / static_cast<float>(domain->ny - 1);
}

// ---- Station priority level ----------------------------------------------------

int DOM_set_base_prior(float size) {
    priority = size > 50.0f   ? 1
               : size > 25.0f ? 2
               : size > 12.5f ? 3
               : size > 6.25f ? 4
               : size > 3.0f  ? 5
                              : 6;
    if (const char *adjust = res_value("stat_prior")) {
        auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
        if (adjust[0] == '+' && digit(adjust[1]))
            priority += adjust[1] - '0';
        else if (adjust[0] == '-' && digit(adjust[1]))
            priority -= adjust[1] - '0';
        else if (digit(adjust[0]))
            priority = adjust[0] - '0';
    }
    return 0;
}

int DOM_set_prior(int prior) {
    priority = prior;
    return 0;
}

int DOM_get_prior() {
    return priority;
}

int DOM_set_loc_prior(int prior) {
    loc_prior = prior;
    return 0;
}

int DOM_get_loc_prior() {
    return loc_prior;
}

// ---- Region file, region menu and the region prompt -------------------------------

int DOM_read_menu(const char *file) {
    FilePtr f = open_region_file(file, "DOM_read_menu");
    if (!f) return 0;
    int row = 1;
    RegionLine line;
    while (row <= MAX_REGIONS && next_region_line(f.get(), line)) {
        if (!line.region || line.disp == 0) continue;
        const std::string &abbr = line.tok[0];
        if (abbr.size() > ABBR_LEN) {
            MESS_print(M_WARN, "DOM_read_menu: Region abbreviation longer than %d characters: %s\n",
                       static_cast<int>(ABBR_LEN), abbr.c_str());
            continue;
        }
        RowText &text = row_text[static_cast<std::size_t>(row)];
        copy_text(text.abbr.data(), text.abbr.size(), abbr);
        copy_text(text.desc.data(), text.desc.size(), line.tok[1]);
        fill_string(text.desc.data(), '_', ' ');
        MENU_item &item = reg_menu[static_cast<std::size_t>(row)];
        item = MENU_item{text.desc.data(), text.abbr.data(), row, {}};
        item.disp[0] = line.disp;
        ++row;
    }
    num_regs = row;
    reg_menu[static_cast<std::size_t>(row)] = MENU_item{nullptr, nullptr, 0, {}};
    menu_file = file ? file : "";
    return 1;
}

int DOM_search_file(const char *file, const char *str, char *domstr, std::size_t size) {
    if (!domstr || size == 0) return 0;
    FilePtr f = open_region_file(file, "DOM_search_file");
    if (!f) return 0;
    const std::size_t limit = std::min(DOMAIN_LEN, size - 1);
    RegionLine line;
    while (next_region_line(f.get(), line)) {
        // Without a name the first line counts, and a line of one token is a
        // domain text on its own; by name only region lines count.
        const std::string *text = nullptr;
        if (!str)
            text = line.region ? &line.tok[3] : &line.tok[0];
        else if (line.region && stricmp(str, line.tok[0].c_str()) == 0)
            text = &line.tok[3];
        if (!text) continue;
        if (text->size() > limit) {
            MESS_print(M_WARN, "DOM_search_file: Domain text longer than %d characters: %s\n",
                       static_cast<int>(limit), text->c_str());
            if (!str) return 0;
            continue;
        }
        copy_text(domstr, size, *text);
        return 1;
    }
    return 0;
}

int DOM_print_file(const char *file) {
    FilePtr f = open_region_file(file, "DOM_print_file");
    if (!f) return 0;
    MESS_print(M_PRINT, " Abbr    Description\n");
    RegionLine line;
    while (next_region_line(f.get(), line))
        if (line.region) MESS_print(M_PRINT, "%-8s %-50s\n", line.tok[0].c_str(), line.tok[1].c_str());
    return 0;
}

int DOM_get_region(Domain *domain, int flag) {
    DOM_init(domain);
    if (const char *text = res_value("plot_domain"); text && (flag == 1 || flag == 3 || flag == 4))
        return DOM_decode(text, domain);
    if (const char *text = res_value("region")) return DOM_decode(text, domain);
    if (flag == 4) {
        if (num_regs == 0) DOM_read_menu(REGION_FILE);
        const std::string first = first_region();
        return DOM_decode(first.c_str(), domain);
    }
    return 0;
}

int DOM_get_grid_domain(Domain *domain) {
    DOM_init(domain);
    for (const char *name : {"grid_domain", "region", "plot_domain"})
        if (const char *text = res_value(name)) return DOM_decode(text, domain);
    return 0;
}

int DOM_prompt_region(Domain *domain, int flag) {
    if (!prompt_region || !domain) return 0;

    // A domain given by resource is used once.
    for (const char *text : {flag == 1 ? res_value("plot_domain") : nullptr, res_value("region")}) {
        if (!text) continue;
        const int r = decode_given(text, domain);
        prompt_region = 0;
        if (plottable(r, domain)) return r;
    }

    if (num_regs == 0) DOM_read_menu(REGION_FILE);

    if (FLAG_batch()) {
        const std::string first = first_region();
        const int r = first.empty() ? MISSING : decode_given(first.c_str(), domain);
        prompt_region = 0;
        if (plottable(r, domain)) return r;
        MESS_print(M_ERROR, "DOM_prompt_region: No region for the batch run\n");
        ZEQ_exit(43);
    }

    char string[20];
    for (int tries = 0; tries < MAX_TRIES;) {
        const int r = MENU_process("\n        Region Menu\n", reg_menu.data(), reg_menu_type,
                                   "Enter the region: ", string, MENU_EXIT | MENU_MAIN);
        if (stricmp(string, "list") == 0) {
            DOM_print_file(REGION_FILE);
            ++tries;
            continue;
        }
        if (r == -1) ZEQ_exit(0);
        if (r == 0) return 0;
        const int d = DOM_decode(r > 0 ? row_region(string).c_str() : string, domain);
        if (d == -1) {
            MESS_print(M_WARN, "Invalid domain\n");
            ++tries;
            continue;
        }
        // A region menu loaded by "FILE:" is shown at the next question.
        return plottable(d, domain) ? d : MISSING;
    }
    MESS_print(M_ERROR, "DOM_prompt_region: No usable region after %d answers\n", MAX_TRIES);
    ZEQ_exit(43);
}

int DOM_set_prompt_region(int val) {
    prompt_region = val;
    return 0;
}

const char *DOM_get_region_name(int region) {
    if (region < 0 || region >= std::max(num_regs, 1)) return nullptr;
    return reg_menu[static_cast<std::size_t>(region)].name;
}
