// The colour table: slots by index and by colour, a full table, the
// background slot, the 0-255 components, and colours on PostScript pages.
#include "graphics/gks_colr.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_line.h"
#include "graphics/gks_ps.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;

std::array<float, 3> rgb(int ind) {
    std::array<float, 3> c{-1, -1, -1};
    gget_color_rgb(ind, &c[0], &c[1], &c[2]);
    return c;
}

// A request below 0 takes the last slot under the highest one used whose
// colour is within 0.01 and stores the colour there; otherwise the next slot.
TEST(ColourTable, FindOrAllocate) {
    EXPECT_EQ(galloc_colr(3, 0.2f, 0.4f, 0.6f), 1);
    galloc_colr(5, 0.2f, 0.4f, 0.608f);
    galloc_colr(10, 0.9f, 0.1f, 0.1f);
    EXPECT_EQ(gget_max_colr(), 10);

    galloc_colr(-1, 0.2f, 0.4f, 0.604f); // near slots 3 and 5: the last wins
    EXPECT_FLOAT_EQ(rgb(5)[2], 0.604f);
    EXPECT_FLOAT_EQ(rgb(3)[2], 0.6f);
    galloc_colr(-1, 0.193f, 0.4f, 0.6f); // near slot 3 only
    EXPECT_FLOAT_EQ(rgb(3)[0], 0.193f);
    EXPECT_EQ(gget_max_colr(), 10);

    galloc_colr(-1, 0.2f, 0.41f, 0.6f); // near no slot
    EXPECT_EQ(gget_max_colr(), 11);
    EXPECT_FLOAT_EQ(rgb(11)[1], 0.41f);

    EXPECT_EQ(gis_color_near(-1, 0, 0, 0, 0), 0); // the background is never near
    EXPECT_EQ(gis_color_near(10, 0.9f, 0.1f, 0.1f, 0), 1);
    EXPECT_EQ(gis_color_near(10, 0.9f, 0.12f, 0.1f, 0), 0);
    EXPECT_EQ(gis_color_near(300, 0, 0, 0, 0), 0);
}

// With all 256 slots used the nearest colour serves as it is, with a
// warning; no slot past the table or the background is written.
TEST(ColourTable, FullTable) {
    for (int i = 0; i <= 255; ++i)
        galloc_colr(i, static_cast<float>(i) / 255, 0, 0);
    galloc_colr(256, 0.3f, 0.3f, 0.3f);
    EXPECT_EQ(gget_max_colr(), 255);
    testing::internal::CaptureStderr();
    galloc_colr(-1, 0.5f, 0, 1); // nearest: slot 127 or 128 (red 0.5)
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "galloc_colr: colour table full, slot 127 serves for (0.50 0.00 1.00)\n");
    EXPECT_EQ(gget_max_colr(), 255);
    EXPECT_FLOAT_EQ(rgb(127)[2], 0);
    EXPECT_FLOAT_EQ(rgb(-1)[0], 0.3f);
    // A colour that is there is still found, without a warning.
    testing::internal::CaptureStderr();
    galloc_colr(-1, 100.0f / 255, 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // Indices past the table change nothing.
    galloc_colr(257, 1, 1, 1);
    galloc_colr(1000, 1, 1, 1);
    EXPECT_EQ(gget_max_colr(), 255);
    EXPECT_FLOAT_EQ(rgb(-1)[0], 0.3f);
}

TEST(ColourTable, LookupsAndValidIndices) {
    galloc_colr(4, 0.999f, 1, 0.5f);
    int r = -1, g = -1, b = -1;
    EXPECT_EQ(gget_color_rgb256(4, &r, &g, &b), 1);
    EXPECT_EQ(r, 254);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 127);
    galloc_colr(6, -0.5f, 2, 0.25f); // fractions are kept within 0-1
    EXPECT_EQ(rgb(6), (std::array<float, 3>{0, 1, 0.25f}));
    EXPECT_EQ(gget_color_rgb256(300, &r, &g, &b), 0);
    EXPECT_EQ(r + g + b, 0);
    EXPECT_EQ(gget_color_ind(300), -1);
    for (int ind : {-1, 0, 255, 256, 500, 504, 508})
        EXPECT_EQ(gis_valid_colr(ind), 1) << ind;
    for (int ind : {-2, 257, 300, 499, 509})
        EXPECT_EQ(gis_valid_colr(ind), 0) << ind;
}

// A PostScript open makes the background white; index 256 is the
// background slot like -1; colour output writes each slot's colour, again
// after the slot changed.
TEST(ColourTable, PostScriptColours) {
    TempDir dir;
    const std::string file = dir.file("c.ps");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, (file + ",color").c_str(), 4), 0);
    EXPECT_EQ(rgb(-1), (std::array<float, 3>{1, 1, 1}));
    EXPECT_FLOAT_EQ(gps_get_gray(-1), 1);
    const Gcolr_rep red{1, 0, 0}, blue{0, 0, 1}, dark{0.1f, 0.2f, 0.3f};
    EXPECT_EQ(gset_colr_rep(1, 256, &dark), 0);
    EXPECT_EQ(rgb(-1), (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
    gset_colr_rep(1, 2, &red);
    const Gpt line[2] = {{0, 0}, {1, 1}};
    gset_line_colr_ind(2);
    gpolyline(2, line);
    gpolyline(2, line);
    gset_colr_rep(1, 2, &blue);
    gpolyline(2, line);
    ASSERT_EQ(gclose_ws(1), 0);
    const std::string text = read_file(file);
    std::vector<std::string> ops;
    for (const std::string &line : zeqtest::text_lines(text.substr(text.find("%%ZEQ Plot"))))
        if (line.ends_with("setrgbcolor")) ops.push_back(line);
    EXPECT_EQ(ops, (std::vector<std::string>{"1.00 0.00 0.00 setrgbcolor", "0.00 0.00 1.00 setrgbcolor"}));
}

TEST(ColourTable, ModesAndBackgroundName) {
    EXPECT_EQ(gget_inverse(), 0);
    EXPECT_EQ(gset_inverse(1), 0);
    EXPECT_EQ(gget_inverse(), 1);
    EXPECT_EQ(gset_background("a_colour_name_longer_than_forty_nine_characters_in_all"), 1);
    EXPECT_EQ(gset_rw_colors(0), 0);
    EXPECT_EQ(gset_local_colormap(1), 1);
    // The "color" print option turns inverse video on.
    TempDir dir;
    gset_inverse(0);
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, (dir.file("i.ps") + ",color").c_str(), 4), 0);
    EXPECT_EQ(gget_inverse(), 1);
    EXPECT_EQ(gclose_ws(1), 0);
}

} // namespace
