// The display list: the recording switch, the event switch and the object
// request that every primitive and attribute call makes. In this form the
// list stores no objects; requests are counted and poll the window events.
#pragma once

// Starts a new list; the environment variable zeqredraw set to "no" turns
// recording off. 0.
int ginit_objs();
// The event switch: window events are processed only while it is on. 0.
int gset_cache(int val);
int gget_cache();
// The recording switch; returns its previous value.
int gset_redraw(int val);
int gget_redraw();
// An object request (code, integer value, block size and contents). Every
// 500th request processes pending window events. Returns the object's data
// block, or null when nothing is stored.
void *gnew_obj(int type, int values, int size, const void *data);
// Releases every object. 0.
int gclear_objs();
// Removes the objects of a segment; -1 when recording is off, else 0.
int gdel_seg_objs(int seg_name);
// Writes the stored drawing as a metafile: 0, or -1 when it cannot be
// written (the list stores nothing yet, so there is never a file).
int gobj_print_meta();
