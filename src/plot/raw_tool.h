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
