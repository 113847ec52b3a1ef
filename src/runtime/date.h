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

// ---- Date labels ------------------------------------------------------------
//
// Labels are written in the display time zone (DATE_set_TZ); the decoders read
// labels in UTC form. Every writer takes its output buffer with its size,
// writes at most size - 1 characters and terminates the text; none of them
// changes the caller's record.
//
// Time codes are statistic * 1000000 + start hour * 1000 + end hour (-9999
// missing); a start or end of 800 or 900 counts as 0, and the period shown is
// the start hour for statistics above 5, else the end hour.

// The date label, in the widest form the record allows: "24", "JAN 24",
// " 5 JAN 24", "12Z  5 JAN 24", "1230Z  5 JAN 24" (UTC, 24-hour clock). With
// a zone offset set, a record that has a time is moved into the zone and
// always shows minutes ("7:00 AM EST [1200Z]  5 JAN 24"); a record without a
// time is labelled as it is. Out-of-range fields are repaired (negative year
// 1980, month 1, day 1, hour and minute 0). 0; -1 when str or date is null or
// size is 0.
int DATE_make_label(const Date *date, char *str, std::size_t size);
// Fills date from a label in one of the UTC forms "hhZ dd MON yy",
// "hhmmZ dd MON yy", "hh:mm:ssZ dd MON yy" (the last three also at the end of
// a longer text, the minute form also with a one-digit hour) or four numbers
// "yy mm dd hh". Two-digit years 0..49 become 2000..2049, 50..199 1950..2099.
// Only a form read completely counts: a label that fits none leaves every
// field -9999, and a month name that names no month leaves the month -9999.
// 0; -1 when date is null.
int DATE_decode_label(const char *str, Date *date);
// The stamp "yyyymmddhhmm" of year, month, day, hour and minute (the year is
// not widened; out-of-range fields repaired as in DATE_make_label). 0; -1 when
// str or date is null or size is 0.
int DATE_make_seq(const Date *date, char *str, std::size_t size);
// Reads a stamp into year, month, day, hour and minute; those not in the text
// become -9999, the other fields are not touched. 0; -1 when str or date is
// null.
int DATE_decode_seq(const char *str, Date *date);
// The text of a forecast period of `hours` ("12 hour", "3 day", "3.5 day",
// "2 month"; 801..899 are days and 901..999 months counted from 800 and 900;
// with flag set 12..60 hours in steps of 12 read "0.5 day".."2.5 day"); empty
// for 0 and -9999. Returns str.
char *DATE_fhour_label(char *str, std::size_t size, int hours, int flag);
// Expands the template `format`: %F forecast period, %f the time code, %x the
// model name, %y year (two digits), %m month, %M month name, %d day, %h hour,
// %n minute; a missing field writes nothing, and '%' before any other
// character is dropped. 0; -1 when str or format is null or size is 0.
int DATE_format_label(char *str, std::size_t size, const char *format, int code, const char *model,
                      const Date *date);
// Forecast label of a model name (may be null) and a reference time in
// seconds: "12 hour ETA valid 12Z FRI  5 JAN 24", "ETA analysis for 00Z  5 JAN
// 24". 0; -1 when the seconds are 0 (the text then holds the period and the
// model name) or str is null. The forms that take a model number and name it
// from the model table (DATE_make_label_for, DATE_make_label_for_time) live
// beside that table in fields/var_tool.h.
int DATE_make_label_for_mod(int code, const char *model, time_t seconds, char *str, std::size_t size);
// Forecast label of a model name (may be null) and a reference date:
// "Analysis for 12Z  5 JAN 24", "12 hour ETA valid 0Z SAT  6 JAN 24"; a date
// without an hour gives the day only. 0; -1 when str or date is null.
int DATE_make_label_for_time_mod(int code, const char *model, const Date *date, char *str, std::size_t size);
// The valid time of a forecast from its reference date, whatever the
// statistic: "12Z FRI  5 JAN 24", or "FRI  5 JAN 24" when the date has no
// hour. 0; -1 when str or date is null.
int DATE_make_label_valid_time(int code, const Date *date, char *str, std::size_t size);

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
