#include "gridfile/grib.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "fields/calc.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "gridfile/grd_read_int.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

using Bytes = std::vector<unsigned char>;

// ---- ecCodes references ------------------------------------------------------------

const char *const REF_PACKAGES =
    "python3-eccodes, libeccodes-tools, libeccodes-data, python-grib-doc and proj-bin";
const std::string EXAMPLES = "/usr/share/doc/python-grib-doc/examples/";

std::string run_ref(const std::string &args) {
    if (access("/usr/bin/python3", X_OK) != 0 || access("/usr/bin/grib_compare", X_OK) != 0) {
        ADD_FAILURE() << "the GRIB references need /usr/bin/python3 and the Debian packages " << REF_PACKAGES;
        return {};
    }
    const std::string cmd =
        std::string("/usr/bin/python3 ") + ZEQ_SOURCE_DIR + "/tests/gridfile/grib_ref.py " + args;
    const bool failed_before = ::testing::Test::HasFailure();
    const std::string out = zeqtest::run_command(cmd);
    if (!failed_before && ::testing::Test::HasFailure())
        ADD_FAILURE() << "the reference needs " << REF_PACKAGES;
    return out;
}

void make_fixtures(const TempDir &dir, const std::string &names) {
    run_ref("make " + dir.path() + " " + names);
}

struct Reference {
    int nx = 0, ny = 0;
    std::vector<double> v, la, lo;
};

std::vector<Reference> eccodes_reference(const std::string &path) {
    const auto m = zeqtest::named_numbers(run_ref("dump " + path));
    std::vector<Reference> refs;
    for (int k = 0;; ++k) {
        const std::string n = std::to_string(k);
        auto it = m.find("n" + n);
        if (it == m.end() || it->second.size() != 2) break;
        Reference r;
        r.nx = int(it->second[0]);
        r.ny = int(it->second[1]);
        r.v = m.at("v" + n);
        r.la = m.at("la" + n);
        r.lo = m.at("lo" + n);
        refs.push_back(r);
    }
    return refs;
}

// ---- The test driver: every product of a file through the decoder -----------------

struct Decoded {
    int pdb = 0, gdb = 0, bmb = 0, bdb = 0;
    long start = -1; // where the header search began
    long next = -1;
    int style = 0;
    int version = 0;
    char type = 0;
    std::string header;
    GRD_report rec{};
    std::vector<float> values;
};

std::vector<Decoded> decode_file(const std::string &path, bool decode = true) {
    std::vector<Decoded> out;
    int type = 0;
    const int fd = GRD_open(path.c_str(), 0, &type);
    EXPECT_GE(fd, 0) << path;
    EXPECT_EQ(type, 21) << path;
    if (fd < 0) return out;
    FILE *f = GRD_get_gfile(fd)->file;
    for (int guard = 0; guard < 200; ++guard) {
        Decoded p;
        p.start = std::ftell(f);
        if (GRIB_header(fd) != 1) break;
        p.style = GRD_get_gfile(fd)->itype;
        p.version = GRIB_get_version();
        p.type = char(GRIB_get_type(fd));
        char h[19] = {};
        GRIB_get_WMO_header(fd, h);
        p.header = h;
        if (decode && p.version != 2) {
            GRD_report r{};
            r.grid = nullptr;
            p.pdb = GRIB_PDB(fd, &r, 0);
            if (p.pdb == 1) p.gdb = GRIB_GDB(fd, &r);
            if (p.gdb == 1) p.bmb = GRIB_BMB(fd);
            if (p.bmb == 1) p.bdb = GRIB_BDB(fd, &r);
            if (p.bdb == 1 && r.grid != nullptr)
                p.values.assign(r.grid, r.grid + std::size_t(r.domain.nx) * std::size_t(r.domain.ny));
            std::free(r.grid);
            r.grid = nullptr;
            p.rec = r;
        }
        p.next = GRIB_next(fd, 1);
        out.push_back(p);
        if (p.next < 0) break;
    }
    GRD_close(fd);
    return out;
}

// Values equal ecCodes' to float rounding (relative to the value and to the
// field's range, since a packed value is reference + scaled integer).
void expect_values(const Reference &ref, const std::vector<float> &got, const std::string &what) {
    ASSERT_EQ(got.size(), ref.v.size()) << what;
    double scale = 0.0;
    for (double v : ref.v)
        if (v != -9999.0) scale = std::max(scale, std::fabs(v));
    int bad = 0;
    for (std::size_t k = 0; k < got.size(); ++k) {
        const double want = ref.v[k];
        const bool ok = want == -9999.0 ? got[k] == FMISSING
                                        : got[k] != FMISSING && std::fabs(got[k] - want) <=
                                                                    1e-6 * std::fabs(want) + 1e-7 * scale;
        if (!ok && bad++ < 5) ADD_FAILURE() << what << " point " << k << ": " << got[k] << " want " << want;
    }
}

double great_circle_deg(double la1, double lo1, double la2, double lo2) {
    const double r = M_PI / 180.0;
    const double c = std::sin(la1 * r) * std::sin(la2 * r) +
                     std::cos(la1 * r) * std::cos(la2 * r) * std::cos((lo2 - lo1) * r);
    return std::acos(std::clamp(c, -1.0, 1.0)) / r;
}

// Points placed by the Domain lie within 0.001 degrees of ecCodes', plus
// per_degree times their distance from the anchor point (the first point of
// the product, where a projected grid is placed from): ecCodes places
// edition 1 grids on an earth of 6367.47 km, the map projections on one of
// 6371.22 km.
void expect_places(const Reference &ref, const Domain &d, std::size_t anchor, double per_degree,
                   const std::string &what) {
    ASSERT_EQ(d.nx, ref.nx) << what;
    ASSERT_EQ(d.ny, ref.ny) << what;
    Domain saved;
    MAP_get_domain(&saved);
    MAP_domain(&d);
    double worst = 0.0;
    std::size_t worst_k = 0;
    for (int j = 0; j < d.ny; ++j) {
        for (int i = 0; i < d.nx; ++i) {
            const std::size_t k = std::size_t(j) * std::size_t(d.nx) + std::size_t(i);
            float x, y, lat, lon;
            MAP_grid_tran(float(i), float(j), &x, &y);
            ASSERT_EQ(MAP_untran(x, y, &lat, &lon), 1) << what << " point " << k;
            const double tol =
                0.001 + per_degree * great_circle_deg(ref.la[anchor], ref.lo[anchor], ref.la[k], ref.lo[k]);
            double err = std::fabs(lat - ref.la[k]);
            if (std::fabs(ref.la[k]) < 89.99)
                err = std::max(err, std::fabs(std::remainder(lon - ref.lo[k], 360.0)) *
                                        std::cos(ref.la[k] * M_PI / 180.0));
            if (err / tol > worst) {
                worst = err / tol;
                worst_k = k;
            }
        }
    }
    MAP_domain(&saved);
    EXPECT_LE(worst, 1.0) << what << ": point " << worst_k << " is " << worst << " tolerances off ("
                          << ref.la[worst_k] << ", " << ref.lo[worst_k] << ")";
}

// Decodes a file of ecCodes-written products and compares every product.
void expect_file_matches(const std::string &path, double per_degree, bool anchor_south_west) {
    const std::vector<Reference> refs = eccodes_reference(path);
    const std::vector<Decoded> got = decode_file(path);
    ASSERT_EQ(got.size(), refs.size()) << path;
    ASSERT_FALSE(refs.empty()) << path;
    for (std::size_t k = 0; k < got.size(); ++k) {
        const std::string what = path + " product " + std::to_string(k);
        ASSERT_EQ(got[k].bdb, 1) << what << " steps " << got[k].pdb << got[k].gdb << got[k].bmb;
        expect_values(refs[k], got[k].values, what);
        const std::size_t anchor =
            anchor_south_west ? std::size_t(refs[k].ny - 1) * std::size_t(refs[k].nx) : 0;
        expect_places(refs[k], got[k].rec.domain, anchor, per_degree, what);
    }
}

// Messages shown while a test runs, through the second message output.
struct Messages {
    TempDir dir;
    Messages() { MESS_file(dir.file("mess").c_str(), "w"); }
    std::string text() {
        std::fflush(nullptr);
        return read_file(dir.file("mess"));
    }
};

// ---- Hand-built products -------------------------------------------------------------

void put(Bytes &b, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void set_length(Bytes &b, int n = 3) {
    for (int i = 0; i < n; ++i)
        b[std::size_t(i)] = static_cast<unsigned char>(b.size() >> (8 * (n - 1 - i)));
}

// Octets of a product definition block; octet n is at index n - 1.
struct Pdb {
    int edition = 1;
    int table = 2, centre = 7, process = 80, grid = 255, flag = 0x80;
    int param = 11, ltype = 100, l1 = 1, l2 = 244;
    int year = 24, month = 1, day = 5, hour = 12, minute = 0;
    int unit = 1, p1 = 0, p2 = 0, tri = 0, n = 0;
    int sub = 0, dec = 0; // sub-centre and D as sign and magnitude
    Bytes ext;            // octets from 29 on
};

Bytes make_pdb(const Pdb &p) {
    Bytes b(p.edition == 1 ? 28 : 24, 0);
    auto o = [&](int n, int v) { b[std::size_t(n - 1)] = static_cast<unsigned char>(v); };
    o(4, p.table);
    o(5, p.centre);
    o(6, p.process);
    o(7, p.grid);
    o(8, p.flag);
    o(9, p.param);
    o(10, p.ltype);
    o(11, p.l1);
    o(12, p.l2);
    o(13, p.year);
    o(14, p.month);
    o(15, p.day);
    o(16, p.hour);
    o(17, p.minute);
    o(18, p.unit);
    o(19, p.p1);
    o(20, p.p2);
    o(21, p.tri);
    o(22, p.n >> 8);
    o(23, p.n & 0xFF);
    if (p.edition == 1) {
        o(26, p.sub);
        o(27, p.dec >> 8);
        o(28, p.dec & 0xFF);
        b.insert(b.end(), p.ext.begin(), p.ext.end());
    }
    set_length(b);
    return b;
}

// A latitude-longitude grid description; `pl` gives the points of thinned rows.
Bytes make_gdb(int nx, int ny, int la1, int lo1, int la2, int lo2, int di, int dj, int scan,
               const std::vector<int> &pl = {}) {
    Bytes b = {0, 0, 0, 0, static_cast<unsigned char>(pl.empty() ? 255 : 33), 0};
    put(b, pl.empty() ? unsigned(nx) : 0xFFFFu, 2);
    put(b, unsigned(ny), 2);
    auto angle = [&](int v) { put(b, v < 0 ? (0x800000u | unsigned(-v)) : unsigned(v), 3); };
    angle(la1);
    angle(lo1);
    b.push_back(0x80);
    angle(la2);
    angle(lo2);
    put(b, unsigned(di), 2);
    put(b, unsigned(dj), 2);
    b.push_back(static_cast<unsigned char>(scan));
    put(b, 0, 4);
    for (int k : pl)
        put(b, unsigned(k), 2);
    set_length(b);
    return b;
}

Bytes pack(const std::vector<unsigned> &vals, int bits) {
    Bytes b;
    std::uint64_t acc = 0;
    int n = 0;
    for (unsigned v : vals) {
        acc = (acc << bits) | v;
        n += bits;
        while (n >= 8) {
            b.push_back(static_cast<unsigned char>(acc >> (n - 8)));
            n -= 8;
        }
    }
    if (n > 0) b.push_back(static_cast<unsigned char>(acc << (8 - n)));
    return b;
}

// IBM floats of the reference values the hand-built products use.
const unsigned char IBM_ZERO[4] = {0x00, 0x00, 0x00, 0x00};
const unsigned char IBM_100[4] = {0x42, 0x64, 0x00, 0x00};

Bytes make_bdb(const Bytes &packed, int bits, int e = 0, const unsigned char *ref = IBM_ZERO, int flag = 0) {
    Bytes b = {0, 0, 0, static_cast<unsigned char>(flag)};
    put(b, e < 0 ? (0x8000u | unsigned(-e)) : unsigned(e), 2);
    b.insert(b.end(), ref, ref + 4);
    b.push_back(static_cast<unsigned char>(bits));
    b.insert(b.end(), packed.begin(), packed.end());
    set_length(b);
    return b;
}

Bytes make_bmb(const Bytes &map, int table = 0) {
    Bytes b = {0, 0, 0, 0};
    put(b, unsigned(table), 2);
    b.insert(b.end(), map.begin(), map.end());
    set_length(b);
    return b;
}

Bytes make_product(int edition, const std::vector<Bytes> &blocks) {
    Bytes b = {'G', 'R', 'I', 'B'};
    if (edition == 1) b.insert(b.end(), {0, 0, 0, 1});
    for (const Bytes &x : blocks)
        b.insert(b.end(), x.begin(), x.end());
    b.insert(b.end(), {'7', '7', '7', '7'});
    if (edition == 1) {
        b[4] = static_cast<unsigned char>(b.size() >> 16);
        b[5] = static_cast<unsigned char>(b.size() >> 8);
        b[6] = static_cast<unsigned char>(b.size());
    }
    return b;
}

std::string text(const Bytes &b) {
    return std::string(b.begin(), b.end());
}

std::vector<unsigned> counting(std::size_t n, unsigned modulo) {
    std::vector<unsigned> v(n);
    for (std::size_t k = 0; k < n; ++k)
        v[k] = unsigned(k % modulo);
    return v;
}

// Decodes one product held in bytes.
Decoded decode_bytes(const Bytes &bytes) {
    TempDir dir;
    write_file(dir.file("p.grb"), text(bytes));
    std::vector<Decoded> d = decode_file(dir.file("p.grb"));
    EXPECT_FALSE(d.empty());
    return d.empty() ? Decoded{} : d[0];
}

// ---- Number conversions and tables ---------------------------------------------------

TEST(GribConversions, IbmFloatsAndScaleFactors) {
    struct Case {
        unsigned char o[4];
        float want;
    };
    const Case floats[] = {
        {{0x41, 0x10, 0x00, 0x00}, 1.0f},      {{0xC1, 0x10, 0x00, 0x00}, -1.0f},
        {{0x42, 0x64, 0x00, 0x00}, 100.0f},    {{0x00, 0x12, 0x34, 0x56}, 0.0f},
        {{0x40, 0x80, 0x00, 0x00}, 0.5f},      {{0x44, 0x10, 0x00, 0x00}, 4096.0f},
        {{0xC2, 0x76, 0xA0, 0x00}, -118.625f}, {{0x3F, 0x10, 0x00, 0x00}, 1.0f / 256.0f},
    };
    for (const Case &c : floats)
        EXPECT_EQ(GRIB_flt_conv(c.o), c.want) << int(c.o[0]) << " " << int(c.o[1]);
    struct Scale {
        unsigned char o[2];
        float want;
    };
    const Scale scales[] = {{{0x00, 0x03}, 8.0f},
                            {{0x80, 0x02}, 0.25f},
                            {{0x00, 0x00}, 1.0f},
                            {{0x80, 0x0A}, 1.0f / 1024.0f},
                            {{0x01, 0x00}, std::ldexp(1.0f, 256) /* inf */}};
    for (const Scale &s : scales)
        EXPECT_EQ(GRIB_scl_conv(s.o), s.want) << int(s.o[0]) << " " << int(s.o[1]);
}

TEST(GribTables, ParametersUnitsAndLevels) {
    struct Case {
        int source, version, var;
        int want_var;
        const char *units;
        int ltype, level; // expected after (the record starts with 100, 500)
        bool warned;
    };
    const Case cases[] = {
        {98, 1, 165, 33, "m/s", 105, 10, false}, // overrides the decoded level
        {98, 0, 165, 33, "m/s", 105, 10, false}, // any version
        {98, 1, 151, 1, "Pa", 102, 500, false},  // level type only
        {98, 1, 172, 81, "", 100, 500, false},
        {98, 1, 250, 250, "", 100, 500, true}, // no row
        {98, 0, 11, 11, "", 100, 500, false},  // edition 0 numbers are not centre 98's
        {7, 0, 11, 18, "dC", 100, 500, false},
        {7, 0, 2, 7, "10 m", 100, 500, false},
        {7, 0, 9, 9, "", 100, 500, true},
        {7, 1, 19343011, 19343011, "K", 100, 500, false}, // folded codes keep their units
        {7, 1, 5, 5, "-", 100, 500, false},
        {7, 1, 22, 22, "", 100, 500, false},
        {7, 1, 491, 491, "dBZ", 100, 500, false},
        {7, 1, -7, -7, "-", 100, 500, false},
        {7, 2, 11, 11, "", 100, 500, false},
    };
    for (const Case &c : cases) {
        Messages m;
        GRD_report r{};
        r.source = c.source;
        r.version = c.version;
        r.var = c.var;
        r.ltype = 100;
        r.level = 500;
        std::strcpy(r.units, "old");
        EXPECT_EQ(GRIB_units(&r), 0);
        const std::string what =
            std::to_string(c.source) + "/" + std::to_string(c.version) + "/" + std::to_string(c.var);
        EXPECT_EQ(r.var, c.want_var) << what;
        EXPECT_STREQ(r.units, c.units) << what;
        EXPECT_EQ(r.ltype, c.ltype) << what;
        EXPECT_EQ(r.level, c.level) << what;
        EXPECT_EQ(m.text().find("Invalid GRIB variable: " + std::to_string(c.var)) != std::string::npos,
                  c.warned)
            << what;
    }
    EXPECT_STREQ(GRIB_cdf_units(2), "geopotential dekameters");
    EXPECT_STREQ(GRIB_cdf_units(15), "celsius");
    EXPECT_EQ(GRIB_cdf_units(3), nullptr);
}

TEST(GribTables, PredefinedGrids) {
    Domain d;
    DOM_init(&d);
    GRIB_set_domain(211, &d);
    EXPECT_EQ(d.proj, 4);
    EXPECT_EQ(d.nx, 93);
    EXPECT_EQ(d.ny, 65);
    EXPECT_FLOAT_EQ(d.clat, 40.607f);
    EXPECT_FLOAT_EQ(d.clon, -100.553f);
    EXPECT_FLOAT_EQ(d.dx, 0.8127f);
    EXPECT_FLOAT_EQ(d.dy, 0.8127f);
    EXPECT_FLOAT_EQ(d.plon, -95.0f);
    EXPECT_FLOAT_EQ(d.param[0], 25.0f);
    EXPECT_FLOAT_EQ(d.param[2], 1.0f);
    EXPECT_EQ(d.plat, FMISSING);

    struct Case {
        int grid, proj, nx, ny;
        float dx, dy, clat, clon;
    };
    const Case cases[] = {
        {21, 2, 37, 37, 5, 2.5, 45, 90},
        {24, 2, 37, 37, 5, 2.5, -45, -90},
        {26, 2, 73, 19, 5, 5, -45, 180},
        {37, 2, 73, 73, 1.25, 1.25, 45, 15},
        {40, 2, 73, 73, 1.25, 1.25, 45, -75},
        {43, 2, 73, 73, 1.25, 1.25, -45, -165},
        {50, 2, 36, 33, 2.5, 1.25, 40, -96.25},
        {62, 2, 91, 46, 2, 2, 45, -90},
        {215, 4, 369, 257, 0.2032f, 0.2032f, 40.607f, -100.553f},
    };
    for (const Case &c : cases) {
        DOM_init(&d);
        EXPECT_EQ(GRIB_set_domain(c.grid, &d), 1);
        EXPECT_EQ(d.proj, c.proj) << c.grid;
        EXPECT_EQ(d.nx, c.nx) << c.grid;
        EXPECT_EQ(d.ny, c.ny) << c.grid;
        EXPECT_FLOAT_EQ(d.dx, c.dx) << c.grid;
        EXPECT_FLOAT_EQ(d.dy, c.dy) << c.grid;
        EXPECT_FLOAT_EQ(d.clat, c.clat) << c.grid;
        EXPECT_FLOAT_EQ(d.clon, c.clon) << c.grid;
    }
    DOM_init(&d);
    GRIB_set_domain(255, &d);
    EXPECT_EQ(d.proj, MISSING);
    EXPECT_EQ(d.nx, MISSING);
}

// ---- Product definition ---------------------------------------------------------------

GRD_report decode_pdb(const Pdb &p) {
    Bytes b = make_pdb(p);
    b.insert(b.begin(), 0); // octet n at index n
    GRD_report r{};
    r.grid = nullptr;
    r.time = r.level = 4242; // what unknown codes leave
    r.version = p.edition;
    EXPECT_EQ(GRIB_decode_PDB(b.data(), &r), 1);
    return r;
}

TEST(GribProductDefinition, DatesTimesLevelsParametersAndScale) {
    struct Year {
        int octet, year;
    };
    for (const Year &y :
         {Year{0, 2000}, Year{49, 2049}, Year{50, 1950}, Year{100, 2000}, Year{199, 2099}, Year{200, 200}}) {
        Pdb p;
        p.year = y.octet;
        EXPECT_EQ(decode_pdb(p).date.year, y.year) << y.octet;
    }
    struct Time {
        int unit, p1, p2, tri, n, time;
    };
    const Time times[] = {
        {3, 6, 12, 113, 5, 13906960}, {2, 6, 12, 113, 5, 13806860}, {1, 6, 12, 113, 5, 13006060},
        {1, 6, 12, 10, 0, 1548},      {3, 6, 12, 10, 0, 1548},      {1, 12, 0, 0, 0, 12},
        {12, 2, 0, 0, 0, 24},         {2, 3, 0, 0, 0, 803},         {1, 0, 0, 1, 0, 0},
        {1, 6, 12, 4, 0, 4006012},    {12, 1, 2, 4, 0, 4012024},    {1, 6, 12, 118, 2, 18006024},
        {3, 6, 12, 123, 2, 23000924}, {1, 6, 12, 7, 0, 4242},
    };
    for (const Time &t : times) {
        Pdb p;
        p.unit = t.unit;
        p.p1 = t.p1;
        p.p2 = t.p2;
        p.tri = t.tri;
        p.n = t.n;
        EXPECT_EQ(decode_pdb(p).time, t.time) << t.unit << " " << t.tri;
    }
    struct Level {
        int ltype, level;
    };
    for (const Level &l : {Level{101, 18052}, Level{100, 4660}, Level{109, 4660}, Level{1, 0}, Level{200, 0},
                           Level{116, 18052}, Level{8, 4242}}) {
        Pdb p;
        p.ltype = l.ltype;
        p.l1 = 18;
        p.l2 = 52;
        EXPECT_EQ(decode_pdb(p).level, l.level) << l.ltype;
    }
    struct Param {
        int table, param, var;
    };
    for (const Param &q :
         {Param{129, 212, 491}, Param{2, 212, 212}, Param{2, 177, 571}, Param{129, 177, 177}}) {
        Pdb p;
        p.table = q.table;
        p.param = q.param;
        EXPECT_EQ(decode_pdb(p).var, q.var) << q.table << " " << q.param;
    }
    {
        Pdb p; // process 44, surface, parameter 7: parameter 161 with the units of 7
        p.process = 44;
        p.ltype = 1;
        p.param = 7;
        const GRD_report r = decode_pdb(p);
        EXPECT_EQ(r.var, 161);
        EXPECT_STREQ(r.units, "m");
    }
    struct Scale {
        int edition, dec;
        float dscale;
    };
    for (const Scale &s : {Scale{1, 0x8002, 100.0f}, Scale{1, 0x0003, 0.001f}, Scale{0, 0x0003, 1.0f}}) {
        // The scale shows in unpacked values: a 0-bit field of reference 100.
        Pdb q;
        q.edition = s.edition;
        q.table = 0;
        q.dec = s.dec;
        q.flag = 0;
        q.grid = 211;
        const Decoded d = decode_bytes(make_product(s.edition, {make_pdb(q), make_bdb({}, 0, 0, IBM_100)}));
        ASSERT_EQ(d.bdb, 1);
        EXPECT_FLOAT_EQ(d.values[0], 100.0f * s.dscale) << s.edition << " " << s.dec;
        EXPECT_FLOAT_EQ(d.values.back(), 100.0f * s.dscale);
    }
}

Bytes ensemble_octets(int type, int id, int prod, int prob_var = 0, int prob_type = 0,
                      const unsigned char *low = IBM_ZERO, const unsigned char *up = IBM_ZERO) {
    Bytes b(13, 0); // octets 29 to 41
    b.insert(b.end(), {static_cast<unsigned char>(type), static_cast<unsigned char>(id),
                       static_cast<unsigned char>(prod), 1, static_cast<unsigned char>(prob_var),
                       static_cast<unsigned char>(prob_type)});
    b.insert(b.end(), low, low + 4);
    b.insert(b.end(), up, up + 4);
    return b;
}

TEST(GribProductDefinition, EnsembleAndProbabilityCodes) {
    const unsigned char one[4] = {0x41, 0x10, 0x00, 0x00};
    const unsigned char minus_half[4] = {0xC0, 0x80, 0x00, 0x00};
    struct Case {
        int param, type, id, prod, prob_var, prob_type;
        const unsigned char *low, *up;
        int var;
        const char *units;
        const char *info_has;
    };
    const Case cases[] = {
        {11, 3, 4, 1, 0, 0, IBM_ZERO, IBM_ZERO, 19344011, "K", "Ens[+4] "},
        {11, 1, 0, 1, 0, 0, IBM_ZERO, IBM_ZERO, 19300011, "K", "Ens[0] "},
        {11, 2, 7, 1, 0, 0, IBM_ZERO, IBM_ZERO, 19327011, "K", "Ens[-7] "},
        {11, 4, 1, 2, 0, 0, IBM_ZERO, IBM_ZERO, 19000011, "K", " Ens mean "},
        {11, 4, 1, 11, 0, 0, IBM_ZERO, IBM_ZERO, 19001011, "K", " Ens std dev "},
        {191, 0, 0, 0, 61, 1, one, IBM_ZERO, 1910611010, "%", "Ens prob (%) "},
        {192, 0, 0, 0, 61, 2, IBM_ZERO, one, 1920612010, "%", "Ens norm prob (%) "},
        {191, 0, 0, 0, 11, 4, minus_half, IBM_ZERO, 1910119900, "%", "Prob (%) "},
        {191, 0, 0, 0, 61, 3, one, IBM_100, 1910613010, "%", " in 1.00-100.00"},
        {191, 0, 0, 0, 61, 9, one, IBM_100, 1910619000, "%", "Prob (%) "},
    };
    for (const Case &c : cases) {
        Pdb p;
        p.param = c.param;
        p.sub = 2;
        p.ext = ensemble_octets(c.type, c.id, c.prod, c.prob_var, c.prob_type, c.low, c.up);
        GRD_report r = decode_pdb(p);
        GRIB_set_var(&r);
        EXPECT_EQ(r.var, c.var) << c.param << " " << c.prod << " " << c.prob_type;
        EXPECT_STREQ(r.units, c.units) << c.var;
        EXPECT_NE(std::string(r.info).find(c.info_has), std::string::npos) << r.info;
    }

    // The probability label names the variable, the limit and its units.
    Pdb p;
    p.param = 191;
    p.sub = 2;
    p.ext = ensemble_octets(0, 0, 0, 61, 1, one, IBM_ZERO);
    GRD_report r = decode_pdb(p);
    GRIB_set_var(&r);
    const std::string info = r.info;
    EXPECT_NE(info.find(" below 1.00 kg/m^2"), std::string::npos) << info;

    // A product without the extension octets, or from another centre, carries
    // no ensemble or probability state, whatever the product before had.
    Pdb shortp;
    shortp.param = 191;
    shortp.sub = 2;
    r = decode_pdb(shortp);
    GRIB_set_var(&r);
    EXPECT_EQ(r.var, 191);
    EXPECT_STREQ(r.units, "");
    Pdb other = p;
    other.centre = 98;
    r = decode_pdb(other);
    GRIB_set_var(&r);
    EXPECT_EQ(r.var, 191);
    Pdb member;
    member.sub = 2;
    member.ext = ensemble_octets(3, 4, 1);
    decode_pdb(member);
    Pdb plain;
    plain.sub = 2;
    plain.ext = Bytes(10, 0); // 38 octets: no ensemble octets
    r = decode_pdb(plain);
    GRIB_set_var(&r);
    EXPECT_EQ(r.var, 11);
}

// ---- Decoding against ecCodes ----------------------------------------------------------

TEST(GribDecode, LatitudeLongitudeGridsMatchEccodes) {
    TempDir dir;
    make_fixtures(dir, "scan.grb1 bitmap.grb1 const.grb1");
    // Every scanning mode: rows either way, points either way, by columns.
    expect_file_matches(dir.file("scan.grb1"), 0.0, false);
    expect_file_matches(dir.file("bitmap.grb1"), 0.0, false);
    expect_file_matches(dir.file("const.grb1"), 0.0, false);
    expect_file_matches(EXAMPLES + "regular_latlon_surface.grib1", 0.0, false);

    const std::vector<Decoded> d = decode_file(EXAMPLES + "regular_latlon_surface.grib1");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].rec.source, 98);
    EXPECT_EQ(d[0].rec.var, 11); // centre 98's 2 m temperature
    EXPECT_EQ(d[0].rec.ltype, 105);
    EXPECT_EQ(d[0].rec.level, 2);
    EXPECT_STREQ(d[0].rec.units, "K");
    EXPECT_EQ(d[0].style, 4);
    EXPECT_EQ(d[0].header, "GRIB01 KXXX 010000");
}

TEST(GribDecode, ProjectedGridsMatchEccodes) {
    TempDir dir;
    make_fixtures(dir, "polar.grb1 merc.grb1 lambert.grb1");
    // Projected grids are placed from their first point (the south-west
    // corner here) on a sphere 0.06 % larger than ecCodes'.
    expect_file_matches(dir.file("polar.grb1"), 1e-3, true);
    expect_file_matches(dir.file("merc.grb1"), 0.0, true);
    expect_file_matches(dir.file("lambert.grb1"), 1e-3, true);

    // The eta fields keep their identity through the conversion.
    const std::vector<Decoded> d = decode_file(dir.file("lambert.grb1"));
    ASSERT_EQ(d.size(), 7u);
    const GRD_report &h = d[2].rec;
    EXPECT_EQ(h.source, 7);
    EXPECT_EQ(h.model, 84);
    EXPECT_EQ(h.var, 7);
    EXPECT_EQ(h.ltype, 100);
    EXPECT_EQ(h.level, 500);
    EXPECT_EQ(h.time, 24);
    EXPECT_EQ(h.date.year, 2004);
    EXPECT_EQ(h.date.month, 12);
    EXPECT_EQ(h.date.day, 8);
    EXPECT_EQ(h.date.hour, 12);
    EXPECT_STREQ(h.units, "m");
    EXPECT_EQ(h.domain.proj, 4);
    EXPECT_FLOAT_EQ(h.domain.plon, -95.0f);
    EXPECT_FLOAT_EQ(h.domain.param[0], 25.0f);
    EXPECT_NEAR(h.domain.dx, 0.81271f, 1e-6);
    EXPECT_NE(std::string(h.info).find("500"), std::string::npos) << h.info;
    EXPECT_NE(std::string(h.datim).find("DEC"), std::string::npos) << h.datim;
}

TEST(GribDecode, ThinnedRowsAreInterpolatedAcrossTheWidth) {
    TempDir dir;
    make_fixtures(dir, "thin.grb1");
    const std::vector<Reference> refs = eccodes_reference(dir.file("thin.grb1"));
    const std::vector<Decoded> d = decode_file(dir.file("thin.grb1"));
    ASSERT_EQ(d.size(), 1u);
    ASSERT_EQ(refs.size(), 1u);
    ASSERT_EQ(d[0].bdb, 1);
    EXPECT_EQ(d[0].rec.domain.nx, 10);
    EXPECT_EQ(d[0].rec.domain.ny, 6);
    EXPECT_FLOAT_EQ(d[0].rec.domain.dx, 10.0f);
    expect_values(refs[0], d[0].values, "thinned rows");
    expect_places(refs[0], d[0].rec.domain, 0, 0.0, "thinned rows");
}

TEST(GribDecode, RefusesWhatItCannotRepresent) {
    TempDir dir;
    make_fixtures(dir, "second.grb1 gauss.grb1 bitmap.grb1");
    // A predefined bit map: the bit-map block names a table entry.
    std::string bytes = read_file(dir.file("bitmap.grb1"));
    const std::size_t pdb = 8, gdb = pdb + ((std::size_t(std::uint8_t(bytes[pdb + 1])) << 8) |
                                            std::uint8_t(bytes[pdb + 2]));
    const std::size_t bmb = gdb + std::uint8_t(bytes[gdb + 2]);
    bytes[bmb + 5] = 3;
    write_file(dir.file("predef.grb1"), bytes);
    // No grid description and a grid number without a predefined grid.
    Pdb p;
    p.flag = 0;
    p.grid = 3;
    write_file(dir.file("nogrid.grb1"), text(make_product(1, {make_pdb(p), make_bdb({}, 0)})));

    struct Case {
        std::string file;
        int pdb, gdb, bmb, bdb;
        const char *reason;
    };
    const Case cases[] = {
        {EXAMPLES + "spherical_pressure_level.grib1", 1, 0, 0, 0, "Grid type 50"},
        {EXAMPLES + "rotated_ll.grib1", 1, 0, 0, 0, "Grid type 10"},
        {dir.file("gauss.grb1"), 1, 0, 0, 0, "Grid type 4"},
        {dir.file("second.grb1"), 1, 1, 1, 0, "Second-order packing"},
        {dir.file("predef.grb1"), 1, 1, 0, 0, "Predefined bit map 3"},
        {dir.file("nogrid.grb1"), 1, 0, 0, 0, "Grid 3 is neither described nor predefined"},
    };
    for (const Case &c : cases) {
        Messages m;
        const std::vector<Decoded> d = decode_file(c.file);
        ASSERT_EQ(d.size(), 1u) << c.file;
        EXPECT_EQ(d[0].pdb, c.pdb) << c.file;
        EXPECT_EQ(d[0].gdb, c.gdb) << c.file;
        EXPECT_EQ(d[0].bmb, c.bmb) << c.file;
        EXPECT_EQ(d[0].bdb, c.bdb) << c.file;
        const std::string mess = m.text();
        EXPECT_NE(mess.find(c.reason), std::string::npos) << mess;
        EXPECT_NE(mess.find(c.file), std::string::npos) << mess;
    }

    // A spherical-harmonic data block is refused by its flags.
    Pdb q;
    q.flag = 0;
    q.grid = 211;
    Messages m;
    const Decoded d =
        decode_bytes(make_product(1, {make_pdb(q), make_bdb(pack({1, 2}, 8), 8, 0, IBM_ZERO, 0x80)}));
    EXPECT_EQ(d.bdb, 0);
    EXPECT_NE(m.text().find("Spherical harmonic"), std::string::npos);
}

// ---- Hand-built products ------------------------------------------------------------------

TEST(GribHandBuilt, EditionZeroAndPredefinedGrids) {
    // Grid 21, edition 0: 36 rows of 37 values from the equator north, then
    // one value for the pole row.
    Pdb p;
    p.edition = 0;
    p.table = 0;
    p.grid = 21;
    p.flag = 0;
    p.param = 2; // edition 0 height, 10 m
    std::vector<unsigned> v = counting(36 * 37 + 1, 251);
    Decoded d = decode_bytes(make_product(0, {make_pdb(p), make_bdb(pack(v, 8), 8)}));
    ASSERT_EQ(d.bdb, 1);
    EXPECT_EQ(d.rec.version, 0);
    EXPECT_EQ(d.rec.var, 7);
    EXPECT_STREQ(d.rec.units, "10 m");
    EXPECT_EQ(d.rec.domain.nx, 37);
    EXPECT_EQ(d.rec.domain.ny, 37);
    for (int i = 0; i < 37; ++i)
        EXPECT_EQ(d.values[std::size_t(i)], float(v.back())) << "pole row " << i;
    for (int r = 0; r < 36; ++r)
        for (int i = 0; i < 37; ++i)
            ASSERT_EQ(d.values[std::size_t((36 - r) * 37 + i)], float(v[std::size_t(r * 37 + i)]))
                << r << " " << i;

    // Grid 25: 18 rows of 72 values, the last column repeats the first; the
    // pole row last.
    p.grid = 25;
    v = counting(18 * 72 + 1, 200);
    d = decode_bytes(make_product(0, {make_pdb(p), make_bdb(pack(v, 8), 8)}));
    ASSERT_EQ(d.bdb, 1);
    for (int r = 0; r < 18; ++r) {
        const float *row = &d.values[std::size_t(18 - r) * 73];
        for (int i = 0; i < 72; ++i)
            ASSERT_EQ(row[i], float(v[std::size_t(r * 72 + i)])) << r << " " << i;
        EXPECT_EQ(row[72], row[0]) << r;
    }
    for (int i = 0; i < 73; ++i)
        EXPECT_EQ(d.values[std::size_t(i)], float(v.back()));

    // Grid 50: rows from the south, shortened by two points every four rows
    // and centred.
    p.grid = 50;
    std::size_t count = 0;
    for (int j = 0; j <= 32; ++j)
        count += std::size_t(36 - 2 * (j > 0 ? (j - 1) / 4 : 0));
    v = counting(count, 250);
    d = decode_bytes(make_product(0, {make_pdb(p), make_bdb(pack(v, 8), 8)}));
    ASSERT_EQ(d.bdb, 1);
    std::size_t k = 0;
    for (int j = 32; j >= 0; --j) {
        const int fill = j > 0 ? (j - 1) / 4 : 0;
        for (int c = 0; c < 36; ++c) {
            const float want = c < fill || c >= 36 - fill ? FMISSING : float(v[k++]);
            ASSERT_EQ(d.values[std::size_t(j * 36 + c)], want) << j << " " << c;
        }
    }
    EXPECT_EQ(d.values[32 * 36 + 6], FMISSING);
    EXPECT_NE(d.values[32 * 36 + 7], FMISSING);

    // Grid 211 without a grid description: the predefined Lambert conformal
    // grid, rows from the south.
    Pdb q;
    q.grid = 211;
    q.flag = 0;
    v = counting(93 * 65, 4000);
    d = decode_bytes(make_product(1, {make_pdb(q), make_bdb(pack(v, 12), 12)}));
    ASSERT_EQ(d.bdb, 1);
    EXPECT_EQ(d.rec.domain.proj, 4);
    EXPECT_FLOAT_EQ(d.rec.domain.clat, 40.607f);
    EXPECT_EQ(d.values[64 * 93], 0.0f);
    EXPECT_EQ(d.values[0], float(v[64 * 93]));
    EXPECT_EQ(d.values.back(), float(v[92]));
}

// A one-row latitude-longitude product whose data block holds `data`.
Bytes row_product(int nx, const Bytes &data, int bits, int flag = 0x80, const Bytes &bmb = {}, int e = 0,
                  int dec = 0, const std::vector<int> &pl = {}) {
    Pdb p;
    p.flag = flag;
    p.dec = dec;
    const int ny = pl.empty() ? 1 : int(pl.size());
    std::vector<Bytes> parts = {
        make_pdb(p), make_gdb(nx, ny, 50000, 0, 50000 - 1000 * (ny - 1), 1000 * (nx - 1), 1000, 1000, 0, pl)};
    if (!bmb.empty()) parts.push_back(bmb);
    parts.push_back(make_bdb(data, bits, e));
    return make_product(1, parts);
}

TEST(GribHandBuilt, UnpackingCases) {
    const float M = FMISSING;
    struct Case {
        const char *what;
        Bytes product;
        std::vector<float> want;
    };
    const Case cases[] = {
        {"12-bit values", row_product(2, {0xAB, 0xC1, 0x23}, 12), {2748, 291}},
        {"4-bit values", row_product(2, {0x5A}, 4), {5, 10}},
        {"scale and decimal scale", row_product(2, pack({3, 10}, 8), 8, 0x80, {}, -1, 1), {0.15f, 0.5f}},
        {"bit map 0xA0",
         row_product(8, pack({7, 9}, 8), 8, 0xC0, make_bmb({0xA0})),
         {7, M, 9, M, M, M, M, M}},
        {"bit map shorter than the grid",
         row_product(10, pack({1, 2, 3, 4, 5, 6, 7, 8}, 8), 8, 0xC0, make_bmb({0xFF})),
         {1, 2, 3, 4, 5, 6, 7, 8, M, M}},
        {"thinned row of 2 over 5",
         row_product(5, pack({10, 20, 1, 2, 3, 4, 5}, 8), 8, 0x80, {}, 0, 0, {2, 5}),
         {10, 12.5f, 15, 17.5f, 20, 1, 2, 3, 4, 5}},
        {"thinned rows of 0 and 1 point",
         row_product(3, pack({9, 4, 5, 6}, 8), 8, 0x80, {}, 0, 0, {0, 1, 3}),
         {M, M, M, 9, 9, 9, 4, 5, 6}},
    };
    for (const Case &c : cases) {
        const Decoded d = decode_bytes(c.product);
        ASSERT_EQ(d.bdb, 1) << c.what;
        ASSERT_EQ(d.values.size(), c.want.size()) << c.what;
        for (std::size_t k = 0; k < c.want.size(); ++k)
            EXPECT_FLOAT_EQ(d.values[k], c.want[k]) << c.what << " point " << k;
    }

    // Values the data block does not hold are missing, and said to be.
    Messages m;
    const Decoded d = decode_bytes(row_product(4, {1, 2}, 8));
    ASSERT_EQ(d.bdb, 1);
    EXPECT_EQ(d.values, (std::vector<float>{1, 2, M, M}));
    EXPECT_NE(m.text().find("GRIB_BDB: Data end before 2 points"), std::string::npos) << m.text();
}

TEST(GribHandBuilt, BadValueFilterBlanksAJumpyRow) {
    std::vector<unsigned> row;
    for (int k = 0; k < 10; ++k)
        row.push_back(k % 2 == 0 ? 0 : 200);
    const Bytes product = row_product(10, pack(row, 8), 8);
    const float M = FMISSING;
    Decoded d = decode_bytes(product);
    EXPECT_EQ(d.values, (std::vector<float>{0, 200, 0, 200, 0, 200, 0, 200, 0, 200}));
    GRIB_set_max_bad(3);
    d = decode_bytes(product);
    EXPECT_EQ(d.values, (std::vector<float>{0, 200, 0, 200, M, M, M, M, M, M}));
    // The limit is half the packed range whatever the level: jumps of 128
    // with 8 bits do not count.
    row.assign(10, 0);
    for (int k = 1; k < 10; k += 2)
        row[std::size_t(k)] = 128;
    d = decode_bytes(row_product(10, pack(row, 8), 8));
    EXPECT_EQ(d.values[9], 128.0f);
}

// ---- Framing -------------------------------------------------------------------------------

Bytes file_bytes(const std::string &name) {
    const std::string s = read_file(name);
    return Bytes(s.begin(), s.end());
}

// The products of a file, one per entry.
std::vector<Bytes> split_products(const Bytes &all) {
    std::vector<Bytes> out;
    std::size_t k = 0;
    while (k + 8 <= all.size()) {
        const std::size_t len = (std::size_t(all[k + 4]) << 16) | (std::size_t(all[k + 5]) << 8) | all[k + 6];
        out.emplace_back(all.begin() + long(k), all.begin() + long(k + len));
        k += len;
    }
    return out;
}

TEST(GribFraming, FourHeaderStylesMixedInOneFile) {
    TempDir dir;
    make_fixtures(dir, "lambert.grb1");
    const std::vector<Bytes> p = split_products(file_bytes(dir.file("lambert.grb1")));
    ASSERT_EQ(p.size(), 7u);
    zeqtest::run_command("grib_copy -w count=1 " + EXAMPLES + "eta.grb " + dir.file("ed2.grb"));
    const Bytes ed2 = file_bytes(dir.file("ed2.grb"));
    ASSERT_GT(ed2.size(), 16u);

    struct Expect {
        long start;
        int style;
        std::string header;
        int version;
        long product; // where the product starts
        long length;
    };
    std::string file;
    std::vector<Expect> want;
    auto add = [&](const std::string &before, const Bytes &prod, const std::string &after, int style,
                   const std::string &header) {
        Expect e{long(file.size()), style, header, prod[7] == 2 ? 2 : 1, 0, long(prod.size())};
        file += before;
        e.product = long(file.size());
        file += text(prod) + after;
        want.push_back(e);
    };
    const std::string soh = "\x01\r\r\n";
    add("** KWBC 081200 HEADER1XYZ\n", p[0], "\n", 1, "KWBC 081200 HEADER");
    add(soh + "123\r\r\nYTHA50 KWBC 081200\r\r\n", p[1], "\r\r\n\x03", 2, "YTHA50 KWBC 081200");
    {
        const std::string bulletin = soh + "456\r\r\nYUHA50 KWBC 081200\r\r\n" + text(p[2]) + "\r\r\n\x03";
        Expect e{long(file.size()), 3, "YUHA50 KWBC 081200", 1, 0, long(p[2].size())};
        file += "GRIB: " + std::to_string(bulletin.size()) + "\n";
        e.product = long(file.size() + bulletin.find("GRIB"));
        file += bulletin + "\n";
        want.push_back(e);
    }
    add("", p[3], "", 4, "GRIB01 KXXX 010000");
    add("** KWBC 081200 EDITION2ABC\n", ed2, "\r\r\n\x03", 1, "KWBC 081200 EDITION");
    add("", p[4], "", 4, "GRIB01 KXXX 010000");
    add("** KWBC 081200 AGAINXYZ\n", p[5], "\n", 1, "KWBC 081200 AGAIN");
    add("xG", p[6], "", 4, "GRIB01 KXXX 010000"); // a 'G' just before the marker
    write_file(dir.file("mixed.grb"), file);

    const std::vector<Decoded> got = decode_file(dir.file("mixed.grb"));
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
        EXPECT_EQ(got[k].start, want[k].start) << k;
        EXPECT_EQ(got[k].style, want[k].style) << k;
        EXPECT_EQ(got[k].header, want[k].header.substr(0, 18)) << k;
        EXPECT_EQ(got[k].version, want[k].version) << k;
        EXPECT_EQ(got[k].type, 'B') << k;
        const long next = k + 1 < want.size() ? want[k + 1].start : long(file.size());
        EXPECT_EQ(got[k].next, next) << k;
        if (want[k].version == 1) {
            EXPECT_EQ(got[k].bdb, 1) << k;
        }
    }

    // Each product copied raw through a GRIB slot is the product ecCodes
    // wrote, with its header and trailer. (ecCodes takes a "GRIB: " size line
    // for a message of its own, so that copy is compared by its bytes only.)
    int type = 21;
    const int in = GRD_open(dir.file("mixed.grb").c_str(), 0, &type);
    ASSERT_GE(in, 0);
    for (std::size_t k = 0; k < want.size(); ++k) {
        grd_file::set_cur_pos(in, want[k].start);
        char *raw = nullptr;
        int size = 0;
        const int n = GRIB_get_raw(in, &raw, &size);
        const long next = k + 1 < want.size() ? want[k + 1].start : long(file.size());
        EXPECT_EQ(n, next - want[k].start) << k;
        EXPECT_EQ(size, n);
        ASSERT_NE(raw, nullptr);
        EXPECT_EQ(std::string(raw, std::size_t(n)), file.substr(std::size_t(want[k].start), std::size_t(n)));
        const std::string copy = dir.file("copy" + std::to_string(k) + ".grb");
        const std::string plain = dir.file("plain" + std::to_string(k) + ".grb");
        const int out = GRD_open(copy.c_str(), 1, &type);
        ASSERT_GE(out, 0);
        GRD_report r{};
        r.grid = reinterpret_cast<float *>(raw);
        r.source = n;
        int num = 0;
        EXPECT_EQ(GRD_write(out, &r, 0, &num), 0);
        GRD_close(out);
        std::free(raw);
        write_file(plain, file.substr(std::size_t(want[k].product), std::size_t(want[k].length)));
        if (want[k].style != 3) zeqtest::run_command("grib_compare " + plain + " " + copy);
    }
    // A caller's buffer too small for the product is refused, not overrun.
    grd_file::set_cur_pos(in, want[0].start);
    char small[16];
    char *buf = small;
    int cap = int(sizeof small);
    EXPECT_EQ(GRIB_get_raw(in, &buf, &cap), -1);
    GRD_close(in);
}

TEST(GribFraming, LengthsAreCheckedAgainstTheFile) {
    TempDir dir;
    Pdb q;
    q.flag = 0;
    q.grid = 211;
    const Bytes good = make_product(1, {make_pdb(q), make_bdb(pack(counting(93 * 65, 100), 8), 8)});

    // A length beyond the file: -1 and the warning, not offset 0.
    Bytes lying = good;
    lying[4] = 0x4C; // 5 MB
    write_file(dir.file("lying.grb"), text(good) + text(lying));
    {
        Messages m;
        const std::vector<Decoded> d = decode_file(dir.file("lying.grb"), false);
        ASSERT_EQ(d.size(), 2u);
        EXPECT_EQ(d[0].next, long(good.size()));
        EXPECT_EQ(d[1].next, -1);
        EXPECT_NE(m.text().find("GRIB_next: Invalid product size: " +
                                std::to_string((0x4C << 16) | (lying[5] << 8) | lying[6])),
                  std::string::npos)
            << m.text();
        EXPECT_NE(m.text().find(dir.file("lying.grb")), std::string::npos);
    }
    // A block running past its product is refused; past the file, cut short.
    Bytes overrun = good;
    const std::size_t bds = 8 + 28;
    const unsigned len =
        ((unsigned(overrun[bds]) << 16) | (unsigned(overrun[bds + 1]) << 8) | overrun[bds + 2]) + 100;
    overrun[bds] = static_cast<unsigned char>(len >> 16);
    overrun[bds + 1] = static_cast<unsigned char>(len >> 8);
    overrun[bds + 2] = static_cast<unsigned char>(len);
    write_file(dir.file("overrun.grb"), text(overrun) + text(good));
    {
        Messages m;
        const std::vector<Decoded> d = decode_file(dir.file("overrun.grb"));
        ASSERT_EQ(d.size(), 2u);
        EXPECT_EQ(d[0].bdb, 0);
        EXPECT_EQ(d[1].bdb, 1) << "the next product still reads";
        EXPECT_NE(m.text().find("runs past the end of the product"), std::string::npos) << m.text();
    }
    write_file(dir.file("cut.grb"), text(good).substr(0, 300));
    {
        Messages m;
        const std::vector<Decoded> d = decode_file(dir.file("cut.grb"));
        ASSERT_EQ(d.size(), 1u);
        EXPECT_EQ(d[0].bdb, -1);
        EXPECT_EQ(d[0].next, -1);
        EXPECT_NE(m.text().find("Data block cut short"), std::string::npos) << m.text();
    }
    // A size line beyond the file.
    write_file(dir.file("size.grb"), "GRIB: 999999\n" + text(good));
    {
        Messages m;
        const std::vector<Decoded> d = decode_file(dir.file("size.grb"), false);
        ASSERT_EQ(d.size(), 1u);
        EXPECT_EQ(d[0].style, 3);
        EXPECT_EQ(d[0].next, -1);
        EXPECT_NE(m.text().find("Invalid product size"), std::string::npos);
    }
    // A product longer than 2,000,000 octets is framed like any other.
    Bytes big = {'G', 'R', 'I', 'B', 0, 0, 0, 1};
    big.resize(2100000, 0x55);
    big[4] = static_cast<unsigned char>(big.size() >> 16);
    big[5] = static_cast<unsigned char>(big.size() >> 8);
    big[6] = static_cast<unsigned char>(big.size());
    write_file(dir.file("big.grb"), text(big) + text(good));
    const std::vector<Decoded> d = decode_file(dir.file("big.grb"), false);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].next, 2100000);
}

TEST(GribFraming, EditionZeroEndsAtItsEndMarkerAndOtherMarkers) {
    TempDir dir;
    Pdb p;
    p.edition = 0;
    p.table = 0;
    p.grid = 21;
    p.flag = 0;
    std::vector<unsigned> v(36 * 37 + 1, 0x37); // packed '7' characters
    const Bytes e0 = make_product(0, {make_pdb(p), make_bdb(pack(v, 8), 8)});
    Pdb q;
    q.flag = 0;
    q.grid = 211;
    const Bytes e1 = make_product(1, {make_pdb(q), make_bdb({}, 0)});
    const std::string file = text(e0) + "\r\r\n" + text(e0) + text(e1) + "BUFR" +
                             std::string("\0\0\x20\x03", 4) + std::string(24, 'x');
    write_file(dir.file("e0.grb"), file);
    const std::vector<Decoded> d = decode_file(dir.file("e0.grb"));
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].version, 0);
    EXPECT_EQ(d[0].bdb, 1);
    EXPECT_EQ(d[0].values[0], float(0x37));
    EXPECT_EQ(d[0].next, long(e0.size() + 3));
    EXPECT_EQ(d[1].next, long(2 * e0.size() + 3));
    EXPECT_EQ(d[2].version, 1);
    EXPECT_EQ(d[2].bdb, 1);
    EXPECT_EQ(d[3].type, 'R');
    EXPECT_EQ(d[3].pdb, 0) << "not a GRIB product";
    EXPECT_EQ(d[3].next, long(file.size()));
}

TEST(GribFraming, StandardInputIsReadThroughACopy) {
    TempDir dir;
    make_fixtures(dir, "polar.grb1");
    const std::string bytes = read_file(dir.file("polar.grb1"));
    auto r = run_child(
        [&] {
            int type = 21;
            const int fd = GRD_open("-", 0, &type);
            if (fd < 0 || type != 21) return 1;
            int products = 0;
            while (GRIB_header(fd) == 1) {
                GRD_report g{};
                g.grid = nullptr;
                const bool ok = GRIB_PDB(fd, &g, 0) == 1 && GRIB_GDB(fd, &g) == 1 && GRIB_BMB(fd) == 1 &&
                                GRIB_BDB(fd, &g) == 1;
                std::free(g.grid);
                if (!ok) return 2;
                ++products;
                if (GRIB_next(fd, 1) < 0) break;
            }
            GRD_close(fd);
            return products == 2 ? 0 : 3;
        },
        {bytes});
    EXPECT_EQ(r.status, 0) << r.err;
}

// ---- Edition 2 --------------------------------------------------------------------------------

// One field of an edition 2 product, as the section walk left it.
struct Field {
    int ids = 0, gds = 0, pds = 0, drs = 0, bms = 0, ds = 0; // the last result of each decoder
    long product = -1;                                       // offset of the product's marker
    GRD_report rec{};
    std::vector<float> values;
};

// Walks the sections of every edition 2 product of a file as the grid reader
// does, one record carried through each product; a field per data section.
std::vector<Field> decode_fields(const std::string &path) {
    std::vector<Field> out;
    int type = 0;
    const int fd = GRD_open(path.c_str(), 0, &type);
    EXPECT_GE(fd, 0) << path;
    if (fd < 0) return out;
    for (int guard = 0; guard < 1000 && GRIB_header(fd) == 1; ++guard) {
        if (GRIB_get_version() == 2) {
            GRD_report r{};
            r.grid = nullptr;
            Field f;
            f.product = std::ftell(GRD_get_gfile(fd)->file) - 16;
            while (GRIB_read_section(fd) == 1) {
                switch (GRIB_get_sect()) {
                case 1:
                    f.ids = GRIB_IDS(fd, &r);
                    break;
                case 3:
                    f.gds = GRIB_GDS(fd, &r);
                    break;
                case 4:
                    f.pds = GRIB_PDS(fd, &r);
                    break;
                case 5:
                    f.drs = GRIB_DRS(fd, &r);
                    break;
                case 6:
                    f.bms = GRIB_BMS(fd);
                    break;
                case 7:
                    f.ds = GRIB_DS(fd, &r);
                    f.values.clear();
                    if (f.ds == 1 && r.grid != nullptr)
                        f.values.assign(r.grid, r.grid + std::size_t(r.domain.nx) * std::size_t(r.domain.ny));
                    f.rec = r;
                    f.rec.grid = nullptr;
                    out.push_back(f);
                    break;
                default:
                    GRIB_skip_section(fd);
                    break;
                }
            }
            std::free(r.grid);
        }
        if (GRIB_next(fd, 1) < 0) break;
    }
    GRD_close(fd);
    return out;
}

// ecCodes' view of each field: placement, values, date, time code, level.
struct FieldRef {
    Reference ref;
    bool new_grid = false;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    int time = 0, ltype = 0, level = 0;
};

std::vector<double> read_doubles(const std::string &file) {
    const std::string bytes = read_file(file);
    std::vector<double> v(bytes.size() / sizeof(double));
    std::memcpy(v.data(), bytes.data(), v.size() * sizeof(double));
    return v;
}

std::vector<FieldRef> eccodes_fields(const std::string &path) {
    TempDir dir;
    const auto m = zeqtest::named_numbers(run_ref("fields " + path + " " + dir.path()));
    std::vector<FieldRef> refs;
    for (int k = 0;; ++k) {
        const std::string n = std::to_string(k);
        auto it = m.find("f" + n);
        if (it == m.end() || it->second.size() != 11) break;
        const std::vector<double> &x = it->second;
        FieldRef r;
        r.ref.nx = int(x[0]);
        r.ref.ny = int(x[1]);
        r.new_grid = x[2] != 0.0;
        r.year = int(x[3]);
        r.month = int(x[4]);
        r.day = int(x[5]);
        r.hour = int(x[6]);
        r.minute = int(x[7]);
        r.time = int(x[8]);
        r.ltype = int(x[9]);
        r.level = int(x[10]);
        r.ref.v = read_doubles(dir.file("v" + n));
        if (r.new_grid) {
            r.ref.la = read_doubles(dir.file("la" + n));
            r.ref.lo = read_doubles(dir.file("lo" + n));
        } else if (!refs.empty()) {
            r.ref.la = refs.back().ref.la;
            r.ref.lo = refs.back().ref.lo;
        }
        refs.push_back(std::move(r));
    }
    return refs;
}

// Decodes every field of a file and compares it with ecCodes: values by
// position, the places of the grid's points (see expect_places), reference
// date, time code, level type and level.
void expect_match(const std::string &path, const std::vector<Field> &got, double per_degree,
                  bool anchor_south_west) {
    const std::vector<FieldRef> refs = eccodes_fields(path);
    ASSERT_FALSE(refs.empty()) << path;
    ASSERT_EQ(got.size(), refs.size()) << path;
    for (std::size_t k = 0; k < got.size(); ++k) {
        const std::string what = path + " field " + std::to_string(k);
        const Field &f = got[k];
        const FieldRef &r = refs[k];
        ASSERT_EQ(f.ds, 1) << what << " sections " << f.ids << f.gds << f.pds << f.drs << f.bms;
        expect_values(r.ref, f.values, what);
        if (r.new_grid) {
            const std::size_t anchor =
                anchor_south_west ? std::size_t(r.ref.ny - 1) * std::size_t(r.ref.nx) : 0;
            expect_places(r.ref, f.rec.domain, anchor, per_degree, what);
        }
        const Date &d = f.rec.date;
        EXPECT_EQ(std::vector<int>({d.year, d.month, d.day, d.hour, d.min}),
                  std::vector<int>({r.year, r.month, r.day, r.hour, r.minute}))
            << what;
        EXPECT_EQ(f.rec.time, r.time) << what;
        EXPECT_EQ(f.rec.ltype, r.ltype) << what;
        EXPECT_EQ(f.rec.level, r.level) << what;
        EXPECT_EQ(f.rec.version, 2) << what;
        if (::testing::Test::HasFailure()) return;
    }
}

void expect_fields_match(const std::string &path, double per_degree, bool anchor_south_west) {
    expect_match(path, decode_fields(path), per_degree, anchor_south_west);
}

TEST(GribEdition2Decode, LatitudeLongitudeFilesMatchEccodes) {
    // Complex packing with spatial differencing (multi-field products), simple
    // packing, thinned rows with 2-octet counts and a bit map.
    expect_fields_match(EXAMPLES + "gfs.grb", 0.0, false);
    expect_fields_match(EXAMPLES + "gfs.t12z.pgrbf120.2p5deg.grib2", 0.0, false);
    expect_fields_match(EXAMPLES + "regular_latlon_surface.grib2", 0.0, false);
    expect_fields_match(EXAMPLES + "reduced_latlon_surface.grib2", 0.0, false);
}

TEST(GribEdition2Decode, ProjectedFilesMatchEccodes) {
    // Lambert conformal (multi-field products; complex packing with missing
    // values and alternate rows) and polar stereographic grids on the earth
    // of 6371.229 km, placed from their south-west corner.
    expect_fields_match(EXAMPLES + "eta.grb", 1e-5, true);
    expect_fields_match(EXAMPLES + "ngm.grb", 1e-5, true);
    expect_fields_match(EXAMPLES + "ds.maxt.bin", 1e-5, true);
    // Mercator, second-order spatial differencing with missing values.
    expect_fields_match(EXAMPLES + "dspr.temp.bin", 1e-5, true);
}

TEST(GribEdition2Decode, WrittenFixturesMatchEccodes) {
    TempDir dir;
    make_fixtures(dir, "scan.grb2 packing.grb2 products.grb2 polar.grb2 merc.grb2 thin.grb2");
    // Every scanning mode, also alternate rows; simple and complex packing
    // with bit maps, decimal scaling and a constant field; the product
    // templates with their levels and times; projected and thinned grids.
    expect_fields_match(dir.file("scan.grb2"), 0.0, false);
    expect_fields_match(dir.file("packing.grb2"), 0.0, false);
    expect_fields_match(dir.file("products.grb2"), 0.0, false);
    expect_fields_match(dir.file("polar.grb2"), 1e-5, true);
    expect_fields_match(dir.file("merc.grb2"), 1e-5, true);
    expect_fields_match(dir.file("thin.grb2"), 0.0, false);

    // What each product template says of the field.
    const std::vector<Field> f = decode_fields(dir.file("products.grb2"));
    ASSERT_EQ(f.size(), 14u);
    struct Case {
        std::size_t k;
        const char *words;
    };
    const Case cases[] = {
        {5, "Ens[+4] "},      {6, " Ens mean "},   {7, " Ens std dev "}, {8, "Ens prob (%) "},
        {8, " below 273.20"}, {11, " above 0.25"}, {12, "Ens[-7] "},     {13, " Ens mean "},
    };
    for (const Case &c : cases)
        EXPECT_NE(std::string(f[c.k].rec.info).find(c.words), std::string::npos)
            << "field " << c.k << ": " << f[c.k].rec.info;
    for (std::size_t k : {0u, 1u, 9u, 10u})
        EXPECT_EQ(std::string(f[k].rec.info).find("Ens"), std::string::npos) << f[k].rec.info;
    EXPECT_EQ(f[5].rec.var, 19280000 + 3 * 20000 + 4 * 1000 + f[0].rec.var);
    EXPECT_STREQ(f[8].rec.units, "%");
    EXPECT_EQ(f[0].rec.model, f[5].rec.model);
}

// ---- Edition 2, hand-built products ---------------------------------------------------------

// An edition 2 section of len octets; set() puts an n-octet value at octet
// `at` (numbered from 1), add() appends octets.
struct Sec {
    Bytes b;
    Sec(int number, std::size_t len) : b(len, 0) {
        set(1, len, 4);
        b[4] = static_cast<unsigned char>(number);
    }
    Sec &set(std::size_t at, std::uint64_t v, int n = 1) {
        for (int i = 0; i < n; ++i)
            b[at - 1 + std::size_t(i)] = static_cast<unsigned char>(v >> (8 * (n - 1 - i)));
        return *this;
    }
    Sec &add(const Bytes &x) {
        b.insert(b.end(), x.begin(), x.end());
        return set(1, b.size(), 4);
    }
};

// 32-bit and 16-bit sign and magnitude.
std::uint64_t sm32(long v) {
    return v < 0 ? 0x80000000u | std::uint64_t(-v) : std::uint64_t(v);
}
std::uint64_t sm16(int v) {
    return v < 0 ? 0x8000u | std::uint64_t(-v) : std::uint64_t(v);
}

Bytes product2(const std::vector<Sec> &secs, int discipline = 0) {
    Bytes b = {'G', 'R', 'I', 'B', 0, 0, static_cast<unsigned char>(discipline), 2};
    put(b, 0, 8);
    for (const Sec &x : secs)
        b.insert(b.end(), x.b.begin(), x.b.end());
    b.insert(b.end(), {'7', '7', '7', '7'});
    for (int i = 0; i < 8; ++i)
        b[8 + std::size_t(i)] = static_cast<unsigned char>(b.size() >> (8 * (7 - i)));
    return b;
}

// Reference time 2024-01-05 12:30 from centre 7.
Sec ids2() {
    return Sec(1, 21).set(6, 7, 2).set(13, 2024, 2).set(15, 1).set(16, 5).set(17, 12).set(18, 30);
}

// A latitude-longitude grid, angles in millionths of a degree.
Sec latlon3(std::uint32_t nx, std::uint32_t ny, long la1, long lo1, long la2, long lo2, int scan = 0) {
    return Sec(3, 72)
        .set(7, std::uint64_t(nx) * ny, 4)
        .set(31, nx, 4)
        .set(35, ny, 4)
        .set(47, sm32(la1), 4)
        .set(51, sm32(lo1), 4)
        .set(56, sm32(la2), 4)
        .set(60, sm32(lo2), 4)
        .set(72, std::uint64_t(scan));
}

// A projected grid (template 20 or 30) of increments dx metres from its first point.
Sec cone3(int t, std::uint32_t nx, std::uint32_t ny, long la1, long lo1, long lov, long latin, int flag,
          std::uint32_t dx_m, int scan = 0x40) {
    Sec s(3, t == 30 ? 81 : 65);
    s.set(13, std::uint64_t(t), 2)
        .set(31, nx, 4)
        .set(35, ny, 4)
        .set(39, sm32(la1), 4)
        .set(43, sm32(lo1), 4)
        .set(48, sm32(latin), 4)
        .set(52, sm32(lov), 4)
        .set(56, std::uint64_t(dx_m) * 1000, 4)
        .set(60, std::uint64_t(dx_m) * 1000, 4)
        .set(64, std::uint64_t(flag))
        .set(65, std::uint64_t(scan));
    if (t == 30) s.set(66, sm32(latin), 4).set(70, sm32(latin), 4);
    return s;
}

// Product template t: temperature (0, 0, 0) from process 96 at 6 hours on
// the 500 hPa surface; the rest of the octets 0.
Sec pds2(int t, std::size_t len) {
    return Sec(4, len)
        .set(8, std::uint64_t(t), 2)
        .set(14, 96)
        .set(18, 1)
        .set(19, 6, 4)
        .set(23, 100)
        .set(25, 50000, 4)
        .set(29, 255)
        .set(30, 255)
        .set(31, 0xFFFFFFFFu, 4);
}

// Simple packing: n values of `bits` bits, reference r (IEEE), E and D.
Sec simple5(std::uint32_t n, float r, int bits, int e = 0, int d = 0) {
    std::uint32_t w;
    std::memcpy(&w, &r, 4);
    return Sec(5, 21)
        .set(6, n, 4)
        .set(12, w, 4)
        .set(16, sm16(e), 2)
        .set(18, sm16(d), 2)
        .set(20, std::uint64_t(bits));
}

// Complex packing (template 2, or 3 with order and descriptor octets), reference 0.
Sec complex5(std::uint32_t n, std::uint32_t groups, int gref_bits, int miss, int gwidth_ref, int gwidth_bits,
             std::uint32_t glen_ref, int glen_bits, std::uint32_t last_len, int order = 0, int octets = 0) {
    Sec s(5, order != 0 ? 49 : 47);
    s.set(6, n, 4)
        .set(10, order != 0 ? 3 : 2, 2)
        .set(20, std::uint64_t(gref_bits))
        .set(23, std::uint64_t(miss))
        .set(32, groups, 4)
        .set(36, std::uint64_t(gwidth_ref))
        .set(37, std::uint64_t(gwidth_bits))
        .set(38, glen_ref, 4)
        .set(42, 1)
        .set(43, last_len, 4)
        .set(47, std::uint64_t(glen_bits));
    if (order != 0) s.set(48, std::uint64_t(order)).set(49, std::uint64_t(octets));
    return s;
}

Sec bms6(int indicator, const Bytes &map = {}) {
    return Sec(6, 6).set(6, std::uint64_t(indicator)).add(map);
}

Sec ds7(const Bytes &packed) {
    return Sec(7, 5).add(packed);
}

// A 3 x 2 grid from (40 N, 0 E) to (30 N, 20 E).
Sec small3(int scan = 0) {
    return latlon3(3, 2, 40000000, 0, 30000000, 20000000, scan);
}

std::vector<Field> decode_bytes2(const Bytes &bytes) {
    TempDir dir;
    write_file(dir.file("p.grb2"), text(bytes));
    return decode_fields(dir.file("p.grb2"));
}

// The product of one field: grid g, product p, packing, bit map, data.
Bytes field2(const Sec &g, const Sec &p, const Sec &drs, const Sec &bms, const Sec &ds) {
    return product2({ids2(), g, p, drs, bms, ds});
}

TEST(GribEdition2Sections, SectionsAreReadWithinTheProduct) {
    const Sec data = ds7(pack({0, 1, 2, 3, 4, 5}, 4));
    const Bytes good = field2(small3(), pds2(0, 34), simple5(6, 10.0f, 4), bms6(255), data);
    const std::vector<Field> f = decode_bytes2(good);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].ids, 1);
    EXPECT_EQ(f[0].values, std::vector<float>({10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(GRIB_get_sect(), -1) << "the walk ends at the end marker";

    // A data section whose length runs past the product ends the walk.
    Sec longer = data;
    longer.set(1, 400, 4);
    Messages m;
    const Bytes bad = field2(small3(), pds2(0, 34), simple5(6, 10.0f, 4), bms6(255), longer);
    TempDir dir;
    write_file(dir.file("bad.grb2"), text(bad) + text(good));
    const std::vector<Field> g = decode_fields(dir.file("bad.grb2"));
    ASSERT_EQ(g.size(), 1u) << "the product after it is read";
    EXPECT_EQ(g[0].values, f[0].values);
    EXPECT_NE(m.text().find("GRIB_read_section: Section 7 of 400 octets does not fit the product: " +
                            dir.file("bad.grb2")),
              std::string::npos)
        << m.text();
}

TEST(GribEdition2Grid, DomainsAndGridNumbers) {
    struct Case {
        const char *what;
        Sec grid;
        float clat, clon, dx, dy;
        int nx, ny, type;
    };
    const Case cases[] = {
        {"global 0.5 degree", latlon3(720, 361, 90000000, 0, -90000000, 359500000), 0.0f, 179.75f, 0.5f, 0.5f,
         720, 361, 9007205},
        {"across the meridian", latlon3(21, 11, 10000000, 350000000, 0, 10000000), 5.0f, 0.0f, 1.0f, 1.0f, 21,
         11, 1350210},
        {"east to west", latlon3(21, 11, 10000000, 10000000, 0, 350000000, 0x80), 5.0f, 0.0f, 1.0f, 1.0f, 21,
         11, 1010370},
        {"southern, west of Greenwich", latlon3(11, 6, -10000000, -20000000, -15000000, -10000000), -12.5f,
         -15.0f, 1.0f, 1.0f, 11, 6, 1000000 + 70 * 10000 + 100 + 10},
    };
    for (const Case &c : cases) {
        const Sec data = ds7({});
        const std::vector<Field> f = decode_bytes2(
            field2(c.grid, pds2(0, 34), simple5(std::uint32_t(c.nx * c.ny), 1.0f, 0), bms6(255), data));
        ASSERT_EQ(f.size(), 1u) << c.what;
        const Domain &d = f[0].rec.domain;
        EXPECT_EQ(f[0].gds, 1) << c.what;
        EXPECT_EQ(d.proj, 2) << c.what;
        EXPECT_NEAR(d.clat, c.clat, 1e-4) << c.what;
        EXPECT_NEAR(d.clon, c.clon, 1e-4) << c.what;
        EXPECT_NEAR(d.dx, c.dx, 1e-6) << c.what;
        EXPECT_NEAR(d.dy, c.dy, 1e-6) << c.what;
        EXPECT_EQ(d.nx, c.nx) << c.what;
        EXPECT_EQ(d.ny, c.ny) << c.what;
        EXPECT_EQ(f[0].rec.type, c.type) << c.what;
    }

    // Projected grids: the first point (south-west, rows running north) lies
    // where the section says, whether the columns are odd or even in number.
    struct Cone {
        int t, nx, flag;
        long la1, lo1, lov, latin;
    };
    for (const Cone &c : {Cone{30, 1799, 0, 21138123, 237280472, 262500000, 38500000},
                          Cone{30, 1800, 0, 21138123, 237280472, 262500000, 38500000},
                          Cone{20, 41, 0, 25000000, 240000000, 260000000, 60000000},
                          Cone{20, 41, 0x80, -25000000, 240000000, 260000000, -60000000}}) {
        const int ny = 30;
        const std::vector<Field> f = decode_bytes2(
            field2(cone3(c.t, std::uint32_t(c.nx), ny, c.la1, c.lo1, c.lov, c.latin, c.flag, 3000),
                   pds2(0, 34), simple5(0, 1.0f, 0), bms6(255), ds7({})));
        ASSERT_EQ(f.size(), 1u);
        const Domain &d = f[0].rec.domain;
        const std::string what = "template 3." + std::to_string(c.t) + " nx " + std::to_string(c.nx);
        EXPECT_EQ(d.proj, c.t == 30 ? 4 : 1) << what;
        EXPECT_FLOAT_EQ(d.plat, c.flag != 0 ? -90.0f : 90.0f) << what;
        EXPECT_FLOAT_EQ(d.plon, float(c.lov) * 1e-6f - 360.0f) << what;
        EXPECT_FLOAT_EQ(d.dx, 0.03f) << what;
        Domain saved;
        MAP_get_domain(&saved);
        MAP_domain(&d);
        float x, y, lat, lon;
        MAP_grid_tran(0.0f, float(ny - 1), &x, &y);
        MAP_untran(x, y, &lat, &lon);
        MAP_domain(&saved);
        EXPECT_NEAR(lat, float(c.la1) * 1e-6f, 1e-4) << what;
        EXPECT_NEAR(lon, float(c.lo1) * 1e-6f - 360.0f, 1e-4) << what;
    }
}

TEST(GribEdition2Grid, RefusedGrids) {
    Sec thin = latlon3(0, 3, 60000000, 0, 40000000, 90000000);
    thin.set(31, 0xFFFFFFFFu, 4); // thinned, but no point counts
    Sec shortl = cone3(30, 10, 10, 0, 0, 0, 30000000, 0, 3000);
    shortl.b.resize(72);
    shortl.set(1, 72, 4);
    Sec gauss(3, 72);
    gauss.set(13, 40, 2).set(31, 192, 4).set(35, 94, 4);
    struct Case {
        std::string file;
        Bytes bytes;
        const char *reason;
    };
    const Case cases[] = {
        {EXAMPLES + "flux.grb", {}, "Grid template 3.40 is not supported"},
        {EXAMPLES + "ds.waveh.bin", {}, "Grid of 2517 columns is larger than supported"},
        {"gauss", field2(gauss, pds2(0, 34), simple5(0, 0, 0), bms6(255), ds7({})),
         "Grid template 3.40 is not supported"},
        {"rows", field2(latlon3(10, 10001, 0, 0, 0, 0), pds2(0, 34), simple5(0, 0, 0), bms6(255), ds7({})),
         "Grid of 10001 rows is larger than supported"},
        {"columns", field2(latlon3(10001, 10, 0, 0, 0, 0), pds2(0, 34), simple5(0, 0, 0), bms6(255), ds7({})),
         "Grid of 10001 columns is larger than supported"},
        {"lambert",
         field2(cone3(30, 2001, 10, 0, 0, 0, 30000000, 0, 3000), pds2(0, 34), simple5(0, 0, 0), bms6(255),
                ds7({})),
         "Grid of 2001 columns is larger than supported"},
        {"short", field2(shortl, pds2(0, 34), simple5(0, 0, 0), bms6(255), ds7({})),
         "Grid definition section of 72 octets is too short for template 3.30"},
        {"thin", field2(thin, pds2(0, 34), simple5(0, 0, 0), bms6(255), ds7({})),
         "Rows of varying length without their point counts"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        std::string file = c.file;
        if (!c.bytes.empty()) {
            file = dir.file(c.file + ".grb2");
            write_file(file, text(c.bytes));
        }
        Messages m;
        const std::vector<Field> f = decode_fields(file);
        ASSERT_FALSE(f.empty()) << file;
        EXPECT_EQ(f[0].gds, 0) << file;
        EXPECT_EQ(f[0].ds, 0) << file;
        EXPECT_EQ(f[0].rec.domain.nx == MISSING || f[0].rec.domain.nx == 0, true) << file;
        const std::string mess = m.text();
        EXPECT_NE(mess.find(std::string("GRIB_GDS: ") + c.reason + ": " + file), std::string::npos) << mess;
        EXPECT_NE(mess.find("GRIB_DS: Field without a grid: " + file), std::string::npos) << mess;
    }
}

TEST(GribEdition2Product, LevelsAndTimeCodes) {
    struct Case {
        const char *what;
        Sec pds;
        int ltype, level, time;
    };
    // The end of the overall interval 312 hours after the reference time.
    Sec long_range = pds2(8, 58).set(47, 255).set(49, 1).set(50, 300, 4);
    long_range.set(35, 2024, 2).set(37, 1).set(38, 18).set(39, 12).set(40, 30);
    const Case cases[] = {
        {"isobaric", pds2(0, 34), 100, 500, 6},
        {"isobaric, scale -1", pds2(0, 34).set(24, 0x81).set(25, 5000, 4), 100, 500, 6},
        {"isobaric layer", pds2(0, 34).set(29, 100).set(30, 0).set(31, 30000, 4), 101, 50030, 6},
        {"2.5 m", pds2(0, 34).set(23, 103).set(24, 1).set(25, 25, 4), 105, 3, 6},
        {"2.5 m, time range",
         pds2(8, 58).set(23, 103).set(24, 1).set(25, 25, 4).set(47, 1).set(49, 1).set(50, 6, 4), 105, 2,
         4006012},
        {"sigma 0.995", pds2(0, 34).set(23, 104).set(24, 4).set(25, 9950, 4), 107, 9950, 6},
        {"sigma 0.995, member", pds2(11, 61).set(23, 104).set(24, 4).set(25, 9950, 4).set(50, 3).set(52, 1),
         107, 9950, 7006006},
        {"eta 5, member", pds2(11, 61).set(23, 111).set(25, 5, 4).set(50, 255), 119, 5, 2006006},
        {"altitude layer, own scales",
         pds2(0, 34).set(23, 102).set(25, 1500, 4).set(29, 102).set(30, 0x82).set(31, 5, 4), 104, 15005, 6},
        {"-2 PVU", pds2(0, 34).set(23, 109).set(24, 9).set(25, sm32(-2000), 4), 117, -2, 6},
        {"height missing", pds2(0, 34).set(23, 103).set(24, 0xFF).set(25, 0xFFFFFFFFu, 4), 105, MISSING, 6},
        {"mean sea level", pds2(0, 34).set(23, 101), 102, 0, 6},
        {"3-hour steps", pds2(8, 58).set(18, 10).set(47, 1).set(49, 10).set(50, 6, 4), 100, 500, 4018036},
        {"6-hour steps", pds2(0, 34).set(18, 11).set(19, 2, 4), 100, 500, 12},
        {"missing process, long range", long_range, 100, 500, 2006312},
        {"days, probability", pds2(9, 71).set(18, 2).set(60, 1).set(62, 2).set(63, 6, 4), 100, 500, 4806812},
        {"maximum, derived", pds2(12, 60).set(49, 2).set(51, 1).set(52, 24, 4), 100, 500, 6006030},
        {"local 50008", Sec(4, 11).set(8, 50008, 2), 1, 0, 0},
    };
    for (const Case &c : cases) {
        const std::vector<Field> f = decode_bytes2(
            field2(small3(), c.pds, simple5(6, 10.0f, 4), bms6(255), ds7(pack(counting(6, 6), 4))));
        ASSERT_EQ(f.size(), 1u) << c.what;
        EXPECT_EQ(f[0].pds, 1) << c.what;
        EXPECT_EQ(f[0].rec.ltype, c.ltype) << c.what;
        EXPECT_EQ(f[0].rec.level, c.level) << c.what;
        EXPECT_EQ(f[0].rec.time, c.time) << c.what;
    }
}

TEST(GribEdition2Product, EnsembleAndProbabilityState) {
    const int temp = VAR_search_var_num("temp");
    ASSERT_GT(temp, 0);
    struct Case {
        const char *what;
        Sec pds;
        int var;
        const char *units;
        std::vector<const char *> words, absent;
    };
    // One product after the other: nothing of a product's state reaches the next.
    const Case cases[] = {
        {"member", pds2(1, 37).set(35, 3).set(36, 4), 19344000 + temp, "K", {" Ens[+4] "}, {}},
        {"plain after a member", pds2(0, 34), temp, "K", {}, {"Ens"}},
        {"member of an unknown kind", pds2(1, 37).set(35, 192).set(36, 2), 19282000 + temp, "K", {}, {"Ens"}},
        {"unweighted mean", pds2(2, 36).set(35, 0), 19000000 + temp, "K", {" Ens mean "}, {}},
        {"spread", pds2(12, 60).set(35, 2).set(49, 255), 19001000 + temp, "K", {" Ens std dev "}, {}},
        {"unknown derived product", pds2(2, 36).set(35, 5), temp, "K", {}, {"Ens"}},
        {"probability below 273.2",
         pds2(5, 47).set(12, 2).set(37, 0).set(38, 1).set(39, 2732, 4),
         1910000000 + temp * 10000 + 1000 + 227,
         "%",
         {" Ens prob (%) ", " below 273.20"},
         {}},
        {"probability of an unknown kind",
         pds2(9, 71).set(12, 7).set(37, 0).set(38, 1).set(39, 2732, 4),
         1910000000 + temp * 10000,
         "%",
         {" Ens prob (%) "},
         {"below", "above", " in "}},
        {"probability above",
         pds2(9, 71).set(12, 5).set(37, 1).set(43, 0x82).set(44, 3, 4).set(60, 1),
         1910000000 + temp * 10000 + 5000 + 230,
         "%",
         {" Prob (%) ", " above 300.00"},
         {}},
    };
    TempDir dir;
    std::string bytes;
    for (const Case &c : cases)
        bytes += text(field2(small3(), c.pds, simple5(6, 10.0f, 4), bms6(255), ds7(pack(counting(6, 6), 4))));
    write_file(dir.file("ens.grb2"), bytes);
    const std::vector<Field> f = decode_fields(dir.file("ens.grb2"));
    ASSERT_EQ(f.size(), std::size(cases));
    for (std::size_t k = 0; k < f.size(); ++k) {
        const Case &c = cases[k];
        const std::string info = f[k].rec.info;
        EXPECT_EQ(f[k].rec.var, c.var) << c.what;
        EXPECT_STREQ(f[k].rec.units, c.units) << c.what;
        for (const char *w : c.words)
            EXPECT_NE(info.find(w), std::string::npos) << c.what << ": " << info;
        for (const char *w : c.absent)
            EXPECT_EQ(info.find(w), std::string::npos) << c.what << ": " << info;
    }

    // A template that is not supported says nothing of the field.
    Messages m;
    const std::vector<Field> u = decode_bytes2(
        field2(small3(), pds2(15, 40), simple5(6, 10.0f, 4), bms6(255), ds7(pack(counting(6, 6), 4))));
    ASSERT_EQ(u.size(), 1u);
    const GRD_report &r = u[0].rec;
    EXPECT_EQ(std::vector<int>({r.var, r.ltype, r.level, r.time, r.model}), std::vector<int>(5, MISSING));
    EXPECT_EQ(u[0].ds, 1) << "the values are still read";
    EXPECT_NE(m.text().find("GRIB_PDS: Product template 4.15 is not supported"), std::string::npos)
        << m.text();
}

TEST(GribEdition2Table, ParameterRows) {
    TempDir dir;
    write_file(dir.file("variable.lup"), read_file(std::string(ZEQ_SOURCE_DIR) + "/data/variable.lup"));
    write_file(dir.file("grib2_var.lup"), "# centre discipline category number name units long name\n"
                                          "0   0   0   0   temp   K        Temperature\n"
                                          "7   0   1   8   apcp   kg/m^2   Total precipitation\n"
                                          "0   0   3   0   zzzz   Pa       A name no variable has\n"
                                          "\n"
                                          "0   0   2   2   uwnd   m/s      After the end of the table\n");
    RES_put("file_path", dir.path().c_str());
    struct Case {
        int src, disc, cat, param;
        int ind;
        const char *units;
    };
    const Case cases[] = {
        {7, 0, 0, 0, VAR_search_var_num("temp"), "K"},
        {98, 0, 0, 0, VAR_search_var_num("temp"), "K"},
        {7, 0, 1, 8, VAR_search_var_num("apcp"), "kg/m^2"},
        {98, 0, 1, 8, 1008, ""},
        {7, 0, 3, 0, 3000, "Pa"},
        {7, 0, 2, 2, 2002, ""},
        {7, 10, 0, 3, 10000003, ""},
    };
    for (const Case &c : cases) {
        const GribParam p = GRIB_get_ver2_param(c.src, c.disc, c.cat, c.param);
        EXPECT_EQ(p.ind, c.ind) << c.src << " " << c.disc << " " << c.cat << " " << c.param;
        EXPECT_STREQ(p.units, c.units) << c.src << " " << c.disc << " " << c.cat << " " << c.param;
    }
    EXPECT_GT(VAR_search_var_num("apcp"), 0);
    std::remove(dir.file("grib2_var.lup").c_str());
    const GribParam none = GRIB_get_ver2_param(7, 0, 0, 0);
    EXPECT_EQ(none.ind, MISSING);
    EXPECT_STREQ(none.units, "");
}

TEST(GribEdition2Table, GeneratedTableNamesTheEtaFields) {
    // eta.grb's fields 1 and 9 to 12 (ecCodes: prmsl, 2t, 2r, 10u, 10v).
    const std::vector<Field> f = decode_fields(EXAMPLES + "eta.grb");
    ASSERT_GT(f.size(), 12u);
    const std::pair<std::size_t, const char *> names[] = {
        {1, "pmsl"}, {9, "temp"}, {10, "rhum"}, {11, "uwnd"}, {12, "vwnd"}};
    for (const auto &[k, name] : names) {
        EXPECT_GT(VAR_search_var_num(name), 0) << name;
        EXPECT_EQ(f[k].rec.var, VAR_search_var_num(name)) << name << ": " << f[k].rec.info;
    }
    EXPECT_STREQ(f[9].rec.units, "K");
    EXPECT_STREQ(f[11].rec.units, "m/s");
    EXPECT_EQ(f[9].rec.ltype, 105);
    EXPECT_EQ(f[9].rec.level, 2);
}

TEST(GribEdition2Data, PlacementAndPacking) {
    const float M = FMISSING;
    const Bytes six = pack({0, 1, 2, 3, 4, 5}, 4);
    struct Case {
        const char *what;
        Bytes product;
        std::vector<float> want;
    };
    // Complex packing: one group of 2-bit values after the descriptors H1,
    // H2 (order 2) and the minimum of the differences, two octets each.
    Bytes order2 = {0, 10, 0, 12, 0x80, 0x01};
    const Bytes v2 = pack({0, 0, 2, 3, 0, 3}, 2);
    order2.insert(order2.end(), v2.begin(), v2.end());
    Bytes order1 = {10, 2};
    const Bytes v1 = pack({0, 0, 1, 3, 2, 4}, 3);
    order1.insert(order1.end(), v1.begin(), v1.end());
    // Missing values: group references (4 bits) 15 or 14 and 1, widths 0 and
    // 3 (2 bits), three points each; then the 3-bit values of group 2.
    auto missing = [&](int kind, unsigned first_ref, std::vector<unsigned> vals) {
        Bytes b = pack({first_ref, 1}, 4);
        const Bytes w = pack({0, 3}, 2), v = pack(vals, 3);
        b.insert(b.end(), w.begin(), w.end());
        b.insert(b.end(), v.begin(), v.end());
        return field2(small3(), pds2(0, 34), complex5(6, 2, 4, kind, 0, 2, 3, 0, 3), bms6(255), ds7(b));
    };
    const Case cases[] = {
        {"rows from the north",
         field2(small3(0x00), pds2(0, 34), simple5(6, 10, 4), bms6(255), ds7(six)),
         {10, 11, 12, 13, 14, 15}},
        {"rows from the south",
         field2(small3(0x40), pds2(0, 34), simple5(6, 10, 4), bms6(255), ds7(six)),
         {13, 14, 15, 10, 11, 12}},
        {"alternate rows",
         field2(small3(0x10), pds2(0, 34), simple5(6, 10, 4), bms6(255), ds7(six)),
         {10, 11, 12, 15, 14, 13}},
        {"points from the east",
         field2(small3(0x80), pds2(0, 34), simple5(6, 10, 4), bms6(255), ds7(six)),
         {12, 11, 10, 15, 14, 13}},
        {"columns",
         field2(small3(0x20), pds2(0, 34), simple5(6, 10, 4), bms6(255), ds7(six)),
         {10, 12, 14, 11, 13, 15}},
        {"bit map",
         field2(small3(), pds2(0, 34), simple5(4, 0, 4), bms6(0, {0xB4}), ds7(pack({1, 2, 3, 4}, 4))),
         {1, M, 2, 3, M, 4}},
        {"no bits",
         field2(small3(), pds2(0, 34), simple5(6, 7.5f, 0, 0, 1), bms6(255), ds7({})),
         {0.75f, 0.75f, 0.75f, 0.75f, 0.75f, 0.75f}},
        {"scaled",
         field2(small3(), pds2(0, 34), simple5(6, 10, 4, -1, -1), bms6(255), ds7(six)),
         {100, 105, 110, 115, 120, 125}},
        {"short data",
         field2(small3(), pds2(0, 34), simple5(6, 10, 8), bms6(255), ds7({0, 1, 2, 3})),
         {10, 11, 12, 13, M, M}},
        {"more values than points",
         field2(small3(), pds2(0, 34), simple5(100, 10, 8), bms6(255), ds7(Bytes(100, 1))),
         {11, 11, 11, 11, 11, 11}},
        {"second-order differences",
         field2(small3(), pds2(0, 34), complex5(6, 1, 0, 0, 2, 0, 0, 0, 6, 2, 2), bms6(255), ds7(order2)),
         {10, 12, 15, 20, 24, 30}},
        {"first-order differences",
         field2(small3(), pds2(0, 34), complex5(6, 1, 0, 0, 3, 0, 0, 0, 6, 1, 1), bms6(255), ds7(order1)),
         {10, 12, 15, 20, 24, 30}},
        {"primary missing values", missing(1, 15, {7, 2, 0}), {M, M, M, M, 3, 1}},
        {"secondary missing values", missing(2, 14, {6, 7, 1}), {M, M, M, M, M, 2}},
        {"groups beyond the values", missing(0, 15, {7, 2, 0}), {15, 15, 15, 8, 3, 1}},
        {"no groups",
         field2(small3(), pds2(0, 34), complex5(6, 0, 0, 0, 0, 0, 0, 0, 0).set(12, 0x40A00000u, 4), bms6(255),
                ds7({})),
         {5, 5, 5, 5, 5, 5}},
    };
    for (const Case &c : cases) {
        Messages m;
        const std::vector<Field> f = decode_bytes2(c.product);
        ASSERT_EQ(f.size(), 1u) << c.what;
        EXPECT_EQ(f[0].ds, 1) << c.what;
        EXPECT_EQ(f[0].values, c.want) << c.what;
        const bool short_data = std::string(c.what) == "short data";
        EXPECT_EQ(m.text().find("GRIB_DS: Data end before 2 points, set to -9999") != std::string::npos,
                  short_data)
            << c.what << ": " << m.text();
    }

    // Thinned rows of 2 and 3 points over 3 columns; the bit map leaves the
    // second point of the first row out.
    Sec thin = latlon3(0, 2, 40000000, 0, 30000000, 20000000);
    thin.set(11, 1).set(12, 1).set(31, 0xFFFFFFFFu, 4).add({2, 3});
    const std::vector<Field> t = decode_bytes2(
        field2(thin, pds2(0, 34), simple5(4, 0, 4), bms6(0, {0xB8}), ds7(pack({4, 1, 2, 3}, 4))));
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].rec.domain.nx, 3);
    EXPECT_EQ(t[0].values, std::vector<float>({4, M, M, 1, 2, 3}));
}

TEST(GribEdition2Data, GridsAndBitMapsOfTheSameProductOnly) {
    // Two fields in one product, the second using the first one's map again;
    // then a product whose only field points back to a map it does not have,
    // one with a predefined map, and one without a grid of its own.
    const Bytes two = product2({ids2(), small3(), pds2(0, 34), simple5(4, 0, 4), bms6(0, {0xB4}),
                                ds7(pack({1, 2, 3, 4}, 4)), pds2(0, 34), simple5(4, 10, 4), bms6(254),
                                ds7(pack({1, 2, 3, 4}, 4))});
    const Bytes lone = field2(small3(), pds2(0, 34), simple5(4, 0, 4), bms6(254), ds7(pack({1, 2, 3, 4}, 4)));
    const Bytes predefined =
        field2(small3(), pds2(0, 34), simple5(4, 0, 4), bms6(3), ds7(pack({1, 2, 3, 4}, 4)));
    const Bytes gridless =
        product2({ids2(), pds2(0, 34), simple5(4, 0, 4), bms6(255), ds7(pack({1, 2, 3, 4}, 4))});
    TempDir dir;
    write_file(dir.file("maps.grb2"), text(two) + text(lone) + text(predefined) + text(gridless));
    Messages m;
    const std::vector<Field> f = decode_fields(dir.file("maps.grb2"));
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[4].ds, 0);
    const float M = FMISSING;
    EXPECT_EQ(f[0].values, std::vector<float>({1, M, 2, 3, M, 4}));
    EXPECT_EQ(f[1].bms, 1);
    EXPECT_EQ(f[1].values, std::vector<float>({11, M, 12, 13, M, 14}));
    EXPECT_EQ(f[1].product, f[0].product);
    for (std::size_t k : {2u, 3u}) {
        EXPECT_EQ(f[k].bms, -1) << k;
        EXPECT_EQ(f[k].ds, 0) << k;
    }
    const std::string mess = m.text();
    EXPECT_NE(mess.find("GRIB_BMS: No earlier bit map in the product to use again: " + dir.file("maps.grb2")),
              std::string::npos)
        << mess;
    EXPECT_NE(mess.find("GRIB_BMS: Predefined bit map 3 is not supported"), std::string::npos) << mess;
    EXPECT_NE(mess.find("GRIB_DS: Field without a grid"), std::string::npos) << mess;
}

TEST(GribEdition2Data, RefusedPackings) {
    struct Case {
        Sec drs;
        const char *reason;
    };
    const Case cases[] = {
        {complex5(6, 1, 0, 0, 2, 0, 0, 0, 6, 1, 4), "Extra descriptors of 4 octets are not supported"},
        {complex5(6, 1, 0, 0, 2, 0, 0, 0, 6, 3, 2), "Spatial differencing of order 3 is not supported"},
        {Sec(5, 23).set(6, 6, 4).set(10, 40, 2), "jpc_decode error"},
        {Sec(5, 17).set(6, 6, 4).set(10, 200, 2), "0 bits per run-length value"},
        {Sec(5, 21).set(6, 6, 4).set(10, 4, 2), "Data template 5.4 is not supported"},
        {simple5(6, 0, 33), "33 bits per value"},
        {complex5(6, 7, 0, 0, 2, 0, 0, 0, 6), "7 groups for 6 values"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        write_file(dir.file("p.grb2"),
                   text(field2(small3(), pds2(0, 34), c.drs, bms6(255), ds7(Bytes(20, 0x55)))));
        Messages m;
        const std::vector<Field> f = decode_fields(dir.file("p.grb2"));
        ASSERT_EQ(f.size(), 1u) << c.reason;
        EXPECT_EQ(f[0].ds, 0) << c.reason;
        EXPECT_NE(m.text().find(std::string("GRIB_DS: ") + c.reason + ": " + dir.file("p.grb2")),
                  std::string::npos)
            << m.text();
    }
}

} // namespace

// ---- Grid reading through the grid file table ---------------------------------------------------

// One grid as GRD_read gave it.
struct GridRead {
    int rc = -1;
    int num = -1;
    GRD_report rec{};
    std::vector<float> values;
};

// A GRIB file opened through the grid file table (with an index file when
// one is named) and its header read.
struct GribFile {
    int fd = -1;
    GRD_info info{};
    explicit GribFile(const std::string &path, const std::string &index = "") {
        int type = 0;
        fd = GRD_open(path.c_str(), 0, &type);
        EXPECT_GE(fd, 0) << path;
        EXPECT_EQ(type, 21) << path;
        if (fd < 0) return;
        if (!index.empty()) {
            EXPECT_EQ(GRD_hdr_open(fd, index.c_str()), 0) << index;
        }
        EXPECT_EQ(GRD_getinfo(fd, &info), 0) << path;
    }
    ~GribFile() {
        if (fd >= 0) GRD_close(fd);
    }
    GribFile(const GribFile &) = delete;
    GribFile &operator=(const GribFile &) = delete;

    GridRead read(int n, int rep_type = 0) const {
        GridRead g;
        g.rec.grid = nullptr;
        g.num = n;
        g.rc = GRD_read(fd, &g.rec, rep_type, &g.num);
        if (g.rc == 0 && g.rec.grid != nullptr)
            g.values.assign(g.rec.grid,
                            g.rec.grid + std::size_t(g.rec.domain.nx) * std::size_t(g.rec.domain.ny));
        if (g.rc != 0) {
            EXPECT_EQ(g.rec.grid, nullptr) << "grid " << n;
        }
        std::free(g.rec.grid);
        g.rec.grid = nullptr;
        return g;
    }
    // Grids 0, 1, ... up to the first -1.
    std::vector<GridRead> all(int rep_type = 0) const {
        std::vector<GridRead> out;
        for (int n = 0; n < 2000; ++n) {
            GridRead g = read(n, rep_type);
            if (g.rc < 0) break;
            EXPECT_EQ(g.num, n);
            out.push_back(std::move(g));
        }
        return out;
    }
};

std::vector<Field> as_fields(const std::vector<GridRead> &grids) {
    std::vector<Field> out;
    for (const GridRead &g : grids) {
        Field f;
        f.ds = g.rc == 0 ? 1 : 0;
        f.rec = g.rec;
        f.values = g.values;
        out.push_back(f);
    }
    return out;
}

// Every grid of an edition 2 file through GRD_read equals ecCodes' field of
// the same number.
void expect_grids_match(const std::string &path, double per_degree, bool anchor_south_west) {
    GribFile f(path);
    expect_match(path, as_fields(f.all()), per_degree, anchor_south_west);
}

bool same_header(const GRD_report &a, const GRD_report &b) {
    return a.source == b.source && a.model == b.model && a.type == b.type && a.time == b.time &&
           a.ltype == b.ltype && a.level == b.level && a.var == b.var;
}

std::string keys(const GRD_report &r) {
    return std::to_string(r.source) + " " + std::to_string(r.model) + " " + std::to_string(r.type) + " " +
           std::to_string(r.time) + " " + std::to_string(r.ltype) + " " + std::to_string(r.level) + " " +
           std::to_string(r.var);
}

TEST(GribGridReading, EveryGridOfEveryEditionMatchesEccodes) {
    // Multi-field products are numbered field by field, as ecCodes counts.
    expect_grids_match(EXAMPLES + "gfs.grb", 0.0, false);
    expect_grids_match(EXAMPLES + "eta.grb", 1e-5, true);
    expect_grids_match(EXAMPLES + "ds.maxt.bin", 1e-5, true);

    TempDir dir;
    make_fixtures(dir, "eta_pl.grb1");
    const std::string ed1 = dir.file("eta_pl.grb1");
    const std::vector<Reference> refs = eccodes_reference(ed1);
    GribFile f(ed1);
    const std::vector<GridRead> got = f.all();
    ASSERT_EQ(got.size(), refs.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        ASSERT_EQ(got[k].rc, 0) << k;
        EXPECT_EQ(got[k].rec.version, 1);
        expect_values(refs[k], got[k].values, "edition 1 grid " + std::to_string(k));
    }
    expect_places(refs[0], got[0].rec.domain, std::size_t(refs[0].ny - 1) * std::size_t(refs[0].nx), 1e-3,
                  "edition 1 grid 0");
    EXPECT_EQ(std::vector<int>({f.info.date.year, f.info.date.month, f.info.date.day, f.info.date.hour}),
              std::vector<int>({2004, 12, 8, 12}));
    EXPECT_EQ(GRD_get_gfile(f.fd)->grid, 1);
    EXPECT_NE(std::string(f.info.datim).find("DEC"), std::string::npos) << f.info.datim;
}

TEST(GribGridReading, RequestsInAnyOrderReadTheGridAskedFor) {
    // gfs.grb: u and v share a product; eta.grb: edition 2, one field each.
    for (const std::string &path : {EXAMPLES + "gfs.grb", EXAMPLES + "eta.grb"}) {
        GribFile seq(path);
        const std::vector<GridRead> all = seq.all();
        ASSERT_GT(all.size(), 20u);
        GribFile f(path);
        for (int n : {4, 3, 3, 17, 0, 5, 4, 19, 2}) {
            const GridRead h = f.read(n, 1);
            const GridRead g = f.read(n, 0);
            ASSERT_EQ(h.rc, 0) << path << " " << n;
            ASSERT_EQ(g.rc, 0) << path << " " << n;
            EXPECT_TRUE(same_header(h.rec, g.rec)) << n << ": " << keys(h.rec) << " / " << keys(g.rec);
            EXPECT_TRUE(same_header(g.rec, all[std::size_t(n)].rec)) << n;
            EXPECT_EQ(h.rec.domain.nx, g.rec.domain.nx);
            EXPECT_EQ(g.values, all[std::size_t(n)].values) << path << " grid " << n;
        }
        // Past the last grid, and back.
        EXPECT_EQ(f.read(int(all.size())).rc, -1);
        EXPECT_EQ(f.read(1).values, all[1].values);
    }
}

// An index line per grid: the offset ecCodes gives and the keys in one of
// the two forms (letter items or model, grid, time, level type, level and
// parameter after '/', the first form with the source before a colon).
std::string make_index(const std::string &path, bool letters, std::vector<long> *offsets = nullptr) {
    // Keys an edition 2 product lacks are 0.
    const std::string out = zeqtest::run_command(
        "grib_get -f -p offset,centre:i,generatingProcessIdentifier:i,gridDefinition:i,P1:i,"
        "indicatorOfTypeOfLevel:i,level:i,indicatorOfParameter:i " +
        path);
    std::string index;
    for (const std::string &line : zeqtest::text_lines(out)) {
        std::istringstream in(line);
        std::vector<long> v;
        std::string word;
        while (in >> word)
            v.push_back(std::atol(word.c_str()));
        if (v.size() != 8) continue;
        char buf[200];
        if (letters)
            std::snprintf(buf, sizeof buf, "%ld KWBC 081200 / GRIB1 S%ld M%ld G%ld T%ld L%ld H%ld V%ld end\n",
                          v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        else
            std::snprintf(buf, sizeof buf, "%ld KWBC 081200 /%ld:%ld %ld %ld %ld %ld %ld\n", v[0], v[1], v[2],
                          v[3], v[4], v[5], v[6], v[7]);
        index += buf;
        if (offsets != nullptr) offsets->push_back(v[0]);
    }
    return index;
}

TEST(GribGridReading, IndexFilesGiveKeysAndOffsets) {
    TempDir dir;
    make_fixtures(dir, "eta_pl.grb1");
    const std::string grb = dir.file("eta_pl.grb1");
    std::vector<GridRead> plain_headers, plain;
    {
        GribFile f(grb);
        plain_headers = f.all(1);
        plain = f.all(0);
    }
    ASSERT_GT(plain.size(), 40u);
    for (bool letters : {true, false}) {
        const std::string index = dir.file(letters ? "letters.idx" : "numbers.idx");
        write_file(index, make_index(grb, letters));
        GribFile f(grb, index);
        const std::vector<GridRead> h = f.all(1);
        ASSERT_EQ(h.size(), plain.size()) << index;
        for (std::size_t k = 0; k < h.size(); ++k) {
            EXPECT_TRUE(same_header(h[k].rec, plain_headers[k].rec))
                << index << " " << k << ": " << keys(h[k].rec) << " / " << keys(plain_headers[k].rec);
            EXPECT_EQ(h[k].rec.domain.proj, MISSING); // grid 255 is not a predefined grid
        }
        // Forward, backward and repeated full reads.
        for (int n : {7, 8, 8, 2, 30, 0, 41}) {
            const GridRead g = f.read(n);
            ASSERT_EQ(g.rc, 0) << n;
            EXPECT_EQ(g.num, n);
            EXPECT_EQ(g.values, plain[std::size_t(n)].values) << index << " grid " << n;
        }
    }
    // Header-only reads never touch the GRIB bytes.
    const std::string index = dir.file("letters.idx");
    write_file(grb, std::string(read_file(grb).size(), '\0'));
    {
        int type = 21;
        const int fd = GRD_open(grb.c_str(), 0, &type);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(GRD_hdr_open(fd, index.c_str()), 0);
        for (int n : {3, 1, 12}) {
            GRD_report r{};
            r.grid = nullptr;
            int num = n;
            ASSERT_EQ(GRD_read(fd, &r, 1, &num), 0) << n;
            EXPECT_TRUE(same_header(r, plain_headers[std::size_t(n)].rec)) << n;
        }
        GRD_close(fd);
    }

    // The keys of both forms, and a predefined grid number.
    const std::string one = dir.file("one.grb");
    write_file(one, read_file(EXAMPLES + "regular_latlon_surface.grib1"));
    // Without a source key it is 7 (98 only for edition 0 files of centre 98).
    struct Case {
        const char *line;
        const char *keys;
    };
    for (const Case &c :
         {Case{"0 xxx / GRIB1 S9 M80 G211 T12 L100 H500 V7 Q9 tail Z1\n", "9 80 211 12 100 500 7"},
          Case{"0 xxx / GRIB1 M80 G211 T12 L100 H500 V7 (S9)\n", "7 80 211 12 100 500 7"},
          Case{"0 xxx /80 211 12 100 500 7\n", "7 80 211 12 100 500 7"},
          Case{"0 xxx /9:80 211 12 100 500 7\n", "9 80 211 12 100 500 7"}}) {
        write_file(dir.file("one.idx"), c.line);
        GribFile f(one, dir.file("one.idx"));
        GridRead g = f.read(0, 1);
        ASSERT_EQ(g.rc, 0) << c.line;
        EXPECT_EQ(keys(g.rec), c.keys) << c.line;
        EXPECT_EQ(g.rec.domain.proj, 4) << c.line;
        EXPECT_EQ(g.rec.domain.nx, 93) << c.line;
        EXPECT_EQ(f.read(1, 1).rc, -1);
    }
}

TEST(GribGridReading, IndexLinesOfMultiFieldProducts) {
    // gfs.grb's u and v wind share a product, and so an index offset.
    TempDir dir;
    const std::string grb = EXAMPLES + "gfs.grb";
    std::vector<long> offsets;
    write_file(dir.file("gfs.idx"), make_index(grb, false, &offsets));
    ASSERT_GT(offsets.size(), 10u);
    ASSERT_EQ(offsets[3], offsets[4]);
    std::vector<GridRead> plain;
    {
        GribFile f(grb);
        plain = f.all();
    }
    ASSERT_EQ(plain.size(), offsets.size());
    GribFile f(grb, dir.file("gfs.idx"));
    for (int n : {4, 3, 4, 10, 9, 0}) {
        const GridRead g = f.read(n);
        ASSERT_EQ(g.rc, 0) << n;
        EXPECT_EQ(g.values, plain[std::size_t(n)].values) << "grid " << n;
        EXPECT_EQ(g.rec.var, plain[std::size_t(n)].rec.var) << "grid " << n;
    }

    // An offset outside the file is refused, naming the file and line.
    Messages m;
    write_file(dir.file("bad.idx"), "0 a /1 2 3 4 5 6\n99999999 b /1 2 3 4 5 6\n16759 c /1 2 3 4 5 6\n");
    GribFile b(grb, dir.file("bad.idx"));
    EXPECT_EQ(b.read(1).rc, 1);
    EXPECT_EQ(b.read(1, 1).rc, 1);
    EXPECT_NE(m.text().find("gfs.grb line 2"), std::string::npos) << m.text();
    const GridRead g = b.read(2);
    ASSERT_EQ(g.rc, 0);
    EXPECT_EQ(g.values, plain[1].values);
    EXPECT_EQ(b.read(3).rc, -1);
}

TEST(GribGridReading, UndecodableGridsGiveOneAndTheNextIsRead) {
    TempDir dir;
    Messages m;
    // flux.grb's Gaussian grids are refused one by one.
    {
        GribFile f(EXAMPLES + "flux.grb");
        const std::vector<GridRead> all = f.all();
        ASSERT_GT(all.size(), 1u);
        for (const GridRead &g : all)
            EXPECT_EQ(g.rc, 1);
        EXPECT_EQ(f.read(0, 1).rc, 1);
    }
    EXPECT_NE(m.text().find("Grid template 3.40 is not supported"), std::string::npos) << m.text();
    EXPECT_NE(m.text().find("GRD_read: Grid 1 cannot be read: " + EXAMPLES + "flux.grb"), std::string::npos)
        << m.text();

    // A refused product, a good one, a spherical-harmonic one, a good one
    // cut short at the end of the file.
    const std::string flux = read_file(EXAMPLES + "flux.grb");
    const std::string flux1 = flux.substr(0, flux.find("7777") + 4);
    const std::string good = read_file(EXAMPLES + "regular_latlon_surface.grib2");
    const std::string sph = read_file(EXAMPLES + "spherical_pressure_level.grib1");
    write_file(dir.file("mixed.grb"), flux1 + good + sph + good.substr(0, good.size() - 100));
    GribFile f(dir.file("mixed.grb"));
    const std::vector<int> want = {1, 0, 1, 1};
    const std::vector<GridRead> all = f.all();
    ASSERT_EQ(all.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k)
        EXPECT_EQ(all[k].rc, want[k]) << k;
    EXPECT_EQ(all[1].rec.domain.nx, 16);
    EXPECT_EQ(f.read(2, 1).rc, 1);
    EXPECT_EQ(f.read(1, 1).rc, 0);
    EXPECT_EQ(f.read(4).rc, -1);

    // A file whose first product cannot be read has no header.
    write_file(dir.file("cut.grb"), good.substr(0, 30));
    int type = 21;
    const int fd = GRD_open(dir.file("cut.grb").c_str(), 0, &type);
    ASSERT_GE(fd, 0);
    GRD_info info{};
    EXPECT_EQ(GRD_getinfo(fd, &info), -1);
    GRD_close(fd);
}

// ---- JPEG 2000 and run-length data ------------------------------------------------------------

// A lossless JPEG 2000 code stream of a grey image (8 bits, row by row),
// written by OpenJPEG's opj_compress.
Bytes j2k_stream(int w, int h, const std::vector<int> &px) {
    if (access("/usr/bin/opj_compress", X_OK) != 0) {
        ADD_FAILURE()
            << "the JPEG 2000 streams need opj_compress: install the Debian package libopenjp2-tools";
        return {};
    }
    TempDir dir;
    std::string pgm = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int v : px)
        pgm.push_back(char(v));
    write_file(dir.file("in.pgm"), pgm);
    zeqtest::run_command("opj_compress -i " + dir.file("in.pgm") + " -o " + dir.file("out.j2k") +
                         " -n 1 >/dev/null");
    const std::string out = read_file(dir.file("out.j2k"));
    return Bytes(out.begin(), out.end());
}

// JPEG 2000 packing of n values, reference 0, no scaling.
Sec jpeg5(std::uint32_t n) {
    return Sec(5, 23).set(6, n, 4).set(10, 40, 2).set(20, 8);
}

// Run-length packing: n points, `bits` per value, the largest level and the
// levels' values (scaled by 10^-dec).
Sec rle5(std::uint32_t n, int bits, int max_val, const std::vector<int> &levels, int dec) {
    Sec s(5, 17 + 2 * levels.size());
    s.set(6, n, 4).set(10, 200, 2).set(12, std::uint64_t(bits)).set(13, std::uint64_t(max_val), 2);
    s.set(15, levels.size(), 2).set(17, std::uint64_t(dec));
    for (std::size_t i = 0; i < levels.size(); ++i)
        s.set(18 + 2 * i, std::uint64_t(levels[i]), 2);
    return s;
}

GridRead read_product(const Bytes &bytes) {
    TempDir dir;
    write_file(dir.file("p.grb2"), text(bytes));
    GribFile f(dir.file("p.grb2"));
    return f.read(0);
}

const float M = FMISSING;

TEST(GribJpeg2000, ImagesArePlacedOnTheGrid) {
    const Bytes img = j2k_stream(3, 2, {1, 2, 3, 4, 5, 6});
    const Bytes row = j2k_stream(4, 1, {10, 20, 30, 40});
    struct Case {
        const char *what;
        Sec grid, drs, bms;
        Bytes stream;
        std::vector<float> want;
    };
    const Case cases[] = {
        {"rows from the north", small3(0x00), jpeg5(6), bms6(255), img, {1, 2, 3, 4, 5, 6}},
        {"rows from the south", small3(0x40), jpeg5(6), bms6(255), img, {4, 5, 6, 1, 2, 3}},
        {"one row over a bit map", small3(0x00), jpeg5(4), bms6(0, {0xB4}), row, {10, M, 20, 30, M, 40}},
        {"one row over a one-row grid",
         latlon3(4, 1, 40000000, 0, 40000000, 30000000),
         jpeg5(4),
         bms6(255),
         row,
         {10, 20, 30, 40}},
    };
    for (const Case &c : cases) {
        const GridRead g = read_product(field2(c.grid, pds2(0, 34), c.drs, c.bms, ds7(c.stream)));
        ASSERT_EQ(g.rc, 0) << c.what;
        EXPECT_EQ(g.values, c.want) << c.what;
    }

    // An image larger than the grid, and a stream that does not decode,
    // leave no grid.
    Messages m;
    const Bytes big = j2k_stream(4, 3, std::vector<int>(12, 7));
    EXPECT_EQ(read_product(field2(small3(), pds2(0, 34), jpeg5(6), bms6(255), ds7(big))).rc, 1);
    EXPECT_NE(m.text().find("does not fit the grid"), std::string::npos) << m.text();
    Bytes bad = img;
    for (std::size_t k = 2; k < bad.size(); ++k)
        bad[k] = static_cast<unsigned char>(k * 37);
    EXPECT_EQ(read_product(field2(small3(), pds2(0, 34), jpeg5(6), bms6(255), ds7(bad))).rc, 1);
    EXPECT_NE(m.text().find("GRIB_DS: jpc_decode error"), std::string::npos) << m.text();
    EXPECT_EQ(m.text().find("OpenJPEG"), std::string::npos) << m.text();
}

TEST(GribJpeg2000, RepackedFilesMatchEccodes) {
    // Bit maps (gfs.grb) give one-row images; thinned rows are spread.
    TempDir dir;
    make_fixtures(dir, "eta_jpeg.grb2 gfs_jpeg.grb2 reduced_jpeg.grb2");
    expect_grids_match(dir.file("eta_jpeg.grb2"), 1e-5, true);
    expect_grids_match(dir.file("gfs_jpeg.grb2"), 0.0, false);
    expect_grids_match(dir.file("reduced_jpeg.grb2"), 0.0, false);
}

TEST(GribRunLength, LevelsAndRunsFillTheGrid) {
    // 4 bits, largest level 3 (digits in base 12), levels 0.5 1.5 2.5 3.5.
    const std::vector<int> table = {5, 15, 25, 35};
    struct Case {
        const char *what;
        std::uint32_t nx;
        std::vector<int> levels;
        Bytes data;
        std::vector<float> want;
    };
    const Case cases[] = {
        // Values 1 5 2 3 0 0: the last run is written from the last octet.
        {"runs", 5, table, {0x15, 0x23, 0x00}, {1.5f, 1.5f, 2.5f, 3.5f, 0.5f}},
        {"digit 6: a run of 3", 5, table, {0x16, 0x23, 0x00}, {1.5f, 1.5f, 1.5f, 2.5f, 3.5f}},
        {"digits 4 then 5: a run of 13",
         14,
         table,
         {0x14, 0x52},
         {1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 2.5f}},
        {"the grid fills before the data end", 3, table, {0x15, 0x23, 0x00}, {1.5f, 1.5f, 2.5f}},
        {"a level beyond the table", 4, {5, 15}, {0x12, 0x00}, {1.5f, M, 0.5f, 0.5f}},
    };
    for (const Case &c : cases) {
        const Sec grid = latlon3(c.nx, 1, 40000000, 0, 40000000, 1000000 * c.nx);
        const GridRead g =
            read_product(field2(grid, pds2(0, 34), rle5(c.nx, 4, 3, c.levels, 1), bms6(255), ds7(c.data)));
        ASSERT_EQ(g.rc, 0) << c.what;
        ASSERT_EQ(g.values.size(), c.want.size()) << c.what;
        for (std::size_t k = 0; k < c.want.size(); ++k)
            EXPECT_NEAR(g.values[k], c.want[k], 1e-6) << c.what << " point " << k;
    }
}

// ---- GRIB input of the grid calculator and the grid-file searches --------------------------------

// A grid read by GRD_read_file (a spec after the name), printed on a line.
void print_read_file(const std::string &name) {
    GRD_report r{};
    r.grid = nullptr;
    GRD_info info{};
    int type = 0;
    const int rc = GRD_read_file(name.c_str(), &r, &info, &type);
    std::printf("%d", rc);
    if (rc == 1 && r.grid != nullptr)
        for (int k = 0; k < r.domain.nx * r.domain.ny; ++k)
            std::printf(" %.9g", double(r.grid[k]));
    std::printf("\n");
    std::free(r.grid);
}

std::vector<double> numbers(const std::string &line) {
    std::istringstream in(line);
    std::vector<double> v;
    double x;
    while (in >> x)
        v.push_back(x);
    return v;
}

void expect_near_all(const std::vector<double> &got, const std::vector<double> &want, double tol,
                     const std::string &what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    int bad = 0;
    for (std::size_t k = 0; k < got.size(); ++k)
        if (std::fabs(got[k] - want[k]) > tol * (1.0 + std::fabs(want[k])) && bad++ < 5)
            ADD_FAILURE() << what << " point " << k << ": " << got[k] << " want " << want[k];
}

TEST(GribGridInput, CalculatorTakesGribFields) {
    TempDir dir;
    // Names without the characters that start a grid spec.
    write_file(dir.file("eta.grb"), read_file(EXAMPLES + "eta.grb"));
    const std::string eta = dir.file("eta.grb");
    auto r = run_child([&] {
        auto run = [](std::vector<std::string> words) {
            std::vector<const char *> w;
            for (const std::string &x : words)
                w.push_back(x.c_str());
            return GRD_math_command(int(w.size()), w.data());
        };
        int rc = run({"spd", eta + "+24:10m_ag:uwnd", eta + "+24:10m_ag:vwnd", "=", dir.file("spd.grd")});
        rc = rc * 10 + run({"unit", eta + "+24:2m_ag:temp", "C", "=", dir.file("t.grd")});
        rc = rc * 10 +
             run({"thick", eta + "+24:500mb:hght", eta + "+24:1000mb:hght", "=", dir.file("th.grd")});
        std::printf("RC %d\n", rc);
        for (const char *f : {"spd.grd", "t.grd", "th.grd"})
            print_read_file(dir.file(f));
        return 0;
    });
    std::vector<std::string> lines;
    for (const std::string &l : zeqtest::text_lines(r.out))
        if (l.rfind("RC ", 0) == 0 || (!l.empty() && std::isdigit(static_cast<unsigned char>(l[0]))))
            lines.push_back(l);
    ASSERT_EQ(lines.size(), 4u) << r.out << r.err;
    ASSERT_EQ(lines[0], "RC 111") << r.out << r.err;
    // NumPy on ecCodes' values, rows from the north.
    const auto ref = zeqtest::named_numbers(zeqtest::run_python(R"(
import eccodes as ec, numpy as np, sys
ec.codes_grib_multi_support_on()
g = {}
with open(sys.stdin.read().strip(), "rb") as f:
    while True:
        h = ec.codes_grib_new_from_file(f)
        if h is None:
            break
        v = ec.codes_get_values(h).reshape(ec.codes_get(h, "Nj"), ec.codes_get(h, "Ni"))
        if ec.codes_get(h, "jScansPositively") == 1:
            v = v[::-1]
        g.setdefault((ec.codes_get(h, "shortName"), ec.codes_get(h, "level")), v)
        ec.codes_release(h)
out = {"spd": np.hypot(g[("10u", 10)], g[("10v", 10)]), "t": g[("2t", 2)] - 273.15,
       "th": g[("gh", 500)] - g[("gh", 1000)]}
for k in ("spd", "t", "th"):
    print(k, " ".join("%.9g" % x for x in out[k].ravel()))
)",
                                                                eta, "python3-eccodes and python3-numpy"));
    const char *names[] = {"spd", "t", "th"};
    for (int k = 0; k < 3; ++k) {
        std::vector<double> got = numbers(lines[lines.size() - 3 + std::size_t(k)]);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got[0], 1.0) << names[k];
        got.erase(got.begin());
        expect_near_all(got, ref.at(names[k]), 1e-5, names[k]);
    }
}

TEST(GribGridInput, SearchesFindGridsBySpecAndNumber) {
    TempDir dir;
    make_fixtures(dir, "eta_pl.grb1");
    write_file(dir.file("gfs.grb"), read_file(EXAMPLES + "gfs.grb"));
    // A Gaussian grid the searches pass over before eta.grb's fields.
    const std::string flux = read_file(EXAMPLES + "flux.grb");
    write_file(dir.file("mixed.grb"),
               flux.substr(0, flux.find("7777") + 4) + read_file(EXAMPLES + "eta.grb"));
    struct Case {
        std::string file;
        int number;       // the grid "#N" reads
        std::string spec; // a search for the same grid
    };
    const Case cases[] = {
        {"eta_pl.grb1", 17, ""}, {"gfs.grb", 4, "+:10mb:vwnd"}, {"mixed.grb", -1, "+24:500mb:hght"}};
    for (Case c : cases) {
        const std::string path = dir.file(c.file);
        if (c.number < 0) {
            // The number of the 500 mb height, as the headers give it.
            GribFile f(path);
            const std::vector<GridRead> h = f.all(1);
            for (std::size_t k = 0; k < h.size() && c.number < 0; ++k)
                if (h[k].rc == 0 && h[k].rec.var == 7 && h[k].rec.ltype == 100 && h[k].rec.level == 500)
                    c.number = int(k);
            ASSERT_GT(c.number, 0);
        }
        std::vector<std::vector<double>> refs;
        if (c.file.find(".grb1") != std::string::npos) {
            for (const Reference &x : eccodes_reference(path))
                refs.push_back(x.v);
        } else {
            for (const FieldRef &x : eccodes_fields(path))
                refs.push_back(x.ref.v);
        }
        auto r = run_child([&] {
            print_read_file(path + "#" + std::to_string(c.number));
            if (!c.spec.empty()) print_read_file(path + c.spec);
            return 0;
        });
        std::vector<std::string> lines;
        for (const std::string &l : zeqtest::text_lines(r.out))
            if (!l.empty() && std::isdigit(static_cast<unsigned char>(l[0]))) lines.push_back(l);
        ASSERT_EQ(lines.size(), c.spec.empty() ? 1u : 2u) << r.out << r.err;
        // ecCodes counts the Gaussian grid's product as a field too.
        const std::size_t k = std::size_t(c.number);
        ASSERT_LT(k, refs.size());
        for (const std::string &l : lines) {
            std::vector<double> got = numbers(l);
            ASSERT_EQ(got[0], 1.0) << c.file << ": " << r.err;
            got.erase(got.begin());
            expect_near_all(got, refs[k], 1e-6, c.file);
        }
    }
}

TEST(GribGridInput, DateSearchOpensTheIndexFile) {
    // The index names the offsets of grids 1 and 0 of the file, so that
    // "#0" through the index reads the file's grid 1.
    TempDir dir;
    write_file(dir.file("24010512.grb"), read_file(EXAMPLES + "regular_latlon_surface.grib2") +
                                             read_file(EXAMPLES + "gfs.grb").substr(0, 16759));
    write_file(dir.file("24010512.idx"), "1188 a /96 0 0 100 10 7\n0 b /98 0 0 1 0 11\n");
    write_file(dir.file("name_conv"),
               "pg " + dir.path() + "/%y%m%d%h.grb " + dir.path() + "/%y%m%d%h.idx 0\n");
    std::vector<GridRead> plain;
    {
        GribFile f(dir.file("24010512.grb"));
        plain = f.all();
    }
    ASSERT_EQ(plain.size(), 2u);
    auto r = run_child([&] {
        RES_put("file_path", dir.path().c_str());
        char pg[] = "pg";
        FILE_set_name(pg);
        const Date d{2024, 1, 5, 0, 0, 12, 0, 0};
        GRD_report g{};
        g.grid = nullptr;
        GRD_info info{};
        int type = 21;
        const int rc = GRD_read_file_date(&d, "#0", &g, &info, &type);
        std::printf("%d", rc);
        if (rc == 1 && g.grid != nullptr)
            for (int k = 0; k < g.domain.nx * g.domain.ny; ++k)
                std::printf(" %.9g", double(g.grid[k]));
        std::printf("\n");
        return 0;
    });
    std::vector<double> got;
    for (const std::string &l : zeqtest::text_lines(r.out))
        if (!l.empty() && std::isdigit(static_cast<unsigned char>(l[0]))) got = numbers(l);
    ASSERT_FALSE(got.empty()) << r.out << r.err;
    EXPECT_EQ(got[0], 1.0) << r.err;
    got.erase(got.begin());
    ASSERT_EQ(got.size(), plain[1].values.size()) << r.err;
    for (std::size_t k = 0; k < got.size(); ++k)
        EXPECT_FLOAT_EQ(float(got[k]), plain[1].values[k]) << k;
}
