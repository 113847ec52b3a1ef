// The display list: the recording and event switches and the object
// requests of every primitive and attribute call.
#pragma once

// Starts a new list. 0.
int ginit_objs();
// The event switch. 0.
int gset_cache(int val);
int gget_cache();
// The recording switch; returns the previous value.
int gset_redraw(int val);
int gget_redraw();
// An object request: the object's data block, or null when nothing is stored.
void *gnew_obj(int type, int values, int size, const void *data);
// Releases every object. 0.
int gclear_objs();
// Removes the objects of a segment; -1 when recording is off, else 0.
int gdel_seg_objs(int seg_name);
