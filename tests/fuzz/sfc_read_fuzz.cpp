// Fuzz target: surface files of any bytes through type detection, opening,
// the header, rewinding and report reading (sequential, again, and back), as
// detected and forced to each text type; the reports read (values of any
// size, texts of any bytes) are then written as every written type and the
// text and netCDF ones read back. Bytes that detection would hand to the
// netCDF library are read as text only: the library's own header reader
// allocates whatever a corrupt header claims.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "surface/sfc_read.h"
#include "surface/zeqsfc.h"

namespace {

// Writes the reports as a file of the type and reads the readable types back.
void write_and_read(const char *name, int type, const SFC_info &header, std::vector<SFC_report> &reports) {
    int t = type;
    if (SFC_open(name, 1, &t) < 0) return;
    SFC_info info = header;
    SFC_putinfo(0, &info);
    for (int n = 0; n < static_cast<int>(reports.size()); ++n)
        SFC_write(0, &reports[static_cast<std::size_t>(n)], 0, &n);
    SFC_close(0);
    if (type == SFC_BINARY || type == SFC_XML) return;
    t = type;
    if (SFC_open(name, 0, &t) < 0) return;
    SFC_getinfo(0, &info);
    SFC_report report;
    for (int n = 0; SFC_read(0, &report, 0, &n) == 0; ++n) {
    }
    SFC_close(0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char name[] = "/tmp/sfc_read_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    std::vector<SFC_report> reports;
    SFC_info header{};
    if (written) {
        for (int type : {0, 2, 3}) {
            if (type == 0 && size > 0 && data[0] == 'C') continue;
            int t = type;
            if (SFC_open(name, 0, &t) < 0) continue;
            SFC_info info;
            if (SFC_getinfo(0, &info) == 0) header = info;
            SFC_rewind(0);
            SFC_report report;
            int n = 0;
            while (n < 5000 && SFC_read(0, &report, 0, &n) == 0) {
                if (reports.size() < 50) reports.push_back(report);
                ++n;
            }
            for (int again : {n - 1, 1, 0, 3})
                SFC_read(0, &report, 1, &again);
            SFC_close(0);
        }
    }
    // A report of raw bytes as well: values and texts no reader gives
    // (unterminated texts, any layer count, not-a-number values).
    if (size >= sizeof(SFC_report)) {
        SFC_report raw;
        std::memcpy(&raw, data, sizeof raw);
        reports.push_back(raw);
    }
    header.cmdline = nullptr;
    for (int type : {1, 2, 3, 4, SFC_BINARY, SFC_XML, SFC_CDF_REPORT})
        write_and_read(name, type, header, reports);
    unlink(name);
    return 0;
}
