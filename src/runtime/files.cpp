#include "runtime/files.h"

// Plain open until the name forms (standard streams, pipes, home
// directories, directory creation) are in place.
FILE *FILE_open(const char *file, const char *access) { return std::fopen(file, access); }
