#include "runtime/files.h"

namespace {

// Fixed date fields: all free at start, seconds 0.
Date set_time{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, 0};

} // namespace

// Plain open until the name forms (standard streams, pipes, home
// directories, directory creation) are in place.
FILE *FILE_open(const char *file, const char *access) {
    return std::fopen(file, access);
}

// Stands in for the name-convention search until it is built: no convention found.
int FILE_set_name(char *) {
    return 0;
}

int FILE_set_time(const Date *datim) {
    if (datim) set_time = *datim;
    return 0;
}

int FILE_get_time(Date *datim) {
    if (datim) *datim = set_time;
    return 0;
}

// Stands in for the file-sequence dates until they are built: no name read yet.
int FILE_get_date(Date *date) {
    if (date) *date = Date{};
    return 0;
}

// Stands in for the input-file choice until it is built: no file found.
int FILE_get_file(const char *, char *outfile) {
    if (outfile) outfile[0] = '\0';
    return 0;
}
