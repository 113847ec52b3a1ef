// The HP-GL/2 driver. Until it is built no HP-GL output opens, so there is
// never an output to write to or close.
// No file-static state yet.
#include "graphics/gks_hpgl.h"

FILE *ghpgl_open_file(const char *) {
    return nullptr;
}
int ghpgl_close_file() {
    return -1;
}
int ghpgl_printf(const char *, ...) {
    return 0;
}
