// The stand-alone map plot: the map of a domain with, over it, the station
// database, free texts, markers, range circles and the data files named by
// resource filename (point data, metafiles, gridded point data), labels and
// the colour bar; it redraws itself on zoom and resize. No file-static state.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/cty_plt.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/raw_plt.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/zeq.h"

namespace {

// The label position of a label item ("ul:" .. "lr:"), or -1.
int label_item(const char *item) {
    static const char *const pos[] = {"ul:", "uc:", "ur:", "ll:", "lc:", "lr:"};
    for (int i = 0; i < 6; ++i)
        if (strnicmp(item, pos[i], 3) == 0) return i;
    return -1;
}

// A marker type by name (prefixes, first match wins) or number.
int marker_type(const char *text) {
    static const struct {
        const char *name;
        int type;
    } names[] = {{"dot", 8},    {"pnt", 1},  {".", 1},      {"plus", 2}, {"+", 2},    {"star", 3},
                 {"*", 3},      {"crcl", 4}, {"circle", 4}, {"o", 4},    {"x", 5},    {"sqr", 6},
                 {"square", 6}, {"#", 6},    {"tri", 7},    {"^", 7},    {"itri", 9}, {"v", 9}};
    for (const auto &n : names)
        if (strnicmp(text, n.name, static_cast<int>(std::strlen(n.name))) == 0) return n.type;
    return std::atoi(text);
}

// "LAT:LON:REST" read into the plane point of that latitude and longitude;
// false when it does not read or has no place on the map.
bool lat_lon_item(const char *text, Gpt &pt, std::string &rest) {
    float lat = 0, lon = 0;
    char buf[160] = "";
    const int n = std::sscanf(text, "%f:%f:%159[^\n]", &lat, &lon, buf);
    if (n < 2) return false;
    rest = buf;
    float x = FMISSING, y = FMISSING;
    MAP_tran(lat, lon, &x, &y);
    if (is_missing(x) || is_missing(y)) return false;
    pt = {x, y};
    return true;
}

void print_corner(const char *name, float x, float y) {
    float lat = FMISSING, lon = FMISSING;
    MAP_untran(x, y, &lat, &lon);
    MESS_print(M_OUT4, "%s: %8.3f,%8.3f Lat: %8.3f Lon: %8.3f\n", name, static_cast<double>(x),
               static_cast<double>(y), static_cast<double>(lat), static_cast<double>(lon));
}

// The colour bar under the view on transformation 1; true when drawn.
bool draw_bar() {
    GPH_trans(1);
    const int rc = CONT_draw_bar(1, "");
    GPH_trans(2);
    return rc == 0;
}

// A data file item: point data plotted with its labels, a metafile replayed,
// or point data gridded and contoured for the contour plot types.
void file_item(const char *item) {
    const int type = FLAG_get(FLAG_PLOT_TYPE);
    if (type >= 10 && type <= 23) {
        if (RAW_grid_file(item, 1) != 0) return;
        // Vector kinds are gridded as one field and are not drawn from it.
        if (type > 17) return;
        Domain dom;
        MAP_get_domain(&dom);
        CONT_plot_setup(0, 0, GRD_get_grid(0), &dom, MAP_callback);
        MAP_setup(&dom);
        CONT_draw(GRD_get_grid(0));
        return;
    }
    if (FILE_is_stdio(item)) {
        RAW_plot_file(item, 1);
        return;
    }
    std::string name = item;
    name = name.substr(0, name.find(':'));
    char full[FILE_NAME_SIZE];
    FILE_add_path(RES_get("raw_path"), name.c_str(), full, sizeof full);
    const int ftype = FILE_type(full);
    if (ftype == 8) {
        gread_metafile(full);
        return;
    }
    if (ftype != 5) MESS_print(M_WARN, "File may not be in raw format, trying anyway!\n");
    RAW_plot_file(item, 1);
}

} // namespace

void MAP_callback(int, const char *str, float x, float y) {
    if (str == nullptr) return;
    PLT_print_values(str, x, y);
    PLT_plot_zoom(str, x, y);
    PLT_plot_resize(str, x, y);
}

int MAP_plot(Domain *domain) {
    if (domain == nullptr) return 0;
    bool opened = false;
    if (gchk_graphics()) {
        PLT_reset(DOM_aspect(domain));
    } else {
        float aspect = DOM_aspect(domain);
        if (domain->proj == 41 || domain->proj == 40) {
            PLT_set_view_offsets(0.05f, 0.04f, 0.05f, 0.04f);
            aspect = 1.1f;
        } else if (domain->proj == 22 || domain->proj == 24) {
            PLT_set_view_offsets(0.06f, 0.05f, 0.05f, 0.035f);
            if (domain->proj == 22) aspect = 1.5f;
        }
        if (PLT_open(aspect) != 0) return 0;
        opened = true;
        PLT_set_callback(MAP_callback);
        PLT_set_zoom_func(MAP_plot);
        PLT_set_resize_func(MAP_plot);
    }

    MAP_setup(domain);
    Glim win{};
    MAP_get_window(&win);
    print_corner("Up  Left", win.x_min, win.y_max);
    print_corner("Up  Rght", win.x_max, win.y_max);
    print_corner("Low Left", win.x_min, win.y_min);
    print_corner("Low Rght", win.x_max, win.y_min);
    MAP_draw(5);

    std::vector<std::string> items;
    int count = 0;
    char **list = nullptr;
    RES_getvals("filename", &count, &list);
    for (int i = 0; i < count; ++i)
        items.emplace_back(list[i]);
    free_parsed_array(count, list);
    bool only_labels = true;
    for (const std::string &item : items)
        only_labels = only_labels && label_item(item.c_str()) >= 0;
    if (only_labels && (RES_get("stat_prior") != nullptr || RES_get("identifier") != nullptr)) CTY_plot();

    Gattribs attr;
    ATTRIB_init(&attr);
    ATTRIB_get("color_data", "green", &attr);
    float scale = 1.0f;
    if (RES_getval("plot_scale", &scale, CV_float) == 0) scale = 1.0f;
    const float text_height = 0.018f * MAP_get_vert() * scale;

    bool bar_drawn = false;
    for (const std::string &entry : items) {
        const char *item = entry.c_str();
        Gpt pt{};
        std::string rest;
        if (const int pos = label_item(item); pos >= 0) {
            char text[160];
            PLT_label_format(item + 3, text, sizeof text);
            PLT_label_strcpy(pos, text);
        } else if (strnicmp(item, "xy:", 3) == 0) {
            char text[160] = "";
            if (std::sscanf(item + 3, "%f:%f:%159[^\n]", &pt.x, &pt.y, text) == 3) {
                GPH_text_attr(&attr, text_height);
                GPH_text_align(2, 3);
                GPH_pprint(&pt, text);
            }
        } else if (strnicmp(item, "text:", 5) == 0) {
            if (lat_lon_item(item + 5, pt, rest)) {
                GPH_text_attr(&attr, text_height);
                GPH_text_align(2, 3);
                GPH_pprint(&pt, rest.c_str());
            }
        } else if (strnicmp(item, "mark:", 5) == 0) {
            if (lat_lon_item(item + 5, pt, rest)) {
                Gattribs m = attr;
                m.style = marker_type(rest.c_str());
                GPH_mark_attr(&m, 1.0f);
                GPH_mark(pt.x, pt.y);
            }
        } else if (strnicmp(item, "range:", 6) == 0) {
            if (lat_lon_item(item + 6, pt, rest)) {
                GPH_line_attr(&attr);
                MAP_draw_circle(pt.x, pt.y, 1.852f * static_cast<float>(std::atof(rest.c_str())));
            }
        } else if (stricmp(item, "map") == 0) {
            MAP_draw(4);
        } else {
            file_item(item);
        }
        float max = FMISSING, min = FMISSING;
        RAW_get_range(&max, &min);
        CONT_set_range(max, min);
        if (!bar_drawn && CONT_get_bar() > 0) bar_drawn = draw_bar();
    }

    MAP_draw(2);
    PLT_labels();
    if (!bar_drawn && CONT_get_bar() > 0) {
        CONT_set_type(15);
        CONT_set_fill_colors(nullptr, 0);
        draw_bar();
    }
    PLT_dump(0);
    if (opened) PLT_close();
    return 0;
}
