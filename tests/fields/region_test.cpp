// Domains, domain texts, built-in regions, region files and the region prompt.
#include "fields/region.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

using zeqtest::TempDir;
using zeqtest::write_file;

constexpr float M = FMISSING;

// The fields a domain text decodes to.
struct Expect {
    int proj;
    float plat, plon;
    float clat, clon;
    int nx, ny;
    float dx, dy;
    int ellipse = 0;
    std::vector<float> param = {};
};

void expect_domain(const Domain &d, const Expect &e) {
    EXPECT_EQ(d.proj, e.proj);
    EXPECT_FLOAT_EQ(d.plat, e.plat);
    EXPECT_FLOAT_EQ(d.plon, e.plon);
    EXPECT_FLOAT_EQ(d.clat, e.clat);
    EXPECT_FLOAT_EQ(d.clon, e.clon);
    EXPECT_EQ(d.nx, e.nx);
    EXPECT_EQ(d.ny, e.ny);
    EXPECT_FLOAT_EQ(d.dx, e.dx);
    EXPECT_FLOAT_EQ(d.dy, e.dy);
    EXPECT_EQ(d.ellipse, e.ellipse);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_FLOAT_EQ(d.param[i], i < e.param.size() ? e.param[i] : M) << "param " << i;
}

Domain init_domain() {
    Domain d;
    DOM_init(&d);
    return d;
}

// Stderr of a call.
template <typename F> std::string stderr_of(F f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

// A region directory as the resource file_path.
class RegionDir {
public:
    RegionDir() { RES_put("file_path", dir_.path().c_str()); }
    void write(const std::string &name, const std::string &text) const { write_file(dir_.file(name), text); }
    std::string file(const std::string &name) const { return dir_.file(name); }

private:
    TempDir dir_;
};

// ---- Projection words ---------------------------------------------------------

TEST(ProjectionWords, PrefixesInOrder) {
    struct Case {
        const char *word;
        int proj;
    };
    const Case cases[] = {
        {"ll", 2},         {"LatLon", 2},     {"lat", 2},      {"polar", 1},   {"ps", 1},     {"PSTEREO", 1},
        {"sat", 9},        {"lamb", 4},       {"lambaz", 4},   {"lc", 4},      {"la", 8},     {"laea", 8},
        {"gnom", 6},       {"ortho", 5},      {"moll", 7},     {"me", 3},      {"merc", 3},   {"pixel", 99},
        {"xy", 20},        {"xlogy", 22},     {"xlogp", 22},   {"cat", 24},    {"skewt", 40}, {"emagram", 42},
        {"teph", 43},      {"rteph", 44},     {"thermo", 40},  {"stuve", 41},  {"hodo", 23},  {"vert", 22},
        {"xp", 25},        {"XP", 25},        {"xpa", -1},     {"xp:1:2", -1}, {"zoom", 50},  {"size", 51},
        {"miss", MISSING}, {"MISS", MISSING}, {"missing", -1}, {"l", -1},      {"p", -1},     {"", -1},
        {"foo", -1},       {"ll:-90", 2},     {"x", -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DOM_proj_str(c.word), c.proj) << c.word;
    EXPECT_EQ(DOM_proj_str(nullptr), -1);
}

// ---- Domain texts ----------------------------------------------------------------

TEST(DomainText, EmptyAndMissing) {
    for (const char *text : {"", "miss", "MISS"}) {
        FLAG_set(5, 77);
        Domain d;
        EXPECT_EQ(DOM_decode(text, &d), MISSING) << text;
        expect_domain(d, {MISSING, M, M, M, M, MISSING, MISSING, M, M});
        EXPECT_EQ(FLAG_get(5), 77); // nothing else changed
    }
    Domain d;
    EXPECT_EQ(DOM_decode(nullptr, &d), MISSING);
}

TEST(DomainText, PositionalForms) {
    RegionDir dir; // no region file: names fall back to the built-in regions
    struct Case {
        const char *text;
        int result;
        Expect e;
    };
    const Case cases[] = {
        {"ps,40,-100", 1, {1, M, M, 40, -100, 25, 17, 1.2f, 1.2f}},
        {"40,-100", 1, {1, M, M, 40, -100, 25, 17, 1.2f, 1.2f}},
        {"40 , -100,,", 1, {1, M, M, 40, -100, 25, 17, 1.2f, 1.2f}},
        {"ll:-90,35,-90,1,1", 1, {2, M, -90, 35, -90, 25, 17, 1, 1}},
        {"lc:e:25:-95:25:45,40,-95,2,2", 1, {4, 25, -95, 40, -95, 25, 17, 2, 2, 1, {25, 45}}},
        {"lc:e,40,-95", 1, {4, M, 0, 40, -95, 25, 17, 1.2f, 1.2f}},
        {"ps:e:60::1:2:3:4:5,40,-95", 1, {1, 60, 0, 40, -95, 25, 17, 1.2f, 1.2f, 1, {1, 2, 3, 4}}},
        {"ps:60:-100::65,40,-95", 1, {1, 60, -100, 40, -95, 25, 17, 1.2f, 1.2f, 0, {M, 65}}},
        // Six items with a projection: plon first when the latitude allows...
        {"ps,10,40,-100,1.5,1.4", 1, {1, M, 10, 40, -100, 25, 17, 1.5f, 1.4f}},
        // ...else the grid-size form.
        {"ps,40,-100,25,17,1.2", 1, {1, M, M, 40, -100, 25, 17, 1.2f, 1.2f}},
        {"ps:-105,40,-100,31,21,1.2,1.1", 1, {1, M, -105, 40, -100, 31, 21, 1.2f, 1.1f}},
        {"lamb,40,-100,31,21,1.2,1.1", 1, {4, M, M, 40, -100, 31, 21, 1.2f, 1.1f}},
        {"me,5,40,-100,31,21,1.2,1.1", 1, {3, M, 5, 40, -100, 31, 21, 1.2f, 1.1f}},
        {"40,-100,31,21,1.5,1.4", 1, {1, M, M, 40, -100, 31, 21, 1.5f, 1.4f}},
        {"ps,40,-100,1.5,1.4", 1, {1, M, M, 40, -100, 25, 17, 1.5f, 1.4f}},
        {"40,-100,31,21,1.5", 1, {1, M, M, 40, -100, 31, 21, 1.5f, 1.5f}},
        {"ps,40,-100,1.5", 1, {1, M, M, 40, -100, 25, 17, 1.5f, 1.5f}},
        {"40,-100,31,21", 1, {1, M, M, 40, -100, 31, 21, 1.2f, 1.2f}},
        {"40,-100,1.5", 1, {1, M, M, 40, -100, 25, 17, 1.5f, 1.5f}},
        {"40,-100,31,21,1.5x,1.4", 1, {1, M, M, 40, -100, 31, 21, 1.5f, 1.4f}},
        // Commands.
        {"size,640,480", 1, {51, M, M, M, M, 640, 480, M, M}},
        {"SIZE,640,480", 1, {51, M, M, M, M, 640, 480, M, M}},
        {"zoom,40,-100", 1, {50, M, M, 40, -100, 25, 17, 1, 1}},
        // Diagram axes carry data values, not latitudes.
        {"skewt,-40,1050", 1, {40, M, M, -40, 1050, 25, 17, 1.2f, 1.2f}},
        {"xy,0,0,100,50,200,100", 1, {20, M, M, 0, 0, 100, 50, 200, 100}},
        // Regions.
        {"us", 2, {1, M, -97, 39, -97, 25, 17, 2.3f, 2.3f}},
        {"NE", 2, {1, M, -76, 42, -76, 25, 17, 0.9f, 0.9f}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Domain d;
        EXPECT_EQ(DOM_decode(c.text, &d), c.result);
        expect_domain(d, c.e);
        EXPECT_EQ(FLAG_get(5), c.result);
    }
}

TEST(DomainText, InvalidTexts) {
    RegionDir dir;
    // A station file without KDEN.
    dir.write("sao.cty", "Colorado_Springs_Mun CO US KCOS 2 38.8167 -104.7167 9999 99999 5\n");
    const char *cases[] = {
        "foo",            // no region, built-in region or projection word
        "size",           // a size command needs its size
        "xx,1,2",         // no projection word
        "ps,abc,-100",    // no number
        "ps,40,-100,nan", // not a finite number
        "40,-100,1e40",   // out of range
        "40,-100,99999999999,17",
        "95,-100", // centre latitude outside the earth
        "ps,-91,-100",
        "ps:95:-100,40,-100", // pole latitude outside the earth
        "1,2,3,4,5,6,7,8,9",
        "id:KDEN", // station not in the station file
        "ps,id:KDEN,25,17,1.5",
        "ID:KDEN",
        "nofile:us", // region file not found
        "fi:nofile",
        ":us",
        "nofile:",
        "fi:", // standard input is no region file
        "-:us",
        "std:",
        // Domains that cannot be drawn: no centre (a projection word alone,
        // "none" or "miss" in the centre's place, an empty centre item)...
        "none",
        "none,1",
        "none,1,2",
        "miss,1,2",
        "ll",
        "zoom",
        "ps,,-100",
        // ...a size below 1 or beyond any grid, a spacing of 0 or below...
        "40,-100,-5,-5,1",
        "40,-100,0,17",
        "40,-100,25,17,-3,0",
        "40,-100,25,17,1.2,0",
        "size,0,480",
        "size,99999999999,5",
        "size,100001,2",
        "size,20000,20000",
        // ...or a longitude beyond a turn.
        "40,1e30",
        "ps,40,400",
        "ps:40:-1000,40,-100",
    };
    for (const char *text : cases) {
        SCOPED_TRACE(text);
        Domain d;
        int result = 0;
        const std::string err = stderr_of([&] { result = DOM_decode(text, &d); });
        EXPECT_EQ(result, -1);
        EXPECT_EQ(err, "DOM_decode: Invalid plot domain\n");
        EXPECT_EQ(FLAG_get(5), -1);
    }
}

TEST(DomainText, RecordsTheTextAsTemplateKeyR) {
    RegionDir dir;
    dir.write("zeq.reg", "a A 1 ne\n");
    auto key = [] {
        char buf[FILE_KEY_SIZE];
        FILE_get_key('r', buf, sizeof buf);
        return std::string(buf);
    };
    FILE_set_key('r', "before");
    Domain d;
    DOM_decode("miss", &d);
    EXPECT_EQ(key(), "before");
    DOM_decode("ps,40,-100", &d);
    EXPECT_EQ(key(), "ps,40,-100");
    DOM_decode("a", &d); // the text given, not the region's own text
    EXPECT_EQ(key(), "a");
    stderr_of([&] { DOM_decode("xx,1,2", &d); });
    EXPECT_EQ(key(), "xx,1,2");
}

TEST(DomainText, ParseTrace) {
    RegionDir dir;
    MESS_set(0, 0xFFFFFFFF);
    Domain d;
    testing::internal::CaptureStdout();
    DOM_decode("ps,40,-100", &d);
    DOM_decode("us", &d);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("******** PARSING DOMAIN: 3 ps,40,-100\n 0 proj,clat,clon\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("******** PARSING DOMAIN: 1 us\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" 0 reg:REG\n"), std::string::npos) << out;
}

// ---- Priority level ----------------------------------------------------------------

TEST(Priority, FromTheNorthSouthExtent) {
    const std::pair<float, int> cases[] = {
        {1000, 1},  {50.001f, 1}, {50, 2},    {36.8f, 2}, {25.01f, 2}, {25, 3}, {19.2f, 3}, {16, 3},
        {14.4f, 3}, {12.5f, 4},   {11.2f, 4}, {6.25f, 5}, {3.1f, 5},   {3, 6},  {0, 6},     {-5, 6},
    };
    for (auto [size, level] : cases) {
        DOM_set_base_prior(size);
        EXPECT_EQ(DOM_get_prior(), level) << size;
    }
}

TEST(Priority, FollowsEveryDecode) {
    RegionDir dir;
    const std::pair<const char *, int> cases[] = {
        {"us", 2}, {"40,-100", 3}, {"40,-100,1.0", 3}, {"40,-100,0.9", 3}, {"40,-100,0.7", 4}, {"sw", 3},
    };
    Domain d;
    for (auto [text, level] : cases) {
        DOM_set_prior(9);
        DOM_decode(text, &d);
        EXPECT_EQ(DOM_get_prior(), level) << text;
    }
    DOM_set_prior(9);
    stderr_of([&] { DOM_decode("xx,1,2", &d); });
    EXPECT_NE(DOM_get_prior(), 9); // set by an invalid text too
    DOM_set_prior(9);
    DOM_decode("miss", &d);
    EXPECT_EQ(DOM_get_prior(), 9);
}

TEST(Priority, StatPriorAdjusts) {
    const std::pair<const char *, int> cases[] = {
        {"+2", 5}, {"-1", 2}, {"5", 5}, {"7x", 7}, {"+12", 4}, {"x", 3}, {"+", 3}, {"", 3},
    };
    for (auto [value, level] : cases) {
        RES_put("stat_prior", value);
        DOM_set_base_prior(19.2f);
        EXPECT_EQ(DOM_get_prior(), level) << value;
    }
}

TEST(Priority, SettersAndLocalPriority) {
    EXPECT_EQ(DOM_get_prior(), 3);
    EXPECT_EQ(DOM_get_loc_prior(), 4);
    DOM_set_prior(7);
    DOM_set_loc_prior(2);
    EXPECT_EQ(DOM_get_prior(), 7);
    EXPECT_EQ(DOM_get_loc_prior(), 2);
}

// ---- Built-in regions ----------------------------------------------------------------

TEST(BuiltinRegions, Table) {
    struct Case {
        const char *name;
        float clat, clon, d;
    };
    const Case cases[] = {
        {"us", 39, -97, 2.3f}, {"ne", 42, -76, 0.9f},     {"at", 37, -82, 0.9f},  {"se", 31, -88, 1.1f},
        {"MW", 43, -93, 1.1f}, {"sp", 32.5f, -100, 1.2f}, {"nw", 44, -112, 1.0f}, {"Sw", 37, -112, 1.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FLAG_set(5, 0);
        Domain d = init_domain();
        EXPECT_EQ(DOM_get_def_region(c.name, &d), 1);
        expect_domain(d, {1, M, c.clon, c.clat, c.clon, 25, 17, c.d, c.d});
        EXPECT_EQ(FLAG_get(5), 1);
    }
    FLAG_set(5, 0);
    Domain d = init_domain();
    EXPECT_EQ(DOM_get_def_region("xyz", &d), 0);
    expect_domain(d, {1, M, M, M, M, 25, 17, 1.2f, 1.2f});
    EXPECT_EQ(FLAG_get(5), 0);
}

TEST(BuiltinRegions, VarAsksForTheCentre) {
    const zeqtest::ChildResult r = zeqtest::run_child(
        [] {
            Domain d = init_domain();
            const int result = DOM_get_def_region("var", &d);
            std::printf("\nRESULT %d %g %g %g %g\n", result, d.clat, d.clon, d.plon, d.dx);
            return 0;
        },
        {"45.5\n-80\n"});
    EXPECT_NE(r.out.find("Enter the central latitude: Enter the central longitude: "), std::string::npos);
    EXPECT_NE(r.out.find("RESULT 1 45.5 -80 -80 1.2\n"), std::string::npos) << r.out;
}

// In batch mode nobody answers: the prompts do not read standard input (which
// here never ends) and "var" has no centre, so the domain is invalid.
TEST(BuiltinRegions, VarInBatchModeHasNoCentre) {
    const zeqtest::ChildResult r = zeqtest::run_child(
        [] {
            FLAG_set_batch(1);
            Domain d = init_domain();
            const int result = DOM_decode("var", &d);
            std::printf("\nRESULT %d\n", result);
            return 0;
        },
        {"45.5\n-80\n", true});
    EXPECT_FALSE(r.timed_out);
    EXPECT_NE(r.out.find("RESULT -1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("No answer in batch mode to: Enter the central latitude: \n"), std::string::npos)
        << r.err;
}

// ---- Comparison, printing, aspect ------------------------------------------------------

TEST(Compare, FieldByField) {
    Domain a = init_domain();
    ASSERT_EQ(DOM_decode("lc:e:25:-95:25:45,40,-95,2,2", &a), 1);
    Domain b = a;
    EXPECT_EQ(DOM_comp(&a, &b), 1);
    EXPECT_EQ(DOM_comp_proj(&a, &b), 1);

    using Change = void (*)(Domain &);
    const Change grid_changes[] = {
        [](Domain &d) { d.clat += 1; }, [](Domain &d) { d.clon += 1; }, [](Domain &d) { d.dx += 1; },
        [](Domain &d) { d.dy += 1; },   [](Domain &d) { d.nx += 1; },   [](Domain &d) { d.ny += 1; },
    };
    for (Change change : grid_changes) {
        Domain c = a;
        change(c);
        EXPECT_EQ(DOM_comp(&a, &c), 0);
        EXPECT_EQ(DOM_comp_proj(&a, &c), 1); // centre, spacing and size are not the projection
    }
    const Change proj_changes[] = {
        [](Domain &d) { d.proj = 1; },     [](Domain &d) { d.plat += 1; },
        [](Domain &d) { d.plon += 1; },    [](Domain &d) { d.param[0] += 1; },
        [](Domain &d) { d.param[4] = 1; }, [](Domain &d) { d.ellipse = 0; },
    };
    for (Change change : proj_changes) {
        Domain c = a;
        change(c);
        EXPECT_EQ(DOM_comp(&a, &c), 0);
        EXPECT_EQ(DOM_comp(&c, &a), 0);
        EXPECT_EQ(DOM_comp_proj(&a, &c), 0);
    }
}

TEST(Compare, MissingReferencePointIsTheCentre) {
    Domain a = init_domain();
    ASSERT_EQ(DOM_decode("ps,40,-100", &a), 1); // plat and plon missing
    Domain b = a;
    b.plat = 40;
    b.plon = -100;
    EXPECT_EQ(DOM_comp(&a, &b), 1);
    EXPECT_EQ(DOM_comp(&b, &a), 1);
    b.plat = 60;
    EXPECT_EQ(DOM_comp(&a, &b), 0);
    b.plat = 40;
    b.plon = -105;
    EXPECT_EQ(DOM_comp_proj(&b, &a), 0);
    // A built-in region and the same region written as a text.
    Domain us = init_domain();
    DOM_get_def_region("us", &us);
    Domain text = init_domain();
    DOM_decode("39,-97,25,17,2.3", &text);
    EXPECT_EQ(DOM_comp(&us, &text), 1);
}

TEST(Print, OneLineReport) {
    struct Case {
        const char *text;
        const char *line;
    };
    const Case cases[] = {
        {"lc:e:25:-95:25:45,40,-95,2,2",
         "lamb:e:25.000:-95.000:25.000:45.000:,40.000,-95.000,25,17,2.0000,2.0000\n"},
        {"ps,40,-100", "pstereo:::::,40.000,-100.000,25,17,1.2000,1.2000\n"},
        {"size,640,480", ":::::,-9999.000,-9999.000,640,480,-9999.0000,-9999.0000\n"},
        {"la:10:20,1,2", "lambaz:10.000:20.000:::,1.000,2.000,25,17,1.2000,1.2000\n"},
    };
    for (const Case &c : cases) {
        Domain d;
        ASSERT_EQ(DOM_decode(c.text, &d), 1) << c.text;
        testing::internal::CaptureStdout();
        EXPECT_EQ(DOM_print(M_PRINT, &d), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
    }
    Domain d;
    DOM_decode("ps,40,-100", &d);
    MESS_set(-1, M_OUT1);
    testing::internal::CaptureStdout();
    DOM_print(M_OUT1, &d);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(Aspect, GridShape) {
    Domain d = init_domain();
    d.nx = 25;
    d.ny = 17;
    EXPECT_FLOAT_EQ(DOM_aspect(&d), 1.5f);
    d.nx = 1;
    EXPECT_FLOAT_EQ(DOM_aspect(&d), 1.0f);
    d.nx = 25;
    d.ny = 1;
    EXPECT_FLOAT_EQ(DOM_aspect(&d), 1.0f);
    d.ny = MISSING;
    EXPECT_FLOAT_EQ(DOM_aspect(&d), 1.0f);
}

// ---- Region files ----------------------------------------------------------------------

// 21 regions shown, one hidden, one occupying a row without being shown, a
// comment and a blank line.
const char *const kRegions =
    "# ABBR DESC DISP DOMAIN\n"
    "r1 First_region 1 40,-100,31,21,1.5\n"
    "hid Hidden 0 ps,50,10\n"
    "two Shown_elsewhere 2 ps,51,11\n"
    "r3 Third 1 ps,52,12\n"
    "\n"
    "r4 Fourth 1 ps,53,13\n"
    "toolong Too_long 1 ps,54,14\n"
    "r5 Twenty_five_characters_x 1 ps,55,15\n"
    "r6 R6 1 ps,1,6\nr7 R7 1 ps,1,7\nr8 R8 1 ps,1,8\nr9 R9 1 ps,1,9\nr10 R10 1 ps,1,10\n"
    "r11 R11 1 ps,1,11\nr12 R12 1 ps,1,12\nr13 R13 1 ps,1,13\nr14 R14 1 ps,1,14\n"
    "r15 R15 1 ps,1,15\nr16 R16 1 ps,1,16\nr17 R17 1 ps,1,17\nr18 R18 1 ps,1,18\n"
    "r19 R19 1 ps,1,19\nr20 R20 1 ps,1,20\n"
    "us Not_built_in 0 ps,45,-90\n";

TEST(RegionFile, Menu) {
    RegionDir dir;
    dir.write("zeq.reg", kRegions);
    EXPECT_EQ(DOM_get_region_name(0), std::string("Return to previous menu"));
    std::string err = stderr_of([] { EXPECT_EQ(DOM_read_menu("zeq.reg"), 1); });
    EXPECT_EQ(err, "DOM_read_menu: Region abbreviation longer than 5 characters: toolong\n");

    // Rows: r1, two (not shown), r3, r4, r5 ... r19: 19 rows in all.
    EXPECT_STREQ(DOM_get_region_name(1), "First region");
    EXPECT_STREQ(DOM_get_region_name(2), "Shown elsewhere");
    EXPECT_STREQ(DOM_get_region_name(3), "Third");
    EXPECT_STREQ(DOM_get_region_name(5), "Twenty five characte");
    EXPECT_STREQ(DOM_get_region_name(19), "R19");
    EXPECT_EQ(DOM_get_region_name(20), nullptr);
    EXPECT_EQ(DOM_get_region_name(-1), nullptr);

    // The menu shows 18 of them, numbered in order.
    const zeqtest::ChildResult r = zeqtest::run_child(
        [] {
            Domain d;
            std::printf("\nRESULT %d\n", DOM_prompt_region(&d, 1));
            return 0;
        },
        {"2\n"});
    EXPECT_NE(r.out.find("  1: First region"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  2: Third"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Shown elsewhere"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Hidden"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" 18: R19"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("R20"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("RESULT 2\n"), std::string::npos) << r.out;

    // A second file replaces the rows.
    dir.write("other.reg", "o1 Other 1 ps,1,1\n");
    EXPECT_EQ(DOM_read_menu("other.reg"), 1);
    EXPECT_STREQ(DOM_get_region_name(1), "Other");
    EXPECT_EQ(DOM_get_region_name(2), nullptr);
    EXPECT_EQ(DOM_read_menu("missing.reg"), 0);
    EXPECT_STREQ(DOM_get_region_name(1), "Other");
}

TEST(RegionFile, Search) {
    RegionDir dir;
    dir.write("zeq.reg", kRegions);
    struct Case {
        const char *name;
        int found;
        const char *text;
    };
    const Case cases[] = {
        {"R1", 1, "40,-100,31,21,1.5"},
        {"hid", 1, "ps,50,10"},     // not in the menu, found by name
        {"r4", 1, "ps,53,13"},      // after the blank line
        {"toolong", 1, "ps,54,14"}, // too long for the menu, found by name
        {"r20", 1, "ps,1,20"},
        {"#", 0, ""},
        {"ABBR", 0, ""},
        {"nothing", 0, ""},
        {nullptr, 1, "40,-100,31,21,1.5"}, // the first usable line
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name ? c.name : "null");
        char text[80] = "";
        EXPECT_EQ(DOM_search_file("zeq.reg", c.name, text, sizeof text), c.found);
        EXPECT_STREQ(text, c.text);
    }
    char small[5] = "";
    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(DOM_search_file("zeq.reg", "r1", small, sizeof small), 0); }),
              "DOM_search_file: Domain text longer than 4 characters: 40,-100,31,21,1.5\n");
    EXPECT_EQ(DOM_search_file("nothere.reg", nullptr, small, sizeof small), 0);
}

TEST(RegionFile, OneTokenFirstLineServesOnlyTheSearchWithoutName) {
    RegionDir dir;
    dir.write("one.reg", "\n40,-100,31,21\nr1 First 1 ps,50,10\n");
    char text[80] = "";
    EXPECT_EQ(DOM_search_file("one.reg", nullptr, text, sizeof text), 1);
    EXPECT_STREQ(text, "40,-100,31,21");
    EXPECT_EQ(DOM_search_file("one.reg", "r1", text, sizeof text), 1);
    EXPECT_STREQ(text, "ps,50,10");
    EXPECT_EQ(DOM_search_file("one.reg", "40,-100,31,21", text, sizeof text), 0);
}

TEST(RegionFile, OverlongDomainTextIsPassedOver) {
    RegionDir dir;
    const std::string long_text = "40,-100,31,21," + std::string(70, '1');
    dir.write("zeq.reg", "big Big 1 " + long_text + "\nbig Big 1 ps,1,2\n");
    char text[200] = "";
    std::string err = stderr_of([&] { EXPECT_EQ(DOM_search_file("zeq.reg", "big", text, sizeof text), 1); });
    EXPECT_STREQ(text, "ps,1,2");
    EXPECT_NE(err.find("longer than 79 characters"), std::string::npos);
}

TEST(RegionFile, Listing) {
    RegionDir dir;
    dir.write("zeq.reg", "# comment\nr1 First_region 1 ps,1,1\n\nhid Hidden 0 ps,2,2\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(DOM_print_file("zeq.reg"), 0);
    char line1[80], line2[80];
    std::snprintf(line1, sizeof line1, "%-8s %-50s\n", "r1", "First_region");
    std::snprintf(line2, sizeof line2, "%-8s %-50s\n", "hid", "Hidden");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(" Abbr    Description\n") + line1 + line2);
    testing::internal::CaptureStdout();
    DOM_print_file("none.reg");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(RegionFile, RegionItems) {
    RegionDir dir;
    dir.write("zeq.reg", "us Own_US 1 45,-90,31,21,1.5\n"
                         "ch1 Chain 0 ch2\n"
                         "ch2 Chain 0 ch3\n"
                         "ch3 Chain 0 ne\n"
                         "bad Bad 0 xx,1,2\n"
                         "gone Gone 0 nofile:x\n");
    dir.write("my.reg", "first First 1 ll,10,20,5,5,1,1\nsec Second 1 40,-100,0.5\n");
    const std::string full = dir.file("my.reg") + ":SEC";
    struct Case {
        const char *text;
        int result;
        Expect e;
    };
    const Case cases[] = {
        {"us", 2, {1, M, M, 45, -90, 31, 21, 1.5f, 1.5f}}, // the file wins over the built-in region
        {"ch1", 2, {1, M, -76, 42, -76, 25, 17, 0.9f, 0.9f}},
        {"my.reg:sec", 2, {1, M, M, 40, -100, 25, 17, 0.5f, 0.5f}},
        {"fi:my.reg", 2, {2, M, M, 10, 20, 5, 5, 1, 1}},
        {full.c_str(), 2, {1, M, M, 40, -100, 25, 17, 0.5f, 0.5f}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Domain d;
        EXPECT_EQ(DOM_decode(c.text, &d), c.result);
        expect_domain(d, c.e);
        EXPECT_EQ(FLAG_get(5), c.result);
    }
    for (const char *text : {"bad", "gone", "my.reg:third"}) {
        Domain d;
        EXPECT_EQ(stderr_of([&] { EXPECT_EQ(DOM_decode(text, &d), -1) << text; }),
                  "DOM_decode: Invalid plot domain\n");
    }

    // "FILE:" loads the file as the region menu.
    Domain d;
    EXPECT_EQ(DOM_decode("my.reg:", &d), 2);
    expect_domain(d, {MISSING, M, M, M, M, MISSING, MISSING, M, M});
    EXPECT_STREQ(DOM_get_region_name(1), "First");
    EXPECT_STREQ(DOM_get_region_name(2), "Second");
}

TEST(RegionFile, CircularDefinitionsStopAtTheNestingBound) {
    RegionDir dir;
    dir.write("zeq.reg", "self Self 1 self\n"
                         "a A 1 b\n"
                         "b B 1 a\n");
    dir.write("loop.reg", "fi:loop.reg\n");
    for (const char *text : {"self", "a", "fi:loop.reg"}) {
        SCOPED_TRACE(text);
        Domain d;
        int result = 0;
        const std::string err = stderr_of([&] { result = DOM_decode(text, &d); });
        EXPECT_EQ(result, -1);
        EXPECT_NE(err.find("DOM_decode: Region definitions nested deeper than 8 levels"), std::string::npos)
            << err;
        EXPECT_NE(err.find("DOM_decode: Invalid plot domain\n"), std::string::npos);
    }
}

TEST(RegionFile, MissingFileIsNamedAtTheDebugLevel) {
    RegionDir dir;
    MESS_set(0, 0xFFFFFFFF);
    testing::internal::CaptureStdout();
    EXPECT_EQ(DOM_read_menu("zeq.reg"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Unable to open region file: " + dir.file("zeq.reg") + "\n");
}

// A region file is a regular file, whoever names it: a command is not run and
// a device or FIFO is not read (a FIFO would block the open, /dev/zero never
// end). A name inside a longer text of the user (a station file after "id:")
// runs no command either.
TEST(RegionFile, CommandsAndSpecialFilesAreNoRegionFiles) {
    RegionDir dir;
    const std::string ran = dir.file("ran");
    const std::string fifo = dir.file("fifo.reg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    dir.write("zeq.reg",
              "xx Evil 1 fi:|touch${IFS}" + ran + "\nst Station 1 id:|touch${IFS}" + ran + ":KBOS\n");
    const std::string command = "|touch " + ran;
    const std::string user_id = "ps,id:" + command + ":KBOS,25,17,1.5";
    FILE_set_trust(FILE_TRUST_USER);
    FILE_user_text(user_id.c_str());
    FILE_user_text(command.c_str());
    char text[80];
    for (const std::string &file : {std::string("/dev/zero"), fifo}) {
        SCOPED_TRACE(file);
        const std::string err = stderr_of([&] {
            EXPECT_EQ(DOM_read_menu(file.c_str()), 0);
            EXPECT_EQ(DOM_search_file(file.c_str(), nullptr, text, sizeof text), 0);
        });
        EXPECT_NE(err.find("DOM_read_menu: Not a regular file: " + file + " ("), std::string::npos) << err;
        EXPECT_NE(err.find("DOM_search_file: Not a regular file: " + file + " ("), std::string::npos) << err;
    }
    for (const std::string &domain : {std::string("xx"), std::string("st"), "fi:" + command, user_id}) {
        SCOPED_TRACE(domain);
        Domain d;
        int result = 0;
        stderr_of([&] { result = DOM_decode(domain.c_str(), &d); });
        EXPECT_EQ(result, -1);
    }
    // Without file_path the names reach the file module as they are written.
    RES_put("file_path", "");
    for (const std::string &file : {command, "|touch${IFS}" + ran}) {
        SCOPED_TRACE(file);
        const std::string err =
            stderr_of([&] { EXPECT_EQ(DOM_search_file(file.c_str(), nullptr, text, sizeof text), 0); });
        EXPECT_NE(err.find("DOM_search_file: Not a regular file: " + file + " ("), std::string::npos) << err;
    }
    EXPECT_FALSE(std::filesystem::exists(ran));
    // The same command named whole by the user as the station file does run.
    RES_put("city_file", command.c_str());
    Domain d;
    stderr_of([&] { DOM_decode("ps,id:KBOS,25,17,1.5", &d); });
    EXPECT_TRUE(std::filesystem::exists(ran));
}

// ---- Resource domains ----------------------------------------------------------------

TEST(ResourceDomains, RegionAndGridDomain) {
    RegionDir dir;
    dir.write("zeq.reg", "first First 1 ps,10,20\n");
    Domain d;
    EXPECT_EQ(DOM_get_region(&d, 1), 0);
    EXPECT_EQ(DOM_get_grid_domain(&d), 0);
    EXPECT_EQ(DOM_get_region(&d, 4), 2);
    EXPECT_FLOAT_EQ(d.clat, 10);

    RES_put("plot_domain", "ps,30,40");
    RES_put("region", "ne");
    RES_put("grid_domain", "ps,50,60");
    EXPECT_EQ(DOM_get_region(&d, 1), 1);
    EXPECT_FLOAT_EQ(d.clat, 30);
    EXPECT_EQ(DOM_get_region(&d, 2), 2);
    EXPECT_FLOAT_EQ(d.clat, 42);
    EXPECT_EQ(DOM_get_grid_domain(&d), 1);
    EXPECT_FLOAT_EQ(d.clat, 50);
    RES_put("grid_domain", nullptr);
    EXPECT_EQ(DOM_get_grid_domain(&d), 2);
    RES_put("region", "");
    EXPECT_EQ(DOM_get_grid_domain(&d), 1);
    EXPECT_FLOAT_EQ(d.clat, 30);
}

// ---- The region prompt ----------------------------------------------------------------

struct PromptRun {
    zeqtest::ChildResult child;
    std::vector<int> results;
};

// Calls DOM_prompt_region `calls` times in a child reading `input`.
PromptRun prompt(const std::string &input, int calls = 1) {
    PromptRun run;
    run.child = zeqtest::run_child(
        [calls] {
            Domain d;
            for (int i = 0; i < calls; ++i) {
                const int r = DOM_prompt_region(&d, 1);
                std::printf("\nRESULT %d %g %g\n", r, d.clat, d.clon);
            }
            return 0;
        },
        {input});
    std::istringstream out(run.child.out);
    for (std::string line; std::getline(out, line);) {
        int r = 0;
        if (std::sscanf(line.c_str(), "RESULT %d", &r) == 1) run.results.push_back(r);
    }
    return run;
}

const char *const kMenu = "ne Northeast 1 ps,42,-76\n"
                          "sw South_west 1 ps,37,-112\n"
                          "x3 Third 0 ps,1,1\n";

TEST(RegionPrompt, ResourcesAreUsedOnce) {
    RegionDir dir;
    dir.write("zeq.reg", kMenu);
    RES_put("plot_domain", "ps,40,-100");
    PromptRun run = prompt("", 2);
    EXPECT_EQ(run.results, (std::vector<int>{1, 0}));
    EXPECT_EQ(run.child.out.find("Enter the region"), std::string::npos);

    RES_put("plot_domain", "miss");
    RES_put("region", "us");
    run = prompt("", 2);
    EXPECT_EQ(run.results, (std::vector<int>{2, 0}));
    EXPECT_NE(run.child.out.find("RESULT 2 39 -97"), std::string::npos);
}

TEST(RegionPrompt, InvalidResourceEndsWithStatus43) {
    RegionDir dir;
    for (const char *name : {"plot_domain", "region"}) {
        RES_put("plot_domain", nullptr);
        RES_put("region", nullptr);
        RES_put(name, "xx,1,2");
        const PromptRun run = prompt("");
        EXPECT_EQ(run.child.status, 43) << name;
        EXPECT_TRUE(run.results.empty());
        EXPECT_EQ(run.child.err, "DOM_decode: Invalid plot domain\nInvalid domain\n");
    }
}

TEST(RegionPrompt, BatchTakesTheFirstRegionOnce) {
    RegionDir dir;
    dir.write("zeq.reg", "# first line\nx0 Hidden 0 ps,1,1\n" + std::string(kMenu));
    FLAG_set_batch(1);
    const PromptRun run = prompt("", 2);
    EXPECT_EQ(run.results, (std::vector<int>{2, 0}));
    EXPECT_NE(run.child.out.find("RESULT 2 42 -76"), std::string::npos);
    EXPECT_EQ(run.child.out.find("Enter the region"), std::string::npos);
}

TEST(RegionPrompt, BatchWithoutRegionEndsWithStatus43) {
    RegionDir dir; // no region file
    FLAG_set_batch(1);
    PromptRun run = prompt("");
    EXPECT_EQ(run.child.status, 43);
    EXPECT_EQ(run.child.err, "DOM_prompt_region: No region for the batch run\n");

    dir.write("zeq.reg", "bad Bad 1 xx,1,2\n");
    run = prompt("");
    EXPECT_EQ(run.child.status, 43);
    EXPECT_NE(run.child.err.find("Invalid domain\n"), std::string::npos);
}

TEST(RegionPrompt, Answers) {
    RegionDir dir;
    dir.write("zeq.reg", kMenu);
    struct Case {
        const char *input;
        int result;
        float clat;
    };
    const Case cases[] = {
        {"2\n", 2, 37},         {"SW\n", 2, 37},         {"NORTHEAST\n", 2, 42}, // the description
        {"x3\n", 2, 1},         {"ps,40,-100\n", 1, 40}, {"se\n", 2, 31},
        {"0\n", 0, 0},          {"main\n", 0, 0},        {"back\n", 0, 0},
        {"miss\n", MISSING, 0}, {"?\nne\n", 2, 42},      {"foo\nfoo\nfoo\nfoo\nne\n", 2, 42},
        {"list\nne\n", 2, 42},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        const PromptRun run = prompt(c.input);
        EXPECT_EQ(run.child.status, 0);
        ASSERT_EQ(run.results.size(), 1u);
        EXPECT_EQ(run.results[0], c.result);
        if (c.result > 0) {
            EXPECT_NE(run.child.out.find("RESULT " + std::to_string(c.result) + " " +
                                         std::to_string(static_cast<int>(c.clat))),
                      std::string::npos);
        }
    }
}

TEST(RegionPrompt, MenuAndListing) {
    RegionDir dir;
    dir.write("zeq.reg", kMenu);
    const PromptRun run = prompt("list\nne\n");
    const std::string &out = run.child.out;
    EXPECT_NE(out.find("\n        Region Menu\n\n  1: Northeast"), std::string::npos) << out;
    EXPECT_NE(out.find("  2: South west"), std::string::npos);
    EXPECT_GT(out.find("Third"), out.find(" Abbr    Description")); // listed, not in the menu
    EXPECT_NE(out.find("  0: Return to previous menu       \n -1: Exit program"), std::string::npos);
    EXPECT_NE(out.find("Enter the region: "), std::string::npos);
    EXPECT_NE(out.find(" Abbr    Description\nne       Northeast"), std::string::npos) << out;
    EXPECT_NE(out.find("x3       Third"), std::string::npos);
}

TEST(RegionPrompt, ExitEndsWithStatus0) {
    RegionDir dir;
    dir.write("zeq.reg", kMenu);
    for (const char *input : {"exit\n", "-1\n", ""}) {
        const PromptRun run = prompt(input);
        EXPECT_EQ(run.child.status, 0) << input;
        EXPECT_TRUE(run.results.empty()) << input;
    }
}

TEST(RegionPrompt, FiveUnusableAnswersEndWithStatus43) {
    RegionDir dir;
    dir.write("zeq.reg", kMenu);
    for (const char *input : {"foo\nxx,1,2\nfoo\nfoo\nfoo\nne\n", "foo\nlist\nfoo\nlist\nfoo\nne\n"}) {
        const PromptRun run = prompt(input);
        EXPECT_EQ(run.child.status, 43);
        EXPECT_TRUE(run.results.empty());
        EXPECT_NE(run.child.err.find("DOM_prompt_region: No usable region after 5 answers\n"),
                  std::string::npos);
    }
    const PromptRun run = prompt("foo\n?\n?\nfoo\nfoo\nfoo\nne\n"); // "?" is no try
    EXPECT_EQ(run.results, (std::vector<int>{2}));
    std::size_t warnings = 0;
    for (std::size_t p = run.child.err.find("Invalid domain\n"); p != std::string::npos;
         p = run.child.err.find("Invalid domain\n", p + 1))
        ++warnings;
    EXPECT_EQ(warnings, 4u);
}

TEST(RegionPrompt, LoadedMenuIsShownAtTheNextQuestion) {
    RegionDir dir;
    dir.write("zeq.reg", kMenu);
    dir.write("my.reg", "m1 Mine 1 ps,11,22\n");
    const PromptRun run = prompt("my.reg:\n1\n", 2);
    EXPECT_EQ(run.results, (std::vector<int>{MISSING, 2}));
    EXPECT_NE(run.child.out.find("  1: Mine"), std::string::npos);
    EXPECT_NE(run.child.out.find("RESULT 2 11 22"), std::string::npos) << run.child.out;
}

TEST(RegionPrompt, ReArmed) {
    RegionDir dir;
    RES_put("region", "ne");
    const zeqtest::ChildResult r = zeqtest::run_child([] {
        Domain d;
        const int a = DOM_prompt_region(&d, 1);
        const int b = DOM_prompt_region(&d, 1);
        DOM_set_prompt_region(1);
        const int c = DOM_prompt_region(&d, 1);
        std::printf("%d %d %d\n", a, b, c);
        return 0;
    });
    EXPECT_EQ(r.out, "2 0 2\n");
}

// ---- The region file we ship ----------------------------------------------------------

TEST(ShippedRegions, EveryRegionDecodes) {
    // file_path unset: the build's data directory.
    std::ifstream in(std::string(ZEQ_SOURCE_DIR) + "/data/zeq.reg");
    ASSERT_TRUE(in);
    int regions = 0;
    int shown = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        std::string abbr, desc, domain;
        int disp = -1;
        ASSERT_TRUE(s >> abbr >> desc >> disp >> domain) << line;
        SCOPED_TRACE(abbr);
        EXPECT_LE(abbr.size(), 5u);
        EXPECT_LE(desc.size(), 20u);
        EXPECT_LE(domain.size(), 79u);
        ++regions;
        shown += disp == 1;

        Domain d;
        EXPECT_EQ(DOM_decode(abbr.c_str(), &d), 2);
        EXPECT_GE(d.proj, 1);
        EXPECT_LE(d.proj, 9);
        EXPECT_GT(d.nx, 1);
        EXPECT_GT(d.ny, 1);
        EXPECT_GT(d.dx, 0);
        EXPECT_GT(d.dy, 0);
        EXPECT_LE(std::fabs(d.clat), 90);
        EXPECT_LE(std::fabs(d.clon), 180);

        // The built-in regions are written out as the same domains.
        Domain builtin;
        DOM_init(&builtin);
        if (DOM_get_def_region(abbr.c_str(), &builtin)) {
            EXPECT_EQ(DOM_comp(&builtin, &d), 1);
        }
    }
    EXPECT_GE(regions, 20);
    EXPECT_LE(shown, 19);
    EXPECT_EQ(DOM_read_menu("zeq.reg"), 1);
    EXPECT_NE(DOM_get_region_name(shown), nullptr);
}

TEST(ShippedRegions, WorkingDirectoryComesFirst) {
    TempDir dir;
    write_file(dir.file("zeq.reg"), "us Own_US 1 45,-90,31,21,1.5\n");
    Domain d;
    EXPECT_EQ(DOM_decode("eu", &d), 2); // shipped
    EXPECT_EQ(d.proj, 4);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_EQ(DOM_decode("us", &d), 2);
    EXPECT_FLOAT_EQ(d.clat, 45);
    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(DOM_decode("eu", &d), -1); }), "DOM_decode: Invalid plot domain\n");
    ASSERT_EQ(chdir("/"), 0);
}

} // namespace
