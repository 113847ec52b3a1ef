// Small services shared by the readers and writers of the system's files:
// line readers, the byte-order layer, linear interpolation and the float code.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// ---- Line readers ------------------------------------------------------------
// Each reader leaves the line feed that ends a line in the stream and passes
// over it at the start of the next call, so: a line longer than the width
// comes back in pieces over successive calls; an empty line gives 0 and an
// empty text; an empty first line of a stream is passed over; a final line
// feed just before the end of input gives EOF on the next call. At the end of
// input the result is EOF and the buffer is left unchanged. A width below 1
// reads nothing and gives EOF.

// The next line, at most 160 characters: string must hold 161 bytes. Returns
// its length, 0 for an empty line, EOF at the end of input.
int fgetline(FILE *ifile, char *string);
// The next line, at most len characters (string must hold len + 1 bytes):
// the number of characters read, 0 for an empty line, EOF at the end.
int fgetnline(FILE *ifile, char *string, int len);
// As fgetnline, but 1 when a line was read.
int fgetstring(FILE *ifile, char *string, int len);
// As fgetstring, then the text ends at its first carriage return and every
// other byte at most 0x20 or above 0x7F becomes a blank.
int fget_rawstring(FILE *ifile, char *string, int len);
// Skips the rest of the current line and its line feed; when the stream
// stands at a line feed it consumes nothing. 0, or EOF at the end of input.
int fskipline(FILE *ifile);
// The longest line fget_anyline keeps, in characters.
inline constexpr std::size_t LINE_LIMIT = 65536;
// Reads the next line into line, without its line feed; false at the end of
// input (a last line without a line feed is still read). A line longer than
// LINE_LIMIT characters is cut there with a warning and the rest of it is
// passed over.
bool fget_anyline(FILE *ifile, std::string &line);

// ---- Numbers -----------------------------------------------------------------

// (x - x1) * (y2 - y1) / (x2 - x1) + y1 in single precision; x1 != x2.
float linear_interp(float x, float x1, float x2, float y1, float y2);
// Exchanges the two values; returns 0.
int fswap(float *x, float *y);
// The three-digit code of x: for |x| >= 1 the decimal exponent followed by the
// first two significant digits (12 -> 112, 1 -> 10), for |x| < 1 ten plus the
// exponent followed by the second and third significant digits (0.5 -> 900);
// negated for a negative x; 0 for 0 and for values that are not finite. The
// scaling is single precision, so 0.12 gives 919.
int float2int(float x);

// ---- Byte order --------------------------------------------------------------
// One process-wide setting, replaced by every swap_setup. Swapping is on
// until the first call.

// -1: never swap; 1: the data are big-endian (swap on a little-endian host);
// 2: the data are little-endian (swap on a big-endian host); any other value:
// always swap. Returns 0.
int swap_setup(int flag);
// Reverse the 2, 4 or 8 bytes at ptr in place when swapping is on: 0; -1 and
// no change when it is off.
int swap_short(unsigned char *ptr);
int swap_long(unsigned char *ptr);
int swap_double(unsigned char *ptr);
// Reverse each of num consecutive 2- or 4-byte values: 0; -1 when off.
int swap_shorts(unsigned char *ptr, int num);
int swap_longs(unsigned char *ptr, int num);
// Read one 2-, 4- or 8-byte value into data and reverse it when swapping is
// on; the item count of the read (1, or 0 at the end or on error).
int fread_short_swap(unsigned char *data, FILE *ifile);
int fread_long_swap(unsigned char *data, FILE *ifile);
int fread_double_swap(unsigned char *data, FILE *ifile);
// Reverse the 2- or 4-byte value in place when swapping is on (the caller's
// value stays reversed) and write it; the item count of the write.
int fwrite_short_swap(unsigned char *data, FILE *ofile);
int fwrite_long_swap(unsigned char *data, FILE *ofile);

// ---- WMO numbers and ICAO prefixes -------------------------------------------
// A station known only by its five-digit WMO number is stored under an
// identifier made of the ICAO country prefix of its WMO block range and the
// last digits of the number, so that every station has a five-character
// identifier.

// Writes the identifier of wmo into id (6 bytes; longer results are cut):
// a two-character prefix and wmo mod 1000 in three digits ("K2530" for 72530),
// a one-letter prefix and wmo mod 10000 in four digits ("X4560" for 34560), or
// for a number in no prefix range the number in five digits ("08600").
// Returns 0.
int wmo_to_id(char *id, int wmo);
// The WMO number of an identifier into *wmo (99999 when it has none). Five
// digits set their number and return -1 (no letter prefix); a letter, any
// character and three digits, or U, X, Y or Z and four digits, give the number
// of the digits plus the base of the prefix (nothing added for an unknown
// prefix) and return 0; anything else returns -1.
int id_to_wmo(const char *id, int *wmo);
