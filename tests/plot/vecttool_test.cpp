#include "plot/vecttool.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

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

} // namespace
