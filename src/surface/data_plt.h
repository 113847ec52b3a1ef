// The frame drawing driver: one frame of a data program from its variable
// list (map underlay, grids as contours or vectors with bar and labels, runs
// of station values, map variables, panels, map overlay and labels).
#pragma once

#include "fields/zeqgrd.h"
#include "surface/data.h"

// Once per plot: the filled-contour and map-variable marks, the attribute
// bundles of station values, winds, clouds and weather, and plot_scale. 0.
int DATA_plot_init();
// A frame begins: map window, overlay 0, map underlay, no panel. 0.
int DATA_plot_start();
// A panel begins: overlay 0 and the map underlay. 0.
int DATA_plot_begin();
// A frame (or panel) ends: map overlay and the labels. 0.
int DATA_plot_end();
// A new overlay sequence: overlay 0, no bar and no reference vector yet. 0.
int DATA_new_frame();
int DATA_map_underlay();
int DATA_map_overlay();
// A map variable draws its plain map items; -1 past the list, else 0.
int DATA_plot_map(int ind);
// A panel item begins its panel; -1 past the list, else 0.
int DATA_plot_control(int ind, Domain *domain);
int DATA_plot_panel(int ind, Domain *domain);
// The colour bar (vector reference) once per overlay sequence: 0 drawn, -1
// when already drawn or there is none.
int DATA_plot_bar();
int DATA_plot_vect_bar();
// Draws the grid entry at ind (contours or vectors, with bar and label);
// returns the last list index consumed (ind when nothing is drawn).
int DATA_plot_grid(int ind, DATA_info *data);
int DATA_plot_cont(int ind, DATA_info *data, const char *form);
int DATA_plot_vect(int ind, DATA_info *data, char *units, const char *form);
// Draws the run of station variables starting at ind at every station of the
// source, writing them to a point-data file when the source asks; returns the
// run's last index (ind when the entry is no station variable).
int DATA_plot_raw(int ind, DATA_info *data);
int DATA_plot_raw_label(int beg, int end, DATA_info *data);
// A mark at every plotted station (non-zero), a circle of val nautical miles
// around it (10 or more). 0.
int DATA_set_site(int val);
int DATA_set_dist(float val);
