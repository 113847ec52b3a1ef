// What the grid file table gives the format readers of the grid-file layer
// (not a public interface of the module).
#pragma once

namespace grd_file {

// The name the slot was opened with, for messages; "" for an empty slot.
const char *name(int grd_fd);
// Sets the offset at which the grid being read starts (GRD_get_pos).
void set_cur_pos(int grd_fd, long pos);

} // namespace grd_file
