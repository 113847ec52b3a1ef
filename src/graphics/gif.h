// GIF files of window images: written as GIF89a with a global colour table
// of at most 256 colours (interlaced and with a transparent background on
// request), read back for image overlays.
#pragma once

#include "graphics/zeqimg.h"

// Interlaced images and the transparency extension in later writes (1 on,
// 0 off). 0.
int GIF_interlace(int val);
int GIF_transparent(int val);
// Writes an image as a GIF file. 1, or 0 with a warning naming the file.
int GIF_write(const char *filename, const IMG_report *image);
// Reads the first image of a GIF file into an 8-bit palette record (type 1:
// only the sizes and colour count). 1, or 0 with a warning naming the file.
int GIF_read(const char *filename, IMG_report *image, int type);
// Writes the image of the window's drawing drawable to a GIF file. 1, or 0
// when it was not written.
int GIF_dump(const char *filename);
