// Date labels and their decoding: the date label and its decoder, the month
// name decoder, the sequence stamp, forecast period texts, date templates and
// the forecast and valid-time labels. The writers build their text in a
// std::string and copy it bounded into the caller's buffer; none of them
// changes the caller's record. No file-static state.
#include "runtime/date.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/string.h"

namespace {

// ---- Text helpers ----------------------------------------------------------------

// printf-style formatting into a std::string.
template <typename... Args> std::string fmt(const char *format, Args... args) {
    char buf[128];
    const int n = std::snprintf(buf, sizeof buf, format, args...);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof buf) return std::string(buf, static_cast<std::size_t>(n));
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, args...);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// The last two digits of a year, as labels show it.
int yy(int year) {
    return year % 100;
}

// ---- Time codes ------------------------------------------------------------------

struct TimeCode {
    int s;  // statistic
    int t1; // start hour
    int t2; // end hour, MISSING for a missing code
    int p;  // the period shown
};

TimeCode split_code(int code) {
    TimeCode tc{0, 0, MISSING, MISSING};
    if (code != MISSING) {
        tc.s = code / 1000000;
        tc.t1 = (code % 1000000) / 1000;
        tc.t2 = code % 1000;
        if (tc.t1 == 800 || tc.t1 == 900) tc.t1 = 0;
        if (tc.t2 == 800 || tc.t2 == 900) tc.t2 = 0;
    }
    tc.p = tc.s > 5 ? tc.t1 : tc.t2;
    return tc;
}

bool is_period(int p) {
    return p != 0 && p != MISSING;
}

// ---- Clock text ------------------------------------------------------------------

// The clock text of a displayed hour h (and minute m, unless MISSING) in the
// style of the display zone; utc_h and utc_m are the UTC time that the
// bracketed 12-hour style shows. `zero_pad` chooses "07Z" over "7Z" for the
// 24-hour form.
std::string clock_text(int h, int m, int utc_h, int utc_m, bool zero_pad) {
    const char *zone = DATE_get_tz_str();
    const int pm = DATE_get_tz_pm();
    if (pm == 0) {
        if (m != MISSING) return fmt("%2.2d%2.2d%s", h, m, zone);
        return fmt(zero_pad ? "%2.2d%s" : "%d%s", h, zone);
    }
    const int h12 = h % 12 == 0 ? 12 : h % 12;
    const char *half = h >= 12 ? "PM" : "AM";
    std::string text =
        m != MISSING ? fmt("%d:%2.2d %s%s", h12, m, half, zone) : fmt("%d %s%s", h12, half, zone);
    if (pm == -1) text += m != MISSING ? fmt(" [%2.2d%2.2dZ]", utc_h, utc_m) : fmt(" [%2.2dZ]", utc_h);
    return text;
}

// The displayed fields of an instant: its UTC fields moved by the zone offset.
// A date without a time of day is shown as it is (`shift` false), since
// moving its midnight into another zone would change the day it names.
struct Shown {
    Date utc;
    Date disp;
};

Shown shown_at(time_t instant, bool shift) {
    Shown s{};
    DATE_get_gmdate(&instant, &s.utc);
    const time_t local = shift ? instant + DATE_get_tz_off() : instant;
    DATE_get_gmdate(&local, &s.disp);
    return s;
}

// The repairs of a reference date before its instant is taken: an hour
// outside 0..23 becomes 0 (a missing one stays missing), a day outside 1..31
// becomes 1, a month outside 1..12 becomes 1, a negative year 1980.
Date repaired(const Date &date) {
    Date d = date;
    if (d.hour != MISSING && (d.hour < 0 || d.hour > 23)) d.hour = 0;
    if (d.day <= 0 || d.day > 31) d.day = 1;
    if (d.month < 1 || d.month > 12) d.month = 1;
    if (d.year < 0) d.year = 1980;
    return d;
}

// The instant of a repaired reference date moved on by `hours`.
time_t instant_of(Date d, int hours) {
    if (d.hour == MISSING) d.hour = 0;
    if (d.min == MISSING) d.min = 0;
    return DATE_num_sec(&d) + 3600LL * hours;
}

// The forecast period and the model name that begin a forecast label.
std::string forecast_head(const TimeCode &tc, int flag, const char *model) {
    char period[32];
    std::string text = DATE_fhour_label(period, sizeof period, tc.p, flag);
    if (is_period(tc.p)) text += ' ';
    if (model != nullptr) text += model;
    return text;
}

// ---- The decoder's forms ------------------------------------------------------------

struct Fields {
    int year = MISSING, month = MISSING, day = MISSING, hour = MISSING, min = MISSING, sec = MISSING;
    char name[4] = "";
};

// The tail of a label of at least n characters, else null.
const char *tail(const char *str, std::size_t len, std::size_t n) {
    return len >= n ? str + (len - n) : nullptr;
}

bool read_label(const char *str, Fields &f) {
    const std::size_t len = std::strlen(str);
    // The hour form from the start: "12Z  5 JAN 24".
    if (std::sscanf(str, "%2dZ %2d %3s %2d", &f.hour, &f.day, f.name, &f.year) == 4) return true;
    f = Fields{};
    // The minute form at the end: "1230Z 15 JAN 24", also " 930Z 15 JAN 24".
    if (const char *t = tail(str, len, 15)) {
        if (std::sscanf(t, "%2d%2dZ %2d %3s %2d", &f.hour, &f.min, &f.day, f.name, &f.year) == 5) {
            int h = 0;
            int m = 0;
            if (t[0] == ' ' && std::sscanf(t, "%1d%2d", &h, &m) == 2) {
                f.hour = h;
                f.min = m;
            }
            return true;
        }
        f = Fields{};
    }
    // The seconds form at the end: "12:30:45Z 15 JAN 24".
    if (const char *t = tail(str, len, 19)) {
        if (std::sscanf(t, "%2d:%2d:%2dZ %2d %3s %2d", &f.hour, &f.min, &f.sec, &f.day, f.name, &f.year) == 6)
            return true;
        f = Fields{};
    }
    // The hour form at the end of a longer text.
    if (const char *t = tail(str, len, 13)) {
        if (std::sscanf(t, "%2dZ %2d %3s %2d", &f.hour, &f.day, f.name, &f.year) == 4) return true;
        f = Fields{};
    }
    // Four numbers from the start: year, month, day and hour ("24 01 05 12").
    if (std::sscanf(str, "%2d %2d %2d %2d", &f.year, &f.month, &f.day, &f.hour) == 4) {
        if (f.month < 1 || f.month > 12) f.month = MISSING;
        return true;
    }
    f = Fields{};
    return false;
}

// The month name decoder's rows decided by the first and third characters.
struct MonthRow {
    char first;
    char third;
    int month;
};
constexpr MonthRow month_rows[] = {{'J', 'N', 6}, {'J', 'L', 7}, {'M', 'R', 3},
                                   {'M', 'Y', 5}, {'A', 'R', 4}, {'A', 'G', 8}};

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

// ---- Month names ---------------------------------------------------------------------

int DATE_decode_month(const char *str) {
    if (str == nullptr || str[0] == '\0') return 0;
    const char c0 = str[0];
    const char c1 = str[1];
    const char c2 = c1 != '\0' ? str[2] : '\0';
    switch (c0) {
    case 'F':
    case 'f':
        return 2;
    case 'S':
    case 's':
        return 9;
    case 'O':
    case 'o':
        return 10;
    case 'N':
    case 'n':
        return 11;
    case 'D':
    case 'd':
        return 12;
    default:
        break;
    }
    if ((c0 == 'J' && c1 == 'A') || (c0 == 'j' && c1 == 'a')) return 1;
    for (const MonthRow &row : month_rows) {
        if ((c0 == row.first && c2 == row.third) || (c0 == lower(row.first) && c2 == lower(row.third)))
            return row.month;
    }
    return 0;
}

// ---- The date label ------------------------------------------------------------------

int DATE_make_label(const Date *date, char *str, std::size_t size) {
    if (str == nullptr || size == 0) return -1;
    if (date == nullptr) {
        str[0] = '\0';
        return -1;
    }
    Date d = *date;
    int utc_h = MISSING;
    int utc_m = MISSING;
    const bool has_time = d.month != MISSING && d.day != MISSING && d.hour != MISSING;
    if (DATE_get_tz_off() != 0 && has_time) {
        const Shown s = shown_at(DATE_num_sec(&d), true);
        utc_h = s.utc.hour;
        utc_m = s.utc.min;
        d = s.disp;
    }

    std::string text;
    if (d.year < 0) d.year = 1980;
    if (d.month == MISSING) {
        text = fmt("%2.2d", yy(d.year));
    } else {
        if (d.month < 1 || d.month > 12) d.month = 1;
        if (d.day == MISSING) {
            text = fmt("%3s %2.2d", DATE_month(d.month), yy(d.year));
        } else {
            if (d.day < 0 || d.day > 31) d.day = 1;
            if (d.hour == MISSING) {
                text = fmt("%2d %3s %2.2d", d.day, DATE_month(d.month), yy(d.year));
            } else {
                if (d.hour < 0 || d.hour > 23) d.hour = 0;
                if (d.min != MISSING && (d.min < 0 || d.min > 59)) d.min = 0;
                if (utc_h == MISSING) {
                    // No zone offset: the record's own time is the UTC time.
                    utc_h = d.hour;
                    utc_m = d.min;
                }
                text = fmt("%s %2d %3s %2.2d", clock_text(d.hour, d.min, utc_h, utc_m, true).c_str(), d.day,
                           DATE_month(d.month), yy(d.year));
            }
        }
    }
    copy_text(str, size, text);
    return 0;
}

int DATE_decode_label(const char *str, Date *date) {
    if (date == nullptr) return -1;
    DATE_init(date);
    if (str == nullptr) return 0;
    Fields f;
    if (!read_label(str, f)) return 0;
    if (f.name[0] != '\0') {
        const int month = DATE_decode_month(f.name);
        f.month = month != 0 ? month : MISSING;
    }
    if (f.year >= 0 && f.year <= 49) f.year += 2000;
    if (f.year >= 0 && f.year <= 199) f.year += 1900;
    date->year = f.year;
    date->month = f.month;
    date->day = f.day;
    date->hour = f.hour;
    date->min = f.min;
    date->sec = f.sec;
    return 0;
}

// ---- The sequence stamp ----------------------------------------------------------------

int DATE_make_seq(const Date *date, char *str, std::size_t size) {
    if (str == nullptr || size == 0) return -1;
    if (date == nullptr) {
        str[0] = '\0';
        return -1;
    }
    Date d = *date;
    if (d.year < 0) d.year = 1980;
    if (d.month < 1 || d.month > 12) d.month = 1;
    if (d.day < 0 || d.day > 31) d.day = 1;
    if (d.hour < 0 || d.hour > 23) d.hour = 0;
    if (d.min < 0 || d.min > 59) d.min = 0;
    copy_text(str, size, fmt("%4.4d%2.2d%2.2d%2.2d%2.2d", d.year, d.month, d.day, d.hour, d.min));
    return 0;
}

int DATE_decode_seq(const char *str, Date *date) {
    if (str == nullptr || date == nullptr) return -1;
    int v[5] = {MISSING, MISSING, MISSING, MISSING, MISSING};
    std::sscanf(str, "%4d%2d%2d%2d%2d", &v[0], &v[1], &v[2], &v[3], &v[4]);
    date->year = v[0];
    date->month = v[1];
    date->day = v[2];
    date->hour = v[3];
    date->min = v[4];
    return 0;
}

// ---- Forecast periods and templates ----------------------------------------------------

char *DATE_fhour_label(char *str, std::size_t size, int hours, int flag) {
    if (str == nullptr || size == 0) return str;
    const int h = hours;
    std::string text;
    if (h > 900) {
        text = fmt("%d month", h - 900);
    } else if (h > 800) {
        text = fmt("%d day", h - 800);
    } else if (flag != 0 && (h == 12 || h == 24 || h == 36 || h == 48 || h == 60)) {
        static constexpr const char *halves[] = {"0.5 day", "1 day", "1.5 day", "2 day", "2.5 day"};
        text = halves[h / 12 - 1];
    } else if (h > 60 && h % 24 == 0) {
        text = fmt("%d day", h / 24);
    } else if (h > 60 && h % 24 == 12) {
        text = fmt("%d.5 day", h / 24);
    } else if (h != 0 && h != MISSING) {
        text = fmt("%d hour", h);
    }
    copy_text(str, size, text);
    return str;
}

int DATE_format_label(char *str, std::size_t size, const char *format, int code, const char *model,
                      const Date *date) {
    if (str == nullptr || size == 0) return -1;
    if (format == nullptr) {
        str[0] = '\0';
        return -1;
    }
    Date d;
    DATE_init(&d);
    if (date != nullptr) d = *date;
    const TimeCode tc = split_code(code);

    std::string text;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            text += *p;
            continue;
        }
        const char c = *++p;
        if (c == '\0') break;
        switch (c) {
        case 'F': {
            char period[32];
            text += DATE_fhour_label(period, sizeof period, tc.p, d.hour == MISSING ? 1 : 0);
            break;
        }
        case 'f':
            text += fmt("%d", code);
            break;
        case 'x':
            if (model != nullptr) text += model;
            break;
        case 'y':
            if (d.year != MISSING) text += fmt("%2.2d", yy(d.year));
            break;
        case 'm':
            if (d.month != MISSING) text += fmt("%2.2d", d.month);
            break;
        case 'M':
            text += fmt("%3.3s", DATE_month(d.month));
            break;
        case 'd':
            if (d.day != MISSING) text += fmt("%2.2d", d.day);
            break;
        case 'h':
            if (d.hour != MISSING) text += fmt("%2.2d", d.hour);
            break;
        case 'n':
            if (d.min != MISSING) text += fmt("%2.2d", d.min);
            break;
        default:
            text += c;
            break;
        }
    }
    copy_text(str, size, text);
    return 0;
}

// ---- Forecast and valid-time labels -------------------------------------------------------

int DATE_make_label_for_mod(int code, const char *model, time_t seconds, char *str, std::size_t size) {
    if (str == nullptr || size == 0) return -1;
    const TimeCode tc = split_code(code);
    std::string text = forecast_head(tc, 0, model != nullptr ? model : "");

    if (seconds == 0) {
        if (tc.p == 0) text += " analysis";
        copy_text(str, size, text);
        return -1;
    }
    bool weekday = false;
    if (tc.t1 > 5 && tc.t2 == 0) {
        text += " analysis valid";
    } else if (tc.p == 0) {
        text += " analysis for";
    } else {
        text += " valid";
        weekday = true;
    }

    const int hours = tc.t2 == MISSING ? 0 : tc.t2;
    const Shown s = shown_at(seconds + 3600LL * hours, true);
    const std::string clock = clock_text(s.disp.hour, MISSING, s.utc.hour, MISSING, true);
    if (weekday)
        text += fmt(" %s %3s %2d %3s %2.2d", clock.c_str(), DATE_day_of_week(s.disp.wday), s.disp.day,
                    DATE_month(s.disp.month), yy(s.disp.year));
    else
        text +=
            fmt(" %s %2d %3s %2.2d", clock.c_str(), s.disp.day, DATE_month(s.disp.month), yy(s.disp.year));
    copy_text(str, size, text);
    return 0;
}

int DATE_make_label_for_time_mod(int code, const char *model, const Date *date, char *str, std::size_t size) {
    if (str == nullptr || size == 0) return -1;
    if (date == nullptr) {
        str[0] = '\0';
        return -1;
    }
    const TimeCode tc = split_code(code);
    const bool no_hour = date->hour == MISSING;
    const bool named = model != nullptr && model[0] != '\0';
    std::string text = forecast_head(tc, no_hour ? 1 : 0, model);
    const Date d = repaired(*date);

    if (tc.s == 0 && !is_period(tc.p)) {
        char label[64];
        DATE_make_label(&d, label, sizeof label);
        text += named ? " analysis for " : "Analysis for ";
        text += label;
        copy_text(str, size, text);
        return 0;
    }

    bool weekday = false;
    if (tc.t1 > 0 && tc.t2 == 0) {
        text += named ? " analysis valid" : "Analysis valid";
    } else {
        text += " valid";
        weekday = true;
    }
    const int hours = tc.t2 == MISSING ? 0 : tc.t2;
    const Shown s = shown_at(instant_of(d, hours), !no_hour);
    const Date &v = s.disp;
    if (no_hour) {
        if (weekday)
            text +=
                fmt(" %3s %2d %3s %2.2d", DATE_day_of_week(v.wday), v.day, DATE_month(v.month), yy(v.year));
        else
            text += fmt(" %2d %3s %2.2d", v.day, DATE_month(v.month), yy(v.year));
    } else {
        const std::string clock = clock_text(v.hour, MISSING, s.utc.hour, MISSING, false);
        if (weekday)
            text += fmt(" %s %3s %2d %3s %2.2d", clock.c_str(), DATE_day_of_week(v.wday), v.day,
                        DATE_month(v.month), yy(v.year));
        else
            text += fmt(" %s %2d %3s %2.2d", clock.c_str(), v.day, DATE_month(v.month), yy(v.year));
    }
    copy_text(str, size, text);
    return 0;
}

int DATE_make_label_valid_time(int code, const Date *date, char *str, std::size_t size) {
    if (str == nullptr || size == 0) return -1;
    if (date == nullptr) {
        str[0] = '\0';
        return -1;
    }
    const TimeCode tc = split_code(code);
    const bool no_hour = date->hour == MISSING;
    const int hours = tc.t2 == MISSING ? 0 : tc.t2;
    const Shown s = shown_at(instant_of(repaired(*date), hours), !no_hour);
    const Date &v = s.disp;
    std::string text;
    if (no_hour)
        text = fmt("%3s %2d %3s %2.2d", DATE_day_of_week(v.wday), v.day, DATE_month(v.month), yy(v.year));
    else
        text = fmt("%s %3s %2d %3s %2.2d", clock_text(v.hour, MISSING, s.utc.hour, MISSING, false).c_str(),
                   DATE_day_of_week(v.wday), v.day, DATE_month(v.month), yy(v.year));
    copy_text(str, size, text);
    return 0;
}
