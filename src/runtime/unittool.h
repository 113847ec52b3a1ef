// Units: conversion of values between units named by short texts, scaled
// unit labels, and the 'name (units)' form of labels.
//
// A unit text may begin with a factor: 'A^B unit' (A to the power B), 'N unit'
// (a number followed by blanks) or '-unit' (-1). Blanks and underscores count
// as the same character; units compare without regard to case. Conversions
// other than such factors come from the table units.lup in the directory of
// resource file_path: lines "in out conversion" with a conversion '*S+O' or
// '*S-O' (each part optional); '#' starts a comment line.
#pragma once

#include <cstddef>

// Converts value from iunit to ounit: (in factor x value x S + O) / out factor.
// -9999 passes through; equal units, or an empty ounit, return the value. A
// pair the table does not hold (or a missing table) leaves the value
// unconverted with a warning naming the pair. The last pair read from the
// table is remembered, so converting a whole grid reads the table once.
float UNIT_cvt(float value, const char *iunit, const char *ounit);

// Writes the label of a unit text scaled by `scale`: "%.0e %s%s" of the
// factor times scale, the unit proper and mstr ('10^-5 /s', 1, "" gives
// '1e-05 /s'). out holds size bytes and is always terminated. Returns 0.
int UNIT_scale(const char *in, float scale, const char *mstr, char *out, std::size_t size);

// Splits a label 'name (units)': var gets the text before the first '(' without
// trailing blanks, units the text between that '(' and the next ')'. A label
// beginning with '(' gives two empty texts; one without '(' is all name. Each
// output holds its size in bytes. Returns 0.
int UNIT_parse(const char *str, char *var, std::size_t var_size, char *units, std::size_t units_size);

// Rewrites the label str (size bytes) as "name (units)" with new units (the
// name and the units each cut to 49 characters). Returns 0.
int UNIT_change(char *str, std::size_t size, const char *units);
