// Markers: the polymarker primitive and its attributes. Figures are built in
// device units around each point's device position, y upwards, and turned
// over once for the window, whose rows grow downwards, so that every device
// shows the same figure. File-static state: the marker colour, type, width
// and size factor.
#include "graphics/gks_mark.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

#include "graphics/gks_colr.h"
#include "graphics/gks_hpgl.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11_xlib.h"

namespace {

// Device units per unit of size factor: pixels, points, plotter units.
constexpr float X_UNITS = 10.0f;
constexpr float PS_UNITS = 10.0f * 0.72f;
constexpr float HPGL_UNITS = 10.0f * 10.15f;
constexpr int MAX_PIECE = 13; // points of the longest piece, the circle

int marker_color = 1;
int marker_type = GMK_POINT;
float marker_width = 1.0f;
float marker_height = 1.0f;

// ---- X window ----

GC mark_gc = nullptr;

bool x_ready() {
    return gx_active() && mark_gc != nullptr;
}

short to_pixel(float v) {
    return static_cast<short>(std::clamp(v, -32768.0f, 32767.0f));
}

// A piece of a figure in pixels: a point, or a connected line.
void x_mark_draw(int npt, const Gpt *pts) {
    if (!x_ready()) return;
    std::array<XPoint, MAX_PIECE> xp{};
    const int n = std::min(npt, MAX_PIECE);
    for (int i = 0; i < n; ++i)
        xp[static_cast<std::size_t>(i)] = {to_pixel(pts[i].x), to_pixel(pts[i].y)};
    if (n == 1)
        XDrawPoint(gget_display(), gget_draw_window(), mark_gc, xp[0].x, xp[0].y);
    else
        XDrawLines(gget_display(), gget_draw_window(), mark_gc, xp.data(), n, CoordModeOrigin);
}

void x_marker_color() {
    if (x_ready())
        XSetForeground(gget_display(), mark_gc, static_cast<unsigned long>(gget_color_ind(marker_color)));
}

void x_marker_width() {
    if (!x_ready()) return;
    XGCValues v{};
    v.line_width = static_cast<int>(marker_width);
    XChangeGC(gget_display(), mark_gc, GCLineWidth, &v);
}

void x_init_marker(int type) {
    if (type == 0) gx_create_gc(&mark_gc, gget_marker_colr);
    gx_reset_gc(mark_gc);
}

// Drop shadows are drawn in the screen's black, the marker in its colour.
void x_shadow_on() {
    if (x_ready()) XSetForeground(gget_display(), mark_gc, BlackPixel(gget_display(), gget_screen()));
}

void x_shadow_off() {
    x_marker_color();
}

// ---- HP-GL ----

void hpgl_marker_attr() {
    ghpgl_set_width(marker_color, marker_width);
    ghpgl_set_color(marker_color);
    ghpgl_set_type(1);
}

void hpgl_mark_draw(int npt, const Gpt *pts) {
    ghpgl_move_abs(pts[0].x, pts[0].y);
    // A lone point: the pen goes down where it is, which plots a dot.
    if (npt == 1) ghpgl_line_abs(pts[0].x, pts[0].y);
    for (int i = 1; i < npt; ++i)
        ghpgl_line_abs(pts[i].x, pts[i].y);
    ghpgl_printf("\n");
}

void ps_mark_draw(int npt, const Gpt *pts) {
    gps_printf("np\n");
    gps_move_abs(pts[0].x, pts[0].y);
    if (npt == 1) {
        // A lone point: a line of no length, which only round caps paint.
        gps_line_abs(pts[0].x, pts[0].y);
        gps_printf("1 setlinecap stroke 0 setlinecap\n");
        return;
    }
    for (int i = 1; i < npt; ++i)
        gps_line_abs(pts[i].x, pts[i].y);
    gps_printf("stroke\n");
}

// The circle's points: cos and sin of 30 degrees.
constexpr float C30 = 0.866f;
constexpr float S30 = 0.5f;

} // namespace

Gint gpolymarker(Gint num_pt, const Gpt *array_pt) {
    if (!gcheck_open("gpolymarker")) return -1;
    if (num_pt < 0 || (num_pt > 0 && array_pt == nullptr)) {
        gerr_printf("gpolymarker", "invalid number of points: %d\n", num_pt);
        return -1;
    }
    if (num_pt == 0) return 0;
    if (gtype_is_META()) {
        if (gmeta_get_type() == META_TEXT) gmeta_point_list("PM", num_pt, array_pt, true);
        return 0;
    }
    gnew_obj(40, num_pt, num_pt * static_cast<int>(sizeof(Gpt)), array_pt);
    float size = X_UNITS * marker_height;
    const bool window = gtype_is_WIN_PIX();
    if (gtype_is_PS()) {
        gps_printf("%%%%PM:%d\n", num_pt);
        gps_set_width(marker_color, marker_width);
        gps_set_color(marker_color);
        gps_set_type(1);
        size = PS_UNITS * marker_height;
    } else if (gtype_is_HPGL()) {
        hpgl_marker_attr();
        size = HPGL_UNITS * marker_height;
    }
    const int shadow = window ? gget_font_drop() : 0;
    for (Gint i = 0; i < num_pt; ++i) {
        float x, y;
        if (window) {
            x = xW_p(array_pt[i].x) + 0.5f;
            y = yW_p(array_pt[i].y) + 0.5f;
        } else {
            x = xW_ps(array_pt[i].x);
            y = yW_ps(array_pt[i].y);
        }
        if (shadow > 0) {
            x_shadow_on();
            for (int k = 0; k < shadow; ++k)
                draw_marker(x + static_cast<float>(k), y + static_cast<float>(k), size);
            x_shadow_off();
        }
        draw_marker(x, y, size);
    }
    return 0;
}

int draw_marker(float x, float y, float size) {
    // Half the size, truncated (held to a range an int keeps).
    const float s = std::trunc(std::clamp(size / 2, -1e6f, 1e6f));
    // The window's rows grow downwards: its figures are turned over.
    const float flip = gtype_is_WIN_PIX() ? -1.0f : 1.0f;
    auto piece = [&](std::initializer_list<Gpt> offsets, float unit) {
        std::array<Gpt, MAX_PIECE> pts{};
        int n = 0;
        for (const Gpt &o : offsets)
            pts[static_cast<std::size_t>(n++)] = {x + unit * o.x, y + flip * unit * o.y};
        mark_draw(n, pts.data());
    };
    switch (marker_type) {
    case GMK_POINT:
        piece({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, 1);
        break;
    case GMK_PLUS:
        piece({{-1, 0}, {1, 0}}, s);
        piece({{0, 1}, {0, -1}}, s);
        break;
    case GMK_STAR:
        piece({{-1, 0}, {1, 0}}, s);
        piece({{-1, -1}, {1, 1}}, s);
        piece({{0, 1}, {0, -1}}, s);
        piece({{1, -1}, {-1, 1}}, s);
        break;
    case GMK_CIRCLE:
        piece({{-1, 0},
               {-C30, S30},
               {-S30, C30},
               {0, 1},
               {S30, C30},
               {C30, S30},
               {1, 0},
               {C30, -S30},
               {S30, -C30},
               {0, -1},
               {-S30, -C30},
               {-C30, -S30},
               {-1, 0}},
              s);
        break;
    case GMK_X:
        piece({{-1, -1}, {1, 1}}, s);
        piece({{1, -1}, {-1, 1}}, s);
        break;
    case GMK_SQUARE:
        piece({{-1, 1}, {1, 1}, {1, -1}, {-1, -1}, {-1, 1}}, s);
        break;
    case GMK_TRI: // apex up
        piece({{-1, -1}, {1, -1}, {0, 1}, {-1, -1}}, s);
        break;
    case GMK_DOT:
        piece({{0, 0}}, 1);
        break;
    case GMK_ITRI: // apex down
        piece({{-1, 1}, {1, 1}, {0, -1}, {-1, 1}}, s);
        break;
    default:
        break;
    }
    return 0;
}

int mark_draw(int npt, const Gpt *pts) {
    if (npt < 1 || pts == nullptr) return 0;
    switch (gget_win_type()) {
    case GWS_WIN:
    case GWS_PIX:
        x_mark_draw(npt, pts);
        break;
    case GWS_PS:
        ps_mark_draw(npt, pts);
        break;
    case GWS_HPGL:
        hpgl_mark_draw(npt, pts);
        break;
    default:
        break;
    }
    return 0;
}

Gint gset_marker_colr_ind(Gint ind) {
    if (!gcheck_open("gset_marker_colr_ind")) return -1;
    if (gcheck_colr_ind("gset_marker_colr_ind", &ind) != 0) return -1;
    if (ind == marker_color) return 0;
    marker_color = ind;
    if (gtype_is_META()) {
        gmeta_printf("PM_CLR %d\n", ind);
        return 0;
    }
    gnew_obj(45, ind, 0, nullptr);
    if (gtype_is_WIN_PIX()) x_marker_color();
    return 0;
}

Gint gset_marker_size(Gfloat size) {
    if (!gcheck_open("gset_marker_size")) return -1;
    if (!(size >= 0)) {
        gerr_printf("gset_marker_size", "invalid marker size: %f\n", static_cast<double>(size));
        return -1;
    }
    if (size == marker_height) return 0;
    marker_height = size;
    if (gtype_is_META()) {
        gmeta_printf("PM_SIZE %f\n", static_cast<double>(size));
        return 0;
    }
    gnew_obj(44, 1, sizeof size, &size);
    return 0;
}

Gint gset_marker_type(Gint type) {
    if (!gcheck_open("gset_marker_type")) return -1;
    if (type == marker_type) return 0;
    marker_type = type;
    if (gtype_is_META()) {
        gmeta_printf("PM_TYPE %d\n", type);
        return 0;
    }
    gnew_obj(43, type, 0, nullptr);
    return 0;
}

Gint gset_marker_width(Gfloat width) {
    if (!gcheck_open("gset_marker_width")) return -1;
    if (!(width >= 0)) {
        gerr_printf("gset_marker_width", "invalid marker width: %f\n", static_cast<double>(width));
        return -1;
    }
    if (width == marker_width) return 0;
    if (gtype_is_PS() && width == 0) width = 1;
    marker_width = width;
    if (gtype_is_META()) {
        gmeta_printf("PM_WDTH %f\n", static_cast<double>(width));
        return 0;
    }
    gnew_obj(46, 1, sizeof width, &width);
    if (gtype_is_WIN_PIX()) x_marker_width();
    return 0;
}

int gget_marker_colr() {
    return marker_color;
}

GC gget_marker_gc() {
    return mark_gc;
}

int ginit_marker(int type) {
    if (type == 0 || type == 1) x_init_marker(type);
    return 0;
}

int greset_marker() {
    marker_color = 1;
    marker_type = GMK_POINT;
    marker_width = 1.0f;
    marker_height = 10.0f;
    return 0;
}
