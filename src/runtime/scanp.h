// Pattern scanner: reads fields out of a line of text with a pattern, over a
// cursor that remembers where the line has been read to.
//
// A pattern is a sequence of elements: a blank matches one or more white-space
// characters, any other character itself, and '%' begins a conversion:
//   %[*][<][width][!default!]letter
// '*' matches without storing, a width is exact (with '<' a maximum), and the
// default text stands for a missing number or alternative. Letters:
//   n (int*) position, A letters, N digits, s non-blank run, S rest of the text,
//   c characters without a terminator, w / W white space (W without newlines),
//   d / D (int*) and f / F (float*) numbers (D and F with white space around),
//   (a|b|...) one of literal alternatives, [set] / [^set] a run of a set in
//   which "/A" is any letter, "/N" any digit and "//" the character '/'.
// Text conversions store at most 79 characters and a terminator (except c):
// their destinations hold at least 80. A default text holds at most 19.
#pragma once

// The cursor over one line of text.
struct parse_param {
    char *ptr;    // the text (not copied: the caller keeps it alive)
    int length;   // its length
    int off;      // where the next scan starts
    int len;      // characters consumed by the last scan, counted from off
    int assigned; // values stored by the last scan
    int matched;  // conversions matched by the last scan
    int done;     // 1 when the last scan used its whole pattern
};

// Scans the text at `off` with `pat`, storing through the pointer arguments;
// the number of conversions matched, or -1 when `pat` is empty or `off` is not
// within the text. A scan never moves `off`.
int scanp(parse_param *param, const char *pat, ...);

// Sets the cursor on `str` at offset 0; 1.
int scanp_set(parse_param *param, char *str);

// The current offset.
int scanp_get_off(parse_param *param);

// Sets the offset; 1.
int scanp_off(parse_param *param, int off);

// Adds `off` to the offset; 1.
int scanp_inc_off(parse_param *param, int off);

// Steps over what the last scan consumed; 1.
int scanp_inc(parse_param *param);

// The text at the offset.
char *scanp_str(parse_param *param);

// The character at the offset plus `off` ('\0' outside the text).
char scanp_char(parse_param *param, int off);

// Stores `ch` at the offset plus `off` (in place; nothing outside the text);
// returns `ch`.
char scanp_replace(parse_param *param, int off, char ch);

// Finds `str` in the whole text: its position becomes the offset and the
// result is 1; else 0 with the offset unchanged.
int scanp_search(parse_param *param, const char *str);

// Prints the cursor's state on standard output; 1.
int scanp_print(parse_param *param);
