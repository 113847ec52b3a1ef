// Wind symbols: barbs, arrows and storm tracks drawn at a world point with
// the kernel's current line, fill and colour attributes.
#pragma once

// Directions are degrees clockwise from north (a wind direction is where the
// wind blows from); positions and sizes are world coordinates of the current
// transformation. Each function returns 0, or -1 when it draws nothing (a
// missing direction or speed, -9999).

// A wind barb at (x, y): a staff of length size toward where the wind comes
// from, starting offset from the point, with pennants (50), full barbs (10)
// and half barbs (5) on its clockwise side; speeds above 300 draw as 300. A
// calm (speed 0) or a negative speed draws nothing.
int WIND_barb(float x, float y, float dir, float spd, float size, float offset);
// WIND_barb for a true direction, turned to the current map's grid north.
int WIND_barb_map(float x, float y, float dir, float spd, float size, float offset);
// A wind arrow from (x, y) downwind, spd x size long; with arrow > 0 a head
// of two 45-degree lines whose length grows with arrow, size and spd.
int WIND_vect(float x, float y, float dir, float spd, float size, float arrow);
// WIND_vect for a true direction, turned to the current map's grid north.
int WIND_vect_map(float x, float y, float dir, float spd, float size, float arrow);
// A storm track from (x, y) downwind, spd world units long, with maj cross
// ticks of half-length 0.2 x arrow at 0, 1/maj, ... of its length (none at
// the end) and, with arrow > 0, a head of lines 0.2 x arrow long in each
// axis. min is accepted and not used.
int WIND_track(float x, float y, float dir, float spd, float arrow, int maj, int min);
