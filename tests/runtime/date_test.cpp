#include "runtime/date.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iterator>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fields/var_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/zeqresrc.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

constexpr int M = MISSING;

// Runs a Python script over `input` and returns its output lines (without
// their line ends). The reference calculations use the calendar and datetime
// modules.
std::vector<std::string> python_lines(const std::string &script, const std::string &input) {
    return zeqtest::text_lines(zeqtest::run_python(script, input, "python3"));
}

// The same with each line read as numbers.
std::vector<std::vector<long long>> python_rows(const std::string &script, const std::string &input) {
    std::vector<std::vector<long long>> rows;
    for (const std::string &line : python_lines(script, input)) {
        std::istringstream in(line);
        std::vector<long long> row;
        long long v;
        while (in >> v)
            row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// ---- Seconds since 1970 ---------------------------------------------------------

struct SecCase {
    Date raw;                             // the record given (jday and wday ignored)
    int year, month, day, hour, min, sec; // the record after normalising
};

// For each normalised record "y m d H M S": the seconds since 1970 (day 0 and
// days past the month's end counted from the first of the month), then the
// UTC date of those seconds: year month day yday wday hour minute second.
const char *const kSecondsScript = R"(
import calendar, datetime, sys
epoch = datetime.datetime(1970, 1, 1)
for line in sys.stdin:
    y, m, d, H, M, S = map(int, line.split())
    secs = calendar.timegm((y, m, 1, H, M, S, 0, 0, 0)) + (d - 1) * 86400
    t = epoch + datetime.timedelta(seconds=secs)
    print(secs, t.year, t.month, t.day, t.timetuple().tm_yday, (t.weekday() + 1) % 7,
          t.hour, t.minute, t.second)
)";

const std::vector<SecCase> kSecCases = {
    {{1970, 1, 1, M, M, 0, 0, 0}, 1970, 1, 1, 0, 0, 0},
    {{1970, 1, 1, M, M, 0, 0, 1}, 1970, 1, 1, 0, 0, 1},
    {{1969, 12, 31, M, M, 23, 59, 59}, 1969, 12, 31, 23, 59, 59},
    {{1980, 1, 1, M, M, 0, 0, 0}, 1980, 1, 1, 0, 0, 0},
    {{2000, 3, 1, M, M, 0, 0, 0}, 2000, 3, 1, 0, 0, 0},
    {{2000, 2, 29, M, M, 12, 0, 0}, 2000, 2, 29, 12, 0, 0},
    // Two-digit years.
    {{24, 2, 29, M, M, 12, 0, 0}, 2024, 2, 29, 12, 0, 0},
    {{99, 12, 31, M, M, 23, 59, 59}, 1999, 12, 31, 23, 59, 59},
    {{0, 1, 1, M, M, 0, 0, 0}, 2000, 1, 1, 0, 0, 0},
    {{49, 6, 15, M, M, 6, 30, 0}, 2049, 6, 15, 6, 30, 0},
    {{50, 6, 15, M, M, 6, 30, 0}, 1950, 6, 15, 6, 30, 0},
    {{39, 1, 1, M, M, 0, 0, 0}, 2039, 1, 1, 0, 0, 0},
    {{199, 1, 1, M, M, 0, 0, 0}, 2099, 1, 1, 0, 0, 0},
    {{200, 7, 4, M, M, 0, 0, 0}, 200, 7, 4, 0, 0, 0},
    // Negative and missing years.
    {{-1, 6, 15, M, M, 1, 2, 3}, 1980, 6, 15, 1, 2, 3},
    {{-2024, 3, 1, M, M, 0, 0, 0}, 1980, 3, 1, 0, 0, 0},
    {{M, M, M, M, M, M, M, M}, 1980, 1, 1, 0, 0, 0},
    // Century years and leap days.
    {{1900, 2, 28, M, M, 23, 59, 59}, 1900, 2, 28, 23, 59, 59},
    {{1900, 3, 1, M, M, 0, 0, 0}, 1900, 3, 1, 0, 0, 0},
    {{2100, 2, 28, M, M, 12, 0, 0}, 2100, 2, 28, 12, 0, 0},
    {{2100, 3, 1, M, M, 0, 0, 0}, 2100, 3, 1, 0, 0, 0},
    {{1600, 2, 29, M, M, 0, 0, 0}, 1600, 2, 29, 0, 0, 0},
    {{2400, 2, 29, M, M, 0, 0, 0}, 2400, 2, 29, 0, 0, 0},
    {{1972, 2, 29, M, M, 0, 0, 0}, 1972, 2, 29, 0, 0, 0},
    {{2023, 12, 31, M, M, 23, 59, 59}, 2023, 12, 31, 23, 59, 59},
    // Around the 32-bit limits and far from 1970.
    {{1901, 12, 13, M, M, 20, 45, 52}, 1901, 12, 13, 20, 45, 52},
    {{2038, 1, 19, M, M, 3, 14, 7}, 2038, 1, 19, 3, 14, 7},
    {{2038, 1, 19, M, M, 3, 14, 8}, 2038, 1, 19, 3, 14, 8},
    {{2106, 2, 7, M, M, 6, 28, 16}, 2106, 2, 7, 6, 28, 16},
    {{1000, 1, 1, M, M, 0, 0, 0}, 1000, 1, 1, 0, 0, 0},
    {{9999, 12, 31, M, M, 23, 59, 59}, 9999, 12, 31, 23, 59, 59},
    // Day 0 is the day before the first; days past the month's end run on.
    {{1980, 1, 0, M, M, 0, 0, 0}, 1980, 1, 0, 0, 0, 0},
    {{2024, 3, 0, M, M, 0, 0, 0}, 2024, 3, 0, 0, 0, 0},
    {{2023, 2, 31, M, M, 0, 0, 0}, 2023, 2, 31, 0, 0, 0},
    // Fields out of range.
    {{2024, 13, 32, M, M, 24, 60, 60}, 2024, 1, 1, 0, 0, 0},
    {{2024, 0, -1, M, M, -1, -1, -1}, 2024, 1, 1, 0, 0, 0},
};

TEST(DateSeconds, AgreeWithPythonCalendar) {
    std::string input;
    for (const auto &c : kSecCases)
        input += std::to_string(c.year) + " " + std::to_string(c.month) + " " + std::to_string(c.day) + " " +
                 std::to_string(c.hour) + " " + std::to_string(c.min) + " " + std::to_string(c.sec) + "\n";
    const auto ref = python_rows(kSecondsScript, input);
    ASSERT_EQ(ref.size(), kSecCases.size());

    for (std::size_t i = 0; i < kSecCases.size(); ++i) {
        const SecCase &c = kSecCases[i];
        SCOPED_TRACE(::testing::Message() << "record " << c.raw.year << "-" << c.raw.month << "-" << c.raw.day
                                          << " " << c.raw.hour << ":" << c.raw.min << ":" << c.raw.sec);
        ASSERT_EQ(ref[i].size(), 9u);
        Date d = c.raw;
        d.jday = 777;
        d.wday = 7;
        const time_t secs = DATE_num_sec(&d);
        EXPECT_EQ(static_cast<long long>(secs), ref[i][0]);
        // The record is normalised in place; jday and wday are left alone.
        EXPECT_EQ(d.year, c.year);
        EXPECT_EQ(d.month, c.month);
        EXPECT_EQ(d.day, c.day);
        EXPECT_EQ(d.hour, c.hour);
        EXPECT_EQ(d.min, c.min);
        EXPECT_EQ(d.sec, c.sec);
        EXPECT_EQ(d.jday, 777);
        EXPECT_EQ(d.wday, 7);

        Date back;
        EXPECT_EQ(DATE_get_gmdate(&secs, &back), 0);
        const std::vector<long long> got = {back.year, back.month, back.day, back.jday,
                                            back.wday, back.hour,  back.min, back.sec};
        EXPECT_EQ(got, std::vector<long long>(ref[i].begin() + 1, ref[i].end()));
    }
}

TEST(DateSeconds, BrokenDownTimeTakesTheTwoDigitRules) {
    struct Row {
        int tm_year;
        int year; // the year it stands for
    };
    const std::vector<Row> rows = {{124, 2024}, {70, 1970},  {99, 1999},   {0, 2000}, {49, 2049},
                                   {50, 1950},  {199, 2099}, {2024, 2024}, {-5, 1980}};
    for (const Row &r : rows) {
        struct tm tm {};
        tm.tm_year = r.tm_year;
        tm.tm_mon = 1;
        tm.tm_mday = 28;
        tm.tm_hour = 18;
        tm.tm_min = 30;
        tm.tm_sec = 15;
        Date d = {r.year, 2, 28, M, M, 18, 30, 15};
        EXPECT_EQ(DATE_num_sec_tm(&tm), DATE_num_sec(&d)) << "tm_year " << r.tm_year;
    }
    struct tm bad_month {};
    bad_month.tm_year = 124;
    bad_month.tm_mon = 12; // out of range: January
    bad_month.tm_mday = 1;
    Date jan = {2024, 1, 1, M, M, 0, 0, 0};
    EXPECT_EQ(DATE_num_sec_tm(&bad_month), DATE_num_sec(&jan));
}

TEST(DateSeconds, BrokenDownTimesOfTheRuntime) {
    const time_t t = 1709208000; // 2024-02-29 12:00:00 UTC
    const struct tm *g = DATE_get_gmtime(&t);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->tm_year, 124);
    EXPECT_EQ(g->tm_mon, 1);
    EXPECT_EQ(g->tm_mday, 29);
    EXPECT_EQ(g->tm_hour, 12);
    EXPECT_EQ(DATE_get_gmtime(nullptr), nullptr);
    EXPECT_EQ(DATE_get_localtime(nullptr), nullptr);
}

TEST(DateSeconds, LocalDateFollowsTheHostZone) {
    // A POSIX zone string: local time is UTC + 5:30, no tz database needed.
    setenv("TZ", "XST-5:30", 1);
    tzset();
    for (const time_t t : {time_t{0}, time_t{1709208000}, time_t{-2208988800}, time_t{4102444800}}) {
        Date local;
        Date shifted;
        const time_t plus = t + 19800;
        EXPECT_EQ(DATE_get_localdate(&t, &local), 0);
        DATE_get_gmdate(&plus, &shifted);
        EXPECT_EQ(local.year, shifted.year) << t;
        EXPECT_EQ(local.month, shifted.month) << t;
        EXPECT_EQ(local.day, shifted.day) << t;
        EXPECT_EQ(local.jday, shifted.jday) << t;
        EXPECT_EQ(local.wday, shifted.wday) << t;
        EXPECT_EQ(local.hour, shifted.hour) << t;
        EXPECT_EQ(local.min, shifted.min) << t;
        EXPECT_EQ(DATE_get_localtime(&t)->tm_min, shifted.min) << t;
    }
}

// ---- Day numbers and days of the year --------------------------------------------

// For "y m d": the day number (1 = 1970-01-01) and the day of the year.
const char *const kDaysScript = R"(
import datetime, sys
for line in sys.stdin:
    y, m, d = map(int, line.split())
    t = datetime.date(y, m, d)
    print((t - datetime.date(1970, 1, 1)).days + 1, t.timetuple().tm_yday)
)";

TEST(DateDays, AgreeWithPythonCalendar) {
    const std::vector<std::array<int, 3>> dates = {
        {1970, 1, 1},   {1970, 3, 1},   {1971, 1, 1},  {1969, 12, 31}, {1972, 2, 29}, {1972, 3, 1},
        {1900, 2, 28},  {1900, 3, 1},   {2000, 2, 29}, {2000, 12, 31}, {2100, 2, 28}, {2100, 3, 1},
        {1600, 1, 1},   {2038, 1, 19},  {2038, 1, 20}, {2400, 12, 31}, {1, 1, 1},     {9999, 12, 31},
        {2023, 12, 31}, {2024, 12, 31}, {1980, 1, 1}};
    std::string input;
    for (const auto &d : dates)
        input += std::to_string(d[0]) + " " + std::to_string(d[1]) + " " + std::to_string(d[2]) + "\n";
    const auto ref = python_rows(kDaysScript, input);
    ASSERT_EQ(ref.size(), dates.size());
    for (std::size_t i = 0; i < dates.size(); ++i) {
        const auto &[y, m, d] = dates[i];
        SCOPED_TRACE(::testing::Message() << y << "-" << m << "-" << d);
        ASSERT_EQ(ref[i].size(), 2u);
        EXPECT_EQ(DATE_date_days(y, m, d), ref[i][0]);
        int yy = 0, mm = 0, dd = 0;
        EXPECT_EQ(DATE_days_date(static_cast<int>(ref[i][0]), &yy, &mm, &dd), 0);
        EXPECT_EQ(yy, y);
        EXPECT_EQ(mm, m);
        EXPECT_EQ(dd, d);

        int jday = 0;
        EXPECT_EQ(DATE_monday_julian(y, m, d, &jday), 0);
        EXPECT_EQ(jday, ref[i][1]);
        int month = 0, day = 0;
        EXPECT_EQ(DATE_julian_monday(y, static_cast<int>(ref[i][1]), &month, &day), 0);
        EXPECT_EQ(month, m);
        EXPECT_EQ(day, d);
    }
}

TEST(DateDays, LeapYearsAgreeWithPython) {
    const auto ref =
        python_rows("import calendar\nfor y in range(1, 4001): print(y, int(calendar.isleap(y)))\n", "");
    ASSERT_EQ(ref.size(), 4000u);
    for (const auto &row : ref)
        ASSERT_EQ(DATE_is_leap(static_cast<int>(row[0])), row[1]) << row[0];
}

TEST(DateDays, MonthOutsideTheYearCountsAsJanuary) {
    EXPECT_EQ(DATE_date_days(2023, 13, 5), DATE_date_days(2023, 1, 5));
    EXPECT_EQ(DATE_date_days(2024, 0, 5), DATE_date_days(2024, 1, 5));
}

struct JulianCase {
    int year, jday;
    int month, day;
};

void PrintTo(const JulianCase &c, std::ostream *os) {
    *os << c.year << " day " << c.jday;
}

class DateJulianBounds : public ::testing::TestWithParam<JulianCase> {};

TEST_P(DateJulianBounds, BoundsTheDayOfTheYear) {
    const JulianCase c = GetParam();
    int month = 0, day = 0;
    EXPECT_EQ(DATE_julian_monday(c.year, c.jday, &month, &day), 0);
    EXPECT_EQ(month, c.month);
    EXPECT_EQ(day, c.day);
}

INSTANTIATE_TEST_SUITE_P(Days, DateJulianBounds,
                         ::testing::Values(JulianCase{2024, 60, 2, 29}, JulianCase{2023, 60, 3, 1},
                                           JulianCase{2023, 400, 12, 31}, JulianCase{2024, 367, 12, 31},
                                           JulianCase{2024, 0, 1, 1}, JulianCase{2023, -5, 1, 1},
                                           JulianCase{1900, 60, 3, 1}, JulianCase{2100, 366, 12, 31}));

TEST(DateDays, MonthOfTheYearIsBounded) {
    int jday = 0;
    DATE_monday_julian(2024, 3, 1, &jday);
    EXPECT_EQ(jday, 61);
    DATE_monday_julian(2024, 0, 5, &jday);
    EXPECT_EQ(jday, 5);
    DATE_monday_julian(2024, 14, 1, &jday);
    EXPECT_EQ(jday, 336);
    DATE_monday_julian(2023, 14, 1, &jday);
    EXPECT_EQ(jday, 335);
}

struct TimeCase {
    int secs;
    int hour, min, sec;
};

void PrintTo(const TimeCase &c, std::ostream *os) {
    *os << c.secs << " s";
}

class DateTimeSplit : public ::testing::TestWithParam<TimeCase> {};

TEST_P(DateTimeSplit, SplitsSecondsOfTheDay) {
    const TimeCase c = GetParam();
    int h = 99, m = 99, s = 99;
    EXPECT_EQ(DATE_time_date(c.secs, &h, &m, &s), 1);
    EXPECT_EQ(h, c.hour);
    EXPECT_EQ(m, c.min);
    EXPECT_EQ(s, c.sec);
}

INSTANTIATE_TEST_SUITE_P(Seconds, DateTimeSplit,
                         ::testing::Values(TimeCase{0, 0, 0, 0}, TimeCase{59, 0, 0, 59},
                                           TimeCase{3661, 1, 1, 1}, TimeCase{86399, 23, 59, 59},
                                           TimeCase{90000, 25, 0, 0}, TimeCase{-5, 0, 0, -5},
                                           TimeCase{-3700, 0, 0, -3700}));

// ---- The record and names -----------------------------------------------------------

TEST(DateRecord, InitMarksEveryFieldMissing) {
    Date d = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(DATE_init(&d), 0);
    for (int v : {d.year, d.month, d.day, d.jday, d.wday, d.hour, d.min, d.sec})
        EXPECT_EQ(v, -9999);
}

TEST(DateRecord, ToStructFillsOneStaticRecord) {
    Date *a = DATE_to_struct(2024, 2, 29, 12, 30);
    EXPECT_EQ(a->year, 2024);
    EXPECT_EQ(a->month, 2);
    EXPECT_EQ(a->day, 29);
    EXPECT_EQ(a->hour, 12);
    EXPECT_EQ(a->min, 30);
    EXPECT_EQ(a->sec, 0);
    a->jday = 60;
    a->sec = 5;
    Date *b = DATE_to_struct(2023, 1, 2, 3, 4);
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->year, 2023);
    EXPECT_EQ(b->sec, 0);
    EXPECT_EQ(b->jday, 60); // jday and wday are not touched
}

TEST(DateRecord, PrintGoesThroughTheMessageLevel) {
    const auto r = run_child([] {
        Date d = {2024, 2, 29, 60, 4, 12, 5, 9};
        DATE_print(M_PRINT, &d);
        DATE_print(M_DEBUG, &d); // off at the start level
        Date missing;
        DATE_init(&missing);
        DATE_print(M_ERROR, &missing);
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "2024/2/29 12:05:09\n");
    EXPECT_EQ(r.err, "-9999/-9999/-9999 -9999:-9999:-9999\n");
}

struct NameCase {
    int month;
    const char *upper, *lower, *full;
};

void PrintTo(const NameCase &c, std::ostream *os) {
    *os << "month " << c.month;
}

class DateMonthNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(DateMonthNames, NamesOnlyTwelveMonths) {
    const NameCase c = GetParam();
    EXPECT_STREQ(DATE_month(c.month), c.upper);
    EXPECT_STREQ(DATE_month_lower(c.month), c.lower);
    EXPECT_STREQ(DATE_month_long(c.month), c.full);
}

INSTANTIATE_TEST_SUITE_P(Months, DateMonthNames,
                         ::testing::Values(NameCase{1, "JAN", "jan", "January"},
                                           NameCase{2, "FEB", "feb", "February"},
                                           NameCase{9, "SEP", "sep", "September"},
                                           NameCase{12, "DEC", "dec", "December"}, NameCase{0, "", "", ""},
                                           NameCase{13, "", "", ""}, NameCase{-9999, "", "", ""}));

TEST(DateNames, WeekdaysFromSunday) {
    EXPECT_STREQ(DATE_day_of_week(0), "SUN");
    EXPECT_STREQ(DATE_day_of_week(6), "SAT");
    EXPECT_STREQ(DATE_day_of_week(7), "");
    EXPECT_STREQ(DATE_day_of_week(-1), "");
    // 2024-02-29 was a Thursday.
    const time_t t = 1709208000;
    Date d;
    DATE_get_gmdate(&t, &d);
    EXPECT_STREQ(DATE_day_of_week(d.wday), "THU");
}

// ---- Display time zone ------------------------------------------------------------

TEST(DateZone, StartsAsUtc) {
    EXPECT_STREQ(DATE_get_tz_str(), "Z");
    EXPECT_EQ(DATE_get_tz_off(), 0);
    EXPECT_EQ(DATE_get_tz_pm(), 0);
}

struct ZoneCase {
    int pm_before; // clock style set by an earlier zone text
    const char *text;
    const char *str;
    int off;
    int pm;
};

void PrintTo(const ZoneCase &c, std::ostream *os) {
    *os << '"' << c.text << "\" after " << c.pm_before;
}

class DateZone : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(DateZone, SetsNameOffsetAndClock) {
    const ZoneCase c = GetParam();
    if (c.pm_before != 0) DATE_set_TZ(c.pm_before > 0 ? "+AAA:1" : "-AAA:1");
    EXPECT_EQ(DATE_set_TZ(c.text), 0);
    EXPECT_STREQ(DATE_get_tz_str(), c.str);
    EXPECT_EQ(DATE_get_tz_off(), c.off);
    EXPECT_EQ(DATE_get_tz_pm(), c.pm);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DateZone,
    ::testing::Values(ZoneCase{0, "MST:-7", " MST", -25200, 0}, ZoneCase{-1, "MST:-7", " MST", -25200, -1},
                      ZoneCase{1, "MST:-7", " MST", -25200, 1}, ZoneCase{0, "+CET:1.5", " CET", 5400, 1},
                      ZoneCase{0, "-EST:-5", " EST", -18000, -1}, ZoneCase{1, "-EST:-5", " EST", -18000, -1},
                      ZoneCase{-1, "+EST:-5", " EST", -18000, 1}, ZoneCase{0, "EST:-5", " EST", -18000, 0},
                      ZoneCase{0, "IST:5.5", " IST", 19800, 0}, ZoneCase{0, "NPT:5.75", " NPT", 20700, 0},
                      ZoneCase{0, "ACST:9.5", " ACST", 34200, 0}, ZoneCase{0, "UTC:0", " UTC", 0, 0},
                      ZoneCase{0, "NST:-3.5", " NST", -12600, 0},
                      // Texts without a usable number give offset 0.
                      ZoneCase{0, "XYZ", " XYZ", 0, 0}, ZoneCase{0, "EST:abc", " EST", 0, 0},
                      ZoneCase{0, "EST:1e9", " EST", 0, 0}, ZoneCase{0, "", " ", 0, 0},
                      ZoneCase{0, "-", " ", 0, -1},
                      // A longer name keeps 4 characters; the hours after the colon count.
                      ZoneCase{0, "CHAST:12.75", " CHAS", 45900, 0}));

// ---- Current time -------------------------------------------------------------------

// What strftime writes for every second from `from` to `to`.
std::set<std::string> strftime_between(time_t from, time_t to, const char *format) {
    std::set<std::string> out;
    for (time_t t = from; t <= to; ++t) {
        struct tm tm {};
        gmtime_r(&t, &tm);
        char buf[64];
        std::strftime(buf, sizeof buf, format, &tm);
        out.insert(upper(buf));
    }
    return out;
}

TEST(DateCurrent, TextsOfTheCurrentTime) {
    const time_t before = std::time(nullptr);
    char full[32];
    char simple[32];
    EXPECT_EQ(DATE_get_current_str(full, sizeof full), 0);
    EXPECT_EQ(DATE_get_simple_current_str(simple, sizeof simple), 0);
    const time_t after = std::time(nullptr);
    EXPECT_EQ(strftime_between(before, after, "%y %b %d  %H:%M:%SZ").count(full), 1u) << full;
    EXPECT_EQ(strftime_between(before, after, "%d-%H:%MZ").count(simple), 1u) << simple;
    EXPECT_EQ(std::string(full).size(), 20u);
}

TEST(DateCurrent, TextsAreCutToTheBuffer) {
    char small[6];
    std::fill(std::begin(small), std::end(small), '#');
    EXPECT_EQ(DATE_get_current_str(small, sizeof small), 0);
    EXPECT_EQ(std::string(small).size(), 5u);
    char one[1] = {'#'};
    EXPECT_EQ(DATE_get_simple_current_str(one, sizeof one), 0);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(DATE_get_current_str(nullptr, 10), -1);
    EXPECT_EQ(DATE_get_current_str(small, 0), -1);
}

TEST(DateCurrent, CurrentRecordAndPrint) {
    const time_t before = std::time(nullptr);
    time_t now = 0;
    EXPECT_EQ(DATE_get_time(&now), now);
    Date d;
    EXPECT_EQ(DATE_get_current_gmdate(&d), 0);
    Date from_null;
    EXPECT_EQ(DATE_get_gmdate(nullptr, &from_null), 0);
    const time_t after = std::time(nullptr);
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
    const time_t secs = DATE_num_sec(&d);
    EXPECT_GE(secs, before);
    EXPECT_LE(secs, after);
    EXPECT_GE(DATE_num_sec(&from_null), before);

    const auto r = run_child([] { return DATE_print_current(M_OUT1); });
    const time_t end = std::time(nullptr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(strftime_between(before, end, "%y %b %d  %H:%M:%SZ").count(r.out), 1u) << r.out;
    const auto hidden = run_child([] { return DATE_print_current(M_OUT3); });
    EXPECT_EQ(hidden.out, "");
}

// ---- Report time window --------------------------------------------------------

Date at(int year, int month, int day, int hour, int min) {
    return Date{year, month, day, M, M, hour, min, 0};
}

// The report time hhmm that lies `offset` minutes from the nominal time.
int hhmm_from(const Date &nominal, int offset) {
    const int minutes = ((nominal.hour * 60 + nominal.min + offset) % 1440 + 1440) % 1440;
    return minutes / 60 * 100 + minutes % 60;
}

// Checks that the window is [pre, post] minutes about the nominal time: both
// bounds are inside, a minute beyond either is outside.
void expect_window(int pre, int post, const std::string &what) {
    Date nominal;
    DATE_get_datim(&nominal);
    EXPECT_EQ(DATE_chk_range(hhmm_from(nominal, pre)), 1) << what << " start";
    EXPECT_EQ(DATE_chk_range(hhmm_from(nominal, pre - 1)), 0) << what << " before the start";
    EXPECT_EQ(DATE_chk_range(hhmm_from(nominal, post)), 1) << what << " end";
    EXPECT_EQ(DATE_chk_range(hhmm_from(nominal, post + 1)), 0) << what << " after the end";
}

void expect_date(const Date &want, const std::string &what) {
    Date d;
    EXPECT_EQ(DATE_get_datim(&d), 0);
    EXPECT_EQ(d.year, want.year) << what;
    EXPECT_EQ(d.month, want.month) << what;
    EXPECT_EQ(d.day, want.day) << what;
    EXPECT_EQ(d.hour, want.hour) << what;
    EXPECT_EQ(d.min, want.min) << what;
}

TEST(DateWindow, DefaultWindowAboutTheFileTime) {
    Date file = at(2024, 3, 10, 12, 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(DATE_set_datim(&file), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    expect_date(file, "no decode_hour");
    for (int hhmm : {1145, 1200, 1210})
        EXPECT_EQ(DATE_chk_range(hhmm), 1) << hhmm;
    for (int hhmm : {1144, 1211, 0, 2359, 2400, M})
        EXPECT_EQ(DATE_chk_range(hhmm), 0) << hhmm;
}

TEST(DateWindow, ReportTimesNearMidnight) {
    Date file = at(2024, 3, 10, 0, 10);
    DATE_set_datim(&file);
    EXPECT_EQ(DATE_chk_range(2355), 1); // the day before, 15 minutes early
    EXPECT_EQ(DATE_chk_range(2354), 0);
    EXPECT_EQ(DATE_chk_range(20), 1);
    EXPECT_EQ(DATE_chk_range(25), 0);
    Date late = at(2024, 3, 10, 23, 55);
    DATE_set_datim(&late);
    EXPECT_EQ(DATE_chk_range(5), 1); // the next day, 10 minutes late
    EXPECT_EQ(DATE_chk_range(6), 0);
}

TEST(DateWindow, MissingMinuteAndFixedTime) {
    // A missing minute of the file date becomes 0.
    Date file = at(2024, 3, 10, 18, M);
    DATE_set_datim(&file);
    expect_date(at(2024, 3, 10, 18, 0), "missing minute");
    // The fixed time of the file sequence replaces the file's time; a
    // negative hour is a step code against the file's hour.
    Date fixed;
    DATE_init(&fixed);
    fixed.hour = 6;
    fixed.min = 30;
    FILE_set_time(&fixed);
    DATE_set_datim(&file);
    expect_date(at(2024, 3, 10, 6, 30), "fixed 06:30");
    fixed.hour = -306;
    fixed.min = M;
    FILE_set_time(&fixed);
    Date afternoon = at(2024, 3, 10, 14, 20);
    DATE_set_datim(&afternoon);
    expect_date(at(2024, 3, 10, 15, 20), "fixed step code");
}

TEST(DateWindow, DecodeHourForms) {
    const Date file = at(2024, 3, 1, 7, 33);
    const struct Row {
        const char *text;
        Date nominal;
        int pre, post;
        const char *messages;
    } rows[] = {
        {"12:30", at(2024, 3, 1, 12, 30), -15, 10, "Decoding for: 12:30Z\n"},
        {"12:30-20", at(2024, 3, 1, 12, 30), -20, 10, "Decoding for: 12:30Z\nDecoding range: -20 +10 mins\n"},
        {"12:30-20+5", at(2024, 3, 1, 12, 30), -20, 5, "Decoding for: 12:30Z\nDecoding range: -20 +5 mins\n"},
        {"12", at(2024, 3, 1, 12, 0), -15, 10, "Decoding for: 12:00Z\n"},
        {"12-20", at(2024, 3, 1, 12, 0), -20, 10, "Decoding for: 12:00Z\nDecoding range: -20 +10 mins\n"},
        {"12-30+5", at(2024, 3, 1, 12, 0), -30, 5, "Decoding for: 12:00Z\nDecoding range: -30 +5 mins\n"},
        {" 6 ", at(2024, 3, 1, 6, 0), -15, 10, "Decoding for: 06:00Z\n"},
        {":-40+20", at(2024, 3, 1, 7, 33), -40, 20, "Decoding range: -40 +20 mins\n"},
        {":-25", at(2024, 3, 1, 7, 33), -25, 10, "Decoding range: -25 +10 mins\n"},
        {"cu:cu", at(2024, 3, 1, 7, 33), -15, 10, "Decoding for: 07:33Z\n"},
        {"CU:CU-5+5", at(2024, 3, 1, 7, 33), -5, 5, "Decoding for: 07:33Z\nDecoding range: -5 +5 mins\n"},
        {"cu", at(2024, 3, 1, 7, 0), -15, 10, "Decoding for: 07:00Z\n"},
        {"Cu-30+30", at(2024, 3, 1, 7, 0), -30, 30, "Decoding for: 07:00Z\nDecoding range: -30 +30 mins\n"},
        {"cu-8", at(2024, 2, 29, 23, 33), -15, 10, "Decoding for: 23:33Z\n"},
        {"cu-8-10+20", at(2024, 2, 29, 23, 33), -10, 20,
         "Decoding for: 23:33Z\nDecoding range: -10 +20 mins\n"},
        {"cu:45", at(2024, 3, 1, 7, 45), -15, 10, "Decoding for: 07:45Z\nDecoding range: -15 +10 mins\n"},
        {"cu:45-5+6", at(2024, 3, 1, 7, 45), -5, 6, "Decoding for: 07:45Z\nDecoding range: -5 +6 mins\n"},
        // Text after cu that fits no form decodes as plain cu (or cu:cu).
        {"cu-8-30", at(2024, 3, 1, 7, 0), -15, 10, "Decoding for: 07:00Z\n"},
        {"cu:45-5", at(2024, 3, 1, 7, 0), -15, 10, "Decoding for: 07:00Z\n"},
        {"cu:cu-30", at(2024, 3, 1, 7, 33), -15, 10, "Decoding for: 07:33Z\n"},
        {"current", at(2024, 3, 1, 7, 0), -15, 10, "Decoding for: 07:00Z\n"},
        // Step codes -(offset * 100 + step) against the file's hour and
        // minute; a step of 0 is the offset itself.
        {"-306", at(2024, 3, 1, 9, 0), -15, 10, "Decoding for: 09:00Z\n"},
        {"-300", at(2024, 3, 1, 3, 0), -15, 10, "Decoding for: 03:00Z\n"},
        {"12:-15", at(2024, 3, 1, 12, 30), -15, 10, "Decoding for: 12:30Z\n"},
        // Text that fits no form changes nothing.
        {"abc", at(2024, 3, 1, 7, 33), -15, 10, ""},
        {"12:30+5", at(2024, 3, 1, 7, 33), -15, 10, ""},
        {"12-", at(2024, 3, 1, 7, 33), -15, 10, ""},
        {"", at(2024, 3, 1, 7, 33), -15, 10, ""},
    };
    for (const Row &r : rows) {
        RES_put("decode_hour", r.text);
        DATE_set_range(-15, 10);
        Date d = file;
        testing::internal::CaptureStdout();
        EXPECT_EQ(DATE_set_datim(&d), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), r.messages) << r.text;
        expect_date(r.nominal, r.text);
        expect_window(r.pre, r.post, r.text);
    }
}

TEST(DateWindow, SpanDecodedAroundTheFilesDay) {
    // 12-30+5 sets the window to 11:30 .. 12:05 of the file's day.
    RES_put("decode_hour", "12-30+5");
    Date file = at(2024, 3, 10, 5, 40);
    DATE_set_datim(&file);
    expect_date(at(2024, 3, 10, 12, 0), "12-30+5");
    EXPECT_EQ(DATE_chk_range(1130), 1);
    EXPECT_EQ(DATE_chk_range(1129), 0);
    EXPECT_EQ(DATE_chk_range(1205), 1);
    EXPECT_EQ(DATE_chk_range(1206), 0);
    // cu-3 on 2024-01-05 02:00 moves the nominal date to the day before.
    RES_put("decode_hour", "cu-3");
    Date early = at(2024, 1, 5, 2, 0);
    DATE_set_datim(&early);
    expect_date(at(2024, 1, 4, 23, 0), "cu-3");
    // A step code: -306 at 14:00 decodes for 15:00.
    RES_put("decode_hour", "-306");
    Date afternoon = at(2024, 1, 5, 14, 0);
    DATE_set_datim(&afternoon);
    expect_date(at(2024, 1, 5, 15, 0), "-306");
}

TEST(DateWindow, SpansTakeEffectAtTheNextSetting) {
    Date file = at(2024, 3, 10, 12, 0);
    DATE_set_datim(&file);
    EXPECT_EQ(DATE_set_range(-30, 30), 0);
    EXPECT_EQ(DATE_chk_range(1140), 0); // the bounds are unchanged
    EXPECT_EQ(DATE_chk_range(1225), 0);
    DATE_set_datim(&file);
    expect_window(-30, 30, "after set_range");
    // Spans decoded from decode_hour stay for later windows too.
    RES_put("decode_hour", ":-5+50");
    DATE_set_datim(&file);
    expect_window(-5, 50, "decoded");
    RES_put("decode_hour", "abc");
    DATE_set_datim(&file);
    expect_window(-5, 50, "kept");
}

TEST(DateWindow, BeforeAnyWindowAndNullRecords) {
    // Until the first window nothing is inside.
    for (int hhmm : {0, 1200, 2359, 1})
        EXPECT_EQ(DATE_chk_range(hhmm), 0) << hhmm;
    EXPECT_EQ(DATE_set_datim(nullptr), -1);
    EXPECT_EQ(DATE_get_datim(nullptr), -1);
    // The check reports itself at the debug level.
    MESS_set(1, 0x40000000);
    Date file = at(2024, 3, 10, 12, 0);
    DATE_set_datim(&file);
    testing::internal::CaptureStdout();
    DATE_chk_range(1205);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1205 300 -900-600 = 1\n");
}

// ---- Date labels --------------------------------------------------------------------

std::string label_of(const Date &d) {
    char buf[80];
    EXPECT_EQ(DATE_make_label(&d, buf, sizeof buf), 0);
    return buf;
}

std::string valid_of(int code, const Date &d) {
    char buf[80];
    EXPECT_EQ(DATE_make_label_valid_time(code, &d, buf, sizeof buf), 0);
    return buf;
}

std::string forecast_of(int code, const char *model, const Date &d) {
    char buf[120];
    EXPECT_EQ(DATE_make_label_for_time_mod(code, model, &d, buf, sizeof buf), 0);
    return buf;
}

struct LabelCase {
    Date date;
    const char *label;
};

void PrintTo(const LabelCase &c, std::ostream *os) {
    *os << '"' << c.label << '"';
}

class DateLabelUtc : public ::testing::TestWithParam<LabelCase> {};

// With the zone unset every form is written in UTC with the 24-hour clock.
TEST_P(DateLabelUtc, WritesTheWidestFormTheRecordAllows) {
    EXPECT_EQ(label_of(GetParam().date), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(Forms, DateLabelUtc,
                         ::testing::Values(LabelCase{at(2024, 1, 5, 12, M), "12Z  5 JAN 24"},
                                           LabelCase{at(2024, 1, 5, 12, 30), "1230Z  5 JAN 24"},
                                           LabelCase{at(2024, 1, 5, M, M), " 5 JAN 24"},
                                           LabelCase{at(2024, 1, M, M, M), "JAN 24"},
                                           LabelCase{at(2024, M, M, M, M), "24"},
                                           LabelCase{at(1999, 12, 31, 0, 5), "0005Z 31 DEC 99"},
                                           LabelCase{at(2005, 3, 15, 7, M), "07Z 15 MAR 05"},
                                           // Out-of-range fields are repaired; a missing year is 1980.
                                           LabelCase{at(M, 13, 40, 24, 60), "0000Z  1 JAN 80"},
                                           LabelCase{at(-3, M, M, M, M), "80"},
                                           LabelCase{at(24, 2, 29, 6, M), "06Z 29 FEB 24"}));

TEST(DateLabel, ZoneStylesOfTheClock) {
    const Date noon = at(2024, 1, 5, 12, M);
    // The zone only renames the time while its offset is 0.
    DATE_set_TZ("-UTC:0");
    EXPECT_EQ(label_of(noon), "12 PM UTC [12Z]  5 JAN 24");
    EXPECT_EQ(label_of(at(2024, 1, 5, 0, 30)), "12:30 AM UTC [0030Z]  5 JAN 24");
    DATE_set_TZ("+UTC:0");
    EXPECT_EQ(label_of(at(2024, 1, 5, 23, 59)), "11:59 PM UTC  5 JAN 24");
    DATE_set_TZ("GMT:0"); // no sign keeps the 12-hour clock
    EXPECT_EQ(label_of(at(2024, 1, 5, 13, M)), "1 PM GMT  5 JAN 24");

    // With an offset the time always shows its minutes.
    DATE_set_TZ("-EST:-5");
    EXPECT_EQ(label_of(noon), "7:00 AM EST [1200Z]  5 JAN 24");
    EXPECT_EQ(valid_of(0, noon), "7 AM EST [12Z] FRI  5 JAN 24");
    DATE_set_TZ("+EST:-5");
    EXPECT_EQ(label_of(noon), "7:00 AM EST  5 JAN 24");
    EXPECT_EQ(valid_of(0, noon), "7 AM EST FRI  5 JAN 24");
    // A name longer than four characters is cut.
    DATE_set_TZ("+ABCDEFG:-5");
    EXPECT_EQ(label_of(noon), "7:00 AM ABCD  5 JAN 24");
}

// The zone reaches the labels from the environment variable zeqtz at start-up.
TEST(DateLabel, ZoneFromTheEnvironment) {
    TempDir dir;
    const auto r = run_child([&] {
        setenv("zeqdefault", dir.path().c_str(), 1);
        setenv("zeqtz", "-CST:-6", 1);
        std::string prog = "/usr/bin/tarnisk";
        char *argv[] = {prog.data(), nullptr};
        const res_type none[] = {RES_null};
        RES_init(1, argv, none, none);
        const Date d = at(2024, 7, 1, 3, 5);
        std::printf("%s|%s\n", label_of(d).c_str(), valid_of(6, d).c_str());
        return 0;
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "9:05 PM CST [0305Z] 30 JUN 24|3 AM CST [09Z] MON  1 JUL 24\n");
}

TEST(DateLabel, TwentyFourHourZone) {
    DATE_set_TZ("EST:-5");
    EXPECT_EQ(label_of(at(2024, 1, 5, 12, M)), "0700 EST  5 JAN 24");
    EXPECT_EQ(label_of(at(2024, 1, 5, 3, 15)), "2215 EST  4 JAN 24");
    EXPECT_EQ(valid_of(0, at(2024, 1, 5, 12, M)), "7 EST FRI  5 JAN 24");
    // A date without a time of day names its day in any zone.
    EXPECT_EQ(label_of(at(2024, 1, 5, M, M)), " 5 JAN 24");
    EXPECT_EQ(label_of(at(2024, 1, M, M, M)), "JAN 24");
    EXPECT_EQ(valid_of(24, at(2024, 1, 5, M, M)), "SAT  6 JAN 24");
    // A two-digit year is widened by the move into the zone.
    EXPECT_EQ(label_of(at(24, 1, 1, 2, M)), "2100 EST 31 DEC 23");
}

TEST(DateLabel, CallersRecordIsNotChanged) {
    DATE_set_TZ("-EST:-5");
    const Date given = {24, 13, 0, 77, 9, 30, 75, 99};
    Date d = given;
    char buf[64];
    DATE_make_label(&d, buf, sizeof buf);
    DATE_make_seq(&d, buf, sizeof buf);
    DATE_make_label_valid_time(12, &d, buf, sizeof buf);
    DATE_make_label_for_time_mod(12, "ETA", &d, buf, sizeof buf);
    DATE_format_label(buf, sizeof buf, "%y%m%d%h%n %F", 12, "ETA", &d);
    EXPECT_EQ(std::memcmp(&d, &given, sizeof d), 0);
}

// The labels of a range of instants in several zones against Python's datetime:
// the date label (from a record with minutes and from one without), and the
// valid time of a forecast hour.
const char *const kZoneLabelScript = R"(
import sys, datetime as dt
pm = 0
for line in sys.stdin:
    spec, y, mo, d, h, mi, code = line.split()
    if spec[0] in '+-':
        pm = 1 if spec[0] == '+' else -1
        spec = spec[1:]
    name, hours = spec.split(':')
    off = dt.timedelta(seconds=round(float(hours) * 3600))
    zone = ' ' + name[:4]
    utc = dt.datetime(int(y), int(mo), int(d), int(h), int(mi))
    def clock(t, u, minutes, pad):
        if pm == 0:
            return (t.strftime('%H%M') if minutes else t.strftime('%H' if pad else '%-H')) + zone
        c = str(int(t.strftime('%I'))) + (t.strftime(':%M') if minutes else '') + ' ' + t.strftime('%p') + zone
        if pm < 0:
            c += ' [' + u.strftime('%H%M' if minutes else '%H') + 'Z]'
        return c
    def day(t, wday):
        return (t.strftime('%a ').upper() if wday else '') + '%2d ' % t.day + t.strftime('%b %y').upper()
    shown = utc + off
    code = int(code)
    t2 = 0 if code == -9999 else code % 1000
    if t2 in (800, 900):
        t2 = 0
    vutc = utc + dt.timedelta(hours=t2)
    vshown = vutc + off
    if off:
        label = clock(shown, utc, True, True) + ' ' + day(shown, False)
        utc0 = utc.replace(minute=0)
        nomin = clock(utc0 + off, utc0, True, True) + ' ' + day(utc0 + off, False)
    else:
        label = clock(utc, utc, True, True) + ' ' + day(utc, False)
        nomin = clock(utc, utc, False, True) + ' ' + day(utc, False)
    print(label + '|' + nomin + '|' + clock(vshown, vutc, False, False) + ' ' + day(vshown, True))
)";

TEST(DateLabel, ZonesAgreeWithPython) {
    const char *const zones[] = {"EST:-5",   "CET:1",    "+EST:-5",   "-EST:-5",  "-IST:5.5", "+NPT:5.75",
                                 "-NZDT:13", "+HST:-10", "-NST:-3.5", "ACST:9.5", "-UTC:0",   "+Z:0"};
    const int codes[] = {0, 6, 12, 36, 84, 240, 1006, 6012000, 3000012, M, 900, 803};
    // Instants from 1970 to 2038 with changing hours and minutes, and the turns
    // of days, months and years (leap days included).
    std::vector<time_t> instants;
    for (time_t t = 7 * 3600; t < 2145916800; t += 14000017)
        instants.push_back(t);
    for (const Date &d : {at(2023, 12, 31, 23, 30), at(2024, 1, 1, 0, 0), at(2024, 2, 28, 20, 0),
                          at(2024, 2, 29, 23, 59), at(2024, 3, 1, 0, 0), at(2000, 2, 29, 12, 0),
                          at(2100, 2, 28, 22, 0), at(1970, 1, 1, 2, 0), at(2037, 12, 31, 14, 45)}) {
        Date c = d;
        instants.push_back(DATE_num_sec(&c));
    }

    std::string input;
    std::vector<std::string> got;
    std::size_t n = 0;
    for (const char *zone : zones) {
        DATE_set_TZ(zone);
        for (time_t t : instants) {
            Date d;
            DATE_get_gmdate(&t, &d);
            const int code = codes[n++ % std::size(codes)];
            input += std::string(zone) + ' ' + std::to_string(d.year) + ' ' + std::to_string(d.month) + ' ' +
                     std::to_string(d.day) + ' ' + std::to_string(d.hour) + ' ' + std::to_string(d.min) +
                     ' ' + std::to_string(code) + '\n';
            Date nomin = d;
            nomin.min = M;
            got.push_back(label_of(d) + '|' + label_of(nomin) + '|' + valid_of(code, d));
        }
    }
    const std::vector<std::string> want = python_lines(kZoneLabelScript, input);
    ASSERT_EQ(want.size(), got.size());
    std::istringstream lines(input);
    for (std::size_t i = 0; i < got.size(); ++i) {
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(got[i], want[i]) << line;
    }
}

// ---- Decoding labels ------------------------------------------------------------------

struct DecodeCase {
    const char *label;
    int year, month, day, hour, min, sec;
};

void PrintTo(const DecodeCase &c, std::ostream *os) {
    *os << '"' << c.label << '"';
}

class DateDecodeLabel : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DateDecodeLabel, ReadsTheUtcForms) {
    const DecodeCase &c = GetParam();
    Date d = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(DATE_decode_label(c.label, &d), 0);
    EXPECT_EQ(d.year, c.year);
    EXPECT_EQ(d.month, c.month);
    EXPECT_EQ(d.day, c.day);
    EXPECT_EQ(d.hour, c.hour);
    EXPECT_EQ(d.min, c.min);
    EXPECT_EQ(d.sec, c.sec);
    EXPECT_EQ(d.jday, M);
    EXPECT_EQ(d.wday, M);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DateDecodeLabel,
    ::testing::Values(DecodeCase{"12Z  5 JAN 24", 2024, 1, 5, 12, M, M},
                      DecodeCase{"1230Z  5 JAN 24", 2024, 1, 5, 12, 30, M},
                      DecodeCase{" 930Z 05 JAN 24", 2024, 1, 5, 9, 30, M},
                      DecodeCase{"12:30:45Z 15 mar 99", 1999, 3, 15, 12, 30, 45},
                      // The time forms also at the end of a longer text.
                      DecodeCase{"ETA analysis for 1230Z  5 JAN 24", 2024, 1, 5, 12, 30, M},
                      DecodeCase{"Analysis for 06Z 29 FEB 24", 2024, 2, 29, 6, M, M},
                      DecodeCase{"obs 23:59:01Z 31 DEC 49", 2049, 12, 31, 23, 59, 1},
                      DecodeCase{"00Z  1 JUL 50", 1950, 7, 1, 0, M, M},
                      // Four numbers: year, month, day and hour.
                      DecodeCase{"24 01 05 12", 2024, 1, 5, 12, M, M},
                      DecodeCase{"97 13 05 12", 1997, M, 5, 12, M, M},
                      // A name that is no month leaves the month missing.
                      DecodeCase{"12Z  5 Jan 24", 2024, M, 5, 12, M, M},
                      // Labels that fit no form leave every field missing.
                      DecodeCase{"", M, M, M, M, M, M}, DecodeCase{"garbage", M, M, M, M, M, M},
                      DecodeCase{" 5 JAN 24", M, M, M, M, M, M}, DecodeCase{"12Z  5 JAN", M, M, M, M, M, M},
                      DecodeCase{"7:00 AM EST [1200Z]  5 JAN 24", M, M, M, M, M, M},
                      DecodeCase{"0700 EST  5 JAN 24", M, M, M, M, M, M}));

TEST(DateDecodeLabel, WrittenLabelsReadBack) {
    // Every UTC label of the hour and minute forms gives its record back.
    for (time_t t = -631152000 + 1234; t < 2524608000; t += 3600 * 37 + 60 * 7) {
        Date d;
        DATE_get_gmdate(&t, &d);
        for (bool minutes : {false, true}) {
            Date w = d;
            if (!minutes) w.min = M;
            const std::string label = label_of(w);
            Date r;
            DATE_decode_label(label.c_str(), &r);
            ASSERT_EQ(r.year, w.year) << label;
            ASSERT_EQ(r.month, w.month) << label;
            ASSERT_EQ(r.day, w.day) << label;
            ASSERT_EQ(r.hour, w.hour) << label;
            ASSERT_EQ(r.min, w.min) << label;
        }
    }
}

TEST(DateDecodeLabel, NullArguments) {
    Date d = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(DATE_decode_label(nullptr, &d), 0);
    EXPECT_EQ(d.year, M);
    EXPECT_EQ(d.month, M);
    EXPECT_EQ(DATE_decode_label("12Z  5 JAN 24", nullptr), -1);
}

struct MonthCase {
    const char *name;
    int month;
};

void PrintTo(const MonthCase &c, std::ostream *os) {
    *os << '"' << (c.name != nullptr ? c.name : "(null)") << '"';
}

class DateDecodeMonth : public ::testing::TestWithParam<MonthCase> {};

TEST_P(DateDecodeMonth, DecidesByTheFirstLetters) {
    EXPECT_EQ(DATE_decode_month(GetParam().name), GetParam().month);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DateDecodeMonth,
    ::testing::Values(MonthCase{"JAN", 1}, MonthCase{"jan", 1}, MonthCase{"Jan", 0}, MonthCase{"Feb", 2},
                      MonthCase{"February", 2}, MonthCase{"fx", 2}, MonthCase{"JA", 1}, MonthCase{"ja", 1},
                      MonthCase{"Ja", 0}, MonthCase{"J", 0}, MonthCase{"JUN", 6}, MonthCase{"jul", 7},
                      MonthCase{"JuN", 6}, MonthCase{"jUl", 7}, MonthCase{"MAR", 3}, MonthCase{"may", 5},
                      MonthCase{"Mar", 0}, MonthCase{"APR", 4}, MonthCase{"aug", 8}, MonthCase{"sept", 9},
                      MonthCase{"Oct", 10}, MonthCase{"nov", 11}, MonthCase{"DEC", 12},
                      MonthCase{"January", 0}, MonthCase{"XYZ", 0}, MonthCase{"", 0}, MonthCase{nullptr, 0}));

TEST(DateDecodeMonth, EveryMonthNameOfTheTables) {
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(DATE_decode_month(DATE_month(m)), m) << DATE_month(m);
        EXPECT_EQ(DATE_decode_month(DATE_month_lower(m)), m) << DATE_month_lower(m);
    }
}

// ---- Sequence stamps ----------------------------------------------------------------

TEST(DateSeq, WritesAndReadsTheStamp) {
    char buf[16];
    Date d = at(2024, 1, 5, 12, 30);
    EXPECT_EQ(DATE_make_seq(&d, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "202401051230");
    d = at(24, 2, 29, M, M); // the year is not widened
    DATE_make_seq(&d, buf, sizeof buf);
    EXPECT_STREQ(buf, "002402290000");
    d = at(-1, 13, 32, 24, 60);
    DATE_make_seq(&d, buf, sizeof buf);
    EXPECT_STREQ(buf, "198001010000");

    Date r = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(DATE_decode_seq("202401051230", &r), 0);
    EXPECT_EQ(r.year, 2024);
    EXPECT_EQ(r.month, 1);
    EXPECT_EQ(r.day, 5);
    EXPECT_EQ(r.hour, 12);
    EXPECT_EQ(r.min, 30);
    EXPECT_EQ(r.jday, 4); // the other fields are not touched
    EXPECT_EQ(r.wday, 5);
    EXPECT_EQ(r.sec, 8);
    // A short stamp leaves the fields it lacks missing.
    DATE_decode_seq("20240105", &r);
    EXPECT_EQ(r.day, 5);
    EXPECT_EQ(r.hour, M);
    EXPECT_EQ(r.min, M);
    DATE_decode_seq("x", &r);
    EXPECT_EQ(r.year, M);

    EXPECT_EQ(DATE_make_seq(&d, nullptr, 16), -1);
    EXPECT_EQ(DATE_make_seq(nullptr, buf, sizeof buf), -1);
    EXPECT_EQ(DATE_decode_seq(nullptr, &r), -1);
    EXPECT_EQ(DATE_decode_seq("2024", nullptr), -1);
}

// ---- Forecast periods and templates ---------------------------------------------------------

struct PeriodCase {
    int hours;
    int flag;
    const char *text;
};

void PrintTo(const PeriodCase &c, std::ostream *os) {
    *os << c.hours << " flag " << c.flag;
}

class DateFhourLabel : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(DateFhourLabel, NamesThePeriod) {
    char buf[32] = "stale";
    EXPECT_EQ(DATE_fhour_label(buf, sizeof buf, GetParam().hours, GetParam().flag), buf);
    EXPECT_STREQ(buf, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Periods, DateFhourLabel,
                         ::testing::Values(PeriodCase{12, 0, "12 hour"}, PeriodCase{12, 1, "0.5 day"},
                                           PeriodCase{24, 1, "1 day"}, PeriodCase{36, 1, "1.5 day"},
                                           PeriodCase{48, 1, "2 day"}, PeriodCase{60, 1, "2.5 day"},
                                           PeriodCase{60, 0, "60 hour"}, PeriodCase{6, 1, "6 hour"},
                                           PeriodCase{72, 0, "3 day"}, PeriodCase{84, 0, "3.5 day"},
                                           PeriodCase{66, 0, "66 hour"}, PeriodCase{803, 0, "3 day"},
                                           PeriodCase{902, 0, "2 month"}, PeriodCase{-6, 0, "-6 hour"},
                                           PeriodCase{0, 1, ""}, PeriodCase{M, 0, ""}));

TEST(DateFormatLabel, ExpandsTheTemplateCodes) {
    char buf[96];
    const Date d = at(2024, 1, 5, 6, 30);
    EXPECT_EQ(DATE_format_label(buf, sizeof buf, "%x %F valid %y%m%d%h%n %M [%f] 100%% %q%", 12, "ETA", &d),
              0);
    EXPECT_STREQ(buf, "ETA 12 hour valid 2401050630 JAN [12] 100% q");
    // Without an hour the period may be read in days, and %h and %n are empty.
    const Date day = at(2024, 1, 5, M, M);
    DATE_format_label(buf, sizeof buf, "%F|%h%n|%x|%M", 24, nullptr, &day);
    EXPECT_STREQ(buf, "1 day|||JAN");
    // Start hours are the period of statistics above 5; missing fields write nothing.
    DATE_format_label(buf, sizeof buf, "%F/%f/%y%m%d", 6036000, "", nullptr);
    EXPECT_STREQ(buf, "1.5 day/6036000/");
    DATE_format_label(buf, sizeof buf, "%F %y", 6036000, "", &d);
    EXPECT_STREQ(buf, "36 hour 24");
    EXPECT_EQ(DATE_format_label(buf, sizeof buf, nullptr, 0, nullptr, &d), -1);
    EXPECT_EQ(DATE_format_label(nullptr, 10, "%y", 0, nullptr, &d), -1);
}

// ---- Forecast and valid-time labels ---------------------------------------------------------

struct ForecastCase {
    int code;
    const char *model;
    Date date;
    const char *label;
};

void PrintTo(const ForecastCase &c, std::ostream *os) {
    *os << "code " << c.code << " model " << (c.model != nullptr ? c.model : "(null)") << ": " << c.label;
}

class DateForecastLabel : public ::testing::TestWithParam<ForecastCase> {};

TEST_P(DateForecastLabel, NamesPeriodModelAndValidTime) {
    const ForecastCase &c = GetParam();
    EXPECT_EQ(forecast_of(c.code, c.model, c.date), c.label);
}

const Date kNoon = at(2024, 1, 5, 12, M);

INSTANTIATE_TEST_SUITE_P(
    Forms, DateForecastLabel,
    ::testing::Values(
        ForecastCase{0, "ETA", kNoon, "ETA analysis for 12Z  5 JAN 24"},
        ForecastCase{0, nullptr, kNoon, "Analysis for 12Z  5 JAN 24"},
        ForecastCase{M, "", at(2024, 1, 5, 12, 30), "Analysis for 1230Z  5 JAN 24"},
        ForecastCase{1000, "ETA", at(2024, 1, 5, M, M), "ETA analysis for  5 JAN 24"},
        ForecastCase{12, "ETA", kNoon, "12 hour ETA valid 0Z SAT  6 JAN 24"},
        ForecastCase{1006, "GFS", kNoon, "6 hour GFS valid 18Z FRI  5 JAN 24"},
        ForecastCase{36, "ETA", at(2023, 12, 31, 18, M), "36 hour ETA valid 6Z TUE  2 JAN 24"},
        ForecastCase{24, "ETA", at(2024, 2, 28, M, M), "1 day ETA valid THU 29 FEB 24"},
        ForecastCase{48, "ETA", at(2005, 2, 28, M, M), "2 day ETA valid WED  2 MAR 05"},
        ForecastCase{6012000, "ETA", kNoon, "12 hour ETA analysis valid 12Z  5 JAN 24"},
        ForecastCase{6012000, nullptr, kNoon, "12 hour Analysis valid 12Z  5 JAN 24"},
        ForecastCase{6012000, "ETA", at(2005, 1, 5, M, M), "0.5 day ETA analysis valid  5 JAN 05"},
        ForecastCase{2000000, "ETA", kNoon, "ETA valid 12Z FRI  5 JAN 24"},
        // The reference is repaired: hour 25 is 0, day 0 the first, month 13 January, a negative year 1980.
        ForecastCase{6, "ETA", at(-1, 13, 0, 25, M), "6 hour ETA valid 6Z TUE  1 JAN 80"}));

TEST(DateForecastLabel, InTheDisplayZone) {
    DATE_set_TZ("-EST:-5");
    EXPECT_EQ(forecast_of(12, "ETA", kNoon), "12 hour ETA valid 7 PM EST [00Z] FRI  5 JAN 24");
    EXPECT_EQ(forecast_of(0, "ETA", kNoon), "ETA analysis for 7:00 AM EST [1200Z]  5 JAN 24");
    // A reference date without an hour names days, in no zone.
    EXPECT_EQ(forecast_of(24, "ETA", at(2024, 1, 5, M, M)), "1 day ETA valid SAT  6 JAN 24");
}

TEST(DateValidTime, ValidTimeOfTheReference) {
    EXPECT_EQ(valid_of(12, at(2024, 1, 5, 0, M)), "12Z FRI  5 JAN 24");
    EXPECT_EQ(valid_of(12, at(2024, 1, 5, M, M)), "FRI  5 JAN 24");
    EXPECT_EQ(valid_of(M, at(2024, 1, 5, 6, 45)), "6Z FRI  5 JAN 24");
    EXPECT_EQ(valid_of(3000012, at(2023, 12, 31, 18, M)), "6Z MON  1 JAN 24"); // whatever the statistic
    EXPECT_EQ(valid_of(6012000, kNoon), "12Z FRI  5 JAN 24");
    char buf[32];
    const Date d = kNoon;
    EXPECT_EQ(DATE_make_label_valid_time(0, nullptr, buf, sizeof buf), -1);
    EXPECT_EQ(DATE_make_label_valid_time(0, &d, nullptr, 32), -1);
    EXPECT_EQ(DATE_make_label_for_time_mod(0, "ETA", nullptr, buf, sizeof buf), -1);
    EXPECT_EQ(DATE_make_label(nullptr, buf, sizeof buf), -1);
    EXPECT_EQ(DATE_make_label(&d, nullptr, 32), -1);
}

// The model names come from the model table along file_path.
void use_model_table(const TempDir &dir) {
    write_file(dir.file("mod_name.lup"), "# models\n7:96 GFS\n83 ETA\n");
    RES_put("file_path", dir.path().c_str());
}

TEST(DateModelLabel, FromSecondsAndAModelNumber) {
    TempDir dir;
    use_model_table(dir);
    Date ref = at(2024, 1, 5, 0, 0);
    const time_t secs = DATE_num_sec(&ref);
    char buf[96];
    EXPECT_EQ(DATE_make_label_for(12, 7096, secs, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "12 hour GFS valid 12Z FRI  5 JAN 24");
    EXPECT_EQ(DATE_make_label_for(0, 83, secs, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "ETA analysis for 00Z  5 JAN 24");
    EXPECT_EQ(DATE_make_label_for(6012000, 83, secs, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "12 hour ETA analysis valid 00Z  5 JAN 24");
    EXPECT_EQ(DATE_make_label_for(84, 83, secs + 3600 * 6, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "3.5 day ETA valid 18Z MON  8 JAN 24");
    // An unknown model has no name.
    EXPECT_EQ(DATE_make_label_for(6, 99, secs, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "6 hour  valid 06Z FRI  5 JAN 24");
    // Without a time only the period and the model are written.
    EXPECT_EQ(DATE_make_label_for(12, 83, 0, buf, sizeof buf), -1);
    EXPECT_STREQ(buf, "12 hour ETA");
    EXPECT_EQ(DATE_make_label_for(0, 83, 0, buf, sizeof buf), -1);
    EXPECT_STREQ(buf, "ETA analysis");

    DATE_set_TZ("+CET:1");
    EXPECT_EQ(DATE_make_label_for(12, 7096, secs, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "12 hour GFS valid 1 PM CET FRI  5 JAN 24");
}

TEST(DateModelLabel, FromADateAndAModelNumber) {
    TempDir dir;
    use_model_table(dir);
    char buf[96];
    const Date d = kNoon;
    EXPECT_EQ(DATE_make_label_for_time(12, 7096, &d, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "12 hour GFS valid 0Z SAT  6 JAN 24");
    EXPECT_EQ(DATE_make_label_for_time(0, 99, &d, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Analysis for 12Z  5 JAN 24");
}

TEST(DateModelLabel, UnreadableModelTableGivesNoName) {
    TempDir dir;
    const auto r = run_child([&] {
        RES_put("file_path", dir.path().c_str());
        char buf[96];
        const Date d = kNoon;
        DATE_make_label_for_time(12, 83, &d, buf, sizeof buf);
        return std::string(buf) == "12 hour  valid 0Z SAT  6 JAN 24" ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("VAR_model: Unable to open file"), std::string::npos) << r.err;
}

// Every writer keeps to the buffer it is given: each size from 1 to past the
// whole text gives the text's head, terminated, in a buffer of exactly that
// size (the sanitizer sees any write past it).
TEST(DateLabelBounds, WritersKeepToTheBuffer) {
    DATE_set_TZ("-EST:-5");
    const Date d = at(2024, 1, 5, 12, 30);
    using Writer = std::function<void(char *, std::size_t)>;
    const std::vector<std::pair<const char *, Writer>> writers = {
        {"label", [&](char *s, std::size_t n) { DATE_make_label(&d, s, n); }},
        {"seq", [&](char *s, std::size_t n) { DATE_make_seq(&d, s, n); }},
        {"fhour", [&](char *s, std::size_t n) { DATE_fhour_label(s, n, 84, 0); }},
        {"format",
         [&](char *s, std::size_t n) { DATE_format_label(s, n, "%x %F %y%m%d%h%n %M", 12, "ETA", &d); }},
        {"valid", [&](char *s, std::size_t n) { DATE_make_label_valid_time(12, &d, s, n); }},
        {"forecast", [&](char *s, std::size_t n) { DATE_make_label_for_time_mod(12, "ETA", &d, s, n); }},
        {"analysis", [&](char *s, std::size_t n) { DATE_make_label_for_time_mod(0, "ETA", &d, s, n); }},
    };
    for (const auto &[name, write] : writers) {
        std::vector<char> whole(256, 'x');
        write(whole.data(), whole.size());
        const std::string full = whole.data();
        ASSERT_FALSE(full.empty()) << name;
        for (std::size_t size = 1; size <= full.size() + 1; ++size) {
            std::unique_ptr<char[]> buf(new char[size]);
            std::fill_n(buf.get(), size, 'x');
            write(buf.get(), size);
            EXPECT_EQ(std::string(buf.get()), full.substr(0, size - 1)) << name << " size " << size;
        }
    }
    // A buffer of no size is refused and not written.
    char c = 'x';
    EXPECT_EQ(DATE_make_label(&d, &c, 0), -1);
    EXPECT_EQ(DATE_make_seq(&d, &c, 0), -1);
    EXPECT_EQ(DATE_format_label(&c, 0, "%y", 0, nullptr, &d), -1);
    EXPECT_EQ(DATE_make_label_valid_time(0, &d, &c, 0), -1);
    EXPECT_EQ(DATE_make_label_for_time_mod(0, nullptr, &d, &c, 0), -1);
    EXPECT_EQ(c, 'x');
}

} // namespace
