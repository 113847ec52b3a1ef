// GRIB editions 0 and 1: the product definition block (identity, date, time
// code, level, parameter, ensemble and probability octets, labels), the grid
// description block (Domain, row order, thinned rows), the bit map and the
// data block, and the bit reader that edition 2 shares.
// File-static state: none of its own; the decoder state lives in the GRIB
// module's shared record (grib_int::decoder()).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read_int.h"
#include "gridfile/grib.h"
#include "gridfile/grib_int.h"
#include "runtime/date.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "runtime/tools.h"

namespace {

using grib_int::Block;
using grib_int::Decoder;
using grib_int::east_of_minus180;

constexpr int MAX_POINTS = 2000; // largest nx and ny

void trace_octets(const unsigned char *p, std::size_t n) {
    if (MESS_check(M_DEBUG_D) == 0) return;
    for (std::size_t i = 0; i < n; ++i) {
        MESS_print(M_DEBUG_D, "[%2.2X]", p[i]);
        if (i % 8 == 7) MESS_print(M_DEBUG_D, "\n");
    }
}

// ---- Product definition ---------------------------------------------------------

// The time code from the unit, P1, P2, the time range indicator and N; the
// current code when the indicator is not one of those known.
int time_code(int unit, int p1, int p2, int tri, int n, int current) {
    int a = p1, b = p2;
    if (unit == 2) {
        a += 800;
        b += 800;
    } else if (unit == 3) {
        a += 900;
        b += 900;
    } else if (unit == 12) {
        a *= 12;
        b *= 12;
    }
    const int f = n * p2 + (unit == 2 ? 800 : unit == 3 ? 900 : 0);
    switch (tri) {
    case 0:
        return a;
    case 1:
        return 0;
    case 2:
    case 3:
    case 4:
    case 5:
        return tri * 1000000 + a * 1000 + b;
    case 10:
        return p1 * 256 + p2;
    case 113:
        return 13000000 + a * 1000 + f;
    case 118:
        return 18000000 + a * 1000 + f;
    case 123:
        return 23000000 + f;
    default:
        return current;
    }
}

int level_code(int ltype, unsigned a, unsigned b, int current) {
    switch (ltype) {
    case 1:
    case 4:
    case 6:
    case 7:
    case 102:
    case 200:
        return 0;
    case 5:
    case 100:
    case 103:
    case 105:
    case 107:
    case 109:
    case 111:
    case 113:
    case 117:
    case 119:
        return int(a * 256 + b);
    case 101:
    case 104:
    case 106:
    case 108:
    case 112:
    case 114:
    case 116:
    case 120:
        return int(a * 1000 + b);
    default:
        return current;
    }
}

std::string var_text(int var, const char *units) {
    char buf[80];
    VAR_str(buf, sizeof buf, var, units);
    return buf;
}

// ---- Grid description -------------------------------------------------------------

float degrees(const Block &g, std::size_t n) {
    return float(g.s24(n)) / 1000.0f;
}

void trace_size(const Domain &d) {
    MESS_print(M_DEBUG_C, "Grid size: %3.2fx%3.2f\n", double(d.dx), double(d.dy));
}

void trace_locate(const Domain &d) {
    MESS_print(M_DEBUG_C, "Grid locate: %3.2f N, %3.2f E\n", double(d.clat), double(d.clon));
}

int latlon_domain(const Block &g, Decoder &dec, Domain &d) {
    const float la1 = degrees(g, 11), lo1 = degrees(g, 14), la2 = degrees(g, 18), lo2 = degrees(g, 21);
    const unsigned res = g.at(17);
    const int xdir = dec.xrev ? -1 : 1;
    dec.lat = la1;
    MESS_print(M_DEBUG_C, "Res/comp flag: %X\n", res);
    MESS_print(M_DEBUG_C, "Grid locate: %3.2f N, %3.2f E\n", double(la1), double(lo1));
    d.proj = 2;
    // Increments the block does not give follow from the first and last
    // points (rows of a thinned grid span the full width).
    double span = xdir * (double(lo2) - double(lo1));
    while (span < 0.0)
        span += 360.0;
    float dx = FMISSING, dy = FMISSING;
    if ((res & 0x80) != 0 && g.u16(24) != 0xFFFF) dx = float(g.u16(24)) / 1000.0f;
    if ((res & 0x80) != 0 && g.u16(26) != 0xFFFF) dy = float(g.u16(26)) / 1000.0f;
    if (dx == FMISSING && d.nx > 1) dx = float(span / (d.nx - 1));
    if (dy == FMISSING && d.ny > 1) dy = std::fabs(la2 - la1) / float(d.ny - 1);
    if (dx == FMISSING) dx = dy;
    if (dy == FMISSING) dy = dx;
    if (dx == FMISSING) dx = dy = 1.0f;
    if (dx > 30.0f && dec.grid_id >= 37 && dec.grid_id <= 44) dx = 1.25f;
    dec.thin_wrap = dec.thin == 1 && grib_int::rows_wrap(span, d.nx);
    d.dx = dx;
    d.dy = dy;
    trace_size(d);
    d.clon = east_of_minus180(double(lo1) + double(xdir) * double(dx) * (d.nx - 1) / 2.0);
    d.clat = float(double(la1) + double(dy) * dec.ydir * (d.ny - 1) / 2.0);
    return 1;
}

int mercator_domain(int grd_fd, const Block &g, const Decoder &dec, Domain &d) {
    if (d.nx < 2 || d.ny < 2)
        return grib_int::refuse(grd_fd, "GRIB_GDB", "Mercator grid of %dx%d points", d.nx, d.ny);
    if (!grib_int::place_mercator(d, degrees(g, 11), degrees(g, 14), degrees(g, 18), degrees(g, 21),
                                  dec.xrev))
        return grib_int::refuse(grd_fd, "GRIB_GDB", "Mercator grid corners cannot be placed");
    trace_size(d);
    trace_locate(d);
    return 1;
}

// Lambert conformal and polar stereographic grids: the centre lies half the
// grid away from the first point in the projection plane.
int cone_domain(int grd_fd, const Block &g, const Decoder &dec, Domain &d) {
    d.dx = float(g.u24(21)) / 100000.0f;
    d.dy = float(g.u24(24)) / 100000.0f;
    if (!grib_int::place_from_first_point(d, degrees(g, 11), degrees(g, 14), dec.xrev ? -1 : 1, dec.ydir))
        return grib_int::refuse(grd_fd, "GRIB_GDB", "First grid point cannot be placed");
    trace_size(d);
    trace_locate(d);
    return 1;
}

int lambert_domain(int grd_fd, const Block &g, const Decoder &dec, Domain &d) {
    if (g.length() < 34) return grib_int::refuse(grd_fd, "GRIB_GDB", "Lambert conformal block too short");
    MESS_print(M_DEBUG_C, "Lambert Conformal Grid\n");
    d.proj = 4;
    d.plon = east_of_minus180(degrees(g, 18));
    d.plat = (g.at(27) & 0x80) != 0 ? -90.0f : 90.0f;
    d.param[0] = degrees(g, 29);
    d.param[1] = degrees(g, 32);
    d.param[2] = 1.0f;
    MESS_print(M_DEBUG_C, "Grid parallels: %3.2f N, %3.2f N\n", double(d.param[0]), double(d.param[1]));
    return cone_domain(grd_fd, g, dec, d);
}

int polar_domain(int grd_fd, const Block &g, const Decoder &dec, int source, Domain &d) {
    MESS_print(M_DEBUG_C, "Polar Stereographic Grid\n");
    d.proj = 1;
    d.plon = east_of_minus180(degrees(g, 18));
    if (source == 98 && dec.grid_id == 45) d.plon = 0.0f;
    const bool south = (g.at(27) & 0x80) != 0;
    d.plat = south ? -90.0f : 90.0f;
    d.param[0] = south ? -60.0f : 60.0f;
    return cone_domain(grd_fd, g, dec, d);
}

// ---- Unpacking --------------------------------------------------------------------

void release_maps(Decoder &d) {
    d.has_bmb = false;
    d.bmb.clear();
    d.bmbits = 0;
    d.thin_ptr.clear();
}

} // namespace

// ---- Product definition block ---------------------------------------------------

int GRIB_PDB(int grd_fd, GRD_report *grd, int) {
    FILE *f = grib_int::slot_stream(grd_fd);
    const grib_int::Product &p = grib_int::product();
    if (f == nullptr || grd == nullptr || p.start < 0) return -1;
    if (std::strcmp(p.marker, "GRIB") != 0 || p.edition > 1)
        return grib_int::refuse(grd_fd, "GRIB_PDB", "Not a GRIB edition 0 or 1 product");
    // An edition 0 product has no total length: its block follows the
    // letters, and the four octets after them are the block's first ones.
    const int edition = p.edition;
    if (std::fseek(f, p.start + (edition == 1 ? 8 : 4), SEEK_SET) != 0) return -1;
    Decoder &d = grib_int::decoder();
    const int r = grib_int::read_block(grd_fd, 3, edition == 1 ? 28 : 24, "GRIB_PDB",
                                       "Product definition block", d.pdb);
    if (r != 1) return r;
    grd->version = edition;
    trace_octets(&d.pdb.oct[1], std::min<std::size_t>(32, d.pdb.length()));
    GRIB_decode_PDB(d.pdb.oct.data(), grd);
    GRIB_set_var(grd);
    DATE_make_label_for_time(grd->time, grd->source * 1000 + grd->model, &grd->date, grd->datim,
                             sizeof grd->datim);
    return 1;
}

int GRIB_decode_PDB(const unsigned char *data, GRD_report *grd) {
    if (data == nullptr || grd == nullptr) return 1;
    const std::size_t len = (std::size_t(data[1]) << 16) | (std::size_t(data[2]) << 8) | data[3];
    auto o = [&](std::size_t n) -> int { return n >= 1 && n <= len ? int(data[n]) : 0; };
    Decoder &d = grib_int::decoder();
    const int edition = grd->version;

    grd->source = o(5);
    grd->model = o(6);
    grd->type = d.grid_id = o(7);
    const int flag = o(8);
    grd->ltype = o(10);
    int year = o(13);
    if (year <= 49) year += 2000;
    if (year <= 199) year += 1900;
    grd->date.year = year;
    grd->date.month = o(14);
    grd->date.day = o(15);
    grd->date.hour = o(16);
    grd->date.min = o(17);
    const int unit = o(18), p1 = o(19), p2 = o(20), tri = o(21), n = o(22) * 256 + o(23);
    grd->time = time_code(unit, p1, p2, tri, n, grd->time);
    MESS_print(M_DEBUG_C, "Source: %d\n", grd->source);
    MESS_print(M_DEBUG_C, "Model: %d\n", grd->model);
    MESS_print(M_DEBUG_C, "Init time: %d/%d/%d %2.2d:%2.2d\n", o(14), o(15), o(13), o(16), o(17));
    MESS_print(M_DEBUG_C, "Grid type: %d\n", grd->type);
    MESS_print(M_DEBUG_C, "Grid time: %d\n", grd->time);
    if (tri != 0) {
        MESS_print(M_DEBUG_C, "Time range: %d\n", tri);
        MESS_print(M_DEBUG_C, "Time units: %d\n", unit);
        MESS_print(M_DEBUG_C, "P1,P2: %d,%d\n", p1, p2);
    }
    MESS_print(M_DEBUG_C, "Level type: %d\n", grd->ltype);
    MESS_print(M_DEBUG_C, "Flag: %X\n", unsigned(flag));
    grd->level = level_code(grd->ltype, unsigned(o(11)), unsigned(o(12)), grd->level);

    int var = o(9);
    if (o(4) == 129) {
        if (var == 212) var = 491;
    } else if (var == 177) {
        var = 571;
    }
    grd->var = var;
    GRIB_units(grd);

    // Scale, and the ensemble and probability octets this product carries.
    d.dscale = 1.0;
    d.ens = d.ens_type = d.ens_id = d.ens_prod = d.ens_smooth = 0;
    d.prob = false;
    d.ens_prob_var = d.ens_prob_type = 0;
    d.ens_prob_low = d.ens_prob_up = 0.0f;
    const int sub_centre = edition == 1 ? o(26) : 0;
    if (grd->source == 7 && sub_centre == 2 && len >= 45) {
        d.ens = 1;
        d.ens_type = o(42);
        d.ens_id = o(43);
        d.ens_prod = o(44);
        d.ens_smooth = o(45);
        MESS_print(M_DEBUG_C, "Ens: %d %d %d %d\n", d.ens_type, d.ens_id, d.ens_prod, d.ens_smooth);
        if ((grd->var == 191 || grd->var == 192) && len >= 55) {
            d.prob = true;
            d.ens_prob_var = o(46);
            const int saved = grd->var;
            grd->var = d.ens_prob_var;
            GRIB_units(grd);
            grd->var = saved;
            d.ens_prob_type = o(47);
            d.ens_prob_low = GRIB_flt_conv(&data[48]);
            d.ens_prob_up = GRIB_flt_conv(&data[52]);
            MESS_print(M_DEBUG_C, "%d %d %f %f\n", d.ens_prob_var, d.ens_prob_type, double(d.ens_prob_low),
                       double(d.ens_prob_up));
        }
    }
    if (edition == 1) {
        if (grd->ltype == 1 && grd->model == 44 && grd->var == 7) grd->var = 161;
        const int dec = ((o(27) & 0x7F) << 8) | o(28);
        d.dscale = std::pow(10.0, (o(27) & 0x80) != 0 ? dec : -dec);
    }

    DOM_init(&grd->domain);
    d.ydir = 1;
    d.xalt = 0;
    d.pole = 0;
    d.xrev = d.colmajor = false;
    GRIB_set_domain(d.grid_id, &grd->domain);
    const int g = d.grid_id;
    if ((g >= 21 && g <= 26) || (g >= 61 && g <= 64)) {
        d.pole = 1;
        d.lat = (g == 21 || g == 22 || g == 25 || g == 61 || g == 62) ? 0.0f : -90.0f;
    }
    MESS_print(M_DEBUG_C, "Level: [%d %d %d] %d\n", o(10), o(11), o(12), grd->level);
    MESS_print(M_DEBUG_C, "Variable: [%d] %d %s\n", o(9), grd->var, grd->units);
    return 1;
}

int GRIB_set_var(GRD_report *grd) {
    if (grd == nullptr) return 0;
    const Decoder &d = grib_int::decoder();
    char level[80];
    VAR_make_datalevel(grd->time, grd->ltype, grd->level, level, sizeof level);
    std::string info;
    if (d.ens == 1 && d.ens_prod == 1) {
        static const char *const member[] = {"Ens[%d] ", "Ens[-%d] ", "Ens[+%d] ", "Ens[c%d] ", "Ens[w%d] "};
        char word[40] = "";
        if (d.ens_type >= 1 && d.ens_type <= 5)
            std::snprintf(word, sizeof word, member[d.ens_type - 1], d.ens_id);
        info = std::string(level) + " " + word + var_text(grd->var, grd->units);
        grd->var += d.ens_type * 20000 + d.ens_id * 1000 + 19280000;
    } else if (d.ens == 1 && d.ens_prod == 2) {
        grd->var += 19000000;
        info = std::string(level) + " Ens mean " + var_text(grd->var, grd->units);
    } else if (d.ens == 1 && (d.ens_prod == 11 || d.ens_prod == 12)) {
        grd->var += 19001000;
        info = std::string(level) + " Ens std dev " + var_text(grd->var, grd->units);
    } else if (d.prob && (grd->var == 191 || grd->var == 192)) {
        const char *word = d.ens_prob_type >= 4 ? "Prob (%) "
                           : grd->var == 191    ? "Ens prob (%) "
                                                : "Ens norm prob (%) ";
        char limits[80] = "";
        float limit = 0.0f;
        bool coded = true;
        const double low = d.ens_prob_low, up = d.ens_prob_up;
        switch (d.ens_prob_type) {
        case 1:
        case 4:
            std::snprintf(limits, sizeof limits, " below %.2f", low);
            limit = d.ens_prob_low;
            break;
        case 2:
        case 5:
            std::snprintf(limits, sizeof limits, " above %.2f", up);
            limit = d.ens_prob_up;
            break;
        case 3:
        case 6:
            std::snprintf(limits, sizeof limits, " in %.2f-%.2f", low, up);
            limit = d.ens_prob_low;
            break;
        case 7:
            std::snprintf(limits, sizeof limits, " above %.2f", low);
            limit = d.ens_prob_low;
            break;
        case 8:
            std::snprintf(limits, sizeof limits, " below %.2f", up);
            limit = d.ens_prob_up;
            break;
        default:
            coded = false;
            break;
        }
        info = std::string(level) + " " + word + var_text(d.ens_prob_var, "") + limits;
        if (grd->units[0] != '\0') info += std::string(" ") + grd->units;
        long long c = coded ? float2int(limit) : 0;
        if (c < 0) c = 5000 - c;
        const long long code = (long long)grd->var * 10000000LL + (long long)d.ens_prob_var * 10000LL +
                               d.ens_prob_type * 1000LL + c;
        if (code <= INT32_MAX)
            grd->var = int(code);
        else
            MESS_print(M_WARN, "GRIB_set_var: Probability code %lld does not fit: parameter %d kept\n", code,
                       grd->var);
        std::snprintf(grd->units, sizeof grd->units, "%%");
    } else {
        char label[sizeof grd->info];
        VAR_make_datatype(grd->time, grd->ltype, grd->level, grd->var, grd->units, label, sizeof label);
        info = label;
    }
    copy_text(grd->info, info);
    return 0;
}

// ---- Grid description block -------------------------------------------------------

int GRIB_GDB(int grd_fd, GRD_report *grd) {
    Decoder &dec = grib_int::decoder();
    dec.thin = 0;
    dec.thin_ptr.clear();
    dec.thin_wrap = false;
    if (grd == nullptr) return -1;
    if ((dec.pdb.at(8) & 0x80) == 0) {
        if (grd->domain.proj == MISSING)
            return grib_int::refuse(grd_fd, "GRIB_GDB", "Grid %d is neither described nor predefined",
                                    dec.grid_id);
        return 1;
    }
    Block g;
    const int r = grib_int::read_block(grd_fd, 3, 32, "GRIB_GDB", "Grid description block", g);
    if (r != 1) return r;
    MESS_print(M_DEBUG_D, "Grid description block\n");
    trace_octets(&g.oct[1], 32);
    const unsigned type = g.at(6);
    MESS_print(M_DEBUG_D, "Grid type: %d\n", type);

    const unsigned scan = g.at(28);
    dec.ydir = (scan & 0x40) != 0 || (scan & 0x02) != 0 ? 1 : -1;
    dec.xrev = (scan & 0x80) != 0;
    dec.colmajor = (scan & 0x20) != 0;
    MESS_print(M_DEBUG_C, "Gridpoint direction: %x : %s\n", scan,
               dec.ydir == 1 ? "south to north" : "north to south");

    int nx = int(g.u16(7));
    const int ny = int(g.u16(9));
    if (ny > MAX_POINTS)
        return grib_int::refuse(grd_fd, "GRIB_GDB", "Grid of %d rows is larger than supported", ny);
    if (ny < 1) return grib_int::refuse(grd_fd, "GRIB_GDB", "Grid without rows");
    // The point counts of thinned rows follow any vertical-coordinate
    // parameters (octet 4 counts them, octet 5 gives where they start).
    const unsigned nv = g.at(4), pvl = g.at(5);
    const std::size_t list = pvl != 0 && pvl != 255 ? pvl + 4 * std::size_t(nv) : 0;
    const bool has_list = list != 0 && list + 2 * std::size_t(ny) - 1 <= g.length();
    if (has_list && (nx == 0xFFFF || nv == 0)) {
        MESS_print(M_DEBUG_C, "Thinning grid\n");
        dec.thin = 1;
        dec.thin_ptr.resize(std::size_t(ny));
        nx = 0;
        for (int j = 0; j < ny; ++j) {
            dec.thin_ptr[std::size_t(j)] = int(g.u16(list + 2 * std::size_t(j)));
            nx = std::max(nx, dec.thin_ptr[std::size_t(j)]);
        }
    } else if (nx == 0xFFFF) {
        return grib_int::refuse(grd_fd, "GRIB_GDB", "Rows of varying length without their point counts");
    }
    if (nx > MAX_POINTS)
        return grib_int::refuse(grd_fd, "GRIB_GDB", "Grid of %d columns is larger than supported", nx);
    if (nx < 1) return grib_int::refuse(grd_fd, "GRIB_GDB", "Grid without columns");
    if (dec.thin == 1 && dec.colmajor)
        return grib_int::refuse(grd_fd, "GRIB_GDB", "Thinned rows stored by columns");
    MESS_print(M_DEBUG_C, "Number of gridpoints: %dx%d\n", nx, ny);

    Domain &d = grd->domain;
    DOM_init(&d);
    d.nx = nx;
    d.ny = ny;
    switch (type) {
    case 0:
        return latlon_domain(g, dec, d);
    case 1:
        return mercator_domain(grd_fd, g, dec, d);
    case 3:
        return lambert_domain(grd_fd, g, dec, d);
    case 5:
        return polar_domain(grd_fd, g, dec, grd->source, d);
    default:
        DOM_init(&d);
        return grib_int::refuse(grd_fd, "GRIB_GDB", "Grid type %u is not supported", type);
    }
}

// ---- Bit map and data blocks ---------------------------------------------------------

int GRIB_BMB(int grd_fd) {
    Decoder &d = grib_int::decoder();
    d.has_bmb = false;
    d.bmb.clear();
    d.bmoff = 0;
    d.bmbits = 0;
    if ((d.pdb.at(8) & 0x40) == 0) return 1;
    MESS_print(M_DEBUG_D, "Bit Map section\n");
    Block b;
    const int r = grib_int::read_block(grd_fd, 3, 6, "GRIB_BMB", "Bit map block", b);
    if (r != 1) return r;
    if (b.u16(5) != 0)
        return grib_int::refuse(grd_fd, "GRIB_BMB", "Predefined bit map %u is not supported", b.u16(5));
    d.bmb.assign(b.oct.begin() + 7, b.oct.end());
    const std::size_t bits = d.bmb.size() * 8;
    d.bmbits = bits > b.at(4) ? bits - b.at(4) : 0;
    d.has_bmb = true;
    return 1;
}

int GRIB_BMB_read() {
    Decoder &d = grib_int::decoder();
    if (!d.has_bmb) return 1;
    const std::size_t k = d.bmoff++;
    // Points beyond the end of the map count as absent.
    if (k >= d.bmbits) return 0;
    return (d.bmb[k / 8] >> (7 - k % 8)) & 1;
}

namespace grib_int {

float east_of_minus180(double lon) {
    while (lon > 180.0)
        lon -= 360.0;
    while (lon <= -180.0)
        lon += 360.0;
    return float(lon);
}

// Runs f with d as the current projection; the caller's projection is
// restored afterwards. f's result.
template <class F> bool in_projection(const Domain &d, F &&f) {
    MapScope scope(&d);
    return f();
}

bool place_mercator(Domain &d, float la1, float lo1, float la2, float lo2, bool xrev) {
    if (d.nx < 2 || d.ny < 2) return false;
    const float west = east_of_minus180(xrev ? lo2 : lo1), east = east_of_minus180(xrev ? lo1 : lo2);
    float plon = west <= east ? (west + east) / 2.0f : (west - 360.0f + east) / 2.0f;
    if (plon < -180.0f) plon += 360.0f;
    d.proj = 3;
    d.plat = 0.0f;
    d.plon = plon;
    d.clat = la1;
    d.clon = lo1;
    return in_projection(d, [&] {
        float x1, y1, x2, y2;
        if (MAP_tran(la1, lo1, &x1, &y1) != 1 || MAP_tran(la2, lo2, &x2, &y2) != 1) return false;
        d.dx = std::fabs(x2 - x1) / float(d.nx - 1);
        d.dy = std::fabs(y2 - y1) / float(d.ny - 1);
        return MAP_untran((x1 + x2) / 2.0f, (y1 + y2) / 2.0f, &d.clat, &d.clon) == 1;
    });
}

bool place_from_first_point(Domain &d, float la1, float lo1, int xdir, int ydir) {
    d.clat = la1;
    d.clon = lo1;
    return in_projection(d, [&] {
        float x, y;
        if (MAP_tran(la1, lo1, &x, &y) != 1) return false;
        MESS_print(M_DEBUG_C, "Grid locate: %3.2f N, %3.2f E - %3.2f E %f %f\n", double(la1), double(lo1),
                   double(d.plon), double(x), double(y));
        const double cx = x + double(xdir) * d.dx * (d.nx - 1) / 2.0;
        const double cy = y + double(ydir) * d.dy * (d.ny - 1) / 2.0;
        return MAP_untran(float(cx), float(cy), &d.clat, &d.clon) == 1;
    });
}

void spread_row(const float *row, int k, float *out, int nx, bool xrev, bool wrap) {
    for (int c = 0; c < nx; ++c) {
        float v = FMISSING;
        if (k == 1 || (k > 1 && nx == 1)) {
            v = row[0];
        } else if (k > 1) {
            const double s = wrap ? double(c) * k / nx : double(c) * (k - 1) / (nx - 1);
            const int i = wrap ? std::min(int(s), k - 1) : std::min(int(s), k - 2);
            const double t = s - i;
            const float u = row[std::size_t(i)], w = row[std::size_t((i + 1) % k)];
            // A column on a point takes it; one between two points takes
            // neither when one of them is missing.
            if (t == 0.0)
                v = u;
            else if (t == 1.0)
                v = w;
            else if (u != FMISSING && w != FMISSING)
                v = float((1.0 - t) * u + t * w);
        }
        out[xrev ? nx - 1 - c : c] = v;
    }
}

bool rows_wrap(double span, int nx) {
    if (nx < 2) return false;
    const double dx = span / (nx - 1);
    return std::fabs(span + dx - 360.0) < 0.01 * dx;
}

void bits_start(std::size_t first, std::size_t end) {
    Decoder &d = decoder();
    d.src_pos = first;
    d.src_end = std::min(end, d.data.oct.size());
    d.temp_data = 0;
    d.data_bits = 0;
    d.data_bytes = 0;
}

} // namespace grib_int

long GRIB_bit_read(int) {
    Decoder &d = grib_int::decoder();
    if (d.bpval <= 0) {
        d.temp_data = 0;
        d.data_bits = 0;
        return 0;
    }
    if (d.bpval > 56) return -1;
    while (d.data_bits < d.bpval) {
        if (d.src_pos >= d.src_end) return -1;
        d.temp_data = (d.temp_data << 8) | d.data.oct[d.src_pos++];
        d.data_bits += 8;
        ++d.data_bytes;
    }
    const int rest = d.data_bits - d.bpval;
    const long value = long(d.temp_data >> rest);
    d.temp_data &= (std::uint64_t(1) << rest) - 1;
    d.data_bits = rest;
    if (d.bad_max > 0) {
        const std::size_t slot = std::size_t(d.bad_test % 20);
        d.valid_data[slot] = 0;
        if (d.bad_test > 0 && d.prev >= 0 && std::labs(d.prev - value) > d.bad_limit) {
            d.valid_data[slot] = 1;
            int sum = 0;
            for (int v : d.valid_data)
                sum += v;
            if (sum > d.bad_max) d.bad = 1;
            MESS_print(M_DEBUG_C, "BAD: %6d %6ld %6ld %2d %2d\n", d.bad_limit, d.prev, value, sum, d.bad);
        }
        ++d.bad_test;
    }
    d.prev = value;
    return value;
}

int GRIB_set_max_bad(int val) {
    grib_int::decoder().bad_max = val;
    return 0;
}

int GRIB_BDB(int grd_fd, GRD_report *grd) {
    Decoder &d = grib_int::decoder();
    d.bmoff = 0;
    auto done = [&](int r) {
        release_maps(d);
        return r;
    };
    if (grd == nullptr) return done(-1);
    int r = grib_int::read_block(grd_fd, 3, 11, "GRIB_BDB", "Data block", d.data);
    if (r != 1) return done(r);
    const unsigned flag = d.data.at(4);
    if ((flag & 0x80) != 0)
        return done(
            grib_int::refuse(grd_fd, "GRIB_BDB", "Spherical harmonic coefficients are not supported"));
    if ((flag & 0x40) != 0)
        return done(grib_int::refuse(grd_fd, "GRIB_BDB", "Second-order packing is not supported"));
    d.sfac = GRIB_scl_conv(&d.data.oct[5]);
    d.ref = GRIB_flt_conv(&d.data.oct[7]);
    d.bpval = int(d.data.at(11));
    if (d.bpval > 32) return done(grib_int::refuse(grd_fd, "GRIB_BDB", "%d bits per value", d.bpval));
    d.bit_mask = (std::uint64_t(1) << d.bpval) - 1;
    d.bad_limit = d.bpval >= 1 ? 1 << (d.bpval - 1) : 0;
    d.bad = 0;
    d.bad_test = 0;
    d.valid_data.fill(0);
    d.prev = -1;
    grib_int::bits_start(12, d.data.oct.size());
    MESS_print(M_DEBUG_C, "Decimal Scale factor: %f\n", double(d.dscale));
    MESS_print(M_DEBUG_C, "Scale factor: %f\n", d.sfac);
    MESS_print(M_DEBUG_C, "Reference value: %f\n", d.ref);
    MESS_print(M_DEBUG_C, "Bits per value: %d\n", d.bpval);
    MESS_print(M_DEBUG_C, "Bad limit value: %d\n", d.bad_limit);

    const Domain &dom = grd->domain;
    const int nx = dom.nx, ny = dom.ny;
    if (nx < 1 || ny < 1 || nx > MAX_POINTS || ny > MAX_POINTS ||
        (d.thin == 1 && d.thin_ptr.size() != std::size_t(ny)))
        return done(grib_int::refuse(grd_fd, "GRIB_BDB", "Product without a grid"));
    const std::size_t count = std::size_t(nx) * std::size_t(ny);
    auto *values = static_cast<float *>(std::realloc(grd->grid, count * sizeof(float)));
    if (values == nullptr) {
        MESS_print(M_WARN, "GRIB_BDB: No memory for grid field\n");
        return done(0);
    }
    grd->grid = values;

    const double dscale = d.dscale;
    long missing = 0;
    auto next_value = [&]() -> float {
        if (GRIB_BMB_read() == 0) return FMISSING;
        const long x = GRIB_bit_read(grd_fd);
        if (x < 0) {
            ++missing;
            return FMISSING;
        }
        if (d.bad == 1) return FMISSING;
        return float(dscale * (double(x) * d.sfac + d.ref));
    };
    // Jumps are counted within a row.
    auto start_row = [&] {
        d.bad_test = 0;
        d.valid_data.fill(0);
    };
    auto row_of = [&](int r) { return std::size_t(d.ydir < 1 ? r : ny - 1 - r) * std::size_t(nx); };
    auto col_of = [&](int c) { return std::size_t(d.xrev ? nx - 1 - c : c); };

    if (d.grid_id == 50 && nx == 36 && ny == 33 && d.thin == 0) {
        // Rows shorten towards the north, centred in the 36 columns.
        for (int j = 32; j >= 0; --j) {
            start_row();
            const int fill = j > 0 ? (j - 1) / 4 : 0;
            float *row = values + std::size_t(j) * 36;
            for (int c = 0; c < 36; ++c)
                row[c] = c < fill || c >= 36 - fill ? FMISSING : next_value();
        }
    } else if (d.thin == 1) {
        std::vector<float> row;
        for (int r = 0; r < ny; ++r) {
            start_row();
            const int k = d.thin_ptr[std::size_t(r)];
            row.resize(std::size_t(k));
            for (float &v : row)
                v = next_value();
            grib_int::spread_row(row.data(), k, values + row_of(r), nx, d.xrev, d.thin_wrap);
        }
    } else if (d.colmajor) {
        for (int c = 0; c < nx; ++c) {
            start_row();
            for (int r = 0; r < ny; ++r)
                values[row_of(r) + col_of(c)] = next_value();
        }
    } else {
        // Hemispheric grids hold one value for a pole row; grids 25 and 26
        // repeat the first column in the last.
        const bool wrap = d.grid_id == 25 || d.grid_id == 26;
        double lat = d.lat;
        for (int r = 0; r < ny; ++r) {
            start_row();
            float *out = values + row_of(r);
            if (d.pole != 0 && std::fabs(std::fabs(lat) - 90.0) < 1e-3) {
                std::fill(out, out + nx, next_value());
            } else {
                float first = FMISSING;
                for (int c = 0; c < nx; ++c) {
                    const float v = wrap && c == nx - 1 && c > 0 ? first : next_value();
                    if (c == 0) first = v;
                    out[col_of(c)] = v;
                }
            }
            lat += double(d.ydir) * dom.dy;
        }
    }
    if (missing > 0)
        MESS_print(M_WARN, "GRIB_BDB: Data end before %ld points, set to -9999: %s\n", missing,
                   grd_file::name(grd_fd));
    return done(1);
}
