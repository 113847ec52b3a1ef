// Animation frames and looping. Until the frame store is built there are no
// frames to empty.
// No file-static state yet.
#include "graphics/gks_loop.h"

int ginit_loop() {
    return 0;
}
