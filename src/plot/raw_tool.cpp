// Point-data tools: resetting point items, the value texts of formats from
// files and resources, and the dated output of plotted station values.
// File-static state: the formats already reported as bad, so that each is
// reported once; the open output file and the record being written.
#include "plot/raw_tool.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "fields/maptran.h"
#include "fields/var_tool.h"
#include "graphics/colors.h"
#include "plot/raw_plt.h"
#include "plot/raw_read.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
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

// ---- Dated point-data output -----------------------------------------------------

namespace {

int raw_fd = -1;
RAW_report out_report;
int out_num = 1;

} // namespace

int RAW_date_open(const Date *date) {
    RAW_info info{};
    int k = 0;
    for (int i = 0; i < VAR_get_num(); ++i) {
        if (VAR_is_type_PLOT(i) && raw_fd < 0) {
            FILE_set_key('v', VAR_get_name(i));
            char base[FILE_NAME_SIZE];
            char name[FILE_NAME_SIZE];
            FILE_set_date(date, base, sizeof base);
            FILE_add_path(RES_get("raw_path"), base, name, sizeof name);
            const int answer = FILE_overwrite(name, 1);
            if (answer == 0 || answer == 1) {
                int type = 1;
                raw_fd = RAW_open(name, 1, &type);
                if (raw_fd < 0)
                    MESS_print(M_WARN_C, "RAW_date_open: Unable to create raw file: %s\n", name);
                else
                    MESS_print(M_MESS, "Opening raw file: %s\n", name);
            } else {
                MESS_print(M_WARN_C, "RAW_date_open: Unable to overwrite raw file: %s\n", name);
            }
            if (raw_fd < 0) return 0;
            VAR_make_var_form_datatype(i, info.info, sizeof info.info);
            DATE_make_label(date, info.datim, sizeof info.datim);
            info.date = *date;
        }
        if (raw_fd >= 0 && VAR_get_flag(i) <= 1) {
            const RAW_field field(k + RAW_COLUMN);
            char text[100];
            RAW_set_field_name(raw_fd, field, VAR_get_name(i));
            VAR_make_var_form_datatype(i, text, sizeof text);
            RAW_set_field_info(raw_fd, field, text);
            std::snprintf(text, sizeof text, "%s:%s", VAR_print_type(VAR_get_type(i)), VAR_get_format(i));
            RAW_set_field_fmt(raw_fd, field, text);
            ++k;
        }
    }
    if (raw_fd >= 0) RAW_putinfo(raw_fd, &info);
    return k;
}

int RAW_save_station(const CTY_locate *locate) {
    if (raw_fd < 0 || locate == nullptr) return -1;
    out_report = RAW_report{};
    if (MAP_untran(locate->x, locate->y, &out_report.lat, &out_report.lon) != 1 ||
        is_missing(out_report.lat) || is_missing(out_report.lon))
        out_report.lat = out_report.lon = FMISSING;
    copy_text(out_report.id, sizeof out_report.id, locate->id);
    RAW_write(raw_fd, &out_report, 3, out_num);
    return 0;
}

int RAW_save_data(const RAW_data *data) {
    if (raw_fd < 0 || data == nullptr) return -1;
    out_report.type = data->type;
    out_report.value[0] = data->value[0];
    out_report.value[1] = data->value[1];
    copy_text(out_report.data, sizeof out_report.data, data->data);
    out_report.format[0] = '\0';
    RAW_write(raw_fd, &out_report, 4, out_num);
    return 0;
}

int RAW_save_end() {
    if (raw_fd < 0) return -1;
    RAW_write(raw_fd, &out_report, 5, out_num);
    return 0;
}

int RAW_close_file() {
    if (raw_fd < 0) return -1;
    RAW_close(raw_fd);
    raw_fd = -1;
    return 0;
}

int RAW_set_var_string(const VAR_data *var, const RAW_data *item, char *str) {
    if (str == nullptr || var == nullptr || item == nullptr) return 0;
    constexpr std::size_t size = RAW_STATION_TEXT;
    if (str[0] != '\0' && var->flag > 4) return 0;
    char value[60];
    RAW_data_to_string(value, sizeof value, item);
    const std::size_t len = strnlen(str, size);
    if (var->flag > 4 || len >= 110) {
        copy_text(str, size, value);
        return 0;
    }
    const std::size_t nlen = strnlen(var->name, sizeof var->name);
    if (nlen > 0 && std::strncmp(str, var->name, nlen) == 0) str[0] = '\0';
    std::string text(str, strnlen(str, size));
    text.append(var->name, nlen).append("=").append(value).append(" ");
    copy_text(str, size, text.c_str());
    return 0;
}
