// Wind symbols: one wind barb, wind arrow or storm track at a world point,
// drawn with the graphics kernel's current attributes; the map variants turn
// a true direction to the current projection's grid north first. No
// file-static state.
#include "plot/windbarb.h"

#include <cmath>

#include "fields/maptran.h"
#include "graphics/gks.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "plot/vecttool.h"
#include "runtime/zeq.h"

namespace {

// Barb geometry in units of the staff length: spacing of the elements along
// the staff and how far a full and a half barb reach sideways.
constexpr float kStep = 0.12f;
constexpr float kBarb = 0.5f;
constexpr float kHalf = 0.25f;
constexpr float kMaxSpeed = 300.0f;

// A direction or speed that gives no symbol: missing, or not a finite number
// (an infinite barb speed is capped instead, so only NaN stops a barb).
bool no_value(float v) {
    return v == FMISSING || !std::isfinite(v);
}

void line(float x1, float y1, float x2, float y2) {
    const Gpt pts[2] = {{x1, y1}, {x2, y2}};
    gpolyline(2, pts);
}

// The two head lines at the tip (tx, ty) of a shaft along (u, v), each
// turned 45 degrees back from the shaft: g scales them.
void head(float tx, float ty, float u, float v, float g) {
    line(tx, ty, tx - g * u + g * v, ty - g * v - g * u);
    line(tx, ty, tx - g * u - g * v, ty - g * v + g * u);
}

// Points of a barb: f along the staff, h to its clockwise side, both in
// units of the staff length, from the station point.
struct BarbFrame {
    float x, y;   // station point
    float dx, dy; // unit vector toward where the wind comes from, times size
    Gpt at(float f, float h) const { return {x + f * dx + h * dy, y + f * dy - h * dx}; }
    void stroke(float f1, float h1, float f2, float h2) const {
        const Gpt pts[2] = {at(f1, h1), at(f2, h2)};
        gpolyline(2, pts);
    }
};

} // namespace

int WIND_barb(float x, float y, float dir, float spd, float size, float offset) {
    if (no_value(dir) || spd == FMISSING || std::isnan(spd)) return -1;
    if (spd > kMaxSpeed) spd = kMaxSpeed;
    // A calm is the caller's symbol; a negative speed is no wind at all.
    if (spd <= 0.0f) return -1;
    gset_fill_int_style(GSOLID);
    // Each step of 5 is counted from 2 below it.
    const float s = spd + 0.01f;

    float ux = 0.0f, uy = 0.0f;
    polar2vect(dir, 1.0f, &ux, &uy);
    const BarbFrame b{x, y, size * ux, size * uy};
    line(x + offset * ux, y + offset * uy, x + size * ux, y + size * uy);

    const int pennants = int(std::floor((s + 2.0f) / 50.0f));
    const float rest = s - 50.0f * float(pennants) + 2.0f;
    const int barbs = int(std::floor(rest / 10.0f));
    const int half = int(std::floor(rest / 5.0f)) % 2;

    // A lone half barb stands one step in from the staff's end.
    if (half == 1 && barbs == 0 && pennants == 0) {
        b.stroke(1.0f - kStep, 0.0f, 1.0f - kStep / 2.0f, kHalf);
        return 0;
    }
    for (int k = 0; k < pennants; ++k) {
        const float g = kStep * float(k);
        const Gpt tri[4] = {b.at(1.0f - g, 0.0f), b.at(1.0f - g, kBarb), b.at(1.0f - kStep - g, 0.0f),
                            b.at(1.0f - g, 0.0f)};
        gfill_area(4, tri);
        gpolyline(4, tri);
    }
    // Without pennants the first barb leans out past the staff's end.
    const int m = pennants > 0 ? pennants : -1;
    for (int k = 0; k < barbs; ++k) {
        const float g = kStep * float(k + m);
        b.stroke(1.0f - kStep - g, 0.0f, 1.0f - g, kBarb);
    }
    if (half == 1) {
        const float g = kStep * float(barbs + m);
        b.stroke(1.0f - kStep - g, 0.0f, 1.0f - kStep / 2.0f - g, kHalf);
    }
    return 0;
}

int WIND_vect(float x, float y, float dir, float spd, float size, float arrow) {
    if (no_value(dir) || no_value(spd) || spd == 0.0f) return -1;
    float u = 0.0f, v = 0.0f;
    wind2vect(dir, spd, &u, &v);
    const float tx = x + size * u, ty = y + size * v;
    line(x, y, tx, ty);
    if (arrow > 0.0f) head(tx, ty, u, v, 0.2f * arrow * size);
    return 0;
}

int WIND_track(float x, float y, float dir, float spd, float arrow, int maj, int /*min*/) {
    if (no_value(dir) || no_value(spd) || spd == 0.0f) return -1;
    float u = 0.0f, v = 0.0f;
    wind2vect(dir, 1.0f, &u, &v);
    line(x, y, x + spd * u, y + spd * v);
    const float e = 0.2f * arrow;
    for (int i = 0; i < maj; ++i) {
        const float f = float(i) * spd / float(maj);
        const float px = x + f * u, py = y + f * v;
        line(px - e * v, py + e * u, px + e * v, py - e * u);
    }
    if (arrow > 0.0f) head(x + spd * u, y + spd * v, u, v, 0.2f * arrow);
    return 0;
}

// A missing direction stays missing: turning it would draw a symbol for a
// wind that has none.
int WIND_barb_map(float x, float y, float dir, float spd, float size, float offset) {
    if (dir != FMISSING) dir = MAP_dir_adj(dir, x, y);
    return WIND_barb(x, y, dir, spd, size, offset);
}

int WIND_vect_map(float x, float y, float dir, float spd, float size, float arrow) {
    if (dir != FMISSING) dir = MAP_dir_adj(dir, x, y);
    return WIND_vect(x, y, dir, spd, size, arrow);
}
