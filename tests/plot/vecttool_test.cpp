#include "plot/vecttool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/reference.h"

namespace {

// Two angles in degrees as the same direction, within tol.
::testing::AssertionResult same_direction(double got, double want, double tol) {
    const double diff = std::fabs(std::remainder(got - want, 360.0));
    if (diff <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got << " vs " << want;
}

using zeqtest::numbers_line;

TEST(Vect2Wind, DirectionTheWindBlowsFromAndSpeed) {
    struct Case {
        float u, v, dir, spd;
    };
    const Case cases[] = {
        {10, 0, 270, 10}, // a west wind blows toward the east
        {-10, 0, 90, 10}, // atan2 gives -90: returned as 270's opposite
        {0, -10, 0, 10},  // north wind
        {0, 10, 180, 10}, // south wind
        {3, 4, 216.869898f, 5}, {-3, -4, 36.869898f, 5}, {0.005f, 0, 0, 0.005f}, // below 0.01: no direction
        {0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        float dir = -1, spd = -1;
        EXPECT_EQ(vect2wind(c.u, c.v, &dir, &spd), 0);
        EXPECT_NEAR(dir, c.dir, 1e-4) << c.u << "," << c.v;
        EXPECT_NEAR(spd, c.spd, 1e-5) << c.u << "," << c.v;
        EXPECT_GE(dir, 0.0f);
        EXPECT_LT(dir, 360.0f);
    }
}

TEST(Vect2Wind, MissingComponentsAndOutputsInPlace) {
    float dir = 1, spd = 1;
    EXPECT_EQ(vect2wind(-9999, 3, &dir, &spd), -1);
    EXPECT_EQ(dir, -9999);
    EXPECT_EQ(spd, -9999);
    EXPECT_EQ(vect2wind(3, -9999, &dir, &spd), -1);
    EXPECT_EQ(dir, -9999);
    float u = 10, v = 0;
    EXPECT_EQ(vect2wind(u, v, &u, &v), 0);
    EXPECT_FLOAT_EQ(u, 270);
    EXPECT_FLOAT_EQ(v, 10);
}

// The other conversions' own cases: the blowing-from reversal of the wind
// forms against the plain polar ones, which keep their sign.
TEST(VectorConversions, Cases) {
    float u = 1, v = 1;
    EXPECT_EQ(wind2vect(270, 10, &u, &v), 0);
    EXPECT_NEAR(u, 10, 1e-5);
    EXPECT_NEAR(v, 0, 1e-5);
    EXPECT_EQ(wind2vect(0, 5, &u, &v), 0); // north wind: toward the south
    EXPECT_NEAR(u, 0, 1e-5);
    EXPECT_NEAR(v, -5, 1e-5);
    EXPECT_EQ(polar2vect(90, 2, &u, &v), 0);
    EXPECT_NEAR(u, 2, 1e-6);
    EXPECT_NEAR(v, 0, 1e-6);
    float dir = 1, spd = 1;
    EXPECT_EQ(vect2polar(-1, 0, &dir, &spd), 0);
    EXPECT_FLOAT_EQ(dir, -90); // not folded into 0..360
    EXPECT_FLOAT_EQ(spd, 1);
    EXPECT_EQ(vect2polar(0, -2, &dir, &spd), 0);
    EXPECT_FLOAT_EQ(std::fabs(dir), 180);
    EXPECT_EQ(vect2polar(0.005f, 0.005f, &dir, &spd), 0);
    EXPECT_EQ(dir, 0);

    // Outputs may be the inputs' variables.
    float a = 90, b = 2;
    EXPECT_EQ(polar2vect(a, b, &a, &b), 0);
    EXPECT_NEAR(a, 2, 1e-6);
    EXPECT_NEAR(b, 0, 1e-6);

    using Conv = int (*)(float, float, float *, float *);
    for (Conv f : {Conv(wind2vect), Conv(polar2vect), Conv(vect2polar), Conv(vect2wind)}) {
        for (const auto &[p, q] : {std::pair{-9999.0f, 3.0f}, std::pair{3.0f, -9999.0f}}) {
            float o1 = 1, o2 = 1;
            EXPECT_EQ(f(p, q, &o1, &o2), -1);
            EXPECT_EQ(o1, -9999);
            EXPECT_EQ(o2, -9999);
        }
    }
}

// All four conversions against NumPy's sin, cos, arctan2 and hypot over the
// compass and a range of speeds, and back from components on every side.
TEST(VectorConversions, AgreeWithNumPy) {
    std::vector<float> dirs, spds, us, vs;
    for (int k = 0; k <= 96; ++k)
        for (float s : {0.5f, 1.0f, 7.25f, 55.0f, 310.0f}) {
            dirs.push_back(-360.0f + 7.5f * float(k)); // -360 .. 360
            spds.push_back(s);
        }
    std::mt19937 gen(4211);
    std::uniform_real_distribution<float> comp(-60.0f, 60.0f);
    for (int k = 0; k < 200; ++k) {
        us.push_back(comp(gen));
        vs.push_back(comp(gen));
    }
    for (const auto &[u, v] : {std::pair{0.0f, 3.0f}, std::pair{0.0f, -3.0f}, std::pair{3.0f, 0.0f},
                               std::pair{-3.0f, 0.0f}, std::pair{0.02f, -0.02f}}) {
        us.push_back(u);
        vs.push_back(v);
    }
    const std::string script = R"(
import sys
import numpy as np
rows = {}
for line in sys.stdin:
    w = line.split()
    rows[w[0]] = np.array([float(x) for x in w[1:]], dtype=np.float64)
a = np.radians(rows['dir'])
s = rows['spd']
def out(name, v):
    print(name, ' '.join(repr(float(x)) for x in v))
out('wu', -s * np.sin(a)); out('wv', -s * np.cos(a))
out('pu', s * np.sin(a)); out('pv', s * np.cos(a))
u, v = rows['u'], rows['v']
sp = np.hypot(u, v)
wd = np.degrees(np.arctan2(-u, -v)); wd[wd < 0] += 360; wd[sp < 0.01] = 0
pd = np.degrees(np.arctan2(u, v)); pd[sp < 0.01] = 0
out('sp', sp); out('wd', wd); out('pd', pd)
)";
    const auto ref = zeqtest::named_numbers(
        zeqtest::run_python(script, numbers_line("dir", dirs) + numbers_line("spd", spds) +
                                        numbers_line("u", us) + numbers_line("v", vs)));
    ASSERT_EQ(ref.count("wu") + ref.count("sp"), 2u);
    ASSERT_EQ(ref.at("wu").size(), dirs.size());
    ASSERT_EQ(ref.at("sp").size(), us.size());
    for (std::size_t k = 0; k < dirs.size(); ++k) {
        const double tol = 2e-6 * spds[k];
        float u, v;
        ASSERT_EQ(wind2vect(dirs[k], spds[k], &u, &v), 0);
        EXPECT_NEAR(u, ref.at("wu")[k], tol) << dirs[k] << " " << spds[k];
        EXPECT_NEAR(v, ref.at("wv")[k], tol) << dirs[k] << " " << spds[k];
        ASSERT_EQ(polar2vect(dirs[k], spds[k], &u, &v), 0);
        EXPECT_NEAR(u, ref.at("pu")[k], tol) << dirs[k] << " " << spds[k];
        EXPECT_NEAR(v, ref.at("pv")[k], tol) << dirs[k] << " " << spds[k];
    }
    for (std::size_t k = 0; k < us.size(); ++k) {
        float dir, spd;
        ASSERT_EQ(vect2wind(us[k], vs[k], &dir, &spd), 0);
        EXPECT_NEAR(spd, ref.at("sp")[k], 2e-6 * ref.at("sp")[k]);
        EXPECT_GE(dir, 0);
        EXPECT_LE(dir, 360);
        EXPECT_TRUE(same_direction(dir, ref.at("wd")[k], 1e-4)) << us[k] << "," << vs[k];
        ASSERT_EQ(vect2polar(us[k], vs[k], &dir, &spd), 0);
        EXPECT_NEAR(spd, ref.at("sp")[k], 2e-6 * ref.at("sp")[k]);
        EXPECT_GE(dir, -180);
        EXPECT_LE(dir, 180);
        EXPECT_TRUE(same_direction(dir, ref.at("pd")[k], 1e-4)) << us[k] << "," << vs[k];
    }
}

// Products against NumPy's dot and cross; a missing x on either side makes
// the result missing, while a -9999 in y or z is taken as a number.
TEST(VectorProducts, AgreeWithNumPyAndMissing) {
    std::mt19937 gen(77);
    std::uniform_real_distribution<float> c(-20.0f, 20.0f);
    std::vector<VECT> a, b;
    std::vector<float> flat;
    for (int k = 0; k < 20; ++k) {
        a.push_back({c(gen), c(gen), c(gen)});
        b.push_back({c(gen), c(gen), c(gen)});
        for (const VECT &p : {a.back(), b.back()})
            flat.insert(flat.end(), {p.x, p.y, p.z});
    }
    const std::string script = R"(
import sys
import numpy as np
v = np.array([float(x) for x in sys.stdin.read().split()[1:]]).reshape(-1, 2, 3)
print('dot', ' '.join(repr(float(np.dot(p[0], p[1]))) for p in v))
print('cross', ' '.join(repr(float(x)) for p in v for x in np.cross(p[0], p[1])))
)";
    const auto ref = zeqtest::named_numbers(zeqtest::run_python(script, numbers_line("v", flat)));
    ASSERT_EQ(ref.count("dot"), 1u);
    ASSERT_EQ(ref.at("dot").size(), a.size());
    ASSERT_EQ(ref.at("cross").size(), 3 * a.size());
    for (std::size_t k = 0; k < a.size(); ++k) {
        EXPECT_NEAR(dot_product(a[k], b[k]), ref.at("dot")[k], 1e-3);
        VECT w{};
        ASSERT_EQ(cross_product(a[k], b[k], &w), 0);
        EXPECT_NEAR(w.x, ref.at("cross")[3 * k], 1e-3);
        EXPECT_NEAR(w.y, ref.at("cross")[3 * k + 1], 1e-3);
        EXPECT_NEAR(w.z, ref.at("cross")[3 * k + 2], 1e-3);
    }

    const VECT ok{1, 2, 3}, gone{-9999, 2, 3}, odd{1, -9999, 0};
    EXPECT_EQ(dot_product(gone, ok), -9999);
    EXPECT_EQ(dot_product(ok, gone), -9999);
    EXPECT_EQ(dot_product(odd, ok), 1 - 2 * 9999);
    for (const auto &[p, q] : {std::pair{gone, ok}, std::pair{ok, gone}}) {
        VECT w{5, 5, 5};
        EXPECT_EQ(cross_product(p, q, &w), -1);
        EXPECT_EQ(w.x, -9999);
        EXPECT_EQ(w.y, -9999);
        EXPECT_EQ(w.z, -9999);
    }
}

} // namespace
