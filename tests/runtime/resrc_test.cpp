// Resource store, conversions, option table and resolution from the
// environment, the command line and loop windows on the search path.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fields/region.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/mqueue.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/zeq.h"
#include "support/child.h"
#include "support/loop_peer.h"

namespace {

// The surface program's resource list.
const res_type program_keys[] = {
    RES_help,        RES_batch,       RES_message,     RES_file_path,   RES_data_path,    RES_con_path,
    RES_grid_path,   RES_raw_path,    RES_image_path,  RES_watch_path,  RES_text_path,    RES_model_path,
    RES_sat_path,    RES_city_file,   RES_map_file,    RES_name_conv,   RES_in_file,      RES_out_file,
    RES_file_param,  RES_current,     RES_hour,        RES_num_hour,    RES_identifier,   RES_plot_domain,
    RES_grid_domain, RES_region,      RES_stat_prior,  RES_variable,    RES_object_param, RES_plot_type,
    RES_plot_scale,  RES_plot_format, RES_plot_param,  RES_draw,        RES_label,        RES_con_interval,
    RES_con_base,    RES_font_list,   RES_color_table, RES_color_text,  RES_color_data,   RES_color_map,
    RES_color_grid,  RES_color_line,  RES_color_front, RES_color_wind,  RES_color_cloud,  RES_color_wx,
    RES_color_cmap,  RES_color_cont,  RES_color_fill,  RES_color_label, RES_color_clabel, RES_device,
    RES_title,       RES_icon,        RES_background,  RES_geometry,    RES_null,
};
const res_type program_pos[] = {RES_filenames, RES_null};

// Runs the resolution for a command line (argv[0] is "/usr/bin/tarnisk").
class CommandLine {
public:
    explicit CommandLine(std::vector<std::string> args) : args_(std::move(args)) {
        args_.insert(args_.begin(), "/usr/bin/tarnisk");
        for (auto &a : args_)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
    }
    int init(const res_type *keys = program_keys, const res_type *pos = program_pos) {
        return RES_init(static_cast<int>(args_.size()), argv_.data(), keys, pos);
    }

private:
    std::vector<std::string> args_;
    std::vector<char *> argv_;
};

const char *const ABSENT = nullptr;

// ---- Store -----------------------------------------------------------------

TEST(ResourceStore, NamesAreExactAndAValueMayBeAbsent) {
    ASSERT_EQ(RES_new(MISSING, "variable", "temp", CV_string), 0);
    ASSERT_EQ(RES_new(MISSING, "icon", nullptr, CV_bool), 0);
    EXPECT_STREQ(RES_get("variable"), "temp");
    EXPECT_EQ(RES_get("Variable"), nullptr);
    EXPECT_EQ(RES_get("missing"), nullptr);
    EXPECT_STREQ(RES_get("icon"), "");

    int on = 0;
    EXPECT_EQ(RES_getval("icon", &on, CV_bool), 1);
    EXPECT_EQ(on, 1);
    int argc = 5;
    char **argv = reinterpret_cast<char **>(&argc);
    EXPECT_EQ(RES_getvals("icon", &argc, &argv), 0);
    EXPECT_EQ(argc, 0);
    EXPECT_EQ(argv, nullptr);
    EXPECT_EQ(RES_getval("missing", &on, CV_bool), 0);
    EXPECT_EQ(RES_getval("variable", nullptr, CV_string), 0);
}

TEST(ResourceStore, ReplacingKeepsOrderAndListPrintsEveryResource) {
    RES_put("a", "1");
    RES_put("b", nullptr);
    RES_put("c", "3");
    RES_put("a", "one");
    testing::internal::CaptureStdout();
    RES_list();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "a: one\nb:\nc: 3\n");
}

TEST(ResourceStore, AppendJoinsWithNewlines) {
    RES_append(MISSING, "x", "a", CV_strings);
    RES_append(MISSING, "x", "b", CV_string);
    RES_append(MISSING, "x", nullptr, CV_string);
    EXPECT_STREQ(RES_get("x"), "a\nb");
    RES_new(MISSING, "y", nullptr, CV_string);
    RES_append(MISSING, "y", "b", CV_string);
    EXPECT_STREQ(RES_get("y"), "b");

    // The kind of the first creation stays: the value splits at newlines.
    int argc = 0;
    char **argv = nullptr;
    ASSERT_EQ(RES_getvals("x", &argc, &argv), 2);
    EXPECT_STREQ(argv[0], "a");
    EXPECT_STREQ(argv[1], "b");
    free_parsed_array(argc, argv);
}

TEST(ResourceStore, ListsSplitAtCommasUnlessKindIsStrings) {
    RES_put("list", "a,,b,");
    RES_new(MISSING, "lines", "a,b\nc", CV_strings);
    int argc = 0;
    char **argv = nullptr;
    ASSERT_EQ(RES_getvals("list", &argc, &argv), 3);
    EXPECT_STREQ(argv[1], "");
    EXPECT_STREQ(argv[2], "b");
    free_parsed_array(argc, argv);
    ASSERT_EQ(RES_getvals("lines", &argc, &argv), 2);
    EXPECT_STREQ(argv[0], "a,b");
    free_parsed_array(argc, argv);
}

TEST(ResourceStore, ValueHandedOutStaysValidUntilReplaced) {
    RES_put("v", "first");
    const char *p = RES_get("v");
    for (int i = 0; i < 200; ++i)
        RES_put(("other" + std::to_string(i)).c_str(), "x");
    EXPECT_STREQ(p, "first");
}

// ---- Conversions -----------------------------------------------------------

TEST(Conversion, IntegerKinds) {
    struct Case {
        DEF_convert cvt;
        const char *value;
        long expect; // the target starts at 77
    };
    const Case cases[] = {
        {CV_int, "0x1F", 31},
        {CV_int, "0X10", 16},
        {CV_int, "-12", -12},
        {CV_int, "+7", 7},
        {CV_int, "12abc", 12},
        {CV_int, "x", 77},
        {CV_int, " 5", 77},
        {CV_int, "-", 77},
        {CV_int, "-x5", 77},
        {CV_int, "99999999999", 77}, // out of range: unchanged
        {CV_int, "-2147483649", 77},
        {CV_int, "-2147483648", -2147483648L},
        {CV_short, "42", 42},
        {CV_short, "-5", 77},
        {CV_short, "a", 77},
        {CV_short, "32768", 77},
        {CV_long, "123456789012", 123456789012L},
        {CV_long, "99999999999999999999", 77},
        {CV_long, "-3", 77},
        {CV_color, "12,3", 12},
        {CV_color, "99999999999999999999", 77},
        {CV_color, "red", 0},
        {CV_color, "-4", -4},
        {CV_bool, "Yes", 1},
        {CV_bool, "TRUE", 1},
        {CV_bool, "on", 1},
        {CV_bool, "no", 0},
        {CV_bool, "Off", 0},
        {CV_bool, "false", 0},
        {CV_bool, "maybe", 77},
        {CV_bool, nullptr, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.value ? c.value : "(null)") + " kind " + std::to_string(c.cvt));
        long got;
        if (c.cvt == CV_short) {
            std::int16_t s = 77;
            EXPECT_EQ(RES_conv_data(c.value, &s, c.cvt), 1);
            got = s;
        } else if (c.cvt == CV_long || c.cvt == CV_color) {
            long l = 77;
            EXPECT_EQ(RES_conv_data(c.value, &l, c.cvt), 1);
            got = l;
        } else {
            int i = 77;
            EXPECT_EQ(RES_conv_data(c.value, &i, c.cvt), 1);
            got = i;
        }
        EXPECT_EQ(got, c.expect);
    }
}

TEST(Conversion, FloatTakesTheLeadingDecimalNumber) {
    const std::pair<const char *, float> cases[] = {
        {"2.5", 2.5f}, {"-1e2", -100.0f}, {"4abc", 4.0f}, {".5", 0.5f}, {" 3", 3.0f},
        {"abc", 0.0f}, {"0x10", 0.0f},    {"inf", 0.0f},  {"1e", 1.0f}, {"", 0.0f},
    };
    for (const auto &[value, expect] : cases) {
        SCOPED_TRACE(value);
        float f = 77.0f;
        EXPECT_EQ(RES_conv_data(value, &f, CV_float), 1);
        EXPECT_FLOAT_EQ(f, expect);
    }
}

TEST(Conversion, TextKinds) {
    const char *value = "some text";
    const char *p = nullptr;
    EXPECT_EQ(RES_conv_data(value, &p, CV_string), 1);
    EXPECT_EQ(p, value);

    // A copy into a fixed buffer is cut to the buffer.
    std::string longer(300, 'x');
    char buf[RES_STRCPY_SIZE + 8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(RES_conv_data(longer.c_str(), buf, CV_strcpy), 1);
    EXPECT_EQ(std::strlen(buf), static_cast<std::size_t>(RES_STRCPY_SIZE - 1));
    EXPECT_EQ(buf[RES_STRCPY_SIZE], '#');

    const std::pair<const char *, const char *> paths[] = {
        {"/tmp", "/tmp/"}, {"/tmp/", "/tmp/"}, {"NONE", ""}, {"none", ""}, {"rel/dir", "rel/dir/"}};
    for (const auto &[in, out] : paths) {
        char *path = nullptr;
        EXPECT_EQ(RES_conv_data(in, &path, CV_path), 1);
        ASSERT_NE(path, nullptr);
        EXPECT_STREQ(path, out);
        std::free(path);
    }
}

TEST(Conversion, NullValueOrTargetIsRefused) {
    int i = 5;
    EXPECT_EQ(RES_conv_data(nullptr, &i, CV_int), 0);
    EXPECT_EQ(RES_conv_data("7", nullptr, CV_int), 0);
    EXPECT_EQ(RES_conv_data("7", nullptr, CV_string), 0);
    EXPECT_EQ(RES_conv_data(nullptr, nullptr, CV_bool), 0);
    EXPECT_EQ(i, 5);
    // Kinds read by name elsewhere do nothing here.
    for (DEF_convert cvt : {CV_none, CV_current, CV_name, CV_ingestor, CV_strings}) {
        i = 5;
        EXPECT_EQ(RES_conv_data("7", &i, cvt), 1);
        EXPECT_EQ(i, 5);
    }
}

TEST(Conversion, DomainKindsGoThroughTheRegisteredDecoder) {
    Domain d{};
    d.proj = 77;
    // Without a decoder the target stays as it was.
    EXPECT_EQ(RES_conv_data("ps,40,-100", &d, CV_domain), 1);
    EXPECT_EQ(d.proj, 77);

    RES_set_domain_decoder(DOM_decode);
    for (DEF_convert cvt : {CV_domain, CV_region}) {
        Domain expect{}, got{};
        DOM_init(&expect);
        DOM_init(&got);
        DOM_decode("ps,40,-100", &expect);
        EXPECT_EQ(RES_conv_data("ps,40,-100", &got, cvt), 1);
        EXPECT_TRUE(DOM_comp(&got, &expect));
        EXPECT_EQ(got.proj, 1);
    }
    RES_set_domain_decoder(nullptr);
}

TEST(Conversion, FlagKinds) {
    struct Case {
        DEF_convert cvt;
        const char *value;
        int slot;
        int expect;
    };
    const Case cases[] = {
        {CV_file_param, "use", 15, 3},
        {CV_file_param, "OVER", 15, 1},
        {CV_file_param, "calc", 15, 1},
        {CV_file_param, "reuse", 15, 3},
        {CV_file_param, "recalc", 15, 1},
        {CV_file_param, "app", 15, 2},
        {CV_file_param, "append", 15, MISSING},
        {CV_plot_type, "raw", 11, 0},
        {CV_plot_type, "none", 11, 99},
        {CV_plot_type, "value", 11, 17},
        {CV_plot_type, "gvalue", 11, 17},
        {CV_plot_type, "CF", 11, 15},
        {CV_plot_type, "lcf", 11, 16},
        {CV_plot_type, "ln", 11, 12},
        {CV_plot_type, "dln", 11, 13},
        {CV_plot_type, "ndln", 11, 14},
        {CV_plot_type, "vect", 11, 21},
        {CV_plot_type, "barb", 11, 22},
        {CV_plot_type, "strm", 11, 23},
        {CV_plot_type, "stream", 11, 23},
        {CV_plot_type, "an", 11, 54},
        {CV_plot_type, "number", 11, 54},
        {CV_plot_type, "pm", 11, 55},
        {CV_plot_type, "skewt", 11, 62},
        {CV_plot_type, "ema", 11, 63},
        {CV_plot_type, "teph", 11, 64},
        {CV_plot_type, "rteph", 11, 65},
        {CV_plot_type, "stuve", 11, 61},
        {CV_plot_type, "hodo", 11, 69},
        {CV_plot_type, "contour", 11, MISSING},
        {CV_device, "p,out.ps", 2, 4},
        {CV_device, "Q", 2, 5},
        {CV_device, "hpgl", 2, 5},
        {CV_device, "m", 2, 3},
        {CV_device, "w,123", 2, 6},
        {CV_device, "d", 2, 1},
        {CV_device, "", 2, 1},
        {CV_help, nullptr, 20, 1},
        {CV_help, "no", 20, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.value ? c.value : "(null)") + " kind " + std::to_string(c.cvt));
        FLAG_reset(MISSING);
        const char *target = "unchanged";
        EXPECT_EQ(RES_conv_data(c.value, &target, c.cvt), 1);
        EXPECT_EQ(FLAG_get(c.slot), c.expect);
    }
}

TEST(Conversion, DeviceNamePointsAfterTheFirstComma) {
    const char *value = "p,out.ps,x";
    const char *name = "unchanged";
    RES_conv_data(value, &name, CV_device);
    EXPECT_EQ(name, value + 2);
    name = "unchanged";
    RES_conv_data("p", &name, CV_device);
    EXPECT_STREQ(name, "unchanged");
}

TEST(Conversion, HourForms) {
    struct Case {
        const char *value;
        int year, month, day, hour, min;
    };
    const int M = MISSING;
    const Case cases[] = {
        {"#2004031518", 2004, 3, 15, 18, M},
        {"#200403151830", 2004, 3, 15, 18, 30},
        {"#2004", 2004, M, M, M, M},
        {"061512", M, 6, 15, 12, M},
        {"0612", M, M, 6, 12, M},
        {"512", M, M, 5, 12, M},
        {"2d6:30", M, M, 2, 6, 30},
        {":30", M, M, M, M, 30},
        {"-:30", M, M, M, M, -30},
        {"-3:30", M, M, M, -3, 30},
        {"12", M, M, M, 12, M},
        {"-0:30", M, M, M, M, -30},
        {"6:15", M, M, M, 6, 15},
        {"x", M, M, M, M, M},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(RES_conv_data(c.value, nullptr, CV_hour), 1);
        Date d{};
        FILE_get_time(&d);
        EXPECT_EQ(d.year, c.year);
        EXPECT_EQ(d.month, c.month);
        EXPECT_EQ(d.day, c.day);
        EXPECT_EQ(d.hour, c.hour);
        EXPECT_EQ(d.min, c.min);
        EXPECT_EQ(d.sec, M);
    }
}

// A number its kind cannot hold, or an hour beyond the day, is not used: the
// target (or the file time) stays as it was and the warning names the
// resource when the conversion knows it.
TEST(Conversion, ValuesOutOfRangeAreRefusedByName) {
    const char *hours[] = {"-2400",  "-100",        "-2147483648", "24",   "12:60", "2d25:00",
                           "139912", "#2004130100", "-25",         ":-61", "-6100"};
    for (const char *value : hours) {
        SCOPED_TRACE(value);
        const Date before{2001, 2, 3, MISSING, MISSING, 4, 5, MISSING};
        FILE_set_time(&before);
        testing::internal::CaptureStderr();
        RES_conv_data(value, nullptr, CV_hour);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("RES_conv_data: resource: value out of range, not used: ") + value + "\n");
        Date d{};
        FILE_get_time(&d);
        EXPECT_EQ(d.hour, 4);
        EXPECT_EQ(d.min, 5);
    }
    // Steps whose hours stay within the day are taken.
    for (const char *value : {"-3", "-106", "-24", "-1012", "23:59", "-:60"}) {
        SCOPED_TRACE(value);
        testing::internal::CaptureStderr();
        RES_conv_data(value, nullptr, CV_hour);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }

    RES_put("plot_scale", "1e99");
    float scale = 2.0f;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RES_getval("plot_scale", &scale, CV_float), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "RES_conv_data: plot_scale: value out of range, not used: 1e99\n");
    EXPECT_EQ(scale, 2.0f);

    CommandLine cl({"-ho", "-2147483648"});
    testing::internal::CaptureStderr();
    cl.init();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "RES_conv_data: hour: value out of range, not used: -2147483648\n");
    Date d{};
    FILE_get_time(&d);
    EXPECT_EQ(d.hour, MISSING);
}

TEST(Conversion, DrawSetsPlotSwitches) {
    EXPECT_EQ(RES_conv_data("data,map", nullptr, CV_draw), 1);
    EXPECT_EQ(FLAG_getplot(7), 1);
    EXPECT_EQ(FLAG_getplot(8), 1);
    EXPECT_EQ(FLAG_getplot(1), 0);
    EXPECT_EQ(FLAG_getplot(11), 0);
    EXPECT_EQ(FLAG_getplot(12), 2);
}

TEST(Conversion, MessageAndBatchKinds) {
    EXPECT_EQ(RES_conv_data("mess", nullptr, CV_mess), 1);
    EXPECT_EQ(MESS_get(), 0xFFFu);
    // The level was set explicitly, so batch mode leaves it.
    EXPECT_EQ(RES_conv_data(nullptr, nullptr, CV_batch), 1);
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(MESS_get(), 0xFFFu);
}

TEST(Conversion, BatchLowersAnUnsetMessageLevel) {
    EXPECT_EQ(RES_conv_data("no", nullptr, CV_batch), 1);
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(MESS_get(), 0xFFu);
}

TEST(OptionTable, DeviceNamesByFirstLetter) {
    const std::pair<const char *, int> cases[] = {{"Post", 4}, {"hp", 5}, {"q", 5}, {"meta", 3},
                                                  {"win", 6},  {"x", 1},  {"", 1}};
    for (const auto &[name, type] : cases)
        EXPECT_EQ(RES_set_device(name), type) << name;
    EXPECT_EQ(RES_set_device(nullptr), 1);
}

TEST(OptionTable, KeysWithoutRowPrintTheirNumberAndAreSkipped) {
    RES_defobj obj;
    testing::internal::CaptureStdout();
    EXPECT_EQ(RES_enter(&obj, RES_default), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "43\n");
    EXPECT_STREQ(obj.def, "");

    EXPECT_EQ(RES_enter(&obj, RES_in_files), 1);
    EXPECT_STREQ(obj.def, "in_file");
    EXPECT_STREQ(obj.env, "zeqinfile");
    EXPECT_STREQ(obj.cmd, "if");
    EXPECT_EQ(obj.cvt, CV_string);
    EXPECT_EQ(RES_enter(&obj, RES_filenames), 1);
    EXPECT_EQ(obj.cmd, nullptr);
    EXPECT_EQ(obj.slot, RES_SLOT_ALL);
    EXPECT_EQ(obj.cvt, CV_strings);

    // A row without a name takes part in nothing: "-default" is no option.
    const res_type keys[] = {RES_variable, RES_default, RES_null};
    CommandLine cl({"-va", "t"});
    testing::internal::CaptureStdout();
    EXPECT_EQ(cl.init(keys, nullptr), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "43\n");
    EXPECT_STREQ(RES_get("variable"), "t");
}

TEST(OptionTable, TooManyKeysAreRefused) {
    std::vector<res_type> keys(RES_MAX_ROWS, RES_variable);
    keys.push_back(RES_filenames);
    keys.push_back(RES_null);
    CommandLine cl({"-va", "t"});
    testing::internal::CaptureStderr();
    EXPECT_EQ(cl.init(keys.data(), nullptr), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("RES_init: Too many resources"), std::string::npos);
    EXPECT_EQ(RES_get("variable"), nullptr);

    // Exactly the table's size is accepted.
    keys.resize(RES_MAX_ROWS);
    keys.push_back(RES_null);
    EXPECT_EQ(cl.init(keys.data(), nullptr), 1);
    EXPECT_STREQ(RES_get("variable"), "t");
}

TEST(ProgramName, BaseNameIsCopiedWithinTheBuffer) {
    CommandLine cl({});
    cl.init();
    EXPECT_STREQ(RES_get_prog(), "/usr/bin/tarnisk");
    char small[4];
    EXPECT_STREQ(RES_get_progname(small, sizeof small), "tar");
    const char *copy = RES_get_progname(nullptr, 0);
    EXPECT_STREQ(copy, "tarnisk");
    std::free(const_cast<char *>(copy));
}

// ---- Resolution: the command-line grammar and the environment ----------------

struct Expect {
    Expect(std::string n, const char *v)
        : name(std::move(n)), value(v ? std::optional<std::string>(v) : std::nullopt) {}
    Expect(std::string n, std::string v) : name(std::move(n)), value(std::move(v)) {}
    std::string name;
    std::optional<std::string> value; // none: no such resource; "" also for a resource without value
};

struct GrammarCase {
    const char *label;
    std::vector<std::string> args;
    std::vector<std::pair<const char *, std::string>> env;
    std::vector<Expect> expect;
};

std::ostream &operator<<(std::ostream &os, const GrammarCase &c) {
    return os << c.label;
}

class Grammar : public testing::TestWithParam<GrammarCase> {};

TEST_P(Grammar, Resolves) {
    const GrammarCase &c = GetParam();
    for (const auto &[name, value] : c.env)
        setenv(name, value.c_str(), 1);
    CommandLine cl(c.args);
    ASSERT_EQ(cl.init(), 1);
    for (const Expect &e : c.expect) {
        SCOPED_TRACE(e.name);
        if (!e.value)
            EXPECT_EQ(RES_get(e.name.c_str()), nullptr);
        else
            EXPECT_STREQ(RES_get(e.name.c_str()), e.value->c_str());
    }
}

const std::string long_name(60, 'q');
const std::string long_value(300, 'v');

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Grammar,
    testing::Values(
        GrammarCase{"Abbreviation", {"-va", "temp"}, {}, {{"variable", "temp"}}},
        GrammarCase{"FullNameAnyCase", {"-VARIABLE", "temp"}, {}, {{"variable", "temp"}}},
        GrammarCase{"TwoDashesAndEquals", {"--variable=temp"}, {}, {{"variable", "temp"}}},
        GrammarCase{"ValueKeepsLaterEquals", {"-variable=a=b"}, {}, {{"variable", "a=b"}}},
        GrammarCase{"PrefixInListOrder", {"-co", "x"}, {}, {{"con_path", "x"}, {"co", ABSENT}}},
        GrammarCase{"PrefixPicksFirstOfTheList",
                    {"-t", "x", "-color", "y", "-g", "z"},
                    {},
                    {{"text_path", "x"}, {"color_table", "y"}, {"grid_path", "z"}}},
        GrammarCase{"AbbreviationBeforeName", {"-in", "5"}, {}, {{"con_interval", "5"}, {"input", ABSENT}}},
        GrammarCase{"UnmatchedBecomesAdHoc",
                    {"-input", "front", "-Foo=1"},
                    {},
                    {{"input", "front"}, {"Foo", "1"}, {"foo", ABSENT}}},
        GrammarCase{"NegativeNumberIsAValue", {"-va", "-5"}, {}, {{"variable", "-5"}}},
        GrammarCase{"OptionIsNoValue", {"-va", "-x"}, {}, {{"variable", ""}, {"x", ""}}},
        GrammarCase{"LastOptionWithoutValue", {"-va"}, {}, {{"variable", ""}}},
        GrammarCase{"HelpTakesNoValue", {"-h", "file.sfc"}, {}, {{"help", ""}, {"filename", "file.sfc"}}},
        GrammarCase{"BoolTakesNoValue",
                    {"-ic", "a", "-ba", "b"},
                    {},
                    {{"icon", ""}, {"batch", ""}, {"filename", "a\nb"}}},
        GrammarCase{"BoolWithEquals", {"-ic=no"}, {}, {{"icon", "no"}}},
        GrammarCase{"LaterOptionWins",
                    {"-va", "a", "-variable", "b", "-x=1", "-x=2"},
                    {},
                    {{"variable", "b"}, {"x", "2"}}},
        GrammarCase{"PositionalsAllKept",
                    {"a.sfc", "-va", "t", "b.sfc", "c.sfc"},
                    {},
                    {{"filename", "a.sfc\nb.sfc\nc.sfc"}}},
        GrammarCase{"DoubleDashIgnoredLoneDashPositional",
                    {"--", "-", "--5", "-3"},
                    {},
                    {{"filename", "-\n--5\n-3"}}},
        GrammarCase{"NameSetsTitle", {"-name", "plot2"}, {}, {{"name", "plot2"}, {"filename", ABSENT}}},
        GrammarCase{"NamePrefixSetsTitle", {"-n", "plot3"}, {}, {{"name", "plot3"}, {"name_conv", ABSENT}}},
        GrammarCase{
            "DoubleDashNameDoesNothing", {"--name", "plot2"}, {}, {{"name", ABSENT}, {"filename", ABSENT}}},
        GrammarCase{"SearchPath", {"-df", "/x"}, {}, {{"default", "/x"}, {"filename", ABSENT}}},
        GrammarCase{"SearchPathLongForm", {"-default=/y", "-dfile", "/z"}, {}, {{"default", "/z"}}},
        GrammarCase{
            "SearchPathUpperCaseIgnored",
            {"-DF", "dir", "-Name", "t"},
            {},
            {{"default", ABSENT}, {"filename", ABSENT}, {"DF", ABSENT}, {"name", ABSENT}, {"Name", ABSENT}}},
        GrammarCase{"SearchPathFromEnvironment", {}, {{"zeqdefault", "/env"}}, {{"default", "/env"}}},
        GrammarCase{
            "SearchPathOptionOverEnvironment", {"-df", "/x"}, {{"zeqdefault", "/env"}}, {{"default", "/x"}}},
        GrammarCase{"SearchPathIsKeptAsGiven", {"-df", "#0:.:+night"}, {}, {{"default", "#0:.:+night"}}},
        GrammarCase{"LongOptionNameIsCut", {"-" + long_name + "=1"}, {}, {{long_name.substr(0, 49), "1"}}},
        GrammarCase{"RowVariable", {}, {{"zeqvar", "row"}, {"zeqvariable", "plain"}}, {{"variable", "row"}}},
        GrammarCase{"PlainVariable", {}, {{"zeqvariable", "plain"}}, {{"variable", "plain"}}},
        GrammarCase{"ProgramScopedVariable",
                    {},
                    {{"zeqtarnisk.variable", "scoped"}, {"zeqvar", "row"}, {"zeqvariable", "plain"}},
                    {{"variable", "scoped"}}},
        GrammarCase{"TitleReplacesProgram",
                    {"-name", "plot2"},
                    {{"zeqplot2.variable", "titled"}, {"zeqtarnisk.variable", "scoped"}},
                    {{"variable", "titled"}}},
        GrammarCase{"PlusTitleScopesProgram",
                    {"-name", "+night"},
                    {{"zeqtarnisk.night.variable", "night"}, {"zeqtarnisk.variable", "scoped"}},
                    {{"variable", "night"}}},
        GrammarCase{"CommandLineOverEnvironment", {"-va", "cmd"}, {{"zeqvar", "env"}}, {{"variable", "cmd"}}},
        GrammarCase{
            "PositionalOverEnvironment", {"x.sfc"}, {{"zeqfilename", "env.sfc"}}, {{"filename", "x.sfc"}}},
        GrammarCase{"EnvironmentValueIsCut",
                    {},
                    {{"zeqvariable", long_value}},
                    {{"variable", long_value.substr(0, 207)}}},
        GrammarCase{"EnvironmentOnlyForRows", {}, {{"zeqinput", "front"}}, {{"input", ABSENT}}}),
    [](const testing::TestParamInfo<GrammarCase> &info) { return std::string(info.param.label); });

TEST(Resolution, RowTargetsAreFilledAtTheEnd) {
    int count = 0;
    char **files = nullptr;
    int nfiles = -1;
    RES_defobj table[3];
    RES_fill_obj(&table[0], "count", "zeqcount", "ct", 0, CV_int, &count, nullptr);
    RES_fill_obj(&table[1], "files", "zeqfiles", nullptr, RES_SLOT_ALL, CV_strings, &files, &nfiles);
    RES_fill_obj(&table[2], nullptr, nullptr, nullptr, 0, CV_none, nullptr, nullptr);
    char *argv[] = {const_cast<char *>("prog"), const_cast<char *>("a"), const_cast<char *>("-ct"),
                    const_cast<char *>("0x10"), const_cast<char *>("b"), nullptr};
    EXPECT_EQ(RES_decode(5, argv, table), 0);
    EXPECT_EQ(count, 16);
    ASSERT_EQ(nfiles, 2);
    EXPECT_STREQ(files[0], "a");
    EXPECT_STREQ(files[1], "b");
    free_parsed_array(nfiles, files);
}

TEST(Resolution, SettingsThatActAtOnce) {
    CommandLine cl({"-pl", "cf", "-pf", "app", "-batch=no", "-dr", "data,map", "-ho", "061512"});
    cl.init();
    EXPECT_EQ(FLAG_get(11), 15);
    EXPECT_EQ(FLAG_get(15), 2);
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(FLAG_help(), 0);
    EXPECT_EQ(FLAG_getplot(12), 2);
    Date d{};
    FILE_get_time(&d);
    EXPECT_EQ(d.month, 6);
    EXPECT_EQ(d.day, 15);
    EXPECT_EQ(d.hour, 12);
    // Every other slot is reset to missing.
    EXPECT_EQ(FLAG_get(14), MISSING);
}

TEST(Resolution, HelpFlag) {
    CommandLine cl({"-h"});
    cl.init();
    EXPECT_EQ(FLAG_help(), 1);
    EXPECT_EQ(FLAG_batch(), 0);
}

TEST(Resolution, BatchAloneLowersTheLevel) {
    CommandLine cl({"-ba"});
    cl.init();
    EXPECT_EQ(MESS_get(), 0xFFu);
}

TEST(Resolution, MessageAfterBatchDecidesTheLevel) {
    CommandLine cl({"-ba", "-me", "out1"});
    cl.init();
    EXPECT_EQ(MESS_get(), 0xFFFFu);
}

TEST(Resolution, MessageBeforeBatchKeepsItsLevel) {
    CommandLine cl({"-me", "out1", "-ba"});
    cl.init();
    EXPECT_EQ(MESS_get(), 0xFFFFu);
}

TEST(Resolution, LabelTimeZoneFromEnvironment) {
    setenv("zeqtz", "EST:-5", 1);
    CommandLine cl({});
    cl.init();
    EXPECT_EQ(DATE_get_tz_off(), -5 * 3600);
    EXPECT_STREQ(DATE_get_tz_str(), " EST");
}

// ---- Resolution: loop windows on the search path ----------------------------

// Window numbers of this test run (queue keys above a key offset of its own,
// removed at the end), and the transport: 0 message queue, 1 socket.
class LoopWindow : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        base = zeqtest::queue_base();
        MQ_offset(base);
        MQ_settype(GetParam());
    }
    void TearDown() override { zeqtest::remove_queues(base); }

    // Starts the Python peer as window 1 with the peer options `args`.
    std::string start_peer(zeqtest::LoopPeer &peer, const std::string &args) {
        std::string where = GetParam() == 1 ? "--port 0 " : "--queue " + std::to_string(base + 1) + " ";
        std::string why = peer.start(where + args);
        if (why.empty() && GetParam() == 1) MQ_offset(peer.port() - 1);
        return why;
    }

    // Makes window 1 a socket port that is free.
    void free_socket_window() {
        base = zeqtest::free_port() - 1;
        MQ_offset(base);
    }

    int base = 0;
};

TEST_P(LoopWindow, MissingWindowIsReportedAndResolutionGoesOn) {
    if (GetParam() == 1) free_socket_window();
    CommandLine cl({"-df", "#1", "-va", "t"});
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    cl.init();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ZEQloop window: 1 not running or no message queue exists\n");
    EXPECT_STREQ(RES_get("variable"), "t");
}

TEST_P(LoopWindow, AnswersSetResourcesAndTheCommandLineIsSentBack) {
    zeqtest::TempDir dir;
    zeqtest::LoopPeer peer;
    ASSERT_EQ(start_peer(peer, "--answer variable=temp --answer plot_type=cf --answer title=old --bare "
                               "region=ne --down geometry "
                               "--log " +
                                   dir.file("log")),
              "");
    CommandLine cl({"-df", "#1", "-ti", "abc", "-Foo", "1"});
    testing::internal::CaptureStderr();
    cl.init();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ZEQloop not running!\n");
    peer.wait();

    EXPECT_STREQ(RES_get("variable"), "temp") << "the answer's newline is not part of the value";
    EXPECT_EQ(FLAG_get(11), 15) << "a window's plot_type acts at once like any other";
    EXPECT_STREQ(RES_get("region"), "ne") << "an answer without a newline keeps its last character";
    EXPECT_STREQ(RES_get("title"), "abc") << "the command line comes after the window";
    EXPECT_EQ(RES_get("help"), nullptr) << "answers beginning with '!' give no value";
    EXPECT_EQ(FLAG_help(), 0);

    std::vector<std::string> log = zeqtest::lines_of(zeqtest::read_file(dir.file("log")));
    ASSERT_EQ(log.size(), 1u + 59u + 3u);
    EXPECT_EQ(log[0], "/" + std::to_string(getuid()));
    EXPECT_EQ(log[1], "3query res help");
    EXPECT_EQ(log[28], "3query res variable");
    EXPECT_EQ(log[59], "3query res filename");
    for (std::size_t i = 1; i <= 59; ++i)
        EXPECT_EQ(log[i].rfind("3query res ", 0), 0u) << log[i];
    EXPECT_EQ(log[60], "3set res title abc");
    EXPECT_EQ(log[61], "3set res Foo 1");
    EXPECT_EQ(log[62], "3quit");
}

TEST_P(LoopWindow, SilentWindowEndsTheRunWithStatus7) {
    zeqtest::TempDir dir;
    zeqtest::SocatSink sink;
    if (GetParam() == 1) {
        free_socket_window();
        ASSERT_EQ(sink.start(base + 1, dir.file("frames")), "");
        ASSERT_TRUE(zeqtest::wait_listening(base + 1)) << "socat did not listen";
    } else {
        ASSERT_GE(MQ_create(1), 0);
    }
    auto start = std::chrono::steady_clock::now();
    zeqtest::ChildResult r = zeqtest::run_child([] {
        MQ_timeout(1);
        CommandLine cl({"-df", "#1", "-va", "t"});
        cl.init();
        return 0;
    });
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, "Queue not responding!!\n");
    // Well below the 20 s default shows the 1 s time-out acted, with room
    // for a loaded machine.
    EXPECT_GT(secs, 0.8);
    EXPECT_LT(secs, 10.0);
}

TEST(LoopWindowLink, AWindowThatCannotBeOpenedIsReportedWithTheReason) {
    MQ_settype(1);
    MQ_offset(70000); // past the last port
    CommandLine cl({"-df", "#1", "-va", "t"});
    testing::internal::CaptureStderr();
    cl.init();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ZEQloop window: 1 cannot be opened: Invalid argument\n");
    EXPECT_STREQ(RES_get("variable"), "t");
}

INSTANTIATE_TEST_SUITE_P(Resolution, LoopWindow, testing::Values(0, 1),
                         [](const auto &info) { return info.param == 1 ? "Socket" : "Queue"; });

class TwoLoopWindows : public testing::Test {
protected:
    void SetUp() override {
        base = zeqtest::queue_base();
        MQ_offset(base);
    }
    void TearDown() override { zeqtest::remove_queues(base); }

    std::string start(zeqtest::LoopPeer &peer, int num, const std::string &args) {
        return peer.start("--queue " + std::to_string(base + num) + " " + args);
    }

    int base = 0;
};

TEST_F(TwoLoopWindows, TheLaterWindowWinsAndLearnsWhatItLacks) {
    zeqtest::TempDir dir;
    zeqtest::LoopPeer first, second;
    ASSERT_EQ(start(first, 1, "--answer variable=temp --answer region=east --log " + dir.file("first")), "");
    ASSERT_EQ(start(second, 2, "--answer region=west --log " + dir.file("second")), "");
    CommandLine cl({"-df", "#1:#2", "-ti", "abc"});
    testing::internal::CaptureStderr();
    cl.init();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    second.wait();
    first.stop();

    EXPECT_STREQ(RES_get("variable"), "temp");
    EXPECT_STREQ(RES_get("region"), "west");
    std::string one = zeqtest::read_file(dir.file("first"));
    std::string two = zeqtest::read_file(dir.file("second"));
    EXPECT_EQ(one.find("set res"), std::string::npos) << one;
    EXPECT_EQ(one.find("quit"), std::string::npos) << "only the window connected last is told to quit";
    EXPECT_NE(two.find("\n3set res variable temp\n"), std::string::npos) << two;
    EXPECT_EQ(two.find("set res region"), std::string::npos) << two;
    EXPECT_NE(two.find("\n3set res title abc\n3quit\n"), std::string::npos) << two;
}

TEST_F(TwoLoopWindows, AFailedLaterItemLeavesNoWindowConnected) {
    zeqtest::TempDir dir;
    zeqtest::LoopPeer first;
    ASSERT_EQ(start(first, 1, "--answer variable=temp --log " + dir.file("first")), "");
    CommandLine cl({"-df", "#1:#3", "-ti", "abc"});
    testing::internal::CaptureStderr();
    cl.init();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ZEQloop window: 3 not running or no message queue exists\n");
    first.stop();

    EXPECT_STREQ(RES_get("variable"), "temp");
    std::string one = zeqtest::read_file(dir.file("first"));
    EXPECT_EQ(one.find("set res"), std::string::npos) << one;
    EXPECT_EQ(one.find("quit"), std::string::npos) << one;
}

} // namespace
