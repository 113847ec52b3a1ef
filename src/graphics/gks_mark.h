// Markers: a small figure drawn centred on each of a list of points, in
// device units, with a colour, a type, a size and a line width.
#pragma once

#include "graphics/gks.h"

// Marker types.
inline constexpr Gint GMK_POINT = 1;
inline constexpr Gint GMK_PLUS = 2;
inline constexpr Gint GMK_STAR = 3;
inline constexpr Gint GMK_CIRCLE = 4;
inline constexpr Gint GMK_X = 5;
inline constexpr Gint GMK_SQUARE = 6;
inline constexpr Gint GMK_TRI = 7;
inline constexpr Gint GMK_DOT = 8;
inline constexpr Gint GMK_ITRI = 9;

// Draws a marker at each point (world coordinates). 0, or -1 after a report.
Gint gpolymarker(Gint num_pt, const Gpt *array_pt);
// Attribute setters: 0 set or unchanged, -1 after a report (nothing changes).
Gint gset_marker_colr_ind(Gint marker_colr_ind);
Gint gset_marker_size(Gfloat marker_size);
Gint gset_marker_type(Gint markertype);
Gint gset_marker_width(Gfloat markwidth);
int gget_marker_colr();
// Builds the figure of the current type around (x, y) in device units, size
// device units across, and draws it. 0.
int draw_marker(float x, float y, float size);
// Draws one piece of a figure (points in device units): a single point, or a
// connected line. 0.
int mark_draw(int npt, const Gpt *pts);
// Device set-up of markers for an initialisation kind. 0.
int ginit_marker(int type);
// Restores colour 1, type 1, width 1 and size factor 10. 0.
int greset_marker();
