// Test support of the event, frame and hold-loop tests: events sent to the
// own window through the server (XSendEvent on the window's connection, so
// the kernel reads them back like any other event), a callback that logs
// what it receives, and a clock of whole microseconds that the kernel's
// waits run on instead of the wall clock.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "graphics/gks_evnt.h"
#include "graphics/gks_loop_int.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"

namespace xev {

// Sends an event to the own window and waits until the server has queued it
// on the window's connection.
inline void send(XEvent event) {
    Display *d = gget_display();
    event.xany.display = d;
    event.xany.window = gget_root_window();
    XSendEvent(d, gget_root_window(), False, 0, &event);
    XSync(d, False);
}

inline XEvent pointer_event(int type, int x, int y, unsigned int state) {
    XEvent e{};
    e.type = type;
    e.xkey.root = RootWindow(gget_display(), gget_screen());
    e.xkey.x = x;
    e.xkey.y = y;
    e.xkey.state = state;
    e.xkey.same_screen = True;
    return e;
}

// A key (by keysym) pressed with the modifier state at window pixel x, y.
inline void key(KeySym sym, unsigned int state = 0, int x = 10, int y = 10) {
    XEvent e = pointer_event(KeyPress, x, y, state);
    e.xkey.keycode = XKeysymToKeycode(gget_display(), sym);
    send(e);
}

// A button pressed or released (type ButtonPress or ButtonRelease).
inline void button(int type, unsigned int number, int x, int y, unsigned int state = 0) {
    XEvent e = pointer_event(type, x, y, state);
    e.xbutton.button = number;
    send(e);
}

inline void motion(int x, int y, unsigned int state = Button1Mask) {
    send(pointer_event(MotionNotify, x, y, state));
}

// A client message to a window with the first data byte; format 32 carries
// it in the first long.
inline XEvent client_message_event(Window window, Atom type, int format, int request) {
    XEvent e{};
    e.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = type;
    e.xclient.format = format;
    if (format == 32)
        e.xclient.data.l[0] = request;
    else
        e.xclient.data.b[0] = static_cast<char>(request);
    return e;
}

// Sends that message to the own window.
inline void client_message(Atom type, int format, int request) {
    send(client_message_event(gget_root_window(), type, format, request));
}

// The end of input a program feeding frames sends (request 9).
inline void end_input() {
    client_message(62, 8, 9);
}

// The callback's log: one line per call, "text x y" with one decimal.
inline std::vector<std::string> &log() {
    static std::vector<std::string> lines;
    return lines;
}

inline void log_event(int kind, const char *text, float x, float y) {
    char line[160];
    std::snprintf(line, sizeof line, "%d %s %.1f %.1f", kind, text, static_cast<double>(x),
                  static_cast<double>(y));
    log().push_back(line);
}

// A clock of whole microseconds: sleeping advances it at once and records
// the time asked for; `on_sleep` runs after each sleep (to send events at a
// given time).
struct TestClock {
    long long now_us = 1000000000LL; // the current time, 1000 s
    long long start_us = now_us;     // where the elapsed time counts from
    std::vector<float> sleeps;
    std::function<void()> on_sleep;
    double now() const { return static_cast<double>(now_us) / 1e6; }
};

inline TestClock &test_clock() {
    static TestClock c;
    return c;
}

inline void use_test_clock() {
    static const gks_clock::Clock clock{
        [](float secs) {
            if (!(secs > 0)) return -1;
            TestClock &c = test_clock();
            c.now_us += std::llround(static_cast<double>(secs) * 1e6);
            c.sleeps.push_back(secs);
            if (c.on_sleep) c.on_sleep();
            return 0;
        },
        [] {
            test_clock().start_us = test_clock().now_us;
            return 0;
        },
        [] { return static_cast<float>(test_clock().now_us - test_clock().start_us) / 1e6f; },
        [] { return test_clock().now(); }};
    gks_clock::set(&clock);
}

// The sleeps as runs of equal lengths: "0.1x50 0.5x10 ...".
inline std::string sleep_runs(const std::vector<float> &sleeps) {
    std::string out;
    std::size_t i = 0;
    while (i < sleeps.size()) {
        std::size_t j = i;
        while (j < sleeps.size() && std::fabs(sleeps[j] - sleeps[i]) < 1e-6f)
            ++j;
        char run[48];
        std::snprintf(run, sizeof run, "%s%.2fx%zu", out.empty() ? "" : " ", static_cast<double>(sleeps[i]),
                      j - i);
        out += run;
        i = j;
    }
    return out;
}

} // namespace xev
