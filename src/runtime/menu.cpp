// Text menus on the terminal: shows numbered rows in one or two columns and
// reads the choice as a number, an abbreviation or a shown name.
// No file-static state (the tables belong to their callers).
#include "runtime/menu.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/string.h"
#include "runtime/system.h"

namespace {

constexpr int MAX_SHOWN = 79;   // rows a menu shows at most
constexpr int ANSWER_LEN = 19;  // characters of an answer kept in the caller's string
constexpr int TWO_COLUMNS = 13; // from this many shown rows on, two columns

constexpr const char *SEPARATOR = " --------------------               ";
constexpr const char *EXIT_ENTRY = " -1: Exit program                  \n";

bool valid_menu_num(int menu_num) {
    return menu_num >= 0 && menu_num < 10;
}

// The rows 1, 2, ... before the end that menu number `menu_num` shows.
std::vector<const MENU_item *> shown_rows(const MENU_item *menu, int menu_num) {
    std::vector<const MENU_item *> rows;
    if (!menu || !menu[0].name || !valid_menu_num(menu_num)) return rows;
    for (const MENU_item *row = menu + 1; row->name && static_cast<int>(rows.size()) < MAX_SHOWN; ++row)
        if (row->disp[menu_num] == 1) rows.push_back(row);
    return rows;
}

const char *text(const char *s) {
    return s ? s : "";
}

bool separator(const MENU_item *row) {
    return row->name[0] == '-';
}

// One entry of the list: `last` ends the line.
void print_entry(int number, const MENU_item *row, bool last) {
    if (separator(row))
        MESS_print(M_PRINT, "%s%s", SEPARATOR, last ? "\n" : "");
    else
        MESS_print(M_PRINT, last ? " %2d: %-30s\n" : " %2d: %-30s ", number, row->name);
}

void copy_answer(char *string, const char *abbr) {
    strntcpy(string, text(abbr), ANSWER_LEN);
}

// A whole number typed as the answer; false for anything else (a lone '-' too).
bool answer_number(const char *word, long &value) {
    if (!string_is_num(word) || std::strcmp(word, "-") == 0) return false;
    errno = 0;
    value = std::strtol(word, nullptr, 10);
    return errno == 0;
}

} // namespace

int MENU_print(const char *title, const MENU_item *menu, int menu_num, int flag) {
    const std::vector<const MENU_item *> rows = shown_rows(menu, menu_num);
    const int n = static_cast<int>(rows.size());
    MESS_print(M_PRINT, "%s\n", text(title));

    const bool two = n >= TWO_COLUMNS;
    if (!two) {
        for (int i = 1; i <= n; ++i)
            print_entry(i, rows[i - 1], true);
    } else {
        const int h = (n + 1) / 2;
        for (int i = 1; i < h; ++i) {
            print_entry(i, rows[i - 1], false);
            print_entry(i + h, rows[i + h - 1], true);
        }
        if (n % 2) {
            print_entry(h, rows[h - 1], true);
        } else {
            print_entry(h, rows[h - 1], false);
            print_entry(n, rows[n - 1], true);
        }
    }

    if (flag & MENU_HELP) MESS_print(M_PRINT, " 99: Help                          \n");
    const char *back = menu ? text(menu[0].name) : "";
    if ((flag & MENU_EXIT) && (flag & MENU_MAIN)) {
        MESS_print(M_PRINT, two ? "  0: %-30s " : "  0: %-30s\n", back);
        MESS_print(M_PRINT, "%s", EXIT_ENTRY);
    } else if (flag & MENU_EXIT) {
        MESS_print(M_PRINT, "  0: Exit program                  \n");
    } else if (flag & MENU_MAIN) {
        MESS_print(M_PRINT, "  0: %-30s\n", back);
    }
    MESS_print(M_PRINT, "\n");
    return 1;
}

int MENU_process(const char *title, const MENU_item *menu, int menu_num, const char *prompt, char *string,
                 int flag) {
    MENU_print(title, menu, menu_num, flag);
    const std::vector<const MENU_item *> rows = shown_rows(menu, menu_num);
    const int n = static_cast<int>(rows.size());
    const bool exit_entry = flag & MENU_EXIT;
    const bool main_entry = flag & MENU_MAIN;
    const long lowest = exit_entry ? -1 : main_entry ? 0 : 1;

    for (;;) {
        string[0] = '\0';
        ZEQ_promptl(prompt, string);
        if (!string[0]) {
            // Nothing more can be read (or, in batch mode, nobody answers):
            // leave the menu as its exit (or return) entry would, instead of
            // asking for ever.
            if (FLAG_batch() || std::feof(stdin) || std::ferror(stdin))
                return exit_entry && main_entry ? -1 : 0;
            continue;
        }
        if (std::strcmp(string, "?") != 0) break;
        std::string list = menu && menu[0].name ? text(menu[0].abbr) : "";
        for (const MENU_item *row : rows)
            list += std::string(",") + text(row->abbr);
        MESS_print(M_PRINT, "%s\n\n", list.c_str());
    }

    int value = MISSING;
    if (exit_entry && main_entry) {
        if (std::strcmp(string, "Exit program") == 0 || stricmp(string, "exit") == 0)
            value = -1;
        else if (std::strcmp(string, "Return to main menu") == 0 || stricmp(string, "main") == 0)
            value = 0;
    } else if (exit_entry) {
        if (std::strcmp(string, "Exit program") == 0 || stricmp(string, "exit") == 0) value = 0;
    } else if (main_entry) {
        if (std::strcmp(string, "Return to main menu") == 0 || stricmp(string, "main") == 0) value = 0;
    }

    long number = 0;
    if (value == MISSING && answer_number(string, number) && number >= lowest && number <= n) {
        if (number <= 0) {
            value = static_cast<int>(number);
        } else {
            const MENU_item *row = rows[number - 1];
            copy_answer(string, row->abbr);
            value = row->index;
        }
    }

    if (value == MISSING && menu && menu[0].name) {
        std::vector<const MENU_item *> answers{menu};
        answers.insert(answers.end(), rows.begin(), rows.end());
        for (const MENU_item *row : answers) {
            if ((row->abbr && stricmp(row->abbr, string) == 0) || stricmp(row->name, string) == 0) {
                value = row->index;
                copy_answer(string, row->abbr);
                break;
            }
        }
    }
    return value;
}

int MENU_search(const char *item, const MENU_item *menu) {
    if (!item || !menu) return MISSING;
    for (const MENU_item *row = menu; row->name; ++row)
        if ((row->abbr && stricmp(row->abbr, item) == 0) || stricmp(row->name, item) == 0) return row->index;
    return MISSING;
}

const char *MENU_get_abbr(int index, const MENU_item *menu) {
    if (!menu) return nullptr;
    for (const MENU_item *row = menu; row->name; ++row)
        if (row->index == index) return row->abbr;
    return nullptr;
}

int MENU_check(int index, const MENU_item *menu, int menu_num) {
    if (!menu || !valid_menu_num(menu_num)) return 0;
    for (const MENU_item *row = menu; row->name; ++row)
        if (row->index == index) return row->disp[menu_num] != 0;
    return 0;
}
