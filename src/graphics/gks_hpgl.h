// The HP-GL/2 driver: the output stream (plain HP-GL/2 or wrapped in PCL),
// prologue and trailer, pen shading, fill shading, pen width and line type
// written only on change, and pen moves in plotter units.
#pragma once

#include <cstdio>

// Opens the output: "|command" pipes into the command, "+name" appends to
// the file (no prologue framing, no trailer), any other name is created. The
// stream, or null when it cannot be opened (or one is open already).
FILE *ghpgl_open_file(const char *filename);
// PCL on and the pen shading, width and line type back to their defaults,
// before the options of an open are read. 0.
int ghpgl_init();
// 0 plain HP-GL/2, 1 inside PCL, 2 inside PCL and turned 90 degrees. 0.
int ghpgl_set_pcl(int val);
// Rotation in degrees (0, 90, 180 or 270 are written). 0.
int ghpgl_set_rotate(int val);
// Scale factor (kept, not applied) and pen width of width 1 in mm. 0.
int ghpgl_set_scale(float val);
int ghpgl_set_base_width(float val);
// The driver's own gray of a colour slot 0-256 (-1 the slot 256). 0.
int ghpgl_set_color_rep(int ind, float red, float green, float blue);
// Colour output and reversed grays on (1) or off (0). 1.
int ghpgl_set_colorPS(int val);
int ghpgl_set_reverse(int val);
int ghpgl_get_colorPS();
// Pen shading, fill shading, pen width and line type brought up to date. 0.
int ghpgl_set_color(int color);
int ghpgl_set_fill_color(int color);
int ghpgl_set_width(int color, float width);
int ghpgl_set_type(int type);
// Writes formatted text while the output is open. 0.
[[gnu::format(printf, 1, 2)]] int ghpgl_printf(const char *format, ...);
// Pen up and pen down moves, in world coordinates and in plotter units. 0.
int ghpgl_move(float x, float y);
int ghpgl_line(float x, float y);
int ghpgl_move_abs(float x, float y);
int ghpgl_line_abs(float x, float y);
// The prologue; it also forgets every value last written. 0.
int ghpgl_init_file();
// Writes the trailer and closes the output: 0; -1 when none is open or the
// output could not be completed (with a warning naming it).
int ghpgl_close_file();
