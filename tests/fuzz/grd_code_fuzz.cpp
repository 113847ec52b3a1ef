// Fuzz target: character GRID code bulletins of any bytes, detected or opened
// as GRID code, their header read and their grids read header-only and
// whole, onwards, again, backwards and after a rewind.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "gridfile/grd_read.h"
#include "runtime/mess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = (MESS_set(0, 0), true);
    (void)quiet;
    char name[] = "/tmp/grd_code_fuzz.XXXXXX";
    const int tmp = mkstemp(name);
    if (tmp < 0) return 0;
    FILE *f = fdopen(tmp, "wb");
    if (f == nullptr) {
        close(tmp);
        unlink(name);
        return 0;
    }
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    for (int detect : {0, 22}) {
        int type = detect;
        const int fd = GRD_open(name, 0, &type);
        if (fd < 0) continue;
        GRD_info info{};
        GRD_getinfo(fd, &info);
        GRD_report grd{};
        grd.grid = nullptr;
        for (int n = 0; n < 64; ++n) {
            int num = n;
            const int rc = GRD_read(fd, &grd, 1, &num);
            num = n;
            GRD_read(fd, &grd, 0, &num);
            if (rc < 0) break;
        }
        for (int n : {2, 0, 1, 1, -1}) {
            int num = n;
            GRD_read(fd, &grd, 0, &num);
        }
        GRD_rewind(fd);
        int num = 0;
        GRD_read(fd, &grd, 1, &num);
        std::free(grd.grid);
        GRD_close(fd);
    }
    unlink(name);
    return 0;
}
