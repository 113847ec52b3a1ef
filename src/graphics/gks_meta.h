// Metafile output: the stream of the text metafile (one text record per
// kernel call) and of the binary CGM, and the CGM element writer.
#pragma once

#include <cstdio>

#include "graphics/gks.h"

// Metafile kinds.
inline constexpr int META_TEXT = 0;
inline constexpr int META_CGM = 1;

// The kind of the next open (it keeps its value from one open to the next). 0.
int gmeta_set_type(int type);
int gmeta_get_type();
// Opens the output: "|command" pipes into the command, "+name" appends
// (no header), any other name is created. The stream, or null.
FILE *gmeta_open_file(const char *filename);
// Writes the header of the current kind unless appending. 0.
int gmeta_init_file();
// Writes a formatted record on an open text metafile. 0.
[[gnu::format(printf, 1, 2)]] int gmeta_printf(const char *format, ...);
// A point record of a text metafile: the keyword, the count and "x,y " per
// point, with a line break and three blanks after every 4th point. Polylines
// (last_break false) break only before a further point and end the record
// with a line feed; fill areas and markers (last_break true) break after the
// last point too and end with a line feed only when the count is not a
// multiple of 4. 0.
int gmeta_point_list(const char *key, int num_pt, const Gpt *array_pt, bool last_break);
// Ends and closes the output: 0; -1 when none is open or the output could
// not be completed (with a warning naming it).
int gmeta_close_file();

// One CGM command header (and its parameter); -1 when no CGM is open, else 0.
int gcgm_control(int cls, int id, int len, int param);
// A CGM point from world coordinates, and one already in print units. 0.
int gcgm_point(float x, float y);
int gcgm_ps_point(float x, float y);
