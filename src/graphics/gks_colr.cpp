// The kernel colour table: the 257 colour slots with their fractions and
// device pixels, allocation of slots by index or by colour, the background
// slot, and the lookups of the primitives and print drivers.
// File-static state: the slots, the highest slot used, the background name
// and the colour modes (inverse video, read-write cells, private colormap).
#include "graphics/gks_colr.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
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

// ---- X branches, built with the X window workstation ----
long x_alloc(int, float, float, float) {
    return 0;
}
void x_refresh_gcs(int) {}
void x_background(const std::string &) {}
void x_clear_to_background() {}

// The slot of an index: -1 is the background.
int slot_of(int ind) {
    return ind == -1 ? BACK_SLOT : ind;
}

bool in_table(int s) {
    return s >= 0 && s < NUM_SLOTS;
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
    if (gtype_is_WIN_PIX()) x_refresh_gcs(colr_ind);
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
    if (!background.empty()) name = background;
    // These names ask for the default background and an uncleared window.
    const bool keep = iequals(name, "none") || iequals(name, "def") || iequals(name, "over");
    if (keep) name.clear();
    if (gtype_is_WIN_PIX()) {
        x_background(name);
    } else if (gtype_is_PS()) {
        red[BACK_SLOT] = grn[BACK_SLOT] = blu[BACK_SLOT] = 1;
        gps_set_color_rep(BACK_SLOT, 1, 1, 1);
    }
    if (!keep && gtype_is_WIN()) x_clear_to_background();
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
