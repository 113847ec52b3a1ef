// The netCDF access layer: one current netCDF file, a current shape, position
// or range, and one call per value (conventions in surface/zeqcdf.h).
#pragma once

#include <array>
#include <cstddef>

#include "surface/zeqcdf.h"

// ---- Files, dimensions and variables -------------------------------------------

// Makes fd the current netCDF file; 0.
int CDF_set_fd(int fd);
// 1: the library prints its errors; any other value: silent. Never fatal. 0.
int CDF_print_errors(int flag);
// Opens a file and makes it current: access 0 reads, 1 creates (replacing an
// existing file), 2 opens an existing file for writing. The file id; -1 on
// failure or for another access code (then -1 is current and every data call
// returns its missing result).
int CDF_open(const char *filename, int access);
// Defines a dimension (length 0: the unlimited record dimension); its id, -1
// on failure.
int CDF_def_dim(const char *name, long length);
// Leaves define mode; the library's result (0, -1).
int CDF_end_def();
// Closes the current file; the library's result. The current id stays.
int CDF_close();
// The id of a dimension, -1 when absent.
int CDF_get_dim(const char *name);
// The length of a dimension (for CDF_RECORD_DIM the number of records); -1
// on failure or when the file has no record dimension.
long CDF_get_dim_size(int dim);

// Sets the shape of the next definitions: n (0 to CDF_MAX_POS) dimension ids,
// record dimension first. Replaces the position. 0; -1 for a bad count.
int CDF_set_shape_list(int n, const int *dims);
template <class... Ids> int CDF_set_shape(int n, Ids... ids) {
    const std::array<int, sizeof...(Ids)> list{static_cast<int>(ids)...};
    return n > static_cast<int>(list.size()) ? -1 : CDF_set_shape_list(n, list.data());
}
// Defines a variable of a netCDF type over n (at most CDF_MAX_VAR_DIMS)
// dimension ids; its id, -1 on failure.
int CDF_def_var_list(const char *name, int type, int n, const int *dims);
template <class... Ids> int CDF_def_var(const char *name, int type, int n, Ids... ids) {
    const std::array<int, sizeof...(Ids)> list{static_cast<int>(ids)...};
    return n > static_cast<int>(list.size()) ? -1 : CDF_def_var_list(name, type, n, list.data());
}
// Define a float, 32-bit integer, short, byte or char variable over the
// current shape; its id, -1 on failure.
int CDF_def_float_var(const char *name);
int CDF_def_long_var(const char *name);
int CDF_def_short_var(const char *name);
int CDF_def_byte_var(const char *name);
int CDF_def_char_var(const char *name);
// The id of a variable, -1 when absent.
int CDF_get_var(const char *name);

// ---- Attributes -------------------------------------------------------------------

// A global text attribute (without a terminator); the library's result.
int CDF_put_glob_att(const char *name, const char *text);
// Reads a global attribute. Text: a char attribute copied into text (size
// bytes), cut to fit and terminated. Numbers: exactly count values of a
// numeric attribute, converted. 1 when read; -1 when absent; 0 when present
// but refused (wrong type or length). A failed read leaves an empty text or
// count values of -9999.
int CDF_get_glob_att(const char *name, char *text, std::size_t size);
int CDF_get_glob_att(const char *name, float *values, int count);
int CDF_get_glob_att(const char *name, int *values, int count);
// "long_name" and "units" text attributes of a variable, each when given; 0.
int CDF_put_base_att(int var, const char *long_name, const char *units);
// "valid_range" as two floats or two 32-bit integers; the library's result.
int CDF_put_float_range_att(int var, float min, float max);
int CDF_put_long_range_att(int var, int min, int max);
// "_FillValue" as the float -9999 or as one 32-bit integer; the library's result.
int CDF_put_fill_att(int var);
int CDF_put_long_fill_att(int var, int value);

// ---- Position, range and data -------------------------------------------------------

// Sets the position: n (0 to CDF_MAX_POS) indices, extents 1. Replaces the
// shape. 0; -1 for a bad count.
int CDF_set_pos_list(int n, const long *index);
template <class... Idx> int CDF_set_pos(int n, Idx... idx) {
    const std::array<long, sizeof...(Idx)> list{static_cast<long>(idx)...};
    return n > static_cast<int>(list.size()) ? -1 : CDF_set_pos_list(n, list.data());
}
// Sets a range over n dimensions from n (start, extent) pairs; 0; -1 for a
// bad count.
int CDF_set_range_list(int n, const long *pairs);
template <class... Vals> int CDF_set_range(int n, Vals... vals) {
    const std::array<long, sizeof...(Vals)> list{static_cast<long>(vals)...};
    return 2 * n > static_cast<int>(list.size()) ? -1 : CDF_set_range_list(n, list.data());
}

// Put calls write at the position (arrays over the range: as many values as
// the product of the extents over the variable's dimensions, extents past the
// positioned ones counting 1). They return the library's result (0, -1), or 0
// without writing when no file is current or var is -1.
// CDF_put_str writes the text and its terminator along the dimension after
// the positioned ones, cut to that dimension's length.
int CDF_put_str(int var, const char *text);
int CDF_put_float(int var, float value);
int CDF_put_float_array(int var, const float *values);
int CDF_put_long(int var, int value);
int CDF_put_short(int var, short value);
int CDF_put_byte(int var, unsigned char value);
int CDF_put_byte_array(int var, const unsigned char *values);
int CDF_put_char(int var, char value);

// Reads length characters (at most the dimension's length) along the
// dimension after the positioned ones into buffer (length + 1 bytes) and
// terminates it. 1; 0 with the buffer untouched when no file is current or var
// is -1; -1 with an empty buffer when the read fails.
int CDF_get_str(int var, int length, char *buffer);
// One value at the position; the missing result when there is none.
float CDF_get_float(int var);
double CDF_get_double(int var);
unsigned char CDF_get_byte(int var);
char CDF_get_char(int var);
int CDF_get_long(int var);
// Values over the range into the caller's array; 0, or -1 with the array
// filled with missing values.
int CDF_get_float_array(int var, float *values);
int CDF_get_double_array(int var, double *values);
int CDF_get_byte_array(int var, unsigned char *values);
