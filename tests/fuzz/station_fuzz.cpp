// Fuzz target: station files of any bytes as sao.cty along file_path: single
// look-ups by identifier, name and WMO number, and the station table loaded
// for a domain in every mode, searched by identifier and position.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fields/cty_tool.h"
#include "fields/region.h"
#include "runtime/mess.h"
#include "support/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = (MESS_set(0, 0), true);
    (void)quiet;
    if (!fuzzfiles::write_table("sao.cty", data, size)) return 0;

    float lat = 0, lon = 0;
    for (const char *id : {"KDEN", "72565", "Denver", "K2565", ""})
        CTY_get_loc("sao.cty", id, &lat, &lon);
    Domain domain;
    DOM_init(&domain);
    domain.proj = 2;
    domain.clat = 40;
    domain.clon = -100;
    domain.plon = -100;
    domain.nx = 25;
    domain.ny = 17;
    domain.dx = domain.dy = 10;
    for (int type : {1, 2, 3}) {
        CTY_data_size(type == 2 ? 16 : 0);
        CTY_store("sao.cty", type, &domain, -9999);
        // Mode 1 copies out the whole station, modes 2 and 3 its placing.
        CTY_data station;
        CTY_locate placed;
        void *out = type == 1 ? static_cast<void *>(&station) : static_cast<void *>(&placed);
        CTY_search("KDEN", out);
        CTY_search("72565", out);
        if (type == 3) {
            CTY_locate loc;
            CTY_search_loc(39.85f, -104.65f, &loc);
        }
        for (void *p = CTY_next_data(0); p != nullptr; p = CTY_next_data(1)) {
        }
        CTY_clear();
    }
    return 0;
}
