// Fuzz target: point-data sounding files of any bytes read as the current
// sounding, its indices computed and every table printed (to /dev/null),
// then written out again as a point-data file to /dev/null.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "upperair/thm_tool.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    if (!ready) {
        MESS_set_str("fi=/dev/null,out3,nopage");
        RES_put("out_file", "raw=@/dev/null");
        ready = true;
    }
    char name[] = "/tmp/thm_raw_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) {
        THERM_read_raw(name);
        THERM_calc();
        THERM_sig_table();
        THERM_indices();
        THERM_wind();
        THERM_wind_table();
        THERM_storm_table();
        THERM_out_raw();
    }
    unlink(name);
    return 0;
}
