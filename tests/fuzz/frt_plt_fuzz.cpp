// Fuzz target: frontal bulletins of any bytes drawn on a Lambert map of a
// PostScript page that goes to /dev/null, as the analysis and as each
// forecast section, with and without pips; spelled positions read from the
// same bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "fields/region.h"
#include "graphics/gks.h"
#include "plot/frt_plt.h"
#include "plot/map.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool open = [] {
        MESS_set_str("fi=/dev/null,print");
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, "/dev/null", GWS_PS) != 0) return false;
        Domain domain;
        if (DOM_decode("lc,40,-100,51,31,1.2", &domain) != 1) return false;
        MAP_setup(&domain);
        const Date date{2004, 12, 8, MISSING, MISSING, 12, 0, 0};
        FRT_set_date(&date);
        return true;
    }();
    if (!open) return 0;
    char name[] = "/tmp/frt_plt_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) {
        for (const char *param : {"hour:0", "barb,hour:24,prrad:2", "noprlab,hour:12", "hour:0"}) {
            RES_put("plot_param", param);
            FRT_plot_file(name);
        }
        if (FILE *f = std::fopen(name, "r")) {
            float lat = 0, lon = 0;
            for (int i = 0; i < 50 && FRT_decode_locate(f, &lat, &lon) == 0; ++i) {
            }
            std::fclose(f);
        }
    }
    unlink(name);
    return 0;
}
