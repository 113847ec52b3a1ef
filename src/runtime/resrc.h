// The resource store: every setting of a program is a named resource,
// resolved at start from defaults files, the environment and the command
// line, and read by name afterwards.
#pragma once

#include <cstddef>

#include "runtime/zeqresrc.h"

// Resets the flag slots, builds the option table from the 0-terminated key
// lists (keyed rows first, then positional rows) and resolves every
// resource. Returns 1; -1 (with an error message, nothing resolved) when the
// two lists hold more rows than the table can take.
int RES_init(int argc, char **argv, const res_type *res_key, const res_type *res_pos);

// Fills `obj` with the option-table row of `key`; a key without a row gets an
// empty name and its number is printed on standard output. Returns 1.
int RES_enter(RES_defobj *obj, res_type key);

// Stores the fields of a row; returns 1.
int RES_fill_obj(RES_defobj *obj, const char *def, const char *env, const char *cmd, int slot,
                 DEF_convert cvt, void *out, int *num);

// Resolves the option table (null `def` ends it) from the defaults search
// path, the environment and the command line, then converts the settings that
// act at once. Returns 0.
int RES_decode(int argc, char **argv, RES_defobj *def_table);

// Creates or replaces the resource `name` with a copy of `data` (null: no
// value). Returns 0, or -1 when the record cannot be made.
int RES_new(int index, const char *name, const char *data, DEF_convert cvt);

// Appends `str` to the value of `name` after a newline (creating the resource
// as RES_new does when absent). Returns 0, or -1.
int RES_append(int index, const char *name, const char *str, DEF_convert cvt);

// Stores an ad-hoc resource; as RES_new.
int RES_put(const char *name, const char *value);

// The value of the resource `name` (exact, case-sensitive name): "" when it
// has no value, null when it does not exist. The text belongs to the store and
// stays valid until the resource is replaced.
const char *RES_get(const char *name);

// Converts the value of `name` into `data` by `cvt` (see RES_conv_data);
// 0 when the resource does not exist or `data` is null.
int RES_getval(const char *name, void *data, DEF_convert cvt);

// Splits the value of `name` into a list (at newlines for CV_strings
// resources, else at commas); returns the item count. The caller releases the
// list with free_parsed_array.
int RES_getvals(const char *name, int *paramc, char ***paramv);

// Prints every resource in store order; returns 0.
int RES_list();

// Converts the value text `data` into the target `out` by kind `cvt`:
// CV_bool int, CV_int int, CV_short int16_t, CV_long long, CV_float float,
// CV_color long, CV_string and CV_device const char* (pointing into `data`),
// CV_strcpy a buffer of RES_STRCPY_SIZE chars, CV_path char* (a new copy the
// caller frees with free), CV_region and CV_domain a Domain (through the
// registered domain decoder; without one the target is left as it was).
// Returns 1, or 0 when `data` is null or the kind needs a target and `out` is
// null.
int RES_conv_data(const char *data, void *out, DEF_convert cvt);

// The decoder of domain and region texts for CV_region and CV_domain. The
// domain record and its text belong to the fields layer above this one, so
// the program registers DOM_decode here at start-up. Null unregisters;
// returns 0.
struct Domain;
using RES_domain_decoder = int (*)(const char *text, Domain *domain);
int RES_set_domain_decoder(RES_domain_decoder decode);

// The workstation type for a device name by its first letter.
int RES_set_device(const char *str);

// Remembers the command line; returns 1.
int RES_setCL(int argc, char **argv);

// argv[0] of the remembered command line, or null.
const char *RES_get_prog();

// Copies the base name of the program into `prog` (at most size - 1
// characters); with `prog` null returns a new copy that the caller frees with
// free. Returns the text, or "ZEQ" when the copy cannot be made.
const char *RES_get_progname(char *prog, std::size_t size);

// Prints the syntax page for the program `name` and its two key lists; returns 1.
int RES_help_print(const char *name, const res_type *res_key, const res_type *res_pos);

// Prints the help item of one key; returns 1.
int RES_help_item(res_type res);
