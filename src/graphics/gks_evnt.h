// X event processing of the own window: exposures, resizes, keys, pointer
// buttons with rubber-band feedback, and the messages of a program feeding
// frames. Events are only read when the kernel polls.
#pragma once

#include "graphics/gks.h"

// The user callback: kind 2 for a key or a resize, 3 for a button; the event
// text ("a-Alt", "Ret", "B1-P-Shft", "B2-R", "size", ...); x, y the pointer
// position in world coordinates of the current transformation (for "size"
// the window's new width and height in pixels).
using Gmouse_func = void (*)(int kind, const char *event, float x, float y);
// Registers the callback (null: none). 1.
int gset_mouse_callback(Gmouse_func func);

// Prepares event processing for an initialisation kind (0 at open, 1 after
// a resize): no rubber band; kind 0 also stops key input. 1.
int ginit_event(int type);
// 1 while the window is mapped.
int gis_mapped();
// Key input: 1 waits for keys (the hold loop), any other value ignores
// them. 0.
int gset_input_mode(int val);
// 1 while input goes on, 0 once the user (or a feeding program) ended it.
int gget_input_mode();

// Arms the rubber band of the next button drag: 0 none, 1 line from the
// anchor, 2 rectangle, 3 lines from the moving point to fixed points. 1.
int gset_rubber_band(int val);
// The points of band 3 in world coordinates (at most 5 are kept: the moving
// point first, then the fixed points) and its constraint (1 keeps x, 2
// keeps y). 1.
int gset_rubber_band_points(const Gpt *array_pt, int num_pt, int constraint);
// Two world points, the low and the high corner, that clamp the moving
// point of the band. 1.
int gset_rubber_band_limits(const Gpt *array_pt);

// Processes the pending events of the own window; the number of key presses
// and button releases among them (0 at once on other devices or with the
// event switch off).
int gcheck_event();
// Waits for an event of the own window, processes it and the ones pending
// after it; counted as gcheck_event.
int gwait_event();
// Takes the pending events and discards them; their number.
int gprint_event();
