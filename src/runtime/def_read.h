// Defaults files and the program-scoped environment names of resources.
//
// A defaults file holds lines of a resource name pattern and a value, scoped
// to programs by '*' wildcards (tarnisk.variable, *.color_map, *path), and the
// tag lines DEF, UNDEF, IF, ELIF, ELSE and END that choose conditional
// sections. Patterns are matched against "<program>.<resource>", or
// "<title>.<resource>" when a title is set, or
// "<program>.<title>.<resource>" for a title beginning with '+'.
#pragma once

#include <cstddef>

// Opens a defaults file for reading, closing the one that is open. A null or
// empty name means ".zeqdef"; a directory means the first of zeq.cfg and
// .zeqdef in it that exists, else its Zeq.res. Only a regular file is read
// (a standard-stream name, a command, a FIFO or a device is refused, the last
// three with a warning). Returns 0, or -1 when the file cannot be opened.
int DEF_open(const char *filename);

// 1 when the open defaults file is owned by the running user and no one else
// can write it, else 0. The values DEF_get reads from such a file count as
// the user's own texts (see FILE_user_text), those of any other as data.
int DEF_trusted();

// Closes the open defaults file, if any; returns 0.
int DEF_close();

// Reads lines until a resource line that applies (outside inactive IF
// branches): its name pattern, lower-cased and without a trailing ':', into
// `resrc` and its value into `value`, and returns 1. A value beginning with '"'
// runs to the next '"' (or the end of the line), blanks included. Returns -1
// at the end of the file, when no file is open or when a buffer is missing.
// A line longer than 249 characters is cut with a warning and the rest of it
// is passed over; a name that does not fit `rsize` skips the line and a value
// that does not fit `vsize` is cut, each with a warning.
int DEF_get(char *resrc, std::size_t rsize, char *value, std::size_t vsize);

// 1 when the line pattern `string` matches the resource `resrc` of this
// program (and title), else 0. '*' skips up to the first occurrence of the
// literal text after it; a pattern ending in '*' matches nothing.
int DEF_cmp(const char *resrc, const char *string);

// 1 when the line pattern `string` is meant for this program, whatever the
// resource: it matches the subject of its own last component (after its last
// '.' or '*'). A pattern with neither character is never valid.
int DEF_valid(const char *string);

// Copies the part of `str` after its last '.' or '*' (without either, `str`
// without its first character) into `ostr`, at most size - 1 characters;
// returns 1.
int DEF_parse_name(const char *str, char *ostr, std::size_t size);

// Looks the resource up in the environment under its program-scoped name, the
// row's own variable `env` and "zeq<resource>", in this order. Copies the
// first value found into `value` (at most size - 1 characters), registers it
// as a text of the user and returns 1, else 0.
int DEF_env(const char *resrc, const char *env, char *value, std::size_t size);

// Sets the program name from the remembered command line; returns 0.
int DEF_prog();

// Set the program title used to scope resource names (at most 29
// characters); return 0.
int DEF_name(const char *name);
int DEF_title(const char *title);

// Empties the tag list; returns 0.
int DEF_clr_tag();

// Adds a tag for the IF lines (a copy of the text is kept); 0, or -1 when the
// text is null or 10 tags are defined.
int DEF_tag(const char *str);
