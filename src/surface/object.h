// Objective analysis: scattered station values fitted onto grids by a
// multi-pass Barnes successive-correction analysis with Gaussian weights.
#pragma once

#include "fields/zeqgrd.h"
#include "runtime/zeq.h"

// Restores the analysis defaults: filter 1.0, radius of influence 1000 grid
// lengths, 1 pass, convergence 0.2, missing value -9999 (missing station
// values left out), at least 1 station. The grid refinement factor of the
// "gridx" plot option is kept. Returns 0.
int OBJ_initialize();

// Setters of the analysis parameters; the values are taken as given. Each
// returns 0.
//   filter: Gaussian filter in squared plane units ((100 km)^2, or squared
//           degrees on latitude-longitude grids): a station at squared
//           distance r2 weighs exp(-r2 / filter)
//   rad:    radius of influence in lengths of the first grid's dx
//   pass:   number of passes; conv: the filter factor of each later pass
//   min:    least number of stations inside the radius for a grid value
//   val:    value given to missing (-9999) station values; -9999 leaves them out
int OBJ_set_filter(float fil);
int OBJ_set_rad_inf(float rad);
int OBJ_set_num_pass(int pass);
int OBJ_set_converg(float conv);
int OBJ_set_min_sta(int min);
int OBJ_set_miss_val(float val);

// Reads the analysis resources: the "miss" and "gridx" words of plot_param
// and the items "filter,radius,passes,convergence,min_stations" of
// object_param (out-of-range items take their defaults). Called at the start
// of every analysis. Returns 0.
int OBJ_decode_params();

// Reads a "miss" word from a variable's plot format (options joined by ':');
// a "miss" word of plot_param read by the analysis takes precedence. Returns 0.
int OBJ_decode_format(const char *fmt);

// Fits the stations onto the grids of the fields: z[k] holds field k's value
// at each of the numdata stations (null: field k and its grid are left alone)
// and grid[k] its output grid, whose array must hold the first grid's nx x ny
// values. The stations' plane positions x, y (of the first grid's domain) are
// turned into that domain's grid coordinates in place (column, row counted
// from the northern edge); with a missing-value rule in force the missing
// entries of z are overwritten with it. Returns 0 when the grids were made;
// -1 when no field has data or memory runs out.
int OBJ_analyze(float *x, float *y, float **z, int numdata, int num_fields, GRD_report *grid);
