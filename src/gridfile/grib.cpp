// GRIB product framing: the four header styles, the search for the next
// marker, the indicator, the end of a product and its raw bytes; the block
// reader that every decoding step shares.
// File-static state: the product last found (marker, indicator, start, end),
// the edition and discipline, the header text, the size-line end offset, the
// style remembered after a failed attempt, and the decoder state.
#include "gridfile/grib.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "gridfile/grd_read.h"
#include "gridfile/grd_read_int.h"
#include "gridfile/grib_int.h"
#include "runtime/mess.h"

namespace {

constexpr int SOH = 0x01;
constexpr int ETX = 0x03;
constexpr std::size_t HEADER_LEN = 30;
constexpr const char *RAW_HEADER = "GRIB01 KXXX 010000";

grib_int::Product prod;
grib_int::Decoder dec;
int version = -1;
int discipline = -1;
char wmo_header[HEADER_LEN + 1] = "";
long grid_size = -1; // end offset given by a "GRIB: size" line
int remembered = 0;  // style to try first for the next product

GRD_file *slot(int grd_fd) {
    GRD_file *g = GRD_get_gfile(grd_fd);
    return g != nullptr && g->file != nullptr ? g : nullptr;
}

void set_header(const std::string &text) {
    std::memset(wmo_header, 0, sizeof wmo_header);
    std::memcpy(wmo_header, text.data(), std::min(text.size(), HEADER_LEN));
}

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Passes over white space (and ETX when etx is set); the first other
// character, or EOF.
int skip_space(FILE *f, bool etx) {
    int c;
    do {
        c = std::getc(f);
    } while (c != EOF && (is_space(c) || (etx && c == ETX)));
    return c;
}

// Up to HEADER_LEN characters that end at CR or LF (which is left unread).
std::string read_heading(FILE *f) {
    std::string text;
    int c;
    while (text.size() < HEADER_LEN && (c = std::getc(f)) != EOF) {
        if (c == '\r' || c == '\n') {
            std::ungetc(c, f);
            break;
        }
        text.push_back(char(c));
    }
    return text;
}

// Reads the decimal digits at the stream (at most 18); false without one.
bool read_number(FILE *f, long *value) {
    int c = std::getc(f);
    if (!std::isdigit(c)) {
        if (c != EOF) std::ungetc(c, f);
        return false;
    }
    long v = 0;
    int n = 0;
    while (c != EOF && std::isdigit(c)) {
        if (n++ < 18) v = v * 10 + (c - '0');
        c = std::getc(f);
    }
    if (c != EOF) std::ungetc(c, f);
    *value = v;
    return true;
}

// The text at the stream matches `lit`; the stream is left after the
// characters compared. 1 match, 0 mismatch, -1 the end of the file.
int match(FILE *f, const char *lit) {
    for (const char *p = lit; *p != '\0'; ++p) {
        const int c = std::getc(f);
        if (c == EOF) return -1;
        if (c != static_cast<unsigned char>(*p)) return 0;
    }
    return 1;
}

// A failed attempt leaves the stream where it began.
int not_this_style(FILE *f, long start) {
    std::fseek(f, start, SEEK_SET);
    return 0;
}

bool is_marker(std::uint32_t w) {
    return w == 0x47524942u /* GRIB */ || w == 0x47524944u /* GRID */ || w == 0x42554652u /* BUFR */;
}

std::uint64_t be(const unsigned char *p, int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

bool is_grib() {
    return std::strcmp(prod.marker, "GRIB") == 0;
}

// The end of a product without a length: first by the lengths of its blocks
// (an edition 0 product: product definition, optional grid description and bit
// map, data, then "7777"), else by scanning for a run of at least three '7'
// characters. The offset just past the end marker, -1 when neither finds it.
long product_end_by_marker(FILE *f, long size) {
    if (is_grib()) {
        long pos = prod.start + 4;
        unsigned char h[8];
        bool ok = std::fseek(f, pos, SEEK_SET) == 0 && std::fread(h, 1, 8, f) == 8;
        const unsigned flag = h[7];
        int blocks = 0;
        while (ok) {
            unsigned char l[3];
            ok = std::fseek(f, pos, SEEK_SET) == 0 && std::fread(l, 1, 3, f) == 3;
            const long len = long(be(l, 3));
            ok = ok && len >= 3 && pos + len <= size;
            if (!ok) break;
            pos += len;
            ++blocks;
            // After the product definition come the grid description and the
            // bit map when flagged, then the data block.
            const int wanted = 2 + ((flag & 0x80) != 0 ? 1 : 0) + ((flag & 0x40) != 0 ? 1 : 0);
            if (blocks == wanted) {
                char m[4];
                if (std::fseek(f, pos, SEEK_SET) == 0 && std::fread(m, 1, 4, f) == 4 &&
                    std::memcmp(m, "7777", 4) == 0)
                    return pos + 4;
                break;
            }
        }
    }
    std::fseek(f, prod.start + 4, SEEK_SET);
    int run = 0, c;
    while ((c = std::getc(f)) != EOF) {
        if (c == '7') {
            if (++run >= 3) {
                while ((c = std::getc(f)) == '7') {
                }
                if (c != EOF) std::ungetc(c, f);
                return std::ftell(f);
            }
        } else {
            run = 0;
        }
    }
    return -1;
}

// After an end marker: the next header starts at the next 'G' or 'B' or '*',
// or just past an ETX. -1 at the end of the file.
long next_after_marker(FILE *f, long from) {
    std::fseek(f, from, SEEK_SET);
    int c;
    while ((c = std::getc(f)) != EOF) {
        if (c == 'G' || c == 'B' || c == '*') return std::ftell(f) - 1;
        if (c == ETX) return std::ftell(f);
    }
    return -1;
}

int invalid_size(int grd_fd, long long length) {
    MESS_print(M_WARN, "GRIB_next: Invalid product size: %lld in file: %s\n", length, grd_file::name(grd_fd));
    return -1;
}

int try_style(int grd_fd, int style, long old_pos) {
    switch (style) {
    case 1:
        return GRIB_header_zeq(grd_fd);
    case 2:
        return GRIB_header_ldm(grd_fd, old_pos);
    case 3:
        return GRIB_header_old_zeq(grd_fd);
    default:
        return GRIB_header_raw(grd_fd, old_pos);
    }
}

} // namespace

// ---- Shared services ---------------------------------------------------------------

namespace grib_int {

Product &product() {
    return prod;
}

Decoder &decoder() {
    return dec;
}

long file_size(FILE *f) {
    struct stat st {};
    if (f == nullptr || fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return long(st.st_size);
}

FILE *slot_stream(int grd_fd) {
    GRD_file *g = slot(grd_fd);
    return g != nullptr ? g->file : nullptr;
}

int refuse(int grd_fd, const char *func, const char *reason, ...) {
    char text[200];
    va_list ap;
    va_start(ap, reason);
    std::vsnprintf(text, sizeof text, reason, ap);
    va_end(ap);
    MESS_print(M_WARN, "%s: %s: %s\n", func, text, grd_file::name(grd_fd));
    return 0;
}

long room(FILE *f, long start) {
    // The end marker "7777" follows the last block of a product; a product
    // may claim more than the file holds.
    const long size = file_size(f);
    long limit = size;
    if (prod.end >= 0 && (size < 0 || prod.end - 4 < size)) limit = prod.end - 4;
    if (size < 0 && prod.end < 0) return -1;
    return std::max(0L, limit - start);
}

int read_block(int grd_fd, int len_octets, std::size_t min_len, const char *func, const char *what,
               Block &out) {
    out.oct.clear();
    FILE *f = slot_stream(grd_fd);
    if (f == nullptr) return -1;
    const long start = std::ftell(f);
    unsigned char head[4];
    if (start < 0 || std::fread(head, 1, std::size_t(len_octets), f) != std::size_t(len_octets)) {
        MESS_print(M_WARN, "%s: %s cut short in file: %s\n", func, what, grd_file::name(grd_fd));
        return -1;
    }
    const std::uint64_t len = be(head, len_octets);
    if (len < min_len || len < std::uint64_t(len_octets))
        return refuse(grd_fd, func, "%s of %llu octets is too short", what, (unsigned long long)len);
    const long size = file_size(f);
    const long left = room(f, start);
    if (left >= 0 && len > std::uint64_t(left)) {
        if (size >= 0 && len > std::uint64_t(std::max(0L, size - start))) {
            MESS_print(M_WARN, "%s: %s cut short in file: %s\n", func, what, grd_file::name(grd_fd));
            return -1;
        }
        return refuse(grd_fd, func, "%s of %llu octets runs past the end of the product", what,
                      (unsigned long long)len);
    }
    try {
        out.oct.assign(std::size_t(len) + 1, 0);
    } catch (const std::bad_alloc &) {
        MESS_print(M_WARN, "%s: No memory for the %s of file: %s\n", func, what, grd_file::name(grd_fd));
        return 0;
    }
    std::memcpy(&out.oct[1], head, std::size_t(len_octets));
    const std::size_t rest = std::size_t(len) - std::size_t(len_octets);
    if (std::fread(&out.oct[1 + std::size_t(len_octets)], 1, rest, f) != rest) {
        out.oct.clear();
        MESS_print(M_WARN, "%s: %s cut short in file: %s\n", func, what, grd_file::name(grd_fd));
        return -1;
    }
    return 1;
}

} // namespace grib_int

// ---- Framing ------------------------------------------------------------------------

int GRIB_search(int grd_fd) {
    FILE *f = grib_int::slot_stream(grd_fd);
    if (f == nullptr) return 0;
    // A window over the last four bytes, so that a marker is seen wherever it
    // starts.
    std::uint32_t w = 0;
    int count = 0, c;
    while ((c = std::getc(f)) != EOF) {
        w = (w << 8) | std::uint32_t(c);
        if (++count >= 4 && is_marker(w)) break;
    }
    if (c == EOF) return 0;

    grib_int::Product p;
    p.start = std::ftell(f) - 4;
    for (int i = 0; i < 4; ++i)
        p.marker[i] = char((w >> (24 - 8 * i)) & 0xFF);
    p.marker[4] = '\0';
    std::memcpy(&p.ind[1], p.marker, 4);
    if (std::fread(&p.ind[5], 1, 4, f) != 4) return 0;
    p.ind_len = 8;
    p.edition = p.ind[8];
    const bool grib = std::strcmp(p.marker, "GRIB") == 0;
    const bool bufr = std::strcmp(p.marker, "BUFR") == 0;
    int result = 4;
    if (grib && p.edition == 2) {
        if (std::fread(&p.ind[9], 1, 8, f) != 8) return 0;
        p.ind_len = 16;
        p.length = be(&p.ind[9], 8);
        discipline = p.ind[7];
        version = 2;
        result = 8;
    } else if ((grib && p.edition == 1) || (bufr && p.edition >= 1 && p.edition <= 4)) {
        p.length = be(&p.ind[5], 3);
        version = 1;
    } else {
        // Edition 0 and "GRID" products carry no total length; their end is
        // found by the end marker.
        version = 0;
    }
    if (p.length > 0 && p.length <= std::uint64_t(LONG_MAX - p.start)) p.end = p.start + long(p.length);
    prod = p;
    return result;
}

int GRIB_header_zeq(int grd_fd) {
    GRD_file *g = slot(grd_fd);
    if (g == nullptr) return -1;
    FILE *f = g->file;
    const long start = std::ftell(f);
    int c;
    do {
        c = std::getc(f);
    } while (c == '\r' || c == '\n' || c == ETX);
    if (c == EOF) return -1;
    if (c != '*') return not_this_style(f, start);
    const int m = match(f, "* ");
    if (m < 0) return -1;
    if (m == 0) return not_this_style(f, start);
    std::string text;
    while (text.size() < HEADER_LEN && (c = std::getc(f)) != EOF && c != '\n')
        text.push_back(char(c));
    // The line ends in three characters that are not part of the heading.
    text.resize(text.size() >= 3 ? text.size() - 3 : 0);
    if (GRIB_search(grd_fd) == 0) return -1;
    set_header(text);
    g->itype = 1;
    return 1;
}

int GRIB_header_ldm(int grd_fd, long old_pos) {
    GRD_file *g = slot(grd_fd);
    if (g == nullptr) return -1;
    FILE *f = g->file;
    const long start = std::ftell(f);
    if (start != old_pos) return 0;
    int c = skip_space(f, false);
    if (c == EOF) return -1;
    if (c == ETX) c = skip_space(f, false);
    if (c != SOH) return not_this_style(f, start);
    c = skip_space(f, false);
    if (c == EOF) return not_this_style(f, start);
    std::ungetc(c, f);
    long seq = 0;
    if (!read_number(f, &seq)) return not_this_style(f, start);
    c = skip_space(f, false);
    if (c == EOF) return not_this_style(f, start);
    std::ungetc(c, f);
    const std::string heading = read_heading(f);
    if (GRIB_search(grd_fd) == 0) return -1;
    set_header(heading);
    g->itype = 2;
    return 1;
}

int GRIB_header_raw(int grd_fd, long old_pos) {
    GRD_file *g = slot(grd_fd);
    if (g == nullptr) return -1;
    FILE *f = g->file;
    // Bytes taken by a failed attempt of another style are read again, so
    // that the whole indicator of the product is read here.
    std::fseek(f, old_pos, SEEK_SET);
    // A "GRIB: size" line belongs to the size-line style.
    const int c = skip_space(f, true);
    if (c == 'G' && match(f, "RIB: ") == 1) {
        const int d = std::getc(f);
        if (std::isdigit(d)) return not_this_style(f, old_pos);
    }
    std::fseek(f, old_pos, SEEK_SET);
    if (GRIB_search(grd_fd) == 0) return 0;
    set_header(RAW_HEADER);
    g->itype = 4;
    return 1;
}

int GRIB_header_old_zeq(int grd_fd) {
    GRD_file *g = slot(grd_fd);
    if (g == nullptr) return -1;
    FILE *f = g->file;
    const long start = std::ftell(f);
    int c = skip_space(f, true);
    if (c == EOF) return -1;
    if (c != 'G') return not_this_style(f, start);
    const int m = match(f, "RIB: ");
    if (m < 0) return -1;
    long size = 0;
    if (m == 0 || !read_number(f, &size)) return not_this_style(f, start);
    c = skip_space(f, false);
    if (c != EOF) std::ungetc(c, f);
    grid_size = std::ftell(f) + size;
    std::string heading;
    if (c == SOH) {
        std::getc(f);
        c = skip_space(f, false);
        while (c != EOF && c != '\n')
            c = std::getc(f);
        c = skip_space(f, false);
        if (c != EOF) std::ungetc(c, f);
        heading = read_heading(f);
    }
    if (GRIB_search(grd_fd) == 0) return -1;
    set_header(heading);
    g->itype = 3;
    return 1;
}

int GRIB_header(int grd_fd) {
    GRD_file *g = slot(grd_fd);
    if (g == nullptr) return -1;
    FILE *f = g->file;
    const long old_pos = std::ftell(f);
    if (old_pos < 0) return -1;
    // Nothing of an earlier product stays current when no product follows.
    prod = grib_int::Product{};
    if (remembered != 0) {
        g->itype = remembered;
        remembered = 0;
    }
    int tried = 0;
    if (g->itype >= 1 && g->itype <= 3) {
        tried = g->itype;
        const int r = try_style(grd_fd, tried, old_pos);
        if (tried == 3) MESS_print(M_DEBUG, "old ZEQ: %d\n", r);
        if (r != 0) return r;
        remembered = tried;
        g->itype = 0;
        std::fseek(f, old_pos, SEEK_SET);
    }
    // The bare style passes over anything before a marker, so it comes last.
    for (int style : {1, 2, 3, 4}) {
        if (style == tried) continue;
        const int r = try_style(grd_fd, style, old_pos);
        if (r != 0) return r;
        std::fseek(f, old_pos, SEEK_SET);
    }
    return -1;
}

long GRIB_next(int grd_fd, int where) {
    GRD_file *g = slot(grd_fd);
    if (g == nullptr || prod.start < 0) return -1;
    FILE *f = g->file;
    const long here = std::ftell(f);
    const long size = grib_int::file_size(f);
    long next = -1;
    switch (g->itype) {
    case 1:
    case 2:
    case 4: {
        long end;
        if (prod.length > 0) {
            if (prod.end < 0 || prod.length < std::uint64_t(prod.ind_len + 4) ||
                (size >= 0 && prod.end > size)) {
                std::fseek(f, here, SEEK_SET);
                return invalid_size(grd_fd, (long long)(prod.length));
            }
            end = prod.end;
        } else {
            end = product_end_by_marker(f, size);
            version = 0;
            if (end < 0) break;
        }
        if (prod.length == 0)
            next = next_after_marker(f, end);
        else if (g->itype == 4)
            next = end;
        else if (g->itype == 2)
            next = end + 4; // CR CR LF ETX
        else
            next = end + (prod.ind_len == 16 ? 4 : 1);
        break;
    }
    case 3:
        if (grid_size < 0 || grid_size <= prod.start || (size >= 0 && grid_size > size)) {
            std::fseek(f, here, SEEK_SET);
            return invalid_size(grd_fd, grid_size);
        }
        next = grid_size + 1;
        break;
    default:
        break;
    }
    std::fseek(f, where != 0 && next >= 0 ? next : here, SEEK_SET);
    return next;
}

int GRIB_get_version() {
    return version;
}

int GRIB_get_discipline() {
    return discipline;
}

int GRIB_get_type(int) {
    return static_cast<unsigned char>(prod.marker[3]);
}

int GRIB_get_WMO_header(int, char *header) {
    if (header != nullptr) std::memcpy(header, wmo_header, 18);
    return 0;
}

int GRIB_get_raw(int grd_fd, char **data, int *size) {
    GRD_file *g = slot(grd_fd);
    if (g == nullptr || data == nullptr || size == nullptr) return -1;
    FILE *f = g->file;
    const long start = GRD_get_pos(grd_fd);
    if (std::fseek(f, start, SEEK_SET) != 0 || GRIB_header(grd_fd) != 1) return -1;
    long next = GRIB_next(grd_fd, 1);
    const long fsize = grib_int::file_size(f);
    // The trailer after the last product may be missing.
    if (fsize >= 0 && next > fsize) next = fsize;
    std::fseek(f, start, SEEK_SET);
    if (next <= start) return -1;
    const long count = next - start;
    if (count > INT_MAX) {
        MESS_print(M_WARN, "GRIB_get_raw: Invalid product size: %ld in file: %s\n", count,
                   grd_file::name(grd_fd));
        return -1;
    }
    if (*data == nullptr) {
        *data = static_cast<char *>(std::malloc(std::size_t(count)));
        if (*data == nullptr) return -1;
    } else if (*size < count) {
        MESS_print(M_WARN, "GRIB_get_raw: Product of %ld bytes does not fit a buffer of %d: %s\n", count,
                   *size, grd_file::name(grd_fd));
        return -1;
    }
    const std::size_t n = std::fread(*data, 1, std::size_t(count), f);
    *size = int(n);
    return n > 0 ? int(n) : -1;
}
