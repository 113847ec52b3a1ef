// Fuzz target: map lists of any bytes, as the resource map_file (split at
// commas) and as the words of a list file, drawn with every sign flag on a
// latitude-longitude map and on a diagram of a text metafile that discards
// them; the items name small map files, overlays, regional blocks, size
// tests and latitude-longitude nets.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "plot/map.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

namespace {

std::string dir;

void write(const std::string &name, const std::string &bytes) {
    if (FILE *f = std::fopen((dir + "/" + name).c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (dir.empty()) {
        char tmpl[] = "/tmp/map_list_fuzz.XXXXXX";
        if (mkdtemp(tmpl) == nullptr) std::abort();
        dir = tmpl;
        MESS_set_str("fi=/dev/null");
        RES_put("file_path", dir.c_str());
        write("a.map", "2 0 0 0 0 0\n40 -100\n41 -99\n0 0 0 0 0 0\n");
        // Colours by name, so that items and nets are drawn.
        write("zeq.clr", "black 0 0 0\nred 1 0 0\nmagenta 1 0 1\nLGray 0.75 0.75 0.75\n");
        write("land.map", "5 0 0 0 0 0\n30 -110\n30 -90\n50 -90\n50 -110\n30 -110\n0 0 0 0 0 0\n");
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, "/dev/null", GWS_META) != 0) std::abort();
        CLR_read_table("zeq.clr");
    }
    const std::string text(reinterpret_cast<const char *>(data), size);
    write("list.lst", text);
    Domain map, diagram;
    DOM_init(&map);
    map.proj = 2;
    map.clat = 40;
    map.clon = -100;
    map.nx = 41;
    map.ny = 21;
    map.dx = map.dy = 1;
    DOM_init(&diagram);
    diagram.proj = 41;
    diagram.clat = -40;
    diagram.clon = 1050;
    diagram.dx = 80;
    diagram.dy = -950;
    for (Domain *dom : {&map, &diagram}) {
        MAP_setup(dom);
        RES_put("map_file", text.c_str());
        for (int flag = 1; flag <= 7; ++flag)
            MAP_draw(flag);
        RES_put("map_file", "fi:list.lst");
        MAP_draw(5);
    }
    return 0;
}
