// Point plotting: the plot_format tokens, the value texts, and what each item
// kind leaves in a text metafile (positions, offsets, sizes, colours by
// value, ranges, lines, switches); then the plotting test driver's point
// items on a map, read back from a metafile and from PostScript that
// ghostscript renders.
#include "plot/raw_plt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../graphics/render.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_tran.h"
#include "plot/cont.h"
#include "plot/raw_tool.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/metafile.h"
#include "support/plot_driver.h"

namespace {

using zeqtest::MetaPrimitive;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

// ---- The plot_format language -------------------------------------------------------------

struct Parsed {
    int result;
    RAW_attribs a;
};

Parsed parse(const char *format) {
    Parsed p{};
    RAW_init_attrib(&p.a);
    p.result = RAW_parse_format(&p.a, format);
    return p;
}

// Position words and "xy=" set the offset (fractions of the map height), the
// horizontal alignment from the table or the sign of x, and half height;
// "ta=" sets the alignment alone.
TEST(PlotFormat, PositionsAndAlignment) {
    const struct {
        const char *format;
        float x, y;
        int hor, vert;
    } cases[] = {
        {"ur", 0.012f, 0.02f, 1, 3},
        {"CL", -0.012f, 0, 3, 3},
        {"cr", 0.012f, 0, 1, 3},
        {"lc", 0, -0.02f, 2, 3},
        {"Tl", -0.012f, 0.012f, 3, 3},
        {"xy=2 -1", 0.024f, -0.02f, 1, 3},
        {"xy=-1+2", -0.012f, 0.04f, 3, 3},
        {"xy=0 1", 0, 0.02f, 2, 3},
        {"ta=rb", 0, 0, 3, 5},
        {"TA=LT", 0, 0, 1, 1},
        {"ta=xs", 0, 0, 2, 4},
        {"ta=c", 0, 0, 2, 3},
        {"ta=lc:ur", 0.012f, 0.02f, 1, 3},
        {"xy=5", 0, 0, 2, 3}, // one number: not an offset
    };
    for (const auto &c : cases) {
        const Parsed p = parse(c.format);
        EXPECT_EQ(p.result, 0) << c.format;
        EXPECT_FLOAT_EQ(p.a.x, c.x) << c.format;
        EXPECT_FLOAT_EQ(p.a.y, c.y) << c.format;
        EXPECT_EQ(p.a.hor, c.hor) << c.format;
        EXPECT_EQ(p.a.vert, c.vert) << c.format;
    }
}

// The result is the last plot type named, 2 after a number format; number
// formats are kept as given; keys are matched on three characters in any
// case; what matches nothing is ignored.
TEST(PlotFormat, TypesFormatsAndKeys) {
    const struct {
        const char *format;
        int result;
        const char *number;
    } types[] = {
        {"value:ur:%.1f", 2, "%.1f"},
        {"%z.1f:cbarb", 33, "%z.1f"},
        {"barb:FM=%5.2f", 2, "%5.2f"},
        {"text", 3, ""},
        {"wx", 36, ""},
        {"nonsense:zz=1:xy", 0, ""},
        {"", 0, ""},
        {"line:symb", 36, ""},
    };
    for (const auto &c : types) {
        const Parsed p = parse(c.format);
        EXPECT_EQ(p.result, c.result) << c.format;
        EXPECT_STREQ(p.a.format, c.number) << c.format;
    }

    Parsed p = parse("sc=2.5:hi=0.5:wi=2:te=1.5:tx=HELLO:mn=-5:MX=30:sk=3:sf=my.smb");
    EXPECT_FLOAT_EQ(p.a.scale, 2.5f);
    EXPECT_FLOAT_EQ(p.a.attrib.height, 0.5f);
    EXPECT_FLOAT_EQ(p.a.attrib.width, 2);
    EXPECT_FLOAT_EQ(p.a.attrib.expan, 1.5f);
    EXPECT_STREQ(p.a.text, "HELLO");
    EXPECT_FLOAT_EQ(p.a.min, -5);
    EXPECT_FLOAT_EQ(p.a.max, 30);
    EXPECT_EQ(p.a.skip, 3);
    EXPECT_STREQ(p.a.symbol, "my.smb");
    // A text longer than the field is cut, not written past it.
    EXPECT_STREQ(parse("tx=ABCDEFGHIJKLMNOP").a.text, "ABCDEFGHI");
    EXPECT_EQ(std::string(parse(("fm=%" + std::string(80, '9') + "f").c_str()).a.format).size(), 59u);

    // The scale stays between 0.01 and 1000.
    for (const char *s : {"sc=0.001", "sc=5000", "sc=abc"})
        EXPECT_FLOAT_EQ(parse(s).a.scale, 1) << s;

    // "mk=" knows the marker words, else a number.
    const struct {
        const char *format;
        int marker;
    } marks[] = {{"mk=plus", 2}, {"MK=Circle", 4}, {"mk=dot", 8}, {"mk=itri", 9}, {"mk=sqr", 6},
                 {"mk=+", 0},    {"mk=x", 0},      {"mk=o", 0},   {"mk=7", 7}};
    for (const auto &m : marks)
        EXPECT_EQ(parse(m.format).a.marker, m.marker) << m.format;
}

// "co=" and "rs=" need the colour table; "rs=" merges the set fields of a
// resource that exists and leaves the rest.
TEST(PlotFormat, ColourAndResourceAttributes) {
    CLR_read_table(nullptr);
    RES_put("my_attr", "blue:wi=3");
    Parsed p = parse("co=red");
    EXPECT_EQ(p.a.attrib.color, CLR_get_ind("red"));
    p = parse("hi=2:rs=my_attr");
    EXPECT_EQ(p.a.attrib.color, CLR_get_ind("blue"));
    EXPECT_FLOAT_EQ(p.a.attrib.width, 3);
    EXPECT_FLOAT_EQ(p.a.attrib.height, 2);
    p = parse("co=red:rs=no_such_resource");
    EXPECT_EQ(p.a.attrib.color, CLR_get_ind("red"));
    EXPECT_EQ(p.a.attrib.width, FMISSING);
}

// ---- Value texts ----------------------------------------------------------------------------

TEST(ItemText, DataToString) {
    const struct {
        int type;
        float v0, v1;
        const char *text;
        const char *format;
        const char *want;
    } cases[] = {
        {1, 3.4f, FMISSING, "KDEN", "", "KDEN"},
        {1, 3.6f, FMISSING, "", "", "4"},
        {1, FMISSING, FMISSING, "", "", ""},
        {2, 12.34f, FMISSING, "x", "%.1f", "12.3"},
        {2, FMISSING, FMISSING, "x", "", ""},
        {2, 0.45f, FMISSING, "", "%z.1f", ".5"},
        {5, 7.9f, FMISSING, "", "", "7"},
        {5, -7.9f, FMISSING, "", "%03d", "-07"},
        {5, 3e12f, FMISSING, "", "", ""},
        {3, 5, FMISSING, "txt", "", "txt"},
        {36, 5, FMISSING, "RA", "", "RA"},
        {33, 270.4f, 15.6f, "", "", "270-16"},
        {23, 270, 15, "", "", ""},
        {40, 1, FMISSING, "c", "", ""},
    };
    for (const auto &c : cases) {
        RAW_data d;
        RAW_set(&d, 0, 0, c.type, "", c.text, c.v0, c.v1);
        RAW_set_format(c.format);
        char buf[40] = "stale";
        EXPECT_EQ(RAW_data_to_string(buf, sizeof buf, &d), 0);
        EXPECT_STREQ(buf, c.want) << "type " << c.type << " " << c.format;
    }
    // The caller's size bounds the text.
    RAW_data d;
    RAW_set(&d, 0, 0, 3, nullptr, "ABCDEFGH", FMISSING, FMISSING);
    char small[4];
    RAW_data_to_string(small, sizeof small, &d);
    EXPECT_STREQ(small, "ABC");
}

TEST(ItemText, SetAndPrint) {
    RAW_data d;
    d.type = 9;
    EXPECT_EQ(RAW_set(&d, 1.5f, -2, 33, "ur", std::string(60, 'x').c_str(), 270, 15), &d);
    EXPECT_EQ(d.type, 33);
    EXPECT_STREQ(d.format, "ur");
    EXPECT_EQ(std::string(d.data), std::string(39, 'x'));
    EXPECT_EQ(d.attr.color, MISSING);
    testing::internal::CaptureStdout();
    RAW_print(M_PRINT, &d);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Location: 1.500000 -2.000000\nType: 33\nFormat: ur\nData: xxx"), std::string::npos)
        << out;
    EXPECT_NE(out.find("Value: 270.000000\n"), std::string::npos) << out;
}

// ---- Drawing on a metafile --------------------------------------------------------------------

// A latitude-longitude map: plane x = longitude + 105, y = latitude; the
// window is [-5, 5] x [36, 44], so the map height H is 8.
constexpr const char *DOMAIN = "ll,40,-105,21,17,0.5";
constexpr float H = 8;

RAW_data item(int type, float lat, float lon, float v0 = FMISSING, float v1 = FMISSING, const char *text = "",
              const char *format = "") {
    RAW_data d;
    RAW_set(&d, lon + 105, lat, type, format, text, v0, v1);
    return d;
}

struct Plot {
    int init = 0;
    std::vector<int> rc;
    std::vector<MetaPrimitive> drawn;
    std::string err;
};

// In a process of its own (module state, flags and resources start afresh):
// opens a metafile with the map as transformation 2, runs setup (resources,
// switches), starts a point plot with scale 1 and color_data over "green"
// and draws the items.
Plot plot_items(const std::vector<RAW_data> &items, const std::function<void()> &setup = {},
                bool graphics = true) {
    Plot p;
    TempDir dir;
    const zeqtest::ChildResult child = zeqtest::run_child([&] {
        Domain d;
        DOM_decode(DOMAIN, &d);
        MAP_domain(&d);
        MAP_limits lim{};
        MAP_get_limits(&lim);
        const Glim win{lim.x_min, lim.x_max, lim.y_min, lim.y_max};
        if (graphics) {
            gopen_gks(nullptr, 0);
            if (gopen_ws(1, dir.file("plot.meta").c_str(), GWS_META) != 0) return 1;
            CLR_read_table(nullptr);
            gset_win(2, &win);
            gmessage(1, "begin");
        }
        if (setup) setup();
        Gattribs attr;
        ATTRIB_init(&attr);
        ATTRIB_get("color_data", "green", &attr);
        std::string result = std::to_string(RAW_plot_init(&attr, 1));
        for (RAW_data i : items)
            result += " " + std::to_string(RAW_plot_data(&i));
        if (graphics) gclose_ws(1);
        write_file(dir.file("result"), result);
        return 0;
    });
    EXPECT_EQ(child.status, 0) << child.out << child.err;
    p.err = child.err;
    std::istringstream result(read_file(dir.file("result")));
    result >> p.init;
    for (int rc = 0; result >> rc;)
        p.rc.push_back(rc);
    if (!graphics) return p;
    std::vector<zeqtest::MetaRecord> recs = zeqtest::meta_records(read_file(dir.file("plot.meta")));
    std::size_t k = 0;
    while (k < recs.size() && recs[k].key != "ME begin")
        ++k;
    recs.erase(recs.begin(), recs.begin() + static_cast<std::ptrdiff_t>(std::min(k + 1, recs.size())));
    p.drawn = zeqtest::meta_primitives(recs);
    return p;
}

// A primitive in short: "TE x,y text", "PL x0,y0 x1,y1" for a segment, "PL n
// c=x,y r=R" for a longer polyline (its box's centre and half width), "FA n",
// "PM type x,y".
std::string summary(const MetaPrimitive &m) {
    const zeqtest::MetaRecord &r = m.rec;
    char buf[200];
    if (r.key == "TE") {
        std::snprintf(buf, sizeof buf, "TE %.3f,%.3f %s", r.pts[0].x, r.pts[0].y, r.text.c_str());
    } else if (r.key == "PM") {
        std::snprintf(buf, sizeof buf, "PM %d %.3f,%.3f", m.marker, r.pts[0].x, r.pts[0].y);
    } else if (r.key == "PL" && r.pts.size() == 2) {
        std::snprintf(buf, sizeof buf, "PL %.3f,%.3f %.3f,%.3f", r.pts[0].x, r.pts[0].y, r.pts[1].x,
                      r.pts[1].y);
    } else if (r.key == "PL") {
        double x0 = 1e30, x1 = -1e30, y0 = 1e30, y1 = -1e30;
        for (const zeqtest::MetaPoint &q : r.pts) {
            x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
        }
        std::snprintf(buf, sizeof buf, "PL %zu c=%.3f,%.3f r=%.3f", r.pts.size(), (x0 + x1) / 2,
                      (y0 + y1) / 2, (x1 - x0) / 2);
    } else {
        std::snprintf(buf, sizeof buf, "%s %zu", r.key.c_str(), r.pts.size());
    }
    return buf;
}

std::vector<std::string> summaries(const std::vector<MetaPrimitive> &drawn) {
    std::vector<std::string> out;
    for (const MetaPrimitive &m : drawn)
        out.push_back(summary(m));
    return out;
}

std::string joined(const std::vector<std::string> &lines) {
    std::string s;
    for (const std::string &l : lines)
        s += l + "\n";
    return s;
}

// What each kind draws at (40 N, 105 W), the plane point (0, 40); a want
// ending in "..." allows further primitives (the barbs' flags, arrow heads).
TEST(PointDraw, EachKind) {
    const struct {
        RAW_data item;
        std::vector<std::string> want;
    } cases[] = {
        {item(1, 40, -105, 5, FMISSING, "KDEN"), {"TE 0.000,40.000 KDEN"}},
        {item(1, 40, -105, 5), {}}, // data draws its text only
        {item(3, 40, -105, FMISSING, FMISSING, "Home"), {"TE 0.000,40.000 Home"}},
        {item(2, 40, -105, 12.5f), {"TE 0.000,40.000 12"}},
        {item(2, 40, -105, FMISSING, FMISSING, "M"), {"TE 0.000,40.000 M"}},
        {item(2, 40, -105), {}},
        {item(5, 40, -105, 7.9f), {"TE 0.000,40.000 7"}},
        {item(5, 40, -105, -7.9f), {"TE 0.000,40.000 -7"}},
        {item(5, 40, -105), {}}, // a missing whole number is not drawn as -9999
        {item(4, 40, -105, FMISSING, FMISSING, "plus"), {"PM 2 0.000,40.000"}},
        {item(4, 40, -105, FMISSING, FMISSING, "^"), {"PM 7 0.000,40.000"}},
        {item(4, 40, -105, FMISSING, FMISSING, "ITRI"), {"PM 9 0.000,40.000"}},
        {item(4, 40, -105, FMISSING, FMISSING, "3"), {"PM 3 0.000,40.000"}},
        {item(31, 40, -105, FMISSING, FMISSING, "0"), {"PL 13 c=0.000,40.000 r=0.080"}},
        {item(33, 40, -105, 270, 0), {"PL 13 c=0.000,40.000 r=0.104"}},
        {item(33, 40, -105, -10, 15), {}},
        {item(33, 40, -105, 270, 15), {"PL -0.080,40.000 -0.400,40.000", "..."}},
        {item(34, 40, -105, 270, 0), {"PL 13 c=0.000,40.000 r=0.024", "PL 13 c=0.000,40.000 r=0.048"}},
        {item(34, 40, -105, 270, 15),
         {"PL 13 c=0.000,40.000 r=0.024", "PL -0.024,40.000 -0.400,40.000", "..."}},
        {item(34, 40, -105, -10, 15), {"PL 13 c=0.000,40.000 r=0.024"}},
        {item(32, 40, -105, 270, 0), {"PL 13 c=0.000,40.000 r=0.024"}},
        {item(32, 40, -105, 270, 15), {"PL 0.000,40.000 -0.400,40.000", "..."}},
        // An hour's travel at 50 knots: 50 x 1.852 km, in units of 100 km.
        {item(35, 40, -105, 270, 50), {"PL 0.000,40.000 0.926,40.000", "..."}},
        {item(35, 40, -105, 270, 0), {}},
        {item(23, 40, -105, 270, 20), {"PL 0.000,40.000 0.741,40.000", "..."}},
        {item(36, 40, -105, FMISSING, FMISSING, "RA"), {"..."}},
        {item(36, 40, -105, FMISSING, FMISSING, "no-such-symbol"), {}},
        {item(40, 40, -105, 3, 3, "x"), {}},
    };
    for (const auto &c : cases) {
        RAW_data i = c.item;
        const Plot p = plot_items({i});
        const std::vector<std::string> got = summaries(p.drawn);
        const std::string what = "type " + std::to_string(i.type) + " " + i.data + "\n" + joined(got);
        std::vector<std::string> want = c.want;
        const bool more = !want.empty() && want.back() == "...";
        if (more) want.pop_back();
        if (more) {
            ASSERT_GT(got.size(), want.size()) << what;
            EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + static_cast<long>(want.size())),
                      want)
                << what;
        } else {
            EXPECT_EQ(got, want) << what;
        }
        EXPECT_EQ(p.rc, std::vector<int>{0}) << what;
    }
}

// The fixed text, the marker and the line mode of plot_param replace the
// items; a bar runs from the item to its y value; "xy=" and "cl" move the
// drawing point, "mark:cld" draws a sky cover circle.
TEST(PointDraw, PlotParamKeywords) {
    const struct {
        const char *param;
        std::vector<std::string> want;
    } cases[] = {
        {"text:ABC", {"TE 0.000,40.000 ABC", "TE 1.000,41.000 ABC", "TE 2.000,42.000 ABC"}},
        {"mark:plus", {"PM 2 0.000,40.000", "PM 2 1.000,41.000"}}, // the third has no text or value
        {"mark:cld", {"PL 13 c=0.000,40.000 r=0.080", "PL 13 c=1.000,41.000 r=0.080"}},
        {"line", {"PL 0.000,40.000 1.000,41.000", "PL 1.000,41.000 2.000,42.000"}},
        {"ybar500",
         {"PL 0.000,40.000 0.000,500.000", "PL 1.000,41.000 1.000,500.000", "PL 2.000,42.000 2.000,500.000"}},
        {"yba",
         {"PL 0.000,40.000 0.000,0.000", "PL 1.000,41.000 1.000,0.000", "PL 2.000,42.000 2.000,0.000"}},
        {"xy=2:-1", {"TE 0.192,39.840 12", "TE 1.192,40.840 3"}},
        {"cl,skip:4", {"TE -0.120,40.000 12", "TE 0.880,41.000 3"}},
        {"unknown,nothing", {"TE 0.000,40.000 12", "TE 1.000,41.000 3"}},
    };
    for (const auto &c : cases) {
        const Plot p = plot_items({item(2, 40, -105, 12.2f), item(2, 41, -104, 3), item(2, 42, -103)},
                                  [&] { RES_put("plot_param", c.param); });
        EXPECT_EQ(summaries(p.drawn), c.want) << c.param << "\n" << joined(summaries(p.drawn));
    }
}

// "pre" joins the previous item to this one; "post" asks for the line to the
// next item, drawn before that item; any other line item runs to the point
// of its two values, or to the previous item.
TEST(PointDraw, Lines) {
    Plot p = plot_items(
        {item(3, 40, -105, FMISSING, FMISSING, "A"), item(37, 41, -106, FMISSING, FMISSING, "post"),
         item(3, 41, -103, FMISSING, FMISSING, "B"), item(37, 42, -103, FMISSING, FMISSING, "PRE"),
         item(37, 38, -104, 37, -103, "to"), item(37, 39, -102, 36, FMISSING, "back")});
    EXPECT_EQ(summaries(p.drawn), (std::vector<std::string>{
                                      "TE 0.000,40.000 A",
                                      "PL -1.000,41.000 2.000,41.000",
                                      "TE 2.000,41.000 B",
                                      "PL 2.000,41.000 2.000,42.000",
                                      "PL 1.000,38.000 2.000,37.000",
                                      "PL 3.000,39.000 1.000,38.000",
                                  }))
        << joined(summaries(p.drawn));

    // The first line items have no previous point to join.
    p = plot_items(
        {item(37, 40, -105, FMISSING, FMISSING, "pre"), item(37, 41, -104, FMISSING, FMISSING, "x")});
    EXPECT_EQ(summaries(p.drawn), std::vector<std::string>{"PL 1.000,41.000 0.000,40.000"});
    p = plot_items({item(37, 40, -105, FMISSING, FMISSING, "pre")});
    EXPECT_TRUE(p.drawn.empty()) << joined(summaries(p.drawn));
}

// Colour by value: with an interval (con_interval) or a level list the band
// of value[0], of the speed for the wind kinds; the item's own colour is
// overridden by the band; con_base '>' hides smaller values and starts the
// bands, '<' hides larger ones; mn= and mx= of a format hide too.
TEST(PointDraw, ColourByValueAndRange) {
    const auto colours = [](const Plot &p) {
        std::vector<int> c;
        for (const MetaPrimitive &m : p.drawn)
            c.push_back(m.color);
        return c;
    };
    const int red = 2, blue = 4, cyan = 5, green = 3;
    RAW_data own = item(2, 40, -104, 25);
    own.attr.color = 7;
    Plot p = plot_items(
        {item(2, 40, -105, 5), own, item(2, 40, -103, 12), item(3, 40, -102, FMISSING, FMISSING, "t")}, [] {
            RES_put("con_interval", "10");
            RES_put("color_fill", "red,blue,cyan");
        });
    EXPECT_EQ(colours(p), (std::vector<int>{red, cyan, blue, blue})) << joined(summaries(p.drawn));

    p = plot_items(
        {item(2, 40, -105, 5), item(2, 40, -104, 12), item(2, 40, -103, 25), item(2, 40, -102, 35)}, [] {
            RES_put("con_interval", "10");
            RES_put("con_base", ">10");
            RES_put("color_fill", "red,blue,cyan");
        });
    EXPECT_EQ(p.rc, (std::vector<int>{-1, 0, 0, 0}));
    EXPECT_EQ(colours(p), (std::vector<int>{red, blue, cyan}));

    p = plot_items(
        {item(2, 40, -105, 5), item(2, 40, -104, 12), item(2, 40, -103, 25), item(2, 40, -102, 35)}, [] {
            RES_put("con_interval", "10");
            RES_put("con_base", "<30");
            RES_put("color_fill", "red,blue,cyan");
        });
    EXPECT_EQ(p.rc, (std::vector<int>{0, 0, 0, -1}));
    EXPECT_EQ(colours(p), (std::vector<int>{red, blue, cyan}));

    // A base alone moves the bands; the wind kinds take the band of the speed.
    p = plot_items({item(2, 40, -105, 7), item(32, 40, -104, 5, 14)}, [] {
        RES_put("con_interval", "10");
        RES_put("con_base", "-3");
        RES_put("color_fill", "red,blue,cyan");
    });
    EXPECT_EQ(colours(p).front(), blue);
    EXPECT_EQ(colours(p).back(), blue);

    // Levels of the colour list colour without an interval.
    p = plot_items({item(2, 40, -105, 15), item(2, 40, -104, 25)},
                   [] { RES_put("color_fill", "0:red,10:blue,20:cyan"); });
    EXPECT_EQ(colours(p), (std::vector<int>{blue, cyan}));

    // No levels: color_data, else green; the item's own colour.
    RAW_data mine = item(2, 40, -104, 25);
    mine.attr.color = 7;
    p = plot_items({item(2, 40, -105, 5), mine});
    EXPECT_EQ(colours(p), (std::vector<int>{green, 7}));

    p = plot_items({item(2, 40, -105, 5, FMISSING, "", "mn=6"), item(2, 40, -104, 50, FMISSING, "", "mx=40"),
                    item(2, 40, -103, FMISSING, FMISSING, "M", "mn=6")});
    EXPECT_EQ(p.rc, (std::vector<int>{0, 0, 0})) << "a format's range applies after the range test";
}

// The range of the base attributes hides items; a missing value is never
// outside it.
TEST(PointDraw, BaseRange) {
    const Plot p = plot_items({item(2, 40, -105, 5), item(2, 40, -104, 50), item(2, 40, -103, 20),
                               item(2, 40, -102, FMISSING, FMISSING, "M")},
                              [] { RES_put("plot_format", "mn=6:mx=40"); });
    EXPECT_EQ(p.rc, (std::vector<int>{-1, -1, 0, 0}));
    EXPECT_EQ(summaries(p.drawn), (std::vector<std::string>{"TE 2.000,40.000 20", "TE 3.000,40.000 M"}));
}

// Text height: 0.018 of the map height times the scale, times a set height;
// sc= of an item scales its offset and size.
TEST(PointDraw, SizesAndScale) {
    const Plot p = plot_items({item(2, 40, -105, 1), item(2, 40, -104, 2, FMISSING, "", "ur:sc=2"),
                               item(2, 40, -103, 3, FMISSING, "", "hi=0.5")});
    ASSERT_EQ(p.drawn.size(), 3u);
    EXPECT_NEAR(p.drawn[0].height, 0.018 * H, 1e-5);
    EXPECT_NEAR(p.drawn[1].height, 2 * 0.018 * H, 1e-5);
    EXPECT_NEAR(p.drawn[1].rec.pts[0].x, 1 + 2 * 0.012 * H, 1e-5);
    EXPECT_NEAR(p.drawn[1].rec.pts[0].y, 40 + 2 * 0.02 * H, 1e-5);
    EXPECT_EQ(p.drawn[1].hor, 1);
    EXPECT_NEAR(p.drawn[2].height, 0.5 * 0.018 * H, 1e-5);
    EXPECT_EQ(p.drawn[2].hor, 2);
}

// Formats that printf cannot take safely draw by the default and warn once.
TEST(PointDraw, BadFormats) {
    const Plot p =
        plot_items({item(2, 40, -105, 12.6f, FMISSING, "", "%s"), item(2, 40, -104, 1, FMISSING, "", "%s"),
                    item(5, 40, -103, 7, FMISSING, "", "%n"), item(2, 40, -102, 2, FMISSING, "", "fm=%%")});
    EXPECT_EQ(summaries(p.drawn), (std::vector<std::string>{"TE 0.000,40.000 13", "TE 1.000,40.000 1",
                                                            "TE 2.000,40.000 7", "TE 3.000,40.000 2"}));
    std::size_t n = 0;
    for (std::size_t at = p.err.find("RAW_plot_data: Bad number format: %s\n"); at != std::string::npos;
         at = p.err.find("RAW_plot_data: Bad number format: %s\n", at + 1))
        ++n;
    EXPECT_EQ(n, 1u) << p.err;
    EXPECT_NE(p.err.find("Bad number format: %n"), std::string::npos) << p.err;
}

// Switched off: plot type 99 or everything off stops RAW_plot_init, data off
// or plot type 99 stops RAW_plot_data; without graphics there is no plot.
TEST(PointDraw, Switches) {
    Plot p = plot_items({item(2, 40, -105, 5)}, [] { FLAG_set(FLAG_PLOT_TYPE, 99); });
    EXPECT_EQ(p.init, -1);
    EXPECT_EQ(p.rc, std::vector<int>{-1});
    EXPECT_TRUE(p.drawn.empty());
    p = plot_items({item(2, 40, -105, 5)}, [] { FLAG_setplot(7, 0); });
    EXPECT_EQ(p.init, 0);
    EXPECT_EQ(p.rc, std::vector<int>{-1});
    EXPECT_TRUE(p.drawn.empty());
    p = plot_items({}, [] { FLAG_set_draw("none"); });
    EXPECT_EQ(p.init, -1);
    p = plot_items({}, {}, false);
    EXPECT_EQ(p.init, -1);
    EXPECT_EQ(p.err, "");
}

// Setters of the base (interval, range, marker) and of the current item.
TEST(PointDraw, Setters) {
    RAW_set_intrvl(5);
    EXPECT_FLOAT_EQ(RAW_get_intrvl(), 5);
    RAW_set_range(30, 10);
    float mx = 0, mn = 0;
    RAW_get_range(&mx, &mn);
    EXPECT_FLOAT_EQ(mx, 30);
    EXPECT_FLOAT_EQ(mn, 10);
    RAW_set_scale(3);
    EXPECT_FLOAT_EQ(RAW_get_scale(), 3);
    RAW_set_format("%5.1f");
    EXPECT_STREQ(RAW_get_format(), "%5.1f");
    RAW_set_format(std::string(100, 'f').c_str());
    EXPECT_EQ(std::string(RAW_get_format()).size(), 59u);
}

// ---- The plotting test driver --------------------------------------------------------------

// A polar stereographic map around 40 N 105 W: 21 x 17 points 100 km apart,
// so the map is 16 plane units high.
constexpr const char *PS_DOMAIN = "ps,40,-105,21,17,1";
constexpr double MAP_H = 16;

struct DriverItem {
    int rc;
    double x, y;
    std::string text;
};

struct DriverRun {
    zeqtest::ChildResult child;
    std::vector<DriverItem> items;
    std::vector<MetaPrimitive> drawn; // metafile runs
    std::string ps;                   // PostScript runs
};

// Runs the driver's points entry on the items (one line each) with the
// device and resource arguments.
DriverRun run_points(const std::string &items, const std::string &device, std::vector<std::string> args,
                     const std::string &options = "") {
    DriverRun run;
    TempDir dir;
    write_file(dir.file("items.txt"), items);
    args.insert(args.begin(), {"-de", device + ",out" + options, "-pd", PS_DOMAIN});
    args.push_back("items.txt");
    run.child = zeqtest::run_plot_driver(dir.path(), "points", args);
    std::istringstream out(run.child.out);
    std::string line;
    while (std::getline(out, line)) {
        DriverItem i{};
        char text[100] = "";
        int n = 0;
        if (std::sscanf(line.c_str(), "item %d %d %lf %lf %99s", &n, &i.rc, &i.x, &i.y, text) >= 4) {
            i.text = text;
            run.items.push_back(i);
        }
    }
    const std::string file = read_file(dir.file("out"));
    if (device == "meta")
        run.drawn = zeqtest::meta_primitives(zeqtest::meta_records(file));
    else
        run.ps = file;
    return run;
}

std::vector<MetaPrimitive> texts(const std::vector<MetaPrimitive> &drawn) {
    std::vector<MetaPrimitive> out;
    for (const MetaPrimitive &m : drawn)
        if (m.rec.key == "TE") out.push_back(m);
    return out;
}

// Offsets and alignment of position words, as plot_format (resource or
// item format) and as plot_param: x and y as fractions of the map height
// away from the station, the text left-aligned to the right of it.
TEST(PointDriver, OffsetsAndAlignment) {
    const std::string items = "value 40 -105 12.34 - - -\n"
                              "2 38 -100 -3.06 - - -\n"
                              "data 41 -110 - - KDEN value:ur:%.1f\n";
    const struct {
        std::vector<std::string> args;
        double dx, dy; // offset of the first two items
        int hor;
        const char *first;
    } cases[] = {
        {{"-fm", "value:ur:%.1f"}, 0.012, 0.02, 1, "12.3"},
        {{"-pp", "ur"}, 0.012, 0.02, 1, "12"},
        {{"-pp", "cr"}, 0.015, 0, 1, "12"},
        {{"-fm", "cr"}, 0.012, 0, 1, "12"},
        {{"-pp", "cl"}, -0.015, 0, 3, "12"},
        {{"-fm", "ul:sc=2"}, -0.024, 0.04, 3, "12"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const DriverRun run = run_points(items, "meta", c.args);
        ASSERT_EQ(run.child.status, 0) << run.child.out << run.child.err;
        ASSERT_EQ(run.items.size(), 3u) << run.child.out;
        const std::vector<MetaPrimitive> t = texts(run.drawn);
        ASSERT_EQ(t.size(), 3u) << run.child.out;
        for (int k = 0; k < 2; ++k) {
            EXPECT_NEAR(t[k].rec.pts[0].x, run.items[k].x + c.dx * MAP_H, 1e-4);
            EXPECT_NEAR(t[k].rec.pts[0].y, run.items[k].y + c.dy * MAP_H, 1e-4);
            EXPECT_EQ(t[k].hor, c.hor);
            EXPECT_EQ(t[k].vert, 3);
        }
        EXPECT_EQ(t[0].rec.text, c.first);
        // The item's own format: upper right with one decimal, whatever the base.
        EXPECT_EQ(t[2].rec.text, "KDEN");
        EXPECT_NEAR(t[2].rec.pts[0].x - run.items[2].x, 0.012 * MAP_H * (c.args[1] == "ul:sc=2" ? 2 : 1),
                    1e-4);
        EXPECT_EQ(t[2].hor, 1);
    }
}

// Every case of the list on one map, written as a metafile and as colour
// PostScript: '%z.1f' values, an int, con_base '>10' with three colour
// bands, a calm and a backwards cbarb, a "post" line. The PostScript's text
// comments carry the metafile's positions and texts; ghostscript renders the
// page with the band colours.
TEST(PointDriver, ItemsOnPostScript) {
    if (!gkstest::have_gs()) return;
    const std::string items = "value 40 -105 0.45 - - %z.1f\n"
                              "value 40 -103 -0.45 - - %z.1f\n"
                              "value 40 -101 12.3 - - %z.1f\n"
                              "5 38 -105 7.9 - - -\n"
                              "value 38 -103 8 - - -\n"
                              "value 38 -101 25 - - -\n"
                              "cbarb 42 -105 270 0 - -\n"
                              "cbarb 42 -103 -10 15 - -\n"
                              "line 42 -101 - - post -\n"
                              "value 36 -108 36 - - -\n";
    const std::vector<std::string> args = {"-cb", ">10", "-in", "10", "-cof", "red,blue,cyan,green"};
    const DriverRun meta = run_points(items, "meta", args);
    ASSERT_EQ(meta.child.status, 0) << meta.child.out << meta.child.err;
    ASSERT_EQ(meta.items.size(), 10u) << meta.child.out;
    std::vector<int> rc;
    for (const DriverItem &i : meta.items)
        rc.push_back(i.rc);
    // Values below 10 are hidden; the range tests value[0], the direction of
    // a barb.
    EXPECT_EQ(rc, (std::vector<int>{-1, -1, 0, -1, -1, 0, 0, -1, 0, 0}));

    const std::vector<MetaPrimitive> t = texts(meta.drawn);
    std::vector<std::string> got;
    for (const MetaPrimitive &m : t)
        got.push_back(m.rec.text);
    EXPECT_EQ(got, (std::vector<std::string>{"12.3", "25", "36"}));
    EXPECT_EQ(meta.items[2].text, "12.3");

    // Without the range, '%z.1f' and the int.
    const DriverRun plain = run_points(items, "meta", {});
    got.clear();
    for (const MetaPrimitive &m : texts(plain.drawn))
        got.push_back(m.rec.text);
    EXPECT_EQ(got, (std::vector<std::string>{".5", "-.5", "12.3", "7", "8", "25", "36"}));

    // The calm circle (radius 0.013 H) is all the two cbarbs draw; the "post"
    // line runs from its item to the next one.
    for (const DriverItem &i : plain.items)
        EXPECT_EQ(i.rc, 0);
    std::vector<const MetaPrimitive *> lines;
    for (const MetaPrimitive &m : plain.drawn)
        if (m.rec.key == "PL") lines.push_back(&m);
    ASSERT_EQ(lines.size(), 2u);
    double x0 = 1e9, x1 = -1e9;
    for (const zeqtest::MetaPoint &q : lines[0]->rec.pts)
        x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
    EXPECT_NEAR((x1 - x0) / 2, 0.013 * MAP_H, 1e-4);
    EXPECT_NEAR((x1 + x0) / 2, plain.items[6].x, 1e-4);
    ASSERT_EQ(lines[1]->rec.pts.size(), 2u);
    EXPECT_NEAR(lines[1]->rec.pts[0].x, plain.items[8].x, 1e-4);
    EXPECT_NEAR(lines[1]->rec.pts[0].y, plain.items[8].y, 1e-4);
    EXPECT_NEAR(lines[1]->rec.pts[1].x, plain.items[9].x, 1e-4);
    EXPECT_NEAR(lines[1]->rec.pts[1].y, plain.items[9].y, 1e-4);
    // Bands of 10 from 10: 12.3 red, 25 blue, 36 cyan (entries 2, 4, 5 of the
    // colour table).
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].color, 2);
    EXPECT_EQ(t[1].color, 4);
    EXPECT_EQ(t[2].color, 5);

    const DriverRun ps = run_points(items, "ps", args, ",color");
    ASSERT_EQ(ps.child.status, 0) << ps.child.out << ps.child.err;
    std::vector<std::string> comments;
    std::istringstream in(ps.ps);
    std::string line;
    while (std::getline(in, line)) {
        double x = 0, y = 0;
        char text[100] = "";
        if (std::sscanf(line.c_str(), "%%%%TE:%lf %lf %99s", &x, &y, text) != 3) continue;
        const std::size_t k = comments.size();
        comments.push_back(text);
        ASSERT_LT(k, t.size());
        EXPECT_NEAR(x, t[k].rec.pts[0].x, 1e-4) << text;
        EXPECT_NEAR(y, t[k].rec.pts[0].y, 1e-4) << text;
    }
    EXPECT_EQ(comments, (std::vector<std::string>{"12.3", "25", "36"}));

    TempDir dir;
    write_file(dir.file("out.ps"), ps.ps);
    const gkstest::GsRun check = gkstest::gs_check(dir.file("out.ps"));
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, "");
    const gkstest::Raster page = gkstest::gs_render(dir.file("out.ps"));
    int red = 0, blue = 0, cyan = 0, green = 0;
    for (std::size_t i = 0; i + 2 < page.rgb.size(); i += 3) {
        const int r = page.rgb[i], g = page.rgb[i + 1], b = page.rgb[i + 2];
        red += r > 200 && g < 60 && b < 60;
        blue += r < 60 && g < 60 && b > 200;
        cyan += r < 60 && g > 200 && b > 200;
        green += r < 60 && g > 200 && b < 60;
    }
    EXPECT_GT(red, 0);
    EXPECT_GT(blue, 0);
    EXPECT_GT(cyan, 0);
    EXPECT_EQ(green, 0) << "the fourth band holds no value";
}

} // namespace
