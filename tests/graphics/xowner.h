// Test support: a plain Xlib program that owns a window for another program
// to draw into. It runs as a forked child with its own connection: a window
// and a backing pixmap of W x H, window-id files in a directory ("zeqloop.3"
// with "+root:base:WxH:cmap", "zeqloop.win" with "base:WxH"), the title
// "Loop [3]", and a log with one line "type format request" per client
// message. A new-frame request (2) shows the title extra "+" and, unless told
// to keep it, takes it away again.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/child.h"

namespace xtest {

class Owner {
public:
    Owner(const std::string &dir, int width, int height, bool keep_plus = false)
        : dir_(dir), log_(dir + "/owner.log") {
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) _exit(serve(width, height, keep_plus));
        // Ready once its id file is there.
        for (int i = 0; i < 500 && !ready(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Owner() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Owner(const Owner &) = delete;
    Owner &operator=(const Owner &) = delete;

    bool ready() const { return zeqtest::read_file(dir_ + "/zeqloop.3").find('\n') != std::string::npos; }
    // The ids the owner wrote.
    unsigned long root() const { return field(0); }
    unsigned long base() const { return field(1); }
    unsigned long cmap() const { return field(3); }
    std::string log() const { return zeqtest::read_file(log_); }

private:
    unsigned long field(int n) const {
        const std::string text = zeqtest::read_file(dir_ + "/zeqloop.3");
        unsigned long v[4] = {};
        unsigned int w = 0, h = 0;
        std::sscanf(text.c_str(), "+%lu:%lu:%ux%u:%lu", &v[0], &v[1], &w, &h, &v[3]);
        return v[n];
    }

    int serve(int width, int height, bool keep_plus) {
        Display *d = XOpenDisplay(nullptr);
        if (d == nullptr) return 2;
        const int s = DefaultScreen(d);
        const Window w =
            XCreateSimpleWindow(d, RootWindow(d, s), 420, 30, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 0, WhitePixel(d, s), BlackPixel(d, s));
        const Pixmap base = XCreatePixmap(d, w, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                          static_cast<unsigned>(DefaultDepth(d, s)));
        const GC gc = XCreateGC(d, w, 0, nullptr);
        XSetForeground(d, gc, BlackPixel(d, s));
        XFillRectangle(d, base, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XStoreName(d, w, "Loop [3]");
        XMapWindow(d, w);
        XSync(d, False);
        const std::string spec = "+" + std::to_string(w) + ":" + std::to_string(base) + ":" +
                                 std::to_string(width) + "x" + std::to_string(height) + ":" +
                                 std::to_string(DefaultColormap(d, s));
        zeqtest::write_file(dir_ + "/zeqloop.win", std::to_string(base) + ":" + std::to_string(width) + "x" +
                                                       std::to_string(height) + "\n");
        zeqtest::write_file(dir_ + "/zeqloop.3.tmp", spec + "\n");
        std::rename((dir_ + "/zeqloop.3.tmp").c_str(), (dir_ + "/zeqloop.3").c_str());
        for (;;) {
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.type != ClientMessage) continue;
            FILE *f = std::fopen(log_.c_str(), "a");
            if (f != nullptr) {
                std::fprintf(f, "%lu %d %d\n", ev.xclient.message_type, ev.xclient.format,
                             ev.xclient.data.b[0]);
                std::fclose(f);
            }
            if (ev.xclient.data.b[0] == 2) {
                XStoreName(d, w, "Loop +");
                XSync(d, False);
                usleep(100000);
                if (!keep_plus) XStoreName(d, w, "Loop");
                XSync(d, False);
            }
        }
    }

    std::string dir_;
    std::string log_;
    pid_t pid_ = -1;
};

} // namespace xtest
