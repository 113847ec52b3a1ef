// The per-device initialisation of the primitive modules and the system's own
// X window: its size, updates, clearing, cursors, names, titles and icon.
// The X handles themselves are declared in gks_x11_xlib.h.
#pragma once

#include <cstddef>

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
// Defines the cursor of a shape code 0-8 on the window when there is one and
// stores the code (any code); the previous code.
int gset_cursor_type(int type);
int gget_cursor_type();
// X synchronisation on the own or foreign window. 0.
int gsync();
// Rings the bell at a volume -100..100 (50 for 0) on the own or foreign
// window. 0.
int gbell(int len);

// Resizes the own window to width x height keeping the picture (width > 0),
// or follows the size the window was given (width 0 or less; -1 also keeps
// the picture). 1, or 0 when the size did not change.
int gresize_window(int width, int height);
// Sets the device size for the next open; an open window is asked to take
// that size, and its device size follows when the window reports the
// change (the resize event). 0.
int gset_xsize(int x, int y);
// Shows the backing pixmap in the window. 0, or -1 without a window.
int gupdate_window();
// Clears a rectangle (world coordinates) to the background. 0.
int gclear_region(const Glim *lim);

// The window's name is the title, a blank and the extra (the title alone
// for an empty extra), at most 79 characters. 0, or -1 without a window.
int gset_win_title_extra(const char *str);
// Copies the part of the window's name after the title and one separating
// character into str (at most size - 1 characters; empty when the name is
// not longer). 0, or -1 (str empty) without a window or name.
int gget_win_title_extra(char *str, std::size_t size);

// Presets for the next open of the own window: iconified start, equal
// minimum and maximum sizes, and the 48 x 48 icon bitmap (288 bytes, 6 a
// row, bit 0 the leftmost pixel). gset_iconic and gset_fixed_size return 1,
// gset_icon_bitmap 0.
int gset_iconic(int iconic);
int gset_fixed_size();
int gset_icon_bitmap(const unsigned char *bits);

// The refresh period (seconds, 0 none) and function of the hold loop. 0.
using Grefresh_func = int (*)();
int gset_refresh_callback(int val, Grefresh_func func);
// Holds the own window for interaction until the user (or a program feeding
// frames) ends input: frames loop, events are answered and the refresh
// function runs once a period. Other devices return at once. 0.
Gint ghold(Gint ws_id);
