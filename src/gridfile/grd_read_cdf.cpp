// netCDF grid files: opening and closing them for the grid file table, the
// system's own layout (one record per grid along "grid", the grid's header
// fields as per-record variables, the file's date as global attributes), and
// the choice between it and the model-output layouts.
// File-static state: for each slot its layout, whether it is being written,
// and a file header still to be defined when GRD_putinfo gave no grid size.
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "fields/region.h"
#include "gridfile/grd_read.h"
#include "gridfile/grd_read_cdf_int.h"
#include "gridfile/grd_read_int.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

using grd_cdf::clear_record;
using grd_cdf::find_dim;
using grd_cdf::unreadable;
using grd_cdf::values_fit;

constexpr std::size_t STRING_LEN = 50; // characters of a stored label, the terminator included
constexpr float FILL = -9999.0f;
// The most values a grid of a file in a compressed format may claim.
constexpr std::size_t MAX_PACKED_VALUES = std::size_t(1) << 28;

enum class Layout { unknown, own, model };

struct Slot {
    Layout layout = Layout::unknown;
    bool writing = false;
    bool defined = false; // writing: the file header is in the file
    bool pending = false; // writing: GRD_putinfo gave no size; the first grid gives it
    GRD_info info{};      // the header of a pending definition
    int grid_dim = -1;    // own layout: the record dimension "grid"
    grd_cdf::Model model;
};

std::array<Slot, GRD_MAX_FILES> slots;

// The library's calls used here return their status and never end the
// program; its global mode for the older calls is made non-fatal as well,
// since other modules of the program share the library.
void library_not_fatal() {
    ncopts &= ~NC_FATAL;
}

const char *file_name(int slot) {
    return grd_file::name(slot);
}

// ---- Writing the own layout -----------------------------------------------------

// The definitions of a new file, collected so that the first refusal of the
// library is reported once.
class Definer {
public:
    Definer(int nc, int slot) : nc_(nc), slot_(slot) {}
    bool ok() const { return status_ == NC_NOERR; }
    int status() const { return status_; }

    int dim(const char *name, std::size_t len) {
        int id = -1;
        check(nc_def_dim(nc_, name, len, &id));
        return id;
    }
    int var(const char *name, nc_type type, std::initializer_list<int> dims) {
        int id = -1;
        const std::array<int, 3> d = {dims.size() > 0 ? *dims.begin() : 0,
                                      dims.size() > 1 ? *(dims.begin() + 1) : 0,
                                      dims.size() > 2 ? *(dims.begin() + 2) : 0};
        check(nc_def_var(nc_, name, type, int(dims.size()), d.data(), &id));
        return id;
    }
    // Text attributes are stored with exactly their length, no terminator.
    void text(int var, const char *name, const char *value) {
        if (var < 0 && var != NC_GLOBAL) return;
        check(nc_put_att_text(nc_, var, name, std::strlen(value), value));
    }
    void fill(int var) {
        if (var < 0) return;
        check(nc_put_att_float(nc_, var, "_FillValue", NC_FLOAT, 1, &FILL));
    }
    void global_short(const char *name, int value) {
        check(nc_put_att_int(nc_, NC_GLOBAL, name, NC_SHORT, 1, &value));
    }
    void end() { check(nc_enddef(nc_)); }
    void report(const char *who) const {
        MESS_print(M_WARN, "%s: %s: %s\n", who, file_name(slot_), nc_strerror(status_));
    }

private:
    void check(int status) {
        if (status_ == NC_NOERR && status != NC_NOERR) status_ = status;
    }
    int nc_;
    int slot_;
    int status_ = NC_NOERR;
};

// Defines the dimensions, variables and attributes of the own layout for
// grids of nx x ny points; false (warned) when the library refuses.
bool define(int slot, GRD_file *g, int nx, int ny, const GRD_info &info) {
    Slot &s = slots[std::size_t(slot)];
    Definer d(g->fd, slot);
    const int grid = d.dim("grid", NC_UNLIMITED);
    const int x = d.dim("x", std::size_t(nx));
    const int y = d.dim("y", std::size_t(ny));
    const int len = d.dim("string_len", STRING_LEN);
    const bool coords = info.grid_type == 1;

    // The values are declared as they are stored: row by row, y outer.
    g->values_id[0] = d.var("values", NC_FLOAT, {grid, y, x});
    g->x_coord_id = g->y_coord_id = g->proj_id = -1;
    g->lat1_id = g->lat2_id = g->lon1_id = g->lon2_id = g->dx_id = g->dy_id = -1;
    if (coords) {
        g->x_coord_id = d.var("x_coord", NC_FLOAT, {grid, y, x});
        g->y_coord_id = d.var("y_coord", NC_FLOAT, {grid, y, x});
    } else {
        g->proj_id = d.var("proj", NC_SHORT, {grid});
        g->lat1_id = d.var("lat1", NC_FLOAT, {grid});
        g->lat2_id = d.var("lat2", NC_FLOAT, {grid});
        g->lon1_id = d.var("lon1", NC_FLOAT, {grid});
        g->lon2_id = d.var("lon2", NC_FLOAT, {grid});
        g->dx_id = d.var("dx", NC_FLOAT, {grid});
        g->dy_id = d.var("dy", NC_FLOAT, {grid});
    }
    g->datim_id = d.var("datim", NC_CHAR, {grid, len});
    g->info_id = d.var("info", NC_CHAR, {grid, len});
    g->source_id = d.var("source", NC_SHORT, {grid});
    g->version_id = d.var("version", NC_SHORT, {grid});
    g->model_id = d.var("model", NC_SHORT, {grid});
    g->type_id = d.var("type", NC_SHORT, {grid});
    g->ltype_id = d.var("ltype", NC_SHORT, {grid});
    // Time codes, layer levels and folded parameter codes need 32 bits.
    g->level_id = d.var("level", NC_INT, {grid});
    g->time_id = d.var("time", NC_INT, {grid});
    g->var_id = d.var("var", NC_INT, {grid});
    g->nx_id = d.var("nx", NC_SHORT, {grid});
    g->ny_id = d.var("ny", NC_SHORT, {grid});

    d.text(g->values_id[0], "name", "VALUES");
    d.text(g->values_id[0], "long_name", "Grid values");
    d.fill(g->values_id[0]);
    if (coords) {
        d.text(g->x_coord_id, "name", "X_COORD");
        d.text(g->x_coord_id, "long_name", "X coordinate gridpoint locations");
        d.text(g->x_coord_id, "units", "DEG");
        d.fill(g->x_coord_id);
        d.text(g->y_coord_id, "name", "Y_COORD");
        d.text(g->y_coord_id, "long_name", "Y coordinate gridpoint locations");
        d.text(g->y_coord_id, "units", "DEG");
        d.fill(g->y_coord_id);
    } else {
        d.text(g->proj_id, "name", "PROJ");
        d.text(g->proj_id, "long_name", "Projection");
        struct Float {
            int id;
            const char *name, *long_name, *units;
        };
        const Float floats[] = {{g->lat1_id, "CLAT", "Grid central latitude", "DEG"},
                                {g->lat2_id, "LAT2", "Grid secondary latitude", "DEG"},
                                {g->lon1_id, "CLON", "Grid central longitude", "DEG"},
                                {g->lon2_id, "LON2", "Grid secondary longitude", "DEG"},
                                {g->dx_id, "DX", "Grid spacing in X direction", "100 KM"},
                                {g->dy_id, "DY", "Grid spacing in Y direction", "100 KM"}};
        for (const Float &f : floats) {
            d.text(f.id, "name", f.name);
            d.text(f.id, "long_name", f.long_name);
            d.text(f.id, "units", f.units);
        }
    }
    d.text(g->datim_id, "name", "DATETIME");
    d.text(g->datim_id, "long_name", "Grid date/time information");
    d.text(g->info_id, "name", "INFO");
    d.text(g->info_id, "long_name", "Grid variable information");
    struct Key {
        int id;
        const char *name, *long_name;
    };
    const Key keys[] = {{g->source_id, "SOURCE", "Grid creation source"},
                        {g->version_id, "VERSION", "Grid encoding version"},
                        {g->model_id, "MODEL", "Model name"},
                        {g->type_id, "TYPE", "Model grid type"},
                        {g->ltype_id, "LTYPE", "Vertical level type"},
                        {g->level_id, "LEVEL", "Vertical level value"},
                        {g->time_id, "TIME", "Forecast time"},
                        {g->var_id, "VAR", "Grid variable type"},
                        {g->nx_id, "NX", "Gridpoints in X direction"},
                        {g->ny_id, "NY", "Gridpoints in Y direction"}};
    for (const Key &k : keys) {
        d.text(k.id, "name", k.name);
        d.text(k.id, "long_name", k.long_name);
        if (k.id == g->time_id) d.text(k.id, "units", "HOUR");
    }

    d.text(NC_GLOBAL, "source", "ZEQ");
    d.text(NC_GLOBAL, "version", "1.0");
    d.global_short("grid_type", info.grid_type);
    d.global_short("year", info.date.year);
    d.global_short("month", info.date.month);
    d.global_short("day", info.date.day);
    d.global_short("hour", info.date.hour);
    d.end();
    if (!d.ok()) {
        d.report("GRD_putinfo");
        return false;
    }
    g->grid = coords ? 1 : 0;
    g->x_dim = x;
    g->y_dim = y;
    g->x_size = nx;
    g->y_size = ny;
    s.grid_dim = grid;
    s.defined = true;
    s.pending = false;
    s.layout = Layout::own;
    return true;
}

// Writes one record; the library's first refusal is warned and gives false.
bool put_record(int slot, GRD_file *g, const GRD_report *grd, std::size_t r) {
    const int nc = g->fd;
    const Domain &dom = grd->domain;
    int status = NC_NOERR;
    auto check = [&](int st) {
        if (status == NC_NOERR) status = st;
    };
    const std::size_t start[3] = {r, 0, 0};
    const std::size_t count[3] = {1, std::size_t(dom.ny), std::size_t(dom.nx)};
    check(nc_put_vara_float(nc, g->values_id[0], start, count, grd->grid));
    // Labels keep their first 49 characters and a terminator.
    auto label = [&](int id, const char *text, std::size_t size) {
        const std::size_t n = strnlen(text, std::min(size, STRING_LEN) - 1);
        char buf[STRING_LEN];
        std::memcpy(buf, text, n);
        buf[n] = '\0';
        const std::size_t lc[2] = {1, n + 1};
        check(nc_put_vara_text(nc, id, start, lc, buf));
    };
    label(g->datim_id, grd->datim, sizeof grd->datim);
    label(g->info_id, grd->info, sizeof grd->info);
    if (g->grid != 1) {
        check(nc_put_var1_int(nc, g->proj_id, start, &dom.proj));
        const std::pair<int, float> floats[] = {{g->lat1_id, dom.clat}, {g->lat2_id, dom.plat},
                                                {g->lon1_id, dom.clon}, {g->lon2_id, dom.plon},
                                                {g->dx_id, dom.dx},     {g->dy_id, dom.dy}};
        for (const auto &[id, v] : floats)
            check(nc_put_var1_float(nc, id, start, &v));
    }
    const std::pair<int, int> ints[] = {{g->source_id, grd->source}, {g->version_id, grd->version},
                                        {g->model_id, grd->model},   {g->type_id, grd->type},
                                        {g->ltype_id, grd->ltype},   {g->level_id, grd->level},
                                        {g->time_id, grd->time},     {g->var_id, grd->var},
                                        {g->nx_id, dom.nx},          {g->ny_id, dom.ny}};
    for (const auto &[id, v] : ints)
        check(nc_put_var1_int(nc, id, start, &v));
    // Written through now, so that a full disk is this write's failure.
    check(nc_sync(nc));
    if (status != NC_NOERR) {
        MESS_print(M_WARN, "GRD_write: %s: %s\n", file_name(slot), nc_strerror(status));
        return false;
    }
    return true;
}

// ---- Reading the own layout -------------------------------------------------------

int var_id(int nc, const char *name) {
    int id = -1;
    return nc_inq_varid(nc, name, &id) == NC_NOERR ? id : -1;
}

// The variable's dimensions when it has `rank` of them and the first is the
// record dimension; empty otherwise.
bool record_var(int nc, int id, int grid_dim, int rank, int *dims) {
    int n = 0;
    if (id < 0 || nc_inq_varndims(nc, id, &n) != NC_NOERR || n != rank) return false;
    int d[NC_MAX_VAR_DIMS];
    if (nc_inq_vardimid(nc, id, d) != NC_NOERR || d[0] != grid_dim) return false;
    for (int k = 0; k < rank; ++k)
        dims[k] = d[k];
    return true;
}

// One header field of record r as an int (shorts and ints alike); false when
// the variable is absent or cannot be read.
bool get_int(int nc, int id, int grid_dim, std::size_t r, int *out) {
    int dims[1];
    if (!record_var(nc, id, grid_dim, 1, dims)) return false;
    int v = 0;
    const std::size_t idx[1] = {r};
    if (nc_get_var1_int(nc, id, idx, &v) != NC_NOERR) return false;
    *out = v;
    return true;
}

bool get_float(int nc, int id, int grid_dim, std::size_t r, float *out) {
    int dims[1];
    if (!record_var(nc, id, grid_dim, 1, dims)) return false;
    float v = 0;
    const std::size_t idx[1] = {r};
    if (nc_get_var1_float(nc, id, idx, &v) != NC_NOERR) return false;
    *out = v;
    return true;
}

// A label of record r, at most its first 49 characters; false when absent.
template <std::size_t N> bool get_label(int nc, int id, int grid_dim, std::size_t r, char (&out)[N]) {
    int dims[2];
    nc_type type;
    if (!record_var(nc, id, grid_dim, 2, dims) || nc_inq_vartype(nc, id, &type) != NC_NOERR ||
        type != NC_CHAR)
        return false;
    std::size_t len = 0;
    if (nc_inq_dimlen(nc, dims[1], &len) != NC_NOERR) return false;
    char buf[STRING_LEN + 1] = {};
    const std::size_t start[2] = {r, 0};
    const std::size_t count[2] = {1, std::min(len, STRING_LEN)};
    if (count[1] > 0 && nc_get_vara_text(nc, id, start, count, buf) != NC_NOERR) return false;
    buf[STRING_LEN - 1] = '\0';
    copy_text(out, std::string_view(buf, strnlen(buf, STRING_LEN)));
    return true;
}

// A stored year: a full year counts from 1900, as the date functions read a
// year below 200; a shorter one is taken as they read it.
int stored_year(int year) {
    return year >= 1900 ? year - 1900 : year;
}

int own_getinfo(int slot, GRD_file *g, int grid_dim, GRD_info *info) {
    Slot &s = slots[std::size_t(slot)];
    const int nc = g->fd;
    std::size_t records = 0;
    nc_inq_dimlen(nc, grid_dim, &records);
    g->max_num = long(records);
    g->itype = 0;
    g->x_dim = find_dim(nc, {"x"}, nullptr);
    g->y_dim = find_dim(nc, {"y"}, nullptr);
    std::size_t len = 0;
    g->x_size = g->x_dim >= 0 && nc_inq_dimlen(nc, g->x_dim, &len) == NC_NOERR ? long(len) : -1;
    g->y_size = g->y_dim >= 0 && nc_inq_dimlen(nc, g->y_dim, &len) == NC_NOERR ? long(len) : -1;

    int grid_type = 0;
    nc_get_att_int(nc, NC_GLOBAL, "grid_type", &grid_type);
    g->grid = grid_type;
    info->grid_type = grid_type;

    g->values_id[0] = var_id(nc, "values");
    g->x_coord_id = var_id(nc, "x_coord");
    g->y_coord_id = var_id(nc, "y_coord");
    g->proj_id = var_id(nc, "proj");
    g->lat1_id = var_id(nc, "lat1");
    g->lat2_id = var_id(nc, "lat2");
    g->lon1_id = var_id(nc, "lon1");
    g->lon2_id = var_id(nc, "lon2");
    g->dx_id = var_id(nc, "dx");
    g->dy_id = var_id(nc, "dy");
    if (grid_type == 1)
        g->proj_id = g->lat1_id = g->lat2_id = g->lon1_id = g->lon2_id = g->dx_id = g->dy_id = -1;
    g->datim_id = var_id(nc, "datim");
    g->info_id = var_id(nc, "info");
    g->source_id = var_id(nc, "source");
    g->version_id = var_id(nc, "version");
    g->model_id = var_id(nc, "model");
    g->type_id = var_id(nc, "type");
    g->ltype_id = var_id(nc, "ltype");
    g->level_id = var_id(nc, "level");
    g->time_id = var_id(nc, "time");
    g->var_id = var_id(nc, "var");
    g->nx_id = var_id(nc, "nx");
    g->ny_id = var_id(nc, "ny");

    Date date;
    DATE_init(&date);
    int v = 0;
    if (nc_get_att_int(nc, NC_GLOBAL, "year", &v) == NC_NOERR) date.year = stored_year(v);
    if (nc_get_att_int(nc, NC_GLOBAL, "month", &v) == NC_NOERR) date.month = v;
    if (nc_get_att_int(nc, NC_GLOBAL, "day", &v) == NC_NOERR) date.day = v;
    if (nc_get_att_int(nc, NC_GLOBAL, "hour", &v) == NC_NOERR) date.hour = v;
    // The file keeps the hour only: the label shows no minutes.
    info->date = date;
    DATE_make_label(&date, info->datim, sizeof info->datim);
    g->date = date;
    copy_text(g->datim, info->datim);
    g->cur_var = -1;
    s.grid_dim = grid_dim;
    s.layout = Layout::own;
    return 0;
}

int own_read(int slot, GRD_file *g, GRD_report *grd, int rep_type, int *grdnum) {
    const Slot &s = slots[std::size_t(slot)];
    const int nc = g->fd;
    const long r = *grdnum == -1 ? g->num : *grdnum;
    std::free(grd->grid);
    grd->grid = nullptr;
    if (r < 0 || r >= g->max_num) {
        clear_record(grd);
        return -1;
    }
    const std::size_t rec = std::size_t(r);
    const int gd = s.grid_dim;
    get_label(nc, g->datim_id, gd, rec, grd->datim);
    get_label(nc, g->info_id, gd, rec, grd->info);
    DATE_decode_label(grd->datim, &grd->date);

    Domain &dom = grd->domain;
    if (g->grid != 1) {
        get_int(nc, g->proj_id, gd, rec, &dom.proj);
        get_float(nc, g->lat1_id, gd, rec, &dom.clat);
        get_float(nc, g->lat2_id, gd, rec, &dom.plat);
        get_float(nc, g->lon1_id, gd, rec, &dom.clon);
        get_float(nc, g->lon2_id, gd, rec, &dom.plon);
        get_float(nc, g->dx_id, gd, rec, &dom.dx);
        get_float(nc, g->dy_id, gd, rec, &dom.dy);
    }
    get_int(nc, g->source_id, gd, rec, &grd->source);
    get_int(nc, g->version_id, gd, rec, &grd->version);
    get_int(nc, g->model_id, gd, rec, &grd->model);
    if (g->grid == 1 || g->proj_id < 0) dom.proj = grd->model > 9 ? 2 : 1;
    get_int(nc, g->type_id, gd, rec, &grd->type);
    get_int(nc, g->ltype_id, gd, rec, &grd->ltype);
    get_int(nc, g->level_id, gd, rec, &grd->level);
    get_int(nc, g->time_id, gd, rec, &grd->time);
    get_int(nc, g->var_id, gd, rec, &grd->var);
    get_int(nc, g->nx_id, gd, rec, &dom.nx);
    get_int(nc, g->ny_id, gd, rec, &dom.ny);
    g->num = int(r);
    *grdnum = int(r);

    // The grid must be the file's: nx x ny as the dimensions give them, in a
    // value block of that many floats.
    int vdims[3];
    std::size_t a = 0, b = 0;
    const bool shaped = record_var(nc, g->values_id[0], gd, 3, vdims) &&
                        nc_inq_dimlen(nc, vdims[1], &a) == NC_NOERR &&
                        nc_inq_dimlen(nc, vdims[2], &b) == NC_NOERR;
    if (!shaped || dom.nx <= 0 || dom.ny <= 0 || dom.nx != g->x_size || dom.ny != g->y_size ||
        a * b != std::size_t(dom.nx) * std::size_t(dom.ny))
        return unreadable(slot, grd, r);
    if (rep_type != 0) return 0;

    const std::size_t count = std::size_t(dom.nx) * std::size_t(dom.ny);
    if (!values_fit(slot, nc, g->values_id[0], count)) return unreadable(slot, grd, r);
    grd->grid = static_cast<float *>(std::malloc(count * sizeof(float)));
    if (grd->grid == nullptr) {
        MESS_print(M_WARN, "GRD_read: No memory for grid field\n");
        clear_record(grd);
        return -1;
    }
    // Both declarations, (grid, y, x) and the older (grid, x, y), hold the
    // block row by row.
    const std::size_t start[3] = {rec, 0, 0};
    const std::size_t cnt[3] = {1, a, b};
    if (nc_get_vara_float(nc, g->values_id[0], start, cnt, grd->grid) != NC_NOERR)
        return unreadable(slot, grd, r);
    return 0;
}

// Finds the layout of a file opened for reading (the "grid" dimension makes
// it the own layout) and reads its header.
int probe(int slot, GRD_file *g, GRD_info *info) {
    Slot &s = slots[std::size_t(slot)];
    const int nc = g->fd;
    int unlimited = -1;
    std::size_t len = 0;
    g->max_num = 0;
    if (nc_inq_unlimdim(nc, &unlimited) == NC_NOERR && unlimited >= 0 &&
        nc_inq_dimlen(nc, unlimited, &len) == NC_NOERR)
        g->max_num = long(len);
    int grid_dim = -1;
    if (nc_inq_dimid(nc, "grid", &grid_dim) == NC_NOERR) return own_getinfo(slot, g, grid_dim, info);
    s.model = grd_cdf::Model{};
    s.layout = Layout::model;
    return grd_cdf::model_getinfo(slot, g, s.model, info);
}

} // namespace

namespace grd_cdf {

int find_dim(int nc, std::initializer_list<const char *> names, std::size_t *len) {
    for (const char *name : names) {
        int id = -1;
        if (nc_inq_dimid(nc, name, &id) != NC_NOERR) continue;
        std::size_t n = 0;
        if (nc_inq_dimlen(nc, id, &n) != NC_NOERR) continue;
        if (len != nullptr) *len = n;
        return id;
    }
    return -1;
}

int find_var(int nc, std::initializer_list<const char *> names) {
    for (const char *name : names) {
        int id = -1;
        if (nc_inq_varid(nc, name, &id) == NC_NOERR) return id;
    }
    return -1;
}

std::string text_att(int nc, int var, const char *name) {
    nc_type type;
    std::size_t len = 0;
    if (nc_inq_att(nc, var, name, &type, &len) != NC_NOERR || type != NC_CHAR) return {};
    std::string text(len, '\0');
    if (len > 0 && nc_get_att_text(nc, var, name, text.data()) != NC_NOERR) return {};
    text.resize(strnlen(text.c_str(), len));
    return text;
}

bool values_fit(int slot, int nc, int var, std::size_t count) {
    int format = 0;
    nc_type type;
    std::size_t size = 0;
    if (nc_inq_format(nc, &format) != NC_NOERR || nc_inq_vartype(nc, var, &type) != NC_NOERR ||
        nc_inq_type(nc, type, nullptr, &size) != NC_NOERR || size == 0)
        return false;
    if (count > SIZE_MAX / sizeof(float) / size) return false;
    if (format == NC_FORMAT_CLASSIC || format == NC_FORMAT_64BIT_OFFSET || format == NC_FORMAT_CDF5) {
        const long bytes = FILE_size(file_name(slot));
        return bytes >= 0 && count * size <= std::size_t(bytes);
    }
    return count <= MAX_PACKED_VALUES;
}

void clear_record(GRD_report *grd) {
    std::free(grd->grid);
    grd->grid = nullptr;
    grd->source = 0;
}

int unreadable(int slot, GRD_report *grd, long num) {
    MESS_print(M_WARN, "GRD_read: Grid %ld cannot be read: %s\n", num, file_name(slot));
    clear_record(grd);
    return 1;
}

int open(int slot, const char *name, int access) {
    if (slot < 0 || slot >= GRD_MAX_FILES || name == nullptr || (access != 0 && access != 1)) return -1;
    library_not_fatal();
    // netCDF files are files: no standard streams and no commands.
    if (name[0] == '|' || FILE_is_stdio(name)) return -1;
    char path[FILE_NAME_SIZE];
    FILE_add_user_path(name, path, sizeof path);
    int nc = -1;
    if (access == 0) {
        if (nc_open(path, NC_NOWRITE, &nc) != NC_NOERR) return -1;
    } else {
        std::string dir = path;
        FILE_make_dir(dir.data(), 1);
        if (nc_create(path, NC_CLOBBER, &nc) != NC_NOERR) return -1;
    }
    Slot &s = slots[std::size_t(slot)];
    s = Slot{};
    s.writing = access == 1;
    return nc;
}

int close(int slot, int ncid) {
    if (slot < 0 || slot >= GRD_MAX_FILES) return 0;
    Slot &s = slots[std::size_t(slot)];
    const int status = nc_close(ncid);
    if (status != NC_NOERR) MESS_print(M_WARN, "GRD_close: %s: %s\n", file_name(slot), nc_strerror(status));
    s = Slot{};
    return 0;
}

int getinfo(int slot, GRD_file *g, GRD_info *info) {
    if (slots[std::size_t(slot)].writing) return -1;
    return probe(slot, g, info);
}

int putinfo(int slot, GRD_file *g, const GRD_info *info) {
    Slot &s = slots[std::size_t(slot)];
    if (!s.writing || s.defined || info == nullptr) return -1;
    // Without a size the file is defined by its first grid.
    if (info->max_x <= 0 || info->max_y <= 0) {
        s.info = *info;
        s.pending = true;
        return 0;
    }
    return define(slot, g, info->max_x, info->max_y, *info) ? 0 : -1;
}

int write(int slot, GRD_file *g, const GRD_report *grd, int *grd_num) {
    Slot &s = slots[std::size_t(slot)];
    if (grd == nullptr || grd->grid == nullptr || !s.writing) return -1;
    const Domain &dom = grd->domain;
    if (dom.nx <= 0 || dom.ny <= 0) return -1;
    if (!s.defined) {
        if (!s.pending || !define(slot, g, dom.nx, dom.ny, s.info)) return -1;
    }
    if (dom.nx != g->x_size || dom.ny != g->y_size) {
        MESS_print(M_WARN, "GRD_write: Grid of %d x %d points in a file of %ld x %ld: %s\n", dom.nx, dom.ny,
                   g->x_size, g->y_size, file_name(slot));
        return -1;
    }
    const int r = grd_num != nullptr ? *grd_num : 0;
    if (r < 0) return -1;
    return put_record(slot, g, grd, std::size_t(r)) ? 0 : -1;
}

int read(int slot, GRD_file *g, GRD_report *grd, int rep_type, int *grdnum) {
    Slot &s = slots[std::size_t(slot)];
    if (s.writing) return -1;
    if (s.layout == Layout::unknown) {
        GRD_info scratch{};
        probe(slot, g, &scratch);
    }
    if (s.layout == Layout::model) return model_read(slot, g, s.model, grd, rep_type, grdnum);
    return own_read(slot, g, grd, rep_type, grdnum);
}

} // namespace grd_cdf
