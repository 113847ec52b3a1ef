// Window images: capture of the drawing drawable into an image record, the
// translation of an image's pixels into the window's pixel format, and the
// drawing of images (with a transparent colour for overlays) at a pixel
// position of the viewport; the window saved as an image file.
// File-static state: the type of image file gsave_image_file writes.
#include "graphics/gks_img.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/colors.h"
#include "graphics/gif.h"
#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/img_tool.h"
#include "graphics/png.h"
#include "graphics/xdump.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

int output_type = GIMG_GIF;

bool have_window() {
    return gget_display() != nullptr && gget_draw_window() != 0;
}

// The capture's palette from the visible window's colormap: pixel values 0
// .. n-1, or on a DirectColor visual the values three channel counters
// build. Without memory the image keeps no palette.
void query_palette(Display *d, const XWindowAttributes &wa, IMG_report *image) {
    const Visual *v = wa.visual;
    const int n = v->map_entries;
    if (n <= 0) return;
    std::vector<XColor> xc(static_cast<std::size_t>(n));
    if (!IMG_alloc_colors(image, n)) {
        MESS_print(M_WARN, "gget_image: Unable to allocate memory for colors\n");
        return;
    }
    if (v->c_class == DirectColor) {
        const auto low_bit = [](unsigned long m) { return m & (~m + 1); };
        const unsigned long rs = low_bit(v->red_mask), gs = low_bit(v->green_mask),
                            bs = low_bit(v->blue_mask);
        unsigned long r = 0, g = 0, b = 0;
        for (int i = 0; i < n; ++i) {
            xc[static_cast<std::size_t>(i)].pixel = r | g | b;
            r += rs;
            if (r > v->red_mask) r = 0;
            g += gs;
            if (g > v->green_mask) g = 0;
            b += bs;
            if (b > v->blue_mask) b = 0;
        }
    } else {
        for (int i = 0; i < n; ++i)
            xc[static_cast<std::size_t>(i)].pixel = static_cast<unsigned long>(i);
    }
    for (XColor &c : xc)
        c.flags = DoRed | DoGreen | DoBlue;
    XQueryColors(d, wa.colormap, xc.data(), n);
    const auto frac = [](unsigned short c) {
        const float f = static_cast<float>(c) / 65535.0f;
        return f > 0.99f ? 1.0f : f;
    };
    for (int i = 0; i < n; ++i) {
        const XColor &c = xc[static_cast<std::size_t>(i)];
        image->colors[i] = {frac(c.red), frac(c.green), frac(c.blue)};
    }
}

void print_ximage(const XImage &x, const char *mask_format) {
    MESS_print(M_DEBUG, "width: %d\n", x.width);
    MESS_print(M_DEBUG, "height: %d\n", x.height);
    MESS_print(M_DEBUG, "xoffset: %d\n", x.xoffset);
    MESS_print(M_DEBUG, "format: %d\n", x.format);
    MESS_print(M_DEBUG, "byte_order: %d\n", x.byte_order);
    MESS_print(M_DEBUG, "bitmap_unit: %d\n", x.bitmap_unit);
    MESS_print(M_DEBUG, "bitmap_bit_order: %d\n", x.bitmap_bit_order);
    MESS_print(M_DEBUG, "bitmap_pad: %d\n", x.bitmap_pad);
    MESS_print(M_DEBUG, "depth: %d\n", x.depth);
    MESS_print(M_DEBUG, "bits_per_pixel: %d\n", x.bits_per_pixel);
    MESS_print(M_DEBUG, "bytes_per_line: %d\n", x.bytes_per_line);
    // The capture prints its masks as long, the drawing as int.
    if (std::strcmp(mask_format, "%lX") == 0) {
        MESS_print(M_DEBUG, "red_mask: %lX\n", x.red_mask);
        MESS_print(M_DEBUG, "green_mask: %lX\n", x.green_mask);
        MESS_print(M_DEBUG, "blue_mask: %lX\n", x.blue_mask);
    } else {
        MESS_print(M_DEBUG, "red_mask: %X\n", static_cast<unsigned int>(x.red_mask));
        MESS_print(M_DEBUG, "green_mask: %X\n", static_cast<unsigned int>(x.green_mask));
        MESS_print(M_DEBUG, "blue_mask: %X\n", static_cast<unsigned int>(x.blue_mask));
    }
}

// The masks of the screen's TrueColor visual of a depth; false when it has
// none.
bool true_colour_masks(int depth, unsigned long *r, unsigned long *g, unsigned long *b) {
    XVisualInfo info{};
    if (!XMatchVisualInfo(gget_display(), gget_screen(), depth, TrueColor, &info)) return false;
    *r = info.red_mask;
    *g = info.green_mask;
    *b = info.blue_mask;
    return true;
}

int lowest_bit(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int bit_count(unsigned long mask) {
    int n = 0;
    for (; mask != 0; mask >>= 1)
        n += static_cast<int>(mask & 1);
    return n;
}

// The colour of an 8-bit image's pixel: its palette entry (index 0 for
// values beyond the palette), or its grey level without palette.
IMG_color pixel_colour(const IMG_report *img, unsigned int v) {
    if (img->colors == nullptr || img->num_colors <= 0) {
        const float g = static_cast<float>(v) / 255.0f;
        return {g, g, g};
    }
    if (v >= static_cast<unsigned int>(img->num_colors)) v = 0;
    return img->colors[v];
}

// Stores the low `bytes` bytes of a pixel value in the XImage's byte order.
void store_pixel(unsigned char *p, unsigned long value, int bytes, int byte_order) {
    for (int i = 0; i < bytes; ++i) {
        const int shift = byte_order == MSBFirst ? 8 * (bytes - 1 - i) : 8 * i;
        p[i] = static_cast<unsigned char>((value >> shift) & 0xFF);
    }
}

// An 8-bit image expanded into `bytes`-byte true-colour pixels of the masks.
void expand_8bit(const IMG_report *img, XImage *x, int bytes) {
    const unsigned long masks[3] = {x->red_mask, x->green_mask, x->blue_mask};
    int shift[3], width[3];
    unsigned long max[3];
    for (int c = 0; c < 3; ++c) {
        shift[c] = lowest_bit(masks[c]);
        width[c] = bit_count(masks[c]);
        max[c] = (1UL << width[c]) - 1;
    }
    if (bytes == 2)
        MESS_print(M_DEBUG_C, "mask: %d-%d-%lu %d-%d-%lu %d-%d-%lu\n", shift[0], width[0], max[0], shift[1],
                   width[1], max[1], shift[2], width[2], max[2]);
    std::array<unsigned long, 256> value{};
    for (unsigned int v = 0; v < 256; ++v) {
        const IMG_color c = pixel_colour(img, v);
        const float f[3] = {std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f),
                            std::clamp(c.b, 0.0f, 1.0f)};
        unsigned long pixel = 0;
        for (int k = 0; k < 3; ++k)
            pixel |= (static_cast<unsigned long>(static_cast<float>(max[k]) * f[k]) << shift[k]) & masks[k];
        value[v] = pixel;
    }
    const int row_pixels = std::min(IMG_row_pixels(img), img->width);
    for (int y = 0; y < img->height; ++y) {
        unsigned char *row = reinterpret_cast<unsigned char *>(x->data) +
                             static_cast<std::size_t>(y) * static_cast<std::size_t>(x->bytes_per_line);
        for (int i = 0; i < row_pixels; ++i)
            store_pixel(row + static_cast<std::size_t>(i) * static_cast<std::size_t>(bytes),
                        value[IMG_get_pixel(img, i, y) & 0xFF], bytes, x->byte_order);
    }
}

// Exchanges bytes 0 and 2 of every pixel of a 24-bit image in place.
void swap_red_blue(IMG_report *img) {
    const int step = img->bits_pixel == 32 ? 4 : 3;
    const int row_pixels = std::min(IMG_row_pixels(img), img->width);
    for (int y = 0; y < img->height; ++y) {
        unsigned char *row =
            img->data + static_cast<std::size_t>(y) * static_cast<std::size_t>(img->bytes_line);
        for (int i = 0; i < row_pixels; ++i)
            std::swap(row[i * step], row[i * step + 2]);
    }
}

// Where an image goes: a non-negative offset from the viewport's top-left
// corner, a negative one from its right or bottom edge.
void place(const Gxrect &vp, const IMG_report *image, int *x, int *y) {
    *x = *x >= 0 ? vp.x + *x : vp.x + vp.width - image->width + *x;
    *y = *y >= 0 ? vp.y + *y : vp.y + vp.height - image->height + *y;
}

void release(XImage *x, const IMG_report *image) {
    if (x->data != nullptr && reinterpret_cast<unsigned char *>(x->data) != image->data) std::free(x->data);
    x->data = nullptr;
}

// The X pixel left transparent by an overlay; false when the name is no
// colour.
bool transparent_pixel(const char *background, unsigned long *pixel, IMG_color *rgb, bool *have_rgb) {
    *have_rgb = false;
    if (background == nullptr || *background == '\0') {
        *pixel = static_cast<unsigned long>(gget_color_ind(-1));
        return true;
    }
    const int ind = CLR_get_ind(background);
    if (ind != -1) {
        const long p = gget_color_ind(ind);
        if (p < 0) return false;
        *pixel = static_cast<unsigned long>(p);
        return true;
    }
    Display *d = gget_display();
    XColor c{};
    if (!XParseColor(d, gget_colormap(), background, &c) || !XAllocColor(d, gget_colormap(), &c))
        return false;
    *pixel = c.pixel;
    *rgb = {c.red / 65535.0f, c.green / 65535.0f, c.blue / 65535.0f};
    *have_rgb = true;
    return true;
}

// Palette indices to X pixels on windows of at most 8 bits. Colours within
// 0.01 of the transparent pixel's colour become that pixel: its colour is
// trans_rgb when given (an X colour that no colour slot holds), else the
// colour of the slot that holds the pixel.
int setup_colors(IMG_report *image, long trans, const IMG_color *trans_rgb) {
    if (image->num_colors <= 0 || image->colors == nullptr || image->data == nullptr) return 0;
    const int depth = gget_win_depth();
    if (depth != 8 && depth != 4 && depth != 1) return 0;
    std::array<long, 256> mapped;
    mapped.fill(-1);
    const int per_byte = 8 / depth;
    const unsigned int mask = (1u << depth) - 1;
    const std::size_t positions = static_cast<std::size_t>(image->bytes_line) *
                                  static_cast<std::size_t>(per_byte) *
                                  static_cast<std::size_t>(image->height);
    for (std::size_t i = 0; i < positions; ++i) {
        unsigned char &byte = image->data[i / static_cast<std::size_t>(per_byte)];
        const std::size_t k = i % static_cast<std::size_t>(per_byte);
        // The position's bits: the byte, the high nibble first, the lowest bit first.
        const int shift = depth == 8 ? 0 : depth == 4 ? (k == 0 ? 4 : 0) : static_cast<int>(k);
        unsigned int ind = (byte >> shift) & mask;
        if (ind >= static_cast<unsigned int>(image->num_colors)) ind = 0;
        if (mapped[ind] < 0) {
            const IMG_color &c = image->colors[ind];
            const bool near = trans_rgb != nullptr
                                  ? std::fabs(c.r - trans_rgb->r) + std::fabs(c.g - trans_rgb->g) +
                                            std::fabs(c.b - trans_rgb->b) <
                                        0.01f
                                  : gis_color_near(trans, c.r, c.g, c.b, 1) != 0;
            if (trans != -1 && near)
                mapped[ind] = trans;
            else
                mapped[ind] = galloc_colr(-1, c.r, c.g, c.b);
        }
        const unsigned int pixel = static_cast<unsigned int>(mapped[ind]) & mask;
        byte = static_cast<unsigned char>((byte & ~(mask << shift)) | (pixel << shift));
    }
    return 0;
}

} // namespace

int gget_image(IMG_report *image) {
    IMG_init(image);
    if (!have_window()) return 0;
    Display *d = gget_display();
    const Window win = gget_root_window();
    XWindowAttributes wa{};
    bool got = false;
    {
        GxQuietErrors quiet;
        got = win != 0 && XGetWindowAttributes(d, win, &wa) != 0;
    }
    if (!got) {
        MESS_print(M_WARN, "gget_image: Can't get target window attributes\n");
        return 0;
    }
    image->width = wa.width;
    image->height = wa.height;
    char *name = nullptr;
    if (XFetchName(d, win, &name) != 0 && name != nullptr && *name != '\0')
        copy_text(image->info, name);
    else
        copy_text(image->info, "xwdump");
    if (name != nullptr) XFree(name);

    XImage *x = nullptr;
    {
        GxQuietErrors quiet;
        x = XGetImage(d, gget_draw_window(), 0, 0, static_cast<unsigned>(wa.width),
                      static_cast<unsigned>(wa.height), AllPlanes, ZPixmap);
        XSync(d, False);
    }
    if (x == nullptr) {
        MESS_print(M_WARN, "gget_image: Unable to get image at %dx%d+%d+%d\n", wa.width, wa.height, 0, 0);
        return 0;
    }
    image->bits_pixel = x->bits_per_pixel;
    image->bytes_line = x->bytes_per_line;
    image->byte_order = x->byte_order;
    image->depth = x->depth;
    if (!IMG_alloc_data(image)) {
        MESS_print(M_WARN, "gget_image: Unable to allocate data buffer.\n");
        XDestroyImage(x);
        return 0;
    }
    std::memcpy(image->data, x->data,
                static_cast<std::size_t>(image->bytes_line) * static_cast<std::size_t>(image->height));
    print_ximage(*x, "%lX");
    MESS_print(M_DEBUG, "num colors: %d\n", wa.visual->map_entries);
    MESS_print(M_DEBUG, "red_mask: %lX\n", wa.visual->red_mask);
    MESS_print(M_DEBUG, "green_mask: %lX\n", wa.visual->green_mask);
    MESS_print(M_DEBUG, "blue_mask: %lX\n", wa.visual->blue_mask);
    image->red = static_cast<unsigned int>(x->red_mask);
    image->grn = static_cast<unsigned int>(x->green_mask);
    image->blu = static_cast<unsigned int>(x->blue_mask);
    const bool no_masks = x->red_mask == 0;
    XDestroyImage(x);

    if (wa.colormap == None) {
        image->num_colors = 0;
    } else if (wa.visual->c_class == TrueColor) {
        image->color_type = 0;
        image->num_colors = 0;
        if (no_masks) {
            image->red = static_cast<unsigned int>(wa.visual->red_mask);
            image->grn = static_cast<unsigned int>(wa.visual->green_mask);
            image->blu = static_cast<unsigned int>(wa.visual->blue_mask);
        }
    } else {
        image->color_type = 1;
        query_palette(d, wa, image);
    }
    XFlush(d);
    return 1;
}

int gsetup_image_colors(IMG_report *image, long trans) {
    return setup_colors(image, trans, nullptr);
}

int gset_ximage_params(IMG_report *img, XImage *x) {
    const int wd = gget_win_depth();
    *x = XImage{};
    x->width = img->width;
    x->height = img->height;
    x->xoffset = 0;
    x->format = ZPixmap;
    x->byte_order = img->byte_order == 1 ? MSBFirst : LSBFirst;
    x->bitmap_bit_order = x->byte_order;
    x->bitmap_unit = 32;
    // Rows are exactly bytes_per_line long, not rounded to 32 bits: a pad of
    // 8 lets Xlib take converted rows of 3 or 2 bytes a pixel as they are.
    x->bitmap_pad = 8;
    x->depth = wd;
    x->red_mask = x->green_mask = x->blue_mask = 0xffff;
    x->obdata = nullptr;
    const int bits = IMG_pixel_bits(img);
    const bool same = img->depth == wd && bits != 0 && img->data != nullptr;
    const bool expand =
        img->depth == 8 && bits == 8 && img->data != nullptr && (wd == 24 || wd == 16 || wd == 15);
    if (!same && !expand) {
        MESS_print(M_WARN, "gset_ximage_params: Images of depth %d are not drawn on a window of depth %d\n",
                   img->depth, wd);
        return 0;
    }
    if (same) {
        // The image's own rows serve as they are.
        x->bits_per_pixel = bits;
        x->bytes_per_line = img->bytes_line;
        x->data = reinterpret_cast<char *>(img->data);
    } else {
        const int bytes = wd == 24 ? 3 : 2;
        x->bits_per_pixel = 8 * bytes;
        x->bytes_per_line = bytes * img->width;
    }
    if (wd == 24) {
        unsigned long r = gget_red_mask(), g = gget_grn_mask(), b = gget_blu_mask();
        true_colour_masks(24, &r, &g, &b);
        if (img->depth == 8) {
            x->red_mask = r;
            x->green_mask = g;
            x->blue_mask = b;
        } else {
            x->red_mask = img->red;
            x->green_mask = img->grn;
            x->blue_mask = img->blu;
            if (img->red != r) swap_red_blue(img);
        }
    } else if (wd == 16 || wd == 15) {
        unsigned long r = gget_red_mask(), g = gget_grn_mask(), b = gget_blu_mask();
        true_colour_masks(wd, &r, &g, &b);
        x->red_mask = r;
        x->green_mask = g;
        x->blue_mask = b;
    }
    if (expand) {
        const std::size_t size =
            static_cast<std::size_t>(x->bytes_per_line) * static_cast<std::size_t>(img->height);
        x->data = static_cast<char *>(std::calloc(size, 1));
        if (x->data == nullptr) return 0;
        expand_8bit(img, x, x->bits_per_pixel / 8);
    }
    if (XInitImage(x) == 0) {
        MESS_print(M_WARN, "gset_ximage_params: Rows of %d bytes do not hold %d pixels of %d bits\n",
                   x->bytes_per_line, x->width, x->bits_per_pixel);
        if (expand) std::free(x->data);
        x->data = nullptr;
        return 0;
    }
    print_ximage(*x, "%X");
    return 1;
}

int gload_image(IMG_report *image, int x, int y) {
    if (gtype_is_WIN_PIX()) {
        if (!have_window()) return 0;
        gsetup_image_colors(image, -1);
        Gxrect vp{};
        gget_xviewport(&vp);
        place(vp, image, &x, &y);
        XImage xi{};
        if (gset_ximage_params(image, &xi)) {
            XPutImage(gget_display(), gget_draw_window(), gget_root_gc(), &xi, 0, 0, x, y, vp.width,
                      vp.height);
            release(&xi, image);
        }
    } else if (gtype_is_PS()) {
        gps_image(image, x, y);
    }
    return 0;
}

int goverlay_image(IMG_report *image, const char *background, int x, int y) {
    if (!have_window()) return 0;
    Display *d = gget_display();
    unsigned long trans = 0;
    IMG_color trans_rgb{};
    bool have_rgb = false;
    const bool have_trans = transparent_pixel(background, &trans, &trans_rgb, &have_rgb);
    if (!have_trans)
        MESS_print(M_WARN, "goverlay_image: No colour \"%s\": nothing is transparent\n",
                   background != nullptr ? background : "");
    setup_colors(image, have_trans ? static_cast<long>(trans) : -1, have_rgb ? &trans_rgb : nullptr);
    XImage xi{};
    if (!gset_ximage_params(image, &xi)) return 0;

    // The mask: a bit for every pixel that is drawn, the lowest bit leftmost.
    const int w = image->width, h = image->height;
    const std::size_t row = static_cast<std::size_t>((w + 7) / 8);
    std::vector<unsigned char> mask(row * static_cast<std::size_t>(h), 0);
    const unsigned long depth_mask = xi.depth >= 32 ? ~0UL : (1UL << xi.depth) - 1;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (!have_trans || (XGetPixel(&xi, i, j) & depth_mask) != trans)
                mask[static_cast<std::size_t>(j) * row + static_cast<std::size_t>(i / 8)] |=
                    static_cast<unsigned char>(1u << (i % 8));
    const Pixmap bitmap =
        XCreateBitmapFromData(d, gget_root_window(), reinterpret_cast<const char *>(mask.data()),
                              static_cast<unsigned>(w), static_cast<unsigned>(h));
    Gxrect vp{};
    gget_xviewport(&vp);
    if (gtype_is_WIN_PIX()) place(vp, image, &x, &y);
    GC gc = gget_root_gc();
    XSetClipMask(d, gc, bitmap);
    XSetClipOrigin(d, gc, x, y);
    XPutImage(d, gget_draw_window(), gc, &xi, 0, 0, x, y, vp.width, vp.height);
    XSetClipMask(d, gc, None);
    XSetClipOrigin(d, gc, 0, 0);
    release(&xi, image);
    XFreePixmap(d, bitmap);
    return 0;
}

int gread_image_file(const char *filename, IMG_report *image) {
    return IMG_read(filename, image, 0);
}

int gquery_image_file(const char *filename, IMG_report *image) {
    return IMG_read(filename, image, 1);
}

int gload_image_file(const char *filename, int x, int y) {
    if (!have_window()) return 0;
    IMG_report image;
    if (IMG_read(filename, &image, 0) != 1) return 0;
    gload_image(&image, x, y);
    IMG_free(&image);
    return 1;
}

int goverlay_image_file(const char *filename, const char *background, int x, int y) {
    if (!have_window()) return 0;
    IMG_report image;
    if (IMG_read(filename, &image, 0) != 1) return 0;
    goverlay_image(&image, background, x, y);
    IMG_free(&image);
    return 0;
}

int gset_save_image_type(int val) {
    output_type = val;
    return 0;
}

int gget_save_image_type() {
    return output_type;
}

int gsave_image_file(const char *filename) {
    IMG_report image;
    if (gget_image(&image) != 1) return 0;
    int rc = 0;
    if (output_type == GIMG_GIF)
        rc = GIF_write(filename, &image);
    else if (output_type == GIMG_PNG)
        rc = PNG_write(filename, &image);
    else
        rc = XWD_write(filename, &image);
    IMG_free(&image);
    return rc;
}
