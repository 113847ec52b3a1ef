// netCDF model-output grid files (no "grid" dimension): one variable per
// field over longitude and latitude, optionally over forecast time and level,
// numbered into grids variable after variable; parameter codes from names and
// units, keys from the variables and the layout code of the title, the Domain
// from latitude-longitude variables or the built-in grids of a few models.
// File-static state: none; each slot's reading state is its Model record.
#include <netcdf.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "gridfile/grd_read_cdf_int.h"
#include "gridfile/grd_read_int.h"
#include "runtime/date.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

using grd_cdf::Model;
using grd_cdf::ModelVar;

constexpr int MAX_VARS = 15;
constexpr double HUGE_VALUE = 1e30; // values from here on are not data

// ---- Parameter codes ----------------------------------------------------------------

bool one_of(const char *name, std::initializer_list<const char *> names) {
    for (const char *n : names)
        if (stricmp(name, n) == 0) return true;
    return false;
}

bool starts(const std::string &s, const char *prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// The parameter code of a variable by its name and, where two codes share a
// name, its units; -1 for a name that is not a field of these files.
int code_of(int nc, int var, const char *name) {
    auto units = [&] { return grd_cdf::text_att(nc, var, "units"); };
    if (one_of(name, {"pressure", "Psl", "Ptrop", "Pmaxwind", "P"})) {
        const std::string u = units();
        return u == "pascals" || u == "Pa" ? 101 : 1;
    }
    if (one_of(name, {"gpt_hgt", "H", "Zsfc", "Ztrop", "Zwind", "Z"})) {
        const std::string u = units();
        return u == "geopotential meters" || u == "gp m" ? 102 : 2;
    }
    if (one_of(name, {"temp", "Ttrop", "T"})) {
        const std::string u = units();
        return starts(u, "kelvin") || starts(u, "degK") ? 104 : 4;
    }
    if (one_of(name, {"rel_hum", "RH"})) return 13;
    if (one_of(name, {"lift_indx", "LI"})) return 15;
    if (one_of(name, {"u_wind", "Utrop", "Umaxwind", "Usfc", "U"})) return 23;
    if (one_of(name, {"v_wind", "Vtrop", "Vmaxwind", "Vsfc", "V"})) return 24;
    if (one_of(name, {"vert_vel", "omega"})) {
        const std::string u = units();
        return u == "pascals/second" || u == "Pa/second" || u == "Pa/s" ? 140 : 40;
    }
    if (one_of(name, {"precip"})) return 50;
    if (one_of(name, {"snow"})) return 51;
    if (one_of(name, {"sea_temp", "SST"})) {
        const std::string u = units();
        if (u == "degC" || u == "celsius") return 62;
        return u == "degK" ? 161 : 61;
    }
    if (one_of(name, {"wave_hgt"})) return units() == "meters" ? 164 : 64;
    if (one_of(name, {"wave_per"})) return 76;
    if (one_of(name, {"wave_dir"})) return starts(units(), "degrees") ? 175 : 75;
    return -1;
}

// The layout code of the title: the producer's base code, 1 "Trop", 2
// "Maximum", 3 "72 hours", and 100 when there is no reference-time dimension.
int layout_code(const std::string &title, bool rtime) {
    int code = 1;
    if (starts(title, "NMC Earl"))
        code = 10;
    else if (starts(title, "NMC Exte"))
        code = 20;
    else if (starts(title, "ECMWF:"))
        code = 30;
    else if (starts(title, "NMC Glob"))
        code = 40;
    if (title.find("Trop") != std::string::npos) code += 1;
    if (title.find("Maximum") != std::string::npos) code += 2;
    if (title.find("72 hours") != std::string::npos) code += 3;
    if (!rtime) code += 100;
    return code;
}

// The layout code a variable is read with: in the layouts of one level kind
// per file the variable's name tells the tropopause (41) and the level of
// maximum wind (42) from the rest (40).
int variable_layout(int code, const std::string &name) {
    const int last2 = code % 100;
    if (!((code % 10 == 0 && code > 9) || (last2 >= 40 && last2 <= 49))) return code;
    const char *rest = name.size() > 1 ? name.c_str() + 1 : "";
    const int kind = stricmp(rest, "trop") == 0 ? 41 : stricmp(rest, "maxwind") == 0 ? 42 : 40;
    return code - last2 + kind;
}

// ---- Reading variables ------------------------------------------------------------------

std::vector<int> var_dims(int nc, int var) {
    int n = 0;
    if (var < 0 || nc_inq_varndims(nc, var, &n) != NC_NOERR || n < 0 || n > NC_MAX_VAR_DIMS) return {};
    std::vector<int> dims(std::size_t(n), -1);
    if (n > 0 && nc_inq_vardimid(nc, var, dims.data()) != NC_NOERR) return {};
    return dims;
}

// A number of a key variable at forecast-time index h and level index l;
// every other dimension (the reference time included) at index 0. False when
// the variable is absent, the index is outside it or the value is not read.
bool key_at(int nc, const Model &m, int var, std::size_t h, std::size_t l, double *out) {
    if (var < 0) return false;
    nc_type type;
    if (nc_inq_vartype(nc, var, &type) != NC_NOERR || type == NC_CHAR) return false;
    const std::vector<int> dims = var_dims(nc, var);
    std::vector<std::size_t> idx(dims.size(), 0);
    for (std::size_t k = 0; k < dims.size(); ++k) {
        if (dims[k] == m.t_dim) idx[k] = h;
        if (dims[k] == m.l_dim) idx[k] = l;
        std::size_t len = 0;
        if (nc_inq_dimlen(nc, dims[k], &len) != NC_NOERR || idx[k] >= len) return false;
    }
    double v = 0;
    if (nc_get_var1_double(nc, var, idx.data(), &v) != NC_NOERR || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool int_key_at(int nc, const Model &m, int var, std::size_t h, std::size_t l, int *out) {
    double v = 0;
    if (!key_at(nc, m, var, h, l, &v) || v <= double(INT_MIN) || v >= double(INT_MAX)) return false;
    *out = int(v); // truncated
    return true;
}

// Point `i` of a coordinate variable along dimension `dim` (other dimensions
// at index 0).
bool coord_at(int nc, int var, int dim, std::size_t i, double *out) {
    const std::vector<int> dims = var_dims(nc, var);
    if (std::find(dims.begin(), dims.end(), dim) == dims.end()) return false;
    std::vector<std::size_t> idx(dims.size(), 0);
    for (std::size_t k = 0; k < dims.size(); ++k) {
        if (dims[k] == dim) idx[k] = i;
        std::size_t len = 0;
        if (nc_inq_dimlen(nc, dims[k], &len) != NC_NOERR || idx[k] >= len) return false;
    }
    double v = 0;
    if (nc_get_var1_double(nc, var, idx.data(), &v) != NC_NOERR || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// The first 16 characters of the text variable "reftime" (other dimensions
// at index 0).
std::string reftime_text(int nc, int var) {
    nc_type type;
    if (var < 0 || nc_inq_vartype(nc, var, &type) != NC_NOERR || type != NC_CHAR) return {};
    const std::vector<int> dims = var_dims(nc, var);
    if (dims.empty()) return {};
    std::vector<std::size_t> start(dims.size(), 0), count(dims.size(), 1);
    std::size_t len = 0;
    if (nc_inq_dimlen(nc, dims.back(), &len) != NC_NOERR) return {};
    count.back() = std::min<std::size_t>(len, 16);
    for (std::size_t k = 0; k + 1 < dims.size(); ++k) {
        std::size_t n = 0;
        if (nc_inq_dimlen(nc, dims[k], &n) != NC_NOERR || n == 0) return {};
    }
    char buf[17] = {};
    if (count.back() > 0 && nc_get_vara_text(nc, var, start.data(), count.data(), buf) != NC_NOERR) return {};
    return std::string(buf, strnlen(buf, 16));
}

// A year as stored: four digits are taken whole, two as the date functions
// read them; anything else dates the grid in 1980.
int full_year(long y) {
    if (y >= 0 && y <= 49) return int(y) + 2000;
    if (y >= 50 && y <= 99) return int(y) + 1900;
    if (y >= 1000 && y <= 9999) return int(y);
    return 1980;
}

// The reference date from "year", "month", "day" and "hour", or from the
// numbers of "reftime"; fields out of range are repaired (January, day 1,
// hour 0). False when the file gives no date.
bool reference_date(int nc, const Model &m, Date *date) {
    long f[4] = {0, 0, 0, 0};
    bool have = false;
    int v = 0;
    if (int_key_at(nc, m, m.year, 0, 0, &v)) {
        have = true;
        f[0] = v;
        const int *ids[3] = {&m.month, &m.day, &m.hour};
        for (int k = 0; k < 3; ++k)
            if (int_key_at(nc, m, *ids[k], 0, 0, &v)) f[k + 1] = v;
    } else {
        const std::string text = reftime_text(nc, m.reftime);
        const char *p = text.c_str();
        int n = 0;
        while (*p != '\0' && n < 4) {
            if (!std::isdigit(static_cast<unsigned char>(*p))) {
                ++p;
                continue;
            }
            char *end = nullptr;
            f[n++] = std::strtol(p, &end, 10);
            p = end;
        }
        have = n > 0;
    }
    DATE_init(date);
    date->year = full_year(f[0]);
    date->month = f[1] >= 1 && f[1] <= 12 ? int(f[1]) : 1;
    date->day = f[2] >= 1 && f[2] <= 31 ? int(f[2]) : 1;
    date->hour = f[3] >= 0 && f[3] <= 23 ? int(f[3]) : 0;
    date->min = date->sec = 0;
    return have;
}

// Notes where the file's dimensions stand among a variable's; false when it
// is not over both x and y.
bool place_dims(int nc, const Model &m, ModelVar &v) {
    v.dims = var_dims(nc, v.id);
    v.ndims = int(v.dims.size());
    for (int k = 0; k < v.ndims; ++k) {
        const int d = v.dims[std::size_t(k)];
        if (d == m.t_dim) v.t_pos = k;
        if (d == m.l_dim) v.l_pos = k;
        if (d == m.y_dim) v.y_pos = k;
        if (d == m.x_dim) v.x_pos = k;
    }
    return v.y_pos >= 0 && v.x_pos >= 0 && v.y_pos != v.x_pos;
}

// Adds a variable with its grid count; false when the list is full or the
// variable is not a grid.
bool add_var(int nc, Model &m, int id, int code, const char *name) {
    if (int(m.vars.size()) >= MAX_VARS) return false;
    ModelVar v;
    v.id = id;
    v.code = code;
    v.name = name;
    if (!place_dims(nc, m, v)) {
        MESS_print(M_DEBUG_B, "VAR: %s is not a grid\n", name);
        return false;
    }
    const std::size_t times = v.t_pos >= 0 ? m.t_len : 1;
    const std::size_t levels = v.l_pos >= 0 ? m.l_len : 1;
    if (levels != 0 && times > std::size_t(LONG_MAX - m.total) / levels) return false;
    v.first = m.total;
    v.count = long(times * levels);
    m.total += v.count;
    m.vars.push_back(std::move(v));
    return true;
}

// ---- The Domain --------------------------------------------------------------------------

// The grid's Domain; `north_first` tells whether the file's first row is the
// northernmost (else its rows are turned over on reading): so when latitudes
// run southwards; files without latitudes are stored from the south, as the
// producers of the built-in grids write them.
void make_domain(int nc, const Model &m, GRD_report *grd, bool *north_first) {
    Domain &d = grd->domain;
    DOM_init(&d);
    d.nx = int(std::min<std::size_t>(m.x_len, INT_MAX));
    d.ny = int(std::min<std::size_t>(m.y_len, INT_MAX));
    *north_first = false;
    double lat0 = 0, lat1 = 0;
    if (m.lat >= 0 && coord_at(nc, m.lat, m.y_dim, 0, &lat0)) {
        d.proj = 2;
        double dlat = 0;
        if (m.y_len > 1 && coord_at(nc, m.lat, m.y_dim, 1, &lat1)) dlat = lat1 - lat0;
        *north_first = dlat <= 0;
        d.dy = float(std::fabs(dlat));
        d.clat = float(lat0 + dlat * double(d.ny - 1) / 2);
        double lon0 = 0, lon1 = 0;
        if (m.lon >= 0 && coord_at(nc, m.lon, m.x_dim, 0, &lon0)) {
            const double dlon = m.x_len > 1 && coord_at(nc, m.lon, m.x_dim, 1, &lon1) ? lon1 - lon0 : 0;
            d.dx = float(dlon);
            d.clon = float(lon0 + dlon * double(d.nx - 1) / 2);
        }
    } else if (m.x_len == 83) {
        d.proj = 1;
        d.clat = 50.8936f;
        d.clon = -103.1524f;
        d.plon = -105.0f;
        d.nx = d.ny = 83;
        d.dx = d.dy = 0.9075464f;
    }
    const int model = grd->model;
    if (model == 39 || model == 64) {
        grd->type = 50;
    } else if (model == 83 && d.proj == MISSING) {
        grd->type = 211;
        d.proj = 4;
        d.clat = 40.62f;
        d.clon = -100.51f;
        d.nx = 93;
        d.ny = 65;
        d.dx = d.dy = 0.6263f;
        d.plon = -95.0f;
        d.param[0] = d.param[1] = 25.0f;
        d.param[2] = 1.277f;
    } else if (model == 69 || model == 78) {
        grd->type = 11;
        // Global grids of long forecasts repeat their first column at the end.
        if (grd->time >= 73 && d.nx == 72) {
            d.nx = 73;
            if (d.clon != FMISSING && d.dx != FMISSING) d.clon += d.dx / 2;
        }
    } else if (model == 77 || model == 10 || model == 44 || model == 25 || model == 31 || model == 40) {
        grd->type = 11;
    }
    grd->version = 1;
}

// ---- Values --------------------------------------------------------------------------------

// Reads the rows of grid (h, l) of the variable into grd->grid (nx x ny of
// the Domain; a wrap-around column repeats the first); false when the file's
// rows do not make that grid or cannot be read.
bool read_values(int slot, int nc, const Model &m, const ModelVar &v, std::size_t h, std::size_t l,
                 bool north_first, GRD_report *grd) {
    const int nx = grd->domain.nx, ny = grd->domain.ny;
    const std::size_t fx = m.x_len, fy = m.y_len;
    const bool wrap = std::size_t(nx) == fx + 1;
    if (nx <= 0 || ny <= 0 || std::size_t(ny) != fy || (std::size_t(nx) != fx && !wrap)) return false;
    if (fx == 0 || !grd_cdf::values_fit(slot, nc, v.id, fx * fy)) return false;
    std::vector<std::size_t> start(v.dims.size(), 0), count(v.dims.size(), 1);
    if (v.t_pos >= 0) start[std::size_t(v.t_pos)] = h;
    if (v.l_pos >= 0) start[std::size_t(v.l_pos)] = l;
    count[std::size_t(v.y_pos)] = fy;
    count[std::size_t(v.x_pos)] = fx;
    std::vector<float> buf(fx * fy);
    if (nc_get_vara_float(nc, v.id, start.data(), count.data(), buf.data()) != NC_NOERR) return false;
    const std::size_t out_nx = std::size_t(nx);
    grd->grid = static_cast<float *>(std::malloc(out_nx * fy * sizeof(float)));
    if (grd->grid == nullptr) return false;
    const bool x_outer = v.x_pos < v.y_pos;
    for (std::size_t s = 0; s < fy; ++s) {
        const std::size_t row = north_first ? s : fy - 1 - s;
        float *out = grd->grid + row * out_nx;
        for (std::size_t i = 0; i < fx; ++i) {
            const float x = x_outer ? buf[i * fy + s] : buf[s * fx + i];
            out[i] = std::isnan(x) || x > HUGE_VALUE ? FMISSING : x;
        }
        if (wrap) out[fx] = out[0];
    }
    return true;
}

// The first value of grid (h, l) in the file's order.
bool first_value(int nc, const ModelVar &v, std::size_t h, std::size_t l, float *out) {
    std::vector<std::size_t> idx(v.dims.size(), 0);
    if (v.t_pos >= 0) idx[std::size_t(v.t_pos)] = h;
    if (v.l_pos >= 0) idx[std::size_t(v.l_pos)] = l;
    return nc_get_var1_float(nc, v.id, idx.data(), out) == NC_NOERR;
}

} // namespace

namespace grd_cdf {

int model_getinfo(int slot, GRD_file *g, Model &m, GRD_info *info) {
    (void)slot;
    const int nc = g->fd;
    m = Model{};
    g->itype = 1;
    m.rtime = find_dim(nc, {"rtime"}, nullptr);
    m.x_dim = find_dim(nc, {"lon", "x"}, &m.x_len);
    m.y_dim = find_dim(nc, {"lat", "y"}, &m.y_len);
    m.l_dim = find_dim(nc, {"level", "plevl"}, &m.l_len);
    m.t_dim = find_dim(nc, {"frtime", "anltime"}, &m.t_len);
    g->x_dim = m.x_dim;
    g->y_dim = m.y_dim;
    g->z_dim = m.l_dim;
    g->t_dim = m.t_dim;
    g->x_size = m.x_dim >= 0 ? long(m.x_len) : -1;
    g->y_size = m.y_dim >= 0 ? long(m.y_len) : -1;
    g->z_size = m.l_dim >= 0 ? long(m.l_len) : -1;
    g->t_size = m.t_dim >= 0 ? long(m.t_len) : -1;

    // An extra variable named by GRIDVAR comes first, with code 0.
    g->var_nm[0] = '\0';
    if (const char *extra = std::getenv("GRIDVAR"); extra != nullptr && extra[0] != '\0') {
        copy_text(g->var_nm, extra);
        const int id = find_var(nc, {g->var_nm});
        if (id >= 0) add_var(nc, m, id, 0, g->var_nm);
    }
    int nvars = 0;
    nc_inq_nvars(nc, &nvars);
    for (int id = 0; id < nvars; ++id) {
        char name[NC_MAX_NAME + 1] = "";
        if (nc_inq_varname(nc, id, name) != NC_NOERR) continue;
        MESS_print(M_DEBUG_B, "VAR: %d %s\n", id, name);
        const int code = code_of(nc, id, name);
        if (code >= 0) add_var(nc, m, id, code, name);
    }
    g->var_num = int(m.vars.size());
    for (std::size_t k = 0; k < m.vars.size(); ++k) {
        g->var[k] = m.vars[k].code;
        g->values_id[k] = m.vars[k].id;
    }
    g->cur_var = -1;
    g->max_num = m.total;

    m.lat = find_var(nc, {"lat"});
    m.lon = find_var(nc, {"lon"});
    m.center = find_var(nc, {"grib_center"});
    m.model = find_var(nc, {"grib_model"});
    m.level = find_var(nc, {"level", "plevl"});
    m.hours = find_var(nc, {"frtime", "anlhour"});
    m.year = find_var(nc, {"year"});
    m.month = find_var(nc, {"month"});
    m.day = find_var(nc, {"day"});
    m.hour = find_var(nc, {"hour"});
    m.reftime = find_var(nc, {"reftime"});
    g->lat1_id = m.lat;
    g->lon1_id = m.lon;
    g->source_id = m.center;
    g->model_id = m.model;
    g->level_id = m.level;
    g->time_id = m.hours;
    g->info_id = m.reftime;

    Date date;
    if (!reference_date(nc, m, &date)) DATE_init(&date);
    info->date = date;
    DATE_make_label(&date, info->datim, sizeof info->datim);
    g->date = date;
    copy_text(g->datim, info->datim);

    m.layout = layout_code(text_att(nc, NC_GLOBAL, "title"), m.rtime >= 0);
    g->itype = m.layout;
    return 0;
}

int model_read(int slot, GRD_file *g, Model &m, GRD_report *grd, int rep_type, int *grdnum) {
    const int nc = g->fd;
    const long n = *grdnum == -1 ? g->num : *grdnum;
    std::free(grd->grid);
    grd->grid = nullptr;
    if (n < 0 || n >= m.total) {
        clear_record(grd);
        return -1;
    }
    std::size_t vi = 0;
    while (vi + 1 < m.vars.size() && n >= m.vars[vi].first + m.vars[vi].count)
        ++vi;
    const ModelVar &v = m.vars[vi];
    g->cur_var = int(vi);
    g->num = int(n);
    const int layout = variable_layout(m.layout, v.name);
    g->itype = layout;

    // Forecast time is the outer, level the inner index.
    const std::size_t k = std::size_t(n - v.first);
    const bool has_t = v.t_pos >= 0, has_l = v.l_pos >= 0;
    const std::size_t h = has_t ? (has_l ? k / m.l_len : k) : 0;
    const std::size_t l = has_l ? (has_t ? k % m.l_len : k) : 0;

    grd->var = v.code;
    grd->datim[0] = grd->info[0] = grd->units[0] = '\0';
    grd->type = 1;
    grd->source = 1;
    grd->model = 1;
    int_key_at(nc, m, m.center, h, l, &grd->source);
    int_key_at(nc, m, m.model, h, l, &grd->model);
    grd->level = 0;
    grd->time = 0;
    if (!has_t && !has_l) {
        grd->ltype = 1;
        if (layout % 100 == 13) {
            grd->ltype = 10;
            grd->level = 500;
            grd->time = 72;
        }
    } else if (has_t && !has_l) {
        const int c = v.code;
        if (c == 1 || c == 101)
            grd->ltype = 12;
        else if (c == 2 || c == 102 || c == 50)
            grd->ltype = 1;
        else if (grd->model == 10)
            grd->ltype = c == 23 ? 1 : 12;
        else
            grd->ltype = 9;
        if (layout % 100 > 9 && layout % 10 == 1) grd->ltype = 7;
        if (layout % 100 > 9 && layout % 10 == 2) grd->ltype = 6;
        int_key_at(nc, m, m.hours, h, l, &grd->time);
    } else {
        // Over levels (and perhaps times): an isobaric level of the level variable.
        grd->ltype = 10;
        int_key_at(nc, m, m.level, h, l, &grd->level);
        if (has_t) int_key_at(nc, m, m.hours, h, l, &grd->time);
    }

    bool north_first = true;
    make_domain(nc, m, grd, &north_first);

    float first = 0;
    if (!first_value(nc, v, h, l, &first)) return unreadable(slot, grd, n);
    if (first >= HUGE_VALUE) grd->source = grd->var = grd->ltype = grd->level = grd->time = 0;

    Date date;
    reference_date(nc, m, &date);
    grd->date = date;
    struct tm tm {};
    tm.tm_year = date.year;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    tm.tm_hour = date.hour;
    const time_t secs = DATE_num_sec_tm(&tm);

    if (grd->var == 50) {
        if (const char *qp = std::getenv("GRIBQP"); qp != nullptr) {
            char *end = nullptr;
            const long add = std::strtol(qp, &end, 10);
            if (end != qp && add > -100000 && add < 100000) grd->time += int(add);
        }
    }
    *grdnum = int(n);
    if (rep_type != 0) return 0;

    if (v.code == 0) {
        const std::string label = text_att(nc, v.id, "long_name") + " (" + text_att(nc, v.id, "units") + ")";
        copy_text(grd->info, label);
    } else {
        VAR_make_datatype(grd->time, grd->ltype, grd->level, grd->var, grd->units, grd->info,
                          sizeof grd->info);
    }
    DATE_make_label_for(grd->time, grd->model, secs, grd->datim, sizeof grd->datim);
    if (!read_values(slot, nc, m, v, h, l, north_first, grd)) return unreadable(slot, grd, n);
    return 0;
}

} // namespace grd_cdf
