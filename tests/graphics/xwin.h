// Test support of the window tests: the X display they run on, the window's
// picture read back by xwd and ImageMagick, and its properties as xprop and
// xwininfo report them. Every tool runs as its own process against the
// server, so what they see is what the server holds.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/xstack.h"
#include "support/reference.h"

namespace xtest {

// The display the tests run on; a missing one fails the test.
inline bool need_display() {
    const char *d = std::getenv("DISPLAY");
    if (d != nullptr && *d != '\0') return true;
    ADD_FAILURE() << "these tests need an X display: DISPLAY is not set (build.sh test starts an Xvfb)";
    return false;
}

inline bool need_tool(const char *path, const char *package) {
    if (access(path, X_OK) == 0) return true;
    ADD_FAILURE() << "these tests need " << path << " (Debian package " << package << ")";
    return false;
}

inline bool need_tools() {
    return need_display() && need_tool("/usr/bin/xwd", "x11-apps") &&
           need_tool("/usr/bin/convert", "imagemagick") && need_tool("/usr/bin/xprop", "x11-utils") &&
           need_tool("/usr/bin/xwininfo", "x11-utils");
}

// The name of screen n of the test display (":N.n"); screen 1 is the 8-bit
// PseudoColor screen of the test server.
inline std::string screen_name(int n) {
    return server_of(std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "") + "." +
           std::to_string(n);
}

using Rgb = std::array<int, 3>;

// The window's picture as 8-bit RGB.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    Rgb at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
        const std::size_t i =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    bool operator==(const Picture &) const = default;
};

inline std::string hex(unsigned long id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%lx", id);
    return buf;
}

inline std::string display_arg() {
    Display *d = gget_display();
    return d != nullptr ? std::string(" -display '") + DisplayString(d) + "'" : "";
}

// The PPM image (P6) a command writes on its standard output; samples of a
// largest value below 256 are kept as they are. A failing command or
// another format fails the test and gives an empty picture.
inline Picture ppm_of(const std::string &cmd) {
    Picture pic;
    const std::string ppm = zeqtest::run_command(cmd);
    std::istringstream in(ppm);
    // The header: magic, width, height and the largest value, with comment
    // lines between them.
    std::string magic;
    int maxval = 0;
    const auto next = [&in](auto &v) {
        while ((in >> std::ws).peek() == '#')
            in.ignore(1 << 20, '\n');
        in >> v;
    };
    next(magic);
    next(pic.width);
    next(pic.height);
    next(maxval);
    in.get();
    if (magic != "P6" || maxval <= 0 || maxval > 255 || pic.width <= 0 || pic.height <= 0) {
        ADD_FAILURE() << cmd << " gave no picture";
        return {};
    }
    pic.rgb.resize(static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(pic.height) * 3);
    in.read(reinterpret_cast<char *>(pic.rgb.data()), static_cast<std::streamsize>(pic.rgb.size()));
    return pic;
}

// The largest difference of one sample between two pictures of the same
// size; 256 when the sizes differ or either is empty.
inline int difference(const Picture &a, const Picture &b) {
    if (a.rgb.empty() || a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size())
        return 256;
    int most = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i)
        most = std::max(most, std::abs(static_cast<int>(a.rgb[i]) - static_cast<int>(b.rgb[i])));
    return most;
}

// An image file decoded by ImageMagick into 8-bit RGB ("xwd:", "gif:" ...
// prefixes choose the format).
inline Picture convert(const std::string &file) {
    return ppm_of("/usr/bin/convert '" + file + "' -depth 8 ppm:-");
}

// The window as xwd dumps it, decoded by ImageMagick into a PPM image. With
// `quiet` a failed dump (a window of another test vanished while xwd read
// the screen's windows) gives an empty picture without failing the test.
// The dump stays as `keep` when that is given.
inline Picture grab(Window id, bool quiet = false, const std::string &keep = "") {
    const zeqtest::TempDir dir;
    const std::string dump = keep.empty() ? dir.file("window.xwd") : keep, err = dir.file("xwd.err");
    const std::string cmd = "/usr/bin/xwd -silent -nobdrs" + display_arg() + " -id " + hex(id) + " -out '" +
                            dump + "' 2>'" + err + "'";
    if (std::system(cmd.c_str()) != 0) {
        if (!quiet) ADD_FAILURE() << cmd << ": " << zeqtest::read_file(err);
        return {};
    }
    Picture pic = convert("xwd:" + dump);
    if (pic.rgb.empty()) ADD_FAILURE() << "xwd and convert gave no picture of window " << hex(id);
    return pic;
}

// The own window's picture after the backing pixmap was shown, read while
// no other window covered or uncovered it (see dump_window). The dump stays
// as `keep` when that is given. Another client's window (`other`, which must
// report its Expose events to us) is read in the same way, without the copy.
inline Picture grab_window(const std::string &keep = "", Window other = 0) {
    const Window w = other != 0 ? other : gget_root_window();
    const zeqtest::TempDir dir;
    const std::string dump = keep.empty() ? dir.file("window.xwd") : keep;
    if (dump_window(w, dump, other == 0)) {
        Picture pic = convert("xwd:" + dump);
        if (pic.rgb.empty()) ADD_FAILURE() << "xwd and convert gave no picture of window " << hex(w);
        return pic;
    }
    grab(w, false, keep); // reports why xwd gives no picture, if it does not
    ADD_FAILURE() << "window " << hex(w) << " stayed covered by other windows or could not be read";
    return {};
}

inline std::string xprop(Window id) {
    return zeqtest::run_command("/usr/bin/xprop" + display_arg() + " -id " + hex(id));
}

inline std::string xwininfo(Window id, const std::string &args = "") {
    return zeqtest::run_command("/usr/bin/xwininfo" + display_arg() + " " + args + " -id " + hex(id));
}

// The number after "key" in a tool's report, -1 when the key is missing.
inline long number_after(const std::string &text, const std::string &key) {
    const std::size_t p = text.find(key);
    if (p == std::string::npos) return -1;
    return std::strtol(text.c_str() + p + key.size(), nullptr, 0);
}

// Opens the kernel and an own window on a display ("" the default), failing
// the test when it does not open.
inline bool open_window(const std::string &display = "") {
    gopen_gks(nullptr, 0);
    const int rc = gopen_ws(1, display.empty() ? nullptr : display.c_str(), 1);
    EXPECT_EQ(rc, 0) << "no window on " << (display.empty() ? "the default display" : display);
    return rc == 0;
}

// Makes transformation 1 current with world units the pixels of the default
// 640 x 512 window and y counted upwards from the bottom row, so that world
// point px(x, row) is pixel (x, row).
inline void pixel_world() {
    const Glim ws{0, 1, 0, 511.0f / 639};
    const Glim win{0, 639, 0, 511};
    gset_ws_win(1, &ws);
    gset_win(1, &win);
    gset_vp(1, &ws);
    gsel_norm_tran(1);
}

inline Gpt px(float x, float row) {
    return {x, 511 - row};
}

} // namespace xtest
