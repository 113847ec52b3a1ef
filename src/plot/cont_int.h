// The contour module's one set of settings, shared by its files (levels and
// options in cont.cpp, the cell drawing in cont_cell.cpp).
#pragma once

#include <array>
#include <utility>
#include <vector>

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

// Lays the interval levels over the range min..max from the base (0 when
// unset) and the interval: conlo at or below min, conhi the first level
// above max, and their count; a reversed range is taken as it is.
void lay_levels(Settings &s, float max, float min);

// The crossing state of a level on the four sides of a cell with corner
// values z (c0 south-west, c1, c2, c3 north-east): a fraction 0..1 of the
// way along the side, or one of the states below. A level through a corner
// counts on one side only: each side leaves out one of its corners.
inline constexpr float SIDE_EXCLUDED = -1.0f; // the level is the side's left-out corner
inline constexpr float SIDE_NOT_CROSSED = -2.0f;
inline constexpr float SIDE_FLAT = -3.0f; // both corners equal
void side_states(const float z[4], float level, float side[4]);
// First and second corner of each side: 0 bottom (c0 -> c1), 1 left
// (c0 -> c2), 2 top (c2 -> c3), 3 right (c1 -> c3).
inline constexpr int SIDE_FROM[4] = {0, 0, 2, 1};
inline constexpr int SIDE_TO[4] = {1, 2, 3, 3};

// Sets the fill and line attributes of band entry e with upper bound top
// for contour type `type` (fills for all but 12, lines for 12 and 16) over
// the contour line bundle. In the colour bar (bar) the line is the box's
// right edge and takes the next entry for types 12 and 16 alike, dashed
// lines are type 2 and an unset width is 1.
void band_attributes(const Settings &s, const Gattribs &bundle, int type, int e, float top, bool bar);

// The items of resource con_base: '>' or '<' with its number, or ' ' for a
// plain number; items that hold no number are left out.
std::vector<std::pair<char, float>> con_base_items();

// The wait between the blinks of a band colour (ZEQ_sleep; tests put a
// clock of their own).
extern int (*flash_sleep)(float secs);

// The point at fraction d of the way from (x1, y1) to (x2, y2) on a map of
// projection proj; on latitude-longitude, Mercator and Mollweide maps a
// corner on the other side of the seam is first moved across it (the point
// may then lie beyond the map's edge).
Gpt int_xy(int proj, float x1, float y1, float x2, float y2, float d);

} // namespace cont_detail
