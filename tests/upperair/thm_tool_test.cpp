// The current sounding's state: its start, the index record cleared whole,
// the identifier and date, and the surface in each coordinate.
#include "upperair/thm_tool.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fields/calc.h"
#include "runtime/files.h"

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
