// What the plot frame shares with the plot labels (not a public interface of
// either module): the calls into modules that are linked to the frame in one
// place, and frame state the labels read.
#pragma once

#include "plot/plt_tool.h"

// Every call the plot options and labels make into other modules, gathered
// in one table. The entries of modules that join the program later (the
// latitude-longitude net, the contour settings, the reference vector, the
// GIF writer, the animation loop and the window's events) are linked here
// as each module arrives: until then an empty setter entry skips the call
// and an empty getter entry answers 0. The other entries are the modules'
// own setters.
struct PLT_hooks {
    // Linked as their modules arrive.
    int (*map_latlon)(float lat, float lon, int dot, int extra); // MAP_latlon
    int (*cont_set_skip)(int x, int y);                          // CONT_set_skip
    int (*cont_set_plot_offset)(float x, float y);               // CONT_set_plot_offset
    int (*cont_set_bar)(int val);                                // CONT_set_bar
    int (*cont_set_bar_range)(float max, float min);             // CONT_set_bar_range
    int (*cont_get_bar)();                                       // CONT_get_bar
    int (*vect_get_vect)();                                      // VECT_get_vect
    int (*gif_interlace)(int val);                               // GIF_interlace
    int (*gif_transparent)(int val);                             // GIF_transparent
    int (*gset_loop_title)(int val);                             // gset_loop_title
    int (*gset_mouse_callback)(PLT_event_func func);             // gset_mouse_callback
    // Settings of the runtime, fields, grid-file and graphics layers.
    int (*mess_set_page)(int val);
    int (*gset_redraw)(int val);
    int (*cty_set_id_type)(int type);
    int (*date_set_tz)(const char *text);
    int (*grd_set_grid_factor)(int fact);
    int (*map_set_plot_limit)(int val);
    int (*dom_set_loc_prior)(int prior);
    int (*gph_set_def_font)(const char *name);
    int (*gset_inverse)(int val);
    int (*gset_local_colormap)(int val);
    int (*gset_rw_colors)(int val);
    int (*gps_set_colorPS)(int val);
    int (*gps_set_reverse)(int val);
    int (*gset_pix_mode)(int mode);
    int (*grd_use_hdr_file)(int val);
    int (*gset_font_drop)(int ind);
    int (*grib_set_max_bad)(int val);
    int (*file_set_min_size)(int val);
    int (*grd_set_format)(const char *format);
};
PLT_hooks &PLT_get_hooks();

// The image output chosen (0 none, 1 XWD, 2 GIF, 3 native, 4 PNG) and its
// name convention.
int PLT_get_dump();
const char *PLT_get_dump_file();
// Whether the labels draw the outline of the view.
int PLT_get_border();
// The colour-bar mode and the reference-vector flag through the table.
int PLT_cont_get_bar();
int PLT_vect_get_vect();
