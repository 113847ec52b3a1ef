// The PostScript and EPS driver: the output stream, prologue and trailer,
// the colour, gray, width and dash operators written only on change, moves
// and lines in print units, and the gray table of the colour slots (also
// read by the HP-GL driver).
#pragma once

#include <cstdio>
#include <string>

// Opens the output of a print driver: "|command" pipes into the command
// ("Spooling to: "), "+name" appends to the file ("Appending to: ", *append
// set to 1), any other name is created ("Creating: "). The stream, or null.
FILE *gprint_open(const char *filename, int *append);
// Closes such an output: 0 after the message done; -1 with a warning of func
// naming the output when it could not be completed.
int gprint_close(FILE *stream, const std::string &name, const char *func, const char *done);

struct IMG_report;

// Opens the output: "|command" pipes into the command, "+name" appends to
// the file (reduced prologue and trailer), any other name is created. The
// stream, or null when it cannot be opened (or one is open already).
FILE *gps_open_file(const char *filename);
// Forgets the operators last written. 0.
int gps_init();
// Page size in inches. 0.
int gps_set_size(float x, float y);
// EPS, portrait, colour and reversed grays on (1) or off (0). 1.
int gps_set_EPS(int val);
int gps_set_orient(int val);
int gps_set_colorPS(int val);
int gps_set_reverse(int val);
// Overall scale factor. 1.
int gps_set_scale(float val);
// Base line width factor. 0.
int gps_set_base_width(int width);
int gps_get_colorPS();
// Gray of a colour slot 0-256 (-1 the background slot 256). 0.
int gps_set_color_rep(int ind, float red, float green, float blue);
float gps_get_gray(int ind);
// Line colour, fill colour, line width and dash pattern brought up to date. 0.
int gps_set_color(int color);
int gps_set_fill_color(int color);
int gps_set_width(int color, float width);
int gps_set_type(int type);
// Writes formatted text while the output is open. 0.
[[gnu::format(printf, 1, 2)]] int gps_printf(const char *format, ...);
// Writes the comment "%%TAG:count" that opens a primitive (tag at most 16
// characters). 0.
int gps_count_comment(const char *tag, int count);
// Move and line in world coordinates, and in print units. 0.
int gps_move(float x, float y);
int gps_line(float x, float y);
int gps_move_abs(float x, float y);
int gps_line_abs(float x, float y);
// The prologue. 0.
int gps_init_file();
// Writes the trailer and closes the output: 0; -1 when none is open or the
// output could not be completed (with a warning naming it).
int gps_close_file();
// Writes an 8-bit image over the current viewport (print units), its pixel
// (x, y) at the viewport's top-left corner: exactly the viewport's size in
// points, one point a pixel, white where the image does not reach (a
// negative offset leaves that many blank pixels first). Gray output writes
// the pixel values as grays, colour output the colour-table entries they
// index. 0; -1 with a warning for an image of another depth.
int gps_image(const IMG_report *image, int x, int y);
