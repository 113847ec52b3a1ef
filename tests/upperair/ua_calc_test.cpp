// Sounding calculations: the quantities of a level by name, and layer means
// against a log-pressure trapezoid computed by NumPy over the same points;
// the level specifications of variables read against the current sounding.
#include "upperair/ua_calc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fields/calc.h"
#include "plot/vecttool.h"
#include "support/reference.h"
#include "upperair/parcel_port.h"
#include "upperair/thm_tool.h"
#include "upperair/ua_merge.h"
#include "upperair/ua_read.h"

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

// ---- Parcel ascent -------------------------------------------------------------------------------

namespace {

struct Node {
    float p, t, td;
};

// A sounding every 50 mb from 1000 to 100 mb, linear in ln p between the
// nodes, with hypsometric heights from 100 m at 1000 mb.
std::vector<UPA_level> sounding(const std::vector<Node> &nodes) {
    std::vector<UPA_level> v;
    for (float p = 1000; p >= 100; p -= 50) {
        std::size_t k = 1;
        while (k + 1 < nodes.size() && nodes[k].p > p)
            ++k;
        const Node &a = nodes[k - 1], &b = nodes[k];
        const double x = std::log(a.p / p) / std::log(a.p / b.p);
        UPA_level l = {p, 100, float(a.t + (b.t - a.t) * x), float(a.td + (b.td - a.td) * x), M, M};
        if (!v.empty()) {
            const UPA_level &below = v.back();
            l.h = float(below.h + 287.05 * ((below.t + l.t) / 2 + 273.15) / 9.8 * std::log(below.p / l.p));
        }
        v.push_back(l);
    }
    return v;
}

const std::vector<Node> kStable = {{1000, 10, 0},   {850, 8, -5},    {700, 2, -15},  {500, -10, -30},
                                   {300, -30, -50}, {200, -40, -60}, {100, -45, -70}};
const std::vector<Node> kCapped = {{1000, 30, 22},  {925, 24, 19},   {850, 25, 8},    {700, 11, -2},
                                   {500, -12, -25}, {300, -40, -52}, {200, -55, -65}, {100, -62, -80}};
const std::vector<Node> kFree = {{1000, 30, 24},  {900, 23, 20},   {850, 19, 16},
                                 {700, 8, 2},     {500, -12, -22}, {300, -40, -55},
                                 {200, -56, -70}, {150, -62, -75}, {100, -60, -80}};

} // namespace

// Stable, capped and free-convecting soundings, each with the four parcels
// of the sounding analysis: the surface, the mean of the lowest 100 mb, a
// warmer surface (the maximum-temperature parcel) and a given level; against
// the NumPy port of the ascent. Also the lifted and Showalter indices and the
// cap strength.
TEST(UpaParcel, AgainstNumpyPort) {
    struct Snd {
        const char *name;
        std::vector<UPA_level> levels;
    };
    const Snd soundings[] = {
        {"stable", sounding(kStable)}, {"capped", sounding(kCapped)}, {"free", sounding(kFree)}};
    std::string input;
    upatest::PortValues got;
    for (const Snd &s : soundings) {
        const int n = int(s.levels.size());
        input += upatest::sounding_block(s.levels.data(), n);
        const UPA_level sfc = s.levels[0];
        UPA_level at700;
        UPA_interp(s.levels.data(), n, 100, 700, &at700);
        struct Kind {
            const char *name;
            bool given;
            UPA_level blev;
            float thick;
        };
        const Kind kinds[] = {{"sfc", false, {}, 0},
                              {"layer", false, {}, 100},
                              {"maxt", true, {1000, sfc.h, sfc.t + 3, sfc.td, M, M}, 100},
                              {"level", true, {700, at700.h, at700.t + 2, at700.td + 4, M, M}, 100}};
        for (const Kind &k : kinds) {
            const std::string name = std::string(s.name) + "." + k.name;
            UPA_level blev = k.given ? k.blev : UPA_level{M, M, M, M, M, M};
            PARCEL_params pp;
            std::memset(&pp, 0, sizeof pp);
            EXPECT_EQ(parcel_calc(s.levels.data(), n, &blev, 100, 1000, k.thick, &pp), 1) << name;
            if (k.given) {
                EXPECT_EQ(std::memcmp(&blev, &k.blev, sizeof blev), 0) << name << ": a given start stays";
            } else {
                EXPECT_EQ(blev.p, 1000) << name << ": the start is written back";
            }
            got[name] = upatest::parcel_values(pp);
            char line[160];
            if (k.given)
                std::snprintf(line, sizeof line, "CASE %s blev 1000 0 %.9g %.9g %.9g\n", name.c_str(),
                              double(blev.p), double(blev.t), double(blev.td));
            else
                std::snprintf(line, sizeof line, "CASE %s level 1000 %g\n", name.c_str(), double(k.thick));
            input += line;
        }
        const std::string li = std::string(s.name) + ".li", si = std::string(s.name) + ".si",
                          cap = std::string(s.name) + ".cap";
        got[li]["li"] = lifted_index(s.levels.data(), n, 100, 1000, 100, 500);
        got[si]["li"] = lifted_index(s.levels.data(), n, 100, 850, 0, 500);
        got[cap]["cap"] = cap_strength(s.levels.data(), n, 100, 1000, 100);
        input += "LI " + li + " 1000 100 500\nLI " + si + " 850 0 500\nCAP " + cap + " 1000 100\n";
    }
    EXPECT_EQ(upatest::compare_with_port(input, got), 3u * (4 * 12 + 3));

    // The three soundings are what they are meant to be.
    EXPECT_EQ(got["stable.sfc"]["Bplus"], 0);
    EXPECT_EQ(got["stable.sfc"]["lfc"], -1);
    EXPECT_EQ(got["stable.sfc"]["wmax"], 0);
    EXPECT_GT(got["capped.sfc"]["Bminus"], 20);
    EXPECT_GT(got["capped.sfc"]["cap"], 2);
    EXPECT_GT(got["capped.sfc"]["Bplus"], 500);
    EXPECT_GT(got["free.sfc"]["Bplus"], 1000);
    EXPECT_GT(got["free.sfc"]["el"], 100);
}

TEST(UpaParcel, StartsStepsAndRefusals) {
    const std::vector<UPA_level> snd = sounding(kFree);
    const int n = int(snd.size());
    PARCEL_params pp;
    // A parcel warmer than its surroundings from the condensation level up:
    // free convection in the middle of the first saturated step.
    std::vector<UPA_level> warm = snd;
    UPA_level blev = {1000, 100, 32, 31, M, M};
    ASSERT_EQ(parcel_calc(warm.data(), n, &blev, 100, 1000, 0, &pp), 1);
    EXPECT_NEAR(pp.lfc, pp.plcl - 5, 1e-3);

    // No start: energies, cap and lfc missing.
    std::memset(&pp, 0, sizeof pp);
    EXPECT_EQ(parcel_calc(snd.data(), n, nullptr, 100, M, 0, &pp), 0);
    for (float v : {pp.Bplus, pp.Bminus, pp.wmax, pp.cap, pp.lfc})
        EXPECT_EQ(v, M);
    EXPECT_EQ(parcel_calc(snd.data(), 0, nullptr, 100, 1000, 0, &pp), 0);
    // A bottom outside the sounding, or a layer without dew points: no start.
    EXPECT_EQ(parcel_calc(snd.data(), n, nullptr, 100, 1050, 0, &pp), 0);
    std::vector<UPA_level> dry = snd;
    for (UPA_level &l : dry)
        l.td = M;
    UPA_level start = {M, M, M, M, M, M};
    EXPECT_EQ(parcel_calc(dry.data(), n, &start, 100, 1000, 100, &pp), 0);
    EXPECT_EQ(start.td, M) << "a layer parcel without data starts missing";
    EXPECT_EQ(pp.Bplus, M);

    // A missing environment temperature ends the saturated ascent there: no
    // step reaches a temperature difference of thousands of kelvin.
    std::vector<UPA_level> gap = snd;
    for (std::size_t i = 12; i < gap.size(); ++i)
        gap[i].t = M; // above 400 mb
    PARCEL_params cut;
    ASSERT_EQ(parcel_calc(gap.data(), n, nullptr, 100, 1000, 0, &cut), 1);
    ASSERT_EQ(parcel_calc(snd.data(), n, nullptr, 100, 1000, 0, &pp), 1);
    EXPECT_GT(cut.Bplus, 0);
    EXPECT_LT(cut.Bplus, pp.Bplus);
    EXPECT_NEAR(cut.Bminus, pp.Bminus, 1e-3);

    // energy_calc: g dz (Tp - Te) / Te.
    const UPA_level p1 = {900, M, 20, M, M, M}, p2 = {850, M, 18, M, M, M};
    const UPA_level e1 = {900, 1000, 19, M, M, M}, e2 = {850, 1500, 15, M, M, M};
    EXPECT_NEAR(energy_calc(&p1, &p2, &e1, &e2), 500 * 9.8 * (19 - 17) / (17 + 273.15), 1e-3);
    const UPA_level nothing = {850, 1500, M, M, M, M};
    EXPECT_EQ(energy_calc(&p1, &p2, &e1, &nothing), M);
}

TEST(UpaParcel, CapStrengthAndLiftedIndexCases) {
    const std::vector<UPA_level> snd = sounding(kCapped);
    const int n = int(snd.size());
    EXPECT_EQ(cap_strength(snd.data(), 0, 100, 1000, 0), M);
    EXPECT_EQ(cap_strength(snd.data(), n, 100, M, 0), M);
    // An LCL above 500 mb: the difference at the LCL is the only candidate.
    const UPA_level dry_start = {1000, 100, 30, -30, M, M};
    std::vector<UPA_level> high = snd;
    high[0] = dry_start;
    const float plcl = lcl_pres(303.15f, 243.15f, 1000);
    ASSERT_LT(plcl, 500);
    UPA_level at;
    UPA_interp(high.data(), n, 100, plcl, &at);
    EXPECT_NEAR(cap_strength(high.data(), n, 100, 1000, 0), at.t - (lcl_temp(303.15f, 1000, plcl) - 273.15f),
                1e-3);
    // Nothing to compare with: -9999, not a number near -10000.
    std::vector<UPA_level> bare = snd;
    for (std::size_t i = 1; i < bare.size(); ++i)
        bare[i].t = M;
    EXPECT_EQ(cap_strength(bare.data(), n, 100, 1000, 0), M);
    // The lifted index of a top below the condensation level follows the dry
    // adiabat.
    const float li = lifted_index(high.data(), n, 100, 1000, 0, 700);
    UPA_interp(high.data(), n, 100, 700, &at);
    EXPECT_NEAR(li, at.t - (temp_on_dryad(pot_temp(303.15f, 1000), 700) - 273.15f), 1e-3);
    EXPECT_EQ(lifted_index(high.data(), n, 100, 1000, 0, 50), M) << "no temperature at the top";
    EXPECT_EQ(lifted_index(snd.data() + 11, n - 11, 100, 450, 0, 300), M) << "a list starting above 500 mb";
}

TEST(UpaThetaeIndex, Cases) {
    // theta-e falls by 12 K from 1000 to 750 mb, rises, and falls by 15 K
    // from 650 to 550 mb: the second decrease starts above 700 mb.
    const float pres[] = {1000, 900, 800, 750, 700, 650, 600, 550, 500};
    const float want[] = {340, 336, 332, 328, 330, 335, 330, 320, 325};
    std::vector<UPA_level> snd;
    for (int i = 0; i < 9; ++i) {
        // The temperature of saturated air with that theta-e at that pressure.
        const float t = temp_on_satad(want[i], pres[i]) - 273.15f;
        snd.push_back({pres[i], M, t, t, M, M});
    }
    THETAE_params tp;
    ASSERT_EQ(thetae_index(snd.data(), 9, &tp), 0);
    EXPECT_NEAR(tp.index, 12, 0.1);
    EXPECT_EQ(tp.base, 900);
    EXPECT_EQ(tp.top, 700);
    EXPECT_NEAR(tp.max, 340, 0.1);
    EXPECT_EQ(tp.maxp, 1000);
    EXPECT_NEAR(tp.min, 328, 0.1);
    EXPECT_EQ(tp.minp, 750);
    // Still falling where the list ends: no top.
    ASSERT_EQ(thetae_index(snd.data(), 4, &tp), 0);
    EXPECT_NEAR(tp.index, 12, 0.1);
    EXPECT_EQ(tp.top, M);
    // The first level with data above 700 mb; no level with both values.
    EXPECT_EQ(thetae_index(snd.data() + 5, 4, &tp), -1);
    EXPECT_EQ(tp.index, M);
    EXPECT_EQ(tp.base, M);
    EXPECT_NE(tp.max, M);
    std::vector<UPA_level> dry = snd;
    for (UPA_level &l : dry)
        l.td = M;
    EXPECT_EQ(thetae_index(dry.data(), 9, &tp), -1);
    EXPECT_EQ(tp.max, M);
}

// ---- Stability indices ------------------------------------------------------------------------

namespace {

// A sounding with 850, 700 and 500 mb levels as given.
std::vector<UPA_level> mandatory(UPA_level l850, UPA_level l700, UPA_level l500) {
    return {{1000, 100, 25, 18, 180, 10}, l850, l700, l500, {300, 9200, -40, -55, 270, 60}};
}

} // namespace

TEST(UpaStabilityIndices, ByHand) {
    const UPA_level b850 = {850, 1500, 18, 12, 200, 20}, b700 = {700, 3100, 6, -2, 230, 30},
                    b500 = {500, 5800, -14, -30, 290, 40};
    std::vector<UPA_level> s = mandatory(b850, b700, b500);
    EXPECT_EQ(total_totals(s.data(), 5), 18 + 12 + 28);
    EXPECT_EQ(vertical_totals(s.data(), 5), 32);
    EXPECT_EQ(cross_totals(s.data(), 5), 26);
    EXPECT_EQ(k_index(s.data(), 5), 32 + 12 - 8);
    // SWEAT: 12 Td850, 20 (TT - 49), 2 spd850, spd500, and the shear term
    // 125 (sin 90 + 0.2) = 150.
    EXPECT_NEAR(sweat_index(s.data(), 5), 12 * 12 + 20 * 9 + 40 + 40 + 150, 1e-3);
    const float e850 = 0.24f * 291.15f + 1500 * 980.0f * 100 / 4.2e7f + 0.6f * mix_ratio(285.15f, 850);
    const float e500 = 0.24f * 259.15f + 5800 * 980.0f * 100 / 4.2e7f + 0.6f * mix_ratio(243.15f, 500);
    EXPECT_NEAR(energy_index(s.data(), 5), e500 - e850, 1e-3);

    struct Sweat {
        const char *what;
        UPA_level l850, l500;
        float want;
    };
    const Sweat sweats[] = {
        // Td850 -5: no dew-point term; TT exactly 49 adds nothing.
        {"cold dew point, TT 49", {850, 1500, 0, -5, 200, 20}, {500, 5800, -27, -40, 290, 40}, 40 + 40 + 150},
        {"850 mb from 130: no shear term", {850, 1500, 0, -5, 130, 20}, {500, 5800, -27, -40, 290, 40}, 80},
        {"850 mb from 135: shear term",
         {850, 1500, 0, -5, 135, 20},
         {500, 5800, -27, -40, 290, 40},
         float(80 + 125 * (std::sin(155 * M_PI / 180) + 0.2))},
        {"no turning", {850, 1500, 0, -5, 250, 20}, {500, 5800, -27, -40, 250, 40}, 80},
        {"slow 850 mb wind", {850, 1500, 0, -5, 200, 14}, {500, 5800, -27, -40, 290, 40}, 28 + 40},
    };
    for (const Sweat &c : sweats) {
        s = mandatory(c.l850, b700, c.l500);
        EXPECT_NEAR(sweat_index(s.data(), 5), c.want, 1e-3) << c.what;
    }

    // Missing values: no 700 mb dew point, no data at 500 mb.
    s = mandatory(b850, {700, 3100, 6, M, 230, 30}, {500, 5800, -14, M, 290, 40});
    s[4].td = M;
    EXPECT_EQ(k_index(s.data(), 5), M);
    EXPECT_NE(total_totals(s.data(), 5), M);
    s = mandatory(b850, b700, b500);
    s.resize(3); // the sounding ends at 700 mb
    for (float v : {total_totals(s.data(), 3), vertical_totals(s.data(), 3), cross_totals(s.data(), 3),
                    k_index(s.data(), 3), sweat_index(s.data(), 3), energy_index(s.data(), 3)})
        EXPECT_EQ(v, M);
}

// ---- Derived quantities -----------------------------------------------------------------------

TEST(UpaDerived, ThicknessLapseRatesAndStability) {
    // Isothermal at -10 C: the 1000-500 mb thickness is R T / g ln 2.
    std::vector<UPA_level> iso;
    for (float p = 1000; p >= 400; p -= 100)
        iso.push_back({p, float(287.05 * 263.15 / 9.8 * std::log(1000.0 / p)), -10, -20, M, M});
    const int n = int(iso.size());
    EXPECT_NEAR(thickness(iso.data(), n, 100, 1000, 500), 287.05 * 263.15 / 9.8 * std::log(2.0), 0.05);
    EXPECT_NEAR(lapse_rate(iso.data(), n, 100, 1000, 500), 0, 1e-6);
    EXPECT_EQ(thickness(iso.data(), n, 100, 1000, 300), M);
    // A constant lapse rate of 6.5 K/km over heights.
    std::vector<UPA_level> std_atm;
    for (float p = 1000; p >= 400; p -= 100) {
        const double z = 288.15 / 0.0065 * (1 - std::pow(p / 1013.25, 287.05 * 0.0065 / 9.8));
        std_atm.push_back({p, float(z), float(15 - 0.0065 * z), M, M, M});
    }
    EXPECT_NEAR(lapse_rate(std_atm.data(), n, 100, 900, 500), 0.0065, 1e-6);
    EXPECT_NEAR(lapse_rate(std_atm.data(), n, 103, 1000, 4000), 0.0065, 1e-6);
    const UPA_level &b = std_atm[1], &u = std_atm[5];
    const float tb = pot_temp(b.t + 273.15f, b.p), tu = pot_temp(u.t + 273.15f, u.p);
    EXPECT_NEAR(theta_lapse_rate(std_atm.data(), n, 100, 900, 500), (tu - tb) / (u.h - b.h), 1e-7);
    EXPECT_NEAR(theta_pres_lapse_rate(std_atm.data(), n, 100, 900, 500), (tu - tb) / 400, 1e-6);
    EXPECT_EQ(theta_pres_lapse_rate(std_atm.data(), n, 100, 900, 900), M);
    // Static stability of the standard atmosphere at 700 mb: -(R T/(p theta))
    // d theta/dp from 720 to 690 mb.
    const float ss = static_stability(std_atm.data(), n, 100, 700);
    UPA_level l720, l690;
    UPA_interp(std_atm.data(), n, 100, 720, &l720);
    UPA_interp(std_atm.data(), n, 100, 690, &l690);
    const double th720 = pot_temp(l720.t + 273.15f, 720), th690 = pot_temp(l690.t + 273.15f, 690);
    const double t700 = std_atm[3].t + 273.15, th700 = pot_temp(std_atm[3].t + 273.15f, 700);
    EXPECT_NEAR(ss, -287.05 * t700 / (70000 * th700) * (th690 - th720) / (69000 - 72000), 1e-9);
    EXPECT_GT(ss, 0);
}

TEST(UpaDerived, PrecipitableWater) {
    // The dew point whose specific humidity at p is q.
    auto dew_for = [](double q, float p) {
        double lo = 200, hi = 320;
        for (int i = 0; i < 60; ++i) {
            const double mid = (lo + hi) / 2;
            (spec_hum(float(mid), p) < q ? lo : hi) = mid;
        }
        return float(lo - 273.15);
    };
    std::vector<UPA_level> three = {{1000, 100, 20, dew_for(10, 1000), M, M},
                                    {900, 1000, 15, dew_for(10, 900), M, M},
                                    {800, 1950, 10, M, M, M}};
    const double q1 = spec_hum(three[0].td + 273.15f, 1000), q2 = spec_hum(three[1].td + 273.15f, 900);
    EXPECT_NEAR(precip_water(three.data(), 3), 100 * ((q1 + q2) / 2000) / 2.4892, 1e-5);
    EXPECT_NEAR(precip_water(three.data(), 3), 0.40, 0.005);
    EXPECT_EQ(precip_water(three.data(), 2), M) << "more than two levels are needed";
    std::vector<UPA_level> high_dew = three;
    high_dew.insert(high_dew.begin(), 3, UPA_level{1010, 0, 20, M, M, M});
    EXPECT_EQ(precip_water(high_dew.data(), 6), M) << "no dew point in the three lowest levels";
}

TEST(UpaDerived, FreezingAndWetBulbZero) {
    struct Case {
        const char *what;
        std::vector<UPA_level> levels;
        float frz;
    };
    const Case cases[] = {
        {"below freezing at the ground", {{980, 0, -2, -5, M, M}, {850, 0, -8, -12, M, M}}, -1},
        {"a list starting above 500 mb", {{480, 0, -20, -30, M, M}, {400, 0, -28, -40, M, M}}, M},
        {"first temperature above 500 mb",
         {{1000, 0, M, M, M, M}, {480, 0, -20, -30, M, M}, {400, 0, -28, -40, M, M}},
         M},
        {"warm layer aloft: the lowest crossing",
         {{1000, 0, 5, 2, M, M}, {850, 0, -1, -3, M, M}, {800, 0, 2, 0, M, M}, {700, 0, -5, -9, M, M}},
         float(1000 - 150 * 5.0 / 6)},
        {"no crossing", {{1000, 0, 5, 2, M, M}, {850, 0, 1, -3, M, M}}, M},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(freezing_level(c.levels.data(), int(c.levels.size())), c.frz, 1e-3) << c.what;
    EXPECT_EQ(freezing_level(cases[0].levels.data(), 0), M);

    // Wet-bulb zero: the crossing of the wet-bulb temperature, -1 when the
    // lowest wet bulb is below freezing.
    const std::vector<UPA_level> &warm = cases[3].levels;
    const float wb0 = wet_bulb(278.15f, 275.15f, 1000) - 273.15f,
                wb1 = wet_bulb(272.15f, 270.15f, 850) - 273.15f;
    ASSERT_GT(wb0, 0);
    ASSERT_LT(wb1, 0);
    EXPECT_NEAR(wet_bulb_zero(warm.data(), 4), 1000 + (0 - wb0) * (850 - 1000) / (wb1 - wb0), 1e-2);
    EXPECT_EQ(wet_bulb_zero(cases[0].levels.data(), 2), -1);
    EXPECT_EQ(wet_bulb_zero(cases[1].levels.data(), 2), -1) << "no 500 mb test";
    EXPECT_EQ(wet_bulb_zero(warm.data(), 0), M);
}

TEST(UpaDerived, MaximumTemperatureAndCcl) {
    const std::vector<UPA_level> snd = sounding(kCapped);
    const int n = int(snd.size());
    // Air from the top of the 150 mb layer brought down to the surface.
    UPA_level top;
    UPA_interp(snd.data(), n, 100, 850, &top);
    EXPECT_NEAR(max_temperature(snd.data(), n, 100, 1000, 150),
                temp_on_dryad(pot_temp(top.t + 273.15f, 850), 1000), 1e-3);
    UPA_interp(snd.data(), n, 100, 990, &top);
    EXPECT_NEAR(max_temperature(snd.data(), n, 100, 1000, M),
                temp_on_dryad(pot_temp(top.t + 273.15f, 990), 1000), 1e-3)
        << "10 mb without a thickness";
    // No temperature at the top of the layer: -9999, not 0 K.
    EXPECT_EQ(max_temperature(snd.data(), n, 100, 1000, 950), M);
    EXPECT_EQ(max_temperature(snd.data(), n, 100, M, 150), M);

    // The CCL where the saturation temperature of the surface mixing ratio
    // meets the sounding.
    float w = 0;
    const float ccl = pr_ccl(snd.data(), n, 100, 1000, 0, &w);
    EXPECT_NEAR(w, mix_ratio(22 + 273.15f, 1000), 1e-4);
    ASSERT_GT(ccl, 500);
    UPA_level at;
    UPA_interp(snd.data(), n, 100, ccl, &at);
    EXPECT_NEAR(temp_on_mixrat(w, ccl), at.t + 273.15f, 0.01);
    // Saturated air: the first level searched stops the search.
    std::vector<UPA_level> sat = snd;
    sat[1].td = sat[1].t + 0.5f;
    sat[0].td = sat[0].t;
    sat[1].t = sat[0].t - 3;
    EXPECT_EQ(pr_ccl(sat.data(), n, 100, 1000, 0, &w), sat[1].p);
    // The first temperature above the start stops it: that level's pressure.
    std::vector<UPA_level> gap = sat;
    gap[1].t = M;
    gap[2].t = sat[0].t - 10;
    EXPECT_EQ(pr_ccl(gap.data(), n, 100, 1000, 0, &w), gap[2].p);
    // Never saturated; no mixing ratio; one level; a bottom above 500 mb.
    std::vector<UPA_level> dry = snd;
    for (UPA_level &l : dry)
        l.td = -60;
    for (UPA_level &l : dry)
        l.t = 40;
    EXPECT_EQ(pr_ccl(dry.data(), n, 100, 1000, 0, &w), -1);
    std::vector<UPA_level> none = snd;
    none[0].td = M;
    EXPECT_EQ(pr_ccl(none.data(), n, 100, 1000, 0, &w), M);
    EXPECT_EQ(w, M);
    EXPECT_EQ(pr_ccl(snd.data(), 1, 100, 1000, 0, &w), 0);
    EXPECT_EQ(pr_ccl(snd.data(), n, 100, 450, 0, &w), M);
}

// ---- Helicity and shear --------------------------------------------------------------------------

namespace {

// A wind sounding from the ground up in 100 m steps whose wind, less the
// storm motion, turns by delta degrees per step at radius r (m/s).
std::vector<UPA_level> hodograph_circle(const WIND &storm, double r, double delta, int steps) {
    float su, sv;
    wind2vect(storm.dir, storm.spd * 0.5144f, &su, &sv);
    std::vector<UPA_level> v;
    for (int i = 0; i <= steps; ++i) {
        // The direction the relative wind blows from veers with height.
        const double from = (90 + delta * i) * M_PI / 180;
        const float u = float(su - r * std::sin(from)), vv = float(sv - r * std::cos(from));
        float dir, spd;
        vect2wind(u, vv, &dir, &spd);
        v.push_back({float(1000 - i), float(100 * i), M, M, dir, spd / 0.5144f});
    }
    return v;
}

} // namespace

TEST(UpaHelicity, AnalyticCases) {
    // A circle about the storm motion: N r^2 sin(delta), relative helicity 1.
    const WIND storm = {240, 20};
    const double r = 10, delta = 3;
    const int steps = 30;
    const std::vector<UPA_level> circle = hodograph_circle(storm, r, delta, steps);
    HELICITY_params hp;
    const double per_step = r * r * std::sin(delta * M_PI / 180);
    ASSERT_EQ(helicity(circle.data(), steps + 1, 103, 0, 3500, &storm, &hp), 0) << "a top above the data";
    EXPECT_NEAR(hp.pos_hel, steps * per_step, 1e-3 * steps * per_step) << "cut at the last level";
    ASSERT_EQ(helicity(circle.data(), steps + 1, 103, 0, 3000, &storm, &hp), 1);
    EXPECT_NEAR(hp.pos_hel, steps * per_step, 1e-3 * steps * per_step);
    EXPECT_NEAR(hp.neg_hel, 0, 1e-6);
    EXPECT_NEAR(hp.tot_hel, hp.pos_hel, 1e-6);
    EXPECT_NEAR(hp.ave_hel, hp.tot_hel / 3000, 1e-6);
    EXPECT_NEAR(hp.rel_hel, 1, 1e-4);
    EXPECT_NEAR(hp.dir_shr, steps * delta, 0.05);
    EXPECT_NEAR(hp.stm_vort, r * delta * M_PI / 180 / 100, 1e-6);

    // A constant wind: no helicity (a zero step counts as negative), no
    // vorticity, relative helicity left at 0, no turning.
    std::vector<UPA_level> steady;
    for (int i = 0; i <= 30; ++i)
        steady.push_back({float(1000 - i), float(100 * i), M, M, 250, 30});
    ASSERT_EQ(helicity(steady.data(), 31, 103, 0, 2900, &storm, &hp), 1);
    for (float v : {hp.pos_hel, hp.neg_hel, hp.tot_hel, hp.hor_vort, hp.rel_hel, hp.dir_shr})
        EXPECT_NEAR(v, 0, 1e-4);

    // Too little data, no storm, no bottom height.
    EXPECT_EQ(helicity(steady.data(), 1, 103, 0, 2900, &storm, &hp), 0);
    EXPECT_EQ(hp.pos_hel, M);
    const WIND no_storm = {M, M};
    EXPECT_EQ(helicity(steady.data(), 31, 103, 0, 2900, &no_storm, &hp), 0);
    EXPECT_EQ(hp.tot_hel, M);
    EXPECT_EQ(helicity(steady.data(), 31, 100, 1020, 980, &storm, &hp), -1);

    // Veering winds 180 to 270 degrees over 3000 m at 20 knots, calm storm.
    std::vector<UPA_level> veer;
    for (int i = 0; i <= 30; ++i)
        veer.push_back({float(1000 - i), float(100 * i), M, M, float(180 + 3 * i), 20});
    const WIND calm = {0, 0};
    ASSERT_EQ(helicity(veer.data(), 31, 103, 0, 2990, &calm, &hp), 1);
    EXPECT_GT(hp.pos_hel, 0);
    EXPECT_EQ(hp.neg_hel, 0);
    EXPECT_NEAR(hp.rel_hel, 1, 1e-4);

    // Energy-helicity: positive helicity 200 and CAPE 2000 give 2.5.
    const double r200 = std::sqrt(200 / (20 * std::sin(3 * M_PI / 180)));
    const std::vector<UPA_level> c200 = hodograph_circle(storm, r200, 3, 25);
    EXPECT_NEAR(energy_helicity(c200.data(), 26, 103, 0, &storm, 2000), 2.5, 2.5e-3);
    EXPECT_EQ(energy_helicity(c200.data(), 26, 103, 0, &no_storm, 2000), M);
    EXPECT_EQ(energy_helicity(c200.data(), 26, 103, 0, &storm, M), M);
}

TEST(UpaShearLayer, VeeringBackingAndTopAboveTheData) {
    // Backing only, with one step of unchanged direction (backing too).
    std::vector<UPA_level> back;
    for (int i = 0; i <= 30; ++i)
        back.push_back({float(1000 - i), float(100 * i), M, M, float(i < 10 ? 270 : 270 - 3 * (i - 10)), 20});
    SHEAR_params sp;
    ASSERT_EQ(shear_layer(back.data(), 31, 103, 0, 3000, nullptr, &sp), 1);
    EXPECT_EQ(sp.pos_shr, 0);
    EXPECT_GT(sp.neg_shr, 0);
    // Veering only: the whole vector change over the depth.
    std::vector<UPA_level> veer;
    for (int i = 0; i <= 30; ++i)
        veer.push_back({float(1000 - i), float(100 * i), M, M, float(180 + 3 * i), 20});
    ASSERT_EQ(shear_layer(veer.data(), 31, 103, 0, 3000, nullptr, &sp), 1);
    float u0, v0, u1, v1;
    wind2vect(180, 20 * 0.5144f, &u0, &v0);
    wind2vect(270, 20 * 0.5144f, &u1, &v1);
    EXPECT_NEAR(sp.pos_shr, std::hypot(u1 - u0, v1 - v0) / 3000, 1e-6);
    EXPECT_EQ(sp.neg_shr, 0);

    // Data ending 2500 m up, a top at 3000 m: helicity is cut (0) with its
    // last step at 2500 m, the shear walks on with missing steps (1).
    const WIND storm = {240, 15};
    HELICITY_params hp, full;
    ASSERT_EQ(helicity(veer.data(), 26, 103, 0, 3000, &storm, &hp), 0);
    ASSERT_EQ(helicity(veer.data(), 26, 103, 0, 2500, &storm, &full), 1);
    EXPECT_NEAR(hp.pos_hel, full.pos_hel, 1e-3);
    EXPECT_EQ(shear_layer(veer.data(), 26, 103, 0, 3000, nullptr, &sp), 1);
    float u25, v25;
    wind2vect(255, 20 * 0.5144f, &u25, &v25);
    EXPECT_NEAR(sp.pos_shr, std::hypot(u25 - u0, v25 - v0) / 2500, 1e-6) << "the step at 3000 m has no wind";
    EXPECT_EQ(shear_layer(veer.data(), 0, 103, 0, 3000, nullptr, &sp), 0);
    EXPECT_EQ(sp.pos_shr, M);
}

TEST(UpaBulkRichardson, Cases) {
    // Wind from 0 at 10 knots below 500 m turning to 20 knots from the west
    // higher up: the means differ.
    std::vector<UPA_level> snd;
    for (int i = 0; i <= 70; ++i) {
        const float h = 100.0f * i;
        const float p = float(1000 * std::exp(-h / 8000.0));
        snd.push_back({p, h, M, M, h < 600 ? 360.0f : 270.0f, h < 600 ? 10.0f : 20.0f});
    }
    float brn = 0, shear = 0;
    ASSERT_EQ(bulk_richardson(snd.data(), int(snd.size()), 100, 1000, 500, &brn, &shear), 0);
    WIND m1, m2;
    layer_wind_mean(snd.data(), int(snd.size()), 103, 0, 500, &m1);
    layer_wind_mean(snd.data(), int(snd.size()), 103, 0, 6000, &m2);
    float u1, v1, u2, v2;
    wind2vect(m1.dir, m1.spd * 0.5144f, &u1, &v1);
    wind2vect(m2.dir, m2.spd * 0.5144f, &u2, &v2);
    const double dv = std::hypot(u2 - u1, v2 - v1);
    EXPECT_NEAR(shear, dv, 1e-4);
    EXPECT_NEAR(brn, 500 / (0.5 * dv * dv), 1e-3 * brn);
    ASSERT_EQ(bulk_richardson(snd.data(), int(snd.size()), 100, 1000, 0, &brn, &shear), 0);
    EXPECT_EQ(brn, 0) << "no CAPE";
    // Equal means: no shear, no number.
    std::vector<UPA_level> steady = snd;
    for (UPA_level &l : steady) {
        l.dir = 270;
        l.spd = 20;
    }
    ASSERT_EQ(bulk_richardson(steady.data(), int(steady.size()), 100, 1000, 500, &brn, &shear), 0);
    EXPECT_NEAR(shear, 0, 1e-4);
    EXPECT_EQ(brn, M);
    // One mean missing: both missing.
    std::vector<UPA_level> low = snd;
    for (UPA_level &l : low)
        if (l.h > 400) l.dir = M;
    EXPECT_EQ(bulk_richardson(low.data(), int(low.size()), 100, 1000, 500, &brn, &shear), -1);
    EXPECT_EQ(brn, M);
    EXPECT_EQ(shear, M);
    EXPECT_EQ(bulk_richardson(snd.data(), 0, 100, 1000, 500, &brn, &shear), -1);
}

// ---- Level specifications -------------------------------------------------------------------

namespace {

// kSnd as the current sounding (temperatures and winds), surface at 1000 mb
// and 100 m, with a tropopause and a maximum wind.
std::vector<UPA_level> current_sounding() {
    std::vector<UPA_level> snd = kSnd;
    THERM_set_data(1000, snd.data(), int(snd.size()), snd.data(), int(snd.size()));
    const UPA_level trop = {250, 10400, -50, M, 260, 60}, mwnd = {300, 9200, M, M, 255, 80};
    THERM_set_trop(&trop);
    THERM_set_mwnd(&mwnd);
    return snd;
}

VAR_data level_var(const char *name, int ltype, int level) {
    VAR_data v;
    std::memset(&v, 0, sizeof v);
    std::snprintf(v.name, sizeof v.name, "%s", name);
    v.ltype = ltype;
    v.level = level;
    return v;
}

} // namespace

TEST(UpaLevelDecode, Cases) {
    const std::vector<UPA_level> snd = current_sounding();
    ASSERT_EQ(THERM_get_sfc()->h, 100);
    struct Case {
        const char *what;
        int ltype, level;
        int rc, coord;
        float lev1, lev2, thick;
    };
    const float lcl = lcl_pres(24 + 273.15f, 18 + 273.15f, 1000);
    const Case cases[] = {
        {"no level", -9999, 0, 0, 100, M, M, M},
        {"sfc", 1, 0, 1, 100, 1000, M, M},
        {"sfc with a parcel layer", 1, 50, 1, 100, 1000, M, 50},
        {"mwnd", 6, 0, 1, 100, 300, M, M},
        {"trop", 7, 0, 1, 100, 250, M, M},
        {"none: surface to 500 mb", 0, 0, 2, 100, 1000, 500, M},
        {"frz: 700 mb 6 C, 600 mb -2 C", 4, 0, 1, 100, 625, M, M},
        {"lcl", 5, 0, 1, 100, lcl, M, M},
        {"sfc(50)-500", 101, 205050, 2, 101, 1000, 500, 50},
        {"sfc-500", 101, 190050, 2, 101, 1000, 500, M},
        {"maxt-500", 101, 191050, 2, 101, 1000, 500, M},
        {"trop up 100 mb", 101, 195010, 2, 101, 250, 150, M},
        {"850-500", 101, 85050, 2, 101, 850, 500, M},
        {"trop up 2000 m", 104, 995020, 2, 104, 10400, 12400, M},
        {"0-3000 m: upper end first", 104, 30, 2, 104, 3000, 0, M},
        {"0-1000 m above ground", 106, 10, 2, 106, 1100, 100, M},
        {"10 m above ground", 105, 10, 1, 105, 110, M, M},
        {"30 mb above the surface", 115, 30, 1, 115, 970, M, M},
        {"30-90 mb above the surface", 116, 90030, 2, 116, 910, 970, M},
        {"300-310 K", 114, 310300, 2, 114, 310, 300, M},
        {"700 mb", 100, 700, 1, 100, 700, M, M},
        {"3000 m", 103, 3000, 1, 103, 3000, M, M},
    };
    for (const Case &c : cases) {
        const VAR_data v = level_var("temp", c.ltype, c.level);
        int coord = 0;
        float l1 = 0, l2 = 0, th = 0;
        EXPECT_EQ(UPA_level_decode(&v, &coord, &l1, &l2, &th), c.rc) << c.what;
        EXPECT_EQ(coord, c.coord) << c.what;
        EXPECT_FLOAT_EQ(l1, c.lev1) << c.what;
        EXPECT_FLOAT_EQ(l2, c.lev2) << c.what;
        EXPECT_FLOAT_EQ(th, c.thick) << c.what;
        EXPECT_EQ(UPA_is_maxt(&v), c.level == 191050 ? 1 : 0) << c.what;
    }

    // A missing surface height counts as 0 for heights above ground.
    THERM_get_sfc()->h = M;
    int coord = 0;
    float l1 = 0, l2 = 0, th = 0;
    VAR_data v = level_var("temp", 106, 10);
    EXPECT_EQ(UPA_level_decode(&v, &coord, &l1, &l2, &th), 2);
    EXPECT_EQ(l1, 1000);
    EXPECT_EQ(l2, 0);

    // Without a tropopause its layers have no bounds.
    UPA_level none;
    UPA_level_init(&none);
    THERM_set_trop(&none);
    for (const auto &[ltype, level] : {std::pair{101, 195010}, std::pair{104, 995020}}) {
        v = level_var("temp", ltype, level);
        EXPECT_EQ(UPA_level_decode(&v, &coord, &l1, &l2, &th), 2) << ltype;
        EXPECT_EQ(l1, M) << ltype;
        EXPECT_EQ(l2, M) << ltype;
    }

    // A sounding that starts below freezing under 500 mb: freezing level -1.
    std::vector<UPA_level> cold = {
        {850, 1500, -5, -8, M, M}, {700, 3000, -12, -18, M, M}, {500, 5600, -25, -30, M, M}};
    THERM_set_data(850, cold.data(), 3, cold.data(), 3);
    v = level_var("temp", 4, 0);
    EXPECT_EQ(UPA_level_decode(&v, &coord, &l1, &l2, &th), 1);
    EXPECT_EQ(l1, -1);
}

TEST(UpaMakeLayer, HalfWidthsAndDefaults) {
    struct Case {
        int ltype, level;
        float delta, lev1, lev2;
    };
    const Case cases[] = {{100, 500, -3, 475, 525},   {100, 500, 0, 475, 525},     {100, 500, 10, 490, 510},
                          {103, 1500, 0, 1700, 1300}, {103, 1500, 50, 1550, 1450}, {113, 300, 0, 305, 295},
                          {101, 85050, 5, 1, 2}};
    for (const Case &c : cases) {
        const VAR_data v = level_var("temp", c.ltype, c.level);
        int coord = 77;
        float l1 = 1, l2 = 2;
        EXPECT_EQ(UPA_make_layer(&v, &coord, &l1, &l2, c.delta), 0);
        EXPECT_EQ(l1, c.lev1) << c.ltype << " " << c.delta;
        EXPECT_EQ(l2, c.lev2) << c.ltype << " " << c.delta;
        EXPECT_EQ(coord, 77);
    }
}

// The value of a variable is the layer mean over its decoded layer, taken
// from the lower bound up: a layer given upper end first has its mean.
TEST(UpaCalcLayer, MeanOverTheDecodedLayer) {
    const std::vector<UPA_level> snd = current_sounding();
    const int n = int(snd.size());
    struct Case {
        const char *name;
        int ltype, level;
        int coord;
        float bottom, top;
    };
    const Case cases[] = {{"temp", 101, 85050, 101, 850, 500},    {"rhum", 0, 0, 100, 1000, 500},
                          {"theta", 100, 700, 100, 700, M},       {"temp", 106, 30, 106, 100, 3100},
                          {"mrat", 104, 30, 104, 0, 3000},        {"dewp", 116, 90030, 116, 970, 910},
                          {"thetae", 114, 310300, 114, 300, 310}, {"temp", 101, 195010, 101, 250, 150}};
    for (const Case &c : cases) {
        const VAR_data v = level_var(c.name, c.ltype, c.level);
        RAW_data data;
        data.value[0] = 0;
        EXPECT_EQ(UPA_calc_layer(&v, &data), 0);
        const float want = mean_value(c.name, snd.data(), n, c.coord, c.bottom, c.top);
        EXPECT_EQ(data.value[0], want) << c.name << " " << c.ltype;
        // The tropopause layer lies above the sounding.
        if (c.level != 195010) {
            EXPECT_NE(want, M) << c.name << " " << c.ltype;
        }
    }
    RAW_data data;
    const VAR_data none = level_var("temp", -9999, 0);
    UPA_calc_layer(&none, &data);
    EXPECT_EQ(data.value[0], M);

    // Winds: the mean over the layer when it is a full one, else missing.
    struct WindCase {
        int ltype, level;
        int coord;
        float bottom, top;
        bool known;
    };
    const WindCase winds[] = {{106, 30, 106, 100, 3100, true},
                              {104, 30, 104, 0, 3000, true},
                              {101, 85050, 101, 850, 500, true},
                              {100, 700, 100, 700, M, true},
                              {101, 30020, 101, 300, 200, false}};
    for (const WindCase &c : winds) {
        const VAR_data v = level_var("wind", c.ltype, c.level);
        WIND got = {0, 0}, want;
        EXPECT_EQ(UPA_calc_wind_layer(&v, &got), 0);
        const int rc = layer_wind_mean(snd.data(), n, c.coord, c.bottom, c.top, &want);
        EXPECT_EQ(rc == 1, c.known) << c.ltype << " " << c.level;
        if (!c.known) want = {M, M};
        EXPECT_EQ(got.dir, want.dir) << c.ltype << " " << c.level;
        EXPECT_EQ(got.spd, want.spd) << c.ltype << " " << c.level;
    }
}

// Heights out of order can make a layer of any depth: beyond 100 km the
// walks refuse it instead of stepping for ever.
TEST(UpaHelicity, LayerDeeperThanAnyAtmosphere) {
    const std::vector<UPA_level> snd = {{900, 1000, 20, 10, 180, 10},
                                        {850, 1480, 16, 6, 200, 20},
                                        {800, 2000, 12, 2, 220, 25},
                                        {700, 1e11f, 5, -5, 240, 30}};
    const WIND storm = {240, 20};
    HELICITY_params hp;
    SHEAR_params sp;
    EXPECT_EQ(helicity(snd.data(), 4, 100, 900, 700, &storm, &hp), -1);
    EXPECT_EQ(hp.pos_hel, M);
    EXPECT_EQ(shear_layer(snd.data(), 4, 100, 900, 700, nullptr, &sp), -1);
    EXPECT_EQ(sp.pos_shr, M);
    // A layer just within the limit is walked.
    std::vector<UPA_level> tall;
    for (int i = 0; i <= 100; ++i) {
        const float h = 999.0f * i;
        tall.push_back({1000 * std::exp(-h / 7000), h, 20.0f - i, 10.0f - i, 180.0f + i % 50, 10.0f + i % 7});
    }
    EXPECT_EQ(shear_layer(tall.data(), 101, 103, 0, 99900, nullptr, &sp), 1);
    EXPECT_NE(sp.pos_shr, M);
}
