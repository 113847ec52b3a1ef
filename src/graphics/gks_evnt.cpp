// X event processing. Until the event loop is built no event is processed
// and there is no interaction to hold the window for.
#include "graphics/gks_evnt.h"

int gcheck_event() {
    return 0;
}

Gint ghold(Gint) {
    return 0;
}
