// X event processing. Until the event loop is built no event is processed
// and there is no event state to prepare or interaction to hold the window
// for.
#include "graphics/gks_evnt.h"

int ginit_event(int) {
    return 0;
}

int gcheck_event() {
    return 0;
}

Gint ghold(Gint) {
    return 0;
}
