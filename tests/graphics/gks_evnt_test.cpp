// X events of the own window: key and button texts with their modifier
// suffixes and kernel actions, keys ignored outside the hold loop, image dump
// names, resizes, rubber bands and the messages of a feeding program (read
// in this process from events sent through the server); then a driver
// program held under xdotool, xprop and xwd, and a feeding peer of its own
// X connection.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_img.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/images.h"
#include "graphics/xdump.h"
#include "graphics/gks_zoom.h"
#include "graphics/xevents.h"
#include "graphics/xwin.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

using zeqtest::run_child;
using zeqtest::TempDir;

// The kind and text of each logged callback, without the position.
std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (const std::string &line : xev::log()) {
        const std::size_t end = line.rfind(' ', line.rfind(' ') - 1);
        out.push_back(line.substr(0, end));
    }
    return out;
}

std::string title_extra() {
    char extra[80] = "";
    gget_win_title_extra(extra, sizeof extra);
    return extra;
}

bool open_logged_window() {
    if (!xtest::need_display() || !xtest::open_window()) return false;
    xtest::pixel_world();
    xev::log().clear();
    gset_mouse_callback(xev::log_event);
    return true;
}

// Keys are counted but do nothing while no hold loop waits for them.
TEST(Keys, ActOnlyWhileTheHoldLoopWaits) {
    if (!open_logged_window()) return;
    gcreate_frame(-1);
    gcreate_frame(-1);
    gdisplay_frame(0);
    xev::key(XK_l, Mod1Mask);
    xev::key(XK_bracketright, Mod1Mask);
    xev::key(XK_Return);
    EXPECT_EQ(gcheck_event(), 3);
    EXPECT_TRUE(xev::log().empty());
    EXPECT_EQ(gget_looping(), 0);
    EXPECT_EQ(gget_cur_frame(), 0);
    EXPECT_EQ(gget_input_mode(), 1);

    gset_input_mode(1);
    xev::key(XK_l, Mod1Mask);
    EXPECT_EQ(gcheck_event(), 1);
    EXPECT_EQ(gget_looping(), 1);
    xev::key(XK_Return);
    gcheck_event();
    EXPECT_EQ(gget_input_mode(), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"2 l-Alt", "2 Ret"}));
    gset_input_mode(0);
    EXPECT_EQ(gget_input_mode(), 1);
    gclose_ws(1);
}

// Key and button texts: the suffixes in the order Alt, Shift, Control; Alt
// keeps the buttons from stepping or looping; keys without a kernel action
// (Alt-u at zoom 1, the metafile) and the zoom key still reach the callback,
// in the order of the events.
TEST(Keys, TextsAndSuffixes) {
    if (!open_logged_window()) return;
    const TempDir dir;
    setenv("METAOUT", dir.file("keys.meta").c_str(), 1);
    gset_input_mode(1);
    xev::key(XK_a, Mod1Mask | ShiftMask | ControlMask);
    xev::key(XK_a);
    xev::key(XK_u, Mod1Mask);
    xev::key(XK_m, Mod1Mask);
    xev::button(ButtonPress, 1, 30, 40, Mod1Mask | ShiftMask | ControlMask);
    xev::button(ButtonPress, 2, 30, 40, Mod1Mask);
    xev::button(ButtonRelease, 3, 50, 60);
    xev::button(ButtonPress, 4, 50, 60, ShiftMask);
    xev::key(XK_z, Mod1Mask);
    xev::key(XK_Return, ShiftMask);
    EXPECT_EQ(gcheck_event(), 7);
    EXPECT_EQ(texts(), (std::vector<std::string>{"2 \x01-Alt-Shft-Cntrl", "2 a", "2 u-Alt", "2 m-Alt",
                                                 "3 B1-P-Alt-Shft-Cntrl", "3 B2-P-Alt", "3 B3-R", "3 -Shft",
                                                 "2 z-Alt", "2 Ret-Shft"}));
    EXPECT_EQ(gget_zoom(), 2);
    EXPECT_TRUE(zeqtest::read_file(dir.file("keys.meta")).starts_with("ZEQMETA\n"));
    // Buttons report their own position in world coordinates.
    ASSERT_EQ(xev::log().size(), 10u);
    EXPECT_EQ(xev::log()[4], "3 B1-P-Alt-Shft-Cntrl 30.0 471.0");
    EXPECT_EQ(xev::log()[6], "3 B3-R 50.0 451.0");
    EXPECT_EQ(gget_looping(), 0);
    EXPECT_EQ(gget_input_mode(), 0); // Return ended input
    xev::button(ButtonPress, 2, 30, 40);
    gcheck_event();
    EXPECT_EQ(gget_looping(), 1);
    gclose_ws(1);
}

// Stepping and speed by key and button: the next or previous frame while
// frames stand still, a faster or slower loop (by 0.05 s near the fast
// end) while they loop; Alt-d deletes the current frame.
TEST(Keys, FrameStepsAndLoopSpeed) {
    if (!open_logged_window()) return;
    for (int i = 0; i < 3; ++i)
        gcreate_frame(-1);
    gdisplay_frame(0);
    gset_input_mode(1);
    struct Step {
        const char *what;
        KeySym key;          // 0: a button press
        unsigned int button; // for a button
        float start_delay;   // the loop delay before, -1 unchanged
        int cur;             // the current frame after
        float delay;         // the loop delay after
        int looping;
    };
    const std::vector<Step> steps = {
        {"Alt-] shows the next frame", XK_bracketright, 0, -1, 1, 0.5f, 0},
        {"Alt-[ shows the previous frame", XK_bracketleft, 0, -1, 0, 0.5f, 0},
        {"Alt-[ wraps to the last", XK_bracketleft, 0, -1, 2, 0.5f, 0},
        {"button 3 steps on", 0, 3, -1, 0, 0.5f, 0},
        {"button 1 steps back", 0, 1, -1, 2, 0.5f, 0},
        {"button 2 starts looping", 0, 2, -1, 2, 0.5f, 1},
        {"Alt-] is faster", XK_bracketright, 0, -1, 2, 0.4f, 1},
        {"Alt-[ is slower", XK_bracketleft, 0, -1, 2, 0.5f, 1},
        {"faster by 0.05 at 0.1", XK_bracketright, 0, 0.1f, 2, 0.05f, 1},
        {"faster to 0", XK_bracketright, 0, -1, 2, 0.0f, 1},
        {"faster stops at 0", XK_bracketright, 0, -1, 2, 0.0f, 1},
        {"slower by 0.05 from 0", XK_bracketleft, 0, -1, 2, 0.05f, 1},
        {"slower by 0.05 below 0.09", XK_bracketleft, 0, -1, 2, 0.1f, 1},
        {"slower by 0.1 from 0.1", XK_bracketleft, 0, -1, 2, 0.2f, 1},
        {"button 1 is slower", 0, 1, -1, 2, 0.3f, 1},
        {"button 3 is faster", 0, 3, -1, 2, 0.2f, 1},
        {"Alt-l stops", XK_l, 0, -1, 2, 0.2f, 0},
        {"Alt-d deletes the last frame and shows the new last", XK_d, 0, -1, 1, 0.2f, 0},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        if (s.start_delay >= 0) ginc_loop_delay(s.start_delay - gget_loop_delay());
        if (s.key != 0) {
            xev::key(s.key, Mod1Mask);
        } else {
            xev::button(ButtonPress, s.button, 10, 10);
            xev::button(ButtonRelease, s.button, 10, 10);
        }
        gcheck_event();
        EXPECT_EQ(gget_cur_frame(), s.cur);
        EXPECT_NEAR(gget_loop_delay(), s.delay, 1e-5);
        EXPECT_EQ(gget_looping(), s.looping);
        EXPECT_EQ(title_extra(), "[" + std::to_string(gget_cur_frame()) + "]");
    }
    EXPECT_EQ(gget_num_images(), 2);
    // Every frame but the last took the delay; the last keeps the pause.
    EXPECT_NEAR(gget_frame_delay(0), 0.2f, 1e-5);
    EXPECT_NEAR(gget_frame_delay(1), 1.0f, 1e-5);
    gclose_ws(1);
}

// Alt-g and Alt-x name their files from the first five characters of the
// title (blanks made "_"), in image_path: one file without frames, one per
// frame while frames loop, the current frame's otherwise. Each frame is
// filled with its own colour and every file holds the colours of its
// frame.
TEST(Keys, ImageDumpsNameTheirFiles) {
    if (!xtest::need_display()) return;
    TempDir dir;
    struct Case {
        const char *what;
        const char *title;
        int frames;
        int looping;
        KeySym key;
        std::vector<std::string> out;
        std::vector<std::string> err;
        std::vector<std::string> files; // each equal to frame 0, 1, ... (or the window)
    };
    const std::string d = dir.path() + "/";
    const std::vector<Case> table = {
        {"no frames",
         "Surface plot",
         0,
         0,
         XK_g,
         {"Created GIF file: " + d + "Surfa.gif"},
         {},
         {"Surfa.gif"}},
        {"one frame",
         "Surface plot",
         1,
         1,
         XK_g,
         {"Created GIF file: " + d + "Surfa.gif"},
         {},
         {"Surfa.gif"}},
        {"three looping frames",
         "Surface plot",
         3,
         1,
         XK_g,
         {"Creating GIF files:", d + "Surfa-00.gif", d + "Surfa-01.gif", d + "Surfa-02.gif"},
         {},
         {"Surfa-00.gif", "Surfa-01.gif", "Surfa-02.gif"}},
        {"three frames standing at frame 1",
         "Surface plot",
         3,
         0,
         XK_g,
         {"Created GIF file: " + d + "Surfa-01.gif"},
         {},
         {}},
        {"blanks in the title",
         "A b c d",
         0,
         0,
         XK_g,
         {"Created GIF file: " + d + "A_b_c.gif"},
         {},
         {"A_b_c.gif"}},
        {"an XWD dump",
         "Surface plot",
         0,
         0,
         XK_x,
         {"Created XWD file: " + d + "Surfa.xwd"},
         {},
         {"Surfa.xwd"}},
        {"XWD dumps of looping frames",
         "Surface plot",
         3,
         1,
         XK_x,
         {"Creating XWD files:", d + "Surfa-00.xwd", d + "Surfa-01.xwd", d + "Surfa-02.xwd"},
         {},
         {"Surfa-00.xwd", "Surfa-01.xwd", "Surfa-02.xwd"}},
    };
    for (const Case &c : table) {
        SCOPED_TRACE(c.what);
        const zeqtest::ChildResult r = run_child([&] {
            RES_put("image_path", dir.path().c_str());
            gset_win_title(c.title);
            if (!xtest::open_window()) return 10;
            gset_mouse_callback(xev::log_event);
            Display *dpy = gget_display();
            // Frame i (or the window) filled with a colour of its own.
            const auto paint = [dpy](int i) {
                XSetForeground(
                    dpy, gget_root_gc(),
                    static_cast<unsigned long>(galloc_colr(-1, 0.2f * static_cast<float>(i + 1), 0, 1)));
                XFillRectangle(dpy, gget_draw_window(), gget_root_gc(), 0, 0, 2000, 2000);
            };
            if (c.frames == 0) paint(0);
            for (int i = 0; i < c.frames; ++i) {
                gcreate_frame(-1);
                gselect_frame(i);
                paint(i);
            }
            gdisplay_frame(c.frames == 3 ? 1 : 0);
            gset_looping(c.looping);
            gset_input_mode(1);
            const int cursor = gset_cursor(6);
            xev::key(c.key, Mod1Mask);
            gcheck_event();
            std::printf("%s\n", xev::log().empty() ? "no callback" : xev::log()[0].substr(0, 7).c_str());
            for (std::size_t i = 0; i < c.files.size(); ++i) {
                if (c.frames > 0) gselect_frame(static_cast<int>(i));
                imgtest::Image frame, file;
                file.depth = 32;
                if (gget_image(&frame) != 1 || IMG_read((d + c.files[i]).c_str(), &file, 0) != 1) return 12;
                if (file.width != frame.width || file.height != frame.height) return 13;
                for (int y = 0; y < frame.height; y += 7)
                    for (int x = 0; x < frame.width; x += 5)
                        if (imgtest::rgb_at(file, x, y) != imgtest::rgb_at(frame, x, y)) return 14;
            }
            return gget_cursor_type() == 6 && cursor >= 0 ? 0 : 11;
        });
        EXPECT_EQ(r.status, 0) << r.err;
        std::string out, err;
        for (const std::string &line : c.out)
            out += line + "\n";
        out += std::string("2 ") + (c.key == XK_g ? "g" : "x") + "-Alt\n";
        for (const std::string &line : c.err)
            err += line + "\n";
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.err, err);
    }
}

// A resize asked for by the program is followed when the window reports
// it: new device size and backing image, frames gone, "size" called back
// once; a move calls nothing back. Unmapping and mapping are followed.
TEST(Events, ResizeAndMapping) {
    if (!open_logged_window()) return;
    EXPECT_EQ(gis_mapped(), 1);
    gcreate_frame(-1);
    gcreate_frame(-1);
    gset_xsize(500, 400);
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    EXPECT_EQ(w * 10000 + h, 640 * 10000 + 512);
    EXPECT_EQ(gcheck_event(), 0);
    EXPECT_EQ(xev::log(), (std::vector<std::string>{"2 size 500.0 400.0"}));
    gget_win_size(&w, &h);
    EXPECT_EQ(w * 10000 + h, 500 * 10000 + 400);
    Window root = 0;
    int x = 0, y = 0;
    unsigned int pw = 0, ph = 0, bw = 0, depth = 0;
    XGetGeometry(gget_display(), gget_base_window(), &root, &x, &y, &pw, &ph, &bw, &depth);
    EXPECT_EQ(pw * 10000 + ph, 500u * 10000 + 400);
    EXPECT_EQ(gget_num_images(), 0);

    XMoveWindow(gget_display(), gget_root_window(), 30, 30);
    XSync(gget_display(), False);
    gcheck_event();
    EXPECT_EQ(xev::log().size(), 1u);

    XUnmapWindow(gget_display(), gget_root_window());
    XSync(gget_display(), False);
    gcheck_event();
    EXPECT_EQ(gis_mapped(), 0);
    XMapWindow(gget_display(), gget_root_window());
    XSync(gget_display(), False);
    gcheck_event();
    EXPECT_EQ(gis_mapped(), 1);
    gclose_ws(1);
}

// The callback of the rubber-band tests arms the band on a button press.
int band_mode = 0;
void arm_band(int kind, const char *text, float x, float y) {
    xev::log_event(kind, text, x, y);
    if (std::string(text) != "B1-P") return;
    gset_rubber_band(band_mode);
    // Pixels: the moving point (100, 100), fixed points (50, 50) and
    // (150, 50); limits from (60, 60) to (200, 200).
    const Gpt points[7] = {xtest::px(100, 100), xtest::px(50, 50), xtest::px(150, 50), xtest::px(1, 1),
                           xtest::px(2, 2),     xtest::px(3, 3),   xtest::px(4, 4)};
    gset_rubber_band_points(points, 7, 1);
    const Gpt limits[2] = {xtest::px(60, 60), xtest::px(200, 200)};
    gset_rubber_band_limits(limits);
}

// A release reports the pointer (bands 1 and 2) or the constrained moving
// point clamped to the limits (band 3); the band is disarmed after it and
// the line function is copy again.
TEST(RubberBand, ReleaseReportsAndDisarms) {
    if (!open_logged_window()) return;
    gset_mouse_callback(arm_band);
    for (const int mode : {2, 3}) {
        SCOPED_TRACE(mode);
        band_mode = mode;
        xev::log().clear();
        xev::button(ButtonPress, 1, 100, 100);
        xev::motion(250, 250);
        xev::motion(300, 20);
        xev::button(ButtonRelease, 1, 300, 20);
        gcheck_event();
        EXPECT_EQ(gget_line_gc_func(), GXcopy);
        ASSERT_EQ(xev::log().size(), 2u);
        // Band 3 keeps x (constraint 1) and clamps y to the limits.
        EXPECT_EQ(xev::log()[1], mode == 2 ? "3 B1-R 300.0 491.0" : "3 B1-R 100.0 451.0");
    }
    // Disarmed: a plain drag draws no band and reports the pointer.
    gset_mouse_callback(xev::log_event);
    xev::log().clear();
    xev::button(ButtonPress, 1, 100, 100);
    xev::motion(250, 250);
    xev::button(ButtonRelease, 1, 250, 250);
    gcheck_event();
    EXPECT_EQ(xev::log().back(), "3 B1-R 250.0 261.0");
    gclose_ws(1);
}

// Requests of a program feeding frames: 2 keeps the picture drawn so far
// as a frame and gives the feeding program's image back as the last frame,
// cleared; 9 ends input. Messages of another type or format do nothing.
TEST(FeedingMessages, NewFramesAndTheEndOfInput) {
    if (!open_logged_window()) return;
    Display *d = gget_display();
    gset_input_mode(1);
    const Pixmap fed = gget_base_window(); // the feeding program draws here
    for (const auto &[type, format] : {std::pair<Atom, int>{63, 8}, {62, 32}}) {
        xev::client_message(type, format, 2);
        xev::client_message(type, format, 9);
    }
    gcheck_event();
    EXPECT_EQ(gget_num_images(), 0);
    EXPECT_EQ(gget_input_mode(), 1);
    EXPECT_EQ(gget_base_window(), fed);

    xev::client_message(62, 8, 2);
    gcheck_event();
    EXPECT_EQ(gget_num_images(), 1);
    EXPECT_EQ(gget_looping(), 1);
    EXPECT_EQ(gget_frame_id(0), fed);
    EXPECT_NE(gget_base_window(), fed);
    EXPECT_EQ(title_extra(), "");

    // The feeding program's picture, then the next request.
    XSetForeground(d, gget_root_gc(), 0x123456);
    XFillRectangle(d, fed, gget_root_gc(), 0, 0, 640, 512);
    xev::client_message(62, 8, 2);
    gcheck_event();
    EXPECT_EQ(gget_num_images(), 2);
    EXPECT_EQ(gget_frame_id(1), fed);
    const auto pixel = [d](Pixmap pix) {
        XImage *img = XGetImage(d, pix, 10, 10, 1, 1, AllPlanes, ZPixmap);
        const unsigned long p = img != nullptr ? XGetPixel(img, 0, 0) : ~0UL;
        if (img != nullptr) XDestroyImage(img);
        return p;
    };
    EXPECT_EQ(pixel(gget_frame_id(0)), 0x123456u);
    EXPECT_EQ(pixel(fed), static_cast<unsigned long>(gget_back_color()));
    EXPECT_EQ(title_extra(), "");

    xev::client_message(62, 8, 9);
    gcheck_event();
    EXPECT_EQ(gget_input_mode(), 0);
    EXPECT_TRUE(xev::log().empty());
    gclose_ws(1);
}

// ---- The held window of a program of its own --------------------------------------------

// The driver program (gks_evnt_driver.cpp), run in a directory of its own;
// it is ended by its process id when the test stops early.
class Driver {
public:
    explicit Driver(const char *mode) {
        log_ = dir_.file("log");
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            const int out = open(dir_.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(dir_.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || chdir(dir_.path().c_str()) != 0) _exit(126);
            dup2(out, 1);
            dup2(err, 2);
            execl(EVNT_DRIVER, EVNT_DRIVER, mode, log_.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
    }
    ~Driver() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;

    // Waits (a minute at most, for a loaded server) for the window's ids.
    bool window(unsigned long *root, unsigned long *base) {
        for (int i = 0; i < 6000; ++i) {
            if (std::sscanf(zeqtest::read_file(dir_.file("out")).c_str(), "window %lu %lu", root, base) == 2)
                return true;
            if (waitpid(pid_, &status_, WNOHANG) == pid_) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "the driver showed no window: " << zeqtest::read_file(dir_.file("err"));
        return false;
    }
    std::vector<std::string> log() const {
        std::vector<std::string> lines;
        std::istringstream in(zeqtest::read_file(log_));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    // Waits for the n-th callback line.
    bool logged(std::size_t n) const {
        for (int i = 0; i < 3000; ++i) {
            if (log().size() >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "no callback line " << n << " after: " << testing::PrintToString(log());
        return false;
    }
    // The exit status (-1 when the driver did not end within the limit).
    int finish(int seconds = 30) {
        for (int i = 0; i < seconds * 100 && status_ < 0; ++i) {
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_)
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status_ >= 0 && status_ != 128 ? status_ : -1;
    }
    std::string err() const { return zeqtest::read_file(dir_.file("err")); }
    // A file in the driver's working directory.
    std::string file(const std::string &name) const { return dir_.file(name); }

private:
    TempDir dir_;
    std::string log_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// The driver's window takes one place of the screen: the tests that hold
// it run one at a time on a server.
class ScreenPlace : public xtest::DisplayLock {
public:
    ScreenPlace()
        : DisplayLock("heldwindow", std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "") {}
};

bool need_xdotool() {
    return xtest::need_tools() && xtest::need_tool("/usr/bin/xdotool", "xdotool");
}

bool xdotool(const std::string &args) {
    const std::string cmd = "/usr/bin/xdotool " + args;
    const int rc = std::system(cmd.c_str());
    EXPECT_EQ(rc, 0) << cmd;
    return rc == 0;
}

std::string wm_name(unsigned long id) {
    const std::string text = zeqtest::run_command("/usr/bin/xprop -id " + std::to_string(id) + " WM_NAME");
    const std::size_t q = text.find('"');
    return q == std::string::npos ? text : text.substr(q + 1, text.rfind('"') - q - 1);
}

// The frame number of a title "Frames [n]"; -1 for another title.
int frame_in(const std::string &title) {
    int n = -1;
    return std::sscanf(title.c_str(), "Frames [%d]", &n) == 1 ? n : -1;
}

// Reads the window with xwd until pixel (60, 60) shows the colour (a window
// of another test may have passed over it meanwhile).
bool shows(unsigned long id, xtest::Rgb want, xtest::Picture *pic = nullptr) {
    xtest::Picture p;
    for (int i = 0; i < 50; ++i) {
        p = xtest::grab(id, true);
        if (p.at(60, 60) == want) {
            if (pic != nullptr) *pic = p;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ADD_FAILURE() << "pixel (60, 60) is " << testing::PrintToString(p.at(60, 60)) << ", not "
                  << testing::PrintToString(want);
    return false;
}

const xtest::Rgb RED{255, 0, 0}, GREEN{0, 255, 0}, BLUE{0, 0, 255}, YELLOW{255, 255, 0};

// The held window under xdotool: stop looping, step on and back, delete a
// frame, drag a rectangle band with limits, resize and end with Return. The
// callback log is exact; the title and the picture follow every step.
TEST(HeldWindow, KeysButtonsAndResizeUnderXdotool) {
    if (!need_xdotool()) return;
    const ScreenPlace place;
    Driver driver("frames");
    unsigned long id = 0, base = 0;
    if (!driver.window(&id, &base)) return;
    const std::string win = std::to_string(id);
    const xtest::Rgb colour[3] = {RED, GREEN, BLUE};
    // No window manager gives focus: the keys go to the window under the
    // pointer.
    ASSERT_TRUE(xdotool("mousemove --window " + win + " 150 120"));

    ASSERT_TRUE(xdotool("key alt+l"));
    ASSERT_TRUE(driver.logged(2));
    const int n0 = frame_in(wm_name(id));
    ASSERT_GE(n0, 0) << wm_name(id);
    EXPECT_TRUE(shows(id, colour[n0]));

    ASSERT_TRUE(xdotool("key alt+bracketright"));
    ASSERT_TRUE(driver.logged(4));
    EXPECT_EQ(frame_in(wm_name(id)), (n0 + 1) % 3);
    EXPECT_TRUE(shows(id, colour[(n0 + 1) % 3]));

    ASSERT_TRUE(xdotool("key alt+bracketleft"));
    ASSERT_TRUE(driver.logged(6));
    EXPECT_EQ(frame_in(wm_name(id)), n0);
    EXPECT_TRUE(shows(id, colour[n0]));

    // Deleting frame n0 leaves two; the one in its place (or the new last)
    // is shown.
    ASSERT_TRUE(xdotool("key alt+d"));
    ASSERT_TRUE(driver.logged(8));
    std::vector<int> left;
    for (int i = 0; i < 3; ++i)
        if (i != n0) left.push_back(i);
    const int k = n0 < 2 ? n0 : 1;
    EXPECT_EQ(frame_in(wm_name(id)), k);
    EXPECT_TRUE(shows(id, colour[left[static_cast<std::size_t>(k)]]));

    // Shift + button 1 steps back a frame (frames stand still) and arms the
    // band; the drag goes past the limits (40, 30) - (300, 250).
    // (A key reports where the pointer is when the key is read: the drag
    // waits until Shift was read.)
    ASSERT_TRUE(xdotool("mousemove --window " + win + " 100 100 keydown shift"));
    ASSERT_TRUE(driver.logged(9));
    ASSERT_TRUE(xdotool("mousedown 1 mousemove --window " + win + " 200 200 mousemove --window " + win +
                        " 340 290 keyup shift mouseup 1"));
    ASSERT_TRUE(driver.logged(11));
    const int back = k == 0 ? 1 : 0;
    EXPECT_EQ(frame_in(wm_name(id)), back);
    xtest::Picture pic;
    EXPECT_TRUE(shows(id, colour[left[static_cast<std::size_t>(back)]], &pic));
    // The band stays on the window, clamped: corners (100, 100) and (300, 250).
    for (const auto &[x, y] : {std::pair{200, 100}, {300, 175}, {200, 250}, {100, 175}, {300, 250}})
        EXPECT_EQ(pic.at(x, y), YELLOW) << x << "," << y;
    for (const auto &[x, y] : {std::pair{340, 200}, {200, 290}, {301, 175}, {200, 251}})
        EXPECT_NE(pic.at(x, y), YELLOW) << x << "," << y;

    ASSERT_TRUE(xdotool("windowsize " + win + " 420 340"));
    ASSERT_TRUE(driver.logged(12));
    EXPECT_NE(xtest::xwininfo(id).find("Width: 420\n"), std::string::npos);

    ASSERT_TRUE(xdotool("mousemove --window " + win + " 150 120 key Return"));
    EXPECT_EQ(driver.finish(), 0) << driver.err();
    // Pressing Alt or Shift alone is a key without characters.
    EXPECT_EQ(driver.log(),
              (std::vector<std::string>{"2  150.0 179.0", "2 l-Alt 150.0 179.0", "2  150.0 179.0",
                                        "2 ]-Alt 150.0 179.0", "2  150.0 179.0", "2 [-Alt 150.0 179.0",
                                        "2  150.0 179.0", "2 d-Alt 150.0 179.0", "2  100.0 199.0",
                                        "3 B1-P-Shft 100.0 199.0", "3 B1-R 340.0 9.0", "2 size 420.0 340.0",
                                        "2 Ret 150.0 219.0"}));
}

// A feeding peer on its own connection: messages of another type or format
// change nothing, each request 2 writes the title twice ("+" and back) and
// turns the picture it drew into a frame, so that the two frames loop;
// request 9 ends the driver's input.
TEST(HeldWindow, AFeedingPeerAddsFramesAndEndsInput) {
    if (!xtest::need_tools()) return;
    const ScreenPlace place;
    Driver driver("feed");
    unsigned long id = 0, base = 0;
    if (!driver.window(&id, &base)) return;
    Display *peer = XOpenDisplay(nullptr);
    ASSERT_NE(peer, nullptr);
    const Window win = id;
    XSelectInput(peer, win, PropertyChangeMask);
    XSync(peer, False);
    const auto send = [&](Atom type, int format, int request) {
        XEvent e = xev::client_message_event(win, type, format, request);
        XSendEvent(peer, win, True, 0, &e);
        XSync(peer, False);
    };
    // Waits for n changes of the window's name; false when they do not come.
    const auto name_changes = [&](int n) {
        for (int i = 0; i < 3000 && n > 0; ++i) {
            while (n > 0 && XPending(peer) > 0) {
                XEvent e;
                XNextEvent(peer, &e);
                if (e.type == PropertyNotify && e.xproperty.atom == XA_WM_NAME) --n;
            }
            if (n > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return n == 0;
    };
    const auto fill = [&](unsigned long pixel) {
        GC gc = XCreateGC(peer, base, 0, nullptr);
        XSetForeground(peer, gc, pixel);
        XFillRectangle(peer, base, gc, 0, 0, 360, 300);
        XFreeGC(peer, gc);
        XSync(peer, False);
    };

    send(63, 8, 9);
    send(62, 32, 9);
    send(63, 8, 2);
    send(62, 32, 2);
    send(62, 8, 2);
    EXPECT_TRUE(name_changes(2));
    // The driver waits again: no more names.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    XSync(peer, False);
    int more = 0;
    while (XPending(peer) > 0) {
        XEvent e;
        XNextEvent(peer, &e);
        if (e.type == PropertyNotify && e.xproperty.atom == XA_WM_NAME) ++more;
    }
    EXPECT_EQ(more, 0);
    EXPECT_EQ(wm_name(id), "Feed");
    fill(0x00ff00);
    send(62, 8, 2);
    EXPECT_TRUE(name_changes(2));
    fill(0x0000ff);

    // The two frames loop: frame 0 the first picture, frame 1 the one drawn
    // into the fed image afterwards.
    bool seen[2] = {false, false};
    for (int i = 0; i < 300 && !(seen[0] && seen[1]); ++i) {
        const std::string before = wm_name(id);
        const xtest::Picture p = xtest::grab(id, true);
        const std::string after = wm_name(id);
        if (before == after && (before == "Feed [0]" || before == "Feed [1]")) {
            const int n = before == "Feed [0]" ? 0 : 1;
            if (p.at(60, 60) == (n == 0 ? GREEN : BLUE)) seen[n] = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(seen[0] && seen[1]);

    send(62, 8, 9);
    EXPECT_EQ(driver.finish(), 0) << driver.err();
    EXPECT_TRUE(driver.log().empty());
    XCloseDisplay(peer);
}

// One drawing run into another program's window named by zeqloop.3 in dir:
// with "new" (pix_mode 2) a frame of the colour, with "kill" (9) the end of
// the owner's input. A process of its own, like a second program.
int drawing_run(const std::string &dir, int pix_mode, Gcolr_rep colour) {
    return run_child([&] {
               RES_put("file_path", dir.c_str());
               gset_pix_mode(pix_mode);
               gopen_gks(nullptr, 0);
               if (gopen_ws(1, ",w3", 6) != 0) return 2;
               if (pix_mode == 2) {
                   gset_colr_rep(1, 3, &colour);
                   gset_fill_int_style(GSOLID);
                   gset_fill_colr_ind(3);
                   const Gpt all[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
                   gfill_area(4, all);
                   gupdate_window();
               }
               return gclose_ws(1) == 0 ? 0 : 3;
           })
        .status;
}

// The frame number of a title "Feed [n]"; -1 for another title.
int fed_frame(const std::string &title) {
    int n = -1;
    return std::sscanf(title.c_str(), "Feed [%d]", &n) == 1 ? n : -1;
}

// Our own window held by a driver serves two drawing runs with "new" as its
// frames, which loop; a run with "kill" ends the hold.
TEST(HeldWindow, DrawingRunsBecomeItsFrames) {
    if (!need_xdotool()) return;
    const ScreenPlace place;
    Driver driver("feed");
    unsigned long id = 0, base = 0;
    if (!driver.window(&id, &base)) return;
    const TempDir dir;
    zeqtest::write_file(dir.file("zeqloop.3"),
                        "+" + std::to_string(id) + ":" + std::to_string(base) + ":360x300\n");
    EXPECT_EQ(drawing_run(dir.path(), 2, {0, 1, 0}), 0);
    EXPECT_EQ(drawing_run(dir.path(), 2, {0, 0, 1}), 0);

    // The two frames loop: frame 0 the first run's picture, frame 1 the
    // second's (a picture counts when the title is the same before and after
    // xwd read it).
    bool seen[2] = {false, false};
    for (int i = 0; i < 300 && !(seen[0] && seen[1]); ++i) {
        const std::string before = wm_name(id);
        const xtest::Picture p = xtest::grab(id, true);
        const int n = fed_frame(before);
        if (n >= 0 && before == wm_name(id) && p.at(60, 60) == (n == 0 ? GREEN : BLUE)) seen[n] = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(seen[0] && seen[1]);

    EXPECT_EQ(drawing_run(dir.path(), 9, {}), 0);
    EXPECT_EQ(driver.finish(), 0) << driver.err();
}

} // namespace

namespace {

// Alt-m on a window that records its drawing writes zeq.meta in the working
// directory (METAOUT unset) with the recorded calls, running the callback.
TEST(HeldWindow, AltMPrintsTheRecordedDrawing) {
    if (!need_xdotool()) return;
    const ScreenPlace place;
    unsetenv("METAOUT");
    Driver driver("record");
    unsigned long id = 0, base = 0;
    if (!driver.window(&id, &base)) return;
    const std::string win = std::to_string(id);
    ASSERT_TRUE(xdotool("mousemove --window " + win + " 150 120"));
    ASSERT_TRUE(xdotool("key alt+m"));
    // The Alt key, the recorded callback run by the print, then the key.
    ASSERT_TRUE(driver.logged(3));
    ASSERT_TRUE(xdotool("key Return"));
    EXPECT_EQ(driver.finish(), 0) << driver.err();
    const std::vector<std::string> log = driver.log();
    std::size_t redraw = 0, key = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i] == "redraw") redraw = i + 1;
        if (log[i].starts_with("2 m-Alt ")) key = i + 1;
    }
    EXPECT_TRUE(redraw > 0 && key == redraw + 1) << testing::PrintToString(log);
    const std::string meta = zeqtest::read_file(driver.file("zeq.meta"));
    EXPECT_TRUE(meta.starts_with("ZEQMETA\n")) << meta;
    for (const char *rec : {"CLR 1 2 1.000000 0.000000 0.000000", "TR 1", "FA_CLR 2", "FA 5 ", "PL_CLR 5",
                            "PL 2 30.000000,269.000000 300.000000,49.000000"})
        EXPECT_NE(meta.find(rec), std::string::npos) << rec << "\n" << meta;
}

} // namespace
