// The graphics kernel and its one workstation: opening and closing the
// kernel and the workstation (connection strings, print options, page sizes
// and device geometry), clearing, messages, segments, error reports, and the
// per-device initialisation of the primitive modules; window names and titles.
// File-static state: the kernel state (open flag, workstation type, error
// stream, device size and offset, presets for the next open).
#include "graphics/gks_x11.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_hpgl.h"
#include "graphics/gks_line.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

// Lengths of the fixed texts of the kernel.
constexpr std::size_t PROG_NAME_MAX = 19;
constexpr std::size_t WIN_TITLE_MAX = 59;
constexpr std::size_t GEOMETRY_MAX = 39;

int open_graphics = 0;
int win_type = GWS_NONE;
// The error stream: null before gopen_gks, else standard error or a named file.
FILE *err_file = nullptr;
std::string prog_name = "R11_Ezedi";
std::string win_title = "R11_Ezedi";
std::string geometry;
int win_width = 640;
int win_height = 512;
int root_width = 640;
int root_height = 512;
int win_x = 0;
int win_y = 0;
int depth = 0;
int pix_mode = 0;

// ---- X branches, built with the X window workstation ----
int x_open_display(const char *) {
    return -1;
}
int x_open_window(Gws_type) {
    return -1;
}
void x_finish_open() {}
void x_close_ws() {}
void x_clear_ws() {}
void x_init_plot(int) {}
int x_set_cursor(int) {
    return 0;
}
void x_sync() {}
bool x_have_window() {
    return false;
}

// A comma list split into owned items (parse_string).
class Items {
public:
    explicit Items(const char *text) { parse_string(text, ',', &argc_, &argv_); }
    ~Items() { free_parsed_array(argc_, argv_); }
    Items(const Items &) = delete;
    Items &operator=(const Items &) = delete;
    int size() const { return argc_; }
    const char *operator[](int i) const { return argv_[i]; }
    // Item 0, the output name or display; "" when there is none.
    const char *first() const { return argc_ > 0 ? argv_[0] : ""; }

private:
    int argc_ = 0;
    char **argv_ = nullptr;
};

const char *env(const char *name) {
    return std::getenv(name);
}

// The first of the texts that is set and not empty, else the fallback.
const char *first_set(std::initializer_list<const char *> texts, const char *fallback) {
    for (const char *t : texts)
        if (t != nullptr && *t != '\0') return t;
    return fallback;
}

// Page size in inches.
struct Page {
    double w;
    double h;
};

struct PageName {
    const char *name;
    Page size;
};
constexpr PageName page_names[] = {
    {"letter", {11, 8.5}},  {"legal", {14, 8.5}},   {"11x17", {17, 11}},    {"a4", {11.69, 8.26}},
    {"a3", {16.54, 11.69}}, {"a2", {23.39, 16.54}}, {"a1", {33.11, 23.39}}, {"b4", {14.33, 10.12}},
    {"b3", {20.27, 14.33}}, {"b2", {28.66, 20.27}}, {"b1", {40.55, 28.66}}, {"ansid", {34, 22}},
};

// The number after a keyword prefix of an item ("scale=0.8" read from its
// 7th character); false when the item holds none there.
bool option_value(const char *item, std::size_t from, double *value) {
    const std::string_view text(item);
    if (text.size() <= from) return false;
    return scan_decimal(text.substr(from), value) > 0;
}

// "WxH" of the "sz" option; the page must leave a drawing area of a few
// points inside its half-inch margin.
bool page_size(const char *text, Page *page) {
    float w = 0, h = 0;
    const auto usable = [](float inches) { return 72 * (inches - 0.5f) >= 2; };
    if (std::sscanf(text, "%fx%f", &w, &h) != 2 || !usable(w) || !usable(h)) return false;
    *page = {w, h};
    return true;
}

// One PostScript print option; later items override earlier ones and items
// that match nothing are ignored.
void ps_option(const char *item, Page *page) {
    double value = 0;
    if (stricmp(item, "port") == 0) {
        gps_set_orient(1);
    } else if (stricmp(item, "land") == 0) {
        gps_set_orient(0);
    } else if (stricmp(item, "eps") == 0) {
        gps_set_EPS(1);
    } else if (stricmp(item, "noeps") == 0) {
        gps_set_EPS(0);
    } else if (stricmp(item, "color") == 0) {
        gps_set_colorPS(1);
        gset_inverse(1);
    } else if (stricmp(item, "gray") == 0) {
        gps_set_colorPS(0);
    } else if (strnicmp(item, "scale", 5) == 0) {
        if (option_value(item, 6, &value)) gps_set_scale(static_cast<float>(value));
    } else if (strnicmp(item, "lwidth", 6) == 0) {
        if (option_value(item, 7, &value)) gps_set_base_width(static_cast<int>(value));
    } else if (strnicmp(item, "sz", 2) == 0) {
        if (std::strlen(item) > 3) page_size(item + 3, page);
    } else {
        for (const PageName &p : page_names)
            if (stricmp(item, p.name) == 0) *page = p.size;
    }
}

// Device geometry of the print devices and metafiles: a panel "PnxxNy+ix+iy"
// or sizes and offsets in hundredths of an inch, in device units of the type.
void set_geometry(int type, const char *geom) {
    if (geom == nullptr || *geom == '\0') return;
    if (geom[0] == 'P' || geom[0] == 'p') {
        float nx = 1, ny = 1, ix = 0, iy = 0;
        std::sscanf(geom + 1, "%fx%f+%f+%f", &nx, &ny, &ix, &iy);
        if (!(nx > 1) && !(ny > 1)) return;
        auto clamp = [](float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); };
        nx = clamp(nx, 1, 8);
        ny = clamp(ny, 1, 8);
        // A panel off the page is moved onto its last column or row.
        ix = clamp(ix, 0, nx - 1);
        iy = clamp(iy, 0, ny - 1);
        win_x = static_cast<int>(ix / nx * static_cast<float>(win_width));
        win_y = static_cast<int>((1 - (iy + 1) / ny) * static_cast<float>(win_height));
        win_width = static_cast<int>(static_cast<float>(win_width) / nx);
        win_height = static_cast<int>(static_cast<float>(win_height) / ny);
        return;
    }
    // Sizes and offsets scale by num / den into device units: hundredths of
    // an inch into points or plotter units (with the plotter's offset of 10),
    // whole numbers into the metafile's hundredths.
    long num = 72;
    long den = 100;
    long base = 0;
    const char *full = "%dx%d%d%d";
    const char *offsets = "%d%d";
    if (type == GWS_HPGL) {
        num = 1015;
        base = 10;
        full = "%dx%d+%d+%d";
        offsets = "+%d+%d";
    } else if (type == GWS_META) {
        num = 100;
        den = 1;
    }
    auto units = [num, den](int v) { return static_cast<int>(static_cast<long>(v) * num / den); };
    int w = 0, h = 0, x = 0, y = 0;
    const int n = std::sscanf(geom, full, &w, &h, &x, &y);
    if (n >= 2) {
        if (units(w) < 2 || units(h) < 2) return; // no drawing area
        win_width = units(w);
        win_height = units(h);
        if (n == 4) {
            win_x = static_cast<int>(base) + units(x);
            win_y = static_cast<int>(base) + units(y);
        }
    } else if (std::sscanf(geom, offsets, &x, &y) == 2) {
        win_x = static_cast<int>(base) + units(x);
        win_y = static_cast<int>(base) + units(y);
    }
}

int open_x(Gws_type type, const Items &items) {
    if (x_open_display(items.first()) != 0) {
        MESS_print(M_WARN, "gopen_ws: unable to connect to display\n");
        return -1;
    }
    return x_open_window(type);
}

int open_ps(const Items &items) {
    gset_cache(0);
    gset_redraw(0);
    win_type = GWS_PS;
    const char *name = first_set({items.first(), env("zeqps_print"), env("PSPRINT")}, "zeq.ps");
    depth = 10;
    if (gps_open_file(name) == nullptr) {
        gerr_printf("gopen_ws", "unable to open postscript file\n");
        return -1;
    }
    Page page{11, 8.5};
    gps_init();
    const Items env_items(env("zeqps_param"));
    for (int i = 0; i < env_items.size(); ++i)
        ps_option(env_items[i], &page);
    for (int i = 1; i < items.size(); ++i)
        ps_option(items[i], &page);
    win_width = static_cast<int>(72 * (page.w - 0.5));
    win_height = static_cast<int>(72 * (page.h - 0.5));
    win_x = win_y = 0;
    gps_set_size(static_cast<float>(page.w), static_cast<float>(page.h));
    // The geometry comes before the prologue: an EPS bounding box is the
    // drawing area it gives.
    const char *res = RES_get("geometry");
    set_geometry(GWS_PS, first_set({res, env("zeqps_geometry"), env("PSGEOMETRY")}, nullptr));
    gps_init_file();
    return 0;
}

int open_hpgl(const Items &items) {
    gset_cache(0);
    gset_redraw(0);
    win_type = GWS_HPGL;
    const char *name = first_set({items.first(), env("zeqhp_out")}, "zeq.hpgl");
    depth = 10;
    if (ghpgl_open_file(name) == nullptr) {
        gerr_printf("gopen_ws", "unable to open HPGL file\n");
        return -1;
    }
    return 0;
}

int open_meta(const Items &items) {
    gset_cache(0);
    gset_redraw(0);
    for (int i = 1; i < items.size(); ++i) {
        if (stricmp(items[i], "cgm") == 0) gmeta_set_type(META_CGM);
        if (stricmp(items[i], "zeq") == 0) gmeta_set_type(META_TEXT);
    }
    win_width = 1000;
    win_height = 800;
    win_x = win_y = 0;
    win_type = GWS_META;
    set_geometry(GWS_META, RES_get("geometry"));
    const char *name =
        first_set({items.first(), env("zeqmeta_out")}, gmeta_get_type() == META_CGM ? "zeq.cgm" : "zeq.meta");
    depth = 10;
    if (gmeta_open_file(name) == nullptr) {
        gerr_printf("gopen_ws", "unable to open metafile\n");
        return -1;
    }
    gmeta_init_file();
    return 0;
}

// The initialisation kind of ginit_plot for a workstation type.
int plot_kind(Gws_type type) {
    switch (type) {
    case GWS_PS:
        return 2;
    case GWS_HPGL:
        return 3;
    case GWS_META:
        return 4;
    default:
        return 0;
    }
}

std::string cut(const char *text, std::size_t max) {
    return std::string(text != nullptr ? text : "").substr(0, max);
}

} // namespace

// ---- Kernel -------------------------------------------------------------------

Gint gopen_gks(const Gchar *err_f, Gint) {
    if (err_f == nullptr) {
        err_file = stderr;
        return 0;
    }
    FILE *f = FILE_open(err_f, "w");
    if (f == nullptr) return 1;
    if (err_file != nullptr && err_file != stderr) FILE_close(err_file);
    err_file = f;
    return 0;
}

Gint gclose_gks() {
    if (err_file != nullptr && err_file != stderr) {
        FILE_close(err_file);
        err_file = nullptr;
    }
    return 0;
}

Gint gemergency_close_gks() {
    return 0;
}

Gint gopen_ws(Gint, Gconn_id conn_id, Gws_type ws_type) {
    if (open_graphics) {
        gerr_printf("gopen_ws", "workstation already open\n");
        return -1;
    }
    const Items items(conn_id);
    const char *print = env("zeqprint");
    if (ws_type == GWS_PS && print != nullptr && stricmp(print, "hpgl") == 0) ws_type = GWS_HPGL;

    int rc = -1;
    switch (ws_type) {
    case GWS_WIN:
    case GWS_PIX:
        rc = open_x(ws_type, items);
        break;
    case GWS_PS:
        rc = open_ps(items);
        break;
    case GWS_HPGL:
        rc = open_hpgl(items);
        break;
    case GWS_META:
        rc = open_meta(items);
        break;
    default:
        gerr_printf("gopen_ws", "invalid workstation type: %d\n", ws_type);
        break;
    }
    if (rc != 0) return -1;

    open_graphics = 1;
    ginit_objs();
    ginit_plot(plot_kind(ws_type));
    gsetup_fonts();
    ginit_background();
    if (gtype_is_WIN_PIX()) x_finish_open();
    gset_cursor(8);
    return 0;
}

Gint gclose_ws(Gint) {
    if (!open_graphics) return -1;
    if (gtype_is_WIN_PIX()) x_close_ws();
    win_width = win_height = 0;
    int rc = 0;
    switch (win_type) {
    case GWS_WIN:
        gclear_objs();
        break;
    case GWS_PS:
        rc = gps_close_file();
        break;
    case GWS_HPGL:
        rc = ghpgl_close_file();
        break;
    case GWS_META:
        rc = gmeta_close_file();
        break;
    default:
        break;
    }
    open_graphics = 0;
    return rc == 0 ? 0 : -1;
}

Gint gactivate_ws(Gint) {
    return 0;
}

Gint gdeactivate_ws(Gint) {
    return 0;
}

Gint gclear_ws(Gint, Gclear_flag) {
    if (gtype_is_WIN()) {
        x_clear_ws();
        gclear_objs();
    }
    return 0;
}

Gint gmessage(Gint ws_id, const Gchar *message) {
    const char *text = message != nullptr ? message : "";
    gnew_obj(5, ws_id, static_cast<int>(std::strlen(text) + 1), text);
    if (gtype_is_META()) gmeta_printf("ME %s\n", text);
    if (gtype_is_PS()) gps_printf("%%%%Message: %s\n", text);
    return 0;
}

Gint gcreate_seg(Gint seg_name) {
    if (gtype_is_META()) {
        gmeta_printf("SEG_CR %d\n", seg_name);
        return -1;
    }
    gnew_obj(81, seg_name, 0, nullptr);
    return 0;
}

Gint gclose_seg(Gint seg_name) {
    if (gtype_is_META()) {
        gmeta_printf("SEG_CL %d\n", seg_name);
        return -1;
    }
    gnew_obj(82, seg_name, 0, nullptr);
    return 0;
}

Gint gdel_seg(Gint seg_name) {
    if (gtype_is_META()) {
        gmeta_printf("SEG_DE %d\n", seg_name);
        return -1;
    }
    gdel_seg_objs(seg_name);
    return 0;
}

Gint gchk_graphics() {
    return open_graphics;
}

Gint gcheck_open(const char *func) {
    if (open_graphics) return 1;
    gerr_printf(func, "GKS not opened\n");
    return 0;
}

Gint gerr_printf(const char *func, const char *mess, ...) {
    if (err_file == nullptr) return 0;
    va_list args;
    va_start(args, mess);
    va_list copy;
    va_copy(copy, args);
    const int len = std::vsnprintf(nullptr, 0, mess, copy);
    va_end(copy);
    std::string text(len > 0 ? static_cast<std::size_t>(len) : 0, '\0');
    if (len > 0) std::vsnprintf(text.data(), text.size() + 1, mess, args);
    va_end(args);
    MESS_print(M_WARN, "%s: ", func != nullptr ? func : "");
    MESS_print(M_WARN, "%s\n", text.c_str());
    return 0;
}

Gint gtype_is_WIN() {
    return win_type == GWS_WIN;
}

Gint gtype_is_PIX() {
    return win_type == GWS_PIX;
}

Gint gtype_is_WIN_PIX() {
    return win_type == GWS_WIN || win_type == GWS_PIX;
}

Gint gtype_is_PS() {
    return win_type == GWS_PS;
}

Gint gtype_is_HPGL() {
    return win_type == GWS_HPGL;
}

Gint gtype_is_META() {
    return win_type == GWS_META;
}

Gint gget_ws_id() {
    return 1;
}

Gint gset_win_type(Gint val) {
    win_type = val;
    return 0;
}

Gint gget_win_type() {
    return win_type;
}

Gint gset_pix_mode(Gint mode) {
    pix_mode = mode;
    return 0;
}

Gint gset_geometry(const Gchar *geom) {
    geometry = cut(geom, GEOMETRY_MAX);
    return 1;
}

Gint gset_win_size(Gint width, Gint height) {
    win_width = width;
    win_height = height;
    ginit_tran(10);
    return 0;
}

Gint gget_win_size(Gint *width, Gint *height) {
    *width = win_width;
    *height = win_height;
    return 0;
}

Gint gget_root_size(Gint *width, Gint *height) {
    *width = root_width;
    *height = root_height;
    return 0;
}

Gint gget_win_offset(Gint *x, Gint *y) {
    *x = win_x;
    *y = win_y;
    return 0;
}

Gint gset_xoff(Gint x, Gint y) {
    win_x = x;
    win_y = y;
    return 0;
}

Gint gget_window_width() {
    return win_width;
}

Gint gget_window_height() {
    return win_height;
}

Gint gget_win_depth() {
    return depth;
}

// ---- Device initialisation, names and titles -------------------------------------

int ginit_plot(int type) {
    if (type == -1) return -1;
    greset_text();
    greset_line();
    greset_marker();
    greset_fill();
    ginit_loop();
    ginit_tran(type);
    ginit_text(type);
    ginit_line(type);
    ginit_marker(type);
    ginit_fill(type);
    if (type == 0 || type == 1) x_init_plot(type);
    return 0;
}

int gset_prog_name(const char *str) {
    prog_name = cut(str, PROG_NAME_MAX);
    return 0;
}

const char *gget_prog_name() {
    return prog_name.c_str();
}

int gset_win_title(const char *str) {
    win_title = cut(str, WIN_TITLE_MAX);
    return x_have_window() ? 0 : -1;
}

const char *gget_win_title() {
    return win_title.c_str();
}

int gset_cursor(int type) {
    if (!gtype_is_WIN_PIX()) return 0;
    return x_set_cursor(type);
}

int gsync() {
    if (gtype_is_WIN_PIX()) x_sync();
    return 0;
}
