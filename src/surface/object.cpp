// Barnes objective analysis: station values become grid values by Gaussian-
// weighted means (pass 1) and weighted corrections from the stations'
// residuals (later passes, each with a sharper filter). File-static state: the
// analysis parameters and the radius decoded for the analysis in progress.
#include "surface/object.h"

#include <cfloat>
#include <climits>
#include <cmath>
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
    double reach_i; // columns and rows beyond which no grid point is inside the radius
    double reach_j;
    std::size_t points() const { return std::size_t(nx) * std::size_t(ny); }
};

// Weighted sums of one field over the grid.
struct Sums {
    std::vector<double> sum;
    std::vector<double> wsum;
    std::vector<int> count;
    explicit Sums(std::size_t n) : sum(n), wsum(n), count(n) {}
    void clear() {
        std::fill(sum.begin(), sum.end(), 0.0);
        std::fill(wsum.begin(), wsum.end(), 0.0);
        std::fill(count.begin(), count.end(), 0);
    }
};

// The first and last index of the columns (or rows) a station at grid
// coordinate g can reach; first > last when none is inside [0, n-1].
void reach_range(double g, double reach, int n, int *first, int *last) {
    double lo = std::floor(g - reach);
    double hi = std::ceil(g + reach);
    if (!(reach < 1e9)) { // an unbounded radius reaches the whole grid
        lo = 0.0;
        hi = n - 1;
    }
    *first = lo < 0.0 ? 0 : lo > n ? n : int(lo);
    *last = hi > n - 1 ? n - 1 : hi < -1.0 ? -1 : int(hi);
}

// Adds every station's weighted values to the sums of the grid points within
// its radius. Stations are taken in ascending order, so each grid point sums
// its stations in that order. values[f] is the station array of field f;
// -9999 values are left out.
void accumulate(const Geometry &geo, const float *gx, const float *gy, int numdata,
                const std::vector<const float *> &values, float filt, std::vector<Sums> &sums) {
    for (Sums &s : sums)
        s.clear();
    const std::size_t nf = values.size();
    std::vector<std::size_t> have;
    std::vector<double> value;
    have.reserve(nf);
    value.reserve(nf);
    for (int s = 0; s < numdata; ++s) {
        if (!std::isfinite(gx[s]) || !std::isfinite(gy[s])) continue;
        have.clear();
        value.clear();
        for (std::size_t f = 0; f < nf; ++f) {
            if (values[f][s] == FMISSING) continue;
            have.push_back(f);
            value.push_back(values[f][s]);
        }
        if (have.empty()) continue;
        int i0, i1, j0, j1;
        reach_range(gx[s], geo.reach_i, geo.nx, &i0, &i1);
        reach_range(gy[s], geo.reach_j, geo.ny, &j0, &j1);
        for (int j = j0; j <= j1; ++j) {
            const float ty = geo.dy * (gy[s] - float(j));
            const float ty2 = ty * ty;
            const std::size_t row = std::size_t(j) * std::size_t(geo.nx);
            for (int i = i0; i <= i1; ++i) {
                const float tx = geo.dx * (gx[s] - float(i));
                const float r2 = tx * tx + ty2;
                if (r2 > geo.r2max) continue;
                const double w = std::exp(double(-r2 / filt));
                const std::size_t p = row + std::size_t(i);
                for (std::size_t h = 0; h < have.size(); ++h) {
                    Sums &acc = sums[have[h]];
                    acc.sum[p] += value[h] * w;
                    acc.wsum[p] += w;
                    acc.count[p] += 1;
                }
            }
        }
    }
}

float store_value(double v) {
    return std::fabs(v) < TINY_VALUE ? 0.0f : float(v);
}

// Pass 1: the weighted mean, -9999 where too few stations reach the point.
void set_means(const Sums &acc, float *grid, std::size_t n) {
    for (std::size_t p = 0; p < n; ++p) {
        if (acc.wsum[p] == 0.0 || acc.count[p] < min_sta)
            grid[p] = FMISSING;
        else
            grid[p] = store_value(acc.sum[p] / acc.wsum[p]);
    }
}

// Later passes: the weighted mean of the residuals is added. A point that no
// residual reaches (its stations lie outside the grid or beside missing grid
// values) keeps the value it has instead of losing it.
void add_corrections(const Sums &acc, float *grid, std::size_t n) {
    for (std::size_t p = 0; p < n; ++p) {
        if (grid[p] == FMISSING || acc.wsum[p] == 0.0 || acc.count[p] < min_sta) continue;
        grid[p] = store_value(double(grid[p]) + acc.sum[p] / acc.wsum[p]);
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
    // One grid length of margin: the radius test itself is exact.
    const double reach = std::sqrt(double(geo->r2max));
    geo->reach_i = reach / d.dx + 1.0;
    geo->reach_j = reach / d.dy + 1.0;
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
    Domain saved;
    MAP_get_domain(&saved);
    MAP_domain(&d);
    for (int s = 0; s < numdata; ++s)
        MAP_grid_untran(x[s], y[s], &x[s], &y[s]);
    MAP_domain(&saved);
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

    std::vector<Sums> sums;
    std::vector<std::vector<float>> resid;
    try {
        sums.reserve(fields.size());
        for (std::size_t f = 0; f < fields.size(); ++f)
            sums.emplace_back(geo.points());
    } catch (const std::bad_alloc &) {
        MESS_print(M_WARN, "OBJ_analyze: No memory for grid sums\n");
        return -1;
    }

    to_grid_coordinates(grid[0].domain, x, y, numdata);

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

    // Each analysis starts from the filter as set; later passes sharpen a copy.
    float filt = filter;
    MESS_print(M_OUT3, "Pass: %d...\n", 1);
    accumulate(geo, x, y, numdata, values, filt, sums);
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
        filt *= converg;
        accumulate(geo, x, y, numdata, res_values, filt, sums);
        for (std::size_t f = 0; f < fields.size(); ++f)
            add_corrections(sums[f], grid[fields[f]].grid, geo.points());
        compute_residuals(geo, x, y, numdata, fields, values, grid, resid);
    }
    return 0;
}
