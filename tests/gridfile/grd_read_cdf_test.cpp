// netCDF grid files: the own layout written and read back, checked by ncdump
// and python3-netcdf4, older and foreign files compiled by ncgen from CDL.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/region.h"
#include "gridfile/grd_read.h"
#include "runtime/date.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/netcdf.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

// A grid to write: the values live in the test.
struct Source {
    GRD_report r{};
    std::vector<float> v;
    Source(const Domain &d, std::vector<float> values) : v(std::move(values)) {
        r.domain = d;
        r.grid = v.data();
        r.source = 7;
        r.version = 2;
        r.model = 83;
        r.type = 211;
        r.ltype = 100;
        r.level = 50030;  // a layer: more than 16 bits
        r.time = 4006012; // a statistic and a period
        r.var = 19344011; // a folded probability code
        std::snprintf(r.datim, sizeof r.datim, "12Z  5 JAN 24");
        std::snprintf(r.info, sizeof r.info, "12 hour 500 mb Height (m)");
        std::snprintf(r.units, sizeof r.units, "m");
    }
};

// A record that the reader fills; its array is released at the end.
struct Read {
    GRD_report r{};
    Read() { r.grid = nullptr; }
    ~Read() { std::free(r.grid); }
    Read(const Read &) = delete;
    Read &operator=(const Read &) = delete;
};

std::vector<float> ramp(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t k = 0; k < n; ++k)
        v[k] = 5000.0f + 1.234567f * float(k) - 0.001f * float(k * k);
    v[7] = -9999.0f;
    return v;
}

Domain lambert(int nx = 51, int ny = 41) {
    Domain d = zeqtest::make_domain(4, 40.0f, -100.0f, nx, ny, 0.8f, 0.75f);
    d.plat = 25.0f;
    d.plon = -95.0f;
    d.param[0] = d.param[1] = 25.0f;
    d.param[2] = 1.0f;
    return d;
}

GRD_info header(int nx, int ny, int grid_type = 0) {
    GRD_info info{};
    info.max_x = nx;
    info.max_y = ny;
    info.grid_type = grid_type;
    DATE_init(&info.date);
    info.date.year = 2024;
    info.date.month = 1;
    info.date.day = 5;
    info.date.hour = 12;
    return info;
}

// Writes the grids as records 0, 1, ... of a new netCDF file.
void write_cdf(const std::string &name, const GRD_info &info, std::vector<GRD_report *> grids) {
    int type = 11;
    const int fd = GRD_open(name.c_str(), 1, &type);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(GRD_putinfo(fd, &info), 0);
    for (std::size_t k = 0; k < grids.size(); ++k) {
        int num = int(k);
        ASSERT_EQ(GRD_write(fd, grids[k], 0, &num), 0);
    }
    ASSERT_EQ(GRD_close(fd), 0);
}

int open_read(const std::string &name, GRD_info *info = nullptr) {
    int type = 0;
    const int fd = GRD_open(name.c_str(), 0, &type);
    GRD_info local{};
    if (fd >= 0) GRD_getinfo(fd, info != nullptr ? info : &local);
    return fd;
}

void expect_same_values(const GRD_report &got, const std::vector<float> &want) {
    ASSERT_NE(got.grid, nullptr);
    ASSERT_EQ(std::size_t(got.domain.nx) * std::size_t(got.domain.ny), want.size());
    for (std::size_t k = 0; k < want.size(); ++k)
        ASSERT_EQ(std::bit_cast<std::uint32_t>(got.grid[k]), std::bit_cast<std::uint32_t>(want[k])) << k;
}

// ---- The own layout ----------------------------------------------------------------------

TEST(CdfOwnLayout, RoundTripKeepsLabelsKeysDomainAndValues) {
    TempDir dir;
    const std::string name = dir.file("g.nc");
    Source a(lambert(), ramp(51 * 41));
    Source b(lambert(), ramp(51 * 41));
    b.v[0] = -1.5f;
    // A label longer than the field stores its first 49 characters.
    const std::string long_info(60, 'x');
    std::snprintf(b.r.info, sizeof b.r.info, "%s", long_info.c_str());
    b.r.source = 1;
    write_cdf(name, header(51, 41), {&a.r, &b.r});
    ASSERT_EQ(GRD_chktype(name.c_str()), 11);

    GRD_info info{};
    const int fd = open_read(name, &info);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(info.grid_type, 0);
    EXPECT_STREQ(info.datim, "12Z  5 JAN 24");
    // A four-digit year counts from 1900, which the date functions read back.
    EXPECT_EQ(info.date.year, 124);
    Date d = info.date;
    Date want{2024, 1, 5, MISSING, MISSING, 12, 0, 0};
    EXPECT_EQ(DATE_num_sec(&d), DATE_num_sec(&want));

    for (int n : {0, 1}) {
        SCOPED_TRACE(n);
        const Source &s = n == 0 ? a : b;
        Read r;
        // The file keeps no projection parameters: the record's stay.
        r.r.domain.param[0] = 33.0f;
        r.r.domain.ellipse = 1;
        r.r.grid = static_cast<float *>(std::malloc(8)); // from an earlier read
        int num = n;
        ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
        EXPECT_EQ(num, n);
        EXPECT_STREQ(r.r.datim, s.r.datim);
        EXPECT_EQ(std::string(r.r.info), n == 0 ? std::string(a.r.info) : long_info.substr(0, 49));
        EXPECT_EQ(r.r.source, s.r.source);
        EXPECT_EQ(r.r.version, 2);
        EXPECT_EQ(r.r.model, 83);
        EXPECT_EQ(r.r.type, 211);
        EXPECT_EQ(r.r.ltype, 100);
        EXPECT_EQ(r.r.level, 50030);
        EXPECT_EQ(r.r.time, 4006012);
        EXPECT_EQ(r.r.var, 19344011);
        const Domain &got = r.r.domain;
        EXPECT_EQ(got.proj, 4);
        EXPECT_EQ(got.clat, 40.0f);
        EXPECT_EQ(got.clon, -100.0f);
        EXPECT_EQ(got.plat, 25.0f);
        EXPECT_EQ(got.plon, -95.0f);
        EXPECT_EQ(got.dx, 0.8f);
        EXPECT_EQ(got.dy, 0.75f);
        EXPECT_EQ(got.nx, 51);
        EXPECT_EQ(got.ny, 41);
        EXPECT_EQ(got.param[0], 33.0f);
        EXPECT_EQ(got.ellipse, 1);
        expect_same_values(r.r, s.v);
    }
    Read r;
    int num = 2;
    EXPECT_EQ(GRD_read(fd, &r.r, 1, &num), -1) << "past the last record";
    EXPECT_EQ(r.r.grid, nullptr);
    num = 1;
    ASSERT_EQ(GRD_read(fd, &r.r, 1, &num), 0) << "header only";
    EXPECT_EQ(r.r.grid, nullptr);
    EXPECT_EQ(r.r.var, 19344011);
    EXPECT_EQ(GRD_close(fd), 0);

    // Record 1 of a file of one record is past the end.
    const std::string one = dir.file("one.nc");
    write_cdf(one, header(51, 41), {&a.r});
    const int f1 = open_read(one);
    num = 1;
    EXPECT_EQ(GRD_read(f1, &r.r, 0, &num), -1);
    num = 0;
    EXPECT_EQ(GRD_read(f1, &r.r, 0, &num), 0);
    GRD_close(f1);
}

TEST(CdfOwnLayout, OtherToolsSeeTheLayoutAndTheRowsUpright) {
    TempDir dir;
    Source a(lambert(), ramp(51 * 41));
    const std::string nc = dir.file("g.nc");
    const std::string grd = dir.file("g.grd");
    // Written as the program saves its grids, the netCDF header sized by the grid.
    GRD_info info = header(0, 0);
    ASSERT_EQ(GRD_save_file(nc.c_str(), &a.r, &info, 11), 1);
    ASSERT_EQ(GRD_save_file(grd.c_str(), &a.r, &info, 2), 1);

    const std::string dump = zeqtest::ncdump(nc, "-h");
    for (const char *want :
         {":source = \"ZEQ\" ;", ":version = \"1.0\" ;", "float values(grid, y, x) ;", "int level(grid) ;",
          "int time(grid) ;", "int var(grid) ;", "short nx(grid) ;", "short source(grid) ;",
          "grid = UNLIMITED ; // (1 currently)", "x = 51 ;", "y = 41 ;", ":year = 2024s ;"})
        EXPECT_NE(dump.find(want), std::string::npos) << want << "\n" << dump;

    const std::string out = zeqtest::run_python(R"(
import sys, numpy as np, netCDF4
nc_path, grd_path = sys.stdin.read().split()
d = netCDF4.Dataset(nc_path)
d.set_auto_mask(False)
v = d.variables["values"]
a = np.asarray(v[0])
print("dims", " ".join(v.dimensions), "shape", *a.shape)
print("keys", int(d.variables["level"][0]), int(d.variables["time"][0]), int(d.variables["var"][0]))
lines = open(grd_path).read().split("\n")
nx, ny = (int(w) for w in lines[4].split()[-2:])
native = np.array([float(x) for x in lines[5:5 + nx * ny]], dtype=np.float32).reshape(ny, nx)
print("equal", int(np.array_equal(a, native)), "north", a[0, 0], "south", a[-1, 0])
)",
                                                nc + " " + grd, "python3-netcdf4 and python3-numpy");
    EXPECT_NE(out.find("dims grid y x shape 41 51"), std::string::npos) << out;
    EXPECT_NE(out.find("keys 50030 4006012 19344011"), std::string::npos) << out;
    EXPECT_NE(out.find("equal 1"), std::string::npos) << out;
}

TEST(CdfOwnLayout, CoordinateFilesTakeTheProjectionFromTheModel) {
    TempDir dir;
    const std::string name = dir.file("c.nc");
    Source a(lambert(4, 3), ramp(12));
    Source b(lambert(4, 3), ramp(12));
    a.r.model = 10;
    b.r.model = 1;
    write_cdf(name, header(4, 3, 1), {&a.r, &b.r});
    const std::string dump = zeqtest::ncdump(name, "-h");
    EXPECT_NE(dump.find("float x_coord(grid, y, x) ;"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("proj"), std::string::npos) << dump;

    GRD_info info{};
    const int fd = open_read(name, &info);
    EXPECT_EQ(info.grid_type, 1);
    for (int n : {0, 1}) {
        Read r;
        r.r.domain = zeqtest::make_domain(3, 10.0f, 20.0f);
        int num = n;
        ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
        EXPECT_EQ(r.r.domain.proj, n == 0 ? 2 : 1);
        EXPECT_EQ(r.r.domain.clat, 10.0f) << "the file holds no centre";
        EXPECT_EQ(r.r.domain.nx, 4);
        EXPECT_EQ(r.r.domain.ny, 3);
        expect_same_values(r.r, a.v);
    }
    GRD_close(fd);
}

TEST(CdfOwnLayout, OlderDeclarationWithShortFieldsReadsTheSameGrid) {
    TempDir dir;
    const std::string old_name = dir.file("old.nc");
    ASSERT_TRUE(zeqtest::compile_cdl("grid/own_old.cdl", old_name));
    Domain d = zeqtest::make_domain(4, 40.0f, -100.0f, 3, 2, 1.5f, 1.25f);
    d.plat = 25.0f;
    d.plon = -95.0f;
    Source s(d, {1, 2, 3, 4, 5, -9999});
    s.r.level = 500;
    s.r.time = 12;
    s.r.var = 11;
    std::snprintf(s.r.datim, sizeof s.r.datim, "12Z  5 JAN 96");
    std::snprintf(s.r.info, sizeof s.r.info, "12 hour 500 mb Temperature (K)");
    const std::string new_name = dir.file("new.nc");
    GRD_info info = header(3, 2);
    info.date.year = 1996;
    write_cdf(new_name, info, {&s.r});

    Read got[2];
    GRD_info infos[2];
    for (int k = 0; k < 2; ++k) {
        const int fd = open_read(k == 0 ? old_name : new_name, &infos[k]);
        ASSERT_GE(fd, 0);
        int num = 0;
        ASSERT_EQ(GRD_read(fd, &got[k].r, 0, &num), 0) << k;
        GRD_close(fd);
    }
    EXPECT_STREQ(infos[0].datim, infos[1].datim);
    EXPECT_EQ(infos[0].date.year, 96);
    const GRD_report &o = got[0].r, &n = got[1].r;
    EXPECT_STREQ(o.datim, n.datim);
    EXPECT_STREQ(o.info, n.info);
    EXPECT_EQ(o.source, n.source);
    EXPECT_EQ(o.model, n.model);
    EXPECT_EQ(o.type, n.type);
    EXPECT_EQ(o.ltype, n.ltype);
    EXPECT_EQ(o.level, n.level);
    EXPECT_EQ(o.time, n.time);
    EXPECT_EQ(o.var, n.var);
    EXPECT_TRUE(DOM_comp(&o.domain, &n.domain));
    expect_same_values(o, s.v);
    expect_same_values(n, s.v);
}

TEST(CdfOwnLayout, RecordOfAnotherSizeCannotBeRead) {
    TempDir dir;
    const std::string name = dir.file("sizes.nc");
    ASSERT_TRUE(zeqtest::compile_cdl("grid/own_sizes.cdl", name));
    auto r = run_child([&] {
        const int fd = open_read(name);
        Read g;
        for (int rep : {1, 0}) {
            for (int n = 0; n < 4; ++n) {
                int num = n;
                const int rc = GRD_read(fd, &g.r, rep, &num);
                std::printf("%d:%s:%d ", rc, rc == 0 ? g.r.datim : "",
                            g.r.grid != nullptr ? int(g.r.grid[5]) : -1);
            }
        }
        return 0;
    });
    EXPECT_EQ(r.out, "0:R0:-1 1::-1 0:R2:-1 -1::-1 0:R0:6 1::-1 0:R2:26 -1::-1 ") << r.err;
    EXPECT_NE(r.err.find("GRD_read: Grid 1 cannot be read: " + name), std::string::npos) << r.err;

    // The search for the variable of records 0 and 1 passes over 1.
    auto s = run_child([&] {
        GRD_report g{};
        g.grid = nullptr;
        GRD_info info{};
        int type = 0;
        const int rc = GRD_read_file((name + "+::7").c_str(), &g, &info, &type);
        std::printf("\nfound %d %s\n", rc, g.datim);
        std::free(g.grid);
        return 0;
    });
    EXPECT_NE(s.out.find("found 1 R2"), std::string::npos) << s.out << s.err;
}

TEST(CdfOwnLayout, RefusedWritesGiveMinusOne) {
    TempDir dir;
    Source a(lambert(4, 3), ramp(12));
    auto r = run_child([&] {
        const std::string name = dir.file("w.nc");
        int type = 11;
        const int fd = GRD_open(name.c_str(), 1, &type);
        GRD_info info = header(4, 3);
        int num = 0;
        std::printf("%d ", GRD_write(fd, &a.r, 0, &num)); // no header yet
        std::printf("%d ", GRD_putinfo(fd, &info));
        std::printf("%d ", GRD_putinfo(fd, &info)); // defined already
        Source other(lambert(5, 3), ramp(15));
        std::printf("%d ", GRD_write(fd, &other.r, 0, &num));
        Source wide(lambert(4, 3), ramp(12));
        wide.r.source = 40000; // not a short
        std::printf("%d ", GRD_write(fd, &wide.r, 0, &num));
        GRD_report empty = a.r;
        empty.grid = nullptr;
        std::printf("%d ", GRD_write(fd, &empty, 0, &num));
        std::printf("%d ", GRD_write(fd, &a.r, 0, &num));
        GRD_close(fd);
        // A slot opened for reading writes nothing.
        const int rd = open_read(name);
        std::printf("%d %d\n", GRD_putinfo(rd, &info), GRD_write(rd, &a.r, 0, &num));
        GRD_close(rd);
        // A file that cannot be made.
        return GRD_open("/proc/no/such.nc", 1, &type) == -1 ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "-1 0 -1 -1 -1 -1 0 -1 -1\n") << r.err;
    EXPECT_NE(r.err.find("GRD_write: Grid of 5 x 3 points in a file of 4 x 3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("GRD_write: " + dir.file("w.nc") + ": "), std::string::npos) << r.err;
}

TEST(CdfOwnLayout, ReuseOfASavedGridKeepsTheAnalysisDomain) {
    TempDir dir;
    const std::string name = dir.file("reuse.nc");
    Source a(lambert(), ramp(51 * 41));
    GRD_info info = header(0, 0);
    ASSERT_EQ(GRD_save_file(name.c_str(), &a.r, &info, 11), 1);
    auto r = run_child(
        [&] {
            Read g;
            g.r.domain = lambert();
            GRD_info got{};
            int type = 0;
            const Domain want = lambert();
            const int rc = GRD_read_check(name.c_str(), &g.r, &got, &type, &want);
            std::printf("%d %d %d\n", rc, type, g.r.grid != nullptr ? 1 : 0);
            return 0;
        },
        {"n\n"});
    EXPECT_EQ(r.out.substr(r.out.size() - 7), "1 11 1\n") << r.out << r.err;
}

} // namespace
