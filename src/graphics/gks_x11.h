// The per-device initialisation of the primitive modules and the names and
// titles of the kernel's window; the X window workstation itself is built on
// these.
#pragma once

#include "graphics/gks.h"

// Resets and initialises every primitive module and the transformations for
// a device kind: 0 X window at open, 1 X window after a resize, 2
// PostScript, 3 HP-GL, 4 metafile. 0, or -1 (nothing done) for kind -1.
int ginit_plot(int type);

// The name under which X defaults are looked up (at most 19 characters kept).
int gset_prog_name(const char *str);
const char *gget_prog_name();
// The window title (at most 59 characters kept); it names the window at once
// when one exists (0), else at the next open (-1).
int gset_win_title(const char *str);
const char *gget_win_title();

// The cursor shape of the own or foreign window; the previous shape, or 0 on
// other devices.
int gset_cursor(int type);
// X synchronisation on the own or foreign window. 0.
int gsync();
