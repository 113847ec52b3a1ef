// Fuzz target: the point-data calculator over two point-data files made of
// the bytes (split at the first NUL, else in the middle): the table commands,
// two-file and constant operations, extraction and a series, every result
// written to /dev/null.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plot/raw_tool.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

namespace {

bool put(const char *name, const uint8_t *data, size_t size) {
    FILE *f = std::fopen(name, "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    std::fclose(f);
    return ok;
}

void command(std::vector<std::string> words) {
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    RAW_math_command(static_cast<int>(argv.size()), argv.data());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static std::string a, b;
    if (a.empty()) {
        MESS_set_str("fi=/dev/null,print");
        const std::string base = "/tmp/raw_math_fuzz." + std::to_string(getpid());
        a = base + ".a";
        b = base + ".b";
        RES_put("plot_format", "%.3f");
    }
    const uint8_t *nul = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    const size_t split = nul != nullptr ? static_cast<size_t>(nul - data) : size / 2;
    if (!put(a.c_str(), data, split)) return 0;
    if (!put(b.c_str(), data + split + (nul != nullptr ? 1 : 0), size - split - (nul != nullptr ? 1 : 0)))
        return 0;
    for (const char *op : {"sum", "max", "min", "merge"})
        command({op, a, b, a, "=", "/dev/null"});
    for (const char *op : {"sub", "div", "mod", "ge"})
        command({a, op, b, "=", "/dev/null", "info", "label"});
    command({"#0", "div", a, "=", "/dev/null"});
    command({b, "mod", "#0", "=", "/dev/null"});
    command({"ext", a + "-2", "=", "/dev/null"});
    command({"ext", b + "-temp", "=", "/dev/null"});
    command({"series", a + ":00Z", b, "=", "/dev/null"});
    std::remove(a.c_str());
    std::remove(b.c_str());
    return 0;
}
