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
    Winds(const Domain &d, std::vector<float> uu, std::vector<float> vv) : ud(std::move(uu)), vd(std::move(vv)) {
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
// one staff and one half barb each for 3 m/s.
TEST(WindPlot, SkipsChooseThePoints) {
    Winds w = uniform(flat(10, 8), 0, -3);
    const Plot p = plot(flat(10, 8), w, {{"plot_param", "wv_skip=3:2"}}, "barb", 22);
    std::set<std::pair<int, int>> want;
    for (int i : {0, 3, 6, 9})
        for (int y : {7, 5, 3, 1})
            want.insert({i, y});
    EXPECT_EQ(p.recs.size(), 2 * want.size()) << zeqtest::show(p.recs);
    EXPECT_EQ(starts(p.recs), want);
    // "sk=" sets both steps.
    Winds w2 = uniform(flat(10, 8), 0, -3);
    EXPECT_EQ(plot(flat(10, 8), w2, {}, "barb:sk=2", 22).recs.size(), 2u * 5u * 4u);
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
// map the arrows stand at the new map's positions of the grid points.
TEST(WindPlot, GridsStayAndPositionsFollowTheMap) {
    const Domain grid = make_domain(1, 60, -100, 7, 5, 2, 2);
    Winds w = uniform(grid, 5, 5);
    const std::vector<float> u0 = w.ud, v0 = w.vd;
    TempDir dir;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    RES_put("device", ("meta," + dir.file("plot.meta")).c_str());
    FLAG_set_batch(1);
    Domain map1 = make_domain(1, 60, -100, 21, 17, 1, 1), map2 = make_domain(1, 55, -90, 21, 17, 1, 1);
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
    VECT_set_format(21, "co=red:wi=2:st=3");
    Gattribs a;
    ATTRIB_init(&a);
    VECT_format_decode_attrib(&a);
    EXPECT_GE(a.color, 0);
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
    EXPECT_EQ(std::string(PLT_get_label(5, 0)), "MAX: 5.00");
    EXPECT_EQ(std::string(PLT_get_label(3, 0)), "INTERVAL: 5.0");
    FLAG_set(FLAG_PLOT_TYPE, 21);
    VECT_set_format(21, "vect:vbar");
    PLT_init_labels();
    VECT_plot_setup(0, 0, &w.u, &w.v, nullptr, nullptr);
    EXPECT_EQ(std::string(PLT_get_label(5, 0)), "");
}

// ---- Streamlines ---------------------------------------------------------------------------

// The segments a streamline drawing leaves, with the head lines that follow
// each segment.
struct Seg {
    MetaRecord shaft;
    int heads = 0;
};

std::vector<Seg> segments(const std::vector<MetaRecord> &recs) {
    std::vector<Seg> out;
    for (const MetaRecord &r : recs) {
        const bool head = !out.empty() && std::hypot(r.pts[0].x - out.back().shaft.pts[1].x,
                                                     r.pts[0].y - out.back().shaft.pts[1].y) < 1e-4 &&
                          out.back().heads < 2 && std::fabs(length(r) - 0.25 * 0.8 * std::sqrt(2.0)) < 0.3;
        if (head)
            ++out.back().heads;
        else
            out.push_back({r, 0});
    }
    return out;
}

// A westerly along a 12 x 2 grid (v = 0 everywhere still seeds lines): the
// first line runs along the south row with a head on segments 9, 19, 29 and
// 39 and on its last; the line seeded next to it in the same cells stops
// at once (crowded), the other row's line draws.
TEST(Streamlines, HeadsEveryTenthSegmentAndCrowding) {
    Winds w = uniform(flat(12, 2), 10, 0);
    const Plot p = plot(flat(12, 2), w, {}, "strm", 23);
    const std::vector<Seg> s = segments(p.recs);
    ASSERT_GE(s.size(), 46u) << zeqtest::show(p.recs);
    std::vector<int> heads;
    int k = 0;
    for (const Seg &g : s) {
        if (std::fabs(g.shaft.pts[0].y) > 1e-4) break;
        EXPECT_NEAR(g.shaft.pts[0].x, std::min(0.25 * k, 11.0 - 0.25 * (k == 45)), 1e-3) << k;
        if (g.heads == 2) heads.push_back(k);
        ++k;
    }
    EXPECT_EQ(heads, (std::vector<int>{9, 19, 29, 39, 45}));
    // The rest is the line of the north row: nothing more starts on y = 0.
    for (std::size_t i = std::size_t(k); i < s.size(); ++i)
        EXPECT_NEAR(s[i].shaft.pts[0].y, 1, 1e-3);
}

// A head factor below 0.1 puts a head on every segment.
TEST(Streamlines, SmallHeadFactor) {
    Winds w = uniform(flat(4, 2), 10, 0);
    const Plot p = plot(flat(4, 2), w, {{"plot_param", "strm_sc=0.05"}}, "strm", 23);
    const std::vector<Seg> s = segments(p.recs);
    ASSERT_FALSE(s.empty());
    for (const Seg &g : s)
        EXPECT_EQ(g.heads, 2) << zeqtest::show(p.recs);
}

// A line from column 1 (eastward) whose second step meets a wind turned by
// `turn` degrees: 120 (within rounding) continues, 121 stops with a head on
// the first segment. Column 2 holds the wind that makes the turn.
std::vector<Seg> turning(double turn) {
    const double d = (-90.0 + turn) * DEG_TO_RAD; // the new direction the wind blows from
    const float tu = float(-std::sin(d)), tv = float(-std::cos(d));
    const float bu = 4.0f * (tu - 0.75f), bv = 4.0f * tv;
    Winds w(flat(4, 2), {M, 1, bu, M, M, 1, bu, M}, {0, 0, bv, 0, 0, 0, bv, 0});
    return segments(plot(flat(4, 2), w, {}, "strm", 23).recs);
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
    Winds w(flat(4, 2), {M, 1, -3, M, M, 1, -3, M}, std::vector<float>(8, 0));
    const std::vector<Seg> s = segments(plot(flat(4, 2), w, {}, "strm", 23).recs);
    ASSERT_GE(s.size(), 2u);
    EXPECT_NEAR(s[0].shaft.pts[0].x, 1, 1e-4);
    EXPECT_EQ(s[0].heads, 0);
    EXPECT_NEAR(s[1].shaft.pts[0].x, 1, 1e-4);
    EXPECT_EQ(s[1].heads, 2);
}

// Speeds equal to a cut-off are shown on streamlines.
TEST(Streamlines, SpeedAtCutOffShown) {
    Winds w = uniform(flat(4, 2), 10, 0);
    EXPECT_FALSE(plot(flat(4, 2), w, {}, "strm:mn=10:mx=10", 23).recs.empty());
    Winds w2 = uniform(flat(4, 2), 10, 0);
    EXPECT_TRUE(plot(flat(4, 2), w2, {}, "strm:mn=10.5", 23).recs.empty());
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
// the legend reads "MAX VECTOR: 10.0 m/s".
TEST(WindDriver, WesterlyFollowsLatitudeCircles) {
    TempDir dir;
    const zeqtest::ChildResult r = driver(dir, "winds", "meta", "westerly", {"-pp", "uvew", "-fm", "vect:vbar"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<MetaRecord> recs = zeqtest::meta_records(read_file(dir.file("out")));
    std::size_t k = 0;
    while (k < recs.size() && recs[k].key != "TR 3")
        ++k;
    int shafts = 0;
    for (++k; k < recs.size() && recs[k].key.rfind("TR", 0) != 0; ++k) {
        if (recs[k].key != "PL") continue;
        const MetaRecord &s = recs[k];
        // A shaft is followed by its two head lines from its tip.
        k += 2;
        const double rx = s.pts[0].x - 10, ry = s.pts[0].y - 8;
        const double dx = s.pts[1].x - s.pts[0].x, dy = s.pts[1].y - s.pts[0].y;
        if (std::hypot(rx, ry) < 1e-3) continue; // the pole itself
        const double sine = (rx * dy - ry * dx) / std::hypot(rx, ry) / std::hypot(dx, dy);
        EXPECT_GT(sine, std::cos(0.5 * DEG_TO_RAD)) << "shaft at " << s.pts[0].x << "," << s.pts[0].y;
        ++shafts;
    }
    EXPECT_EQ(shafts, 21 * 17 - 1);
    bool legend = false;
    for (const MetaRecord &rec : recs)
        legend = legend || rec.text == "MAX VECTOR: 10.0 m/s";
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
                if (!draws.empty() && (rec.key == "PL" || rec.key == "FA")) draws.back().push_back(zeqtest::show({rec}));
            }
            ASSERT_EQ(draws.size(), 2u);
            EXPECT_GT(draws[0].size(), 20u) << kind << " " << format;
            EXPECT_EQ(draws[0], draws[1]) << kind << " " << format;
        }
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
