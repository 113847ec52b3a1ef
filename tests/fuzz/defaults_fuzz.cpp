// Fuzz target: defaults files of any bytes, read line by line as the program
// reads them (conditional sections, quoted values, names and values at and
// beyond their buffers), each name matched as a pattern of the program.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runtime/def_read.h"
#include "runtime/mess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        MESS_set(0, 0);
        DEF_name("+night");
        DEF_tag("night");
        return true;
    }();
    (void)ready;
    char name[] = "/tmp/defaults_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written && DEF_open(name) == 0) {
        char res[64], value[200], small[8], part[64];
        while (DEF_get(res, sizeof res, value, sizeof value) == 1) {
            DEF_cmp("variable", res);
            DEF_valid(res);
            DEF_parse_name(res, part, sizeof part);
            DEF_parse_name(value, small, sizeof small);
        }
        DEF_close();
        // Small buffers cut names and values.
        if (DEF_open(name) == 0)
            while (DEF_get(small, sizeof small, small, sizeof small) == 1) {
            }
        DEF_close();
    }
    unlink(name);
    return 0;
}
