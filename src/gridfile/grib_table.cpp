// GRIB tables and number conversions: parameter numbers and units of editions
// 0 and 1 (with the local parameters of centre 98), the long units of edition
// 0 parameters, the Domains of the predefined grid numbers, IBM floats and
// power-of-two scale factors. No state: the tables are constant.
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "gridfile/grib.h"
#include "gridfile/grib_int.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

// Local parameters of centre 98 above 128.
struct LocalParam {
    int local;
    int var;
    const char *units;
    int ltype; // -9999: level type and level unchanged
    int level; // -9999: level unchanged
};
constexpr LocalParam centre98[] = {
    {129, 6, "m^2/s^2", MISSING, MISSING},
    {130, 11, "K", MISSING, MISSING},
    {139, 11, "K", MISSING, MISSING},
    {131, 33, "m/s", MISSING, MISSING},
    {132, 34, "m/s", MISSING, MISSING},
    {134, 1, "Pa", MISSING, MISSING},
    {135, 39, "Pa/s", MISSING, MISSING},
    {146, 122, "W/m^2", MISSING, MISSING},
    {147, 121, "W/m^2", MISSING, MISSING},
    {151, 1, "Pa", 102, MISSING},
    {157, 52, "%", MISSING, MISSING},
    {164, 71, "%", 200, 0},
    {165, 33, "m/s", 105, 10},
    {166, 34, "m/s", 105, 10},
    {167, 11, "K", 105, 2},
    {168, 17, "K", 105, 2},
    {172, 81, "", MISSING, MISSING},
    {176, 111, "W/m^2", MISSING, MISSING},
    {177, 112, "W/m^2", MISSING, MISSING},
    {180, 326, "N/m^2", MISSING, MISSING},
    {181, 327, "N/m^2", MISSING, MISSING},
    {228, 61, "m", MISSING, MISSING},
};

// Edition 0 parameters and the edition 1 numbers they become.
struct Ed0Param {
    int ed0;
    int var;
    const char *units;
};
constexpr Ed0Param edition0[] = {
    {1, 1, "hPa"},    {2, 7, "10 m"},      {3, 8, "10 m"},         {4, 11, "C"},         {5, 15, "C"},
    {6, 16, "C"},     {8, 13, "C"},        {10, 17, "C"},          {11, 18, "dC"},       {12, 51, ".1 g/kg"},
    {13, 52, "%"},    {14, 53, ".1 g/kg"}, {15, 131, "dC"},        {17, 132, "dC"},      {21, 32, "m/s"},
    {23, 33, "m/s"},  {24, 34, "m/s"},     {29, 35, "10^5 m^2/s"}, {30, 43, "10^-5 /s"}, {31, 41, "10^-5 /s"},
    {40, 38, "mb/s"}, {44, 136, "m/s/km"}, {47, 54, "mm"},         {48, 63, "mm"},       {50, 61, "mm"},
    {51, 66, "cm"},   {55, 62, "mm"},      {61, 80, ".1 C"},       {64, 100, ".5 m"},    {75, 107, "10 deg"},
    {76, 108, "s"},
};

// Units of edition 1 parameters.
struct Ed1Units {
    const char *units;
    std::initializer_list<int> vars;
};
const Ed1Units edition1[] = {
    {"Pa", {1, 2, 26, 55, 56, 128, 129, 130}},
    {"Pa/s", {3, 39}},
    {"m^2/s^2", {6, 37, 190}},
    {"m", {7, 8, 9, 20, 66, 83, 100, 221}},
    {"Dobson", {10}},
    {"K", {11, 12, 13, 14, 15, 16, 17, 80, 85, 133}},
    {"dK", {18, 24, 25, 131, 132}},
    {"K/m", {19}},
    {"Dbz", {21}},
    {"", {22, 23, 28, 29, 30, 81, 91, 134, 140, 141, 142, 143, 144, 191, 192, 209}},
    {"gpm", {27, 222, 230}},
    {"deg", {31, 47, 107, 571}},
    {"m/s", {32, 33, 34, 40, 48, 49, 196, 197}},
    {"m^2/s", {35, 36}},
    {"/s", {38, 41, 42, 43, 44, 45, 46, 136}},
    {"kg/kg", {50, 51, 53, 76, 153, 154}},
    {"%", {52, 60, 71, 84, 193, 194, 195, 201, 207, 213}},
    {"kg/m^2", {54, 57, 58, 61, 62, 63, 65, 86, 90, 223}},
    {"kg/m^2/s", {59, 214}},
    {"kg/m^3", {77}},
    {"s", {108}},
    {"W/m^2", {111, 112, 113, 114, 121, 122, 145, 155, 160, 161, 162,
               163, 164, 165, 166, 167, 168, 204, 205, 211, 212}},
    {"N/m^2", {124, 125, 147, 148, 172, 226, 227}},
    {"kg/kg/s", {135}},
    {"/s^2", {138}},
    {"/s/m", {139}},
    {"J/kg", {146, 156, 157, 158}},
    {"m^2/s/kg", {149}},
    {"km/s", {151}},
    {"kg-m/m^2-s", {208}},
    {"K/s", {216}},
    {"dBZ", {491}},
};

const char *edition1_units(int var) {
    for (const Ed1Units &row : edition1)
        for (int v : row.vars)
            if (v == var) return row.units;
    return "-";
}

struct CdfUnits {
    int var;
    const char *text;
};
constexpr CdfUnits cdf_units[] = {
    {1, "hectopascals"},   {2, "geopotential dekameters"},
    {4, "celsius"},        {15, "celsius"},
    {13, "percent"},       {23, "meters/second"},
    {24, "meters/second"}, {40, "millibars/second"},
    {50, "kg/m2"},         {61, "0.5 degC"},
    {62, "degC"},          {64, "0.5 meters"},
    {75, "10 degrees"},    {76, "seconds"},
    {101, "pascals"},      {102, "geopotential meters"},
    {104, "kelvin"},       {140, "pascals/second"},
    {161, "degK"},         {164, "meters"},
    {175, "degrees"},
};

void invalid_variable(int var) {
    MESS_print(M_WARN_C, "Invalid GRIB variable: %d\n", var);
}

void grid(Domain *d, int proj, int nx, int ny, float dx, float dy, float clat, float clon) {
    d->proj = proj;
    d->nx = nx;
    d->ny = ny;
    d->dx = dx;
    d->dy = dy;
    d->clat = clat;
    d->clon = clon;
}

void latlon(Domain *d, int nx, int ny, float dx, float dy, float clat, float clon) {
    grid(d, 2, nx, ny, dx, dy, clat, clon);
}

// The Lambert conformal grids of the table share their cone.
void lambert(Domain *d, int nx, int ny, float dx, float clat, float clon) {
    grid(d, 4, nx, ny, dx, dx, clat, clon);
    d->plon = -95.0f;
    d->param[0] = 25.0f;
    d->param[1] = 25.0f;
    d->param[2] = 1.0f;
}

} // namespace

int GRIB_units(GRD_report *grd) {
    if (grd == nullptr) return 0;
    grd->units[0] = '\0';
    if (grd->source == 98 && grd->var > 128) {
        for (const LocalParam &p : centre98) {
            if (p.local != grd->var) continue;
            grd->var = p.var;
            copy_text(grd->units, p.units);
            if (p.ltype != MISSING) grd->ltype = p.ltype;
            if (p.level != MISSING) grd->level = p.level;
            return 0;
        }
        invalid_variable(grd->var);
        return 0;
    }
    if (grd->version == 0 && grd->source != 98) {
        for (const Ed0Param &p : edition0) {
            if (p.ed0 != grd->var) continue;
            grd->var = p.var;
            copy_text(grd->units, p.units);
            return 0;
        }
        invalid_variable(grd->var);
        return 0;
    }
    if (grd->version == 1) copy_text(grd->units, edition1_units(grd->var % 1000));
    return 0;
}

const char *GRIB_cdf_units(int var_id) {
    for (const CdfUnits &u : cdf_units)
        if (u.var == var_id) return u.text;
    return nullptr;
}

int GRIB_set_domain(int type, Domain *domain) {
    if (domain == nullptr) return 1;
    static constexpr float quarter_lat[] = {45.0f, 45.0f, -45.0f, -45.0f};
    static constexpr float quarter_lon[] = {90.0f, -90.0f, 90.0f, -90.0f};
    if (type >= 21 && type <= 24) {
        latlon(domain, 37, 37, 5.0f, 2.5f, quarter_lat[type - 21], quarter_lon[type - 21]);
    } else if (type == 25 || type == 26) {
        latlon(domain, 73, 19, 5.0f, 5.0f, type == 25 ? 45.0f : -45.0f, 180.0f);
    } else if (type >= 37 && type <= 44) {
        static constexpr float lons[] = {15.0f, 105.0f, -165.0f, -75.0f};
        latlon(domain, 73, 73, 1.25f, 1.25f, type <= 40 ? 45.0f : -45.0f, lons[(type - 37) % 4]);
    } else if (type == 50) {
        latlon(domain, 36, 33, 2.5f, 1.25f, 40.0f, -96.25f);
    } else if (type >= 61 && type <= 64) {
        latlon(domain, 91, 46, 2.0f, 2.0f, quarter_lat[type - 61], quarter_lon[type - 61]);
    } else if (type == 211) {
        lambert(domain, 93, 65, 0.8127f, 40.607f, -100.553f);
    } else if (type == 212) {
        lambert(domain, 185, 129, 0.4063f, 40.606f, -100.554f);
    } else if (type == 215) {
        lambert(domain, 369, 257, 0.2032f, 40.607f, -100.553f);
    }
    return 1;
}

float GRIB_flt_conv(const unsigned char *pc) {
    if (pc == nullptr || pc[0] == 0) return 0.0f;
    const int exponent = (pc[0] & 0x7F) - 64;
    const long fraction = (long(pc[1]) << 16) | (long(pc[2]) << 8) | long(pc[3]);
    const double v = std::ldexp(double(fraction), 4 * exponent - 24);
    return float((pc[0] & 0x80) != 0 ? -v : v);
}

float GRIB_scl_conv(const unsigned char *pc) {
    if (pc == nullptr) return 1.0f;
    const int e = ((pc[0] & 0x7F) << 8) | pc[1];
    return float(std::ldexp(1.0, (pc[0] & 0x80) != 0 ? -e : e));
}
