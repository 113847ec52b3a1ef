// Fill areas and their attributes: colour index, interior style, the 20
// fill patterns and the print-solid switch of the print devices.
#pragma once

#include "graphics/gks.h"

// Number of fill patterns.
inline constexpr int NUM_FILL_PAT = 20;

// Fills a polygon in world coordinates: 0 drawn or skipped outside the
// window, 1 written to a metafile, -1 after a report.
Gint gfill_area(Gint num_pt, const Gpt *array_pt);
// Attribute setters: 0 set or unchanged, -1 after a report (nothing changes).
Gint gset_fill_colr_ind(Gint fill_colr_ind);
Gint gset_fill_int_style(Gint fill_int_style);
Gint gset_fill_style_ind(Gint fill_style_ind);
// 1: gray print output fills in black instead of the colour's gray. 0.
int gset_fill_print_solid(int val);
int gget_fill_print_solid();
int gget_fill_colr();
// Non-zero when pixel (x mod 8, y mod 8) of pattern pat is set; 0 for a
// pattern outside 0-19.
int gfill_test(int pat, int x, int y);
// Device set-up of fills for an initialisation kind. 0.
int ginit_fill(int type);
// Restores style, pattern and colour to 1. 0.
int greset_fill();
// Frees the X bitmaps of the patterns (at the close of an X workstation). 0.
int gdel_fill_pat();
