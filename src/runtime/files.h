// File names, name conventions, file sequences, paths and opening.
#pragma once

#include <cstdio>

// Opens a file by name with an fopen access text; null on failure.
FILE *FILE_open(const char *file, const char *access);
