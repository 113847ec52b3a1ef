// The GPH drawing layer: opening from the resources or at the device prompt
// and closing again, failed opens, the display and panel layout, aspect
// boxes, attribute bundles, shapes and formatted text as a text metafile
// records them, and the device words.
#include "graphics/gks_tool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "graphics/xevents.h"
#include "graphics/xwin.h"

namespace {

using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

void expect_lim(const Glim &got, const Glim &want) {
    EXPECT_NEAR(got.x_min, want.x_min, 1e-5);
    EXPECT_NEAR(got.x_max, want.x_max, 1e-5);
    EXPECT_NEAR(got.y_min, want.y_min, 1e-5);
    EXPECT_NEAR(got.y_max, want.y_max, 1e-5);
}

// Without a device resource and outside batch mode the device is asked
// for: "p" opens PostScript and sets the device flag to 4; closing gives
// the flag back the 0 it was opened with. A left-over "zeqgks.err" goes.
TEST(GphOpen, DevicePromptOpensPostScript) {
    TempDir dir;
    write_file(dir.file("zeqgks.err"), "old\n");
    const zeqtest::ChildResult r = run_child(
        [&] {
            if (chdir(dir.path().c_str()) != 0) return 10;
            Gint id = 0;
            Gws_type type = -1;
            Glim offset{0, 0, 0, 0};
            GPH_setup(&id, &type, 0, &offset);
            if (id != 1 || type != GWS_PS || FLAG_get(2) != GWS_PS || !gtype_is_PS()) return 11;
            GPH_end(id);
            return FLAG_get(2) == 0 ? 0 : 12;
        },
        {"p\n"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("Display (D) or Postscript (P): ")) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("zeqgks.err")));
    EXPECT_TRUE(read_file(dir.file("zeq.ps")).starts_with("%!PS-Adobe"));
}

// A workstation that cannot be opened ends the program with status 4.
TEST(GphOpen, FailedOpenEndsWithStatusFour) {
    const zeqtest::ChildResult r = run_child([] {
        RES_put("device", "ps,/dev/null/no.ps");
        Gint id = 0;
        Gws_type type = 0;
        Glim offset{0, 0, 0, 0};
        GPH_setup(&id, &type, 0, &offset);
        return 0;
    });
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("GPH_begin: Error opening workstation\n"), std::string::npos) << r.err;
}

// In batch mode without a device resource the own window opens unasked;
// its 640 x 512 pixels are 1 x 511/639 of the display, and the panel of
// aspect 1 a centred square.
TEST(GphOpen, BatchModeOpensTheWindow) {
    if (!xtest::need_display()) return;
    const zeqtest::ChildResult r = run_child(
        [] {
            FLAG_set(19, 1);
            Gint id = 0;
            Gws_type type = -1;
            Glim offset{0, 0, 0, 0};
            GPH_setup(&id, &type, 1, &offset);
            if (type != GWS_WIN || !gtype_is_WIN()) return 10;
            std::printf("%.6f %.6f %.6f %.6f %.6f\n", GPH_get_vert_win_size(), offset.x_min, offset.x_max,
                        offset.y_min, offset.y_max);
            // The hold loop polls on a test clock; its first wait brings the
            // end of input.
            xev::use_test_clock();
            xev::test_clock().on_sleep = [] { xev::end_input(); };
            gset_refresh_callback(60, nullptr);
            GPH_hold(id);
            GPH_end(id);
            return FLAG_get(2) == GWS_WIN ? 0 : 11;
        },
        {""}, std::chrono::seconds(60));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Display (D)"), std::string::npos);
    float yvp = 0, x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.rfind('\n', r.out.size() - 2) + 1, "%f %f %f %f %f", &yvp,
                          &x0, &x1, &y0, &y1),
              5)
        << r.out;
    const float want = 511.0f / 639.0f;
    EXPECT_FLOAT_EQ(yvp, want);
    expect_lim({x0, x1, y0, y1}, {(1 - want) / 2, (1 + want) / 2, 0, want});
}

// GPH_device_prompt asks only when no type is chosen yet.
TEST(GphOpen, DevicePromptAnswers) {
    const struct {
        int start;
        const char *answer;
        int type;
        bool asked;
    } cases[] = {{0, "Postscript\n", GWS_PS, true},
                 {0, "d\n", GWS_WIN, true},
                 {0, "\n", GWS_WIN, true},
                 {GWS_META, "p\n", GWS_META, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        const zeqtest::ChildResult r = run_child(
            [&] {
                int type = c.start;
                GPH_device_prompt(&type);
                return type;
            },
            {c.answer});
        EXPECT_EQ(r.status, c.type);
        EXPECT_EQ(r.out, c.asked ? "Display (D) or Postscript (P): " : "");
    }
}

// The display of a 756 x 576 PostScript page in normalised device
// coordinates, transformation 1 over all of it, the panel for several
// aspects, margins and plot areas, and the colour table in the kernel.
TEST(GphLayout, DisplayPanelAndColourTable) {
    TempDir dir;
    write_file(dir.file("zeq.clr"), "black 0 0 0\nwhite 1 1 1\nteal 0 0.5 0.5\n");
    RES_put("file_path", dir.path().c_str());
    RES_put("device", ("ps," + dir.file("l.ps")).c_str());
    Gint id = 0;
    Gws_type type = 0;
    Glim offset{0, 0, 0, 0};
    GPH_setup(&id, &type, 0, &offset);
    ASSERT_EQ(type, GWS_PS);
    const float yvp = 575.0f / 755.0f;
    EXPECT_FLOAT_EQ(GPH_get_vert_win_size(), yvp);
    expect_lim(offset, {0, 1, 0, yvp});
    Glim l{};
    GPH_get_win(1, &l);
    expect_lim(l, {0, 1, 0, yvp});
    GPH_get_view(1, &l);
    expect_lim(l, {0, 1, 0, yvp});
    float r = 0, g = 0, b = 0;
    gget_color_rgb(2, &r, &g, &b);
    EXPECT_FLOAT_EQ(g, 0.5f);
    EXPECT_FLOAT_EQ(b, 0.5f);

    const struct {
        const char *what;
        float sx, sy, ox, oy;
        Glim margins;
        float aspect;
        Glim panel;
    } cases[] = {
        {"square, centred", 1, 1, 0, 0, {0, 0, 0, 0}, 1, {(1 - yvp) / 2, (1 + yvp) / 2, 0, yvp}},
        {"wide", 1, 1, 0, 0, {0, 0, 0, 0}, 4, {0, 1, yvp / 2 - 0.125f, yvp / 2 + 0.125f}},
        {"margins", 1, 1, 0, 0, {0.1f, 0.2f, 0.1f, 0.3f}, 0, {0.15f, 0.75f, 0.1f * yvp, 0.7f * yvp}},
        {"a quarter, own shape",
         0.5f,
         0.5f,
         0.5f,
         0,
         {0.1f, 0.1f, 0.2f, 0.2f},
         0,
         {0.6f, 0.9f, 0.1f * yvp, 0.4f * yvp}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        GPH_set_view_size(c.sx, c.sy, c.ox, c.oy);
        Glim io = c.margins;
        GPH_panel(&id, &type, c.aspect, &io);
        expect_lim(io, c.panel);
        for (int t : {2, 3}) {
            GPH_get_view(t, &l);
            expect_lim(l, c.panel);
            GPH_get_win(t, &l);
            expect_lim(l, c.panel);
        }
    }
    GPH_get_view_size(&l);
    expect_lim(l, {0.5f, 1, 0, 0.5f * yvp});
    GPH_end(id);
}

TEST(GphLayout, AspectBoxPlacement) {
    const Glim in{1, 5, 2, 4}; // 4 x 2
    const struct {
        Gaspect asp;
        Gcenter at;
        Glim out;
    } cases[] = {
        {{1, 1}, {2, 2}, {2, 4, 2, 4}}, {{1, 1}, {3, 3}, {3, 5, 2, 4}}, {{4, 1}, {2, 2}, {1, 5, 2.5f, 3.5f}},
        {{4, 1}, {3, 3}, {1, 5, 3, 4}}, {{1, 1}, {0, 0}, {0, 2, 0, 2}},
    };
    for (const auto &c : cases) {
        Glim out{};
        gset_aspect(&in, &out, c.asp, c.at);
        expect_lim(out, c.out);
    }
}

// Attribute bundles, shapes and text go to the kernel as the records of a
// text metafile show: unset fields and negative colours change nothing.
TEST(GphDrawing, BundlesShapesAndTextOnAMetafile) {
    TempDir dir;
    const std::string file = dir.file("g.meta");
    RES_put("device", ("meta," + file).c_str());
    RES_put("file_path", dir.path().c_str());
    Gint id = 0;
    Gws_type type = 0;
    Glim offset{0, 0, 0, 0};
    GPH_setup(&id, &type, 0, &offset);
    ASSERT_EQ(type, GWS_META);
    gmessage(id, "start");
    const Gattribs unset{-9999, -9999, -9999, -9999, -9999, -9999, -9999};
    auto with = [&](std::function<void(Gattribs &)> f) {
        Gattribs a = unset;
        f(a);
        return a;
    };
    const std::string x59(59, 'x');
    GPH_line_attr(&unset);
    GPH_line_attr(&unset);
    const Gattribs line = with([](Gattribs &a) { a.color = 3, a.style = 2, a.width = 2; });
    GPH_line_attr(&line);
    const Gattribs none = with([](Gattribs &a) { a.color = -1; });
    GPH_line_attr(&none);
    const Gattribs fill = with([](Gattribs &a) { a.fill_pat = 5, a.color = 4; });
    GPH_fill_attr(&fill);
    const Gattribs solid = with([](Gattribs &a) { a.fill_pat = 0; });
    GPH_fill_attr(&solid);
    GPH_mark_attr(&unset, 0);
    GPH_mark_attr(&unset, 2);
    const Gattribs mark = with([](Gattribs &a) { a.height = 0.5f, a.style = 7, a.width = 3; });
    GPH_mark_attr(&mark, 3);
    EXPECT_EQ(GPH_text_attr(&unset, 1), 0);
    const Gattribs txt = with([](Gattribs &a) { a.height = 0.02f, a.expan = 2, a.font = 2, a.color = 5; });
    GPH_text_attr(&txt, 0.5f);
    EXPECT_EQ(GPH_text_attr(nullptr, 1), -1);
    GPH_text_rotate(30);
    GPH_text_align(2, 3);
    int hx = -1, vy = -1;
    GPH_get_text_align(&hx, &vy);
    EXPECT_EQ(hx, 2);
    EXPECT_EQ(vy, 3);
    GPH_text_font("3");
    GPH_set_def_font("1");
    GPH_text_font(nullptr);
    GPH_line(0, 0, 1, 1);
    GPH_mark(0.5f, 0.5f);
    GPH_rect(0, 0, 1, 0.5f);
    GPH_frect(0, 0, 1, 0.5f);
    const Glim border{0.1f, 0.9f, 0.2f, 0.8f};
    GPH_border(&border);
    GPH_circle(0.5f, 0.5f, 0.1f);
    const Gpt at{0.5f, 0.25f};
    GPH_pprint(&at, "plain");
    GPH_pprintf(&at, "%s-%d", x59.c_str(), 1);
    GPH_printf(0.5f, 0.25f, "%s%s-%d", x59.c_str(), x59.c_str(), 2);
    GPH_end(id);
    const std::string text = read_file(file);
    const std::string body = text.substr(text.find("ME start\n") + 9);
    const std::string x40(40, 'x');
    EXPECT_EQ(body, "PL_CLR 3\nPL_TYPE 2\nPL_LW 2.000000\n"
                    "FA_CLR 4\nFA_INT 2\nFA_ST 5\n"
                    "FA_INT 1\n"
                    "PM_SIZE 2.000000\n"
                    "PM_TYPE 7\nPM_WDTH 3.000000\nPM_SIZE 1.500000\n"
                    "TE_HGHT 1.000000\n"
                    "TE_CLR 5\nTE_HGHT 0.010000\nTE_EXP 2.000000\nTE_FNT 2 2\n"
                    "TE_EXP 1.000000\n"
                    "TE_UP 0.500000,0.866025\n"
                    "TE_ALGN 2 3\n"
                    "TE_FNT 3 2\nTE_FNT 1 2\n"
                    "PL 2 0.000000,0.000000 1.000000,1.000000 \n"
                    "PM 1 0.500000,0.500000 \n"
                    "PL 5 0.000000,0.000000 1.000000,0.000000 1.000000,0.500000 0.000000,0.500000 \n"
                    "   0.000000,0.000000 \n"
                    "FA 5 0.000000,0.000000 1.000000,0.000000 1.000000,0.500000 0.000000,0.500000 \n"
                    "   0.000000,0.000000 \n"
                    "PL 5 0.100000,0.200000 0.900000,0.200000 0.900000,0.800000 0.100000,0.800000 \n"
                    "   0.100000,0.200000 \n" +
                        text.substr(text.find("PL 37 "), text.find("TE 0.5") - text.find("PL 37 ")) +
                        "TE 0.500000,0.250000 plain\n"
                        "TE 0.500000,0.250000 " +
                        x59 +
                        "\n"
                        "TE 0.500000,0.250000 " +
                        x59 + x40 + "\n");
    // The circle: 37 points 10 degrees apart, the last on the first.
    EXPECT_NE(text.find("PL 37 0.600000,0.500000 0.598481,0.517365 "), std::string::npos);
    EXPECT_NE(text.find("0.600000,0.500000 \nTE "), std::string::npos);
}

// The device word and connection string of a device text.
TEST(GphDevice, DeviceWords) {
    const struct {
        const char *str;
        std::size_t size;
        int type;
        const char *conn;
    } cases[] = {
        {"ps,out.ps", 80, GWS_PS, "out.ps"},
        {"Hpgl,a,b", 80, GWS_HPGL, "a,b"},
        {"meta", 80, GWS_META, ""},
        {"x,:0 extra", 80, GWS_WIN, ":0"},
        {"postscript,long.ps", 4, GWS_PS, "lon"},
        {"window,w", 80, GWS_PIX, "w"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.str);
        char conn[80] = "unchanged";
        EXPECT_EQ(gdevice_setup(c.str, conn, c.size), c.type);
        EXPECT_STREQ(conn, c.conn);
    }
}

} // namespace
