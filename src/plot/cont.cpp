// Contour settings and levels: the one module-wide set of contour settings
// with its accessors, the interval rule, the level range, the band of a
// value and explicit level lists. Colour lists, options and prompts are in
// cont_opts.cpp, the cell drawing in cont_cell.cpp.
// File-static state: the settings record (cont_detail::settings).
#include "plot/cont.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "fields/grd_tool.h"
#include "graphics/colors.h"
#include "plot/cont_int.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace cont_detail {

Settings &settings() {
    static Settings s;
    return s;
}

float colour_base(const Settings &s) {
    if (!is_missing(s.cbase)) return s.cbase;
    return is_missing(s.base) ? 0.0f : s.base;
}

namespace {

// A float level count as an int, saturated (a count beyond the int range is
// not a usable count anyway).
int to_count(double v) {
    if (!(v > 0)) return v < 0 && v >= double(std::numeric_limits<int>::min()) ? int(v) : 0;
    if (v >= double(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return int(v);
}

} // namespace

void lay_levels(Settings &s, float max, float min) {
    if (max >= min) {
        const float b = is_missing(s.base) ? 0.0f : s.base;
        const float qlo = (min - b) / s.intrvl;
        const float qhi = (max - b) / s.intrvl;
        s.conlo = static_cast<float>(double(b) + double(s.intrvl) * std::floor(double(qlo)));
        s.conhi = static_cast<float>(double(b) + double(s.intrvl) * std::floor(1.0 + double(qhi)));
    } else {
        s.conlo = max;
        s.conhi = min;
    }
    s.num_cont = to_count((s.conhi - s.conlo + 0.01f) / s.intrvl);
}

} // namespace cont_detail

using cont_detail::Settings;
using cont_detail::settings;

// ---- Settings -------------------------------------------------------------------

int CONT_init() {
    Settings &s = settings();
    s.cont_type = MISSING;
    s.intrvl = FMISSING;
    s.base = FMISSING;
    s.min_cut = FMISSING;
    s.max_cut = FMISSING;
    s.grid_min = FMISSING;
    s.grid_max = FMISSING;
    s.x_label_space = MISSING;
    s.y_label_space = MISSING;
    s.fill_pat = MISSING;
    s.cont_value[0] = FMISSING;
    s.format[0] = '\0';
    s.num_form[0] = '\0';
    for (auto &label : s.cont_label)
        label[0] = '\0';
    s.color_fill_set = 0;
    s.dash = 0;
    s.over = 0;
    s.scale = 1.0f;
    s.label_skip = 2;
    s.ext_radius = 2;
    s.x_skip = 1;
    s.y_skip = 1;
    return 0;
}

int CONT_set_type(int type) {
    Settings &s = settings();
    switch (type) {
    case 52:
        s.cont_type = 15;
        break;
    case 13:
        s.cont_type = 12;
        s.dash = 1;
        break;
    case 14:
        s.cont_type = 12;
        s.dash = -1;
        break;
    default:
        s.cont_type = type;
        break;
    }
    return 0;
}

int CONT_get_type() {
    return settings().cont_type;
}

int CONT_set_format(int type, const char *form) {
    copy_text(settings().format, form);
    // The contour types of the variable language; others leave the type.
    if (type >= 12 && type <= 17) CONT_set_type(type);
    return 0;
}

int CONT_set_dash(int ind) {
    settings().dash = ind;
    return 0;
}

int CONT_set_intrvl(float value) {
    settings().intrvl = value;
    return 0;
}

float CONT_get_intrvl() {
    return settings().intrvl;
}

int CONT_set_base(float value) {
    settings().base = value;
    return 0;
}

float CONT_get_base() {
    return settings().base;
}

int CONT_set_range(float max, float min) {
    settings().grid_max = max;
    settings().grid_min = min;
    return 0;
}

int CONT_set_bar_range(float max, float min) {
    settings().bar_max = max;
    settings().bar_min = min;
    return 0;
}

int CONT_set_cutoff(float max, float min) {
    if (!is_missing(min)) settings().min_cut = min;
    if (!is_missing(max)) settings().max_cut = max;
    return 0;
}

int CONT_set_bar(int value) {
    settings().plt_bar = value;
    return 0;
}

int CONT_get_bar() {
    return settings().plt_bar;
}

int CONT_set_scale(float iscale) {
    settings().scale = iscale;
    return 0;
}

int CONT_set_skip(int x, int y) {
    settings().x_skip = x;
    settings().y_skip = y;
    return 0;
}

int CONT_set_plot_offset(float x, float y) {
    settings().x_off = x;
    settings().y_off = y;
    return 0;
}

int CONT_set_label_type(int skip, int rad) {
    settings().label_skip = skip;
    settings().ext_radius = rad;
    return 0;
}

int CONT_set_label_space(int x, int y) {
    settings().x_label_space = x;
    settings().y_label_space = y;
    return 0;
}

int CONT_set_over(int ind) {
    settings().over = ind;
    return 0;
}

int CONT_draw_grid(int value) {
    settings().draw_grid = value;
    return 0;
}

int CONT_set_fill_pat(int type) {
    settings().fill_pat = type;
    return 0;
}

int CONT_get_fill_pat() {
    return settings().fill_pat;
}

int CONT_reset_fill_set() {
    settings().color_fill_set = 0;
    return 0;
}

int CONT_grid(float *grx, float *gry) {
    Settings &s = settings();
    if (s.grdx != grx) std::free(s.grdx);
    if (s.grdy != gry) std::free(s.grdy);
    s.grdx = grx;
    s.grdy = gry;
    return 0;
}

int CONT_get_num_cont() {
    return settings().num_cont;
}

// ---- Levels and bands -------------------------------------------------------------

int CONT_set_values(const float *values, int num) {
    Settings &s = settings();
    if (s.color_fill_set) return -1;
    num = std::clamp(num, 0, CONT_MAX_LEVELS);
    int n = 0;
    while (values != nullptr && n < num && !is_missing(values[n])) {
        s.cont_value[static_cast<std::size_t>(n)] = values[n];
        ++n;
    }
    s.cont_value[static_cast<std::size_t>(n)] = FMISSING;
    s.num_cont = n;
    s.intrvl = n >= 2 ? values[1] - values[0] : FMISSING;
    // The range ends at the last value copied, not at values[num - 1]: a
    // list ended early by -9999 would otherwise end the range at the mark.
    s.grid_min = n >= 1 ? values[0] : FMISSING;
    s.grid_max = n >= 1 ? values[n - 1] : FMISSING;
    return 0;
}

int CONT_reset_values() {
    Settings &s = settings();
    if (cont_detail::has_list(s)) {
        s.intrvl = FMISSING;
        s.grid_min = FMISSING;
        s.grid_max = FMISSING;
        s.cont_value[0] = FMISSING;
    }
    return 0;
}

int CONT_get_values(float *values, int size) {
    const Settings &s = settings();
    if (!cont_detail::has_list(s)) return 0;
    const int n = std::clamp(s.num_cont, 0, CONT_MAX_LEVELS);
    if (values != nullptr)
        for (int i = 0; i < n && i < size; ++i)
            values[i] = s.cont_value[static_cast<std::size_t>(i)];
    return n;
}

int CONT_set_fill_attribs(const Gattribs *attribs) {
    Settings &s = settings();
    int n = 0;
    while (attribs != nullptr && n < CONT_MAX_LEVELS && attribs[n].color >= -1) {
        s.fill_attrib[static_cast<std::size_t>(n)] = attribs[n];
        ++n;
    }
    if (n == 0) {
        ATTRIB_init(&s.fill_attrib[0]);
        s.fill_attrib[0].color = 1;
        n = 1;
    }
    ATTRIB_init(&s.fill_attrib[static_cast<std::size_t>(n)]);
    s.fill_attrib[static_cast<std::size_t>(n)].color = -2;
    s.color_num = n;
    return 0;
}

int CONT_get_fill_attrib_ind(int ind, Gattribs *attrib) {
    if (attrib == nullptr || ind < 0 || ind > CONT_MAX_LEVELS) return -1;
    *attrib = settings().fill_attrib[static_cast<std::size_t>(ind)];
    return 0;
}

int CONT_get_fill_attrib(float value, Gattribs *attrib) {
    if (attrib == nullptr) return 0;
    Settings &s = settings();
    const auto none = [attrib] {
        ATTRIB_init(attrib);
        attrib->color = -1;
        return 0;
    };
    if (is_missing(value) || (!is_missing(s.min_cut) && value < s.min_cut) ||
        (!is_missing(s.max_cut) && value > s.max_cut))
        return none();
    if (is_missing(s.cbase)) s.cbase = s.base;
    if (cont_detail::has_list(s)) {
        if (value < s.cont_value[0]) return none();
        const int n = std::clamp(s.num_cont, 1, CONT_MAX_LEVELS);
        int i = n - 1;
        for (int k = 0; k + 1 < n; ++k) {
            const auto ku = static_cast<std::size_t>(k);
            if (s.cont_value[ku] <= value && value < s.cont_value[ku + 1]) {
                i = k;
                break;
            }
        }
        *attrib = s.fill_attrib[static_cast<std::size_t>(i)];
        return 0;
    }
    // Without an interval there are no levels, and no band holds the value.
    if (s.intrvl == 0.0f || is_missing(s.intrvl) || !std::isfinite(s.intrvl)) return none();
    const double band = std::floor((value - cont_detail::colour_base(s)) / s.intrvl + 0.01);
    if (!std::isfinite(band)) return none();
    const int count = cont_detail::band_count(s);
    int i = static_cast<int>(std::fmod(band, double(count)));
    if (i < 0) i += count;
    *attrib = s.fill_attrib[static_cast<std::size_t>(std::min(i, CONT_MAX_LEVELS))];
    return 0;
}

float CONT_calc_intrvl(float max, float min, int num) {
    if (num < 1) num = 1;
    const float d = (max - min) / static_cast<float>(num);
    if (d >= 1000.0f) return static_cast<float>(std::ceil(d / 1000.0f) * 1000.0);
    if (d >= 100.0f) return static_cast<float>(std::ceil(d / 100.0f) * 100.0);
    if (d >= 10.0f) return static_cast<float>(std::ceil(d / 10.0f) * 10.0);
    if (d >= 1.0f) return static_cast<float>(std::ceil(d));
    if (d >= 0.1f) return static_cast<float>(std::ceil(d * 10.0f) / 10.0);
    if (d >= 0.01f) return static_cast<float>(std::ceil(d * 100.0f) / 100.0);
    if (d >= 0.001f) return static_cast<float>(std::ceil(d * 1000.0f) / 1000.0);
    if (d >= 0.0001f) return static_cast<float>(std::ceil(d * 10000.0f) / 10000.0);
    if (d == 0.0f) return 1.0f;
    return d;
}

int CONT_set_cont_ext(const GRD_report *grid) {
    Settings &s = settings();
    if (cont_detail::has_list(s)) {
        s.conlo = s.cont_value[0];
    } else {
        if (is_missing(s.grid_max) && grid != nullptr) GRD_maxmin(grid, &s.grid_max, &s.grid_min);
        if (is_missing(s.grid_max)) return -1;
        if (is_missing(s.intrvl)) {
            float v = FMISSING;
            if (RES_getval("con_interval", &v, CV_float) != 0) s.intrvl = v;
            if (is_missing(s.intrvl) && s.cont_type != 17) s.intrvl = 0.0f;
        }
        if (s.intrvl <= 0.0f && !is_missing(s.intrvl)) {
            s.num_cont = cont_detail::band_count(s) - 1;
            s.intrvl = CONT_calc_intrvl(s.grid_max, s.grid_min, s.num_cont);
        }
        // No levels can be laid with a zero (or unusable) interval.
        if (s.intrvl == 0.0f || !std::isfinite(s.intrvl)) return -1;
        cont_detail::lay_levels(s, s.grid_max, s.grid_min);
    }
    s.cbase = is_missing(s.base) ? s.conlo : s.base;
    return 0;
}
