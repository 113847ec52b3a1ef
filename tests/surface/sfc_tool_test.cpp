// Surface report operations: emptying, gross checks, comparison and merge.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "fields/var_tool.h"
#include "plot/zeqraw.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/reference.h"
#include "surface/sfc_plt.h"
#include "surface/sfc_tool.h"
#include "surface/wx_tool.h"

namespace {

SFC_report empty_report() {
    SFC_report r;
    std::memset(&r, 0x5a, sizeof r);
    SFC_initialize(&r);
    return r;
}

// Runs f with the report messages on and returns what it printed.
std::string messages(const std::function<void()> &f) {
    MESS_set(1, M_OUT4_D);
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

TEST(ReportInitialize, EveryFieldMissingOrEmpty) {
    const SFC_report r = empty_report();
    EXPECT_STREQ(r.id, "");
    EXPECT_STREQ(r.area, "");
    EXPECT_STREQ(r.weather, " ");
    EXPECT_STREQ(r.comment, "");
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.num_cld, 0);
    EXPECT_EQ(r.flag, 0);
    for (int v : {r.wmo, r.prior, r.time, r.ptend_t, r.rain_per})
        EXPECT_EQ(v, MISSING);
    for (float v : {r.lat,    r.lon,   r.elev,   r.vis,    r.pmb,    r.t,     r.td,     r.w_dir,   r.w_spd,
                    r.w_gust, r.alt,   r.ptend,  r.rain1,  r.rain3,  r.rain6, r.rain12, r.rain24,  r.rain,
                    r.max_t,  r.min_t, r.max6_t, r.min6_t, r.scover, r.solar, r.sst,    r.wav_per, r.wav_hgt})
        EXPECT_EQ(v, FMISSING);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(r.cld_height[i], FMISSING);
        EXPECT_EQ(r.cld_cover[i], ' ');
    }
    EXPECT_EQ(std::string(r.cld_type, 3), "   ");
    EXPECT_EQ(r.cld_low, ' ');
}

TEST(ReportCheckValid, RangesAndDewPoint) {
    struct Case {
        const char *what;
        std::function<void(SFC_report &)> set;
        std::function<bool(const SFC_report &)> expect;
    };
    const Case cases[] = {
        {"dew point above temperature", [](SFC_report &r) { r.t = 40, r.td = 45; },
         [](const SFC_report &r) { return r.t == 40 && r.td == 40; }},
        {"missing temperature", [](SFC_report &r) { r.td = 30; },
         [](const SFC_report &r) { return r.td == FMISSING; }},
        {"wind speed 120", [](SFC_report &r) { r.w_spd = 120, r.w_gust = 120; },
         [](const SFC_report &r) { return r.w_spd == FMISSING && r.w_gust == 120; }},
        {"bounds are closed", [](SFC_report &r) { r.pmb = 1150, r.alt = 26, r.time = 2400, r.ptend_t = 9; },
         [](const SFC_report &r) {
             return r.pmb == 1150 && r.alt == 26 && r.time == 2400 && r.ptend_t == 9;
         }},
        {"just outside",
         [](SFC_report &r) { r.pmb = 899.9f, r.time = 2401, r.ptend_t = 10, r.wav_per = 10.5f; },
         [](const SFC_report &r) {
             return r.pmb == FMISSING && r.time == MISSING && r.ptend_t == MISSING && r.wav_per == FMISSING;
         }},
        {"cloud height", [](SFC_report &r) { r.cld_height[0] = 35000, r.cld_height[4] = 35001; },
         [](const SFC_report &r) { return r.cld_height[0] == 35000 && r.cld_height[4] == FMISSING; }},
        {"precipitation",
         [](SFC_report &r) { r.rain3 = 10.5f, r.rain6 = 12, r.rain24 = -0.1f, r.rain1 = 99; },
         [](const SFC_report &r) {
             return r.rain3 == FMISSING && r.rain6 == 12 && r.rain24 == FMISSING && r.rain1 == 99;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SFC_report r = empty_report();
        c.set(r);
        EXPECT_EQ(SFC_check_valid(&r), 0);
        EXPECT_TRUE(c.expect(r));
    }
}

TEST(ReportCompare, FirstDifferingCategoryAndEveryMessage) {
    struct Case {
        const char *what;
        std::function<void(SFC_report &, SFC_report &)> set;
        int result;
        const char *printed;
    };
    const Case cases[] = {
        {"identical", [](SFC_report &, SFC_report &) {}, 0, ""},
        {"3-hour amount on one side", [](SFC_report &, SFC_report &b) { b.rain3 = 0.1f; }, 10,
         "Different 3 hr precip\n"},
        {"temperature on one side", [](SFC_report &, SFC_report &b) { b.t = 50; }, 0, ""},
        {"time and temperature",
         [](SFC_report &a, SFC_report &b) { a.time = 1200, b.time = 1300, a.t = 50, b.t = 51; }, 2,
         "Different times\nDifferent temperatures\n"},
        {"types", [](SFC_report &a, SFC_report &b) { a.type = 1, b.type = 2; }, 1, "Different types: 1 2\n"},
        {"weather against none", [](SFC_report &a, SFC_report &) { std::strcpy(a.weather, "RA"); }, 0, ""},
        {"clouds and cloud types",
         [](SFC_report &a, SFC_report &b) {
             a.cld_cover[1] = 'S', b.cld_cover[1] = 'B';
             std::memcpy(a.cld_type, "123", 3), std::memcpy(b.cld_type, "1 4", 3);
         },
         7, "Different cloud covers\nDifferent cloud types\n"},
        {"comments",
         [](SFC_report &a, SFC_report &b) { std::strcpy(a.comment, "x"), std::strcpy(b.comment, "y"); }, 16,
         "Different comments\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SFC_report a = empty_report(), b = empty_report();
        c.set(a, b);
        int result = -1;
        EXPECT_EQ(messages([&] { result = SFC_compare(&a, &b); }), c.printed);
        EXPECT_EQ(result, c.result);
    }
}

// A report with a value in every category; another k gives another value
// in every field of the categories.
SFC_report full_report(int k = 0) {
    SFC_report r = empty_report();
    r.type = 2 + k, r.time = 1200 + 100 * k, r.t = 60.0f + k, r.td = 50.0f + k, r.pmb = 1010.0f + k;
    r.alt = 29.9f + 0.1f * k;
    r.w_dir = 180.0f + 10 * k, r.w_spd = 10.0f + k, r.w_gust = 20.0f + k;
    std::strcpy(r.weather, k ? "SN" : "RA");
    r.cld_height[0] = 1500.0f + 100 * k, r.cld_cover[0] = k ? 'O' : 'B', r.num_cld = 1;
    r.vis = 5.0f + k, r.ptend_t = 2 + k, r.ptend = 1.5f + 0.1f * k;
    r.rain3 = 0.1f * (1 + k), r.rain6 = 0.2f * (1 + k), r.rain12 = 0.3f * (1 + k), r.rain24 = 0.4f * (1 + k);
    r.max_t = 70.0f + k, r.min_t = 40.0f + k, r.max6_t = 65.0f + k, r.min6_t = 45.0f + k;
    r.scover = 1.0f + k, r.solar = 30.0f + k, r.sst = 12.0f + k, r.wav_per = 5.0f + k, r.wav_hgt = 2.0f + k;
    std::memcpy(r.cld_type, k ? "456" : "123", 3);
    std::strcpy(r.comment, k ? "other" : "new");
    return r;
}

TEST(ReportCompare, EveryDifferenceInTheOrderOfTheCategories) {
    SFC_report a = full_report(), b = full_report(1);
    int result = -1;
    EXPECT_EQ(messages([&] { result = SFC_compare(&a, &b); }),
              "Different types: 2 3\nDifferent times\nDifferent temperatures\nDifferent dewpoints\n"
              "Different SLP pressures\nDifferent altimeter settings\nDifferent wind direction\n"
              "Different wind speed\nDifferent wind gusts\nDifferent weather\nDifferent cloud heights\n"
              "Different cloud covers\nDifferent visibility\nDifferent pressure tendency type\n"
              "Different pressure tendencies\nDifferent 3 hr precip\nDifferent 6 hr precip\n"
              "Different 12 hr precip\nDifferent 24 hr precip\nDifferent max temp\nDifferent min temp\n"
              "Different 6 hr max temp\nDifferent 6 hr min temp\nDifferent snow cover\n"
              "Different solar duration\nDifferent sea surface temperatures\nDifferent wave period\n"
              "Different wave height\nDifferent cloud types\nDifferent cloud types\nDifferent cloud types\n"
              "Different comments\n");
    EXPECT_EQ(result, 1);
    // Without the type the first difference is the time, and so on.
    b.type = 0;
    EXPECT_EQ(SFC_compare(&a, &b), 2);
    b.time = MISSING, b.t = FMISSING;
    EXPECT_EQ(SFC_compare(&a, &b), 3);
}

TEST(ReportCompare, SilentUnlessTheLevelIsOn) {
    SFC_report a = empty_report(), b = empty_report();
    a.time = 1200, b.time = 1300;
    MESS_set(-1, M_OUT4_D);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SFC_compare(&a, &b), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ReportUpdate, LevelsDecideWhatIsMerged) {
    const SFC_report rep2 = full_report();
    // One field of each category 1 to 16, true when it holds rep2's value.
    const std::function<bool(const SFC_report &)> taken[] = {
        [](const SFC_report &r) { return r.type == 2; },
        [](const SFC_report &r) { return r.time == 1200; },
        [](const SFC_report &r) { return r.t == 60 && r.td == 50; },
        [](const SFC_report &r) { return r.pmb == 1010; },
        [](const SFC_report &r) { return r.w_spd == 10 && r.w_gust == 20; },
        [](const SFC_report &r) { return std::strcmp(r.weather, "RA") == 0; },
        [](const SFC_report &r) {
            return r.cld_height[0] == 1500 && r.cld_cover[0] == 'B' && r.num_cld == 1;
        },
        [](const SFC_report &r) { return r.vis == 5; },
        [](const SFC_report &r) { return r.ptend_t == 2 && r.ptend == 1.5f; },
        [](const SFC_report &r) { return r.rain3 == 0.1f && r.rain24 == 0.4f; },
        [](const SFC_report &r) { return r.max_t == 70 && r.min6_t == 45; },
        [](const SFC_report &r) { return r.scover == 1; },
        [](const SFC_report &r) { return r.solar == 30; },
        [](const SFC_report &r) { return r.sst == 12 && r.wav_hgt == 2; },
        [](const SFC_report &r) { return std::string(r.cld_type, 3) == "123"; },
        [](const SFC_report &r) { return std::strcmp(r.comment, "new") == 0; },
    };
    // Level 0 takes nothing, not even the comment; 16 and above take everything.
    for (int lev : {0, 1, 6, 9, 15, 16, 17}) {
        SFC_report rep1 = empty_report();
        std::strcpy(rep1.comment, "old");
        EXPECT_EQ(SFC_update(&rep1, &rep2, lev), 0);
        for (int category = 1; category <= 16; ++category)
            EXPECT_EQ(taken[category - 1](rep1), category <= lev)
                << "level " << lev << " category " << category;
    }
}

TEST(ReportUpdate, MessagesOfAMerge) {
    SFC_report rep1 = empty_report(), rep2 = empty_report();
    rep2.t = 60;
    rep2.cld_height[1] = 3000;
    std::strcpy(rep2.weather, "FG");
    EXPECT_EQ(messages([&] { SFC_update(&rep1, &rep2, 16); }),
              "Updated temp\nUpdated weather\nUpdated cloud height: 1\n");
    EXPECT_STREQ(rep1.weather, "FG");

    // Everything, in the order of the categories.
    SFC_report empty = empty_report();
    const SFC_report full = full_report();
    EXPECT_EQ(messages([&] { SFC_update(&empty, &full, 16); }),
              "Updated type\nUpdated time\nUpdated temp\nUpdated dewpoint\nUpdated SL pressure\n"
              "Updated altimeter setting\nUpdated wind direction\nUpdated wind speed\nUpdated wind gust\n"
              "Updated weather\nUpdated cloud height: 0\nUpdated cloud cover: 0\nUpdated visibility\n"
              "Updated pressure tendency type\nUpdated pressure tendency\nUpdated 3 hr precip\n"
              "Updated 6 hr precip\nUpdated 12 hr precip\nUpdated 24 hr precip\nUpdated max temp\n"
              "Updated min temp\nUpdated 6 hr max temp\nUpdated 6 hr min temp\nUpdated snow cover\n"
              "Updated solar duration\nUpdated sea surface temperatures\nUpdated wave period\n"
              "Updated wave height\nUpdated cloud type: 0\nUpdated cloud type: 1\nUpdated cloud type: 2\n"
              "Updated comments\n");
}

TEST(ReportUpdate, TemperaturePrecedence) {
    struct Case {
        int flag1, flag2;
        float t, td;
    };
    for (const Case &c : {Case{1, 0, 40, 30}, Case{0, 1, 60, 50}, Case{1, 1, 60, 50}, Case{0, 0, 60, 50}}) {
        SCOPED_TRACE(std::to_string(c.flag1) + std::to_string(c.flag2));
        SFC_report rep1 = empty_report(), rep2 = empty_report();
        rep1.t = 40, rep1.td = 30, rep1.flag = c.flag1;
        rep2.t = 60, rep2.td = 50, rep2.flag = c.flag2;
        SFC_update(&rep1, &rep2, 16);
        EXPECT_EQ(rep1.t, c.t);
        EXPECT_EQ(rep1.td, c.td);
        EXPECT_EQ(rep1.flag, c.flag1);
    }
}

TEST(ReportUpdate, SupplementaryWithoutAmountsDeletesThem) {
    SFC_report rep1 = full_report(), rep2 = empty_report();
    rep2.max_t = 75;
    const std::string printed = messages([&] { SFC_update(&rep1, &rep2, 10); });
    EXPECT_EQ(printed,
              "Deleted 3 hr precip\nDeleted 6 hr precip\nDeleted 12 hr precip\nDeleted 24 hr precip\n");
    for (float v : {rep1.rain3, rep1.rain6, rep1.rain12, rep1.rain24})
        EXPECT_EQ(v, FMISSING);
    EXPECT_EQ(rep1.max_t, 70); // category 11 is above the level

    // Without a supplementary section the amounts stay.
    SFC_report rep3 = full_report(), rep4 = empty_report();
    rep4.t = 30;
    SFC_update(&rep3, &rep4, 17);
    EXPECT_FLOAT_EQ(rep3.rain24, 0.4f);
}

TEST(ReportUpdate, CloudLayersKeepTheUpperOnes) {
    SFC_report rep1 = empty_report(), rep2 = empty_report();
    for (int i = 0; i < 3; ++i)
        rep1.cld_height[i] = 1000.0f * (i + 1), rep1.cld_cover[i] = 'S';
    rep1.num_cld = 3;
    rep2.cld_height[0] = 500, rep2.cld_cover[0] = 'F', rep2.cld_cover[1] = 'B';
    SFC_update(&rep1, &rep2, 7);
    EXPECT_EQ(rep1.num_cld, 3);
    EXPECT_EQ(rep1.cld_height[0], 500);
    EXPECT_EQ(rep1.cld_cover[1], 'B');
    EXPECT_EQ(rep1.cld_height[1], 2000);
    EXPECT_EQ(rep1.cld_height[2], 3000);

    // Layers above rep1's count raise it.
    SFC_report rep3 = empty_report(), rep4 = empty_report();
    rep4.cld_height[3] = 8000, rep4.cld_cover[3] = 'O';
    SFC_update(&rep3, &rep4, 7);
    EXPECT_EQ(rep3.num_cld, 4);
}

TEST(ReportUpdate, FixedFieldsNeverChange) {
    SFC_report rep1 = empty_report(), rep2 = full_report();
    std::strcpy(rep2.id, "KDEN"), std::strcpy(rep2.area, "CO");
    rep2.wmo = 72469, rep2.lat = 39.8f, rep2.lon = -104.7f, rep2.elev = 1611, rep2.prior = 1;
    rep2.rain1 = 0.05f, rep2.rain = 1, rep2.rain_per = 6, rep2.cld_low = '3', rep2.flag = 1;
    SFC_update(&rep1, &rep2, 17);
    const SFC_report fresh = empty_report();
    EXPECT_STREQ(rep1.id, "");
    EXPECT_STREQ(rep1.area, "");
    EXPECT_EQ(rep1.wmo, fresh.wmo);
    EXPECT_EQ(rep1.lat, fresh.lat);
    EXPECT_EQ(rep1.elev, fresh.elev);
    EXPECT_EQ(rep1.prior, fresh.prior);
    EXPECT_EQ(rep1.rain1, fresh.rain1);
    EXPECT_EQ(rep1.rain_per, fresh.rain_per);
    EXPECT_EQ(rep1.cld_low, ' ');
    EXPECT_EQ(rep1.flag, 0);
}

TEST(CloudSummary, CoverAndCeilingOfTheLayers) {
    struct Case {
        const char *what;
        const char *covers; // one character per layer
        std::vector<float> heights;
        char cover;
        float height;
        int result;
    };
    const Case cases[] = {
        {"no layer", "", {}, ' ', FMISSING, -1},
        {"one thin layer stays as it is", "b", {1200}, 'b', 1200, -1},
        {"one okta layer stays as it is", "4", {3000}, '4', 3000, -1},
        {"ceiling kept under overcast", "BO", {800, 1500}, 'O', 800, 0},
        {"scattered then broken", "SB", {2000, 4000}, 'B', 4000, 0},
        {"clear then obscured oktas", "09", {0, 300}, 'X', 300, 0},
        {"few then scattered", "FS", {1000, 2000}, 'S', 2000, 0},
        {"few after scattered keeps the height", "SF", {2000, 5000}, 'F', 2000, 0},
        {"clear layers", "CC", {FMISSING, FMISSING}, 'C', FMISSING, 0},
        {"thin layers count as clear", "sb", {1000, 2000}, 'C', FMISSING, 0},
        {"blank layers count as clear", "  ", {1000, 2000}, 'C', FMISSING, 0},
        {"clear below scattered", "CS", {FMISSING, 3000}, 'S', 3000, 0},
        {"obscured always sets both", "OX", {500, 200}, 'X', 200, 0},
        {"broken over obscured keeps its height", "XB", {100, 3000}, 'B', 100, 0},
        {"okta digits", "27", {1500, 2500}, 'O', 2500, 0},
        {"one okta few", "15", {800, 2000}, 'B', 2000, 0},
        {"few okta then clear", "10", {800, 2000}, 'F', 800, 0},
        {"thin layer after cloud changes nothing", "Sb", {1500, 900}, 'S', 1500, 0},
        {"five layers", "FSBOO", {500, 1000, 2000, 3000, 4000}, 'O', 2000, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SFC_report r = empty_report();
        r.num_cld = int(std::strlen(c.covers));
        for (int i = 0; i < r.num_cld; ++i)
            r.cld_cover[i] = c.covers[i], r.cld_height[i] = c.heights[i];
        char cover = '?';
        float height = 0;
        EXPECT_EQ(WX_set_cloud(&r, &cover, &height), c.result);
        EXPECT_EQ(cover, c.cover);
        EXPECT_EQ(height, c.height);
    }
}

TEST(CloudSummary, LayerCountOutsideTheRecordIsBounded) {
    SFC_report r = empty_report();
    for (int i = 0; i < 5; ++i)
        r.cld_cover[i] = 'S', r.cld_height[i] = 1000.0f * (i + 1);
    r.cld_cover[4] = 'B';
    r.num_cld = 40;
    char cover;
    float height;
    EXPECT_EQ(WX_set_cloud(&r, &cover, &height), 0);
    EXPECT_EQ(cover, 'B');
    EXPECT_EQ(height, 5000);
    r.num_cld = -3;
    EXPECT_EQ(WX_set_cloud(&r, &cover, &height), -1);
    EXPECT_EQ(cover, ' ');
    EXPECT_EQ(height, FMISSING);
}

// ---- Report listings -------------------------------------------------------------

// A report with its id and everything else missing.
SFC_report named_report(const char *id) {
    SFC_report r = empty_report();
    std::snprintf(r.id, sizeof r.id, "%s", id);
    return r;
}

void set_layers(SFC_report &r, const char *covers, std::initializer_list<float> heights) {
    r.num_cld = int(std::strlen(covers));
    int i = 0;
    for (float h : heights)
        r.cld_cover[i] = covers[i], r.cld_height[i] = h, ++i;
}

// The fixture set of the golden listings.
std::vector<SFC_report> listing_reports() {
    std::vector<SFC_report> all;
    // Every field given; WMO-number weather (light rain); altimeter 30.015.
    SFC_report r = named_report("KDEN");
    r.type = 1, r.wmo = 72565, r.lat = 39.77f, r.lon = -104.87f, r.elev = 1611, r.time = 1753;
    r.t = 75, r.td = 60, r.w_dir = 250, r.w_spd = 30, r.w_gust = 40, r.alt = 30.015f, r.pmb = 1013.2f;
    r.vis = 2.5f, r.ptend_t = 3, r.ptend = 1.8f;
    std::strcpy(r.weather, "61");
    set_layers(r, "FBO", {1200, 2800, 9000});
    r.rain1 = 0.01f, r.rain3 = 0.1f, r.rain6 = 0.25f, r.rain12 = 0.5f, r.rain24 = 1.2f;
    r.max_t = 80, r.min_t = 55, r.max6_t = 78, r.min6_t = 60, r.scover = 2, r.cld_low = '3';
    std::memcpy(r.cld_type, "582", 3);
    r.solar = 300, r.sst = 18, r.wav_per = 6, r.wav_hgt = 1.5f;
    all.push_back(r);
    // Nothing at all, not even an id.
    all.push_back(named_report(""));
    // Calm and cold, no layers; a WMO number without significant weather.
    r = named_report("KCLM");
    r.time = 1200, r.t = 20, r.td = 10, r.w_dir = 0, r.w_spd = 0, r.alt = 30.05f, r.elev = 300, r.vis = 10;
    std::strcpy(r.weather, "02");
    all.push_back(r);
    // One layer in oktas (broken at 800 ft) and letter-code snow showers.
    r = named_report("KOKT");
    r.time = 600, r.t = 28, r.td = 20, r.w_dir = 340, r.w_spd = 24, r.alt = 29.5f, r.elev = 50, r.vis = 0.5f;
    std::strcpy(r.weather, "SW-");
    set_layers(r, "4", {800});
    r.cld_low = '6';
    all.push_back(r);
    // Two thin layers, a letter-code storm with hail, a special report.
    r = named_report("KTHN");
    r.type = 2, r.time = 5, r.t = 68, r.td = 50, r.w_dir = 90, r.w_spd = 12, r.pmb = 1009.9f, r.vis = 7;
    std::strcpy(r.weather, "TRW+A");
    set_layers(r, "sx", {2500, 6000});
    r.rain3 = 0.04f, r.rain6 = 0.0f;
    all.push_back(r);
    // A hot humid METAR shower under clear layers without heights.
    r = named_report("KMTR");
    r.type = 7, r.time = 2053, r.t = 95, r.td = 75, r.w_dir = 180, r.w_spd = 10, r.alt = 29.8f, r.elev = 100;
    r.vis = 10;
    std::strcpy(r.weather, "!-SHRA");
    set_layers(r, "CC", {FMISSING, FMISSING});
    r.min6_t = 77;
    all.push_back(r);
    // A ship: own position, a wind direction without a speed, a thin broken
    // layer, a thunderstorm as a WMO number and the sea.
    r = named_report("VRWS5");
    std::strcpy(r.area, "SHIP");
    r.lat = 35.5f, r.lon = -70.25f, r.time = 1800, r.t = 60, r.td = 55, r.w_dir = 270, r.pmb = 1020.4f;
    r.vis = 4;
    std::strcpy(r.weather, "95");
    set_layers(r, "b", {1200});
    r.sst = 16, r.wav_per = 8, r.wav_hgt = 2.5f;
    all.push_back(r);
    // Cold wind, freezing drizzle, a cover letter no table knows, a comment.
    r = named_report("KCMT");
    r.t = 20, r.td = 12, r.w_dir = 10, r.w_spd = 20, r.w_gust = 32, r.alt = 29.92f, r.pmb = 1013.9f,
    r.vis = 1;
    std::strcpy(r.weather, "ZL-");
    set_layers(r, "Q", {500});
    r.max6_t = 24, r.rain6 = 0, r.scover = 0, r.ptend = -2.3f;
    std::memcpy(r.cld_type, "8//", 3);
    std::strcpy(r.comment, "AO2 SLP139 T10671111");
    all.push_back(r);
    return all;
}

// The columns of the variable-column fixture listing.
constexpr const char *golden_columns =
    "city,otime,temp,dewp:C:%5.1f,dewd:dC,wspd:m/s:%4.1f,wgst,alt:mb:%6.1f,pres,wx,saowx,txtwx,vis::%4.1f,"
    "cldcl:ft,cldcv,prec::%4.2f,fr,rhum,mrat::%5.2f,thetae,wchill2:F,nlcld,lcld,rmk,bogus";

// Every listing of the fixture set in every print kind, the header first,
// then the long form through SFC_print_report.
int print_golden(bool dashes) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    RES_put("variable", golden_columns);
    MESS_set(0, M_PRINT);
    if (dashes) SFC_set_miss_dash();
    const std::vector<SFC_report> reports = listing_reports();
    for (int kind : {1, 2, 3, 4, 5, 6}) {
        MESS_print(M_PRINT, "==== print kind %d\n", kind);
        SFC_set_print(kind);
        SFC_print_line(M_PRINT, nullptr);
        for (const SFC_report &r : reports)
            SFC_print_line(M_PRINT, &r);
    }
    MESS_print(M_PRINT, "==== SFC_print_report\n");
    for (const SFC_report &r : reports)
        EXPECT_EQ(SFC_print_report(&r), 0);
    return testing::Test::HasFailure() ? 1 : 0;
}

// Compares a listing with its golden file line by line; on a difference the
// listing is left beside the build for review.
void expect_golden(const std::string &got, const std::string &name) {
    const std::string want = zeqtest::read_file(ZEQ_TEST_DATA "/surface/" + name);
    if (got == want) return;
    zeqtest::write_file(name + ".actual", got);
    ASSERT_FALSE(want.empty()) << "missing golden file " << name;
    const std::vector<std::string> a = zeqtest::text_lines(got), b = zeqtest::text_lines(want);
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string x = i < a.size() ? a[i] : "<none>", y = i < b.size() ? b[i] : "<none>";
        if (x != y) {
            ADD_FAILURE() << name << " line " << i + 1 << "\n got: '" << x << "'\nwant: '" << y << "'";
            return;
        }
    }
    ADD_FAILURE() << name << ": line ends differ";
}

TEST(Listings, GoldenWithBlanksForMissingValues) {
    const auto r = zeqtest::run_child([] { return print_golden(false); });
    EXPECT_EQ(r.status, 0) << r.err;
    expect_golden(r.out, "listing.txt");
}

TEST(Listings, GoldenWithDashesForMissingValues) {
    const auto r = zeqtest::run_child([] { return print_golden(true); });
    EXPECT_EQ(r.status, 0) << r.err;
    expect_golden(r.out, "listing_dash.txt");
}

// The lines of one print kind for the reports (header first), in a child.
std::vector<std::string> listing(int kind, bool dashes, const std::vector<SFC_report> &reports,
                                 const char *variable = nullptr) {
    const auto r = zeqtest::run_child([&] {
        RES_put("file_path", ZEQ_SOURCE_DIR "/data");
        if (variable != nullptr) RES_put("variable", variable);
        if (dashes) SFC_set_miss_dash();
        SFC_set_print(kind);
        SFC_print_line(M_PRINT, nullptr);
        for (const SFC_report &rep : reports)
            SFC_print_line(M_PRINT, &rep);
        return 0;
    });
    EXPECT_EQ(r.status, 0) << r.err;
    return zeqtest::text_lines(r.out);
}

TEST(Listings, FixedColumnsKeepTheirWidthsWhateverIsMissing) {
    // Reports with ids that fit the narrowest id column, so that each line of
    // a kind has the same width, missing values or not.
    std::vector<SFC_report> reports = listing_reports();
    reports.erase(reports.begin() + 6); // the five-letter ship id
    for (bool dashes : {false, true}) {
        SCOPED_TRACE(dashes ? "dashes" : "blanks");
        // Kind 2: every line as wide as the header.
        std::vector<std::string> lines = listing(2, dashes, reports);
        ASSERT_EQ(lines.size(), reports.size() + 1);
        for (const std::string &l : lines)
            EXPECT_EQ(l.size(), lines[0].size()) << "'" << l << "'";
        // Kind 1: first and second lines of each report (and comments).
        lines = listing(1, dashes, reports);
        std::vector<std::size_t> widths;
        for (std::size_t i = 2; i < lines.size(); ++i) {
            if (lines[i].starts_with("   COMMENT: ")) continue;
            widths.push_back(lines[i].size());
        }
        ASSERT_EQ(widths.size(), 2 * reports.size());
        for (std::size_t i = 0; i < widths.size(); ++i)
            EXPECT_EQ(widths[i], widths[i % 2]) << "line " << i;
        // Kind 4: the cloud types are added only when reported; the weather
        // field is printed whole, in four characters or more.
        lines = listing(4, dashes, reports);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const SFC_report &r = reports[i - 1];
            const std::size_t longer = std::max<std::size_t>(std::strlen(r.weather), 4) - 4;
            EXPECT_EQ(lines[i].size() - longer, r.cld_type[0] != ' ' ? lines[0].size() : lines[0].size() - 6)
                << "'" << lines[i] << "'";
        }
        // Kind 5: the weather words close the line.
        lines = listing(5, dashes, reports);
        for (std::size_t i = 2; i < lines.size(); ++i) {
            const SFC_report &r = reports[i - 2];
            char words[WX_TEXT_SIZE];
            WX_weather_text(r.weather, words, sizeof words);
            const std::size_t tail = r.weather[0] != ' ' ? std::strlen(words) : dashes ? 3 : 0;
            EXPECT_EQ(lines[i].size() - tail, 51u) << "'" << lines[i] << "'";
        }
    }
}

TEST(Listings, ColumnEdgeCases) {
    struct Case {
        const char *what;
        int kind;
        std::function<void(SFC_report &)> set;
        std::size_t line; // 0 the first line of the report
        std::size_t column;
        const char *text;
    };
    const Case cases[] = {
        {"altimeter 30.015 in kind 2", 2, [](SFC_report &r) { r.alt = 30.015f; }, 0, 36, "001 "},
        {"altimeter 29.92", 2, [](SFC_report &r) { r.alt = 29.92f; }, 0, 36, "992 "},
        {"pressure 1013.2", 2, [](SFC_report &r) { r.pmb = 1013.2f; }, 0, 40, "132 "},
        {"pressure 999.99", 2, [](SFC_report &r) { r.pmb = 999.99f; }, 0, 40, "000 "},
        {"visibility below 3 miles", 2, [](SFC_report &r) { r.vis = 2.5f; }, 0, 44, "2.5 "},
        {"visibility of 7 miles", 2, [](SFC_report &r) { r.vis = 7; }, 0, 44, "  7 "},
        {"relative humidity", 2, [](SFC_report &r) { r.t = 68, r.td = 68; }, 0, 20, "100 "},
        {"humidity needs the dew point", 2, [](SFC_report &r) { r.t = 68; }, 0, 20, "    "},
        {"six-hour extremes stand in", 2, [](SFC_report &r) { r.max6_t = 77, r.min_t = 40, r.min6_t = 41; },
         0, 61, " 77  40 "},
        {"okta summary", 2, [](SFC_report &r) { set_layers(r, "7", {2000}); }, 0, 48, " 20  7/8 "},
        {"obscured okta", 2, [](SFC_report &r) { set_layers(r, "9", {100}); }, 0, 48, "  1   X  "},
        {"weather code cut to three", 2, [](SFC_report &r) { std::strcpy(r.weather, "RW-SW-"); }, 0, 57,
         "RW- "},
        {"kind 4 wind", 4, [](SFC_report &r) { r.w_dir = 270, r.w_spd = 15; }, 0, 40, "270-15    "},
        {"kind 4 gust", 4, [](SFC_report &r) { r.w_dir = 270, r.w_spd = 15, r.w_gust = 25; }, 0, 40,
         "270-15 25 "},
        {"kind 4 extremes in order", 4, [](SFC_report &r) { r.min_t = 31, r.max6_t = 40; }, 0, 50, " 31 "},
        {"kind 4 first layer without height", 4,
         [](SFC_report &r) {
             set_layers(r, "OB", {FMISSING, 300});
         },
         0, 5, "      O "},
        {"kind 5 without layers", 5, [](SFC_report &) {}, 0, 35, " ---      "},
        {"kind 5 thin few", 5, [](SFC_report &r) { set_layers(r, "f", {4000}); }, 0, 35, "  40 -FEW "},
        {"kind 5 calm", 5, [](SFC_report &r) { r.w_dir = 0, r.w_spd = 0; }, 0, 16, "   0 at  0 "},
        {"kind 1 two layers then three empty columns", 1,
         [](SFC_report &r) {
             set_layers(r, "SB", {2500, 1200});
         },
         1, 0,
         "     25 SCT  12 BKN "
         "                        "
         "   : :  "},
        {"kind 1 layer kinds", 1,
         [](SFC_report &r) {
             set_layers(r, "xF 3C", {300, FMISSING, 1000, 9000, FMISSING});
         },
         1, 0, "      3-X      -FEW     M    90 3/8     CLR "},
        {"kind 1 report type and special flag", 1, [](SFC_report &r) { r.type = 6; }, 0, 5, "SP*"},
        {"kind 1 METAR weather without its mark", 1, [](SFC_report &r) { std::strcpy(r.weather, "!+TSRA"); },
         0, 20, "+TSRA "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SFC_report r = named_report("K1");
        c.set(r);
        const std::vector<std::string> lines = listing(c.kind, false, {r});
        const std::size_t header = c.kind == 1 || c.kind == 5 ? 2 : 1;
        ASSERT_GT(lines.size(), header + c.line);
        EXPECT_EQ(lines[header + c.line].substr(c.column, std::strlen(c.text)), c.text)
            << "'" << lines[header + c.line] << "'";
    }
}

TEST(Listings, DirectionWithoutSpeedShowsTheSpeedMissing) {
    SFC_report r = named_report("K1");
    r.w_dir = 270, r.w_gust = 30;
    struct Case {
        int kind;
        bool dashes;
        std::size_t column;
        const char *text;
    };
    const Case cases[] = {
        {1, false, 42, " 270-   30 "}, {1, true, 42, " 270  - 30 "},  {4, false, 40, "270-   30 "},
        {4, true, 40, "270  - 30 "},   {5, false, 16, " 270 at -- "}, {5, true, 16, " 270 at -- "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + (c.dashes ? " dashes" : " blanks"));
        const std::vector<std::string> lines = listing(c.kind, c.dashes, {r});
        const std::size_t header = c.kind == 1 || c.kind == 5 ? 2 : 1;
        ASSERT_GT(lines.size(), header);
        EXPECT_EQ(lines[header].substr(c.column, std::strlen(c.text)), c.text) << "'" << lines[header] << "'";
    }
    for (bool dashes : {false, true}) {
        const std::vector<std::string> lines = listing(3, dashes, {r});
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            dashes ? "Winds:               270 deg at - knt Gusts: 30 knt"
                                   : "Winds:               270 deg at   knt Gusts: 30 knt"),
                  lines.end());
    }
}

// The long form of one report, printed in this process.
std::vector<std::string> long_form(const SFC_report &r) {
    MESS_set(0, M_PRINT);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SFC_print_report(&r), 0);
    return zeqtest::text_lines(testing::internal::GetCapturedStdout());
}

bool has_line(const std::vector<std::string> &lines, const std::string &prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string &l) { return l.starts_with(prefix); });
}

TEST(LongForm, WindsChillAndHeat) {
    SFC_report r = named_report("K1");
    r.t = 40, r.w_dir = 0, r.w_spd = 0;
    std::vector<std::string> lines = long_form(r);
    EXPECT_TRUE(has_line(lines, "Winds:               calm"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Winds:               calm"), lines.end());
    EXPECT_FALSE(has_line(lines, "Wind chill:"));

    r.t = 20, r.w_dir = 300, r.w_spd = 20;
    lines = long_form(r);
    EXPECT_TRUE(has_line(lines, "Winds:               300 deg at 20 knt"));
    EXPECT_TRUE(has_line(lines, "Wind chill:            3.")) << "about 3 F at 20 F and 20 knots";
    r.t = 40, r.w_spd = 5;
    EXPECT_FALSE(has_line(long_form(r), "Wind chill:"));

    r.t = 95, r.td = 75;
    lines = long_form(r);
    EXPECT_TRUE(has_line(lines, "Heat index:           10")) << "over 100 F at 95 F, dew point 75 F";
    r.t = 70, r.td = 50;
    EXPECT_FALSE(has_line(long_form(r), "Heat index:"));
}

TEST(LongForm, SnowCoverUnitsAndNullReport) {
    SFC_report r = named_report("K1");
    r.scover = 4;
    EXPECT_TRUE(has_line(long_form(r), "Snow cover:            4 in."));
    SFC_set_metric(1);
    EXPECT_TRUE(has_line(long_form(r), "Snow cover:           10 cm"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(SFC_print_report(nullptr), -1);
    SFC_set_print(3);
    EXPECT_EQ(SFC_print_line(M_PRINT, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(LongForm, CloudLineEndsAlsoForAnUnknownCover) {
    SFC_report r = named_report("K1");
    set_layers(r, "Qxs", {500, FMISSING, 2000});
    r.vis = 3;
    const std::vector<std::string> lines = long_form(r);
    const std::vector<std::string> want = {
        "Clouds:level 1:    500 feet ",
        std::string(27, ' ') + "partially obscured",
        "       level 3:   2000 feet thin scattered",
        "Visibility:            3.00 miles",
    };
    auto at = std::find(lines.begin(), lines.end(), want[0]);
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(std::vector<std::string>(at, at + long(std::min<std::size_t>(4, size_t(lines.end() - at)))),
              want);
}

// ---- Variable-column listing

TEST(VariableColumns, PrintStringFormatsAndUnits) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    struct Case {
        float val;
        const char *iunits;
        const char *ounits;
        const char *format;
        const char *text;
    };
    const Case cases[] = {
        {68, "F", "", "%5.1f", " 68.0"},
        {68, "F", "", "", "  68"},
        {68, "F", "C", "%5.1f", " 20.0"},
        {68, "F", "", "cont", "  68"},
        {FMISSING, "F", "C", "%5.1f", ""},
        // Only one float conversion is the user's: anything else prints as "%4.0f".
        {68, "F", "", "%s", "  68"},
        {68, "F", "", "%n", "  68"},
        {68, "F", "", "%d", "  68"},
        {68, "F", "", "%5.1f%s", "  68"},
        {68, "F", "", "%5.1f %5.1f", "  68"},
        {68, "F", "", "%e", "6.800000e+01"},
        {68, "F", "", "%5.1f%%", " 68.0%"},
        // Cloud base in hundreds of feet to feet.
        {25, "100 ft", "ft", "", "2500"},
    };
    for (const Case &c : cases) {
        char str[16];
        std::memset(str, '#', sizeof str);
        EXPECT_EQ(SFC_set_print_str(c.val, c.iunits, c.ounits, c.format, str, sizeof str), 0);
        EXPECT_STREQ(str, c.text) << c.format << " " << c.ounits;
    }
    // Cut to the buffer, always terminated.
    char small[4] = "xyz";
    SFC_set_print_str(123456, "", "", "%8.1f", small, sizeof small);
    EXPECT_STREQ(small, "123");

    const auto r = zeqtest::run_child([] {
        SFC_set_miss_dash();
        char str[8];
        SFC_set_print_str(FMISSING, "F", "", "%5.1f", str, sizeof str);
        return std::strcmp(str, " -") == 0 ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
}

// Sets the variable list from a specification through the listing itself
// (the first call finds the resource) and returns what a report prints.
std::string column_line(const char *variable, const SFC_report &r) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    RES_put("variable", variable);
    SFC_set_print(6);
    MESS_set(0, M_PRINT);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    SFC_print_line(M_PRINT, &r);
    testing::internal::GetCapturedStderr();
    return testing::internal::GetCapturedStdout();
}

// A report of the surface-variable fixtures: all the inputs of the formulas.
SFC_report formula_report(float t, float td, float spd, float alt, float elev) {
    SFC_report r = named_report("KF");
    r.t = t, r.td = td, r.w_dir = 200, r.w_spd = spd, r.alt = alt, r.elev = elev;
    return r;
}

TEST(VariableColumns, FormulaColumnsEqualTheSurfaceVariables) {
    // Each formula in its own units, and the temperatures also in Celsius.
    struct Formula {
        const char *name;
        bool temperature;
    };
    const Formula formulas[] = {
        {"vpres", false}, {"svpres", false}, {"wchilt", true}, {"wchill2", true}, {"wchilf", false},
        {"heat", true},   {"humit", true},   {"mrat", false},  {"smrat", false},  {"shum", false},
        {"rhum", false},  {"wetblb", true},  {"thetaw", true}, {"thetae", true},  {"thetav", true},
        {"theta", true},  {"vtemp", true},
    };
    const SFC_report reports[] = {
        formula_report(75, 60, 30, 30.12f, 1611), formula_report(20, 10, 20, 30.05f, 300),
        formula_report(95, 75, 10, 29.8f, 100), formula_report(28, 20, 24, 29.5f, 50),
        formula_report(50, FMISSING, 10, 30, 0)};
    std::vector<std::pair<std::string, std::string>> columns; // name, units
    for (const Formula &f : formulas) {
        columns.emplace_back(f.name, "");
        if (f.temperature) columns.emplace_back(f.name, "C");
    }
    std::string spec;
    ASSERT_LE(columns.size(), std::size_t(VAR_MAX));
    for (const auto &[n, u] : columns)
        spec += (spec.empty() ? "" : ",") + n + ":" + u + ":%6.2f";

    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    RES_put("variable", spec.c_str());
    SFC_set_print(6);
    MESS_set(0, M_PRINT);
    testing::internal::CaptureStderr();
    for (const SFC_report &r : reports) {
        testing::internal::CaptureStdout();
        SFC_print_line(M_PRINT, &r);
        const std::string line = testing::internal::GetCapturedStdout();
        ASSERT_EQ(line.size(), 7 * columns.size() + 1) << line;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            VAR_data var{};
            VAR_data_init(&var);
            std::snprintf(var.name, sizeof var.name, "%s", columns[i].first.c_str());
            std::snprintf(var.units, sizeof var.units, "%s", columns[i].second.c_str());
            RAW_data item{};
            SFC_report copy = r;
            ASSERT_EQ(SFC_get_data(&copy, &var, &item), 1);
            char want[32] = "";
            if (item.value[0] != FMISSING) std::snprintf(want, sizeof want, "%6.2f", item.value[0]);
            char col[16];
            std::snprintf(col, sizeof col, "%6.6s ", want);
            EXPECT_EQ(line.substr(7 * i, 7), col)
                << columns[i].first << " in '" << columns[i].second << "' at " << r.t << " F";
        }
    }
    testing::internal::GetCapturedStderr();
}

TEST(VariableColumns, PrecipitationByTimeCodeAndFlightCategories) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    RES_put("variable", "prec");
    SFC_set_print(6);
    MESS_set(0, M_PRINT);
    testing::internal::CaptureStdout();
    SFC_print_line(M_PRINT, nullptr); // sets the list up
    testing::internal::GetCapturedStdout();
    // The entries are then set by hand.
    VAR_set_num(2);
    VAR_data *vars = VAR_get_vars();
    std::strcpy(vars[0].name, "prec"), std::strcpy(vars[0].format, "%4.2f"), vars[0].units[0] = '\0';
    VAR_data_init(&vars[1]);
    std::strcpy(vars[1].name, "FR");
    auto line = [](const SFC_report &r) {
        testing::internal::CaptureStdout();
        SFC_print_line(M_PRINT, &r);
        return testing::internal::GetCapturedStdout();
    };

    SFC_report r = named_report("K1");
    r.rain3 = 0.03f, r.rain6 = 0.06f, r.rain12 = 0.12f, r.rain24 = 0.24f;
    struct Precip {
        int time;
        bool with24;
        const char *text;
    };
    for (const Precip &p :
         {Precip{6000, true, "  0.06 "}, Precip{3000, true, "  0.03 "}, Precip{12000, true, "  0.12 "},
          Precip{24000, true, "  0.24 "}, Precip{1006000, true, "  0.06 "}, Precip{0, true, "  0.24 "},
          Precip{0, false, "  0.12 "}, Precip{MISSING, true, "  0.24 "}}) {
        vars[0].time = p.time;
        r.rain24 = p.with24 ? 0.24f : FMISSING;
        EXPECT_EQ(line(r).substr(0, 7), p.text) << p.time;
    }

    struct Flight {
        const char *covers;
        float height;
        float vis;
        const char *category;
    };
    const Flight flights[] = {
        {"B", 999, 10, "   IFR"},
        {"B", 1000, 10, "  MVFR"},
        {"O", 3000, 10, "  MVFR"},
        {"O", 3001, 10, "   VFR"},
        {"", 0, 2.99f, "   IFR"},
        {"", 0, 3, "  MVFR"},
        {"", 0, 5, "  MVFR"},
        {"", 0, 5.01f, "   VFR"},
        {"", 0, FMISSING, "   VFR"},
        {"SB", 800, 6, "  MVFR"},
        {"S", 800, 6, "   VFR"},
        {"b", 500, 10, "   VFR"},
        // One layer in oktas: 4 to 8 are a ceiling, 9 and below 4 are not.
        {"4", 800, 10, "   IFR"},
        {"8", 2000, 10, "  MVFR"},
        {"3", 800, 10, "   VFR"},
        {"9", 500, 10, "   VFR"},
    };
    for (const Flight &f : flights) {
        SFC_report c = named_report("K1");
        c.vis = f.vis;
        if (std::strlen(f.covers) == 2)
            set_layers(c, f.covers, {f.height / 2, f.height * 2});
        else if (f.covers[0] != '\0')
            set_layers(c, f.covers, {f.height});
        EXPECT_EQ(line(c).substr(7, 6), f.category) << f.covers << " " << f.height << " " << f.vis;
    }
}

TEST(VariableColumns, ColumnsOfTheFixtureReport) {
    const SFC_report r = listing_reports()[0];
    struct Case {
        const char *variable;
        const char *text;
    };
    const Case cases[] = {
        {"temp", "    75 \n"},
        {"temp::%5.1f", "  75.0 \n"},
        {"dewd:dC:%4.1f", "   8.3 \n"},
        {"cldcl", "    28 \n"},
        {"cldcl:ft", "  2800 \n"},
        {"cldcv,saowx,wx", "   OVC     R-     61 \n"},
        {"txtwx,rmk,otime", "light rain    1753 \n"},
        {"nlcld,lcld,mcld,hcld,id", "     3      5      8      2 KDEN   \n"},
        {"maxt,maxt6,mint,mint6,extt", "    80     78     55     60     80 \n"},
        {"snwdp,solar,sst,wavper,wavhgt::%3.1f", "     2    300     18      6    1.5 \n"},
        {"Temp,nothing", "    75        \n"},
    };
    for (const Case &c : cases) {
        const auto res = zeqtest::run_child([&] {
            std::printf("%s", column_line(c.variable, r).c_str());
            return 0;
        });
        EXPECT_EQ(res.out, c.text) << c.variable;
    }
}

TEST(VariableColumns, NothingUntilTheVariableResourceAppears) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    MESS_set(0, M_PRINT);
    SFC_set_print(6);
    const SFC_report r = listing_reports()[0];
    testing::internal::CaptureStdout();
    SFC_print_line(M_PRINT, nullptr);
    SFC_print_line(M_PRINT, &r);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    RES_put("variable", "temp:C,wspd");
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    SFC_print_line(M_PRINT, nullptr);
    SFC_print_line(M_PRINT, &r);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  temp   wspd \n     C        \n    24     30 \n");
    // The list stays as first built.
    RES_put("variable", "dewp");
    testing::internal::CaptureStdout();
    SFC_print_line(M_PRINT, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  temp   wspd \n     C        \n");
    testing::internal::GetCapturedStderr();
}

TEST(Listings, KindThatIsOffPrintsNothing) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    RES_put("variable", "temp");
    MESS_set(0, M_PRINT);
    const SFC_report r = listing_reports()[0];
    for (int kind : {1, 2, 3, 4, 5, 6, 7}) {
        SFC_set_print(kind);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(SFC_print_line(M_OUT1, nullptr), 0);
        EXPECT_EQ(SFC_print_line(M_OUT1, &r), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << kind;
        testing::internal::GetCapturedStderr();
    }
    // The variable list was not set up by the silent calls; kind 7 prints
    // nothing even when on.
    EXPECT_EQ(VAR_get_num(), 0);
    MESS_set(1, M_OUT1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    SFC_print_line(M_OUT1, &r);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(VAR_get_num(), 1);
    SFC_set_print(2);
    testing::internal::CaptureStdout();
    SFC_print_line(M_OUT1, &r);
    EXPECT_TRUE(testing::internal::GetCapturedStdout().starts_with("KDEN   1753 "));
}

TEST(InFile, WordsChooseConventionAndFormat) {
    struct Case {
        const char *words;
        int format;
        const char *conv;
    };
    const Case cases[] = {
        {nullptr, MISSING, "%D/%y%m%d%h.sfc"},
        {"cdf,metar", 12, "metar"},
        {"zeq", 3, "%D/%y%m%d%h.sfc"},
        {"CDFx,ZEQ", 3, "%D/%y%m%d%h.sfc"},
        {"syn", MISSING, "syn"},
        {"metar,SAO", MISSING, "%D/%y%m%d%h.sfc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.words ? c.words : "none");
        RES_put("file_path", ZEQ_TEST_DATA "/files");
        RES_put("in_file", c.words);
        FLAG_reset(MISSING);
        testing::internal::CaptureStderr();
        EXPECT_EQ(SFC_set_in_file(), 1);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(FLAG_get(17), c.format);
        char conv[FILE_NAME_SIZE];
        FILE_get_name_conv(conv, sizeof conv);
        EXPECT_NE(std::string(conv).find(c.conv), std::string::npos) << conv;
    }
}

} // namespace
