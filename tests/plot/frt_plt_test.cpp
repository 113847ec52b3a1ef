// Fronts: coded and spelled positions, then bulletins drawn by the plotting
// test driver on a Lambert map: curves against SciPy's natural spline over
// chord length, pips and their sides, stationary and trough segments,
// pressure centres and their thinning, tropical systems, sections and dates,
// limits, PostScript rendered by ghostscript, and the animation loop under X.
#include "plot/frt_plt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../graphics/render.h"
#include "support/child.h"
#include "support/metafile.h"
#include "support/plot_driver.h"
#include "support/reference.h"

namespace {

using zeqtest::MetaPoint;
using zeqtest::MetaPrimitive;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

// ---- Coded and spelled positions ----------------------------------------------------------

TEST(Positions, CodedPositions) {
    const struct {
        const char *text;
        int rc;
        float lat, lon;
    } cases[] = {
        {"45090", 1, 45, 90}, {"40100", 1, 40, 100}, {"0512", 1, 5, 12}, {"45", 0, 45, 0}, {"COLD", 0, 0, 0},
    };
    for (const auto &c : cases) {
        float lat = 0, lon = 0;
        EXPECT_EQ(decode_latlon(c.text, &lat, &lon), c.rc) << c.text;
        if (c.rc == 1) {
            EXPECT_FLOAT_EQ(lat, c.lat) << c.text;
            EXPECT_FLOAT_EQ(lon, c.lon) << c.text;
        }
    }
}

// Spelled positions read from a file: the words up to and including the one
// that ends them; what follows stays in the file. A coordinate never named
// keeps the caller's value; the end of the file gives -1.
TEST(Positions, SpelledPositions) {
    const struct {
        const char *text;
        int rc;
        float lat, lon;
        const char *rest; // the next word left in the file
    } cases[] = {
        {"THIRTY TWO POINT FIVE NORTH SEVENTY ONE POINT FIVE WEST PSN NEXT", 0, 32.5f, -71.5f, "NEXT"},
        {"ONE HUNDRED TWENTY WEST X", 0, 99, -120, ""},
        {"SIXTEEN NORTH SIXTY WEST PSN", 0, 16, -60, ""},
        {"SEVENTEEN POINT FIVE NORTH NINETY EIGHT WEST MOVING", 0, 17.5f, -98, ""},
        {"ONEIDA TWENTY NORTH", 0, 99, 99, "TWENTY"}, // ONE counts only as a whole word
        {"TWENTY FIVE SOUTH ONE HUNDRED WEST", 0, 99, 99, "ONE"},
        {"TWENTY NORTH FORTY", -1, 20, 99, ""},
    };
    for (const auto &c : cases) {
        TempDir dir;
        write_file(dir.file("pos"), c.text);
        FILE *f = std::fopen(dir.file("pos").c_str(), "r");
        ASSERT_NE(f, nullptr);
        float lat = 99, lon = 99;
        EXPECT_EQ(FRT_decode_locate(f, &lat, &lon), c.rc) << c.text;
        EXPECT_FLOAT_EQ(lat, c.lat) << c.text;
        EXPECT_FLOAT_EQ(lon, c.lon) << c.text;
        char next[40] = "";
        if (*c.rest != '\0') {
            EXPECT_EQ(std::fscanf(f, "%39s", next), 1) << c.text;
            EXPECT_STREQ(next, c.rest) << c.text;
        }
        std::fclose(f);
    }
}

// ---- Bulletins through the plotting test driver -------------------------------------------

// A Lambert map around 40 N 100 W, 36 plane units high.
constexpr const char *LC_DOMAIN = "lc,40,-100,51,31,1.2";
constexpr double MAP_H = 36;

std::string fixture(const std::string &name) {
    return read_file(std::string(ZEQ_SOURCE_DIR) + "/tests/data/fronts/" + name);
}

struct TracePoint {
    double lat, lon, x, y;
};
struct TraceFront {
    std::string tag;
    std::vector<TracePoint> pts;
};

struct FrontRun {
    zeqtest::ChildResult child;
    std::vector<MetaPrimitive> drawn; // metafile runs
    std::string ps;                   // PostScript runs
    std::vector<TraceFront> fronts;   // from the out3 trace
};

// Runs the driver's front entry on the bulletin `text` saved as `name`.
FrontRun run_front(const std::string &name, const std::string &text, std::vector<std::string> args,
                   const std::string &device = "meta") {
    FrontRun run;
    TempDir dir;
    write_file(dir.file(name), text);
    args.insert(args.begin(), {"-de", device + ",out", "-pd", LC_DOMAIN, "-me", "out3"});
    args.push_back(name);
    run.child = zeqtest::run_plot_driver(dir.path(), "front", args);
    std::istringstream out(run.child.out);
    std::string line;
    while (std::getline(out, line)) {
        std::istringstream w(line);
        std::string tag;
        w >> tag;
        if (tag == "COLD" || tag == "WARM" || tag == "OCFNT" || tag == "STNRY" || tag == "TROF") {
            if (line.find(':') == std::string::npos) run.fronts.push_back({tag, {}});
            continue;
        }
        TracePoint p{};
        if (std::sscanf(line.c_str(), "%lf %lf = %lf %lf", &p.lat, &p.lon, &p.x, &p.y) == 4 &&
            !run.fronts.empty())
            run.fronts.back().pts.push_back(p);
    }
    const std::string file = read_file(dir.file("out"));
    if (device == "meta")
        run.drawn = zeqtest::meta_primitives(zeqtest::meta_records(file));
    else
        run.ps = file;
    return run;
}

std::vector<MetaPrimitive> of_kind(const std::vector<MetaPrimitive> &drawn, const std::string &key) {
    std::vector<MetaPrimitive> out;
    for (const MetaPrimitive &m : drawn)
        if (m.rec.key == key) out.push_back(m);
    return out;
}

std::vector<std::string> texts(const std::vector<MetaPrimitive> &drawn) {
    std::vector<std::string> out;
    for (const MetaPrimitive &m : of_kind(drawn, "TE"))
        out.push_back(m.rec.text);
    return out;
}

const MetaPrimitive *text(const std::vector<MetaPrimitive> &drawn, const std::string &t) {
    for (const MetaPrimitive &m : drawn)
        if (m.rec.key == "TE" && m.rec.text == t) return &m;
    return nullptr;
}

// The curves of SciPy's natural spline through each traced front.
struct Curve {
    double dist = 0;
    std::vector<MetaPoint> at; // the curve at 0, 0.5, 1, ...
    MetaPoint end{};
};

std::vector<Curve> reference_curves(const std::vector<TraceFront> &fronts) {
    std::string input;
    for (const TraceFront &f : fronts) {
        input += "front " + f.tag + "\n";
        for (const TracePoint &p : f.pts) {
            char buf[80];
            std::snprintf(buf, sizeof buf, "pt %.4f %.4f\n", p.x, p.y);
            input += buf;
        }
    }
    const std::string script = read_file(std::string(ZEQ_SOURCE_DIR) + "/tests/plot/frt_oracle.py");
    std::vector<Curve> curves;
    for (const std::string &line :
         zeqtest::text_lines(zeqtest::run_python(script, input, "python3-numpy, python3-scipy"))) {
        std::istringstream w(line);
        std::string key;
        w >> key;
        if (key == "front") {
            std::string name;
            curves.push_back({});
            w >> name >> curves.back().dist;
        } else if (key == "at" && !curves.empty()) {
            MetaPoint p{};
            w >> p.x >> p.y;
            curves.back().at.push_back(p);
        } else if (key == "end" && !curves.empty()) {
            w >> curves.back().end.x >> curves.back().end.y;
        }
    }
    return curves;
}

// What a front draws, built from the reference curve by the kind's rule.
struct Expected {
    std::string key;
    std::vector<MetaPoint> pts;
    int color = -1; // checked when not -1
};

std::vector<MetaPoint> triangle_pts(MetaPoint p0, MetaPoint p1, double s, int dir) {
    const MetaPoint m{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2}, d{p1.x - p0.x, p1.y - p0.y}, p{-d.y, d.x};
    const MetaPoint a{m.x - s * d.x, m.y - s * d.y};
    return {a, {m.x + s * d.x, m.y + s * d.y}, {m.x + 1.5 * s * dir * p.x, m.y + 1.5 * s * dir * p.y}, a};
}

std::vector<MetaPoint> half_disc_pts(MetaPoint p0, MetaPoint p1, double s, int g) {
    const MetaPoint m{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2}, d{p1.x - p0.x, p1.y - p0.y}, p{-d.y, d.x};
    const MetaPoint a{m.x - s * d.x, m.y - s * d.y};
    return {a,
            {m.x + s * d.x, m.y + s * d.y},
            {m.x + s * (0.5 * d.x + 0.866 * g * p.x), m.y + s * (0.5 * d.y + 0.866 * g * p.y)},
            {m.x + s * g * p.x, m.y + s * g * p.y},
            {m.x + s * (-0.5 * d.x + 0.866 * g * p.x), m.y + s * (-0.5 * d.y + 0.866 * g * p.y)},
            a};
}

struct Colours {
    int cold, warm;
};

void expect_front(std::vector<Expected> &out, const std::string &tag, const Curve &c, int dir, bool barb,
                  Colours col) {
    const std::size_t n = c.at.size() - 1; // steps
    for (std::size_t i = 0; i < n; ++i) {
        const MetaPoint p0 = c.at[i], p1 = c.at[i + 1];
        if (tag == "TROF") {
            if (i % 2 == 0) out.push_back({"PL", {p0, p1}});
            continue;
        }
        const bool stat = tag == "STNRY";
        const int seg_col = tag == "COLD"   ? col.cold
                            : tag == "WARM" ? col.warm
                            : stat          ? (i % 11 <= 5 ? col.cold : col.warm)
                                            : -1;
        out.push_back({"PL", {p0, p1}, seg_col});
        if (!barb) continue;
        if (tag == "COLD" && i % 4 == 2) out.push_back({"FA", triangle_pts(p0, p1, 1, dir), col.cold});
        if (tag == "WARM" && i % 6 == 3) out.push_back({"FA", half_disc_pts(p0, p1, 1, dir), col.warm});
        if (tag == "OCFNT" && i % 11 == 3) out.push_back({"FA", triangle_pts(p0, p1, 1, dir)});
        if (tag == "OCFNT" && i % 11 == 8) out.push_back({"FA", half_disc_pts(p0, p1, 1, dir)});
        if (stat && i % 11 == 3) out.push_back({"FA", triangle_pts(p0, p1, 1, dir), col.cold});
        if (stat && i % 11 == 8) {
            out.push_back({"PL", {p0, p1}, col.warm});
            out.push_back({"FA", half_disc_pts(p0, p1, 1, -dir), col.warm});
        }
    }
    if (tag != "TROF") out.push_back({"PL", {c.at[n], c.end}});
}

// The analysis bulletin: every front's segments and pips, in order, against
// the reference curves through the traced points. The orientations of the
// fixture's fronts: the cold front is listed west to east (dir -1); the
// warm front runs east with little change of latitude, the occluded front
// south with its longitude falling and the stationary front north with its
// longitude rising (dir 1 each).
void check_fronts(const FrontRun &run, bool barb) {
    ASSERT_EQ(run.child.status, 0) << run.child.out << run.child.err;
    ASSERT_EQ(run.fronts.size(), 5u) << run.child.out;
    const std::vector<Curve> curves = reference_curves(run.fronts);
    ASSERT_EQ(curves.size(), 5u);
    const MetaPrimitive *h = text(run.drawn, "H"), *l = text(run.drawn, "L");
    ASSERT_TRUE(h != nullptr && l != nullptr);
    const Colours col{h->color, l->color}; // blue and red: highs and cold, lows and warm
    const std::map<std::string, int> dirs = {
        {"COLD", -1}, {"WARM", 1}, {"OCFNT", 1}, {"STNRY", 1}, {"TROF", 1}};
    std::vector<Expected> want;
    for (std::size_t k = 0; k < curves.size(); ++k)
        expect_front(want, run.fronts[k].tag, curves[k], dirs.at(run.fronts[k].tag), barb, col);

    std::vector<MetaPrimitive> got;
    for (const MetaPrimitive &m : run.drawn)
        if (m.rec.key == "PL" || m.rec.key == "FA") got.push_back(m);
    ASSERT_GE(got.size(), want.size());
    int bad = 0;
    for (std::size_t k = 0; k < want.size() && bad < 5; ++k) {
        const Expected &e = want[k];
        const MetaPrimitive &g = got[k];
        bool ok =
            g.rec.key == e.key && g.rec.pts.size() == e.pts.size() && (e.color == -1 || g.color == e.color);
        for (std::size_t j = 0; ok && j < e.pts.size(); ++j)
            ok = std::fabs(g.rec.pts[j].x - e.pts[j].x) <= 1e-3 &&
                 std::fabs(g.rec.pts[j].y - e.pts[j].y) <= 1e-3;
        if (!ok) {
            ++bad;
            ADD_FAILURE() << "primitive " << k << ": want " << e.key << " colour " << e.color << " from "
                          << e.pts[0].x << "," << e.pts[0].y << "; got " << g.rec.key << " colour " << g.color
                          << " " << zeqtest::show({g.rec});
        }
    }
    // No pips at all without "barb": the first fill area is a tropical symbol's.
    std::size_t fills = 0;
    for (const Expected &e : want)
        fills += e.key == "FA";
    EXPECT_EQ(fills > 0, barb);
}

TEST(FrontDriver, FrontsAgainstSplineReference) {
    const FrontRun plain = run_front("04120812.frt", fixture("04120812.frt"), {});
    check_fronts(plain, false);
    const FrontRun barbed = run_front("04120812.frt", fixture("04120812.frt"), {"-pp", "barb"});
    check_fronts(barbed, true);
    // The cold front travels east: its triangles point south, to the right.
    const std::vector<MetaPrimitive> fa = of_kind(barbed.drawn, "FA");
    ASSERT_FALSE(fa.empty());
    const MetaPrimitive &tri = fa.front();
    ASSERT_EQ(tri.rec.pts.size(), 4u);
    EXPECT_LT(tri.rec.pts[2].y, std::min(tri.rec.pts[0].y, tri.rec.pts[1].y));
}

// Centres, labels and tropical systems of the analysis: H and L at the
// projected centres (the fronts' end points share them), pressures 0.03 of
// the map height below, thinning in a box of 5 degrees (1025 near 1030 and
// 1000 near 996 go), 1060 skipped as a pressure; the 24 hour section is not
// drawn.
TEST(FrontDriver, CentresLabelsAndStorms) {
    const FrontRun run = run_front("04120812.frt", fixture("04120812.frt"), {});
    ASSERT_EQ(run.child.status, 0) << run.child.out << run.child.err;
    const std::vector<std::string> t = texts(run.drawn);
    EXPECT_EQ(t, (std::vector<std::string>{"IVAN", "JEANNE", "L", "TEN", "H", "1030", "H", "1028", "H",
                                           "1036", "L", "1002", "L", "996", "Frontal positions",
                                           "NCEP analysis for 12Z  8 DEC 04"}));
    // The low of 996 lies where the warm front begins, the high of 1036
    // where the stationary front ends.
    ASSERT_EQ(run.fronts.size(), 5u);
    const TracePoint low = run.fronts[1].pts.front(), high = run.fronts[3].pts.back();
    const std::vector<MetaPrimitive> te = of_kind(run.drawn, "TE");
    const auto at = [&](std::size_t k, const TracePoint &p, double below) {
        EXPECT_NEAR(te[k].rec.pts[0].x, p.x, 1e-3) << te[k].rec.text;
        EXPECT_NEAR(te[k].rec.pts[0].y, p.y - below, 1e-3) << te[k].rec.text;
    };
    at(8, high, 0);
    at(9, high, 0.03 * MAP_H);
    at(12, low, 0);
    at(13, low, 0.03 * MAP_H);
    EXPECT_NEAR(te[8].height, 0.03 * MAP_H, 1e-4);
    EXPECT_NEAR(te[9].height, 0.018 * MAP_H, 1e-4);
    EXPECT_EQ(te[9].color, te[8].color);
    EXPECT_EQ(te[8].hor, 2);
    EXPECT_EQ(te[8].vert, 3);
    // Storm names below their symbols: something drawn within the symbol
    // box of each named storm, "L" for the depression.
    for (std::size_t k : {0u, 1u}) {
        const double x = te[k].rec.pts[0].x, y = te[k].rec.pts[0].y + 0.03 * MAP_H;
        int inside = 0;
        for (const MetaPrimitive &m : run.drawn) {
            if (m.rec.key != "PL" && m.rec.key != "FA") continue;
            bool all = true;
            for (const MetaPoint &p : m.rec.pts)
                all = all && std::fabs(p.x - x) <= 0.0176 * MAP_H && std::fabs(p.y - y) <= 0.0176 * MAP_H;
            inside += all;
        }
        EXPECT_GT(inside, 0) << te[k].rec.text;
    }
    EXPECT_NEAR(te[2].rec.pts[0].y - te[3].rec.pts[0].y, 0.03 * MAP_H, 1e-3);

    const FrontRun nolab = run_front("04120812.frt", fixture("04120812.frt"), {"-pp", "noprlab,prrad:1"});
    EXPECT_EQ(texts(nolab.drawn),
              (std::vector<std::string>{"IVAN", "JEANNE", "L", "TEN", "H", "H", "H", "H", "L", "L", "L",
                                        "Frontal positions", "NCEP analysis for 12Z  8 DEC 04"}));
}

// Sections and dates: the analysis header's valid time against the file's
// date (its hour lowered to a multiple of 3), the forecast sections by
// "hour", a file that cannot be read.
TEST(FrontDriver, SectionsAndDates) {
    const struct {
        const char *name;
        const char *valid;
        bool drawn;
    } cases[] = {
        {"04121513.frt", "151200Z", true},  // day and hour, the hour lowered from 13
        {"04121512.frt", "1200Z", true},    // hour and "00"
        {"04121512.frt", "121512", true},   // month, day and hour
        {"04121512.frt", "081200Z", false}, // another day
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.valid);
        const FrontRun run = run_front(
            c.name, std::string("VALID ") + c.valid + "\nHIGHS 1030 45090\nCOLD X 40090 35095\n", {});
        ASSERT_EQ(run.child.status, 0) << run.child.err;
        const std::vector<std::string> t = texts(run.drawn);
        EXPECT_EQ(t.size(), c.drawn ? 4u : 2u);
        EXPECT_EQ(t.back(), "NCEP analysis for 12Z 15 DEC 04");
        EXPECT_EQ(of_kind(run.drawn, "PL").size() > 1, c.drawn); // the border is always drawn
        const bool warned = run.child.err.find(std::string("FRT_plot_file: Invalid date in file: ") +
                                               c.valid + " != 121512") != std::string::npos;
        EXPECT_EQ(warned, !c.drawn) << run.child.err;
    }

    const struct {
        const char *param;
        std::vector<std::string> texts;
    } hours[] = {
        {"hour:24",
         {"H", "1032", "L", "990", "Frontal positions", "24 hr NCEP forecast valid 12Z THU  9 DEC 04"}},
        {"hour:48", {"H", "1034", "Frontal positions", "48 hr NCEP forecast valid 12Z FRI 10 DEC 04"}},
        {"hour:36", {"Frontal positions"}},
        {"hour",
         {"IVAN", "JEANNE", "L", "TEN", "H", "1030", "H", "1028", "H", "1036", "L", "1002", "L", "996",
          "Frontal positions", "NCEP analysis for 12Z  8 DEC 04"}},
    };
    for (const auto &h : hours) {
        const FrontRun run = run_front("04120812.frt", fixture("04120812.frt"), {"-pp", h.param});
        EXPECT_EQ(texts(run.drawn), h.texts) << h.param;
    }

    TempDir dir;
    const zeqtest::ChildResult missing =
        zeqtest::run_plot_driver(dir.path(), "front", {"-de", "meta,out", "-pd", LC_DOMAIN, "04120812.frt"});
    EXPECT_EQ(missing.status, 0);
    EXPECT_NE(missing.err.find("FRT_plot_file: Unable to open front file: 04120812.frt"), std::string::npos)
        << missing.err;
    EXPECT_EQ(texts(zeqtest::meta_primitives(zeqtest::meta_records(read_file(dir.file("out"))))),
              std::vector<std::string>{});
}

// The colour items of color_front: an empty item keeps its default, "-1"
// switches a kind off.
TEST(FrontDriver, ColourItems) {
    const FrontRun all = run_front("04120812.frt", fixture("04120812.frt"), {});
    const FrontRun some =
        run_front("04120812.frt", fixture("04120812.frt"), {"-cofr", "-1,green,-1,,,-1,-1"});
    ASSERT_EQ(some.child.status, 0) << some.child.err;
    EXPECT_EQ(texts(some.drawn), (std::vector<std::string>{"L", "1002", "L", "996", "Frontal positions",
                                                           "NCEP analysis for 12Z  8 DEC 04"}));
    EXPECT_NE(text(some.drawn, "L")->color, text(all.drawn, "L")->color);
    // Cold front and trough gone: their segments are missing.
    const std::vector<Curve> curves = reference_curves(all.fronts);
    ASSERT_EQ(curves.size(), 5u);
    const std::size_t cold = curves[0].at.size(), trough = curves[4].at.size() / 2;
    const std::size_t storms =
        of_kind(all.drawn, "PL").size() - of_kind(some.drawn, "PL").size() - cold - trough;
    EXPECT_GT(storms, 0u) << "the storm symbols are gone too";
}

// Limits and the end of the file: 201 centres draw 200 with one warning
// naming the file; a front of 120 points is bent through its first 100; a
// front with one point left draws nothing; long lines are read whole; the
// record at the end of the file is drawn.
TEST(FrontDriver, LimitsAndEnds) {
    std::string text = "VALID 081200Z\nHIGHS";
    for (int k = 0; k < 201; ++k)
        text += " 1020 " + std::to_string(30 + k / 11) + std::to_string(80 + k % 11).insert(0, "0");
    text += "\nCOLD X";
    for (int k = 0; k < 120; ++k)
        text += " 40" + std::to_string(200 - k).substr(0, 3);
    text += "\nWARM X 45090 45090\nTROF 40090 40095"; // no line end
    const FrontRun run = run_front("04120812.frt", text, {"-pp", "noprlab,prrad:0"});
    ASSERT_EQ(run.child.status, 0) << run.child.err;
    std::size_t highs = 0;
    for (const std::string &t : texts(run.drawn))
        highs += t == "H";
    EXPECT_EQ(highs, 200u);
    const std::string warn = "FRT_plot_file: More than 200 pressure centres, the rest ignored: 04120812.frt";
    EXPECT_NE(run.child.err.find(warn), std::string::npos) << run.child.err;
    EXPECT_EQ(run.child.err.find(warn), run.child.err.rfind(warn));
    EXPECT_NE(
        run.child.err.find("FRT_plot_file: More than 100 points in a front, the rest ignored: 04120812.frt"),
        std::string::npos);
    // Every position of the long line reached the trace.
    ASSERT_EQ(run.fronts.size(), 3u);
    EXPECT_EQ(run.fronts[0].pts.size(), 120u);
    EXPECT_EQ(run.fronts[2].pts.size(), 2u);
    // The cold front ends at its 100th point; the warm front draws nothing;
    // the trough at the end of the file draws its first dash.
    const std::vector<MetaPrimitive> pl = of_kind(run.drawn, "PL");
    const TracePoint last = run.fronts[0].pts[99], trough = run.fronts[2].pts[0];
    bool ends = false, dash = false;
    for (const MetaPrimitive &m : pl) {
        ends = ends || (std::fabs(m.rec.pts.back().x - last.x) < 1e-3 &&
                        std::fabs(m.rec.pts.back().y - last.y) < 1e-3);
        dash = dash || (std::fabs(m.rec.pts.front().x - trough.x) < 1e-3 &&
                        std::fabs(m.rec.pts.front().y - trough.y) < 1e-3);
    }
    EXPECT_TRUE(ends);
    EXPECT_TRUE(dash) << "the last record was lost";
    const TracePoint warm = run.fronts[1].pts[0];
    for (const MetaPrimitive &m : pl)
        for (const MetaPoint &p : m.rec.pts)
            EXPECT_FALSE(std::fabs(p.x - warm.x) < 1e-3 && std::fabs(p.y - warm.y) < 1e-3)
                << "a one-point front";
}

// Thinning in table order: a high goes when a centre of equal or higher
// pressure lies within the box, a low when one of equal or lower pressure
// does, whatever that centre's kind; of two equal centres the later stays.
TEST(FrontDriver, Thinning) {
    const struct {
        const char *records;
        std::vector<std::string> left; // the pressures drawn, in table order
        const char *kept_at;           // the coded position of the first one drawn
    } cases[] = {
        {"HIGHS 1030 45090 1030 43092", {"1030"}, "43092"},
        {"HIGHS 1030 45090 1025 41087", {"1030"}, "45090"},
        {"HIGHS 1030 45090 1025 39090", {"1030", "1025"}, "45090"}, // 6 degrees apart
        {"LOWS 1000 45090 996 44089", {"996"}, "44089"},
        {"HIGHS 1010 45090\nLOWS 1020 44089", {"1020"}, "44089"}, // the low is higher
    };
    for (const auto &c : cases) {
        const std::string records = c.records;
        const std::string position = c.kept_at;
        // The kept centre's projection, from a one-point front at it.
        const FrontRun run =
            run_front("04120812.frt", "VALID 081200Z\n" + records + "\nTROF " + position + "\n", {});
        ASSERT_EQ(run.child.status, 0) << run.child.err;
        std::vector<std::string> pressures;
        for (const std::string &t : texts(run.drawn))
            if (t != "H" && t != "L" && t.find(' ') == std::string::npos) pressures.push_back(t);
        EXPECT_EQ(pressures, c.left) << c.records;
        ASSERT_EQ(run.fronts.size(), 1u);
        const std::vector<MetaPrimitive> te = of_kind(run.drawn, "TE");
        ASSERT_FALSE(te.empty());
        EXPECT_NEAR(te[0].rec.pts[0].x, run.fronts[0].pts[0].x, 1e-3) << c.records;
        EXPECT_NEAR(te[0].rec.pts[0].y, run.fronts[0].pts[0].y, 1e-3) << c.records;
    }
}

// Spelled positions of storms: a southern storm is not drawn (with a
// warning) and the skip to "PSN" does not swallow the next storm or the
// records after it.
TEST(FrontDriver, StormPositions) {
    const std::string text = "VALID 081200Z\nREMARKS\nTROPICAL\nSTORM SOUTHY TEN SOUTH NINETY WEST PSN\n"
                             "TROPICAL\nSTORM NORTHY TWENTY NORTH NINETY WEST PSN\nHIGHS 1030 45090\n";
    const FrontRun run = run_front("04120812.frt", text, {});
    ASSERT_EQ(run.child.status, 0) << run.child.err;
    EXPECT_EQ(texts(run.drawn), (std::vector<std::string>{"NORTHY", "H", "1030", "Frontal positions",
                                                          "NCEP analysis for 12Z  8 DEC 04"}));
    EXPECT_NE(run.child.err.find("FRT_plot_file: No position for storm SOUTHY: 04120812.frt"),
              std::string::npos)
        << run.child.err;
}

// Colour PostScript that ghostscript reads: its text comments hold the
// centres, pressures and storm names.
TEST(FrontDriver, PostScript) {
    if (!gkstest::have_gs()) return;
    const FrontRun run = run_front("04120812.frt", fixture("04120812.frt"), {"-pp", "barb"}, "ps");
    ASSERT_EQ(run.child.status, 0) << run.child.err;
    std::vector<std::string> comments;
    std::istringstream in(run.ps);
    std::string line;
    while (std::getline(in, line)) {
        double x = 0, y = 0;
        char t[100] = "";
        if (std::sscanf(line.c_str(), "%%%%TE:%lf %lf %99s", &x, &y, t) == 3) comments.push_back(t);
    }
    for (const char *want : {"H", "1030", "L", "996", "IVAN", "JEANNE", "TEN", "Frontal"})
        EXPECT_NE(std::find(comments.begin(), comments.end(), want), comments.end()) << want;
    TempDir dir;
    write_file(dir.file("out.ps"), run.ps);
    const gkstest::GsRun check = gkstest::gs_check(dir.file("out.ps"));
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, "");
}

// The stand-alone driver over two bulletins: on a metafile it opens and
// closes the plot itself and draws both; under X it loops two frames whose
// images differ (the fronts moved).
TEST(FrontLoop, TwoBulletins) {
    TempDir dir;
    write_file(dir.file("04120812.frt"), fixture("04120812.frt"));
    write_file(dir.file("04120912.frt"), fixture("04120912.frt"));
    const zeqtest::ChildResult meta = zeqtest::run_plot_driver(
        dir.path(), "front_loop", {"-de", "meta,out", "-pd", LC_DOMAIN, "04120812.frt", "04120912.frt"});
    ASSERT_EQ(meta.status, 0) << meta.err;
    const std::vector<std::string> t =
        texts(zeqtest::meta_primitives(zeqtest::meta_records(read_file(dir.file("out")))));
    EXPECT_EQ(std::count(t.begin(), t.end(), "NCEP analysis for 12Z  8 DEC 04"), 1);
    EXPECT_EQ(std::count(t.begin(), t.end(), "NCEP analysis for 12Z  9 DEC 04"), 1);

    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the X tests need a display (Xvfb)";
    ASSERT_EQ(access("/usr/bin/xwd", X_OK), 0) << "this test needs xwd (Debian package x11-apps)";
    const std::string title = "frtloop" + std::to_string(getpid());
    const zeqtest::ChildResult x = zeqtest::run_plot_driver(
        dir.path(), "front_loop", {"-ti", title, "-pd", LC_DOMAIN, "04120812.frt", "04120912.frt"});
    ASSERT_EQ(x.status, 0) << x.out << x.err;
    EXPECT_NE(x.out.find("frames 2 looping 1"), std::string::npos) << x.out;
    EXPECT_NE(x.out.find("title " + title + " [1]\nxwd 0\n"), std::string::npos) << x.out;
    ASSERT_FALSE(read_file(dir.file("frame0.xwd")).empty());
    ASSERT_FALSE(read_file(dir.file("frame1.xwd")).empty());
    // ImageMagick counts the pixels in which the two frames differ.
    ASSERT_EQ(access("/usr/bin/compare", X_OK), 0) << "this test needs compare (Debian package imagemagick)";
    const auto differing = [&](const char *a, const char *b) {
        return zeqtest::run_command("/usr/bin/compare -metric AE " + dir.file(a) + " " + dir.file(b) +
                                    " null: 2>&1; true");
    };
    EXPECT_EQ(differing("frame0.xwd", "frame0.xwd"), "0");
    EXPECT_GT(std::atol(differing("frame0.xwd", "frame1.xwd").c_str()), 500);
}

} // namespace
