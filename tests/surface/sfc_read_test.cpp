// Surface file access and text report reading, on the fixtures in
// tests/data/surface (netCDF ones compiled from CDL at test time).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/netcdf.h"
#include "support/surface_files.h"
#include "surface/cdf.h"
#include "surface/sfc_read.h"
#include "surface/sfc_read_int.h"

namespace {

using zeqtest::TempDir;

std::string fixture(const char *name) {
    return std::string(ZEQ_TEST_DATA) + "/surface/" + name;
}

// Opens a file for reading (type detected unless given), reads its header and
// rewinds; the type in use.
int open_read(const std::string &name, int type = 0) {
    int t = type;
    EXPECT_GE(SFC_open(name.c_str(), 0, &t), 0) << name;
    SFC_info info;
    EXPECT_EQ(SFC_getinfo(0, &info), 0);
    EXPECT_EQ(SFC_rewind(0), 0);
    return t;
}

SFC_report read_report(int n, int rep_type = 0, int *rc = nullptr) {
    SFC_report r;
    std::memset(&r, 0x5a, sizeof r);
    const int result = SFC_read(0, &r, rep_type, &n);
    if (rc != nullptr)
        *rc = result;
    else
        EXPECT_EQ(result, 0) << "report " << n;
    return r;
}

std::string cloud_types(const SFC_report &r) {
    return std::string(r.cld_type, 3);
}

// The netCDF fixtures compiled into a temporary directory.
struct NetcdfFiles {
    TempDir dir;
    std::string station = dir.file("station.nc"), v1 = dir.file("v1.nc"), report = dir.file("report.nc"),
                ob = dir.file("ob.nc"), nc4 = dir.file("nc4.nc"), full = dir.file("full.nc"),
                miss = dir.file("miss.nc");
    bool ok = zeqtest::compile_cdl("surface/station.cdl", station) &&
              zeqtest::compile_cdl("surface/station_v1.cdl", v1) &&
              zeqtest::compile_cdl("surface/report.cdl", report) &&
              zeqtest::compile_cdl("surface/report_ob.cdl", ob) &&
              zeqtest::compile_cdl("surface/report.cdl", nc4, "nc4") &&
              zeqtest::compile_cdl("surface/report_full.cdl", full) &&
              zeqtest::compile_cdl("surface/station_miss.cdl", miss);
};

TEST(SfcChkType, FirstCharacterAndNetcdfLayout) {
    NetcdfFiles nc;
    ASSERT_TRUE(nc.ok);
    const TempDir &dir = nc.dir;
    zeqtest::write_file(dir.file("blank"), " 6Z 08 DEC 26\nKDEN  72.\n");
    zeqtest::write_file(dir.file("empty"), "");
    zeqtest::write_file(dir.file("corrupt"), "CDF\001 this is not netCDF\n");
    zeqtest::write_file(dir.file("other"), "hello\n");
    struct Case {
        std::string file;
        int type;
    };
    const Case cases[] = {
        {fixture("compact.sfc"), 2},
        {dir.file("blank"), 2},
        {fixture("text.sfc"), 3},
        {nc.station, 11},
        {nc.report, 12},
        {nc.ob, 12},
        {dir.file("empty"), -1},
        {dir.file("missing"), -1},
        {nc.nc4, -1},
        {dir.file("corrupt"), -1},
        {dir.file("other"), -1},
        {dir.path(), -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SFC_chktype(c.file.c_str()), c.type) << c.file;
}

TEST(SfcOpen, AccessRules) {
    TempDir dir;
    const std::string text = dir.file("t.sfc");
    zeqtest::write_file(text, "ZEQSFC\n12Z 08 DEC 26\n");
    int type = 0;
    EXPECT_EQ(SFC_open(text.c_str(), 1, &type), -1); // detection needs an existing file
    type = 41;
    EXPECT_EQ(SFC_open(text.c_str(), 2, &type), -1); // binary files are not appended to
    type = 12;
    EXPECT_EQ(SFC_open(text.c_str(), 2, &type), -1); // not a netCDF file
    type = 7;
    EXPECT_EQ(SFC_open(text.c_str(), 0, &type), -1);
    type = 2;
    EXPECT_EQ(SFC_open(dir.file("none").c_str(), 0, &type), -1);
    EXPECT_EQ(SFC_close(0), -1); // nothing open

    // Appending takes the type of the file, whatever the caller asked for.
    type = 2;
    const int fd = SFC_open(text.c_str(), 2, &type);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(type, 3);
    SFC_info info;
    EXPECT_EQ(SFC_getinfo(fd, &info), 1);
    ASSERT_EQ(write(fd, "KDEN $\n", 7), 7);
    EXPECT_EQ(SFC_close(fd), 0);
    EXPECT_EQ(zeqtest::read_file(text), "ZEQSFC\n12Z 08 DEC 26\nKDEN $\n");

    // Rewinding a file being written moves nothing.
    type = 3;
    const int wfd = SFC_open(dir.file("new.sfc").c_str(), 1, &type);
    ASSERT_GE(wfd, 0);
    ASSERT_EQ(write(wfd, "ZEQSFC\n", 7), 7);
    EXPECT_EQ(SFC_rewind(wfd), 0);
    ASSERT_EQ(write(wfd, "X\n", 2), 2);
    EXPECT_EQ(SFC_close(wfd), 0);
    EXPECT_EQ(zeqtest::read_file(dir.file("new.sfc")), "ZEQSFC\nX\n");

    // An empty file is not appended to.
    zeqtest::write_file(dir.file("empty"), "");
    type = 2;
    EXPECT_EQ(SFC_open(dir.file("empty").c_str(), 2, &type), -1);
}

TEST(SfcOpen, XmlClosingLineOnlyWhenWriting) {
    TempDir dir;
    const std::string xml = dir.file("out.xml");
    int type = 51;
    ASSERT_GE(SFC_open(xml.c_str(), 1, &type), 0);
    // Opening another file closes the first one properly.
    type = 0;
    ASSERT_GE(SFC_open(fixture("compact.sfc").c_str(), 0, &type), 0);
    EXPECT_EQ(zeqtest::read_file(xml), "</zeqsfc>\n");
    EXPECT_EQ(SFC_close(0), 0);

    type = 51;
    ASSERT_GE(SFC_open(xml.c_str(), 0, &type), 0);
    SFC_info info;
    EXPECT_EQ(SFC_getinfo(0, &info), -1);
    EXPECT_EQ(SFC_rewind(0), -1);
    EXPECT_EQ(SFC_close(0), 0);
    EXPECT_EQ(zeqtest::read_file(xml), "</zeqsfc>\n");
}

TEST(SfcGetInfo, TextHeaders) {
    TempDir dir;
    struct Case {
        std::string file;
        const char *datim;
        const char *second; // the report after the first one
    };
    zeqtest::write_file(
        dir.file("long"),
        "12Z 08 DEC 26 and a comment long enough to pass the label size\nKDEN  72.\nKBOS  50.\n");
    const Case cases[] = {
        {fixture("compact.sfc"), "12Z 08 DEC 26", "KABC"},
        {fixture("text.sfc"), "12Z 08 DEC 26", "KLOW"}, // carriage returns dropped
        {dir.file("long"), "12Z 08 DEC 26 and a comment long enough", "KBOS"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        int type = 0;
        ASSERT_GE(SFC_open(c.file.c_str(), 0, &type), 0);
        EXPECT_EQ(SFC_rewind(0), 0);
        read_report(0);
        // The header is read without moving the read position.
        SFC_info info;
        std::memset(&info, 0x5a, sizeof info);
        EXPECT_EQ(SFC_getinfo(0, &info), 0);
        EXPECT_STREQ(info.datim, c.datim);
        EXPECT_EQ(info.num_stat, -9999);
        EXPECT_EQ(info.date.hour, 12);
        EXPECT_EQ(info.date.day, 8);
        EXPECT_EQ(info.date.year, 2026);
        EXPECT_STREQ(read_report(1, 1).id, c.second);
        SFC_close(0);
    }
}

TEST(SfcGetInfo, NetcdfHeaders) {
    NetcdfFiles nc;
    ASSERT_TRUE(nc.ok);
    const std::string &station = nc.station, &v1 = nc.v1, &report = nc.report, &ob = nc.ob;
    struct Case {
        std::string file;
        int type;
        const char *datim;
        int count;
        int version;
    };
    // Each station file gets its own version, in either order.
    const Case cases[] = {
        {station, 11, "18Z 08 DEC 26", 2, 2}, {v1, 11, "06Z 09 DEC 26", 2, 1},
        {station, 11, "18Z 08 DEC 26", 2, 2}, {report, 12, "00Z 10 DEC 26", 3, 2},
        {ob, 12, "1230Z 11 DEC 26", 4, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        int type = 0;
        testing::internal::CaptureStderr();
        const int fd = SFC_open(c.file.c_str(), 0, &type);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(type, c.type);
        SFC_info info;
        EXPECT_EQ(SFC_getinfo(fd, &info), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), ""); // absent variables are not errors
        EXPECT_STREQ(info.datim, c.datim);
        EXPECT_EQ(info.num_stat, c.count);
        const auto &layout = sfc_read_int::cdf_layout();
        EXPECT_EQ(layout.num_rec, c.count);
        if (type == 11) {
            EXPECT_EQ(layout.version, c.version);
            EXPECT_EQ(layout.miss_c, 'M');
            EXPECT_EQ(layout.miss_i, -9999);
            EXPECT_GE(layout.station_vars[0], 0);  // id
            EXPECT_EQ(layout.station_vars[5], -1); // intname
        } else {
            EXPECT_EQ(layout.report_vars[6] >= 0, true); // T
            EXPECT_EQ(layout.report_vars[2], -1);        // region
            EXPECT_EQ(layout.remarks_len, c.count == 3 ? 70 : 0);
        }
        EXPECT_EQ(SFC_rewind(fd), 0);
        EXPECT_EQ(SFC_close(fd), 0);
    }
    // Appending to a netCDF file keeps its layout type.
    int type = 12;
    const int fd = SFC_open(station.c_str(), 2, &type);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(type, 11);
    EXPECT_EQ(SFC_close(fd), 0);
}

TEST(SfcReadCompact, GroupsAndConversions) {
    open_read(fixture("compact.sfc"));
    SFC_report r = read_report(0);
    EXPECT_STREQ(r.id, "KDEN");
    EXPECT_EQ(r.wmo, -9999);
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.t, 72);
    EXPECT_EQ(r.td, 65);
    EXPECT_EQ(r.w_dir, 270);
    EXPECT_EQ(r.w_spd, 15);
    EXPECT_FLOAT_EQ(r.alt, 29.92f);
    EXPECT_FLOAT_EQ(r.pmb, 1013.2f);
    EXPECT_FLOAT_EQ(r.vis, 10.0f);
    EXPECT_EQ(r.cld_height[0], 25000);
    EXPECT_EQ(r.cld_cover[0], 'B');
    EXPECT_EQ(r.num_cld, 1);
    EXPECT_STREQ(r.weather, "RA");

    r = read_report(1);
    EXPECT_FLOAT_EQ(r.alt, 30.12f);
    EXPECT_FLOAT_EQ(r.pmb, 998.5f);
    EXPECT_EQ(r.w_dir, 360);
    EXPECT_EQ(r.cld_height[0], 1500);
    EXPECT_EQ(r.cld_cover[0], 'S');
    EXPECT_STREQ(r.weather, " ");
    EXPECT_EQ(r.min_t, -5); // 95 at 20 F in a file of 12Z lost its sign digit
    EXPECT_EQ(r.max_t, -9999);

    r = read_report(2);
    EXPECT_STREQ(r.id, "72530");
    EXPECT_EQ(r.wmo, 72530);
    EXPECT_FLOAT_EQ(r.alt, 25.01f);
    EXPECT_FLOAT_EQ(r.pmb, 1001.2f);
    EXPECT_FLOAT_EQ(r.vis, 99.9f);
    EXPECT_EQ(r.cld_height[0], -9999);
    EXPECT_EQ(r.cld_cover[0], ' ');
    EXPECT_EQ(r.num_cld, 0);
    EXPECT_FLOAT_EQ(r.lat, 40.5f);
    EXPECT_FLOAT_EQ(r.lon, -105.0f);
    EXPECT_STREQ(r.area, "SHIP");
    EXPECT_EQ(r.elev, 0);
    EXPECT_FLOAT_EQ(r.ptend, -1.2f);
    EXPECT_EQ(r.ptend_t, -9999);
    EXPECT_FLOAT_EQ(r.rain6, 0.25f);
    EXPECT_FLOAT_EQ(r.rain24, 1.25f);
    EXPECT_EQ(r.scover, 3);
    EXPECT_EQ(cloud_types(r), "XY7");
    EXPECT_EQ(r.w_gust, 35);

    // A short record: nothing after the altimeter group.
    r = read_report(3);
    EXPECT_STREQ(r.id, "KSHT");
    EXPECT_EQ(r.w_spd, 0);
    EXPECT_EQ(r.alt, -9999);
    EXPECT_EQ(r.pmb, -9999);
    EXPECT_EQ(r.vis, -9999);
    EXPECT_EQ(r.num_cld, 0);
    EXPECT_STREQ(r.weather, " ");

    // An unknown group ends the record and the rest of its line.
    r = read_report(4);
    EXPECT_STREQ(r.weather, "FG");
    EXPECT_EQ(r.min_t, -9999);
    EXPECT_FLOAT_EQ(r.alt, 31.0f);
    r = read_report(5);
    EXPECT_STREQ(r.id, "K2ND");
    EXPECT_FLOAT_EQ(r.pmb, 1060.5f); // written as 1605
    int rc = 0;
    read_report(6, 0, &rc);
    EXPECT_EQ(rc, -1);
}

TEST(SfcReadCompact, ExtremeTemperatureByFileHour) {
    TempDir dir;
    struct Case {
        const char *label;
        const char *record;
        float max_t, min_t;
    };
    const Case cases[] = {
        {"00Z 08 DEC 26", "KHOT  88. 70.2715.992.132.100.250B.RA.T 5.", 105, -9999},
        {"12Z 08 DEC 26", "KCLD  20. 10.2715.992.132.100.250B.RA.T95.", -9999, -5},
        {"21Z 08 DEC 26", "KMIL  50. 40.2715.992.132.100.250B.RA.T45.", -9999, 45},
        {"22Z 08 DEC 26", "KMIS -99. 40.2715.992.132.100.250B.RA.T65.", -35, -9999}, // no temperature: cold
        {"09Z 08 DEC 26", "KMID  75. 40.2715.992.132.100.250B.RA.T29.", 129, -9999},
        {"09Z 08 DEC 26", "KMID  70. 40.2715.992.132.100.250B.RA.T29.", 29, -9999},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.record);
        const std::string name = dir.file("x.sfc");
        zeqtest::write_file(name, std::string(c.label) + "\n" + c.record + "\n");
        open_read(name);
        const SFC_report r = read_report(0);
        EXPECT_EQ(r.max_t, c.max_t);
        EXPECT_EQ(r.min_t, c.min_t);
        SFC_close(0);
    }
}

TEST(SfcRead, AltimeterAndPressureCodesInEveryRange) {
    TempDir dir;
    constexpr float M = -9999;
    struct Case {
        const char *record; // after the identifier; a "ZEQSFC" record when it ends in '$'
        float alt, pmb;
    };
    const Case cases[] = {
        // Compact records: altimeter 501-999, 0-500, above 999; pressure 501-999,
        // 0-500, 1000 more above 1050 mb (as written), whole tenths beyond.
        {" 72. 65.2715.992.985.100.250B.RA.", 29.92f, 998.5f},
        {" 72. 65.2715.501.501.100.250B.RA.", 25.01f, 950.1f},
        {" 72. 65.2715.500.500.100.250B.RA.", 35.00f, 1050.0f},
        {" 72. 65.2715.  0.  0.100.250B.RA.", 30.00f, 1000.0f},
        {" 72. 65.2715.3012.1605.100.250B.RA.", 30.12f, 1060.5f},
        {" 72. 65.2715. 12.10132.100.250B.RA.", 30.12f, 1013.2f},
        {" 72. 65.2715.-99.-99.100.250B.RA.", M, M},
        // "ZEQSFC" records: the 9xx and low codes corrected by the altimeter
        // setting, or without one by a cold temperature.
        {" 716 650 2715 992 985 10 -99M - $", 29.92f, 998.5f},
        {" 716 650 2715 3080 985 10 -99M - $", 30.80f, 1098.5f},
        {" 716 650 2715 3070 985 10 -99M - $", 30.70f, 998.5f},
        {" -150 -200 2715 -99 985 10 -99M - $", M, 1098.5f},
        {" -100 -200 2715 -99 985 10 -99M - $", M, 998.5f},
        {" -99 -200 2715 -99 985 10 -99M - $", M, 998.5f},
        {" 716 650 2715 2830 50 10 -99M - $", 28.30f, 905.0f},
        {" 716 650 2715 2840 50 10 -99M - $", 28.40f, 1005.0f},
        {" -150 -200 2715 -99 50 10 -99M - $", M, 1005.0f},
        {" 716 650 2715 12 10605 10 -99M - $", 30.12f, 1060.5f},
        {" 716 650 2715 501 9400 10 -99M - $", 25.01f, 940.0f},
        {" 716 650 2715 500 -99 10 -99M - $", 35.00f, M},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.record);
        const bool text = std::string(c.record).back() == '$';
        const std::string name = dir.file("codes.sfc");
        zeqtest::write_file(name,
                            std::string(text ? "ZEQSFC\n" : "") + "12Z 08 DEC 26\nKCOD" + c.record + "\n");
        EXPECT_EQ(open_read(name), text ? 3 : 2);
        const SFC_report r = read_report(0);
        EXPECT_FLOAT_EQ(r.alt, c.alt);
        EXPECT_FLOAT_EQ(r.pmb, c.pmb);
        SFC_close(0);
    }
}

TEST(SfcReadText, FieldsAndOptionalGroups) {
    open_read(fixture("text.sfc"));
    SFC_report r = read_report(0);
    EXPECT_STREQ(r.id, "KDEN");
    EXPECT_EQ(r.type, 1);
    EXPECT_FLOAT_EQ(r.t, 71.6f);
    EXPECT_FLOAT_EQ(r.td, 65.0f);
    EXPECT_EQ(r.w_dir, 270);
    EXPECT_EQ(r.w_spd, 105);
    EXPECT_FLOAT_EQ(r.alt, 30.8f);
    EXPECT_FLOAT_EQ(r.pmb, 1098.5f);
    EXPECT_FLOAT_EQ(r.vis, 2.5f);
    EXPECT_EQ(r.num_cld, 2);
    EXPECT_EQ(r.cld_height[0], 1500);
    EXPECT_EQ(r.cld_cover[0], 'S');
    EXPECT_EQ(r.cld_height[1], 4000);
    EXPECT_EQ(r.cld_cover[1], '7');
    EXPECT_STREQ(r.weather, "RA");
    EXPECT_EQ(r.time, 1150);
    EXPECT_EQ(r.ptend_t, 2);
    EXPECT_FLOAT_EQ(r.ptend, 1.5f);
    EXPECT_FLOAT_EQ(r.rain1, 0.05f);
    EXPECT_FLOAT_EQ(r.rain3, 0.10f);
    EXPECT_FLOAT_EQ(r.rain6, 0.25f);
    EXPECT_FLOAT_EQ(r.rain12, 0.5f);
    EXPECT_FLOAT_EQ(r.rain24, 1.0f);
    EXPECT_FLOAT_EQ(r.max_t, 80.5f);
    EXPECT_FLOAT_EQ(r.max6_t, 78.0f);
    EXPECT_FLOAT_EQ(r.min_t, 60.0f);
    EXPECT_FLOAT_EQ(r.min6_t, 62.0f);
    EXPECT_FLOAT_EQ(r.scover, 2.5f);
    EXPECT_EQ(cloud_types(r), "ABC");
    EXPECT_EQ(r.w_gust, 30);
    EXPECT_EQ(r.solar, 60);
    EXPECT_FLOAT_EQ(r.sst, 12.5f);
    EXPECT_EQ(r.wav_per, 8);
    EXPECT_FLOAT_EQ(r.wav_hgt, 2.5f);
    EXPECT_STREQ(r.comment, "gusty winds");

    r = read_report(1);
    EXPECT_EQ(r.t, -9999);
    EXPECT_EQ(r.w_dir, 270);
    EXPECT_EQ(r.w_spd, 15);
    EXPECT_FLOAT_EQ(r.alt, 28.3f);
    EXPECT_FLOAT_EQ(r.pmb, 905.0f);
    EXPECT_EQ(r.num_cld, 0);
    EXPECT_EQ(r.cld_height[0], -9999);
    EXPECT_EQ(r.cld_cover[0], ' ');
    EXPECT_STREQ(r.weather, " ");

    // Six cloud layers keep five; a cold station's 9xx code is above 1000 mb.
    r = read_report(2);
    EXPECT_EQ(r.wmo, 0);
    EXPECT_FLOAT_EQ(r.pmb, 1098.5f);
    EXPECT_EQ(r.w_dir, -9999);
    EXPECT_EQ(r.vis, -9999);
    EXPECT_EQ(r.num_cld, 5);
    EXPECT_EQ(std::string(r.cld_cover, 5), "B7SOX");
    EXPECT_EQ(r.cld_height[4], 5000);
    EXPECT_STREQ(r.weather, "RW-");

    // An unknown group skips the rest of the record.
    r = read_report(3);
    EXPECT_EQ(r.wmo, 72469);
    EXPECT_STREQ(r.weather, " RA");
    EXPECT_EQ(r.time, -9999);
    EXPECT_EQ(r.cld_cover[0], 'F');

    r = read_report(4);
    EXPECT_STREQ(r.area, "SHIP");
    EXPECT_FLOAT_EQ(r.lat, 40.5f);
    EXPECT_FLOAT_EQ(r.lon, -105.0f);
    EXPECT_EQ(r.elev, 0);
    EXPECT_EQ(r.min_t, 45); // extreme of a 12Z file
}

TEST(SfcReadText, IdentifierOnly) {
    open_read(fixture("text.sfc"));
    SFC_report r = read_report(3, 1);
    EXPECT_STREQ(r.id, "72469");
    EXPECT_EQ(r.wmo, 72469);
    EXPECT_EQ(r.t, -9999);
    EXPECT_EQ(r.type, 0);
    SFC_close(0);

    open_read(fixture("compact.sfc"));
    r = read_report(2, 1);
    EXPECT_STREQ(r.id, "72530");
    EXPECT_EQ(r.wmo, -9999);
    EXPECT_EQ(r.t, -9999);
    // Identifier and location are the whole record for text files.
    EXPECT_EQ(read_report(2, 2).t, 88);
}

TEST(SfcRead, Positioning) {
    open_read(fixture("compact.sfc"));
    struct Step {
        int wanted;
        const char *id; // null: end of file
    };
    // Straight after the rewind, in order, the same again, back, forward with
    // a gap, report 0, past the end.
    const Step steps[] = {{3, "KSHT"},  {0, "KDEN"}, {1, "KABC"},  {1, "KABC"}, {2, "72530"},
                          {0, "KDEN"},  {3, "KSHT"}, {1, "KABC"},  {5, "K2ND"}, {5, "K2ND"},
                          {6, nullptr}, {4, "KXYZ"}, {9, nullptr}, {-3, "KDEN"}};
    for (const Step &s : steps) {
        SCOPED_TRACE(s.wanted);
        int rc = 0;
        const SFC_report r = read_report(s.wanted, 0, &rc);
        EXPECT_EQ(rc, s.id ? 0 : -1);
        if (s.id != nullptr) {
            EXPECT_STREQ(r.id, s.id);
        }
    }
}

TEST(SfcRead, StreamsThatCannotGoBack) {
    // Standard input and a pipe: the type is detected without losing the
    // first character, and the reports are read in order after the header.
    const std::string pipe = "|cat " + fixture("text.sfc");
    for (const std::string &name : {std::string("-"), pipe}) {
        SCOPED_TRACE(name);
        const auto result = zeqtest::run_child(
            [&] {
                int type = 0;
                if (SFC_open(name.c_str(), 0, &type) < 0 || type != 3) return 1;
                SFC_info info;
                if (SFC_getinfo(0, &info) != 0 || std::strcmp(info.datim, "12Z 08 DEC 26") != 0) return 2;
                if (SFC_rewind(0) != 0) return 3;
                std::string ids;
                SFC_report r;
                for (int n = 0; SFC_read(0, &r, 0, &n) == 0; ++n)
                    ids += std::string(r.id) + " ";
                std::printf("%s\n", ids.c_str());
                return SFC_close(0) == 0 ? 0 : 4;
            },
            {zeqtest::read_file(fixture("text.sfc"))});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, "KDEN KLOW KCOLD 72469 SHIP2 \n");
    }
}

TEST(SfcRead, TypesWithoutReports) {
    TempDir dir;
    const std::string bin = dir.file("x.bin");
    zeqtest::write_file(bin, "DATE:12/08/26 12:00:00");
    int type = 41;
    ASSERT_GE(SFC_open(bin.c_str(), 0, &type), 0);
    SFC_info info;
    EXPECT_EQ(SFC_getinfo(0, &info), -1);
    EXPECT_EQ(SFC_rewind(0), -1);
    int rc = 0;
    read_report(0, 0, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(SFC_close(0), 0);
    rc = 0;
    read_report(0, 0, &rc); // no file open
    EXPECT_EQ(rc, -1);
}

// ---- netCDF reports ---------------------------------------------------------------

TEST(SfcReadCdf, StationLayout) {
    NetcdfFiles nc;
    ASSERT_TRUE(nc.ok);
    // The longitude's sign by "version", in the whole report and the location
    // alone; the day's extreme by the file hour (18Z minimum, 06Z maximum).
    struct Case {
        std::string file;
        float lon;
        bool minimum;
    };
    for (const Case &c : {Case{nc.station, 104.7f, true}, Case{nc.v1, -104.7f, false}}) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(open_read(c.file), 11);
        SFC_report r = read_report(0);
        EXPECT_STREQ(r.id, "KDEN");
        EXPECT_STREQ(r.area, "CO");
        EXPECT_STREQ(r.weather, "RA");
        EXPECT_EQ(cloud_types(r), "123");
        EXPECT_EQ(r.time, 1800);
        EXPECT_EQ(r.prior, 1);
        EXPECT_EQ(r.elev, 1611);
        EXPECT_EQ(r.wmo, 72469);
        EXPECT_EQ(r.type, 1);
        EXPECT_EQ(r.num_cld, 1);
        EXPECT_EQ(r.cld_height[0], 2500);
        EXPECT_EQ(r.cld_cover[0], 'B');
        EXPECT_EQ(r.cld_cover[1], ' ');
        EXPECT_FLOAT_EQ(r.lat, 39.8f);
        EXPECT_FLOAT_EQ(r.lon, c.lon);
        EXPECT_FLOAT_EQ(r.vis, 10);
        EXPECT_FLOAT_EQ(r.pmb, 1013.2f);
        EXPECT_EQ(r.t, 72);
        EXPECT_EQ(r.td, 65);
        EXPECT_EQ(r.w_dir, 270);
        EXPECT_EQ(r.w_spd, 15);
        EXPECT_EQ(r.w_gust, -9999);
        EXPECT_FLOAT_EQ(r.alt, 29.92f);
        EXPECT_FLOAT_EQ(r.rain6, 0.1f);
        EXPECT_FLOAT_EQ(r.rain24, 0.5f);
        EXPECT_EQ(c.minimum ? r.min_t : r.max_t, 80);
        EXPECT_EQ(c.minimum ? r.max_t : r.min_t, -9999);
        EXPECT_EQ(r.scover, 0);
        EXPECT_FLOAT_EQ(r.ptend, 1.5f);
        EXPECT_EQ(r.ptend_t, -9999);

        r = read_report(0, 2);
        EXPECT_STREQ(r.area, "CO");
        EXPECT_FLOAT_EQ(r.lat, 39.8f);
        EXPECT_FLOAT_EQ(r.lon, c.lon);
        EXPECT_EQ(r.prior, 1);
        EXPECT_EQ(r.elev, 1611);
        EXPECT_EQ(r.wmo, 72469);
        EXPECT_EQ(r.t, -9999);
        EXPECT_STREQ(r.weather, " ");

        r = read_report(1);
        EXPECT_STREQ(r.id, "KBOS");
        EXPECT_EQ(r.num_cld, 0);
        EXPECT_EQ(r.cld_height[0], -9999);
        EXPECT_STREQ(r.weather, " ");
        EXPECT_EQ(r.w_gust, 25);
        EXPECT_EQ(r.rain6, -9999);
        r = read_report(1, 1);
        EXPECT_STREQ(r.id, "KBOS");
        EXPECT_EQ(r.lat, -9999);
        SFC_close(0);
    }

    // Markers other than -9999: each value equal to its marker is missing, a
    // cover equal to the integer marker is no layer (its low byte is not a
    // cover), and the layers after it keep their order.
    open_read(nc.miss);
    const SFC_report r = read_report(0);
    EXPECT_STREQ(r.id, "KORD"); // leading blanks removed
    EXPECT_STREQ(r.area, "IL");
    EXPECT_EQ(r.time, -9999);
    EXPECT_EQ(r.prior, -9999);
    EXPECT_EQ(r.elev, 205);
    EXPECT_EQ(r.wmo, -9999);
    EXPECT_EQ(r.type, 0);
    EXPECT_STREQ(r.weather, " ");
    EXPECT_EQ(cloud_types(r), "   ");
    EXPECT_EQ(r.num_cld, 2);
    EXPECT_EQ(std::string(r.cld_cover, 3), "SO ");
    EXPECT_EQ(r.cld_height[0], 800);
    EXPECT_EQ(r.cld_height[1], 4000);
    EXPECT_FLOAT_EQ(r.lon, -87.9f); // "version" of any type marks a current file
    EXPECT_EQ(r.vis, -9999);
    EXPECT_FLOAT_EQ(r.pmb, 1020.5f);
    EXPECT_EQ(r.t, -9999);
    EXPECT_EQ(r.max_t, -9999);
    EXPECT_EQ(r.min_t, -9999);
}

TEST(SfcReadCdf, ReportLayoutUnitsAndCodes) {
    NetcdfFiles nc;
    ASSERT_TRUE(nc.ok);
    EXPECT_EQ(open_read(nc.full), 12);
    SFC_report r = read_report(0);
    EXPECT_STREQ(r.id, "KDEN");
    EXPECT_STREQ(r.area, "CO");
    EXPECT_EQ(r.wmo, -9999);
    EXPECT_EQ(r.time, 1150);
    EXPECT_FLOAT_EQ(r.lat, 39.8f);
    EXPECT_FLOAT_EQ(r.lon, -104.7f);
    EXPECT_EQ(r.elev, 1611);
    EXPECT_FLOAT_EQ(r.t, 68);
    EXPECT_FLOAT_EQ(r.td, 50);
    EXPECT_FLOAT_EQ(r.pmb, 1013.2f);
    EXPECT_NEAR(r.alt, 29.93f, 0.001);
    EXPECT_FLOAT_EQ(r.w_spd, 19.44f);
    EXPECT_EQ(r.w_dir, 270);
    EXPECT_FLOAT_EQ(r.w_gust, 29.16f);
    EXPECT_STREQ(r.weather, "R-"); // WMO 61
    // Covers '6', '8', '/': two layers.
    EXPECT_EQ(r.num_cld, 2);
    EXPECT_EQ(std::string(r.cld_cover, 3), "68 ");
    EXPECT_FLOAT_EQ(r.cld_height[0], 3280.8f);
    EXPECT_FLOAT_EQ(r.cld_height[1], 9842.4f);
    EXPECT_EQ(r.cld_height[2], -9999);
    EXPECT_EQ(cloud_types(r), "5 7"); // '/' is blank
    EXPECT_NEAR(r.vis, 10, 0.01);
    EXPECT_EQ(r.ptend_t, 3);
    EXPECT_FLOAT_EQ(r.ptend, 1.5f);
    EXPECT_NEAR(r.rain6, 0.1, 1e-5); // reference time 6
    EXPECT_EQ(r.rain24, -9999);
    EXPECT_NEAR(r.scover, 2, 1e-4);
    EXPECT_FLOAT_EQ(r.max_t, 77);
    EXPECT_FLOAT_EQ(r.min_t, 23);
    EXPECT_FLOAT_EQ(r.max6_t, 71.6f);
    EXPECT_FLOAT_EQ(r.min6_t, 32);
    EXPECT_EQ(r.solar, -9999);
    EXPECT_STREQ(r.comment, "gusty");

    // Every value -9999: nothing converted; a blank tendency is missing.
    r = read_report(1);
    EXPECT_STREQ(r.id, "KBOS");
    EXPECT_EQ(r.time, -9999);
    for (float v : {r.t, r.td, r.pmb, r.alt, r.w_spd, r.w_dir, r.w_gust, r.vis, r.ptend, r.rain6, r.rain24,
                    r.scover, r.max_t, r.min_t, r.max6_t, r.min6_t})
        EXPECT_EQ(v, -9999);
    EXPECT_EQ(r.ptend_t, -9999);
    EXPECT_EQ(r.num_cld, 0);
    EXPECT_STREQ(r.weather, " ");
    EXPECT_EQ(cloud_types(r), "   ");

    // A '/' tendency is missing too; reference time 24 fills the 24-hour
    // amount only; a layer with neither cover nor base is passed over.
    r = read_report(2);
    EXPECT_EQ(r.time, 940);
    EXPECT_FLOAT_EQ(r.t, 9.5f);
    EXPECT_FLOAT_EQ(r.td, -4);
    EXPECT_EQ(r.w_spd, 0);
    EXPECT_STREQ(r.weather, "TRW-"); // WMO 95
    EXPECT_EQ(r.ptend_t, -9999);
    EXPECT_FLOAT_EQ(r.ptend, -2);
    EXPECT_NEAR(r.rain24, 1, 1e-5);
    EXPECT_EQ(r.rain6, -9999);
    EXPECT_EQ(r.num_cld, 3);
    EXPECT_EQ(std::string(r.cld_cover, 3), " 28");
    EXPECT_NEAR(r.cld_height[0], 984.24, 0.01);
    EXPECT_EQ(r.cld_height[1], -9999);
    EXPECT_NEAR(r.cld_height[2], 6561.6, 0.01);
    EXPECT_EQ(cloud_types(r), " 1 ");
    EXPECT_FLOAT_EQ(r.sst, 4.5f);
    EXPECT_EQ(r.wav_per, 8);
    EXPECT_FLOAT_EQ(r.wav_hgt, 1.5f);
    EXPECT_EQ(r.solar, 120);
    EXPECT_EQ(r.elev, -9999);

    // -1 reads the record last asked for again; the counter beyond the last
    // record, and below the first, gives -1.
    EXPECT_STREQ(read_report(-1).id, "KSEA");
    EXPECT_STREQ(read_report(1).id, "KBOS");
    EXPECT_STREQ(read_report(-1).id, "KBOS");
    for (int n : {3, -1, 99, -2}) {
        int rc = 0;
        read_report(n, 0, &rc);
        EXPECT_EQ(rc, -1) << n;
    }
    EXPECT_STREQ(read_report(0).id, "KDEN");

    // Identifier only; identifier and location.
    r = read_report(2, 1);
    EXPECT_STREQ(r.id, "KSEA");
    EXPECT_STREQ(r.area, "");
    EXPECT_EQ(r.lat, -9999);
    r = read_report(0, 2);
    EXPECT_STREQ(r.area, "CO");
    EXPECT_FLOAT_EQ(r.lat, 39.8f);
    EXPECT_FLOAT_EQ(r.lon, -104.7f);
    EXPECT_EQ(r.elev, 1611);
    EXPECT_EQ(r.wmo, -9999);
    EXPECT_EQ(r.t, -9999);
    EXPECT_EQ(r.num_cld, 0);
    SFC_close(0);
}

TEST(SfcReadCdf, LayoutsOfOtherWriters) {
    NetcdfFiles nc;
    ASSERT_TRUE(nc.ok);
    // Covers padded with blanks, five layers, no region.
    open_read(nc.report);
    SFC_report r = read_report(0);
    EXPECT_STREQ(r.area, "UN");
    EXPECT_EQ(r.time, 1200);
    EXPECT_NEAR(r.t, 71.96, 1e-4);
    EXPECT_STREQ(r.weather, "R-");
    EXPECT_EQ(r.num_cld, 1);
    EXPECT_EQ(r.cld_cover[0], 'B');
    r = read_report(2);
    EXPECT_EQ(r.num_cld, 2);
    EXPECT_EQ(std::string(r.cld_cover, 2), "SO");
    EXPECT_STREQ(r.weather, "F"); // WMO 10
    SFC_close(0);

    // Record dimension "ob" of fixed length, other numeric types, no covers
    // or bases; a value beyond the float range is missing.
    open_read(nc.ob);
    r = read_report(0);
    EXPECT_STREQ(r.id, "KDEN");
    EXPECT_EQ(r.t, -9999);
    EXPECT_EQ(r.pmb, 1013);
    EXPECT_EQ(r.num_cld, 0);
    EXPECT_STREQ(r.weather, " ");
    r = read_report(3);
    EXPECT_STREQ(r.id, "KORD");
    EXPECT_NEAR(r.t, 37.4, 1e-4);
    int rc = 0;
    read_report(4, 0, &rc);
    EXPECT_EQ(rc, -1);
    SFC_close(0);
}

// The netCDF twin of the sample file, written by python3-netcdf4 from its own
// decoding of the compact records, gives the sample's reports field by field
// within the unit conversions' round-off.
TEST(SfcReadCdf, TwinOfTheSampleFile) {
    ASSERT_EQ(access("/usr/bin/python3", X_OK), 0) << "needs /usr/bin/python3 (Debian package python3)";
    TempDir dir;
    const std::string sample = std::string(ZEQ_SOURCE_DIR) + "/data/04120912.sfc";
    const std::string twin = dir.file("04120912.nc");
    const std::string out = zeqtest::run_command("/usr/bin/python3 " + std::string(ZEQ_SOURCE_DIR) +
                                                 "/tests/surface/make_sfc_twin.py " + sample + " " + twin +
                                                 " 2>&1 || echo 'needs python3-netcdf4 and python3-numpy'");
    ASSERT_NE(out.find("make_sfc_twin: "), std::string::npos) << out;

    std::string text_datim, cdf_datim;
    const std::vector<SFC_report> text = zeqtest::read_surface_file(sample, 0, 2, &text_datim);
    const std::vector<SFC_report> cdf = zeqtest::read_surface_file(twin, 0, 12, &cdf_datim);
    EXPECT_EQ(text_datim, cdf_datim);
    ASSERT_GT(text.size(), 2000u);
    ASSERT_EQ(text.size(), cdf.size());

    // Relative tolerances: the reader's conversion factors are rounded.
    struct Field {
        const char *name;
        float SFC_report::*member;
        double tolerance;
    };
    const Field fields[] = {
        {"lat", &SFC_report::lat, 0},        {"lon", &SFC_report::lon, 0},
        {"elev", &SFC_report::elev, 0},      {"vis", &SFC_report::vis, 1e-5},
        {"pmb", &SFC_report::pmb, 1e-6},     {"t", &SFC_report::t, 1e-5},
        {"td", &SFC_report::td, 1e-5},       {"w_dir", &SFC_report::w_dir, 0},
        {"w_spd", &SFC_report::w_spd, 1e-4}, {"w_gust", &SFC_report::w_gust, 0},
        {"alt", &SFC_report::alt, 3e-5},     {"ptend", &SFC_report::ptend, 0},
        {"rain6", &SFC_report::rain6, 0},    {"rain24", &SFC_report::rain24, 0},
        {"max_t", &SFC_report::max_t, 0},    {"min_t", &SFC_report::min_t, 0},
        {"scover", &SFC_report::scover, 0},  {"sst", &SFC_report::sst, 0},
    };
    int compared = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const SFC_report &a = text[i], &b = cdf[i];
        SCOPED_TRACE(a.id);
        ASSERT_STREQ(a.id, b.id);
        EXPECT_STREQ(a.area, b.area);
        EXPECT_EQ(a.time, b.time);
        EXPECT_EQ(a.wmo, b.wmo);
        EXPECT_STREQ(a.weather, b.weather);
        EXPECT_EQ(a.num_cld, b.num_cld);
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(a.cld_cover[k], b.cld_cover[k]);
            EXPECT_NEAR(a.cld_height[k], b.cld_height[k], std::fabs(a.cld_height[k]) * 1e-5);
        }
        for (const Field &f : fields) {
            const float x = a.*f.member, y = b.*f.member;
            EXPECT_NEAR(x, y, std::max(1e-4, std::fabs(x) * f.tolerance)) << f.name;
            if (x != -9999) ++compared;
        }
    }
    EXPECT_GT(compared, 4 * 2000); // temperatures, winds and pressures are present
}

} // namespace
