#include "runtime/flag.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <ostream>

namespace {

using Switches = std::array<int, 13>;

Switches switches() {
    Switches s{};
    for (int i = 0; i < 13; ++i)
        s[i] = FLAG_getplot(i);
    return s;
}

// ---- Flag slots --------------------------------------------------------------

TEST(FlagSlots, StartMissingAndBatchAndHelpOff) {
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(FLAG_get(i), -9999) << "slot " << i;
    EXPECT_EQ(FLAG_batch(), 0);
    EXPECT_EQ(FLAG_help(), 0);
}

struct SlotCase {
    int flag;
    int set_result; // 0 stored, -1 refused
};

void PrintTo(const SlotCase &c, std::ostream *os) {
    *os << "slot " << c.flag;
}

class FlagSlotBounds : public ::testing::TestWithParam<SlotCase> {};

TEST_P(FlagSlotBounds, StoresOnlyInsideTheTable) {
    const SlotCase c = GetParam();
    EXPECT_EQ(FLAG_set(c.flag, 7), c.set_result);
    EXPECT_EQ(FLAG_get(c.flag), c.set_result == 0 ? 7 : 0);
    EXPECT_EQ(FLAG_setl(c.flag, 5000000000L), c.set_result);
    EXPECT_EQ(FLAG_getl(c.flag), c.set_result == 0 ? 5000000000L : 0);
    // A refused number leaves every slot as it was.
    for (int i = 0; i < 30; ++i) {
        if (i != c.flag) {
            EXPECT_EQ(FLAG_getl(i), -9999) << "slot " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Numbers, FlagSlotBounds,
                         ::testing::Values(SlotCase{0, 0}, SlotCase{14, 0}, SlotCase{29, 0}, SlotCase{30, -1},
                                           SlotCase{-1, -1}, SlotCase{INT_MAX, -1}, SlotCase{INT_MIN, -1}));

TEST(FlagSlots, ResetSetsAllSlots) {
    FLAG_set(3, 1);
    EXPECT_EQ(FLAG_reset(0), 0);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(FLAG_get(i), 0);
    EXPECT_EQ(FLAG_resetl(-9999), 0);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(FLAG_getl(i), -9999);
}

struct ModeCase {
    long value;
    int on;
};

void PrintTo(const ModeCase &c, std::ostream *os) {
    *os << "value " << c.value;
}

class FlagBatchHelp : public ::testing::TestWithParam<ModeCase> {};

TEST_P(FlagBatchHelp, OnOnlyForPositiveSlots) {
    const ModeCase c = GetParam();
    FLAG_setl(19, c.value);
    FLAG_setl(20, c.value);
    EXPECT_EQ(FLAG_batch(), c.on);
    EXPECT_EQ(FLAG_help(), c.on);
    FLAG_set_batch(0);
    EXPECT_EQ(FLAG_batch(), 0);
    EXPECT_EQ(FLAG_set_batch(static_cast<int>(c.value)), 0);
    EXPECT_EQ(FLAG_get(19), static_cast<int>(c.value));
    EXPECT_EQ(FLAG_batch(), c.on);
}

INSTANTIATE_TEST_SUITE_P(Values, FlagBatchHelp,
                         ::testing::Values(ModeCase{-9999, 0}, ModeCase{0, 0}, ModeCase{1, 1},
                                           ModeCase{2, 1}));

// ---- Plot switches -------------------------------------------------------------

TEST(FlagPlot, StartAllOnWithoutSums) {
    EXPECT_EQ(switches(), (Switches{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
}

TEST(FlagPlot, SetFormsTheLabelCountAndTheTotal) {
    EXPECT_EQ(FLAG_setplot(3, 0), 0);
    // Switch 0 counts labels 1..6; switch 12 adds up 0..11, the count included.
    EXPECT_EQ(switches(), (Switches{5, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 15}));
    FLAG_setplot(12, 0);
    EXPECT_EQ(switches(), (Switches{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    FLAG_setplot(0, 1);
    EXPECT_EQ(switches(), (Switches{6, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 12}));
    FLAG_setplot(8, 1);
    EXPECT_EQ(switches(), (Switches{6, 1, 1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 13}));
}

TEST(FlagPlot, OutOfRangeSwitchesAreRefused) {
    EXPECT_EQ(FLAG_setplot(13, 0), -1);
    EXPECT_EQ(FLAG_setplot(-1, 0), -1);
    EXPECT_EQ(FLAG_getplot(13), 0);
    EXPECT_EQ(FLAG_getplot(-1), 0);
    EXPECT_EQ(switches(), (Switches{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
}

TEST(FlagPlot, ResetDoesNotFormSums) {
    EXPECT_EQ(FLAG_resetplot(0), 0);
    EXPECT_EQ(switches(), (Switches{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    FLAG_resetplot(1);
    EXPECT_EQ(FLAG_getplot(0), 1);
    EXPECT_EQ(FLAG_getplot(12), 1);
}

// ---- Draw lists ------------------------------------------------------------------

struct DrawCase {
    const char *list;
    Switches expected; // from the switches at start (all 1)
};

void PrintTo(const DrawCase &c, std::ostream *os) {
    *os << '"' << c.list << '"';
}

class FlagDraw : public ::testing::TestWithParam<DrawCase> {};

TEST_P(FlagDraw, SetsTheSwitches) {
    EXPECT_EQ(FLAG_set_draw(GetParam().list), 0);
    EXPECT_EQ(switches(), GetParam().expected) << "draw " << GetParam().list;
}

INSTANTIATE_TEST_SUITE_P(Lists, FlagDraw,
                         ::testing::Values(
                             // Unsigned lists name exactly what is drawn.
                             DrawCase{"data,map", {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 2}},
                             DrawCase{"DATA,Map", {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 2}},
                             DrawCase{"text", {6, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 13}},
                             DrawCase{"text_ul,text_lr", {2, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 4}},
                             DrawCase{"sum,-data", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1}},
                             DrawCase{"grid,bord,text_uc,text_ur,text_ll,text_lc",
                                      {4, 0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 1, 10}},
                             DrawCase{"bogus", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                             DrawCase{"data,", {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
                             // Signed lists change the current switches.
                             DrawCase{"-text", {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 4}},
                             DrawCase{"-map,-text_lr", {5, 1, 1, 1, 1, 1, 0, 1, 0, 1, 1, 1, 14}},
                             DrawCase{"+grid", {6, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 17}},
                             DrawCase{"+bogus", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
                             // "none" and "all" whatever their sign.
                             DrawCase{"+none", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                             DrawCase{"none", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                             DrawCase{"-all", {6, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 17}},
                             DrawCase{"none,+map", {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},
                             DrawCase{"-none,all,-data", {6, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 16}},
                             // Nothing listed changes nothing.
                             DrawCase{"", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
                             DrawCase{",,", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}}));

TEST(FlagDraw, NullListIsRefused) {
    EXPECT_EQ(FLAG_set_draw(nullptr), -1);
    EXPECT_EQ(switches(), (Switches{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
}

} // namespace
