// Contouring: one module-wide set of contour settings (type, levels, band
// attribute table, cut-offs, label and grid-value options), the level rules,
// the colour lists and level files that fill the band table, the contour
// options of plot_param and of format texts, the interval and type prompts,
// the cell-by-cell drawing of contour lines and colour-filled bands, grid
// values, line labels and the H and L marks of extrema, the colour bar with
// its value read-out and flash, the plot setup of one grid variable and the
// stand-alone contour driver of grid slot 0.
//
// The settings are reset by CONT_init at the start of every contour, vector
// and point plot; the vector, point and station plots colour a value by the
// band that holds it (CONT_get_fill_attrib).
#pragma once

#include "fields/zeqgrd.h"
#include "graphics/zeqgks.h"
#include "plot/plt_tool.h"

// Entries of the level list and of the band table (the table has one more,
// the end mark).
inline constexpr int CONT_MAX_LEVELS = 256;

// ---- Settings -------------------------------------------------------------------
// All return 0 unless said otherwise; -9999 means unset.

// Resets the per-plot settings (type, interval, base, cut-offs, range, label
// spacings, forced fill pattern, level list, format texts and labels, the
// built mark, dash mode and row offset; scale 1, label skip and extrema
// radius 2, grid-value steps 1). The band table, the levels last computed,
// the bar settings, offsets, label rotation, line limit, map order and grid
// outline carry over.
int CONT_init();
// Contour type: 12 lines, 15 colour fill, 16 fill with lines, 17 grid
// values, 99 none. 52 is stored as 15, 13 as 12 with all lines dashed and 14
// as 12 with negative lines dashed.
int CONT_set_type(int type);
int CONT_get_type();
// Keeps the variable's format text (cut to 100 characters; null gives "") and
// sets the type from the variable's plot type: 12, 15, 16, 17 as they are, 13
// and 14 as 12 with dash mode 1 and -1; other types leave it.
int CONT_set_format(int type, const char *form);
// Dash mode: 0 solid, 1 all lines dashed, -1 lines below 0 (and below a set
// base) dashed.
int CONT_set_dash(int ind);
int CONT_set_intrvl(float value);
float CONT_get_intrvl();
int CONT_set_base(float value);
float CONT_get_base();
// The value range to contour.
int CONT_set_range(float max, float min);
// The value range of the colour bar.
int CONT_set_bar_range(float max, float min);
// Values below min or above max are neither contoured nor coloured; an
// argument of -9999 leaves that cut-off.
int CONT_set_cutoff(float max, float min);
// Colour bar mode: 0 none, above 0 drawn, below 0 switched off.
int CONT_set_bar(int value);
int CONT_get_bar();
// Size factor of all contour text.
int CONT_set_scale(float iscale);
// Steps between printed grid values.
int CONT_set_skip(int x, int y);
// Offset of printed grid values in units of the map's vertical size.
int CONT_set_plot_offset(float x, float y);
// Line-label skip and extrema search radius.
int CONT_set_label_type(int skip, int rad);
int CONT_set_label_space(int x, int y);
int CONT_set_over(int ind);
// 1 outlines every grid cell.
int CONT_draw_grid(int value);
// Fill pattern forced on the contour attributes (-9999 none).
int CONT_set_fill_pat(int type);
int CONT_get_fill_pat();
// Allows the band table to be built again.
int CONT_reset_fill_set();
// Hands the module the plot x and y of every grid point (nx*ny each, in the
// grid's row order, -9999 where a point has no position) of the grid drawn
// next; both must come from malloc and belong to the module from then on (it
// frees them when they are replaced). Null for both: draw in grid
// coordinates.
int CONT_grid(float *grx, float *gry);
int CONT_get_num_cont();

// ---- Levels and bands -------------------------------------------------------------

// An explicit ascending level list: up to 256 values, ended early by -9999;
// the interval becomes the first step and the range runs from the first
// value to the last one copied. -1 (nothing changed) when the band table is
// already built for this plot.
int CONT_set_values(const float *values, int num);
// Drops an explicit list: interval, range and list become unset.
int CONT_reset_values();
// 0 when there is no explicit list; else the number of list values, of which
// at most size are copied into values (when not null).
int CONT_get_values(float *values, int size);
// Copies band entries until one with a colour below -1 (the -2 end mark) or
// 256 entries; an empty or null array gives one entry of colour 1.
int CONT_set_fill_attribs(const Gattribs *attribs);
// Copies band entry ind (0..256); -1 (nothing copied) outside the table.
int CONT_get_fill_attrib_ind(int ind, Gattribs *attrib);
// The band attributes of a value: colour -1 (not drawn) for -9999, a value
// outside the cut-offs, below the first list value, or when there are no
// levels (interval 0 or unset without a list). Always 0.
int CONT_get_fill_attrib(float value, Gattribs *attrib);
// The step (max - min) / num raised to a whole multiple of a power of ten
// (1000s down to 0.0001s); a step of 0 gives 1, smaller or negative steps
// come back unchanged. A num below 1 counts as 1.
float CONT_calc_intrvl(float max, float min, int num);
// Fixes the lowest and highest level, the level count and the colour base
// from the range (taken from grid when unset), interval and base; derives
// the interval from the range and the band count when it is 0 or below. -1
// when no range is known or no levels can be formed (interval 0).
int CONT_set_cont_ext(const GRD_report *grid);

// ---- Colour lists, options and prompts -----------------------------------------

// Builds the band table from a colour list or level file: string (flag 1),
// else the resource color_fill unless it is missing, empty, "miss" or
// "def...", else the colour table's fill colours (then -1), else the 15
// default colours. -1 when the table is already built for this plot.
int CONT_set_fill_colors(const char *string, int flag);
// Decodes one colour-list entry (a colour range "A-B", "value:attributes" or
// plain attributes, each valued or plain one optionally with ":la=label")
// into the next free band entry or entries. 0.
int CONT_decode_fill_color(const char *text);
// Clears an entry's width, height, expansion, style, fill pattern and font;
// the colour stays. 0.
int CONT_fill_attrib_init(Gattribs *attrib);
// Applies the contour keywords of the resource plot_param. 0.
int CONT_param_decode();
// Applies the contour options of a format text; -1 for null, else 0.
int CONT_format_decode_type(const char *format);
// Overlays the co=, wi=, st= and fp= options of the kept format on attrib. 0.
int CONT_format_decode_attrib(Gattribs *attrib);
// The interval from the resource con_interval, else asked for "Enter the
// contour interval: " (not in batch mode; then 0); a negative answer gives 0.
// 0.
int CONT_prompt_intrvl();
// Settles the contour type (kept, from the plot type flag, 15 in batch mode,
// else asked "Color fill (C) or Line (L) contours: ") and returns it.
int CONT_prompt_type();

// ---- Cell drawing ---------------------------------------------------------------------

// Draws the contour lines (types 12, 16) and colour-filled bands (15, 16) of
// grid cell by cell with the current settings, on the current
// transformation: at the plot positions handed over by CONT_grid, else in
// grid coordinates (column, row counted up from the south). ln_attr is the
// contour line bundle (null: all unset). Other types draw nothing. The
// environment variable gridloc ("i,j") traces one cell on standard output.
// 0; -1 for a grid without values.
int CONT_draw_cells(const GRD_report *grid, const Gattribs *ln_attr);
// Draws one polygon (kind 15), one segment from the first two points (12) or
// both (16), split at the seam of a world map. -1 without drawing when the
// current band entry has no colour, else 0.
int CONT_draw_lines(int kind, int num_pt, const Gpt *pts);

// ---- Drawing a grid -------------------------------------------------------------------

// Draws grid onto the current map: the contours (or the grid values of type
// 17), then the line labels and the H and L marks. -1 without drawing when
// data drawing is switched off, with a warning for a null grid or one without
// values, or when the contours cannot be drawn; -1 after the grid values of
// type 17; else 0.
int CONT_draw(const GRD_report *grid);
// The contours or grid values alone: in grid coordinates on transformation
// 3 when the grid's domain is the current map's, else at the plot positions
// of its points on the map's transformation. 0; -1 (with a warning) when the
// positions cannot be allocated.
int CONT_draw_contour(const GRD_report *grid);
// The labels of the contour lines, at the midpoints of their segments in the
// cells of the labelled rows and columns. 0.
int CONT_draw_labels(const GRD_report *grid);
// "H" and "L" with the value under it at every point that is higher (lower)
// than all its neighbours within the extrema radius. 0.
int CONT_draw_maxmin(const GRD_report *grid);

// ---- Colour bar -------------------------------------------------------------------------

// Draws the colour bar (orient 1: horizontal, the only one) in the margin
// under the plot view on transformation 1: one box per level with its value
// under it, and the caption label when not empty. 0; -1 without drawing when
// no value range is known, the band table is empty, there are no levels or
// more than 200, the interval is 0 or unset, or the margin under the view is
// below 0.01.
int CONT_draw_bar(int orient, const char *label);
// The lower level of the bar box under a point of transformation 1; -9999
// outside the last bar drawn or before any.
float CONT_get_bar_value(float x, float y);
// On the event "f-Alt" over a box of the bar (x, y on the map's
// transformation 2) makes the box's band colour blink four times. 0.
int CONT_flash_value(const char *event, float x, float y);

// ---- Plot setup and the stand-alone driver ----------------------------------------------------

// Readies the settings for variable-list entry ind of frame plot (0 the
// first): the variable's type and format, the options, the band table, the
// range and interval (asked for when needed), con_base, plot_scale,
// plot_format, the type and the levels, and the plot labels. Frame 0 keeps
// the entry's type, interval, dash mode and colour base; later frames use
// them. Nothing for plot type "none" (99). 0.
int CONT_plot_setup(int plot, int ind, GRD_report *grid, Domain *domain, PLT_event_func callback);
// The stand-alone contour plot of grid slot 0 on domain: opens the plot
// (or resets an open one), map, contours, labels, colour bar and image
// output, and closes what it opened. 0.
int CONT_plot(Domain *domain);
// The setup for grid as frame 0 of entry 0, then CONT_plot on domain, or on
// the grid's own domain when domain has no centre latitude; the contour type
// is unset afterwards. 0.
int CONT_plot_grid(GRD_report *grid, Domain *domain, PLT_event_func callback);
// The event callback of CONT_plot: the value read-out, zoom, resize and bar
// flash handlers in turn; "s-Alt" also writes grid slot 0 to "output.grd"
// under grid_path.
void CONT_callback(int kind, const char *event, float x, float y);
