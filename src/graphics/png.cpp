// PNG files of window images through libpng: the writer reduces an image to
// at most 256 colours and stores an 8-bit palette image with title,
// software and time text chunks; the reader takes palette, grey, RGB and
// RGBA images of any bit depth and interlacing.
// File-static state: none (libpng's structures live for one call).
#include "graphics/png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "graphics/gks_img.h"
#include "graphics/gks_x11.h"
#include "graphics/img_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

// libpng's errors and warnings go to the debug kind; an error returns to
// the recovery point of the function that set it up, which reports it
// naming the file.
void png_error_fn(png_structp png, png_const_charp msg) {
    MESS_print(M_DEBUG, "libpng: %s\n", msg);
    png_longjmp(png, 1);
}

void png_warning_fn(png_structp, png_const_charp msg) {
    MESS_print(M_DEBUG, "libpng: %s\n", msg);
}

// The write's data outside the recovery point's frame, released whatever
// way the write ends.
struct WriteState {
    FILE *f = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep *rows = nullptr;
    png_colorp palette = nullptr;
};

// Everything of a write that can fail inside libpng; false after an error.
bool write_png(WriteState *s, const IMG_report *image, const IMG_indexed &ind) {
    if (setjmp(png_jmpbuf(s->png)) != 0) return false;
    png_init_io(s->png, s->f);
    png_set_IHDR(s->png, s->info, static_cast<png_uint_32>(image->width),
                 static_cast<png_uint_32>(image->height), 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    s->palette = static_cast<png_colorp>(png_malloc(s->png, 256 * sizeof(png_color)));
    for (int i = 0; i < 256; ++i)
        s->palette[i] = {ind.rgb[i][0], ind.rgb[i][1], ind.rgb[i][2]};
    png_set_PLTE(s->png, s->info, s->palette, 256);

    char title[256], when[41];
    copy_text(title, gget_win_title());
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(when, sizeof when, "%d %b %Y %H:%M:%S GMT", &tm);
    char key_title[] = "Title", key_soft[] = "Software", key_time[] = "Creation Time";
    char software[] = "ZEQ - Skyloom v5.0";
    png_text text[3]{};
    text[0] = {PNG_TEXT_COMPRESSION_NONE, key_title, title, std::strlen(title), 0, nullptr, nullptr};
    text[1] = {PNG_TEXT_COMPRESSION_NONE, key_soft, software, std::strlen(software), 0, nullptr, nullptr};
    text[2] = {PNG_TEXT_COMPRESSION_NONE, key_time, when, std::strlen(when), 0, nullptr, nullptr};
    png_set_text(s->png, s->info, text, 3);

    png_write_info(s->png, s->info);
    s->rows =
        static_cast<png_bytep *>(std::malloc(static_cast<std::size_t>(image->height) * sizeof(png_bytep)));
    if (s->rows == nullptr) return false;
    for (int y = 0; y < image->height; ++y)
        s->rows[y] = const_cast<png_bytep>(ind.index.data()) +
                     static_cast<std::size_t>(y) * static_cast<std::size_t>(image->width);
    png_write_image(s->png, s->rows);
    png_write_end(s->png, s->info);
    return true;
}

// The read's structures outside the recovery point's frame.
struct ReadState {
    FILE *f = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop end = nullptr;
};

// Everything of a read that can fail inside libpng: 1, 0 after an error or
// without memory (the record's buffers are released by the caller).
int read_png(ReadState *s, IMG_report *image, int type, const char *name) {
    if (setjmp(png_jmpbuf(s->png)) != 0) {
        MESS_print(M_WARN, "PNG_read: Damaged PNG file: %s\n", name);
        return 0;
    }
    png_init_io(s->png, s->f);
    png_set_sig_bytes(s->png, 8);
    png_read_info(s->png, s->info);
    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, color_type = 0, interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(s->png, s->info, &width, &height, &bit_depth, &color_type, &interlace, &compression,
                 &filter);
    MESS_print(M_DEBUG, "%d %d %d - %d %d - %d %d\n", static_cast<int>(width), static_cast<int>(height),
               bit_depth, color_type, interlace, compression, filter);
    // Palette and grey images of fewer than 8 bits come as one byte a
    // pixel; the alpha of grey and RGB images is dropped from 8-bit samples.
    if (color_type == PNG_COLOR_TYPE_PALETTE && bit_depth < 8) png_set_packing(s->png);
    if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(s->png);
    if (color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_strip_16(s->png);
        png_set_strip_alpha(s->png);
    }
    if (color_type == PNG_COLOR_TYPE_RGB_ALPHA) png_set_strip_16(s->png);
    const int passes = png_set_interlace_handling(s->png);
    png_read_update_info(s->png, s->info);
    const int depth = png_get_bit_depth(s->png, s->info);
    const std::size_t row_bytes = png_get_rowbytes(s->png, s->info);

    copy_text(image->info, "PNG");
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->colors = nullptr;
    image->bytes_line = row_bytes <= 0x7FFFFFFF ? static_cast<int>(row_bytes) : 0;
    const bool grey = color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA;
    if (grey || color_type == PNG_COLOR_TYPE_PALETTE) {
        image->depth = image->bits_pixel = depth;
    } else {
        image->depth = 3 * depth;
        image->bits_pixel = width > 0 ? static_cast<int>(8 * (row_bytes / width)) : 0;
    }
    image->byte_order = 1;
    MESS_print(M_DEBUG, "type: %s\n", image->info);
    MESS_print(M_DEBUG, "width: %d\n", image->width);
    MESS_print(M_DEBUG, "height: %d\n", image->height);
    MESS_print(M_DEBUG, "depth: %d\n", image->depth);
    MESS_print(M_DEBUG, "bytes_per_line: %d\n", image->bytes_line);
    if (type == 1) return 1;

    if (grey) {
        // Grey levels: 8-bit pixels without a palette.
        image->color_type = 1;
        image->num_colors = 0;
        image->red = image->grn = image->blu = 0;
    } else if (color_type == PNG_COLOR_TYPE_PALETTE) {
        image->color_type = 1;
        image->red = image->grn = image->blu = 0;
        png_colorp pal = nullptr;
        int n = 0;
        png_get_PLTE(s->png, s->info, &pal, &n);
        MESS_print(M_DEBUG, "color table size: %d\n", n);
        if (n > 0 && pal != nullptr) {
            if (!IMG_alloc_colors(image, n)) return 0;
            for (int i = 0; i < n; ++i)
                image->colors[i] = {pal[i].red / 255.0f, pal[i].green / 255.0f, pal[i].blue / 255.0f};
        }
    } else {
        image->color_type = 0;
        image->red = 0xFF0000;
        image->grn = 0xFF00;
        image->blu = 0xFF;
    }
    if (!IMG_alloc_data(image)) {
        MESS_print(M_WARN, "Unable to allocate data buffer.\n");
        MESS_print(M_WARN, "PNG_read: Image of %dx%d not read: %s\n", image->width, image->height, name);
        return 0;
    }
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < image->height; ++y)
            png_read_row(s->png,
                         image->data +
                             static_cast<std::size_t>(y) * static_cast<std::size_t>(image->bytes_line),
                         nullptr);
    if (color_type == PNG_COLOR_TYPE_RGB_ALPHA) {
        // Red, green, blue, alpha become red, red, green, blue: with byte
        // order 1 the pixel reads as red, green, blue under the masks.
        for (int y = 0; y < image->height; ++y) {
            unsigned char *p =
                image->data + static_cast<std::size_t>(y) * static_cast<std::size_t>(image->bytes_line);
            for (int x = 0; x < image->width; ++x, p += 4) {
                p[3] = p[2];
                p[2] = p[1];
                p[1] = p[0];
            }
        }
    }
    png_read_end(s->png, s->end);
    return 1;
}

} // namespace

int PNG_write(const char *filename, const IMG_report *image) {
    const char *name = filename != nullptr ? filename : "";
    MESS_print(M_DEBUG, "width: %d\n", image->width);
    MESS_print(M_DEBUG, "height: %d\n", image->height);
    MESS_print(M_DEBUG, "depth: %d\n", image->depth);
    MESS_print(M_DEBUG, "bytes_per_line: %d\n", image->bytes_line);
    IMG_indexed ind;
    if (!IMG_index_colors(image, ~0UL, &ind, "PNG_write")) return 0;
    WriteState s;
    s.f = filename != nullptr ? FILE_open(filename, "wb") : nullptr;
    if (s.f == nullptr) {
        MESS_print(M_WARN, "Unable to open PNG file\n");
        MESS_print(M_WARN, "PNG_write: Unable to open: %s\n", name);
        return 0;
    }
    MESS_print(M_DEBUG, "num_color: %d\n", ind.num_colors);
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_error_fn, png_warning_fn);
    if (s.png != nullptr) s.info = png_create_info_struct(s.png);
    bool ok = s.png != nullptr && s.info != nullptr && write_png(&s, image, ind);
    if (s.palette != nullptr) png_free(s.png, s.palette);
    if (s.png != nullptr) png_destroy_write_struct(&s.png, s.info != nullptr ? &s.info : nullptr);
    std::free(s.rows);
    if (FILE_close_output(s.f) != 0) ok = false;
    if (!ok) {
        MESS_print(M_WARN, "PNG_write: Unable to write: %s\n", name);
        return 0;
    }
    return 1;
}

int PNG_read(const char *filename, IMG_report *image, int type) {
    const char *name = filename != nullptr ? filename : "";
    ReadState s;
    s.f = filename != nullptr ? FILE_open(filename, "rb") : nullptr;
    if (s.f == nullptr) {
        MESS_print(M_WARN, "PNG_read: Unable to open: %s\n", name);
        return 0;
    }
    png_byte sig[8] = {};
    if (std::fread(sig, 1, sizeof sig, s.f) != sizeof sig || png_sig_cmp(sig, 0, sizeof sig) != 0) {
        MESS_print(M_WARN, "PNG_read: Not a PNG file: %s\n", name);
        FILE_close(s.f);
        return 0;
    }
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_error_fn, png_warning_fn);
    if (s.png != nullptr) s.info = png_create_info_struct(s.png);
    if (s.info != nullptr) s.end = png_create_info_struct(s.png);
    int rc = 0;
    if (s.end != nullptr) {
        // The largest image the buffers may hold.
        png_set_user_limits(s.png, 65535, 65535);
        rc = read_png(&s, image, type, name);
    } else {
        MESS_print(M_WARN, "PNG_read: Unable to start libpng: %s\n", name);
    }
    if (s.png != nullptr)
        png_destroy_read_struct(&s.png, s.info != nullptr ? &s.info : nullptr,
                                s.end != nullptr ? &s.end : nullptr);
    FILE_close(s.f);
    if (rc != 1) IMG_free(image);
    return rc;
}

int PNG_dump(const char *filename) {
    IMG_report image;
    if (gget_image(&image) != 1) return 0;
    const int rc = PNG_write(filename, &image);
    IMG_free(&image);
    return rc;
}
