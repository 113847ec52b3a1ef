#include "fields/calc.h"

#include <string_view>

namespace {

struct MathFunc {
    std::string_view name;
    int type;
};

// Functions whose entries get a grid plot type of their own.
constexpr MathFunc kMathFuncs[] = {
    {"wind", 20},    {"vect", 21},  {"stream", 23}, {"strm", 23},   {"copy", 10},   {"max", 10},
    {"min", 10},     {"add", 10},   {"sum", 10},    {"avg", 10},    {"interp", 10}, {"sub", 10},
    {"thick", 10},   {"mul", 10},   {"mod", 10},    {"sqrt", 10},   {"pow", 10},    {"exp", 10},
    {"log", 10},     {"log10", 10}, {"abs", 10},    {"div", 10},    {"sin", 10},    {"cos", 10},
    {"tan", 10},     {"asin", 10},  {"acos", 10},   {"atan", 10},   {"atan2", 10},  {"dx", 10},
    {"dy", 10},      {"dewp", 10},  {"rhum", 10},   {"wetblb", 10}, {"show", 10},   {"wchill", 10},
    {"wchill2", 10}, {"heat", 10},  {"theta", 10},  {"thetae", 10}, {"vtemp", 10},  {"thetav", 10},
    {"vapor", 10},   {"shum", 10},  {"mixrat", 10}, {"wspd", 10},   {"spd", 10},    {"mag", 10},
    {"wdir", 10},    {"dir", 10},   {"dot", 10},    {"cross", 10},  {"ugeos", 10},  {"vgeos", 10},
    {"uq", 10},      {"vq", 10},    {"lapl", 10},   {"conv", 10},   {"diverg", 10}, {"def1", 10},
    {"def2", 10},    {"vconv", 10}, {"rvort", 10},  {"avort", 10},  {"adv", 10},
};

constexpr std::string_view kVectFuncs[] = {"grad", "vdiff"};
constexpr std::string_view kPlotFuncs[] = {"wind", "vect", "stream", "strm"};

// The function name: the part of str before its first '-'.
std::string_view func_name(const char *str) {
    if (str == nullptr) return {};
    const std::string_view s(str);
    return s.substr(0, s.find('-'));
}

} // namespace

int GRD_is_math_func(const char *str) {
    const std::string_view name = func_name(str);
    for (const auto &f : kMathFuncs)
        if (f.name == name) return f.type;
    return 0;
}

int GRD_is_vect_func(const char *str) {
    const std::string_view name = func_name(str);
    for (const auto &f : kVectFuncs)
        if (f == name) return 1;
    return 0;
}

int GRD_is_plot_func(const char *str) {
    const std::string_view name = func_name(str);
    for (const auto &f : kPlotFuncs)
        if (f == name) return 1;
    return 0;
}
