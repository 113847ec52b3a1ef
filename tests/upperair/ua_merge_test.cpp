// Sounding merge, interpolation and hydrostatic completion: the merge cases
// as a table of levels and man_index, a full report's soundings, the list
// merges; interpolation against NumPy and the edge cases as a table; heights
// and pressures against the hypsometric equation.
#include "upperair/ua_merge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fields/calc.h"
#include "support/reference.h"
#include "upperair/thm_tool.h"
#include "upperair/ua_read.h"

namespace {

constexpr float M = -9999.0f;

// The standard atmosphere below 11 km: T = 288.15 - 0.0065 z,
// p = 1013.25 (T / 288.15)^(g / (R L)).
double std_height(double p) {
    return 288.15 / 0.0065 * (1.0 - std::pow(p / 1013.25, 287.05 * 0.0065 / 9.8));
}
double std_temp_c(double p) {
    return 288.15 - 0.0065 * std_height(p) - 273.15;
}

std::vector<UPA_level> column(const std::vector<float> &pressures) {
    std::vector<UPA_level> v;
    for (float p : pressures)
        v.push_back({p, M, float(std_temp_c(p)), M, M, M});
    v.push_back({123, 456, 7, 8, 9, 10}); // the scratch entry after the list
    return v;
}

const std::vector<float> kPressures = {1000, 950, 900, 850, 800, 750, 700, 650, 600, 550, 500, 450, 400};

TEST(UpaCalcHeight, MissingHeightsFollowTheStandardAtmosphere) {
    // Known heights at 1000, 700 and 500 mb; the others are filled between
    // them (meeting both exactly) and above the last one.
    std::vector<UPA_level> v = column(kPressures);
    const int n = int(kPressures.size());
    for (int k : {0, 6, 10})
        v[std::size_t(k)].h = float(std_height(v[std::size_t(k)].p));
    ASSERT_EQ(UPA_calc_height(v.data(), n), 0);
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(v[std::size_t(k)].h, std_height(v[std::size_t(k)].p), 1.5) << v[std::size_t(k)].p;
        if (k == 0 || k == 6 || k == 10) {
            EXPECT_EQ(v[std::size_t(k)].h, float(std_height(v[std::size_t(k)].p)));
        }
    }
    EXPECT_EQ(v[std::size_t(n)].p, M);
    EXPECT_EQ(v[std::size_t(n)].h, M);
    EXPECT_EQ(v[std::size_t(n)].t, M);
    EXPECT_EQ(v[std::size_t(n)].spd, 10) << "only p, h and t of the scratch entry are written";
}

TEST(UpaCalcHeight, AMissingFirstHeightComesFromTheNextKnownOne) {
    std::vector<UPA_level> v = column({1000, 925, 850});
    v[1].h = float(std_height(925));
    ASSERT_EQ(UPA_calc_height(v.data(), 3), 0);
    EXPECT_NEAR(v[0].h, std_height(1000), 0.5);
    EXPECT_NEAR(v[2].h, std_height(850), 0.5);
}

TEST(UpaCalcHeight, TheMisfitIsSpreadLinearlyInPressure) {
    // An isothermal layer whose upper height is 30 m above the hydrostatic
    // one: every level between moves up in proportion to its pressure.
    std::vector<UPA_level> v;
    for (float p : {1000.0f, 900.0f, 800.0f, 700.0f})
        v.push_back({p, M, 0.0f, M, M, M});
    v.push_back({M, M, M, M, M, M});
    auto hydro = [](float p) { return float(std::log(1000.0 / p) * 287.05 * 273.15 / 9.8); };
    v[0].h = 0;
    v[3].h = hydro(700) + 30;
    ASSERT_EQ(UPA_calc_height(v.data(), 4), 0);
    EXPECT_NEAR(v[1].h, hydro(900) + 10, 0.01);
    EXPECT_NEAR(v[2].h, hydro(800) + 20, 0.01);
    EXPECT_EQ(v[3].h, hydro(700) + 30);
}

TEST(UpaCalcHeight, NoHeightAfterTheFirstChangesNothing) {
    std::vector<UPA_level> v = column({1000, 850, 700});
    v[0].h = 110;
    const std::vector<UPA_level> before = v;
    EXPECT_EQ(UPA_calc_height(v.data(), 3), -1);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(v[std::size_t(k)].h, before[std::size_t(k)].h);
        EXPECT_EQ(v[std::size_t(k)].t, before[std::size_t(k)].t);
    }
    EXPECT_EQ(v[3].h, M);
}

TEST(UpaCalcHeight, LayersWithoutTemperatureUseTheLapseRate) {
    // Without temperatures the standard lapse from the lowest level stands in.
    std::vector<UPA_level> v = column(kPressures);
    const int n = int(kPressures.size());
    for (UPA_level &l : v)
        l.t = M;
    v[1].h = float(std_height(950));
    ASSERT_EQ(UPA_calc_height(v.data(), n), 0);
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(v[std::size_t(k)].h, std_height(v[std::size_t(k)].p), 60) << v[std::size_t(k)].p;
    for (int k = 1; k < n; ++k)
        EXPECT_GT(v[std::size_t(k)].h, v[std::size_t(k) - 1].h);
}

} // namespace

namespace {

constexpr double R_GAS = 287.05, GRAV = 9.8;

// An isothermal column at -10 C: the hypsometric height of each pressure
// above the 850 mb level at 1500 m.
const std::vector<float> kIsoPres = {1000, 950, 900, 850, 800, 700, 600, 500};
double iso_height(double p) {
    return 1500.0 + R_GAS * 263.15 / GRAV * std::log(850.0 / p);
}

std::vector<UPA_level> iso_column() {
    std::vector<UPA_level> v;
    for (float p : kIsoPres)
        v.push_back({p, float(iso_height(p)), -10, M, M, M});
    v.push_back({1, 2, 3, 4, 5, 6}); // scratch
    return v;
}

} // namespace

TEST(UpaCalcHeight, IsothermalHeightsFromOneKnownHeightAboveTheFirstLevel) {
    std::vector<UPA_level> v = iso_column();
    const int n = int(kIsoPres.size());
    for (int k = 0; k < n; ++k)
        if (k != 3) v[std::size_t(k)].h = M;
    ASSERT_EQ(UPA_calc_height(v.data(), n), 0);
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(v[std::size_t(k)].h, iso_height(kIsoPres[std::size_t(k)]), 0.01)
            << kIsoPres[std::size_t(k)];
}

TEST(UpaCalcPress, IsothermalPressuresBackFromHeights) {
    const int n = int(kIsoPres.size());
    // Pressures known at 1000, 850 and 700 mb: those between two known ones
    // and above the last one come back.
    std::vector<UPA_level> v = iso_column();
    for (int k : {1, 2, 4, 6, 7})
        v[std::size_t(k)].p = M;
    ASSERT_EQ(UPA_calc_press(v.data(), n), 0);
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(v[std::size_t(k)].p, kIsoPres[std::size_t(k)], 0.01) << k;
    EXPECT_EQ(v[std::size_t(n)].p, M);
    EXPECT_EQ(v[std::size_t(n)].h, M);
    EXPECT_EQ(v[std::size_t(n)].t, 3) << "only p and h of the scratch entry are written";

    // A first level without pressure gets one from the next level with one;
    // a level without height gets one from the next pressure.
    v = iso_column();
    v[0].p = M;
    v[1].p = M;
    v[4].h = M;
    ASSERT_EQ(UPA_calc_press(v.data(), n), 0);
    EXPECT_NEAR(v[0].p, 1000, 0.01);
    EXPECT_NEAR(v[1].p, 950, 0.01);
    EXPECT_NEAR(v[4].h, iso_height(800), 0.01);

    // Without any known pressure nothing can be said: they stay missing.
    v = iso_column();
    for (int k = 0; k < n; ++k)
        v[std::size_t(k)].p = M;
    ASSERT_EQ(UPA_calc_press(v.data(), n), 0);
    for (int k = 0; k < n; ++k)
        EXPECT_EQ(v[std::size_t(k)].p, M) << k;

    // Without temperatures the standard atmosphere stands in above the last
    // known pressure.
    v = iso_column();
    for (UPA_level &l : v)
        l.t = M;
    v[0].h = 0;
    for (int k = 1; k < n; ++k) {
        v[std::size_t(k)].h = float(std_height(kIsoPres[std::size_t(k)] * 1013.25 / 1000));
        v[std::size_t(k)].p = M;
    }
    v[0].p = 1013.25f;
    ASSERT_EQ(UPA_calc_press(v.data(), n), 0);
    for (int k = 1; k < n; ++k)
        EXPECT_NEAR(v[std::size_t(k)].p, kIsoPres[std::size_t(k)] * 1013.25 / 1000, 0.05) << k;
}

// ---- Interpolation ----------------------------------------------------------------------------

namespace {

// A sounding with gaps in single fields: no height at 900 mb, no dew point
// at 900, no wind at 850, no speed at 950, no temperature at 800 mb.
std::vector<UPA_level> gap_sounding() {
    return {{1000, 110, 25.0f, 18.0f, 170, 10},  {950, 560, 21.5f, 15.0f, 180, M},
            {900, M, 18.0f, M, 190, 20},         {850, 1500, 16.0f, 9.0f, M, M},
            {800, 2000, M, 2.0f, 230, 30},       {700, 3100, 6.0f, -8.0f, 250, 35},
            {600, 4300, -2.0f, -20.0f, 260, 45}, {500, 5700, -12.0f, -30.0f, 270, 50}};
}

std::string level_lines(const char *tag, const std::vector<UPA_level> &v) {
    std::string out;
    for (const UPA_level &l : v)
        out += zeqtest::numbers_line(tag, {l.p, l.h, l.t, l.td, l.dir, l.spd});
    return out;
}

} // namespace

// Every field interpolated linearly in -ln p, height or potential
// temperature between the nearest levels that have it, as NumPy's interp
// over those levels gives it; missing outside them.
TEST(UpaInterp, AgainstNumpyWithGapsInSingleFields) {
    const std::vector<UPA_level> snd = gap_sounding();
    std::vector<UPA_level> by_height = snd; // every height known
    by_height[2].h = 1020;
    const std::vector<float> pres = {1000, 1005, 1020, 975, 925, 900, 870, 820,
                                     760,  650,  550,  500, 450, M,   -5};
    const std::vector<float> hght = {110, 108, 105, 300, 800, 1020, 1500, 2500, 5000, 5700, 6000};
    const std::vector<float> theta = {298.15f, 297.5f, 296, 299.5f, 301, 305, 310, 318, 320};
    const std::string input = level_lines("L", snd) + level_lines("K", by_height) +
                              zeqtest::numbers_line("P", pres) + zeqtest::numbers_line("H", hght) +
                              zeqtest::numbers_line("TH", theta);
    const std::string out = zeqtest::run_python(R"(
import sys
import numpy as np
rows = {}
levels = {'L': [], 'K': []}
for line in sys.stdin:
    w = line.split()
    if not w:
        continue
    if w[0] in levels:
        levels[w[0]].append([float(x) for x in w[1:]])
    else:
        rows[w[0]] = [float(x) for x in w[1:]]
def arr(rows):
    a = np.array(rows)
    a[a == -9999] = np.nan
    return a
def run(tag, lev, coord, tol, values, fix):
    for n, v in enumerate(values):
        res = [np.nan] * 6
        if not np.isnan(v) and v != -9999 and not (tag == 'P' and v <= 0):
            cv = -np.log(v) if tag == 'P' else v
            if cv < coord[0] - tol:
                pass
            elif cv < coord[0]:
                res = list(lev[0])
            else:
                for f in range(6):
                    known = ~np.isnan(lev[:, f]) & ~np.isnan(coord)
                    xs, ys = coord[known], lev[known, f]
                    if len(xs) and xs.min() <= cv <= xs.max():
                        res[f] = np.interp(cv, xs, ys)
                if fix is not None:
                    res[fix] = v
        print(tag + str(n), ' '.join('-9999' if np.isnan(x) else repr(float(x)) for x in res))
L, K = arr(levels['L']), arr(levels['K'])
run('P', L, -np.log(L[:, 0]), 0.01, rows['P'], 0)
run('H', K, K[:, 1], 3.0, rows['H'], 1)
# Potential temperature: the missing temperatures first, linear in pressure.
T = L.copy()
ok = ~np.isnan(T[:, 2])
T[:, 2] = np.interp(T[:, 0][::-1], T[ok, 0][::-1], T[ok, 2][::-1])[::-1]
run('TH', T, (T[:, 2] + 273.15) * (1000.0 / T[:, 0]) ** 0.286, 1.0, rows['TH'], None)
)",
                                                input);
    const auto ref = zeqtest::named_numbers(out);
    struct Group {
        const char *tag;
        int coord;
        const std::vector<UPA_level> *levels;
        const std::vector<float> *values;
    };
    for (const Group &g :
         {Group{"P", 100, &snd, &pres}, Group{"H", 103, &by_height, &hght}, Group{"TH", 113, &snd, &theta}}) {
        std::vector<UPA_level> got(g.values->size());
        UPA_interp_levels(g.levels->data(), int(g.levels->size()), g.coord, g.values->data(), got.data(),
                          int(got.size()));
        for (std::size_t n = 0; n < got.size(); ++n) {
            const std::string key = g.tag + std::to_string(n);
            ASSERT_EQ(ref.count(key), 1u) << key << "\n" << out;
            const std::vector<double> &want = ref.at(key);
            const float fields[6] = {got[n].p, got[n].h, got[n].t, got[n].td, got[n].dir, got[n].spd};
            for (int f = 0; f < 6; ++f) {
                if (want[std::size_t(f)] == M)
                    EXPECT_EQ(fields[f], M) << key << " field " << f;
                else
                    EXPECT_NEAR(fields[f], want[std::size_t(f)],
                                2e-3 * std::max(1.0, std::fabs(want[std::size_t(f)])))
                        << key << " field " << f;
            }
        }
    }
}

TEST(UpaInterp, EdgeCases) {
    const std::vector<UPA_level> snd = gap_sounding();
    const int n = int(snd.size());
    struct Case {
        const char *what;
        std::vector<UPA_level> levels;
        int coord;
        float value;
        int position;
        UPA_level want; // -9999 where missing; NAN where only known is checked
    };
    const float K = NAN;
    const float mid = std::sqrt(850.0f * 700.0f); // halfway in ln p
    const std::vector<UPA_level> gap400 = {{1000, 100, 20, 10, 180, 10}, {600, 4200, -5, -15, 250, 30}};
    const std::vector<UPA_level> north = {{850, 1500, 0, M, 350, 10}, {700, 3000, 0, M, 10, 20}};
    const std::vector<UPA_level> south = {{850, 1500, 0, M, 10, 10}, {700, 3000, 0, M, 350, 20}};
    const Case cases[] = {
        {"on a level (a wind from the levels around)", snd, 100, 850, 3, {850, 1500, 16, 9, K, K}},
        {"on the first level", snd, 100, 1000, 1, snd[0]},
        {"just below the first level", snd, 100, 1005, 0, snd[0]},
        {"too far below", snd, 100, 1012, 0, {M, M, M, M, M, M}},
        {"above the top", snd, 100, 450, n, {450, M, M, M, M, M}},
        {"by height on a level", snd, 103, 3100, 5, snd[5]},
        {"pressure gap not bridged", gap400, 103, 2000, 1, {M, M, M, M, M, M}},
        {"pressure gap, near the upper level", gap400, 103, 4198, 1, {600, 4198, K, K, K, K}},
        {"pressure gap, near the lower level", gap400, 103, 102, 1, {1000, 102, K, K, K, K}},
        {"350 below, 10 above", north, 103, 2250, 1, {775, 2250, 0, M, 360, 15}},
        {"10 below, 350 above", south, 103, 2250, 1, {775, 2250, 0, M, 0, 15}},
        {"halfway in ln p", north, 100, mid, 1, {mid, 2250, 0, M, K, 15}},
    };
    for (const Case &c : cases) {
        UPA_level got;
        std::memset(&got, 0x5a, sizeof got);
        EXPECT_EQ(UPA_interp(c.levels.data(), int(c.levels.size()), c.coord, c.value, &got), c.position)
            << c.what;
        const float g[6] = {got.p, got.h, got.t, got.td, got.dir, got.spd};
        const float w[6] = {c.want.p, c.want.h, c.want.t, c.want.td, c.want.dir, c.want.spd};
        for (int f = 0; f < 6; ++f) {
            if (std::isnan(w[f]))
                EXPECT_NE(g[f], M) << c.what << " field " << f;
            else
                EXPECT_NEAR(g[f], w[f], 0.05) << c.what << " field " << f;
        }
    }
    // Several values at once: the position of the last one handled; none
    // usable gives the count.
    const float values[3] = {900, 600, M};
    UPA_level out[3];
    EXPECT_EQ(UPA_interp_levels(snd.data(), n, 100, values, out, 3), 6);
    EXPECT_EQ(out[0].t, 18);
    EXPECT_EQ(out[1].t, -2);
    EXPECT_EQ(out[2].p, M);
    EXPECT_EQ(UPA_interp_levels(snd.data(), n, 100, values + 2, out, 1), n);
    EXPECT_EQ(UPA_interp(snd.data(), 0, 100, 900, out), 0);
    EXPECT_EQ(out[0].t, M);

    // Potential temperature fills the missing temperatures in a copy: the
    // caller's list is left alone.
    std::vector<UPA_level> mine = snd;
    UPA_interp(mine.data(), n, 113, 304.65f, out);
    EXPECT_EQ(std::memcmp(mine.data(), snd.data(), sizeof(UPA_level) * snd.size()), 0);
    EXPECT_NEAR(out[0].p, 800, 1);
    EXPECT_NEAR(out[0].t, 12.67, 0.05);
    // A list cut after its last level with a temperature.
    mine[7].t = M;
    EXPECT_EQ(UPA_interp(mine.data(), n, 113, 330, out), 7);
    EXPECT_EQ(out[0].p, M);

    // Coordinate 1 is the current surface.
    UPA_level *sfc = THERM_get_sfc();
    *sfc = {950, 540, 21, 15, 175, 8};
    EXPECT_EQ(UPA_interp(snd.data(), n, 1, M, out), 1);
    EXPECT_EQ(std::memcmp(&out[0], sfc, sizeof *sfc), 0);
    sfc->p = 955;
    EXPECT_EQ(UPA_interp(snd.data(), n, 1, M, out), 0);
}

TEST(UpaLevels, CoordinatesLayerBoundsAndSurface) {
    const UPA_level l = {500, 5700, -12, -30, 270, 50};
    EXPECT_NEAR(UPA_get_level(100, &l), -std::log(500.0), 1e-6);
    EXPECT_NEAR(UPA_get_level(1, &l), -std::log(500.0), 1e-6);
    EXPECT_NEAR(UPA_get_level(116, &l), -std::log(500.0), 1e-6);
    EXPECT_EQ(UPA_get_level(105, &l), 5700);
    EXPECT_NEAR(UPA_get_level(114, &l), pot_temp(261.15f, 500), 1e-3);
    EXPECT_EQ(UPA_get_level(7, &l), M);
    const UPA_level bad = {0, M, M, M, M, M};
    EXPECT_EQ(UPA_get_level(100, &bad), M);
    EXPECT_EQ(UPA_get_level(113, &bad), M);

    struct Bound {
        bool top;
        int coord;
        float from, thick, want;
    };
    for (const Bound &b :
         {Bound{true, 100, 850, M, 840}, Bound{true, 103, 1000, M, 1050}, Bound{true, 113, 300, M, 305},
          Bound{true, 100, 850, 50, 800}, Bound{true, 100, M, 5, M}, Bound{true, 7, 10, M, M},
          Bound{true, 7, 10, 5, 15}, Bound{false, 103, 1000, M, 800}, Bound{false, 100, 500, M, 520},
          Bound{false, 114, 300, M, 298}, Bound{false, 103, 1000, 100, 900}}) {
        const float got =
            b.top ? UPA_thick_top(b.coord, b.from, b.thick) : UPA_thick_bottom(b.coord, b.from, b.thick);
        EXPECT_EQ(got, b.want) << (b.top ? "top " : "bottom ") << b.coord << " " << b.from << " " << b.thick;
    }

    const UPA_level two[2] = {{980, 0, 0, 0, 0, 0}, {850, 0, 0, 0, 0, 0}};
    const int none = -9999, second = 1;
    EXPECT_EQ(UPA_sfc_pres(two, &none), 1000);
    EXPECT_EQ(UPA_sfc_pres(two, &second), 850);

    // Temperatures filled linearly in pressure between the nearest known
    // ones; none at the ends.
    std::vector<UPA_level> v = {{1000, M, M, M, M, M}, {900, M, 20, M, M, M}, {850, M, M, M, M, M},
                                {800, M, M, M, M, M},  {700, M, 5, M, M, M},  {600, M, M, M, M, M}};
    UPA_calc_temp(v.data(), int(v.size()));
    EXPECT_EQ(v[0].t, M);
    EXPECT_NEAR(v[2].t, 16.25, 1e-4);
    EXPECT_NEAR(v[3].t, 12.5, 1e-4);
    EXPECT_EQ(v[5].t, M);
}

// ---- Merging a report -----------------------------------------------------------------------

namespace {

UPA_report empty_report() {
    UPA_report r;
    std::memset(&r, 0, sizeof r);
    UPA_initialize(&r);
    return r;
}

// The surface at 1013 mb, 1000, 850 and 500 mb, significant levels at the
// surface, 900 and 700 mb.
UPA_report base_report() {
    UPA_report r = empty_report();
    r.numman = 24;
    r.man[0] = {1013, 10, 20, 15, 180, 10};
    r.man[1] = {1000, 120, 19, 14, 190, 12};
    r.man[3] = {850, 1500, 12, 6, 220, 20};
    r.man[5] = {500, 5750, -14, -25, 250, 40};
    r.sig[0] = {1013, 20, 15};
    r.sig[1] = {900, 16, 10};
    r.sig[2] = {700, 4, -6};
    r.numsig = 3;
    return r;
}

// A temperature in Celsius at pressure p whose potential temperature lies
// exactly diff below ref, as the screen computes it; none when no float
// gives it exactly.
std::optional<float> temp_for_theta(float ref, float p, float diff) {
    const double c = std::pow(1000.0 / p, 0.286);
    float t = float((ref + diff) / c - 273.15);
    for (int step = 0; step < 200; ++step)
        t = std::nextafter(t, -1000.0f);
    for (int step = 0; step < 400; ++step, t = std::nextafter(t, 1000.0f))
        if (pot_temp(t + 273.15f, p) - ref == diff) return t;
    return std::nullopt;
}

struct Want {
    std::vector<float> p;                   // the merged pressures (wind merge: heights)
    std::vector<std::pair<int, int>> index; // man_index entries that are not -9999
};

void expect_merge(const char *what, int n, const std::vector<UPA_level> &got, const int *man_index,
                  const Want &want, bool by_height) {
    ASSERT_EQ(n, int(want.p.size())) << what;
    for (int j = 0; j < n; ++j)
        EXPECT_NEAR(by_height ? got[std::size_t(j)].h : got[std::size_t(j)].p, want.p[std::size_t(j)], 0.01)
            << what << " level " << j;
    for (int k = 0; k < UPA_MAN_INDEX; ++k) {
        int expected = M;
        for (const auto &[slot, idx] : want.index)
            if (slot == k) expected = idx;
        EXPECT_EQ(man_index[k], expected) << what << " man_index " << k;
    }
}

} // namespace

TEST(UpaSmMerge, Cases) {
    struct Case {
        const char *what;
        UPA_report r;
        Want want;
    };
    std::vector<Case> cases;
    cases.push_back({"surface at the first significant level",
                     base_report(),
                     {{1013, 1000, 900, 850, 700, 500}, {{0, 0}, {1, 1}, {3, 3}, {5, 5}}}});
    UPA_report r = base_report();
    r.numsig = 0;
    cases.push_back({"mandatory levels only", r, {{1013, 1000, 850, 500}, {{0, 0}, {1, 1}, {3, 2}, {5, 3}}}});
    r = base_report();
    r.man[0] = {1000, 120, 20, 15, 180, 10};
    r.sig[0].p = 1000;
    cases.push_back({"mandatory level at the surface pressure",
                     r,
                     {{1000, 900, 850, 700, 500}, {{0, 0}, {1, 0}, {3, 2}, {5, 4}}}});
    r = base_report();
    r.man[0] = {960, 400, 18, 12, 200, 8};
    r.man[1] = {1000, 90, 19, 13, M, M};
    r.sig[0].p = 960;
    cases.push_back({"mandatory level below ground",
                     r,
                     {{1000, 960, 900, 850, 700, 500}, {{0, 1}, {1, 0}, {3, 3}, {5, 5}}}});
    r = base_report();
    r.sig[2] = {850, 11, 3};
    cases.push_back({"significant level at a mandatory pressure",
                     r,
                     {{1013, 1000, 900, 850, 500}, {{0, 0}, {1, 1}, {3, 3}, {5, 4}}}});
    r = base_report();
    r.man[22] = {500, M, -16, -30, 255, 45};
    cases.push_back({"tropopause on a level",
                     r,
                     {{1013, 1000, 900, 850, 700, 500}, {{0, 0}, {1, 1}, {3, 3}, {5, 5}, {22, 5}}}});
    r = base_report();
    r.man[22] = {600, M, -6, -18, 245, 38};
    cases.push_back({"tropopause between levels",
                     r,
                     {{1013, 1000, 900, 850, 700, 600, 500}, {{0, 0}, {1, 1}, {3, 3}, {5, 6}, {22, 5}}}});
    r = base_report();
    r.man[23] = {600, M, M, M, 250, 60};
    cases.push_back({"maximum wind between levels",
                     r,
                     {{1013, 1000, 900, 850, 700, 600, 500}, {{0, 0}, {1, 1}, {3, 3}, {5, 6}, {23, 5}}}});
    r = base_report();
    r.man[23] = {1013, M, M, M, 170, 30};
    cases.push_back({"maximum wind on the first level",
                     r,
                     {{1013, 1000, 900, 850, 700, 500}, {{0, 0}, {1, 1}, {3, 3}, {5, 5}, {23, 0}}}});
    r = base_report();
    r.man[23] = {500, M, M, M, 260, 70};
    cases.push_back({"maximum wind on the last level",
                     r,
                     {{1013, 1000, 900, 850, 700, 500}, {{0, 0}, {1, 1}, {3, 3}, {5, 5}, {23, 5}}}});
    // The screen: 3 K colder in potential temperature than the level below
    // stays, 3.01 K goes, and so does a level without temperature above one
    // with a temperature; the indices above move down.
    r = base_report();
    r.man[0] = {1000, 100, 20, 10, 180, 5};
    r.man[1] = empty_report().man[1];
    r.man[7] = {300, 9200, M, M, 260, 50};
    r.sig[0] = {1000, 20, 10};
    const std::optional<float> t3 = temp_for_theta(pot_temp(293.15f, 1000), 920, -3.0f);
    ASSERT_TRUE(t3.has_value());
    r.sig[1] = {920, *t3, *t3 - 5};
    r.numsig = 2;
    cases.push_back({"exactly 3 K colder stays", r, {{1000, 920, 850, 500}, {{0, 0}, {3, 2}, {5, 3}}}});
    r.sig[1].t = float((pot_temp(293.15f, 1000) - 3.01) / std::pow(1000.0 / 920, 0.286) - 273.15);
    cases.push_back({"3.01 K colder goes", r, {{1000, 850, 500}, {{0, 0}, {3, 1}, {5, 2}}}});
    r = empty_report();
    r.man[0] = {1000, 100, 20, 10, 180, 5};
    r.sig[0] = {1000, 20, 10};
    r.sig[1] = {850, 14, 6};
    r.numsig = 2;
    cases.push_back({"no mandatory levels", r, {{1000, 850}, {}}});

    for (const Case &c : cases) {
        std::vector<UPA_level> sm(UPA_MAX_SM_MERGE);
        int man_index[UPA_MAN_INDEX];
        std::fill(man_index, man_index + UPA_MAN_INDEX, 77);
        const int n = UPA_sm_merge(&c.r, sm.data(), man_index);
        expect_merge(c.what, n, sm, man_index, c.want, false);
    }

    // What the levels hold: the surface once with its height, the mandatory
    // values over a significant level at their pressure, the tropopause's
    // values on a level that keeps its height, and the maximum wind's
    // temperature from its neighbours (one neighbour at either end).
    std::vector<UPA_level> sm(UPA_MAX_SM_MERGE);
    int idx[UPA_MAN_INDEX];
    UPA_sm_merge(&cases[0].r, sm.data(), idx);
    EXPECT_EQ(sm[0].h, 10);
    EXPECT_EQ(sm[0].dir, 180);
    EXPECT_EQ(sm[2].h, M);
    EXPECT_EQ(sm[2].dir, M);
    UPA_sm_merge(&cases[2].r, sm.data(), idx);
    EXPECT_EQ(sm[0].t, 20) << "the surface's values at the shared pressure";
    UPA_sm_merge(&cases[4].r, sm.data(), idx);
    EXPECT_EQ(sm[3].t, 12);
    UPA_sm_merge(&cases[5].r, sm.data(), idx);
    EXPECT_EQ(sm[5].h, 5750);
    EXPECT_EQ(sm[5].t, -16);
    EXPECT_EQ(sm[5].dir, 255);
    UPA_sm_merge(&cases[6].r, sm.data(), idx);
    EXPECT_EQ(sm[5].h, M);
    EXPECT_EQ(sm[5].t, -6);
    UPA_sm_merge(&cases[7].r, sm.data(), idx);
    EXPECT_NEAR(sm[5].t, 4 - 18 * std::log(600.0 / 700) / std::log(500.0 / 700), 1e-3);
    EXPECT_NEAR(sm[5].td, -6 - 19 * std::log(600.0 / 700) / std::log(500.0 / 700), 1e-3);
    EXPECT_EQ(sm[5].h, M);
    EXPECT_EQ(sm[5].spd, 60);
    UPA_sm_merge(&cases[8].r, sm.data(), idx);
    EXPECT_EQ(sm[0].t, 19);
    EXPECT_EQ(sm[0].td, 14);
    EXPECT_EQ(sm[0].h, 10);
    EXPECT_EQ(sm[0].dir, 170);
    UPA_sm_merge(&cases[9].r, sm.data(), idx);
    EXPECT_EQ(sm[5].t, 4);
    EXPECT_EQ(sm[5].td, -6);
    EXPECT_EQ(sm[5].h, 5750);
    UPA_sm_merge(&cases.back().r, sm.data(), idx);
    EXPECT_EQ(sm[0].h, 100);
    EXPECT_EQ(sm[1].h, M);
}

TEST(UpaWmMerge, Cases) {
    // A station at 500 ft: winds at the surface, below and at the station
    // height, one without direction, one at the 850 mb height (5000 ft), and
    // the tropopause and maximum wind placed by height.
    UPA_report r = empty_report();
    r.numman = 24;
    const float station = 500 * 0.3048f;
    r.man[0] = {1000, station, 20, 10, 180, 5};
    r.man[3] = {850, 5000 * 0.3048f, 12, 6, 220, 20};
    r.man[4] = {700, M, 2, -8, 230, 25}; // no height: the standard atmosphere's
    r.man[5] = {500, 5700, -14, -25, 250, 40};
    r.man[6] = {400, 7200, -25, -35, M, M}; // no wind
    r.sig[0] = {1000, 20, 10};
    r.numsig = 1;
    const UPA_wind_level winds[] = {{0, 180, 5},   {300, 175, 6},   {500, 185, 7},    {2000, 200, 12},
                                    {3000, M, 10}, {5000, 215, 18}, {12000, 240, 30}, {40000, 270, 60}};
    for (const UPA_wind_level &w : winds)
        r.wnd[r.numwnd++] = w;
    r.man[22] = {250, 10400, -52, M, 265, 55};
    r.man[23] = {640, 12000 * 0.3048f, M, M, 245, 35};
    const float h700 = float(std_height(700));

    struct Case {
        const char *what;
        UPA_report r;
        bool plain; // UPA_sw_merge
        Want want;
    };
    std::vector<Case> cases;
    cases.push_back({"station, mandatory and special heights",
                     r,
                     false,
                     {{station, 609.6f, 1524, h700, 3657.6f, 5700, 10400, 12192},
                      {{0, 0}, {3, 2}, {4, 3}, {5, 5}, {22, 6}, {23, 4}}}});
    UPA_report sea = r;
    sea.man[0].h = 0;
    sea.numwnd = 1;
    sea.man[22].p = sea.man[23].p = M;
    cases.push_back({"the surface wind of a sea-level station",
                     sea,
                     false,
                     {{0, 1524, h700, 5700}, {{0, 0}, {3, 1}, {4, 2}, {5, 3}}}});
    cases.push_back({"plain merge: no standard heights, no special levels",
                     r,
                     true,
                     {{station, 609.6f, 1524, M, 3657.6f, 5700, 12192},
                      {{0, 0}, {3, 2}, {4, 3}, {5, 5}, {22, 77}, {23, 77}}}});
    UPA_report below = r;
    below.man[0] = {960, 400, 18, 12, 200, 8};
    below.man[1] = {1000, 90, 19, 13, 190, 6};
    below.sig[0].p = 960;
    below.man[22].p = below.man[23].p = M;
    cases.push_back({"mandatory level below ground",
                     below,
                     false,
                     {{400, 609.6f, 1524, h700, 3657.6f, 5700, 12192}, {{0, 0}, {3, 2}, {4, 3}, {5, 5}}}});
    UPA_report none = r;
    none.numman = 0;
    cases.push_back({"no mandatory levels",
                     none,
                     false,
                     {{station, 91.44f, 152.4f, 609.6f, 914.4f, 1524, 3657.6f, 12192}, {}}});

    for (const Case &c : cases) {
        std::vector<UPA_level> wm(UPA_MAX_WM_MERGE);
        int man_index[UPA_MAN_INDEX];
        std::fill(man_index, man_index + UPA_MAN_INDEX, 77);
        const int n =
            c.plain ? UPA_sw_merge(&c.r, wm.data(), man_index) : UPA_wm_merge(&c.r, wm.data(), man_index);
        expect_merge(c.what, n, wm, man_index, c.want, true);
    }

    std::vector<UPA_level> wm(UPA_MAX_WM_MERGE);
    int idx[UPA_MAN_INDEX];
    UPA_wm_merge(&r, wm.data(), idx);
    EXPECT_EQ(wm[1].p, M);
    EXPECT_EQ(wm[1].dir, 200);
    EXPECT_EQ(wm[4].p, 640) << "the maximum wind takes the level of its height";
    EXPECT_EQ(wm[4].dir, 245);
    EXPECT_EQ(wm[6].t, -52);
}

// A full report: both soundings ordered, and every man_index entry at its
// slot's values.
TEST(UpaMerge, FullReportOrderedWithIndicesAtTheirSlots) {
    static constexpr float p[17] = {0,   1000, 925, 850, 700, 500, 400, 300, 250,
                                    200, 150,  100, 70,  50,  30,  20,  10};
    UPA_report r = empty_report();
    r.numman = 24;
    r.man[0] = {1005, 60, 14.6f, 8.6f, 170, 6};
    for (int k = 1; k <= 16; ++k) {
        const double z = std_height(p[k]);
        const double t = z < 11000 ? 15 - 0.0065 * z : -56.5;
        r.man[k] = {p[k], float(z), float(t), float(t - 5 - k), 180.0f + 5 * k, 5.0f + 3 * k};
    }
    const float above[5] = {7, 5, 3, 2, 1};
    for (int k = 0; k < 5; ++k)
        r.man[17 + k] = {above[k], float(33000 + 3000 * k), -50.0f + 3 * k, M, 260, 30};
    // The heights the current sounding gives them before the wind merge.
    r.man[22] = {220, float(std_height(220)), -56.5f, M, 265, 60};
    r.man[23] = {240, float(std_height(240)), M, M, 270, 85};
    for (float sp = 1005; sp > 12; sp -= 5) {
        if (UPA_mandatory(sp) > 0 && r.numsig > 0) continue;
        const double z = std_height(sp);
        const double t = z < 11000 ? 15 - 0.0065 * z : -56.5;
        r.sig[r.numsig++] = {sp, float(t), float(t - 6)};
        if (r.numsig == UPA_MAX_SIG) break;
    }
    r.sig[0] = {1005, 14.6f, 8.6f};
    for (int i = 0; i < UPA_MAX_WND; ++i)
        r.wnd[r.numwnd++] = {1000.0f * i, float((170 + 3 * i) % 360), 6.0f + i % 50};

    std::vector<UPA_level> sm(UPA_MAX_SM_MERGE), wm(UPA_MAX_WM_MERGE);
    int si[UPA_MAN_INDEX], wi[UPA_MAN_INDEX];
    const int ns = UPA_sm_merge(&r, sm.data(), si);
    const int nw = UPA_wm_merge(&r, wm.data(), wi);
    ASSERT_GT(ns, 200);
    ASSERT_GT(nw, 100);
    for (int j = 1; j < ns; ++j)
        EXPECT_LT(sm[std::size_t(j)].p, sm[std::size_t(j - 1)].p) << j;
    for (int j = 1; j < nw; ++j)
        EXPECT_GT(wm[std::size_t(j)].h, wm[std::size_t(j - 1)].h) << j;
    for (int k = 0; k < 22; ++k) {
        ASSERT_GE(si[k], 0) << k;
        const UPA_level &l = sm[std::size_t(si[k])];
        EXPECT_EQ(l.p, r.man[k].p) << k;
        EXPECT_EQ(l.t, r.man[k].t) << k;
        EXPECT_EQ(l.h, r.man[k].h) << k;
        ASSERT_GE(wi[k], 0) << k;
        const UPA_level &w = wm[std::size_t(wi[k])];
        EXPECT_EQ(w.p, r.man[k].p) << k;
        EXPECT_EQ(w.dir, r.man[k].dir) << k;
        EXPECT_EQ(w.spd, r.man[k].spd) << k;
    }
    ASSERT_GE(si[22], 0);
    EXPECT_EQ(sm[std::size_t(si[22])].p, 220);
    EXPECT_EQ(sm[std::size_t(si[22])].t, -56.5f);
    ASSERT_GE(si[23], 0);
    EXPECT_EQ(sm[std::size_t(si[23])].p, 240);
    EXPECT_EQ(sm[std::size_t(si[23])].spd, 85);
    ASSERT_GE(wi[22], 0);
    EXPECT_EQ(wm[std::size_t(wi[22])].p, 220);
    EXPECT_EQ(wm[std::size_t(wi[23])].p, 240);

    // Counts beyond a report's arrays are held to them: the merged lists
    // never pass their room (the sanitizer sees every write).
    r.numsig = 100000;
    r.numwnd = 100000;
    EXPECT_LE(UPA_sm_merge(&r, sm.data(), si), UPA_MAX_SM_MERGE);
    EXPECT_LE(UPA_wm_merge(&r, wm.data(), wi), UPA_MAX_WM_MERGE);
    EXPECT_LE(UPA_sw_merge(&r, wm.data(), wi), UPA_MAX_WM_MERGE);
}

TEST(UpaMergeArrays, ByPressureAndByHeight) {
    const std::vector<UPA_level> a = {
        {1000, 110, 20, M, 180, 5}, {850, 1500, 12, 6, M, M}, {700, 3000, 2, -8, 230, 20}};
    const std::vector<UPA_level> b = {{1013, 0, 21, 15, 170, 4},
                                      {1000, 111, 19, 10, 185, 6},
                                      {925, 800, 16, 9, 190, 8},
                                      {700, 3010, 1, -9, 235, 22},
                                      {500, 5700, -14, -25, 250, 40}};
    std::vector<UPA_level> out(8);
    ASSERT_EQ(UPA_merge_array(a.data(), 3, b.data(), 5, out.data()), 5);
    const float want_p[5] = {1013, 1000, 925, 850, 700};
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(out[std::size_t(j)].p, want_p[j]);
    EXPECT_EQ(out[1].t, 20);
    EXPECT_EQ(out[1].td, 10) << "a field missing in the first list comes from the second";
    EXPECT_EQ(out[4].h, 3000);

    const std::vector<UPA_level> w1 = {
        {M, 0, M, M, 180, 5}, {M, 500, M, M, M, 7}, {M, 1000, M, M, 200, 9}, {M, 2000, M, M, 220, 12}};
    const std::vector<UPA_level> w2 = {{M, 250, M, M, 190, 6},
                                       {M, 500, M, M, 195, 7},
                                       {850, 1000, 12, M, M, M},
                                       {M, 1500, M, M, 210, 10},
                                       {M, 3000, M, M, 230, 15}};
    // Levels without a direction are left out, but a level of the second list
    // without one does not take the first list's wind at its height.
    ASSERT_EQ(UPA_wnd_merge_array(w1.data(), 4, w2.data(), 5, out.data()), 6);
    const float want_h[6] = {0, 250, 500, 1000, 1500, 2000};
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(out[std::size_t(j)].h, want_h[j]);
    EXPECT_EQ(out[2].dir, 195);
    EXPECT_EQ(out[3].dir, 200);
    EXPECT_EQ(out[3].p, 850);
}
