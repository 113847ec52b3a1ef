// The image record's life cycle, the reader that sniffs a file's format and
// hands it to its reader, the native image file ("ZEQIMG": 8-bit pixels
// under four text lines, raw or in zlib chunks, optionally with the map
// domain) and the window dump into it. Also the pixel access and the
// reduction to a 256-colour palette that the image writers share.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "graphics/zeqimg.h"
#include "runtime/files.h"
#include "runtime/zeq.h"

// ---- The record -------------------------------------------------------------

// Sizes, counts and texts empty, date and domain missing, byte order 1, no
// transparent colour, no buffers. The resolution, offset, colour type and
// masks are left as they are. 0.
int IMG_init(IMG_report *image);
// Releases data and colors, nulls both and sets num_colors to 0. 0.
int IMG_free(IMG_report *image);
// Makes image1 a copy of image2 with buffers of its own (bytes_line x height
// pixel bytes and num_colors palette entries). 0, or -1 with a warning when
// a buffer cannot be had (image1 then holds none).
int IMG_copy(IMG_report *image1, const IMG_report *image2);
// Prints the fields one a line at message kind lev, then the domain. 0.
int IMG_print(M_type lev, const IMG_report *image);

// ---- Files --------------------------------------------------------------------

// Reads a native, GIF, PNG or XWD file into image (type 1: GIF and PNG stop
// after the header). 1, or 0 (the record initialised, without buffers).
int IMG_read(const char *filename, IMG_report *image, int type);
// Reads a native file: 1; -1 when the file, or its separate pixel file,
// cannot be opened or the magic is wrong; 0 when the sizes are out of range
// or the pixels cannot be read (with a warning naming the file).
int IMG_read_zeq(const char *filename, IMG_report *image, int type);
// Writes image as a native file, compressed in zlib chunks for type 1 (8-bit
// images without palette only; others are converted to one byte a pixel and
// written raw). 1, or 0 with a warning naming the file.
int IMG_write(const char *filename, const IMG_report *image, int type);
// Captures the window and writes it as a raw native file with the current
// map domain (one point a pixel) and the plot labels. 1, or 0.
int IMG_dump(const char *filename);

// The plot layer's view margin and label texts (position, overlay) that
// IMG_dump writes; registered by the program at start-up. Null unregisters:
// the margin is then 0 and the labels empty. 0.
using IMG_view_offset_func = float (*)();
using IMG_label_func = const char *(*)(int lab, int over);
int IMG_set_plot_labels(IMG_view_offset_func offset, IMG_label_func label);

// ---- Pixels, shared by the image modules ----------------------------------------

// Closes a stream of FILE_open (FILE_close) when it goes out of scope;
// nothing for null.
struct FileCloser {
    FILE *f;
    explicit FileCloser(FILE *file) : f(file) {}
    ~FileCloser() {
        if (f != nullptr) FILE_close(f);
    }
    FileCloser(const FileCloser &) = delete;
    FileCloser &operator=(const FileCloser &) = delete;
};

// The largest pixel buffer any reader or capture allocates.
inline constexpr std::size_t IMG_MAX_BYTES = std::size_t{1} << 26;

// A zeroed buffer of bytes_line x height bytes into image->data: false (and
// no buffer) when width, height or bytes_line is not positive or the
// buffer would be larger than IMG_MAX_BYTES, or when none can be had.
bool IMG_alloc_data(IMG_report *image);
// A zeroed palette of n entries into image->colors and num_colors: false
// (and none) for n outside 1..65536 or when none can be had.
bool IMG_alloc_colors(IMG_report *image, int n);
// The storage bits of one pixel of data: 32, 24 (3-byte pixels), 16, 8, 4
// or 1; 0 for a layout the image code does not handle.
int IMG_pixel_bits(const IMG_report *image);
// The whole pixels a row of data holds (0 for an unhandled layout).
int IMG_row_pixels(const IMG_report *image);
// The value of pixel (x, y), x below IMG_row_pixels and y below height:
// 32-bit pixels the three bytes after (byte order 1) or below (0) the
// unused one, 24- and 16-bit pixels their bytes as one number in the byte
// order, smaller pixels their byte, nibble (high first) or bit (lowest
// first).
unsigned long IMG_get_pixel(const IMG_report *image, int x, int y);

// An image reduced to at most 256 colours for the palette writers.
struct IMG_indexed {
    std::vector<unsigned char> index; // width x height palette indices
    int num_colors = 0;               // entries in use
    unsigned char rgb[256][3]{};      // their red, green, blue; unused black
    int trans_index = -1;             // the entry of the first background pixel, -1 none
};
// Gives each distinct pixel value an entry in order of first appearance
// (further values after 256 take index 0). An entry's colour is the palette
// colour of a palette image (black for values beyond the palette), the grey
// level of an image of at most 8 bits without palette, else the channels
// the masks select. false (with a warning under func) for an unhandled
// layout or sizes out of range.
bool IMG_index_colors(const IMG_report *image, unsigned long background, IMG_indexed *out, const char *func);
