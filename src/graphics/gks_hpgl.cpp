// The HP-GL/2 driver: opens the output (file, append or pipe), writes the
// prologue and trailer (optionally inside PCL), writes pen shading, fill
// shading, pen width and line type only when they change, and pen moves in
// plotter units. File-static state: the output stream and its name, the
// values last written, the page options and the driver's own gray table.
#include "graphics/gks_hpgl.h"

#include <array>
#include <cstdarg>
#include <cstdlib>
#include <string>

#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_tran.h"

namespace {

constexpr int NUM_SLOTS = 257;
constexpr int BACK_SLOT = 256;
// A fill shading no colour has: the next fill writes its own.
constexpr float UNKNOWN_LEVEL = -1;

FILE *out_file = nullptr;
std::string out_name;
int append = 0;
int pcl = 1;
int pr_rot = 0;
float base_width = 0.2f;
float line_width = 1; // before the base factor
float line_type = 1;
float gray_level = 0; // pen shading: 0 black, 1 white, 0.7 gray
float fill_level = 0;
float pr_scale = 1;
int pr_color = 0;
int pr_rev = 0;
int col_ind = 0;
std::array<float, NUM_SLOTS> gray{};

void set_pen_level(float level, const char *op) {
    if (gray_level == level) return;
    ghpgl_printf("%s", op);
    gray_level = level;
}

// The fixed shades of the print colours: black, white and 0.7 gray.
float print_level(int color) {
    if (color <= 502) return 0;
    if (color <= 505) return 1;
    return 0.7f;
}

} // namespace

FILE *ghpgl_open_file(const char *filename) {
    if (filename == nullptr || out_file != nullptr) return nullptr;
    FILE *f = gprint_open(filename, &append);
    if (f == nullptr) return nullptr;
    if (std::getenv("PSCOLOR") != nullptr) pr_color = 1;
    out_file = f;
    out_name = filename;
    return f;
}

int ghpgl_init() {
    pcl = 1;
    gray_level = 0;
    col_ind = -1;
    line_width = 1;
    line_type = 1;
    return 0;
}

int ghpgl_set_pcl(int val) {
    pcl = val;
    return 0;
}

int ghpgl_set_rotate(int val) {
    pr_rot = val;
    return 0;
}

int ghpgl_set_scale(float val) {
    pr_scale = val;
    return 0;
}

int ghpgl_set_base_width(float val) {
    base_width = val;
    return 0;
}

int ghpgl_set_color_rep(int ind, float red, float green, float blue) {
    if (ind == -1) ind = BACK_SLOT;
    if (ind < 0 || ind >= NUM_SLOTS) return 0;
    const double level = (0.9 * red + green + 0.8 * blue) / 2.7;
    gray[static_cast<std::size_t>(ind)] = static_cast<float>(pr_rev ? 1 - level : level);
    return 0;
}

int ghpgl_set_colorPS(int val) {
    pr_color = val;
    return 1;
}

int ghpgl_set_reverse(int val) {
    pr_rev = val;
    return 1;
}

int ghpgl_get_colorPS() {
    return pr_color;
}

int ghpgl_set_color(int color) {
    if (gis_print_colr(color)) {
        const float level = print_level(color);
        set_pen_level(level, level == 0 ? "SV;\n" : (level == 1 ? "SV1,0;\n" : "SV1,30;\n"));
    } else {
        set_pen_level(0, "SV;\n"); // lines are black
    }
    return 0;
}

int ghpgl_set_fill_color(int color) {
    if (gget_fill_print_solid()) {
        ghpgl_printf("FT1;\n");
        fill_level = 0;
        return 0;
    }
    if (color == -1) {
        if (fill_level != 1) {
            ghpgl_printf("FT10,0;\n");
            fill_level = 1;
        }
        return 0;
    }
    // Print colours fill in the shades their lines have.
    const float g = gis_print_colr(color) ? print_level(color) : gps_get_gray(color);
    if (fill_level != g) {
        ghpgl_printf("FT10,%.0f;\n", 100 - 100 * static_cast<double>(g));
        fill_level = g;
    }
    return 0;
}

int ghpgl_set_width(int color, float width) {
    if (width == 0) width = 1;
    float factor = static_cast<float>(gget_line_print_bold());
    if (color == 501 || color == 504 || color == 507) factor = 2;
    if (color == 502 || color == 505 || color == 508) factor = 4;
    if (line_width != factor * width) {
        ghpgl_printf("PW%.1f;\n", static_cast<double>(width * base_width * factor));
        line_width = factor * width;
    }
    return 0;
}

int ghpgl_set_type(int type) {
    if (static_cast<float>(type) == line_type) return 0;
    static constexpr const char *patterns[] = {"LT;\n", "LT2,5,1;\n", "LT5,8,1;\n", "LT6,10,1;\n",
                                               "LT2,1,1;\n"};
    if (type >= 1 && type <= 5) ghpgl_printf("%s", patterns[type - 1]);
    line_type = static_cast<float>(type);
    return 0;
}

int ghpgl_printf(const char *format, ...) {
    if (out_file == nullptr) return 0;
    va_list args;
    va_start(args, format);
    std::vfprintf(out_file, format, args);
    va_end(args);
    return 0;
}

int ghpgl_move(float x, float y) {
    return ghpgl_move_abs(xW_ps(x), yW_ps(y));
}

int ghpgl_line(float x, float y) {
    return ghpgl_line_abs(xW_ps(x), yW_ps(y));
}

int ghpgl_move_abs(float x, float y) {
    ghpgl_printf("PU%.0f,%.0f;", static_cast<double>(x), static_cast<double>(y));
    return 0;
}

int ghpgl_line_abs(float x, float y) {
    ghpgl_printf("PD%.0f,%.0f;", static_cast<double>(x), static_cast<double>(y));
    return 0;
}

int ghpgl_init_file() {
    if (!append) {
        if (pcl != 0) ghpgl_printf("\33E\33%%1B\33&l1O\n");
        ghpgl_printf("IN;SP1;PA;\n");
        if (pcl == 2) ghpgl_printf("RO90;\n");
        if (pr_rot == 90) ghpgl_printf("RO90;\n");
        if (pr_rot == 180) ghpgl_printf("RO180;\n");
        if (pr_rot == 270) ghpgl_printf("RO270;\n");
    }
    ghpgl_printf("PW%.1f;SV;LT;\n", static_cast<double>(base_width));
    // The pen line sets width 1, black and solid lines; IN makes fills solid
    // black, while an appended plot finds whatever fill the earlier plot left.
    line_width = 1;
    gray_level = 0;
    line_type = 1;
    fill_level = append ? UNKNOWN_LEVEL : 0;
    return 0;
}

int ghpgl_close_file() {
    if (out_file == nullptr) return -1;
    if (!append) {
        ghpgl_printf("SP;PG;\n");
        if (pcl != 0) ghpgl_printf("\33%%0A\33E");
    }
    FILE *f = out_file;
    out_file = nullptr;
    return gprint_close(f, out_name, "ghpgl_close_file", "Created HPGL file\n");
}
