// Test support: grid records written and read through the grid file table:
// a grid whose values live in the test, a record a reader fills, and an
// exact comparison of values.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "fields/zeqgrd.h"

namespace zeqtest {

// A grid to write (a 12-hour 500 mb height of model 83 on grid 211); the
// values live in the test.
struct GridSource {
    GRD_report r{};
    std::vector<float> v;
    GridSource(const Domain &d, std::vector<float> values) : v(std::move(values)) {
        r.domain = d;
        r.grid = v.data();
        r.source = 7;
        r.version = 0;
        r.model = 83;
        r.type = 211;
        r.ltype = 100;
        r.level = 500;
        r.time = 12;
        r.var = 7;
        std::snprintf(r.datim, sizeof r.datim, "12Z  5 JAN 24");
        std::snprintf(r.info, sizeof r.info, "12 hour 500 mb Height (m)");
        std::snprintf(r.units, sizeof r.units, "m");
    }
};

// A record that a reader fills; its array is released at the end.
struct GridRead {
    GRD_report r{};
    GridRead() { r.grid = nullptr; }
    ~GridRead() { std::free(r.grid); }
    GridRead(const GridRead &) = delete;
    GridRead &operator=(const GridRead &) = delete;
};

// n values that no two grid points share.
inline std::vector<float> ramp(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t k = 0; k < n; ++k)
        v[k] = 5000.0f + 1.234567f * float(k) - 0.001f * float(k * k);
    return v;
}

// The record's values equal `want` bit for bit.
inline void expect_same_values(const GRD_report &got, const std::vector<float> &want) {
    ASSERT_NE(got.grid, nullptr);
    ASSERT_EQ(std::size_t(got.domain.nx) * std::size_t(got.domain.ny), want.size());
    for (std::size_t k = 0; k < want.size(); ++k)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(got.grid[k]), std::bit_cast<std::uint32_t>(want[k]))
            << "value " << k << ": " << got.grid[k] << " != " << want[k];
}

} // namespace zeqtest
