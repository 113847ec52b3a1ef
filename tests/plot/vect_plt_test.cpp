// Wind plots: arrows, barbs and streamlines drawn from u and v grids onto a
// text metafile (positions, lengths, skips, cut-offs, arrow heads, where a
// streamline stops), the options, prompt and labels of the set-up, the
// grids left as read, and the stand-alone driver's PostScript rendered by
// ghostscript.
#include "plot/vect_plt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../graphics/render.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/zeq.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/metafile.h"
#include "support/plot_driver.h"

namespace {

using zeqtest::make_domain;
using zeqtest::MetaRecord;
using zeqtest::read_file;
using zeqtest::TempDir;

constexpr float M = FMISSING;

// A u and v grid pair on a domain, owning its arrays.
struct Winds {
    GRD_report u{}, v{};
    std::vector<float> ud, vd;
    Winds(const Domain &d, std::vector<float> uu, std::vector<float> vv)
        : ud(std::move(uu)), vd(std::move(vv)) {
        for (GRD_report *g : {&u, &v}) {
            g->domain = d;
            g->time = 0;
            g->ltype = 100;
            g->level = 500;
        }
        u.grid = ud.data();
        v.grid = vd.data();
    }
};

Winds uniform(const Domain &d, float u, float v) {
    const std::size_t n = std::size_t(d.nx) * std::size_t(d.ny);
    return Winds(d, std::vector<float>(n, u), std::vector<float>(n, v));
}

// A lat-lon map domain whose grid-index space is the drawing space.
Domain flat(int nx, int ny) {
    return make_domain(2, 40, -100, nx, ny, 1, 1);
}

// The records a wind plot leaves on a metafile after the transformation it
// draws in is selected: opens the plot on the map domain, sets the
// resources, runs set-up and draw, closes.
struct Plot {
    std::vector<MetaRecord> recs;
    int draw_rc = 0;
};

Plot plot(const Domain &map, Winds &w, const std::vector<std::pair<std::string, std::string>> &res,
          const char *format = nullptr, int type = 21) {
    Plot p;
    TempDir dir;
    EXPECT_EQ(chdir(dir.path().c_str()), 0);
    RES_put("device", ("meta," + dir.file("plot.meta")).c_str());
    for (const auto &[k, v] : res)
        RES_put(k.c_str(), v.c_str());
    FLAG_set_batch(1);
    EXPECT_EQ(PLT_open(DOM_aspect(&map)), 0);
    Domain m = map;
    MAP_setup(&m);
    VECT_set_type(type);
    VECT_set_format(type, format);
    EXPECT_EQ(VECT_plot_setup(0, 0, &w.u, &w.v, &m, nullptr), 0);
    gmessage(1, "draw");
    p.draw_rc = VECT_draw(&w.u, &w.v);
    PLT_close();
    const std::vector<MetaRecord> all = zeqtest::meta_records(read_file(dir.file("plot.meta")));
    std::size_t k = 0;
    while (k < all.size() && all[k].key != "ME draw")
        ++k;
    for (++k; k < all.size(); ++k)
        if (all[k].key == "PL" || all[k].key == "FA") p.recs.push_back(all[k]);
    return p;
}

double length(const MetaRecord &r) {
    return std::hypot(r.pts[1].x - r.pts[0].x, r.pts[1].y - r.pts[0].y);
}

std::set<std::pair<int, int>> starts(const std::vector<MetaRecord> &recs) {
    std::set<std::pair<int, int>> s;
    for (const MetaRecord &r : recs)
        if (std::fabs(r.pts[0].x - std::round(r.pts[0].x)) < 1e-4 &&
            std::fabs(r.pts[0].y - std::round(r.pts[0].y)) < 1e-4)
            s.insert({int(std::lround(r.pts[0].x)), int(std::lround(r.pts[0].y))});
    return s;
}

// ---- Arrows and barbs -----------------------------------------------------------------------

// A 10 x 8 grid drawn every third column and second row: barbs stand at
// columns 0, 3, 6, 9 of rows 0, 2, 4, 6 from the north (y = 7, 5, 3, 1),
// one staff and one half barb each for 3 m/s from the south.
TEST(WindPlot, SkipsChooseThePoints) {
    Winds w = uniform(flat(10, 8), 0, 3);
    const Plot p = plot(flat(10, 8), w, {{"plot_param", "wv_skip=3:2"}}, "barb", 22);
    std::set<std::pair<int, int>> want;
    for (int i : {0, 3, 6, 9})
        for (int y : {7, 5, 3, 1})
            want.insert({i, y});
    EXPECT_EQ(p.recs.size(), 2 * want.size()) << zeqtest::show(p.recs);
    EXPECT_EQ(starts(p.recs), want);
    // "sk=" sets both steps.
    Winds w2 = uniform(flat(10, 8), 0, 3);
    EXPECT_EQ(plot(flat(10, 8), w2, {{"plot_param", ""}}, "barb:sk=2", 22).recs.size(), 2u * 5u * 4u);
}

// con_base ">5,<30,10": speeds 5 and 30 are cut off, 10 m/s gets an arrow
// one grid length long and 20 m/s two; missing points and calms draw
// nothing.
TEST(WindPlot, ConBaseCutsAndScalesArrows) {
    Winds w(flat(6, 2), {-5, -10, -30, -20, 0, M, M, M, M, M, M, M}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const Plot p = plot(flat(6, 2), w, {{"con_base", ">5,<30,10"}}, "vect");
    ASSERT_EQ(p.recs.size(), 6u) << zeqtest::show(p.recs);
    // An east wind blows toward -x: shaft from the point, then two head lines.
    EXPECT_NEAR(p.recs[0].pts[0].x, 1, 1e-4);
    EXPECT_NEAR(p.recs[0].pts[0].y, 1, 1e-4);
    EXPECT_NEAR(p.recs[0].pts[1].x, 0, 1e-4);
    EXPECT_NEAR(length(p.recs[0]), 1, 1e-4);
    EXPECT_NEAR(p.recs[3].pts[0].x, 3, 1e-4);
    EXPECT_NEAR(length(p.recs[3]), 2, 1e-4);
}

// Nothing is drawn for color_cont "none", an all-calm pair (no maximum to
// measure arrows by) or an all-missing pair; each draw still succeeds.
TEST(WindPlot, NothingToDraw) {
    Winds a = uniform(flat(5, 4), 3, 4);
    Plot p = plot(flat(5, 4), a, {{"color_cont", "none"}}, "vect");
    EXPECT_EQ(p.draw_rc, 0);
    EXPECT_TRUE(p.recs.empty()) << zeqtest::show(p.recs);
    Winds calm = uniform(flat(5, 4), 0, 0);
    p = plot(flat(5, 4), calm, {}, "vect");
    EXPECT_EQ(p.draw_rc, 0);
    EXPECT_TRUE(p.recs.empty()) << zeqtest::show(p.recs);
    Winds missing = uniform(flat(5, 4), M, M);
    p = plot(flat(5, 4), missing, {}, "barb", 22);
    EXPECT_EQ(p.draw_rc, 0);
    EXPECT_TRUE(p.recs.empty()) << zeqtest::show(p.recs);
}

TEST(WindPlot, InvalidGrids) {
    Winds w = uniform(flat(5, 4), 3, 4);
    testing::internal::CaptureStderr();
    EXPECT_EQ(VECT_draw(nullptr, &w.v), -1);
    GRD_report empty = w.v;
    empty.grid = nullptr;
    EXPECT_EQ(VECT_draw(&w.u, &empty), -1);
    GRD_report other = w.v;
    other.domain.nx = 6; // would read past u's array
    EXPECT_EQ(VECT_draw(&w.u, &other), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("VECT_draw: Invalid grids"), std::string::npos) << err;
    EXPECT_NE(err.find("VECT_draw: Invalid grid arrays"), std::string::npos) << err;
}

// Grid-relative winds on a polar stereographic grid drawn on another map
// are turned on a copy: the grids stay as read. After a zoom to another
// map (turned by 10 degrees of longitude) the arrows stand at the new map's
// positions of the grid points.
TEST(WindPlot, GridsStayAndPositionsFollowTheMap) {
    const Domain grid = make_domain(1, 60, -100, 7, 5, 2, 2);
    Winds w = uniform(grid, 5, 5);
    const std::vector<float> u0 = w.ud, v0 = w.vd;
    TempDir dir;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    RES_put("device", ("meta," + dir.file("plot.meta")).c_str());
    FLAG_set_batch(1);
    Domain map1 = make_domain(1, 60, -100, 21, 17, 1, 1), map2 = make_domain(1, 60, -90, 41, 33, 1, 1);
    ASSERT_EQ(PLT_open(1), 0);
    VECT_set_type(21);
    MAP_setup(&map1);
    VECT_plot_setup(0, 0, &w.u, &w.v, &map1, nullptr);
    EXPECT_EQ(VECT_draw(&w.u, &w.v), 0);
    MAP_setup(&map2);
    gmessage(1, "zoom");
    EXPECT_EQ(VECT_draw(&w.u, &w.v), 0);
    PLT_close();
    EXPECT_EQ(w.ud, u0);
    EXPECT_EQ(w.vd, v0);
    const std::vector<MetaRecord> all = zeqtest::meta_records(read_file(dir.file("plot.meta")));
    std::size_t k = 0;
    while (k < all.size() && all[k].key != "ME zoom")
        ++k;
    while (k < all.size() && all[k].key != "PL")
        ++k;
    ASSERT_LT(k, all.size());
    float *gx = nullptr, *gy = nullptr;
    ASSERT_EQ(GRD_proj_XY(&w.u, &map2, &gx, &gy), 0);
    EXPECT_NEAR(all[k].pts[0].x, gx[0], 1e-3);
    EXPECT_NEAR(all[k].pts[0].y, gy[0], 1e-3);
    std::free(gx);
    std::free(gy);
}

// ---- Options, prompt and labels ----------------------------------------------------------

TEST(WindOptions, FormatAndParam) {
    VECT_set_format(20, "barb:vbar:nolr:sc=2:in=5:cb=8");
    FLAG_setplot(6, 1);
    VECT_format_decode_type();
    EXPECT_EQ(VECT_get_type(), 22);
    EXPECT_EQ(VECT_get_vect(), 1);
    EXPECT_EQ(FLAG_getplot(6), 0);
    EXPECT_EQ(VECT_get_intrvl(), 5);
    VECT_set_format(23, "");
    VECT_set_type(-9999);
    VECT_format_decode_type();
    EXPECT_EQ(VECT_get_type(), 23);
    VECT_set_format(20, "STRM");
    VECT_format_decode_type();
    EXPECT_EQ(VECT_get_type(), 23);
    // Attribute options overlay a bundle.
    VECT_set_format(21, "co=3:wi=2:st=3");
    Gattribs a;
    ATTRIB_init(&a);
    VECT_format_decode_attrib(&a);
    EXPECT_EQ(a.color, 3);
    EXPECT_EQ(a.width, 2);
    EXPECT_EQ(a.style, 3);

    VECT_set_vect(0);
    RES_put("plot_param", "VBAR,nobar");
    VECT_param_decode();
    EXPECT_EQ(VECT_get_vect(), 1);
    EXPECT_EQ(CONT_get_bar(), -1);
    RES_put("plot_param", "bar");
    VECT_param_decode();
    EXPECT_EQ(CONT_get_bar(), 1);
}

// Answers to "Vectors (V) or Streamlines (S): ".
TEST(WindOptions, PromptAnswers) {
    const zeqtest::ChildResult r = zeqtest::run_child(
        [] {
            for (int k = 0; k < 9; ++k) {
                VECT_init();
                std::printf("type %d\n", VECT_prompt_type());
            }
            return 0;
        },
        {"s\nyes\nb\nx\nnone\nSTRM\nbarb\nvect\n\n", false});
    EXPECT_NE(r.out.find("Vectors (V) or Streamlines (S): "), std::string::npos) << r.out;
    std::vector<int> got;
    std::istringstream in(r.out);
    std::string word;
    while (in >> word)
        if (word == "type") {
            int t = 0;
            in >> t;
            got.push_back(t);
        }
    EXPECT_EQ(got, (std::vector<int>{23, 23, 22, 21, 99, 23, 22, 21, 21}));
}

// The plot type flag 99 leaves the set-up without effect; in batch mode an
// unset type becomes arrows without a question.
TEST(WindOptions, SetupTypeAndNone) {
    Winds w = uniform(flat(5, 4), 3, 4);
    FLAG_set(FLAG_PLOT_TYPE, 99);
    VECT_set_type(22);
    VECT_set_format(22, "strm");
    EXPECT_EQ(VECT_plot_setup(0, 0, &w.u, &w.v, nullptr, nullptr), 0);
    EXPECT_EQ(VECT_get_type(), 22);
    FLAG_set(FLAG_PLOT_TYPE, 0);
    FLAG_set_batch(1);
    VECT_set_format(0, "");
    VECT_init();
    VECT_set_type(-9999);
    VECT_init();
    EXPECT_EQ(VECT_plot_setup(0, 0, &w.u, &w.v, nullptr, nullptr), 0);
    EXPECT_EQ(VECT_get_type(), 21);
}

// The lower right "MAX:" label stands for streamlines even with a legend,
// and for arrows only without one; con_interval gives the INTERVAL label.
TEST(WindOptions, Labels) {
    Winds w = uniform(flat(5, 4), 3, 4);
    FLAG_set_batch(1);
    RES_put("con_interval", "5");
    FLAG_set(FLAG_PLOT_TYPE, 23);
    VECT_set_format(23, "strm:vbar");
    PLT_init_labels();
    VECT_plot_setup(0, 0, &w.u, &w.v, nullptr, nullptr);
    EXPECT_EQ(std::string(PLT_get_label(5, 0)), "MAX:  5.00");
    EXPECT_EQ(std::string(PLT_get_label(3, 0)), "INTERVAL:   5.0");
    FLAG_set(FLAG_PLOT_TYPE, 21);
    VECT_set_format(21, "vect:vbar");
    PLT_init_labels();
    VECT_plot_setup(0, 0, &w.u, &w.v, nullptr, nullptr);
    EXPECT_EQ(std::string(PLT_get_label(5, 0)), "");
}

// ---- Streamlines ---------------------------------------------------------------------------

// The segments a streamline drawing leaves on the middle row of a grid of
// three rows (y = 1; the outer rows touch the window's edge, where lines
// are clipped), with the head lines that follow each segment.
struct Seg {
    MetaRecord shaft;
    int heads = 0;
};

std::vector<Seg> segments(const std::vector<MetaRecord> &recs) {
    std::vector<Seg> out;
    for (const MetaRecord &r : recs) {
        if (std::fabs(r.pts[0].y - 1) > 0.3) continue;
        // A head line leaves the tip of its shaft backward; it is not a
        // quarter grid length long, as the segments are.
        bool head = false;
        if (!out.empty() && out.back().heads < 2) {
            const MetaRecord &s = out.back().shaft;
            const double sx = s.pts[1].x - s.pts[0].x, sy = s.pts[1].y - s.pts[0].y;
            const double hx = r.pts[1].x - r.pts[0].x, hy = r.pts[1].y - r.pts[0].y;
            head = std::hypot(r.pts[0].x - s.pts[1].x, r.pts[0].y - s.pts[1].y) < 1e-4 &&
                   sx * hx + sy * hy < 0 && std::fabs(length(r) - 0.25) > 0.01;
        }
        if (head)
            ++out.back().heads;
        else
            out.push_back({r, 0});
    }
    return out;
}

// Three equal rows of four columns: column 0 and 3 missing, columns 1 and
// 2 holding (u1, v1) and (u2, v2).
Winds row_pair(float u1, float v1, float u2, float v2) {
    std::vector<float> u, v;
    for (int r = 0; r < 3; ++r) {
        u.insert(u.end(), {M, u1, u2, M});
        v.insert(v.end(), {0, v1, v2, 0});
    }
    return Winds(flat(4, 3), u, v);
}

// A westerly along a 12 x 3 grid (v = 0 everywhere still seeds lines): the
// line of the middle row runs east in steps of a quarter grid length with a
// head on segments 9, 19, 29 and 39; the lines seeded next to it in the
// cells it crossed stop at once (crowded), so nothing else starts there.
TEST(Streamlines, HeadsEveryTenthSegmentAndCrowding) {
    Winds w = uniform(flat(12, 3), 10, 0);
    const Plot p = plot(flat(12, 3), w, {}, "strm", 23);
    const std::vector<Seg> s = segments(p.recs);
    ASSERT_GE(s.size(), 44u) << zeqtest::show(p.recs);
    std::vector<int> heads;
    for (int k = 0; k < 44; ++k) {
        EXPECT_NEAR(s[std::size_t(k)].shaft.pts[0].x, 0.25 * k, 1e-3) << k;
        if (s[std::size_t(k)].heads == 2) heads.push_back(k);
    }
    EXPECT_EQ(heads, (std::vector<int>{9, 19, 29, 39}));
    // At most the final segment again, with its head, at the east edge.
    for (std::size_t i = 44; i < s.size(); ++i)
        EXPECT_GE(s[i].shaft.pts[0].x, 10.75) << zeqtest::show(p.recs);
}

// A head factor below 0.1 puts a head on every segment.
TEST(Streamlines, SmallHeadFactor) {
    Winds w = uniform(flat(6, 3), 10, 0);
    const Plot p = plot(flat(6, 3), w, {{"plot_param", "strm_sc=0.05"}}, "strm", 23);
    const std::vector<Seg> s = segments(p.recs);
    ASSERT_GE(s.size(), 16u);
    for (std::size_t k = 0; k < 16; ++k)
        EXPECT_EQ(s[k].heads, 2) << zeqtest::show(p.recs);
}

// A line from column 1 (eastward) whose second step meets a wind turned by
// `turn` degrees: 120 (within rounding) continues, 121 stops with a head on
// the first segment. Column 2 holds the wind that makes the turn.
std::vector<Seg> turning(double turn) {
    const double d = (-90.0 + turn) * DEG_TO_RAD; // the new direction the wind blows from
    const float tu = float(-std::sin(d)), tv = float(-std::cos(d));
    Winds w = row_pair(1, 0, 4.0f * (tu - 0.75f), 4.0f * tv);
    return segments(plot(flat(4, 3), w, {}, "strm", 23).recs);
}

TEST(Streamlines, SharpTurnStops) {
    const std::vector<Seg> a = turning(119.999);
    ASSERT_GE(a.size(), 2u);
    EXPECT_NEAR(a[0].shaft.pts[0].x, 1, 1e-4);
    EXPECT_EQ(a[0].heads, 0);
    EXPECT_NEAR(a[1].shaft.pts[0].x, 1.25, 1e-4);
    const std::vector<Seg> b = turning(121);
    ASSERT_GE(b.size(), 2u);
    EXPECT_NEAR(b[0].shaft.pts[0].x, 1, 1e-4);
    EXPECT_EQ(b[0].heads, 0);
    // The last segment again, with its head.
    EXPECT_NEAR(b[1].shaft.pts[0].x, 1, 1e-4);
    EXPECT_NEAR(b[1].shaft.pts[1].x, 1.25, 1e-4);
    EXPECT_EQ(b[1].heads, 2);
}

// A line that runs into calm air stops with a head on its last segment.
TEST(Streamlines, CalmStopsWithHead) {
    Winds w = row_pair(1, 0, -3, 0);
    const std::vector<Seg> s = segments(plot(flat(4, 3), w, {}, "strm", 23).recs);
    ASSERT_GE(s.size(), 2u);
    EXPECT_NEAR(s[0].shaft.pts[0].x, 1, 1e-4);
    EXPECT_EQ(s[0].heads, 0);
    EXPECT_NEAR(s[1].shaft.pts[0].x, 1, 1e-4);
    EXPECT_NEAR(s[1].shaft.pts[1].x, 1.25, 1e-4);
    EXPECT_EQ(s[1].heads, 2);
}

// Speeds equal to a cut-off are shown on streamlines.
TEST(Streamlines, SpeedAtCutOffShown) {
    Winds w = uniform(flat(4, 3), 10, 0);
    EXPECT_FALSE(plot(flat(4, 3), w, {}, "strm:mn=10:mx=10", 23).recs.empty());
    Winds w2 = uniform(flat(4, 3), 10, 0);
    EXPECT_TRUE(plot(flat(4, 3), w2, {}, "strm:mn=10.5", 23).recs.empty());
}

// ---- The stand-alone driver ----------------------------------------------------------------

constexpr const char *POLAR = "ps,90,-100,21,17,3";

zeqtest::ChildResult driver(const TempDir &dir, const std::string &entry, const std::string &device,
                            const std::string &kind, std::vector<std::string> extra) {
    std::vector<std::string> args{"-de", device + ",out", "-pd", POLAR, "-va", kind, "-ba"};
    args.insert(args.end(), extra.begin(), extra.end());
    return zeqtest::run_plot_driver(dir.path(), entry, args);
}

// The westerly as arrows on a metafile: every shaft runs along its latitude
// circle, perpendicular to the radius from the pole (the grid's centre) and
// pointing east (anticlockwise about the north pole), within 0.5 degrees;
// the legend reads "MAX VECTOR:  10.0 m/s" (the number five wide).
TEST(WindDriver, WesterlyFollowsLatitudeCircles) {
    TempDir dir;
    const zeqtest::ChildResult r =
        driver(dir, "winds", "meta", "westerly", {"-pp", "uvew", "-fm", "vect:vbar"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<MetaRecord> recs = zeqtest::meta_records(read_file(dir.file("out")));
    std::size_t k = 0;
    while (k < recs.size() && recs[k].key != "TR 3")
        ++k;
    int shafts = 0;
    const MetaRecord *prev = nullptr;
    for (++k; k < recs.size() && recs[k].key.rfind("TR", 0) != 0; ++k) {
        // Shafts start at the grid points; those of the outer rows and
        // columns may be cut by the window.
        const MetaRecord &s = recs[k];
        if (s.key != "PL") continue;
        const double x = s.pts[0].x, y = s.pts[0].y;
        // Head lines leave the tip of the line before them.
        const bool head = prev != nullptr && std::hypot(x - prev->pts[1].x, y - prev->pts[1].y) < 1e-4 &&
                          (s.pts[1].x - x) * (prev->pts[1].x - prev->pts[0].x) +
                                  (s.pts[1].y - y) * (prev->pts[1].y - prev->pts[0].y) <
                              0;
        if (!head) prev = &s;
        if (head) continue;
        if (std::fabs(x - std::round(x)) > 1e-4 || std::fabs(y - std::round(y)) > 1e-4) continue;
        if (x < 0.5 || x > 19.5 || y < 0.5 || y > 15.5) continue;
        const double rx = x - 10, ry = y - 8;
        const double dx = s.pts[1].x - x, dy = s.pts[1].y - y;
        if (std::hypot(rx, ry) < 1e-3) continue; // the pole itself
        const double sine = (rx * dy - ry * dx) / std::hypot(rx, ry) / std::hypot(dx, dy);
        EXPECT_GT(sine, std::cos(0.5 * DEG_TO_RAD)) << "shaft at " << x << "," << y;
        ++shafts;
    }
    EXPECT_EQ(shafts, 19 * 15 - 1);
    bool legend = false;
    for (const MetaRecord &rec : recs)
        legend = legend || rec.text == "MAX VECTOR:  10.0 m/s";
    EXPECT_TRUE(legend);
}

// Drawing twice (a zoom) draws the same and leaves the grids as they were.
TEST(WindDriver, RedrawIsIdentical) {
    for (const char *kind : {"rotation", "jet"}) {
        for (const char *format : {"vect", "barb", "strm"}) {
            TempDir dir;
            const zeqtest::ChildResult r = driver(dir, "winds_twice", "meta", kind, {"-fm", format});
            ASSERT_EQ(r.status, 0) << r.out << r.err;
            std::istringstream out(r.out);
            std::string line, before;
            while (std::getline(out, line)) {
                if (line.rfind("before ", 0) == 0) before = line.substr(7);
                if (line.rfind("after ", 0) == 0) {
                    EXPECT_EQ(line.substr(6), before) << kind << " " << format;
                }
            }
            const std::vector<MetaRecord> recs = zeqtest::meta_records(read_file(dir.file("out")));
            std::vector<std::vector<std::string>> draws;
            for (const MetaRecord &rec : recs) {
                if (rec.key.rfind("ME draw", 0) == 0) draws.emplace_back();
                if (!draws.empty() && (rec.key == "PL" || rec.key == "FA"))
                    draws.back().push_back(zeqtest::show({rec}));
            }
            ASSERT_EQ(draws.size(), 2u);
            EXPECT_GT(draws[0].size(), 20u) << kind << " " << format;
            EXPECT_EQ(draws[0], draws[1]) << kind << " " << format;
        }
    }
}

// Speed bands of con_interval colour the arrows of the jet band by band;
// plot_param "bar" draws the colour bar (filled boxes and level labels
// below the view) in place of the INTERVAL label; without a bar keyword the
// label stands; "nobar" leaves out both.
TEST(WindDriver, SpeedBandsAndBar) {
    for (const std::string bar : {"bar", "", "nobar"}) {
        TempDir dir;
        const zeqtest::ChildResult r =
            driver(dir, "winds", "meta", "jet", {"-pp", "uvew," + bar, "-in", "10", "-fm", "vect"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        const std::vector<MetaRecord> recs = zeqtest::meta_records(read_file(dir.file("out")));
        std::set<int> colours;
        int tran = 0, bar_boxes = 0;
        bool interval = false, zero = false;
        for (const MetaRecord &rec : recs) {
            if (rec.key.rfind("TR ", 0) == 0) tran = std::stoi(rec.key.substr(3));
            if (tran == 3 && rec.key.rfind("PL_CLR ", 0) == 0) colours.insert(std::stoi(rec.key.substr(7)));
            if (tran == 1 && rec.key == "FA") ++bar_boxes;
            interval = interval || rec.text.rfind("INTERVAL:", 0) == 0;
            zero = zero || rec.text == " 0";
        }
        EXPECT_GE(colours.size(), 3u) << bar;
        EXPECT_EQ(bar_boxes >= 3, bar == "bar") << bar;
        EXPECT_EQ(zero, bar == "bar") << bar;
        EXPECT_EQ(interval, bar.empty()) << bar;
    }
}

// Each field and kind on PostScript: ghostscript renders a page with ink.
TEST(WindDriver, PostScriptRenders) {
    if (!gkstest::have_gs()) return;
    for (const char *kind : {"westerly", "rotation", "jet"}) {
        for (const char *format : {"vect:vbar", "barb", "strm"}) {
            TempDir dir;
            std::vector<std::string> extra{"-fm", format};
            if (std::string(kind) != "rotation") extra.insert(extra.end(), {"-pp", "uvew"});
            const zeqtest::ChildResult r = driver(dir, "winds", "ps", kind, extra);
            ASSERT_EQ(r.status, 0) << r.out << r.err;
            const std::string ps = read_file(dir.file("out"));
            const gkstest::GsRun gs = gkstest::run_gs("-sDEVICE=bbox " + dir.file("out"));
            EXPECT_EQ(gs.status, 0) << gs.out;
            EXPECT_NE(gs.out.find("%%HiResBoundingBox"), std::string::npos) << gs.out;
            // Many strokes beyond the map outline: the winds are there.
            std::size_t lines = 0;
            for (std::size_t p = ps.find(" ln\n"); p != std::string::npos; p = ps.find(" ln\n", p + 1))
                ++lines;
            EXPECT_GT(lines, 200u) << kind << " " << format;
        }
    }
}

} // namespace
