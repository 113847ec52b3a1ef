// Upper-air file access: one open upper-air file at a time (coded text types
// 1 to 5, netCDF types 11 and 12, the written binary and XML types 41 and
// 51), its header, and radiosonde reports read and written by station number.
//
// Calling order: UPA_open, then UPA_getinfo (reading) or UPA_putinfo
// (writing), then UPA_read, UPA_rewind or UPA_write calls, then UPA_close.
// The descriptor arguments are the result of UPA_open; the module always
// works on its own open file.
#pragma once

#include "upperair/zequpa.h"

// Empties a report: texts empty, numbers and every level value -9999, the
// three counts 0; `type` is left alone. 0.
int UPA_initialize(UPA_report *report);
// Sets all six values of a level to -9999; 0.
int UPA_level_init(UPA_level *lev);
// The slot 1 to 16 of a mandatory pressure (exactly 1000, 925, 850, 700, 500,
// 400, 300, 250, 200, 150, 100, 70, 50, 30, 20 or 10 mb); 0 for any other.
int UPA_mandatory(float p);

// The type of an existing file by its contents: 3, 4, 5 by the magic word, 1
// or 2 for older coded files (by their third line), 11 or 12 for netCDF
// files with a "station" or a "report" dimension; -1 when it cannot be
// opened, is empty or is none of these (standard streams and pipes are not
// probed: that would consume them).
int UPA_chktype(const char *filename);

// Opens a file as the module's one file, closing one still open: f_access 0
// reads, 1 writes anew. *f_type 0 detects the type (reading only) and
// receives it. The stream's descriptor or the netCDF file id; -1 on failure.
int UPA_open(const char *filename, int f_access, int *f_type);

// Reads the header of a file open for reading into info (date label and its
// date): 0 for a text file, 1 for a netCDF file (which also counts its
// records), 1 without effect otherwise.
int UPA_getinfo(int cvt_fd, UPA_info *info);

// Writes the header of a file open for writing (the date label; binary: a
// 22-character time and date line; XML: the root element; netCDF:
// dimensions, variables, attributes). 0; -1 for a type that has no header
// writer or when writing fails (with a warning). The header is not changed.
int UPA_putinfo(int cvt_fd, const UPA_info *info);

// Goes back to the first station of a file open for reading: 0; -1 when no
// readable file is open or the stream cannot go back.
int UPA_rewind(int cvt_fd);

// Reads station *statnum (0 the first) in mode rep_type into report:
// UPA_READ_ALL the whole report, UPA_READ_TOKEN the station identification,
// UPA_READ_SFC the surface level into slot 0, 1 to 16, 22 or 23 that slot's
// level into slot 0 (any other mode leaves slot 0 missing); netCDF files also
// UPA_READ_STATION. Reading 0, 1, 2, ... goes on through the file; the
// station just read is read again; an earlier one rewinds. *statnum is not
// changed. 0; -1 at the end of the file or when nothing readable is open.
int UPA_read(int cvt_fd, UPA_report *report, int rep_type, const int *statnum);

// Writes one report: a text block, a 78-byte binary record or an XML "obs"
// element (each adding 1 to *statnum), or netCDF record *statnum (not
// changed). The report is not changed; what a file type cannot carry is left
// out, with a warning where a text file loses a level. 0; -1 for a type
// without a writer or when writing fails (with a warning).
int UPA_write(int cvt_fd, const UPA_report *report, int rep_type, int *statnum);

// Closes the open file (an XML file being written first gets its closing
// line). 0; -1 when no file is open or the written file could not be
// completed (with a warning).
int UPA_close(int cvt_fd);
