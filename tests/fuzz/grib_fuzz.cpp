// Runs the GRIB reader over arbitrary bytes: every product the framing finds
// is decoded block by block (edition 2: section by section), copied raw, and
// passed over to the next; then every grid is read through the grid file
// table (JPEG 2000 and run-length data included).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gridfile/grd_read.h"
#include "gridfile/grd_read_int.h"
#include "gridfile/grib.h"
#include "runtime/mess.h"
#include "support/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = (MESS_set(0, 0), true);
    (void)quiet;
    const std::string file = fuzzfiles::write_temp("grib_fuzz", data, size);
    if (file.empty()) return 0;
    const char *name = file.c_str();

    int type = 21;
    const int fd = GRD_open(name, 0, &type);
    if (fd >= 0) {
        FILE *s = GRD_get_gfile(fd)->file;
        for (int k = 0; k < 64; ++k) {
            const long start = std::ftell(s);
            if (GRIB_header(fd) != 1) break;
            GRD_report grd{};
            grd.grid = nullptr;
            if (GRIB_get_version() != 2) {
                if (GRIB_PDB(fd, &grd, 0) == 1 && GRIB_GDB(fd, &grd) == 1 && GRIB_BMB(fd) == 1)
                    GRIB_BDB(fd, &grd);
            } else {
                for (int n = 0; n < 64 && GRIB_read_section(fd) == 1; ++n) {
                    switch (GRIB_get_sect()) {
                    case 1:
                        GRIB_IDS(fd, &grd);
                        break;
                    case 3:
                        GRIB_GDS(fd, &grd);
                        break;
                    case 4:
                        GRIB_PDS(fd, &grd);
                        break;
                    case 5:
                        GRIB_DRS(fd, &grd);
                        break;
                    case 6:
                        GRIB_BMS(fd);
                        break;
                    case 7:
                        GRIB_DS(fd, &grd);
                        break;
                    default:
                        GRIB_skip_section(fd);
                        break;
                    }
                }
            }
            std::free(grd.grid);
            const long next = GRIB_next(fd, 1);
            grd_file::set_cur_pos(fd, start);
            char *raw = nullptr;
            int n = 0;
            GRIB_get_raw(fd, &raw, &n);
            std::free(raw);
            if (next < 0 || std::fseek(s, next, SEEK_SET) != 0) break;
        }
        GRD_close(fd);
    }
    // The same bytes through the grid file table: every grid number, header
    // only and whole, until the end.
    type = 21;
    const int gd = GRD_open(name, 0, &type);
    if (gd >= 0) {
        GRD_info info{};
        if (GRD_getinfo(gd, &info) == 0) {
            for (int n = 0; n < 64; ++n) {
                GRD_report grd{};
                grd.grid = nullptr;
                int num = n;
                const int h = GRD_read(gd, &grd, 1, &num);
                num = n;
                const int r = h < 0 ? h : GRD_read(gd, &grd, 0, &num);
                std::free(grd.grid);
                if (r < 0) break;
            }
        }
        GRD_close(gd);
    }
    unlink(name);
    return 0;
}
