// Fuzz target: contour level files of any bytes, and the same bytes as a
// colour list, a format text and plot_param keywords; then the levels are
// fixed and a few values given their band.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/colors.h"
#include "plot/cont.h"
#include "runtime/resrc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char name[] = "/tmp/cont_levels_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) {
        static bool table = false;
        if (!table) {
            CLR_read_table(nullptr);
            table = true;
        }
        const std::string text(reinterpret_cast<const char *>(data), size);
        const auto bands = [] {
            CONT_set_range(40, -10);
            CONT_set_cont_ext(nullptr);
            Gattribs a;
            for (float v : {-20.0f, -9999.0f, 0.0f, 3.5f, 1e30f, 40.0f})
                CONT_get_fill_attrib(v, &a);
            float values[8];
            CONT_get_values(values, 8);
        };
        CONT_init();
        CONT_set_fill_colors(name, 1);
        bands();
        CONT_init();
        CONT_set_fill_colors(text.c_str(), 1);
        bands();
        CONT_init();
        CONT_set_format(12, text.c_str());
        CONT_format_decode_type(text.c_str());
        Gattribs a;
        ATTRIB_init(&a);
        CONT_format_decode_attrib(&a);
        RES_put("plot_param", text.c_str());
        CONT_param_decode();
        bands();
    }
    unlink(name);
    return 0;
}
