// Upper-air input tools and listings: the input file with its header and
// date, station choice, the vertical level menu, and the listings of reports
// and rows of the sounding tables. File-static state: the input descriptor,
// header and date, the station count and the two prompt switches, the level
// menu with its row texts, and the dash switch of the table rows.
#include "upperair/ua_tool.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fields/calc.h"
#include "fields/var_tool.h"
#include "plot/plt_labl.h"
#include "plot/vecttool.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/menu.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "runtime/tools.h"
#include "upperair/ua_read.h"

namespace {

// ---- Input state ----------------------------------------------------------------------

int cvt_fd = 0;           // descriptor of the input file
UPA_info info{};          // header of the input file; its datim is the current date label
Date file_date{};         // date of the input file
int stat_num = 0;         // next station of sequential reading
bool prompt = true;       // the station is still to be chosen
bool level_prompt = true; // the level is still to be chosen

constexpr int STATION_TRIES = 5;
constexpr std::size_t ID_LENGTH = 10; // identifiers of the station prompt and resource

// ---- Level menu --------------------------------------------------------------------------

constexpr std::size_t MENU_ROWS = 40;
// Rows of a menu file: at most 38, so that the null row after them fits.
constexpr std::size_t MENU_FILE_ROWS = MENU_ROWS - 2;
constexpr std::size_t ABBR_LENGTH = 8, NAME_LENGTH = 30;

struct BuiltinRow {
    const char *name;
    const char *abbr;
    int index;
};
constexpr std::array<BuiltinRow, 22> builtin_rows = {{{"Back to previous menu", "back", 0},
                                                      {"Sea level", "sl", 2000},
                                                      {"Surface", "sfc", 2000},
                                                      {"1000 mb", "1000mb", 1000},
                                                      {"925 mb", "925mb", 925},
                                                      {"850 mb", "850mb", 850},
                                                      {"700 mb", "700mb", 700},
                                                      {"500 mb", "500mb", 500},
                                                      {"400 mb", "400mb", 400},
                                                      {"300 mb", "300mb", 300},
                                                      {"250 mb", "250mb", 250},
                                                      {"200 mb", "200mb", 200},
                                                      {"150 mb", "150mb", 150},
                                                      {"100 mb", "100mb", 100},
                                                      {"70 mb", "70mb", 70},
                                                      {"50 mb", "50mb", 50},
                                                      {"30 mb", "30mb", 30},
                                                      {"20 mb", "20mb", 20},
                                                      {"10 mb", "10mb", 10},
                                                      {"Tropopause", "trop", 1900},
                                                      {"Max wind", "wind", 1800},
                                                      {"Whole sounding", "snd", 1600}}};

int lev_menu_type = 0; // the menu number whose rows are shown

// The level menu: the built-in rows, every one shown in menu 0, then the
// null row.
std::array<MENU_item, MENU_ROWS> builtin_menu() {
    std::array<MENU_item, MENU_ROWS> menu{};
    for (std::size_t i = 0; i < builtin_rows.size(); ++i) {
        menu[i] = {builtin_rows[i].name, builtin_rows[i].abbr, builtin_rows[i].index, {}};
        menu[i].disp[0] = 1;
    }
    return menu;
}
std::array<MENU_item, MENU_ROWS> lev_menu = builtin_menu();
// The texts of rows read from a menu file.
std::array<std::string, MENU_ROWS> row_name, row_abbr;

bool miss_dash = false; // table rows print missing values as "-"

bool known(float v) {
    return !is_missing(v);
}

// A value of a row in its format, or the missing text of its column.
void column(M_type mess, float v, const char *format, const char *blank, const char *dash) {
    if (known(v))
        MESS_print(mess, format, static_cast<double>(v));
    else
        MESS_print(mess, "%s", miss_dash ? dash : blank);
}

// Wind rows always leave missing values blank.
void wind_column(M_type mess, float v, const char *format, const char *blank) {
    if (known(v))
        MESS_print(mess, format, static_cast<double>(v));
    else
        MESS_print(mess, "%s", blank);
}

float to_kelvin(float c) {
    return known(c) ? c + 273.15f : FMISSING;
}

// A formula's result in degrees Celsius.
float to_celsius(float k) {
    return known(k) ? k - 273.15f : FMISSING;
}

int clamp_count(int n, int max) {
    return n < 0 ? 0 : (n > max ? max : n);
}

void station_line(M_type mess, const UPA_report &r) {
    MESS_print(mess, "STA: %5s WMO: %05ld LAT: %7.2f LON: %7.2f\n", r.id, static_cast<long>(r.wmo),
               static_cast<double>(r.lat), static_cast<double>(r.lon));
}

// Two columns over n entries: the first half (one more for odd n) on the
// left, the rest on the right; print(i, last) prints entry i, last ending
// the line.
template <class Print> void two_columns(int n, Print print) {
    const int k = (n + 1) / 2;
    for (int j = 0; j < n / 2; ++j) {
        print(j, false);
        print(j + k, true);
    }
    if (n % 2 == 1) print(k - 1, true);
}

void man_listing(M_type mess, const UPA_report &r) {
    MESS_print(mess, "     Press    Height   Temp    Dewpt     Dir    Spd\n");
    for (int slot = 0; slot < UPA_MAX_MAN; ++slot) {
        const UPA_level &l = r.man[slot];
        if (!known(l.p)) continue;
        const char *label = slot == UPA_SLOT_SFC    ? "SFC  "
                            : slot == UPA_SLOT_TROP ? "TROP "
                            : slot == UPA_SLOT_MAXW ? "MWND "
                                                    : "     ";
        MESS_print(mess, "%s%6.1f  %7.0f  %7.1f %7.1f  %6.0f %6.0f\n", label, static_cast<double>(l.p),
                   static_cast<double>(l.h), static_cast<double>(l.t), static_cast<double>(l.td),
                   static_cast<double>(l.dir), static_cast<double>(l.spd));
    }
}

void sig_listing(M_type mess, const UPA_report &r) {
    MESS_print(mess, "Press    Temp    Dewpt     Press    Temp    Dewpt\n");
    two_columns(clamp_count(r.numsig, UPA_MAX_SIG), [&](int i, bool last) {
        const UPA_sig_level &s = r.sig[i];
        MESS_print(mess, last ? "%6.1f  %7.1f %7.1f\n" : "%6.1f  %7.1f %7.1f    ", static_cast<double>(s.p),
                   static_cast<double>(s.t), static_cast<double>(s.td));
    });
}

void wnd_listing(M_type mess, const UPA_report &r) {
    MESS_print(mess, "Height    Dir    Spd     Height    Dir    Spd\n");
    two_columns(clamp_count(r.numwnd, UPA_MAX_WND), [&](int i, bool last) {
        const UPA_wind_level &w = r.wnd[i];
        MESS_print(mess, last ? "%6.0f  %6.0f %6.0f\n" : "%6.0f  %6.0f %6.0f    ", static_cast<double>(w.h),
                   static_cast<double>(w.dir), static_cast<double>(w.spd));
    });
}

constexpr const char *RULE39 = "---------------------------------------";
constexpr const char *RULE40 = "----------------------------------------";
constexpr const char *RULE36 = "------------------------------------";

void level_rules(M_type mess1, M_type mess2) {
    MESS_print(mess1, "%s", RULE39);
    MESS_print(mess2, "%s", RULE40);
    MESS_print(mess1, "\n");
}

void level_header(M_type mess1, M_type mess2) {
    level_rules(mess1, mess2);
    MESS_print(mess1, "LEV PRES  HGHT  TEMP  DEWP  RH ");
    MESS_print(mess2, " DD   WETB ");
    MESS_print(mess1, "DIR SPD");
    MESS_print(mess2, " THETA THE-V THE-W THE-E   W");
    MESS_print(mess1, "\n");
    MESS_print(mess1, "     mb     m     C     C    %% ");
    MESS_print(mess2, "  C     C  ");
    MESS_print(mess1, "deg knt");
    MESS_print(mess2, "   K     K     K     K    g/kg");
    MESS_print(mess1, "\n");
    level_rules(mess1, mess2);
}

// The label of a table row.
void level_label(M_type mess, int ind, float p) {
    switch (ind) {
    case -1:
        if (known(p) && p > 500) {
            MESS_print(mess, "SFC ");
            return;
        }
        break;
    case -2:
        MESS_print(mess, "TRP ");
        return;
    case -3:
        MESS_print(mess, "WND ");
        return;
    case -4:
        MESS_print(mess, "PAR ");
        return;
    case -5:
        MESS_print(mess, "LCL ");
        return;
    case -6:
        MESS_print(mess, "LFC ");
        return;
    case -7:
        MESS_print(mess, " EL ");
        return;
    case -8:
        MESS_print(mess, "MPL ");
        return;
    case -9:
        MESS_print(mess, "WBZ ");
        return;
    case -10:
        MESS_print(mess, "FRZ ");
        return;
    default:
        break;
    }
    MESS_print(mess, "%3d ", ind);
}

void wind_header(M_type mess1, M_type mess2, const WIND *storm) {
    const bool rel = storm != nullptr && known(storm->dir);
    // The storm-relative half continues each line on mess2.
    auto end = [&](const char *rel_text) {
        if (rel)
            MESS_print(mess2, "%s", rel_text);
        else
            MESS_print(mess1, "\n");
    };
    MESS_print(mess1, "\nWind level data\n");
    if (rel)
        MESS_print(mess2, "   Storm motion: %3.0f at %3.0f knt\n", static_cast<double>(storm->dir),
                   static_cast<double>(storm->spd));
    MESS_print(mess1, "%s", RULE36);
    end("----------------------\n");
    MESS_print(mess1, "                   TRUE/GROUND REL   ");
    end("|     STORM REL\n");
    MESS_print(mess1, " LEV   P    H    DIR SPD   U     V   ");
    end("| DIR SPD   U     V\n");
    MESS_print(mess1, "       mb   m        knt     m/s     ");
    end("|     knt     m/s\n");
    MESS_print(mess1, "%s", RULE36);
    end("----------------------\n");
}

float in_ms(float knots) {
    return known(knots) ? knots * UPA_KNOT_TO_MS : FMISSING;
}

// The items of a text between the separator sep (empty items kept).
std::vector<std::string_view> split(std::string_view text, char sep) {
    std::vector<std::string_view> items;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(sep, start);
        items.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return items;
        start = end + 1;
    }
}

// Whether the display field of a menu file row shows it: "1" shows, "0"
// hides; otherwise the row shows when one of its comma-separated
// alternatives holds, an alternative being '&'-joined conditions "mo=PATTERN"
// on the current model text and "ft=PATTERN" on the forecast-time text that
// must all match.
bool row_shown(std::string_view field) {
    if (field == "1") return true;
    if (field == "0") return false;
    for (std::string_view alt : split(field, ',')) {
        bool holds = !alt.empty();
        for (std::string_view cond : split(alt, '&')) {
            const std::string pattern(cond.substr(std::min<std::size_t>(3, cond.size())));
            if (istarts_with(cond, "mo="))
                holds = holds && VAR_menu_display(pattern.c_str(), VAR_get_model_str()) == 1;
            else if (istarts_with(cond, "ft="))
                holds = holds && VAR_menu_display(pattern.c_str(), VAR_get_time_str()) == 1;
            else
                holds = false;
        }
        if (holds) return true;
    }
    return false;
}

// The menu name of a file row: underscores stand for blanks; trailing
// blanks go.
std::string menu_name(std::string_view word) {
    std::string name(word.substr(0, NAME_LENGTH));
    for (char &c : name)
        if (c == '_') c = ' ';
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

// The WMO number a station text names: its leading digits; missing when it
// does not begin with a digit.
int wanted_wmo(const char *id) {
    if (!std::isdigit(static_cast<unsigned char>(id[0]))) return MISSING;
    int value = MISSING;
    const char *end = id + std::strlen(id);
    if (std::from_chars(id, end, value).ec != std::errc()) return MISSING;
    return value;
}

} // namespace

// ---- Input file and date ------------------------------------------------------------------

int UPA_in_file() {
    char upa[] = "upa_cvt";
    FILE_set_name(upa);
    FLAG_set(FLAG_INPUT, 20);
    int n = 0;
    char **items = nullptr;
    RES_getvals("in_file", &n, &items);
    for (int i = 0; i < n; ++i) {
        if (stricmp(items[i], "upa") == 0) {
            char again[] = "upa_cvt";
            FILE_set_name(again);
            FLAG_set(FLAG_INPUT, 20);
        } else {
            FILE_set_name(items[i]);
        }
    }
    free_parsed_array(n, items);
    return 0;
}

int UPA_set_date(const Date *datim) {
    if (datim != nullptr)
        file_date = *datim;
    else
        FILE_get_date(&file_date);
    return 0;
}

int UPA_get_date(Date *datim) {
    if (datim != nullptr) *datim = file_date;
    return 0;
}

int UPA_set_datim(const char *str) {
    copy_text(info.datim, str);
    return 0;
}

const char *UPA_get_datim() {
    return info.datim;
}

int UPA_open_file(const char *filename) {
    int type = 0;
    cvt_fd = UPA_open(filename, 0, &type);
    stat_num = 0;
    if (cvt_fd < 0) {
        MESS_print(M_WARN, "UPA_open_file: Unable to open file:%s\n", filename != nullptr ? filename : "");
        return 0;
    }
    UPA_getinfo(cvt_fd, &info);
    file_date = info.date;
    PLT_label_up_right(info.datim);
    MESS_print(M_MESS, "Date: %s\n", info.datim);
    return 1;
}

int UPA_rewind_file() {
    UPA_rewind(cvt_fd);
    stat_num = 0;
    return 0;
}

int UPA_close_file() {
    UPA_close(cvt_fd);
    return 0;
}

// ---- Stations ---------------------------------------------------------------------------------

int UPA_list_stations() {
    UPA_rewind(cvt_fd);
    MESS_print(M_PRINT, "Possible stations\n");
    UPA_report r;
    for (int n = 0; UPA_read(cvt_fd, &r, UPA_READ_TOKEN, &n) == 0; ++n) {
        MESS_print(M_PRINT, "%4s ", r.id);
        if ((n + 1) % 15 == 0) MESS_print(M_PRINT, "\n");
    }
    MESS_print(M_PRINT, "\n\n");
    return 0;
}

int UPA_read_station(UPA_report *report) {
    const int rc = report != nullptr ? UPA_read(cvt_fd, report, UPA_READ_ALL, &stat_num) : -1;
    ++stat_num;
    return rc;
}

int UPA_get_station(const char *id, UPA_report *report) {
    if (id == nullptr || report == nullptr) return 0;
    const int wmo = wanted_wmo(id);
    MESS_print(M_MESS, "Searching for %s...\n", id);
    UPA_report r;
    for (int n = 0; UPA_read(cvt_fd, &r, UPA_READ_TOKEN, &n) == 0; ++n) {
        if (stricmp(id, r.id) != 0 && (is_missing(r.wmo) || r.wmo != wmo)) continue;
        if (UPA_read(cvt_fd, report, UPA_READ_ALL, &n) == 0) return 1;
        break;
    }
    MESS_print(M_WARN, "UPA_get_station: No such station:%s\n", id);
    return 0;
}

int UPA_set_prompt(int val) {
    prompt = val != 0;
    return 0;
}

int UPA_prompt_station(UPA_report *report) {
    if (!prompt) return 0;
    const char *res = RES_get("identifier");
    const bool given = res != nullptr && res[0] != '\0';
    if (given && stricmp(res, "list") == 0) {
        UPA_list_stations();
        ZEQ_exit(0);
    }
    if (!given) UPA_list_stations();
    UPA_rewind_file();

    bool found = false;
    for (int tries = 0; !found && tries < STATION_TRIES;) {
        char id[ID_LENGTH + 1] = "";
        if (given) {
            copy_text(id, res);
        } else {
            ZEQ_prompts("Enter station to be used in the analysis: ", id, static_cast<int>(sizeof id));
            MESS_print(M_PRINT, "\n");
            // Nothing more can be read: stop asking.
            if (id[0] == '\0' && (std::feof(stdin) || std::ferror(stdin))) break;
        }
        if (stricmp(id, "exit") == 0) ZEQ_exit(0);
        ++tries;
        // Three-letter identifiers and texts that do not begin with a
        // lower-case letter are searched in upper case.
        if (std::strlen(id) == 3 || !(id[0] >= 'a' && id[0] <= 'z')) up_string(id);
        if (id[0] != '\0') found = UPA_get_station(id, report) == 1;
        if (given) break;
    }
    prompt = false;
    if (!found) {
        MESS_print(M_ERROR, "Unable to find a station\n");
        ZEQ_exit(31);
    }
    return 1;
}

// ---- Levels ---------------------------------------------------------------------------------------

int UPA_set_prompt_level(int val) {
    level_prompt = val != 0;
    return 0;
}

int UPA_read_level_menu() {
    char prog[FILE_NAME_SIZE];
    RES_get_progname(prog, sizeof prog);
    const std::string name = FILE_table_path((std::string(prog) + ".lev").c_str());
    // The menu file is a plain file: never a command or a standard stream.
    if (name.empty() || name[0] == '|' || FILE_is_stdio(name.c_str())) return 0;
    FILE *f = FILE_open(name.c_str(), "r");
    if (f == nullptr) return 0;

    for (std::size_t i = 1; i < MENU_ROWS; ++i)
        lev_menu[i] = MENU_item{};
    std::size_t row = 1;
    int line_no = 0;
    for (std::string line; fget_anyline(f, line);) {
        ++line_no;
        const std::vector<std::string> words = split_words(line);
        if (words.empty()) continue;
        if (words.size() < 3) {
            MESS_print(M_WARN, "UPA_read_level_menu: %s: line %d: no display field, line left out\n",
                       name.c_str(), line_no);
            continue;
        }
        if (!row_shown(words[2])) continue;
        if (row > MENU_FILE_ROWS) {
            MESS_print(M_WARN, "UPA_read_level_menu: %s: more than %zu levels, the rest left out\n",
                       name.c_str(), MENU_FILE_ROWS);
            break;
        }
        row_abbr[row] = words[0].substr(0, ABBR_LENGTH);
        row_name[row] = menu_name(words[1]);
        lev_menu[row] = {row_name[row].c_str(), row_abbr[row].c_str(), 1, {}};
        lev_menu[row].disp[lev_menu_type] = 1;
        ++row;
    }
    FILE_close(f);
    return 1;
}

int UPA_prompt_level() {
    UPA_read_level_menu();
    if (!level_prompt) return 0;
    std::string text;
    const char *res = RES_get("level");
    if (res != nullptr && res[0] != '\0') {
        text = std::string_view(res).substr(0, 79);
    } else if (FLAG_batch()) {
        text = "500";
    } else {
        char answer[80] = "";
        const int choice = MENU_process("\n        Vertical Level Menu\n", lev_menu.data(), lev_menu_type,
                                        "Enter the level: ", answer, MENU_EXIT | MENU_MAIN);
        if (choice == 0) return 0;
        if (choice < 0 && choice != MISSING) ZEQ_exit(0);
        text = answer;
    }
    level_prompt = false;
    int ltype = MISSING, level = MISSING;
    VAR_dec_level(text.c_str(), &ltype, &level);
    FLAG_set(FLAG_LEVEL, level);
    FLAG_setl(FLAG_LTYPE, ltype);
    VAR_set_level_str(text.c_str());
    return 1;
}

// ---- Listings -----------------------------------------------------------------------

int UPA_print_locate(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    const UPA_report &r = *report;
    MESS_print(mess, "Date:%s\n", info.datim);
    MESS_print(mess, "Station: %s\n", r.id);
    if (!is_missing(r.wmo)) MESS_print(mess, "WMO ident: %6ld\n", static_cast<long>(r.wmo));
    if (known(r.lat)) MESS_print(mess, "Latitude:  %6.2f\n", static_cast<double>(r.lat));
    if (known(r.lon)) MESS_print(mess, "Longitude: %6.2f\n", static_cast<double>(r.lon));
    if (known(r.elev)) MESS_print(mess, "Elevation: %6.2f\n", static_cast<double>(r.elev));
    return 0;
}

int UPA_print_report(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    man_listing(mess, *report);
    sig_listing(mess, *report);
    wnd_listing(mess, *report);
    MESS_print(mess, "\n");
    return 0;
}

int UPA_print_man(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    station_line(mess, *report);
    man_listing(mess, *report);
    return 0;
}

int UPA_print_sig(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    station_line(mess, *report);
    sig_listing(mess, *report);
    return 0;
}

int UPA_print_wnd(M_type mess, const UPA_report *report) {
    if (report == nullptr) return 0;
    station_line(mess, *report);
    wnd_listing(mess, *report);
    MESS_print(mess, "\n");
    return 0;
}

// ---- Table rows ------------------------------------------------------------------------

int UPA_set_miss_dash() {
    miss_dash = true;
    return 0;
}

int UPA_print_level(M_type mess1, M_type mess2, int ind, const UPA_level *level) {
    if (level == nullptr) {
        level_header(mess1, mess2);
        return 0;
    }
    const UPA_level &l = *level;
    const float t = to_kelvin(l.t), td = to_kelvin(l.td), p = l.p;
    constexpr const char *B6 = "      ", *D6 = "    - ";
    constexpr const char *B4 = "    ", *D4 = "  - ";

    level_label(mess1, ind, p);
    column(mess1, p, known(p) && p < 10 ? "%4.1f " : "%4.0f ", "     ", "   - ");
    column(mess1, l.h, "%5.0f ", B6, D6);
    column(mess1, l.t, "%5.1f ", B6, D6);
    column(mess1, l.td, "%5.1f ", B6, D6);
    column(mess1, rel_hum(t, td), "%3.0f ", B4, D4);
    column(mess2, known(l.t) && known(l.td) ? l.t - l.td : FMISSING, "%4.1f ", "     ", "   - ");
    column(mess2, to_celsius(wet_bulb(t, td, p)), "%5.1f ", B6, D6);
    column(mess1, l.dir, "%3.0f ", B4, D4);
    column(mess1, l.spd, "%3.0f ", B4, D4);
    column(mess2, pot_temp(t, p), "%5.1f ", B6, D6);
    column(mess2, virt_pot_temp(t, td, p), "%5.1f ", B6, D6);
    column(mess2, wet_bulb_pot_temp(t, td, p), "%5.1f ", B6, D6);
    column(mess2, eq_pot_temp(t, td, p), "%5.1f ", B6, D6);
    column(mess2, mix_ratio(td, p), "%5.2f", "     ", "    -");
    MESS_print(mess1, "\n");
    return 0;
}

int UPA_print_wind(M_type mess1, M_type mess2, int ind, const UPA_level *level, const WIND *storm) {
    if (level == nullptr) {
        wind_header(mess1, mess2, storm);
        return 0;
    }
    const UPA_level &l = *level;
    float u, v, us = FMISSING, vs = FMISSING;
    wind2vect(l.dir, l.spd, &u, &v); // knots, missing with the wind
    if (storm != nullptr) wind2vect(storm->dir, storm->spd, &us, &vs);

    MESS_print(mess1, "%3d  ", ind);
    wind_column(mess1, l.p, "%4.0f ", "     ");
    wind_column(mess1, l.h, "%5.0f  ", "       ");
    wind_column(mess1, l.dir, "%3.0f ", "    ");
    wind_column(mess1, l.spd, "%3.0f ", "    ");
    // The components are shown in m/s, as the header says.
    wind_column(mess1, in_ms(u), "%5.1f ", "      ");
    wind_column(mess1, in_ms(v), "%5.1f", "     ");
    if (!known(u) || !known(us)) {
        MESS_print(mess1, "\n");
        return 0;
    }
    const float du = u - us, dv = v - vs;
    float rdir, rspd;
    vect2wind(du, dv, &rdir, &rspd);
    if (known(rdir))
        MESS_print(mess2, " | %3.0f ", static_cast<double>(rdir));
    else
        MESS_print(mess2, " |     ");
    wind_column(mess2, rspd, "%3.0f ", "    ");
    if (known(rdir)) {
        MESS_print(mess2, "%5.1f ", static_cast<double>(in_ms(du)));
        MESS_print(mess2, "%5.1f ", static_cast<double>(in_ms(dv)));
    } else {
        MESS_print(mess2, "%s", "            ");
    }
    MESS_print(mess2, "\n");
    return 0;
}
