// The surface plot driver: input kind, run date, variable prompt and plots.
#pragma once

#include "fields/zeqgrd.h"
#include "runtime/zeq.h"

// Chooses the input kind and name convention from the resources input and
// in_file (flag slot 14: 10 surface data, 11 fronts); returns 0.
int SFC_cvt_in_file();

// Sets the file date from `datim`, or with null from the date of the file
// last chosen; returns 0.
int SFC_set_date(const Date *datim);

// 1 arms the variable prompt, 0 disarms it; returns 0.
int SFC_set_prompt_variable(int val);

// Takes the next variable specification (resource variable or the variable
// menu) into the variable list: the menu result (1 for the resource), or 0
// when there is none.
int SFC_prompt_variable();

// Plots the variable list over the domain for every file of the current file
// sequence; returns 0.
int SFC_plot(Domain *rdomain);
