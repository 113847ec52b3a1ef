// Window zoom. Until the zoom is built the window is never zoomed, so there
// is nothing to reset.
#include "graphics/gks_zoom.h"

int greset_zoom() {
    return 0;
}
