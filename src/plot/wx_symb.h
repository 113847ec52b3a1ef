// Weather and sky-cover symbols at a world point: weather symbols are stroke
// drawings looked up by name in a symbol file ("wx.smb" by default), sky
// cover symbols a circle filled by the cloud amount of a cover code.
#pragma once

// Opens a symbol file (null: "wx.smb"), found as a table along the resource
// file_path. -1 when that file (any letter case) is open already, which keeps
// it and its index, or when it cannot be opened (warning, and no file is open
// then); else 0.
int WX_symb_file(const char *file);
// Draws the symbol whose name str begins with (the longest such name, any
// letter case) in a box of size x size placed at (x, y) by the current text
// alignment, with the current line and fill attributes; opens the default
// file first when none is open. 1 when drawn, else 0.
int WX_symb(float x, float y, const char *str, float size);
// Draws the sky cover symbol of a cover code ('0'-'9', 'C', 'F', 'S', 'B',
// 'O', 'X' and the thin 'b', 'o', 's', 'x'; any other an M) as a circle of
// radius rad. 0.
int WX_cloud(float x_center, float y_center, float rad, char cover);
