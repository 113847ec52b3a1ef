// The current sounding: made from a report (the completed merges, the
// station table, the surface), installed from lists (storm motion), the
// plot parameters of the parcel; its state at start, the index record
// cleared whole, the identifier and date, the surface in each coordinate.
#include "upperair/thm_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fields/calc.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "upperair/thm_tool_int.h"
#include "upperair/ua_merge.h"
#include "upperair/ua_read.h"

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
