// Plot labels: the label format, the store with its overlays and append
// mode, and the drawing of the six positions as a text metafile records it
// (positions, line heights, switches, the colour bar and reference vector,
// labels inside the view); the plotting test driver's PostScript rendered by
// ghostscript with its labels placed as the label table says.
#include "plot/plt_labl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "fields/var_tool.h"
#include "graphics/gks.h"
#include "graphics/gks_tool.h"
#include "plot/plt_tool.h"
#include "plot/plt_tool_int.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/zeq.h"
#include "graphics/render.h"
#include "support/child.h"
#include "support/plot_driver.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;

std::string format(const char *form, std::size_t size = 80) {
    char buf[200];
    PLT_label_format(form, buf, size);
    return buf;
}

// ---- Format ------------------------------------------------------------------------

TEST(LabelFormat, Codes) {
    const Date d{2024, 6, 15, 167, 6, 6, 5, 0};
    PLT_label_date(&d);
    PLT_label_for_time(12);
    const struct {
        const char *form;
        const char *want;
    } cases[] = {
        {"%h%n", "0605"},
        {"%y%m%d", "240615"},
        {"%b", "JUN"},
        {"100%%", "100%"},
        {"Surface_%D", "Surface 0605Z 15 JUN 24"},
        {"%V", "18Z SAT 15 JUN 24"},
        {"%f", "12 hour"},
        {"a%xb", "ab"},     // an unknown code gives nothing
        {"ends%", "ends"},  // so does a '%' at the end
        {"_x__y", " x  y"}, // every '_' a blank
    };
    for (const auto &c : cases)
        EXPECT_EQ(format(c.form), c.want) << c.form;

    PLT_label_for_time(36);
    EXPECT_EQ(format("%F"), "1.5 day");
    // The result is cut to the caller's buffer.
    EXPECT_EQ(format("%D", 5), "0605");
}

// Missing fields print as their first two characters (-9999 as -9); %W
// takes the hour away for good; a month outside 1..12 leaves three blanks.
TEST(LabelFormat, MissingFields) {
    Date d{2024, 13, 15, 0, 0, MISSING, MISSING, 0};
    PLT_label_date(&d);
    PLT_label_for_time(0);
    EXPECT_EQ(format("%h%n"), "-9-9");
    EXPECT_EQ(format("[%b]"), "[   ]");

    d = {2024, 6, 15, 167, 6, 6, 5, 0};
    PLT_label_date(&d);
    PLT_label_for_time(12);
    EXPECT_EQ(format("%W"), "SAT 15 JUN 24");
    EXPECT_EQ(format("%h"), "-9");
    PLT_label_date(&d);
    EXPECT_EQ(format("%h"), "06");
}

// ---- Store and overlays ------------------------------------------------------------

// In append mode the later overlays' texts go onto the first overlay's line,
// from where the overlay began: a second text replaces the first.
TEST(LabelStore, AppendMode) {
    PLT_set_label_type(-1);
    PLT_set_overlay(0);
    PLT_label_up_left("Temperature");
    EXPECT_EQ(PLT_next_overlay(), 1);
    EXPECT_EQ(PLT_get_label_type(), -2);
    PLT_label_up_left("Wind");
    EXPECT_STREQ(PLT_get_label(0, 0), "Temperature Wind");
    PLT_label_up_left("Gust");
    EXPECT_STREQ(PLT_get_label(0, 0), "Temperature Gust");
    EXPECT_STREQ(PLT_get_label(0, 1), "");
    // An append that would reach 60 characters is dropped.
    PLT_label_up_left(std::string(49, 'x').c_str());
    EXPECT_STREQ(PLT_get_label(0, 0), "Temperature Gust");
    PLT_label_up_left(std::string(48, 'x').c_str());
    EXPECT_EQ(std::string(PLT_get_label(0, 0)), "Temperature " + std::string(48, 'x'));
}

// Normal mode: each overlay keeps its own texts; a text over 68 characters
// is not stored; a negative overlay takes no texts.
TEST(LabelStore, OverlaysAndLimits) {
    PLT_set_label_type(0);
    PLT_label_low_right("first");
    PLT_next_overlay();
    PLT_label_low_right("second");
    EXPECT_STREQ(PLT_get_label(5, 0), "first");
    EXPECT_STREQ(PLT_get_label(5, 1), "second");
    EXPECT_EQ(PLT_get_label_type(), 0);

    const std::string max(68, 'm');
    PLT_label_low_right(max.c_str());
    PLT_label_low_right((max + "x").c_str());
    EXPECT_EQ(PLT_get_label(5, 1), max);

    PLT_set_overlay(-1);
    PLT_label_low_right("ignored");
    PLT_label_up_center("ignored");
    EXPECT_EQ(PLT_get_label(5, 1), max);
    EXPECT_STREQ(PLT_get_label(1, 0), "");
    EXPECT_STREQ(PLT_get_label(6, 0), "");
    EXPECT_STREQ(PLT_get_label(0, 6), "");

    PLT_init_labels();
    EXPECT_STREQ(PLT_get_label(5, 0), "");
    EXPECT_EQ(PLT_get_num_over(), 0);
}

// Six steps from overlay 0: 1 to 5, then -1 with nothing changed; a
// stacked mode grows with each step.
TEST(LabelStore, NextOverlay) {
    PLT_set_label_type(1);
    std::vector<int> got;
    for (int i = 0; i < 6; ++i)
        got.push_back(PLT_next_overlay());
    EXPECT_EQ(got, (std::vector<int>{1, 2, 3, 4, 5, -1}));
    EXPECT_EQ(PLT_get_label_type(), 6);
    EXPECT_EQ(PLT_get_num_over(), 5);
}

// Selecting overlay d makes d + 1 lines, so that d's texts are drawn; the
// base and the count setters.
TEST(LabelStore, OverlayCount) {
    PLT_set_overlay(2);
    EXPECT_EQ(PLT_get_num_over(), 3);
    PLT_set_overlay(0);
    EXPECT_EQ(PLT_get_num_over(), 3);
    PLT_set_overlay(9);
    PLT_label_up_left("last");
    EXPECT_STREQ(PLT_get_label(0, 5), "last");
    EXPECT_EQ(PLT_get_num_over(), 6);
    PLT_set_num_overlay(-2);
    EXPECT_EQ(PLT_get_num_over(), 2);
    PLT_set_num_overlay(1);
    EXPECT_EQ(PLT_get_num_over(), 2);
    PLT_set_overlay_base(7);
    EXPECT_EQ(PLT_get_overlay_base(), 5);
    EXPECT_EQ(PLT_get_num_over(), 5);
}

// ---- Drawing on a text metafile ------------------------------------------------------------

struct Text {
    float x;
    float y;
    std::string text;
    float height; // the character height in force
    int hor;      // the alignment in force
    int vert;
};

struct Drawn {
    std::vector<Text> texts;
    int borders = 0; // closed 5-point polylines
};

// The texts and borders recorded after the "Labels" message of a metafile.
Drawn read_labels(const std::string &meta) {
    Drawn d;
    std::istringstream in(meta);
    std::string line;
    bool labels = false;
    float height = 0;
    int hor = 0, vert = 0;
    while (std::getline(in, line)) {
        if (line == "ME Labels") labels = true;
        if (!labels) continue;
        float x = 0, y = 0;
        char text[200] = "";
        if (std::sscanf(line.c_str(), "TE_HGHT %f", &height) == 1) continue;
        if (std::sscanf(line.c_str(), "TE_ALGN %d %d", &hor, &vert) == 2) continue;
        if (std::sscanf(line.c_str(), "TE %f,%f %199[^\n]", &x, &y, text) == 3)
            d.texts.push_back({x, y, text, height, hor, vert});
        if (line.starts_with("PL 5 ")) ++d.borders;
    }
    return d;
}

const Text *find(const Drawn &d, const std::string &text) {
    for (const Text &t : d.texts)
        if (t.text == text) return &t;
    return nullptr;
}

// A plot of aspect 1 on a text metafile in dir, with the given plot options.
class MetaPlot {
public:
    explicit MetaPlot(const std::string &plot_param = "") {
        RES_put("device", ("meta," + dir_.file("plot.meta")).c_str());
        RES_put("plot_param", plot_param.c_str());
        EXPECT_EQ(PLT_open(1.0f), 0);
        PLT_get_view(&view);
        GPH_get_view_size(&area);
    }
    Drawn close() {
        EXPECT_EQ(PLT_close(), 0);
        return read_labels(read_file(dir_.file("plot.meta")));
    }
    Glim view{};
    Glim area{};

private:
    TempDir dir_;
};

void label_all(const char *suffix) {
    const std::string s(suffix);
    PLT_label_up_left(("ul" + s).c_str());
    PLT_label_up_center(("uc" + s).c_str());
    PLT_label_up_right(("ur" + s).c_str());
    PLT_label_low_left(("ll" + s).c_str());
    PLT_label_low_center(("lc" + s).c_str());
    PLT_label_low_right(("lr" + s).c_str());
}

// Every position with one overlay: x at 1 % of the width inside the view's
// sides or at its centre, the upper lines on their base 0.2 line heights
// above the view, the lower ones hanging from their cap as far below it,
// the text 0.75 line heights high, and the border of the view.
TEST(LabelDrawing, SixPositions) {
    MetaPlot plot;
    label_all("");
    PLT_next_overlay();
    EXPECT_EQ(PLT_labels(), 0);
    const Glim v = plot.view;
    const Drawn d = plot.close();
    const float width = v.x_max - v.x_min, height = v.y_max - v.y_min;
    const float s = std::min(v.y_min - plot.area.y_min, 0.03f * height);
    const float left = v.x_min + 0.01f * width, centre = (v.x_min + v.x_max) / 2,
                right = v.x_max - 0.01f * width;
    const struct {
        const char *text;
        float x, y;
        int hor, vert;
    } want[] = {
        {"ul", left, v.y_max + 0.2f * s, 1, 4},   {"uc", centre, v.y_max + 0.2f * s, 2, 4},
        {"ur", right, v.y_max + 0.2f * s, 3, 4},  {"ll", left, v.y_min - 0.2f * s, 1, 2},
        {"lc", centre, v.y_min - 0.2f * s, 2, 2}, {"lr", right, v.y_min - 0.2f * s, 3, 2},
    };
    ASSERT_EQ(d.texts.size(), 6u);
    for (const auto &w : want) {
        const Text *t = find(d, w.text);
        ASSERT_NE(t, nullptr) << w.text;
        EXPECT_NEAR(t->x, w.x, 1e-5) << w.text;
        EXPECT_NEAR(t->y, w.y, 1e-5) << w.text;
        EXPECT_NEAR(t->height, 0.75f * s, 1e-5) << w.text;
        EXPECT_EQ(t->hor, w.hor) << w.text;
        EXPECT_EQ(t->vert, w.vert) << w.text;
    }
    EXPECT_EQ(d.borders, 1);
}

// The line height: with one overlay the smaller of the bottom margin and 3 %
// of the view's height; with three overlays in normal or stacked mode a
// third of the margin; in append mode always one line. Overlay 0 is the
// lowest line at every position.
TEST(LabelDrawing, LineHeights) {
    const struct {
        const char *plot_param;
        int mode;
        int overlays;
    } cases[] = {{"", 0, 1}, {"", 0, 3}, {"", 1, 3}, {"", -1, 3}, {"full", 0, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.plot_param) + " mode " + std::to_string(c.mode) + " overlays " +
                     std::to_string(c.overlays));
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            // A 2 % margin is smaller than 3 % of the view: it decides one line.
            if (*c.plot_param == '\0' && c.overlays == 1) PLT_set_view_offset(0.02f);
            MetaPlot plot(c.plot_param);
            PLT_set_label_type(c.mode);
            // In append mode the later texts would join the first line:
            // only the first overlay is labelled there.
            for (int k = 0; k < c.overlays; ++k) {
                if (c.mode >= 0 || k == 0) {
                    PLT_label_low_left(("ll" + std::to_string(k)).c_str());
                    PLT_label_up_left(("ul" + std::to_string(k)).c_str());
                }
                PLT_next_overlay();
            }
            const int rc = PLT_labels();
            const Glim v = plot.view;
            const Drawn d = plot.close();
            const float margin = v.y_min - plot.area.y_min;
            const int lines = c.mode >= 0 ? c.overlays : 1;
            const float s = std::min(margin / static_cast<float>(lines), 0.03f * (v.y_max - v.y_min));
            if (margin < 0.005f) return rc == -1 && d.texts.empty() && d.borders == 1 ? 0 : 20;
            if (rc != 0 || d.texts.size() != 2u * static_cast<unsigned>(lines)) return 21;
            for (int k = 0; k < lines; ++k) {
                const Text *ll = find(d, "ll" + std::to_string(k));
                const Text *ul = find(d, "ul" + std::to_string(k));
                if (ll == nullptr || ul == nullptr) return 30 + k;
                const float low = v.y_min - 0.2f * s - static_cast<float>(lines - 1 - k) * s;
                const float up = v.y_max + 0.2f * s + static_cast<float>(k) * s;
                if (std::fabs(ll->y - low) > 1e-5f || std::fabs(ul->y - up) > 1e-5f) return 40 + k;
                if (std::fabs(ll->height - 0.75f * s) > 1e-6f) return 50;
            }
            return 0;
        });
        EXPECT_EQ(r.status, 0) << r.err;
    }
}

// The resource label: "ul:" replaces the upper-left stack by one line even
// with three overlays, "ll2:" sets the text of overlay 2 and so a third line;
// unknown items and other letter cases.
TEST(LabelDrawing, ResourceLabelItems) {
    MetaPlot plot;
    const Date d{2024, 1, 5, 5, 5, 12, 0, 0};
    PLT_label_date(&d);
    for (int k = 0; k < 3; ++k) {
        label_all(std::to_string(k).c_str());
        PLT_next_overlay();
    }
    RES_put("label", "UL:Surface_%D,ll2:Third,xx:nothing,uc,lr9");
    EXPECT_EQ(PLT_labels(), 0);
    EXPECT_STREQ(PLT_get_label(0, 0), "Surface 1200Z  5 JAN 24");
    EXPECT_STREQ(PLT_get_label(3, 2), "Third");
    const Drawn drawn = plot.close();
    EXPECT_NE(find(drawn, "Surface 1200Z  5 JAN 24"), nullptr);
    EXPECT_EQ(find(drawn, "ul1"), nullptr);
    EXPECT_EQ(find(drawn, "ul2"), nullptr);
    EXPECT_NE(find(drawn, "Third"), nullptr);
    EXPECT_NE(find(drawn, "ur2"), nullptr);
    EXPECT_EQ(find(drawn, "nothing"), nullptr);
    EXPECT_EQ(drawn.texts.size(), 1u + 5 * 3); // ll2 replaced by Third
    // PLT_close empties the store.
    EXPECT_STREQ(PLT_get_label(3, 2), "");
}

// Positions switched off, the colour bar (no lower left or centre), the
// reference vector (no lower right), no labels at all, no border.
TEST(LabelDrawing, SwitchesBarAndVector) {
    const struct {
        const char *draw;
        int bar;
        int vect;
        int border;
        const char *want; // positions drawn, in order
        int borders;
    } cases[] = {
        {"all", 0, 0, 1, "ul uc ur ll lc lr", 1},
        {"all", 2, 0, 1, "ul uc ur lr", 1},
        {"all", 0, 1, 1, "ul uc ur ll lc", 1},
        {"+all,-text_uc,-text_ll", 0, 0, 1, "ul ur lc lr", 1},
        {"all,-text_ul,-text_uc,-text_ur,-text_ll,-text_lc,-text_lr", 0, 0, 1, "", 1},
        {"all,-bord", 0, 0, 1, "ul uc ur ll lc lr", 0},
        {"all", 0, 0, 0, "ul uc ur ll lc lr", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.draw) + " bar " + std::to_string(c.bar) + " vect " +
                     std::to_string(c.vect));
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            static int bar = 0, vect = 0;
            bar = c.bar;
            vect = c.vect;
            PLT_get_hooks().cont_get_bar = [] { return bar; };
            PLT_get_hooks().vect_get_vect = [] { return vect; };
            MetaPlot plot;
            FLAG_set_draw(c.draw);
            PLT_border(c.border);
            label_all("");
            PLT_labels();
            const Drawn d = plot.close();
            std::string got;
            for (const Text &t : d.texts)
                got += (got.empty() ? "" : " ") + t.text;
            std::printf("drawn: %s|%d\n", got.c_str(), d.borders);
            return 0;
        });
        const std::size_t at = r.out.find("drawn: ");
        ASSERT_NE(at, std::string::npos) << r.out << r.err;
        EXPECT_EQ(r.out.substr(at + 7), std::string(c.want) + "|" + std::to_string(c.borders) + "\n");
    }
}

// "fullab": no margins, and the lines move inside the view as if the margin
// were 0.06: the upper stack hangs below the view's top, the lower one
// stands above its bottom.
TEST(LabelDrawing, LabelsInsideTheView) {
    MetaPlot plot("fullab");
    EXPECT_EQ(PLT_get_full_lab(), 1);
    PLT_set_label_type(0);
    for (int k = 0; k < 2; ++k) {
        PLT_label_up_left(("ul" + std::to_string(k)).c_str());
        PLT_label_low_left(("ll" + std::to_string(k)).c_str());
        PLT_next_overlay();
    }
    EXPECT_EQ(PLT_labels(), 0);
    const Glim v = plot.view;
    const Drawn d = plot.close();
    const float s = std::min(0.06f / 2, 0.03f * (v.y_max - v.y_min));
    const float gap = -0.2f * s - 2 * s;
    const Text *ul0 = find(d, "ul0"), *ul1 = find(d, "ul1"), *ll0 = find(d, "ll0"), *ll1 = find(d, "ll1");
    ASSERT_TRUE(ul0 && ul1 && ll0 && ll1);
    EXPECT_NEAR(ul0->y, v.y_max + gap, 1e-5);
    EXPECT_NEAR(ul1->y, v.y_max + gap + s, 1e-5);
    EXPECT_NEAR(ll0->y, v.y_min - gap - s, 1e-5);
    EXPECT_NEAR(ll1->y, v.y_min - gap, 1e-5);
    EXPECT_LT(ul1->y, v.y_max);
    EXPECT_GT(ll0->y, v.y_min);
}

// The overlay base lifts every line by whole line heights.
TEST(LabelDrawing, OverlayBase) {
    MetaPlot plot("over:2");
    PLT_label_up_left("ul");
    PLT_label_low_left("ll");
    EXPECT_EQ(PLT_labels(), 0);
    const Glim v = plot.view;
    const Drawn d = plot.close();
    const float s = std::min((v.y_min - plot.area.y_min) / 2, 0.03f * (v.y_max - v.y_min));
    const Text *ul = find(d, "ul"), *ll = find(d, "ll");
    ASSERT_TRUE(ul && ll);
    EXPECT_NEAR(ul->y, v.y_max + 0.2f * s + 2 * s, 1e-5);
    EXPECT_NEAR(ll->y, v.y_min - 0.2f * s - s + 2 * s, 1e-5);
}

// ---- The plotting test driver on PostScript ------------------------------------------------

struct TextComment {
    float x;
    float y;
    std::string text;
};

std::vector<TextComment> text_comments(const std::string &ps) {
    std::vector<TextComment> out;
    std::istringstream in(ps);
    std::string line;
    while (std::getline(in, line)) {
        float x = 0, y = 0;
        char text[200] = "";
        if (std::sscanf(line.c_str(), "%%%%TE:%f %f %199[^\n]", &x, &y, text) == 3)
            out.push_back({x, y, text});
    }
    return out;
}

// Runs the driver's frame entry point in dir with the given arguments.
zeqtest::ChildResult run_frame(const TempDir &dir, const std::vector<std::string> &args) {
    return zeqtest::run_plot_driver(dir.path(), "frame", args);
}

// The view in the upper-right quarter of the 756 x 576 point page (display
// 1 x 575/755): the driver's labels of two overlays, the resource label's
// upper-left line (the only one there) and the third lower-left line, each
// where the label table puts it; ghostscript renders the page.
TEST(LabelDriver, UpperRightQuarterOnPostScript) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const zeqtest::ChildResult r =
        run_frame(dir, {"-de", "ps,out.ps", "-pp", "vp_size:2x2+1+0", "-la", "ul:Surface_%D,ll2:Third"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("PLT_open 0\nPLT_labels 0\n"), std::string::npos) << r.out;

    // The Part's geometry, worked out here: plot area [0.5, 1] x [yvp/2, yvp],
    // 4 % margins of its height, a square view centred in the rest.
    const double yvp = 575.0 / 755.0;
    const double y0 = yvp * (0.5 + 0.04 * 0.5), y1 = yvp * (1 - 0.04 * 0.5);
    const double h = y1 - y0, x0 = 0.75 - h / 2, x1 = 0.75 + h / 2;
    const double margin = y0 - yvp * 0.5;
    const int lines = 3; // overlays 0 and 1 of the driver, 2 of "ll2:"
    const double s = std::min(margin / lines, 0.03 * h), g = 0.2 * s;
    const double left = x0 + 0.01 * h, centre = 0.75, right = x1 - 0.01 * h;
    const double upper = y1 + g, lower = y0 - g - (lines - 1) * s;
    const struct {
        const char *text;
        double x, y;
    } want[] = {
        {"Surface 1200Z  5 JAN 24", left, upper},
        {"UC0", centre, upper},
        {"UR0", right, upper},
        {"UR1", right, upper + s},
        {"LL0", left, lower},
        {"Third", left, lower + 2 * s},
        {"LC0", centre, lower},
        {"LR0", right, lower},
        {"LR1", right, lower + s},
    };
    const std::string ps = read_file(dir.file("out.ps"));
    const std::vector<TextComment> got = text_comments(ps);
    ASSERT_EQ(got.size(), std::size(want)) << ps;
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].text, want[i].text);
        EXPECT_NEAR(got[i].x, want[i].x, 2e-6) << want[i].text;
        EXPECT_NEAR(got[i].y, want[i].y, 2e-6) << want[i].text;
    }
    const gkstest::GsRun check = gkstest::gs_check(dir.file("out.ps"));
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, "");
    const gkstest::Raster page = gkstest::gs_render(dir.file("out.ps"));
    int dark = 0;
    for (std::size_t i = 0; i + 2 < page.rgb.size(); i += 3)
        dark += page.rgb[i] < 128 && page.rgb[i + 1] < 128 && page.rgb[i + 2] < 128;
    EXPECT_GT(dark, 0) << "ghostscript drew nothing";
}

// With "full" the view fills the page's height: no margin, no label (-1),
// only the border.
TEST(LabelDriver, FullViewHasOnlyTheBorder) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const zeqtest::ChildResult r = run_frame(dir, {"-de", "ps,out.ps", "-pp", "full", "-la", "ul:Surface"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("PLT_labels -1\n"), std::string::npos) << r.out;
    const std::string ps = read_file(dir.file("out.ps"));
    EXPECT_TRUE(text_comments(ps).empty()) << ps;
    const std::size_t labels = ps.find("%%Message: Labels\n");
    ASSERT_NE(labels, std::string::npos) << ps;
    const auto paths = gkstest::ps_paths(ps.substr(labels), "%%PL:");
    ASSERT_EQ(paths.size(), 1u) << ps;
    // One closed outline of five points is stroked.
    int points = 0;
    for (const gkstest::PathCmd &c : paths[0]) {
        if (c.op == 's') break;
        points += c.op == 'm' || c.op == 'l';
    }
    EXPECT_EQ(points, 5) << ps;
    EXPECT_EQ(gkstest::gs_check(dir.file("out.ps")).status, 0);
}

} // namespace
