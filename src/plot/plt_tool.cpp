// The plot frame between the plot drivers and the GPH drawing layer: opens,
// resets and closes the graphics, keeps the view and its margins, chooses
// panels and decodes the plot options of plot_param and out_file.
// File-static state: the workstation, the margins and the view, the label and
// border switches, the colour-bar latch, the registered driver functions,
// the image output choice and the table of calls into other modules.
#include "plot/plt_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fields/calc.h"
#include "fields/cty_tool.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/gif.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_zoom.h"
#include "graphics/img_tool.h"
#include "graphics/png.h"
#include "graphics/xdump.h"
#include "gridfile/grd_read.h"
#include "gridfile/grib.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool_int.h"
#include "plot/vect_plt.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "runtime/zeq.h"

namespace {

constexpr int PLOT_NONE = 99;  // plot type "none"
constexpr int SWITCH_ALL = 12; // plot component switch: everything
constexpr std::size_t MESS_SIZE = 80;
constexpr std::size_t DUMP_NAME_SIZE = 160;

Gint work_id = 0;
Gws_type wk_type = 0;
bool opened = false; // graphics opened by PLT_open and not closed since
Glim view_off{0, 0, 0.04f, 0.04f};
float view_offset = 0;
Glim dis_view{0, 0, 0.04f, 0.04f};
int full_lab = 0;
int border = 1;
int bar = 0;

PLT_event_func callback = nullptr;
PLT_redraw_func zoom_func = nullptr;
PLT_redraw_func resize_func = nullptr;
PLT_refresh_func refresh_func = nullptr;

int dump = 0;
char dump_file[DUMP_NAME_SIZE] = "";

// The one place where the frame is linked to the modules whose settings the
// plot options reach (see PLT_hooks).
PLT_hooks hooks{
    MAP_latlon,           // map_latlon (map backgrounds)
    CONT_set_skip,        // cont_set_skip (contours)
    CONT_set_plot_offset, // cont_set_plot_offset
    CONT_set_bar,         // cont_set_bar
    CONT_set_bar_range,   // cont_set_bar_range
    CONT_get_bar,         // cont_get_bar
    VECT_get_vect,        // vect_get_vect (winds)
    GIF_interlace,        // gif_interlace (GIF files)
    GIF_transparent,      // gif_transparent
    gset_loop_title,      // gset_loop_title (animation frames)
    gset_mouse_callback,  // gset_mouse_callback (window events)
    MESS_set_page,        gset_redraw,       CTY_set_id_type,   DATE_set_TZ,    GRD_set_grid_factor,
    MAP_set_plot_limit,   DOM_set_loc_prior, GPH_set_def_font,  gset_inverse,   gset_local_colormap,
    gset_rw_colors,       gps_set_colorPS,   gps_set_reverse,   gset_pix_mode,  GRD_use_hdr_file,
    gset_font_drop,       GRIB_set_max_bad,  FILE_set_min_size, GRD_set_format,
};

// Calls an entry of the table; an empty one is skipped.
template <typename F, typename... A> void call(F fn, A... args) {
    if (fn != nullptr) fn(args...);
}

bool graphics_off() {
    return FLAG_getplot(SWITCH_ALL) == 0 || FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE;
}

// ---- Option items ------------------------------------------------------------

bool is(const char *item, const char *key) {
    return stricmp(item, key) == 0;
}

bool starts(const char *item, const char *key) {
    return strnicmp(item, key, static_cast<int>(std::strlen(key))) == 0;
}

// The value of an item: the text one character after the keyword (that
// character separates); null when there is nothing there.
const char *value(const char *item, const char *key) {
    const std::size_t n = std::strlen(key);
    if (std::strlen(item) <= n + 1) return nullptr;
    return item + n + 1;
}

// A count of N read by atoi, below 1 or absent replaced by dflt.
int count_or(const char *item, const char *key, int dflt) {
    const char *v = value(item, key);
    const int n = v != nullptr ? std::atoi(v) : 0;
    return n < 1 ? dflt : n;
}

// Image output chosen by an item "KEY" or "KEY:NAME".
void set_dump_item(const char *item, const char *key, int type) {
    PLT_set_dump(type, value(item, key));
}

void set_overlays(const char *v) {
    int b = 0, n = 0;
    const int got = std::sscanf(v, "%d:%d", &b, &n);
    if (got >= 1) PLT_set_overlay_base(b);
    if (got >= 2) PLT_set_num_overlay(n);
}

void set_latlon(const char *v) {
    float lat = 0, lon = 0;
    int dot = 0, extra = 0;
    const int got = std::sscanf(v, "%f:%f:%d:%d", &lat, &lon, &dot, &extra);
    if (got < 1) return;
    if (got < 2) lon = lat;
    call(hooks.map_latlon, lat, lon, dot, extra);
}

void set_skip(const char *v) {
    int x = 0, y = 0;
    const int got = std::sscanf(v, "%d:%d", &x, &y);
    if (got < 1) return;
    if (got < 2) y = x;
    call(hooks.cont_set_skip, x, y);
}

void set_plot_offset(const char *v) {
    float x = 0, y = 0;
    const int got = std::sscanf(v, "%f:%f", &x, &y);
    if (got < 1) return;
    if (got < 2) y = x;
    call(hooks.cont_set_plot_offset, x, y);
}

// "bar" turns the colour bar on; "bar:MIN:MAX" also gives its range, which
// is set only when both numbers are there.
void set_bar(const char *item) {
    call(hooks.cont_set_bar, 2);
    const char *v = value(item, "bar");
    if (v == nullptr) return;
    float lo = 0, hi = 0;
    if (std::sscanf(v, "%f:%f", &lo, &hi) == 2) call(hooks.cont_set_bar_range, hi, lo);
}

// One item of plot_param: the first keyword that fits takes it; items of
// other modules fit none.
void decode_item(const char *item) {
    const char *v = nullptr;
    if (is(item, "full")) {
        PLT_set_view_offset(0);
    } else if (is(item, "fullab")) {
        PLT_set_view_offset(0);
        full_lab = 1;
    } else if (is(item, "nopage")) {
        call(hooks.mess_set_page, 0);
    } else if (is(item, "page")) {
        call(hooks.mess_set_page, 1);
    } else if (is(item, "noredraw")) {
        call(hooks.gset_redraw, 0);
    } else if (is(item, "id")) {
        call(hooks.cty_set_id_type, 0);
    } else if (is(item, "wmo")) {
        call(hooks.cty_set_id_type, 1);
    } else if (is(item, "cod_wmo")) {
        call(hooks.cty_set_id_type, 2);
    } else if (starts(item, "tz")) {
        if ((v = value(item, "tz")) != nullptr) call(hooks.date_set_tz, v);
    } else if (starts(item, "over")) {
        if ((v = value(item, "over")) != nullptr) set_overlays(v);
    } else if (starts(item, "lalo")) {
        if ((v = value(item, "lalo")) != nullptr) set_latlon(v);
    } else if (starts(item, "gridx")) {
        if (item[5] != '\0') call(hooks.grd_set_grid_factor, std::atoi(item + 5));
    } else if (starts(item, "plt_skip")) {
        if ((v = value(item, "plt_skip")) != nullptr) set_skip(v);
    } else if (starts(item, "plt_off")) {
        if ((v = value(item, "plt_off")) != nullptr) set_plot_offset(v);
    } else if (starts(item, "plt_grid")) {
        v = value(item, "plt_grid");
        call(hooks.map_set_plot_limit, v != nullptr ? std::atoi(v) : 1);
    } else if (starts(item, "loc_pr")) {
        if ((v = value(item, "loc_pr")) != nullptr) call(hooks.dom_set_loc_prior, std::atoi(v));
    } else if (starts(item, "vp_size")) {
        if ((v = value(item, "vp_size")) != nullptr) PLT_panel_decode(v);
    } else if (starts(item, "font")) {
        if ((v = value(item, "font")) != nullptr) call(hooks.gph_set_def_font, v);
    } else if (is(item, "gif_inter")) {
        call(hooks.gif_interlace, 1);
    } else if (is(item, "gif_norm")) {
        call(hooks.gif_interlace, 0);
    } else if (is(item, "gif_trans")) {
        call(hooks.gif_transparent, 1);
    } else if (is(item, "inv")) {
        call(hooks.gset_inverse, 1);
    } else if (is(item, "lcmap")) {
        call(hooks.gset_local_colormap, 1);
    } else if (is(item, "nolcmap")) {
        call(hooks.gset_local_colormap, 0);
    } else if (is(item, "rwclr")) {
        call(hooks.gset_rw_colors, 1);
    } else if (is(item, "norwclr")) {
        call(hooks.gset_rw_colors, 0);
    } else if (is(item, "nolooptitle")) {
        call(hooks.gset_loop_title, 0);
    } else if (is(item, "pscolor")) {
        call(hooks.gps_set_colorPS, 1);
        call(hooks.gset_inverse, 1);
    } else if (is(item, "psrev")) {
        call(hooks.gps_set_reverse, 1);
    } else if (is(item, "clear")) {
        call(hooks.gset_pix_mode, 1);
    } else if (is(item, "new")) {
        call(hooks.gset_pix_mode, 2);
    } else if (is(item, "kill")) {
        call(hooks.gset_pix_mode, 9);
    } else if (starts(item, "bar")) {
        set_bar(item);
    } else if (is(item, "nobar")) {
        call(hooks.cont_set_bar, -2);
    } else if (is(item, "nohdr")) {
        call(hooks.grd_use_hdr_file, 0);
    } else if (starts(item, "shadow")) {
        call(hooks.gset_font_drop, count_or(item, "shadow", 4));
    } else if (starts(item, "max_bad")) {
        call(hooks.grib_set_max_bad, count_or(item, "max_bad", 5));
    } else if (starts(item, "min_size")) {
        call(hooks.file_set_min_size, count_or(item, "min_size", 0));
    } else if (starts(item, "grdfmt")) {
        if ((v = value(item, "grdfmt")) != nullptr) call(hooks.grd_set_format, v);
    } else if (starts(item, "gif")) {
        set_dump_item(item, "gif", 2);
    } else if (starts(item, "png")) {
        set_dump_item(item, "png", 4);
    } else if (starts(item, "img")) {
        set_dump_item(item, "img", 3);
    } else if (starts(item, "xwd")) {
        set_dump_item(item, "xwd", 1);
    }
}

// Applies fn to every item of a comma-list resource.
template <typename F> void for_items(const char *name, F fn) {
    int count = 0;
    char **items = nullptr;
    RES_getvals(name, &count, &items);
    for (int i = 0; i < count; ++i)
        if (items[i] != nullptr) fn(items[i]);
    free_parsed_array(count, items);
}

} // namespace

// ---- Options -----------------------------------------------------------------------

int PLT_param_decode() {
    for_items("plot_param", decode_item);
    for_items("out_file", [](const char *item) {
        if (starts(item, "gif"))
            set_dump_item(item, "gif", 2);
        else if (starts(item, "png"))
            set_dump_item(item, "png", 4);
    });
    return 0;
}

// ---- Opening, resetting and closing ------------------------------------------------

int PLT_open(float aspect) {
    PLT_param_decode();
    dis_view = view_off;
    if (graphics_off()) return -1;
    GPH_setup(&work_id, &wk_type, aspect, &dis_view);
    opened = true;
    return 0;
}

int PLT_reset(float aspect) {
    dis_view = view_off;
    const int mode = PLT_get_label_type();
    if (mode < 0) PLT_set_label_type(-1);
    if (mode > 0) PLT_set_label_type(1);
    if (graphics_off()) return -1;
    GPH_reset(&work_id, &wk_type, aspect, &dis_view);
    return 0;
}

int PLT_panel(float aspect) {
    const float h = dis_view.y_max - dis_view.y_min;
    if (aspect == 0 && h > 0) aspect = (dis_view.x_max - dis_view.x_min) / h;
    dis_view = view_off;
    GPH_panel(&work_id, &wk_type, aspect, &dis_view);
    return 0;
}

int PLT_panel_decode(const char *str) {
    if (str == nullptr) return 0;
    float sx = 1, sy = 1, ox = 0, oy = 0;
    if (std::sscanf(str, "%fx%f+%f+%f", &sx, &sy, &ox, &oy) != 4) return 0;
    if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(ox) || !std::isfinite(oy)) {
        MESS_print(M_WARN, "PLT_panel_decode: Panel %s has no extent\n", str);
        return 0;
    }
    if (sx > 1) {
        sx = sx > 8 ? 8 : sx;
        sy = sy > 8 ? 8 : (sy < 1 ? 1 : sy);
        if (ox < 0 || ox >= sx || oy < 0 || oy >= sy) {
            MESS_print(M_WARN, "PLT_panel_decode: Panel %s lies outside its grid\n", str);
            return 0;
        }
        ox = ox / sx;
        oy = 1 - (1 + oy) / sy;
        sx = 1 / sx;
        sy = 1 / sy;
    } else if (sx <= 0 || sy <= 0) {
        MESS_print(M_WARN, "PLT_panel_decode: Panel %s has no extent\n", str);
        return 0;
    }
    GPH_set_view_size(sx, sy, ox, oy);
    return 0;
}

int PLT_close() {
    if (FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE) return -1;
    if (!opened) {
        PLT_init_labels();
        return 0;
    }
    // Only a held window goes to the background; print, metafile and image
    // runs finish their output in the foreground and end with its status.
    if (FLAG_batch() && wk_type == GWS_WIN && dump == 0 && ZEQ_back_proc() == 0) ZEQ_exit(1);
    GPH_trans(2);
    if (dump == 0) GPH_hold(work_id);
    gclear_ws(work_id, GALWAYS);
    const int rc = GPH_end(work_id);
    opened = false;
    PLT_init_labels();
    return rc == 0 ? 0 : -1;
}

void PLT_exit(int val) {
    if (opened) GPH_end(work_id);
    opened = false;
    ZEQ_exit(val);
}

int PLT_mess(const char *format, ...) {
    char text[MESS_SIZE];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    gmessage(work_id, text);
    return 0;
}

// ---- View and margins ----------------------------------------------------------------

int PLT_set_view_offset(float offset) {
    view_off = {0, 0, offset, offset};
    view_offset = offset;
    return 0;
}

int PLT_set_view_offsets(float xn, float xx, float yn, float yx) {
    view_off = {xn, xx, yn, yx};
    return 0;
}

float PLT_get_view_offset() {
    return view_offset;
}

int PLT_get_view_offsets(Glim *view) {
    *view = view_off;
    return 0;
}

int PLT_get_view(Glim *view) {
    *view = dis_view;
    return 0;
}

int PLT_get_work_type() {
    return wk_type;
}

int PLT_border(int val) {
    border = val;
    return 0;
}

int PLT_get_border() {
    return border;
}

int PLT_get_full_lab() {
    return full_lab;
}

int PLT_set_bar(int val) {
    bar = val;
    return 0;
}

int PLT_bar() {
    if (bar != 0 || PLT_cont_get_bar() <= 0) return 0;
    bar = 1;
    return 1;
}

// ---- Driver functions and image output -------------------------------------------------

int PLT_set_callback(PLT_event_func func) {
    callback = func;
    if (callback != nullptr) call(hooks.gset_mouse_callback, callback);
    return 0;
}

int PLT_set_zoom_func(PLT_redraw_func func) {
    zoom_func = func;
    return 0;
}

int PLT_set_resize_func(PLT_redraw_func func) {
    resize_func = func;
    return 0;
}

int PLT_set_refresh_func(int period, PLT_refresh_func func) {
    refresh_func = func;
    gset_refresh_callback(period, PLT_plot_refresh);
    return 0;
}

int PLT_set_dump(int type, const char *filename) {
    dump = type;
    if (filename != nullptr && *filename != '\0') {
        if (!copy_text(dump_file, filename))
            MESS_print(M_WARN, "PLT_set_dump: Image file name cut to %zu characters: %s\n",
                       sizeof dump_file - 1, dump_file);
        return 0;
    }
    const char *name = type == 2 ? "zeq.gif" : type == 4 ? "zeq.png" : type == 3 ? "zeq.img" : "zeq.xwd";
    copy_text(dump_file, name);
    return 0;
}

// ---- Redraws and the band zoom ----------------------------------------------------------

namespace {

int zoom = 0;      // zooms since the last return to the first domain
bool band = false; // a band is anchored at (band_x, band_y)
float band_x = 0, band_y = 0;
Domain first_domain{}; // the domain in use before the first zoom

// Redraws dom with the wait cursor shown: the function (skipped when
// missing) draws the plot again, under transformation 0 with trans0;
// transformation 2 and the cursor are restored after.
void redraw_domain(PLT_redraw_func func, bool trans0, Domain dom) {
    const int cursor = gset_cursor(8);
    if (trans0) GPH_trans(0);
    if (func != nullptr) func(&dom);
    GPH_trans(2);
    gupdate_window();
    gset_cursor(cursor);
}

// The domain a band from (xa, ya) to (xb, yb) in plane units makes of dom.
Domain band_domain(Domain dom, float xa, float ya, float xb, float yb) {
    const float x0 = std::min(xa, xb), x1 = std::max(xa, xb);
    const float y0 = std::min(ya, yb), y1 = std::max(ya, yb);
    if (is_map_proj(dom.proj)) {
        DOM_print(M_MESS_A, &dom);
        float lat = dom.clat, lon = dom.clon;
        MAP_untran((x0 + x1) / 2, (y0 + y1) / 2, &lat, &lon);
        dom.clat = lat;
        dom.clon = lon;
        // A grid of one point along a side divides by 1, not 0.
        const float dx = (x1 - x0) / static_cast<float>(std::max(dom.nx - 1, 1));
        const float dy = (y1 - y0) / static_cast<float>(std::max(dom.ny - 1, 1));
        dom.dx = dom.dy = std::max(dx, dy);
        DOM_set_base_prior(y1 - y0);
        return dom;
    }
    // Diagrams: the lower-left corner's values and the extents.
    float v0 = x0, w0 = y0, v1 = x1, w1 = y1;
    if (dom.proj != 23) MAP_untran(x0, y0, &v0, &w0);
    MAP_untran(x1, y1, &v1, &w1);
    dom.clat = v0;
    dom.clon = w0;
    dom.dx = dom.proj == 40 || dom.proj == 23 ? x1 - x0 : w1 - w0;
    dom.dy = dom.proj == 23 ? y1 - y0 : v1 - v0;
    return dom;
}

} // namespace

int PLT_set_zoom(int val) {
    zoom = val;
    return 0;
}

int PLT_get_zoom() {
    return zoom;
}

int PLT_plot_refresh() {
    Domain dom{};
    MAP_get_domain(&dom);
    redraw_domain(refresh_func, true, dom);
    return 0;
}

int PLT_plot_zoom(const char *event, float x, float y) {
    if (event == nullptr) return 0;
    if (std::strcmp(event, "B1-P-Shft") == 0) {
        band_x = x;
        band_y = y;
        band = true;
        gset_rubber_band(2);
        return 0;
    }
    if (std::strncmp(event, "B1-R", 4) == 0 && band) {
        if (x == band_x || y == band_y) return -1;
        Domain dom{};
        MAP_get_domain(&dom);
        if (zoom == 0) first_domain = dom;
        ++zoom;
        const Domain next = band_domain(dom, band_x, band_y, x, y);
        MESS_print(M_MESS_B, "New domain: ");
        DOM_print(M_MESS_A, &next);
        band = false;
        redraw_domain(zoom_func, true, next);
        return 0;
    }
    band = false;
    if (std::strcmp(event, "u-Alt") == 0 && gget_zoom() == 1 && zoom != 0) {
        MESS_print(M_MESS_B, "Original domain: ");
        if (is_map_proj(first_domain.proj))
            DOM_set_base_prior(static_cast<float>(first_domain.ny - 1) * first_domain.dy);
        DOM_print(M_MESS_A, &first_domain);
        zoom = 0;
        redraw_domain(zoom_func, false, first_domain);
    } else if (std::strcmp(event, "r-Alt") == 0) {
        Domain dom{};
        MAP_get_domain(&dom);
        redraw_domain(zoom_func, false, dom);
    }
    return 0;
}

int PLT_plot_resize(const char *event, float, float) {
    if (event == nullptr || std::strcmp(event, "size") != 0) return 0;
    Domain dom{};
    MAP_get_domain(&dom);
    redraw_domain(resize_func, true, dom);
    return 0;
}

int PLT_print_location(const char *event, float x, float y) {
    if (event == nullptr || std::strcmp(event, "v-Alt") != 0) return 0;
    float lat = x, lon = y;
    MAP_untran(x, y, &lat, &lon);
    MESS_print(M_PRINT_D, "Lat: %6.2f Lon: %7.2f XY: %6.2f %6.2f Pixel: %6.2f %6.2f\n", lat, lon, x, y,
               xW_p(x), yW_p(y));
    return 0;
}

namespace {

// The values of the variable-list entries at plane point (x, y): each
// plotted entry or group header that is not a map prints its name, then a
// vector its two component grids, a contour its grid, and the first other
// entry the station's stored text (when a station was found).
void print_entry_values(int count, float x, float y, const char *station) {
    bool text_done = false;
    for (int i = 0; i < count; ++i) {
        if (!(VAR_is_PLOT(i) || VAR_is_COMP(i)) || VAR_is_type_MAP(i)) continue;
        const VAR_data *v = VAR_get_var(i);
        if (v != nullptr && v->name[0] != '\0')
            MESS_print(M_PRINT_D, "Var: %6.6s - ", v->name);
        else
            MESS_print(M_PRINT_D, "Var: #%5d - ", i);
        if (VAR_is_type_VECT(i)) {
            GRD_report *grds[4] = {};
            const int last = GRD_find_param_grids(i, 2, 1, grds, nullptr);
            if (grds[0] != nullptr && grds[1] != nullptr)
                GRD_print_value2(x, y, grds[0], grds[1]);
            else
                MESS_print(M_PRINT_D, "\n");
            // The components are this entry's operands: go on after them.
            if (last > i) i = last;
        } else if (VAR_is_type_CONT(i)) {
            GRD_print_value(x, y, GRD_get_grid(i));
        } else if (!text_done && station != nullptr) {
            MESS_print(M_PRINT_D, "%s\n", station);
            text_done = true;
        } else {
            MESS_print(M_PRINT_D, "\n");
        }
    }
}

} // namespace

int PLT_print_values(const char *event, float x, float y) {
    if (event == nullptr) return 0;
    const bool show = std::strcmp(event, "v-Alt") == 0;
    const bool edit = std::strcmp(event, "e-Alt") == 0;
    if (!show && !edit) return 0;
    const bool sequence = FILE_get_num_file() != 0;
    const int count = VAR_get_num();
    if (edit) {
        if (!sequence && count == 1) GRD_edit_value("", x, y, GRD_get_grid(0));
        return 0;
    }
    PLT_print_location(event, x, y);
    float lat = x, lon = y;
    MAP_untran(x, y, &lat, &lon);
    CTY_locate loc{};
    const bool found = CTY_search_loc(lat, lon, &loc) == 1;
    const char *station = nullptr;
    if (found) {
        float slat = loc.x, slon = loc.y;
        MAP_untran(loc.x, loc.y, &slat, &slon);
        MESS_print(M_PRINT_D, "Id: %s Lat: %6.2f Lon: %7.2f ", loc.id, slat, slon);
        station = static_cast<const char *>(CTY_get_data(loc.id));
    }
    if (sequence && found) {
        MESS_print(M_PRINT_D, "\n");
    } else if (count >= 2) {
        if (found) MESS_print(M_PRINT_D, "\n");
        print_entry_values(count, x, y, station);
    } else if (count == 1) {
        if (VAR_is_plot_CONT(0))
            GRD_print_value(x, y, GRD_get_grid(0));
        else if (VAR_is_PLOT(0) && found)
            MESS_print(M_PRINT_D, "= %s\n", station != nullptr ? station : "");
    }
    return 0;
}

// ---- Image output ----------------------------------------------------------------------

namespace {

constexpr std::size_t IMAGE_NAME_SIZE = 100; // a built image name

// Builds the image name with template key 'i' = key; false when none.
bool build_name(const Date &date, const char *key, char *name) {
    FILE_set_key('i', key);
    // Without a date the last name would be given back: start afresh.
    FILE_set_filename("");
    Date d = date;
    FILE_set_date(&d, name, IMAGE_NAME_SIZE);
    return name[0] != '\0';
}

// The full image name of frame number idx into full: when several frames
// are written and the name does not change with key 'i', the frame's
// two-digit number goes before the extension so that frames do not
// overwrite each other.
bool frame_name(const Date &date, const char *key, int idx, bool several, char *full) {
    char name[IMAGE_NAME_SIZE];
    if (!build_name(date, key, name)) return false;
    if (several) {
        char probe[IMAGE_NAME_SIZE];
        build_name(date, "~~", probe);
        if (std::strcmp(probe, name) == 0) {
            std::string n = name;
            const std::size_t slash = n.rfind('/');
            std::size_t dot = n.rfind('.');
            if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0)
                dot = n.size();
            char num[16];
            std::snprintf(num, sizeof num, "-%2.2d", idx);
            n.insert(dot, num);
            if (!copy_text(name, n.c_str())) return false;
        }
    }
    FILE_add_path(RES_get("image_path"), name, full, DUMP_NAME_SIZE);
    return true;
}

void write_image(const char *file) {
    struct Kind {
        int (*fn)(const char *);
        const char *what;
    };
    const Kind kinds[] = {{XWD_dump, "xdump"}, {GIF_dump, "GIF"}, {IMG_dump, "IMG"}, {PNG_dump, "PNG"}};
    if (dump < 1 || dump > 4) return;
    const Kind &k = kinds[dump - 1];
    if (k.fn(file) != 0)
        MESS_print(M_MESS, "Wrote %s file: %s\n", k.what, file);
    else
        MESS_print(M_WARN, "PLT_dump: Unable to write %s file: %s\n", k.what, file);
}

} // namespace

int PLT_dump(int frame) {
    if (dump == 0) return -1;
    Date date{};
    FILE_get_date(&date);
    NameConvScope scope;
    char conv[DUMP_NAME_SIZE];
    copy_text(conv, dump_file);
    FILE_set_name(conv);
    const char *title = gget_win_title();
    FILE_set_key('p', title != nullptr ? title : "");
    char full[DUMP_NAME_SIZE];
    char key[16];
    const int frames = gget_num_images();
    if (frame == -4 && frames > 1) {
        for (int i = 0; i < frames; ++i) {
            gselect_frame(i);
            std::snprintf(key, sizeof key, "%2.2d", i);
            if (frame_name(date, key, i, true, full)) write_image(full);
        }
    } else if (frames > 0) {
        const int idx = frame >= 0 ? frame : gget_cur_frame();
        std::snprintf(key, sizeof key, "%2.2d", idx);
        gselect_frame(frame);
        if (frame_name(date, key, idx, true, full)) write_image(full);
    } else if (frame_name(date, "win", 0, false, full)) {
        write_image(full);
    }
    return 0;
}

int PLT_get_dump() {
    return dump;
}

const char *PLT_get_dump_file() {
    return dump_file;
}

// ---- Calls into other modules ------------------------------------------------------------

PLT_hooks &PLT_get_hooks() {
    return hooks;
}

int PLT_cont_get_bar() {
    return hooks.cont_get_bar != nullptr ? hooks.cont_get_bar() : 0;
}

int PLT_vect_get_vect() {
    return hooks.vect_get_vect != nullptr ? hooks.vect_get_vect() : 0;
}
