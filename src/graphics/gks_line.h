// Polylines and their attributes: colour index, width, line type and the
// print-bold factor of the print devices.
#pragma once

#include "graphics/gks.h"

// Draws a polyline in world coordinates: 0 drawn or skipped outside the
// window, 1 written to a metafile, -1 after a report.
Gint gpolyline(Gint num_pt, const Gpt *array_pt);
// Attribute setters: 0 set or unchanged, -1 after a report (nothing changes).
Gint gset_line_colr_ind(Gint line_colr_ind);
Gint gset_linewidth(Gfloat linewidth);
Gint gset_linetype(Gint linetype);
// The factor by which print devices widen ordinary lines (0 or below: 1). 0.
int gset_line_print_bold(int val);
int gget_line_print_bold();
int gget_line_colr();
// Device set-up of lines for an initialisation kind. 0.
int ginit_line(int type);
// Restores colour 1, type 1 and width 1. 0.
int greset_line();
