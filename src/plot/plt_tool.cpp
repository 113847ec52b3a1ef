// The plot frame between the plot drivers and the GPH drawing layer: opens,
// resets and closes the graphics, keeps the view and its margins, chooses
// panels and decodes the plot options of plot_param and out_file.
// File-static state: the workstation, the margins and the view, the label and
// border switches, the colour-bar latch, the registered driver functions,
// the image output choice and the table of calls into other modules.
#include "plot/plt_tool.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fields/cty_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/grd_tool.h"
#include "fields/var_tool.h"
#include "graphics/gif.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_x11.h"
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
    MESS_set_page,
    gset_redraw,
    CTY_set_id_type,
    DATE_set_TZ,
    GRD_set_grid_factor,
    MAP_set_plot_limit,
    DOM_set_loc_prior,
    GPH_set_def_font,
    gset_inverse,
    gset_local_colormap,
    gset_rw_colors,
    gps_set_colorPS,
    gps_set_reverse,
    gset_pix_mode,
    GRD_use_hdr_file,
    gset_font_drop,
    GRIB_set_max_bad,
    FILE_set_min_size,
    GRD_set_format,
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

// The position read-out is not built yet.
int PLT_print_location(const char *, float, float) {
    return 0;
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
    gset_refresh_callback(period, func);
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

// The interaction handlers and the image dump are not built yet.
int PLT_print_values(const char *, float, float) {
    return 0;
}

int PLT_plot_zoom(const char *, float, float) {
    return 0;
}

int PLT_plot_resize(const char *, float, float) {
    return 0;
}

int PLT_dump(int) {
    return -1;
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
