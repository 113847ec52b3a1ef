// Upper-air input tools: the date label of the current upper-air data set.
#pragma once

// Makes str (at most 39 characters kept) the date label of the current
// upper-air data set; 0.
int UPA_set_datim(const char *str);
// The current date label (empty until set).
const char *UPA_get_datim();
