// Fuzz target: upper-air netCDF files whose layout and contents come from the
// bytes: either record dimension and naming, level dimensions of any length,
// variables present, absent or of another type, counts and values of any bit
// pattern, the date and version attributes. The file is built with the
// netCDF library (whose own header reader is not the subject here), then
// detected, opened and read in every mode; each report read is written again
// as a coded text file and as netCDF.
#include <netcdf.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "upperair/ua_read.h"
#include "support/fuzz_files.h"

namespace {

using fuzzfiles::Bytes;

struct Var {
    const char *lower, *upper;
    int shape; // 0 record, 1 string, 2 mandatory, 3 significant, 4 wind levels
    nc_type type;
};

constexpr std::array<Var, 21> vars = {{
    {"id", "id", 1, NC_CHAR},
    {"region", "region", 1, NC_CHAR},
    {"type", "type", 1, NC_CHAR},
    {"idn", "idn", 0, NC_INT},
    {"lat", "lat", 0, NC_FLOAT},
    {"lon", "lon", 0, NC_FLOAT},
    {"num_mant", "num_mant", 0, NC_INT},
    {"num_sigt", "num_sigt", 0, NC_INT},
    {"num_sigw", "num_sigw", 0, NC_INT},
    {"p_man", "P_man", 2, NC_FLOAT},
    {"z_man", "Z_man", 2, NC_FLOAT},
    {"t_man", "T_man", 2, NC_FLOAT},
    {"td_man", "TD_man", 2, NC_FLOAT},
    {"dir_man", "DIR_man", 2, NC_FLOAT},
    {"spd_man", "SPD_man", 2, NC_FLOAT},
    {"p_sigt", "P_sigt", 3, NC_FLOAT},
    {"t_sigt", "T_sigt", 3, NC_FLOAT},
    {"td_sigt", "TD_sigt", 3, NC_FLOAT},
    {"z_sigw", "Z_sigw", 4, NC_FLOAT},
    {"dir_sigw", "DIR_sigw", 4, NC_FLOAT},
    {"spd_sigw", "SPD_sigw", 4, NC_FLOAT},
}};

// Builds the file; false when the library refuses the layout.
bool build(const char *name, Bytes &b) {
    const uint8_t flags = b.byte();
    const bool upper = flags & 1;
    const bool unlimited = flags & 2;
    const size_t records = b.byte() % 4;
    const size_t lens[5] = {records, static_cast<size_t>(b.byte() % 16) + 1,
                            static_cast<size_t>(b.byte() % 32), static_cast<size_t>(b.byte() % 220),
                            static_cast<size_t>(b.byte() % 120)};
    const uint32_t present = b.u32(), retyped = b.u32();
    int nc = -1;
    if (nc_create(name, NC_CLOBBER, &nc) != NC_NOERR) return false;
    int dims[5];
    const char *dim_names[5] = {upper ? "report" : "station", "string_len", "mant_level", "sigt_level",
                                "sigw_level"};
    bool ok = nc_def_dim(nc, dim_names[0], unlimited ? NC_UNLIMITED : records, &dims[0]) == NC_NOERR;
    for (int k = 1; k < 5 && ok; ++k)
        ok = nc_def_dim(nc, dim_names[k], lens[k], &dims[k]) == NC_NOERR;
    std::array<int, vars.size()> ids;
    ids.fill(-1);
    for (size_t v = 0; v < vars.size() && ok; ++v) {
        if (!(present >> v & 1)) continue;
        nc_type type = vars[v].type;
        if (retyped >> v & 1) type = type == NC_CHAR ? NC_FLOAT : (type == NC_FLOAT ? NC_SHORT : NC_DOUBLE);
        const int shape[2] = {dims[0], dims[vars[v].shape == 0 ? 0 : vars[v].shape]};
        ok = nc_def_var(nc, upper ? vars[v].upper : vars[v].lower, type, vars[v].shape == 0 ? 1 : 2, shape,
                        &ids[v]) == NC_NOERR;
    }
    const uint8_t atts = b.byte();
    for (const char *att : {"version", "filetime", "datetime"}) {
        const std::string text = b.text(60);
        if (ok && (atts & 1)) ok = nc_put_att_text(nc, NC_GLOBAL, att, text.size(), text.data()) == NC_NOERR;
    }
    ok = ok && nc_enddef(nc) == NC_NOERR;
    for (size_t v = 0; v < vars.size() && ok; ++v) {
        if (ids[v] < 0 || records == 0) continue;
        const size_t per = vars[v].shape == 0 ? 1 : lens[vars[v].shape];
        const size_t start[2] = {0, 0}, count[2] = {records, per};
        const size_t total = records * per;
        nc_type type;
        nc_inq_vartype(nc, ids[v], &type);
        if (type == NC_CHAR) {
            std::vector<char> text(total);
            for (char &c : text)
                c = static_cast<char>(b.byte());
            ok = nc_put_vara_text(nc, ids[v], start, count, text.data()) == NC_NOERR;
        } else if (type == NC_INT) {
            std::vector<int> values(total);
            for (int &x : values)
                x = static_cast<int>(b.u32());
            ok = nc_put_vara_int(nc, ids[v], start, count, values.data()) == NC_NOERR;
        } else {
            std::vector<float> values(total);
            for (float &x : values)
                x = (b.byte() & 1) ? b.f32() : static_cast<float>(static_cast<int8_t>(b.byte())) * 10;
            ok = nc_put_vara_float(nc, ids[v], start, count, values.data()) == NC_NOERR ||
                 type != NC_FLOAT; // out-of-range conversions into other types are refused
        }
    }
    return nc_close(nc) == NC_NOERR && ok;
}

void write_back(const UPA_report &r, int type) {
    char name[] = "/tmp/ua_cdf_fuzz_out.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return;
    close(fd);
    int t = type;
    if (UPA_open(name, 1, &t) >= 0) {
        UPA_info info{};
        UPA_putinfo(0, &info);
        int n = 0;
        UPA_write(0, &r, 30, &n);
        UPA_close(0);
    }
    unlink(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char name[] = "/tmp/ua_cdf_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    close(fd);
    Bytes bytes(data, size);
    if (build(name, bytes)) {
        int type = 0;
        if (UPA_open(name, 0, &type) >= 0) {
            UPA_info info;
            UPA_getinfo(0, &info);
            std::vector<UPA_report> whole;
            UPA_report report;
            for (int n = 0; n < 5; ++n) {
                for (int mode : {30, 0, 1, 2, 3, 22, 23, 31, 32, 17, -1})
                    if (UPA_read(0, &report, mode, &n) == 0 && mode == 30) whole.push_back(report);
            }
            UPA_rewind(0);
            UPA_close(0);
            for (const UPA_report &r : whole)
                for (int t : {3, 4, 5, 1, 12})
                    write_back(r, t);
        }
    }
    unlink(name);
    return 0;
}
