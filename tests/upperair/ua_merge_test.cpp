#include "upperair/ua_merge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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
