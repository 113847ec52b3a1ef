// Fuzz target: bytes of any kind as a level menu file (rows, widths and
// display conditions) and as an upper-air input file: opened, its stations
// listed and searched, every report listed, its levels printed as table and
// wind rows (with blanks, then dashes), and written as binary and XML
// records. Messages go to a log file that discards them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fields/var_tool.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "upperair/ua_read.h"
#include "upperair/ua_tool.h"

namespace {

std::string dir;

void list_all(const UPA_report &r) {
    UPA_print_locate(M_PRINT, &r);
    UPA_print_report(M_PRINT, &r);
    UPA_print_man(M_PRINT, &r);
    UPA_print_sig(M_PRINT, &r);
    UPA_print_wnd(M_PRINT, &r);
    const WIND storm = {r.man[0].dir, r.man[0].spd};
    UPA_print_level(M_PRINT, M_PRINT, 0, nullptr);
    UPA_print_wind(M_PRINT, M_PRINT, 0, nullptr, &storm);
    for (int slot = 0; slot < UPA_MAX_MAN; ++slot) {
        UPA_print_level(M_PRINT, M_PRINT, -slot, &r.man[slot]);
        UPA_print_wind(M_PRINT, M_PRINT, slot, &r.man[slot], &storm);
    }
}

// The reports written again as binary records and as XML.
void write_out(const UPA_report &r) {
    for (int type : {UPA_BINARY, UPA_XML}) {
        const std::string name = dir + (type == UPA_BINARY ? "/out.bin" : "/out.xml");
        int t = type;
        if (UPA_open(name.c_str(), 1, &t) < 0) continue;
        UPA_info info{};
        UPA_putinfo(0, &info);
        int n = 0;
        UPA_write(0, &r, 30, &n);
        UPA_close(0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (dir.empty()) {
        char tmpl[] = "/tmp/ua_tool_fuzz.XXXXXX";
        if (mkdtemp(tmpl) == nullptr) return 0;
        dir = tmpl;
        MESS_set_str("fi=/dev/null,print");
        RES_put("file_path", dir.c_str());
        RES_put("level", "500mb");
        VAR_set_model_str("eta");
        VAR_set_time_str("00");
    }
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    // Without a program name the menu file is ".lev".
    const std::string menu = dir + "/.lev";
    const std::string input = dir + "/input.upa";
    for (const std::string &name : {menu, input}) {
        FILE *f = std::fopen(name.c_str(), "wb");
        if (f == nullptr) return 0;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    UPA_read_level_menu();
    UPA_set_prompt_level(1);
    UPA_prompt_level();

    // Bytes that detection would hand to the netCDF library are read only as
    // a menu here (the netCDF reader has its own target).
    if (size == 0 || data[0] != 'C') {
        if (UPA_open_file(input.c_str()) == 1) {
            UPA_list_stations();
            UPA_report r;
            UPA_get_station(bytes.substr(0, 10).c_str(), &r);
            UPA_get_station("12345", &r);
            UPA_rewind_file();
            for (int n = 0; n < 2000 && UPA_read_station(&r) == 0; ++n)
                list_all(r);
            UPA_close_file();
            if (UPA_open_file(input.c_str()) == 1 && UPA_read_station(&r) == 0) {
                UPA_close_file();
                write_out(r);
            }
            UPA_close_file();
        }
    }
    // Dashes cannot be turned off again: from the second input on, every row
    // shows them.
    UPA_set_miss_dash();
    unlink(menu.c_str());
    unlink(input.c_str());
    return 0;
}
