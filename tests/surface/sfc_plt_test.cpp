// Input kind and variable prompt of the surface driver, the surface
// variables computed from one report, and the surface data-source callbacks.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <filesystem>

#include "fields/cty_tool.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/gks.h"
#include "plot/plt_tool.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/zeq.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/reference.h"
#include "surface/sfc_plt.h"
#include "surface/sfc_read.h"
#include "surface/sfc_tool.h"

namespace {

TEST(InputKind, WordsOfInputThenInFile) {
    struct Case {
        const char *input;
        const char *in_file;
        int kind;
    };
    const Case cases[] = {
        {nullptr, nullptr, 10},     {"front", nullptr, 11},     {"forfront", nullptr, 11},
        {"sfc,front", nullptr, 11}, {"front,sfc", nullptr, 10}, {"sfc_front", nullptr, 11},
        {"front", "sfc_x", 10},     {"front", "grd", 11},       {nullptr, "front", 11},
        {"FRONT", nullptr, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.input ? c.input : "-") + " / " + (c.in_file ? c.in_file : "-"));
        FLAG_reset(MISSING);
        RES_put("input", c.input);
        RES_put("in_file", c.in_file);
        EXPECT_EQ(SFC_cvt_in_file(), 0);
        EXPECT_EQ(FLAG_get(14), c.kind);
    }
}

TEST(VariablePrompt, ResourceIsUsedOncePerArming) {
    FLAG_reset(MISSING);
    RES_put("variable", "temp");
    EXPECT_EQ(SFC_prompt_variable(), 1);
    EXPECT_EQ(FLAG_get(7), 1);
    EXPECT_EQ(SFC_prompt_variable(), 0);
    SFC_set_prompt_variable(1);
    EXPECT_EQ(SFC_prompt_variable(), 1);
    SFC_set_prompt_variable(0);
    EXPECT_EQ(SFC_prompt_variable(), 0);
}

TEST(VariablePrompt, OverlongSpecificationIsRefused) {
    FLAG_reset(MISSING);
    RES_put("variable", std::string(80, 'v').c_str());
    testing::internal::CaptureStderr();
    EXPECT_EQ(SFC_prompt_variable(), 0);
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("SFC_prompt_variable: Variable specification longer"),
        std::string::npos);
    EXPECT_EQ(FLAG_get(7), MISSING);
    RES_put("variable", std::string(79, 'v').c_str());
    SFC_set_prompt_variable(1);
    EXPECT_EQ(SFC_prompt_variable(), 1);
}

// ---- Surface variables -----------------------------------------------------------

SFC_report blank_report(const char *id) {
    SFC_report r;
    std::memset(&r, 0x5a, sizeof r);
    SFC_initialize(&r);
    std::snprintf(r.id, sizeof r.id, "%s", id);
    return r;
}

void set_layers(SFC_report &r, const char *covers, std::initializer_list<float> heights) {
    r.num_cld = int(std::strlen(covers));
    int i = 0;
    for (float h : heights)
        r.cld_cover[i] = covers[i], r.cld_height[i] = h, ++i;
}

// Every field given: a cloudy afternoon with light rain.
SFC_report complete_report() {
    SFC_report r = blank_report("KDEN");
    r.t = 75, r.td = 60, r.w_dir = 250, r.w_spd = 30, r.w_gust = 40, r.alt = 30.12f, r.pmb = 1013.2f;
    r.elev = 1611, r.vis = 7, r.ptend_t = 3, r.ptend = 1.8f;
    std::strcpy(r.weather, "61");
    set_layers(r, "FBO", {1200, 2800, 9000});
    r.rain1 = 0.01f, r.rain3 = 0.1f, r.rain6 = 0.25f, r.rain12 = 0.5f, r.rain24 = 1.2f;
    r.max_t = 80, r.min_t = 55, r.max6_t = 78, r.min6_t = 60, r.scover = 2, r.cld_low = '3';
    std::memcpy(r.cld_type, "582", 3);
    r.solar = 300, r.sst = 18, r.wav_per = 6, r.wav_hgt = 1.5f;
    return r;
}

// A cold still morning without cloud layers.
SFC_report calm_report() {
    SFC_report r = blank_report("KCLM");
    r.t = 20, r.td = 10, r.w_dir = 0, r.w_spd = 0, r.alt = 30.05f, r.elev = 300, r.vis = 10;
    return r;
}

// A hot humid clear afternoon with a METAR shower.
SFC_report clear_report() {
    SFC_report r = blank_report("KCLR");
    r.t = 95, r.td = 75, r.w_dir = 180, r.w_spd = 10, r.alt = 29.80f, r.elev = 100, r.vis = 10;
    std::strcpy(r.weather, "!-SHRA");
    set_layers(r, "CC", {FMISSING, FMISSING});
    return r;
}

// Cold wind, snow showers and one cloud layer coded in oktas.
SFC_report okta_report() {
    SFC_report r = blank_report("KOKT");
    r.t = 28, r.td = 20, r.w_dir = 340, r.w_spd = 24, r.alt = 29.50f, r.elev = 50, r.vis = 0.5f;
    std::strcpy(r.weather, "SW-");
    set_layers(r, "4", {800});
    r.cld_low = '6';
    return r;
}

// The surface vocabulary.
const char *const sfc_names[] = {
    "city",   "temp",   "ttd",     "dewp",   "dewd",   "wdir",  "wspd",   "wgst",   "wbrbc", "wbrb",
    "wind",   "hwind",  "uwnd",    "vwnd",   "uwndg",  "vwndg", "alt",    "pralt",  "pres",  "elev",
    "wx",     "vis",    "cldcl",   "cldclc", "cldcv",  "ptend", "prec1",  "prec3",  "prec6", "prec12",
    "prec24", "prec",   "extt",    "maxt6",  "maxt24", "maxt",  "mint6",  "mint24", "mint",  "snwdp",
    "nlcld",  "lcld",   "mcld",    "hcld",   "solar",  "sst",   "wavper", "wavhgt", "vpres", "svpres",
    "wchilt", "wchill", "wchill2", "wchilf", "heat",   "humit", "mrat",   "smrat",  "shum",  "rhum",
    "wetblb", "thetaw", "thetae",  "thetav", "theta",  "vtemp", "fr",
};

struct Got {
    int result;
    float v0;
    float v1;
    std::string text;
    std::string units;
};

struct Ask {
    const char *units = "";
    int ltype = MISSING;
    int time = MISSING;
    float x = 0;
    float y = 0;
};

Got get(const SFC_report &report, const char *name, const Ask &ask = {}) {
    VAR_data var{};
    std::snprintf(var.name, sizeof var.name, "%s", name);
    std::snprintf(var.units, sizeof var.units, "%s", ask.units);
    var.ltype = ask.ltype;
    var.time = ask.time;
    RAW_data item;
    std::memset(&item, 0x5a, sizeof item);
    item.x = ask.x, item.y = ask.y;
    SFC_report copy = report;
    const int result = SFC_get_data(&copy, &var, &item);
    EXPECT_EQ(std::memcmp(&copy, &report, sizeof copy), 0) << name << ": the report changed";
    EXPECT_EQ(item.x, ask.x);
    return {result, item.value[0], item.value[1], item.data, var.units};
}

// Unit conversions read units.lup; no projection is current.
class SurfaceVariables : public testing::Test {
protected:
    void SetUp() override {
        RES_put("file_path", ZEQ_SOURCE_DIR "/data");
        MAP_domain(nullptr);
    }
};

// The formula values of a report, computed with NumPy from the report's
// fields alone: temperatures F to K, knots to m/s, the altimeter setting to
// station pressure. Lines "label t td dir spd alt elev" in, "label name
// values" out.
constexpr const char *formula_reference = R"PY(
import sys
import numpy as np

M = -9999.0
f32 = np.float32

def vapor_pr(t):
    if t < 0: return M
    if t < 100: return 0.0
    t = np.float64(t)
    return f32(10 ** (23.832241 - 5.02808 * np.log10(t) - 1.3816e-7 * 10 ** (11.344 - 0.0303998 * t)
                      + 8.132801e-3 * 10 ** (3.49149 - 1302.8844 / t) - 2949.076 / t))

def vapour(x):
    return x if x <= 100 else vapor_pr(x)

def mix_ratio(x, p):
    if x == M or p == M: return M
    if x <= 0 or p <= 0: return 0.0
    e = vapour(x)
    return f32(622.0 * e / (p - e))

def spec_hum(x, p):
    if x == M or p == M: return M
    return f32(622.0 * vapour(x) / p)

def rel_hum(t, td):
    return f32(100.0 * vapour(td) / vapour(t))

def pot_temp(t, p):
    if t <= 0 or p <= 0: return M
    return f32(t * (1000.0 / p) ** 0.286)

def temp_on_dryad(th, p):
    if th <= 0 or p <= 0: return 0.0
    return f32(th * (p / 1000.0) ** 0.286)

def temp_on_mixrat(w, p):
    x = np.float64(w) * p / (622.0 + w)
    return f32(10 ** (0.0498646455 * np.log10(x) + 2.4082965) - 7.08475 + 38.9114 * (x ** 0.0915 - 1.2035) ** 2)

def thetae_on_satad(t, p):
    return f32(t * (1000.0 / p) ** 0.286 / np.exp(-2.6518986 * mix_ratio(t, p) / t))

def temp_on_satad(th, p):
    t, step = 253.16, 120.0
    for _ in range(12):
        r = f32(th * np.exp(-2.6518986 * mix_ratio(f32(t), p) / t) - pot_temp(f32(t), p))
        if r * r < f32(2e-5): break
        step /= 2
        t += step if r > 0 else -step
    return f32(t)

def lcl_pres(t, td, p):
    w, th = mix_ratio(td, p), pot_temp(t, p)
    pl = np.float64(p)
    d = np.float64(temp_on_mixrat(w, f32(pl))) - temp_on_dryad(th, f32(pl))
    n = 0
    while d * d > 1e-4 and n < 8:
        pl *= 2 ** (0.02 * d)
        d = np.float64(temp_on_mixrat(w, f32(pl))) - temp_on_dryad(th, f32(pl))
        n += 1
    return f32(pl)

def lcl_temp(t, p, pl):
    return temp_on_dryad(pot_temp(t, p), pl)

def eq_pot_temp(t, td, p):
    pl = lcl_pres(t, td, p)
    return thetae_on_satad(lcl_temp(t, p, pl), pl)

def wet_bulb_to(t, td, p, p_end):
    pl = lcl_pres(t, td, p)
    return temp_on_satad(thetae_on_satad(lcl_temp(t, p, pl), pl), p_end)

def virt_temp(t, td, p):
    return f32(t * (1 + 0.609 * mix_ratio(td, p) / 1000.0))

def fahrenheit(t):
    return 32 + 9 * (np.float64(t) - 273.15) / 5

def kelvin_of_f(f):
    return 273.15 + 5 * (f - 32) / 9

def heat_index(t, td):
    T = fahrenheit(t)
    RH = 100.0 * vapor_pr(td) / vapor_pr(t)
    a = 0.0936 * RH + 1.2 * (T - 68) + 60.8
    if a < 77: return f32(kelvin_of_f(a))
    c = [16, 0.185212, 5.37941, -0.100254, 9.41695e-3, 7.28898e-3, 3.45372e-4, -8.14971e-4, 1.02102e-5,
         -3.8646e-5, 2.91583e-5, 1.42721e-6, 1.97483e-7, -2.18429e-8, 8.43296e-10, -4.81975e-11]
    terms = [1, T, RH, T * RH, T ** 2, RH ** 2, T ** 2 * RH, T * RH ** 2, T ** 2 * RH ** 2, T ** 3, RH ** 3,
             T ** 3 * RH, T * RH ** 3, T ** 3 * RH ** 2, T ** 2 * RH ** 3, T ** 3 * RH ** 3]
    return f32(kelvin_of_f(np.dot(c, terms)))

def humiture(t, td):
    ex = vapor_pr(td) - 21
    return f32(fahrenheit(t) + (ex if ex >= 0 else 0))

def chill_speed(ws):
    return min(ws, 26.0)

def wind_chill_temp(t, ws):
    if ws < 2 or t > 306.15: return f32(t)
    v = chill_speed(ws)
    return f32(306.15 - (0.474266 + 0.453843 * np.sqrt(v) - 0.0453843 * v) * (306.15 - t))

def wind_chill_temp2(t, ws):
    return f32(min(t, 0.6215 * t + 116.514 + ws ** 0.16 * (0.4863 * t - 146.774)))

def wind_chill(t, ws):
    # The heat loss has no value in calm air.
    if ws < 2 or t > 306.15: return M
    v = chill_speed(ws)
    return f32((306.15 - t) * (10.45 + 10 * np.sqrt(v) - v) * 1.1627)

for line in sys.stdin:
    label, *fields = line.split()
    t, td, wdir, spd, alt, elev = (np.float64(x) for x in fields)
    T, Td = f32(kelvin_of_f(t)), f32(kelvin_of_f(td))
    ws = f32(0.5144 * spd)
    a = f32(33.85399 * alt)
    p = f32(a * ((288.15 - 0.0065 * np.float64(f32(elev))) / 288.15) ** 5.2558)
    pl = lcl_pres(T, Td, p)
    rad = np.radians(wdir)
    out = {
        "uwnd": [-ws * np.sin(rad)], "vwnd": [-ws * np.cos(rad)],
        "pres1": [p], "pres5": [pl, lcl_temp(T, p, pl)],
        "vpres": [vapor_pr(Td)], "svpres": [vapor_pr(T)],
        "wchilt": [wind_chill_temp(T, ws)], "wchill": [wind_chill_temp(T, ws)],
        "wchill2": [wind_chill_temp2(T, ws)], "wchilf": [wind_chill(T, ws)],
        "heat": [heat_index(T, Td)], "humit": [humiture(T, Td)],
        "mrat": [mix_ratio(Td, p)], "smrat": [mix_ratio(T, p)], "shum": [spec_hum(Td, p)],
        "rhum": [rel_hum(T, Td)], "wetblb": [wet_bulb_to(T, Td, p, p)],
        "thetaw": [wet_bulb_to(T, Td, p, 1000.0)], "thetae": [eq_pot_temp(T, Td, p)],
        "thetav": [pot_temp(virt_temp(T, Td, p), p)], "theta": [pot_temp(T, p)],
        "vtemp": [virt_temp(T, Td, p)],
    }
    for name, vals in out.items():
        print(f"{label}:{name}", " ".join(repr(float(v)) for v in vals))
)PY";

struct Fixture {
    const char *label;
    SFC_report report;
};

const std::vector<Fixture> &fixtures() {
    static const std::vector<Fixture> all = {{"complete", complete_report()},
                                             {"calm", calm_report()},
                                             {"clear", clear_report()},
                                             {"okta", okta_report()}};
    return all;
}

bool close_to(double got, double want) {
    return std::fabs(got - want) <= 1e-4 * std::fabs(want) + 1e-5;
}

TEST_F(SurfaceVariables, FormulaValuesAgreeWithNumPy) {
    std::ostringstream in;
    for (const Fixture &f : fixtures()) {
        const SFC_report &r = f.report;
        in << f.label << ' ' << r.t << ' ' << r.td << ' ' << r.w_dir << ' ' << r.w_spd << ' ' << r.alt << ' '
           << r.elev << '\n';
    }
    const auto ref = zeqtest::named_numbers(zeqtest::run_python(formula_reference, in.str()));
    ASSERT_EQ(ref.size(), 4u * 22u);
    for (const Fixture &f : fixtures()) {
        for (const auto &[key, want] : ref) {
            if (key.rfind(std::string(f.label) + ":", 0) != 0) continue;
            std::string name = key.substr(key.find(':') + 1);
            Ask ask;
            if (name == "pres1" || name == "pres5") ask.ltype = name == "pres1" ? 1 : 5, name = "pres";
            SCOPED_TRACE(key);
            const Got got = get(f.report, name.c_str(), ask);
            EXPECT_EQ(got.result, 1);
            EXPECT_PRED2(close_to, got.v0, want[0]);
            EXPECT_PRED2(close_to, got.v1, want.size() > 1 ? want[1] : FMISSING);
        }
    }
    // Calm air has no wind-chill heat loss; the chill temperature is the air's own.
    const Got calm = get(calm_report(), "wchilf");
    EXPECT_EQ(calm.v0, FMISSING);
    EXPECT_FLOAT_EQ(get(calm_report(), "wchilt").v0, (20.0f - 32) * 5 / 9 + 273.15f);
}

// The value, pair, text and native unit of every name for the complete
// report. A REF value is a formula value, checked against NumPy above.
constexpr float REF = 1e30f;

TEST_F(SurfaceVariables, CompleteReportEveryName) {
    struct Row {
        const char *name;
        float v0;
        float v1;
        const char *text;
        const char *units;
    };
    constexpr float M = FMISSING;
    const Row rows[] = {
        {"city", M, M, "KDEN", ""},
        {"temp", 75, M, "", "F"},
        {"ttd", 75, 60, "", "F"},
        {"dewp", 60, M, "", "F"},
        {"dewd", 15, M, "", "dF"},
        {"wdir", 250, M, "", "deg"},
        {"wspd", 30, M, "", "knt"},
        {"wgst", 40, M, "", "knt"},
        {"wbrbc", 250, 30, "", "knt"},
        {"wbrb", 250, 30, "", "knt"},
        {"wind", 250, 30, "", "knt"},
        {"hwind", 250, 30, "", "knt"},
        {"uwnd", REF, M, "", "m/s"},
        {"vwnd", REF, M, "", "m/s"},
        {"uwndg", REF, M, "", "m/s"},
        {"vwndg", REF, M, "", "m/s"},
        {"alt", 30.12f, M, "012", "in_Hg"},
        {"pralt", 1013.2f, M, "132", "mb"},
        {"pres", 1013.2f, M, "132", "mb"},
        {"elev", 1611, M, "", "m"},
        {"wx", 1, M, "R-", ""},
        {"vis", 7, M, "7", "mi"},
        {"cldcl", 28, M, "28", "100 ft"},
        {"cldclc", 5, M, "", ""},
        {"cldcv", 100, M, "O", "%"},
        {"ptend", 1.8f, M, "3", "mb"},
        {"prec1", 0.01f, M, "", "in"},
        {"prec3", 0.1f, M, "", "in"},
        {"prec6", 0.25f, M, "", "in"},
        {"prec12", 0.5f, M, "", "in"},
        {"prec24", 1.2f, M, "", "in"},
        {"prec", 1.2f, M, "", "in"},
        {"extt", 80, M, "", "F"},
        {"maxt6", 78, M, "", "F"},
        {"maxt24", 80, M, "", "F"},
        {"maxt", M, M, "", "F"},
        {"mint6", 60, M, "", "F"},
        {"mint24", 55, M, "", "F"},
        {"mint", M, M, "", "F"},
        {"snwdp", 2, M, "", "in"},
        {"nlcld", 37.5f, M, "3", "%"},
        {"lcld", M, M, "5", ""},
        {"mcld", M, M, "8", ""},
        {"hcld", M, M, "2", ""},
        {"solar", 300, M, "", "min"},
        {"sst", 18, M, "", "C"},
        {"wavper", 6, M, "", "sec"},
        {"wavhgt", 1.5f, M, "", "m"},
        {"vpres", REF, M, "", "mb"},
        {"svpres", REF, M, "", "mb"},
        {"wchilt", REF, M, "", "K"},
        {"wchill", REF, M, "", "K"},
        {"wchill2", REF, M, "", "K"},
        {"wchilf", REF, M, "", "W/m^2"},
        {"heat", REF, M, "", "K"},
        {"humit", REF, M, "", "F"},
        {"mrat", REF, M, "", "g/kg"},
        {"smrat", REF, M, "", "g/kg"},
        {"shum", REF, M, "", "g/kg"},
        {"rhum", REF, M, "", "%"},
        {"wetblb", REF, M, "", "K"},
        {"thetaw", REF, M, "", "K"},
        {"thetae", REF, M, "", "K"},
        {"thetav", REF, M, "", "K"},
        {"theta", REF, M, "", "K"},
        {"vtemp", REF, M, "", "K"},
        {"fr", 1, M, "MVFR", ""},
    };
    ASSERT_EQ(std::size(rows), std::size(sfc_names));
    const SFC_report r = complete_report();
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row &row = rows[i];
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(row.name, sfc_names[i]);
        const Got got = get(r, row.name);
        EXPECT_EQ(got.result, 1);
        EXPECT_EQ(got.text, row.text);
        EXPECT_EQ(got.units, row.units);
        if (row.v0 != REF) {
            EXPECT_EQ(got.v0, row.v0);
        } else {
            EXPECT_NE(got.v0, FMISSING);
        }
        EXPECT_EQ(got.v1, row.v1);
    }
    // With no projection current the grid-relative winds are the earth-relative ones.
    EXPECT_EQ(get(r, "uwndg").v0, get(r, "uwnd").v0);
    EXPECT_EQ(get(r, "vwndg").v0, get(r, "vwnd").v0);
}

TEST_F(SurfaceVariables, SuffixAndLetterCaseLeaveTheAnswer) {
    std::vector<SFC_report> reports = {blank_report("MISS")};
    for (const Fixture &f : fixtures())
        reports.push_back(f.report);
    for (const SFC_report &r : reports) {
        for (const char *name : sfc_names) {
            std::string other = name;
            for (char &c : other)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            other += "-max";
            SCOPED_TRACE(std::string(r.id) + " " + other);
            const Got a = get(r, name), b = get(r, other.c_str());
            EXPECT_EQ(a.result, 1);
            EXPECT_EQ(b.result, 1);
            EXPECT_EQ(a.v0, b.v0);
            EXPECT_EQ(a.v1, b.v1);
            EXPECT_EQ(a.text, b.text);
            EXPECT_EQ(a.units, b.units);
        }
    }
}

TEST_F(SurfaceVariables, MissingReportGivesNoValues) {
    const SFC_report r = blank_report("MISS");
    struct Except {
        const char *name;
        float v0;
        float v1;
        const char *text;
    };
    constexpr float M = FMISSING;
    // Names that still answer something: texts of blank codes, no weather,
    // visual flight with nothing against it, and no high wind.
    const Except known[] = {
        {"city", M, M, "MISS"}, {"wx", 0, M, " "},   {"cldcv", M, M, " "},
        {"nlcld", M, M, " "},   {"lcld", M, M, " "}, {"mcld", M, M, " "},
        {"hcld", M, M, " "},    {"fr", 0, M, "VFR"}, {"hwind", M, 0, ""},
    };
    for (const char *name : sfc_names) {
        SCOPED_TRACE(name);
        for (const char *units : {"", "C"}) {
            Ask ask;
            ask.units = units;
            const Got got = get(r, name, ask);
            EXPECT_EQ(got.result, 1);
            const auto *e = std::find_if(std::begin(known), std::end(known),
                                         [name](const Except &x) { return std::strcmp(x.name, name) == 0; });
            if (e != std::end(known)) {
                EXPECT_EQ(got.v0, e->v0);
                EXPECT_EQ(got.text, e->text);
                if (units[0] == '\0') {
                    EXPECT_EQ(got.v1, e->v1);
                }
            } else {
                EXPECT_EQ(got.v0, M);
                EXPECT_EQ(got.v1, M);
                EXPECT_EQ(got.text, "");
            }
        }
    }
    for (int ltype : {1, 5, 100}) {
        Ask ask;
        ask.ltype = ltype;
        const Got pres = get(r, "pres", ask);
        EXPECT_EQ(pres.v0, M) << ltype;
        EXPECT_EQ(pres.v1, M) << ltype;
    }
}

TEST_F(SurfaceVariables, OtherFixtures) {
    struct Row {
        SFC_report (*report)();
        const char *name;
        float v0;
        float v1;
        const char *text;
    };
    constexpr float M = FMISSING;
    const Row rows[] = {
        // Calm air: no wind, no high wind, no cloud layers.
        {calm_report, "wbrb", 0, 0, ""},
        {calm_report, "hwind", 0, 0, ""},
        {calm_report, "uwnd", 0, M, ""},
        {calm_report, "cldcl", M, M, ""},
        {calm_report, "cldcv", M, M, " "},
        {calm_report, "wx", 0, M, " "},
        {calm_report, "fr", 0, M, "VFR"},
        {calm_report, "alt", 30.05f, M, "005"},
        {calm_report, "pralt", float(33.85399 * 30.05f), M, "173"},
        // Clear sky: an unlimited ceiling, no ceiling code.
        {clear_report, "cldcl", 500, M, ""},
        {clear_report, "cldclc", M, M, ""},
        {clear_report, "cldcv", 0, M, "C"},
        {clear_report, "fr", 0, M, "VFR"},
        {clear_report, "wx", 1, M, "RW-"},
        {clear_report, "vis", 10, M, "10"},
        {clear_report, "hwind", 180, 0, ""},
        // One layer in oktas: half the sky, a ceiling at 800 ft.
        {okta_report, "cldcv", 50, M, "4"},
        {okta_report, "cldcl", 8, M, "8"},
        {okta_report, "cldclc", 3, M, ""},
        {okta_report, "nlcld", 75, M, "6"},
        {okta_report, "fr", 2, M, "IFR"},
        {okta_report, "wx", 3, M, "SW-"},
        {okta_report, "vis", 0.5f, M, ".5"},
        {okta_report, "hwind", 340, 0, ""},
    };
    for (const Row &row : rows) {
        const SFC_report r = row.report();
        SCOPED_TRACE(std::string(r.id) + " " + row.name);
        const Got got = get(r, row.name);
        EXPECT_EQ(got.result, 1);
        EXPECT_EQ(got.v0, row.v0);
        EXPECT_EQ(got.v1, row.v1);
        EXPECT_EQ(got.text, row.text);
    }
}

TEST_F(SurfaceVariables, UnknownNames) {
    const SFC_report r = complete_report();
    for (const char *name : {"foo", "", "-temp", "tempx", "prec2", "wchill3", "theta-e-x"}) {
        SCOPED_TRACE(name);
        for (const char *units : {"", "C"}) {
            Ask ask;
            ask.units = units;
            const Got got = get(r, name, ask);
            EXPECT_EQ(got.result, name == std::string("theta-e-x") ? 1 : 0);
            if (got.result == 0) {
                EXPECT_EQ(got.v0, FMISSING);
                EXPECT_EQ(got.v1, FMISSING);
                EXPECT_EQ(got.text, "");
                EXPECT_EQ(got.units, units);
            }
        }
    }
}

TEST_F(SurfaceVariables, DefaultUnits) {
    // Names without default units answer 0 and leave the units empty.
    const std::set<std::string> no_default = {"hwind",  "cldclc", "prec1",   "nlcld",
                                              "svpres", "wchill", "wchill2", "smrat"};
    const std::map<std::string, std::string> special = {{"alt", "in_HG"}};
    for (const char *name : sfc_names) {
        SCOPED_TRACE(name);
        VAR_data var{};
        std::snprintf(var.name, sizeof var.name, "%s-x", name);
        const int known = SFC_get_var(&var);
        if (no_default.count(name)) {
            EXPECT_EQ(known, 0);
            EXPECT_STREQ(var.units, "");
            // The data call then fills in the native units.
            RAW_data item{};
            SFC_report r = complete_report();
            SFC_get_data(&r, &var, &item);
            EXPECT_EQ(var.units, get(r, name).units);
            continue;
        }
        EXPECT_EQ(known, 1);
        const Got native = get(complete_report(), name);
        const auto s = special.find(name);
        EXPECT_EQ(var.units, s != special.end() ? s->second : native.units);
        // Units already set are kept.
        std::snprintf(var.units, sizeof var.units, "%s", "kg");
        EXPECT_EQ(SFC_get_var(&var), 1);
        EXPECT_STREQ(var.units, "kg");
    }
    VAR_data var{};
    std::snprintf(var.name, sizeof var.name, "%s", "nothing");
    EXPECT_EQ(SFC_get_var(&var), 0);
    EXPECT_STREQ(var.units, "");
}

TEST_F(SurfaceVariables, RequestedUnits) {
    SFC_report r = complete_report();
    Ask c;
    c.units = "C";
    const Got temp = get(r, "temp", c);
    EXPECT_NEAR(temp.v0, (75 - 32) * 5 / 9.0, 1e-4);
    EXPECT_EQ(temp.units, "C");
    // Both temperatures of the pair.
    const Got ttd = get(r, "ttd", c);
    EXPECT_NEAR(ttd.v0, (75 - 32) * 5 / 9.0, 1e-4);
    EXPECT_NEAR(ttd.v1, (60 - 32) * 5 / 9.0, 1e-4);
    // The speed of a wind pair, never its direction.
    Ask ms;
    ms.units = "m/s";
    for (const char *name : {"wbrbc", "wbrb", "wind", "hwind"}) {
        const Got w = get(r, name, ms);
        EXPECT_EQ(w.v0, 250) << name;
        EXPECT_NEAR(w.v1, 30 * 0.5144444, 1e-4) << name;
    }
    // The condensation pressure, not its temperature.
    Ask lcl;
    lcl.ltype = 5;
    const Got mb = get(r, "pres", lcl);
    lcl.units = "in_Hg";
    const Got inches = get(r, "pres", lcl);
    EXPECT_NEAR(inches.v0, mb.v0 * 0.0295299833, 1e-4);
    EXPECT_EQ(inches.v1, mb.v1);
    // Texts keep the native values.
    Ask km;
    km.units = "km";
    const Got vis = get(r, "vis", km);
    EXPECT_NEAR(vis.v0, 7 * 1.609344, 1e-4);
    EXPECT_EQ(vis.text, "7");
    Ask ft;
    ft.units = "ft";
    const Got cl = get(r, "cldcl", ft);
    EXPECT_NEAR(cl.v0, 2800, 1e-2);
    EXPECT_EQ(cl.text, "28");
    // Spellings of one unit that compare equal convert nothing.
    Ask hg;
    hg.units = "in_HG";
    EXPECT_EQ(get(r, "alt", hg).v0, 30.12f);
}

TEST_F(SurfaceVariables, Texts) {
    struct Case {
        const char *name;
        float value;
        const char *text;
    };
    const Case cases[] = {
        {"alt", 30.12f, "012"},
        {"alt", 29.92f, "992"},
        {"alt", 30.07f, "007"},
        {"alt", 31.0f, "100"},
        {"pralt", 1013.2f, "132"},
        {"pralt", 998.7f, "987"},
        {"pralt", 1000.0f, "000"},
        {"vis", 0.5f, ".5"},
        {"vis", 2.5f, "2.5"},
        {"vis", 10, "10"},
        {"vis", 3, "3"},
        {"vis", 1, "1.0"},
        {"vis", 0.25f, ".2"},
        {"vis", 0, ".0"},
        // Nearly a mile is a mile, not a tenth.
        {"vis", 0.96f, "1.0"},
        // Values beyond any integer: the last digits of a large one, none
        // when the scaled value leaves the float range.
        {"alt", 1e30f, "264"},
        {"alt", 1e37f, ""},
        {"pralt", 3e38f, ""},
        {"pralt", -1e38f, ""},
    };
    for (const Case &c : cases) {
        SFC_report r = blank_report("TEXT");
        if (std::strcmp(c.name, "alt") == 0) r.alt = c.value;
        if (std::strcmp(c.name, "pralt") == 0) r.pmb = c.value;
        if (std::strcmp(c.name, "vis") == 0) r.vis = c.value;
        EXPECT_EQ(get(r, c.name).text, c.text) << c.name << " " << c.value;
    }
    // A ceiling beyond any integer is in the top class.
    SFC_report high = blank_report("HIGH");
    set_layers(high, "B", {2e10f});
    EXPECT_EQ(get(high, "cldclc").v0, 9);
}

TEST_F(SurfaceVariables, HighWindsOnly) {
    struct Case {
        float speed;
        float shown;
    };
    for (const Case &c :
         std::initializer_list<Case>{{24, 0}, {24.9f, 0}, {25, 25}, {60, 60}, {FMISSING, 0}}) {
        SFC_report r = complete_report();
        r.w_spd = c.speed;
        const Got got = get(r, "hwind");
        EXPECT_EQ(got.v0, 250) << c.speed;
        EXPECT_EQ(got.v1, c.shown) << c.speed;
    }
}

TEST_F(SurfaceVariables, PrecipitationAndExtremesByTimeCode) {
    SFC_report r = complete_report();
    auto at = [&r](const char *name, int time) {
        Ask ask;
        ask.time = time;
        return get(r, name, ask).v0;
    };
    // Start hours 3, 6, 12 and 24 pick their own period even when others exist.
    EXPECT_EQ(at("prec", 3000), 0.1f);
    EXPECT_EQ(at("prec", 6000), 0.25f);
    EXPECT_EQ(at("prec", 1012000), 0.5f);
    EXPECT_EQ(at("prec", 24000), 1.2f);
    EXPECT_EQ(at("maxt", 6000), 78);
    EXPECT_EQ(at("maxt", 24000), 80);
    EXPECT_EQ(at("maxt", 12000), FMISSING);
    EXPECT_EQ(at("mint", 6000), 60);
    EXPECT_EQ(at("mint", 24000), 55);
    // Without a period: the longest present, never the hourly amount.
    EXPECT_EQ(at("prec", MISSING), 1.2f);
    r.rain24 = FMISSING;
    EXPECT_EQ(at("prec", 1000), 0.5f);
    r.rain12 = FMISSING;
    EXPECT_EQ(at("prec", MISSING), 0.25f);
    r.rain6 = FMISSING;
    EXPECT_EQ(at("prec", MISSING), FMISSING);
    EXPECT_EQ(at("prec", 6000), FMISSING);
    // The daily extreme falls back to the minimum.
    r.max_t = FMISSING;
    EXPECT_EQ(get(r, "extt").v0, 55);
}

TEST_F(SurfaceVariables, FlightRulesAtEachBound) {
    struct Case {
        const char *covers;
        std::initializer_list<float> heights;
        float vis;
        int fr;
    };
    constexpr float M = FMISSING;
    const Case cases[] = {
        {"", {}, M, 0},
        {"B", {999}, M, 2},
        {"B", {1000}, M, 1},
        {"O", {3000}, M, 1},
        {"O", {3001}, M, 0},
        {"SB", {500, 2500}, M, 1},
        {"", {}, 2.99f, 2},
        {"", {}, 3, 1},
        {"", {}, 5, 1},
        {"", {}, 5.01f, 0},
        {"B", {5000}, 2, 2},
        {"O", {800}, 10, 2},
        // Few, scattered, thin and obscured layers are no ceiling.
        {"S", {500}, 10, 0},
        {"F", {200}, 10, 0},
        {"b", {500}, 10, 0},
        {"X", {200}, 10, 0},
        {"SX", {500, 200}, 10, 0},
        // A lone layer in oktas is a ceiling from broken (4) to overcast (8).
        {"0", {500}, 10, 0},
        {"3", {500}, 10, 0},
        {"4", {500}, 10, 2},
        {"6", {2000}, 10, 1},
        {"8", {500}, 10, 2},
        {"9", {500}, 10, 0},
    };
    const char *names[] = {"VFR", "MVFR", "IFR"};
    for (const Case &c : cases) {
        SFC_report r = blank_report("FR");
        set_layers(r, c.covers, c.heights);
        r.vis = c.vis;
        SCOPED_TRACE(std::string(c.covers) + " " + std::to_string(c.vis));
        const Got got = get(r, "fr");
        EXPECT_EQ(got.v0, c.fr);
        EXPECT_EQ(got.text, names[c.fr]);
    }
}

TEST_F(SurfaceVariables, GridRelativeWindsOnPolarStereographic) {
    Domain d;
    DOM_init(&d);
    d.proj = 1, d.plat = 90, d.plon = -105, d.clat = 45, d.clon = -105, d.dx = d.dy = 1, d.nx = d.ny = 41;
    ASSERT_EQ(MAP_domain(&d), 0);
    const SFC_report r = complete_report();
    const double ws = 0.5144 * 30, dir = 250 * M_PI / 180;
    for (float lon : {-105.0f, -75.0f, -150.0f}) {
        SCOPED_TRACE(lon);
        Ask at;
        ASSERT_EQ(MAP_tran(45, lon, &at.x, &at.y), 1);
        // North on the map turns against true north by the longitude east
        // of the central meridian.
        const double turn = (lon - d.plon) * M_PI / 180;
        EXPECT_NEAR(get(r, "uwndg", at).v0, -ws * std::sin(dir - turn), 1e-4);
        EXPECT_NEAR(get(r, "vwndg", at).v0, -ws * std::cos(dir - turn), 1e-4);
        EXPECT_NEAR(get(r, "uwnd", at).v0, -ws * std::sin(dir), 1e-4);
    }
    // Without a position there is no grid direction.
    Ask nowhere;
    nowhere.x = FMISSING;
    EXPECT_EQ(get(r, "uwndg", nowhere).v0, FMISSING);
}

} // namespace

// ---- Data-source callbacks -------------------------------------------------------------

namespace plots {

// The name convention in force, as its table entry.
std::string conv() {
    char text[FILE_NAME_SIZE];
    FILE_get_name_conv(text, sizeof text);
    return text;
}
// The table entry of a convention named type.
std::string conv_of(const char *type) {
    char name[FILE_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s", type);
    FILE_set_name(name);
    return conv();
}

TEST(OutFile, WordsOfBothChoosers) {
    struct Case {
        const char *out_file; // null: resource absent
        int raw;
        const char *raw_conv;
        int grid;
        const char *grid_conv;
        int flag17;
    };
    const Case cases[] = {
        {nullptr, 0, "sfc_raw", 0, "sfc_grd", MISSING},
        {"none,GIF,gifx", 0, "sfc_raw", 0, "sfc_grd", MISSING},
        {"cdf", 1, "cdf", 11, "sfc_grd_cdf", 11},
        {"zeq", 1, "sfc_raw", 2, "sfc_grd_zeq", 2},
        {"ZEQB", 1, "", 3, "sfc_grd_zeq", 3},
        {"zeqb_mine", 1, "_mine", 3, "mine", 3},
        {"raw_pts", 1, "pts", 2, "raw_pts", 2},
        {"RAW", 1, "sfc_raw", 2, "RAW", 2},
        {"myconv", 1, "myconv", 2, "myconv", 2},
        {"cdf,zeq", 1, "sfc_raw", 2, "sfc_grd_zeq", 2},
        {"zeq,cdf_g", 1, "cdf_g", 11, "g", 11},
    };
    for (const Case &c : cases) {
        FLAG_reset(MISSING);
        if (c.out_file)
            RES_put("out_file", c.out_file);
        else
            RES_put("out_file", nullptr);
        const std::string raw_conv = conv_of(c.raw_conv), grid_conv = conv_of(c.grid_conv);
        EXPECT_EQ(SFC_raw_out_file(), c.raw) << (c.out_file ? c.out_file : "(none)");
        EXPECT_EQ(conv(), raw_conv) << (c.out_file ? c.out_file : "(none)");
        EXPECT_EQ(SFC_grd_out_file(), c.grid) << (c.out_file ? c.out_file : "(none)");
        EXPECT_EQ(conv(), grid_conv) << (c.out_file ? c.out_file : "(none)");
        EXPECT_EQ(FLAG_get(FLAG_GRID_KIND), c.flag17) << (c.out_file ? c.out_file : "(none)");
    }
}

// A compact surface file of the given reports under dir; its name.
std::string write_reports(const zeqtest::TempDir &dir, const std::vector<SFC_report> &reports) {
    const std::string name = dir.file("04120812.sfc");
    int type = SFC_COMPACT;
    const int fd = SFC_open(name.c_str(), 1, &type);
    EXPECT_GE(fd, 0);
    SFC_info info{};
    std::snprintf(info.datim, sizeof info.datim, "12Z  8 DEC 04");
    info.date = Date{2004, 12, 8, 343, 3, 12, 0, 0};
    SFC_putinfo(fd, &info);
    int num = 0;
    for (SFC_report r : reports)
        SFC_write(fd, &r, 0, &num);
    SFC_close(fd);
    return name;
}

SFC_report report(const char *id, float lat, float lon, float t) {
    SFC_report r;
    SFC_initialize(&r);
    std::snprintf(r.id, sizeof r.id, "%s", id);
    r.lat = lat;
    r.lon = lon;
    if (!is_missing(lat)) std::snprintf(r.area, sizeof r.area, "SHIP");
    r.t = t;
    return r;
}

TEST(StationPlacement, ListedAndUnlistedStationsAndPriority) {
    zeqtest::TempDir dir;
    Domain dom = zeqtest::make_domain(1, 39, -97, 25, 17, 2.3f, 2.3f);
    MAP_domain(&dom);
    CTY_data_size(120);
    ASSERT_GT(CTY_store("sao.cty", 3, &dom, 7), 0);
    CTY_locate kden{};
    ASSERT_GT(CTY_search("KDEN", &kden), 0);
    // KDEN as listed; KDEN again with its own position; an unknown station
    // without and with a position.
    const std::string name =
        write_reports(dir, {report("KDEN", FMISSING, FMISSING, 30), report("KDEN", 35.0f, -90.0f, 31),
                            report("QQQQ", FMISSING, FMISSING, 32), report("QQQQ", 41.0f, -100.0f, 33)});
    ASSERT_EQ(SFC_open_file(name.c_str()), 1);
    DOM_set_prior(9);
    DOM_set_loc_prior(4);
    SFC_report r;
    CTY_locate loc{};
    float x = 0, y = 0;

    ASSERT_EQ(SFC_read_report(&r, &loc), 1);
    EXPECT_STREQ(loc.id, "KDEN");
    EXPECT_FLOAT_EQ(loc.x, kden.x);
    EXPECT_FLOAT_EQ(loc.y, kden.y);
    EXPECT_EQ(r.elev, kden.el);

    ASSERT_EQ(SFC_read_report(&r, &loc), 1);
    MAP_tran(35.0f, -90.0f, &x, &y);
    EXPECT_NEAR(loc.x, x, 1e-3);
    EXPECT_NEAR(loc.y, y, 1e-3);

    EXPECT_EQ(SFC_read_report(&r, &loc), 0); // unknown, no position

    ASSERT_EQ(SFC_read_report(&r, &loc), 1);
    MAP_tran(41.0f, -100.0f, &x, &y);
    EXPECT_NEAR(loc.x, x, 1e-3);
    EXPECT_EQ(loc.pr, 4);
    EXPECT_EQ(loc.el, 0);
    EXPECT_STREQ(loc.id, "QQQQ");
    EXPECT_EQ(SFC_read_report(&r, &loc), -1);

    // A region limit below the unlisted stations' number skips them; listed
    // stations of a higher number than the limit are skipped too.
    SFC_rewind_file();
    DOM_set_prior(3);
    int used = 0, skipped = 0;
    for (int k; (k = SFC_read_report(&r, &loc)) >= 0;)
        (k ? used : skipped)++;
    EXPECT_EQ(used + skipped, 4);
    EXPECT_EQ(used, kden.pr <= 3 ? 2 : 0);
    SFC_close_file();
}

TEST(GridSave, AltSOnlyWithOneFileAndOneVariable) {
    zeqtest::TempDir dir;
    RES_put("grid_path", dir.path().c_str());
    RES_put("batch", "1");
    FLAG_set(FLAG_BATCH, 1);
    Domain dom = zeqtest::make_domain(1, 39, -97, 5, 4, 2.3f, 2.3f);
    GRD_set_grid_domain(0, &dom);
    GRD_alloc_grid(0);
    for (int k = 0; k < 20; ++k)
        GRD_get_grid(0)->grid[k] = float(k);
    VAR_open_file(nullptr);
    SFC_set_date(nullptr);
    const Date date{2004, 12, 8, 343, 3, 12, 0, 0};
    SFC_set_date(&date);
    char single[] = "04120812";
    char out[FILE_NAME_SIZE];
    FILE_set_file(single, out, sizeof out);
    for (const char *spec : {"temp:F:cont,dewp:F:cont", "temp:F:cont"}) {
        VAR_setup(nullptr, spec);
        SFC_callback(2, "s-Alt", 0, 0);
    }
    const std::vector<std::string> files = [&] {
        std::vector<std::string> v;
        for (const auto &e : std::filesystem::directory_iterator(dir.path()))
            v.push_back(e.path().filename());
        return v;
    }();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], "04120812_sfc_temp_-9999_0.grd");
    GRD_report back{};
    GRD_info info{};
    int type = 0;
    ASSERT_EQ(GRD_read_file(dir.file(files[0]).c_str(), &back, &info, &type), 1);
    EXPECT_EQ(back.grid[7], 7.0f);
    GRD_free(&back);
}

} // namespace plots

namespace plots {

// The timed refresh without a window (plot type "none": the frame is analysed
// and its files written, nothing is drawn): the newest file of the
// convention is drawn when it is new or modified, else nothing.
TEST(Refresh, NewOrModifiedNewestFileIsDrawn) {
    zeqtest::TempDir dir;
    const std::string sample = std::string(ZEQ_SOURCE_DIR) + "/data/04120812.sfc";
    const zeqtest::ChildResult r = zeqtest::run_child([&] {
        zeqtest::write_file(dir.file("04120812.sfc"), zeqtest::read_file(sample));
        RES_put("data_path", dir.path().c_str());
        RES_put("raw_path", dir.path().c_str());
        RES_put("out_file", "raw");
        RES_put("batch", "1");
        FLAG_set(FLAG_BATCH, 1);
        FLAG_set(FLAG_PLOT_TYPE, 99);
        setenv("zeqcurtime", "#200412081300", 1);
        char type[] = "sfc";
        FILE_set_name(type);
        Domain dom = zeqtest::make_domain(1, 39, -97, 25, 17, 2.3f, 2.3f);
        MAP_domain(&dom);
        VAR_open_file(nullptr);
        VAR_setup(nullptr, "temp:F:value");
        auto refresh = [](const char *what) {
            std::printf("%s:", what);
            std::fflush(stdout);
            SFC_plot_refresh();
            std::fflush(stdout);
            std::printf("\n");
        };
        // The plot of the file, then the refreshes it registers.
        FILE_get_file("", nullptr);
        SFC_set_date(nullptr);
        SFC_plot(&dom);
        const std::string f12 = dir.file("04120812.sfc");
        std::remove(dir.file("04120812_sfc_temp.raw").c_str());
        std::printf("plotted\n");
        refresh("unchanged");
        // Modified: a later modification time.
        struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + 100, 0}};
        utimensat(AT_FDCWD, f12.c_str(), times, 0);
        refresh("modified");
        refresh("unchanged");
        // Newer: a file of a later hour.
        std::string later = zeqtest::read_file(sample);
        later.replace(0, later.find('\n'), "15Z  8 DEC 04");
        zeqtest::write_file(dir.file("04120815.sfc"), later);
        setenv("zeqcurtime", "#200412081600", 1);
        refresh("newer");
        refresh("unchanged");
        return 0;
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("plotted\nunchanged:\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("modified:Date: 12Z  8 DEC 04\nplot frame\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("newer:Date: 15Z  8 DEC 04\nplot frame\n"), std::string::npos) << r.out;
    std::size_t n = 0;
    for (std::size_t p = 0; (p = r.out.find("unchanged:\n", p)) != std::string::npos; ++p)
        ++n;
    EXPECT_EQ(n, 3u) << r.out;
    // The redraws wrote the frame's point-data file, named by its date.
    EXPECT_TRUE(std::filesystem::exists(dir.file("04120812_sfc_temp.raw")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("04120815_sfc_temp.raw")));
}

} // namespace plots

namespace plots {

// A redraw while the plot is open (the zoom and resize function): the frame
// is reset and drawn again, the plot stays open, and a single file's grids
// are analysed once and kept for the redraws.
TEST(Redraw, ReentryKeepsThePlotAndTheGrids) {
    zeqtest::TempDir dir;
    const std::string sample = std::string(ZEQ_SOURCE_DIR) + "/data/04120812.sfc";
    const zeqtest::ChildResult r = zeqtest::run_child([&] {
        zeqtest::write_file(dir.file("04120812.sfc"), zeqtest::read_file(sample));
        RES_put("data_path", dir.path().c_str());
        RES_put("device", ("ps," + dir.file("z.ps")).c_str());
        RES_put("batch", "1");
        RES_put("plot_type", "cf");
        RES_put("con_interval", "8");
        FLAG_set(FLAG_BATCH, 1);
        char type[] = "sfc";
        FILE_set_name(type);
        setenv("zeqcurtime", "#200412081300", 1);
        FILE_get_file("", nullptr);
        SFC_set_date(nullptr);
        VAR_open_file(nullptr);
        VAR_setup(nullptr, "temp:F:cf");
        Domain dom = zeqtest::make_domain(1, 39, -97, 25, 17, 2.3f, 2.3f);
        // The plot is open, as it is while the window is held.
        PLT_open(DOM_aspect(&dom));
        CTY_data_size(120);
        CTY_store("sao.cty", 3, &dom, 7);
        SFC_plot(&dom);
        std::printf("open after the first: %d\n", int(gchk_graphics()));
        Domain zoom = zeqtest::make_domain(1, 40, -95, 13, 9, 2.3f, 2.3f);
        SFC_plot(&zoom);
        std::printf("open after the zoom: %d\n", int(gchk_graphics()));
        PLT_close();
        return 0;
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("open after the first: 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("open after the zoom: 1\n"), std::string::npos) << r.out;
    std::size_t fits = 0, draws = 0;
    for (std::size_t p = 0; (p = r.out.find("Fitting to grid", p)) != std::string::npos; ++p)
        ++fits;
    for (std::size_t p = 0; (p = r.out.find("Contouring data for", p)) != std::string::npos; ++p)
        ++draws;
    EXPECT_EQ(fits, 1u) << r.out;
    EXPECT_EQ(draws, 2u) << r.out;
}

} // namespace plots
