// Fuzz target: map database files of any bytes (text or big-endian binary
// records), drawn as lines and as filled areas on a latitude-longitude, a
// Lambert and an orthographic map of a text metafile that discards them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fields/region.h"
#include "graphics/gks.h"
#include "plot/map.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

namespace {

std::string dir;

Domain domain(int proj, float clat, float clon, float d) {
    Domain dom;
    DOM_init(&dom);
    dom.proj = proj;
    dom.clat = clat;
    dom.clon = clon;
    dom.nx = 51;
    dom.ny = 31;
    dom.dx = dom.dy = d;
    return dom;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (dir.empty()) {
        char tmpl[] = "/tmp/map_file_fuzz.XXXXXX";
        if (mkdtemp(tmpl) == nullptr) std::abort();
        dir = tmpl;
        MESS_set_str("fi=/dev/null");
        RES_put("file_path", dir.c_str());
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, "/dev/null", GWS_META) != 0) std::abort();
    }
    const std::string name = dir + "/fuzz.map";
    FILE *f = std::fopen(name.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    for (Domain dom : {domain(2, 0, -100, 7.2f), domain(4, 60, -100, 4), domain(5, 40, 170, 2)}) {
        MAP_setup(&dom);
        MAP_process("fuzz.map:1");
        MAP_process("fuzz.map:1:fi=0");
    }
    unlink(name.c_str());
    return 0;
}
