// Point-data files as pictures: the records of a file plotted on the current
// map, one field of a file analysed onto grid 0 (reusing or saving a grid
// file), and the stand-alone driver that contours the gridded files over a
// map. File-static state: the header of the file in hand, the grid output
// type and file name (for the save key), the station-table load marks, the
// registered analysis and the station arrays of one gridding.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fields/cty_tool.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/raw_plt.h"
#include "plot/raw_read.h"
#include "plot/raw_tool.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/zeq.h"

namespace {

constexpr int OA_START = 800; // stations the arrays hold at first
constexpr int OA_GROW = 400;  // and the step they grow by
constexpr int OA_FIELDS = 20; // value arrays, one per field

RAW_info info{};
int grd_file_type = 0;
char grd_filename[FILE_NAME_SIZE] = "";
GRD_info grd_info{};
// Station table marks of the plotter and the gridder: 0 not loaded, 1 loaded
// on request (stations missing from it are skipped), 2 loaded on demand.
int plot_table = 0;
int grid_table = 0;

RAW_analysis analysis{};

struct OaData {
    std::vector<float> x, y;
    std::vector<std::vector<float>> z = std::vector<std::vector<float>>(OA_FIELDS);
    std::vector<bool> used = std::vector<bool>(OA_FIELDS, false);
    int limit = 0;
    int num_field = 0;
    int num_stats = 0;
} oa;

// The identifier selection of resource identifier.
struct IdList {
    int num = 0;
    char **ids = nullptr;
    IdList() { RES_getvals("identifier", &num, &ids); }
    ~IdList() { free_parsed_array(num, ids); }
    IdList(const IdList &) = delete;
    IdList &operator=(const IdList &) = delete;
    bool pass(const char *id) const { return CTY_ids_cmp(num, ids, id) == 1; }
};

// A point-data file opened by name for reading, closed at the end.
struct NamedFile {
    char name[FILE_NAME_SIZE] = "";
    RAW_field field{RAW_EACH_FIELD};
    char *fmt = nullptr;
    int slot = -1;
    explicit NamedFile(const char *file) {
        copy_text(name, file != nullptr ? file : "");
        slot = RAW_file_open(name, &field, &fmt, 0);
    }
    ~NamedFile() {
        if (slot >= 0) RAW_close(slot);
    }
    NamedFile(const NamedFile &) = delete;
    NamedFile &operator=(const NamedFile &) = delete;
    bool each() const { return field.name == nullptr && field.code == RAW_EACH_FIELD; }

    // Calls fn(report, record number) for every record of the file (every
    // delivered field in the each-field mode) whose number is a multiple of
    // skip (every one for a skip below 2).
    template <typename Fn> void for_records(int skip, Fn fn) {
        RAW_report r{};
        int num = 0;
        for (;;) {
            const int rc = RAW_read(slot, &r, field, &num);
            if (rc < 0) break;
            if (each() && rc == 0) {
                ++num;
                continue;
            }
            const int rec = num;
            if (!each()) ++num;
            if (skip > 1 && rec % skip != 0) continue;
            fn(r, rec);
        }
    }
};

// The upper labels of a file: the file's info joined with the field's info
// or name, and the date label. The joined text, or empty when the file's
// info stands alone.
std::string file_labels(const NamedFile &f, int label) {
    std::string joined;
    const char *finfo = f.each() ? nullptr : RAW_get_field_info(f.slot, f.field);
    const char *extra = finfo != nullptr ? finfo : f.field.name;
    if (extra != nullptr) joined = info.info[0] != '\0' ? std::string(info.info) + "-" + extra : extra;
    if (label != 0) {
        PLT_label_up_left(joined.empty() ? info.info : joined.c_str());
        PLT_label_up_right(info.datim);
    }
    return joined;
}

// Loads the station table on demand (priority 5) when it is not loaded.
void load_on_demand(int &mark) {
    if (mark != 0) return;
    Domain dom;
    MAP_get_domain(&dom);
    if (CTY_store("sao.cty", 3, &dom, 5) != 0) mark = 2;
}

// The plane position of a record: the station table's when the table is in
// use, else its latitude and longitude projected. False when the station has
// no position (or is missing from a table loaded on request).
bool place(const RAW_report &r, int label, int &mark, float &x, float &y, float &elev) {
    x = y = FMISSING;
    bool from_table = false;
    if (label != 0 && (mark != 0 || is_missing(r.lat))) {
        load_on_demand(mark);
        CTY_locate loc{};
        if (mark != 0 && CTY_search(r.id, &loc) == 1) {
            x = loc.x;
            y = loc.y;
            elev = loc.el;
            from_table = true;
        } else if (mark == 1) {
            return false;
        }
    }
    if (!from_table) {
        if (is_missing(r.lat) || is_missing(r.lon)) return false;
        MAP_tran(r.lat, r.lon, &x, &y);
    }
    return !is_missing(x) && !is_missing(y);
}

// Diagram projections put the record number or value where the map has the
// latitude and longitude.
void diagram_position(RAW_report &r, int num) {
    const int proj = MAP_get_proj();
    if (proj == 24) {
        r.lat = static_cast<float>(num);
        r.lon = r.value[0];
    } else if (proj == 22) {
        r.lon = r.lat;
        r.lat = r.value[0];
    }
}

// On projection 24, the station's identifier as an axis label under the
// view, at every step-th record.
void axis_label(const RAW_report &r, int num, float x, float y) {
    Glim win{}, view{};
    GPH_get_win(2, &win);
    GPH_get_view(2, &view);
    if (x < win.x_min || x > win.x_max || y < win.y_min || y > win.y_max) return;
    float lat = 0, lon = 0;
    MAP_get_latlon(&lat, &lon);
    Domain dom;
    MAP_get_domain(&dom);
    // The step is at least 1, so that the modulo below always has a divisor.
    int step = lat > 0 ? static_cast<int>(lat) : static_cast<int>(std::floor(dom.dx / 10)) + 1;
    if (step < 1) step = 1;
    if (num % step != 0) return;
    const float nx = view.x_min + (x - win.x_min) / (win.x_max - win.x_min) * (view.x_max - view.x_min);
    Gattribs a;
    ATTRIB_init(&a);
    ATTRIB_get("color_line", "magenta", &a);
    GPH_trans(0);
    GPH_text_attr(&a, 0.015f);
    GPH_text_align(2, 1);
    GPH_printf(nx, view.y_min - 0.01f, "%s", r.id);
    GPH_trans(2);
    GPH_text_attr(&a, 0.018f * MAP_get_vert());
}

std::string underscores_to_blanks(const char *text) {
    std::string s = text;
    for (char &c : s)
        if (c == '_') c = ' ';
    return s;
}

// Makes the array of a field or the positions hold `limit` stations.
void grow(int limit) {
    oa.x.resize(static_cast<std::size_t>(limit), FMISSING);
    oa.y.resize(static_cast<std::size_t>(limit), FMISSING);
    for (int k = 0; k < OA_FIELDS; ++k)
        if (oa.used[static_cast<std::size_t>(k)])
            oa.z[static_cast<std::size_t>(k)].resize(static_cast<std::size_t>(limit), FMISSING);
    oa.limit = limit;
}

} // namespace

int RAW_set_analysis(const RAW_analysis *oa_funcs) {
    analysis = oa_funcs != nullptr ? *oa_funcs : RAW_analysis{};
    return 0;
}

// ---- Station arrays ----------------------------------------------------------------------

int RAW_init_oa_data() {
    if (analysis.initialize != nullptr) analysis.initialize();
    oa = OaData{};
    grow(OA_START);
    return 0;
}

int RAW_add_oa_field(int ind) {
    if (ind < 0 || ind >= OA_FIELDS) return -1;
    const auto k = static_cast<std::size_t>(ind);
    oa.used[k] = true;
    oa.z[k].assign(static_cast<std::size_t>(oa.limit), FMISSING);
    if (ind + 1 > oa.num_field) oa.num_field = ind + 1;
    return 0;
}

int RAW_add_oa_loc(int ind, float x, float y) {
    if (ind < 0) return -1;
    // Stations come in order: an index past the next growth is refused.
    if (ind >= oa.limit + OA_GROW) return -1;
    if (ind >= oa.limit) {
        grow(oa.limit + OA_GROW);
        MESS_print(M_MESS, "Increasing arrays to %d\n", oa.limit);
    }
    oa.x[static_cast<std::size_t>(ind)] = x;
    oa.y[static_cast<std::size_t>(ind)] = y;
    return 0;
}

int RAW_chk_oa_data(int ind) {
    return ind >= 0 && ind < OA_FIELDS && oa.used[static_cast<std::size_t>(ind)] ? 1 : 0;
}

int RAW_add_oa_data(int ind, int sta, float value) {
    if (sta < 0 || sta >= oa.limit) return -1;
    if (RAW_chk_oa_data(ind) == 1) oa.z[static_cast<std::size_t>(ind)][static_cast<std::size_t>(sta)] = value;
    if (sta + 1 > oa.num_stats) oa.num_stats = sta + 1;
    return 0;
}

int RAW_free_oa_data() {
    oa = OaData{};
    return 0;
}

int RAW_run_oa(GRD_report *grids) {
    if (analysis.analyze == nullptr) {
        MESS_print(M_WARN, "RAW_run_oa: No objective analysis available\n");
        return -1;
    }
    std::vector<float *> z(static_cast<std::size_t>(OA_FIELDS), nullptr);
    for (int k = 0; k < oa.num_field; ++k)
        if (oa.used[static_cast<std::size_t>(k)])
            z[static_cast<std::size_t>(k)] = oa.z[static_cast<std::size_t>(k)].data();
    return analysis.analyze(oa.x.data(), oa.y.data(), z.data(), oa.num_stats, oa.num_field, grids);
}

// ---- Plotting a file ------------------------------------------------------------------------

int RAW_plot_file(const char *file, int label) {
    NamedFile f(file);
    if (f.slot < 0) return 0;
    RAW_reset_line();
    Gattribs attr;
    ATTRIB_init(&attr);
    ATTRIB_get("color_data", "green", &attr);
    float scale = 1.0f;
    if (RES_getval("plot_scale", &scale, CV_float) == 0) scale = 1.0f;
    const IdList ids;
    RAW_plot_init(&attr, scale);
    Domain dom;
    MAP_get_domain(&dom);
    if (plot_table == 0 && (RES_get("city_file") != nullptr || RES_get("stat_prior") != nullptr) &&
        CTY_store("sao.cty", 3, &dom, CTY_get_prior()) != 0)
        plot_table = 1;
    const int type = RAW_base_format(f.fmt);
    const int skip = RAW_get_skip();
    RAW_getinfo(f.slot, &info);
    file_labels(f, label);

    f.for_records(skip, [&](RAW_report &r, int rec) {
        if (label != 0 && !ids.pass(r.id)) return;
        RAW_data item;
        RAW_data_init(&item);
        diagram_position(r, rec);
        float x = FMISSING, y = FMISSING, elev = FMISSING;
        if (!place(r, label, plot_table, x, y, elev)) return;
        if (MAP_get_proj() == 24) axis_label(r, rec, x, y);
        std::string format(r.format, strnlen(r.format, sizeof r.format));
        if (f.fmt != nullptr) format += std::string(":") + f.fmt;
        RAW_set(&item, x, y, type, format.c_str(), underscores_to_blanks(r.data).c_str(), r.value[0],
                r.value[1]);
        RAW_plot_data(&item);
    });
    return 0;
}

// ---- Gridding a file ----------------------------------------------------------------------------

int RAW_grd_out_file() {
    char conv[FILE_NAME_SIZE] = "raw_grd";
    FILE_set_name(conv);
    int type = 0;
    int count = 0;
    char **items = nullptr;
    RES_getvals("out_file", &count, &items);
    for (int i = 0; i < count; ++i) {
        const char *item = items[i];
        const std::size_t len = std::strlen(item);
        std::string name;
        if (stricmp(item, "none") == 0 || strnicmp(item, "gif", 3) == 0) {
            // no grid output from these
        } else if (strnicmp(item, "zeqb", 4) == 0) {
            type = 3;
            name = len > 5 ? item + 5 : "raw_grd_zeq";
        } else if (strnicmp(item, "zeq", 3) == 0) {
            type = 2;
            name = len > 4 ? item + 4 : "raw_grd_zeq";
        } else if (strnicmp(item, "cdf", 3) == 0) {
            type = 11;
            name = len > 4 ? item + 4 : "raw_grd_cdf";
        } else {
            type = 2;
            name = item;
        }
        if (!name.empty()) {
            copy_text(conv, name);
            FILE_set_name(conv);
        }
        FLAG_set(FLAG_GRID_KIND, type);
    }
    free_parsed_array(count, items);
    return type;
}

int RAW_grid_file(const char *file, int label) {
    NamedFile f(file);
    if (f.slot < 0) return -1;
    const IdList ids;
    RAW_getinfo(f.slot, &info);
    VAR_set_type(0, 11);
    const std::string joined = file_labels(f, label);
    if (!joined.empty()) copy_text(info.info, joined);

    Domain dom;
    const char *region = RES_get("region");
    if (region == nullptr || DOM_decode(region, &dom) != 1) MAP_get_domain(&dom);
    GRD_release_grid(0);
    GRD_init_grids();
    RAW_init_oa_data();
    GRD_set_grid_domain(0, &dom);
    GRD_report *grid = GRD_get_grid(0);

    NameConvScope naming;
    grd_file_type = RAW_grd_out_file();
    grd_filename[0] = '\0';
    if (grd_file_type != 0) {
        FILE_set_date(nullptr, grd_filename, sizeof grd_filename);
        int type = 0;
        if (GRD_read_check(grd_filename, grid, &grd_info, &type, &dom) == 1) {
            RAW_free_oa_data();
            return 0;
        }
        GRD_set_grid_domain(0, &dom);
    }
    GRD_set_grid_info(0, info.info);
    GRD_set_grid_date(0, &info.date, info.datim);
    RAW_add_oa_field(0);
    GRD_alloc_grid(0);
    if (analysis.set_filter != nullptr) analysis.set_filter(1.0f);
    if (analysis.set_rad_inf != nullptr) analysis.set_rad_inf(3.0f);
    MESS_print(M_MESS, "Reading in data from raw file...\n");

    // Stations are placed in the analysis domain.
    {
        MapScope scope(&dom);
        int j = 0;
        bool full = false;
        f.for_records(RAW_get_skip(), [&](RAW_report &r, int rec) {
            if (full || !ids.pass(r.id)) return;
            diagram_position(r, rec);
            float x = FMISSING, y = FMISSING, elev = FMISSING;
            if (!place(r, 1, grid_table, x, y, elev) || MAP_in_grid_domain(x, y) != 1) return;
            if (RAW_add_oa_loc(j, x, y) != 0) {
                MESS_print(M_WARN, "RAW_grid_file: Station arrays cannot grow: %d stations used\n", j);
                full = true;
                return;
            }
            RAW_add_oa_data(0, j, r.value[0]);
            ++j;
        });
        RAW_run_oa(GRD_get_grids());
    }
    if (grd_file_type != 0) {
        FILE_set_date(nullptr, grd_filename, sizeof grd_filename);
        grd_info = GRD_info_of(grid);
        GRD_save_file(grd_filename, grid, &grd_info, grd_file_type);
    }
    RAW_free_oa_data();
    return 0;
}

// ---- The stand-alone driver -----------------------------------------------------------------------

void RAW_callback(int, const char *event, float x, float y) {
    if (event == nullptr) return;
    PLT_print_values(event, x, y);
    PLT_plot_zoom(event, x, y);
    PLT_plot_resize(event, x, y);
    CONT_flash_value(event, x, y);
    if (std::strcmp(event, "s-Alt") != 0) return;
    GRD_report *grid = GRD_get_grid(0);
    if (grid == nullptr || grid->grid == nullptr) return;
    grd_info = GRD_info_of(grid);
    GRD_save_file(grd_filename, grid, &grd_info, grd_file_type);
}

int RAW_plot(Domain *domain) {
    if (domain == nullptr) return 0;
    bool opened = false;
    if (gchk_graphics()) {
        PLT_reset(DOM_aspect(domain));
    } else {
        if (PLT_open(DOM_aspect(domain)) != 0) return 0;
        opened = true;
        PLT_set_callback(RAW_callback);
        PLT_set_zoom_func(RAW_plot);
        PLT_set_resize_func(RAW_plot);
    }
    MAP_setup(domain);
    std::vector<std::string> files;
    int count = 0;
    char **items = nullptr;
    RES_getvals("filename", &count, &items);
    for (int i = 0; i < count; ++i)
        files.emplace_back(items[i]);
    free_parsed_array(count, items);
    if (files.empty()) files.emplace_back(FILE_get_filename(nullptr));

    auto fill_type = [](int t) { return t == 15 || t == 16 || t == 52; };
    bool fill = fill_type(FLAG_get(FLAG_PLOT_TYPE));
    MAP_fill_cont(0);
    MAP_draw(fill ? 1 : 5);
    bool bar = false;
    for (const std::string &file : files) {
        if (stricmp(file.c_str(), "map") == 0) {
            MAP_draw(4);
        } else if (RAW_grid_file(file.c_str(), 1) == 0) {
            CONT_plot_setup(0, 0, GRD_get_grid(0), domain, RAW_callback);
            if (fill_type(CONT_get_type())) fill = true;
            MAP_setup(domain);
            CONT_draw(GRD_get_grid(0));
            if (!bar && CONT_get_bar() > 0) {
                GPH_trans(1);
                CONT_draw_bar(1, "");
                GPH_trans(2);
                bar = true;
            }
        }
        if (fill) {
            MAP_fill_cont(1);
            MAP_draw(6);
        } else {
            MAP_draw(2);
        }
    }
    PLT_labels();
    PLT_dump(0);
    if (opened) PLT_close();
    return 0;
}
