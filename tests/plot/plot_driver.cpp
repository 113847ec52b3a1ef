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

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "plot/cty_plt.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/raw_plt.h"
#include "plot/raw_tool.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/system.h"
#include "runtime/zeq.h"

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

struct Entry {
    const char *name;
    int (*run)();
};
const Entry entries[] = {
    {"frame", frame},
    {"map", map},
    {"points", points},
    {"stations", stations},
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
    RES_init(static_cast<int>(args.size()) - 1, args.data(), res_key, res_pos);
    ZEQ_exit(entry->run());
}
