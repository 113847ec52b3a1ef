// X window dump files of window images. The XWD writer is not built yet: a
// dump says on the standard error stream that image output is missing and
// writes nothing.
// File-static state: none.
#include "graphics/xdump.h"

#include <cstdio>

int XWD_dump(const char *filename) {
    std::fprintf(stderr, "XWD_dump: image output is not built, %s not written\n",
                 filename != nullptr ? filename : "");
    return 0;
}
