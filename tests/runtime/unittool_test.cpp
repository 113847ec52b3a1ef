#include "runtime/unittool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/resrc.h"
#include "support/child.h"

namespace {

const char *const kDataDir = ZEQ_SOURCE_DIR "/data";

void use_tables(const std::string &dir = kDataDir) {
    RES_put("file_path", dir.c_str());
}

// ---- Conversions ------------------------------------------------------------------

TEST(UnitCvt, FactorsAloneAndPassThrough) {
    use_tables();
    EXPECT_FLOAT_EQ(UNIT_cvt(280.0f, "K", "k"), 280.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(101325.0f, "Pa", "100 Pa"), 1013.25f);
    EXPECT_FLOAT_EQ(UNIT_cvt(1.5f, "10^3 m", "m"), 1500.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(2.0f, "10^-5 /s", "1e-05 /s"), 2.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(3.0f, "-m", "m"), -3.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(4.0f, "10 m", "-m"), -40.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(20.0f, "deg_C", "deg C"), 20.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(-9999.0f, "C", "F"), -9999.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(-9999.0f, "10^3 m", "m"), -9999.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(1000.0f, "mb", ""), 1000.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(29.92f, "in_Hg", "in_HG"), 29.92f);
}

TEST(UnitCvt, TableWithScaledAndNegatedUnits) {
    use_tables();
    EXPECT_NEAR(UNIT_cvt(20.0f, "C", "F"), 68.0f, 1e-4);
    EXPECT_NEAR(UNIT_cvt(68.0f, "f", "c"), 20.0f, 1e-4);
    EXPECT_NEAR(UNIT_cvt(300.0f, "K", "C"), 26.85f, 1e-4);
    EXPECT_NEAR(UNIT_cvt(10.0f, "kt", "m/s"), 5.144444f, 1e-5);
    // Factors on either side combine with the table's conversion.
    EXPECT_NEAR(UNIT_cvt(1013.25f, "100 Pa", "inHg"), 29.9213f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(2.0f, "10^2 ft", "m"), 60.96f, 1e-4);
    EXPECT_NEAR(UNIT_cvt(304.8f, "m", "100_ft"), 10.0f, 1e-5);
    EXPECT_NEAR(UNIT_cvt(-300.0f, "-K", "C"), 26.85f, 1e-4);
    EXPECT_NEAR(UNIT_cvt(5.0f, ".1 g/kg", "kg/kg"), 0.0005f, 1e-9);
    EXPECT_NEAR(UNIT_cvt(10.0f, "dC", "dF"), 18.0f, 1e-4);
}

TEST(UnitCvt, RememberedPairIsNotMixedUp) {
    use_tables();
    EXPECT_NEAR(UNIT_cvt(1500.0f, "m", "km"), 1.5f, 1e-6);
    EXPECT_NEAR(UNIT_cvt(1.5f, "10^3 m", "m"), 1500.0f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(2500.0f, "m", "km"), 2.5f, 1e-6);
    EXPECT_NEAR(UNIT_cvt(2.5f, "km", "m"), 2500.0f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(2.5f, "KM", "M"), 2500.0f, 1e-3);
    EXPECT_NEAR(UNIT_cvt(20.0f, "C", "F"), 68.0f, 1e-4);
    EXPECT_NEAR(UNIT_cvt(20.0f, "C", "K"), 293.15f, 1e-3);
}

TEST(UnitCvt, UnknownPairKeepsTheValueAndWarnsOnce) {
    const auto r = zeqtest::run_child([] {
        use_tables();
        int bad = 0;
        if (UNIT_cvt(12.0f, "furlong", "m") != 12.0f) bad |= 1;
        if (UNIT_cvt(13.0f, "furlong", "m") != 13.0f) bad |= 2;
        if (UNIT_cvt(5.0f, "10 furlong", "m") != 5.0f) bad |= 4;
        if (UNIT_cvt(7.0f, "", "mb") != 7.0f) bad |= 8;
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    const std::string warn = "UNIT_cvt: No conversion from furlong to m\n";
    const auto first = r.err.find(warn);
    ASSERT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(warn, first + 1), std::string::npos) << "warned twice:\n" << r.err;
    EXPECT_NE(r.err.find("UNIT_cvt: No conversion from 10 furlong to m\n"), std::string::npos);
    EXPECT_NE(r.err.find("UNIT_cvt: No conversion from  to mb\n"), std::string::npos);
}

TEST(UnitCvt, MissingTableKeepsTheValue) {
    zeqtest::TempDir dir;
    const std::string empty = dir.path();
    const auto r = zeqtest::run_child([&] {
        use_tables(empty);
        int bad = 0;
        if (UNIT_cvt(20.0f, "C", "F") != 20.0f) bad |= 1;
        // Factors alone need no table.
        if (UNIT_cvt(2.0f, "10^3 m", "m") != 2000.0f) bad |= 2;
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("UNIT_cvt: No conversion from C to F\n"), std::string::npos) << r.err;
}

TEST(UnitCvt, TableForms) {
    zeqtest::TempDir dir;
    zeqtest::write_file(dir.file("units.lup"), "# comment line  a b *2\n"
                                               "a b *2\n"
                                               "A  B   *3\n"
                                               "x y +5\n"
                                               "p q *2-1.5\n"
                                               "deg_X deg_Y *10\n"
                                               "short\n"
                                               "s t *0.5e-2\n");
    use_tables(dir.path());
    EXPECT_FLOAT_EQ(UNIT_cvt(1.0f, "a", "b"), 2.0f); // the first entry wins
    EXPECT_FLOAT_EQ(UNIT_cvt(1.0f, "x", "y"), 6.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(2.0f, "p", "q"), 2.5f);
    EXPECT_FLOAT_EQ(UNIT_cvt(1.0f, "deg X", "deg_y"), 10.0f);
    EXPECT_FLOAT_EQ(UNIT_cvt(100.0f, "s", "t"), 0.5f);
}

// ---- Labels --------------------------------------------------------------------------

TEST(UnitLabels, ScaledUnits) {
    char out[40];
    UNIT_scale("10^-5 /s", 1.0f, "", out, sizeof out);
    EXPECT_STREQ(out, "1e-05 /s");
    UNIT_scale("m", 1e-5f, "/m", out, sizeof out);
    EXPECT_STREQ(out, "1e-05 m/m");
    UNIT_scale("1e-05 m/m", 1e-5f, "/m", out, sizeof out);
    EXPECT_STREQ(out, "1e-10 m/m/m");
    UNIT_scale("100 Pa", 1.0f, "", out, sizeof out);
    EXPECT_STREQ(out, "1e+02 Pa");
    char small[6];
    std::memset(small, '#', sizeof small);
    UNIT_scale("10^-5 /s", 1.0f, "", small, 5);
    EXPECT_STREQ(small, "1e-0");
    EXPECT_EQ(small[5], '#');
}

TEST(UnitLabels, ParseAndChange) {
    char var[50];
    char units[50];
    UNIT_parse("Temperature   (K)", var, sizeof var, units, sizeof units);
    EXPECT_STREQ(var, "Temperature");
    EXPECT_STREQ(units, "K");
    UNIT_parse("(K)", var, sizeof var, units, sizeof units);
    EXPECT_STREQ(var, "");
    EXPECT_STREQ(units, "");
    UNIT_parse("Height", var, sizeof var, units, sizeof units);
    EXPECT_STREQ(var, "Height");
    EXPECT_STREQ(units, "");
    UNIT_parse("Wind (m/s", var, sizeof var, units, sizeof units);
    EXPECT_STREQ(units, "m/s");
    char v4[4];
    UNIT_parse("Temperature (K)", v4, sizeof v4, units, sizeof units);
    EXPECT_STREQ(v4, "Tem");

    char label[70] = "Temperature (K)";
    UNIT_change(label, sizeof label, "C");
    EXPECT_STREQ(label, "Temperature (C)");
    char cut[12] = "Dew point";
    UNIT_change(cut, sizeof cut, "deg_C");
    EXPECT_STREQ(cut, "Dew point (");
}

// ---- Every table entry against GNU units ------------------------------------------------

struct GnuName {
    const char *expr;
    bool absolute_temperature; // converted with GNU units' temperature functions
};

// How GNU units writes each unit of units.lup.
const std::map<std::string, GnuName> &gnu_names() {
    static const std::map<std::string, GnuName> names = {
        {"K", {"tempK", true}},
        {"C", {"tempC", true}},
        {"F", {"tempF", true}},
        {"degC", {"tempC", true}},
        {"degF", {"tempF", true}},
        {"dK", {"K", false}},
        {"dC", {"degC", false}},
        {"dF", {"degF", false}},
        {"m/s", {"m/s", false}},
        {"kt", {"knot", false}},
        {"knt", {"knot", false}},
        {"kts", {"knot", false}},
        {"mph", {"mph", false}},
        {"km/h", {"km/hr", false}},
        {"ft/s", {"ft/s", false}},
        {"cm/s", {"cm/s", false}},
        {"Pa", {"Pa", false}},
        {"hPa", {"hPa", false}},
        {"mb", {"millibar", false}},
        {"kPa", {"kPa", false}},
        {"inHg", {"inHg", false}},
        {"in_Hg", {"inHg", false}},
        {"mmHg", {"mmHg", false}},
        {"Pa/s", {"Pa/s", false}},
        {"hPa/s", {"hPa/s", false}},
        {"mb/s", {"millibar/s", false}},
        {"mb/hr", {"millibar/hr", false}},
        {"m", {"m", false}},
        {"km", {"km", false}},
        {"cm", {"cm", false}},
        {"mm", {"mm", false}},
        {"ft", {"ft", false}},
        {"mi", {"mile", false}},
        {"nmi", {"nmi", false}},
        {"in", {"inch", false}},
        {"dam", {"dam", false}},
        {"gpm", {"m", false}},
        {"kg/kg", {"kg/kg", false}},
        {"g/kg", {"g/kg", false}},
        {"gm/kg", {"g/kg", false}},
        {"%", {"percent", false}},
        {"percent", {"percent", false}},
        {"frac", {"1", false}},
        {"s", {"s", false}},
        {"sec", {"s", false}},
        {"min", {"min", false}},
        {"hr", {"hr", false}},
        {"day", {"day", false}},
        {"deg", {"degree", false}},
        {"rad", {"radian", false}},
    };
    return names;
}

std::string run(const std::string &command) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p) != nullptr)
        out += buf;
    pclose(p);
    return out;
}

TEST(UnitTable, EveryEntryAgreesWithGnuUnits) {
    if (run("command -v units").empty())
        FAIL() << "GNU units is not installed: install the Debian package 'units'";

    std::ifstream table(std::string(kDataDir) + "/units.lup");
    ASSERT_TRUE(table) << "data/units.lup is missing";
    use_tables();

    int entries = 0;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream words(line);
        std::string in;
        std::string out;
        std::string conv;
        if (!(words >> in) || in[0] == '#') continue;
        ASSERT_TRUE(words >> out >> conv) << "short entry: " << line;
        const auto gi = gnu_names().find(in);
        const auto go = gnu_names().find(out);
        ASSERT_NE(gi, gnu_names().end()) << "no GNU units name for " << in;
        ASSERT_NE(go, gnu_names().end()) << "no GNU units name for " << out;
        ++entries;
        for (double value : {1.0, 12.5, 300.0}) {
            char num[32];
            std::snprintf(num, sizeof num, "%g", value);
            const std::string from = gi->second.absolute_temperature
                                         ? std::string(gi->second.expr) + "(" + num + ")"
                                         : std::string(num) + " (" + gi->second.expr + ")";
            const std::string to = go->second.absolute_temperature ? std::string(go->second.expr)
                                                                   : "(" + std::string(go->second.expr) + ")";
            const std::string answer = run("units -d 12 -t '" + from + "' '" + to + "' 2>&1");
            char *end = nullptr;
            const double expected = std::strtod(answer.c_str(), &end);
            ASSERT_TRUE(end != answer.c_str() && (*end == '\n' || *end == '\0'))
                << "units " << from << " -> " << to << " said: " << answer;
            const float got = UNIT_cvt(static_cast<float>(value), in.c_str(), out.c_str());
            EXPECT_NEAR(got, expected, 1e-5 * std::max(1.0, std::fabs(expected)))
                << value << " " << in << " -> " << out << " (" << conv << ")";
        }
    }
    EXPECT_GT(entries, 0);
}

} // namespace
