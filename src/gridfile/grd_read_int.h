// What the grid file table gives the format readers of the grid-file layer
// (not a public interface of the module).
#pragma once

#include <string>

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
