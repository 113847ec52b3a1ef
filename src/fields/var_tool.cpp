// The variable list and its specification language, the time, level, name and
// plot-type decoders, the parameter, source and model tables, and the labels
// made from them (with the plot label type and the labels by model number).
// File-static state: the variable list, the default and current plot type,
// the key texts, the label type, the parser's inheritance stack, the loaded
// parameter table and the open model table.
#include "fields/var_tool.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "fields/calc.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/menu.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/tools.h"

namespace {

// ---- Module state ------------------------------------------------------------

std::array<VAR_data, VAR_MAX> var{};
int varnum = 0;
int def_type = 2;
int cur_type = MISSING;

char model_str[20] = "";
char level_str[20] = "";
char time_str[20] = "";

// The plot label type (PLT_get_label_type): below 0 minimal or simple, 0
// normal, above 0 complete.
int label_type = 0;

// The inheritance stack of the specification parser: what an entry takes
// when its text gives no time, level or type. base_ind is -1 outside a parse.
struct VarBase {
    int type;
    int time;
    int tstat;
    int ltype;
    int level;
    int lstat;
};
constexpr int kBaseMax = 10;
std::array<VarBase, kBaseMax> base{};
int base_ind = -1;

// One row of the parameter table.
struct VAR_desc {
    int ind[5];
    char name[50];
    char abbr[10];
};
constexpr std::size_t kMaxDesc = 749;
std::vector<VAR_desc> var_list;
bool var_loaded = false;

// ---- Small text helpers ------------------------------------------------------

// A number as an int, truncated toward zero and held within the int range
// (NaN gives -9999), so that huge numbers in a text cannot overflow.
int to_int(double x) {
    if (std::isnan(x)) return MISSING;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(x);
}

// hi * scale + lo, held within the int range.
int combine(long long hi, long long scale, long long lo) {
    const long long lim = 1LL << 40;
    hi = std::clamp(hi, -lim, lim);
    lo = std::clamp(lo, -lim, lim);
    return to_int(static_cast<double>(hi * scale + lo));
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

[[gnu::format(printf, 1, 2)]] std::string format(const char *fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return {};
    return std::string(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n)
                                                                     : sizeof buf - 1);
}

// Reads a decimal integer (optional blanks and sign, then digits) from the
// start of s, as "%d" does; the number of characters used, 0 when none.
std::size_t read_int(std::string_view s, int *value) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    const std::size_t start = i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    const std::size_t digits = i;
    while (i < s.size() && is_digit(s[i]))
        ++i;
    if (i == digits) return 0;
    const std::string text(s.substr(start, i - start));
    errno = 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    *value = static_cast<int>(v);
    return i;
}

// Reads a decimal number (optional blanks and sign, digits with an optional
// point, an optional exponent) from the start of s, as "%f" does for plain
// decimal text; the number of characters used, 0 when none.
std::size_t read_float(std::string_view s, float *value) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    double v = 0;
    const std::size_t used = scan_decimal(s.substr(i), &v);
    if (used == 0) return 0;
    *value = static_cast<float>(v);
    return i + used;
}

// The first blank-separated word of s, as "%s" reads it.
std::string_view first_word(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    std::size_t j = i;
    while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j])))
        ++j;
    return s.substr(i, j - i);
}

// Removes line ends and trailing blanks.
void trim_end(std::string &s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n' || s.back() == '\t'))
        s.pop_back();
}

// Opens one of the system's tables read-only: along resource file_path;
// without that resource, a table missing from the working directory is taken
// from the system's data directory (as the name convention table is). Only
// files that can be read again from their start are accepted: the tables are
// rewound for every search. `tried` gets the name to report when none opens.
FILE *open_table(const char *name, std::string &tried) {
    tried = FILE_table_path(name);
    FILE *file = FILE_is_stdio(name) ? nullptr : FILE_open(tried.c_str(), "r");
    if (file != nullptr && std::fseek(file, 0, SEEK_SET) != 0) {
        FILE_close(file);
        file = nullptr;
    }
    return file;
}

bool parse_running() {
    return base_ind >= 0 && base_ind < kBaseMax;
}

int kind_of(int ind) {
    return var[static_cast<std::size_t>(ind)].flag % 10;
}
int flag_of(int ind) {
    return var[static_cast<std::size_t>(ind)].flag;
}
int type_of(int ind) {
    return var[static_cast<std::size_t>(ind)].type;
}

bool grid_type(int type) {
    return type >= 10 && type <= 23;
}

// ---- Time words --------------------------------------------------------------

struct StatWord {
    const char *word;
    int number;
};
constexpr StatWord kStatWords[] = {{"rng", 2}, {"avg", 3},   {"acc", 4},  {"dif", 5},  {"max", 6},
                                   {"min", 7}, {"iavg", 13}, {"var", 18}, {"uavg", 23}};

int stat_number(std::string_view word) {
    for (const auto &s : kStatWords)
        if (iequals(word, s.word)) return s.number;
    return 2;
}

// The statistic word of a label with its trailing blank; empty for others.
std::string stat_label(int stat) {
    for (const auto &s : kStatWords)
        if (s.number == stat) return std::string(s.word) + " ";
    return {};
}

// ---- Level words -------------------------------------------------------------

struct LevelWord {
    const char *word;
    int ltype;
};
constexpr LevelWord kLevelWords[] = {
    {"none", 0},        {"snd", 0},         {"sfc", 1},         {"sf", 1},         {"sea", 1},
    {"se", 1},          {"frz", 4},         {"lcl", 5},         {"sl", 102},       {"mwnd", 6},
    {"trop", 7},        {"whole", 200},     {"top_frz", 204},   {"gcld_bot", 206}, {"gcld_top", 207},
    {"blcld_bot", 209}, {"blcld_top", 210}, {"blcld_lyr", 211}, {"lcld_bot", 212}, {"lcld_top", 213},
    {"lcld_lyr", 214},  {"cld_ceil", 215},  {"mcld_bot", 222},  {"mcld_top", 223}, {"mcld_lyr", 224},
    {"hcld_bot", 232},  {"hcld_top", 233},  {"hcld_lyr", 234},  {"conv_bot", 242}, {"conv_top", 243},
    {"conv_lyr", 244},  {"wbzero", 245},    {"maxepot", 246},   {"equilib", 247},  {"sconv_bot", 248},
    {"sconv_top", 249}, {"dconv_bot", 251}, {"dconv_top", 252}, {"sclw_bot", 253}, {"sclw_top", 254},
    {"miss", MISSING},
};

// The surface number written after "sfc" as '[n'; 0 when there is none.
int sfc_number(std::string_view text) {
    int n = 0;
    if (text.size() > 3 && text[3] == '[' && read_int(text.substr(4), &n) > 0) return n;
    return 0;
}

void trace_level(const char *str, int ltype, int level) {
    MESS_print(M_DEBUG_C, "Level: %s = %d %d\n", str, ltype, level);
}

// ---- Plot type words ---------------------------------------------------------

struct TypeWord {
    const char *word;
    int type;
};
constexpr TypeWord kTypeInput[] = {
    {"data", 1},   {"value", 2},  {"text", 3},   {"mark", 4},  {"mk", 4},      {"cont", 11},  {"ln", 12},
    {"dln", 13},   {"ndln", 14},  {"cf", 15},    {"lcf", 16},  {"gvalue", 17}, {"wind", 20},  {"vect", 21},
    {"barb", 22},  {"strm", 23},  {"track", 23}, {"plot", 30}, {"cloud", 31},  {"wbarb", 32}, {"cbarb", 33},
    {"dbarb", 34}, {"vbarb", 35}, {"symb", 36},  {"wx", 36},   {"line", 37},
};
constexpr TypeWord kTypePrint[] = {
    {"data", 1},   {"value", 2},  {"text", 3},   {"mark", 4},    {"int", 5},    {"map", 6},
    {"frame", 7},  {"panel", 8},  {"grid", 10},  {"cont", 11},   {"lcont", 12}, {"dln", 13},
    {"ndln", 14},  {"fcont", 15}, {"bcont", 16}, {"gvalue", 17}, {"wind", 20},  {"vect", 21},
    {"barb", 22},  {"strm", 23},  {"plot", 30},  {"cloud", 31},  {"wbarb", 32}, {"cbarb", 33},
    {"dbarb", 34}, {"vbarb", 35}, {"symb", 36},  {"line", 37},   {"const", 40},
};

// ---- Parameter table ---------------------------------------------------------

bool load_varfile() {
    return var_loaded || VAR_read_varfile() == 1;
}

// Parses one row of variable.lup: "n[,n...] abbr name".
bool parse_desc(const std::string &line, VAR_desc *desc) {
    std::string_view s(line);
    std::size_t i = 0;
    for (int k = 0; k < 5; ++k)
        desc->ind[k] = MISSING;
    int k = 0;
    while (k < 5) {
        int v = 0;
        const std::size_t used = read_int(s.substr(i), &v);
        if (used == 0) break;
        desc->ind[k++] = v;
        i += used;
        if (i < s.size() && s[i] == ',')
            ++i;
        else
            break;
    }
    if (k == 0) return false;
    // The rest of the number field, then the abbreviation.
    while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    const std::string_view abbr = first_word(s.substr(i));
    if (abbr.empty()) return false;
    i = static_cast<std::size_t>(abbr.data() + abbr.size() - s.data());
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    std::string name(s.substr(i));
    trim_end(name);
    copy_text(desc->abbr, sizeof desc->abbr, abbr);
    copy_text(desc->name, sizeof desc->name, name);
    return true;
}

// ---- Level labels ------------------------------------------------------------

// Label texts of the level types that carry no number: short and long.
struct LevelLabel {
    int ltype;
    const char *brief;
    const char *full;
};
constexpr LevelLabel kLevelLabels[] = {
    {2, "cld_bot", "Cloud base"},
    {3, "cld_top", "Cloud top"},
    {4, "frz", "Frz level"},
    {5, "lcl", "LCL"},
    {6, "mwnd", "Max wind"},
    {7, "trop", "Tropopause"},
    {8, "top", "Top"},
    {102, "sl", "Sea level"},
    {200, "whole", "Whole atms"},
    {204, "top_frz", "Top frz level"},
    {206, "gscld_bot", "Grid cld bot lvl"},
    {207, "gscld_top", "Grid cld top lvl"},
    {209, "blcld_bot", "Bound lyr cld bot"},
    {210, "blcld_top", "Bound lyr cld top"},
    {211, "blcld_lyr", "Bound lyr cld lyr"},
    {212, "lcld_bot", "Low cld bot lvl"},
    {213, "lcld_top", "Low cld top lvl"},
    {214, "lcld_lyr", "Low cld lyr"},
    {215, "cld_ceil", "Cld ceiling"},
    {222, "mcld_bot", "Mid cld bot lvl"},
    {223, "mcld_top", "Mid cld top lvl"},
    {224, "mcld_lyr", "Mid cld lyr"},
    {232, "hcld_bot", "High cld bot lvl"},
    {233, "hcld_top", "High cld top lvl"},
    {234, "hcld_lyr", "High cld lyr"},
    {242, "conv_bot", "Conv cld bot lvl"},
    {243, "conv_top", "Conv cld top lvl"},
    {244, "conv_lyr", "Conv cld lyr"},
    {245, "wbzero", "Wet bulb zero lvl"},
    {246, "maxepot", "Max eq pot temp lvl"},
    {247, "equilib", "Equilibrium lvl"},
    {248, "sccld_bot", "Shal Conv cld bot lvl"},
    {249, "sccld_top", "Shal Conv cld top lvl"},
    {251, "dccld_bot", "Deep Conv cld bot lvl"},
    {252, "dccld_top", "Deep Conv cld top lvl"},
    {253, "sclw_bot", "Supercool liq wat bot"},
    {254, "sclw_top", "Supercool liq wat top"},
};

// Level label, short (brief) or long form. Returns false for a level type
// that has no label.
bool level_label(int ltype, int level, bool brief, std::string &out) {
    out.clear();
    const int n = level;
    const int first = level % 1000;
    const int second = level / 1000;
    switch (ltype) {
    case 0:
    case 9:
    case 10:
        return true;
    case 1:
        if (n > 2000)
            out = format(brief ? "sfc[%d]" : "Surface[%d]", n - 2000);
        else if (n >= 1)
            out = format(brief ? "sfc[%d]" : "Surface[%d]", n);
        else
            out = brief ? "sfc" : "Surface";
        return true;
    case 100:
        out = format(brief ? "%dmb" : "%d mb", n);
        return true;
    case 101: {
        if (n > 1000) {
            const int bottom = (n % 1000) * 10;
            const int top = (n / 1000) * 10;
            if (bottom == 1900 || bottom == 2000)
                out = format(brief ? "sfc-%dmb" : "sfc-%d mb", top);
            else if (bottom == 1950 && !brief)
                out = format("trop-%d mb", top);
            else if (bottom > 2000)
                out = format(brief ? "sfc[%d]-%dmb" : "sfc[%d]-%d mb", bottom - 2000, top);
            else if (brief)
                out = format("%d-%dmb", top, bottom);
            else
                out = format("%d-%d mb", bottom, top);
        } else if (!brief) {
            if (n == 510)
                out = "1000-500 mb";
            else if (n == 508)
                out = "850-500 mb";
            else if (n == 599)
                out = "SFC-500 mb";
        }
        return true;
    }
    case 103:
        out = format(brief ? "%dm" : "%d m", n);
        return true;
    case 104:
        if (!brief && first * 100 == 99500)
            out = format("trop+%d m", second * 100);
        else
            out = format(brief ? "%d-%dm" : "%d-%d m", first * 100, second * 100);
        return true;
    case 105:
        out = format(brief ? "%dm_ag" : "%d m AG", n);
        return true;
    case 106:
        out = format(brief ? "%d-%dm_ag" : "%d-%d m AG", first * 100, second * 100);
        return true;
    case 107:
        out = format(brief ? "%3.2fsig" : "%3.2f sigma", n / 10000.0);
        return true;
    case 108:
        // Sigma and eta layers hold each bound in thousandths.
        out = format(brief ? "%3.2f-%3.2fsig" : "%3.2f-%3.2f sigma", first / 1000.0, second / 1000.0);
        return true;
    case 109:
        out = format(brief ? "%dlev" : "%d lev", n);
        return true;
    case 111:
        out = format(brief ? "%dcm_bg" : "%d cm BG", n);
        return true;
    case 112:
        out = format(brief ? "%d-%dcm_bg" : "%d-%d cm BG", first, second);
        return true;
    case 113:
        out = format(brief ? "%dK" : "%d K", n);
        return true;
    case 114:
        out = format(brief ? "%3.0f-%3.0fK" : "%3.0f-%3.0f K", static_cast<double>(first),
                     static_cast<double>(second));
        return true;
    case 115:
        out = format(brief ? "%dmb_ag" : "%d mb AG", n);
        return true;
    case 116:
        out = format(brief ? "%d-%dmb_ag" : "%d-%d mb AG", first, second);
        return true;
    case 117:
        out = format(brief ? "%d*10^-6Km2/kgs" : "%d*10^-6 Km2/kgs", n);
        return true;
    case 119:
        out = format(brief ? "%3.2feta" : "%3.2f Eta", n / 10000.0);
        return true;
    case 120:
        out = format(brief ? "%3.2f-%3.2feta" : "%3.2f-%3.2f Eta", first / 1000.0, second / 1000.0);
        return true;
    default:
        break;
    }
    for (const auto &l : kLevelLabels)
        if (l.ltype == ltype) {
            out = brief ? l.brief : l.full;
            return true;
        }
    return false;
}

// The long time part of a label: period, unit and statistic word.
std::string time_part(int time) {
    const int s = time / 1000000;
    if (s <= 1) return {};
    const int start = (time % 1000000) / 1000;
    const int e = time % 1000;
    const int p = s <= 9 ? std::abs(e - start) : e;
    std::string out;
    if (e > 899)
        out = format("%d month ", p);
    else if (e > 799)
        out = format("%d day ", p);
    else
        out = format("%d hour ", p);
    out += stat_label(s);
    return out;
}

std::string datalevel(int time, int ltype, int level) {
    std::string out = time_part(time);
    std::string lev;
    if (!level_label(ltype, level, false, lev) && ltype > 0)
        MESS_print(M_WARN, "VAR_make_datatype: no ltype: %d\n", ltype);
    out += lev;
    return out;
}

bool label_with_level() {
    const int t = PLT_get_label_type();
    return t >= -1 && t <= 1;
}

std::string make_datatype(int time, int ltype, int level, int variable, const char *units) {
    std::string out;
    if (label_with_level()) {
        out = datalevel(time, ltype, level);
        if (!out.empty()) out.push_back(' ');
    }
    char name[50];
    VAR_str(name, sizeof name, variable, units);
    out += name;
    return out;
}

std::string vardata_form(const VAR_data *data) {
    char label[80];
    copy_text(label, sizeof label,
              make_datatype(data->time, data->ltype, data->level, data->var[0], data->units));
    std::string out = label;
    if (data->format[0] != '\0' && PLT_get_label_type() > 0) {
        out += " - ";
        out += data->format;
    }
    return out;
}

} // namespace

// ---- The variable list -------------------------------------------------------

int VAR_init() {
    for (auto &v : var)
        VAR_data_init(&v);
    return 0;
}

int VAR_data_init(VAR_data *data) {
    data->type = MISSING;
    data->name[0] = '\0';
    data->units[0] = '\0';
    for (int &v : data->var)
        v = MISSING;
    data->tstat = 0;
    data->time = MISSING;
    data->lstat = 0;
    data->ltype = MISSING;
    data->level = MISSING;
    data->format[0] = '\0';
    data->flag = 0;
    return 0;
}

int VAR_copy(VAR_data *dat2, const VAR_data *dat1) {
    if (dat2 != dat1) std::memcpy(dat2, dat1, sizeof *dat2);
    dat2->type = 0;
    dat2->units[0] = '\0';
    dat2->format[0] = '\0';
    return 0;
}

int VAR_reset() {
    varnum = 0;
    return 0;
}
int VAR_get_num() {
    return varnum;
}
int VAR_set_num(int num) {
    varnum = num;
    return 0;
}
VAR_data *VAR_get_vars() {
    return var.data();
}
VAR_data *VAR_get_var(int ind) {
    return &var[static_cast<std::size_t>(ind)];
}
int VAR_set_def_type(int val) {
    def_type = val;
    return 0;
}

char *VAR_get_name(int ind) {
    return var[static_cast<std::size_t>(ind)].name;
}
char *VAR_get_units(int ind) {
    return var[static_cast<std::size_t>(ind)].units;
}
char *VAR_get_format(int ind) {
    return var[static_cast<std::size_t>(ind)].format;
}
int VAR_get_time(int ind) {
    return var[static_cast<std::size_t>(ind)].time;
}
int VAR_get_type(int ind) {
    return type_of(ind);
}
int VAR_set_type(int ind, int val) {
    var[static_cast<std::size_t>(ind)].type = val;
    return 1;
}
int VAR_get_flag(int ind) {
    return flag_of(ind);
}
int VAR_set_flag(int ind, int val) {
    var[static_cast<std::size_t>(ind)].flag = val;
    return 1;
}

const char *VAR_get_level_key(int ind) {
    static char key[12];
    std::snprintf(key, sizeof key, "%d", var[static_cast<std::size_t>(ind)].level);
    return key;
}

const char *VAR_get_time_key(int ind) {
    static char key[12];
    std::snprintf(key, sizeof key, "%d", var[static_cast<std::size_t>(ind)].time);
    return key;
}

int VAR_set_model_str(const char *str) {
    copy_text(model_str, sizeof model_str, str != nullptr ? str : "");
    return 0;
}
int VAR_set_level_str(const char *str) {
    copy_text(level_str, sizeof level_str, str != nullptr ? str : "");
    return 0;
}
int VAR_set_time_str(const char *str) {
    copy_text(time_str, sizeof time_str, str != nullptr ? str : "");
    return 0;
}
const char *VAR_get_model_str() {
    return model_str;
}
const char *VAR_get_level_str() {
    return level_str;
}
const char *VAR_get_time_str() {
    return time_str;
}

// ---- Classification ----------------------------------------------------------

int VAR_is_REG(int ind) {
    return kind_of(ind) == 0;
}
int VAR_is_SUBREG(int ind) {
    return kind_of(ind) == 1;
}
int VAR_is_FUNC(int ind) {
    return kind_of(ind) == 2;
}
int VAR_is_SUBFUNC(int ind) {
    return kind_of(ind) == 3;
}
int VAR_is_FUNC_VECT(int ind) {
    if (kind_of(ind) == 8) return 1;
    // The entry after the last one in use is never a companion.
    return kind_of(ind) == 2 && ind + 1 < varnum && ind + 1 < VAR_MAX && kind_of(ind + 1) == 8;
}
int VAR_is_SUBFUNC_VECT(int ind) {
    return kind_of(ind) == 9;
}
int VAR_is_COMP(int ind) {
    return kind_of(ind) == 5;
}
int VAR_is_VECT(int ind) {
    return kind_of(ind) == 6;
}
int VAR_is_CALC(int ind) {
    return kind_of(ind) == 0 || kind_of(ind) == 1;
}
int VAR_is_SUBCALC(int ind) {
    return VAR_is_CALC(ind);
}
int VAR_is_LABEL(int ind) {
    const int f = flag_of(ind);
    return f == 0 || f == 2 || f == 5 || f == 6;
}
int VAR_is_PLOT(int ind) {
    return flag_of(ind) < 5;
}
int VAR_is_SUBPLOT(int ind) {
    return flag_of(ind) < 3 || flag_of(ind) == 10;
}
int VAR_is_DATA(int ind) {
    const int t = type_of(ind);
    return flag_of(ind) <= 10 && !(t >= 20 && t <= 23);
}
int VAR_is_type_MAP(int ind) {
    return type_of(ind) == 6;
}
int VAR_is_FRAME(int ind) {
    return type_of(ind) == 7;
}
int VAR_is_PANEL(int ind) {
    return type_of(ind) == 8;
}
int VAR_is_type_PLOT(int ind) {
    const int t = type_of(ind);
    return !(t == 6 || t == 7 || t == 8 || grid_type(t));
}
int VAR_is_type_GRID(int ind) {
    return grid_type(type_of(ind)) && kind_of(ind) <= 3;
}
int VAR_is_type_CONT(int ind) {
    return type_of(ind) >= 10 && type_of(ind) <= 17;
}
int VAR_is_type_VECT(int ind) {
    return type_of(ind) >= 20 && type_of(ind) <= 23;
}
int VAR_is_plot_PLOT(int ind) {
    return VAR_is_PLOT(ind) && VAR_is_type_PLOT(ind);
}
int VAR_is_plot_VECT(int ind) {
    return flag_of(ind) <= 9 && VAR_is_VECT(ind);
}
int VAR_is_plot_FUNC(int ind) {
    return flag_of(ind) <= 9 && VAR_is_FUNC(ind);
}
int VAR_is_plot_FUNC_VECT(int ind) {
    return flag_of(ind) <= 9 && VAR_is_FUNC_VECT(ind);
}
int VAR_is_plot_GRID(int ind) {
    return VAR_is_PLOT(ind) && grid_type(type_of(ind));
}
int VAR_is_subplot_GRID(int ind) {
    return VAR_is_SUBPLOT(ind) && type_of(ind) >= 11 && type_of(ind) <= 23;
}
int VAR_is_plot_CONT(int ind) {
    return type_of(ind) >= 11 && type_of(ind) <= 17;
}
int VAR_is_calc_GRID(int ind) {
    return (VAR_is_FUNC(ind) || VAR_is_SUBFUNC(ind)) && grid_type(type_of(ind));
}
int VAR_is_fit_GRID(int ind) {
    return VAR_is_CALC(ind) && grid_type(type_of(ind));
}
int VAR_is_get_GRID(int ind) {
    return !VAR_is_FUNC(ind) && grid_type(type_of(ind));
}

// ---- Decoders ----------------------------------------------------------------

int VAR_base_push() {
    // Beyond the stack's depth the level is counted but not stored, so that
    // pops stay paired; the decoders then fall back to the flag-slot defaults.
    ++base_ind;
    if (!parse_running()) {
        MESS_print(M_DEBUG_C, "VAR_base_push: nesting deeper than %d\n", kBaseMax);
        return 0;
    }
    const VAR_data &v = var[static_cast<std::size_t>(varnum < VAR_MAX ? varnum : VAR_MAX - 1)];
    base[static_cast<std::size_t>(base_ind)] = {v.type, v.time, v.tstat, v.ltype, v.level, v.lstat};
    const VarBase &b = base[static_cast<std::size_t>(base_ind)];
    MESS_print(M_DEBUG_C, "VAR_base_push: %d = %d %d %d %d %d\n", base_ind, b.type, b.tstat, b.time, b.lstat,
               b.ltype);
    return 0;
}

int VAR_dec_time(const char *str, int *time) {
    const std::string_view text = str != nullptr ? std::string_view(str) : std::string_view();

    if (text.empty()) {
        if (parse_running()) {
            *time = base[static_cast<std::size_t>(base_ind)].time;
            return base[static_cast<std::size_t>(base_ind)].tstat;
        }
        if (FLAG_get(FLAG_TIME) != MISSING) {
            *time = FLAG_get(FLAG_TIME);
            return 1;
        }
        *time = 0;
        return 2;
    }

    // "%[^-]-%d%s": head, number after the '-', statistic word after the number.
    const std::size_t dash = text.find('-');
    const std::string_view head = text.substr(0, std::min<std::size_t>(dash, 49));
    if (head.empty()) return 0;
    int fields = 1;
    int num = 0;
    std::string_view stat;
    if (dash != std::string_view::npos) {
        const std::string_view rest = text.substr(dash + 1);
        const std::size_t used = read_int(rest, &num);
        if (used > 0) {
            fields = 2;
            stat = first_word(rest.substr(used));
            if (!stat.empty()) fields = 3;
        }
    }
    const int s = fields == 3 ? stat_number(stat) : 0;

    int base_time = 0;
    if (parse_running())
        base_time = base[static_cast<std::size_t>(base_ind)].time;
    else if (FLAG_get(FLAG_TIME) != MISSING)
        base_time = FLAG_get(FLAG_TIME);

    // A forecast hour, optionally the end of a period of num hours.
    auto period = [&](long long hour) {
        return fields == 3 ? combine(s, 1000000, combine(static_cast<long long>(hour) - num, 1000, hour))
                           : to_int(static_cast<double>(hour));
    };
    const char c0 = static_cast<char>(std::tolower(static_cast<unsigned char>(head[0])));
    const bool digit1 = head.size() > 1 && is_digit(head[1]);

    if (iequals(head, "time")) {
        const int e = base_time % 1000;
        if (fields == 1)
            *time = base_time;
        else if (fields == 2)
            *time = combine(e, 1, -static_cast<long long>(num));
        else
            *time = combine(s, 1000000, combine(static_cast<long long>(e) - num, 1000, e));
        return 1;
    }
    if (iequals(head, "anal")) {
        *time = fields == 3 ? combine(s, 1000000, combine(num, 1000, 0)) : 0;
        return 2;
    }
    if (iequals(head, "miss")) {
        *time = MISSING;
        return 2;
    }
    if (iequals(head, "init") || iequals(head, "in")) {
        *time = 0;
        return 2;
    }
    if (c0 == 'h' && digit1) {
        int h = 0;
        read_int(head.substr(1), &h);
        *time = period(h);
        return 2;
    }
    if ((c0 == 'd' || c0 == 'e') && digit1) {
        int d = 0;
        read_int(head.substr(1), &d);
        *time = c0 == 'd' ? combine(d, 24, 0) : combine(d, 24, 12);
        return 2;
    }
    if (is_digit(head[0])) {
        int n = 0;
        const std::size_t used = read_int(head, &n);
        const std::string_view unit = first_word(head.substr(used));
        long long hour = n;
        if (iequals(unit, "day") || iequals(unit, "d"))
            hour = n * 24LL;
        else if (iequals(unit, ".5day") || iequals(unit, "e"))
            hour = n * 24LL + 12;
        *time = period(hour);
        return 2;
    }
    return 0;
}

int VAR_dec_level(const char *str, int *ltype, int *level) {
    const std::string_view text = str != nullptr ? std::string_view(str) : std::string_view();

    if (text.empty()) {
        if (parse_running()) {
            const VarBase &b = base[static_cast<std::size_t>(base_ind)];
            *ltype = b.ltype;
            *level = b.level;
            return b.lstat;
        }
        if (FLAG_get(FLAG_LTYPE) != MISSING) {
            *ltype = FLAG_get(FLAG_LTYPE);
            *level = FLAG_get(FLAG_LEVEL);
            return 1;
        }
        return 2;
    }
    if (iequals(text, "level")) {
        *ltype = FLAG_get(FLAG_LTYPE);
        *level = FLAG_get(FLAG_LEVEL);
        return 1;
    }

    auto done = [&](int t, int l) {
        *ltype = t;
        *level = l;
        trace_level(str, t, l);
        return 2;
    };

    for (const auto &w : kLevelWords)
        if (iequals(text, w.word)) return done(w.ltype, w.ltype == MISSING ? MISSING : 0);

    // Prefix forms: p, h, a, k with whole numbers, s with decimal numbers.
    const char c0 = text[0];
    if (c0 == 'p' || c0 == 'h' || c0 == 'a' || c0 == 'k') {
        const std::string_view rest = text.substr(1);
        int n = 0;
        int m = 0;
        const std::size_t used = read_int(rest, &n);
        if (used > 0) {
            const bool two =
                used < rest.size() && rest[used] == '-' && read_int(rest.substr(used + 1), &m) > 0;
            switch (c0) {
            case 'p':
                if (!two) return done(100, n);
                {
                    const int bottom = n > m ? n : m;
                    const int top = n > m ? m : n;
                    return done(101, combine(top / 10, 1000, bottom / 10));
                }
            case 'h':
                return two ? done(104, combine(m / 100, 1000, n / 100)) : done(103, n);
            case 'a':
                return two ? done(106, combine(m / 100, 1000, n / 100)) : done(105, n);
            default:
                return two ? done(114, combine(m, 1000, n)) : done(113, n);
            }
        }
    }
    if (c0 == 's' && text.size() > 1 && is_digit(text[1])) {
        const std::string_view rest = text.substr(1);
        float f = 0;
        float g = 0;
        const std::size_t used = read_float(rest, &f);
        if (used < rest.size() && rest[used] == '-' && read_float(rest.substr(used + 1), &g) > 0)
            return done(108, combine(to_int(g * 1000.0f), 1000, to_int(f * 1000.0f)));
        return done(107, to_int(f * 10000.0f));
    }

    if (text == "-") return done(9, 0);

    // Two-part forms: split at the first '-' after the first character, else
    // at the first '+' (the '+' form).
    std::size_t split = text.find('-', 1);
    bool plus = false;
    if (split == std::string_view::npos) {
        split = text.find('+', 1);
        plus = split != std::string_view::npos;
    }
    if (split != std::string_view::npos) {
        const std::string_view a = text.substr(0, split);
        std::string_view b = text.substr(split + 1);
        if (const std::size_t blank = b.find(' '); blank != std::string_view::npos) b = b.substr(0, blank);
        float na = 0;
        float nb = 0;
        const std::size_t ua_len = read_float(a, &na);
        const std::size_t ub_len = read_float(b, &nb);
        const std::string_view unit_a = ua_len > 0 ? first_word(a.substr(ua_len)) : std::string_view();
        const std::string_view unit_b = ub_len > 0 ? first_word(b.substr(ub_len)) : std::string_view();
        int first = ua_len > 0 ? to_int(na) : MISSING;
        int second = ub_len > 0 ? to_int(nb) : MISSING;

        struct UnitType {
            const char *unit;
            int ltype;
            bool feet;
        };
        static constexpr std::array<UnitType, 9> kUnits = {{{"ft", 104, true},
                                                            {"m", 104, false},
                                                            {"ft_ag", 106, true},
                                                            {"m_ag", 106, false},
                                                            {"mb_ag", 116, false},
                                                            {"k", 114, false},
                                                            {"mb", 101, false},
                                                            {"sig", 108, false},
                                                            {"eta", 120, false}}};
        auto to_m = [](int bound) { return bound == MISSING ? MISSING : to_int(bound * 0.3048); };
        int t = *ltype;
        bool matched = false;
        for (const auto &u : kUnits) {
            if (iequals(unit_a, u.unit)) {
                t = u.ltype;
                matched = true;
                if (u.feet) first = to_m(first);
            }
            if (iequals(unit_b, u.unit)) {
                t = u.ltype;
                matched = true;
                if (u.feet) second = to_m(second);
            }
        }
        if (!matched && ua_len > 0 && ub_len > 0 && unit_a.empty() && unit_b.empty()) t = 101;

        int lev = *level;
        bool known = true;
        switch (t) {
        case 104:
        case 106:
            if (t == 104 && iequals(a, "trop")) first = plus ? 99500 : 99600;
            known = first != MISSING && second != MISSING;
            if (known) lev = combine(second / 100, 1000, first / 100);
            break;
        case 101: {
            int bottom = MISSING;
            int top = second;
            if (ua_len == 0) {
                if (istarts_with(a, "sfc")) {
                    const int n = sfc_number(a);
                    bottom = n > 0 ? 2000 + n : 1900;
                } else if (iequals(a, "maxt")) {
                    bottom = 1910;
                } else if (iequals(a, "trop")) {
                    bottom = 1950;
                }
            } else {
                bottom = first > second ? first : second;
                top = first > second ? second : first;
            }
            known = bottom != MISSING && top != MISSING;
            if (known) lev = combine(top / 10, 1000, bottom / 10);
            break;
        }
        case 108:
        case 120:
            known = ua_len > 0 && ub_len > 0;
            if (known) lev = combine(to_int(nb * 1000.0f), 1000, to_int(na * 1000.0f));
            break;
        default:
            known = first != MISSING && second != MISSING;
            if (known) lev = combine(second, 1000, first);
            break;
        }
        if (!known) {
            // A bound that is neither a number nor a known word: nothing decoded.
            trace_level(str, *ltype, *level);
            return 2;
        }
        return done(t, lev);
    }

    // Single form: a number and a unit word, or "sfc" with an optional '[n'.
    float num = 0;
    const std::size_t used = read_float(text, &num);
    if (used == 0) {
        if (istarts_with(text, "sfc")) return done(1, sfc_number(text));
        trace_level(str, *ltype, *level);
        return 2;
    }
    const std::string_view unit = first_word(text.substr(used));
    const int whole = to_int(num);
    const int feet = num == FMISSING ? MISSING : to_int(num * 0.3048);
    if (unit.empty()) return done(100, whole);
    struct SingleUnit {
        const char *unit;
        int ltype;
        int level;
    };
    const std::array<SingleUnit, 11> units = {{{"ft", 103, feet},
                                               {"ft_ag", 105, feet},
                                               {"m", 103, whole},
                                               {"m_ag", 105, whole},
                                               {"k", 113, whole},
                                               {"mb", 100, whole},
                                               {"mb_ag", 115, whole},
                                               {"sig", 107, to_int(num * 10000.0f)},
                                               {"lev", 109, whole},
                                               {"pv", 117, whole},
                                               {"eta", 119, to_int(num * 10000.0f)}}};
    for (const auto &u : units)
        if (iequals(unit, u.unit)) return done(u.ltype, u.level);
    return done(*ltype, whole);
}

int VAR_get_level(int ltype, int level, float *l1, float *l2) {
    float a = 0;
    float b = 0;
    switch (ltype) {
    case 101:
        a = static_cast<float>((level / 1000) * 10);
        b = static_cast<float>((level % 1000) * 10);
        break;
    case 104:
    case 106:
        a = static_cast<float>((level / 1000) * 100);
        b = static_cast<float>((level % 1000) * 100);
        break;
    case 114:
    case 116:
        a = static_cast<float>(level / 1000);
        b = static_cast<float>(level % 1000);
        break;
    default:
        *l1 = static_cast<float>(level);
        *l2 = FMISSING;
        return 0;
    }
    *l1 = a > b ? a : b;
    *l2 = a > b ? b : a;
    return 0;
}

int VAR_enc_level(int coord, float l1, float l2, int *ltype, int *level) {
    *ltype = coord;
    *level = to_int(l1);
    const int z1 = to_int(l1);
    const int z2 = to_int(l2);
    const bool two = l2 != FMISSING;
    if (coord == 101 || (coord == 100 && two)) {
        *ltype = 101;
        *level = combine(z2 / 10, 1000, z1 / 10);
    } else if (coord == 104 || (coord == 103 && two)) {
        *ltype = 104;
        *level = combine(z2 / 100, 1000, z1 / 100);
    } else if (coord == 106 || (coord == 105 && two)) {
        *ltype = 106;
        *level = combine(z2 / 100, 1000, z1 / 100);
    } else if (coord == 114 || (coord == 113 && two)) {
        *ltype = 114;
        *level = combine(z2, 1000, z1);
    } else if (coord == 108 || (coord == 107 && two)) {
        *ltype = 108;
        *level = combine(z2, 1000, z1);
    }
    return 0;
}

int VAR_dec_var(const char *str, VAR_data *data) {
    const std::string_view name = str != nullptr ? std::string_view(str).substr(0, 49) : std::string_view();
    copy_text(data->name, sizeof data->name, name);
    const int plt = FLAG_get(FLAG_PLOT_TYPE);
    MESS_print(M_DEBUG_C, "TYPE: %d cur:%d def:%d fl: %d plt: %d\n", data->type, cur_type, def_type,
               data->flag, plt);

    if (!name.empty() && name[0] == '#') {
        data->type = 40;
        return 1;
    }

    // The plot type.
    const int k = data->flag % 10;
    const bool plt_grid = plt >= 10 && plt <= 23;
    const bool plt_forced = (plt >= 12 && plt <= 17) || (plt >= 21 && plt <= 23);
    const int math = k == 2 ? GRD_is_math_func(std::string(name).c_str()) : 0;
    if (k == 6)
        data->type = plt_grid ? plt : 10;
    else if (k == 2 && math != 0)
        data->type = plt_grid ? plt : math;
    else if (parse_running() && grid_type(base[static_cast<std::size_t>(base_ind)].type))
        data->type = plt_forced ? plt : 10;
    else if (plt_forced)
        data->type = plt;
    else if (data->type == MISSING)
        data->type = def_type;
    MESS_print(M_DEBUG_C, "DATA TYPE: %d\n", data->type);
    if (name.empty()) return 0;

    // Ensemble and probability prefixes, then the key.
    const std::string whole(name);
    const std::size_t dash = name.find('-');
    std::string key(dash == std::string_view::npos ? name : name.substr(dash + 1));
    enum class Ens { none, mean, dev, prob, member } ens = Ens::none;
    char sign = 0;
    int member = 0;
    float prob = 0;
    int v = 0;
    char kbuf[50] = "";
    if (whole.rfind("ensmean[", 0) == 0) {
        ens = Ens::mean;
        key = std::sscanf(whole.c_str(), "ensmean[]%49s", kbuf) == 1 ? kbuf : "";
        MESS_print(M_DEBUG_C, "ensmean: %s\n", key.c_str());
    } else if (whole.rfind("ensdev[", 0) == 0) {
        ens = Ens::dev;
        key = std::sscanf(whole.c_str(), "ensdev[]%49s", kbuf) == 1 ? kbuf : "";
        MESS_print(M_DEBUG_C, "ensdev: %s\n", key.c_str());
    } else if (whole.rfind("ensprob[", 0) == 0) {
        ens = Ens::prob;
        if (std::sscanf(whole.c_str(), "ensprob[%c%f]%49s", &sign, &prob, kbuf) != 3) kbuf[0] = '\0';
        key = kbuf;
        MESS_print(M_DEBUG_C, "ensprob: %c - %f - %s\n", sign != 0 ? sign : ' ', static_cast<double>(prob),
                   key.c_str());
    } else if (whole.rfind("ens[", 0) == 0) {
        ens = Ens::member;
        if (std::sscanf(whole.c_str(), "ens[%c%d]%49s", &sign, &member, kbuf) < 3) {
            sign = 'c';
            member = 0;
            if (std::sscanf(whole.c_str(), "ens[%d]%49s", &member, kbuf) < 2) kbuf[0] = '\0';
        }
        key = kbuf;
        MESS_print(M_DEBUG_C, "ens: %c - %d - %s\n", sign, member, key.c_str());
    } else {
        int n = 0;
        if (read_int(key, &n) > 0) v = n;
    }
    data->var[0] = v;

    if (load_varfile()) {
        const std::string_view plain = !key.empty() && key[0] == '+' ? std::string_view(key).substr(1) : key;
        for (const auto &row : var_list) {
            if (v != 0 && row.ind[0] == v) {
                copy_text(data->name, sizeof data->name, row.name);
                break;
            }
            if (iequals(row.abbr, key) || iequals(row.abbr, plain)) {
                for (int i = 0; i < 5; ++i)
                    data->var[i] = row.ind[i];
                break;
            }
        }
    }

    const int p = data->var[0];
    switch (ens) {
    case Ens::mean:
        data->var[0] = combine(p, 1, 19000000);
        break;
    case Ens::dev:
        data->var[0] = combine(p, 1, 19001000);
        break;
    case Ens::member:
        if (sign == 'c')
            data->var[0] = combine(p, 1, 19300000);
        else if (sign == '-')
            data->var[0] = combine(member, 1000, combine(p, 1, 19320000));
        else if (sign == '+')
            data->var[0] = combine(member, 1000, combine(p, 1, 19340000));
        break;
    case Ens::prob: {
        const int q = float2int(prob);
        int code = 0;
        if (sign == '<')
            code = q >= 0 ? 1910001000 : 1910006000;
        else if (sign == '>')
            code = q >= 0 ? 1910002000 : 1910007000;
        else if (sign == '^')
            code = q >= 0 ? 1910003000 : 1910008000;
        if (code != 0) data->var[0] = combine(p, 10000, std::abs(static_cast<long long>(q)) + code);
        break;
    }
    case Ens::none:
        break;
    }
    return data->var[0];
}

int VAR_dec_type(const char *str) {
    if (str == nullptr) return -1;
    for (const auto &t : kTypeInput)
        if (iequals(str, t.word)) return t.type;
    return -1;
}

const char *VAR_print_type(int type) {
    for (const auto &t : kTypePrint)
        if (t.type == type) return t.word;
    return "----";
}

int VAR_dec_units(const char *str, VAR_data *data) {
    if (str != nullptr && str[0] != '\0') copy_text(data->units, sizeof data->units, str);
    return 0;
}

int VAR_dec_format(const char *str, VAR_data *data) {
    int result = 0;
    const int t = VAR_dec_type(str);
    if (t >= 0) {
        data->type = t;
        result = 2;
    }
    const int plt = FLAG_get(FLAG_PLOT_TYPE);
    if (data->type == 30 || data->type == 20 || data->type == 21 || data->type == 23 || plt == MISSING ||
        plt == 0 || plt == 99)
        return result;
    data->type = 11;
    return 1;
}

// ---- Parameter, source and model tables ----------------------------------------

int VAR_read_varfile() {
    std::string name;
    FILE *file = open_table("variable.lup", name);
    if (file == nullptr) {
        MESS_print(M_WARN_C, "VAR_read_varfile: Unable to open file: %s\n", name.c_str());
        return 0;
    }
    int result = 1;
    try {
        var_list.clear();
        std::string line;
        while (var_list.size() < kMaxDesc && fget_anyline(file, line)) {
            VAR_desc desc{};
            if (parse_desc(line, &desc)) var_list.push_back(desc);
        }
        var_loaded = true;
    } catch (const std::bad_alloc &) {
        var_list.clear();
        result = -1;
    }
    FILE_close(file);
    return result;
}

int VAR_search_var_num(const char *str) {
    if (str == nullptr || !load_varfile()) return 0;
    for (const auto &row : var_list)
        if (iequals(row.abbr, str)) return row.ind[0];
    return 0;
}

char *VAR_str(char *str, std::size_t size, int variable, const char *units) {
    copy_text(str, size, "");
    const int v = variable % 1000;
    std::string out;
    const VAR_desc *found = nullptr;
    if (load_varfile())
        for (const auto &row : var_list)
            if (row.ind[0] == v) {
                found = &row;
                break;
            }
    if (found != nullptr) {
        out = PLT_get_label_type() < 0 ? found->abbr : found->name;
    } else {
        out = format("v%d", v);
        MESS_print(M_DEBUG_C, "VAR_str: no var: %d\n", v);
    }
    if (units != nullptr && units[0] != '\0') out += format(" (%s)", units);
    copy_text(str, size, out);
    return str;
}

char *VAR_abbr(char *str, std::size_t size, int variable) {
    copy_text(str, size, "");
    if (load_varfile())
        for (const auto &row : var_list)
            if (row.ind[0] == variable) {
                copy_text(str, size, row.abbr);
                return str;
            }
    MESS_print(M_DEBUG_C, "VAR_abbr: no var: %d\n", variable);
    return str;
}

char *VAR_source(char *str, std::size_t size, int source) {
    std::string name;
    FILE *file = open_table("source.lup", name);
    if (file == nullptr) {
        MESS_print(M_WARN_C, "VAR_source: Unable to open file: %s\n", name.c_str());
        return nullptr;
    }
    copy_text(str, size, "");
    std::string line;
    while (fget_anyline(file, line)) {
        int n = 0;
        const std::size_t used = read_int(line, &n);
        if (used == 0 || n != source) continue;
        std::size_t i = used;
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i >= line.size()) continue;
        std::string text = line.substr(i, 40);
        trim_end(text);
        copy_text(str, size, text);
        break;
    }
    FILE_close(file);
    return str;
}

char *VAR_model(char *str, std::size_t size, int rmod) {
    static FILE *mfile = nullptr;
    static int mod = -1;
    static int src = -1;
    static std::string name;

    const int asked_src = rmod > 1000 ? rmod / 1000 : -1;
    const int asked_mod = rmod > 1000 ? rmod % 1000 : rmod;

    if (mfile == nullptr) {
        std::string path;
        mfile = open_table("mod_name.lup", path);
        if (mfile == nullptr) {
            MESS_print(M_WARN_C, "VAR_model: Unable to open file: %s\n", path.c_str());
            return nullptr;
        }
        mod = -1;
        src = -1;
        name.clear();
    }
    if (asked_mod == mod && (src == -1 || src == asked_src)) {
        copy_text(str, size, name);
        return str;
    }

    copy_text(str, size, "");
    // Drop what the stream buffered so that a search reads the table as it is now.
    std::fflush(mfile);
    std::rewind(mfile);
    std::string line;
    while (fget_anyline(mfile, line)) {
        if (line.size() > 80) line.resize(80);
        if (!line.empty() && line[0] == '#') continue;
        if (string_is_blank(line.c_str())) break;
        int a = 0;
        const std::size_t used = read_int(line, &a);
        if (used == 0) continue;
        int row_src = -1;
        int row_mod = a;
        std::size_t i = used;
        int b = 0;
        if (i < line.size() && line[i] == ':') {
            const std::size_t used_b = read_int(std::string_view(line).substr(i + 1), &b);
            if (used_b > 0) {
                row_src = a;
                row_mod = b;
                i += 1 + used_b;
            }
        }
        if (row_mod != asked_mod || (row_src != -1 && row_src != asked_src)) continue;
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        std::string text = line.substr(i);
        trim_end(text);
        mod = row_mod;
        src = row_src;
        name = text;
        copy_text(str, size, name);
        break;
    }
    return str;
}

int DATE_make_label_for(int code, int model, time_t seconds, char *str, std::size_t size) {
    char name[81] = "";
    if (VAR_model(name, sizeof name, model) == nullptr) name[0] = '\0';
    return DATE_make_label_for_mod(code, name, seconds, str, size);
}

int DATE_make_label_for_time(int code, int model, const Date *date, char *str, std::size_t size) {
    char name[81] = "";
    if (VAR_model(name, sizeof name, model) == nullptr) name[0] = '\0';
    return DATE_make_label_for_time_mod(code, name, date, str, size);
}

// ---- Labels ------------------------------------------------------------------

char *VAR_time(char *str, std::size_t size, int time) {
    const int s = time / 1000000;
    const int start = (time % 1000000) / 1000;
    const int e = time % 1000;
    std::string out;
    if (s < 2) {
        out = e != 0 ? format("%dhr", e) : "init";
    } else {
        out = format("%dhr-%d", e, s <= 9 ? std::abs(e - start) : e);
        out += stat_label(s);
    }
    copy_text(str, size, out);
    return str;
}

char *VAR_level(char *str, std::size_t size, int ltype, int level) {
    std::string out;
    if (!level_label(ltype, level, true, out) && ltype > 0)
        MESS_print(M_WARN, "VAR_make_datatype: no ltype: %d\n", ltype);
    copy_text(str, size, out);
    return str;
}

int VAR_make_datalevel(int time, int ltype, int level, char *str, std::size_t size) {
    copy_text(str, size, datalevel(time, ltype, level));
    return 0;
}

int VAR_make_datatype(int time, int ltype, int level, int variable, const char *units, char *str,
                      std::size_t size) {
    copy_text(str, size, make_datatype(time, ltype, level, variable, units));
    return 0;
}

int VAR_make_var_datatype(int ind, char *str, std::size_t size) {
    const VAR_data &v = var[static_cast<std::size_t>(ind)];
    char label[80];
    copy_text(label, sizeof label, make_datatype(v.time, v.ltype, v.level, v.var[0], v.units));
    copy_text(str, size, label);
    return 0;
}

int VAR_make_var_form_datatype(int ind, char *str, std::size_t size) {
    copy_text(str, size, vardata_form(&var[static_cast<std::size_t>(ind)]));
    return 0;
}

int VAR_make_vardata_form_datatype(const VAR_data *data, char *str, std::size_t size) {
    copy_text(str, size, vardata_form(data));
    return 0;
}

int VAR_make_devtype(int time, int ltype, int level, const char *variable, const char *units, char *str,
                     std::size_t size) {
    std::string out;
    if (label_with_level()) {
        out = datalevel(time, ltype, level);
        if (!out.empty()) out.push_back(' ');
    }
    out += variable != nullptr ? variable : "";
    out += " (";
    out += units != nullptr ? units : "";
    out += ")";
    copy_text(str, size, out);
    return 0;
}

int PLT_get_label_type() {
    return label_type;
}

int PLT_set_label_type(int val) {
    label_type = val;
    return 0;
}

int VAR_param_decode() {
    int paramc = 0;
    char **paramv = nullptr;
    RES_getvals("plot_param", &paramc, &paramv);
    for (int i = 0; i < paramc; ++i) {
        const char *w = paramv[i];
        if (strnicmp(w, "labmin", 4) == 0)
            PLT_set_label_type(-2);
        else if (strnicmp(w, "labsimp", 4) == 0)
            PLT_set_label_type(-1);
        else if (strnicmp(w, "labnorm", 4) == 0)
            PLT_set_label_type(0);
        else if (strnicmp(w, "labcomp", 4) == 0)
            PLT_set_label_type(1);
    }
    free_parsed_array(paramc, paramv);
    return 0;
}

// ---- Tracing -----------------------------------------------------------------

int VAR_print(M_type lev, const VAR_data *data) {
    MESS_print(lev, "V: %-10s ", data->name);
    MESS_print(lev, "U: %-10s ", data->units);
    MESS_print(lev, "FH: %7d ", data->time);
    MESS_print(lev, "LT: %6d ", data->ltype);
    MESS_print(lev, "L: %7d ", data->level);
    MESS_print(lev, "VN: %6d ", data->var[0]);
    MESS_print(lev, "T: %5s ", VAR_print_type(data->type));
    MESS_print(lev, "F: %2d ", data->flag);
    MESS_print(lev, "FM: %s\n", data->format);
    return 0;
}

int VAR_print_all(M_type lev) {
    for (int i = 0; i < varnum && i < VAR_MAX; ++i)
        VAR_print(lev, &var[static_cast<std::size_t>(i)]);
    return 0;
}

int VAR_print_info(M_type lev, const VAR_data *data) {
    char label[80];
    VAR_make_datatype(data->time, data->ltype, data->level, data->var[0], data->units, label, sizeof label);
    MESS_print(lev, "%s\n", label);
    return 0;
}

// ---- Specification parser ----------------------------------------------------

namespace {

// Limits of the texts of a specification: one item, the inside of one pair of
// brackets, one definition of the definition file.
constexpr std::size_t kItemMax = 49;
constexpr std::size_t kBracketMax = 499;
constexpr std::size_t kDefMax = 999;
constexpr std::size_t kNameMax = sizeof(VAR_data::name) - 1;

int plevel = 0; // function depth
int vlevel = 0; // group and vector depth

// The open variable definition file.
FILE *ifile = nullptr;

// Where a parse stands against the limits of the list, the inheritance stack
// and the texts. A parse that meets a limit stops, and the list is cut back
// to the entries of the top-level elements completed before it, so that no
// function, group or vector is left without the entries that belong to it.
struct ParseGuard {
    int calls = 0; // parser calls under way
    int texts = 0; // texts being parsed: the specification, bracket insides, definitions
    bool stopped = false;
    int safe_num = 0; // entries of the completed top-level elements
};
ParseGuard guard;

// Counts a parser call; the outermost one starts and, after a stop, cuts
// the list back.
class ParseScope {
public:
    ParseScope() {
        if (guard.calls++ == 0) {
            guard.stopped = false;
            guard.texts = 0;
            guard.safe_num = varnum;
        }
    }
    ~ParseScope() {
        if (--guard.calls > 0 || !guard.stopped) return;
        MESS_print(M_DEBUG_C, "VAR_process: list ends after %d entries\n", guard.safe_num);
        for (int i = guard.safe_num; i < VAR_MAX; ++i)
            VAR_data_init(&var[static_cast<std::size_t>(i)]);
        varnum = guard.safe_num;
    }
    ParseScope(const ParseScope &) = delete;
    ParseScope &operator=(const ParseScope &) = delete;
};

[[gnu::format(printf, 1, 2)]] void stop_parse(const char *fmt, ...) {
    char buf[200];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    MESS_print(M_DEBUG_C, "%s", buf);
    guard.stopped = true;
}

// Splits at ':' as parse_string does (trailing separators give no field).
std::vector<std::string> split_fields(const std::string &text) {
    std::vector<std::string> out;
    int argc = 0;
    char **argv = nullptr;
    if (parse_string(text.c_str(), ':', &argc, &argv) != 0) return out;
    for (int i = 0; i < argc; ++i)
        out.emplace_back(argv[i]);
    free_parsed_array(argc, argv);
    return out;
}

// The text with its backslashes removed, each escaped character kept.
std::string unescape(std::string_view text) {
    std::string out(text);
    strip_escape(out.data());
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string join_fields(const std::vector<std::string> &fields, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < fields.size(); ++i) {
        if (i > from) out.push_back(':');
        out += fields[i];
    }
    return out;
}

bool escaped(std::string_view s, std::size_t pos) {
    return pos > 0 && s[pos - 1] == '\\';
}

char closing_of(char open) {
    switch (open) {
    case '(':
        return ')';
    case '{':
        return '}';
    case '<':
        return '>';
    default:
        return ']';
    }
}

// The position of the bracket that closes the one at `open`: brackets of the
// same kind nest (a patch's do not), escaped ones do not count.
std::size_t match_bracket(std::string_view s, std::size_t open) {
    const char o = s[open];
    const char c = closing_of(o);
    int count = 1;
    for (std::size_t i = open + 1; i < s.size(); ++i) {
        if (escaped(s, i)) continue;
        if (o != '[' && s[i] == o)
            ++count;
        else if (s[i] == c && --count == 0)
            return i;
    }
    return std::string_view::npos;
}

// ---- The definition file ----------------------------------------------------

// One definition of the definition file: abbreviation, description,
// condition and the definition with its continuation lines joined and its
// blanks removed.
struct DefLine {
    std::string abbr;
    std::string desc;
    std::string cond;
    std::string def;
};

void remove_blanks(std::string &s) {
    s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; }), s.end());
}

// Reads the next definition; lines with fewer than three fields are passed
// over. False at the end of the file.
bool read_def_line(FILE *file, DefLine &out) {
    std::string line;
    while (fget_anyline(file, line)) {
        trim_end(line);
        std::string_view rest(line);
        std::string_view words[3];
        int n = 0;
        for (; n < 3; ++n) {
            words[n] = first_word(rest);
            if (words[n].empty()) break;
            rest = rest.substr(static_cast<std::size_t>(words[n].data() + words[n].size() - rest.data()));
        }
        if (n < 3) continue;
        out.abbr = words[0];
        out.desc = words[1];
        out.cond = words[2];
        out.def = rest;
        remove_blanks(out.def);
        while (!out.def.empty() && out.def.back() == '\\') {
            out.def.pop_back();
            std::string next;
            if (!fget_anyline(file, next)) break;
            trim_end(next);
            remove_blanks(next);
            out.def += next;
        }
        return true;
    }
    return false;
}

// The definition of `name` in the open definition file (exact case).
bool lookup_def(const char *name, std::string &def) {
    if (name == nullptr || name[0] == '\0' || ifile == nullptr) return false;
    MESS_print(M_DEBUG_C, "VAR_lookup: %s\n", name);
    std::rewind(ifile);
    DefLine line;
    while (read_def_line(ifile, line))
        if (line.abbr == name) {
            def = line.def;
            return true;
        }
    MESS_print(M_DEBUG_C, "VAR_lookup: not found\n");
    return false;
}

// Adds one item of a text as the entry at the end of the list: true when it
// made an entry (then *ind is that entry), false when it made none (*ind is
// then -1) or the parse stopped.
bool add_item(std::string_view item, int *ind) {
    *ind = -1;
    if (item.size() > kItemMax) {
        stop_parse("VAR_process: item longer than %d characters\n", static_cast<int>(kItemMax));
        return false;
    }
    if (varnum >= VAR_MAX) {
        stop_parse("VAR_process: more than %d entries\n", VAR_MAX);
        return false;
    }
    const int at = varnum;
    VAR_process_var(std::string(item).c_str(), 1);
    if (guard.stopped) return false;
    if (varnum < VAR_MAX && var[static_cast<std::size_t>(varnum)].name[0] != '\0') {
        ++varnum;
    } else if (varnum == at) {
        // An item without a name makes no entry and leaves nothing behind.
        VAR_data_init(&var[static_cast<std::size_t>(at)]);
        return false;
    }
    *ind = at;
    return true;
}

// Applies the patch text (backslashes removed) to entry ind.
void apply_patch(int ind, const std::string &patch) {
    if (ind < 0 || ind >= varnum) {
        MESS_print(M_DEBUG_C, "VAR_process: no variable for [ %s ]\n", patch.c_str());
        return;
    }
    VAR_data &e = var[static_cast<std::size_t>(ind)];
    const std::vector<std::string> fields = split_fields(patch);
    std::size_t k = 0;
    if (e.flag != 4 && k < fields.size()) VAR_dec_units(fields[k++].c_str(), &e);
    if (k < fields.size()) {
        const int t = VAR_dec_type(fields[k].c_str());
        if (t >= 0) {
            const int plt = FLAG_get(FLAG_PLOT_TYPE);
            if (plt == MISSING || plt == 99) e.type = t;
            ++k;
        }
    }
    if (k < fields.size()) copy_text(e.format, sizeof e.format, join_fields(fields, k));
}

// Parses one function, group or vector whose opening bracket is at `open`,
// with `header` its item text; the position after its closing bracket, or
// npos when the rest of the text is not to be parsed.
std::size_t process_bracket(std::string_view str, std::size_t open, std::string_view header, int *ind) {
    const char o = str[open];
    const int kind = o == '(' ? 2 : o == '{' ? 5 : 6;
    if (header.empty()) {
        // A bracket with no name before it names nothing: it is passed over.
        const std::size_t close = match_bracket(str, open);
        MESS_print(M_DEBUG_C, "VAR_process: no name before %c\n", o);
        if (close == std::string_view::npos) {
            MESS_print(M_DEBUG_C, o == '<' ? "Unmatched <>\n" : "Unmatched ()\n");
            return std::string_view::npos;
        }
        return close + 1;
    }
    if (header.size() > kItemMax) {
        stop_parse("VAR_process: item longer than %d characters\n", static_cast<int>(kItemMax));
        return std::string_view::npos;
    }
    if (varnum >= VAR_MAX) {
        stop_parse("VAR_process: more than %d entries\n", VAR_MAX);
        return std::string_view::npos;
    }
    if (base_ind + 1 >= kBaseMax) {
        stop_parse("VAR_process: nesting deeper than %d\n", kBaseMax);
        return std::string_view::npos;
    }
    const int at = varnum;
    *ind = at;
    VAR_process_var(std::string(header).c_str(), 0);
    if (guard.stopped) return std::string_view::npos;
    VAR_data &h = var[static_cast<std::size_t>(at)];
    h.flag = plevel * 10 + kind;
    VAR_base_push();
    ++varnum;
    if (kind == 2 && GRD_is_vect_func(h.name)) {
        MESS_print(M_DEBUG_C, "VECT FUNC: %s\n", h.name);
        if (varnum >= VAR_MAX) {
            --base_ind;
            stop_parse("VAR_process: more than %d entries\n", VAR_MAX);
            return std::string_view::npos;
        }
        VAR_data &c = var[static_cast<std::size_t>(varnum)];
        c = h;
        c.flag = plevel * 10 + 8;
        ++varnum;
    }

    const std::size_t close = match_bracket(str, open);
    if (close == std::string_view::npos) {
        MESS_print(M_DEBUG_C, o == '<' ? "Unmatched <>\n" : "Unmatched ()\n");
        --base_ind;
        return std::string_view::npos;
    }
    const std::string inside(str.substr(open + 1, close - open - 1));
    if (inside.size() > kBracketMax) {
        --base_ind;
        stop_parse("VAR_process: bracket text longer than %d characters\n", static_cast<int>(kBracketMax));
        return std::string_view::npos;
    }
    const char *what = kind == 2   ? "Function %s ( %s )\n"
                       : kind == 5 ? "Group %s { %s }\n"
                                   : "Vector %s < %s >\n";
    MESS_print(M_DEBUG_C, what, h.name, inside.c_str());
    int &depth = kind == 2 ? plevel : vlevel;
    ++depth;
    VAR_process(inside.c_str());
    --depth;
    --base_ind;
    return guard.stopped ? std::string_view::npos : close + 1;
}

void process_elements(std::string_view str) {
    MESS_print(M_DEBUG_C, "VAR_process: %d|%d|%s|\n", varnum, plevel, std::string(str).c_str());
    std::size_t start = 0;
    std::size_t pos = 0;
    int ind = -1; // the entry that the last bracket of this text made or patched
    while (!guard.stopped) {
        const bool end = pos >= str.size();
        const char c = end ? ',' : str[pos];
        if (!end && (escaped(str, pos) || std::strchr("({<[,", c) == nullptr)) {
            ++pos;
            continue;
        }
        const std::string_view item = str.substr(start, pos - start);
        if (c == ',') {
            if (!item.empty()) {
                MESS_print(M_DEBUG_C, "Variable %s\n", std::string(item).c_str());
                int made = -1;
                add_item(item, &made);
                if (guard.stopped) return;
            }
            if (guard.texts == 1) guard.safe_num = varnum;
            if (end) return;
            start = pos = pos + 1;
            continue;
        }
        if (c == '[') {
            if (!item.empty()) {
                add_item(item, &ind);
                if (guard.stopped) return;
            }
            std::size_t close = pos + 1;
            while (close < str.size() && (str[close] != ']' || escaped(str, close)))
                ++close;
            if (close >= str.size()) {
                MESS_print(M_DEBUG_C, "Unmatched []\n");
                return;
            }
            if (close - pos - 1 > kBracketMax) {
                stop_parse("VAR_process: bracket text longer than %d characters\n",
                           static_cast<int>(kBracketMax));
                return;
            }
            const std::string patch = unescape(str.substr(pos + 1, close - pos - 1));
            MESS_print(M_DEBUG_C, "Parameter [ %s ]\n", patch.c_str());
            // Inside a function's arguments a patch has no effect.
            if (plevel == 0) apply_patch(ind, patch);
            start = pos = close + 1;
            continue;
        }
        const std::size_t next = process_bracket(str, pos, item, &ind);
        if (next == std::string_view::npos) return;
        start = pos = next;
    }
}

void process_text(std::string_view str) {
    ++guard.texts;
    process_elements(str);
    --guard.texts;
}

// Warns of every plain entry whose name is neither a parameter of the table
// nor a calculator function: it stays in the list with parameter 0 and can
// give no data. Function, group and vector headers and the control words
// name no parameter and are passed over.
void warn_unknown() {
    for (int i = 0; i < varnum; ++i) {
        const VAR_data &e = var[static_cast<std::size_t>(i)];
        const int k = e.flag % 10;
        if (e.flag == 4 || k == 2 || k == 5 || k == 6 || k == 8) continue;
        if (e.name[0] == '\0' || e.name[0] == '#' || e.type == 40) continue;
        if (e.var[0] != 0 || GRD_is_math_func(e.name) != 0) continue;
        MESS_print(M_WARN, "VAR_setup: Unknown variable: %s\n", e.name);
    }
}

} // namespace

int VAR_process(const char *str) {
    if (str == nullptr) return 0;
    ParseScope scope;
    process_text(str);
    return 0;
}

int VAR_process_var(const char *str, int flag) {
    if (str == nullptr) return 0;
    ParseScope scope;
    if (varnum >= VAR_MAX) {
        stop_parse("VAR_process: more than %d entries\n", VAR_MAX);
        return 0;
    }
    const std::string text = unescape(str);
    const std::vector<std::string> fields = split_fields(text);
    MESS_print(M_DEBUG_C, "VAR_process_var:%d:%d:%s:\n", plevel, varnum, text.c_str());
    if (fields.empty()) return 0;
    VAR_data &e = var[static_cast<std::size_t>(varnum)];
    std::size_t k = 0;

    struct Control {
        const char *word;
        int type;
    };
    constexpr Control kControls[] = {{"map", 6}, {"plot", 30}, {"frame", 7}, {"panel", 8}};
    const Control *control = nullptr;
    for (const Control &c : kControls)
        if (iequals(fields[0], c.word)) control = &c;

    if (control != nullptr) {
        copy_text(e.name, sizeof e.name, control->word);
        e.type = control->type;
        e.flag = 4;
        k = 1;
    } else {
        // Time and level: only an item of three fields or more whose first
        // field is a time gives them; otherwise they are inherited.
        int tstat = 0;
        if (fields.size() >= 3 && (tstat = VAR_dec_time(fields[0].c_str(), &e.time)) != 0) {
            e.tstat = tstat;
            e.lstat = VAR_dec_level(fields[1].c_str(), &e.ltype, &e.level);
            k = 2;
        } else {
            if (e.time == MISSING) e.tstat = VAR_dec_time("", &e.time);
            if (e.ltype == MISSING) e.lstat = VAR_dec_level("", &e.ltype, &e.level);
        }

        const std::string &field = fields[k];
        const std::string name = field.substr(0, kNameMax);
        std::string def;
        if (!field.empty() && field[0] == '+') {
            e.flag = plevel * 10 + vlevel;
            VAR_dec_var(field.c_str() + 1, &e);
        } else if (flag == 1 && name != e.name) {
            // A name of the definition file expands into its definition, whose
            // first item fills this entry; a definition that repeats the name
            // decodes it directly (the names are then equal).
            copy_text(e.name, sizeof e.name, name);
            const int t = VAR_dec_type(field.c_str());
            if (t >= 0) e.type = t;
            if (lookup_def(field.c_str(), def)) {
                if (def.size() > kDefMax) {
                    stop_parse("VAR_process_var: definition of %s longer than %d characters\n", field.c_str(),
                               static_cast<int>(kDefMax));
                    return 0;
                }
                if (base_ind + 1 >= kBaseMax) {
                    stop_parse("VAR_process_var: definitions nested deeper than %d\n", kBaseMax);
                    return 0;
                }
                VAR_base_push();
                VAR_process(def.c_str());
                --base_ind;
                if (guard.stopped) return 0;
            } else {
                e.flag = plevel * 10 + vlevel;
                VAR_dec_var(field.c_str(), &e);
            }
        } else {
            e.flag = plevel * 10 + vlevel;
            VAR_dec_var(field.c_str(), &e);
        }
        ++k;
        if (k < fields.size()) VAR_dec_units(fields[k++].c_str(), &e);
    }

    if (k < fields.size()) {
        const int t = VAR_dec_type(fields[k].c_str());
        if (t >= 0) {
            e.type = t;
            ++k;
        }
    }
    if (k < fields.size()) copy_text(e.format, sizeof e.format, join_fields(fields, k));
    return 0;
}

int VAR_lookup(const char *name, char *str, std::size_t size) {
    std::string def;
    if (!lookup_def(name, def)) return 0;
    copy_text(str, size, def);
    return 1;
}

int VAR_setup(const char *filename, const char *var_str) {
    VAR_param_decode();
    VAR_init();

    std::string spec = var_str != nullptr ? var_str : "";
    std::string file = filename != nullptr ? filename : "";
    if (spec.rfind("fi:", 0) == 0) {
        const std::size_t colon = spec.find(':', 3);
        if (colon == std::string::npos) {
            file = spec.substr(3);
            spec.clear();
        } else {
            file = spec.substr(3, colon - 3);
            spec.erase(0, colon + 1);
        }
    }
    if (!file.empty()) VAR_open_file(file.c_str());

    varnum = 0;
    plevel = 0;
    vlevel = 0;
    base.fill({MISSING, MISSING, MISSING, MISSING, MISSING, MISSING});
    base_ind = -1;
    VarBase b0 = base[0];
    b0.type = FLAG_get(FLAG_PLOT_TYPE);
    b0.tstat = VAR_dec_time("", &b0.time);
    b0.lstat = VAR_dec_level("", &b0.ltype, &b0.level);
    base[0] = b0;
    base_ind = 0;

    VAR_init();
    VAR_process(spec.c_str());
    for (int i = 0; i < varnum; ++i) {
        MESS_print(M_DEBUG_C, "Var: %d -- ", i);
        VAR_print(M_DEBUG_C, &var[static_cast<std::size_t>(i)]);
    }
    base_ind = -1;
    warn_unknown();
    if (varnum == 0) MESS_print(M_DEBUG_C, "Unable to determine variables\n");
    return varnum > 0 ? 1 : 0;
}

// ---- Definition file and variable menu -------------------------------------------

int VAR_open_file(const char *file) {
    if (ifile != nullptr) {
        FILE_close(ifile);
        ifile = nullptr;
    }
    std::string name;
    if (file != nullptr && file[0] != '\0') {
        name = file;
    } else {
        char prog[64];
        name = std::string(RES_get_progname(prog, sizeof prog)) + ".var";
    }
    std::string tried;
    ifile = open_table(name.c_str(), tried);
    if (ifile == nullptr) {
        MESS_print(M_WARN_C, "VAR_open_file: Unable to open var file: %s\n", tried.c_str());
        return 0;
    }
    return 1;
}

namespace {

// The variable menu: row 0 returns to the previous menu, rows 1 to 49 are the
// offered definitions, and one more row always ends the table.
constexpr int kMenuRows = 50;
constexpr std::size_t kMenuAbbrMax = 8;
constexpr std::size_t kMenuDescMax = 30;
std::array<MENU_item, kMenuRows + 1> var_menu{};
std::array<std::array<char, kMenuDescMax + 1>, kMenuRows> menu_names{};
std::array<std::array<char, kMenuAbbrMax + 1>, kMenuRows> menu_abbrs{};
constexpr int var_menu_type = 0;
bool menu_ready = false;

void menu_init() {
    if (menu_ready) return;
    for (MENU_item &row : var_menu)
        row = MENU_item{nullptr, nullptr, 0, {}};
    var_menu[0] = MENU_item{"Return to previous menu", "back", 0, {1}};
    menu_ready = true;
}

// One test of a condition: "mo=", "ft=" or "le=" and a pattern.
bool test_holds(const std::string &test) {
    if (test.size() < 3) return false;
    const char *pattern = test.c_str() + 3;
    if (strnicmp(test.c_str(), "mo=", 3) == 0) return VAR_menu_display(pattern, model_str) == 1;
    if (strnicmp(test.c_str(), "ft=", 3) == 0) return VAR_menu_display(pattern, time_str) == 1;
    if (strnicmp(test.c_str(), "le=", 3) == 0) return VAR_menu_display(pattern, level_str) == 1;
    return false;
}

std::vector<std::string> split_at(const std::string &text, char delim) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(delim, start);
        out.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return out;
        start = at + 1;
    }
}

bool condition_holds(const std::string &cond) {
    if (cond.empty()) return false;
    if (cond[0] == '1') return true;
    if (cond[0] == '0') return false;
    for (const std::string &alt : split_at(cond, ',')) {
        bool all = true;
        for (const std::string &test : split_at(alt, '&'))
            if (!test_holds(test)) {
                all = false;
                break;
            }
        if (all) return true;
    }
    return false;
}

// One alternative of a menu pattern against the whole text.
bool pattern_match(std::string_view pat, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    while (p < pat.size()) {
        const char c = pat[p];
        if (c == '~') {
            ++p;
            continue;
        }
        if (c == '*') {
            ++p;
            if (p < pat.size())
                while (t < text.size() && text[t] != pat[p])
                    ++t;
            else
                t = text.size();
            continue;
        }
        if (t >= text.size()) return false;
        const char ch = text[t];
        if (c == '[') {
            std::size_t close = pat.find(']', p + 1);
            if (close == std::string_view::npos) close = pat.size();
            const std::string_view set = pat.substr(p + 1, close - p - 1);
            bool in = false;
            for (std::size_t i = 0; i < set.size(); ++i) {
                if (i + 2 < set.size() && set[i + 1] == '-') {
                    if (set[i] <= ch && ch <= set[i + 2]) in = true;
                    i += 2;
                } else if (set[i] == ch) {
                    in = true;
                }
            }
            if (!in) return false;
            p = close < pat.size() ? close + 1 : close;
        } else {
            if (c != '?' && c != '.' && c != ch) return false;
            ++p;
        }
        ++t;
    }
    return t == text.size();
}

} // namespace

int VAR_read_menu() {
    menu_init();
    int row = 1;
    if (ifile != nullptr) {
        std::rewind(ifile);
        DefLine line;
        while (row < kMenuRows && read_def_line(ifile, line)) {
            if (!condition_holds(line.cond)) continue;
            // The menu hands back the abbreviation it holds: one that it
            // cannot hold whole would name nothing, so it is not offered.
            if (line.abbr.size() > kMenuAbbrMax) {
                MESS_print(M_DEBUG_C, "VAR_read_menu: abbreviation too long for the menu: %s\n",
                           line.abbr.c_str());
                continue;
            }
            std::string desc = line.desc.substr(0, kMenuDescMax);
            trim_end(desc);
            std::replace(desc.begin(), desc.end(), '_', ' ');
            auto &name = menu_names[static_cast<std::size_t>(row)];
            auto &abbr = menu_abbrs[static_cast<std::size_t>(row)];
            copy_text(name.data(), name.size(), desc);
            copy_text(abbr.data(), abbr.size(), line.abbr);
            var_menu[static_cast<std::size_t>(row)] = MENU_item{name.data(), abbr.data(), 1, {1}};
            ++row;
        }
    }
    var_menu[static_cast<std::size_t>(row)] = MENU_item{nullptr, nullptr, 0, {}};
    return ifile != nullptr ? 1 : 0;
}

int VAR_menu(const char *title, const char *prompt, char *string, int flag) {
    constexpr std::size_t kAnswerSize = 20;
    menu_init();
    VAR_init();
    if (FLAG_batch()) {
        copy_text(string, kAnswerSize, var_menu[1].name != nullptr ? var_menu[1].abbr : "def");
        return 1;
    }
    int result;
    for (;;) {
        result = MENU_process(title, var_menu.data(), var_menu_type, prompt, string, flag);
        if (stricmp(string, "list") != 0) break;
        VAR_print_file();
    }
    return result;
}

int VAR_menu_display(const char *fstr, const char *ustr) {
    if (fstr == nullptr || fstr[0] == '\0' || ustr == nullptr || ustr[0] == '\0') return 0;
    const std::string_view pattern(fstr);
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = pattern.find('|', start);
        const std::string_view alt = pattern.substr(start, bar - start);
        const bool negated = !alt.empty() && alt[0] == '~';
        if (pattern_match(alt, ustr) != negated) return 1;
        if (bar == std::string_view::npos) return 0;
        start = bar + 1;
    }
}

int VAR_print_file() {
    if (ifile == nullptr) return -1;
    std::rewind(ifile);
    MESS_print(M_PRINT, " Abbr    Description\n");
    DefLine line;
    while (read_def_line(ifile, line))
        MESS_print(M_PRINT, "%-8s %-50s\n", line.abbr.substr(0, 9).c_str(), line.desc.substr(0, 79).c_str());
    return -1;
}

int VAR_search_name_file(const char *str, char *name, std::size_t size) {
    if (ifile == nullptr || str == nullptr) return 0;
    std::rewind(ifile);
    DefLine line;
    while (read_def_line(ifile, line))
        if (stricmp(line.abbr.c_str(), str) == 0) {
            copy_text(name, size, line.desc);
            return 1;
        }
    return 0;
}
