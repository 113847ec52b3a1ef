// The display list's switches and object requests: recording and event
// switches, and a request count that polls the window events every 500th
// request. No object is stored yet, so replays find an empty list and there
// is no metafile to write.
// File-static state: the two switches and the request count.
#include "graphics/gks_obj.h"

#include <cstdlib>

#include "graphics/gks_evnt.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "runtime/string.h"

namespace {

// Requests between two polls of the window events.
constexpr int POLL_EVERY = 500;

int num_objects = 0;
int redraw = 0; // recording switch
int action = 1; // event switch

// The X default "redraw" of the program, when a display is open.
const char *x_redraw_default() {
    Display *d = gget_display();
    return d != nullptr ? XGetDefault(d, gget_prog_name(), "redraw") : nullptr;
}

} // namespace

int ginit_objs() {
    num_objects = 0;
    const char *val = std::getenv("zeqredraw");
    if (val == nullptr) val = x_redraw_default();
    if (val != nullptr && stricmp(val, "no") == 0) redraw = 0;
    return 0;
}

int gset_cache(int val) {
    action = val;
    return 0;
}

int gget_cache() {
    return action;
}

int gset_redraw(int val) {
    const int prev = redraw;
    redraw = val;
    return prev;
}

int gget_redraw() {
    return redraw;
}

void *gnew_obj(int, int, int, const void *) {
    if (++num_objects % POLL_EVERY == 0) gcheck_event();
    return nullptr;
}

int gclear_objs() {
    return 0;
}

int gdel_seg_objs(int) {
    return redraw ? 0 : -1;
}

int gobj_print_meta() {
    return -1;
}
