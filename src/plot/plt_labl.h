// Plot labels: the texts of the six label positions (0 upper left, 1 upper
// centre, 2 upper right, 3 lower left, 4 lower centre, 5 lower right) of each
// of six overlays, the overlay counter, the label format of resource label
// and the drawing of all labels around the plot view.
#pragma once

#include <cstddef>

#include "runtime/zeq.h"

// Empties all texts and the overlay count; overlay, base and mode stay. 0.
int PLT_init_labels();
// Makes overlay ind (at most 5) current and raises the overlay count so that
// its texts are drawn; a negative overlay makes the setters ignore texts. 0.
int PLT_set_overlay(int ind);
// Moves to the next overlay and widens the label mode by one; the new
// overlay, or -1 (nothing changed) when the last overlay is current.
int PLT_next_overlay();
// Raises the overlay count to ind; a negative ind sets it to -ind. 0.
int PLT_set_num_overlay(int ind);
// Lifts every label line by ind (at most 5) line heights. 0.
int PLT_set_overlay_base(int ind);
int PLT_get_overlay_base();
int PLT_get_num_over();
// The text of a position and overlay ("" outside 0..5).
const char *PLT_get_label(int lab, int over);

// Set the text of a position on the current overlay, or, in append mode on a
// later overlay, append it to the first overlay's text. 0.
int PLT_label_up_left(const char *str);
int PLT_label_up_center(const char *str);
int PLT_label_up_right(const char *str);
int PLT_label_low_left(const char *str);
int PLT_label_low_center(const char *str);
int PLT_label_low_right(const char *str);
// A text of at most 68 characters replaces the current overlay's text of
// position lab; a longer one is not stored. 0.
int PLT_label_strcpy(int lab, const char *str);
// Writes a blank and str into the first overlay's text of position lab where
// the current overlay began, when the result stays below 60 characters. 0.
int PLT_label_strcat(int lab, const char *str);

// The date and forecast hour that the label format shows. 0.
int PLT_label_date(const Date *datim);
int PLT_label_for_time(long val);
// Expands a label format into str (at most size - 1 characters): '_' is a
// blank; %D date label, %V valid time, %W valid date, %y %m %d %h %n two-digit
// year, month, day, hour and minute, %b month name, %f %F forecast period,
// %% a '%'. 0.
int PLT_label_format(const char *form, char *str, std::size_t size);

// Places the items of resource label and draws the border and all labels.
// 0, or -1 when the margin below the view is too small for labels.
int PLT_labels();
