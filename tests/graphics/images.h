// Test support of the image tests: a test picture drawn into the window,
// image records built from pixel lists, and the big-endian numbers of the
// files the image modules write.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/gks_colr.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/img_tool.h"
#include "graphics/zeqimg.h"
#include "support/reference.h"

namespace imgtest {

// An image record that releases its buffers.
struct Image : IMG_report {
    Image() { IMG_init(this); }
    ~Image() { IMG_free(this); }
    Image(const Image &) = delete;
    Image &operator=(const Image &) = delete;
};

// Fills an 8-bit record: pixels row by row (width x height, rows of
// bytes_line bytes, padding 0) and a palette of r, g, b triples (none when
// empty: grey levels).
inline void fill_8bit(IMG_report *image, int width, int height, const std::vector<unsigned char> &pixels,
                      const std::vector<IMG_color> &palette = {}, int bytes_line = 0) {
    IMG_free(image);
    IMG_init(image);
    image->width = width;
    image->height = height;
    image->depth = 8;
    image->bits_pixel = 8;
    image->bytes_line = bytes_line > 0 ? bytes_line : width;
    image->byte_order = 1;
    image->color_type = palette.empty() ? 0 : 1;
    IMG_alloc_data(image);
    for (int y = 0; y < height; ++y)
        std::memcpy(image->data + static_cast<std::size_t>(y * image->bytes_line),
                    pixels.data() + static_cast<std::size_t>(y * width), static_cast<std::size_t>(width));
    if (!palette.empty()) {
        IMG_alloc_colors(image, static_cast<int>(palette.size()));
        std::memcpy(image->colors, palette.data(), palette.size() * sizeof(IMG_color));
    }
}

// The colours of the test picture's bands, left to right.
inline const std::vector<IMG_color> &band_colours() {
    static const std::vector<IMG_color> colours = {
        {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f},
    };
    return colours;
}

// Draws the test picture into the window's drawing drawable: eight bands
// of colours 80 pixels wide over the top 400 rows, a ramp of 32 grays below
// them and a white diagonal; then shows it.
inline void draw_test_picture() {
    Display *d = gget_display();
    const Drawable w = gget_draw_window();
    GC gc = gget_root_gc();
    const auto &bands = band_colours();
    for (std::size_t i = 0; i < bands.size(); ++i) {
        XSetForeground(d, gc,
                       static_cast<unsigned long>(galloc_colr(-1, bands[i].r, bands[i].g, bands[i].b)));
        XFillRectangle(d, w, gc, static_cast<int>(80 * i), 0, 80, 400);
    }
    for (int i = 0; i < 32; ++i) {
        const float g = static_cast<float>(i) / 31;
        XSetForeground(d, gc, static_cast<unsigned long>(galloc_colr(-1, g, g, g)));
        XFillRectangle(d, w, gc, 20 * i, 400, 20, 112);
    }
    XSetForeground(d, gc, static_cast<unsigned long>(galloc_colr(-1, 1, 1, 1)));
    XDrawLine(d, w, gc, 0, 0, 511, 511);
    XSync(d, False);
    gupdate_window();
}

// The 8-bit red, green and blue of pixel (x, y) of a record: a palette
// entry (times 255, truncated), a grey level, or the channels of a
// true-colour pixel of 8-bit channels.
inline std::array<int, 3> rgb_at(const IMG_report &image, int x, int y) {
    const unsigned long v = IMG_get_pixel(&image, x, y);
    if (image.color_type == 1 || image.depth <= 8) {
        if (image.colors == nullptr || image.num_colors <= 0) return {int(v), int(v), int(v)};
        if (v >= static_cast<unsigned long>(image.num_colors)) return {-1, -1, -1};
        const IMG_color &c = image.colors[v];
        return {int(c.r * 255), int(c.g * 255), int(c.b * 255)};
    }
    const auto channel = [v](unsigned long mask) {
        if (mask == 0) return 0;
        int shift = 0;
        while (((mask >> shift) & 1) == 0)
            ++shift;
        return static_cast<int>((v & mask) >> shift);
    };
    return {channel(image.red), channel(image.grn), channel(image.blu)};
}

// A record's pixels as text: "W H", then one "R G B" line a pixel.
inline std::string pixel_text(const IMG_report &image) {
    std::string s = std::to_string(image.width) + " " + std::to_string(image.height) + "\n";
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const auto c = rgb_at(image, x, y);
            s += std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) + "\n";
        }
    return s;
}

// PIL's pixels of frame `frame` of an image file in the same text; 16-bit
// samples are cut to their high byte, alpha dropped.
inline std::string pil_pixel_text(const std::string &file, int frame = 0) {
    return zeqtest::run_python(R"(
import sys
from PIL import Image
name, frame = sys.stdin.read().split('\n')[:2]
im = Image.open(name)
im.seek(int(frame))
if im.mode in ('I;16', 'I;16B', 'I'):
    im = im.point(lambda v: v / 256).convert('L')
rgb = im.convert('RGB')
print(*rgb.size)
for p in rgb.getdata():
    print(*p)
)",
                               file + "\n" + std::to_string(frame) + "\n", "python3-pil");
}

// A big-endian number of `bytes` bytes at `at` of a file's bytes.
inline unsigned long be(const std::string &bytes, std::size_t at, int n) {
    unsigned long v = 0;
    for (int i = 0; i < n && at + static_cast<std::size_t>(i) < bytes.size(); ++i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

} // namespace imgtest
