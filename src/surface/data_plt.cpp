// The frame drawing driver: draws one frame of a data program from its
// variable list through the data-source record. File-static state: the
// filled-contour and map-variable marks, the bar and reference-vector latches
// of the overlay sequence, the vector nesting level, the panel count, the
// attribute bundles of station plots, their scale, and the site mark and
// distance circle.
#include "surface/data_plt.h"

#include <cstring>

#include "fields/calc.h"
#include "fields/cty_tool.h"
#include "fields/grd_tool.h"
#include "fields/maptran.h"
#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_tool.h"
#include "plot/cont.h"
#include "plot/map.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/raw_plt.h"
#include "plot/raw_tool.h"
#include "plot/vect_plt.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

int fill = 0;
int map = 0;
int bar = 0;
int vbar = 0;
int vfunc = 0;
int panel = 0;
Gattribs data_attr;
Gattribs wind_attr;
Gattribs cld_attr;
Gattribs wx_attr;
float scale = 1.0f;
int plt_site = 0;
float plt_dist = 0.0f;

bool is_filled_type(int type) {
    return type == 15 || type == 16 || type == 52;
}

// The attribute bundle of a station plot type.
const Gattribs *attr_of_type(int type) {
    if (type == 31) return &cld_attr;
    if (type >= 32 && type <= 35) return &wind_attr;
    if (type == 36) return &wx_attr;
    return &data_attr;
}

// The label of a drawn grid entry: the variable's own text for vectors or a
// negative label mode, else the grid slot's description.
void grid_label(int ind) {
    if (!VAR_is_LABEL(ind)) return;
    if (VAR_is_type_VECT(ind) || PLT_get_label_type() < 0) {
        char text[120];
        VAR_make_var_form_datatype(ind, text, sizeof text);
        PLT_label_up_left(text);
    } else {
        PLT_label_up_left(GRD_get_grid_info(ind));
    }
    PLT_next_overlay();
}

} // namespace

int DATA_plot_init() {
    fill = is_filled_type(FLAG_get(FLAG_PLOT_TYPE)) ? 1 : 0;
    map = 0;
    for (int i = 0; i < VAR_get_num(); ++i)
        if (VAR_is_type_MAP(i)) map = 1;
    ATTRIB_init(&data_attr);
    ATTRIB_init(&wind_attr);
    ATTRIB_init(&cld_attr);
    ATTRIB_init(&wx_attr);
    const bool inverse = gget_inverse() != 0;
    ATTRIB_get("color_data", "green", &data_attr);
    ATTRIB_get("color_wind", inverse ? "black" : "white", &wind_attr);
    ATTRIB_get("color_cloud", inverse ? "black" : "white", &cld_attr);
    ATTRIB_get("color_wx", inverse ? "brown" : "yellow", &wx_attr);
    scale = 1.0f;
    float v = 0.0f;
    if (RES_getval("plot_scale", &v, CV_float) != 0) scale = v;
    return 0;
}

int DATA_plot_start() {
    GPH_trans(2);
    DATA_new_frame();
    DATA_map_underlay();
    panel = 0;
    return 0;
}

int DATA_plot_begin() {
    DATA_new_frame();
    DATA_map_underlay();
    return 0;
}

int DATA_plot_end() {
    DATA_map_overlay();
    PLT_labels();
    return 0;
}

int DATA_new_frame() {
    PLT_set_overlay(0);
    bar = vbar = 0;
    return 0;
}

int DATA_map_underlay() {
    MAP_draw(map || fill ? 1 : 5);
    return 0;
}

int DATA_map_overlay() {
    if (!map && fill) {
        MAP_fill_cont(1);
        MAP_draw(6);
    } else {
        MAP_draw(2);
    }
    return 0;
}

int DATA_plot_map(int ind) {
    if (ind >= VAR_get_num()) return -1;
    if (VAR_is_type_MAP(ind)) {
        MAP_set_format(VAR_get_format(ind));
        MAP_draw(4);
    }
    return 0;
}

int DATA_plot_control(int ind, Domain *domain) {
    if (ind >= VAR_get_num()) return -1;
    if (VAR_is_PANEL(ind)) {
        MESS_print(M_MESS, "New panel: %s\n", VAR_get_format(ind));
        DATA_plot_panel(ind, domain);
    }
    return 0;
}

int DATA_plot_panel(int ind, Domain *domain) {
    if (panel > 0) DATA_plot_end();
    PLT_panel_decode(VAR_get_format(ind));
    PLT_panel(0);
    MAP_setup(domain);
    DATA_plot_begin();
    ++panel;
    return 0;
}

int DATA_plot_bar() {
    if (bar || CONT_get_bar() <= 0) return -1;
    GPH_trans(1);
    CONT_draw_bar(1, "");
    GPH_trans(2);
    bar = 1;
    return 0;
}

int DATA_plot_vect_bar() {
    if (vbar || VECT_get_vect() <= 0) return -1;
    GPH_trans(1);
    VECT_draw_vect();
    GPH_trans(2);
    vbar = 1;
    return 0;
}

int DATA_plot_cont(int ind, DATA_info *data, const char *) {
    PLT_label_date(&data->date);
    PLT_label_for_time(VAR_get_time(ind));
    CONT_plot_setup(data->plot, ind, GRD_get_grid(ind), &data->domain, data->callback);
    if (is_filled_type(CONT_get_type())) fill = 1;
    CONT_draw(GRD_get_grid(ind));
    return ind;
}

int DATA_plot_vect(int ind, DATA_info *data, char *units, const char *form) {
    if (form == nullptr) form = VAR_get_format(ind);
    PLT_label_date(&data->date);
    PLT_label_for_time(VAR_get_time(ind));
    VECT_set_format(VAR_get_type(ind), form);
    GRD_report *grds[3] = {nullptr, nullptr, nullptr};
    const int last = GRD_find_param_grids(ind, 2, vfunc, grds, nullptr);
    if (grds[0] == nullptr || grds[1] == nullptr) return last;
    if (units != nullptr) {
        if (units[0] != '\0') {
            GRD_units(grds[0], units);
            GRD_units(grds[1], units);
        } else {
            copy_text(units, sizeof VAR_data{}.units, grds[0]->units);
        }
    }
    VECT_plot_setup(data->plot, ind, grds[0], grds[1], &data->domain, data->callback);
    VECT_draw(grds[0], grds[1]);
    return last;
}

int DATA_plot_grid(int ind, DATA_info *data) {
    if (ind < 0 || ind >= VAR_get_num()) return ind;
    VAR_data *vars = VAR_get_vars();
    const int type = VAR_get_type(ind);
    const bool vect_type = type >= 20 && type <= 23;
    int last;
    if (VAR_is_plot_VECT(ind) && vect_type) {
        VECT_set_type(type);
        last = DATA_plot_vect(ind + 1, data, vars[ind].units, vars[ind].format);
    } else if (VAR_is_plot_FUNC_VECT(ind)) {
        VECT_set_type(type);
        last = DATA_plot_vect(ind, data, vars[ind].units, vars[ind].format);
    } else if (VAR_is_plot_FUNC(ind) && vect_type) {
        VECT_set_type(type);
        if (GRD_is_plot_func(VAR_get_name(ind))) {
            vfunc = 1;
            last = DATA_plot_vect(ind + 1, data, vars[ind].units, vars[ind].format);
            vfunc = 0;
        } else {
            last = DATA_plot_vect(ind, data, nullptr, nullptr);
        }
    } else if (VAR_is_plot_GRID(ind)) {
        last = vect_type ? DATA_plot_vect(ind, data, nullptr, nullptr) : DATA_plot_cont(ind, data, nullptr);
    } else {
        return ind;
    }
    DATA_plot_bar();
    if (vect_type) DATA_plot_vect_bar();
    grid_label(ind);
    MESS_print(M_DEBUG_C, "GRID--BEG: %d END: %d\n", ind, last);
    return last < ind ? ind : last;
}

int DATA_plot_raw_label(int beg, int end, DATA_info *data) {
    for (int i = beg; i <= end && i < VAR_get_num(); ++i) {
        if (!VAR_is_type_PLOT(i) || !VAR_is_LABEL(i)) continue;
        if (data->get_var) data->get_var(VAR_get_var(i));
        char text[120];
        VAR_make_var_form_datatype(i, text, sizeof text);
        PLT_label_up_left(text);
        PLT_label_date(&data->date);
        PLT_label_for_time(VAR_get_time(i));
        DATE_make_label_for_time(VAR_get_time(i), data->model, &data->date, text, sizeof text);
        PLT_label_up_right(text);
        PLT_next_overlay();
    }
    return 0;
}

int DATA_plot_raw(int ind, DATA_info *data) {
    const int num = VAR_get_num();
    if (ind < 0 || ind >= num || !VAR_is_type_PLOT(ind)) return ind;
    if (data->plot_data && data->plot_data(ind)) return ind;
    if (VAR_is_COMP(ind)) {
        DATA_plot_raw_label(ind, ind, data);
        return ind;
    }
    int last = ind;
    if (!VAR_is_REG(ind)) {
        last = num - 1;
        for (int i = ind + 1; i < num; ++i)
            if (VAR_is_REG(i)) {
                last = i - 1;
                break;
            }
    }
    MESS_print(M_DEBUG_C, "PLOT--BEG: %d END: %d\n", ind, last);

    FILE_save_name_conv();
    if (data->out_raw && data->out_raw() && RAW_date_open(&data->date) == 0) {
        FILE_restore_name_conv();
        return last;
    }
    FILE_restore_name_conv();

    RAW_plot_init(attr_of_type(VAR_get_type(ind)), scale);
    MAP_plot_grid_init();
    gset_fill_print_solid(1);
    if (data->rewind) data->rewind();

    VAR_data *vars = VAR_get_vars();
    for (;;) {
        CTY_locate loc{};
        const int r = data->read_report ? data->read_report(data->report, &loc) : -1;
        if (r < 0) break;
        if (r == 0) continue;
        RAW_data item;
        RAW_data_init(&item);
        if (MAP_plot_grid(loc.x, loc.y) == 0) continue;
        item.x = loc.x;
        item.y = loc.y;
        char *text = static_cast<char *>(CTY_get_data(loc.id));
        RAW_save_station(&loc);
        if (plt_dist >= 10.0f) MAP_draw_circle(loc.x, loc.y, 1.852f * plt_dist);
        if (plt_site) {
            RAW_data mark = item;
            mark.type = 4;
            copy_text(mark.data, "plus");
            RAW_plot_data(&mark);
        }
        for (int pos = ind; pos <= last; ++pos) {
            if (!VAR_is_type_PLOT(pos)) continue;
            if (pos == ind || vars[pos].type != vars[pos - 1].type) item.attr = *attr_of_type(vars[pos].type);
            item.type = vars[pos].type;
            if (data->get_data) data->get_data(data->report, &vars[pos], &item);
            // The entry's format may be longer than the item's: it is cut to fit.
            copy_text(item.format, vars[pos].format);
            RAW_save_data(&item);
            RAW_set_var_string(&vars[pos], &item, text);
            RAW_plot_data(&item);
        }
        RAW_save_end();
    }
    gset_fill_print_solid(0);
    DATA_plot_raw_label(ind, last, data);
    DATA_plot_bar();
    RAW_close_file();
    return last;
}

int DATA_set_site(int val) {
    plt_site = val;
    return 0;
}

int DATA_set_dist(float val) {
    plt_dist = val;
    return 0;
}
