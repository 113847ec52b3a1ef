// Grid calculator commands over grid files: arithmetic of files and
// literals, mosaics of pieces, unit conversion, remapping and cut-offs,
// descriptions and statistics, values at places, point-by-point combinations
// of several files and the calculator functions, each reading its inputs
// from grid files into the grid table and writing its result to a grid file
// named through the name conventions. No file-static state: the slots it
// fills belong to the grid table.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fields/calc.h"
#include "fields/cty_tool.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

// Slots of the grid table: the first input or the result, the second input;
// the further operands of a calculator function follow up to kLastOperand.
constexpr int kFirst = 0;
constexpr int kSecond = 1;
constexpr int kLastOperand = 4;
// The longest grid spec a file word may carry after its '+' (with the '+'),
// as the file module keeps it.
constexpr std::size_t kSpecMax = 39;
constexpr const char *kCityFile = "sao.cty";

bool is_eq(const char *w) {
    return std::strcmp(w, "=") == 0;
}

bool is_literal(const char *w) {
    return w[0] == '#';
}

bool is_coriolis(const char *w) {
    return w[0] == '#' && stricmp(w + 1, "cor") == 0;
}

// The number of a literal word "#N"; false with a message when the text after
// '#' is not a whole finite number.
bool literal_value(const char *w, float *v) {
    char *end = nullptr;
    const double d = std::strtod(w + 1, &end);
    if (end == w + 1 || *end != '\0' || !std::isfinite(d) || std::fabs(d) > double(FLT_MAX)) {
        MESS_print(M_WARN_C, "GRD_math_command: Invalid number: %s\n", w);
        return false;
    }
    *v = float(d);
    return true;
}

// Copies a name into a buffer of the file module's size; false with a
// message when it does not fit.
bool fit_name(std::string_view text, char (&buf)[FILE_NAME_SIZE]) {
    if (text.size() >= sizeof buf) {
        MESS_print(M_WARN_C, "GRD_math_command: Name too long: %.60s...\n", std::string(text).c_str());
        return false;
    }
    std::memcpy(buf, text.data(), text.size());
    buf[text.size()] = '\0';
    return true;
}

// The grid spec in force when a command starts: every file is read from it,
// so that the grid spec of one file word does not carry over to the next word; it
// is put back at the end.
class SpecScope {
public:
    SpecScope() : saved_(FILE_get_ext_info()) {}
    ~SpecScope() { FILE_set_ext_info(saved_.c_str()); }
    SpecScope(const SpecScope &) = delete;
    SpecScope &operator=(const SpecScope &) = delete;
    void reset() const { FILE_set_ext_info(saved_.c_str()); }

private:
    std::string saved_;
};

// Splits a file word at its first '+' into the name part and the grid spec
// ('+' and the text after it). False with a message when a part is too long.
bool split_word(const char *w, char (&type)[FILE_NAME_SIZE], std::string &spec) {
    const std::string_view text(w);
    const std::size_t plus = text.find('+');
    spec = plus == std::string_view::npos ? std::string() : std::string(text.substr(plus));
    if (!fit_name(text.substr(0, plus), type)) return false;
    if (spec.size() > kSpecMax) {
        MESS_print(M_WARN_C, "GRD_math_command: Grid spec too long: %s\n", w);
        return false;
    }
    return true;
}

// Expands the name part of a file word through the name convention it
// selects: the resource current when it exists, else the word itself. The
// caller keeps the naming state around the call.
void expand_word(char (&type)[FILE_NAME_SIZE], char (&name)[FILE_NAME_SIZE]) {
    FILE_set_name(type);
    if (const char *cur = RES_get("current"); cur != nullptr)
        FILE_set_current(cur, name, sizeof name);
    else
        FILE_set_file(type, name, sizeof name);
}

// Resolves a file word into the name for the grid-file reader: the expanded
// name part, then '+' and the grid spec again. The name convention in force
// is kept. False with a message when a part is too long.
bool resolve_file(const char *w, std::string &out) {
    char type[FILE_NAME_SIZE];
    std::string spec;
    if (!split_word(w, type, spec)) return false;
    char name[FILE_NAME_SIZE] = "";
    {
        NameConvScope naming;
        expand_word(type, name);
    }
    out = name;
    out += spec;
    if (out.size() >= FILE_NAME_SIZE) {
        MESS_print(M_WARN_C, "GRD_math_command: Name too long: %.60s...\n", out.c_str());
        return false;
    }
    return true;
}

// Reads the grid of a file word into slot ind, with its file header into
// info when not null; the reader's result (1 read), -1 when the word cannot
// be resolved.
int read_slot(const SpecScope &spec, int ind, const char *w, GRD_info *info) {
    std::string name;
    if (!resolve_file(w, name)) return -1;
    GRD_release_grid(ind);
    spec.reset();
    GRD_info local{};
    int type = 0;
    return GRD_read_file(name.c_str(), GRD_get_grid(ind), info != nullptr ? info : &local, &type);
}

// Reads the first file of an operation into slot 0 by its date: the word is
// expanded as any file word, and the grid read from the name that the same
// convention gives for the date of the expanded name, with the word's grid
// spec (GRD_read_file_date). The word's convention stays in force until that
// read, so that the dated name is the file the word named. The reader's
// result (1 read), -1 when the word cannot be resolved.
int read_first(const SpecScope &spec, const char *w, GRD_info *info) {
    char type[FILE_NAME_SIZE];
    std::string grid_spec;
    if (!split_word(w, type, grid_spec)) return -1;
    NameConvScope naming;
    char name[FILE_NAME_SIZE] = "";
    expand_word(type, name);
    Date date;
    FILE_get_date(&date);
    GRD_release_grid(kFirst);
    spec.reset();
    int ftype = 0;
    return GRD_read_file_date(&date, grid_spec.c_str(), GRD_get_grid(kFirst), info, &ftype);
}

bool same_domain(const char *who, const GRD_report *a, const char *wa, const GRD_report *b, const char *wb) {
    if (DOM_comp(&a->domain, &b->domain)) return true;
    MESS_print(M_WARN_C, "%s: Grids of different domains: %s and %s\n", who, wa, wb);
    return false;
}

// Pieces of a mosaic share projection, size and spacing (their centres, and
// for latitude-longitude grids their central longitudes, differ).
bool same_piece(const Domain &x, const char *wa, const Domain &y, const char *wb) {
    if (x.proj == y.proj && x.ellipse == y.ellipse && x.nx == y.nx && x.ny == y.ny && x.dx == y.dx &&
        x.dy == y.dy)
        return true;
    MESS_print(M_WARN_C, "GRD_math_command: Pieces of different grids: %s and %s\n", wa, wb);
    return false;
}

// The text format of native grid files from the "grdfmt" items of resource
// parameter.
void set_grid_format() {
    int argc = 0;
    char **argv = nullptr;
    RES_getvals("parameter", &argc, &argv);
    for (int k = 0; k < argc; ++k)
        if (strnicmp(argv[k], "grdfmt", 6) == 0 && std::strlen(argv[k]) > 7) GRD_set_format(argv[k] + 7);
    free_parsed_array(argc, argv);
}

// Writes the result under the output word at index out ("-" when absent)
// with the first input's file header: key v, INFO and DATIM after the output
// word, the name built from the header's date. 1 written, else 0.
int write_result(GRD_report *result, const GRD_info &header, const char *key, const char *const *cmd, int num,
                 int out) {
    if (result == nullptr || result->grid == nullptr) return 0;
    const int type = GRD_out_file(2);
    char conv[FILE_NAME_SIZE];
    if (!fit_name(out < num ? cmd[out] : "-", conv)) return 0;
    char name[FILE_NAME_SIZE] = "";
    {
        NameConvScope naming;
        FILE_set_key('v', key);
        GRD_set_math_info(result, cmd, num, out + 1);
        FILE_set_name(conv);
        FILE_set_date(&header.date, name, sizeof name);
    }
    return GRD_save_file(name, result, &header, type) == 1 ? 1 : 0;
}

// The index after a "=" at index i (i itself when there is none).
int after_eq(const char *const *cmd, int num, int i) {
    return i < num && is_eq(cmd[i]) ? i + 1 : i;
}

// ---- Arithmetic ---------------------------------------------------------------

const char *arith_operator(const char *w) {
    for (const char *op : {"add", "sub", "mul", "div", "mod"})
        if (stricmp(w, op) == 0) return op;
    return nullptr;
}

// Combines a grid with the Coriolis parameter; f_first when f stands first.
bool coriolis(GRD_report *g, const char *oper, bool f_first) {
    const char *how = oper;
    if (f_first && std::strcmp(oper, "sub") == 0) how = "sub-";
    if (f_first && std::strcmp(oper, "div") == 0) how = "div-";
    if (GRD_coriolis(g, how) == 0) return true;
    MESS_print(M_WARN_C, "GRD_math_command: No Coriolis combination for: %s\n", oper);
    return false;
}

// A op B = OUT INFO DATIM.
int arithmetic(const SpecScope &spec, const char *oper, int num, const char *const *cmd) {
    const char *a = cmd[0], *b = cmd[2];
    GRD_report *r = GRD_get_grid(kFirst);
    GRD_report *grids[GRD_MATH_LIST + 1] = {};
    float values[GRD_MATH_LIST];
    std::fill(std::begin(values), std::end(values), FMISSING);
    grids[0] = r;
    GRD_info header{};
    bool ok = false;
    if (is_literal(a) || is_literal(b)) {
        // One side is read, the other is a number or f.
        const bool a_lit = is_literal(a);
        const char *lit = a_lit ? a : b;
        if (a_lit && is_literal(b)) return 0;
        float x = 0.0f;
        if (!is_coriolis(lit) && !literal_value(lit, &x)) return 0;
        if (read_slot(spec, kFirst, a_lit ? b : a, &header) < 1) return 0;
        if (is_coriolis(lit)) {
            ok = coriolis(r, oper, a_lit);
        } else {
            const int at = a_lit ? 1 : 2;
            grids[at] = nullptr;
            values[at] = x;
            grids[3 - at] = r;
            ok = GRD_math(oper, grids, values) == 1;
        }
    } else {
        if (read_slot(spec, kFirst, a, &header) < 1) return 0;
        if (read_slot(spec, kSecond, b, nullptr) < 1) return 0;
        GRD_report *s = GRD_get_grid(kSecond);
        if (!same_domain("GRD_math_command", r, a, s, b)) return 0;
        grids[1] = r;
        grids[2] = s;
        ok = GRD_math(oper, grids, values) == 1;
    }
    if (!ok) return 0;
    return write_result(r, header, cmd[1], cmd, num, 4);
}

// ---- Mosaic, units, remapping and cut-off ----------------------------------------

// piece NXxNY F1 .. Fn = OUT INFO DATIM.
int piece(const SpecScope &spec, int num, const char *const *cmd) {
    int nx = 0, ny = 0;
    if (std::sscanf(cmd[1], "%dx%d", &nx, &ny) != 2 || nx < 1 || ny < 1) return 0;
    const long long places = static_cast<long long>(nx) * ny;
    GRD_report *mosaic = GRD_get_grid(kFirst);
    GRD_report *part = GRD_get_grid(kSecond);
    GRD_info header{};
    const char *first = nullptr;
    Domain first_dom;
    DOM_init(&first_dom);
    long long place = 0;
    int p = 2;
    for (; p < num && place < places && !is_eq(cmd[p]); ++p, ++place) {
        GRD_info info{};
        if (read_slot(spec, kSecond, cmd[p], &info) < 1) continue;
        if (first == nullptr) {
            const Domain &d = part->domain;
            // The mosaic's size must be a grid size.
            if (static_cast<long long>(nx) * (d.nx - 1) + 1 > INT_MAX ||
                static_cast<long long>(ny) * (d.ny - 1) + 1 > INT_MAX) {
                MESS_print(M_WARN_C, "GRD_math_command: Mosaic too large: %s\n", cmd[1]);
                return 0;
            }
            GRD_release_grid(kFirst);
            if (GRD_piece_setup(mosaic, nx, ny, part) != 0) return 0;
            first = cmd[p];
            first_dom = part->domain;
            header = info;
        } else if (!same_piece(first_dom, first, part->domain, cmd[p])) {
            return 0;
        }
        GRD_piece_grid(mosaic, int(place % nx), int(place / nx), part);
    }
    // A mosaic without any piece is not written.
    if (first == nullptr) return 0;
    p = after_eq(cmd, num, p);
    return write_result(mosaic, header, p < num ? cmd[p] : "-", cmd, num, p);
}

// unit F UNITS, remap F DOMAIN, cutoff F OPER CUTOFF NVAL; then = OUT INFO DATIM.
int convert(const SpecScope &spec, int num, const char *const *cmd) {
    const char *op = cmd[0];
    const bool cut = stricmp(op, "cutoff") == 0;
    if (cut && num < 6) return 0;
    GRD_info header{};
    if (read_slot(spec, kSecond, cmd[1], &header) < 1) return 0;
    GRD_report *in = GRD_get_grid(kSecond);
    GRD_report *result = GRD_get_grid(kFirst);
    int p = 3;
    if (stricmp(op, "unit") == 0) {
        if (GRD_units(in, cmd[2]) != 0) return 0;
        result = in;
    } else if (stricmp(op, "remap") == 0) {
        Domain dom;
        DOM_init(&dom);
        if (DOM_decode(cmd[2], &dom) < 1) return 0;
        GRD_release_grid(kFirst);
        if (GRD_remap(result, &dom, in) != 0) return 0;
    } else {
        const float cutoff = float(std::strtod(cmd[3], nullptr));
        const float nval = float(std::strtod(cmd[4], nullptr));
        GRD_release_grid(kFirst);
        if (GRD_cutoff(result, cmd[2], cutoff, nval, in) != 0) return 0;
        p = 5;
    }
    p = after_eq(cmd, num, p);
    return write_result(result, header, p < num ? cmd[p] : "-", cmd, num, p);
}

// ---- Printing: description, statistics, values and places ---------------------------

// A place of val and loc: a point on the earth or a grid position.
struct Location {
    bool earth = false;
    float a = FMISSING; // latitude, or grid column
    float b = FMISSING; // longitude, or grid row
};

// Reads the location starting at word *i and moves *i past it; false when
// it cannot be read.
bool read_location(const char *const *cmd, int num, int *i, Location *loc) {
    const char *w = cmd[*i];
    const std::size_t len = std::strlen(w);
    const char *station = nullptr;
    const char *ll = nullptr;
    const bool two = *i + 1 < num;
    if (stricmp(w, "id") == 0) {
        if (!two) return false;
        station = cmd[++*i];
    } else if (strnicmp(w, "id", 2) == 0 && len > 3) {
        station = w + 3;
    } else if (stricmp(w, "ll") == 0) {
        if (!two) return false;
        ll = cmd[++*i];
    } else if (strnicmp(w, "ll", 2) == 0 && len > 3) {
        ll = w + 3;
    }
    ++*i;
    if (station != nullptr) {
        loc->earth = true;
        loc->a = loc->b = FMISSING;
        if (!CTY_get_loc(kCityFile, station, &loc->a, &loc->b))
            MESS_print(M_WARN_C, "GRD_math_command: Station not found: %s\n", station);
        return true;
    }
    float x = 0.0f, y = 0.0f;
    if (std::sscanf(ll != nullptr ? ll : w, "%f,%f", &x, &y) != 2) return false;
    loc->earth = ll != nullptr;
    loc->a = x;
    loc->b = y;
    return true;
}

// The grid position of a location on a grid's domain.
void grid_position(const Domain &d, const Location &loc, float *gx, float *gy) {
    if (!loc.earth) {
        *gx = loc.a;
        *gy = loc.b;
        return;
    }
    *gx = *gy = FMISSING;
    if (loc.a == FMISSING || loc.b == FMISSING) return;
    MapScope scope(&d);
    float x = FMISSING, y = FMISSING;
    MAP_tran(loc.a, loc.b, &x, &y);
    MAP_grid_untran(x, y, gx, gy);
}

// val F LOC ...: the value at each location, one line each.
int print_values(const GRD_report *g, int num, const char *const *cmd, int p) {
    std::string format = "%f";
    if (const char *res = RES_get("plot_format"); res != nullptr && res[0] != '\0') {
        if (string_is_float_format(res))
            format = res;
        else
            MESS_print(M_WARN_C, "GRD_math_command: Invalid value format: %s\n", res);
    }
    for (int i = p; i < num;) {
        Location loc;
        if (!read_location(cmd, num, &i, &loc)) return 0;
        float gx = FMISSING, gy = FMISSING;
        grid_position(g->domain, loc, &gx, &gy);
        const double v = GRD_get_value(g, gx, gy);
        const int n = std::snprintf(nullptr, 0, format.c_str(), v);
        std::string text(std::size_t(std::max(n, 0)) + 1, '\0');
        std::snprintf(text.data(), text.size(), format.c_str(), v);
        MESS_print(M_PRINT, "%s\n", text.c_str());
    }
    return 1;
}

// loc F LOC: the grid position of a place, or the place of a grid position.
int print_location(const GRD_report *g, int num, const char *const *cmd, int p) {
    if (p >= num) return 0;
    Location loc;
    if (!read_location(cmd, num, &p, &loc)) return 0;
    if (loc.earth) {
        float gx = FMISSING, gy = FMISSING;
        grid_position(g->domain, loc, &gx, &gy);
        MESS_print(M_PRINT, "%f %f\n", double(gx), double(gy));
        return 1;
    }
    MapScope scope(&g->domain);
    float x = FMISSING, y = FMISSING, lat = FMISSING, lon = FMISSING;
    MAP_grid_tran(loc.a, loc.b, &x, &y);
    if (x != FMISSING) MAP_untran(x, y, &lat, &lon);
    MESS_print(M_PRINT, "%f %f\n", double(lat), double(lon));
    return 1;
}

// info, domain and the statistics of GRD_stats on a grid; false for another
// operation.
bool print_grid(const char *op, GRD_report *g) {
    if (stricmp(op, "info") == 0) {
        GRD_print_info(M_PRINT_A, g, 0);
        GRD_print_info(M_PRINT_B, g, 1);
        GRD_print_info(M_PRINT_C, g, 2);
        MESS_print(M_PRINT_D, "Domain: ");
        DOM_print(M_PRINT_D, &g->domain);
        return true;
    }
    if (stricmp(op, "domain") == 0) {
        DOM_print(M_PRINT_D, &g->domain);
        return true;
    }
    float v[2] = {FMISSING, FMISSING};
    if (GRD_stats(op, g, v) != 1) return false;
    if (v[0] == FMISSING)
        MESS_print(M_PRINT, "-- ");
    else
        MESS_print(M_PRINT, "%f ", double(v[0]));
    if (v[1] != FMISSING) MESS_print(M_PRINT, "%f ", double(v[1]));
    MESS_print(M_PRINT, "\n");
    return true;
}

// ---- Several files ------------------------------------------------------------------

// GRD_math_file with the word of the first file for messages.
int math_files(const SpecScope &spec, const char *str, const char *first, const char *const *files, int num) {
    const std::string_view text(str != nullptr ? str : "");
    const std::size_t dash = text.find('-');
    const std::string name(text.substr(0, dash));
    const std::string abbr =
        dash == std::string_view::npos ? std::string() : std::string(text.substr(dash + 1));
    enum { Max, Min, Sum, Avg } op;
    if (stricmp(name.c_str(), "max") == 0)
        op = Max;
    else if (stricmp(name.c_str(), "min") == 0)
        op = Min;
    else if (stricmp(name.c_str(), "sum") == 0)
        op = Sum;
    else if (stricmp(name.c_str(), "avg") == 0)
        op = Avg;
    else
        return -1;

    GRD_report *r = GRD_get_grid(kFirst);
    GRD_report *grids[GRD_MATH_LIST + 1] = {};
    float values[GRD_MATH_LIST];
    std::fill(std::begin(values), std::end(values), FMISSING);
    grids[0] = r;
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (r->grid == nullptr ||
        GRD_math_setup(ptr, &nx, &ny, 0, grids, values, name.c_str(), abbr.c_str(), nullptr) != 1) {
        MESS_print(M_WARN_C, "GRD_math_file: Invalid grids\n");
        return 0;
    }
    const std::size_t n = std::size_t(nx) * std::size_t(ny);
    float *out = ptr[0];
    int grids_read = 1;
    int k = 0;
    for (; k < num && files[k] != nullptr && !is_eq(files[k]); ++k) {
        if (read_slot(spec, kSecond, files[k], nullptr) < 1) continue;
        const GRD_report *g = GRD_get_grid(kSecond);
        if (!same_domain("GRD_math_file", r, first, g, files[k])) return 0;
        const float *in = g->grid;
        for (std::size_t i = 0; i < n; ++i) {
            const float a = out[i], b = in[i];
            if (a == FMISSING || b == FMISSING) {
                out[i] = FMISSING;
                continue;
            }
            out[i] = op == Max ? std::max(a, b) : op == Min ? std::min(a, b) : a + b;
        }
        ++grids_read;
    }
    if (op == Avg)
        for (std::size_t i = 0; i < n; ++i)
            if (out[i] != FMISSING) out[i] /= float(grids_read);
    return k;
}

// ---- Calculator functions -------------------------------------------------------------

// FUNC F [OPERAND ..] = OUT INFO DATIM, with F already in slot 0.
int calc_function(const SpecScope &spec, const GRD_info &header, int num, const char *const *cmd, int p) {
    const char *op = cmd[0];
    const char *first = cmd[1];
    // Functions of two results, or that only draw, give no single grid to write.
    if (GRD_is_vect_func(op) || GRD_is_plot_func(op)) {
        MESS_print(M_WARN_C, "GRD_math_command: Function without a grid result: %s\n", op);
        return 0;
    }
    GRD_report *r = GRD_get_grid(kFirst);
    GRD_report *grids[GRD_MATH_LIST + 1] = {};
    float values[GRD_MATH_LIST];
    std::fill(std::begin(values), std::end(values), FMISSING);
    int idx = kSecond + 1;
    int q = p;
    for (; q < num && !is_eq(cmd[q]); ++q, ++idx) {
        if (idx > kLastOperand) {
            MESS_print(M_WARN_C, "GRD_math_command: Too many operands for: %s\n", op);
            return 0;
        }
        if (is_literal(cmd[q])) {
            if (!literal_value(cmd[q], &values[idx])) return 0;
            continue;
        }
        if (read_slot(spec, idx, cmd[q], nullptr) < 1) return 0;
        GRD_report *g = GRD_get_grid(idx);
        if (!same_domain("GRD_math_command", r, first, g, cmd[q])) return 0;
        grids[idx] = g;
    }
    // Slot 1 takes the first file's grid with its values; slot 0 keeps the
    // header and gets a new array for the result.
    GRD_report *s = GRD_get_grid(kSecond);
    GRD_release_grid(kSecond);
    GRD_move(s, r);
    GRD_copy(r, s);
    r->grid = nullptr;
    if (GRD_alloc(r) == 0) return 0;
    std::fill(r->grid, r->grid + std::size_t(r->domain.nx) * std::size_t(r->domain.ny), FMISSING);
    grids[0] = r;
    grids[1] = s;
    if (GRD_math(op, grids, values) != 1) return 0;
    q = after_eq(cmd, num, q);
    return write_result(r, header, op, cmd, num, q);
}

// An operation on a first file: printing, several files or a function.
int file_operation(const SpecScope &spec, int num, const char *const *cmd) {
    const char *op = cmd[0];
    GRD_info header{};
    if (read_first(spec, cmd[1], &header) < 1) return 0;
    GRD_report *g = GRD_get_grid(kFirst);
    const int p = 2;
    if ((p >= num || is_eq(cmd[p])) && print_grid(op, g)) return 1;
    if (stricmp(op, "val") == 0) return print_values(g, num, cmd, p);
    if (stricmp(op, "loc") == 0) return print_location(g, num, cmd, p);
    if (p < num && !is_eq(cmd[p])) {
        const int used = math_files(spec, op, cmd[1], cmd + p, num - p);
        if (used == 0) return 0;
        if (used > 0) return write_result(g, header, op, cmd, num, after_eq(cmd, num, p + used));
    }
    return calc_function(spec, header, num, cmd, p);
}

} // namespace

int GRD_math_command(int num, const char *const *cmd) {
    set_grid_format();
    if (cmd == nullptr || num < 3) return 0;
    for (int i = 0; i < num; ++i)
        if (cmd[i] == nullptr) return 0;
    const SpecScope spec;
    if (const char *oper = arith_operator(cmd[1]); oper != nullptr) return arithmetic(spec, oper, num, cmd);
    const char *op = cmd[0];
    if (stricmp(op, "piece") == 0) return piece(spec, num, cmd);
    if (stricmp(op, "unit") == 0 || stricmp(op, "remap") == 0 || stricmp(op, "cutoff") == 0)
        return convert(spec, num, cmd);
    return file_operation(spec, num, cmd);
}

int GRD_math_file(const char *str, const char *const *files, int num) {
    if (files == nullptr && num > 0) return 0;
    const SpecScope spec;
    return math_files(spec, str, "the first grid", files, num);
}

int GRD_set_math_info(GRD_report *grid, const char *const *cmd, int num, int ind) {
    if (grid == nullptr || cmd == nullptr) return 0;
    auto given = [&](long i) {
        return i >= 0 && i < num && cmd[i] != nullptr && cmd[i][0] != '\0' && std::strcmp(cmd[i], "-") != 0;
    };
    if (given(ind)) {
        const char *text = cmd[ind];
        if (strnicmp(text, "v=", 2) == 0) {
            const char *abbr = text + 2;
            grid->var = VAR_search_var_num(abbr);
            FILE_set_key('v', abbr);
            VAR_make_datatype(grid->time, grid->ltype, grid->level, grid->var, grid->units, grid->info,
                              sizeof grid->info);
        } else {
            std::snprintf(grid->info, sizeof grid->info, "%s", text);
        }
    }
    if (given(long(ind) + 1)) std::snprintf(grid->datim, sizeof grid->datim, "%s", cmd[ind + 1]);
    return 0;
}
