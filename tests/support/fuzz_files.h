// Shared by the fuzz targets: a scratch directory made once per process and
// set as the resource file_path, the input written into it as a table of a
// given name or into a temporary file, and the input read as numbers.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

// Writes the bytes into a new temporary file named from `prefix`
// ("/tmp/<prefix>.XXXXXX"); its name, or empty when it cannot be written.
inline std::string write_temp(const char *prefix, const uint8_t *data, std::size_t size) {
    std::string name = std::string("/tmp/") + prefix + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) return std::string();
    FILE *f = fdopen(fd, "wb");
    if (f == nullptr) {
        close(fd);
        unlink(name.c_str());
        return std::string();
    }
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) {
        unlink(name.c_str());
        return std::string();
    }
    return name;
}

// The input read in order as bytes, big-endian numbers and short texts;
// zeros once it runs out.
class Bytes {
public:
    Bytes(const uint8_t *data, std::size_t size) : d_(data), n_(size) {}
    uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | byte();
        return v;
    }
    float f32() {
        const uint32_t bits = u32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // A text of at most `max` characters, its length the first byte.
    std::string text(std::size_t max) {
        std::string s;
        const std::size_t len = byte() % (max + 1);
        for (std::size_t k = 0; k < len; ++k)
            s += static_cast<char>(byte());
        return s;
    }

private:
    const uint8_t *d_;
    std::size_t n_, i_ = 0;
};

} // namespace fuzzfiles
