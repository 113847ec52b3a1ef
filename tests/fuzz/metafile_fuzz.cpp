// Fuzz target: text metafiles of any bytes replayed by the metafile reader
// onto a PostScript page that goes to /dev/null (transformations, colours,
// attributes, point lists, text and fonts from the file).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/gks.h"
#include "graphics/gks_meta.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool open = [] {
        gopen_gks(nullptr, 0);
        return gopen_ws(1, "/dev/null", GWS_PS) == 0;
    }();
    if (!open) return 0;
    char name[] = "/tmp/metafile_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) gread_metafile(name);
    unlink(name);
    return 0;
}
