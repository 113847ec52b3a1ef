// Point-data tools: clearing items, and value texts from formats that come
// from files and resources (only one conversion of the right kind reaches
// printf; the rest give the default and one warning).
#include "plot/raw_tool.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/zeq.h"

namespace {

TEST(Items, ClearingKeepsWhatItShould) {
    RAW_data d{};
    d.x = d.y = 1;
    d.type = 22;
    d.attr.color = 3;
    d.value[0] = d.value[1] = 5;
    std::snprintf(d.format, sizeof d.format, "ur");
    std::snprintf(d.data, sizeof d.data, "RW");
    RAW_data_init_val(&d);
    EXPECT_EQ(d.value[0], FMISSING);
    EXPECT_EQ(d.value[1], FMISSING);
    EXPECT_STREQ(d.data, "");
    EXPECT_STREQ(d.format, "ur");
    EXPECT_EQ(d.x, 1);
    RAW_data_init(&d);
    EXPECT_EQ(d.x, FMISSING);
    EXPECT_EQ(d.y, FMISSING);
    EXPECT_STREQ(d.format, "");
    EXPECT_EQ(d.attr.color, MISSING);
    EXPECT_EQ(d.attr.width, FMISSING);
    EXPECT_EQ(d.type, 22);
}

TEST(Formats, FloatAndIntTexts) {
    const struct {
        const char *format;
        float value;
        const char *text;
        int rc;
    } floats[] = {
        {nullptr, 12.5f, "12", 0},
        {"", 7.6f, "8", 0},
        {"%.1f", 12.34f, "12.3", 0},
        {"%5.1f%%", 1, "  1.0%", 0},
        {"%z.1f", 0.5f, ".5", 0},
        {"%z.1f", -0.5f, "-.5", 0},
        {"%z.1f", 12.3f, "12.3", 0},
        {"%z5.2f", 0.25f, " .25", 0},
        {"%d", 3, "3", -1},
        {"%s", 3, "3", -1},
        {"%.1f %f", 3, "3", -1},
        {"%lf", 3, "3", -1},
        {"%z", 3, "3", -1},
        {"%40.1f", 3, "3", -1},
        // Rounded as the decimal the float was read from, not its binary value
        // just below it (0.45f is 0.4499999...).
        {"%z.1f", 0.45f, ".5", 0},
        {"%z.1f", -0.45f, "-.5", 0},
        {"%.1f", 0.25f, "0.2", 0},
    };
    testing::internal::CaptureStderr();
    for (const auto &c : floats) {
        char buf[32];
        EXPECT_EQ(RAW_format_float(buf, sizeof buf, c.format, c.value, "TEST"), c.rc) << c.format;
        EXPECT_STREQ(buf, c.text) << (c.format ? c.format : "null");
    }
    const struct {
        const char *format;
        int value;
        const char *text;
        int rc;
    } ints[] = {
        {nullptr, 7, "7", 0}, {"%05d", 7, "00007", 0}, {"n=%i", -7, "n=-7", 0}, {"%f", 7, "7", -1},
        {"%#d", 7, "7", -1},  {"%ld", 7, "7", -1},     {"%d%d", 7, "7", -1},
    };
    for (const auto &c : ints) {
        char buf[32];
        EXPECT_EQ(RAW_format_int(buf, sizeof buf, c.format, c.value, "TEST"), c.rc) << c.format;
        EXPECT_STREQ(buf, c.text) << (c.format ? c.format : "null");
    }
    char buf[32];
    RAW_format_float(buf, sizeof buf, "%d", 3, "TEST");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TEST: Bad number format: %40.1f\n"), std::string::npos) << err;
    EXPECT_NE(err.find("TEST: Bad number format: %#d\n"), std::string::npos) << err;
    // Once for each format.
    EXPECT_EQ(err.find("format: %d\n"), err.rfind("format: %d\n")) << err;
}

} // namespace
