// Defaults files and the program-scoped environment names of resources.
#pragma once

#include <cstddef>

// Opens a defaults file (a directory: the defaults file inside it); 0, or -1.
int DEF_open(const char *filename);

// Closes the open defaults file; returns 0.
int DEF_close();

// Reads the next resource line that applies: name into `resrc` (at most
// rsize - 1 characters) and value into `value` (at most vsize - 1). Returns 1,
// or -1 at the end of the file or when no file is open.
int DEF_get(char *resrc, std::size_t rsize, char *value, std::size_t vsize);

// 1 when the line pattern `string` matches the resource `resrc` of this program.
int DEF_cmp(const char *resrc, const char *string);

// 1 when the line pattern `string` is meant for this program.
int DEF_valid(const char *string);

// Copies the part of `str` after its last '.' or '*' into `ostr` (at most
// size - 1 characters); returns 1.
int DEF_parse_name(const char *str, char *ostr, std::size_t size);

// Looks the resource up in the environment under its program-scoped name, the
// row's own variable `env` and "zeq<resource>", in this order. Copies the
// first value found into `value` (at most size - 1 characters) and returns 1,
// else 0.
int DEF_env(const char *resrc, const char *env, char *value, std::size_t size);

// Sets the program name from the remembered command line; returns 0.
int DEF_prog();

// Set the program title used to scope resource names; return 0.
int DEF_name(const char *name);
int DEF_title(const char *title);

// Empties the tag list; returns 0.
int DEF_clr_tag();

// Adds a tag for the IF lines (the text is kept by reference); 0, or -1.
int DEF_tag(const char *str);
