// Dates: calendar record conversions, names, display time zone, the current
// time and the report time window. Calendar arithmetic is proleptic Gregorian
// in UTC with 64-bit seconds, so dates before 1902 and after 2038 convert
// exactly as well. File-static state: the display time zone and clock, the
// fixed date, and the report time window with its file date.
#include "runtime/date.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"

static_assert(sizeof(time_t) >= 8, "seconds since 1970 must be 64-bit");

namespace {

// ---- Names and tables --------------------------------------------------------

constexpr std::array<const char *, 12> months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr std::array<const char *, 12> months_lc = {"jan", "feb", "mar", "apr", "may", "jun",
                                                    "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<const char *, 12> months_long = {"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};
constexpr std::array<const char *, 7> day_of_week = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};

// Days before the start of each month, and the year's length at index 12.
constexpr std::array<int, 13> num_day = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
constexpr std::array<int, 13> num_day_leap = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

constexpr long long kSecsPerDay = 86400;

// ---- Display time zone ---------------------------------------------------------

// Zone text: "Z", or a blank and a name of at most 4 characters.
constexpr std::size_t kTzStrSize = 7;
std::array<char, kTzStrSize> tz_str = {'Z', '\0'};
int tz_off = 0; // seconds added to UTC before a label's fields are taken
int tz_pm = 0;  // 0 24-hour clock, 1 12-hour AM/PM, -1 12-hour with the UTC time

// ---- DATE_to_struct's record ---------------------------------------------------

Date static_date = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};

// ---- Calendar arithmetic --------------------------------------------------------

const char *name_of(const std::array<const char *, 12> &table, int month) {
    return (month >= 1 && month <= 12) ? table[month - 1] : "";
}

// Days from 1970-01-01 to the first of a month (1..12), proleptic Gregorian.
long long days_from_civil(long long year, int month) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;                      // 0..399
    const long long mp = month > 2 ? month - 3 : month + 9;      // March = 0
    const long long doy = (153 * mp + 2) / 5;                    // 0..365
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy; // 0..146096
    return era * 146097 + doe - 719468;
}

struct Civil {
    long long year;
    int month;
    int day;
};

// The date of a count of days from 1970-01-01.
Civil civil_from_days(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

const std::array<int, 13> &year_table(int year) {
    return DATE_is_leap(year) ? num_day_leap : num_day;
}

int fill_date(const struct tm *t, Date *date) {
    if (t == nullptr) {
        DATE_init(date);
        return -1;
    }
    date->year = t->tm_year + 1900;
    date->month = t->tm_mon + 1;
    date->day = t->tm_mday;
    date->jday = t->tm_yday + 1;
    date->wday = t->tm_wday;
    date->hour = t->tm_hour;
    date->min = t->tm_min;
    date->sec = t->tm_sec;
    return 0;
}

} // namespace

// ---- Names ---------------------------------------------------------------------

const char *DATE_month(int month) {
    return name_of(months, month);
}

const char *DATE_month_lower(int month) {
    return name_of(months_lc, month);
}

const char *DATE_month_long(int month) {
    return name_of(months_long, month);
}

const char *DATE_day_of_week(int wday) {
    return (wday >= 0 && wday <= 6) ? day_of_week[wday] : "";
}

// ---- The record ----------------------------------------------------------------

int DATE_init(Date *date) {
    if (date != nullptr) *date = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
    return 0;
}

int DATE_print(M_type level, const Date *date) {
    if (date == nullptr) return 0;
    MESS_print(level, "%d/%d/%d %2.2d:%2.2d:%2.2d\n", date->year, date->month, date->day, date->hour,
               date->min, date->sec);
    return 0;
}

Date *DATE_to_struct(int year, int month, int day, int hour, int min) {
    static_date.year = year;
    static_date.month = month;
    static_date.day = day;
    static_date.hour = hour;
    static_date.min = min;
    static_date.sec = 0;
    return &static_date;
}

// ---- Display time zone ---------------------------------------------------------

int DATE_set_TZ(const char *text) {
    std::string_view rest = text != nullptr ? text : "";
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        tz_pm = rest.front() == '-' ? -1 : 1;
        rest.remove_prefix(1);
    }
    // The name: up to 4 characters before the first ':'.
    const std::size_t colon = rest.find(':');
    const std::string_view name = rest.substr(0, std::min<std::size_t>(colon, 4));
    tz_str[0] = ' ';
    std::size_t n = 1;
    for (char c : name) {
        if (n + 1 >= tz_str.size()) break;
        tz_str[n++] = c;
    }
    tz_str[n] = '\0';

    // The offset: hours after the colon, computed in single precision and
    // truncated toward zero; 0 when there is no usable number.
    tz_off = 0;
    if (colon != std::string_view::npos) {
        const std::string number(rest.substr(colon + 1));
        char *end = nullptr;
        const float hours = std::strtof(number.c_str(), &end);
        if (end != number.c_str() && std::isfinite(hours) && std::fabs(hours) <= 24.0f)
            tz_off = static_cast<int>(hours * 3600.0f);
    }
    return 0;
}

int DATE_get_tz_off() {
    return tz_off;
}

const char *DATE_get_tz_str() {
    return tz_str.data();
}

int DATE_get_tz_pm() {
    return tz_pm;
}

// ---- Current time --------------------------------------------------------------

int DATE_print_current(M_type level) {
    char str[32];
    DATE_get_current_str(str, sizeof str);
    MESS_print(level, "%s", str);
    return 0;
}

int DATE_get_current_str(char *str, std::size_t size) {
    if (str == nullptr || size == 0) return -1;
    Date d;
    DATE_get_current_gmdate(&d);
    std::snprintf(str, size, "%2.2d %s %2.2d  %2.2d:%2.2d:%2.2dZ", d.year % 100, DATE_month(d.month), d.day,
                  d.hour, d.min, d.sec);
    return 0;
}

int DATE_get_simple_current_str(char *str, std::size_t size) {
    if (str == nullptr || size == 0) return -1;
    Date d;
    DATE_get_current_gmdate(&d);
    std::snprintf(str, size, "%2.2d-%2.2d:%2.2dZ", d.day, d.hour, d.min);
    return 0;
}

int DATE_get_current_gmdate(Date *date) {
    return DATE_get_gmdate(nullptr, date);
}

time_t DATE_get_time(time_t *secs) {
    const time_t now = std::time(nullptr);
    if (secs != nullptr) *secs = now;
    return now;
}

// ---- Conversions ---------------------------------------------------------------

int DATE_is_leap(int year) {
    return (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 1 : 0;
}

time_t DATE_num_sec(Date *date) {
    if (date == nullptr) return 0;
    if (date->year < 0) date->year = 1980;
    if (date->year >= 0 && date->year <= 49) date->year += 2000;
    if (date->year >= 0 && date->year <= 199) date->year += 1900;
    if (date->month < 1 || date->month > 12) date->month = 1;
    if (date->day < 0 || date->day > 31) date->day = 1;
    if (date->hour < 0 || date->hour > 23) date->hour = 0;
    if (date->min < 0 || date->min > 59) date->min = 0;
    if (date->sec < 0 || date->sec > 59) date->sec = 0;

    const long long days = days_from_civil(date->year, date->month) + date->day - 1;
    return static_cast<time_t>(days * kSecsPerDay + 3600LL * date->hour + 60LL * date->min + date->sec);
}

time_t DATE_num_sec_tm(const struct tm *tm) {
    if (tm == nullptr) return 0;
    Date date = {tm->tm_year, (tm->tm_mon >= 0 && tm->tm_mon <= 11) ? tm->tm_mon + 1 : 0,
                 tm->tm_mday, MISSING,
                 MISSING,     tm->tm_hour,
                 tm->tm_min,  tm->tm_sec};
    return DATE_num_sec(&date);
}

int DATE_date_days(int year, int month, int day) {
    if (month < 1 || month > 12) month = 1;
    return static_cast<int>(days_from_civil(year, month) + day);
}

int DATE_days_date(int days, int *year, int *month, int *day) {
    const Civil c = civil_from_days(static_cast<long long>(days) - 1);
    if (year != nullptr) *year = static_cast<int>(c.year);
    if (month != nullptr) *month = c.month;
    if (day != nullptr) *day = c.day;
    return 0;
}

int DATE_time_date(int secs, int *hour, int *min, int *sec) {
    int h = 0;
    int m = 0;
    int s = secs;
    if (secs > 0) {
        h = secs / 3600;
        m = (secs % 3600) / 60;
        s = secs % 60;
    }
    if (hour != nullptr) *hour = h;
    if (min != nullptr) *min = m;
    if (sec != nullptr) *sec = s;
    return 1;
}

struct tm *DATE_get_gmtime(const time_t *secs) {
    return secs != nullptr ? std::gmtime(secs) : nullptr;
}

struct tm *DATE_get_localtime(const time_t *secs) {
    return secs != nullptr ? std::localtime(secs) : nullptr;
}

int DATE_get_gmdate(const time_t *secs, Date *date) {
    if (date == nullptr) return -1;
    const time_t t = secs != nullptr ? *secs : std::time(nullptr);
    struct tm buf {};
    return fill_date(gmtime_r(&t, &buf), date);
}

int DATE_get_localdate(const time_t *secs, Date *date) {
    if (date == nullptr) return -1;
    const time_t t = secs != nullptr ? *secs : std::time(nullptr);
    struct tm buf {};
    return fill_date(localtime_r(&t, &buf), date);
}

int DATE_julian_monday(int year, int jday, int *month, int *day) {
    const auto &table = year_table(year);
    if (jday < 1) jday = 1;
    if (jday > table[12]) jday = table[12];
    int m = 0;
    for (int i = 0; i < 12; ++i) {
        if (table[i] < jday) ++m;
    }
    if (month != nullptr) *month = m;
    if (day != nullptr) *day = jday - table[m - 1];
    return 0;
}

int DATE_monday_julian(int year, int month, int day, int *jday) {
    if (month < 1) month = 1;
    if (month > 12) month = 12;
    if (jday != nullptr) *jday = year_table(year)[month - 1] + day;
    return 0;
}

// ---- Report time window --------------------------------------------------------

namespace {

// The nominal date of the window, its seconds and the window's bounds.
Date file_date = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
time_t base = 0;
time_t begin = 0;
time_t end = 0;
// Minutes from the nominal time to the start and the end of the window.
int min_pre = -15;
int min_post = 10;

// The forms of decode_hour.
enum class Form {
    none,    // fits no form
    hm,      // H:M
    hm_p,    // H:M-P
    hm_pq,   // H:M-P+Q
    h,       // H
    h_p,     // H-P
    h_pq,    // H-P+Q
    pre,     // :-P
    pre_pq,  // :-P+Q
    cucu,    // cu:cu
    cucu_pq, // cu:cu-P+Q
    cu,      // cu
    cu_n,    // cu-N
    cu_pq,   // cu-P+Q
    cu_n_pq, // cu-N-P+Q
    cu_m,    // cu:M
    cu_m_pq, // cu:M-P+Q
};

struct Decoded {
    Form form = Form::none;
    int h = 0; // H, or N of cu-N
    int m = 0;
    int p = 0;
    int q = 0;
};

// A reader of decimal integers over the text.
struct Cursor {
    std::string_view s;

    bool done() const { return s.empty(); }
    bool take(char c) {
        if (s.empty() || s.front() != c) return false;
        s.remove_prefix(1);
        return true;
    }
    bool take_word(std::string_view word) {
        if (s.size() < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(s[i])) != word[i]) return false;
        s.remove_prefix(word.size());
        return true;
    }
    // Digits only; at most 9 of them so the value fits.
    bool number(int &out) {
        std::size_t n = 0;
        int v = 0;
        while (n < s.size() && n < 9 && std::isdigit(static_cast<unsigned char>(s[n])))
            v = v * 10 + (s[n++] - '0');
        if (n == 0 || (n < s.size() && std::isdigit(static_cast<unsigned char>(s[n])))) return false;
        s.remove_prefix(n);
        out = v;
        return true;
    }
    // An optional minus sign and digits.
    bool signed_number(int &out) {
        const std::string_view saved = s;
        const bool neg = take('-');
        if (!number(out)) {
            s = saved;
            return false;
        }
        if (neg) out = -out;
        return true;
    }
    // The rest is exactly "-P+Q".
    bool rest_pq(int &p, int &q) {
        Cursor c = *this;
        if (c.take('-') && c.number(p) && c.take('+') && c.number(q) && c.done()) {
            *this = c;
            return true;
        }
        return false;
    }
    // The rest is exactly "-P".
    bool rest_p(int &p) {
        Cursor c = *this;
        if (c.take('-') && c.number(p) && c.done()) {
            *this = c;
            return true;
        }
        return false;
    }
};

Decoded decode_form(const char *text) {
    std::string_view s = text;
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    Cursor c{s};
    Decoded d;

    if (c.take_word("cu")) {
        if (c.take_word(":cu")) {
            d.form = c.rest_pq(d.p, d.q) ? Form::cucu_pq : Form::cucu;
            return d;
        }
        Cursor minute = c;
        if (minute.take(':') && minute.signed_number(d.m)) {
            if (minute.done()) {
                d.form = Form::cu_m;
                return d;
            }
            if (minute.rest_pq(d.p, d.q)) {
                d.form = Form::cu_m_pq;
                return d;
            }
            d.m = 0;
            d.form = Form::cu;
            return d;
        }
        d.form = Form::cu;
        if (c.done()) return d;
        if (c.rest_pq(d.p, d.q)) {
            d.form = Form::cu_pq;
            return d;
        }
        if (c.rest_p(d.h)) {
            d.form = Form::cu_n;
            return d;
        }
        Cursor back = c;
        if (back.take('-') && back.number(d.h) && back.rest_pq(d.p, d.q)) {
            d.form = Form::cu_n_pq;
            return d;
        }
        d.h = d.p = d.q = 0;
        return d;
    }

    if (c.take(':')) {
        if (c.rest_pq(d.p, d.q))
            d.form = Form::pre_pq;
        else if (c.rest_p(d.p))
            d.form = Form::pre;
        return d;
    }

    if (!c.signed_number(d.h)) return d;
    if (c.take(':')) {
        if (!c.signed_number(d.m)) return d;
        if (c.done())
            d.form = Form::hm;
        else if (c.rest_pq(d.p, d.q))
            d.form = Form::hm_pq;
        else if (c.rest_p(d.p))
            d.form = Form::hm_p;
        return d;
    }
    if (c.done())
        d.form = Form::h;
    else if (c.rest_pq(d.p, d.q))
        d.form = Form::h_pq;
    else if (c.rest_p(d.p))
        d.form = Form::h_p;
    return d;
}

// A negative hour or minute -(offset * 100 + step) is the offset plus the
// reference value truncated to a multiple of the step; a step of 0 means the
// offset itself. The reference must be present.
int resolve_step(int value, int ref) {
    if (value >= 0 || value == MISSING || ref == MISSING) return value;
    const int code = -value;
    const int offset = code / 100;
    const int step = code % 100;
    return step == 0 ? offset : (ref / step) * step + offset;
}

} // namespace

int DATE_set_datim(const Date *date) {
    if (date == nullptr) return -1;
    file_date = *date;
    Date t;
    FILE_get_time(&t);

    if (const char *text = RES_get("decode_hour")) {
        const Decoded d = decode_form(text);
        bool decodes = true;    // the form names a time of day
        bool show_range = true; // the form reports the window
        int h = 0;
        int m = 0;
        switch (d.form) {
        case Form::none:
            decodes = false;
            show_range = false;
            break;
        case Form::hm:
        case Form::h:
            show_range = false;
            [[fallthrough]];
        case Form::hm_p:
        case Form::hm_pq:
        case Form::h_p:
        case Form::h_pq:
            h = d.h;
            m = d.m;
            break;
        case Form::pre:
        case Form::pre_pq:
            decodes = false;
            break;
        case Form::cucu:
            show_range = false;
            [[fallthrough]];
        case Form::cucu_pq:
            h = file_date.hour;
            m = file_date.min;
            break;
        case Form::cu:
            show_range = false;
            [[fallthrough]];
        case Form::cu_pq:
            h = file_date.hour;
            break;
        case Form::cu_n:
            show_range = false;
            [[fallthrough]];
        case Form::cu_n_pq: {
            const time_t back = DATE_num_sec(&file_date) - 3600LL * d.h;
            DATE_get_gmdate(&back, &file_date);
            h = file_date.hour;
            m = file_date.min;
            break;
        }
        case Form::cu_m:
        case Form::cu_m_pq:
            h = file_date.hour;
            m = d.m;
            break;
        }
        switch (d.form) {
        case Form::hm_p:
        case Form::h_p:
        case Form::pre:
            min_pre = -d.p;
            break;
        case Form::hm_pq:
        case Form::h_pq:
        case Form::pre_pq:
        case Form::cucu_pq:
        case Form::cu_pq:
        case Form::cu_n_pq:
        case Form::cu_m_pq:
            min_pre = -d.p;
            min_post = d.q;
            break;
        default:
            break;
        }
        if (decodes) {
            h = resolve_step(h, file_date.hour);
            m = resolve_step(m, file_date.min);
            t.hour = h;
            t.min = m;
            MESS_print(M_MESS, "Decoding for: %2.2d:%2.2dZ\n", h, m);
        }
        if (show_range) MESS_print(M_MESS, "Decoding range: %d +%d mins\n", min_pre, min_post);
        DATE_set_range(min_pre, min_post);
    }

    // The decoded (or fixed) time replaces the time of the file date.
    if (t.hour != MISSING) {
        const int h = resolve_step(t.hour, file_date.hour);
        if (h >= 0) file_date.hour = h;
    }
    if (t.min != MISSING) {
        const int m = resolve_step(t.min, file_date.min);
        if (m >= 0) file_date.min = m;
    }
    if (file_date.min == MISSING) file_date.min = 0;

    base = DATE_num_sec(&file_date);
    begin = base + 60LL * min_pre;
    end = base + 60LL * min_post;
    return 0;
}

int DATE_get_datim(Date *date) {
    if (date == nullptr) return -1;
    *date = file_date;
    return 0;
}

int DATE_set_range(int pre, int post) {
    min_pre = pre;
    min_post = post;
    return 0;
}

int DATE_chk_range(int hhmm) {
    if (hhmm == MISSING) return 0;
    const int hh = hhmm / 100;
    const int mm = hhmm % 100;
    // The report time on the day that brings it nearest the nominal time.
    long long d = static_cast<long long>(hh) - file_date.hour;
    if (d >= 12)
        d -= 24;
    else if (d <= -12)
        d += 24;
    const time_t r = base + 3600LL * d + 60LL * (static_cast<long long>(mm) - file_date.min);
    const int in = (r >= begin && r <= end) ? 1 : 0;
    MESS_print(M_DEBUG_C, "%d %d %d-%d = %d\n", hhmm, static_cast<int>(r - base),
               static_cast<int>(begin - base), static_cast<int>(end - base), in);
    return in;
}
