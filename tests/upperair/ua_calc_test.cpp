// Sounding calculations: the quantities of a level by name, and layer means
// against a log-pressure trapezoid computed by NumPy over the same points.
#include "upperair/ua_calc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fields/calc.h"
#include "support/reference.h"
#include "upperair/thm_tool.h"
#include "upperair/ua_merge.h"

namespace {

constexpr float M = -9999.0f;

// A temperature sounding with a level without temperature (800 mb) and two
// levels without dew point (900 and 850 mb).
const std::vector<UPA_level> kSnd = {{1000, 100, 24, 18, 170, 10},  {950, 540, 21, 16, 180, 14},
                                     {900, 1000, 18, M, 190, 18},   {850, 1480, 15, M, 200, 20},
                                     {800, 2000, M, 5, 210, 22},    {700, 3050, 6, -4, 230, 28},
                                     {600, 4300, -2, -14, 250, 35}, {500, 5700, -12, -28, 260, 45}};

const char *const kNames[] = {"temp",   "dewp",   "rhum",   "theta",  "dewd",  "mrat", "shum", "vpres",
                              "wetblb", "thetaw", "thetae", "thetav", "vtemp", "hght", "hag",  "pres"};
const int kTypes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 15, 16};

// The trapezoid of the points a layer passes: its bottom B, the levels with
// data (key) strictly inside it, its top T; with none inside, the level just
// above T. Segments with a value missing at either end drop out of both the
// sum and the depth. Input lines: "P p...", "Q q...", "KEY 0|1...", "B p q",
// "T p q"; output "mean".
const char *const kTrapezoid = R"(
import sys
import numpy as np
rows = {}
for line in sys.stdin:
    w = line.split()
    if w:
        rows.setdefault(w[0], []).append([float(x) for x in w[1:]])
def mean(case):
    p, q, key = (np.array(rows[k][case]) for k in ('P', 'Q', 'KEY'))
    (bp, bq), (tp, tq) = rows['B'][case], rows['T'][case]
    inside = [i for i in range(len(p)) if key[i] and tp < p[i] < bp]
    if not inside:
        above = [i for i in range(1, len(p)) if p[i] <= tp]
        inside = above[:1]
    pts = [(bp, bq)] + [(p[i], q[i]) for i in inside] + [(tp, tq)]
    total = depth = 0.0
    run = []
    for pp, qq in pts + [(np.nan, -9999)]:
        if qq == -9999 or np.isnan(pp):
            if len(run) > 1:
                x = -np.log(np.array([r[0] for r in run]))
                y = np.array([r[1] for r in run])
                total += np.trapz(y, x)
                depth += x[-1] - x[0]
            run = [(pp, qq)] if qq != -9999 and not np.isnan(pp) else []
        else:
            run.append((pp, qq))
    return total / depth if depth != 0 else -9999.0
for case in range(len(rows['B'])):
    print('mean', repr(mean(case)))
)";

struct Layer {
    int coord;
    float bottom, top;
};

// The points of a layer as the interpolation gives them.
void layer_points(const std::vector<UPA_level> &snd, const Layer &l, UPA_level &b, UPA_level &t) {
    UPA_interp(snd.data(), int(snd.size()), l.coord, l.bottom, &b);
    UPA_interp(snd.data(), int(snd.size()), l.coord, l.top, &t);
}

} // namespace

TEST(UpaVariableCalc, NamesAndFormulas) {
    const UPA_level l = {850, 1480, 15, 9, 200, 20};
    const float t = 15.0f + 273.15f, td = 9.0f + 273.15f;
    const float want[] = {15,
                          9,
                          rel_hum(t, td),
                          pot_temp(t, 850),
                          6,
                          mix_ratio(td, 850),
                          spec_hum(td, 850),
                          vapor_pr(td),
                          wet_bulb(t, td, 850),
                          wet_bulb_pot_temp(t, td, 850),
                          eq_pot_temp(t, td, 850),
                          virt_pot_temp(t, td, 850),
                          virt_temp(t, td, 850),
                          1480,
                          1480,
                          850};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        EXPECT_EQ(variable_calc(kTypes[i], &l), want[i]) << kNames[i];
        // The name gives the type: a layer mean of one level is its value.
        EXPECT_EQ(mean_value(kNames[i], &l, 1, 100, 850, M), want[i]) << kNames[i];
    }
    EXPECT_EQ(variable_calc(13, &l), pot_temp(t, 850));
    EXPECT_EQ(variable_calc(0, &l), M);
    EXPECT_EQ(variable_calc(17, &l), M);
    EXPECT_EQ(mean_value("Temp", &l, 1, 100, 850, M), M) << "names keep their case";
    const UPA_level dry = {850, 1480, 15, M, 200, 20};
    for (int type : {2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 14})
        EXPECT_EQ(variable_calc(type, &dry), M) << type;
}

// Every quantity's layer mean against NumPy: bounds between levels, on
// levels, both between the same two levels, by height; the levels without
// dew point drop out of the dew-point means.
TEST(UpaMeanValue, AgainstNumpyTrapezoid) {
    const std::vector<Layer> layers = {
        {100, 980, 650}, {100, 1000, 500}, {100, 880, 860}, {103, 300, 4000}, {100, 960, 810}};
    std::string input;
    std::vector<float> got;
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        for (const Layer &l : layers) {
            std::vector<float> p, q, key;
            for (const UPA_level &lev : kSnd) {
                p.push_back(lev.p);
                q.push_back(variable_calc(kTypes[i], &lev));
                key.push_back(lev.t != M ? 1 : 0);
            }
            UPA_level b, t;
            layer_points(kSnd, l, b, t);
            input += zeqtest::numbers_line("P", p) + zeqtest::numbers_line("Q", q) +
                     zeqtest::numbers_line("KEY", key) +
                     zeqtest::numbers_line("B", {b.p, variable_calc(kTypes[i], &b)}) +
                     zeqtest::numbers_line("T", {t.p, variable_calc(kTypes[i], &t)});
            got.push_back(mean_value(kNames[i], kSnd.data(), int(kSnd.size()), l.coord, l.bottom, l.top));
        }
    }
    const std::vector<std::string> out = zeqtest::text_lines(zeqtest::run_python(kTrapezoid, input));
    ASSERT_EQ(out.size(), got.size());
    for (std::size_t n = 0; n < got.size(); ++n) {
        const double want = std::stod(out[n].substr(5));
        const std::string what =
            std::string(kNames[n / layers.size()]) + " layer " + std::to_string(n % layers.size());
        if (want == M)
            EXPECT_EQ(got[n], M) << what;
        else
            EXPECT_NEAR(got[n], want, 1e-4 * std::max(1.0, std::fabs(want))) << what;
    }
}

TEST(UpaMeanValue, EdgeCases) {
    const int n = int(kSnd.size());
    // A layer bounded by two levels whose values are linear in ln p gives
    // the mean of its ends; so does one between the same two levels.
    std::vector<UPA_level> lin;
    for (float p : {1000.0f, 900.0f, 800.0f, 700.0f})
        lin.push_back({p, M, float(20 + 10 * std::log(p / 1000.0)), M, M, M});
    EXPECT_NEAR(mean_value("temp", lin.data(), 4, 100, 1000, 700), 20 + 5 * std::log(0.7), 1e-4);
    EXPECT_NEAR(mean_value("temp", lin.data(), 4, 100, 880, 860), 20 + 5 * std::log(0.88 * 0.86), 1e-4);
    // The value at the bottom for a missing top or a top equal to it.
    EXPECT_NEAR(mean_value("temp", kSnd.data(), n, 100, 975, M), 22.519, 0.001);
    EXPECT_NEAR(mean_value("temp", kSnd.data(), n, 100, 975, 975), 22.519, 0.001);
    // Nothing to average.
    EXPECT_EQ(mean_value("temp", kSnd.data(), 0, 100, 1000, 500), M);
    const UPA_level high[2] = {{400, 7200, -25, -35, M, M}, {300, 9200, -40, -50, M, M}};
    EXPECT_EQ(mean_value("temp", high, 2, 100, 400, 300), M) << "a list starting above 500 mb";
    EXPECT_EQ(mean_value("temp", kSnd.data(), n, 100, M, 500), M);
    EXPECT_EQ(mean_value("temp", kSnd.data(), 1, 100, 1000, 900), M);
    EXPECT_EQ(mean_value("nosuch", kSnd.data(), n, 100, 1000, 500), M);
    // No segment with both values: -9999, not 0/0.
    EXPECT_EQ(mean_value("dewp", lin.data(), 4, 100, 1000, 700), M);
}

TEST(UpaLayerParcelMean, MeansOverEachWalksOwnDepth) {
    // The upper half without dew points: the mixing ratio is the lower
    // half's mean, the potential temperature the whole layer's.
    const std::vector<UPA_level> half = {{1000, 100, 20, 15, M, M},
                                         {900, 950, 15, 10, M, M},
                                         {800, 1900, 10, M, M, M},
                                         {700, 3000, 5, M, M, M}};
    float w = 0, o = 0;
    EXPECT_EQ(layer_parcel_mean(half.data(), 4, 100, 1000, 700, &w, &o), 0);
    EXPECT_NEAR(w, (mix_ratio(288.15f, 1000) + mix_ratio(283.15f, 900)) / 2, 1e-4);
    const double x1 = std::log(1000.0 / 900), x2 = std::log(900.0 / 800), x3 = std::log(800.0 / 700);
    const double th[4] = {pot_temp(293.15f, 1000), pot_temp(288.15f, 900), pot_temp(283.15f, 800),
                          pot_temp(278.15f, 700)};
    EXPECT_NEAR(
        o, ((th[0] + th[1]) * x1 + (th[1] + th[2]) * x2 + (th[2] + th[3]) * x3) / (2 * (x1 + x2 + x3)), 1e-3);

    // No dew point in the layer at all; bottom and top at one pressure.
    EXPECT_EQ(layer_parcel_mean(half.data(), 4, 100, 800, 700, &w, &o), 0);
    EXPECT_EQ(w, M);
    EXPECT_NEAR(o, (th[2] + th[3]) / 2, 1e-3);
    EXPECT_EQ(layer_parcel_mean(half.data(), 4, 100, 950, 950, &w, &o), 0);
    UPA_level at;
    UPA_interp(half.data(), 4, 100, 950, &at);
    EXPECT_EQ(w, mix_ratio(at.td + 273.15f, 950));
    EXPECT_EQ(o, pot_temp(at.t + 273.15f, 950));

    // One level: its own values.
    EXPECT_EQ(layer_parcel_mean(half.data() + 1, 1, 100, M, M, &w, &o), 0);
    EXPECT_EQ(w, mix_ratio(283.15f, 900));
    EXPECT_EQ(o, th[1]);

    // From the surface: the top is a pressure.
    *THERM_get_sfc() = half[0];
    EXPECT_EQ(layer_parcel_mean(half.data(), 4, 1, M, 900, &w, &o), 0);
    EXPECT_NEAR(w, (mix_ratio(288.15f, 1000) + mix_ratio(283.15f, 900)) / 2, 1e-4);
}

// The mean wind against NumPy: components and scalar speed averaged over the
// same points, the direction from the mean components.
TEST(UpaLayerWindMean, AgainstNumpyAndCases) {
    const int n = int(kSnd.size());
    const std::vector<Layer> layers = {{100, 980, 650}, {103, 300, 4000}, {100, 1000, 500}, {100, 880, 860}};
    std::string input;
    std::vector<WIND> got;
    for (const Layer &l : layers) {
        std::vector<float> p, d, s;
        for (const UPA_level &lev : kSnd) {
            p.push_back(lev.p);
            d.push_back(lev.dir);
            s.push_back(lev.spd);
        }
        UPA_level b, t;
        layer_points(kSnd, l, b, t);
        input += zeqtest::numbers_line("P", p) + zeqtest::numbers_line("D", d) +
                 zeqtest::numbers_line("S", s) + zeqtest::numbers_line("B", {b.p, b.dir, b.spd}) +
                 zeqtest::numbers_line("T", {t.p, t.dir, t.spd});
        WIND w;
        EXPECT_EQ(layer_wind_mean(kSnd.data(), n, l.coord, l.bottom, l.top, &w), 1);
        got.push_back(w);
    }
    const std::string out = zeqtest::run_python(R"(
import sys
import numpy as np
rows = {}
for line in sys.stdin:
    w = line.split()
    if w:
        rows.setdefault(w[0], []).append([float(x) for x in w[1:]])
for case in range(len(rows['B'])):
    p, d, s = (np.array(rows[k][case]) for k in ('P', 'D', 'S'))
    bp, bd, bs = rows['B'][case]
    tp, td, ts = rows['T'][case]
    inside = [i for i in range(len(p)) if d[i] != -9999 and tp < p[i] < bp]
    if not inside:
        inside = [i for i in range(1, len(p)) if p[i] <= tp][:1]
    pts = [(bp, bd, bs)] + [(p[i], d[i], s[i]) for i in inside] + [(tp, td, ts)]
    x = -np.log(np.array([q[0] for q in pts]))
    rad = np.radians(np.array([q[1] for q in pts]))
    spd = np.array([q[2] for q in pts])
    u, v = -spd * np.sin(rad), -spd * np.cos(rad)
    depth = x[-1] - x[0]
    um, vm, sm = (np.trapz(y, x) / depth for y in (u, v, spd))
    print(np.degrees(np.arctan2(-um, -vm)) % 360, sm)
)",
                                                input);
    const std::vector<std::string> lines = zeqtest::text_lines(out);
    ASSERT_EQ(lines.size(), got.size()) << out;
    for (std::size_t c = 0; c < got.size(); ++c) {
        double dir = 0, spd = 0;
        ASSERT_EQ(std::sscanf(lines[c].c_str(), "%lf %lf", &dir, &spd), 2) << lines[c];
        EXPECT_NEAR(got[c].dir, dir, 0.01) << "layer " << c;
        EXPECT_NEAR(got[c].spd, spd, 1e-3 * spd) << "layer " << c;
    }

    WIND w;
    // Constant wind; opposing winds of 20 knots in equal weights: the
    // scalar speed, and the direction of the near-zero mean vector.
    const std::vector<UPA_level> steady = {{1000, 100, M, M, 270, 20}, {700, 3000, M, M, 270, 20}};
    EXPECT_EQ(layer_wind_mean(steady.data(), 2, 100, 1000, 700, &w), 1);
    EXPECT_NEAR(w.dir, 270, 1e-3);
    EXPECT_NEAR(w.spd, 20, 1e-4);
    const std::vector<UPA_level> opposing = {{1000, 100, M, M, 270, 20}, {700, 3000, M, M, 90, 20}};
    EXPECT_EQ(layer_wind_mean(opposing.data(), 2, 100, 1000, 700, &w), 1);
    EXPECT_EQ(w.dir, 0);
    EXPECT_NEAR(w.spd, 20, 1e-4);

    // Refusals, one level, the wind at the bottom, a top outside the winds.
    struct Case {
        const char *what;
        int num, coord;
        float bottom, top;
        int rc;
        float dir;
    };
    for (const Case &c :
         {Case{"pressure top below the bottom", n, 100, 700, 850, -1, M},
          Case{"height top below the bottom", n, 103, 4000, 300, -1, M},
          Case{"no levels", 0, 100, 1000, 500, -1, M}, Case{"one level", 1, 100, 500, 400, 0, 170},
          Case{"the wind at the bottom", n, 100, 850, M, 1, 200},
          Case{"a bottom outside the winds", n, 100, 400, M, 0, M},
          Case{"a top above the winds", n, 103, 100, 6100, 0, 0}}) {
        WIND got_w = {1, 2};
        EXPECT_EQ(layer_wind_mean(kSnd.data(), c.num, c.coord, c.bottom, c.top, &got_w), c.rc) << c.what;
        if (c.dir == 0)
            EXPECT_NE(got_w.dir, M) << c.what << ": the mean of what exists";
        else
            EXPECT_EQ(got_w.dir, c.dir) << c.what;
    }
}
