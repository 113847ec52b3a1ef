// Surface file writing: headers and reports of the text types (checked byte
// for byte and read back by the module's readers), binary records unpacked
// by Python's struct, XML parsed by xml.etree, netCDF files read by ncdump and
// python3-netcdf4, and write failures on Linux's always-full device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/date.h"
#include "runtime/string.h"
#include "support/child.h"
#include "support/netcdf.h"
#include "support/reference.h"
#include "support/surface_files.h"
#include "surface/sfc_read.h"
#include "surface/sfc_tool.h"
#include "surface/wx_tool.h"

namespace {

using zeqtest::TempDir;
constexpr float M = -9999;

SFC_report blank(const char *id = "KDEN") {
    SFC_report r;
    SFC_initialize(&r);
    copy_text(r.id, id);
    return r;
}

void set_layers(SFC_report &r, std::initializer_list<std::pair<float, char>> layers) {
    int i = 0;
    for (const auto &[h, c] : layers) {
        r.cld_height[i] = h;
        r.cld_cover[i] = c;
        ++i;
    }
    r.num_cld = i;
}

// A land station with every field of the record given.
SFC_report complete() {
    SFC_report r = blank();
    copy_text(r.area, "CO");
    r.elev = 1611;
    r.prior = 1;
    r.time = 1150;
    set_layers(r, {{1500, 'S'}, {4000, '7'}});
    r.vis = 2.5f;
    copy_text(r.weather, "R-");
    r.pmb = 1013.2f;
    r.t = 71.6f;
    r.td = 65;
    r.w_dir = 270;
    r.w_spd = 15;
    r.w_gust = 30;
    r.alt = 29.92f;
    r.ptend_t = 2;
    r.ptend = 1.5f;
    r.rain1 = 0.05f;
    r.rain3 = 0.1f;
    r.rain6 = 0.25f;
    r.rain12 = 0.5f;
    r.rain24 = 1.0f;
    std::memcpy(r.cld_type, "5A7", 3);
    r.max_t = 80.5f;
    r.min_t = 60;
    r.max6_t = 78;
    r.min6_t = 62;
    r.scover = 2.5f;
    r.solar = 60;
    r.sst = 12.5f;
    r.wav_per = 8;
    r.wav_hgt = 2.5f;
    copy_text(r.comment, "gusty winds");
    return r;
}

SFC_info make_info(const char *datim) {
    SFC_info info;
    std::memset(&info, 0, sizeof info);
    copy_text(info.datim, datim);
    DATE_decode_label(info.datim, &info.date);
    info.cmdline = nullptr;
    return info;
}

// Writes the reports as a new file of the type (netCDF records numbered from
// 0); false when a call fails.
bool write_reports(const std::string &name, int type, const char *datim,
                   const std::vector<SFC_report> &reports) {
    int t = type;
    const int fd = SFC_open(name.c_str(), 1, &t);
    if (fd < 0) return false;
    SFC_info info = make_info(datim);
    bool ok = SFC_putinfo(fd, &info) == 0;
    for (int n = 0; n < static_cast<int>(reports.size()); ++n) {
        SFC_report r = reports[static_cast<std::size_t>(n)];
        ok = SFC_write(fd, &r, 0, &n) == 0 && ok;
    }
    return SFC_close(fd) == 0 && ok;
}

std::vector<SFC_report> read_reports(const std::string &name, int type) {
    return zeqtest::read_surface_file(name, type);
}

// One report written alone: the file's text.
std::string written(int type, const SFC_report &r, const char *datim = "12Z 08 DEC 26") {
    TempDir dir;
    const std::string name = dir.file("out");
    EXPECT_TRUE(write_reports(name, type, datim, {r}));
    return zeqtest::read_file(name);
}

// ---- Text types: the records byte for byte ----------------------------------------------

TEST(SfcWriteText, RecordsByteForByte) {
    struct Case {
        const char *what;
        int type;
        std::function<void(SFC_report &)> set;
        const char *line;
    };
    auto kden = [](SFC_report &r) {
        r.t = 72;
        r.td = 65;
        r.w_dir = 270;
        r.w_spd = 15;
        r.alt = 29.92f;
        r.pmb = 1013.2f;
        r.vis = 10;
        set_layers(r, {{25000, 'B'}});
        copy_text(r.weather, "RA");
    };
    const Case cases[] = {
        {"compact example", 2, kden, "KDEN  72. 65.2715.992.132.100.250B.RA.\n"},
        {"short record", 1, kden, "KDEN  72. 65.2715.992.\n"},
        {"nothing but the identifier", 2, [](SFC_report &) {}, "KDEN -99.-99.-999.-99.-99.-99.-99 . .\n"},
        {"pressure 998.5, visibility 120 mi (mended: 990), 71.6 F", 2,
         [](SFC_report &r) {
             r.pmb = 998.5f;
             r.vis = 120;
             r.t = 71.6f;
         },
         "KDEN  72.-99.-999.-99.985.990.-99 . .\n"},
        {"1060.5 mb has no compact code (mended: was 1605), -10.3 F rounds to -10 (mended: was -9)", 2,
         [](SFC_report &r) {
             r.pmb = 1060.5f;
             r.t = -10.3f;
             r.td = -10.5f;
         },
         "KDEN -10.-11.-999.-99.-99.-99.-99 . .\n"},
        {"273 degrees at 15 knots from the whole tens (mended: was 2745)", 1,
         [](SFC_report &r) {
             r.w_dir = 273;
             r.w_spd = 15;
         },
         "KDEN -99.-99.2715.-99.\n"},
        {"optional groups of a ship in a 12Z file", 2,
         [](SFC_report &r) {
             r = complete();
             set_layers(r, {{25000, 'B'}});
             r.lat = 40.5f;
             r.lon = -105.0f;
         },
         "KDEN  72. 65.2715.992.132. 25.250B.R-.L 405.-1050.P215.r25.R100.T60.S 2.C5A7.G 30.\n"},
        {"ZEQSFC complete, type 3", 3, [](SFC_report &r) { r = complete(); },
         "KDEN 716 650 2715 992 132 2.50 15S,40:7 R- @1150 P2 15 p 5 Q10 r25 R100 X80.5 N60.0 S2.5 C5A7 G 30 "
         "s 60 t12.5 p 8 h2.5 #gusty winds $\n"},
        {"ZEQSFC complete, type 4", 4, [](SFC_report &r) { r = complete(); },
         "KDEN 716 650 2715 992 132 2.50 15S,40:7 R- @1150 P2 15 p 5 Q10 r25 q50 R100 X80.5 x78.0 N60.0 "
         "n62.0 "
         "S2.5 C5A7 G 30 s 60 t12.5 p 8 h2.5 #gusty winds $\n"},
        {"ZEQSFC nothing but the identifier", 3, [](SFC_report &) {},
         "KDEN -99 -99 -999 -99 -99 -99 -99M - $\n"},
        {"ZEQSFC 273 at 105 knots, visibility 10", 3,
         [](SFC_report &r) {
             r.w_dir = 273;
             r.w_spd = 105;
             r.vis = 10;
         },
         "KDEN -99 -99 270105 -99 -99 10.0 -99M - $\n"},
        {"ZEQSFC 3 degrees at 105 knots (mended: 360)", 3,
         [](SFC_report &r) {
             r.w_dir = 3;
             r.w_spd = 105;
         },
         "KDEN -99 -99 360105 -99 -99 -99 -99M - $\n"},
        {"ZEQSFC 273 at 15 knots, pressure 1060.5 as its whole code", 3,
         [](SFC_report &r) {
             r.w_dir = 273;
             r.w_spd = 15;
             r.pmb = 1060.5f;
         },
         "KDEN -99 -99 2715 -99 10605 -99 -99M - $\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SFC_report r = blank();
        c.set(r);
        const std::string header = c.type >= 3 ? "ZEQSFC\n12Z 08 DEC 26\n" : "12Z 08 DEC 26\n";
        EXPECT_EQ(written(c.type, r), header + c.line);
    }
}

// Values a text code cannot carry are written missing or their group is left
// out, never as a code that reads as another value.
TEST(SfcWriteText, ValuesACodeCannotCarry) {
    struct Case {
        const char *what;
        int type;
        std::function<void(SFC_report &)> set;
        std::function<void(const SFC_report &)> check; // on the report read back
    };
    const Case cases[] = {
        {"altimeter outside 25.01-35.00", 2, [](SFC_report &r) { r.alt = 35.01f; },
         [](const SFC_report &r) { EXPECT_EQ(r.alt, M); }},
        {"altimeter 25.00", 3, [](SFC_report &r) { r.alt = 25.0f; },
         [](const SFC_report &r) { EXPECT_EQ(r.alt, M); }},
        {"pressure 950.0", 2, [](SFC_report &r) { r.pmb = 950.0f; },
         [](const SFC_report &r) { EXPECT_EQ(r.pmb, M); }},
        {"pressure 950.0 as the whole code", 3, [](SFC_report &r) { r.pmb = 950.0f; },
         [](const SFC_report &r) { EXPECT_FLOAT_EQ(r.pmb, 950.0f); }},
        {"998.5 mb beside 30.80 in: the whole code", 3,
         [](SFC_report &r) {
             r.pmb = 998.5f;
             r.alt = 30.8f;
         },
         [](const SFC_report &r) { EXPECT_FLOAT_EQ(r.pmb, 998.5f); }},
        {"1005.0 mb beside 28.30 in: the whole code", 3,
         [](SFC_report &r) {
             r.pmb = 1005.0f;
             r.alt = 28.3f;
         },
         [](const SFC_report &r) { EXPECT_FLOAT_EQ(r.pmb, 1005.0f); }},
        {"998.5 mb at -15 F without altimeter: the whole code", 3,
         [](SFC_report &r) {
             r.pmb = 998.5f;
             r.t = -15;
         },
         [](const SFC_report &r) { EXPECT_FLOAT_EQ(r.pmb, 998.5f); }},
        {"100 knots have no DDFF", 2,
         [](SFC_report &r) {
             r.w_dir = 270;
             r.w_spd = 100;
         },
         [](const SFC_report &r) {
             EXPECT_EQ(r.w_dir, M);
             EXPECT_EQ(r.w_spd, M);
         }},
        {"a direction without a speed", 3, [](SFC_report &r) { r.w_dir = 270; },
         [](const SFC_report &r) {
             EXPECT_EQ(r.w_dir, M);
             EXPECT_EQ(r.w_spd, M);
         }},
        {"a change without characteristic: compact sign as 7", 2, [](SFC_report &r) { r.ptend = -1.2f; },
         [](const SFC_report &r) { EXPECT_FLOAT_EQ(r.ptend, -1.2f); }},
        {"a characteristic that disagrees with the change", 2,
         [](SFC_report &r) {
             r.ptend = 1.2f;
             r.ptend_t = 7;
         },
         [](const SFC_report &r) { EXPECT_FLOAT_EQ(r.ptend, 1.2f); }},
        {"a change of 10 mb or more", 2, [](SFC_report &r) { r.ptend = 10.0f; },
         [](const SFC_report &r) { EXPECT_EQ(r.ptend, M); }},
        {"ZEQSFC change without characteristic", 3, [](SFC_report &r) { r.ptend = 1.5f; },
         [](const SFC_report &r) {
             EXPECT_EQ(r.ptend, M);
             EXPECT_EQ(r.ptend_t, M);
         }},
        {"a minimum of 70 beside 20 F would read -30", 2,
         [](SFC_report &r) {
             r.t = 20;
             r.min_t = 70;
         },
         [](const SFC_report &r) {
             EXPECT_EQ(r.min_t, M);
             EXPECT_EQ(r.t, 20);
         }},
        {"a minimum of 95 beside 20 F", 2,
         [](SFC_report &r) {
             r.t = 20;
             r.min_t = -5;
         },
         [](const SFC_report &r) { EXPECT_EQ(r.min_t, -5); }},
        {"a wave period with no group between it and the 1-hour amount", 3,
         [](SFC_report &r) { r.wav_per = 8; },
         [](const SFC_report &r) {
             EXPECT_EQ(r.rain1, M);
             EXPECT_EQ(r.wav_per, M);
         }},
        {"compact weather of 12 characters", 2, [](SFC_report &r) { copy_text(r.weather, "RW-SW-TRW+AB"); },
         [](const SFC_report &r) { EXPECT_STREQ(r.weather, "RW-SW-TRW"); }},
        {"a comment of 80 characters with '$' and a line feed", 3,
         [](SFC_report &r) { copy_text(r.comment, "a$b\nc" + std::string(75, 'x')); },
         [](const SFC_report &r) { EXPECT_EQ(std::string(r.comment), "ab c" + std::string(65, 'x')); }},
        {"a first layer without cover before a broken one", 3,
         [](SFC_report &r) {
             set_layers(r, {{2500, ' '}, {4000, 'B'}});
         },
         [](const SFC_report &r) {
             EXPECT_EQ(r.num_cld, 2);
             EXPECT_EQ(r.cld_height[0], 2500);
             EXPECT_EQ(std::string(r.cld_cover, 2), " B");
             EXPECT_EQ(r.cld_height[1], 4000);
         }},
        {"an identifier with a blank", 3, [](SFC_report &r) { copy_text(r.id, "NEW YORK"); },
         [](const SFC_report &r) {
             EXPECT_STREQ(r.id, "NEW");
             EXPECT_EQ(r.t, M);
         }},
        {"weather led by a blank is none", 3, [](SFC_report &r) { copy_text(r.weather, " RA"); },
         [](const SFC_report &r) { EXPECT_STREQ(r.weather, " "); }},
        {"values beyond the int range", 3,
         [](SFC_report &r) {
             r.t = 1e30f;
             r.vis = 1e30f;
             r.rain6 = 3e38f;
             r.cld_height[0] = 1e30f;
             r.cld_cover[0] = 'B';
             r.num_cld = 1;
             r.time = 1150;
         },
         [](const SFC_report &r) {
             EXPECT_EQ(r.t, M);
             EXPECT_FLOAT_EQ(r.vis, 1e30f);
             EXPECT_EQ(r.rain6, M);
             EXPECT_EQ(r.cld_height[0], M);
             EXPECT_EQ(r.time, 1150);
         }},
        {"values beyond the int range, compact", 2,
         [](SFC_report &r) {
             r.t = -1e30f;
             r.w_gust = 1e30f;
             r.scover = 1e20f;
             r.max_t = 1e9f;
             r.lat = 1e30f;
             r.lon = 1;
         },
         [](const SFC_report &r) {
             EXPECT_EQ(r.t, M);
             EXPECT_EQ(r.w_gust, M);
             EXPECT_EQ(r.scover, M);
             EXPECT_EQ(r.max_t, M);
             EXPECT_EQ(r.lat, M);
             EXPECT_STREQ(r.area, "");
         }},
    };
    TempDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SFC_report r = blank();
        c.set(r);
        const std::string name = dir.file("x");
        ASSERT_TRUE(write_reports(name, c.type, "12Z 08 DEC 26", {r}));
        const std::vector<SFC_report> back = read_reports(name, c.type);
        ASSERT_EQ(back.size(), 1u) << zeqtest::read_file(name);
        c.check(back[0]);
    }
}

// ---- Round trips through the readers ----------------------------------------------------

// The cases of the round trips: reports as a converter would hand them over.
std::vector<SFC_report> round_trip_cases() {
    std::vector<SFC_report> cases;
    cases.push_back(complete());
    cases.push_back(blank("KMIS"));

    SFC_report calm = blank("KCLM");
    calm.t = 32;
    calm.td = 30;
    calm.w_dir = 0;
    calm.w_spd = 0;
    calm.w_gust = 0;
    calm.alt = 30.0f;
    calm.pmb = 1000.0f;
    calm.vis = 0;
    set_layers(calm, {{M, 'C'}});
    calm.rain6 = 0;
    calm.rain24 = 0;
    cases.push_back(calm);

    SFC_report ship = blank("SHP1");
    copy_text(ship.area, "SHIP");
    ship.elev = 0;
    ship.lat = 40.5f;
    ship.lon = -105.0f;
    ship.time = 2300;
    ship.t = 50;
    ship.w_dir = 360;
    ship.w_spd = 99;
    ship.pmb = 1050.0f;
    ship.alt = 35.0f;
    ship.vis = 98.9f;
    ship.ptend_t = 7;
    ship.ptend = -1.2f;
    ship.sst = -1.5f;
    ship.wav_per = 8;
    ship.wav_hgt = 2.5f;
    std::memcpy(ship.cld_type, "A  ", 3);
    cases.push_back(ship);

    SFC_report letters = blank("KLET");
    set_layers(letters, {{1000, 'F'}, {2000, 'S'}, {3000, 'B'}, {4000, 'O'}, {500, 'X'}});
    copy_text(letters.weather, "TRW+A");
    letters.pmb = 950.1f;
    letters.alt = 25.01f;
    cases.push_back(letters);

    SFC_report thin = blank("KTHN");
    set_layers(thin, {{1200, 's'}, {M, 'b'}, {8000, '3'}, {9000, ' '}});
    copy_text(thin.weather, "!-SHRA");
    cases.push_back(thin);

    SFC_report digits = blank("72469");
    set_layers(digits, {{300, '9'}, {700, 'C'}});
    copy_text(digits.weather, "95");
    digits.time = 5;
    cases.push_back(digits);

    SFC_report cold = blank("KCLD");
    copy_text(cold.area, "SHIP");
    cold.elev = 0;
    cold.lat = -33.9f;
    cold.lon = -151.2f;
    cold.t = -10.3f;
    cold.td = -20.6f;
    cold.max_t = -5;
    cold.min_t = -25;
    cold.max6_t = -7;
    cold.min6_t = -22;
    cold.ptend_t = 6;
    cold.ptend = -2.3f;
    cold.sst = -1.8f;
    cold.w_dir = 10;
    cold.w_spd = 5;
    copy_text(cold.comment, "snow showers");
    cases.push_back(cold);
    return cases;
}

// Per type, what a read-back report holds: the input as far as the format
// carries it. Types are indexed 0 (1), 1 (2), 2 (3), 3 (4), 4 (12).
int type_index(int type) {
    return type == SFC_CDF_REPORT ? 4 : type - 1;
}

char okta(char c) {
    const char *letters = "CFSBOX", *digits = "012689";
    const char *p = std::strchr(letters, c);
    return c != '\0' && p != nullptr ? digits[p - letters] : c;
}

SFC_report carried(const SFC_report &in, int type) {
    const int k = type_index(type);
    SFC_report r = blank(in.id);
    const bool text = k < 4, compact = k < 2;
    r.type = k == 2 || k == 3 ? 1 : 0;
    r.wmo = text && std::strlen(in.id) > 4 ? std::atoi(in.id) : M;
    auto keep = [&](float SFC_report::*f, bool when) {
        if (when) r.*f = in.*f;
    };
    keep(&SFC_report::t, true);
    keep(&SFC_report::td, true);
    keep(&SFC_report::w_dir, true);
    keep(&SFC_report::w_spd, true);
    keep(&SFC_report::alt, true);
    if (k == 0) return r;
    for (auto f : {&SFC_report::pmb, &SFC_report::vis, &SFC_report::w_gust, &SFC_report::rain24,
                   &SFC_report::scover, &SFC_report::ptend})
        keep(f, true);
    keep(&SFC_report::rain6, k < 4 || in.rain24 == M);
    for (auto f : {&SFC_report::rain1, &SFC_report::rain3})
        keep(f, k == 2 || k == 3);
    keep(&SFC_report::rain12, k == 3);
    keep(&SFC_report::max_t, true);
    for (auto f : {&SFC_report::min_t, &SFC_report::solar, &SFC_report::sst, &SFC_report::wav_per,
                   &SFC_report::wav_hgt})
        keep(f, !compact);
    for (auto f : {&SFC_report::max6_t, &SFC_report::min6_t})
        keep(f, k >= 3);
    if (k == 4) r.solar = M; // sunshine only in files of 08Z
    std::memcpy(r.cld_type, in.cld_type, 3);
    if (text && in.cld_type[0] == ' ') std::memcpy(r.cld_type, "   ", 3);

    // Positions: the text forms mark a report with a position as a ship.
    if (in.lat != M) {
        r.lat = in.lat;
        r.lon = in.lon;
        if (text) {
            copy_text(r.area, "SHIP");
            r.elev = 0;
        }
    }
    if (!text) {
        copy_text(r.area, in.area);
        r.elev = in.elev;
        r.time = in.time == M ? 0 : in.time; // a report without time takes the file's
    } else if (!compact) {
        r.time = in.time;
    }
    if (k == 4) {
        r.ptend_t = in.ptend_t;
        copy_text(r.comment, in.comment);
    } else if (!compact) {
        r.ptend_t = in.ptend == M ? M : in.ptend_t;
        if (in.ptend_t == M) r.ptend = M;
        copy_text(r.comment, in.comment);
    }

    // Weather and clouds in each form.
    if (k == 4) {
        WX_wmo_weather(WX_weather_wmo(in.weather), r.weather);
        int n = 0;
        for (int i = 0; i < std::min(in.num_cld, 4); ++i) {
            if (in.cld_cover[i] == ' ' && in.cld_height[i] == M) continue;
            r.cld_height[n] = in.cld_height[i];
            r.cld_cover[n++] = okta(in.cld_cover[i]);
        }
        r.num_cld = n;
    } else if (compact) {
        copy_text(r.weather, in.weather[0] == ' ' ? std::string(" ") : std::string(in.weather).substr(0, 9));
        char cover = ' ';
        float height = M;
        WX_set_cloud(&in, &cover, &height);
        r.cld_height[0] = height;
        r.cld_cover[0] = cover;
        r.num_cld = cover == ' ' ? 0 : 1;
    } else {
        copy_text(r.weather, in.weather);
        r.num_cld = in.num_cld;
        for (int i = 0; i < 5; ++i) {
            r.cld_height[i] = in.cld_height[i];
            r.cld_cover[i] = in.cld_cover[i];
        }
    }
    return r;
}

TEST(SfcWrite, RoundTripsThroughTheReaders) {
    // Absolute tolerances of each field by type (1, 2, 3, 4, 12): the
    // precision of its code. Fields a type does not carry come back missing.
    struct Field {
        const char *name;
        float SFC_report::*member;
        double tol[5];
    };
    const Field fields[] = {
        {"lat", &SFC_report::lat, {0, 0.05, 0.05, 0.05, 0}},
        {"lon", &SFC_report::lon, {0, 0.05, 0.05, 0.05, 0}},
        {"elev", &SFC_report::elev, {0, 0, 0, 0, 0}},
        {"t", &SFC_report::t, {0.5, 0.5, 0.05, 0.05, 1e-4}},
        {"td", &SFC_report::td, {0.5, 0.5, 0.05, 0.05, 1e-4}},
        {"w_dir", &SFC_report::w_dir, {0, 0, 0, 0, 0}},
        {"w_spd", &SFC_report::w_spd, {0, 0, 0, 0, 2e-3}},
        {"w_gust", &SFC_report::w_gust, {0, 0.5, 0.5, 0.5, 1e-3}},
        {"alt", &SFC_report::alt, {0.005, 0.005, 0.005, 0.005, 1e-3}},
        {"pmb", &SFC_report::pmb, {0, 0.05, 0.05, 0.05, 0}},
        {"vis", &SFC_report::vis, {0, 0.1, 0.05, 0.05, 1e-3}},
        {"ptend", &SFC_report::ptend, {0, 0.1, 0.05, 0.05, 0}},
        {"rain1", &SFC_report::rain1, {0, 0, 0.005, 0.005, 0}},
        {"rain3", &SFC_report::rain3, {0, 0, 0.005, 0.005, 0}},
        {"rain6", &SFC_report::rain6, {0, 0.005, 0.005, 0.005, 1e-4}},
        {"rain12", &SFC_report::rain12, {0, 0, 0.005, 0.005, 0}},
        {"rain24", &SFC_report::rain24, {0, 0.005, 0.005, 0.005, 1e-4}},
        {"max_t", &SFC_report::max_t, {0, 0.5, 0.05, 0.05, 1e-4}},
        {"min_t", &SFC_report::min_t, {0, 0, 0.05, 0.05, 1e-4}},
        {"max6_t", &SFC_report::max6_t, {0, 0, 0, 0.05, 1e-4}},
        {"min6_t", &SFC_report::min6_t, {0, 0, 0, 0.05, 1e-4}},
        {"scover", &SFC_report::scover, {0, 0.5, 0.05, 0.05, 1e-4}},
        {"solar", &SFC_report::solar, {0, 0, 0.5, 0.5, 0}},
        {"sst", &SFC_report::sst, {0, 0, 0.05, 0.05, 0}},
        {"wav_per", &SFC_report::wav_per, {0, 0, 0.5, 0.5, 0}},
        {"wav_hgt", &SFC_report::wav_hgt, {0, 0, 0.05, 0.05, 0}},
    };
    const std::vector<SFC_report> cases = round_trip_cases();
    TempDir dir;
    for (int type : {1, 2, 3, 4, 12}) {
        SCOPED_TRACE("type " + std::to_string(type));
        const std::string name = dir.file("rt" + std::to_string(type));
        // 00Z: every hour-bound netCDF variable but the sunshine; the compact
        // extreme is the maximum.
        ASSERT_TRUE(write_reports(name, type, "00Z 09 DEC 26", cases));
        const std::vector<SFC_report> back = read_reports(name, type);
        ASSERT_EQ(back.size(), cases.size());
        const int k = type_index(type);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const SFC_report want = carried(cases[i], type), &got = back[i];
            SCOPED_TRACE(want.id);
            EXPECT_STREQ(got.id, want.id);
            EXPECT_STREQ(got.area, want.area);
            EXPECT_EQ(got.type, want.type);
            EXPECT_EQ(got.wmo, want.wmo);
            EXPECT_EQ(got.time, want.time);
            EXPECT_EQ(got.ptend_t, want.ptend_t);
            EXPECT_STREQ(got.weather, want.weather);
            EXPECT_EQ(std::string(got.cld_type, 3), std::string(want.cld_type, 3));
            EXPECT_STREQ(got.comment, want.comment);
            EXPECT_EQ(got.num_cld, want.num_cld);
            for (int l = 0; l < 5; ++l) {
                EXPECT_EQ(got.cld_cover[l], want.cld_cover[l]) << "layer " << l;
                const float h = want.cld_height[l];
                EXPECT_NEAR(got.cld_height[l], h, h == M ? 0 : k == 4 ? 0.5 : 50) << "layer " << l;
            }
            for (const Field &f : fields) {
                const float w = want.*f.member, g = got.*f.member;
                if (w == M)
                    EXPECT_EQ(g, M) << f.name;
                else
                    EXPECT_NEAR(g, w, f.tol[k]) << f.name;
            }
        }
    }
}

// ---- Binary records -------------------------------------------------------------------------

TEST(SfcWriteBinary, RecordsUnpackedByPythonStruct) {
    TempDir dir;
    const std::string name = dir.file("out.bin");
    // The example of a report with only an identifier and a temperature; a
    // full report; weather and positions as mended.
    SFC_report only = blank();
    only.t = 71.6f;
    SFC_report full = blank("KABQLONG");
    full.wmo = 72365;
    copy_text(full.weather, "RW-");
    full.time = 1150;
    full.t = -10.3f;
    full.td = -20.6f;
    full.w_dir = 273.9f;
    full.w_spd = 15.7f;
    full.w_gust = 30;
    full.alt = 29.92f;
    full.pmb = 1013.2f;
    full.lat = 35.05f;
    full.lon = -106.62f;
    full.vis = 2.5f;
    full.elev = 1611;
    set_layers(full, {{2500, 'B'}, {3000, 'C'}, {30000, 'S'}});
    SFC_report metar = blank("K1");
    copy_text(metar.weather, "!-SHRA");
    metar.wmo = 123456;
    set_layers(metar, {{1200, 's'}, {M, 'O'}, {800, 'X'}});
    ASSERT_TRUE(write_reports(name, SFC_BINARY, "1230Z 08 DEC 26", {only, full, metar}));

    const std::string bytes = zeqtest::read_file(name);
    ASSERT_EQ(bytes.size(), 22u + 3 * 64);
    EXPECT_EQ(bytes.substr(0, 22), "DATE:12/08/26 12:30:00");
    std::string first("KDEN\0\0\0"
                      "99999\0\0"
                      "\0\0\0\0\0\0\0\0\0\0",
                      24);
    for (int i = 0; i < 20; ++i) {
        const int v = i == 2 ? 72 : i == 14 ? 0 : 9999;
        first += static_cast<char>(v & 0xff);
        first += static_cast<char>(v >> 8);
    }
    EXPECT_EQ(bytes.substr(22, 64), first);

    const std::string script = R"(
import struct, sys
data = open(sys.argv[1], "rb").read()
print(data[:22].decode("ascii"))
for off in range(22, len(data), 64):
    rec = struct.unpack("<7s7s10s20h", data[off:off + 64])
    texts = [t.decode("ascii") for t in rec[:3]]
    print("|".join(texts).replace("\0", "0"), *rec[3:])
)";
    zeqtest::write_file(dir.file("unpack.py"), script);
    const std::string out = zeqtest::run_command("/usr/bin/python3 " + dir.file("unpack.py") + " " + name);
    const std::string want = "DATE:12/08/26 12:30:00\n"
                             "KDEN000|9999900|0000000000 9999 9999 72 9999 9999 9999 9999 9999 9999 9999 "
                             "9999 9999 9999 9999 0 9999 9999 9999 9999 9999\n"
                             // 'B' 25 with 32 in the high byte; 'C' 0; a base of 300 cannot carry 'S'
                             "KABQLON|7236500|RW-0000000 1150 9999 -10 -21 273 15 30 2992 10132 9999 9999 "
                             "9999 3505 -10662 0 250 8217 0 9999 1611\n"
                             "K100000|9999900|-SHRA00000 9999 9999 9999 9999 9999 9999 9999 9999 9999 9999 "
                             "9999 9999 9999 9999 0 9999 12 9999 28680 9999\n";
    EXPECT_EQ(out, want);
}

// ---- XML documents --------------------------------------------------------------------------

TEST(SfcWriteXml, DocumentsParsedByElementTree) {
    TempDir dir;
    const std::string name = dir.file("out.xml");
    SFC_report marks = blank("K&<>\"'");
    copy_text(marks.comment, "a & b < c > d \" e ' f\x01g\th");
    copy_text(marks.weather, "R<");
    set_layers(marks, {{2500, 'B'}, {4000, ' '}});
    marks.max6_t = 50;
    marks.cld_type[0] = '&';
    SFC_report full = complete();
    full.lat = 40.5f;
    full.lon = -105.0f;
    ASSERT_TRUE(write_reports(name, SFC_XML, "12Z 08 DEC 26 <&>", {marks, full, blank("KMIS")}));
    const std::string text = zeqtest::read_file(name);
    ASSERT_GE(text.size(), 10u);
    EXPECT_EQ(text.substr(text.size() - 10), "</zeqsfc>\n");

    const std::string script = R"(
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
print(root.tag, repr(root.get("date")))
for obs in root:
    print(obs.tag, " ".join("%s=%r" % kv for kv in obs.attrib.items()))
)";
    zeqtest::write_file(dir.file("parse.py"), script);
    const std::string out = zeqtest::run_command("/usr/bin/python3 " + dir.file("parse.py") + " " + name);
    const std::string want =
        "zeqsfc '12Z 08 DEC 26 <&>'\n"
        "obs id='K&<>\"\\'' ncld='2' cld_hgt_1.ft='2500' cld_cov_1='B' cld_hgt_2.ft='4000' cld_cov_2='M' "
        "wx='R<' maxt6.C='10.0' lcld='&' mcld=' ' hcld=' ' comment='a & b < c > d \" e \\' f?g\\th'\n"
        "obs id='KDEN' time.hhmm='1150' lat='40.50' lon='-105.00' temp.C='22.0' dewp.C='18.3' wdir.deg='270' "
        "wspd.knt='15' wgust.knt='30' alt.in='29.92' slpr.mb='1013.2' vis.mi='2.50' ncld='2' "
        "cld_hgt_1.ft='1500' cld_cov_1='S' cld_hgt_2.ft='4000' cld_cov_2='7' wx='R-' ptype='2' "
        "ptend.mb='1.5' "
        "prec1.in='0.05' prec3.in='0.10' prec6.in='0.25' prec12.in='0.50' prec24.in='1.00' maxt.C='26.9' "
        "maxt6.C='25.6' mint.C='15.6' mint6.C='16.7' scover.in='2.5' lcld='5' mcld='A' hcld='7' "
        "solar.min='60' sst.C='12.5' wave_per.sec='8' wave_hgt.m='2.5' comment='gusty winds'\n"
        "obs id='KMIS'\n";
    EXPECT_EQ(out, want);
}

// ---- netCDF report layout ---------------------------------------------------------------------

TEST(SfcWriteCdf, LayoutByTheFileHour) {
    TempDir dir;
    struct Case {
        const char *datim;
        std::vector<const char *> present, absent;
    };
    const Case cases[] = {
        {"03Z 08 DEC 26",
         {"Ptend", "delP", "PRECIP", "reftime_PRECIP"},
         {"SNOW", "SST", "wave_per", "Tmax", "Tmin6", "sunshine"}},
        {"08Z 08 DEC 26", {"Tmax", "Tmin", "sunshine"}, {"Ptend", "SNOW", "SST", "Tmax6"}},
        {"12Z 08 DEC 26",
         {"Ptend", "SNOW", "SST", "wave_hgt", "Tmax", "Tmin", "Tmax6", "Tmin6"},
         {"sunshine"}},
        {"08 DEC 26", {"id", "remarks"}, {"Ptend", "SNOW", "SST", "Tmax", "sunshine"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.datim);
        const std::string name = dir.file("h.nc");
        SFC_report r = complete();
        ASSERT_TRUE(write_reports(name, SFC_CDF_REPORT, c.datim, {r}));
        const std::string header = zeqtest::ncdump(name, "-h");
        for (const char *v : c.present)
            EXPECT_NE(header.find(std::string(" ") + v + "(report"), std::string::npos) << v << "\n"
                                                                                        << header;
        for (const char *v : c.absent)
            EXPECT_EQ(header.find(std::string(" ") + v + "(report"), std::string::npos) << v;
    }

    // The hour-03 file whole: dimensions, the order and attributes of its
    // variables, the global attributes; a snow cover has nowhere to go.
    const std::string name = dir.file("03.nc");
    SFC_report r = complete();
    ASSERT_TRUE(write_reports(name, SFC_CDF_REPORT, "03Z 08 DEC 26", {r}));
    const std::string header = zeqtest::ncdump(name, "-h");
    for (const char *part :
         {"\treport = UNLIMITED ; // (1 currently)\n\ttime_len = 20 ;\n\tid_len = 12 ;\n\tlayers = 4 ;\n"
          "\tremarks_len = 100 ;\n",
          "\tchar id(report, id_len) ;\n\t\tid:long_name = \"station id\" ;\n"
          "\tchar region(report, id_len) ;\n\t\tregion:long_name = \"region id\" ;\n"
          "\tchar time(report, time_len) ;\n\t\ttime:long_name = \"time\" ;\n\t\ttime:units = \"text_time\" "
          ";\n"
          "\tfloat lat(report) ;\n\t\tlat:long_name = \"latitude\" ;\n\t\tlat:units = \"degrees_N\" ;\n"
          "\t\tlat:_FillValue = -9999.f ;\n",
          "\tbyte WX(report, layers) ;\n\t\tWX:long_name = \"weather\" ;\n\t\tWX:units = \"WMO table 4677\" "
          ";\n"
          "\tfloat ZCL(report, layers) ;\n",
          "\tchar cloudtype(report, layers) ;\n\t\tcloudtype:long_name = \"cloudtypes\" ;\n"
          "\t\tcloudtype:units = \"WMO tables 0509, 0513, 0515\" ;\n\tfloat VIS(report) ;\n",
          "\tchar Ptend(report) ;\n\t\tPtend:long_name = \"Pressure tendency\" ;\n"
          "\t\tPtend:units = \"WMO table 0200\" ;\n\tfloat delP(report) ;\n",
          "\tfloat reftime_PRECIP(report) ;\n\t\treftime_PRECIP:long_name = \"precipitation reference time\" "
          ";\n"
          "\t\treftime_PRECIP:units = \"hours\" ;\n\tchar remarks(report, remarks_len) ;\n",
          "\t\t:title = \"Surface converted data\" ;\n\t\t:version = \"2.0\" ;\n"
          "\t\t:history = \"Surface converted file from ZEQ decoders\" ;\n\t\t:filetime = \"03Z 08 DEC 26\" "
          ";\n"})
        EXPECT_NE(header.find(part), std::string::npos) << part << "\n" << header;
    const std::vector<SFC_report> back = read_reports(name, SFC_CDF_REPORT);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].scover, M);
    EXPECT_EQ(back[0].max_t, M);
    EXPECT_FLOAT_EQ(back[0].ptend, 1.5f);
}

TEST(SfcWriteCdf, UnitsAndValuesReadByNetcdf4) {
    TempDir dir;
    const std::string name = dir.file("v.nc");
    SFC_report r = complete();
    r.lat = 39.8f;
    r.lon = -104.7f;
    SFC_report none = blank("KMIS");
    int type = SFC_CDF_REPORT;
    const int fd = SFC_open(name.c_str(), 1, &type);
    ASSERT_GE(fd, 0);
    SFC_info info = make_info("12Z 08 DEC 26");
    info.cmdline = "conversion test";
    ASSERT_EQ(SFC_putinfo(fd, &info), 0);
    for (int n = 0; n < 2; ++n)
        ASSERT_EQ(SFC_write(fd, n == 0 ? &r : &none, 0, &n), 0);
    ASSERT_EQ(SFC_close(fd), 0);

    const std::string script = R"(
import sys
import netCDF4
nc = netCDF4.Dataset(sys.argv[1])
nc.set_auto_mask(False)
print("history", nc.history)
for name in ("T", "TD", "PSL", "ALTIM", "SPD", "GUST", "VIS", "Tmax", "Tmin", "Tmax6", "Tmin6", "SNOW",
             "PRECIP", "reftime_PRECIP", "delP", "SST", "wave_per", "wave_hgt", "lat", "lon", "elev", "DIR"):
    v = nc[name]
    print(name, v.units, " ".join("%.4f" % x for x in v[:]))
print("ZCL", " ".join("%.2f" % x for x in nc["ZCL"][0]))
print("CC", repr(nc["CC"][0].tobytes()), repr(nc["CC"][1].tobytes()))
print("cloudtype", repr(nc["cloudtype"][0].tobytes()), repr(nc["cloudtype"][1].tobytes()))
print("WX", nc["WX"][0][0], nc["WX"][1][0])
print("Ptend", repr(nc["Ptend"][:].tobytes()))
for name in ("id", "region", "time", "remarks"):
    print(name, [bytes(row).split(b"\0")[0].decode() for row in nc[name][:]])
)";
    zeqtest::write_file(dir.file("read.py"), script);
    const std::string out = zeqtest::run_command("/usr/bin/python3 " + dir.file("read.py") + " " + name);
    const std::string want = "history conversion test\n"
                             "T celsius 22.0000 -9999.0000\n"
                             "TD celsius 18.3333 -9999.0000\n"
                             "PSL hectopascals 1013.2000 -9999.0000\n"
                             "ALTIM hectopascals 1012.9113 -9999.0000\n"
                             "SPD meters/second 7.7160 -9999.0000\n"
                             "GUST meters/second 15.4320 -9999.0000\n"
                             "VIS kilometers 4.0233 -9999.0000\n"
                             "Tmax celsius 26.9444 -9999.0000\n"
                             "Tmin celsius 15.5556 -9999.0000\n"
                             "Tmax6 celsius 25.5556 -9999.0000\n"
                             "Tmin6 celsius 16.6667 -9999.0000\n"
                             "SNOW millimeters 63.5000 -9999.0000\n"
                             "PRECIP millimeters 25.4000 -9999.0000\n"
                             "reftime_PRECIP hours 24.0000 6.0000\n"
                             "delP hectopascals 1.5000 -9999.0000\n"
                             "SST celsius 12.5000 -9999.0000\n"
                             "wave_per seconds 8.0000 -9999.0000\n"
                             "wave_hgt meters 2.5000 -9999.0000\n"
                             "lat degrees_N 39.8000 -9999.0000\n"
                             "lon degrees_E -104.7000 -9999.0000\n"
                             "elev meters 1611.0000 -9999.0000\n"
                             "DIR degrees 270.0000 -9999.0000\n"
                             "ZCL 457.20 1219.20 -9999.00 -9999.00\n"
                             "CC b'27//' b'////'\n"
                             "cloudtype b'5A7\\x00' b'///\\x00'\n"
                             "WX 61 0\n"
                             "Ptend b'\\x02/'\n"
                             "id ['KDEN', 'KMIS']\n"
                             "region ['CO', '']\n"
                             "time ['1150Z  8 DEC 26', '1200Z  8 DEC 26']\n"
                             "remarks ['gusty winds', '']\n";
    EXPECT_EQ(out, want);
}

TEST(SfcWriteCdf, TimeLabelsOnTheDayNearestTheFileTime) {
    struct Case {
        const char *datim;
        int time;
        const char *label;
    };
    const Case cases[] = {
        {"00Z 01 JAN 26", 2350, "2350Z 31 DEC 25"},
        {"12Z 08 DEC 26", 1150, "1150Z  8 DEC 26"},
        {"12Z 08 DEC 26", 930, "0930Z  8 DEC 26"}, // mended: was 12:30
        {"12Z 08 DEC 26", 1205, "1205Z  8 DEC 26"},
        {"23Z 31 DEC 25", 10, "0010Z  1 JAN 26"},
        {"1230Z 08 DEC 26", MISSING, "1230Z  8 DEC 26"}, // no report time: the file time
        {"12Z 08 DEC 26", 2400, "0000Z  9 DEC 26"},
        {"12Z 08 DEC 26", 1270, "1200Z  8 DEC 26"}, // not a time of day
    };
    TempDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.datim) + " " + std::to_string(c.time));
        const std::string name = dir.file("t.nc");
        SFC_report r = blank();
        r.time = c.time;
        ASSERT_TRUE(write_reports(name, SFC_CDF_REPORT, c.datim, {r}));
        const std::string dump = zeqtest::ncdump(name, "-v time");
        EXPECT_NE(dump.find(std::string("time =\n  \"") + c.label + "\""), std::string::npos) << dump;
    }
}

TEST(SfcWriteCdf, AppendingKeepsTheLayout) {
    TempDir dir;
    const std::string name = dir.file("a.nc");
    SFC_report r = complete();
    ASSERT_TRUE(write_reports(name, SFC_CDF_REPORT, "12Z 08 DEC 26", {r, blank("KMIS")}));
    int type = 0;
    const int fd = SFC_open(name.c_str(), 2, &type);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(type, SFC_CDF_REPORT);
    SFC_info info = make_info("12Z 08 DEC 26");
    EXPECT_EQ(SFC_putinfo(fd, &info), 0);
    SFC_report more = blank("KNEW");
    more.t = 50;
    int n = 2;
    EXPECT_EQ(SFC_write(fd, &more, 0, &n), 0);
    EXPECT_EQ(SFC_close(fd), 0);
    const std::vector<SFC_report> back = read_reports(name, 0);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_STREQ(back[0].id, "KDEN");
    EXPECT_FLOAT_EQ(back[0].t, 71.6f);
    EXPECT_STREQ(back[2].id, "KNEW");
    EXPECT_NEAR(back[2].t, 50, 1e-4);

    // Text files appended to keep their one header.
    const std::string text = dir.file("a.sfc");
    ASSERT_TRUE(write_reports(text, SFC_TEXT, "12Z 08 DEC 26", {r}));
    type = 0;
    ASSERT_GE(SFC_open(text.c_str(), 2, &type), 0);
    EXPECT_EQ(SFC_putinfo(0, &info), 0);
    EXPECT_EQ(SFC_write(0, &more, 0, &n), 0);
    EXPECT_EQ(SFC_close(0), 0);
    const std::vector<SFC_report> texts = read_reports(text, 0);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_STREQ(texts[1].id, "KNEW");
}

// ---- Results and failures -----------------------------------------------------------------

TEST(SfcWrite, TypesAndAccessWithoutAWriter) {
    TempDir dir;
    SFC_info info = make_info("12Z 08 DEC 26");
    SFC_report r = blank();
    int n = 0;
    EXPECT_EQ(SFC_putinfo(0, &info), -1); // nothing open
    EXPECT_EQ(SFC_write(0, &r, 0, &n), -1);
    int type = SFC_PLAIN;
    ASSERT_GE(SFC_open(dir.file("p").c_str(), 1, &type), 0);
    EXPECT_EQ(SFC_putinfo(0, &info), -1);
    EXPECT_EQ(SFC_write(0, &r, 0, &n), -1);
    EXPECT_EQ(SFC_close(0), 0);
    EXPECT_EQ(zeqtest::read_file(dir.file("p")), "");

    // A file open for reading is not written to.
    ASSERT_TRUE(write_reports(dir.file("c"), SFC_COMPACT, "12Z 08 DEC 26", {r}));
    type = 0;
    ASSERT_GE(SFC_open(dir.file("c").c_str(), 0, &type), 0);
    EXPECT_EQ(SFC_putinfo(0, &info), -1);
    EXPECT_EQ(SFC_write(0, &r, 0, &n), -1);
    EXPECT_EQ(SFC_close(0), 0);

    // A text report without an identifier is left out, with a warning.
    const auto result = zeqtest::run_child([&dir] {
        int t = SFC_TEXT;
        if (SFC_open(dir.file("n").c_str(), 1, &t) < 0) return 1;
        SFC_report none = blank("");
        int k = 0;
        if (SFC_write(0, &none, 0, &k) != -1) return 2;
        return SFC_close(0) == 0 ? 0 : 3;
    });
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("SFC_write: Report without station identifier left out of "), std::string::npos)
        << result.err;
}

// Linux's always-full device: a write or at the latest the close fails with a
// warning naming the file.
TEST(SfcWrite, FullDeviceFailsWithAWarning) {
    ASSERT_EQ(access("/dev/full", W_OK), 0) << "/dev/full is needed";
    for (int type : {1, 2, 3, 4, SFC_BINARY, SFC_XML}) {
        for (int count : {1, 500}) {
            SCOPED_TRACE(std::to_string(type) + " " + std::to_string(count));
            const auto result = zeqtest::run_child([type, count] {
                int t = type;
                if (SFC_open("/dev/full", 1, &t) < 0) return 10;
                SFC_info info = make_info("12Z 08 DEC 26");
                SFC_putinfo(0, &info);
                SFC_report r = complete();
                int failed = 0;
                for (int n = 0; n < count; ++n)
                    if (SFC_write(0, &r, 0, &n) == -1) ++failed;
                if (count == 1 && failed != 0) return 11; // still in the stream's buffer
                return SFC_close(0) == -1 ? 0 : 12;
            });
            EXPECT_EQ(result.status, 0) << result.err;
            const bool at_close =
                result.err.find("SFC_close: Unable to complete the surface file /dev/full") !=
                std::string::npos;
            const bool at_write =
                result.err.find("SFC_write: Unable to write the surface file /dev/full") != std::string::npos;
            EXPECT_TRUE(at_close || at_write) << result.err;
            if (count == 1) {
                EXPECT_TRUE(at_close) << result.err;
            }
        }
    }
}

} // namespace
