#include "fields/grd_tool.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/grd_tool_int.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/reference.h"
#include "upperair/ua_tool.h"
#include "upperair/zequpa.h"

namespace {

using zeqtest::run_child;
using zeqtest::TempDir;

constexpr double kDeg = 0.017453292519943295;

using zeqtest::make_domain;

// A grid record whose values live in the test (not owned by the record).
struct Grid {
    GRD_report r;
    std::vector<float> v;

    explicit Grid(const Domain &d, float fill = 0.0f) {
        std::memset(&r, 0, sizeof r);
        GRD_init(&r);
        r.domain = d;
        v.assign(std::size_t(d.nx) * d.ny, fill);
        r.grid = v.data();
    }
    Grid(const Grid &) = delete;
    Grid &operator=(const Grid &) = delete;

    float &at(int i, int j) { return v[std::size_t(j) * r.domain.nx + i]; }
    void set(std::initializer_list<float> values) {
        v = values;
        r.grid = v.data();
    }
    int nx() const { return r.domain.nx; }
    int ny() const { return r.domain.ny; }
    template <typename F> void fill(F f) {
        for (int j = 0; j < ny(); ++j)
            for (int i = 0; i < nx(); ++i)
                at(i, j) = float(f(i, j));
    }
};

// A record without an array of its own; whatever array an operation gives it
// is released at the end.
struct Out {
    GRD_report r;
    explicit Out(const Domain &d) {
        std::memset(&r, 0, sizeof r);
        GRD_init(&r);
        r.domain = d;
    }
    ~Out() { std::free(r.grid); }
    Out(const Out &) = delete;
    Out &operator=(const Out &) = delete;
    float at(int i, int j) const { return r.grid[std::size_t(j) * r.domain.nx + i]; }
};

// Runs a Python script (NumPy, SciPy) over `input`; each output line is a
// name followed by numbers.
std::map<std::string, std::vector<double>> python(const std::string &script, const std::string &input) {
    return zeqtest::named_numbers(zeqtest::run_python(script, input, "python3-numpy, python3-scipy"));
}

// The values exactly as the floats hold them.
std::string values_text(const Grid &g) {
    std::ostringstream s;
    s.precision(17);
    for (float x : g.v)
        s << double(x) << ' ';
    s << '\n';
    return s.str();
}

void expect_close(const std::vector<double> &want, const float *got, std::size_t n, const char *what,
                  double rel = 1e-5) {
    zeqtest::expect_grid_values(want, got, n, what, rel, 0.0);
}

// ---- Grid table and records ---------------------------------------------------

TEST(GridTable, FirstUseInitialisesEverySlotOnce) {
    GRD_report *g = GRD_get_grid(5);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->type, 0);
    EXPECT_EQ(g->source, 0);
    EXPECT_EQ(g->time, -9999);
    EXPECT_EQ(g->var, -9999);
    EXPECT_EQ(g->grid, nullptr);
    GRD_report *all = GRD_get_grids();
    for (int i = 0; i < VAR_MAX; ++i) {
        EXPECT_EQ(all[i].type, 0) << i;
        EXPECT_EQ(all[i].ltype, -9999) << i;
    }
    all[7].source = 3;
    GRD_get_grid(0);
    EXPECT_EQ(GRD_get_grid(7)->source, 3);
    EXPECT_EQ(GRD_get_grid(VAR_MAX), nullptr);
    EXPECT_EQ(GRD_get_grid(-1), nullptr);
}

TEST(GridTable, SetterBeforeFirstUseIsKept) {
    EXPECT_EQ(GRD_set_grid_info(2, "500 mb Temperature (K)"), 0);
    EXPECT_STREQ(GRD_get_grid(2)->info, "500 mb Temperature (K)");
    EXPECT_STREQ(GRD_get_grid_info(2), "500 mb Temperature (K)");
}

TEST(GridTable, LabelsAreCutToTheirFields) {
    const std::string longer(200, 'x');
    GRD_set_grid_info(1, longer.c_str());
    EXPECT_EQ(std::strlen(GRD_get_grid(1)->info), sizeof(GRD_report::info) - 1);
    Date d = {2024, 1, 5, 5, 5, 12, 0, 0};
    GRD_set_grid_date(1, &d, longer.c_str());
    EXPECT_EQ(std::strlen(GRD_get_grid(1)->datim), sizeof(GRD_report::datim) - 1);
    EXPECT_EQ(GRD_get_grid(1)->date.hour, 12);
    GRD_set_grid_date(1, nullptr, "later");
    EXPECT_STREQ(GRD_get_grid(1)->datim, "later");
    EXPECT_EQ(GRD_get_grid(1)->date.year, 2024);
}

TEST(GridTable, DomainRefinedByTheGridFactor) {
    const Domain d = make_domain(1, 40.0f, -100.0f, 25, 17, 1.2f, 1.2f);
    struct Case {
        int set;    // factor given to GRD_set_grid_factor (0: none)
        int factor; // factor in force afterwards
        int nx, ny;
        float dx;
    } cases[] = {
        {0, 1, 25, 17, 1.2f},  // initial factor
        {2, 2, 49, 33, 0.6f},  // refined
        {0, 2, 49, 33, 0.6f},  // 0 is ignored
        {-3, 2, 49, 33, 0.6f}, // so is a negative factor
        {1, 1, 25, 17, 1.2f},  // back to the domain as given
        {3, 3, 73, 49, 0.4f},
    };
    for (const Case &c : cases) {
        GRD_set_grid_factor(c.set);
        EXPECT_EQ(GRD_get_grid_factor(), c.factor);
        GRD_get_grid(4)->source = 1;
        GRD_get_grid(4)->version = 1;
        GRD_set_grid_domain(4, &d);
        Domain got;
        GRD_get_grid_domain(4, &got);
        EXPECT_EQ(got.nx, c.nx);
        EXPECT_EQ(got.ny, c.ny);
        EXPECT_FLOAT_EQ(got.dx, c.dx);
        EXPECT_FLOAT_EQ(got.dy, c.dx);
        EXPECT_EQ(got.clat, 40.0f);
        EXPECT_EQ(got.clon, -100.0f);
        EXPECT_EQ(got.proj, 1);
        EXPECT_EQ(GRD_get_grid(4)->source, 0);
        EXPECT_EQ(GRD_get_grid(4)->version, 0);
    }
}

TEST(GridTable, SlotTakesTheVariableListEntry) {
    VAR_data *v = VAR_get_var(3);
    VAR_data_init(v);
    v->var[0] = 11;
    v->var[1] = 12;
    v->time = 12;
    v->ltype = 100;
    v->level = 500;
    std::snprintf(v->units, sizeof v->units, "C");
    GRD_set_var(3);
    const GRD_report *g = GRD_get_grid(3);
    EXPECT_EQ(g->var, 11);
    EXPECT_EQ(g->time, 12);
    EXPECT_EQ(g->ltype, 100);
    EXPECT_EQ(g->level, 500);
    EXPECT_STREQ(g->units, "C");
    v->units[0] = '\0';
    GRD_set_var(3);
    EXPECT_STREQ(g->units, "");
}

TEST(GridRecord, AllocAndFree) {
    GRD_report g;
    std::memset(&g, 0, sizeof g);
    GRD_init(&g);
    g.domain = make_domain(2, 40.0f, -100.0f, 7, 5, 1.0f, 1.0f);
    ASSERT_EQ(GRD_alloc(&g), 1);
    ASSERT_NE(g.grid, nullptr);
    g.grid[34] = 1.0f; // the last of 35 values
    g.source = 1;
    EXPECT_EQ(GRD_free(&g), 0);
    EXPECT_EQ(g.grid, nullptr);
    EXPECT_EQ(g.source, 0);
    EXPECT_EQ(g.domain.proj, -9999);
    EXPECT_EQ(g.domain.nx, -9999);
    EXPECT_EQ(g.domain.clat, -9999.0f);
    // A second free (no array) is harmless.
    EXPECT_EQ(GRD_free(&g), 0);
    EXPECT_EQ(g.grid, nullptr);

    // A domain without a size cannot be given an array.
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_alloc(&g), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "GRD_alloc: No memory for grid field\n");
    EXPECT_EQ(g.grid, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_alloc_grid(9), 0);
    EXPECT_EQ(GRD_get_grid(9)->grid, nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
}

TEST(GridRecord, CopyMoveAndCopyInfo) {
    Grid a(make_domain(1, 45.0f, -90.0f, 3, 2, 1.0f, 1.0f), 2.0f);
    a.r.source = 7;
    a.r.model = 89;
    a.r.type = 211;
    a.r.var = 11;
    a.r.time = 6;
    std::snprintf(a.r.datim, sizeof a.r.datim, "12Z");
    std::snprintf(a.r.units, sizeof a.r.units, "K");
    std::snprintf(a.r.info, sizeof a.r.info, "T (K)");

    GRD_report b;
    GRD_copy(&b, &a.r);
    EXPECT_EQ(b.grid, a.r.grid); // shared, not owned
    EXPECT_EQ(b.var, 11);

    GRD_report c;
    std::memset(&c, 0, sizeof c);
    GRD_init(&c);
    c.var = 33;
    c.time = 24;
    c.ltype = 100;
    c.level = 850;
    std::snprintf(c.info, sizeof c.info, "own");
    float dummy = 0.0f;
    c.grid = &dummy; // dropped, not freed
    GRD_copy_info(&c, &a.r);
    EXPECT_EQ(c.grid, nullptr);
    EXPECT_EQ(c.source, 7);
    EXPECT_EQ(c.model, 89);
    EXPECT_EQ(c.type, 211);
    EXPECT_EQ(c.domain.clat, 45.0f);
    EXPECT_STREQ(c.datim, "12Z");
    EXPECT_STREQ(c.units, "K");
    EXPECT_STREQ(c.info, "own");
    EXPECT_EQ(c.var, 33);
    EXPECT_EQ(c.time, 24);
    EXPECT_EQ(c.ltype, 100);
    EXPECT_EQ(c.level, 850);

    GRD_report d;
    GRD_move(&d, &b);
    EXPECT_EQ(d.grid, a.r.grid);
    EXPECT_EQ(b.grid, nullptr);
    EXPECT_EQ(b.source, 0);
    EXPECT_EQ(b.var, -9999);
    EXPECT_STREQ(b.info, "");
}

TEST(GridRecord, ModuleDateAndFileHeader) {
    Date d = {2024, 3, 1, 61, 5, 6, 0, 0};
    GRD_set_date(&d);
    Date got;
    GRD_get_date(&got);
    EXPECT_EQ(got.month, 3);
    EXPECT_EQ(got.hour, 6);
    GRD_info info;
    std::snprintf(info.datim, sizeof info.datim, "kept");
    info.grid_type = 5;
    const Domain dom = make_domain(4, 40.0f, -100.0f, 93, 65, 0.8f, 0.8f);
    GRD_set_info(&info, &d, &dom);
    EXPECT_EQ(info.grid_type, 0);
    EXPECT_EQ(info.max_x, 93);
    EXPECT_EQ(info.max_y, 65);
    EXPECT_EQ(info.date.day, 1);
    EXPECT_STREQ(info.datim, "kept");
}

// ---- Labels and printing ----------------------------------------------------------

TEST(GridLabels, PrintInfoKinds) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    Grid g(make_domain(1, 60.0f, -105.0f, 25, 17, 1.2f, 1.25f));
    g.r.model = 89;
    g.r.ltype = 100;
    g.r.level = 500;
    g.r.var = 11;
    g.r.time = 12;
    g.r.type = 104;
    g.r.source = 7;
    std::snprintf(g.r.units, sizeof g.r.units, "K");
    auto printed = [&](M_type level, int kind) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(GRD_print_info(level, &g.r, kind), 0);
        return testing::internal::GetCapturedStdout();
    };
    EXPECT_EQ(printed(M_PRINT, 1), "Model: 89 Ltype: 100 Level: 500 Var: 11 [K] Hour: 12 Grid: 104\n");
    EXPECT_EQ(printed(M_PRINT, 2), "Proj: 1 Lat: 60.00 Lon: -105.00 NX: 25 NY: 17 DX: 1.20 DY: 1.25\n");
    EXPECT_EQ(printed(M_PRINT, 7), "");
    // A disabled kind prints and makes nothing.
    EXPECT_EQ(printed(M_DEBUG, 0), "");
    EXPECT_STREQ(g.r.info, "");

    // Kind 0 makes both labels: the model passed names source and model.
    char info[70], datim[50];
    VAR_make_datatype(12, 100, 500, 11, "K", info, sizeof info);
    DATE_make_label_for_time(12, 7089, &g.r.date, datim, sizeof datim);
    EXPECT_EQ(printed(M_PRINT, 0), std::string(datim) + "-" + info + "\n");
    EXPECT_STREQ(g.r.info, info);
    EXPECT_STREQ(g.r.datim, datim);
    EXPECT_NE(std::string(info).find("Temperature"), std::string::npos);
    // Existing labels are kept by kind -2, rebuilt by kind 3.
    std::snprintf(g.r.info, sizeof g.r.info, "mine");
    EXPECT_EQ(printed(M_PRINT, -2), std::string(datim) + " - mine\n");
    EXPECT_EQ(printed(M_PRINT, 3), std::string(info) + "\n");

    g.r.domain.proj = -9999;
    EXPECT_EQ(printed(M_PRINT, 2), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(GRD_print(M_DEBUG, &g.r), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(GridLabels, DerivedFieldLabel) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    Grid in(make_domain(1, 60.0f, -105.0f, 3, 3, 1.0f, 1.0f));
    Grid out(make_domain(1, 60.0f, -105.0f, 3, 3, 1.0f, 1.0f));
    in.r.var = 11;
    out.r.time = 0;
    out.r.ltype = 100;
    out.r.level = 850;
    std::snprintf(out.r.units, sizeof out.r.units, "K/100km");
    char name[80], want[70];
    VAR_str(name, sizeof name, 11, "");
    const std::string gradient = std::string(name) + " Gradient";
    VAR_make_devtype(0, 100, 850, gradient.c_str(), "K/100km", want, sizeof want);
    GRD_make_devtype(&out.r, &in.r, "Gradient");
    EXPECT_STREQ(out.r.info, want);
    EXPECT_NE(std::string(out.r.info).find("Temperature Gradient"), std::string::npos);
    // A field without a parameter number is named by the operator alone.
    in.r.var = 0;
    VAR_make_devtype(0, 100, 850, "Laplacian", "K/100km", want, sizeof want);
    GRD_make_devtype(&out.r, &in.r, "Laplacian");
    EXPECT_STREQ(out.r.info, want);
}

// ---- Extremes, statistics, value changes -------------------------------------------

TEST(GridStats, MaxMinStartsAtFirstPresentValue) {
    Grid g(make_domain(1, 60.0f, -105.0f, 3, 2, 1.0f, 1.0f));
    g.set({-9999.0f, -9999.0f, 5.0f, 7.0f, -9999.0f, 6.0f});
    float hi, lo;
    EXPECT_EQ(GRD_maxmin(&g.r, &hi, &lo), 0);
    EXPECT_EQ(hi, 7.0f);
    EXPECT_EQ(lo, 5.0f);
    g.v.assign(6, -9999.0f);
    EXPECT_EQ(GRD_maxmin(&g.r, &hi, &lo), 0);
    EXPECT_EQ(hi, -9999.0f);
    EXPECT_EQ(lo, -9999.0f);
    g.r.grid = nullptr;
    hi = lo = 1.0f;
    EXPECT_EQ(GRD_maxmin(&g.r, &hi, &lo), -1);
    EXPECT_EQ(hi, -9999.0f);
    EXPECT_EQ(lo, -9999.0f);
}

TEST(GridStats, StatsWords) {
    Grid g(make_domain(1, 60.0f, -105.0f, 2, 2, 1.0f, 1.0f));
    g.set({1.0f, -9999.0f, 2.0f, 6.0f});
    struct Case {
        const char *oper;
        int result;
        float v0, v1;
    } cases[] = {
        {"max", 1, 6.0f, -9999.0f},  {"MIN", 1, 1.0f, -9999.0f}, {"maxmin", 1, 6.0f, 1.0f},
        {"avg", 1, 3.0f, -9999.0f},  {"AvgNum", 1, 3.0f, 3.0f},  {"median", 0, -9999.0f, -9999.0f},
        {"", 0, -9999.0f, -9999.0f},
    };
    for (const Case &c : cases) {
        float values[2] = {0.0f, 0.0f};
        EXPECT_EQ(GRD_stats(c.oper, &g.r, values), c.result) << c.oper;
        EXPECT_FLOAT_EQ(values[0], c.v0) << c.oper;
        EXPECT_FLOAT_EQ(values[1], c.v1) << c.oper;
    }
    g.r.grid = nullptr;
    float values[2] = {0.0f, 0.0f};
    EXPECT_EQ(GRD_stats("avgnum", &g.r, values), 0);
    EXPECT_EQ(values[0], -9999.0f);
    EXPECT_EQ(GRD_stats("max", &g.r, values), 1);
    EXPECT_EQ(values[0], -9999.0f);
}

TEST(GridStats, LargestWindSpeed) {
    const Domain d = make_domain(1, 60.0f, -105.0f, 3, 1, 1.0f, 1.0f);
    Grid u(d), v(d);
    float max = 0.0f;
    // Pure westerlies have a largest speed.
    u.set({5.0f, 12.0f, 3.0f});
    EXPECT_EQ(GRD_UVmax(&u.r, &v.r, &max), 0);
    EXPECT_FLOAT_EQ(max, 12.0f);
    // A missing component leaves its point out.
    u.set({3.0f, -9999.0f, 1.0f});
    v.set({4.0f, 1.0f, -9999.0f});
    EXPECT_EQ(GRD_UVmax(&u.r, &v.r, &max), 0);
    EXPECT_FLOAT_EQ(max, 5.0f);
    v.set({-9999.0f, -9999.0f, -9999.0f});
    EXPECT_EQ(GRD_UVmax(&u.r, &v.r, &max), 0);
    EXPECT_EQ(max, -9999.0f);
    // Calm everywhere is a speed of 0.
    u.set({0.0f, 0.0f, 0.0f});
    v.set({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(GRD_UVmax(&u.r, &v.r, &max), 0);
    EXPECT_EQ(max, 0.0f);

    EXPECT_EQ(GRD_UVmax(&u.r, nullptr, &max), -1);
    EXPECT_EQ(max, -9999.0f);
    Grid w(make_domain(1, 60.0f, -105.0f, 2, 1, 1.0f, 1.0f));
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_UVmax(&u.r, &w.r, &max), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
}

TEST(GridValues, ScaleOffsetAndUnitsSkipMissing) {
    Grid g(make_domain(1, 60.0f, -105.0f, 3, 1, 1.0f, 1.0f));
    g.set({1.0f, -9999.0f, -2.0f});
    EXPECT_EQ(GRD_scale(&g.r, 10.0f), 0);
    EXPECT_EQ(GRD_offset(&g.r, 0.5f), 0);
    EXPECT_EQ(g.v, (std::vector<float>{10.5f, -9999.0f, -19.5f}));

    g.set({2e-5f, -9999.0f, -1e-5f});
    std::snprintf(g.r.units, sizeof g.r.units, "/s");
    std::snprintf(g.r.info, sizeof g.r.info, "500 mb Vorticity (/s)");
    EXPECT_EQ(GRD_units(&g.r, "10^-5 /s"), 0);
    EXPECT_NEAR(g.v[0], 2.0f, 1e-5);
    EXPECT_EQ(g.v[1], -9999.0f);
    EXPECT_NEAR(g.v[2], -1.0f, 1e-5);
    EXPECT_STREQ(g.r.units, "10^-5 /s");
    EXPECT_STREQ(g.r.info, "500 mb Vorticity (10^-5 /s)");
    // The record's own units as the target change nothing.
    EXPECT_EQ(GRD_units(&g.r, g.r.units), 0);
    EXPECT_NEAR(g.v[0], 2.0f, 1e-5);
    EXPECT_STREQ(g.r.units, "10^-5 /s");

    g.r.grid = nullptr;
    EXPECT_EQ(GRD_scale(&g.r, 2.0f), -1);
    EXPECT_EQ(GRD_offset(&g.r, 2.0f), -1);
    EXPECT_EQ(GRD_units(&g.r, "m"), -1);
    EXPECT_EQ(GRD_scale(nullptr, 2.0f), -1);
}

TEST(GridValues, Cutoff) {
    Grid in(make_domain(1, 60.0f, -105.0f, 4, 1, 1.0f, 1.0f));
    in.set({-3.0f, 0.0f, 4.0f, -9999.0f});
    in.r.var = 61;
    struct Case {
        const char *cmd;
        float cutoff, nval;
        std::vector<float> want;
    } cases[] = {
        {"lower", 0.0f, 0.0f, {0.0f, 0.0f, 4.0f, -9999.0f}},
        {"HIGHER", 0.0f, 1.0f, {-3.0f, 0.0f, 1.0f, -9999.0f}},
        {"higher", -5.0f, 9.0f, {9.0f, 9.0f, 9.0f, -9999.0f}},
        {"between", 0.0f, 1.0f, {-3.0f, 0.0f, 4.0f, -9999.0f}}, // unknown word: a copy
    };
    for (const Case &c : cases) {
        Out out(in.r.domain);
        EXPECT_EQ(GRD_cutoff(&out.r, c.cmd, c.cutoff, c.nval, &in.r), 0) << c.cmd;
        ASSERT_NE(out.r.grid, nullptr);
        EXPECT_NE(out.r.grid, in.r.grid);
        EXPECT_EQ(out.r.var, 61);
        EXPECT_EQ(std::vector<float>(out.r.grid, out.r.grid + 4), c.want) << c.cmd;
    }
    EXPECT_EQ(in.v, (std::vector<float>{-3.0f, 0.0f, 4.0f, -9999.0f}));
    Out out(in.r.domain);
    in.r.grid = nullptr;
    EXPECT_EQ(GRD_cutoff(&out.r, "lower", 0.0f, 0.0f, &in.r), -1);
    EXPECT_EQ(out.r.grid, nullptr);
}

// ---- Values at points ---------------------------------------------------------------

TEST(GridValues, BilinearEdgesAndMissing) {
    Grid g(make_domain(1, 60.0f, -105.0f, 4, 3, 1.0f, 1.0f));
    g.fill([](int i, int j) { return 10 * j + i; });
    struct Case {
        float gx, gy, want;
    } cases[] = {
        {3.0f, 0.0f, 3.0f},        // last column of row 0
        {3.00005f, 0.0f, 3.0f},    // just beyond the last column still counts
        {3.5f, 0.0f, -9999.0f},    // beyond
        {-0.001f, 0.0f, -9999.0f}, //
        {0.0f, 2.00005f, 20.0f},   // just beyond the last row
        {0.0f, -0.001f, -9999.0f}, //
        {0.5f, 2.0f, 20.5f},       // last row: the mean of its two neighbours
        {3.0f, 1.5f, 18.0f},       // last column: between its rows
        {1.25f, 0.5f, 6.25f},      // inside
        {2.0f, 1.0f, 12.0f},       // on a grid point
    };
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(GRD_get_value(&g.r, c.gx, c.gy), c.want) << c.gx << "," << c.gy;
    // A missing corner spoils the whole cell, even on a valid grid point.
    g.at(3, 1) = -9999.0f;
    EXPECT_EQ(GRD_get_value(&g.r, 2.0f, 1.0f), -9999.0f);
    EXPECT_EQ(GRD_get_value(&g.r, 2.5f, 0.5f), -9999.0f);
    EXPECT_FLOAT_EQ(GRD_get_value(&g.r, 2.0f, 2.0f), 22.0f);
    g.r.grid = nullptr;
    EXPECT_EQ(GRD_get_value(&g.r, 1.0f, 1.0f), -9999.0f);
}

TEST(GridValues, BilinearAgreesWithScipy) {
    Grid g(make_domain(1, 60.0f, -105.0f, 23, 17, 1.0f, 1.0f));
    g.fill([](int i, int j) { return std::sin(0.4 * i) * std::cos(0.3 * j) + 0.05 * i * j; });
    std::ostringstream in;
    in.precision(9);
    in << g.nx() << ' ' << g.ny() << '\n' << values_text(g);
    std::vector<std::pair<float, float>> points;
    for (int k = 0; k < 200; ++k)
        points.emplace_back(float(std::fmod(k * 0.731, 22.0)), float(std::fmod(k * 0.377, 16.0)));
    for (auto [x, y] : points)
        in << x << ' ' << y << '\n';
    const char *script = R"(
import sys, numpy as np
from scipy.interpolate import RegularGridInterpolator
lines = sys.stdin.read().split('\n')
nx, ny = map(int, lines[0].split())
z = np.array(lines[1].split(), dtype=float).reshape(ny, nx)
pts = np.array([l.split() for l in lines[2:] if l.strip()], dtype=float)
f = RegularGridInterpolator((np.arange(ny), np.arange(nx)), z, method='linear')
print('v', ' '.join(repr(x) for x in f(pts[:, ::-1])))
)";
    const auto ref = python(script, in.str());
    std::vector<float> got;
    for (auto [x, y] : points)
        got.push_back(GRD_get_value(&g.r, x, y));
    expect_close(ref.at("v"), got.data(), got.size(), "bilinear");
}

TEST(GridValues, ValueAtAPointOfAnotherDomain) {
    const Domain ll = make_domain(2, 40.0f, -100.0f, 81, 41, 0.5f, 0.5f);
    Grid g(ll);
    const float lat0 = 40.0f + 0.5f * 20, lon0 = -100.0f - 0.5f * 40; // north-west corner
    g.fill([&](int i, int j) { return (lat0 - 0.5 * j) + 0.01 * (lon0 + 0.5 * i); });
    const Domain map = make_domain(4, 38.0f, -95.0f, 25, 17, 1.0f, 1.0f);
    MAP_domain(&map);
    float x, y;
    MAP_tran(41.3f, -97.6f, &x, &y);
    float gx = x, gy = y;
    const float value = GRD_get_value_domain(&g.r, &map, &gx, &gy);
    EXPECT_NEAR(value, 41.3 - 0.976, 1e-3);
    EXPECT_NEAR(gx, (-97.6 - lon0) / 0.5, 1e-3);
    EXPECT_NEAR(gy, (lat0 - 41.3) / 0.5, 1e-3);
    EXPECT_EQ(MAP_get_proj(), 4); // the map is current again

    testing::internal::CaptureStdout();
    GRD_print_value(x, y, &g.r);
    MAP_tran(60.0f, -97.6f, &x, &y); // north of the grid
    GRD_print_value(x, y, &g.r);
    GRD_print_value2(x, y, &g.r, &g.r);
    const std::string out = testing::internal::GetCapturedStdout();
    char want[200];
    std::snprintf(want, sizeof want, "Grid: %6.2f,%6.2f = %6.2f\n", double(gx), double(gy), double(value));
    EXPECT_EQ(out.substr(0, std::strlen(want)), want);
    EXPECT_NE(out.find(" = \n"), std::string::npos); // a missing value of the pair
    EXPECT_EQ(MAP_get_proj(), 4);
}

TEST(GridValues, EditNearestPoint) {
    const Domain d = make_domain(1, 60.0f, -105.0f, 5, 4, 1.0f, 1.0f);
    auto edit = [&](float cols_west, const char *answer) {
        return run_child(
            [&] {
                Grid g(d, 1.0f);
                MAP_domain(&d);
                MAP_limits lim;
                MAP_get_limits(&lim);
                const int rc = GRD_edit_value("", lim.x_min - cols_west, lim.y_max - 2.0f, &g.r);
                if (MAP_get_proj() != 1) return 90;
                return rc == 0 ? int(g.at(0, 2)) : 99;
            },
            {answer});
    };
    const auto near = edit(0.9f, "5\n");
    EXPECT_EQ(near.status, 5);
    EXPECT_EQ(near.out, "Grid:   0,  2 Val =   1.00 New value: ");
    const auto off = edit(1.6f, "5\n");
    EXPECT_EQ(off.status, 99);
    EXPECT_EQ(off.out, "Grid:  -1,  2 Off grid\n");
}

// ---- Plot positions, resampling, mosaics ---------------------------------------------

TEST(GridMapping, PlotPositionsOfGridPoints) {
    const Domain ll = make_domain(2, 45.0f, -100.0f, 5, 3, 2.0f, 1.5f);
    Grid g(ll);
    const Domain map = make_domain(1, 50.0f, -100.0f, 25, 17, 1.2f, 1.2f);
    const Domain other = make_domain(3, 0.0f, 0.0f, 10, 10, 1.0f, 1.0f);
    MAP_domain(&other);
    float *xs = static_cast<float *>(std::malloc(4));
    float *ys = nullptr;
    ASSERT_EQ(GRD_proj_XY(&g.r, &map, &xs, &ys), 0);
    EXPECT_EQ(MAP_get_proj(), 3);
    MAP_domain(&map);
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 5; ++i) {
            float x, y;
            MAP_tran(46.5f - 1.5f * j, -104.0f + 2.0f * i, &x, &y);
            EXPECT_NEAR(xs[j * 5 + i], x, 1e-4) << i << "," << j;
            EXPECT_NEAR(ys[j * 5 + i], y, 1e-4) << i << "," << j;
        }
    }
    std::free(xs);
    std::free(ys);
}

// A smooth field of latitude and longitude.
double analytic(double lat, double lon) {
    return 10.0 * std::sin(2.0 * lat * kDeg) * std::cos(3.0 * lon * kDeg) + 0.1 * lat;
}

TEST(GridMapping, RemapReproducesAnalyticField) {
    // Source: 20N-60N, 130W-60W every half degree.
    const Domain ll = make_domain(2, 40.0f, -95.0f, 141, 81, 0.5f, 0.5f);
    Grid src(ll);
    src.fill([](int i, int j) { return analytic(60.0 - 0.5 * j, -130.0 + 0.5 * i); });
    src.r.var = 7;
    // Target: a Lambert grid inside it, and one reaching beyond it.
    const Domain lc = make_domain(4, 40.0f, -95.0f, 25, 17, 1.2f, 1.2f);
    const Domain wide = make_domain(4, 40.0f, -95.0f, 41, 41, 1.5f, 1.5f);
    const Domain current = make_domain(1, 60.0f, -105.0f, 10, 10, 1.0f, 1.0f);
    for (const Domain &target : {lc, wide}) {
        MAP_domain(&current);
        Out out(ll);
        ASSERT_EQ(GRD_remap(&out.r, &target, &src.r), 0);
        EXPECT_EQ(MAP_get_proj(), 1); // the caller's projection is current again
        EXPECT_EQ(out.r.domain.proj, 4);
        EXPECT_EQ(out.r.domain.nx, target.nx);
        EXPECT_EQ(out.r.var, 7);
        MAP_domain(&target);
        int inside = 0, outside = 0;
        for (int j = 0; j < target.ny; ++j) {
            for (int i = 0; i < target.nx; ++i) {
                float x, y, lat, lon;
                MAP_grid_tran(float(i), float(j), &x, &y);
                MAP_untran(x, y, &lat, &lon);
                const float v = out.at(i, j);
                if (lat >= 20.0f && lat <= 60.0f && lon >= -130.0f && lon <= -60.0f) {
                    ++inside;
                    ASSERT_NEAR(v, analytic(lat, lon), 3e-3) << i << "," << j;
                } else if (lat < 19.9f || lat > 60.1f || lon < -130.1f || lon > -59.9f) {
                    ++outside;
                    ASSERT_EQ(v, -9999.0f) << i << "," << j;
                }
            }
        }
        EXPECT_GT(inside, 300);
        if (target.nx == 41) {
            EXPECT_GT(outside, 0);
        }
    }
    // Missing values spread to the cells around them; no input array refuses.
    src.at(70, 40) = -9999.0f;
    Out same(ll);
    ASSERT_EQ(GRD_remap(&same.r, &ll, &src.r), 0);
    EXPECT_EQ(same.at(70, 40), -9999.0f);
    EXPECT_EQ(same.at(69, 39), -9999.0f);
    EXPECT_FLOAT_EQ(same.at(72, 40), src.at(72, 40));
    src.r.grid = nullptr;
    Out none(ll);
    EXPECT_EQ(GRD_remap(&none.r, &lc, &src.r), -1);
    EXPECT_EQ(none.r.grid, nullptr);
}

TEST(GridMosaic, PiecesSharingTheirEdges) {
    Grid piece(make_domain(2, 40.0f, -100.0f, 5, 5, 1.0f, 1.0f), 1.0f);
    Out mosaic(piece.r.domain);
    ASSERT_EQ(GRD_piece_setup(&mosaic.r, 2, 2, &piece.r), 0);
    ASSERT_NE(mosaic.r.grid, nullptr);
    ASSERT_NE(mosaic.r.grid, piece.r.grid);
    EXPECT_EQ(mosaic.r.domain.nx, 9);
    EXPECT_EQ(mosaic.r.domain.ny, 9);
    // North and west edges stay: the centre moves 2 degrees east and south.
    EXPECT_NEAR(mosaic.r.domain.clat, 38.0f, 1e-4);
    EXPECT_NEAR(mosaic.r.domain.clon, -98.0f, 1e-4);
    for (int k = 0; k < 81; ++k)
        ASSERT_EQ(mosaic.r.grid[k], -9999.0f);

    piece.fill([](int i, int j) { return 100 + 10 * j + i; });
    ASSERT_EQ(GRD_piece_grid(&mosaic.r, 1, 1, &piece.r), 0);
    for (int j = 0; j < 9; ++j)
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(mosaic.at(i, j), (i >= 4 && j >= 4) ? float(100 + 10 * (j - 4) + i - 4) : -9999.0f)
                << i << "," << j;
    EXPECT_EQ(GRD_piece_grid(&mosaic.r, 2, 0, &piece.r), -1);
    EXPECT_EQ(GRD_piece_grid(&mosaic.r, 0, 2, &piece.r), -1);
    EXPECT_EQ(GRD_piece_grid(&piece.r, 0, 0, &mosaic.r), -1); // larger than the mosaic
    EXPECT_EQ(mosaic.at(0, 0), -9999.0f);

    // 3 by 2 pieces, header only.
    GRD_report head = piece.r;
    ASSERT_EQ(GRD_piece_setup(&head, 3, 2, nullptr), 0);
    EXPECT_EQ(head.domain.nx, 13);
    EXPECT_EQ(head.domain.ny, 9);
    EXPECT_EQ(head.grid, piece.r.grid);
    EXPECT_EQ(GRD_piece_setup(&head, 0, 2, nullptr), -1);
}

// Latitude and longitude of grid point (i, j) of a domain.
std::pair<float, float> point_of(const Domain &d, int i, int j) {
    MAP_domain(&d);
    float x, y, lat, lon;
    MAP_grid_tran(float(i), float(j), &x, &y);
    MAP_untran(x, y, &lat, &lon);
    return {lat, lon};
}

TEST(GridMosaic, CentreMovesInTheProjectionPlane) {
    // A Lambert grid of 13 x 7 points 200 km apart, and its north-west piece
    // of 5 x 4 points, whose centre is grid point (2, 1.5).
    Domain whole = make_domain(4, 45.0f, -95.0f, 13, 7, 2.0f, 2.0f);
    whole.plat = 45.0f;
    whole.plon = -95.0f;
    MAP_domain(&whole);
    float x, y, clat, clon;
    MAP_grid_tran(2.0f, 1.5f, &x, &y);
    MAP_untran(x, y, &clat, &clon);
    // With the piece's own reference point, and with none (the piece's centre
    // is then its reference point, which the mosaic keeps).
    for (bool reference : {true, false}) {
        Domain pd = make_domain(4, clat, clon, 5, 4, 2.0f, 2.0f);
        if (reference) {
            pd.plat = 45.0f;
            pd.plon = -95.0f;
        }
        GRD_report head;
        std::memset(&head, 0, sizeof head);
        GRD_init(&head);
        head.domain = pd;
        ASSERT_EQ(GRD_piece_setup(&head, 3, 2, nullptr), 0);
        EXPECT_EQ(head.domain.nx, 13);
        EXPECT_EQ(head.domain.ny, 7);
        for (auto [i, j] : {std::pair{0, 0}, {4, 3}, {2, 1}}) {
            const auto p = point_of(pd, i, j);
            const auto m = point_of(head.domain, i, j);
            EXPECT_NEAR(m.first, p.first, 1e-3) << reference << " " << i << "," << j;
            EXPECT_NEAR(m.second, p.second, 1e-3) << reference << " " << i << "," << j;
        }
        if (reference) {
            EXPECT_NEAR(head.domain.clat, 45.0f, 1e-3);
            EXPECT_NEAR(head.domain.clon, -95.0f, 1e-3);
            const auto far = point_of(head.domain, 12, 6);
            const auto want = point_of(whole, 12, 6);
            EXPECT_NEAR(far.first, want.first, 1e-3);
            EXPECT_NEAR(far.second, want.second, 1e-3);
        }
    }
}

// ---- Finite differences ------------------------------------------------------------

// NumPy reference of every operator over fields u, v, z: np.gradient with
// one-sided first differences at the edges, and second differences whose edge
// values repeat their neighbours'.
const char *kDiffScript = R"(
import sys, numpy as np
lines = sys.stdin.read().split('\n')
h = lines[0].split()
nx, ny, proj = int(h[0]), int(h[1]), int(h[2])
dx, dy, clat, p2 = map(float, h[3:7])
u, v, z = (np.array(lines[1 + k].split(), dtype=float).reshape(ny, nx) for k in range(3))
if proj == 2:
    lat = clat - dy * (ny - 1) / 2 + dy * (ny - 1 - np.arange(ny))
    DX = 1.11195 * dx * np.cos(np.radians(lat))
    DY = 1.11195 * dy
else:
    s = 1.0 if p2 == -9999 else p2
    DX = np.full(ny, dx * s)
    DY = dy * s
ddx = lambda a: np.gradient(a, axis=1) / DX[:, None]
ddy = lambda a: -np.gradient(a, axis=0) / DY
def d2(a, axis):
    d = np.diff(a, 2, axis=axis)
    return np.concatenate([np.take(d, [0], axis=axis), d, np.take(d, [-1], axis=axis)], axis=axis)
out = {
    'dx': ddx(z), 'dy': ddy(z),
    'lap': d2(z, 1) / DX[:, None] ** 2 + d2(z, 0) / DY ** 2,
    'conv': -(ddx(u) + ddy(v)), 'convz': -(ddx(u) + ddy(v)) * z,
    'vort': ddx(v) - ddy(u), 'def1': ddx(u) - ddy(v), 'def2': -(ddx(v) + ddy(u)),
    'adv': -u * ddx(z) - v * ddy(z),
}
for k, a in out.items():
    print(k, ' '.join(repr(x) for x in a.ravel()))
)";

void compare_with_numpy(const Domain &d) {
    Grid u(d), v(d), z(d);
    u.fill([](int i, int j) { return 10.0 * std::sin(0.21 * i + 0.1) * std::cos(0.17 * j); });
    v.fill([](int i, int j) { return 5.0 + 0.3 * i - 0.2 * j + 0.01 * i * j; });
    z.fill([](int i, int j) {
        return 5400.0 + 30.0 * std::cos(0.15 * i) * std::sin(0.25 * j + 0.3) + 0.2 * i * i;
    });
    std::ostringstream in;
    in.precision(17);
    in << d.nx << ' ' << d.ny << ' ' << d.proj << ' ' << double(d.dx) << ' ' << double(d.dy) << ' '
       << double(d.clat) << ' ' << double(d.param[2]) << '\n'
       << values_text(u) << values_text(v) << values_text(z);
    const auto ref = python(kDiffScript, in.str());
    const std::size_t n = u.v.size();
    struct Op {
        const char *name;
        int (*run)(Grid &, Grid &, Grid &, GRD_report *);
    } ops[] = {
        {"dx", [](Grid &, Grid &, Grid &z, GRD_report *o) { return GRD_dx(&z.r, o); }},
        {"dy", [](Grid &, Grid &, Grid &z, GRD_report *o) { return GRD_dy(&z.r, o); }},
        {"lap", [](Grid &, Grid &, Grid &z, GRD_report *o) { return GRD_laplacian(&z.r, o); }},
        {"conv",
         [](Grid &u, Grid &v, Grid &, GRD_report *o) { return GRD_converge(&u.r, &v.r, nullptr, o); }},
        {"convz", [](Grid &u, Grid &v, Grid &z, GRD_report *o) { return GRD_converge(&u.r, &v.r, &z.r, o); }},
        {"vort", [](Grid &u, Grid &v, Grid &, GRD_report *o) { return GRD_vorticity(&u.r, &v.r, o); }},
        {"def1", [](Grid &u, Grid &v, Grid &, GRD_report *o) { return GRD_deformation1(&u.r, &v.r, o); }},
        {"def2", [](Grid &u, Grid &v, Grid &, GRD_report *o) { return GRD_deformation2(&u.r, &v.r, o); }},
        {"adv", [](Grid &u, Grid &v, Grid &z, GRD_report *o) { return GRD_advection(&u.r, &v.r, &z.r, o); }},
    };
    for (const Op &op : ops) {
        Out out(d);
        ASSERT_EQ(op.run(u, v, z, &out.r), 0) << op.name;
        ASSERT_NE(out.r.grid, nullptr);
        expect_close(ref.at(op.name), out.r.grid, n, op.name);
    }
}

TEST(FiniteDifferences, AgreeWithNumpyOnAProjectedGrid) {
    Domain d = make_domain(4, 40.0f, -95.0f, 37, 23, 0.8f, 0.8f);
    compare_with_numpy(d);
    d.param[2] = 1.25f; // a grid scale factor lengthens every grid length
    compare_with_numpy(d);
}

TEST(FiniteDifferences, AgreeWithNumpyOnALatLonGrid) {
    compare_with_numpy(make_domain(2, 45.0f, -90.0f, 41, 31, 1.5f, 1.0f));
}

TEST(FiniteDifferences, FirstDifferenceRules) {
    const Domain d = make_domain(1, 60.0f, -105.0f, 3, 3, 1.0f, 1.0f);
    Grid z(d);
    z.fill([](int i, int) { return i; });
    Out gx(d), gy(d);
    ASSERT_EQ(GRD_dx(&z.r, &gx.r), 0);
    ASSERT_EQ(GRD_dy(&z.r, &gy.r), 0);
    for (int k = 0; k < 9; ++k) {
        EXPECT_FLOAT_EQ(gx.r.grid[k], 1.0f) << k;
        EXPECT_FLOAT_EQ(gy.r.grid[k], 0.0f) << k;
    }

    // z = i*i + 10*j on 5 columns: missing values make differences one-sided.
    Grid w(make_domain(1, 60.0f, -105.0f, 5, 3, 1.0f, 1.0f));
    w.fill([](int i, int j) { return i * i + 10 * j; });
    w.at(3, 0) = -9999.0f; // east of (2,0), west of (4,0)
    w.at(1, 1) = -9999.0f;
    w.at(1, 0) = -9999.0f; // with (3,0): (2,0) has no x neighbours
    w.at(2, 2) = -9999.0f; // (2,1) has no south neighbour
    Out ox(w.r.domain), oy(w.r.domain);
    ASSERT_EQ(GRD_dx(&w.r, &ox.r), 0);
    ASSERT_EQ(GRD_dy(&w.r, &oy.r), 0);
    EXPECT_FLOAT_EQ(ox.at(2, 0), 0.0f);                   // both neighbours missing
    EXPECT_FLOAT_EQ(ox.at(4, 0), 0.0f);                   // west missing, east edge
    EXPECT_FLOAT_EQ(ox.at(0, 1), 0.0f);                   // east missing: (z0 - z0)/1 at the west edge
    EXPECT_FLOAT_EQ(ox.at(2, 1), 9.0f - 4.0f);            // west missing: one-sided east
    EXPECT_FLOAT_EQ(ox.at(3, 2), 16.0f - 9.0f);           // west missing
    EXPECT_FLOAT_EQ(ox.at(3, 1), (26.0f - 14.0f) / 2.0f); // centred
    EXPECT_FLOAT_EQ(ox.at(1, 2), 1.0f);                   // east missing: one-sided west
    EXPECT_EQ(ox.at(1, 1), -9999.0f);
    EXPECT_EQ(oy.at(1, 1), -9999.0f);
    EXPECT_FLOAT_EQ(oy.at(2, 1), 4.0f - 14.0f); // northward: north minus here
    EXPECT_FLOAT_EQ(oy.at(0, 1), -10.0f);
    EXPECT_FLOAT_EQ(oy.at(0, 0), -10.0f);
    EXPECT_FLOAT_EQ(oy.at(4, 2), -10.0f);

    // A grid scale factor of 2 halves the derivatives.
    Domain lc = make_domain(4, 40.0f, -95.0f, 3, 3, 1.0f, 1.0f);
    lc.param[2] = 2.0f;
    Grid s(lc);
    s.fill([](int i, int j) { return i + 3 * j; });
    Out sx(lc), sy(lc);
    GRD_dx(&s.r, &sx.r);
    GRD_dy(&s.r, &sy.r);
    EXPECT_FLOAT_EQ(sx.at(1, 1), 0.5f);
    EXPECT_FLOAT_EQ(sy.at(1, 1), -1.5f);
}

TEST(FiniteDifferences, LatLonSpacingAndPoleRow) {
    // Rows at 90, 60 and 30 degrees.
    const Domain d = make_domain(2, 60.0f, 0.0f, 4, 3, 1.0f, 30.0f);
    Grid z(d), u(d, 3.0f), v(d, 1.0f);
    z.fill([](int i, int j) { return i + j; });
    Out gx(d), gy(d), lap(d);
    GRD_dx(&z.r, &gx.r);
    GRD_dy(&z.r, &gy.r);
    GRD_laplacian(&z.r, &lap.r);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(gx.at(i, 0), -9999.0f);
        EXPECT_EQ(lap.at(i, 0), -9999.0f);
        EXPECT_FLOAT_EQ(gy.at(i, 0), -1.0f / (1.11195f * 30.0f)); // still computed
        EXPECT_NEAR(gx.at(i, 1), 1.0 / 0.555975, 1e-4);           // 1 degree at 60N
    }
    for (auto op :
         {+[](Grid &u, Grid &v, Grid &z, GRD_report *o) { return GRD_converge(&u.r, &v.r, &z.r, o); },
          +[](Grid &u, Grid &v, Grid &, GRD_report *o) { return GRD_vorticity(&u.r, &v.r, o); },
          +[](Grid &u, Grid &v, Grid &, GRD_report *o) { return GRD_deformation1(&u.r, &v.r, o); },
          +[](Grid &u, Grid &v, Grid &, GRD_report *o) { return GRD_deformation2(&u.r, &v.r, o); },
          +[](Grid &u, Grid &v, Grid &z, GRD_report *o) { return GRD_advection(&u.r, &v.r, &z.r, o); }}) {
        Out o(d);
        ASSERT_EQ(op(u, v, z, &o.r), 0);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(o.at(i, 0), -9999.0f);
            EXPECT_NE(o.at(i, 1), -9999.0f);
        }
    }
}

TEST(FiniteDifferences, LaplacianEdgesAndShortGrids) {
    const Domain d = make_domain(1, 60.0f, -105.0f, 4, 3, 1.0f, 1.0f);
    Grid z(d);
    z.fill([](int i, int) { return i * i; });
    Out lap(d);
    ASSERT_EQ(GRD_laplacian(&z.r, &lap.r), 0);
    for (int k = 0; k < 12; ++k)
        EXPECT_FLOAT_EQ(lap.r.grid[k], 2.0f) << k;

    // Two rows: no second difference in y anywhere.
    Grid two(make_domain(1, 60.0f, -105.0f, 4, 2, 1.0f, 1.0f));
    two.fill([](int i, int) { return i * i; });
    Out l2(two.r.domain);
    ASSERT_EQ(GRD_laplacian(&two.r, &l2.r), 0);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(l2.r.grid[k], -9999.0f) << k;

    // z = i*i + j*j on 6 x 6 with holes: a second difference turns one-sided
    // next to a missing value, and is missing without two values on one side.
    Grid h(make_domain(1, 60.0f, -105.0f, 6, 6, 1.0f, 1.0f));
    h.fill([](int i, int j) { return i * i + j * j; });
    h.at(2, 2) = -9999.0f;
    h.at(0, 5) = -9999.0f;
    Out lh(h.r.domain);
    ASSERT_EQ(GRD_laplacian(&h.r, &lh.r), 0);
    struct Case {
        int i, j;
        float want;
    } cases[] = {
        {2, 2, -9999.0f}, // its own value missing
        {3, 2, 4.0f},     // west missing: columns 3, 4, 5
        {1, 2, -9999.0f}, // east missing and only one column west
        {2, 3, 4.0f},     // north missing: rows 3, 4, 5
        {2, 1, -9999.0f}, // south missing and only one row north
        {0, 4, 4.0f},     // south missing: rows 4, 3, 2
        {5, 5, 4.0f},     // corner: both one-sided
    };
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(lh.at(c.i, c.j), c.want) << c.i << "," << c.j;
}

TEST(FiniteDifferences, WindOperatorsOnUniformAndMissingWinds) {
    const Domain d = make_domain(1, 60.0f, -105.0f, 4, 4, 1.0f, 1.0f);
    Grid u(d, 7.0f), v(d, -3.0f), z(d, 2.0f);
    Out c(d);
    ASSERT_EQ(GRD_converge(&u.r, &v.r, nullptr, &c.r), 0);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(c.r.grid[k], 0.0f);
    u.at(1, 1) = -9999.0f;
    z.at(2, 2) = -9999.0f;
    Out cz(d), a(d), vo(d);
    GRD_converge(&u.r, &v.r, &z.r, &cz.r);
    GRD_advection(&u.r, &v.r, &z.r, &a.r);
    GRD_vorticity(&u.r, &v.r, &vo.r);
    EXPECT_EQ(cz.at(1, 1), -9999.0f);
    EXPECT_EQ(cz.at(2, 2), -9999.0f);
    EXPECT_EQ(a.at(1, 1), -9999.0f);
    EXPECT_EQ(a.at(2, 2), -9999.0f);
    EXPECT_EQ(vo.at(1, 1), -9999.0f);
    EXPECT_EQ(vo.at(2, 2), 0.0f);
    EXPECT_EQ(cz.at(3, 3), 0.0f);
}

TEST(FiniteDifferences, RefuseMismatchedOrMissingGrids) {
    const Domain d = make_domain(1, 60.0f, -105.0f, 4, 4, 1.0f, 1.0f);
    Grid u(d, 1.0f), small(make_domain(1, 60.0f, -105.0f, 3, 4, 1.0f, 1.0f), 1.0f);
    Grid out(d, 42.0f);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GRD_vorticity(&u.r, &small.r, &out.r), -1);
    EXPECT_EQ(GRD_advection(&u.r, &u.r, &small.r, &out.r), -1);
    EXPECT_EQ(GRD_dx(&small.r, &out.r), -1); // the output's array is too small
    EXPECT_EQ(GRD_correct_UV(&u.r, &small.r), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("GRD_vorticity: "), std::string::npos);
    EXPECT_NE(err.find("GRD_dx: "), std::string::npos);
    for (float x : out.v)
        EXPECT_EQ(x, 42.0f);

    Out o(d);
    GRD_report none = u.r;
    none.grid = nullptr;
    EXPECT_EQ(GRD_dx(&none, &o.r), -1);
    EXPECT_EQ(GRD_laplacian(&none, &o.r), -1);
    EXPECT_EQ(GRD_converge(&u.r, &none, nullptr, &o.r), -1);
    EXPECT_EQ(GRD_dy(&u.r, nullptr), -1);
    EXPECT_EQ(GRD_coriolis(&none, "add"), -1);
    EXPECT_EQ(GRD_point_locate(&none, "lat"), -1);
    EXPECT_EQ(o.r.grid, nullptr);
}

TEST(FiniteDifferences, OutputMayBeTheInput) {
    const Domain d = make_domain(1, 60.0f, -105.0f, 6, 5, 1.0f, 1.0f);
    Grid z(d);
    z.fill([](int i, int j) { return i * i + 3 * j; });
    Out separate(d);
    GRD_laplacian(&z.r, &separate.r);
    float *before = z.r.grid;
    ASSERT_EQ(GRD_laplacian(&z.r, &z.r), 0);
    EXPECT_EQ(z.r.grid, before);
    for (std::size_t k = 0; k < z.v.size(); ++k)
        EXPECT_EQ(z.v[k], separate.r.grid[k]);
}

TEST(FiniteDifferences, CoriolisCombinations) {
    // Rows at 60, 30 and 0 degrees.
    const Domain d = make_domain(2, 30.0f, 10.0f, 2, 3, 1.0f, 30.0f);
    const double f30 = 14.584 * std::sin(30.0 * kDeg);
    struct Case {
        const char *oper;
        double want; // at 30N from a value of 2
    } cases[] = {{"add", 2.0 + f30}, {"SUB", 2.0 - f30}, {"sub-", f30 - 2.0},
                 {"mul", 2.0 * f30}, {"div", 2.0 / f30}, {"div-", f30 / 2.0}};
    for (const Case &c : cases) {
        Grid g(d, 2.0f);
        g.at(0, 1) = -9999.0f;
        ASSERT_EQ(GRD_coriolis(&g.r, c.oper), 0) << c.oper;
        EXPECT_NEAR(g.at(1, 1), c.want, 1e-5) << c.oper;
        EXPECT_EQ(g.at(0, 1), -9999.0f) << c.oper;
    }
    // No Coriolis parameter on the equator to divide by.
    Grid g(d, 2.0f);
    GRD_coriolis(&g.r, "div");
    EXPECT_EQ(g.at(0, 2), -9999.0f);
    EXPECT_EQ(GRD_coriolis(&g.r, "pow"), -1);
    EXPECT_FLOAT_EQ(g.at(0, 0), float(2.0 / (14.584 * std::sin(60.0 * kDeg))));

    // A projected grid: the centre point lies at the centre latitude.
    const Domain ps = make_domain(1, 50.0f, -100.0f, 5, 5, 2.0f, 2.0f);
    Grid p(ps, 1.0f), lat(ps, 0.0f);
    GRD_coriolis(&p.r, "mul");
    GRD_point_locate(&lat.r, "lat");
    EXPECT_NEAR(p.at(2, 2), 14.584 * std::sin(50.0 * kDeg), 1e-4);
    for (std::size_t k = 0; k < p.v.size(); ++k)
        EXPECT_NEAR(p.v[k], 14.584 * std::sin(lat.v[k] * kDeg), 1e-4);
}

TEST(FiniteDifferences, PointCoordinates) {
    // Columns at 173E, 178E and 183E, across the date line.
    const Domain d = make_domain(2, 10.0f, 178.0f, 3, 2, 5.0f, 2.0f);
    Grid lon(d), lat(d), px(d), py(d);
    lat.at(1, 1) = -9999.0f;
    lon.r.var = 11;
    ASSERT_EQ(GRD_point_locate(&lon.r, "LON"), 0);
    ASSERT_EQ(GRD_point_locate(&lat.r, "lat"), 0);
    ASSERT_EQ(GRD_point_locate(&px.r, "projx"), 0);
    ASSERT_EQ(GRD_point_locate(&py.r, "projy"), 0);
    EXPECT_NEAR(lon.at(0, 0), 173.0f, 1e-4);
    EXPECT_NEAR(lon.at(1, 0), 178.0f, 1e-4);
    EXPECT_NEAR(lon.at(2, 1), -177.0f, 1e-4);
    EXPECT_NEAR(lat.at(0, 0), 11.0f, 1e-4);
    EXPECT_NEAR(lat.at(2, 1), 9.0f, 1e-4);
    EXPECT_EQ(lat.at(1, 1), -9999.0f);
    EXPECT_NEAR(px.at(0, 0), -5.0f, 1e-4);
    EXPECT_NEAR(py.at(0, 0), 11.0f, 1e-4);
    EXPECT_EQ(lon.r.var, 0);
    EXPECT_STREQ(lon.r.info, "Longitude (deg)");
    EXPECT_STREQ(lon.r.units, "deg");
    EXPECT_STREQ(lat.r.info, "Latitude (deg)");
    EXPECT_STREQ(px.r.info, "Projection X");
    EXPECT_STREQ(py.r.units, "");
    EXPECT_EQ(GRD_point_locate(&lon.r, "height"), -1);
    EXPECT_STREQ(lon.r.info, "Longitude (deg)");
}

TEST(FiniteDifferences, WindTurnedToGridAxes) {
    // Latitude-longitude: unchanged but for calm points.
    const Domain ll = make_domain(2, 40.0f, -100.0f, 2, 1, 1.0f, 1.0f);
    Grid u(ll), v(ll);
    u.set({3.0f, 0.003f});
    v.set({-4.0f, 0.004f});
    ASSERT_EQ(GRD_correct_UV(&u.r, &v.r), 0);
    EXPECT_NEAR(u.v[0], 3.0f, 1e-5);
    EXPECT_NEAR(v.v[0], -4.0f, 1e-5);
    EXPECT_NEAR(u.v[1], 0.0f, 1e-7);
    EXPECT_NEAR(v.v[1], -0.005f, 1e-7);

    // Polar stereographic about 100W: on the 100W meridian grid north is true
    // north; 90 degrees east of it (10E) true north points to grid west.
    Domain ps = make_domain(1, 60.0f, -100.0f, 3, 1, 1.0f, 1.0f);
    ps.plat = 90.0f;
    ps.plon = -100.0f;
    const Domain current = make_domain(3, 0.0f, 0.0f, 10, 10, 1.0f, 1.0f);
    MAP_domain(&current);
    Grid su(ps), sv(ps);
    su.set({0.0f, 0.0f, -9999.0f});
    sv.set({10.0f, 10.0f, 10.0f}); // southerlies
    ASSERT_EQ(GRD_correct_UV(&su.r, &sv.r), 0);
    EXPECT_NEAR(su.v[1], 0.0f, 1e-4); // the centre column is on 100W
    EXPECT_NEAR(sv.v[1], 10.0f, 1e-4);
    EXPECT_EQ(sv.v[2], 10.0f); // left alone
    EXPECT_EQ(MAP_get_proj(), 3);

    Domain east = ps;
    east.clon = -10.0f;
    Grid eu(east), ev(east);
    eu.set({0.0f, 0.0f, 0.0f});
    ev.set({10.0f, 10.0f, 10.0f});
    GRD_correct_UV(&eu.r, &ev.r);
    EXPECT_NEAR(eu.v[1], -10.0f, 1e-3);
    EXPECT_NEAR(ev.v[1], 0.0f, 1e-3);
}

} // namespace

// ---- Grid files: choice, specs, search, reading and saving -------------------------

namespace {

using zeqtest::read_file;
using zeqtest::write_file;

// One grid of a native file written by a test.
struct FileGrid {
    int var = 11, ltype = 100, level = 500, time = 12, type = 0;
    std::string units = "K";
    Domain domain;
    std::vector<float> values;
};

Domain small_ll(int nx = 3, int ny = 2) {
    return make_domain(2, 40.0f, -100.0f, nx, ny, 1.0f, 1.0f);
}

FileGrid file_grid(int var, int ltype, int level, std::vector<float> values, Domain d = small_ll()) {
    FileGrid g;
    g.var = var;
    g.ltype = ltype;
    g.level = level;
    g.domain = d;
    g.values = std::move(values);
    return g;
}

void write_native(const std::string &name, const std::vector<FileGrid> &grids, int type = 2) {
    int t = type;
    const int fd = GRD_open(name.c_str(), 1, &t);
    ASSERT_GE(fd, 0) << name;
    GRD_info info{};
    GRD_putinfo(fd, &info);
    for (const FileGrid &fg : grids) {
        GRD_report r{};
        GRD_init(&r);
        r.source = 1;
        r.model = 1;
        r.var = fg.var;
        r.ltype = fg.ltype;
        r.level = fg.level;
        r.time = fg.time;
        r.type = fg.type;
        std::snprintf(r.units, sizeof r.units, "%s", fg.units.c_str());
        std::snprintf(r.datim, sizeof r.datim, "12Z  5 JAN 24");
        std::snprintf(r.info, sizeof r.info, "grid %d", fg.var);
        r.domain = fg.domain;
        std::vector<float> v = fg.values;
        r.grid = v.data();
        int num = 0;
        ASSERT_EQ(GRD_write(fd, &r, 0, &num), 0);
    }
    GRD_close(fd);
}

// The file-name template of the current name convention.
std::string current_template() {
    char conv[FILE_NAME_SIZE];
    FILE_get_name_conv(conv, sizeof conv);
    std::istringstream in(conv);
    std::string late, tpl;
    in >> late >> tpl;
    return tpl;
}

VAR_data search_spec() {
    VAR_data v;
    VAR_data_init(&v);
    return v;
}

// Entry i of the variable list: a contoured grid of one parameter.
void set_variable(int i, int var, int ltype, int level, int time, const char *units = "") {
    VAR_data *v = VAR_get_var(i);
    VAR_data_init(v);
    std::snprintf(v->name, sizeof v->name, "v%d", var);
    v->type = 11;
    v->flag = 0;
    v->var[0] = var;
    v->ltype = ltype;
    v->level = level;
    v->time = time;
    std::snprintf(v->units, sizeof v->units, "%s", units);
}

Date jan5() {
    Date d;
    DATE_init(&d);
    d.year = 2024;
    d.month = 1;
    d.day = 5;
    d.hour = 12;
    return d;
}

TEST(GridFileChoice, OutFileWordsChooseKindAndConvention) {
    struct Case {
        const char *out_file;
        int type_in;
        int type;
        const char *tpl;
        int flag17;
    };
    const Case cases[] = {
        {"gif,zeqb", 0, 3, "%G/%y%m%d%h_%v_%l_%f.grd", 3},
        {"zeq:mine_%y", 0, 2, "mine_%y", 2},
        {"mine_%y", 0, 2, "mine_%y", 2},
        {"none", 0, 0, "%G/%y%m%d%h_%v_%l_%f.grd", MISSING},
        {"none", 3, 3, "%G/%y%m%d%h_%v_%l_%f.grd", 3},
        {"cdf", 0, 11, "%G/%y%m%d%h_%v_%l_%f.nc", 11},
        {"grib:g_%y", 0, 21, "g_%y", 21},
        {"ZEQB:abc", 0, 3, "abc", 3},
        {"zeq,cdf", 0, 11, "%G/%y%m%d%h_%v_%l_%f.nc", 11},
        {"cdf,mine", 0, 11, "mine", 11}, // a keyword decides the type
    };
    for (const Case &c : cases) {
        auto r = run_child([&] {
            RES_put("file_path", ZEQ_SOURCE_DIR "/data");
            RES_put("out_file", c.out_file);
            const int type = GRD_out_file(c.type_in);
            std::printf("%d %s %d\n", type, current_template().c_str(), FLAG_get(17));
            return 0;
        });
        EXPECT_EQ(r.out, std::to_string(c.type) + " " + c.tpl + " " + std::to_string(c.flag17) + "\n")
            << c.out_file;
    }
}

TEST(GridFileChoice, ModelMosaicFromTheModelTable) {
    TempDir dir;
    write_file(dir.file("model.lup"), "# models\n"
                                      "ngm 1x1 grib_ngm\n"
                                      "other 3x1 x,y,z\n"
                                      "eta 2x2 a,b#104,c,d\n"
                                      "long 1x1 a_name_of_25_characters\n");
    auto r = run_child([&] {
        RES_put("file_path", dir.path().c_str());
        RES_put("model", "ETA");
        RES_put("grid_num", "#2");
        GRD_in_file();
        const grd_int::GRD_mosaic &m = grd_int::GRD_get_mosaic();
        std::printf("%d %dx%d %s|", m.nspec, m.nx, m.ny, current_template().c_str());
        for (int i = 0; i < m.nspec; ++i)
            std::printf("%d,%d,%s,%d ", m.grid_spec[i].x, m.grid_spec[i].y, m.grid_spec[i].name,
                        m.grid_spec[i].type);
        std::printf("|%s|%s\n", VAR_get_model_str(), FILE_get_ext_info());
        return 0;
    });
    EXPECT_EQ(r.out, "4 2x2 a|0,0,a,-9999 1,0,b,104 0,1,c,-9999 1,1,d,-9999 |ETA|#2\n") << r.err;
    // Piece names are cut to their 19 characters, with a warning.
    r = run_child([&] {
        RES_put("file_path", dir.path().c_str());
        RES_put("model", "long");
        GRD_in_file();
        std::printf("%s\n", grd_int::GRD_get_mosaic().grid_spec[0].name);
        return 0;
    });
    EXPECT_EQ(r.out, "a_name_of_25_charac\n");
    EXPECT_NE(r.err.find("GRD_in_file: Piece name too long: a_name_of_25_characters"), std::string::npos);
}

TEST(GridFileChoice, ShippedModelTable) {
    auto r = run_child([&] {
        RES_put("file_path", ZEQ_SOURCE_DIR "/data");
        GRD_in_file();
        std::printf("%s %d|", VAR_get_model_str(), grd_int::GRD_get_mosaic().nspec);
        RES_put("model", "avn_glob");
        RES_put("grid_type", "7"); // the piece's own types win
        GRD_in_file();
        const grd_int::GRD_mosaic &m = grd_int::GRD_get_mosaic();
        std::printf("%d %dx%d ", m.nspec, m.nx, m.ny);
        for (int i = 0; i < m.nspec; ++i)
            std::printf("%d%d:%d ", m.grid_spec[i].x, m.grid_spec[i].y, m.grid_spec[i].type);
        std::printf("%s\n", current_template().c_str());
        return 0;
    });
    EXPECT_EQ(r.out, "eta 0|4 2x2 00:22 10:21 01:24 11:23 %M/%y%m%d%h_%e.grib\n") << r.err;
}

TEST(GridFileChoice, ModelsWithoutAnEntry) {
    struct Case {
        const char *model;
        int flag4;
        const char *file;
    };
    const Case cases[] = {{"sca", 33, "24010512_sca.grib"},
                          {"foo", MISSING, "24010512_foo.grib"},
                          {"ECMWF", 20, "24010512_ECMWF.grib"}};
    for (const Case &c : cases) {
        auto r = run_child([&] {
            RES_put("file_path", ZEQ_SOURCE_DIR "/data");
            RES_put("model", c.model);
            RES_put("in_file", "zeq");
            GRD_in_file();
            const Date d = jan5();
            char name[FILE_NAME_SIZE];
            FILE_set_date(&d, name, sizeof name);
            std::printf("%d %d %s\n", FLAG_get(4), FLAG_get(17), name);
            return 0;
        });
        EXPECT_NE(r.out.find(std::to_string(c.flag4) + " 3 "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.file), std::string::npos) << r.out;
    }
    // Without the table the default model is ngm; the input words set the
    // grid file kind.
    auto r = run_child([&] {
        TempDir empty;
        RES_put("file_path", empty.path().c_str());
        RES_put("input", "grib");
        GRD_in_file();
        std::printf("%s %d %d\n", VAR_get_model_str(), FLAG_get(4), FLAG_get(17));
        return 0;
    });
    EXPECT_EQ(r.out, "ngm 2 23\n");
}

TEST(GridFileChoice, GridSpecs) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    struct Case {
        const char *spec;
        int result;
        int time, ltype, level, var0;
        const char *units;
        int type;
    };
    VAR_data ref = search_spec();
    VAR_dec_time("12", &ref.time);
    VAR_dec_level("500mb", &ref.ltype, &ref.level);
    const Case cases[] = {
        {nullptr, MISSING, MISSING, MISSING, MISSING, MISSING, "", MISSING},
        {"", MISSING, MISSING, MISSING, MISSING, MISSING, "", MISSING},
        {"-", MISSING, MISSING, MISSING, MISSING, MISSING, "", MISSING},
        {"x", MISSING, MISSING, MISSING, MISSING, MISSING, "", MISSING},
        {"#3", 3, MISSING, MISSING, MISSING, MISSING, "", MISSING},
        {"#3:C", 3, MISSING, MISSING, MISSING, MISSING, "C", MISSING},
        {":mb", MISSING, MISSING, MISSING, MISSING, MISSING, "mb", MISSING},
        {"+12:500mb:hh", -1, ref.time, ref.ltype, ref.level, 7, "", MISSING},
        {"+12:500mb:pr:Pa:104", -1, ref.time, ref.ltype, ref.level, 1, "Pa", 104},
        {"+::RH", -1, MISSING, MISSING, MISSING, 52, "", MISSING},
        {"+::rh:a_very_long_unit_text", -1, MISSING, MISSING, MISSING, 52, "a_very_long_un", MISSING},
    };
    for (const Case &c : cases) {
        VAR_data p = search_spec();
        p.time = p.ltype = p.level = 77;
        int type = MISSING;
        EXPECT_EQ(GRD_parse_params(c.spec, &p, &type), c.result) << (c.spec ? c.spec : "null");
        EXPECT_EQ(p.time, c.time) << (c.spec ? c.spec : "null");
        EXPECT_EQ(p.ltype, c.ltype) << (c.spec ? c.spec : "null");
        EXPECT_EQ(p.level, c.level) << (c.spec ? c.spec : "null");
        EXPECT_EQ(p.var[0], c.var0) << (c.spec ? c.spec : "null");
        EXPECT_STREQ(p.units, c.units) << (c.spec ? c.spec : "null");
        EXPECT_EQ(type, c.type) << (c.spec ? c.spec : "null");
    }
    // "pr" is pressure only in lower case; other words go to the variable
    // decoder.
    VAR_data p = search_spec(), q = search_spec();
    GRD_parse_params("+::PR", &p, nullptr);
    VAR_dec_var("PR", &q);
    EXPECT_EQ(p.var[0], q.var[0]);
    // The short form: two characters each for time, level and variable.
    p = search_spec();
    EXPECT_EQ(GRD_parse_params("-12slst:F", &p, nullptr), -1);
    q = search_spec();
    VAR_dec_time("12", &q.time);
    VAR_dec_level("sl", &q.ltype, &q.level);
    EXPECT_EQ(p.time, q.time);
    EXPECT_EQ(p.ltype, q.ltype);
    EXPECT_EQ(p.level, q.level);
    EXPECT_EQ(p.var[0], 11);
    EXPECT_STREQ(p.units, "F");
    // The resource grid_type gives the type.
    RES_put("grid_type", "211");
    int type = MISSING;
    GRD_parse_params("#0", &p, &type);
    EXPECT_EQ(type, 211);
}

TEST(GridFileChoice, HeaderMatching) {
    GRD_report g{};
    GRD_init(&g);
    g.var = 11;
    g.ltype = 100;
    g.level = 500;
    g.time = 4006012; // a statistic over hours 6 to 12
    g.type = 104;
    struct Case {
        int time, ltype, level;
        std::array<int, 5> var;
        int type;
        int match;
    };
    const Case cases[] = {
        {MISSING, MISSING, MISSING, {11, MISSING, MISSING, MISSING, MISSING}, MISSING, 1},
        {MISSING, MISSING, MISSING, {MISSING, MISSING, MISSING, MISSING, MISSING}, MISSING, 0},
        {MISSING, MISSING, MISSING, {7, 33, 11, MISSING, MISSING}, MISSING, 1},
        {12, 100, 500, {11, MISSING, MISSING, MISSING, MISSING}, 104, 1},
        {12, 100, 500, {11, MISSING, MISSING, MISSING, MISSING}, 105, 0},
        {6, 100, 500, {11, MISSING, MISSING, MISSING, MISSING}, MISSING, 0},
        {4006012, MISSING, MISSING, {11, MISSING, MISSING, MISSING, MISSING}, MISSING, 1},
        {1006012, MISSING, MISSING, {11, MISSING, MISSING, MISSING, MISSING}, MISSING, 0},
        {MISSING, 105, MISSING, {11, MISSING, MISSING, MISSING, MISSING}, MISSING, 0},
        {MISSING, 100, 850, {11, MISSING, MISSING, MISSING, MISSING}, MISSING, 0},
    };
    for (const Case &c : cases) {
        VAR_data p = search_spec();
        p.time = c.time;
        p.ltype = c.ltype;
        p.level = c.level;
        for (int k = 0; k < 5; ++k)
            p.var[k] = c.var[std::size_t(k)];
        EXPECT_EQ(GRD_test(&g, &p, c.type), c.match) << c.time << " " << c.var[0] << " " << c.type;
    }
}

// ---- Saving and reuse -------------------------------------------------------------

struct SaveFixture {
    TempDir dir;
    Grid g{small_ll(), 0.0f};
    GRD_info info{};
    SaveFixture() {
        g.set({1, 2, 3, 4, 5, -9999});
        g.r.source = 1;
        g.r.var = 11;
        std::snprintf(g.r.datim, sizeof g.r.datim, "12Z  5 JAN 24");
        std::snprintf(g.r.units, sizeof g.r.units, "K");
        RES_put("grid_path", dir.path().c_str());
    }
};

TEST(GridFileSaving, TypeZeroWritesNothingAndTheGridPathIsUsed) {
    SaveFixture f;
    EXPECT_EQ(GRD_save_file("a.grd", &f.g.r, &f.info, 0), 0);
    EXPECT_FALSE(FILE_exist(f.dir.file("a.grd").c_str()));
    auto r = run_child([&] { return GRD_save_file("sub/a.grd", &f.g.r, &f.info, 3); });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Creating grid file: " + f.dir.file("sub/a.grd")), std::string::npos) << r.out;
    EXPECT_EQ(GRD_chktype(f.dir.file("sub/a.grd").c_str()), 2);
}

TEST(GridFileSaving, TheOverwriteAnswerDecides) {
    struct Case {
        const char *what;
        int file_param; // flag slot 15
        bool batch;
        const char *answer;
        int result;
        bool replaced;
        const char *message;
    };
    const Case cases[] = {
        {"file_param over", 1, false, "", 1, true, "Creating grid file"},
        {"file_param use", 3, false, "", 0, false, "GRD_save_file: Unable to overwrite grid file"},
        {"batch uses the existing file", MISSING, true, "", 0, false, "Unable to overwrite"},
        {"file_param append: not supported", 2, false, "", 0, false,
         "GRD_save_file: Unable to open grid file"},
        {"asked: yes", MISSING, false, "y\n", 1, true, "Creating grid file"},
        {"asked: no", MISSING, false, "n\n", 0, false, "Unable to overwrite"},
    };
    for (const Case &c : cases) {
        SaveFixture f;
        const std::string name = f.dir.file("x.grd");
        write_file(name, "old");
        auto r = run_child(
            [&] {
                FLAG_set(15, c.file_param);
                if (c.batch) FLAG_set(19, 1);
                return GRD_save_file("x.grd", &f.g.r, &f.info, 2);
            },
            zeqtest::ChildInput{c.answer});
        EXPECT_EQ(r.status, c.result) << c.what;
        EXPECT_EQ(read_file(name) != "old", c.replaced) << c.what;
        EXPECT_NE((r.out + r.err).find(c.message), std::string::npos) << c.what << ": " << r.out << r.err;
    }
}

TEST(GridFileSaving, FormatsThatCannotBeWrittenFail) {
    SaveFixture f;
    // GRID code is read only.
    auto r = run_child([&] { return GRD_save_file("x.grid", &f.g.r, &f.info, 22); });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("GRD_save_file: Unable to create grid file: " + f.dir.file("x.grid")),
              std::string::npos)
        << r.err;
    GRD_report none{};
    EXPECT_EQ(GRD_save_file("y.grd", &none, &f.info, 2), 0) << "no values";
}

TEST(GridFileSaving, OpenOutFileTellsItsThreeAnswersApart) {
    SaveFixture f;
    EXPECT_EQ(GRD_open_out_file("a.grd", 0), MISSING);
    const int fd = GRD_open_out_file("a.grd", 2);
    EXPECT_EQ(fd, 0) << "the first slot";
    EXPECT_EQ(GRD_save_grid(fd, &f.g.r, &f.info), 0);
    EXPECT_EQ(GRD_get_gfile(0), nullptr) << "closed";
    FLAG_set(15, 3);
    EXPECT_EQ(GRD_open_out_file("a.grd", 2), -1) << "refused";
    FLAG_set(15, 1);
    EXPECT_EQ(GRD_open_out_file("a.grd/under_a_file", 2), -1) << "cannot be created";
    Grid back(small_ll());
    GRD_info info{};
    int type = 0;
    ASSERT_EQ(GRD_read_file(f.dir.file("a.grd").c_str(), &back.r, &info, &type), 1);
    EXPECT_EQ(back.r.grid[4], 5.0f);
    std::free(back.r.grid);
}

TEST(GridFileSaving, ReadCheckReusesOnlyTheSameDomain) {
    SaveFixture f;
    const std::string name = f.dir.file("c.grd");
    ASSERT_EQ(GRD_save_file("c.grd", &f.g.r, &f.info, 3), 1);
    struct Case {
        const char *what;
        int file_param;
        bool batch;
        const char *answer;
        bool same_domain;
        int result;
        const char *message;
    };
    const Case cases[] = {
        {"flag unset: reused without asking", MISSING, false, "", true, 1, ""},
        {"another domain", MISSING, false, "", false, 0, "c.grd file does not correspond to selected region"},
        {"file parameter over: made anew", 1, false, "", true, 0, ""},
        {"asked, yes: made anew", 0, false, "y\n", true, 0, "exists overwrite (Y/N): "},
        {"asked, no: reused", 0, false, "n\n", true, 1, "exists overwrite (Y/N): "},
        {"batch: reused without asking", 0, true, "y\n", true, 1, ""},
    };
    for (const Case &c : cases) {
        auto r = run_child(
            [&] {
                FLAG_set(15, c.file_param);
                if (c.batch) FLAG_set(19, 1);
                Domain want = small_ll();
                if (!c.same_domain) want.dx = 0.5f;
                GRD_report g{};
                GRD_init(&g);
                g.grid = static_cast<float *>(std::malloc(sizeof(float))); // from an earlier frame
                g.source = 1;
                GRD_info info{};
                int type = 5;
                const int rc = GRD_read_check(name.c_str(), &g, &info, &type, &want);
                const bool untouched = c.file_param == 1 || c.answer[0] == 'y';
                if (rc == 1) {
                    if (type != 2 || g.grid == nullptr || g.grid[4] != 5.0f || g.source != 1) return 10;
                    if (std::strcmp(info.datim, "12Z  5 JAN 24") != 0) return 11;
                } else if (untouched ? g.source != 1 || g.grid == nullptr
                                     : g.source != 0 || g.grid != nullptr) {
                    return 12;
                }
                std::free(g.grid);
                return rc;
            },
            zeqtest::ChildInput{c.answer});
        EXPECT_EQ(r.status, c.result) << c.what << ": " << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.message), std::string::npos) << c.what << ": " << r.out << r.err;
    }
    GRD_report g{};
    GRD_info info{};
    int type = 0;
    Domain d = small_ll();
    EXPECT_EQ(GRD_read_check("", &g, &info, &type, &d), 0);
    EXPECT_EQ(GRD_read_check(f.dir.file("none.grd").c_str(), &g, &info, &type, &d), 0);
    EXPECT_EQ(GRD_read_check("-", &g, &info, &type, &d), 0);
}

// ---- Reading single grids and domains ------------------------------------------------

// The sanitizer build reports any array released twice, used after release
// or never released, so every path below must free exactly the owned arrays.
TEST(GridTable, ReleaseFreesOnlyTheArraysSlotsOwn) {
    const Domain d = small_ll();
    GRD_report *s0 = GRD_get_grid(0), *s1 = GRD_get_grid(1), *s2 = GRD_get_grid(2);
    s0->domain = s1->domain = d;

    // Allocated for the slot: owned.
    GRD_alloc_grid(0);
    ASSERT_NE(s0->grid, nullptr);
    std::fill(s0->grid, s0->grid + 6, 5.0f);

    // A copy into another slot shares; releasing the copy only forgets it.
    GRD_copy(s1, s0);
    EXPECT_EQ(GRD_release_grid(1), 0);
    EXPECT_EQ(s1->grid, nullptr);
    EXPECT_EQ(s0->grid[5], 5.0f);

    // A caller's array set into a slot stays the caller's.
    std::vector<float> mine(6, 7.0f);
    GRD_report local = *s0;
    local.grid = mine.data();
    GRD_set_grid(2, &local);
    GRD_release_grid(2);
    EXPECT_EQ(s2->grid, nullptr);

    // A move hands the ownership over with the array.
    GRD_move(s1, s0);
    GRD_release_grid(0);
    EXPECT_EQ(s1->grid[0], 5.0f);
    GRD_release_grid(1);

    // A slot that was given another array by a copy no longer owns its old one.
    GRD_alloc_grid(0);
    float *first = s0->grid;
    s1->domain = d;
    GRD_alloc_grid(1);
    std::fill(s1->grid, s1->grid + 6, 9.0f);
    GRD_copy(s0, s1);
    GRD_release_grid(0);
    EXPECT_EQ(s1->grid[0], 9.0f);
    GRD_release_grid(1);
    std::free(first);

    // An array a grid-file read allocated into a slot is the slot's.
    TempDir dir;
    const std::string name = dir.file("one.grd");
    write_native(name, {file_grid(11, 100, 500, {1, 2, 3, 4, 5, 6})});
    GRD_info info{};
    int type = 0;
    ASSERT_EQ(GRD_read_file(name.c_str(), GRD_get_grid(3), &info, &type), 1);
    EXPECT_EQ(GRD_get_grid(3)->grid[5], 6.0f);
    GRD_release_grid(3);
    EXPECT_EQ(GRD_get_grid(3)->grid, nullptr);

    EXPECT_EQ(GRD_release_grid(VAR_MAX), -1);
}

TEST(GridFileReading, GridSpecsChooseTheGrid) {
    TempDir dir;
    const std::string name = dir.file("multi.grd");
    write_native(name, {file_grid(7, 100, 850, {1, 2, 3, 4, 5, 6}),
                        file_grid(11, 100, 500, {250, 251, 252, 253, 254, 255}),
                        file_grid(11, 100, 850, {270, 271, 272, 273, 274, 275})});
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    auto read = [&](const std::string &spec, int *result) {
        Grid g(small_ll());
        GRD_info info{};
        int type = 0;
        *result = GRD_read_file((name + spec).c_str(), &g.r, &info, &type);
        const float v = *result == 1 ? g.r.grid[0] : FMISSING;
        if (*result == 1) std::free(g.r.grid);
        return v;
    };
    int rc = 0;
    EXPECT_EQ(read("", &rc), 1.0f);
    EXPECT_EQ(read("#2", &rc), 270.0f);
    EXPECT_NEAR(read("#2:C", &rc), 270.0f - 273.15f, 1e-3);
    EXPECT_EQ(read("+:850mb:st", &rc), 270.0f);
    EXPECT_EQ(read("+:500mb:st", &rc), 250.0f);
    auto r = run_child([&] {
        int result = 0;
        read("+:700mb:st", &result);
        return result;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("GRD_read_file: Grid not found in file"), std::string::npos);
    r = run_child([&] {
        int result = 0;
        read("#9", &result);
        return result;
    });
    EXPECT_EQ(r.status, 0);
    r = run_child([&] {
        Grid g(small_ll());
        GRD_info info{};
        int type = 0;
        return GRD_read_file(dir.file("absent.grd").c_str(), &g.r, &info, &type) == -1 ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("GRD_read_file: Unable to open grid file: " + dir.file("absent.grd")),
              std::string::npos);
}

TEST(GridFileReading, DomainOfAFile) {
    TempDir dir;
    const std::string name = dir.file("dom.grd");
    FileGrid a = file_grid(7, 100, 850, {1, 2, 3, 4, 5, 6});
    a.type = 211;
    FileGrid b = file_grid(7, 100, 850, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, small_ll(4, 3));
    b.type = 212;
    write_native(name, {a, b});
    Domain d;
    DOM_init(&d);
    EXPECT_EQ(GRD_get_file_domain(name.c_str(), &d), 1);
    EXPECT_EQ(d.nx, 3);
    RES_put("grid_type", "212");
    EXPECT_EQ(GRD_get_file_domain(name.c_str(), &d), 1);
    EXPECT_EQ(d.nx, 4);
    RES_put("grid_type", "213");
    d.nx = 99;
    EXPECT_EQ(GRD_get_file_domain(name.c_str(), &d), -1);
    EXPECT_EQ(d.nx, 99) << "untouched when the file holds no such grid";
    EXPECT_EQ(GRD_get_file_domain(dir.file("absent").c_str(), &d), -1);
    EXPECT_EQ(GRD_get_gfile(0), nullptr) << "every path closes the file";
}

// ---- Filling the table -------------------------------------------------------------

TEST(GridFileSearch, TheVariableListFillsItsSlots) {
    TempDir dir;
    const std::string name = dir.file("all.grd");
    write_native(name, {file_grid(7, 100, 850, {1, 2, 3, 4, 5, 6}),
                        file_grid(11, 100, 500, {250, 251, 252, 253, 254, 255}),
                        file_grid(11, 100, 850, {270, 271, 272, 273, 274, 275})});
    const std::string out = "zeq:@" + dir.path() + "/out_%v_%l.grd";
    auto r = run_child([&] {
        RES_put("file_path", ZEQ_SOURCE_DIR "/data");
        RES_put("out_file", out.c_str());
        set_variable(0, 11, 100, 850, MISSING);
        set_variable(1, 7, 100, 850, MISSING);
        set_variable(2, 11, 100, 850, MISSING, "C"); // the same file grid twice
        std::snprintf(VAR_get_var(2)->name, sizeof VAR_get_var(2)->name, "tc");
        set_variable(3, 52, 100, 850, MISSING); // not in the file
        VAR_set_num(4);
        const int rc = GRD_search_file(name.c_str());
        const GRD_report *g = GRD_get_grids();
        std::printf("%d %g %g %.2f %d %s\n", rc, double(g[0].grid[0]), double(g[1].grid[5]),
                    double(g[2].grid[1]), g[3].source, g[2].units);
        return 0;
    });
    EXPECT_NE(r.out.find("\n1 270 6 -2.15 0 C\n"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("Reading from grid file: " + name), std::string::npos);
    EXPECT_NE(r.err.find("GRD_search_file: Grid not found in file: 3 "), std::string::npos) << r.err;
    // The grids found are saved as out_file asks, under the file's date.
    Grid back(small_ll());
    GRD_info info{};
    int type = 0;
    ASSERT_EQ(GRD_read_file(dir.file("out_tc_850.grd").c_str(), &back.r, &info, &type), 1) << r.out;
    EXPECT_EQ(type, 2);
    EXPECT_NEAR(back.r.grid[1], 271.0f - 273.15f, 1e-4);
    EXPECT_STREQ(info.datim, "12Z  5 JAN 24");
    std::free(back.r.grid);
    EXPECT_TRUE(FILE_exist(dir.file("out_v11_850.grd").c_str()));
    EXPECT_TRUE(FILE_exist(dir.file("out_v7_850.grd").c_str()));
    EXPECT_FALSE(FILE_exist(dir.file("out_v52_850.grd").c_str())) << "no grid, no file";
}

TEST(GridFileSearch, MosaicPiecesBuildOneGrid) {
    TempDir dir;
    // Two pieces side by side, 3 x 2 each, sharing their edge column: the
    // mosaic is 5 x 2.
    write_file(dir.file("name_conv"), "pa " + dir.path() +
                                          "/%y%m%d%h_a.grd - 0\n"
                                          "pb " +
                                          dir.path() +
                                          "/%y%m%d%h_b.grd - 0\n"
                                          "pc " +
                                          dir.path() + "/%y%m%d%h_c.grd - 0\n");
    write_file(dir.file("model.lup"), "mos 2x1 pa,pb\nmos3 3x1 pa,pc,pb\n");
    const Domain west = make_domain(2, 40.0f, -101.0f, 3, 2, 1.0f, 1.0f);
    const Domain east = make_domain(2, 40.0f, -99.0f, 3, 2, 1.0f, 1.0f);
    write_native(dir.file("24010512_a.grd"), {file_grid(7, 100, 500, {1, 2, 3, 4, 5, 6}, west),
                                              file_grid(11, 100, 500, {-1, -2, -3, -4, -5, -6}, west)});
    write_native(dir.file("24010512_b.grd"), {file_grid(11, 100, 500, {-7, -8, -9, -10, -11, -12}, east),
                                              file_grid(7, 100, 500, {7, 8, 9, 10, 11, 12}, east)});
    for (const char *model : {"mos", "mos3"}) {
        auto r = run_child([&] {
            RES_put("file_path", dir.path().c_str());
            RES_put("model", model);
            GRD_in_file();
            set_variable(0, 7, 100, 500, MISSING);
            set_variable(1, 11, 100, 500, MISSING);
            VAR_set_num(2);
            const Date d = jan5();
            const int rc = GRD_search_file_date(&d);
            for (int i = 0; i < 2; ++i) {
                const GRD_report *g = GRD_get_grid(i);
                std::printf("%d %dx%d %g %g:", rc, g->domain.nx, g->domain.ny, double(g->domain.clat),
                            double(g->domain.clon));
                for (int k = 0; k < g->domain.nx * g->domain.ny; ++k)
                    std::printf(" %g", double(g->grid[k]));
                std::printf("\n");
            }
            return 0;
        });
        if (std::string(model) == "mos") {
            EXPECT_NE(r.out.find("1 5x2 40 -100: 1 2 7 8 9 4 5 10 11 12\n"
                                 "1 5x2 40 -100: -1 -2 -7 -8 -9 -4 -5 -10 -11 -12\n"),
                      std::string::npos)
                << r.out << r.err;
        } else {
            // The middle piece has no file: warned, and its part stays missing.
            EXPECT_NE(r.out.find("1 7x2 40 -99: 1 2 3 -9999 7 8 9 4 5 6 -9999 10 11 12\n"), std::string::npos)
                << r.out << r.err;
            EXPECT_NE(r.err.find("GRD_search_file_date: unable to open file: " + dir.file("24010512_c.grd")),
                      std::string::npos)
                << r.err;
        }
    }
}

TEST(GridFileSearch, FilesNamedByDate) {
    TempDir dir;
    write_file(dir.file("name_conv"), "pa " + dir.path() + "/%y%m%d%h_a.grd - 0\n");
    write_file(dir.file("model.lup"), "mos 2x1 pa,pb\n");
    const Domain west = make_domain(2, 40.0f, -101.0f, 3, 2, 1.0f, 1.0f);
    write_native(dir.file("24010512_a.grd"), {file_grid(7, 100, 500, {1, 2, 3, 4, 5, 6}, west),
                                              file_grid(11, 100, 500, {-1, -2, -3, -4, -5, -6}, west)});
    auto r = run_child([&] {
        RES_put("file_path", dir.path().c_str());
        const Date d = jan5();
        char pa[] = "pa";
        FILE_set_name(pa);
        Grid g(small_ll());
        GRD_info info{};
        int type = 0;
        const int rc = GRD_read_file_date(&d, "#1", &g.r, &info, &type);
        std::printf("%d %d %g %s\n", rc, type, double(g.r.grid[5]), info.datim);
        std::free(g.r.grid);
        // The domain of the file of a date: with a mosaic the whole mosaic.
        Domain dom;
        DOM_init(&dom);
        int rc1 = GRD_get_file_date_domain(&d, &dom);
        std::printf("%d %d ", rc1, dom.nx);
        RES_put("model", "mos");
        GRD_in_file();
        rc1 = GRD_get_file_date_domain(&d, &dom);
        std::printf("%d %dx%d %g\n", rc1, dom.nx, dom.ny, double(dom.clon));
        return 0;
    });
    EXPECT_EQ(r.out, "Reading from grid file: " + dir.file("24010512_a.grd") + "\n1 2 -6 12Z  5 JAN 24\n" +
                         "Getting domain from grid file:" + dir.file("24010512_a.grd") + "\n1 3 " +
                         "Getting domain from grid file:" + dir.file("24010512_a.grd") + "\n1 5x2 -100\n")
        << r.err;
}

// ---- Model soundings ----------------------------------------------------------------

// A model file: heights, temperatures, humidities and winds on the pressure
// levels given, uniform over a small latitude-longitude grid.
struct ModelFile {
    std::vector<FileGrid> grids;
    static std::vector<float> uniform(float v) { return std::vector<float>(6, v); }
    void level(int p, float h, float t_k, float rh, float u, float v) {
        auto add = [&](int var, float value, const char *units) {
            if (value == FMISSING) return;
            FileGrid g = file_grid(var, 100, p, uniform(value));
            g.units = units;
            grids.push_back(g);
        };
        add(7, h, "m");
        add(11, t_k, "K");
        add(52, rh, "%");
        add(33, u, "m/s");
        add(34, v, "m/s");
    }
    void surface(float pa, float t2, float rh2, float u10, float v10) {
        auto add = [&](int var, int ltype, int level, float value) {
            if (value == FMISSING) return;
            FileGrid g = file_grid(var, ltype, level, uniform(value));
            g.units = "";
            grids.push_back(g);
        };
        add(1, 1, 0, pa);
        add(11, 105, 2, t2);
        add(52, 105, 2, rh2);
        add(33, 105, 10, u10);
        add(34, 105, 10, v10);
    }
};

// A standard-atmosphere column from 1000 to `top` mb every `step` mb.
ModelFile standard_column(int step, int top = 50) {
    ModelFile f;
    for (int p = 1000; p >= top; p -= step) {
        const double z = 288.15 / 0.0065 * (1.0 - std::pow(p / 1013.25, 287.05 * 0.0065 / 9.8));
        const double t = std::max(288.15 - 0.0065 * z, 216.65);
        f.level(p, float(z), float(t), 100.0f, 10.0f, 0.0f);
    }
    return f;
}

struct Sounding {
    int rc = 0, num = 0;
    float sfcp = 0;
    std::vector<UPA_level> lev = std::vector<UPA_level>(42);
};

Sounding sound_from(const std::string &name) {
    Sounding s;
    int type = 0;
    const int fd = GRD_open(name.c_str(), 0, &type);
    GRD_info info{};
    GRD_getinfo(fd, &info);
    s.rc = GRD_get_sound(fd, 40.0f, -100.0f, s.lev.data(), &s.num, &s.sfcp);
    GRD_close(fd);
    return s;
}

TEST(ModelSounding, PressureLevelsWithoutASurface) {
    TempDir dir;
    const std::string name = dir.file("m.grd");
    write_native(name, standard_column(50).grids);
    const Domain before = make_domain(1, 60.0f, 10.0f, 5, 5, 2.0f, 2.0f);
    MAP_domain(&before);
    const Sounding s = sound_from(name);
    ASSERT_EQ(s.rc, 1);
    EXPECT_EQ(s.num, 20);
    EXPECT_EQ(s.sfcp, 1000.0f);
    EXPECT_EQ(s.lev[0].p, 1000.0f);
    EXPECT_EQ(s.lev[19].p, 50.0f);
    EXPECT_NEAR(s.lev[0].t, 288.15 - 0.0065 * 110.9 - 273.15, 0.1);
    EXPECT_NEAR(s.lev[0].td, s.lev[0].t, 0.05) << "100 % humidity";
    EXPECT_FLOAT_EQ(s.lev[5].dir, 270.0f);
    EXPECT_NEAR(s.lev[5].spd, 19.44f, 1e-3);
    EXPECT_STREQ(UPA_get_datim(), "12Z  5 JAN 24");
    Domain after;
    MAP_get_domain(&after);
    EXPECT_TRUE(DOM_comp(&after, &before)) << "the current projection is restored";
}

TEST(ModelSounding, ASurfaceBetweenPressureLevels) {
    TempDir dir;
    const std::string name = dir.file("m.grd");
    ModelFile f = standard_column(50);
    f.surface(96500.0f, FMISSING, 80.0f, 5.0f, 5.0f);
    write_native(name, f.grids);
    const Sounding s = sound_from(name);
    ASSERT_EQ(s.rc, 1);
    EXPECT_EQ(s.num, 21);
    EXPECT_FLOAT_EQ(s.sfcp, 965.0f);
    EXPECT_EQ(s.lev[0].p, 1000.0f);
    EXPECT_NE(s.lev[0].h, FMISSING) << "a level below ground keeps its height";
    EXPECT_EQ(s.lev[0].t, FMISSING);
    EXPECT_EQ(s.lev[0].td, FMISSING);
    EXPECT_EQ(s.lev[0].dir, FMISSING);
    EXPECT_EQ(s.lev[0].spd, FMISSING);
    EXPECT_EQ(s.lev[1].p, 965.0f);
    // The missing 2 m temperature from 1000 and 950 mb, linear in pressure.
    const double t1000 = 288.15 - 0.0065 * 110.9, t950 = 288.15 - 0.0065 * 540.3;
    EXPECT_NEAR(s.lev[1].t, t1000 + (t950 - t1000) * 35.0 / 50.0 - 273.15, 0.1);
    EXPECT_LT(s.lev[1].td, s.lev[1].t);
    EXPECT_FLOAT_EQ(s.lev[1].dir, 225.0f);
    EXPECT_EQ(s.lev[2].p, 950.0f);
    EXPECT_NE(s.lev[2].t, FMISSING);
    // The surface height comes from the hydrostatic completion.
    EXPECT_GT(s.lev[1].h, s.lev[0].h);
    EXPECT_LT(s.lev[1].h, s.lev[2].h);
}

TEST(ModelSounding, TwentyFiveMillibarStep) {
    TempDir dir;
    const std::string name = dir.file("m.grd");
    write_native(name, standard_column(25).grids);
    RES_put("plot_param", "labnorm,dpres=30");
    GRD_snd_param();
    Sounding s = sound_from(name);
    EXPECT_EQ(s.num, 20) << "30 is not a step: the 925 mb grids are left out";
    RES_put("plot_param", "dpres=25");
    GRD_snd_param();
    s = sound_from(name);
    ASSERT_EQ(s.rc, 1);
    EXPECT_EQ(s.num, 39) << "1000 to 50 mb; the 25 mb level gets nothing and is removed";
    EXPECT_EQ(s.lev[3].p, 925.0f);
    EXPECT_EQ(s.lev[38].p, 50.0f);
    GRD_set_sound_dp(50);
    s = sound_from(name);
    EXPECT_EQ(s.num, 39) << "the step does not go back";
}

TEST(ModelSounding, AHighSurfaceBlanksEveryLevelBelowIt) {
    // A surface at 700 mb with the 25 mb step: twelve levels lie below ground,
    // more than the first ten.
    TempDir dir;
    const std::string name = dir.file("m.grd");
    ModelFile f = standard_column(25);
    f.surface(70000.0f, 270.0f, 50.0f, 0.0f, 5.0f);
    write_native(name, f.grids);
    GRD_set_sound_dp(25);
    const Sounding s = sound_from(name);
    ASSERT_EQ(s.rc, 1);
    EXPECT_EQ(s.num, 40);
    EXPECT_FLOAT_EQ(s.sfcp, 700.0f);
    for (int k = 0; k < 12; ++k) {
        EXPECT_GT(s.lev[std::size_t(k)].p, 700.0f) << k;
        EXPECT_EQ(s.lev[std::size_t(k)].t, FMISSING) << s.lev[std::size_t(k)].p;
        EXPECT_EQ(s.lev[std::size_t(k)].spd, FMISSING) << s.lev[std::size_t(k)].p;
    }
    EXPECT_EQ(s.lev[12].p, 700.0f) << "the 700 mb level itself is not below ground";
    EXPECT_NE(s.lev[12].t, FMISSING);
    EXPECT_EQ(s.lev[13].p, 700.0f);
    EXPECT_NEAR(s.lev[13].t, -3.15f, 1e-3);
    EXPECT_FLOAT_EQ(s.lev[13].dir, 180.0f);
    EXPECT_EQ(s.lev[14].p, 675.0f);
}

TEST(ModelSounding, MissingHeightsAndTooFewGrids) {
    TempDir dir;
    ModelFile f;
    // Heights only at 1000 and 500 mb; isothermal 250 K.
    for (int p = 1000; p >= 500; p -= 50)
        f.level(p,
                p == 1000  ? 100.0f
                : p == 500 ? 100.0f + float(std::log(2.0) * 287.05 * 250 / 9.8)
                           : FMISSING,
                250.0f, FMISSING, FMISSING, FMISSING);
    const std::string name = dir.file("m.grd");
    write_native(name, f.grids);
    const Sounding s = sound_from(name);
    ASSERT_EQ(s.rc, 1);
    EXPECT_EQ(s.num, 11) << "levels without data are removed";
    for (int k = 0; k < s.num; ++k) {
        const double want = 100.0 + std::log(1000.0 / s.lev[std::size_t(k)].p) * 287.05 * 250 / 9.8;
        EXPECT_NEAR(s.lev[std::size_t(k)].h, want, 0.05) << s.lev[std::size_t(k)].p;
        EXPECT_EQ(s.lev[std::size_t(k)].td, FMISSING);
    }

    ModelFile few;
    for (int p = 1000; p >= 700; p -= 100)
        few.level(p, 100, 250, FMISSING, FMISSING, FMISSING);
    few.level(600, 100, FMISSING, FMISSING, FMISSING, FMISSING);
    const std::string small = dir.file("few.grd");
    write_native(small, few.grids);
    auto r = run_child([&] { return sound_from(small).rc; });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("GRD_get_sound: Too few grids to make sounding: 9"), std::string::npos) << r.err;
}

} // namespace
