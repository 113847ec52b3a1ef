// Grid files of the grid module: the choice of output and input files and of
// model mosaics, grid specs and header matching, filling the grid table from
// files, reading single grids, the domain of a file, saving grids and the
// reuse of an existing output file. File-static state: the model mosaic
// chosen, the header of the last file opened and the open model table.
#include "fields/grd_tool.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fields/calc.h"
#include "fields/grd_tool_int.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"

using grd_int::GRD_mosaic;
using grd_int::GRD_spec;

using grd_int::Scratch;

namespace {

// GRD_read of a whole grid; a slot of the grid table it filled owns the
// array the reader allocated.
int read_values(int fd, GRD_report *grid, int *num) {
    const int r = GRD_read(fd, grid, 0, num);
    if (r == 0) grd_int::take_array(grid);
    return r;
}

GRD_mosaic mosaic;
// The header of the last file opened by the search drivers and the domain
// query; the grids they save take its date.
GRD_info info;
// The model table, kept open once GRD_in_file has opened it.
FILE *model_file = nullptr;

// Selects a name convention by a text that FILE_set_name may change.
int select_conv(std::string_view type) {
    char buf[FILE_NAME_SIZE];
    copy_text(buf, type);
    return FILE_set_name(buf);
}

int grid_type_resource() {
    int type = MISSING;
    RES_getval("grid_type", &type, CV_int);
    return type;
}

// The type with which files named by date are opened: GRIB when the input
// kind says so, else detected.
int date_open_type() {
    return FLAG_get(FLAG_GRID_KIND) == 23 ? 21 : 0;
}

// Opens the GRIB index file named by the header template, when it gives one.
void open_index(int fd, const Date *date) {
    char hname[FILE_NAME_SIZE] = "";
    if (FILE_hdr_set_date(date, hname, sizeof hname) == 1 && !FILE_is_stdio(hname)) GRD_hdr_open(fd, hname);
}

std::string on_grid_path(const char *filename) {
    char name[FILE_NAME_SIZE];
    FILE_add_path(RES_get("grid_path"), filename, name, sizeof name);
    return name;
}

// The variable word of a search spec: a few two-letter words, else the
// variable decoder.
void decode_search_var(const char *vv, VAR_data *params) {
    struct Word {
        const char *word;
        int var;
    };
    static constexpr Word words[] = {{"hh", 7},   {"st", 11},  {"rh", 52}, {"li", 131}, {"uw", 33},
                                     {"vw", 34},  {"vv", 39},  {"qp", 61}, {"sc", 66},  {"wh", 100},
                                     {"wp", 108}, {"wd", 107}, {"ss", 80}};
    if (std::strcmp(vv, "pr") == 0) {
        params->var[0] = 1;
        return;
    }
    for (const Word &w : words) {
        if (stricmp(vv, w.word) == 0) {
            params->var[0] = w.var;
            return;
        }
    }
    VAR_dec_var(vv, params);
}

void decode_search(const char *tt, const char *ll, const char *vv, VAR_data *params) {
    if (tt[0] != '\0') VAR_dec_time(tt, &params->time);
    if (ll[0] != '\0') VAR_dec_level(ll, &params->ltype, &params->level);
    if (vv[0] != '\0') decode_search_var(vv, params);
}

// Warns for every variable fitted on grids that found no grid.
void report_missing(const char *text) {
    const int num = VAR_get_num();
    for (int i = 0; i < num; ++i) {
        if (VAR_is_fit_GRID(i) && GRD_get_grid(i)->source == 0) {
            MESS_print(M_WARN, text, i);
            VAR_print_info(M_WARN, VAR_get_var(i));
        }
    }
}

// Resets the grid table to the keys of the variable list.
void setup_slots(bool list) {
    GRD_init_grids();
    if (list) MESS_print(M_OUT4, "Grids used:\n");
    const int num = VAR_get_num();
    for (int i = 0; i < num; ++i) {
        GRD_set_var(i);
        if (list) {
            MESS_print(M_OUT4, "%3d: ", i);
            VAR_print(M_OUT4, VAR_get_var(i));
        }
    }
}

// Writes the grid of every variable that needs one, last to first, to the
// output grid file chosen by out_file, named from the date of `info`.
void save_grids() {
    NameConvScope naming;
    for (int i = VAR_get_num() - 1; i >= 0; --i) {
        if (!VAR_is_type_GRID(i)) continue;
        const int type = GRD_out_file(0);
        FILE_set_key('x', VAR_get_model_str());
        FILE_set_key('f', VAR_get_time_key(i));
        FILE_set_key('l', VAR_get_level_key(i));
        FILE_set_key('v', VAR_get_name(i));
        char name[FILE_NAME_SIZE] = "";
        FILE_set_date(&info.date, name, sizeof name);
        GRD_save_file(name, GRD_get_grid(i), &info, type);
    }
}

// Reads the model entry of `model` from the open model table into the mosaic
// specification; true when the table holds it.
bool read_model_entry(const char *model, int grid_type) {
    std::rewind(model_file);
    char word[32];
    while (std::fscanf(model_file, "%31s", word) == 1) {
        if (word[0] == '#') {
            int c;
            do {
                c = std::fgetc(model_file);
            } while (c != EOF && c != '\n');
            continue;
        }
        if (stricmp(word, model) != 0) {
            char skip[256];
            for (int k = 0; k < 2; ++k)
                if (std::fscanf(model_file, "%255s", skip) != 1) break;
            continue;
        }
        char size[32] = "", list[512] = "";
        if (std::fscanf(model_file, "%31s", size) != 1) return false;
        mosaic.nx = mosaic.ny = 1;
        int nx = 0, ny = 0;
        const int got = std::sscanf(size, "%dx%d", &nx, &ny);
        if (got >= 1) {
            if (nx > 0) mosaic.nx = nx;
            if (got == 2 && ny > 0) mosaic.ny = ny;
            if (std::fscanf(model_file, "%511s", list) != 1) return false;
        } else {
            copy_text(list, size);
        }
        int argc = 0;
        char **argv = nullptr;
        parse_string(list, ',', &argc, &argv);
        int n = 0;
        for (int k = 0; k < argc; ++k) {
            if (n >= grd_int::MAX_PIECES) {
                MESS_print(M_WARN, "GRD_in_file: More than %d pieces for model %s\n", grd_int::MAX_PIECES,
                           model);
                break;
            }
            GRD_spec &spec = mosaic.grid_spec[n];
            std::string item = argv[k];
            spec.type = grid_type;
            if (const std::size_t hash = item.find('#'); hash != std::string::npos) {
                spec.type = std::atoi(item.c_str() + hash + 1);
                item.resize(hash);
            }
            if (item.size() >= sizeof spec.name)
                MESS_print(M_WARN, "GRD_in_file: Piece name too long: %s\n", item.c_str());
            copy_text(spec.name, item);
            spec.x = n % mosaic.nx;
            spec.y = n / mosaic.nx;
            ++n;
        }
        free_parsed_array(argc, argv);
        mosaic.nspec = n;
        if (n > 0) select_conv(mosaic.grid_spec[0].name);
        return n > 0;
    }
    return false;
}

struct Model {
    const char *name;
    int number;
};
constexpr Model models[] = {{"ngm", 2},  {"ngme", 2},   {"eta", 3},  {"ruc", 4},  {"lfm", 1}, {"avn", 15},
                            {"mrf", 15}, {"ecmwf", 20}, {"sww", 31}, {"sst", 32}, {"sca", 33}};

// Reads the grids of open file `fd` into the whole table by the variable
// list; warns with `missing` for variables whose grid is not there.
void search_table(int fd, const char *missing) {
    GRD_getinfo(fd, &info);
    if (GRD_search(fd, GRD_get_grids(), VAR_get_vars(), grid_type_resource(), VAR_get_num()) == 0)
        report_missing(missing);
}

} // namespace

namespace grd_int {

const GRD_mosaic &GRD_get_mosaic() {
    return mosaic;
}

} // namespace grd_int

// ---- Output and input selection ------------------------------------------------

int GRD_out_file(int type) {
    select_conv("grd_grd");
    int argc = 0;
    char **argv = nullptr;
    RES_getvals("out_file", &argc, &argv);
    bool keyword = false, named = false;
    for (int k = 0; k < argc; ++k) {
        const char *item = argv[k];
        const std::size_t len = std::strlen(item);
        if (stricmp(item, "none") == 0 || strnicmp(item, "gif", 3) == 0) continue;
        struct Kind {
            const char *word;
            std::size_t len;
            const char *conv;
            int type;
        };
        static constexpr Kind kinds[] = {{"zeqb", 4, "grd_zeq", 3},
                                         {"zeq", 3, "grd_zeq", 2},
                                         {"cdf", 3, "grd_cdf", 11},
                                         {"grib", 4, "grd_grib", 21}};
        bool matched = false;
        for (const Kind &kind : kinds) {
            if (strnicmp(item, kind.word, int(kind.len)) != 0) continue;
            // The convention follows one separator character after the word.
            const char *conv = len > kind.len + 1 ? item + kind.len + 1 : kind.conv;
            select_conv(conv);
            type = kind.type;
            keyword = matched = true;
            break;
        }
        if (!matched) {
            select_conv(item);
            named = true;
        }
    }
    free_parsed_array(argc, argv);
    if (!keyword && named) type = 2;
    if (type != 0) FLAG_set(FLAG_GRID_KIND, type);
    return type;
}

int GRD_in_file() {
    char model[32] = "ngm";
    VAR_set_model_str(model);

    if (model_file != nullptr) FILE_close(model_file);
    const std::string table = FILE_table_path("model.lup");
    model_file = FILE_open(table.c_str(), "r");
    if (model_file != nullptr) {
        // The first word that is not a comment names the default model.
        char word[32];
        while (std::fscanf(model_file, "%31s", word) == 1) {
            if (word[0] != '#') {
                copy_text(model, word);
                VAR_set_model_str(model);
                break;
            }
            int c;
            do {
                c = std::fgetc(model_file);
            } while (c != EOF && c != '\n');
        }
        std::rewind(model_file);
    }

    const int grid_type = grid_type_resource();
    bool entry = false;
    if (const char *res = RES_get("model"); res != nullptr) {
        copy_text(model, res);
        VAR_set_model_str(model);
        mosaic.nspec = 0;
        if (model_file != nullptr) entry = read_model_entry(model, grid_type);
    }
    if (!entry) {
        for (const Model &m : models) {
            if (stricmp(model, m.name) == 0) {
                FLAG_set(FLAG_MODEL, m.number);
                break;
            }
        }
        select_conv(std::string("grib_") + model);
    }

    int argc = 0;
    char **argv = nullptr;
    RES_getvals("in_file", &argc, &argv);
    for (int k = 0; k < argc; ++k) {
        const char *item = argv[k];
        if (strnicmp(item, "zeq", 3) == 0) {
            FLAG_set(FLAG_GRID_KIND, 3);
        } else if (strnicmp(item, "cdf", 3) == 0) {
            FLAG_set(FLAG_GRID_KIND, 12);
        } else if (stricmp(item, "grib") == 0) {
            FLAG_set(FLAG_GRID_KIND, 23);
        } else {
            select_conv(item);
            copy_text(mosaic.grid_spec[0].name, item);
        }
    }
    free_parsed_array(argc, argv);

    RES_getvals("input", &argc, &argv);
    for (int k = 0; k < argc; ++k) {
        if (stricmp(argv[k], "zeq") == 0) FLAG_set(FLAG_GRID_KIND, 3);
        if (stricmp(argv[k], "cdf") == 0) FLAG_set(FLAG_GRID_KIND, 12);
        if (stricmp(argv[k], "grib") == 0) FLAG_set(FLAG_GRID_KIND, 23);
    }
    free_parsed_array(argc, argv);

    if (const char *num = RES_get("grid_num"); num != nullptr) FILE_set_ext_info(num);
    return 0;
}

// ---- Grid specs and header matching --------------------------------------------

int GRD_parse_params(const char *str, VAR_data *params, int *type) {
    params->time = params->ltype = params->level = MISSING;
    for (int &v : params->var)
        v = MISSING;
    params->units[0] = '\0';
    if (type != nullptr) RES_getval("grid_type", type, CV_int);

    int result = MISSING;
    if (str != nullptr && str[0] == '#') {
        char *end = nullptr;
        const long n = std::strtol(str + 1, &end, 10);
        if (end != str + 1 && n >= 0 && n <= 1000000) {
            result = int(n);
            if (*end == ':') copy_text(params->units, end + 1);
        }
    } else if (str != nullptr && str[0] == ':') {
        copy_text(params->units, str + 1);
    } else if (str != nullptr && str[0] == '-' && str[1] != '\0') {
        char tt[3] = "", ll[3] = "", vv[3] = "", units[15] = "";
        std::sscanf(str + 1, "%2s%2s%2s:%14s", tt, ll, vv, units);
        decode_search(tt, ll, vv, params);
        copy_text(params->units, units);
        result = -1;
    } else if (str != nullptr && str[0] == '+') {
        int argc = 0;
        char **argv = nullptr;
        parse_string(str + 1, ':', &argc, &argv);
        char tt[32] = "", ll[32] = "", vv[32] = "";
        if (argc > 0) copy_text(tt, argv[0]);
        if (argc > 1) copy_text(ll, argv[1]);
        if (argc > 2) copy_text(vv, argv[2]);
        decode_search(tt, ll, vv, params);
        if (argc > 3) copy_text(params->units, argv[3]);
        if (argc > 4 && argv[4][0] != '\0' && type != nullptr) *type = std::atoi(argv[4]);
        free_parsed_array(argc, argv);
        result = -1;
    }
    MESS_print(M_DEBUG_C, "GRD_parse: %d %d %d %d\n", params->time, params->ltype, params->level,
               params->var[0]);
    return result;
}

int GRD_test(const GRD_report *grid, const VAR_data *params, int type) {
    bool var = false;
    for (int v : params->var)
        if (v != MISSING && v == grid->var) var = true;
    bool ok = var;
    if (params->ltype != MISSING && params->ltype != grid->ltype) ok = false;
    if (params->level != MISSING && params->level != grid->level) ok = false;
    if (params->time > 1000) {
        if (params->time != grid->time) ok = false;
    } else if (params->time != MISSING && params->time != grid->time % 1000) {
        ok = false;
    }
    if (type != MISSING && type != grid->type) ok = false;
    MESS_print(M_DEBUG_D, "Searching: T-%d:%d LT-%d:%d L-%d:%d V-%d,%d,%d,%d,%d:%d G-%d:%d = %d\n",
               params->time, grid->time, params->ltype, grid->ltype, params->level, grid->level,
               params->var[0], params->var[1], params->var[2], params->var[3], params->var[4], grid->var,
               type, grid->type, ok ? 1 : 0);
    return ok ? 1 : 0;
}

// ---- Filling the grid table ----------------------------------------------------

int GRD_search(int grd_fd, GRD_report *grids, VAR_data *params, int type, int num) {
    const int n = num < 0 ? -num : num;
    if (grids == nullptr || params == nullptr) return 0;
    std::vector<char> searched(std::size_t(n), 0);
    int found = 0;
    for (int i = 0; i < n; ++i) {
        const bool wanted = num < 0 || VAR_is_get_GRID(i);
        if (!wanted || grids[i].source != 0)
            ++found;
        else
            searched[std::size_t(i)] = 1;
    }
    Scratch hdr;
    for (int g = 0; found < n; ++g) {
        int gnum = g;
        // A grid that cannot be decoded (1) is passed over; -1 is the end.
        const int r = GRD_read(grd_fd, &hdr.r, 1, &gnum);
        if (r < 0) break;
        if (r != 0) continue;
        for (int i = 0; i < n; ++i) {
            if (!searched[std::size_t(i)] || !GRD_test(&hdr.r, &params[i], type)) continue;
            int rnum = g;
            if (read_values(grd_fd, &grids[i], &rnum) != 0) continue;
            if (params[i].units[0] != '\0') GRD_units(&grids[i], params[i].units);
            searched[std::size_t(i)] = 0;
            ++found;
        }
    }
    return found >= n ? 1 : 0;
}

int GRD_search_piece(int grd_fd, int ind, GRD_report *grids, VAR_data *params, int num) {
    if (grids == nullptr || params == nullptr || ind < 0 || ind >= mosaic.nspec) return 0;
    int n = num < 0 ? -num : num;
    if (n > VAR_MAX) n = VAR_MAX;
    const GRD_spec &piece = mosaic.grid_spec[ind];
    std::vector<char> searched(std::size_t(n), 0), received(std::size_t(n), 0);
    int total = 0;
    for (int i = 0; i < n; ++i) {
        if (num < 0 || VAR_is_get_GRID(i)) {
            searched[std::size_t(i)] = 1;
            ++total;
        }
    }
    int found = 0;
    Scratch hdr, full;
    for (int g = 0; found < total; ++g) {
        int gnum = g;
        // A grid that cannot be decoded (1) is passed over; -1 is the end.
        const int r = GRD_read(grd_fd, &hdr.r, 1, &gnum);
        if (r < 0) break;
        if (r != 0) continue;
        bool read = false;
        for (int i = 0; i < n; ++i) {
            if (!searched[std::size_t(i)] || received[std::size_t(i)] ||
                !GRD_test(&hdr.r, &params[i], piece.type))
                continue;
            if (!read) {
                int rnum = g;
                if (read_values(grd_fd, &full.r, &rnum) != 0) break;
                read = true;
            }
            if (params[i].units[0] != '\0') GRD_units(&full.r, params[i].units);
            GRD_report &entry = grids[i];
            if (entry.source == 0 && GRD_piece_setup(&entry, mosaic.nx, mosaic.ny, &full.r) != 0) {
                // The mosaic array could not be made: the entry stays without data.
                MESS_print(M_WARN, "GRD_search_piece: No memory for mosaic grid: %d\n", i);
                entry.grid = nullptr;
                entry.source = 0;
                continue;
            }
            GRD_piece_grid(&entry, piece.x, piece.y, &full.r);
            const int before = received[std::size_t(i)];
            received[std::size_t(i)] = 1;
            ++found;
            MESS_print(M_DEBUG_A, "Found: %d T-%d LT-%d L-%d V-%d G-%d = %d %d - %d\n", i, params[i].time,
                       params[i].ltype, params[i].level, params[i].var[0], piece.type, before, found, total);
        }
    }
    for (int i = 0; i < n; ++i) {
        if (searched[std::size_t(i)] && grids[i].source == 0)
            MESS_print(M_WARN, "Grid missing: %d %d %d %d\n", params[i].time, params[i].ltype,
                       params[i].level, params[i].var[0]);
    }
    return found >= total ? 1 : 0;
}

int GRD_search_file(const char *filename) {
    setup_slots(false);
    int type = 0;
    const int fd = GRD_open(filename, 0, &type);
    if (fd < 0) {
        MESS_print(M_WARN, "GRD_search_file: Unable to open grid file: %s\n", filename ? filename : "");
        return -1;
    }
    MESS_print(M_MESS, "Reading from grid file: %s\n", filename);
    search_table(fd, "GRD_search_file: Grid not found in file: %d ");
    GRD_close(fd);
    GRD_calc_var();
    save_grids();
    return 1;
}

int GRD_search_file_date(const Date *date) {
    setup_slots(true);
    char name[FILE_NAME_SIZE] = "";
    if (mosaic.nspec == 0) {
        FILE_set_date(date, name, sizeof name);
        int type = date_open_type();
        const int fd = GRD_open(name, 0, &type);
        if (fd < 0) {
            MESS_print(M_WARN, "GRD_search_file_date: unable to open file: %s\n", name);
            return -1;
        }
        open_index(fd, date);
        MESS_print(M_MESS, "Reading from grid file: %s\n", name);
        search_table(fd, "GRD_search_file_date: grid not found in file: %d ");
        GRD_close(fd);
    } else {
        for (int n = 0; n < mosaic.nspec; ++n) {
            select_conv(mosaic.grid_spec[n].name);
            FILE_set_date(date, name, sizeof name);
            int type = date_open_type();
            const int fd = GRD_open(name, 0, &type);
            if (fd < 0) {
                MESS_print(M_WARN, "GRD_search_file_date: unable to open file: %s\n", name);
                continue;
            }
            open_index(fd, date);
            MESS_print(M_MESS, "Reading from grid file: %s\n", name);
            GRD_getinfo(fd, &info);
            GRD_search_piece(fd, n, GRD_get_grids(), VAR_get_vars(), VAR_get_num());
            GRD_close(fd);
        }
    }
    GRD_calc_var();
    save_grids();
    return 1;
}

// ---- Single grids --------------------------------------------------------------

namespace {

// Reads the grid named by the extra-info spec from an open file: a grid
// number, or a search. True when found.
bool read_spec_grid(int fd, GRD_report *grid, GRD_info *ginfo, const char *spec) {
    VAR_data params{};
    VAR_data_init(&params);
    int gtype = MISSING;
    int num = GRD_parse_params(spec, &params, &gtype);
    if (num == MISSING) num = 0;
    GRD_getinfo(fd, ginfo);
    grid->source = 0;
    if (num >= 0) {
        if (read_values(fd, grid, &num) != 0) return false;
        if (params.units[0] != '\0') GRD_units(grid, params.units);
        return true;
    }
    return GRD_search(fd, grid, &params, gtype, -1) == 1;
}

} // namespace

int GRD_read_file(const char *filename, GRD_report *grid, GRD_info *ginfo, int *type) {
    if (grid == nullptr || ginfo == nullptr || type == nullptr) return -1;
    char file[FILE_NAME_SIZE];
    copy_text(file, filename != nullptr ? filename : "");
    // A name that is a file as it stands is read whole: the system's own
    // grid file names may hold '-' (a level key of -9999), which would
    // otherwise start a grid spec.
    std::string spec;
    std::string name = on_grid_path(file);
    if (!FILE_exist(name.c_str())) {
        FILE_extract_extra_info(file);
        spec = FILE_get_ext_info();
        name = on_grid_path(file);
    }
    GRD_init(grid);
    const int fd = GRD_open(name.c_str(), 0, type);
    if (fd < 0) {
        MESS_print(M_WARN, "GRD_read_file: Unable to open grid file: %s\n", name.c_str());
        return -1;
    }
    MESS_print(M_MESS, "Reading from grid file: %s\n", name.c_str());
    const bool found = read_spec_grid(fd, grid, ginfo, spec.c_str());
    GRD_close(fd);
    if (!found) {
        MESS_print(M_WARN, "GRD_read_file: Grid not found in file\n");
        return 0;
    }
    return 1;
}

int GRD_read_file_date(const Date *date, const char *extra, GRD_report *grid, GRD_info *ginfo, int *type) {
    if (grid == nullptr || ginfo == nullptr || type == nullptr) return -1;
    char file[FILE_NAME_SIZE] = "";
    FILE_set_date(date, file, sizeof file);
    const std::string name = on_grid_path(file);
    GRD_init(grid);
    const int fd = GRD_open(name.c_str(), 0, type);
    if (fd < 0) {
        MESS_print(M_WARN, "GRD_read_file_date: Unable to open grid file: %s\n", name.c_str());
        return -1;
    }
    open_index(fd, date);
    MESS_print(M_MESS, "Reading from grid file: %s\n", file);
    const bool found = read_spec_grid(fd, grid, ginfo, extra);
    GRD_close(fd);
    if (!found) {
        MESS_print(M_WARN, "GRD_read_file_date: Grid not found in file\n");
        return 0;
    }
    return 1;
}

// ---- The domain of a file ------------------------------------------------------

namespace {

// Reads grid headers from the first on until one has grid type `want` (any
// when missing); with `values` that grid is read in full. True when found.
bool find_typed_grid(int fd, int want, GRD_report *grid, bool values) {
    for (int g = 0;; ++g) {
        int gnum = g;
        const int r = GRD_read(fd, grid, 1, &gnum);
        if (r < 0) return false;
        if (r != 0) continue;
        if (want == MISSING || grid->type == want) {
            if (!values) return true;
            gnum = g;
            return read_values(fd, grid, &gnum) == 0;
        }
    }
}

} // namespace

int GRD_get_file_domain(const char *filename, Domain *domain) {
    if (domain == nullptr) return -1;
    int type = date_open_type();
    const int fd = GRD_open(filename, 0, &type);
    if (fd < 0) {
        MESS_print(M_WARN, "GRD_get_file_domain: Unable to open grid file:%s\n", filename ? filename : "");
        return -1;
    }
    MESS_print(M_MESS, "Getting domain from grid file:%s\n", filename);
    GRD_getinfo(fd, &info);
    Scratch hdr;
    const bool found = find_typed_grid(fd, grid_type_resource(), &hdr.r, false);
    GRD_close(fd);
    if (!found) {
        MESS_print(M_WARN, "GRD_get_file_domain: No grid in file:%s\n", filename);
        return -1;
    }
    *domain = hdr.r.domain;
    return 1;
}

int GRD_get_file_date_domain(const Date *date, Domain *domain) {
    if (domain == nullptr) return -1;
    Date d;
    if (date != nullptr)
        d = *date;
    else
        GRD_get_date(&d);
    int want = MISSING;
    if (mosaic.nspec > 0) {
        select_conv(mosaic.grid_spec[0].name);
        want = mosaic.grid_spec[0].type;
    }
    RES_getval("grid_type", &want, CV_int);
    char name[FILE_NAME_SIZE] = "";
    FILE_set_date(&d, name, sizeof name);
    int type = date_open_type();
    const int fd = GRD_open(name, 0, &type);
    if (fd < 0) {
        MESS_print(M_WARN, "GRD_get_file_date_domain: Unable to open grid file:%s\n", name);
        return -1;
    }
    open_index(fd, &d);
    MESS_print(M_MESS, "Getting domain from grid file:%s\n", name);
    GRD_info local{};
    GRD_getinfo(fd, &local);
    Scratch grid;
    const bool found = find_typed_grid(fd, want, &grid.r, true);
    GRD_close(fd);
    if (!found) {
        MESS_print(M_WARN, "GRD_get_file_date_domain: No grid in file:%s\n", name);
        return -1;
    }
    if (mosaic.nspec > 0) GRD_piece_setup(&grid.r, mosaic.nx, mosaic.ny, nullptr);
    *domain = grid.r.domain;
    return 1;
}

// ---- Writing -------------------------------------------------------------------

namespace {

// The access that the overwrite answer gives: 1 create, 2 append, -1 refused.
int overwrite_access(const std::string &name) {
    const int answer = FILE_overwrite(name.c_str(), 1);
    if (answer == 0 || answer == 1) return 1;
    if (answer == 2) return 2;
    return -1;
}

} // namespace

int GRD_save_file(const char *filename, GRD_report *grid, const GRD_info *ginfo, int type) {
    if (type == 0) return 0;
    // A grid without values would leave a file without a grid.
    if (filename == nullptr || grid == nullptr || grid->grid == nullptr) return 0;
    const std::string name = on_grid_path(filename);
    const int access = overwrite_access(name);
    if (access < 0) {
        MESS_print(M_WARN_C, "GRD_save_file: Unable to overwrite grid file: %s\n", name.c_str());
        return 0;
    }
    const int fd = GRD_open(name.c_str(), access, &type);
    if (fd < 0) {
        if (access == 1)
            MESS_print(M_WARN_C, "GRD_save_file: Unable to create grid file: %s\n", name.c_str());
        else
            MESS_print(M_WARN_C, "GRD_save_file: Unable to open grid file: %s\n", name.c_str());
        return 0;
    }
    MESS_print(M_MESS, access == 1 ? "Creating grid file: %s\n" : "Appending to grid file: %s\n",
               name.c_str());
    int num = 0;
    const bool ok = GRD_putinfo(fd, ginfo) == 0 && GRD_write(fd, grid, 0, &num) == 0;
    GRD_close(fd);
    if (!ok) {
        MESS_print(M_WARN_C, "GRD_save_file: Unable to write grid file: %s\n", name.c_str());
        return 0;
    }
    return 1;
}

int GRD_open_out_file(const char *filename, int type) {
    if (type == 0) return MISSING;
    if (filename == nullptr) return -1;
    const std::string name = on_grid_path(filename);
    const int access = overwrite_access(name);
    if (access < 0) {
        MESS_print(M_WARN_C, "GRD_open_out_file: Unable to overwrite grid file: %s\n", name.c_str());
        return -1;
    }
    const int fd = GRD_open(name.c_str(), access, &type);
    if (fd < 0) {
        MESS_print(M_WARN_C, "GRD_open_out_file: Unable to create grid file: %s\n", name.c_str());
        return -1;
    }
    MESS_print(M_MESS, access == 1 ? "Creating grid file: %s\n" : "Appending to grid file: %s\n",
               name.c_str());
    return fd;
}

int GRD_save_grid(int grd_fd, GRD_report *grid, const GRD_info *ginfo) {
    int num = 0;
    const bool ok = GRD_putinfo(grd_fd, ginfo) == 0 && GRD_write(grd_fd, grid, 0, &num) == 0;
    GRD_close(grd_fd);
    return ok ? 0 : -1;
}

// ---- Reuse of an existing output file --------------------------------------------

int GRD_read_check(const char *filename, GRD_report *grid, GRD_info *ginfo, int *type, const Domain *domain) {
    if (filename == nullptr || filename[0] == '\0' || grid == nullptr || ginfo == nullptr || type == nullptr)
        return 0;
    if (!FILE_exist(filename) || FILE_is_stdio(filename) || FLAG_get(FLAG_FILE_PARAM) == 1) return 0;
    if (FLAG_get(FLAG_FILE_PARAM) == 0 && !FLAG_batch()) {
        const std::string prompt = std::string(filename) + ": exists overwrite (Y/N): ";
        char answer[4] = "";
        ZEQ_prompts(prompt.c_str(), answer, int(sizeof answer));
        if (answer[0] == 'Y' || answer[0] == 'y') return 0;
    }
    *type = 0;
    const int fd = GRD_open(filename, 0, type);
    if (fd < 0) {
        MESS_print(M_WARN, "GRD_read_check: Grid file does not exist: %s\n", filename);
        return 0;
    }
    GRD_getinfo(fd, ginfo);
    grid->source = 0;
    // netCDF grid files store no projection parameters nor ellipse flag: the
    // record keeps its own, so it starts with those of the domain the file
    // is checked against (other formats read their own over them).
    if (domain != nullptr) {
        std::copy(std::begin(domain->param), std::end(domain->param), std::begin(grid->domain.param));
        grid->domain.ellipse = domain->ellipse;
    }
    int num = 0;
    const int read = read_values(fd, grid, &num);
    GRD_close(fd);
    if (read != 0) {
        MESS_print(M_WARN, "GRD_read_check: No grid in file: %s\n", filename);
        return 0;
    }
    if (domain != nullptr && DOM_comp(&grid->domain, domain)) return 1;
    MESS_print(M_WARN, "GRD_read_check: %s file does not correspond to selected region\n", filename);
    std::free(grid->grid);
    grid->grid = nullptr;
    grid->source = 0;
    return 0;
}
