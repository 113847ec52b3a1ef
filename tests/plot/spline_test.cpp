#include "plot/spline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/reference.h"

namespace {

// A coefficient array released with free(), as its owner must.
using Coeffs = std::unique_ptr<float, decltype(&std::free)>;
Coeffs own(float *p) {
    return Coeffs(p, &std::free);
}

using zeqtest::numbers_line;

TEST(Spline, SmallCases) {
    // Two points: no curvature; the straight line, also beyond the ends.
    {
        const float x[] = {1, 3}, y[] = {2, 6};
        const Coeffs c = own(SPLINE_create(2, x, y));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c.get()[0], 0);
        EXPECT_EQ(c.get()[1], 0);
        for (float x0 : {-2.0f, 1.0f, 2.5f, 3.0f, 7.0f})
            EXPECT_FLOAT_EQ(SPLINE_interp(x0, 2, c.get(), x, y), 2 * x0);
    }
    // Points on a line: no curvature anywhere and linear values.
    {
        const float x[] = {0, 1, 2.5f, 4, 4.5f}, y[] = {1, 3, 6, 9, 10};
        const Coeffs c = own(SPLINE_create(5, x, y));
        ASSERT_NE(c, nullptr);
        for (int k = 0; k < 5; ++k)
            EXPECT_NEAR(c.get()[k], 0, 1e-5);
        for (float x0 : {-1.0f, 0.3f, 2.0f, 4.2f, 6.0f})
            EXPECT_NEAR(SPLINE_interp(x0, 5, c.get(), x, y), 1 + 2 * x0, 1e-5);
    }
    // A hump: y'' = -3 in the middle, 0.6875 at 0.5, the knots exactly.
    {
        const float x[] = {0, 1, 2}, y[] = {0, 1, 0};
        const Coeffs c = own(SPLINE_create(3, x, y));
        ASSERT_NE(c, nullptr);
        EXPECT_FLOAT_EQ(c.get()[0], 0);
        EXPECT_FLOAT_EQ(c.get()[1], -3);
        EXPECT_FLOAT_EQ(c.get()[2], 0);
        EXPECT_FLOAT_EQ(SPLINE_interp(0.5f, 3, c.get(), x, y), 0.6875f);
        EXPECT_FLOAT_EQ(SPLINE_interp(1.5f, 3, c.get(), x, y), 0.6875f);
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(SPLINE_interp(x[k], 3, c.get(), x, y), y[k]);
    }
}

// Inputs that would divide by zero or read outside the arrays make no spline.
TEST(Spline, RefusedInputs) {
    const float inc[] = {0, 1, 2}, y[] = {0, 1, 0};
    const float flat[] = {0, 1, 1}, back[] = {0, 2, 1}, gap[] = {0, NAN, 2};
    EXPECT_EQ(SPLINE_create(1, inc, y), nullptr);
    EXPECT_EQ(SPLINE_create(0, inc, y), nullptr);
    EXPECT_EQ(SPLINE_create(-3, inc, y), nullptr);
    EXPECT_EQ(SPLINE_create(3, nullptr, y), nullptr);
    EXPECT_EQ(SPLINE_create(3, flat, y), nullptr);
    EXPECT_EQ(SPLINE_create(3, back, y), nullptr);
    EXPECT_EQ(SPLINE_create(3, gap, y), nullptr);
    const float c[] = {0, 0, 0};
    EXPECT_EQ(SPLINE_interp(0.5f, 1, c, inc, y), -9999);
    EXPECT_EQ(SPLINE_interp(0.5f, 3, nullptr, inc, y), -9999);

    // A point given twice in a row has no chord to measure.
    const float px[] = {0, 1, 1, 0}, py[] = {0, 0, 0, 1};
    float d[4];
    float dummy = 0;
    float *cx = &dummy, *cy = &dummy;
    EXPECT_EQ(SPLINE_create2(4, px, py, d, &cx, &cy), 0);
    EXPECT_EQ(cx, nullptr);
    EXPECT_EQ(cy, nullptr);
    cx = cy = &dummy;
    EXPECT_EQ(SPLINE_create2(1, px, py, d, &cx, &cy), 0);
    EXPECT_EQ(cx, nullptr);
    EXPECT_EQ(cy, nullptr);
    float x0 = 0, y0 = 0;
    EXPECT_EQ(SPLINE_interp2(0.5f, 4, nullptr, nullptr, px, py, d, &x0, &y0), 0);
    EXPECT_EQ(x0, -9999);
    EXPECT_EQ(y0, -9999);
}

// The corners of a closed unit square: the chord lengths are the cumulative
// side lengths and the curve passes through each corner at its own.
TEST(Spline, ParametricSquare) {
    const float x[] = {0, 1, 1, 0, 0}, y[] = {0, 0, 1, 1, 0};
    float d[5] = {};
    float *cx = nullptr, *cy = nullptr;
    ASSERT_EQ(SPLINE_create2(5, x, y, d, &cx, &cy), 1);
    const Coeffs ox = own(cx), oy = own(cy);
    for (int k = 0; k < 5; ++k) {
        EXPECT_FLOAT_EQ(d[k], float(k));
        float x0 = -1, y0 = -1;
        EXPECT_EQ(SPLINE_interp2(d[k], 5, cx, cy, x, y, d, &x0, &y0), 1);
        EXPECT_NEAR(x0, x[k], 1e-6) << k;
        EXPECT_NEAR(y0, y[k], 1e-6) << k;
    }
}

// Against SciPy's natural cubic spline on random increasing abscissae (and
// the square's corners as a parametric curve): second derivatives at the
// knots, values inside, at the knots and beyond both ends; the parametric
// form over chord lengths NumPy measures itself.
TEST(Spline, AgreesWithSciPy) {
    std::mt19937 gen(2024);
    std::uniform_real_distribution<float> gap(0.2f, 2.5f), val(-10.0f, 10.0f), unit(0.0f, 1.0f);
    struct Set {
        std::vector<float> x, y, q;
    };
    std::vector<Set> sets;
    for (int n : {2, 3, 4, 7, 12, 30}) {
        Set s;
        float x = val(gen);
        for (int k = 0; k < n; ++k) {
            s.x.push_back(x);
            s.y.push_back(val(gen));
            x += gap(gen);
        }
        const float lo = s.x.front(), hi = s.x.back();
        for (int k = 0; k < 25; ++k)
            s.q.push_back(lo + (hi - lo) * unit(gen));
        s.q.insert(s.q.end(), s.x.begin(), s.x.end());
        s.q.insert(s.q.end(), {lo - 1.5f, lo - 0.1f, hi + 0.1f, hi + 1.5f});
        sets.push_back(s);
    }
    // Parametric sets: random points in the plane and the square.
    std::vector<Set> curves;
    for (int n : {3, 9}) {
        Set s;
        for (int k = 0; k < n; ++k) {
            s.x.push_back(val(gen));
            s.y.push_back(val(gen));
        }
        curves.push_back(s);
    }
    curves.push_back({{0, 1, 1, 0, 0}, {0, 0, 1, 1, 0}, {}});

    std::string input;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const std::string n = std::to_string(i);
        input += numbers_line("x" + n, sets[i].x) + numbers_line("y" + n, sets[i].y) +
                 numbers_line("q" + n, sets[i].q);
    }
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const std::string n = std::to_string(i);
        input += numbers_line("px" + n, curves[i].x) + numbers_line("py" + n, curves[i].y);
    }
    const std::string script = R"(
import sys
import numpy as np
from scipy.interpolate import CubicSpline
rows = {}
for line in sys.stdin:
    w = line.split()
    rows[w[0]] = np.array([float(v) for v in w[1:]], dtype=np.float64)
def out(name, v):
    print(name, ' '.join(repr(float(a)) for a in v))
i = 0
while 'x%d' % i in rows:
    x, y, q = rows['x%d' % i], rows['y%d' % i], rows['q%d' % i]
    cs = CubicSpline(x, y, bc_type='natural')
    out('c%d' % i, cs(x, 2)); out('v%d' % i, cs(q))
    i += 1
i = 0
while 'px%d' % i in rows:
    x, y = rows['px%d' % i], rows['py%d' % i]
    d = np.concatenate(([0.0], np.cumsum(np.hypot(np.diff(x), np.diff(y)))))
    t = np.linspace(-0.5, d[-1] + 0.5, 41)
    out('d%d' % i, d); out('t%d' % i, t)
    out('X%d' % i, CubicSpline(d, x, bc_type='natural')(t))
    out('Y%d' % i, CubicSpline(d, y, bc_type='natural')(t))
    i += 1
)";
    const auto ref =
        zeqtest::named_numbers(zeqtest::run_python(script, input, "python3-numpy python3-scipy"));

    // Single precision: errors relative to the size of the values.
    const auto scale = [](const std::vector<double> &v) {
        double m = 1;
        for (double a : v)
            m = std::max(m, std::fabs(a));
        return m;
    };
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const Set &s = sets[i];
        const int n = int(s.x.size());
        SCOPED_TRACE(testing::Message() << "set " << i << " of " << n << " points");
        const std::string k = std::to_string(i);
        ASSERT_EQ(ref.count("c" + k), 1u);
        const std::vector<double> &c_ref = ref.at("c" + k), &v_ref = ref.at("v" + k);
        ASSERT_EQ(c_ref.size(), s.x.size());
        ASSERT_EQ(v_ref.size(), s.q.size());
        const Coeffs c = own(SPLINE_create(n, s.x.data(), s.y.data()));
        ASSERT_NE(c, nullptr);
        const double ct = 2e-5 * scale(c_ref), vt = 2e-5 * scale(v_ref);
        for (int j = 0; j < n; ++j)
            EXPECT_NEAR(c.get()[j], c_ref[std::size_t(j)], ct) << "y'' at knot " << j;
        for (std::size_t j = 0; j < s.q.size(); ++j)
            EXPECT_NEAR(SPLINE_interp(s.q[j], n, c.get(), s.x.data(), s.y.data()), v_ref[j], vt)
                << "at " << s.q[j];
    }
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const Set &s = curves[i];
        const int n = int(s.x.size());
        SCOPED_TRACE(testing::Message() << "curve " << i << " of " << n << " points");
        const std::string k = std::to_string(i);
        ASSERT_EQ(ref.count("d" + k), 1u);
        const std::vector<double> &d_ref = ref.at("d" + k), &t = ref.at("t" + k);
        const std::vector<double> &xr = ref.at("X" + k), &yr = ref.at("Y" + k);
        std::vector<float> d(s.x.size());
        float *cx = nullptr, *cy = nullptr;
        ASSERT_EQ(SPLINE_create2(n, s.x.data(), s.y.data(), d.data(), &cx, &cy), 1);
        const Coeffs ox = own(cx), oy = own(cy);
        for (int j = 0; j < n; ++j)
            EXPECT_NEAR(d[std::size_t(j)], d_ref[std::size_t(j)], 2e-6 * scale(d_ref)) << "chord " << j;
        const double tol = 2e-5 * std::max(scale(xr), scale(yr));
        for (std::size_t j = 0; j < t.size(); ++j) {
            float x0 = 0, y0 = 0;
            EXPECT_EQ(SPLINE_interp2(float(t[j]), n, cx, cy, s.x.data(), s.y.data(), d.data(), &x0, &y0), 1);
            EXPECT_NEAR(x0, xr[j], tol) << "x at " << t[j];
            EXPECT_NEAR(y0, yr[j], tol) << "y at " << t[j];
        }
    }
}

} // namespace
