// Point-data items and their tools: resetting items, and the value texts of
// formats that come from files and resources.
#pragma once

#include <cstddef>

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
