// Plot labels: the store of six texts for each of six overlays, the overlay
// counter, the label format language and the drawing of the labels in the
// margins of the view. File-static state: the texts, the append points, the
// current overlay, the overlay count and base, and the date and forecast hour
// of the format codes. The label mode is the label type held by the variable
// labels (PLT_get_label_type), which read it.
#include "plot/plt_labl.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "plot/plt_tool.h"
#include "plot/plt_tool_int.h"
#include "runtime/date.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

constexpr int NUM_POS = 6;
constexpr int NUM_OVER = 6;
constexpr int LABEL_SIZE = 70;
constexpr std::size_t COPY_MAX = 68;   // longest text that replaces a label
constexpr std::size_t APPEND_MAX = 60; // appended labels stay below this length
constexpr int SWITCH_LABELS = 0;       // plot component switch: any label
constexpr int SWITCH_BORDER = 11;

char label[NUM_POS][NUM_OVER][LABEL_SIZE] = {};
int label_ind[NUM_POS] = {};
int overlay = 0;
int num_over = 0;
int over_base = 0;
Date date{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
long fhour = 0;

constexpr const char *pos_name[NUM_POS] = {"ul", "uc", "ur", "ll", "lc", "lr"};

bool valid_pos(int lab) {
    return lab >= 0 && lab < NUM_POS;
}

int set_position(int lab, const char *str) {
    if (str == nullptr) return 0;
    if (PLT_get_label_type() < 0 && overlay > 0)
        PLT_label_strcat(lab, str);
    else if (overlay >= 0)
        PLT_label_strcpy(lab, str);
    return 0;
}

// A number of a format code: exactly the first two characters of "%2.2d".
std::string two_digits(long v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%2.2ld", v);
    return std::string(buf, 2);
}

int time_code() {
    return static_cast<int>(std::clamp(fhour, -2147483647L, 2147483647L));
}

// The position an item of resource label names by its first two letters.
int item_pos(const char *item) {
    for (int p = 0; p < NUM_POS; ++p)
        if (strnicmp(item, pos_name[p], 2) == 0) return p;
    return -1;
}

} // namespace

// ---- Store and overlays ------------------------------------------------------------

int PLT_init_labels() {
    for (auto &pos : label)
        for (auto &text : pos)
            text[0] = '\0';
    std::fill(std::begin(label_ind), std::end(label_ind), 0);
    num_over = 0;
    return 0;
}

int PLT_set_overlay(int ind) {
    overlay = std::min(ind, NUM_OVER - 1);
    // The texts of overlay d are drawn when the count is above d.
    if (overlay >= 0) num_over = std::max(num_over, overlay + 1);
    return 0;
}

int PLT_next_overlay() {
    if (overlay >= NUM_OVER - 1) return -1;
    ++overlay;
    const int mode = PLT_get_label_type();
    if (mode > 0) PLT_set_label_type(mode + 1);
    if (mode < 0) PLT_set_label_type(mode - 1);
    for (int p = 0; p < NUM_POS; ++p)
        label_ind[p] = static_cast<int>(std::strlen(label[p][0]));
    num_over = std::max(num_over, overlay);
    return overlay;
}

int PLT_set_num_overlay(int ind) {
    num_over = ind < 0 ? -ind : std::max(num_over, ind);
    return 0;
}

int PLT_set_overlay_base(int ind) {
    over_base = std::min(ind, NUM_OVER - 1);
    num_over = std::max(num_over, over_base);
    return 0;
}

int PLT_get_overlay_base() {
    return over_base;
}

int PLT_get_num_over() {
    return num_over;
}

const char *PLT_get_label(int lab, int over) {
    if (!valid_pos(lab) || over < 0 || over >= NUM_OVER) return "";
    return label[lab][over];
}

// ---- Setting texts -----------------------------------------------------------------

int PLT_label_up_left(const char *str) {
    return set_position(0, str);
}

int PLT_label_up_center(const char *str) {
    return set_position(1, str);
}

int PLT_label_up_right(const char *str) {
    return set_position(2, str);
}

int PLT_label_low_left(const char *str) {
    return set_position(3, str);
}

int PLT_label_low_center(const char *str) {
    return set_position(4, str);
}

int PLT_label_low_right(const char *str) {
    return set_position(5, str);
}

int PLT_label_strcpy(int lab, const char *str) {
    if (!valid_pos(lab) || overlay < 0 || str == nullptr || std::strlen(str) > COPY_MAX) return 0;
    copy_text(label[lab][overlay], str);
    return 0;
}

int PLT_label_strcat(int lab, const char *str) {
    if (!valid_pos(lab) || str == nullptr) return 0;
    const std::size_t len = std::strlen(str);
    const auto ind = static_cast<std::size_t>(label_ind[lab]);
    if (len + ind >= APPEND_MAX) return 0;
    // Written where the current overlay began (a later append within one
    // overlay replaces an earlier one), never past the text's end.
    char *text = label[lab][0];
    const std::size_t at = std::min(ind, std::strlen(text));
    text[at] = ' ';
    std::memcpy(text + at + 1, str, len + 1);
    return 0;
}

// ---- Format ------------------------------------------------------------------------

int PLT_label_date(const Date *datim) {
    if (datim != nullptr) date = *datim;
    return 0;
}

int PLT_label_for_time(long val) {
    fhour = val;
    return 0;
}

int PLT_label_format(const char *form, char *str, std::size_t size) {
    if (str == nullptr || size == 0) return 0;
    std::string out;
    char buf[80];
    for (const char *p = form != nullptr ? form : ""; *p != '\0'; ++p) {
        if (*p == '_') {
            out += ' ';
            continue;
        }
        if (*p != '%') {
            out += *p;
            continue;
        }
        if (*++p == '\0') break;
        switch (*p) {
        case 'D':
            DATE_make_label(&date, buf, sizeof buf);
            out += buf;
            break;
        case 'W':
            date.hour = MISSING;
            [[fallthrough]];
        case 'V':
            DATE_make_label_valid_time(time_code(), &date, buf, sizeof buf);
            out += buf;
            break;
        case 'y':
            out += two_digits(date.year % 100);
            break;
        case 'm':
            out += two_digits(date.month);
            break;
        case 'b': {
            // A month outside 1..12 has no name; its three places stay blank.
            const std::string name = DATE_month(date.month);
            out += name.empty() ? std::string("   ") : name.substr(0, 3);
            break;
        }
        case 'h':
            out += two_digits(date.hour);
            break;
        case 'd':
            out += two_digits(date.day);
            break;
        case 'n':
            out += two_digits(date.min);
            break;
        case 'f':
            out += DATE_fhour_label(buf, sizeof buf, time_code(), 0);
            break;
        case 'F':
            out += DATE_fhour_label(buf, sizeof buf, time_code(), 1);
            break;
        case '%':
            out += '%';
            break;
        default:
            break;
        }
    }
    copy_text(str, size, out);
    return 0;
}

// ---- Drawing -----------------------------------------------------------------------

int PLT_labels() {
    // The items of resource label: "ul:TEXT" replaces the stack of that
    // position by one line, "ul2:TEXT" sets the text of overlay 2.
    bool first_only[NUM_POS] = {};
    int count = 0;
    char **items = nullptr;
    RES_getvals("label", &count, &items);
    for (int i = 0; i < count; ++i) {
        const char *item = items[i];
        if (item == nullptr) continue;
        PLT_set_overlay(0);
        const int pos = std::strlen(item) >= 3 ? item_pos(item) : -1;
        if (pos < 0) continue;
        char text[80];
        if (item[2] == ':') {
            PLT_label_format(item + 3, text, sizeof text);
            PLT_label_strcpy(pos, text);
            first_only[pos] = true;
        } else if (std::isdigit(static_cast<unsigned char>(item[2])) && item[3] == ':') {
            PLT_label_format(item + 4, text, sizeof text);
            PLT_set_overlay(item[2] - '0');
            PLT_label_strcpy(pos, text);
            PLT_set_overlay(0);
        }
    }
    free_parsed_array(count, items);

    Gattribs attrib{};
    ATTRIB_init(&attrib);
    ATTRIB_get("color_text", gget_inverse() ? "black" : "white", &attrib);
    PLT_mess("Labels");
    GPH_trans(1);
    Glim dis_size{};
    GPH_get_view_size(&dis_size);
    GPH_line_attr(nullptr);
    GPH_text_attr(nullptr, 1.0f);
    GPH_text_font(nullptr);
    GPH_line_attr(&attrib);

    Glim view{};
    PLT_get_view(&view);
    const float height = view.y_max - view.y_min;
    const float width = view.x_max - view.x_min;
    const bool full = PLT_get_full_lab() != 0;
    const float margin = full ? 0.06f : view.y_min - dis_size.y_min;

    if (PLT_get_border() != 0 && FLAG_getplot(SWITCH_BORDER) != 0) GPH_border(&view);
    if (margin < 0.005f) return -1;
    if (FLAG_getplot(SWITCH_LABELS) == 0) return 0;

    const int lines = PLT_get_label_type() >= 0 && num_over != 0 ? num_over : 1;
    const float s = std::min(margin / static_cast<float>(lines), 0.03f * height);
    GPH_text_attr(&attrib, 0.75f * s);
    const float gap = full ? -0.2f * s - static_cast<float>(lines) * s : 0.2f * s;
    const float lift = static_cast<float>(over_base) * s;
    const float upper = view.y_max + gap + lift;
    const float lower = view.y_min - gap - static_cast<float>(lines - 1) * s + lift;
    const float left = view.x_min + 0.01f * width;
    const float centre = (view.x_min + view.x_max) / 2;
    const float right = view.x_max - 0.01f * width;
    struct Place {
        float x;
        float y;
        int hor;
        int vert;
    };
    const Place place[NUM_POS] = {
        {left, upper, GLEFT_HOR, GBASE_VERT},    {centre, upper, GCENTER_HOR, GBASE_VERT},
        {right, upper, GRIGHT_HOR, GBASE_VERT},  {left, lower, GLEFT_HOR, GCAP_VERT},
        {centre, lower, GCENTER_HOR, GCAP_VERT}, {right, lower, GRIGHT_HOR, GCAP_VERT},
    };
    for (int pos = 0; pos < NUM_POS; ++pos) {
        if (FLAG_getplot(pos + 1) == 0) continue;
        if ((pos == 3 || pos == 4) && PLT_cont_get_bar() >= 1) continue;
        if (pos == 5 && PLT_vect_get_vect() >= 1) continue;
        GPH_text_align(place[pos].hor, place[pos].vert);
        // Overlay 0 is the lowest line; the count may exceed the six
        // overlays that hold texts, whose lines are then left empty.
        const int last = first_only[pos] ? 1 : std::min(lines, NUM_OVER);
        for (int k = 0; k < last; ++k) {
            if (label[pos][k][0] == '\0') continue;
            const Gpt pt{place[pos].x, place[pos].y + static_cast<float>(k) * s};
            GPH_pprint(&pt, label[pos][k]);
        }
    }
    return 0;
}
