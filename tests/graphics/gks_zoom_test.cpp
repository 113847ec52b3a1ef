// The window zoom on the 24-bit and the 8-bit screen: the picture shown after
// zooming around the pointer (read back by xwd) against the unzoomed picture,
// the region at the edges, the 1024 limit, the exact restore, looping frames
// shown zoomed, and the read-out of window pixels as unzoomed pixels.
#include "graphics/gks_zoom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_tran.h"
#include "graphics/xwin.h"

namespace {

using xtest::Picture;
using xtest::px;

// Boxes of 10 x 8 pixels in 7 colours, with a shift per picture, so that no
// two neighbouring blocks of pixels look alike.
void pattern(int shift) {
    for (int i = 3; i <= 9; ++i) {
        const Gcolr_rep rep{static_cast<float>(i % 2), static_cast<float>(i % 3) / 2,
                            static_cast<float>(i) / 9};
        gset_colr_rep(1, i, &rep);
    }
    gset_fill_int_style(GSOLID);
    for (int j = 0; j < 64; ++j)
        for (int i = 0; i < 64; ++i) {
            gset_fill_colr_ind(3 + (i * 3 + j * 5 + shift) % 7);
            const float x = static_cast<float>(i * 10), y = static_cast<float>(j * 8);
            const Gpt box[4] = {px(x, y), px(x + 9, y), px(x + 9, y + 7), px(x, y + 7)};
            gfill_area(4, box);
        }
}

// Every window pixel shows the unzoomed pixel that xZ_p and yZ_p report.
void expect_zoomed(const Picture &shown, const Picture &plain, const char *what) {
    ASSERT_EQ(shown.width, plain.width) << what;
    int differ = 0;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
            const int sx = static_cast<int>(xZ_p(static_cast<float>(x)));
            const int sy = static_cast<int>(yZ_p(static_cast<float>(y)));
            if (shown.at(x, y) != plain.at(sx, sy) && ++differ < 4)
                ADD_FAILURE() << what << ": window pixel " << x << "," << y << " is not picture pixel " << sx
                              << "," << sy;
        }
    EXPECT_EQ(differ, 0) << what;
}

void zoom_on_screen(int screen) {
    if (!xtest::need_tools() || !xtest::open_window(xtest::screen_name(screen))) return;
    xtest::pixel_world();
    pattern(0);
    const Picture plain = xtest::grab_window();
    ASSERT_EQ(plain.width, 640);
    ASSERT_EQ(plain.height, 512);

    // Alt-z at (10, 10): the region from (0, 0), 320 x 256, doubled.
    EXPECT_EQ(gzoom(-2, 10, 10, -2, 0), 1);
    EXPECT_EQ(gget_zoom(), 2);
    EXPECT_EQ(xZ_p(0), 0);
    EXPECT_EQ(yZ_p(0), 0);
    EXPECT_EQ(xZ_p(639), 319.5f);
    Picture shown = xtest::grab_window();
    for (int y : {0, 101, 511})
        for (int x : {0, 1, 77, 639})
            EXPECT_EQ(shown.at(x, y), plain.at(x / 2, y / 2)) << x << "," << y;
    expect_zoomed(shown, plain, "zoom 2 at 10,10");

    // A click on a box's centre after one and two zooms reads its world
    // position within one unzoomed pixel.
    const float mark_x = 155, mark_row = 100; // inside the box at (150, 96)
    for (int n = 1; n <= 2; ++n) {
        if (n == 2) {
            EXPECT_EQ(gzoom(-2, static_cast<int>((mark_x - xZ_p(0)) * 2), 0, -2, 0), 1);
        }
        const float f = static_cast<float>(gget_zoom());
        const float wx = (mark_x - xZ_p(0)) * f + f / 2, wy = (mark_row - yZ_p(0)) * f + f / 2;
        EXPECT_LE(std::fabs(xp_W(xZ_p(wx)) - px(mark_x, mark_row).x), 1) << "zoom " << f;
        EXPECT_LE(std::fabs(yp_W(yZ_p(wy)) - px(mark_x, mark_row).y), 1) << "zoom " << f;
    }
    EXPECT_EQ(gget_zoom(), 4);
    expect_zoomed(xtest::grab_window(), plain, "zoom 4");

    // Alt-u restores the picture exactly.
    EXPECT_EQ(gunzoom(), 0);
    EXPECT_EQ(gget_zoom(), 1);
    EXPECT_EQ(xZ_p(123.5f), 123.5f);
    EXPECT_TRUE(xtest::grab_window().rgb == plain.rgb);

    // Near the right edge the region starts at column 320.
    EXPECT_EQ(gzoom(-2, 635, 500, -2, 0), 1);
    EXPECT_EQ(xZ_p(0), 320);
    EXPECT_EQ(yZ_p(0), 256);
    expect_zoomed(xtest::grab_window(), plain, "zoom 2 at the lower right");
    gunzoom();

    // Ten Alt-z reach 1024; the eleventh warns and changes nothing.
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(gzoom(-2, 300, 200, -2, 0), 1);
    EXPECT_EQ(gget_zoom(), 1024);
    const Picture most = xtest::grab_window();
    testing::internal::CaptureStderr();
    EXPECT_EQ(gzoom(-2, 300, 200, -2, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "gzoom: Cannot zoom past 1024x\n");
    EXPECT_EQ(gget_zoom(), 1024);
    EXPECT_TRUE(xtest::grab_window().rgb == most.rgb);
    expect_zoomed(most, plain, "zoom 1024");
    // A factor of 0 is refused.
    testing::internal::CaptureStderr();
    EXPECT_EQ(gzoom(-2, 300, 200, 0, 0), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(gget_zoom(), 1024);
    gunzoom();
    EXPECT_TRUE(xtest::grab_window().rgb == plain.rgb);
    // Showing at the current zoom does nothing while not zoomed.
    EXPECT_EQ(gzoom(-2, -1, -1, -1, 1), 0);
    gclose_ws(1);
}

TEST(WindowZoom, TrueColourScreen) {
    zoom_on_screen(0);
}

TEST(WindowZoom, PseudoColourScreen) {
    zoom_on_screen(1);
}

// Looping frames are shown zoomed, each from its own image; Alt-u shows the
// current frame plain.
TEST(WindowZoom, LoopingFramesShowZoomed) {
    if (!xtest::need_tools() || !xtest::open_window()) return;
    xtest::pixel_world();
    Picture plain[2];
    for (int i = 0; i < 2; ++i) {
        gcreate_frame(-1);
        gselect_frame(i);
        pattern(i * 3);
    }
    for (int i = 0; i < 2; ++i) {
        gdisplay_frame(i);
        plain[i] = xtest::grab_window();
    }
    EXPECT_FALSE(plain[0].rgb == plain[1].rgb);
    gset_looping(1);
    gdisplay_frame(0);
    EXPECT_EQ(gzoom(-2, 200, 100, -2, 0), 1);
    expect_zoomed(xtest::grab_window(), plain[0], "frame 0");
    gdisplay_frame(1);
    expect_zoomed(xtest::grab_window(), plain[1], "frame 1");
    EXPECT_EQ(gzoom(-2, 20, 20, -2, 0), 1); // zoom 4 around a window pixel of the zoomed frame
    EXPECT_EQ(gget_zoom(), 4);
    expect_zoomed(xtest::grab_window(), plain[1], "frame 1 at zoom 4");
    gdisplay_frame(0);
    expect_zoomed(xtest::grab_window(), plain[0], "frame 0 at zoom 4");
    EXPECT_EQ(gunzoom(), 0);
    EXPECT_EQ(gget_cur_frame(), 0);
    EXPECT_TRUE(xtest::grab_window().rgb == plain[0].rgb);
    gclose_ws(1);
}

} // namespace
