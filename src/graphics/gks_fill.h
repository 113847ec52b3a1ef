// Fill areas and fill patterns.
#pragma once

// Restores style, pattern and colour. 0.
int greset_fill();
// Device set-up of fills for an initialisation kind. 0.
int ginit_fill(int type);
// 1 when gray print output fills in black.
int gget_fill_print_solid();
