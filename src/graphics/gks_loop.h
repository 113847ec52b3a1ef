// Animation frames and looping.
#pragma once

// Empties the frame store. 0.
int ginit_loop();
// Releases the pixmap of every frame. 0.
int gdelete_all_frames();
// Fills a frame (n, -1 the last, -2 the current) or, for -3, the window's
// backing image with the background colour over the device size. 0.
int gclear_frame(int ind);
