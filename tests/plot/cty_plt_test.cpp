// The station map overlay, drawn by the plotting test driver on a polar
// stereographic map into a text metafile: the priority filter, the label
// options, the zero-count filter, the identifier entries that move, relabel
// or add points, the priority colours and the marker. The stations are
// those of the test station file and one station with a WMO number below
// 10000.
#include "plot/cty_plt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "support/child.h"
#include "support/metafile.h"
#include "support/plot_driver.h"

namespace {

using zeqtest::MetaPrimitive;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

constexpr const char *DOMAIN = "ps,40,-105,21,17,1";

// One point the overlay should draw: its label, where, and its colour (-1:
// not checked).
struct Want {
    std::string label;
    float lat, lon;
    int colour = -1;
};

struct Overlay {
    zeqtest::ChildResult child;
    std::vector<MetaPrimitive> drawn;
};

// The test station file with a station whose WMO number has a leading zero.
std::string station_file(const TempDir &dir) {
    const std::string name = dir.file("stations.cty");
    write_file(name, read_file(ZEQ_TEST_DATA "/sao_test.cty") +
                         "London_Heathrow      -- GB EGLL      1   51.4775   -0.4614   25 03772 7\n");
    return name;
}

Overlay run_overlay(std::vector<std::string> args) {
    Overlay o;
    TempDir dir;
    args.insert(args.begin(), {"-de", "meta,out.meta", "-pd", DOMAIN, "-cf", station_file(dir)});
    o.child = zeqtest::run_plot_driver(dir.path(), "stations", args);
    o.drawn = zeqtest::meta_primitives(zeqtest::meta_records(read_file(dir.file("out.meta"))));
    return o;
}

// The stations of the file with priority number 3 or less, in file order.
const std::vector<Want> LEVEL3 = {
    {"KDEN", 39.85f, -104.65f},       {"KCOS", 38.8167f, -104.7167f}, {"KAPA", 39.5667f, -104.85f},
    {"KGJT", 39.1333f, -108.5333f},   {"KCYS", 41.15f, -104.8f},      {"KORD", 41.9833f, -87.9167f},
    {"W-72530", 41.9833f, -87.9167f}, {"CYYC", 51.1167f, -114.0167f}, {"EGLL", 51.4775f, -0.4614f},
};

// The texts (or markers) drawn, compared with the wanted points: labels and
// colours in order, positions projected here.
void expect_points(const Overlay &o, const std::vector<Want> &want, const std::string &kind = "TE") {
    ASSERT_EQ(o.child.status, 0) << o.child.out << o.child.err;
    EXPECT_NE(o.child.out.find("CTY_plot 0\n"), std::string::npos) << o.child.out;
    Domain d;
    ASSERT_EQ(DOM_decode(DOMAIN, &d), 1);
    MAP_domain(&d);
    std::vector<const MetaPrimitive *> got;
    std::string shown;
    for (const MetaPrimitive &m : o.drawn) {
        if (m.rec.key != "TE" && m.rec.key != "PM") continue;
        got.push_back(&m);
        shown += m.rec.key + " " + m.rec.text + " @" + std::to_string(m.color) + "\n";
    }
    ASSERT_EQ(got.size(), want.size()) << shown;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const MetaPrimitive &m = *got[i];
        EXPECT_EQ(m.rec.key, kind) << i;
        if (kind == "TE") {
            EXPECT_EQ(m.rec.text, want[i].label) << shown;
        }
        float x = 0, y = 0;
        MAP_tran(want[i].lat, want[i].lon, &x, &y);
        EXPECT_NEAR(m.rec.pts[0].x, x, 1e-3) << want[i].label;
        EXPECT_NEAR(m.rec.pts[0].y, y, 1e-3) << want[i].label;
        if (want[i].colour >= 0) {
            EXPECT_EQ(m.color, want[i].colour) << want[i].label;
        }
    }
}

// At the level this map gives (3) a station of priority number 4 is left
// out; stat_prior 4 lets it in. Labels are the identifiers.
TEST(StationOverlay, PriorityLevel) {
    expect_points(run_overlay({}), LEVEL3);
    std::vector<Want> level4 = LEVEL3;
    level4.insert(level4.begin() + 3, {"KBJC", 39.9167f, -105.1167f});
    level4.insert(level4.begin() + 6, {"KLAR", 41.3167f, -105.6667f});
    expect_points(run_overlay({"-pr", "4"}), level4);
    // "id" is the default label.
    expect_points(run_overlay({"-pp", "id"}), LEVEL3);
}

// 'wmo': five digits with leading zeros (99999 for stations without one);
// 'num': the count; 'nzero': stations whose count is 0 are left out.
TEST(StationOverlay, LabelOptions) {
    const char *wmo[] = {"72565", "99999", "99999", "99999", "99999", "99999", "72530", "99999", "03772"};
    const char *num[] = {"3", "5", "41", "17", "12", "42", "0", "0", "7"};
    std::vector<Want> by_wmo = LEVEL3, by_num = LEVEL3, nonzero;
    for (std::size_t i = 0; i < LEVEL3.size(); ++i) {
        by_wmo[i].label = wmo[i];
        by_num[i].label = num[i];
        if (std::string(num[i]) != "0") nonzero.push_back(LEVEL3[i]);
    }
    expect_points(run_overlay({"-pp", "WMO"}), by_wmo);
    expect_points(run_overlay({"-pp", "fill:5,num,lab"}), by_num);
    expect_points(run_overlay({"-pp", "nzero"}), nonzero);
    expect_points(run_overlay({"-pp", "nzero:0"}), LEVEL3);
}

// Identifier entries: "SEL:LAT:LON:LABEL" moves and relabels the first
// station SEL selects, "SEL:LABEL" relabels it in place; an entry with a
// position that selects no station is a point of its own, labelled with
// its label or selection; a label alone without a station draws nothing.
// Stations no entry selects are left out.
TEST(StationOverlay, IdentifierEntries) {
    expect_points(run_overlay({"-id", "KDEN:40.0:-105.5:Home_Base,XXXX:41:-100:Marker_A,XXXX:41:-100,"
                                      "XXXX:Label,KCOS:Airport"}),
                  {{"Home Base", 40.0f, -105.5f},
                   {"Airport", 38.8167f, -104.7167f},
                   {"Marker A", 41, -100},
                   {"XXXX", 41, -100}});
    // The part after the first ':' is never a selection: 'ST=CO:P<3' selects
    // the Colorado stations and labels the first one 'P<3'.
    expect_points(run_overlay({"-id", "ST=CO:P<3"}), {{"P<3", 39.85f, -104.65f},
                                                      {"KCOS", 38.8167f, -104.7167f},
                                                      {"KAPA", 39.5667f, -104.85f},
                                                      {"KGJT", 39.1333f, -108.5333f}});
}

// A latitude without a longitude is a label (the station stays where it
// is; without a station nothing is drawn); a long label is cut to 39
// characters.
TEST(StationOverlay, IdentifierLabels) {
    const std::string lng(60, 'L');
    expect_points(
        run_overlay({"-id", "KDEN:40.5,KCOS:41:-100:" + lng + ",XXXX:42,YYYY:39:-99:" + lng}),
        {{"40.5", 39.85f, -104.65f}, {std::string(39, 'L'), 41, -100}, {std::string(39, 'L'), 39, -99}});
}

// color_fill: priority number n takes the n-th colour (red 2, blue 4 and
// cyan 5 of the colour table); points of their own take the base colour
// (color_data, default green 3), not that of the station drawn before them.
TEST(StationOverlay, PriorityColours) {
    std::vector<Want> want = LEVEL3;
    const int colours[] = {2, 4, 5, 5, 4, 2, 5, 5, 2};
    for (std::size_t i = 0; i < want.size(); ++i)
        want[i].colour = colours[i];
    expect_points(run_overlay({"-cof", "red,blue,cyan"}), want);
    expect_points(run_overlay({"-cof", "red,blue,cyan", "-id", "KCOS,XXXX:41:-100:Marker_A"}),
                  {{"KCOS", 38.8167f, -104.7167f, 4}, {"Marker A", 41, -100, 3}});
    expect_points(run_overlay({"-cod", "magenta", "-id", "KCOS,XXXX:41:-100:Marker_A"}),
                  {{"KCOS", 38.8167f, -104.7167f, 6}, {"Marker A", 41, -100, 6}});
}

// "mark": a marker in place of each label; city_file "none": nothing.
TEST(StationOverlay, MarkerAndNoFile) {
    const Overlay o = run_overlay({"-pp", "mark:plus", "-id", "KDEN,KCOS"});
    expect_points(o, {{"", 39.85f, -104.65f}, {"", 38.8167f, -104.7167f}}, "PM");
    for (const MetaPrimitive &m : o.drawn)
        if (m.rec.key == "PM") {
            EXPECT_EQ(m.marker, 2);
        }

    TempDir dir;
    const zeqtest::ChildResult r = zeqtest::run_plot_driver(
        dir.path(), "stations", {"-de", "meta,out.meta", "-pd", DOMAIN, "-cf", "none"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("CTY_plot 0\n"), std::string::npos);
    for (const MetaPrimitive &m :
         zeqtest::meta_primitives(zeqtest::meta_records(read_file(dir.file("out.meta")))))
        ADD_FAILURE() << m.rec.key << " " << m.rec.text;
}

} // namespace
