// The display list: the record of what was drawn on the own window (one
// object per primitive call and per effective attribute change), replayed
// onto the window, into a PostScript file or into a metafile; and the two
// process-wide switches it owns, recording and event processing.
#pragma once

// One recorded call: its code, its integer argument and a copy of its block
// argument (null when it has none).
struct drawobj {
    int type;
    drawobj *next;
    int values;
    unsigned char *data;
};

// The block of a callback object (code 999): func(data) is called on replay.
// The list owns data (released with free), so it must be a heap block or null.
struct redraw_func {
    void (*func)(void *);
    void *data;
};

// Starts a new list; zeqredraw (else the X default "redraw") set to "no" in
// any case turns recording off. 0.
int ginit_objs();
// The event switch: window events are processed only while it is on. 0.
int gset_cache(int val);
int gget_cache();
// The recording switch; returns its previous value.
int gset_redraw(int val);
int gget_redraw();
// While recording: appends a callback object that a replay calls with data.
// The list owns data from now on; when no object is made it is released here.
// 0.
int gset_redraw_func(void (*func)(void *), void *data);
// An object request (code, integer value, block size and contents). Every
// 500th request processes pending window events. While recording, appends
// an object and returns its block (size bytes, a copy of data when data is
// not null), else null.
void *gnew_obj(int type, int values, int size, const void *data);
// Releases every object. 0.
int gclear_objs();
// Removes every run of the segment's objects; -1 when recording is off,
// else 0.
int gdel_seg_objs(int seg_name);
// Replays one object through the kernel call that recorded it. 0.
int gobj_redraw_funcs(const drawobj *ptr);
// Replays the list onto the own window; -1 when recording is off, else 0.
int gobj_redraw_plot();
// Writes the list as PostScript (zeqps_print, else PSPRINT, else "zeq.ps");
// -1 when the file cannot be opened, else 0.
int gobj_print_plot();
// Writes the list as a metafile (METAOUT, else "zeq.meta"); -1 when the file
// cannot be opened, else 0.
int gobj_print_meta();
