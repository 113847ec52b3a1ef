// Plot labels: the label store, overlays and the label type.
#pragma once

// The plot label type: -2 minimal, -1 simple, 0 normal (at start), 1 complete.
// It decides whether labels carry the time and level, name a parameter by its
// abbreviation or its name, and append the plot options.
int PLT_get_label_type();
// Stores the label type; 0.
int PLT_set_label_type(int val);
