// The kernel colour table: the 257 colour slots with their fractions and
// device pixels, allocation of slots by index or by colour, the background
// slot, and the lookups of the primitives and print drivers.
// File-static state: the slots, the highest slot used, the background name
// and the colour modes (inverse video, read-write cells, private colormap).
#include "graphics/gks_colr.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/colors.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

constexpr int NUM_SLOTS = 257;
constexpr int BACK_SLOT = 256;
constexpr int LAST_SLOT = 255; // the last slot the plotting colours may take
constexpr std::size_t BACKGROUND_MAX = 49;
// Debug traces of the allocations (the debug kind's third sub-level).
// Pixel of a slot given a colour on a PostScript workstation.
constexpr long PS_PIXEL = -2;

std::array<float, NUM_SLOTS> red{};
std::array<float, NUM_SLOTS> grn{};
std::array<float, NUM_SLOTS> blu{};
// Pixel of each slot, -1 while it has no colour; all 0 until an X window
// opens, so a print device or metafile opened first accepts every slot.
std::array<long, NUM_SLOTS> color_ind{};
int max_color_ind = 0;
int local_cmap = 0;
int rw_colors = 1;
int inverse = 0;
std::string background;

Colormap def_colormap = 0;
Colormap user_colormap = 0;
bool own_cmap = false; // user_colormap was created for the own window

// How a slot's pixel was had from X: not from X (nothing to give back), a
// shared colour, or a read-write cell of its own.
enum class Cell : unsigned char { none, shared, rw };
std::array<Cell, NUM_SLOTS> cells{};

// The slot of an index: -1 is the background.
int slot_of(int ind) {
    return ind == -1 ? BACK_SLOT : ind;
}

bool in_table(int s) {
    return s >= 0 && s < NUM_SLOTS;
}

// ---- X colours ----

// Visuals whose colormaps hand out cells that can be changed and given back.
bool dynamic_visual() {
    const Visual *v = gget_visual();
    return v != nullptr && (v->c_class & 1) != 0;
}

unsigned short component(float f) {
    return static_cast<unsigned short>(65535 * f);
}

XColor request(float r, float g, float b) {
    XColor c{};
    c.red = component(r);
    c.green = component(g);
    c.blue = component(b);
    c.flags = DoRed | DoGreen | DoBlue;
    return c;
}

// The colour a colormap holds for a pixel.
XColor query(unsigned long pixel) {
    XColor c{};
    c.pixel = pixel;
    XQueryColor(gget_display(), gget_colormap(), &c);
    return c;
}

void trace_cell(const char *what, int s, float r, float g, float b) {
    const XColor c = query(static_cast<unsigned long>(color_ind[static_cast<std::size_t>(s)]));
    MESS_print(M_DEBUG_C, "%s: %d %d (%.2f %.2f %.2f) (%5d %5d %5d)\n", what, s,
               static_cast<int>(color_ind[static_cast<std::size_t>(s)]), r, g, b, c.red, c.green, c.blue);
}

// Gives a slot's colour back to X when X keeps count of it.
void free_cell(int s) {
    const auto i = static_cast<std::size_t>(s);
    if (cells[i] != Cell::none && dynamic_visual()) {
        unsigned long pixel = static_cast<unsigned long>(color_ind[i]);
        GxQuietErrors quiet;
        XFreeColors(gget_display(), gget_colormap(), &pixel, 1, 0);
    }
    cells[i] = Cell::none;
}

// The pixel nearest a colour when X can give none: computed from the colour
// masks on a true-colour visual, else the closest cell of the colormap.
unsigned long nearest_pixel(const XColor &want) {
    const Visual *v = gget_visual();
    if (v->c_class == TrueColor) return gget_color_rgb_Xval(want.red, want.green, want.blue);
    std::vector<XColor> all(static_cast<std::size_t>(std::max(v->map_entries, 1)));
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i].pixel = i;
    XQueryColors(gget_display(), gget_colormap(), all.data(), static_cast<int>(all.size()));
    const auto dist = [&](const XColor &c) {
        const auto sq = [](int a, int b) { return static_cast<long long>(a - b) * (a - b); };
        return sq(c.red, want.red) + sq(c.green, want.green) + sq(c.blue, want.blue);
    };
    return std::min_element(all.begin(), all.end(), [&](auto &a, auto &b) { return dist(a) < dist(b); })
        ->pixel;
}

// Allocates the closest shared colour; when X has none left the nearest
// pixel serves, with a warning under func. True when X allocated it.
bool alloc_shared(XColor *c, const char *func) {
    const XColor want = *c;
    {
        GxQuietErrors quiet;
        const Status ok = XAllocColor(gget_display(), gget_colormap(), c);
        XSync(gget_display(), False);
        if (ok && !quiet.failed()) return true;
    }
    *c = want;
    c->pixel = nearest_pixel(want);
    MESS_print(M_WARN, "%s: no colour cell for (%5d %5d %5d), pixel %lu serves\n", func, want.red, want.green,
               want.blue, c->pixel);
    return false;
}

// A read-write cell of its own for a slot; false (and shared colours from
// then on) when X has none.
bool alloc_rw(XColor *c) {
    unsigned long pixel = 0;
    bool ok = false;
    if (dynamic_visual()) {
        GxQuietErrors quiet;
        ok = XAllocColorCells(gget_display(), gget_colormap(), False, nullptr, 0, &pixel, 1) != 0;
        XSync(gget_display(), False);
        ok = ok && !quiet.failed();
    }
    MESS_print(M_DEBUG_C, "Allocated RW Cells: %d\n", ok ? 1 : 0);
    if (!ok) {
        rw_colors = 0;
        return false;
    }
    c->pixel = pixel;
    return true;
}

// Gives a slot its colour in X: its own read-write cell changed in place,
// or a shared colour that replaces the one it had. The slot's pixel.
long x_alloc(int s, float r, float g, float b) {
    const auto i = static_cast<std::size_t>(s);
    if (!gx_active()) return color_ind[i];
    Display *d = gget_display();
    XColor c = request(r, g, b);
    if (rw_colors && cells[i] == Cell::rw) {
        c.pixel = static_cast<unsigned long>(color_ind[i]);
        XStoreColor(d, gget_colormap(), &c);
        XSync(d, False);
        trace_cell("Stored RW Cells", s, r, g, b);
        return color_ind[i];
    }
    const bool had = color_ind[i] >= 0;
    if (rw_colors && alloc_rw(&c)) {
        XStoreColor(d, gget_colormap(), &c);
        if (had) free_cell(s);
        color_ind[i] = static_cast<long>(c.pixel);
        cells[i] = Cell::rw;
        XSync(d, False);
        trace_cell("Stored new RW Cells", s, r, g, b);
        return color_ind[i];
    }
    const bool allocated = alloc_shared(&c, "galloc_colr");
    if (had) free_cell(s);
    color_ind[i] = static_cast<long>(c.pixel);
    cells[i] = allocated ? Cell::shared : Cell::none;
    XSync(d, False);
    trace_cell(had ? "Allocated RW Cells" : "Allocated new RW Cells", s, r, g, b);
    return color_ind[i];
}

// The background slot on an X window: a colour of the colour table, else the
// name parsed by X, else the screen's black (white in inverse video).
void x_background(const std::string &name) {
    if (!gx_active()) return;
    Display *d = gget_display();
    XColor c{};
    bool named = false;
    const int entry = name.empty() ? -1 : CLR_get_ind(name.c_str());
    if (entry >= 0) {
        float r = 0, g = 0, b = 0;
        CLR_get_rgb(entry, &r, &g, &b);
        c.red = static_cast<unsigned short>(65535 * r);
        c.green = static_cast<unsigned short>(65535 * g);
        c.blue = static_cast<unsigned short>(65535 * b);
        named = true;
    } else if (!name.empty()) {
        named = XParseColor(d, def_colormap, name.c_str(), &c) != 0;
        if (!named)
            MESS_print(M_WARN, "ginit_background: unknown colour %s, default background used\n",
                       name.c_str());
    }
    if (!named) {
        const int scr = gget_screen();
        c.pixel = inverse ? WhitePixel(d, scr) : BlackPixel(d, scr);
        XQueryColor(d, def_colormap, &c);
    }
    c.flags = DoRed | DoGreen | DoBlue;
    free_cell(BACK_SLOT);
    const bool allocated = alloc_shared(&c, "ginit_background");
    MESS_print(M_DEBUG_C, "Allocated BG Color: %d (%5d %5d %5d)\n", static_cast<int>(c.pixel), c.red, c.green,
               c.blue);
    const XColor q = query(c.pixel);
    MESS_print(M_DEBUG_C, "Queried BG Color: %d (%5d %5d %5d)\n", static_cast<int>(q.pixel), q.red, q.green,
               q.blue);
    color_ind[BACK_SLOT] = static_cast<long>(c.pixel);
    cells[BACK_SLOT] = allocated ? Cell::shared : Cell::none;
    red[BACK_SLOT] = static_cast<float>(q.red) / 65535;
    grn[BACK_SLOT] = static_cast<float>(q.green) / 65535;
    blu[BACK_SLOT] = static_cast<float>(q.blue) / 65535;
}

float distance(int s, float r, float g, float b) {
    const auto i = static_cast<std::size_t>(s);
    return std::fabs(r - red[i]) + std::fabs(g - grn[i]) + std::fabs(b - blu[i]);
}

float fraction(float f) {
    return std::isnan(f) ? 0 : std::clamp(f, 0.0f, 1.0f);
}

} // namespace

Gint gset_colr_rep(Gint ws_id, Gint colr_ind, const Gcolr_rep *colr_rep) {
    if (!gcheck_open("gset_colr_rep")) return -1;
    if (gis_print_colr(colr_ind)) return 0;
    if (!gis_valid_colr(colr_ind)) {
        gerr_printf("gset_colr_rep", "invalid color index: %d\n", colr_ind);
        return -1;
    }
    if (colr_rep == nullptr) {
        gerr_printf("gset_colr_rep", "no colour given\n");
        return -1;
    }
    if (gtype_is_META()) {
        gmeta_printf("CLR %d %d %f %f %f\n", ws_id, colr_ind, colr_rep->red, colr_rep->green, colr_rep->blue);
        return 0;
    }
    gnew_obj(20, colr_ind, sizeof(Gcolr_rep), colr_rep);
    galloc_colr(colr_ind, colr_rep->red, colr_rep->green, colr_rep->blue);
    gx_refresh_colour(colr_ind);
    return 0;
}

long galloc_colr(int ind, float ired, float igrn, float iblu) {
    ired = fraction(ired);
    igrn = fraction(igrn);
    iblu = fraction(iblu);
    if (ind > max_color_ind && ind <= LAST_SLOT) max_color_ind = ind;
    bool store = true;
    if (ind < 0) {
        int found = -1;
        for (int i = 0; i < max_color_ind; ++i)
            if (gis_color_near(i, ired, igrn, iblu, 0)) found = i;
        if (found >= 0) {
            ind = found;
            MESS_print(M_DEBUG_C, "Used existing ind: %d (%.2f %.2f %.2f)\n", ind, ired, igrn, iblu);
        } else if (max_color_ind < LAST_SLOT) {
            ind = ++max_color_ind;
            MESS_print(M_DEBUG_C, "Allocated new ind: %d (%.2f %.2f %.2f)\n", ind, ired, igrn, iblu);
        } else {
            // Every slot is taken: the nearest colour serves as it is.
            ind = 0;
            for (int i = 1; i <= LAST_SLOT; ++i)
                if (distance(i, ired, igrn, iblu) < distance(ind, ired, igrn, iblu)) ind = i;
            store = false;
            MESS_print(M_WARN, "galloc_colr: colour table full, slot %d serves for (%.2f %.2f %.2f)\n", ind,
                       ired, igrn, iblu);
        }
    }
    if (!in_table(ind)) return gtype_is_WIN_PIX() ? 0 : 1;
    const auto s = static_cast<std::size_t>(ind);
    if (store) {
        red[s] = ired;
        grn[s] = igrn;
        blu[s] = iblu;
        gps_set_color_rep(ind, ired, igrn, iblu);
    }
    if (!gtype_is_WIN_PIX()) {
        if (gtype_is_PS() && color_ind[s] == -1) color_ind[s] = PS_PIXEL;
        return 1;
    }
    return store ? x_alloc(ind, ired, igrn, iblu) : color_ind[s];
}

int gis_color_near(long ind, float ired, float igrn, float iblu, int flag) {
    if (ind == -1) return 0;
    int s = static_cast<int>(ind);
    if (flag == 1) {
        const auto it = std::find(color_ind.begin(), color_ind.end(), ind);
        if (it == color_ind.end()) return 0;
        s = static_cast<int>(it - color_ind.begin());
    }
    if (!in_table(s)) return 0;
    return distance(s, ired, igrn, iblu) < 0.01f ? 1 : 0;
}

int gis_valid_colr(int ind) {
    return (ind >= -1 && ind <= BACK_SLOT) || gis_print_colr(ind) ? 1 : 0;
}

int gis_print_colr(int ind) {
    return ind >= 500 && ind <= 508 ? 1 : 0;
}

int gcheck_colr_ind(const char *func, int *ind) {
    if (!gis_valid_colr(*ind)) {
        gerr_printf(func, "invalid color index: %d\n", *ind);
        return -1;
    }
    if (gis_print_colr(*ind) && gtype_is_WIN_PIX()) *ind = 1;
    if (!gis_print_colr(*ind) && gget_color_ind(*ind) == -1) {
        gerr_printf(func, "color index not initialized\n");
        return -1;
    }
    return 0;
}

long gget_color_ind(int ind) {
    const int s = slot_of(ind);
    return in_table(s) ? color_ind[static_cast<std::size_t>(s)] : -1;
}

int gget_color_rgb(int ind, float *r, float *g, float *b) {
    const int s = slot_of(ind);
    if (!in_table(s)) {
        *r = *g = *b = 0;
        return 0;
    }
    const auto i = static_cast<std::size_t>(s);
    *r = red[i];
    *g = grn[i];
    *b = blu[i];
    return 1;
}

int gget_color_rgb256(int ind, int *r, int *g, int *b) {
    float fr = 0, fg = 0, fb = 0;
    const int found = gget_color_rgb(ind, &fr, &fg, &fb);
    *r = static_cast<int>(255 * fr);
    *g = static_cast<int>(255 * fg);
    *b = static_cast<int>(255 * fb);
    return found;
}

long gget_back_color() {
    return color_ind[BACK_SLOT];
}

int gget_max_colr() {
    return max_color_ind;
}

int ginit_background() {
    const char *res = RES_get("background");
    std::string name = res != nullptr ? res : "";
    if (!background.empty()) {
        name = background;
    } else if (res == nullptr && gget_display() != nullptr) {
        // Neither given: the X default of the program's name.
        const char *def = XGetDefault(gget_display(), gget_prog_name(), "background");
        if (def != nullptr) name = def;
    }
    // These names ask for the default background and an uncleared window.
    const bool keep = iequals(name, "none") || iequals(name, "def") || iequals(name, "over");
    if (keep) name.clear();
    if (gtype_is_WIN_PIX()) {
        x_background(name);
    } else if (gtype_is_PS()) {
        red[BACK_SLOT] = grn[BACK_SLOT] = blu[BACK_SLOT] = 1;
        gps_set_color_rep(BACK_SLOT, 1, 1, 1);
    }
    if (!keep && gtype_is_WIN()) gclear_frame(-3);
    return 1;
}

int gset_background(const char *back) {
    background = std::string(back != nullptr ? back : "").substr(0, BACKGROUND_MAX);
    return 1;
}

int gset_inverse(int val) {
    inverse = val;
    return 0;
}

int gget_inverse() {
    return inverse;
}

int gset_rw_colors(int ind) {
    rw_colors = ind;
    return 0;
}

int gset_local_colormap(int val) {
    local_cmap = val;
    return 1;
}

int ginit_xcolr() {
    Display *d = gget_display();
    if (d == nullptr) return 0;
    if (gtype_is_WIN() && gget_root_window() != 0) {
        const bool wanted =
            local_cmap || std::getenv("LOCAL_CMAP") != nullptr || std::getenv("zeqlocal_cmap") != nullptr;
        if (wanted && user_colormap == 0) {
            user_colormap = XCreateColormap(d, gget_root_window(), gget_visual(), AllocNone);
            own_cmap = true;
        }
        if (user_colormap != 0) XSetWindowColormap(d, gget_root_window(), user_colormap);
    }
    color_ind.fill(-1);
    cells.fill(Cell::none);
    return 0;
}

int gfree_xcolr() {
    Display *d = gget_display();
    if (d == nullptr) return 0;
    if (own_cmap && user_colormap != 0) {
        // The cells go with the colormap.
        XFreeColormap(d, user_colormap);
        user_colormap = 0;
        own_cmap = false;
        cells.fill(Cell::none);
        return 0;
    }
    for (int s = 0; s < NUM_SLOTS; ++s)
        free_cell(s);
    return 0;
}

int gquery_xcolor(int ind) {
    const int s = slot_of(ind);
    if (!rw_colors || !gx_active() || !in_table(s) || color_ind[static_cast<std::size_t>(s)] < 0) return 0;
    const auto i = static_cast<std::size_t>(s);
    const XColor c = query(static_cast<unsigned long>(color_ind[i]));
    MESS_print(M_DEBUG_C, "Query X Color: %d=%d (%.2f %.2f %.2f) (%5d %5d %5d)\n", ind,
               static_cast<int>(color_ind[i]), red[i], grn[i], blu[i], c.red, c.green, c.blue);
    return 0;
}

unsigned long gget_color_rgb_Xval(unsigned int r, unsigned int g, unsigned int b) {
    Display *d = gget_display();
    const int depth = d != nullptr ? DefaultDepth(d, gget_screen()) : 0;
    struct Channel {
        unsigned long mask;
        unsigned int value;
        int shift = 0;
        int width = 0;
    };
    std::array<Channel, 3> ch{{{gget_red_mask(), r}, {gget_grn_mask(), g}, {gget_blu_mask(), b}}};
    unsigned long pixel = 0;
    for (Channel &c : ch) {
        while (c.shift < depth && ((c.mask >> c.shift) & 1) == 0)
            ++c.shift;
        while (c.shift + c.width < depth && ((c.mask >> (c.shift + c.width)) & 1) != 0)
            ++c.width;
        if (c.width > 0 && c.width <= 16)
            pixel |= static_cast<unsigned long>((c.value & 0xffff) >> (16 - c.width)) << c.shift;
    }
    MESS_print(M_DEBUG_C, "mask: %d-%d-%d %d-%d-%d %d-%d-%d\n", ch[0].shift, 16 - ch[0].width,
               (1 << ch[0].width) - 1, ch[1].shift, 16 - ch[1].width, (1 << ch[1].width) - 1, ch[2].shift,
               16 - ch[2].width, (1 << ch[2].width) - 1);
    return pixel;
}

int gset_def_cmap(Colormap cmap) {
    def_colormap = cmap;
    return 0;
}

Colormap gget_def_cmap() {
    return def_colormap;
}

int gset_user_cmap(Colormap cmap) {
    user_colormap = cmap;
    return 0;
}

Colormap gget_user_cmap() {
    return user_colormap;
}

Colormap gget_colormap() {
    return user_colormap != 0 ? user_colormap : def_colormap;
}
