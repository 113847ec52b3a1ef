// The HP-GL/2 driver: a page that hp2xx renders with the frame and diagonal
// where our pen moves put them, the instructions hp2xx does not draw as
// exact text, the prologue and trailer of every option, page sizes and
// geometry in plotter units, and the shading, width and line-type
// instructions written only on change.
#include "graphics/gks_hpgl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/render.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;

constexpr const char *HP2XX = "/usr/bin/hp2xx";
constexpr const char *PCL_START = "\33E\33%1B\33&l1O\n";
constexpr const char *PCL_END = "\33%0A\33E";

bool have_hp2xx() {
    if (access(HP2XX, X_OK) == 0) return true;
    ADD_FAILURE() << "this test needs " << HP2XX << " (Debian package hp2xx)";
    return false;
}

// The display as transformation 1: the workstation window [0, 1] x [0, 0.75]
// on the whole device.
void setup_display() {
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    const Glim ws{0, 1, 0, 0.75f};
    const Glim dev{0, static_cast<float>(w - 1), 0, static_cast<float>(h - 1)};
    gset_ws_win(1, &ws);
    gset_ws_vp(1, &dev);
    gset_win(1, &ws);
    gset_vp(1, &ws);
    gsel_norm_tran(1);
}

// One pen-up or pen-down move of the file.
struct Move {
    bool down;
    long x, y;
};

// The PU and PD moves of a text, in order.
std::vector<Move> moves(const std::string &text) {
    std::vector<Move> list;
    for (std::size_t pos = 0; (pos = text.find_first_of("PU", pos)) != std::string::npos; ++pos) {
        if (pos + 1 >= text.size() || text[pos] != 'P' || (text[pos + 1] != 'U' && text[pos + 1] != 'D'))
            continue;
        long x = 0, y = 0;
        if (std::sscanf(text.c_str() + pos + 2, "%ld,%ld;", &x, &y) == 2)
            list.push_back({text[pos + 1] == 'D', x, y});
    }
    return list;
}

// The lines of a text that begin with one of the prefixes, in order.
std::string lines_with(const std::string &text, std::initializer_list<const char *> prefixes) {
    std::string out;
    for (const std::string &line : zeqtest::text_lines(text))
        for (const char *p : prefixes)
            if (line.starts_with(p)) out += line + "\n";
    return out;
}

// The page of the driver: the frame of the display and its diagonal, then in
// a second viewport (upper left, clear of the diagonal) line types 1 to 6,
// widths, slot and print colours, slot, background and print-solid fills,
// markers and text.
void draw_page() {
    setup_display();
    const Gpt frame[5] = {{0, 0}, {1, 0}, {1, 0.75f}, {0, 0.75f}, {0, 0}};
    const Gpt diagonal[2] = {{0, 0}, {1, 0.75f}};
    gpolyline(5, frame);
    gpolyline(2, diagonal);

    const Glim win{0, 100, 0, 60}, vp{0.05f, 0.45f, 0.45f, 0.72f};
    gset_win(2, &win);
    gset_vp(2, &vp);
    gsel_norm_tran(2);
    const Gcolr_rep red{1, 0, 0}, quarter{0.25f, 0.25f, 0.25f};
    gset_colr_rep(1, 3, &red);
    gset_colr_rep(1, 4, &quarter);
    for (int type = 1; type <= 6; ++type) {
        gset_linetype(type);
        gset_linewidth(static_cast<float>(type % 3));
        const Gpt line[2] = {{5, 60 - 5.0f * static_cast<float>(type)},
                             {45, 60 - 5.0f * static_cast<float>(type)}};
        gpolyline(2, line);
    }
    gset_linetype(1);
    gset_linewidth(1);
    int row = 0;
    for (int colour : {3, 500, 501, 502, 503, 506, 508}) {
        gset_line_colr_ind(colour);
        const float y = 55 - 4.0f * static_cast<float>(row++);
        const Gpt line[2] = {{50, y}, {95, y}};
        gpolyline(2, line);
    }
    const Gpt box[4] = {{5, 2}, {20, 2}, {20, 12}, {5, 12}};
    const Gpt box2[4] = {{25, 2}, {40, 2}, {40, 12}, {25, 12}};
    for (int colour : {4, 4, -1, -1}) {
        gset_fill_colr_ind(colour);
        gfill_area(4, colour == 4 ? box : box2);
    }
    gset_fill_print_solid(1);
    gfill_area(4, box);
    gset_fill_print_solid(0);
    gset_marker_colr_ind(1);
    gset_marker_size(0.4f);
    for (int type = 1; type <= 9; ++type) {
        gset_marker_type(type);
        const Gpt at{50 + 5.0f * static_cast<float>(type), 20};
        gpolymarker(1, &at);
    }
    gset_text_colr_ind(1);
    gset_char_ht(6);
    const Gpt at{50, 5};
    gtext(&at, "HP");
    gsel_norm_tran(1);
}

// A gray image read back from a PNG: one byte per pixel, rows from the top.
struct Gray {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> px;
    bool dark(int col, int row) const {
        if (col < 0 || row < 0 || col >= width || row >= height) return false;
        return px[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(col)] < 128;
    }
    // Some pixel within r of (col, row) is dark.
    bool dark_near(int col, int row, int r) const {
        for (int dr = -r; dr <= r; ++dr)
            for (int dc = -r; dc <= r; ++dc)
                if (dark(col + dc, row + dr)) return true;
        return false;
    }
};

// ImageMagick turns the PNG into a binary PGM, which is read here.
Gray read_png(const std::string &png, const TempDir &dir) {
    Gray g;
    const std::string pgm = dir.file("page.pgm");
    const std::string out = zeqtest::run_command("/usr/bin/convert '" + png +
                                                 "' -colorspace gray -depth 8 'pgm:" + pgm + "' 2>&1");
    EXPECT_EQ(out, "") << "convert (Debian package imagemagick)";
    const std::string data = read_file(pgm);
    int maxval = 0, used = 0;
    if (std::sscanf(data.c_str(), "P5 %d %d %d%n", &g.width, &g.height, &maxval, &used) != 3 ||
        maxval != 255) {
        ADD_FAILURE() << "no PGM image from " << png;
        return {};
    }
    const std::size_t start = static_cast<std::size_t>(used) + 1;
    const std::size_t size = static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height);
    if (data.size() < start + size) {
        ADD_FAILURE() << "short PGM image from " << png;
        return {};
    }
    g.px.assign(data.begin() + static_cast<std::ptrdiff_t>(start),
                data.begin() + static_cast<std::ptrdiff_t>(start + size));
    return g;
}

// hp2xx renders the page: the frame's corners and the diagonal land where
// the pen moves of the file put them, after hp2xx's scaling of 1016 units
// per inch; the instructions hp2xx does not draw are checked as text.
TEST(HpglPage, Hp2xxDrawsWhereThePenMovesGo) {
    if (!have_hp2xx()) return;
    TempDir dir;
    const std::string file = dir.file("out.hpgl");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, (file + ",nopcl").c_str(), 5), 0);
    draw_page();
    ASSERT_EQ(gclose_ws(1), 0);
    const std::string text = read_file(file);

    // The frame and the diagonal are the first two lines drawn: the device
    // of 10150 x 7612 units from the offset 10, 10 holds the display of
    // aspect 0.75 as 10148 x 7611 units.
    const std::vector<Move> m = moves(text);
    ASSERT_GE(m.size(), 7u);
    const long x0 = m[0].x, y0 = m[0].y, x1 = m[2].x, y1 = m[2].y;
    const std::string lines = "PU10,10;PD10158,10;PD10158,7621;PD10,7621;PD10,10;\nPU10,10;PD10158,7621;\n";
    EXPECT_EQ(text.substr(text.find("PU10,10;"), lines.size()), lines);

    // What hp2xx does not draw: shading, fill types, polygon mode, clip.
    EXPECT_EQ(lines_with(text, {"SV", "FT", "IW", "PW", "LT"}),
              "PW0.2;SV;LT;\n"
              "IW 10,10,7621,7621;\n"
              "IW 10,10,10158,10158;\n"
              "IW 10,10,10158,10158;\n"
              "IW 10,10,10158,7621;\n"
              "IW 517,4576,4577,7317;\n" // the second viewport
              "PW0.4;\nLT2,5,1;\n"
              "PW0.2;\nLT5,8,1;\n" // width 0 is width 1
              "LT6,10,1;\n"
              "PW0.4;\nLT2,1,1;\n"
              "PW0.2;\n" // type 6: no instruction
              "LT;\n"
              "PW0.4;\nPW0.8;\nPW0.2;\n" // 501, 502, then 503 at width 1
              "SV1,0;\nSV1,30;\nPW0.8;\n"
              "FT10,75;\n" // slot 4, gray 0.25, once
              "FT10,0;\n"  // the background, once
              "FT1;\n"     // print solid
              "PW0.2;\nSV;\n"
              "IW 10,10,10158,7621;\n");
    const std::string fill = "PU720,4668;PM0;PD1329,4668;PD1329,5125;PD720,5125;PM1;PM2;FP;\n";
    EXPECT_NE(text.find("FT10,75;\n" + fill + fill + "FT10,0;\n"), std::string::npos);

    const std::string png = dir.file("page.png");
    const std::string out = zeqtest::run_command(std::string(HP2XX) + " -q -m png -t -d 100 -f '" + png +
                                                 "' '" + file + "' 2>&1");
    const Gray g = read_png(png, dir);
    ASSERT_GT(g.width, 0) << out;
    // The frame's lower left corner is the lowest, leftmost dark pixel.
    int left = g.width, bottom = -1;
    for (int row = 0; row < g.height; ++row)
        for (int col = 0; col < g.width; ++col)
            if (g.dark(col, row)) {
                left = std::min(left, col);
                bottom = std::max(bottom, row);
            }
    const double s = 100.0 / 1016; // pixels per plotter unit
    auto col_of = [&](double x) {
        return left + static_cast<int>(std::lround((x - static_cast<double>(x0)) * s));
    };
    auto row_of = [&](double y) {
        return bottom - static_cast<int>(std::lround((y - static_cast<double>(y0)) * s));
    };
    for (const auto &[x, y] : {std::pair{x0, y0}, std::pair{x1, y0}, std::pair{x1, y1}, std::pair{x0, y1}}) {
        SCOPED_TRACE(testing::Message() << "corner " << x << "," << y);
        EXPECT_TRUE(g.dark_near(col_of(static_cast<double>(x)), row_of(static_cast<double>(y)), 1));
        // Nothing beyond the corner.
        const int out_col = col_of(static_cast<double>(x)) + (x == x0 ? -4 : 4);
        const int out_row = row_of(static_cast<double>(y)) + (y == y0 ? 4 : -4);
        EXPECT_FALSE(g.dark_near(out_col, out_row, 1));
    }
    for (double t = 0.1; t < 0.95; t += 0.1) {
        SCOPED_TRACE(testing::Message() << "diagonal at " << t);
        const double x = static_cast<double>(x0) + t * static_cast<double>(x1 - x0);
        const double y = static_cast<double>(y0) + t * static_cast<double>(y1 - y0);
        EXPECT_TRUE(g.dark_near(col_of(x), row_of(y), 1));
        EXPECT_FALSE(g.dark_near(col_of(x) + 8, row_of(y) + 8, 2)); // below it: empty page
    }
}

} // namespace

// ---- Prologue, trailer, pages and geometry --------------------------------------

std::string hpgl_text(const std::string &file, const std::string &options, Gws_type type = GWS_HPGL) {
    gopen_gks(nullptr, 0);
    EXPECT_EQ(gopen_ws(1, (file + options).c_str(), type), 0);
    EXPECT_EQ(gclose_ws(1), 0);
    return read_file(file);
}

// The prologue before the first input window and the trailer after the
// last, option by option. Rotation and base width persist from one open to
// the next; PCL is on again at every open.
TEST(HpglOpen, PrologueAndTrailerOfTheOptions) {
    TempDir dir;
    const std::string file = dir.file("t.hpgl");
    const std::string pcl = PCL_START;
    const std::string trailer = "SP;PG;\n";
    struct Case {
        const char *options;
        std::string head;
        std::string tail;
    };
    const Case cases[] = {
        {"", pcl + "IN;SP1;PA;\nPW0.2;SV;LT;\n", trailer + PCL_END},
        {",nopcl", "IN;SP1;PA;\nPW0.2;SV;LT;\n", trailer},
        {",NoPcl,pcl", pcl + "IN;SP1;PA;\nPW0.2;SV;LT;\n", trailer + PCL_END},
        {",lj", pcl + "IN;SP1;PA;\nRO90;\nPW0.2;SV;LT;\n", trailer + PCL_END},
        {",lj,rot=90", pcl + "IN;SP1;PA;\nRO90;\nRO90;\nPW0.2;SV;LT;\n", trailer + PCL_END},
        {",nopcl", "IN;SP1;PA;\nRO90;\nPW0.2;SV;LT;\n", trailer}, // the rotation stays
        {",nopcl,rot=180", "IN;SP1;PA;\nRO180;\nPW0.2;SV;LT;\n", trailer},
        {",nopcl,rot=270", "IN;SP1;PA;\nRO270;\nPW0.2;SV;LT;\n", trailer},
        {",nopcl,rot=45", "IN;SP1;PA;\nPW0.2;SV;LT;\n", trailer},
        {",nopcl,port", "IN;SP1;PA;\nRO90;\nPW0.2;SV;LT;\n", trailer},
        {",nopcl,land,lwidth=0.5", "IN;SP1;PA;\nPW0.5;SV;LT;\n", trailer},
        {",nopcl", "IN;SP1;PA;\nPW0.5;SV;LT;\n", trailer}, // the base width stays
        {",nopcl,lwidth=0.2,scale=0.8", "IN;SP1;PA;\nPW0.2;SV;LT;\n", trailer},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        const std::string text = hpgl_text(file, c.options);
        const std::size_t first = text.find("IW ");
        const std::size_t last = text.rfind("IW ");
        ASSERT_NE(first, std::string::npos);
        EXPECT_EQ(text.substr(0, first), c.head);
        EXPECT_EQ(text.substr(text.find('\n', last) + 1), c.tail);
    }
}

// "+" appends the pen line and the drawing without framing or trailer; "|"
// pipes into a command; zeqprint turns a PostScript open into HP-GL written
// to zeqhp_out.
TEST(HpglOpen, AppendPipeAndZeqprint) {
    TempDir dir;
    const std::string file = dir.file("a.hpgl");
    const std::string first = hpgl_text(file, ",nopcl");
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStdout();
    ASSERT_EQ(gopen_ws(1, ("+" + file + ",lj").c_str(), 5), 0);
    const Gpt line[2] = {{0, 0}, {1, 1}};
    gpolyline(2, line);
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Appending to: " + file + "\nCreated HPGL file\n");
    const std::string appended = read_file(file).substr(first.size());
    EXPECT_EQ(appended, "PW0.2;SV;LT;\nIW 10,10,7621,7621;\nPU10,10;PD7621,7621;\n");

    const std::string piped = dir.file("p.hpgl");
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStdout();
    ASSERT_EQ(gopen_ws(1, ("|cat > " + piped + ",nopcl").c_str(), 5), 0);
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Spooling to: cat > " + piped + "\nCreated HPGL file\n");
    EXPECT_EQ(read_file(piped), first);

    const std::string out = dir.file("z.hpgl");
    setenv("zeqprint", "HPGL", 1);
    setenv("zeqhp_out", out.c_str(), 1);
    const std::string text = hpgl_text("", "", GWS_PS);
    EXPECT_EQ(gget_win_type(), GWS_HPGL);
    const std::string head = std::string(PCL_START) + "IN;SP1;PA;\n";
    EXPECT_EQ(read_file(out).substr(0, head.size()), head);
    unsetenv("zeqprint");
    unsetenv("zeqhp_out");
}

// Device sizes and offsets in plotter units: pages, "sz", a roll only from
// zeqhp_param, and the geometry (resource before zeqhp_geometry) in
// hundredths of an inch at 10.15 units each, or a panel.
TEST(HpglOpen, PagesAndGeometry) {
    TempDir dir;
    const std::string file = dir.file("g.hpgl");
    struct Case {
        const char *options;
        const char *param;    // zeqhp_param
        const char *resource; // geometry
        const char *env;      // zeqhp_geometry
        Gint w, h, x, y;
    };
    const Case cases[] = {
        {"", nullptr, nullptr, nullptr, 10150, 7612, 10, 10},
        {",a4", nullptr, nullptr, nullptr, 11357, 7876, 10, 10},
        {",sz=10x8", nullptr, nullptr, nullptr, 9642, 7612, 10, 10},
        {",roll=36", nullptr, nullptr, nullptr, 10150, 7612, 10, 10},
        {"", "nopcl,roll=36", nullptr, nullptr, 36032, 23345, 10, 10},
        {",legal", "roll=36", nullptr, nullptr, 13702, 8120, 10, 10},
        {"", nullptr, "500x400+100+50", "300x200", 5075, 4060, 1025, 517},
        {"", nullptr, nullptr, "300x200", 3045, 2030, 10, 10},
        {"", nullptr, nullptr, "+100+50", 10150, 7612, 1025, 517},
        {"", nullptr, "P2x2+1+0", nullptr, 5075, 3806, 5075, 3806},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.options << " " << (c.param ? c.param : "") << " "
                                        << (c.resource ? c.resource : "") << " " << (c.env ? c.env : ""));
        if (c.param != nullptr) setenv("zeqhp_param", c.param, 1);
        if (c.env != nullptr) setenv("zeqhp_geometry", c.env, 1);
        RES_put("geometry", c.resource != nullptr ? c.resource : "");
        gopen_gks(nullptr, 0);
        testing::internal::CaptureStdout();
        const int opened = gopen_ws(1, (file + c.options).c_str(), 5);
        Gint w = 0, h = 0, x = 0, y = 0;
        gget_win_size(&w, &h);
        gget_win_offset(&x, &y);
        const int closed = gclose_ws(1);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(opened, 0);
        EXPECT_EQ(closed, 0);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        unsetenv("zeqhp_param");
        unsetenv("zeqhp_geometry");
    }
    RES_put("geometry", "");
}

// A close whose output does not reach its end: a warning, no "Created HPGL
// file", -1, and the workstation is closed all the same.
TEST(HpglOpen, LostOutputIsReported) {
    gopen_gks(nullptr, 0);
    for (const char *target : {"/dev/full", "|false"}) {
        SCOPED_TRACE(target);
        testing::internal::CaptureStdout();
        ASSERT_EQ(gopen_ws(1, target, 5), 0);
        const Gpt line[2] = {{0, 0}, {1, 1}};
        for (int i = 0; i < 20000; ++i)
            gpolyline(2, line);
        testing::internal::CaptureStderr();
        EXPECT_EQ(gclose_ws(1), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("ghpgl_close_file: unable to complete ") + target + "\n");
        EXPECT_EQ(testing::internal::GetCapturedStdout().find("Created HPGL file"), std::string::npos);
        EXPECT_EQ(gchk_graphics(), 0);
    }
    EXPECT_EQ(ghpgl_close_file(), -1);
}

// ---- Instructions written on change ---------------------------------------------

// An HP-GL workstation on a temporary file without PCL; close() gives what
// was written between the mark set at open and the trailer.
class HpFile {
public:
    HpFile() {
        gopen_gks(nullptr, 0);
        EXPECT_EQ(gopen_ws(1, (file_ + ",nopcl").c_str(), 5), 0);
        ghpgl_printf("#mark\n");
    }
    std::string close() {
        EXPECT_EQ(gclose_ws(1), 0);
        const std::string text = read_file(file_);
        const std::size_t from = text.find("#mark\n");
        const std::size_t to = text.rfind("SP;PG;\n");
        if (from == std::string::npos || to == std::string::npos) return "(no drawing)";
        return text.substr(from + 6, to - from - 6);
    }

private:
    TempDir dir_;
    std::string file_ = dir_.file("t.hpgl");
};

TEST(HpglOperators, PenShadesWidthsAndLineTypes) {
    {
        HpFile hp;
        for (int c : {500, 501, 503, 505, 504, 506, 508, 507, 7, 7, 500, 255})
            ghpgl_set_color(c);
        EXPECT_EQ(hp.close(), "SV1,0;\nSV1,30;\nSV;\n");
    }
    {
        HpFile hp;
        ghpgl_set_width(1, 1); // the pen line's width
        ghpgl_set_width(1, 2);
        ghpgl_set_width(3, 0); // width 0 is width 1
        ghpgl_set_width(501, 1);
        ghpgl_set_width(504, 1);
        ghpgl_set_width(502, 1);
        ghpgl_set_width(505, 0.5f);
        gset_line_print_bold(3);
        ghpgl_set_width(1, 1);
        ghpgl_set_width(507, 1);
        gset_line_print_bold(1);
        EXPECT_EQ(hp.close(), "PW0.4;\nPW0.2;\nPW0.4;\nPW0.8;\nPW0.4;\nPW0.6;\nPW0.4;\n");
    }
    {
        HpFile hp;
        for (int t : {1, 2, 2, 3, 4, 5, 6, 6, 1, 7, 1})
            ghpgl_set_type(t);
        EXPECT_EQ(hp.close(), "LT2,5,1;\nLT5,8,1;\nLT6,10,1;\nLT2,1,1;\nLT;\nLT;\n");
    }
}

// Fill shades: a slot's gray as a shading percentage, the background white,
// the print colours in their pen shades, print solid every time; each shade
// written once.
TEST(HpglOperators, FillShades) {
    HpFile hp;
    const Gcolr_rep quarter{0.25f, 0.25f, 0.25f};
    gset_colr_rep(1, 4, &quarter);
    for (int c : {4, 4, -1, -1, 506, 503, 500, 500})
        ghpgl_set_fill_color(c);
    gset_fill_print_solid(1);
    ghpgl_set_fill_color(4);
    ghpgl_set_fill_color(4);
    gset_fill_print_solid(0);
    ghpgl_set_fill_color(500); // print solid left the black shade
    EXPECT_EQ(hp.close(), "FT10,75;\nFT10,0;\nFT10,30;\nFT10,0;\nFT10,100;\nFT1;\nFT1;\n");
}

// Every file's prologue forgets the values written to the one before: the
// first fill, line type and width of a second file are written again.
TEST(HpglOperators, EachFileWritesItsOwnFirstValues) {
    const Gcolr_rep quarter{0.25f, 0.25f, 0.25f};
    const Gpt box[3] = {{0.1f, 0.1f}, {0.2f, 0.1f}, {0.2f, 0.2f}};
    const Gpt line[2] = {{0.1f, 0.1f}, {0.3f, 0.1f}};
    for (int file = 0; file < 2; ++file) {
        SCOPED_TRACE(file);
        HpFile hp;
        gset_colr_rep(1, 4, &quarter);
        gset_fill_colr_ind(4);
        gfill_area(3, box);
        gset_linetype(3);
        gset_linewidth(2);
        gpolyline(2, line);
        // Without a workstation window the device holds [0, 1] x [0, 1] as
        // 7611 units square from the offset 10, 10.
        EXPECT_EQ(hp.close(), "FT10,75;\nPU771,771;PM0;PD1532,771;PD1532,1532;PM1;PM2;FP;\n"
                              "PW0.4;\nLT5,8,1;\nPU771,771;PD2293,771;\n");
    }
}

// A polyline breaks its line after every tenth line; a dot marker puts the
// pen down where it is.
TEST(HpglOperators, LineBreaksAndDots) {
    HpFile hp;
    std::vector<Gpt> pts;
    for (int i = 0; i < 12; ++i)
        pts.push_back({0.05f * static_cast<float>(i), 0.4f});
    gpolyline(12, pts.data());
    gset_marker_type(GMK_DOT);
    const Gpt at{0.4f, 0.2f};
    gpolymarker(1, &at);
    const std::string text = hp.close();
    const std::vector<std::string> lines = zeqtest::text_lines(text);
    ASSERT_EQ(lines.size(), 3u) << text;
    EXPECT_EQ(moves(lines[0]).size(), 10u); // the move and nine lines
    EXPECT_TRUE(lines[0].starts_with("PU10,3054;PD391,3054;")) << lines[0];
    EXPECT_EQ(moves(lines[1]).size(), 2u);
    EXPECT_EQ(lines[2], "PU3054,1532;PD3054,1532;");
}

// ---- Stroke text -------------------------------------------------------------------

// The same dashed text on PostScript and on HP-GL: the HP-GL pen moves are
// the PostScript path's moves and lines, point for point under the one
// linear map between the two devices, with solid lines and a line break
// where PostScript strokes.
TEST(HpglText, StrokesFollowThePostScriptPath) {
    TempDir dir;
    std::string text[2];
    for (int device = 0; device < 2; ++device) {
        const std::string file = dir.file(device == 0 ? "t.ps" : "t.hpgl");
        gopen_gks(nullptr, 0);
        ASSERT_EQ(
            gopen_ws(1, (file + (device == 0 ? "" : ",nopcl")).c_str(), device == 0 ? GWS_PS : GWS_HPGL), 0);
        setup_display();
        gset_linetype(2);
        const Gpt dashed[2] = {{0.1f, 0.1f}, {0.9f, 0.1f}};
        gpolyline(2, dashed);
        gset_char_ht(0.05f);
        const Gpt at{0.2f, 0.3f};
        gtext(&at, "HPGL");
        ASSERT_EQ(gclose_ws(1), 0);
        text[device] = read_file(file);
    }
    const std::vector<std::vector<gkstest::PathCmd>> ps = gkstest::ps_paths(text[0], "%%TE:");
    ASSERT_EQ(ps.size(), 1u);
    const std::string &hp = text[1];
    const std::size_t from = hp.find("LT;\n", hp.find("LT2,5,1;")); // solid, not the dashes set
    ASSERT_NE(from, std::string::npos);
    const std::string strokes = hp.substr(from + 4, hp.rfind("SP;PG;") - from - 4);
    const std::vector<Move> m = moves(strokes);
    std::vector<gkstest::PathCmd> path;
    int breaks = 0;
    for (const gkstest::PathCmd &c : ps[0]) {
        if (c.op == 'm' || c.op == 'l') path.push_back(c);
        if (c.op == 's') ++breaks;
    }
    ASSERT_EQ(m.size(), path.size());
    ASSERT_GT(m.size(), 8u);
    EXPECT_EQ(static_cast<int>(std::count(strokes.begin(), strokes.end(), '\n')), breaks);
    // Plotter units per point: the display of width 1 spans 10148 units
    // from the offset 10 on HP-GL, whose height limits it (7611 / 0.75), and
    // 755 points from 0 on the 756 x 576 point PostScript device, whose width
    // limits it.
    const double k = 10148.0 / 755.0;
    for (std::size_t i = 0; i < m.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m[i].down, path[i].op == 'l');
        EXPECT_NEAR(static_cast<double>(m[i].x), 10 + k * path[i].x, 1.0);
        EXPECT_NEAR(static_cast<double>(m[i].y), 10 + k * path[i].y, 1.0);
    }
}
