// Animation frames and looping on the own X window: a store of up to 128
// frames (off-screen images of the window's size with a display delay each),
// shown one at a time through the window's backing image.
//
// Frame numbers: n >= 0 a frame, -1 the last frame, -2 the current frame
// (the one shown last), -3 the window's backing image where an operation
// says so. A number that names no frame of the store is refused: the
// operation does nothing (gselect_frame then draws on the backing image).
// Without an X window every operation that touches images does nothing and
// returns 0.
#pragma once

#include <cstddef>

// The most frames the store holds; the bytes of user data a frame keeps.
inline constexpr int MAX_FRAMES = 128;
inline constexpr int FRAME_DATA_SIZE = 50;

// Empties the store (images are forgotten, not released). 0.
int ginit_loop();
// The number of frames in the store.
int gget_num_images();
// Creates (or clears and reuses) frame ind, a negative ind appending one;
// after an append every frame but the last waits the loop delay and the last
// the loop pause. Returns ind; -3 (the backing image) with a warning when
// the store is full or ind is 128 or more; 0 without an X window.
int gcreate_frame(int ind);
// Fills a frame (n, -1, -2) or, for -3, the window's backing image with the
// background colour over the device size. 0.
int gclear_frame(int ind);
// Turns display-list recording off and draws from now on into a frame (n,
// -1, -2; -3, a frame without an image or a number outside the store: the
// backing image). 0.
int gselect_frame(int ind);
// Exchanges the images of two frames (-3: the backing image itself); the
// drawing follows its image's frame. Nothing when either has no image. 0.
int gswitch_frame(int ind1, int ind2);
// Copies the device area of frame src onto frame dest (-3 the backing
// image). Nothing when either has no image. 0.
int gcopy_frame(int dest, int src);
// Shows a frame (negative: the current one) in the window and makes it
// current; with frame titles on the window title ends in "[n]". 0.
int gdisplay_frame(int ind);
// Releases the image of every frame; the count stays. 0.
int gdelete_all_frames();
// Removes a frame (n, -1, -2) from the store; the frame that takes the
// place of the current one is shown. 1, or 0 without an X window or for a
// number that names no frame.
int gdelete_frame(int ind);

// The looping state: 1 starts (loop cursor, "Looping initiated"), any other
// value stops (stop cursor, "Looping stopped"). 0.
int gset_looping(int ind);
int gget_looping();
// 1 starts looping, 0 stops it, any other value toggles. 0.
int gtoggle_loop(int val);
// Stepping direction: 1 forward, 0 backward, 2 and 3 back and forth
// (moving backward, moving forward). gset_loop_direct returns 0.
int gset_loop_direct(int ind);
int gget_loop_direct();
// The delay of one frame (n, -1, -2) or, with -4, of every frame but the
// last (seconds). 0.
int gset_loop_delay(int ind, float delay);
// Changes the loop delay by inc (never below 0) for every frame but the
// last. 0.
int ginc_loop_delay(float inc);
float gget_loop_delay();
// The delay of a frame (n, -1, -2); 0 for a number outside the store.
float gget_frame_delay(int ind);
// The frame to show next, stepping by step (0: by the direction); -1 for an
// empty store.
int ginc_frame(int step);
// Waits the current frame's delay, answering window events meanwhile. 0, or
// -1 when no frame is current.
int gloop_sleep();
int gget_cur_frame();

// The X image id of a frame (n, -1, -2); 0 for a number outside the store.
unsigned long gget_frame_id(int ind);
// Gives a frame its image id. 0.
int gset_frame_id(int ind, unsigned long id);
// User data of a frame: at most FRAME_DATA_SIZE bytes are kept. 0.
int gset_image_data(int ind, const unsigned char *data, int size);
// Copies a frame's data into data (at most size bytes; nothing for a
// number outside the store). 0.
int gget_image_data(int ind, unsigned char *data, std::size_t size);
// Lists the window, its backing image and each frame's image id on standard
// output. 0.
int gprint_frame_ids();
// Frame numbers in the window title on (1) or off (0). 1.
int gset_loop_title(int val);
