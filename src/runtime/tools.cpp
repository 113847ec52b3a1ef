#include "runtime/tools.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// ---- Byte-order state --------------------------------------------------------

// 1 while the swapping functions reverse bytes; on until swap_setup says otherwise.
unsigned swap = 1;
// Its first byte in memory is 1 on a little-endian host, 0 on a big-endian one.
const int swaptest = 1;

bool host_is_little_endian() {
    unsigned char first = 0;
    std::memcpy(&first, &swaptest, 1);
    return first == 1;
}

void reverse_bytes(unsigned char *ptr, int size) {
    std::reverse(ptr, ptr + size);
}

int swap_values(unsigned char *ptr, int size, int num) {
    if (!swap) return -1;
    for (int i = 0; i < num; ++i)
        reverse_bytes(ptr + static_cast<long>(i) * size, size);
    return 0;
}

int fread_swap(unsigned char *data, int size, FILE *ifile) {
    const auto n = static_cast<int>(std::fread(data, static_cast<std::size_t>(size), 1, ifile));
    if (n == 1 && swap) reverse_bytes(data, size);
    return n;
}

int fwrite_swap(unsigned char *data, int size, FILE *ofile) {
    if (swap) reverse_bytes(data, size);
    return static_cast<int>(std::fwrite(data, static_cast<std::size_t>(size), 1, ofile));
}

// ---- Line reading ------------------------------------------------------------

// Reads up to width characters of the current line into string. When the
// stream stands at a line feed, that line feed is passed over first; when the
// next line is empty too, string becomes empty and the result is 0. The line
// feed that ends the text read stays in the stream. Returns the number of
// characters read, 0 for an empty line, EOF at the end of input (string
// unchanged).
int read_line(FILE *ifile, char *string, int width) {
    if (!ifile || !string || width < 1) return EOF;
    int c = std::getc(ifile);
    if (c == EOF) return EOF;
    if (c == '\n') {
        c = std::getc(ifile);
        if (c == EOF) return EOF;
        if (c == '\n') {
            std::ungetc(c, ifile);
            string[0] = '\0';
            return 0;
        }
    }
    int n = 0;
    for (;;) {
        string[n++] = static_cast<char>(c);
        if (n >= width) break;
        c = std::getc(ifile);
        if (c == EOF) break;
        if (c == '\n') {
            std::ungetc(c, ifile);
            break;
        }
    }
    string[n] = '\0';
    return n;
}

} // namespace

// ---- Line readers ------------------------------------------------------------

int fgetline(FILE *ifile, char *string) {
    return read_line(ifile, string, 160);
}

int fgetnline(FILE *ifile, char *string, int len) {
    return read_line(ifile, string, len);
}

int fgetstring(FILE *ifile, char *string, int len) {
    const int n = read_line(ifile, string, len);
    return n > 0 ? 1 : n;
}

int fget_rawstring(FILE *ifile, char *string, int len) {
    const int result = fgetstring(ifile, string, len);
    if (result != 1) return result;
    for (std::size_t i = std::strlen(string); i > 0; --i) {
        auto c = static_cast<unsigned char>(string[i - 1]);
        if (c == '\r') {
            string[i - 1] = '\0';
        } else if (c <= 0x20 || c > 0x7F) {
            string[i - 1] = ' ';
        }
    }
    return result;
}

int fskipline(FILE *ifile) {
    if (!ifile) return EOF;
    int c = std::getc(ifile);
    if (c == EOF) return EOF;
    if (c == '\n') {
        std::ungetc(c, ifile);
        return 0;
    }
    while ((c = std::getc(ifile)) != EOF) {
        if (c == '\n') return 0;
    }
    return EOF;
}

// ---- Numbers -----------------------------------------------------------------

float linear_interp(float x, float x1, float x2, float y1, float y2) {
    return (x - x1) * (y2 - y1) / (x2 - x1) + y1;
}

int fswap(float *x, float *y) {
    std::swap(*x, *y);
    return 0;
}

int float2int(float x) {
    if (x == 0.0f || !std::isfinite(x)) return 0;
    const bool negative = x < 0.0f;
    float value = std::fabs(x);

    // Truncating log10 + 5 gives the floor for values from 1e-5 up.
    int e = static_cast<int>(std::log10(static_cast<double>(value)) + 5.0) - 5;
    int m = 0;
    if (e < 0) {
        for (int i = e; i <= 1; ++i)
            value *= 10.0f;
        m = static_cast<int>(value) % 100;
        e += 10;
    } else if (e == 0) {
        m = static_cast<int>(10.0f * value) % 100;
    } else {
        for (int i = 1; i < e; ++i)
            value /= 10.0f;
        m = static_cast<int>(value) % 100;
    }
    const int code = 100 * e + m;
    return negative ? -code : code;
}

// ---- Byte order --------------------------------------------------------------

int swap_setup(int flag) {
    const bool little = host_is_little_endian();
    swap = 1;
    if (flag == -1 || (flag == 1 && !little) || (flag == 2 && little)) swap = 0;
    return 0;
}

int swap_short(unsigned char *ptr) {
    return swap_values(ptr, 2, 1);
}
int swap_long(unsigned char *ptr) {
    return swap_values(ptr, 4, 1);
}
int swap_double(unsigned char *ptr) {
    return swap_values(ptr, 8, 1);
}
int swap_shorts(unsigned char *ptr, int num) {
    return swap_values(ptr, 2, num);
}
int swap_longs(unsigned char *ptr, int num) {
    return swap_values(ptr, 4, num);
}

int fread_short_swap(unsigned char *data, FILE *ifile) {
    return fread_swap(data, 2, ifile);
}
int fread_long_swap(unsigned char *data, FILE *ifile) {
    return fread_swap(data, 4, ifile);
}
int fread_double_swap(unsigned char *data, FILE *ifile) {
    return fread_swap(data, 8, ifile);
}

int fwrite_short_swap(unsigned char *data, FILE *ofile) {
    return fwrite_swap(data, 2, ofile);
}
int fwrite_long_swap(unsigned char *data, FILE *ofile) {
    return fwrite_swap(data, 4, ofile);
}
