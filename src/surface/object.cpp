// Barnes objective analysis: station values become grid values by Gaussian-
// weighted means (pass 1) and weighted corrections from the stations'
// residuals (later passes, each with a sharper filter). File-static state: the
// analysis parameters, the radius decoded for the analysis in progress, and
// the grid sums of a moderate analysis, kept for the next one.
#include "surface/object.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "fields/maptran.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

constexpr float DEF_FILTER = 1.0f;
constexpr float DEF_RAD_INF = 1000.0f;
constexpr int DEF_NUM_PASS = 1;
constexpr int MAX_NUM_PASS = 4;
constexpr float DEF_CONVERG = 0.2f;
constexpr int DEF_MIN_STA = 1;
// Grid values of smaller magnitude are stored as 0.
constexpr double TINY_VALUE = 1e-10;

float filter = DEF_FILTER;
float rad_inf = DEF_RAD_INF;
int num_pass = DEF_NUM_PASS;
float converg = DEF_CONVERG;
float miss_val = FMISSING;
int min_sta = DEF_MIN_STA;
int grid_factor = 1;
// Radius of the analysis in progress: rad_inf, scaled by the refinement
// factor when plot_param asks for a refined grid. rad_inf itself stays as
// set, so that every analysis scales it once.
float run_rad = DEF_RAD_INF;

// A resource split into its items; released with the object.
struct ResItems {
    int argc = 0;
    char **argv = nullptr;
    explicit ResItems(const char *name) { RES_getvals(name, &argc, &argv); }
    ~ResItems() { free_parsed_array(argc, argv); }
    ResItems(const ResItems &) = delete;
    ResItems &operator=(const ResItems &) = delete;
};

// The plain decimal number at the start of a text (leading blanks skipped);
// 0 when it has none.
double lead_number(const char *text) {
    while (*text == ' ' || *text == '\t')
        ++text;
    double v = 0.0;
    scan_decimal(text, &v);
    return v;
}

// A number kept inside the float range.
float to_float(double v) {
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    return float(v);
}

// A number truncated to an integer inside the int range.
int to_int(double v) {
    v = std::trunc(v);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

// "miss=value": the value follows the four letters and one separator; a bare
// "miss" gives 0.
void decode_miss(const char *word) {
    miss_val = std::strlen(word) > 5 ? to_float(lead_number(word + 5)) : 0.0f;
}

// "gridxN": the grid is refined N times each way; a bare "gridx" keeps the
// factor given before. A factor below 1 means no refinement (taken as it is,
// it would shrink the radius to nothing).
void decode_gridx(const char *word) {
    if (std::strlen(word) <= 5) return;
    const int factor = to_int(lead_number(word + 5));
    grid_factor = factor >= 1 ? factor : 1;
}

// ---- The analysis ----------------------------------------------------------

// The grid walked by every field: the first grid's size and spacing.
struct Geometry {
    int nx;
    int ny;
    float dx;
    float dy;
    float r2max;    // squared radius of influence, plane units
    double reach_i; // grid lengths across and down beyond which no point is inside the radius
    double reach_j;
    std::size_t points() const { return std::size_t(nx) * std::size_t(ny); }
};

// Weighted sums of one field over the grid: the weighted values, the
// weights and (when a least station count above 1 asks for them) the number
// of stations of every grid point.
struct Sums {
    double *sum;
    double *wsum;
    int *count; // null when not kept
    // The weighted mean at point p into *mean; false when too few stations
    // reach p. The sums of p are cleared for the next pass.
    bool take_mean(std::size_t p, double *mean) {
        const bool enough = wsum[p] != 0.0 && (count == nullptr || count[p] >= min_sta);
        if (enough) *mean = sum[p] / wsum[p];
        sum[p] = 0.0;
        wsum[p] = 0.0;
        if (count != nullptr) count[p] = 0;
        return enough;
    }
};

// Storage of the sums of all fields, zero whenever no pass is running: every
// pass clears what it reads. The storage of an analysis up to KEEP_BYTES is
// kept for the next one, which then finds it cleared and paged in.
struct SumStore {
    std::vector<double> sum;
    std::vector<double> wsum;
    std::vector<int> count;
};
constexpr std::size_t KEEP_BYTES = std::size_t(16) << 20;
SumStore kept_sums;

// Sums for `fields` fields of `points` points each, with station counts when
// asked for, in the kept storage or, for a large analysis, in `own`.
// Throws std::bad_alloc.
std::vector<Sums> make_sums(std::size_t fields, std::size_t points, bool counts, SumStore &own) {
    const std::size_t per_point = 2 * sizeof(double) + (counts ? sizeof(int) : 0);
    if (fields != 0 && points > SIZE_MAX / per_point / fields) throw std::bad_alloc();
    const std::size_t n = fields * points;
    SumStore &store = n * per_point <= KEEP_BYTES ? kept_sums : own;
    if (store.sum.size() < n) store.sum.resize(n);
    if (store.wsum.size() < n) store.wsum.resize(n);
    if (counts && store.count.size() < n) store.count.resize(n);
    std::vector<Sums> sums;
    for (std::size_t f = 0; f < fields; ++f)
        sums.push_back({store.sum.data() + f * points, store.wsum.data() + f * points,
                        counts ? store.count.data() + f * points : nullptr});
    return sums;
}

// A station and the columns and rows its radius reaches.
struct Reach {
    int s;
    int i0, i1, j0, j1;
};

// The first and last index of the columns (or rows) a station at grid
// coordinate g can reach; false when it reaches none of [0, n-1] or its
// coordinate is not a finite number.
bool reach_range(float g, double reach, int n, int *first, int *last) {
    if (!std::isfinite(g)) return false;
    if (!(reach < 1e9)) { // an unbounded radius reaches the whole grid
        *first = 0;
        *last = n - 1;
        return true;
    }
    const double lo = double(g) - reach, hi = double(g) + reach;
    if (hi < 0.0 || lo > double(n - 1)) return false;
    *first = lo <= 0.0 ? 0 : int(lo) + (double(int(lo)) < lo ? 1 : 0);
    *last = hi >= double(n - 1) ? n - 1 : int(hi);
    return *first <= *last;
}

// The grid line of k0..k1 nearest a station at grid coordinate g, and the
// station's plane distance d (g - m) from it (d the grid length).
struct Nearest {
    int m;
    double t;
};
Nearest nearest_line(float g, float d, int k0, int k1) {
    const double gd = g;
    const int m = gd <= k0 ? k0 : gd >= k1 ? k1 : int(gd + 0.5);
    return {m, double(d) * (gd - m)};
}

// Gaussian weights exp(-(d (g - k))^2 / filter) of the grid lines k = k0..k1
// for a station at distance n.t from its nearest line n.m, scaled so that
// line n.m weighs `peak`. From n.m outwards each weight is the one before
// times a ratio, and each ratio the one before times the constant `shrink` =
// exp(-2 d^2 / filter); the first ratios on the two sides multiply to
// `shrink` too. Every factor is at most 1, so a sharp filter lets the weights
// fall to 0 and never overflows. scale is -1 / filter.
void axis_weights(Nearest n, float d, int k0, int k1, double scale, double shrink, double peak, double *w) {
    const double dd = d;
    w[n.m] = peak;
    const double up = std::exp((dd * dd - 2.0 * n.t * dd) * scale);
    double q = up;
    for (int k = n.m + 1; k <= k1; ++k) {
        w[k] = w[k - 1] * q;
        q *= shrink;
    }
    q = up > 1e-150 ? shrink / up : std::exp((dd * dd + 2.0 * n.t * dd) * scale);
    for (int k = n.m - 1; k >= k0; --k) {
        w[k] = w[k + 1] * q;
        q *= shrink;
    }
}

// The stations that reach the grid with their reach, taken row band by row
// band (by the grid row they lie in, the rows beyond the edges with the edge
// rows) and in ascending order within a band, so that consecutive stations
// add to the same few rows of sums.
std::vector<Reach> station_order(const Geometry &geo, const float *gx, const float *gy, int numdata) {
    std::vector<int> band(std::size_t(numdata), -1);
    std::vector<int> start(std::size_t(geo.ny) + 1, 0);
    Reach r{};
    for (int s = 0; s < numdata; ++s) {
        if (!reach_range(gx[s], geo.reach_i, geo.nx, &r.i0, &r.i1) ||
            !reach_range(gy[s], geo.reach_j, geo.ny, &r.j0, &r.j1))
            continue;
        const float g = gy[s];
        band[std::size_t(s)] = g <= 0.0f ? 0 : g >= float(geo.ny - 1) ? geo.ny - 1 : int(g);
        ++start[std::size_t(band[std::size_t(s)]) + 1];
    }
    for (int j = 0; j < geo.ny; ++j)
        start[std::size_t(j) + 1] += start[std::size_t(j)];
    const auto reaching = std::size_t(start[std::size_t(geo.ny)]);
    std::vector<Reach> order(reaching);
    for (int s = 0; s < numdata; ++s) {
        if (band[std::size_t(s)] < 0) continue;
        r.s = s;
        reach_range(gx[s], geo.reach_i, geo.nx, &r.i0, &r.i1);
        reach_range(gy[s], geo.reach_j, geo.ny, &r.j0, &r.j1);
        order[std::size_t(start[std::size_t(band[std::size_t(s)])]++)] = r;
    }
    return order;
}

// Adds the weighted values of the stations of `order` to the sums of the
// grid points within their radius. values[f] is the station array of field
// f; -9999 values are left out. The station counts are kept only when they
// decide (at least two stations asked for): with one, a point has a value
// exactly when its weights add up to more than 0.
//
// Whether a point is inside the radius is decided on the single-precision
// squared distance r2 = (dx (gx - i))^2 + (dy (gy - j))^2; its weight
// exp(-r2 / filter) is the product of the column and row Gaussians.
template <bool COUNT>
void accumulate_sums(const Geometry &geo, const float *gx, const float *gy, const std::vector<Reach> &order,
                     const std::vector<const float *> &values, float filt, std::vector<Sums> &sums) {
    const std::size_t nf = values.size();
    std::vector<Sums *> have(nf);
    std::vector<double> value(nf);
    std::vector<float> tx2(std::size_t(geo.nx));
    std::vector<double> wx(std::size_t(geo.nx)), wy(std::size_t(geo.ny));
    const double scale = -1.0 / double(filt);
    const double shrink_x = std::exp(2.0 * double(geo.dx) * double(geo.dx) * scale);
    const double shrink_y = std::exp(2.0 * double(geo.dy) * double(geo.dy) * scale);
    for (const Reach &r : order) {
        const int s = r.s, i0 = r.i0, i1 = r.i1, j0 = r.j0, j1 = r.j1;
        std::size_t nh = 0;
        for (std::size_t f = 0; f < nf; ++f) {
            const float v = values[f][s];
            if (v == FMISSING) continue;
            have[nh] = &sums[f];
            value[nh++] = v;
        }
        if (nh == 0) continue;
        for (int i = i0; i <= i1; ++i) {
            const float tx = geo.dx * (gx[s] - float(i));
            tx2[std::size_t(i)] = tx * tx;
        }
        // The point nearest the station carries the whole weight of its
        // distance; the column weights are relative to it.
        const Nearest near_x = nearest_line(gx[s], geo.dx, i0, i1);
        const Nearest near_y = nearest_line(gy[s], geo.dy, j0, j1);
        axis_weights(near_x, geo.dx, i0, i1, scale, shrink_x, 1.0, wx.data());
        axis_weights(near_y, geo.dy, j0, j1, scale, shrink_y,
                     std::exp((near_x.t * near_x.t + near_y.t * near_y.t) * scale), wy.data());
        for (int j = j0; j <= j1; ++j) {
            const float ty = geo.dy * (gy[s] - float(j));
            const float ty2 = ty * ty;
            // The points of the row inside the radius: the squared distance
            // falls towards the station's column and rises after it.
            int a = i0, b = i1;
            while (a <= b && tx2[std::size_t(a)] + ty2 > geo.r2max)
                ++a;
            while (b >= a && tx2[std::size_t(b)] + ty2 > geo.r2max)
                --b;
            if (a > b) continue;
            const double wj = wy[std::size_t(j)];
            const std::size_t base = std::size_t(j) * std::size_t(geo.nx);
            for (std::size_t h = 0; h < nh; ++h) {
                double *const sum = have[h]->sum + base;
                double *const wsum = have[h]->wsum + base;
                const double v = value[h];
                for (int i = a; i <= b; ++i) {
                    const double w = wx[std::size_t(i)] * wj;
                    sum[i] += v * w;
                    wsum[i] += w;
                }
                if constexpr (COUNT) {
                    int *const count = have[h]->count + base;
                    for (int i = a; i <= b; ++i)
                        count[i] += 1;
                }
            }
        }
    }
}

void accumulate(const Geometry &geo, const float *gx, const float *gy, const std::vector<Reach> &order,
                const std::vector<const float *> &values, float filt, std::vector<Sums> &sums) {
    if (!sums.empty() && sums[0].count != nullptr)
        accumulate_sums<true>(geo, gx, gy, order, values, filt, sums);
    else
        accumulate_sums<false>(geo, gx, gy, order, values, filt, sums);
}

float store_value(double v) {
    return std::fabs(v) < TINY_VALUE ? 0.0f : float(v);
}

// Pass 1: the weighted mean, -9999 where too few stations reach the point.
void set_means(Sums &acc, float *grid, std::size_t n) {
    for (std::size_t p = 0; p < n; ++p) {
        double mean;
        grid[p] = acc.take_mean(p, &mean) ? store_value(mean) : FMISSING;
    }
}

// Later passes: the weighted mean of the residuals is added. A point that no
// residual reaches (its stations lie outside the grid or beside missing grid
// values) keeps the value it has instead of losing it.
void add_corrections(Sums &acc, float *grid, std::size_t n) {
    for (std::size_t p = 0; p < n; ++p) {
        double mean;
        if (acc.take_mean(p, &mean) && grid[p] != FMISSING) grid[p] = store_value(double(grid[p]) + mean);
    }
}

// Station value minus the grid interpolated bilinearly at (gx, gy); -9999
// when the station is off the grid, has no value or touches a missing grid
// value. A station on the last column or row uses the last cell inside.
float residual(const Geometry &geo, const float *grid, float gx, float gy, float value) {
    if (value == FMISSING) return FMISSING;
    if (!(gx >= 0.0f && gy >= 0.0f && gx <= float(geo.nx - 1) && gy <= float(geo.ny - 1))) return FMISSING;
    int i0 = int(gx);
    int j0 = int(gy);
    if (i0 > geo.nx - 2) i0 = geo.nx > 1 ? geo.nx - 2 : 0;
    if (j0 > geo.ny - 2) j0 = geo.ny > 1 ? geo.ny - 2 : 0;
    const int i1 = geo.nx > 1 ? i0 + 1 : i0;
    const int j1 = geo.ny > 1 ? j0 + 1 : j0;
    const float fx = gx - float(i0);
    const float fy = gy - float(j0);
    const std::size_t nx = std::size_t(geo.nx);
    const float p00 = grid[std::size_t(j0) * nx + std::size_t(i0)];
    const float p10 = grid[std::size_t(j0) * nx + std::size_t(i1)];
    const float p01 = grid[std::size_t(j1) * nx + std::size_t(i0)];
    const float p11 = grid[std::size_t(j1) * nx + std::size_t(i1)];
    if (p00 == FMISSING || p10 == FMISSING || p01 == FMISSING || p11 == FMISSING) return FMISSING;
    return value - (p11 * fx * fy + p00 * (1.0f - fx) * (1.0f - fy) + p10 * fx * (1.0f - fy) +
                    p01 * (1.0f - fx) * fy);
}

// Residuals of every field against its grid, with the RMS error of each.
void compute_residuals(const Geometry &geo, const float *gx, const float *gy, int numdata,
                       const std::vector<int> &fields, const std::vector<const float *> &values,
                       GRD_report *grid, std::vector<std::vector<float>> &resid) {
    for (std::size_t f = 0; f < fields.size(); ++f) {
        const float *g = grid[fields[f]].grid;
        double sq = 0.0;
        int count = 0;
        for (int s = 0; s < numdata; ++s) {
            const float r = residual(geo, g, gx[s], gy[s], values[f][s]);
            resid[f][std::size_t(s)] = r;
            if (r == FMISSING) continue;
            sq += double(r) * double(r);
            ++count;
        }
        if (count == 0)
            MESS_print(M_OUT3, "RMS Error for field %d: no stations\n", fields[f] + 1);
        else
            MESS_print(M_OUT3, "RMS Error for field %d: %f\n", fields[f] + 1, std::sqrt(sq / count));
    }
}

// The first grid's walk; false when its domain has no usable grid.
bool make_geometry(const Domain &d, Geometry *geo) {
    if (d.nx < 1 || d.ny < 1 || !(d.dx > 0.0f) || !(d.dy > 0.0f)) return false;
    geo->nx = d.nx;
    geo->ny = d.ny;
    geo->dx = d.dx;
    geo->dy = d.dy;
    const float r = run_rad * d.dx;
    geo->r2max = r * r;
    // The radius test itself is exact; the reach only has to cover every
    // point it can pass, whatever the rounding of the distances.
    const double reach = std::sqrt(double(geo->r2max)) * (1.0 + 1e-5);
    geo->reach_i = reach / d.dx + 1e-3;
    geo->reach_j = reach / d.dy + 1e-3;
    return true;
}

void print_setup(const GRD_report &first, int numdata) {
    MESS_print(M_OUT4, "Time and date are            = %.*s\n", int(sizeof first.datim), first.datim);
    MESS_print(M_OUT4, "Number of stations           = %4d stats\n", numdata);
    MESS_print(M_OUT4, "Number of passes             = %4d\n", num_pass);
    MESS_print(M_OUT4, "Filter parameter             = %9.4f cm**2\n", filter);
    if (num_pass > 1) MESS_print(M_OUT4, "Convergence parameter        = %9.4f\n", converg);
    MESS_print(M_OUT4, "Radius of influence          = %7.2f grids\n", run_rad);
    MESS_print(M_OUT4, "Minimum stations at gridpt   = %4d stats\n\n", min_sta);
}

// Makes the first grid's domain current, turns the plane positions into its
// grid coordinates, and restores the projection that was current.
void to_grid_coordinates(const Domain &d, float *x, float *y, int numdata) {
    MapScope scope(&d);
    for (int s = 0; s < numdata; ++s)
        MAP_grid_untran(x[s], y[s], &x[s], &y[s]);
}

} // namespace

int OBJ_initialize() {
    filter = DEF_FILTER;
    rad_inf = DEF_RAD_INF;
    run_rad = DEF_RAD_INF;
    num_pass = DEF_NUM_PASS;
    converg = DEF_CONVERG;
    miss_val = FMISSING;
    min_sta = DEF_MIN_STA;
    return 0;
}

int OBJ_set_filter(float fil) {
    filter = fil;
    return 0;
}

int OBJ_set_rad_inf(float rad) {
    rad_inf = rad;
    run_rad = rad;
    return 0;
}

int OBJ_set_num_pass(int pass) {
    num_pass = pass;
    return 0;
}

int OBJ_set_converg(float conv) {
    converg = conv;
    return 0;
}

int OBJ_set_min_sta(int min) {
    min_sta = min;
    return 0;
}

int OBJ_set_miss_val(float val) {
    miss_val = val;
    return 0;
}

int OBJ_decode_params() {
    run_rad = rad_inf;
    bool refine = false;
    {
        ResItems words("plot_param");
        for (int k = 0; k < words.argc; ++k) {
            const char *w = words.argv[k];
            if (strnicmp(w, "miss", 4) == 0) {
                decode_miss(w);
            } else if (strnicmp(w, "gridx", 5) == 0) {
                decode_gridx(w);
                refine = true;
            }
        }
    }
    if (refine) run_rad = rad_inf * float(grid_factor);

    ResItems items("object_param");
    const int n = items.argc;
    if (n == 0) return 0;
    const char *const *item = items.argv;
    if (item[0][0] != '\0') filter = to_float(lead_number(item[0]));
    if (!(filter > 0.0f)) filter = DEF_FILTER;
    if (n > 1 && item[1][0] != '\0') {
        rad_inf = to_float(lead_number(item[1]));
        if (!(rad_inf > 0.0f)) rad_inf = DEF_RAD_INF;
        run_rad = rad_inf;
    }
    if (n > 2) {
        num_pass = to_int(lead_number(item[2]));
        if (num_pass > MAX_NUM_PASS || num_pass <= 0) num_pass = DEF_NUM_PASS;
    }
    if (n > 3) {
        converg = to_float(lead_number(item[3]));
        if (converg < 0.01f || converg >= 1.0f) converg = DEF_CONVERG;
    }
    if (n > 4) {
        min_sta = to_int(lead_number(item[4]));
        if (min_sta <= 0) min_sta = DEF_MIN_STA;
    }
    return 0;
}

int OBJ_decode_format(const char *fmt) {
    int argc = 0;
    char **argv = nullptr;
    parse_string(fmt, ':', &argc, &argv);
    for (int k = 0; k < argc; ++k)
        if (strnicmp(argv[k], "miss", 4) == 0) decode_miss(argv[k]);
    free_parsed_array(argc, argv);
    return 0;
}

int OBJ_analyze(float *x, float *y, float **z, int numdata, int num_fields, GRD_report *grid) {
    if (z == nullptr || grid == nullptr || num_fields <= 0) return -1;
    bool any = false;
    for (int k = 0; k < num_fields; ++k)
        any = any || z[k] != nullptr;
    if (!any) return -1;
    if (numdata < 0) numdata = 0;
    if (numdata > 0 && (x == nullptr || y == nullptr)) return -1;

    OBJ_decode_params();

    Geometry geo{};
    if (!make_geometry(grid[0].domain, &geo)) {
        MESS_print(M_WARN, "OBJ_analyze: Invalid grid domain\n");
        return -1;
    }
    // The fields analysed: those with data whose grid has the walked size.
    std::vector<int> fields;
    for (int k = 0; k < num_fields; ++k) {
        if (z[k] == nullptr) continue;
        const Domain &d = grid[k].domain;
        if (grid[k].grid == nullptr || d.nx != geo.nx || d.ny != geo.ny) {
            MESS_print(M_WARN, "OBJ_analyze: Grid %d does not match the first grid\n", k + 1);
            continue;
        }
        fields.push_back(k);
    }
    if (fields.empty()) return -1;

    MESS_print(M_MESS, "Fitting to grid...\n");
    for (int k : fields)
        MESS_print(M_MESS, "   Data field [%d] = %.*s\n", k + 1, int(sizeof grid[k].info), grid[k].info);
    print_setup(grid[0], numdata);

    to_grid_coordinates(grid[0].domain, x, y, numdata);

    SumStore own_sums;
    std::vector<Sums> sums;
    std::vector<Reach> order;
    std::vector<std::vector<float>> resid;
    try {
        sums = make_sums(fields.size(), geo.points(), min_sta > 1, own_sums);
        order = station_order(geo, x, y, numdata);
    } catch (const std::bad_alloc &) {
        MESS_print(M_WARN, "OBJ_analyze: No memory for the analysis\n");
        return -1;
    }

    std::vector<const float *> values;
    for (int k : fields) {
        GRD_report &g = grid[k];
        g.type = 2;
        g.source = 1;
        g.version = 1;
        g.model = 1;
        values.push_back(z[k]);
        if (miss_val != FMISSING) {
            for (int s = 0; s < numdata; ++s)
                if (z[k][s] == FMISSING) z[k][s] = miss_val;
        }
    }

    // Each analysis starts from the filter as set; later passes sharpen a
    // copy. A filter that is not positive has no Gaussian: the default
    // serves, and a convergence that would bring it there is not applied.
    float filt = filter > 0.0f && std::isfinite(filter) ? filter : DEF_FILTER;
    MESS_print(M_OUT3, "Pass: %d...\n", 1);
    accumulate(geo, x, y, order, values, filt, sums);
    for (std::size_t f = 0; f < fields.size(); ++f)
        set_means(sums[f], grid[fields[f]].grid, geo.points());

    // The residuals serve the later passes and the RMS report.
    if (num_pass <= 1 && !MESS_check(M_OUT3)) return 0;

    try {
        resid.assign(fields.size(), std::vector<float>(std::size_t(numdata)));
    } catch (const std::bad_alloc &) {
        MESS_print(M_WARN, "OBJ_analyze: No memory for residual data\n");
        return -1;
    }
    MESS_print(M_MESS, "Computing residuals...\n");
    compute_residuals(geo, x, y, numdata, fields, values, grid, resid);

    std::vector<const float *> res_values;
    for (const std::vector<float> &r : resid)
        res_values.push_back(r.data());
    for (int pass = 2; pass <= num_pass; ++pass) {
        MESS_print(M_OUT3, "Pass: %d...\n", pass);
        if (filt * converg > 0.0f) filt *= converg;
        accumulate(geo, x, y, order, res_values, filt, sums);
        for (std::size_t f = 0; f < fields.size(); ++f)
            add_corrections(sums[f], grid[fields[f]].grid, geo.points());
        compute_residuals(geo, x, y, numdata, fields, values, grid, resid);
    }
    return 0;
}
