// Text menus on the terminal: numbered rows in one or two columns, answered by
// a number, an abbreviation or the shown name.
#pragma once

#include "runtime/zeq.h"

// Bits of the flag of a menu call.
inline constexpr int MENU_EXIT = 1; // choice -1 (or 0 alone) leaves the program
inline constexpr int MENU_MAIN = 2; // choice 0 returns to the previous menu
inline constexpr int MENU_HELP = 4; // the " 99: Help" entry is printed

// Prints the rows of menu number `menu_num` (at most 79) under `title`;
// returns 1.
int MENU_print(const char *title, const MENU_item *menu, int menu_num, int flag);

// Prints the menu and reads one answer into `string` (at least 20 bytes).
// Returns the index of the row chosen by number, abbreviation or name (its
// abbreviation, cut to 19 characters, is then in `string`), -1 or 0 for the
// exit and return choices the flag offers, or -9999 with the word left in
// `string` when nothing matched. "?" lists the abbreviations and asks again,
// as does an empty answer. At the end of standard input, and in batch mode
// (where nobody answers), the result is the exit choice (-1) when the flag
// offers exit and return, else 0, with `string` empty.
int MENU_process(const char *title, const MENU_item *menu, int menu_num, const char *prompt, char *string,
                 int flag);

// The index of the first row (row 0 included, display flags ignored) whose
// abbreviation or name equals `item` without regard to case; -9999 when none.
int MENU_search(const char *item, const MENU_item *menu);

// The abbreviation of the first row with that index; null when none.
const char *MENU_get_abbr(int index, const MENU_item *menu);

// 1 when the first row with that index has a non-zero display flag for menu
// number `menu_num`; else 0.
int MENU_check(int index, const MENU_item *menu, int menu_num);
