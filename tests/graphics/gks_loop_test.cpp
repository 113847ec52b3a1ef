// Animation frames of the own window: delays after appends and deletes,
// stepping in every direction, the loop speed, deleting the current and the
// only frame, the bounded store and refused frame numbers, the messages, and
// the wait of a frame's delay on a test clock.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/xevents.h"
#include "graphics/xwin.h"
#include "runtime/mess.h"
#include "support/child.h"

namespace {

using zeqtest::run_child;

std::vector<float> delays() {
    std::vector<float> d;
    for (int i = 0; i < gget_num_images(); ++i)
        d.push_back(gget_frame_delay(i));
    return d;
}

// A fresh store of n frames, none shown.
void frames(int n) {
    gdelete_all_frames();
    ginit_loop();
    for (int i = 0; i < n; ++i)
        gcreate_frame(-1);
}

std::string title_extra() {
    char extra[80] = "";
    gget_win_title_extra(extra, sizeof extra);
    return extra;
}

// True while the server still holds the pixmap.
bool pixmap_exists(Pixmap pix) {
    GxQuietErrors quiet;
    Window root = 0;
    int x = 0, y = 0;
    unsigned int w = 0, h = 0, bw = 0, depth = 0;
    XGetGeometry(gget_display(), pix, &root, &x, &y, &w, &h, &bw, &depth);
    XSync(gget_display(), False);
    return !quiet.failed();
}

// The pixel at x, y of a pixmap.
unsigned long pixel(Pixmap pix, int x, int y) {
    XImage *img = XGetImage(gget_display(), pix, x, y, 1, 1, AllPlanes, ZPixmap);
    if (img == nullptr) return ~0UL;
    const unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    return p;
}

TEST(FrameStore, DelaysFollowAppendsAndDeletes) {
    if (!xtest::need_display() || !xtest::open_window()) return;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(gcreate_frame(-1), i);
    EXPECT_EQ(delays(), (std::vector<float>{0.5f, 0.5f, 1.0f}));
    EXPECT_EQ(gdelete_frame(-1), 1);
    EXPECT_EQ(delays(), (std::vector<float>{0.5f, 1.0f}));
    // Re-creating a frame keeps the count and the last frame's pause.
    EXPECT_EQ(gcreate_frame(0), 0);
    EXPECT_EQ(delays(), (std::vector<float>{0.5f, 1.0f}));

    frames(4);
    EXPECT_EQ(gset_loop_delay(-4, 2.0f), 0);
    EXPECT_EQ(delays(), (std::vector<float>{2.0f, 2.0f, 2.0f, 1.0f}));
    gset_loop_delay(-1, 3.0f);
    gset_loop_delay(1, 0.25f);
    // Numbers outside the store and -2 before any frame was shown change
    // nothing.
    gset_loop_delay(4, 9.0f);
    gset_loop_delay(200, 9.0f);
    gset_loop_delay(-2, 9.0f);
    EXPECT_EQ(delays(), (std::vector<float>{2.0f, 0.25f, 2.0f, 3.0f}));
    gclose_ws(1);
}

TEST(FrameStore, NextFrameInEveryDirection) {
    if (!xtest::need_display() || !xtest::open_window()) return;
    struct Case {
        const char *what;
        int frames;
        int shown; // the frame shown before, -1 none
        int direct;
        int step;
        int want;
        int want_direct;
    };
    const std::vector<Case> table = {
        {"forward past the last wraps to the first", 3, 2, 1, 0, 0, 1},
        {"forward", 3, 0, 1, 0, 1, 1},
        {"backward before the first wraps to the last", 3, 0, 0, 0, 2, 0},
        {"back and forth turns at the last", 3, 2, 3, 0, 1, 2},
        {"back and forth turns at the first", 3, 0, 2, 0, 1, 3},
        {"back and forth moving forward", 3, 1, 3, 0, 2, 3},
        {"a step before any frame was shown", 3, -1, 1, 1, 0, 1},
        {"a step back from the first", 3, 0, 1, -1, 2, 1},
        {"a step on from the last", 3, 2, 0, 1, 0, 0},
        {"one frame forward", 1, 0, 1, 0, 0, 1},
        {"one frame back and forth, moving forward", 1, 0, 3, 0, 0, 3},
        {"one frame back and forth, moving backward", 1, 0, 2, 0, 0, 3},
        {"empty store", 0, -1, 1, 0, -1, 1},
    };
    for (const Case &c : table) {
        SCOPED_TRACE(c.what);
        frames(c.frames);
        if (c.shown >= 0) gdisplay_frame(c.shown);
        gset_loop_direct(c.direct);
        EXPECT_EQ(ginc_frame(c.step), c.want);
        EXPECT_EQ(gget_loop_direct(), c.want_direct);
    }
    gclose_ws(1);
}

// Deleting the current frame shows the frame that takes its place (or the
// new last one); deleting the only frame forgets its image and clears the
// window.
TEST(FrameStore, DeletingFrames) {
    if (!xtest::need_display() || !xtest::open_window()) return;
    frames(3);
    const Pixmap ids[3] = {gget_frame_id(0), gget_frame_id(1), gget_frame_id(2)};
    gdisplay_frame(1);
    EXPECT_EQ(title_extra(), "[1]");
    EXPECT_EQ(gdelete_frame(-2), 1);
    EXPECT_EQ(gget_num_images(), 2);
    EXPECT_EQ(gget_cur_frame(), 1);
    EXPECT_EQ(gget_frame_id(0), ids[0]);
    EXPECT_EQ(gget_frame_id(1), ids[2]);
    EXPECT_FALSE(pixmap_exists(ids[1]));

    // The current frame was the last: the new last one is shown.
    frames(3);
    gdisplay_frame(2);
    gset_win_title_extra("");
    EXPECT_EQ(gdelete_frame(-2), 1);
    EXPECT_EQ(gget_cur_frame(), 1);
    EXPECT_EQ(title_extra(), "[1]");

    // A frame before the current one: the current picture stays current.
    frames(3);
    gdisplay_frame(2);
    EXPECT_EQ(gdelete_frame(0), 1);
    EXPECT_EQ(gget_cur_frame(), 1);

    frames(1);
    const Pixmap only = gget_frame_id(0);
    gdisplay_frame(0);
    EXPECT_EQ(gdelete_frame(0), 1);
    EXPECT_EQ(gget_num_images(), 0);
    EXPECT_EQ(gget_cur_frame(), -1);
    EXPECT_TRUE(pixmap_exists(only));
    // Nothing is left to delete; numbers past the store are refused.
    EXPECT_EQ(gdelete_frame(-2), 0);
    EXPECT_EQ(gdelete_frame(-1), 0);
    EXPECT_EQ(gdelete_frame(128), 0);
    EXPECT_EQ(gdelete_frame(0), 1);
    EXPECT_EQ(gget_num_images(), 0);
    gclose_ws(1);
}

// Numbers that name no frame touch no other frame; frame data is bounded.
TEST(FrameStore, RefusedNumbersLeaveTheFramesAlone) {
    if (!xtest::need_display() || !xtest::open_window()) return;
    frames(2);
    const Gcolr_rep red{1, 0, 0};
    gset_colr_rep(1, 2, &red);
    const unsigned long red_pixel = static_cast<unsigned long>(gget_color_ind(2));
    const Pixmap f0 = gget_frame_id(0), f1 = gget_frame_id(1);
    XSetForeground(gget_display(), gget_root_gc(), red_pixel);
    XFillRectangle(gget_display(), f0, gget_root_gc(), 0, 0, 640, 512);

    // -2 before any frame was shown, and numbers past the store.
    for (const int ind : {-2, 2, 127, 500}) {
        SCOPED_TRACE(ind);
        gclear_frame(ind);
        gcopy_frame(ind, 1);
        gswitch_frame(ind, 0);
        gset_frame_id(ind, 99);
        gselect_frame(ind);
        EXPECT_EQ(gget_draw_window(), gget_base_window());
        EXPECT_EQ(gget_frame_id(ind), 0u);
    }
    EXPECT_EQ(pixel(f0, 5, 5), red_pixel);
    EXPECT_EQ(gget_frame_id(0), f0);
    EXPECT_EQ(gget_frame_id(1), f1);

    // Selecting follows the frame through an exchange.
    gselect_frame(1);
    EXPECT_EQ(gget_draw_window(), f1);
    gswitch_frame(0, 1);
    EXPECT_EQ(gget_frame_id(0), f1);
    EXPECT_EQ(gget_draw_window(), f0);
    gcopy_frame(0, 1);
    EXPECT_EQ(pixel(f1, 5, 5), red_pixel);
    const Pixmap base = gget_base_window();
    gswitch_frame(-3, 1);
    EXPECT_EQ(gget_base_window(), f0);
    EXPECT_EQ(gget_frame_id(1), base);

    // At most 50 bytes of data are kept; the frame's image stays.
    unsigned char in[60], out[60];
    for (int i = 0; i < 60; ++i)
        in[i] = static_cast<unsigned char>(i + 1);
    EXPECT_EQ(gset_image_data(0, in, 60), 0);
    std::fill(std::begin(out), std::end(out), 0);
    gget_image_data(0, out, sizeof out);
    EXPECT_EQ(out[49], 50);
    EXPECT_EQ(out[50], 0);
    EXPECT_EQ(gget_frame_id(0), f1);
    // A smaller buffer is not overrun.
    std::fill(std::begin(out), std::end(out), 0);
    gget_image_data(0, out, 10);
    EXPECT_EQ(out[9], 10);
    EXPECT_EQ(out[10], 0);
    gclose_ws(1);
}

// The 129th frame is refused with a warning: its drawing stays on the
// backing image and the store keeps its 128 frames.
TEST(FrameStore, TheStoreHoldsOneHundredAndTwentyEightFrames) {
    if (!xtest::need_display()) return;
    const zeqtest::ChildResult r = run_child([] {
        gset_win_size(16, 16);
        if (!xtest::open_window()) return 10;
        for (int i = 0; i < MAX_FRAMES; ++i)
            if (gcreate_frame(-1) != i) return 11;
        const Pixmap last = gget_frame_id(-1);
        if (gcreate_frame(-1) != -3 || gcreate_frame(200) != -3) return 12;
        gselect_frame(gcreate_frame(-1));
        if (gget_draw_window() != gget_base_window()) return 13;
        if (gget_num_images() != MAX_FRAMES || gget_frame_id(-1) != last) return 14;
        gdisplay_frame(MAX_FRAMES);
        return gget_cur_frame() == -1 ? 0 : 15;
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "gcreate_frame: no room for frame 128, the store holds 128 frames\n"
                     "gcreate_frame: no room for frame 200, the store holds 128 frames\n"
                     "gcreate_frame: no room for frame 128, the store holds 128 frames\n");
}

// Looping, the loop speed and the frame operations report what they do; the
// last frame keeps its pause while the speed changes.
TEST(FrameStore, LoopingAndSpeedMessages) {
    if (!xtest::need_display()) return;
    const zeqtest::ChildResult r = run_child([] {
        MESS_set(1, M_OUT4);
        if (!xtest::open_window()) return 10;
        gcreate_frame(-1);
        gcreate_frame(-1);
        gselect_frame(1);
        gselect_frame(-3);
        gset_looping(1);
        std::printf("cursor %d looping %d\n", gget_cursor_type(), gget_looping());
        gtoggle_loop(-1);
        std::printf("cursor %d looping %d\n", gget_cursor_type(), gget_looping());
        gtoggle_loop(0);
        gtoggle_loop(1);
        gset_looping(0);
        ginc_loop_delay(-0.45f);
        ginc_loop_delay(-0.1f);
        std::printf("delay %.2f frames %.2f %.2f\n", static_cast<double>(gget_loop_delay()),
                    static_cast<double>(gget_frame_delay(0)), static_cast<double>(gget_frame_delay(1)));
        ginc_loop_delay(0.1f);
        std::printf("delay %.2f frames %.2f %.2f\n", static_cast<double>(gget_loop_delay()),
                    static_cast<double>(gget_frame_delay(0)), static_cast<double>(gget_frame_delay(1)));
        std::printf("title %d\n", gset_loop_title(0));
        gdisplay_frame(1);
        char extra[40] = "";
        gget_win_title_extra(extra, sizeof extra);
        std::printf("extra '%s'\n", extra);
        gprint_frame_ids();
        const Pixmap f0 = gget_frame_id(0), f1 = gget_frame_id(1);
        const Window win = gget_root_window();
        const Pixmap base = gget_base_window();
        std::printf("ids %d %d %d %d\n", static_cast<int>(win), static_cast<int>(base), static_cast<int>(f0),
                    static_cast<int>(f1));
        return 0;
    });
    ASSERT_EQ(r.status, 0) << r.err;
    int win = 0, base = 0, f0 = 0, f1 = 0;
    const std::size_t ids = r.out.rfind("ids ");
    ASSERT_NE(ids, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + ids, "ids %d %d %d %d", &win, &base, &f0, &f1), 4);
    char list[200];
    std::snprintf(list, sizeof list, "ROOT: %d\n WIN: %d\n   0: %d\n   1: %d\n", win, base, f0, f1);
    const std::string want = "Created frame: 0-" + std::to_string(f0) + "\nCreated frame: 1-" +
                             std::to_string(f1) +
                             "\n"
                             "Selected frame: 1\n"
                             "Selected frame: -3\n"
                             "Looping initiated\n"
                             "cursor 3 looping 1\n"
                             "Looping stopped\n"
                             "cursor 4 looping 0\n"
                             "Looping stopped\n"
                             "Looping initiated\n"
                             "Looping stopped\n"
                             "Loop delay decremented to: 0.05\n"
                             "Loop delay decremented to: 0.00\n"
                             "delay 0.00 frames 0.00 1.00\n"
                             "Loop delay incremented to: 0.10\n"
                             "delay 0.10 frames 0.10 1.00\n"
                             "title 1\n"
                             "extra ''\n" +
                             list;
    EXPECT_EQ(r.out.substr(0, r.out.find("ids ")), want);
}

// A frame's delay is waited in steps of at most 0.2 s, each after a poll of
// the window events; no frame current: -1 at once.
TEST(FrameStore, WaitingAFrameDelayPollsEvents) {
    if (!xtest::need_display() || !xtest::open_window()) return;
    xev::use_test_clock();
    gset_mouse_callback(xev::log_event);
    EXPECT_EQ(gloop_sleep(), -1);
    frames(3);
    gdisplay_frame(2);
    // An event waits before the first poll and one more arrives during
    // every sleep: each poll answers one, the last stays queued.
    xev::button(ButtonRelease, 1, 5, 5);
    xev::test_clock().on_sleep = [] { xev::button(ButtonRelease, 1, 5, 5); };
    EXPECT_EQ(gloop_sleep(), 0);
    EXPECT_EQ(xev::sleep_runs(xev::test_clock().sleeps), "0.20x5");
    EXPECT_EQ(xev::log().size(), 5u);
    xev::test_clock().on_sleep = nullptr;
    EXPECT_EQ(gcheck_event(), 1);

    xev::test_clock().sleeps.clear();
    gdisplay_frame(0);
    gks_clock::get().init_time();
    EXPECT_EQ(gloop_sleep(), 0);
    EXPECT_EQ(xev::sleep_runs(xev::test_clock().sleeps), "0.20x2 0.10x1");
    gclose_ws(1);
}

} // namespace
