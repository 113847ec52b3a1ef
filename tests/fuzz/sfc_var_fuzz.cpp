// Fuzz target: surface files of any bytes read as text reports, and every
// surface variable computed from each report (native units, the
// condensation level and a converted unit); the bytes themselves also go
// through the weather-field, METAR and compass conversions. Bytes that type
// detection would hand to the netCDF library are read as text only.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "plot/zeqraw.h"
#include "surface/sfc_plt.h"
#include "surface/sfc_read.h"
#include "surface/sfc_tool.h"
#include "surface/wx_tool.h"

namespace {

const char *const names[] = {
    "city",   "temp",   "ttd",     "dewp",   "dewd",   "wdir",  "wspd",   "wgst",   "wbrbc", "wbrb",
    "wind",   "hwind",  "uwnd",    "vwnd",   "uwndg",  "vwndg", "alt",    "pralt",  "pres",  "elev",
    "wx",     "vis",    "cldcl",   "cldclc", "cldcv",  "ptend", "prec1",  "prec3",  "prec6", "prec12",
    "prec24", "prec",   "extt",    "maxt6",  "maxt24", "maxt",  "mint6",  "mint24", "mint",  "snwdp",
    "nlcld",  "lcld",   "mcld",    "hcld",   "solar",  "sst",   "wavper", "wavhgt", "vpres", "svpres",
    "wchilt", "wchill", "wchill2", "wchilf", "heat",   "humit", "mrat",   "smrat",  "shum",  "rhum",
    "wetblb", "thetaw", "thetae",  "thetav", "theta",  "vtemp", "fr",
};

void all_variables(SFC_report *report) {
    for (const char *name : names) {
        for (int ltype : {1, 5}) {
            VAR_data var{};
            std::snprintf(var.name, sizeof var.name, "%s", name);
            var.ltype = ltype;
            var.time = 6000;
            RAW_data item{};
            SFC_get_data(report, &var, &item);
        }
    }
    char cover;
    float height;
    WX_set_cloud(report, &cover, &height);
    WX_weather_wmo(report->weather);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    char code[WX_CODE_SIZE];
    WX_metar_weather(text.c_str(), code);
    WX_weather_wmo(text.c_str());
    dir_decode(text.c_str());

    char name[] = "/tmp/sfc_var_fuzz.XXXXXX";
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
            SFC_report report;
            int n = 0;
            while (n < 2000 && SFC_read(0, &report, 0, &n) == 0) {
                all_variables(&report);
                ++n;
            }
            SFC_close(0);
        }
    }
    unlink(name);
    return 0;
}
