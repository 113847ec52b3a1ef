// The grid calculator: function-name tests used by the variable decoders,
// the specification parser and the grid plotting.
#pragma once

// The plot type that a calculator function gives its entry, by the part of
// the name before the first '-' (exact case): 20 wind, 21 vect, 23 stream or
// strm, 10 every other grid function of the table, 0 for any other name.
int GRD_is_math_func(const char *str);

// 1 for the vector-valued functions "grad" and "vdiff" (part before '-'), else 0.
int GRD_is_vect_func(const char *str);

// 1 for the plot-only functions "wind", "vect", "stream" and "strm" (part
// before '-'), else 0.
int GRD_is_plot_func(const char *str);
