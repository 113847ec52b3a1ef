// Weather code conversions: WMO present weather (manned and automatic
// stations), METAR groups and the weather letter code, visibility and
// cloud-base codes, compass words. No file-static state; the code tables are
// constants.
#include "surface/wx_tool.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/zeq.h"

namespace {

using CodeTable = std::array<const char *, 100>;

// Letter codes of the manned-station present weather ww, WMO code table 4677.
constexpr CodeTable manned = {
    " ",   " ",  " ",   " ",      "K",    "H",    "D",   "D",    "D",    "D",     // 00-09
    "F",   "F",  "F",   " ",      " ",    " ",    " ",   "T",    " ",    " ",     // 10-19
    " ",   " ",  " ",   " ",      " ",    " ",    " ",   " ",    "F",    "T",     // 20-29
    "D",   "D",  "D",   "D",      "D",    "D",    "BS",  "BS",   "BS",   "BS",    // 30-39
    "F",   "F",  "F",   "F",      "F",    "F",    "F",   "F",    "F",    "F",     // 40-49
    "L-",  "L-", "L",   "L",      "L+",   "L+",   "ZL-", "ZL",   "L-R",  "LR",    // 50-59
    "R-",  "R-", "R",   "R",      "R+",   "R+",   "ZR-", "ZR",   "R-L",  "RL",    // 60-69
    "S-",  "S-", "S",   "S",      "S+",   "S+",   "IC",  "SG",   "IC",   "IP",    // 70-79
    "RW-", "RW", "RW+", "RW-SW-", "RWSW", "SW-",  "SW",  "IPW",  "IPW",  "A",     // 80-89
    "A",   "R-", "R",   "S-",     "S",    "TRW-", "TRW", "TRW+", "TRWD", "TRW+A", // 90-99
};

// Letter codes of the automatic-station present weather wawa, WMO code table 4680.
constexpr CodeTable automatic = {
    " ",   " ",    " ",    " ",     "H",    "H",    " ",     " ",   " ",   " ",  // 00-09
    " ",   " ",    " ",    " ",     " ",    " ",    " ",     " ",   " ",   " ",  // 10-19
    " ",   " ",    " ",    " ",     " ",    " ",    " ",     " ",   "BS",  "BS", // 20-29
    "F",   "F",    "F",    "F",     "F",    "F",    " ",     " ",   " ",   " ",  // 30-39
    "R",   "R-",   "R+",   "R-",    "R+",   "S-",   "S+",    "ZR-", "ZR+", " ",  // 40-49
    "L",   "L-",   "L",    "L+",    "ZL-",  "ZL",   "ZL+",   "L-",  "L",   " ",  // 50-59
    "R",   "R-",   "R",    "R+",    "ZR-",  "ZR",   "ZR+",   "R-S", "RS",  " ",  // 60-69
    "S",   "S-",   "S",    "S+",    "IP-",  "IP",   "IP+",   " ",   " ",   " ",  // 70-79
    "RW",  "RW-",  "RW",   "RW+",   "RW+",  "SW-",  "SW",    "SW+", " ",   " ",  // 80-89
    "TRW", "TRW-", "TRW-", "TRW-A", "TRW-", "TRW+", "TRW+A", " ",   " ",   " ",  // 90-99
};

// Cloud-base heights (feet) of the cloud-base code h, WMO code table 1600.
constexpr std::array<float, 10> cloud_base = {100, 200, 400, 700, 1500, 3000, 4500, 6000, 7500, 12000};

// Compass words and their directions.
struct Compass {
    std::string_view word;
    float deg;
};
constexpr Compass compass[] = {
    {"N", 0},    {"NNE", 22.5},  {"NE", 45},  {"ENE", 67.5},  {"E", 90},   {"ESE", 112.5},
    {"SE", 135}, {"SSE", 157.5}, {"S", 180},  {"SSW", 202.5}, {"SW", 225}, {"WSW", 247.5},
    {"W", 270},  {"WNW", 292.5}, {"NW", 315}, {"NNW", 337.5},
};

// Writes a code of a table; numbers outside 0-99 give no weather.
void table_code(const CodeTable &table, int wx, char *wx_str) {
    const char *code = wx >= 0 && wx <= 99 ? table[static_cast<std::size_t>(wx)] : " ";
    std::memcpy(wx_str, code, std::strlen(code) + 1);
}

// The parts of a METAR group that make its letter code.
struct MetarParts {
    std::string_view intensity;
    std::string_view descriptor;
    std::string_view precip;
    std::string_view obscuration;
};

struct PairCode {
    std::string_view pair;
    std::string_view code;
};
constexpr PairCode descriptors[] = {{"DR", "B"}, {"BL", "B"}, {"TS", "T"}, {"SH", "W"}, {"FZ", "Z"}};
constexpr PairCode precipitation[] = {{"DZ", "L"},  {"RA", "R"},  {"SN", "S"},  {"SG", "SG"},
                                      {"GS", "IP"}, {"PE", "IP"}, {"PL", "IP"}, {"IC", "IC"}};
constexpr PairCode obscurations[] = {{"FG", "F"}, {"BR", "H"}, {"HZ", "H"},
                                     {"SA", "D"}, {"DU", "D"}, {"FU", "K"}};

// The code of a pair in a list, or an empty view.
template <std::size_t N> std::string_view pair_code(const PairCode (&list)[N], std::string_view pair) {
    for (const PairCode &p : list)
        if (p.pair == pair) return p.code;
    return {};
}

// Reads the group from its start until no rule matches; false when the group
// reports weather in the vicinity (no code).
bool metar_parts(std::string_view s, MetarParts &m) {
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '-' || c == '+') {
            m.intensity = s.substr(i, 1);
            ++i;
            continue;
        }
        if (i + 1 >= s.size()) break;
        const std::string_view pair = s.substr(i, 2);
        if (pair == "VC") return false;
        if (pair == "MI" || pair == "BC") {
            i += 2;
        } else if (const std::string_view d = pair_code(descriptors, pair); !d.empty()) {
            m.descriptor = d;
            i += 2;
        } else if (const std::string_view p = pair_code(precipitation, pair);
                   !p.empty() && m.precip.empty()) {
            m.precip = p;
            i += 2;
        } else if (const std::string_view o = pair_code(obscurations, pair); !o.empty()) {
            m.obscuration = o;
            i += 2;
        } else {
            break;
        }
    }
    return true;
}

} // namespace

int WX_wmo_weather(int wx, char *wx_str) {
    table_code(manned, wx, wx_str);
    return 0;
}

int WX_wmo_auto_weather(char *wx_str, int wx) {
    table_code(automatic, wx, wx_str);
    return 0;
}

int WX_metar_weather(const char *wx, char *wx_str) {
    std::string_view s = wx != nullptr ? wx : "";
    if (!s.empty() && s.front() == '!') s.remove_prefix(1);
    MetarParts m;
    std::string code;
    if (metar_parts(s, m)) {
        if (m.precip.empty() && !m.obscuration.empty())
            code = m.obscuration;
        else if (m.precip.empty() && m.descriptor == "T")
            code = "T";
        else if (m.descriptor == "W")
            code = std::string(m.precip) + "W" + std::string(m.intensity);
        else
            code = std::string(m.descriptor) + std::string(m.precip) + std::string(m.intensity);
    }
    std::memcpy(wx_str, code.c_str(), code.size() + 1);
    return 0;
}

int WX_field_code(const char *field, char *code, std::size_t size) {
    if (size == 0) return 0;
    char buf[WX_CODE_SIZE] = "";
    const char *text = field != nullptr ? field : "";
    if (text[0] >= '0' && text[0] <= '9') {
        WX_wmo_weather(std::atoi(text), buf);
        text = buf;
    } else if (text[0] == '!') {
        WX_metar_weather(text, buf);
        text = buf;
    }
    std::snprintf(code, size, "%s", text);
    return 0;
}

int WX_weather_wmo(const char *str) {
    // Only the first five characters of the code decide; the rest stay NUL.
    char c[10] = {};
    WX_field_code(str, c, sizeof c);
    switch (c[0]) {
    case 'K':
        return 4;
    case 'H':
        return 5;
    case 'F':
        return 44;
    case 'D':
        return 6;
    case 'G':
        return c[1] == 'F' ? 12 : 0;
    case 'T':
        if (c[1] != 'R') return c[1] == '+' ? 97 : 17;
        if (c[2] == 'W') {
            if (c[3] == '+') return c[4] == 'A' ? 99 : 97;
            return 95;
        }
        return c[2] == '+' ? 97 : 95;
    case 'R':
        if (c[1] == 'W') return c[2] == '-' ? 80 : 81;
        return c[1] == '+' ? 65 : c[1] == '-' ? 61 : 63;
    case 'S':
        if (c[1] == 'W') return c[2] == '-' ? 85 : 86;
        if (c[1] == '+') return 75;
        if (c[1] == '-') return 71;
        return c[1] == 'G' || c[1] == 'P' ? 77 : 73;
    case 'L':
        return c[1] == '+' ? 55 : c[1] == '-' ? 51 : 53;
    case 'Z':
        if (c[1] == 'R') return c[2] == '-' ? 66 : 67;
        if (c[1] == 'L') return c[2] == '-' ? 56 : 57;
        return 0;
    case 'B':
        return c[1] == 'D' ? 7 : c[1] == 'S' ? 38 : 0;
    case 'I':
        if (c[1] == 'P') return 79;
        if (c[1] == 'C') return 78;
        return c[1] == 'F' ? 44 : 0;
    default:
        return 0;
    }
}

float WX_vis_miles(int vis) {
    // Codes up to 50 count tenths of a kilometre, 51-80 kilometres above 50,
    // 81-89 five-kilometre steps above 30 km; 1.6 km to the mile. A negative
    // code is no visibility (the missing value would otherwise become one).
    if (vis < 0 || vis >= 90) return FMISSING;
    if (vis <= 50) return static_cast<float>(vis) / 16.0f;
    if (vis <= 80) return static_cast<float>(static_cast<float>(vis - 50) / 1.6);
    return static_cast<float>(static_cast<float>(30 + 5 * (vis - 80)) / 1.6);
}

float WX_wmo_vis(int vis) {
    return WX_vis_miles(vis);
}

float WX_wmo_cld_base(int cb) {
    return cb >= 0 && cb <= 9 ? cloud_base[static_cast<std::size_t>(cb)] : FMISSING;
}

float dir_decode(const char *dir) {
    if (dir == nullptr) return FMISSING;
    for (const Compass &c : compass)
        if (c.word == dir) return c.deg;
    return FMISSING;
}
