// The kernel colour table.
#pragma once

// Inverse video (white background, black drawing). 0.
int gset_inverse(int val);
int gget_inverse();
// A slot's red, green and blue fractions (-1 reads the background). 1.
int gget_color_rgb(int ind, float *red, float *grn, float *blu);
// Chooses the background colour at workstation open. 1.
int ginit_background();
