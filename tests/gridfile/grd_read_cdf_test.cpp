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

#include "fields/calc.h"
#include "fields/grd_tool.h"
#include "fields/region.h"
#include "gridfile/grd_read.h"
#include "runtime/date.h"
#include "support/child.h"
#include "support/grid_records.h"
#include "support/grids.h"
#include "support/netcdf.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

using Read = zeqtest::GridRead;
using zeqtest::expect_same_values;

// A grid to write with header fields that need more than 16 bits.
struct Source : zeqtest::GridSource {
    Source(const Domain &d, std::vector<float> values) : zeqtest::GridSource(d, std::move(values)) {
        r.version = 2;
        r.level = 50030;  // a layer
        r.time = 4006012; // a statistic and a period
        r.var = 19344011; // a folded probability code
    }
};

// Values with a missing one.
std::vector<float> ramp(std::size_t n) {
    std::vector<float> v = zeqtest::ramp(n);
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

// ---- Model-output layouts ------------------------------------------------------------------

// Compiles CDL text into a classic netCDF file with ncgen.
bool compile(const TempDir &dir, const std::string &cdl, const std::string &out) {
    write_file(out + ".cdl", cdl);
    if (!zeqtest::have_netcdf_tool("ncgen")) return false;
    const std::string cmd = "/usr/bin/ncgen -k classic -o '" + out + "' '" + out + ".cdl' 2>&1";
    const int rc = std::system(cmd.c_str());
    EXPECT_EQ(rc, 0) << cmd << "\n" << cdl;
    (void)dir;
    return rc == 0;
}

// "a, b, c" of n numbers made by f.
template <class F> std::string list(int n, F f) {
    std::string s;
    char buf[32];
    for (int k = 0; k < n; ++k) {
        std::snprintf(buf, sizeof buf, "%s%.9g", k > 0 ? ", " : "", double(f(k)));
        s += buf;
    }
    return s;
}

// temp (degK) and u_wind over a reference time, forecast time 3 x level 5 x
// latitude 4 (south to north) x longitude 6, with a text reference time.
std::string model_cdl() {
    const int n = 3 * 5 * 4 * 6;
    return "netcdf m {\ndimensions:\n rtime = 1 ;\n frtime = 3 ;\n level = 5 ;\n lat = 4 ;\n lon = 6 ;\n"
           " len = 16 ;\nvariables:\n float lat(lat) ;\n float lon(lon) ;\n float frtime(frtime) ;\n"
           " float level(level) ;\n int grib_center(rtime, frtime) ;\n int grib_model(rtime, frtime) ;\n"
           " char reftime(rtime, len) ;\n"
           " float temp(rtime, frtime, level, lat, lon) ;\n  temp:units = \"degK\" ;\n"
           " float u_wind(rtime, frtime, level, lat, lon) ;\n  u_wind:units = \"m/s\" ;\n"
           " float other(lat, lon) ;\n"
           ":title = \"Sample model output\" ;\n"
           "data:\n lat = 30, 32, 34, 36 ;\n lon = -100, -98, -96, -94, -92, -90 ;\n"
           " frtime = 0, 12, 24 ;\n level = 1000, 850.5, 700, 500, 250 ;\n"
           " grib_center = 7, 7, 7 ;\n grib_model = 39, 39, 39 ;\n reftime = \"2005 03 07 12\" ;\n"
           " temp = " +
           list(n, [](int k) { return 200 + k * 0.25; }) +
           " ;\n u_wind = " + list(n, [](int k) { return -30 + k * 0.125; }) +
           " ;\n other = " + list(24, [](int k) { return k; }) + " ;\n}\n";
}

TEST(CdfModelLayout, VariablesAreNumberedIntoGridsByTimeAndLevel) {
    TempDir dir;
    const std::string name = dir.file("model.nc");
    ASSERT_TRUE(compile(dir, model_cdl(), name));
    GRD_info info{};
    const int fd = open_read(name, &info);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(info.date.year, 2005);
    EXPECT_EQ(info.date.month, 3);
    EXPECT_EQ(info.date.day, 7);
    EXPECT_EQ(info.date.hour, 12);
    const float frtime[] = {0, 12, 24};
    const int level[] = {1000, 850, 700, 500, 250};
    for (int n = 0; n < 30; ++n) {
        Read r;
        int num = n;
        ASSERT_EQ(GRD_read(fd, &r.r, 1, &num), 0) << n;
        const int k = n % 15;
        EXPECT_EQ(r.r.var, n < 15 ? 104 : 23) << n;
        EXPECT_EQ(r.r.time, int(frtime[k / 5])) << n;
        EXPECT_EQ(r.r.level, level[k % 5]) << n;
        EXPECT_EQ(r.r.ltype, 10) << n;
        EXPECT_EQ(r.r.source, 7);
        EXPECT_EQ(r.r.model, 39);
        EXPECT_EQ(r.r.type, 50);
        EXPECT_EQ(r.r.date.year, 2005);
    }
    Read r;
    int num = 30;
    EXPECT_EQ(GRD_read(fd, &r.r, 0, &num), -1);

    // Grid 7: forecast-time index 1, level index 2, as NumPy slices it (rows
    // from the north).
    num = 7;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    EXPECT_EQ(num, 7);
    EXPECT_EQ(r.r.time, 12);
    EXPECT_EQ(r.r.level, 700);
    const Domain &d = r.r.domain;
    EXPECT_EQ(d.proj, 2);
    EXPECT_EQ(d.nx, 6);
    EXPECT_EQ(d.ny, 4);
    EXPECT_EQ(d.dx, 2.0f);
    EXPECT_EQ(d.dy, 2.0f) << "spacing stays positive";
    EXPECT_EQ(d.clat, 33.0f);
    EXPECT_EQ(d.clon, -95.0f);
    EXPECT_NE(r.r.info[0], '\0');
    EXPECT_NE(std::string(r.r.datim).find("MAR 05"), std::string::npos) << r.r.datim;
    const auto ref = zeqtest::named_numbers(zeqtest::run_python(R"(
import sys, numpy as np, netCDF4
d = netCDF4.Dataset(sys.stdin.read().strip())
lat = d.variables["lat"][:]
for name, n in (("temp", 7), ("u_wind", 22)):
    v = np.asarray(d.variables[name][0, n % 15 // 5, n % 5])
    if lat[1] > lat[0]:
        v = v[::-1]
    print(name, " ".join("%.9g" % x for x in v.ravel()))
)",
                                                                name, "python3-netcdf4 and python3-numpy"));
    zeqtest::expect_grid_values(ref.at("temp"), r.r.grid, 24, "temp", 0, 0);
    num = 22;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    zeqtest::expect_grid_values(ref.at("u_wind"), r.r.grid, 24, "u_wind", 0, 0);
    // Backwards and again.
    num = 7;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    zeqtest::expect_grid_values(ref.at("temp"), r.r.grid, 24, "temp again", 0, 0);
    GRD_close(fd);
}

// A file of two-dimensional fields named and with units as given.
std::string fields_cdl(const std::vector<std::pair<std::string, std::string>> &vars) {
    std::string cdl = "netcdf f {\ndimensions:\n lat = 2 ;\n lon = 3 ;\nvariables:\n float lat(lat) ;\n"
                      " float lon(lon) ;\n";
    std::string data = "data:\n lat = 50, 40 ;\n lon = 10, 12, 14 ;\n";
    for (const auto &[n, u] : vars) {
        cdl += " float " + n + "(lat, lon) ;\n";
        if (!u.empty()) cdl += "  " + n + ":units = \"" + u + "\" ;\n";
        data += " " + n + " = 1, 2, 3, 4, 5, 6 ;\n";
    }
    return cdl + data + "}\n";
}

std::vector<int> codes_of(const std::string &name) {
    std::vector<int> codes;
    const int fd = open_read(name);
    for (int n = 0;; ++n) {
        Read r;
        int num = n;
        if (GRD_read(fd, &r.r, 1, &num) != 0) break;
        codes.push_back(r.r.var);
    }
    GRD_close(fd);
    return codes;
}

TEST(CdfModelLayout, ParameterCodesByNameAndUnits) {
    TempDir dir;
    struct Case {
        const char *name, *units;
        int code;
    };
    const std::vector<std::vector<Case>> files = {{{"Psl", "pascals", 101},
                                                   {"P", "hectopascals", 1},
                                                   {"pressure", "Pa", 101},
                                                   {"H", "gp m", 102},
                                                   {"Z", "geopotential dekameters", 2},
                                                   {"T", "kelvin", 104},
                                                   {"Ttrop", "degC", 4},
                                                   {"other", "", -1},
                                                   {"RH", "", 13},
                                                   {"LI", "", 15},
                                                   {"Usfc", "", 23},
                                                   {"V", "", 24},
                                                   {"omega", "Pa/s", 140},
                                                   {"vert_vel", "millibars/second", 40},
                                                   {"precip", "", 50},
                                                   {"snow", "inches", 51}},
                                                  {{"SST", "degC", 62},
                                                   {"sea_temp", "degK", 161},
                                                   {"sst", "0.5 degC", 61},
                                                   {"wave_hgt", "meters", 164},
                                                   {"WAVE_HGT", "0.5 meters", 64},
                                                   {"wave_per", "", 76},
                                                   {"wave_dir", "degrees_true", 175},
                                                   {"Wave_Dir", "10 degrees", 75},
                                                   {"gpt_hgt", "geopotential meters", 102},
                                                   {"Temp", "degK", 104},
                                                   {"u_wind", "", 23},
                                                   {"Vmaxwind", "", 24},
                                                   {"lift_indx", "", 15},
                                                   {"rel_hum", "", 13},
                                                   {"Zwind", "", 2},
                                                   // A sixteenth field is not kept.
                                                   {"Ptrop", "Pa", -1}}};
    for (std::size_t f = 0; f < files.size(); ++f) {
        std::vector<std::pair<std::string, std::string>> vars;
        std::vector<int> want;
        for (const Case &c : files[f]) {
            vars.emplace_back(c.name, c.units);
            if (c.code >= 0) want.push_back(c.code);
        }
        const std::string name = dir.file("f" + std::to_string(f) + ".nc");
        ASSERT_TRUE(compile(dir, fields_cdl(vars), name));
        EXPECT_EQ(codes_of(name), want) << f;
    }
}

// A file of one field "T" (or as named) over forecast time or not, with the
// title given; with or without a reference-time dimension.
std::string titled_cdl(const std::string &title, bool rtime, bool over_time, const std::string &var = "T") {
    std::string cdl = "netcdf t {\ndimensions:\n";
    if (rtime) cdl += " rtime = 1 ;\n";
    cdl += " frtime = 2 ;\n lat = 2 ;\n lon = 3 ;\nvariables:\n float lat(lat) ;\n float lon(lon) ;\n"
           " int frtime(frtime) ;\n int grib_model(frtime) ;\n";
    std::string dims = rtime ? "rtime, " : "";
    if (over_time) dims += "frtime, ";
    cdl += " float " + var + "(" + dims + "lat, lon) ;\n";
    cdl += ":title = \"" + title +
           "\" ;\ndata:\n lat = 50, 40 ;\n lon = 10, 12, 14 ;\n frtime = 6, 30 ;\n"
           " grib_model = 1, 1 ;\n " +
           var + " = " + list(over_time ? 12 : 6, [](int k) { return k; }) + " ;\n}\n";
    return cdl;
}

TEST(CdfModelLayout, TitleCodesGiveLevelsAndTimes) {
    TempDir dir;
    const std::string long_title = std::string(300, '.') + " 72 hours";
    struct Case {
        std::string title;
        bool rtime, over_time;
        const char *var;
        int ltype, level, time; // of grid 1 over time, grid 0 otherwise
    };
    const Case cases[] = {
        {"NMC Early run 72 hours", true, false, "T", 10, 500, 72},
        {"NMC Early run 72 hours", false, false, "T", 10, 500, 72},
        {"Other producer", true, false, "T", 1, 0, 0},
        {long_title, true, false, "T", 1, 0, 0}, // base code 1 + 3: not 13
        {"NMC Early" + long_title, true, false, "T", 10, 500, 72},
        {"NMC Global Trop fields", true, true, "Ptrop", 7, 0, 30},
        {"NMC Global Trop fields", true, true, "Pmaxwind", 6, 0, 30},
        {"NMC Global", true, true, "Psfc", 9, 0, 30}, // not a known name: no grid
        {"NMC Global", true, true, "P", 12, 0, 30},
        {"NMC Extended Maximum wind", true, true, "U", 6, 0, 30},
        {"ECMWF: Trop", true, true, "T", 7, 0, 30},
        {"Other", true, true, "H", 1, 0, 30},
        {"Other", true, true, "U", 9, 0, 30},
    };
    int k = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title.substr(0, 30) + " " + c.var);
        const std::string name = dir.file("t" + std::to_string(k++) + ".nc");
        ASSERT_TRUE(compile(dir, titled_cdl(c.title, c.rtime, c.over_time, c.var), name));
        const int fd = open_read(name);
        Read r;
        int num = c.over_time ? 1 : 0;
        const int rc = GRD_read(fd, &r.r, 1, &num);
        GRD_close(fd);
        if (std::string(c.var) == "Psfc") {
            EXPECT_EQ(rc, -1);
            continue;
        }
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(r.r.ltype, c.ltype);
        EXPECT_EQ(r.r.level, c.level);
        EXPECT_EQ(r.r.time, c.time);
    }
}

TEST(CdfModelLayout, ExtraVariablePrecipitationHoursAndEmptyGrids) {
    TempDir dir;
    const std::string name = dir.file("x.nc");
    const std::string cdl =
        "netcdf x {\ndimensions:\n frtime = 2 ;\n lat = 2 ;\n lon = 3 ;\nvariables:\n float lat(lat) ;\n"
        " float lon(lon) ;\n int frtime(frtime) ;\n float cape(frtime, lat, lon) ;\n"
        "  cape:long_name = \"Convective energy\" ;\n  cape:units = \"J/kg\" ;\n"
        " float precip(frtime, lat, lon) ;\n float temp(lat, lon) ;\n"
        "data:\n lat = 50, 40 ;\n lon = 10, 12, 14 ;\n frtime = 6, 12 ;\n"
        " cape = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 ;\n"
        " precip = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 ;\n temp = 1e30, 2, 3, 4, 5, 2e30 ;\n}\n";
    ASSERT_TRUE(compile(dir, cdl, name));
    auto r = run_child([&] {
        setenv("GRIDVAR", "cape", 1);
        setenv("GRIBQP", "6", 1);
        const int fd = open_read(name);
        for (int n = 0; n < 6; ++n) {
            Read g;
            int num = n;
            const int rc = GRD_read(fd, &g.r, 0, &num);
            std::printf("%d %d %d %d %d [%s]", rc, g.r.var, g.r.source, g.r.ltype, g.r.time,
                        n < 2 ? g.r.info : "");
            if (rc == 0) std::printf(" %g %g", double(g.r.grid[0]), double(g.r.grid[5]));
            std::printf("\n");
        }
        return 0;
    });
    // Latitudes run southwards: rows as stored.
    EXPECT_EQ(r.out, "0 0 1 9 6 [Convective energy (J/kg)] 1 6\n"
                     "0 0 1 9 12 [Convective energy (J/kg)] 7 12\n"
                     "0 50 1 1 12 [] 1 6\n"
                     "0 50 1 1 18 [] 7 12\n"
                     "0 0 0 0 0 [] -9999 -9999\n"
                     "-1 0 0 0 0 []\n")
        << r.err;
}

TEST(CdfModelLayout, BuiltInGridsOfModels) {
    TempDir dir;
    // No coordinates: the grid comes from the column count or the model.
    auto file = [&](const std::string &tag, int nx, int ny, int model, int hours) {
        const std::string name = dir.file(tag + ".nc");
        const std::string cdl = "netcdf b {\ndimensions:\n frtime = 1 ;\n y = " + std::to_string(ny) +
                                " ;\n x = " + std::to_string(nx) +
                                " ;\nvariables:\n int frtime(frtime) ;\n int grib_model(frtime) ;\n"
                                " float T(frtime, y, x) ;\n  T:units = \"degK\" ;\n"
                                "data:\n frtime = " +
                                std::to_string(hours) + " ;\n grib_model = " + std::to_string(model) +
                                " ;\n T = " + list(nx * ny, [](int k) { return k; }) + " ;\n}\n";
        EXPECT_TRUE(compile(dir, cdl, name));
        return name;
    };
    struct Case {
        std::string tag;
        int nx, ny, model, hours;
        int proj, type, out_nx, out_ny;
        float clat, clon;
    };
    const Case cases[] = {
        {"ps83", 83, 83, 7, 0, 1, 1, 83, 83, 50.8936f, -103.1524f},
        {"m83", 93, 65, 83, 0, 4, 211, 93, 65, 40.62f, -100.51f},
        {"m69", 72, 3, 69, 96, MISSING, 11, 73, 3, FMISSING, FMISSING},
        {"m69short", 72, 3, 69, 48, MISSING, 11, 72, 3, FMISSING, FMISSING},
        {"m64", 4, 3, 64, 0, MISSING, 50, 4, 3, FMISSING, FMISSING},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tag);
        const std::string name = file(c.tag, c.nx, c.ny, c.model, c.hours);
        const int fd = open_read(name);
        Read r;
        int num = 0;
        ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
        GRD_close(fd);
        const Domain &d = r.r.domain;
        EXPECT_EQ(d.proj, c.proj);
        EXPECT_EQ(r.r.type, c.type);
        EXPECT_EQ(d.nx, c.out_nx);
        EXPECT_EQ(d.ny, c.out_ny);
        EXPECT_EQ(d.clat, c.clat);
        EXPECT_EQ(d.clon, c.clon);
        ASSERT_NE(r.r.grid, nullptr);
        if (c.tag == "ps83") {
            EXPECT_EQ(d.plon, -105.0f);
            EXPECT_EQ(d.dx, 0.9075464f);
        }
        if (c.tag == "m83") {
            EXPECT_EQ(d.plon, -95.0f);
            EXPECT_EQ(d.param[0], 25.0f);
            EXPECT_EQ(d.param[2], 1.277f);
        }
        if (c.tag == "m69") {
            // The wrap-around column repeats each row's first value.
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(r.r.grid[j * 73 + 72], r.r.grid[j * 73]) << j;
            EXPECT_EQ(r.r.grid[72], float(2 * 72)) << "rows of the file's last row first";
        }
    }
}

TEST(CdfModelLayout, DatesLevelOnlyVariablesAndNorthFirstRows) {
    TempDir dir;
    struct Case {
        std::string date_vars, date_data;
        int year, month, day, hour;
    };
    const Case cases[] = {
        {" int year ;\n int month ;\n int day ;\n int hour ;\n",
         " year = 2012 ;\n month = 2 ;\n day = 29 ;\n"
         " hour = 6 ;\n",
         2012, 2, 29, 6},
        {" int year ;\n int month ;\n int day ;\n int hour ;\n",
         " year = 96 ;\n month = 13 ;\n day = 0 ;\n"
         " hour = 30 ;\n",
         1996, 1, 1, 0},
        {" char reftime(len) ;\n", " reftime = \"2031 12 31 18\" ;\n", 2031, 12, 31, 18},
        {" char reftime(len) ;\n", " reftime = \"05 7 4 0\" ;\n", 2005, 7, 4, 0},
        {" int year ;\n", " year = 123 ;\n", 1980, 1, 1, 0},
    };
    int k = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(k);
        const std::string name = dir.file("d" + std::to_string(k++) + ".nc");
        // Latitudes run north to south: the rows stay as they are. The level-only
        // variable reads at its level, time 0.
        const std::string cdl =
            "netcdf d {\ndimensions:\n level = 2 ;\n lat = 2 ;\n lon = 3 ;\n len = 16 ;\n"
            "variables:\n float lat(lat) ;\n float lon(lon) ;\n float level(level) ;\n" +
            c.date_vars +
            " float temp(level, lat, lon) ;\ndata:\n lat = 50, 45 ;\n lon = 10, 12, 14 ;\n"
            " level = 850, 500 ;\n" +
            c.date_data + " temp = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 ;\n}\n";
        ASSERT_TRUE(compile(dir, cdl, name));
        GRD_info info{};
        const int fd = open_read(name, &info);
        EXPECT_EQ(info.date.year, c.year);
        EXPECT_EQ(info.date.month, c.month);
        EXPECT_EQ(info.date.day, c.day);
        EXPECT_EQ(info.date.hour, c.hour);
        Read r;
        int num = 1;
        ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
        GRD_close(fd);
        EXPECT_EQ(r.r.date.year, c.year);
        EXPECT_EQ(r.r.ltype, 10);
        EXPECT_EQ(r.r.level, 500);
        EXPECT_EQ(r.r.time, 0);
        EXPECT_EQ(r.r.domain.dy, 5.0f);
        EXPECT_EQ(r.r.domain.clat, 47.5f);
        EXPECT_EQ(r.r.grid[0], 7.0f) << "the file's first row is the northernmost";
        EXPECT_EQ(r.r.grid[5], 12.0f);
    }
}

TEST(CdfModelLayout, TwoFilesReadInTurnKeepTheirOwnPlace) {
    TempDir dir;
    const std::string name = dir.file("model.nc");
    ASSERT_TRUE(compile(dir, model_cdl(), name));
    const std::string other = dir.file("f.nc");
    ASSERT_TRUE(compile(dir, fields_cdl({{"RH", ""}, {"LI", ""}, {"V", ""}}), other));
    const int a = open_read(name);
    const int b = open_read(other);
    const int want_a[] = {104, 104, 23, 23};
    const int want_b[] = {13, 15, 24};
    for (int n = 0; n < 4; ++n) {
        Read r;
        int num = 13 + n;
        ASSERT_EQ(GRD_read(a, &r.r, 1, &num), 0);
        EXPECT_EQ(r.r.var, want_a[n]) << n;
        if (n < 3) {
            num = n;
            ASSERT_EQ(GRD_read(b, &r.r, 1, &num), 0);
            EXPECT_EQ(r.r.var, want_b[n]) << n;
        }
    }
    GRD_close(a);
    GRD_close(b);
}

TEST(CdfModelLayout, SearchesAndTheCalculatorReadTheRightGrid) {
    TempDir dir;
    const std::string name = dir.file("model.nc");
    ASSERT_TRUE(compile(dir, model_cdl(), name));
    auto r = run_child([&] {
        GRD_report g{};
        g.grid = nullptr;
        GRD_info info{};
        int type = 0;
        int rc = GRD_read_file((name + "+12::23").c_str(), &g, &info, &type);
        std::printf("\nspec %d %d %d %d %g\n", rc, g.var, g.time, g.level,
                    g.grid != nullptr ? double(g.grid[0]) : -1.0);
        std::free(g.grid);
        g.grid = nullptr;
        rc = GRD_read_file((name + "+12:500:13").c_str(), &g, &info, &type);
        std::printf("\nnone %d\n", rc);
        std::free(g.grid);
        const char *cmd[] = {"val", nullptr, "ll", "34,-96"};
        const std::string word = name + "+12::104";
        cmd[1] = word.c_str();
        return GRD_math_command(4, cmd) == 1 ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0) << r.err;
    // u-wind at 12 hours, 1000 mb: the variable's grid 5 (time index 1, level
    // index 0), row 0 the file's last row.
    char want[64];
    std::snprintf(want, sizeof want, "spec 1 23 12 1000 %g", -30 + (5 * 24 + 18) * 0.125);
    EXPECT_NE(r.out.find(want), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("none 0"), std::string::npos) << r.out;
    // Temperature at 12 hours (grid 5) at 34 N 96 W: the file's row 2, column 2.
    std::snprintf(want, sizeof want, "\n%f\n", 200 + (5 * 24 + 2 * 6 + 2) * 0.25);
    EXPECT_NE(r.out.find(want), std::string::npos) << r.out << r.err;
}

} // namespace
