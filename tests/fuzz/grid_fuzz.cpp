// Fuzz target: native grid files of any bytes (text and binary records, the
// ZEQGRID4 forms, values in a separate data file) through type detection,
// opening, the header, reading every record with and without its values,
// rereading after a rewind and the raw header copy. GRIB and netCDF bytes are
// left to their own targets and libraries.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gridfile/grd_read.h"
#include "runtime/mess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        MESS_set(0, 0);
        // The separate data file the seeds name, in the working directory.
        if (FILE *f = std::fopen("grid_fuzz.dat", "w")) {
            std::fputs("1 2 3 4 5 6 7 8 9 10 11 12\n", f);
            std::fclose(f);
        }
        return true;
    }();
    (void)ready;
    if (size < 7 || std::string(reinterpret_cast<const char *>(data), 7) != "ZEQGRID") return 0;
    char name[] = "/tmp/grid_fuzz.XXXXXX";
    const int tmp = mkstemp(name);
    if (tmp < 0) return 0;
    const bool written = write(tmp, data, size) == static_cast<ssize_t>(size);
    close(tmp);
    if (written) {
        int type = 0;
        const int fd = GRD_open(name, 0, &type);
        if (fd >= 0) {
            GRD_info info{};
            GRD_getinfo(fd, &info);
            GRD_report grd{};
            grd.grid = nullptr;
            for (int pass = 0; pass < 2; ++pass) {
                for (int k = 0; k < 32; ++k) {
                    int num = k;
                    if (GRD_read(fd, &grd, pass == 0 ? 1 : 0, &num) != 0) break;
                    char header[161];
                    GRD_get_header(fd, header);
                }
                GRD_rewind(fd);
            }
            std::free(grd.grid);
            GRD_close(fd);
        }
    }
    unlink(name);
    return 0;
}
