// GRIB edition 2: the section reader, the identification section (centre and
// reference time), the grid definition section (Domain, scanning order,
// thinned rows, grid number) and the product definition section (parameter
// from grib2_var.lup, level, time code, ensemble and probability state).
// File-static state: none of its own; the section and decoding state lives in
// the GRIB module's shared record (grib_int::decoder()).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read_int.h"
#include "gridfile/grib.h"
#include "gridfile/grib_int.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/tools.h"

namespace {

using grib_int::Block;
using grib_int::Decoder;

constexpr std::size_t TABLE_LINE = 200; // characters of a table line that are read

float micro_degrees(const Block &b, std::size_t n) {
    return float(double(b.s32(n)) * 1e-6);
}

// ---- Grid definition ------------------------------------------------------------

// Octets of each supported grid template (the fixed part of the section).
std::size_t grid_template_length(unsigned t) {
    switch (t) {
    case 0:
    case 10:
        return 72;
    case 20:
        return 65;
    case 30:
        return 81;
    default:
        return 0;
    }
}

std::size_t scan_octet(unsigned t) {
    return t == 0 ? 72 : t == 10 ? 60 : 65;
}

void trace_size(const Domain &d) {
    MESS_print(M_DEBUG_C, "Grid size: %3.2fx%3.2f\n", double(d.dx), double(d.dy));
}

// A longitude above 180 loses 360.
float west_of_180(float lon) {
    return lon > 180.0f ? lon - 360.0f : lon;
}

int latlon_grid(int grd_fd, const Block &g, Decoder &dec, Domain &d) {
    const float la1 = micro_degrees(g, 47), lo1 = micro_degrees(g, 51);
    const float la2 = micro_degrees(g, 56), lo2 = micro_degrees(g, 60);
    MESS_print(M_DEBUG_C, "Grid locate: %3.2f N, %3.2f E - %3.2f N %3.2f E %3.2f - %d %d\n", double(la1),
               double(lo1), double(la2), double(lo2), double(g.u32(39)) * 1e-6, d.nx, d.ny);
    // With points running east to west the first point is the eastern one.
    const float west = west_of_180(dec.xrev ? lo2 : lo1);
    float east = west_of_180(dec.xrev ? lo1 : lo2);
    if (east < west || (east == west && d.nx > 1)) east += 360.0f;
    d.proj = 2;
    d.plat = 0.0f;
    d.clon = d.plon = grib_int::east_of_minus180((double(west) + double(east)) / 2.0);
    d.clat = float((double(la1) + double(la2)) / 2.0);
    MESS_print(M_DEBUG_C, "Grid locate: %3.2f N, %3.2f E\n", double(d.clat), double(d.clon));
    // A single column or row takes its spacing from the section's increments.
    const std::uint32_t di = g.u32(64), dj = g.u32(68);
    d.dx = d.nx > 1 ? float((double(east) - double(west)) / (d.nx - 1)) : float(double(di) * 1e-6);
    d.dy = d.ny > 1 ? float(std::fabs(double(la2) - double(la1)) / (d.ny - 1)) : float(double(dj) * 1e-6);
    if (d.nx < 2 && (di == 0xFFFFFFFFu || di == 0)) d.dx = d.ny > 1 ? d.dy : 1.0f;
    if (d.ny < 2 && (dj == 0xFFFFFFFFu || dj == 0)) d.dy = d.dx;
    trace_size(d);
    dec.thin_wrap = dec.thin == 1 && grib_int::rows_wrap(double(east) - double(west), d.nx);
    if (!std::isfinite(d.dx) || !std::isfinite(d.dy) || !std::isfinite(d.clat))
        return grib_int::refuse(grd_fd, "GRIB_GDS", "Grid corners cannot be placed");
    return 1;
}

int mercator_grid(int grd_fd, const Block &g, const Decoder &dec, Domain &d) {
    const float la1 = micro_degrees(g, 39), lo1 = west_of_180(micro_degrees(g, 43));
    const float la2 = micro_degrees(g, 52), lo2 = west_of_180(micro_degrees(g, 56));
    if (d.nx < 2 || d.ny < 2)
        return grib_int::refuse(grd_fd, "GRIB_GDS", "Mercator grid of %dx%d points", d.nx, d.ny);
    if (!grib_int::place_mercator(d, la1, lo1, la2, lo2, dec.xrev))
        return grib_int::refuse(grd_fd, "GRIB_GDS", "Mercator grid corners cannot be placed");
    // The increments, true at latitude LaD, place the points when the section
    // gives them (the last point may be rounded differently).
    const std::uint32_t di = g.u32(65), dj = g.u32(69);
    const double lad = double(micro_degrees(g, 48));
    if (di != 0 && dj != 0 && di != 0xFFFFFFFFu && dj != 0xFFFFFFFFu && std::fabs(lad) < 89.0) {
        const double stretch = 1.0 / std::cos(lad * M_PI / 180.0);
        d.dx = float(double(di) * 1e-8 * stretch);
        d.dy = float(double(dj) * 1e-8 * stretch);
        if (!grib_int::place_from_first_point(d, la1, lo1, dec.xrev ? -1 : 1, dec.ydir))
            return grib_int::refuse(grd_fd, "GRIB_GDS", "First grid point cannot be placed");
    }
    MESS_print(M_DEBUG_C, "Grid locate: %3.2f N, %3.2f E - %3.2f N %3.2f E - %f %f\n", double(la1),
               double(lo1), double(la2), double(lo2), double(d.clat), double(d.clon));
    trace_size(d);
    return 1;
}

// Polar stereographic (20) and Lambert conformal (30) grids.
int cone_grid(int grd_fd, unsigned t, const Block &g, const Decoder &dec, Domain &d) {
    const float la1 = micro_degrees(g, 39), lo1 = west_of_180(micro_degrees(g, 43));
    d.plon = west_of_180(micro_degrees(g, 52));
    d.plat = (g.at(64) & 0x80) != 0 ? -90.0f : 90.0f;
    if (t == 20) {
        MESS_print(M_DEBUG_C, "Polar Stereographic Grid\n");
        d.proj = 1;
        d.param[0] = micro_degrees(g, 48);
    } else {
        MESS_print(M_DEBUG_C, "Lambert Conformal Grid\n");
        d.proj = 4;
        d.param[0] = micro_degrees(g, 66);
        d.param[1] = micro_degrees(g, 70);
        d.param[2] = 1.0f;
        MESS_print(M_DEBUG_C, "Grid parallels: %3.2f N, %3.2f N\n", double(d.param[0]), double(d.param[1]));
        MESS_print(M_DEBUG_C, "Grid start: %3.2f N, %3.2f E\n", double(la1), double(lo1));
    }
    // Millimetres to units of 100 km.
    d.dx = float(double(g.u32(56)) * 1e-8);
    d.dy = float(double(g.u32(60)) * 1e-8);
    trace_size(d);
    if (!grib_int::place_from_first_point(d, la1, lo1, dec.xrev ? -1 : 1, dec.ydir))
        return grib_int::refuse(grd_fd, "GRIB_GDS", "First grid point cannot be placed");
    MESS_print(M_DEBUG_C, "Grid locate: %3.2f N, %3.2f E\n", double(d.clat), double(d.clon));
    return 1;
}

// A number made from the grid's geometry, equal for grids of equal geometry:
// template, tens of degrees of the first point, columns and spacing.
int grid_number(unsigned t, const Block &g, int nx) {
    const bool latlon = t == 0;
    const long lat = g.s32(latlon ? 47 : 39), lon = g.s32(latlon ? 51 : 43);
    const long long a = std::labs(lat) / 10000000;
    long long b = std::labs(lon) / 10000000;
    if (lon < 0) b = 36 - b;
    if (lat < 0) b += 36;
    long long spacing;
    if (latlon) {
        const double lo1 = west_of_180(micro_degrees(g, 51));
        double lo2 = west_of_180(micro_degrees(g, 60));
        if (lo2 <= lo1) lo2 += 360.0;
        spacing = nx > 1 ? (long long)(10.0 * (lo2 - lo1) / (nx - 1)) : 0;
    } else {
        spacing = g.u32(56) / 1000000;
    }
    return int(t * 10000000LL + a * 1000000 + b * 10000 + (nx / 10) * 100LL + spacing);
}

// ---- Product definition ------------------------------------------------------------

// Octets of each supported product template.
std::size_t product_template_length(unsigned t) {
    switch (t) {
    case 0:
        return 34;
    case 1:
        return 37;
    case 2:
        return 36;
    case 5:
        return 47;
    case 8:
        return 58;
    case 9:
        return 71;
    case 11:
        return 61;
    case 12:
        return 60;
    case 50008:
        return 11;
    default:
        return 0;
    }
}

const char *product_template_text(unsigned t) {
    switch (t) {
    case 0:
        return "4.0: Analysis or forecast on horizontal level at a fixed time\n";
    case 1:
        return "4.1: Individual ensemble member, horizontal level, fixed time\n";
    case 2:
        return "4.2: Derived forecast based on all ensemble members, horizontal level, fixed time\n";
    case 5:
        return "4.5: Probability forecast, horizontal level, fixed time\n";
    case 8:
        return "4.8: Average, accumulation or extreme value on horizontal level at a fixed time\n";
    case 9:
        return "4.9: Probability forecast, horizontal level/layer, time range\n";
    case 11:
        return "4.11: Individual ensemble member, horizontal level, time range\n";
    case 12:
        return "4.12: Derived forecast based on all ensemble members, horizontal level, time range\n";
    default:
        return "JMA local sect 50008\n";
    }
}

// A whole number of a value, -9999 when it has none.
int whole(double x) {
    if (!std::isfinite(x) || std::fabs(x) > 2.0e9) return MISSING;
    return int(std::trunc(x));
}

// A scaled value: its scale factor octet (sign and magnitude) and the 32-bit
// sign-and-magnitude value after it; nullopt-like -9999 for a missing one.
struct Scaled {
    bool missing;
    double value;
};
Scaled scaled(const Block &b, std::size_t scale_octet) {
    const unsigned s = b.at(scale_octet);
    const int scale = (s & 0x80) != 0 ? -int(s & 0x7F) : int(s);
    if (scale == -127 || b.u16(scale_octet + 1) == 0xFFFF) return {true, FMISSING};
    return {false, double(b.s32(scale_octet + 1)) * std::pow(10.0, -scale)};
}

// Level type and level from the fixed surfaces (octets 23-34).
void fixed_surfaces(const Block &b, unsigned t, GRD_report *grd) {
    const int t1 = int(b.at(23)), t2 = int(b.at(29));
    const Scaled s1 = scaled(b, 24), s2 = scaled(b, 30);
    const double p = s1.value, q = s2.value;
    MESS_print(M_DEBUG_C, "LEV %d %d %f %f\n", t1, t2, p, q);
    const bool layer = t2 != 255;
    const bool hour_level = t == 8 || t == 11 || t == 12;
    // Each term is taken to a whole number before the terms are combined; a
    // term whose value is missing makes the level missing.
    auto w = [](const Scaled &s, double x) { return s.missing ? MISSING : whole(x); };
    auto pair = [](int a, int b) { return a == MISSING || b == MISSING ? MISSING : whole(a * 1000.0 + b); };
    int ltype = t1, level;
    switch (t1) {
    case 100:
        ltype = layer ? 101 : 100;
        level = layer ? pair(w(s1, p / 1000.0), w(s2, q / 1000.0)) : w(s1, p / 100.0);
        break;
    case 101:
        ltype = 102;
        level = 0;
        break;
    case 102:
        ltype = layer ? 104 : 103;
        level = layer ? pair(w(s1, p / 100.0), w(s2, q / 100.0)) : w(s1, p);
        break;
    case 103:
        ltype = layer ? 106 : 105;
        level = layer ? pair(w(s1, p / 100.0), w(s2, q / 100.0)) : w(s1, hour_level ? p : p + 0.5);
        break;
    case 104:
        ltype = layer ? 108 : 107;
        level = layer ? pair(w(s1, p * 100.0 + 0.01), w(s2, q * 100.0 + 0.01)) : w(s1, p * 10000.0 + 0.01);
        break;
    case 105:
        ltype = 109;
        level = w(s1, p);
        break;
    case 106:
        ltype = layer ? 112 : 111;
        level = layer ? pair(w(s1, p * 100.0 + 0.01), w(s2, q * 100.0 + 0.01)) : w(s1, p * 100.0 + 0.01);
        break;
    case 107:
        ltype = layer ? 114 : 113;
        level = w(s1, p);
        break;
    case 108:
        ltype = layer ? 116 : 115;
        level = layer ? pair(w(s1, p / 100.0), w(s2, q / 100.0)) : w(s1, p / 100.0);
        break;
    case 109:
        ltype = 117;
        level = w(s1, p * 1000000.0 + (p <= 0.0 ? -0.01 : 0.01));
        break;
    case 111:
        ltype = layer ? 120 : 119;
        level = w(s1, p);
        break;
    default:
        // Surfaces without a value (ground, cloud base, tropopause ...) are
        // at level 0.
        level = s1.missing ? 0 : whole(p);
        break;
    }
    grd->ltype = ltype;
    grd->level = level;
}

// Hours of a time in units u (3, 6 and 12-hour units multiplied out); days
// and months of the forecast time keep the 800 and 900 offsets of the time
// code.
long long hours(unsigned u, long long v, bool offsets) {
    switch (u) {
    case 10:
        return 3 * v;
    case 11:
        return 6 * v;
    case 12:
        return 12 * v;
    case 2:
        return offsets ? v + 800 : v;
    case 3:
        return offsets ? v + 900 : v;
    default:
        return v;
    }
}

int statistic_code(unsigned p) {
    switch (p) {
    case 0:
        return 3000000; // average
    case 1:
        return 4000000; // accumulation
    case 2:
        return 6000000; // maximum
    case 3:
        return 7000000; // minimum
    case 4:
        return 5000000; // difference
    default:
        return 2000000;
    }
}

// Time code of a product: the forecast time, or for a statistically
// processed one statistic x 1000000 + start x 1000 + end.
int time_code(const Block &b, unsigned t, const Date &ref) {
    const unsigned u = b.at(18);
    const long long f = b.u32(19);
    std::size_t end_at, p_at;
    switch (t) {
    case 8:
        end_at = 35;
        p_at = 47;
        break;
    case 9:
        end_at = 48;
        p_at = 60;
        break;
    case 11:
        end_at = 38;
        p_at = 50;
        break;
    case 12:
        end_at = 37;
        p_at = 49;
        break;
    default:
        return whole(double(hours(u, f, true)));
    }
    const unsigned p = b.at(p_at), lu = b.at(p_at + 2);
    long long len = b.u32(p_at + 3);
    // A missing process with a long range: the range runs from the forecast
    // time to the end of the overall time interval.
    if (t == 8 && p == 255 && u == 1 && len > 250) {
        Date end{int(b.u16(end_at)),    int(b.at(end_at + 2)), int(b.at(end_at + 3)), 0, 0,
                 int(b.at(end_at + 4)), int(b.at(end_at + 5)), int(b.at(end_at + 6))};
        Date start = ref;
        len = (static_cast<long long>(DATE_num_sec(&end)) - static_cast<long long>(DATE_num_sec(&start))) /
                  3600 -
              f;
    }
    const long long fh = hours(u, f, true), lh = hours(lu, len, false);
    MESS_print(M_DEBUG_C, "TIM %u %lld %lld\n", p, fh, lh);
    return whole(double(statistic_code(p)) + double(fh) * 1000.0 + double(fh + lh));
}

// Probability limit: -9999 when missing.
float limit(const Block &b, std::size_t scale_octet) {
    const Scaled s = scaled(b, scale_octet);
    return s.missing ? FMISSING : float(s.value);
}

// Probability type from the type of generating process g and the
// probability type q; 0 for pairs outside the table.
int probability_type(unsigned t, unsigned g, unsigned q) {
    if (t == 5 && (g == 2 || g == 4 || g == 5) && q <= 2) return int(q) + 1;
    if (t == 9 && g == 4 && q <= 2) return int(q) + 1;
    if (t == 9 && g == 5 && q <= 2) return int(q) + 4;
    if (t == 9 && g == 2 && q <= 4) return int(q) + 4;
    return 0;
}

// Ensemble and probability state of the product; codes outside the tables
// give no member, product or limit words.
void ensemble_state(const Block &b, unsigned t, Decoder &d) {
    switch (t) {
    case 1:
    case 11: {
        const unsigned type = b.at(35);
        d.ens = 1;
        d.ens_type = type <= 1 ? 1 : type <= 3 ? int(type) : 0;
        d.ens_id = int(b.at(36));
        d.ens_prod = 1;
        break;
    }
    case 2:
    case 12: {
        const unsigned code = b.at(35);
        d.ens = 1;
        d.ens_type = 5;
        // 0 is the unweighted mean, 1 the weighted one.
        d.ens_prod = code <= 1 ? 2 : code == 2 ? 11 : 0;
        break;
    }
    case 5:
    case 9:
        d.ens = 1;
        d.ens_type = 5;
        d.prob = true;
        d.ens_prob_type = probability_type(t, b.at(12), b.at(37));
        d.ens_prob_low = limit(b, 38);
        d.ens_prob_up = limit(b, 43);
        MESS_print(M_DEBUG_C, "%d %d %f %f\n", d.ens_prob_var, d.ens_prob_type, double(d.ens_prob_low),
                   double(d.ens_prob_up));
        break;
    default:
        break;
    }
}

// The rows of the parameter table, read once for each path, size and
// modification time (the table is looked up for every field). Null when the
// table cannot be opened.
const std::vector<GribParam> *param_table(const std::string &path) {
    static std::string cached_path;
    static long long cached_size = -1, cached_time = -1;
    static std::vector<GribParam> rows;
    static bool ok = false;
    struct stat st {};
    const bool exists = stat(path.c_str(), &st) == 0;
    const long long size = exists ? (long long)st.st_size : -1, mtime = exists ? (long long)st.st_mtime : -1;
    if (ok && path == cached_path && size == cached_size && mtime == cached_time) return &rows;
    ok = false;
    rows.clear();
    FILE *f = FILE_open(path.c_str(), "r");
    if (f == nullptr) return nullptr;
    std::string line;
    // The table ends at its first empty line.
    while (fget_anyline(f, line) && !line.empty()) {
        if (line.size() > TABLE_LINE) line.resize(TABLE_LINE);
        if (line[0] == '#') continue;
        GribParam r{};
        GribParam_init(&r);
        if (std::sscanf(line.c_str(), "%d %d %d %d %19s %29s %79[^\n]", &r.src, &r.disc, &r.cat, &r.param,
                        r.name, r.units, r.lname) < 6)
            continue;
        rows.push_back(r);
    }
    FILE_close(f);
    cached_path = path;
    cached_size = size;
    cached_time = mtime;
    ok = true;
    return &rows;
}

// The variable code of a table row's name (0 when it names no known variable).
int r_ind(const GribParam &r) {
    return VAR_search_var_num(r.name);
}

void clear_ensemble(Decoder &d) {
    d.ens = d.ens_type = d.ens_id = d.ens_prod = d.ens_smooth = 0;
    d.prob = false;
    d.ens_prob_var = d.ens_prob_type = 0;
    d.ens_prob_low = d.ens_prob_up = 0.0f;
}

} // namespace

namespace grib_int {

int read_section(int grd_fd, int number, std::size_t min_len, const char *func, const char *what, Block &b) {
    Decoder &d = decoder();
    b.oct.clear();
    FILE *f = slot_stream(grd_fd);
    if (f == nullptr) return -1;
    if (d.sect != number || d.sect_start < 0)
        return refuse(grd_fd, func, "No %s at the current position", what);
    int r = -1;
    if (std::fseek(f, d.sect_start, SEEK_SET) == 0) r = read_block(grd_fd, 4, min_len, func, what, b);
    if (r != 1) std::fseek(f, d.sect_start + long(d.slen), SEEK_SET);
    return r;
}

} // namespace grib_int

// ---- Section reader -------------------------------------------------------------------

int GRIB_read_section(int grd_fd) {
    Decoder &d = grib_int::decoder();
    const grib_int::Product &p = grib_int::product();
    FILE *f = grib_int::slot_stream(grd_fd);
    if (f == nullptr || p.edition != 2 || p.ind_len != 16) return 0;
    const long start = std::ftell(f);
    unsigned char h[5];
    if (start < 0 || std::fread(h, 1, 4, f) != 4) return 0;
    if (std::memcmp(h, "7777", 4) == 0) {
        d.sect = -1;
        d.slen = 4;
        d.sect_start = start;
        MESS_print(M_DEBUG_D, "section: %d %d - %ld\n", -1, 4, start);
        return 0;
    }
    if (std::fread(&h[4], 1, 1, f) != 1) return 0;
    const std::uint64_t len =
        (std::uint64_t(h[0]) << 24) | (std::uint64_t(h[1]) << 16) | (std::uint64_t(h[2]) << 8) | h[3];
    d.sect = h[4];
    d.slen = len;
    d.sect_start = start;
    MESS_print(M_DEBUG_D, "section: %d %llu - %ld\n", d.sect, (unsigned long long)len, start);
    if (d.sect > 8) return 0;
    const long size = grib_int::file_size(f);
    const long left = grib_int::room(f, start);
    if (len < 5 || (left >= 0 && len > std::uint64_t(left))) {
        MESS_print(M_WARN, "GRIB_read_section: Section %d of %llu octets does not fit the product: %s\n",
                   d.sect, (unsigned long long)len, grd_file::name(grd_fd));
        d.sect = -1;
        if (p.end >= 0 && (size < 0 || p.end <= size)) std::fseek(f, p.end, SEEK_SET);
        return 0;
    }
    return 1;
}

int GRIB_skip_section(int grd_fd) {
    Decoder &d = grib_int::decoder();
    FILE *f = grib_int::slot_stream(grd_fd);
    if (f == nullptr || d.sect_start < 0) return 1;
    const long to = d.sect_start + long(d.slen);
    MESS_print(M_DEBUG_D, "skip section: %llu - %ld\n", (unsigned long long)d.slen, to);
    std::fseek(f, to, SEEK_SET);
    return 1;
}

int GRIB_get_sect() {
    return grib_int::decoder().sect;
}

long GRIB_get_slen() {
    return long(grib_int::decoder().slen);
}

// ---- Section 1 ----------------------------------------------------------------------------

int GRIB_IDS(int grd_fd, GRD_report *grd) {
    Decoder &d = grib_int::decoder();
    Block b;
    if (grib_int::read_section(grd_fd, 1, 21, "GRIB_IDS", "Identification section", b) != 1) return 0;
    d.source = int(b.u16(6));
    d.date = Date{int(b.u16(13)), int(b.at(15)), int(b.at(16)), 0, 0, int(b.at(17)), int(b.at(18)), 0};
    if (grd != nullptr) {
        grd->version = GRIB_get_version();
        grd->source = d.source;
        grd->date = d.date;
        grd->type = 0;
    }
    return 1;
}

// ---- Section 3 ----------------------------------------------------------------------------

int GRIB_GDS(int grd_fd, GRD_report *grd) {
    Decoder &d = grib_int::decoder();
    d.thin = 0;
    d.thin_ptr.clear();
    d.thin_wrap = false;
    d.dv_ok = false;
    DOM_init(&d.dv);
    d.ydir = 1;
    d.xalt = 0;
    d.xrev = d.colmajor = false;
    Block g;
    if (grib_int::read_section(grd_fd, 3, 14, "GRIB_GDS", "Grid definition section", g) != 1) return 0;
    const unsigned t = g.u16(13);
    MESS_print(M_DEBUG_D, "GDS: %u\n", t);
    const std::size_t fixed = grid_template_length(t);
    if (fixed == 0) return grib_int::refuse(grd_fd, "GRIB_GDS", "Grid template 3.%u is not supported", t);
    if (g.length() < fixed)
        return grib_int::refuse(grd_fd, "GRIB_GDS",
                                "Grid definition section of %zu octets is too short for template 3.%u",
                                g.length(), t);

    const unsigned scan = g.at(scan_octet(t));
    d.ydir = (scan & 0x40) != 0 || (scan & 0x02) != 0 ? 1 : -1;
    d.xalt = (scan & 0x10) != 0 ? 1 : 0;
    d.xrev = (scan & 0x80) != 0;
    d.colmajor = (scan & 0x20) != 0;
    MESS_print(M_DEBUG_C, "Gridpoint direction: %x : %s\n", scan,
               d.ydir == 1 ? "south to north" : "north to south");

    const std::uint32_t max = t == 0 ? 10000 : 2000;
    const std::uint32_t nx32 = g.u32(31), ny = g.u32(35);
    if (ny < 1) return grib_int::refuse(grd_fd, "GRIB_GDS", "Grid without rows");
    if (ny > max) return grib_int::refuse(grd_fd, "GRIB_GDS", "Grid of %u rows is larger than supported", ny);
    std::uint32_t nx = nx32;
    if (t == 0 && nx32 == 0xFFFFFFFFu) {
        // Thinned rows: the points of each row follow the template, in entries
        // as wide as octet 11 says.
        const unsigned width = g.at(11);
        if (width < 1 || width > 4 || g.at(12) != 1 || fixed + std::size_t(ny) * width > g.length())
            return grib_int::refuse(grd_fd, "GRIB_GDS", "Rows of varying length without their point counts");
        d.thin = 1;
        d.thin_ptr.resize(ny);
        nx = 0;
        for (std::uint32_t j = 0; j < ny; ++j) {
            std::uint32_t k = 0;
            for (unsigned i = 0; i < width; ++i)
                k = (k << 8) | g.at(fixed + 1 + std::size_t(j) * width + i);
            if (k > max)
                return grib_int::refuse(grd_fd, "GRIB_GDS", "Row of %u points is longer than supported", k);
            d.thin_ptr[j] = int(k);
            nx = std::max(nx, k);
        }
        if (d.colmajor) return grib_int::refuse(grd_fd, "GRIB_GDS", "Thinned rows stored by columns");
    }
    if (nx < 1) return grib_int::refuse(grd_fd, "GRIB_GDS", "Grid without columns");
    if (nx > max)
        return grib_int::refuse(grd_fd, "GRIB_GDS", "Grid of %u columns is larger than supported", nx);

    Domain &v = d.dv;
    v.nx = int(nx);
    v.ny = int(ny);
    int r;
    switch (t) {
    case 0:
        r = latlon_grid(grd_fd, g, d, v);
        break;
    case 10:
        r = mercator_grid(grd_fd, g, d, v);
        break;
    default:
        r = cone_grid(grd_fd, t, g, d, v);
        break;
    }
    if (r != 1) {
        DOM_init(&v);
        d.thin = 0;
        d.thin_ptr.clear();
        return r;
    }
    DOM_print(M_DEBUG, &v);
    d.dv_ok = true;
    d.dv_product = grib_int::product().start;
    d.dv_type = grid_number(t, g, v.nx);
    if (grd != nullptr) {
        grd->domain = v;
        grd->type = d.dv_type;
    }
    return 1;
}

// ---- Section 4 ----------------------------------------------------------------------------

int GribParam_init(GribParam *param) {
    if (param == nullptr) return 1;
    param->ind = param->src = param->disc = param->cat = param->param = MISSING;
    param->name[0] = param->units[0] = param->lname[0] = '\0';
    return 1;
}

GribParam GRIB_get_ver2_param(int src, int disc, int cat, int param) {
    GribParam row{};
    GribParam_init(&row);
    const std::string table = FILE_table_path("grib2_var.lup");
    const std::vector<GribParam> *rows = param_table(table);
    if (rows == nullptr) {
        MESS_print(M_WARN_C, "GRIB_get_ver2_param: Unable to open the parameter table: %s\n", table.c_str());
        return row;
    }
    MESS_print(M_DEBUG_C, "get_ver2_param %d %d %d %d\n", src, disc, cat, param);
    bool found = false;
    for (const GribParam &r : *rows) {
        if ((r.src == 0 || r.src == src) && r.disc == disc && r.cat == cat && r.param == param) {
            row = r;
            found = true;
            break;
        }
    }
    row.ind = found ? r_ind(row) : 0;
    if (row.ind == 0) {
        MESS_print(M_DEBUG_C, "VER2: %d %d %d %d\n", src, disc, cat, param);
        row.ind = disc * 1000000 + cat * 1000 + param;
    }
    MESS_print(M_DEBUG_C, "GPARAM: %s %s %d\n", row.name, row.units, row.ind);
    return row;
}

int GRIB_PDS(int grd_fd, GRD_report *grd) {
    Decoder &d = grib_int::decoder();
    Block b;
    const int r = grib_int::read_section(grd_fd, 4, 9, "GRIB_PDS", "Product definition section", b);
    if (grd == nullptr) return 0;
    clear_ensemble(d);
    grd->version = GRIB_get_version();
    grd->source = d.source;
    grd->date = d.date;
    const unsigned t = b.u16(8);
    const std::size_t fixed = product_template_length(t);
    if (r != 1 || fixed == 0 || b.length() < fixed) {
        // What the product is cannot be told.
        grd->var = grd->ltype = grd->level = grd->time = grd->model = MISSING;
        grd->units[0] = '\0';
        if (r == 1 && fixed == 0)
            grib_int::refuse(grd_fd, "GRIB_PDS", "Product template 4.%u is not supported", t);
        else if (r == 1)
            grib_int::refuse(grd_fd, "GRIB_PDS",
                             "Product definition section of %zu octets is too short for template 4.%u",
                             b.length(), t);
        if (r != 1 || fixed != 0) return 0;
    } else {
        MESS_print(M_DEBUG_C, "%s", product_template_text(t));
        const GribParam p =
            GRIB_get_ver2_param(d.source, GRIB_get_discipline(), int(b.at(10)), int(b.at(11)));
        // Units longer than the record holds are cut.
        const std::size_t n = std::min(std::strlen(p.units), sizeof grd->units - 1);
        std::memcpy(grd->units, p.units, n);
        grd->units[n] = '\0';
        grd->var = p.ind;
        if (t == 50008) {
            grd->ltype = 1;
            grd->level = 0;
            grd->time = 0;
        } else {
            if (t == 5 || t == 9) {
                grd->var = 191;
                d.ens_prob_var = p.ind;
            }
            grd->model = int(b.at(14));
            fixed_surfaces(b, t, grd);
            grd->time = time_code(b, t, d.date);
            ensemble_state(b, t, d);
        }
    }
    MESS_print(M_DEBUG_C, "Source: %d\n", grd->source);
    MESS_print(M_DEBUG_C, "Model: %d\n", grd->model);
    MESS_print(M_DEBUG_C, "Init time: %d/%d/%d %2.2d:%2.2d\n", grd->date.month, grd->date.day, grd->date.year,
               grd->date.hour, grd->date.min);
    MESS_print(M_DEBUG_C, "Grid type: %d\n", grd->type);
    MESS_print(M_DEBUG_C, "Grid time: %d\n", grd->time);
    MESS_print(M_DEBUG_C, "Level type: %d\n", grd->ltype);
    MESS_print(M_DEBUG_C, "Level: %d\n", grd->level);
    MESS_print(M_DEBUG_C, "Variable: %d %s\n", grd->var, grd->units);
    GRIB_set_var(grd);
    DATE_make_label_for_time(grd->time, d.source * 1000 + grd->model, &grd->date, grd->datim,
                             sizeof grd->datim);
    return 1;
}
