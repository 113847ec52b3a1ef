// Test support: domains and grid-value comparisons shared by the grid tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fields/region.h"
#include "fields/zeqgrd.h"

namespace zeqtest {

// A domain of projection `proj` centred at clat, clon with nx x ny points of
// spacing dx, dy; every other field unset (DOM_init).
inline Domain make_domain(int proj, float clat, float clon, int nx = 25, int ny = 17, float dx = 1.2f,
                          float dy = 1.2f) {
    Domain d;
    DOM_init(&d);
    d.proj = proj;
    d.clat = clat;
    d.clon = clon;
    d.nx = nx;
    d.ny = ny;
    d.dx = dx;
    d.dy = dy;
    return d;
}

// Compares n grid values with reference values: missing values (-9999) must
// match exactly, others within abs + rel * (1 + |want|).
inline void expect_grid_values(const std::vector<double> &want, const float *got, std::size_t n,
                               const std::string &what, double rel, double abs) {
    ASSERT_NE(got, nullptr) << what;
    ASSERT_EQ(want.size(), n) << what;
    for (std::size_t k = 0; k < n; ++k) {
        if (want[k] == -9999.0) {
            EXPECT_EQ(got[k], FMISSING) << what << " at " << k;
            continue;
        }
        ASSERT_NE(got[k], FMISSING) << what << " at " << k;
        EXPECT_NEAR(got[k], want[k], abs + rel * (1.0 + std::fabs(want[k]))) << what << " at " << k;
    }
}

} // namespace zeqtest
