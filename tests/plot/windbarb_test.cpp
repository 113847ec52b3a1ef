// Wind barbs, arrows and storm tracks as the polylines and fill areas they
// leave in a text metafile, the map variants on a polar stereographic map,
// and a barb page rendered by ghostscript.
#include "plot/windbarb.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../graphics/render.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_tran.h"
#include "runtime/zeq.h"
#include "support/child.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;

struct P {
    double x, y;
};

// One drawing record of a metafile: "PL" or "FA" with its points, or an
// attribute such as "FA_INT 1".
struct Rec {
    std::string key;
    std::vector<P> pts;
};

std::vector<Rec> parse_records(const std::string &text) {
    std::vector<Rec> recs;
    std::size_t pos = 0;
    for (int i = 0; i < 4 && pos != std::string::npos; ++i) // the header
        pos = text.find('\n', pos) + 1;
    std::istringstream in(text.substr(pos));
    std::string tok;
    while (in >> tok) {
        if (tok == "PL" || tok == "FA") {
            Rec r{tok, {}};
            int n = 0;
            in >> n;
            for (int i = 0; i < n && in >> tok; ++i) {
                const std::size_t comma = tok.find(',');
                r.pts.push_back({std::stod(tok.substr(0, comma)), std::stod(tok.substr(comma + 1))});
            }
            recs.push_back(r);
        } else if (std::isalpha(static_cast<unsigned char>(tok[0]))) {
            recs.push_back({tok, {}});
        } else if (!recs.empty() && recs.back().pts.empty()) {
            recs.back().key += " " + tok; // an attribute's value
        }
    }
    return recs;
}

// Runs `draw` on a metafile whose transformation 1 shows [-100, 100] in both
// axes, with hollow fills set beforehand, and returns the records it wrote.
std::vector<Rec> drawn(const std::function<void()> &draw) {
    TempDir dir;
    const std::string file = dir.file("wind.meta");
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStdout();
    const int rc = gopen_ws(1, file.c_str(), GWS_META);
    const Glim win{-100, 100, -100, 100};
    gset_win(1, &win);
    gsel_norm_tran(1);
    gset_fill_int_style(GHOLLOW);
    gmessage(1, "begin");
    draw();
    gclose_ws(1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    std::vector<Rec> recs = parse_records(read_file(file));
    std::size_t k = 0;
    while (k < recs.size() && recs[k].key.find("begin") == std::string::npos)
        ++k;
    EXPECT_LT(k, recs.size()) << "no begin marker";
    return {recs.begin() + static_cast<std::ptrdiff_t>(std::min(k + 1, recs.size())), recs.end()};
}

std::string show(const std::vector<Rec> &recs) {
    std::ostringstream s;
    for (const Rec &r : recs) {
        s << r.key;
        for (const P &p : r.pts)
            s << " " << p.x << "," << p.y;
        s << "\n";
    }
    return s.str();
}

void expect_records(const std::vector<Rec> &got, const std::vector<Rec> &want) {
    ASSERT_EQ(got.size(), want.size()) << "got:\n" << show(got) << "want:\n" << show(want);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].key, want[i].key) << "record " << i;
        ASSERT_EQ(got[i].pts.size(), want[i].pts.size()) << "record " << i << "\n" << show(got);
        for (std::size_t j = 0; j < got[i].pts.size(); ++j) {
            EXPECT_NEAR(got[i].pts[j].x, want[i].pts[j].x, 1e-4) << "record " << i << " point " << j;
            EXPECT_NEAR(got[i].pts[j].y, want[i].pts[j].y, 1e-4) << "record " << i << " point " << j;
        }
    }
}

Rec line(P a, P b) {
    return {"PL", {a, b}};
}

// ---- Barbs -------------------------------------------------------------------------

// Barb elements in staff units: f along the staff from the station, h to its
// clockwise side. A pennant is a closed triangle, filled and then outlined.
struct Elem {
    bool pennant;
    std::vector<P> fh;
};

Elem stroke(double f1, double h1, double f2, double h2) {
    return {false, {{f1, h1}, {f2, h2}}};
}
Elem pennant(double f) {
    return {true, {{f, 0}, {f, 0.5}, {f - 0.12, 0}, {f, 0}}};
}

// The speeds counted in steps of 5 from 2 below each step: the staff alone,
// half barbs, full barbs leaning out past the staff's end without pennants,
// pennants from the end inward, and the cap at 300. A north wind at (3, -1)
// with size 2 and offset 0.5: the staff runs north and the elements stand to
// the east, so a point (f, h) is at (3 + 2h, -1 + 2f).
TEST(WindBarb, StaffBarbsAndPennantsBySpeed) {
    struct Case {
        float spd;
        std::vector<Elem> elems;
    };
    const Case cases[] = {
        {1, {}},
        {2, {}},
        {3, {stroke(0.88, 0, 0.94, 0.25)}},
        {8, {stroke(1, 0, 1.12, 0.5)}},
        {13, {stroke(1, 0, 1.12, 0.5), stroke(0.88, 0, 0.94, 0.25)}},
        {28, {stroke(1, 0, 1.12, 0.5), stroke(0.88, 0, 1, 0.5), stroke(0.76, 0, 0.88, 0.5)}},
        {48, {pennant(1)}},
        {53, {pennant(1), stroke(0.76, 0, 0.82, 0.25)}},
        {75,
         {pennant(1), stroke(0.76, 0, 0.88, 0.5), stroke(0.64, 0, 0.76, 0.5), stroke(0.52, 0, 0.58, 0.25)}},
        {103, {pennant(1), pennant(0.88), stroke(0.64, 0, 0.70, 0.25)}},
        {350, {pennant(1), pennant(0.88), pennant(0.76), pennant(0.64), pennant(0.52), pennant(0.40)}},
    };
    const auto at = [](P fh) { return P{3 + 2 * fh.y, -1 + 2 * fh.x}; };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "speed " << c.spd);
        int rc = -2;
        const std::vector<Rec> got = drawn([&] { rc = WIND_barb(3, -1, 0, c.spd, 2, 0.5f); });
        EXPECT_EQ(rc, 0);
        std::vector<Rec> want = {{"FA_INT 1", {}}, line({3, -0.5}, {3, 1})};
        for (const Elem &e : c.elems) {
            std::vector<P> pts;
            for (const P &fh : e.fh)
                pts.push_back(at(fh));
            if (e.pennant) want.push_back({"FA", pts});
            want.push_back({"PL", pts});
        }
        expect_records(got, want);
    }
}

// The staff points toward where the wind comes from and the elements stand
// clockwise of it: a wind from the east runs the staff east with its barb
// below; a staff of zero length still carries its pennant.
TEST(WindBarb, OrientationAndZeroStaff) {
    expect_records(drawn([] { EXPECT_EQ(WIND_barb(0, 0, 90, 8, 1, 0), 0); }),
                   {{"FA_INT 1", {}}, line({0, 0}, {1, 0}), line({1, 0}, {1.12, -0.5})});
    expect_records(drawn([] { EXPECT_EQ(WIND_barb(0, 0, 180, 50, 4, 4), 0); }),
                   {{"FA_INT 1", {}},
                    line({0, -4}, {0, -4}),
                    {"FA", {{0, -4}, {-2, -4}, {0, -3.52}, {0, -4}}},
                    {"PL", {{0, -4}, {-2, -4}, {0, -3.52}, {0, -4}}}});
}

// Nothing at all (not even the fill style) for a calm, a missing or unreal
// direction or speed, or a negative speed.
TEST(WindBarb, NothingDrawn) {
    const float nan = std::nanf("");
    struct Case {
        float dir, spd;
    } const cases[] = {{90, 0}, {-9999, 10}, {90, -9999}, {90, -15}, {nan, 10}, {90, nan}, {INFINITY, 10}};
    for (const Case &c : cases) {
        int rc = 0;
        EXPECT_TRUE(drawn([&] { rc = WIND_barb(0, 0, c.dir, c.spd, 1, 0); }).empty())
            << c.dir << " " << c.spd;
        EXPECT_EQ(rc, -1) << c.dir << " " << c.spd;
    }
}

// ---- Arrows and tracks ------------------------------------------------------------

TEST(WindArrow, ShaftAndHead) {
    // West wind, speed 2, size 0.5: a shaft of length 1 eastward and a head
    // of two 45-degree lines 0.2 x 0.5 x 2 long in each axis.
    expect_records(drawn([] { EXPECT_EQ(WIND_vect(1, 1, 270, 2, 0.5f, 1), 0); }),
                   {line({1, 1}, {2, 1}), line({2, 1}, {1.8, 0.8}), line({2, 1}, {1.8, 1.2})});
    // Without a head: the shaft alone, downwind.
    expect_records(drawn([] { EXPECT_EQ(WIND_vect(0, 0, 0, 3, 1, 0), 0); }), {line({0, 0}, {0, -3})});
    // A north-east wind: the head lines run back along the axes.
    const double r = std::sqrt(0.5);
    expect_records(
        drawn([] { EXPECT_EQ(WIND_vect(0, 0, 45, 1, 1, 2), 0); }),
        {line({0, 0}, {-r, -r}), line({-r, -r}, {-r, -r + 0.8 * r}), line({-r, -r}, {-r + 0.8 * r, -r})});
    for (const auto &[dir, spd] :
         {std::pair{90.0f, 0.0f}, std::pair{-9999.0f, 3.0f}, std::pair{90.0f, -9999.0f}}) {
        int rc = 0;
        EXPECT_TRUE(drawn([&] { rc = WIND_vect(0, 0, dir, spd, 1, 1); }).empty());
        EXPECT_EQ(rc, -1);
    }
}

TEST(StormTrack, TicksAndHead) {
    // Four ticks at 0, 1/4, 1/2 and 3/4 of an eastward track of length 4,
    // none at its end, and a head that does not grow with the length.
    expect_records(drawn([] { EXPECT_EQ(WIND_track(0, 0, 270, 4, 1, 4, 0), 0); }),
                   {line({0, 0}, {4, 0}), line({0, 0.2}, {0, -0.2}), line({1, 0.2}, {1, -0.2}),
                    line({2, 0.2}, {2, -0.2}), line({3, 0.2}, {3, -0.2}), line({4, 0}, {3.8, -0.2}),
                    line({4, 0}, {3.8, 0.2})});
    // Northward, two ticks of half-length 0.1.
    expect_records(drawn([] { EXPECT_EQ(WIND_track(1, 1, 180, 2, 0.5f, 2, 7), 0); }),
                   {line({1, 1}, {1, 3}), line({0.9, 1}, {1.1, 1}), line({0.9, 2}, {1.1, 2}),
                    line({1, 3}, {1.1, 2.9}), line({1, 3}, {0.9, 2.9})});
    // No ticks asked for: the track and its head.
    expect_records(drawn([] { EXPECT_EQ(WIND_track(0, 0, 270, 4, 1, 0, 0), 0); }),
                   {line({0, 0}, {4, 0}), line({4, 0}, {3.8, -0.2}), line({4, 0}, {3.8, 0.2})});
    for (const auto &[dir, spd] :
         {std::pair{90.0f, 0.0f}, std::pair{-9999.0f, 3.0f}, std::pair{90.0f, -9999.0f}}) {
        int rc = 0;
        EXPECT_TRUE(drawn([&] { rc = WIND_track(0, 0, dir, spd, 1, 4, 0); }).empty());
        EXPECT_EQ(rc, -1);
    }
}

// ---- On a map -----------------------------------------------------------------------

Domain map_domain(int proj, float clat, float clon) {
    Domain d;
    DOM_init(&d);
    d.proj = proj;
    d.clat = clat;
    d.clon = clon;
    d.dx = d.dy = 1.2f;
    d.nx = 25;
    d.ny = 17;
    return d;
}

// 90 degrees east of the central meridian, grid north points at the pole
// (toward -x): a north wind's barb runs toward the pole and its arrow away
// from it. A missing direction stays missing instead of being turned.
TEST(WindOnMap, TrueDirectionsTurnedToGridNorth) {
    const Domain polar = map_domain(1, 60, -105);
    MAP_domain(&polar);
    float x = 0, y = 0;
    ASSERT_EQ(MAP_tran(50, -15, &x, &y), 1);
    ASSERT_GT(x, 10);
    ASSERT_NEAR(y, 0, 1e-3);
    expect_records(drawn([&] { EXPECT_EQ(WIND_barb_map(x, y, 0, 8, 5, 0), 0); }),
                   {{"FA_INT 1", {}}, line({x, y}, {x - 5, y}), line({x - 5, y}, {x - 5.6, y + 2.5})});
    expect_records(drawn([&] { EXPECT_EQ(WIND_vect_map(x, y, 0, 2, 1, 0), 0); }), {line({x, y}, {x + 2, y})});
    int rc1 = 0, rc2 = 0;
    EXPECT_TRUE(drawn([&] {
                    rc1 = WIND_barb_map(x, y, -9999, 8, 5, 0);
                    rc2 = WIND_vect_map(x, y, -9999, 2, 1, 0);
                }).empty());
    EXPECT_EQ(rc1, -1);
    EXPECT_EQ(rc2, -1);

    // A satellite point off the earth's disk has no direction.
    const Domain sat = map_domain(9, 0, -75);
    MAP_domain(&sat);
    EXPECT_EQ(MAP_dir_adj(90, 0, 70), FMISSING);
    EXPECT_TRUE(drawn([&] {
                    rc1 = WIND_barb_map(0, 70, 90, 8, 5, 0);
                    rc2 = WIND_vect_map(0, 70, 90, 2, 1, 0);
                }).empty());
    EXPECT_EQ(rc1, -1);
    EXPECT_EQ(rc2, -1);
}

// ---- A rendered page -----------------------------------------------------------------

// A barb of 75 on a portrait PostScript page (one world unit is 5.75 points
// on [0, 100]^2): ghostscript shows the pennant filled solid east of the
// staff, nothing west of it, and the barbs below the pennant.
TEST(WindBarb, RenderedPennantIsFilled) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const std::string file = dir.file("barb.ps");
    const zeqtest::ChildResult r = zeqtest::run_child([&] {
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, (file + ",port").c_str(), GWS_PS) != 0) return 2;
        const Gcolr_rep black{0, 0, 0};
        gset_colr_rep(1, 2, &black);
        const Glim win{0, 100, 0, 100};
        gset_win(1, &win);
        gsel_norm_tran(1);
        gset_line_colr_ind(2);
        gset_fill_colr_ind(2);
        gset_fill_int_style(GHOLLOW); // the barb sets solid itself
        if (WIND_barb(20, 20, 0, 75, 40, 0) != 0) return 4;
        return gclose_ws(1) == 0 ? 0 : 3;
    });
    ASSERT_EQ(r.status, 0) << r.err;
    const gkstest::Raster img = gkstest::gs_render(file, gkstest::media(800, 800), 144);
    // World (x, y) on the page, in points.
    const auto black = [&](double x, double y) { return img.black(5.75 * x + 18, 5.75 * y + 18); };
    const auto white = [&](double x, double y) { return img.white(5.75 * x + 18, 5.75 * y + 18); };
    // Pennant (20, 60), (40, 60), (20, 55.2): inside and its mirror image.
    EXPECT_TRUE(black(26, 58.5));
    EXPECT_TRUE(black(22, 57));
    EXPECT_TRUE(white(14, 58.5));
    // Between the pennant and the first barb, and beyond the staff's end.
    EXPECT_TRUE(white(30, 54));
    EXPECT_TRUE(white(20, 63));
    // The first full barb, (20, 50.4) to (40, 55.2), crossing x = 30.
    bool crossed = false;
    for (double y = 52.0; y <= 53.6; y += 0.05)
        crossed = crossed || black(30, y);
    EXPECT_TRUE(crossed);
}

} // namespace
