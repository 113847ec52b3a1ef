// The grid calculator's wind, vector and differential functions: speed and
// direction, components from direction and speed, vector products, and the
// derivatives, kinematic quantities, geostrophic wind and Q-vectors built on
// the finite-difference operators of the grid module. Operands are grids.
// No file-static state.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fields/calc.h"
#include "fields/calc_int.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"

using calc_int::Call;
using calc_int::grids_only;
using calc_int::Handler;
using calc_int::points;
using calc_int::scaled_units;
using calc_int::set_units;
using calc_int::store;

namespace {

// Gravity (m/s²) of the geostrophic wind.
constexpr float kGravity = 9.8f;
// Gas constant of dry air (J/kg/K).
constexpr double kRdry = 287.05;

// setup for functions whose operands must all be grids.
bool grid_setup(const Call &c, float **ptr, int *nx, int *ny, int num, const char *units,
                const char *func = nullptr) {
    const int v = GRD_is_vect_func(c.name.c_str());
    for (int i = v + 1; i <= v + num; ++i)
        if (c.grids[i] == nullptr) return false;
    if (!calc_int::setup(c, ptr, nx, ny, num, units, func)) return false;
    return grids_only(ptr, v + 1, v + num);
}

// The operator word labels the result only when no abbreviation names it.
void label(const Call &c, GRD_report *r, const GRD_report *from, const char *word) {
    if (c.abbr.empty()) GRD_make_devtype(r, from, word);
}

// ---- Pointwise wind functions ----------------------------------------------------

// Direction the wind (u, v) comes from, degrees; 0 for a calm.
double direction(float u, float v) {
    if (u == 0.0f && v == 0.0f) return 0.0;
    double d = std::atan2(-double(u), -double(v)) * RAD_TO_DEG;
    if (d < 0.0) d += 360.0;
    return d;
}

double fold(double d) {
    if (d < 0.0) d += 360.0;
    if (d > 360.0) d -= 360.0;
    return d;
}

// Makes the result's domain the current projection for the life of the
// object and walks the plane position of its points in array order.
class GridPositions {
public:
    explicit GridPositions(const Domain &d) : dom_(d), scope_(&dom_) {
        float xc = 0.0f, yc = 0.0f;
        MAP_tran(dom_.clat, dom_.clon, &xc, &yc);
        x0_ = xc - dom_.dx * float(dom_.nx - 1) / 2.0f;
        y0_ = yc + dom_.dy * float(dom_.ny - 1) / 2.0f;
    }
    GridPositions(const GridPositions &) = delete;
    GridPositions &operator=(const GridPositions &) = delete;

    // f(k, x, y) for every point k of the grid.
    template <typename F> void each(F f) const {
        std::size_t k = 0;
        for (int j = 0; j < dom_.ny; ++j) {
            const float y = y0_ - float(j) * dom_.dy;
            float x = x0_;
            for (int i = 0; i < dom_.nx; ++i, ++k) {
                f(k, x, y);
                x += dom_.dx;
            }
        }
    }

private:
    Domain dom_;
    MapScope scope_; // after dom_: made from it
    float x0_ = 0.0f, y0_ = 0.0f;
};

// wspd, spd, mag (U, V)
bool f_speed(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 2, "m/s")) return false;
    GRD_units(c.grids[1], "m/s");
    GRD_units(c.grids[2], "m/s");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float u = ptr[1][k], v = ptr[2][k];
        ptr[0][k] =
            is_missing(u) || is_missing(v) ? FMISSING : store(std::sqrt(double(u) * u + double(v) * v));
    }
    if (c.name == "spd") label(c, c.grids[0], c.grids[1], "Speed");
    return true;
}

// wdir, dir (U, V)
bool f_wdir(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 2, "deg", "wdir")) return false;
    GRD_units(c.grids[1], "m/s");
    GRD_units(c.grids[2], "m/s");
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float u = ptr[1][k], v = ptr[2][k];
        ptr[0][k] = is_missing(u) || is_missing(v) ? FMISSING : store(fold(direction(u, v)));
    }
    return true;
}

// ewdir (U, V along the grid's axes): the true direction.
bool f_ewdir(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 2, "deg", "wdir")) return false;
    GRD_units(c.grids[1], "m/s");
    GRD_units(c.grids[2], "m/s");
    const GridPositions pos(c.grids[0]->domain);
    pos.each([&](std::size_t k, float x, float y) {
        const float u = ptr[1][k], v = ptr[2][k];
        if (is_missing(u) || is_missing(v)) {
            ptr[0][k] = FMISSING;
            return;
        }
        if (u == 0.0f && v == 0.0f) {
            ptr[0][k] = 0.0f;
            return;
        }
        const float d = MAP_undir_adj(float(direction(u, v)), x, y);
        ptr[0][k] = is_missing(d) ? FMISSING : store(fold(d));
    });
    return true;
}

// uwnd, vwnd (D, S), and uwndg, vwndg with the direction turned to the grid.
bool f_component(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 2, "m/s")) return false;
    GRD_units(c.grids[2], "m/s");
    const bool u_comp = c.name[0] == 'u';
    auto value = [u_comp](float d, float s) {
        const double a = double(d) * DEG_TO_RAD;
        return store(-double(s) * (u_comp ? std::sin(a) : std::cos(a)));
    };
    if (c.name.back() != 'g') {
        const std::size_t n = points(nx, ny);
        for (std::size_t k = 0; k < n; ++k) {
            const float d = ptr[1][k], s = ptr[2][k];
            ptr[0][k] = is_missing(d) || is_missing(s) ? FMISSING : value(d, s);
        }
        return true;
    }
    const GridPositions pos(c.grids[0]->domain);
    pos.each([&](std::size_t k, float x, float y) {
        const float d = ptr[1][k], s = ptr[2][k];
        if (is_missing(d) || is_missing(s)) {
            ptr[0][k] = FMISSING;
            return;
        }
        const float dg = MAP_dir_adj(d, x, y);
        ptr[0][k] = is_missing(dg) ? FMISSING : value(dg, s);
    });
    return true;
}

// dot and cross (U1, V1, U2, V2)
template <bool Dot> bool f_product(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 4, "m/s")) return false;
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float u1 = ptr[1][k], v1 = ptr[2][k], u2 = ptr[3][k], v2 = ptr[4][k];
        if (is_missing(u1) || is_missing(v1) || is_missing(u2) || is_missing(v2))
            ptr[0][k] = FMISSING;
        else
            ptr[0][k] = store(Dot ? u1 * u2 + v1 * v2 : u1 * v2 - u2 * v1);
    }
    return true;
}

// vdiff (U1, V1, U2, V2): two results, U1 - U2 and V1 - V2.
bool f_vdiff(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 4, nullptr)) return false;
    const std::size_t n = points(nx, ny);
    for (std::size_t k = 0; k < n; ++k) {
        const float u1 = ptr[2][k], v1 = ptr[3][k], u2 = ptr[4][k], v2 = ptr[5][k];
        if (is_missing(u1) || is_missing(v1) || is_missing(u2) || is_missing(v2)) {
            ptr[0][k] = FMISSING;
            ptr[1][k] = FMISSING;
        } else {
            ptr[0][k] = store(u1 - u2);
            ptr[1][k] = store(v1 - v2);
        }
    }
    label(c, c.grids[0], c.grids[2], "Vector Diff");
    return true;
}

// ---- Whole-grid functions ------------------------------------------------------

// A work grid with r's header and an array that the operators fill; freed at
// the end.
struct Work {
    GRD_report g;
    explicit Work(const GRD_report &r) : g(r) { g.grid = nullptr; }
    ~Work() { std::free(g.grid); }
    Work(const Work &) = delete;
    Work &operator=(const Work &) = delete;
};

// Runs op into a work grid and copies its values into r (which may be one of
// the operands). False when the operator fails.
template <typename Op> bool into(GRD_report *r, Op op) {
    Work w(*r);
    if (op(&w.g) != 0 || w.g.grid == nullptr) return false;
    std::memcpy(r->grid, w.g.grid, points(r->domain.nx, r->domain.ny) * sizeof(float));
    return true;
}

// dx and dy (A): the result keeps its label.
template <bool X> bool f_derivative(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 1, nullptr)) return false;
    GRD_report *r = c.grids[0];
    const GRD_report *a = c.grids[1];
    const std::string units = scaled_units(a->units, 1e-5f, "/m");
    if (!into(r, [a](GRD_report *o) { return X ? GRD_dx(a, o) : GRD_dy(a, o); })) return false;
    set_units(r, units.c_str());
    return true;
}

// grad (A): both components carry the derivative's units.
bool f_grad(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 1, nullptr)) return false;
    GRD_report *rx = c.grids[0];
    GRD_report *ry = c.grids[1];
    const GRD_report *a = c.grids[2];
    const std::string units = scaled_units(a->units, 1e-5f, "/m");
    if (!into(rx, [a](GRD_report *o) { return GRD_dx(a, o); })) return false;
    if (!into(ry, [a](GRD_report *o) { return GRD_dy(a, o); })) return false;
    set_units(rx, units.c_str());
    set_units(ry, units.c_str());
    label(c, rx, a, "Gradient");
    label(c, ry, a, "Gradient");
    return true;
}

// lapl (A)
bool f_lapl(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.grids[1] == nullptr) return false;
    const std::string units = scaled_units(c.grids[1]->units, 1e-10f, "/m^2");
    if (!grid_setup(c, ptr, &nx, &ny, 1, units.c_str())) return false;
    const GRD_report *a = c.grids[1];
    label(c, c.grids[0], a, "Laplacian");
    return into(c.grids[0], [a](GRD_report *o) { return GRD_laplacian(a, o); });
}

// conv and diverg (U, V [, Q]): the flux convergence of Q when it is given.
template <bool Div> bool f_converge(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 2 || c.grids[1] == nullptr) return false;
    const std::string units = scaled_units(c.grids[1]->units, 1e-5f, "/m");
    if (!grid_setup(c, ptr, &nx, &ny, c.nops, units.c_str())) return false;
    GRD_report *r = c.grids[0];
    const GRD_report *u = c.grids[1];
    const GRD_report *v = c.grids[2];
    const GRD_report *q = c.nops >= 3 ? c.grids[3] : nullptr;
    label(c, r, q != nullptr ? q : u, Div ? "Divergence" : "Convergence");
    if (!into(r, [&](GRD_report *o) { return GRD_converge(u, v, q, o); })) return false;
    if (Div) GRD_scale(r, -1.0f);
    return true;
}

// Operators of a wind (U, V) whose result is labelled from its parameter
// number and U's scaled units; num operands are checked (any when 0).
template <int (*Op)(const GRD_report *, const GRD_report *, GRD_report *)>
bool wind_operator(const Call &c, int num) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (num == 0 && c.nops < 2) return false;
    if (c.grids[1] == nullptr) return false;
    const std::string units = scaled_units(c.grids[1]->units, 1e-5f, "/m");
    if (!grid_setup(c, ptr, &nx, &ny, num == 0 ? c.nops : num, units.c_str())) return false;
    const GRD_report *u = c.grids[1];
    const GRD_report *v = c.grids[2];
    return into(c.grids[0], [u, v](GRD_report *o) { return Op(u, v, o); });
}

bool f_def1(const Call &c) {
    return wind_operator<GRD_deformation1>(c, 0);
}

bool f_def2(const Call &c) {
    return wind_operator<GRD_deformation2>(c, 0);
}

bool f_rvort(const Call &c) {
    return wind_operator<GRD_vorticity>(c, 2);
}

bool f_avort(const Call &c) {
    if (!wind_operator<GRD_vorticity>(c, 2)) return false;
    GRD_coriolis(c.grids[0], "add");
    return true;
}

// vconv (U, V, Q)
bool f_vconv(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.grids[1] == nullptr) return false;
    const std::string units = scaled_units(c.grids[1]->units, 1e-5f, "/m");
    if (!grid_setup(c, ptr, &nx, &ny, 3, units.c_str())) return false;
    const GRD_report *u = c.grids[1], *v = c.grids[2], *q = c.grids[3];
    return into(c.grids[0], [&](GRD_report *o) { return GRD_converge(u, v, q, o); });
}

// adv (U, V, A)
bool f_adv(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 3 || c.grids[3] == nullptr) return false;
    const std::string units = scaled_units(c.grids[3]->units, 1e-5f, "/s");
    if (!grid_setup(c, ptr, &nx, &ny, 3, units.c_str())) return false;
    const GRD_report *u = c.grids[1], *v = c.grids[2], *a = c.grids[3];
    label(c, c.grids[0], a, "Advection");
    return into(c.grids[0], [&](GRD_report *o) { return GRD_advection(u, v, a, o); });
}

// Geostrophic wind component of a height field z (in m) into o:
// u = -g (dZ/dy) / f, v = g (dZ/dx) / f.
int geostrophic(const GRD_report *z, GRD_report *o, bool u_comp) {
    const int rc = u_comp ? GRD_dy(z, o) : GRD_dx(z, o);
    if (rc != 0) return rc;
    GRD_coriolis(o, "div");
    GRD_scale(o, u_comp ? -kGravity : kGravity);
    return 0;
}

// ugeos, vgeos (Z)
template <bool U> bool f_geos(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 1, "m/s")) return false;
    GRD_report *z = c.grids[1];
    GRD_units(z, "m");
    return into(c.grids[0], [z](GRD_report *o) { return geostrophic(z, o, U); });
}

// uq, vq (Z, T): a component of the Q-vector on the result's pressure level.
template <bool U> bool f_qvector(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!grid_setup(c, ptr, &nx, &ny, 2, nullptr)) return false;
    GRD_report *z = c.grids[1];
    GRD_report *t = c.grids[2];
    GRD_units(z, "m");
    GRD_units(t, "K");
    const float p = float(c.grids[0]->level);
    GRD_report head = *z;
    head.grid = nullptr;
    Work ug(head), vg(head), a(head), b(head), cx(head), ey(head);
    if (geostrophic(z, &ug.g, true) != 0 || geostrophic(z, &vg.g, false) != 0) return false;
    const int rc = U ? GRD_dx(&ug.g, &a.g) | GRD_dx(&vg.g, &b.g) : GRD_dy(&ug.g, &a.g) | GRD_dy(&vg.g, &b.g);
    if (rc != 0 || GRD_dx(t, &cx.g) != 0 || GRD_dy(t, &ey.g) != 0) return false;
    const std::size_t n = points(nx, ny);
    // Without a pressure level there is no Q-vector.
    if (!(p > 0.0f)) {
        for (std::size_t k = 0; k < n; ++k)
            ptr[0][k] = FMISSING;
        return true;
    }
    const float pa = 100.0f * p;
    const double factor = -kRdry / double(pa);
    for (std::size_t k = 0; k < n; ++k) {
        const float av = a.g.grid[k], bv = b.g.grid[k], cv = cx.g.grid[k], ev = ey.g.grid[k];
        if (is_missing(av) || is_missing(bv) || is_missing(cv) || is_missing(ev)) {
            ptr[0][k] = FMISSING;
            continue;
        }
        const float s = av * cv + bv * ev;
        ptr[0][k] = store(double(s) * factor);
    }
    return true;
}

struct Entry {
    std::string_view name;
    Handler fn;
};

constexpr Entry kWind[] = {
    {"wspd", f_speed},
    {"spd", f_speed},
    {"mag", f_speed},
    {"wdir", f_wdir},
    {"dir", f_wdir},
    {"ewdir", f_ewdir},
    {"uwnd", f_component},
    {"vwnd", f_component},
    {"uwndg", f_component},
    {"vwndg", f_component},
    {"dot", f_product<true>},
    {"cross", f_product<false>},
    {"vdiff", f_vdiff},
    {"dx", f_derivative<true>},
    {"dy", f_derivative<false>},
    {"grad", f_grad},
    {"lapl", f_lapl},
    {"conv", f_converge<false>},
    {"diverg", f_converge<true>},
    {"def1", f_def1},
    {"def2", f_def2},
    {"vconv", f_vconv},
    {"rvort", f_rvort},
    {"avort", f_avort},
    {"adv", f_adv},
    {"ugeos", f_geos<true>},
    {"vgeos", f_geos<false>},
    {"uq", f_qvector<true>},
    {"vq", f_qvector<false>},
};

} // namespace

namespace calc_int {

Handler wind_function(const std::string &name) {
    for (const Entry &e : kWind)
        if (e.name == name) return e.fn;
    return nullptr;
}

} // namespace calc_int
