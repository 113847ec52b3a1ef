// The contour colour bar: one box per level band in the margin under the
// plot view with the level values under the boxes, the value of the box
// under a point, and the blink of a band's colour over the whole picture.
// File-static state: the area and the box width of the last bar drawn.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "plot/cont.h"
#include "plot/cont_int.h"
#include "plot/plt_tool.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"

using cont_detail::Settings;
using cont_detail::settings;

int (*cont_detail::flash_sleep)(float secs) = ZEQ_sleep;

namespace {

constexpr int MAX_BAR_LEVELS = 200;
// The margin the bar takes at most, and the least it needs.
constexpr float BAR_MARGIN = 0.035f;
constexpr float MIN_MARGIN = 0.01f;
// Boxes get a label every num_cont / LABEL_EVERY + 1 boxes.
constexpr int LABEL_EVERY = 15;
constexpr float OPEN_WIDTH = 1000000.0f;

Glim bar_lim{0, 0, 0, 0};
float bar_inc = 0.0f;

bool usable_interval(float v) {
    return !is_missing(v) && v != 0.0f && std::isfinite(v);
}

// Fixes the levels the bar shows; false when there are none to show.
bool bar_levels(Settings &s) {
    const bool bar_range = !is_missing(s.bar_max);
    float max = bar_range ? s.bar_max : s.grid_max;
    float min = bar_range ? s.bar_min : s.grid_min;
    if (is_missing(s.intrvl)) {
        float v = FMISSING;
        if (RES_getval("con_interval", &v, CV_float) != 0) s.intrvl = v;
    }
    for (const auto &[op, v] : cont_detail::con_base_items()) {
        if (op == ' ') {
            s.base = v;
        } else if (!bar_range && op == '>') {
            s.base = v;
            min = v;
        } else if (!bar_range && op == '<') {
            max = v;
        }
    }
    const bool list = cont_detail::has_list(s);
    // Without band entries there is nothing to colour the boxes with.
    if (s.color_num < 1) return false;
    if (is_missing(s.conlo) || bar_range) {
        if (list) {
            s.conlo = s.cont_value[0];
        } else {
            if (is_missing(max)) return false;
            if (is_missing(s.intrvl) || s.intrvl <= 0.0f) {
                s.num_cont = s.color_num - 1;
                s.intrvl = CONT_calc_intrvl(max, min, s.num_cont);
            }
            if (!usable_interval(s.intrvl)) return false;
            cont_detail::lay_levels(s, max, min);
        }
    }
    if (list) s.intrvl = s.num_cont >= 2 ? s.cont_value[1] - s.cont_value[0] : FMISSING;
    return s.num_cont >= 1 && s.num_cont <= MAX_BAR_LEVELS && usable_interval(s.intrvl);
}

void put_text(float x, float y, const char *text) {
    const Gpt p{x, y};
    gtext(&p, text);
}

void level_label(const Settings &s, int k, float level, float x, float y) {
    char text[32];
    if (k < CONT_MAX_LEVELS && s.cont_label[std::size_t(k)][0] != '\0')
        copy_text(text, s.cont_label[std::size_t(k)]);
    else
        set_num(text, sizeof text, "2.2.0", level);
    put_text(x, y, text);
}

} // namespace

int CONT_draw_bar(int, const char *label) {
    Settings &s = settings();
    if (!bar_levels(s)) return -1;

    // The bar in the bottom margin (inside the view's bottom with fullab).
    Glim view{}, area{};
    PLT_get_view(&view);
    GPH_get_view_size(&area);
    const bool full = PLT_get_full_lab() != 0;
    float m = view.y_min - area.y_min;
    if (full) {
        m = BAR_MARGIN;
    } else {
        m = std::min(m, BAR_MARGIN);
        if (m < MIN_MARGIN) return -1;
    }
    const float x_min = view.x_min + 0.03f * (view.x_max - view.x_min);
    const float x_max = (view.x_min + view.x_max) / 2;
    const float y_min = full ? view.y_min + 0.15f * m : view.y_min - m;
    const float y_max = full ? view.y_min + m : view.y_min - 0.15f * m;
    const float y_mid = (y_min + y_max) / 2;
    const int num = s.num_cont;
    bar_lim = {x_min, x_max, y_min, y_max};
    bar_inc = (x_max - x_min) / float(num);

    const char *def = gget_inverse() ? "black" : "white";
    Gattribs text_bundle, line_bundle;
    ATTRIB_init(&text_bundle);
    ATTRIB_get("color_text", def, &text_bundle);
    ATTRIB_init(&line_bundle);
    ATTRIB_get("color_cont", def, &line_bundle);
    if (!is_missing(s.fill_pat)) line_bundle.fill_pat = s.fill_pat;

    GPH_text_attr(nullptr, 1.0f);
    const Gpt up{0, 1};
    gset_char_up_vec(&up);
    GPH_text_align(2, 4);
    GPH_text_attr(&text_bundle, 0.35f * (y_max - y_min));
    GPH_line_attr(&text_bundle);

    const bool list = cont_detail::has_list(s);
    const int count = cont_detail::band_count(s);
    int e = 0;
    if (!list) {
        const float b = is_missing(s.base) ? s.conlo : s.base;
        const double first = std::floor((s.conlo - b) / s.intrvl + 0.01);
        e = std::isfinite(first) ? int(std::fmod(first, double(count))) : 0;
        if (e < 0) e += count;
    }
    const int type = s.cont_type;
    const int every = num / LABEL_EVERY + 1;
    const float step = s.intrvl;
    float level = s.conlo;
    for (int k = 0; k < num; ++k) {
        float width = step;
        if (list) {
            level = s.cont_value[std::size_t(k)];
            width = k + 1 < num ? s.cont_value[std::size_t(k) + 1] - level : OPEN_WIDTH;
            s.intrvl = width;
        } else if (k > 0) {
            level += step;
        }
        if (k > 0 && ++e == count) e = 0;
        const float top = type == 12 ? level : level + width;
        s.con_off = e;
        cont_detail::band_attributes(s, line_bundle, type, e, top, true);
        const float x0 = x_min + float(k) * bar_inc, x1 = x0 + bar_inc;
        if ((type == 15 || type == 16 || type == 17) && s.fill_attrib[std::size_t(e)].color >= 0) {
            const Gpt box[5] = {{x0, y_mid}, {x1, y_mid}, {x1, y_max}, {x0, y_max}, {x0, y_mid}};
            CONT_draw_lines(15, 5, box);
        }
        if (type == 12 || type == 16) {
            const Gpt edge[2] = {{x1, y_max}, {x1, y_mid}};
            CONT_draw_lines(12, 2, edge);
        }
        if (k % every == 0) level_label(s, k, level, x0, y_min);
    }
    if (!list) level_label(s, num, level + step, x_max, y_min);

    GPH_line_attr(nullptr);
    GPH_line_attr(&text_bundle);
    GPH_rect(x_min, y_max, x_max, y_mid);
    if (label != nullptr && label[0] != '\0') {
        GPH_text_align(1, 2);
        put_text(view.x_max, view.y_min - 0.01f, label);
    }
    return 0;
}

float CONT_get_bar_value(float x, float y) {
    if (bar_inc <= 0.0f || x < bar_lim.x_min || x > bar_lim.x_max || y < bar_lim.y_min || y > bar_lim.y_max)
        return FMISSING;
    const Settings &s = settings();
    const int k = std::clamp(int((x - bar_lim.x_min) / bar_inc), 0, std::max(s.num_cont - 1, 0));
    if (cont_detail::has_list(s)) return s.cont_value[std::size_t(std::min(k, CONT_MAX_LEVELS - 1))];
    return s.conlo + float(k) * s.intrvl;
}

int CONT_flash_value(const char *event, float x, float y) {
    if (event == nullptr || std::strncmp(event, "f-Alt", 4) != 0) return 0;
    const float value = CONT_get_bar_value(xW_trans(x, 2, 1), yW_trans(y, 2, 1));
    if (is_missing(value)) return 0;
    Gattribs band;
    CONT_get_fill_attrib(value, &band);
    // A band that is not drawn has no colour to blink.
    if (band.color < 0) return 0;
    float r = 0, g = 0, b = 0;
    CLR_get_rgb(band.color, &r, &g, &b);
    for (int n = 0; n < 4; ++n) {
        cont_detail::flash_sleep(0.5f);
        GPH_set_color(band.color, 0, 0, 0);
        cont_detail::flash_sleep(0.5f);
        GPH_set_color(band.color, r, g, b);
    }
    return 0;
}
