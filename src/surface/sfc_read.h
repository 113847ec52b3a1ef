// Surface file access, reading and writing: one open surface file of any type
// (compact text, "ZEQSFC" text, netCDF station and report layouts, and the
// written binary and XML forms), its header, and its reports by number.
#pragma once

#include "surface/zeqsfc.h"

// The type of an existing file from its first character: 2 compact text, 3
// "ZEQSFC" text, 11 netCDF with a "station" dimension, 12 other netCDF; -1
// when it cannot be opened or is none of these.
int SFC_chktype(const char *filename);

// Opens a surface file as the module's one file (closing one still open):
// access 0 reads, 1 writes anew, 2 appends to an existing file of a text or
// netCDF type. *f_type 0 detects the type (reading or appending), and receives
// the type in use (appending: the type of the existing file). Returns the
// descriptor (the stream's descriptor, or the netCDF file id), -1 on failure.
int SFC_open(const char *filename, int f_access, int *f_type);

// Reads the header of the open file into info: 0; 1 for a text file open for
// writing (nothing read); -1 for a type without a header (5, 41, 51) or no
// open file. A text date line is cut to 39 characters.
int SFC_getinfo(int cvt_fd, SFC_info *info);

// Positions the open file before its first report; 0, -1 for types without
// reports or a stream that cannot go back.
int SFC_rewind(int cvt_fd);

// Closes the open file (an XML file being written first gets its closing
// line); 0, -1 when no file is open, or (warned) when a file being written
// could not be completed or a write to it failed.
int SFC_close(int cvt_fd);

// Reads report *statnum (0-based) of the open file into report, emptied
// first: rep_type 0 the whole report, 1 the identifier only (with the WMO
// number for "ZEQSFC" text), 2 identifier and location. Reading 0, 1, 2, ...
// goes through the file in order; asking for the report just read reads it
// again, an earlier one goes back; for netCDF files -1 reads the record last
// asked for again. 0, or -1 at the end of the file or for a type without a
// reader.
int SFC_read(int cvt_fd, SFC_report *report, int rep_type, const int *statnum);

// Takes info->date as the file date and writes the header of the open file
// (types 1-4, 41, 51; type 12 defines the report layout, whose variables of
// hour-bound quantities depend on the date's hour, and sets info->cmdline to
// the default history text when it is null). A file opened for appending
// keeps its header. 0; -1 for a type without a header or a file not open for
// writing, and (warned) when the header cannot be written.
int SFC_putinfo(int cvt_fd, SFC_info *info);

// Appends one report in the open file's format; rep_type has no effect;
// *statnum is the record of a netCDF file. Values a format cannot carry are
// written missing or their group left out. 0; -1 for a type without a writer,
// a text report without an identifier (warned), or (warned once per file) a
// write that failed; a stream's buffered failure shows at SFC_close.
int SFC_write(int cvt_fd, SFC_report *report, int rep_type, int *statnum);
