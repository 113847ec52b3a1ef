// The surface plot driver: input kind, run date, variable prompt and plots,
// and the surface variables computed from one report.
#pragma once

#include "fields/zeqgrd.h"
#include "plot/zeqraw.h"
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

// ---- Surface variables -----------------------------------------------------------

// The value of surface variable var for one report (an SFC_report; the
// pointer is untyped for the data-source record): both values -9999 and the
// text empty first, then value[0] (and value[1] for the pairs: ttd, the winds
// wbrbc, wbrb, wind and hwind, and pres at level type 5), the plotting text,
// and the variable's units when they are empty (the native units). A value
// whose native units differ from the variable's is converted; a requested unit
// never applies to a wind direction or the condensation temperature. The name
// is matched without regard to case by its part before the first '-'. The
// item's x and y place grid-relative winds. 1 for a known variable, else 0.
int SFC_get_data(void *report, VAR_data *var, RAW_data *data);

// Writes the default units of a surface variable into var's units when they
// are empty; 1 when the name is known, 0 (units left empty) for other names
// and for those without default units.
int SFC_get_var(VAR_data *var);
