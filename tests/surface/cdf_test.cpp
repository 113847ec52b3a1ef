// The netCDF access layer: files written through it are checked with ncdump
// and python3-netcdf4; files read through it are compiled from CDL fixtures.
#include <gtest/gtest.h>

#include <netcdf.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/netcdf.h"
#include "support/reference.h"
#include "surface/cdf.h"

namespace {

using zeqtest::TempDir;

const char *const ids[] = {"KDEN", "KBOS", "ABCDEFGHIJKLMNOP"};
const float temps[] = {22.5f, -6.75f, 10.0f};
const int nums[] = {7, 0, 100};
const float zcl[3][3] = {{300, 1200, -9999}, {-9999, -9999, -9999}, {150, 450, 900}};
const char covers[3][4] = {"BOS", "   ", "FSB"};

// Writes the test file: 3 reports with text, float, integer, short, byte,
// character and per-layer values and the attribute conventions.
void write_file(const std::string &name) {
    ASSERT_GE(CDF_open(name.c_str(), 1), 0);
    const int rec = CDF_def_dim("report", 0);
    const int idl = CDF_def_dim("id_len", 12);
    const int lay = CDF_def_dim("layers", 3);
    ASSERT_GE(rec, 0);
    CDF_set_shape(2, rec, idl);
    const int id = CDF_def_char_var("id");
    CDF_set_shape(1, rec);
    const int t = CDF_def_float_var("T");
    const int num = CDF_def_long_var("num");
    const int cnt = CDF_def_short_var("cnt");
    const int wx = CDF_def_byte_var("WX");
    const int pt = CDF_def_char_var("Ptend");
    CDF_set_shape(2, rec, lay);
    const int z = CDF_def_float_var("ZCL");
    const int cc = CDF_def_char_var("CC");
    const int dir = CDF_def_var("DIR", CDF_DOUBLE, 1, rec);
    for (int v : {id, t, num, cnt, wx, pt, z, cc, dir})
        ASSERT_GE(v, 0);
    CDF_put_base_att(t, "temperature", "celsius");
    EXPECT_EQ(CDF_put_float_range_att(t, -80, 60), 0);
    EXPECT_EQ(CDF_put_fill_att(t), 0);
    CDF_put_base_att(num, "count", nullptr);
    EXPECT_EQ(CDF_put_long_range_att(num, 0, 100), 0);
    EXPECT_EQ(CDF_put_long_fill_att(num, -9999), 0);
    EXPECT_EQ(CDF_put_glob_att("filetime", "12Z 08 DEC 26"), 0);
    EXPECT_EQ(CDF_end_def(), 0);
    for (int r = 0; r < 3; ++r) {
        CDF_set_pos(1, r);
        EXPECT_EQ(CDF_put_str(id, ids[r]), 0);
        EXPECT_EQ(CDF_put_float(t, temps[r]), 0);
        EXPECT_EQ(CDF_put_long(num, nums[r]), 0);
        EXPECT_EQ(CDF_put_short(cnt, static_cast<short>(-r)), 0);
        EXPECT_EQ(CDF_put_byte(wx, static_cast<unsigned char>(60 + r)), 0);
        EXPECT_EQ(CDF_put_char(pt, static_cast<char>('1' + r)), 0);
        EXPECT_EQ(CDF_put_long(dir, 90 * r), 0);
        CDF_set_range(2, r, 1, 0, 3);
        EXPECT_EQ(CDF_put_float_array(z, zcl[r]), 0);
        for (int i = 0; i < 3; ++i) {
            CDF_set_pos(2, r, i);
            EXPECT_EQ(CDF_put_char(cc, covers[r][i]), 0);
        }
    }
    EXPECT_EQ(CDF_close(), 0);
}

TEST(CdfWrite, NcdumpReadsTheConventions) {
    TempDir dir;
    const std::string name = dir.file("out.nc");
    write_file(name);
    const std::string header = zeqtest::ncdump(name, "-h");
    for (const char *line :
         {"report = UNLIMITED ; // (3 currently)", "char id(report, id_len) ;", "float ZCL(report, layers) ;",
          "int num(report) ;", "double DIR(report) ;", "T:long_name = \"temperature\" ;",
          "T:units = \"celsius\" ;", "T:valid_range = -80.f, 60.f ;", "T:_FillValue = -9999.f ;",
          "num:long_name = \"count\" ;", "num:valid_range = 0, 100 ;", "num:_FillValue = -9999 ;",
          ":filetime = \"12Z 08 DEC 26\" ;"})
        EXPECT_NE(header.find(line), std::string::npos) << line << "\n" << header;
    EXPECT_EQ(header.find("num:units"), std::string::npos);
    EXPECT_EQ(header.find("\\000"), std::string::npos);
    EXPECT_NE(zeqtest::ncdump(name, "-v id").find("\"KBOS\",\n  \"ABCDEFGHIJKL\" ;"), std::string::npos);
}

TEST(CdfWrite, Netcdf4ReadsEveryValue) {
    TempDir dir;
    const std::string name = dir.file("out.nc");
    write_file(name);
    const std::string script = R"(
import sys
import netCDF4
ds = netCDF4.Dataset(sys.stdin.readline().strip())
ds.set_auto_mask(False)
for v in ["T", "num", "cnt", "WX", "DIR", "ZCL"]:
    print(v, " ".join(repr(float(x)) for x in ds.variables[v][:].flatten()))
print("Ptend", " ".join(str(ord(c)) for c in ds.variables["Ptend"][:].tobytes().decode()))
print("CC", " ".join(str(ord(c)) for c in ds.variables["CC"][:].tobytes().decode()))
)";
    const auto got = zeqtest::named_numbers(zeqtest::run_python(script, name + "\n", "python3-netcdf4"));
    std::map<std::string, std::vector<double>> want;
    for (int r = 0; r < 3; ++r) {
        want["T"].push_back(temps[r]);
        want["num"].push_back(nums[r]);
        want["cnt"].push_back(-r);
        want["WX"].push_back(60 + r);
        want["DIR"].push_back(90 * r);
        want["Ptend"].push_back('1' + r);
        for (int i = 0; i < 3; ++i) {
            want["ZCL"].push_back(zcl[r][i]);
            want["CC"].push_back(covers[r][i]);
        }
    }
    EXPECT_EQ(got, want);
}

TEST(CdfRead, ValuesStringsAndRanges) {
    TempDir dir;
    const std::string name = dir.file("out.nc");
    write_file(name);
    ASSERT_GE(CDF_open(name.c_str(), 0), 0);
    EXPECT_EQ(CDF_get_dim_size(CDF_RECORD_DIM), 3);
    EXPECT_EQ(CDF_get_dim_size(CDF_get_dim("layers")), 3);
    EXPECT_EQ(CDF_get_dim("nothing"), -1);
    const int id = CDF_get_var("id"), t = CDF_get_var("T"), num = CDF_get_var("num"), wx = CDF_get_var("WX");
    const int z = CDF_get_var("ZCL"), cc = CDF_get_var("CC"), wdir = CDF_get_var("DIR");
    EXPECT_EQ(CDF_get_var("nothing"), -1);

    char buf[32];
    std::memset(buf, 'x', sizeof buf);
    CDF_set_pos(1, 2);
    EXPECT_EQ(CDF_get_str(id, 10, buf), 1);
    EXPECT_STREQ(buf, "ABCDEFGHIJ");
    // The string's dimension entry stays: a single value reads its element 0.
    EXPECT_EQ(CDF_get_char(id), 'A');
    // More characters than the dimension holds: the dimension's length.
    EXPECT_EQ(CDF_get_str(id, 20, buf), 1);
    EXPECT_STREQ(buf, "ABCDEFGHIJKL");

    CDF_set_pos(1, 1);
    EXPECT_FLOAT_EQ(CDF_get_float(t), -6.75f);
    EXPECT_DOUBLE_EQ(CDF_get_double(t), -6.75);
    EXPECT_EQ(CDF_get_long(num), 0);
    EXPECT_EQ(CDF_get_byte(wx), 61);
    EXPECT_FLOAT_EQ(CDF_get_float(wdir), 90);
    EXPECT_EQ(CDF_get_long(t), -6); // converted from the float variable

    float layers[3] = {};
    CDF_set_range(2, 2, 1, 0, 3);
    EXPECT_EQ(CDF_get_float_array(z, layers), 0);
    EXPECT_EQ(std::vector<float>(layers, layers + 3), (std::vector<float>{150, 450, 900}));
    unsigned char c3[3] = {};
    EXPECT_EQ(CDF_get_byte_array(cc, c3), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(c3), 3), "FSB");
    double temps_read[3] = {};
    CDF_set_range(1, 0, 3);
    EXPECT_EQ(CDF_get_double_array(t, temps_read), 0);
    EXPECT_DOUBLE_EQ(temps_read[1], -6.75);

    // A range past the records is refused and leaves missing values.
    float beyond[4] = {1, 2, 3, 4};
    CDF_set_range(1, 1, 4);
    EXPECT_EQ(CDF_get_float_array(t, beyond), -1);
    for (float v : beyond)
        EXPECT_EQ(v, -9999);
    EXPECT_EQ(CDF_close(), 0);
}

TEST(CdfRead, MissingVariableAndFailedOpen) {
    TempDir dir;
    const std::string name = dir.file("out.nc");
    write_file(name);
    ASSERT_GE(CDF_open(name.c_str(), 0), 0);
    CDF_set_pos(1, 0);
    char buf[8] = "keep";
    float arr[3] = {1, 2, 3};
    auto expect_missing = [&] {
        EXPECT_EQ(CDF_get_float(-1), -9999);
        EXPECT_EQ(CDF_get_double(-1), -9999);
        EXPECT_EQ(CDF_get_long(-1), -9999);
        EXPECT_EQ(CDF_get_char(-1), ' ');
        EXPECT_EQ(CDF_get_byte(-1), 255);
        EXPECT_EQ(CDF_get_str(-1, 4, buf), 0);
        EXPECT_STREQ(buf, "keep");
        CDF_set_range(1, 0, 3);
        EXPECT_EQ(CDF_get_float_array(-1, arr), -1);
        EXPECT_EQ(arr[2], -9999);
        CDF_set_pos(1, 0);
        EXPECT_EQ(CDF_put_float(-1, 1), 0);
        EXPECT_EQ(CDF_put_str(-1, "x"), 0);
    };
    expect_missing();
    CDF_close();

    CDF_print_errors(0);
    EXPECT_EQ(CDF_open(dir.file("missing.nc").c_str(), 0), -1);
    EXPECT_EQ(CDF_get_dim("report"), -1);
    EXPECT_EQ(CDF_get_var("T"), -1);
    EXPECT_EQ(CDF_get_dim_size(CDF_RECORD_DIM), -1);
    std::strcpy(buf, "keep");
    arr[2] = 3;
    // With no file every variable id reads as missing.
    EXPECT_EQ(CDF_get_float(0), -9999);
    EXPECT_EQ(CDF_get_char(0), ' ');
    EXPECT_EQ(CDF_get_str(0, 4, buf), 0);
    EXPECT_STREQ(buf, "keep");
    expect_missing();
    EXPECT_EQ(CDF_open(name.c_str(), 7), -1);
}

TEST(CdfRead, RecordCountAndFixedDimensions) {
    TempDir dir;
    const std::string name = dir.file("many.nc");
    ASSERT_GE(CDF_open(name.c_str(), 1), 0);
    const int rec = CDF_def_dim("ob", 0);
    CDF_set_shape(1, rec);
    const int t = CDF_def_short_var("t");
    CDF_end_def();
    for (int r = 0; r < 250; ++r) {
        CDF_set_pos(1, r);
        CDF_put_short(t, static_cast<short>(r));
    }
    CDF_close();
    ASSERT_GE(CDF_open(name.c_str(), 0), 0);
    EXPECT_EQ(CDF_get_dim_size(-1), 250);
    CDF_set_pos(1, 249);
    EXPECT_EQ(CDF_get_long(CDF_get_var("t")), 249);
    CDF_close();

    const std::string ob = dir.file("ob.nc");
    ASSERT_TRUE(zeqtest::compile_cdl("surface/report_ob.cdl", ob));
    ASSERT_GE(CDF_open(ob.c_str(), 0), 0);
    EXPECT_EQ(CDF_get_dim_size(CDF_RECORD_DIM), -1); // no unlimited dimension
    EXPECT_EQ(CDF_get_dim_size(CDF_get_dim("ob")), 4);
}

TEST(CdfRead, ForeignTypesAreConvertedNotOverrun) {
    TempDir dir;
    const std::string ob = dir.file("ob.nc");
    ASSERT_TRUE(zeqtest::compile_cdl("surface/report_ob.cdl", ob));
    ASSERT_GE(CDF_open(ob.c_str(), 0), 0);
    const int t = CDF_get_var("T"), psl = CDF_get_var("PSL"), id = CDF_get_var("id");
    CDF_set_pos(1, 1);
    EXPECT_FLOAT_EQ(CDF_get_float(t), -6.7f); // a double variable
    EXPECT_EQ(CDF_get_long(psl), 1001);       // a short variable
    EXPECT_EQ(CDF_get_float(id), -9999);      // text is not a number
    CDF_set_pos(1, 0);
    EXPECT_TRUE(std::isinf(CDF_get_float(t)));
    EXPECT_EQ(CDF_get_long(t), -9999); // beyond the integer range
    float psl_all[4] = {};
    CDF_set_range(1, 0, 4);
    EXPECT_EQ(CDF_get_float_array(psl, psl_all), 0);
    EXPECT_EQ(std::vector<float>(psl_all, psl_all + 4), (std::vector<float>{1013, 1001, 1020, 999}));
    // A read-only file refuses writes without ending anything.
    CDF_print_errors(0);
    CDF_set_pos(1, 0);
    EXPECT_EQ(CDF_put_float(t, 1), -1);
}

TEST(CdfGlobalAttributes, TypeAndLengthAreChecked) {
    TempDir dir;
    const std::string ob = dir.file("ob.nc");
    ASSERT_TRUE(zeqtest::compile_cdl("surface/report_ob.cdl", ob));
    ASSERT_GE(CDF_open(ob.c_str(), 0), 0);
    CDF_print_errors(0);
    char text[40];
    EXPECT_EQ(CDF_get_glob_att("filetime", text, sizeof text), 1);
    EXPECT_STREQ(text, "1230Z 11 DEC 26");
    char small[5] = "xxxx";
    EXPECT_EQ(CDF_get_glob_att("filetime", small, sizeof small), 1);
    EXPECT_STREQ(small, "1230");
    std::strcpy(text, "stale");
    EXPECT_EQ(CDF_get_glob_att("version", text, sizeof text), 0); // a float is not text
    EXPECT_STREQ(text, "");
    std::strcpy(text, "stale");
    EXPECT_EQ(CDF_get_glob_att("absent", text, sizeof text), -1);
    EXPECT_STREQ(text, "");

    float f = 0;
    EXPECT_EQ(CDF_get_glob_att("version", &f, 1), 1);
    EXPECT_EQ(f, 2.0f);
    int i = 0;
    EXPECT_EQ(CDF_get_glob_att("version", &i, 1), 1);
    EXPECT_EQ(i, 2);
    float two[2] = {1, 1};
    EXPECT_EQ(CDF_get_glob_att("version", two, 2), 0); // one value where two are wanted
    EXPECT_EQ(two[0], -9999);
    EXPECT_EQ(two[1], -9999);
    f = 0;
    EXPECT_EQ(CDF_get_glob_att("filetime", &f, 1), 0);
    EXPECT_EQ(f, -9999);
    EXPECT_EQ(CDF_get_glob_att("absent", &i, 1), -1);
    EXPECT_EQ(i, -9999);
}

// The child's netCDF failures: missing, corrupt and closed files, absent
// variables and attributes, and a direct library call on a bad id.
int provoke_failures(const std::string &dir) {
    zeqtest::write_file(dir + "/corrupt.nc", std::string("CDF\001\000\000\000\005garbage", 15));
    if (CDF_open((dir + "/missing.nc").c_str(), 0) != -1) return 1;
    if (CDF_open((dir + "/corrupt.nc").c_str(), 0) != -1) return 2;
    if (CDF_open((dir + "/nodir/new.nc").c_str(), 1) != -1) return 3;
    CDF_set_fd(12345);
    CDF_close();
    CDF_get_var("T");
    CDF_get_dim("station");
    char text[8];
    CDF_get_glob_att("version", text, sizeof text);
    ncclose(54321);
    return 0;
}

TEST(CdfErrors, NoFailureEndsTheProgram) {
    TempDir dir;
    // Before any CDF_print_errors call the library reports and goes on.
    const auto loud = zeqtest::run_child([&] { return provoke_failures(dir.path()); });
    EXPECT_EQ(loud.status, 0) << loud.err;
    EXPECT_NE(loud.err.find("missing.nc"), std::string::npos) << loud.err;

    const auto quiet = zeqtest::run_child([&] {
        CDF_print_errors(0);
        return provoke_failures(dir.path());
    });
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

} // namespace
