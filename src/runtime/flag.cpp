// Flag slots and plot switches: the 30 numbered settings and the 13
// component switches that the draw resource sets.
// File-static state: the slots and the switches.
#include "runtime/flag.h"
#include "runtime/string.h"

#include <array>
#include <cctype>
#include <cstddef>
#include <string_view>

#include "runtime/zeq.h"

namespace {

constexpr int kNumFlags = 30;
constexpr int kNumPlot = 13;
constexpr int kLabelSum = 0;
constexpr int kAll = 12;
constexpr int kBorder = 11;

constexpr std::array<long, kNumFlags> missing_slots() {
    std::array<long, kNumFlags> s{};
    s.fill(MISSING);
    return s;
}

std::array<long, kNumFlags> slots = missing_slots();
std::array<int, kNumPlot> plot = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

bool valid_slot(int flag) {
    return flag >= 0 && flag < kNumFlags;
}

// Draw words that set one switch.
struct DrawWord {
    std::string_view word;
    int type;
};
constexpr std::array<DrawWord, 11> draw_words = {{
    {"text_ul", 1},
    {"text_uc", 2},
    {"text_ur", 3},
    {"text_ll", 4},
    {"text_lc", 5},
    {"text_lr", 6},
    {"data", 7},
    {"map", 8},
    {"grid", 9},
    {"sum", 10},
    {"bord", kBorder},
}};

void apply_draw_word(std::string_view word, int val) {
    if (iequals(word, "none")) {
        FLAG_setplot(kAll, 0);
    } else if (iequals(word, "all")) {
        FLAG_setplot(kAll, 1);
    } else if (iequals(word, "text")) {
        FLAG_setplot(kLabelSum, val);
        FLAG_setplot(kBorder, val);
    } else {
        for (const auto &w : draw_words) {
            if (iequals(word, w.word)) {
                FLAG_setplot(w.type, val);
                break;
            }
        }
    }
}

} // namespace

int FLAG_get(int flag) {
    return valid_slot(flag) ? static_cast<int>(slots[flag]) : 0;
}

long FLAG_getl(int flag) {
    return valid_slot(flag) ? slots[flag] : 0;
}

int FLAG_set(int flag, int value) {
    return FLAG_setl(flag, value);
}

int FLAG_setl(int flag, long value) {
    if (!valid_slot(flag)) return -1;
    slots[flag] = value;
    return 0;
}

int FLAG_reset(int value) {
    return FLAG_resetl(value);
}

int FLAG_resetl(long value) {
    slots.fill(value);
    return 0;
}

int FLAG_batch() {
    return slots[FLAG_BATCH] > 0 ? 1 : 0;
}

int FLAG_set_batch(int val) {
    slots[FLAG_BATCH] = val;
    return 0;
}

int FLAG_help() {
    return slots[FLAG_HELP] > 0 ? 1 : 0;
}

int FLAG_setplot(int type, int val) {
    if (type < 0 || type >= kNumPlot) return -1;
    plot[type] = val;
    if (type == kAll) {
        for (int i = 0; i < kAll; ++i)
            plot[i] = val;
    } else if (type == kLabelSum) {
        for (int i = 1; i <= 6; ++i)
            plot[i] = val;
    }
    int labels = 0;
    for (int i = 1; i <= 6; ++i)
        labels += plot[i];
    plot[kLabelSum] = labels;
    int all = 0;
    for (int i = 0; i < kAll; ++i)
        all += plot[i];
    plot[kAll] = all;
    return 0;
}

int FLAG_getplot(int type) {
    return (type >= 0 && type < kNumPlot) ? plot[type] : 0;
}

int FLAG_resetplot(int val) {
    plot.fill(val);
    return 0;
}

int FLAG_set_draw(const char *list) {
    if (list == nullptr) return -1;
    std::string_view rest(list);
    // Trailing commas end the list without an empty word.
    while (!rest.empty() && rest.back() == ',')
        rest.remove_suffix(1);
    if (rest.empty()) return 0;

    bool first = true;
    while (true) {
        const std::size_t comma = rest.find(',');
        std::string_view word = rest.substr(0, comma);
        int val = 1;
        if (!word.empty() && (word.front() == '+' || word.front() == '-')) {
            val = word.front() == '+' ? 1 : 0;
            word.remove_prefix(1);
        } else if (first) {
            // An unsigned list names exactly the components to draw.
            FLAG_resetplot(0);
        }
        first = false;
        apply_draw_word(word, val);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return 0;
}
