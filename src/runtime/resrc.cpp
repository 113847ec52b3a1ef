// The resource store and option table: resolves every resource from defaults
// files, a loop window, the environment and the command line, and converts
// values by kind.
// File-static state: the store, the option table built by RES_init, the
// remembered command line and the registered domain decoder.
#include "runtime/resrc.h"

#include <cctype>
#include <cmath>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "runtime/date.h"
#include "runtime/def_read.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/mqueue.h"
#include "runtime/string.h"
#include "runtime/zeq.h"

namespace {

// One row of the option table for every res_type; a null name: no row.
struct Row {
    const char *def;
    const char *env;
    const char *cmd;
    int slot;
    DEF_convert cvt;
};

constexpr Row rows[RES_NUM_TYPES] = {
    {nullptr, nullptr, nullptr, 0, CV_none},                // 0
    {nullptr, nullptr, nullptr, 0, CV_none},                // 1
    {"background", "zeqback", "bg", 0, CV_string},          // 2
    {"batch", "zeqbatch", "ba", 0, CV_batch},               // 3
    {nullptr, nullptr, nullptr, 0, CV_none},                // 4
    {"bull_file", "zeqbullfile", "bf", 0, CV_string},       // 5
    {"city_file", "zeqcity", "cf", 0, CV_string},           // 6
    {nullptr, nullptr, nullptr, 0, CV_none},                // 7
    {"color_clabel", "zeqclrclab", "cocl", 0, CV_string},   // 8
    {"color_cloud", "zeqclrcld", "cocd", 0, CV_string},     // 9
    {"color_cmap", "zeqclrcmap", "cocm", 0, CV_string},     // 10
    {"color_cont", "zeqclrcont", "coco", 0, CV_string},     // 11
    {nullptr, nullptr, nullptr, 0, CV_none},                // 12
    {"color_data", "zeqclrdata", "cod", 0, CV_string},      // 13
    {nullptr, nullptr, nullptr, 0, CV_none},                // 14
    {"color_fill", "zeqclrfill", "cof", 0, CV_string},      // 15
    {"color_front", "zeqclrfront", "cofr", 0, CV_string},   // 16
    {"color_grid", "zeqclrgrid", "cogr", 0, CV_string},     // 17
    {"color_hodo", "zeqclrhodo", "coh", 0, CV_string},      // 18
    {"color_hodtxt", "zeqclrhdtxt", "coht", 0, CV_string},  // 19
    {"color_label", "zeqclrlab", "cola", 0, CV_string},     // 20
    {nullptr, nullptr, nullptr, 0, CV_none},                // 21
    {"color_line", "zeqclrln", "coln", 0, CV_string},       // 22
    {"color_map", "zeqclrmap", "com", 0, CV_string},        // 23
    {"color_pop", "zeqclrpop", "copp", 0, CV_string},       // 24
    {nullptr, nullptr, nullptr, 0, CV_none},                // 25
    {"color_sound", "zeqclrsnd", "cosd", 0, CV_string},     // 26
    {"color_table", "zeqclrtbl", "ct", 0, CV_string},       // 27
    {"color_text", "zeqclrtext", "cot", 0, CV_string},      // 28
    {"color_therm", "zeqclrtherm", "coth", 0, CV_string},   // 29
    {"color_thrmtxt", "zeqclrthtxt", "cott", 0, CV_string}, // 30
    {"color_wind", "zeqclrwind", "cowd", 0, CV_string},     // 31
    {"color_wx", "zeqclrwx", "cowx", 0, CV_string},         // 32
    {"command", "zeqcommand", nullptr, 10, CV_strings},     // 33
    {"command", "zeqcommand", "cd", 0, CV_string},          // 34
    {"con_base", "zeqconbase", "cb", 0, CV_float},          // 35
    {nullptr, nullptr, nullptr, 0, CV_none},                // 36
    {"con_interval", "zeqconint", "in", 0, CV_float},       // 37
    {nullptr, nullptr, nullptr, 0, CV_none},                // 38
    {"con_path", "zeqcon", "cp", 0, CV_path},               // 39
    {"current", "zeqcurrent", "cu", 0, CV_current},         // 40
    {"data_path", "zeqdata", "dp", 0, CV_path},             // 41
    {nullptr, nullptr, nullptr, 0, CV_none},                // 42
    {nullptr, nullptr, nullptr, 0, CV_none},                // 43
    {"draw", "zeqdraw", "dr", 0, CV_draw},                  // 44
    {"decode_hour", "zeqdecode", "dh", 0, CV_string},       // 45
    {"device", "zeqdevice", "de", 0, CV_device},            // 46
    {"file_param", "zeqfileparam", "pf", 0, CV_file_param}, // 47
    {"file_path", "zeqfile", "fp", 0, CV_path},             // 48
    {"filename", "zeqfilename", nullptr, 1, CV_strcpy},     // 49
    {"filename", "zeqfilename", nullptr, 10, CV_strings},   // 50
    {"font_list", "zeqfontlist", "fl", 0, CV_string},       // 51
    {"forecast", "zeqforecast", "fc", 0, CV_string},        // 52
    {"geometry", "zeqgeometry", "ge", 0, CV_string},        // 53
    {"grid_num", "zeqgridnum", "gn", 0, CV_string},         // 54
    {"grid_path", "zeqgrid", "gp", 0, CV_path},             // 55
    {"grid_type", "zeqgridtype", "gt", 0, CV_int},          // 56
    {"help", "zeqhelp", "h", 0, CV_help},                   // 57
    {"hour", "zeqhour", "ho", 0, CV_hour},                  // 58
    {"icon", "zeqicon", "ic", 0, CV_bool},                  // 59
    {"identifier", "zeqident", "id", 0, CV_string},         // 60
    {nullptr, nullptr, nullptr, 0, CV_none},                // 61
    {nullptr, nullptr, nullptr, 0, CV_none},                // 62
    {"image_path", "zeqimage", "ip", 0, CV_string},         // 63
    {"in_file", "zeqinfile", "if", 0, CV_string},           // 64
    {"in_file", "zeqinfile", "if", 0, CV_string},           // 65
    {nullptr, nullptr, nullptr, 0, CV_none},                // 66
    {"ingestor", "zeqingestor", "di", 0, CV_ingestor},      // 67
    {"input", "zeqin", "in", 0, CV_string},                 // 68
    {"label", "zeqlabel", "la", 0, CV_string},              // 69
    {nullptr, nullptr, nullptr, 0, CV_none},                // 70
    {"level", "zeqlevel", "le", 0, CV_string},              // 71
    {"map_file", "zeqmap", "mf", 0, CV_string},             // 72
    {"message", "zeqmess", "me", 0, CV_mess},               // 73
    {"model", "zeqmodel", "mo", 0, CV_string},              // 74
    {nullptr, nullptr, nullptr, 0, CV_none},                // 75
    {"name_conv", "zeqnameconv", "nc", 0, CV_name},         // 76
    {nullptr, nullptr, nullptr, 0, CV_none},                // 77
    {"num_hour", "zeqnumhour", "nh", 0, CV_string},         // 78
    {"object_param", "zeqobject", "oa", 0, CV_string},      // 79
    {"out_file", "zeqoutfile", "of", 0, CV_string},         // 80
    {nullptr, nullptr, nullptr, 0, CV_none},                // 81
    {"output", "zeqout", "ou", 0, CV_string},               // 82
    {"parameter", "zeqparam", "pa", 0, CV_string},          // 83
    {"plot_domain", "zeqdomain", "pd", 0, CV_domain},       // 84
    {"plot_format", "zeqformat", "fm", 0, CV_string},       // 85
    {"plot_param", "zeqpltparam", "pp", 0, CV_string},      // 86
    {nullptr, nullptr, nullptr, 0, CV_none},                // 87
    {"plot_scale", "zeqscale", "sc", 0, CV_float},          // 88
    {"plot_type", "zeqplot", "pl", 0, CV_plot_type},        // 89
    {nullptr, nullptr, nullptr, 0, CV_none},                // 90
    {nullptr, nullptr, nullptr, 0, CV_none},                // 91
    {"product", "zeqproduct", "ph", 0, CV_string},          // 92
    {nullptr, nullptr, nullptr, 0, CV_none},                // 93
    {"raw_path", "zeqraw", "rp", 0, CV_path},               // 94
    {nullptr, nullptr, nullptr, 0, CV_none},                // 95
    {"region", "zeqregion", "re", 0, CV_region},            // 96
    {nullptr, nullptr, nullptr, 0, CV_none},                // 97
    {"stat_prior", "zeqprior", "pr", 0, CV_int},            // 98
    {"state", "zeqstate", "st", 0, CV_string},              // 99
    {"table", "zeqtable", "ta", 0, CV_bool},                // 100
    {"time", "zeqtime", "ft", 0, CV_string},                // 101
    {"title", "zeqtitle", "ti", 0, CV_string},              // 102
    {nullptr, nullptr, nullptr, 0, CV_none},                // 103
    {"value", "zeqvalue", nullptr, 10, CV_strings},         // 104
    {"variable", "zeqvar", "va", 0, CV_string},             // 105
    {"watch_path", "zeqwatch", "wp", 0, CV_path},           // 106
    {"window_num", "zeqwindownum", "wn", 0, CV_int},        // 107
    {"color_watch", "zeqclrwatch", "cowa", 0, CV_string},   // 108
    {"log_file", "zeqlog", "lf", 0, CV_string},             // 109
    {"grid_domain", "zeqgrddomain", "gd", 0, CV_domain},    // 110
    {"input", "zeqin", "inp", 0, CV_string},                // 111
    {"text_path", "zeqtext", "tp", 0, CV_path},             // 112
    {"model_path", "zeqmpath", "mp", 0, CV_path},           // 113
    {"sat_path", "zeqsat", "sp", 0, CV_path},               // 114
};

// One stored resource. The value is absent when the resource was given
// without one.
struct Resource {
    int index; // option-table row, -9999 for an ad-hoc resource
    std::string name;
    std::optional<std::string> data;
    DEF_convert cvt;
};

// The store, in order of first creation; records never move or go away, so
// value texts stay valid until their resource is replaced.
std::vector<std::unique_ptr<Resource>> store;

// The table RES_init builds, with its closing row.
RES_defobj table[RES_MAX_ROWS + 1];

int cl_argc = 0;
char **cl_argv = nullptr;

// Decodes domain and region texts; registered by the program (DOM_decode).
RES_domain_decoder domain_decoder = nullptr;

// Texts read from the command line and the environment are cut to these.
constexpr std::size_t OPTION_NAME_LEN = 49;
constexpr std::size_t ENV_VALUE_SIZE = 208;
constexpr std::size_t DEF_NAME_SIZE = 64;
constexpr std::size_t DEF_VALUE_SIZE = 200;
constexpr std::size_t LINK_TEXT_SIZE = 124;

const char *const default_search_path = ".:/home/zeq/etc:/usr/local/zeq/etc";

Resource *find(const char *name) {
    if (!name) return nullptr;
    for (auto &r : store)
        if (r->name == name) return r.get();
    return nullptr;
}

bool ieq(const char *a, const char *b) {
    return a && b && stricmp(a, b) == 0;
}

// True when `s` begins with `prefix`, ignoring case.
bool ibegins(const char *s, const char *prefix) {
    std::size_t n = std::strlen(prefix);
    return std::strlen(s) >= n && strnicmp(s, prefix, static_cast<int>(n)) == 0;
}

// An argument that is an option: '-' and a letter.
bool dash_letter(const char *arg) {
    return arg[0] == '-' && std::isalpha(static_cast<unsigned char>(arg[1]));
}

// The span of a leading decimal number (sign, digits, fraction, exponent)
// after blanks; false when there is none.
bool lead_decimal(const char *s, std::string &num) {
    while (*s == ' ' || *s == '\t')
        ++s;
    const char *p = s;
    if (*p == '+' || *p == '-') ++p;
    const char *digits = p;
    while (std::isdigit(static_cast<unsigned char>(*p)))
        ++p;
    bool any = p > digits;
    if (*p == '.') {
        const char *f = ++p;
        while (std::isdigit(static_cast<unsigned char>(*p)))
            ++p;
        any = any || p > f;
    }
    if (!any) return false;
    if (*p == 'e' || *p == 'E') {
        const char *e = p + 1;
        if (*e == '+' || *e == '-') ++e;
        if (std::isdigit(static_cast<unsigned char>(*e))) {
            p = e;
            while (std::isdigit(static_cast<unsigned char>(*p)))
                ++p;
        }
    }
    num.assign(s, p);
    return true;
}

// An integer at the start of `s` (blanks skipped) in `base`: none, one within
// the range of long (in `out`), or one beyond it.
enum class Lead { none, ok, range };
Lead lead_long(const char *s, int base, long &out) {
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(s, &end, base);
    if (end == s) return Lead::none;
    if (errno == ERANGE) return Lead::range;
    out = v;
    return Lead::ok;
}

// The resource named in the messages of a conversion (null: none known).
const char *conv_name = nullptr;

// Reports a value that its kind cannot hold; the target is left as it was.
void out_of_range(const char *data) {
    MESS_print(M_WARN, "RES_conv_data: %s: value out of range, not used: %s\n",
               conv_name != nullptr ? conv_name : "resource", data);
}

// Converts with the resource's name at hand for the messages.
int conv_named(const char *name, const char *data, void *out, DEF_convert cvt) {
    const char *before = conv_name;
    conv_name = name;
    const int r = RES_conv_data(data, out, cvt);
    conv_name = before;
    return r;
}

int clamp_int(long v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// Reads at most `n` digits at `p` into `out`; advances `p`.
bool read_digits(const char *&p, int n, int &out) {
    int v = 0, k = 0;
    for (; k < n && std::isdigit(static_cast<unsigned char>(*p)); ++k, ++p)
        v = v * 10 + (*p - '0');
    if (k == 0) return false;
    out = v;
    return true;
}

// Reads an integer as "%d" does (blanks, a sign, digits) into `out`; a value
// beyond the int range is held at its edge, which no field accepts. False
// (p unmoved) when there is no number.
bool scan_int(const char *&p, int &out) {
    const char *q = p;
    while (std::isspace(static_cast<unsigned char>(*q)))
        ++q;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(q, &end, 10);
    if (end == q) return false;
    out = clamp_int(v);
    p = end;
    return true;
}

// Reads "%d" and then, after the literal `sep`, "%d" again as sscanf would
// with "%d<sep>%d"; the number of values read.
int scan_pair(const char *s, char sep, int &a, int &b) {
    const char *p = s;
    if (!scan_int(p, a)) return 0;
    if (*p != sep) return 1;
    ++p;
    return scan_int(p, b) ? 2 : 1;
}

// The file time given by the hour resource.
Date decode_hour(const char *s) {
    Date d{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
    std::size_t len = std::strlen(s);
    bool colon = std::strchr(s, ':') != nullptr;
    bool lead_digit = std::isdigit(static_cast<unsigned char>(s[0]));
    const char *p = s;
    if (s[0] == '#' && std::isdigit(static_cast<unsigned char>(s[1]))) {
        ++p;
        read_digits(p, 4, d.year);
        int *fields[] = {&d.month, &d.day, &d.hour, &d.min};
        for (int *f : fields)
            if (!read_digits(p, 2, *f)) break;
    } else if (len == 6 && !colon) {
        read_digits(p, 2, d.month) && read_digits(p, 2, d.day) && read_digits(p, 2, d.hour);
    } else if (len == 4 && lead_digit && !colon) {
        read_digits(p, 2, d.day) && read_digits(p, 2, d.hour);
    } else if (len == 3 && lead_digit && !colon) {
        read_digits(p, 1, d.day) && read_digits(p, 2, d.hour);
    } else if (const char *dd = std::strchr(s, 'd')) {
        // "%dd%d:%d": the day, then the hour and minute after the 'd'.
        int day = 0, hour = 0, min = 0;
        const char *q = s;
        if (scan_int(q, day) && q == dd) {
            d.day = day;
            const int n = scan_pair(dd + 1, ':', hour, min);
            if (n >= 1) d.hour = hour;
            if (n >= 2) d.min = min;
        } else if (q != s) {
            d.day = day;
        }
    } else if (s[0] == ':') {
        const char *q = s + 1;
        int min;
        if (scan_int(q, min)) d.min = min;
    } else if (s[0] == '-' && s[1] == ':') {
        const char *q = s + 2;
        int min;
        if (scan_int(q, min)) d.min = min == INT_MIN ? INT_MAX : -min;
    } else {
        int hour = 0, min = 0;
        const int n = scan_pair(s, ':', hour, min);
        if (n >= 1 && s[0] == '-' && hour == 0) {
            if (n >= 2) d.min = min == INT_MIN ? INT_MAX : -min;
        } else {
            if (n >= 1) d.hour = hour;
            if (n >= 2) d.min = min;
        }
    }
    return d;
}

// Words of the file_param resource (flag slot 15).
void set_file_param(const char *s) {
    struct Word {
        const char *word;
        int value;
    };
    static constexpr Word words[] = {{"use", 3},   {"over", 1},   {"calc", 1},
                                     {"reuse", 3}, {"recalc", 1}, {"app", 2}};
    for (const Word &w : words)
        if (ieq(s, w.word)) {
            FLAG_set(FLAG_FILE_PARAM, w.value);
            return;
        }
}

// Words of the plot_type resource (flag slot 11).
void set_plot_type(const char *s) {
    struct Word {
        const char *word;
        int value;
    };
    static constexpr Word words[] = {
        {"raw", 0},     {"none", 99},  {"value", 17},  {"gvalue", 17}, {"cf", 15},    {"lcf", 16},
        {"ln", 12},     {"dln", 13},   {"ndln", 14},   {"vect", 21},   {"barb", 22},  {"strm", 23},
        {"stream", 23}, {"an", 54},    {"number", 54}, {"pm", 55},     {"skewt", 62}, {"ema", 63},
        {"teph", 64},   {"rteph", 65}, {"stuve", 61},  {"hodo", 69}};
    for (const Word &w : words)
        if (ieq(s, w.word)) {
            FLAG_set(FLAG_PLOT_TYPE, w.value);
            return;
        }
}

// The loop window named on the defaults search path, while one is connected.
struct LoopLink {
    bool connected = false;
    int queue = -1;
    int conn = -1;
};
LoopLink loop;

// Reads the answers to one request; the status that ended them.
int loop_reply() {
    char text[LINK_TEXT_SIZE];
    int status;
    while ((status = MQ_get(loop.queue, loop.conn, text, sizeof text)) == 0) {
    }
    return status;
}

// Asks the loop window `item` ("#N") for every resource of the table, and
// gives it the resources it does not hold.
void loop_window(const char *item, RES_defobj *tab) {
    loop.connected = false;
    // The link's time-out and transport may be set by the "parameter"
    // resource of an earlier defaults file.
    MQ_params();
    errno = 0;
    int queue = MQ_open(std::atoi(item + 1));
    if (queue == -1) {
        if (errno == ENOENT || errno == ECONNREFUSED)
            MESS_print(M_WARN, "ZEQloop window: %s not running or no message queue exists\n", item + 1);
        else
            MESS_print(M_WARN, "ZEQloop window: %s cannot be opened: %s\n", item + 1, std::strerror(errno));
        return;
    }
    int conn = MQ_connect(queue);
    if (conn < 0) {
        MESS_print(M_WARN, "ZEQloop window: %s unable to connect\n", item + 1);
        return;
    }
    loop = {true, queue, conn};

    for (RES_defobj *row = tab; row->def; ++row)
        if (row->def[0]) MQ_put(queue, conn, "query res %s", row->def);

    int sets = 0;
    char text[LINK_TEXT_SIZE];
    for (RES_defobj *row = tab; row->def; ++row) {
        if (!row->def[0]) continue;
        bool given = false;
        int status;
        while ((status = MQ_get(queue, conn, text, sizeof text)) == 0) {
            if (text[0] && text[0] != '!' && text[0] != '\n') {
                // Each answer line ends in a newline, which is not part of the value.
                std::size_t len = std::strlen(text);
                if (text[len - 1] == '\n') text[len - 1] = '\0';
                FILE_data_text(text, (std::string("the loop window ") + (item + 1)).c_str());
                RES_new(static_cast<int>(row - tab), row->def, text, row->cvt);
                given = true;
            }
        }
        if (status == -3) MESS_print(M_WARN, "ZEQloop not running!\n");
        if (!given) {
            if (Resource *r = find(row->def)) {
                MQ_put(queue, conn, "set res %s %s", row->def, r->data ? r->data->c_str() : "");
                ++sets;
            }
        }
    }
    for (; sets > 0; --sets)
        loop_reply();
}

// One defaults file of the search path.
void read_defaults(const char *item, RES_defobj *tab) {
    if (DEF_open(item) == 0) {
        char name[DEF_NAME_SIZE];
        char value[DEF_VALUE_SIZE];
        while (DEF_get(name, sizeof name, value, sizeof value) == 1) {
            bool matched = false;
            for (RES_defobj *row = tab; row->def; ++row) {
                if (row->def[0] && DEF_cmp(row->def, name)) {
                    RES_new(static_cast<int>(row - tab), row->def, value, row->cvt);
                    MESS_print(M_DEBUG_D, "RESRC: %s=%s\n", name, value);
                    matched = true;
                }
            }
            if (!matched && DEF_valid(name)) {
                char adhoc[DEF_NAME_SIZE];
                DEF_parse_name(name, adhoc, sizeof adhoc);
                RES_new(MISSING, adhoc, value, CV_string);
            }
        }
    }
    DEF_close();
}

// The defaults search path, item by item.
void read_search_path(RES_defobj *tab) {
    const char *path = RES_get("default");
    if (!path) path = default_search_path;
    DEF_clr_tag();
    int n = 0;
    char **items = nullptr;
    parse_string(path, ':', &n, &items);
    if (n == 0) {
        read_defaults("", tab);
        return;
    }
    for (int i = 0; i < n; ++i) {
        const char *item = items[i];
        if (item[0] == '+')
            DEF_tag(item + 1);
        else if (item[0] == '#')
            loop_window(item, tab);
        else
            read_defaults(item, tab);
    }
    // The tags refer into the items; they are used only while the files are read.
    DEF_clr_tag();
    free_parsed_array(n, items);
}

// Splits an option argument (after its dashes) into name and value; the value
// may be the next argument, which then is consumed (*i advanced).
struct Option {
    std::string name;
    const char *value = nullptr;
    bool value_from_next = false;
};

Option split_option(const char *text, int argc, char **argv, int *i) {
    Option opt;
    const char *eq = std::strchr(text, '=');
    std::size_t len = eq ? static_cast<std::size_t>(eq - text) : std::strlen(text);
    opt.name.assign(text, std::min(len, OPTION_NAME_LEN));
    if (eq) {
        opt.value = eq + 1;
    } else if (*i + 1 < argc && !dash_letter(argv[*i + 1])) {
        opt.value = argv[++*i];
        opt.value_from_next = true;
    }
    return opt;
}

bool names_title(const char *name, bool fold) {
    std::size_t n = std::strlen(name);
    if (n == 0 || n > 4) return false;
    return fold ? strnicmp(name, "name", static_cast<int>(n)) == 0 : std::strncmp(name, "name", n) == 0;
}

bool names_path(const char *name, bool fold) {
    if (fold) return ibegins(name, "default") || ibegins(name, "df");
    return std::strncmp(name, "default", 7) == 0 || std::strncmp(name, "df", 2) == 0;
}

// First command-line pass: the program title and the defaults search path.
void first_pass(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (!dash_letter(argv[i])) continue;
        Option opt = split_option(argv[i] + 1, argc, argv, &i);
        if (!opt.value) continue;
        if (names_title(opt.name.c_str(), false)) {
            RES_new(MISSING, "name", opt.value, CV_string);
            DEF_name(opt.value);
        } else if (names_path(opt.name.c_str(), false)) {
            RES_new(MISSING, "default", opt.value, CV_string);
        }
    }
}

// The row an option name selects, or -1; -2 when the option is one the first
// pass dealt with.
int match_row(const RES_defobj *tab, const char *name) {
    auto keyed = [](const RES_defobj &r) { return r.def[0] && r.cmd; };
    for (const RES_defobj *r = tab; r->def; ++r)
        if (keyed(*r) && ieq(r->cmd, name)) return static_cast<int>(r - tab);
    for (const RES_defobj *r = tab; r->def; ++r)
        if (keyed(*r) && ieq(r->def, name)) return static_cast<int>(r - tab);
    if (names_title(name, true) || names_path(name, true)) return -2;
    for (const RES_defobj *r = tab; r->def; ++r)
        if (keyed(*r) && ibegins(r->def, name)) return static_cast<int>(r - tab);
    return -1;
}

// Second command-line pass: every option and positional argument.
void second_pass(int argc, char **argv, RES_defobj *tab) {
    int npos = 0;
    std::vector<bool> slot_started;
    for (const RES_defobj *r = tab; r->def; ++r)
        slot_started.push_back(false);

    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--") == 0) continue;
        const char *text = nullptr;
        if (dash_letter(arg))
            text = arg + 1;
        else if (arg[0] == '-' && arg[1] == '-' && std::isalpha(static_cast<unsigned char>(arg[2])))
            text = arg + 2;

        if (text) {
            Option opt = split_option(text, argc, argv, &i);
            int row = match_row(tab, opt.name.c_str());
            if (row == -2) continue;
            const char *name = opt.name.c_str();
            if (row < 0) {
                RES_new(MISSING, name, opt.value, CV_string);
            } else {
                DEF_convert cvt = tab[row].cvt;
                if (opt.value_from_next && (cvt == CV_bool || cvt == CV_batch || cvt == CV_help)) {
                    --i; // the argument is examined on its own
                    opt.value = nullptr;
                }
                name = tab[row].def;
                RES_new(row, name, opt.value, cvt);
            }
            if (loop.connected) {
                MQ_put(loop.queue, loop.conn, "set res %s %s", name, opt.value ? opt.value : "");
                loop_reply();
            }
            continue;
        }

        ++npos;
        int row = -1;
        for (const RES_defobj *r = tab; r->def && row < 0; ++r)
            if (r->def[0] && !r->cmd && r->slot == npos) row = static_cast<int>(r - tab);
        for (const RES_defobj *r = tab; r->def && row < 0; ++r)
            if (r->def[0] && !r->cmd && r->slot == RES_SLOT_ALL) row = static_cast<int>(r - tab);
        if (row < 0) continue;
        if (tab[row].slot == RES_SLOT_ALL && slot_started[row])
            RES_append(row, tab[row].def, arg, tab[row].cvt);
        else
            RES_new(row, tab[row].def, arg, tab[row].cvt);
        slot_started[row] = true;
    }
}

// Converts the resources that act at once (rows with a target, and the kinds
// that set flags, the message level and the file time).
void convert_all(RES_defobj *tab) {
    for (std::size_t k = 0; k < store.size(); ++k) {
        Resource &r = *store[k];
        if (r.index == MISSING) continue;
        RES_defobj &row = tab[r.index];
        const char *value = r.data ? r.data->c_str() : nullptr;
        if (r.cvt == CV_strings && row.out) {
            int count = 0;
            parse_string(value, '\n', &count, static_cast<char ***>(row.out));
            if (row.num) *row.num = count;
        } else {
            conv_named(r.name.c_str(), value, row.out, r.cvt);
        }
    }
}

} // namespace

int RES_init(int argc, char **argv, const res_type *res_key, const res_type *res_pos) {
    FLAG_reset(MISSING);
    int n = 0;
    for (const res_type *k = res_key; k && *k != RES_null; ++k)
        ++n;
    for (const res_type *k = res_pos; k && *k != RES_null; ++k)
        ++n;
    if (n > RES_MAX_ROWS) {
        MESS_print(M_ERROR, "RES_init: Too many resources: %d (at most %d)\n", n, RES_MAX_ROWS);
        return -1;
    }
    int row = 0;
    for (const res_type *k = res_key; k && *k != RES_null; ++k)
        RES_enter(&table[row++], *k);
    for (const res_type *k = res_pos; k && *k != RES_null; ++k)
        RES_enter(&table[row++], *k);
    RES_fill_obj(&table[row], nullptr, nullptr, nullptr, 0, CV_none, nullptr, nullptr);

    RES_decode(argc, argv, table);

    if (const char *tz = std::getenv("zeqtz")) DATE_set_TZ(tz);
    return 1;
}

int RES_enter(RES_defobj *obj, res_type key) {
    int k = static_cast<int>(key);
    if (k < 0 || k >= RES_NUM_TYPES || !rows[k].def) {
        std::printf("%d\n", k);
        return RES_fill_obj(obj, "", "", nullptr, 0, CV_none, nullptr, nullptr);
    }
    const Row &r = rows[k];
    return RES_fill_obj(obj, r.def, r.env, r.cmd, r.slot, r.cvt, nullptr, nullptr);
}

int RES_fill_obj(RES_defobj *obj, const char *def, const char *env, const char *cmd, int slot,
                 DEF_convert cvt, void *out, int *num) {
    *obj = {def, env, cmd, slot, cvt, out, num};
    return 1;
}

int RES_decode(int argc, char **argv, RES_defobj *def_table) {
    RES_setCL(argc, argv);
    DEF_prog();

    // What the user typed and set in the environment may name commands and
    // special files; the environment values are registered as they are read.
    for (int i = 1; i < argc; ++i)
        FILE_user_text(argv[i]);
    if (const char *path = std::getenv("zeqdefault")) {
        FILE_user_text(path);
        RES_new(MISSING, "default", path, CV_string);
    }

    first_pass(argc, argv);
    read_search_path(def_table);

    char value[ENV_VALUE_SIZE];
    for (RES_defobj *row = def_table; row->def; ++row)
        if (row->def[0] && DEF_env(row->def, row->env, value, sizeof value))
            RES_new(static_cast<int>(row - def_table), row->def, value, row->cvt);

    second_pass(argc, argv, def_table);

    if (loop.connected) {
        MQ_put(loop.queue, loop.conn, "quit");
        loop_reply();
        loop = {};
    }

    convert_all(def_table);
    return 0;
}

int RES_new(int index, const char *name, const char *data, DEF_convert cvt) {
    if (!name) return -1;
    try {
        Resource *r = find(name);
        if (!r) {
            store.push_back(std::make_unique<Resource>(Resource{index, name, std::nullopt, cvt}));
            r = store.back().get();
        }
        r->data.reset();
        r->index = index;
        r->cvt = cvt;
        try {
            if (data) r->data.emplace(data);
        } catch (const std::bad_alloc &) {
            r->data.reset();
        }
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

int RES_append(int index, const char *name, const char *str, DEF_convert cvt) {
    Resource *r = find(name);
    if (!r) return RES_new(index, name, str, cvt);
    if (!str) return 0;
    try {
        if (r->data)
            r->data->append("\n").append(str);
        else
            r->data.emplace(str);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

int RES_put(const char *name, const char *value) {
    return RES_new(MISSING, name, value, CV_string);
}

const char *RES_get(const char *name) {
    const Resource *r = find(name);
    if (!r) return nullptr;
    return r->data ? r->data->c_str() : "";
}

int RES_getval(const char *name, void *data, DEF_convert cvt) {
    const Resource *r = find(name);
    if (!r || !data) return 0;
    return conv_named(name, r->data ? r->data->c_str() : nullptr, data, cvt);
}

int RES_getvals(const char *name, int *paramc, char ***paramv) {
    if (paramc) *paramc = 0;
    if (paramv) *paramv = nullptr;
    const Resource *r = find(name);
    if (!r || !paramv || !r->data) return 0;
    int count = 0;
    parse_string(r->data->c_str(), r->cvt == CV_strings ? '\n' : ',', &count, paramv);
    if (paramc) *paramc = count;
    return count;
}

int RES_list() {
    for (const auto &r : store) {
        if (r->data)
            MESS_print(M_PRINT_D, "%s: %s\n", r->name.c_str(), r->data->c_str());
        else
            MESS_print(M_PRINT_D, "%s:\n", r->name.c_str());
    }
    return 0;
}

int RES_conv_data(const char *data, void *out, DEF_convert cvt) {
    switch (cvt) {
    case CV_batch:
        FLAG_set(FLAG_BATCH, 1);
        if (MESS_check_set() == 0) MESS_set(0, 0xFF);
        return 1;
    case CV_help:
        FLAG_set(FLAG_HELP, 1);
        return 1;
    case CV_bool:
        if (out) {
            int *target = static_cast<int *>(out);
            if (!data || ieq(data, "true") || ieq(data, "on") || ieq(data, "yes"))
                *target = 1;
            else if (ieq(data, "false") || ieq(data, "off") || ieq(data, "no"))
                *target = 0;
            return 1;
        }
        break;
    default:
        break;
    }
    if (!data) return 0;

    switch (cvt) {
    case CV_mess:
        MESS_set_str(data);
        return 1;
    case CV_hour: {
        Date d = decode_hour(data);
        if (FILE_valid_time(&d))
            FILE_set_time(&d);
        else
            out_of_range(data);
        return 1;
    }
    case CV_file_param:
        set_file_param(data);
        return 1;
    case CV_plot_type:
        set_plot_type(data);
        return 1;
    case CV_draw:
        FLAG_set_draw(data);
        return 1;
    default:
        break;
    }
    if (!out) return 0;

    long v = 0;
    std::string num;
    switch (cvt) {
    case CV_int:
        if (std::isdigit(static_cast<unsigned char>(data[0])) || data[0] == '-' || data[0] == '+') {
            int base = (data[1] == 'x' || data[1] == 'X') ? 16 : 10;
            const Lead l = lead_long(data, base, v);
            if (l == Lead::range || (l == Lead::ok && (v < INT_MIN || v > INT_MAX)))
                out_of_range(data);
            else if (l == Lead::ok)
                *static_cast<int *>(out) = static_cast<int>(v);
        }
        break;
    case CV_short:
        if (std::isdigit(static_cast<unsigned char>(data[0]))) {
            const Lead l = lead_long(data, 10, v);
            if (l == Lead::range || (l == Lead::ok && v > INT16_MAX))
                out_of_range(data);
            else if (l == Lead::ok)
                *static_cast<std::int16_t *>(out) = static_cast<std::int16_t>(v);
        }
        break;
    case CV_long:
        if (std::isdigit(static_cast<unsigned char>(data[0]))) {
            const Lead l = lead_long(data, 10, v);
            if (l == Lead::range)
                out_of_range(data);
            else if (l == Lead::ok)
                *static_cast<long *>(out) = v;
        }
        break;
    case CV_float:
        if (!lead_decimal(data, num)) {
            *static_cast<float *>(out) = 0.0f;
        } else {
            const float f = std::strtof(num.c_str(), nullptr);
            if (std::isfinite(f))
                *static_cast<float *>(out) = f;
            else
                out_of_range(data);
        }
        break;
    case CV_color: {
        const Lead l = lead_long(data, 10, v);
        if (l == Lead::range)
            out_of_range(data);
        else
            *static_cast<long *>(out) = l == Lead::ok ? v : 0;
        break;
    }
    case CV_string:
        *static_cast<const char **>(out) = data;
        break;
    case CV_strcpy:
        copy_text(static_cast<char *>(out), RES_STRCPY_SIZE, data);
        break;
    case CV_path: {
        std::size_t n = std::strlen(data);
        bool none = ieq(data, "none");
        bool slash = none || (n > 0 && data[n - 1] == '/');
        std::size_t len = none ? 0 : n;
        char *copy = static_cast<char *>(std::malloc(len + (slash ? 1 : 2)));
        if (copy) {
            std::memcpy(copy, data, len);
            if (!slash) copy[len++] = '/';
            copy[len] = '\0';
            *static_cast<char **>(out) = copy;
        }
        break;
    }
    case CV_region:
    case CV_domain:
        if (domain_decoder != nullptr) domain_decoder(data, static_cast<Domain *>(out));
        break;
    case CV_device: {
        int argc = 0;
        char **argv = nullptr;
        parse_string(data, ',', &argc, &argv);
        FLAG_set(FLAG_DEVICE, argc > 0 ? RES_set_device(argv[0]) : 1);
        if (argc >= 2) *static_cast<const char **>(out) = std::strchr(data, ',') + 1;
        free_parsed_array(argc, argv);
        break;
    }
    default:
        break;
    }
    return 1;
}

int RES_set_domain_decoder(RES_domain_decoder decode) {
    domain_decoder = decode;
    return 0;
}

int RES_set_device(const char *str) {
    switch (str ? str[0] : '\0') {
    case 'P':
    case 'p':
        return 4;
    case 'H':
    case 'h':
    case 'Q':
    case 'q':
        return 5;
    case 'M':
    case 'm':
        return 3;
    case 'W':
    case 'w':
        return 6;
    default:
        return 1;
    }
}

int RES_setCL(int argc, char **argv) {
    cl_argc = argc;
    cl_argv = argv;
    return 1;
}

const char *RES_get_prog() {
    return (cl_argc > 0 && cl_argv) ? cl_argv[0] : nullptr;
}

const char *RES_get_progname(char *prog, std::size_t size) {
    const char *path = RES_get_prog();
    if (!path) path = "";
    const char *slash = std::strrchr(path, '/');
    const char *base = slash ? slash + 1 : path;
    if (!prog) {
        std::size_t n = std::strlen(base);
        char *copy = static_cast<char *>(std::malloc(n + 1));
        if (!copy) return "ZEQ";
        std::memcpy(copy, base, n + 1);
        return copy;
    }
    copy_text(prog, size, base);
    return prog;
}
