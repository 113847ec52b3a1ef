// Contour drawing of one grid: the frame around the cell walk (plot
// positions or grid coordinates, the line and text bundles, the
// transformation), the grid values of type 17, the labels of the contour
// lines and the H and L marks of the extrema.
// File-static state: the vertical extent of the drawing area of the grid
// drawn last (all contour text sizes are fractions of it); the plot
// positions live in the module settings (cont_detail).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/cont_int.h"
#include "plot/map.h"
#include "plot/plt_tool.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

using cont_detail::Settings;
using cont_detail::settings;

namespace {

constexpr int SWITCH_DATA = 7; // plot component switch: data
constexpr int GRID_VALUES = 17;
// Base text height as a fraction of the drawing area's vertical extent.
constexpr float TEXT_FACTOR = 0.015f;
constexpr std::size_t NUM_TEXT = 32;

// Vertical extent of the drawing area: ny - 1 in grid coordinates, the map
// window's height at plot positions.
float vert_size = 1.0f;

const char *default_colour() {
    return gget_inverse() ? "black" : "white";
}

// The default colour of labels and grid values: that of the contour lines
// when they have one and no label colour is given, else white (black on an
// inverse display).
std::string label_default() {
    const char *cont = RES_get("color_cont");
    if (RES_get("color_label") == nullptr && cont != nullptr && stricmp(cont, "off") != 0) return cont;
    return default_colour();
}

// The label bundle (resource color_label) and the fill-label bundle
// (color_clabel over black), each with the attribute options of the format.
void label_bundles(Gattribs *label, Gattribs *fill_label) {
    ATTRIB_init(label);
    ATTRIB_get("color_label", label_default().c_str(), label);
    CONT_format_decode_attrib(label);
    ATTRIB_init(fill_label);
    ATTRIB_get("color_clabel", "black", fill_label);
    CONT_format_decode_attrib(fill_label);
}

bool filled(int type) {
    return type == 15 || type == 16;
}

// Where grid point (i, height j counted from the south) is drawn; false when
// it has no plot position.
bool point_at(const Settings &s, int nx, int ny, int i, int j, Gpt *p) {
    if (s.grdx == nullptr || s.grdy == nullptr) {
        *p = {float(i), float(j)};
        return true;
    }
    const std::size_t k = std::size_t(ny - 1 - j) * std::size_t(nx) + std::size_t(i);
    *p = {s.grdx[k], s.grdy[k]};
    return !is_missing(p->x) && !is_missing(p->y);
}

void put_text(float x, float y, const char *text) {
    const Gpt p{x, y};
    gtext(&p, text);
}

// The text of a level: its band entry's label when it has one, else the
// value by the number format fmt.
void level_text(const Settings &s, int k, float level, const char *fmt, char *text, std::size_t size) {
    if (k >= 0 && k < CONT_MAX_LEVELS && s.cont_label[std::size_t(k)][0] != '\0')
        copy_text(text, size, s.cont_label[std::size_t(k)]);
    else
        set_num(text, size, fmt, level);
}

bool has_levels(const Settings &s) {
    return cont_detail::has_list(s) ||
           (!is_missing(s.intrvl) && s.intrvl > 0.0f && std::isfinite(s.intrvl) && !is_missing(s.conlo));
}

// ---- Grid values -----------------------------------------------------------------

void draw_values(const GRD_report *grid, float base) {
    Settings &s = settings();
    const int nx = grid->domain.nx, ny = grid->domain.ny;
    GPH_text_align(s.x_off < 0 ? 3 : s.x_off == 0 ? 2 : 1, 3);
    gset_text_width(0);
    // Steps below 1 print every point.
    const int xs = std::max(s.x_skip, 1), ys = std::max(s.y_skip, 1);
    const bool banded = !is_missing(s.intrvl) || cont_detail::has_list(s);
    const float dx = vert_size * s.x_off, dy = vert_size * s.y_off;
    char text[NUM_TEXT];
    for (int r = 0; r < ny; ++r) {
        const int j = ny - 1 - r;
        if (j % ys != 0) continue;
        for (int i = 0; i < nx; i += xs) {
            const float v = grid->grid[std::size_t(r) * std::size_t(nx) + std::size_t(i)];
            Gpt p{};
            if (is_missing(v) || !point_at(s, nx, ny, i, j, &p)) continue;
            if (banded) {
                Gattribs a;
                CONT_get_fill_attrib(v, &a);
                if (a.color == -1) continue;
                if (a.width < 0) a.width = 0;
                GPH_text_attr(&a, base);
            }
            if (s.num_form[0] == '\0')
                set_num(text, sizeof text, "1.1.0", v);
            else
                std::snprintf(text, sizeof text, s.num_form, double(v));
            put_text(p.x + dx, p.y + dy, text);
        }
    }
}

// ---- Line labels ------------------------------------------------------------------

// The crossing list of a level in a cell for labelling: the crossed sides
// in side order, three cut to the first two (no corner is dropped).
int label_crossings(const float z[4], float level, float side[4], int list[2]) {
    cont_detail::side_states(z, level, side);
    int n = 0;
    for (int k = 0; k < 4; ++k)
        if (side[k] >= 0) {
            if (n < 2) list[n] = k;
            ++n;
        }
    return n == 3 ? 2 : n;
}

} // namespace

int CONT_draw(const GRD_report *grid) {
    if (FLAG_getplot(SWITCH_DATA) == 0) return -1;
    if (grid == nullptr) {
        MESS_print(M_WARN, "CONT_draw: Invalid grids\n");
        return -1;
    }
    if (grid->grid == nullptr) {
        MESS_print(M_WARN, "CONT_draw: Invalid grid arrays\n");
        return -1;
    }
    if (CONT_draw_contour(grid) != 0) return -1;
    if (settings().cont_type == GRID_VALUES) return -1;
    CONT_draw_labels(grid);
    CONT_draw_maxmin(grid);
    return 0;
}

int CONT_draw_contour(const GRD_report *grid) {
    if (grid == nullptr || grid->grid == nullptr) return 0;
    Settings &s = settings();
    const int nx = grid->domain.nx, ny = grid->domain.ny;

    // Plot positions while the grid's domain is not the map's.
    Domain map;
    MAP_get_domain(&map);
    const bool positions = DOM_comp(&map, &grid->domain) == 0;
    if (positions) {
        float *gx = s.grdx, *gy = s.grdy;
        s.grdx = s.grdy = nullptr;
        if (GRD_proj_XY(grid, &map, &gx, &gy) != 0) {
            MESS_print(M_WARN, "CONT_draw_contours: Unable to allocate grid arrays\n");
            return -1;
        }
        CONT_grid(gx, gy);
    } else {
        CONT_grid(nullptr, nullptr);
    }

    if (!s.color_fill_set) CONT_set_fill_colors(nullptr, 0);
    if (is_missing(s.grid_max)) {
        float max = FMISSING, min = FMISSING;
        GRD_maxmin(grid, &max, &min);
        CONT_set_range(max, min);
        CONT_set_cont_ext(grid);
    }

    // The contour line bundle and the grid-value bundle.
    Gattribs line;
    ATTRIB_init(&line);
    ATTRIB_get("color_cont", default_colour(), &line);
    CONT_format_decode_attrib(&line);
    if (!is_missing(s.fill_pat)) line.fill_pat = s.fill_pat;
    Gattribs value = line;
    ATTRIB_get("color_label", label_default().c_str(), &value);

    if (!positions) {
        Glim view{};
        PLT_get_view(&view);
        const Glim win{0, float(nx - 1), 0, float(ny - 1)};
        GPH_view(3, &view);
        GPH_win(3, &win);
        GPH_trans(3);
        vert_size = float(ny - 1);
    } else {
        vert_size = MAP_get_vert();
    }
    const float base = s.scale * vert_size * TEXT_FACTOR;
    GPH_text_align(2, 3);
    GPH_text_attr(&value, base);

    if (s.cont_type == 12 || s.cont_type == 16) {
        GPH_line_attr(&line);
        if (s.dash == 1) gset_linetype(2);
    }
    gset_fill_int_style(GSOLID);

    if (s.cont_type == GRID_VALUES) {
        if (value.color != -1) draw_values(grid, base);
    } else {
        CONT_draw_cells(grid, &line);
    }
    return 0;
}

int CONT_draw_labels(const GRD_report *grid) {
    if (grid == nullptr || grid->grid == nullptr) return 0;
    Settings &s = settings();
    const int nx = grid->domain.nx, ny = grid->domain.ny;
    if (s.cont_type == GRID_VALUES || !has_levels(s) || nx < 2 || ny < 2) return 0;
    GPH_line_attr(nullptr);
    Gattribs label, fill_label;
    label_bundles(&label, &fill_label);

    if (is_missing(s.x_label_space)) s.x_label_space = nx / 5;
    if (is_missing(s.y_label_space)) s.y_label_space = ny / 5;
    s.x_label_space = std::max(s.x_label_space, 1);
    s.y_label_space = std::max(s.y_label_space, 1);
    const float limit =
        s.max_line_fact > 0 ? float(cont_detail::band_count(s)) * float(s.max_line_fact) : 10000.0f;

    // A skip below 1 would never reach the next level.
    bool labels = s.label_skip >= 1 && fill_label.color != -1;
    const Gattribs &bundle = filled(s.cont_type) ? fill_label : label;
    if (bundle.color == -1) labels = false;
    const float unit = s.scale * vert_size * TEXT_FACTOR;
    const float h = is_missing(bundle.height) ? unit : bundle.height * unit;
    if (labels) GPH_text_attr(&bundle, unit);

    const bool list = cont_detail::has_list(s);
    const int num = list ? std::clamp(s.num_cont, 0, CONT_MAX_LEVELS) : 0;
    // The first labelled level (interval levels) or list index.
    double first = is_missing(s.base) ? s.conlo : s.base;
    int first_index = 0;
    const double step = double(s.label_skip) * double(s.intrvl);
    // From a base below the lowest level the first labelled level is the
    // first step at or above it; from a base above, the step above the first
    // one at or below it.
    if (!list && !is_missing(s.base)) {
        if (first < s.conlo)
            first += std::ceil((s.conlo - first) / step) * step;
        else if (first > s.conlo)
            first -= (std::ceil((first - s.conlo) / step) - 1) * step;
    }
    if (list && !is_missing(s.base))
        for (int k = 0; k < num; ++k)
            if (s.cont_value[std::size_t(k)] == s.base) {
                first_index = k;
                break;
            }

    const int proj = MAP_get_proj();
    const bool min_cut = !is_missing(s.min_cut), max_cut = !is_missing(s.max_cut);
    char text[NUM_TEXT];
    for (int j = ny - 2; j >= 0; --j) {
        for (int i = 0; i < nx - 1; ++i) {
            Gpt c[4];
            if (!point_at(s, nx, ny, i, j, &c[0]) || !point_at(s, nx, ny, i + 1, j, &c[1]) ||
                !point_at(s, nx, ny, i, j + 1, &c[2]) || !point_at(s, nx, ny, i + 1, j + 1, &c[3]))
                continue;
            if (s.draw_grid) {
                const Gpt outline[5] = {c[0], c[1], c[3], c[2], c[0]};
                gpolyline(5, outline);
            }
            if (!labels) continue;
            const bool row = j % s.y_label_space == s.over, column = i % s.x_label_space == s.over;
            if (!row && !column) continue;
            const std::size_t lo_row = std::size_t(ny - 1 - j) * std::size_t(nx) + std::size_t(i);
            const std::size_t hi_row = std::size_t(ny - 2 - j) * std::size_t(nx) + std::size_t(i);
            const float z[4] = {grid->grid[lo_row], grid->grid[lo_row + 1], grid->grid[hi_row],
                                grid->grid[hi_row + 1]};
            if (is_missing(z[0]) || is_missing(z[1]) || is_missing(z[2]) || is_missing(z[3])) continue;
            const float wx = c[0].x - c[1].x, wy = c[0].y - c[1].y;
            if (h * h > (wx * wx + wy * wy) * float(s.x_label_space) * float(s.y_label_space)) continue;
            const float zmin = std::min(std::min(z[0], z[1]), std::min(z[2], z[3]));
            const float zmax = std::max(std::max(z[0], z[1]), std::max(z[2], z[3]));
            if (!list && (zmax - zmin) / s.intrvl > limit) continue;

            // The labelled levels that reach the cell, with their index.
            const auto label_level = [&](float level, int k) {
                if ((min_cut && level < s.min_cut) || (max_cut && level > s.max_cut)) return;
                float side[4];
                int cross[2] = {-1, -1};
                if (label_crossings(z, level, side, cross) != 2) return;
                Gpt up{};
                if (cross[0] == 0 && cross[1] == 2 && row)
                    up = s.rot_label ? Gpt{1, 0} : Gpt{0, 1};
                else if (cross[0] == 1 && cross[1] == 3 && column)
                    up = {0, 1};
                else
                    return;
                Gpt p[2];
                for (int n = 0; n < 2; ++n) {
                    const int a = cont_detail::SIDE_FROM[cross[n]], b = cont_detail::SIDE_TO[cross[n]];
                    p[n] = cont_detail::int_xy(proj, c[a].x, c[a].y, c[b].x, c[b].y, side[cross[n]]);
                }
                const Gpt mid = cont_detail::int_xy(proj, p[0].x, p[0].y, p[1].x, p[1].y, 0.5f);
                gset_char_up_vec(&up);
                level_text(s, k, level, "1.2.0", text, sizeof text);
                put_text(mid.x, mid.y, text);
            };
            if (list) {
                for (int k = first_index; k < num; k += s.label_skip) {
                    const float level = s.cont_value[std::size_t(k)];
                    s.intrvl = k + 1 < num ? s.cont_value[std::size_t(k) + 1] - level : 1000000.0f;
                    if (level > zmax) break;
                    if (level >= zmin) label_level(level, k);
                }
            } else {
                // Levels below the cell are passed over at once.
                double n = std::floor((double(zmin) - first) / step);
                n = std::max(n, 0.0);
                for (double level = first + n * step; level <= zmax; n += 1, level = first + n * step)
                    if (level >= zmin) label_level(float(level), int(n) * s.label_skip);
            }
        }
    }
    return 0;
}

int CONT_draw_maxmin(const GRD_report *grid) {
    if (grid == nullptr || grid->grid == nullptr) return 0;
    Settings &s = settings();
    if (s.ext_radius == 0 || s.cont_type == GRID_VALUES) return 0;
    GPH_line_attr(nullptr);
    Gattribs label, fill_label;
    label_bundles(&label, &fill_label);
    if (fill_label.color == -1) return 0;
    const Gattribs &bundle = filled(s.cont_type) ? fill_label : label;
    const float unit = s.scale * vert_size * TEXT_FACTOR;
    if (bundle.color != -1) GPH_text_attr(&bundle, unit);
    const float H = is_missing(bundle.height) ? s.scale * vert_size : bundle.height * vert_size * s.scale;
    const Gpt up{0, 1};
    gset_char_up_vec(&up);

    const int nx = grid->domain.nx, ny = grid->domain.ny, R = s.ext_radius;
    const float *g = grid->grid;
    const bool min_cut = !is_missing(s.min_cut), max_cut = !is_missing(s.max_cut);
    char text[NUM_TEXT];
    for (int r = 0; r < ny; ++r) {
        for (int i = 0; i < nx; ++i) {
            const float v = g[std::size_t(r) * std::size_t(nx) + std::size_t(i)];
            if (is_missing(v) || (min_cut && v < s.min_cut) || (max_cut && v > s.max_cut)) continue;
            int count = 0, score = 0, missing = 0;
            bool extreme = true;
            for (int rr = std::max(r - R, 0); rr <= std::min(r + R, ny - 1) && extreme; ++rr)
                for (int ii = std::max(i - R, 0); ii <= std::min(i + R, nx - 1); ++ii) {
                    if (rr == r && ii == i) continue;
                    const float w = g[std::size_t(rr) * std::size_t(nx) + std::size_t(ii)];
                    if (is_missing(w)) {
                        ++missing;
                        continue;
                    }
                    ++count;
                    score += v > w ? 1 : v < w ? -1 : 0;
                    // An equal or an opposite neighbour ends the search.
                    if (std::abs(score) != count) {
                        extreme = false;
                        break;
                    }
                }
            if (!extreme || count == 0 || missing >= 2) continue;
            Gpt p{};
            if (!point_at(s, nx, ny, i, ny - 1 - r, &p)) continue;
            gset_char_ht(H * 0.02f);
            put_text(p.x, p.y, score > 0 ? "H" : "L");
            gset_char_ht(H * 0.015f);
            set_num(text, sizeof text, "3.3.0", v);
            put_text(p.x, p.y - H * 0.02f, text);
        }
    }
    return 0;
}
