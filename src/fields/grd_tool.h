// The grid table, grid records and the operations on gridded fields: the
// 60-slot table (slot i holds the grid of variable-list entry i), the life
// cycle of a grid's value array, labels, extremes and statistics, scaling,
// units, thresholds, values at points, plot positions of grid points,
// resampling onto another domain, mosaics, and the finite-difference
// operators of the grid calculator.
//
// Value arrays are row-major, x (east) fastest, row 0 the northernmost;
// -9999 is missing and never takes part in arithmetic. Arrays are allocated
// with malloc and released with free: a record owns the array it allocated
// (GRD_alloc, or an operator that filled a record without one) until GRD_free
// or GRD_move; GRD_copy and GRD_set_grid share it without taking ownership.
//
// Slot numbers run from 0 to VAR_MAX - 1; others are refused (null or -1).
// Operations that need another projection for a moment leave the current
// projection as they found it.
#pragma once

#include "fields/zeqgrd.h"

// ---- The grid table ----------------------------------------------------------

// The table (VAR_MAX records) and one slot of it; the first use of the table
// marks every slot empty (GRD_init).
GRD_report *GRD_get_grids();
GRD_report *GRD_get_grid(int ind);
// GRD_init on every slot; arrays the slots hold are forgotten, not freed. 0.
int GRD_init_grids();
// Copies the whole record (its array pointer too: the slot shares the array). 0.
int GRD_set_grid(int ind, const GRD_report *grd);
// GRD_alloc on the slot; 0 whatever the allocation gave.
int GRD_alloc_grid(int ind);
// Empties the slot's array pointer, freeing the array when the slot owns it:
// when it allocated it (GRD_alloc, GRD_alloc_grid), read it through the
// grid-file functions or took it over by GRD_move. An array the slot shares
// with another record (GRD_set_grid, GRD_copy) is only forgotten. 0, -1 for
// a slot number out of range.
int GRD_release_grid(int ind);

// ---- Per-slot header ---------------------------------------------------------

// Copies str into the slot's info (cut to fit); 0.
int GRD_set_grid_info(int ind, const char *str);
char *GRD_get_grid_info(int ind);
// Copies date (when not null) into the slot's date and str into its datim
// (cut to fit); 0.
int GRD_set_grid_date(int ind, const Date *date, const char *str);
// Stores dom as the slot's domain with no data yet (source and version 0),
// refined by the grid factor f: nx' = (nx-1)*f + 1, ny' likewise, dx' = dx/f,
// dy' = dy/f, the centre kept. 0.
int GRD_set_grid_domain(int ind, const Domain *dom);
int GRD_get_grid_domain(int ind, Domain *dom);
// The refinement factor (1 at start); values below 1 are ignored. 0.
int GRD_set_grid_factor(int fact);
int GRD_get_grid_factor();
// Takes var[0], the time code, level type, level and units of variable-list
// entry ind into slot ind; 0.
int GRD_set_var(int ind);

// ---- Record life cycle -------------------------------------------------------

// Marks a record empty without freeing anything: no array, empty labels,
// source, model and type 0, time, ltype, level and var -9999 (version, date,
// units and domain are kept). 0.
int GRD_init(GRD_report *grid);
// Allocates nx*ny uninitialised floats for the record's domain (any array it
// held is forgotten, not freed); 1, or 0 with a warning and a null array.
int GRD_alloc(GRD_report *grid);
// Frees the array (the pointer becomes null), sets source 0 and the domain
// missing. 0.
int GRD_free(GRD_report *grid);
// grid2 becomes a whole copy of grid1, sharing its array. 0.
int GRD_copy(GRD_report *grid2, const GRD_report *grid1);
// As GRD_copy, then grid1 is marked empty: the array belongs to grid2. 0.
int GRD_move(GRD_report *grid2, GRD_report *grid1);
// Copies the header a derived field inherits (datim, units, date, domain,
// source, version, model, type) and gives grid2 no array; grid2's info, time,
// ltype, level and var are kept. 0.
int GRD_copy_info(GRD_report *grid2, const GRD_report *grid1);

// ---- Module date and file header ---------------------------------------------

// The date of grid files named without a date; null takes the date of the
// last file name decoded. 0.
int GRD_set_date(const Date *date);
int GRD_get_date(Date *date);
// Fills a grid-file header for writing: grid_type 0, the date, nx and ny of
// the domain (datim is left as the caller set it). 0.
int GRD_set_info(GRD_info *info, const Date *date, const Domain *domain);
// The header under which a grid is saved on its own: GRD_set_info with the
// grid's date and domain, and the grid's date text.
GRD_info GRD_info_of(const GRD_report *grid);

// ---- Labels and printing -----------------------------------------------------

// Rewrites info from the record's time, level, parameter and units. 0.
int GRD_make_datatype(GRD_report *grid);
// Labels ogrid as igrid's parameter followed by the operator word oper
// ("Gradient", "Laplacian" ...), with ogrid's time, level and units. A field
// without a parameter number is named by the operator word alone. 0.
int GRD_make_devtype(GRD_report *ogrid, const GRD_report *igrid, const char *oper);
// Prints one part of the description at message kind level: -2, -1, 0 the
// date and description labels (made when empty), 1 the codes, 2 the grid
// geometry, 3 the rebuilt description. Nothing when the kind is off. 0.
int GRD_print_info(M_type level, GRD_report *grid, int kind);
// Description kinds 1 (the codes) and 2 (the grid geometry), then the domain
// text; -1 when the kind is off, else 0.
int GRD_print(M_type level, GRD_report *grid);

// ---- Extremes and statistics -------------------------------------------------

// The largest and smallest present values (-9999 when none); -1 without an
// array, else 0.
int GRD_maxmin(const GRD_report *grid, float *max, float *min);
// The largest wind speed of two component grids over the points where both
// components are present (-9999 when none); -1 without records or arrays, or
// when the two grids differ in size; else 0.
int GRD_UVmax(const GRD_report *ugrid, const GRD_report *vgrid, float *max);
// oper "max", "min", "maxmin", "avg" (mean of the present values), "avgnum"
// (mean and count) into values[0] and values[1] (both -9999 first). 1 for
// these words (0 for "avg" and "avgnum" without an array), 0 for others.
int GRD_stats(const char *oper, const GRD_report *grid, float *values);

// ---- Value changes in place ----------------------------------------------------

// Every present value times scale / plus offset; -1 without an array, else 0.
int GRD_scale(GRD_report *grid, float scale);
int GRD_offset(GRD_report *grid, float offset);
// Converts every value to unit_out, which becomes the record's units (when
// not empty) and the units of its info label; -1 without an array, else 0.
int GRD_units(GRD_report *grid, const char *unit_out);
// ogrid becomes igrid's header with a new array of its own: cmd "lower" puts
// nval where the input is below cutoff, "higher" where it is above; other
// values, missing ones and every value under another word are copied. -1
// without an input array or when the allocation fails, else 0.
int GRD_cutoff(GRD_report *ogrid, const char *cmd, float cutoff, float nval, const GRD_report *igrid);

// ---- Values at points ----------------------------------------------------------

// The bilinear value at grid position (gx, gy); -9999 without an array,
// outside the grid, or next to a missing value.
float GRD_get_value(const GRD_report *grid, float gx, float gy);
// The value at plane point (*x, *y) of domain (of the current projection when
// domain is null or has no projection); *x and *y become the grid position.
float GRD_get_value_domain(const GRD_report *grid, const Domain *domain, float *x, float *y);
// Value read-out at a point of the current map, printed at the print kind. 0.
int GRD_print_value(float x, float y, const GRD_report *grid);
int GRD_print_value2(float x, float y, const GRD_report *grid1, const GRD_report *grid2);
// Asks for a new value for the grid point nearest to a point of the current
// map; -1 when it is off the grid or the record has no array, else 0.
int GRD_edit_value(const char *str, float x, float y, GRD_report *grid);

// ---- Plot positions, resampling and mosaics --------------------------------------

// Replaces *grdx and *grdy (freed when not null) with new malloc'd arrays of
// nx*ny floats holding the plane position in domain of every grid point, in
// the grid's array order (-9999 for a point with no position); the caller owns
// them. -1 with a warning when they cannot be allocated, else 0.
int GRD_proj_XY(const GRD_report *grid, const Domain *domain, float **grdx, float **grdy);
// ogrid becomes igrid's header on domain with a new array of igrid's values
// interpolated at every point of domain (-9999 outside igrid or next to a
// missing value). -1 without an input array or when the allocation fails.
int GRD_remap(GRD_report *ogrid, const Domain *domain, const GRD_report *igrid);
// Widens a piece's domain to a mosaic of nx by ny pieces sharing their edges:
// size nx*(pnx-1)+1 by ny*(pny-1)+1, the centre moved in the projection plane
// so that the piece's north and west edges stay. With igrid, grid first becomes
// a copy of igrid and gets a new array filled with -9999; without it, grid's
// header is changed in place. -1 for a bad size or when the allocation fails.
int GRD_piece_setup(GRD_report *grid, int nx, int ny, const GRD_report *igrid);
// Copies piece igrid into the mosaic at piece column x and row y (row 0
// north); -1 without copying when it does not fit or an array is missing.
int GRD_piece_grid(GRD_report *grid, int x, int y, const GRD_report *igrid);

// ---- Finite-difference operators -------------------------------------------------
// Distances are in units of 100 km: first derivatives per 100 km, the
// Laplacian per (100 km) squared. The geometry comes from the first grid; the
// others (and an output that has an array) must have its size, else the
// operator refuses with a warning and -1. An output without an array gets one
// (and owns it); only values are written. -1 also without an input array or
// when the allocation fails.

int GRD_dx(const GRD_report *grid, GRD_report *ogrid);
int GRD_dy(const GRD_report *grid, GRD_report *ogrid);
int GRD_laplacian(const GRD_report *agrid, GRD_report *bgrid);
// -(du/dx + dv/dy), times z at the point when zgrid is not null.
int GRD_converge(const GRD_report *ugrid, const GRD_report *vgrid, const GRD_report *zgrid,
                 GRD_report *ogrid);
// dv/dx - du/dy.
int GRD_vorticity(const GRD_report *ugrid, const GRD_report *vgrid, GRD_report *ogrid);
// du/dx - dv/dy (stretching).
int GRD_deformation1(const GRD_report *ugrid, const GRD_report *vgrid, GRD_report *ogrid);
// -(dv/dx + du/dy) (shearing).
int GRD_deformation2(const GRD_report *ugrid, const GRD_report *vgrid, GRD_report *ogrid);
// -u dz/dx - v dz/dy into agrid.
int GRD_advection(const GRD_report *ugrid, const GRD_report *vgrid, const GRD_report *zgrid,
                  GRD_report *agrid);
// Combines every present value v with the Coriolis parameter f = 14.584 sin
// lat (1e-5/s): "add" v+f, "sub" v-f, "sub-" f-v, "mul" f*v, "div" v/f,
// "div-" f/v (a division by zero gives -9999). -1 for another word (nothing
// changed) or without an array, else 0.
int GRD_coriolis(GRD_report *grid, const char *oper);
// Replaces every present value by its point's "lat", "lon", "projx" or "projy"
// and labels the grid accordingly. -1 for another word (nothing changed) or
// without an array, else 0.
int GRD_point_locate(GRD_report *grid, const char *oper);
// Turns earth-relative wind components into components along the grid's axes
// in place; -1 without arrays or when the grids differ in size, else 0.
int GRD_correct_UV(GRD_report *ugrid, GRD_report *vgrid);

// ---- Grid files: choice, grid specs, search, reading and saving -------------------
// Grid file types: 0 detect (reading only), 1-4 native (2 text, 3 binary
// values), 11 netCDF, 21 GRIB, 22 character grid code. A grid file
// descriptor is a slot number 0..14 of the grid file table; -1 failure.
// Every function that opens a grid file closes it before it returns, except
// GRD_open_out_file.

// Selects the output grid name convention from the words of resource
// out_file ("zeqb", "zeq", "cdf", "grib", each optionally followed by a
// separator and a convention; "none" and "gif..." ignored; any other word is
// a convention and makes the type 2) and returns the output type, starting
// from `type` (0: no grid output). A type other than 0 goes to flag slot 17.
int GRD_out_file(int type);
// Chooses the model and its input grid files: the default model from the
// first word of model.lup (along file_path), the resource model with its
// mosaic entry of model.lup ("MODEL NXxNY piece,piece#type,..."), else the
// built-in model table (flag slot 4) and the convention "grib_" + model; the
// resources in_file, input (flag slot 17) and grid_num. 0.
int GRD_in_file();
// Decodes a grid spec into a search specification (time, ltype, level,
// var[0..4], units; the rest is untouched) and *type (resource grid_type, or
// the fifth part of a '+' spec): "#N[:units]" gives N, "-TTLLVV[:units]" and
// "+time:level:var:units:gridtype" give -1 (search), ":units", nothing or
// anything else -9999 (the first grid).
int GRD_parse_params(const char *str, VAR_data *params, int *type);
// 1 when the grid header satisfies the search specification and grid type
// (-9999 keys match anything; at least one parameter number must match; a
// time up to 1000 matches the grid's end hour), else 0.
int GRD_test(const GRD_report *grid, const VAR_data *params, int type);

// Fills grids[i] (i < |num|) from the open file with the first grid matching
// params[i] and `type`, converted to params[i].units when given; with num >= 0
// only entries the variable list fetches as grids are searched. Entries that
// hold data count as found. 1 when all are found, else 0.
int GRD_search(int grd_fd, GRD_report *grids, VAR_data *params, int type, int num);
// As GRD_search for piece `ind` of the model mosaic: a matching grid of the
// piece's grid type is copied into its place of the entry's mosaic grid
// (made when the entry holds no data). 1 when every entry received a piece.
int GRD_search_piece(int grd_fd, int ind, GRD_report *grids, VAR_data *params, int num);
// Fill the whole grid table from a file (by name, or named by the current
// convention and date, or from the mosaic's pieces), compute the derived
// variables and save the grids as out_file asks. 1, or -1 when the file (no
// mosaic) cannot be opened.
int GRD_search_file(const char *filename);
int GRD_search_file_date(const Date *date);
// Reads one grid into `grid`, named by a grid spec cut off the file name (or
// the current extra-info spec) or by `extra`, from a file on resource
// grid_path; *type 0 detects the type and receives it. 1 read, 0 not in the
// file, -1 the file cannot be opened.
int GRD_read_file(const char *filename, GRD_report *grid, GRD_info *info, int *type);
int GRD_read_file_date(const Date *date, const char *extra, GRD_report *grid, GRD_info *info, int *type);
// The domain of the first grid (of grid type grid_type when set) of a file,
// or of the file of `date` (the module date when null; for a mosaic widened to
// the whole mosaic). 1, or -1 when the file cannot be opened or holds no such
// grid (domain untouched).
int GRD_get_file_domain(const char *filename, Domain *domain);
int GRD_get_file_date_domain(const Date *date, Domain *domain);

// Writes the grid to a new file of `type` on resource grid_path after the
// overwrite check (FILE_overwrite). 1 written, 0 when type is 0, the answer
// refuses, or opening or writing fails.
int GRD_save_file(const char *filename, GRD_report *grid, const GRD_info *info, int type);
// The same choice, leaving the file open: the slot number, -1 when the answer
// refuses or the file cannot be opened, -9999 when type is 0 (no output).
int GRD_open_out_file(const char *filename, int type);
// Writes the header and the grid to an open file and closes it; 0, or -1
// when the writing fails.
int GRD_save_grid(int grd_fd, GRD_report *grid, const GRD_info *info);
// 1 when the existing grid file is reused: its first grid (read into `grid`,
// *type receiving the detected type) has `domain`. 0 when the grid is to be
// made anew: no name, no such file, a standard stream, file parameter 1, the
// user answering Y, a file that cannot be read or a grid of another domain
// (then `grid` holds no array and source 0). Formats that store no
// projection parameters (netCDF) take those of `domain`.
int GRD_read_check(const char *filename, GRD_report *grid, GRD_info *info, int *type, const Domain *domain);

// ---- Model soundings ---------------------------------------------------------------

struct UPA_level;

// A search specification of one level type, level, parameter and time; 0.
int GRD_set_params(VAR_data *params, int time, int ltype, int level, int var);
// The pressure step of model soundings: 50 mb at start; only 25 can be set. 0.
int GRD_set_sound_dp(float dp);
// Takes the step from the plot_param word "dpres" (a separator and the
// number follow). 0.
int GRD_snd_param();
// The sounding at (lat, lon) from the isobaric, surface and near-surface
// grids of an open grid file at the forecast time of flag slot 6: pressure
// levels from 1000 mb up in the step, the surface inserted below the first
// level above ground with the levels below ground blanked, levels without
// data removed, dew points from relative humidity, winds in knots, missing
// heights filled hydrostatically. `sm` holds 42 levels (22 suffice with the
// 50 mb step). *num receives the count, *sfcp the surface pressure (1000
// without one). 1, or 0 with a warning when fewer than 10 values were found.
// The current projection is left as it was.
int GRD_get_sound(int grd_fd, float lat, float lon, UPA_level *sm, int *num, float *sfcp);
