#include "fields/cty_tool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fields/cty_read.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "runtime/resrc.h"
#include "support/grids.h"

// Fixtures: tests/data/sao_test.cty is a small station file checked by hand.
// Names and positions of its airports are those of the station file built
// from weather-util-data; priorities, marks and WMO numbers are set for the
// tests. The rows whose identifier has '-' as second character are test rows
// of the stations known only by a WMO number: an ordinary one (72530, placed
// at O'Hare) and a buoy (country "B_", 41001). The generated station file of
// the build tree (ZEQ_BUILD_DATA/sao.cty) serves the tests over all stations.

namespace {

const char *const fixture = "sao_test.cty";

void use_fixture_dir() {
    RES_put("file_path", ZEQ_TEST_DATA);
}

void use_build_data() {
    RES_put("file_path", ZEQ_BUILD_DATA);
}

// A polar stereographic domain.
Domain ps_domain(float clat, float clon, int nx, int ny, float d) {
    return zeqtest::make_domain(1, clat, clon, nx, ny, d, d);
}

// A domain over the whole of North America and beyond: every fixture station
// but the buoy lies inside it.
Domain wide_domain() {
    return ps_domain(45.0f, -105.0f, 25, 21, 1.5f);
}

std::vector<std::string> ids_stored() {
    std::vector<std::string> ids;
    TAB_table *tab = CTY_get_table();
    TAB_first(tab);
    for (char *rec; (rec = TAB_next(tab));) {
        CTY_locate loc{};
        std::memcpy(&loc, rec, sizeof loc);
        ids.emplace_back(loc.id);
    }
    return ids;
}

// All stations of a station file, in file order.
std::vector<CTY_data> read_all(const std::string &path) {
    std::vector<CTY_data> out;
    const int fd = CTY_open(path.c_str(), 0, 0);
    if (fd < 0) return out;
    CTY_data s{};
    while (CTY_read(fd, &s) > 0)
        out.push_back(s);
    CTY_close(fd);
    return out;
}

// A file of the given size in the test's temporary directory.
std::string sized_file(const std::string &name, std::size_t bytes) {
    const std::string path = testing::TempDir() + name + "_" + std::to_string(getpid());
    std::ofstream f(path, std::ios::binary);
    const std::string line = "Station_Name         CO US KXYZ  5  39.0000 -105.0000 9999 99999 0\n";
    std::string text;
    while (text.size() < bytes)
        text += line;
    text.resize(bytes);
    f << text;
    return path;
}

// ---- The station file ------------------------------------------------------------

TEST(CtyOpenFile, BucketEstimateFromTheFileSize) {
    RES_put("file_path", testing::TempDir().c_str());
    struct Case {
        std::size_t bytes;
        int buckets;
    };
    const Case cases[] = {{600, 10}, {300000, 4000}, {58, 1}, {30, 1}, {0, 1}, {59 * 123 + 58, 123}};
    for (const Case &c : cases) {
        const std::string path = sized_file("size" + std::to_string(c.bytes), c.bytes);
        const std::string name = path.substr(path.rfind('/') + 1);
        int num = -1;
        const int fd = CTY_open_file(name.c_str(), &num);
        EXPECT_GE(fd, 0) << c.bytes;
        EXPECT_EQ(num, c.buckets) << c.bytes;
        CTY_close(fd);
        std::remove(path.c_str());
    }
}

TEST(CtyOpenFile, NamesFromResourcesAndTheWarningForAMissingFile) {
    use_fixture_dir();
    int num = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(CTY_open_file("no_such.cty", &num), -1);
    const std::string warn = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warn,
              std::string("CTY_open_file: Database file not found: ") + ZEQ_TEST_DATA + "/no_such.cty\n");
    EXPECT_EQ(num, 1);

    // city_file replaces the caller's name.
    RES_put("city_file", fixture);
    EXPECT_GE(CTY_open_file("no_such.cty", &num), 0);
    CTY_close(0);

    // "none" in any case switches the database off without a message.
    RES_put("city_file", "NoNe");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CTY_open_file(fixture, &num), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(CTY_store(fixture, 3, nullptr, 9), 0);
    CTY_data s{};
    EXPECT_EQ(CTY_get(fixture, "KDEN", &s), 0);
}

TEST(CtyGet, FindsByIdNameOrWmoNumberWithoutRegardToCase) {
    use_fixture_dir();
    struct Case {
        const char *key;
        const char *id; // null: not found
    };
    const Case cases[] = {
        {"KDEN", "KDEN"},     {"kden", "KDEN"},     {"denver_intl", "KDEN"}, {"72565", "KDEN"},
        {"72530", "W-72530"}, {"41001", "W-41001"}, {"CYYC", "CYYC"},        {"99999", nullptr},
        {"Denver", nullptr},  {"QQQQ", nullptr},    {"", nullptr},
    };
    for (const Case &c : cases) {
        CTY_data s{};
        const int found = CTY_get(fixture, c.key, &s);
        EXPECT_EQ(found, c.id ? 1 : 0) << c.key;
        if (c.id && found) {
            EXPECT_STREQ(s.id, c.id) << c.key;
        }
    }
}

// The look-up of a domain's "id:" centre: a domain centred on the station.
TEST(CtyGetLoc, CentresADomainOnTheStation) {
    use_fixture_dir();
    float lat = -1.0f;
    float lon = -1.0f;
    ASSERT_EQ(CTY_get_loc(fixture, "KDEN", &lat, &lon), 1);
    EXPECT_FLOAT_EQ(lat, 39.85f);
    EXPECT_FLOAT_EQ(lon, -104.65f);

    Domain dom = ps_domain(lat, lon, 25, 17, 1.5f);
    MAP_domain(&dom);
    float x = 0.0f;
    float y = 0.0f;
    float clat = 0.0f;
    float clon = 0.0f;
    ASSERT_EQ(MAP_tran(lat, lon, &x, &y), 1);
    MAP_limits lim{};
    MAP_get_limits(&lim);
    EXPECT_NEAR(x, (lim.x_min + lim.x_max) / 2, 1e-4);
    EXPECT_NEAR(y, (lim.y_min + lim.y_max) / 2, 1e-4);
    EXPECT_NEAR(lim.x_max - lim.x_min, 24 * 1.5, 1e-4);
    ASSERT_EQ(MAP_untran(x, y, &clat, &clon), 1);
    EXPECT_NEAR(clat, 39.85, 1e-4);
    EXPECT_NEAR(clon, -104.65, 1e-4);

    // A station that is not there leaves the outputs alone.
    lat = lon = 7.0f;
    EXPECT_EQ(CTY_get_loc(fixture, "QQQQ", &lat, &lon), 0);
    EXPECT_EQ(lat, 7.0f);
    EXPECT_EQ(lon, 7.0f);
}

// The generated station file holds the positions of weather-util-data: compare
// a few with the source list read independently (radians to degrees).
TEST(CtyGetLoc, GeneratedFileMatchesTheDebianStationList) {
    use_build_data();
    const char *script = "/usr/bin/python3 -c \""
                         "import gzip,math\n"
                         "want={'kden','egll','rjtt','cyyc','nzch','saez','fact'}\n"
                         "cur=None\n"
                         "for l in gzip.open('/usr/share/weather-util/stations.gz','rt'):\n"
                         "  l=l.strip()\n"
                         "  if l.startswith('['): cur=l[1:-1]\n"
                         "  elif cur in want and l.startswith('location = ('):\n"
                         "    a,b=l[12:-1].split(',')\n"
                         "    print(cur.upper(),math.degrees(float(a)),math.degrees(float(b)))\n"
                         "\"";
    FILE *p = popen(script, "r");
    ASSERT_NE(p, nullptr);
    char id[16];
    double lat = 0.0;
    double lon = 0.0;
    int n = 0;
    while (std::fscanf(p, "%15s %lf %lf", id, &lat, &lon) == 3) {
        float flat = 0.0f;
        float flon = 0.0f;
        ASSERT_EQ(CTY_get_loc("sao.cty", id, &flat, &flon), 1) << id;
        EXPECT_NEAR(flat, lat, 1e-4) << id;
        EXPECT_NEAR(flon, lon, 1e-4) << id;
        ++n;
    }
    ASSERT_EQ(pclose(p), 0) << "python3 and the Debian package weather-util-data are needed";
    EXPECT_EQ(n, 7);
}

// The "id:" centre of a domain text: the region module's decoder places the
// domain on the station found here.
TEST(CtyGetLoc, DomainTextsCentredOnAStation) {
    use_build_data();
    float lat = 0.0f;
    float lon = 0.0f;
    ASSERT_EQ(CTY_get_loc("sao.cty", "KDEN", &lat, &lon), 1);
    Domain d{};
    ASSERT_EQ(DOM_decode("ps,id:KDEN,25,17,1.5", &d), 1);
    EXPECT_EQ(d.proj, 1);
    EXPECT_EQ(d.clat, lat);
    EXPECT_EQ(d.clon, lon);
    EXPECT_EQ(d.nx, 25);
    EXPECT_EQ(d.ny, 17);
    EXPECT_EQ(d.dx, 1.5f);
    EXPECT_EQ(d.dy, 1.5f);
    ASSERT_EQ(DOM_decode("id:kjfk", &d), 1);
    EXPECT_NEAR(d.clat, 40.633, 1e-3);
    EXPECT_NEAR(d.clon, -73.767, 1e-3);

    // The file form names another station file along file_path.
    use_fixture_dir();
    ASSERT_EQ(DOM_decode("ps,id:sao_test.cty:KDEN,25,17,1.5", &d), 1);
    EXPECT_EQ(d.clat, 39.85f);
    EXPECT_EQ(d.clon, -104.65f);
    ASSERT_EQ(DOM_decode("ps,id:sao_test.cty:72530,25,17,1.5", &d), 1);
    EXPECT_EQ(d.clat, 41.9833f);

    use_build_data();
    testing::internal::CaptureStderr();
    EXPECT_EQ(DOM_decode("ps,id:QQQQ,25,17,1.5", &d), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "DOM_decode: Invalid plot domain\n");
}

// Without file_path the station file of the working directory is used, and
// when there is none the one generated into the build's data directory.
TEST(CtyGetLoc, WithoutFilePathTheGeneratedFileIsTheFallback) {
    const std::string dir = testing::TempDir() + "cwd_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    float lat = 0.0f;
    float lon = 0.0f;
    ASSERT_EQ(CTY_get_loc(nullptr, "KDEN", &lat, &lon), 1);
    EXPECT_NEAR(lat, 39.8667f, 1e-3); // the generated file
    {
        std::ofstream f("sao.cty");
        f << "Denver_Intl CO US KDEN 1* 39.85 -104.65 1656 72565 3\n";
    }
    ASSERT_EQ(CTY_get_loc(nullptr, "KDEN", &lat, &lon), 1);
    EXPECT_EQ(lat, 39.85f); // the working directory's file
    std::remove("sao.cty");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CTY_get_loc("other.cty", "KDEN", &lat, &lon), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "CTY_open_file: Database file not found: other.cty\n");
    ASSERT_EQ(chdir("/"), 0);
    rmdir(dir.c_str());
}

// ---- Loading the table -----------------------------------------------------------

TEST(CtyStore, ModesKeysAndSearchForms) {
    use_fixture_dir();
    ASSERT_NE(CTY_store(fixture, 1, nullptr, 9), 0);
    EXPECT_EQ(CTY_get_table()->numkey, 2);
    EXPECT_EQ(CTY_get_table()->num_entry, 14);

    CTY_data s{};
    struct Case {
        const char *key;
        const char *id;
    };
    const Case found[] = {
        {"KDEN", "KDEN"},       {"72565", "KDEN"},    {"K2565", "KDEN"}, // made from the WMO number
        {"W-72530", "W-72530"}, {"72530", "W-72530"}, {"K2530", "W-72530"},
        {"b41001", "W-41001"},  {"CYYC", "CYYC"},
    };
    for (const Case &c : found) {
        std::memset(&s, 0, sizeof s);
        EXPECT_EQ(CTY_search(c.key, &s), 1) << c.key;
        EXPECT_STREQ(s.id, c.id) << c.key;
    }
    EXPECT_FLOAT_EQ(s.lat, 51.1167f);
    EXPECT_EQ(s.ua, ' ');
    // Keys are exact: the buoy has no plain WMO key, identifiers keep their
    // case; 99999 is no station's number.
    for (const char *key : {"41001", "kden", "Denver_Intl", "QQQQ", "k2530", "99999", "-KCOS"})
        EXPECT_EQ(CTY_search(key, &s), 0) << key;
}

TEST(CtyStore, FiveDigitIdentifiersAreFoundOnlyThroughTheirWmoKey) {
    const std::string dir = testing::TempDir();
    const std::string path = dir + "digits_" + std::to_string(getpid()) + ".cty";
    {
        std::ofstream f(path);
        f << "Digits -- XX 12345 1 10.0 20.0 9999 99999 0\n"
             "Other -- XX KAAA 1 10.5 20.5 9999 12345 0\n";
    }
    RES_put("file_path", dir.c_str());
    ASSERT_NE(CTY_store(path.substr(path.rfind('/') + 1).c_str(), 1, nullptr, 9), 0);
    CTY_data s{};
    ASSERT_EQ(CTY_search("12345", &s), 1);
    EXPECT_STREQ(s.id, "KAAA");
    std::remove(path.c_str());
}

TEST(CtyStore, IdentifierKindsOfPlacedStations) {
    use_fixture_dir();
    struct Case {
        int kind;
        const char *key;    // searched
        const char *stored; // identifier of the placed station
    };
    const Case cases[] = {
        {0, "KDEN", "KDEN"},  {0, "72530", "72530"}, {0, "b41001", "b41001"}, {0, "KCOS", "KCOS"},
        {1, "KDEN", "72565"}, {1, "72530", "72530"}, {1, "b41001", "b41001"}, {1, "KCOS", "KCOS"},
        {2, "KDEN", "KDEN"},  {2, "72530", "K2530"}, {2, "b41001", "b41001"}, {2, "KCOS", "KCOS"},
    };
    for (int kind = 0; kind < 3; ++kind) {
        CTY_set_id_type(kind);
        ASSERT_NE(CTY_store(fixture, 2, nullptr, 9), 0); // no projection: every station is placed
        for (const Case &c : cases) {
            if (c.kind != kind) continue;
            CTY_locate loc{};
            // Kind 1 stores KDEN under its WMO key: the name finds it only there.
            const char *key = kind == 1 && std::strcmp(c.key, "KDEN") == 0 ? "72565" : c.key;
            ASSERT_EQ(CTY_search(key, &loc), 1) << kind << " " << key;
            EXPECT_STREQ(loc.id, c.stored) << kind << " " << key;
        }
        CTY_clear();
    }
}

TEST(CtyStore, PriorityLimitSelectionAndDomain) {
    use_fixture_dir();
    Domain wide = wide_domain();

    // stat_prior unset: -9999 means 10, every station.
    ASSERT_NE(CTY_store(fixture, 2, &wide, -9999), 0);
    EXPECT_EQ(ids_stored().size(), 13u); // all but the buoy, outside the domain
    CTY_clear();

    RES_put("stat_prior", "3");
    EXPECT_EQ(CTY_get_prior(), 3);
    ASSERT_NE(CTY_store(fixture, 2, &wide, -9999), 0);
    EXPECT_THAT(ids_stored(),
                testing::ElementsAre("KDEN", "KCOS", "KAPA", "KGJT", "KCYS", "KORD", "72530", "CYYC"));
    CTY_clear();

    ASSERT_NE(CTY_store(fixture, 2, &wide, 1), 0);
    EXPECT_THAT(ids_stored(), testing::ElementsAre("KDEN", "KORD"));
    CTY_clear();

    RES_put("identifier", "ST=CO:P<3,CN=CA");
    ASSERT_NE(CTY_store(fixture, 2, &wide, 9), 0);
    EXPECT_THAT(ids_stored(), testing::ElementsAre("KDEN", "KCOS", "KAPA", "KGJT", "CYYC")); // P< includes 3
    CTY_clear();

    RES_put("identifier", "ALL");
    ASSERT_NE(CTY_store(fixture, 2, &wide, 9), 0);
    EXPECT_EQ(ids_stored().size(), 13u);
    CTY_clear();

    // A 5 x 5 domain of 100 km around Denver, widened by three grid lengths:
    // 250 km each way from the centre on the plane.
    Domain denver = ps_domain(39.75f, -104.9f, 5, 5, 0.5f);
    ASSERT_NE(CTY_store(fixture, 3, &denver, 9), 0);
    EXPECT_THAT(ids_stored(),
                testing::ElementsAre("KDEN", "KCOS", "KAPA", "KBJC", "KBDU", "K0CO", "KASE", "KCYS", "KLAR"));
    // The domain stays the current projection.
    Domain cur{};
    MAP_get_domain(&cur);
    EXPECT_EQ(cur.clat, 39.75f);
    EXPECT_EQ(cur.nx, 5);
}

TEST(CtyStore, MissingFileLeavesAnEmptyTable) {
    use_fixture_dir();
    testing::internal::CaptureStderr();
    EXPECT_EQ(CTY_store("absent.cty", 3, nullptr, 9), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Database file not found"), std::string::npos);
    CTY_locate loc{};
    EXPECT_EQ(CTY_search("KDEN", &loc), 0);
    EXPECT_EQ(CTY_search_loc(39.85f, -104.65f, &loc), 0);
    EXPECT_EQ(CTY_get_data("KDEN"), nullptr);
    EXPECT_EQ(CTY_next_data(0), nullptr);
}

// A second store without a clear releases the first table and its buffers
// (the leak check of the sanitizer build sees the rest).
TEST(CtyStore, StoringAgainReleasesTheFirstTable) {
    use_fixture_dir();
    CTY_data_size(16);
    ASSERT_NE(CTY_store(fixture, 3, nullptr, 9), 0);
    ASSERT_NE(CTY_store(fixture, 1, nullptr, 2), 0);
    EXPECT_EQ(CTY_get_table()->num_entry, 4);
    CTY_clear_data(0);
    CTY_clear();
}

TEST(CtyStore, LocationKeysAndTheRingSearch) {
    use_fixture_dir();
    ASSERT_NE(CTY_store(fixture, 3, nullptr, 9), 0);
    // 39.85 x 10 is 398.5 in single precision and the format rounds it to the even 398.
    char *rec = TAB_search(CTY_get_table(), 3, "  398 -1046");
    ASSERT_NE(rec, nullptr);
    CTY_locate loc{};
    std::memcpy(&loc, rec, sizeof loc);
    EXPECT_STREQ(loc.id, "KDEN");
    EXPECT_NE(TAB_search(CTY_get_table(), 3, "  511 -1140"), nullptr); // CYYC

    // From 39.9 N 104.7 W (key '  399 -1047') ring 1 reaches KDEN at (a - 1, b + 1).
    ASSERT_EQ(CTY_search_loc(39.9f, -104.7f, &loc), 1);
    EXPECT_STREQ(loc.id, "KDEN");
    // With no projection current the plane point is the latitude and longitude.
    EXPECT_FLOAT_EQ(loc.x, 39.85f);
    EXPECT_FLOAT_EQ(loc.y, -104.65f);
    EXPECT_EQ(loc.pr, 1);
    EXPECT_EQ(loc.wmo, 72565);
    EXPECT_EQ(loc.el, 1656.0f);

    ASSERT_EQ(CTY_search_loc(51.0f, -114.3f, &loc), 1);
    EXPECT_STREQ(loc.id, "CYYC");
    // 4.9 degrees is the reach: from 4.8 degrees north of the buoy it is found, from 5.2 not.
    ASSERT_EQ(CTY_search_loc(39.5f, -72.7f, &loc), 1);
    EXPECT_STREQ(loc.id, "b41001");
    EXPECT_EQ(CTY_search_loc(39.9f, -72.7f, &loc), 0);
    EXPECT_EQ(CTY_search_loc(-40.0f, 100.0f, &loc), 0);
}

TEST(CtyStore, NoLocationSearchOutsideModeThree) {
    use_fixture_dir();
    for (int mode : {1, 2}) {
        ASSERT_NE(CTY_store(fixture, mode, nullptr, 9), 0);
        CTY_locate loc{};
        EXPECT_EQ(CTY_search_loc(39.85f, -104.65f, &loc), 0);
        CTY_clear();
    }
}

// The ring search against a brute-force search over all stations of the
// generated file: the station found lies in the smallest ring (square of
// location keys around the point) that holds any station.
TEST(CtyStore, RingSearchFindsTheNearestRingOverAllStations) {
    use_build_data();
    ASSERT_NE(CTY_store("sao.cty", 3, nullptr, 9), 0);
    const std::vector<CTY_data> all = read_all(std::string(ZEQ_BUILD_DATA) + "/sao.cty");
    ASSERT_GT(all.size(), 5000u);
    std::vector<std::pair<long, long>> keys;
    for (const CTY_data &s : all)
        keys.emplace_back(std::lround(std::nearbyint(10.0f * s.lat)),
                          std::lround(std::nearbyint(10.0f * s.lon)));

    std::mt19937 rng(7);
    std::uniform_int_distribution<std::size_t> pick(0, all.size() - 1);
    std::uniform_real_distribution<float> off(-1.0f, 1.0f);
    int checked = 0;
    for (int n = 0; n < 2000; ++n) {
        const CTY_data &near = all[pick(rng)];
        const float lat = std::fmax(-89.0f, std::fmin(89.0f, near.lat + off(rng)));
        const float lon = near.lon + off(rng);
        const float a = 10.0f * lat;
        const float b = 10.0f * lon;
        // Half tenths round to even in the keys; such points are left out.
        if (std::fabs(a - std::trunc(a)) == 0.5f || std::fabs(b - std::trunc(b)) == 0.5f) continue;
        const long ra = std::lround(std::nearbyint(a));
        const long rb = std::lround(std::nearbyint(b));
        long best = 50;
        for (const auto &[ka, kb] : keys) {
            const long r = std::max(std::labs(ka - ra), std::labs(kb - rb));
            if (r < best) best = r;
        }
        CTY_locate loc{};
        const int found = CTY_search_loc(lat, lon, &loc);
        ASSERT_EQ(found, best < 50 ? 1 : 0) << lat << " " << lon;
        if (!found) continue;
        // The found station's own ring.
        CTY_data s{};
        bool located = false;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (std::strcmp(all[i].id, loc.id) == 0) {
                s = all[i];
                located = true;
                break;
            }
        }
        ASSERT_TRUE(located) << loc.id;
        const long ka = std::lround(std::nearbyint(10.0f * s.lat));
        const long kb = std::lround(std::nearbyint(10.0f * s.lon));
        EXPECT_EQ(std::max(std::labs(ka - ra), std::labs(kb - rb)), best)
            << lat << " " << lon << " " << loc.id;
        ++checked;
    }
    EXPECT_GT(checked, 1500);
}

// Every key of a ring is probed, the south-west corner too; values that
// round to zero from below share the key of zero (no "-0" keys).
TEST(CtyStore, RingSearchCornersAndZero) {
    const std::string dir = testing::TempDir();
    const std::string path = dir + "corner_" + std::to_string(getpid()) + ".cty";
    {
        std::ofstream f(path);
        f << "SouthWest -- XX KSWC 1 10.02 20.02 9999 99999 0\n"
             "Far -- XX KFAR 1 10.02 25.02 9999 99999 0\n"
             "Greenwich -- XX KGRW 1 -30.0 -0.02 9999 99999 0\n"
             "Equator -- XX KEQU 1 -0.02 -60.0 9999 99999 0\n";
    }
    RES_put("file_path", dir.c_str());
    ASSERT_NE(CTY_store(path.substr(path.rfind('/') + 1).c_str(), 3, nullptr, 9), 0);
    CTY_locate loc{};
    for (const float d : {0.1f, 0.3f, 2.0f}) {
        ASSERT_EQ(CTY_search_loc(10.02f + d, 20.02f + d, &loc), 1) << d;
        EXPECT_STREQ(loc.id, "KSWC") << d;
    }
    EXPECT_NE(TAB_search(CTY_get_table(), 3, " -300     0"), nullptr);
    EXPECT_NE(TAB_search(CTY_get_table(), 3, "    0  -600"), nullptr);
    ASSERT_EQ(CTY_search_loc(-30.0f, 0.03f, &loc), 1);
    EXPECT_STREQ(loc.id, "KGRW");
    ASSERT_EQ(CTY_search_loc(0.3f, -60.0f, &loc), 1);
    EXPECT_STREQ(loc.id, "KEQU");
    std::remove(path.c_str());
}

// ---- User buffers ------------------------------------------------------------------

int write_id(CTY_data *station, void *buffer) {
    std::snprintf(static_cast<char *>(buffer), 120, "%s/%d", station->id, station->prior);
    return 0;
}

TEST(CtyBuffers, EnterIterateEmptyAndFree) {
    use_fixture_dir();
    CTY_data_size(120);
    CTY_enter_func(write_id);
    Domain wide = wide_domain();
    ASSERT_NE(CTY_store(fixture, 3, &wide, 3), 0);

    auto *kden = static_cast<char *>(CTY_get_data("KDEN"));
    ASSERT_NE(kden, nullptr);
    EXPECT_STREQ(kden, "KDEN/1");
    EXPECT_STREQ(static_cast<char *>(CTY_get_data("72530")), "W-72530/3"); // five digits: the WMO key
    EXPECT_EQ(CTY_get_data("kden"), nullptr);
    EXPECT_EQ(CTY_get_data("QQQQ"), nullptr);

    std::vector<std::string> seen;
    for (void *b = CTY_next_data(0); b; b = CTY_next_data(1))
        seen.emplace_back(static_cast<char *>(b));
    EXPECT_THAT(seen, testing::ElementsAre("KDEN/1", "KCOS/2", "KAPA/3", "KGJT/3", "KCYS/2", "KORD/1",
                                           "W-72530/3", "CYYC/3"));
    // The iteration restarts with 0.
    EXPECT_STREQ(static_cast<char *>(CTY_next_data(0)), "KDEN/1");

    EXPECT_EQ(CTY_clear_data(1), 0);
    for (void *b = CTY_next_data(0); b; b = CTY_next_data(1))
        EXPECT_STREQ(static_cast<char *>(b), "");
    EXPECT_EQ(CTY_get_data("KDEN"), kden); // emptied, not replaced

    EXPECT_EQ(CTY_clear_data(0), 0);
    EXPECT_EQ(CTY_get_data("KDEN"), nullptr);
    EXPECT_EQ(CTY_next_data(0), nullptr);
    EXPECT_EQ(CTY_clear(), 0);
    CTY_locate loc{};
    EXPECT_EQ(CTY_search("KDEN", &loc), 0);
}

TEST(CtyBuffers, ClearFreesBuffersStillHeld) {
    use_fixture_dir();
    CTY_data_size(64);
    ASSERT_NE(CTY_store(fixture, 2, nullptr, 9), 0);
    EXPECT_STREQ(static_cast<char *>(CTY_get_data("KDEN")), "");
    // No CTY_clear_data(0) first: the leak check would report what is left.
    EXPECT_EQ(CTY_clear(), 0);
    EXPECT_EQ(CTY_get_data("KDEN"), nullptr);
}

TEST(CtyBuffers, SimpleEntriesInModeOne) {
    use_fixture_dir();
    CTY_data_size(8);
    ASSERT_NE(CTY_store(fixture, 1, nullptr, 9), 0);
    EXPECT_EQ(CTY_make_entry_simple("XTRA", "12345"), 0);
    CTY_data s{};
    ASSERT_EQ(CTY_search("XTRA", &s), 1);
    EXPECT_EQ(s.wmo, 12345);
    EXPECT_EQ(s.lat, -9999.0f);
    EXPECT_EQ(s.lon, -9999.0f);
    EXPECT_EQ(s.el, -9999.0f);
    ASSERT_EQ(CTY_search("12345", &s), 1);
    EXPECT_STREQ(s.id, "XTRA");
    EXPECT_NE(CTY_get_data("XTRA"), nullptr);
    CTY_clear_data(0);
    CTY_clear();

    ASSERT_NE(CTY_store(fixture, 3, nullptr, 9), 0);
    EXPECT_EQ(CTY_make_entry_simple("YTRA", "54321"), 0);
    CTY_locate loc{};
    EXPECT_EQ(CTY_search("YTRA", &loc), 0);
    EXPECT_EQ(CTY_get_table()->num_entry, 14);
    CTY_clear_data(0);
}

// ---- Selection expressions -------------------------------------------------------

CTY_data station(const char *name, const char *state, const char *region, const char *id, int prior,
                 float lat, float lon, float el, int wmo) {
    CTY_data s{};
    std::snprintf(s.name, sizeof s.name, "%s", name);
    std::snprintf(s.state, sizeof s.state, "%s", state);
    std::snprintf(s.region, sizeof s.region, "%s", region);
    std::snprintf(s.id, sizeof s.id, "%s", id);
    s.prior = prior;
    s.mos = ' ';
    s.ua = ' ';
    s.lat = lat;
    s.lon = lon;
    s.el = el;
    s.wmo = wmo;
    return s;
}

// CTY_data_cmp on a comma list, as the resource identifier gives it.
int cmp(const char *list, const CTY_data &s) {
    std::vector<std::string> items;
    std::stringstream ss(list);
    for (std::string item; std::getline(ss, item, ',');)
        items.push_back(item);
    if (items.empty()) items.emplace_back(); // the empty entry
    std::vector<char *> ptrs;
    for (std::string &i : items)
        ptrs.push_back(i.data());
    return CTY_data_cmp(static_cast<int>(ptrs.size()), ptrs.data(), &s);
}

TEST(CtyDataCmp, ExpressionsAndPlainNames) {
    const CTY_data den = station("Denver_Intl", "CO", "US", "KDEN", 1, 39.85f, -104.65f, 1656.0f, 72565);
    const CTY_data den5 = station("Denver_Intl", "CO", "US", "KDEN", 5, 39.85f, -104.65f, 1656.0f, 72565);
    const CTY_data cos = station("Colorado_Springs", "CO", "US", "KCOS", 3, 38.8f, -104.7f, -9999.0f, 99999);
    const CTY_data yyc = station("Calgary_Intl", "AB", "CA", "CYYC", 2, 51.1f, -114.0f, 1084.0f, 71877);
    const CTY_data low = station("Low_Number", "--", "XX", "W-00123", 4, 10.0f, 10.0f, 5.0f, 123);
    struct Case {
        const char *list;
        const CTY_data *s;
        int result;
    };
    const Case cases[] = {
        {"KDEN", &den, 0},
        {"kden", &den, 0},
        {"KDE", &den, -1},
        {"DENVE", &den, 0},
        {"denver_i", &den, 0},
        {"Denv", &den, -1}, // 4 characters: no prefix
        {"72565", &den, 0},
        {"72566", &den, -1},
        {"99999", &cos, -1},
        {"ST=CO:P<3", &den, 0},
        {"ST=CO:P<3", &cos, 0},
        {"ST=CO:P<3", &den5, -1},
        {"ST=CO:P<3", &yyc, -1},
        {"ST:CO_US", &den, 0},
        {"st=co_us", &den, 0},
        {"ST:co", &den, 0},
        {"ST=CO_CA", &den, -1},
        {"ST:CA", &den, -1},
        {"ST", &den, -1},
        {"CN", &den, -1},
        {"ST=C", &den, -1},
        {"CN=ca", &yyc, 0},
        {"CN:CA", &yyc, 0},
        {"CN=CA", &den, -1},
        {"ID=KDEN", &den, 0},
        {"ID=KDEN", &cos, -1},
        {"Name=XDen", &den, 0},
        {"Name=Den", &den, -1},
        {"Name=_de", &den, 0},
        {"Name=X", &den, -1},
        {"Name=", &den, -1},
        {"", &den, -1},
        {"P=1", &den, 0},
        {"P=2", &den, -1},
        {"P>1", &den, 0},
        {"P>2", &den, -1},
        {"P<x", &den, -1},
        {"Lat>39.85", &den, 0},
        {"Lat<39.8", &den, -1},
        {"Lat=39.85", &den, 0},
        {"Lon<-104", &den, 0},
        {"Lon>-104", &den, -1},
        {"Lat>38:Lat<40:Lon<-100", &cos, 0},
        {"Elev>1500", &den, 0},
        {"Elev<1500", &den, -1},
        {"Elev<1500", &cos, -1},
        {"Elev>0", &cos, -1},
        {"Elev=1656", &den, 0},
        {"WMO=72565", &den, 0},
        {"WMO=123", &low, -1},
        {"WMO=00123", &low, 0},
        {"WMO<72565", &den, 0},
        {"WMO>72566", &den, -1},
        {"WMO>70000", &cos, -1},
        {"WMO=99999", &cos, 0},
        {"00123", &low, 0},
        {"P<3,ID=KDEN", &den, 0},
        {"P<3,ID=KDEN", &den5, 1},
        {"KCOS,CYYC,KDEN", &den, 2},
        {"RA<39.7:-105:100", &den, 0},
        {"RA<39.7:-105:10", &den, -1},
        {"RA<51:-114:50", &yyc, 0},
        {"RA<39.7:-105", &den, -1},
        {"RA<39.7", &den, -1},
        {"RA<x:-105:100", &den, -1},
        {"ST:CO:P<2", &den, 0},
        {"ST:CO:P<2", &cos, -1},
        // A row that takes the next part moves on: later rows test the part taken.
        {"ST:P<2", &den, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(cmp(c.list, *c.s), c.result) << c.list << " / " << c.s->id;
    EXPECT_EQ(CTY_data_cmp(0, nullptr, &den), 1);
    char all[] = "all";
    char *list[] = {all};
    EXPECT_EQ(CTY_data_cmp(1, list, &den), -1); // "all" means nothing here
}

// Radius selections over every station of the generated file against PROJ's
// geod on the same sphere (radius 6371.3 km): a station passes exactly when
// geod puts it within the range. Stations within 1 km of the circle are left
// out (single-precision arithmetic).
TEST(CtyDataCmp, RadiusSelectionsAgreeWithGeod) {
    if (std::system("command -v geod >/dev/null 2>&1") != 0)
        FAIL() << "geod is missing: install the Debian package proj-bin";
    const std::vector<CTY_data> all = read_all(std::string(ZEQ_BUILD_DATA) + "/sao.cty");
    ASSERT_GT(all.size(), 5000u);
    struct Circle {
        float lat, lon, range;
        const char *expr;
    };
    const Circle circles[] = {
        {39.7f, -105.0f, 100.0f, "RA<39.7:-105:100"},
        {51.5f, 0.0f, 300.0f, "RA<51.5:0:300"},
        {-33.9f, 151.2f, 800.0f, "RA<-33.9:151.2:800"},
        {64.0f, -150.0f, 1500.0f, "RA<64:-150:1500"},
    };
    const std::string in = testing::TempDir() + "geod_in_" + std::to_string(getpid());
    {
        std::ofstream f(in);
        f.precision(9);
        for (const Circle &c : circles)
            for (const CTY_data &s : all)
                f << c.lat << ' ' << c.lon << ' ' << s.lat << ' ' << s.lon << '\n';
    }
    const std::string cmd = "geod +a=6371300 +b=6371300 -I +units=km -f %.6f < " + in;
    FILE *p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    for (const Circle &c : circles) {
        char expr[64];
        std::snprintf(expr, sizeof expr, "%s", c.expr);
        char *list[] = {expr};
        int inside = 0;
        for (const CTY_data &s : all) {
            double az1 = 0.0;
            double az2 = 0.0;
            double dist = 0.0;
            ASSERT_EQ(std::fscanf(p, "%lf %lf %lf", &az1, &az2, &dist), 3);
            const int r = CTY_data_cmp(1, list, &s);
            if (std::fabs(dist - c.range) < 1.0) continue;
            EXPECT_EQ(r, dist < c.range ? 0 : -1) << c.expr << " " << s.id << " " << dist;
            inside += r == 0;
        }
        EXPECT_GT(inside, 0) << c.expr;
    }
    pclose(p);
    std::remove(in.c_str());
}

// Field selections over every station of the generated file against the
// fields read back.
TEST(CtyDataCmp, FieldSelectionsOverTheGeneratedFile) {
    const std::vector<CTY_data> all = read_all(std::string(ZEQ_BUILD_DATA) + "/sao.cty");
    ASSERT_GT(all.size(), 5000u);
    struct Sel {
        const char *expr;
        bool (*want)(const CTY_data &);
    };
    const Sel sels[] = {
        {"ST=CO:P<3", [](const CTY_data &s) { return std::strcmp(s.state, "CO") == 0 && s.prior <= 3; }},
        {"CN=GB", [](const CTY_data &s) { return std::strcmp(s.region, "GB") == 0; }},
        {"ST:AB_CA:P>4",
         [](const CTY_data &s) {
             return std::strcmp(s.state, "AB") == 0 && std::strcmp(s.region, "CA") == 0 && s.prior >= 4;
         }},
        {"Lat>60:Lon<-140", [](const CTY_data &s) { return s.lat >= 60.0f && s.lon <= -140.0f; }},
        {"P=0", [](const CTY_data &s) { return s.prior == 0; }},
    };
    for (const Sel &sel : sels) {
        char expr[64];
        std::snprintf(expr, sizeof expr, "%s", sel.expr);
        char *list[] = {expr};
        int n = 0;
        for (const CTY_data &s : all) {
            const bool want = sel.want(s);
            EXPECT_EQ(CTY_data_cmp(1, list, &s), want ? 0 : -1) << sel.expr << " " << s.id;
            n += want;
        }
        EXPECT_GT(n, 0) << sel.expr;
    }
}

TEST(CtyIdsCmp, OperatorsAndEquality) {
    struct Case {
        std::vector<std::string> list;
        const char *id;
        int result;
    };
    const std::vector<Case> cases = {
        {{}, "KDEN", 1},
        {{"P<3"}, "KDEN", 1},
        {{"P<3"}, "ANYTHING", 1},
        {{"st:co"}, "KDEN", 1},
        {{"KCOS", "kden"}, "KDEN", 1},
        {{"KCOS", "KORD"}, "KDEN", 0},
        {{"STATION"}, "KDEN", 0},
        {{"ST"}, "KDEN", 0}, // a bare word without its ':' value
        {{"KCOS", "elev>5"}, "KDEN", 1},
    };
    for (const Case &c : cases) {
        std::vector<std::string> items = c.list;
        std::vector<char *> ptrs;
        for (std::string &i : items)
            ptrs.push_back(i.data());
        EXPECT_EQ(CTY_ids_cmp(static_cast<int>(ptrs.size()), ptrs.data(), c.id), c.result)
            << (c.list.empty() ? "" : c.list[0]) << " " << c.id;
    }
    EXPECT_EQ(CTY_id_cmp("WMO>7", "KDEN"), 1);
    EXPECT_EQ(CTY_id_cmp("KDEN", "kden"), 1);
    EXPECT_EQ(CTY_id_cmp("KDEN", "KCOS"), 0);
}

} // namespace
