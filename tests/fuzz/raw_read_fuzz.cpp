// Fuzz target: point-data files of any bytes read through every mode of the
// reader (header and field list, each field in turn, the id column, data
// columns, names of the field list and name=value searches, jumps and
// rewinds), each token also decoded on its own, and every record written
// again to a point-data file that goes to /dev/null.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "plot/raw_read.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

namespace {

void copy_records(int in, int out) {
    RAW_report r{};
    bool started = false;
    for (int n = 0; n < 4000; ++n) {
        const int rc = RAW_read(in, &r, RAW_EACH_FIELD, &n);
        if (rc < 0) break;
        if (rc == 0) {
            RAW_write(out, &r, 5, n);
            started = false;
            continue;
        }
        if (!started) RAW_write(out, &r, 3, n);
        started = true;
        RAW_write(out, &r, 0, n);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    if (!ready) {
        MESS_set_str("fi=/dev/null,print");
        ready = true;
    }
    const std::string text(reinterpret_cast<const char *>(data), size);
    RAW_report tok{};
    RAW_dec_line(-1, 0, &tok, text.c_str());
    // The bytes as a plot_format for the writer.
    RES_put("plot_format", text.c_str());

    char name[] = "/tmp/raw_read_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) {
        int type = 0;
        const int in = RAW_open(name, 0, &type);
        char null_name[] = "/dev/null";
        int out_type = 1;
        const int out = RAW_open(null_name, 1, &out_type);
        if (in >= 0) {
            RAW_info info{};
            RAW_getinfo(in, &info);
            const int num_field = RAW_get_num_field(in);
            if (out >= 0) {
                for (int code = 10; code < num_field + 7; ++code) {
                    RAW_set_field_name(out, code, RAW_get_field_name(in, code));
                    RAW_set_field_info(out, code, RAW_get_field_info(in, code));
                    RAW_set_field_fmt(out, code, RAW_get_field_fmt(in, code));
                }
                RAW_putinfo(out, &info);
                RAW_putheader(out, info.info);
            }
            copy_records(in, out);
            RAW_report r{};
            for (int code : {2, 10, 11, 40, 75, 0, 3, 76, -9999}) {
                for (int n : {0, 2, 1, 7, 3}) {
                    RAW_read(in, &r, code, &n);
                    RAW_write(out, &r, 1, n);
                }
            }
            for (int i = 0; i < num_field; ++i) {
                const char *field = RAW_get_field_name(in, i + 7);
                int n = i % 3;
                if (field != nullptr) RAW_read(in, &r, field, &n);
            }
            for (const char *field : {"id", "ID", "dir", "x", ""}) {
                int n = 1;
                RAW_read(in, &r, field, &n);
            }
            RAW_rewind(in);
            copy_records(in, out);
            RAW_close(in);
        }
        if (out >= 0) RAW_close(out);
    }
    unlink(name);
    return 0;
}
