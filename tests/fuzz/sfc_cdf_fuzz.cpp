// Fuzz target: netCDF surface files whose layout comes from the bytes: the
// record dimension by any of its names (or another), unlimited or fixed; the
// variables of both layouts present or absent, of any type, over the records
// alone or with a string dimension; the date, version and missing-value
// attributes absent, as text of any length or as numbers of any count. The
// file is built with the netCDF library (whose own header reader is not the
// subject here), then detected, opened, its header read, its reports read in
// every form (in order, again with -1, past the end), rewound, closed, and
// opened again for appending: the reports read are written back into it.
#include <netcdf.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "surface/sfc_read.h"
#include "surface/sfc_read_int.h"

namespace {

// The bytes read in order; zeros once they run out.
class Bytes {
public:
    Bytes(const uint8_t *data, size_t size) : d_(data), n_(size) {}
    uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | byte();
        return v;
    }

private:
    const uint8_t *d_;
    size_t n_, i_ = 0;
};

constexpr nc_type types[] = {NC_CHAR, NC_BYTE, NC_SHORT, NC_INT, NC_FLOAT, NC_DOUBLE};

// One global attribute: absent, text of up to 80 bytes, or up to three
// numbers of a numeric type.
bool put_attribute(int nc, const char *name, Bytes &b) {
    const uint8_t how = b.byte() % 3;
    if (how == 0) return true;
    if (how == 1) {
        std::string text(b.byte() % 81, ' ');
        for (char &c : text)
            c = static_cast<char>(b.byte());
        return nc_put_att_text(nc, NC_GLOBAL, name, text.size(), text.data()) == NC_NOERR;
    }
    const nc_type type = types[1 + b.byte() % 5];
    std::vector<double> values(b.byte() % 4);
    for (double &v : values)
        v = static_cast<double>(static_cast<int32_t>(b.u32())) / (1 + b.byte());
    // Values outside a small type are refused by the library: then the
    // attribute is left out.
    nc_put_att_double(nc, NC_GLOBAL, name, type, values.size(), values.data());
    return true;
}

// Builds the file; false when the library refuses the layout.
bool build(const char *name, Bytes &b) {
    const uint8_t flags = b.byte();
    const char *const record_names[] = {"station", "report", "ob", "recNum"};
    const size_t records = b.byte() % 4;
    int nc = -1;
    if (nc_create(name, NC_CLOBBER, &nc) != NC_NOERR) return false;
    int rec = -1, len = -1;
    bool ok = nc_def_dim(nc, record_names[flags & 3], (flags & 4) ? NC_UNLIMITED : records, &rec) == NC_NOERR;
    if (ok) ok = nc_def_dim(nc, (flags & 8) ? "remarks_len" : "len", 1 + b.byte() % 80, &len) == NC_NOERR;
    std::vector<std::string> names(sfc_read_int::station_names.begin(), sfc_read_int::station_names.end());
    names.insert(names.end(), sfc_read_int::report_names.begin(), sfc_read_int::report_names.end());
    std::vector<int> ids;
    for (size_t v = 0; v < names.size() && ok; ++v) {
        const uint8_t spec = b.byte();
        if (spec & 1) continue;
        const int dims[2] = {rec, len};
        int id = -1;
        const int status =
            nc_def_var(nc, names[v].c_str(), types[(spec >> 1) % 6], 1 + (spec >> 4 & 1), dims, &id);
        if (status == NC_NOERR)
            ids.push_back(id);
        else if (status != NC_ENAMEINUSE)
            ok = false;
    }
    for (const char *att :
         {"datetime", "filetime", "version", "missing_val_f", "missing_val_i", "missing_val_c"})
        ok = ok && put_attribute(nc, att, b);
    ok = ok && nc_enddef(nc) == NC_NOERR;
    // Records of any bytes.
    for (int id : ids) {
        if (!ok || records == 0) break;
        int rank = 0;
        size_t extent = 1;
        nc_inq_varndims(nc, id, &rank);
        if (rank == 2) nc_inq_dimlen(nc, len, &extent);
        std::vector<unsigned char> raw(records * extent * 8);
        for (unsigned char &c : raw)
            c = b.byte();
        const size_t start[2] = {0, 0}, count[2] = {records, extent};
        nc_type type;
        nc_inq_vartype(nc, id, &type);
        ok = (type == NC_CHAR ? nc_put_vara_text(nc, id, start, count, reinterpret_cast<char *>(raw.data()))
                              : nc_put_vara(nc, id, start, count, raw.data())) == NC_NOERR;
    }
    return nc_close(nc) == NC_NOERR && ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char name[] = "/tmp/sfc_cdf_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    close(fd);
    Bytes bytes(data, size);
    if (build(name, bytes)) {
        SFC_chktype(name);
        std::vector<SFC_report> reports;
        for (int access : {0, 2}) {
            int type = 0;
            if (SFC_open(name, access, &type) < 0) continue;
            SFC_info info;
            SFC_getinfo(0, &info);
            SFC_report report;
            if (access == 0) {
                for (int n = 0; n < 5; ++n)
                    for (int rep_type : {0, 1, 2})
                        if (SFC_read(0, &report, rep_type, &n) == 0 && rep_type == 0)
                            reports.push_back(report);
                for (int n : {-1, info.num_stat, -1, -3})
                    SFC_read(0, &report, 0, &n);
            } else {
                // Whatever the layout, the writer puts only what its variables take.
                SFC_putinfo(0, &info);
                int n = info.num_stat;
                for (SFC_report &r : reports) {
                    SFC_write(0, &r, 0, &n);
                    ++n;
                }
            }
            SFC_rewind(0);
            SFC_close(0);
        }
    }
    unlink(name);
    return 0;
}
