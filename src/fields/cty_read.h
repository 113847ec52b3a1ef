// Reading the station file: one text file at a time, one station per line.
#pragma once

#include "fields/zeqcty.h"

// Opens the station file for reading (f_access 0) or writing (1) through
// FILE_open, closing the one open before, and remembers f_type. The file's
// descriptor; -1 on failure or for another access.
int CTY_open(const char *filename, int f_access, int f_type);

// Rewinds the open file and reports the type given at its opening; 0, -1 when
// no file is open. The descriptor argument is not used to choose the file.
int CTY_getinfo(int city_fd, CTY_info *info);

// Back to the first line; 0, -1 when no file is open.
int CTY_rewind(int city_fd);

// Closes the open file; 0, -1 when no file is open.
int CTY_close(int city_fd);

// Reads the next station into *city, from a cleared record: the line's ten
// blank-separated fields name, state, country, id, priority token ('3', '*3',
// '3*' or '*3*'), lat, lon, elevation, wmo and count. Blank lines are passed
// over; a line without latitude and longitude, or with a text longer than its
// field (name 20, state and country 2, id 9, token 3 characters), is skipped
// with a warning. An
// elevation above 9000 becomes -9999; a line that ends early leaves the
// elevation missing (-9999), the WMO number 99999 and the count 0. Returns the
// number of fields read (10 for a full line, at least 7), -1 at the end or
// when no file is open.
int CTY_read(int city_fd, CTY_data *city);
