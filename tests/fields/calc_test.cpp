#include "fields/calc.h"

#include <gtest/gtest.h>

namespace {

TEST(CalcNames, MathFunctionsGiveTheirPlotType) {
    EXPECT_EQ(GRD_is_math_func("thetae-thte"), 10);
    EXPECT_EQ(GRD_is_math_func("thetae"), 10);
    EXPECT_EQ(GRD_is_math_func("sqrt-"), 10);
    EXPECT_EQ(GRD_is_math_func("adv"), 10);
    EXPECT_EQ(GRD_is_math_func("wind"), 20);
    EXPECT_EQ(GRD_is_math_func("vect-uv"), 21);
    EXPECT_EQ(GRD_is_math_func("strm"), 23);
    EXPECT_EQ(GRD_is_math_func("stream"), 23);
    // Evaluated by the calculator but not listed, other case, other names.
    EXPECT_EQ(GRD_is_math_func("grad"), 0);
    EXPECT_EQ(GRD_is_math_func("smooth"), 0);
    EXPECT_EQ(GRD_is_math_func("Thetae"), 0);
    EXPECT_EQ(GRD_is_math_func("the"), 0);
    EXPECT_EQ(GRD_is_math_func("-thetae"), 0);
    EXPECT_EQ(GRD_is_math_func(""), 0);
    EXPECT_EQ(GRD_is_math_func(nullptr), 0);
}

TEST(CalcNames, VectorValuedAndPlotOnlyFunctions) {
    EXPECT_EQ(GRD_is_vect_func("vdiff"), 1);
    EXPECT_EQ(GRD_is_vect_func("grad-hgrd"), 1);
    EXPECT_EQ(GRD_is_vect_func("gradx"), 0);
    EXPECT_EQ(GRD_is_vect_func("mag"), 0);
    EXPECT_EQ(GRD_is_vect_func(nullptr), 0);
    for (const char *f : {"wind", "vect", "stream", "strm", "wind-spd"})
        EXPECT_EQ(GRD_is_plot_func(f), 1) << f;
    for (const char *f : {"windx", "barb", "WIND", "", "grad"})
        EXPECT_EQ(GRD_is_plot_func(f), 0) << f;
}

} // namespace
