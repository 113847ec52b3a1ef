// Fill areas and their attributes, with the 20 patterns of 8 x 8 pixels.
// Gray print output can fill in black (print solid) instead of each
// colour's gray. File-static state: the interior style, the pattern, the
// fill colour, the print-solid switch, and the X graphics context of fills
// with the patterns as X bitmaps.
#include "graphics/gks_fill.h"

#include <X11/Xlib.h>

#include <array>
#include <cstdint>

#include "graphics/gks_colr.h"
#include "graphics/gks_hpgl.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11_xlib.h"

namespace {

// One byte per pixel row from the top; bit 0 is the leftmost pixel.
constexpr std::array<std::array<std::uint8_t, 8>, NUM_FILL_PAT> bitmap{{
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, // sol
    {0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55}, // st
    {0x55, 0x00, 0x55, 0x00, 0x55, 0x00, 0x55, 0x00}, // ost
    {0x24, 0x11, 0x82, 0x48, 0x42, 0x11, 0x28, 0x84}, // rst
    {0x33, 0x33, 0x00, 0x00, 0xcc, 0xcc, 0x00, 0x00}, // lst
    {0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33}, // vln
    {0x03, 0x06, 0x0c, 0x18, 0x30, 0x60, 0xc0, 0x81}, // dlr
    {0x81, 0xc0, 0x60, 0x30, 0x18, 0x0c, 0x06, 0x03}, // drl
    {0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0x00, 0x00}, // hln
    {0xc3, 0x66, 0x3c, 0x18, 0x3c, 0x66, 0xc3, 0x81}, // hat
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // clr
    {0x40, 0x10, 0x20, 0x01, 0x00, 0x04, 0x08, 0x02}, // 1%
    {0x08, 0xa0, 0x44, 0x11, 0x22, 0x10, 0x81, 0x44}, // 2%
    {0x45, 0x28, 0x94, 0x43, 0x50, 0x09, 0x52, 0xa8}, // 3%
    {0x19, 0xca, 0x34, 0x1a, 0xe1, 0x32, 0xa5, 0xcc}, // 4%
    {0x55, 0xdc, 0x3b, 0xe2, 0x97, 0xaa, 0x65, 0x3e}, // 5%
    {0x7a, 0xe5, 0x5f, 0xab, 0xf5, 0xeb, 0x5e, 0xb5}, // 6%
    {0xfe, 0xbb, 0xf5, 0x6f, 0xfe, 0xd7, 0xbd, 0xeb}, // 7%
    {0xfd, 0xff, 0xef, 0x7f, 0xdf, 0xfe, 0xf7, 0xaf}, // 8%
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, // 9%
}};

int fill_inter_style = GSOLID;
int fill_inter_index = 1;
int fill_color = 1;
int print_solid = 0;

GC fill_gc = nullptr;
std::array<Pixmap, NUM_FILL_PAT> fill_pat{};

// The polygon in polygon mode, filled in the shade of the fill colour
// whatever the interior style.
void hpgl_fill_area(Gint num_pt, const Gpt *array_pt) {
    ghpgl_set_fill_color(fill_color);
    ghpgl_move(array_pt[0].x, array_pt[0].y);
    ghpgl_printf("PM0;");
    for (Gint i = 1; i < num_pt; ++i)
        ghpgl_line(array_pt[i].x, array_pt[i].y);
    ghpgl_printf("PM1;PM2;FP;\n");
}

bool x_ready() {
    return gx_active() && fill_gc != nullptr;
}

// The polygon filled, then its outline through the same points (closed only
// when the caller repeats the first point).
int x_fill_area(Gint num_pt, const Gpt *array_pt) {
    if (!x_ready()) return 0;
    GxPoints pts;
    if (!pts.convert("gfill_area", num_pt, array_pt)) return -1;
    Display *d = gget_display();
    XFillPolygon(d, gget_draw_window(), fill_gc, pts.data(), num_pt, Complex, CoordModeOrigin);
    XDrawLines(d, gget_draw_window(), fill_gc, pts.data(), num_pt, CoordModeOrigin);
    return 0;
}

void x_fill_colour() {
    if (x_ready())
        XSetForeground(gget_display(), fill_gc, static_cast<unsigned long>(gget_color_ind(fill_color)));
}

void x_fill_pattern() {
    const Pixmap pat = fill_pat[static_cast<std::size_t>(fill_inter_index)];
    if (x_ready() && pat != 0) XSetStipple(gget_display(), fill_gc, pat);
}

// Solid and patterned styles change the X fill style; the others leave it.
void x_fill_style() {
    if (!x_ready()) return;
    if (fill_inter_style == GSOLID) {
        XSetFillStyle(gget_display(), fill_gc, FillSolid);
    } else if (fill_inter_style == GPAT) {
        XSetFillStyle(gget_display(), fill_gc, FillStippled);
        x_fill_pattern();
    }
}

void ps_fill_area(Gint num_pt, const Gpt *array_pt) {
    if (fill_inter_style != GSOLID) return; // patterns have no PostScript form
    gps_count_comment("FA", num_pt);
    gps_printf("np\n");
    gps_move(array_pt[0].x, array_pt[0].y);
    for (Gint i = 1; i < num_pt; ++i)
        gps_line(array_pt[i].x, array_pt[i].y);
    gps_printf("cp\n");
    gps_set_fill_color(fill_color);
    gps_printf("fill\n");
}

} // namespace

Gint gfill_area(Gint num_pt, const Gpt *array_pt) {
    if (!gcheck_open("gfill_area")) return -1;
    if (num_pt <= 1 || array_pt == nullptr) {
        gerr_printf("gfill_area", "invalid number of points: %d\n", array_pt == nullptr ? 0 : num_pt);
        return -1;
    }
    if (!gpts_in_win(num_pt, array_pt)) return 0;
    if (gtype_is_META()) {
        if (gmeta_get_type() == META_TEXT) gmeta_point_list("FA", num_pt, array_pt, true);
        return 1;
    }
    gnew_obj(70, num_pt, num_pt * static_cast<int>(sizeof(Gpt)), array_pt);
    switch (gget_win_type()) {
    case GWS_WIN:
    case GWS_PIX:
        return x_fill_area(num_pt, array_pt);
    case GWS_PS:
        ps_fill_area(num_pt, array_pt);
        break;
    case GWS_HPGL:
        hpgl_fill_area(num_pt, array_pt);
        break;
    default:
        break;
    }
    return 0;
}

Gint gset_fill_colr_ind(Gint ind) {
    if (ind == fill_color) return 0;
    if (!gcheck_open("gset_fill_colr_ind")) return -1;
    if (gcheck_colr_ind("gset_fill_colr_ind", &ind) != 0) return -1;
    fill_color = ind;
    if (gtype_is_META()) {
        gmeta_printf("FA_CLR %d\n", ind);
        return 0;
    }
    gnew_obj(75, ind, 0, nullptr);
    x_fill_colour();
    return 0;
}

Gint gset_fill_int_style(Gint style) {
    if (style == fill_inter_style) return 0;
    if (!gcheck_open("gset_fill_int_style")) return -1;
    fill_inter_style = style;
    if (gtype_is_META()) {
        gmeta_printf("FA_INT %d\n", style);
        return 0;
    }
    gnew_obj(73, style, 0, nullptr);
    x_fill_style();
    return 0;
}

Gint gset_fill_style_ind(Gint ind) {
    if (ind == fill_inter_index) return 0;
    if (!gcheck_open("gset_fill_style_ind")) return -1;
    if (ind < 0 || ind >= NUM_FILL_PAT) {
        gerr_printf("gset_fill_style_ind", "invalid style index: %d\n", ind);
        return -1;
    }
    // A metafile keeps no pattern: every call with another index than the
    // stored one writes its record again.
    if (gtype_is_META()) {
        gmeta_printf("FA_ST %d\n", ind);
        return 0;
    }
    fill_inter_index = ind;
    gnew_obj(74, ind, 0, nullptr);
    x_fill_pattern();
    return 0;
}

int gset_fill_print_solid(int val) {
    print_solid = val;
    gnew_obj(76, val, 0, nullptr);
    return 0;
}

int gget_fill_print_solid() {
    return print_solid;
}

int gget_fill_colr() {
    return fill_color;
}

int gfill_test(int pat, int x, int y) {
    if (pat < 0 || pat >= NUM_FILL_PAT) return 0;
    const auto row = static_cast<std::size_t>(((y % 8) + 8) % 8);
    const int bit = ((x % 8) + 8) % 8;
    return bitmap[static_cast<std::size_t>(pat)][row] & (1 << bit);
}

int ginit_fill(int type) {
    if (type != 0 && type != 1) return 0;
    Display *d = gget_display();
    if (type == 0 && gx_create_gc(&fill_gc, gget_fill_colr) != nullptr) {
        gdel_fill_pat();
        for (std::size_t i = 0; i < fill_pat.size(); ++i)
            fill_pat[i] = XCreateBitmapFromData(d, gget_root_window(),
                                                reinterpret_cast<const char *>(bitmap[i].data()), 8, 8);
    }
    if (fill_gc == nullptr) return 0;
    gx_reset_gc(fill_gc);
    XSetFillStyle(d, fill_gc, FillSolid);
    return 0;
}

int greset_fill() {
    fill_inter_style = GSOLID;
    fill_inter_index = 1;
    fill_color = 1;
    return 0;
}

GC gget_fill_gc() {
    return fill_gc;
}

int gdel_fill_pat() {
    Display *d = gget_display();
    for (Pixmap &p : fill_pat) {
        if (p != 0 && d != nullptr) XFreePixmap(d, p);
        p = 0;
    }
    return 0;
}
