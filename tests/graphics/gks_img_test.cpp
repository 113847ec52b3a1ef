// Window images: palette images drawn at the viewport's corners and cut to
// its size on the 24-, 8- and 16-bit screens, as xwd reads the window;
// overlays leaving the background, "black" or near colours transparent;
// depths that are not converted; images on a PostScript page as
// ghostscript renders it; the save type.
#include "graphics/gks_img.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_tran.h"
#include "graphics/images.h"
#include "graphics/img_tool.h"
#include "graphics/render.h"
#include "graphics/xdump.h"
#include "graphics/xwin.h"
#include "support/child.h"

namespace {

using imgtest::Image;
using xtest::Rgb;

// Palette: 0 red, 1 green, 2 blue, 3 white (1, 1, 1), 4 black, 5 a grey
// within 0.01 of white.
const std::vector<IMG_color> PALETTE = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                        {1, 1, 1}, {0, 0, 0}, {0.997f, 1, 1}};

// A w x h image of index `fill` with its top-left pixel blue and its
// bottom-right pixel green.
void marked(IMG_report *image, int w, int h, unsigned char fill) {
    std::vector<unsigned char> px(static_cast<std::size_t>(w * h), fill);
    px.front() = 2;
    px.back() = 1;
    imgtest::fill_8bit(image, w, h, px, PALETTE);
}

bool near(const Rgb &got, const Rgb &want) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(got[static_cast<std::size_t>(c)] - want[static_cast<std::size_t>(c)]) > 8) return false;
    return true;
}

constexpr Rgb RED{255, 0, 0}, GREEN{0, 255, 0}, BLUE{0, 0, 255}, WHITE{255, 255, 255}, BLACK{0, 0, 0};

// A white window on screen n with transformation 2's viewport over the
// middle of it; the viewport's pixel rectangle.
Gxrect open_white(int n) {
    gset_background("white");
    EXPECT_TRUE(xtest::open_window(xtest::screen_name(n)));
    const Glim vp{0.25f, 0.75f, 0.2f, 0.6f};
    gset_vp(2, &vp);
    gsel_norm_tran(2);
    Gxrect r{};
    gget_xviewport(&r);
    return r;
}

// Images at (0, 0) and (-1, -1) of the viewport, and one larger than the
// viewport cut to its size, on each screen.
void check_placement(int n) {
    if (!xtest::need_tools()) return;
    const Gxrect vp = open_white(n);
    ASSERT_GT(vp.width, 40);
    Image a, b;
    marked(&a, 30, 20, 0);
    marked(&b, 30, 20, 0);
    gload_image(&a, 0, 0);
    gload_image(&b, -1, -1);
    xtest::Picture pic = xtest::grab_window();
    const int l = vp.x, t = vp.y, r = vp.x + vp.width - 1, bt = vp.y + vp.height - 1;
    EXPECT_TRUE(near(pic.at(l, t), BLUE)) << "top-left corner";
    EXPECT_TRUE(near(pic.at(l + 29, t + 19), GREEN));
    EXPECT_TRUE(near(pic.at(l + 10, t + 10), RED));
    EXPECT_TRUE(near(pic.at(l - 1, t), WHITE));
    EXPECT_TRUE(near(pic.at(l, t - 1), WHITE));
    EXPECT_TRUE(near(pic.at(l + 30, t + 5), WHITE));
    // (-1, -1): the image's bottom-right one pixel inside the viewport's.
    EXPECT_TRUE(near(pic.at(r - 1, bt - 1), GREEN));
    EXPECT_TRUE(near(pic.at(r - 30, bt - 20), BLUE));
    EXPECT_TRUE(near(pic.at(r, bt - 1), WHITE));
    EXPECT_TRUE(near(pic.at(r - 1, bt), WHITE));

    // An image larger than the viewport is cut to it.
    Image big;
    marked(&big, vp.width + 40, vp.height + 40, 4);
    gload_image(&big, 0, 0);
    pic = xtest::grab_window();
    EXPECT_TRUE(near(pic.at(l, t), BLUE));
    EXPECT_TRUE(near(pic.at(r, bt), BLACK));
    EXPECT_TRUE(near(pic.at(r + 1, bt), WHITE));
    EXPECT_TRUE(near(pic.at(r, bt + 1), WHITE));
    gclose_ws(1);
}

TEST(ImageDraw, PlacementTrueColour) {
    check_placement(0);
}
TEST(ImageDraw, PlacementPseudoColour) {
    check_placement(1);
}
TEST(ImageDraw, PlacementSixteenBits) {
    check_placement(2);
}

// Overlays: stripes of the six palette colours over a red window. With the
// white background (1, 1, 1) is left out; "black" leaves out exactly the
// black stripe; on the 8-bit screen the grey within 0.01 of white goes
// with white.
void check_overlay(int n) {
    if (!xtest::need_tools()) return;
    const Gxrect vp = open_white(n);
    Display *d = gget_display();
    XSetForeground(d, gget_root_gc(), static_cast<unsigned long>(galloc_colr(-1, 1, 0, 0)));
    XFillRectangle(d, gget_draw_window(), gget_root_gc(), 0, 0, 2000, 2000);
    std::vector<unsigned char> px;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 60; ++x)
            px.push_back(static_cast<unsigned char>(x / 10));
    Image over_white, over_black;
    imgtest::fill_8bit(&over_white, 60, 10, px, PALETTE);
    imgtest::fill_8bit(&over_black, 60, 10, px, PALETTE);
    goverlay_image(&over_white, nullptr, 0, 0);
    goverlay_image(&over_black, "black", 0, 20);
    const xtest::Picture pic = xtest::grab_window();
    const Rgb grey_seen = n == 1 ? RED : Rgb{254, 255, 255};
    const std::vector<Rgb> white_row = {RED, GREEN, BLUE, RED, BLACK, grey_seen};
    const std::vector<Rgb> black_row = {RED, GREEN, BLUE, WHITE, RED, WHITE};
    for (int s = 0; s < 6; ++s) {
        SCOPED_TRACE(s);
        EXPECT_TRUE(near(pic.at(vp.x + 10 * s + 5, vp.y + 5), white_row[static_cast<std::size_t>(s)]));
        EXPECT_TRUE(near(pic.at(vp.x + 10 * s + 5, vp.y + 25), black_row[static_cast<std::size_t>(s)]));
    }
    gclose_ws(1);
}

TEST(ImageOverlay, TransparentColoursTrueColour) {
    check_overlay(0);
}
TEST(ImageOverlay, TransparentColoursPseudoColour) {
    check_overlay(1);
}
TEST(ImageOverlay, TransparentColoursSixteenBits) {
    check_overlay(2);
}

// An image file read and drawn through the file wrappers; a missing file
// draws nothing.
TEST(ImageFiles, LoadAndOverlayFiles) {
    if (!xtest::need_tools()) return;
    zeqtest::TempDir dir;
    const std::string file = dir.file("m.xwd");
    Image image;
    marked(&image, 30, 20, 0);
    ASSERT_EQ(XWD_write(file.c_str(), &image), 1);
    const Gxrect vp = open_white(0);
    EXPECT_EQ(gload_image_file(file.c_str(), 0, 0), 1);
    EXPECT_EQ(goverlay_image_file(file.c_str(), "red", 40, 0), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gload_image_file(dir.file("none").c_str(), 0, 0), 0);
    testing::internal::GetCapturedStderr();
    const xtest::Picture pic = xtest::grab_window();
    EXPECT_TRUE(near(pic.at(vp.x, vp.y), BLUE));
    EXPECT_TRUE(near(pic.at(vp.x + 5, vp.y + 5), RED));
    EXPECT_TRUE(near(pic.at(vp.x + 40, vp.y), BLUE));
    EXPECT_TRUE(near(pic.at(vp.x + 45, vp.y + 5), WHITE)) << "red left out";
    EXPECT_TRUE(near(pic.at(vp.x + 69, vp.y + 19), GREEN));
    gclose_ws(1);
}

// Depths that are not converted warn and draw nothing instead of showing an
// unset buffer.
TEST(ImageDraw, UnconvertedDepthsWarn) {
    if (!xtest::need_display()) return;
    open_white(0);
    Image image;
    image.width = image.height = 4;
    image.depth = 16;
    image.bits_pixel = 16;
    image.bytes_line = 8;
    ASSERT_TRUE(IMG_alloc_data(&image));
    XImage x{};
    testing::internal::CaptureStderr();
    EXPECT_EQ(gset_ximage_params(&image, &x), 0);
    gload_image(&image, 0, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("gset_ximage_params: Images of depth 16 are not drawn on a window of depth 24"),
              std::string::npos)
        << err;
    gclose_ws(1);
}

// gps_image on a portrait page: the image's pixel (x, y) at the viewport's
// top-left corner, one point a pixel, blanks before a negative offset;
// images not of 8 bits refused.
TEST(ImagePostScript, PlacedAtTheViewportTopLeft) {
    if (!gkstest::have_gs()) return;
    zeqtest::TempDir dir;
    const std::string file = dir.file("img.ps");
    const struct {
        int x, y;
        int dark_from_x, dark_from_y; // where the image's dark part starts, from the top left
        int dark_w, dark_h;
    } cases[] = {{0, 0, 0, 0, 40, 30}, {-10, -5, 10, 5, 40, 30}, {10, 5, 0, 0, 30, 25}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            gopen_gks(nullptr, 0);
            if (gopen_ws(1, (file + ",port").c_str(), 4) != 0) return 2;
            const Glim vp{0.25f, 0.75f, 0.25f, 0.75f};
            gset_vp(1, &vp);
            gsel_norm_tran(1);
            Grectangle g{};
            gget_gviewport(&g);
            std::printf("\nvp %d %d %d %d\n", g.x, g.y, g.width, g.height);
            Image image;
            imgtest::fill_8bit(&image, 40, 30, std::vector<unsigned char>(1200, 0x40));
            gload_image(&image, c.x, c.y);
            Image deep;
            deep.width = deep.height = 2;
            deep.depth = 24;
            deep.bits_pixel = 32;
            deep.bytes_line = 8;
            IMG_alloc_data(&deep);
            if (gload_image(&deep, 0, 0) != 0) return 4;
            return gclose_ws(1) == 0 ? 0 : 3;
        });
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("gps_image: Only 8-bit images are printed, not depth 24"), std::string::npos)
            << r.err;
        int x = 0, y = 0, w = 0, h = 0;
        ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.find("vp "), "vp %d %d %d %d", &x, &y, &w, &h), 4);
        const gkstest::Raster img = gkstest::gs_render(file, gkstest::media(1000, 1000));
        // Device point (u, v) lies at page point (u + 18, v + 18) on a portrait page.
        const double left = x + 18, top = y + h + 18;
        const auto dark = [&](double dx, double dy) {
            return img.colour(left + dx, top - dy, 0x40, 0x40, 0x40, 6);
        };
        EXPECT_TRUE(dark(c.dark_from_x + 0.5, c.dark_from_y + 0.5));
        EXPECT_TRUE(dark(c.dark_from_x + c.dark_w - 0.5, c.dark_from_y + c.dark_h - 0.5));
        EXPECT_TRUE(img.white(left + c.dark_from_x + c.dark_w + 0.5, top - c.dark_from_y - 1.5));
        EXPECT_TRUE(img.white(left + c.dark_from_x + 0.5, top - c.dark_from_y - c.dark_h - 0.5));
        if (c.dark_from_x > 0) {
            EXPECT_TRUE(img.white(left + c.dark_from_x - 0.5, top - c.dark_from_y - 1.5));
        }
        if (c.dark_from_y > 0) {
            EXPECT_TRUE(img.white(left + c.dark_from_x + 1.5, top - c.dark_from_y + 0.5));
        }
    }
}

// The save type starts as GIF; other values choose PNG or XWD.
TEST(ImageSave, SaveType) {
    EXPECT_EQ(gget_save_image_type(), GIMG_GIF);
    gset_save_image_type(7);
    EXPECT_EQ(gget_save_image_type(), 7);
    EXPECT_EQ(gsave_image_file("/tmp/never.img"), 0); // no window: nothing captured
}

} // namespace
