// The variable list, the variable specification and the variable menu.
#pragma once

// Sets the default plot type code of a variable entry; returns 0.
int VAR_set_def_type(int val);

// Opens the variable definition file (null or empty: the program's own);
// 1 when open, else 0.
int VAR_open_file(const char *file);

// Rebuilds the variable menu from the open definition file; 1, or 0 when no
// file is open.
int VAR_read_menu();

// Runs the variable menu; the chosen abbreviation goes into `string` (80
// bytes). Returns the menu result: 0 the return entry, -9999 free text.
int VAR_menu(const char *title, const char *prompt, char *string, int flag);

// Parses the specification `var_str` (changed in place) into the variable
// list; 1 when the list holds an entry, else 0.
int VAR_setup(const char *filename, char *var_str);
