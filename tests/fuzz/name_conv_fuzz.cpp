// Fuzz target: name convention tables of any bytes as name_conv along
// file_path, each file type chosen from them, typed names expanded and names
// built from dates, a short latest-file search; the bytes themselves also
// serve as a template.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/fuzz_files.h"

namespace {

void exercise() {
    char out[FILE_NAME_SIZE];
    // Typed names never read "exit" (which would end the program).
    FILE_set_file("x04120912", out);
    FILE_set_file("x0412#2004120912", out);
    FILE_set_file("/abs/x.sfc", out);
    Date d{2004, 12, 9, MISSING, MISSING, 12, 30, 0};
    FILE_set_date(&d, out);
    FILE_set_date(nullptr, out);
    FILE_hdr_set_date(&d, out);
    FILE_set_date_off(&d, 86400 * 3, out);
    FILE_set_current("#200412091200la#3", out);
    char conv[FILE_NAME_SIZE];
    FILE_get_name_conv(conv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        MESS_set(0, 0);
        RES_put("data_path", fuzzfiles::table_dir().c_str());
        return true;
    }();
    (void)ready;
    if (!fuzzfiles::write_table("name_conv", data, size)) return 0;

    for (const char *type : {"sfc_cvt", "upa_cvt", "grid_eta_211", "sfc_cvt:v=temp:r=ne"}) {
        std::string t = type;
        FILE_set_name(t.data());
        exercise();
    }
    std::string tpl = "@" + std::string(reinterpret_cast<const char *>(data), size < 300 ? size : 300);
    FILE_set_name(tpl.data());
    exercise();
    return 0;
}
