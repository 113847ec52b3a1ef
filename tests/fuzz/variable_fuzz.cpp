// Fuzz target: variable specifications of any bytes through the parser, with
// the shipped parameter table and the program's definition file, then every
// entry printed; the bytes also go through the time, level and variable
// decoders on their own.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fields/var_tool.h"
#include "runtime/flag.h"
#include "runtime/mess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        MESS_set(0, 0);
        FLAG_set_batch(1);
        VAR_set_def_type(11);
        VAR_open_file("tarnisk.var");
        return true;
    }();
    (void)ready;
    const std::string text(reinterpret_cast<const char *>(data), size < 4096 ? size : 4096);
    VAR_setup(nullptr, text.c_str());
    VAR_print_all(M_PRINT);
    int time = 0, ltype = 0, level = 0;
    VAR_dec_time(text.c_str(), &time);
    VAR_dec_level(text.c_str(), &ltype, &level);
    VAR_data var;
    VAR_data_init(&var);
    VAR_dec_var(text.c_str(), &var);
    return 0;
}
