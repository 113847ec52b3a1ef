// The surface plot driver: input kind, run date, variable prompt and plots,
// and the surface variables computed from one report.
#pragma once

#include "fields/zeqcty.h"
#include "fields/zeqgrd.h"
#include "plot/zeqraw.h"
#include "runtime/zeq.h"
#include "surface/data.h"

// Chooses the input kind and name convention from the resources input and
// in_file (flag slot 14: 10 surface data, 11 fronts); returns 0.
int SFC_cvt_in_file();

// Sets the file date from `datim`, or with null from the date of the file
// last chosen; returns 0.
int SFC_set_date(const Date *datim);

// 1 arms the variable prompt, 0 disarms it; returns 0.
int SFC_set_prompt_variable(int val);

// Takes the next variable specification (resource variable or the variable
// menu) into the variable list: the menu result (1 for the resource), or 0
// when there is none.
int SFC_prompt_variable();

// Plots the variable list over the domain for every file of the current file
// sequence, one frame per file (with several files animation frames that
// loop); also the zoom and resize redraw of the held window, which redraws
// in place. A single file that cannot be opened ends the program with status
// 10. Returns 0.
int SFC_plot(Domain *rdomain);
// Draws one frame from the open surface file: grids made once per fitted
// mark, then the variable list. 0.
int SFC_plot_frame();
// The timed redraw of the newest file of the name convention: nothing when
// it is neither newer nor modified since it was drawn; a modified file is
// drawn again in the last frame, a newer one becomes the new last frame
// (the frames move back by one). 0.
int SFC_plot_refresh();
// Sets the refresh switch when plot_param holds "refresh" (never clears it). 0.
int SFC_plot_param();
// The one open surface file: 1 opened (its header date becomes the file date
// and the upper-right label), 0 (warned) when it cannot be opened.
int SFC_open_file(const char *filename);
void SFC_rewind_file();
void SFC_close_file();

// ---- Data-source callbacks -----------------------------------------------------------

// Point-data output wanted by out_file (1) or not (0); sets the name
// convention ("sfc_raw" unless a word names another).
int SFC_raw_out_file();
// The grid file type out_file asks for (0 none, 2 text, 3 binary, 11
// netCDF); sets the name convention ("sfc_grd" unless a word names another)
// and, when not 0, flag slot 17.
int SFC_grd_out_file();
// Reads the next report of the open file (an SFC_report) and locates its
// station in the station table or by its own position: -1 at the end, 0 to
// skip it (unknown without a position, or a priority above the region's),
// 1 to use it.
int SFC_read_report(void *report, CTY_locate *loc);
// Draws the variable "front" itself (the front bulletin of the file date): 1
// for it, else 0.
int SFC_plot_data(int ind);
// Makes the grids of a frame: analysis of the stations when some grid is to
// be fitted, function grids, grid files. 0.
int SFC_grid_data(DATA_info *data);
// The event callback of the surface plot: value read-out, zoom, resize and
// bar flash; "s-Alt" with one file and one variable saves its grid.
void SFC_callback(int type, const char *str, float x, float y);

// ---- Surface variables -----------------------------------------------------------

// The value of surface variable var for one report (an SFC_report; the
// pointer is untyped for the data-source record): both values -9999 and the
// text empty first, then value[0] (and value[1] for the pairs: ttd, the winds
// wbrbc, wbrb, wind and hwind, and pres at level type 5), the plotting text,
// and the variable's units when they are empty (the native units). A value
// whose native units differ from the variable's is converted; a requested unit
// never applies to a wind direction or the condensation temperature. The name
// is matched without regard to case by its part before the first '-'. The
// item's x and y place grid-relative winds. 1 for a known variable, else 0.
int SFC_get_data(void *report, VAR_data *var, RAW_data *data);

// Writes the default units of a surface variable into var's units when they
// are empty; 1 when the name is known, 0 (units left empty) for other names
// and for those without default units.
int SFC_get_var(VAR_data *var);
