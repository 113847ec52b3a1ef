#include "surface/object.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/reference.h"

namespace {

using zeqtest::make_domain;

// Stations: plane positions and one value array per field (empty: null field).
struct Stations {
    std::vector<float> x, y;
    std::vector<std::vector<float>> z;
    int count() const { return int(x.size()); }
};

// Grids of `fields` records on one domain, kept at fixed addresses.
struct Grids {
    std::vector<GRD_report> table;
    std::vector<std::vector<float>> values;
    Grids(const Domain &d, int fields) : table(std::size_t(fields)), values(std::size_t(fields)) {
        for (int k = 0; k < fields; ++k) {
            std::memset(&table[k], 0, sizeof(GRD_report));
            GRD_init(&table[k]);
            table[k].domain = d;
            values[k].assign(std::size_t(d.nx) * std::size_t(d.ny), 123.0f);
            table[k].grid = values[k].data();
            std::snprintf(table[k].info, sizeof table[k].info, "field %d", k + 1);
        }
    }
};

// Runs the analysis with its own copies of the stations' arrays (they are
// changed in place), returning the result and what it printed.
struct Outcome {
    int result = 0;
    std::string out;
    Stations after;
};

Outcome analyze(const Stations &st, Grids &g) {
    Outcome run;
    run.after = st;
    std::vector<float *> z;
    for (std::vector<float> &f : run.after.z)
        z.push_back(f.empty() ? nullptr : f.data());
    testing::internal::CaptureStdout();
    run.result = OBJ_analyze(run.after.x.data(), run.after.y.data(), z.data(), st.count(), int(z.size()),
                             g.table.data());
    run.out = testing::internal::GetCapturedStdout();
    return run;
}

std::vector<std::string> lines_with(const std::string &text, const std::string &start) {
    std::vector<std::string> out;
    for (const std::string &line : zeqtest::text_lines(text))
        if (line.rfind(start, 0) == 0) out.push_back(line);
    return out;
}

// The number printed after '=' on the out4 line beginning with `label`; NAN
// when the line is not there.
double printed(const std::string &text, const std::string &label) {
    const std::vector<std::string> l = lines_with(text, label);
    if (l.empty()) return NAN;
    return std::atof(l[0].substr(l[0].find('=') + 1).c_str());
}

// ---- Comparison with the reference analysis --------------------------------

struct Settings {
    float filter, radius;
    int passes;
    float converg;
    int min_sta;
    const char *plot_param; // null: none
};

std::string reference_input(const Domain &d, const Settings &s, float miss, const Stations &st) {
    MAP_domain(&d);
    MAP_limits lim{};
    MAP_get_limits(&lim);
    std::ostringstream in;
    in.precision(9);
    in << d.nx << ' ' << d.ny << ' ' << d.dx << ' ' << d.dy << ' ' << lim.x_min << ' ' << lim.y_max << ' '
       << s.radius << ' ' << s.filter << ' ' << s.passes << ' ' << s.converg << ' ' << miss << ' '
       << s.min_sta << '\n';
    for (const std::vector<float> &f : st.z)
        in << (f.empty() ? 0 : 1) << ' ';
    in << '\n' << st.count() << '\n';
    for (int k = 0; k < st.count(); ++k) {
        in << st.x[k] << ' ' << st.y[k];
        for (const std::vector<float> &f : st.z)
            in << ' ' << (f.empty() ? 0.0f : f[k]);
        in << '\n';
    }
    return in.str();
}

void expect_close(const std::vector<double> &want, const std::vector<float> &got, const std::string &what) {
    zeqtest::expect_grid_values(want, got.data(), got.size(), what, 1e-6, 0.0);
}

// The RMS lines agree in text, and in value within 1e-5 relative.
void expect_same_rms(const std::vector<std::string> &want, const std::vector<std::string> &got) {
    ASSERT_EQ(want.size(), got.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        const std::size_t colon = want[k].rfind(':');
        ASSERT_EQ(got[k].substr(0, colon + 1), want[k].substr(0, colon + 1));
        const std::string wv = want[k].substr(colon + 1), gv = got[k].substr(colon + 1);
        if (wv == " no stations") {
            EXPECT_EQ(gv, wv);
            continue;
        }
        const double w = std::atof(wv.c_str());
        EXPECT_NEAR(std::atof(gv.c_str()), w, 1e-5 * w + 2e-6) << got[k];
    }
}

// Runs the analysis and the reference over the same stations and compares
// grids, -9999 points, grid coordinates, changed station values and RMS lines.
void compare_with_reference(const Domain &d, const Stations &st, const Settings &s, float miss) {
    SCOPED_TRACE(std::string("passes ") + std::to_string(s.passes) + " plot_param " +
                 (s.plot_param ? s.plot_param : "-"));
    OBJ_initialize();
    OBJ_set_filter(s.filter);
    OBJ_set_rad_inf(s.radius);
    OBJ_set_num_pass(s.passes);
    OBJ_set_converg(s.converg);
    OBJ_set_min_sta(s.min_sta);
    RES_put("plot_param", s.plot_param);
    MESS_set(0, M_OUT3);

    const std::string input = reference_input(d, s, miss, st);
    const std::string script =
        zeqtest::read_file(std::string(ZEQ_SOURCE_DIR) + "/tests/surface/object_ref.py");
    const std::string ref = zeqtest::run_python(script, input);
    const auto want = zeqtest::named_numbers(ref);

    Grids g(d, int(st.z.size()));
    const Outcome run = analyze(st, g);
    EXPECT_EQ(run.result, 0);

    expect_close(want.at("X"), run.after.x, "grid column");
    expect_close(want.at("Y"), run.after.y, "grid row");
    const std::size_t n = std::size_t(d.nx) * std::size_t(d.ny);
    for (std::size_t k = 0; k < st.z.size(); ++k) {
        const std::string key = std::to_string(k + 1);
        if (st.z[k].empty()) {
            EXPECT_EQ(g.table[k].type, GRD_report{}.type) << "a null field's grid is not marked";
            for (float v : g.values[k])
                ASSERT_EQ(v, 123.0f) << "a null field's grid is left alone";
            continue;
        }
        EXPECT_EQ(g.table[k].type, 2);
        EXPECT_EQ(g.table[k].source, 1);
        expect_close(want.at("Z" + key), run.after.z[k], "station values of field " + key);
        zeqtest::expect_grid_values(want.at("G" + key), g.values[k].data(), n, "grid of field " + key, 1e-5,
                                    0.0);
    }
    expect_same_rms(lines_with(ref, "RMS Error"), lines_with(run.out, "RMS Error"));
}

// Reproducible pseudo-random numbers in [0, 1).
struct Random {
    unsigned seed;
    float next() {
        seed = seed * 1103515245u + 12345u;
        return float((seed >> 8) & 0xFFFF) / 65536.0f;
    }
};

// Stations spread over and around the domain sampling two analytic fields
// (field 2 is null), with a few missing values and missing positions.
Stations sample_stations(const Domain &d, int count, float lat_span, float lon_span) {
    MAP_domain(&d);
    Random rnd{7};
    Stations st;
    st.z.resize(3);
    for (int k = 0; k < count; ++k) {
        const float lat = d.clat + lat_span * (rnd.next() - 0.5f);
        const float lon = d.clon + lon_span * (rnd.next() - 0.5f);
        float x, y;
        MAP_tran(lat, lon, &x, &y);
        if (k % 41 == 5) x = y = FMISSING;
        st.x.push_back(x);
        st.y.push_back(y);
        const double rl = lat * 0.0174533, rn = lon * 0.0174533;
        st.z[0].push_back(float(280.0 + 12.0 * std::sin(3.0 * rl) * std::cos(2.0 * rn)));
        st.z[2].push_back(k % 9 == 4 ? FMISSING : float(1010.0 + 0.4 * lat - 0.2 * lon));
    }
    return st;
}

TEST(ObjectReference, PolarStereographicGridsMatchTheReference) {
    Domain d = make_domain(1, 45.0f, -100.0f, 31, 25, 0.5f, 0.5f);
    d.plon = -100.0f;
    const Stations st = sample_stations(d, 160, 16.0f, 26.0f);
    const Settings cases[] = {
        {1.0f, 3.0f, 1, 0.2f, 1, nullptr},
        {1.0f, 3.0f, 2, 0.2f, 1, nullptr},
        {1.0f, 3.0f, 3, 0.2f, 1, nullptr},
        {1.0f, 3.0f, 4, 0.2f, 1, nullptr},
        {1.0f, 3.0f, 2, 0.3f, 2, "miss=0"},
        {1.0f, 3.0f, 4, 0.2f, 1, "miss=0"},
        // The default radius reaches the whole grid; a sharp filter lets
        // far weights fall below the double range.
        {1.0f, 1000.0f, 2, 0.2f, 1, nullptr},
        {0.02f, 1000.0f, 3, 0.1f, 3, nullptr},
    };
    for (const Settings &s : cases)
        compare_with_reference(d, st, s, s.plot_param ? 0.0f : FMISSING);
}

TEST(ObjectReference, LatitudeLongitudeGridsMatchTheReference) {
    const Domain d = make_domain(2, 40.0f, -95.0f, 26, 17, 1.0f, 1.0f);
    const Stations st = sample_stations(d, 90, 20.0f, 30.0f);
    for (int passes = 1; passes <= 4; ++passes)
        compare_with_reference(d, st, {2.0f, 2.5f, passes, 0.25f, 2, nullptr}, FMISSING);
}

// ---- Parameters -------------------------------------------------------------

// A small lat-lon grid and one station inside it, for reading the settings
// the analysis prints.
struct Probe {
    Domain d = make_domain(2, 40.0f, -100.0f, 5, 5, 1.0f, 1.0f);
    Stations st;
    Probe(std::vector<float> values = {5.0f}) {
        for (std::size_t k = 0; k < values.size(); ++k) {
            st.x.push_back(float(k) * 0.5f);
            st.y.push_back(40.0f);
        }
        st.z.push_back(values);
    }
    Outcome run() {
        Grids g(d, 1);
        return analyze(st, g);
    }
};

TEST(ObjectParams, ObjectParamItems) {
    struct Case {
        const char *text;
        double filter, radius;
        int passes;
        double converg; // NAN: not printed (one pass)
        int min_sta;
    };
    // Before each case: filter 0.5 and radius 7 by the setters.
    const Case cases[] = {
        {"0,0,9,2,0", 1.0, 1000.0, 1, NAN, 1},  // every item out of range
        {"0,0,3,2,0", 1.0, 1000.0, 3, 0.2, 1},  // convergence 2 out of range
        {"2,3,4,0.5,2.7", 2.0, 3.0, 4, 0.5, 2}, // all taken; min stations truncated
        {"1,3,5", 1.0, 3.0, 1, NAN, 1},         // more than four passes
        {",5", 0.5, 5.0, 1, NAN, 1},            // empty filter keeps the one set
        {"2,,3", 2.0, 7.0, 3, 0.2, 1},          // empty radius keeps the one set
        {"2,3,2,,4", 2.0, 3.0, 2, 0.2, 4},      // empty convergence is out of range
        {"2,3,,0.5", 2.0, 3.0, 1, NAN, 1},      // empty pass count is out of range
        {"-1,-2,0.9,0.005,-3", 1.0, 1000.0, 1, NAN, 1},
        {"abc,x", 1.0, 1000.0, 1, NAN, 1}, // no numbers
        {" 3, 4 ,2", 3.0, 4.0, 2, 0.2, 1}, // blanks before the numbers
    };
    MESS_set(0, M_OUT4);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        OBJ_initialize();
        OBJ_set_filter(0.5f);
        OBJ_set_rad_inf(7.0f);
        RES_put("object_param", c.text);
        Probe p;
        const Outcome r = p.run();
        EXPECT_EQ(r.result, 0);
        EXPECT_DOUBLE_EQ(printed(r.out, "Filter parameter"), c.filter);
        EXPECT_DOUBLE_EQ(printed(r.out, "Radius of influence"), c.radius);
        EXPECT_EQ(printed(r.out, "Number of passes"), c.passes);
        if (std::isnan(c.converg))
            EXPECT_TRUE(lines_with(r.out, "Convergence parameter").empty());
        else
            EXPECT_NEAR(printed(r.out, "Convergence parameter"), c.converg, 1e-6);
        EXPECT_EQ(printed(r.out, "Minimum stations at gridpt"), c.min_sta);
    }
}

TEST(ObjectParams, WithoutObjectParamTheSettersHold) {
    MESS_set(0, M_OUT4);
    OBJ_initialize();
    OBJ_set_filter(0.5f);
    OBJ_set_rad_inf(7.0f);
    OBJ_set_num_pass(3);
    OBJ_set_converg(0.3f);
    OBJ_set_min_sta(2);
    Probe p;
    const Outcome r = p.run();
    EXPECT_EQ(printed(r.out, "Filter parameter"), 0.5);
    EXPECT_EQ(printed(r.out, "Radius of influence"), 7.0);
    EXPECT_EQ(printed(r.out, "Number of passes"), 3);
    EXPECT_NEAR(printed(r.out, "Convergence parameter"), 0.3, 1e-6);
    EXPECT_EQ(printed(r.out, "Minimum stations at gridpt"), 2);
    EXPECT_EQ(printed(r.out, "Number of stations"), 1);
}

TEST(ObjectParams, MissWordsSetTheMissingValue) {
    struct Case {
        const char *format;     // null: OBJ_decode_format not called
        const char *plot_param; // null: none
        float want;             // the station's value afterwards
    };
    const Case cases[] = {
        {nullptr, "miss=0", 0.0f},
        {nullptr, "miss", 0.0f},
        {nullptr, "lab,MISS=-2.5,x", -2.5f},
        {nullptr, "nomiss", FMISSING},
        {"cont:miss=7", nullptr, 7.0f},
        {"cont:Miss=7:x", "miss=3", 3.0f}, // plot_param wins over the format
        {"cont:other", nullptr, FMISSING},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.format ? c.format : "-") + " / " + (c.plot_param ? c.plot_param : "-"));
        OBJ_initialize();
        RES_put("plot_param", c.plot_param);
        if (c.format) OBJ_decode_format(c.format);
        Probe p({FMISSING, 4.0f});
        const Outcome r = p.run();
        EXPECT_EQ(r.after.z[0][0], c.want);
        EXPECT_EQ(r.after.z[0][1], 4.0f);
    }
}

TEST(ObjectParams, GridxScalesTheRadiusOfEveryAnalysisOnce) {
    struct Case {
        const char *plot_param;
        double radius;
    };
    const Case cases[] = {
        {"gridx2", 6.0}, {"lab,GRIDX3", 9.0}, {"gridx0", 3.0}, {"gridx", 3.0}, {"grid", 3.0},
    };
    MESS_set(0, M_OUT4);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.plot_param);
        OBJ_initialize();
        OBJ_set_rad_inf(3.0f);
        RES_put("plot_param", c.plot_param);
        Probe p;
        EXPECT_EQ(printed(p.run().out, "Radius of influence"), c.radius);
        EXPECT_EQ(printed(p.run().out, "Radius of influence"), c.radius) << "second analysis";
    }
    // The factor stays after OBJ_initialize: a bare "gridx" uses it.
    OBJ_initialize();
    OBJ_set_rad_inf(2.0f);
    RES_put("plot_param", "gridx4");
    Probe p;
    p.run();
    OBJ_initialize();
    OBJ_set_rad_inf(2.0f);
    RES_put("plot_param", "gridx");
    EXPECT_EQ(printed(p.run().out, "Radius of influence"), 8.0);
}

// ---- Analysis behaviour -----------------------------------------------------

// A latitude-longitude grid 11 x 7 with grid point (i, j) at longitude
// -105 + i and latitude 43 - j. Its plane x is the longitude east of -100,
// y the latitude.
Domain ll_domain() {
    return make_domain(2, 40.0f, -100.0f, 11, 7, 1.0f, 1.0f);
}

Stations stations_at(std::initializer_list<std::array<float, 3>> pts) {
    Stations st;
    st.z.resize(1);
    for (const auto &p : pts) {
        st.x.push_back(p[0]);
        st.y.push_back(p[1]);
        st.z[0].push_back(p[2]);
    }
    return st;
}

TEST(ObjectAnalysis, StationOnAGridPointHasWeightOne) {
    OBJ_initialize();
    OBJ_set_filter(1.0f);
    OBJ_set_rad_inf(1.0f);
    const Domain d = ll_domain();
    // (x, y, value): one station on grid point (3, 2), one half a grid length east of it.
    const Stations st = stations_at({{-2.0f, 41.0f, 10.0f}, {-1.5f, 41.0f, 20.0f}});
    Grids g(d, 1);
    const Outcome r = analyze(st, g);
    EXPECT_EQ(r.result, 0);
    // Grid coordinates: columns from the west, rows from the north.
    EXPECT_EQ(r.after.x[0], 3.0f);
    EXPECT_EQ(r.after.y[0], 2.0f);
    EXPECT_EQ(r.after.x[1], 3.5f);
    const double w = std::exp(-0.25);
    const float *grid = g.values[0].data();
    EXPECT_NEAR(grid[2 * 11 + 3], (10.0 + 20.0 * w) / (1.0 + w), 1e-5);
    const double w1 = std::exp(-1.0);
    EXPECT_NEAR(grid[2 * 11 + 4], (10.0 * w1 + 20.0 * w) / (w1 + w), 1e-5) << "r2 = R2 counts";
    EXPECT_EQ(grid[2 * 11 + 6], FMISSING) << "beyond the radius of both";
    EXPECT_EQ(grid[0], FMISSING);
}

TEST(ObjectAnalysis, MinimumStationCount) {
    const Domain d = ll_domain();
    // Two stations within the radius of grid point (5, 3); a third far away.
    const Stations st = stations_at({{0.0f, 40.5f, 1.0f}, {-0.5f, 40.0f, 3.0f}, {5.0f, 37.0f, 9.0f}});
    for (int min : {1, 2, 3}) {
        OBJ_initialize();
        OBJ_set_rad_inf(1.5f);
        OBJ_set_min_sta(min);
        Grids g(d, 1);
        analyze(st, g);
        const float v = g.values[0][3 * 11 + 5];
        if (min == 3)
            EXPECT_EQ(v, FMISSING);
        else
            EXPECT_GT(v, 1.0f);
        EXPECT_EQ(g.values[0][6 * 11 + 10], min == 1 ? 9.0f : FMISSING) << "one station only";
    }
}

TEST(ObjectAnalysis, NoFieldWithDataChangesNothing) {
    const Domain d = ll_domain();
    Stations st = stations_at({{0.0f, 40.0f, 1.0f}});
    st.z[0].clear();
    st.z.emplace_back();
    Grids g(d, 2);
    MESS_set(0, M_OUT4);
    const Outcome r = analyze(st, g);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.after.x[0], 0.0f);
    EXPECT_EQ(r.after.y[0], 40.0f);
    for (const std::vector<float> &v : g.values)
        for (float f : v)
            ASSERT_EQ(f, 123.0f);
}

TEST(ObjectAnalysis, AGridOfAnotherSizeIsLeftAlone) {
    const Domain d = ll_domain();
    Stations st = stations_at({{0.0f, 40.0f, 1.0f}});
    st.z.push_back(st.z[0]);
    Grids g(d, 2);
    g.table[1].domain.nx = 20; // its array holds 11 x 7 values only
    OBJ_initialize();
    testing::internal::CaptureStderr();
    const Outcome r = analyze(st, g);
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("OBJ_analyze: Grid 2 does not match the first grid"),
        std::string::npos);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(g.values[0][3 * 11 + 5], 1.0f);
    for (float f : g.values[1])
        ASSERT_EQ(f, 123.0f);
}

TEST(ObjectAnalysis, MessagesAppearAtTheirLevels) {
    struct Case {
        M_type level;
        bool mess, pass, rms, out4;
    };
    const Case cases[] = {
        {M_OUT2, true, false, false, false},
        {M_OUT3, true, true, true, false},
        {M_WARN, false, false, false, false},
    };
    const Domain d = ll_domain();
    const Stations st = stations_at({{0.0f, 40.0f, 1.0f}, {2.0f, 41.0f, 2.0f}});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.level);
        OBJ_initialize();
        OBJ_set_rad_inf(3.0f);
        MESS_set(0, c.level);
        Grids g(d, 1);
        const Outcome r = analyze(st, g);
        EXPECT_EQ(r.result, 0) << "the result does not depend on the message level";
        EXPECT_NE(g.values[0][3 * 11 + 5], 123.0f);
        EXPECT_EQ(!lines_with(r.out, "Fitting to grid...").empty(), c.mess);
        EXPECT_EQ(!lines_with(r.out, "   Data field [1] = field 1").empty(), c.mess);
        EXPECT_EQ(lines_with(r.out, "Pass: 1...").size(), c.pass ? 1u : 0u);
        EXPECT_EQ(!lines_with(r.out, "RMS Error for field 1: ").empty(), c.rms);
        EXPECT_EQ(!lines_with(r.out, "Computing residuals...").empty(), c.rms);
        EXPECT_EQ(!lines_with(r.out, "Number of stations").empty(), c.out4);
    }
    // out4 alone: the settings, no passes.
    OBJ_initialize();
    MESS_set(0, 0);
    MESS_set(1, M_OUT4);
    Grids g(d, 1);
    std::snprintf(g.table[0].datim, sizeof g.table[0].datim, "12Z 5 MAR 2024");
    const Outcome r = analyze(st, g);
    EXPECT_EQ(lines_with(r.out, "Time and date are            = 12Z 5 MAR 2024").size(), 1u);
    EXPECT_EQ(lines_with(r.out, "Number of stations           =    2 stats").size(), 1u);
    EXPECT_EQ(lines_with(r.out, "Filter parameter             =    1.0000 cm**2").size(), 1u);
    EXPECT_EQ(lines_with(r.out, "Radius of influence          = 1000.00 grids").size(), 1u);
    EXPECT_TRUE(lines_with(r.out, "Pass:").empty());
}

TEST(ObjectAnalysis, RepeatedAnalysesGiveTheSameGrids) {
    const Domain d = ll_domain();
    const Stations st = stations_at({{0.0f, 40.0f, 1.0f},
                                     {1.5f, 41.0f, 2.0f},
                                     {-1.2f, 39.3f, 4.0f},
                                     {-3.0f, 42.0f, 3.0f},
                                     {0.6f, 40.7f, 0.0f}});
    OBJ_initialize();
    OBJ_set_rad_inf(3.0f);
    OBJ_set_num_pass(3);
    MESS_set(0, M_OUT4);
    Grids first(d, 1), second(d, 1);
    const Outcome a = analyze(st, first);
    const Outcome b = analyze(st, second);
    EXPECT_EQ(first.values[0], second.values[0]);
    EXPECT_EQ(printed(b.out, "Filter parameter"), 1.0) << "later passes do not change the filter set";
    EXPECT_EQ(lines_with(a.out, "RMS Error"), lines_with(b.out, "RMS Error"));
}

TEST(ObjectAnalysis, StationOnTheLastColumnOrRowHasAnExactResidual) {
    // One station, radius 1.5: the grid takes its value around it and is
    // missing far from it, so a cell reaching past the grid would find -9999
    // (or memory outside the array) instead of the station's own value.
    struct Case {
        float x, y;
    };
    const Case cases[] = {{5.0f, 42.0f}, {-2.0f, 37.0f}, {5.0f, 37.0f}};
    const Domain d = ll_domain();
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + " " + std::to_string(c.y));
        OBJ_initialize();
        OBJ_set_rad_inf(1.5f);
        MESS_set(0, M_OUT3);
        const Stations st = stations_at({{c.x, c.y, 6.0f}});
        Grids g(d, 1);
        const Outcome r = analyze(st, g);
        EXPECT_EQ(lines_with(r.out, "RMS Error for field 1: 0.000000").size(), 1u) << r.out;
    }
}

TEST(ObjectAnalysis, LaterPassesKeepValuesThatNoResidualReaches) {
    // Station A lies west of the grid: grid column 0 gets its value in pass 1
    // but no residual can correct it later. Station B inside is corrected.
    const Domain d = ll_domain();
    const Stations st = stations_at({{-6.0f, 40.0f, 5.0f}, {0.0f, 40.0f, 9.0f}});
    OBJ_initialize();
    OBJ_set_rad_inf(1.5f);
    OBJ_set_num_pass(2);
    Grids g(d, 1);
    const Outcome r = analyze(st, g);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(g.values[0][3 * 11 + 0], 5.0f);
    EXPECT_EQ(g.values[0][3 * 11 + 5], 9.0f);
    EXPECT_EQ(g.values[0][3 * 11 + 3], FMISSING);
}

TEST(ObjectAnalysis, UnusableSettingsAndPositionsDoNotSpoilTheGrid) {
    // A filter of 0 has no Gaussian, a convergence of 0 would make one, and
    // a station at no finite position has no distance: the grid is the one
    // of filter 1.0 kept in pass 2, without that station.
    const Domain d = ll_domain();
    Stations st = stations_at({{0.0f, 40.0f, 1.0f}, {1.5f, 41.0f, 2.0f}, {-1.2f, 39.3f, 4.0f}});
    OBJ_initialize();
    OBJ_set_rad_inf(4.0f);
    OBJ_set_num_pass(2);
    OBJ_set_converg(1.0f);
    Grids want(d, 1);
    analyze(st, want);

    st.x.push_back(NAN);
    st.y.push_back(40.0f);
    st.z[0].push_back(50.0f);
    OBJ_set_filter(0.0f);
    OBJ_set_converg(0.0f);
    Grids got(d, 1);
    const Outcome r = analyze(st, got);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(got.values[0], want.values[0]);
}

} // namespace
