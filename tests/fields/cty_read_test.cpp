#include "fields/cty_read.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A station file with the given text, removed at the end of the test.
class StationFile {
public:
    explicit StationFile(const std::string &text) {
        path_ = testing::TempDir() + "cty_read_" + std::to_string(getpid()) + ".cty";
        FILE *f = std::fopen(path_.c_str(), "w");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    ~StationFile() { std::remove(path_.c_str()); }
    StationFile(const StationFile &) = delete;
    StationFile &operator=(const StationFile &) = delete;
    const char *path() const { return path_.c_str(); }

private:
    std::string path_;
};

const char *const denver = "Denver_Intl CO US KDEN 1* 39.85 -104.65 1656 72565 3\n";

TEST(CtyRead, ReadsTheTenFields) {
    StationFile file(denver);
    const int fd = CTY_open(file.path(), 0, 0);
    ASSERT_GE(fd, 0);
    CTY_data s{};
    ASSERT_EQ(CTY_read(fd, &s), 10);
    EXPECT_STREQ(s.name, "Denver_Intl");
    EXPECT_STREQ(s.state, "CO");
    EXPECT_STREQ(s.region, "US");
    EXPECT_STREQ(s.id, "KDEN");
    EXPECT_EQ(s.prior, 1);
    EXPECT_EQ(s.mos, ' ');
    EXPECT_EQ(s.ua, '*');
    EXPECT_FLOAT_EQ(s.lat, 39.85f);
    EXPECT_FLOAT_EQ(s.lon, -104.65f);
    EXPECT_FLOAT_EQ(s.el, 1656.0f);
    EXPECT_EQ(s.wmo, 72565);
    EXPECT_EQ(s.num, 3);
    EXPECT_EQ(CTY_read(fd, &s), -1);
    EXPECT_EQ(CTY_close(fd), 0);
}

TEST(CtyRead, PriorityTokensAndElevations) {
    struct Case {
        const char *token;
        const char *el;
        int prior;
        char mos;
        char ua;
        float elev;
    };
    const Case cases[] = {
        {"3", "100", 3, ' ', ' ', 100.0f},    {"*2", "9999", 2, '*', ' ', -9999.0f},
        {"2*", "9000", 2, ' ', '*', 9000.0f}, {"*0*", "9000.5", 0, '*', '*', -9999.0f},
        {"x", "-12", 9, ' ', ' ', -12.0f}, // no digit: least important
    };
    std::string text;
    for (const Case &c : cases)
        text += std::string("Name -- XX ABCD ") + c.token + " 10 20 " + c.el + " 99999 0\n";
    StationFile file(text);
    const int fd = CTY_open(file.path(), 0, 0);
    ASSERT_GE(fd, 0);
    for (const Case &c : cases) {
        CTY_data s{};
        ASSERT_EQ(CTY_read(fd, &s), 10) << c.token;
        EXPECT_EQ(s.prior, c.prior) << c.token;
        EXPECT_EQ(s.mos, c.mos) << c.token;
        EXPECT_EQ(s.ua, c.ua) << c.token;
        EXPECT_EQ(s.el, c.elev) << c.el;
    }
    CTY_close(fd);
}

// Every line starts from a cleared record: fields a line lacks never carry the
// previous station's values, and a line without a position is skipped.
TEST(CtyRead, ShortLinesStartFromAClearedRecord) {
    StationFile file(std::string(denver) + "Nine CO US KAAA 2 40.5 -105.5 1500 72469\n" // no count
                                           "Eight CO US KBBB 3 41.5 -106.5 2000\n" // no WMO number or count
                                           "Seven CO US KCCC 4 42.5 -107.5\n"      // position only
                                           "NoPosition CO US KDDD 4 43.5\n"        // latitude only
                                           "NoPosition2 CO US KEEE\n"              // no position at all
                                           "\n   \n"                               // blank lines
                                           "Last WY US KFFF 5 44.5 -108.5 1800 99999 7\r\n"); // CRLF line end
    const int fd = CTY_open(file.path(), 0, 0);
    ASSERT_GE(fd, 0);
    CTY_data s{};
    ASSERT_EQ(CTY_read(fd, &s), 10);

    ASSERT_EQ(CTY_read(fd, &s), 9);
    EXPECT_STREQ(s.id, "KAAA");
    EXPECT_EQ(s.wmo, 72469);
    EXPECT_EQ(s.num, 0);

    ASSERT_EQ(CTY_read(fd, &s), 8);
    EXPECT_STREQ(s.id, "KBBB");
    EXPECT_EQ(s.el, 2000.0f);
    EXPECT_EQ(s.wmo, 99999);
    EXPECT_EQ(s.num, 0);

    ASSERT_EQ(CTY_read(fd, &s), 7);
    EXPECT_STREQ(s.id, "KCCC");
    EXPECT_EQ(s.el, -9999.0f);
    EXPECT_EQ(s.wmo, 99999);

    testing::internal::CaptureStderr();
    ASSERT_EQ(CTY_read(fd, &s), 10);
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_STREQ(s.id, "KFFF");
    EXPECT_FLOAT_EQ(s.lat, 44.5f);
    EXPECT_EQ(s.num, 7);
    EXPECT_NE(warnings.find("CTY_read: Station without position skipped: NoPosition CO US KDDD"),
              std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("NoPosition2"), std::string::npos) << warnings;

    EXPECT_EQ(CTY_read(fd, &s), -1);
    CTY_close(fd);
}

// Every field is read with a width: an overlong text cannot run past its field.
TEST(CtyRead, OverlongFieldsStayInTheirFields) {
    const std::string name(40, 'N');
    StationFile file(name + " CO US KDEN 1 39.85 -104.65 1656 72565 3\n"
                            "Short COLORADO US KDEN 1 39.85 -104.65 1656 72565 3\n"
                            "Okay CO US KDEN1234567890 1 39.85 -104.65 1656 72565 3\n"
                            "Fine CO US KDEN 1*** 39.85 -104.65 1656 72565 3\n"
                            "Good CO US KDEN 2 39.85 -104.65 1656 72565 3\n");
    const int fd = CTY_open(file.path(), 0, 0);
    ASSERT_GE(fd, 0);
    CTY_data s{};
    testing::internal::CaptureStderr();
    const int n = CTY_read(fd, &s);
    const std::string warnings = testing::internal::GetCapturedStderr();
    // The four lines with an overlong field are skipped, never read shifted.
    EXPECT_EQ(n, 10);
    EXPECT_STREQ(s.name, "Good");
    EXPECT_EQ(s.prior, 2);
    int skipped = 0;
    for (std::size_t p = warnings.find("field too long"); p != std::string::npos;
         p = warnings.find("field too long", p + 1))
        ++skipped;
    EXPECT_EQ(skipped, 4) << warnings;
    CTY_close(fd);
}

TEST(CtyRead, OpenRewindInfoAndClose) {
    StationFile file(denver);
    CTY_data s{};
    CTY_info info{};
    EXPECT_EQ(CTY_read(0, &s), -1); // nothing open
    EXPECT_EQ(CTY_rewind(0), -1);
    EXPECT_EQ(CTY_getinfo(0, &info), -1);
    EXPECT_EQ(CTY_close(0), -1);
    EXPECT_EQ(CTY_open(file.path(), 2, 0), -1);
    EXPECT_EQ(CTY_open("/nonexistent/dir/sao.cty", 0, 0), -1);

    const int fd = CTY_open(file.path(), 0, 7);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(CTY_read(fd, &s), 10);
    EXPECT_EQ(CTY_read(fd, &s), -1);
    EXPECT_EQ(CTY_getinfo(fd, &info), 0);
    EXPECT_EQ(info.dtype, 7);
    ASSERT_EQ(CTY_read(fd, &s), 10); // getinfo rewound the file
    EXPECT_EQ(CTY_rewind(fd), 0);
    ASSERT_EQ(CTY_read(fd, &s), 10);
    EXPECT_EQ(CTY_close(fd), 0);
    EXPECT_EQ(CTY_read(fd, &s), -1);
}

// The station file generated from weather-util-data: every station of the
// source list that has a position is there, every line reads whole, and the
// priorities keep the documented spacing: stations of priority p or less are
// at least 1600 / 2^p km apart (p up to 8).
TEST(CtyRead, GeneratedStationFile) {
    FILE *p =
        popen("/usr/bin/python3 -c \"import gzip; print(sum(1 for l in "
              "gzip.open('/usr/share/weather-util/stations.gz','rt') if l.startswith('location = (')))\"",
              "r");
    ASSERT_NE(p, nullptr);
    int expected = 0;
    ASSERT_EQ(std::fscanf(p, "%d", &expected), 1);
    ASSERT_EQ(pclose(p), 0) << "python3 and the Debian package weather-util-data are needed";

    const std::string path = std::string(ZEQ_BUILD_DATA) + "/sao.cty";
    const int fd = CTY_open(path.c_str(), 0, 0);
    ASSERT_GE(fd, 0) << path;
    struct Unit {
        double x, y, z;
        int prior;
    };
    std::vector<Unit> units;
    CTY_data s{};
    int n = 0;
    while ((n = CTY_read(fd, &s)) > 0) {
        ASSERT_EQ(n, 10) << s.id;
        ASSERT_GE(s.prior, 0);
        ASSERT_LE(s.prior, 9);
        ASSERT_EQ(std::strlen(s.id), 4u) << s.id;
        EXPECT_EQ(s.el, -9999.0f) << s.id; // the source has no elevations
        EXPECT_EQ(s.wmo, 99999) << s.id;   // nor WMO numbers
        const double la = s.lat * M_PI / 180.0;
        const double lo = s.lon * M_PI / 180.0;
        units.push_back({std::cos(la) * std::cos(lo), std::cos(la) * std::sin(lo), std::sin(la), s.prior});
    }
    CTY_close(fd);
    EXPECT_EQ(static_cast<int>(units.size()), expected);
    EXPECT_GT(expected, 5000);

    // Chord lengths on the unit sphere for the spacing of each priority.
    double min_dot[9];
    for (int q = 0; q < 9; ++q)
        min_dot[q] = std::cos(1600.0 / std::pow(2.0, q) / 6371.0);
    int close_pairs = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        for (std::size_t j = i + 1; j < units.size(); ++j) {
            const int q = std::max(units[i].prior, units[j].prior);
            if (q > 8) continue;
            const double dot = units[i].x * units[j].x + units[i].y * units[j].y + units[i].z * units[j].z;
            if (dot > min_dot[q] + 1e-12) ++close_pairs;
        }
    }
    EXPECT_EQ(close_pairs, 0);
}

} // namespace
