#include "fields/var_tool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

const char *const kDataDir = ZEQ_SOURCE_DIR "/data";

void use_tables(const std::string &dir = kDataDir) {
    RES_put("file_path", dir.c_str());
}

// ---- The list and its classification ---------------------------------------------

TEST(VarList, ResetAndCopy) {
    VAR_data d;
    std::memset(&d, 0x55, sizeof d);
    VAR_data_init(&d);
    EXPECT_EQ(d.type, -9999);
    EXPECT_EQ(d.time, -9999);
    EXPECT_EQ(d.ltype, -9999);
    EXPECT_EQ(d.level, -9999);
    for (int v : d.var)
        EXPECT_EQ(v, -9999);
    EXPECT_EQ(d.tstat, 0);
    EXPECT_EQ(d.lstat, 0);
    EXPECT_EQ(d.flag, 0);
    EXPECT_STREQ(d.name, "");
    EXPECT_STREQ(d.units, "");
    EXPECT_STREQ(d.format, "");

    std::strcpy(d.name, "temp");
    std::strcpy(d.units, "F");
    std::strcpy(d.format, "lw=2");
    d.type = 11;
    d.time = 12;
    d.flag = 10;
    VAR_data c;
    VAR_copy(&c, &d);
    EXPECT_STREQ(c.name, "temp");
    EXPECT_EQ(c.time, 12);
    EXPECT_EQ(c.flag, 10);
    EXPECT_EQ(c.type, 0);
    EXPECT_STREQ(c.units, "");
    EXPECT_STREQ(c.format, "");

    VAR_init();
    EXPECT_EQ(VAR_get_type(59), -9999);
    EXPECT_EQ(VAR_get_var(3), VAR_get_vars() + 3);
}

TEST(VarList, KeysAreDecimalTextOfLevelAndTime) {
    VAR_init();
    VAR_get_var(0)->ltype = 101;
    VAR_get_var(0)->level = 50190;
    VAR_get_var(1)->time = 4006012;
    EXPECT_STREQ(VAR_get_level_key(0), "50190");
    EXPECT_STREQ(VAR_get_time_key(1), "4006012");
    VAR_get_var(2)->level = -2147483647 - 1;
    EXPECT_STREQ(VAR_get_level_key(2), "-2147483648");
}

TEST(VarList, MatchStringsKeepNineteenCharacters) {
    VAR_set_model_str("eta");
    VAR_set_level_str("500mb");
    VAR_set_time_str("a-time-text-longer-than-nineteen");
    EXPECT_STREQ(VAR_get_model_str(), "eta");
    EXPECT_STREQ(VAR_get_level_str(), "500mb");
    EXPECT_STREQ(VAR_get_time_str(), "a-time-text-longer-");
}

// Entry i gets (flag, type); the predicates are read back as one letter each.
struct Entry {
    int flag;
    int type;
};

std::string classify(int i) {
    std::string s;
    auto put = [&](int v) { s += v ? '1' : '0'; };
    put(VAR_is_PLOT(i));
    put(VAR_is_FUNC(i));
    put(VAR_is_FUNC_VECT(i));
    put(VAR_is_plot_FUNC(i));
    put(VAR_is_calc_GRID(i));
    put(VAR_is_fit_GRID(i));
    put(VAR_is_get_GRID(i));
    put(VAR_is_type_GRID(i));
    put(VAR_is_LABEL(i));
    put(VAR_is_SUBPLOT(i));
    return s;
}

TEST(VarList, PredicatesReadTheNesting) {
    // sum(thetae(temp,dewp)), grad(hght), wnd{temp,dewp}, map
    const std::vector<Entry> list = {
        {2, 11},  // 0 sum: top-level function
        {12, 11}, // 1 thetae: nested function
        {20, 11}, // 2 temp
        {20, 11}, // 3 dewp
        {2, 10},  // 4 grad: vector-valued function
        {8, 10},  // 5 its companion
        {10, 10}, // 6 hght
        {5, 11},  // 7 group header
        {1, 11},  // 8 member
        {1, 11},  // 9 member
        {4, 6},   // 10 map control item
        {2, 10},  // 11 function, last entry: the next one is not a companion
    };
    VAR_init();
    for (std::size_t i = 0; i < list.size(); ++i) {
        VAR_set_flag(static_cast<int>(i), list[i].flag);
        VAR_set_type(static_cast<int>(i), list[i].type);
    }
    VAR_get_var(12)->flag = 8; // beyond the list: must not count as a companion
    VAR_set_num(static_cast<int>(list.size()));

    //                         PLOT FUNC FVEC pFUN calc fit get tGRD LAB SUBP
    const std::vector<std::string> expected = {
        "1101100111", // sum
        "0100100100", // thetae (flag 12)
        "0000011100", // temp
        "0000011100",
        "1111100111", // grad
        "0010001000", // companion
        "0000011101", // hght (flag 10)
        "0000001010", // group header: no grid of its own
        "1000011101", // member
        "1000011101",
        "1000000000", // map
        "1101100111", // last function: no companion after it
    };
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(classify(static_cast<int>(i)), expected[i]) << "entry " << i;

    VAR_set_type(0, 10);
    EXPECT_EQ(VAR_is_type_CONT(0), 1);
    EXPECT_EQ(VAR_is_plot_CONT(0), 0);
    VAR_set_type(0, 17);
    EXPECT_EQ(VAR_is_plot_CONT(0), 1);
    EXPECT_EQ(VAR_is_type_VECT(0), 0);
    VAR_set_type(0, 22);
    EXPECT_EQ(VAR_is_type_VECT(0), 1);
    EXPECT_EQ(VAR_is_DATA(0), 0);
    EXPECT_EQ(VAR_is_type_PLOT(0), 0);
    VAR_set_type(0, 30);
    EXPECT_EQ(VAR_is_type_PLOT(0), 1);
    EXPECT_EQ(VAR_is_plot_PLOT(0), 1);
}

// ---- Time decoder ----------------------------------------------------------------

struct TimeCase {
    const char *text;
    int status;
    int time;
};

void PrintTo(const TimeCase &c, std::ostream *os) {
    *os << "'" << c.text << "'";
}

class DecTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(DecTime, CodesAndStatus) {
    const TimeCase &c = GetParam();
    int time = 777;
    EXPECT_EQ(VAR_dec_time(c.text, &time), c.status);
    EXPECT_EQ(time, c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecTime,
    ::testing::Values(TimeCase{"12", 2, 12}, TimeCase{"12-6acc", 2, 4006012}, TimeCase{"12-6ACC", 2, 4006012},
                      TimeCase{"12-6", 2, 12}, TimeCase{"36-12avg", 2, 3024036},
                      TimeCase{"24-12xyz", 2, 2012024}, TimeCase{"48-48uavg", 2, 23000048},
                      TimeCase{"h12-6max", 2, 6006012}, TimeCase{"h24", 2, 24}, TimeCase{"d2", 2, 48},
                      TimeCase{"e1", 2, 36}, TimeCase{"2.5day", 2, 60}, TimeCase{"2d", 2, 48},
                      TimeCase{"2e", 2, 60}, TimeCase{"miss", 2, -9999}, TimeCase{"init", 2, 0},
                      TimeCase{"in", 2, 0}, TimeCase{"anal", 2, 0}, TimeCase{"anal-6acc", 2, 4006000},
                      TimeCase{"", 2, 0}, TimeCase{"xyz", 0, 777}, TimeCase{"-6", 0, 777},
                      TimeCase{"h", 0, 777}));

TEST(DecTimeDefaults, FlagSlotAndRelativeTimes) {
    FLAG_set(6, 4006012);
    int time = 0;
    EXPECT_EQ(VAR_dec_time("", &time), 1);
    EXPECT_EQ(time, 4006012);
    EXPECT_EQ(VAR_dec_time("time", &time), 1);
    EXPECT_EQ(time, 4006012);
    EXPECT_EQ(VAR_dec_time("time-6", &time), 1);
    EXPECT_EQ(time, 6);
    EXPECT_EQ(VAR_dec_time("time-6avg", &time), 1);
    EXPECT_EQ(time, 3006012);
}

TEST(DecTimeDefaults, ParseTakesTheEnclosingEntry) {
    FLAG_set(6, 99);
    VAR_init();
    VAR_set_num(0);
    VAR_data *v = VAR_get_var(0);
    v->time = 24;
    v->tstat = 2;
    v->ltype = 100;
    v->level = 850;
    v->lstat = 2;
    v->type = 11;
    VAR_base_push();
    int time = 0;
    EXPECT_EQ(VAR_dec_time("", &time), 2);
    EXPECT_EQ(time, 24);
    EXPECT_EQ(VAR_dec_time("time-6", &time), 1);
    EXPECT_EQ(time, 18);
    int ltype = 0;
    int level = 0;
    EXPECT_EQ(VAR_dec_level("", &ltype, &level), 2);
    EXPECT_EQ(ltype, 100);
    EXPECT_EQ(level, 850);
}

// ---- Level decoder ----------------------------------------------------------------

struct LevelCase {
    const char *text;
    int ltype;
    int level;
};

void PrintTo(const LevelCase &c, std::ostream *os) {
    *os << "'" << c.text << "'";
}

class DecLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(DecLevel, TypeAndPackedLevel) {
    const LevelCase &c = GetParam();
    int ltype = -9999;
    int level = -9999;
    EXPECT_EQ(VAR_dec_level(c.text, &ltype, &level), 2);
    EXPECT_EQ(ltype, c.ltype);
    EXPECT_EQ(level, c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecLevel,
    ::testing::Values(
        LevelCase{"500mb", 100, 500}, LevelCase{"500", 100, 500}, LevelCase{"p500", 100, 500},
        LevelCase{"p500-1000", 101, 50100}, LevelCase{"1000-500", 101, 50100},
        LevelCase{"500-1000mb", 101, 50100}, LevelCase{"sfc-500mb", 101, 50190},
        LevelCase{"maxt-500mb", 101, 50191}, LevelCase{"trop-300mb", 101, 30195},
        LevelCase{"sfc[20]-500mb", 101, 50202}, LevelCase{"0-100m", 104, 1000}, LevelCase{"h1000", 103, 1000},
        LevelCase{"h1000-2000", 104, 20010}, LevelCase{"1000ft", 103, 304},
        LevelCase{"1000ft-2000ft", 104, 6003}, LevelCase{"trop+500m", 104, 5995},
        LevelCase{"trop-500m", 104, 5996}, LevelCase{"2m_ag", 105, 2}, LevelCase{"a10", 105, 10},
        LevelCase{"0m_ag-1000m_ag", 106, 10000}, LevelCase{"1000ft_ag", 105, 304},
        LevelCase{"30mb_ag", 115, 30}, LevelCase{"0mb_ag-30mb_ag", 116, 30000}, LevelCase{"300K", 113, 300},
        LevelCase{"k300", 113, 300}, LevelCase{"k300-310", 114, 310300}, LevelCase{"300k-310k", 114, 310300},
        LevelCase{"0.995sig", 107, 9950}, LevelCase{"s0.995", 107, 9950}, LevelCase{"s0.5-0.9", 108, 900500},
        LevelCase{"0.5sig-0.9sig", 108, 900500}, LevelCase{"0.995eta", 119, 9950},
        LevelCase{"0.5eta-0.9eta", 120, 900500}, LevelCase{"5lev", 109, 5}, LevelCase{"2pv", 117, 2},
        LevelCase{"-", 9, 0}, LevelCase{"none", 0, 0}, LevelCase{"snd", 0, 0}, LevelCase{"sl", 102, 0},
        LevelCase{"SFC", 1, 0}, LevelCase{"sfc[2]", 1, 2}, LevelCase{"trop", 7, 0},
        LevelCase{"hcld_bot", 232, 0}, LevelCase{"sconv_top", 249, 0}, LevelCase{"miss", -9999, -9999},
        // Texts that name no level leave both values as they were.
        LevelCase{"xyz", -9999, -9999}, LevelCase{"pv", -9999, -9999}, LevelCase{"abc-500mb", -9999, -9999}));

TEST(DecLevelDefaults, FlagSlotsOutsideAParse) {
    int ltype = 5;
    int level = 6;
    EXPECT_EQ(VAR_dec_level("", &ltype, &level), 2);
    EXPECT_EQ(ltype, 5);
    EXPECT_EQ(level, 6);
    FLAG_set(7, 1);
    FLAG_set(8, 0);
    EXPECT_EQ(VAR_dec_level("", &ltype, &level), 1);
    EXPECT_EQ(ltype, 1);
    EXPECT_EQ(level, 0);
    FLAG_set(7, 100);
    FLAG_set(8, 700);
    EXPECT_EQ(VAR_dec_level("level", &ltype, &level), 1);
    EXPECT_EQ(ltype, 100);
    EXPECT_EQ(level, 700);
}

// Numbers beyond the int range in a text are held at its bounds; the
// sanitizer build turns any overflow into a failure.
TEST(DecodersWithHugeNumbers, StayInRange) {
    int ltype = -9999;
    int level = -9999;
    EXPECT_EQ(VAR_dec_level("99999999999", &ltype, &level), 2);
    EXPECT_EQ(level, 2147483647);
    for (const char *text :
         {"p99999999999-1", "h99999999999-99999999999", "k2147483647-2147483647", "1e30sig", "s1e30-1e30",
          "-1e30ft", "1e30m-1e30m", "1e30sig-1e30sig", "a-2147483648-2147483647", "nan", "infm"})
        EXPECT_EQ(VAR_dec_level(text, &ltype, &level), 2) << text;
    int time = 0;
    for (const char *text : {"99999999999-99999999999acc", "h2147483647-1acc", "d99999999", "99999999999day",
                             "anal-2147483647acc"})
        EXPECT_EQ(VAR_dec_time(text, &time), 2) << text;
    FLAG_set(6, -2147483647);
    EXPECT_EQ(VAR_dec_time("time-2147483647acc", &time), 1);
    VAR_enc_level(100, 1e30f, 1e30f, &ltype, &level);
    VAR_enc_level(113, -1e30f, 1e30f, &ltype, &level);
    VAR_data d;
    VAR_data_init(&d);
    VAR_dec_var("ens[-2147483647]x", &d);
    VAR_dec_var("ensprob[<1e30]x", &d);
}

TEST(LevelPacking, UnpackAndPack) {
    float l1 = 0;
    float l2 = 0;
    VAR_get_level(101, 50100, &l1, &l2);
    EXPECT_EQ(l1, 1000.0f);
    EXPECT_EQ(l2, 500.0f);
    VAR_get_level(104, 6003, &l1, &l2);
    EXPECT_EQ(l1, 600.0f);
    EXPECT_EQ(l2, 300.0f);
    VAR_get_level(114, 310300, &l1, &l2);
    EXPECT_EQ(l1, 310.0f);
    EXPECT_EQ(l2, 300.0f);
    VAR_get_level(100, 500, &l1, &l2);
    EXPECT_EQ(l1, 500.0f);
    EXPECT_EQ(l2, -9999.0f);

    int ltype = 0;
    int level = 0;
    VAR_enc_level(100, 1000, 500, &ltype, &level);
    EXPECT_EQ(ltype, 101);
    EXPECT_EQ(level, 50100);
    VAR_enc_level(100, 850, -9999, &ltype, &level);
    EXPECT_EQ(ltype, 100);
    EXPECT_EQ(level, 850);
    VAR_enc_level(105, 0, 1000, &ltype, &level);
    EXPECT_EQ(ltype, 106);
    EXPECT_EQ(level, 10000);
    VAR_enc_level(113, 300, 310, &ltype, &level);
    EXPECT_EQ(ltype, 114);
    EXPECT_EQ(level, 310300);
    // A decoded layer unpacks to its bounds.
    VAR_dec_level("sfc-500mb", &ltype, &level);
    VAR_get_level(ltype, level, &l1, &l2);
    EXPECT_EQ(l1, 1900.0f);
    EXPECT_EQ(l2, 500.0f);
}

// ---- Plot types and variable names ----------------------------------------------------

TEST(PlotTypes, InputAndPrintedWords) {
    EXPECT_EQ(VAR_dec_type("wx"), 36);
    EXPECT_EQ(VAR_dec_type("SYMB"), 36);
    EXPECT_STREQ(VAR_print_type(36), "symb");
    EXPECT_EQ(VAR_dec_type("cf"), 15);
    EXPECT_STREQ(VAR_print_type(15), "fcont");
    EXPECT_EQ(VAR_dec_type("ln"), 12);
    EXPECT_EQ(VAR_dec_type("track"), 23);
    EXPECT_EQ(VAR_dec_type("mk"), 4);
    EXPECT_EQ(VAR_dec_type("fcont"), -1);
    EXPECT_EQ(VAR_dec_type("grid"), -1);
    EXPECT_EQ(VAR_dec_type(""), -1);
    EXPECT_STREQ(VAR_print_type(40), "const");
    EXPECT_STREQ(VAR_print_type(10), "grid");
    EXPECT_STREQ(VAR_print_type(9), "----");
}

TEST(PlotTypes, FormatWordsAgainstThePlotTypeSetting) {
    VAR_data d;
    VAR_data_init(&d);
    EXPECT_EQ(VAR_dec_format("barb", &d), 2);
    EXPECT_EQ(d.type, 22);
    EXPECT_EQ(VAR_dec_format("lw=2", &d), 0);
    FLAG_set(11, 15);
    EXPECT_EQ(VAR_dec_format("barb", &d), 1);
    EXPECT_EQ(d.type, 11);
    EXPECT_EQ(VAR_dec_format("vect", &d), 2);
    EXPECT_EQ(d.type, 21);
    FLAG_set(11, 99);
    EXPECT_EQ(VAR_dec_format("value", &d), 2);
    EXPECT_EQ(d.type, 2);
}

int dec(const char *name, VAR_data *d, int flag = 0) {
    VAR_data_init(d);
    d->flag = flag;
    return VAR_dec_var(name, d);
}

TEST(DecVar, ParameterNumbersAndEnsembleCodes) {
    use_tables();
    VAR_data d;
    EXPECT_EQ(dec("temp", &d), 11);
    EXPECT_STREQ(d.name, "temp");
    EXPECT_EQ(d.var[1], -9999);
    EXPECT_EQ(dec("TMP", &d), 11);
    EXPECT_EQ(dec("ensmean[]temp", &d), 19000011);
    EXPECT_EQ(dec("ensdev[]temp", &d), 19001011);
    EXPECT_EQ(dec("ens[-3]temp", &d), 19323011);
    EXPECT_EQ(dec("ens[+2]temp", &d), 19342011);
    EXPECT_EQ(dec("ens[2]temp", &d), 19300011);
    EXPECT_EQ(dec("ens[c4]temp", &d), 19300011);
    EXPECT_EQ(dec("ens[12]temp", &d), 11);
    // float2int(1.0) is 10, float2int(-5.0) is -50.
    EXPECT_EQ(dec("ensprob[<1.0]prec", &d), 610000 + 10 + 1910001000);
    EXPECT_EQ(dec("ensprob[>-5]temp", &d), 110000 + 50 + 1910007000);
    // A function with an abbreviation takes the abbreviation's number.
    EXPECT_EQ(dec("thetae-thte", &d), 14);
    // A number names its parameter: the name becomes the table's name.
    EXPECT_EQ(dec("61", &d), 61);
    EXPECT_STREQ(d.name, "Total precipitation");
    EXPECT_EQ(dec("nosuchname", &d), 0);
    EXPECT_STREQ(d.name, "nosuchname");
    EXPECT_EQ(dec("#5", &d), 1);
    EXPECT_EQ(d.type, 40);
    EXPECT_EQ(d.var[0], -9999);
}

TEST(DecVar, PlotTypeByKindAndSetting) {
    use_tables();
    VAR_data d;
    dec("temp", &d);
    EXPECT_EQ(d.type, 2); // the default plot type
    VAR_set_def_type(11);
    dec("temp", &d);
    EXPECT_EQ(d.type, 11);
    dec("uv", &d, 6); // vector header
    EXPECT_EQ(d.type, 10);
    dec("strm", &d, 2); // function header of a plot function
    EXPECT_EQ(d.type, 23);
    dec("thetae", &d, 2);
    EXPECT_EQ(d.type, 10);
    dec("grad", &d, 2); // not a listed function: the default
    EXPECT_EQ(d.type, 11);
    FLAG_set(11, 15);
    dec("temp", &d);
    EXPECT_EQ(d.type, 15);
    dec("uv", &d, 6);
    EXPECT_EQ(d.type, 15);
    FLAG_set(11, 30); // not a forced grid type: the default stays
    dec("temp", &d);
    EXPECT_EQ(d.type, 11);
}

TEST(DecVar, InsideAGridHeaderMembersAreGrids) {
    use_tables();
    VAR_init();
    VAR_set_num(0);
    VAR_get_var(0)->type = 22;
    VAR_base_push();
    VAR_data d;
    dec("uwnd", &d, 11);
    EXPECT_EQ(d.type, 10);
    FLAG_set(11, 13);
    dec("uwnd", &d, 11);
    EXPECT_EQ(d.type, 13);
}

TEST(DecVar, UnitsOnlyWhenGiven) {
    VAR_data d;
    VAR_data_init(&d);
    VAR_dec_units("C", &d);
    VAR_dec_units("", &d);
    EXPECT_STREQ(d.units, "C");
    VAR_dec_units("a-unit-text-too-long", &d);
    EXPECT_STREQ(d.units, "a-unit-text-to");
}

// ---- Labels --------------------------------------------------------------------------

std::string time_label(int t) {
    char buf[40];
    return VAR_time(buf, sizeof buf, t);
}

std::string short_level(int ltype, int level) {
    char buf[40];
    return VAR_level(buf, sizeof buf, ltype, level);
}

std::string long_level(int time, int ltype, int level) {
    char buf[80];
    VAR_make_datalevel(time, ltype, level, buf, sizeof buf);
    return buf;
}

TEST(Labels, Times) {
    EXPECT_EQ(time_label(0), "init");
    EXPECT_EQ(time_label(12), "12hr");
    EXPECT_EQ(time_label(4006012), "12hr-6acc ");
    EXPECT_EQ(time_label(2006012), "12hr-6rng ");
    EXPECT_EQ(time_label(23000048), "48hr-48uavg ");
    EXPECT_EQ(long_level(4006012, 0, 0), "6 hour acc ");
    EXPECT_EQ(long_level(3000830, 0, 0), "830 day avg ");
    EXPECT_EQ(long_level(12, 0, 0), "");
    EXPECT_EQ(long_level(1012024, 0, 0), "");
}

struct LevelLabelCase {
    int ltype;
    int level;
    const char *brief;
    const char *full;
};

void PrintTo(const LevelLabelCase &c, std::ostream *os) {
    *os << c.ltype << "/" << c.level;
}

class LevelLabels : public ::testing::TestWithParam<LevelLabelCase> {};

TEST_P(LevelLabels, ShortAndLong) {
    const LevelLabelCase &c = GetParam();
    EXPECT_EQ(short_level(c.ltype, c.level), c.brief);
    EXPECT_EQ(long_level(0, c.ltype, c.level), c.full);
}

INSTANTIATE_TEST_SUITE_P(
    Types, LevelLabels,
    ::testing::Values(
        LevelLabelCase{100, 500, "500mb", "500 mb"}, LevelLabelCase{101, 50190, "sfc-500mb", "sfc-500 mb"},
        LevelLabelCase{101, 50100, "500-1000mb", "1000-500 mb"},
        LevelLabelCase{101, 30195, "300-1950mb", "trop-300 mb"},
        LevelLabelCase{101, 50202, "sfc[20]-500mb", "sfc[20]-500 mb"},
        LevelLabelCase{101, 599, "", "SFC-500 mb"}, LevelLabelCase{101, 508, "", "850-500 mb"},
        LevelLabelCase{101, 400, "", ""}, LevelLabelCase{1, 0, "sfc", "Surface"},
        LevelLabelCase{1, 2, "sfc[2]", "Surface[2]"}, LevelLabelCase{1, 2003, "sfc[3]", "Surface[3]"},
        LevelLabelCase{103, 304, "304m", "304 m"}, LevelLabelCase{104, 1000, "0-100m", "0-100 m"},
        LevelLabelCase{104, 5995, "99500-500m", "trop+500 m"}, LevelLabelCase{105, 2, "2m_ag", "2 m AG"},
        LevelLabelCase{106, 10000, "0-1000m_ag", "0-1000 m AG"},
        LevelLabelCase{107, 9900, "0.99sig", "0.99 sigma"},
        // Sigma and eta layers read their bounds in thousandths, as packed.
        LevelLabelCase{108, 900500, "0.50-0.90sig", "0.50-0.90 sigma"},
        LevelLabelCase{120, 900500, "0.50-0.90eta", "0.50-0.90 Eta"}, LevelLabelCase{109, 5, "5lev", "5 lev"},
        LevelLabelCase{112, 10000, "0-10cm_bg", "0-10 cm BG"},
        LevelLabelCase{114, 310300, "300-310K", "300-310 K"},
        LevelLabelCase{116, 30000, "0-30mb_ag", "0-30 mb AG"},
        LevelLabelCase{117, 2, "2*10^-6Km2/kgs", "2*10^-6 Km2/kgs"},
        LevelLabelCase{102, 0, "sl", "Sea level"}, LevelLabelCase{206, 0, "gscld_bot", "Grid cld bot lvl"},
        LevelLabelCase{254, 0, "sclw_top", "Supercool liq wat top"}, LevelLabelCase{0, 0, "", ""},
        LevelLabelCase{9, 0, "", ""}, LevelLabelCase{-9999, -9999, "", ""}));

TEST(Labels, DecodedSigmaLayerLabelsItsBounds) {
    int ltype = 0;
    int level = 0;
    VAR_dec_level("s0.5-0.9", &ltype, &level);
    EXPECT_EQ(long_level(0, ltype, level), "0.50-0.90 sigma");
}

TEST(Labels, UnknownLevelTypeWarns) {
    const auto r = zeqtest::run_child([] {
        char buf[40];
        VAR_level(buf, sizeof buf, 99, 5);
        return buf[0] == '\0' ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("VAR_make_datatype: no ltype: 99\n"), std::string::npos) << r.err;
}

std::string datatype(int time, int ltype, int level, int var, const char *units) {
    char buf[70];
    VAR_make_datatype(time, ltype, level, var, units, buf, sizeof buf);
    return buf;
}

TEST(Labels, FullLabelByLabelType) {
    use_tables();
    EXPECT_EQ(datatype(4006012, 100, 500, 11, "F"), "6 hour acc 500 mb Temperature (F)");
    EXPECT_EQ(datatype(0, 0, 0, 11, ""), "Temperature");
    EXPECT_EQ(datatype(0, 0, 0, 19000061, ""), "Total precipitation");
    EXPECT_EQ(datatype(12, 100, 500, 999, "K"), "500 mb v999 (K)");
    PLT_set_label_type(-1);
    EXPECT_EQ(datatype(4006012, 100, 500, 11, "F"), "6 hour acc 500 mb temp (F)");
    PLT_set_label_type(-2);
    EXPECT_EQ(datatype(4006012, 100, 500, 11, "F"), "temp (F)");
}

TEST(Labels, PlotOptionWordsSetTheLabelType) {
    use_tables();
    RES_put("plot_param", "gridx=2,labcompact");
    VAR_param_decode();
    EXPECT_EQ(PLT_get_label_type(), 1);
    RES_put("plot_param", "LABSIMP,labmin");
    VAR_param_decode();
    EXPECT_EQ(PLT_get_label_type(), -2);
    RES_put("plot_param", "lab,labnorm");
    VAR_param_decode();
    EXPECT_EQ(PLT_get_label_type(), 0);
}

TEST(Labels, EntryLabelsWithOptions) {
    use_tables();
    VAR_init();
    VAR_data *v = VAR_get_var(3);
    v->time = 12;
    v->ltype = 100;
    v->level = 850;
    v->var[0] = 17;
    std::strcpy(v->units, "C");
    std::strcpy(v->format, "cont:lw=2");
    char buf[70];
    VAR_make_var_datatype(3, buf, sizeof buf);
    EXPECT_STREQ(buf, "850 mb Dew point temperature (C)");
    VAR_make_var_form_datatype(3, buf, sizeof buf);
    EXPECT_STREQ(buf, "850 mb Dew point temperature (C)");
    PLT_set_label_type(1);
    VAR_make_var_form_datatype(3, buf, sizeof buf);
    EXPECT_STREQ(buf, "850 mb Dew point temperature (C) - cont:lw=2");
    VAR_make_vardata_form_datatype(v, buf, sizeof buf);
    EXPECT_STREQ(buf, "850 mb Dew point temperature (C) - cont:lw=2");
    VAR_make_devtype(4006012, 1, 0, "Gradient temp", "K/m", buf, sizeof buf);
    EXPECT_STREQ(buf, "6 hour acc Surface Gradient temp (K/m)");
    VAR_make_devtype(0, 0, 0, "Speed", "", buf, sizeof buf);
    EXPECT_STREQ(buf, "Speed ()");
}

TEST(Labels, WrittenWithinTheBuffer) {
    use_tables();
    // A label longer than the 70-character field is cut, never written past it.
    char buf[80];
    std::memset(buf, '#', sizeof buf);
    VAR_make_datatype(4006012, 106, 10000, 100, "kg/m^2/s", buf, 70);
    EXPECT_EQ(std::strlen(buf), 69u);
    EXPECT_EQ(std::string(buf, 69),
              std::string("6 hour acc 0-1000 m AG Significant height of wind waves and swell (kg/m^2/s)")
                  .substr(0, 69));
    EXPECT_EQ(buf[70], '#');
    std::memset(buf, '#', sizeof buf);
    VAR_str(buf, 8, 11, "K");
    EXPECT_STREQ(buf, "Tempera");
    EXPECT_EQ(buf[8], '#');
    VAR_time(buf, 4, 4006012);
    EXPECT_STREQ(buf, "12h");
    VAR_level(buf, 3, 100, 500);
    EXPECT_STREQ(buf, "50");
}

TEST(Labels, TracePrintsOneLinePerRecord) {
    const auto r = zeqtest::run_child([] {
        use_tables();
        VAR_data d;
        VAR_data_init(&d);
        std::strcpy(d.name, "temp");
        std::strcpy(d.units, "F");
        std::strcpy(d.format, "lw=2");
        d.time = 12;
        d.ltype = 100;
        d.level = 500;
        d.var[0] = 11;
        d.type = 11;
        VAR_print(0xF, &d);
        VAR_print_info(0xF, &d);
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "V: temp       U: F          FH:      12 LT:    100 L:     500 VN:     11 T:  cont F:  0 FM: "
              "lw=2\n500 mb Temperature (F)\n");
}

// ---- Tables -------------------------------------------------------------------------

TEST(Tables, ParameterSearchAndAbbreviation) {
    use_tables();
    EXPECT_EQ(VAR_search_var_num("dewp"), 17);
    EXPECT_EQ(VAR_search_var_num("DEWP"), 17);
    EXPECT_EQ(VAR_search_var_num("nothing"), 0);
    char buf[10];
    EXPECT_STREQ(VAR_abbr(buf, sizeof buf, 7), "hght");
    EXPECT_STREQ(VAR_abbr(buf, sizeof buf, 19000007), "");
    EXPECT_STREQ(VAR_str(buf, sizeof buf, 61, ""), "Total pre");
}

TEST(Tables, SourceNames) {
    use_tables();
    char buf[41];
    ASSERT_NE(VAR_source(buf, sizeof buf, 7), nullptr);
    EXPECT_STREQ(buf, "US National Weather Service - NCEP (WMC)");
    EXPECT_STREQ(VAR_source(buf, sizeof buf, 98), "European Centre for Medium-Range Weather");
    EXPECT_STREQ(VAR_source(buf, sizeof buf, 3), "");
}

TEST(Tables, ModelNamesAndTheirCache) {
    zeqtest::TempDir dir;
    zeqtest::write_file(dir.file("mod_name.lup"), "# models\r\n"
                                                  "7:96 GFS  \r\n"
                                                  "96 Generic\n"
                                                  "x comment-like row\n"
                                                  "83 ETA\n"
                                                  "   \n"
                                                  "7:84 after the end\n");
    use_tables(dir.path());
    char buf[40];
    ASSERT_NE(VAR_model(buf, sizeof buf, 7096), nullptr);
    EXPECT_STREQ(buf, "GFS");
    EXPECT_STREQ(VAR_model(buf, sizeof buf, 96), "Generic"); // a row naming a source is for that source
    EXPECT_STREQ(VAR_model(buf, sizeof buf, 9096), "Generic");
    EXPECT_STREQ(VAR_model(buf, sizeof buf, 83), "ETA");
    EXPECT_STREQ(VAR_model(buf, sizeof buf, 7083), "ETA");
    EXPECT_STREQ(VAR_model(buf, sizeof buf, 7084), ""); // the blank line ends the table

    EXPECT_STREQ(VAR_model(buf, sizeof buf, 7096), "GFS");
    zeqtest::write_file(dir.file("mod_name.lup"), "7:96 Changed\n83 Eta\n");
    EXPECT_STREQ(VAR_model(buf, sizeof buf, 7096), "GFS"); // the same model: from the cache
    EXPECT_STREQ(VAR_model(buf, sizeof buf, 83), "Eta");
    EXPECT_STREQ(VAR_model(buf, sizeof buf, 7096), "Changed");
}

TEST(Tables, MissingTablesWarnAndAreTriedAgain) {
    zeqtest::TempDir dir;
    const std::string empty = dir.path();
    const auto r = zeqtest::run_child([&] {
        use_tables(empty);
        char buf[40];
        int bad = 0;
        if (VAR_model(buf, sizeof buf, 7096) != nullptr) bad |= 1;
        if (VAR_source(buf, sizeof buf, 7) != nullptr) bad |= 2;
        if (std::string(VAR_str(buf, sizeof buf, 11, "K")) != "v11 (K)") bad |= 4;
        use_tables();
        if (std::string(VAR_str(buf, sizeof buf, 11, "K")) != "Temperature (K)") bad |= 8;
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("VAR_model: Unable to open file: " + empty + "/mod_name.lup\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("VAR_source: Unable to open file: " + empty + "/source.lup\n"), std::string::npos);
    EXPECT_NE(r.err.find("VAR_read_varfile: Unable to open file: " + empty + "/variable.lup\n"),
              std::string::npos);
}

TEST(Tables, ParameterTableReadsAllRowForms) {
    zeqtest::TempDir dir;
    zeqtest::write_file(dir.file("variable.lup"), "# comment\n"
                                                  "33,34 uv Wind components  \r\n"
                                                  "\n"
                                                  "7 hght\n"
                                                  "lonely\n"
                                                  "11 averyverylongabbr " +
                                                      std::string(60, 'n') + "\n");
    use_tables(dir.path());
    EXPECT_EQ(VAR_read_varfile(), 1);
    VAR_data d;
    EXPECT_EQ(dec("uv", &d), 33);
    EXPECT_EQ(d.var[1], 34);
    EXPECT_EQ(d.var[2], -9999);
    char buf[80];
    EXPECT_STREQ(VAR_str(buf, sizeof buf, 33, ""), "Wind components");
    EXPECT_STREQ(VAR_str(buf, sizeof buf, 7, ""), "");
    EXPECT_EQ(VAR_search_var_num("averyvery"), 11);
    EXPECT_EQ(std::strlen(VAR_str(buf, sizeof buf, 11, "")), 49u);
}

// Every quantity that the surface variables, the calculator and the GRIB
// tables use has a row in the shipped parameter table.
TEST(Tables, ShippedTableCoversTheSystemsQuantities) {
    use_tables();
    const char *const names[] = {
        // surface variables
        "city", "temp", "ttd", "dewp", "dewd", "wdir", "wspd", "wgst", "wbrbc", "wbrb", "hwind", "uwnd",
        "vwnd", "uwndg", "vwndg", "alt", "pralt", "pres", "elev", "wx", "vis", "cldcl", "cldclc", "cldcv",
        "ptend", "prec1", "prec3", "prec6", "prec12", "prec24", "prec", "extt", "maxt6", "maxt24", "maxt",
        "mint6", "mint24", "mint", "snwdp", "nlcld", "lcld", "mcld", "hcld", "solar", "sst", "wavper",
        "wavhgt", "vpres", "svpres", "wchilt", "wchill", "wchill2", "wchilf", "heat", "humit", "mrat",
        "smrat", "shum", "rhum", "wetblb", "thetaw", "thetae", "thetav", "theta", "vtemp", "fr",
        // calculator results
        "show", "vapor", "mixrat", "spd", "dir", "ugeos", "vgeos", "uq", "vq", "diverg", "def1", "def2",
        "vconv", "rvort", "avort", "thte", "hght",
        // grid product names
        "TMP", "HGT", "UGRD", "VGRD", "RH", "PRMSL", "APCP", "CAPE"};
    for (const char *n : names)
        EXPECT_NE(VAR_search_var_num(n), 0) << n;
    const int numbers[] = {
        1,   2,   3,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,
        22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  37,  38,  39,  40,
        41,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,
        60,  61,  62,  63,  65,  66,  71,  76,  77,  80,  81,  83,  84,  85,  86,  90,  91,  100, 107,
        108, 111, 112, 113, 114, 121, 122, 124, 125, 128, 129, 130, 131, 132, 133, 134, 135, 136, 138,
        139, 140, 141, 142, 143, 144, 145, 146, 147, 148, 149, 151, 153, 154, 155, 156, 157, 158, 160,
        161, 162, 163, 164, 165, 166, 167, 168, 172, 190, 191, 192, 193, 194, 195, 196, 197, 201, 204,
        205, 207, 208, 209, 211, 212, 213, 214, 216, 221, 222, 223, 226, 227, 230, 326, 327, 491, 571};
    char buf[10];
    for (int n : numbers)
        EXPECT_STRNE(VAR_abbr(buf, sizeof buf, n), "") << n;
}

// ---- Specification parser ----------------------------------------------------------

// The list as "name/flag" items; with types, "name/flag/type".
std::string list_of(bool types = false) {
    std::string s;
    for (int i = 0; i < VAR_get_num(); ++i) {
        if (i > 0) s += ' ';
        s += std::string(VAR_get_name(i)) + "/" + std::to_string(VAR_get_flag(i));
        if (types) s += "/" + std::to_string(VAR_get_type(i));
    }
    return s;
}

// Parses as the surface program does (contour lines by default).
std::string parse(const std::string &spec, bool types = false) {
    VAR_set_def_type(11);
    VAR_setup(nullptr, spec.c_str());
    return list_of(types);
}

struct SpecCase {
    const char *spec;
    const char *list;
};

void PrintTo(const SpecCase &c, std::ostream *os) {
    *os << "'" << c.spec << "'";
}

class SpecStructure : public ::testing::TestWithParam<SpecCase> {};

TEST_P(SpecStructure, EntriesAndNesting) {
    use_tables();
    EXPECT_EQ(parse(GetParam().spec), GetParam().list);
}

INSTANTIATE_TEST_SUITE_P(
    Parser, SpecStructure,
    ::testing::Values(
        // plain variables, functions and their arguments
        SpecCase{"temp,dewp", "temp/0 dewp/0"}, SpecCase{"sum(temp,dewp)", "sum/2 temp/10 dewp/10"},
        // a vector-valued function gets a companion before its arguments
        SpecCase{"grad(hght)", "grad/2 grad/8 hght/10"},
        SpecCase{"sum(grad(hght),temp)", "sum/2 grad/12 grad/18 hght/20 temp/10"},
        // groups and vectors
        SpecCase{"wnd{temp,dewp}", "wnd/5 temp/1 dewp/1"}, SpecCase{"uv<u,v>", "uv/6 u/1 v/1"},
        SpecCase{"a{b{c}}", "a/5 b/5 c/2"}, SpecCase{"sum(a,uv<u,v>)", "sum/2 a/10 uv/16 u/11 v/11"},
        // control items keep flag 4 at any depth
        SpecCase{"map,temp", "map/4 temp/0"}, SpecCase{"sum(PLOT,a)", "sum/2 plot/4 a/10"},
        // text after a closing bracket is an item of its own; a bracket
        // without a name before it is passed over
        SpecCase{"sum(a,b)c,d", "sum/2 a/10 b/10 c/0 d/0"}, SpecCase{"(a,b),c", "c/0"},
        SpecCase{"temp,,dewp,", "temp/0 dewp/0"},
        // escapes make brackets and commas ordinary text
        SpecCase{"a\\,b", "a,b/0"}, SpecCase{"sum\\(a,b)", "sum(a/0 b)/0"},
        SpecCase{"ensmean\\[]temp", "ensmean[]temp/0"},
        // unescaped, the bracket starts a patch and the name splits in two
        SpecCase{"ens[-1]temp", "ens/0 temp/0"},
        // unmatched brackets end the text after the headers made so far; an
        // enclosing text goes on after its own closing bracket
        SpecCase{"sum(a,b", "sum/2"}, SpecCase{"grad(hght", "grad/2 grad/8"}, SpecCase{"x<a,b", "x/6"},
        SpecCase{"a,w{b,c", "a/0 w/5"}, SpecCase{"a[F,b", "a/0"},
        SpecCase{"sum(a,w{b,c),d", "sum/2 a/10 w/15 d/0"},
        // an item without a name makes no entry
        SpecCase{":F,temp", "temp/0"}));

TEST(Parser, FlagsTypesAndInheritance) {
    use_tables();
    EXPECT_EQ(parse("grad(hght)", true), "grad/2/11 grad/8/11 hght/10/10");
    EXPECT_EQ(parse("map,temp:F:value", true), "map/4/6 temp/0/2");
    parse("ensmean\\[]temp");
    EXPECT_EQ(VAR_get_var(0)->var[0], 19000011);
    // the companion is a copy of its header
    parse("12:500mb:grad:F:cf:lw=2(hght)");
    const VAR_data *h = VAR_get_var(0);
    const VAR_data *c = VAR_get_var(1);
    EXPECT_EQ(c->time, 12);
    EXPECT_EQ(c->level, 500);
    EXPECT_STREQ(c->units, "F");
    EXPECT_EQ(c->type, h->type);
    EXPECT_STREQ(c->format, "lw=2");
    // the header's time and level reach its arguments
    const VAR_data *a = VAR_get_var(2);
    EXPECT_EQ(a->time, 12);
    EXPECT_EQ(a->tstat, 2);
    EXPECT_EQ(a->ltype, 100);
    EXPECT_EQ(a->level, 500);
    EXPECT_EQ(a->var[0], 7);
}

TEST(Parser, ItemWithoutANameLeavesNothingBehind) {
    use_tables();
    EXPECT_EQ(parse("12:500mb::F,temp"), "temp/0");
    EXPECT_EQ(VAR_get_time(0), 0);
    EXPECT_EQ(VAR_get_var(0)->level, MISSING);
    EXPECT_STREQ(VAR_get_units(0), "");
}

TEST(Parser, TimeLevelUnitsTypeAndOptions) {
    use_tables();
    FLAG_set(6, 6); // default time
    parse("12:500mb:temp,temp:F,dewp:C:cf:lw=2:lc=3");
    ASSERT_EQ(VAR_get_num(), 3);
    const VAR_data *a = VAR_get_var(0);
    EXPECT_EQ(a->time, 12);
    EXPECT_EQ(a->tstat, 2);
    EXPECT_EQ(a->ltype, 100);
    EXPECT_EQ(a->level, 500);
    EXPECT_EQ(a->lstat, 2);
    EXPECT_EQ(a->var[0], 11);
    // two fields are never a time and level
    const VAR_data *b = VAR_get_var(1);
    EXPECT_STREQ(b->units, "F");
    EXPECT_EQ(b->time, 6);
    EXPECT_EQ(b->tstat, 1);
    const VAR_data *d = VAR_get_var(2);
    EXPECT_STREQ(d->units, "C");
    EXPECT_EQ(d->type, 15);
    EXPECT_STREQ(d->format, "lw=2:lc=3");
    EXPECT_EQ(d->var[0], 17);
    // a leading '+' decodes the name without a definition look-up
    parse("+temp");
    EXPECT_STREQ(VAR_get_name(0), "temp");
    EXPECT_EQ(VAR_get_var(0)->var[0], 11);
    // a control item takes a type word and options, no units
    parse("Frame:cont:abc");
    EXPECT_STREQ(VAR_get_name(0), "frame");
    EXPECT_EQ(VAR_get_type(0), 11);
    EXPECT_STREQ(VAR_get_units(0), "");
    EXPECT_STREQ(VAR_get_format(0), "abc");
}

TEST(Parser, Patches) {
    use_tables();
    parse("sum(a,b)[F:cont:lw=2],c[C:cf]");
    EXPECT_STREQ(VAR_get_units(0), "F");
    EXPECT_EQ(VAR_get_type(0), 11);
    EXPECT_STREQ(VAR_get_format(0), "lw=2");
    EXPECT_STREQ(VAR_get_units(3), "C");
    EXPECT_EQ(VAR_get_type(3), 15);
    // inside a function's arguments a patch does nothing
    parse("sum(a[F:cf],b)");
    EXPECT_STREQ(VAR_get_units(1), "");
    EXPECT_EQ(list_of(), "sum/2 a/10 b/10");
    // a control item's patch has no units field
    parse("map[cont:x]");
    EXPECT_STREQ(VAR_get_units(0), "");
    EXPECT_EQ(VAR_get_type(0), 11);
    EXPECT_STREQ(VAR_get_format(0), "x");
    // escapes are removed from the patch text
    parse("a[m\\]s]");
    EXPECT_STREQ(VAR_get_units(0), "m]s");
    // a patch with no entry before it goes nowhere
    EXPECT_EQ(parse("[F],temp"), "temp/0");
    EXPECT_STREQ(VAR_get_units(0), "");
    // with the plot type forced, a patch's type word is consumed but ignored,
    // while a type field of the item itself counts
    FLAG_set(11, 12);
    parse("temp[F:cf:x],dewp:F:cf");
    EXPECT_EQ(VAR_get_type(0), 12);
    EXPECT_STREQ(VAR_get_format(0), "x");
    EXPECT_EQ(VAR_get_type(1), 15);
    FLAG_set(11, 99);
    parse("temp[F:cf]");
    EXPECT_EQ(VAR_get_type(0), 15);
}

TEST(Parser, SetupResultAndTrace) {
    const auto r = zeqtest::run_child([] {
        use_tables();
        MESS_set_str("+debugc");
        VAR_set_def_type(11);
        int bad = 0;
        if (VAR_setup(nullptr, "grad(hght)") != 1) bad |= 1;
        if (VAR_setup(nullptr, "") != 0 || VAR_get_num() != 0) bad |= 2;
        if (VAR_setup(nullptr, "sum(a,b") != 1) bad |= 4;
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    for (const char *line :
         {"VAR_process: 0|0|grad(hght)|\n", "VECT FUNC: grad\n", "Function grad ( hght )\n",
          "VAR_process: 2|1|hght|\n", "Variable hght\n", "Var: 0 -- V: grad ", "Var: 2 -- V: hght ",
          "Unable to determine variables\n", "Unmatched ()\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_EQ(r.err, "");
}

// A plain name that is no parameter of the table and no function is kept but
// warned of at the default level; headers of functions, groups and vectors,
// control words, labels, numbers and functions are not.
TEST(Parser, UnknownNamesAreWarnedOf) {
    const auto r = zeqtest::run_child([] {
        use_tables();
        VAR_set_def_type(11);
        VAR_setup(nullptr, "temp,zzzz,),11,#label,map,td{temp,dewp:F},wnd<uwndg,vwndg>,adv(uwndg,vwndg,qq)");
        std::printf("NUM %d\n", VAR_get_num());
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "VAR_setup: Unknown variable: zzzz\nVAR_setup: Unknown variable: )\n"
                     "VAR_setup: Unknown variable: qq\n");
    EXPECT_NE(r.out.find("NUM 16\n"), std::string::npos) << r.out;
}

// ---- Definitions ----------------------------------------------------------------------

// A definition file in a temporary directory along file_path.
struct DefFile {
    zeqtest::TempDir dir;
    explicit DefFile(const std::string &text) {
        zeqtest::write_file(dir.file("test.var"), text);
        RES_put("file_path", dir.path().c_str());
        zeqtest::write_file(dir.file("variable.lup"),
                            zeqtest::read_file(std::string(kDataDir) + "/variable.lup"));
    }
};

TEST(Definitions, NamesExpandIntoTheirDefinitions) {
    DefFile f("temp   Temperature 1 temp:F\n"
              "two    Two         1 temp:K,dewp\n"
              "grp    Group       1 g{rhum,\\\n"
              "                      mrat}\n"
              "tcf    Filled      1 temp:F:cf\n"
              "Loop   Self        1 tcf\n");
    EXPECT_EQ(VAR_open_file("test.var"), 1);
    // a definition repeating its own name decodes it directly
    EXPECT_EQ(parse("temp"), "temp/0");
    EXPECT_STREQ(VAR_get_units(0), "F");
    EXPECT_EQ(VAR_get_var(0)->var[0], 11);
    // the first item fills the named entry, the others follow; the item's own
    // fields then apply to that first entry
    EXPECT_EQ(parse("two:C,rhum"), "temp/0 dewp/0 rhum/0");
    EXPECT_STREQ(VAR_get_units(0), "C");
    // a definition continued on the next line, expanded inside a function
    EXPECT_EQ(parse("sum(grp)"), "sum/2 g/15 rhum/11 mrat/11");
    // definitions inherit the time and level of the entry they expand
    parse("12:700mb:two");
    EXPECT_EQ(VAR_get_var(1)->time, 12);
    EXPECT_EQ(VAR_get_var(1)->level, 700);
    // names are matched with exact case; the '+' form bypasses the file
    parse("Temp,+temp");
    EXPECT_STREQ(VAR_get_units(0), "");
    EXPECT_STREQ(VAR_get_units(1), "");
    // a chain of definitions
    parse("Loop");
    EXPECT_STREQ(VAR_get_name(0), "temp");
    EXPECT_EQ(VAR_get_type(0), 15);
    // "fi:" names the file in the specification itself
    DefFile other("temp Other 1 temp:mb\n");
    EXPECT_EQ(parse("fi:test.var:temp"), "temp/0");
    EXPECT_STREQ(VAR_get_units(0), "mb");
    char def[8];
    EXPECT_EQ(VAR_lookup("temp", def, sizeof def), 1);
    EXPECT_STREQ(def, "temp:mb");
    EXPECT_EQ(VAR_lookup("two", def, sizeof def), 0);
    EXPECT_EQ(VAR_lookup("", def, sizeof def), 0);
}

// ---- Limits of the list, the inheritance stack and the texts --------------------------

std::string items(const char *prefix, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += (i ? "," : "") + std::string(prefix) + std::to_string(i);
    return s;
}

// Every entry beyond the count is reset.
bool rest_is_reset() {
    for (int i = VAR_get_num(); i < VAR_MAX; ++i)
        if (VAR_get_name(i)[0] != '\0' || VAR_get_flag(i) != 0 || VAR_get_type(i) != MISSING) return false;
    return true;
}

// The listing of `n` plain top-level entries named prefix0, prefix1, ...
std::string plain_list(const char *prefix, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += (i ? " " : "") + std::string(prefix) + std::to_string(i) + "/0";
    return s;
}

TEST(ParserLimits, EntriesBeyondTheListStopTheParse) {
    const auto r = zeqtest::run_child([] {
        MESS_set_str("+debugc");
        int bad = 0;
        if (parse(items("v", 60)) != plain_list("v", 60)) bad |= 1;
        // the 61st entry stops the parse; the 60 before it stay
        if (VAR_setup(nullptr, items("v", 70).c_str()) != 1 || list_of() != plain_list("v", 60)) bad |= 2;
        // a function that does not fit is dropped whole, arguments and all
        if (parse("temp,sum(" + items("a", 59) + "),dewp") != "temp/0") bad |= 4;
        if (!rest_is_reset()) bad |= 8;
        // a vector-valued function needs its companion
        if (parse(items("v", 57) + ",grad(hght)") != plain_list("v", 57) + " grad/2 grad/8 hght/10")
            bad |= 16;
        if (parse(items("v", 58) + ",grad(hght)") != plain_list("v", 58)) bad |= 32;
        if (parse(items("v", 59) + ",grad(hght)") != plain_list("v", 59)) bad |= 64;
        if (!rest_is_reset()) bad |= 128;
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("VAR_process: more than 60 entries\n"), std::string::npos);
    EXPECT_NE(r.out.find("VAR_process: list ends after 60 entries\n"), std::string::npos);
    // The made-up names are no parameters: each is warned of, nothing else.
    std::istringstream err(r.err);
    for (std::string line; std::getline(err, line);)
        EXPECT_EQ(line.rfind("VAR_setup: Unknown variable: ", 0), 0u) << line;
}

TEST(ParserLimits, NestingDeeperThanTheStackStops) {
    auto nested = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += "f" + std::to_string(i) + "(";
        s += "a";
        return s + std::string(static_cast<std::size_t>(n), ')');
    };
    EXPECT_EQ(VAR_setup(nullptr, nested(9).c_str()), 1);
    EXPECT_EQ(VAR_get_num(), 10);
    EXPECT_EQ(VAR_get_flag(8), 82);
    EXPECT_EQ(VAR_get_flag(9), 90);
    EXPECT_EQ(VAR_setup(nullptr, ("temp," + nested(10)).c_str()), 1);
    EXPECT_EQ(list_of(), "temp/0");
    EXPECT_TRUE(rest_is_reset());
    EXPECT_EQ(VAR_setup(nullptr, nested(10).c_str()), 0);
    // decoders outside the parse take their defaults from the flag slots again
    int time = 0;
    EXPECT_EQ(VAR_dec_time("", &time), 2);
}

TEST(ParserLimits, DefinitionsThatExpandEachOtherStop) {
    const auto r = zeqtest::run_child([] {
        DefFile f("a A 1 b:F\n"
                  "b B 1 a\n"
                  "x X 1 y,x\n"
                  "s S 1 sum(s)\n"
                  "c C 1 c(temp)\n");
        VAR_open_file("test.var");
        MESS_set_str("+debugc");
        int bad = 0;
        if (parse("temp,a,dewp") != "temp/0") bad |= 1;
        if (parse("x") != "") bad |= 2;
        if (VAR_setup(nullptr, "x,temp") != 0) bad |= 4;
        if (parse("temp,s") != "temp/0") bad |= 32;
        // a header is never looked up, so a definition may use its own name there
        if (parse("c") != "c/2 temp/10") bad |= 8;
        if (!rest_is_reset()) bad |= 16;
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("VAR_process_var: definitions nested deeper than 10\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(ParserLimits, TextLimits) {
    const std::string item49 = "temp:F:cont:" + std::string(37, 'x');
    std::string inside = item49;
    for (int i = 1; i < 10; ++i)
        inside += "," + item49;
    ASSERT_EQ(inside.size(), 499u);
    std::string def = item49;
    for (int i = 1; i < 20; ++i)
        def += "," + item49;
    ASSERT_EQ(def.size(), 999u);
    DefFile f("big Big 1 " + def + "\nbigger Bigger 1 " + def + ",\n");
    VAR_open_file("test.var");

    EXPECT_EQ(VAR_setup(nullptr, item49.c_str()), 1);
    EXPECT_EQ(std::string(VAR_get_format(0)), std::string(37, 'x'));
    EXPECT_EQ(VAR_setup(nullptr, (item49 + "x").c_str()), 0);
    auto repeat = [](const std::string &item, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += " " + item;
        return s;
    };
    EXPECT_EQ(parse("dewp,sum(" + inside + ")"), "dewp/0 sum/2" + repeat("temp/10", 10));
    EXPECT_EQ(parse("dewp,sum(" + inside + ",)"), "dewp/0");
    EXPECT_EQ(parse("big"), repeat("temp/0", 20).substr(1));
    EXPECT_EQ(parse("dewp,bigger"), "dewp/0");
    // a patch's options are cut to the format's size
    parse("temp[F:cont:" + std::string(200, 'o') + "]");
    EXPECT_EQ(std::string(VAR_get_format(0)), std::string(100, 'o'));
}

// ---- Definition file and variable menu ------------------------------------------------

struct DisplayCase {
    const char *pattern;
    const char *text;
    int result;
};

TEST(MenuDisplay, Patterns) {
    const DisplayCase cases[] = {
        {"eta", "eta", 1},
        {"eta", "etax", 0},
        {"eta", "et", 0},
        {"eta|ngm", "ngm", 1},
        {"eta|ngm", "etax", 0},
        {"~eta", "ngm", 1},
        {"~eta", "eta", 0},
        {"~eta", "", 0},
        {"eta", "", 0},
        {"", "eta", 0},
        {"e*", "eta", 1},
        {"e*", "e", 1},
        {"e*", "ngm", 0},
        {"*a", "eta", 1},
        {"e*a", "eta", 1},
        {"[5-8]00mb", "500mb", 1},
        {"[5-8]00mb", "800mb", 1},
        {"[5-8]00mb", "900mb", 0},
        {"[-x]1", "-1", 1},
        {"[x-]1", "-1", 1},
        {"[abc]", "b", 1},
        {"?t.", "eta", 1},
        {"?t.", "etaa", 0},
        {"ETA", "eta", 0},
        {"ngm|~eta", "eta", 0},
        {"ngm|~eta", "avn", 1},
        {"e~ta", "eta", 1},
    };
    for (const DisplayCase &c : cases)
        EXPECT_EQ(VAR_menu_display(c.pattern, c.text), c.result) << c.pattern << " / " << c.text;
    EXPECT_EQ(VAR_menu_display(nullptr, "eta"), 0);
    EXPECT_EQ(VAR_menu_display("eta", nullptr), 0);
}

// Runs the variable menu in a child with `answers` on standard input; the
// child's status is the menu result + 100, and the answer follows "ANSWER:".
zeqtest::ChildResult run_menu(
    const std::string &file, const std::string &answers, const std::function<void()> &setup = [] {}) {
    return zeqtest::run_child(
        [&] {
            DefFile f(file);
            setup();
            VAR_open_file("test.var");
            VAR_read_menu();
            char answer[20] = "";
            const int r = VAR_menu("Variables", "Pick: ", answer, 3);
            std::printf("ANSWER:%s\n", answer);
            return r + 100;
        },
        {answers});
}

TEST(VariableMenu, OffersTheLinesWhoseConditionHolds) {
    const std::string file = "temp  Temperature 1 temp:F\n"
                             "hidden Hidden    0 temp\n"
                             "dewp  Dew_point  mo=eta&ft=12 dewp\n"
                             "rhum  Humidity   mo=ngm,le=[5-8]00mb rhum\n"
                             "odd   Odd        xx=1 temp\n"
                             "toolongab Long   1 temp\n"
                             "\n"
                             "mrat  Mixing     1 mrat:g/kg\n";
    auto shown = [](const zeqtest::ChildResult &r) {
        std::string names;
        for (const char *n : {"Temperature", "Hidden", "Dew point", "Humidity", "Odd", "Long", "Mixing"})
            if (r.out.find(n) != std::string::npos) names += std::string(n) + ";";
        return names;
    };
    auto r = run_menu(file, "2\n");
    EXPECT_EQ(shown(r), "Temperature;Mixing;");
    EXPECT_EQ(r.status, 101);
    EXPECT_NE(r.out.find("ANSWER:mrat\n"), std::string::npos);
    r = run_menu(file, "2\n", [] {
        VAR_set_model_str("eta");
        VAR_set_time_str("12");
        VAR_set_level_str("700mb");
    });
    EXPECT_EQ(shown(r), "Temperature;Dew point;Humidity;Mixing;");
    EXPECT_NE(r.out.find("ANSWER:dewp\n"), std::string::npos);
    r = run_menu(file, "2\n", [] {
        VAR_set_model_str("eta");
        VAR_set_time_str("6");
    });
    EXPECT_EQ(shown(r), "Temperature;Mixing;");
    // return, exit and free text
    EXPECT_EQ(run_menu(file, "0\n").status, 100);
    EXPECT_EQ(run_menu(file, "back\n").status, 100);
    EXPECT_EQ(run_menu(file, "-1\n").status, 99);
    r = run_menu(file, "sum(a,b)\n");
    EXPECT_EQ(r.status, (100 - 9999) & 0xFF);
    EXPECT_NE(r.out.find("ANSWER:sum(a,b)\n"), std::string::npos);
}

TEST(VariableMenu, ListAsksAgain) {
    const auto r = run_menu("dewp Dew_point 1 dewp\ntemp Temperature 0 temp\n", "LIST\n1\n");
    EXPECT_EQ(r.status, 101);
    const std::size_t listing = r.out.find(" Abbr    Description\n"
                                           "dewp     Dew_point                                         \n"
                                           "temp     Temperature                                       \n");
    ASSERT_NE(listing, std::string::npos) << r.out;
    // the menu shows the description with blanks, and again after the listing
    EXPECT_NE(r.out.find("  1: Dew point"), std::string::npos);
    EXPECT_NE(r.out.find("  1: Dew point", listing), std::string::npos);
}

TEST(VariableMenu, HoldsFortyNineRows) {
    std::string file;
    for (int i = 1; i <= 60; ++i)
        file += "v" + std::to_string(i) + " Var_" + std::to_string(i) + " 1 temp\n";
    auto r = run_menu(file, "49\n");
    EXPECT_EQ(r.status, 101);
    EXPECT_NE(r.out.find("ANSWER:v49\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Var 50"), std::string::npos);
    r = run_menu(file, "50\n");
    EXPECT_EQ(r.status, (100 - 9999) & 0xFF);
}

TEST(VariableMenu, BatchTakesTheFirstVariable) {
    auto batch = [] { FLAG_set_batch(1); };
    auto r = run_menu("a A 0 temp\nb B 1 dewp\n", "", batch);
    EXPECT_EQ(r.status, 101);
    EXPECT_NE(r.out.find("ANSWER:b\n"), std::string::npos);
    r = run_menu("a A 0 temp\n", "", batch);
    EXPECT_EQ(r.status, 101);
    EXPECT_NE(r.out.find("ANSWER:def\n"), std::string::npos);
}

TEST(DefinitionFile, OpeningAndSearching) {
    zeqtest::TempDir empty;
    const auto r = zeqtest::run_child([&] {
        int bad = 0;
        // without file_path a file missing here comes from the data directory
        if (chdir(empty.path().c_str()) != 0) return 99;
        if (VAR_open_file("tarnisk.var") != 1) bad |= 1;
        char name[12];
        if (VAR_search_name_file("TEMP", name, sizeof name) != 1 || std::string(name) != "Temperature")
            bad |= 2;
        if (VAR_search_name_file("tempf", name, 8) != 1 || std::string(name) != "Tempera") bad |= 4;
        if (VAR_search_name_file("nosuch", name, sizeof name) != 0) bad |= 8;
        // along file_path only that directory counts
        RES_put("file_path", empty.path().c_str());
        if (VAR_open_file("tarnisk.var") != 0) bad |= 16;
        if (VAR_search_name_file("temp", name, sizeof name) != 0) bad |= 32;
        if (VAR_read_menu() != 0 || VAR_print_file() != -1) bad |= 64;
        // a stream that cannot be read again from its start is refused
        if (VAR_open_file("-") != 0) bad |= 128;
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("VAR_open_file: Unable to open var file: " + empty.path() + "/tarnisk.var\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("VAR_open_file: Unable to open var file: -\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(DefinitionFile, MenuWithoutAFileHoldsOnlyItsReturnRow) {
    const auto r = zeqtest::run_child(
        [] {
            DefFile f("temp Temperature 1 temp\n");
            VAR_open_file("test.var");
            VAR_read_menu();
            VAR_open_file("missing.var");
            VAR_read_menu();
            char answer[20] = "";
            return VAR_menu("Variables", "Pick: ", answer, 3) + 100;
        },
        {"1\n"});
    EXPECT_EQ(r.status, (100 - 9999) & 0xFF);
    EXPECT_EQ(r.out.find("Temperature"), std::string::npos);
}

// Every line of the shipped definition file is offered and parses into a
// list whose first entry names a quantity of the parameter table or a
// function, group or vector.
TEST(DefinitionFile, ShippedFileParses) {
    use_tables();
    RES_put("file_path", nullptr);
    ASSERT_EQ(VAR_open_file(std::string(kDataDir).append("/tarnisk.var").c_str()), 1);
    FILE *f = std::fopen((std::string(kDataDir) + "/tarnisk.var").c_str(), "r");
    ASSERT_NE(f, nullptr);
    char line[200];
    int lines = 0;
    while (std::fgets(line, sizeof line, f)) {
        char abbr[20];
        if (line[0] == ' ' || std::sscanf(line, "%19s", abbr) != 1) continue;
        ++lines;
        SCOPED_TRACE(abbr);
        char desc[40];
        EXPECT_EQ(VAR_search_name_file(abbr, desc, sizeof desc), 1);
        EXPECT_LE(std::strlen(abbr), 8u);
        EXPECT_EQ(VAR_setup(nullptr, abbr), 1);
        for (int i = 0; i < VAR_get_num(); ++i) {
            const VAR_data *v = VAR_get_var(i);
            const int kind = v->flag % 10;
            if (kind == 0 || kind == 1) {
                EXPECT_GT(v->var[0], 0) << v->name;
            }
            EXPECT_NE(v->type, MISSING) << v->name;
        }
    }
    fclose(f);
    EXPECT_GE(lines, 20);
    const auto r = zeqtest::run_child(
        [] {
            use_tables();
            VAR_open_file(ZEQ_SOURCE_DIR "/data/tarnisk.var");
            VAR_read_menu();
            char answer[20] = "";
            VAR_menu("Variables", "Pick: ", answer, 3);
            return 0;
        },
        {"0\n"});
    EXPECT_NE(r.out.find("  1: Temperature"), std::string::npos) << r.out;
}

} // namespace
