// Point-data items and their tools: resetting items, and the value texts of
// formats that come from files and resources.
#pragma once

#include <cstddef>

#include "fields/zeqcty.h"
#include "fields/zeqgrd.h"
#include "plot/zeqraw.h"

// Clears an item: position and both values -9999, format and text empty,
// every attribute unset; the type stays. Returns 0.
int RAW_data_init(RAW_data *data);
// Resets the values of an item: both values -9999 and the text empty; the
// position, type, format and attributes stay. Returns 0.
int RAW_data_init_val(RAW_data *data);

// The text of a value by a format from a file or resource, into str (size
// bytes). The format is used only when it is one float conversion (flags,
// width, precision and "%%" allowed) and its result fits; a 'z' after the
// leading '%' is taken out and drops the leading zero of the result ("0.5"
// gives ".5", "-0.5" "-.5"). The value is rounded as the shortest decimal
// that reads back as the float (0.45 as 0.45, not as 0.4499999). A null or empty format gives "%1.0f"
// silently; a format that cannot be used gives "%1.0f" and, once for each such format, the warning "func: Bad
// number format: ..." under the caller's name. 0, or -1 when the bad format was replaced.
int RAW_format_float(char *str, std::size_t size, const char *format, float value, const char *func);
// The same for a whole number: one d or i conversion, else "%d".
int RAW_format_int(char *str, std::size_t size, const char *format, int value, const char *func);

// ---- Opening by name ---------------------------------------------------------

// Opens a point-data file by a name "NAME[-FIELD][:FORMAT]" (separators
// searched from the third character on; the first '-' or ':' ends the name,
// which is cut there in place): a field that begins with a digit N designates
// data column N (code N + 10), any other field text is a field name (pointing
// into file); no field is the each-field mode (1). *fmt points into file at
// the format, or is null. The name is joined to resource raw_path and opened
// with RAW_open (mode 0 read, 1 write, 2 append). The slot, or -1 with the
// warning "RAW_file_open: Unable to open file:..."; a field number past the
// field list (above 65) is refused with a warning.
int RAW_file_open(char *file, RAW_field *ind, char **fmt, int mode);

// ---- Point-data arithmetic -----------------------------------------------------

struct TAB_table;

// Runs one command of the point-data calculator, given as words:
//   sum|max|min|copy|merge F1 F2 ... = OUT [info [label]]
//   ext IN = OUT
//   series F1 F2 ... = OUT [info [label]]
//   A OP B = OUT [info [label]], OP add, sub, mul, div, mod, ge or le, A or B
//   a constant "#NUMBER".
// Every file word selects its own name convention (resource current picks
// the file of the current time). Results are point-data files of one value
// per station; a value that is not finite (a zero divisor) is missing. 1
// done; 0 failed ("RAW_math_command: Invalid operation" for a command or
// operation it does not know, a bad constant or missing words).
int RAW_math_command(int num, char **words);
// Reads resource parameter: "miss" with a separator and a number sets the
// missing-value replacement, "outmiss" writes stations of that value too,
// "noattr" extracts values without the field format. 0.
int RAW_parameter();
// The replacement of missing values (-9999: none); while set, a station
// missing from a table also counts with this value. 0.
int RAW_set_miss_val(float value);
// Makes table a station table (the caller releases it with TAB_clear) and
// fills it from the file word: 1, or 0 when the table cannot be created or
// the file cannot be opened.
int RAW_make_table(TAB_table *table, const char *file);
// Combines the file word's values into the table by op (sum, add, sub, mul,
// scale, div, mod, max, min, ge, le; anything else copies). 1, or 0 when the
// file cannot be opened.
int RAW_math_table(TAB_table *table, const char *op, const char *file);
// Writes the table's stations (entry order) as a point-data file: those with
// a value whose last pass is at least flag (every one while a missing-value
// replacement is set). 1, or 0 when the file cannot be opened.
int RAW_save_table(TAB_table *table, const char *file, int flag);
// Writes the input's values combined with the constant text c by op (add,
// sub, psub = c - v, mul, div, pdiv = c / v, mod, pmod, ge, le). 1, or 0 when
// a file cannot be opened or c is not a number.
int RAW_math(const char *op, const char *in, const char *c, const char *out);
// Writes the designated field of the input as a file of one value. 1 or 0.
int RAW_extract(const char *in, const char *out);
// Writes one field of the files words[1] ... up to the word beginning with
// '=' into the file after it (standard output without one), each record
// named by its file's format text or position. 1, or 0 when a file cannot be
// opened.
int RAW_series(char **words, int num);
// Word k (information text) and k + 1 (date label) of words, when present,
// not empty and not "-", become the result header's texts. 0.
int RAW_set_info(char **words, int num, int k);

// ---- Dated point-data output -----------------------------------------------------
// One output file at a time: the values of a run of plotted station variables,
// one field per variable and one line per station.

// Opens the output file of the first station variable of the list, named by
// the current name convention from date (key 'v': the variable's name) under
// resource raw_path after the overwrite check, and declares one field per
// variable from there on whose flag is at most 1. The number of fields
// declared; 0 (nothing open) when the file cannot be created or is not to be
// overwritten (warned).
int RAW_date_open(const Date *date);
// Starts the line of a station: identifier, latitude and longitude (left out
// when the position does not turn back). 0; -1 without an open file.
int RAW_save_station(const CTY_locate *locate);
// Writes one plotted value to the line. 0; -1 without an open file.
int RAW_save_data(const RAW_data *data);
// Ends the station's line. 0; -1 without an open file.
int RAW_save_end();
// Closes the output file. 0; -1 without an open file.
int RAW_close_file();
// Size of a station's read-out text: the station table's user buffer.
inline constexpr int RAW_STATION_TEXT = 120;
// Adds "name=value " of the item to a station's read-out text (str of
// RAW_STATION_TEXT bytes; null: nothing): the text starts again at the list's first
// variable; vector and group headers put the bare value into an empty text;
// a text of 110 characters or more is replaced by the bare value. 0.
int RAW_set_var_string(const VAR_data *var, const RAW_data *item, char *str);
