// The named colour table, colour names, fill pattern and marker names, and
// attribute strings such as "magenta:s4" that fill an attribute bundle.
#pragma once

#include "graphics/zeqgks.h"

// Reads the colour table file or files: filename, else the resource
// color_table, else "zeq.clr", each a comma list of names found as tables.
// A file that cannot be opened is skipped. 0.
int CLR_read_table(const char *filename);
// Appends an entry (name cut to 19 characters) and gives it to the open
// workstation; its index, or -1 when the table is full.
int CLR_add(const char *name, float red, float grn, float blu);
// The colour index of a colour name: -1 none (or unknown), -2 "end", the
// print colours 500-508, a table entry, a new entry for "#rrggbb" or
// "#rrrgggbbb", or the leading number of a name beginning with a digit.
int CLR_get_ind(const char *name);
// An entry's name and fractions; an index past the table reads the last
// entry, an empty table gives "" and zeros.
const char *CLR_get_name(int ind);
int CLR_get_rgb(int ind, float *red, float *grn, float *blu);
int CLR_get_num();
// The number of fill colours at the head of the table (0 none).
int CLR_get_num_fill();
// Empties the table (the names stay until overwritten). 0.
int CLR_clear_table();

// The fill pattern of a name ("sol", "st", ..., "9%"), else the leading
// integer (0 when there is none).
int ATTR_parse_fill_pat(const char *str);
// The marker type of a name, tried as prefixes in order ("pnt", "plus", ...),
// else the leading integer (0 when there is none).
int ATTR_parse_marker(const char *str);

// Applies an attribute string to a bundle; fields the string does not name
// keep their values. 0.
int ATTRIB_parse(const char *str, Gattribs *attrib);
// Applies def, then the value of the resource resrc when it exists over it;
// 1 when the resource exists, else 0. The bundle is not reset first.
int ATTRIB_get(const char *resrc, const char *def, Gattribs *attrib);
// Every field unset. 0.
int ATTRIB_init(Gattribs *attrib);
// Copies each set field of attr2 onto attr1. 0.
int ATTRIB_update(Gattribs *attr1, const Gattribs *attr2);
// Prints the bundle (print kind). 0.
int ATTRIB_print(const Gattribs *attrib);
