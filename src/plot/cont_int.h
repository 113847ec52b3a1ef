// The contour module's one set of settings, shared by its files (levels and
// options in cont.cpp, the cell drawing in cont_cell.cpp).
#pragma once

#include <array>

#include "graphics/zeqgks.h"
#include "plot/cont.h"
#include "runtime/zeq.h"

namespace cont_detail {

// Labels of list entries hold up to 9 characters.
inline constexpr int LABEL_SIZE = 10;

struct Settings {
    // Type and appearance.
    int cont_type = MISSING;
    int dash = 0;
    float scale = 1.0f;
    char format[101] = "";
    char num_form[LABEL_SIZE] = "";
    int fill_pat = MISSING;
    int plt_bar = 0;
    int label_skip = 2;
    int ext_radius = 2;
    int x_label_space = MISSING;
    int y_label_space = MISSING;
    int rot_label = 0;
    int over = 0;
    int draw_grid = 0;
    int max_line_fact = -2;
    int x_skip = 1;
    int y_skip = 1;
    float x_off = 0.0f;
    float y_off = 0.0f;
    int mapcon = 0;

    // Levels.
    float intrvl = FMISSING;
    float base = FMISSING;
    float cbase = FMISSING;
    float grid_min = FMISSING;
    float grid_max = FMISSING;
    float conlo = FMISSING;
    float conhi = FMISSING;
    int num_cont = MISSING;
    float min_cut = FMISSING;
    float max_cut = FMISSING;
    float bar_min = FMISSING;
    float bar_max = FMISSING;
    std::array<float, CONT_MAX_LEVELS + 1> cont_value{};
    char cont_label[CONT_MAX_LEVELS][LABEL_SIZE] = {};

    // Band attributes.
    std::array<Gattribs, CONT_MAX_LEVELS + 1> fill_attrib{};
    int color_num = MISSING;
    int color_fill_set = 0;
    int fill_count = 0; // entries decoded so far while a colour list is read

    // Plot positions of the grid points (malloc'd, owned here), or null.
    float *grdx = nullptr;
    float *grdy = nullptr;

    // The band entry being drawn, and the x range outside which a polygon on
    // a latitude-longitude or Mercator map crosses the seam (the
    // projection's own while unset, the grid's columns in grid coordinates).
    int con_off = 0;
    float seam_min = FMISSING;
    float seam_max = FMISSING;

    Settings() { cont_value[0] = FMISSING; }
};

Settings &settings();

// The band count used for cyclic band indices: never below 1.
inline int band_count(const Settings &s) {
    return s.color_num < 1 ? 1 : s.color_num;
}

// True while an explicit level list is present.
inline bool has_list(const Settings &s) {
    return !is_missing(s.cont_value[0]);
}

// The colour base: the level whose band takes entry 0 (the base, or 0 when
// neither is set).
float colour_base(const Settings &s);

// The point at fraction d of the way from (x1, y1) to (x2, y2) on a map of
// projection proj; on latitude-longitude, Mercator and Mollweide maps a
// corner on the other side of the seam is first moved across it (the point
// may then lie beyond the map's edge).
Gpt int_xy(int proj, float x1, float y1, float x2, float y2, float d);

} // namespace cont_detail
