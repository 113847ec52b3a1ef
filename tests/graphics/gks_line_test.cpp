// Polylines and the dispatch every primitive and setter follows: validation
// of every setter and primitive, a PostScript page of lines and fills that
// ghostscript renders in the colours, grays, widths and dashes asked for, and
// lines in the own X window read back by xwd.
#include "graphics/gks_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/render.h"
#include "support/child.h"
#include "graphics/xwin.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;

const Gpt two[2] = {{0.1f, 0.1f}, {0.9f, 0.9f}};
const Gcolr_rep grey{0.5f, 0.5f, 0.5f};

struct Call {
    const char *what;
    std::function<int()> call;
    int result;
    std::string err;    // what the report says ("" none)
    std::string record; // what the metafile gets ("" nothing)
};

void run_calls(const std::vector<Call> &calls, std::string *records) {
    for (const Call &c : calls) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        const int rc = c.call();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
        EXPECT_EQ(rc, c.result);
        *records += c.record;
    }
}

std::string report(const std::string &func, const std::string &text) {
    return func + ": " + text + "\n\n";
}

// Every setter and primitive, before the workstation is open and on an open
// text metafile: refusals are reported under the operation's name and leave
// everything as it was (setting the earlier value again writes nothing).
TEST(Dispatch, ValidationOfSettersAndPrimitives) {
    gopen_gks(nullptr, 0);
    std::string unused;
    const std::string closed = "GKS not opened";
    run_calls(
        {
            {"line before open", [] { return gpolyline(2, two); }, -1, report("gpolyline", closed), ""},
            {"fill before open", [] { return gfill_area(2, two); }, -1, report("gfill_area", closed), ""},
            {"line colour", [] { return gset_line_colr_ind(3); }, -1, report("gset_line_colr_ind", closed),
             ""},
            {"line width", [] { return gset_linewidth(2); }, -1, report("gset_linewidth", closed), ""},
            {"line type", [] { return gset_linetype(2); }, -1, report("gset_linetype", closed), ""},
            {"fill colour", [] { return gset_fill_colr_ind(3); }, -1, report("gset_fill_colr_ind", closed),
             ""},
            {"fill colour unchanged", [] { return gset_fill_colr_ind(1); }, 0, "", ""},
            {"fill style", [] { return gset_fill_int_style(GPAT); }, -1,
             report("gset_fill_int_style", closed), ""},
            {"fill style unchanged", [] { return gset_fill_int_style(GSOLID); }, 0, "", ""},
            {"pattern", [] { return gset_fill_style_ind(5); }, -1, report("gset_fill_style_ind", closed), ""},
            {"colour", [] { return gset_colr_rep(1, 3, &grey); }, -1, report("gset_colr_rep", closed), ""},
        },
        &unused);

    TempDir dir;
    const std::string file = dir.file("v.meta");
    ASSERT_EQ(gopen_ws(1, file.c_str(), 3), 0);
    const Gpt one[1] = {{0.5f, 0.5f}};
    std::string records;
    run_calls(
        {
            {"1-point line", [&] { return gpolyline(1, one); }, -1,
             report("gpolyline", "invalid number of points: 1"), ""},
            {"1-point fill", [&] { return gfill_area(1, one); }, -1,
             report("gfill_area", "invalid number of points: 1"), ""},
            {"fill without points", [] { return gfill_area(0, nullptr); }, -1,
             report("gfill_area", "invalid number of points: 0"), ""},
            {"colour 257", [] { return gset_line_colr_ind(257); }, -1,
             report("gset_line_colr_ind", "invalid color index: 257"), ""},
            {"colour 300", [] { return gset_fill_colr_ind(300); }, -1,
             report("gset_fill_colr_ind", "invalid color index: 300"), ""},
            {"colour 499", [] { return gset_line_colr_ind(499); }, -1,
             report("gset_line_colr_ind", "invalid color index: 499"), ""},
            {"colour -2", [] { return gset_fill_colr_ind(-2); }, -1,
             report("gset_fill_colr_ind", "invalid color index: -2"), ""},
            {"slot 0", [] { return gset_line_colr_ind(0); }, 0, "", "PL_CLR 0\n"},
            {"slot 256", [] { return gset_line_colr_ind(256); }, 0, "", "PL_CLR 256\n"},
            {"background", [] { return gset_line_colr_ind(-1); }, 0, "", "PL_CLR -1\n"},
            {"print colour 500", [] { return gset_line_colr_ind(500); }, 0, "", "PL_CLR 500\n"},
            {"print colour 508", [] { return gset_fill_colr_ind(508); }, 0, "", "FA_CLR 508\n"},
            {"unchanged", [] { return gset_line_colr_ind(500); }, 0, "", ""},
            {"representation 505: no effect", [] { return gset_colr_rep(1, 505, &grey); }, 0, "", ""},
            {"representation 257", [] { return gset_colr_rep(1, 257, &grey); }, -1,
             report("gset_colr_rep", "invalid color index: 257"), ""},
            {"representation 300", [] { return gset_colr_rep(1, 300, &grey); }, -1,
             report("gset_colr_rep", "invalid color index: 300"), ""},
            {"representation 499", [] { return gset_colr_rep(1, 499, &grey); }, -1,
             report("gset_colr_rep", "invalid color index: 499"), ""},
            {"representation 256", [] { return gset_colr_rep(1, 256, &grey); }, 0, "",
             "CLR 1 256 0.500000 0.500000 0.500000\n"},
            {"negative width", [] { return gset_linewidth(-1); }, -1,
             report("gset_linewidth", "invalid line width: -1.000000"), ""},
            {"width kept", [] { return gset_linewidth(1); }, 0, "", ""},
            {"negative type", [] { return gset_linetype(-2); }, -1,
             report("gset_linetype", "invalid line type: -2"), ""},
            {"type kept", [] { return gset_linetype(1); }, 0, "", ""},
            {"style index 20", [] { return gset_fill_style_ind(20); }, -1,
             report("gset_fill_style_ind", "invalid style index: 20"), ""},
            {"style index -1", [] { return gset_fill_style_ind(-1); }, -1,
             report("gset_fill_style_ind", "invalid style index: -1"), ""},
            {"pattern kept", [] { return gset_fill_style_ind(1); }, 0, "", ""},
            {"width 0 on a metafile", [] { return gset_linewidth(0); }, 0, "", "PL_LW 0.000000\n"},
            {"type 0", [] { return gset_linetype(0); }, 0, "", "PL_TYPE 0\n"},
        },
        &records);
    EXPECT_EQ(gget_line_colr(), 500);
    EXPECT_EQ(gget_fill_colr(), 508);
    ASSERT_EQ(gclose_ws(1), 0);
    const std::string text = read_file(file);
    std::size_t body = 0;
    for (int i = 0; i < 4; ++i) // the header lines
        body = text.find('\n', body) + 1;
    EXPECT_EQ(text.substr(body), records);
}

// The print-bold factor stays across workstations and is at least 1;
// PostScript turns a width of 0 into 1.
TEST(Lines, PrintBoldAndZeroWidthOnPostScript) {
    EXPECT_EQ(gget_line_print_bold(), 1);
    gset_line_print_bold(0);
    EXPECT_EQ(gget_line_print_bold(), 1);
    gset_line_print_bold(-3);
    EXPECT_EQ(gget_line_print_bold(), 1);
    gset_line_print_bold(2);
    EXPECT_EQ(gget_line_print_bold(), 2);

    TempDir dir;
    const std::string file = dir.file("w.ps");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, file.c_str(), 4), 0);
    EXPECT_EQ(gpolyline(2, two), 0); // width 1, twice as wide: 2.0 dots
    gset_linewidth(3);
    EXPECT_EQ(gpolyline(2, two), 0);
    gset_linewidth(0); // becomes 1
    EXPECT_EQ(gpolyline(2, two), 0);
    gset_line_print_bold(1);
    EXPECT_EQ(gpolyline(2, two), 0);
    const Gpt outside[2] = {{2, 2}, {3, 3}};
    EXPECT_EQ(gpolyline(2, outside), 0);
    ASSERT_EQ(gclose_ws(1), 0);
    const std::string text = read_file(file);
    const std::string drawn = text.substr(text.find("%%PL:"));
    EXPECT_EQ(drawn.substr(0, drawn.find("%%End")),
              "%%PL:2\n2.0 dot lw\nnp\n57.50 57.50 mv\n517.50 517.50 ln\nstroke\n"
              "%%PL:2\n6.0 dot lw\nnp\n57.50 57.50 mv\n517.50 517.50 ln\nstroke\n"
              "%%PL:2\n2.0 dot lw\nnp\n57.50 57.50 mv\n517.50 517.50 ln\nstroke\n"
              "%%PL:2\n1.0 dot lw\nnp\n57.50 57.50 mv\n517.50 517.50 ln\nstroke\n");
}

// ---- A rendered page -------------------------------------------------------------

struct Variant {
    const char *what;
    const char *options;
    bool print_solid;
};

struct Rgb {
    int r, g, b;
};

// Lines of the five types, widths and print colours and solid fills in
// several slots, on a portrait page where one world unit is 5.75 points
// (transformation 1: window [0, 100]^2 on the 575-point NDC square).
int draw_page(const std::string &file, const Variant &v) {
    gopen_gks(nullptr, 0);
    if (gopen_ws(1, (file + ",port" + v.options).c_str(), 4) != 0) return 2;
    const Gcolr_rep slots[] = {{1, 0, 0}, {0, 0, 1}, {0, 0.6f, 0}, {0.9f, 0.6f, 0.1f}};
    for (int i = 0; i < 4; ++i)
        gset_colr_rep(1, i + 2, &slots[i]);
    gset_fill_print_solid(v.print_solid ? 1 : 0);
    const Glim win{0, 100, 0, 100};
    gset_win(1, &win);
    gsel_norm_tran(1);
    struct Line {
        float y;
        int type;
        float width;
        int colour;
    };
    for (const Line &l :
         {Line{95, 1, 8, 2}, Line{90, 2, 8, 3}, Line{85, 3, 8, 4}, Line{80, 4, 8, 2}, Line{75, 5, 8, 3},
          Line{65, 1, 12, 500}, Line{55, 1, 12, 501}, Line{45, 1, 12, 502}}) {
        gset_line_colr_ind(l.colour);
        gset_linetype(l.type);
        gset_linewidth(l.width);
        const Gpt pts[2] = {{5, l.y}, {45, l.y}};
        if (gpolyline(2, pts) != 0) return 4;
    }
    const auto square = [](float x, float y) {
        const Gpt pts[5] = {{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}, {x, y}};
        return gfill_area(5, pts);
    };
    for (const auto &[x, y, colour] : {std::tuple{55.0f, 85.0f, 2}, std::tuple{70.0f, 85.0f, 4},
                                       std::tuple{85.0f, 85.0f, 5}, std::tuple{70.0f, 65.0f, 506}}) {
        gset_fill_colr_ind(colour);
        if (square(x, y) != 0) return 5;
    }
    gset_fill_int_style(GPAT);
    gset_fill_style_ind(3);
    gset_fill_colr_ind(3);
    if (square(55, 65) != 0) return 6;
    return gclose_ws(1) == 0 ? 0 : 3;
}

TEST(PrimitivePages, ColoursGraysWidthsAndDashes) {
    if (!gkstest::have_gs()) return;
    for (const Variant &v : {Variant{"colour", ",color", false}, Variant{"gray", ",gray", false},
                             Variant{"gray, print solid", ",gray", true},
                             Variant{"colour ignores print solid", ",color", true}}) {
        SCOPED_TRACE(v.what);
        TempDir dir;
        const std::string file = dir.file("page.ps");
        const zeqtest::ChildResult r = zeqtest::run_child([&] { return draw_page(file, v); });
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string text = read_file(file);
        std::size_t lines = 0, fills = 0;
        for (std::size_t p = text.find("%%PL:2\n"); p != std::string::npos; p = text.find("%%PL:2\n", p + 1))
            ++lines;
        for (std::size_t p = text.find("%%FA:5\n"); p != std::string::npos; p = text.find("%%FA:5\n", p + 1))
            ++fills;
        EXPECT_EQ(lines, 8u);
        EXPECT_EQ(fills, 4u); // the patterned fill has no PostScript form

        const gkstest::Raster img = gkstest::gs_render(file, gkstest::media(800, 800), 144);
        const bool colour = std::string(v.options) == ",color";
        // Page point of world (x, y), moved by (du, dv) points.
        const auto at = [](double x, double y, double du = 0, double dv = 0) {
            return std::pair<double, double>{5.75 * x + 18 + du, 5.75 * y + 18 + dv};
        };
        const auto is = [&](std::pair<double, double> p, Rgb c) {
            return img.colour(p.first, p.second, c.r, c.g, c.b);
        };
        const Rgb white{255, 255, 255}, black{0, 0, 0};
        const Rgb slot[] = {{}, {}, {255, 0, 0}, {0, 0, 255}, {0, 153, 0}, {230, 153, 26}};
        // Gray output draws every slot's line black.
        const auto line_colour = [&](int s) { return colour ? slot[s] : black; };

        // Dashes from the line's start (world x 5), in points: on, then off.
        struct Dashes {
            float y;
            int slot;
            std::vector<double> on, off;
        };
        for (const Dashes &d : {Dashes{95, 2, {3, 9, 21, 150}, {}}, Dashes{90, 3, {3, 15}, {9, 21}},
                                Dashes{85, 4, {1.5, 10.5}, {6, 15}}, Dashes{80, 2, {3, 13.5, 24}, {9, 18}},
                                Dashes{75, 3, {1, 5}, {3, 7}}}) {
            SCOPED_TRACE(testing::Message() << "line at " << d.y);
            for (double on : d.on)
                EXPECT_TRUE(is(at(5, d.y, on), line_colour(d.slot))) << "on at " << on;
            for (double off : d.off)
                EXPECT_TRUE(is(at(5, d.y, off), white)) << "off at " << off;
        }
        // Widths 12 (3.96 points): 501 twice and 502 four times as wide.
        for (const auto &[y, inside, outside] :
             {std::tuple{65.0f, 1.0, 3.0}, std::tuple{55.0f, 3.0, 6.0}, std::tuple{45.0f, 6.0, 10.0}}) {
            SCOPED_TRACE(testing::Message() << "wide line at " << y);
            EXPECT_TRUE(is(at(25, y, 0, inside), black));
            EXPECT_TRUE(is(at(25, y, 0, -inside), black));
            EXPECT_TRUE(is(at(25, y, 0, outside), white));
            EXPECT_TRUE(is(at(25, y, 0, -outside), white));
        }
        // Fills: the slot's colour, its gray, or black with print solid on
        // gray output; the print colour 506 in 0.7 gray; nothing patterned.
        const auto gray = [](double level) {
            const int g = static_cast<int>(level * 255 + 0.5);
            return Rgb{g, g, g};
        };
        const bool solid = v.print_solid && !colour;
        const auto fill = [&](int s, double level) { return solid ? black : colour ? slot[s] : gray(level); };
        EXPECT_TRUE(is(at(60, 90), fill(2, 0.333)));
        EXPECT_TRUE(is(at(75, 90), fill(4, 0.222)));
        EXPECT_TRUE(is(at(90, 90), fill(5, 0.552)));
        EXPECT_TRUE(is(at(75, 70), solid ? black : gray(0.7)));
        EXPECT_TRUE(is(at(60, 70), white));
        EXPECT_TRUE(is(at(60, 50), white)); // off every primitive
    }
}

// ---- The own X window -------------------------------------------------------------

using xtest::px;

// The on and off runs of a row from column x0 up to x1 (exclusive): the
// lengths of alternating runs of `on` pixels and other pixels.
std::vector<int> runs(const xtest::Picture &pic, int row, int x0, int x1, xtest::Rgb on) {
    std::vector<int> out;
    bool state = true;
    int n = 0;
    for (int x = x0; x < x1; ++x) {
        if ((pic.at(x, row) == on) == state) {
            ++n;
        } else {
            out.push_back(n);
            state = !state;
            n = 1;
        }
    }
    out.push_back(n);
    return out;
}

// The pixels of a row (or column) in `on`, as the first and last index.
std::pair<int, int> span(const xtest::Picture &pic, int fixed, bool row, xtest::Rgb on) {
    int first = -1, last = -1;
    const int n = row ? pic.width : pic.height;
    for (int i = 0; i < n; ++i)
        if ((row ? pic.at(i, fixed) : pic.at(fixed, i)) == on) {
            if (first < 0) first = i;
            last = i;
        }
    return {first, last};
}

// Slot colours come out exactly; dashes have their pixel runs; widths are
// pixels; print colours draw as index 1; lines end at the viewport.
TEST(XLines, ColoursDashesWidthsAndClip) {
    if (!xtest::need_tools() || !xtest::open_window()) return;
    const Gcolr_rep slots[] = {{1, 0.6f, 0}, {0.2f, 0.4f, 0.8f}, {1, 1, 1}, {0, 1, 0.2f}};
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(gset_colr_rep(1, i + 1, &slots[i]), 0);
    const xtest::Rgb orange{255, 153, 0}, blue{51, 102, 204}, white{255, 255, 255}, green{0, 255, 51};
    xtest::pixel_world();
    const auto line = [](float row, float x0 = 10, float x1 = 200) {
        const Gpt pts[2] = {px(x0, row), px(x1, row)};
        return gpolyline(2, pts);
    };
    gset_line_colr_ind(2);
    EXPECT_EQ(line(20), 0);
    gset_line_colr_ind(3);
    for (int type = 2; type <= 5; ++type) {
        gset_linetype(type);
        line(20 + 20 * static_cast<float>(type - 1));
    }
    gset_linetype(7); // keeps the dashes of type 5
    line(120);
    gset_linetype(1);
    EXPECT_EQ(gset_line_colr_ind(503), 0);
    EXPECT_EQ(gget_line_colr(), 1);
    EXPECT_EQ(gset_line_colr_ind(1), 0);
    line(140);
    gset_line_colr_ind(4);
    gset_linewidth(5);
    line(170);
    gset_linewidth(0);
    // Transformation 2: the unit square on a viewport whose clip rectangle
    // is columns 160-320 and rows 319-447.
    const Glim unit{0, 1, 0, 1}, view{0.25f, 0.5f, 0.1f, 0.3f};
    gset_win(2, &unit);
    gset_vp(2, &view);
    gsel_norm_tran(2);
    Gxrect clip{};
    gget_xviewport(&clip);
    EXPECT_EQ((std::array<int, 4>{clip.x, clip.y, clip.width, clip.height}),
              (std::array<int, 4>{160, 319, 161, 129}));
    gset_line_colr_ind(2);
    const Gpt across[2] = {{-1, 0.5f}, {2, 0.5f}}, down[2] = {{0.5f, 2}, {0.5f, -1}};
    gpolyline(2, across);
    gpolyline(2, down);

    const xtest::Picture pic = xtest::grab_window();
    ASSERT_EQ(pic.width, 640);
    EXPECT_EQ(span(pic, 20, true, blue), std::make_pair(10, 200));
    EXPECT_EQ(pic.at(9, 20), (xtest::Rgb{0, 0, 0}));
    const std::vector<std::vector<int>> dashes = {{6, 6}, {3, 6}, {6, 6, 3, 6}, {2, 2}, {2, 2}};
    const int rows[] = {40, 60, 80, 100, 120};
    for (std::size_t i = 0; i < dashes.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "dashed line on row " << rows[i]);
        const std::vector<int> got = runs(pic, rows[i], 10, 190, white);
        ASSERT_GE(got.size(), 8u);
        for (std::size_t k = 0; k + 1 < got.size(); ++k)
            EXPECT_EQ(got[k], dashes[i][k % dashes[i].size()]) << "run " << k;
    }
    EXPECT_EQ(span(pic, 140, true, orange), std::make_pair(10, 200));
    EXPECT_EQ(span(pic, 100, false, green), std::make_pair(168, 172)); // width 5 around row 170
    // The clipped lines: row 383 and column 240 inside the clip rectangle.
    EXPECT_EQ(span(pic, 383, true, blue), std::make_pair(160, 320));
    EXPECT_EQ(span(pic, 240, false, blue), std::make_pair(319, 447));
    EXPECT_EQ(gclose_ws(1), 0);
}

// The rubber-band helpers: an outline spanned by two corners in either
// order, and exclusive-or lines that vanish when drawn twice.
TEST(XLines, RubberBandFeedback) {
    if (!xtest::need_tools() || !xtest::open_window()) return;
    const Gcolr_rep white{1, 1, 1};
    gset_colr_rep(1, 1, &white);
    EXPECT_EQ(gxrect(gget_draw_window(), XPoint{50, 40}, XPoint{10, 60}), 0);
    EXPECT_EQ(gget_line_gc_func(), GXcopy);
    EXPECT_EQ(gset_line_gc_func(GXxor), 0);
    EXPECT_EQ(gget_line_gc_func(), GXxor);
    gxline(gget_draw_window(), XPoint{100, 100}, XPoint{200, 100});
    gxline(gget_draw_window(), XPoint{100, 100}, XPoint{200, 100});
    gxline(gget_draw_window(), XPoint{100, 120}, XPoint{200, 120});
    const xtest::Picture pic = xtest::grab_window();
    const xtest::Rgb on{255, 255, 255}, off{0, 0, 0};
    for (int x = 10; x <= 50; ++x) {
        EXPECT_EQ(pic.at(x, 40), on) << x;
        EXPECT_EQ(pic.at(x, 60), on) << x;
    }
    for (int y = 40; y <= 60; ++y) {
        EXPECT_EQ(pic.at(10, y), on) << y;
        EXPECT_EQ(pic.at(50, y), on) << y;
    }
    for (const auto &[x, y] : {std::pair{9, 40}, std::pair{51, 40}, std::pair{30, 39}, std::pair{30, 61},
                               std::pair{11, 41}, std::pair{49, 59}, std::pair{150, 100}})
        EXPECT_EQ(pic.at(x, y), off) << x << "," << y;
    EXPECT_EQ(pic.at(150, 120), on);
    EXPECT_EQ(gclose_ws(1), 0);
}

// After the window closed no setter or primitive reaches the freed graphics
// contexts (the sanitizer would see it), and the next window draws again.
TEST(XLines, NothingTouchesAClosedWindow) {
    if (!xtest::need_tools() || !xtest::open_window()) return;
    const Gcolr_rep red{1, 0, 0}, blue{0, 0, 1};
    gset_colr_rep(1, 2, &red);
    ASSERT_NE(gget_line_gc(), nullptr);
    ASSERT_NE(gget_fill_gc(), nullptr);
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(gget_line_gc(), nullptr);
    EXPECT_EQ(gget_fill_gc(), nullptr);
    const Gpt two_pts[2] = {{0.1f, 0.1f}, {0.9f, 0.9f}};
    EXPECT_EQ(gset_line_colr_ind(2), -1);
    EXPECT_EQ(gset_linetype(3), -1);
    EXPECT_EQ(gpolyline(2, two_pts), -1);
    EXPECT_EQ(gfill_area(2, two_pts), -1);
    EXPECT_EQ(gset_colr_rep(1, 2, &blue), -1);
    galloc_colr(2, 0, 0, 1);
    gset_fill_print_solid(1);
    EXPECT_EQ(gset_text_width(4), 0); // setters without a kernel check
    const Gpt up{1, 0};
    EXPECT_EQ(gset_char_up_vec(&up), 0);
    EXPECT_EQ(gset_line_gc_func(GXxor), 0);
    EXPECT_EQ(gxline(1, XPoint{0, 0}, XPoint{5, 5}), 0);
    EXPECT_EQ(gxrect(1, XPoint{0, 0}, XPoint{5, 5}), 0);
    const Glim lim{0, 1, 0, 1};
    EXPECT_EQ(gclear_region(&lim), 0);
    EXPECT_EQ(gupdate_window(), -1);
    EXPECT_EQ(gresize_window(800, 600), 0);

    ASSERT_TRUE(xtest::open_window());
    gset_colr_rep(1, 2, &red);
    gset_line_colr_ind(2);
    xtest::pixel_world();
    const Gpt row[2] = {px(10, 30), px(50, 30)};
    gpolyline(2, row);
    EXPECT_EQ(xtest::grab_window().at(30, 30), (xtest::Rgb{255, 0, 0}));
    EXPECT_EQ(gclose_ws(1), 0);
}

} // namespace
