// The PostScript driver: operators written only on change, the gray table,
// and pages ghostscript renders with the drawing where the coordinate
// conversions put it and cut at the clip path.
#include "graphics/gks_ps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_tran.h"
#include "graphics/render.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;

// A PostScript workstation on a temporary file; close() gives what the
// driver wrote between the mark set at open and the trailer.
class PsFile {
public:
    explicit PsFile(const std::string &options = "") {
        gopen_gks(nullptr, 0);
        EXPECT_EQ(gopen_ws(1, (file_ + options).c_str(), 4), 0);
        gps_printf("%%mark\n");
    }
    std::string close() {
        EXPECT_EQ(gclose_ws(1), 0);
        const std::string text = read_file(file_);
        const std::size_t from = text.find("%mark\n");
        const std::size_t to = text.find("%%End of plot\n");
        if (from == std::string::npos || to == std::string::npos) return "(no drawing)";
        return text.substr(from + 6, to - from - 6);
    }

private:
    TempDir dir_;
    std::string file_ = dir_.file("t.ps");
};

// ---- Operators --------------------------------------------------------------------

// Line colours on gray output: print colours in their shades, every slot
// black; each shade written once.
TEST(PostScriptOperators, LineColoursOnGrayOutput) {
    PsFile ps;
    for (int c : {500, 501, 503, 505, 504, 506, 508, 507, 7, 7, 500, 255})
        gps_set_color(c);
    EXPECT_EQ(ps.close(), "1 setgray\n.7 setgray\n0 setgray\n");
}

// Widths: the print colours' doubling and quadrupling, the base width of
// "lwidth" applied from the first line on, each width written once.
TEST(PostScriptOperators, WidthsAndBaseWidth) {
    {
        PsFile ps(",lwidth=2");
        gps_set_width(1, 1);   // 2.0: the prologue's "1 dot lw" is not 1 x 2
        gps_set_width(500, 1); // same width
        gps_set_width(501, 1); // doubled
        gps_set_width(504, 1);
        gps_set_width(507, 1);
        gps_set_width(502, 1); // fourfold
        gps_set_width(505, 1);
        gps_set_width(1, 0.5f);
        gps_set_width(3, 0.5f);
        gps_set_width(1, 0); // the thinnest line
        EXPECT_EQ(ps.close(), "2.0 dot lw\n4 dot lw\n8 dot lw\n1.0 dot lw\n0.0 dot lw\n");
    }
    {
        // The base width stays for the next workstation; its first line
        // writes its width again.
        PsFile ps;
        gps_set_width(1, 1);
        gps_set_width(502, 2.5f);
        gps_set_width(1, 3);
        EXPECT_EQ(ps.close(), "2.0 dot lw\n20 dot lw\n6.0 dot lw\n");
    }
    {
        PsFile ps(",lwidth=1");
        gps_set_width(1, 1); // the prologue's width
        gps_set_width(1, 3);
        EXPECT_EQ(ps.close(), "3.0 dot lw\n");
    }
}

// Dash patterns of types 1-5, each written once; other types write
// nothing and are remembered.
TEST(PostScriptOperators, DashPatterns) {
    PsFile ps;
    for (int t : {1, 2, 2, 3, 4, 5, 5, 7, 7, 1})
        gps_set_type(t);
    EXPECT_EQ(ps.close(),
              "[6] 0 setdash\n[3 6] 0 setdash\n[6 6 3 6] 0 setdash\n[2] 0 setdash\n[] 0 setdash\n");
}

// Every open starts from what its prologue wrote: the second file writes its
// first dash and width although the first file ended with the same.
TEST(PostScriptOperators, EachFileStartsAfresh) {
    {
        PsFile first;
        gps_set_type(2);
        gps_set_width(1, 3);
        gps_set_fill_color(-1);
        EXPECT_EQ(first.close(), "[6] 0 setdash\n3.0 dot lw\n1 setgray\n");
    }
    PsFile second;
    gps_set_type(2);
    gps_set_width(1, 3);
    gps_set_fill_color(-1);
    EXPECT_EQ(second.close(), "[6] 0 setdash\n3.0 dot lw\n1 setgray\n");
}

// The gray table: weights 0.9 red, 1 green, 0.8 blue over 2.7; fills in the
// slot's gray, the background in white, print colours in the line shades;
// reversed grays; lines stay black.
TEST(PostScriptOperators, GrayTableAndFills) {
    PsFile ps;
    struct Slot {
        int ind;
        float r, g, b;
        const char *op;
    };
    const std::vector<Slot> slots = {
        {1, 1, 0, 0, "0.333 setgray\n"}, {2, 0, 1, 0, "0.370 setgray\n"},
        {3, 0, 0, 1, "0.296 setgray\n"}, {4, 0.5f, 0.5f, 0.5f, "0.500 setgray\n"},
        {5, 1, 1, 1, "1.000 setgray\n"},
    };
    std::string expect;
    for (const Slot &s : slots) {
        gps_set_color_rep(s.ind, s.r, s.g, s.b);
        gps_set_fill_color(s.ind);
        gps_set_fill_color(s.ind);
        expect += s.op;
    }
    gps_set_fill_color(-1);  // the background: white already, nothing
    gps_set_color(5);        // a white slot draws black lines
    gps_set_fill_color(506); // print colours fill in the line shades
    gps_set_fill_color(502);
    expect += "0 setgray\n.7 setgray\n0 setgray\n";
    gps_set_reverse(1);
    gps_set_color_rep(6, 1, 1, 1);
    gps_set_color_rep(7, 0, 0, 0);
    gps_set_fill_color(6); // white reversed is black: the level already
    gps_set_fill_color(7);
    expect += "1.000 setgray\n";
    EXPECT_EQ(ps.close(), expect);

    EXPECT_FLOAT_EQ(gps_get_gray(6), 0);
    gps_set_color_rep(256, 0, 1, 0);
    EXPECT_FLOAT_EQ(gps_get_gray(-1), gps_get_gray(256));
    EXPECT_NEAR(gps_get_gray(256), 1 - 1 / 2.7, 1e-6);
    // Indices outside the table are neither written nor read.
    gps_set_color_rep(257, 1, 1, 1);
    gps_set_color_rep(-2, 1, 1, 1);
    EXPECT_EQ(gps_get_gray(257), 0);
    EXPECT_EQ(gps_get_gray(-2), 0);
}

// Moves and lines in world coordinates of the current transformation, and a
// message as a comment.
TEST(PostScriptOperators, MovesLinesAndMessages) {
    PsFile ps;
    const Glim win{0, 100, 0, 100};
    gset_win(0, &win);
    gps_move(0, 0);
    gps_line(100, 100);
    gps_line(50, 20);
    gps_move_abs(1.234f, 5);
    gps_line_abs(-3, 4.5f);
    gmessage(1, "a note");
    // NDC [0, 1] spans 575 points of the 756 x 576 page.
    EXPECT_EQ(ps.close(), "0.00 0.00 mv\n575.00 575.00 ln\n287.50 115.00 ln\n1.23 5.00 mv\n-3.00 4.50 ln\n"
                          "%%Message: a note\n");
}

// Points are written as printf's "%3.2f" writes them, also for values on
// and beside a rounding tie, negative zero, tiny negatives (which print
// "-0.00"), large and non-finite values, and a spread of random ones.
TEST(PostScriptOperators, PointsFormatLikePrintf) {
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 0.005f,
                                 -0.005f,
                                 0.125f,
                                 0.375f,
                                 -0.125f,
                                 1.005f,
                                 2.675f,
                                 -0.001f,
                                 0.0049f,
                                 999.995f,
                                 9.995f,
                                 0.015f,
                                 1e5f,
                                 -123456.78f,
                                 999999.9f,
                                 1e6f,
                                 -1e7f,
                                 3.4e38f,
                                 1e-30f,
                                 std::nanf(""),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()};
    // Every quarter and eighth of a hundredth is a tie or beside one.
    for (int k = -4000; k <= 4000; ++k)
        values.push_back(static_cast<float>(k) / 800.0f);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-1000.0f, 1000.0f);
    for (int k = 0; k < 20000; ++k)
        values.push_back(spread(random));
    std::string want;
    {
        PsFile ps;
        for (std::size_t k = 0; k + 1 < values.size(); k += 2) {
            gps_move_abs(values[k], values[k + 1]);
            gps_line_abs(values[k + 1], values[k]);
            char line[256];
            std::snprintf(line, sizeof line, "%3.2f %3.2f mv\n%3.2f %3.2f ln\n", double(values[k]),
                          double(values[k + 1]), double(values[k + 1]), double(values[k]));
            want += line;
        }
        const std::string got = ps.close();
        ASSERT_EQ(got.size(), want.size());
        // The first differing line, not 2 MB of text.
        std::istringstream a(got), b(want);
        std::string la, lb;
        while (std::getline(a, la) && std::getline(b, lb))
            ASSERT_EQ(la, lb);
    }
}

TEST(PostScriptOperators, NothingWithoutAnOutput) {
    gps_printf("lost\n");
    gps_set_color(503);
    EXPECT_EQ(gps_close_file(), -1);
}

// ---- Rendered pages ----------------------------------------------------------------

struct Layout {
    const char *what;
    const char *options;  // connection items
    const char *geometry; // resource geometry, or null
    bool portrait;
    double page_height; // inches, for the landscape placement
};

// A frame around the viewport [0.25, 0.75]^2 of transformation 1 and two
// long lines from its centre out of it, rendered at 72 dpi: the frame's
// corners lie where the conversions put them, and the lines stop at the clip
// path around the viewport.
TEST(PostScriptPages, FrameCornersAndClippedLines) {
    if (!gkstest::have_gs()) return;
    const std::vector<Layout> layouts = {
        {"landscape", "", nullptr, false, 8.5},
        {"portrait", ",port", nullptr, true, 8.5},
        {"a4", ",a4", nullptr, false, 8.26},
        {"panel", "", "P2x2+1+0", false, 8.5},
    };
    for (const Layout &l : layouts) {
        SCOPED_TRACE(l.what);
        TempDir dir;
        const std::string file = dir.file("page.ps");
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            if (l.geometry != nullptr) RES_put("geometry", l.geometry);
            gopen_gks(nullptr, 0);
            if (gopen_ws(1, (file + l.options).c_str(), 4) != 0) return 2;
            Gint w = 0, h = 0, x = 0, y = 0;
            gget_win_size(&w, &h);
            gget_win_offset(&x, &y);
            std::printf("\ndevice %d %d %d %d\n", w, h, x, y);
            const Glim win{0, 10, 0, 10}, vp{0.25f, 0.75f, 0.25f, 0.75f};
            gset_win(1, &win);
            gset_vp(1, &vp);
            gsel_norm_tran(1);
            gps_set_width(1, 12); // about 4 points
            gps_printf("np\n");
            gps_move(0, 0);
            gps_line(10, 0);
            gps_line(10, 10);
            gps_line(0, 10);
            gps_printf("cp stroke\n");
            gps_printf("np\n");
            gps_move(5, 5);
            gps_line(40, 5);
            gps_printf("stroke np\n");
            gps_move(5, 5);
            gps_line(5, -30);
            gps_printf("stroke\n");
            return gclose_ws(1) == 0 ? 0 : 3;
        });
        ASSERT_EQ(r.status, 0) << r.err;
        int w = 0, h = 0, x0 = 0, y0 = 0;
        ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.find("device "), "device %d %d %d %d", &w, &h, &x0, &y0),
                  4);

        // The unit NDC square fills the shorter side of the device: one
        // scale of min(w, h) - 1 points, from the device offset.
        const double s = std::min(w, h) - 1;
        const double left = x0 + 0.25 * s, right = x0 + 0.75 * s;
        const double bottom = y0 + 0.25 * s, top = y0 + 0.75 * s;
        // The prologue's placement of device points (u, v) on the page.
        const auto page = [&](double u, double v) {
            return l.portrait ? std::pair<double, double>{u + 18, v + 18}
                              : std::pair<double, double>{72 * (l.page_height - 0.25) - v, u + 18};
        };
        const gkstest::Raster img = gkstest::gs_render(file, gkstest::media(1000, 1000));
        const auto black = [&](double u, double v) {
            const auto [px, py] = page(u, v);
            return img.black(px, py);
        };
        const auto white = [&](double u, double v) {
            const auto [px, py] = page(u, v);
            return img.white(px, py);
        };
        for (const auto &[cu, cv, du, dv] : {std::tuple{left, bottom, 1, 1}, std::tuple{right, bottom, -1, 1},
                                             std::tuple{right, top, -1, -1}, std::tuple{left, top, 1, -1}}) {
            SCOPED_TRACE(testing::Message() << "corner " << cu << "," << cv);
            EXPECT_TRUE(black(cu + du, cv + dv));         // the frame's inner half
            EXPECT_TRUE(white(cu - 3 * du, cv - 3 * dv)); // its outer half is clipped
        }
        const double mu = (left + right) / 2, mv = (bottom + top) / 2;
        EXPECT_TRUE(white(left + 0.1 * s, top - 0.1 * s)); // inside, off the lines
        EXPECT_TRUE(black(right - 6, mv));                 // the long lines inside
        EXPECT_TRUE(black(mu, bottom + 6));
        EXPECT_TRUE(white(right + 3, mv)); // and cut at the clip path
        EXPECT_TRUE(white(right + 40, mv));
        EXPECT_TRUE(white(mu, bottom - 3));
        EXPECT_TRUE(white(mu, bottom - 40));
    }
}

} // namespace
