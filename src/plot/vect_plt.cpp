// Wind plots: settings and options of a wind plot, its set-up and labels, the
// drawing of arrows, barbs and streamlines from a u and v grid pair, the
// reference vector legend and the stand-alone driver.
// File-static state: the settings of the running plot, the plot positions
// held with the domains they were made for, the streamline density counts
// of the drawing in progress, the grids and callback of the stand-alone
// driver and the per-variable memory of frame 0.
#include "plot/vect_plt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/vecttool.h"
#include "plot/windbarb.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"

namespace {

constexpr int TYPE_ASK = 20;
constexpr int TYPE_ARROWS = 21;
constexpr int TYPE_BARBS = 22;
constexpr int TYPE_STREAM = 23;
constexpr int TYPE_NONE = 99;
constexpr int SWITCH_LABELS = 0; // plot component switch: any text label
constexpr int SWITCH_LOW_RIGHT = 6;
constexpr int SWITCH_DATA = 7;
constexpr std::size_t FORMAT_SIZE = 100;
constexpr std::size_t LOW_LEFT_MAX = 79;

// Streamline tracing: step and segment length, arrow heads, calm, and the
// limits of a line.
constexpr float STEP = 0.25f;
constexpr float CALM = 0.001f;
constexpr float NO_DIRECTION = 0.01f;
constexpr int CROWD_GRACE = 5;

struct Settings {
    int plot_type = MISSING;
    int vect_type = MISSING;
    int type_set = 0;
    float intrvl = FMISSING;
    float base = FMISSING;
    float scale = 1.0f;
    float arrow_scale = 1.0f;
    float grid_max = FMISSING;
    float min_cut = FMISSING;
    float max_cut = FMISSING;
    int xskip = 1;
    int yskip = 1;
    int uvgrid = 1;
    int plt_vect = 0;
    float vect_size = 1.0f;
    float vert_size = 1.0f;
    char format[FORMAT_SIZE] = "";
};
Settings st;

// Plot positions of the grid points and the grid and map domains they were
// made for; `known` is false for arrays handed in by VECT_grid that no draw
// has used yet.
struct Positions {
    float *x = nullptr;
    float *y = nullptr;
    bool owned = false;
    bool known = false;
    Domain grid{};
    Domain map{};
    void clear() {
        if (owned) {
            std::free(x);
            std::free(y);
        }
        x = y = nullptr;
        owned = known = false;
    }
    bool held() const { return x != nullptr && y != nullptr; }
};
Positions pos;
// Whether the draw in progress stands the points at their plot positions.
bool use_pos = false;

// The streamline drawing in progress: density counts, the map domain and
// the band colour of the last segment.
struct Stream {
    std::vector<int> num;
    bool active = false;
    Domain map{};
    int color = 0;
    bool banded = false;
};
Stream strm;

// The stand-alone driver's grids and callback.
GRD_report *ugrd_ptr = nullptr;
GRD_report *vgrd_ptr = nullptr;
PLT_event_func callback_ptr = nullptr;

// Type, interval and base of each variable-list entry, fixed at frame 0.
struct Memory {
    std::array<int, VAR_MAX> types;
    std::array<float, VAR_MAX> intrvls;
    std::array<float, VAR_MAX> bases;
    Memory() {
        types.fill(MISSING);
        intrvls.fill(FMISSING);
        bases.fill(FMISSING);
    }
};
Memory memory;

bool plot_none() {
    return FLAG_get(FLAG_PLOT_TYPE) == TYPE_NONE;
}

const char *default_colour() {
    return gget_inverse() ? "black" : "white";
}

std::string_view skip_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

bool read_float(std::string_view text, float *out) {
    double v = 0;
    if (scan_decimal(skip_blanks(text), &v) == 0) return false;
    *out = float(v);
    return true;
}

// An integer at the start of text (after blanks and an optional sign); the
// characters used, 0 without one.
std::size_t read_int(std::string_view text, int *out) {
    const std::string_view s = skip_blanks(text);
    std::size_t k = 0;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    const std::size_t digits = k;
    long v = 0;
    while (k < s.size() && s[k] >= '0' && s[k] <= '9' && v < 1000000000L)
        v = v * 10 + (s[k++] - '0');
    if (k == digits) return 0;
    *out = int(s[0] == '-' ? -v : v);
    return text.size() - s.size() + k;
}

// Steps below 1 count as 1.
void set_skip(int x, int y) {
    st.xskip = std::max(x, 1);
    st.yskip = std::max(y, 1);
}

// The items of resource con_base: '>' the lower cut-off, '<' the upper, a
// plain number the base.
void apply_con_base() {
    int n = 0;
    char **v = nullptr;
    RES_getvals("con_base", &n, &v);
    for (int i = 0; i < n; ++i) {
        std::string_view item = skip_blanks(v[i] != nullptr ? v[i] : "");
        char op = ' ';
        if (!item.empty() && (item.front() == '>' || item.front() == '<')) {
            op = item.front();
            item.remove_prefix(1);
        }
        float f = 0;
        if (!read_float(item, &f)) continue;
        if (op == '>')
            st.min_cut = f;
        else if (op == '<')
            st.max_cut = f;
        else
            st.base = f;
    }
    free_parsed_array(n, v);
}

// Applies band entry attributes to lines and fills; the colour they draw in.
int apply_band(float speed) {
    Gattribs a;
    CONT_get_fill_attrib(speed, &a);
    if (a.color != -1) {
        GPH_line_attr(&a);
        GPH_fill_attr(&a);
    }
    return a.color;
}

bool has_bands() {
    return CONT_get_values(nullptr, 0) > 0 || !is_missing(st.intrvl);
}

std::size_t index_of(const GRD_report *g, int i, int row) {
    return std::size_t(row) * std::size_t(g->domain.nx) + std::size_t(i);
}

// ---- Plot positions ----------------------------------------------------------------

// Readies the positions of the grid's points on the current map: none when
// the two domains are equal; those held when they were made for the same
// two domains; else new ones. False when they cannot be made.
bool ready_positions(const GRD_report *grid) {
    Domain map;
    MAP_get_domain(&map);
    use_pos = false;
    if (DOM_comp(&map, &grid->domain) == 1) {
        // Positions for another map may come back with it: they are kept.
        return true;
    }
    use_pos = true;
    if (pos.held() && !pos.known) {
        pos.grid = grid->domain;
        pos.map = map;
        pos.known = true;
        return true;
    }
    if (pos.held() && DOM_comp(&pos.grid, &grid->domain) == 1 && DOM_comp(&pos.map, &map) == 1) return true;
    pos.clear();
    float *gx = nullptr, *gy = nullptr;
    if (GRD_proj_XY(grid, &map, &gx, &gy) != 0) {
        std::free(gx);
        std::free(gy);
        return false;
    }
    pos.x = gx;
    pos.y = gy;
    pos.owned = true;
    pos.known = true;
    pos.grid = grid->domain;
    pos.map = map;
    return true;
}

// ---- Set-up labels ----------------------------------------------------------------

void set_labels(const GRD_report *ugrid, float fmx) {
    char text[120];
    const int param = FLAG_get(FLAG_PLOT_TYPE) == TYPE_STREAM ? 333 : 332;
    VAR_make_datatype(ugrid->time, ugrid->ltype, ugrid->level, param, "m/s", text, sizeof text);
    PLT_label_up_left(text);
    PLT_label_up_right(ugrid->datim);
    if (FLAG_get(FLAG_PLOT_TYPE) == TYPE_STREAM || VECT_get_vect() == 0) {
        char num[20];
        set_num(num, sizeof num, "5.3.1", fmx);
        std::snprintf(text, sizeof text, "MAX: %s", num);
        PLT_label_low_right(text);
    }
    if (CONT_get_bar() != 0) return;
    std::vector<float> levels(CONT_MAX_LEVELS);
    const int n = std::min(CONT_get_values(levels.data(), CONT_MAX_LEVELS), CONT_MAX_LEVELS);
    if (n > 0) {
        std::string label = "LEVELS: ";
        for (int k = 0; k < n; ++k) {
            char num[20];
            set_num(num, sizeof num, "5.1.1", levels[std::size_t(k)]);
            const std::string item = (k > 0 ? "," : "") + std::string(num);
            if (label.size() + item.size() > LOW_LEFT_MAX) break;
            label += item;
        }
        PLT_label_low_left(label.c_str());
    } else if (!is_missing(VECT_get_intrvl())) {
        CONT_set_intrvl(VECT_get_intrvl());
        char num[20];
        set_num(num, sizeof num, "5.1.1", VECT_get_intrvl());
        std::snprintf(text, sizeof text, "INTERVAL: %s", num);
        PLT_label_low_left(text);
    } else {
        PLT_label_low_left("");
    }
}

// ---- Drawing -----------------------------------------------------------------------

// Turns grid-relative components to true north with the grid's domain
// current; calm and missing points stay.
void turn_to_true(GRD_report *u, GRD_report *v) {
    MapScope scope(&u->domain);
    const int nx = u->domain.nx, ny = u->domain.ny;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const std::size_t k = index_of(u, i, j);
            float &uu = u->grid[k], &vv = v->grid[k];
            if (is_missing(uu) || (uu == 0.0f && vv == 0.0f)) continue;
            float dir = 0, spd = 0, x = 0, y = 0;
            if (vect2wind(uu, vv, &dir, &spd) != 0) continue;
            MAP_grid_tran(float(i), float(j), &x, &y);
            dir = MAP_undir_adj(dir, x, y);
            wind2vect(dir, spd, &uu, &vv);
        }
}

// Turns true components to the current map's north at every point (every
// point, so that values read between points are all turned alike).
void turn_to_map(GRD_report *u, GRD_report *v) {
    const int nx = u->domain.nx, ny = u->domain.ny;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const std::size_t k = index_of(u, i, j);
            float &uu = u->grid[k], &vv = v->grid[k];
            if (is_missing(uu) || is_missing(vv)) continue;
            float dir = 0, spd = 0, x = 0, y = 0;
            vect2wind(uu, vv, &dir, &spd);
            if (use_pos) {
                x = pos.x[k];
                y = pos.y[k];
                if (is_missing(x) || is_missing(y)) continue;
            } else {
                MAP_grid_tran(float(i), float(j), &x, &y);
            }
            dir = MAP_dir_adj(dir, x, y);
            if (is_missing(dir)) continue;
            wind2vect(dir, spd, &uu, &vv);
        }
}

void draw_symbols(const GRD_report *u, const GRD_report *v) {
    // A calm or all-missing pair has no speed to measure arrows by.
    if (is_missing(st.grid_max) || !(st.grid_max > 0.0f)) return;
    const int nx = u->domain.nx, ny = u->domain.ny;
    const bool bands = has_bands();
    int color = 0;
    for (int j = 0; j < ny; j += st.yskip)
        for (int i = 0; i < nx; i += st.xskip) {
            const std::size_t k = index_of(u, i, j);
            const float uu = u->grid[k], vv = v->grid[k];
            if (is_missing(uu) || is_missing(vv)) continue;
            float dir = 0, speed = 0;
            vect2wind(uu, vv, &dir, &speed);
            if (bands) color = apply_band(speed);
            float px = 0, py = 0;
            if (use_pos) {
                px = pos.x[k];
                py = pos.y[k];
                if (is_missing(px) || is_missing(py)) continue;
                dir = MAP_dir_adj(dir, px, py);
            } else {
                float x = 0, y = 0;
                MAP_grid_tran(float(i), float(j), &x, &y);
                dir = MAP_dir_adj(dir, x, y);
                px = float(i);
                py = float(ny - 1 - j);
            }
            if (color == -1) continue;
            if (!is_missing(st.min_cut) && !(speed > st.min_cut)) continue;
            if (!is_missing(st.max_cut) && !(speed < st.max_cut)) continue;
            if (st.vect_type == TYPE_BARBS)
                WIND_barb(px, py, dir, speed, st.vect_size, 0.0f);
            else
                WIND_vect(px, py, dir, speed / st.grid_max, st.vect_size, 1.0f);
        }
}

// The grid position of a world point of the drawing: in the grid-index space
// (x, ny1 - y); with plot positions through the grid's plane.
void grid_coords(const GRD_report *u, float x, float y, float *gx, float *gy) {
    if (!use_pos) {
        *gx = x;
        *gy = float(u->domain.ny - 1) - y;
        return;
    }
    float x2 = FMISSING, y2 = FMISSING;
    *gx = *gy = FMISSING;
    if (MAP_domain_tran(&strm.map, &u->domain, x, y, &x2, &y2) != 0) return;
    MapScope scope(&u->domain);
    MAP_grid_untran(x2, y2, gx, gy);
}

int cell_of(int nx, float gx, float gy) {
    const int size = int(strm.num.size());
    if (is_missing(gx) || is_missing(gy) || !std::isfinite(gx) || !std::isfinite(gy)) return size - 1;
    const double cx = 2.0 * double(gx) / st.xskip + 0.0001, cy = 2.0 * double(gy) / st.yskip + 0.0001;
    const double c =
        double(int(std::clamp(cx, -1e9, 1e9))) + double(int(std::clamp(cy, -1e9, 1e9))) * 2.0 * nx;
    if (c < 0 || c >= double(size - 2)) return size - 1;
    return int(c);
}

int draw_streamlines(GRD_report *u, GRD_report *v, int color) {
    const int nx = u->domain.nx, ny = u->domain.ny;
    strm.num.clear();
    try {
        strm.num.assign(std::size_t(4) * std::size_t(nx) * std::size_t(ny) + 1, 0);
    } catch (...) {
        return -1;
    }
    MAP_get_domain(&strm.map);
    turn_to_map(u, v);
    if (is_missing(st.base) || !(st.base > 0.0f)) st.base = 1.0f;
    strm.banded = has_bands();
    strm.color = color;
    strm.active = true;
    const float length = 4.0f * float(nx) * (is_missing(st.scale) ? 1.0f : st.scale);
    const auto value = [&](const GRD_report *g, int i, int j) {
        return GRD_get_value(g, float(i), float(ny - 1 - j));
    };
    // Each sweep starts the lines whose first step leads away from its
    // corner; a zero component belongs to the positive side.
    const auto seed = [&](int sweep, int i, int j) {
        const float uu = value(u, i, j), vv = value(v, i, j);
        if (is_missing(uu) || is_missing(vv)) return;
        const bool east = uu >= 0.0f, north = vv >= 0.0f;
        bool match = false;
        switch (sweep) {
        case 1:
            match = east && north && !(uu == 0.0f && vv == 0.0f);
            break;
        case 2:
            match = east && !north;
            break;
        case 3:
            match = !east && north;
            break;
        default:
            match = !east && !north;
            break;
        }
        if (match) VECT_stream(u, v, i, j, length);
    };
    for (int i = 0; i < nx; i += st.xskip)
        for (int j = 0; j < ny; j += st.yskip)
            seed(1, i, j);
    for (int i = 0; i < nx; i += st.xskip)
        for (int j = ny - 1; j >= 0; j -= st.yskip)
            seed(2, i, j);
    for (int i = nx - 1; i >= 0; i -= st.xskip)
        for (int j = 0; j < ny; j += st.yskip)
            seed(3, i, j);
    for (int i = nx - 1; i >= 0; i -= st.xskip)
        for (int j = ny - 1; j >= 0; j -= st.yskip)
            seed(4, i, j);
    strm.active = false;
    strm.num.clear();
    strm.num.shrink_to_fit();
    return 0;
}

} // namespace

// ---- Settings ------------------------------------------------------------------------

int VECT_init() {
    if (st.type_set == 0) st.vect_type = MISSING;
    st.intrvl = st.base = st.min_cut = st.max_cut = FMISSING;
    return 0;
}

int VECT_grid(float *grx, float *gry) {
    pos.clear();
    pos.x = grx;
    pos.y = gry;
    return 0;
}

int VECT_set_scale(float scale) {
    st.scale = scale;
    return 0;
}

int VECT_set_intrvl(float intrvl) {
    st.intrvl = intrvl;
    return 0;
}

float VECT_get_intrvl() {
    return st.intrvl;
}

int VECT_set_max(float max) {
    st.grid_max = max;
    return 0;
}

int VECT_set_type(int type) {
    st.vect_type = type;
    st.type_set = 1;
    return 0;
}

int VECT_get_type() {
    return st.vect_type;
}

int VECT_set_vect(int val) {
    st.plt_vect = val;
    return 0;
}

int VECT_get_vect() {
    return st.plt_vect;
}

float VECT_get_vector_size() {
    return st.vect_size;
}

int VECT_set_base(float base) {
    st.base = base;
    return 0;
}

int VECT_set_format(int type, const char *form) {
    copy_text(st.format, form != nullptr ? form : "");
    st.plot_type = type;
    return 0;
}

// ---- Options and prompt -----------------------------------------------------------------

int VECT_format_decode_attrib(Gattribs *attr) {
    if (attr == nullptr) return 0;
    ParsedList items(st.format, ':');
    for (int i = 0; i < items.size(); ++i) {
        const std::string_view item = items[i];
        float f = 0;
        int n = 0;
        if (istarts_with(item, "co=")) {
            if (item.size() > 3) attr->color = CLR_get_ind(items[i] + 3);
        } else if (istarts_with(item, "wi=")) {
            if (read_float(item.substr(3), &f)) attr->width = f;
        } else if (istarts_with(item, "st=")) {
            if (read_int(item.substr(3), &n) > 0) attr->style = n;
        }
    }
    return 0;
}

int VECT_format_decode_type() {
    int type = MISSING;
    if (st.plot_type == TYPE_STREAM || st.plot_type == TYPE_ARROWS) type = st.plot_type;
    ParsedList items(st.format, ':');
    for (int i = 0; i < items.size(); ++i) {
        const std::string_view item = skip_blanks(items[i]);
        float f = 0;
        int n = 0;
        if (iequals(item, "vect")) {
            type = TYPE_ARROWS;
        } else if (iequals(item, "stream") || iequals(item, "strm")) {
            type = TYPE_STREAM;
        } else if (iequals(item, "barb")) {
            type = TYPE_BARBS;
        } else if (iequals(item, "vbar")) {
            VECT_set_vect(1);
        } else if (iequals(item, "nolr")) {
            FLAG_setplot(SWITCH_LOW_RIGHT, 0);
        } else if (istarts_with(item, "sk=")) {
            if (read_int(item.substr(3), &n) > 0) set_skip(n, n);
        } else if (istarts_with(item, "sc=")) {
            if (read_float(item.substr(3), &f)) st.scale = f;
        } else if (istarts_with(item, "ss=")) {
            if (read_float(item.substr(3), &f)) st.arrow_scale = f;
        } else if (istarts_with(item, "in=")) {
            if (read_float(item.substr(3), &f)) st.intrvl = f;
        } else if (istarts_with(item, "cb=")) {
            if (read_float(item.substr(3), &f)) st.base = f;
        } else if (istarts_with(item, "mn=")) {
            if (read_float(item.substr(3), &f)) st.min_cut = f;
        } else if (istarts_with(item, "mx=")) {
            if (read_float(item.substr(3), &f)) st.max_cut = f;
        }
    }
    if (!is_missing(type)) VECT_set_type(type);
    return 0;
}

int VECT_param_decode() {
    const char *param = RES_get("plot_param");
    if (param == nullptr || param[0] == '\0') return 0;
    ParsedList items(param, ',');
    for (int i = 0; i < items.size(); ++i) {
        const std::string_view item = skip_blanks(items[i]);
        // The value of "strm_sc" and "wv_skip" follows one separator.
        const std::string_view value = item.size() > 8 ? item.substr(8) : std::string_view();
        if (iequals(item, "vect") || iequals(item, "vbar")) {
            st.plt_vect = 1;
        } else if (iequals(item, "uvgrid")) {
            st.uvgrid = 1;
        } else if (iequals(item, "uvew")) {
            st.uvgrid = 0;
        } else if (istarts_with(item, "strm_sc")) {
            float f = 0;
            st.arrow_scale = read_float(value, &f) && f > 0.0f ? f : 1.0f;
        } else if (istarts_with(item, "wv_skip")) {
            int x = 0, y = 0;
            const std::size_t used = read_int(value, &x);
            if (used > 0) {
                y = x;
                if (used < value.size() && value[used] == ':') read_int(value.substr(used + 1), &y);
            }
            set_skip(x, y);
        } else if (iequals(item, "bar")) {
            CONT_set_bar(1);
        } else if (iequals(item, "nobar")) {
            CONT_set_bar(-1);
        }
    }
    return 0;
}

int VECT_prompt_type() {
    int type = st.vect_type;
    if (is_missing(type) || type == TYPE_ASK || type == 10) {
        type = FLAG_get(FLAG_PLOT_TYPE);
        if (type <= 0 && FLAG_batch()) type = TYPE_ARROWS;
    }
    if (type < TYPE_ASK || type > TYPE_STREAM || type == TYPE_ASK) {
        char answer[10] = "";
        ZEQ_prompts("Vectors (V) or Streamlines (S): ", answer, sizeof answer);
        const std::string_view a = answer;
        const char c = a.empty() ? '\0' : a[0];
        if (iequals(a, "none"))
            type = TYPE_NONE;
        else if (iequals(a, "vect"))
            type = TYPE_ARROWS;
        else if (iequals(a, "barb"))
            type = TYPE_BARBS;
        else if (iequals(a, "stream") || iequals(a, "strm"))
            type = TYPE_STREAM;
        else if (c == 's' || c == 'S' || c == 'y' || c == 'Y')
            type = TYPE_STREAM;
        else if (c == 'b' || c == 'B')
            type = TYPE_BARBS;
        else
            type = TYPE_ARROWS;
    }
    VECT_set_type(type);
    st.type_set = 0;
    return type;
}

// ---- Set-up -------------------------------------------------------------------------------

int VECT_plot_setup(int plot, int ind, GRD_report *ugrid, GRD_report *vgrid, Domain *domain,
                    PLT_event_func callback) {
    if (plot_none() || ugrid == nullptr || vgrid == nullptr) return 0;
    callback_ptr = callback;
    ugrd_ptr = ugrid;
    vgrd_ptr = vgrid;
    CONT_init();
    VECT_init();
    const bool known = ind >= 0 && ind < VAR_MAX;
    if (plot > 0 && known) {
        const auto k = std::size_t(ind);
        if (!is_missing(memory.types[k])) st.vect_type = memory.types[k];
        st.intrvl = memory.intrvls[k];
        st.base = memory.bases[k];
    }
    VECT_format_decode_type();
    VECT_param_decode();
    if (ugrid->grid == nullptr || vgrid->grid == nullptr) return 0;
    if (domain != nullptr && is_missing(domain->clat)) *domain = ugrid->domain;
    MESS_print(M_MESS, "Plotting wind vectors\n\n");
    CONT_set_fill_colors(nullptr, 0);
    VECT_prompt_type();
    float fmx = FMISSING;
    GRD_UVmax(ugrid, vgrid, &fmx);
    VECT_set_max(fmx);

    float f = 0;
    if (RES_getval("con_interval", &f, CV_float) != 0) st.intrvl = f > 0.0f ? f : FMISSING;
    if (RES_get("con_base") != nullptr) {
        apply_con_base();
        CONT_set_cutoff(st.max_cut, st.min_cut);
    }
    if (!is_missing(st.intrvl)) {
        CONT_set_base(0.0f);
        CONT_set_intrvl(st.intrvl);
        CONT_set_range(fmx, 0.0f);
        VECT_set_intrvl(st.intrvl);
    }
    if (is_missing(CONT_get_type())) CONT_set_type(15);
    MAP_fill_cont(0);
    set_labels(ugrid, fmx);
    if (plot == 0 && known) {
        const auto k = std::size_t(ind);
        memory.types[k] = st.vect_type;
        memory.intrvls[k] = st.intrvl;
        memory.bases[k] = st.base;
    }
    return 0;
}

// ---- Drawing ----------------------------------------------------------------------------------

int VECT_draw(GRD_report *ugrid, GRD_report *vgrid) {
    if (FLAG_getplot(SWITCH_DATA) == 0) return 0;
    if (ugrid == nullptr || vgrid == nullptr) {
        MESS_print(M_WARN, "VECT_draw: Invalid grids\n");
        return -1;
    }
    const int nx = ugrid->domain.nx, ny = ugrid->domain.ny;
    if (ugrid->grid == nullptr || vgrid->grid == nullptr || nx < 1 || ny < 1 || vgrid->domain.nx != nx ||
        vgrid->domain.ny != ny) {
        MESS_print(M_WARN, "VECT_draw: Invalid grid arrays\n");
        return -1;
    }
    if (!ready_positions(ugrid)) {
        MESS_print(M_WARN, "VECT_draw: Unable to allocate grid arrays\n");
        return -1;
    }
    Glim view{};
    PLT_get_view(&view);
    CONT_set_fill_colors(nullptr, 0);
    apply_con_base();
    float f = 0;
    if (RES_getval("plot_scale", &f, CV_float) != 0) st.scale = f;
    st.vect_size = !is_missing(st.base) && st.base != 0.0f && !is_missing(st.grid_max)
                       ? st.scale * st.grid_max / st.base
                       : st.scale;

    Gattribs attr;
    ATTRIB_init(&attr);
    ATTRIB_get("color_cont", default_colour(), &attr);
    VECT_format_decode_attrib(&attr);
    if (attr.color == -1) return 0;
    // Anything but arrows, barbs and streamlines draws nothing.
    if (st.vect_type < TYPE_ARROWS || st.vect_type > TYPE_STREAM) return 0;

    if (use_pos) {
        st.vert_size = MAP_get_vert();
        st.vect_size *= ugrid->domain.dx;
    } else {
        const Glim win{0.0f, float(nx - 1), 0.0f, float(ny - 1)};
        GPH_view(3, &view);
        GPH_win(3, &win);
        GPH_trans(3);
        st.vert_size = float(ny - 1);
    }
    GPH_line_attr(nullptr);
    GPH_fill_attr(nullptr);
    GPH_line_attr(&attr);
    GPH_fill_attr(&attr);

    // The grids stay as read: a redraw, the value read-out and a grid save
    // see the real winds.
    const std::size_t n = std::size_t(nx) * std::size_t(ny);
    std::vector<float> ucopy(ugrid->grid, ugrid->grid + n), vcopy(vgrid->grid, vgrid->grid + n);
    GRD_report u = *ugrid, v = *vgrid;
    u.grid = ucopy.data();
    v.grid = vcopy.data();
    if (st.uvgrid == 1) turn_to_true(&u, &v);
    if (st.vect_type == TYPE_STREAM) return draw_streamlines(&u, &v, attr.color);
    draw_symbols(&u, &v);
    return 0;
}

int VECT_stream(GRD_report *ugrid, GRD_report *vgrid, int i, int j, float length) {
    if (!strm.active || ugrid == nullptr || vgrid == nullptr || ugrid->grid == nullptr) return 0;
    const int nx = ugrid->domain.nx, ny1 = ugrid->domain.ny - 1;
    if (i < 0 || i >= nx || j < 0 || j > ny1) return 0;
    float x = float(i), y = float(j), gx = 0, gy = 0;
    if (use_pos) {
        const std::size_t k = index_of(ugrid, i, ny1 - j);
        x = pos.x[k];
        y = pos.y[k];
        if (is_missing(x) || is_missing(y)) return 0;
    }
    grid_coords(ugrid, x, y, &gx, &gy);
    float u = GRD_get_value(ugrid, gx, gy), v = GRD_get_value(vgrid, gx, gy);
    const int len = std::max(1, int(10.0f * st.arrow_scale));
    const float head = 4.0f * st.arrow_scale;
    int last = -1, same = 0;
    float dir = FMISSING, px = x, py = y;
    for (int k = 0; float(k) < length; ++k) {
        int end = 0;
        const int cell = cell_of(nx, gx, gy);
        if (cell != last) {
            ++strm.num[std::size_t(cell)];
            same = 0;
        } else {
            ++same;
        }
        last = cell;
        if (float(strm.num[std::size_t(cell)]) > st.base && (k == 0 || k > CROWD_GRACE)) end = 1;
        if (same > 6 * st.xskip) end = 2;
        float speed = FMISSING;
        if (is_missing(u) || is_missing(v))
            end = 3;
        else
            speed = std::sqrt(u * u + v * v);
        const bool shown = !((!is_missing(st.min_cut) && speed < st.min_cut) ||
                             (!is_missing(st.max_cut) && speed > st.max_cut));
        if (!is_missing(speed) && speed < CALM) end = 4;
        const float prev = dir;
        if (is_missing(speed))
            dir = FMISSING;
        else if (speed < NO_DIRECTION)
            dir = 0.0f;
        else
            dir = float(std::atan2(-double(u), -double(v)) * RAD_TO_DEG);
        if (k > 0 && !is_missing(prev) && !is_missing(dir)) {
            const float turn = std::fabs(prev - dir);
            if (turn > 120.0f && turn < 240.0f) end = 5;
        }
        if (end != 0) {
            if (k > 0 && strm.color != -1 && shown && !is_missing(prev))
                WIND_vect(px, py, prev, STEP, 1.0f, head);
            return 0;
        }
        if (strm.banded) strm.color = apply_band(speed);
        if (strm.color != -1 && shown) WIND_vect(x, y, dir, STEP, 1.0f, k % len == len - 1 ? head : 0.0f);
        px = x;
        py = y;
        x += u / (4.0f * speed);
        y += v / (4.0f * speed);
        grid_coords(ugrid, x, y, &gx, &gy);
        u = GRD_get_value(ugrid, gx, gy);
        v = GRD_get_value(vgrid, gx, gy);
    }
    return 0;
}

int VECT_draw_vect() {
    Glim view{};
    PLT_get_view(&view);
    const float vw = view.x_max - view.x_min, vh = view.y_max - view.y_min;
    Gattribs text;
    ATTRIB_init(&text);
    ATTRIB_get("color_text", default_colour(), &text);
    GPH_text_attr(nullptr, 1.0f);
    GPH_text_attr(&text, 0.015f * vh);
    GPH_text_align(3, 3);
    const float len = st.vert_size != 0.0f ? st.vect_size * vh / st.vert_size : 0.0f;
    if ((FLAG_getplot(SWITCH_LABELS) == 0 && st.plt_vect == 0) || text.color == -1) return 0;
    const float y = view.y_min - 0.025f * vh;
    WIND_vect(view.x_max - 0.01f * vw - len, y, 270.0f, 1.0f, len, 1.0f);
    char num[20], label[60];
    set_num(num, sizeof num, "5.3.1", st.grid_max);
    std::snprintf(label, sizeof label, "MAX VECTOR: %s m/s", num);
    const Gpt at{view.x_max - 0.02f * vw - len, y};
    gtext(&at, label);
    return 0;
}

// ---- Stand-alone driver ----------------------------------------------------------------------

int VECT_plot(Domain *domain) {
    if (plot_none() || domain == nullptr || ugrd_ptr == nullptr || vgrd_ptr == nullptr) return 0;
    const bool open = gchk_graphics() != 0;
    if (open) {
        PLT_reset(DOM_aspect(domain));
    } else {
        if (PLT_open(DOM_aspect(domain)) != 0) return 0;
        PLT_set_callback(callback_ptr);
        PLT_set_zoom_func(VECT_plot);
        PLT_set_resize_func(VECT_plot);
    }
    float *grx = nullptr, *gry = nullptr;
    if (DOM_comp(domain, &ugrd_ptr->domain) == 0) {
        MESS_print(M_MESS, "Computing plot domain...\n");
        if (GRD_proj_XY(ugrd_ptr, domain, &grx, &gry) == 0) {
            VECT_grid(grx, gry);
        } else {
            std::free(grx);
            std::free(gry);
            grx = gry = nullptr;
        }
    }
    MAP_setup(domain);
    MAP_draw(5);
    GPH_line_attr(nullptr);
    VECT_plot_setup(0, 0, ugrd_ptr, vgrd_ptr, domain, callback_ptr);
    VECT_draw(ugrd_ptr, vgrd_ptr);
    GPH_line_attr(nullptr);
    gsel_norm_tran(1);
    if (FLAG_get(FLAG_PLOT_TYPE) != TYPE_STREAM && VECT_get_vect() != 0) VECT_draw_vect();
    if (CONT_get_bar() > 0) CONT_draw_bar(1, "");
    MAP_draw(2);
    PLT_labels();
    MAP_domain(domain);
    PLT_dump(0);
    if (!open) PLT_close();
    VECT_grid(nullptr, nullptr);
    std::free(grx);
    std::free(gry);
    return 0;
}

int VECT_plot_grid(GRD_report *ugrid, GRD_report *vgrid, Domain *domain, PLT_event_func callback) {
    if (plot_none()) return 0;
    ugrd_ptr = ugrid;
    vgrd_ptr = vgrid;
    callback_ptr = callback;
    VECT_plot(domain);
    return 0;
}
