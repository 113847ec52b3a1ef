// Contour plot setup and the stand-alone contour driver: the settings of
// one grid variable of one frame in their fixed order (variable, memory of
// frame 0, options, band table, range, interval, con_base, plot_scale,
// plot_format, type and levels) and its plot labels; the plot of grid slot
// 0 with map, labels, colour bar and its event callback.
// File-static state: the per-variable memory of frame 0 (type, interval,
// dash mode and colour base), the grid being set up and the callback handed
// in with it.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "graphics/gks.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/cont_int.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

using cont_detail::Settings;
using cont_detail::settings;

namespace {

constexpr int PLOT_NONE = 99;
constexpr int GRID_VALUES = 17;
// The LEVELS label takes values while it stays within what a plot label
// holds.
constexpr std::size_t LABEL_MAX = 68;

// What frame 0 of a sequence fixed for each variable-list entry, for the
// frames after it (-9999 until a frame 0 has run).
struct Memory {
    std::array<int, VAR_MAX> cont_types;
    std::array<float, VAR_MAX> intrvls;
    std::array<int, VAR_MAX> dashs;
    std::array<float, VAR_MAX> bases;
    Memory() {
        cont_types.fill(MISSING);
        intrvls.fill(FMISSING);
        dashs.fill(MISSING);
        bases.fill(FMISSING);
    }
};
Memory memory;

GRD_report *grd_ptr = nullptr;
PLT_event_func callback = nullptr;

bool plot_none() {
    return FLAG_get(FLAG_PLOT_TYPE) == PLOT_NONE;
}

// Applies con_base: '>' v sets the base and the lower cut-off, '<' v the
// upper cut-off, a plain number the base.
void apply_con_base(Settings &s) {
    for (const auto &[op, v] : cont_detail::con_base_items()) {
        if (op == '>') {
            s.base = v;
            s.min_cut = v;
        } else if (op == '<') {
            s.max_cut = v;
        } else {
            s.base = v;
        }
    }
}

void set_labels(const Settings &s, const GRD_report *grid) {
    PLT_label_up_left(grid->info);
    PLT_label_up_right(grid->datim);
    float max = FMISSING, min = FMISSING;
    GRD_maxmin(grid, &max, &min);
    char lo[16], hi[16], text[96];
    set_num(lo, sizeof lo, "5.3.1", min);
    set_num(hi, sizeof hi, "5.3.1", max);
    std::snprintf(text, sizeof text, "LO: %s  HI: %s", lo, hi);
    PLT_label_low_right(text);
    if (cont_detail::has_list(s)) {
        std::string levels = "LEVELS: ";
        const int n = std::min(s.num_cont, CONT_MAX_LEVELS);
        for (int k = 0; k < n; ++k) {
            char value[16];
            set_num(value, sizeof value, "1.1.1", s.cont_value[std::size_t(k)]);
            const std::string item = (k > 0 ? "," : "") + std::string(value);
            if (levels.size() + item.size() > LABEL_MAX) break;
            levels += item;
        }
        PLT_label_low_left(levels.c_str());
    } else if (FLAG_get(FLAG_PLOT_TYPE) != GRID_VALUES) {
        char value[16];
        set_num(value, sizeof value, "5.1.1", s.intrvl);
        std::snprintf(text, sizeof text, "INTERVAL: %s", value);
        PLT_label_low_left(text);
    }
}

} // namespace

std::vector<std::pair<char, float>> cont_detail::con_base_items() {
    std::vector<std::pair<char, float>> items;
    int n = 0;
    char **v = nullptr;
    RES_getvals("con_base", &n, &v);
    for (int i = 0; i < n; ++i) {
        std::string_view item = v[i] != nullptr ? v[i] : "";
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        char op = ' ';
        if (!item.empty() && (item.front() == '>' || item.front() == '<')) {
            op = item.front();
            item.remove_prefix(1);
        }
        double value = 0;
        if (scan_decimal(item, &value) > 0) items.emplace_back(op, static_cast<float>(value));
    }
    free_parsed_array(n, v);
    return items;
}

int CONT_plot_setup(int plot, int ind, GRD_report *grid, Domain *, PLT_event_func func) {
    if (plot_none()) return 0;
    grd_ptr = grid;
    callback = func;
    CONT_init();
    if (gchk_graphics()) GPH_text_font(nullptr);
    Settings &s = settings();
    const bool known = ind >= 0 && ind < VAR_MAX;
    CONT_set_format(known ? VAR_get_type(ind) : MISSING, known ? VAR_get_format(ind) : nullptr);
    if (plot > 0 && known) {
        const auto k = std::size_t(ind);
        if (!is_missing(memory.cont_types[k])) CONT_set_type(memory.cont_types[k]);
        if (!is_missing(memory.intrvls[k])) s.intrvl = memory.intrvls[k];
        if (!is_missing(memory.dashs[k])) s.dash = memory.dashs[k];
        if (!is_missing(memory.bases[k])) s.base = memory.bases[k];
    }
    CONT_format_decode_type(s.format);
    CONT_param_decode();
    CONT_set_fill_colors(nullptr, 0);
    if (grid == nullptr || grid->grid == nullptr) return 0;

    MESS_print(M_MESS, "Contouring data for %s\n\n", grid->info);
    float max = FMISSING, min = FMISSING;
    GRD_maxmin(grid, &max, &min);
    CONT_set_range(max, min);
    if (FLAG_get(FLAG_PLOT_TYPE) != GRID_VALUES && s.cont_type != GRID_VALUES && is_missing(s.intrvl) &&
        !cont_detail::has_list(s)) {
        if (!FLAG_batch() && RES_get("con_interval") == nullptr) {
            MESS_print(M_PRINT, "Maximum value: %f\n", double(max));
            MESS_print(M_PRINT, "Minimum value: %f\n\n", double(min));
        }
        CONT_prompt_intrvl();
    }
    // A list shows its bar unless the bar was switched off.
    if (cont_detail::has_list(s)) s.plt_bar = s.plt_bar < 0 ? 0 : 1;
    apply_con_base(s);
    float scale = 0;
    if (RES_getval("plot_scale", &scale, CV_float) != 0) s.scale = scale > 0 ? scale : 1.0f;
    if (const char *format = RES_get("plot_format"); format != nullptr) CONT_format_decode_type(format);
    CONT_prompt_type();
    CONT_set_cont_ext(grid);
    MAP_fill_cont(s.cont_type == 15 || s.cont_type == 16 ? 1 : 0);
    set_labels(s, grid);
    if (plot == 0 && known) {
        const auto k = std::size_t(ind);
        memory.cont_types[k] = s.cont_type;
        memory.intrvls[k] = s.intrvl;
        memory.dashs[k] = s.dash;
        memory.bases[k] = s.cbase;
    }
    return 0;
}

int CONT_plot(Domain *domain) {
    if (plot_none() || domain == nullptr) return 0;
    bool opened = false;
    if (gchk_graphics()) {
        PLT_reset(DOM_aspect(domain));
    } else {
        // Nothing is drawn while plotting is switched off.
        if (PLT_open(DOM_aspect(domain)) != 0) return 0;
        opened = true;
        PLT_set_callback(CONT_callback);
        PLT_set_zoom_func(CONT_plot);
        PLT_set_resize_func(CONT_plot);
    }
    GRD_report *grid = GRD_get_grids();
    MAP_setup(domain);
    CONT_plot_setup(0, 0, grid, domain, CONT_callback);
    if (settings().mapcon) {
        MAP_draw(5);
        CONT_draw(grid);
    } else {
        CONT_draw(grid);
        MAP_draw(6);
    }
    PLT_labels();
    if (CONT_get_bar() > 0) CONT_draw_bar(1, "");
    PLT_dump(0);
    if (opened) PLT_close();
    return 0;
}

int CONT_plot_grid(GRD_report *grid, Domain *domain, PLT_event_func func) {
    if (plot_none()) return 0;
    CONT_plot_setup(0, 0, grid, domain, func);
    Domain *dom = domain;
    if ((dom == nullptr || is_missing(dom->clat)) && grid != nullptr) dom = &grid->domain;
    CONT_plot(dom);
    CONT_set_type(MISSING);
    return 0;
}

void CONT_callback(int, const char *event, float x, float y) {
    if (event == nullptr) return;
    PLT_print_values(event, x, y);
    PLT_plot_zoom(event, x, y);
    PLT_plot_resize(event, x, y);
    CONT_flash_value(event, x, y);
    if (std::strcmp(event, "s-Alt") != 0) return;
    // Slot 0 is saved under a file header of its own.
    GRD_report *grid = GRD_get_grid(0);
    if (grid == nullptr) return;
    GRD_info info = GRD_info_of(grid);
    GRD_save_file("output.grd", grid, &info, 2);
}
