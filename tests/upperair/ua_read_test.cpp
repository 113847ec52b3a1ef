// Upper-air file access: the coded groups, reports written in every type and
// read back in every mode, the hand-made older coded files and the CDL
// fixtures of tests/data/upperair, and the netCDF files we write as ncdump
// and python3-netcdf4 see them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/date.h"
#include "support/child.h"
#include "support/netcdf.h"
#include "support/reference.h"
#include "upperair/ua_read.h"
#include "upperair/ua_read_int.h"

namespace {

using zeqtest::TempDir;
namespace g = ua_read_int;

constexpr float M = FMISSING;

std::string fixture(const char *name) {
    return std::string(ZEQ_TEST_DATA) + "/upperair/" + name;
}

bool exists(const std::string &name) {
    return access(name.c_str(), F_OK) == 0;
}

bool is_cdf(int type) {
    return type == UPA_CDF_STATION || type == UPA_CDF_REPORT;
}

// An emptied report whose type marks it as the caller's.
UPA_report blank_report() {
    UPA_report r;
    std::memset(&r, 0x5a, sizeof r);
    r.type = 7;
    UPA_initialize(&r);
    return r;
}

void set_id(UPA_report &r, const char *id, const char *area, int wmo, float lat, float lon) {
    std::snprintf(r.id, sizeof r.id, "%s", id);
    std::snprintf(r.area, sizeof r.area, "%s", area);
    r.wmo = wmo;
    r.lat = lat;
    r.lon = lon;
}

void add_sig(UPA_report &r, float p, float t, float td) {
    r.sig[r.numsig++] = {p, t, td};
}
void add_wind(UPA_report &r, float h, float dir, float spd) {
    r.wnd[r.numwnd++] = {h, dir, spd};
}

// ---- Fixture reports -------------------------------------------------------------------

// No 925 mb level, one level above 10 mb, tropopause and maximum wind; a
// significant level repeating 850 mb; a wind at 35000 ft.
UPA_report golden_report() {
    UPA_report r = blank_report();
    set_id(r, "KOAK", "CA", 72493, 37.73f, -122.22f);
    r.elev = 3;
    r.man[0] = {1013, 3, 16, 11, 260, 8};
    r.man[1] = {1000, 110, 15.2f, 10.2f, 270, 10};
    r.man[3] = {850, 1480, 8.4f, 2.4f, 280, 25};
    r.man[4] = {700, 3090, -5.1f, -12.1f, 290, 40};
    r.man[5] = {500, 5700, -21.3f, -31.3f, 300, 105};
    r.man[17] = {7, 33500, -45, M, M, M};
    r.man[22] = {215, M, -55.3f, M, 290, 60};
    r.man[23] = {245, M, M, M, 295, 110};
    r.numman = 24;
    add_sig(r, 1013, 16, 11);
    add_sig(r, 920, 12, 8);
    add_sig(r, 850, 8.4f, 2.4f);
    add_sig(r, 600, -12.5f, -20.5f);
    add_sig(r, 7.5f, -44, M);
    add_wind(r, 0, 260, 8);
    add_wind(r, 1000, 265, 12);
    add_wind(r, 5000, 280, 20);
    add_wind(r, 12000, 290, 35);
    add_wind(r, 35000, 315, 120);
    return r;
}

// Every mandatory level, five levels above 10 mb, repeated mandatory
// significant levels and 30 winds (more than type 3 holds).
UPA_report full_report() {
    static constexpr float p[17] = {0,   1000, 925, 850, 700, 500, 400, 300, 250,
                                    200, 150,  100, 70,  50,  30,  20,  10};
    static constexpr float h[17] = {0,     111,   762,   1457,  3012,  5574,  7185,  9164, 10363,
                                    11784, 13608, 16180, 18442, 20576, 23849, 26481, 31055};
    UPA_report r = blank_report();
    set_id(r, "KSLC", "UT", 72572, 40.77f, -111.97f);
    r.man[0] = {1015, 20, 16.5f, 12.1f, 170, 6};
    for (int k = 1; k <= 16; ++k)
        r.man[k] = {p[k], h[k], 15 - 4.5f * k, 15 - 4.5f * k - 0.7f * k, 180.0f + 10 * k, 5.0f + 9 * k};
    const float above_p[5] = {7, 5, 3, 2, 1}, above_h[5] = {33400, 35800, 39400, 42400, 47800};
    for (int k = 0; k < 5; ++k)
        r.man[17 + k] = {above_p[k], above_h[k], -45.0f + 4 * k, M, 250, 30.0f + k};
    r.man[22] = {195, M, -58.1f, M, 275, 65};
    r.man[23] = {255, M, M, M, 300, 130};
    r.numman = 24;
    for (float sp : {1015, 1000, 960, 925, 900, 850, 820, 780, 700, 650,
                     600,  550,  500, 450, 380, 290, 230, 180, 120, 80})
        add_sig(r, sp, 16.5f - 0.07f * (1015 - sp), 12.0f - 0.08f * (1015 - sp));
    const float heights[19] = {12000, 14000, 15000, 16000, 18000, 20000, 25000, 30000, 35000, 40000,
                               45000, 50000, 55000, 60000, 65000, 70000, 80000, 90000, 99000};
    for (int i = 0; i < 30; ++i)
        add_wind(r, i < 11 ? 1000.0f * i : heights[i - 11], 200.0f + 5 * i, 5.0f + 4 * i);
    return r;
}

// Only the surface; no position.
UPA_report surface_only(const char *id = "SFC1") {
    UPA_report r = blank_report();
    set_id(r, id, "", 12345, M, M);
    r.man[0] = {980, 250, 12.4f, 8.1f, 200, 15};
    r.numman = 1;
    return r;
}

// Significant levels without temperature (the "X" group), without dew point,
// and with a dew point but no temperature.
UPA_report x_temp_report() {
    UPA_report r = blank_report();
    set_id(r, "KXTM", "FL", 72201, 25.0f, -80.0f);
    r.man[0] = {1010, 2, 25, 20, 90, 10};
    r.man[1] = {1000, 90, 24, 19, 95, 12};
    r.man[3] = {850, 1520, 15, 12, 110, 20};
    r.numman = 3;
    add_sig(r, 1010, 25, 20);
    add_sig(r, 905, M, M);
    add_sig(r, 880, 16, M);
    add_sig(r, 700, M, 0);
    add_wind(r, 0, 90, 10);
    add_wind(r, 3000, 100, 15);
    return r;
}

// Exactly 50 significant levels.
UPA_report fifty_sig_report() {
    UPA_report r = blank_report();
    set_id(r, "KF50", "TX", 72250, 26.0f, -97.4f);
    r.man[0] = {1002, 10, 20, 18, 180, 5};
    r.numman = 1;
    for (int i = 0; i < 50; ++i)
        add_sig(r, 1002.0f - 5 * i, 20 - 0.1f * i, 18 - 0.1f * i);
    add_wind(r, 0, 180, 5);
    add_wind(r, 2000, 190, 12);
    return r;
}

// Significant and wind lists at the capacity of a report.
UPA_report capacity_report() {
    UPA_report r = blank_report();
    set_id(r, "KCAP", "KS", 72451, 37.76f, -99.97f);
    r.man[0] = {1052, 0, 20, 17, 0, 1};
    r.numman = 1;
    for (int i = 0; i < UPA_MAX_SIG; ++i)
        add_sig(r, 1052.0f - 5 * i, 20 - 0.3f * i, 17 - 0.3f * i);
    for (int i = 0; i < UPA_MAX_WND; ++i)
        add_wind(r, 1000.0f * i, static_cast<float>((i * 7) % 360), static_cast<float>(i % 90 + 1));
    return r;
}

std::vector<UPA_report> fixture_reports() {
    return {golden_report(),    full_report(),     surface_only(),      x_temp_report(),
            fifty_sig_report(), capacity_report(), surface_only("TAIL")};
}

// ---- Writing and reading -----------------------------------------------------------------

UPA_info make_info(const char *datim = "12Z 08 DEC 26") {
    UPA_info info;
    std::memset(&info, 0, sizeof info);
    std::snprintf(info.datim, sizeof info.datim, "%s", datim);
    std::snprintf(info.file, sizeof info.file, "%s", "26120812");
    info.cmdline = nullptr;
    return info;
}

void write_reports(const std::string &name, int type, const std::vector<UPA_report> &reports) {
    int t = type;
    const int fd = UPA_open(name.c_str(), 1, &t);
    ASSERT_GE(fd, 0) << name;
    const UPA_info info = make_info();
    ASSERT_EQ(UPA_putinfo(fd, &info), 0);
    int n = 0;
    for (const UPA_report &r : reports) {
        const int before = n;
        ASSERT_EQ(UPA_write(fd, &r, 30, &n), 0) << r.id;
        // Text blocks follow one another; netCDF records are chosen by the caller.
        ASSERT_EQ(n, is_cdf(type) ? before : before + 1);
        n = before + 1;
    }
    ASSERT_EQ(UPA_close(fd), 0);
}

// Opens a file for reading and reads its header; the descriptor.
int open_read(const std::string &name, int type = 0, UPA_info *info = nullptr) {
    int t = type;
    const int fd = UPA_open(name.c_str(), 0, &t);
    EXPECT_GE(fd, 0) << name;
    UPA_info local;
    EXPECT_EQ(UPA_getinfo(fd, info != nullptr ? info : &local), is_cdf(t) ? 1 : 0);
    return fd;
}

UPA_report read_station(int fd, int n, int mode, int *rc = nullptr) {
    UPA_report r;
    std::memset(&r, 0x5a, sizeof r);
    r.type = 7;
    const int result = UPA_read(fd, &r, mode, &n);
    if (rc != nullptr)
        *rc = result;
    else
        EXPECT_EQ(result, 0) << "station " << n << " mode " << mode;
    return r;
}

// ---- What a type keeps ----------------------------------------------------------------------

bool known(float v) {
    return v != M;
}

// The report as mode 30 reads it back from a file of the given type.
UPA_report kept(const UPA_report &w, int type) {
    UPA_report e = blank_report();
    if (is_cdf(type)) {
        e = w;
        e.time = MISSING;
        e.elev = w.man[0].h;
        e.numman = w.numman != 0 ? 25 : 0;
        if (e.numman == 0)
            for (UPA_level &l : e.man)
                UPA_level_init(&l);
        return e;
    }
    std::memcpy(e.id, w.id, sizeof e.id);
    if (type == UPA_TEXT_POS) {
        e.wmo = w.wmo;
        e.lat = w.lat;
        e.lon = known(w.lat) ? w.lon : M;
    }
    const bool old = type <= 2;
    std::vector<int> slots;
    if (type == 1)
        slots = {1, 3, 4, 5};
    else if (type == 2)
        slots = {1, 3, 4, 5, 6, 7, 9, 11};
    else
        for (int k = 1; k <= 16; ++k)
            slots.push_back(k);
    for (int k : slots)
        e.man[k] = w.man[k];
    // A fixed-length block without 925 mb reads its next triple as 850 mb.
    if (type == UPA_TEXT && !known(w.man[2].p) && !known(w.man[3].p)) e.man[3].p = 850;
    e.numman = type == 1 ? 6 : (type == 2 ? 12 : 19);
    if (!old) {
        for (int k = 17; k <= 21 && known(w.man[k].p); ++k, ++e.numman)
            e.man[k] = w.man[k];
        if (known(w.man[22].p))
            e.man[22] = {w.man[22].p, M, w.man[22].t, w.man[22].td, w.man[22].dir, w.man[22].spd};
        if (known(w.man[23].p)) e.man[23] = {w.man[23].p, M, M, M, w.man[23].dir, w.man[23].spd};
    }

    std::vector<UPA_sig_level> sig;
    for (int i = 0; i < w.numsig; ++i) {
        UPA_sig_level s = w.sig[i];
        const int slot = UPA_mandatory(s.p);
        if (i > 0 && slot > 0 && known(w.man[slot].h)) continue;
        if (old && s.p < (type == 1 ? 500 : 100)) continue;
        if (!known(s.t)) s.td = M; // a dew point is carried only with its temperature
        sig.push_back(s);
    }
    if (sig.empty() && known(w.man[0].p)) sig.push_back({w.man[0].p, w.man[0].t, w.man[0].td});
    const int sig_cap = type == 1 ? 14 : (type == 2 ? 21 : (type == 3 ? 28 : UPA_MAX_SIG));
    e.numsig = std::min(static_cast<int>(sig.size()), sig_cap);
    for (int i = 0; i < e.numsig; ++i)
        e.sig[i] = sig[static_cast<std::size_t>(i)];

    std::vector<UPA_wind_level> wnd(w.wnd, w.wnd + w.numwnd);
    if (wnd.empty() && known(w.man[0].p)) wnd.push_back({0, w.man[0].dir, w.man[0].spd});
    if (old) {
        static constexpr float fixed1[16] = {0,    1000, 2000,  3000,  4000,  5000,  6000,  7000,
                                             8000, 9000, 10000, 12000, 14000, 15000, 16000, 18000};
        static constexpr float fixed2[21] = {0,     1000,  2000,  3000,  4000,  5000,  6000,
                                             7000,  8000,  9000,  10000, 12000, 14000, 16000,
                                             20000, 25000, 30000, 35000, 40000, 45000, 50000};
        e.numwnd = type == 1 ? 16 : 21;
        for (int s = 0; s < e.numwnd; ++s) {
            const float fh = type == 1 ? fixed1[s] : fixed2[s];
            e.wnd[s] = {fh, M, M};
            for (const UPA_wind_level &l : wnd)
                if (l.h == fh || (fh < 10000 && l.h >= fh && l.h < fh + 1000)) e.wnd[s] = {fh, l.dir, l.spd};
        }
    } else {
        e.numwnd = std::min(static_cast<int>(wnd.size()), type == 3 ? 28 : UPA_MAX_WND);
        for (int i = 0; i < e.numwnd; ++i) {
            const UPA_wind_level &l = wnd[static_cast<std::size_t>(i)];
            e.wnd[i] = {1000.0f * static_cast<int>((l.h + 1) / 1000), l.dir, l.spd};
        }
    }
    // The first significant level and the first wind at height 0 are the surface.
    if (e.numsig > 0 && e.sig[0].p > 500) {
        e.man[0].p = e.sig[0].p;
        e.man[0].t = e.sig[0].t;
        e.man[0].td = e.sig[0].td;
    }
    if (e.numwnd > 0 && e.wnd[0].h == 0) {
        e.man[0].dir = e.wnd[0].dir;
        e.man[0].spd = e.wnd[0].spd;
    }
    return e;
}

// Tolerances of a file type: the coded groups' precision for text, the unit
// conversions for type 12.
struct Tolerance {
    float p, h, t, td, dir, spd, pos;
    float rel; // relative, for converted netCDF values
};

Tolerance tolerance(int type) {
    if (type == UPA_CDF_STATION) return {0, 0, 0, 0, 0, 0, 0, 0};
    if (type == UPA_CDF_REPORT) return {0, 0, 0, 0, 0, 0, 0, 1e-4f};
    return {1, 10, 0.21f, 1.25f, 2.5f, 1, 0.006f, 0};
}

void expect_value(float got, float want, float tol, float rel, const std::string &what) {
    if (!known(want)) {
        EXPECT_EQ(got, M) << what;
        return;
    }
    EXPECT_NEAR(got, want, tol + rel * std::fabs(want) + 1e-4f) << what;
}

void expect_level(const UPA_level &got, const UPA_level &want, const Tolerance &tol,
                  const std::string &what) {
    expect_value(got.p, want.p, tol.p, 0, what + " p");
    expect_value(got.h, want.h, tol.h, 0, what + " h");
    expect_value(got.t, want.t, tol.t, 0, what + " t");
    expect_value(got.td, want.td, tol.td, 0, what + " td");
    expect_value(got.dir, want.dir, tol.dir, 0, what + " dir");
    expect_value(got.spd, want.spd, tol.spd, tol.rel, what + " spd");
}

void expect_report(const UPA_report &got, const UPA_report &want, int type, const std::string &what) {
    const Tolerance tol = tolerance(type);
    EXPECT_STREQ(got.id, want.id) << what;
    if (is_cdf(type)) {
        EXPECT_STREQ(got.area, want.area) << what;
    }
    EXPECT_EQ(got.wmo, want.wmo) << what;
    EXPECT_EQ(got.type, 7) << what << ": the caller's report kind is kept";
    EXPECT_EQ(got.time, MISSING) << what;
    expect_value(got.lat, want.lat, tol.pos, 0, what + " lat");
    expect_value(got.lon, want.lon, tol.pos, 0, what + " lon");
    expect_value(got.elev, want.elev, 0, 0, what + " elev");
    EXPECT_EQ(got.numman, want.numman) << what;
    for (int k = 0; k < UPA_MAX_MAN; ++k)
        expect_level(got.man[k], want.man[k], tol, what + " slot " + std::to_string(k));
    ASSERT_EQ(got.numsig, want.numsig) << what;
    for (int i = 0; i < want.numsig; ++i) {
        const std::string at = what + " sig " + std::to_string(i);
        expect_value(got.sig[i].p, want.sig[i].p, want.sig[i].p < 10 ? 0.05f : tol.p, 0, at + " p");
        expect_value(got.sig[i].t, want.sig[i].t, tol.t, 0, at + " t");
        expect_value(got.sig[i].td, want.sig[i].td, tol.td, 0, at + " td");
    }
    ASSERT_EQ(got.numwnd, want.numwnd) << what;
    for (int i = 0; i < want.numwnd; ++i) {
        const std::string at = what + " wind " + std::to_string(i);
        expect_value(got.wnd[i].h, want.wnd[i].h, 0, tol.rel, at + " h");
        expect_value(got.wnd[i].dir, want.wnd[i].dir, tol.dir, 0, at + " dir");
        expect_value(got.wnd[i].spd, want.wnd[i].spd, tol.spd, tol.rel, at + " spd");
    }
}

constexpr int all_types[] = {1, 2, 3, 4, 5, 11, 12};

} // namespace

// ---- Coded groups --------------------------------------------------------------------------

TEST(UpaGroups, EncodeAndDecodeCases) {
    struct Ph {
        float p, h;
        const char *group;
        int rc;
        float p_back, h_back;
        int rc_back;
    };
    const Ph ph[] = {
        {1000, -50, "00550", 0, 1000, -50, 0},
        {925, 800, "92800", 0, 925, 800, 0},
        {850, 1480, "85480", 0, 850, 1480, 0},
        {700, 3010, "70010", 0, 700, 3010, 0},
        {700, 2600, "70600", 0, 700, 2600, 0},
        {250, 10400, "25040", 0, 250, 10400, 0},
        {300, 9160, "30916", 0, 300, 9160, 0},
        {100, 16180, "10618", 0, 100, 16180, 0},
        {10, 31050, "01105", 0, 10, 31050, 0},
        {7, 33500, "-7350", 0, 7, 33500, 0},
        {1, 47800, "-1780", 0, 1, 47800, 0},
        {880, 215, "88215", 0, 880, 215, 0}, // tropopause group
        {770, 245, "77245", 0, 770, 245, 0}, // maximum-wind group
        {850, M, "85/", 0, 850, M, -1},
        {1000, M, "00/", 0, 1000, M, -1}, // 1000 and 925 mb keep their pressure without a height
        {925, M, "92/", 0, 925, M, -1},
        {M, M, "X", -1, M, M, -1},
        {M, 1500, "X", -1, M, M, -1},      // no pressure: nothing to carry
        {0.5f, 48000, "X", -1, M, M, -1},  // below 1 mb
        {1013, 100, "X", -1, M, M, -1},    // two digits cannot carry 1013 mb
        {700, 2400, "70/", 0, 700, M, -1}, // nor 2400 m at 700 mb
        {4, 38000, "-4/", 0, 4, M, -1},    // nor a height at 4 mb
    };
    for (const Ph &c : ph) {
        EXPECT_EQ(g::encd_ph(c.p, c.h), c.rc) << c.p << " " << c.h;
        EXPECT_STREQ(g::encd_group(), c.group) << c.p << " " << c.h;
        float p = 0, h = 0;
        EXPECT_EQ(g::decd_ph(c.group, &p, &h), c.rc_back) << c.group;
        EXPECT_EQ(p, c.p_back) << c.group;
        EXPECT_EQ(h, c.h_back) << c.group;
    }

    struct Td {
        float t, td;
        const char *group;
        int rc;
        float t_back, td_back;
    };
    const Td td[] = {
        {-5.3f, -7.0f, "05317", 0, -5.3f, -7.0f},
        {-5.2f, -7.0f, "05318", 0, -5.3f, -7.1f}, // -5.2 and -5.3 share the digits 053
        {20, 10, "20060", 0, 20, 10},             // a depression of 10 in whole degrees
        {20, 14.5f, "20050", 0, 20, 15},          // 5 to 5.9 degrees are written as 5
        {20, 15, "20050", 0, 20, 15},
        {15.2f, M, "15299", 0, 15.2f, M},
        {0, 0, "00000", 0, 0, 0},
        {M, M, "X", -1, M, M},
        {M, 5, "X", -1, M, M},        // a dew point without its temperature
        {100, 50, "X", -1, M, M},     // beyond three digits
        {20, -35, "20099", 0, 20, M}, // a depression of 55 is not carried
        {5, 5.2f, "05099", 0, 5, M},  // nor a dew point above the temperature
    };
    for (const Td &c : td) {
        EXPECT_EQ(g::encd_td(c.t, c.td), c.rc) << c.t << " " << c.td;
        EXPECT_STREQ(g::encd_group(), c.group) << c.t << " " << c.td;
        float t = 0, d = 0;
        EXPECT_EQ(g::decd_td(c.group, &t, &d), c.rc) << c.group;
        EXPECT_NEAR(t, c.t_back, 1e-4) << c.group;
        EXPECT_NEAR(d, c.td_back, 1e-4) << c.group;
    }

    struct Wd {
        float dir, spd;
        const char *group;
        int rc;
        float dir_back, spd_back;
        int rc_back;
    };
    const Wd wd[] = {
        {273, 15, "27515", 0, 275, 15, 0},   {275, 132, "27632", 0, 275, 132, 0},
        {358, 10, "36010", 0, 360, 10, 0},   {0, 0, "00000", 0, 0, 0, 0},
        {180, 250, "18250", 0, 180, 250, 0}, {M, 10, "X", -1, M, M, -1},
        {180, 500, "X", -1, M, M, -1}, // 500 knots and more
        {180, 300, "X", -1, M, M, -1}, // beyond what reads back
        {400, 10, "X", -1, M, M, -1},
    };
    for (const Wd &c : wd) {
        EXPECT_EQ(g::encd_wd(c.dir, c.spd), c.rc) << c.dir << " " << c.spd;
        EXPECT_STREQ(g::encd_group(), c.group) << c.dir << " " << c.spd;
        float d = 0, s = 0;
        EXPECT_EQ(g::decd_wd(c.group, &d, &s), c.rc_back) << c.group;
        EXPECT_EQ(d, c.dir_back) << c.group;
        EXPECT_EQ(s, c.spd_back) << c.group;
    }

    // Missing groups of the older types, and malformed groups.
    float a = 0, b = 0;
    EXPECT_EQ(g::decd_wd("99999", &a, &b), 0);
    EXPECT_EQ(a, M);
    EXPECT_EQ(b, M);
    EXPECT_EQ(g::decd_ph("99999", &a, &b), -1);
    EXPECT_EQ(g::decd_td("99999", &a, &b), -1);
    for (const char *bad : {"", "ab", "3", "-", "1a2b3"}) {
        g::decd_ph(bad, &a, &b);
        EXPECT_EQ(b, M) << bad;
        g::decd_td(bad, &a, &b);
        EXPECT_EQ(a, M) << bad;
        g::decd_wd(bad, &a, &b);
        EXPECT_EQ(a, M) << bad;
    }
    TempDir dir;
    int type = UPA_TEXT_OLD4;
    ASSERT_GE(UPA_open(dir.file("old.upa").c_str(), 1, &type), 0);
    EXPECT_EQ(g::encd_ph(M, M), -1);
    EXPECT_STREQ(g::encd_group(), "99999");
    EXPECT_EQ(g::encd_wd(M, M), -1);
    EXPECT_STREQ(g::encd_group(), "99999");
    EXPECT_EQ(UPA_close(0), 0);
}

// Every value a group can carry reads back within the group's precision, and
// no value is ever read back wrong: what a group cannot carry reads as missing.
TEST(UpaGroups, EveryValueReadsBackOrMissing) {
    struct Carry {
        float p, lo, hi; // heights carried at this pressure
    };
    const Carry carry[] = {
        {1000, -499, 499},   {925, 0, 999},      {850, 1000, 1999},  {700, 2501, 3500},   {500, 0, 9999},
        {400, 0, 9999},      {300, 5010, 15009}, {250, 5010, 15009}, {200, 10000, 19999}, {150, 10000, 19999},
        {100, 10000, 19999}, {70, 10000, 19999}, {50, 15010, 25009}, {30, 20000, 29999},  {20, 20000, 29999},
        {10, 25010, 35009},  {7, 30000, 39999},  {5, 30000, 39999},  {3, 35010, 45009},   {2, 35010, 45009},
        {1, 45010, 55009},
    };
    for (const Carry &c : carry) {
        const float precision = c.p <= 500 ? 10 : 1;
        int wrong = 0, lost = 0;
        for (float h = -1000; h <= 60000; h += 7) {
            g::encd_ph(c.p, h);
            float p = 0, hb = 0;
            g::decd_ph(g::encd_group(), &p, &hb);
            if (p != c.p) ++wrong;
            if (known(hb) && !(std::fabs(hb - h) < precision)) ++wrong;
            if (!known(hb) && h >= c.lo && h <= c.hi) ++lost;
        }
        EXPECT_EQ(wrong, 0) << c.p << " mb";
        EXPECT_EQ(lost, 0) << c.p << " mb";
    }

    int wrong = 0, lost = 0;
    for (float t = -99.7f; t <= 99.8f; t += 0.07f) {
        for (float dep = 0; dep <= 60; dep += 0.37f) {
            g::encd_td(t, t - dep);
            float tb = 0, db = 0;
            g::decd_td(g::encd_group(), &tb, &db);
            if (!(std::fabs(tb - t) <= 0.2f + 1e-3f)) ++wrong;
            if (known(db) && !(std::fabs(db - (t - dep)) < 1.25f)) ++wrong;
            if (!known(db) && dep < 48.9f) ++lost;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(lost, 0);

    wrong = lost = 0;
    for (float d = 0; d <= 360; d += 0.5f) {
        for (float s = 0; s <= 400; s += 0.25f) {
            g::encd_wd(d, s);
            float db = 0, sb = 0;
            g::decd_wd(g::encd_group(), &db, &sb);
            if (known(db) && !(std::fabs(db - d) <= 2.5f && std::fabs(sb - s) < 1)) ++wrong;
            if (!known(db) && s < 250.9f) ++lost;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(lost, 0);
}

// ---- Records, detection and access -------------------------------------------------------------

TEST(UpaRecords, InitializeLevelsAndMandatorySlots) {
    UPA_report r;
    std::memset(&r, 0x5a, sizeof r);
    r.type = 42;
    EXPECT_EQ(UPA_initialize(&r), 0);
    EXPECT_EQ(r.type, 42);
    EXPECT_STREQ(r.id, "");
    EXPECT_STREQ(r.area, "");
    EXPECT_EQ(r.wmo, MISSING);
    EXPECT_EQ(r.time, MISSING);
    EXPECT_EQ(r.numman + r.numsig + r.numwnd, 0);
    for (const UPA_level &l : r.man)
        for (float v : {l.p, l.h, l.t, l.td, l.dir, l.spd})
            ASSERT_EQ(v, M);
    for (const UPA_sig_level &s : r.sig)
        ASSERT_TRUE(s.p == M && s.t == M && s.td == M);
    for (const UPA_wind_level &w : r.wnd)
        ASSERT_TRUE(w.h == M && w.dir == M && w.spd == M);
    UPA_level l{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(UPA_level_init(&l), 0);
    for (float v : {l.p, l.h, l.t, l.td, l.dir, l.spd})
        EXPECT_EQ(v, M);

    const float mandatory[] = {1000, 925, 850, 700, 500, 400, 300, 250, 200, 150, 100, 70, 50, 30, 20, 10};
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(UPA_mandatory(mandatory[k]), k + 1);
    for (float p : {925.5f, 0.0f, 7.0f, 1013.0f, M})
        EXPECT_EQ(UPA_mandatory(p), 0) << p;
}

TEST(UpaChkType, ContentsDecide) {
    TempDir dir;
    const std::string station = dir.file("station.nc"), report = dir.file("report.nc"),
                      other = dir.file("other.nc"), nc4 = dir.file("nc4.nc");
    ASSERT_TRUE(zeqtest::compile_cdl("upperair/station_v1.cdl", station));
    ASSERT_TRUE(zeqtest::compile_cdl("upperair/report.cdl", report));
    ASSERT_TRUE(zeqtest::compile_cdl("upperair/other.cdl", other));
    ASSERT_TRUE(zeqtest::compile_cdl("upperair/report.cdl", nc4, "nc4"));
    struct Case {
        const char *name, *text;
        int type;
    };
    const Case inline_cases[] = {
        {"fixed", "ZEQUPA\n12Z 08 DEC 26\n", 3},
        {"var", "ZEQUPA+\n12Z 08 DEC 26\n", 4},
        {"pos", "ZEQUPAx\n12Z 08 DEC 26\n", 5},
        // The third line of an older file begins with the count of
        // significant levels (type 1) or with the 400 mb group (type 2).
        {"old14", "12Z 08 DEC 26\nKXYZ 99999 99999 99999\n14 013 16050\n", 1},
        {"old40", "12Z 08 DEC 26\nKXYZ 99999 99999 99999\n40720 33165 30555\n", 2},
        {"oneline", "12Z 08 DEC 26\n", -1},
        {"empty", "", -1},
        {"blank", " \n\n", -1},
        {"other", "hello\nworld\nagain\n", -1},
    };
    for (const Case &c : inline_cases) {
        zeqtest::write_file(dir.file(c.name), c.text);
        EXPECT_EQ(UPA_chktype(dir.file(c.name).c_str()), c.type) << c.name;
    }
    EXPECT_EQ(UPA_chktype(fixture("old4.upa").c_str()), 1);
    EXPECT_EQ(UPA_chktype(fixture("old8.upa").c_str()), 2);
    EXPECT_EQ(UPA_chktype(station.c_str()), 11);
    EXPECT_EQ(UPA_chktype(report.c_str()), 12);
    EXPECT_EQ(UPA_chktype(other.c_str()), -1); // neither "station" nor "report"
    EXPECT_EQ(UPA_chktype(nc4.c_str()), -1);
    EXPECT_EQ(UPA_chktype(dir.file("missing").c_str()), -1);
    EXPECT_EQ(UPA_chktype(dir.path().c_str()), -1);
    EXPECT_EQ(UPA_chktype("-"), -1); // standard input is not probed
    EXPECT_EQ(UPA_chktype(nullptr), -1);
}

TEST(UpaOpen, AccessRulesAndClosing) {
    TempDir dir;
    const std::string name = dir.file("new.upa");
    int type = 0;
    EXPECT_EQ(UPA_open(name.c_str(), 1, &type), -1); // detection only reads
    EXPECT_FALSE(exists(name));
    type = 3;
    EXPECT_EQ(UPA_open(name.c_str(), 2, &type), -1);
    EXPECT_FALSE(exists(name));
    type = 7;
    EXPECT_EQ(UPA_open(name.c_str(), 0, &type), -1);
    type = 3;
    EXPECT_EQ(UPA_open(dir.file("none").c_str(), 0, &type), -1);
    type = 0;
    EXPECT_EQ(UPA_open(dir.file("none").c_str(), 0, &type), -1);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(UPA_close(0), -1);
    UPA_report r = blank_report();
    int n = 0;
    EXPECT_EQ(UPA_read(0, &r, 30, &n), -1);
    EXPECT_EQ(UPA_rewind(0), -1);

    // An XML file being written gets its closing line, also when another
    // file is opened without closing it.
    const std::string xml = dir.file("out.xml");
    type = UPA_XML;
    const int fd = UPA_open(xml.c_str(), 1, &type);
    ASSERT_GE(fd, 0);
    const UPA_info info = make_info();
    EXPECT_EQ(UPA_putinfo(fd, &info), 0);
    const UPA_report golden = golden_report();
    EXPECT_EQ(UPA_write(fd, &golden, 30, &n), 0);
    type = 0;
    ASSERT_GE(UPA_open(fixture("old4.upa").c_str(), 0, &type), 0);
    EXPECT_EQ(type, 1);
    const std::string written = zeqtest::read_file(xml);
    EXPECT_EQ(written.rfind("<zequpa date=\"12Z 08 DEC 26\">\n<obs ", 0), 0u) << written;
    EXPECT_EQ(written.substr(written.size() - 17), "</obs>\n</zequpa>\n");
    EXPECT_EQ(UPA_close(0), 0);
    // Read access writes nothing and reads nothing.
    type = UPA_XML;
    ASSERT_GE(UPA_open(xml.c_str(), 0, &type), 0);
    UPA_info got;
    EXPECT_EQ(UPA_getinfo(0, &got), 1);
    EXPECT_EQ(UPA_read(0, &r, 30, &n), -1);
    EXPECT_EQ(UPA_rewind(0), -1);
    EXPECT_EQ(UPA_close(0), 0);
    EXPECT_EQ(zeqtest::read_file(xml), written);

    const std::string bin = dir.file("out.bin");
    type = UPA_BINARY;
    ASSERT_GE(UPA_open(bin.c_str(), 1, &type), 0);
    EXPECT_EQ(UPA_close(0), 0);
    EXPECT_EQ(zeqtest::read_file(bin), "");

    // A file being written is not read, rewound or overwritten by a header read.
    type = UPA_TEXT;
    const int wfd = UPA_open(name.c_str(), 1, &type);
    ASSERT_GE(wfd, 0);
    EXPECT_EQ(UPA_putinfo(wfd, &info), 0);
    EXPECT_EQ(UPA_getinfo(wfd, &got), 1);
    EXPECT_EQ(UPA_rewind(wfd), -1);
    EXPECT_EQ(UPA_read(wfd, &r, 30, &n), -1);
    n = 0;
    EXPECT_EQ(UPA_write(wfd, &golden, 30, &n), 0);
    EXPECT_EQ(UPA_close(wfd), 0);
    EXPECT_EQ(zeqtest::read_file(name).rfind("ZEQUPA\n12Z 08 DEC 26\nKOAK ", 0), 0u);
}

TEST(UpaGetinfo, DateLineOfTextFiles) {
    TempDir dir;
    zeqtest::write_file(dir.file("crlf.upa"), "ZEQUPA\r\n 6Z 09 JAN 27\r\n");
    UPA_info info = make_info("junk");
    int fd = open_read(dir.file("crlf.upa"), 0, &info);
    EXPECT_STREQ(info.datim, " 6Z 09 JAN 27");
    EXPECT_EQ(info.date.year, 2027);
    EXPECT_EQ(info.date.month, 1);
    EXPECT_EQ(info.date.day, 9);
    EXPECT_EQ(info.date.hour, 6);
    EXPECT_EQ(UPA_close(fd), 0);

    // Only 39 characters of a long line are kept.
    zeqtest::write_file(dir.file("long.upa"), "ZEQUPA+\n" + std::string(60, 'a') + "\n");
    fd = open_read(dir.file("long.upa"), 0, &info);
    EXPECT_EQ(std::string(info.datim), std::string(39, 'a'));
    EXPECT_EQ(UPA_close(fd), 0);

    fd = open_read(fixture("old8.upa"), 0, &info);
    EXPECT_STREQ(info.datim, "00Z 09 DEC 26");
    EXPECT_EQ(info.date.hour, 0);
    // The header is read again after reports were read.
    read_station(fd, 0, 31);
    EXPECT_EQ(UPA_getinfo(fd, &info), 0);
    EXPECT_STREQ(info.datim, "00Z 09 DEC 26");
    EXPECT_STREQ(read_station(fd, 0, 31).id, "KSFO");
    EXPECT_EQ(UPA_close(fd), 0);
}

// ---- Text layouts -------------------------------------------------------------------------------

TEST(UpaWriteText, BlockLayoutOfEachType) {
    const std::string man1 = "KOAK 00110 15250 27010 85480 08456 28025 70090 05157 29040 50570 21360 30105\n";
    const std::string pad = "000 00000 000 00000 000 00000 000 00000 000 00000 000 00000 000 00000\n";
    const std::string old_sig =
        " 3 013 16050 920 12040 600 12558 000 00000 000 00000 000 00000 000 00000\n" + pad;
    const std::string xs = "X X X X X X X X X X X X\n";
    const std::string upper = "-7350 45199 X \n88215 55399 29060 77245 29610\n";
    const std::string var_body = "00110 15250 27010 X X X 85480 08456 28025 70090 05157 29040\n"
                                 "50570 21360 30105 X X X X X X X X X\n" +
                                 xs + xs + upper + "013 16050 920 12040 600 12558 7.5 44199 X\n" +
                                 "00 26008 01 26512 05 28020 12 29035 35 31620 $\n";
    const std::string x7 = "X X X X X X X\n";
    struct Case {
        int type;
        std::string text;
    };
    const Case cases[] = {
        {1, "12Z 08 DEC 26\n" + man1 + old_sig +
                "26008 26512 99999 99999 99999 28020 99999 99999 99999 99999 99999\n" +
                "29035 99999 99999 99999 99999\n"},
        {2, "12Z 08 DEC 26\n" + man1 +
                "99999 99999 99999 99999 99999 99999 99999 99999 99999 99999 99999 99999\n" + old_sig + pad +
                "26008 26512 99999 99999 99999 28020 99999 99999 99999 99999 99999\n" +
                "29035 99999 99999 99999 99999 99999 31620 99999 99999 99999\n"},
        // Without a 925 mb level and with one level above 10 mb: 13 lines.
        {3, "ZEQUPA\n12Z 08 DEC 26\n" + man1 + xs + xs + "X X X X X X X X X " + upper +
                "013 16050 920 12040 600 12558 7.5 44199 X X X\n" + x7 + x7 + x7 +
                "00 26008 01 26512 05 28020 12 29035 35 31620 X X\n" + x7 + x7 + x7},
        {4, "ZEQUPA+\n12Z 08 DEC 26\nKOAK " + var_body},
        {5, "ZEQUPAx\n12Z 08 DEC 26\n72493:KOAK:37.73:-122.22 " + var_body},
    };
    const UPA_report golden = golden_report();
    for (const Case &c : cases) {
        TempDir dir;
        write_reports(dir.file("g.upa"), c.type, {golden});
        EXPECT_EQ(zeqtest::read_file(dir.file("g.upa")), c.text) << "type " << c.type;
    }

    // Lines of seven entries in type 4: no line end after the last entry.
    UPA_report seven = surface_only("K7");
    for (int i = 0; i < 7; ++i)
        add_sig(seven, 900.0f - 10 * i, 10, 5);
    for (int i = 0; i < 8; ++i)
        add_wind(seven, 1000.0f * i, 180, 10);
    {
        TempDir d7;
        write_reports(d7.file("s.upa"), 4, {seven});
        const std::string t7 = zeqtest::read_file(d7.file("s.upa"));
        EXPECT_NE(t7.find("\n900 10050 890 10050 880 10050 870 10050 860 10050 850 10050 840 10050 X\n"
                          "00 18010 01 18010 02 18010 03 18010 04 18010 05 18010 06 18010\n07 18010 $\n"),
                  std::string::npos)
            << t7;
    }

    // Every line of a written type 3 block ends in a line feed, and a full
    // 28th wind entry leaves the blank that begins the next block.
    TempDir dir;
    write_reports(dir.file("f.upa"), 3, {full_report()});
    const std::string text = zeqtest::read_file(dir.file("f.upa"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 13);
    EXPECT_EQ(text.substr(text.size() - 2), "\n ");
}

// ---- Round trips ----------------------------------------------------------------------------------

TEST(UpaRoundTrip, EveryTypeKeepsWhatItCarries) {
    const std::vector<UPA_report> reports = fixture_reports();
    for (int type : all_types) {
        TempDir dir;
        const std::string name = dir.file("rt.upa");
        write_reports(name, type, reports);
        UPA_info info;
        const int fd = open_read(name, 0, &info);
        EXPECT_STREQ(info.datim, "12Z 08 DEC 26") << type;
        EXPECT_EQ(info.date.day, 8) << type;
        for (std::size_t n = 0; n < reports.size(); ++n) {
            const UPA_report got = read_station(fd, static_cast<int>(n), UPA_READ_ALL);
            expect_report(got, kept(reports[n], type), type,
                          "type " + std::to_string(type) + " station " + std::to_string(n));
        }
        int rc = 0;
        read_station(fd, static_cast<int>(reports.size()), UPA_READ_ALL, &rc);
        EXPECT_EQ(rc, -1) << type;
        EXPECT_EQ(UPA_close(fd), 0);
    }
}

// Every reading mode gives, station after station, what the whole report
// holds: single levels its slots (the 925 mb rule included), the surface
// mode the first significant level and the surface wind.
TEST(UpaRoundTrip, EveryModeReadsEveryStationInTurn) {
    const std::vector<UPA_report> reports = fixture_reports();
    const int count = static_cast<int>(reports.size());
    for (int type : all_types) {
        TempDir dir;
        const std::string name = dir.file("modes.upa");
        write_reports(name, type, reports);
        const int fd = open_read(name);
        std::vector<UPA_report> whole;
        for (int n = 0; n < count; ++n)
            whole.push_back(read_station(fd, n, UPA_READ_ALL));
        const Tolerance exact{0, 0, 0, 0, 0, 0, 0, 0};
        const std::string t = "type " + std::to_string(type);
        for (int mode : {0, 31, 1, 2, 3, 5, 11, 16, 17, 21, 22, 23, 24, 40, -1}) {
            for (int n = 0; n < count; ++n) {
                const UPA_report &q = whole[static_cast<std::size_t>(n)];
                const std::string what =
                    t + " mode " + std::to_string(mode) + " station " + std::to_string(n);
                const UPA_report r = read_station(fd, n, mode);
                EXPECT_EQ(r.type, 7) << what;
                EXPECT_EQ(r.numsig + r.numwnd, 0) << what;
                if (is_cdf(type) && !(mode >= 0 && mode <= 16) && mode != 22 && mode != 23 && mode != 31) {
                    EXPECT_STREQ(r.id, "") << what << ": nothing read";
                    continue;
                }
                EXPECT_STREQ(r.id, q.id) << what;
                EXPECT_EQ(r.wmo, q.wmo) << what;
                UPA_level want;
                UPA_level_init(&want);
                if (mode == UPA_READ_SFC && !is_cdf(type)) {
                    if (q.numsig > 0 && q.sig[0].p >= 500) {
                        want.p = q.sig[0].p;
                        want.t = q.sig[0].t;
                        want.td = q.sig[0].td;
                    }
                    if (q.numwnd > 0 && q.wnd[0].h == 0) {
                        want.dir = q.wnd[0].dir;
                        want.spd = q.wnd[0].spd;
                    }
                } else if ((mode >= 0 && mode <= 16) || mode == 22 || mode == 23) {
                    want = q.man[mode];
                }
                if (mode == 31) {
                    EXPECT_EQ(r.numman, 0) << what;
                } else {
                    EXPECT_EQ(r.numman, is_cdf(type) || mode == UPA_READ_SFC ? 0 : 1) << what;
                    expect_level(r.man[0], want, exact, what);
                }
                for (int k = 1; k < UPA_MAX_MAN; ++k)
                    EXPECT_EQ(r.man[k].p, M) << what;
            }
        }
        EXPECT_EQ(UPA_close(fd), 0);
    }
}

TEST(UpaRead, PositioningForwardAgainAndBack) {
    TempDir dir;
    const std::string name = dir.file("pos.upa");
    const std::vector<UPA_report> reports = fixture_reports();
    write_reports(name, UPA_TEXT_VAR, reports);
    const int fd = open_read(name);
    auto id_of = [&](int n) { return std::string(read_station(fd, n, UPA_READ_TOKEN).id); };
    EXPECT_EQ(id_of(0), "KOAK");
    EXPECT_EQ(id_of(1), "KSLC");
    EXPECT_EQ(id_of(2), "SFC1");
    EXPECT_EQ(id_of(1), "KSLC");
    EXPECT_EQ(id_of(1), "KSLC");
    EXPECT_EQ(id_of(5), "KCAP");
    EXPECT_EQ(id_of(0), "KOAK");
    EXPECT_EQ(id_of(6), "TAIL");
    // Beyond the last station, also after the stream met its end; the
    // report is then left as it was.
    for (int n : {7, 8, 7}) {
        int rc = 0;
        const UPA_report r = read_station(fd, n, UPA_READ_ALL, &rc);
        EXPECT_EQ(rc, -1) << n;
        EXPECT_EQ(r.numman, 0x5a5a5a5a) << n;
    }
    EXPECT_EQ(id_of(3), "KXTM");
    EXPECT_EQ(UPA_rewind(fd), 0);
    EXPECT_EQ(id_of(1), "KSLC");
    int rc = 0;
    const int negative = -1;
    UPA_report r = blank_report();
    EXPECT_EQ(UPA_read(fd, &r, 30, &negative), -1);
    read_station(fd, 2, 30, &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(UPA_close(fd), 0);

    // A pipe is read in order without ever going back; the station just read
    // is read again, an earlier one cannot be.
    int type = UPA_TEXT_VAR;
    const int pfd = UPA_open(("|cat '" + name + "'").c_str(), 0, &type);
    ASSERT_GE(pfd, 0);
    UPA_info info;
    EXPECT_EQ(UPA_getinfo(pfd, &info), 0);
    EXPECT_STREQ(info.datim, "12Z 08 DEC 26");
    EXPECT_EQ(id_of(0), "KOAK");
    EXPECT_EQ(id_of(2), "SFC1");
    EXPECT_EQ(read_station(pfd, 2, UPA_READ_ALL).numsig, 1);
    read_station(pfd, 1, UPA_READ_ALL, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(UPA_rewind(pfd), -1);
    EXPECT_EQ(UPA_getinfo(pfd, &info), 0);
    EXPECT_STREQ(info.datim, "12Z 08 DEC 26");
    EXPECT_EQ(id_of(6), "TAIL");
    EXPECT_EQ(UPA_close(pfd), 0);
}

// Blocks are passed over by their structure: levels above 10 mb make a type 3
// block one line longer, lists may hold "X" temperature groups, and a type 4
// or 5 list ends with its marker also at 50 levels and at full capacity.
TEST(UpaRead, BlocksPassedOverByStructure) {
    TempDir dir;
    const std::string name = dir.file("hand.upa");
    zeqtest::write_file(name, "ZEQUPA+\n12Z 08 DEC 26\n"
                              "KAAA 00110 15250 27010 X X X 85480 08456 28025 70090 05157 29040\n"
                              "50570 21360 30105 X X X X X X X X X\n"
                              "X X X X X X X X X X X X\nX X X X X X X X X X X X\n"
                              "-7350 45199 X -5580 X X\n88215 55399 29060 77245 29610\n"
                              "905 X 880 16099 X\n"
                              "00 26008 $\n"
                              "KBBB X X X X X X X X X X X X\nX X X X X X X X X X X X\n"
                              "X X X X X X X X X X X X\nX X X X X X X X X X X X\n"
                              "X X X X X\n500 20050 X\n$\n");
    const int fd = open_read(name);
    const UPA_report a = read_station(fd, 0, UPA_READ_ALL);
    EXPECT_EQ(a.numman, 21);
    EXPECT_EQ(a.man[17].p, 7);
    EXPECT_EQ(a.man[18].p, 5);
    EXPECT_EQ(a.man[18].h, 35800);
    EXPECT_EQ(a.man[22].p, 215);
    EXPECT_EQ(a.man[23].p, 245);
    ASSERT_EQ(a.numsig, 2);
    EXPECT_EQ(a.sig[0].p, 905);
    EXPECT_EQ(a.sig[0].t, M);
    EXPECT_EQ(a.sig[1].t, 16);
    EXPECT_EQ(a.man[0].p, 905);
    EXPECT_EQ(a.man[0].spd, 8);
    for (int mode : {UPA_READ_SFC, UPA_READ_TOKEN, 3, 22}) {
        read_station(fd, 0, mode);
        const UPA_report b = read_station(fd, 1, mode);
        EXPECT_STREQ(b.id, "KBBB") << mode;
        // The surface mode takes a first level at 500 mb; the whole report
        // only one below.
        if (mode == UPA_READ_SFC) {
            EXPECT_EQ(b.man[0].p, 500);
        }
    }
    EXPECT_EQ(read_station(fd, 1, UPA_READ_ALL).man[0].p, M);
    EXPECT_EQ(UPA_close(fd), 0);
}

TEST(UpaRead, OlderHandMadeFiles) {
    const Tolerance exact{1e-3f, 1e-3f, 1e-3f, 1e-3f, 1e-3f, 1e-3f, 0, 0};
    int fd = open_read(fixture("old4.upa"));
    UPA_report r = read_station(fd, 0, UPA_READ_ALL);
    EXPECT_STREQ(r.id, "KOAK");
    EXPECT_EQ(r.wmo, MISSING);
    EXPECT_EQ(r.numman, 6);
    expect_level(r.man[0], {1013, M, 16, 11, 260, 8}, exact, "surface");
    expect_level(r.man[1], {1000, 110, 15.2f, 10.2f, 270, 10}, exact, "1000");
    expect_level(r.man[2], {M, M, M, M, M, M}, exact, "925");
    expect_level(r.man[3], {850, 1480, 8.4f, 2.4f, 280, 25}, exact, "850");
    expect_level(r.man[4], {700, 3090, -5.1f, -12.1f, 290, 40}, exact, "700");
    expect_level(r.man[5], {500, 5700, -21.3f, -31.3f, 300, 105}, exact, "500");
    ASSERT_EQ(r.numsig, 3);
    EXPECT_EQ(r.sig[0].p, 1013);
    EXPECT_EQ(r.sig[1].p, 920);
    EXPECT_NEAR(r.sig[2].td, -20.5f, 1e-3);
    ASSERT_EQ(r.numwnd, 16);
    const float heights[16] = {0,    1000, 2000,  3000,  4000,  5000,  6000,  7000,
                               8000, 9000, 10000, 12000, 14000, 15000, 16000, 18000};
    for (int s = 0; s < 16; ++s)
        EXPECT_EQ(r.wnd[s].h, heights[s]) << s;
    EXPECT_EQ(r.wnd[1].dir, 265);
    EXPECT_EQ(r.wnd[2].dir, M);
    EXPECT_EQ(r.wnd[13].spd, 50);
    EXPECT_EQ(r.wnd[15].dir, 300);
    // A digit identifier, 850 mb without a height, no significant level.
    r = read_station(fd, 1, UPA_READ_ALL);
    EXPECT_STREQ(r.id, "72493");
    expect_level(r.man[3], {850, M, 10, M, M, M}, exact, "850 without height");
    EXPECT_EQ(r.numsig, 0);
    expect_level(r.man[0], {M, M, M, M, 0, 0}, exact, "calm surface");
    expect_level(read_station(fd, 1, UPA_READ_SFC).man[0], {M, M, M, M, 0, 0}, exact, "surface mode");
    expect_level(read_station(fd, 0, UPA_READ_SFC).man[0], {1013, M, 16, 11, 260, 8}, exact, "surface mode");
    EXPECT_EQ(read_station(fd, 0, 2).man[0].p, M);
    EXPECT_EQ(read_station(fd, 0, 4).man[0].h, 3090);
    EXPECT_EQ(UPA_close(fd), 0);

    fd = open_read(fixture("old8.upa"));
    r = read_station(fd, 0, UPA_READ_ALL);
    EXPECT_EQ(r.numman, 12);
    expect_level(r.man[1], {1000, 95, 14.6f, 9.6f, 270, 12}, exact, "1000");
    expect_level(r.man[6], {400, 7200, -33.1f, -48.1f, 305, 55}, exact, "400");
    expect_level(r.man[7], {300, 9150, -47.1f, -66.1f, 310, 70}, exact, "300");
    expect_level(r.man[8], {M, M, M, M, M, M}, exact, "250");
    expect_level(r.man[9], {200, 11800, -53.7f, -73.7f, 315, 80}, exact, "200");
    expect_level(r.man[11], {100, 16200, -64.9f, -94.9f, 320, 40}, exact, "100");
    ASSERT_EQ(r.numsig, 2);
    EXPECT_EQ(r.sig[1].p, 250);
    EXPECT_NEAR(r.sig[1].td, -67.1f, 1e-3);
    ASSERT_EQ(r.numwnd, 21);
    EXPECT_EQ(r.wnd[14].h, 20000);
    EXPECT_EQ(r.wnd[14].dir, 310);
    EXPECT_EQ(r.wnd[17].h, 35000);
    EXPECT_EQ(r.wnd[17].spd, 120);
    EXPECT_EQ(read_station(fd, 0, 11).man[0].h, 16200);
    int rc = 0;
    read_station(fd, 1, UPA_READ_TOKEN, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(UPA_close(fd), 0);
}

// ---- netCDF ---------------------------------------------------------------------------------------

TEST(UpaCdf, FirstConventionWithout925) {
    TempDir dir;
    const std::string name = dir.file("v1.nc");
    ASSERT_TRUE(zeqtest::compile_cdl("upperair/station_v1.cdl", name));
    UPA_info info;
    const int fd = open_read(name, 0, &info);
    EXPECT_STREQ(info.datim, "12Z 08 DEC 26"); // from "datetime"
    EXPECT_EQ(info.date.year, 2026);
    EXPECT_EQ(info.date.hour, 12);
    const Tolerance exact{1e-3f, 1e-3f, 1e-3f, 1e-3f, 1e-3f, 1e-3f, 0, 0};

    UPA_report r = read_station(fd, 0, UPA_READ_ALL);
    EXPECT_STREQ(r.id, "KOAK");
    EXPECT_STREQ(r.area, "UN"); // no "region" variable
    EXPECT_EQ(r.wmo, 72493);
    EXPECT_NEAR(r.lat, 37.73f, 1e-4);
    EXPECT_NEAR(r.lon, -122.22f, 1e-4); // no "version": longitudes were positive west
    EXPECT_EQ(r.elev, 5);
    EXPECT_EQ(r.numman, 23);
    expect_level(r.man[1], {1000, 111, 15, 10.2f, 270, 10}, exact, "1000");
    expect_level(r.man[2], {M, M, M, M, M, M}, exact, "925");
    expect_level(r.man[3], {850, 1457, 7, 2.4f, 280, 25}, exact, "850");
    expect_level(r.man[16], {10, 31055, -48, M, 250, 18}, exact, "10");
    expect_level(r.man[22], {210, M, -57.5f, M, 290, 60}, exact, "tropopause");
    expect_level(r.man[23], {250, M, M, M, 295, 110}, exact, "maximum wind");
    ASSERT_EQ(r.numsig, 2);
    EXPECT_EQ(r.sig[1].p, 920);
    EXPECT_EQ(r.sig[1].td, 8);
    ASSERT_EQ(r.numwnd, 3);
    EXPECT_EQ(r.wnd[2].h, 5000);
    EXPECT_EQ(r.wnd[2].spd, 20);

    // Single levels with 850 mb at index 2.
    expect_level(read_station(fd, 0, 1).man[0], {1000, 111, 15, 10.2f, 270, 10}, exact, "mode 1");
    const UPA_report none = read_station(fd, 0, 2);
    expect_level(none.man[0], {M, M, M, M, M, M}, exact, "mode 2");
    EXPECT_STREQ(none.id, "KOAK");
    expect_level(read_station(fd, 0, 3).man[0], {850, 1457, 7, 2.4f, 280, 25}, exact, "mode 3");
    expect_level(read_station(fd, 0, 22).man[0], {210, M, -57.5f, M, 290, 60}, exact, "mode 22");
    expect_level(read_station(fd, 0, 0).man[0], {1013, 5, 16, 11, 260, 8}, exact, "mode 0");

    // The second station has a 925 mb level.
    r = read_station(fd, 1, UPA_READ_ALL);
    EXPECT_NEAR(r.lon, -122.37f, 1e-4);
    expect_level(r.man[2], {925, 760, 9, 5, 265, 15}, exact, "925");
    expect_level(read_station(fd, 1, 2).man[0], {925, 760, 9, 5, 265, 15}, exact, "mode 2");
    expect_level(read_station(fd, 1, 22).man[0], r.man[22], exact, "mode 22");
    EXPECT_EQ(r.numsig, 0);
    EXPECT_EQ(r.numwnd, 1);

    // The station token, the station part, and modes that name no level.
    r = read_station(fd, 1, UPA_READ_TOKEN);
    EXPECT_STREQ(r.id, "KSFO");
    EXPECT_EQ(r.wmo, 72494);
    EXPECT_EQ(r.lat, M);
    r = read_station(fd, 1, UPA_READ_STATION);
    EXPECT_NEAR(r.lat, 37.62f, 1e-4);
    EXPECT_EQ(r.elev, 10);
    EXPECT_EQ(r.man[0].p, M);
    r = read_station(fd, 1, 19);
    EXPECT_STREQ(r.id, "");
    int rc = 0;
    read_station(fd, 2, UPA_READ_ALL, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(UPA_close(fd), 0);
}

TEST(UpaCdf, ReportConventionUnits) {
    TempDir dir;
    const std::string name = dir.file("report.nc");
    ASSERT_TRUE(zeqtest::compile_cdl("upperair/report.cdl", name));
    UPA_info info;
    const int fd = open_read(name, 0, &info);
    EXPECT_STREQ(info.datim, "00Z 09 DEC 26");
    const UPA_report r = read_station(fd, 0, UPA_READ_ALL);
    EXPECT_STREQ(r.area, "CA");
    EXPECT_NEAR(r.lon, -122.22f, 1e-4);      // a "version" attribute: east positive
    EXPECT_NEAR(r.man[3].spd, 19.44f, 1e-3); // 10 m/s
    EXPECT_NEAR(r.man[2].spd, 14.58f, 1e-3);
    EXPECT_EQ(r.man[22].p, 215);
    EXPECT_NEAR(r.wnd[1].h, 1000, 0.1); // 304.8 m
    EXPECT_NEAR(r.wnd[1].spd, 10, 0.01);
    EXPECT_EQ(r.wnd[0].h, 0);
    EXPECT_EQ(r.sig[1].td, M); // the file has no "TD_sigt"
    EXPECT_EQ(r.sig[1].t, 12);
    EXPECT_NEAR(read_station(fd, 0, 3).man[0].spd, 19.44f, 1e-3);
    EXPECT_EQ(UPA_close(fd), 0);
}

// The header of the netCDF files we write, as ncdump shows it.
TEST(UpaCdf, WrittenLayoutSeenByNcdump) {
    for (int type : {11, 12}) {
        TempDir dir;
        const std::string name = dir.file("w.nc");
        const std::vector<UPA_report> reports = {golden_report(), surface_only()};
        write_reports(name, type, reports);
        const std::string head = zeqtest::ncdump(name, "-h");
        const bool t12 = type == 12;
        const std::string rec = t12 ? "report" : "station";
        auto v = [&](const char *lower, const char *upper) { return std::string(t12 ? upper : lower); };
        const std::vector<std::string> lines = {
            rec + " = UNLIMITED ; // (2 currently)",
            "mant_level = 25 ;",
            "sigt_level = 200 ;",
            "sigw_level = 100 ;",
            "string_len = 11 ;",
            "char id(" + rec + ", string_len) ;",
            "id:long_name = \"Station ID\" ;",
            "char region(" + rec + ", string_len) ;",
            "type:long_name = \"Report Origination\" ;",
            "int idn(" + rec + ") ;",
            "idn:long_name = \"WMO Numeric Station ID\" ;",
            "lat:units = \"degrees_N\" ;",
            "lat:valid_range = -90.f, 90.f ;",
            "lat:_FillValue = -9999.f ;",
            "lon:units = \"degrees_E\" ;",
            "lon:valid_range = -180.f, 180.f ;",
            "num_mant:long_name = \"Number of Mandatory Levels\" ;",
            "num_mant:valid_range = 0, 25 ;",
            "num_mant:_FillValue = 0 ;",
            "num_sigt:valid_range = 0, 200 ;",
            "num_sigw:valid_range = 0, 100 ;",
            "float " + v("p_man", "P_man") + "(" + rec + ", mant_level) ;",
            v("p_man", "P_man") + ":long_name = \"Pressure - Mandatory Levels\" ;",
            v("p_man", "P_man") + ":units = \"hectopascals\" ;",
            v("p_man", "P_man") + ":valid_range = 0.f, 1500.f ;",
            v("z_man", "Z_man") + ":units = \"meters\" ;",
            v("z_man", "Z_man") + ":valid_range = -150.f, 100000.f ;",
            v("td_man", "TD_man") + ":long_name = \"Dew Point - Mandatory Levels\" ;",
            v("spd_man", "SPD_man") + ":units = \"" + (t12 ? "meters/second" : "knots") + "\" ;",
            v("spd_man", "SPD_man") + ":valid_range = 0.f, 300.f ;",
            "float " + v("t_sigt", "T_sigt") + "(" + rec + ", sigt_level) ;",
            "float " + v("z_sigw", "Z_sigw") + "(" + rec + ", sigw_level) ;",
            v("z_sigw", "Z_sigw") + ":long_name = \"Altitude - Significant Levels wrt W\" ;",
            v("z_sigw", "Z_sigw") + ":units = \"" + (t12 ? "meters" : "feet") + "\" ;",
            v("spd_sigw", "SPD_sigw") + ":_FillValue = -9999.f ;",
            ":title = \"Upper Air Observations\" ;",
            ":version = \"2.0\" ;",
            ":history = \"Upper air converted file from ZEQ decoders\" ;",
            ":filetime = \"12Z 08 DEC 26\" ;",
            ":yymmddhh = \"26120812\" ;",
        };
        for (const std::string &line : lines)
            EXPECT_NE(head.find(line), std::string::npos) << "type " << type << ": " << line << "\n" << head;
        EXPECT_EQ(head.find("idn:units"), std::string::npos);
        const std::string data = zeqtest::ncdump(name, "-v type,id,num_mant");
        EXPECT_NE(data.find("type =\n  \"LAND\",\n  \"LAND\" ;"), std::string::npos) << data;
        EXPECT_NE(data.find("id =\n  \"KOAK\",\n  \"SFC1\" ;"), std::string::npos) << data;
        EXPECT_NE(data.find("num_mant = 25, 25 ;"), std::string::npos) << data;

        // Records need the header's variables.
        int t = type;
        ASSERT_GE(UPA_open(dir.file("nohead.nc").c_str(), 1, &t), 0);
        int n = 0;
        EXPECT_EQ(UPA_write(0, &reports[0], 30, &n), -1);
        EXPECT_EQ(UPA_close(0), 0);
    }
}

// python3-netcdf4 with its default masking reads every value and count we
// write: missing values and counts of 0 are masked, nothing else is.
TEST(UpaCdf, PythonReadsEveryValue) {
    const std::string script = R"(
import sys
import netCDF4
ds = netCDF4.Dataset(sys.stdin.readline().strip())
for name in ds.variables:
    var = ds.variables[name]
    if var.dtype == "S1":
        print(name, " ".join(str(s) for s in netCDF4.chartostring(var[:])))
        continue
    values = var[:].flatten()
    mask = values.mask if hasattr(values.mask, "__len__") else [values.mask] * len(values)
    print(name, " ".join("M" if m else "%.3f" % float(x) for x, m in zip(values.data, mask)))
)";
    UPA_report zero = surface_only("ZERO");
    zero.numman = 0; // still written: 25 levels, count 0
    const std::vector<UPA_report> reports = {golden_report(), full_report(), x_temp_report(), zero,
                                             capacity_report()};
    for (int type : {11, 12}) {
        TempDir dir;
        const std::string name = dir.file("py.nc");
        write_reports(name, type, reports);
        const std::string out = zeqtest::run_python(script, name + "\n", "python3-netcdf4");
        const bool t12 = type == 12;
        const float spd_f = t12 ? 0.5144f : 1, hgt_f = t12 ? 0.3048f : 1;
        std::map<std::string, std::string> want;
        auto num = [](float v, float f = 1) {
            if (v == M) return std::string("M");
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(v * f));
            return std::string(buf);
        };
        auto add = [&](const char *lower, const char *upper, const std::string &value) {
            std::string &line = want[t12 ? upper : lower];
            line += (line.empty() ? "" : " ") + value;
        };
        for (const UPA_report &r : reports) {
            add("id", "id", r.id);
            add("region", "region", r.area);
            add("type", "type", "LAND");
            add("idn", "idn", num(static_cast<float>(r.wmo)));
            add("lat", "lat", num(r.lat));
            add("lon", "lon", num(r.lon));
            add("num_mant", "num_mant", r.numman != 0 ? "25.000" : "M");
            add("num_sigt", "num_sigt", r.numsig != 0 ? num(static_cast<float>(r.numsig)) : "M");
            add("num_sigw", "num_sigw", r.numwnd != 0 ? num(static_cast<float>(r.numwnd)) : "M");
            for (const UPA_level &l : r.man) {
                add("p_man", "P_man", num(l.p));
                add("z_man", "Z_man", num(l.h));
                add("t_man", "T_man", num(l.t));
                add("td_man", "TD_man", num(l.td));
                add("dir_man", "DIR_man", num(l.dir));
                add("spd_man", "SPD_man", num(l.spd, spd_f));
            }
            for (int i = 0; i < UPA_MAX_SIG; ++i) {
                const bool in = i < r.numsig;
                add("p_sigt", "P_sigt", in ? num(r.sig[i].p) : "M");
                add("t_sigt", "T_sigt", in ? num(r.sig[i].t) : "M");
                add("td_sigt", "TD_sigt", in ? num(r.sig[i].td) : "M");
            }
            for (int i = 0; i < UPA_MAX_WND; ++i) {
                const bool in = i < r.numwnd;
                add("z_sigw", "Z_sigw", in ? num(r.wnd[i].h, hgt_f) : "M");
                add("dir_sigw", "DIR_sigw", in ? num(r.wnd[i].dir) : "M");
                add("spd_sigw", "SPD_sigw", in ? num(r.wnd[i].spd, spd_f) : "M");
            }
        }
        std::map<std::string, std::string> got;
        for (const std::string &line : zeqtest::text_lines(out)) {
            const std::size_t sp = line.find(' ');
            got[line.substr(0, sp)] = sp == std::string::npos ? "" : line.substr(sp + 1);
        }
        EXPECT_EQ(got.size(), want.size()) << out.substr(0, 2000);
        for (const auto &[var, values] : want)
            EXPECT_EQ(got[var], values) << "type " << type << " " << var;
    }
}

// ---- What writing leaves alone, leaves out and reports ---------------------------------------------

TEST(UpaWrite, CallersReportAndHeaderUnchanged) {
    for (int type : all_types) {
        TempDir dir;
        int t = type;
        const int fd = UPA_open(dir.file("w").c_str(), 1, &t);
        ASSERT_GE(fd, 0);
        UPA_info info = make_info();
        const UPA_info info_before = info;
        ASSERT_EQ(UPA_putinfo(fd, &info), 0);
        EXPECT_EQ(std::memcmp(&info, &info_before, sizeof info), 0) << type;
        int n = 0;
        for (const UPA_report &r : fixture_reports()) {
            // A type 1 report with 850 mb among its significant levels, one
            // without any: the file leaves out or adds, the report keeps.
            const UPA_report before = r;
            ASSERT_EQ(UPA_write(fd, &r, 30, &n), 0);
            EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << "type " << type << " " << r.id;
            if (is_cdf(type)) ++n;
        }
        EXPECT_EQ(UPA_close(fd), 0);
    }
}

TEST(UpaWrite, WhatAGroupCannotCarryIsLeftOutWithAWarning) {
    TempDir dir;
    const std::string name = dir.file("out.upa");
    UPA_report r = golden_report();
    r.man[17].p = 0.5f;                    // above 10 mb, below 1 mb
    r.man[18] = {3, 39400, -40, M, M, M};  // the next one is written
    r.wnd[r.numwnd++] = {100000, 300, 80}; // a height code of three digits
    r.wnd[1].spd = 520;                    // a speed of 500 knots
    r.sig[r.numsig++] = {M, -50, M};       // a significant level without pressure
    UPA_report no_id = surface_only("");
    no_id.wmo = MISSING;
    UPA_report wmo_only = surface_only("");
    const auto result = zeqtest::run_child([&] {
        int type = UPA_TEXT_VAR;
        const int fd = UPA_open(name.c_str(), 1, &type);
        const UPA_info info = make_info();
        int n = 0;
        if (fd < 0 || UPA_putinfo(fd, &info) != 0 || UPA_write(fd, &r, 30, &n) != 0) return 1;
        if (UPA_write(fd, &no_id, 30, &n) != -1 || n != 1) return 2;
        if (UPA_write(fd, &wmo_only, 30, &n) != 0) return 3;
        return UPA_close(fd) == 0 ? 0 : 4;
    });
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("UPA_write: KOAK: level above 10 mb at 0.5 mb cannot be written, left out"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("UPA_write: KOAK: wind level at 100000 ft cannot be written, left out"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("UPA_write: KOAK: significant level at -9999.0 mb cannot be written, left out"),
              std::string::npos)
        << result.err;
    EXPECT_NE(
        result.err.find("UPA_write: Report without station identifier or WMO number left out of " + name),
        std::string::npos)
        << result.err;

    const std::string text = zeqtest::read_file(name);
    EXPECT_NE(text.find("\n-3940 40199 X \n"), std::string::npos) << text;
    EXPECT_NE(text.find("00 26008 01 X 05 28020 12 29035 35 31620 $\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n12345 "), std::string::npos) << text; // the WMO number as identifier
    const int fd = open_read(name);
    const UPA_report back = read_station(fd, 0, UPA_READ_ALL);
    EXPECT_EQ(back.man[17].p, 3);
    EXPECT_EQ(back.man[18].p, M);
    EXPECT_EQ(back.numwnd, 5);
    EXPECT_EQ(back.wnd[1].spd, M);
    EXPECT_EQ(back.numsig, 4);
    EXPECT_STREQ(read_station(fd, 1, UPA_READ_TOKEN).id, "12345");
    EXPECT_EQ(UPA_close(fd), 0);
}

// Linux's always-full device: writes and the close fail with a warning.
TEST(UpaWrite, FullDeviceFailsWithAWarning) {
    ASSERT_EQ(access("/dev/full", W_OK), 0) << "/dev/full is needed";
    for (int type : {UPA_TEXT, UPA_TEXT_OLD8, UPA_BINARY, UPA_XML}) {
        const auto result = zeqtest::run_child([type] {
            int t = type;
            const int fd = UPA_open("/dev/full", 1, &t);
            if (fd < 0) return 10;
            const UPA_info info = make_info();
            UPA_putinfo(fd, &info);
            const UPA_report r = full_report();
            int n = 0, failed = 0;
            for (int i = 0; i < 200; ++i)
                if (UPA_write(fd, &r, 30, &n) == -1) ++failed;
            if (failed == 0) return 11;
            return UPA_close(fd) == -1 ? 0 : 12;
        });
        EXPECT_EQ(result.status, 0) << type << ": " << result.err;
        EXPECT_NE(result.err.find("UPA_write: Unable to write the upper-air file /dev/full"),
                  std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find("UPA_close: Unable to complete the upper-air file /dev/full"),
                  std::string::npos)
            << result.err;
    }
}

// ---- Binary and XML output --------------------------------------------------------------------

namespace {

// Dodge City: 850, 700 and 500 mb, tropopause without height, no 1000 mb.
UPA_report kddc_report() {
    UPA_report r = blank_report();
    set_id(r, "KDDC", "KS", 72451, 37.77f, -99.97f);
    r.elev = 790;
    r.time = 70000; // low 16 bits: 4464
    r.man[0] = {921, 790, 18.2f, 10.4f, 180, 12};
    r.man[3] = {850, 1470, -10.3f, -12.8f, 200, 25.9f};
    r.man[4] = {700, 3110, 2.5f, -5.5f, 239, 30};
    r.man[5] = {500, 5790, -14.5f, M, 255, 45};
    r.man[22] = {210, M, -55.1f, M, 260, 60};
    r.numman = 24;
    add_sig(r, 921, 18.2f, 10.4f);
    add_sig(r, 85.5f, -60.2f, M);
    add_wind(r, 0, 180, 12);
    add_wind(r, 3000, 200, 20);
    return r;
}

// A digit identifier, no WMO number or position, values beyond 16 bits.
UPA_report digit_report() {
    UPA_report r = blank_report();
    set_id(r, "91001", "", M, M, M);
    r.man[1] = {1000, 100, M, M, M, M};
    r.man[3] = {850, M, M, M, 365, M};
    r.man[5] = {500, 40000, M, M, M, M};
    return r;
}

void write_out(const std::string &name, int type, const std::vector<UPA_report> &reports) {
    int t = type;
    const int fd = UPA_open(name.c_str(), 1, &t);
    ASSERT_GE(fd, 0);
    UPA_info info = make_info("12Z 15 JAN 26");
    DATE_decode_label(info.datim, &info.date); // minutes missing
    ASSERT_EQ(UPA_putinfo(fd, &info), 0);
    int n = 0;
    for (const UPA_report &r : reports)
        ASSERT_EQ(UPA_write(fd, &r, 30, &n), 0);
    EXPECT_EQ(n, static_cast<int>(reports.size()));
    ASSERT_EQ(UPA_close(fd), 0);
}

} // namespace

// Python's struct reads the header and the 78-byte little-endian records.
TEST(UpaBinary, RecordsAsStructReadsThem) {
    TempDir dir;
    const std::string name = dir.file("out.bin");
    write_out(name, UPA_BINARY, {kddc_report(), digit_report()});
    const std::string out = zeqtest::run_python(R"(
import struct, sys
data = open(sys.stdin.readline().strip(), 'rb').read()
print(data[:22].decode('ascii'))
body = data[22:]
print(len(body) % 78, len(body) // 78)
for i in range(0, len(body), 78):
    f = struct.unpack('<5s7s33h', body[i:i + 78])
    print(f[0].hex(), f[1].hex(), ' '.join(map(str, f[2:])))
)",
                                                name + "\n");
    // Per record: identifier, WMO number; latitude, longitude; T850, 0, T700,
    // T500, 0; the three heights; five zeros; three directions / 10, 0; three
    // speeds, 0; three dewpoint depressions; tropopause height, 1000-500 mb
    // thickness, time; four zeros.
    EXPECT_EQ(out, "12:00Z XXX JAN 15 2026\n"
                   "0 2\n"
                   "4b44444300 37323435310000 3777 -9997 -10 0 3 -15 0 1470 3110 5790 0 0 0 0 0 20 23 25 0 "
                   "25 30 45 0 3 8 9999 9999 9999 4464 0 0 0 0\n"
                   "0000000000 39393939390000 9999 9999 9999 0 9999 9999 0 9999 9999 9999 0 0 0 0 0 36 9999 "
                   "9999 0 9999 9999 9999 0 9999 9999 9999 9999 9999 -9999 0 0 0 0\n");
}

// Python's ElementTree parses the document; every attribute as written.
TEST(UpaXml, DocumentAsElementTreeReadsIt) {
    TempDir dir;
    const std::string name = dir.file("out.xml");
    UPA_report odd = surface_only("A&\"<'b>");
    odd.wmo = 123;
    odd.man[0] = {1002.4f, 12, 5.5f, M, M, M};
    odd.man[17] = {7, 33500, -45, M, M, M};
    const UPA_report bytes = surface_only("X\x01\xff\xc3\xa9");
    write_out(name, UPA_XML, {kddc_report(), odd, bytes});
    EXPECT_EQ(odd.numsig, 0); // the writer completed its own copy
    EXPECT_EQ(odd.numwnd, 0);
    const std::string out = zeqtest::run_python(R"(
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.stdin.readline().strip()).getroot()
print(root.tag, root.attrib)
for obs in root:
    print(obs.tag, sorted(obs.attrib.items()))
    for sec in obs:
        for lev in sec:
            print(' ', sec.tag, sorted(lev.attrib.items()))
)",
                                                name + "\n");
    EXPECT_EQ(
        out,
        "zequpa {'date': '12Z 15 JAN 26'}\n"
        "obs [('id', 'KDDC'), ('lat', '37.77'), ('lon', '-99.97'), ('wmo', '72451')]\n"
        "  mand_level [('dewp.C', '10.4'), ('hght.m', '790'), ('pres.mb', '921'), ('temp.C', '18.2'), "
        "('type', 'sfc'), ('wdir.deg', '180'), ('wspd.knt', '12')]\n"
        "  mand_level [('dewp.C', '-12.8'), ('hght.m', '1470'), ('pres.mb', '850'), ('temp.C', '-10.3'), "
        "('wdir.deg', '200'), ('wspd.knt', '26')]\n"
        "  mand_level [('dewp.C', '-5.5'), ('hght.m', '3110'), ('pres.mb', '700'), ('temp.C', '2.5'), "
        "('wdir.deg', '239'), ('wspd.knt', '30')]\n"
        "  mand_level [('hght.m', '5790'), ('pres.mb', '500'), ('temp.C', '-14.5'), ('wdir.deg', '255'), "
        "('wspd.knt', '45')]\n"
        "  mand_level [('pres.mb', '210'), ('temp.C', '-55.1'), ('type', 'trop'), ('wdir.deg', '260'), "
        "('wspd.knt', '60')]\n"
        "  sig_level [('dewp.C', '10.4'), ('pres.mb', '921'), ('temp.C', '18.2')]\n"
        "  sig_level [('pres.mb', '85.5'), ('temp.C', '-60.2')]\n"
        "  wnd_level [('hght.m', '0'), ('wdir.deg', '180'), ('wspd.knt', '12')]\n"
        "  wnd_level [('hght.m', '914'), ('wdir.deg', '200'), ('wspd.knt', '20')]\n"
        "obs [('id', 'A&\"<\\'b>'), ('wmo', '00123')]\n"
        "  mand_level [('hght.m', '12'), ('pres.mb', '1002'), ('temp.C', '5.5'), ('type', 'sfc')]\n"
        "  mand_level [('hght.m', '33500'), ('pres.mb', '7'), ('temp.C', '-45.0')]\n"
        "  sig_level [('pres.mb', '1002'), ('temp.C', '5.5')]\n"
        "  wnd_level [('hght.m', '0')]\n"
        "obs [('id', 'X??\u00e9'), ('wmo', '12345')]\n"
        "  mand_level [('dewp.C', '8.1'), ('hght.m', '250'), ('pres.mb', '980'), ('temp.C', '12.4'), "
        "('type', 'sfc'), ('wdir.deg', '200'), ('wspd.knt', '15')]\n"
        "  sig_level [('dewp.C', '8.1'), ('pres.mb', '980'), ('temp.C', '12.4')]\n"
        "  wnd_level [('hght.m', '0'), ('wdir.deg', '200'), ('wspd.knt', '15')]\n");
}
