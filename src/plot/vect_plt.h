// Wind plots: a pair of component grids (u eastward, v northward, on one
// domain) drawn over the current map as arrows (wind plot type 21), wind
// barbs (22) or streamlines (23), optionally coloured by the contour speed
// bands; the reference vector legend; and the stand-alone wind plot driver.
#pragma once

#include "fields/zeqgrd.h"
#include "graphics/zeqgks.h"
#include "plot/plt_tool.h"

// ---- Settings ------------------------------------------------------------------
// All return 0 unless a value is named; -9999 means unset.

// Clears the wind type (unless one set by VECT_set_type waits for the next
// set-up), the interval, the base and both speed cut-offs.
int VECT_init();
// Plot positions of the grid points for the next draw (nx*ny each, in the
// grid's array order, -9999 for a point without one; null for none). The
// arrays stay the caller's; the draw keeps them only while the grid and map
// domains stay those it first used them with.
int VECT_grid(float *grx, float *gry);
// Size factor of arrows and barbs (also multiplies the streamline length).
int VECT_set_scale(float scale);
int VECT_set_intrvl(float intrvl);
float VECT_get_intrvl();
// Maximum speed of the grid pair.
int VECT_set_max(float max);
// The wind type (20 ask, 21 arrows, 22 barbs, 23 streamlines, 99 none); a
// type set here survives the next VECT_init once.
int VECT_set_type(int type);
int VECT_get_type();
// Whether the reference vector legend is drawn.
int VECT_set_vect(int val);
int VECT_get_vect();
// World length of the arrow of the maximum speed (the barb staff length).
float VECT_get_vector_size();
// Speed drawn at the full size factor (arrows, barbs); density limit of
// streamlines.
int VECT_set_base(float base);
// Keeps the variable's format text (at most 99 characters; null gives "")
// and its plot type.
int VECT_set_format(int type, const char *form);

// ---- Options and prompt ----------------------------------------------------------

// Overlays the co=, wi= and st= options of the kept format on attr. 0.
int VECT_format_decode_attrib(Gattribs *attr);
// Applies the wind options of the kept format (type words, vbar, nolr, sk=,
// sc=, ss=, in=, cb=, mn=, mx=). 0.
int VECT_format_decode_type();
// Applies the wind keywords of resource plot_param (vect, vbar, uvgrid,
// uvew, strm_sc, wv_skip, bar, nobar). 0.
int VECT_param_decode();
// Settles the wind type (kept, from the plot type flag, 21 in batch mode,
// else asked "Vectors (V) or Streamlines (S): ") and returns it.
int VECT_prompt_type();

// ---- Plotting ----------------------------------------------------------------------

// Readies the wind plot of frame `plot` (0 first of a sequence) of
// variable-list entry ind: settings, speed bands, maximum speed and labels.
// A domain with a missing centre latitude receives the grid's domain. 0.
int VECT_plot_setup(int plot, int ind, GRD_report *ugrid, GRD_report *vgrid, Domain *domain,
                    PLT_event_func callback);
// Draws the winds on the current map. The grids are only read: the turns of
// the components to true or map north are made on a private copy. 0; -1 with
// a warning for missing grids or arrays of different sizes, or when the plot
// positions cannot be made, and -1 when the streamline density counts cannot
// be made.
int VECT_draw(GRD_report *ugrid, GRD_report *vgrid);
// Draws one streamline from grid column i and row j (counted from the south)
// for at most length steps, on the transformation and attributes VECT_draw
// prepared. Only valid while VECT_draw runs its streamline branch (else
// nothing is drawn). 0.
int VECT_stream(GRD_report *ugrid, GRD_report *vgrid, int i, int j, float length);
// The reference vector legend below the lower right of the view, on
// normalisation transformation 1 (selected by the caller). 0.
int VECT_draw_vect();
// The stand-alone wind plot of the kept grids on domain; also the zoom and
// resize function. 0.
int VECT_plot(Domain *domain);
// Keeps the grids and callback and plots them on domain. 0.
int VECT_plot_grid(GRD_report *ugrid, GRD_report *vgrid, Domain *domain, PLT_event_func callback);
