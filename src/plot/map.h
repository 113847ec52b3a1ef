// Map backgrounds: the current projection as the map window of
// transformation 2, the map list of resource map_file (map database files,
// list files, regional blocks, size tests, latitude-longitude items and the
// image, metafile and point-data overlays), the latitude-longitude net with
// its labels (an axis grid on diagrams) and range circles.
#pragma once

#include <cstdio>

#include "graphics/gks.h"

struct Domain;

// ---- The map window ------------------------------------------------------------------

// Makes the domain the current projection, sets the window of transformation
// 2 to its plane limits and selects transformation 2. 0.
int MAP_setup(Domain *domain);
// The window of transformation 2. 0.
int MAP_get_window(Glim *wind);
// Height (y_max - y_min) and width of the window of transformation 2, in
// plane units (100 km; degrees on latitude-longitude maps).
float MAP_get_vert();
float MAP_get_hor();

// ---- The map list --------------------------------------------------------------------

// The default attribute string of map database items that carry none (at
// most 39 characters). 0.
int MAP_set_format(const char *str);
// 1 while contours are colour-filled: map outlines then default to resource
// color_cmap over "black" instead of color_map over "red". 0.
int MAP_fill_cont(int value);
// Sets the map list (at most 249 characters; a longer one is cut with a
// warning). Resource map_file, when set, replaces it at the next MAP_draw. 0.
int MAP_file(const char *file);
// Draws the items of the map list whose sign matches flag (bit 1 items
// beginning with '-', bit 2 with '+', bit 4 unsigned items), then the net of
// MAP_latlon when its latitude spacing is above 0. Without a map list the
// default is "zeq.map" for a North American domain (centre 25..80 N,
// 160..65 W, height below 75), else "cont.map,country.map", chosen once. 0.
int MAP_draw(int flag);
// Handles one item of the map list: 0 when something was drawn or read, -1
// when it was skipped, was a block header, cannot be drawn yet or its file
// cannot be opened.
int MAP_process(const char *str);
// Draws an open map database file (text or big-endian binary records) with
// the current line attributes, or filled after an item with a fill pattern.
// 0 after a zero-count record; -1 when the file ends without one or inside a
// record (the points read are drawn; a warning names `name`); 1 (nothing
// read) when the current projection is not a map projection (1 to 9).
int MAP_map(FILE *map_file, const char *name = nullptr);

// ---- Latitude-longitude net and range circles ---------------------------------------

// The spacings MAP_draw draws the net with (latitude and longitude lines in
// degrees, dots and extra labels every dt and ex degrees; 0 or below none). 0.
int MAP_latlon(float lat, float lon, int dt, int ex);
// Copies the latitude and longitude spacings. 0.
int MAP_get_latlon(float *lat, float *lon);
// Draws the net with its edge labels on a map projection (0), or the axis
// grid with numeric labels on a diagram (-1), with the current line and text
// attributes. -1 with nothing drawn for a missing spacing (-9999), a spacing
// of 0 (or below 0 on a map), or one so small that a family of lines would
// pass 3600 (latitude spacings below 0.05, longitude spacings below 0.1 degrees).
int MAP_lines(float dlat, float dlon);
// A circle of rad km around the plane point (x, y): one closed 49-point
// polyline through the points at bearings 0, 7.5, ..., 360 degrees (points
// that cannot be placed break it). 0.
int MAP_draw_circle(float x, float y, float rad);

// ---- The stand-alone map plot -------------------------------------------------------

// Plots the map of domain with the items of resource filename over it: label
// formats "ul:".."lr:", texts "xy:X:Y:TEXT" and "text:LAT:LON:TEXT", markers
// "mark:LAT:LON:TYPE", range circles "range:LAT:LON:NM", "map" (the unsigned
// map items) and data files (point data, metafiles; gridded and contoured
// for the contour plot types); the station database when only labels are
// given and resource stat_prior or identifier is set; labels, colour bar and
// image output. Opens the plot when none is open (and closes it after),
// else resets it; registers itself for zoom and resize. 0.
int MAP_plot(Domain *domain);
// Its event callback: value read-out, zoom and resize.
void MAP_callback(int type, const char *str, float x, float y);
