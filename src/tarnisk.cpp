// tarnisk: surface data contouring. The program's entry, the top of the
// layers: it registers the functions of higher layers that lower ones call
// back, resolves the resources and runs the region and variable loop. Ends
// with status 44 when a batch run is given no usable variable.
#include "fields/region.h"
#include "fields/var_tool.h"
#include "fields/zeqgrd.h"
#include "graphics/img_tool.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "plot/raw_plt.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/system.h"
#include "surface/object.h"
#include "surface/sfc_plt.h"

namespace {

// The resources the program accepts, in the order of the help page and of
// prefix matching on the command line.
const res_type res_key[] = {
    RES_help,        RES_batch,       RES_message,     RES_file_path,   RES_data_path,    RES_con_path,
    RES_grid_path,   RES_raw_path,    RES_image_path,  RES_watch_path,  RES_text_path,    RES_model_path,
    RES_sat_path,    RES_city_file,   RES_map_file,    RES_name_conv,   RES_in_file,      RES_out_file,
    RES_file_param,  RES_current,     RES_hour,        RES_num_hour,    RES_identifier,   RES_plot_domain,
    RES_grid_domain, RES_region,      RES_stat_prior,  RES_variable,    RES_object_param, RES_plot_type,
    RES_plot_scale,  RES_plot_format, RES_plot_param,  RES_draw,        RES_label,        RES_con_interval,
    RES_con_base,    RES_font_list,   RES_color_table, RES_color_text,  RES_color_data,   RES_color_map,
    RES_color_grid,  RES_color_line,  RES_color_front, RES_color_wind,  RES_color_cloud,  RES_color_wx,
    RES_color_cmap,  RES_color_cont,  RES_color_fill,  RES_color_label, RES_color_clabel, RES_device,
    RES_title,       RES_icon,        RES_background,  RES_geometry,    RES_null,
};

// Every non-option argument is a file name.
const res_type res_pos[] = {RES_filenames, RES_null};

} // namespace

int main(int argc, char **argv) {
    // Functions of higher layers that lower ones call back.
    RES_set_domain_decoder(DOM_decode);
    RAW_analysis oa;
    oa.initialize = OBJ_initialize;
    oa.set_filter = OBJ_set_filter;
    oa.set_rad_inf = OBJ_set_rad_inf;
    oa.analyze = OBJ_analyze;
    RAW_set_analysis(&oa);
    IMG_set_plot_labels(PLT_get_view_offset, PLT_get_label);
    RES_init(argc, argv, res_key, res_pos);

    if (FLAG_help()) {
        char prog[40];
        RES_get_progname(prog, sizeof prog);
        MESS_print(M_PRINT, "%s: This program contours surface data\n", prog);
        RES_help_print(prog, res_key, res_pos);
        ZEQ_exit(0);
    }

    SFC_cvt_in_file();
    VAR_set_def_type(11);
    MESS_print_prog("SURFACE DATA CONTOURING");
    if (FLAG_get(FLAG_INPUT) != 10) ZEQ_exit(0);

    FILE_get_file("Enter the surface filename: ", nullptr);
    SFC_set_date(nullptr);

    Domain domain{};
    for (;;) {
        int r = DOM_prompt_region(&domain, 1);
        if (r == MISSING) continue;
        if (r <= 0) break;
        SFC_set_prompt_variable(1);
        while (SFC_prompt_variable()) {
            if (VAR_get_num() == 0) {
                // Nothing to plot: a batch run cannot ask for better and fails.
                const char *spec = RES_get("variable");
                if (FLAG_batch()) {
                    MESS_print(M_ERROR, "No usable variable in: %s\n", spec ? spec : "");
                    ZEQ_exit(44);
                }
                MESS_print(M_WARN, "No usable variable\n");
                continue;
            }
            SFC_plot(&domain);
        }
    }
    ZEQ_exit(0);
}
