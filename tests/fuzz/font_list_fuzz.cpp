// Fuzz target: font list files of any bytes, read as the default list
// (zeq.fnl, names running to the end of the line) and as a "fi:" list file,
// each followed by loading the fonts they name and choosing them by name.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "graphics/gks.h"
#include "graphics/gks_text.h"
#include "runtime/resrc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char dir[] = "/tmp/font_list_fuzz.XXXXXX";
    if (mkdtemp(dir) == nullptr) return 0;
    const std::string list = std::string(dir) + "/zeq.fnl";
    if (FILE *f = std::fopen(list.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        RES_put("file_path", dir);
        gopen_gks(nullptr, 0);
        for (const char *source : {"", "fi:zeq.fnl"}) {
            RES_put("font_list", source);
            if (gopen_ws(1, "/dev/null", GWS_PS) != 0) continue;
            for (int font = 0; font <= 41; ++font) {
                const Gfontprec fp{font, GSTROKE_PREC};
                gset_fontprec(&fp);
            }
            gget_font_index("modern");
            gclose_ws(1);
        }
    }
    unlink(list.c_str());
    rmdir(dir);
    return 0;
}
