// X window dump (XWD) files: the writer and reader of version 7 Z pixmap
// dumps (100-byte big-endian header, window name, 12-byte colour entries,
// pixel rows as captured) and the window dump into one.
// File-static state: none.
#include "graphics/xdump.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/gks_img.h"
#include "graphics/img_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

constexpr unsigned int VERSION = 7;
constexpr unsigned int Z_PIXMAP = 2;
constexpr unsigned int PSEUDO_COLOR = 3;
constexpr unsigned int TRUE_COLOR = 4;
constexpr std::size_t HEADER_SIZE = 100;
constexpr std::size_t COLOR_SIZE = 12;   // pixel (4), red, green, blue (2 each), flags, pad
constexpr unsigned int MAX_NAME = 65536; // longest window name read
constexpr unsigned int MAX_COLORS = 65536;

// The header fields in file order.
enum Field {
    header_size,
    file_version,
    pixmap_format,
    pixmap_depth,
    pixmap_width,
    pixmap_height,
    xoffset,
    byte_order,
    bitmap_unit,
    bitmap_bit_order,
    bitmap_pad,
    bits_per_pixel,
    bytes_per_line,
    visual_class,
    red_mask,
    green_mask,
    blue_mask,
    bits_per_rgb,
    colormap_entries,
    ncolors,
    window_width,
    window_height,
    window_x,
    window_y,
    window_bdrwidth,
    NUM_FIELDS
};
using Header = std::array<unsigned int, NUM_FIELDS>;

void put_be(unsigned char *p, unsigned int v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * (bytes - 1 - i)));
}

unsigned int get_be(const unsigned char *p, int bytes) {
    unsigned int v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

// A failure of this module: "FUNC: FILE: TEXT" on the standard error stream.
[[gnu::format(printf, 3, 4)]] int fail(const char *func, const char *filename, const char *fmt, ...) {
    char text[200];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    std::fprintf(stderr, "%s: %s: %s\n", func, filename != nullptr ? filename : "", text);
    return 0;
}

bool write_all(FILE *f, const void *data, std::size_t size) {
    return std::fwrite(data, 1, size, f) == size;
}

unsigned short component(float c) {
    if (!(c > 0)) return 0;
    if (c >= 1) return 65535;
    return static_cast<unsigned short>(c * 65535);
}

// The header's sizes against each other and against what a buffer may
// hold; the failure's text, or null when they fit.
const char *bad_layout(const Header &h) {
    if (h[pixmap_format] != Z_PIXMAP) return "Only Z pixmaps are read";
    if (h[pixmap_width] == 0 || h[pixmap_height] == 0 || h[pixmap_width] > 65535 || h[pixmap_height] > 65535)
        return "Image size out of range";
    const unsigned int bpp = h[bits_per_pixel];
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return "Unsupported bits per pixel";
    if (h[pixmap_depth] == 0 || h[pixmap_depth] > bpp) return "Depth out of range";
    const unsigned long long need = (static_cast<unsigned long long>(h[pixmap_width]) * bpp + 7) / 8;
    if (h[bytes_per_line] < need || h[bytes_per_line] > 4 * 65536u) return "Bytes per line out of range";
    if (static_cast<unsigned long long>(h[bytes_per_line]) * h[pixmap_height] > IMG_MAX_BYTES)
        return "Image too large";
    if (h[byte_order] > 1) return "Unknown byte order";
    if (h[ncolors] > MAX_COLORS) return "Too many colors";
    if (h[header_size] - HEADER_SIZE > MAX_NAME) return "Window name too long";
    return nullptr;
}

} // namespace

int XWD_write(const char *filename, const IMG_report *image) {
    const char *func = "XWD_write";
    if (image->data == nullptr || image->width <= 0 || image->height <= 0 || image->bytes_line <= 0)
        return fail(func, filename, "No image to write");
    FILE *f = filename != nullptr ? FILE_open(filename, "wb") : nullptr;
    if (f == nullptr) return fail(func, filename, "Unable to open dump file");
    const int colors = image->colors != nullptr && image->num_colors > 0 ? image->num_colors : 0;
    const std::size_t name_len = std::strlen(image->info);
    Header h{};
    h[header_size] = static_cast<unsigned int>(HEADER_SIZE + name_len + 1);
    h[file_version] = VERSION;
    h[pixmap_format] = Z_PIXMAP;
    h[pixmap_depth] = static_cast<unsigned int>(image->depth);
    h[pixmap_width] = static_cast<unsigned int>(image->width);
    h[pixmap_height] = static_cast<unsigned int>(image->height);
    h[byte_order] = static_cast<unsigned int>(image->byte_order);
    h[bitmap_unit] = 32;
    h[bitmap_bit_order] = static_cast<unsigned int>(image->byte_order);
    h[bitmap_pad] = 32;
    h[bits_per_pixel] = static_cast<unsigned int>(image->bits_pixel > 0 ? image->bits_pixel : image->depth);
    h[bytes_per_line] = static_cast<unsigned int>(image->bytes_line);
    h[visual_class] = image->color_type == 1 ? PSEUDO_COLOR : TRUE_COLOR;
    h[red_mask] = image->red;
    h[green_mask] = image->grn;
    h[blue_mask] = image->blu;
    h[bits_per_rgb] = 8;
    h[colormap_entries] = h[ncolors] = static_cast<unsigned int>(colors);
    h[window_width] = static_cast<unsigned int>(image->width);
    h[window_height] = static_cast<unsigned int>(image->height);
    std::array<unsigned char, HEADER_SIZE> bytes{};
    for (std::size_t i = 0; i < NUM_FIELDS; ++i)
        put_be(bytes.data() + 4 * i, h[i], 4);
    bool ok = write_all(f, bytes.data(), bytes.size());
    if (!ok) fail(func, filename, "Unable to write dump file header");
    MESS_print(M_DEBUG, "width: %d\n", image->width);
    MESS_print(M_DEBUG, "height: %d\n", image->height);
    MESS_print(M_DEBUG, "byte_order: %d\n", image->byte_order);
    MESS_print(M_DEBUG, "bits_pixel: %d\n", image->bits_pixel);
    MESS_print(M_DEBUG, "depth: %d\n", image->depth);
    MESS_print(M_DEBUG, "bytes_per_line: %d\n", image->bytes_line);
    MESS_print(M_DEBUG, "num colors: %d\n", colors);
    if (ok && !(ok = write_all(f, image->info, name_len + 1)))
        fail(func, filename, "Unable to write window name to dump file.");
    for (int i = 0; ok && i < colors; ++i) {
        std::array<unsigned char, COLOR_SIZE> e{};
        put_be(e.data(), static_cast<unsigned int>(i), 4);
        put_be(e.data() + 4, component(image->colors[i].r), 2);
        put_be(e.data() + 6, component(image->colors[i].g), 2);
        put_be(e.data() + 8, component(image->colors[i].b), 2);
        e[10] = 7; // red, green and blue valid
        if (!(ok = write_all(f, e.data(), e.size())))
            fail(func, filename, "Unable to write color map to dump file.");
    }
    const std::size_t size =
        static_cast<std::size_t>(image->bytes_line) * static_cast<std::size_t>(image->height);
    if (ok && !(ok = write_all(f, image->data, size))) fail(func, filename, "Unable to write to XWD file.");
    if (FILE_close_output(f) != 0 && ok) {
        fail(func, filename, "Unable to write to XWD file.");
        ok = false;
    }
    return ok ? 1 : 0;
}

int XWD_read(const char *filename, IMG_report *image, int) {
    const char *func = "XWD_read";
    image->data = nullptr;
    image->colors = nullptr;
    // A failed read leaves the record without buffers.
    struct FreeOnFail {
        IMG_report *image;
        bool done = false;
        ~FreeOnFail() {
            if (!done) IMG_free(image);
        }
    } guard{image};
    FILE *f = filename != nullptr ? FILE_open(filename, "r") : nullptr;
    if (f == nullptr) return fail(func, filename, "Unable to open dump file");
    const FileCloser closer(f);
    std::array<unsigned char, HEADER_SIZE> bytes{};
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
        return fail(func, filename, "Unable to read dump file header");
    Header h{};
    for (std::size_t i = 0; i < NUM_FIELDS; ++i)
        h[i] = get_be(bytes.data() + 4 * i, 4);
    if (h[file_version] != VERSION) return fail(func, filename, "XWD file format version mismatch");
    if (h[header_size] < HEADER_SIZE) return fail(func, filename, "XWD header size is too small.");
    if (static_cast<long long>(h[pixmap_depth]) > image->depth)
        return fail(func, filename, "Incorrect depth: %u > %d", h[pixmap_depth], image->depth);
    if (const char *bad = bad_layout(h); bad != nullptr)
        return fail(func, filename, "%s: %ux%u, depth %u, %u bits a pixel, %u bytes a line", bad,
                    h[pixmap_width], h[pixmap_height], h[pixmap_depth], h[bits_per_pixel], h[bytes_per_line]);

    std::string name;
    for (unsigned int i = 0; i < h[header_size] - HEADER_SIZE; ++i) {
        const int c = std::getc(f);
        if (c == EOF) return fail(func, filename, "Unable to read window name from dump file.");
        if (name.size() < sizeof image->info - 1 && name.size() == i && c != 0) name += static_cast<char>(c);
    }
    copy_text(image->info, name);
    image->width = static_cast<int>(h[pixmap_width]);
    image->height = static_cast<int>(h[pixmap_height]);
    image->byte_order = static_cast<int>(h[byte_order]);
    image->depth = static_cast<int>(h[pixmap_depth]);
    image->bytes_line = static_cast<int>(h[bytes_per_line]);
    image->bits_pixel = static_cast<int>(h[bits_per_pixel]);
    if (h[visual_class] == TRUE_COLOR) {
        image->color_type = 0;
        image->red = h[red_mask];
        image->grn = h[green_mask];
        image->blu = h[blue_mask];
    } else {
        image->color_type = 1;
    }
    image->num_colors = 0;
    image->colors = nullptr;
    MESS_print(M_DEBUG, "width: %d\n", image->width);
    MESS_print(M_DEBUG, "height: %d\n", image->height);
    MESS_print(M_DEBUG, "byte_order: %d\n", image->byte_order);
    MESS_print(M_DEBUG, "depth: %d\n", image->depth);
    MESS_print(M_DEBUG, "bytes_per_line: %d\n", image->bytes_line);
    MESS_print(M_DEBUG, "bits_per_pixel: %d\n", image->bits_pixel);
    MESS_print(M_DEBUG, "color type: %d\n", image->color_type);
    MESS_print(M_DEBUG, "num_colors: %u\n", h[ncolors]);

    const int n = static_cast<int>(h[ncolors]);
    if (n > 0) {
        if (!IMG_alloc_colors(image, n)) return fail(func, filename, "Unable to allocate data buffer.");
        for (int i = 0; i < n; ++i) {
            std::array<unsigned char, COLOR_SIZE> e{};
            if (std::fread(e.data(), 1, e.size(), f) != e.size())
                return fail(func, filename, "Unable to read color map from dump file.");
            // An entry names the palette entry it fills by its pixel value.
            const unsigned int pixel = get_be(e.data(), 4);
            if (pixel >= static_cast<unsigned int>(n)) continue;
            image->colors[pixel] = {static_cast<float>(get_be(e.data() + 4, 2)) / 65535.0f,
                                    static_cast<float>(get_be(e.data() + 6, 2)) / 65535.0f,
                                    static_cast<float>(get_be(e.data() + 8, 2)) / 65535.0f};
        }
    }
    if (!IMG_alloc_data(image)) return fail(func, filename, "Unable to allocate data buffer.");
    const std::size_t size =
        static_cast<std::size_t>(image->bytes_line) * static_cast<std::size_t>(image->height);
    if (std::fread(image->data, 1, size, f) != size)
        return fail(func, filename, "Unable to read pixmap from dump file.");
    guard.done = true;
    return 1;
}

int XWD_dump(const char *filename) {
    IMG_report image;
    if (gget_image(&image) != 1) return 0;
    const int rc = XWD_write(filename, &image);
    IMG_free(&image);
    return rc;
}
