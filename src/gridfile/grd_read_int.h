// What the grid file table gives the format readers of the grid-file layer
// (not a public interface of the module).
#pragma once

#include <string>

#include "gridfile/grd_read.h"

namespace grd_file {

// What a GRIB slot keeps between reads besides its offsets: the grid at the
// slot's current offset (cur_pos) is grid `num` of the file; new_pos is where
// the next grid starts (-1 not known yet, -2 none).
struct GribSlot {
    bool pcont = false;     // the current grid continues an edition 2 product
    bool cont = false;      // the next grid continues the current product
    long product_pos = -1;  // where the header of the current grid's product starts
    long product_next = -1; // where the header of the product after it starts; -1 none
    // Index file: the line last read (its grid number, -1 none), its offset
    // and header text, and how many lines before it named the same product.
    int index_line = -1;
    long index_pos = -1;
    int index_field = 0;
    std::string index_text;
    unsigned long id = 0; // tells files apart for the decoder's product state
    // Back to the first grid, keeping the file's id.
    void restart() { *this = GribSlot{false, false, -1, -1, -1, -1, 0, std::string(), id}; }
};

// The reading state of an open slot (null members for an empty one).
struct GribPositions {
    long *cur_pos;
    long *new_pos;
    GribSlot *grib;
};
GribPositions grib_positions(int grd_fd);

// The name the slot was opened with, for messages; "" for an empty slot.
const char *name(int grd_fd);
// Sets the offset at which the grid being read starts (GRD_get_pos).
void set_cur_pos(int grd_fd, long pos);

} // namespace grd_file

// netCDF grid files (type 11): the system's own layout with one record per
// grid along the dimension "grid", and model-output files without it. The
// table calls these for its type-11 slots; each slot keeps its own layout
// and reading state here.
namespace grd_cdf {

// Opens (access 0) or creates (access 1) the file of slot `slot`: the netCDF
// id, or -1. No message.
int open(int slot, const char *name, int access);
// Closes the file and forgets the slot's state; 0.
int close(int slot, int ncid);
int getinfo(int slot, GRD_file *g, GRD_info *info);
int putinfo(int slot, GRD_file *g, const GRD_info *info);
int read(int slot, GRD_file *g, GRD_report *grd, int rep_type, int *grdnum);
int write(int slot, GRD_file *g, const GRD_report *grd, int *grd_num);

} // namespace grd_cdf

// Character GRID code bulletins (type 22): messages numbered into grids in
// file order, a wind message giving two grids. Each slot keeps its own table
// of the messages seen.
namespace grd_code {

// Forgets what was learnt of the slot's file (on open and close).
void reset(int slot);
int getinfo(int slot, GRD_file *g, GRD_info *info);
int read(int slot, GRD_file *g, GRD_report *grd, int rep_type, int *grdnum);

} // namespace grd_code
