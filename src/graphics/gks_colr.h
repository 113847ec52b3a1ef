// The kernel colour table: 257 slots (0-255 the plotting colours, 256 the
// background) holding red, green and blue fractions and the device's pixel;
// the valid colour indices and the print colours 500-508.
#pragma once

#include "graphics/gks.h"

// Sets a slot's colour (-1: a slot near the colour, or a new one). 0, or -1
// after a report; the print colours 500-508 are accepted and left alone.
Gint gset_colr_rep(Gint ws_id, Gint colr_ind, const Gcolr_rep *colr_rep);
// Stores a colour in slot ind, or for ind below 0 in the slot near it or the
// next free one (the nearest slot serves, with a warning, when all 256 are
// used). The X pixel on an X window, 1 on any other workstation.
long galloc_colr(int ind, float ired, float igrn, float iblu);
// 1 when the slot's colour is within 0.01 (summed) of the colour; with flag 1
// ind is an X pixel, looked up in the slots. The background is never near.
int gis_color_near(long ind, float ired, float igrn, float iblu, int flag);
// 1 for 0-256, -1 and 500-508, else 0.
int gis_valid_colr(int ind);
// 1 for the print colours 500-508, else 0.
int gis_print_colr(int ind);
// The colour index check of the primitives' colour setters: the index must
// be valid, becomes 1 for a print colour on an X window, and must be a print
// colour or a slot with a colour. 0, or -1 after a report under func.
int gcheck_colr_ind(const char *func, int *ind);
// The slot's pixel (-1 reads the background slot 256); -1 for no slot.
long gget_color_ind(int ind);
// The slot's fractions (-1 reads slot 256); 1, or 0 (zeros) for no slot.
int gget_color_rgb(int ind, float *red, float *grn, float *blu);
// The slot's components 0-255 (255 x fraction, truncated); 1, or 0.
int gget_color_rgb256(int ind, int *red, int *grn, int *blu);
long gget_back_color();
int gget_max_colr();
// Chooses the background at workstation open. 1.
int ginit_background();
// Presets the background colour name (at most 49 characters kept). 1.
int gset_background(const char *back);
// Inverse video (white background, black drawing). 0.
int gset_inverse(int val);
int gget_inverse();
// Read-write (1) or shared (0) colour cells on the X window. 0.
int gset_rw_colors(int ind);
// A private colormap for the own window. 1.
int gset_local_colormap(int val);
// X colour set-up at the open of an X workstation: the own window's private
// colormap (when asked for by gset_local_colormap or the environment
// variables LOCAL_CMAP or zeqlocal_cmap) and every slot without a pixel. 0.
int ginit_xcolr();
// Gives back the colour cells the slots hold and a private colormap of the
// own window (at the close of an X workstation). 0.
int gfree_xcolr();
// Debug trace of a slot's colour cell as the colormap holds it. 0.
int gquery_xcolor(int ind);
// The pixel of a colour (16-bit components) on a true-colour visual, from
// the window's colour masks.
unsigned long gget_color_rgb_Xval(unsigned int red, unsigned int grn, unsigned int blu);
