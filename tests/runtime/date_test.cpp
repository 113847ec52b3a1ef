#include "runtime/date.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

constexpr int M = MISSING;

// Runs a Python script over `input` and returns its output lines as numbers.
// The reference calculations use the calendar and datetime modules.
std::vector<std::vector<long long>> python_rows(const std::string &script, const std::string &input) {
    std::vector<std::vector<long long>> rows;
    const char *python = "/usr/bin/python3";
    if (access(python, X_OK) != 0) {
        ADD_FAILURE() << "the reference calculation needs /usr/bin/python3 (Debian package python3)";
        return rows;
    }
    TempDir dir;
    write_file(dir.file("ref.py"), script);
    write_file(dir.file("in.txt"), input);
    const std::string cmd = std::string(python) + " " + dir.file("ref.py") + " < " + dir.file("in.txt");
    FILE *p = popen(cmd.c_str(), "r");
    if (p == nullptr) {
        ADD_FAILURE() << "cannot run " << cmd;
        return rows;
    }
    char line[512];
    while (std::fgets(line, sizeof line, p) != nullptr) {
        std::istringstream in(line);
        std::vector<long long> row;
        long long v;
        while (in >> v)
            row.push_back(v);
        rows.push_back(row);
    }
    EXPECT_EQ(pclose(p), 0) << cmd;
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

} // namespace
