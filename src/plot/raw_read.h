// Point-data files: the text file with the "ZEQRAW" magic (a header with the
// date label, an information line and an optional field list, then one line
// per station) read and written through a table of five open-file slots.
#pragma once

#include "plot/zeqraw.h"

// 1 when the file's first character is that of "ZEQRAW", 99 for any other
// content (an empty file too), -1 when it cannot be opened.
int RAW_chktype(const char *file);
// Opens a point-data file in a free slot: access 0 reads, 1 writes, 2 appends
// to an existing point-data file. *type: 0 finds out from the file (reading),
// else 1 or 2 (with a header) or 99 (bare records); the type used is written
// back. "", "-" and "std" are the standard streams (type 1); "stdn" is
// rewritten to "-" in file and reads bare records from standard input; a
// name beginning with '|' is a pipe. The slot 0-4, or -1 (no free slot, a
// file that cannot be opened, another type, an append to a file that is not
// a point-data file); nothing is printed.
int RAW_open(char *file, int access, int *type);
// Reads the header of a slot opened for reading into info, with the field
// list. 0 (also for slot -1, a free slot or one open for writing, which read
// nothing); -1 for a slot of bare records.
int RAW_getinfo(int slot, RAW_info *info);
// Number of entries of the field list; 0 for slot -1 or a free slot.
int RAW_get_num_field(int slot);
// The field index a designator names, or -1.
int RAW_get_field_ind(int slot, RAW_field field);
// Store a field's name, info or format (cut to 19, 59 and 39 characters);
// the list grows to hold the index. Info and format: 1 when stored, else 0.
void RAW_set_field_name(int slot, RAW_field field, const char *text);
int RAW_set_field_info(int slot, RAW_field field, const char *text);
int RAW_set_field_fmt(int slot, RAW_field field, const char *text);
// A field's stored text (the slot's own buffer), or null when the slot is
// free, the field is outside the list or its text is empty.
const char *RAW_get_field_name(int slot, RAW_field field);
const char *RAW_get_field_info(int slot, RAW_field field);
const char *RAW_get_field_fmt(int slot, RAW_field field);
// Writes the header: "ZEQRAW", the date label and the information line, with
// the field list after '!' when the slot has one (location fields "id lat
// lon", then one line per data field, then "$"). 0; -1 for a slot whose type
// is not 1 or 2.
int RAW_putinfo(int slot, const RAW_info *info);
// Writes text and " $" as a field-list line; the records written after it
// carry the location columns that list names. 0; -1 for a slot whose type is
// not 1 or 2.
int RAW_putheader(int slot, const char *text);
// Positions the stream at the first record (a pipe or standard input stays
// where it is) and restarts the record count. 0; -1 for a slot not open.
int RAW_rewind(int slot);
// Closes and frees the slot; a file opened for writing gets its final empty
// line. 0; -1 for a slot not open, or when what was written did not reach
// the file (with a warning).
int RAW_close(int slot);
// Reads record *num (0, 1, 2, ... in turn; a jump forward skips records, a
// number below the previous one starts again from the first record; a pipe
// or standard input is read in sequence) and the field designated: code 1
// delivers the fields one by one (type = field index; 1 per field, 0 when the
// record has no more, a record without fields is delivered once), code 2 the
// id column, codes 10-75 a data column, a name its field in the list or else
// the first data token "name=value". 0 a record read (the field may be
// missing); -1 at the end of the data (end of file or an empty line).
int RAW_read(int slot, RAW_report *report, RAW_field field, const int *num);
// Decodes one data token "[name=]value[:format]" for field index field into
// the report: value[0] and value[1] (numbers "a" or "a,b"; "-" is missing),
// data (the text) and format (the field's format and the token's own). 0.
int RAW_dec_line(int slot, int field, RAW_report *report, const char *token);
// Writes a record or a part of one: mode 1 the whole record, 3 its identifier
// and location, 5 its end, anything else one value (written by the kind the
// resource plot_format or the report's type gives). 1 after a value or whole
// record; 0 after mode 3 or 5 or for a slot that cannot be written.
int RAW_write(int slot, const RAW_report *report, int mode, int num);
