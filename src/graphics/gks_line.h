// Polylines and line attributes.
#pragma once

// Restores colour, type and width. 0.
int greset_line();
// Device set-up of lines for an initialisation kind. 0.
int ginit_line(int type);
// The factor by which print devices widen ordinary lines.
int gget_line_print_bold();
