// The variable list and its classification, the decoders of times, levels,
// variable names and plot types, the parameter, source and model tables and
// the labels made from them.
//
// Entry indices run from 0 to VAR_MAX - 1; keeping them in range is the
// caller's duty. Label writers take the caller's buffer and its size in bytes
// and always terminate it, cutting a longer label.
#pragma once

#include <cstddef>
#include <ctime>

#include "fields/zeqgrd.h"

// ---- The variable list -------------------------------------------------------

// Resets all 60 entries (the count in use is not changed); 0.
int VAR_init();
// Resets one record: type, time, level type, level and the parameter numbers
// -9999, statuses and flag 0, name, units and format empty; 0.
int VAR_data_init(VAR_data *data);
// Copies dat1 into dat2, then sets dat2's type to 0 and empties its units and
// format; 0.
int VAR_copy(VAR_data *dat2, const VAR_data *dat1);
// The count of entries in use: reset to 0, read, set; 0 from the setters.
int VAR_reset();
int VAR_get_num();
int VAR_set_num(int num);
// The list itself (VAR_MAX entries) and one entry of it.
VAR_data *VAR_get_vars();
VAR_data *VAR_get_var(int ind);
// The plot type given to a variable that nothing else decides (2 at start); 0.
int VAR_set_def_type(int val);

// Field accessors of entry ind; the texts point into the list.
char *VAR_get_name(int ind);
char *VAR_get_units(int ind);
char *VAR_get_format(int ind);
int VAR_get_time(int ind);
int VAR_get_type(int ind);
int VAR_set_type(int ind, int val); // 1
int VAR_get_flag(int ind);
int VAR_set_flag(int ind, int val); // 1
// The entry's level value (not its type) and time code as decimal text, in a
// buffer of each function's own that the next call overwrites.
const char *VAR_get_level_key(int ind);
const char *VAR_get_time_key(int ind);

// The model, level and forecast-time texts that the variable menu matches its
// conditions against (at most 19 characters kept); the setters return 0.
int VAR_set_model_str(const char *str);
int VAR_set_level_str(const char *str);
int VAR_set_time_str(const char *str);
const char *VAR_get_model_str();
const char *VAR_get_level_str();
const char *VAR_get_time_str();

// ---- Classification (1 or 0) -------------------------------------------------
// "kind" is the flag modulo 10: 0 plain, 1 group or vector member, 2 function
// header, 3 sub-function, 4 control item, 5 group header, 6 vector header,
// 8 companion of a vector-valued function, 9 sub-function companion.

int VAR_is_REG(int ind);            // kind 0
int VAR_is_SUBREG(int ind);         // kind 1
int VAR_is_FUNC(int ind);           // kind 2
int VAR_is_SUBFUNC(int ind);        // kind 3
int VAR_is_FUNC_VECT(int ind);      // kind 2 followed by a kind 8, or kind 8
int VAR_is_SUBFUNC_VECT(int ind);   // kind 9
int VAR_is_COMP(int ind);           // kind 5
int VAR_is_VECT(int ind);           // kind 6
int VAR_is_CALC(int ind);           // kind 0 or 1
int VAR_is_SUBCALC(int ind);        // kind 0 or 1
int VAR_is_LABEL(int ind);          // flag 0, 2, 5 or 6
int VAR_is_PLOT(int ind);           // flag below 5
int VAR_is_SUBPLOT(int ind);        // flag below 3, or 10
int VAR_is_DATA(int ind);           // flag at most 10 and not a vector type
int VAR_is_type_MAP(int ind);       // type 6
int VAR_is_FRAME(int ind);          // type 7
int VAR_is_PANEL(int ind);          // type 8
int VAR_is_type_PLOT(int ind);      // type neither 6, 7, 8 nor 10-23
int VAR_is_type_GRID(int ind);      // type 10-23 and kind at most 3
int VAR_is_type_CONT(int ind);      // type 10-17
int VAR_is_type_VECT(int ind);      // type 20-23
int VAR_is_plot_PLOT(int ind);      // VAR_is_PLOT and VAR_is_type_PLOT
int VAR_is_plot_VECT(int ind);      // flag exactly 6
int VAR_is_plot_FUNC(int ind);      // flag exactly 2
int VAR_is_plot_FUNC_VECT(int ind); // flag at most 9 and VAR_is_FUNC_VECT
int VAR_is_plot_GRID(int ind);      // VAR_is_PLOT and type 10-23
int VAR_is_subplot_GRID(int ind);   // VAR_is_SUBPLOT and type 11-23
int VAR_is_plot_CONT(int ind);      // type 11-17
int VAR_is_calc_GRID(int ind);      // kind 2 or 3 and type 10-23
int VAR_is_fit_GRID(int ind);       // kind 0 or 1 and type 10-23
int VAR_is_get_GRID(int ind);       // not kind 2 and type 10-23

// ---- Decoders ----------------------------------------------------------------
// Outside a specification parse the defaults come from flag slots 6 (time),
// 7 and 8 (level type and level) and 11 (plot type); during a parse from the
// top of the inheritance stack.

// Decodes a time text ('12', '12-6acc', 'h12-6max', 'd2', '2.5day', "init",
// "anal-6acc", "time-6", "miss", ...) into *time: status 2 given by the text,
// 1 a default or relative time, 0 not a time (then *time is unchanged).
int VAR_dec_time(const char *str, int *time);
// Decodes a level text ('500mb', '1000-500', 'sfc-500mb', '2m_ag', 's0.995',
// '0.5sig-0.9sig', "trop", ...) into the level type and level: 1 a default,
// 2 otherwise. A text that names no level leaves both unchanged.
int VAR_dec_level(const char *str, int *ltype, int *level);
// Unpacks a layer into its larger (l1) and smaller (l2) bound; other levels
// give the level and -9999. Returns 0.
int VAR_get_level(int ltype, int level, float *l1, float *l2);
// Packs a level type and one or two bounds; returns 0.
int VAR_enc_level(int coord, float l1, float l2, int *ltype, int *level);
// Decodes a variable name into data's name, type and parameter numbers
// (ensemble and probability prefixes folded into var[0]); returns var[0], 1
// for a constant ('#' and a number), 0 for an empty name.
int VAR_dec_var(const char *str, VAR_data *data);
// The plot type code of a plot type word, -1 for any other word.
int VAR_dec_type(const char *str);
// The printed word of a plot type code, "----" for an unknown code.
const char *VAR_print_type(int type);
// Copies a non-empty str into data's units; 0.
int VAR_dec_units(const char *str, VAR_data *data);
// A type word sets data's type (2, else 0); a type that the plot-type setting
// does not allow then becomes contour lines (1).
int VAR_dec_format(const char *str, VAR_data *data);
// Pushes the time, level and type of the entry at the end of the list as the
// defaults of what follows; 0.
int VAR_base_push();

// ---- Parameter, source and model tables ----------------------------------------
// The tables variable.lup, source.lup and mod_name.lup are found in the
// directory of resource file_path.

// Reads the parameter table: 1, 0 when it cannot be opened (warned; the next
// use tries again), -1 when memory runs out.
int VAR_read_varfile();
// The first parameter number of the first row whose abbreviation equals str
// (any case); 0 when there is none.
int VAR_search_var_num(const char *str);
// The label of a parameter (its name, or its abbreviation for the simple and
// minimal label types; "v%d" when unknown) followed by " (units)" when units
// is not empty. The number is taken modulo 1000. Returns str.
char *VAR_str(char *str, std::size_t size, int variable, const char *units);
// The abbreviation of the row whose first number is variable; empty when none.
// Returns str.
char *VAR_abbr(char *str, std::size_t size, int variable);
// The name of a data source (empty when not listed); null when the table
// cannot be opened.
char *VAR_source(char *str, std::size_t size, int source);
// The name of a model, rmod = source*1000 + model or a bare model number;
// empty when not listed; null when the table cannot be opened.
char *VAR_model(char *str, std::size_t size, int rmod);

// Forecast labels of a model number (source * 1000 + model), named from the
// model table: DATE_make_label_for_mod and DATE_make_label_for_time_mod
// (runtime/date.h) with that name, empty when the model is unknown or the
// table cannot be read. They live here, beside the table, because the date
// module stands below it.
int DATE_make_label_for(int code, int model, time_t seconds, char *str, std::size_t size);
int DATE_make_label_for_time(int code, int model, const Date *date, char *str, std::size_t size);

// ---- Labels ------------------------------------------------------------------

// The plot label type: -2 minimal, -1 simple, 0 normal (at start), 1 complete.
// It decides whether labels carry the time and level, name a parameter by its
// abbreviation or its name, and append the plot options. The plot layer reads
// it too; it is held here, with the label builders that read it and the
// plot_param decoding that sets it, so that both layers reach it downward.
int PLT_get_label_type();
// Stores the label type; 0.
int PLT_set_label_type(int val);

// Short time label ('12hr', "init", '12hr-6acc '); returns str.
char *VAR_time(char *str, std::size_t size, int time);
// Short level label ('500mb', 'sfc-500mb', '2m_ag'); returns str.
char *VAR_level(char *str, std::size_t size, int ltype, int level);
// Long time-and-level label ('6 hour acc 500 mb'); 0.
int VAR_make_datalevel(int time, int ltype, int level, char *str, std::size_t size);
// Full label from codes: the time-and-level label (label types -1 to 1), a
// blank, then VAR_str of the parameter and units; 0.
int VAR_make_datatype(int time, int ltype, int level, int variable, const char *units, char *str,
                      std::size_t size);
// The full label of entry ind; 0.
int VAR_make_var_datatype(int ind, char *str, std::size_t size);
// The same followed by " - " and the entry's plot options for the complete
// label type; 0.
int VAR_make_var_form_datatype(int ind, char *str, std::size_t size);
int VAR_make_vardata_form_datatype(const VAR_data *var, char *str, std::size_t size);
// The time-and-level label and a blank (label types -1 to 1), then
// "variable (units)"; 0.
int VAR_make_devtype(int time, int ltype, int level, const char *variable, const char *units, char *str,
                     std::size_t size);
// Sets the plot label type from the words of resource plot_param ("labmin",
// "labsimp", "labnorm", "labcomp"; four letters count, the last one wins); 0.
int VAR_param_decode();

// ---- Tracing -----------------------------------------------------------------

// One record on one line at message kind lev; 0.
int VAR_print(M_type lev, const VAR_data *data);
// Every entry of the list; 0.
int VAR_print_all(M_type lev);
// The full label of a record and a line end; 0.
int VAR_print_info(M_type lev, const VAR_data *data);

// ---- Specification parser ------------------------------------------------------
// The parser reports only through debug messages. A specification that would
// need more than VAR_MAX entries, inheritance deeper than 10 levels (brackets
// and definitions that expand further names), an item over 49 characters, a
// bracket text over 499 or a definition over 999 stops the parse: the list
// then keeps the top-level elements completed before that point.

// Parses the specification `var_str` into the variable list; a leading
// "fi:FILE:" names a definition file, as `filename` does (null: none). An
// entry whose name is neither a parameter of the table nor a calculator
// function is kept but warned of ("VAR_setup: Unknown variable: NAME"). 1 when
// the list holds an entry, else 0.
int VAR_setup(const char *filename, const char *var_str);
// Parses one text at the current depths, appending entries; 0.
int VAR_process(const char *str);
// Decodes one item into the entry at the end of the list (the caller counts
// it); flag 1 lets the item's name expand from the definition file. 0.
int VAR_process_var(const char *str, int flag);
// The definition of `name` (exact case) in the open definition file, copied
// into str (size bytes, cut to fit): 1, or 0 when there is none.
int VAR_lookup(const char *name, char *str, std::size_t size);

// ---- Definition file and variable menu ---------------------------------------------
// A definition file holds one definition a line: abbreviation, one-word
// description ('_' shown as a blank), condition ('1' always, '0' never, or
// alternatives of "mo=", "ft=", "le=" tests joined by '&', separated by ','),
// then the definition; a definition ending with '\' goes on on the next line.

// Closes the open definition file and opens `file` (null or empty: the
// program's name with ".var") along resource file_path; without that
// resource, a file missing from the working directory is taken from the
// system's data directory. 1 when open, else 0 (warned).
int VAR_open_file(const char *file);
// Rebuilds the variable menu from the open definition file: the lines whose
// condition holds for the model, time and level texts, 49 at most. 1, or 0
// (the menu holds only its return row) when no file is open.
int VAR_read_menu();
// Runs the variable menu; the chosen abbreviation, or the typed text, goes
// into `string` (at least 20 bytes). Returns 1 for a variable, 0 for the
// return entry, -1 for the exit, -9999 for free text. In batch mode the first
// variable of the menu ("def" when it has none) with 1.
int VAR_menu(const char *title, const char *prompt, char *string, int flag);
// 1 when the text ustr matches the pattern fstr: alternatives separated by
// '|', '~' negating one; '[...]' sets with ranges, '?' and '.' any character,
// '*' skipping to the next pattern character. 0 for an empty pattern or text.
int VAR_menu_display(const char *fstr, const char *ustr);
// Lists the abbreviations and descriptions of the open file; -1.
int VAR_print_file();
// The description of the abbreviation `str` (any case) into `name` (size
// bytes, cut to fit): 1, or 0 when there is none or no file is open.
int VAR_search_name_file(const char *str, char *name, std::size_t size);
