// Plot labels: the texts of the six label positions of each overlay.
#pragma once

// Sets the upper-right label of the current overlay (at most 69 characters); 0.
int PLT_label_up_right(const char *str);
