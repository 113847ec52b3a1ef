// The current sounding: made from a report (the completed merges, the
// station table, the surface), installed from lists (storm motion), the
// plot parameters of the parcel; its state at start, the index record
// cleared whole, the identifier and date, the surface in each coordinate.
#include "upperair/thm_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fields/calc.h"
#include "plot/raw_read.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/reference.h"
#include "upperair/parcel_port.h"
#include "upperair/thm_tool_int.h"
#include "upperair/ua_merge.h"
#include "upperair/ua_read.h"
#include "upperair/ua_tool.h"

namespace {

constexpr float M = -9999.0f;

void expect_start_level(const UPA_level *l, const char *what) {
    ASSERT_NE(l, nullptr) << what;
    for (float v : {l->p, l->h, l->t, l->td, l->dir})
        EXPECT_EQ(v, M) << what;
    EXPECT_EQ(l->spd, 0) << what;
}

} // namespace

TEST(ThermState, NoSoundingAtStart) {
    EXPECT_EQ(THERM_get_SM(), nullptr);
    EXPECT_EQ(THERM_get_SM_num(), 0);
    EXPECT_EQ(THERM_get_WM(), nullptr);
    EXPECT_EQ(THERM_get_WM_num(), 0);
    expect_start_level(THERM_get_sfc(), "surface");
    expect_start_level(THERM_get_trop(), "tropopause");
    expect_start_level(THERM_get_mwnd(), "maximum wind");
    expect_start_level(THERM_get_parcel(), "parcel");
    EXPECT_STREQ(THERM_get_id(), "");
    EXPECT_EQ(THERM_get_storm().dir, 0);
    EXPECT_EQ(THERM_get_storm().spd, 0);
}

// Every field of the index record, the parameter records too: no table shows
// an earlier sounding's numbers.
TEST(ThermState, InitValuesClearsEveryField) {
    THERM_values *v = THERM_get_values();
    std::memset(v, 0x3f, sizeof *v);
    EXPECT_EQ(THERM_init_values(v), 0);
    EXPECT_EQ(v->wmo, -9999);
    // The record is an int followed by floats only.
    static_assert(sizeof(THERM_values) % sizeof(float) == 0);
    const auto *f = reinterpret_cast<const float *>(reinterpret_cast<const char *>(v) + sizeof(int));
    const std::size_t count = (sizeof *v - sizeof(int)) / sizeof(float);
    for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ(f[i], M) << "float " << i;
}

TEST(ThermState, IdentifierDateStormAndSpecialLevels) {
    THERM_set_id("KDDC", 72451);
    EXPECT_STREQ(THERM_get_id(), "KDDC");
    EXPECT_EQ(THERM_get_wmo(), 72451);
    EXPECT_EQ(THERM_get_values()->wmo, 72451);
    char key[FILE_KEY_SIZE];
    FILE_get_key('i', key);
    EXPECT_STREQ(key, "KDDC");
    THERM_set_id("A_VERY_LONG_STATION_NAME", 1);
    EXPECT_STREQ(THERM_get_id(), "A_VERY_LONG_STATION");

    const Date d = {2026, 1, 15, 15, 4, 12, 0, 0};
    EXPECT_EQ(THERM_set_date(&d), 0);
    EXPECT_EQ(THERM_set_date(nullptr), 0);

    const WIND storm = {240, 15};
    THERM_set_storm(&storm);
    EXPECT_EQ(THERM_get_storm().dir, 240);
    EXPECT_EQ(THERM_get_storm().spd, 15);
    const UPA_level trop = {215, 11200, -55, M, 270, 60}, mwnd = {245, 10300, M, M, 275, 95};
    THERM_set_trop(&trop);
    THERM_set_mwnd(&mwnd);
    EXPECT_EQ(std::memcmp(THERM_get_trop(), &trop, sizeof trop), 0);
    EXPECT_EQ(std::memcmp(THERM_get_mwnd(), &mwnd, sizeof mwnd), 0);
}

TEST(ThermState, SurfaceInACoordinate) {
    *THERM_get_sfc() = {920, 790, 18, 10, 180, 12};
    for (int code : {1, 100, 101, 105, 106, 115, 0})
        EXPECT_EQ(THERM_get_sfc_level(code), 920) << code;
    EXPECT_EQ(THERM_get_sfc_level(103), 790);
    EXPECT_EQ(THERM_get_sfc_level(104), 790);
    EXPECT_EQ(THERM_get_sfc_level(113), pot_temp(18 + 273.15f, 920));
    EXPECT_EQ(THERM_get_sfc_level(114), pot_temp(18 + 273.15f, 920));
    THERM_get_sfc()->t = M;
    EXPECT_EQ(THERM_get_sfc_level(113), M);
}

// ---- Making a sounding current ------------------------------------------------------------------

namespace {

UPA_report sample_report() {
    UPA_report r;
    std::memset(&r, 0, sizeof r);
    UPA_initialize(&r);
    std::snprintf(r.id, sizeof r.id, "%s", "QAMB");
    r.wmo = 91001;
    r.lat = 38.12f;
    r.lon = -98.44f;
    r.elev = 540;
    r.numman = 24;
    r.man[0] = {955, M, 24, 15, 170, 10};
    r.man[3] = {850, 1520, 17, 9, 200, 25};
    r.man[4] = {700, 3140, 6, -3, 230, 30};
    r.man[5] = {500, 5840, -12, -25, 250, 45};
    r.man[6] = {400, 7470, -22, -36, 260, 55};
    r.man[7] = {300, 9480, -37, -50, 265, 65};
    r.man[22] = {320, M, -34, M, 262, 60};
    r.man[23] = {350, M, M, M, 263, 90};
    const UPA_sig_level sig[] = {{955, 24, 15}, {900, 21, 12}, {780, 11, 1}, {600, -3, -15}};
    for (const UPA_sig_level &s : sig)
        r.sig[r.numsig++] = s;
    for (int i = 0; i < 30; ++i)
        r.wnd[r.numwnd++] = {1000.0f * i + (i == 0 ? 0 : 2000), float(170 + 3 * i), float(10 + 2 * i)};
    return r;
}

void expect_same_levels(const UPA_level *got, const std::vector<UPA_level> &want, const char *what) {
    for (std::size_t j = 0; j < want.size(); ++j)
        EXPECT_EQ(std::memcmp(&got[j], &want[j], sizeof(UPA_level)), 0) << what << " level " << j;
}

} // namespace

// The current sounding is the merge of the report, completed: heights of
// the temperature levels, pressures of the wind levels, winds on the
// temperature levels; the report gets the computed heights.
TEST(ThermMergeReport, ListsAreTheCompletedMerges) {
    UPA_report r = sample_report();
    UPA_report want = r;
    want.man[0].h = want.elev;
    std::vector<UPA_level> sm(UPA_MAX_SM_MERGE + 1), wm(UPA_MAX_WM_MERGE + 1);
    int si[UPA_MAN_INDEX], wi[UPA_MAN_INDEX];
    const int ns = UPA_sm_merge(&want, sm.data(), si);
    UPA_calc_height(sm.data(), ns);
    want.man[0].h = sm[std::size_t(si[0])].h;
    want.man[22].h = sm[std::size_t(si[22])].h;
    want.man[23].h = sm[std::size_t(si[23])].h;
    want.man[23].t = sm[std::size_t(si[23])].t;
    want.man[23].td = sm[std::size_t(si[23])].td;
    const int nw = UPA_wm_merge(&want, wm.data(), wi);
    UPA_calc_press(wm.data(), nw);
    UPA_calc_wind(sm.data(), ns, wm.data(), nw);
    sm.resize(std::size_t(ns));
    wm.resize(std::size_t(nw));

    ASSERT_EQ(UPA_merge_report(&r), 1);
    ASSERT_EQ(THERM_get_SM_num(), ns);
    ASSERT_EQ(THERM_get_WM_num(), nw);
    expect_same_levels(THERM_get_SM(), sm, "temperature");
    expect_same_levels(THERM_get_WM(), wm, "wind");
    EXPECT_EQ(std::memcmp(&r, &want, sizeof r), 0) << "the report with its computed heights";
    EXPECT_NE(r.man[22].h, M);
    EXPECT_NE(r.man[23].t, M);
    // The heights are the tropopause's and maximum wind's in the wind
    // sounding too, in height order.
    for (int j = 1; j < nw; ++j)
        EXPECT_GT(wm[std::size_t(j)].h, wm[std::size_t(j - 1)].h) << j;
    for (const UPA_level &l : sm)
        EXPECT_NE(l.dir, M) << l.p << ": every temperature level has a wind";

    // The surface, tropopause and maximum wind of the current sounding.
    EXPECT_EQ(THERM_get_sfc()->p, 955);
    EXPECT_EQ(THERM_get_sfc()->h, 540);
    EXPECT_EQ(THERM_get_sfc()->t, 24);
    EXPECT_EQ(std::memcmp(THERM_get_trop(), &r.man[22], sizeof(UPA_level)), 0);
    EXPECT_EQ(std::memcmp(THERM_get_mwnd(), &r.man[23], sizeof(UPA_level)), 0);
    // The accessors of the current lists.
    const float values[2] = {850, 3000};
    UPA_level out[2];
    EXPECT_EQ(UPA_sm_interp(100, values, out, 1), si[3]);
    EXPECT_EQ(out[0].t, 17);
    UPA_wm_interp(103, values + 1, out + 1, 1);
    EXPECT_EQ(out[1].h, 3000);
    EXPECT_NE(out[1].p, M);

    // A report without levels leaves the current sounding as it was.
    UPA_report empty;
    std::memset(&empty, 0, sizeof empty);
    UPA_initialize(&empty);
    EXPECT_EQ(UPA_merge_report(&empty), 0);
    EXPECT_EQ(THERM_get_SM_num(), ns);
    expect_same_levels(THERM_get_SM(), sm, "unchanged");

    // A merge that places no surface: the surface is taken at 1000 mb.
    UPA_report no_sfc = sample_report();
    no_sfc.man[0].p = M;
    no_sfc.numsig = 0;
    no_sfc.man[1] = {1000, 110, 26, 16, 165, 8};
    ASSERT_EQ(UPA_merge_report(&no_sfc), 1);
    EXPECT_EQ(THERM_get_sfc()->p, 1000);
    EXPECT_EQ(THERM_get_sfc()->t, 26);
}

TEST(ThermMergeReport, StationTableFillsAMissingElevation) {
    zeqtest::TempDir dir;
    // The invented stations and one without a WMO number.
    zeqtest::write_file(dir.file("upa.cty"),
                        zeqtest::read_file(std::string(ZEQ_TEST_DATA) + "/upa_test.cty") +
                            "Nowhere_Hill         KS US QNUM      1   37.0000  -99.0000  700 99999 0\n");
    const auto result = zeqtest::run_child([&] {
        RES_put("file_path", dir.path().c_str());
        UPA_report r = sample_report();
        std::snprintf(r.id, sizeof r.id, "%s", "QELM");
        r.elev = r.lat = r.lon = M;
        r.wmo = MISSING;
        if (UPA_merge_report(&r) != 1) return 1;
        std::printf("%s %d %.2f %.2f %.0f %.0f\n", r.id, r.wmo, double(r.lat), double(r.lon), double(r.elev),
                    double(THERM_get_sfc()->h));
        UPA_report n = sample_report();
        std::snprintf(n.id, sizeof n.id, "%s", "QNUM");
        n.elev = M;
        n.wmo = MISSING;
        if (UPA_merge_report(&n) != 1) return 2;
        std::printf("%s %d %.0f\n", n.id, n.wmo, double(n.elev));
        // A station the table does not know keeps its elevation missing.
        UPA_report u = sample_report();
        std::snprintf(u.id, sizeof u.id, "%s", "QZZZ");
        u.elev = M;
        if (UPA_merge_report(&u) != 1) return 3;
        std::printf("%s %.0f\n", u.id, double(u.elev));
        return 0;
    });
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("QELM 91006 39.00 -103.50 1560 1560\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("QNUM -9999 700\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("QZZZ -9999\n"), std::string::npos) << result.out;
}

TEST(ThermSetData, StormMotion) {
    const std::vector<UPA_level> sm = {{1000, 100, 20, 10, M, M}, {500, 5800, -15, -25, M, M}};
    // A wind sounding every 500 m from the ground to top_h.
    auto winds = [](float dir, float top_h) {
        std::vector<UPA_level> v;
        for (float h = 100; h <= top_h; h += 500)
            v.push_back({float(1000 * std::exp(-(h - 100) / 8000.0)), h, M, M, dir, 20});
        return v;
    };
    struct Case {
        const char *what;
        std::vector<UPA_level> wm;
        float dir, spd;
    };
    const Case cases[] = {{"mean from 340", winds(340, 7100), 10, 15},
                          {"mean from 330", winds(330, 7100), 360, 15},
                          {"a wind sounding ending at 3100 m", winds(200, 3100), 230, 15},
                          {"no usable wind", winds(M, 7100), M, M}};
    for (const Case &c : cases) {
        std::vector<UPA_level> s = sm, w = c.wm;
        THERM_set_data(1000, s.data(), 2, w.data(), int(w.size()));
        EXPECT_EQ(THERM_get_SM(), s.data()) << c.what;
        EXPECT_EQ(THERM_get_WM_num(), int(w.size())) << c.what;
        EXPECT_EQ(THERM_get_sfc()->h, 100) << c.what;
        const WIND storm = THERM_get_storm();
        if (c.dir == M) {
            EXPECT_EQ(storm.dir, M) << c.what;
            EXPECT_EQ(storm.spd, M) << c.what;
        } else {
            EXPECT_NEAR(storm.dir, c.dir, 1e-3) << c.what;
            EXPECT_NEAR(storm.spd, c.spd, 1e-3) << c.what;
        }
        const WIND mean = thm_int::mean6();
        if (c.dir != M) {
            EXPECT_NEAR(mean.spd, 20, 1e-3) << c.what;
        }
        // Recomputed on the current lists: the same.
        THERM_set_storm(&mean);
        THERM_calc_storm();
        EXPECT_EQ(THERM_get_storm().dir, storm.dir) << c.what;
    }
    // THERM_set_data clears the index record.
    THERM_get_values()->li = 5;
    std::vector<UPA_level> s = sm, w = winds(250, 7100);
    THERM_set_data(1000, s.data(), 2, w.data(), int(w.size()));
    EXPECT_EQ(THERM_get_values()->li, M);
}

// The plot parameters: paging and the parcel item.
TEST(ThermParam, Items) {
    struct Case {
        std::vector<const char *> items; // plot_param settings read in turn
        int type;
        float thick, p, t, td;
    };
    const Case cases[] = {
        {{"par=700:10:5"}, thm_int::PAR_LEVEL, 100, 700, 10, 5},
        {{"par=layer:50"}, thm_int::PAR_LAYER, 50, 950, 20, 10},
        {{"PAR=MAXT"}, thm_int::PAR_MAXT, 100, 950, 20, 10},
        {{"par=sfc"}, thm_int::PAR_SFC, 100, 950, 20, 10},
        {{"page,par"}, thm_int::PAR_SFC, 100, 950, 20, 10},
        // Without temperature and dew point nothing comes from the previous
        // sounding; a layer without a depth keeps the one it had.
        {{"par=700"}, thm_int::PAR_LEVEL, 100, 700, M, M},
        {{"par=layer:50", "par=layer"}, thm_int::PAR_LAYER, 50, 950, 20, 10},
        {{"nopage"}, thm_int::PAR_LAYER, 100, M, M, M},
    };
    for (const Case &c : cases) {
        const auto result = zeqtest::run_child([&] {
            *THERM_get_sfc() = {950, 500, 20, 10, 180, 5};
            for (const char *item : c.items) {
                RES_put("plot_param", item);
                THERM_param();
            }
            const UPA_level *par = THERM_get_parcel();
            std::printf("%d %g %g %g %g\n", thm_int::par_type(), double(thm_int::par_thick()), double(par->p),
                        double(par->t), double(par->td));
            MESS_hold(M_PRINT, "HOLD\n");
            return 0;
        });
        char want[96];
        std::snprintf(want, sizeof want, "%d %g %g %g %g\n", c.type, double(c.thick), double(c.p),
                      double(c.t), double(c.td));
        EXPECT_EQ(result.out.substr(0, std::strlen(want)), want) << c.items[0];
        // Paging holds at the end of a table unless it was switched off.
        const bool nopage = std::string(c.items[0]) == "nopage";
        EXPECT_EQ(result.out.find("HOLD") != std::string::npos, !nopage) << c.items[0];
    }
}

TEST(ThermCalcWind, WindsOnTheTemperatureLevels) {
    std::vector<UPA_level> sm = {
        {1000, 100, 20, 10, M, M}, {850, 1500, 12, 4, 300, 9}, {300, 9200, -40, -55, M, M}};
    const std::vector<UPA_level> wm = {{1000, 100, M, M, 180, 10}, {700, 3000, M, M, 240, 30}};
    UPA_calc_wind(sm.data(), 3, wm.data(), 2);
    EXPECT_EQ(sm[0].dir, 180);
    EXPECT_EQ(sm[0].spd, 10);
    EXPECT_EQ(sm[1].dir, 300) << "a level with a wind keeps it";
    EXPECT_EQ(sm[2].dir, M) << "above the winds";
}

// ---- The sounding analysis driver ------------------------------------------------------------
// A report made current, its indices computed and the five tables printed,
// paging off; the output is compared with reviewed texts.

namespace {

const std::string kData = std::string(ZEQ_TEST_DATA) + "/upperair/";

UPA_report blank_report(const char *id, int wmo, float elev) {
    UPA_report r;
    std::memset(&r, 0, sizeof r);
    UPA_initialize(&r);
    std::snprintf(r.id, sizeof r.id, "%s", id);
    r.wmo = wmo;
    r.lat = 38.0f;
    r.lon = -98.0f;
    r.elev = elev;
    r.numman = 24;
    return r;
}

void add_sig(UPA_report &r, std::initializer_list<UPA_sig_level> levels) {
    for (const UPA_sig_level &s : levels)
        r.sig[r.numsig++] = s;
}
void add_winds(UPA_report &r, std::initializer_list<UPA_wind_level> winds) {
    for (const UPA_wind_level &w : winds)
        r.wnd[r.numwnd++] = w;
}

// A warm-season sounding capped by an inversion at 860 mb (100 mb above the
// surface), moist below, every level with a dew point.
UPA_report warm_report() {
    UPA_report r = blank_report("QWRM", 91011, 400);
    r.man[0] = {960, M, 31.0f, 21.0f, 170, 12};
    r.man[2] = {925, 760, 27.0f, 19.0f, 190, 20};
    r.man[3] = {850, 1480, 26.0f, 6.0f, 215, 25};
    r.man[4] = {700, 3130, 11.0f, -3.0f, 240, 30};
    r.man[5] = {500, 5860, -11.0f, -24.0f, 250, 40};
    r.man[6] = {400, 7560, -21.5f, -35.0f, 255, 50};
    r.man[7] = {300, 9640, -37.0f, -49.0f, 260, 60};
    r.man[8] = {250, 10900, -46.0f, -57.0f, 265, 70};
    r.man[9] = {200, 12350, -55.0f, -65.0f, 270, 65};
    r.man[10] = {150, 14150, -61.0f, -72.0f, 270, 45};
    r.man[11] = {100, 16600, -64.0f, -80.0f, 265, 25};
    r.man[22] = {190, M, -57.0f, -67.0f, 270, 62};
    r.man[23] = {240, M, M, M, 266, 75};
    add_sig(r, {{960, 31.0f, 21.0f},
                {900, 25.4f, 18.0f},
                {860, 27.2f, 8.0f},
                {780, 19.0f, 2.0f},
                {600, 0.5f, -12.0f},
                {450, -16.0f, -30.0f}});
    add_winds(r, {{0, 170, 12},
                  {2000, 180, 18},
                  {3000, 185, 24},
                  {5000, 200, 28},
                  {7000, 215, 30},
                  {10000, 235, 32},
                  {14000, 245, 36},
                  {20000, 250, 45},
                  {25000, 255, 52},
                  {30000, 260, 60},
                  {35000, 265, 70},
                  {40000, 270, 65},
                  {45000, 270, 50},
                  {50000, 270, 38}});
    return r;
}

// A cold sounding warm at the ground with a warm layer aloft: it crosses
// 0 Celsius three times (1000-980, 950-925 and 850-820 mb). Every level has
// a dew point and 910 mb (100 mb above the surface) is a level, as the
// reference ascent needs.
UPA_report cold_report() {
    UPA_report r = blank_report("QCLD", 91022, 60);
    r.man[0] = {1010, M, 1.5f, 0.5f, 60, 10};
    r.man[1] = {1000, 142, 1.0f, 0.0f, 70, 12};
    r.man[2] = {925, 680, 2.0f, 0.5f, 150, 19};
    r.man[3] = {850, 1360, 1.0f, -1.0f, 200, 28};
    r.man[4] = {700, 2880, -9.0f, -13.0f, 230, 40};
    r.man[5] = {500, 5420, -26.0f, -33.0f, 245, 50};
    r.man[6] = {400, 6950, -37.0f, -44.0f, 250, 60};
    r.man[7] = {300, 8820, -50.0f, -57.0f, 255, 75};
    r.man[8] = {250, 9950, -55.0f, -62.0f, 260, 85};
    r.man[9] = {200, 11300, -56.0f, -65.0f, 265, 70};
    r.man[10] = {150, 13200, -57.0f, -70.0f, 265, 50};
    r.man[11] = {100, 15800, -60.0f, -78.0f, 260, 30};
    r.man[22] = {220, M, -58.5f, -66.0f, 262, 78};
    r.man[23] = {280, M, M, M, 260, 92};
    add_sig(r, {{1010, 1.5f, 0.5f},
                {980, -1.5f, -2.5f},
                {950, -2.0f, -3.0f},
                {910, 2.4f, 0.8f},
                {880, 3.0f, 1.0f},
                {820, -1.5f, -3.5f},
                {600, -17.0f, -22.0f}});
    add_winds(r, {{0, 60, 10},
                  {1000, 80, 15},
                  {2000, 120, 18},
                  {3000, 160, 20},
                  {5000, 200, 28},
                  {8000, 230, 40},
                  {12000, 240, 45},
                  {18000, 250, 55},
                  {25000, 255, 65},
                  {30000, 260, 80},
                  {35000, 260, 90},
                  {40000, 265, 70},
                  {45000, 265, 50},
                  {50000, 260, 35}});
    return r;
}

void print_tables() {
    THERM_sig_table();
    THERM_indices();
    THERM_wind();
    THERM_wind_table();
    THERM_storm_table();
}

// The driver in a child: every table kind shown, paging off; each report
// made current, computed and printed in turn.
zeqtest::ChildResult drive(const std::vector<UPA_report> &reports) {
    return zeqtest::run_child([&] {
        MESS_set_str("out3");
        RES_put("plot_param", "nopage");
        for (UPA_report r : reports) {
            if (UPA_merge_report(&r) != 1) return 1;
            THERM_calc();
            print_tables();
        }
        return 0;
    });
}

// Compares a text with a reviewed file; a difference leaves the text beside
// the build for review.
void expect_golden(const std::string &text, const std::string &name) {
    const std::string want = zeqtest::read_file(kData + name);
    if (text == want) return;
    const std::string actual = std::string("/tmp/") + name + ".actual";
    zeqtest::write_file(actual, text);
    ADD_FAILURE() << name << " differs; the output is in " << actual;
}

} // namespace

TEST(ThermDriver, GoldenTables) {
    for (const auto &[report, golden] :
         {std::pair{warm_report(), "sounding_warm.txt"}, std::pair{cold_report(), "sounding_cold.txt"}}) {
        const auto result = drive({report});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        expect_golden(result.out, golden);
        EXPECT_EQ(result.out.find("-273.15"), std::string::npos) << golden;
    }
}

// A sounding after another prints exactly what it prints alone: nothing of
// the first one is left in its tables.
TEST(ThermDriver, NothingOfAnEarlierSounding) {
    const auto both = drive({warm_report(), cold_report()});
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(both.out, zeqtest::read_file(kData + "sounding_warm.txt") +
                            zeqtest::read_file(kData + "sounding_cold.txt"));
}

// The indices of the driver against the NumPy port of the ascent: the
// parcel of the lowest 100 mb (the default), the lifted index from it, the
// Showalter index and the cap strength, on both fixture soundings.
TEST(ThermDriver, ParcelIndicesAgainstNumpyPort) {
    std::string input;
    upatest::PortValues got;
    for (const auto &[report, name] :
         {std::pair{warm_report(), std::string("warm")}, std::pair{cold_report(), std::string("cold")}}) {
        UPA_report r = report;
        ASSERT_EQ(UPA_merge_report(&r), 1);
        THERM_calc();
        const UPA_level *sm = THERM_get_SM();
        for (int i = 0; i < THERM_get_SM_num(); ++i)
            ASSERT_NE(sm[i].td, M) << name << ": the port needs every dew point";
        input += upatest::sounding_block(sm, THERM_get_SM_num());
        char line[160];
        const float p = THERM_get_sfc()->p;
        std::snprintf(line, sizeof line,
                      "CASE %s level %.9g 100\nLI %s.li %.9g 100 500\nLI %s.si 850 0 500\n"
                      "CAP %s.cap %.9g 100\n",
                      name.c_str(), double(p), name.c_str(), double(p), name.c_str(), name.c_str(),
                      double(p));
        input += line;
        const THERM_values &v = *THERM_get_values();
        got[name] = upatest::parcel_values(v.parcel);
        got[name + ".li"]["li"] = v.li;
        got[name + ".si"]["li"] = v.si;
        got[name + ".cap"]["cap"] = v.cap;
    }
    EXPECT_EQ(upatest::compare_with_port(input, got), 2u * (12 + 3));
    // What the two soundings are meant to be.
    EXPECT_GT(got["warm"]["Bplus"], 1000);
    EXPECT_GT(got["warm"]["Bminus"], 50);
    EXPECT_EQ(got["cold"]["lfc"], -1);
}

// ---- Printed tables ---------------------------------------------------------------------------

namespace {

// The lines of what print() writes to standard output.
std::vector<std::string> printed(const std::function<void()> &print) {
    testing::internal::CaptureStdout();
    print();
    return zeqtest::text_lines(testing::internal::GetCapturedStdout());
}

// The first line beginning with start, or "" when there is none.
std::string line_of(const std::vector<std::string> &lines, const std::string &start) {
    for (const std::string &l : lines)
        if (l.compare(0, start.size(), start) == 0) return l;
    return "";
}

void tables_without_paging() {
    MESS_set_str("out3");
    MESS_set_page(0);
}

} // namespace

// Every risk text at and beside its bounds: the ranges are closed where
// the tables say "up to" and "and above".
TEST(ThermIndices, RiskTextsAtTheBounds) {
    tables_without_paging();
    struct Case {
        float THERM_values::*field;
        const char *line;
        float value;
        const char *risk;
    };
    const Case cases[] = {
        {&THERM_values::li, "Lifted Index:", 2.01f, "None"},
        {&THERM_values::li, "Lifted Index:", 2, "Showers probable"},
        {&THERM_values::li, "Lifted Index:", 0, "Thunderstorms probable"},
        {&THERM_values::li, "Lifted Index:", -2, "Severe thunderstorms possible"},
        {&THERM_values::li, "Lifted Index:", -4, "Severe thunderstorms probable"},
        {&THERM_values::si, "Showalter Index:", 3.01f, "None"},
        {&THERM_values::si, "Showalter Index:", 3, "Showers probable"},
        {&THERM_values::si, "Showalter Index:", 1, "Thunderstorms probable"},
        {&THERM_values::si, "Showalter Index:", -2, "Severe thunderstorms possible"},
        {&THERM_values::si, "Showalter Index:", -6, "Severe thunderstorms probable"},
        {&THERM_values::tt, "Total Totals Index:", 43.99f, "None"},
        {&THERM_values::tt, "Total Totals Index:", 44, "Scattered moderate thunderstorms"},
        {&THERM_values::tt, "Total Totals Index:", 49, "Scattered heavy thunderstorms"},
        {&THERM_values::tt, "Total Totals Index:", 55, "Severe Thunderstorms probable"},
        {&THERM_values::k, "K Index:", 14.99f, "None"},
        {&THERM_values::k, "K Index:", 15, "< 20 % chance of thunderstorms"},
        {&THERM_values::k, "K Index:", 20, "20-40 % chance of thunderstorms"},
        {&THERM_values::k, "K Index:", 25, "40-60 % chance of thunderstorms"},
        {&THERM_values::k, "K Index:", 30, "60-80 % chance of thunderstorms"},
        {&THERM_values::k, "K Index:", 35, "> 80 % chance of thunderstorms"},
        {&THERM_values::sweat, "Sweat Index:", 299.9f, "None"},
        {&THERM_values::sweat, "Sweat Index:", 300, "Showers and thunderstorms possible"},
        {&THERM_values::sweat, "Sweat Index:", 400, "Severe Thunderstorms possible"},
        {&THERM_values::ei, "Energy Index:", 0.01f, "None"},
        {&THERM_values::ei, "Energy Index:", 0, "Scattered severe thunderstorms"},
        {&THERM_values::ei, "Energy Index:", -2, "Severe Thunderstorms probable"},
    };
    for (const Case &c : cases) {
        THERM_values &v = *THERM_get_values();
        THERM_init_values(&v);
        v.*c.field = c.value;
        const std::vector<std::string> lines = printed(THERM_indices);
        const std::string line = line_of(lines, c.line);
        char value[16];
        std::snprintf(value, sizeof value, "%6.2f", double(c.value));
        EXPECT_NE(line.find(value), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.find("Risk: ") + 6), c.risk) << c.line << " " << c.value;
        // Only that index has a risk line.
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string &l) { return l.find("Risk:") != std::string::npos; }),
                  1)
            << c.line;
    }
}

TEST(ThermIndices, MissingValuesLeaveTheirLinesOut) {
    tables_without_paging();
    THERM_values &v = *THERM_get_values();
    THERM_init_values(&v);
    const std::vector<std::string> lines = printed(THERM_indices);
    // Titles and the parcel choice only.
    EXPECT_EQ(lines, (std::vector<std::string>{"", "Sounding variables and indices", "", "Parcel Indices",
                                               "Parcel: using 100 mb layer"}));

    // The level of free convection: -1 is "none", missing nothing, else the
    // level with its height (none without a sounding).
    v.parcel.lfc = -1;
    EXPECT_EQ(line_of(printed(THERM_indices), "Lev Free Conv"), "Lev Free Conv (LFC):     none");
    v.parcel.lfc = 640.5f;
    EXPECT_EQ(line_of(printed(THERM_indices), "Lev Free Conv"),
              "Lev Free Conv (LFC):     640.50 mb = -9999.00 m = -9999.00 ft");
    // Convective condensation: -1 is "None"; a level without convective
    // temperature shows it as -9999.
    v.ccl = -1;
    EXPECT_EQ(line_of(printed(THERM_indices), "Conv cond"), "Conv cond level (CCL): None");
    v.ccl = 800;
    v.wbar = 9.5f;
    const std::vector<std::string> ccl = printed(THERM_indices);
    EXPECT_EQ(line_of(ccl, "  Mean mixing ratio:"), "  Mean mixing ratio:       9.50 g/kg");
    EXPECT_EQ(line_of(ccl, "  Conv temperature:"), "  Conv temperature:     -9999.00 C = -9999.00 F");
    v.wb0 = -1;
    EXPECT_EQ(line_of(printed(THERM_indices), "Wetbulb"), "Wetbulb zero:        Below ground");
}

// The parcel that the plot parameters choose, and a choice that runs none:
// no "Parcel:" line and no parcel values, also not those of the ascent
// before it.
TEST(ThermCalc, ParcelChoices) {
    tables_without_paging();
    UPA_report r = warm_report();
    ASSERT_EQ(UPA_merge_report(&r), 1);
    const UPA_level sfc = *THERM_get_sfc();
    const THERM_values &v = *THERM_get_values();
    struct Case {
        int type;
        const char *line; // the "Parcel:" line; null: none
    };
    const Case cases[] = {{thm_int::PAR_LAYER, "Parcel: using 100 mb layer"},
                          {thm_int::PAR_SFC, "Parcel: using surface"},
                          {thm_int::PAR_MAXT, "Parcel: using max temp"},
                          {4, nullptr},
                          {thm_int::PAR_LEVEL, "Parcel: using P: 700 T: 15.0 TD: -3.0"}};
    for (const Case &c : cases) {
        thm_int::set_par_type(c.type);
        if (c.type == thm_int::PAR_LEVEL) *THERM_get_parcel() = {700, M, 15, M, M, M};
        THERM_calc();
        const std::vector<std::string> lines = printed(THERM_indices);
        const UPA_level &par = *THERM_get_parcel();
        if (c.line == nullptr) {
            EXPECT_EQ(line_of(lines, "Parcel:"), "");
            EXPECT_EQ(line_of(lines, "CAPE"), "");
            EXPECT_EQ(v.parcel.Bplus, M);
            EXPECT_EQ(v.parcel.plcl, M);
            EXPECT_EQ(par.p, sfc.p) << "the parcel level is the surface";
            continue;
        }
        EXPECT_EQ(line_of(lines, "Parcel:"), c.line);
        EXPECT_NE(line_of(lines, "CAPE (B+):"), "") << c.line;
        switch (c.type) {
        case thm_int::PAR_SFC:
            EXPECT_EQ(par.t, sfc.t);
            EXPECT_EQ(par.td, sfc.td);
            break;
        case thm_int::PAR_LAYER:
            // The means of the layer: warmer than the surface (the
            // inversion's potential temperature) and drier.
            EXPECT_EQ(par.p, sfc.p);
            EXPECT_GT(par.t, sfc.t);
            EXPECT_LT(par.td, sfc.td);
            break;
        case thm_int::PAR_MAXT:
            EXPECT_EQ(par.p, sfc.p);
            EXPECT_EQ(par.t, v.max_t);
            EXPECT_EQ(par.td, sfc.td);
            break;
        default:
            // The given temperature, the sounding's own dew point at 700 mb.
            EXPECT_EQ(par.p, 700);
            EXPECT_EQ(par.t, 15);
            EXPECT_EQ(par.td, -3);
            break;
        }
    }
}

// Without a sounding nothing can be formed and no index is printed.
TEST(ThermCalc, NoSounding) {
    tables_without_paging();
    EXPECT_EQ(THERM_calc(), 0);
    const THERM_values &v = *THERM_get_values();
    for (float f : {v.thick, v.frz, v.precip, v.mean_rh, v.max_t, v.plcl, v.tlcl, v.li, v.cap, v.si, v.tt,
                    v.k, v.ct, v.parcel.Bplus, v.helicity.pos_hel, v.shear.pos_shr, v.brn, v.ehi})
        EXPECT_EQ(f, M);
    const std::vector<std::string> lines = printed(THERM_indices);
    EXPECT_EQ(lines, (std::vector<std::string>{"", "Sounding variables and indices", "", "Parcel Indices",
                                               "Parcel: using 100 mb layer"}));
}

// A wind sounding without pressures has no layer-mean wind (its weights are
// pressure ratios) but has shear and helicity (steps in height).
TEST(ThermTables, StormTableWithoutMeanWind) {
    tables_without_paging();
    std::vector<UPA_level> sm = {{950, 500, 25, 15, M, M}, {500, 5800, -10, -25, M, M}};
    std::vector<UPA_level> wm;
    for (int i = 0; i <= 70; ++i)
        wm.push_back({M, 500.0f + 100.0f * i, M, M, 180.0f + i, 10.0f + 0.5f * i});
    THERM_set_data(950, sm.data(), 2, wm.data(), int(wm.size()));
    const WIND storm = {240, 20};
    THERM_set_storm(&storm);
    const std::vector<std::string> lines = printed(THERM_storm_table);
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[1], "Storm Parameters");
    EXPECT_EQ(lines[2], std::string(79, '-'));
    // Depth, no mean wind, then the shear columns (15 characters) and the
    // helicity and vorticity columns, all filled.
    const char *depths[] = {" 500", "1000", "1500", "2000", "2500", "3000", "4000", "5000", "6000"};
    for (std::size_t i = 7; i < lines.size(); ++i) {
        const std::string &l = lines[i];
        EXPECT_EQ(l.substr(0, 23), std::string(depths[i - 7]) + "   NO DATA       | ") << l;
        const std::string shear = l.substr(23, 15), hel = l.substr(38);
        EXPECT_EQ(shear.back(), '|') << l;
        EXPECT_NE(shear.find_first_of("123456789"), std::string::npos) << l;
        EXPECT_NE(hel.find('.'), std::string::npos) << l;
        EXPECT_EQ(hel.find("-9999"), std::string::npos) << l;
    }
    // The vorticity columns of the rows below and above 4000 m.
    EXPECT_EQ(lines[12].size(), lines[13].size());
}

// With 20 lines to a page the tables pause after rows 16, 36, 56 ...; the
// wind table's last row does not pause twice.
TEST(ThermTables, PagingWithFedInput) {
    struct Case {
        int temps, winds;
        std::vector<std::string> paused_after; // the line before each pause
    };
    const Case cases[] = {
        {60, 17, {" 16 ", " 36 ", " 56 ", "WND ", " 16  "}},
        {15, 18, {"TRP ", "WND ", " 16  ", " 17  "}},
    };
    for (const Case &c : cases) {
        const auto result = zeqtest::run_child(
            [&] {
                MESS_set_str("out3,line=20");
                std::vector<UPA_level> sm, wm;
                for (int i = 0; i < c.temps; ++i)
                    sm.push_back({1000.0f - 10.0f * i, 100.0f + 90.0f * i, 20.0f - 0.6f * i, 10.0f - 0.8f * i,
                                  200, 20});
                for (int i = 0; i < c.winds; ++i)
                    wm.push_back({1000.0f - 30.0f * i, 100.0f + 300.0f * i, M, M, 200.0f + i, 20.0f + i});
                THERM_set_data(1000, sm.data(), c.temps, wm.data(), c.winds);
                THERM_sig_table();
                THERM_wind_table();
                return 0;
            },
            {std::string(20, '\n')});
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<std::string> lines = zeqtest::text_lines(result.out);
        std::vector<std::string> before;
        for (std::size_t i = 1; i < lines.size(); ++i)
            if (lines[i] == "Press return to continue") before.push_back(lines[i - 1].substr(0, 5));
        ASSERT_EQ(before.size(), c.paused_after.size()) << result.out;
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(before[i].substr(0, c.paused_after[i].size()), c.paused_after[i]) << i;
    }
}

// ---- Point-data soundings ----------------------------------------------------------------------

namespace {

const Date kDate = {2026, 1, 15, 15, 4, 12, 0, 0};

// A small current sounding: the 850 mb level without dew point and wind,
// a wind level without speed, a tropopause and a maximum wind.
struct SmallSounding {
    std::vector<UPA_level> sm = {{900, 1000, 20.4f, 12.5f, 180, 10},
                                 {850, 1480, 16.0f, M, M, M},
                                 {700, 3050, 5.5f, -2.5f, 230, 25},
                                 {500, 5700, -12.3f, -25.0f, 250, 40}};
    std::vector<UPA_level> wm = {
        {900, 1000, M, M, 180, 10}, {800, 2000, M, M, 210, 20}, {600, 4300, M, M, 240, M}};
    SmallSounding() {
        THERM_set_data(900, sm.data(), int(sm.size()), wm.data(), int(wm.size()));
        const UPA_level trop = {215, 11200, -55.1f, M, 270, 60}, mwnd = {250, 10300, M, M, 275, 95};
        THERM_set_trop(&trop);
        THERM_set_mwnd(&mwnd);
        THERM_set_id("QAMB", 91001);
        THERM_set_date(&kDate);
    }
};

const char *const kSmallFile = "ZEQRAW\n"
                               "1200Z 15 JAN 26\n"
                               "!QAMB Sounding\n"
                               " Lev   P     H     T     Td    Dir Spd $\n"
                               " SFC  900  1000   20.4  12.5  180  10\n"
                               "   1  850  1480   16.0     -  195  15\n"
                               "   2  700  3050    5.5  -2.5  230  25\n"
                               "   3  500  5700  -12.3 -25.0  250  40\n"
                               "WIND  900  1000      -     -  180  10\n"
                               "   1  800  2000      -     -  210  20\n"
                               "   2  600  4300      -     -  240   - \n"
                               "TROP  215 11200  -55.1     -  270  60\n"
                               "MWND  250 10300      -     -  275  95\n"
                               "\n";

// Output into dir by the shipped name conventions.
void output_into(const zeqtest::TempDir &dir, const char *out_file) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    RES_put("raw_path", dir.path().c_str());
    RES_put("out_file", out_file);
}

void expect_levels(const UPA_level *got, int num, const std::vector<UPA_level> &want, const char *what) {
    ASSERT_EQ(num, int(want.size())) << what;
    for (int i = 0; i < num; ++i) {
        const UPA_level &g = got[i], &w = want[std::size_t(i)];
        EXPECT_TRUE(g.p == w.p && g.h == w.h && g.t == w.t && g.td == w.td && g.dir == w.dir &&
                    g.spd == w.spd)
            << what << " level " << i << ": " << g.p << " " << g.h << " " << g.t << " " << g.td << " "
            << g.dir << " " << g.spd;
    }
}

} // namespace

// The file of the current sounding, byte for byte; the point-data reader
// reads it as a pressure list with five value fields.
TEST(ThermRaw, WrittenFileAndItsReading) {
    zeqtest::TempDir dir;
    output_into(dir, "gif,raw");
    SmallSounding snd;
    testing::internal::CaptureStdout();
    EXPECT_EQ(THERM_out_raw(), 1);
    const std::string name = dir.file("26011512_upa.raw");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Written raw file to: " + name + "\n");
    EXPECT_EQ(zeqtest::read_file(name), kSmallFile);
    // The temperature level without a wind got the wind sounding's.
    EXPECT_NEAR(snd.sm[1].dir, 194.56f, 0.01f);

    char file[FILE_NAME_SIZE];
    std::snprintf(file, sizeof file, "%s", name.c_str());
    int type = 0;
    const int slot = RAW_open(file, 0, &type);
    ASSERT_GE(slot, 0);
    RAW_info info{};
    ASSERT_EQ(RAW_getinfo(slot, &info), 0);
    EXPECT_STREQ(info.info, "QAMB Sounding");
    EXPECT_EQ(info.date.year, 2026);
    EXPECT_EQ(info.date.hour, 12);
    ASSERT_EQ(RAW_get_num_field(slot), 7);
    RAW_report r{};
    std::vector<float> row;
    for (int n = 0; RAW_read(slot, &r, RAW_EACH_FIELD, &n) == 1; ++n) {
        EXPECT_EQ(r.type, int(row.size()) + 2);
        row.push_back(r.value[0]);
    }
    EXPECT_STREQ(r.id, "SFC");
    EXPECT_EQ(r.lat, 900);
    EXPECT_EQ(row, (std::vector<float>{1000, 20.4f, 12.5f, 180, 10}));
    RAW_close(slot);
}

// Read back, the sounding has its levels at the written precision, its
// tropopause, maximum wind, surface pressure, identifier and date: written
// again, it is the same file.
TEST(ThermRaw, ReadBack) {
    zeqtest::TempDir dir;
    const std::string name = dir.file("snd.raw");
    zeqtest::write_file(name, kSmallFile);
    EXPECT_EQ(THERM_read_raw(name.c_str()), 0);
    expect_levels(THERM_get_SM(), THERM_get_SM_num(),
                  {{900, 1000, 20.4f, 12.5f, 180, 10},
                   {850, 1480, 16.0f, M, 195, 15},
                   {700, 3050, 5.5f, -2.5f, 230, 25},
                   {500, 5700, -12.3f, -25.0f, 250, 40}},
                  "temperature");
    expect_levels(THERM_get_WM(), THERM_get_WM_num(),
                  {{900, 1000, M, M, 180, 10}, {800, 2000, M, M, 210, 20}, {600, 4300, M, M, 240, M}},
                  "wind");
    expect_levels(THERM_get_trop(), 1, {{215, 11200, -55.1f, M, 270, 60}}, "tropopause");
    expect_levels(THERM_get_mwnd(), 1, {{250, 10300, M, M, 275, 95}}, "maximum wind");
    EXPECT_EQ(THERM_get_sfc()->p, 900);
    EXPECT_EQ(THERM_get_sfc()->t, 20.4f);
    EXPECT_STREQ(THERM_get_id(), "QAMB");
    EXPECT_STREQ(UPA_get_datim(), "1200Z 15 JAN 26");
    // Written again, the same file under the sounding's date.
    output_into(dir, "raw");
    testing::internal::CaptureStdout();
    EXPECT_EQ(THERM_out_raw(), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(zeqtest::read_file(dir.file("26011512_upa.raw")), kSmallFile);
}

// A sounding already at the written precision prints the same tables after
// it went out and came back.
TEST(ThermRaw, SameTablesAfterTheRoundTrip) {
    zeqtest::TempDir dir;
    output_into(dir, "raw");
    MESS_set_str("out3");
    RES_put("plot_param", "nopage");
    std::vector<UPA_level> sm, wm;
    for (int i = 0; i < 12; ++i) {
        const float p = 1000.0f - 75.0f * i;
        sm.push_back({p, std::round(100.0f + 8000.0f * std::log(1000.0f / p)),
                      std::round(10.0f * (28.0f - 0.7f * i * i)) / 10,
                      std::round(10.0f * (20.0f - 3.0f * i)) / 10, 180.0f + 8.0f * i, 10.0f + 4.0f * i});
    }
    for (int i = 0; i < 15; ++i)
        wm.push_back({std::round(1000.0f * std::exp(-500.0f * i / 8000.0f)), 100.0f + 500.0f * i, M, M,
                      170.0f + 6.0f * i, 8.0f + 3.0f * i});
    THERM_set_data(1000, sm.data(), int(sm.size()), wm.data(), int(wm.size()));
    const UPA_level trop = {250, 10500, -52.3f, M, 265, 50}, mwnd = {300, 9100, M, M, 260, 60};
    THERM_set_trop(&trop);
    THERM_set_mwnd(&mwnd);
    THERM_set_date(&kDate);
    auto tables = [] {
        testing::internal::CaptureStdout();
        THERM_calc();
        print_tables();
        return testing::internal::GetCapturedStdout();
    };
    const std::string before = tables();
    ASSERT_NE(before.find("CAPE"), std::string::npos);
    testing::internal::CaptureStdout();
    ASSERT_EQ(THERM_out_raw(), 1);
    EXPECT_EQ(THERM_read_raw(dir.file("26011512_upa.raw").c_str()), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(THERM_get_SM(), sm.data());
    EXPECT_EQ(tables(), before);
}

// Files written by hand: labels in any case, a file without wind rows or
// without a surface row, special rows among the numbered ones, a row without
// values, a long identifier.
TEST(ThermRaw, FileVariants) {
    const std::string head =
        "ZEQRAW\n00Z  2 FEB 26\n!QWERTYUIOPASDFGHJKLZXCV Sounding\n Lev P H T Td Dir Spd $\n";
    struct Case {
        const char *what;
        std::string rows;
        int sm_num, wm_num; // wm_num -1: the temperature list serves
        float sfc_p, trop_p, mwnd_p;
    };
    const Case cases[] = {
        {"lower-case labels",
         "sfc 950 500 20 10 180 5\n1 850 1400 14 6 200 10\nwind 950 500 - - 180 5\n"
         "1 900 1000 - - 190 8\ntrop 200 11800 -56 - 270 40\nmwnd 250 10300 - - 260 60\n",
         2, 2, 950, 200, 250},
        {"no wind rows", " SFC 950 500 20 10 180 5\n 1 850 1400 14 6 200 10\n 2 700 3000 4 -6 230 20\n", 3,
         -1, 950, M, M},
        {"no surface row", " 0 960 400 21 11 170 5\n 1 850 1400 14 6 200 10\n", 2, -1, 960, M, M},
        {"special rows between the levels",
         " SFC 950 500 20 10 180 5\nTROP 200 11800 -56 - 270 40\n 1 850 1400 14 6 200 10\nMWND 250 10300 - - "
         "260 60\n"
         " 2 700 3000 4 -6 230 20\n",
         3, -1, 950, 200, 250},
        {"a row without values", " SFC 950 500 20 10 180 5\n 1 900\n 2 850 1400 14 6 200 10\n", 2, -1, 950, M,
         M},
    };
    for (const Case &c : cases) {
        zeqtest::TempDir dir;
        const std::string name = dir.file("in.raw");
        zeqtest::write_file(name, head + c.rows + "\n");
        // The sounding before has a tropopause and maximum wind of its own.
        const UPA_level old = {300, 9000, -40, M, 250, 50};
        THERM_set_trop(&old);
        THERM_set_mwnd(&old);
        testing::internal::CaptureStdout();
        EXPECT_EQ(THERM_read_raw(name.c_str()), 0) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "ID: QWERTYUIOPASDFGHJKLZXCV Sounding\nDate: 00Z  2 FEB 26\n")
            << c.what;
        EXPECT_EQ(THERM_get_SM_num(), c.sm_num) << c.what;
        if (c.wm_num < 0) {
            EXPECT_EQ(THERM_get_WM(), THERM_get_SM()) << c.what;
            EXPECT_EQ(THERM_get_WM_num(), c.sm_num) << c.what;
        } else {
            EXPECT_EQ(THERM_get_WM_num(), c.wm_num) << c.what;
            EXPECT_EQ(THERM_get_WM()[c.wm_num - 1].dir, c.wm_num == 2 ? 190 : M) << c.what;
        }
        EXPECT_EQ(THERM_get_sfc()->p, c.sfc_p) << c.what;
        EXPECT_EQ(THERM_get_trop()->p, c.trop_p) << c.what;
        EXPECT_EQ(THERM_get_mwnd()->p, c.mwnd_p) << c.what;
        EXPECT_EQ(THERM_get_SM()[c.sm_num - 1].p, c.sm_num == 2 ? 850 : 700) << c.what;
        EXPECT_STREQ(THERM_get_id(), "QWERTYUIOPASDFGHJKL") << c.what;
    }
}

// More rows than the lists hold: the first 300 of each list are kept and
// one warning names the file.
TEST(ThermRaw, RowsBeyondTheLists) {
    zeqtest::TempDir dir;
    const std::string name = dir.file("long.raw");
    std::string text = "ZEQRAW\n00Z  2 FEB 26\n!QLNG Sounding\n Lev P H T Td Dir Spd $\n";
    for (int i = 0; i < 320; ++i)
        text += std::to_string(i) + " " + std::to_string(1000 - 3 * i) + " " + std::to_string(100 + 30 * i) +
                " 20 10 180 5\n";
    text += "WIND 1000 100 - - 180 5\n";
    for (int i = 1; i < 310; ++i)
        text += std::to_string(i) + " - " + std::to_string(100 + 30 * i) + " - - 200 9\n";
    zeqtest::write_file(name, text + "\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(THERM_read_raw(name.c_str()), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(THERM_get_SM_num(), 300);
    EXPECT_EQ(THERM_get_SM()[299].p, 1000 - 3 * 299);
    EXPECT_EQ(THERM_get_WM_num(), 300);
    EXPECT_EQ(THERM_get_WM()[299].h, 100 + 30 * 299);
    EXPECT_EQ(err, "THERM_read_raw: More than 300 levels, the rows after them left out: " + name + "\n");
}

// An output that cannot be opened or written gives 0 with a warning naming
// it, and an input that cannot be opened ends the program with status 10.
TEST(ThermRaw, Failures) {
    zeqtest::TempDir dir;
    zeqtest::write_file(dir.file("plain"), "");
    struct Case {
        std::string out_file, warning;
    };
    const Case cases[] = {
        {"raw=@" + dir.file("plain") + "/snd.raw",
         "THERM_out_raw: Unable to open output file: " + dir.file("plain") + "/snd.raw\n"},
        {"gif,raw=@/dev/full", "THERM_out_raw: Unable to write output file: /dev/full\n"},
    };
    for (const Case &c : cases) {
        output_into(dir, c.out_file.c_str());
        SmallSounding snd;
        testing::internal::CaptureStderr();
        EXPECT_EQ(THERM_out_raw(), 0) << c.out_file;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning);
    }
    const auto missing = zeqtest::run_child([&] {
        THERM_read_raw(dir.file("none.raw").c_str());
        return 0;
    });
    EXPECT_EQ(missing.status, 10);
    EXPECT_EQ(missing.err, "Unable to open file:" + dir.file("none.raw") + "\n");
}
