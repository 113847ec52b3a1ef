// The station map overlay: the stations of the station file that the current
// priority level admits (and the identifier list selects) drawn on the
// current map as labelled points through the point plotter; identifier
// entries may move or relabel a station or add points of their own.
#pragma once

// Draws the overlay on the current map (its projection current, the plot
// open): station file "sao.cty" unless resource city_file names another
// ("none": nothing), colour color_data over "green", scale plot_scale; with
// resource color_fill each station takes the colour band of its priority
// number. Entries of resource identifier "SEL[:LAT:LON[:LABEL]]" or
// "SEL:LABEL" ('_' for blanks) move or relabel the first station SEL
// selects; an entry with a position that selects no station adds a point of
// its own. 0.
int CTY_plot();
// Reads the overlay's plot_param items: "mark" and a separator and a marker,
// "wmo", "num" or "id" (the label), "nzero" (leave out stations whose count
// is 0). Options once given stay for the rest of the run. 0.
int CTY_plot_param();
