// File names: name conventions and the file-name state, file-name templates,
// file sequences and the current file, paths, file tests, opening and the
// system's own file types.
//
// Output buffers without a size argument hold FILE_NAME_SIZE bytes; every
// copy into a caller's buffer is cut to fit its size. Names are built in
// unbounded strings inside the module.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>

#include "runtime/zeq.h"

// Size of the file-name buffers of the system (names of up to 159 characters).
inline constexpr std::size_t FILE_NAME_SIZE = 160;
// Size of a key value buffer (values of up to 29 characters).
inline constexpr std::size_t FILE_KEY_SIZE = 30;

// ---- Name conventions and the file-name state --------------------------------

// Selects the name convention of a file type: "none" empties the template, a
// type beginning with '@' is itself the template, suffixes ":k=value" set
// template keys and are cut off `type` in place; otherwise the table named by
// resource name_conv (default "name_conv") along resource file_path is
// searched, exactly or by a table type that begins the type. Without
// file_path, a table that is not found in the working directory is taken
// from the system's data directory. 1 found or taken, 0 otherwise (the type
// itself then serves as the template).
int FILE_set_name(char *type);
// Reads "late_off conv hconv" from str (hconv is cleared first); 0.
int FILE_set_name_conv(const char *str);
// Writes "late_off conv hconv" into str; 0.
int FILE_get_name_conv(char *str, std::size_t size = FILE_NAME_SIZE);
// One save slot for the late offset, both templates, the file name and its
// kind; 0.
int FILE_save_name_conv();
int FILE_restore_name_conv();
// Borrows the naming state for the life of the object: FILE_save_name_conv
// on entry, FILE_restore_name_conv on exit. There is one save slot, so a
// scope opened while another is open would overwrite the outer saved state:
// it is refused with a warning, saves and restores nothing, and the outer
// scope restores the state when it ends (active() tells which happened).
class NameConvScope {
public:
    NameConvScope();
    ~NameConvScope();
    NameConvScope(const NameConvScope &) = delete;
    NameConvScope &operator=(const NameConvScope &) = delete;
    bool active() const { return active_; }

private:
    bool active_;
};

// The current file name; FILE_set_filename marks it as a typed whole name.
int FILE_set_filename(const char *str);
// Copies the name into str (when not null) and returns the module's own
// buffer (FILE_NAME_SIZE bytes), which callers may pass as an output buffer.
char *FILE_get_filename(char *str, std::size_t size = FILE_NAME_SIZE);

int FILE_set_late_off(int val);
int FILE_get_late_off();
// Minimum size of a usable file set by a caller (below 1: off); 0.
int FILE_set_min_size(int val);
// The caller's minimum size when set, else the convention's.
int FILE_get_min_size();

// The fixed date fields that pin or step the dates of file names; 0.
int FILE_set_time(const Date *datim);
int FILE_get_time(Date *datim);
// Frees year, month, day, hour and minute of the fixed date fields; 0.
int FILE_reset_time();
// 1 when every date field of datim is free (missing) or names a date within
// its range: a year 0-9999, a month 1-12, a day 1-31 or a step of days -1 to
// -31, an hour 0-23 or a step -(B x 100 + N) with N up to 24 whose hours all
// fall within the day (-3, -106; not -2400), a minute likewise within the
// hour; else 0.
int FILE_valid_time(const Date *datim);

// Template keys: the value is the first 29 characters of str with blanks
// turned into '_'; 0.
int FILE_set_key(char key, const char *str);
int FILE_get_key(char key, char *str, std::size_t size = FILE_KEY_SIZE);

// How typed names are pre-parsed: 0 a '#' date suffix, 1 an extra-info
// suffix; 0.
int FILE_set_type(int type);
// The extra-info suffix (the module's own buffer); at most 39 characters.
char *FILE_get_ext_info();
int FILE_set_ext_info(const char *str);

// Stores the sharing mode; 0.
int ZEQ_share(int mode);

// Chooses the input file: the resource filename, the resource current, in
// batch mode the latest file, else up to four prompts (the answer "list"
// lists the files and asks again rather than reading standard input, which a
// user typing "list" never means). Copies the name into outfile when not
// null. 1 found, 0 a file named by resource that does not exist; ends the
// program with status 10 when the current or latest file or four answers name
// no existing file.
int FILE_get_file(const char *prompt, char *outfile, std::size_t size = FILE_NAME_SIZE);
// The same choice without ending the program for want of a file (one prompt);
// 1 found, 0 not found.
int FILE_get_file_only(const char *prompt, char *outfile, std::size_t size = FILE_NAME_SIZE);

// ---- Templates -------------------------------------------------------------

// Expands a typed name with the current template into out_file and reads its
// date (FILE_get_date); 0.
int FILE_set_file(const char *file, char *out_file, std::size_t size = FILE_NAME_SIZE);
// Builds the name of a date (null: the date of the last name) into out_file
// and the current file name; 0 built from the template, 1 a whole name copied
// or "-" written.
int FILE_set_date(const Date *datim, char *out_file, std::size_t size = FILE_NAME_SIZE);
// The same with the header template; 0 and out_file untouched without a
// year, else 1 when a name was produced and 0 when it is empty.
int FILE_hdr_set_date(const Date *datim, char *out_file, std::size_t size = FILE_NAME_SIZE);
// Lists the files that fit the template on standard output, sorted, in
// columns; 0.
int FILE_list_file();
// Cuts a suffix beginning with '#', '-', '+' or ':' (from the third
// character on) off file and keeps it as the extra info; 0.
int FILE_extract_extra_info(char *file);

// ---- Sequences and the current file ------------------------------------------

// Resolves a current-time spec (null: "la") into the name of a file in
// filename and in the current file name; returns the chosen time in seconds
// since 1970, rounded down to a multiple of the late offset.
time_t FILE_set_current(const char *cur, char *filename, std::size_t size = FILE_NAME_SIZE);
// Starts a file sequence at datim; 0.
int FILE_first(const Date *datim);
// The next name of the sequence in file: 1, or 0 at its end.
int FILE_get_next(char *file, std::size_t size = FILE_NAME_SIZE);
// 0 for a single file; else the number of listed names less one, or the range
// in seconds.
long FILE_get_num_file();
// Steps the sequence's first file one step forward or back and writes its
// name; 1.
int FILE_next_file(char *file, std::size_t size = FILE_NAME_SIZE);
int FILE_prev_file(char *file, std::size_t size = FILE_NAME_SIZE);
// Builds the name of datim + offset seconds into out_file; returns offset
// divided by the late offset (by 100000 when that is not positive).
long FILE_set_date_off(const Date *datim, time_t offset, char *out_file, std::size_t size = FILE_NAME_SIZE);
// The late offset when positive, else 100000.
long FILE_get_offset();
// Default range of a sequence in hours; 0.
int FILE_set_def_hours(int hour);
// The range in seconds from resource num_hour ("H[:M][,H[:M]]"), or the
// default range (also, with a warning, for a number beyond a hundred years).
long FILE_num_hour();
// The skip in seconds from resource num_hour (after the comma), or the late
// offset (also, with a warning, for a number beyond a hundred years).
long FILE_get_skip();
long FILE_get_nsecs();
int FILE_set_nsecs(long val);
long FILE_get_num_hour();
// Prints a formatted debug message followed by the sequence's first date; 0.
[[gnu::format(printf, 1, 2)]] int FILE_print_first_date(const char *str, ...);
// The date read from the last typed name or used for the last built name; 0.
int FILE_get_date(Date *date);

// ---- Paths, file tests, opening and file types ---------------------------------

// 1 when the name begins with '/', '.' or '~'.
int FILE_fullpath(const char *filename);
// Joins file to the directory path (null or empty: none) unless file is a
// standard-stream name or a full path; returns filename.
char *FILE_add_path(const char *path, const char *file, char *filename, std::size_t size = FILE_NAME_SIZE);
// The name of one of the system's tables: file joined to the resource
// file_path. Without that resource, a table missing from the working
// directory is looked for in the system's data directories (the shipped
// tables, then those generated at build time).
std::string FILE_table_path(const char *file);
// Opens a table for reading as FILE_table_path names it (the name tried goes
// into *path when path is not null); a standard-stream name, a command
// ("|...") or anything but a regular file is refused, whoever named it (a
// name that exists but is no regular file with a warning; the caller reports
// the table it did not get). The stream (close with FILE_close), or null.
FILE *FILE_open_table(const char *file, std::string *path);
// Opens `file` for reading only when it is a regular file (checked on the open
// file, so a FIFO cannot block the open); a command or standard-stream name
// is refused, as is anything else that exists but is no regular file, with a
// warning beginning with `caller`. The stream, or null.
FILE *FILE_open_regular(const char *file, const char *caller);
// Appends '/' to a non-empty path that does not end in one (when it fits); 0.
int FILE_add_path_delim(char *path, std::size_t size = FILE_NAME_SIZE);
// Expands a leading "~" or "~user" to the home directory; 0.
int FILE_add_user_path(const char *file, char *filename, std::size_t size = FILE_NAME_SIZE);
// 1 for "", "-", "std" and "stdn" (any case).
int FILE_is_stdio(const char *file);
// 1 for a standard-stream name or an existing file.
int FILE_exist(const char *file);
int FILE_is_dir(const char *file);
int FILE_is_file(const char *file);
int FILE_is_fifo(const char *file);
int FILE_is_device(const char *file);
// Size in bytes; -1 when the file does not exist.
long FILE_size(const char *file);
// Modification time in seconds since 1970; -1 when the file does not exist.
time_t FILE_modtime(const char *file);
// Removes the file; 0.
int FILE_delete(const char *file);
// Makes the missing directories of dir ('\' turned into '/' in place); flag
// is the number of trailing parts that are not directories. 1 when the
// parent directory already existed, else 0.
int FILE_make_dir(char *dir, int flag);
// What to do with an existing output file: 1 write anew, 2 append, 3 leave
// it, 0 no decision (flag 1 or 2: whether appending may be offered).
int FILE_overwrite(const char *filename, int flag);
// Opens a file by name: standard streams, "|command" pipes, "~" names, and
// the missing directories made when writing. Null on failure. Close what it
// returns with FILE_close. A command, or for reading a file that is not a
// regular file (a device, a FIFO, a directory), is opened only for a name the
// user gave (see below); any other such name is refused with a warning that
// names it and where it came from, and nothing is run or opened.
FILE *FILE_open(const char *file, const char *access);

// ---- Where names come from ---------------------------------------------------
// A name beginning with '|' runs a shell command, and a device or FIFO can
// block or never end: the user may name them, data may not. The channels
// through which the user speaks register their texts: the command line and
// the environment (the resource module), answers typed at a prompt, and the
// values of a defaults file that the running user owns and that no one else
// can write. A name counts as the user's when it is one of those texts whole,
// or a whole item of one (items end at ',' and new lines): "|lpr" of
// "ps,|lpr" is the user's, "|cmd" of "fi:|cmd:temp" is not. Every other name
// (read from a region, station, grid, colour, font or any other file, now or
// by readers written later) is refused without the reader doing anything.

// How FILE_open treats commands and files that are not regular.
enum FILE_trust_mode {
    FILE_TRUST_USER = 0, // the default: only names the user gave
    FILE_TRUST_ALL = 1,  // every name (a process that names its files itself, as a unit test does)
    FILE_TRUST_NONE = 2, // none at all, whatever was registered (fuzz harnesses)
};
// Sets the mode; returns the one in force before.
int FILE_set_trust(int mode);
// Registers a text the user gave; 0.
int FILE_user_text(const char *text);
// Registers a text read from `source` (a defaults file the user does not hold
// alone), so that a refusal of a name within it says where it came from; 0.
int FILE_data_text(const char *text, const char *source);
// 1 when FILE_open would take `file` as a name the user gave, else 0.
int FILE_user_name(const char *file);
// Closes a stream of FILE_open: a pipe is closed with pclose (the result is
// the command's exit status, -1 when it did not end normally), the standard
// streams are flushed and stay open, any other stream is closed with fclose
// (0, or EOF on failure). -1 for a null stream.
int FILE_close(FILE *stream);
// Closes an output stream of FILE_open and tells whether everything written
// reached its destination: 0, or -1 when a write or the close failed or a
// pipe's command ended with a non-zero status. The stream is closed either way.
int FILE_close_output(FILE *stream);
// The number of the system's own file type by its first characters: 11
// surface text, 12 upper air text, 5 point data, 6 grid, 8 metafile, 9
// image; -1 otherwise or when it cannot be opened.
int FILE_type(const char *filename);
