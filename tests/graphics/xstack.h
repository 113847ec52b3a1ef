// Test support shared by the window tests and the plot driver: whether the
// own window lies on top of the test server's other windows, its pending
// Expose events, locks by which test processes on one server take turns, and
// the guarded xwd read of a window built on them. No test framework here,
// so that programs run by the tests can use it too.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"

namespace xtest {

// True when no other viewable window of the screen overlapping ours lies
// above it. Windows of other tests on the same server may come and go
// meanwhile; a window that vanished is passed over.
inline bool on_top(Window w) {
    Display *d = gget_display();
    GxQuietErrors quiet;
    XWindowAttributes me{};
    if (!XGetWindowAttributes(d, w, &me)) return false;
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, RootWindow(d, gget_screen()), &root, &parent, &kids, &n)) return false;
    const int bw = me.border_width;
    bool found = false, covered = false;
    for (unsigned int i = 0; i < n; ++i) {
        if (kids[i] == w) {
            found = true;
            continue;
        }
        XWindowAttributes a{};
        if (!found || !XGetWindowAttributes(d, kids[i], &a) || a.map_state != IsViewable) continue;
        const int abw = a.border_width;
        if (a.x < me.x + me.width + 2 * bw && me.x < a.x + a.width + 2 * abw &&
            a.y < me.y + me.height + 2 * bw && me.y < a.y + a.height + 2 * abw)
            covered = true;
    }
    if (kids != nullptr) XFree(kids);
    return found && !covered;
}

// Takes the window's pending Expose events; true when there was one (the
// server cleared part of the window).
inline bool exposed(Window w) {
    Display *d = gget_display();
    XSync(d, False);
    XEvent event;
    bool any = false;
    while (XCheckTypedWindowEvent(d, w, Expose, &event))
        any = true;
    return any;
}

// The server part of a display name: ":N.S" without ".S".
inline std::string server_of(std::string display) {
    const std::size_t colon = display.rfind(':');
    const std::size_t dot = display.find('.', colon == std::string::npos ? 0 : colon);
    if (dot != std::string::npos) display.erase(dot);
    return display;
}

// An exclusive lock, held for the object's lifetime, on a file named after
// what it guards and the display's server (":N" and ":N.0" share one lock):
// test processes on the same server take turns with it.
class DisplayLock {
public:
    DisplayLock(const std::string &what, const std::string &display) {
        std::string name = "/tmp/zeqtest-" + what + "-";
        for (const char c : server_of(display))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        fd_ = open((name + ".lock").c_str(), O_RDWR | O_CREAT, 0666);
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~DisplayLock() {
        if (fd_ >= 0) close(fd_);
    }
    DisplayLock(const DisplayLock &) = delete;
    DisplayLock &operator=(const DisplayLock &) = delete;

private:
    int fd_ = -1;
};

// Test processes on the same server read their windows one at a time.
class GrabLock : public DisplayLock {
public:
    GrabLock() : DisplayLock("xgrab", DisplayString(gget_display())) {}
};

// Writes window w, as the server shows it, to `file` by xwd: true, or false
// when the window stayed covered or xwd kept failing. The test server keeps
// no backing store and windows of other tests come and go on it. Under the
// grab lock the window is raised, the Expose events of what the raise
// uncovered are taken, and only then, with `update`, the backing pixmap is
// copied onto it; it is read when no other window lies above it, and the
// reading counts only when afterwards still none does and no Expose came
// (nothing cleared a part of it meanwhile). xwd fails when a window of
// another test vanishes while it walks the screen's windows, and is run
// again. Another client's window (`update` false) must report its Expose
// events to us.
inline bool dump_window(Window w, const std::string &file, bool update = true) {
    Display *d = gget_display();
    const std::string cmd = "/usr/bin/xwd -silent -nobdrs -display '" + std::string(DisplayString(d)) +
                            "' -id " + std::to_string(w) + " -out '" + file + "' 2>/dev/null";
    for (int attempt = 0; attempt < 100; ++attempt) {
        {
            const GrabLock lock;
            XRaiseWindow(d, w);
            exposed(w);
            if (update) gupdate_window();
            if (on_top(w) && std::system(cmd.c_str()) == 0 && !exposed(w) && on_top(w)) return true;
        }
        usleep(static_cast<useconds_t>(10000 + 10000 * (attempt % 7)));
    }
    return false;
}

} // namespace xtest
