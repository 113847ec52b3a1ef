// The netCDF access layer shared by the surface and upper-air file modules.
//
// The layer keeps one current netCDF file, a current shape for defining
// variables and a current position or range for reading and writing data, so
// that a file module reads or writes one netCDF value per call (functions in
// surface/cdf.h).
//
// Writing a file: CDF_open(name, 1); CDF_def_dim for each dimension (length 0
// is the unlimited record dimension); per group of variables CDF_set_shape
// (record dimension first) and the CDF_def_*_var calls; attributes
// (CDF_put_base_att, the range and fill attributes, CDF_put_glob_att);
// CDF_end_def; then per record CDF_set_pos (record index first) and the put
// calls; CDF_close.
//
// Reading a file: CDF_open(name, 0) (or CDF_set_fd with an id from elsewhere);
// CDF_get_dim, CDF_get_dim_size, CDF_get_var, CDF_get_glob_att; then per
// record CDF_set_pos or CDF_set_range and the get calls.
//
// Missing things are not errors: a variable id of -1 (a variable the file
// lacks) and the absence of a file (after a failed CDF_open) are accepted by
// every data call, which then does nothing and returns its missing result:
// -9999 for numbers, a blank for a character, 255 for a byte, 0 for a put or
// a string read (buffer untouched), -1 for an array read (array filled with
// missing values).
//
// Values are converted between the caller's type and the variable's netCDF
// type (any numeric type; text only through the character, byte and string
// calls). Every read is checked against the variable's dimensions first, so a
// file cannot make a call write past the caller's storage.
//
// Text variables have one dimension more than the position: CDF_put_str and
// CDF_get_str set that next dimension's start to 0 and its extent to the
// string length. That entry stays in the position lists, so a later
// single-value call on a variable of that higher rank addresses its element 0
// along that dimension.
//
// Library messages: the layer starts with the library's error reports printed
// and never fatal (a failing call never ends the program). CDF_print_errors(0)
// silences them around probing calls whose failure is expected (type
// detection, optional attributes); CDF_print_errors(1) turns them on again.
//
// Several files: callers that keep more than one netCDF file open switch with
// CDF_set_fd before each group of calls.
#pragma once

#include "runtime/zeq.h"

// netCDF external types by the library's numbers.
inline constexpr int CDF_BYTE = 1;
inline constexpr int CDF_CHAR = 2;
inline constexpr int CDF_SHORT = 3;
inline constexpr int CDF_LONG = 4; // 32-bit integer
inline constexpr int CDF_FLOAT = 5;
inline constexpr int CDF_DOUBLE = 6;

// Dimensions a position, range or shape can hold.
inline constexpr int CDF_MAX_POS = 10;
// Dimension ids CDF_def_var accepts.
inline constexpr int CDF_MAX_VAR_DIMS = 12;
// The dimension argument of CDF_get_dim_size that names the record dimension.
inline constexpr int CDF_RECORD_DIM = -1;

// The missing results of the get calls.
inline constexpr float CDF_MISSING = FMISSING;
inline constexpr unsigned char CDF_MISSING_BYTE = 255;
inline constexpr char CDF_MISSING_CHAR = ' ';
