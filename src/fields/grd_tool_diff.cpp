// Finite-difference operators of the grid module: derivatives, the Laplacian
// and the kinematics of a wind, the Coriolis parameter, point coordinates and
// the turning of wind components to the grid's axes.
//
// Distances are in units of 100 km. Inside the grid a first derivative is the
// centred difference over two grid lengths; at an edge or next to a missing
// value it is one-sided over one grid length, and 0 when both neighbours are
// absent. No file-static state.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/grd_tool_int.h"
#include "fields/maptran.h"
#include "runtime/mess.h"
#include "runtime/string.h"

using grd_int::grid_size;
using grd_int::has_values;
using grd_int::same_size;

namespace {

// Hundreds of km per degree of latitude.
constexpr double kDegree = 1.11195;
// Twice the earth's rotation rate in units of 1e-5 per second.
constexpr double kTwoOmega = 14.584;

// The grid lengths of a grid: dy for every row, dx per row (a latitude-
// longitude grid narrows toward the poles); 0 marks a length that does not
// exist (a pole row, a spacing of 0 or missing), whose derivatives are missing.
struct Spacing {
    int nx = 0;
    int ny = 0;
    double dy = 0.0;
    std::vector<double> dx;
};

double usable(double d) {
    return (d == double(FMISSING) || !std::isfinite(d)) ? 0.0 : d;
}

// Latitude of row j of a latitude-longitude grid (row 0 the northernmost).
double row_latitude(const Domain &d, int j) {
    return d.clat - double(d.dy) * (d.ny - 1) / 2.0 + double(d.dy) * (d.ny - 1 - j);
}

Spacing spacing_of(const Domain &d) {
    Spacing s;
    s.nx = d.nx;
    s.ny = d.ny;
    s.dx.assign(std::size_t(d.ny), 0.0);
    if (d.proj == 2) {
        s.dy = d.dy == FMISSING ? 0.0 : kDegree * d.dy;
        for (int j = 0; j < d.ny; ++j) {
            const double lat = row_latitude(d, j);
            if (lat == 90.0 || lat == -90.0 || d.dx == FMISSING) continue;
            s.dx[std::size_t(j)] = kDegree * d.dx * std::cos(lat * DEG_TO_RAD);
        }
    } else {
        const double scale = d.param[2] == FMISSING ? 1.0 : d.param[2];
        const double dx = d.dx == FMISSING ? 0.0 : d.dx * scale;
        s.dy = d.dy == FMISSING ? 0.0 : d.dy * scale;
        for (double &v : s.dx)
            v = dx;
    }
    s.dy = usable(s.dy);
    for (double &v : s.dx)
        v = usable(v);
    return s;
}

// First differences of a present value at (i, j): dz/dx eastward, dz/dy
// northward.
double diff_x(const float *z, int nx, int i, int j, double dx) {
    const float *row = z + std::size_t(j) * nx;
    const float c = row[i];
    const bool w = i > 0 && row[i - 1] != FMISSING;
    const bool e = i < nx - 1 && row[i + 1] != FMISSING;
    const double west = w ? row[i - 1] : c;
    const double east = e ? row[i + 1] : c;
    return (east - west) / ((w && e) ? 2.0 * dx : dx);
}

double diff_y(const float *z, int nx, int ny, int i, int j, double dy) {
    const float c = z[std::size_t(j) * nx + i];
    const float up = j > 0 ? z[std::size_t(j - 1) * nx + i] : FMISSING;
    const float down = j < ny - 1 ? z[std::size_t(j + 1) * nx + i] : FMISSING;
    const bool n = up != FMISSING;
    const bool s = down != FMISSING;
    const double north = n ? up : c;
    const double south = s ? down : c;
    return (north - south) / ((n && s) ? 2.0 * dy : dy);
}

// Second difference along a line of n values z[base + m*stride] at position
// k, whose value is present; "next" is east for rows and south for columns.
// Next to the end of the line or a missing next value it takes the two values
// before, else next to the start or a missing previous value the two after;
// missing when those are not there.
float diff2(const float *z, std::ptrdiff_t base, std::ptrdiff_t stride, int n, int k, double d2) {
    auto at = [&](int m) { return double(z[base + std::ptrdiff_t(m) * stride]); };
    const bool next = k < n - 1 && at(k + 1) != FMISSING;
    const bool prev = k > 0 && at(k - 1) != FMISSING;
    if (!next) {
        if (k >= 2 && at(k - 1) != FMISSING && at(k - 2) != FMISSING)
            return float((at(k) + at(k - 2) - 2.0 * at(k - 1)) / d2);
        return FMISSING;
    }
    if (!prev) {
        if (k + 2 <= n - 1 && at(k + 2) != FMISSING) return float((at(k) + at(k + 2) - 2.0 * at(k + 1)) / d2);
        return FMISSING;
    }
    return float((at(k - 1) + at(k + 1) - 2.0 * at(k)) / d2);
}

// The output array of an operator: the output's own array, a new one that the
// output receives on success, or a scratch array when the output's array is
// also an input (its values are copied over at the end).
class Target {
public:
    ~Target() {
        if (owned_ != nullptr) std::free(owned_);
    }

    // Checks the records and prepares the array; -1 (with a message where
    // one is due) when the operator must refuse.
    int open(const char *name, std::initializer_list<const GRD_report *> inputs, GRD_report *out) {
        const GRD_report *first = *inputs.begin();
        if (out == nullptr) return -1;
        for (const GRD_report *g : inputs)
            if (!has_values(g)) return -1;
        for (const GRD_report *g : inputs)
            if (!same_size(g, first)) return differ(name);
        if (out->grid != nullptr && !same_size(out, first)) return differ(name);
        n_ = grid_size(first->domain);
        out_ = out;
        bool alias = false;
        for (const GRD_report *g : inputs)
            alias = alias || (out->grid != nullptr && g->grid == out->grid);
        if (out->grid != nullptr && !alias) {
            values_ = out->grid;
            return 0;
        }
        owned_ = static_cast<float *>(std::malloc(n_ * sizeof(float)));
        if (owned_ == nullptr) {
            MESS_print(M_WARN, "%s: No memory for grid field\n", name);
            return -1;
        }
        values_ = owned_;
        return 0;
    }

    float *values() { return values_; }

    // Hands the values to the output record.
    void close() {
        if (owned_ == nullptr) return;
        if (out_->grid != nullptr) {
            std::memcpy(out_->grid, owned_, n_ * sizeof(float));
            return;
        }
        out_->grid = owned_;
        owned_ = nullptr;
    }

private:
    static int differ(const char *name) {
        MESS_print(M_WARN, "%s: Grids differ in size\n", name);
        return -1;
    }

    GRD_report *out_ = nullptr;
    float *values_ = nullptr;
    float *owned_ = nullptr;
    std::size_t n_ = 0;
};

// Runs a wind operator: `point(u, v, i, j, dx, dy)` gives the value at a point
// where both components are present and the row has a grid length in x;
// z (optional) must be present too.
template <typename F>
int wind_operator(const char *name, const GRD_report *ugrid, const GRD_report *vgrid, const GRD_report *zgrid,
                  GRD_report *ogrid, F point) {
    Target t;
    const int rc =
        zgrid != nullptr ? t.open(name, {ugrid, vgrid, zgrid}, ogrid) : t.open(name, {ugrid, vgrid}, ogrid);
    if (rc != 0) return -1;
    const Spacing s = spacing_of(ugrid->domain);
    const float *u = ugrid->grid;
    const float *v = vgrid->grid;
    const float *z = zgrid != nullptr ? zgrid->grid : nullptr;
    float *out = t.values();
    for (int j = 0; j < s.ny; ++j) {
        const double dx = s.dx[std::size_t(j)];
        for (int i = 0; i < s.nx; ++i) {
            const std::size_t k = std::size_t(j) * s.nx + i;
            const bool present = u[k] != FMISSING && v[k] != FMISSING && (z == nullptr || z[k] != FMISSING);
            out[k] = (present && dx != 0.0 && s.dy != 0.0) ? float(point(i, j, k, dx, s)) : FMISSING;
        }
    }
    t.close();
    return 0;
}

// Latitude of every point (row by row, row 0 north) into lat, and the plane
// position into px, py when they are not null; -9999 where the point has no
// latitude. Latitude-longitude grids (when rows is set) take the row
// latitudes; every other grid goes through its projection.
void locate_points(const Domain &d, bool rows, float *lat, float *lon, float *px, float *py) {
    const std::size_t nx = std::size_t(d.nx);
    if (rows && d.proj == 2) {
        for (int j = 0; j < d.ny; ++j)
            for (std::size_t i = 0; i < nx; ++i)
                lat[std::size_t(j) * nx + i] = float(row_latitude(d, j));
        return;
    }
    MapScope scope(&d);
    float xc, yc;
    const bool centred = MAP_tran(d.clat, d.clon, &xc, &yc) == 1;
    const double x0 = xc - double(d.dx) * (d.nx - 1) / 2.0;
    const double y0 = yc + double(d.dy) * (d.ny - 1) / 2.0;
    for (int j = 0; j < d.ny; ++j) {
        for (std::size_t i = 0; i < nx; ++i) {
            const std::size_t k = std::size_t(j) * nx + i;
            const float x = float(x0 + double(i) * d.dx);
            const float y = float(y0 - double(j) * d.dy);
            if (px != nullptr) px[k] = centred ? x : FMISSING;
            if (py != nullptr) py[k] = centred ? y : FMISSING;
            // With no projection the plane point is the latitude and longitude.
            float la = x, lo = y;
            if (!centred || MAP_untran(x, y, &la, &lo) != 1) la = lo = FMISSING;
            lat[k] = la;
            if (lon != nullptr) lon[k] = lo;
        }
    }
}

} // namespace

int GRD_dx(const GRD_report *grid, GRD_report *ogrid) {
    Target t;
    if (t.open("GRD_dx", {grid}, ogrid) != 0) return -1;
    const Spacing s = spacing_of(grid->domain);
    const float *z = grid->grid;
    float *out = t.values();
    for (int j = 0; j < s.ny; ++j) {
        const double dx = s.dx[std::size_t(j)];
        for (int i = 0; i < s.nx; ++i) {
            const std::size_t k = std::size_t(j) * s.nx + i;
            out[k] = (z[k] != FMISSING && dx != 0.0) ? float(diff_x(z, s.nx, i, j, dx)) : FMISSING;
        }
    }
    t.close();
    return 0;
}

int GRD_dy(const GRD_report *grid, GRD_report *ogrid) {
    Target t;
    if (t.open("GRD_dy", {grid}, ogrid) != 0) return -1;
    const Spacing s = spacing_of(grid->domain);
    const float *z = grid->grid;
    float *out = t.values();
    for (int j = 0; j < s.ny; ++j) {
        for (int i = 0; i < s.nx; ++i) {
            const std::size_t k = std::size_t(j) * s.nx + i;
            out[k] = (z[k] != FMISSING && s.dy != 0.0) ? float(diff_y(z, s.nx, s.ny, i, j, s.dy)) : FMISSING;
        }
    }
    t.close();
    return 0;
}

int GRD_laplacian(const GRD_report *agrid, GRD_report *bgrid) {
    Target t;
    if (t.open("GRD_laplacian", {agrid}, bgrid) != 0) return -1;
    const Spacing s = spacing_of(agrid->domain);
    const float *z = agrid->grid;
    float *out = t.values();
    const double dy2 = s.dy * s.dy;
    for (int j = 0; j < s.ny; ++j) {
        const double dx = s.dx[std::size_t(j)];
        const double dx2 = dx * dx;
        const std::ptrdiff_t row = std::ptrdiff_t(j) * s.nx;
        for (int i = 0; i < s.nx; ++i) {
            const std::size_t k = std::size_t(row) + i;
            out[k] = FMISSING;
            if (z[k] == FMISSING || dx2 == 0.0 || dy2 == 0.0) continue;
            const float px = diff2(z, row, 1, s.nx, i, dx2);
            const float py = diff2(z, i, s.nx, s.ny, j, dy2);
            if (px == FMISSING || py == FMISSING) continue;
            out[k] = px + py;
        }
    }
    t.close();
    return 0;
}

int GRD_converge(const GRD_report *ugrid, const GRD_report *vgrid, const GRD_report *zgrid,
                 GRD_report *ogrid) {
    if (ugrid == nullptr || vgrid == nullptr) return -1;
    const float *u = ugrid->grid;
    const float *v = vgrid->grid;
    const float *z = zgrid != nullptr ? zgrid->grid : nullptr;
    return wind_operator("GRD_converge", ugrid, vgrid, zgrid, ogrid,
                         [&](int i, int j, std::size_t k, double dx, const Spacing &s) {
                             const double c =
                                 -(diff_x(u, s.nx, i, j, dx) + diff_y(v, s.nx, s.ny, i, j, s.dy));
                             return z != nullptr ? c * z[k] : c;
                         });
}

int GRD_vorticity(const GRD_report *ugrid, const GRD_report *vgrid, GRD_report *ogrid) {
    if (ugrid == nullptr || vgrid == nullptr) return -1;
    const float *u = ugrid->grid;
    const float *v = vgrid->grid;
    return wind_operator("GRD_vorticity", ugrid, vgrid, nullptr, ogrid,
                         [&](int i, int j, std::size_t, double dx, const Spacing &s) {
                             return diff_x(v, s.nx, i, j, dx) - diff_y(u, s.nx, s.ny, i, j, s.dy);
                         });
}

int GRD_deformation1(const GRD_report *ugrid, const GRD_report *vgrid, GRD_report *ogrid) {
    if (ugrid == nullptr || vgrid == nullptr) return -1;
    const float *u = ugrid->grid;
    const float *v = vgrid->grid;
    return wind_operator("GRD_deformation1", ugrid, vgrid, nullptr, ogrid,
                         [&](int i, int j, std::size_t, double dx, const Spacing &s) {
                             return diff_x(u, s.nx, i, j, dx) - diff_y(v, s.nx, s.ny, i, j, s.dy);
                         });
}

int GRD_deformation2(const GRD_report *ugrid, const GRD_report *vgrid, GRD_report *ogrid) {
    if (ugrid == nullptr || vgrid == nullptr) return -1;
    const float *u = ugrid->grid;
    const float *v = vgrid->grid;
    return wind_operator("GRD_deformation2", ugrid, vgrid, nullptr, ogrid,
                         [&](int i, int j, std::size_t, double dx, const Spacing &s) {
                             return -(diff_x(v, s.nx, i, j, dx) + diff_y(u, s.nx, s.ny, i, j, s.dy));
                         });
}

int GRD_advection(const GRD_report *ugrid, const GRD_report *vgrid, const GRD_report *zgrid,
                  GRD_report *agrid) {
    if (ugrid == nullptr || vgrid == nullptr || zgrid == nullptr) return -1;
    const float *u = ugrid->grid;
    const float *v = vgrid->grid;
    const float *z = zgrid->grid;
    return wind_operator("GRD_advection", ugrid, vgrid, zgrid, agrid,
                         [&](int i, int j, std::size_t k, double dx, const Spacing &s) {
                             return -double(u[k]) * diff_x(z, s.nx, i, j, dx) -
                                    double(v[k]) * diff_y(z, s.nx, s.ny, i, j, s.dy);
                         });
}

int GRD_coriolis(GRD_report *grid, const char *oper) {
    if (!has_values(grid) || oper == nullptr) return -1;
    enum { Add, Sub, SubRev, Mul, Div, DivRev } op;
    if (stricmp(oper, "add") == 0)
        op = Add;
    else if (stricmp(oper, "sub") == 0)
        op = Sub;
    else if (stricmp(oper, "sub-") == 0)
        op = SubRev;
    else if (stricmp(oper, "mul") == 0)
        op = Mul;
    else if (stricmp(oper, "div") == 0)
        op = Div;
    else if (stricmp(oper, "div-") == 0)
        op = DivRev;
    else
        return -1;
    const std::size_t n = grid_size(grid->domain);
    std::vector<float> lat(n);
    locate_points(grid->domain, true, lat.data(), nullptr, nullptr, nullptr);
    float *z = grid->grid;
    for (std::size_t k = 0; k < n; ++k) {
        if (z[k] == FMISSING) continue;
        if (lat[k] == FMISSING) {
            z[k] = FMISSING;
            continue;
        }
        const double f = kTwoOmega * std::sin(lat[k] * DEG_TO_RAD);
        const double v = z[k];
        double r = FMISSING;
        switch (op) {
        case Add:
            r = v + f;
            break;
        case Sub:
            r = v - f;
            break;
        case SubRev:
            r = f - v;
            break;
        case Mul:
            r = f * v;
            break;
        case Div:
            if (f != 0.0) r = v / f;
            break;
        case DivRev:
            if (v != 0.0) r = f / v;
            break;
        }
        z[k] = float(r);
    }
    return 0;
}

int GRD_point_locate(GRD_report *grid, const char *oper) {
    if (!has_values(grid) || oper == nullptr) return -1;
    enum { Lat, Lon, ProjX, ProjY } what;
    const char *info;
    const char *units;
    if (stricmp(oper, "lat") == 0) {
        what = Lat, info = "Latitude (deg)", units = "deg";
    } else if (stricmp(oper, "lon") == 0) {
        what = Lon, info = "Longitude (deg)", units = "deg";
    } else if (stricmp(oper, "projx") == 0) {
        what = ProjX, info = "Projection X", units = "";
    } else if (stricmp(oper, "projy") == 0) {
        what = ProjY, info = "Projection Y", units = "";
    } else {
        return -1;
    }
    const std::size_t n = grid_size(grid->domain);
    std::vector<float> lat(n), lon(n), px(n), py(n);
    locate_points(grid->domain, false, lat.data(), lon.data(), px.data(), py.data());
    float *z = grid->grid;
    for (std::size_t k = 0; k < n; ++k) {
        if (z[k] == FMISSING) continue;
        switch (what) {
        case Lat:
            z[k] = lat[k];
            break;
        case Lon: {
            float l = lon[k];
            if (l != FMISSING) {
                if (l > 180.0f)
                    l -= 360.0f;
                else if (l < -180.0f)
                    l += 360.0f;
            }
            z[k] = l;
            break;
        }
        case ProjX:
            z[k] = px[k];
            break;
        case ProjY:
            z[k] = py[k];
            break;
        }
    }
    std::snprintf(grid->info, sizeof grid->info, "%s", info);
    std::snprintf(grid->units, sizeof grid->units, "%s", units);
    grid->var = 0;
    return 0;
}

int GRD_correct_UV(GRD_report *ugrid, GRD_report *vgrid) {
    if (!has_values(ugrid) || !has_values(vgrid)) return -1;
    if (!same_size(ugrid, vgrid)) {
        MESS_print(M_WARN, "GRD_correct_UV: Grids differ in size\n");
        return -1;
    }
    const Domain d = ugrid->domain;
    MapScope scope(&d);
    float *u = ugrid->grid;
    float *v = vgrid->grid;
    for (int j = 0; j < d.ny; ++j) {
        for (int i = 0; i < d.nx; ++i) {
            const std::size_t k = std::size_t(j) * d.nx + i;
            if (u[k] == FMISSING || v[k] == FMISSING) continue;
            float x, y;
            MAP_grid_tran(float(i), float(j), &x, &y);
            const double s = std::hypot(double(u[k]), double(v[k]));
            const float dir = s < 0.01 ? 0.0f : float(std::atan2(-double(u[k]), -double(v[k])) * RAD_TO_DEG);
            const float turned = MAP_dir_adj(dir, x, y);
            // A point the projection cannot show keeps its components.
            if (turned == FMISSING) continue;
            u[k] = float(-s * std::sin(turned * DEG_TO_RAD));
            v[k] = float(-s * std::cos(turned * DEG_TO_RAD));
        }
    }
    return 0;
}
