// The image record's life cycle, the format-sniffing reader, the native
// image file (reader and writer, raw or in independent zlib chunks) and the
// native window dump; pixel access and the 256-colour reduction shared by
// the image writers.
// File-static state: the plot functions registered for the dump's labels.
#include "graphics/img_tool.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/gif.h"
#include "graphics/gks.h"
#include "graphics/gks_img.h"
#include "graphics/gks_loop_int.h"
#include "graphics/png.h"
#include "graphics/xdump.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

constexpr const char *MAGIC = "ZEQIMG";
constexpr std::size_t CHUNK = 10000;     // pixel bytes compressed into one zlib stream
constexpr std::size_t OUT_BLOCK = 12000; // room for one chunk's stream, and for inflated bytes
constexpr int MAX_RETRIES = 10;          // seconds a short compressed file is waited for
constexpr std::size_t NAME_SIZE = 256;   // the separate pixel file's name
constexpr std::size_t GEOMETRY_SIZE = 400;

IMG_view_offset_func view_offset_func = nullptr;
IMG_label_func label_func = nullptr;

// One header line: its first `max` characters into line, the rest and the
// line feed consumed. false at the end of the file before any character.
bool read_line(FILE *f, std::string &line, std::size_t max) {
    line.clear();
    int c = std::getc(f);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::getc(f))
        if (line.size() < max) line += static_cast<char>(c);
    return true;
}

// Passes over n bytes; false when the file ends first.
bool skip_bytes(FILE *f, long n) {
    for (long i = 0; i < n; ++i)
        if (std::getc(f) == EOF) return false;
    return true;
}

bool is_set(float v) {
    return v != FMISSING;
}

// The geometry line: the size form, or a projection word and the six
// numbers of the domain. Values that do not convert stay missing.
void read_geometry(const std::string &line, IMG_report *image) {
    Domain &d = image->domain;
    int w = 0, h = 0;
    if (std::sscanf(line.c_str(), "%d %d", &w, &h) == 2) {
        image->width = image->bytes_line = d.nx = w;
        image->height = d.ny = h;
        image->depth = 8;
        return;
    }
    const std::size_t end = line.find_first_of(" \t");
    const std::string word = line.substr(0, end);
    const std::string rest = end == std::string::npos ? "" : line.substr(end);
    const std::string key = word.substr(0, 2);
    float v[5] = {FMISSING, FMISSING, FMISSING, FMISSING, FMISSING};
    if (key == "LL") {
        d.proj = 2;
    } else if (key == "ME") {
        d.proj = 3;
    } else if (key == "PS") {
        d.proj = 1;
        if (std::sscanf(word.c_str(), "PS:%f", &v[0]) == 1) d.plon = v[0];
    } else if (key == "LC") {
        d.proj = 4;
        // The full form sets all five; the short form "LC:PLON" only plon.
        const int n = std::sscanf(word.c_str(), "LC:%f:%f:%f:%f:%f", &v[0], &v[1], &v[2], &v[3], &v[4]);
        if (n == 5) {
            d.plat = v[0];
            d.plon = v[1];
            d.param[0] = v[2];
            d.param[1] = v[3];
            d.param[2] = v[4];
        } else if (n >= 1) {
            d.plon = v[0];
        }
    } else if (key == "SA") {
        d.proj = 9;
        const int n = std::sscanf(word.c_str(), "SAT:%f:%f:%f", &v[0], &v[1], &v[2]);
        if (n >= 1) d.plat = v[0];
        if (n >= 2) d.plon = v[1];
        if (n >= 3) d.param[0] = v[2];
    }
    float f[4] = {FMISSING, FMISSING, FMISSING, FMISSING};
    int n[2] = {MISSING, MISSING};
    std::sscanf(rest.c_str(), "%f %f %f %f %d %d", &f[0], &f[1], &f[2], &f[3], &n[0], &n[1]);
    d.clat = f[0];
    d.clon = f[1];
    d.dx = f[2];
    d.dy = f[3];
    d.nx = n[0];
    d.ny = n[1];
    image->depth = 8;
    image->width = image->bytes_line = d.nx;
    image->height = d.ny;
}

bool sizes_ok(long long w, long long h) {
    return w > 0 && h > 0 && w * h <= static_cast<long long>(IMG_MAX_BYTES);
}

// The pixels of the "Z" form: complete zlib streams back to back, each the
// compression of the next 10000 pixel bytes. Data that have not arrived yet
// are waited for, a second at a time, up to 10 times.
bool inflate_pixels(FILE *f, IMG_report *image, const char *filename) {
    const std::size_t expected =
        static_cast<std::size_t>(image->bytes_line) * static_cast<std::size_t>(image->height);
    std::array<unsigned char, CHUNK> in{};
    std::array<unsigned char, OUT_BLOCK> out{};
    std::size_t in_len = 0, in_pos = 0, produced = 0;
    int retries = 0;
    z_stream zs{};
    bool open = false;
    bool out_full = false; // the last call filled the output block: more may be pending
    bool ok = true;
    for (;;) {
        if (in_pos >= in_len && !out_full) {
            in_len = std::fread(in.data(), 1, in.size(), f);
            in_pos = 0;
            if (in_len == 0) {
                if (produced >= expected) break;
                if (retries >= MAX_RETRIES) {
                    MESS_print(M_WARN, "IMG_read_zeq: Compressed pixels end short (%zu of %zu bytes): %s\n",
                               produced, expected, filename);
                    ok = false;
                    break;
                }
                std::clearerr(f);
                gks_clock::get().sleep(1.0f);
                ++retries;
                continue;
            }
        }
        if (!open) {
            zs = z_stream{};
            if (inflateInit(&zs) != Z_OK) {
                MESS_print(M_WARN, "IMG_read_zeq: Unable to start decompression: %s\n", filename);
                return false;
            }
            open = true;
        }
        const std::size_t avail = in_len - in_pos;
        zs.next_in = in.data() + in_pos;
        zs.avail_in = static_cast<uInt>(avail);
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        const int status = inflate(&zs, Z_SYNC_FLUSH);
        const std::size_t made = out.size() - zs.avail_out;
        MESS_print(M_DEBUG_C, "Inflate+ %d = %d %lu = %d %lu - %zu %zu\n", status,
                   static_cast<int>(zs.avail_in), zs.total_in, static_cast<int>(zs.avail_out), zs.total_out,
                   produced, expected);
        // Anything but progress is damage: a stream that asks for a preset
        // dictionary (Z_NEED_DICT, which these files never use) would
        // otherwise be offered the same bytes for ever.
        if (status != Z_OK && status != Z_STREAM_END) {
            MESS_print(M_WARN, "IMG_read_zeq: Compressed pixels damaged (zlib error %d): %s\n", status,
                       filename);
            ok = false;
            break;
        }
        if (produced < expected)
            std::memcpy(image->data + produced, out.data(), std::min(made, expected - produced));
        produced += made;
        in_pos += avail - zs.avail_in;
        out_full = zs.avail_out == 0;
        if (status == Z_STREAM_END) {
            inflateEnd(&zs);
            open = false;
            out_full = false;
        }
    }
    if (open) inflateEnd(&zs);
    return ok;
}

// The native file's separate pixel file ("*"): its name is the word after
// the header; a command or a standard stream is never opened from it.
int read_pixel_file(FILE *f, IMG_report *image, const char *filename) {
    char name[NAME_SIZE] = "";
    if (std::fscanf(f, " %255s", name) != 1) {
        MESS_print(M_WARN, "IMG_read_zeq: No pixel file named in: %s\n", filename);
        return 0;
    }
    if (name[0] == '|' || FILE_is_stdio(name)) {
        MESS_print(M_WARN, "IMG_read_zeq: Pixel file refused: %s (named in %s)\n", name, filename);
        return -1;
    }
    FILE *p = FILE_open(name, "r");
    if (p == nullptr) {
        MESS_print(M_WARN, "IMG_read_zeq: Unable to open: %s\n", name);
        return -1;
    }
    const FileCloser closer(p);
    const std::size_t size =
        static_cast<std::size_t>(image->bytes_line) * static_cast<std::size_t>(image->height);
    const std::size_t got = std::fread(image->data, 1, size, p);
    if (got != size) {
        MESS_print(M_WARN, "IMG_read_zeq: Pixel file shorter than the image (%zu of %zu bytes): %s\n", got,
                   size, name);
        return 0;
    }
    return 1;
}

// ---- Writing ------------------------------------------------------------------

// Writes formatted text; false when the write fails.
[[gnu::format(printf, 2, 3)]] bool put(FILE *f, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vfprintf(f, fmt, ap);
    va_end(ap);
    return n >= 0;
}

// A header text on one line: line feeds would end it early.
std::string one_line(const char *text) {
    std::string s = text;
    for (char &c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

// The geometry line. A domain the reader cannot read back (a projection
// without a word, or a grid that is not the image's size) is written in
// the size form, with a warning.
bool write_geometry(FILE *f, const IMG_report *image, const char *filename) {
    const Domain &d = image->domain;
    if (d.proj == MISSING) return put(f, "%d %d\n", image->width, image->height);
    const bool known = d.proj == 1 || d.proj == 2 || d.proj == 3 || d.proj == 4 || d.proj == 9;
    if (!known || d.nx != image->width || d.ny != image->height) {
        MESS_print(M_WARN,
                   "IMG_write: Domain of projection %d and %dx%d points not written for a %dx%d image: %s\n",
                   d.proj, d.nx, d.ny, image->width, image->height, filename);
        return put(f, "%d %d\n", image->width, image->height);
    }
    bool ok = true;
    switch (d.proj) {
    case 2:
        ok = put(f, "LL ");
        break;
    case 3:
        ok = put(f, "ME ");
        break;
    case 1:
        ok = is_set(d.plon) && d.plon != d.clon ? put(f, "PS:%f ", d.plon) : put(f, "PS ");
        break;
    case 4:
        if (is_set(d.param[0]))
            ok = put(f, "LC:%f:%f:%f:%f:%f ", d.plat, d.plon, d.param[0], d.param[1], d.param[2]);
        else if (is_set(d.plon))
            ok = put(f, "LC:%f ", d.plon);
        else
            ok = put(f, "LC ");
        break;
    default: // 9
        ok = put(f, "SAT:%f:%f", d.plat, d.plon) && (!is_set(d.param[0]) || put(f, ":%f", d.param[0])) &&
             put(f, " ");
        break;
    }
    return ok && put(f, "%f %f %f %f %d %d\n", d.clat, d.clon, d.dx, d.dy, d.nx, d.ny);
}

// One chunk as a complete zlib stream.
bool deflate_chunk(FILE *f, const unsigned char *data, std::size_t size) {
    std::array<unsigned char, OUT_BLOCK> out{};
    z_stream zs{};
    if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
    zs.next_in = const_cast<unsigned char *>(data);
    zs.avail_in = static_cast<uInt>(size);
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&zs, Z_FINISH);
    MESS_print(M_DEBUG_C, "Deflate+ %d = %d %lu = %d %lu\n", status, static_cast<int>(zs.avail_in),
               zs.total_in, static_cast<int>(zs.avail_out), zs.total_out);
    const std::size_t n = out.size() - zs.avail_out;
    deflateEnd(&zs);
    return status == Z_STREAM_END && std::fwrite(out.data(), 1, n, f) == n;
}

// The byte a pixel value becomes in a native file: the mean of the three
// colour bytes of a 32-bit pixel, the low byte of 24- and 16-bit pixels,
// smaller pixels themselves.
unsigned char native_byte(unsigned long v, int bits) {
    if (bits == 32)
        return static_cast<unsigned char>((((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF)) / 3);
    return static_cast<unsigned char>(v & 0xFF);
}

bool write_pixels(FILE *f, const IMG_report *image, bool compress) {
    const std::size_t w = static_cast<std::size_t>(image->width);
    const std::size_t h = static_cast<std::size_t>(image->height);
    std::vector<unsigned char> rows(w * h);
    const int bits = IMG_pixel_bits(image);
    const int row_pixels = std::min(IMG_row_pixels(image), image->width);
    for (std::size_t y = 0; y < h; ++y)
        for (int x = 0; x < row_pixels; ++x)
            rows[y * w + static_cast<std::size_t>(x)] =
                native_byte(IMG_get_pixel(image, x, static_cast<int>(y)), bits);
    if (!compress) return std::fwrite(rows.data(), 1, rows.size(), f) == rows.size();
    for (std::size_t at = 0; at < rows.size(); at += CHUNK)
        if (!deflate_chunk(f, rows.data() + at, std::min(CHUNK, rows.size() - at))) return false;
    return true;
}

} // namespace

// ---- The record -------------------------------------------------------------

int IMG_init(IMG_report *image) {
    image->source = image->version = image->type = 0;
    image->width = image->height = image->depth = 0;
    image->bits_pixel = image->bytes_line = image->num_colors = 0;
    image->datim[0] = image->info[0] = '\0';
    DATE_init(&image->date);
    DOM_init(&image->domain);
    image->byte_order = 1;
    image->trans_color = -1;
    image->colors = nullptr;
    image->data = nullptr;
    return 0;
}

int IMG_free(IMG_report *image) {
    std::free(image->data);
    std::free(image->colors);
    image->data = nullptr;
    image->colors = nullptr;
    image->num_colors = 0;
    return 0;
}

int IMG_copy(IMG_report *image1, const IMG_report *image2) {
    *image1 = *image2;
    image1->data = nullptr;
    image1->colors = nullptr;
    bool ok = true;
    if (image2->data != nullptr) {
        ok = IMG_alloc_data(image1);
        if (ok)
            std::memcpy(image1->data, image2->data,
                        static_cast<std::size_t>(image2->bytes_line) *
                            static_cast<std::size_t>(image2->height));
    }
    if (ok && image2->colors != nullptr && image2->num_colors > 0) {
        ok = IMG_alloc_colors(image1, image2->num_colors);
        if (ok)
            std::memcpy(image1->colors, image2->colors,
                        sizeof(IMG_color) * static_cast<std::size_t>(image2->num_colors));
    } else {
        image1->num_colors = image2->colors != nullptr ? image2->num_colors : 0;
    }
    if (ok) return 0;
    IMG_free(image1);
    MESS_print(M_WARN, "IMG_copy: Unable to allocate the copy of a %dx%d image\n", image2->width,
               image2->height);
    return -1;
}

int IMG_print(M_type lev, const IMG_report *image) {
    MESS_print(lev, "Source: %d\n", image->source);
    MESS_print(lev, "Version: %d\n", image->version);
    MESS_print(lev, "Date: %s\n", image->datim);
    MESS_print(lev, "Info: %s\n", image->info);
    MESS_print(lev, "Type: %d\n", image->type);
    MESS_print(lev, "Size: %dx%d\n", image->width, image->height);
    MESS_print(lev, "Resolution: %.2fx%.2f\n", image->xres, image->yres);
    MESS_print(lev, "Offset: %.2fx%.2f\n", image->xoff, image->yoff);
    MESS_print(lev, "Depth: %d\n", image->depth);
    MESS_print(lev, "Bits per pixel: %d\n", image->bits_pixel);
    MESS_print(lev, "Bytes per line: %d\n", image->bytes_line);
    MESS_print(lev, "Bytes order: %d\n", image->byte_order);
    MESS_print(lev, "Number of colors: %d\n", image->num_colors);
    MESS_print(lev, "Tranparent colors: %d\n", image->trans_color);
    DOM_print(lev, &image->domain);
    return 0;
}

// ---- Files --------------------------------------------------------------------

int IMG_read(const char *filename, IMG_report *image, int type) {
    FILE *f = filename != nullptr ? FILE_open(filename, "r") : nullptr;
    if (f == nullptr) {
        MESS_print(M_WARN, "IMG_read: Unable to open image file: %s\n", filename != nullptr ? filename : "");
        return 0;
    }
    unsigned char head[6] = {};
    std::size_t n = std::fread(head, 1, sizeof head, f);
    IMG_init(image);
    image->depth = gget_win_depth();
    if (type == 1 && image->depth == 0) image->depth = 32;
    if (n >= 3 && std::memcmp(head, "** ", 3) == 0) {
        // A text line before the image: the format is told by what follows it.
        const void *nl = std::memchr(head, '\n', n);
        std::size_t keep = 0;
        if (nl != nullptr) {
            const std::size_t at =
                static_cast<std::size_t>(static_cast<const unsigned char *>(nl) - head) + 1;
            keep = n - at;
            std::memmove(head, head + at, keep);
        } else {
            int c;
            while ((c = std::getc(f)) != EOF && c != '\n') {
            }
        }
        n = keep + std::fread(head + keep, 1, sizeof head - keep, f);
    }
    FILE_close(f);
    int rc = 0;
    if (n >= 3 && std::memcmp(head, "GIF", 3) == 0)
        rc = GIF_read(filename, image, type);
    else if (n >= 4 && std::memcmp(head + 1, "PNG", 3) == 0)
        rc = PNG_read(filename, image, type);
    else if (n >= 3 && std::memcmp(head, "ZEQ", 3) == 0)
        rc = IMG_read_zeq(filename, image, type);
    else
        rc = XWD_read(filename, image, type);
    if (rc == 1) return 1;
    IMG_free(image);
    return 0;
}

int IMG_read_zeq(const char *filename, IMG_report *image, int) {
    FILE *f = filename != nullptr ? FILE_open(filename, "r") : nullptr;
    if (f == nullptr) {
        MESS_print(M_WARN, "IMG_read_zeq: Unable to open: %s\n", filename != nullptr ? filename : "");
        return -1;
    }
    const FileCloser closer(f);
    std::string line;
    if (!read_line(f, line, 80) || line.compare(0, 6, MAGIC) != 0) {
        MESS_print(M_WARN, "IMG_read_zeq: Invalid image type: %s\n", filename);
        return -1;
    }
    const std::string flags = line.substr(6);
    const auto flag = [&flags](char c) { return flags.find(c) != std::string::npos; };

    IMG_init(image);
    image->source = IMG_SOURCE_NATIVE;
    read_line(f, line, sizeof image->datim - 1);
    copy_text(image->datim, line);
    DATE_decode_label(image->datim, &image->date);
    read_line(f, line, sizeof image->info - 1);
    copy_text(image->info, line);
    read_line(f, line, GEOMETRY_SIZE);
    if (flag('4')) {
        DOM_decode(line.c_str(), &image->domain);
        image->depth = 8;
        image->width = image->bytes_line = image->domain.nx;
        image->height = image->domain.ny;
    } else {
        read_geometry(line, image);
    }
    if (!sizes_ok(image->width, image->height)) {
        MESS_print(M_WARN, "IMG_read_zeq: Image size %dx%d out of range: %s\n", image->width, image->height,
                   filename);
        return 0;
    }
    if (flag('V')) skip_bytes(f, 1024);
    if (flag('C')) {
        unsigned char b[2] = {};
        skip_bytes(f, 2);
        if (std::fread(b, 1, 2, f) == 2 && static_cast<signed char>(b[1]) < 0) {
            MESS_print(M_WARN, "IMG_read_zeq: Negative block size %d: %s\n", static_cast<signed char>(b[1]),
                       filename);
            return 0;
        }
        skip_bytes(f, 2L * static_cast<signed char>(b[1]));
    }
    if (!IMG_alloc_data(image)) {
        MESS_print(M_WARN, "IMG_read_zeq: Unable to allocate data buffer: %s\n", filename);
        return 0;
    }
    int rc = 1;
    if (flag('*')) {
        rc = read_pixel_file(f, image, filename);
    } else if (flag('Z')) {
        rc = inflate_pixels(f, image, filename) ? 1 : 0;
    } else {
        const std::size_t size =
            static_cast<std::size_t>(image->bytes_line) * static_cast<std::size_t>(image->height);
        const std::size_t got = std::fread(image->data, 1, size, f);
        if (got != size) {
            MESS_print(M_WARN,
                       "IMG_read_zeq: File shorter than its header says (%zu of %zu pixel bytes): %s\n", got,
                       size, filename);
            rc = 0;
        }
    }
    if (rc != 1) IMG_free(image);
    return rc;
}

int IMG_write(const char *filename, const IMG_report *image, int type) {
    if (IMG_pixel_bits(image) == 0 || !sizes_ok(image->width, image->height) || image->data == nullptr) {
        MESS_print(M_WARN, "IMG_write: No %dx%d image of depth %d to write: %s\n", image->width,
                   image->height, image->depth, filename != nullptr ? filename : "");
        return 0;
    }
    FILE *f = filename != nullptr ? FILE_open(filename, "wb") : nullptr;
    if (f == nullptr) {
        MESS_print(M_WARN, "IMG_write: Unable to open: %s\n", filename != nullptr ? filename : "");
        return 0;
    }
    const bool compress = type == 1 && image->depth == 8 && image->num_colors <= 0;
    bool ok = put(f, "%s\n", compress ? "ZEQIMGZ" : MAGIC) &&
              put(f, "%s\n", one_line(image->datim).c_str()) &&
              put(f, "%s\n", one_line(image->info).c_str()) && write_geometry(f, image, filename) &&
              write_pixels(f, image, compress);
    if (FILE_close_output(f) != 0) ok = false;
    if (!ok) {
        MESS_print(M_WARN, "IMG_write: Unable to write: %s\n", filename);
        return 0;
    }
    return 1;
}

int IMG_dump(const char *filename) {
    IMG_report image;
    if (gget_image(&image) != 1) return 0;
    const float offset = view_offset_func != nullptr ? view_offset_func() : 0.0f;
    if (offset <= 0.7f) {
        Domain &d = image.domain;
        MAP_get_domain(&d);
        // One grid point a pixel: the spacing over the image's size.
        if (d.proj != MISSING && d.nx != image.width && d.nx > 1 && d.ny > 1 && image.width > 1 &&
            image.height > 1) {
            d.dx = static_cast<float>(d.nx - 1) / static_cast<float>(image.width - 1) * d.dx;
            d.dy = static_cast<float>(d.ny - 1) / static_cast<float>(image.height - 1) * d.dy;
            d.nx = image.width;
            d.ny = image.height;
        }
    }
    const auto label = [](int lab) { return label_func != nullptr ? label_func(lab, 0) : ""; };
    const std::string info = std::string(label(0)) + " [" + label(5) + "]";
    copy_text(image.info, info);
    copy_text(image.datim, label(2));
    const int rc = IMG_write(filename, &image, 0);
    IMG_free(&image);
    return rc == 1 ? 1 : 0;
}

int IMG_set_plot_labels(IMG_view_offset_func offset, IMG_label_func label) {
    view_offset_func = offset;
    label_func = label;
    return 0;
}

// ---- Pixels -----------------------------------------------------------------------

bool IMG_alloc_data(IMG_report *image) {
    image->data = nullptr;
    const long long bytes = static_cast<long long>(image->bytes_line) * image->height;
    if (image->width <= 0 || image->height <= 0 || image->bytes_line <= 0 ||
        bytes > static_cast<long long>(IMG_MAX_BYTES))
        return false;
    image->data = static_cast<unsigned char *>(std::calloc(static_cast<std::size_t>(bytes), 1));
    return image->data != nullptr;
}

bool IMG_alloc_colors(IMG_report *image, int n) {
    image->colors = nullptr;
    image->num_colors = 0;
    if (n < 1 || n > 65536) return false;
    image->colors = static_cast<IMG_color *>(std::calloc(static_cast<std::size_t>(n), sizeof(IMG_color)));
    if (image->colors == nullptr) return false;
    image->num_colors = n;
    return true;
}

int IMG_pixel_bits(const IMG_report *image) {
    if (image->bits_pixel == 32) return 32;
    switch (image->depth) {
    case 24:
        return image->bits_pixel == 24 || image->bits_pixel == 0 ? 24 : 0;
    case 16:
    case 15:
        return image->bits_pixel == 16 || image->bits_pixel == 0 ? 16 : 0;
    case 8:
    case 4:
    case 1:
        return image->bits_pixel == image->depth || image->bits_pixel == 0 ? image->depth : 0;
    default:
        return 0;
    }
}

int IMG_row_pixels(const IMG_report *image) {
    const int bits = IMG_pixel_bits(image);
    if (bits == 0 || image->bytes_line <= 0) return 0;
    return static_cast<int>(static_cast<long long>(image->bytes_line) * 8 / bits);
}

unsigned long IMG_get_pixel(const IMG_report *image, int x, int y) {
    const unsigned char *row =
        image->data + static_cast<std::size_t>(y) * static_cast<std::size_t>(image->bytes_line);
    const bool msb = image->byte_order == 1;
    const std::size_t ux = static_cast<std::size_t>(x);
    switch (IMG_pixel_bits(image)) {
    case 32: {
        const unsigned char *p = row + ux * 4;
        return msb ? (static_cast<unsigned long>(p[1]) << 16) | (p[2] << 8) | p[3]
                   : (static_cast<unsigned long>(p[2]) << 16) | (p[1] << 8) | p[0];
    }
    case 24: {
        const unsigned char *p = row + ux * 3;
        return msb ? (static_cast<unsigned long>(p[0]) << 16) | (p[1] << 8) | p[2]
                   : (static_cast<unsigned long>(p[2]) << 16) | (p[1] << 8) | p[0];
    }
    case 16: {
        const unsigned char *p = row + ux * 2;
        return msb ? static_cast<unsigned long>((p[0] << 8) | p[1])
                   : static_cast<unsigned long>((p[1] << 8) | p[0]);
    }
    case 8:
        return row[ux];
    case 4:
        return (x % 2 == 0) ? row[ux / 2] >> 4 : row[ux / 2] & 0x0F;
    case 1:
        return (row[ux / 8] >> (ux % 8)) & 1;
    default:
        return 0;
    }
}

namespace {

// Shift (zero bits below) and width (one bits) of a channel mask.
void mask_bits(unsigned long mask, int *shift, int *ones) {
    *shift = *ones = 0;
    if (mask == 0) return;
    while ((mask & 1) == 0) {
        mask >>= 1;
        ++*shift;
    }
    while ((mask & 1) != 0) {
        mask >>= 1;
        ++*ones;
    }
}

// A channel brought to 8 bits: its masked bits shifted down, then scaled up
// (or down, for channels wider than 8 bits).
unsigned char channel(unsigned long v, unsigned long mask, int shift, int ones) {
    const unsigned long c = (v & mask) >> shift;
    return static_cast<unsigned char>(ones <= 8 ? (c << (8 - ones)) & 0xFF : c >> (ones - 8));
}

} // namespace

bool IMG_index_colors(const IMG_report *image, unsigned long background, IMG_indexed *out, const char *func) {
    const int bits = IMG_pixel_bits(image);
    if (bits == 0 || image->data == nullptr || !sizes_ok(image->width, image->height)) {
        MESS_print(M_WARN, "%s: Images of depth %d and %d bits a pixel are not written\n", func, image->depth,
                   image->bits_pixel);
        return false;
    }
    const std::size_t w = static_cast<std::size_t>(image->width);
    out->index.assign(w * static_cast<std::size_t>(image->height), 0);
    out->num_colors = 0;
    out->trans_index = -1;
    std::memset(out->rgb, 0, sizeof out->rgb);
    const bool palette = image->color_type == 1 && image->colors != nullptr && image->num_colors > 0;
    const bool grey = !palette && bits <= 8;
    int sh[3] = {}, ones[3] = {};
    const unsigned long masks[3] = {image->red, image->grn, image->blu};
    if (!palette && !grey) {
        for (int c = 0; c < 3; ++c)
            mask_bits(masks[c], &sh[c], &ones[c]);
        MESS_print(M_DEBUG_C, "mask: %d-%d %d-%d %d-%d\n", sh[0], 8 - ones[0], sh[1], 8 - ones[1], sh[2],
                   8 - ones[2]);
    }
    const int grey_scale = bits == 4 ? 17 : bits == 1 ? 255 : 1;
    std::unordered_map<unsigned long, int> seen;
    const int row_pixels = std::min(IMG_row_pixels(image), image->width);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long v = x < row_pixels ? IMG_get_pixel(image, x, y) : 0;
            int ind = 0;
            const auto it = seen.find(v);
            if (it != seen.end()) {
                ind = it->second;
            } else if (out->num_colors < 256) {
                ind = out->num_colors++;
                seen.emplace(v, ind);
                unsigned char *rgb = out->rgb[ind];
                if (palette) {
                    if (v < static_cast<unsigned long>(image->num_colors)) {
                        const IMG_color &c = image->colors[v];
                        rgb[0] = static_cast<unsigned char>(std::clamp(c.r, 0.0f, 1.0f) * 255);
                        rgb[1] = static_cast<unsigned char>(std::clamp(c.g, 0.0f, 1.0f) * 255);
                        rgb[2] = static_cast<unsigned char>(std::clamp(c.b, 0.0f, 1.0f) * 255);
                    }
                } else if (grey) {
                    rgb[0] = rgb[1] = rgb[2] =
                        static_cast<unsigned char>(v * static_cast<unsigned long>(grey_scale));
                } else {
                    for (int c = 0; c < 3; ++c)
                        rgb[c] = channel(v, masks[c], sh[c], ones[c]);
                }
                if (v == background && out->trans_index < 0) out->trans_index = ind;
            }
            out->index[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] =
                static_cast<unsigned char>(ind);
        }
    }
    return true;
}
