// File names, name conventions, file sequences, paths and opening.
#pragma once

#include <cstdio>

#include "runtime/zeq.h"

// Opens a file by name with an fopen access text; null on failure.
FILE *FILE_open(const char *file, const char *access);

// Selects the name convention for a file type (key suffixes ":k=value" are cut
// off `type` in place); 1 found or taken, 0 otherwise.
int FILE_set_name(char *type);

// The fixed date fields that pin or step the dates of a file sequence.
int FILE_set_time(const Date *datim);
int FILE_get_time(Date *datim);

// Copies out the date of the last file name read or built; returns 0.
int FILE_get_date(Date *date);

// Chooses the input file (resource, current file, batch choice, prompts) and
// copies its name into `outfile` (160 bytes) when not null; 1 found, 0 a named
// file that does not exist. Ends the program when no file is found.
int FILE_get_file(const char *prompt, char *outfile);
