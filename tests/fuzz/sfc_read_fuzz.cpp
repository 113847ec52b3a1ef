// Fuzz target: surface files of any bytes through type detection, opening,
// the header, rewinding and report reading (sequential, again, and back), as
// detected and forced to each text type. Bytes that detection would hand to
// the netCDF library are read as text only: the library's own header reader
// allocates whatever a corrupt header claims.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "surface/sfc_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char name[] = "/tmp/sfc_read_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) {
        for (int type : {0, 2, 3}) {
            if (type == 0 && size > 0 && data[0] == 'C') continue;
            int t = type;
            if (SFC_open(name, 0, &t) < 0) continue;
            SFC_info info;
            SFC_getinfo(0, &info);
            SFC_rewind(0);
            SFC_report report;
            int n = 0;
            while (n < 5000 && SFC_read(0, &report, 0, &n) == 0)
                ++n;
            for (int again : {n - 1, 1, 0, 3})
                SFC_read(0, &report, 1, &again);
            SFC_close(0);
        }
    }
    unlink(name);
    return 0;
}
