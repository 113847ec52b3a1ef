// The colour table: slots by index and by colour, a full table, the
// background slot, the 0-255 components, colours on PostScript pages, and X
// colours on the own window: shared colours on the true-colour screen,
// read-write cells and private colormaps on the 8-bit PseudoColor screen.
#include "graphics/gks_colr.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_line.h"
#include "graphics/gks_ps.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/reference.h"
#include "graphics/xwin.h"

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

// ---- X colours ----------------------------------------------------------------------

using xtest::px;

void hline(float row, int colour) {
    gset_line_colr_ind(colour);
    const Gpt pts[2] = {px(10, row), px(100, row)};
    gpolyline(2, pts);
}

// On a true-colour screen a slot's pixel is its colour through the visual's
// masks; giving the slot another colour gives it the new pixel, so lines
// drawn afterwards take it and earlier ones keep theirs.
TEST(XColours, SharedColoursOnTrueColor) {
    if (!xtest::need_tools()) return;
    testing::internal::CaptureStderr();
    if (!xtest::open_window()) return;
    ASSERT_EQ(gget_win_depth(), 24);
    EXPECT_EQ(gget_red_mask(), 0xff0000u);
    EXPECT_EQ(gget_grn_mask(), 0xff00u);
    EXPECT_EQ(gget_blu_mask(), 0xffu);
    MESS_set(1, 0x40000000);
    testing::internal::CaptureStdout();
    EXPECT_EQ(gget_color_rgb_Xval(0x1234, 0x5678, 0x9abc), 0x12569au);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "mask: 16-8-255 8-8-255 0-8-255\n");
    MESS_set(-1, 0x40000000);

    const Gcolr_rep red{1, 0, 0}, blue{0, 0, 1}, odd{0.2f, 0.6f, 0.8f};
    xtest::pixel_world();
    gset_colr_rep(1, 2, &red);
    EXPECT_EQ(gget_color_ind(2), 0xff0000);
    hline(10, 2);
    gset_colr_rep(1, 2, &blue);
    EXPECT_EQ(gget_color_ind(2), 0x0000ff);
    hline(20, 2);
    gset_colr_rep(1, 7, &odd);
    EXPECT_EQ(gget_color_ind(7), static_cast<long>(gget_color_rgb_Xval(13107, 39321, 52428)));
    hline(30, 7);
    EXPECT_EQ(gget_color_ind(-1), 0); // black background
    const xtest::Picture pic = xtest::grab_window();
    EXPECT_EQ(pic.at(50, 10), (xtest::Rgb{255, 0, 0}));
    EXPECT_EQ(pic.at(50, 20), (xtest::Rgb{0, 0, 255}));
    EXPECT_EQ(pic.at(50, 30), (xtest::Rgb{51, 153, 204}));
    EXPECT_EQ(gclose_ws(1), 0);
    // Read-write cells are not to be had here: shared colours, without any
    // X error report.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// On the 8-bit screen a slot owns a read-write cell: a new colour for the
// slot changes the pixels already drawn in it, with nothing drawn again.
TEST(XColours, ReadWriteCellsOnPseudoColor) {
    if (!xtest::need_tools() || !xtest::open_window(xtest::screen_name(1))) return;
    ASSERT_EQ(gget_win_depth(), 8);
    EXPECT_TRUE(xtest::xwininfo(gget_root_window()).find("Visual Class: PseudoColor") != std::string::npos);
    const Gcolr_rep red{1, 0, 0}, green{0, 1, 0};
    xtest::pixel_world();
    gset_colr_rep(1, 2, &red);
    const long pixel = gget_color_ind(2);
    hline(10, 2);
    EXPECT_EQ(xtest::grab_window().at(50, 10), (xtest::Rgb{255, 0, 0}));
    gset_colr_rep(1, 2, &green);
    EXPECT_EQ(gget_color_ind(2), pixel);
    EXPECT_EQ(xtest::grab_window().at(50, 10), (xtest::Rgb{0, 255, 0}));

    MESS_set(1, 0x40000000);
    testing::internal::CaptureStdout();
    gquery_xcolor(2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Query X Color: 2=" + std::to_string(pixel) + " (0.00 1.00 0.00) (    0 65535     0)\n");
    EXPECT_EQ(gclose_ws(1), 0);
}

// LOCAL_CMAP, zeqlocal_cmap or gset_local_colormap give the window a private
// colormap; the close frees it.
TEST(XColours, PrivateColormap) {
    if (!xtest::need_tools()) return;
    struct Case {
        const char *what;
        int screen;
        std::function<void()> ask;
    };
    const std::vector<Case> table = {
        {"LOCAL_CMAP on the 8-bit screen", 1, [] { setenv("LOCAL_CMAP", "", 1); }},
        {"zeqlocal_cmap on the true-colour screen", 0, [] { setenv("zeqlocal_cmap", "1", 1); }},
        {"gset_local_colormap", 1, [] { gset_local_colormap(1); }},
    };
    for (const Case &c : table) {
        SCOPED_TRACE(c.what);
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            c.ask();
            if (!xtest::open_window(xtest::screen_name(c.screen))) return 2;
            const Gcolr_rep orange{1, 0.5f, 0};
            if (gset_colr_rep(1, 2, &orange) != 0) return 3;
            std::printf("%s\nprivate 0x%lx default 0x%lx\n",
                        xtest::xwininfo(gget_root_window(), "-all").c_str(), gget_colormap(),
                        gget_def_cmap());
            if (gclose_ws(1) != 0) return 4;
            return gget_user_cmap() == 0 ? 0 : 5;
        });
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const std::size_t p = r.out.find("private ");
        ASSERT_NE(p, std::string::npos) << r.out;
        unsigned long priv = 0, def = 0;
        ASSERT_EQ(std::sscanf(r.out.c_str() + p, "private 0x%lx default 0x%lx", &priv, &def), 2);
        EXPECT_NE(priv, def);
        EXPECT_NE(r.out.find("Colormap: " + xtest::hex(priv) + " (not installed)"), std::string::npos)
            << r.out;
    }
}

// Takes every free cell of a colormap as another client would: a ramp of
// grays with one pure red (the red_at-th cell), whose pixel comes back;
// *taken counts the cells.
unsigned long fill_colormap(Display *d, Colormap cmap, int red_at, int *taken) {
    unsigned long red_pixel = 0;
    for (*taken = 0;; ++*taken) {
        unsigned long pixel = 0;
        GxQuietErrors quiet;
        const bool ok = XAllocColorCells(d, cmap, False, nullptr, 0, &pixel, 1) != 0;
        XSync(d, False);
        if (!ok || quiet.failed()) break;
        XColor c{};
        c.pixel = pixel;
        c.flags = DoRed | DoGreen | DoBlue;
        c.red = c.green = c.blue = static_cast<unsigned short>(*taken * 256);
        if (*taken == red_at) {
            c.red = 65535;
            c.green = c.blue = 0;
            red_pixel = pixel;
        }
        XStoreColor(d, cmap, &c);
    }
    XSync(d, False);
    return red_pixel;
}

// Shared colours on a private 8-bit colormap: a slot given one colour after
// another gives each old colour back, so hundreds of colours never fill the
// colormap; once others hold every cell, the nearest colour serves, with a
// warning, and draws.
TEST(XColours, SharedColoursGiveCellsBackAndFallBackToTheNearest) {
    if (!xtest::need_tools()) return;
    setenv("LOCAL_CMAP", "", 1);
    gset_rw_colors(0);
    if (!xtest::open_window(xtest::screen_name(1))) return;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 300; ++i) {
        const Gcolr_rep c{static_cast<float>(i) / 300, 0.5f, static_cast<float>(299 - i) / 300};
        gset_colr_rep(1, 2, &c);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // Another client takes every free cell.
    int taken = 0;
    const unsigned long red_pixel = fill_colormap(gget_display(), gget_colormap(), 100, &taken);
    ASSERT_GT(taken, 200);
    const Gcolr_rep almost_red{0.95f, 0.05f, 0};
    testing::internal::CaptureStderr();
    xtest::pixel_world();
    gset_colr_rep(1, 3, &almost_red);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "galloc_colr: no colour cell for (62258  3276     0), pixel " + std::to_string(red_pixel) +
                  " serves\n");
    EXPECT_EQ(gget_color_ind(3), static_cast<long>(red_pixel));
    hline(10, 3);
    EXPECT_EQ(xtest::grab_window().at(50, 10), (xtest::Rgb{255, 0, 0}));
    EXPECT_EQ(gclose_ws(1), 0);
}

// The background on a colormap another client has filled (one handed over
// before the open, as another program's window does): the nearest colour
// serves, with a warning, and the window is cleared in it.
TEST(XColours, BackgroundFallsBackToTheNearestColour) {
    if (!xtest::need_tools()) return;
    const zeqtest::ChildResult r = zeqtest::run_child(
        [] {
            Display *other = XOpenDisplay(xtest::screen_name(1).c_str());
            if (other == nullptr) return 2;
            const int scr = DefaultScreen(other);
            const Colormap cmap =
                XCreateColormap(other, RootWindow(other, scr), DefaultVisual(other, scr), AllocNone);
            int taken = 0;
            const unsigned long red_pixel = fill_colormap(other, cmap, 50, &taken);
            gset_user_cmap(cmap);
            RES_put("background", "rgb:f0/0d/00");
            if (!xtest::open_window(xtest::screen_name(1))) return 3;
            const xtest::Rgb p = xtest::grab_window().at(320, 256);
            std::printf("\nred %lu\nback %ld\npixel %d %d %d\n", red_pixel, gget_back_color(), p[0], p[1],
                        p[2]);
            gclose_ws(1);
            XFreeColormap(other, cmap);
            XCloseDisplay(other);
            return 0;
        },
        {}, std::chrono::seconds(60));
    ASSERT_EQ(r.status, 0) << r.err;
    auto values = zeqtest::named_numbers(r.out);
    ASSERT_EQ(values["red"].size(), 1u) << r.out;
    EXPECT_EQ(values["back"], values["red"]);
    EXPECT_EQ(values["pixel"], (std::vector<double>{255, 0, 0}));
    EXPECT_EQ(r.err, "ginit_background: no colour cell for (61680  3341     0), pixel " +
                         std::to_string(static_cast<long>(values["red"][0])) + " serves\n");
}

} // namespace
