// Animation frames and looping: the frame store of the own X window (an
// off-screen image and a delay per frame), showing, stepping, deleting and
// timing frames, and the clock the waits run on.
// File-static state: the frame records, the frame count, the current frame,
// the looping state, direction and delays, the title switch and the clock.
#include "graphics/gks_loop.h"

#include <X11/Xlib.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_evnt.h"
#include "graphics/gks_loop_int.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/gks_zoom.h"
#include "runtime/mess.h"
#include "runtime/system.h"

namespace {

constexpr std::size_t NAME_SIZE = 160;
// Events are answered at least this often while a frame's delay runs.
constexpr float POLL_INTERVAL = 0.2f;
// Messages of stepping and copying: debug kind, level C.
constexpr M_type M_FRAMES = M_DEBUG_C;

struct Images {
    std::array<char, NAME_SIZE> filename{};
    std::array<unsigned char, FRAME_DATA_SIZE> data{};
    int data_size = 0;
    Pixmap pixmap = 0;
    Colormap colormap = 0;
    float delay = 0.5f;
    int flag = 1;
};

std::array<Images, MAX_FRAMES> images;
int num_images = 0;
int cur_image = -1;
int looping = 0;
int loop_direct = 1;
float loop_delay = 0.5f;
float loop_pause = 1.0f;
int loop_title = 1;
int loop_start = -1;
int loop_end = -1;
int loop = 0;

// Stands for the backing image in frame numbers.
constexpr int BASE = -3;
// A frame number that names nothing.
constexpr int NO_FRAME = -9;

double wall_seconds() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) / 1e6;
}

constexpr gks_clock::Clock real_clock{ZEQ_sleep, ZEQ_init_time, ZEQ_elapse_time, wall_seconds};
gks_clock::Clock loop_clock = real_clock;

// Frames exist only while the own or a foreign window has a drawable.
bool x_ready() {
    return gx_active() && gget_root_window() != 0;
}

// A frame number resolved into the store: a frame index, BASE for -3 where
// the caller allows it, or NO_FRAME.
int resolve(int ind, bool allow_base = false) {
    if (ind == BASE) return allow_base ? BASE : NO_FRAME;
    if (ind == -1)
        ind = num_images - 1;
    else if (ind == -2)
        ind = cur_image;
    return ind >= 0 && ind < num_images ? ind : NO_FRAME;
}

Images &slot(int ind) {
    return images[static_cast<std::size_t>(ind)];
}

// The image of a resolved frame number (BASE: the backing image).
Pixmap image_of(int ind) {
    return ind == BASE ? gget_base_window() : slot(ind).pixmap;
}

void fill_background(Pixmap pix) {
    Display *d = gget_display();
    const GC gc = gget_root_gc();
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    if (pix == 0 || gc == nullptr || w <= 0 || h <= 0) return;
    XSetForeground(d, gc, static_cast<unsigned long>(gget_back_color()));
    XFillRectangle(d, pix, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

// Gives an image back to the server; drawing that went into it goes to the
// backing image from now on.
void release(Pixmap pix) {
    if (pix == 0 || pix == gget_base_window()) return;
    if (gget_draw_window() == pix) gset_draw_window(0);
    XFreePixmap(gget_display(), pix);
}

// The loop or the stop cursor, and the message.
void show_looping(bool on) {
    gset_cursor(on ? 3 : 4);
    MESS_print(M_OUT4, on ? "Looping initiated\n" : "Looping stopped\n");
}

// Every frame but the last gets delay.
void set_leading_delays(float delay) {
    for (int i = 0; i < num_images - 1; ++i)
        slot(i).delay = delay;
}

} // namespace

namespace gks_clock {

const Clock &get() {
    return loop_clock;
}

void set(const Clock *c) {
    loop_clock = c != nullptr ? *c : real_clock;
}

} // namespace gks_clock

int ginit_loop() {
    loop = 0;
    num_images = 0;
    cur_image = -1;
    images.fill(Images{});
    return 0;
}

int gget_num_images() {
    return num_images;
}

int gcreate_frame(int ind) {
    if (!x_ready()) return 0;
    if (ind < 0) ind = num_images;
    if (ind >= MAX_FRAMES) {
        MESS_print(M_WARN, "gcreate_frame: no room for frame %d, the store holds %d frames\n", ind,
                   MAX_FRAMES);
        return BASE;
    }
    Images &frame = slot(ind);
    if (frame.pixmap == 0) {
        Gint w = 0, h = 0;
        gget_win_size(&w, &h);
        if (w <= 0 || h <= 0) return BASE;
        frame.pixmap = XCreatePixmap(gget_display(), gget_root_window(), static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), static_cast<unsigned>(gget_win_depth()));
    }
    fill_background(frame.pixmap);
    if (ind > 0) slot(ind - 1).delay = loop_delay;
    // The place after the store (the new frame when appending) waits the pause.
    const Pixmap after = num_images < MAX_FRAMES ? slot(num_images).pixmap : 0;
    if (num_images < MAX_FRAMES) slot(num_images).delay = loop_pause;
    gsync();
    MESS_print(M_OUT4, "Created frame: %d-%ld\n", num_images, static_cast<long>(after));
    if (ind == num_images) ++num_images;
    return ind;
}

int gclear_frame(int ind) {
    if (!x_ready()) return 0;
    const int f = resolve(ind, true);
    if (f != NO_FRAME) fill_background(image_of(f));
    return 0;
}

int gselect_frame(int ind) {
    gset_redraw(0);
    if (!x_ready()) return 0;
    int f = resolve(ind, true);
    if (f == NO_FRAME || image_of(f) == 0) f = BASE;
    gset_draw_window(f == BASE ? 0 : image_of(f));
    MESS_print(M_OUT4, "Selected frame: %d\n", f);
    return 0;
}

int gswitch_frame(int ind1, int ind2) {
    if (!x_ready()) return 0;
    const int f1 = resolve(ind1, true), f2 = resolve(ind2, true);
    if (f1 == NO_FRAME || f2 == NO_FRAME || f1 == f2) return 0;
    const Pixmap p1 = image_of(f1), p2 = image_of(f2);
    if (p1 == 0 || p2 == 0) return 0;
    const Drawable draw = gget_draw_window();
    const auto put = [](int f, Pixmap pix) {
        if (f == BASE)
            gset_base_window(pix);
        else
            slot(f).pixmap = pix;
    };
    put(f1, p2);
    put(f2, p1);
    if (draw == p1)
        gset_draw_window(p2);
    else if (draw == p2)
        gset_draw_window(p1);
    return 0;
}

int gcopy_frame(int dest, int src) {
    if (!x_ready()) return 0;
    const int d = resolve(dest, true), s = resolve(src, true);
    if (d == NO_FRAME || s == NO_FRAME) return 0;
    const Pixmap to = image_of(d), from = image_of(s);
    if (to == 0 || from == 0) return 0;
    Gint x = 0, y = 0, w = 0, h = 0;
    gget_win_offset(&x, &y);
    gget_win_size(&w, &h);
    if (w <= 0 || h <= 0) return 0;
    XCopyArea(gget_display(), from, to, gget_root_gc(), x, y, static_cast<unsigned>(w),
              static_cast<unsigned>(h), x, y);
    MESS_print(M_FRAMES, "Copy frame: %d->%d\n", s, d);
    return 0;
}

int gdisplay_frame(int ind) {
    if (!x_ready() || num_images == 0) return 0;
    if (ind < 0) ind = std::max(cur_image, 0);
    if (ind >= num_images) return 0;
    if (gget_zoom() < 2)
        gcopy_frame(BASE, ind);
    else
        gzoom(ind, -1, -1, -1, 1);
    gupdate_window();
    if (loop_title) {
        char extra[16];
        std::snprintf(extra, sizeof extra, "[%d]", ind);
        gset_win_title_extra(extra);
    }
    MESS_print(M_FRAMES, "Display frame: %d\n", ind);
    cur_image = ind;
    return 0;
}

int gdelete_all_frames() {
    if (gget_display() == nullptr) return 0;
    for (Images &frame : images) {
        release(frame.pixmap);
        frame.pixmap = 0;
    }
    return 0;
}

int gdelete_frame(int ind) {
    if (!x_ready()) return 0;
    if (ind == -1)
        ind = num_images - 1;
    else if (ind == -2)
        ind = cur_image;
    if (ind < 0 || ind >= MAX_FRAMES) return 0;
    // An image in a place past the end of the store is only released.
    if (ind >= num_images) {
        release(slot(ind).pixmap);
        slot(ind).pixmap = 0;
        return 1;
    }
    // Frame 0 alone may be the image another program draws into: it is
    // forgotten, not released.
    if (!(ind == 0 && num_images == 1)) release(slot(ind).pixmap);
    const bool was_last = ind == num_images - 1;
    for (int i = ind; i < num_images - 1; ++i)
        slot(i) = slot(i + 1);
    slot(num_images - 1).pixmap = 0;
    if (was_last && num_images >= 2) {
        slot(ind - 1).delay = loop_pause;
        slot(ind).delay = loop_delay;
    }
    --num_images;
    if (num_images == 0) XClearWindow(gget_display(), gget_root_window());
    const bool was_current = ind == cur_image;
    if (cur_image >= num_images) cur_image = num_images - 1;
    // The frame that took the deleted one's place, or the new last one.
    if (num_images > 0 && was_current) gdisplay_frame(cur_image);
    return 1;
}

int gset_looping(int ind) {
    looping = ind;
    show_looping(looping == 1);
    return 0;
}

int gget_looping() {
    return looping;
}

int gtoggle_loop(int val) {
    if (val == 1 || val == 0)
        looping = val;
    else
        looping = looping ? 0 : 1;
    show_looping(looping != 0);
    gsync();
    return 0;
}

int gset_loop_direct(int ind) {
    loop_direct = ind;
    return 0;
}

int gget_loop_direct() {
    return loop_direct;
}

int gset_loop_delay(int ind, float delay) {
    if (ind == -4) {
        set_leading_delays(delay);
        return 0;
    }
    const int f = resolve(ind);
    if (f != NO_FRAME) slot(f).delay = delay;
    return 0;
}

int ginc_loop_delay(float inc) {
    loop_delay = std::max(loop_delay + inc, 0.0f);
    set_leading_delays(loop_delay);
    MESS_print(M_OUT4, inc > 0 ? "Loop delay incremented to: %2.2f\n" : "Loop delay decremented to: %2.2f\n",
               static_cast<double>(loop_delay));
    return 0;
}

float gget_loop_delay() {
    return loop_delay;
}

float gget_frame_delay(int ind) {
    const int f = resolve(ind);
    return f != NO_FRAME ? slot(f).delay : 0.0f;
}

int ginc_frame(int step) {
    if (num_images <= 0) return -1;
    int r = 0;
    if (cur_image != -1) {
        if (step != 0)
            r = cur_image + step;
        else
            r = loop_direct % 2 == 1 ? cur_image + 1 : cur_image - 1;
    }
    MESS_print(M_FRAMES, "INC: %d-%d %d-%d\n", step, loop_direct, cur_image, r);
    const int first = loop_start >= 0 ? loop_start : 0;
    const int last = loop_end >= 0 ? loop_end : num_images - 1;
    const bool both_ways = loop_direct >= 2;
    if (r > last) {
        if (both_ways) loop_direct = 2;
        r = both_ways ? last - 1 : first;
    }
    if (r < first) {
        if (both_ways) loop_direct = 3;
        r = both_ways ? first + 1 : last;
    }
    // One frame back and forth turns past both ends: it stays on that frame.
    return std::clamp(r, first, last);
}

int gloop_sleep() {
    if (cur_image < 0 || cur_image >= num_images) return -1;
    const float delay = slot(cur_image).delay;
    for (float elapsed = loop_clock.elapse_time(); elapsed < delay; elapsed = loop_clock.elapse_time()) {
        gcheck_event();
        loop_clock.sleep(std::min(delay - elapsed, POLL_INTERVAL));
    }
    return 0;
}

int gget_cur_frame() {
    return cur_image;
}

unsigned long gget_frame_id(int ind) {
    const int f = resolve(ind);
    return f != NO_FRAME ? slot(f).pixmap : 0;
}

int gset_frame_id(int ind, unsigned long id) {
    const int f = resolve(ind);
    if (f != NO_FRAME) slot(f).pixmap = id;
    return 0;
}

int gset_image_data(int ind, const unsigned char *data, int size) {
    const int f = resolve(ind);
    if (f == NO_FRAME || data == nullptr) return 0;
    const int n = std::clamp(size, 0, FRAME_DATA_SIZE);
    std::memcpy(slot(f).data.data(), data, static_cast<std::size_t>(n));
    slot(f).data_size = n;
    return 0;
}

int gget_image_data(int ind, unsigned char *data, std::size_t size) {
    const int f = resolve(ind);
    if (f == NO_FRAME || data == nullptr) return 0;
    std::memcpy(data, slot(f).data.data(), std::min(size, static_cast<std::size_t>(slot(f).data_size)));
    return 0;
}

int gprint_frame_ids() {
    std::printf("ROOT: %d\n", static_cast<int>(gget_root_window()));
    std::printf(" WIN: %d\n", static_cast<int>(gget_base_window()));
    for (int i = 0; i < num_images; ++i)
        std::printf("%4d: %d\n", i, static_cast<int>(slot(i).pixmap));
    return 0;
}

int gset_loop_title(int val) {
    loop_title = val;
    return 1;
}
