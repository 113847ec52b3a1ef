// The HP-GL/2 driver.
#pragma once

#include <cstdio>

// Opens the output; the stream, or null.
FILE *ghpgl_open_file(const char *filename);
// Writes the trailer and closes the output; 0, or -1 when none is open.
int ghpgl_close_file();
// Writes formatted text while the output is open. 0.
[[gnu::format(printf, 1, 2)]] int ghpgl_printf(const char *format, ...);
