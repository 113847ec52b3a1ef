// The image record every image travels in: captured from the window, read
// from a file (native, GIF, PNG, XWD) or about to be written.
#pragma once

#include "fields/zeqgrd.h"
#include "runtime/zeq.h"

// One palette entry, each component 0-1.
struct IMG_color {
    float r;
    float g;
    float b;
};

// The producer code of images read from a native file.
inline constexpr int IMG_SOURCE_NATIVE = 50;

// An image. data and colors are allocated with malloc by whoever fills the
// record and belong to it: IMG_free releases both. Every producer allocates
// bytes_line x height bytes of data. Every field starts zeroed so that a
// record on the stack holds no indeterminate value before IMG_init.
struct IMG_report {
    int source = 0;   // 50 for a native file, else 0
    int type = 0;     // always 0
    int version = 0;  // 0
    char datim[50]{}; // date label text
    Date date{};      // the date label decoded
    char info[75]{};  // plot labels, window name or a format tag ("GIF", "PNG")
    int width = 0;    // pixels
    int height = 0;   // pixels
    int depth = 0;    // significant bits per pixel
    float xres = 0;   // resolution and offset: printed only
    float yres = 0;
    float xoff = 0;
    float yoff = 0;
    int bits_pixel = 0;   // storage bits per pixel (0: as depth)
    int bytes_line = 0;   // bytes per row of data
    int byte_order = 0;   // multi-byte pixels: 0 least significant byte first, 1 most
    int color_type = 0;   // 0 true colour (the masks select the channels), 1 palette indices
    int num_colors = 0;   // entries in colors; 0 no palette
    unsigned int red = 0; // channel masks of true-colour pixels
    unsigned int grn = 0;
    unsigned int blu = 0;
    IMG_color *colors = nullptr;   // palette; 8-bit pixels without one are grey levels
    int trans_color = -1;          // transparent index, -1 none
    Domain domain{};               // map geometry; proj -9999 none
    unsigned char *data = nullptr; // height rows of bytes_line bytes, top row first
};
