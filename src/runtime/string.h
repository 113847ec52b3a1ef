// String utilities: in-place clean-up, case changes, character-class tests,
// splitting into owned lists, case-insensitive comparison, bounded copies and
// the label number formatter.
//
// Texts are NUL-terminated byte strings in caller-owned buffers; letters and
// case are ASCII. Only the splitters and the two copy makers allocate.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// ---- In-place editing -------------------------------------------------------

// Replaces every character `tar` by `fill`; returns 0.
int fill_string(char *string, char tar, char fill);
// Removes every character `tar`, closing the gaps; returns 0.
int strip_string(char *string, char tar);
// Removes every line feed and carriage return; returns 1.
int wsstrip_string(char *string);
// Removes every line feed and carriage return, then the trailing blanks; returns 1.
int wstrim_string(char *string);
// Removes trailing blanks (the space character only); returns 0.
int trim_string(char *string);
// Removes trailing carriage returns; returns 0.
int trim_cr_string(char *string);
// Removes trailing blanks, then reduces every run of blanks (a leading run
// too) to one blank; returns 0.
int strip_spaces(char *string);
// Removes every backslash and keeps the character after it, so a doubled
// backslash leaves one; a backslash at the very end is dropped. Returns 0.
int strip_escape(char *string);
// num < 0 removes the first -num characters, num >= 0 the last num
// characters; removing more than the length leaves an empty text. Returns 0.
int shift_string(char *string, int num);
// Converts a..z to A..Z (up) or A..Z to a..z (low); 0 for a null or empty
// text, else 1.
int up_string(char *string);
int low_string(char *string);
// Cuts control characters off the end; the last character kept becomes a
// blank when it is above 0x7F, and every earlier character below the blank or
// above 0x7F becomes a blank. 0 for a null or empty text, else 1.
int clean_line(char *line);

// ---- Tests (1 or 0) ----------------------------------------------------------

// The text contains '.' or 'E' (upper case only); 0 for a null or empty text.
int string_is_float(const char *string);
// Every character is an ASCII letter; 0 for a null or empty text.
int string_is_alpha(const char *string);
// After one optional leading '-', every character is a digit (a lone "-"
// gives 1); 0 for a null or empty text.
int string_is_num(const char *string);
// The first len characters are all digits; 0 for a null or empty text.
int string_is_num_len(const char *string, int len);
// The text is null or empty, or every byte is at most 0x20 or above 0x7F.
int string_is_blank(const char *string);

// ---- Copies and search -------------------------------------------------------

// A new heap copy, released with free(); null for a null text or when memory
// runs out.
char *create_string(const char *string);
// A new heap text oldstr + delim + string, released with free(); null when
// string is null or memory runs out. A null oldstr or delim counts as empty.
char *create_strcat(const char *oldstr, const char *delim, const char *string);
// 1 when one of the n texts of the list s1 equals s2 without regard to case.
int searchstr(const char *const *s1, int n, const char *s2);
// The last occurrence of s2 in s1, null when there is none or either is null;
// an empty s2 matches at the last character of s1.
const char *strlstr(const char *s1, const char *s2);
char *strlstr(char *s1, const char *s2);
// Case-insensitive comparison: the difference of the lower-cased characters
// where the texts first differ, 0 when equal; 1 when either is null.
int stricmp(const char *s1, const char *s2);
// The same over at most n characters; the first character is compared even
// when n < 1.
int strnicmp(const char *s1, const char *s2, int n);
// Copies str2 cut to n characters into str1 and terminates it; str1 must hold
// n + 1 bytes. A null str2 copies as empty; nothing is written for n < 0.
// Returns 1.
int strntcpy(char *str1, const char *str2, int n);
// The bounded copy into a caller's buffer of `size` bytes: copies at most
// size - 1 bytes of src and always terminates when size > 0. False when it
// had to cut src, or size is 0 (nothing written). A null C text copies as
// empty; the array forms take the size from the array.
bool copy_text(char *dst, std::size_t size, std::string_view src);
bool copy_text(char *dst, std::size_t size, const char *src);
template <std::size_t N> bool copy_text(char (&dst)[N], std::string_view src) {
    return copy_text(dst, N, src);
}
template <std::size_t N> bool copy_text(char (&dst)[N], const char *src) {
    return copy_text(dst, N, src);
}
// Appends s2 to s1 so that s1 holds at most m characters; s1 must hold m + 1
// bytes. 0 (nothing done) when either is null or s1 already holds m or more
// characters, else 1.
int strmcat(char *s1, const char *s2, int m);
// Writes x into str (size bytes, always terminated; a longer result is cut)
// by a "width.significant.mindecimals" format: decimals = significant -
// (decimal exponent + 1), at least mindecimals; a width of 0 or less means
// significant + 1, at most 9; a magnitude below 1e-5 prints as 0. Returns str.
char *set_num(char *str, std::size_t size, const char *format, float x);
// The position (from 0) of arg in the list of num_items names, matched
// without regard to case; otherwise arg read as a whole number from 1 to
// num_items is returned unchanged; anything else gives -9999.
int chk_arg(const char *arg, const char *const *items, int num_items);

// ---- Splitters ---------------------------------------------------------------
// A parsed list is one heap copy of the input, cut in place, and one array of
// pointers into it whose first pointer is the copy; the caller owns both and
// releases them together with free_parsed_array(argc, argv).

// Splits at every delim: inner and leading delims give empty items, trailing
// delims give none, a text made only of delims gives one empty item. argv
// holds exactly argc pointers. 0, or -1 with argc 0 and argv null for a null
// or empty text or when memory runs out.
int parse_string(const char *string, char delim, int *argc, char ***argv);
// Splits a command at runs of blanks; a later item that begins with a double
// quote runs to the next double quote, blanks included, and is stored without
// the quotes. argv holds argc pointers and a null pointer after them. 0, or -1
// with argc 0 and argv null for a null or empty text or when memory runs out.
int parse_command(const char *string, int *argc, char ***argv);
// Splits command, one blank and string (without its leading blanks) as
// parse_command does; with an empty command the first item is the joining
// blank followed by the first word of string. 0, or -1 with argc 0 and argv
// null when string is null, both texts are empty or memory runs out.
int parse_command_line(const char *command, const char *string, int *argc, char ***argv);
// Releases a parsed list when argc is not 0 and argv is not null; returns 0.
int free_parsed_array(int argc, char **argv);

// A text split by parse_string whose items are released with it.
class ParsedList {
public:
    explicit ParsedList(const char *text, char delim = ',') { parse_string(text, delim, &n_, &v_); }
    ~ParsedList() { free_parsed_array(n_, v_); }
    ParsedList(const ParsedList &) = delete;
    ParsedList &operator=(const ParsedList &) = delete;
    int size() const { return n_; }
    const char *operator[](int i) const { return v_[i]; }
    // The first item; "" when there is none.
    const char *first() const { return n_ > 0 ? v_[0] : ""; }

private:
    int n_ = 0;
    char **v_ = nullptr;
};

// ---- Words --------------------------------------------------------------------

// The words of a text separated by runs of white space (as "%s" reads them).
std::vector<std::string> split_words(std::string_view text);

// Reads a plain decimal number at the start of text (an optional sign, digits
// with an optional point, an optional exponent; no blanks, no "inf", "nan" or
// hexadecimal forms) into *value; the number of characters used, 0 when the
// text does not begin with a number (value unchanged).
std::size_t scan_decimal(std::string_view text, double *value);

// Case-insensitive (ASCII) equality and prefix tests of texts of any kind.
bool iequals(std::string_view a, std::string_view b);
bool istarts_with(std::string_view text, std::string_view prefix);

// Text for an XML attribute value: the five markup characters escaped, tabs
// and line ends as character references, other control characters and bytes
// that are not UTF-8 as '?', so that the document stays well-formed.
std::string xml_attr_text(std::string_view text);

// 1 when format formats exactly one double with printf: a single conversion
// e, E, f, F, g, G, a or A with flags, width and precision, and any "%%".
int string_is_float_format(const char *format);
// 1 when format formats exactly one int with printf: a single conversion d or
// i with flags (but '#'), width and precision, and any "%%".
int string_is_int_format(const char *format);
