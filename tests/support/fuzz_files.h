// Shared by the fuzz targets of tables: a scratch directory made once per
// process and set as the resource file_path, and the input written into it
// as a table of a given name.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/resrc.h"

namespace fuzzfiles {

// The directory; empty when it cannot be made.
inline const std::string &table_dir() {
    static const std::string dir = [] {
        char name[] = "/tmp/zeq_fuzz.XXXXXX";
        if (mkdtemp(name) == nullptr) return std::string();
        RES_put("file_path", name);
        return std::string(name);
    }();
    return dir;
}

// Writes the bytes as the table `name`; false when it cannot.
inline bool write_table(const char *name, const uint8_t *data, std::size_t size) {
    if (table_dir().empty()) return false;
    FILE *f = std::fopen((table_dir() + "/" + name).c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written;
}

} // namespace fuzzfiles
