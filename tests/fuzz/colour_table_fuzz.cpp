// Fuzz target: colour table files of any bytes, read alone and as both files
// of a list through the resource color_table, then every entry and a few
// names looked up.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "graphics/colors.h"
#include "runtime/resrc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char name[] = "/tmp/colour_table_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) {
        CLR_clear_table();
        CLR_read_table(name);
        RES_put("color_table", (std::string(name) + "," + name).c_str());
        CLR_read_table(nullptr);
        float r, g, b;
        for (int i = -1; i <= CLR_get_num(); ++i) {
            CLR_get_name(i);
            CLR_get_rgb(i, &r, &g, &b);
        }
        for (const char *n : {"red", "#ff8000", "#255128000", "12abc", "end"})
            CLR_get_ind(n);
        Gattribs a;
        ATTRIB_init(&a);
        ATTRIB_parse("red:w2:fM:st=dsh:fo=1", &a);
    }
    unlink(name);
    return 0;
}
