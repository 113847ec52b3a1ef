// The surface plot driver: the input kind, the run date, the variable prompt,
// the plots of a file sequence with their timed refresh, the callbacks of the
// surface data source, and the surface variables, each computed from one
// report with its native units and plotting text. File-static state: the
// variable prompt switch and specification, the file date, the open surface
// file with its header, report buffer and report counter, the data-source
// record, the plot domain, and the refresh switch and times of the last file.
#include "surface/sfc_plt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "fields/calc.h"
#include "fields/cty_tool.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/gks.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/frt_plt.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/raw_tool.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "runtime/unittool.h"
#include "surface/data.h"
#include "surface/data_plt.h"
#include "surface/object.h"
#include "surface/sfc_read.h"
#include "surface/sfc_tool.h"
#include "surface/wx_tool.h"

namespace {

constexpr std::size_t VAR_STR_SIZE = 80;

int variable_prompt = 1;
char var_str[VAR_STR_SIZE];
Date file_date{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};

// Applies the words of one list resource to the input kind; later words win.
void input_words(const char *resource) {
    int argc = 0;
    char **argv = nullptr;
    RES_getvals(resource, &argc, &argv);
    for (int i = 0; i < argc; ++i) {
        char *word = argv[i];
        if (std::strstr(word, "forfront")) {
            FLAG_set(FLAG_INPUT, 11);
            char conv[] = "frf_dat";
            FILE_set_name(conv);
        } else if (std::strstr(word, "front")) {
            FLAG_set(FLAG_INPUT, 11);
            char conv[] = "frt_dat";
            FILE_set_name(conv);
        } else {
            if (std::strstr(word, "sfc")) FLAG_set(FLAG_INPUT, 10);
            FILE_set_name(word);
        }
    }
    free_parsed_array(argc, argv);
}

} // namespace

int SFC_cvt_in_file() {
    char conv[] = "sfc_cvt";
    FILE_set_name(conv);
    FLAG_set(FLAG_INPUT, 10);
    input_words("input");
    input_words("in_file");
    return 0;
}

int SFC_set_date(const Date *datim) {
    if (datim)
        file_date = *datim;
    else
        FILE_get_date(&file_date);
    return 0;
}

int SFC_set_prompt_variable(int val) {
    variable_prompt = val;
    return 0;
}

int SFC_prompt_variable() {
    static bool init = false;
    if (!init) {
        VAR_open_file(nullptr);
        init = true;
    }
    VAR_read_menu();
    if (!variable_prompt) return 0;

    int result;
    if (const char *var = RES_get("variable")) {
        variable_prompt = 0;
        if (std::strlen(var) >= sizeof var_str) {
            MESS_print(M_ERROR, "SFC_prompt_variable: Variable specification longer than %d characters\n",
                       static_cast<int>(sizeof var_str - 1));
            return 0;
        }
        std::memcpy(var_str, var, std::strlen(var) + 1);
        result = 1;
    } else {
        result = VAR_menu("\n        Variable Menu\n", "Enter the variable: ", var_str, 3);
        if (FLAG_batch()) variable_prompt = 0;
        if (result == 0) return 0;
        if (result < 0 && result != MISSING) ZEQ_exit(0);
    }
    FLAG_set(FLAG_LTYPE, 1);
    VAR_setup(nullptr, var_str);
    DATA_new_grid();
    return result;
}

// ---- Plots ---------------------------------------------------------------------------

namespace {

// The refresh period of the timed redraw of the newest file (seconds).
constexpr int REFRESH_PERIOD = 60;

// Size of a station's user buffer: the text of its plotted values.
constexpr int STATION_TEXT = RAW_STATION_TEXT;

int cvt_fd = -1;
Domain domain{};
SFC_info info{};
SFC_report report{};
int stat_num = 0;
DATA_info data{};
int refresh = 0;
time_t fsecs = 0;
time_t pmsecs = 0;

// The nominal time of a file rounded down to the late offset; a late offset
// of 0 or less leaves it as it is.
time_t round_late(time_t secs) {
    const int late = FILE_get_late_off();
    return late > 0 ? secs / late * late : secs;
}

} // namespace

int SFC_plot_param() {
    int argc = 0;
    char **argv = nullptr;
    RES_getvals("plot_param", &argc, &argv);
    for (int i = 0; i < argc; ++i)
        if (strcasecmp(argv[i], "refresh") == 0) refresh = 1;
    free_parsed_array(argc, argv);
    return 0;
}

int SFC_open_file(const char *filename) {
    int type = 0;
    cvt_fd = SFC_open(filename, 0, &type);
    if (cvt_fd == -1) {
        MESS_print(M_WARN_C, "SFC_open_file: Unable to open file:%s\n", filename);
        return 0;
    }
    info = SFC_info{};
    SFC_getinfo(cvt_fd, &info);
    file_date = info.date;
    PLT_label_up_right(info.datim);
    MESS_print(M_MESS, "Date: %s\n", info.datim);
    return 1;
}

void SFC_rewind_file() {
    stat_num = 0;
    SFC_rewind(cvt_fd);
}

void SFC_close_file() {
    SFC_close(cvt_fd);
    cvt_fd = -1;
}

int SFC_plot(Domain *rdomain) {
    MESS_print(M_DEBUG_A, "SFC_plot: %d variables\n", VAR_get_num());
    domain = *rdomain;
    const bool reentry = gchk_graphics() != 0;
    if (reentry) {
        PLT_reset(DOM_aspect(&domain));
    } else {
        SFC_plot_param();
        PLT_open(DOM_aspect(&domain));
        PLT_set_callback(SFC_callback);
        PLT_set_zoom_func(SFC_plot);
        PLT_set_resize_func(SFC_plot);
        // The refresh rereads the newest file on the domain in use.
        if (refresh) PLT_set_refresh_func(REFRESH_PERIOD, [](Domain *) { return SFC_plot_refresh(); });
    }
    MAP_setup(&domain);
    if (!reentry) {
        CTY_data_size(STATION_TEXT);
        CTY_store("sao.cty", 3, &domain, 7);
    }
    CTY_clear_data(1);
    DATA_plot_init();

    data.date = file_date;
    data.model = MISSING;
    data.out_raw = SFC_raw_out_file;
    data.out_grid = SFC_grd_out_file;
    data.domain = domain;
    data.report = &report;
    data.get_var = SFC_get_var;
    data.read_report = SFC_read_report;
    data.rewind = SFC_rewind_file;
    data.get_data = SFC_get_data;
    data.plot_data = SFC_plot_data;
    data.grid_data = SFC_grid_data;
    data.callback = SFC_callback;

    FILE_first(&file_date);
    MAP_fill_cont(0);
    int plot = 0;
    const bool sequence = FILE_get_num_file() != 0;
    char name[FILE_NAME_SIZE];
    while (FILE_get_next(name, sizeof name)) {
        GPH_trans(2);
        if (sequence) gselect_frame(gcreate_frame(plot));
        if (!SFC_open_file(name)) {
            if (!sequence) PLT_exit(10);
            continue;
        }
        pmsecs = FILE_modtime(name);
        Date fdate{};
        FILE_get_date(&fdate);
        fsecs = round_late(DATE_num_sec(&fdate));
        data.plot = plot;
        data.date = fdate;
        SFC_plot_frame();
        SFC_close_file();
        if (sequence) {
            gdisplay_frame(plot);
            DATA_new_grid();
        }
        PLT_dump(plot);
        ++plot;
    }
    if (sequence) gset_looping(1);
    if (reentry) return 0;

    PLT_close();
    for (int i = 0; i < VAR_get_num(); ++i)
        if (VAR_is_type_GRID(i)) GRD_free(GRD_get_grid(i));
    CTY_clear_data(0);
    CTY_clear();
    return 0;
}

int SFC_plot_frame() {
    DATA_fit_grid(&data);
    DATA_plot_start();
    for (int i = 0; i < VAR_get_num(); ++i) {
        i = DATA_plot_grid(i, &data);
        i = DATA_plot_raw(i, &data);
        DATA_plot_map(i);
        DATA_plot_control(i, &domain);
    }
    DATA_plot_end();
    return 0;
}

int SFC_plot_refresh() {
    char name[FILE_NAME_SIZE];
    const time_t secs = FILE_set_current(nullptr, name, sizeof name);
    const time_t msecs = FILE_modtime(name);
    MESS_print(M_DEBUG_A, "File: %d %s\n", static_cast<int>(secs), name);
    const bool is_new = secs != fsecs;
    const bool updated = msecs != pmsecs;
    if (!is_new && !updated) return 0;
    if (!SFC_open_file(name)) return 0;
    data.date = file_date;
    SFC_set_date(nullptr);
    fsecs = secs;
    pmsecs = msecs;
    DATA_new_grid();

    const int n = gget_num_images();
    if (n <= 0) {
        gclear_frame(-3);
    } else if (is_new) {
        for (int i = 0; i + 1 < n; ++i)
            gcopy_frame(i, i + 1);
        gselect_frame(gcreate_frame(n - 1));
    } else {
        gselect_frame(n - 1);
        gclear_frame(n - 1);
    }
    std::puts("plot frame");
    SFC_plot_frame();
    SFC_close_file();
    if (n > 0) gdisplay_frame(is_new ? n - 1 : -3);
    return 0;
}

// ---- Data-source callbacks ----------------------------------------------------------

namespace {

bool starts_with_nocase(const char *word, const char *prefix) {
    return strncasecmp(word, prefix, std::strlen(prefix)) == 0;
}

// Sets a name convention from a word (FILE_set_name takes a writable text).
void set_conv(const char *conv) {
    char text[FILE_NAME_SIZE];
    copy_text(text, sizeof text, conv);
    FILE_set_name(text);
}

// Each word of resource out_file in order, but for "none" and the image
// words (beginning with "gif").
template <typename F> void out_file_words(F each) {
    int argc = 0;
    char **argv = nullptr;
    RES_getvals("out_file", &argc, &argv);
    for (int i = 0; i < argc; ++i) {
        const char *word = argv[i];
        if (strcasecmp(word, "none") != 0 && !starts_with_nocase(word, "gif")) each(word);
    }
    free_parsed_array(argc, argv);
}

} // namespace

int SFC_raw_out_file() {
    set_conv("sfc_raw");
    int result = 0;
    out_file_words([&](const char *word) {
        if (starts_with_nocase(word, "zeq") || starts_with_nocase(word, "raw"))
            set_conv(std::strlen(word) > 3 ? word + 4 : "sfc_raw");
        else
            set_conv(word);
        result = 1;
    });
    return result;
}

int SFC_grd_out_file() {
    set_conv("sfc_grd");
    int type = 0;
    bool taken = false;
    out_file_words([&](const char *word) {
        taken = true;
        if (starts_with_nocase(word, "zeqb")) {
            set_conv(std::strlen(word) > 4 ? word + 5 : "sfc_grd_zeq");
            type = 3;
        } else if (starts_with_nocase(word, "zeq")) {
            set_conv(std::strlen(word) > 3 ? word + 4 : "sfc_grd_zeq");
            type = 2;
        } else if (starts_with_nocase(word, "cdf")) {
            set_conv(std::strlen(word) > 3 ? word + 4 : "sfc_grd_cdf");
            type = 11;
        } else {
            set_conv(word);
        }
    });
    if (taken && type == 0) type = 2;
    if (type != 0) FLAG_set(FLAG_GRID_KIND, type);
    return type;
}

int SFC_read_report(void *rep, CTY_locate *loc) {
    auto *r = static_cast<SFC_report *>(rep);
    if (SFC_read(cvt_fd, r, 0, &stat_num) == -1) return -1;
    ++stat_num;
    if (CTY_search(r->id, loc) > 0) {
        r->elev = loc->el;
        if (!is_missing(r->lat)) MAP_tran(r->lat, r->lon, &loc->x, &loc->y);
    } else if (is_missing(r->lat)) {
        MESS_print(M_DEBUG, "Not in database: %s\n", r->id);
        return 0;
    } else {
        MAP_tran(r->lat, r->lon, &loc->x, &loc->y);
        r->elev = 0;
        loc->el = 0;
        loc->pr = DOM_get_loc_prior();
    }
    copy_text(loc->id, r->id);
    return loc->pr <= DOM_get_prior() ? 1 : 0;
}

int SFC_plot_data(int ind) {
    if (strcasecmp(VAR_get_name(ind), "front") != 0) return 0;
    FILE_save_name_conv();
    set_conv("frt_dat");
    char name[FILE_NAME_SIZE];
    FILE_set_date(&file_date, name, sizeof name);
    FRT_set_date(&file_date);
    FRT_plot_file(name);
    FILE_restore_name_conv();
    return 1;
}

int SFC_grid_data(DATA_info *d) {
    if (DATA_setup_grid(d)) {
        OBJ_set_filter(1.0f);
        OBJ_set_rad_inf(3.0f);
        DATA_get_data(d);
        DATA_object_analyze();
    }
    GRD_calc_var();
    DATA_save_grid(d);
    DATA_free();
    return 0;
}

void SFC_callback(int type, const char *str, float x, float y) {
    (void)type;
    PLT_print_values(str, x, y);
    PLT_plot_zoom(str, x, y);
    PLT_plot_resize(str, x, y);
    CONT_flash_value(str, x, y);
    if (str == nullptr || std::strcmp(str, "s-Alt") != 0) return;
    if (FILE_get_num_file() != 0 || VAR_get_num() != 1) return;
    FILE_save_name_conv();
    int out = SFC_grd_out_file();
    if (out == 0) out = 2;
    FILE_set_key('v', VAR_get_name(0));
    FILE_set_key('l', VAR_get_level_key(0));
    FILE_set_key('f', VAR_get_time_key(0));
    char name[FILE_NAME_SIZE];
    FILE_set_date(&file_date, name, sizeof name);
    GRD_info header{};
    GRD_report *grid = GRD_get_grids();
    GRD_set_info(&header, &file_date, &grid->domain);
    GRD_save_file(name, grid, &header, out);
    FILE_restore_name_conv();
}

// ---- Surface variables -----------------------------------------------------------

namespace {

enum class SfcVar {
    city,
    temp,
    ttd,
    dewp,
    dewd,
    wdir,
    wspd,
    wgst,
    wbrb,
    hwind,
    uwnd,
    vwnd,
    uwndg,
    vwndg,
    alt,
    pralt,
    pres,
    elev,
    wx,
    vis,
    cldcl,
    cldclc,
    cldcv,
    ptend,
    prec1,
    prec3,
    prec6,
    prec12,
    prec24,
    prec,
    extt,
    maxt6,
    maxt24,
    maxt,
    mint6,
    mint24,
    mint,
    snwdp,
    nlcld,
    lcld,
    mcld,
    hcld,
    solar,
    sst,
    wavper,
    wavhgt,
    vpres,
    svpres,
    wchilt,
    wchill2,
    wchilf,
    heat,
    humit,
    mrat,
    smrat,
    shum,
    rhum,
    wetblb,
    thetaw,
    thetae,
    thetav,
    theta,
    vtemp,
    fr,
};

// One name of the surface vocabulary: its native units and the default units
// the variable takes (null: no default, the name is unknown to SFC_get_var).
struct SfcVarDef {
    std::string_view name;
    SfcVar var;
    const char *native;
    const char *def_units;
};

constexpr SfcVarDef sfc_vars[] = {
    {"city", SfcVar::city, "", ""},
    {"temp", SfcVar::temp, "F", "F"},
    {"ttd", SfcVar::ttd, "F", "F"},
    {"dewp", SfcVar::dewp, "F", "F"},
    {"dewd", SfcVar::dewd, "dF", "dF"},
    {"wdir", SfcVar::wdir, "deg", "deg"},
    {"wspd", SfcVar::wspd, "knt", "knt"},
    {"wgst", SfcVar::wgst, "knt", "knt"},
    {"wbrbc", SfcVar::wbrb, "knt", "knt"},
    {"wbrb", SfcVar::wbrb, "knt", "knt"},
    {"wind", SfcVar::wbrb, "knt", "knt"},
    {"hwind", SfcVar::hwind, "knt", nullptr},
    {"uwnd", SfcVar::uwnd, "m/s", "m/s"},
    {"vwnd", SfcVar::vwnd, "m/s", "m/s"},
    {"uwndg", SfcVar::uwndg, "m/s", "m/s"},
    {"vwndg", SfcVar::vwndg, "m/s", "m/s"},
    {"alt", SfcVar::alt, "in_Hg", "in_HG"},
    {"pralt", SfcVar::pralt, "mb", "mb"},
    {"pres", SfcVar::pres, "mb", "mb"},
    {"elev", SfcVar::elev, "m", "m"},
    {"wx", SfcVar::wx, "", ""},
    {"vis", SfcVar::vis, "mi", "mi"},
    {"cldcl", SfcVar::cldcl, "100 ft", "100 ft"},
    {"cldclc", SfcVar::cldclc, "", nullptr},
    {"cldcv", SfcVar::cldcv, "%", "%"},
    {"ptend", SfcVar::ptend, "mb", "mb"},
    {"prec1", SfcVar::prec1, "in", nullptr},
    {"prec3", SfcVar::prec3, "in", "in"},
    {"prec6", SfcVar::prec6, "in", "in"},
    {"prec12", SfcVar::prec12, "in", "in"},
    {"prec24", SfcVar::prec24, "in", "in"},
    {"prec", SfcVar::prec, "in", "in"},
    {"extt", SfcVar::extt, "F", "F"},
    {"maxt6", SfcVar::maxt6, "F", "F"},
    {"maxt24", SfcVar::maxt24, "F", "F"},
    {"maxt", SfcVar::maxt, "F", "F"},
    {"mint6", SfcVar::mint6, "F", "F"},
    {"mint24", SfcVar::mint24, "F", "F"},
    {"mint", SfcVar::mint, "F", "F"},
    {"snwdp", SfcVar::snwdp, "in", "in"},
    {"nlcld", SfcVar::nlcld, "%", nullptr},
    {"lcld", SfcVar::lcld, "", ""},
    {"mcld", SfcVar::mcld, "", ""},
    {"hcld", SfcVar::hcld, "", ""},
    {"solar", SfcVar::solar, "min", "min"},
    {"sst", SfcVar::sst, "C", "C"},
    {"wavper", SfcVar::wavper, "sec", "sec"},
    {"wavhgt", SfcVar::wavhgt, "m", "m"},
    {"vpres", SfcVar::vpres, "mb", "mb"},
    {"svpres", SfcVar::svpres, "mb", nullptr},
    {"wchilt", SfcVar::wchilt, "K", "K"},
    {"wchill", SfcVar::wchilt, "K", nullptr},
    {"wchill2", SfcVar::wchill2, "K", nullptr},
    {"wchilf", SfcVar::wchilf, "W/m^2", "W/m^2"},
    {"heat", SfcVar::heat, "K", "K"},
    {"humit", SfcVar::humit, "F", "F"},
    {"mrat", SfcVar::mrat, "g/kg", "g/kg"},
    {"smrat", SfcVar::smrat, "g/kg", nullptr},
    {"shum", SfcVar::shum, "g/kg", "g/kg"},
    {"rhum", SfcVar::rhum, "%", "%"},
    {"wetblb", SfcVar::wetblb, "K", "K"},
    {"thetaw", SfcVar::thetaw, "K", "K"},
    {"thetae", SfcVar::thetae, "K", "K"},
    {"thetav", SfcVar::thetav, "K", "K"},
    {"theta", SfcVar::theta, "K", "K"},
    {"vtemp", SfcVar::vtemp, "K", "K"},
    {"fr", SfcVar::fr, "", ""},
};

// Level types of "pres": the station pressure at the surface, the lifting
// condensation level.
constexpr int LEVEL_SURFACE = 1;
constexpr int LEVEL_CONDENSATION = 5;

constexpr double KNOT_TO_MS = 0.5144;
constexpr double INHG_TO_MB = 33.85399;
constexpr double DEG_RAD = 3.14159265358979323846 / 180.0;

// Which values of a result a requested unit applies to.
enum class Convert { first, second, both };

struct SfcValue {
    float value[2] = {FMISSING, FMISSING};
    std::string text;
    Convert convert = Convert::first;
};

bool have(float v) {
    return v != FMISSING;
}

float kelvin_of_f(float f) {
    return have(f) ? static_cast<float>((f - 32.0) * 5.0 / 9.0 + 273.15) : FMISSING;
}

// The definition of a variable name: its part before the first '-'.
const SfcVarDef *find_var(const char *name) {
    std::string_view n = name;
    n = n.substr(0, n.find('-'));
    for (const SfcVarDef &d : sfc_vars)
        if (iequals(d.name, n)) return &d;
    return nullptr;
}

std::string format_text(const char *format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// The last three digits of the integer part of x as "%3.3d" (a negative value
// keeps its sign); no text for a value too large to have digits.
std::string format_code(double x) {
    const double d = std::fmod(std::trunc(x), 1000.0);
    if (!std::isfinite(d)) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3.3d", static_cast<int>(d));
    return buf;
}

// Visibility text in miles: whole miles from 3 on, tenths from 1, and below
// a mile tenths after the point.
std::string vis_text(float vis) {
    if (!have(vis) || vis < 0.0f) return {};
    if (vis >= 3.0f) return format_text("%.0f", vis);
    if (vis >= 1.0f) return format_text("%.1f", vis);
    // Nearly a mile rounds up to the mile rather than to ".10".
    if (std::nearbyint(10.0 * vis) >= 10.0) return "1.0";
    return format_text(".%.0f", 10.0 * vis);
}

// Flight-rule category of the ceiling (the summary height of broken or
// overcast cloud, a lone layer of 4 to 8 oktas included) and the visibility.
int flight_rules(char cover, float height, float vis) {
    const bool ceiling_cover = cover == 'B' || cover == 'O' || (cover >= '4' && cover <= '8');
    const float ceiling = ceiling_cover ? height : FMISSING;
    if ((have(ceiling) && ceiling < 1000.0f) || (have(vis) && vis < 3.0f)) return 2;
    if ((have(ceiling) && ceiling <= 3000.0f) || (have(vis) && vis <= 5.0f)) return 1;
    return 0;
}

// Cloud cover in percent of a summary cover character.
float cover_percent(char cover) {
    switch (cover) {
    case 'C':
        return 0.0f;
    case 'S':
        return 33.0f;
    case 'B':
        return 67.0f;
    case 'O':
    case 'X':
    case '9':
        return 100.0f;
    default:
        return cover >= '0' && cover <= '8' ? 12.5f * static_cast<float>(cover - '0') : FMISSING;
    }
}

// The earth-relative wind components (m/s) of a direction and speed; the
// speed already in m/s.
float wind_u(float dir, float ws) {
    return have(dir) && have(ws) ? static_cast<float>(-ws * std::sin(dir * DEG_RAD)) : FMISSING;
}
float wind_v(float dir, float ws) {
    return have(dir) && have(ws) ? static_cast<float>(-ws * std::cos(dir * DEG_RAD)) : FMISSING;
}

// The direction turned to the map's north at the item's position.
float grid_dir(float dir, const RAW_data &item) {
    if (!have(dir) || !have(item.x) || !have(item.y)) return FMISSING;
    return MAP_dir_adj(dir, item.x, item.y);
}

// Computes the variable from the report in its native units.
SfcValue sfc_value(SfcVar which, const SFC_report &r, const VAR_data &var, const RAW_data &item) {
    SfcValue out;
    float &v = out.value[0];
    const float T = kelvin_of_f(r.t);
    const float Td = kelvin_of_f(r.td);
    const float ws = have(r.w_spd) ? static_cast<float>(KNOT_TO_MS * r.w_spd) : FMISSING;
    const float p = have(r.alt) ? sfc_pr_alt(static_cast<float>(INHG_TO_MB * r.alt), r.elev) : FMISSING;
    const int start = var.time == MISSING ? MISSING : (var.time / 1000) % 1000;
    // A formula of the given inputs, -9999 when any of them is missing.
    auto formula = [](auto fn, auto... args) { return (have(args) && ...) ? fn(args...) : FMISSING; };
    auto one_char = [](char c) { return std::string(1, c); };
    auto first_present = [](std::initializer_list<float> vals) {
        for (float x : vals)
            if (have(x)) return x;
        return FMISSING;
    };

    char cover = ' ';
    float height = FMISSING;
    switch (which) {
    case SfcVar::cldcl:
    case SfcVar::cldclc:
    case SfcVar::cldcv:
    case SfcVar::fr:
        WX_set_cloud(&r, &cover, &height);
        break;
    default:
        break;
    }

    switch (which) {
    case SfcVar::city:
        out.text = r.id;
        break;
    case SfcVar::temp:
        v = r.t;
        break;
    case SfcVar::ttd:
        v = r.t;
        out.value[1] = r.td;
        out.convert = Convert::both;
        break;
    case SfcVar::dewp:
        v = r.td;
        break;
    case SfcVar::dewd:
        v = have(r.t) && have(r.td) ? r.t - r.td : FMISSING;
        break;
    case SfcVar::wdir:
        v = r.w_dir;
        break;
    case SfcVar::wspd:
        v = r.w_spd;
        break;
    case SfcVar::wgst:
        v = r.w_gust;
        break;
    case SfcVar::wbrb:
        v = r.w_dir;
        out.value[1] = r.w_spd;
        out.convert = Convert::second;
        break;
    case SfcVar::hwind:
        // Only winds of 25 knots and more keep their speed.
        v = r.w_dir;
        out.value[1] = have(r.w_spd) && r.w_spd >= 25.0f ? r.w_spd : 0.0f;
        out.convert = Convert::second;
        break;
    case SfcVar::uwnd:
        v = wind_u(r.w_dir, ws);
        break;
    case SfcVar::vwnd:
        v = wind_v(r.w_dir, ws);
        break;
    case SfcVar::uwndg:
        v = wind_u(grid_dir(r.w_dir, item), ws);
        break;
    case SfcVar::vwndg:
        v = wind_v(grid_dir(r.w_dir, item), ws);
        break;
    case SfcVar::alt:
        v = r.alt;
        // The last three digits of the setting in hundredths of an inch.
        if (have(v)) out.text = format_code(100.0f * v);
        break;
    case SfcVar::pralt:
        v = have(r.pmb) ? r.pmb : have(r.alt) ? static_cast<float>(INHG_TO_MB * r.alt) : FMISSING;
        if (have(v)) out.text = format_code(0.1f + 10.0f * v);
        break;
    case SfcVar::pres:
        if (var.ltype == LEVEL_SURFACE) {
            v = p;
        } else if (var.ltype == LEVEL_CONDENSATION) {
            // The condensation pressure and temperature (K); a requested unit
            // applies to the pressure.
            const float pl = formula(lcl_pres, T, Td, p);
            if (have(pl)) {
                v = pl;
                out.value[1] = lcl_temp(T, p, pl);
            }
        } else {
            v = r.pmb;
            if (have(v)) out.text = format_code(0.1f + 10.0f * v);
        }
        break;
    case SfcVar::elev:
        v = r.elev;
        break;
    case SfcVar::wx: {
        char code[sizeof item.data];
        WX_field_code(r.weather, code, sizeof code);
        out.text = code;
        v = code[0] == 'S' ? 3.0f : code[0] == 'Z' ? 2.0f : code[0] == 'R' || code[0] == 'T' ? 1.0f : 0.0f;
        break;
    }
    case SfcVar::vis:
        v = r.vis;
        out.text = vis_text(r.vis);
        break;
    case SfcVar::cldcl:
        if (cover == 'C' || cover == '0') {
            v = 500.0f;
        } else if (have(height)) {
            v = height / 100.0f;
            out.text = format_text("%.0f", v);
        }
        break;
    case SfcVar::cldclc:
        if (cover != 'C' && cover != '0' && have(height)) {
            // Every height above the classes has the top class.
            const float h = height >= 0.0f ? std::min(height, 1e6f) : -1.0f;
            v = static_cast<float>(SYN_ceiling_to_code(static_cast<int>(h)));
        }
        break;
    case SfcVar::cldcv:
        v = cover_percent(cover);
        out.text = one_char(cover);
        break;
    case SfcVar::ptend:
        v = r.ptend;
        if (r.ptend_t != MISSING) out.text = std::to_string(r.ptend_t);
        break;
    case SfcVar::prec1:
        v = r.rain1;
        break;
    case SfcVar::prec3:
        v = r.rain3;
        break;
    case SfcVar::prec6:
        v = r.rain6;
        break;
    case SfcVar::prec12:
        v = r.rain12;
        break;
    case SfcVar::prec24:
        v = r.rain24;
        break;
    case SfcVar::prec:
        switch (start) {
        case 3:
            v = r.rain3;
            break;
        case 6:
            v = r.rain6;
            break;
        case 12:
            v = r.rain12;
            break;
        case 24:
            v = r.rain24;
            break;
        default:
            v = first_present({r.rain24, r.rain12, r.rain6});
            break;
        }
        break;
    case SfcVar::extt:
        v = have(r.max_t) ? r.max_t : r.min_t;
        break;
    case SfcVar::maxt6:
        v = r.max6_t;
        break;
    case SfcVar::maxt24:
        v = r.max_t;
        break;
    case SfcVar::maxt:
        v = start == 6 ? r.max6_t : start == 24 ? r.max_t : FMISSING;
        break;
    case SfcVar::mint6:
        v = r.min6_t;
        break;
    case SfcVar::mint24:
        v = r.min_t;
        break;
    case SfcVar::mint:
        v = start == 6 ? r.min6_t : start == 24 ? r.min_t : FMISSING;
        break;
    case SfcVar::snwdp:
        v = r.scover;
        break;
    case SfcVar::nlcld:
        if (r.cld_low >= '0' && r.cld_low <= '8') v = 12.5f * static_cast<float>(r.cld_low - '0');
        out.text = one_char(r.cld_low);
        break;
    case SfcVar::lcld:
        out.text = one_char(r.cld_type[0]);
        break;
    case SfcVar::mcld:
        out.text = one_char(r.cld_type[1]);
        break;
    case SfcVar::hcld:
        out.text = one_char(r.cld_type[2]);
        break;
    case SfcVar::solar:
        v = r.solar;
        break;
    case SfcVar::sst:
        v = r.sst;
        break;
    case SfcVar::wavper:
        v = r.wav_per;
        break;
    case SfcVar::wavhgt:
        v = r.wav_hgt;
        break;
    case SfcVar::vpres:
        v = formula(vapor_pr, Td);
        break;
    case SfcVar::svpres:
        v = formula(vapor_pr, T);
        break;
    case SfcVar::wchilt:
        v = formula(wind_chill_temp, T, ws);
        break;
    case SfcVar::wchill2:
        v = formula(wind_chill_temp2, T, ws);
        break;
    case SfcVar::wchilf:
        v = formula(wind_chill, T, ws);
        break;
    case SfcVar::heat:
        v = formula(heat_index, T, Td);
        break;
    case SfcVar::humit:
        v = formula(humiture, T, Td);
        break;
    case SfcVar::mrat:
        v = formula(mix_ratio, Td, p);
        break;
    case SfcVar::smrat:
        v = formula(mix_ratio, T, p);
        break;
    case SfcVar::shum:
        v = formula(spec_hum, Td, p);
        break;
    case SfcVar::rhum:
        v = formula(rel_hum, T, Td);
        break;
    case SfcVar::wetblb:
        v = formula(wet_bulb, T, Td, p);
        break;
    case SfcVar::thetaw:
        v = formula(wet_bulb_pot_temp, T, Td, p);
        break;
    case SfcVar::thetae:
        v = formula(eq_pot_temp, T, Td, p);
        break;
    case SfcVar::thetav:
        v = formula(virt_pot_temp, T, Td, p);
        break;
    case SfcVar::theta:
        v = formula(pot_temp, T, p);
        break;
    case SfcVar::vtemp:
        v = formula(virt_temp, T, Td, p);
        break;
    case SfcVar::fr: {
        static constexpr const char *category[] = {"VFR", "MVFR", "IFR"};
        const int f = flight_rules(cover, height, r.vis);
        v = static_cast<float>(f);
        out.text = category[f];
        break;
    }
    }
    // Input far outside any weather leaves no number rather than infinity.
    for (float &x : out.value)
        if (!std::isfinite(x)) x = FMISSING;
    return out;
}

} // namespace

int SFC_get_data(void *report, VAR_data *var, RAW_data *data) {
    RAW_data_init_val(data);
    const SfcVarDef *def = find_var(var->name);
    const char *native = def != nullptr ? def->native : "";
    SfcValue value;
    if (def != nullptr) {
        value = sfc_value(def->var, *static_cast<const SFC_report *>(report), *var, *data);
        std::snprintf(data->data, sizeof data->data, "%s", value.text.c_str());
    }
    if (var->units[0] == '\0') std::snprintf(var->units, sizeof var->units, "%s", native);
    if (std::strcmp(var->units, native) != 0) {
        if (value.convert != Convert::second) value.value[0] = UNIT_cvt(value.value[0], native, var->units);
        if (value.convert != Convert::first) value.value[1] = UNIT_cvt(value.value[1], native, var->units);
    }
    data->value[0] = value.value[0];
    data->value[1] = value.value[1];
    return def != nullptr ? 1 : 0;
}

int SFC_get_var(VAR_data *var) {
    const SfcVarDef *def = find_var(var->name);
    if (def == nullptr || def->def_units == nullptr) return 0;
    if (var->units[0] == '\0') std::snprintf(var->units, sizeof var->units, "%s", def->def_units);
    return 1;
}
