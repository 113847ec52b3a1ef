// The grid calculator: evaluation of the function variables of the variable
// list, the operand list, the frame every function shares, and the
// arithmetic, statistical, smoothing, coordinate and elementary functions.
// No file-static state.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fields/calc.h"
#include "fields/calc_int.h"
#include "fields/grd_tool.h"
#include "fields/var_tool.h"
#include "runtime/date.h"
#include "runtime/mess.h"
#include "runtime/unittool.h"

using calc_int::Call;
using calc_int::grids_only;
using calc_int::Handler;
using calc_int::points;
using calc_int::store;

namespace {

// Operands that GRD_find_param_grids takes when the caller sets no limit.
constexpr int kAllOperands = 1000;

int flag_kind(int ind) {
    return VAR_get_flag(ind) % 10;
}

// Kinds that take part in a function's argument list: plain, group or
// vector member, function header, sub-function, and the companions.
bool operand_kind(int kind) {
    return kind == 0 || kind == 1 || kind == 2 || kind == 3 || kind == 8 || kind == 9;
}

bool has_data(const GRD_report *g) {
    return g != nullptr && g->source != 0 && g->grid != nullptr && g->domain.nx > 0 && g->domain.ny > 0;
}

bool positive_size(const Domain &d) {
    return d.nx > 0 && d.ny > 0;
}

bool same_size(const Domain &a, const Domain &b) {
    return a.nx == b.nx && a.ny == b.ny;
}

// Operands of the header of depth level - 1 from entry start: at most limit
// of them into grds (and literal numbers into values), then a null end.
// Returns the index of the last operand taken when the limit was reached,
// else the first entry after the operands.
int gather_operands(int start, int limit, int level, GRD_report **grds, float *values) {
    const int n = std::min(VAR_get_num(), VAR_MAX);
    int j = 0;
    int k = std::max(start, 0);
    for (; k < n && j < limit; ++k) {
        const int flag = VAR_get_flag(k);
        if (j > 0 && flag < level * 10) break;
        if (flag < 0 || flag / 10 != level || !operand_kind(flag % 10)) continue;
        const VAR_data *var = VAR_get_var(k);
        if (var->type == 40 && values != nullptr) {
            values[j] = static_cast<float>(std::strtod(var->name + (var->name[0] == '#' ? 1 : 0), nullptr));
            grds[j] = nullptr;
        } else {
            grds[j] = GRD_get_grid(k);
            if (k > 0 && flag_kind(k - 1) == 6) grds[j]->var = GRD_get_grid(k - 1)->var;
        }
        if (++j == limit) break;
    }
    grds[j] = nullptr;
    return k;
}

// A copy of a units text, for texts that may be overwritten while in use.
struct TextCopy {
    char text[sizeof(GRD_report::units)];
    explicit TextCopy(const char *s) { std::snprintf(text, sizeof text, "%s", s != nullptr ? s : ""); }
};

// ---- Arithmetic and elementary functions -------------------------------------

// The values of operands 1..n at one point.
struct PointValues {
    std::array<float, GRD_MATH_LIST> v{};
    int n = 0;
    float operator[](int i) const { return v[std::size_t(i)]; }
};

// Walks the result's points reading operands 1..n: a grid's value there, or
// its literal number. f gives the value to store.
template <typename F> void walk(float **ptr, const float *values, int nx, int ny, int n, F f) {
    const std::size_t total = points(nx, ny);
    PointValues pv;
    pv.n = n;
    float *out = ptr[0];
    for (std::size_t k = 0; k < total; ++k) {
        for (int i = 1; i <= n; ++i)
            pv.v[std::size_t(i)] = ptr[i] != nullptr ? ptr[i][k] : values[i];
        out[k] = f(pv);
    }
}

// Functions of a fixed number of operands whose value at a point is missing
// when any operand is missing there.
template <int N, typename F> bool fixed(const Call &c, const char *units, F f) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!calc_int::setup(c, ptr, &nx, &ny, N, units)) return false;
    walk(ptr, c.values, nx, ny, N, [&](const PointValues &p) {
        for (int i = 1; i <= N; ++i)
            if (is_missing(p[i])) return FMISSING;
        return f(p);
    });
    return true;
}

// The first operand's units, for the functions that label their result
// with them; null when the first operand is a literal.
const char *first_units(const Call &c) {
    return c.grids[1] != nullptr ? c.grids[1]->units : nullptr;
}

bool f_copy(const Call &c) {
    return fixed<1>(c, nullptr, [](const PointValues &p) { return p[1]; });
}

bool f_add(const Call &c) {
    return fixed<2>(c, nullptr, [](const PointValues &p) { return p[1] + p[2]; });
}

bool f_sub(const Call &c) {
    const TextCopy units(first_units(c));
    return fixed<2>(c, c.grids[1] != nullptr ? units.text : nullptr,
                    [](const PointValues &p) { return p[1] - p[2]; });
}

bool f_mul(const Call &c) {
    return fixed<2>(c, nullptr, [](const PointValues &p) { return p[1] * p[2]; });
}

bool f_div(const Call &c) {
    return fixed<2>(c, nullptr, [](const PointValues &p) { return store(double(p[1] / p[2])); });
}

bool f_mod(const Call &c) {
    return fixed<2>(c, nullptr,
                    [](const PointValues &p) { return store(std::fmod(double(p[1]), double(p[2]))); });
}

bool f_interp(const Call &c) {
    const TextCopy units(first_units(c));
    return fixed<3>(c, c.grids[1] != nullptr ? units.text : nullptr,
                    [](const PointValues &p) { return p[1] + (p[3] - p[1]) * p[2]; });
}

bool f_sqrt(const Call &c) {
    return fixed<1>(c, nullptr, [](const PointValues &p) { return store(std::sqrt(double(p[1]))); });
}

bool f_pow(const Call &c) {
    return fixed<2>(c, nullptr,
                    [](const PointValues &p) { return store(std::pow(double(p[1]), double(p[2]))); });
}

bool f_exp(const Call &c) {
    return fixed<1>(c, nullptr, [](const PointValues &p) { return store(std::exp(double(p[1]))); });
}

bool f_abs(const Call &c) {
    return fixed<1>(c, nullptr, [](const PointValues &p) { return std::fabs(p[1]); });
}

// log and log10: values <= 0 (missing among them) give -9999.
template <double (*Fn)(double)> bool f_logarithm(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!calc_int::setup(c, ptr, &nx, &ny, 1, nullptr)) return false;
    walk(ptr, c.values, nx, ny, 1,
         [](const PointValues &p) { return p[1] <= 0.0f ? FMISSING : store(Fn(p[1])); });
    return true;
}

double ln(double x) {
    return std::log(x);
}
double lg(double x) {
    return std::log10(x);
}

// Trigonometric functions of an angle in degrees.
template <double (*Fn)(double)> bool f_trig(const Call &c) {
    return fixed<1>(c, nullptr, [](const PointValues &p) { return store(Fn(double(p[1]) * DEG_TO_RAD)); });
}

// Inverse trigonometric functions with a result in degrees.
template <double (*Fn)(double)> bool f_arc(const Call &c) {
    return fixed<1>(c, nullptr, [](const PointValues &p) { return store(Fn(double(p[1])) * RAD_TO_DEG); });
}

double sin_(double x) {
    return std::sin(x);
}
double cos_(double x) {
    return std::cos(x);
}
double tan_(double x) {
    return std::tan(x);
}
double asin_(double x) {
    return std::asin(x);
}
double acos_(double x) {
    return std::acos(x);
}
double atan_(double x) {
    return std::atan(x);
}

bool f_atan2(const Call &c) {
    return fixed<2>(c, nullptr, [](const PointValues &p) {
        return store(std::atan2(double(p[1]), double(p[2])) * RAD_TO_DEG);
    });
}

// Statistics over every operand present.
bool f_maxmin(const Call &c, bool largest) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!calc_int::setup(c, ptr, &nx, &ny, c.nops, nullptr)) return false;
    walk(ptr, c.values, nx, ny, c.nops, [largest](const PointValues &p) {
        float r = FMISSING;
        for (int i = 1; i <= p.n; ++i) {
            const float a = p[i];
            if (is_missing(a)) continue;
            if (is_missing(r) || (largest ? a > r : a < r)) r = a;
        }
        return r;
    });
    return true;
}

bool f_max(const Call &c) {
    return f_maxmin(c, true);
}

bool f_min(const Call &c) {
    return f_maxmin(c, false);
}

bool f_sum(const Call &c) {
    const TextCopy units(first_units(c));
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!calc_int::setup(c, ptr, &nx, &ny, c.nops, c.grids[1] != nullptr ? units.text : nullptr))
        return false;
    walk(ptr, c.values, nx, ny, c.nops, [](const PointValues &p) {
        float s = 0.0f;
        for (int i = 1; i <= p.n; ++i)
            if (!is_missing(p[i])) s += p[i];
        return s;
    });
    return true;
}

bool f_avg(const Call &c) {
    const TextCopy units(first_units(c));
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!calc_int::setup(c, ptr, &nx, &ny, c.nops, c.grids[1] != nullptr ? units.text : nullptr))
        return false;
    walk(ptr, c.values, nx, ny, c.nops, [](const PointValues &p) {
        float s = 0.0f;
        int present = 0;
        for (int i = 1; i <= p.n; ++i)
            if (!is_missing(p[i])) {
                s += p[i];
                ++present;
            }
        if (present != p.n || is_missing(s)) return FMISSING;
        return s / float(p.n);
    });
    return true;
}

// Weighted mean over the 9 x 9 window around each present point, weight
// exp((di² + dj²) / p); missing neighbours take no part in either sum.
bool f_smooth(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (c.nops < 2 || !has_data(c.grids[1]) || c.grids[2] != nullptr) return false;
    const float p = c.values[2];
    if (p == 0.0f || is_missing(p) || !std::isfinite(p)) return false;
    if (!calc_int::setup(c, ptr, &nx, &ny, 2, nullptr)) return false;
    constexpr int kHalf = 4;
    float w[2 * kHalf + 1][2 * kHalf + 1];
    for (int dj = -kHalf; dj <= kHalf; ++dj)
        for (int di = -kHalf; di <= kHalf; ++di) {
            const float e = float(di * di + dj * dj) / p;
            w[dj + kHalf][di + kHalf] = static_cast<float>(std::exp(double(e)));
        }
    const float *in = ptr[1];
    float *out = ptr[0];
    // The result may be written over its own operand: read from a copy then.
    std::vector<float> copy;
    if (in == out) {
        copy.assign(in, in + points(nx, ny));
        in = copy.data();
    }
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            const std::size_t k = std::size_t(y) * nx + x;
            if (is_missing(in[k])) {
                out[k] = FMISSING;
                continue;
            }
            float sum = 0.0f, wsum = 0.0f;
            for (int dj = -kHalf; dj <= kHalf; ++dj) {
                const int yy = y + dj;
                if (yy < 0 || yy >= ny) continue;
                for (int di = -kHalf; di <= kHalf; ++di) {
                    const int xx = x + di;
                    if (xx < 0 || xx >= nx) continue;
                    const float v = in[std::size_t(yy) * nx + xx];
                    if (is_missing(v)) continue;
                    const float wt = w[dj + kHalf][di + kHalf];
                    sum += wt * v;
                    wsum += wt;
                }
            }
            out[k] = store(double(sum / wsum));
        }
    return true;
}

// lat, lon, projx, projy: a copy of the operand whose present values become
// a coordinate of their points.
bool f_locate(const Call &c) {
    float *ptr[GRD_MATH_LIST + 1] = {};
    int nx = 0, ny = 0;
    if (!has_data(c.grids[1])) return false;
    if (!calc_int::setup(c, ptr, &nx, &ny, 1, nullptr)) return false;
    GRD_report *r = c.grids[0];
    const GRD_report *in = c.grids[1];
    if (r != in) {
        float *own = r->grid;
        GRD_copy(r, in);
        r->grid = own;
        std::memmove(own, in->grid, points(nx, ny) * sizeof(float));
    }
    return GRD_point_locate(r, c.name.c_str()) == 0;
}

struct Entry {
    std::string_view name;
    Handler fn;
};

constexpr Entry kArith[] = {
    {"copy", f_copy},         {"smooth", f_smooth},
    {"lat", f_locate},        {"lon", f_locate},
    {"projx", f_locate},      {"projy", f_locate},
    {"max", f_max},           {"min", f_min},
    {"add", f_add},           {"sum", f_sum},
    {"avg", f_avg},           {"interp", f_interp},
    {"sub", f_sub},           {"thick", f_sub},
    {"mul", f_mul},           {"div", f_div},
    {"mod", f_mod},           {"sqrt", f_sqrt},
    {"pow", f_pow},           {"exp", f_exp},
    {"log", f_logarithm<ln>}, {"log10", f_logarithm<lg>},
    {"abs", f_abs},           {"sin", f_trig<sin_>},
    {"cos", f_trig<cos_>},    {"tan", f_trig<tan_>},
    {"asin", f_arc<asin_>},   {"acos", f_arc<acos_>},
    {"atan", f_arc<atan_>},   {"atan2", f_atan2},
};

// Replaces every value of a result that is not a finite number by -9999.
void clean(GRD_report *g) {
    if (g == nullptr || g->grid == nullptr || !positive_size(g->domain)) return;
    const std::size_t n = points(g->domain.nx, g->domain.ny);
    for (std::size_t k = 0; k < n; ++k)
        if (!std::isfinite(g->grid[k])) g->grid[k] = FMISSING;
}

} // namespace

// ---- Shared services of the calculator families -----------------------------------

namespace calc_int {

Handler arith_function(const std::string &name) {
    for (const Entry &e : kArith)
        if (e.name == name) return e.fn;
    return nullptr;
}

bool setup(const Call &c, float **ptr, int *nx, int *ny, int num, const char *units, const char *func) {
    return GRD_math_setup(ptr, nx, ny, num, c.grids, c.values, func != nullptr ? func : c.name.c_str(),
                          c.abbr.c_str(), units) == 1;
}

void set_units(GRD_report *grid, const char *units) {
    const TextCopy copy(units);
    std::snprintf(grid->units, sizeof grid->units, "%s", copy.text);
}

std::string scaled_units(const char *in, float scale, const char *suffix) {
    char out[sizeof(GRD_report::units)];
    UNIT_scale(in != nullptr ? in : "", scale, suffix, out, sizeof out);
    return out;
}

} // namespace calc_int

// ---- Evaluation of the variable list ------------------------------------------------

int GRD_calc_var() {
    const int n = std::min(VAR_get_num(), VAR_MAX);
    int top = 0;
    for (int j = 0; j < n; ++j)
        top = std::max(top, VAR_get_flag(j));
    const int deepest = top / 10;
    for (int depth = deepest - 1; depth >= 0; --depth) {
        for (int j = 0; j < n; ++j) {
            GRD_report *g = GRD_get_grid(j);
            if (g->source != 0 || !VAR_is_calc_GRID(j) || VAR_get_flag(j) / 10 != depth) continue;
            MESS_print(M_DEBUG_C, "GRIDMATH: %d %d %s\n", j, VAR_get_flag(j), VAR_get_name(j));
            if (j + 1 < n) GRD_copy_info(g, GRD_get_grid(j + 1));
            VAR_make_datatype(g->time, g->ltype, g->level, g->var, g->units, g->info, sizeof g->info);

            const int next = j + 1 < n ? VAR_get_flag(j + 1) : -1;
            const bool vect = next == depth * 10 + 8 || next == depth * 10 + 9;

            // 21 pointers and 20 values: the results, the operands and the end.
            GRD_report *grds[GRD_MATH_LIST + 1];
            float values[GRD_MATH_LIST];
            std::fill(std::begin(grds), std::end(grds), nullptr);
            std::fill(std::begin(values), std::end(values), FMISSING);
            grds[0] = g;
            const int first = vect ? 2 : 1;
            if (vect) grds[1] = GRD_get_grid(j + 1);
            // One operand more than the list holds shows a list that is too
            // long; GRD_math refuses a list without its end.
            gather_operands(j + first, GRD_MATH_LIST - first, depth + 1, grds + first, values + first);

            MESS_print(M_MESS, "Performing grid math: %s\n", VAR_get_name(j));
            if (GRD_math(VAR_get_name(j), grds, values) == 0) continue;
            GRD_units(g, VAR_get_units(j));
            DATE_make_label_for_time(g->time, g->model, &g->date, g->datim, sizeof g->datim);
            if (vect) {
                GRD_report *g2 = GRD_get_grid(j + 1);
                GRD_units(g2, VAR_get_units(j));
                DATE_make_label_for_time(g2->time, g2->model, &g2->date, g2->datim, sizeof g2->datim);
                ++j;
            }
        }
    }
    return 1;
}

int GRD_find_param_grids(int start, int num, int level, GRD_report **grds, float *values) {
    if (grds == nullptr) return start;
    const int limit = num < 0 ? kAllOperands : num;
    return gather_operands(start, limit, level, grds, values);
}

// ---- The frame of every function ---------------------------------------------------

int GRD_find_num_data(GRD_report **grids, const float *values) {
    if (grids == nullptr || values == nullptr) return 0;
    for (int i = 0; i + 1 < GRD_MATH_LIST; ++i)
        if (grids[i + 1] == nullptr && values[i + 1] == FMISSING) return i;
    return GRD_MATH_LIST;
}

float GRD_get_math_val(int ind, float **ptr, const float *values) {
    if (ptr[ind] != nullptr) return *ptr[ind];
    return values[ind];
}

int GRD_math_setup(float **ptr, int *nx, int *ny, int num, GRD_report **grids, float *values,
                   const char *func, const char *type, const char *units) {
    if (ptr == nullptr || nx == nullptr || ny == nullptr || grids == nullptr || values == nullptr) return 0;
    if (func == nullptr) func = "";
    GRD_report *r = grids[0];
    const int v = GRD_is_vect_func(func);
    GRD_report *r2 = v ? grids[1] : nullptr;
    if (r == nullptr || (v && r2 == nullptr) || num < 0 || v + num >= GRD_MATH_LIST) return 0;

    // The operands: a grid with data, or a literal number.
    for (int i = v + 1; i <= v + num; ++i) {
        const GRD_report *g = grids[i];
        if (has_data(g)) {
            ptr[i] = g->grid;
            continue;
        }
        ptr[i] = nullptr;
        if (values[i] == FMISSING) return 0;
    }

    // The size of the result: its own array or header, else the first
    // operand's header, which a literal does not have.
    const int head = v + 1;
    const bool head_grid = num > 0 && ptr[head] != nullptr;
    Domain size;
    if (r->grid != nullptr) {
        size = r->domain;
    } else if (positive_size(r->domain) && (head_grid || r->source != 0)) {
        size = r->domain;
    } else if (head_grid) {
        size = grids[head]->domain;
    } else {
        return 0;
    }
    if (!positive_size(size)) return 0;
    // Every grid operand is walked over the result's points.
    for (int i = v + 1; i <= v + num; ++i)
        if (ptr[i] != nullptr && !same_size(grids[i]->domain, size)) return 0;
    if (r2 != nullptr && r2->grid != nullptr && !same_size(r2->domain, size)) return 0;

    if (r->grid == nullptr) {
        if (!positive_size(r->domain)) {
            GRD_copy_info(r, grids[head]);
            if (r2 != nullptr && r2->grid == nullptr) GRD_copy_info(r2, grids[head]);
        }
        if (GRD_alloc(r) == 0) return 0;
    }
    if (r2 != nullptr && r2->grid == nullptr) {
        if (!same_size(r2->domain, size)) GRD_copy_info(r2, r);
        r2->grid = nullptr;
        if (GRD_alloc(r2) == 0) return 0;
    }
    ptr[0] = r->grid;
    if (r2 != nullptr) ptr[1] = r2->grid;
    *nx = size.nx;
    *ny = size.ny;

    const int var = VAR_search_var_num(type != nullptr && type[0] != '\0' ? type : func);
    r->var = var;
    if (r2 != nullptr) r2->var = var;
    if (units != nullptr && units[0] != '\0') {
        const TextCopy u(units);
        calc_int::set_units(r, u.text);
        GRD_make_datatype(r);
        if (r2 != nullptr) {
            calc_int::set_units(r2, u.text);
            GRD_make_datatype(r2);
        }
    }
    return 1;
}

int GRD_math(const char *str, GRD_report **grids, float *values) {
    const std::string_view text(str != nullptr ? str : "");
    const std::size_t dash = text.find('-');
    Call c;
    c.name = std::string(text.substr(0, dash));
    c.abbr = dash == std::string_view::npos ? std::string() : std::string(text.substr(dash + 1));
    if (GRD_is_plot_func(c.name.c_str())) return 1;

    Handler fn = calc_int::arith_function(c.name);
    if (fn == nullptr) fn = calc_int::thermo_function(c.name);
    if (fn == nullptr) fn = calc_int::wind_function(c.name);
    if (fn == nullptr) {
        MESS_print(M_WARN_C, "GRD_math: Math function not available: %s\n", c.name.c_str());
        return 0;
    }
    const int v = GRD_is_vect_func(c.name.c_str());
    const int n = GRD_find_num_data(grids, values);
    c.grids = grids;
    c.values = values;
    c.nops = n - v;
    if (grids == nullptr || values == nullptr || n >= GRD_MATH_LIST || c.nops < 0 || !fn(c)) {
        MESS_print(M_WARN_C, "GRD_math: Invalid grids\n");
        return 0;
    }
    clean(grids[0]);
    if (v) clean(grids[1]);
    return 1;
}
