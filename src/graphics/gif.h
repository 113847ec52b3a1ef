// GIF files of window images.
#pragma once

// Writes the image of the window's drawing drawable to a GIF file. 1, or 0
// when it was not written.
int GIF_dump(const char *filename);
