#include "fields/var_tool.h"

// Stands in for the variable list until it is built: the default type is not kept.
int VAR_set_def_type(int) {
    return 0;
}

// Stands in for the variable definition file until it is built: no file opens.
int VAR_open_file(const char *) {
    return 0;
}

// Stands in for the variable menu until it is built: no file, no menu.
int VAR_read_menu() {
    return 0;
}

// Stands in for the variable menu until it is built: the return entry.
int VAR_menu(const char *, const char *, char *, int) {
    return 0;
}

// Stands in for the variable specification parser until it is built: no entries.
int VAR_setup(const char *, char *) {
    return 0;
}
