// The plot frame: the plot options of plot_param and out_file as the calls
// they make, the view, image output and overlay options, panel geometries,
// the label mode at reset, opening and closing with graphics off or plot
// type "none", the message and the end of the program; batch runs of the
// plotting test driver on PostScript (status and complete file) and with the
// own window under Xvfb (the background process holds it).
#include "plot/cont.h"
#include "plot/plt_tool.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/gif.h"
#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_zoom.h"
#include "graphics/xevents.h"
#include "graphics/xwin.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool_int.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/plot_driver.h"

namespace {

using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;

// ---- Recording the option calls ------------------------------------------------------

std::vector<std::string> calls;

std::string num(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

// Every entry of the call table records its name and arguments.
void record_all() {
    PLT_hooks &h = PLT_get_hooks();
    h.map_latlon = [](float lat, float lon, int dot, int extra) {
        calls.push_back("latlon " + num(lat) + " " + num(lon) + " " + std::to_string(dot) + " " +
                        std::to_string(extra));
        return 0;
    };
    h.cont_set_skip = [](int x, int y) {
        calls.push_back("skip " + std::to_string(x) + " " + std::to_string(y));
        return 0;
    };
    h.cont_set_plot_offset = [](float x, float y) {
        calls.push_back("plot_offset " + num(x) + " " + num(y));
        return 0;
    };
    h.cont_set_bar_range = [](float max, float min) {
        calls.push_back("bar_range " + num(max) + " " + num(min));
        return 0;
    };
#define RECORD_INT(field, name)                                                                              \
    h.field = [](int v) {                                                                                    \
        calls.push_back(std::string(name " ") + std::to_string(v));                                          \
        return 0;                                                                                            \
    }
#define RECORD_TEXT(field, name)                                                                             \
    h.field = [](const char *v) {                                                                            \
        calls.push_back(std::string(name " ") + v);                                                          \
        return 0;                                                                                            \
    }
    RECORD_INT(cont_set_bar, "bar");
    RECORD_INT(gif_interlace, "gif_interlace");
    RECORD_INT(gif_transparent, "gif_transparent");
    RECORD_INT(gset_loop_title, "loop_title");
    RECORD_INT(mess_set_page, "page");
    RECORD_INT(gset_redraw, "redraw");
    RECORD_INT(cty_set_id_type, "id_type");
    RECORD_TEXT(date_set_tz, "tz");
    RECORD_INT(grd_set_grid_factor, "grid_factor");
    RECORD_INT(map_set_plot_limit, "plot_limit");
    RECORD_INT(dom_set_loc_prior, "loc_prior");
    RECORD_TEXT(gph_set_def_font, "font");
    RECORD_INT(gset_inverse, "inverse");
    RECORD_INT(gset_local_colormap, "local_colormap");
    RECORD_INT(gset_rw_colors, "rw_colors");
    RECORD_INT(gps_set_colorPS, "colorPS");
    RECORD_INT(gps_set_reverse, "reverse");
    RECORD_INT(gset_pix_mode, "pix_mode");
    RECORD_INT(grd_use_hdr_file, "hdr_file");
    RECORD_INT(gset_font_drop, "font_drop");
    RECORD_INT(grib_set_max_bad, "max_bad");
    RECORD_INT(file_set_min_size, "min_size");
    RECORD_TEXT(grd_set_format, "grdfmt");
#undef RECORD_INT
#undef RECORD_TEXT
}

std::string decode(const char *plot_param) {
    calls.clear();
    RES_put("plot_param", plot_param);
    PLT_param_decode();
    std::string out;
    for (const std::string &c : calls)
        out += (out.empty() ? "" : ", ") + c;
    return out;
}

// ---- Plot options ------------------------------------------------------------------------

// Each item reaches its setting: the first keyword that fits takes it
// (exact or as a prefix, any letter case), values one character after the
// keyword, defaults for counts below 1, nothing for a value keyword without
// a value and for items of other modules.
TEST(PlotOptions, ItemsReachTheirSettings) {
    record_all();
    const struct {
        const char *plot_param;
        const char *want;
    } cases[] = {
        {"plt_grid", "plot_limit 1"},
        {"plt_grid:3", "plot_limit 3"},
        {"plt_grid:-2", "plot_limit -2"},
        {"plt_off:0.5", "plot_offset 0.5 0.5"},
        {"plt_off:0.5:-1", "plot_offset 0.5 -1"},
        {"plt_skip:3", "skip 3 3"},
        {"plt_skip:2:4", "skip 2 4"},
        {"lalo:10", "latlon 10 10 0 0"},
        {"lalo:10:20:5:30", "latlon 10 20 5 30"},
        {"LALO:2.5:5", "latlon 2.5 5 0 0"},
        {"shadow", "font_drop 4"},
        {"shadow:0", "font_drop 4"},
        {"shadow:2", "font_drop 2"},
        {"max_bad", "max_bad 5"},
        {"max_bad:0", "max_bad 5"},
        {"max_bad:7", "max_bad 7"},
        {"min_size", "min_size 0"},
        {"min_size:-3", "min_size 0"},
        {"min_size:500", "min_size 500"},
        {"bar", "bar 2"},
        {"bar:10:50", "bar 2, bar_range 50 10"},
        {"bar:10", "bar 2"},
        {"barb", "bar 2"}, // any item beginning with "bar"
        {"nobar", "bar -2"},
        {"GIF_INTER", "gif_interlace 1"},
        {"gif_norm", "gif_interlace 0"},
        {"Gif_Trans", "gif_transparent 1"},
        {"gif_interlace", ""}, // not exactly "gif_inter": GIF output
        {"gridx", ""},
        {"gridx2", "grid_factor 2"},
        {"tz:EST:-5", "tz EST:-5"},
        {"nopage,PAGE", "page 0, page 1"},
        {"noredraw", "redraw 0"},
        {"id,wmo,cod_wmo", "id_type 0, id_type 1, id_type 2"},
        {"loc_pr:2", "loc_prior 2"},
        {"font:roman", "font roman"},
        {"inv,lcmap,nolcmap,rwclr,norwclr",
         "inverse 1, local_colormap 1, local_colormap 0, rw_colors 1, rw_colors 0"},
        {"nolooptitle", "loop_title 0"},
        {"pscolor,psrev", "colorPS 1, inverse 1, reverse 1"},
        {"clear,new,kill", "pix_mode 1, pix_mode 2, pix_mode 9"},
        {"nohdr", "hdr_file 0"},
        {"grdfmt:%6.1f", "grdfmt %6.1f"},
        // Value keywords without a value, and values that are no numbers.
        {"tz,over,lalo,plt_skip,plt_off,vp_size,font,loc_pr,grdfmt", ""},
        {"tz:,lalo:,grdfmt:", ""},
        {"lalo:x,plt_skip:y,plt_off:z", ""},
        // Items of other modules.
        {"labcomp,refresh,hilo,nolab", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(decode(c.plot_param), c.want) << c.plot_param;
}

// The defaults of the table: the existing setters are the real ones; the
// options of modules not linked yet keep their values, their getters answer
// 0 and their setters are skipped.
TEST(PlotOptions, DefaultLinks) {
    RES_put("plot_param", "inv,shadow:3,gridx3,min_size:100,loc_pr:2,noredraw,pscolor,tz:EST:-5,"
                          "gif_inter,gif_trans,nolooptitle,bar:1:2,lalo:5,plt_skip:2,plt_off:1");
    PLT_param_decode();
    EXPECT_EQ(gget_inverse(), 1);
    EXPECT_EQ(gget_font_drop(), 3);
    EXPECT_EQ(GRD_get_grid_factor(), 3);
    EXPECT_EQ(FILE_get_min_size(), 100);
    EXPECT_EQ(DOM_get_loc_prior(), 2);
    EXPECT_EQ(gget_redraw(), 0);
    EXPECT_EQ(gps_get_colorPS(), 1);
    EXPECT_NE(std::string(DATE_get_tz_str()).find("EST"), std::string::npos) << DATE_get_tz_str();
    // The GIF options reach the GIF writer's own setters.
    EXPECT_EQ(PLT_get_hooks().gif_interlace, &GIF_interlace);
    EXPECT_EQ(PLT_get_hooks().gif_transparent, &GIF_transparent);
    // The contour settings are linked: "bar:1:2" turns the bar on.
    EXPECT_EQ(PLT_cont_get_bar(), 2);
    EXPECT_EQ(CONT_get_bar(), 2);
    EXPECT_EQ(PLT_vect_get_vect(), 0);
    EXPECT_EQ(PLT_bar(), 1);
    EXPECT_EQ(PLT_bar(), 0); // drawn once per plot
}

// The frame's own options: margins, labels inside the view, overlays, the
// panel and image output, from plot_param and out_file.
TEST(PlotOptions, FrameOptions) {
    record_all();
    Glim off{};
    EXPECT_EQ(decode("full,gif"), "");
    PLT_get_view_offsets(&off);
    EXPECT_TRUE(off.x_min == 0 && off.x_max == 0 && off.y_min == 0 && off.y_max == 0);
    EXPECT_EQ(PLT_get_full_lab(), 0);
    EXPECT_EQ(PLT_get_dump(), 2);
    EXPECT_STREQ(PLT_get_dump_file(), "zeq.gif");

    const struct {
        const char *plot_param;
        const char *out_file;
        int dump;
        const char *name;
    } images[] = {
        {"gif:out.gif", "", 2, "out.gif"}, {"PNG", "", 4, "zeq.png"},         {"img", "", 3, "zeq.img"},
        {"xwd:a.xwd", "", 1, "a.xwd"},     {"", "raw,png:b.png", 4, "b.png"}, {"", "GIF", 2, "zeq.gif"},
        {"png", "gif:c.gif", 2, "c.gif"}, // out_file comes after plot_param
    };
    for (const auto &c : images) {
        PLT_set_dump(0, "");
        RES_put("out_file", c.out_file);
        decode(c.plot_param);
        EXPECT_EQ(PLT_get_dump(), c.dump) << c.plot_param << " " << c.out_file;
        EXPECT_STREQ(PLT_get_dump_file(), c.name) << c.plot_param << " " << c.out_file;
    }
    PLT_set_dump(0, "");
    RES_put("out_file", "xwd,img");
    decode("GIF_INTER");
    EXPECT_EQ(PLT_get_dump(), 0);

    decode("fullab");
    EXPECT_EQ(PLT_get_full_lab(), 1);

    decode("over:2");
    EXPECT_EQ(PLT_get_overlay_base(), 2);
    EXPECT_EQ(PLT_get_num_over(), 2);
    decode("over:1:4,over:x");
    EXPECT_EQ(PLT_get_overlay_base(), 1);
    EXPECT_EQ(PLT_get_num_over(), 4);

    decode("vp_size:2x2+0+1");
    Glim area{};
    GPH_get_view_size(&area);
    EXPECT_FLOAT_EQ(area.x_min, 0);
    EXPECT_FLOAT_EQ(area.x_max, 0.5f);
    EXPECT_FLOAT_EQ(area.y_min, 0);
    EXPECT_FLOAT_EQ(area.y_max, 0.5f);
}

// Panel geometries: grids of panels counted from the upper left, fractions
// of the display, short geometries left alone, and panels outside their
// grid or without extent refused with a warning.
TEST(PlotOptions, PanelGeometries) {
    const struct {
        const char *geometry;
        Glim want; // x_min, x_max, y_min, y_max of the plot area
        bool warns;
    } cases[] = {
        {"2x2+1+0", {0.5f, 1, 0.5f, 1}, false},
        {"2x2+0+1", {0, 0.5f, 0, 0.5f}, false},
        {"3x1+0+0", {0, 1.0f / 3, 0, 1}, false},
        {"3x2+2+1", {2.0f / 3, 1, 0, 0.5f}, false},
        {"0.5x0.4+0.1+0.2", {0.1f, 0.6f, 0.2f, 0.6f}, false},
        {"12x1+7+0", {0.875f, 1, 0, 1}, false}, // at most 8 columns
        {"12x1+9+0", {0, 1, 0, 1}, true},
        {"0.5x0.5+0.25", {0, 1, 0, 1}, false}, // three numbers: nothing
        {"2x2", {0, 1, 0, 1}, false},
        {"3x2+3+0", {0, 1, 0, 1}, true}, // column outside the grid
        {"2x2+0+2", {0, 1, 0, 1}, true}, // row outside the grid
        {"2x2+-1+0", {0, 1, 0, 1}, true},
        {"0.0x0.5+0+0", {0, 1, 0, 1}, true}, // no width
        {"0.5x0+0+0", {0, 1, 0, 1}, true},   // no height
        {"nanx1+0+0", {0, 1, 0, 1}, true},
    };
    for (const auto &c : cases) {
        const zeqtest::ChildResult r = run_child([&] {
            PLT_panel_decode(c.geometry);
            Glim a{};
            GPH_get_view_size(&a);
            std::printf("%.6f %.6f %.6f %.6f\n", a.x_min, a.x_max, a.y_min, a.y_max);
            return 0;
        });
        Glim got{};
        ASSERT_EQ(std::sscanf(r.out.c_str(), "%f %f %f %f", &got.x_min, &got.x_max, &got.y_min, &got.y_max),
                  4)
            << c.geometry << r.out;
        EXPECT_NEAR(got.x_min, c.want.x_min, 1e-5) << c.geometry;
        EXPECT_NEAR(got.x_max, c.want.x_max, 1e-5) << c.geometry;
        EXPECT_NEAR(got.y_min, c.want.y_min, 1e-5) << c.geometry;
        EXPECT_NEAR(got.y_max, c.want.y_max, 1e-5) << c.geometry;
        EXPECT_EQ(r.err.find("PLT_panel_decode: ") != std::string::npos, c.warns) << c.geometry << r.err;
    }
}

// ---- Opening, resetting and closing --------------------------------------------------------

// PLT_reset leaves the label mode -1, 0 or 1, also when graphics are off.
TEST(PlotFrame, ResetNormalisesTheLabelMode) {
    FLAG_setplot(12, 0);
    const struct {
        int mode;
        int want;
    } cases[] = {{-2, -1}, {-1, -1}, {0, 0}, {3, 1}, {1, 1}};
    for (const auto &c : cases) {
        PLT_set_label_type(c.mode);
        EXPECT_EQ(PLT_reset(1), -1);
        EXPECT_EQ(PLT_get_label_type(), c.want) << c.mode;
    }
    FLAG_setplot(12, 1);
    FLAG_set(FLAG_PLOT_TYPE, 99);
    PLT_set_label_type(-3);
    EXPECT_EQ(PLT_reset(1), -1);
    EXPECT_EQ(PLT_get_label_type(), -1);
}

// Graphics switched off: nothing opens, the options are decoded all the
// same, and PLT_close only clears the labels (no kernel call: the device
// flag that closing the graphics would give back stays).
TEST(PlotFrame, GraphicsOff) {
    FLAG_setplot(12, 0);
    FLAG_set(FLAG_DEVICE, GWS_PS);
    RES_put("plot_param", "full");
    EXPECT_EQ(PLT_open(1), -1);
    EXPECT_EQ(gchk_graphics(), 0);
    Glim view{};
    PLT_get_view(&view);
    EXPECT_TRUE(view.x_min == 0 && view.x_max == 0 && view.y_min == 0 && view.y_max == 0);
    PLT_label_up_left("text");
    EXPECT_EQ(PLT_close(), 0);
    EXPECT_STREQ(PLT_get_label(0, 0), "");
    EXPECT_EQ(FLAG_get(FLAG_DEVICE), GWS_PS);
}

// Opening on PostScript: the view from the margins, the aspect of the view
// kept by PLT_panel(0) inside a panel, a message cut at 79 characters, and
// PLT_exit ending the program with its status after completing the file.
TEST(PlotFrame, OpenPanelMessageAndExit) {
    TempDir dir;
    const std::string ps = dir.file("out.ps");
    const zeqtest::ChildResult r = run_child([&] {
        RES_put("device", ("ps," + ps).c_str());
        if (PLT_open(2.0f) != 0 || PLT_get_work_type() != GWS_PS) return 20;
        Glim v{}, area{};
        PLT_get_view(&v);
        GPH_get_view_size(&area);
        // A 2:1 view in the page's width with 4 % margins of its height.
        const float w = v.x_max - v.x_min, h = v.y_max - v.y_min;
        if (std::fabs(w / h - 2) > 1e-4f || v.y_min < area.y_min + 0.04f * (area.y_max - area.y_min) - 1e-5f)
            return 21;
        PLT_panel_decode("2x2+0+0");
        PLT_panel(0);
        PLT_get_view(&v);
        GPH_get_view_size(&area);
        if (std::fabs((v.x_max - v.x_min) / (v.y_max - v.y_min) - 2) > 1e-4f) return 22;
        if (v.x_min < area.x_min - 1e-6f || v.x_max > area.x_max + 1e-6f || v.y_min < area.y_min ||
            v.y_max > area.y_max)
            return 23;
        PLT_mess("Map: %s %d", std::string(100, 'x').c_str(), 7);
        PLT_exit(10);
    });
    EXPECT_EQ(r.status, 10) << r.err;
    const std::string text = read_file(ps);
    EXPECT_NE(text.find("%%Message: Map: " + std::string(74, 'x') + "\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("%%EOF\n")) << text.substr(text.size() > 200 ? text.size() - 200 : 0);
}

// The event callback is registered with the window's events only when
// there is one; the colour-bar latch asks for a bar once.
TEST(PlotFrame, CallbackAndBarLatch) {
    static PLT_event_func registered = nullptr;
    static int registrations = 0;
    static int bar_mode = 2;
    PLT_get_hooks().gset_mouse_callback = [](PLT_event_func f) {
        registered = f;
        ++registrations;
        return 1;
    };
    PLT_get_hooks().cont_get_bar = [] { return bar_mode; };
    const PLT_event_func cb = [](int, const char *, float, float) {};
    EXPECT_EQ(PLT_set_callback(nullptr), 0);
    EXPECT_EQ(registrations, 0);
    EXPECT_EQ(PLT_set_callback(cb), 0);
    EXPECT_EQ(registered, cb);
    EXPECT_EQ(registrations, 1);

    EXPECT_EQ(PLT_bar(), 1);
    EXPECT_EQ(PLT_bar(), 0);
    PLT_set_bar(0);
    bar_mode = 0;
    EXPECT_EQ(PLT_bar(), 0);
    bar_mode = 3;
    EXPECT_EQ(PLT_bar(), 1);
}

// ---- The plotting test driver ----------------------------------------------------------------

zeqtest::ChildResult run_driver_entry(const TempDir &dir, const char *entry,
                                      const std::vector<std::string> &args) {
    return zeqtest::run_plot_driver(dir.path(), entry, args);
}

zeqtest::ChildResult run_driver(const TempDir &dir, const std::vector<std::string> &args) {
    return zeqtest::run_plot_driver(dir.path(), "frame", args);
}

// Plot type "none": PLT_open and PLT_close give -1 and nothing opens.
TEST(PlotDriver, PlotTypeNone) {
    TempDir dir;
    const zeqtest::ChildResult r = run_driver(dir, {"-pl", "none", "-de", "ps"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("PLT_open -1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PLT_close -1\n"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

bool alive(pid_t pid) {
    return kill(pid, 0) == 0;
}

// Ends the background process a test found (by its process id only).
class Background {
public:
    ~Background() {
        if (pid_ > 0 && alive(pid_)) kill(pid_, SIGKILL);
    }
    // Waits (up to a minute on a loaded machine) for the pid file.
    bool find(const std::string &file) {
        for (int i = 0; i < 6000 && !std::filesystem::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pid_ = std::atoi(read_file(file).c_str());
        return pid_ > 0;
    }
    bool end() {
        kill(pid_, SIGTERM);
        for (int i = 0; i < 6000 && alive(pid_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !alive(pid_);
    }
    pid_t pid() const { return pid_; }
    // A process that went to the background where none should: ended at
    // once, and the test fails.
    static void none(const std::string &file) {
        if (!std::filesystem::exists(file)) return;
        ADD_FAILURE() << "a background process was started";
        const pid_t pid = std::atoi(read_file(file).c_str());
        if (pid > 0) kill(pid, SIGKILL);
    }

private:
    pid_t pid_ = 0;
};

// Batch runs on PostScript stay in the foreground: the program ends when the
// file is complete, with the status of writing it.
TEST(PlotDriver, BatchPostScriptEndsWithTheFile) {
    TempDir dir;
    zeqtest::ChildResult r = run_driver(dir, {"-ba", "-de", "ps,out.ps"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("PLT_close 0\n"), std::string::npos) << r.out;
    EXPECT_TRUE(read_file(dir.file("out.ps")).ends_with("showpage\nend\n%%EOF\n"));
    Background::none(dir.file("plot_driver.pid"));

    r = run_driver(dir, {"-ba", "-de", "ps,/dev/full"});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("PLT_close -1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("unable to complete /dev/full"), std::string::npos) << r.err;
    Background::none(dir.file("plot_driver.pid"));
}

// What xwininfo reports of the window of that name (an error when there is
// none).
std::string xwininfo(const std::string &title) {
    std::string text;
    FILE *p = popen(("/usr/bin/xwininfo -name '" + title + "' 2>&1").c_str(), "r");
    if (p == nullptr) return text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    pclose(p);
    return text;
}

// Batch mode with the own window: the command ends with 0 at once and its
// background process holds the window until it is ended. With image output
// chosen no window is held and nothing goes to the background.
TEST(PlotDriver, BatchWindowGoesToTheBackground) {
    const char *display = std::getenv("DISPLAY");
    ASSERT_TRUE(display != nullptr && *display != '\0')
        << "this test needs an X display: DISPLAY is not set (build.sh test starts an Xvfb)";
    ASSERT_EQ(access("/usr/bin/xwininfo", X_OK), 0) << "this test needs xwininfo (Debian package x11-utils)";
    TempDir dir;
    const std::string title = "plttooltest" + std::to_string(getpid());
    const zeqtest::ChildResult r = run_driver(dir, {"-ba", "-ti", title});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("PLT_close"), std::string::npos) << r.out;
    Background child;
    ASSERT_TRUE(child.find(dir.file("plot_driver.pid")));
    EXPECT_TRUE(alive(child.pid()));
    const std::string info = xwininfo(title);
    EXPECT_NE(info.find("Map State: IsViewable"), std::string::npos) << info;
    EXPECT_TRUE(child.end());
    // The server drops the window with its last connection.
    std::string gone;
    for (int i = 0; i < 600 && (gone = xwininfo(title)).find("No window") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(gone.find("No window"), std::string::npos) << gone;

    TempDir dir2;
    const zeqtest::ChildResult image = run_driver(dir2, {"-ba", "-ti", title, "-pp", "gif"});
    EXPECT_EQ(image.status, 0) << image.err;
    EXPECT_NE(image.out.find("PLT_close 0\n"), std::string::npos) << image.out;
    Background::none(dir2.file("plot_driver.pid"));
}

int current_trans() {
    Gint err = 0, tran = -1;
    ginq_cur_norm_tran_num(&err, &tran);
    return tran;
}

// ---- Band zoom and redraws -----------------------------------------------------------------

// Every redraw records the domain it was given and the transformation and
// cursor in force during the call.
std::vector<Domain> drawn;

int record_draw(Domain *dom) {
    drawn.push_back(*dom);
    return 0;
}

// A polar stereographic domain true at 60 N, centred at 45 N 100 W.
Domain ps_domain(int nx, int ny) {
    Domain d = zeqtest::make_domain(1, 45, -100, nx, ny, 1.5f, 1.5f);
    d.plat = 90;
    d.plon = -105;
    d.param[0] = 60;
    return d;
}

// Feeds events (name, x, y) to the zoom handler; the results in order.
struct Event {
    const char *name;
    float x, y;
};
std::vector<int> feed(std::initializer_list<Event> events) {
    std::vector<int> rc;
    for (const Event &e : events)
        rc.push_back(PLT_plot_zoom(e.name, e.x, e.y));
    return rc;
}

// A band on a map projection: its centre taken back to latitude and
// longitude becomes the centre and both spacings the larger of width /
// (nx - 1) and height / (ny - 1); the domain before is kept for "u-Alt".
TEST(PlotZoom, MapBand) {
    MESS_set(0, 0xFFFFFFFF);
    const Domain ps = ps_domain(41, 31);
    MAP_domain(&ps);
    float lat = 0, lon = 0;
    ASSERT_EQ(MAP_untran(20, 40, &lat, &lon), 1);
    PLT_set_zoom_func(record_draw);
    drawn.clear();
    PLT_set_zoom(0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(feed({{"B1-P-Shft", 10, 20}, {"B1-R", 30, 60}}), (std::vector<int>{0, 0}));
    const std::string out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("New domain: "), std::string::npos) << out;
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NEAR(drawn[0].clat, lat, 1e-4);
    EXPECT_NEAR(drawn[0].clon, lon, 1e-4);
    EXPECT_NEAR(drawn[0].dx, 40.0 / 30, 1e-5);
    EXPECT_NEAR(drawn[0].dy, 40.0 / 30, 1e-5);
    EXPECT_EQ(drawn[0].nx, 41);
    EXPECT_EQ(drawn[0].ny, 31);
    EXPECT_EQ(drawn[0].proj, 1);
    EXPECT_EQ(PLT_get_zoom(), 1);
    // A band drawn from the upper right gives the same domain.
    drawn.clear();
    feed({{"B1-P-Shft", 30, 60}, {"B1-R-Shft", 10, 20}});
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NEAR(drawn[0].clat, lat, 1e-4);
    EXPECT_NEAR(drawn[0].dx, 40.0 / 30, 1e-5);
    EXPECT_EQ(PLT_get_zoom(), 2);

    // A one-row grid divides the band by 1.
    const Domain thin = ps_domain(41, 1);
    MAP_domain(&thin);
    drawn.clear();
    PLT_set_zoom(0);
    feed({{"B1-P-Shft", 10, 20}, {"B1-R", 30, 60}});
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NEAR(drawn[0].dx, 40, 1e-4);
    EXPECT_TRUE(std::isfinite(drawn[0].dy));
}

// The event sequences: a release without a band, an empty band (kept),
// a band dropped by another event, returning after two zooms (and once
// only), and the redraw of the current domain.
TEST(PlotZoom, EventSequences) {
    MESS_set(0, 0xFFFFFFFF);
    const Domain first = ps_domain(41, 31);
    PLT_set_zoom_func(record_draw);
    struct Case {
        const char *what;
        std::initializer_list<Event> events;
        std::vector<int> rc;
        int draws;
        int zooms;
    };
    const Case cases[] = {
        {"release alone", {{"B1-R", 30, 60}}, {0}, 0, 0},
        {"empty band, kept", {{"B1-P-Shft", 10, 20}, {"B1-R", 10, 60}, {"B1-R", 30, 60}}, {0, -1, 0}, 1, 1},
        {"empty in y", {{"B1-P-Shft", 10, 20}, {"B1-R", 30, 20}}, {0, -1}, 0, 0},
        {"v-Alt drops the band", {{"B1-P-Shft", 10, 20}, {"v-Alt", 0, 0}, {"B1-R", 30, 60}}, {0, 0, 0}, 0, 0},
        {"u-Alt without zoom", {{"u-Alt", 0, 0}}, {0}, 0, 0},
        {"r-Alt", {{"r-Alt", 5, 5}}, {0}, 1, 0},
        {"two zooms, u-Alt twice",
         {{"B1-P-Shft", 10, 20},
          {"B1-R", 30, 60},
          {"B1-P-Shft", -5, -5},
          {"B1-R", 5, 5},
          {"u-Alt", 0, 0},
          {"u-Alt", 0, 0}},
         {0, 0, 0, 0, 0, 0},
         3,
         0},
    };
    for (const Case &c : cases) {
        MAP_domain(&first);
        PLT_set_zoom(0);
        PLT_plot_zoom("x", 0, 0); // no band anchored
        drawn.clear();
        testing::internal::CaptureStdout();
        const std::vector<int> rc = [&] {
            std::vector<int> r;
            for (const Event &e : c.events) {
                r.push_back(PLT_plot_zoom(e.name, e.x, e.y));
                // The drivers make the zoomed domain current when they redraw.
                if (!drawn.empty()) MAP_domain(&drawn.back());
            }
            return r;
        }();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(rc, c.rc) << c.what;
        EXPECT_EQ(static_cast<int>(drawn.size()), c.draws) << c.what;
        EXPECT_EQ(PLT_get_zoom(), c.zooms) << c.what;
        if (std::string(c.what) == "r-Alt") {
            ASSERT_FALSE(drawn.empty());
            EXPECT_EQ(drawn[0].clat, first.clat);
            EXPECT_EQ(drawn[0].dx, first.dx);
        }
        if (std::string(c.what).starts_with("two zooms")) {
            ASSERT_EQ(drawn.size(), 3u);
            // The second band starts from the first zoom's domain; the return
            // gives the domain before the first.
            EXPECT_NEAR(drawn[1].dx, 10.0 / 30, 1e-5);
            EXPECT_EQ(drawn[2].clat, first.clat);
            EXPECT_EQ(drawn[2].clon, first.clon);
            EXPECT_EQ(drawn[2].dx, first.dx);
            EXPECT_NE(out.find("Original domain: "), std::string::npos) << out;
        }
    }
}

// Diagrams: the lower-left corner's values become the centre and the
// extents the spacings, in plane units where the diagram's axes are not
// values (the first axis of the Skew-T, both of the hodograph).
TEST(PlotZoom, DiagramBands) {
    PLT_set_zoom_func(record_draw);
    struct Case {
        int proj;
        bool plane_x, plane_y, corner_values;
    };
    for (const Case &c :
         {Case{40, true, false, true}, Case{23, true, true, false}, Case{41, false, false, true}}) {
        Domain d{};
        DOM_decode(c.proj == 40 ? "skewt" : c.proj == 23 ? "hodo" : "stuve", &d);
        ASSERT_EQ(d.proj, c.proj);
        MAP_domain(&d);
        const float x0 = 0.2f, y0 = 0.3f, x1 = 0.6f, y1 = 0.7f;
        float a0 = x0, b0 = y0, a1 = x1, b1 = y1;
        if (c.corner_values) MAP_untran(x0, y0, &a0, &b0);
        MAP_untran(x1, y1, &a1, &b1);
        PLT_set_zoom(0);
        drawn.clear();
        feed({{"B1-P-Shft", x1, y0}, {"B1-R", x0, y1}});
        ASSERT_EQ(drawn.size(), 1u) << c.proj;
        EXPECT_FLOAT_EQ(drawn[0].clat, a0) << c.proj;
        EXPECT_FLOAT_EQ(drawn[0].clon, b0) << c.proj;
        EXPECT_FLOAT_EQ(drawn[0].dx, c.plane_x ? x1 - x0 : b1 - b0) << c.proj;
        EXPECT_FLOAT_EQ(drawn[0].dy, c.plane_y ? y1 - y0 : a1 - a0) << c.proj;
    }
}

// Resize and refresh redraw the current domain with transformation 0
// during the call and restore transformation 2 after.
TEST(PlotZoom, ResizeAndRefresh) {
    static int trans_in_call = -1;
    static int refreshes = 0;
    const Domain d = ps_domain(41, 31);
    MAP_domain(&d);
    PLT_set_resize_func([](Domain *dom) {
        drawn.push_back(*dom);
        trans_in_call = current_trans();
        return 0;
    });
    drawn.clear();
    EXPECT_EQ(PLT_plot_resize("r-Alt", 0, 0), 0);
    EXPECT_TRUE(drawn.empty());
    GPH_trans(2);
    EXPECT_EQ(PLT_plot_resize("size", 0, 0), 0);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].clat, d.clat);
    EXPECT_EQ(drawn[0].nx, d.nx);
    EXPECT_EQ(trans_in_call, 0);
    EXPECT_EQ(current_trans(), 2);

    PLT_set_refresh_func(60, [](Domain *dom) {
        ++refreshes;
        drawn.push_back(*dom);
        trans_in_call = current_trans();
        return 0;
    });
    trans_in_call = -1;
    drawn.clear();
    EXPECT_EQ(PLT_plot_refresh(), 0);
    EXPECT_EQ(refreshes, 1);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].clat, d.clat);
    EXPECT_EQ(trans_in_call, 0);
    EXPECT_EQ(current_trans(), 2);
}

// The held window's timer (on a test clock) runs the refresh function once a
// period with the current domain, under transformation 0 and the wait
// cursor; the loop goes on under transformation 2. A refresh gives back the
// cursor shape it found.
TEST(PlotZoom, RefreshOnTheHoldTimer) {
    if (!xtest::need_display()) return;
    xev::use_test_clock();
    if (!xtest::open_window()) return;
    const Domain d = ps_domain(41, 31);
    MAP_domain(&d);
    struct Call {
        double at;
        Domain dom;
        int trans, cursor;
    };
    static std::vector<Call> refreshed;
    static std::vector<int> trans_after; // at the first wait after each refresh
    PLT_set_refresh_func(60, [](Domain *dom) {
        refreshed.push_back({xev::test_clock().now() - 1000, *dom, current_trans(), gget_cursor_type()});
        return 0;
    });
    GPH_trans(1);
    xev::test_clock().on_sleep = [] {
        if (trans_after.size() < refreshed.size()) trans_after.push_back(current_trans());
        if (xev::test_clock().now_us - 1000000000LL == 130000000) xev::end_input();
    };
    EXPECT_EQ(ghold(1), 0);
    ASSERT_EQ(refreshed.size(), 2u);
    for (std::size_t i = 0; i < refreshed.size(); ++i) {
        const Call &c = refreshed[i];
        EXPECT_EQ(c.at, i == 0 ? 60.5 : 120.5);
        EXPECT_EQ(c.dom.proj, d.proj);
        EXPECT_EQ(c.dom.clat, d.clat);
        EXPECT_EQ(c.dom.clon, d.clon);
        EXPECT_EQ(c.dom.nx, d.nx);
        EXPECT_EQ(c.dom.dx, d.dx);
        EXPECT_EQ(c.trans, 0);
        EXPECT_EQ(c.cursor, 8);
    }
    EXPECT_EQ(trans_after, (std::vector<int>{2, 2}));
    // The loop sets its own shape before every wait: the shape given back is
    // seen on a refresh run outside the loop.
    gset_cursor(3);
    GPH_trans(1);
    EXPECT_EQ(PLT_plot_refresh(), 0);
    EXPECT_EQ(refreshed.back().cursor, 8);
    EXPECT_EQ(gget_cursor_type(), 3);
    EXPECT_EQ(current_trans(), 2);
    gclose_ws(1);
}

// "u-Alt" leaves the zoomed domain alone while the kernel magnifies the
// window's pixels, and returns to the first domain once it does not.
TEST(PlotZoom, ReturnWaitsForTheWindowZoom) {
    if (!xtest::need_display() || !xtest::open_window()) return;
    MESS_set(0, 0xFFFFFFFF);
    const Domain first = ps_domain(41, 31);
    MAP_domain(&first);
    PLT_set_zoom_func(record_draw);
    PLT_set_zoom(0);
    drawn.clear();
    feed({{"B1-P-Shft", 10, 20}, {"B1-R", 30, 60}});
    ASSERT_EQ(drawn.size(), 1u);
    const Domain zoomed = drawn[0];
    MAP_domain(&zoomed);

    ASSERT_EQ(gzoom(-2, 10, 10, -2, 0), 1);
    ASSERT_EQ(gget_zoom(), 2);
    testing::internal::CaptureStdout();
    EXPECT_EQ(PLT_plot_zoom("u-Alt", 0, 0), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(drawn.size(), 1u);
    EXPECT_EQ(PLT_get_zoom(), 1);
    EXPECT_EQ(out.find("Original domain: "), std::string::npos) << out;

    EXPECT_EQ(gunzoom(), 0);
    ASSERT_EQ(gget_zoom(), 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(PLT_plot_zoom("u-Alt", 0, 0), 0);
    out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[1].clat, first.clat);
    EXPECT_EQ(drawn[1].clon, first.clon);
    EXPECT_EQ(drawn[1].dx, first.dx);
    EXPECT_EQ(PLT_get_zoom(), 0);
    EXPECT_NE(out.find("Original domain: "), std::string::npos) << out;
    gclose_ws(1);
}

// ---- Image output ----------------------------------------------------------------------------

std::string require_display() {
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0' ? "" : "this test needs an X display: DISPLAY is not set";
}

// Runs the image-output driver entry with plot_param items and image_path.
zeqtest::ChildResult run_dump(const TempDir &dir, const char *entry, const std::string &param,
                              const std::string &path) {
    return run_driver_entry(dir, entry, {"-ba", "-pp", param, "-ip", path, "-me", "mess"});
}

// Each image kind writes its default name under image_path; the files read
// back at the window's size by independent tools.
TEST(PlotDump, KindsAndDefaultNames) {
    const std::string no_display = require_display();
    ASSERT_TRUE(no_display.empty()) << no_display;
    ASSERT_EQ(access("/usr/bin/pngcheck", X_OK), 0) << "this test needs pngcheck (Debian package pngcheck)";
    ASSERT_EQ(access("/usr/bin/identify", X_OK), 0)
        << "this test needs identify (Debian package imagemagick)";
    struct Case {
        const char *param;
        const char *file;
        const char *wrote;
    };
    for (const Case &c :
         {Case{"png", "zeq.png", "Wrote PNG file: "}, Case{"gif", "zeq.gif", "Wrote GIF file: "},
          Case{"xwd", "zeq.xwd", "Wrote xdump file: "}, Case{"img", "zeq.img", "Wrote IMG file: "}}) {
        TempDir dir;
        // image_path names a plain file: nothing can be written under it.
        {
            std::FILE *f = std::fopen(dir.file("plain").c_str(), "w");
            if (f != nullptr) std::fclose(f);
        }
        const zeqtest::ChildResult r = run_dump(dir, "dump", c.param, dir.file("plain"));
        std::filesystem::create_directory(dir.file("out"));
        const zeqtest::ChildResult r2 = run_dump(dir, "dump", c.param, dir.file("out"));
        EXPECT_EQ(r2.status, 0) << c.param << r2.err;
        EXPECT_NE(r2.out.find("PLT_dump 0\n"), std::string::npos) << r2.out;
        EXPECT_NE(r2.out.find("name_conv kept\n"), std::string::npos) << r2.out;
        const std::string file = dir.file("out/") + c.file;
        EXPECT_TRUE(std::filesystem::exists(file)) << c.param << r2.out << r2.err;
        EXPECT_NE((r2.out + r2.err).find(std::string(c.wrote) + file), std::string::npos) << r2.out << r2.err;
        // The unwritable image_path: a warning, and the run ends with 0.
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE((r.out + r.err).find("PLT_dump: Unable to write "), std::string::npos) << r.out << r.err;
        if (std::string(c.param) == "png") {
            const zeqtest::ChildResult check = run_child([&] {
                execl("/usr/bin/pngcheck", "pngcheck", file.c_str(), static_cast<char *>(nullptr));
                return 127;
            });
            EXPECT_EQ(check.status, 0) << check.out << check.err;
        } else if (std::string(c.param) != "img") {
            const zeqtest::ChildResult id = run_child([&] {
                execl("/usr/bin/identify", "identify", "-format", "%w %h", file.c_str(),
                      static_cast<char *>(nullptr));
                return 127;
            });
            EXPECT_EQ(id.status, 0) << id.err;
            EXPECT_FALSE(id.out.empty());
        }
    }
}

// Frames of a sequence get their own files: the frame number before the
// extension, or through a template with key 'i'; no kind chosen gives -1.
TEST(PlotDump, FramesAndTemplates) {
    const std::string no_display = require_display();
    ASSERT_TRUE(no_display.empty()) << no_display;
    {
        TempDir dir;
        const zeqtest::ChildResult r = run_dump(dir, "dump_frames", "png", dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        for (const char *f : {"zeq-00.png", "zeq-01.png", "zeq-02.png"})
            EXPECT_TRUE(std::filesystem::exists(dir.file(f))) << f << r.out << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("zeq.png")));
    }
    {
        TempDir dir;
        const zeqtest::ChildResult r = run_driver_entry(
            dir, "dump_frames",
            {"-ba", "-pp", "png:run_%i_%p.png", "-ip", dir.path(), "-ti", "tt", "-me", "mess"});
        EXPECT_EQ(r.status, 0) << r.err;
        for (const char *f : {"run_00_tt.png", "run_01_tt.png", "run_02_tt.png"})
            EXPECT_TRUE(std::filesystem::exists(dir.file(f))) << f << r.out << r.err;
    }
    {
        TempDir dir;
        const zeqtest::ChildResult r = run_driver_entry(dir, "dump", {"-ba", "-de", "ps,out.ps"});
        EXPECT_NE(r.out.find("PLT_dump -1\n"), std::string::npos) << r.out << r.err;
    }
}

// ---- Value read-out ----------------------------------------------------------------------------

// A contour entry over grid slot 0 on a 5 x 4 polar stereographic grid
// that is also the map; value i + 10 * j at column i, row j.
void one_contour_grid(int entries) {
    const Domain d = ps_domain(5, 4);
    MAP_domain(&d);
    VAR_init();
    VAR_set_num(entries);
    for (int i = 0; i < entries; ++i) {
        VAR_set_type(i, 11);
        VAR_set_flag(i, 0);
    }
    GRD_set_grid_domain(0, &d);
    GRD_alloc_grid(0);
    GRD_report *g = GRD_get_grid(0);
    ASSERT_NE(g->grid, nullptr);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 5; ++i)
            g->grid[j * 5 + i] = static_cast<float>(i + 10 * j);
}

// "v-Alt" prints the position and the bilinear grid value at the pointer;
// "e-Alt" stores the answer at the nearest grid point with one entry only;
// other events print nothing.
TEST(PlotValues, ReadOutAndEdit) {
    const zeqtest::ChildResult r = run_child(
        [] {
            MESS_set(0, 0xFFFFFFFF);
            one_contour_grid(1);
            // The plane points of grid positions (1.5, 2.25) and (2.2, 0.9).
            float x = 0, y = 0, ex = 0, ey = 0;
            MAP_grid_tran(1.5f, 2.25f, &x, &y);
            MAP_grid_tran(2.2f, 0.9f, &ex, &ey);
            PLT_print_values("x-Alt", x, y);
            std::printf("--\n");
            std::fflush(stdout);
            PLT_print_values("v-Alt", x, y);
            PLT_print_values("e-Alt", ex, ey);
            std::printf("\nedited %g\n", static_cast<double>(GRD_get_grid(0)->grid[1 * 5 + 2]));
            one_contour_grid(2);
            PLT_print_values("e-Alt", ex, ey);
            std::printf("\nkept %g\n", static_cast<double>(GRD_get_grid(0)->grid[1 * 5 + 2]));
            std::fflush(stdout);
            return 0;
        },
        zeqtest::ChildInput{"1234\n5678\n"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("--\n")) << r.out;
    EXPECT_NE(r.out.find("Lat: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Grid:   1.50,  2.25 =  24.00\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Grid:   2,  1 Val =  12.00 New value: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("edited 1234\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("kept 12\n"), std::string::npos) << r.out;
}

} // namespace
