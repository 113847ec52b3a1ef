// X window dump (XWD) files of window images. Failures are reported on the
// standard error stream.
#pragma once

// Writes the image of the window's drawing drawable to an XWD file. 1, or 0
// when it was not written.
int XWD_dump(const char *filename);
