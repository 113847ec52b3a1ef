// PNG files of window images: written as 8-bit palette images with title,
// software and time text chunks, read back for image overlays.
#pragma once

#include "graphics/zeqimg.h"

// Writes an image as a PNG file. 1, or 0 with a warning naming the file.
int PNG_write(const char *filename, const IMG_report *image);
// Reads a PNG file into image (type 1: only its header). 1, or 0.
int PNG_read(const char *filename, IMG_report *image, int type);
// Writes the image of the window's drawing drawable to a PNG file. 1, or 0
// when it was not written.
int PNG_dump(const char *filename);
