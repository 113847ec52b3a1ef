// Fuzz target: the texts a point plot takes from files and resources. The
// first line of the bytes is plot_param, the second plot_format, the third
// the identifier list of the station overlay; every further line is a point
// item "TYPE VALUE0 VALUE1 TEXT FORMAT" drawn on a map, turned into its value
// text, and then the station overlay is drawn, all on a PostScript page that
// goes to /dev/null.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_tran.h"
#include "plot/cty_plt.h"
#include "plot/raw_plt.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

namespace {

// A station file of a few stations, written once.
const char *station_file() {
    static const char *name = [] {
        const char *file = "/tmp/raw_plt_fuzz.cty";
        if (FILE *f = std::fopen(file, "w")) {
            std::fputs("Denver_Intl          CO US KDEN      1*  39.8500 -104.6500 1656 72565 3\n"
                       "Colorado_Springs_Mun CO US KCOS      2   38.8167 -104.7167 9999 99999 5\n"
                       "Cheyenne_Airport     WY US KCYS      2   41.1500 -104.8000 9999 99999 0\n",
                       f);
            std::fclose(f);
        }
        return file;
    }();
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool open = [] {
        MESS_set_str("fi=/dev/null,print");
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, "/dev/null", GWS_PS) != 0) return false;
        Domain d;
        DOM_decode("ll,40,-105,21,17,0.5", &d);
        MAP_domain(&d);
        const Glim win{-5, 5, 36, 44};
        gset_win(2, &win);
        return true;
    }();
    if (!open) return 0;
    std::istringstream in(std::string(reinterpret_cast<const char *>(data), size));
    std::string param, format, ids;
    std::getline(in, param);
    std::getline(in, format);
    std::getline(in, ids);
    RES_put("plot_param", param.c_str());
    RES_put("plot_format", format.c_str());
    RES_put("identifier", ids.c_str());
    RES_put("city_file", station_file());
    Gattribs attr;
    ATTRIB_init(&attr);
    RAW_plot_init(&attr, 1);
    std::string line;
    for (int n = 0; n < 200 && std::getline(in, line); ++n) {
        std::istringstream words(line);
        int type = 0;
        float v0 = -9999, v1 = -9999;
        std::string text, fmt;
        words >> type >> v0 >> v1 >> text >> fmt;
        RAW_data item;
        RAW_set(&item, static_cast<float>(n % 9) - 4, 40, type, fmt.c_str(), text.c_str(), v0, v1);
        RAW_plot_data(&item);
        char buf[40];
        RAW_data_to_string(buf, sizeof buf, &item);
        RAW_attribs a;
        RAW_init_attrib(&a);
        RAW_parse_format(&a, line.c_str());
    }
    CTY_plot();
    return 0;
}
