// X event processing. Until the event loop is built no event is processed.
#include "graphics/gks_evnt.h"

int gcheck_event() {
    return 0;
}
