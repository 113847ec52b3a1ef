#include "gridfile/grd_read.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/region.h"
#include "runtime/files.h"
#include "support/child.h"
#include "support/grid_records.h"
#include "support/grids.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

using zeqtest::make_domain;

using Source = zeqtest::GridSource;
using Read = zeqtest::GridRead;
using zeqtest::expect_same_values;
using zeqtest::ramp;

// Values that a text or binary encoding might lose: missing, signed zero,
// tiny and huge, a subnormal, and floats whose first big-endian byte is a
// white-space code (line feed, blank, tab).
std::vector<float> awkward_values() {
    return {-9999.0f,
            -0.0f,
            1e-35f,
            3.4e38f,
            std::bit_cast<float>(std::uint32_t(0x00000001)),
            std::bit_cast<float>(std::uint32_t(0x0A0B0C0D)),
            std::bit_cast<float>(std::uint32_t(0x20202020)),
            std::bit_cast<float>(std::uint32_t(0x09000000)),
            0.1f,
            1.0f / 3.0f,
            -273.15f,
            123456.789f};
}

void write_grids(const std::string &name, int type, std::vector<Source *> grids) {
    int t = type;
    const int fd = GRD_open(name.c_str(), 1, &t);
    ASSERT_GE(fd, 0);
    GRD_info info{};
    ASSERT_EQ(GRD_putinfo(fd, &info), 0);
    for (Source *s : grids) {
        int num = 0;
        ASSERT_EQ(GRD_write(fd, &s->r, 0, &num), 0);
    }
    ASSERT_EQ(GRD_close(fd), 0);
}

int open_read(const std::string &name, int type = 0) {
    int t = type;
    const int fd = GRD_open(name.c_str(), 0, &t);
    GRD_info info{};
    if (fd >= 0) GRD_getinfo(fd, &info);
    return fd;
}

// The bytes of a file as "c6 1c 3c 00 ..." written by od.
std::string od_bytes(const std::string &name) {
    return zeqtest::run_command("od -An -v -tx1 '" + name + "' | tr -s ' \\n' '  '");
}

// ---- The table ------------------------------------------------------------------

TEST(GridFileTable, FifteenSlotsAndTheFreedSlotComesBack) {
    TempDir dir;
    const std::string name = dir.file("g.grd");
    write_file(name, "ZEQGRID\n");
    std::vector<int> fds;
    for (int i = 0; i < GRD_MAX_FILES; ++i) {
        int type = 0;
        fds.push_back(GRD_open(name.c_str(), 0, &type));
        EXPECT_EQ(fds.back(), i);
        EXPECT_EQ(type, 2);
    }
    int type = 0;
    EXPECT_EQ(GRD_open(name.c_str(), 0, &type), -1);
    EXPECT_EQ(GRD_close(6), 0);
    EXPECT_EQ(GRD_get_gfile(6), nullptr);
    type = 0;
    EXPECT_EQ(GRD_open(name.c_str(), 0, &type), 6);
    for (int fd : fds)
        EXPECT_EQ(GRD_close(fd), 0);
    EXPECT_EQ(GRD_close(3), 0); // empty slot
    for (int bad : {-1, 15}) {
        EXPECT_EQ(GRD_close(bad), -1);
        EXPECT_EQ(GRD_rewind(bad), -1);
        GRD_info info{};
        EXPECT_EQ(GRD_getinfo(bad, &info), -1);
        EXPECT_EQ(GRD_putinfo(bad, &info), -1);
        GRD_report g{};
        int num = 0;
        EXPECT_EQ(GRD_read(bad, &g, 0, &num), -1);
        EXPECT_EQ(GRD_write(bad, &g, 0, &num), -1);
    }
}

TEST(GridFileTable, OnlyReadingAndCreatingAreAccesses) {
    TempDir dir;
    const std::string name = dir.file("g.grd");
    write_file(name, "ZEQGRID\n");
    for (int type : {0, 1, 2, 3, 11, 21}) {
        int t = type;
        EXPECT_EQ(GRD_open(name.c_str(), 2, &t), -1) << type;
    }
    int t = 0;
    EXPECT_EQ(GRD_open(dir.file("new.grd").c_str(), 1, &t), -1) << "detection needs reading";
    t = 2;
    EXPECT_EQ(GRD_open(dir.file("missing.grd").c_str(), 0, &t), -1);
    t = 0;
    EXPECT_EQ(GRD_open(dir.file("missing.grd").c_str(), 0, &t), -1);
    t = 7;
    EXPECT_EQ(GRD_open(name.c_str(), 0, &t), -1) << "unknown type";
    EXPECT_EQ(GRD_get_gfile(0), nullptr);
}

TEST(GridFileTable, TypeDetection) {
    TempDir dir;
    struct Case {
        std::string bytes;
        int type;
    };
    std::string behind(120, 'x');
    const std::vector<Case> cases = {
        {"12Z  5 JAN 24\n", 1},
        {" header\n", 1},
        {"9ZEQGRID\n", 1},
        {"ZEQGRID4B\n", 4},
        {"ZEQGRID4", 4},
        {"ZEQGRID\n", 2},
        {"ZEQGRIDX\n", 2},
        {std::string("CDF\x01\0\0", 6), 11},
        {"GRIB....", 21},
        {"**** bulletin\n", 21},
        {std::string("\x01\r\r\n123\r\r\n", 10), 21},
        {"GRID 1 2 3", 22},
        {behind + "GRIB" + std::string(40, 'y'), 21},
        {std::string(196, 'x') + "GRIB", 21},
        {std::string(197, 'x') + "GRIB", -1}, // not within the first 200 bytes
        {"ZEQ\n", -1},
        {"", -1},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string name = dir.file("f" + std::to_string(i));
        write_file(name, cases[i].bytes);
        EXPECT_EQ(GRD_chktype(name.c_str()), cases[i].type) << "case " << i;
    }
    EXPECT_EQ(GRD_chktype(dir.file("none").c_str()), -1);
}

TEST(GridFileTable, NetcdfAndGridCodeSlots) {
    TempDir dir;
    // Bytes that begin like netCDF but are not: the library refuses them and
    // the slot stays free.
    const std::string bad = dir.file("a.nc");
    write_file(bad, std::string("CDF\x01", 4));
    EXPECT_EQ(GRD_chktype(bad.c_str()), 11);
    int type = 0;
    EXPECT_EQ(GRD_open(bad.c_str(), 0, &type), -1);
    EXPECT_EQ(GRD_get_gfile(0), nullptr);
    // A netCDF file is made, closed and its slot freed; netCDF names are
    // files, never commands.
    type = 11;
    const int fd = GRD_open(dir.file("out.nc").c_str(), 1, &type);
    EXPECT_EQ(fd, 0);
    ASSERT_NE(GRD_get_gfile(0), nullptr);
    EXPECT_EQ(GRD_get_gfile(0)->file, nullptr);
    EXPECT_EQ(GRD_rewind(fd), 0);
    EXPECT_EQ(GRD_close(fd), 0);
    EXPECT_EQ(GRD_get_gfile(0), nullptr);
    EXPECT_EQ(GRD_chktype(dir.file("out.nc").c_str()), 11);
    type = 11;
    EXPECT_EQ(GRD_open(("|touch " + dir.file("ran")).c_str(), 1, &type), -1);
    EXPECT_FALSE(std::ifstream(dir.file("ran")).good());
    // GRID code is read only.
    auto r = run_child([&] {
        int t = 22;
        return GRD_open(dir.file("out.grid").c_str(), 1, &t) == -1 ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("GRID code grid files cannot be written"), std::string::npos) << r.err;
}

TEST(GridFileTable, IndexFilesOnlyForGribSlots) {
    TempDir dir;
    const std::string name = dir.file("g.grd");
    write_file(name, "ZEQGRID\n");
    write_file(dir.file("g.idx"), "index\n");
    int type = 0;
    const int fd = GRD_open(name.c_str(), 0, &type);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(GRD_hdr_open(fd, dir.file("g.idx").c_str()), -1);
    EXPECT_EQ(GRD_get_gfile(fd)->hfile, nullptr);
    GRD_close(fd);
}

// ---- Native files: round trips ----------------------------------------------------

struct Projection {
    const char *what;
    Domain d;
};

std::vector<Projection> projections() {
    std::vector<Projection> p;
    Domain ps = make_domain(1, 40.0f, -100.0f, 4, 3, 1.5f, 1.5f);
    ps.plon = -105.0f;
    p.push_back({"polar stereographic with a pole longitude", ps});
    Domain ps0 = make_domain(1, -60.0f, 20.0f, 4, 3, 0.8f, 0.8f);
    p.push_back({"polar stereographic without", ps0});
    Domain lc = make_domain(4, 38.5f, -97.25f, 4, 3, 0.4f, 0.4f);
    lc.plat = 25.0f;
    lc.plon = -95.0f;
    lc.param[0] = 25.0f;
    lc.param[1] = 45.0f;
    lc.param[2] = 1.0f;
    p.push_back({"Lambert conformal with true latitudes", lc});
    Domain lc1 = make_domain(4, 38.5f, -97.25f, 4, 3, 0.4f, 0.4f);
    lc1.plon = -95.0f;
    p.push_back({"Lambert conformal with a pole longitude", lc1});
    p.push_back({"latitude-longitude", make_domain(2, 45.0f, 10.0f, 4, 3, 2.5f, 2.0f)});
    p.push_back({"Mercator", make_domain(3, 0.0f, 150.0f, 4, 3, 1.0f, 1.0f)});
    return p;
}

class NativeRoundTrip : public testing::TestWithParam<int> {};

TEST_P(NativeRoundTrip, EveryProjectionAndAwkwardValuesReadBackExactly) {
    const int type = GetParam();
    TempDir dir;
    const std::string name = dir.file("rt.grd");
    std::vector<Source> grids;
    for (const Projection &p : projections())
        grids.emplace_back(p.d, ramp(12));
    grids.emplace_back(make_domain(1, 40.0f, -100.0f, 4, 3, 1.5f, 1.5f), awkward_values());
    std::snprintf(grids.back().r.units, sizeof grids.back().r.units, "m s-1");
    std::snprintf(grids.back().r.info, sizeof grids.back().r.info, "Wind speed (m s-1)");
    grids.back().r.var = 32;
    std::vector<Source *> ptrs;
    for (Source &s : grids)
        ptrs.push_back(&s);
    write_grids(name, type, ptrs);

    int detected = 0;
    const int fd = GRD_open(name.c_str(), 0, &detected);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(detected, type == 1 ? 1 : 2);
    GRD_info info{};
    ASSERT_EQ(GRD_getinfo(fd, &info), 0);
    EXPECT_STREQ(info.datim, "12Z  5 JAN 24");
    EXPECT_EQ(info.date.year, 2024);
    EXPECT_EQ(info.date.day, 5);
    EXPECT_EQ(info.date.hour, 12);

    for (std::size_t i = 0; i < grids.size(); ++i) {
        SCOPED_TRACE(i < projections().size() ? projections()[i].what : "awkward values");
        const GRD_report &w = grids[i].r;
        Read got;
        int num = int(i);
        ASSERT_EQ(GRD_read(fd, &got.r, 0, &num), 0);
        EXPECT_EQ(num, int(i));
        EXPECT_STREQ(got.r.datim, w.datim);
        EXPECT_STREQ(got.r.info, w.info);
        EXPECT_EQ(got.r.source, 7);
        EXPECT_EQ(got.r.version, type == 3 ? 3 : 2);
        EXPECT_EQ(got.r.model, 83);
        EXPECT_EQ(got.r.type, 211);
        EXPECT_EQ(got.r.ltype, 100);
        EXPECT_EQ(got.r.level, 500);
        EXPECT_EQ(got.r.time, 12);
        EXPECT_EQ(got.r.var, w.var);
        EXPECT_STREQ(got.r.units, w.units);
        const Domain &a = got.r.domain, &b = w.domain;
        EXPECT_EQ(a.proj, b.proj);
        EXPECT_EQ(a.clat, b.clat);
        EXPECT_EQ(a.clon, b.clon);
        EXPECT_EQ(a.dx, b.dx);
        EXPECT_EQ(a.dy, b.dy);
        EXPECT_EQ(a.nx, b.nx);
        EXPECT_EQ(a.ny, b.ny);
        if (b.proj == 1) {
            EXPECT_EQ(a.plon, b.plon == FMISSING ? b.clon : b.plon);
        }
        if (b.proj == 4) {
            EXPECT_EQ(a.plat, b.plat);
            EXPECT_EQ(a.plon, b.plon);
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(a.param[k], b.param[k]);
        }
        expect_same_values(got.r, grids[i].v);
    }
    EXPECT_STREQ(grids.back().r.units, "m_s-1") << "blanks of the units are written as '_'";
    Read past;
    int num = int(grids.size());
    EXPECT_EQ(GRD_read(fd, &past.r, 0, &num), -1);
    EXPECT_EQ(past.r.grid, nullptr);
    GRD_close(fd);
}

INSTANTIATE_TEST_SUITE_P(Types, NativeRoundTrip, testing::Values(1, 2, 3));

TEST(NativeFiles, TextLayoutAsWritten) {
    TempDir dir;
    const std::string name = dir.file("t.grd");
    Domain d = make_domain(1, 40.0f, -100.0f, 2, 1, 1.5f, 1.5f);
    d.plon = -105.0f;
    Source s(d, {1.5f, -9999.0f});
    std::snprintf(s.r.units, sizeof s.r.units, "m s-1");
    write_grids(name, 2, {&s});
    EXPECT_EQ(read_file(name), "ZEQGRID\n"
                               "12Z  5 JAN 24\n"
                               "2-12 hour 500 mb Height (m)\n"
                               "7 2 83 211 100 500 12 7:m_s-1\n"
                               "PS:-105.000000 40.000000 -100.000000 1.500000 1.500000 2 1\n"
                               "1.50000000e+00\n"
                               "-9.99900000e+03\n");
}

TEST(NativeFiles, BinaryValuesAreBigEndianOnDisk) {
    TempDir dir;
    const std::string name = dir.file("b.grd");
    Source s(make_domain(2, 0.0f, 0.0f, 3, 1, 1.0f, 1.0f), {-9999.0f, 1.0f, -2.5f});
    write_grids(name, 3, {&s});
    const std::string bytes = od_bytes(name);
    ASSERT_FALSE(bytes.empty()) << "od (coreutils) is needed";
    // -9999.0, 1.0 and -2.5 as IEEE big-endian, then the line feed.
    EXPECT_NE(bytes.find("0a c6 1c 3c 00 3f 80 00 00 c0 20 00 00 0a "), std::string::npos) << bytes;
    const std::string text = read_file(name);
    EXPECT_EQ(text.compare(0, 8, "ZEQGRID\n"), 0);
    EXPECT_NE(text.find("\n3-12 hour"), std::string::npos);
    EXPECT_NE(text.find("\n7 3 83 211 100 500 12 7:m\n"), std::string::npos);
}

TEST(NativeFiles, ValueFormat) {
    TempDir dir;
    const std::string name = dir.file("f.grd");
    GRD_set_format("%8.2f");
    Source s(make_domain(2, 0.0f, 0.0f, 2, 1, 1.0f, 1.0f), {3.14159f, -9999.0f});
    write_grids(name, 2, {&s});
    const std::string text = read_file(name);
    EXPECT_NE(text.find("\n    3.14\n-9999.00\n"), std::string::npos) << text;

    // Formats that do not print exactly one float are refused.
    for (const char *bad : {"%s", "%d", "%8.2f %8.2f", "%n", "no conversion", "%123456789012.1f"}) {
        auto r = run_child([&] {
            GRD_set_format("%6.1f");
            GRD_set_format(bad);
            int t = 2;
            const std::string out = dir.file("bad.grd");
            const int fd = GRD_open(out.c_str(), 1, &t);
            int num = 0;
            Source v(make_domain(2, 0.0f, 0.0f, 1, 1, 1.0f, 1.0f), {2.25f});
            GRD_write(fd, &v.r, 0, &num);
            GRD_close(fd);
            std::fputs(read_file(out).c_str(), stdout);
            return 0;
        });
        EXPECT_NE(r.err.find("GRD_set_format: Invalid grid value format"), std::string::npos) << bad;
        EXPECT_NE(r.out.find("\n   2.2\n"), std::string::npos) << bad << ": " << r.out;
    }
}

TEST(NativeFiles, ProjectionsTheFormatCannotHoldAreRefused) {
    TempDir dir;
    auto r = run_child([&] {
        int t = 2;
        const int fd = GRD_open(dir.file("o.grd").c_str(), 1, &t);
        Source s(make_domain(8, 40.0f, -100.0f, 1, 1, 1.0f, 1.0f), {1.0f});
        int num = 0;
        const int rc = GRD_write(fd, &s.r, 0, &num);
        GRD_report none{};
        const int rc2 = GRD_write(fd, &none, 0, &num);
        GRD_close(fd);
        return rc == -1 && rc2 == -1 ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Projection 8 cannot be stored"), std::string::npos) << r.err;
}

// ---- Native files: reading order ----------------------------------------------------

TEST(NativeFiles, HeadersThenValuesAndRereadingAndRewinding) {
    for (int type : {2, 3}) {
        SCOPED_TRACE(type);
        TempDir dir;
        const std::string name = dir.file("o.grd");
        Source a(make_domain(2, 0.0f, 0.0f, 3, 2, 1.0f, 1.0f), ramp(6));
        Source b(make_domain(2, 0.0f, 0.0f, 3, 2, 1.0f, 1.0f), {1, 2, 3, 4, 5, 6});
        Source c(make_domain(2, 0.0f, 0.0f, 3, 2, 1.0f, 1.0f), {-1, -2, -3, -4, -5, -6});
        a.r.level = 850;
        b.r.level = 700;
        c.r.level = 500;
        write_grids(name, type, {&a, &b, &c});
        const int fd = open_read(name);
        ASSERT_GE(fd, 0);
        Read r;
        auto read = [&](int n, int rep) {
            int num = n;
            const int rc = GRD_read(fd, &r.r, rep, &num);
            EXPECT_EQ(num, n);
            return rc;
        };
        // A search: each header, then the same number with values.
        ASSERT_EQ(read(0, 1), 0);
        EXPECT_EQ(r.r.grid, nullptr);
        EXPECT_EQ(r.r.level, 850);
        ASSERT_EQ(read(1, 1), 0);
        EXPECT_EQ(r.r.level, 700);
        ASSERT_EQ(read(1, 0), 0);
        EXPECT_EQ(r.r.level, 700);
        expect_same_values(r.r, b.v);
        ASSERT_EQ(read(1, 0), 0) << "the same number twice";
        expect_same_values(r.r, b.v);
        ASSERT_EQ(read(2, 0), 0);
        expect_same_values(r.r, c.v);
        ASSERT_EQ(read(0, 0), 0) << "an earlier number rewinds";
        EXPECT_EQ(r.r.level, 850);
        expect_same_values(r.r, a.v);
        ASSERT_EQ(read(1, 0), 0);
        expect_same_values(r.r, b.v);
        EXPECT_EQ(GRD_rewind(fd), 0);
        ASSERT_EQ(read(0, 0), 0) << "after a rewind the first grid";
        EXPECT_EQ(r.r.level, 850);
        GRD_close(fd);
    }
}

TEST(NativeFiles, AppendedFilesReadOnPastTheSecondMagicLine) {
    TempDir dir;
    Source a(make_domain(2, 0.0f, 0.0f, 2, 1, 1.0f, 1.0f), {1, 2});
    Source b(make_domain(2, 0.0f, 0.0f, 2, 1, 1.0f, 1.0f), {3, 4});
    write_grids(dir.file("a.grd"), 2, {&a});
    write_grids(dir.file("b.grd"), 3, {&b});
    write_file(dir.file("ab.grd"), read_file(dir.file("a.grd")) + read_file(dir.file("b.grd")));
    const int fd = open_read(dir.file("ab.grd"));
    Read r;
    int num = 0;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    expect_same_values(r.r, a.v);
    num = 1;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    expect_same_values(r.r, b.v);
    GRD_close(fd);
}

TEST(NativeFiles, StandardInputIsReadInSequence) {
    TempDir dir;
    const std::string name = dir.file("in.grd");
    Source a(make_domain(2, 0.0f, 0.0f, 2, 1, 1.0f, 1.0f), {1, 2});
    Source b(make_domain(2, 0.0f, 0.0f, 2, 1, 1.0f, 1.0f), {3, 4});
    write_grids(name, 3, {&a, &b});
    zeqtest::ChildInput in{read_file(name), true};
    auto r = run_child(
        [&] {
            int type = 3;
            if (GRD_open("-", 0, &type) != 0 || type != 3) return 10;
            GRD_close(0);
            type = 0;
            const int fd = GRD_open("-", 0, &type);
            if (type != 2) return 11;
            GRD_info info{};
            GRD_getinfo(fd, &info);
            if (std::strcmp(info.datim, "12Z  5 JAN 24") != 0) return 12;
            GRD_rewind(fd);
            Read g;
            int num = 0;
            if (GRD_read(fd, &g.r, 0, &num) != 0 || g.r.grid[1] != 2.0f) return 13;
            if (std::strcmp(g.r.datim, "12Z  5 JAN 24") != 0) return 14;
            num = 1;
            if (GRD_read(fd, &g.r, 0, &num) != 0 || g.r.grid[0] != 3.0f || num != 1) return 15;
            return 0;
        },
        in);
    EXPECT_EQ(r.status, 0) << r.err;

    // A command's output reads the same way, the second grid without the first.
    const std::string cmd = "|cat '" + name + "'";
    int type = 0;
    const int fd = GRD_open(cmd.c_str(), 0, &type);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(type, 2);
    GRD_info info{};
    GRD_getinfo(fd, &info);
    Read g;
    int num = 1;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
    EXPECT_EQ(num, 1);
    expect_same_values(g.r, b.v);
    num = 0;
    EXPECT_EQ(GRD_read(fd, &g.r, 0, &num), -1) << "no way back, and nothing after";
    EXPECT_EQ(GRD_close(fd), 0);
}

// ---- Native files: the forms a reader meets ----------------------------------------

std::string values_text(int n, float v0) {
    std::string s;
    for (int k = 0; k < n; ++k)
        s += std::to_string(v0 + float(k)) + "\n";
    return s;
}

TEST(NativeFiles, VersionAndProjectionForms) {
    TempDir dir;
    const std::string name = dir.file("forms.grd");
    std::string text = "ZEQGRID\n";
    // 0: no version prefix: no parameter line, the defaults.
    text += "00Z  1 FEB 96\nJust a description\nPS 45.0 -100.0 1.0 1.0 2 1\n" + values_text(2, 1);
    // 1: version 1 stores the centre longitude west-positive.
    text += "00Z  1 FEB 96\n1-West positive\nPS 45.0 100.0 1.0 1.0 2 1\n" + values_text(2, 1);
    // 2: a pole longitude apart from the centre.
    text += "L\n0-x\nPS:-105.0 45.0 -100.0 1.0 1.0 2 1\n" + values_text(2, 1);
    // 3: Lambert with the pole longitude only.
    text += "L\n0-x\nLC:-95.0 38.0 -97.0 0.4 0.4 2 1\n" + values_text(2, 1);
    // 4: Lambert with all five numbers.
    text += "L\n0-x\nLC:25:-95:25:45:1 38.0 -97.0 0.4 0.4 2 1\n" + values_text(2, 1);
    // 5: the old form without a token.
    text += "L\n0-x\n45.0 -100.0 1.0 51 41\n" + values_text(51 * 41, 0);
    // 6: the old units token before the projection token.
    text += "L\n0-x\n:mb LL 10 20 2.5 2.5 2 1\n" + values_text(2, 1);
    // 7: a parameter line without units; LL with -9999 as pole longitude.
    text += "L\n2-Param\n3 2 39 104 105 2 6 11\nLL:-9999 10 20 2.5 2.5 2 1\n" + values_text(2, 1);
    write_file(name, text);

    const int fd = open_read(name);
    ASSERT_GE(fd, 0);
    Read r;
    auto header = [&](int n) {
        int num = n;
        EXPECT_EQ(GRD_read(fd, &r.r, 1, &num), 0) << n;
        return r.r;
    };
    GRD_report g = header(0);
    EXPECT_EQ(g.version, 0);
    EXPECT_STREQ(g.info, "Just a description");
    EXPECT_EQ(g.source, 1);
    EXPECT_EQ(g.model, 1);
    EXPECT_EQ(g.var, 0);
    EXPECT_EQ(g.domain.plon, -100.0f) << "PS alone: the pole longitude is the centre's";
    g = header(1);
    EXPECT_EQ(g.version, 1);
    EXPECT_STREQ(g.info, "West positive");
    EXPECT_EQ(g.domain.clon, -100.0f);
    EXPECT_EQ(g.domain.plon, -100.0f);
    g = header(2);
    EXPECT_EQ(g.domain.plon, -105.0f);
    EXPECT_EQ(g.domain.clon, -100.0f);
    g = header(3);
    EXPECT_EQ(g.domain.proj, 4);
    EXPECT_EQ(g.domain.plon, -95.0f);
    EXPECT_EQ(g.domain.plat, FMISSING);
    EXPECT_EQ(g.domain.param[0], FMISSING);
    g = header(4);
    EXPECT_EQ(g.domain.plat, 25.0f);
    EXPECT_EQ(g.domain.plon, -95.0f);
    EXPECT_EQ(g.domain.param[0], 25.0f);
    EXPECT_EQ(g.domain.param[1], 45.0f);
    EXPECT_EQ(g.domain.param[2], 1.0f);
    g = header(5);
    EXPECT_EQ(g.domain.proj, 1);
    EXPECT_EQ(g.domain.clat, 45.0f);
    EXPECT_EQ(g.domain.clon, -100.0f);
    EXPECT_EQ(g.domain.dx, 1.0f);
    EXPECT_EQ(g.domain.dy, 1.0f);
    EXPECT_EQ(g.domain.nx, 51);
    EXPECT_EQ(g.domain.ny, 41);
    int num = 5;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    EXPECT_EQ(r.r.grid[51 * 41 - 1], float(51 * 41 - 1));
    g = header(6);
    EXPECT_EQ(g.domain.proj, 2);
    EXPECT_STREQ(g.units, "mb");
    EXPECT_EQ(g.domain.dx, 2.5f);
    g = header(7);
    EXPECT_EQ(g.source, 3);
    EXPECT_EQ(g.version, 2);
    EXPECT_EQ(g.model, 39);
    EXPECT_EQ(g.type, 104);
    EXPECT_EQ(g.ltype, 105);
    EXPECT_EQ(g.level, 2);
    EXPECT_EQ(g.time, 6);
    EXPECT_EQ(g.var, 11);
    EXPECT_STREQ(g.units, "");
    EXPECT_EQ(g.domain.plon, 20.0f);
    num = 5;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0) << "an earlier number rewinds and counts up to it";
    EXPECT_EQ(num, 5);
    EXPECT_EQ(r.r.domain.nx, 51);
    num = 3;
    ASSERT_EQ(GRD_read(fd, &r.r, 1, &num), 0);
    EXPECT_EQ(r.r.domain.plon, -95.0f);
    num = 9;
    EXPECT_EQ(GRD_read(fd, &r.r, 1, &num), -1) << "past the last grid";
    num = 1;
    ASSERT_EQ(GRD_read(fd, &r.r, 1, &num), 0) << "after a failure the counting starts again";
    EXPECT_STREQ(r.r.info, "West positive");
    GRD_close(fd);
}

TEST(NativeFiles, ValuesInASeparateDataFile) {
    TempDir dir;
    // The data file holds the rows south first and east to west, after a
    // 10-byte prefix; the grid is 3 x 2 with row 0 = {1, 2, 3}.
    write_file(dir.file("vals.txt"), "prefix....6 5 4\n3 2 1\n");
    std::vector<float> bin = {1, 2, 3, 4, 5, 6};
    std::string raw(reinterpret_cast<const char *>(bin.data()), bin.size() * sizeof(float));
    write_file(dir.file("vals.bin"), "xx" + raw);
    const std::string name = dir.file("ext.grd");
    write_file(name, "ZEQGRID\n"
                     "L1\n4-Text data\n1 4 1 0 1 0 0 11\nLL 0 0 1 1 3 2\nA " +
                         dir.file("vals.txt") +
                         " 10 0 0\n"
                         "L2\n4-Binary data\n1 4 1 0 1 0 0 11\nLL 0 0 1 1 3 2\nB " +
                         dir.file("vals.bin") +
                         " 2 1 1\n"
                         "L3\n4-Missing data\n1 4 1 0 1 0 0 11\nLL 0 0 1 1 3 2\nA " +
                         dir.file("gone.txt") + " 0 1 1\n");
    const int fd = open_read(name);
    ASSERT_GE(fd, 0);
    Read r;
    int num = 0;
    ASSERT_EQ(GRD_read(fd, &r.r, 1, &num), 0);
    EXPECT_EQ(r.r.version, 4);
    num = 1;
    ASSERT_EQ(GRD_read(fd, &r.r, 1, &num), 0) << "a header-only read leaves the stream at the next record";
    EXPECT_STREQ(r.r.datim, "L2");
    num = 0;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    expect_same_values(r.r, {1, 2, 3, 4, 5, 6});
    num = 1;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    expect_same_values(r.r, {1, 2, 3, 4, 5, 6});
    GRD_close(fd);

    auto c = run_child([&] {
        const int f = open_read(name);
        Read g;
        for (int k = 0; k < 2; ++k) {
            int n = k;
            GRD_read(f, &g.r, 1, &n);
        }
        int n = 2;
        const int rc = GRD_read(f, &g.r, 0, &n);
        return rc == 1 && g.r.grid == nullptr && g.r.source == 0 ? 0 : 1;
    });
    EXPECT_EQ(c.status, 0);
    EXPECT_NE(c.err.find("GRD_read: Unable to open grid file: " + dir.file("gone.txt")), std::string::npos)
        << c.err;
}

TEST(NativeFiles, Zeqgrid4TextAndBinary) {
    TempDir dir;
    const std::string text = dir.file("t4.grd");
    write_file(text, "ZEQGRID4\nL\n2-Prefix ignored\nps,40,-100,3,2,1.5\n1\n2\n3\n4\n5\n6\n");
    EXPECT_EQ(GRD_chktype(text.c_str()), 4);
    const std::string bin = dir.file("b4.grd");
    std::string block;
    for (float v : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}) {
        const auto u = std::bit_cast<std::uint32_t>(v);
        for (int s = 24; s >= 0; s -= 8)
            block.push_back(char((u >> s) & 0xFF));
    }
    write_file(bin, "ZEQGRID4B\nL\n0-Binary\n1 0 1 0 100 500 0 7:m\nps,40,-100,3,2,1.5\n" + block + "\n");

    Domain want;
    DOM_decode("ps,40,-100,3,2,1.5", &want);
    for (const std::string &name : {text, bin}) {
        SCOPED_TRACE(name);
        int type = 0;
        const int fd = GRD_open(name.c_str(), 0, &type);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(type, 4);
        GRD_info info{};
        GRD_getinfo(fd, &info);
        EXPECT_EQ(GRD_get_gfile(fd)->itype, name == bin ? 3 : 0);
        Read r;
        int num = 0;
        ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
        EXPECT_EQ(r.r.version, name == bin ? 3 : 0);
        EXPECT_TRUE(DOM_comp(&r.r.domain, &want));
        expect_same_values(r.r, {1, 2, 3, 4, 5, 6});
        EXPECT_EQ(GRD_rewind(fd), 0);
        num = 0;
        ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
        expect_same_values(r.r, {1, 2, 3, 4, 5, 6});
        EXPECT_EQ(GRD_putinfo(fd, &info), -1);
        EXPECT_EQ(GRD_write(fd, &r.r, 0, &num), -1);
        EXPECT_EQ(GRD_close(fd), 0);
        EXPECT_EQ(GRD_get_gfile(fd), nullptr);
    }
}

TEST(NativeFiles, ValuesCutShortCannotBeReadNamingTheFile) {
    TempDir dir;
    Source s(make_domain(2, 0.0f, 0.0f, 4, 3, 1.0f, 1.0f), ramp(12));
    for (int type : {2, 3}) {
        const std::string whole = dir.file("whole" + std::to_string(type));
        write_grids(whole, type, {&s});
        std::string bytes = read_file(whole);
        const std::string cut = dir.file("cut" + std::to_string(type));
        write_file(cut, bytes.substr(0, bytes.size() - (type == 3 ? 10 : 20)));
        auto r = run_child([&] {
            const int fd = open_read(cut);
            Read g;
            g.r.grid = static_cast<float *>(std::malloc(4)); // from an earlier read
            int num = 0;
            const int rc = GRD_read(fd, &g.r, 0, &num);
            std::printf("%d %d %d\n", rc, g.r.grid == nullptr, g.r.source);
            return 0;
        });
        EXPECT_EQ(r.out, "1 1 0\n") << type;
        EXPECT_NE(r.err.find("GRD_read: Grid values cut short in file: " + cut), std::string::npos) << r.err;
    }
    // A value that is not a number is reported the same way.
    const std::string bad = dir.file("bad");
    write_file(bad, "ZEQGRID\nL\n0-x\nLL 0 0 1 1 2 1\n1.0\nabc\n");
    auto r = run_child([&] {
        const int fd = open_read(bad);
        Read g;
        int num = 0;
        return GRD_read(fd, &g.r, 0, &num) == 1 && g.r.grid == nullptr ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("cut short in file: " + bad), std::string::npos);
}

// A record that is there but cannot be read gives 1 naming the grid and the
// file; when its end is known the next number reads the next record, else
// nothing after it is found and the next number is the end.
TEST(NativeFiles, RecordsThatCannotBeReadGiveOne) {
    TempDir dir;
    write_file(dir.file("vals.txt"), "1 2 3 4 5 6\n");
    const std::string rec = "1 4 1 0 100 500 0 11\nLL 0 0 1 1 3 2\n";
    const std::string name = dir.file("gone.grd");
    write_file(name, "ZEQGRID\nL0\n4-Gone\n" + rec + "A " + dir.file("gone.txt") + " 0 1 1\n" +
                         "L1\n4-Here\n" + rec + "A " + dir.file("vals.txt") + " 0 1 1\n");
    auto r = run_child([&] {
        const int fd = open_read(name);
        Read g;
        // Header and values of 0, 1, 0 again, 2; then 1 again and 0 with values.
        const int order[][2] = {{0, 1}, {0, 0}, {1, 0}, {0, 0}, {2, 0}, {1, 0}};
        for (const auto &o : order) {
            int n = o[0];
            const int rc = GRD_read(fd, &g.r, o[1], &n);
            std::printf("%d:%d:%s:%d ", o[0], rc, rc < 0 ? "" : g.r.datim,
                        g.r.grid != nullptr ? int(g.r.grid[5]) : -1);
        }
        return 0;
    });
    EXPECT_EQ(r.out, "0:0:L0:-1 0:1:L0:-1 1:0:L1:6 0:1:L0:-1 2:-1::-1 1:0:L1:6 ") << r.err;
    EXPECT_NE(r.err.find("GRD_read: Grid 0 cannot be read: " + name), std::string::npos) << r.err;

    // Values cut short in the middle of the file: the next record cannot be
    // found, so the grid after it is the end.
    Source a(make_domain(2, 0.0f, 0.0f, 3, 2, 1.0f, 1.0f), ramp(6));
    const std::string whole = dir.file("whole.grd");
    write_grids(whole, 2, {&a, &a, &a});
    std::string bytes = read_file(whole);
    const std::size_t second = bytes.find("12Z", bytes.find("12Z") + 1);
    const std::size_t values = bytes.find("LL", second);
    const std::size_t cut = bytes.find('\n', bytes.find('\n', values) + 1);
    const std::string cut_name = dir.file("cut.grd");
    write_file(cut_name, bytes.substr(0, cut + 1) + bytes.substr(bytes.find("12Z", cut)));
    auto c = run_child([&] {
        const int fd = open_read(cut_name);
        Read g;
        for (int n0 : {0, 1, 2, 1, 0}) {
            int n = n0;
            std::printf("%d ", GRD_read(fd, &g.r, 1, &n));
        }
        return 0;
    });
    EXPECT_EQ(c.out, "0 1 -1 1 0 ") << c.err;
    EXPECT_NE(c.err.find("GRD_read: Grid 1 cannot be read: " + cut_name), std::string::npos) << c.err;

    // The grid-file search passes over the record that cannot be read.
    auto s = run_child([&] {
        GRD_report g{};
        g.grid = nullptr;
        GRD_info info{};
        int type = 0;
        const int rc = GRD_read_file((name + "+0:500mb:11").c_str(), &g, &info, &type);
        std::printf("%d %s %d\n", rc, g.datim, g.grid != nullptr ? int(g.grid[0]) : -1);
        std::free(g.grid);
        return 0;
    });
    EXPECT_NE(s.out.find("\n1 L1 1\n"), std::string::npos) << s.out << s.err;
}

TEST(NativeFiles, HugeSizesInACorruptHeaderAllocateNothing) {
    TempDir dir;
    const std::string name = dir.file("huge");
    write_file(name, "ZEQGRID\nL\n3-x\n1 3 1 0 0 0 0 7\nLL 0 0 1 1 200000 200000\n\x01\x02\n");
    auto r = run_child([&] {
        const int fd = open_read(name);
        Read g;
        int num = 0;
        return GRD_read(fd, &g.r, 0, &num) == 1 && g.r.grid == nullptr ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("cut short"), std::string::npos) << r.err;
}

// Version 4 records: the data file must hold the values before the array is
// allocated, as versions 2 and 3 check their own file (a 30000 x 30000 record
// with four values asks for nothing).
#ifdef __SANITIZE_ADDRESS__
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *,
                                                                             std::size_t),
                                                         void (*free_hook)(const volatile void *));
std::size_t largest_malloc = 0;
void note_malloc(const volatile void *, std::size_t size) {
    if (size > largest_malloc) largest_malloc = size;
}
void note_free(const volatile void *) {}
#endif

TEST(NativeFiles, ExternalDataIsCheckedBeforeAllocating) {
    TempDir dir;
    write_file(dir.file("four.txt"), "1 2 3 4\n");
    write_file(dir.file("four.bin"), std::string(16, '\0'));
    const std::string name = dir.file("huge4.grd");
    write_file(
        name, "ZEQGRID\nL1\n4-x\n1 4 1 0 1 0 0 11\nLL 40 -100 1 1 30000 30000\nA " + dir.file("four.txt") +
                  " 0 1 1\nL2\n4-x\n1 4 1 0 1 0 0 11\nLL 40 -100 1 1 30000 30000\nB " + dir.file("four.bin") +
                  " 0 1 1\nL3\n4-x\n1 4 1 0 1 0 0 11\nLL 40 -100 1 1 30000 30000\nA " + dir.file("four.txt") +
                  " 101 1 1\n");
    // Records 0 and 1 hold far too few values; record 2 starts past the end.
    for (int num : {0, 1, 2}) {
        auto r = run_child([&] {
#ifdef __SANITIZE_ADDRESS__
            if (__sanitizer_install_malloc_and_free_hooks(note_malloc, note_free) != 1) return 3;
#endif
            const int fd = open_read(name);
            Read g;
            int n = num;
            const int rc = GRD_read(fd, &g.r, 0, &n);
#ifdef __SANITIZE_ADDRESS__
            if (largest_malloc > (std::size_t{64} << 20)) return 2;
#endif
            return rc == 1 && g.r.grid == nullptr ? 0 : 1;
        });
        EXPECT_EQ(r.status, 0) << num;
        EXPECT_NE(r.err.find("GRD_read: Grid values cut short in file: " +
                             dir.file(num == 1 ? "four.bin" : "four.txt")),
                  std::string::npos)
            << r.err;
    }
}

// The data file of a version 4 record is a name read from the grid file: it
// runs no command and opens no device, however the program was started.
TEST(NativeFiles, ExternalDataNamedByTheFileRunsNoCommand) {
    TempDir dir;
    const std::string ran = dir.file("ran");
    const std::string name = dir.file("evil.grd");
    write_file(name, "ZEQGRID\nL1\n4-x\n1 4 1 0 1 0 0 11\nLL 0 0 1 1 3 2\nA |touch${IFS}" + ran +
                         " 0 1 1\nL2\n4-x\n1 4 1 0 1 0 0 11\nLL 0 0 1 1 3 2\nA /dev/zero 0 1 1\n");
    auto r = run_child([&] {
        FILE_set_trust(FILE_TRUST_USER);
        const int fd = open_read(name);
        Read g;
        int bad = 0;
        for (int num : {0, 1}) {
            int n = num;
            if (GRD_read(fd, &g.r, 0, &n) != 1) bad |= 1 << num;
        }
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(std::filesystem::exists(ran));
    EXPECT_NE(r.err.find("FILE_open: Command not run, the name does not come from the user: |touch${IFS}" +
                         ran + " (read from " + name + ")"),
              std::string::npos)
        << r.err;
    EXPECT_NE(
        r.err.find("FILE_open: Not a regular file, the name does not come from the user: /dev/zero (read "
                   "from " +
                   name + ")"),
        std::string::npos)
        << r.err;
}

} // namespace
