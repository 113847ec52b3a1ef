// GIF files of window images. The GIF writer is not built yet: a dump warns
// that image output is missing and writes nothing.
// File-static state: none.
#include "graphics/gif.h"

#include "runtime/mess.h"

int GIF_dump(const char *filename) {
    MESS_print(M_WARN, "GIF_dump: image output is not built, %s not written\n",
               filename != nullptr ? filename : "");
    return 0;
}
