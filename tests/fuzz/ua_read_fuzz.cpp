// Fuzz target: upper-air coded text files of any bytes through type
// detection, opening, the header, and station reading in every mode (in
// order, again, and back), as detected and forced to each text type; every
// report read is written again as a text file, a binary record and XML. Bytes that detection would
// hand to the netCDF library are read as text only (the netCDF reader has
// its own target, ua_cdf_fuzz).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "upperair/ua_read.h"

namespace {

void write_back(const UPA_report &r, int type) {
    char name[] = "/tmp/ua_read_fuzz_out.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return;
    close(fd);
    UPA_report copy = r;
    int t = type;
    // Opening closes the file being read: only the last report is written.
    if (UPA_open(name, 1, &t) >= 0) {
        UPA_info info{};
        UPA_putinfo(0, &info);
        int n = 0;
        UPA_write(0, &copy, 30, &n);
        UPA_close(0);
    }
    unlink(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char name[] = "/tmp/ua_read_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) {
        UPA_chktype(name);
        for (int type : {0, 1, 2, 3, 4, 5}) {
            if (type == 0 && size > 0 && data[0] == 'C') continue;
            int t = type;
            if (UPA_open(name, 0, &t) < 0) continue;
            UPA_info info;
            UPA_getinfo(0, &info);
            UPA_report report;
            int n = 0;
            while (n < 2000 && UPA_read(0, &report, 30, &n) == 0)
                ++n;
            for (int mode : {0, 31, 2, 3, 22, 23, 19}) {
                for (int again : {0, n - 1, 1, 1, 0, n})
                    UPA_read(0, &report, mode, &again);
            }
            UPA_rewind(0);
            int first = 0;
            const bool have = UPA_read(0, &report, 30, &first) == 0;
            UPA_close(0);
            if (have) {
                for (int out : {t, UPA_BINARY, UPA_XML})
                    write_back(report, out);
            }
        }
    }
    unlink(name);
    return 0;
}
