// Surface report operations: emptying, gross checks, comparison and merge.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/mess.h"
#include "surface/sfc_tool.h"

namespace {

constexpr M_type REPORT_MESS = 0x8000000;

SFC_report empty_report() {
    SFC_report r;
    std::memset(&r, 0x5a, sizeof r);
    SFC_initialize(&r);
    return r;
}

// Runs f with the report messages on and returns what it printed.
std::string messages(const std::function<void()> &f) {
    MESS_set(1, REPORT_MESS);
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

TEST(ReportCompare, SilentUnlessTheLevelIsOn) {
    SFC_report a = empty_report(), b = empty_report();
    a.time = 1200, b.time = 1300;
    MESS_set(-1, REPORT_MESS);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SFC_compare(&a, &b), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// A report with a value in every category.
SFC_report full_report() {
    SFC_report r = empty_report();
    r.type = 2, r.time = 1200, r.t = 60, r.td = 50, r.pmb = 1010, r.alt = 29.9f;
    r.w_dir = 180, r.w_spd = 10, r.w_gust = 20;
    std::strcpy(r.weather, "RA");
    r.cld_height[0] = 1500, r.cld_cover[0] = 'B', r.num_cld = 1;
    r.vis = 5, r.ptend_t = 2, r.ptend = 1.5f;
    r.rain3 = 0.1f, r.rain6 = 0.2f, r.rain12 = 0.3f, r.rain24 = 0.4f;
    r.max_t = 70, r.min_t = 40, r.max6_t = 65, r.min6_t = 45;
    r.scover = 1, r.solar = 30, r.sst = 12, r.wav_per = 5, r.wav_hgt = 2;
    std::memcpy(r.cld_type, "123", 3);
    std::strcpy(r.comment, "new");
    return r;
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

} // namespace
