// Contouring: the level and band rules, colour lists and level files, the
// contour options and prompts, and the cell drawing checked cell by cell on a
// text metafile, against contourpy (lines) and shapely (band areas) on an
// analytic grid, and rendered by ghostscript; grid values, line labels and
// extrema, the colour bar, the plot setup and the stand-alone driver run as
// a program of its own (band colours of its PostScript read back from the
// page ghostscript renders).
#include "plot/cont.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "graphics/render.h"
#include "gridfile/grd_read.h"
#include "plot/cont_int.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "support/analytic_field.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/metafile.h"
#include "support/plot_driver.h"
#include "support/reference.h"

namespace {

using cont_detail::settings;
using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

// ---- Helpers ------------------------------------------------------------------------

// A grid of nx x ny values given row by row from the south (height 0 first),
// stored as the grid records keep them (row 0 northernmost).
struct Grid {
    std::vector<float> values;
    GRD_report rec{};
    Grid(int nx, int ny, const std::vector<float> &south_first) : values(south_first.size()) {
        GRD_init(&rec);
        DOM_init(&rec.domain);
        rec.domain.nx = nx;
        rec.domain.ny = ny;
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                values[std::size_t((ny - 1 - j) * nx + i)] = south_first[std::size_t(j * nx + i)];
        rec.grid = values.data();
    }
    // One cell: corners c0 (south-west), c1, c2, c3 (north-east).
    static Grid cell(float z0, float z1, float z2, float z3) { return Grid(2, 2, {z0, z1, z2, z3}); }
};

// Loads the shipped colour table onto the open workstation.
void load_colours() {
    CLR_read_table(nullptr);
    for (int i = 0; i < CLR_get_num(); ++i) {
        float r = 0, g = 0, b = 0;
        CLR_get_rgb(i, &r, &g, &b);
        GPH_set_color(i, r, g, b);
    }
}

// One drawing record of a text metafile with the attributes in force.
struct Rec {
    std::string key; // "PL" or "FA"
    std::vector<Gpt> pts;
    // The kernel's attributes at workstation open until a record changes them.
    int line_colour = 1;
    int line_type = 1;
    float line_width = 1;
    int fill_colour = 1;
    int fill_int = 1;
    int fill_style = 1;
};

std::vector<Rec> parse_meta(const std::string &text) {
    std::vector<Rec> recs;
    Rec state;
    std::istringstream lines(text);
    std::string line, all;
    while (std::getline(lines, line))
        if (!line.starts_with('#')) all += line + "\n";
    std::istringstream in(all);
    std::string tok;
    while (in >> tok) {
        if (tok == "PL" || tok == "FA") {
            int n = 0;
            in >> n;
            Rec r = state;
            r.key = tok;
            for (int k = 0; k < n; ++k) {
                std::string p;
                in >> p;
                Gpt q{};
                std::sscanf(p.c_str(), "%f,%f", &q.x, &q.y);
                r.pts.push_back(q);
            }
            recs.push_back(r);
        } else if (tok == "PL_CLR") {
            in >> state.line_colour;
        } else if (tok == "PL_TYPE") {
            in >> state.line_type;
        } else if (tok == "PL_LW") {
            in >> state.line_width;
        } else if (tok == "FA_CLR") {
            in >> state.fill_colour;
        } else if (tok == "FA_INT") {
            in >> state.fill_int;
        } else if (tok == "FA_ST") {
            in >> state.fill_style;
        }
    }
    return recs;
}

// A text metafile workstation whose transformation 3 shows the window win.
class MetaPlot {
public:
    explicit MetaPlot(Glim win) {
        gopen_gks(nullptr, 0);
        testing::internal::CaptureStdout(); // "Creating metafile: ..."
        EXPECT_EQ(gopen_ws(1, file_.c_str(), GWS_META), 0);
        testing::internal::GetCapturedStdout();
        load_colours();
        const Glim vp{0.1f, 0.9f, 0.1f, 0.9f};
        gset_win(3, &win);
        gset_vp(3, &vp);
        gsel_norm_tran(3);
    }
    std::vector<Rec> close() {
        gclose_ws(1);
        return parse_meta(read_file(file_));
    }
    std::string file() const { return file_; }

private:
    TempDir dir_;
    std::string file_ = dir_.file("plot.meta");
};

double area(const std::vector<Gpt> &p) {
    double a = 0;
    for (std::size_t k = 0; k + 1 < p.size(); ++k)
        a += double(p[k].x) * p[k + 1].y - double(p[k + 1].x) * p[k].y;
    if (!p.empty()) a += double(p.back().x) * p.front().y - double(p.front().x) * p.back().y;
    return std::fabs(a) / 2;
}

int colour(const char *name) {
    return CLR_get_ind(name);
}

// Settings for a plot of one type from a colour list, an interval and a
// range (or an explicit list given as values).
void settings_for(int type, const char *colours, float interval, float max, float min,
                  const std::vector<float> &list = {}) {
    CONT_init();
    CONT_set_type(type);
    CLR_read_table(nullptr);
    ASSERT_EQ(CONT_set_fill_colors(colours, 1), 0);
    if (!list.empty()) {
        CONT_reset_fill_set();
        std::vector<float> v = list;
        v.push_back(FMISSING);
        ASSERT_EQ(CONT_set_values(v.data(), int(v.size())), 0);
    } else {
        CONT_set_intrvl(interval);
        CONT_set_range(max, min);
    }
    ASSERT_EQ(CONT_set_cont_ext(nullptr), 0);
}

struct Seg {
    Gpt a, b;
};

bool same_point(Gpt p, Gpt q, double tol = 1e-5) {
    return std::fabs(p.x - q.x) <= tol && std::fabs(p.y - q.y) <= tol;
}

// The segments of the records match the expected ones, in any order and
// direction.
void expect_segments(const std::vector<Rec> &recs, std::vector<Seg> want, const std::string &what) {
    std::vector<Seg> got;
    for (const Rec &r : recs)
        if (r.key == "PL") {
            EXPECT_EQ(r.pts.size(), 2u) << what;
            if (r.pts.size() == 2) got.push_back({r.pts[0], r.pts[1]});
        }
    EXPECT_EQ(got.size(), want.size()) << what;
    for (const Seg &s : got) {
        bool found = false;
        for (auto it = want.begin(); it != want.end() && !found; ++it)
            if ((same_point(s.a, it->a) && same_point(s.b, it->b)) ||
                (same_point(s.a, it->b) && same_point(s.b, it->a))) {
                want.erase(it);
                found = true;
            }
        EXPECT_TRUE(found) << what << ": unexpected segment " << s.a.x << "," << s.a.y << " " << s.b.x << ","
                           << s.b.y;
    }
}

// Filled area by fill colour.
std::map<int, double> areas(const std::vector<Rec> &recs) {
    std::map<int, double> a;
    for (const Rec &r : recs)
        if (r.key == "FA") a[r.fill_colour] += area(r.pts);
    return a;
}

// ---- Levels and settings ----------------------------------------------------------

TEST(ContourLevels, IntervalRule) {
    struct Case {
        float max, min;
        int num;
        float want;
    };
    const Case cases[] = {
        {1030, 990, 14, 3},        // 2.857 up to a whole number
        {1000, 0, 14, 80},         // 71.4 up to tens
        {0.5f, 0, 14, 0.04f},      // 0.0357 up to hundredths
        {30000, 0, 14, 3000},      // 2142.9 up to thousands
        {400, 0, 3, 200},          // 133.3 up to hundreds
        {1.3f, 0, 1, 2},           // whole numbers from 1 on
        {0.25f, 0, 1, 0.3f},       // tenths
        {0.0025f, 0, 1, 0.003f},   // thousandths
        {0.00025f, 0, 1, 0.0003f}, // ten-thousandths
        {1, 0, 0, 1},              // a count of 0 counts as 1
        {10, 0, -3, 10},           // so does a negative count
        {7, 7, 14, 1},             // no range: 1
        {0.00005f, 0, 1, 0.00005f} // too small a step comes back as it is
    };
    for (const Case &c : cases)
        EXPECT_NEAR(CONT_calc_intrvl(c.max, c.min, c.num), c.want, 1e-7)
            << c.max << " " << c.min << " " << c.num;
}

// The level range from range, interval and base, and the colour base.
TEST(ContourLevels, LevelRange) {
    struct Case {
        const char *what;
        float max, min, interval, base;
        int colours;
        float intrvl, conlo, conhi, cbase;
        int num;
    };
    const Case cases[] = {
        {"990..1030 derived", 1030, 990, 0, FMISSING, 15, 3, 990, 1032, 990, 14},
        {"990..1030 base 1 (1030 on a level)", 1030, 990, 0, 1, 15, 3, 988, 1033, 1, 15},
        {"maximum on a level", 20, 0, 5, FMISSING, 15, 5, 0, 25, 0, 5},
        {"constant grid", 7, 7, 0, FMISSING, 15, 1, 7, 8, 7, 1},
        {"reversed range", 0, 10, 2, FMISSING, 15, 2, 0, 10, 0, 5},
        {"one colour: one step", 10, 0, 0, FMISSING, 1, 10, 0, 20, 0, 2},
    };
    for (const Case &c : cases) {
        CONT_init();
        std::vector<Gattribs> a(std::size_t(c.colours) + 1);
        for (int i = 0; i < c.colours; ++i) {
            ATTRIB_init(&a[std::size_t(i)]);
            a[std::size_t(i)].color = i;
        }
        a.back().color = -2;
        CONT_set_fill_attribs(a.data());
        CONT_set_range(c.max, c.min);
        CONT_set_intrvl(c.interval);
        CONT_set_base(c.base);
        ASSERT_EQ(CONT_set_cont_ext(nullptr), 0) << c.what;
        const auto &s = settings();
        EXPECT_FLOAT_EQ(s.intrvl, c.intrvl) << c.what;
        EXPECT_FLOAT_EQ(s.conlo, c.conlo) << c.what;
        EXPECT_FLOAT_EQ(s.conhi, c.conhi) << c.what;
        EXPECT_FLOAT_EQ(s.cbase, c.cbase) << c.what;
        EXPECT_EQ(CONT_get_num_cont(), c.num) << c.what;
    }
}

// Where the range and the interval come from, and when there are no levels.
TEST(ContourLevels, RangeAndIntervalSources) {
    // No range and no grid: -1, nothing changed.
    CONT_init();
    settings().conlo = 12;
    EXPECT_EQ(CONT_set_cont_ext(nullptr), -1);
    EXPECT_EQ(settings().conlo, 12);

    // The range of a grid, skipping missing values; the interval from
    // con_interval.
    Grid g(3, 2, {-9999, 2, 4, 6, 9, -9999});
    RES_put("con_interval", "2");
    ASSERT_EQ(CONT_set_cont_ext(&g.rec), 0);
    EXPECT_EQ(settings().grid_min, 2);
    EXPECT_EQ(settings().grid_max, 9);
    EXPECT_EQ(CONT_get_intrvl(), 2);
    EXPECT_EQ(settings().conlo, 2);
    EXPECT_EQ(settings().conhi, 10);
    EXPECT_EQ(CONT_get_num_cont(), 4);

    // A grid of missing values only gives no range.
    CONT_init();
    Grid empty(2, 1, {-9999, -9999});
    EXPECT_EQ(CONT_set_cont_ext(&empty.rec), -1);

    // Grid values keep an unset interval.
    CONT_init();
    RES_put("con_interval", nullptr);
    CONT_set_type(17);
    CONT_set_range(10, 0);
    EXPECT_EQ(CONT_set_cont_ext(nullptr), 0);
    EXPECT_TRUE(is_missing(CONT_get_intrvl()));

    // A range that gives no usable interval: no levels.
    CONT_init();
    CONT_set_range(INFINITY, 0);
    EXPECT_EQ(CONT_set_cont_ext(nullptr), -1);

    // An explicit list: the lowest level is its first value.
    CONT_init();
    const float list[] = {3, 5, 9, -9999};
    ASSERT_EQ(CONT_set_values(list, 4), 0);
    CONT_set_base(4);
    EXPECT_EQ(CONT_set_cont_ext(nullptr), 0);
    EXPECT_EQ(settings().conlo, 3);
    EXPECT_EQ(settings().cbase, 4);
    EXPECT_EQ(CONT_get_num_cont(), 3);
}

// The band of a value: the 0.01 slack, cyclic colours, lists, cut-offs,
// missing values and the cases with no levels.
TEST(ContourLevels, BandOfAValue) {
    CONT_init();
    Gattribs four[5];
    for (int i = 0; i < 4; ++i) {
        ATTRIB_init(&four[i]);
        four[i].color = 10 + i;
    }
    four[4].color = -2;
    CONT_set_fill_attribs(four);
    CONT_set_intrvl(5);
    settings().cbase = 0;
    struct Case {
        float value;
        int colour;
    };
    const Case interval_cases[] = {{-0.04f, 10}, {-1, 13}, {20, 10}, {4.9f, 10}, {5, 11}, {-9999, -1}};
    Gattribs a;
    for (const Case &c : interval_cases) {
        EXPECT_EQ(CONT_get_fill_attrib(c.value, &a), 0);
        EXPECT_EQ(a.color, c.colour) << c.value;
    }
    // Cut-offs: below min_cut nothing even though the band exists.
    CONT_set_cutoff(12, 0);
    CONT_get_fill_attrib(-0.5f, &a);
    EXPECT_EQ(a.color, -1);
    CONT_get_fill_attrib(12.5f, &a);
    EXPECT_EQ(a.color, -1);
    CONT_get_fill_attrib(11, &a);
    EXPECT_EQ(a.color, 12);

    // Without a colour base, the base colours.
    CONT_init();
    CONT_set_fill_attribs(four);
    CONT_set_intrvl(5);
    CONT_set_base(2);
    settings().cbase = FMISSING;
    CONT_get_fill_attrib(6, &a);
    EXPECT_EQ(a.color, 10);
    EXPECT_EQ(settings().cbase, 2);

    // An explicit list: the last band is open above, below the list nothing.
    CONT_init();
    const float list[] = {0, 10, 20};
    ASSERT_EQ(CONT_set_values(list, 3), 0);
    const Case list_cases[] = {{25, 12}, {-1, -1}, {10, 11}, {0, 10}, {19.99f, 11}};
    for (const Case &c : list_cases) {
        CONT_get_fill_attrib(c.value, &a);
        EXPECT_EQ(a.color, c.colour) << c.value;
    }

    // No interval means no levels: no band, no division by zero; a band
    // count that was never set counts as 1.
    CONT_init();
    CONT_set_intrvl(0);
    CONT_get_fill_attrib(3, &a);
    EXPECT_EQ(a.color, -1);
    CONT_set_intrvl(FMISSING);
    CONT_get_fill_attrib(3, &a);
    EXPECT_EQ(a.color, -1);
    settings().color_num = MISSING;
    CONT_set_intrvl(2);
    settings().cbase = 0;
    EXPECT_EQ(CONT_get_fill_attrib(7, &a), 0);
    EXPECT_EQ(a.color, 10); // entry 0
}

TEST(ContourLevels, TypesAndFormats) {
    struct Case {
        int type;
        int start_type;
        int want_type, want_dash;
    };
    const Case set_format[] = {{12, -9999, 12, 0}, {15, 12, 15, 0},      {16, -9999, 16, 0},
                               {17, -9999, 17, 0}, {13, -9999, 12, 1},   {14, -9999, 12, -1},
                               {10, 15, 15, 0},    {11, -9999, -9999, 0}};
    for (const Case &c : set_format) {
        CONT_init();
        settings().cont_type = c.start_type;
        CONT_set_format(c.type, "cf:in=2");
        EXPECT_EQ(CONT_get_type(), c.want_type) << c.type;
        EXPECT_EQ(settings().dash, c.want_dash) << c.type;
        EXPECT_STREQ(settings().format, "cf:in=2");
    }
    CONT_set_format(12, nullptr);
    EXPECT_STREQ(settings().format, "");
    const std::string long_format(150, 'x');
    CONT_set_format(12, long_format.c_str());
    EXPECT_EQ(std::string(settings().format), long_format.substr(0, 100));

    CONT_init();
    CONT_set_type(52);
    EXPECT_EQ(CONT_get_type(), 15);
    CONT_set_type(13);
    EXPECT_EQ(CONT_get_type(), 12);
    EXPECT_EQ(settings().dash, 1);
}

// CONT_init resets the per-plot settings and leaves the rest.
TEST(ContourLevels, InitResetsAndKeeps) {
    CONT_set_fill_colors("red,blue", 1);
    CONT_set_type(15);
    CONT_set_intrvl(3);
    CONT_set_base(1);
    CONT_set_cutoff(10, 0);
    CONT_set_range(9, 1);
    CONT_set_label_space(3, 4);
    CONT_set_fill_pat(5);
    CONT_set_dash(1);
    CONT_set_over(2);
    CONT_set_scale(2);
    CONT_set_label_type(4, 5);
    CONT_set_skip(3, 3);
    CONT_set_bar(3);
    CONT_set_bar_range(8, 2);
    CONT_set_plot_offset(0.1f, 0.2f);
    CONT_draw_grid(1);
    CONT_set_cont_ext(nullptr);
    CONT_format_decode_type("%5.2f:lab=2:3:4:5:rlab");
    auto &s = settings();
    s.mapcon = 1;
    s.max_line_fact = 7;
    strcpy(s.cont_label[3], "x");
    ASSERT_EQ(CONT_init(), 0);
    EXPECT_EQ(s.cont_type, -9999);
    EXPECT_TRUE(is_missing(s.intrvl) && is_missing(s.base) && is_missing(s.min_cut) && is_missing(s.max_cut));
    EXPECT_TRUE(is_missing(s.grid_min) && is_missing(s.grid_max));
    EXPECT_EQ(s.x_label_space, -9999);
    EXPECT_EQ(s.y_label_space, -9999);
    EXPECT_EQ(CONT_get_fill_pat(), -9999);
    EXPECT_EQ(CONT_get_values(nullptr, 0), 0);
    EXPECT_STREQ(s.num_form, "");
    EXPECT_STREQ(s.cont_label[3], "");
    EXPECT_EQ(s.color_fill_set, 0);
    EXPECT_EQ(s.dash, 0);
    EXPECT_EQ(s.over, 0);
    EXPECT_EQ(s.scale, 1);
    EXPECT_EQ(s.label_skip, 2);
    EXPECT_EQ(s.ext_radius, 2);
    EXPECT_EQ(s.x_skip, 1);
    EXPECT_EQ(s.y_skip, 1);
    // Carried over.
    EXPECT_EQ(s.cbase, 1);
    EXPECT_EQ(s.conlo, 1);
    EXPECT_EQ(s.color_num, 2);
    EXPECT_EQ(s.fill_attrib[1].color, colour("blue"));
    EXPECT_EQ(CONT_get_bar(), 3);
    EXPECT_EQ(s.bar_min, 2);
    EXPECT_EQ(s.bar_max, 8);
    EXPECT_EQ(s.x_off, 0.1f);
    EXPECT_EQ(s.rot_label, 1);
    EXPECT_EQ(s.max_line_fact, 7);
    EXPECT_EQ(s.mapcon, 1);
    EXPECT_EQ(s.draw_grid, 1);
}

TEST(ContourLevels, ExplicitLists) {
    CONT_init();
    // Ended early by -9999: the range ends at the last value copied.
    const float early[] = {2, 4, 8, -9999, 50};
    ASSERT_EQ(CONT_set_values(early, 5), 0);
    EXPECT_EQ(CONT_get_num_cont(), 3);
    EXPECT_EQ(settings().grid_max, 8);
    EXPECT_EQ(settings().grid_min, 2);
    EXPECT_EQ(CONT_get_intrvl(), 2);
    float out[4] = {0, 0, 0, 0};
    EXPECT_EQ(CONT_get_values(out, 2), 3); // only two fit
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 4);
    EXPECT_EQ(out[2], 0);

    // One value: no interval. More than 256: cut.
    const float one[] = {5};
    CONT_set_values(one, 1);
    EXPECT_TRUE(is_missing(CONT_get_intrvl()));
    std::vector<float> many(300);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = float(i);
    CONT_set_values(many.data(), int(many.size()));
    EXPECT_EQ(CONT_get_num_cont(), 256);
    EXPECT_EQ(settings().grid_max, 255);

    CONT_reset_values();
    EXPECT_EQ(CONT_get_values(out, 4), 0);
    EXPECT_TRUE(is_missing(settings().grid_max) && is_missing(CONT_get_intrvl()));

    // A band table built for this plot wins over a later list.
    CONT_set_fill_colors("0:red,10:blue", 1);
    EXPECT_EQ(CONT_set_values(early, 3), -1);
    EXPECT_EQ(CONT_get_num_cont(), 2);
    CONT_get_values(out, 4);
    EXPECT_EQ(out[1], 10);
}

TEST(ContourLevels, BandTableCopies) {
    CONT_init();
    Gattribs a[3];
    ATTRIB_init(&a[0]);
    a[0].color = 4;
    a[0].width = 2;
    ATTRIB_init(&a[1]);
    a[1].color = -1; // a band not drawn still counts
    a[2].color = -2;
    CONT_set_fill_attribs(a);
    EXPECT_EQ(settings().color_num, 2);
    Gattribs got;
    ASSERT_EQ(CONT_get_fill_attrib_ind(0, &got), 0);
    EXPECT_EQ(got.width, 2);
    CONT_get_fill_attrib_ind(2, &got);
    EXPECT_EQ(got.color, -2);
    EXPECT_EQ(CONT_get_fill_attrib_ind(257, &got), -1);
    EXPECT_EQ(CONT_get_fill_attrib_ind(-1, &got), -1);
    // An empty table: one entry of colour 1.
    Gattribs end;
    end.color = -2;
    CONT_set_fill_attribs(&end);
    EXPECT_EQ(settings().color_num, 1);
    EXPECT_EQ(settings().fill_attrib[0].color, 1);
    CONT_set_fill_attribs(nullptr);
    EXPECT_EQ(settings().color_num, 1);
}

// ---- Colour lists and level files -------------------------------------------------------

TEST(ContourColourLists, Lists) {
    CLR_read_table(nullptr);
    struct Case {
        const char *list;
        std::vector<const char *> colours;
        std::vector<float> values; // empty: no explicit list
        float intrvl;
    };
    const Case cases[] = {
        {"0:Blue,Cyan,Green,30:Red", {"blue", "cyan", "green", "red"}, {0, 10, 20, 30}, 10},
        {"1-5", {"1", "2", "3", "4", "5"}, {}, FMISSING},
        {"5-1", {"5", "4", "3", "2", "1"}, {}, FMISSING},
        {"red-blue:w3,white", {"red", "green", "blue", "white"}, {}, FMISSING},
        // Entries after the last value go on by the last band width.
        {"0:red,5:blue,green,yellow", {"red", "blue", "green", "yellow"}, {0, 5, 10, 15}, 5},
        {"2:red,white,black", {"red", "white", "black"}, {2, 3, 4}, 1},
        // A number alone is its value and its colour; blanks are skipped.
        {" 3, 5", {"3", "5"}, {3, 5}, 2},
    };
    for (const Case &c : cases) {
        CONT_init();
        ASSERT_EQ(CONT_set_fill_colors(c.list, 1), 0) << c.list;
        const auto &s = settings();
        ASSERT_EQ(s.color_num, int(c.colours.size())) << c.list;
        EXPECT_EQ(s.num_cont, int(c.colours.size())) << c.list;
        for (std::size_t i = 0; i < c.colours.size(); ++i)
            EXPECT_EQ(s.fill_attrib[i].color, colour(c.colours[i])) << c.list << " entry " << i;
        EXPECT_EQ(s.fill_attrib[c.colours.size()].color, -2) << c.list;
        float v[8] = {};
        const int n = CONT_get_values(v, 8);
        ASSERT_EQ(n, int(c.values.size())) << c.list;
        for (int i = 0; i < n; ++i)
            EXPECT_FLOAT_EQ(v[i], c.values[std::size_t(i)]) << c.list;
        if (!c.values.empty()) {
            EXPECT_EQ(s.grid_min, c.values.front()) << c.list;
            EXPECT_EQ(s.grid_max, c.values.back()) << c.list;
        }
        EXPECT_EQ(s.intrvl, c.intrvl) << c.list;
        // Once built, the table is kept until the next plot.
        EXPECT_EQ(CONT_set_fill_colors("red,blue", 1), -1);
    }
    // The range takes A's other attributes; labels are the numbers as written.
    CONT_init();
    CONT_set_fill_colors("red:w3-blue,10.50:white:la=warm,20:black", 1);
    const auto &s = settings();
    EXPECT_EQ(s.fill_attrib[1].width, 3);
    EXPECT_EQ(s.fill_attrib[2].width, 3);
    EXPECT_STREQ(s.cont_label[3], "warm");
    EXPECT_STREQ(s.cont_label[4], "20");
    EXPECT_TRUE(is_missing(s.fill_attrib[3].width));
}

// Warnings of the lists: a level file that is not there, a range without an
// end colour; and what the table holds afterwards.
TEST(ContourColourLists, MissingFileAndBadRange) {
    const auto r = run_child([] {
        CLR_read_table(nullptr);
        CONT_set_fill_colors("red,blue", 1);
        CONT_init();
        if (CONT_set_fill_colors("red", 1) != 0) return 1;
        // The old entries stay and the table counts as built.
        if (settings().color_num != 2 || settings().fill_attrib[1].color != colour("blue")) return 2;
        if (CONT_set_fill_colors("green,white", 1) != -1) return 3;
        CONT_init();
        CONT_set_fill_colors("red-nocolour,blue", 1);
        if (settings().color_num != 2 || settings().fill_attrib[0].color != colour("red")) return 4;
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    const std::string all = r.out + r.err;
    EXPECT_NE(all.find("CONT_set_fill_colors: Unable to read contour level file: red\n"), std::string::npos)
        << all;
    EXPECT_NE(all.find("CONT_decode_fill_color: No colour at the end of the range: red-nocolour\n"),
              std::string::npos)
        << all;
}

TEST(ContourColourLists, LevelFiles) {
    TempDir dir;
    std::string text = "# precipitation\n@ header line\n\n   \n10:Red:la=ten\n20:blue  \r\n";
    text += "30:" + std::string(100, 'x') + "\n"; // cut at 80 characters
    text += "40:green";                           // no line end
    write_file(dir.file("rain.lev"), text);
    RES_put("file_path", dir.path().c_str());
    CLR_read_table(nullptr);
    CONT_init();
    ASSERT_EQ(CONT_set_fill_colors("rain.lev", 1), 0);
    const auto &s = settings();
    ASSERT_EQ(s.color_num, 4);
    EXPECT_EQ(s.cont_value[0], 10);
    EXPECT_EQ(s.fill_attrib[0].color, colour("red"));
    EXPECT_STREQ(s.cont_label[0], "ten");
    EXPECT_EQ(s.fill_attrib[1].color, colour("blue"));
    EXPECT_STREQ(s.cont_label[1], "20");
    EXPECT_EQ(s.fill_attrib[3].color, colour("green"));
    EXPECT_EQ(s.cont_value[3], 40);

    // More than 256 lines: the rest are ignored.
    std::string big;
    for (int i = 0; i < 300; ++i)
        big += std::to_string(i) + ":red\n";
    write_file(dir.file("big.lev"), big);
    CONT_init();
    CONT_set_fill_colors("big.lev", 1);
    EXPECT_EQ(s.color_num, 256);
    EXPECT_EQ(s.cont_value[255], 255);
    EXPECT_EQ(s.fill_attrib[256].color, -2);
}

// The shipped level files are found without file_path and give rising
// levels with their labels.
TEST(ContourColourLists, ShippedLevelFiles) {
    CLR_read_table(nullptr);
    for (const char *name : {"temp.lev", "precip.lev"}) {
        CONT_init();
        ASSERT_EQ(CONT_set_fill_colors(name, 1), 0);
        const auto &s = settings();
        ASSERT_GE(s.color_num, 8) << name;
        for (int i = 0; i < s.color_num; ++i) {
            EXPECT_GE(s.fill_attrib[std::size_t(i)].color, -1) << name << " " << i;
            if (i > 0) {
                EXPECT_GT(s.cont_value[std::size_t(i)], s.cont_value[std::size_t(i) - 1]) << name;
            }
        }
    }
    EXPECT_STREQ(settings().cont_label[0], "0.01");
    CONT_init();
    CONT_set_fill_colors("temp.lev", 1);
    bool labelled = false;
    for (int i = 0; i < settings().color_num; ++i)
        labelled = labelled || std::string(settings().cont_label[i]).find_first_not_of("-0123456789.") !=
                                   std::string::npos;
    EXPECT_TRUE(labelled);
}

// Where the list comes from: the resource color_fill unless it is "miss" or
// "def...", then the string, then the colour table's fill colours, then the
// 15 default colours.
TEST(ContourColourLists, SourcesAndFallbacks) {
    TempDir dir;
    write_file(dir.file("fill.clr"), "red 1 0 0\nblue 0 0 1\ngreen 0 1 0\nEND\nwhite 1 1 1\n");
    struct Case {
        const char *resource;
        const char *string;
        int flag;
        bool fill_table;
        int rc;
        std::vector<const char *> colours;
    };
    const std::vector<const char *> defaults = {"Magenta", "LMagenta", "Blue",   "LBlue", "Cyan",
                                                "LCyan",   "Green",    "LGreen", "Brown", "Yellow",
                                                "Red",     "LRed",     "DGray",  "LGray", "White"};
    const Case cases[] = {
        {"green,white", "red,blue", 0, false, 0, {"green", "white"}},
        {"green,white", "red,blue", 1, false, 0, {"red", "blue"}},
        {"def", "red,blue", 0, false, 0, {"red", "blue"}},
        {"default", nullptr, 0, false, 0, defaults},
        {"miss", "", 0, false, 0, defaults},
        {"", nullptr, 0, false, 0, defaults},
        {nullptr, nullptr, 0, true, -1, {"0", "1", "2"}},
    };
    for (const Case &c : cases) {
        RES_put("color_table", c.fill_table ? "fill.clr" : "zeq.clr");
        RES_put("file_path", c.fill_table ? dir.path().c_str() : nullptr);
        CLR_clear_table();
        CLR_read_table(nullptr);
        RES_put("color_fill", c.resource);
        CONT_init();
        EXPECT_EQ(CONT_set_fill_colors(c.string, c.flag), c.rc) << (c.resource ? c.resource : "(none)");
        const auto &s = settings();
        ASSERT_EQ(s.color_num, int(c.colours.size()));
        EXPECT_EQ(s.num_cont, int(c.colours.size()));
        for (std::size_t i = 0; i < c.colours.size(); ++i)
            EXPECT_EQ(s.fill_attrib[i].color, colour(c.colours[i])) << i;
        EXPECT_EQ(CONT_get_values(nullptr, 0), 0);
        EXPECT_EQ(s.color_fill_set, 1);
    }
}

// ---- Options and keywords ---------------------------------------------------------------

TEST(ContourOptions, FormatText) {
    CONT_init();
    FLAG_setplot(12, 1);
    PLT_set_label_type(0);
    ASSERT_EQ(CONT_format_decode_type("cf:in=2:cb=1:nobar:%4.1f"), 0);
    const auto &s = settings();
    EXPECT_EQ(CONT_get_type(), 15);
    EXPECT_EQ(s.intrvl, 2);
    EXPECT_EQ(s.base, 1);
    EXPECT_EQ(s.plt_bar, -2);
    EXPECT_STREQ(s.num_form, "%4.1f");
    EXPECT_EQ(CONT_format_decode_type(nullptr), -1);

    CONT_init();
    CONT_format_decode_type("LN:Value:mn=-5:mx=40.5:sc=1.5:xy=1 -2:sk=3:fi=9:RLAB:lab=31:nolr:labs:bar");
    EXPECT_EQ(CONT_get_type(), 17); // the last type word wins
    EXPECT_EQ(s.min_cut, -5);
    EXPECT_EQ(s.max_cut, 40.5f);
    EXPECT_EQ(s.scale, 1.5f);
    EXPECT_FLOAT_EQ(s.x_off, 0.012f);
    EXPECT_FLOAT_EQ(s.y_off, -0.04f);
    EXPECT_EQ(s.x_skip, 3);
    EXPECT_EQ(s.y_skip, 3);
    EXPECT_EQ(s.fill_pat, 9);
    EXPECT_EQ(s.rot_label, 1);
    EXPECT_EQ(s.label_skip, 3);
    EXPECT_EQ(s.ext_radius, 1);
    EXPECT_EQ(FLAG_getplot(6), 0);
    EXPECT_EQ(PLT_get_label_type(), -1);
    EXPECT_EQ(s.plt_bar, 3);

    struct Case {
        const char *format;
        int type, dash;
    };
    const Case types[] = {
        {"dln", 12, 1}, {"ndln", 12, -1}, {"lcf", 16, 0}, {"gvalue", 17, 0}, {"in=3", -9999, 0}};
    for (const Case &c : types) {
        CONT_init();
        CONT_format_decode_type(c.format);
        EXPECT_EQ(CONT_get_type(), c.type) << c.format;
        EXPECT_EQ(s.dash, c.dash) << c.format;
    }

    // A keyword without its value, and lab= with four numbers.
    CONT_init();
    CONT_set_intrvl(4);
    CONT_format_decode_type("in=:cb=:hlab:lab=2.3.4.5:sk=2");
    EXPECT_EQ(s.intrvl, 4);
    EXPECT_TRUE(is_missing(s.base));
    EXPECT_EQ(s.rot_label, 0);
    EXPECT_EQ(s.label_skip, 2);
    EXPECT_EQ(s.ext_radius, 3);
    EXPECT_EQ(s.x_label_space, 4);
    EXPECT_EQ(s.y_label_space, 5);

    // cof= takes the rest of the text as its colour list.
    CLR_read_table(nullptr);
    CONT_init();
    CONT_format_decode_type("lcf:cof=0:red,10:blue:la=ten,green");
    EXPECT_EQ(CONT_get_type(), 16);
    EXPECT_EQ(s.color_num, 3);
    EXPECT_EQ(s.fill_attrib[1].color, colour("blue"));
    EXPECT_STREQ(s.cont_label[1], "ten");
    EXPECT_EQ(s.cont_value[2], 20);
}

// A "%" item becomes the number format only when it formats exactly one
// float and fits; otherwise the default stays with a warning.
TEST(ContourOptions, NumberFormats) {
    struct Case {
        const char *item;
        const char *kept;
    };
    const Case cases[] = {{"%4.1f", "%4.1f"},  {"%-9.3e", "%-9.3e"}, {"%d", ""},
                          {"%s", ""},          {"%f%f", ""},         {"%10.4fxxxx", ""},
                          {"%123456789f", ""}, {"%.0f%%", "%.0f%%"}};
    for (const Case &c : cases) {
        const auto r = run_child([&] {
            CONT_init();
            CONT_format_decode_type(c.item);
            return std::string(settings().num_form) == c.kept ? 0 : 1;
        });
        EXPECT_EQ(r.status, 0) << c.item;
        const bool warned =
            (r.out + r.err).find("CONT_format_decode_type: Invalid number format: " + std::string(c.item)) !=
            std::string::npos;
        EXPECT_EQ(warned, std::string(c.kept).empty()) << c.item << ": " << r.out << r.err;
    }
}

TEST(ContourOptions, PlotParamKeywords) {
    const auto &s = settings();
    RES_put("plot_param", "size=3,fill=hat,LAB=21,maxl=7,conmin=-2.5,conmax=40,grid,mapcon,rlab,other");
    CONT_init();
    ASSERT_EQ(CONT_param_decode(), 0);
    EXPECT_EQ(s.fill_pat, 9);
    EXPECT_EQ(s.label_skip, 2);
    EXPECT_EQ(s.ext_radius, 1);
    EXPECT_EQ(s.max_line_fact, 7);
    EXPECT_EQ(s.min_cut, -2.5f);
    EXPECT_EQ(s.max_cut, 40);
    EXPECT_EQ(s.draw_grid, 1);
    EXPECT_EQ(s.mapcon, 1);
    EXPECT_EQ(s.rot_label, 1);

    RES_put("plot_param", "lab=1:2:3:4,conmap,hlab,fill=3");
    CONT_param_decode();
    EXPECT_EQ(s.label_skip, 1);
    EXPECT_EQ(s.ext_radius, 2);
    EXPECT_EQ(s.x_label_space, 3);
    EXPECT_EQ(s.y_label_space, 4);
    EXPECT_EQ(s.mapcon, 0);
    EXPECT_EQ(s.rot_label, 0);
    EXPECT_EQ(s.fill_pat, 3);

    // Keywords without their value change nothing.
    RES_put("plot_param", "fill,lab,maxl=,conmin,conmax=x,labs");
    CONT_param_decode();
    EXPECT_EQ(s.fill_pat, 3);
    EXPECT_EQ(s.label_skip, 1);
    EXPECT_EQ(s.max_line_fact, 7);
    EXPECT_EQ(s.min_cut, -2.5f);
    EXPECT_EQ(s.max_cut, 40);
}

TEST(ContourOptions, LineAttributesOfTheFormat) {
    CLR_read_table(nullptr);
    CONT_init();
    CONT_set_format(12, "ln:co=red:wi=2.5:st=3:fp=hat:CO=");
    Gattribs a;
    ATTRIB_init(&a);
    a.height = 4;
    ASSERT_EQ(CONT_format_decode_attrib(&a), 0);
    EXPECT_EQ(a.color, colour("red"));
    EXPECT_EQ(a.width, 2.5f);
    EXPECT_EQ(a.style, 3);
    EXPECT_EQ(a.fill_pat, 9);
    EXPECT_EQ(a.height, 4);
}

// ---- Prompts ------------------------------------------------------------------------------

TEST(ContourPrompts, Interval) {
    struct Case {
        const char *resource;
        bool batch;
        const char *answer;
        float want;
        bool asked;
    };
    const Case cases[] = {
        {nullptr, false, "2.5\n", 2.5f, true}, {nullptr, false, "-4\n", 0, true},
        {nullptr, false, "\n", 0, true},       {nullptr, true, "7\n", 0, false},
        {"6", false, "7\n", 6, false},         {"-3", false, "7\n", 0, false},
    };
    for (const Case &c : cases) {
        const auto r = run_child(
            [&] {
                RES_put("con_interval", c.resource);
                FLAG_set_batch(c.batch ? 1 : 0);
                CONT_init();
                CONT_prompt_intrvl();
                return CONT_get_intrvl() == c.want ? 0 : 1;
            },
            {c.answer});
        EXPECT_EQ(r.status, 0) << c.answer;
        EXPECT_EQ(r.out.find("Enter the contour interval: ") != std::string::npos, c.asked) << r.out;
    }
}

TEST(ContourPrompts, Type) {
    struct Case {
        int flag;
        bool batch;
        int preset;
        const char *answer;
        int want, dash;
        bool asked;
    };
    const Case cases[] = {
        {-9999, false, -9999, "Yes\n", 15, 0, true},   {-9999, false, -9999, "line\n", 12, 0, true},
        {-9999, false, -9999, "c\n", 15, 0, true},     {-9999, false, -9999, "lcf\n", 16, 0, true},
        {-9999, false, -9999, "ndln\n", 12, -1, true}, {-9999, false, -9999, "dln\n", 12, 1, true},
        {-9999, false, -9999, "none\n", 99, 0, true},  {-9999, false, -9999, "VALUE\n", 17, 0, true},
        {-9999, false, -9999, "\n", 12, 0, true},      {-9999, true, -9999, "line\n", 15, 0, false},
        {13, false, -9999, "c\n", 12, 1, false},       {14, true, -9999, "", 12, -1, false},
        {16, false, -9999, "", 16, 0, false},          {0, false, 16, "c\n", 16, 0, false},
    };
    for (const Case &c : cases) {
        const auto r = run_child(
            [&] {
                FLAG_set(FLAG_PLOT_TYPE, c.flag);
                FLAG_set_batch(c.batch ? 1 : 0);
                CONT_init();
                settings().cont_type = c.preset;
                const int t = CONT_prompt_type();
                return t == c.want && CONT_get_type() == c.want && settings().dash == c.dash ? 0 : 1;
            },
            {c.answer});
        EXPECT_EQ(r.status, 0) << c.answer << " flag " << c.flag;
        EXPECT_EQ(r.out.find("Color fill (C) or Line (L) contours: ") != std::string::npos, c.asked)
            << c.answer;
    }
}

// ---- Cells --------------------------------------------------------------------------------

// The cells of the walk's description, each one cell in grid coordinates.
TEST(ContourCells, CellCases) {
    const Gpt c0{0, 0}, c1{1, 0}, c2{0, 1}, c3{1, 1};
    struct Case {
        const char *what;
        float z[4];
        int type;
        float interval, max, min;
        std::vector<float> list;
        std::vector<Seg> segments;
        std::vector<std::pair<int, double>> areas; // band entry, area
    };
    const std::vector<Case> cases = {
        {"0,10,0,10 lines at 0, 5, 10 (flat sides at 0 and 10)",
         {0, 10, 0, 10},
         12,
         5,
         10,
         0,
         {},
         {{c0, c2}, {{0.5f, 0}, {0.5f, 1}}, {c1, c3}},
         {}},
        {"0,10,0,10 fills: the left half, then the right half",
         {0, 10, 0, 10},
         15,
         5,
         10,
         0,
         {},
         {},
         {{0, 0.5}, {1, 0.5}}},
        {"corner hit: the crossing at c0 is dropped",
         {5, 8, 9, 1},
         12,
         0,
         0,
         0,
         {5},
         {{{0.5f, 1}, {1, 3.0f / 7}}},
         {}},
        {"saddle with total 2 cuts off c1 and c2",
         {0, 10, 10, 0},
         12,
         0,
         0,
         0,
         {5},
         {{{1, 0.5f}, {0.5f, 0}}, {{0.5f, 1}, {0, 0.5f}}},
         {}},
        {"saddle with total 2, filled", {0, 10, 10, 0}, 15, 0, 0, 0, {0, 5}, {}, {{0, 0.75}, {1, 0.25}}},
        {"saddle with total 1.75 cuts off c0 and c3",
         {0, 10, 10, 2},
         12,
         0,
         0,
         0,
         {5},
         {{{0.625f, 1}, {1, 0.625f}}, {{0.5f, 0}, {0, 0.5f}}},
         {}},
        {"saddle with total 1.75, filled",
         {0, 10, 10, 2},
         15,
         0,
         0,
         0,
         {0, 5},
         {},
         {{0, 0.1953125}, {1, 0.8046875}}},
        {"two saddles paired the opposite way: one octagon",
         {0, 10, 10, 0},
         15,
         0,
         0,
         0,
         {4, 6},
         {},
         {{0, 0.68}, {1, 0.16}}},
        {"flat cell with lines: skipped", {4, 4, 4, 4}, 12, 5, 10, 0, {}, {}, {}},
        {"flat cell filled whole by its band", {4, 4, 4, 4}, 15, 5, 10, 0, {}, {}, {{0, 1.0}}},
        {"missing corner: blank", {0, 10, -9999, 10}, 16, 5, 10, 0, {}, {}, {}},
        {"line limit (15 colours, interval 1): blank", {0, 40, 0, 40}, 16, 1, 40, 0, {}, {}, {}},
        {"line limit does not hold for a list",
         {0, 40, 0, 40},
         12,
         0,
         0,
         0,
         {10, 20, 30},
         {{{0.25f, 0}, {0.25f, 1}}, {{0.5f, 0}, {0.5f, 1}}, {{0.75f, 0}, {0.75f, 1}}},
         {}},
        {"values below the first list level are not filled",
         {0, 10, 0, 10},
         15,
         0,
         0,
         0,
         {4, 7},
         {},
         {{0, 0.3}, {1, 0.3}}},
    };
    for (const Case &c : cases) {
        settings_for(c.type, "", c.interval, c.max, c.min, c.list);
        // 15 distinct colours of the default table.
        MetaPlot plot({0, 1, 0, 1});
        Grid g = Grid::cell(c.z[0], c.z[1], c.z[2], c.z[3]);
        ASSERT_EQ(CONT_draw_cells(&g.rec, nullptr), 0) << c.what;
        const std::vector<Rec> recs = plot.close();
        expect_segments(recs, c.segments, c.what);
        std::map<int, double> want;
        for (const auto &[entry, a] : c.areas)
            want[settings().fill_attrib[std::size_t(entry)].color] += a;
        const std::map<int, double> got = areas(recs);
        EXPECT_EQ(got.size(), want.size()) << c.what;
        for (const auto &[col, a] : want) {
            ASSERT_TRUE(got.count(col)) << c.what << " colour " << col;
            EXPECT_NEAR(got.at(col), a, 1e-6) << c.what << " colour " << col;
        }
    }
}

// The polygons themselves: the left half of the 0,10,0,10 cell, closed by
// its first point; the octagon of two opposite saddles.
TEST(ContourCells, PolygonOutlines) {
    settings_for(15, "", 5, 10, 0);
    MetaPlot plot({0, 1, 0, 1});
    Grid g = Grid::cell(0, 10, 0, 10);
    CONT_draw_cells(&g.rec, nullptr);
    const std::vector<Rec> recs = plot.close();
    ASSERT_EQ(recs.size(), 2u);
    const std::vector<Gpt> &left = recs[0].pts;
    ASSERT_EQ(left.size(), 5u);
    EXPECT_TRUE(same_point(left.front(), left.back()));
    for (Gpt p : {Gpt{0.5f, 0}, Gpt{0.5f, 1}, Gpt{0, 1}, Gpt{0, 0}}) {
        bool found = false;
        for (std::size_t k = 0; k + 1 < left.size(); ++k)
            found = found || same_point(p, left[k]);
        EXPECT_TRUE(found) << p.x << "," << p.y;
    }
    EXPECT_EQ(recs[0].fill_int, 1); // solid

    settings_for(15, "", 0, 0, 0, {4, 6});
    MetaPlot plot2({0, 1, 0, 1});
    Grid s = Grid::cell(0, 10, 10, 0);
    CONT_draw_cells(&s.rec, nullptr);
    const std::vector<Rec> oct = plot2.close();
    ASSERT_GE(oct.size(), 1u);
    EXPECT_EQ(oct[0].pts.size(), 9u);
    EXPECT_EQ(oct[0].fill_colour, settings().fill_attrib[0].color);
}

// Cut-offs shorten the bands of a cell.
TEST(ContourCells, CutOffs) {
    settings_for(15, "", 5, 10, 0);
    CONT_set_cutoff(7, 3);
    MetaPlot plot({0, 1, 0, 1});
    Grid g = Grid::cell(0, 10, 0, 10);
    CONT_draw_cells(&g.rec, nullptr);
    const auto a = areas(plot.close());
    ASSERT_EQ(a.size(), 2u);
    EXPECT_NEAR(a.at(settings().fill_attrib[0].color), 0.2, 1e-6);
    EXPECT_NEAR(a.at(settings().fill_attrib[1].color), 0.2, 1e-6);

    // A lower cut-off above the cell leaves it blank.
    settings_for(16, "", 5, 10, 0);
    CONT_set_cutoff(FMISSING, 11);
    MetaPlot blank({0, 1, 0, 1});
    CONT_draw_cells(&g.rec, nullptr);
    EXPECT_TRUE(blank.close().empty());
}

// The line limit: twice the colours by default, 10000 for 0, else the value.
TEST(ContourCells, LineLimit) {
    struct Case {
        int fact;
        bool drawn;
    };
    for (const Case &c : {Case{-2, false}, Case{-3, true}, Case{0, true}, Case{50, true}, Case{39, false}}) {
        settings_for(12, "", 1, 40, 0);
        settings().max_line_fact = c.fact;
        MetaPlot plot({0, 1, 0, 1});
        Grid g = Grid::cell(0, 40, 0, 40);
        CONT_draw_cells(&g.rec, nullptr);
        EXPECT_EQ(!plot.close().empty(), c.drawn) << c.fact;
    }
    // An interval of 0 means no levels: nothing is drawn.
    settings_for(16, "", 1, 40, 0);
    CONT_set_intrvl(0);
    MetaPlot plot({0, 1, 0, 1});
    Grid g = Grid::cell(4, 4, 4, 4);
    EXPECT_EQ(CONT_draw_cells(&g.rec, nullptr), 0);
    EXPECT_TRUE(plot.close().empty());
}

// Band attributes: band colours, a band not drawn, fill patterns, line types
// by dash mode and base, widths, and the line of a filled band taking the
// band above.
TEST(ContourCells, BandAttributes) {
    // Lines at 0, 5, 10; the band at 5 has no colour and draws nothing.
    settings_for(12, "red,none,blue:s4:w2", 5, 10, 0);
    {
        MetaPlot plot({0, 1, 0, 1});
        Grid g = Grid::cell(0, 10, 0, 10);
        Gattribs bundle;
        ATTRIB_init(&bundle);
        bundle.color = -1;
        bundle.width = 3;
        CONT_draw_cells(&g.rec, &bundle);
        const auto recs = plot.close();
        ASSERT_EQ(recs.size(), 2u);
        EXPECT_EQ(recs[0].line_colour, colour("red"));
        EXPECT_EQ(recs[0].line_type, 1);
        EXPECT_EQ(recs[0].line_width, 3);
        EXPECT_EQ(recs[1].line_colour, colour("blue"));
        EXPECT_EQ(recs[1].line_type, 4);
        EXPECT_EQ(recs[1].line_width, 2);
        EXPECT_EQ(recs[1].pts[0].x, 1); // the flat side at 10
    }
    // Dash modes: -1 dashes lines below 0 and below a set base.
    struct Case {
        int dash;
        float base;
        int bundle_style;
        std::vector<int> types; // of the lines at -5, 0, 5, 10
    };
    const Case dash_cases[] = {
        {-1, FMISSING, MISSING, {2, 1, 1, 1}}, {-1, 5, MISSING, {2, 2, 1, 1}},
        {1, FMISSING, MISSING, {2, 2, 2, 2}},  {1, FMISSING, 3, {3, 3, 3, 3}},
        {0, FMISSING, 3, {3, 3, 3, 3}},        {-1, FMISSING, 3, {3, 1, 1, 1}},
    };
    for (const Case &c : dash_cases) {
        settings_for(12, "red,green", 5, 12, -7);
        CONT_set_dash(c.dash);
        CONT_set_base(c.base);
        MetaPlot plot({0, 1, 0, 1});
        Grid g = Grid::cell(-7, 12, -7, 12);
        Gattribs bundle;
        ATTRIB_init(&bundle);
        bundle.style = c.bundle_style;
        bundle.color = 5; // the bundle's colour is kept
        CONT_draw_cells(&g.rec, &bundle);
        const auto recs = plot.close();
        ASSERT_EQ(recs.size(), c.types.size()) << c.dash;
        for (std::size_t k = 0; k < recs.size(); ++k) {
            EXPECT_EQ(recs[k].line_type, c.types[k]) << "dash " << c.dash << " line " << k;
            EXPECT_NE(recs[k].line_colour, colour("red"));
            EXPECT_EQ(recs[k].line_width, 0);
        }
    }
    // Fill with lines: the fill pattern of the band or of the bundle, and the
    // line at a band's top in the next band's colour.
    settings_for(16, "red:f9,green,blue", 5, 10, 0);
    {
        MetaPlot plot({0, 1, 0, 1});
        Grid g = Grid::cell(0, 10, 0, 10);
        Gattribs bundle;
        ATTRIB_init(&bundle);
        bundle.color = -1;
        bundle.fill_pat = 0;
        CONT_draw_cells(&g.rec, &bundle);
        const auto recs = plot.close();
        ASSERT_EQ(recs.size(), 3u);
        EXPECT_EQ(recs[0].key, "FA");
        EXPECT_EQ(recs[0].fill_colour, colour("red"));
        EXPECT_EQ(recs[0].fill_int, 2);
        EXPECT_EQ(recs[0].fill_style, 9);
        EXPECT_EQ(recs[1].key, "PL");
        EXPECT_EQ(recs[1].line_colour, colour("green"));
        EXPECT_EQ(recs[2].key, "FA");
        EXPECT_EQ(recs[2].fill_colour, colour("green"));
        EXPECT_EQ(recs[2].fill_int, 1);
    }
}

// Row order and cell numbering: height j counts up from the southern row,
// and the gridloc trace of one cell is exact.
TEST(ContourCells, TraceOfOneCell) {
    const auto trace = [](const char *loc, int type, const std::vector<float> &list, float min_cut) {
        return run_child([&] {
            setenv("gridloc", loc, 1);
            settings_for(type, "", 5, 10, 0, list);
            CONT_set_cutoff(FMISSING, min_cut);
            MetaPlot plot({0, 2, 0, 2});
            // Heights 0, 1, 2 from the south.
            Grid g(3, 3, {0, 10, 9, 10, 10, 2, 1, 1, 1});
            CONT_draw_cells(&g.rec, nullptr);
            return 0; // left open: closing reports on standard output
        });
    };
    // Cell (1, 0): a list level, set up first, then drawn.
    const auto listed = trace("1,0", 12, {5}, FMISSING);
    EXPECT_EQ(listed.out, "GRIDPOINT: 10.000000 9.000000 10.000000 2.000000\n"
                          "Loop 0\n"
                          "AA-val: 5.000000 side: 0.62 0.57 -2.00 -3.00 nside: 2 cross: 2 3 -1 -1 "
                          "tside: -4.20\n"
                          "CC-val: 5.000000 side: 0.62 0.57 -2.00 -3.00 nside: 2 cross: 2 3 -1 -1 "
                          "tside: -4.20\n");
    // Cell (0, 0): the lower cut-off starts the first band, the second band
    // reaches above the cell and ends it.
    const auto cut = trace("0,0", 15, {}, 3);
    EXPECT_EQ(cut.out, "GRIDPOINT: 0.000000 10.000000 10.000000 10.000000\n"
                       "Loop 0\n"
                       "BB-val: 3.000000 side: -3.00 -3.00 0.30 0.30 nside: 2 cross: 0 1 -1 -1 tside: 8.60\n"
                       "CC-val: 5.000000 side: -3.00 -3.00 0.50 0.50 nside: 2 cross: 0 1 -1 -1 tside: 9.00\n"
                       "Loop 1\n");
    // Cell (0, 1) of the upper row.
    const auto upper = trace("0,1", 16, {}, FMISSING);
    EXPECT_EQ(upper.out, "GRIDPOINT: 10.000000 10.000000 1.000000 1.000000\n"
                         "Loop 0\n"
                         "CC-val: 5.000000 side: -3.00 0.56 -3.00 0.56 nside: 2 cross: 1 3 -1 -1 "
                         "tside: 2.00\n"
                         "Loop 1\n");
}

// nx x ny values drawn from the whole numbers 0 to 8 (seeded): levels on
// whole numbers then meet corners, flat sides and saddles everywhere.
std::vector<float> whole_numbers(int nx, int ny, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> pick(0, 8);
    std::vector<float> z(std::size_t(nx * ny));
    for (float &v : z)
        v = float(pick(gen));
    return z;
}

// Whole numbers and levels on whole numbers: corner hits, flat sides and
// saddles everywhere. The bands of every cell still cover it exactly once,
// and every segment runs between points of its cell's boundary that lie on
// a level; with interval levels and with a list.
TEST(ContourCells, BandsPartitionEveryCell) {
    const int nx = 25, ny = 20;
    const std::vector<float> z = whole_numbers(nx, ny, 3);
    Grid g(nx, ny, z);
    const auto value = [&](double x, double y) { // along the cell sides
        const int i = std::min(int(std::floor(x)), nx - 2), j = std::min(int(std::floor(y)), ny - 2);
        const double fx = x - i, fy = y - j;
        const auto at = [&](int a, int b) { return double(z[std::size_t(b * nx + a)]); };
        return (1 - fx) * (1 - fy) * at(i, j) + fx * (1 - fy) * at(i + 1, j) + (1 - fx) * fy * at(i, j + 1) +
               fx * fy * at(i + 1, j + 1);
    };
    const std::vector<float> list = {0, 1, 2, 4, 5, 6, 8};
    for (const bool with_list : {false, true}) {
        if (with_list)
            settings_for(16, "", 0, 0, 0, list);
        else
            settings_for(16, "", 2, 8, 0);
        MetaPlot plot({0, float(nx - 1), 0, float(ny - 1)});
        Gattribs bundle;
        ATTRIB_init(&bundle);
        ASSERT_EQ(CONT_draw_cells(&g.rec, &bundle), 0);
        const auto recs = plot.close();

        std::vector<double> covered(std::size_t((nx - 1) * (ny - 1)), 0.0);
        int segments = 0;
        for (const Rec &r : recs) {
            double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
            for (Gpt p : r.pts) {
                x0 = std::min(x0, double(p.x)), x1 = std::max(x1, double(p.x));
                y0 = std::min(y0, double(p.y)), y1 = std::max(y1, double(p.y));
            }
            const int i = int(std::floor(x0 + 1e-6)), j = int(std::floor(y0 + 1e-6));
            ASSERT_LE(y1 - j, 1 + 1e-6) << "a record spans rows";
            if (r.key == "PL") {
                ++segments;
                EXPECT_LE(x1 - i, 1 + 1e-6);
                for (Gpt p : r.pts) {
                    const bool on_side = std::fabs(p.x - i) < 1e-6 || std::fabs(p.x - i - 1) < 1e-6 ||
                                         std::fabs(p.y - j) < 1e-6 || std::fabs(p.y - j - 1) < 1e-6;
                    EXPECT_TRUE(on_side) << p.x << "," << p.y;
                    const double v = value(p.x, p.y);
                    double nearest = 1e9;
                    for (float l : list)
                        nearest = std::min(nearest, std::fabs(v - l));
                    EXPECT_LT(nearest, 1e-5) << p.x << "," << p.y << " at " << v;
                }
                continue;
            }
            if (x1 - i > 1 + 1e-6) {
                // A run of whole cells: one rectangle along a row.
                EXPECT_EQ(r.pts.size(), 5u);
                EXPECT_NEAR(area(r.pts), (x1 - x0) * (y1 - y0), 1e-9);
                for (int c = i; c < int(std::lround(x1)); ++c)
                    covered[std::size_t(j * (nx - 1) + c)] += 1;
            } else {
                covered[std::size_t(j * (nx - 1) + i)] += area(r.pts);
            }
        }
        EXPECT_GT(segments, 100);
        for (int j = 0; j < ny - 1; ++j)
            for (int i = 0; i < nx - 1; ++i)
                EXPECT_NEAR(covered[std::size_t(j * (nx - 1) + i)], 1.0, 1e-5)
                    << (with_list ? "list" : "interval") << " cell " << i << "," << j << ": "
                    << z[std::size_t(j * nx + i)] << " " << z[std::size_t(j * nx + i + 1)] << " "
                    << z[std::size_t((j + 1) * nx + i)] << " " << z[std::size_t((j + 1) * nx + i + 1)];
    }
}

// Cells that no line crosses, or that lie inside one band, are settled by a
// quick pass; a gridloc trace of a cell outside the grid turns that pass off
// without tracing anything. Both walks draw the same records, for lines,
// fills and both, on whole numbers that meet corners (with a missing value)
// and on a smooth field, with rising and falling intervals.
TEST(ContourCells, QuickPassDrawsWhatTheFullWalkDraws) {
    const int nx = 30, ny = 22;
    std::vector<float> whole = whole_numbers(nx, ny, 11);
    whole[std::size_t(5 * nx + 7)] = FMISSING;
    std::vector<float> smooth(std::size_t(nx * ny));
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            smooth[std::size_t(j * nx + i)] = float(std::sin(i * 0.3) * 4 + std::cos(j * 0.25) * 3);
    const auto draw = [&](const std::vector<float> &z, int type, float interval, bool quick) {
        if (quick)
            unsetenv("gridloc");
        else
            setenv("gridloc", "9999,9999", 1);
        settings_for(type, "", interval, 8, 0);
        MetaPlot plot({0, float(nx - 1), 0, float(ny - 1)});
        Grid g(nx, ny, z);
        Gattribs bundle;
        ATTRIB_init(&bundle);
        EXPECT_EQ(CONT_draw_cells(&g.rec, &bundle), 0);
        plot.close();
        // The records, without the header's creation date.
        std::istringstream in(read_file(plot.file()));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (line.rfind("#CreationDate", 0) != 0) lines.push_back(line);
        unsetenv("gridloc");
        return lines;
    };
    for (const auto *z : {&whole, &smooth})
        for (const int type : {12, 15, 16})
            for (const float interval : {1.0f, 0.7f, -1.5f}) {
                const std::vector<std::string> quick = draw(*z, type, interval, true);
                const std::vector<std::string> full = draw(*z, type, interval, false);
                const std::string what = std::string(z == &whole ? "whole numbers" : "smooth") + " type " +
                                         std::to_string(type) + " interval " + std::to_string(interval);
                EXPECT_GT(quick.size(), 40u) << what;
                ASSERT_EQ(quick.size(), full.size()) << what;
                for (std::size_t k = 0; k < quick.size(); ++k)
                    ASSERT_EQ(quick[k], full[k]) << what << " line " << k;
            }
}

// ---- Seams of world maps ---------------------------------------------------------------------

TEST(ContourSeams, SegmentsAndPolygons) {
    struct Case {
        const char *what;
        int proj;
        int kind;
        std::vector<Gpt> pts;
        std::vector<std::vector<Gpt>> drawn; // records in order
    };
    const float w = 400.31555892808814f;
    const float m = 254.852f; // the Mollweide row width at y = 0
    const std::vector<Case> cases = {
        {"ll 179 to -179", 2, 12, {{179, 0}, {-179, 0}}, {{{179, 0}, {181, 0}}, {{-181, 0}, {-179, 0}}}},
        {"ll -179 to 179", 2, 12, {{-179, 5}, {179, 6}}, {{{-179, 5}, {-181, 6}}, {{181, 5}, {179, 6}}}},
        {"ll near: as it is", 2, 12, {{10, 0}, {40, 0}}, {{{10, 0}, {40, 0}}}},
        {"mercator", 3, 12, {{199, 0}, {-199, 0}}, {{{199, 0}, {-199 + w, 0}}, {{199 - w, 0}, {-199, 0}}}},
        {"lambert: a long jump is dropped", 4, 12, {{-30, 0}, {30, 0}}, {}},
        {"lambert: a short one drawn", 4, 12, {{-20, 0}, {20, 0}}, {{{-20, 0}, {20, 0}}}},
        {"mollweide west to east",
         7,
         12,
         {{-100, 0}, {100, 0}},
         {{{-100 + m, 0}, {100, 0}}, {{-100, 0}, {100 - m, 0}}}},
        {"mollweide east to west",
         7,
         12,
         {{100, 0}, {-100, 0}},
         {{{100, 0}, {-100 + m, 0}}, {{100 - m, 0}, {-100, 0}}}},
        {"polar stereographic: as it is", 1, 12, {{-100, 0}, {100, 0}}, {{{-100, 0}, {100, 0}}}},
        {"ll polygon across the seam",
         2,
         15,
         {{179, 0}, {-179, 0}, {-179, 1}, {179, 1}, {179, 0}},
         {{{179, 0}, {181, 0}, {181, 1}, {179, 1}, {179, 0}},
          {{-181, 0}, {-179, 0}, {-179, 1}, {-181, 1}, {-181, 0}}}},
        {"ll polygon beyond 180",
         2,
         15,
         {{170, 0}, {190, 0}, {190, 1}, {170, 0}},
         {{{170, 0}, {190, 0}, {190, 1}, {170, 0}}, {{-190, 0}, {-170, 0}, {-170, 1}, {-190, 0}}}},
        {"lambert polygon across: dropped", 4, 15, {{-40, 0}, {40, 0}, {40, 1}}, {}},
        {"mollweide polygon",
         7,
         15,
         {{100, 0}, {-100, 0}, {-100, 1}},
         {{{100, 0}, {-100 + m, 0}, {-100 + 254.852f * std::sqrt(1 - (1 / 63.713f) * (1 / 63.713f)), 1}},
          {{100 - m, 0}, {-100, 0}, {-100, 1}}}},
        {"polygon inside: as it is", 2, 15, {{0, 0}, {1, 0}, {1, 1}}, {{{0, 0}, {1, 0}, {1, 1}}}},
    };
    for (const Case &c : cases) {
        CONT_init();
        CLR_read_table(nullptr);
        CONT_set_fill_colors("red,blue", 1);
        settings().con_off = 0;
        settings().seam_min = settings().seam_max = FMISSING;
        MAP_proj(c.proj);
        MetaPlot plot({-300, 300, -10, 10});
        EXPECT_EQ(CONT_draw_lines(c.kind, int(c.pts.size()), c.pts.data()), 0) << c.what;
        const auto recs = plot.close();
        ASSERT_EQ(recs.size(), c.drawn.size()) << c.what;
        for (std::size_t r = 0; r < recs.size(); ++r) {
            EXPECT_EQ(recs[r].key, c.kind == 12 ? "PL" : "FA");
            ASSERT_EQ(recs[r].pts.size(), c.drawn[r].size()) << c.what;
            for (std::size_t k = 0; k < recs[r].pts.size(); ++k)
                EXPECT_TRUE(same_point(recs[r].pts[k], c.drawn[r][k], 2e-4))
                    << c.what << " record " << r << " point " << k << ": " << recs[r].pts[k].x << ","
                    << recs[r].pts[k].y;
        }
    }
    // A band entry without colour draws nothing.
    CONT_init();
    CONT_set_fill_colors("none,red", 1);
    settings().con_off = 0;
    MAP_proj(2);
    MetaPlot plot({-300, 300, -10, 10});
    const Gpt seg[2] = {{0, 0}, {1, 1}};
    EXPECT_EQ(CONT_draw_lines(12, 2, seg), -1);
    EXPECT_TRUE(plot.close().empty());
}

// A cell whose corners lie on both sides of the seam, drawn at plot
// positions: the crossings are placed beyond the edge and the band is drawn
// on both sides.
TEST(ContourSeams, CellAcrossTheSeam) {
    settings_for(16, "", 0, 0, 0, {0, 5});
    // Plot positions in the grid's row order (northern row first).
    float *x = static_cast<float *>(std::malloc(4 * sizeof(float)));
    float *y = static_cast<float *>(std::malloc(4 * sizeof(float)));
    const float xs[4] = {179, -179, 179, -179}, ys[4] = {1, 1, 0, 0};
    std::copy(xs, xs + 4, x);
    std::copy(ys, ys + 4, y);
    CONT_grid(x, y);
    MAP_proj(2);
    MetaPlot plot({-300, 300, -10, 10});
    Grid g = Grid::cell(0, 10, 0, 10);
    CONT_draw_cells(&g.rec, nullptr);
    const auto recs = plot.close();
    std::vector<Rec> fills, lines;
    for (const Rec &r : recs)
        (r.key == "FA" ? fills : lines).push_back(r);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(same_point(lines[0].pts[0], {-180, 0}) && same_point(lines[0].pts[1], {-180, 1}));
    // The left half (c0, c2 at 179 and the crossings at -180) on both sides
    // of the seam; the right half lies west of it.
    ASSERT_EQ(fills.size(), 3u);
    for (const Rec &r : fills)
        EXPECT_NEAR(area(r.pts), 1.0, 1e-4);
    CONT_grid(nullptr, nullptr);
}

// ---- The oracle: contourpy and shapely on an analytic grid ------------------------------

// Sums of Gaussians with a little noise, so that no level meets a corner.
std::vector<float> analytic_grid(int nx, int ny, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> noise(-0.02f, 0.02f);
    std::vector<float> z(std::size_t(nx * ny));
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const double x = double(i) / (nx - 1), y = double(j) / (ny - 1);
            const double v = 6.0 * std::exp(-((x - 0.3) * (x - 0.3) + (y - 0.4) * (y - 0.4)) / 0.02) +
                             4.0 * std::exp(-((x - 0.7) * (x - 0.7) + (y - 0.65) * (y - 0.65)) / 0.03) -
                             3.0 * std::exp(-((x - 0.65) * (x - 0.65) + (y - 0.2) * (y - 0.2)) / 0.015) +
                             2.0 * std::exp(-((x - 0.2) * (x - 0.2) + (y - 0.85) * (y - 0.85)) / 0.01);
            z[std::size_t(j * nx + i)] = float(v) + noise(gen);
        }
    return z;
}

// Lines and filled bands with 14 levels of the default colours, on a text
// metafile, against contourpy's lines and shapely's areas of contourpy's
// filled bands clipped to every cell that is no saddle.
TEST(ContourOracle, LinesAndBandAreasAgainstContourpy) {
    const int nx = 41, ny = 31;
    const std::vector<float> z = analytic_grid(nx, ny, 7);
    Grid g(nx, ny, z);
    CONT_init();
    CONT_set_type(16);
    CLR_read_table(nullptr);
    ASSERT_EQ(CONT_set_fill_colors(nullptr, 0), 0);
    float max = 0, min = 0;
    GRD_maxmin(&g.rec, &max, &min);
    CONT_set_range(max, min);
    ASSERT_EQ(CONT_set_cont_ext(&g.rec), 0);
    ASSERT_EQ(CONT_get_num_cont(), 14);

    MetaPlot plot({0, float(nx - 1), 0, float(ny - 1)});
    Gattribs bundle;
    ATTRIB_init(&bundle);
    bundle.color = -1; // lines in their level's colour
    ASSERT_EQ(CONT_draw_cells(&g.rec, &bundle), 0);
    const std::string meta = plot.file();
    plot.close();

    // The levels as the walk forms them, and each entry's colour.
    std::vector<float> levels, colours;
    float lev = settings().conlo;
    for (int k = 0; k <= 14; ++k, lev += settings().intrvl)
        levels.push_back(lev);
    for (int k = 0; k < 15; ++k)
        colours.push_back(float(settings().fill_attrib[std::size_t(k)].color));
    const std::string input =
        zeqtest::numbers_line("size", {float(nx), float(ny)}) + zeqtest::numbers_line("levels", levels) +
        zeqtest::numbers_line("colours", colours) + zeqtest::numbers_line("z", z) + "meta " + meta + "\n";
    const std::string script = read_file(std::string(ZEQ_SOURCE_DIR) + "/tests/plot/cont_oracle.py");
    const auto result = zeqtest::named_numbers(
        zeqtest::run_python(script, input, "python3-numpy, python3-contourpy, python3-shapely"));
    ASSERT_TRUE(result.count("lines") && result.count("areas")) << "no result from the reference";
    const auto &lines = result.at("lines"); // checked, bad, unmatched reference, saddle skipped
    const auto &bands = result.at("areas"); // checked, bad, largest difference
    EXPECT_EQ(lines[1], 0) << "segments not on a contourpy line";
    EXPECT_EQ(lines[2], 0) << "contourpy segments we did not draw";
    EXPECT_GT(lines[0], 300);
    EXPECT_GT(bands[0], 1500);
    EXPECT_EQ(bands[1], 0) << "largest area difference " << bands[2];
    EXPECT_EQ(result.at("corner_hits")[0], 0);
}

// The same plot on PostScript: ghostscript renders it, and every band colour
// shows on the page.
TEST(ContourOracle, PostScriptRenders) {
    if (!gkstest::have_gs()) return;
    const int nx = 41, ny = 31;
    const std::vector<float> z = analytic_grid(nx, ny, 7);
    Grid g(nx, ny, z);
    setenv("PSCOLOR", "1", 1);
    CONT_init();
    CONT_set_type(16);
    TempDir dir;
    const std::string file = dir.file("cont.ps");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, file.c_str(), GWS_PS), 0);
    load_colours();
    const Glim win{0, float(nx - 1), 0, float(ny - 1)}, vp{0.05f, 0.95f, 0.05f, 0.7f};
    gset_win(3, &win);
    gset_vp(3, &vp);
    gsel_norm_tran(3);
    CONT_set_fill_colors(nullptr, 0);
    CONT_set_cont_ext(&g.rec);
    ASSERT_EQ(CONT_get_num_cont(), 14);
    ASSERT_EQ(CONT_draw_cells(&g.rec, nullptr), 0);
    ASSERT_EQ(gclose_ws(1), 0);
    const gkstest::GsRun check = gkstest::gs_check(file);
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, "");
    const gkstest::Raster page = gkstest::gs_render(file, "", 36);
    ASSERT_GT(page.width, 0);
    std::set<std::array<int, 3>> seen;
    for (int r = 0; r < page.height; ++r)
        for (int c = 0; c < page.width; ++c)
            seen.insert(page.at(c, r));
    int found = 0;
    for (int k = 0; k < 14; ++k) {
        float cr = 0, cg = 0, cb = 0;
        CLR_get_rgb(settings().fill_attrib[std::size_t(k)].color, &cr, &cg, &cb);
        const std::array<int, 3> want{int(std::lround(cr * 255)), int(std::lround(cg * 255)),
                                      int(std::lround(cb * 255))};
        bool near = false;
        for (const auto &p : seen)
            near = near || (std::abs(p[0] - want[0]) <= 3 && std::abs(p[1] - want[1]) <= 3 &&
                            std::abs(p[2] - want[2]) <= 3);
        found += near;
    }
    EXPECT_EQ(found, 14);
}

// ---- The stand-alone contour driver -------------------------------------------------------

namespace driver {

// What the plotting test driver's contour entry reports.
struct Report {
    Glim view{}, win{};
    int type = 0;
    float interval = 0;
    std::vector<float> levels;
};

Report report(const std::string &out) {
    Report r;
    const std::size_t v = out.find("view "), w = out.find("window "), t = out.find("type "),
                      l = out.find("levels ");
    EXPECT_TRUE(v != std::string::npos && w != std::string::npos && t != std::string::npos &&
                l != std::string::npos)
        << out;
    if (v == std::string::npos || w == std::string::npos || t == std::string::npos || l == std::string::npos)
        return r;
    std::sscanf(out.c_str() + v, "view %f %f %f %f", &r.view.x_min, &r.view.x_max, &r.view.y_min,
                &r.view.y_max);
    std::sscanf(out.c_str() + w, "window %f %f %f %f", &r.win.x_min, &r.win.x_max, &r.win.y_min,
                &r.win.y_max);
    std::sscanf(out.c_str() + t, "type %d", &r.type);
    int n = 0;
    std::sscanf(out.c_str() + l, "levels %d interval %f:", &n, &r.interval);
    std::istringstream rest(out.substr(out.find(':', l) + 1, out.find('\n', l) - out.find(':', l) - 1));
    float x = 0;
    while (rest >> x)
        r.levels.push_back(x);
    return r;
}

// The texts of a PostScript file's "%%TE:x y text" comments.
struct Text {
    float x, y;
    std::string text;
};

std::vector<Text> texts(const std::string &ps) {
    std::vector<Text> out;
    std::istringstream in(ps);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("%%TE:")) continue;
        Text t{};
        int used = 0;
        if (std::sscanf(line.c_str() + 5, "%f %f %n", &t.x, &t.y, &used) < 2) continue;
        t.text = line.substr(5 + std::size_t(used));
        out.push_back(t);
    }
    return out;
}

const char *const LAMBERT = "lc,40,-100,51,31,1.2";
const char *const LIST = "985:blue,990:cyan,995:green,1000:yellow,1005:magenta,1010:red";
const char *const LIST_COLOURS[] = {"blue", "cyan", "green", "yellow", "magenta", "red"};

// The page point (landscape PostScript, 756 by 576 device points) of a
// point of the map window drawn in the plot view.
std::pair<double, double> page(const Report &r, double x, double y) {
    const double s = 755;
    const double nx =
        r.view.x_min + (x - r.win.x_min) / (r.win.x_max - r.win.x_min) * (r.view.x_max - r.view.x_min);
    const double ny =
        r.view.y_min + (y - r.win.y_min) / (r.win.y_max - r.win.y_min) * (r.view.y_max - r.view.y_min);
    return {72 * (8.5 - 0.25) - ny * s, nx * s + 18};
}

// Renders a plot of the driver and compares the pixel at every inner
// point of the Lambert grid dom with the colour of the band of the
// analytic value there. Points within `margin` of a level or within 2.5
// grid lengths of a text (in grid coordinates) are passed over. The
// number of points compared.
int check_bands(const std::string &file, const Report &rep, const Domain &dom, const std::vector<Text> &near,
                float margin) {
    CLR_read_table(nullptr);
    const int nx = dom.nx, ny = dom.ny;
    const std::vector<float> z = zeqtest::analytic_values(dom);
    const gkstest::Raster img = gkstest::gs_render(file, gkstest::media(1000, 1000), 72);
    int checked = 0, wrong = 0;
    for (int j = 1; j < ny - 1; ++j)
        for (int i = 1; i < nx - 1; ++i) {
            const float v = z[std::size_t(ny - 1 - j) * std::size_t(nx) + std::size_t(i)];
            bool clear = true;
            for (float level : rep.levels)
                clear = clear && std::fabs(v - level) > margin;
            for (const Text &t : near)
                clear = clear && std::hypot(t.x - float(i), t.y - float(j)) > 2.5f;
            if (!clear) continue;
            const auto band =
                std::size_t(std::upper_bound(rep.levels.begin(), rep.levels.end(), v) - rep.levels.begin()) -
                1;
            EXPECT_LT(band, std::size(LIST_COLOURS));
            if (band >= std::size(LIST_COLOURS)) return checked;
            const int c = colour(LIST_COLOURS[band]);
            EXPECT_GE(c, 0) << LIST_COLOURS[band];
            float r = 0, g = 0, b = 0;
            CLR_get_rgb(c, &r, &g, &b);
            const float wx = rep.win.x_min + float(i) / float(nx - 1) * (rep.win.x_max - rep.win.x_min);
            const float wy = rep.win.y_min + float(j) / float(ny - 1) * (rep.win.y_max - rep.win.y_min);
            const auto [px, py] = page(rep, wx, wy);
            ++checked;
            if (!img.colour(px, py, int(std::lround(r * 255)), int(std::lround(g * 255)),
                            int(std::lround(b * 255)), 4)) {
                const auto at = img.at_pt(px, py);
                ADD_FAILURE() << "point " << i << "," << j << " value " << v << " band " << band << ": "
                              << at[0] << " " << at[1] << " " << at[2];
                if (++wrong > 10) return checked;
            }
        }
    return checked;
}

} // namespace driver

// The driver contours grid slot 0 (the analytic field on the Lambert domain
// of the map) filled by a level list, over the map, with the colour bar, to
// PostScript. Ghostscript renders it; every grid point away from the texts
// and from the levels shows the colour of its band; the line labels stand
// at the midpoints of their segments in their cells; "H" and "L" mark the
// analytic extrema with the grid's values; the bar shows the list values.
TEST(ContourDriver, LambertPlotOnPostScript) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const zeqtest::ChildResult run = zeqtest::run_plot_driver(
        dir.path(), "cont",
        {"-ba", "-de", "ps,out.ps", "-pd", driver::LAMBERT, "-pp", "bar,pscolor,mapcon", "-mf=zeq.map",
         std::string("-color_fill=") + driver::LIST});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const driver::Report rep = driver::report(run.out);
    EXPECT_EQ(rep.type, 15);
    ASSERT_EQ(rep.levels, (std::vector<float>{985, 990, 995, 1000, 1005, 1010}));
    const std::string ps = read_file(dir.file("out.ps"));
    // The map is drawn under the contours.
    EXPECT_LT(ps.find("%%Message: Map: zeq.map"), ps.find("%%TE:"));
    const gkstest::GsRun check = gkstest::gs_check(dir.file("out.ps"));
    EXPECT_EQ(check.status, 0) << check.out;

    Domain dom{};
    ASSERT_EQ(DOM_decode(driver::LAMBERT, &dom), 1);
    const int nx = dom.nx, ny = dom.ny;
    const std::vector<float> z = zeqtest::analytic_values(dom);
    const auto value = [&](int i, int j) {
        return z[std::size_t(ny - 1 - j) * std::size_t(nx) + std::size_t(i)];
    };
    const std::vector<driver::Text> te = driver::texts(ps);

    // Texts drawn on the grid (grid coordinates: inside 0..nx-1, 0..ny-1
    // and before the plot labels).
    std::vector<driver::Text> grid_texts;
    for (const driver::Text &t : te) {
        if (t.text == "Analytic field") break;
        grid_texts.push_back(t);
    }
    ASSERT_FALSE(grid_texts.empty());

    // Line labels: at the midpoint of the level's segment across its cell.
    int line_labels = 0;
    for (std::size_t k = 0; k < grid_texts.size(); ++k) {
        const driver::Text &t = grid_texts[k];
        if (t.text == "H" || t.text == "L") {
            ++k; // the value under the mark
            continue;
        }
        ++line_labels;
        const float level = std::stof(t.text);
        const int i = int(std::floor(t.x)), j = int(std::floor(t.y));
        const auto cross = [&](float za, float zb) { return (level - za) / (zb - za); };
        Gpt mid{};
        if (std::fabs(t.y - float(j) - 0.5f) < 1e-4f) { // bottom to top
            mid = {float(i) +
                       (cross(value(i, j), value(i + 1, j)) + cross(value(i, j + 1), value(i + 1, j + 1))) /
                           2,
                   float(j) + 0.5f};
        } else {
            ASSERT_LT(std::fabs(t.x - float(i) - 0.5f), 1e-4f) << t.text << " at " << t.x << "," << t.y;
            mid = {float(i) + 0.5f, float(j) + (cross(value(i, j), value(i, j + 1)) +
                                                cross(value(i + 1, j), value(i + 1, j + 1))) /
                                                   2};
        }
        EXPECT_NEAR(t.x, mid.x, 1e-3) << t.text;
        EXPECT_NEAR(t.y, mid.y, 1e-3) << t.text;
        EXPECT_TRUE(level == 985 || level == 995 || level == 1005) << "every second level: " << t.text;
    }
    EXPECT_GE(line_labels, 1);

    // Highs and lows at the analytic extrema, with the grid's values.
    std::vector<std::pair<std::string, Gpt>> marks;
    for (std::size_t k = 0; k + 1 < grid_texts.size(); ++k)
        if (grid_texts[k].text == "H" || grid_texts[k].text == "L") {
            const int i = int(std::lround(grid_texts[k].x)), j = int(std::lround(grid_texts[k].y));
            EXPECT_EQ(std::stoi(grid_texts[k + 1].text), int(std::lround(value(i, j))));
            EXPECT_NEAR(grid_texts[k + 1].y, grid_texts[k].y - 30 * 0.02, 1e-4);
            marks.push_back({grid_texts[k].text, Gpt{grid_texts[k].x, grid_texts[k].y}});
        }
    ASSERT_EQ(marks.size(), 3u);
    {
        Domain d = dom;
        MapScope scope(&d);
        float xc = 0, yc = 0;
        MAP_tran(d.clat, d.clon, &xc, &yc);
        for (const auto &[mark, p] : marks) {
            float lat = 0, lon = 0;
            MAP_untran(xc + (p.x - float(nx - 1) / 2) * d.dx, yc + (p.y - float(ny - 1) / 2) * d.dy, &lat,
                       &lon);
            bool near = false;
            for (const zeqtest::FieldBump &b : zeqtest::FIELD_BUMPS)
                near = near || ((b.amp > 0) == (mark == "H") && std::fabs(lat - b.lat) < 1.2 &&
                                std::fabs(lon - b.lon) < 1.6);
            EXPECT_TRUE(near) << mark << " at " << lat << "," << lon;
        }
    }

    // The bar: the list values under the boxes, no end label.
    std::vector<std::string> bar;
    for (const driver::Text &t : te)
        if (t.y < rep.view.y_min - 0.01f && t.x < 0.6f) bar.push_back(t.text);
    EXPECT_EQ(bar, (std::vector<std::string>{"985", "990", "995", "1000", "1005", "1010"}));

    // Band colours at the grid points.
    EXPECT_GT(driver::check_bands(dir.file("out.ps"), rep, dom, grid_texts, 0.5f), 200);
}

// The same field on a latitude-longitude grid under the same Lambert map
// is drawn through the projected positions of its points and gives the
// same band colours at the same places.
TEST(ContourDriver, LatLonGridThroughPlotPositions) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const zeqtest::ChildResult run = zeqtest::run_plot_driver(
        dir.path(), "cont",
        {"-ba", "-de", "ps,out.ps", "-pd", driver::LAMBERT, "-grid_domain=ll,40,-100,121,61,0.75", "-pp",
         "bar,pscolor,mapcon", std::string("-color_fill=") + driver::LIST});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const driver::Report rep = driver::report(run.out);
    Domain dom{};
    ASSERT_EQ(DOM_decode(driver::LAMBERT, &dom), 1);
    // The texts on the map in grid lengths of the Lambert grid.
    std::vector<driver::Text> near;
    for (const driver::Text &t : driver::texts(read_file(dir.file("out.ps")))) {
        if (t.text == "Analytic field") break;
        near.push_back({(t.x - rep.win.x_min) / dom.dx, (t.y - rep.win.y_min) / dom.dy, t.text});
    }
    ASSERT_GE(near.size(), 6u); // at least the two highs and the low with their values
    // Positions inside the latitude-longitude grid are filled (its corners
    // lie outside the map), so every inner point is compared.
    EXPECT_GT(driver::check_bands(dir.file("out.ps"), rep, dom, near, 1.0f), 100);
}

// With interval levels and neither con_interval nor batch mode the range is
// printed and the interval and the type are read from standard input; in
// batch mode nothing is asked and the interval comes from the range.
TEST(ContourDriver, IntervalPrompt) {
    TempDir dir;
    zeqtest::ChildResult run = zeqtest::run_plot_driver(
        dir.path(), "cont", {"-de", "meta,out.meta", "-pd", driver::LAMBERT, "-pp", "nobar"}, {"4\nc\n"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Maximum value: 1011.9"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Minimum value: 986.38"), std::string::npos) << run.out;
    driver::Report rep = driver::report(run.out);
    EXPECT_EQ(rep.interval, 4);
    EXPECT_EQ(rep.type, 15);
    // The lower-left label is the interval (no bar takes its place).
    EXPECT_NE(read_file(dir.file("out.meta")).find(" INTERVAL:   4.0\n"), std::string::npos);

    run =
        zeqtest::run_plot_driver(dir.path(), "cont", {"-ba", "-de", "meta,out.meta", "-pd", driver::LAMBERT});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("Maximum value"), std::string::npos) << run.out;
    rep = driver::report(run.out);
    // The range 986.4 .. 1011.9 over the default bands gives a whole step.
    EXPECT_GT(rep.interval, 0);
    EXPECT_EQ(rep.interval, std::round(rep.interval));
    EXPECT_EQ(rep.type, 15);
}

// "s-Alt" sent to the driver's callback writes slot 0 to output.grd under
// grid_path, which the grid reader reads back.
TEST(ContourDriver, SaveEvent) {
    TempDir dir;
    const std::string grids = dir.file("grids");
    ASSERT_EQ(mkdir(grids.c_str(), 0755), 0);
    const zeqtest::ChildResult run = zeqtest::run_plot_driver(
        dir.path(), "cont_save", {"-ba", "-pd", driver::LAMBERT, "-grid_path=" + grids});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    ASSERT_TRUE(std::filesystem::exists(grids + "/output.grd")) << run.out << run.err;
    int type = 0;
    const int fd = GRD_open((grids + "/output.grd").c_str(), 0, &type);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(type, 2);
    GRD_report back{};
    GRD_init(&back);
    int num = 0;
    ASSERT_EQ(GRD_read(fd, &back, 0, &num), 0);
    GRD_close(fd);
    Domain dom{};
    ASSERT_EQ(DOM_decode(driver::LAMBERT, &dom), 1);
    EXPECT_EQ(DOM_comp(&back.domain, &dom), 1);
    const std::vector<float> z = zeqtest::analytic_values(dom);
    ASSERT_NE(back.grid, nullptr);
    for (std::size_t k = 0; k < z.size(); ++k)
        ASSERT_NEAR(back.grid[k], z[k], 1e-3) << k;
    std::free(back.grid);
}

// Runs body(c) for every case in a child process of its own, all before any
// result is checked (a child inherits the failures already recorded), then
// expects each child to succeed, naming the case by name(c).
template <typename Case, std::size_t N, typename Name, typename Body>
void each_case_in_child(const Case (&cases)[N], Name name, Body body) {
    std::vector<zeqtest::ChildResult> results;
    for (const Case &c : cases)
        results.push_back(run_child([&] { return body(c); }));
    for (std::size_t k = 0; k < N; ++k)
        EXPECT_EQ(results[k].status, 0) << name(cases[k]) << "\n" << results[k].out << results[k].err;
}

// ---- Plots on a metafile -------------------------------------------------------------------

// A plot frame on a text metafile in a fresh working directory, with the
// map of `domain` current; close() gives the primitives drawn.
class FramePlot {
public:
    explicit FramePlot(const Domain &domain = zeqtest::make_domain(4, 40, -100, 41, 31, 1.2f, 1.2f))
        : domain_(domain) {
        EXPECT_EQ(chdir(dir_.path().c_str()), 0);
        RES_put("device", ("meta," + dir_.file("plot.meta")).c_str());
        testing::internal::CaptureStdout();
        EXPECT_EQ(PLT_open(DOM_aspect(&domain_)), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(MAP_setup(&domain_), 0);
        load_colours();
        // Colour 0 is no band's: the first fill after the mark records its colour.
        gset_fill_colr_ind(0);
        gmessage(1, "begin");
    }
    std::vector<zeqtest::MetaRecord> close() {
        testing::internal::CaptureStdout();
        EXPECT_EQ(PLT_close(), 0);
        testing::internal::GetCapturedStdout();
        std::vector<zeqtest::MetaRecord> recs = zeqtest::meta_records(read_file(dir_.file("plot.meta")));
        std::size_t k = 0;
        while (k < recs.size() && recs[k].key != "ME begin")
            ++k;
        return {recs.begin() + std::ptrdiff_t(std::min(k + 1, recs.size())), recs.end()};
    }
    std::string file(const std::string &name) const { return dir_.file(name); }

private:
    TempDir dir_;
    Domain domain_;
};

std::vector<zeqtest::MetaPrimitive> of_kind(const std::vector<zeqtest::MetaRecord> &recs,
                                            const std::string &key) {
    std::vector<zeqtest::MetaPrimitive> out;
    for (const zeqtest::MetaPrimitive &p : zeqtest::meta_primitives(recs))
        if (p.rec.key == key) out.push_back(p);
    return out;
}

std::vector<std::string> texts_of(const std::vector<zeqtest::MetaRecord> &recs) {
    std::vector<std::string> out;
    for (const zeqtest::MetaPrimitive &p : of_kind(recs, "TE"))
        out.push_back(p.rec.text);
    return out;
}

// ---- The colour bar ------------------------------------------------------------------------------

// The bar's boxes and labels: one box per level in the margin under the
// view, a label under every s-th box (s = levels / 15 + 1) and the top level
// at the right end; list labels instead of values; refusals.
TEST(ContourBar, BoxesAndLabels) {
    struct Case {
        const char *what;
        const char *colours;
        float interval, max, min;
        int rc;
        std::vector<std::string> labels;
        int boxes;
    };
    const Case cases[] = {
        {"14 levels",
         "1-15",
         3,
         1030,
         990,
         0,
         {"990", "993", "996", "999", "1002", "1005", "1008", "1011", "1014", "1017", "1020", "1023", "1026",
          "1029", "1032"},
         14},
        {"30 levels",
         "1-15",
         1,
         29.5f,
         0,
         0,
         {" 0", "3.0", "6.0", "9.0", "12", "15", "18", "21", "24", "27", "30"},
         30},
        {"201 levels", "1-15", 1, 200.5f, 0, -1, {}, 0},
        {"list labels",
         "0:red:la=cold,10:green:la=mild,20:blue:la=hot",
         0,
         0,
         0,
         0,
         {"cold", "mild", "hot"},
         3},
        {"no bands", "", 3, 1030, 990, -1, {}, 0},
        // A bar range without an interval spreads it over the bands less
        // one (40 a band here): a single band leaves none.
        {"one band, bar range", "red", -1, 1030, 990, -1, {}, 0},
        {"two bands, bar range", "red,blue", -1, 1030, 990, 0, {"960", "1000", "1040"}, 2},
    };
    each_case_in_child(
        cases, [](const Case &c) { return c.what; },
        [&](const Case &c) {
            FramePlot plot;
            CONT_init();
            CONT_set_type(15);
            if (c.colours[0] != '\0') {
                CONT_set_fill_colors(c.colours, 1);
            } else {
                // A band table that holds no entry.
                Gattribs end{};
                ATTRIB_init(&end);
                end.color = -2;
                CONT_set_fill_attribs(&end);
                settings().color_num = 0;
            }
            if (c.interval > 0) {
                CONT_set_intrvl(c.interval);
                CONT_set_range(c.max, c.min);
                CONT_set_cont_ext(nullptr);
            } else if (c.interval < 0) {
                CONT_set_bar_range(c.max, c.min);
            } else {
                CONT_set_cont_ext(nullptr);
            }
            GPH_trans(1);
            const int rc = CONT_draw_bar(1, "");
            const auto recs = plot.close();
            EXPECT_EQ(rc, c.rc) << c.what;
            EXPECT_EQ(texts_of(recs), c.labels) << c.what;
            Glim view{};
            PLT_get_view(&view);
            const auto fills = of_kind(recs, "FA");
            EXPECT_EQ(int(fills.size()), c.boxes) << c.what;
            if (rc != 0 || fills.empty()) return ::testing::Test::HasFailure() ? 1 : 0;
            // Boxes side by side in the upper half, under the view.
            const double left = view.x_min + 0.03 * (view.x_max - view.x_min),
                         right = (view.x_min + view.x_max) / 2;
            const double inc = (right - left) / c.boxes;
            Glim area{};
            GPH_get_view_size(&area);
            const double m = std::min(view.y_min - area.y_min, 0.035f);
            const double top = view.y_min - 0.15 * m, bottom = view.y_min - m, mid = (top + bottom) / 2;
            for (std::size_t k = 0; k < fills.size(); ++k) {
                double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
                for (const auto &p : fills[k].rec.pts) {
                    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y),
                    y1 = std::max(y1, p.y);
                }
                EXPECT_NEAR(x0, left + double(k) * inc, 1e-5) << c.what << " box " << k;
                EXPECT_NEAR(x1, left + double(k + 1) * inc, 1e-5) << c.what << " box " << k;
                EXPECT_NEAR(y0, mid, 1e-5) << c.what;
                EXPECT_NEAR(y1, top, 1e-5) << c.what;
                EXPECT_EQ(fills[k].color, settings().fill_attrib[k % std::size_t(settings().color_num)].color)
                    << c.what << " box " << k;
            }
            // Labels at the bottom, under the boxes' left edges.
            const auto te = of_kind(recs, "TE");
            const int every = c.boxes / 15 + 1;
            for (std::size_t k = 0; k < te.size(); ++k) {
                EXPECT_NEAR(te[k].rec.pts[0].y, bottom, 1e-5) << c.what;
                EXPECT_NEAR(te[k].rec.pts[0].x, left + double(k) * every * inc, 1e-5) << c.what << " " << k;
            }
            return ::testing::Test::HasFailure() ? 1 : 0;
        });
}

// With "fullab" the bar lies inside the view along its bottom; without it a
// margin of 0.005 under the view leaves no room (-1, nothing drawn). The
// read-out gives the box under a point, also in the labels' lower half,
// and -9999 outside the bar or before any bar.
TEST(ContourBar, PlaceAndReadOut) {
    const auto r = run_child([] {
        RES_put("plot_param", "fullab");
        FramePlot plot;
        EXPECT_EQ(CONT_get_bar_value(0.1f, 0.05f), FMISSING);
        CONT_init();
        CONT_set_type(15);
        CONT_set_fill_colors("1-15", 1);
        CONT_set_intrvl(3);
        CONT_set_range(1030, 990);
        CONT_set_cont_ext(nullptr);
        GPH_trans(1);
        EXPECT_EQ(CONT_draw_bar(1, "caption"), 0);
        const auto recs = plot.close();
        Glim view{};
        PLT_get_view(&view);
        const float left = view.x_min + 0.03f * (view.x_max - view.x_min),
                    right = (view.x_min + view.x_max) / 2;
        const float inc = (right - left) / 14, bottom = view.y_min + 0.15f * 0.035f,
                    top = view.y_min + 0.035f;
        for (const auto &f : of_kind(recs, "FA"))
            for (const auto &p : f.rec.pts) {
                EXPECT_GE(p.y, bottom - 1e-5);
                EXPECT_LE(p.y, top + 1e-5);
            }
        // Box 3 (996), upper and lower half; the ends; outside.
        const float lower = bottom + 0.1f * (top - bottom), upper = top - 0.1f * (top - bottom);
        EXPECT_FLOAT_EQ(CONT_get_bar_value(left + 3.5f * inc, upper), 999);
        EXPECT_FLOAT_EQ(CONT_get_bar_value(left + 3.5f * inc, lower), 999);
        EXPECT_FLOAT_EQ(CONT_get_bar_value(left + 0.01f * inc, upper), 990);
        EXPECT_FLOAT_EQ(CONT_get_bar_value(right - 0.01f * inc, upper), 1029);
        EXPECT_EQ(CONT_get_bar_value(right + inc, upper), FMISSING);
        EXPECT_EQ(CONT_get_bar_value(left + 3.5f * inc, top + 0.01f), FMISSING);
        // The caption: left-aligned, cap line at the view's right end.
        const auto te = of_kind(recs, "TE");
        EXPECT_EQ(te.back().rec.text, "caption");
        EXPECT_EQ(te.back().hor, 1);
        EXPECT_EQ(te.back().vert, 2);
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    const auto narrow = run_child([] {
        PLT_set_view_offsets(0, 0, 0.005f, 0.04f);
        // A tall map fills the plot area's height.
        FramePlot plot(zeqtest::make_domain(4, 40, -100, 11, 31, 1.2f, 1.2f));
        CONT_init();
        CONT_set_type(15);
        CONT_set_fill_colors("1-15", 1);
        CONT_set_intrvl(3);
        CONT_set_range(1030, 990);
        CONT_set_cont_ext(nullptr);
        GPH_trans(1);
        Glim view{}, area{};
        PLT_get_view(&view);
        GPH_get_view_size(&area);
        EXPECT_NEAR(view.y_min - area.y_min, 0.005 * (area.y_max - area.y_min), 1e-4);
        EXPECT_EQ(CONT_draw_bar(1, ""), -1);
        const auto recs = plot.close();
        EXPECT_TRUE(of_kind(recs, "FA").empty());
        EXPECT_TRUE(texts_of(recs).empty());
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(narrow.status, 0) << narrow.out << narrow.err;
}

// "f-Alt" over a box blinks that band's colour four times: black, then its
// own colour again, with a wait before each change; other events and points
// outside the bar do nothing. The contour driver's callback passes it on.
TEST(ContourBar, Flash) {
    const auto r = run_child([] {
        FramePlot plot;
        CONT_init();
        CONT_set_type(15);
        CONT_set_fill_colors("red,green,blue", 1);
        CONT_set_intrvl(10);
        CONT_set_range(25, 0);
        CONT_set_cont_ext(nullptr);
        GPH_trans(1);
        EXPECT_EQ(CONT_draw_bar(1, ""), 0);
        static int waits = 0;
        cont_detail::flash_sleep = [](float secs) {
            EXPECT_EQ(secs, 0.5f);
            ++waits;
            return 0;
        };
        Glim view{};
        PLT_get_view(&view);
        const float left = view.x_min + 0.03f * (view.x_max - view.x_min),
                    right = (view.x_min + view.x_max) / 2;
        // The middle box (10..20, green), given in map coordinates.
        const float bx = left + 1.5f * (right - left) / 3, by = view.y_min - 0.02f;
        const float mx = xW_trans(bx, 1, 2), my = yW_trans(by, 1, 2);
        gmessage(1, "flash");
        CONT_flash_value("v-Alt", mx, my);
        CONT_flash_value("f-Alt", xW_trans(right + 0.05f, 1, 2), my);
        EXPECT_EQ(waits, 0);
        // Through the contour driver's event callback, which passes it on.
        CONT_callback(2, "f-Alt", mx, my);
        EXPECT_EQ(waits, 8);
        const auto recs = plot.close();
        std::vector<std::string> colours;
        bool after = false;
        for (const auto &rec : recs) {
            after = after || rec.key == "ME flash";
            if (after && rec.key.starts_with("CLR ")) colours.push_back(rec.key);
        }
        const int g = colour("green");
        const std::string black = "CLR 1 " + std::to_string(g) + " 0.000000 0.000000 0.000000",
                          green = "CLR 1 " + std::to_string(g) + " 0.000000 1.000000 0.000000";
        EXPECT_EQ(colours,
                  (std::vector<std::string>{black, green, black, green, black, green, black, green}));
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

// ---- Drawing a grid ------------------------------------------------------------------------------

const Domain MAP41 = zeqtest::make_domain(4, 40, -100, 41, 31, 1.2f, 1.2f);

// A grid on domain d with values f(i, j) (j counted from the south).
template <typename F> Grid grid_on(const Domain &d, F f) {
    std::vector<float> v;
    for (int j = 0; j < d.ny; ++j)
        for (int i = 0; i < d.nx; ++i)
            v.push_back(float(f(i, j)));
    Grid g(d.nx, d.ny, v);
    g.rec.domain = d;
    return g;
}

// Whether the records select transformation 3 with the grid's window.
bool grid_window(const std::vector<zeqtest::MetaRecord> &recs, int nx, int ny) {
    bool win = false, tr = false;
    for (const auto &r : recs) {
        float a = 0, b = 0, c = 0, d = 0;
        int n = 0;
        if (std::sscanf(r.key.c_str(), "WIN %d %f %f %f %f", &n, &a, &b, &c, &d) == 5 && n == 3)
            win =
                a == 0 && b == 0 && c == float(nx - 1) && d == float(ny - 1); // x, y lower left, upper right
        if (r.key == "TR 3") tr = true;
    }
    return win && tr;
}

// A grid on the map's own domain is drawn in grid coordinates on
// transformation 3 (window 0..nx-1 by 0..ny-1); a grid on any other domain
// through the plot positions of its points on the map's transformation.
TEST(ContourDraw, GridOrPlotPositions) {
    const auto own = run_child([] {
        FramePlot plot(MAP41);
        Grid g = grid_on(MAP41, [](int i, int j) { return i + 0.5 * j; });
        CONT_init();
        CONT_set_type(12);
        CONT_set_intrvl(5);
        EXPECT_EQ(CONT_draw(&g.rec), 0);
        const auto recs = plot.close();
        EXPECT_TRUE(grid_window(recs, 41, 31)) << zeqtest::show(recs);
        for (const auto &p : of_kind(recs, "PL"))
            for (const auto &q : p.rec.pts) {
                EXPECT_GE(q.x, -1e-4);
                EXPECT_LE(q.x, 40 + 1e-4);
            }
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(own.status, 0) << own.out << own.err;

    const auto other = run_child([] {
        FramePlot plot(MAP41);
        Glim win{};
        MAP_get_window(&win);
        // A latitude-longitude grid inside the map.
        const Domain ll = zeqtest::make_domain(2, 40, -100, 21, 11, 1, 1);
        Grid g = grid_on(ll, [](int i, int j) { return i + 0.5 * j; });
        CONT_init();
        CONT_set_type(12);
        CONT_set_intrvl(5);
        EXPECT_EQ(CONT_draw(&g.rec), 0);
        const auto recs = plot.close();
        EXPECT_FALSE(grid_window(recs, 21, 11));
        int lines = 0;
        for (const auto &p : of_kind(recs, "PL"))
            for (const auto &q : p.rec.pts) {
                ++lines;
                // Plane coordinates of the map, near its centre.
                EXPECT_GT(q.x, win.x_min);
                EXPECT_LT(q.x, win.x_max);
                EXPECT_GT(q.y, win.y_min);
                EXPECT_LT(q.y, win.y_max);
            }
        EXPECT_GT(lines, 0);
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(other.status, 0) << other.out << other.err;
}

// Grid values (type 17): every x_skip-th column and y_skip-th row counted
// from the south, none at missing values, aligned by the sign of the x
// offset and moved by the offsets in units of the drawing's height; with
// color_label "none" nothing is printed and CONT_draw gives -1.
TEST(ContourDraw, GridValues) {
    struct Case {
        const char *what;
        const char *color_label;
        float x_off;
        int hor;
        int count;
    };
    const Case cases[] = {
        {"right of the offset", nullptr, -0.01f, 3, 5},
        {"centred", nullptr, 0, 2, 5},
        {"left", nullptr, 0.02f, 1, 5},
        {"no colour", "none", 0, 0, 0},
    };
    each_case_in_child(
        cases, [](const Case &c) { return c.what; },
        [&](const Case &c) {
            const Domain d = zeqtest::make_domain(4, 40, -100, 5, 4, 1.2f, 1.2f);
            if (c.color_label != nullptr) RES_put("color_label", c.color_label);
            FramePlot plot(d);
            // Row 1 from the south is skipped (y step 2); one missing value.
            Grid g = grid_on(d, [](int i, int j) { return i == 2 && j == 2 ? FMISSING : 10 * j + i + 0.25; });
            CONT_init();
            CONT_set_type(17);
            CONT_set_skip(2, 2);
            CONT_set_plot_offset(c.x_off, 0.1f);
            EXPECT_EQ(CONT_draw(&g.rec), -1);
            const auto te = of_kind(plot.close(), "TE");
            EXPECT_EQ(int(te.size()), c.count) << c.what;
            // Northernmost printed row (2) first, then row 0; west to east.
            const std::vector<std::pair<int, int>> at = {{0, 2}, {4, 2}, {0, 0}, {2, 0}, {4, 0}};
            for (std::size_t k = 0; k < te.size() && k < at.size(); ++k) {
                const auto [i, j] = at[k];
                char want[16];
                set_num(want, sizeof want, "1.1.0", float(10 * j + i) + 0.25f);
                EXPECT_EQ(te[k].rec.text, want) << c.what;
                EXPECT_NEAR(te[k].rec.pts[0].x, i + 3 * c.x_off, 1e-5) << c.what;
                EXPECT_NEAR(te[k].rec.pts[0].y, j + 3 * 0.1, 1e-5) << c.what;
                EXPECT_EQ(te[k].hor, c.hor) << c.what;
                EXPECT_EQ(te[k].vert, 3) << c.what;
            }
            return ::testing::Test::HasFailure() ? 1 : 0;
        });
}

// On a 41 x 31 grid the label spacing defaults to 8 columns and 6 rows:
// labels stand at the midpoints of segments crossing the cells of columns
// 0, 8, 16, ... (left to right) and rows 0, 6, 12, ... (bottom to top), and
// every second level is labelled.
TEST(ContourDraw, LabelSpacing) {
    const auto r = run_child([] {
        FramePlot plot(MAP41);
        const auto f = [](int i, int j) { return 10 * std::sin(i / 7.0) + 10 * std::cos(j / 5.0); };
        Grid g = grid_on(MAP41, f);
        CONT_init();
        CONT_set_type(12);
        CONT_set_intrvl(2);
        CONT_set_base(0);
        CONT_set_label_type(2, 0);
        EXPECT_EQ(CONT_draw(&g.rec), 0);
        EXPECT_EQ(settings().x_label_space, 8);
        EXPECT_EQ(settings().y_label_space, 6);
        const auto te = of_kind(plot.close(), "TE");
        int across = 0, up = 0;
        for (const auto &t : te) {
            const double x = t.rec.pts[0].x, y = t.rec.pts[0].y;
            const int i = int(std::floor(x)), j = int(std::floor(y));
            const float level = std::stof(t.rec.text);
            const auto cross = [&](float za, float zb) { return (level - za) / (zb - za); };
            EXPECT_EQ(std::fmod(level, 4.0f), 0.0f) << t.rec.text;
            if (std::fabs(y - j - 0.5) < 1e-4 && j % 6 == 0) {
                ++up; // from the bottom side to the top side
                const float f0 = cross(float(f(i, j)), float(f(i + 1, j)));
                const float f2 = cross(float(f(i, j + 1)), float(f(i + 1, j + 1)));
                EXPECT_NEAR(x, i + (f0 + f2) / 2, 1e-3);
            } else {
                ++across; // from the left side to the right side
                EXPECT_NEAR(x - i, 0.5, 1e-4) << x << "," << y;
                EXPECT_EQ(i % 8, 0) << x << "," << y;
                const float f1 = cross(float(f(i, j)), float(f(i, j + 1)));
                const float f3 = cross(float(f(i + 1, j)), float(f(i + 1, j + 1)));
                EXPECT_NEAR(y, j + (f1 + f3) / 2, 1e-3);
            }
        }
        EXPECT_GT(across, 0);
        EXPECT_GT(up, 0);
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

// Highs and lows: a point higher (lower) than every neighbour within the
// radius, with fewer than two missing neighbours and inside the cut-offs,
// is marked with its value below the mark.
TEST(ContourDraw, Extrema) {
    struct Case {
        const char *what;
        std::vector<std::pair<int, int>> tens; // points of 10 in a field of 5
        std::vector<std::pair<int, int>> missing;
        float low; // value at 6,4 (5: none)
        float min_cut;
        std::vector<std::string> marks; // mark and value, in drawing order
    };
    const Case cases[] = {
        {"peak", {{3, 3}}, {}, 5, FMISSING, {"H", "10"}},
        {"plateau", {{3, 3}, {4, 3}}, {}, 5, FMISSING, {}},
        {"one missing", {{3, 3}}, {{2, 2}}, 5, FMISSING, {"H", "10"}},
        {"two missing", {{3, 3}}, {{2, 2}, {4, 4}}, 5, FMISSING, {}},
        {"low", {}, {}, -3, FMISSING, {"L", "-3"}},
        {"low under min_cut 0", {}, {}, -3, 0, {}},
    };
    each_case_in_child(
        cases, [](const Case &c) { return c.what; },
        [&](const Case &c) {
            const Domain d = zeqtest::make_domain(4, 40, -100, 9, 7, 1.2f, 1.2f);
            FramePlot plot(d);
            Grid g = grid_on(d, [&](int i, int j) {
                for (auto [a, b] : c.missing)
                    if (a == i && b == j) return float(FMISSING);
                for (auto [a, b] : c.tens)
                    if (a == i && b == j) return 10.0f;
                return i == 6 && j == 4 ? c.low : 5.0f;
            });
            CONT_init();
            CONT_set_type(12);
            CONT_set_intrvl(100); // no lines, no labels
            if (!is_missing(c.min_cut)) CONT_set_cutoff(FMISSING, c.min_cut);
            EXPECT_EQ(CONT_draw(&g.rec), 0);
            const auto te = of_kind(plot.close(), "TE");
            std::vector<std::string> got;
            for (const auto &t : te)
                got.push_back(t.rec.text);
            std::vector<std::string> want;
            for (const std::string &m : c.marks) {
                char v[16] = "";
                if (m == "H" || m == "L")
                    want.push_back(m);
                else {
                    set_num(v, sizeof v, "3.3.0", std::stof(m));
                    want.push_back(v);
                }
            }
            EXPECT_EQ(got, want) << c.what;
            if (te.size() == 2) {
                // The value under the mark, 0.02 of the height (6) lower.
                EXPECT_NEAR(te[1].rec.pts[0].y, te[0].rec.pts[0].y - 6 * 0.02, 1e-5);
                EXPECT_NEAR(te[0].height, 6 * 0.02, 1e-5);
                EXPECT_NEAR(te[1].height, 6 * 0.015, 1e-5);
            }
            return ::testing::Test::HasFailure() ? 1 : 0;
        });
}

// ---- Plot setup ------------------------------------------------------------------------------------

// A grid of 5 x 4 values from min to max with its labels.
Grid ranged(float min, float max) {
    std::vector<float> v(20);
    for (std::size_t k = 0; k < v.size(); ++k)
        v[k] = min + (max - min) * float(k) / 19;
    Grid g(5, 4, v);
    copy_text(g.rec.info, "Pressure (mb)");
    copy_text(g.rec.datim, "12Z 5 JAN 24");
    return g;
}

// Frame 0 keeps its type, interval and colour base for the frames after
// it, which ask nothing; a later frame of a variable whose frame 0 never
// ran uses its own settings. The labels name the grid, its date, its range
// and the interval.
TEST(ContourSetup, FramesShareLevels) {
    const auto r = run_child(
        [] {
            CLR_read_table(nullptr);
            FLAG_set_batch(1);
            Grid first = ranged(990, 1030);
            CONT_plot_setup(0, 3, &first.rec, nullptr, nullptr);
            EXPECT_EQ(CONT_get_type(), 15);
            EXPECT_EQ(CONT_get_intrvl(), 3);
            EXPECT_STREQ(PLT_get_label(0, 0), "Pressure (mb)");
            EXPECT_STREQ(PLT_get_label(2, 0), "12Z 5 JAN 24");
            EXPECT_STREQ(PLT_get_label(5, 0), "LO: 990.0  HI: 1030.0");
            EXPECT_STREQ(PLT_get_label(3, 0), "INTERVAL:   3.0");
            // Later frames are not in batch mode and nobody answers.
            FLAG_set_batch(0);
            Grid second = ranged(0, 100);
            CONT_plot_setup(1, 3, &second.rec, nullptr, nullptr);
            EXPECT_EQ(CONT_get_type(), 15);
            EXPECT_EQ(CONT_get_intrvl(), 3);
            EXPECT_EQ(CONT_get_base(), 990);
            EXPECT_EQ(settings().conlo, 0);
            // Entry 4 had no frame 0: batch mode settles its own type and
            // interval (no type 0 that would draw nothing).
            FLAG_set_batch(1);
            CONT_plot_setup(2, 4, &second.rec, nullptr, nullptr);
            EXPECT_EQ(CONT_get_type(), 15);
            EXPECT_EQ(CONT_get_intrvl(), 8); // 100 over 14 bands
            return ::testing::Test::HasFailure() ? 1 : 0;
        },
        {"", false});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Enter the contour interval"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Maximum value"), std::string::npos) << r.out;
}

// con_base items: '>' v the base and the lower cut-off, '<' v the upper
// cut-off alone, a plain number the base.
TEST(ContourSetup, ConBase) {
    struct Case {
        const char *con_base;
        float base, min_cut, max_cut;
    };
    const Case cases[] = {
        {">0", 0, 0, FMISSING},
        {"<100", FMISSING, FMISSING, 100},
        {"5", 5, FMISSING, FMISSING},
        {">2,<50", 2, 2, 50},
    };
    each_case_in_child(
        cases, [](const Case &c) { return c.con_base; },
        [&](const Case &c) {
            CLR_read_table(nullptr);
            FLAG_set_batch(1);
            RES_put("con_base", c.con_base);
            Grid g = ranged(-20, 120);
            CONT_plot_setup(0, 0, &g.rec, nullptr, nullptr);
            EXPECT_EQ(settings().base, c.base) << c.con_base;
            EXPECT_EQ(settings().min_cut, c.min_cut) << c.con_base;
            EXPECT_EQ(settings().max_cut, c.max_cut) << c.con_base;
            return ::testing::Test::HasFailure() ? 1 : 0;
        });
}

// A level list: the lower-left label lists as many whole values as a label
// holds; the bar is on unless "nobar" (or a wind plot's "nobar") switched it
// off.
TEST(ContourSetup, LevelListLabelAndBar) {
    std::string list;
    for (int k = 0; k < 20; ++k)
        list += (k > 0 ? "," : "") + std::to_string(1000 + 5 * k) + ".5:" + std::to_string(k % 15 + 1);
    struct Case {
        const char *what;
        const char *plot_param;
        int bar_before;
        int bar;
    };
    const Case cases[] = {
        {"list", nullptr, 0, 1},
        {"nobar", "nobar", 0, 0},
        {"switched off by a wind plot", nullptr, -1, 0},
    };
    each_case_in_child(
        cases, [](const Case &c) { return c.what; },
        [&](const Case &c) {
            CLR_read_table(nullptr);
            FLAG_set_batch(1);
            RES_put("color_fill", list.c_str());
            CONT_set_bar(c.bar_before);
            // The plot options of plot_param, as opening the plot decodes them.
            if (c.plot_param != nullptr) RES_put("plot_param", c.plot_param);
            PLT_param_decode();
            Grid g = ranged(1000, 1100);
            CONT_plot_setup(0, 0, &g.rec, nullptr, nullptr);
            EXPECT_EQ(CONT_get_bar(), c.bar) << c.what;
            const std::string label = PLT_get_label(3, 0);
            EXPECT_TRUE(label.starts_with("LEVELS: 1000.5,1005.5,1010.5,")) << label;
            // Whole values only, as many as fit.
            std::string next = label.substr(label.rfind(',') + 1);
            const float last = std::stof(next);
            const int shown = int(std::lround((last - 1000.5f) / 5)) + 1;
            EXPECT_EQ(std::count(label.begin(), label.end(), ','), shown - 1) << label;
            char more[16];
            set_num(more, sizeof more, "1.1.1", last + 5);
            EXPECT_GT(label.size() + 1 + std::strlen(more), 68u) << label;
            EXPECT_LE(label.size(), 68u) << label;
            return ::testing::Test::HasFailure() ? 1 : 0;
        });
}

// CONT_plot_grid sets up the grid it is given and plots slot 0 on the
// grid's own domain when the domain handed in has no centre; the contour
// type is unset afterwards.
TEST(ContourSetup, PlotGridOnItsOwnDomain) {
    const auto r = run_child([] {
        TempDir dir;
        EXPECT_EQ(chdir(dir.path().c_str()), 0);
        RES_put("device", ("meta," + dir.file("plot.meta")).c_str());
        FLAG_set_batch(1);
        Domain d = zeqtest::make_domain(4, 40, -100, 21, 15, 1.2f, 1.2f);
        GRD_set_grid_domain(0, &d);
        GRD_alloc_grid(0);
        GRD_report *slot = GRD_get_grid(0);
        d = slot->domain;
        const std::vector<float> z = zeqtest::analytic_values(d);
        std::copy(z.begin(), z.end(), slot->grid);
        Domain none;
        DOM_init(&none);
        testing::internal::CaptureStdout();
        EXPECT_EQ(CONT_plot_grid(slot, &none, nullptr), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(is_missing(CONT_get_type()));
        Domain map;
        MAP_get_domain(&map);
        EXPECT_EQ(DOM_comp(&map, &d), 1);
        const auto recs = zeqtest::meta_records(read_file(dir.file("plot.meta")));
        EXPECT_TRUE(grid_window(recs, 21, 15));
        int fills = 0;
        for (const auto &rec : recs)
            fills += rec.key == "FA";
        EXPECT_GT(fills, 0);
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

} // namespace
