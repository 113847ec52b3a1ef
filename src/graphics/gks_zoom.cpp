// Window zoom: the picture of the own window magnified by pixel replication
// around a centre, without drawing again. The source is always unzoomed (the
// frame's image, or a copy of the single picture taken at the first zoom), so
// every zoom, also a repeated one, is a region of unzoomed pixels shown at the
// total factor; window pixels map back into that region.
// File-static state: the total factor, the region shown (left and top edge,
// centre) and the saved unzoomed copy of a single picture.
#include "graphics/gks_zoom.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "runtime/mess.h"

namespace {

constexpr int MAX_ZOOM = 1024;

int zoom = 1;
int zoom_x = 0; // centre of the region, in unzoomed pixels
int zoom_y = 0;
int region_x = 0; // left and top edge of the region, in unzoomed pixels
int region_y = 0;
Pixmap base_image = 0;

void forget() {
    if (base_image != 0 && gget_display() != nullptr) XFreePixmap(gget_display(), base_image);
    base_image = 0;
    zoom = 1;
    zoom_x = zoom_y = region_x = region_y = 0;
}

// The left (top) edge of a region of size / f pixels around centre c, kept
// so that the last of the size output pixels still reads inside the image.
int region_edge(int c, int size, int f) {
    const int edge = c - (size / f) / 2;
    return std::clamp(edge, 0, size - 1 - (size - 1) / f);
}

// Fills img with pixels of src: output pixel (c, r) takes source pixel
// (a + c / f, b + r / f).
void replicate(XImage *img, const XImage &src, int a, int b, int f) {
    const int w = img->width, h = img->height;
    const int bpp = img->bits_per_pixel;
    if (bpp % 8 == 0) {
        const std::size_t bytes = static_cast<std::size_t>(bpp / 8);
        for (int r = 0; r < h; ++r) {
            const char *in = src.data + static_cast<std::ptrdiff_t>(b + r / f) * src.bytes_per_line;
            char *out = img->data + static_cast<std::ptrdiff_t>(r) * img->bytes_per_line;
            for (int c = 0; c < w; ++c)
                std::memcpy(out + static_cast<std::size_t>(c) * bytes,
                            in + static_cast<std::size_t>(a + c / f) * bytes, bytes);
        }
        return;
    }
    // Pixels of 1 or 4 bits: through Xlib, which knows the bit and nibble order.
    XImage from = src;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            XPutPixel(img, c, r, XGetPixel(&from, a + c / f, b + r / f));
}

} // namespace

int gzoom(int ind, int x, int y, int factor, int flag) {
    Display *d = gget_display();
    if (gget_win_type() == GWS_PIX || !gtype_is_WIN() || d == nullptr || gget_base_window() == 0) return 0;
    if (zoom == 1 && flag != 0) return 0;
    if (factor == 0) {
        MESS_print(M_WARN, "gzoom: zoom factor 0 refused\n");
        return 0;
    }
    long nz = factor == -1  ? zoom
              : factor < -1 ? static_cast<long>(zoom) * -static_cast<long>(factor)
                            : factor;
    if (nz > MAX_ZOOM) {
        MESS_print(M_WARN, "gzoom: Cannot zoom past 1024x\n");
        return 0;
    }
    Gint w = 0, h = 0;
    gget_win_size(&w, &h);
    if (w <= 0 || h <= 0) return 0;

    // The unzoomed source: the frame's image, else the saved single picture
    // (saved now when it is not zoomed yet).
    Drawable src = gget_num_images() > 0 ? gget_frame_id(ind) : 0;
    bool saved_now = false;
    if (src == 0) {
        if (base_image == 0) {
            // The picture shown is unzoomed: forget any zoom of frames gone since.
            zoom = 1;
            base_image = XCreatePixmap(d, gget_root_window(), static_cast<unsigned>(w),
                                       static_cast<unsigned>(h), static_cast<unsigned>(gget_win_depth()));
            XCopyArea(d, gget_base_window(), base_image, gget_root_gc(), 0, 0, static_cast<unsigned>(w),
                      static_cast<unsigned>(h), 0, 0);
            saved_now = true;
        }
        src = base_image;
    }
    XImage *img = nullptr;
    {
        GxQuietErrors quiet;
        img = XGetImage(d, src, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
        XSync(d, False);
        if (quiet.failed() && img != nullptr) {
            XDestroyImage(img);
            img = nullptr;
        }
    }
    if (img == nullptr) {
        if (saved_now) forget();
        return 0;
    }

    int cx = zoom_x, cy = zoom_y;
    if (x != -1) {
        cx = static_cast<int>(xZ_p(static_cast<float>(x)));
        cy = static_cast<int>(yZ_p(static_cast<float>(y)));
    }
    const int f = static_cast<int>(nz);
    const int a = region_edge(cx, w, f), b = region_edge(cy, h, f);

    const std::size_t size =
        static_cast<std::size_t>(img->bytes_per_line) * static_cast<std::size_t>(img->height);
    std::vector<char> copy(img->data, img->data + size);
    XImage from = *img;
    from.data = copy.data();
    replicate(img, from, a, b, f);
    XPutImage(d, gget_base_window(), gget_root_gc(), img, 0, 0, 0, 0, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    XSync(d, False);
    XDestroyImage(img);

    zoom = f;
    region_x = a;
    region_y = b;
    zoom_x = a + (w / f) / 2;
    zoom_y = b + (h / f) / 2;
    gupdate_window();
    return 1;
}

int gunzoom() {
    if (gget_win_type() == GWS_PIX || zoom == 1) return 0;
    const Pixmap saved = base_image;
    base_image = 0;
    forget();
    Display *d = gget_display();
    if (saved != 0 && d != nullptr) {
        Gint w = 0, h = 0;
        gget_win_size(&w, &h);
        if (gget_base_window() != 0)
            XCopyArea(d, saved, gget_base_window(), gget_root_gc(), 0, 0,
                      static_cast<unsigned>(std::max(w, 0)), static_cast<unsigned>(std::max(h, 0)), 0, 0);
        XFreePixmap(d, saved);
        gupdate_window();
    } else {
        gdisplay_frame(-2);
    }
    return 0;
}

int greset_zoom() {
    if (zoom <= 1 && base_image == 0) return 0;
    forget();
    return 0;
}

int gget_zoom() {
    return zoom;
}

float xZ_p(float x) {
    return zoom > 1 ? static_cast<float>(region_x) + x / static_cast<float>(zoom) : x;
}

float yZ_p(float y) {
    return zoom > 1 ? static_cast<float>(region_y) + y / static_cast<float>(zoom) : y;
}
