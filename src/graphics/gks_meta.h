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

// Points of one CGM POLYLINE element: 4 bytes each within the 32767 bytes
// of a long-form parameter.
inline constexpr int CGM_MAX_POINTS = 8191;

// One CGM command header: class, element id and parameter length (31: the
// long form, whose length is param); param follows as two bytes when it is
// above 0 or the form is long. -1 when no CGM is open, else 0.
int gcgm_control(int cls, int id, int len, int param);
// A CGM point from world coordinates, and one already in print units: both
// written at ten times the print units (the header's VDC extent is ten times
// the page), truncated and held to 16 bits. 0.
int gcgm_point(float x, float y);
int gcgm_ps_point(float x, float y);
// Stroke attributes have no CGM form. 0.
int gcgm_set_color(int color);
int gcgm_set_fill_color(int color);
int gcgm_set_width(int color, float width);
// Records the line type; -1 when it is the one recorded, else 0.
int gcgm_set_type(int type);

// Replays a text metafile through the kernel onto the open workstation: its
// transformations, colours, attributes and primitives. The file is opened as
// named (never a command or a standard stream). 0; -1 when it cannot be
// opened. A record that does not read ends the replay with a warning naming
// the file and line.
int gread_metafile(const char *filename);
