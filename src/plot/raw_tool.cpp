// Point-data tools: resetting point items and the value texts of formats from
// files and resources. File-static state: the formats already reported as bad,
// so that each is reported once.
#include "plot/raw_tool.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "graphics/colors.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "runtime/zeq.h"

namespace {

std::set<std::string> reported;

void report_bad(const char *func, const char *format) {
    if (reported.size() < 100 && reported.insert(format).second)
        MESS_print(M_WARN, "%s: Bad number format: %s\n", func ? func : "RAW_format", format);
}

// Formats with a checked format (the caller has checked it); false when the
// result does not fit.
template <typename T> bool fits(char *str, std::size_t size, const char *format, T value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(str, size, format, value);
#pragma GCC diagnostic pop
    return n >= 0 && static_cast<std::size_t>(n) < size;
}

// The value of a float as the decimal it was written as: its shortest
// decimal form read back as a double, so that 0.45 read from a file rounds
// as 0.45 does (to 0.5 with one decimal), not as the float's binary value
// just below it.
double decimal_value(float value) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    double d = value;
    if (ec == std::errc()) std::from_chars(buf, end, d);
    return d;
}

} // namespace

int RAW_data_init(RAW_data *data) {
    data->x = FMISSING;
    data->y = FMISSING;
    data->value[0] = FMISSING;
    data->value[1] = FMISSING;
    data->format[0] = '\0';
    data->data[0] = '\0';
    ATTRIB_init(&data->attr);
    return 0;
}

int RAW_data_init_val(RAW_data *data) {
    data->value[0] = FMISSING;
    data->value[1] = FMISSING;
    data->data[0] = '\0';
    return 0;
}

int RAW_format_float(char *str, std::size_t size, const char *format, float value, const char *func) {
    if (str == nullptr || size == 0) return 0;
    const double v = decimal_value(value);
    if (format != nullptr && format[0] != '\0') {
        std::string f = format;
        const bool no_zero = f.size() > 1 && f[0] == '%' && f[1] == 'z';
        if (no_zero) f.erase(1, 1);
        if (string_is_float_format(f.c_str()) && fits(str, size, f.c_str(), v)) {
            if (no_zero) {
                // "0.5" -> ".5", "-0.5" -> "-.5" (also after blanks of a width).
                char *p = str;
                while (*p == ' ')
                    ++p;
                if (*p == '-' || *p == '+') ++p;
                if (p[0] == '0' && p[1] == '.') std::memmove(p, p + 1, std::strlen(p));
            }
            return 0;
        }
        report_bad(func, format);
        fits(str, size, "%1.0f", v);
        return -1;
    }
    fits(str, size, "%1.0f", v);
    return 0;
}

int RAW_format_int(char *str, std::size_t size, const char *format, int value, const char *func) {
    if (str == nullptr || size == 0) return 0;
    if (format != nullptr && format[0] != '\0') {
        if (string_is_int_format(format) && fits(str, size, format, value)) return 0;
        report_bad(func, format);
        fits(str, size, "%d", value);
        return -1;
    }
    fits(str, size, "%d", value);
    return 0;
}
