// The grid calculator: evaluation of the variable list, the operand list and
// the functions of the three families. Results are checked against NumPy
// computations (masked arrays for missing values, np.gradient for first
// derivatives, Bolton's equivalent potential temperature), against the scalar
// formulas for the wiring of the thermodynamic functions, and against the grid
// module's own wind turning.
#include "fields/calc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/reference.h"

namespace {

using zeqtest::TempDir;

constexpr float M = -9999.0f;

void use_data_tables() {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
}

using zeqtest::make_domain;

Domain polar(int nx, int ny, float d) {
    Domain dom = make_domain(1, 60.0f, -100.0f, nx, ny, d, d);
    dom.plat = 90.0f;
    dom.plon = -105.0f;
    return dom;
}

// An operand grid with data; the values belong to the test.
struct Field {
    GRD_report r;
    std::vector<float> v;

    Field(const Domain &d, std::initializer_list<float> values, const char *units = "", int var = 0) {
        init(d, units, var);
        v = values;
        v.resize(std::size_t(d.nx) * d.ny, 0.0f);
        r.grid = v.data();
    }
    template <typename F> Field(const Domain &d, F f, const char *units = "", int var = 0) {
        init(d, units, var);
        v.resize(std::size_t(d.nx) * d.ny);
        for (int j = 0; j < d.ny; ++j)
            for (int i = 0; i < d.nx; ++i)
                v[std::size_t(j) * d.nx + i] = float(f(i, j));
        r.grid = v.data();
    }
    Field(const Field &) = delete;
    Field &operator=(const Field &) = delete;

    void init(const Domain &d, const char *units, int var) {
        std::memset(&r, 0, sizeof r);
        GRD_init(&r);
        r.domain = d;
        r.source = 1;
        r.var = var;
        std::snprintf(r.units, sizeof r.units, "%s", units);
    }
};

// A result record: without a header it takes its operand's; the array the
// calculator gives it is released at the end.
struct Result {
    GRD_report r;
    Result() {
        std::memset(&r, 0, sizeof r);
        GRD_init(&r);
        DOM_init(&r.domain);
    }
    // A result prepared by its caller: header and array of its own.
    explicit Result(const Domain &d) : Result() {
        r.domain = d;
        r.source = 1;
        GRD_alloc(&r);
    }
    ~Result() { std::free(r.grid); }
    Result(const Result &) = delete;
    Result &operator=(const Result &) = delete;
    float operator[](std::size_t k) const { return r.grid[k]; }
};

// Operand list: results, then operands, then the end.
struct List {
    GRD_report *g[GRD_MATH_LIST + 1] = {};
    float v[GRD_MATH_LIST];
    int n = 0;
    List() {
        for (float &x : v)
            x = M;
    }
    List &grid(GRD_report *r) {
        g[n++] = r;
        return *this;
    }
    List &grid(Field &f) { return grid(&f.r); }
    List &grid(Result &res) { return grid(&res.r); }
    List &lit(float x) {
        g[n] = nullptr;
        v[n++] = x;
        return *this;
    }
};

int math(const char *fn, List &l) {
    return GRD_math(fn, l.g, l.v);
}

// ---- NumPy --------------------------------------------------------------------------

// Runs a Python script over `input`; each output line is a name followed by
// numbers.
std::map<std::string, std::vector<double>> python(const std::string &script, const std::string &input) {
    return zeqtest::named_numbers(zeqtest::run_python(script, input, "python3-numpy"));
}

std::string values_text(const float *v, std::size_t n) {
    std::ostringstream s;
    s.precision(17);
    for (std::size_t k = 0; k < n; ++k)
        s << double(v[k]) << ' ';
    s << '\n';
    return s.str();
}

// Missing values must match exactly; others to a relative tolerance.
void expect_values(const std::vector<double> &want, const float *got, std::size_t n, const std::string &what,
                   double rel = 2e-5, double abs = 0.0) {
    zeqtest::expect_grid_values(want, got, n, what, rel, abs);
}

} // namespace

// ---- Evaluation of the variable list --------------------------------------------------

namespace {

const Date kDate = {2024, 1, 5, 5, 5, 12, 0, 0};

// The variable list and grid table as the surface driver leaves them after
// the analysis: entries with their flags, a grid slot prepared for every
// grid variable, and the plain variables analysed.
class VarList : public ::testing::Test {
protected:
    void SetUp() override {
        use_data_tables();
        VAR_init();
        VAR_reset();
        GRD_init_grids();
    }
    void TearDown() override {
        for (int i = 0; i < VAR_MAX; ++i)
            GRD_free(GRD_get_grid(i));
    }

    // Appends an entry on the 850 mb level.
    int entry(const char *name, int flag, int type = 10, const char *units = "") {
        const int i = VAR_get_num();
        VAR_data *d = VAR_get_var(i);
        VAR_data_init(d);
        std::snprintf(d->name, sizeof d->name, "%s", name);
        std::snprintf(d->units, sizeof d->units, "%s", units);
        d->flag = flag;
        d->type = type;
        d->time = 0;
        d->ltype = 100;
        d->level = 850;
        d->var[0] = name[0] == '#' ? -9999 : VAR_search_var_num(name);
        VAR_set_num(i + 1);
        return i;
    }

    // Prepares the slots of the grid variables on dom, as the driver does.
    void prepare(const Domain &dom) {
        for (int i = 0; i < VAR_get_num(); ++i) {
            if (!VAR_is_type_GRID(i)) continue;
            GRD_set_grid_domain(i, &dom);
            GRD_set_var(i);
        }
    }

    // Fills the slot of a plain variable as the analysis does.
    template <typename F> void analyse(int i, const char *units, F f) {
        GRD_report *g = GRD_get_grid(i);
        ASSERT_EQ(GRD_alloc(g), 1);
        for (int j = 0; j < g->domain.ny; ++j)
            for (int k = 0; k < g->domain.nx; ++k)
                g->grid[std::size_t(j) * g->domain.nx + k] = float(f(k, j));
        g->source = 1;
        g->date = kDate;
        std::snprintf(g->units, sizeof g->units, "%s", units);
    }

    void check_nested_list();

    static std::string text(int i) {
        const GRD_report *g = GRD_get_grid(i);
        return values_text(g->grid, std::size_t(g->domain.nx) * g->domain.ny);
    }
};

// Masked-array reference of the list of NestedFunctionsAgainstNumpy.
const char *const kListScript = R"(
import sys
import numpy as np
lines = sys.stdin.read().split('\n')
nx, ny = (int(x) for x in lines[0].split()[:2])
dx, dy = (float(x) for x in lines[0].split()[2:])
def grid(i):
    a = np.array([float(x) for x in lines[i].split()], dtype=np.float32).reshape(ny, nx)
    return np.ma.masked_equal(a, -9999.0)
x, y, h, tc, tdf, x2 = (grid(i) for i in range(1, 7))
out = {}
s = x + y
out['add'] = s
out['sqrt'] = np.ma.sqrt(s)                     # masked where negative
hd = h.filled(np.nan).astype(np.float64)
gx = np.gradient(hd, axis=1) / dx                # per 100 km, x east
gy = -np.gradient(hd, axis=0) / dy               # row 0 north
out['gx'] = gx
out['gy'] = gy
out['mag'] = np.hypot(gx, gy)
t = tc.astype(np.float64) + 273.15
td = (tdf.astype(np.float64) - 32.0) * 5.0 / 9.0 + 273.15
p = 850.0
e = 6.112 * np.ma.exp(17.67 * (td - 273.15) / (td - 273.15 + 243.5))
r = 622.0 * e / (p - e)
tl = 1.0 / (1.0 / (td - 56.0) + np.ma.log(t / td) / 800.0) + 56.0
th = t * (1000.0 / p) ** (0.2854 * (1.0 - 0.28e-3 * r)) * np.ma.exp((3.376 / tl - 0.00254) * r * (1.0 + 0.81e-3 * r))
out['thetae'] = th - 273.15
out['div'] = x2 / np.float32(0.01)
for k, a in out.items():
    a = np.ma.masked_invalid(np.ma.asarray(a))
    print(k, ' '.join(repr(float(v)) for v in a.filled(-9999.0).ravel()))
)";

// The list of sqrt(add(x,y)),mag(grad(hght)),thetae(temp,dewp)[C],div(x2,#0.01)
// on 850 mb: analysed operands, then every function evaluated and compared.
void VarList::check_nested_list() {
    const int sqrt_i = 0, add_i = 1, x_i = 2, y_i = 3, mag_i = 4, grad_i = 5, h_i = 7, te_i = 8, t_i = 9,
              td_i = 10, div_i = 11, x2_i = 12;
    const struct {
        const char *name;
        int flag, type;
    } want[] = {{"sqrt", 2, 11},  {"add", 12, 10},  {"x", 20, 10},    {"y", 20, 10},     {"mag", 2, 11},
                {"grad", 12, 10}, {"grad", 18, 10}, {"hght", 20, 10}, {"thetae", 2, 11}, {"temp", 10, 10},
                {"dewp", 10, 10}, {"div", 2, 11},   {"x2", 10, 10},   {"#0.01", 10, 40}};
    ASSERT_EQ(VAR_get_num(), 14);
    for (int i = 0; i < 14; ++i) {
        EXPECT_STREQ(VAR_get_name(i), want[i].name) << i;
        EXPECT_EQ(VAR_get_flag(i), want[i].flag) << i;
        EXPECT_EQ(VAR_get_type(i), want[i].type) << i;
        if (i != 13) {
            EXPECT_EQ(VAR_get_var(i)->ltype, 100) << i;
            EXPECT_EQ(VAR_get_var(i)->level, 850) << i;
        }
    }
    EXPECT_STREQ(VAR_get_units(te_i), "C");

    const Domain dom = polar(9, 7, 0.8f);
    prepare(dom);
    analyse(x_i, "", [](int i, int j) { return i == 1 && j == 1 ? -9999.0 : 2.0 + std::sin(0.3 * i) * j; });
    analyse(y_i, "", [](int i, int j) { return i == 4 && j == 2 ? -9999.0 : 0.5 * i * j - 3.0; });
    analyse(h_i, "m",
            [](int i, int j) { return 5500.0 + 12.0 * i - 7.0 * j + 0.8 * i * j + 3.0 * std::sin(0.5 * i); });
    analyse(t_i, "C", [](int i, int j) { return i == 2 && j == 3 ? -9999.0 : 10.0 + i - 0.5 * j; });
    analyse(td_i, "F", [](int i, int j) { return i == 6 && j == 0 ? -9999.0 : 40.0 + 0.8 * i - 0.7 * j; });
    analyse(x2_i, "", [](int i, int j) { return i == 0 && j == 6 ? -9999.0 : i - 0.25 * j; });

    std::ostringstream in;
    in << dom.nx << ' ' << dom.ny << ' ' << dom.dx << ' ' << dom.dy << '\n'
       << text(x_i) << text(y_i) << text(h_i) << text(t_i) << text(td_i) << text(x2_i);
    const auto ref = python(kListScript, in.str());
    const std::size_t n = std::size_t(dom.nx) * dom.ny;

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr(); // mag relabels its operands m/s: no such conversion
    EXPECT_EQ(GRD_calc_var(), 1);
    testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    // The nested functions first, then the top level, each in list order.
    EXPECT_EQ(out, "Performing grid math: add\nPerforming grid math: grad\nPerforming grid math: sqrt\n"
                   "Performing grid math: mag\nPerforming grid math: thetae\nPerforming grid math: div\n");

    expect_values(ref.at("add"), GRD_get_grid(add_i)->grid, n, "add");
    expect_values(ref.at("sqrt"), GRD_get_grid(sqrt_i)->grid, n, "sqrt");
    expect_values(ref.at("gx"), GRD_get_grid(grad_i)->grid, n, "grad x", 1e-4);
    expect_values(ref.at("gy"), GRD_get_grid(grad_i + 1)->grid, n, "grad y", 1e-4);
    expect_values(ref.at("mag"), GRD_get_grid(mag_i)->grid, n, "mag", 1e-4);
    expect_values(ref.at("div"), GRD_get_grid(div_i)->grid, n, "div");
    // Bolton's formula is an independent approximation: within 1 K.
    expect_values(ref.at("thetae"), GRD_get_grid(te_i)->grid, n, "thetae", 0.0, 1.0);

    // The operands of thetae were converted in place to K; the result was
    // computed at the level's 850 mb and converted to the entry's units.
    const GRD_report *t = GRD_get_grid(t_i);
    const GRD_report *td = GRD_get_grid(td_i);
    const GRD_report *te = GRD_get_grid(te_i);
    EXPECT_STREQ(t->units, "K");
    EXPECT_STREQ(td->units, "K");
    EXPECT_STREQ(te->units, "C");
    EXPECT_NEAR(t->grid[0], 283.15f, 1e-3);
    for (std::size_t k = 0; k < n; ++k) {
        if (t->grid[k] == M || td->grid[k] == M) {
            EXPECT_EQ(te->grid[k], M) << k;
            continue;
        }
        EXPECT_NEAR(te->grid[k], eq_pot_temp(t->grid[k], td->grid[k], 850.0f) - 273.15f, 1e-3) << k;
    }
    // The result takes the first operand's domain and date and keeps its own
    // level; it gets a date label.
    EXPECT_EQ(te->domain.nx, 9);
    EXPECT_EQ(te->ltype, 100);
    EXPECT_EQ(te->level, 850);
    EXPECT_EQ(te->date.hour, 12);
    EXPECT_NE(std::string(te->datim), "");
    EXPECT_NE(std::string(te->info).find("(C)"), std::string::npos) << te->info;

    // The gradient's label names the operand and the operator.
    EXPECT_NE(std::string(GRD_get_grid(grad_i)->info).find("Geopotential height Gradient"), std::string::npos)
        << GRD_get_grid(grad_i)->info;
    EXPECT_STREQ(GRD_get_grid(mag_i)->units, "m/s");
}

TEST_F(VarList, NestedFunctionsAgainstNumpy) {
    entry("sqrt", 2, 11);
    entry("add", 12);
    entry("x", 20);
    entry("y", 20);
    entry("mag", 2, 11);
    entry("grad", 12);
    entry("grad", 18);
    entry("hght", 20);
    entry("thetae", 2, 11, "C");
    entry("temp", 10);
    entry("dewp", 10);
    entry("div", 2, 11);
    entry("x2", 10);
    entry("#0.01", 10, 40);
    check_nested_list();
}

TEST_F(VarList, ParsedSpecificationsAgainstNumpy) {
    VAR_set_def_type(11); // contour lines, as the surface program sets
    FLAG_set(7, 100);
    FLAG_set(8, 850);
    ASSERT_EQ(VAR_setup(nullptr, "sqrt(add(x,y)),mag(grad(hght)),thetae(temp,dewp)[C],div(x2,#0.01)"), 1);
    check_nested_list();
}

TEST_F(VarList, FilledSlotsAreKeptAndFailuresStayLocal) {
    // add(a,b) read from a grid file; sub(a,c) with c never analysed;
    // mul(sub(a,c),b) then lacks its operand; copy(b) still runs.
    const int add_i = entry("add", 2);
    const int a_i = entry("a", 10);
    const int b_i = entry("b", 10);
    const int mul_i = entry("mul", 2);
    const int sub_i = entry("sub", 12);
    const int a2_i = entry("a", 20);
    const int c_i = entry("c", 20);
    const int b2_i = entry("b", 10);
    const int copy_i = entry("copy", 2);
    const int b3_i = entry("b", 10);
    const Domain dom = polar(3, 2, 1.0f);
    prepare(dom);
    for (int i : {a_i, a2_i})
        analyse(i, "", [](int, int) { return 1.0; });
    for (int i : {b_i, b2_i, b3_i})
        analyse(i, "", [](int k, int) { return 2.0 + k; });
    analyse(add_i, "", [](int, int) { return 42.0; }); // from a grid file
    (void)c_i;

    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_calc_var(), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "GRD_math: Invalid grids\nGRD_math: Invalid grids\n");
    EXPECT_EQ(GRD_get_grid(add_i)->grid[0], 42.0f);
    EXPECT_EQ(GRD_get_grid(sub_i)->grid, nullptr);
    EXPECT_EQ(GRD_get_grid(mul_i)->grid, nullptr);
    ASSERT_NE(GRD_get_grid(copy_i)->grid, nullptr);
    EXPECT_EQ(GRD_get_grid(copy_i)->grid[2], 4.0f);
}

TEST_F(VarList, OperandListLimits) {
    const Domain dom = polar(2, 1, 1.0f);
    // sum of 18 operands fits the list; 19 do not.
    for (int count : {18, 19}) {
        SCOPED_TRACE(count);
        VAR_reset();
        GRD_init_grids();
        const int sum_i = entry("sum", 2);
        std::vector<int> ops;
        for (int k = 0; k < count; ++k)
            ops.push_back(entry("x", 10));
        prepare(dom);
        for (int i : ops)
            analyse(i, "", [](int k, int) { return 1.0 + k; });
        testing::internal::CaptureStderr();
        GRD_calc_var();
        const std::string err = testing::internal::GetCapturedStderr();
        if (count == 18) {
            EXPECT_EQ(err, "");
            ASSERT_NE(GRD_get_grid(sum_i)->grid, nullptr);
            EXPECT_EQ(GRD_get_grid(sum_i)->grid[1], 36.0f);
        } else {
            EXPECT_EQ(err, "GRD_math: Invalid grids\n");
            EXPECT_EQ(GRD_get_grid(sum_i)->grid, nullptr);
        }
        for (int i = 0; i < VAR_MAX; ++i)
            GRD_free(GRD_get_grid(i));
    }
}

TEST_F(VarList, LiteralOperands) {
    // interp(a,#0.25,b); add(#1,a) has no header to take and is refused.
    const int interp_i = entry("interp", 2);
    const int a_i = entry("a", 10);
    entry("#0.25", 10, 40);
    const int b_i = entry("b", 10);
    const int add_i = entry("add", 2);
    entry("#1", 10, 40);
    const int a2_i = entry("a", 10);
    prepare(polar(2, 1, 1.0f));
    analyse(a_i, "K", [](int k, int) { return k == 0 ? 10.0 : -9999.0; });
    analyse(b_i, "", [](int, int) { return 30.0; });
    analyse(a2_i, "", [](int, int) { return 30.0; });
    testing::internal::CaptureStderr();
    GRD_calc_var();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_math: Invalid grids\n");
    const GRD_report *r = GRD_get_grid(interp_i);
    ASSERT_NE(r->grid, nullptr);
    EXPECT_EQ(r->grid[0], 15.0f);
    EXPECT_EQ(r->grid[1], M);
    EXPECT_STREQ(r->units, "K"); // the first operand's units
    EXPECT_EQ(GRD_get_grid(add_i)->grid, nullptr);
}

// ---- Operand gathering ----------------------------------------------------------------

TEST_F(VarList, FindParamGrids) {
    // f(a, g(b, c), #850, d), then e at the top level; vec<u,v> inside h(...).
    entry("f", 2);         // 0
    entry("a", 10);        // 1
    entry("g", 12);        // 2
    entry("b", 20);        // 3
    entry("c", 20);        // 4
    entry("#850", 10, 40); // 5
    entry("d", 10);        // 6
    entry("e", 0);         // 7
    entry("h", 2);         // 8
    entry("vec", 16);      // 9
    entry("u", 11);        // 10
    entry("v", 11);        // 11
    GRD_get_grid(9)->var = 777;
    GRD_get_grid(10)->var = 1;
    GRD_get_grid(11)->var = 2;

    GRD_report *g[8];
    float v[8];
    for (float &x : v)
        x = M;
    EXPECT_EQ(GRD_find_param_grids(1, -1, 1, g, v), 7);
    EXPECT_EQ(g[0], GRD_get_grid(1));
    EXPECT_EQ(g[1], GRD_get_grid(2));
    EXPECT_EQ(g[2], nullptr);
    EXPECT_EQ(v[2], 850.0f);
    EXPECT_EQ(g[3], GRD_get_grid(6));
    EXPECT_EQ(g[4], nullptr);
    EXPECT_EQ(v[4], M);
    EXPECT_EQ(GRD_find_num_data(g, v), 3); // g[0] stands for the result here

    // A limit stops at the last operand taken.
    EXPECT_EQ(GRD_find_param_grids(1, 2, 1, g, v), 2);
    EXPECT_EQ(g[1], GRD_get_grid(2));
    EXPECT_EQ(g[2], nullptr);
    // The arguments of g.
    EXPECT_EQ(GRD_find_param_grids(3, -1, 2, g, v), 5);
    EXPECT_EQ(g[1], GRD_get_grid(4));
    // Without values a literal's slot is an operand like any other.
    EXPECT_EQ(GRD_find_param_grids(5, -1, 1, g, nullptr), 7);
    EXPECT_EQ(g[0], GRD_get_grid(5));
    // The first member of a vector takes the vector's parameter number.
    EXPECT_EQ(GRD_find_param_grids(10, -1, 1, g, v), 12);
    EXPECT_EQ(GRD_get_grid(10)->var, 777);
    EXPECT_EQ(GRD_get_grid(11)->var, 2);
}

TEST(CalcList, NumberOfOperands) {
    Field a(polar(1, 1, 1.0f), {1.0f});
    List three;
    three.grid(&a.r).grid(a).grid(a).grid(a);
    EXPECT_EQ(GRD_find_num_data(three.g, three.v), 3);
    List mixed;
    mixed.grid(&a.r).grid(a).lit(5.0f).grid(a);
    EXPECT_EQ(GRD_find_num_data(mixed.g, mixed.v), 3);
    List full;
    for (int i = 0; i < GRD_MATH_LIST; ++i)
        full.grid(a);
    EXPECT_EQ(GRD_find_num_data(full.g, full.v), GRD_MATH_LIST);

    float *ptr[3] = {nullptr, a.v.data(), nullptr};
    const float values[3] = {M, M, 7.0f};
    EXPECT_EQ(GRD_get_math_val(1, ptr, values), 1.0f);
    EXPECT_EQ(GRD_get_math_val(2, ptr, values), 7.0f);
}

} // namespace

// ---- The frame of every function -------------------------------------------------------

namespace {

TEST(CalcFrame, UnknownAndPlotOnlyFunctions) {
    use_data_tables();
    const Domain d = polar(2, 1, 1.0f);
    Field a(d, {1.0f, 2.0f});
    Result r(d);
    r.r.grid[0] = 7.0f;
    List l;
    l.grid(r).grid(a);
    testing::internal::CaptureStderr();
    EXPECT_EQ(math("foo-temp", l), 0);
    EXPECT_EQ(math("Add", l), 0); // exact case
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "GRD_math: Math function not available: foo\nGRD_math: Math function not available: Add\n");
    for (const char *f : {"wind", "vect", "stream", "strm-wnd"}) {
        List none;
        EXPECT_EQ(GRD_math(f, none.g, none.v), 1) << f;
    }
    EXPECT_EQ(r[0], 7.0f);
}

TEST(CalcFrame, UnusableOperandsLeaveTheResultAlone) {
    use_data_tables();
    const Domain d = polar(2, 1, 1.0f);
    Field a(d, {1.0f, 2.0f});
    Field empty(d, {1.0f, 2.0f});
    empty.r.source = 0; // no data yet
    Field wider(polar(3, 1, 1.0f), {1.0f, 2.0f, 3.0f});
    struct Case {
        const char *what;
        const char *fn;
        std::vector<GRD_report *> grids; // after the result; null: missing
        std::vector<float> values;
    } cases[] = {
        {"operand without data", "add", {&a.r, &empty.r}, {M, M}},
        {"too few operands", "add", {&a.r}, {M}},
        {"missing operand", "interp", {&a.r, nullptr, &a.r}, {M, M, M}},
        {"operand of another size", "add", {&a.r, &wider.r}, {M, M}},
        {"literal to a function of grids", "thetae", {&a.r, nullptr}, {M, 850.0f}},
        {"literal to a wind function", "dot", {&a.r, &a.r, nullptr, &a.r}, {M, M, 3.0f, M}},
        {"grid as smoothing parameter", "smooth", {&a.r, &a.r}, {M, M}},
        {"smoothing parameter 0", "smooth", {&a.r, nullptr}, {M, 0.0f}},
        {"wind chill without V", "wchill", {&a.r, &a.r}, {M, M}},
        {"heat with one operand", "heat", {&a.r}, {M}},
        {"convergence of one grid", "conv", {&a.r}, {M}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Result r(d);
        r.r.grid[0] = r.r.grid[1] = 7.0f;
        std::snprintf(r.r.units, sizeof r.r.units, "kept");
        List l;
        l.grid(r);
        for (std::size_t i = 0; i < c.grids.size(); ++i) {
            if (c.grids[i] != nullptr)
                l.grid(c.grids[i]);
            else
                l.lit(c.values[i]);
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(math(c.fn, l), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_math: Invalid grids\n");
        EXPECT_EQ(r[0], 7.0f);
        EXPECT_EQ(r[1], 7.0f);
        EXPECT_STREQ(r.r.units, "kept");
    }
    // A list without its end is refused.
    Result r(d);
    List full;
    full.grid(r);
    for (int i = 1; i < GRD_MATH_LIST; ++i)
        full.grid(a);
    testing::internal::CaptureStderr();
    EXPECT_EQ(math("max", full), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_math: Invalid grids\n");
}

TEST(CalcFrame, ResultHeaderUnitsAndParameterNumber) {
    use_data_tables();
    const Domain d = polar(2, 1, 1.0f);
    Field a(d, {5.0f, 6.0f}, "K", 11);
    a.r.ltype = 100;
    a.r.level = 500;
    a.r.time = 12;
    Field b(d, {1.0f, 2.0f}, "C");

    // A result without a header takes the first operand's and an array.
    Result fresh;
    List l1;
    l1.grid(fresh).grid(a).grid(b);
    ASSERT_EQ(math("add-thte", l1), 1);
    EXPECT_EQ(fresh.r.domain.nx, 2);
    EXPECT_EQ(fresh.r.source, 1);
    EXPECT_STREQ(fresh.r.units, "K");
    EXPECT_EQ(fresh.r.var, VAR_search_var_num("thte"));
    EXPECT_EQ(fresh.r.ltype, -9999); // its own level, not the operand's
    EXPECT_EQ(fresh[1], 8.0f);

    // "none" keeps the result's units, "first" gives it the first operand's
    // with a rebuilt label.
    Result none(d);
    std::snprintf(none.r.units, sizeof none.r.units, "xx");
    List l2;
    l2.grid(none).grid(a).grid(b);
    ASSERT_EQ(math("add", l2), 1);
    EXPECT_STREQ(none.r.units, "xx");
    EXPECT_EQ(none.r.var, VAR_search_var_num("add"));

    Result first(d);
    std::snprintf(first.r.units, sizeof first.r.units, "xx");
    List l3;
    l3.grid(first).grid(a).grid(b);
    ASSERT_EQ(math("sub-temp", l3), 1);
    EXPECT_STREQ(first.r.units, "K");
    EXPECT_EQ(first.r.var, 11);
    EXPECT_STREQ(first.r.info, "Temperature (K)");
    EXPECT_EQ(first[0], 4.0f);
}

TEST(CalcFrame, ResultWrittenOverAnOperand) {
    use_data_tables();
    // The command forms pass the file read into the result's slot as an
    // operand too: A op literal, literal op B.
    const Domain d = polar(3, 1, 1.0f);
    Field a(d, {1.0f, -9999.0f, 4.0f});
    List l1;
    l1.grid(a).grid(a).lit(5.0f);
    ASSERT_EQ(math("add", l1), 1);
    EXPECT_EQ(a.v, (std::vector<float>{6.0f, M, 9.0f}));
    List l2;
    l2.grid(a).lit(10.0f).grid(a);
    ASSERT_EQ(math("sub", l2), 1);
    EXPECT_EQ(a.v, (std::vector<float>{4.0f, M, 1.0f}));
    List l3;
    l3.grid(a).grid(a).lit(-4.0f);
    ASSERT_EQ(math("smooth", l3), 1);
    EXPECT_EQ(a.v[1], M);
}

// ---- Arithmetic, statistics and elementary functions ------------------------------------

struct Operand {
    bool literal;
    float value;
    std::vector<float> grid;
};
Operand G(std::initializer_list<float> v) {
    return {false, 0.0f, v};
}
Operand L(float x) {
    return {true, x, {}};
}

TEST(CalcArithmetic, PointValues) {
    use_data_tables();
    const float e = float(std::exp(1.0));
    struct Case {
        const char *fn;
        std::vector<Operand> ops;
        std::vector<float> want;
    } cases[] = {
        {"copy", {G({1, M})}, {1, M}},
        {"add", {G({1, M, 3}), L(1)}, {2, M, 4}},
        {"max", {G({M, M, 1, 2}), G({3, M, M, 2}), G({5, M, M, 1})}, {5, M, 1, 2}},
        {"min", {G({M, M, 1, 2}), G({3, M, M, 2}), G({5, M, M, 1})}, {3, M, 1, 1}},
        {"sum", {G({M, 1, 2}), G({M, M, 3})}, {0, 1, 5}},
        {"avg", {G({M, 1, 2, -5000}), G({M, M, 4, -4999})}, {M, M, 3, M}},
        {"avg", {G({1}), L(2), G({6})}, {3}},
        {"interp", {G({10, M, 10}), L(0.25f), G({30, 30, M})}, {15, M, M}},
        {"sub", {G({5, M}), G({7, 1})}, {-2, M}},
        {"thick", {G({5580}), G({1400})}, {4180}},
        {"mul", {G({3, M}), L(-2)}, {-6, M}},
        {"div", {G({1, 0, 6, M}), G({0, 0, 3, 1})}, {M, M, 2, M}},
        {"mod", {G({7.5f, 5, -7.5f, 1}), G({2, 2, 2, 0})}, {1.5f, 1, -1.5f, M}},
        {"sqrt", {G({4, -4, M})}, {2, M, M}},
        {"pow", {G({2, -8, M}), G({10, 0.5f, 2})}, {1024, M, M}},
        {"exp", {G({0, 1, 100, M})}, {1, e, M, M}},
        {"log", {G({0, -5, 1, e, M})}, {M, M, 0, 1, M}},
        {"log10", {G({100, 0})}, {2, M}},
        {"abs", {G({-3, M})}, {3, M}},
        {"sin", {L(30)}, {0.5f}},
        {"cos", {G({60, M})}, {0.5f, M}},
        {"tan", {G({45})}, {1}},
        {"asin", {L(1)}, {90}},
        {"asin", {G({2, -0.5f})}, {M, -30}},
        {"acos", {G({-1.5f, 0})}, {M, 90}},
        {"atan", {G({1, M})}, {45, M}},
        {"atan2", {L(1), L(0)}, {90}},
        {"atan2", {L(0), L(-1)}, {180}},
        {"atan2", {G({1, -1, M}), G({-1, -1, 1})}, {135, -135, M}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fn + std::string(" ") + std::to_string(c.want.size()));
        const Domain d = polar(int(c.want.size()), 1, 1.0f);
        std::vector<std::unique_ptr<Field>> fields;
        // A literal in first place needs a prepared result.
        Result r(d);
        List l;
        l.grid(r);
        for (const Operand &op : c.ops) {
            if (op.literal) {
                l.lit(op.value);
                continue;
            }
            fields.push_back(std::make_unique<Field>(d, std::initializer_list<float>{}));
            fields.back()->v = op.grid;
            fields.back()->r.grid = fields.back()->v.data();
            l.grid(*fields.back());
        }
        ASSERT_EQ(math(c.fn, l), 1);
        for (std::size_t k = 0; k < c.want.size(); ++k) {
            if (c.want[k] == M)
                EXPECT_EQ(r[k], M) << k;
            else
                EXPECT_NEAR(r[k], c.want[k], 2e-6 * (1.0 + std::fabs(c.want[k]))) << k;
        }
    }
}

// Reference of the smoothing: weighted mean over the 9 x 9 window of the
// present values, weights exp((di² + dj²) / p).
const char *const kSmoothScript = R"(
import sys
import numpy as np
lines = sys.stdin.read().split('\n')
nx, ny = (int(x) for x in lines[0].split()[:2])
z = np.array([float(x) for x in lines[1].split()], dtype=np.float32).reshape(ny, nx)
zm = np.ma.masked_equal(z, -9999.0)
for p in (float(x) for x in lines[0].split()[2:]):
    out = np.full((ny, nx), -9999.0)
    for j in range(ny):
        for i in range(nx):
            if zm.mask[j, i]:
                continue
            j0, j1, i0, i1 = max(j - 4, 0), min(j + 5, ny), max(i - 4, 0), min(i + 5, nx)
            dj, di = np.mgrid[j0 - j:j1 - j, i0 - i:i1 - i]
            w = np.exp((np.float32(1) * (di * di + dj * dj)).astype(np.float32) / np.float32(p)).astype(np.float32)
            win = zm[j0:j1, i0:i1]
            out[j, i] = np.ma.sum(w * win) / np.ma.sum(np.ma.masked_array(w, win.mask))
    print('p%g' % p, ' '.join(repr(float(v)) for v in out.ravel()))
)";

TEST(CalcArithmetic, SmoothingAgainstNumpy) {
    use_data_tables();
    const Domain d = polar(13, 11, 1.0f);
    Field z(d, [](int i, int j) {
        if ((i == 6 && j == 5) || (i == 0 && j == 10) || (j == 3 && i > 8)) return -9999.0;
        return 10.0 * std::sin(0.4 * i) + 0.3 * j * j - 0.05 * i * j;
    });
    std::ostringstream in;
    in << d.nx << ' ' << d.ny << " -4 8\n" << values_text(z.v.data(), z.v.size());
    const auto ref = python(kSmoothScript, in.str());
    for (float p : {-4.0f, 8.0f}) {
        Result r;
        List l;
        l.grid(r).grid(z).lit(p);
        ASSERT_EQ(math("smooth", l), 1);
        expect_values(ref.at(p < 0 ? "p-4" : "p8"), r.r.grid, z.v.size(), "smooth", 1e-5);
    }

    // A constant field stays constant, also at the corners.
    Field c(d, [](int, int) { return 3.5; });
    Result r;
    List l;
    l.grid(r).grid(c).lit(-4.0f);
    ASSERT_EQ(math("smooth", l), 1);
    EXPECT_FLOAT_EQ(r[0], 3.5f);
    EXPECT_FLOAT_EQ(r[z.v.size() - 1], 3.5f);
}

TEST(CalcArithmetic, PointCoordinates) {
    use_data_tables();
    const Domain ll = make_domain(2, 40.0f, 179.0f, 3, 5, 2.0f, 2.0f);
    Field t(
        ll, [](int i, int j) { return i == 1 && j == 2 ? -9999.0 : 280.0 + i + j; }, "K", 11);
    const std::vector<float> before = t.v;
    Result lat, lon;
    List l1, l2;
    l1.grid(lat).grid(t);
    l2.grid(lon).grid(t);
    ASSERT_EQ(math("lat", l1), 1);
    ASSERT_EQ(math("lon", l2), 1);
    EXPECT_EQ(t.v, before);
    EXPECT_NE(lat.r.grid, t.r.grid);
    const float rows[] = {44, 42, 40, 38, 36};
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 3; ++i) {
            const std::size_t k = std::size_t(j) * 3 + i;
            if (i == 1 && j == 2) {
                EXPECT_EQ(lat[k], M);
                EXPECT_EQ(lon[k], M);
                continue;
            }
            EXPECT_NEAR(lat[k], rows[j], 1e-4) << k;
            EXPECT_NEAR(lon[k], i == 2 ? -179.0f : 177.0f + 2.0f * i, 1e-4) << k;
        }
    EXPECT_STREQ(lat.r.info, "Latitude (deg)");
    EXPECT_STREQ(lat.r.units, "deg");
    EXPECT_EQ(lat.r.var, 0);
    EXPECT_STREQ(lon.r.info, "Longitude (deg)");
}

} // namespace

// ---- Thermodynamic functions -----------------------------------------------------------

namespace {

struct TOperand {
    const char *abbr;  // parameter of the grid (dewp marks a dew point)
    const char *units; // its units before the call
    std::vector<float> v;
};

// The wiring of the thermodynamic functions: which operand is read as what,
// the pressure each takes, the conversions and the missing points. The
// expected values apply the formulas to the converted inputs.
TEST(CalcThermo, OperandsPressuresAndConversions) {
    use_data_tables();
    const float k20 = 293.15f, k15 = 288.15f, k10 = 283.15f, k5 = 278.15f;
    const float kt = 0.514444f; // m/s per knot
    struct Case {
        const char *what;
        const char *fn;
        int ltype, level; // of the result
        std::vector<TOperand> ops;
        const char *units; // of the result
        std::vector<float> want;
    } cases[] = {
        {"thetae 850 mb, third operand ignored",
         "thetae",
         100,
         850,
         {{"temp", "C", {20, M, 15}}, {"dewp", "C", {10, 5, M}}, {"pres", "mb", {500, 500, 500}}},
         "K",
         {eq_pot_temp(k20, k10, 850), M, M}},
        {"thetae of temp and rhum at the surface",
         "thetae",
         1,
         0,
         {{"temp", "K", {290, 300}}, {"rhum", "%", {50, M}}},
         "K",
         {eq_pot_temp(290, dew_temp(290, 50), 1000), M}},
        {"thetae with a pressure operand",
         "thetae",
         1,
         0,
         {{"temp", "K", {290, 290, 290}}, {"dewp", "K", {280, 280, 280}}, {"pres", "Pa", {85000, M, 90000}}},
         "K",
         {eq_pot_temp(290, 280, 850), M, eq_pot_temp(290, 280, 900)}},
        {"four operands: no pressure operand",
         "thetae",
         1,
         0,
         {{"temp", "K", {290}}, {"dewp", "K", {280}}, {"pres", "mb", {850}}, {"pres", "mb", {850}}},
         "K",
         {eq_pot_temp(290, 280, 1000)}},
        {"wetblb",
         "wetblb",
         100,
         700,
         {{"temp", "K", {280}}, {"dewp", "K", {270}}},
         "K",
         {wet_bulb(280, 270, 700)}},
        {"vtemp",
         "vtemp",
         1,
         0,
         {{"temp", "F", {68, M}}, {"dewp", "F", {50, 50}}},
         "K",
         {virt_temp(k20, k10, 1000), M}},
        {"thetav",
         "thetav",
         100,
         500,
         {{"temp", "K", {260}}, {"rhum", "%", {80}}},
         "K",
         {virt_pot_temp(260, dew_temp(260, 80), 500)}},
        {"theta with a pressure operand",
         "theta",
         1,
         0,
         {{"temp", "K", {280, 280, M}}, {"pres", "mb", {700, M, 700}}},
         "K",
         {pot_temp(280, 700), M, M}},
        {"theta on an isobaric level",
         "theta",
         100,
         500,
         {{"temp", "C", {-20}}, {"pres", "mb", {700}}},
         "K",
         {pot_temp(253.15f, 500)}},
        {"theta without pressure", "theta", 1, 0, {{"temp", "K", {280}}}, "K", {pot_temp(280, 1000)}},
        {"dewp",
         "dewp",
         1,
         0,
         {{"temp", "F", {68, 68}}, {"rhum", "%", {40, M}}},
         "K",
         {dew_temp(k20, 40), M}},
        {"rhum", "rhum", 1, 0, {{"temp", "C", {20}}, {"dewp", "C", {10}}}, "%", {rel_hum(k20, k10)}},
        {"show",
         "show",
         100,
         850,
         {{"temp", "K", {k20, M}}, {"dewp", "K", {k15, k15}}, {"temp", "K", {263.15f, 263.15f}}},
         "dC",
         {263.15f -
              temp_on_satad(
                  thetae_on_satad(lcl_temp(k20, 850, lcl_pres(k20, k15, 850)), lcl_pres(k20, k15, 850)), 500),
          M}},
        {"heat of temp and dewp",
         "heat",
         1,
         0,
         {{"temp", "F", {95, 95}}, {"dewp", "F", {75, M}}},
         "K",
         {heat_index(308.15f, 297.0389f), M}},
        {"heat of temp and rhum",
         "heat",
         1,
         0,
         {{"temp", "K", {305}}, {"rhum", "%", {60}}},
         "K",
         {heat_index(305, dew_temp(305, 60))}},
        {"wchill of temp and speed",
         "wchill",
         1,
         0,
         {{"temp", "C", {-10, -10}}, {"wspd", "kt", {20, M}}},
         "K",
         {wind_chill_temp(263.15f, 20 * kt), M}},
        {"wchill of temp and components",
         "wchill",
         1,
         0,
         {{"temp", "K", {263.15f, 263.15f, 263.15f}}, {"uwnd", "m/s", {6, M, 6}}, {"vwnd", "m/s", {8, 8, M}}},
         "K",
         {wind_chill_temp(263.15f, 10), M, M}},
        {"wchill2 of temp and spd",
         "wchill2",
         1,
         0,
         {{"temp", "K", {263.15f}}, {"spd", "m/s", {10}}},
         "K",
         {wind_chill_temp2(263.15f, 10)}},
        {"vapor of a dew point", "vapor", 1, 0, {{"dewp", "C", {10}}}, "mb", {vapor_pr(k10)}},
        {"vapor of temp and rhum",
         "vapor",
         1,
         0,
         {{"temp", "K", {290, 290}}, {"rhum", "%", {50, M}}},
         "mb",
         {vapor_pr(dew_temp(290, 50)), M}},
        {"vapor of a temperature alone", "vapor", 1, 0, {{"temp", "C", {20}}}, "mb", {vapor_pr(k20)}},
        {"pr_alt", "pr_alt", 1, 0, {{"pres", "Pa", {101325, M}}}, "m", {pres_alt(1013.25f), M}},
        {"mixrat 700 mb",
         "mixrat",
         100,
         700,
         {{"dewp", "K", {270}}, {"pres", "mb", {500}}},
         "gm/kg",
         {mix_ratio(270, 700)}},
        {"mixrat with a pressure operand",
         "mixrat",
         1,
         0,
         {{"dewp", "C", {5, 5}}, {"pres", "mb", {900, M}}},
         "gm/kg",
         {mix_ratio(k5, 900), M}},
        {"shum of temp, rhum and pressure",
         "shum",
         1,
         0,
         {{"temp", "K", {290}}, {"rhum", "%", {50}}, {"pres", "mb", {950}}},
         "gm/kg",
         {spec_hum(dew_temp(290, 50), 950)}},
        {"shum of temp and rhum at 1000 mb",
         "shum",
         1,
         0,
         {{"temp", "K", {290}}, {"rhum", "%", {50}}},
         "gm/kg",
         {spec_hum(dew_temp(290, 50), 1000)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Domain d = polar(int(c.want.size()), 1, 1.0f);
        std::vector<std::unique_ptr<Field>> fields;
        Result r;
        r.r.ltype = c.ltype;
        r.r.level = c.level;
        List l;
        l.grid(r);
        for (const TOperand &op : c.ops) {
            fields.push_back(std::make_unique<Field>(d, std::initializer_list<float>{}, op.units,
                                                     VAR_search_var_num(op.abbr)));
            fields.back()->v = op.v;
            fields.back()->r.grid = fields.back()->v.data();
            l.grid(*fields.back());
        }
        testing::internal::CaptureStderr();
        ASSERT_EQ(math(c.fn, l), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_STREQ(r.r.units, c.units);
        for (std::size_t k = 0; k < c.want.size(); ++k) {
            if (c.want[k] == M)
                EXPECT_EQ(r[k], M) << k;
            else
                EXPECT_NEAR(r[k], c.want[k], 2e-4 * (1.0 + std::fabs(c.want[k]))) << k;
        }
    }
}

TEST(CalcThermo, OperandsConvertedInPlace) {
    use_data_tables();
    const Domain d = polar(2, 1, 1.0f);
    Field t(d, {68.0f, M}, "F", VAR_search_var_num("temp"));
    Field td(d, {10.0f, 0.0f}, "C", VAR_search_var_num("dewp"));
    Field rh(d, {50.0f, 60.0f}, "%", VAR_search_var_num("rhum"));
    Result r1, r2;
    List l1, l2;
    l1.grid(r1).grid(t).grid(td);
    l2.grid(r2).grid(t).grid(rh);
    ASSERT_EQ(math("thetae-thte", l1), 1);
    EXPECT_STREQ(t.r.units, "K");
    EXPECT_NEAR(t.v[0], 293.15f, 1e-3);
    EXPECT_EQ(t.v[1], M);
    EXPECT_STREQ(td.r.units, "K");
    EXPECT_NEAR(td.v[1], 273.15f, 1e-3);
    EXPECT_EQ(r1.r.var, VAR_search_var_num("thte"));
    // A relative humidity is not converted.
    ASSERT_EQ(math("thetae", l2), 1);
    EXPECT_STREQ(rh.r.units, "%");
    EXPECT_EQ(rh.v[0], 50.0f);
}

// ---- Wind, vector and differential functions -------------------------------------------

TEST(CalcWind, PointValues) {
    use_data_tables();
    const float kt = 0.514444f;
    struct Case {
        const char *fn;
        std::vector<TOperand> ops;
        const char *units;
        std::vector<float> want;
    } cases[] = {
        {"wdir",
         {{"uwnd", "m/s", {0, 0, -10, 10, M, 3}}, {"vwnd", "m/s", {0, -10, 0, 0, 1, M}}},
         "deg",
         {0, 0, 90, 270, M, M}},
        {"dir", {{"uwnd", "m/s", {-5, 5}}, {"vwnd", "m/s", {-5, 5}}}, "deg", {45, 225}},
        {"wspd", {{"uwnd", "m/s", {3, M}}, {"vwnd", "m/s", {4, 1}}}, "m/s", {5, M}},
        {"mag", {{"uwnd", "kt", {30}}, {"vwnd", "kt", {40}}}, "m/s", {50 * kt}},
        {"uwnd",
         {{"wdir", "deg", {270, 90, 0, M}}, {"wspd", "m/s", {10, 10, 10, 5}}},
         "m/s",
         {10, -10, 0, M}},
        {"vwnd",
         {{"wdir", "deg", {270, 180, 0, 0}}, {"wspd", "kt", {10, 10, 10, M}}},
         "m/s",
         {0, 10 * kt, -10 * kt, M}},
        {"dot", {{"", "", {1, 1}}, {"", "", {2, 2}}, {"", "", {3, M}}, {"", "", {4, 4}}}, "m/s", {11, M}},
        {"cross", {{"", "", {1, M}}, {"", "", {2, 2}}, {"", "", {3, 3}}, {"", "", {4, 4}}}, "m/s", {-2, M}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fn);
        const Domain d = make_domain(2, 40.0f, -100.0f, int(c.want.size()), 1, 1.0f, 1.0f);
        std::vector<std::unique_ptr<Field>> fields;
        Result r;
        List l;
        l.grid(r);
        for (const TOperand &op : c.ops) {
            fields.push_back(std::make_unique<Field>(d, std::initializer_list<float>{}, op.units,
                                                     VAR_search_var_num(op.abbr)));
            fields.back()->v = op.v;
            fields.back()->r.grid = fields.back()->v.data();
            l.grid(*fields.back());
        }
        ASSERT_EQ(math(c.fn, l), 1);
        EXPECT_STREQ(r.r.units, c.units);
        for (std::size_t k = 0; k < c.want.size(); ++k) {
            if (c.want[k] == M)
                EXPECT_EQ(r[k], M) << k;
            else
                EXPECT_NEAR(r[k], c.want[k], 1e-5 * (1.0 + std::fabs(c.want[k]))) << k;
        }
    }
}

TEST(CalcWind, LabelsAndParameterNumbers) {
    use_data_tables();
    const Domain d = polar(1, 1, 1.0f);
    Field u(d, {3.0f}, "m/s", VAR_search_var_num("uwnd"));
    Field v(d, {4.0f}, "m/s", VAR_search_var_num("vwnd"));
    Result spd, wspd, dir, spd_abbr;
    List l1, l2, l3, l4;
    l1.grid(spd).grid(u).grid(v);
    l2.grid(wspd).grid(u).grid(v);
    l3.grid(dir).grid(u).grid(v);
    l4.grid(spd_abbr).grid(u).grid(v);
    ASSERT_EQ(math("spd", l1), 1);
    ASSERT_EQ(math("wspd", l2), 1);
    ASSERT_EQ(math("dir", l3), 1);
    ASSERT_EQ(math("spd-wspd", l4), 1);
    EXPECT_STREQ(spd.r.info, "U-component of wind Speed (m/s)");
    EXPECT_STREQ(wspd.r.info, "Wind speed (m/s)");
    EXPECT_EQ(dir.r.var, VAR_search_var_num("wdir"));
    EXPECT_STREQ(spd_abbr.r.info, "Wind speed (m/s)");

    Field u2(d, {1.0f}, "m/s"), v2(d, {M}, "m/s");
    Result x, y;
    List l5;
    l5.grid(x).grid(y).grid(u).grid(v).grid(u2).grid(u2);
    ASSERT_EQ(math("vdiff", l5), 1);
    EXPECT_EQ(x[0], 2.0f);
    EXPECT_EQ(y[0], 3.0f);
    EXPECT_STREQ(x.r.info, "U-component of wind Vector Diff (m/s)");
    List l6;
    l6.grid(x).grid(y).grid(u).grid(v).grid(u2).grid(v2);
    ASSERT_EQ(math("vdiff", l6), 1);
    EXPECT_EQ(x[0], M);
    EXPECT_EQ(y[0], M);
}

TEST(CalcWind, GridRelativeComponentsAndDirections) {
    use_data_tables();
    const Domain current = make_domain(3, 0.0f, 0.0f, 10, 10, 1.0f, 1.0f);
    MAP_domain(&current);
    auto dir = [](int i, int j) {
        return i == 3 && j == 1 ? -9999.0 : std::fmod(37.0 * i + 61.0 * j, 360.0);
    };
    auto spd = [](int i, int j) { return 5.0 + i + 0.5 * j; };

    // Latitude-longitude grids have no turning.
    const Domain ll = make_domain(2, 45.0f, -90.0f, 5, 4, 2.0f, 2.0f);
    {
        Field dd(ll, dir, "deg"), ss(ll, spd, "m/s");
        Result ue, ug, de;
        List a, b;
        a.grid(ue).grid(dd).grid(ss);
        b.grid(ug).grid(dd).grid(ss);
        ASSERT_EQ(math("uwnd", a), 1);
        ASSERT_EQ(math("uwndg", b), 1);
        Result ve;
        List c;
        c.grid(ve).grid(dd).grid(ss);
        ASSERT_EQ(math("vwnd", c), 1);
        List e;
        e.grid(de).grid(ue).grid(ve);
        ASSERT_EQ(math("ewdir", e), 1);
        for (std::size_t k = 0; k < dd.v.size(); ++k) {
            EXPECT_NEAR(ug[k], ue[k], 1e-5) << k;
            if (dd.v[k] == M) {
                EXPECT_EQ(de[k], M);
                continue;
            }
            EXPECT_NEAR(std::fmod(de[k] + 360.0f, 360.0f), dd.v[k], 1e-3) << k;
        }
    }

    // Polar stereographic: the same as turning earth-relative components
    // with the grid module, and ewdir turns them back.
    const Domain ps = polar(7, 5, 3.0f);
    Field dd(ps, dir, "deg"), ss(ps, spd, "m/s");
    Result ue, ve, ug, vg, de;
    List a, b, c, e, f;
    a.grid(ue).grid(dd).grid(ss);
    b.grid(ve).grid(dd).grid(ss);
    c.grid(ug).grid(dd).grid(ss);
    e.grid(vg).grid(dd).grid(ss);
    ASSERT_EQ(math("uwnd", a), 1);
    ASSERT_EQ(math("vwnd", b), 1);
    ASSERT_EQ(math("uwndg", c), 1);
    ASSERT_EQ(math("vwndg", e), 1);
    f.grid(de).grid(ug).grid(vg);
    ASSERT_EQ(math("ewdir", f), 1);
    ASSERT_EQ(GRD_correct_UV(&ue.r, &ve.r), 0);
    bool turned = false;
    for (std::size_t k = 0; k < dd.v.size(); ++k) {
        if (dd.v[k] == M) {
            EXPECT_EQ(ug[k], M);
            EXPECT_EQ(de[k], M);
            continue;
        }
        EXPECT_NEAR(ug[k], ue[k], 1e-3) << k;
        EXPECT_NEAR(vg[k], ve[k], 1e-3) << k;
        const float back = std::fmod(de[k] + 360.0f, 360.0f);
        EXPECT_NEAR(std::min(std::fabs(back - dd.v[k]), 360.0f - std::fabs(back - dd.v[k])), 0.0f, 1e-2) << k;
        if (std::fabs(ug[k] - (-ss.v[k] * std::sin(dd.v[k] * 0.0174533f))) > 0.1f) turned = true;
    }
    EXPECT_TRUE(turned);
    EXPECT_EQ(MAP_get_proj(), 3);
}

} // namespace

// ---- Differential functions against NumPy ---------------------------------------------

namespace {

// First derivatives by np.gradient (centred inside, one-sided at the edges)
// per 100 km on a latitude-longitude grid, the Laplacian by three-point
// second differences, f = 14.584 sin(lat) in 1e-5/s.
const char *const kDiffScript = R"(
import sys
import numpy as np
lines = sys.stdin.read().split('\n')
h = lines[0].split()
nx, ny = int(h[0]), int(h[1])
dx, dy, clat, p = (float(x) for x in h[2:])
def grid(i):
    return np.array([float(x) for x in lines[i].split()], dtype=np.float64).reshape(ny, nx)
u, v, z, t, q = (grid(i) for i in range(1, 6))
lat = clat - dy * (ny - 1) / 2.0 + dy * (ny - 1 - np.arange(ny))
DX = (1.11195 * dx * np.cos(np.radians(lat)))[:, None]
DY = 1.11195 * dy
f = (14.584 * np.sin(np.radians(lat)))[:, None]
ddx = lambda a: np.gradient(a, axis=1) / DX
ddy = lambda a: -np.gradient(a, axis=0) / DY
def second(a, axis):
    a = np.moveaxis(a, axis, 0)
    s = np.empty_like(a)
    s[1:-1] = a[:-2] + a[2:] - 2 * a[1:-1]
    s[0] = a[0] + a[2] - 2 * a[1]
    s[-1] = a[-1] + a[-3] - 2 * a[-2]
    return np.moveaxis(s, 0, axis)
out = {}
out['dx'] = ddx(z)
out['dy'] = ddy(z)
out['lapl'] = second(z, 1) / DX**2 + second(z, 0) / DY**2
conv = -(ddx(u) + ddy(v))
out['conv'] = conv
out['convq'] = -(ddx(u) + ddy(v)) * q
out['divergq'] = (ddx(u) + ddy(v)) * q
out['def1'] = ddx(u) - ddy(v)
out['def2'] = -(ddx(v) + ddy(u))
out['rvort'] = ddx(v) - ddy(u)
out['avort'] = ddx(v) - ddy(u) + f
out['adv'] = -u * ddx(t) - v * ddy(t)
ug = -9.8 * ddy(z) / f
vg = 9.8 * ddx(z) / f
out['ugeos'] = ug
out['vgeos'] = vg
fac = -287.05 / (100.0 * p)
out['uq'] = (ddx(ug) * ddx(t) + ddx(vg) * ddy(t)) * fac
out['vq'] = (ddy(ug) * ddx(t) + ddy(vg) * ddy(t)) * fac
for k, a in out.items():
    print(k, ' '.join(repr(float(x)) for x in a.ravel()))
)";

// Compares to a tolerance relative to the field's largest value.
void expect_field(const std::vector<double> &want, const GRD_report &got, const char *what, double rel) {
    double scale = 0.0;
    for (double w : want)
        scale = std::max(scale, std::fabs(w));
    zeqtest::expect_grid_values(want, got.grid, std::size_t(got.domain.nx) * got.domain.ny, what, 0.0,
                                rel * scale);
}

TEST(CalcDifferential, AgainstNumpy) {
    use_data_tables();
    const Domain d = make_domain(2, 45.0f, -90.0f, 21, 15, 1.5f, 1.0f);
    Field u(
        d, [](int i, int j) { return 10.0 * std::sin(0.21 * i + 0.1) * std::cos(0.17 * j); }, "m/s",
        VAR_search_var_num("uwnd"));
    Field v(
        d, [](int i, int j) { return 5.0 + 0.3 * i - 0.2 * j + 0.01 * i * j; }, "m/s",
        VAR_search_var_num("vwnd"));
    auto height = [](int i, int j) {
        return 5400.0 + 30.0 * std::cos(0.15 * i) * std::sin(0.25 * j + 0.3) + 0.2 * i * i + 4.0 * j;
    };
    Field z(d, height, "m", VAR_search_var_num("hght"));
    Field zft(
        d, [&](int i, int j) { return height(i, j) / 0.3048; }, "ft", VAR_search_var_num("hght"));
    Field t(
        d, [](int i, int j) { return 250.0 + 0.4 * i - 0.9 * j + 2.0 * std::sin(0.3 * i * j); }, "K",
        VAR_search_var_num("temp"));
    Field q(
        d, [](int i, int j) { return 60.0 + i - j; }, "%", VAR_search_var_num("rhum"));
    const std::size_t n = z.v.size();
    std::ostringstream in;
    in.precision(9);
    in << d.nx << ' ' << d.ny << ' ' << d.dx << ' ' << d.dy << ' ' << d.clat << " 500\n"
       << values_text(u.v.data(), n) << values_text(v.v.data(), n) << values_text(z.v.data(), n)
       << values_text(t.v.data(), n) << values_text(q.v.data(), n);
    const auto ref = python(kDiffScript, in.str());

    struct Case {
        const char *fn;
        std::vector<Field *> ops;
        const char *key;
        const char *units; // of the result
        const char *label; // its label, or null when only the units are checked
    } cases[] = {
        {"dx", {&z}, "dx", "1e-05 m/m", ""}, // the label is left as the caller made it
        {"dy", {&z}, "dy", "1e-05 m/m", nullptr},
        {"lapl", {&z}, "lapl", "1e-10 m/m^2", "500 mb Geopotential height Laplacian (1e-10 m/m^2)"},
        {"conv", {&u, &v}, "conv", "1e-05 m/s/m", "500 mb U-component of wind Convergence (1e-05 m/s/m)"},
        {"conv", {&u, &v, &q}, "convq", "1e-05 m/s/m", "500 mb Relative humidity Convergence (1e-05 m/s/m)"},
        {"diverg",
         {&u, &v, &q},
         "divergq",
         "1e-05 m/s/m",
         "500 mb Relative humidity Divergence (1e-05 m/s/m)"},
        {"def1", {&u, &v}, "def1", "1e-05 m/s/m", nullptr},
        {"def2", {&u, &v}, "def2", "1e-05 m/s/m", nullptr},
        {"vconv", {&u, &v, &q}, "convq", "1e-05 m/s/m", nullptr},
        {"rvort", {&u, &v}, "rvort", "1e-05 m/s/m", nullptr},
        {"avort", {&u, &v}, "avort", "1e-05 m/s/m", nullptr},
        {"adv", {&u, &v, &t}, "adv", "1e-05 K/s", "500 mb Temperature Advection (1e-05 K/s)"},
        {"ugeos", {&zft}, "ugeos", "m/s", nullptr},
        {"vgeos", {&zft}, "vgeos", "m/s", nullptr},
        {"uq", {&z, &t}, "uq", "m", nullptr},
        {"vq", {&z, &t}, "vq", "m", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fn);
        Result r;
        r.r.ltype = 100;
        r.r.level = 500;
        r.r.time = 0;
        List l;
        l.grid(r);
        for (Field *f : c.ops)
            l.grid(*f);
        ASSERT_EQ(math(c.fn, l), 1);
        expect_field(ref.at(c.key), r.r, c.fn, 2e-4);
        EXPECT_STREQ(r.r.units, c.units);
        if (c.label != nullptr) {
            EXPECT_STREQ(r.r.info, c.label);
        }
    }
    EXPECT_STREQ(zft.r.units, "m"); // converted for the geostrophic wind

    // grad: both components, the derivative's units on both.
    Result gx, gy;
    List l;
    l.grid(gx).grid(gy).grid(z);
    ASSERT_EQ(math("grad", l), 1);
    expect_field(ref.at("dx"), gx.r, "grad x", 2e-4);
    expect_field(ref.at("dy"), gy.r, "grad y", 2e-4);
    EXPECT_STREQ(gx.r.units, "1e-05 m/m");
    EXPECT_STREQ(gy.r.units, "1e-05 m/m");
}

TEST(CalcDifferential, MissingPointsAndIdentities) {
    use_data_tables();
    const Domain d = make_domain(2, 45.0f, -90.0f, 6, 5, 1.0f, 1.0f);
    Field u(
        d, [](int i, int j) { return i == 2 && j == 2 ? -9999.0 : 3.0 + 0.5 * i * j; }, "m/s");
    Field v(
        d, [](int i, int j) { return 1.0 - 0.3 * i + 0.2 * j * j; }, "m/s");
    Field z(
        d, [](int i, int j) { return i == 4 && j == 1 ? -9999.0 : 5500.0 + 10.0 * i - 3.0 * j * j; }, "m");
    Result conv, div, rv, av, gx, gy;
    List l1, l2, l3, l4, l5;
    l1.grid(conv).grid(u).grid(v);
    l2.grid(div).grid(u).grid(v);
    l3.grid(rv).grid(u).grid(v);
    l4.grid(av).grid(u).grid(v);
    l5.grid(gx).grid(gy).grid(z);
    ASSERT_EQ(math("conv", l1), 1);
    ASSERT_EQ(math("diverg", l2), 1);
    ASSERT_EQ(math("rvort", l3), 1);
    ASSERT_EQ(math("avort", l4), 1);
    ASSERT_EQ(math("grad", l5), 1);
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 6; ++i) {
            const std::size_t k = std::size_t(j) * 6 + i;
            if (u.v[k] == M) {
                EXPECT_EQ(conv[k], M);
                EXPECT_EQ(div[k], M);
                EXPECT_EQ(av[k], M);
                continue;
            }
            EXPECT_EQ(div[k], -conv[k]) << k;
            const double lat = 43.0 + 4.0 - j;
            EXPECT_NEAR(av[k], rv[k] + 14.584 * std::sin(lat * 0.017453292519943295), 1e-4) << k;
        }
    // The gradient's one-sided difference next to the missing point, and
    // missing where the height is.
    const std::size_t miss_k = 1 * 6 + 4;
    EXPECT_EQ(gx[miss_k], M);
    EXPECT_EQ(gy[miss_k], M);
    const double dxkm = 1.11195 * std::cos(46.0 * 0.017453292519943295);
    EXPECT_NEAR(gx[miss_k - 1], (z.v[miss_k - 1] - z.v[miss_k - 2]) / dxkm, 1e-3);

    // ugeos of a height rising 10 m per 100 km northward, at 45 degrees.
    Field rise(
        d, [](int, int j) { return 10.0 * 1.11195 * (4 - j); }, "m");
    Result ug;
    List l6;
    l6.grid(ug).grid(rise);
    ASSERT_EQ(math("ugeos", l6), 1);
    EXPECT_NEAR(ug[2 * 6 + 3], -9.8 * 10.0 / (14.584 * std::sin(45.0 * 0.017453292519943295)), 1e-4);
}

} // namespace
