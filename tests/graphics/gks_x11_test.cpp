// The kernel and its workstation: connection strings, print options, page
// sizes, device geometry and panels, the files ghostscript reads, opens and
// closes that fail, and the hold loop of the own window on a test clock.
#include "graphics/gks_x11.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <X11/keysym.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_tran.h"
#include "graphics/render.h"
#include "runtime/resrc.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_meta.h"
#include "support/child.h"
#include "support/reference.h"
#include "graphics/xevents.h"
#include "graphics/xowner.h"
#include "graphics/xwin.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_zoom.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_x11_xlib.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::text_lines;

struct Device {
    int w, h, x, y;
    bool operator==(const Device &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Device &d) {
    return os << d.w << "x" << d.h << "+" << d.x << "+" << d.y;
}

Device device() {
    Device d{};
    gget_win_size(&d.w, &d.h);
    gget_win_offset(&d.x, &d.y);
    return d;
}

std::string replace_all(std::string text, const std::string &what, const std::string &with) {
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + with.size()))
        text.replace(p, what.size(), with);
    return text;
}

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

// A comment line holding the time as ctime writes it ("Thu Jan  1 00:00:00 1970").
bool is_date_line(const std::string &line, const std::string &head) {
    if (!line.starts_with(head) || line.size() != head.size() + 24) return false;
    char day[4], month[4];
    int mday = 0, h = 0, m = 0, s = 0, year = 0;
    return std::sscanf(line.c_str() + head.size(), "%3s %3s %d %d:%d:%d %d", day, month, &mday, &h, &m, &s,
                       &year) == 7;
}

// Strokes a short diagonal in the current transformation.
void draw_something() {
    gps_set_width(1, 3);
    gps_printf("np\n");
    gps_move(0.1f, 0.1f);
    gps_line(0.9f, 0.9f);
    gps_printf("stroke\n");
}

// ---- Connections ----------------------------------------------------------------

struct Connection {
    const char *what;
    std::string conn; // FILE stands for the output file
    std::vector<std::pair<const char *, const char *>> env;
    const char *geometry; // the resource geometry, or null
    Device expect;
    bool eps = false;
};

// Each open runs in its own process: the print options keep their values from
// one workstation to the next.
TEST(PostScriptOpen, ConnectionsGiveTheDeviceAndFilesGhostscriptReads) {
    if (!gkstest::have_gs()) return;
    const std::vector<Connection> table = {
        {"default page", "FILE", {}, nullptr, {756, 576, 0, 0}},
        {"a4 landscape", "FILE,land,a4", {}, nullptr, {805, 558, 0, 0}},
        {"sz portrait", "FILE,port,sz=8.5x11", {}, nullptr, {576, 756, 0, 0}},
        {"eps", "FILE,eps", {}, nullptr, {756, 576, 0, 0}, true},
        {"eps portrait, any case", "FILE,EPS,Port", {}, nullptr, {756, 576, 0, 0}, true},
        {"colour", "FILE,color", {}, nullptr, {756, 576, 0, 0}},
        {"gray and scale", "FILE,gray,scale=0.8", {}, nullptr, {756, 576, 0, 0}},
        {"base width", "FILE,lwidth=3", {}, nullptr, {756, 576, 0, 0}},
        {"unknown items ignored", "FILE,,bogus,scale,sz=0x0,sz=0.51x8", {}, nullptr, {756, 576, 0, 0}},
        {"geometry without an area ignored",
         "FILE",
         {{"zeqps_geometry", "1x1+5+5"}},
         nullptr,
         {756, 576, 0, 0}},
        {"zeqps_param", "FILE", {{"zeqps_param", "legal,port"}}, nullptr, {972, 576, 0, 0}},
        {"items after zeqps_param", "FILE,letter", {{"zeqps_param", "legal"}}, nullptr, {756, 576, 0, 0}},
        {"zeqps_print names the output",
         "",
         {{"zeqps_print", "FILE"}, {"PSPRINT", "/nonexistent/x.ps"}},
         nullptr,
         {756, 576, 0, 0}},
        {"PSPRINT names the output", "", {{"PSPRINT", "FILE"}}, nullptr, {756, 576, 0, 0}},
        {"geometry resource", "FILE", {{"zeqps_geometry", "P2x2"}}, "600x400+50+50", {432, 288, 36, 36}},
        {"zeqps_geometry size", "FILE", {{"zeqps_geometry", "500x300"}}, nullptr, {360, 216, 0, 0}},
        {"PSGEOMETRY offsets", "FILE", {{"PSGEOMETRY", "+100+50"}}, nullptr, {756, 576, 72, 36}},
        {"panel", "FILE", {{"zeqps_geometry", "P2x2+1+0"}}, nullptr, {378, 288, 378, 288}},
        {"panel on a4", "FILE,a4", {}, "p3x1+2", {268, 558, 536, 0}},
        {"eps panel", "FILE,eps", {}, "P2x2+0+1", {378, 288, 0, 0}, true},
        {"pipe", "|cat > FILE", {}, nullptr, {756, 576, 0, 0}},
    };
    for (const Connection &c : table) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string file = dir.file("plot.ps");
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            for (const auto &[name, value] : c.env)
                setenv(name, replace_all(value, "FILE", file).c_str(), 1);
            if (c.geometry != nullptr) RES_put("geometry", c.geometry);
            gopen_gks(nullptr, 0);
            if (gopen_ws(1, replace_all(c.conn, "FILE", file).c_str(), 4) != 0) return 2;
            const Device d = device();
            std::printf("\ndevice %d %d %d %d\n", d.w, d.h, d.x, d.y);
            draw_something();
            return gclose_ws(1) == 0 ? 0 : 3;
        });
        ASSERT_EQ(r.status, 0) << r.err;
        Device got{};
        std::istringstream(r.out.substr(r.out.find("device ") + 7)) >> got.w >> got.h >> got.x >> got.y;
        EXPECT_EQ(got, c.expect);
        EXPECT_NE(r.out.find("Created Postscript file"), std::string::npos);
        const gkstest::GsRun gs = gkstest::gs_check(file, c.eps);
        EXPECT_EQ(gs.status, 0) << gs.out;
        EXPECT_TRUE(gs.out.empty()) << gs.out;
    }
}

// The prologue and trailer of the default page, line by line.
TEST(PostScriptOpen, PrologueAndTrailer) {
    TempDir dir;
    const std::string file = dir.file("p.ps");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, file.c_str(), 4), 0);
    ASSERT_EQ(gclose_ws(1), 0);
    const std::vector<std::string> lines = text_lines(read_file(file));
    const std::vector<std::string> expect = {
        "%!PS-Adobe-1.0",
        "%%Title: ZEQ Graphics Display: R11_Ezedi",
        "%%Creator: ZEQ Postscript Processor-2.0",
        "(date)",
        "%%EndComments",
        "%%Postscript initialization",
        "30 dict begin",
        "/saveobj save def",
        "/inch {72 mul} def",
        "/dot {.33 mul} def",
        "/mv {moveto} def",
        "/ln {lineto} def",
        "/lw {setlinewidth} def",
        "/np {newpath} def",
        "/cp {closepath} def",
        "90 rotate",
        ".25 inch -8.25 inch translate",
        "0 setgray",
        "2 setlinejoin",
        "1 dot lw",
        "[] 0 setdash",
        "%%Begin plot",
        "%%ZEQ Plot: R11_Ezedi",
        // the clip of the whole normalised square: 575 points on the 756 x 576 device
        "initclip",
        "np",
        "-0.10 -0.10 mv",
        "-0.10 575.10 ln",
        "575.10 575.10 ln",
        "575.10 -0.10 ln",
        "cp",
        "clip",
        "%%End of plot",
        "saveobj restore",
        "showpage",
        "end",
        "%%EOF",
    };
    ASSERT_EQ(lines.size(), expect.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (expect[i] == "(date)")
            EXPECT_TRUE(is_date_line(lines[i], "%%CreationDate: ")) << lines[i];
        else
            EXPECT_EQ(lines[i], expect[i]) << "line " << i;
    }
}

// The option lines of the prologue for other options.
TEST(PostScriptOpen, PrologueFollowsTheOptions) {
    struct Case {
        const char *conn;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const std::vector<Case> table = {
        {"port", {".25 inch .25 inch translate\n", "30 dict begin\n"}, {"rotate", "BoundingBox"}},
        {"eps",
         {"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 36 0 612 756\n",
          "90 rotate\n0. inch -8.50 inch translate\n"},
         {"30 dict begin", "saveobj", "\nend\n"}},
        {"eps,port", {"%%BoundingBox: 0 0 756 576\n"}, {"rotate", "translate"}},
        {"eps,port,scale=0.5", {"%%BoundingBox: 0 0 378 288\n", "0.50 0.50 scale\n"}, {}},
        {"color", {"0 0 0 setrgbcolor\n"}, {"0 setgray"}},
        {"a4", {".25 inch -8.01 inch translate\n"}, {}},
    };
    for (const Case &c : table) {
        SCOPED_TRACE(c.conn);
        TempDir dir;
        const std::string file = dir.file("p.ps");
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            gopen_gks(nullptr, 0);
            const std::string conn = file + "," + c.conn;
            if (gopen_ws(1, conn.c_str(), 4) != 0) return 2;
            return gclose_ws(1) == 0 ? 0 : 3;
        });
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string text = read_file(file);
        for (const std::string &s : c.present)
            EXPECT_NE(text.find(s), std::string::npos) << s;
        for (const std::string &s : c.absent)
            EXPECT_EQ(text.find(s), std::string::npos) << s;
    }
}

// EPS: the bounding box is the drawing area on the page, so the cropped
// render shows all four edges of a frame around the whole device.
TEST(PostScriptOpen, EpsCropShowsTheWholeFrame) {
    if (!gkstest::have_gs()) return;
    struct Case {
        const char *conn;
        const char *geometry;
        double width, height; // the cropped page in points
    };
    for (const Case &c :
         {Case{"eps", nullptr, 576, 756}, Case{"eps,port", nullptr, 756, 576},
          Case{"eps,port", "600x400+50+50", 432, 288}, Case{"eps,land", "+100+0", 576, 756}}) {
        SCOPED_TRACE(std::string(c.conn) + " " + (c.geometry ? c.geometry : ""));
        TempDir dir;
        const std::string file = dir.file("p.eps");
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            if (c.geometry != nullptr) RES_put("geometry", c.geometry);
            gopen_gks(nullptr, 0);
            if (gopen_ws(1, (file + "," + c.conn).c_str(), 4) != 0) return 2;
            Gint w = 0, h = 0;
            gget_win_size(&w, &h);
            // Workstation window of the device's shape: NDC fills the device.
            const Glim ws{0, 1, 0, static_cast<float>(h - 1) / static_cast<float>(w - 1)};
            gset_ws_win(1, &ws);
            gset_vp(1, &ws);
            gset_win(1, &ws);
            gsel_norm_tran(1);
            gps_set_width(1, 12); // 4 points
            gps_printf("np\n");
            gps_move(ws.x_min, ws.y_min);
            gps_line(ws.x_max, ws.y_min);
            gps_line(ws.x_max, ws.y_max);
            gps_line(ws.x_min, ws.y_max);
            gps_printf("cp stroke\n");
            return gclose_ws(1) == 0 ? 0 : 3;
        });
        ASSERT_EQ(r.status, 0) << r.err;
        const gkstest::Raster page = gkstest::gs_render(file, "-dEPSCrop");
        ASSERT_NEAR(page.width, c.width, 1);
        ASSERT_NEAR(page.height, c.height, 1);
        // The frame lies on the device's edges: its inner half shows along
        // every side of the cropped page, and the middle stays white.
        const double mx = page.width / 2.0, my = page.height / 2.0;
        EXPECT_TRUE(page.white(mx, my));
        const auto near_edge = [&](auto at) {
            for (double inset : {0.5, 1.5, 2.5})
                if (at(inset)) return true;
            return false;
        };
        EXPECT_TRUE(near_edge([&](double i) { return page.black(i, my); })) << "left";
        EXPECT_TRUE(near_edge([&](double i) { return page.black(page.width - i, my); })) << "right";
        EXPECT_TRUE(near_edge([&](double i) { return page.black(mx, i); })) << "bottom";
        EXPECT_TRUE(near_edge([&](double i) { return page.black(mx, page.height - i); })) << "top";
    }
}

// "+" appends a plot to an earlier one: no header, no showpage, no end of
// file, and the file still reads.
TEST(PostScriptOpen, AppendOntoAnEarlierPlot) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const std::string file = dir.file("p.ps");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, file.c_str(), 4), 0);
    draw_something();
    ASSERT_EQ(gclose_ws(1), 0);
    const std::string first = read_file(file);

    testing::internal::CaptureStdout();
    ASSERT_EQ(gopen_ws(1, ("+" + file + ",port").c_str(), 4), 0);
    draw_something();
    ASSERT_EQ(gclose_ws(1), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Appending to: " + file), std::string::npos) << out;

    const std::string text = read_file(file);
    ASSERT_EQ(text.compare(0, first.size(), first), 0);
    const std::string added = text.substr(first.size());
    for (const char *absent : {"%!", "%%Title", "%%Begin plot", "showpage", "%%EOF", "saveobj"})
        EXPECT_EQ(added.find(absent), std::string::npos) << absent;
    EXPECT_NE(added.find("%%ZEQ Plot: R11_Ezedi\n"), std::string::npos);
    EXPECT_NE(added.find(".25 inch .25 inch translate\n"), std::string::npos);
    EXPECT_TRUE(added.ends_with("stroke\n%%End of plot\n")) << added;
    EXPECT_EQ(count(text, "showpage"), 1u);
    const gkstest::GsRun gs = gkstest::gs_check(file);
    EXPECT_EQ(gs.status, 0) << gs.out;
    EXPECT_TRUE(gs.out.empty()) << gs.out;
}

// ---- Failures -------------------------------------------------------------------

// A close whose output did not arrive: a warning naming the output, no
// "Created" message, -1, and the workstation is closed all the same.
TEST(PostScriptClose, LostOutputIsReported) {
    for (const char *target : {"|false", "/dev/full"}) {
        SCOPED_TRACE(target);
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            gopen_gks(nullptr, 0);
            if (gopen_ws(1, target, 4) != 0) return 2;
            for (int i = 0; i < 20000; ++i)
                draw_something(); // more than a pipe holds
            if (gclose_ws(1) != -1) return 3;
            if (gchk_graphics() != 0) return 4;
            return gclose_ws(1) == -1 ? 0 : 5;
        });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find(std::string("gps_close_file: unable to complete ") + target), std::string::npos)
            << r.err;
        EXPECT_EQ(r.out.find("Created Postscript file"), std::string::npos) << r.out;
    }
}

TEST(PostScriptOpen, FailuresAndTheKernelState) {
    TempDir dir;
    const std::string blocker = dir.file("plain");
    zeqtest::write_file(blocker, "x");
    // Nothing open yet: closes fail, reports are silent without an error stream.
    EXPECT_EQ(gclose_ws(1), -1);
    testing::internal::CaptureStderr();
    gerr_printf("gpolyline", "GKS not opened\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    ASSERT_EQ(gopen_gks(nullptr, 0), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gopen_ws(1, (blocker + "/x.ps").c_str(), 4), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "gopen_ws: unable to open postscript file\n\n");
    EXPECT_EQ(gchk_graphics(), 0);
    EXPECT_EQ(gget_win_type(), 4); // settings made before the failure stay

    // zeqprint turns PostScript into HP-GL, whose output cannot be created either.
    setenv("zeqprint", "HPGL", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gopen_ws(1, (blocker + "/x.hpgl").c_str(), 4), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "gopen_ws: unable to open HPGL file\n\n");
    EXPECT_EQ(gget_win_type(), 5);
    unsetenv("zeqprint");
    // A display that no server serves.
    for (int type : {1, 6}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(gopen_ws(1, ":9999", type), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "gopen_ws: unable to connect to display\n");
        EXPECT_EQ(gchk_graphics(), 0);
    }

    // One workstation at a time.
    const std::string file = dir.file("ok.ps");
    ASSERT_EQ(gopen_ws(1, file.c_str(), 4), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gopen_ws(1, dir.file("second.ps").c_str(), 4), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gopen_ws: workstation already open"),
              std::string::npos);
    EXPECT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(gclose_ws(1), -1);
    EXPECT_FALSE(zeqtest::read_file(file).empty());
}

// A named error stream is created empty; reports go to the message streams
// while it is open, and after gclose_gks has closed and forgotten it they
// are silent.
TEST(Kernel, ErrorStream) {
    TempDir dir;
    const std::string err = dir.file("gks.err");
    EXPECT_EQ(gopen_gks((dir.path() + "/plain").c_str(), 0), 0);
    zeqtest::write_file(dir.file("blocker"), "x");
    EXPECT_EQ(gopen_gks((dir.file("blocker") + "/e").c_str(), 0), 1);
    EXPECT_EQ(gopen_gks(err.c_str(), 0), 0);
    testing::internal::CaptureStderr();
    gerr_printf("gset_linetype", "invalid line type: %d\n", -2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "gset_linetype: invalid line type: -2\n\n");
    EXPECT_EQ(gclose_gks(), 0);
    EXPECT_EQ(read_file(err), "");
    testing::internal::CaptureStderr();
    gerr_printf("f", "silent\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Names and titles of the window, kept for the next open and cut to size;
// the title heads every plot file.
TEST(Kernel, NamesAndTitles) {
    EXPECT_STREQ(gget_prog_name(), "R11_Ezedi");
    EXPECT_STREQ(gget_win_title(), "R11_Ezedi");
    EXPECT_EQ(gset_prog_name("a_program_name_longer_than_nineteen"), 0);
    EXPECT_STREQ(gget_prog_name(), "a_program_name_long");
    const std::string long_title(80, 't');
    EXPECT_EQ(gset_win_title(long_title.c_str()), -1); // no window: for the next open
    EXPECT_EQ(std::string(gget_win_title()), long_title.substr(0, 59));
    EXPECT_EQ(gset_win_title("Surface plot"), -1);
    EXPECT_EQ(gset_geometry("600x400"), 1);

    TempDir dir;
    const std::string file = dir.file("t.ps");
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, file.c_str(), 4), 0);
    // The preset geometry is for X windows only.
    EXPECT_EQ(device(), (Device{756, 576, 0, 0}));
    EXPECT_EQ(gget_win_depth(), 10);
    EXPECT_EQ(gtype_is_PS(), 1);
    EXPECT_EQ(gtype_is_WIN_PIX() + gtype_is_META() + gtype_is_HPGL(), 0);
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(device(), (Device{0, 0, 0, 0}));
    const std::string text = read_file(file);
    EXPECT_NE(text.find("%%Title: ZEQ Graphics Display: Surface plot\n"), std::string::npos);
    EXPECT_NE(text.find("%%ZEQ Plot: Surface plot\n"), std::string::npos);
}

// The per-device initialisation resets the transformations; kind -1 does
// nothing.
TEST(Kernel, InitPlotKinds) {
    gset_win_size(756, 576);
    const Glim w{2, 4, 6, 8};
    ASSERT_EQ(gset_win(2, &w), 0);
    EXPECT_EQ(ginit_plot(-1), -1);
    Gint err = -1;
    Gtran t{};
    ginq_norm_tran(2, &err, &t);
    EXPECT_FLOAT_EQ(t.win.x_max, 4);
    EXPECT_EQ(ginit_plot(4), 0);
    ginq_norm_tran(2, &err, &t);
    EXPECT_FLOAT_EQ(t.win.x_min, 0);
    EXPECT_FLOAT_EQ(t.win.x_max, 1);
    EXPECT_FLOAT_EQ(t.win.y_max, 1);
}

// ---- The own X window -------------------------------------------------------------

bool has(const std::string &text, const std::string &what) {
    return text.find(what) != std::string::npos;
}

struct WindowCase {
    const char *what;
    std::function<void()> before; // presets, resources and environment of the open
    std::vector<std::string> present;
    std::vector<std::string> absent;
};

// Each open runs in its own process, since presets last; the window's
// properties are read by xprop and xwininfo.
TEST(OwnWindow, NamesHintsAndPlacement) {
    if (!xtest::need_tools()) return;
    TempDir dir;
    const std::string xdefaults = dir.file("xdefaults");
    zeqtest::write_file(xdefaults, "R11_Ezedi.iconic: ON\nR11_Ezedi.geometry: 320x240+30+40\n");
    const std::vector<WindowCase> table = {
        {"defaults",
         [] {},
         {"WM_NAME(STRING) = \"R11 Ezedi\"", "WM_ICON_NAME(STRING) = \"R11 Ezedi\"",
          "WM_CLASS(STRING) = \"R11_Ezedi\", \"Zeq\"", "program specified location: 100, 100",
          "program specified size: 640 by 512", "Initial state is Normal State.",
          "bitmap id # to use for icon", "Width: 640", "Height: 512", "Border width: 5",
          "Backing Store State: Always", "Map State: IsViewable"},
         {"user specified", "minimum size"}},
        {"lower right corner",
         [] { RES_put("geometry", "800x600-0-0"); },
         {"user specified location: 480, 424", "user specified size: 800 by 600",
          "Absolute upper-left X:  480", "Absolute upper-left Y:  424", "Width: 800", "Height: 600"},
         {}},
        {"preset over the resource",
         [] {
             RES_put("geometry", "300x200+10+10");
             gset_geometry("400x300+20+30");
         },
         {"user specified location: 20, 30", "user specified size: 400 by 300"},
         {}},
        {"position only",
         [] { gset_geometry("+50+60"); },
         {"user specified location: 50, 60", "program specified size: 640 by 512"},
         {"user specified size"}},
        {"size of zero ignored", [] { gset_geometry("0x0"); }, {"program specified size: 640 by 512"}, {}},
        {"fixed size",
         [] {
             gset_fixed_size();
             gset_xsize(500, 400);
         },
         {"program specified minimum size: 500 by 400", "program specified maximum size: 500 by 400",
          "Width: 500"},
         {}},
        {"icon resource", [] { RES_put("icon", "on"); }, {"Initial state is Iconic State."}, {}},
        {"icon resource over the preset",
         [] {
             gset_iconic(1);
             RES_put("icon", "off");
         },
         {"Initial state is Normal State."},
         {}},
        {"iconic preset", [] { gset_iconic(1); }, {"Initial state is Iconic State."}, {}},
        {"X defaults",
         [&xdefaults] { setenv("XENVIRONMENT", xdefaults.c_str(), 1); },
         {"Initial state is Iconic State.", "user specified location: 30, 40",
          "user specified size: 320 by 240"},
         {}},
        {"names",
         [] {
             gset_prog_name("loop_view");
             gset_win_title("Surface_plot_1");
         },
         {"WM_NAME(STRING) = \"Surface plot 1\"", "WM_CLASS(STRING) = \"loop_view\", \"Zeq\""},
         {}},
    };
    for (const WindowCase &c : table) {
        SCOPED_TRACE(c.what);
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            c.before();
            gopen_gks(nullptr, 0);
            if (gopen_ws(1, nullptr, 1) != 0) return 2;
            const Window w = gget_root_window();
            std::printf("%s%s", xtest::xprop(w).c_str(), xtest::xwininfo(w).c_str());
            return gclose_ws(1) == 0 ? 0 : 3;
        });
        ASSERT_EQ(r.status, 0) << r.err;
        for (const std::string &p : c.present)
            EXPECT_TRUE(has(r.out, p)) << p << "\n" << r.out;
        for (const std::string &a : c.absent)
            EXPECT_FALSE(has(r.out, a)) << a << "\n" << r.out;
    }
}

// The title extra follows the window's title (whose underscores became
// blanks at the open); the part read back fits the caller's buffer.
TEST(OwnWindow, TitlesAndCursors) {
    if (!xtest::need_tools()) return;
    char extra[80] = "x";
    EXPECT_EQ(gset_win_title_extra("[1]"), -1);
    EXPECT_EQ(gget_win_title_extra(extra, sizeof extra), -1);
    EXPECT_STREQ(extra, "");
    EXPECT_EQ(gset_cursor(3), 0); // no X workstation: nothing stored
    EXPECT_EQ(gget_cursor_type(), 0);

    if (!xtest::open_window()) return;
    const Window w = gget_root_window();
    EXPECT_STREQ(gget_win_title(), "R11 Ezedi");
    EXPECT_EQ(gget_cursor_type(), 8); // the open ends with the wait cursor
    EXPECT_EQ(gset_cursor(3), 8);
    EXPECT_EQ(gset_cursor_type(42), 3);
    EXPECT_EQ(gget_cursor_type(), 42);

    EXPECT_EQ(gset_win_title_extra("[3]"), 0);
    EXPECT_TRUE(has(xtest::xprop(w), "WM_NAME(STRING) = \"R11 Ezedi [3]\"\n"));
    EXPECT_EQ(gget_win_title_extra(extra, sizeof extra), 0);
    EXPECT_STREQ(extra, "[3]");
    char small[3];
    EXPECT_EQ(gget_win_title_extra(small, sizeof small), 0);
    EXPECT_STREQ(small, "[3");
    EXPECT_EQ(gset_win_title_extra(""), 0);
    EXPECT_TRUE(has(xtest::xprop(w), "WM_NAME(STRING) = \"R11 Ezedi\"\n"));
    EXPECT_EQ(gget_win_title_extra(extra, sizeof extra), 0);
    EXPECT_STREQ(extra, "");
    EXPECT_EQ(gset_win_title_extra(std::string(100, 'x').c_str()), 0); // the name is cut at 79
    EXPECT_EQ(gget_win_title_extra(extra, sizeof extra), 0);
    EXPECT_EQ(std::string(extra), std::string(79 - 10, 'x'));

    EXPECT_EQ(gset_win_title("Second_title"), 0);
    const std::string props = xtest::xprop(w);
    EXPECT_TRUE(has(props, "WM_NAME(STRING) = \"Second_title\"\n")) << props;
    EXPECT_TRUE(has(props, "WM_ICON_NAME(STRING) = \"Second_title\"\n")) << props;
    EXPECT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(gset_win_title_extra("[4]"), -1);
    EXPECT_EQ(gupdate_window(), -1);
}

// Resizing keeps the picture and a close forgets the size; every open uses
// the process's one display connection.
TEST(OwnWindow, ResizeCloseAndReopen) {
    if (!xtest::need_tools()) return;
    gset_background("blue");
    if (!xtest::open_window()) return;
    Display *const display = gget_display();
    const int connection = ConnectionNumber(display);
    const Gcolr_rep red{1, 0, 0};
    gset_colr_rep(1, 2, &red);
    gset_fill_colr_ind(2);
    const Gpt box[5] = {{0.1f, 0.1f}, {0.9f, 0.1f}, {0.9f, 0.9f}, {0.1f, 0.9f}, {0.1f, 0.1f}};
    gfill_area(5, box);
    const xtest::Picture before = xtest::grab_window();
    ASSERT_EQ(before.width, 640);
    ASSERT_EQ(before.rgb.size(), 640u * 512u * 3u);
    const auto kept = [&before](const xtest::Picture &after, int w, int h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (after.at(x, y) != before.at(x, y)) return false;
        return true;
    };

    EXPECT_EQ(gresize_window(-1, -1), 0);
    EXPECT_EQ(gresize_window(800, 600), 1);
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    EXPECT_EQ(w * 10000 + h, 800 * 10000 + 600);
    const xtest::Picture grown = xtest::grab_window();
    ASSERT_EQ(grown.width, 800);
    ASSERT_EQ(grown.height, 600);
    EXPECT_TRUE(kept(grown, 640, 512));
    EXPECT_EQ(grown.at(700, 550), (xtest::Rgb{0, 0, 255})); // the new part is background

    // The user made the window smaller: the size is followed, the picture kept.
    XResizeWindow(display, gget_root_window(), 500, 400);
    XSync(display, False);
    EXPECT_EQ(gresize_window(-1, -1), 1);
    gget_win_size(&w, &h);
    EXPECT_EQ(w * 10000 + h, 500 * 10000 + 400);
    const xtest::Picture shrunk = xtest::grab_window();
    ASSERT_EQ(shrunk.width, 500);
    EXPECT_TRUE(kept(shrunk, 500, 400));
    EXPECT_EQ(gresize_window(-1, -1), 0);
    // Width 0 follows the size and keeps the backing pixmap as it is.
    const Pixmap pixmap = gget_base_window();
    XResizeWindow(display, gget_root_window(), 600, 450);
    XSync(display, False);
    EXPECT_EQ(gresize_window(0, 0), 1);
    gget_win_size(&w, &h);
    EXPECT_EQ(w * 10000 + h, 600 * 10000 + 450);
    EXPECT_EQ(gget_base_window(), pixmap);

    EXPECT_EQ(gset_xsize(300, 200), 0);
    const std::string info = xtest::xwininfo(gget_root_window());
    EXPECT_TRUE(has(info, "Width: 300\n") && has(info, "Height: 200\n")) << info;

    ASSERT_EQ(gclose_ws(1), 0);
    gget_win_size(&w, &h);
    EXPECT_EQ(w + h, 0);
    ASSERT_EQ(gopen_ws(1, nullptr, 1), 0);
    gget_win_size(&w, &h);
    EXPECT_EQ(w * 10000 + h, 640 * 10000 + 512);
    const std::string again = xtest::xwininfo(gget_root_window());
    EXPECT_TRUE(has(again, "Width: 640\n") && has(again, "Height: 512\n")) << again;
    EXPECT_EQ(gget_display(), display);
    EXPECT_EQ(ConnectionNumber(gget_display()), connection);
    EXPECT_EQ(gclose_ws(1), 0);
}

// The background: a colour name (the resource, else the X default of the
// program's name), the default black (white in inverse video) for no name
// and for the names that keep the default.
TEST(OwnWindow, BackgroundTable) {
    if (!xtest::need_tools()) return;
    TempDir dir;
    const std::string xdefaults = dir.file("xdefaults");
    zeqtest::write_file(xdefaults, "R11_Ezedi.background: green\n");
    struct Case {
        const char *what;
        const char *name; // the resource background, or null
        bool inverse;
        xtest::Rgb rgb;
        const char *err;
        bool xdefault = false; // the X defaults name a background
    };
    const std::vector<Case> table = {
        {"no name", nullptr, false, {0, 0, 0}, ""},
        {"none", "none", false, {0, 0, 0}, ""},
        {"def", "DEF", false, {0, 0, 0}, ""},
        {"over", "over", false, {0, 0, 0}, ""},
        {"blue", "blue", false, {0, 0, 255}, ""},
        {"X colour syntax", "rgb:80/ff/00", false, {128, 255, 0}, ""},
        {"inverse video", nullptr, true, {255, 255, 255}, ""},
        {"over in inverse video", "over", true, {255, 255, 255}, ""},
        {"a name in inverse video", "blue", true, {0, 0, 255}, ""},
        {"unknown name",
         "no_such_colour",
         false,
         {0, 0, 0},
         "ginit_background: unknown colour no_such_colour, default background used\n"},
        {"X default", nullptr, false, {0, 255, 0}, "", true},
        {"the resource over the X default", "blue", false, {0, 0, 255}, "", true},
    };
    for (const Case &c : table) {
        SCOPED_TRACE(c.what);
        const zeqtest::ChildResult r = zeqtest::run_child(
            [&] {
                if (c.xdefault) setenv("XENVIRONMENT", xdefaults.c_str(), 1);
                if (c.inverse) setenv("zeqinverse", "", 1);
                if (c.name != nullptr) RES_put("background", c.name);
                gopen_gks(nullptr, 0);
                if (gopen_ws(1, nullptr, 1) != 0) return 2;
                int rgb[3] = {-1, -1, -1};
                gget_color_rgb256(-1, &rgb[0], &rgb[1], &rgb[2]);
                const xtest::Picture pic = xtest::grab_window();
                std::printf("\nslot %d %d %d\ninverse %d\n", rgb[0], rgb[1], rgb[2], gget_inverse());
                for (const auto &[x, y] : {std::pair{0, 0}, std::pair{320, 256}, std::pair{639, 511}}) {
                    const xtest::Rgb p = pic.at(x, y);
                    std::printf("pixel %d %d %d\n", p[0], p[1], p[2]);
                }
                return gclose_ws(1) == 0 ? 0 : 3;
            },
            {}, std::chrono::seconds(60));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, c.err);
        std::vector<std::vector<double>> pixels;
        for (const std::string &line : text_lines(r.out))
            if (line.starts_with("pixel ")) pixels.push_back(zeqtest::named_numbers(line)["pixel"]);
        const std::vector<double> want{static_cast<double>(c.rgb[0]), static_cast<double>(c.rgb[1]),
                                       static_cast<double>(c.rgb[2])};
        ASSERT_EQ(pixels.size(), 3u) << r.out;
        for (const auto &p : pixels)
            EXPECT_EQ(p, want);
        auto values = zeqtest::named_numbers(r.out);
        EXPECT_EQ(values["slot"], want);
        EXPECT_EQ(values["inverse"], std::vector<double>{c.inverse ? 1.0 : 0.0});
    }
}

// gclear_region fills the rectangle's pixels with the background on the
// window, writes its record on a text metafile and paints the page's
// background on PostScript.
TEST(OwnWindow, ClearRegionPaintsTheBackground) {
    if (!xtest::need_tools()) return;
    const Gpt all[5] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}};
    const Glim lim{0.25f, 0.5f, 0.25f, 0.5f};
    gset_background("blue");
    if (!xtest::open_window()) return;
    const Gcolr_rep white{1, 1, 1};
    gset_colr_rep(1, 2, &white);
    gset_fill_colr_ind(2);
    gfill_area(5, all);
    EXPECT_EQ(gclear_region(&lim), 0);
    const xtest::Picture pic = xtest::grab_window();
    ASSERT_EQ(pic.width, 640);
    // x from truncate(0.5 + 127.75) over truncate(255.5 - 128 + 0.5) pixels,
    // y from truncate(0.5 + 255.5) over truncate(383.25 - 256 + 0.5).
    const xtest::Rgb blue{0, 0, 255}, filled{255, 255, 255};
    for (const auto &[x, y] :
         {std::pair{128, 256}, std::pair{255, 256}, std::pair{128, 382}, std::pair{255, 382}})
        EXPECT_EQ(pic.at(x, y), blue) << x << "," << y;
    for (const auto &[x, y] :
         {std::pair{127, 300}, std::pair{256, 300}, std::pair{200, 255}, std::pair{200, 383}})
        EXPECT_EQ(pic.at(x, y), filled) << x << "," << y;
    // The whole window: gclear_ws.
    EXPECT_EQ(gclear_ws(1, GALWAYS), 0);
    const xtest::Picture cleared = xtest::grab_window();
    for (const auto &[x, y] : {std::pair{0, 0}, std::pair{127, 300}, std::pair{639, 511}})
        EXPECT_EQ(cleared.at(x, y), blue) << x << "," << y;
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_EQ(gclear_region(&lim), 0); // nothing open: nothing happens

    TempDir dir;
    const std::string meta = dir.file("c.meta");
    ASSERT_EQ(gopen_ws(1, meta.c_str(), 3), 0);
    gclear_region(&lim);
    ASSERT_EQ(gclose_ws(1), 0);
    EXPECT_TRUE(has(read_file(meta), "CLR_REG 0.250000 0.250000 0.500000 0.500000\n"));

    if (!gkstest::have_gs()) return;
    const std::string ps = dir.file("c.ps");
    ASSERT_EQ(gopen_ws(1, (ps + ",port").c_str(), 4), 0);
    gset_colr_rep(1, 3, &white);
    const Gcolr_rep black{0, 0, 0};
    gset_colr_rep(1, 2, &black);
    gfill_area(5, all);
    gclear_region(&lim);
    ASSERT_EQ(gclose_ws(1), 0);
    // The unit square is 575 points wide, from the page's 18-point margin.
    const gkstest::Raster page = gkstest::gs_render(ps, gkstest::media(612, 792));
    EXPECT_TRUE(page.white(18 + 0.375 * 575, 18 + 0.375 * 575));
    EXPECT_TRUE(page.black(18 + 0.125 * 575, 18 + 0.375 * 575));
    EXPECT_TRUE(page.black(18 + 0.375 * 575, 18 + 0.6 * 575));
}

// X protocol errors are reported one by one; the 25th ends the program with
// status 4, and so does a broken connection.
TEST(XErrors, TooManyErrorsAndALostConnectionEndTheProgram) {
    if (!xtest::need_display()) return;
    const zeqtest::ChildResult many = zeqtest::run_child([] {
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, nullptr, 1) != 0) return 2;
        for (int i = 0; i < 40; ++i) {
            gxline(0x7ffff00, XPoint{0, 0}, XPoint{10, 10}); // no such drawable
            gsync();
        }
        return 0;
    });
    EXPECT_EQ(many.status, 4) << many.err;
    EXPECT_EQ(
        count(many.err, "X11 error: BadDrawable (invalid Pixmap or Window parameter) in X_PolySegment\n"),
        25u)
        << many.err;
    EXPECT_TRUE(many.err.ends_with("X11 error: too many errors\n")) << many.err;

    const zeqtest::ChildResult lost = zeqtest::run_child([] {
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, nullptr, 1) != 0) return 2;
        shutdown(ConnectionNumber(gget_display()), SHUT_RDWR);
        gsync();
        return 0;
    });
    EXPECT_EQ(lost.status, 4) << lost.err;
    EXPECT_EQ(lost.err, "Fatal X11 Error\n");
}

// ---- The hold loop, on a test clock ----------------------------------------------------

std::vector<double> refreshed;

// An idle window with one picture and a refresh period of 60 s is polled
// every 0.1 s for 5 s after the last user event, then every 0.5 s; the
// refresh function runs once a period; a feeding program's end of input
// ends the hold. Other devices return at once.
TEST(HoldLoop, IdlePollsAndRefresh) {
    if (!xtest::need_display()) return;
    EXPECT_EQ(ghold(1), 0); // nothing open
    xev::use_test_clock();
    if (!xtest::open_window()) return;
    gset_refresh_callback(60, [] {
        refreshed.push_back(xev::test_clock().now() - 1000);
        return 0;
    });
    xev::test_clock().on_sleep = [] {
        const long long t = xev::test_clock().now_us - 1000000000LL;
        if (t == 10000000) xev::key(XK_a); // a user event after 10 s
        if (t == 130000000) xev::end_input();
    };
    EXPECT_EQ(ghold(1), 0);
    EXPECT_EQ(xev::sleep_runs(xev::test_clock().sleeps), "0.10x50 0.50x10 0.10x50 0.50x230");
    EXPECT_EQ(refreshed, (std::vector<double>{60.5, 120.5}));
    EXPECT_EQ(gget_input_mode(), 1); // keys are ignored again
    EXPECT_EQ(gget_cursor_type(), 0);
    gclose_ws(1);

    gopen_ws(1, "/dev/null", GWS_PS);
    EXPECT_EQ(ghold(1), 0);
    gclose_ws(1);
}

// While frames loop the hold shows each in turn for its delay (the last
// frame for the pause) and goes on until input ends.
TEST(HoldLoop, LoopingFramesTakeTheirDelays) {
    if (!xtest::need_display()) return;
    xev::use_test_clock();
    if (!xtest::open_window()) return;
    for (int i = 0; i < 3; ++i) {
        gcreate_frame(i);
        gdisplay_frame(i);
    }
    gset_looping(1);
    // Time spent on each frame shown, in order.
    static std::vector<std::pair<int, long long>> shown;
    xev::test_clock().on_sleep = [] {
        const int cur = gget_cur_frame();
        const long long step = std::llround(static_cast<double>(xev::test_clock().sleeps.back()) * 1e6);
        if (shown.empty() || shown.back().first != cur) shown.push_back({cur, 0});
        shown.back().second += step;
        if (xev::test_clock().now_us - 1000000000LL == 4000000) xev::end_input();
    };
    EXPECT_EQ(ghold(1), 0);
    std::string visits;
    for (const auto &[frame, us] : shown)
        visits += std::to_string(frame) + ":" + std::to_string(us / 1000) + " ";
    EXPECT_EQ(visits, "2:1000 0:500 1:500 2:1000 0:500 1:500 ");
    EXPECT_EQ(gget_cur_frame(), 2);
    gclose_ws(1);
}

// ---- Another program's window ---------------------------------------------------------

// The owner's window as xwd reads it, after the drawing was copied onto it.
xtest::Picture grab_other(Window w) {
    const zeqtest::TempDir dir;
    if (xtest::dump_window(w, dir.file("owner.xwd"))) return xtest::convert("xwd:" + dir.file("owner.xwd"));
    xtest::grab(w); // reports why xwd gives no picture, if it does not
    ADD_FAILURE() << "window " << xtest::hex(w) << " stayed covered by other windows or could not be read";
    return {};
}

// Window specs in every form, from the connection, zeqwindow, WINDOW and
// window-id files on file_path; missing, empty and wrong specs fail with the
// warning. Zoom requests leave this workstation alone.
TEST(OtherWindow, WindowSpecs) {
    if (!xtest::need_display()) return;
    const TempDir dir;
    const xtest::Owner owner(dir.path(), 800, 600);
    ASSERT_TRUE(owner.ready());
    RES_put("file_path", dir.path().c_str());
    const std::string root = std::to_string(owner.root()), base = std::to_string(owner.base());
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%lx", owner.base());
    struct Case {
        std::string conn;
        const char *zeqwindow; // null: unset
        const char *window;    // null: unset
        int rc;
        unsigned long root, draw;
        int w, h;
        std::string err;
    };
    const unsigned long R = owner.root(), B = owner.base();
    const std::vector<Case> cases{
        {"," + std::string("+") + root + ":" + base + ":800x600:" + std::to_string(owner.cmap()), nullptr,
         nullptr, 0, R, B, 800, 600, ""},
        {"," + std::string(hex) + ":700x500", nullptr, nullptr, 0, B, B, 700, 500, ""},
        {"," + base + ":640x480", nullptr, nullptr, 0, B, B, 640, 480, ""},
        {"," + base, nullptr, nullptr, 0, B, B, 640, 512, ""},
        {",w3", nullptr, nullptr, 0, R, B, 800, 600, ""},
        {",W", nullptr, nullptr, 0, B, B, 800, 600, ""},
        {",wx", nullptr, nullptr, 0, B, B, 800, 600, ""},
        {"", "w3", "nofile", 0, R, B, 800, 600, ""},
        {"", nullptr, "w", 0, B, B, 800, 600, ""},
        {"", nullptr, nullptr, -1, 0, 0, 0, 0, "gopen_ws: window parameters not specified\n"},
        {"", "", nullptr, -1, 0, 0, 0, 0, "gopen_ws: window id not specified\n"},
        {",+:", nullptr, nullptr, -1, 0, 0, 0, 0, "gopen_ws: window id not specified\n"},
        {",nofile", nullptr, nullptr, -1, 0, 0, 0, 0, "gopen_ws: unable to open window id file\n"},
        {",0x7ffff01:100x100", nullptr, nullptr, -1, 0, 0, 0, 0,
         "gopen_ws: no window 0x7ffff01 to draw into\n"},
    };
    gopen_gks(nullptr, 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.conn + " zeqwindow=" + (c.zeqwindow ? c.zeqwindow : "-") +
                     " WINDOW=" + (c.window ? c.window : "-"));
        for (auto [name, value] : {std::pair{"zeqwindow", c.zeqwindow}, std::pair{"WINDOW", c.window}}) {
            if (value != nullptr)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
        testing::internal::CaptureStderr();
        const int rc = gopen_ws(1, c.conn.c_str(), GWS_PIX);
        std::string err;
        for (const std::string &line : text_lines(testing::internal::GetCapturedStderr()))
            if (line.starts_with("gopen_ws")) err += line + "\n";
        ASSERT_EQ(rc, c.rc) << err;
        EXPECT_EQ(err, c.err);
        if (rc != 0) continue;
        EXPECT_EQ(gget_win_type(), GWS_PIX);
        EXPECT_EQ(gget_root_window(), c.root);
        EXPECT_EQ(gget_draw_window(), c.draw);
        Gint w = 0, h = 0;
        gget_root_size(&w, &h);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(gget_redraw(), 0);
        if (c.root == R) {
            EXPECT_STREQ(gget_win_title(), "Loop");
        }
        EXPECT_EQ(gzoom(-2, 10, 10, -2, 0), 0);
        EXPECT_EQ(gget_zoom(), 1);
        EXPECT_EQ(gunzoom(), 0);
        EXPECT_EQ(gclose_ws(1), 0);
    }
    // Nothing was asked of the owner.
    EXPECT_EQ(owner.log(), "");
}

// The geometry places the drawing area inside the window, capped to it; a
// panel of one column keeps the whole window.
TEST(OtherWindow, GeometryPlacesTheDrawing) {
    if (!xtest::need_tools()) return;
    const TempDir dir;
    const xtest::Owner owner(dir.path(), 800, 600);
    ASSERT_TRUE(owner.ready());
    RES_put("file_path", dir.path().c_str());
    struct Case {
        const char *geometry;
        int x, y, w, h; // the drawing area expected
    };
    for (const Case &c : {Case{"300x200+10+10", 10, 10, 300, 200}, Case{"1000x1000", 0, 0, 800, 600},
                          Case{"P1x2+0+1", 0, 0, 800, 600}, Case{"P2x2+1+1", 400, 300, 400, 300}}) {
        SCOPED_TRACE(c.geometry);
        gset_geometry(c.geometry);
        gopen_gks(nullptr, 0);
        ASSERT_EQ(gopen_ws(1, ",w3", GWS_PIX), 0);
        Gint w = 0, h = 0, x = 0, y = 0;
        gget_win_size(&w, &h);
        gget_win_offset(&x, &y);
        EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({c.x, c.y, c.w, c.h}));
        // The owner's picture black again, as at its start.
        Display *d = gget_display();
        const GC gc = XCreateGC(d, owner.base(), 0, nullptr);
        XSetForeground(d, gc, BlackPixel(d, gget_screen()));
        XFillRectangle(d, owner.base(), gc, 0, 0, 800, 600);
        XFreeGC(d, gc);
        const Glim ws{0, 1, 0, static_cast<float>(c.h - 1) / static_cast<float>(c.w - 1)};
        gset_ws_win(1, &ws);
        gset_win(1, &ws);
        gset_vp(1, &ws);
        gsel_norm_tran(1);
        const Gcolr_rep red{1, 0, 0};
        gset_colr_rep(1, 3, &red);
        gset_fill_int_style(GSOLID);
        gset_fill_colr_ind(3);
        const Gpt all[4] = {{0, 0}, {1, 0}, {1, ws.y_max}, {0, ws.y_max}};
        gfill_area(4, all);
        const xtest::Picture pic = grab_other(owner.root());
        ASSERT_EQ(pic.width, 800);
        const xtest::Rgb r{255, 0, 0}, black{0, 0, 0};
        EXPECT_EQ(pic.at(c.x, c.y), r);
        EXPECT_EQ(pic.at(c.x + c.w - 1, c.y + c.h - 1), r);
        if (c.x > 0) {
            EXPECT_EQ(pic.at(c.x - 1, c.y), black);
        }
        if (c.y > 0) {
            EXPECT_EQ(pic.at(c.x, c.y - 1), black);
        }
        if (c.x + c.w < 800) {
            EXPECT_EQ(pic.at(c.x + c.w, c.y + c.h - 1), black);
        }
        if (c.y + c.h < 600) {
            EXPECT_EQ(pic.at(c.x + c.w - 1, c.y + c.h), black);
        }
        EXPECT_EQ(gclose_ws(1), 0);
        gset_geometry("");
    }
}

// "new" asks the owner for a frame and waits while its title shows "+";
// "kill" ends the owner's input at close.
TEST(OtherWindow, NewFrameAndEndOfInputRequests) {
    if (!xtest::need_display()) return;
    const TempDir dir;
    const xtest::Owner owner(dir.path(), 400, 300);
    ASSERT_TRUE(owner.ready());
    RES_put("file_path", dir.path().c_str());
    gopen_gks(nullptr, 0);
    gset_pix_mode(2);
    ASSERT_EQ(gopen_ws(1, ",w3", GWS_PIX), 0);
    EXPECT_EQ(owner.log(), "62 8 2\n");
    char extra[80] = "";
    gget_win_title_extra(extra, sizeof extra);
    EXPECT_STREQ(extra, "");
    gset_pix_mode(9);
    EXPECT_EQ(gclose_ws(1), 0);
    // The message reaches the owner through the server.
    for (int i = 0; i < 100 && owner.log() != "62 8 2\n62 8 9\n"; ++i)
        usleep(10000);
    EXPECT_EQ(owner.log(), "62 8 2\n62 8 9\n");
}

// An owner that keeps the "+" fails the open after 20 s of waiting, and the
// drawing layer ends the program with status 4.
TEST(OtherWindow, AnOwnerThatKeepsThePlusFailsTheOpen) {
    if (!xtest::need_display()) return;
    const TempDir dir;
    const xtest::Owner owner(dir.path(), 400, 300, true);
    ASSERT_TRUE(owner.ready());
    const zeqtest::ChildResult r = zeqtest::run_child([&dir] {
        xev::use_test_clock();
        RES_put("file_path", dir.path().c_str());
        gset_pix_mode(2);
        Gint id = 1, type = GWS_PIX;
        GPH_begin(&id, ",w3", &type);
        return 0;
    });
    EXPECT_EQ(r.status, 4) << r.err;
    char msg[128];
    std::snprintf(msg, sizeof msg, "gopen_ws: window 0x%lx did not answer the request for a new frame\n",
                  owner.root());
    EXPECT_NE(r.err.find(msg), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("GPH_begin: Error opening workstation"), std::string::npos) << r.err;
    EXPECT_EQ(xev::test_clock().sleeps.size(), 0u); // the child's clock, not ours
}

} // namespace
