// The current projection: one Domain that every transform works on, its plane
// limits, grid coordinates, the map projection formulas, the diagram axes,
// bearings, the map factor and the declutter grid.
//
// Map projections measure their plane in units of 100 km (earth radius
// 63.7122), latitude-longitude maps in degrees. Grid column gx counts from 0 at
// x_min eastward in steps of dx, grid row gy from 0 at y_max southward in steps
// of dy. Latitudes and longitudes are degrees, north and east positive.
#pragma once

#include "fields/zeqgrd.h"

// Plane rectangle of a domain, or a diagram's page rectangle.
struct MAP_limits {
    float x_min;
    float x_max;
    float y_min;
    float y_max;
};

// A point of the projection plane.
struct Point {
    float x;
    float y;
};

// A point on the earth, degrees.
struct EarthPoint {
    float lat;
    float lon;
};

// --- Current projection, limits and grid coordinates ---

// Makes a copy of *dom the current projection and recomputes the limits;
// returns 0. Given null, no projection is current and the result is -1.
int MAP_domain(const Domain *dom);
// Copies the current domain into *dom and returns dom; given null, returns the
// live record itself (writes through it bypass the limits and the cache).
Domain *MAP_get_domain(Domain *dom);
// Borrows the current projection for the life of the object: saves it on
// entry (making `dom` current when one is given) and makes the saved domain
// current again on exit, whatever was made current meanwhile.
class MapScope {
public:
    MapScope() { MAP_get_domain(&saved_); }
    explicit MapScope(const Domain *dom) : MapScope() { MAP_domain(dom); }
    ~MapScope() { MAP_domain(&saved_); }
    MapScope(const MapScope &) = delete;
    MapScope &operator=(const MapScope &) = delete;

private:
    Domain saved_;
};
// Prints the current domain at the print kind; returns 0.
int MAP_print_domain();
// Projection number of a projection word.
int MAP_proj_str(const char *proj);
// Sets only the current projection number and clears the cache; returns 0.
int MAP_proj(int proj);
// The current projection number (-9999 when none).
int MAP_get_proj();
float MAP_get_clat();
float MAP_get_clon();
// Lambert only: the true latitudes value[0] and value[1] (a missing second one
// makes the tangent cone); the cache is kept. Returns 0, -1 for null.
int MAP_proj_coord(const float *value);
// Sets the reference point plat, plon and clears the cache; returns 0.
int MAP_coord(float rlat, float rlon);
// Plane position of the domain centre; the result of MAP_tran.
int MAP_tran_center(float *x, float *y);
// Recomputes the limits from the current domain; returns 0.
int MAP_set_limits();
// Copies the limits; returns 0 (-1 for null).
int MAP_get_limits(MAP_limits *lim);
// Sets the page rectangle of a diagram; returns 0 (-1 for null).
int MAP_set_view(const MAP_limits *vp);
// The upper left corner (x_min, y_max); returns 0.
int MAP_get_up_left(float *x, float *y);
// 1 when (x, y) lies within the limits (or no projection is current), else 0.
int MAP_in_domain(float x, float y);
// As MAP_in_domain with the limits widened by three grid spacings.
int MAP_in_grid_domain(float x, float y);
// Grid to plane; -1 with -9999 outputs when gx is -9999, else 0.
int MAP_grid_tran(float gx, float gy, float *x, float *y);
// Plane to grid; -1 with -9999 outputs when x is -9999, else 0.
int MAP_grid_untran(float x, float y, float *gx, float *gy);
// Converts a plane point of domain1 into the plane of domain2, leaving the
// current projection as it was; 0, or -1 with -9999 outputs when the point has
// no place in domain2 (an outside point used to come back as if it had one,
// which drew it at a wrong place).
int MAP_domain_tran(const Domain *domain1, const Domain *domain2, float x1, float y1, float *x2, float *y2);

// --- Projection formulas ---
//
// Diagram domains (20, 22-25, 40-44, 99) take the two values of a point in
// place of latitude and longitude (for the thermodynamic diagrams temperature
// in C and pressure in mb). The skew-T and the tephigram keep their slanted
// axes at fixed angles on the page set by MAP_set_view, or on a square page
// while none is set.

// Latitude and longitude to the plane: 1 with the plane point (x = lat, y = lon
// with no projection current); 0 with -9999 outputs when the point cannot be
// shown (on a diagram: a pressure without logarithm, a temperature below
// absolute zero) or the projection has no formulas. The tephigram's limit
// pass gives its unrotated point with 0. Projections without formulas (6,
// 21, 50, 51, unknown numbers) fail with -9999 outputs instead of falling
// through to another projection's formulas.
int MAP_tran(float lat, float lon, float *x, float *y);
// Plane to latitude and longitude: 1 with the point (outputs unchanged with no
// projection current); 0 with -9999 outputs when the point lies off the
// projected earth (or has no values on a diagram) or the projection has no
// formulas.
int MAP_untran(float x, float y, float *lat, float *lon);
int MAP_tran_ep(EarthPoint ept, Point *pt);
int MAP_tran_pe(Point pt, EarthPoint *ept);

// --- Bearings and map factor ---

// Directions are degrees clockwise, the true ones from geographic north, the
// plane ones from +y; results are not folded into 0..360.

// A true direction at plane point (x, y) turned into a plane direction; -9999
// for a satellite point that cannot be shown.
float MAP_dir_adj(float dir, float x, float y);
// A plane direction at (x, y) turned back into a true direction.
float MAP_undir_adj(float dir, float x, float y);
// Polar stereographic: the angle that MAP_dir_adj adds at (x, y); else 0.
float MAP_uvdir_adj(float u, float v, float x, float y);
// Bearing of the segment from (x1, y1) to (x2, y2).
float MAP_dir(float x1, float y1, float x2, float y2);
// The plane point rad km from (xi, yi) along the true bearing dir; the result
// of the final MAP_tran (0 with -9999 outputs when the start has no position).
int MAP_offset(float xi, float yi, float dir, float rad, float *xf, float *yf);
// Map scale factor at a latitude (lon does not enter). It takes the current
// domain's true latitude (mirrored on southern maps), not a fixed 60 degrees,
// so that it is 1 where the map is true to scale.
float MAP_factor(float lat, float lon);

// --- Declutter grid ---

// An occupancy table over the grid of the current domain: the first item in
// a cell is plotted and marks the cell, later items in it are skipped. The
// factor: 0 off (every item is plotted); 1 one item per grid cell; N > 1 one
// item per cell of a grid N times finer each way; -1 no decluttering but only
// items inside the grid; N < -1 one item per block of |N| by |N| grid cells.

// Sets the factor; returns 0.
int MAP_set_plot_limit(int val);
// Makes a new, empty table for the current domain (and the factor), releasing
// the previous one; returns 0. A domain without a grid, or one too large to
// count, gets no table.
int MAP_plot_grid_init();
// 1 when the item at plane point (x, y) is to be plotted (its cell is then
// marked), 0 when it is to be skipped: outside the grid while decluttering
// is on, or in a cell already taken. With the factor 0 or no table, 1.
int MAP_plot_grid(float x, float y);
