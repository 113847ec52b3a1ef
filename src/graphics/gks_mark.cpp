// Markers. Until the marker primitive is built, its workstation set-up has
// nothing to do.
// No file-static state yet.
#include "graphics/gks_mark.h"

int greset_marker() {
    return 0;
}
int ginit_marker(int) {
    return 0;
}
