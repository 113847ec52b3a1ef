// Messages by kind and level. Every text the system prints goes through
// MESS_print with a kind mask (M_type, zeq.h); a level mask decides which
// kinds show. Error and warn kinds go to standard error, the others to
// standard output; a log file can take a copy, take everything instead of the
// screen or carry time stamps; paging can stop the output after a page.
#pragma once

#include "runtime/zeq.h"

// Prints a formatted message (printf conventions) when its kind shares a bit
// with the level: to the second output file and the log file when they are
// open, and to the screen unless output goes to the log only. Returns 1 when
// it reached the screen, else 0.
[[gnu::format(printf, 2, 3)]] int MESS_print(M_type type, const char *mess, ...);

// 1 when any bit of the mask is enabled in the level, else 0.
int MESS_check(M_type level);

// Applies a comma-separated list of items (the `message` resource):
//   fi=NAME   log to NAME (appended), nothing on the screen
//   @fi=NAME  screen, and NAME appended with a time stamp before each entry
//   +fi=NAME  screen, and NAME appended
//   -fi=NAME  screen, and NAME emptied first
//   dfi=NAME  screen, and NAME opened for appending and closed for each message
//             (at most 159 characters)
//   nopage, page, line=N   no paging; paging every page; page length (22)
//   [+|-]KIND[a|b|c|d]     KIND print, error, warn, mess, out1..out4, debug or
//             none; the letter keeps one sub-level; no sign sets the level to
//             the kind and every lower bit, '+' adds it, '-' removes it.
// A log file that cannot be opened is reported as a warning and the messages
// stay on the screen. Counts as an explicit setting. Returns 0.
int MESS_set_str(const char *str);

// Changes the level: operations 0, 10, 20 set it to `level` with every lower
// bit, 1, 11, 21 add `level`, -1, 9, 19 remove it. Operations of 4 or less
// count as explicit settings; those of 16 or more do nothing once an explicit
// setting was made. Returns 0.
int MESS_set(int oper, M_type level);

// The level (0xFFFFF at start).
M_type MESS_get();
// The number of explicit settings made (0 until the level was set explicitly).
int MESS_check_set();
// The page length (22 at start).
int MESS_get_max_lines();

// Paging mode: 0 never hold, 1 hold only in MESS_hold (at start), 2 also hold
// in MESS_print after a page of lines. Returns 0.
int MESS_set_page(int val);

// Output mode: 1 screen and log (at start), 0 log only, -1 screen and a
// stamped log, 2 screen and a log reopened for every message. Returns 0.
int MESS_set_out(int val);

// Opens a second output file that receives every shown message, closing the
// one open before (FILE_open with the access text); 0, or -1 when it cannot be
// opened. MESS_file_close closes it; 0.
int MESS_file(const char *filename, const char *access);
int MESS_file_close();

// Prints `mess` and waits for the user to press Return, unless the kind is
// off, output goes to the log only, the program runs in batch mode or paging
// is off. Restarts the page line count. Returns 0.
int MESS_hold(M_type type, const char *mess);

// The program banner "      TITLE (Ver VERSION)" and an empty line at the mess
// kind. Returns 0.
int MESS_print_prog(const char *string);
