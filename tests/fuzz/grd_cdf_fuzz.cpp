// Fuzz target: netCDF grid files whose layout comes from the bytes: the own
// layout (a "grid" dimension, its header variables of any type and shape,
// the value block in either declaration or another) or a model-output layout
// (the dimensions and variables the reader looks for, of any type, shape,
// units and title, with coordinates, keys and dates of any value). The file
// is built with the netCDF library (whose own header reader is not the
// subject here), then detected, opened, its header read and every grid read
// header-only and whole, again and backwards, rewound and closed. A grid of
// any header is also written to a new file and read back.
#include <netcdf.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "gridfile/grd_read.h"
#include "runtime/mess.h"

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
    float f32() {
        const uint32_t u = u32();
        float f;
        std::memcpy(&f, &u, sizeof f);
        return f;
    }

private:
    const uint8_t *d_;
    size_t n_, i_ = 0;
};

constexpr nc_type types[] = {NC_CHAR, NC_BYTE, NC_SHORT, NC_INT, NC_FLOAT, NC_DOUBLE};

const char *const own_names[] = {"values", "x_coord", "y_coord", "proj", "lat1",   "lat2",    "lon1",  "lon2",
                                 "dx",     "dy",      "datim",   "info", "source", "version", "model", "type",
                                 "ltype",  "level",   "time",    "var",  "nx",     "ny"};
const char *const model_names[] = {"lat",     "lon",      "grib_center", "grib_model", "level", "plevl",
                                   "frtime",  "anlhour",  "year",        "month",      "day",   "hour",
                                   "reftime", "temp",     "u_wind",      "P",          "Z",     "T",
                                   "precip",  "sea_temp", "wave_dir",    "omega",      "extra", "Ptrop"};
const char *const units[] = {
    "pascals",  "Pa", "geopotential meters", "degK", "kelvin", "degC", "Pa/s", "meters", "degrees",
    "0.5 degC", ""};
const char *const titles[] = {"NMC Early 72 hours", "NMC Extended Maximum", "ECMWF: Trop", "NMC Global",
                              "Other"};

// A text or number attribute, or none.
void attribute(int nc, int var, const char *name, Bytes &b) {
    const uint8_t how = b.byte() % 4;
    if (how == 0) return;
    if (how == 1) {
        std::string text(b.byte() % 40, ' ');
        for (char &c : text)
            c = static_cast<char>(b.byte());
        nc_put_att_text(nc, var, name, text.size(), text.data());
        return;
    }
    std::vector<double> v(1 + b.byte() % 3);
    for (double &x : v)
        x = static_cast<double>(static_cast<int32_t>(b.u32())) / (1 + b.byte() % 100);
    nc_put_att_double(nc, var, name, types[1 + b.byte() % 5], v.size(), v.data());
}

// Fills every variable with bytes (values of any bit pattern).
bool fill(int nc, Bytes &b) {
    int nvars = 0;
    nc_inq_nvars(nc, &nvars);
    for (int id = 0; id < nvars; ++id) {
        int rank = 0;
        int dims[NC_MAX_VAR_DIMS];
        nc_type type;
        nc_inq_varndims(nc, id, &rank);
        nc_inq_vardimid(nc, id, dims);
        nc_inq_vartype(nc, id, &type);
        std::vector<size_t> start(size_t(rank), 0), count(size_t(rank), 1);
        size_t total = 1;
        for (int k = 0; k < rank; ++k) {
            size_t len = 0;
            nc_inq_dimlen(nc, dims[k], &len);
            int unlimited = -1;
            nc_inq_unlimdim(nc, &unlimited);
            if (dims[k] == unlimited) len = 1 + b.byte() % 3;
            count[size_t(k)] = len;
            total *= len;
        }
        if (total == 0 || total > 4096) continue;
        std::vector<unsigned char> raw(total * 8);
        for (unsigned char &c : raw)
            c = b.byte();
        if (type == NC_CHAR)
            nc_put_vara_text(nc, id, start.data(), count.data(), reinterpret_cast<char *>(raw.data()));
        else
            nc_put_vara(nc, id, start.data(), count.data(), raw.data());
    }
    return true;
}

bool build_own(int nc, Bytes &b) {
    int grid = -1, x = -1, y = -1, len = -1;
    const uint8_t flags = b.byte();
    nc_def_dim(nc, "grid", (flags & 1) ? NC_UNLIMITED : 1 + b.byte() % 3, &grid);
    nc_def_dim(nc, "x", 1 + b.byte() % 9, &x);
    nc_def_dim(nc, "y", 1 + b.byte() % 9, &y);
    nc_def_dim(nc, "string_len", 1 + b.byte() % 60, &len);
    for (const char *name : own_names) {
        const uint8_t spec = b.byte();
        if (spec & 1) continue;
        int dims[3] = {grid, y, x};
        int rank = 1;
        switch (((spec >> 1) & 7) % 5) {
        case 0:
            rank = 3;
            break;
        case 1:
            rank = 3;
            dims[1] = x;
            dims[2] = y;
            break;
        case 2:
            rank = 2;
            dims[1] = len;
            break;
        case 3:
            rank = 0;
            break;
        default:
            break;
        }
        int id = -1;
        nc_def_var(nc, name, types[(spec >> 4) % 6], rank, dims, &id);
    }
    for (const char *att : {"grid_type", "year", "month", "day", "hour", "source"})
        attribute(nc, NC_GLOBAL, att, b);
    return true;
}

bool build_model(int nc, Bytes &b) {
    struct Dim {
        const char *names[2];
        int id;
    };
    Dim dims[] = {{{"rtime", "rtime"}, -1}, {{"frtime", "anltime"}, -1}, {{"level", "plevl"}, -1},
                  {{"lat", "y"}, -1},       {{"lon", "x"}, -1},          {{"len", "len"}, -1}};
    for (Dim &d : dims) {
        const uint8_t spec = b.byte();
        if ((spec & 7) == 0) continue;
        size_t n = 1 + (spec >> 3) % 6;
        if ((spec & 7) == 7) n = (spec & 8) ? 83 : 72;
        nc_def_dim(nc, d.names[(spec >> 6) & 1], n, &d.id);
    }
    for (const char *name : model_names) {
        const uint8_t spec = b.byte();
        if (spec & 1) continue;
        int ids[NC_MAX_VAR_DIMS];
        int rank = 0;
        const uint8_t which = b.byte();
        for (int k = 0; k < 6; ++k)
            if ((which >> k & 1) && dims[k].id >= 0) ids[rank++] = dims[k].id;
        if (spec & 2 && rank > 1) std::swap(ids[rank - 1], ids[rank - 2]);
        int id = -1;
        if (nc_def_var(nc, name, types[(spec >> 2) % 6], rank, ids, &id) != NC_NOERR) continue;
        const uint8_t u = b.byte();
        if (u < 200) nc_put_att_text(nc, id, "units", std::strlen(units[u % 11]), units[u % 11]);
        if (u & 1) attribute(nc, id, "long_name", b);
    }
    const uint8_t t = b.byte();
    if (t < 250)
        nc_put_att_text(nc, NC_GLOBAL, "title", std::strlen(titles[t % 5]), titles[t % 5]);
    else
        attribute(nc, NC_GLOBAL, "title", b);
    return true;
}

bool build(const char *name, Bytes &b) {
    int nc = -1;
    if (nc_create(name, NC_CLOBBER, &nc) != NC_NOERR) return false;
    const bool own = b.byte() & 1;
    if (own)
        build_own(nc, b);
    else
        build_model(nc, b);
    bool ok = nc_enddef(nc) == NC_NOERR && fill(nc, b);
    return nc_close(nc) == NC_NOERR && ok;
}

void read_all(const char *name) {
    int type = 0;
    const int fd = GRD_open(name, 0, &type);
    if (fd < 0) return;
    GRD_info info{};
    GRD_getinfo(fd, &info);
    GRD_report grd{};
    grd.grid = nullptr;
    for (int n = 0; n < 48; ++n) {
        int num = n;
        const int rc = GRD_read(fd, &grd, 1, &num);
        num = n;
        GRD_read(fd, &grd, 0, &num);
        if (rc < 0) break;
    }
    for (int n : {3, 1, -1, 0}) {
        int num = n;
        GRD_read(fd, &grd, 0, &num);
    }
    GRD_rewind(fd);
    int num = 0;
    GRD_read(fd, &grd, 0, &num);
    std::free(grd.grid);
    GRD_close(fd);
}

// A grid of any header written to a new file, then read.
void write_one(const char *name, Bytes &b) {
    int type = 11;
    const int fd = GRD_open(name, 1, &type);
    if (fd < 0) return;
    GRD_info info{};
    info.max_x = int(b.byte() % 8);
    info.max_y = int(b.byte() % 8);
    info.grid_type = b.byte() % 3;
    info.date = {int(b.u32() % 70000) - 35000, b.byte(), b.byte(), 0, 0, b.byte(), 0, 0};
    GRD_putinfo(fd, &info);
    GRD_report g{};
    g.domain.nx = 1 + b.byte() % 7;
    g.domain.ny = 1 + b.byte() % 7;
    g.domain.proj = int(b.u32());
    g.domain.clat = b.f32();
    g.domain.dx = b.f32();
    std::vector<float> v(size_t(g.domain.nx * g.domain.ny));
    for (float &x : v)
        x = b.f32();
    g.grid = v.data();
    int *ints[] = {&g.source, &g.version, &g.model, &g.type, &g.ltype, &g.level, &g.time, &g.var};
    for (int *p : ints)
        *p = int(b.u32());
    for (size_t k = 0; k + 1 < sizeof g.datim; ++k)
        g.datim[k] = char(b.byte() | 1);
    for (size_t k = 0; k + 1 < sizeof g.info; ++k)
        g.info[k] = char(b.byte() | 1);
    int num = b.byte() % 3;
    GRD_write(fd, &g, 0, &num);
    GRD_close(fd);
    read_all(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = (MESS_set(0, 0), true);
    (void)quiet;
    static const bool env = (setenv("GRIDVAR", "extra", 1), setenv("GRIBQP", "6", 1), true);
    (void)env;
    char name[] = "/tmp/grd_cdf_fuzz.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return 0;
    close(fd);
    Bytes bytes(data, size);
    if (build(name, bytes)) read_all(name);
    write_one(name, bytes);
    unlink(name);
    return 0;
}
