// Fill patterns, the print-solid switch, fills on PostScript and patterned
// fills in the own X window read back by xwd.
#include "graphics/gks_fill.h"

#include <gtest/gtest.h>

#include <string>

#include "graphics/gks.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_colr.h"
#include "support/child.h"
#include "graphics/xwin.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;

int set_pixels(int pat) {
    int n = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            n += gfill_test(pat, x, y) != 0;
    return n;
}

// The patterns by the number of their set pixels, as their names describe
// them, and single pixels of the checkerboard.
TEST(FillPatterns, SetPixels) {
    const int expect[NUM_FILL_PAT] = {64, 32, 16, 16, 16, 32, 16, 16, 32, 28,
                                      0,  7,  14, 21, 28, 36, 43, 50, 56, 64};
    for (int pat = 0; pat < NUM_FILL_PAT; ++pat)
        EXPECT_EQ(set_pixels(pat), expect[pat]) << "pattern " << pat;
    EXPECT_EQ(gfill_test(1, 0, 0), 0);
    EXPECT_NE(gfill_test(1, 1, 0), 0);
    EXPECT_NE(gfill_test(1, 0, 1), 0);
    EXPECT_NE(gfill_test(1, 9, 8), 0); // modulo 8
    EXPECT_NE(gfill_test(6, 0, 0), 0); // dlr: 03 06 ...: the first two pixels of row 0
    EXPECT_NE(gfill_test(6, 1, 0), 0);
    EXPECT_EQ(gfill_test(6, 0, 1), 0);
    EXPECT_NE(gfill_test(6, 7, 7), 0); // row 7 = 81
    EXPECT_EQ(gfill_test(20, 0, 0), 0);
    EXPECT_EQ(gfill_test(-1, 0, 0), 0);
}

// Gray fills on PostScript: the slot's gray, black with print solid (which
// stays across workstations and is set without a kernel), nothing for a
// pattern, the path closed and filled.
TEST(Fills, PostScriptFills) {
    EXPECT_EQ(gset_fill_print_solid(1), 0);
    EXPECT_EQ(gget_fill_print_solid(), 1);
    TempDir dir;
    const std::string file = dir.file("f.ps");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, file.c_str(), 4), 0);
    gps_set_color_rep(3, 1, 1, 1);
    const Gpt tri[3] = {{0, 0}, {1, 0}, {0.5f, 1}};
    gset_fill_colr_ind(3);
    EXPECT_EQ(gfill_area(3, tri), 0);
    gset_fill_print_solid(0);
    EXPECT_EQ(gfill_area(3, tri), 0);
    gset_fill_int_style(GHOLLOW);
    EXPECT_EQ(gfill_area(3, tri), 0);
    gset_fill_int_style(GPAT);
    gset_fill_style_ind(9);
    EXPECT_EQ(gfill_area(3, tri), 0);
    EXPECT_EQ(gget_fill_colr(), 3);
    ASSERT_EQ(gclose_ws(1), 0);
    const std::string text = read_file(file);
    const std::string shape = "np\n0.00 0.00 mv\n575.00 0.00 ln\n287.50 575.00 ln\ncp\n";
    const std::string drawn = text.substr(text.find("%%FA:"));
    EXPECT_EQ(drawn.substr(0, drawn.find("%%End")),
              "%%FA:3\n" + shape + "0 setgray\nfill\n%%FA:3\n" + shape + "1.000 setgray\nfill\n");
}

// A patterned fill sets exactly the pixels of its pattern (the stipple is
// anchored at the window's corner), inside and on the closed outline; the
// solid style sets all, and the hollow style leaves the last X style.
TEST(XFills, PatternsSetTheirPixels) {
    if (!xtest::need_tools() || !xtest::open_window()) return;
    const Gcolr_rep white{1, 1, 1};
    gset_colr_rep(1, 3, &white);
    gset_fill_colr_ind(3);
    xtest::pixel_world();
    using xtest::px;
    const auto box = [](int x0, int row0) {
        const float x = static_cast<float>(x0), r = static_cast<float>(row0);
        const Gpt pts[5] = {px(x, r), px(x + 39, r), px(x + 39, r + 39), px(x, r + 39), px(x, r)};
        return gfill_area(5, pts);
    };
    // Column x0 + 50 i on rows 10-49: the patterns; then solid, then hollow
    // after pattern 5.
    const int patterns[] = {1, 2, 3, 6, 9, 13, 17, 10, 0};
    gset_fill_int_style(GPAT);
    for (int i = 0; i < 9; ++i) {
        gset_fill_style_ind(patterns[i]);
        EXPECT_EQ(box(10 + 50 * i, 10), 0);
    }
    gset_fill_int_style(GSOLID);
    box(10, 60);
    gset_fill_int_style(GPAT);
    gset_fill_style_ind(5);
    gset_fill_int_style(GHOLLOW);
    box(60, 60);

    const xtest::Picture pic = xtest::grab_window();
    ASSERT_EQ(pic.width, 640);
    const xtest::Rgb on{255, 255, 255}, off{0, 0, 0};
    const auto check = [&](int x0, int row0, auto expect) {
        int wrong = 0;
        for (int y = row0; y < row0 + 40; ++y)
            for (int x = x0; x < x0 + 40; ++x)
                wrong += pic.at(x, y) != (expect(x, y) ? on : off);
        return wrong;
    };
    for (int i = 0; i < 9; ++i) {
        const int pat = patterns[i];
        EXPECT_EQ(check(10 + 50 * i, 10, [pat](int x, int y) { return gfill_test(pat, x, y) != 0; }), 0)
            << "pattern " << pat;
        EXPECT_EQ(pic.at(10 + 50 * i + 40, 30), off);
    }
    EXPECT_EQ(check(10, 60, [](int, int) { return true; }), 0) << "solid";
    EXPECT_EQ(check(60, 60, [](int x, int y) { return gfill_test(5, x, y) != 0; }), 0) << "hollow";
    EXPECT_EQ(gclose_ws(1), 0);
}

} // namespace
