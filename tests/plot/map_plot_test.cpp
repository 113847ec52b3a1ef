// The stand-alone map plot, run by the plotting test driver into a text
// metafile: texts, markers, a range circle (its points measured by PROJ's
// geod), a point-data file and a replayed metafile at their projected
// points; the station database under a label-only list; the corner report;
// the margins and aspect of a diagram.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <tuple>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "support/child.h"
#include "support/metafile.h"
#include "support/plot_driver.h"
#include "support/reference.h"

namespace {

using zeqtest::MetaPrimitive;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

constexpr const char *DOMAIN = "ps,40,-105,21,17,1";

struct MapRun {
    zeqtest::ChildResult child;
    std::vector<MetaPrimitive> drawn;
};

MapRun run_map_plot(const TempDir &dir, std::vector<std::string> args) {
    args.insert(args.begin(),
                {"-de", "meta,out.meta", "-rp", dir.path(), "-cf", ZEQ_TEST_DATA "/sao_test.cty"});
    MapRun r;
    r.child = zeqtest::run_plot_driver(dir.path(), "map_plot", args);
    r.drawn = zeqtest::meta_primitives(zeqtest::meta_records(read_file(dir.file("out.meta"))));
    return r;
}

Gpt projected(float lat, float lon) {
    Domain d;
    EXPECT_EQ(DOM_decode(DOMAIN, &d), 1);
    MAP_domain(&d);
    Gpt p{};
    MAP_tran(lat, lon, &p.x, &p.y);
    return p;
}

std::vector<const MetaPrimitive *> of_kind(const MapRun &r, const std::string &key) {
    std::vector<const MetaPrimitive *> out;
    for (const MetaPrimitive &m : r.drawn)
        if (m.rec.key == key) out.push_back(&m);
    return out;
}

const MetaPrimitive *text(const MapRun &r, const std::string &t) {
    for (const MetaPrimitive *m : of_kind(r, "TE"))
        if (m->rec.text == t) return m;
    return nullptr;
}

// Every kind of item in one list, each at its place.
TEST(MapPlot, ItemsAtTheirPoints) {
    TempDir dir;
    write_file(dir.file("obs.raw"), "ZEQRAW\n12Z  5 JAN 24\nTemps\n"
                                    "KDEN 39.85 -104.65 71.5\nKCOS 38.82 -104.72 65\n");
    // A metafile with a star and a marker of type 12 at two plane points.
    write_file(dir.file("marks.meta"),
               "ZEQMETA\n#Title: marks\n#Creator: test\n#CreationDate: now\n"
               "PM_TYPE 3\nPM 1 2.000000,-58.000000\nPM_TYPE 12\nPM 1 -3.000000,-50.000000\n");
    const MapRun r = run_map_plot(dir, {"-pd", DOMAIN, "-me", "out4", "xy:1:-50:Hello", "text:40:-100:There",
                                        "mark:40:-100:star", "mark:40:-100:12", "range:40:-100:100", "map",
                                        "obs.raw", "marks.meta"});
    ASSERT_EQ(r.child.status, 0) << r.child.out << r.child.err;
    EXPECT_EQ(r.child.err.find("trying anyway"), std::string::npos) << r.child.err;

    const Gpt centre = projected(40, -100);
    const MetaPrimitive *hello = text(r, "Hello");
    ASSERT_NE(hello, nullptr);
    EXPECT_NEAR(hello->rec.pts[0].x, 1.0, 1e-5);
    EXPECT_NEAR(hello->rec.pts[0].y, -50.0, 1e-5);
    const MetaPrimitive *there = text(r, "There");
    ASSERT_NE(there, nullptr);
    EXPECT_NEAR(there->rec.pts[0].x, centre.x, 1e-4);
    EXPECT_NEAR(there->rec.pts[0].y, centre.y, 1e-4);
    // Text height 0.018 of the map height (16 plane units here).
    EXPECT_NEAR(there->height, 0.018 * 16, 1e-3);

    // Markers: the two items, then the metafile's two.
    const std::vector<const MetaPrimitive *> marks = of_kind(r, "PM");
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_EQ(marks[0]->marker, 3);
    EXPECT_EQ(marks[1]->marker, 12);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(marks[i]->rec.pts[0].x, centre.x, 1e-4);
        EXPECT_NEAR(marks[i]->rec.pts[0].y, centre.y, 1e-4);
    }
    EXPECT_EQ(marks[2]->marker, 3);
    EXPECT_NEAR(marks[2]->rec.pts[0].x, 2.0, 1e-5);
    EXPECT_EQ(marks[3]->marker, 12);
    EXPECT_NEAR(marks[3]->rec.pts[0].y, -50.0, 1e-5);

    // Point data at their stations (the station table's places, which the
    // resource city_file loads), with the file's labels.
    for (const auto &[label, lat, lon] :
         {std::tuple{"71.5", 39.85f, -104.65f}, std::tuple{"65", 38.8167f, -104.7167f}}) {
        const MetaPrimitive *t = text(r, label);
        ASSERT_NE(t, nullptr) << label;
        const Gpt p = projected(lat, lon);
        EXPECT_NEAR(t->rec.pts[0].x, p.x, 1e-4) << label;
        EXPECT_NEAR(t->rec.pts[0].y, p.y, 1e-4) << label;
    }
    EXPECT_NE(text(r, "Temps"), nullptr);

    // The range circle: 49 points 100 nautical miles (185.2 km) from the
    // centre; the offsets are taken in degrees of the tangent plane, within a
    // kilometre of the great-circle distance at this radius.
    const MetaPrimitive *circle = nullptr;
    for (const MetaPrimitive *m : of_kind(r, "PL"))
        if (m->rec.pts.size() == 49) circle = m;
    ASSERT_NE(circle, nullptr);
    Domain d;
    ASSERT_EQ(DOM_decode(DOMAIN, &d), 1);
    MAP_domain(&d);
    std::string input;
    for (const zeqtest::MetaPoint &p : circle->rec.pts) {
        float lat = 0, lon = 0;
        MAP_untran(static_cast<float>(p.x), static_cast<float>(p.y), &lat, &lon);
        input += "40 -100 " + std::to_string(lat) + " " + std::to_string(lon) + "\n";
    }
    write_file(dir.file("geod.in"), input);
    if (std::system("command -v geod >/dev/null 2>&1") != 0) FAIL() << "geod is missing: install proj-bin";
    const std::string out =
        zeqtest::run_command("geod +a=6371000 +b=6371000 -I +units=km -f %.4f < " + dir.file("geod.in"));
    int n = 0;
    for (const std::string &line : zeqtest::text_lines(out)) {
        double az1 = 0, az2 = 0, dist = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf", &az1, &az2, &dist), 3);
        EXPECT_NEAR(dist, 185.2, 1.0) << line;
        ++n;
    }
    EXPECT_EQ(n, 49);

    // The corners of the map, at the out4 message kind.
    EXPECT_NE(r.child.out.find("Up  Left:  -10.000, -47.439 Lat:"), std::string::npos) << r.child.out;
    EXPECT_NE(r.child.out.find("Low Rght:   10.000, -63.439 Lat:"), std::string::npos) << r.child.out;
}

// Only a label item and stat_prior: the station database is plotted and the
// label reads with blanks for underscores. A file that is no point data is
// plotted all the same, with a warning.
TEST(MapPlot, LabelOnlyListPlotsStations) {
    TempDir dir;
    const MapRun r = run_map_plot(dir, {"-pd", DOMAIN, "-pr", "3", "ul:Test_map"});
    ASSERT_EQ(r.child.status, 0) << r.child.out << r.child.err;
    EXPECT_NE(text(r, "Test map"), nullptr);
    const MetaPrimitive *kden = text(r, "KDEN");
    ASSERT_NE(kden, nullptr);
    const Gpt p = projected(39.85f, -104.65f);
    EXPECT_NEAR(kden->rec.pts[0].x, p.x, 1e-3);

    TempDir other;
    write_file(other.file("notes.txt"), "KDEN 39.85 -104.65 42\n");
    const MapRun w = run_map_plot(other, {"-pd", DOMAIN, "-pr", "3", "ul:Test_map", "notes.txt"});
    ASSERT_EQ(w.child.status, 0) << w.child.out << w.child.err;
    EXPECT_NE(w.child.err.find("File may not be in raw format, trying anyway!\n"), std::string::npos);
    EXPECT_EQ(text(w, "KDEN"), nullptr);
    ASSERT_NE(text(w, "42"), nullptr);
}

// A diagram of projection 22 opens with margins 0.06 and 0.05 at the sides
// and aspect 1.5.
TEST(MapPlot, DiagramMargins) {
    TempDir dir;
    const MapRun r = run_map_plot(dir, {"-pd", "xlogy,0,500,100,50,10,10"});
    ASSERT_EQ(r.child.status, 0) << r.child.out << r.child.err;
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    const std::size_t at = r.child.out.find("view ");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(std::sscanf(r.child.out.c_str() + at, "view %lf %lf %lf %lf", &x0, &x1, &y0, &y1), 4);
    EXPECT_NEAR(x0, 0.06, 1e-5);
    EXPECT_NEAR(x1, 0.95, 1e-5);
    EXPECT_NEAR((x1 - x0) / (y1 - y0), 1.5, 1e-3);
}

} // namespace
