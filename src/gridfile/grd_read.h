// Grid files: the table of open grid files, type detection, and the native
// grid file format (text, big-endian binary values, or values in a separate
// data file).
//
// Up to GRD_MAX_FILES grid files are open at once; GRD_open returns the slot
// number (the grid file descriptor, 0 .. GRD_MAX_FILES - 1) that every other
// operation takes. File types: 1 native text without a magic line, 2 native
// with the "ZEQGRID" magic line and text values, 3 the same with 4-byte
// big-endian values, 4 the "ZEQGRID4" variant (read only), 11 netCDF, 21
// GRIB, 22 the character GRID code; 0 asks GRD_open to detect the type.
// GRIB files (read, or written as raw products) are framed and decoded by the
// grib module; reading GRIB or GRID-code standard input or a pipe copies it
// into a temporary file first. netCDF grid files (type 11) are read in the
// system's own layout (one record per grid along the dimension "grid") and
// in model-output layouts, and written in the own layout; character GRID
// code bulletins (type 22) are only read, each message a grid (a wind
// message two: u, then v).
//
// Native records are read in sequence: reading goes on from the grid last
// read, passing over the records before the number asked for; asking again
// for the number just read reads the same grid again, asking for an earlier
// one rewinds. Standard input and pipes can only read on. Each slot keeps its
// own read positions.
#pragma once

#include <cstdio>

#include "fields/zeqgrd.h"

inline constexpr int GRD_MAX_FILES = 15;

// One open grid file. The netCDF and GRIB fields serve the readers of those
// types.
struct GRD_file {
    FILE *file;     // the stream of the stdio types (null for netCDF)
    FILE *hfile;    // the GRIB index stream, null when none is open
    char datim[50]; // date label of the file (native: the first record's)
    Date date;      // date of the file
    int fd;         // netCDF id; 1 for the stdio types; -1 while nothing is attached
    int grid;       // netCDF grid_type attribute; GRIB edition of the first product
    int type;       // file type code
    int itype;      // sub-type: ZEQGRID4 3 binary values, 0 text; GRIB header style;
                    // netCDF 0 own layout, else the foreign layout
    char var_nm[50];
    int var[15];
    int var_num;
    int cur_var;
    int num;      // number of the grid last read (grids count from 0)
    long max_num; // netCDF: number of grids available
    long x_size, y_size, z_size, t_size;
    int x_dim, y_dim, z_dim, t_dim;
    int values_id[15];
    int x_coord_id, y_coord_id, proj_id, lat1_id, lat2_id, lon1_id, lon2_id, datim_id, info_id, source_id,
        version_id, model_id, type_id, ltype_id, level_id, time_id, var_id, dx_id, dy_id, nx_id, ny_id;
};

// ---- The grid file table ------------------------------------------------------

// The type of a file from its first 200 bytes: 1, 2, 4, 11, 21, 22, or -1
// (unknown, or the file cannot be opened).
int GRD_chktype(const char *filename);
// Opens a grid file in the lowest free slot: f_access 0 reads, 1 creates for
// writing (any other access fails). *f_type gives the type, 0 to detect it
// when reading, and receives the type used. "" and "-" (and the other
// standard-stream names) are standard input or output of type 2 unless the
// type asked is 3 or 21. The slot number, or -1.
int GRD_open(const char *filename, int f_access, int *f_type);
// Opens the GRIB index file of an open GRIB slot: 0, or -1 when index files
// are switched off, the slot is not GRIB, the name is empty or cannot be
// opened.
int GRD_hdr_open(int grd_fd, const char *filename);
// Returns the slot to its first grid; 0, or -1 for a slot number out of range.
int GRD_rewind(int grd_fd);
// Closes the slot's files and frees the slot; 0 (also for an empty slot), -1
// for a slot number out of range.
int GRD_close(int grd_fd);

// Reads the file header: the date label and date of the first record (native
// files), product (GRIB files) or message (GRID code), or the file's date
// (netCDF: its global attributes, or the reference date of a model-output
// file; a four-digit year of the own layout counts from 1900 in info.date)
// into info; 0, or -1 for a bad slot, a type without a reader, a GRIB file
// whose first product cannot be read or a netCDF file opened for writing.
int GRD_getinfo(int grd_fd, GRD_info *info);
// Writes the file header of a new file (the magic line for types 2 and 3,
// nothing for type 1; netCDF: the dimensions, variables and attributes of the
// own layout for grids of info->max_x x info->max_y points, or of the first
// grid written when those are not positive); 0, or -1 for a bad slot, a type
// that is not written or a header the netCDF library refuses.
int GRD_putinfo(int grd_fd, const GRD_info *info);
// Reads grid *grdnum (0 the first) into grd: rep_type 0 header and values,
// 1 (and 2) the header only. Any array grd holds is freed first; the values
// go into a new array that the record owns. *grdnum receives the number of the
// grid read (netCDF files: -1 asks for the grid last read). 0; 1 when the
// grid is there but cannot be read (a GRIB grid or packing that is refused, a
// cut product, a code stream that fails to decode, a native record whose
// values are cut short, a netCDF record whose size is not the file's, a GRID
// code message without a usable packing; warned with the file and grid
// number), the next number reading the next grid; -1 past the last grid or on
// an error. After 1 or -1 grd holds no array and its source is 0. netCDF
// records of the system's own layout keep the caller's projection parameters
// and ellipse flag (the layout does not store them).
int GRD_read(int grd_fd, GRD_report *grd, int rep_type, int *grdnum);
// Appends one record (header and values) for grd; a GRIB slot takes the
// grd->source raw bytes of grd->grid (a product as GRIB_get_raw reads it); a
// netCDF slot writes record *grd_num (labels cut to 49 characters). 0, or -1
// without values, for a type that is not written, a projection the format
// cannot hold, a grid of another size than the netCDF file's, or a failed or
// refused write.
int GRD_write(int grd_fd, GRD_report *grd, int rep_type, int *grd_num);

// The record of slot ind, null for an empty slot or a number out of range.
GRD_file *GRD_get_gfile(int ind);
// The offset at which the grid last read starts in the slot's stream.
long GRD_get_pos(int grd_fd);
// GRIB slots: moves the stream to offset, which becomes the end of the grid
// last read, and sets the grid counter to grdnum. Returns 1.
int GRD_setpos(int grd_fd, long offset, int grdnum);
// Copies the 160 bytes that start at the grid last read into header (which
// holds at least 160 bytes; not terminated) and leaves the stream there; 0,
// or -1 for a bad slot.
int GRD_get_header(int grd_fd, char *header);
// Whether GRIB index files may be opened (1 at start); 0.
int GRD_use_hdr_file(int val);
// The printf format of the values of native text files (at most 14
// characters; empty: "%14.8e"). A text that is not a single float conversion
// is refused with a warning and the format stays; 0.
int GRD_set_format(const char *str);
