// The grid table and grid records: the 60 slots and which arrays they own,
// labels, statistics, units, values at points, plot positions, resampling and
// mosaics (the finite differences are in grd_tool_diff.cpp, grid files in
// grd_tool_file.cpp, model soundings in grd_tool_sound.cpp).
// File-static state: the table, the array each slot owns, the file date and the grid factor.
#include "fields/grd_tool.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "fields/grd_tool_int.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "runtime/unittool.h"

using grd_int::grid_size;
using grd_int::has_values;
using grd_int::same_size;

namespace {

// Slot 0's type is -9999 until the table is first used.
constinit std::array<GRD_report, VAR_MAX> grids = [] {
    std::array<GRD_report, VAR_MAX> t{};
    t[0].type = MISSING;
    return t;
}();
// The array each slot owns (see GRD_release_grid); null when the slot holds
// none, or only one that it shares with another record.
std::array<float *, VAR_MAX> owned{};
Date file_date = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
int grid_factor = 1;

void ensure_table() {
    if (grids[0].type == MISSING) GRD_init_grids();
}

GRD_report *slot(int ind) {
    if (ind < 0 || ind >= VAR_MAX) return nullptr;
    ensure_table();
    return &grids[ind];
}

// The slot number of a record of the table, -1 for any other record.
int slot_of(const GRD_report *g) {
    const std::less<const GRD_report *> before;
    if (g == nullptr || before(g, grids.data()) || !before(g, grids.data() + VAR_MAX)) return -1;
    return int(g - grids.data());
}

// A slot given another record's array by a copy no longer owns the one it had.
void note_copy(const GRD_report *g) {
    const int i = slot_of(g);
    if (i >= 0 && owned[std::size_t(i)] != g->grid) owned[std::size_t(i)] = nullptr;
}

float *new_array(const Domain &d) {
    const std::size_t n = grid_size(d);
    if (n == 0) return nullptr;
    return static_cast<float *>(std::malloc(n * sizeof(float)));
}

// Grid position of a plane point of `from` (the current projection when null
// or without a projection) on the grid of `to`; the current projection is
// left as it was.
void plane_to_grid(const Domain *from, const Domain &to, float x, float y, float *gx, float *gy) {
    if (from != nullptr && from->proj != MISSING) {
        float x2, y2;
        MAP_domain_tran(from, &to, x, y, &x2, &y2);
        MapScope scope(&to);
        MAP_grid_untran(x2, y2, gx, gy);
    } else {
        MAP_grid_untran(x, y, gx, gy);
    }
}

} // namespace

void grd_int::take_array(const GRD_report *g) {
    const int i = slot_of(g);
    if (i >= 0) owned[std::size_t(i)] = g->grid;
}

// ---- The grid table ----------------------------------------------------------

GRD_report *GRD_get_grids() {
    ensure_table();
    return grids.data();
}

GRD_report *GRD_get_grid(int ind) {
    return slot(ind);
}

int GRD_init_grids() {
    for (GRD_report &g : grids)
        GRD_init(&g);
    return 0;
}

int GRD_set_grid(int ind, const GRD_report *grd) {
    GRD_report *g = slot(ind);
    if (g == nullptr || grd == nullptr) return -1;
    *g = *grd;
    note_copy(g);
    return 0;
}

int GRD_alloc_grid(int ind) {
    GRD_report *g = slot(ind);
    if (g == nullptr) return -1;
    GRD_alloc(g);
    return 0;
}

int GRD_release_grid(int ind) {
    GRD_report *g = slot(ind);
    if (g == nullptr) return -1;
    if (g->grid != nullptr && g->grid == owned[std::size_t(ind)]) std::free(g->grid);
    owned[std::size_t(ind)] = nullptr;
    g->grid = nullptr;
    return 0;
}

// ---- Per-slot header ---------------------------------------------------------

int GRD_set_grid_info(int ind, const char *str) {
    GRD_report *g = slot(ind);
    if (g == nullptr) return -1;
    copy_text(g->info, str);
    return 0;
}

char *GRD_get_grid_info(int ind) {
    GRD_report *g = slot(ind);
    return g != nullptr ? g->info : nullptr;
}

int GRD_set_grid_date(int ind, const Date *date, const char *str) {
    GRD_report *g = slot(ind);
    if (g == nullptr) return -1;
    if (date != nullptr) g->date = *date;
    copy_text(g->datim, str);
    return 0;
}

int GRD_set_grid_domain(int ind, const Domain *dom) {
    GRD_report *g = slot(ind);
    if (g == nullptr || dom == nullptr) return -1;
    g->domain = *dom;
    g->source = 0;
    g->version = 0;
    const int f = grid_factor;
    if (f != 1) {
        Domain &d = g->domain;
        // Missing sizes and spacings stay missing.
        if (d.nx != MISSING) d.nx = (d.nx - 1) * f + 1;
        if (d.ny != MISSING) d.ny = (d.ny - 1) * f + 1;
        if (d.dx != FMISSING) d.dx = d.dx / float(f);
        if (d.dy != FMISSING) d.dy = d.dy / float(f);
    }
    return 0;
}

int GRD_get_grid_domain(int ind, Domain *dom) {
    GRD_report *g = slot(ind);
    if (g == nullptr || dom == nullptr) return -1;
    *dom = g->domain;
    return 0;
}

int GRD_set_grid_factor(int fact) {
    if (fact > 0) grid_factor = fact;
    return 0;
}

int GRD_get_grid_factor() {
    return grid_factor;
}

int GRD_set_var(int ind) {
    GRD_report *g = slot(ind);
    const VAR_data *v = VAR_get_var(ind);
    if (g == nullptr || v == nullptr) return -1;
    g->var = v->var[0];
    g->time = v->time;
    g->ltype = v->ltype;
    g->level = v->level;
    copy_text(g->units, v->units);
    return 0;
}

// ---- Record life cycle -------------------------------------------------------

int GRD_init(GRD_report *grid) {
    if (grid == nullptr) return 0;
    grid->grid = nullptr;
    grid->datim[0] = '\0';
    grid->info[0] = '\0';
    grid->source = 0;
    grid->model = 0;
    grid->type = 0;
    grid->time = MISSING;
    grid->ltype = MISSING;
    grid->level = MISSING;
    grid->var = MISSING;
    grd_int::take_array(grid);
    return 0;
}

int GRD_alloc(GRD_report *grid) {
    if (grid == nullptr) return 0;
    grid->grid = new_array(grid->domain);
    if (grid->grid == nullptr) {
        MESS_print(M_WARN, "GRD_alloc: No memory for grid field\n");
        return 0;
    }
    grd_int::take_array(grid);
    return 1;
}

int GRD_free(GRD_report *grid) {
    if (grid == nullptr) return 0;
    std::free(grid->grid);
    grid->grid = nullptr;
    grid->source = 0;
    DOM_init(&grid->domain);
    grd_int::take_array(grid);
    return 0;
}

int GRD_copy(GRD_report *grid2, const GRD_report *grid1) {
    if (grid2 == nullptr || grid1 == nullptr) return -1;
    *grid2 = *grid1;
    note_copy(grid2);
    return 0;
}

int GRD_move(GRD_report *grid2, GRD_report *grid1) {
    if (grid2 == nullptr || grid1 == nullptr) return -1;
    if (grid2 == grid1) return 0;
    // The array goes with its ownership: a slot hands over only the array it
    // owns; any other record is taken to own what it holds.
    const int from = slot_of(grid1);
    const bool owner = from < 0 || owned[std::size_t(from)] == grid1->grid;
    *grid2 = *grid1;
    GRD_init(grid1);
    if (owner)
        grd_int::take_array(grid2);
    else
        note_copy(grid2);
    return 0;
}

int GRD_copy_info(GRD_report *grid2, const GRD_report *grid1) {
    if (grid2 == nullptr || grid1 == nullptr) return -1;
    if (grid2 != grid1) {
        std::memcpy(grid2->datim, grid1->datim, sizeof grid2->datim);
        std::memcpy(grid2->units, grid1->units, sizeof grid2->units);
        grid2->date = grid1->date;
        grid2->domain = grid1->domain;
        grid2->source = grid1->source;
        grid2->version = grid1->version;
        grid2->model = grid1->model;
        grid2->type = grid1->type;
    }
    grid2->grid = nullptr;
    return 0;
}

// ---- Module date and file header ---------------------------------------------

int GRD_set_date(const Date *date) {
    if (date != nullptr)
        file_date = *date;
    else
        FILE_get_date(&file_date);
    return 0;
}

int GRD_get_date(Date *date) {
    if (date != nullptr) *date = file_date;
    return 0;
}

int GRD_set_info(GRD_info *info, const Date *date, const Domain *domain) {
    if (info == nullptr) return -1;
    info->grid_type = 0;
    if (date != nullptr)
        info->date = *date;
    else
        DATE_init(&info->date);
    info->max_x = domain != nullptr ? domain->nx : MISSING;
    info->max_y = domain != nullptr ? domain->ny : MISSING;
    return 0;
}

GRD_info GRD_info_of(const GRD_report *grid) {
    GRD_info info{};
    GRD_set_info(&info, &grid->date, &grid->domain);
    copy_text(info.datim, grid->datim);
    return info;
}

// ---- Labels and printing -----------------------------------------------------

int GRD_make_datatype(GRD_report *grid) {
    if (grid == nullptr) return -1;
    VAR_make_datatype(grid->time, grid->ltype, grid->level, grid->var, grid->units, grid->info,
                      sizeof grid->info);
    return 0;
}

int GRD_make_devtype(GRD_report *ogrid, const GRD_report *igrid, const char *oper) {
    if (ogrid == nullptr || igrid == nullptr) return -1;
    if (oper == nullptr) oper = "";
    std::string name;
    // A derived field without a parameter number has no name of its own: the
    // operator word alone names the result.
    if (igrid->var != 0 && igrid->var != MISSING) {
        char vname[80];
        VAR_str(vname, sizeof vname, igrid->var, "");
        name = vname;
        name += ' ';
    }
    name += oper;
    char units[sizeof ogrid->units];
    std::memcpy(units, ogrid->units, sizeof units);
    VAR_make_devtype(ogrid->time, ogrid->ltype, ogrid->level, name.c_str(), units, ogrid->info,
                     sizeof ogrid->info);
    return 0;
}

int GRD_print_info(M_type level, GRD_report *grid, int kind) {
    if (grid == nullptr || !MESS_check(level)) return 0;
    switch (kind) {
    case -2:
    case -1:
    case 0:
        if (grid->info[0] == '\0') GRD_make_datatype(grid);
        if (grid->datim[0] == '\0') {
            if (kind == -2) {
                DATE_make_label_for(grid->time, grid->model, 0, grid->datim, sizeof grid->datim);
            } else {
                const int model = kind == 0 ? grid->source * 1000 + grid->model : grid->model;
                DATE_make_label_for_time(grid->time, model, &grid->date, grid->datim, sizeof grid->datim);
            }
        }
        MESS_print(level, kind == 0 ? "%s-%s\n" : "%s - %s\n", grid->datim, grid->info);
        break;
    case 1:
        MESS_print(level, "Model: %d Ltype: %d Level: %d Var: %d [%s] Hour: %d Grid: %d\n", grid->model,
                   grid->ltype, grid->level, grid->var, grid->units, grid->time, grid->type);
        break;
    case 2: {
        const Domain &d = grid->domain;
        if (d.proj != MISSING)
            MESS_print(level, "Proj: %d Lat: %3.2f Lon: %3.2f NX: %d NY: %d DX: %3.2f DY: %3.2f\n", d.proj,
                       double(d.clat), double(d.clon), d.nx, d.ny, double(d.dx), double(d.dy));
        break;
    }
    case 3:
        GRD_make_datatype(grid);
        MESS_print(level, "%s\n", grid->info);
        break;
    default:
        break;
    }
    return 0;
}

int GRD_print(M_type level, GRD_report *grid) {
    if (!MESS_check(level)) return -1;
    if (grid == nullptr) return -1;
    GRD_print_info(level, grid, 1);
    GRD_print_info(level, grid, 2);
    MESS_print(level, "Domain: ");
    DOM_print(level, &grid->domain);
    return 0;
}

// ---- Extremes and statistics -------------------------------------------------

int GRD_maxmin(const GRD_report *grid, float *max, float *min) {
    float hi = FMISSING, lo = FMISSING;
    int result = -1;
    if (has_values(grid)) {
        result = 0;
        const std::size_t n = grid_size(grid->domain);
        const float *z = grid->grid;
        std::size_t k = 0;
        while (k < n && z[k] == FMISSING)
            ++k;
        if (k < n) {
            hi = lo = z[k];
            for (; k < n; ++k) {
                const float v = z[k];
                if (v == FMISSING) continue;
                if (v > hi)
                    hi = v;
                else if (v < lo)
                    lo = v;
            }
        }
    }
    if (max != nullptr) *max = hi;
    if (min != nullptr) *min = lo;
    return result;
}

int GRD_UVmax(const GRD_report *ugrid, const GRD_report *vgrid, float *max) {
    if (max != nullptr) *max = FMISSING;
    if (!has_values(ugrid) || !has_values(vgrid)) return -1;
    if (!same_size(ugrid, vgrid)) {
        MESS_print(M_WARN, "GRD_UVmax: Grids differ in size\n");
        return -1;
    }
    const std::size_t n = grid_size(ugrid->domain);
    double best = -1.0;
    for (std::size_t k = 0; k < n; ++k) {
        const float u = ugrid->grid[k];
        const float v = vgrid->grid[k];
        if (u == FMISSING || v == FMISSING) continue;
        best = std::max(best, std::sqrt(double(u) * u + double(v) * v));
    }
    if (max != nullptr && best >= 0.0) *max = float(best);
    return 0;
}

int GRD_stats(const char *oper, const GRD_report *grid, float *values) {
    float v0 = FMISSING, v1 = FMISSING;
    int result = 0;
    if (oper != nullptr) {
        if (stricmp(oper, "max") == 0) {
            GRD_maxmin(grid, &v0, nullptr);
            result = 1;
        } else if (stricmp(oper, "min") == 0) {
            GRD_maxmin(grid, nullptr, &v0);
            result = 1;
        } else if (stricmp(oper, "maxmin") == 0) {
            GRD_maxmin(grid, &v0, &v1);
            result = 1;
        } else if (stricmp(oper, "avg") == 0 || stricmp(oper, "avgnum") == 0) {
            if (has_values(grid)) {
                const std::size_t n = grid_size(grid->domain);
                double sum = 0.0;
                long count = 0;
                for (std::size_t k = 0; k < n; ++k) {
                    if (grid->grid[k] == FMISSING) continue;
                    sum += grid->grid[k];
                    ++count;
                }
                if (count > 0) v0 = float(sum / double(count));
                if (stricmp(oper, "avgnum") == 0) v1 = float(count);
                result = 1;
            }
        }
    }
    if (values != nullptr) {
        values[0] = v0;
        values[1] = v1;
    }
    return result;
}

// ---- Value changes in place ----------------------------------------------------

int GRD_scale(GRD_report *grid, float scale) {
    if (!has_values(grid)) return -1;
    const std::size_t n = grid_size(grid->domain);
    for (std::size_t k = 0; k < n; ++k)
        if (grid->grid[k] != FMISSING) grid->grid[k] *= scale;
    return 0;
}

int GRD_offset(GRD_report *grid, float offset) {
    if (!has_values(grid)) return -1;
    const std::size_t n = grid_size(grid->domain);
    for (std::size_t k = 0; k < n; ++k)
        if (grid->grid[k] != FMISSING) grid->grid[k] += offset;
    return 0;
}

int GRD_units(GRD_report *grid, const char *unit_out) {
    if (!has_values(grid)) return -1;
    if (unit_out == nullptr) unit_out = "";
    // unit_out may be the record's own units text.
    const std::string out = unit_out;
    const std::string in = grid->units;
    MESS_print(M_DEBUG, "GRD_units: %s -> %s\n", in.c_str(), out.c_str());
    const std::size_t n = grid_size(grid->domain);
    for (std::size_t k = 0; k < n; ++k)
        grid->grid[k] = UNIT_cvt(grid->grid[k], in.c_str(), out.c_str());
    if (!out.empty()) copy_text(grid->units, out.c_str());
    UNIT_change(grid->info, sizeof grid->info, grid->units);
    return 0;
}

int GRD_cutoff(GRD_report *ogrid, const char *cmd, float cutoff, float nval, const GRD_report *igrid) {
    if (ogrid == nullptr || !has_values(igrid)) return -1;
    const GRD_report in = *igrid;
    GRD_copy(ogrid, &in);
    if (GRD_alloc(ogrid) == 0) return -1;
    const int mode = cmd == nullptr                ? 0
                     : stricmp(cmd, "lower") == 0  ? 1
                     : stricmp(cmd, "higher") == 0 ? 2
                                                   : 0;
    const std::size_t n = grid_size(in.domain);
    for (std::size_t k = 0; k < n; ++k) {
        const float v = in.grid[k];
        float out = v;
        if (v != FMISSING && ((mode == 1 && v < cutoff) || (mode == 2 && v > cutoff))) out = nval;
        ogrid->grid[k] = out;
    }
    return 0;
}

// ---- Values at points ----------------------------------------------------------

float GRD_get_value(const GRD_report *grid, float gx, float gy) {
    if (!has_values(grid)) return FMISSING;
    const int nx = grid->domain.nx;
    const int ny = grid->domain.ny;
    // A position up to 0.0001 beyond the last column or row still counts.
    if (double(gx) > nx - 0.9999 || gx < 0.0f || double(gy) > ny - 0.9999 || gy < 0.0f) return FMISSING;
    const int i = int(gx);
    const int j = int(gy);
    const float fx = gx - float(i);
    const float fy = gy - float(j);
    const float *z = grid->grid;
    const bool last_col = i >= nx - 1;
    const bool last_row = j >= ny - 1;
    const float nw = z[std::size_t(j) * nx + i];
    const float ne = last_col ? nw : z[std::size_t(j) * nx + i + 1];
    const float sw = last_row ? nw : z[std::size_t(j + 1) * nx + i];
    const float se = (last_col || last_row) ? nw : z[std::size_t(j + 1) * nx + i + 1];
    if (nw == FMISSING || ne == FMISSING || sw == FMISSING || se == FMISSING) return FMISSING;
    return (1.0f - fy) * (1.0f - fx) * nw + (1.0f - fy) * fx * ne + (1.0f - fx) * fy * sw + fy * fx * se;
}

float GRD_get_value_domain(const GRD_report *grid, const Domain *domain, float *x, float *y) {
    if (grid == nullptr || x == nullptr || y == nullptr) return FMISSING;
    float gx, gy;
    plane_to_grid(domain, grid->domain, *x, *y, &gx, &gy);
    *x = gx;
    *y = gy;
    return GRD_get_value(grid, gx, gy);
}

int GRD_print_value(float x, float y, const GRD_report *grid) {
    Domain cur;
    MAP_get_domain(&cur);
    const float value = GRD_get_value_domain(grid, &cur, &x, &y);
    MESS_print(M_PRINT, "Grid: %6.2f,%6.2f", double(x), double(y));
    if (value != FMISSING) MESS_print(M_PRINT, " = %6.2f", double(value));
    MESS_print(M_PRINT, "\n");
    return 0;
}

int GRD_print_value2(float x, float y, const GRD_report *grid1, const GRD_report *grid2) {
    Domain cur;
    MAP_get_domain(&cur);
    float x2 = x, y2 = y;
    const float v1 = GRD_get_value_domain(grid1, &cur, &x, &y);
    const float v2 = GRD_get_value_domain(grid2, &cur, &x2, &y2);
    MESS_print(M_PRINT, "Grid: %6.2f,%6.2f", double(x), double(y));
    if (v1 != FMISSING)
        MESS_print(M_PRINT, " = %6.2f", double(v1));
    else
        MESS_print(M_PRINT, " = ");
    if (v2 != FMISSING) MESS_print(M_PRINT, ",%6.2f", double(v2));
    MESS_print(M_PRINT, "\n");
    return 0;
}

int GRD_edit_value(const char *, float x, float y, GRD_report *grid) {
    if (!has_values(grid)) return -1;
    Domain cur;
    MAP_get_domain(&cur);
    float gx, gy;
    plane_to_grid(&cur, grid->domain, x, y, &gx, &gy);
    // Nearest point: add a half and truncate toward zero.
    // (+ 0 turns a negative zero into zero.)
    const float col = std::trunc(gx + 0.5f) + 0.0f;
    const float row = std::trunc(gy + 0.5f) + 0.0f;
    const int nx = grid->domain.nx;
    const int ny = grid->domain.ny;
    if (!(col >= 0.0f && col <= float(nx - 1) && row >= 0.0f && row <= float(ny - 1))) {
        MESS_print(M_PRINT, "Grid: %3.0f,%3.0f Off grid\n", double(col), double(row));
        return -1;
    }
    float &value = grid->grid[std::size_t(row) * nx + std::size_t(col)];
    if (value == FMISSING)
        MESS_print(M_PRINT, "Grid: %3.0f,%3.0f Val = MISS ", double(col), double(row));
    else
        MESS_print(M_PRINT, "Grid: %3.0f,%3.0f Val = %6.2f ", double(col), double(row), double(value));
    value = ZEQ_promptf("New value: ");
    return 0;
}

// ---- Plot positions, resampling and mosaics --------------------------------------

int GRD_proj_XY(const GRD_report *grid, const Domain *domain, float **grdx, float **grdy) {
    if (grid == nullptr || domain == nullptr || grdx == nullptr || grdy == nullptr) return -1;
    const Domain gd = grid->domain;
    std::free(*grdx);
    std::free(*grdy);
    *grdx = new_array(gd);
    *grdy = new_array(gd);
    if (*grdx == nullptr || *grdy == nullptr) {
        std::free(*grdx);
        std::free(*grdy);
        *grdx = *grdy = nullptr;
        MESS_print(M_WARN, "GRD_proj_XY: Unable to allocate grid arrays\n");
        return -1;
    }
    float *lat = *grdx;
    float *lon = *grdy;
    MapScope scope(&gd);
    // The south-west corner, then the rows from the northernmost.
    float xc = FMISSING, yc = FMISSING;
    const bool centred = MAP_tran(gd.clat, gd.clon, &xc, &yc) == 1;
    const double x0 = xc - double(gd.dx) * (gd.nx - 1.0) / 2.0;
    const double y0 = yc - double(gd.dy) * (gd.ny - 1.0) / 2.0;
    std::size_t k = 0;
    for (int j = gd.ny - 1; j >= 0; --j) {
        for (int i = 0; i < gd.nx; ++i, ++k) {
            const float px = float(x0 + double(i) * gd.dx);
            const float py = float(y0 + double(j) * gd.dy);
            // With no projection the plane point is the latitude and longitude.
            lat[k] = px;
            lon[k] = py;
            if (!centred || MAP_untran(px, py, &lat[k], &lon[k]) != 1) lat[k] = lon[k] = FMISSING;
        }
    }
    MAP_domain(domain);
    const std::size_t n = k;
    for (k = 0; k < n; ++k) {
        if (lat[k] == FMISSING) {
            lon[k] = FMISSING;
            continue;
        }
        float x, y;
        if (MAP_tran(lat[k], lon[k], &x, &y) != 1) x = y = FMISSING;
        lat[k] = x;
        lon[k] = y;
    }
    return 0;
}

int GRD_remap(GRD_report *ogrid, const Domain *domain, const GRD_report *igrid) {
    if (ogrid == nullptr || domain == nullptr || !has_values(igrid)) return -1;
    const GRD_report in = *igrid;
    const Domain od = *domain;
    if (grid_size(od) == 0) return -1;
    // One row of positions at a time.
    const std::size_t nx = std::size_t(od.nx);
    std::unique_ptr<float[]> xs(new (std::nothrow) float[nx]);
    std::unique_ptr<float[]> ys(new (std::nothrow) float[nx]);
    if (!xs || !ys) {
        MESS_print(M_WARN, "GRD_alloc: No memory for grid field\n");
        return -1;
    }
    GRD_copy(ogrid, &in);
    ogrid->domain = od;
    if (GRD_alloc(ogrid) == 0) return -1;
    MapScope scope;
    // Each output point goes to its plane position in the output domain, from
    // there through latitude and longitude into the input's plane and onto its
    // grid. The projection is switched twice a row rather than twice a point:
    // the positions are the same.
    const bool same = DOM_comp(&od, &in.domain) != 0;
    float *px = xs.get();
    float *py = ys.get();
    float *out = ogrid->grid;
    for (int j = 0; j < od.ny; ++j) {
        MAP_domain(&od);
        for (std::size_t i = 0; i < nx; ++i) {
            float x, y;
            MAP_grid_tran(float(i), float(j), &x, &y);
            px[i] = x;
            py[i] = y;
            if (same) continue;
            // With no projection the plane point is the latitude and longitude.
            if (MAP_untran(x, y, &px[i], &py[i]) != 1) px[i] = FMISSING;
        }
        MAP_domain(&in.domain);
        for (std::size_t i = 0; i < nx; ++i) {
            float x = px[i], y = py[i];
            if (!same && x != FMISSING && MAP_tran(px[i], py[i], &x, &y) != 1) x = FMISSING;
            float gx, gy;
            MAP_grid_untran(x, y, &gx, &gy);
            out[std::size_t(j) * nx + i] = GRD_get_value(&in, gx, gy);
        }
    }
    return 0;
}

int GRD_piece_setup(GRD_report *grid, int nx, int ny, const GRD_report *igrid) {
    if (grid == nullptr || nx < 1 || ny < 1) return -1;
    if (igrid != nullptr) GRD_copy(grid, igrid);
    Domain &d = grid->domain;
    const int pnx = d.nx;
    const int pny = d.ny;
    if (pnx < 1 || pny < 1) return -1;
    // The centre moves by (nx-1)/2 pieces east and (ny-1)/2 pieces south, so
    // that the piece keeps the north-west corner of the mosaic.
    const double sx = double(d.dx) * (pnx - 1) * (nx - 1) / 2.0;
    const double sy = -double(d.dy) * (pny - 1) * (ny - 1) / 2.0;
    float clat = FMISSING, clon = FMISSING;
    bool moved = false;
    if (d.proj != MISSING) {
        MapScope scope(&d);
        // The reference point that making the piece current filled in stays
        // with the mosaic, so that its plane is the piece's plane.
        Domain placed;
        MAP_get_domain(&placed);
        float xc, yc;
        if (MAP_tran(d.clat, d.clon, &xc, &yc) == 1 &&
            MAP_untran(float(xc + sx), float(yc + sy), &clat, &clon) == 1) {
            d.plat = placed.plat;
            d.plon = placed.plon;
            moved = true;
        }
    }
    if (!moved) {
        // Without a plane the spacings are taken as degrees.
        clat = float(d.clat + sy);
        clon = float(d.clon + sx);
    }
    d.clat = clat;
    d.clon = clon;
    d.nx = nx * (pnx - 1) + 1;
    d.ny = ny * (pny - 1) + 1;
    if (igrid == nullptr) return 0;
    if (GRD_alloc(grid) == 0) return -1;
    const std::size_t n = grid_size(d);
    for (std::size_t k = 0; k < n; ++k)
        grid->grid[k] = FMISSING;
    return 0;
}

int GRD_piece_grid(GRD_report *grid, int x, int y, const GRD_report *igrid) {
    if (!has_values(grid) || !has_values(igrid) || x < 0 || y < 0) return -1;
    const int mx = grid->domain.nx, my = grid->domain.ny;
    const int px = igrid->domain.nx, py = igrid->domain.ny;
    if (mx < px || my < py) return -1;
    const long col = long(x) * (px - 1);
    const long row = long(y) * (py - 1);
    if (col + px > mx || row + py > my) return -1;
    for (int j = 0; j < py; ++j)
        std::memcpy(grid->grid + std::size_t(row + j) * mx + col, igrid->grid + std::size_t(j) * px,
                    std::size_t(px) * sizeof(float));
    return 0;
}
