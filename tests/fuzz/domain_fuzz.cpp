// Fuzz target: domain texts of any bytes through the decoder, with a region
// file (nested, "fi:" and menu-loading regions) and a station file along
// file_path, then printed, compared and measured. Batch mode: "var" asks
// nobody.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fields/region.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

namespace {

void write(const std::string &name, const char *text) {
    if (FILE *f = std::fopen(name.c_str(), "w")) {
        std::fputs(text, f);
        std::fclose(f);
    }
}

bool setup() {
    static char dir[] = "/tmp/domain_fuzz.XXXXXX";
    if (mkdtemp(dir) == nullptr) return false;
    const std::string d = dir;
    write(d + "/zeq.reg", "ne Northeast 1 42,-76,25,17,0.9\n"
                          "ch Chain 1 ne\n"
                          "loop Loop 0 loop\n"
                          "st Station 1 ps,id:KDEN,25,17,1.5\n"
                          "fi First 1 fi:other.reg\n"
                          "menu Menu 0 other.reg:\n");
    write(d + "/other.reg", "xx Other 1 lamb:e:25:-95:25:45,40,-95,31,21,2,2\n");
    write(d + "/sao.cty", "Denver CO US KDEN 72565 39.85 -104.65 1640 99999 1\n");
    RES_put("file_path", dir);
    MESS_set(0, 0);
    FLAG_set_batch(1);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = setup();
    if (!ready) return 0;
    const std::string text(reinterpret_cast<const char *>(data), size < 4096 ? size : 4096);
    Domain d;
    const int r = DOM_decode(text.c_str(), &d);
    DOM_print(M_PRINT, &d);
    Domain e;
    DOM_get_def_region(text.c_str(), &e);
    DOM_comp(&d, &e);
    if (r > 0) DOM_aspect(&d);
    DOM_proj_str(text.c_str());
    return 0;
}
