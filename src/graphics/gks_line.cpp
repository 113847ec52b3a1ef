// Polylines and line attributes, and the dispatch every kernel primitive and
// setter follows: kernel-open check, validation, skip an unchanged value,
// then one record on a metafile or an object and the drawing on the device;
// the rubber-band lines and rectangles of the X window.
// File-static state: the line colour, type and width, the print-bold factor,
// and the X graphics context of lines with its drawing function.
#include "graphics/gks_line.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "graphics/gks_colr.h"
#include "graphics/gks_hpgl.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11_xlib.h"

namespace {

int line_color = 1;
int line_type = 1;
float line_width = 1.0f;
int print_bold = 1;

GC line_gc = nullptr;
int line_gc_function = GXcopy;

// X dash lists (on, off, ...) of line types 2 to 5.
struct Dashes {
    std::array<char, 4> list;
    int n;
};
constexpr std::array<Dashes, 4> dashes{{{{6, 6}, 2}, {{3, 6}, 2}, {{6, 6, 3, 6}, 4}, {{2, 2}, 2}}};

// A pen-up move to the first point and pen-down moves through the others,
// with a line break after every tenth line.
void hpgl_polyline(Gint num_pt, const Gpt *array_pt) {
    ghpgl_set_width(line_color, line_width);
    ghpgl_set_color(line_color);
    ghpgl_set_type(line_type);
    ghpgl_move(array_pt[0].x, array_pt[0].y);
    for (Gint i = 1; i < num_pt; ++i) {
        ghpgl_line(array_pt[i].x, array_pt[i].y);
        if (i % 10 == 9) ghpgl_printf("\n");
    }
    ghpgl_printf("\n");
}

bool x_ready() {
    return gx_active() && line_gc != nullptr;
}

Gint x_polyline(Gint num_pt, const Gpt *array_pt) {
    if (!x_ready()) return 0;
    GxPoints pts;
    if (!pts.convert("gpolyline", num_pt, array_pt)) return -1;
    XDrawLines(gget_display(), gget_draw_window(), line_gc, pts.data(), num_pt, CoordModeOrigin);
    return 0;
}

void x_line_colour() {
    if (x_ready())
        XSetForeground(gget_display(), line_gc, static_cast<unsigned long>(gget_color_ind(line_color)));
}

void x_line_width() {
    if (!x_ready()) return;
    XGCValues v{};
    v.line_width = static_cast<int>(line_width);
    XChangeGC(gget_display(), line_gc, GCLineWidth, &v);
}

// Solid for type 1, dashed for every other; types 2 to 5 bring their dash
// list, other types keep the one installed last.
void x_line_type() {
    if (!x_ready()) return;
    XGCValues v{};
    v.line_style = line_type == 1 ? LineSolid : LineOnOffDash;
    XChangeGC(gget_display(), line_gc, GCLineStyle, &v);
    if (line_type >= 2 && line_type <= 5) {
        const Dashes &d = dashes[static_cast<std::size_t>(line_type - 2)];
        XSetDashes(gget_display(), line_gc, 0, d.list.data(), d.n);
    }
}

// POLYLINE elements of at most CGM_MAX_POINTS points (the length of one
// long-form element); a longer line goes on in the next element from the
// last point of the one before.
void cgm_polyline(Gint num_pt, const Gpt *array_pt) {
    Gint first = 0;
    while (first < num_pt - 1) {
        const Gint n = std::min(num_pt - first, CGM_MAX_POINTS);
        gcgm_control(4, 1, 31, 4 * n);
        for (Gint i = first; i < first + n; ++i)
            gcgm_point(array_pt[i].x, array_pt[i].y);
        first += n - 1;
    }
}

void ps_polyline(Gint num_pt, const Gpt *array_pt) {
    gps_count_comment("PL", num_pt);
    gps_set_width(line_color, line_width);
    gps_set_color(line_color);
    gps_set_type(line_type);
    gps_printf("np\n");
    gps_move(array_pt[0].x, array_pt[0].y);
    for (Gint i = 1; i < num_pt; ++i)
        gps_line(array_pt[i].x, array_pt[i].y);
    gps_printf("stroke\n");
}

} // namespace

Gint gpolyline(Gint num_pt, const Gpt *array_pt) {
    if (!gcheck_open("gpolyline")) return -1;
    if (num_pt <= 1 || array_pt == nullptr) {
        gerr_printf("gpolyline", "invalid number of points: %d\n", array_pt == nullptr ? 0 : num_pt);
        return -1;
    }
    if (!gpts_in_win(num_pt, array_pt)) return 0;
    if (gtype_is_META()) {
        if (gmeta_get_type() == META_CGM)
            cgm_polyline(num_pt, array_pt);
        else
            gmeta_point_list("PL", num_pt, array_pt, false);
        return 1;
    }
    gnew_obj(30, num_pt, num_pt * static_cast<int>(sizeof(Gpt)), array_pt);
    switch (gget_win_type()) {
    case GWS_WIN:
    case GWS_PIX:
        return x_polyline(num_pt, array_pt);
    case GWS_PS:
        ps_polyline(num_pt, array_pt);
        break;
    case GWS_HPGL:
        hpgl_polyline(num_pt, array_pt);
        break;
    default:
        break;
    }
    return 0;
}

Gint gset_line_colr_ind(Gint ind) {
    if (!gcheck_open("gset_line_colr_ind")) return -1;
    if (gcheck_colr_ind("gset_line_colr_ind", &ind) != 0) return -1;
    if (ind == line_color) return 0;
    line_color = ind;
    if (gtype_is_META()) {
        gmeta_printf("PL_CLR %d\n", ind);
        return 0;
    }
    gnew_obj(35, ind, 0, nullptr);
    x_line_colour();
    return 0;
}

Gint gset_linewidth(Gfloat width) {
    if (!gcheck_open("gset_linewidth")) return -1;
    if (!(width >= 0)) {
        gerr_printf("gset_linewidth", "invalid line width: %f\n", static_cast<double>(width));
        return -1;
    }
    if (width == line_width) return 0;
    if (gtype_is_PS() && width == 0) width = 1;
    line_width = width;
    if (gtype_is_META()) {
        gmeta_printf("PL_LW %f\n", static_cast<double>(width));
        return 0;
    }
    gnew_obj(34, 1, sizeof width, &width);
    x_line_width();
    return 0;
}

Gint gset_linetype(Gint type) {
    if (!gcheck_open("gset_linetype")) return -1;
    if (type < 0) {
        gerr_printf("gset_linetype", "invalid line type: %d\n", type);
        return -1;
    }
    if (type == line_type) return 0;
    line_type = type;
    if (gtype_is_META()) {
        gmeta_printf("PL_TYPE %d\n", type);
        return 0;
    }
    gnew_obj(33, type, 0, nullptr);
    x_line_type();
    return 0;
}

int gset_line_print_bold(int val) {
    print_bold = val > 0 ? val : 1;
    gnew_obj(36, print_bold, 0, nullptr);
    return 0;
}

int gget_line_print_bold() {
    return print_bold;
}

int gget_line_colr() {
    return line_color;
}

int ginit_line(int type) {
    if (type != 0 && type != 1) return 0;
    if (type == 0) gx_create_gc(&line_gc, gget_line_colr);
    gx_reset_gc(line_gc);
    line_gc_function = GXcopy;
    return 0;
}

int greset_line() {
    line_color = 1;
    line_type = 1;
    line_width = 1.0f;
    return 0;
}

GC gget_line_gc() {
    return line_gc;
}

int gset_line_gc_func(int func) {
    line_gc_function = func;
    if (x_ready()) XSetFunction(gget_display(), line_gc, func);
    return 0;
}

int gget_line_gc_func() {
    return line_gc_function;
}

int gxline(Drawable window, XPoint pt1, XPoint pt2) {
    if (x_ready() && window != 0) XDrawLine(gget_display(), window, line_gc, pt1.x, pt1.y, pt2.x, pt2.y);
    return 0;
}

int gxrect(Drawable window, XPoint pt1, XPoint pt2) {
    if (!x_ready() || window == 0) return 0;
    const int left = std::min(pt1.x, pt2.x), top = std::min(pt1.y, pt2.y);
    XDrawRectangle(gget_display(), window, line_gc, left, top, static_cast<unsigned>(std::abs(pt1.x - pt2.x)),
                   static_cast<unsigned>(std::abs(pt1.y - pt2.y)));
    return 0;
}
