// Dates: the calendar record `Date` (zeq.h), conversions between it, seconds
// since 1970-01-01 00:00:00 UTC, day numbers and days of the year, the month
// and weekday names, the display time zone used by date labels, and short
// texts of the current time.
//
// Seconds are 64-bit (`time_t`) everywhere; the calendar is the proleptic
// Gregorian calendar in UTC. The display time zone is applied only when a
// label is written.
#pragma once

#include <cstddef>
#include <ctime>

#include "runtime/zeq.h"

// ---- Names -----------------------------------------------------------------

// "JAN".."DEC", "jan".."dec", "January".."December" for 1..12; "" otherwise.
const char *DATE_month(int month);
const char *DATE_month_lower(int month);
const char *DATE_month_long(int month);
// "SUN".."SAT" for 0..6 (0 = Sunday); "" otherwise.
const char *DATE_day_of_week(int wday);
// The month number 1..12 of a month name, 0 when none matches.
int DATE_decode_month(const char *str);

// ---- The record ------------------------------------------------------------

// Sets all eight fields to -9999; 0.
int DATE_init(Date *date);
// Prints "year/month/day hh:mm:ss\n" at message kind `level`; 0.
int DATE_print(M_type level, const Date *date);
// Fills the module's one static record with these fields and second 0 (jday
// and wday are left as they are) and returns it; the next call overwrites it.
Date *DATE_to_struct(int year, int month, int day, int hour, int min);

// ---- Display time zone -----------------------------------------------------

// Sets the display zone from "[+|-]NAME:HOURS": NAME (at most 4 characters)
// is written after label times behind a blank, HOURS (fractions allowed,
// negative west of Greenwich) is the offset added to UTC; a leading '+'
// selects the 12-hour AM/PM clock, '-' the 12-hour clock followed by the UTC
// time, no sign keeps the clock style. Without a number after the first ':'
// the offset is 0. Returns 0.
int DATE_set_TZ(const char *text);
// The offset in seconds (0 at start).
int DATE_get_tz_off();
// The zone text ("Z" at start).
const char *DATE_get_tz_str();
// The clock style of labels: 0 24-hour (at start), 1 12-hour AM/PM, -1
// 12-hour followed by the UTC time.
int DATE_get_tz_pm();

// ---- Current time ----------------------------------------------------------

// Prints the current UTC time as "YY MON DD  hh:mm:ssZ" (no newline) at
// message kind `level`; 0.
int DATE_print_current(M_type level);
// Writes the same text (20 characters) into str of `size` bytes, cut to fit;
// 0, or -1 when str is null or size is 0.
int DATE_get_current_str(char *str, std::size_t size);
// Writes the current UTC day, hour and minute as "DD-hh:mmZ"; as above.
int DATE_get_simple_current_str(char *str, std::size_t size);
// The current UTC time as a full record; 0.
int DATE_get_current_gmdate(Date *date);
// Stores the current time into *secs (when secs is not null) and returns it.
time_t DATE_get_time(time_t *secs);

// ---- Conversions -----------------------------------------------------------

// 1 for a Gregorian leap year, else 0.
int DATE_is_leap(int year);

// Seconds since 1970 of the record, normalising the record in place first: a
// negative year becomes 1980, years 0..49 become 2000..2049 and 50..199
// 1950..2099; a month outside 1..12 becomes 1; a day below 0 or above 31
// becomes 1 (day 0 is the day before the first, days past the month's end run
// into the next month); an hour, minute or second out of range becomes 0.
// jday and wday are neither read nor set. A null record gives 0.
time_t DATE_num_sec(Date *date);
// The same for a runtime broken-down time: tm_year is taken as the record's
// year, so it passes the rules above (tm_year 0..49 means 2000..2049, 50..199
// 1950..2099, 200 and more a full year).
time_t DATE_num_sec_tm(const struct tm *tm);

// Day number of a date, 1 for 1970-01-01 (0 for 1969-12-31); no
// normalisation, a month outside 1..12 counts as January.
int DATE_date_days(int year, int month, int day);
// The date of a day number (1 = 1970-01-01); 0. Null outputs are skipped.
int DATE_days_date(int days, int *year, int *month, int *day);
// Splits seconds of the day into hours, minutes and seconds; a negative input
// gives hour 0, minute 0 and the input as second. Returns 1.
int DATE_time_date(int secs, int *hour, int *min, int *sec);

// The runtime's broken-down UTC or local time of *secs (gmtime, localtime);
// the record is the runtime's shared one. Null for a null secs.
struct tm *DATE_get_gmtime(const time_t *secs);
struct tm *DATE_get_localtime(const time_t *secs);

// Fills every field of the record from *secs in UTC (or the host's local
// time), from the current time when secs is null; 0, or -1 (record all
// -9999) when the time cannot be broken down.
int DATE_get_gmdate(const time_t *secs, Date *date);
int DATE_get_localdate(const time_t *secs, Date *date);

// Month and day of a day of the year (jday bounded to 1..365 or 1..366); 0.
int DATE_julian_monday(int year, int jday, int *month, int *day);
// Day of the year of a date (month bounded to 1..12); 0.
int DATE_monday_julian(int year, int month, int day, int *jday);

// ---- Report time window ----------------------------------------------------
//
// One decode window: a nominal date and time with a span of minutes before
// and after it (15 before and 10 after unless changed). A decoder sets the
// window from a file's date and asks for each report time of day whether it
// lies in the window.

// Sets the window from `date`, the fixed time of the file sequence and the
// resource decode_hour, whose forms are (H, M, N, P, Q decimal integers; a
// negative H or M is a step code -(offset * 100 + step) resolved against the
// file date's hour or minute):
//   H:M  H:M-P  H:M-P+Q  H  H-P  H-P+Q    decode for H:M (or H:00)
//   :-P+Q  :-P                            only the spans
//   cu:cu  cu:cu-P+Q  cu  cu-P+Q          the file date's hour (and minute)
//   cu-N  cu-N-P+Q                        the file date moved back N hours
//   cu:M  cu:M-P+Q                        the file date's hour, minute M
// -P sets the span before the nominal time to P minutes, +Q the span after
// it to Q. Other text after "cu" decodes as plain "cu" (or "cu:cu"); text
// that fits no form changes nothing. Returns 0, -1 for a null date.
int DATE_set_datim(const Date *date);
// Copies the nominal date of the window; returns 0 (-1 for null).
int DATE_get_datim(Date *date);
// Sets the spans (minutes, `pre` signed: -15 is 15 minutes before); they
// take effect at the next DATE_set_datim. Returns 0.
int DATE_set_range(int pre, int post);
// 1 when the time of day hhmm (hour * 100 + minute), taken on the day that
// brings it nearest the nominal time, lies in the window, else 0 (also for
// -9999).
int DATE_chk_range(int hhmm);
