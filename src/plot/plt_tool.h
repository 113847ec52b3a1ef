// The plot frame: opening, resetting and closing the graphics of a plot, the
// plot view and its margins, panels of the display, the general plot options
// of the resource plot_param, and the registration of a driver's event and
// redraw functions.
#pragma once

#include "graphics/gks.h"

struct Domain;

// Decodes the plot options, then opens kernel and workstation for a plot of
// width-to-height ratio aspect. 0; -1 (nothing opened) when the everything
// switch is off or the plot type is "none" (99).
int PLT_open(float aspect);
// Readies the open workstation for the next plot (clears it and lays out the
// view again); the label mode becomes -1, 0 or 1 in any case. 0; -1 (nothing
// reset) when the everything switch is off or the plot type is 99.
int PLT_reset(float aspect);
// Lays out the view inside the current panel at aspect (0: the current
// view's own). 0.
int PLT_panel(float aspect);
// Chooses the panel from a geometry "SXxSY+OX+OY": SX > 1 a grid of SX
// columns by SY rows (1..8) and the panel's column OX and row OY counted from
// the upper left, else fractions of the display (width, height, left and
// bottom offsets). A geometry of fewer than four numbers changes nothing; a
// column or row outside its grid, or no width or height, is refused with a
// warning. 0.
int PLT_panel_decode(const char *str);
// Ends a plot: in batch mode with the own window held the program goes to
// the background first; the window is held unless image output was chosen,
// the workstation is closed and the labels cleared. 0; -1 for plot type 99
// (nothing done) or when the output could not be completed. Without open
// graphics only the labels are cleared (0).
int PLT_close();
// Closes the graphics and ends the program with status val.
[[noreturn]] void PLT_exit(int val);
// Records a formatted message (at most 79 characters) in the drawing: a
// comment of the PostScript or metafile output. 0.
[[gnu::format(printf, 1, 2)]] int PLT_mess(const char *format, ...);

// The plot options of resource plot_param and the image output of resource
// out_file (run by PLT_open). 0.
int PLT_param_decode();

// Margins of the view as fractions of the plot area: all at once (left and
// right 0, bottom and top offset) or one by one. Take effect at the next
// PLT_open, PLT_reset or PLT_panel. 0.
int PLT_set_view_offset(float offset);
int PLT_set_view_offsets(float xn, float xx, float yn, float yx);
// The margin last given to PLT_set_view_offset (0 until then).
float PLT_get_view_offset();
// The four margins. 0.
int PLT_get_view_offsets(Glim *view);
// The plot view in normalised device coordinates. 0.
int PLT_get_view(Glim *view);
// The workstation type of the open plot.
int PLT_get_work_type();
// Whether the labels draw the outline of the view (1 at start). 0.
int PLT_border(int val);
// 1 after the option "fullab" (labels inside the view), else 0.
int PLT_get_full_lab();
// The colour-bar latch: PLT_bar gives 1 once while the bar mode is on, then
// 0 until PLT_set_bar(0).
int PLT_set_bar(int val);
int PLT_bar();
// The position read-out of the front driver's callback ("v-Alt"): latitude,
// longitude, plane point and window pixel of the pointer. 0.
int PLT_print_location(const char *event, float x, float y);

// A driver's event callback: the event kind (2 keys and resize, 3 buttons),
// its name and the pointer in world coordinates of the map window.
using PLT_event_func = void (*)(int kind, const char *event, float x, float y);
// A driver's redraw for a domain (zoom, resize).
using PLT_redraw_func = int (*)(Domain *domain);
// Stores the event callback and registers it with the window's events. 0.
int PLT_set_callback(PLT_event_func func);
// Store the redraw functions of zoom and resize. 0.
int PLT_set_zoom_func(PLT_redraw_func func);
int PLT_set_resize_func(PLT_redraw_func func);
// A driver's timed redraw, run by the held window every period seconds with
// the current domain. 0.
using PLT_refresh_func = int (*)(Domain *domain);
int PLT_set_refresh_func(int period, PLT_refresh_func func);

// The handlers a driver's event callback passes every event to, in this
// order; each ignores the events that are not its own.
//
// The value read-out at the pointer, x and y in plane units: "v-Alt" prints
// the position line, the nearest station and the values of the plotted
// entries there; "e-Alt" edits the nearest point of grid 0 when one file and
// one entry are drawn. Other events are ignored. 0.
int PLT_print_values(const char *event, float x, float y);
// The band zoom, x and y the pointer in plane units: "B1-P-Shft" anchors a
// rubber band; a release ("B1-R...") with a band anchored redraws the plot
// with the zoom function for the domain the band makes of the current one
// (-1 and the band kept when the release shares the anchor's x or y); at
// the first zoom the domain in use is kept, and "u-Alt" returns to it while
// the window is not magnified; "r-Alt" redraws the current domain. Every
// other event drops the band. 0.
int PLT_plot_zoom(const char *event, float x, float y);
// "size": redraws the current domain with the resize function. 0.
int PLT_plot_resize(const char *event, float x, float y);
// The hold loop's timer: runs the refresh function with the current domain. 0.
int PLT_plot_refresh();
// The number of band zooms since the last return to the first domain. 0.
int PLT_set_zoom(int val);
int PLT_get_zoom();
// Each redraw shows the wait cursor, selects transformation 0 first (band
// zoom, resize and refresh), and restores transformation 2, the window and
// the cursor after.

// Writes the drawn frame's image file when image output is chosen, named
// through the name convention with the date of the current data file
// (template key 'i' the frame's two-digit number or "win", 'p' the window
// title) under resource image_path: frame -4 writes every animation frame;
// otherwise, with animation frames, frame `frame`; else the window. When
// frames are written and the name does not change with key 'i', "-NN" (the
// frame's number) goes before the extension. The data files' name
// convention is kept. 0; -1 when no image output is chosen. A failed write
// warns.
int PLT_dump(int frame);

// Chooses image output of each drawn plot: 1 XWD, 2 GIF, 3 native image, 4
// PNG. A non-empty filename (at most 159 characters) is the name convention,
// else "zeq.xwd", "zeq.gif", "zeq.img" or "zeq.png". 0.
int PLT_set_dump(int type, const char *filename);
