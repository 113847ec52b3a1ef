// X window dump (XWD) files of window images: file version 7, Z pixmaps,
// the header and colour entries big-endian, the pixels as the capture holds
// them. Failures are reported on the standard error stream.
#pragma once

#include "graphics/zeqimg.h"

// Writes an image as an XWD file. 1, or 0 when it was not written.
int XWD_write(const char *filename, const IMG_report *image);
// Reads an XWD file into image, whose depth on entry is the deepest pixmap
// accepted (type is not used). 1, or 0 (image then without pixels).
int XWD_read(const char *filename, IMG_report *image, int type);
// Writes the image of the window's drawing drawable to an XWD file. 1, or 0
// when it was not written.
int XWD_dump(const char *filename);
