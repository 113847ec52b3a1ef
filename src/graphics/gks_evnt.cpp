// X event processing. Until the event loop is built no event is processed.
// No file-static state yet.
#include "graphics/gks_evnt.h"

int gcheck_event() {
    return 0;
}
