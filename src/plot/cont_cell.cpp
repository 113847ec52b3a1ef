// Contour cells: every grid cell is visited once and draws its own share of
// the contour lines (2-point segments) and of the colour-filled bands (small
// polygons) for every level band that reaches it; segments and polygons that
// cross the seam of a world map are split before they reach the kernel.
// File-static state: the current cell (corners, the crossing states of the
// band's lower and upper level, the trace switch) and the pending run of
// whole cells; the band entry being drawn and the seam limits live in the
// module settings (cont_detail).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "fields/maptran.h"
#include "graphics/colors.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "plot/cont.h"
#include "plot/cont_int.h"

using cont_detail::Settings;
using cont_detail::settings;

namespace {

// Seam widths of the world maps: latitude-longitude degrees, the Mercator
// plane (in single precision), and the Mollweide row width at the equator.
constexpr float LL_WIDTH = 360.0f;
constexpr float MERC_WIDTH = 400.31555892808814f;
constexpr float MERC_HALF = 200.16029273816693f;
constexpr double MOLL_WIDTH = 254.852;
constexpr double MOLL_RADIUS = 63.713;

// The projections with a seam.
constexpr int PROJ_LL = 2;
constexpr int PROJ_MERC = 3;
constexpr int PROJ_LAMBERT = 4;
constexpr int PROJ_MOLL = 7;

using cont_detail::SIDE_FROM;
using cont_detail::SIDE_TO;
constexpr float NOT_CROSSED = cont_detail::SIDE_NOT_CROSSED;

// Crossings of one level in the current cell.
struct Cross {
    bool set = false; // computed for this cell
    float level = 0.0f;
    float side[4] = {NOT_CROSSED, NOT_CROSSED, NOT_CROSSED, NOT_CROSSED};
    int n = 0;
    int list[4] = {-1, -1, -1, -1};
    float total = 0.0f;
    Gpt pt[4] = {}; // crossing point of each listed side, by side
};

struct Cell {
    float z[4] = {};
    float x[4] = {};
    float y[4] = {};
    Cross cur;  // the level handled last (the band's upper level)
    Cross prev; // the band's lower level
    bool trace = false;
    int proj = MISSING;
    int type = 12;
};

Cell cell;

float moll_row_width(float y) {
    const double r = 1.0 - (double(y) / MOLL_RADIUS) * (double(y) / MOLL_RADIUS);
    return static_cast<float>(MOLL_WIDTH * std::sqrt(r > 0 ? r : 0.0));
}

// Side states, crossing list, count and total of one level; the trace line
// of the traced cell carries tag.
void compute_dz(float level, const char *tag) {
    Cross &c = cell.cur;
    c.set = true;
    c.level = level;
    cont_detail::side_states(cell.z, level, c.side);
    int n = 0;
    for (int s = 0; s < 4; ++s)
        if (c.side[s] >= 0) c.list[n++] = s;
    if (n == 3) {
        // A corner hit beside two true crossings: the side crossed at its
        // counted corner goes, and two entries stay.
        int m = 0;
        for (int k = 0; k < 3; ++k) {
            const int s = c.list[k];
            const float f = c.side[s];
            const bool at_corner =
                (s == 0 && f == 0) || (s == 1 && f == 1) || (s == 2 && f == 0) || (s == 3 && f == 1);
            if (!at_corner) c.list[m++] = s;
        }
        n = 2;
    } else if (n == 1) {
        n = 0; // a lone corner touch
    }
    for (int k = n; k < 4; ++k)
        c.list[k] = -1;
    c.n = n;
    c.total = c.side[0] + c.side[1] + (1 - c.side[2]) + (1 - c.side[3]);
    for (int k = 0; k < n; ++k) {
        const int s = c.list[k];
        const int a = SIDE_FROM[s], b = SIDE_TO[s];
        c.pt[s] = cont_detail::int_xy(cell.proj, cell.x[a], cell.y[a], cell.x[b], cell.y[b], c.side[s]);
    }
    if (cell.trace)
        std::printf("%s-val: %f side: %.2f %.2f %.2f %.2f nside: %d cross: %d %d %d %d tside: %.2f\n", tag,
                    double(level), double(c.side[2]), double(c.side[3]), double(c.side[0]), double(c.side[1]),
                    c.n, c.list[0], c.list[1], c.list[2], c.list[3], double(c.total));
}

// The segments of a level as pairs of sides: one for two crossings, two for
// a saddle (by its total the corners c0 and c3, or c1 and c2, are cut off).
int segment_pairs(const Cross &c, int pairs[2][2]) {
    if (c.n == 2) {
        pairs[0][0] = c.list[0];
        pairs[0][1] = c.list[1];
        return 1;
    }
    if (c.n == 4) {
        if (c.total < 2) {
            pairs[0][0] = 2, pairs[0][1] = 3;
            pairs[1][0] = 0, pairs[1][1] = 1;
        } else {
            pairs[0][0] = 3, pairs[0][1] = 0;
            pairs[1][0] = 2, pairs[1][1] = 1;
        }
        return 2;
    }
    return 0;
}

void draw_segment(Gpt a, Gpt b) {
    const Gpt seg[2] = {a, b};
    CONT_draw_lines(12, 2, seg);
}

// The segments at the current level, and the cell sides lying flat on it.
void draw_level_lines() {
    const Cross &c = cell.cur;
    int pairs[2][2];
    const int np = segment_pairs(c, pairs);
    for (int k = 0; k < np; ++k)
        draw_segment(c.pt[pairs[k][0]], c.pt[pairs[k][1]]);
    const float *z = cell.z;
    for (int s = 0; s < 4; ++s) {
        const int a = SIDE_FROM[s], b = SIDE_TO[s];
        if (z[a] == c.level && z[b] == c.level) draw_segment({cell.x[a], cell.y[a]}, {cell.x[b], cell.y[b]});
    }
}

// ---- Band polygons ------------------------------------------------------------------
// The band's area in the cell is bounded by the cell sides where the values
// lie in the band and by the segments of its lower and upper level. The
// outline is walked anticlockwise along the boundary (c0, c1, c3, c2): where
// the boundary leaves the band at a crossing, the walk follows that
// crossing's segment to its other end and goes on along the boundary there.
// Every connected part becomes one polygon, closed by its first point.

// Position along the boundary: side 0 from 0 to 1, side 3 from 1 to 2,
// side 2 backwards from 2 to 3, side 1 backwards from 3 to 4 (= 0).
float boundary_pos(int side, float f) {
    float t = 0;
    switch (side) {
    case 0:
        t = f;
        break;
    case 3:
        t = 1 + f;
        break;
    case 2:
        t = 2 + (1 - f);
        break;
    default:
        t = 3 + (1 - f);
        break;
    }
    return t >= 4 ? t - 4 : t;
}

// The value along the boundary at position t (0 <= t < 5).
double boundary_value(double t) {
    if (t >= 4) t -= 4;
    const float *z = cell.z;
    const auto lerp = [](float a, float b, double f) { return double(a) + (double(b) - double(a)) * f; };
    if (t < 1) return lerp(z[0], z[1], t);
    if (t < 2) return lerp(z[1], z[3], t - 1);
    if (t < 3) return lerp(z[3], z[2], t - 2);
    return lerp(z[2], z[0], t - 3);
}

struct Event {
    float t;
    Gpt p;
    int level; // 0 lower, 1 upper, -1 a corner
    int partner;
};

constexpr int MAX_EVENTS = 12;
constexpr int MAX_POLY = 40;

struct Polygon {
    Gpt p[MAX_POLY];
    int n = 0;
    void add(Gpt q) {
        if (n > 0 && p[n - 1].x == q.x && p[n - 1].y == q.y) return;
        if (n < MAX_POLY - 1) p[n++] = q;
    }
};

// The crossings of one level as boundary events, each knowing the other end
// of its segment.
void add_crossings(const Cross &c, int level, Event *ev, int &ne) {
    int pairs[2][2];
    const int np = segment_pairs(c, pairs);
    for (int k = 0; k < np; ++k) {
        const int a = ne, b = ne + 1;
        ev[a] = {boundary_pos(pairs[k][0], c.side[pairs[k][0]]), c.pt[pairs[k][0]], level, b};
        ev[b] = {boundary_pos(pairs[k][1], c.side[pairs[k][1]]), c.pt[pairs[k][1]], level, a};
        ne += 2;
    }
}

// Fills the part of the cell with lo <= value < hi bounded by the segments of
// lower (when given) and upper (when given).
void fill_band(const Cross *lower, double lo, const Cross *upper, double hi) {
    Event ev[MAX_EVENTS];
    int ne = 0;
    const int corner_of[4] = {0, 1, 3, 2};
    for (int k = 0; k < 4; ++k)
        ev[ne++] = {float(k), {cell.x[corner_of[k]], cell.y[corner_of[k]]}, -1, -1};
    if (lower != nullptr) add_crossings(*lower, 0, ev, ne);
    if (upper != nullptr) add_crossings(*upper, 1, ev, ne);

    // Events in boundary order, grouped by position.
    int order[MAX_EVENTS];
    for (int k = 0; k < ne; ++k)
        order[k] = k;
    std::stable_sort(order, order + ne, [&ev](int a, int b) { return ev[a].t < ev[b].t; });
    int group_of[MAX_EVENTS];
    int first[MAX_EVENTS + 1];
    float pos[MAX_EVENTS];
    int ng = 0;
    for (int k = 0; k < ne; ++k) {
        const int e = order[k];
        if (ng == 0 || ev[e].t != pos[ng - 1]) {
            pos[ng] = ev[e].t;
            first[ng++] = k;
        }
        group_of[e] = ng - 1;
    }
    first[ng] = ne;
    // The boundary point of a group: its corner, else its crossing.
    const auto group_point = [&](int g) {
        for (int k = first[g]; k < first[g + 1]; ++k)
            if (ev[order[k]].level < 0) return ev[order[k]].p;
        return ev[order[first[g]]].p;
    };
    // Whether the boundary from group g to the next lies in the band, and
    // on which side it leaves it (1 above, 0 below).
    bool inside[MAX_EVENTS];
    int beyond[MAX_EVENTS];
    bool on_level[MAX_EVENTS]; // a whole side lying flat on lo or hi
    for (int g = 0; g < ng; ++g) {
        const double t0 = pos[g], t1 = g + 1 < ng ? pos[g + 1] : pos[0] + 4.0;
        const double v = boundary_value(0.5 * (t0 + t1));
        inside[g] = v >= lo && v < hi;
        beyond[g] = v >= hi ? 1 : 0;
        constexpr int BOUNDARY_SIDE[4] = {0, 3, 2, 1};
        const int side = BOUNDARY_SIDE[std::clamp(int(0.5 * (t0 + t1)) % 4, 0, 3)];
        const float za = cell.z[SIDE_FROM[side]], zb = cell.z[SIDE_TO[side]];
        on_level[g] = za == zb && (double(za) == lo || double(za) == hi);
    }
    // A side lying on a level belongs to the band as the boundary before it
    // does: the corner where it starts is never a crossing of that level (the
    // side itself counts that corner), so the band cannot begin or end there.
    bool resolved[MAX_EVENTS];
    for (int g = 0; g < ng; ++g) {
        int h = g;
        for (int n = 0; n < ng && on_level[h]; ++n)
            h = (h + ng - 1) % ng;
        resolved[g] = on_level[h] ? inside[g] : inside[h];
    }
    for (int g = 0; g < ng; ++g)
        inside[g] = resolved[g];

    bool used[MAX_EVENTS] = {};
    for (int g0 = 0; g0 < ng; ++g0) {
        if (!inside[g0] || used[g0]) continue;
        Polygon poly;
        poly.add(group_point(g0));
        int g = g0;
        for (int steps = 0; steps < 4 * MAX_EVENTS; ++steps) {
            if (inside[g]) {
                used[g] = true;
                g = (g + 1) % ng;
                if (g == g0) break;
                poly.add(group_point(g));
                continue;
            }
            // The boundary leaves the band here: follow the segment of the
            // level it crosses to its other end.
            int e = -1;
            for (int k = first[g]; k < first[g + 1] && e < 0; ++k) {
                const Event &c = ev[order[k]];
                if (c.level == beyond[g] && c.partner >= 0) e = order[k];
            }
            if (e >= 0) {
                poly.add(ev[e].p);
                poly.add(ev[ev[e].partner].p);
                g = group_of[ev[e].partner];
            } else {
                // No segment starts here (only where the band is a line of
                // no width): go on to where the boundary enters it again.
                int h = (g + 1) % ng;
                while (h != g && !inside[h])
                    h = (h + 1) % ng;
                g = h;
                if (g != g0) poly.add(group_point(g));
            }
            if (g == g0 || (used[g] && inside[g])) break;
        }
        // Closed by its first point (which a walk ending on a segment
        // already reached).
        const Gpt start = poly.p[0];
        if (poly.p[poly.n - 1].x != start.x || poly.p[poly.n - 1].y != start.y) poly.p[poly.n++] = start;
        if (poly.n < 4) continue;
        CONT_draw_lines(15, poly.n, poly.p);
    }
}

void fill_cell() {
    const Gpt whole[5] = {{cell.x[0], cell.y[0]},
                          {cell.x[1], cell.y[1]},
                          {cell.x[3], cell.y[3]},
                          {cell.x[2], cell.y[2]},
                          {cell.x[0], cell.y[0]}};
    CONT_draw_lines(15, 5, whole);
}

// Draws the current level's segments (types 12 and 16) and the band
// polygons between the kept lower level and it (types 15 and 16).
void compute_lines() {
    if (cell.type != 12) {
        const double lo = cell.prev.set ? double(cell.prev.level) : -std::numeric_limits<double>::infinity();
        fill_band(cell.prev.set ? &cell.prev : nullptr, lo, &cell.cur, double(cell.cur.level));
    }
    if (cell.type != 15) draw_level_lines();
}

// The fill attributes of the band of entry e.
void fill_attributes(const Settings &s, const Gattribs &bundle, int e) {
    const Gattribs &fe = s.fill_attrib[static_cast<std::size_t>(e)];
    if (fe.color >= 0) gset_fill_colr_ind(fe.color);
    const int pat = fe.fill_pat >= 0 ? fe.fill_pat : bundle.fill_pat;
    if (pat == 0) {
        gset_fill_int_style(GSOLID);
    } else if (pat > 0) {
        gset_fill_int_style(GPAT);
        gset_fill_style_ind(pat);
    }
}

// Cells lying wholly inside one band, one after the other along a row in
// grid coordinates, are filled as one rectangle: the same area in far fewer
// polygons. A run is drawn before anything else is drawn, and at the end of
// its row.
struct Run {
    bool active = false;
    int entry = 0;
    int i0 = 0, i1 = 0; // columns of its first and past its last cell
    int j = 0;
};

Run run;

void flush_run(Settings &s, const Gattribs &bundle) {
    if (!run.active) return;
    run.active = false;
    const int saved = s.con_off;
    s.con_off = run.entry;
    fill_attributes(s, bundle, run.entry);
    const float x0 = float(run.i0), x1 = float(run.i1), y0 = float(run.j), y1 = float(run.j + 1);
    const Gpt r[5] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    CONT_draw_lines(15, 5, r);
    s.con_off = saved;
}

// Adds cell (i, j) of band entry e to the run, or starts a new one.
void extend_run(Settings &s, const Gattribs &bundle, int e, int i, int j) {
    if (run.active && run.entry == e && run.i1 == i && run.j == j) {
        run.i1 = i + 1;
        return;
    }
    flush_run(s, bundle);
    run = {true, e, i, i + 1, j};
}

// The most levels a cell may span without an explicit list.
float line_limit(const Settings &s) {
    if (s.max_line_fact < 0) return float(-s.max_line_fact) * float(cont_detail::band_count(s));
    if (s.max_line_fact == 0) return 10000.0f;
    return float(s.max_line_fact);
}

} // namespace

void cont_detail::band_attributes(const Settings &s, const Gattribs &bundle, int type, int e, float top,
                                  bool bar) {
    if (type != 12) fill_attributes(s, bundle, e);
    if (type != 12 && type != 16) return;
    // The line at the top of a band of a filled plot takes the attributes of
    // the band above it; in the bar every line is the top of its box.
    const int l = type == 16 || bar ? (e + 1) % cont_detail::band_count(s) : e;
    const Gattribs &le = s.fill_attrib[static_cast<std::size_t>(l)];
    if (bundle.color == -1 && le.color >= -1) gset_line_colr_ind(le.color);
    if (le.style >= 0) {
        gset_linetype(le.style);
    } else {
        bool dashed = s.dash == 1;
        if (s.dash == -1) dashed = !(top >= 0 && (is_missing(s.base) || top >= s.base));
        if (dashed)
            gset_linetype(bundle.style >= 0 && !bar ? bundle.style : 2);
        else
            gset_linetype(s.dash == 0 && bundle.style >= 0 ? bundle.style : 1);
    }
    const float unset = bar ? 1.0f : 0.0f;
    gset_linewidth(le.width >= 0 ? le.width : bundle.width >= 0 ? bundle.width : unset);
}

void cont_detail::side_states(const float z[4], float level, float side[4]) {
    // The corner each side leaves out.
    constexpr int EXCLUDED[4] = {1, 0, 2, 3};
    for (int s = 0; s < 4; ++s) {
        const float za = z[SIDE_FROM[s]], zb = z[SIDE_TO[s]];
        if (za == zb) {
            side[s] = SIDE_FLAT;
            continue;
        }
        const float f = (level - za) / (zb - za);
        if (level == z[EXCLUDED[s]])
            side[s] = SIDE_EXCLUDED;
        else if (f < 0 || f > 1)
            side[s] = SIDE_NOT_CROSSED;
        else
            side[s] = f;
    }
}

Gpt cont_detail::int_xy(int proj, float x1, float y1, float x2, float y2, float d) {
    switch (proj) {
    case PROJ_LL:
    case PROJ_MERC: {
        const float w = proj == PROJ_LL ? LL_WIDTH : MERC_WIDTH;
        if (x1 - x2 < -50.0f)
            x1 += w;
        else if (x1 - x2 > 50.0f)
            x1 -= w;
        break;
    }
    case PROJ_MOLL:
        if (x1 < 0 && x2 > 0 && x2 - x1 > 10.0f)
            x1 += moll_row_width(y1);
        else if (x1 > 0 && x2 < 0 && x1 - x2 > 10.0f)
            x2 += moll_row_width(y2);
        break;
    default:
        break;
    }
    return {x1 + d * (x2 - x1), y1 + d * (y2 - y1)};
}

int CONT_draw_lines(int kind, int num_pt, const Gpt *pts) {
    Settings &s = settings();
    const int e = std::clamp(s.con_off, 0, CONT_MAX_LEVELS);
    if (s.fill_attrib[static_cast<std::size_t>(e)].color < 0) return -1;
    if (pts == nullptr || num_pt < 2) return 0;
    const int proj = MAP_get_proj();
    if ((kind == 15 || kind == 16) && num_pt >= 3) {
        bool split = false;
        const float jump = proj == PROJ_MOLL ? 10.0f : 50.0f;
        if (proj == PROJ_LL || proj == PROJ_MERC || proj == PROJ_LAMBERT || proj == PROJ_MOLL)
            for (int k = 0; k + 1 < num_pt && !split; ++k)
                split = std::fabs(pts[k + 1].x - pts[k].x) > jump;
        if (!split && (proj == PROJ_LL || proj == PROJ_MERC)) {
            float lo = s.seam_min, hi = s.seam_max;
            if (is_missing(lo) || is_missing(hi)) {
                hi = proj == PROJ_LL ? 180.0f : MERC_HALF;
                lo = -hi;
            }
            for (int k = 0; k < num_pt && !split; ++k)
                split = pts[k].x < lo || pts[k].x > hi;
        }
        if (!split) {
            gfill_area(num_pt, pts);
        } else if (proj == PROJ_LL || proj == PROJ_MERC) {
            // Drawn on both sides of the seam.
            constexpr int MAX_SPLIT = 64;
            Gpt q[MAX_SPLIT];
            const int n = std::min(num_pt, MAX_SPLIT);
            const float w = proj == PROJ_LL ? LL_WIDTH : MERC_WIDTH;
            for (int k = 0; k < n; ++k)
                q[k] = {pts[k].x < -150.0f ? pts[k].x + w : pts[k].x, pts[k].y};
            gfill_area(n, q);
            for (int k = 0; k < n; ++k)
                if (q[k].x > 150.0f) q[k].x -= w;
            gfill_area(n, q);
        } else if (proj == PROJ_MOLL) {
            constexpr int MAX_SPLIT = 64;
            Gpt q[MAX_SPLIT];
            const int n = std::min(num_pt, MAX_SPLIT);
            for (int k = 0; k < n; ++k)
                q[k] = {pts[k].x < 0 ? pts[k].x + moll_row_width(pts[k].y) : pts[k].x, pts[k].y};
            gfill_area(n, q);
            for (int k = 0; k < n; ++k)
                q[k].x -= moll_row_width(q[k].y);
            gfill_area(n, q);
        }
        // A split polygon on a Lambert conformal map is not drawn.
    }
    if (kind == 12 || kind == 16) {
        const Gpt p0 = pts[0], p1 = pts[1];
        const float dx = p1.x - p0.x;
        const auto line = [](float x0, float y0, float x1, float y1) {
            const Gpt seg[2] = {{x0, y0}, {x1, y1}};
            gpolyline(2, seg);
        };
        if (proj == PROJ_LL || proj == PROJ_MERC) {
            const float w = proj == PROJ_LL ? LL_WIDTH : MERC_WIDTH;
            if (dx < -50.0f) {
                line(p0.x, p0.y, p1.x + w, p1.y);
                line(p0.x - w, p0.y, p1.x, p1.y);
            } else if (dx > 50.0f) {
                line(p0.x, p0.y, p1.x - w, p1.y);
                line(p0.x + w, p0.y, p1.x, p1.y);
            } else {
                line(p0.x, p0.y, p1.x, p1.y);
            }
        } else if (proj == PROJ_LAMBERT) {
            if (std::fabs(dx) < 50.0f) line(p0.x, p0.y, p1.x, p1.y);
        } else if (proj == PROJ_MOLL) {
            if (p0.x < 0 && p1.x > 0 && dx > 10.0f) {
                const float w = moll_row_width(p0.y);
                line(p0.x + w, p0.y, p1.x, p1.y);
                line(p0.x, p0.y, p1.x - w, p1.y);
            } else if (p1.x < 0 && p0.x > 0 && -dx > 10.0f) {
                const float w = moll_row_width(p0.y);
                line(p0.x, p0.y, p1.x + w, p1.y);
                line(p0.x - w, p0.y, p1.x, p1.y);
            } else {
                line(p0.x, p0.y, p1.x, p1.y);
            }
        } else {
            line(p0.x, p0.y, p1.x, p1.y);
        }
    }
    return 0;
}

int CONT_draw_cells(const GRD_report *grid, const Gattribs *ln_attr) {
    if (grid == nullptr || grid->grid == nullptr) return -1;
    Settings &s = settings();
    const int nx = grid->domain.nx, ny = grid->domain.ny;
    const int type = s.cont_type;
    if (nx < 2 || ny < 2 || (type != 12 && type != 15 && type != 16)) return 0;
    const bool list = cont_detail::has_list(s);
    const int num = list ? std::clamp(s.num_cont, 0, CONT_MAX_LEVELS) : s.num_cont;
    if (num <= 0) return 0;
    // Interval levels need a usable interval and a lowest level.
    if (!list &&
        (s.intrvl == 0.0f || is_missing(s.intrvl) || !std::isfinite(s.intrvl) || is_missing(s.conlo)))
        return 0;
    Gattribs bundle;
    ATTRIB_init(&bundle);
    if (ln_attr != nullptr) bundle = *ln_attr;

    const float *g = grid->grid;
    const float *px = s.grdx, *py = s.grdy;
    const bool positions = px != nullptr && py != nullptr;
    if (positions) {
        s.seam_min = s.seam_max = FMISSING;
    } else {
        s.seam_min = 0.0f;
        s.seam_max = float(nx - 1);
    }
    cell.proj = MAP_get_proj();
    cell.type = type;
    run.active = false;
    int trace_i = -1, trace_j = -1;
    if (const char *loc = std::getenv("gridloc"); loc != nullptr)
        if (std::sscanf(loc, "%d,%d", &trace_i, &trace_j) != 2) trace_i = trace_j = -1;

    const int count = cont_detail::band_count(s);
    const float limit = line_limit(s);
    const bool min_cut = !is_missing(s.min_cut), max_cut = !is_missing(s.max_cut);
    const float lo_cut = s.min_cut, hi_cut = s.max_cut;
    const float step = s.intrvl, conlo = s.conlo;
    // The interval levels as the level loop forms them (by repeated
    // addition), for passing over the levels below a cell.
    std::vector<float> levels;
    if (!list && num <= 65536) {
        levels.resize(std::size_t(num));
        float lev = conlo;
        for (int k = 0; k < num; lev += step, ++k)
            levels[std::size_t(k)] = lev;
    }
    int first_off = 0;
    if (!list) {
        const double b = std::floor((s.conlo - cont_detail::colour_base(s)) / s.intrvl + 0.01);
        first_off = std::isfinite(b) ? static_cast<int>(std::fmod(b, double(count))) : 0;
        if (first_off < 0) first_off += count;
    }

    // The band entry of each interval level.
    std::vector<int> band_of(levels.size());
    for (std::size_t k = 0; k < band_of.size(); ++k)
        band_of[k] = int((std::size_t(first_off) + k) % std::size_t(count));
    int last_start = -1; // the first level searched for the last cell, -1 none yet
    // The first level that does not lie below a cell's lowest corner, walked
    // to from the neighbouring cell's (levels rise with a positive step, so
    // the walks end at the same level from any start).
    const auto first_level = [&](float zmin) {
        int k = last_start;
        if (step < 0 || k < 0) {
            const double guess = std::floor((double(zmin) - conlo) / step) - 1;
            k = guess > 0 ? int(std::min(guess, double(num - 1))) : 0;
        }
        const auto top_of = [&](int n) {
            return type == 12 ? levels[std::size_t(n)] : levels[std::size_t(n)] + step;
        };
        while (k > 0 && !(zmin > top_of(k - 1)))
            --k;
        while (k < num - 1 && zmin > top_of(k))
            ++k;
        return last_start = k;
    };
    // Interval levels on a plain grid without cuts or a traced cell: the
    // cells that no line crosses, or that lie inside one band, are settled
    // before the cell state is set up.
    const bool quick =
        !list && !levels.empty() && step > 0 && !positions && !min_cut && !max_cut && trace_i < 0;
    for (int j = ny - 2; j >= 0; --j) {
        // Height j is grid row ny-1-j (row 0 is the northernmost).
        const std::size_t lo_row = std::size_t(ny - 1 - j) * std::size_t(nx);
        const std::size_t hi_row = std::size_t(ny - 2 - j) * std::size_t(nx);
        for (int i = 0; i < nx - 1; ++i) {
            const std::size_t k0 = lo_row + std::size_t(i), k1 = k0 + 1;
            const std::size_t k2 = hi_row + std::size_t(i), k3 = k2 + 1;
            const float z0 = g[k0], z1 = g[k1], z2 = g[k2], z3 = g[k3];
            if (quick) {
                if (type == 12 && z0 == z1 && z0 == z2 && z0 == z3) continue;
                if (is_missing(z0) || is_missing(z1) || is_missing(z2) || is_missing(z3)) continue;
                const float zmin = std::min(std::min(z0, z1), std::min(z2, z3));
                const float zmax = std::max(std::max(z0, z1), std::max(z2, z3));
                if ((zmax - zmin) / step > limit) continue;
                const int k = first_level(zmin);
                const float lev = levels[std::size_t(k)];
                if (type == 12) {
                    if (zmin > lev || lev > zmax) continue;
                } else {
                    const float top = lev + step;
                    if (zmin > top) continue;
                    if (zmax <= top && zmin >= lev) {
                        extend_run(s, bundle, band_of[std::size_t(k)], i, j);
                        continue;
                    }
                }
            }
            float *z = cell.z;
            z[0] = z0, z[1] = z1, z[2] = z2, z[3] = z3;
            cell.trace = i == trace_i && j == trace_j;
            if (cell.trace)
                std::printf("GRIDPOINT: %f %f %f %f\n", double(z[0]), double(z[1]), double(z[2]),
                            double(z[3]));
            if (type == 12 && z[0] == z[1] && z[0] == z[2] && z[0] == z[3]) continue;
            if (is_missing(z[0]) || is_missing(z[1]) || is_missing(z[2]) || is_missing(z[3])) continue;
            if (positions) {
                cell.x[0] = px[k0], cell.x[1] = px[k1], cell.x[2] = px[k2], cell.x[3] = px[k3];
                cell.y[0] = py[k0], cell.y[1] = py[k1], cell.y[2] = py[k2], cell.y[3] = py[k3];
                if (is_missing(cell.x[0]) || is_missing(cell.x[1]) || is_missing(cell.x[2]) ||
                    is_missing(cell.x[3]))
                    continue;
            } else {
                cell.x[0] = cell.x[2] = float(i);
                cell.x[1] = cell.x[3] = float(i + 1);
                cell.y[0] = cell.y[1] = float(j);
                cell.y[2] = cell.y[3] = float(j + 1);
            }
            const float zmin = std::min(std::min(z[0], z[1]), std::min(z[2], z[3]));
            const float zmax = std::max(std::max(z[0], z[1]), std::max(z[2], z[3]));
            // A cell crossed by more contours than the limit is noise.
            if (!list && (zmax - zmin) / step > limit) continue;
            if (min_cut && lo_cut > zmax) continue;
            cell.cur.set = cell.prev.set = false;
            int e = list ? 0 : first_off;
            // Interval levels below the cell are passed over at once (the
            // traced cell goes through them all).
            int k_start = 0;
            if (!levels.empty() && !cell.trace && zmin > levels[0]) {
                k_start = first_level(zmin);
                e = band_of[std::size_t(k_start)];
            }

            float lev = 0.0f, width = step;
            for (int k = k_start; k < num; ++k) {
                if (cell.trace) std::printf("Loop %d\n", k);
                if (list) {
                    // An entry without a value goes on from the previous
                    // level by the previous width.
                    const float v = s.cont_value[std::size_t(k)];
                    lev = k > 0 && is_missing(v) ? lev + width : v;
                    if (k + 1 >= num)
                        width = cont_detail::OPEN_WIDTH;
                    else if (const float next = s.cont_value[std::size_t(k) + 1]; !is_missing(next))
                        width = next - lev;
                    s.intrvl = width;
                    if (k == 0) compute_dz(lev, "AA");
                } else {
                    lev = k == k_start ? (k == 0 ? conlo : levels[std::size_t(k)]) : lev + step;
                }
                float top = type == 12 ? lev : lev + width;
                if (k > k_start && ++e == count) e = 0;
                if (zmin > top) continue;
                // Lines above the cell cross nothing (the traced cell goes
                // through every level).
                if (type == 12 && lev > zmax && !cell.trace) break;
                float lo = lev;
                if (min_cut && lev < lo_cut) {
                    if (top < lo_cut) continue;
                    lo = lo_cut;
                    compute_dz(lo_cut, "BB");
                }
                if (max_cut && top > hi_cut) {
                    if (lev >= hi_cut) continue;
                    top = hi_cut;
                }
                if (type != 12 && zmax <= top && zmin >= lo && !positions) {
                    extend_run(s, bundle, e, i, j);
                    break;
                }
                cell.prev = cell.cur;
                flush_run(s, bundle);
                s.con_off = e;
                cont_detail::band_attributes(s, bundle, type, e, top, false);
                if (type != 12 && zmax <= top) {
                    if (zmin >= lo)
                        fill_cell();
                    else
                        fill_band(cell.prev.set ? &cell.prev : nullptr,
                                  cell.prev.set ? double(cell.prev.level)
                                                : -std::numeric_limits<double>::infinity(),
                                  nullptr, std::numeric_limits<double>::infinity());
                    break;
                }
                compute_dz(top, "CC");
                compute_lines();
            }
        }
        flush_run(s, bundle);
    }
    return 0;
}
