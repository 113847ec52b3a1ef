// The plotting test driver: plot_driver ENTRY [resource arguments...]
// resolves the resources from the arguments (as the program does) and runs
// one plot entry point, whose result is the exit status. An entry point is a
// function of this file and one row of `entries`.
//
// A process that goes to the background (batch mode with the own window)
// writes its process id to "plot_driver.pid" in the working directory, so
// that a test can end exactly that process.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_loop.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "graphics/img_tool.h"
#include "graphics/xstack.h"
#include "plot/cont.h"
#include "plot/cty_plt.h"
#include "plot/frt_plt.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/raw_plt.h"
#include "plot/raw_tool.h"
#include "plot/vect_plt.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"
#include "runtime/zeq.h"
#include "surface/object.h"
#include "support/analytic_field.h"

namespace {

const res_type res_key[] = {
    RES_help,         RES_batch,        RES_message,    RES_file_path,   RES_data_path,   RES_con_path,
    RES_grid_path,    RES_raw_path,     RES_image_path, RES_city_file,   RES_map_file,    RES_name_conv,
    RES_in_file,      RES_out_file,     RES_file_param, RES_current,     RES_hour,        RES_identifier,
    RES_plot_domain,  RES_grid_domain,  RES_region,     RES_stat_prior,  RES_variable,    RES_time,
    RES_parameter,    RES_plot_type,    RES_plot_scale, RES_plot_format, RES_plot_param,  RES_draw,
    RES_label,        RES_con_interval, RES_con_base,   RES_font_list,   RES_color_table, RES_color_text,
    RES_color_data,   RES_color_map,    RES_color_grid, RES_color_line,  RES_color_front, RES_color_wind,
    RES_color_cloud,  RES_color_wx,     RES_color_cmap, RES_color_cont,  RES_color_fill,  RES_color_label,
    RES_color_clabel, RES_device,       RES_title,      RES_icon,        RES_background,  RES_geometry,
    RES_null,
};
const res_type res_pos[] = {RES_filenames, RES_null};

// Set while PLT_close runs: its move to the background is the fork that
// in_background marks.
bool closing = false;

// PLT_close for every entry point.
int close_plot() {
    closing = true;
    const int rc = PLT_close();
    closing = false;
    return rc;
}

// ---- Entry points ------------------------------------------------------------------

// The plot frame with labels: a square plot, six driver labels on the first
// overlay and three more on the second, then the labels of resource label.
// Prints the results of PLT_open, PLT_labels and PLT_close and the view;
// fails (1) only when graphics were opened and closing them failed.
int frame() {
    Date date{2024, 1, 5, 5, 5, 12, 0, 0};
    PLT_label_date(&date);
    PLT_label_for_time(12);
    const int open = PLT_open(1.0f);
    PLT_label_up_left("UL0");
    PLT_label_up_center("UC0");
    PLT_label_up_right("UR0");
    PLT_label_low_left("LL0");
    PLT_label_low_center("LC0");
    PLT_label_low_right("LR0");
    PLT_next_overlay();
    PLT_label_up_left("UL1");
    PLT_label_up_right("UR1");
    PLT_label_low_right("LR1");
    PLT_next_overlay();
    const int labels = open == 0 ? PLT_labels() : MISSING;
    Glim view{};
    PLT_get_view(&view);
    std::printf("PLT_open %d\nPLT_labels %d\nview %.6f %.6f %.6f %.6f\n", open, labels, view.x_min,
                view.x_max, view.y_min, view.y_max);
    std::fflush(stdout);
    const int close = close_plot();
    std::printf("PLT_close %d\n", close);
    return open == 0 && close != 0 ? 1 : 0;
}

// Image output of a plot: the labelled frame drawn once ("dump") or into
// three animation frames ("dump_frames", each dumped after it is shown, as
// the drivers do), with the image kind of plot_param. Prints each PLT_dump
// result and whether the data files' name convention survived.
int dump_plot(int frames) {
    Date date{2024, 1, 5, 5, 5, 12, 0, 0};
    PLT_label_date(&date);
    char conv[] = "@data_%y%m%d";
    FILE_set_name(conv);
    char before[FILE_NAME_SIZE], after[FILE_NAME_SIZE];
    FILE_get_name_conv(before, sizeof before);
    const int open = PLT_open(1.0f);
    PLT_label_up_left("UL0");
    if (open == 0) PLT_labels();
    if (frames == 0) {
        std::printf("PLT_dump %d\n", PLT_dump(0));
    } else {
        for (int i = 0; i < frames; ++i) {
            gcreate_frame(-1);
            gselect_frame(i);
            PLT_labels();
            gdisplay_frame(i);
            std::printf("PLT_dump %d\n", PLT_dump(i));
        }
    }
    FILE_get_name_conv(after, sizeof after);
    std::printf("name_conv %s\n", std::strcmp(before, after) == 0 ? "kept" : after);
    std::fflush(stdout);
    return close_plot() == 0 ? 0 : 1;
}

int dump() {
    return dump_plot(0);
}

int dump_frames() {
    return dump_plot(3);
}

// Each item of resource filename read as an image (IMG_read): prints its
// size and the map domain it carries ("image W H", then "domain PROJ CLAT
// CLON NX NY DX DY"); fails (1) when a file cannot be read.
int img_domain() {
    int count = 0;
    char **items = nullptr;
    RES_getvals("filename", &count, &items);
    int rc = count > 0 ? 0 : 1;
    for (int i = 0; i < count; ++i) {
        IMG_report image;
        if (IMG_read(items[i], &image, 0) != 1) {
            rc = 1;
            continue;
        }
        const Domain &d = image.domain;
        std::printf("image %d %d\ndomain %d %.6f %.6f %d %d %.6f %.6f\n", image.width, image.height, d.proj,
                    static_cast<double>(d.clat), static_cast<double>(d.clon), d.nx, d.ny,
                    static_cast<double>(d.dx), static_cast<double>(d.dy));
        IMG_free(&image);
    }
    free_parsed_array(count, items);
    return rc;
}

// A map background: the domain of resource plot_domain on a plot of its
// aspect, the map list drawn as an underlay (flag 5), then the labels (the
// border of the view). Prints the device's size and offset in points, the
// map window and its view, so that a test can place plane points on the
// page; fails (1) without a domain or open graphics, or when closing fails.
int map() {
    Domain domain;
    if (DOM_get_region(&domain, 1) != 1) {
        std::fprintf(stderr, "map: no plot_domain\n");
        return 1;
    }
    if (PLT_open(DOM_aspect(&domain)) != 0) return 1;
    MAP_setup(&domain);
    MAP_draw(5);
    PLT_labels();
    Glim win{}, view{};
    MAP_get_window(&win);
    GPH_get_view(2, &view);
    Gint w = 0, h = 0, x = 0, y = 0;
    gget_win_size(&w, &h);
    gget_win_offset(&x, &y);
    std::printf("device %d %d %d %d\nwindow %.6f %.6f %.6f %.6f\nview %.6f %.6f %.6f %.6f\n", w, h, x, y,
                win.x_min, win.x_max, win.y_min, win.y_max, view.x_min, view.x_max, view.y_min, view.y_max);
    std::fflush(stdout);
    return close_plot() == 0 ? 0 : 1;
}

// Grid slot 0 on the domain of resource grid_domain (else plot_domain)
// holding the analytic field at its points; false without a domain.
bool analytic_slot(Domain *map) {
    if (DOM_get_region(map, 1) != 1) {
        std::fprintf(stderr, "no plot_domain\n");
        return false;
    }
    Domain gd = *map;
    if (RES_get("grid_domain") != nullptr) RES_getval("grid_domain", &gd, CV_domain);
    GRD_set_grid_domain(0, &gd);
    GRD_alloc_grid(0);
    GRD_report *grid = GRD_get_grid(0);
    if (grid->grid == nullptr) return false;
    const std::vector<float> values = zeqtest::analytic_values(grid->domain);
    std::copy(values.begin(), values.end(), grid->grid);
    GRD_set_grid_info(0, "Analytic field");
    const Date date{2024, 1, 5, 5, 5, 12, 0, 0};
    GRD_set_grid_date(0, &date, "12Z 5 JAN 24");
    return true;
}

// The stand-alone contour plot of the analytic field in slot 0 on the
// domain of plot_domain. Prints the device, the plot view and the
// contour levels, so that a test can place grid points on the page.
int cont() {
    Domain map;
    if (!analytic_slot(&map)) return 1;
    const int rc = CONT_plot(&map);
    Glim view{}, win{};
    MAP_get_window(&win);
    PLT_get_view(&view);
    Gint w = 0, h = 0, x = 0, y = 0;
    gget_win_size(&w, &h);
    gget_win_offset(&x, &y);
    std::printf("CONT_plot %d\ndevice %d %d %d %d\nview %.6f %.6f %.6f %.6f\ntype %d\n", rc, w, h, x, y,
                view.x_min, view.x_max, view.y_min, view.y_max, CONT_get_type());
    float values[CONT_MAX_LEVELS] = {};
    const int n = CONT_get_values(values, CONT_MAX_LEVELS);
    std::printf("window %.6f %.6f %.6f %.6f\n", win.x_min, win.x_max, win.y_min, win.y_max);
    std::printf("levels %d interval %g:", CONT_get_num_cont(), double(CONT_get_intrvl()));
    for (int k = 0; k < n; ++k)
        std::printf(" %g", double(values[k]));
    std::printf("\n");
    return rc == 0 ? 0 : 1;
}

// The analytic field in slot 0 and the event "s-Alt" sent to the contour
// driver's callback.
int cont_save() {
    Domain map;
    if (!analytic_slot(&map)) return 1;
    CONT_callback(2, "s-Alt", 0, 0);
    return 0;
}

// Opens a plot for the domain of resource plot_domain and makes its plane
// the window of transformation 2; prints the window. False (with a message)
// without a domain or when no graphics could be opened.
bool open_map() {
    Domain domain;
    if (DOM_get_region(&domain, 1) != 1) {
        std::fprintf(stderr, "no plot_domain\n");
        return false;
    }
    if (PLT_open(DOM_aspect(&domain)) != 0) return false;
    MAP_setup(&domain);
    Glim win{};
    MAP_get_window(&win);
    std::printf("window %.6f %.6f %.6f %.6f\n", win.x_min, win.x_max, win.y_min, win.y_max);
    return true;
}

// A frontal bulletin on a map: the file named by resource filename under
// the name convention "frt_dat", whose name gives the date the analysis must
// match, drawn with its labels; fails (1) when the plot cannot be opened or
// closed.
int front() {
    if (!open_map()) return 1;
    char conv[] = "frt_dat";
    FILE_set_name(conv);
    const char *name = RES_get("filename");
    char file[FILE_NAME_SIZE] = "";
    FILE_set_file(name != nullptr ? name : "", file);
    FRT_set_date(nullptr);
    Date date{};
    FILE_get_date(&date);
    std::printf("date %d %d %d %d\n", date.year, date.month, date.day, date.hour);
    std::printf("FRT_plot_file %d\n", FRT_plot_file(name != nullptr ? name : ""));
    PLT_labels();
    std::fflush(stdout);
    return close_plot() == 0 ? 0 : 1;
}

// The front driver over the bulletins named by resource filename (name
// convention "frt_dat"). On the own window (no resource device) the plot is opened first, so that
// after the driver's loop every animation frame is shown, its window title
// printed and its window written to "frameN.xwd" by xwd; elsewhere the
// driver opens and closes the plot itself.
int front_loop() {
    Domain domain;
    if (DOM_get_region(&domain, 1) != 1) {
        std::fprintf(stderr, "front_loop: no plot_domain\n");
        return 1;
    }
    char conv[] = "frt_dat";
    FILE_set_name(conv);
    const bool x11 = RES_get("device") == nullptr; // the own window
    if (x11 && PLT_open(DOM_aspect(&domain)) != 0) return 1;
    std::printf("FRT_plot %d\n", FRT_plot(&domain));
    if (x11) {
        const int frames = gget_num_images();
        std::printf("frames %d looping %d\n", frames, gget_looping());
        gset_looping(0);
        for (int k = 0; k < frames; ++k) {
            gdisplay_frame(k);
            char *name = nullptr;
            XFetchName(gget_display(), gget_root_window(), &name);
            std::printf("title %s\n", name != nullptr ? name : "");
            if (name != nullptr) XFree(name);
            const bool read = xtest::dump_window(gget_root_window(), "frame" + std::to_string(k) + ".xwd");
            std::printf("xwd %d\n", read ? 0 : -1);
        }
        // The window is not held for interaction: the run ends here.
        std::fflush(stdout);
        return 0;
    }
    std::fflush(stdout);
    return 0;
}

// A text field of an item line: "-" is empty.
std::string field_text(const std::string &word) {
    return word == "-" ? std::string() : word;
}

float field_value(const std::string &word) {
    return word == "-" ? FMISSING : std::strtof(word.c_str(), nullptr);
}

// Point items on a map: RAW_plot_init with color_data over "green" and
// plot_scale, then one item a line of the file named by resource filename:
// "TYPE LAT LON VALUE0 VALUE1 TEXT FORMAT" ("-" an empty text or a missing
// value; TYPE a number or a plot type word). Prints the result of
// RAW_plot_init and, for each item, "item N RESULT X Y TEXT" (the text as
// the plotter left it); fails (1) when the plot cannot be opened or closed.
int points() {
    if (!open_map()) return 1;
    Gattribs attr;
    ATTRIB_init(&attr);
    ATTRIB_get("color_data", "green", &attr);
    float scale = 1.0f;
    if (RES_getval("plot_scale", &scale, CV_float) == 0) scale = 1.0f;
    std::printf("RAW_plot_init %d\n", RAW_plot_init(&attr, scale));
    const char *name = RES_get("filename");
    FILE *in = name != nullptr ? std::fopen(name, "r") : nullptr;
    if (in == nullptr) {
        std::fprintf(stderr, "points: no item file\n");
        close_plot();
        return 1;
    }
    char line[400];
    int n = 0;
    while (std::fgets(line, sizeof line, in) != nullptr) {
        char w[7][100];
        if (std::sscanf(line, "%99s %99s %99s %99s %99s %99s %99s", w[0], w[1], w[2], w[3], w[4], w[5],
                        w[6]) != 7)
            continue;
        const int word_type = VAR_dec_type(w[0]);
        const int type = word_type >= 0 ? word_type : std::atoi(w[0]);
        float x = FMISSING, y = FMISSING;
        MAP_tran(field_value(w[1]), field_value(w[2]), &x, &y);
        RAW_data item;
        RAW_set(&item, x, y, type, field_text(w[6]).c_str(), field_text(w[5]).c_str(), field_value(w[3]),
                field_value(w[4]));
        const int rc = RAW_plot_data(&item);
        std::printf("item %d %d %.6f %.6f %s\n", n++, rc, x, y, item.data);
    }
    std::fclose(in);
    std::fflush(stdout);
    return close_plot() == 0 ? 0 : 1;
}

// The station overlay on a map (CTY_plot); fails (1) when the plot cannot be
// opened or closed.
int stations() {
    if (!open_map()) return 1;
    std::printf("CTY_plot %d\n", CTY_plot());
    std::fflush(stdout);
    return close_plot() == 0 ? 0 : 1;
}

// Wind grids (formatted by resource plot_format) of resource variable on the domain of resource grid_domain
// (else plot_domain), in grid slots 0 (u) and 1 (v): "westerly" 10 m/s
// toward the east (true components), "rotation" a solid-body turn
// anticlockwise about the grid's centre (grid components, 30 m/s at the
// corners), "jet" a westerly band of 40 m/s at 50 N (true components).
// Prints the grid's domain; false when it cannot be made.
bool wind_grids(Domain *map) {
    Domain grid;
    if (DOM_get_region(map, 1) != 1) {
        std::fprintf(stderr, "winds: no plot_domain\n");
        return false;
    }
    grid = *map;
    if (const char *g = RES_get("grid_domain"); g != nullptr && g[0] != '\0' && DOM_decode(g, &grid) != 1)
        return false;
    const char *kind = RES_get("variable");
    const std::string field = kind != nullptr ? kind : "westerly";
    GRD_report *u = GRD_get_grid(0), *v = GRD_get_grid(1);
    for (int slot : {0, 1}) {
        GRD_report *g = GRD_get_grid(slot);
        g->domain = grid;
        GRD_alloc_grid(slot);
        if (g->grid == nullptr) return false;
        g->time = 0;
        g->ltype = 100;
        g->level = 500;
    }
    MapScope scope(&grid);
    const int nx = grid.nx, ny = grid.ny;
    const float xc = 0.5f * float(nx - 1), yc = 0.5f * float(ny - 1);
    const float rmax = std::hypot(xc, yc);
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const std::size_t k = std::size_t(j) * std::size_t(nx) + std::size_t(i);
            float x = 0, y = 0, lat = 0, lon = 0;
            MAP_grid_tran(float(i), float(j), &x, &y);
            MAP_untran(x, y, &lat, &lon);
            float uu = 10.0f, vv = 0.0f;
            if (field == "rotation") {
                // Grid rows run south: the grid's own y is yc - j.
                uu = -30.0f * (yc - float(j)) / rmax;
                vv = 30.0f * (float(i) - xc) / rmax;
            } else if (field == "jet") {
                uu = 40.0f * std::exp(-std::pow((lat - 50.0f) / 8.0f, 2.0f));
            }
            u->grid[k] = uu;
            v->grid[k] = vv;
        }
    std::printf("grid %d %d\n", nx, ny);
    return true;
}

// A sum of the grid values that changes with any of them.
double grid_sum(const GRD_report *g) {
    double s = 0;
    const std::size_t n = std::size_t(g->domain.nx) * std::size_t(g->domain.ny);
    for (std::size_t k = 0; k < n; ++k)
        s += double(g->grid[k]) * double(k % 97 + 1);
    return s;
}

// The stand-alone wind plot of the wind grids on plot_domain (VECT_plot_grid
// opens and closes the plot itself). Prints the grid sums before and after.
int winds() {
    Domain map;
    if (!wind_grids(&map)) return 1;
    GRD_report *u = GRD_get_grid(0), *v = GRD_get_grid(1);
    std::printf("before %.9e %.9e\n", grid_sum(u), grid_sum(v));
    VECT_set_format(20, RES_get("plot_format"));
    const int rc = VECT_plot_grid(u, v, &map, nullptr);
    std::printf("VECT_plot_grid %d\nafter %.9e %.9e\n", rc, grid_sum(u), grid_sum(v));
    return rc;
}

// The same plot drawn twice on one open plot, as a zoom redraws it; each
// draw follows a message record "draw N". Prints the grid sums after each.
int winds_twice() {
    Domain map;
    if (!wind_grids(&map)) return 1;
    GRD_report *u = GRD_get_grid(0), *v = GRD_get_grid(1);
    if (PLT_open(DOM_aspect(&map)) != 0) return 1;
    std::printf("before %.9e %.9e\n", grid_sum(u), grid_sum(v));
    for (int n = 1; n <= 2; ++n) {
        gmessage(1, n == 1 ? "draw 1" : "draw 2");
        VECT_set_format(20, RES_get("plot_format"));
        VECT_plot_grid(u, v, &map, nullptr);
        std::printf("after %.9e %.9e\n", grid_sum(u), grid_sum(v));
    }
    std::fflush(stdout);
    return close_plot() == 0 ? 0 : 1;
}

// The stand-alone map plot on the domain of resource plot_domain; prints the
// device, the plot view and the map window, so that a test can place plane
// points on the page.
int map_plot() {
    Domain domain;
    if (DOM_get_region(&domain, 1) != 1) {
        std::fprintf(stderr, "map_plot: no plot_domain\n");
        return 1;
    }
    const int rc = MAP_plot(&domain);
    Glim view{}, win{};
    PLT_get_view(&view);
    MAP_get_window(&win);
    Gint w = 0, h = 0, x = 0, y = 0;
    gget_win_size(&w, &h);
    gget_win_offset(&x, &y);
    std::printf("MAP_plot %d\ndevice %d %d %d %d\nview %.6f %.6f %.6f %.6f\nwindow %.6f %.6f %.6f %.6f\n", rc,
                w, h, x, y, view.x_min, view.x_max, view.y_min, view.y_max, win.x_min, win.x_max, win.y_min,
                win.y_max);
    return rc == 0 ? 0 : 1;
}

// The stand-alone point-data contour driver on the domain of plot_domain.
int raw_plot() {
    Domain domain;
    if (DOM_get_region(&domain, 1) != 1) {
        std::fprintf(stderr, "raw_plot: no plot_domain\n");
        return 1;
    }
    const int rc = RAW_plot(&domain);
    std::printf("RAW_plot %d\n", rc);
    return rc == 0 ? 0 : 1;
}

// Each item of resource filename plotted with RAW_plot_file (labels on) on
// the map of plot_domain; the map list drawn over it.
int raw_file() {
    if (!open_map()) return 1;
    int count = 0;
    char **items = nullptr;
    RES_getvals("filename", &count, &items);
    for (int i = 0; i < count; ++i)
        std::printf("RAW_plot_file %d\n", RAW_plot_file(items[i], 1));
    free_parsed_array(count, items);
    MAP_draw(2);
    PLT_labels();
    std::fflush(stdout);
    return close_plot() == 0 ? 0 : 1;
}

// Each item of resource filename gridded (RAW_grid_file) on the domain of
// plot_domain without graphics; prints the result, the grid's size and every
// value of grid 0 ("grid NX NY" then one line of values per row).
int raw_grid() {
    Domain domain;
    if (DOM_get_region(&domain, 1) != 1) {
        std::fprintf(stderr, "raw_grid: no plot_domain\n");
        return 1;
    }
    MAP_domain(&domain);
    int count = 0;
    char **items = nullptr;
    RES_getvals("filename", &count, &items);
    int rc = 0;
    for (int i = 0; i < count; ++i) {
        rc = RAW_grid_file(items[i], 0);
        std::printf("RAW_grid_file %d\n", rc);
    }
    free_parsed_array(count, items);
    const GRD_report *g = GRD_get_grid(0);
    if (g->grid == nullptr) return rc == 0 ? 0 : 1;
    std::printf("grid %d %d\n", g->domain.nx, g->domain.ny);
    for (int r = 0; r < g->domain.ny; ++r) {
        for (int c = 0; c < g->domain.nx; ++c)
            std::printf(" %.9g", static_cast<double>(
                                     g->grid[std::size_t(r) * std::size_t(g->domain.nx) + std::size_t(c)]));
        std::printf("\n");
    }
    return rc == 0 ? 0 : 1;
}

struct Entry {
    const char *name;
    int (*run)();
};
const Entry entries[] = {
    {"frame", frame},
    {"dump", dump},
    {"dump_frames", dump_frames},
    {"img_domain", img_domain},
    {"front", front},
    {"front_loop", front_loop},
    {"map", map},
    {"map_plot", map_plot},
    {"cont", cont},
    {"cont_save", cont_save},
    {"points", points},
    {"stations", stations},
    {"raw_plot", raw_plot},
    {"raw_file", raw_file},
    {"raw_grid", raw_grid},
    {"winds", winds},
    {"winds_twice", winds_twice},
};

// ---- Background process ----------------------------------------------------------------

// Runs in the child of every fork; acts on the move to the background in
// PLT_close. The window's hold loop is not built yet, so the background
// process waits here, holding the window, until the test ends it (at most
// two minutes).
void in_background() {
    if (!closing) return;
    const std::string pid = std::to_string(getpid()) + "\n";
    const int fd = open("plot_driver.pid.tmp", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        if (write(fd, pid.data(), pid.size()) < 0) {
            // the test then finds no process id and fails
        }
        close(fd);
        rename("plot_driver.pid.tmp", "plot_driver.pid");
    }
    alarm(120);
    for (;;)
        pause();
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ENTRY [resource arguments...]\n", argv[0]);
        return 2;
    }
    const Entry *entry = nullptr;
    for (const Entry &e : entries)
        if (std::strcmp(e.name, argv[1]) == 0) entry = &e;
    if (entry == nullptr) {
        std::fprintf(stderr, "%s: no entry point %s\n", argv[0], argv[1]);
        return 2;
    }
    pthread_atfork(nullptr, nullptr, in_background);

    // The resources see the program name and the arguments after the entry.
    std::vector<char *> args{argv[0]};
    for (int i = 2; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    RES_set_domain_decoder(DOM_decode);
    RAW_analysis oa;
    oa.initialize = OBJ_initialize;
    oa.set_filter = OBJ_set_filter;
    oa.set_rad_inf = OBJ_set_rad_inf;
    oa.analyze = OBJ_analyze;
    RAW_set_analysis(&oa);
    RES_init(static_cast<int>(args.size()) - 1, args.data(), res_key, res_pos);
    ZEQ_exit(entry->run());
}
