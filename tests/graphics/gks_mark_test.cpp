// Markers: every figure rendered by ghostscript from our PostScript (with
// triangles pointing the way their names say), the size factor and its
// reset, the setters' refusals and the records of a text metafile.
#include "graphics/gks_mark.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_text.h"
#include "graphics/render.h"
#include "graphics/xwin.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;

// Opens a portrait EPS page on which world units are print units.
void open_print_page(const std::string &file) {
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, (file + ",port,eps").c_str(), GWS_PS), 0);
    const Glim ws{0, 1, 0, 575.0f / 755}, win{0, 755, 0, 575};
    gset_ws_win(1, &ws);
    gset_vp(1, &ws);
    gset_win(1, &win);
    gsel_norm_tran(1);
}

struct Figure {
    int type;
    std::vector<Gpt> ink;   // offsets from the centre that are drawn
    std::vector<Gpt> blank; // offsets that are not
};

// Types 1 to 9 with half size 20 points, one per column: the pixels each
// figure inks and leaves blank. Triangle 7 points up, 9 down.
TEST(Markers, EveryFigureOnPostScript) {
    if (!gkstest::have_gs()) return;
    const std::vector<Figure> figures = {
        {1, {{0.5f, 0.5f}}, {{5, 0}, {0, 5}}},
        {2, {{-15, 0}, {15, 0}, {0, 15}, {0, -15}}, {{10, 10}, {-10, -10}, {25, 0}}},
        {3, {{15, 0}, {0, 15}, {10, 10}, {-10, 10}, {10, -10}}, {{15, 6}, {6, 15}, {25, 0}}},
        {4, {{20, 0}, {-20, 0}, {0, 20}, {0, -20}}, {{0, 0}, {10, 10}, {25, 0}}},
        {5, {{10, 10}, {-10, 10}, {10, -10}, {-10, -10}}, {{15, 0}, {0, 15}}},
        {6, {{20, 0}, {-20, 0}, {0, 20}, {0, -20}, {20, 20}}, {{0, 0}, {25, 0}, {0, 25}}},
        {7, {{0, -20}, {0, 17}, {-20, -20}, {20, -20}}, {{0, 0}, {-15, 15}, {15, 15}, {0, -24}}},
        {8, {{0, 0}}, {{4, 0}, {0, 4}}},
        {9, {{0, 20}, {0, -17}, {-20, 20}, {20, 20}}, {{0, 0}, {-15, -15}, {15, -15}, {0, 24}}},
    };
    TempDir dir;
    const std::string file = dir.file("markers.ps");
    open_print_page(file);
    gset_marker_width(6); // 2 points
    gset_marker_size(40.5f / 7.2f);
    for (const Figure &f : figures) {
        gset_marker_type(f.type);
        const Gpt p{60.0f + 80.0f * static_cast<float>(f.type - 1), 300};
        gpolymarker(1, &p);
    }
    const Gpt three[3] = {{100, 100}, {200, 100}, {300, 100}};
    gpolymarker(3, three);
    gclose_ws(1);
    const std::string ps = read_file(file);
    EXPECT_NE(ps.find("%%PM:1\n"), std::string::npos);
    EXPECT_NE(ps.find("%%PM:3\n"), std::string::npos);

    const gkstest::Raster page = gkstest::gs_render(file, gkstest::media(756, 576), 144);
    for (const Figure &f : figures) {
        const float x = 60.0f + 80.0f * static_cast<float>(f.type - 1), y = 300;
        for (const Gpt &o : f.ink)
            EXPECT_TRUE(page.black(x + o.x, y + o.y)) << "type " << f.type << " at " << o.x << "," << o.y;
        for (const Gpt &o : f.blank)
            EXPECT_TRUE(page.white(x + o.x, y + o.y)) << "type " << f.type << " at " << o.x << "," << o.y;
    }
}

// The moves of each "%%PM:" block, in print units.
std::vector<std::vector<gkstest::PathCmd>> marker_moves(const std::string &ps) {
    auto blocks = gkstest::ps_paths(ps, "%%PM:");
    for (auto &b : blocks)
        std::erase_if(b, [](const gkstest::PathCmd &c) { return c.op != 'm'; });
    return blocks;
}

// After the workstation opens the size factor is 10 (72 points across on
// paper); 0.7 gives 5 points (half size 2). Types 0 and 10 draw nothing.
TEST(Markers, SizeFactorAndTypesWithoutFigure) {
    TempDir dir;
    const std::string file = dir.file("size.ps");
    open_print_page(file);
    const Gpt p{300, 300};
    gset_marker_type(2);
    gpolymarker(1, &p);
    gset_marker_size(0.7f);
    gpolymarker(1, &p);
    for (int type : {0, 10}) {
        gset_marker_type(type);
        gpolymarker(1, &p);
    }
    gclose_ws(1);
    const auto blocks = marker_moves(read_file(file));
    ASSERT_EQ(blocks.size(), 4u);
    ASSERT_EQ(blocks[0].size(), 2u);
    EXPECT_FLOAT_EQ(blocks[0][0].x, 300 - 36);
    EXPECT_FLOAT_EQ(blocks[0][1].y, 300 + 36);
    ASSERT_EQ(blocks[1].size(), 2u);
    EXPECT_FLOAT_EQ(blocks[1][0].x, 300 - 2);
    EXPECT_TRUE(blocks[2].empty());
    EXPECT_TRUE(blocks[3].empty());
}

// Refusals, unchanged values and the records of a text metafile: markers of
// every type (also those without a figure) are recorded with their points.
TEST(Markers, SettersAndMetafileRecords) {
    TempDir dir;
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gpolymarker(0, nullptr), -1);
    EXPECT_EQ(gset_marker_size(1), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "gpolymarker: GKS not opened\n\ngset_marker_size: GKS not opened\n\n");
    const std::string file = dir.file("m.meta");
    ASSERT_EQ(gopen_ws(1, file.c_str(), GWS_META), 0);
    const Gpt three[3] = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
    const Gpt four[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const struct {
        const char *what;
        std::function<int()> call;
        int result;
        std::string err;
    } calls[] = {
        {"type 10", [] { return gset_marker_type(10); }, 0, ""},
        {"three markers", [&] { return gpolymarker(3, three); }, 0, ""},
        {"type 0", [] { return gset_marker_type(0); }, 0, ""},
        {"four markers", [&] { return gpolymarker(4, four); }, 0, ""},
        {"no markers", [] { return gpolymarker(0, nullptr); }, 0, ""},
        {"negative count", [&] { return gpolymarker(-1, three); }, -1,
         "gpolymarker: invalid number of points: -1\n\n"},
        {"size", [] { return gset_marker_size(0.7f); }, 0, ""},
        {"size unchanged", [] { return gset_marker_size(0.7f); }, 0, ""},
        {"negative size", [] { return gset_marker_size(-1); }, -1,
         "gset_marker_size: invalid marker size: -1.000000\n\n"},
        {"width", [] { return gset_marker_width(2); }, 0, ""},
        {"negative width", [] { return gset_marker_width(-1); }, -1,
         "gset_marker_width: invalid marker width: -1.000000\n\n"},
        {"colour", [] { return gset_marker_colr_ind(3); }, 0, ""},
        {"colour 257", [] { return gset_marker_colr_ind(257); }, -1,
         "gset_marker_colr_ind: invalid color index: 257\n\n"},
        {"type unchanged", [] { return gset_marker_type(0); }, 0, ""},
    };
    for (const auto &c : calls) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    }
    EXPECT_EQ(gget_marker_colr(), 3);
    gclose_ws(1);
    const std::string text = read_file(file);
    EXPECT_EQ(text.substr(text.find("PM_TYPE")),
              "PM_TYPE 10\n"
              "PM 3 0.100000,0.200000 0.300000,0.400000 0.500000,0.600000 \n"
              "PM_TYPE 0\n"
              "PM 4 0.000000,0.000000 1.000000,0.000000 1.000000,1.000000 "
              "0.000000,1.000000 \n   "
              "PM_SIZE 0.700000\n"
              "PM_WDTH 2.000000\n"
              "PM_CLR 3\n");
}

// On PostScript a marker width of 0 becomes 1.
TEST(Markers, ZeroWidthOnPostScript) {
    TempDir dir;
    const std::string file = dir.file("w.ps");
    open_print_page(file);
    const Gpt p{300, 300};
    gset_marker_width(3);
    gpolymarker(1, &p);
    EXPECT_EQ(gset_marker_width(0), 0);
    gpolymarker(1, &p);
    gclose_ws(1);
    const std::string ps = read_file(file);
    const std::size_t second = ps.find("%%PM:", ps.find("%%PM:") + 1);
    EXPECT_NE(ps.find("3.0 dot lw"), std::string::npos);
    EXPECT_NE(ps.find("1.0 dot lw", second), std::string::npos);
}

// ---- The X window ------------------------------------------------------------------------

// On the window (white background): size 0.7 is a plus 7 pixels across;
// triangle 7 points up and 9 down; with a drop shadow of depth 2 every
// marker has black copies 0 and 1 pixel right and down under it.
TEST(XMarkers, SizesTrianglesAndShadows) {
    if (!xtest::need_tools()) return;
    RES_put("background", "white");
    ASSERT_TRUE(xtest::open_window());
    xtest::pixel_world();
    const Gcolr_rep red{1, 0, 0};
    gset_colr_rep(1, 2, &red);
    gset_marker_colr_ind(2);
    gset_marker_type(GMK_PLUS);
    gset_marker_size(0.7f);
    const Gpt plus = xtest::px(100, 100);
    gpolymarker(1, &plus);
    gset_marker_size(2); // half size 10
    gset_marker_type(GMK_TRI);
    const Gpt tri = xtest::px(200, 100);
    gpolymarker(1, &tri);
    gset_marker_type(GMK_ITRI);
    const Gpt itri = xtest::px(300, 100);
    gpolymarker(1, &itri);
    gset_font_drop(2);
    gset_marker_type(GMK_PLUS);
    gset_marker_size(0.7f);
    const Gpt shadowed[3] = {xtest::px(100, 200), xtest::px(150, 200), xtest::px(200, 200)};
    gpolymarker(3, shadowed);
    gset_font_drop(0);
    const xtest::Picture pic = xtest::grab_window();
    const xtest::Rgb white{255, 255, 255}, r{255, 0, 0}, black{0, 0, 0};
    // The plus: columns 97-103 of row 100 and rows 97-103 of column 100.
    for (int d = -4; d <= 4; ++d) {
        EXPECT_EQ(pic.at(100 + d, 100), std::abs(d) <= 3 ? r : white) << "column " << 100 + d;
        EXPECT_EQ(pic.at(100, 100 + d), std::abs(d) <= 3 ? r : white) << "row " << 100 + d;
    }
    // Triangles: the base 21 pixels wide, the apex a single pixel.
    EXPECT_EQ(pic.at(190, 110), r);
    EXPECT_EQ(pic.at(210, 110), r);
    EXPECT_EQ(pic.at(200, 90), r);
    EXPECT_EQ(pic.at(195, 90), white);
    EXPECT_EQ(pic.at(190, 90), white);
    EXPECT_EQ(pic.at(290, 90), r);
    EXPECT_EQ(pic.at(310, 90), r);
    EXPECT_EQ(pic.at(300, 110), r);
    EXPECT_EQ(pic.at(290, 110), white);
    // Shadows: the plus's arms again one pixel right and down, in black.
    for (const int x : {100, 150, 200}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(pic.at(x + 4, 201), black);
        EXPECT_EQ(pic.at(x + 1, 204), black);
        EXPECT_EQ(pic.at(x + 4, 200), white);
        EXPECT_EQ(pic.at(x + 5, 201), white);
        EXPECT_EQ(pic.at(x, 204), white);
        EXPECT_EQ(pic.at(x + 3, 200), r);
        EXPECT_EQ(pic.at(x, 203), r);
    }
    gclose_ws(1);
}

} // namespace
