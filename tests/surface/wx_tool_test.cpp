// Weather, visibility and cloud-base codes: the present-weather tables, METAR
// groups, weather fields to WMO numbers, visibility and cloud-base codes, and
// compass words; the synoptic twins of sfc_tool beside them. Every letter
// code the conversions can give must have its own symbol in data/wx.smb.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/string.h"
#include "runtime/zeq.h"
#include "surface/sfc_tool.h"
#include "surface/wx_tool.h"

namespace {

using Table = std::array<std::array<const char *, 10>, 10>;

// WMO code table 4677 (manned stations), by decade and unit.
constexpr Table manned = {{
    {" ", " ", " ", " ", "K", "H", "D", "D", "D", "D"},
    {"F", "F", "F", " ", " ", " ", " ", "T", " ", " "},
    {" ", " ", " ", " ", " ", " ", " ", " ", "F", "T"},
    {"D", "D", "D", "D", "D", "D", "BS", "BS", "BS", "BS"},
    {"F", "F", "F", "F", "F", "F", "F", "F", "F", "F"},
    {"L-", "L-", "L", "L", "L+", "L+", "ZL-", "ZL", "L-R", "LR"},
    {"R-", "R-", "R", "R", "R+", "R+", "ZR-", "ZR", "R-L", "RL"},
    {"S-", "S-", "S", "S", "S+", "S+", "IC", "SG", "IC", "IP"},
    {"RW-", "RW", "RW+", "RW-SW-", "RWSW", "SW-", "SW", "IPW", "IPW", "A"},
    {"A", "R-", "R", "S-", "S", "TRW-", "TRW", "TRW+", "TRWD", "TRW+A"},
}};

// WMO code table 4680 (automatic stations).
constexpr Table automatic = {{
    {" ", " ", " ", " ", "H", "H", " ", " ", " ", " "},
    {" ", " ", " ", " ", " ", " ", " ", " ", " ", " "},
    {" ", " ", " ", " ", " ", " ", " ", " ", "BS", "BS"},
    {"F", "F", "F", "F", "F", "F", " ", " ", " ", " "},
    {"R", "R-", "R+", "R-", "R+", "S-", "S+", "ZR-", "ZR+", " "},
    {"L", "L-", "L", "L+", "ZL-", "ZL", "ZL+", "L-", "L", " "},
    {"R", "R-", "R", "R+", "ZR-", "ZR", "ZR+", "R-S", "RS", " "},
    {"S", "S-", "S", "S+", "IP-", "IP", "IP+", " ", " ", " "},
    {"RW", "RW-", "RW", "RW+", "RW+", "SW-", "SW", "SW+", " ", " "},
    {"TRW", "TRW-", "TRW-", "TRW-A", "TRW-", "TRW+", "TRW+A", " ", " ", " "},
}};

// A code buffer with guard bytes after the room a caller gives: a write past
// WX_CODE_SIZE shows in the guard.
struct Guarded {
    char buf[WX_CODE_SIZE + 8];
    Guarded() { std::memset(buf, '#', sizeof buf); }
    bool guard_intact() const {
        return std::all_of(buf + WX_CODE_SIZE, buf + sizeof buf, [](char c) { return c == '#'; });
    }
};

// The code a conversion writes, checking that it stays within its buffer.
template <class Fn> std::string code_of(Fn fn) {
    Guarded g;
    fn(g.buf);
    EXPECT_TRUE(g.guard_intact());
    return std::string(g.buf, strnlen(g.buf, WX_CODE_SIZE));
}

std::string manned_code(int ww) {
    const std::string a = code_of([ww](char *b) { WX_wmo_weather(ww, b); });
    EXPECT_EQ(code_of([ww](char *b) { SYN_weather(ww, b); }), a) << ww;
    return a;
}

std::string automatic_code(int wawa) {
    const std::string a = code_of([wawa](char *b) { WX_wmo_auto_weather(b, wawa); });
    EXPECT_EQ(code_of([wawa](char *b) { SYN_auto_weather(wawa, b); }), a) << wawa;
    return a;
}

std::string metar_code(const char *group) {
    return code_of([group](char *b) { WX_metar_weather(group, b); });
}

TEST(PresentWeather, ManningTablesWholeAndOutsideNumbers) {
    for (int ww = 0; ww < 100; ++ww) {
        EXPECT_EQ(manned_code(ww), manned[ww / 10][ww % 10]) << "ww " << ww;
        EXPECT_EQ(automatic_code(ww), automatic[ww / 10][ww % 10]) << "wawa " << ww;
    }
    for (int outside : {-9999, -1, 100, 255}) {
        EXPECT_EQ(manned_code(outside), " ") << outside;
        EXPECT_EQ(automatic_code(outside), " ") << outside;
    }
}

TEST(MetarWeather, ExamplesAndRuleOrder) {
    struct Case {
        const char *group;
        const char *code;
    };
    const Case cases[] = {
        {"-SHRA", "RW-"},
        {"+TSRA", "TR+"},
        {"FZDZ", "ZL"},
        {"BLSN", "BS"},
        {"BLSA", "D"},
        {"MIFG", "F"},
        {"BR", "H"},
        {"SH", "W"},
        {"-DZRA", "L-"},
        {"TSGR", "T"},
        {"VCSH", ""},
        {"", ""},
        {"-", "-"},
        {"!-SHSN", "SW-"},
        {"VCTS", ""},
        // A second precipitation ends the group; so do a blank and any pair not listed.
        {"RASN", "R"},
        {"-RA BR", "R-"},
        {"+FC", "+"},
        {"RAGR", "R"},
        // Weather in the vicinity empties the code wherever it stands.
        {"-RAVC", ""},
        {"!VCFG", ""},
        // Later descriptors and obscurations replace earlier ones; precipitation
        // wins over an obscuration.
        {"TSSHRA", "RW"},
        {"SHTSRA", "TR"},
        {"FGBR", "H"},
        {"-FZRABR", "ZR-"},
        {"BCFG", "F"},
        {"SHGS", "IPW"},
        {"+SHPL", "IPW+"},
        {"FZSG", "ZSG"},
        {"DRDU", "D"},
        {"FU", "K"},
        {"HZ", "H"},
        {"-+RA", "R+"},
        {"TSIC", "TIC"},
        // Pairs compare with their case; a leading '!' only is skipped.
        {"ra", ""},
        {"!!RA", ""},
        {"R", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(metar_code(c.group), c.code) << c.group;
    char out[WX_CODE_SIZE];
    WX_metar_weather(nullptr, out);
    EXPECT_STREQ(out, "");
}

TEST(WeatherToWmo, DigitMetarAndLetterFields) {
    struct Case {
        const char *field;
        int ww;
    };
    const Case cases[] = {
        // Digits: the letter code of the leading number, then back.
        {"99", 99},
        {"82", 81},
        {"83", 80},
        {"5", 5},
        {"00", 0},
        {"17x", 17},
        {"45", 44},
        {"38", 38},
        {"67", 67},
        {"0", 0},
        {"100", 0},
        // METAR groups.
        {"!-SHRA", 80},
        {"!+TSRA", 97},
        {"!BR", 5},
        {"!VCSH", 0},
        {"!FZDZ", 57},
        {"!BLSA", 6},
        // Every row of the letter table.
        {"K", 4},
        {"H", 5},
        {"F", 44},
        {"GF", 12},
        {"G", 0},
        {"D", 6},
        {"T", 17},
        {"T+", 97},
        {"TR", 95},
        {"TR+", 97},
        {"TRW", 95},
        {"TRW+", 97},
        {"TRW+A", 99},
        {"TRW-A", 95},
        {"TRWD", 95},
        {"RW-", 80},
        {"RW", 81},
        {"RW+", 81},
        {"R+", 65},
        {"R-", 61},
        {"R", 63},
        {"R-L", 61},
        {"SW-", 85},
        {"SW", 86},
        {"S+", 75},
        {"S-", 71},
        {"SG", 77},
        {"SP", 77},
        {"S", 73},
        {"L+", 55},
        {"L-", 51},
        {"L", 53},
        {"ZR-", 66},
        {"ZR", 67},
        {"ZR+", 67},
        {"ZL-", 56},
        {"ZL", 57},
        {"Z", 0},
        {"BD", 7},
        {"BS", 38},
        {"B", 0},
        {"IP", 79},
        {"IC", 78},
        {"IF", 44},
        {"I", 0},
        {"A", 0},
        {" ", 0},
        {"", 0},
        {"rw", 0},
        {"TRW+AAAAAAAAAAAAAAA", 99},
    };
    for (const Case &c : cases)
        EXPECT_EQ(WX_weather_wmo(c.field), c.ww) << c.field;
    EXPECT_EQ(WX_weather_wmo(nullptr), 0);
}

TEST(Visibility, CodesInMilesBothDecoders) {
    // Code table 4377 in kilometres up to 89; 1.6 km to the mile.
    auto km = [](int vv) { return vv <= 50 ? vv / 10.0 : vv <= 80 ? vv - 50.0 : 30.0 + 5.0 * (vv - 80); };
    const float coarse[] = {0.0f, 0.03125f, 0.125f, 0.3125f, 0.625f, 1.25f, 2.5f, 6.25f, 12.5f, 31.25f};
    for (int vv = -1; vv <= 100; ++vv) {
        SCOPED_TRACE(vv);
        if (vv < 0 || vv > 99) {
            EXPECT_EQ(SYN_visibility(vv), FMISSING);
            EXPECT_EQ(WX_wmo_vis(vv), FMISSING);
        } else if (vv >= 90) {
            EXPECT_EQ(SYN_visibility(vv), coarse[vv - 90]);
            EXPECT_EQ(WX_wmo_vis(vv), FMISSING);
        } else {
            EXPECT_FLOAT_EQ(SYN_visibility(vv), float(km(vv) / 1.6));
            EXPECT_EQ(WX_wmo_vis(vv), SYN_visibility(vv));
        }
    }
    // The missing value is no visibility, not a negative distance.
    EXPECT_EQ(SYN_visibility(MISSING), FMISSING);
    EXPECT_EQ(WX_wmo_vis(MISSING), FMISSING);
    EXPECT_EQ(SYN_visibility(10), 0.625f);
    EXPECT_EQ(SYN_visibility(55), 3.125f);
    EXPECT_EQ(SYN_visibility(95), 1.25f);
}

TEST(CloudBase, CodesToFeetAndBack) {
    const float feet[] = {100, 200, 400, 700, 1500, 3000, 4500, 6000, 7500, 12000};
    for (int h = 0; h <= 9; ++h) {
        EXPECT_EQ(WX_wmo_cld_base(h), feet[h]) << h;
        EXPECT_EQ(SYN_ceiling(h), feet[h]) << h;
        // Each representative height lies in its own class.
        EXPECT_EQ(SYN_ceiling_to_code(int(feet[h])), h) << h;
    }
    for (int outside : {-9999, -1, 10}) {
        EXPECT_EQ(WX_wmo_cld_base(outside), FMISSING);
        EXPECT_EQ(SYN_ceiling(outside), FMISSING);
    }
    // Class bounds, each with the foot above it.
    const int bounds[][2] = {{-9999, 0}, {0, 0},    {163, 0},  {164, 1},  {327, 1},  {328, 2},  {655, 2},
                             {656, 3},   {983, 3},  {984, 4},  {1967, 4}, {1968, 5}, {3280, 5}, {3281, 6},
                             {4920, 6},  {4921, 7}, {6561, 7}, {6562, 8}, {8201, 8}, {8202, 9}, {35000, 9}};
    for (const auto &b : bounds)
        EXPECT_EQ(SYN_ceiling_to_code(b[0]), b[1]) << b[0];
}

TEST(CompassWords, SixteenPointsExactly) {
    const char *words[] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                           "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(dir_decode(words[i]), 22.5f * i) << words[i];
    for (const char *other : {"nne", "", "N ", "NNEE", "NORTH", "0"})
        EXPECT_EQ(dir_decode(other), FMISSING) << other;
    EXPECT_EQ(dir_decode(nullptr), FMISSING);
}

// ---- Symbols for every code ---------------------------------------------------

// The entry names of the symbol file: a word, then everything up to the next "$".
std::vector<std::string> symbol_names() {
    std::ifstream in(ZEQ_SOURCE_DIR "/data/wx.smb");
    EXPECT_TRUE(in) << "cannot open data/wx.smb";
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (true) {
        pos = text.find_first_not_of(" \t\r\n", pos);
        if (pos == std::string::npos) break;
        const std::size_t end = text.find_first_of(" \t\r\n", pos);
        names.push_back(text.substr(pos, end - pos));
        pos = text.find('$', end);
        if (pos == std::string::npos) break;
        ++pos;
    }
    return names;
}

// The entry a code draws: the longest name it begins with, in any case.
std::string symbol_of(const std::vector<std::string> &names, const std::string &code) {
    std::string best;
    for (const std::string &n : names)
        if (n.size() > best.size() && istarts_with(code, n)) best = n;
    return best;
}

// Every group of up to four METAR parts, each part a pair or sign the rules
// know (or one they do not): every letter code the conversion can give.
std::set<std::string> metar_codes() {
    const char *parts[] = {"-",  "+",  "VC", "MI", "BC", "DR", "BL", "TS", "SH", "FZ", "DZ", "RA", "SN",
                           "SG", "GS", "PE", "PL", "IC", "FG", "BR", "HZ", "SA", "DU", "FU", "UP"};
    const std::size_t n = std::size(parts);
    std::set<std::string> codes;
    char out[WX_CODE_SIZE];
    for (std::size_t len = 1; len <= 4; ++len) {
        std::vector<std::size_t> idx(len, 0);
        while (true) {
            std::string group;
            for (std::size_t i : idx)
                group += parts[i];
            WX_metar_weather(group.c_str(), out);
            EXPECT_LE(std::strlen(out), 4u) << group;
            codes.insert(out);
            std::size_t k = 0;
            while (k < len && ++idx[k] == n)
                idx[k++] = 0;
            if (k == len) break;
        }
    }
    codes.erase("");
    return codes;
}

TEST(WeatherSymbols, EveryCodeHasItsOwnEntry) {
    const std::vector<std::string> names = symbol_names();
    ASSERT_FALSE(names.empty());
    std::set<std::string> table_codes;
    char out[WX_CODE_SIZE];
    for (int ww = 0; ww < 100; ++ww) {
        WX_wmo_weather(ww, out);
        table_codes.insert(out);
        WX_wmo_auto_weather(out, ww);
        table_codes.insert(out);
    }
    table_codes.erase(" ");
    ASSERT_FALSE(table_codes.empty());
    for (const std::string &code : table_codes)
        EXPECT_TRUE(iequals(symbol_of(names, code), code)) << code << " draws " << symbol_of(names, code);

    const std::set<std::string> codes = metar_codes();
    EXPECT_GT(codes.size(), 20u);
    for (const std::string &code : codes) {
        // An intensity sign without an entry of its own draws the code without it.
        std::string bare = code;
        while (bare.size() > 1 && (bare.back() == '-' || bare.back() == '+'))
            bare.pop_back();
        const std::string entry = symbol_of(names, code);
        EXPECT_TRUE(iequals(entry, code) || iequals(entry, bare)) << code << " draws " << entry;
    }
}

} // namespace
