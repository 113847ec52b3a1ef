// The table of open grid files (type detection, opening, rewinding, closing,
// the read positions) and the native grid file format; GRIB slots are framed
// and decoded by the grib module, netCDF and GRID-code slots read by the
// module's other files.
// File-static state: the 15 slots with their names and read positions, the
// index-file switch and the value format of native text files.
#include "gridfile/grd_read.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fields/region.h"
#include "gridfile/grd_read_int.h"
#include "gridfile/grib.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

// The longest line of a native file that is read; the rest of a longer line
// is passed over.
constexpr std::size_t LINE_MAX_LEN = 160;
constexpr const char *DEF_FORMAT = "%14.8e";

// What the table keeps for each slot besides its record.
struct SlotState {
    std::string name;           // the file's name, for messages
    bool seekable = true;       // false for the standard streams and pipes
    long cur_pos = 0;           // start of the grid last read
    long new_pos = -1;          // just past the grid last read; -1 unknown
    bool label_pending = false; // an unseekable stream whose first label GRD_getinfo took
    int next = 0;               // unseekable streams: the number of the next record
    long record_end = -1;       // where the record that could not be read ends; -1 unknown
    grd_file::GribSlot grib;    // GRIB slots: continuation and index state
};

std::array<std::unique_ptr<GRD_file>, GRD_MAX_FILES> gfile;
std::array<SlotState, GRD_MAX_FILES> state;

int use_hdrfile = 1;
char format[15] = "";

bool is_stdio_type(int type) {
    return (type >= 1 && type <= 4) || type == 21 || type == 22;
}

bool is_native(int type) {
    return type >= 1 && type <= 4;
}

const char *type_name(int type) {
    switch (type) {
    case 11:
        return "netCDF";
    case 21:
        return "GRIB";
    case 22:
        return "GRID code";
    default:
        return "unknown";
    }
}

bool can_seek(FILE *f, const char *name) {
    return f != stdin && f != stdout && name[0] != '|' && std::ftell(f) >= 0;
}

// Copies a stream that cannot seek into a temporary file, which it replaces;
// null with a warning when that fails.
FILE *spool(FILE *in, const char *name) {
    FILE *tmp = std::tmpfile();
    bool ok = tmp != nullptr;
    char buf[65536];
    std::size_t n;
    while (ok && (n = std::fread(buf, 1, sizeof buf, in)) > 0)
        ok = std::fwrite(buf, 1, n, tmp) == n;
    ok = ok && !std::ferror(in) && std::fflush(tmp) == 0 && std::fseek(tmp, 0, SEEK_SET) == 0;
    FILE_close(in);
    if (!ok) {
        if (tmp != nullptr) std::fclose(tmp);
        MESS_print(M_WARN, "GRD_open: Unable to copy GRIB products into a temporary file: %s\n", name);
        return nullptr;
    }
    return tmp;
}

GRD_file *open_slot(int grd_fd) {
    if (grd_fd < 0 || grd_fd >= GRD_MAX_FILES) return nullptr;
    return gfile[std::size_t(grd_fd)].get();
}

// Reads one line and its line feed; at most LINE_MAX_LEN characters are kept
// (a carriage return before the line feed is dropped). False at the end of
// input with nothing read.
bool read_line(FILE *f, std::string &line) {
    line.clear();
    int c = std::getc(f);
    if (c == EOF) return false;
    while (c != EOF && c != '\n') {
        if (line.size() < LINE_MAX_LEN) line.push_back(char(c));
        c = std::getc(f);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Passes over the rest of the current line and its line feed.
void skip_line(FILE *f) {
    int c;
    do {
        c = std::getc(f);
    } while (c != EOF && c != '\n');
}

bool is_magic(const std::string &line) {
    return line.compare(0, 7, "ZEQGRID") == 0;
}

// The next blank-separated word, at most `width` characters; false at the end
// of input or when the word is longer.
bool read_word(FILE *f, std::string &word, std::size_t width) {
    word.clear();
    int c;
    do {
        c = std::getc(f);
    } while (c != EOF && std::isspace(c));
    if (c == EOF) return false;
    while (c != EOF && !std::isspace(c)) {
        if (word.size() >= width) return false;
        word.push_back(char(c));
        c = std::getc(f);
    }
    if (c != EOF) std::ungetc(c, f);
    return true;
}

// One decimal value; false at the end of input or for a word that is not a
// number.
bool read_value(FILE *f, float *value) {
    std::string word;
    if (!read_word(f, word, 63)) return false;
    char *end = nullptr;
    errno = 0;
    const float v = std::strtof(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0') return false;
    *value = v;
    return true;
}

bool to_float(const std::string &s, float *v) {
    if (s.empty()) return false;
    char *end = nullptr;
    const float x = std::strtof(s.c_str(), &end);
    if (end == s.c_str()) return false;
    *v = x;
    return true;
}

bool to_int(const std::string &s, int *v) {
    if (s.empty()) return false;
    char *end = nullptr;
    errno = 0;
    const long x = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || errno == ERANGE || x < INT32_MIN || x > INT32_MAX) return false;
    *v = int(x);
    return true;
}

// The bytes left from the current position to the end of a seekable stream,
// -1 when not known.
long bytes_left(FILE *f) {
    const long pos = std::ftell(f);
    if (pos < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(f);
    std::fseek(f, pos, SEEK_SET);
    return end < pos ? 0 : end - pos; // a position past the end has nothing left
}

float from_big_endian(const unsigned char *b) {
    const std::uint32_t u = (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) |
                            (std::uint32_t(b[2]) << 8) | std::uint32_t(b[3]);
    return std::bit_cast<float>(u);
}

void to_big_endian(float v, unsigned char *b) {
    const std::uint32_t u = std::bit_cast<std::uint32_t>(v);
    b[0] = static_cast<unsigned char>(u >> 24);
    b[1] = static_cast<unsigned char>(u >> 16);
    b[2] = static_cast<unsigned char>(u >> 8);
    b[3] = static_cast<unsigned char>(u);
}

// A failed read leaves the record without values and marked as holding none.
int read_failed(GRD_report *grd) {
    std::free(grd->grid);
    grd->grid = nullptr;
    grd->source = 0;
    return -1;
}

// A record that is there but cannot be read: the record holds no array; 1.
int unreadable_record(GRD_report *grd) {
    read_failed(grd);
    return 1;
}

int values_cut_short(GRD_report *grd, const std::string &name) {
    MESS_print(M_WARN, "GRD_read: Grid values cut short in file: %s\n", name.c_str());
    return unreadable_record(grd);
}

// ---- Record header -------------------------------------------------------------

// "N-description": the version and the description; any other line is the
// description of a version 0 record.
void parse_version_line(const std::string &line, GRD_report *grd) {
    std::size_t i = 0;
    while (i < line.size() && i < 9 && std::isdigit(static_cast<unsigned char>(line[i])))
        ++i;
    if (i > 0 && i < line.size() && line[i] == '-') {
        grd->version = std::atoi(line.substr(0, i).c_str());
        copy_text(grd->info, std::string_view(line).substr(i + 1));
    } else {
        grd->version = 0;
        copy_text(grd->info, line);
    }
}

// "source version model type ltype level time var[:units]"; fields that are
// not there keep their defaults.
void parse_param_line(const std::string &line, GRD_report *grd, bool keep_version) {
    int *fields[8] = {&grd->source, &grd->version, &grd->model, &grd->type,
                      &grd->ltype,  &grd->level,   &grd->time,  &grd->var};
    const char *p = line.c_str();
    for (int k = 0; k < 8; ++k) {
        char *end = nullptr;
        errno = 0;
        const long v = std::strtol(p, &end, 10);
        if (end == p || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return;
        if (!(k == 1 && keep_version)) *fields[k] = int(v);
        p = end;
    }
    if (*p == ':') {
        std::string_view units(p + 1);
        const std::size_t blank = units.find_first_of(" \t");
        copy_text(grd->units, units.substr(0, blank));
    }
}

// The numbers after the two letters of a projection token, each after a colon.
std::vector<float> token_numbers(const std::string &token) {
    std::vector<float> nums;
    std::size_t i = 2;
    while (i < token.size() && token[i] == ':') {
        const std::size_t j = token.find(':', i + 1);
        const std::string part = token.substr(i + 1, j == std::string::npos ? std::string::npos : j - i - 1);
        float v;
        nums.push_back(to_float(part, &v) ? v : FMISSING);
        if (j == std::string::npos) break;
        i = j;
    }
    return nums;
}

void parse_geometry_line(const std::string &line, GRD_report *grd) {
    Domain &d = grd->domain;
    const std::vector<std::string> w = split_words(line);
    std::size_t k = 0;
    if (k < w.size() && w[k][0] == ':') {
        copy_text(grd->units, std::string_view(w[k]).substr(1));
        ++k;
    }
    if (k >= w.size()) return;

    const std::string &tok = w[k];
    if (std::isalpha(static_cast<unsigned char>(tok[0]))) {
        const std::vector<float> nums = token_numbers(tok);
        bool pole_from_centre = false;
        if (strnicmp(tok.c_str(), "LL", 2) == 0 || strnicmp(tok.c_str(), "PS", 2) == 0) {
            d.proj = std::toupper(static_cast<unsigned char>(tok[0])) == 'L' ? 2 : 1;
            if (!nums.empty() && nums[0] != FMISSING)
                d.plon = nums[0];
            else
                pole_from_centre = true;
        } else if (strnicmp(tok.c_str(), "LC", 2) == 0) {
            d.proj = 4;
            if (nums.size() >= 5) {
                d.plat = nums[0];
                d.plon = nums[1];
                for (int i = 0; i < 3; ++i)
                    d.param[i] = nums[std::size_t(i) + 2];
            } else if (!nums.empty()) {
                d.plon = nums[0];
            }
        } else if (strnicmp(tok.c_str(), "ME", 2) == 0) {
            d.proj = 3;
        }
        ++k;
        float *floats[4] = {&d.clat, &d.clon, &d.dx, &d.dy};
        for (int i = 0; i < 4 && k < w.size(); ++i, ++k)
            to_float(w[k], floats[i]);
        if (k < w.size()) to_int(w[k++], &d.nx);
        if (k < w.size()) to_int(w[k++], &d.ny);
        if (grd->version == 1 && d.clon != FMISSING) d.clon = -d.clon;
        if (pole_from_centre) d.plon = d.clon;
    } else {
        // The old form: a polar stereographic grid "clat clon dx nx ny".
        d.proj = 1;
        if (k < w.size()) to_float(w[k++], &d.clat);
        if (k < w.size()) to_float(w[k++], &d.clon);
        if (k < w.size()) to_float(w[k++], &d.dx);
        d.dy = d.dx;
        if (k < w.size()) to_int(w[k++], &d.nx);
        if (k < w.size()) to_int(w[k++], &d.ny);
        if (grd->version == 1 && d.clon != FMISSING) d.clon = -d.clon;
        d.plon = d.clon;
    }
}

// ---- Values --------------------------------------------------------------------

std::size_t value_count(const Domain &d) {
    if (d.nx <= 0 || d.ny <= 0) return 0;
    const std::size_t nx = std::size_t(d.nx), ny = std::size_t(d.ny);
    if (nx > SIZE_MAX / sizeof(float) / ny) return 0;
    return nx * ny;
}

// Fails early, before anything is allocated, when a seekable stream cannot
// hold n values of at least `min_bytes` bytes each.
bool room_for(FILE *f, bool seekable, std::size_t n, std::size_t min_bytes) {
    if (!seekable) return true;
    const long left = bytes_left(f);
    if (left < 0) return true;
    return n <= std::size_t(left) / min_bytes + 1;
}

bool read_binary_values(FILE *f, float *out, std::size_t n) {
    std::array<unsigned char, 4096> buf;
    std::size_t done = 0;
    while (done < n) {
        const std::size_t want = std::min(n - done, buf.size() / 4);
        if (std::fread(buf.data(), 4, want, f) != want) return false;
        for (std::size_t k = 0; k < want; ++k)
            out[done + k] = from_big_endian(&buf[k * 4]);
        done += want;
    }
    return true;
}

// The line feed that ends a block of binary values.
void end_binary_block(FILE *f) {
    const int c = std::getc(f);
    if (c != '\n' && c != EOF) std::ungetc(c, f);
}

bool skip_binary_values(FILE *f, bool seekable, std::size_t n) {
    if (seekable && n <= std::size_t(LONG_MAX / 4)) return std::fseek(f, long(n * 4), SEEK_CUR) == 0;
    unsigned char b[4];
    for (std::size_t k = 0; k < n; ++k)
        if (std::fread(b, 4, 1, f) != 1) return false;
    return true;
}

bool read_text_values(FILE *f, float *out, std::size_t n) {
    float v = 0;
    for (std::size_t k = 0; k < n; ++k) {
        if (!read_value(f, &v)) return false;
        if (out != nullptr) out[k] = v;
    }
    skip_line(f);
    return true;
}

// Version 4: "kind file offset west_to_east north_first", the values in
// another file.
struct DataRef {
    char kind = 'A';
    std::string file;
    long offset = 0;
    bool west_to_east = true;
    bool north_first = true;
};

bool parse_data_ref(const std::string &line, DataRef *ref) {
    const std::vector<std::string> w = split_words(line);
    if (w.size() < 2) return false;
    ref->kind = w[0][0];
    ref->file = w[1];
    int v = 0;
    if (w.size() > 2 && to_int(w[2], &v)) ref->offset = v;
    if (w.size() > 3 && to_int(w[3], &v)) ref->west_to_east = v == 1;
    if (w.size() > 4 && to_int(w[4], &v)) ref->north_first = v == 1;
    return true;
}

// Reads the `count` values of a version 4 record into a new grid array; -1
// with a warning naming the data file when it cannot be opened (a name read
// from a grid file never runs a command nor opens a device or FIFO: the file
// module refuses it) or holds too few values. The size of a seekable data
// file is checked before the array is allocated, so that a record cannot ask
// for more memory than its data could fill.
int read_external_values(const DataRef &ref, GRD_report *grd, std::size_t count) {
    FILE *df = FILE_open(ref.file.c_str(), "r");
    if (df == nullptr) {
        MESS_print(M_WARN, "GRD_read: Unable to open grid file: %s\n", ref.file.c_str());
        return -1;
    }
    const std::size_t value_bytes = ref.kind == 'A' ? 2 : sizeof(float);
    const bool seekable = std::ftell(df) >= 0;
    bool ok = ref.offset >= 0 && (ref.offset == 0 || std::fseek(df, ref.offset, SEEK_SET) == 0) &&
              room_for(df, seekable, count, value_bytes);
    if (ok) {
        grd->grid = static_cast<float *>(std::malloc(count * sizeof(float)));
        if (grd->grid == nullptr) {
            MESS_print(M_WARN, "GRD_read: No memory for grid field\n");
            FILE_close(df);
            return -1;
        }
    }
    const int nx = grd->domain.nx, ny = grd->domain.ny;
    for (int r = 0; ok && r < ny; ++r) {
        const int j = ref.north_first ? r : ny - 1 - r;
        for (int c = 0; ok && c < nx; ++c) {
            const int i = ref.west_to_east ? c : nx - 1 - c;
            float v = 0;
            if (ref.kind == 'A') {
                ok = read_value(df, &v);
            } else {
                ok = std::fread(&v, sizeof v, 1, df) == 1;
            }
            grd->grid[std::size_t(j) * std::size_t(nx) + std::size_t(i)] = v;
        }
    }
    FILE_close(df);
    if (!ok) {
        MESS_print(M_WARN, "GRD_read: Grid values cut short in file: %s\n", ref.file.c_str());
        return -1;
    }
    return 0;
}

// ---- Native record reading -------------------------------------------------------

// Reads one record from the current position of the stream; rep_type 0
// also reads the values. 0; 1 when the record is there but cannot be read
// (record_end then tells where it ends, when that is known); -1 at the end
// or on an error. After 1 or -1 the record holds no array.
int read_record(GRD_file *g, SlotState &s, GRD_report *grd, int rep_type) {
    FILE *f = g->file;
    std::free(grd->grid);
    grd->grid = nullptr;
    s.record_end = -1;

    std::string label;
    if (s.label_pending) {
        label = g->datim;
        s.label_pending = false;
    } else {
        if (!read_line(f, label)) return read_failed(grd);
        if (is_magic(label)) {
            if (g->type == 4) g->itype = label.size() > 8 && label[8] == 'B' ? 3 : 0;
            if (!read_line(f, label)) return read_failed(grd);
        }
    }
    std::string line;
    if (!read_line(f, line)) return read_failed(grd);

    grd->source = 1;
    grd->model = 1;
    grd->type = grd->ltype = grd->level = grd->time = grd->var = 0;
    grd->units[0] = '\0';
    copy_text(grd->datim, label);
    DATE_decode_label(grd->datim, &grd->date);
    parse_version_line(line, grd);
    const bool zeq4 = g->type == 4;
    if (zeq4) grd->version = g->itype == 3 ? 3 : 0;
    DOM_init(&grd->domain);

    if (grd->version >= 2 && grd->version <= 4) {
        if (!read_line(f, line)) return values_cut_short(grd, s.name);
        parse_param_line(line, grd, zeq4);
    }
    if (zeq4) {
        std::string token;
        if (!read_word(f, token, LINE_MAX_LEN - 1)) return values_cut_short(grd, s.name);
        std::getc(f); // the character after the domain text
        DOM_decode(token.c_str(), &grd->domain);
    } else {
        if (!read_line(f, line)) return values_cut_short(grd, s.name);
        parse_geometry_line(line, grd);
    }

    const std::size_t count = value_count(grd->domain);
    if (count == 0) {
        MESS_print(M_WARN, "GRD_read: Bad grid size %d x %d in file: %s\n", grd->domain.nx, grd->domain.ny,
                   s.name.c_str());
        return unreadable_record(grd);
    }
    const int version = grd->version;
    DataRef ref;
    if (version == 4) {
        if (!read_line(f, line) || !parse_data_ref(line, &ref)) return values_cut_short(grd, s.name);
    }

    if (rep_type != 0) {
        if (version == 3) {
            if (!skip_binary_values(f, s.seekable, count)) return values_cut_short(grd, s.name);
            end_binary_block(f);
        } else if (version != 4) {
            if (!room_for(f, s.seekable, count, 2) || !read_text_values(f, nullptr, count))
                return values_cut_short(grd, s.name);
        }
    } else {
        if (version == 4) {
            if (read_external_values(ref, grd, count) != 0) {
                s.record_end = std::ftell(f);
                return unreadable_record(grd);
            }
            return 0;
        }
        if (version == 3 && !room_for(f, s.seekable, count, 4)) return values_cut_short(grd, s.name);
        if (version != 3 && !room_for(f, s.seekable, count, 2)) return values_cut_short(grd, s.name);
        grd->grid = static_cast<float *>(std::malloc(count * sizeof(float)));
        if (grd->grid == nullptr) {
            MESS_print(M_WARN, "GRD_read: No memory for grid field\n");
            return read_failed(grd);
        }
        if (version == 3) {
            if (!read_binary_values(f, grd->grid, count)) return values_cut_short(grd, s.name);
            end_binary_block(f);
        } else if (!read_text_values(f, grd->grid, count)) {
            return values_cut_short(grd, s.name);
        }
    }
    return 0;
}

// Reads grid *grdnum: the records are counted from the grid last read (or
// from the start after a rewind for an earlier number) and passed over up to
// the one asked for. An unseekable stream can only read on.
int native_read(int grd_fd, GRD_file *g, SlotState &s, GRD_report *grd, int rep_type, int *grdnum) {
    FILE *f = g->file;
    const int n = *grdnum;
    if (n < 0) return read_failed(grd);
    if (s.seekable) {
        if (n < g->num) GRD_rewind(grd_fd);
        const int c = g->num;
        if (n == c) {
            std::fseek(f, s.cur_pos, SEEK_SET);
        } else if (s.new_pos > 0) {
            std::fseek(f, s.new_pos, SEEK_SET);
            g->num = c + 1;
        } else {
            std::fseek(f, s.cur_pos, SEEK_SET);
        }
    } else {
        g->num = s.next;
    }
    // After a failure the next read counts from the start again.
    auto failed = [&] {
        if (s.seekable) {
            g->num = 0;
            s.cur_pos = 0;
            s.new_pos = -1;
        }
        return read_failed(grd);
    };
    // Records passed over: one that cannot be read is passed over too when
    // its end is known; otherwise nothing after it can be found.
    while (g->num < n) {
        GRD_report skip{};
        skip.grid = nullptr;
        const int r = read_record(g, s, &skip, 1);
        if (r != 0 &&
            !(r == 1 && s.seekable && s.record_end >= 0 && std::fseek(f, s.record_end, SEEK_SET) == 0))
            return failed();
        ++g->num;
        ++s.next;
    }
    if (s.seekable) s.cur_pos = std::ftell(f);
    const int r = read_record(g, s, grd, rep_type);
    if (r < 0) return failed();
    ++s.next;
    *grdnum = g->num;
    if (r == 1) {
        MESS_print(M_WARN, "GRD_read: Grid %d cannot be read: %s\n", n, s.name.c_str());
        // The next number reads the next record when this one's end is
        // known; else it finds this record again and ends there.
        if (s.seekable) s.new_pos = s.record_end;
        return 1;
    }
    if (s.seekable) s.new_pos = std::ftell(f);
    return 0;
}

// ---- Native record writing -------------------------------------------------------

bool is_set(float v) {
    return v != FMISSING;
}

int native_write(GRD_file *g, const SlotState &s, GRD_report *grd) {
    if (grd == nullptr || grd->grid == nullptr) return -1;
    const Domain &d = grd->domain;
    const std::size_t count = value_count(d);
    if (count == 0) return -1;
    if (d.proj < 1 || d.proj > 4) {
        MESS_print(M_WARN, "GRD_write: Projection %d cannot be stored in a native grid file: %s\n", d.proj,
                   s.name.c_str());
        return -1;
    }
    FILE *f = g->file;
    const int version = g->type == 3 ? 3 : 2;
    for (char *p = grd->units; *p != '\0'; ++p)
        if (*p == ' ') *p = '_';

    std::fprintf(f, "%s\n%d-%s\n", grd->datim, version, grd->info);
    // The version written is the encoding of the values that follow, so that
    // the record reads back whatever version the grid came with.
    std::fprintf(f, "%d %d %d %d %d %d %d %d", grd->source, version, grd->model, grd->type, grd->ltype,
                 grd->level, grd->time, grd->var);
    if (grd->units[0] != '\0') std::fprintf(f, ":%s", grd->units);
    std::fputc('\n', f);

    switch (d.proj) {
    case 2:
        std::fputs("LL ", f);
        break;
    case 3:
        std::fputs("ME ", f);
        break;
    case 1:
        if (is_set(d.plon) && d.plon != d.clon)
            std::fprintf(f, "PS:%f ", d.plon);
        else
            std::fputs("PS ", f);
        break;
    default:
        if (is_set(d.param[0]))
            std::fprintf(f, "LC:%f:%f:%f:%f:%f ", d.plat, d.plon, d.param[0], d.param[1], d.param[2]);
        else if (is_set(d.plon))
            std::fprintf(f, "LC:%f ", d.plon);
        else
            std::fputs("LC ", f);
        break;
    }
    std::fprintf(f, "%f %f %f %f %d %d\n", d.clat, d.clon, d.dx, d.dy, d.nx, d.ny);

    if (version == 3) {
        std::array<unsigned char, 4096> buf;
        std::size_t done = 0;
        while (done < count) {
            const std::size_t n = std::min(count - done, buf.size() / 4);
            for (std::size_t k = 0; k < n; ++k)
                to_big_endian(grd->grid[done + k], &buf[k * 4]);
            std::fwrite(buf.data(), 4, n, f);
            done += n;
        }
        std::fputc('\n', f);
    } else {
        const char *fmt = format[0] != '\0' ? format : DEF_FORMAT;
        for (std::size_t k = 0; k < count; ++k) {
            std::fprintf(f, fmt, double(grd->grid[k]));
            std::fputc('\n', f);
        }
    }
    if (std::fflush(f) != 0 || std::ferror(f)) {
        MESS_print(M_WARN, "GRD_write: Unable to write grid file: %s\n", s.name.c_str());
        return -1;
    }
    return 0;
}

// A GRIB slot takes raw products: `source` bytes of the record's array, as
// GRIB_get_raw reads them.
int grib_write(GRD_file *g, const SlotState &s, const GRD_report *grd) {
    if (grd == nullptr || grd->grid == nullptr || grd->source <= 0) return -1;
    const std::size_t n = std::size_t(grd->source);
    if (std::fwrite(grd->grid, 1, n, g->file) != n || std::fflush(g->file) != 0) {
        MESS_print(M_WARN, "GRD_write: Unable to write grid file: %s\n", s.name.c_str());
        return -1;
    }
    return 0;
}

} // namespace

// ---- The grid file table ------------------------------------------------------

int GRD_chktype(const char *filename) {
    if (filename == nullptr) return -1;
    FILE *f = FILE_open(filename, "r");
    if (f == nullptr) return -1;
    unsigned char buf[200];
    const std::size_t n = std::fread(buf, 1, sizeof buf, f);
    FILE_close(f);
    if (n == 0) return -1;
    auto starts = [&](const char *magic) {
        const std::size_t len = std::strlen(magic);
        return n >= len && std::memcmp(buf, magic, len) == 0;
    };
    if (buf[0] == ' ' || std::isdigit(buf[0])) return 1;
    if (starts("ZEQGRID4")) return 4;
    if (starts("ZEQGRID")) return 2;
    if (starts("CDF")) return 11;
    if (starts("GRIB") || buf[0] == '*' || buf[0] == 0x01) return 21;
    if (starts("GRID")) return 22;
    for (std::size_t i = 0; i + 4 <= n; ++i)
        if (std::memcmp(buf + i, "GRIB", 4) == 0) return 21;
    return -1;
}

int GRD_open(const char *filename, int f_access, int *f_type) {
    if (f_type == nullptr) return -1;
    int slot = -1;
    for (int i = 0; i < GRD_MAX_FILES && slot < 0; ++i)
        if (!gfile[std::size_t(i)]) slot = i;
    if (slot < 0) return -1;
    if (f_access != 0 && f_access != 1) return -1;

    const char *name = filename != nullptr ? filename : "";
    const bool stdio = FILE_is_stdio(name) != 0;
    if (stdio && *f_type != 2 && *f_type != 3 && *f_type != 21) *f_type = 2;
    if (*f_type == 0) {
        if (f_access != 0) return -1;
        const int detected = GRD_chktype(name);
        if (detected == -1) return -1;
        *f_type = detected;
    }
    const int type = *f_type;
    if (type == 11) {
        const int nc = grd_cdf::open(slot, name, f_access);
        if (nc < 0) return -1;
        auto rec = std::make_unique<GRD_file>();
        std::memset(rec.get(), 0, sizeof(GRD_file));
        rec->fd = nc;
        rec->type = 11;
        rec->cur_var = -1;
        gfile[std::size_t(slot)] = std::move(rec);
        state[std::size_t(slot)] = SlotState{};
        state[std::size_t(slot)].name = name;
        return slot;
    }
    if (type == 22 && f_access != 0) {
        MESS_print(M_WARN, "GRD_open: %s: %s grid files cannot be written\n", name, type_name(type));
        return -1;
    }
    if (!is_native(type) && type != 21 && type != 22) return -1;

    FILE *f = FILE_open(name, f_access == 0 ? "r" : "w");
    if (f == nullptr) return -1;
    if ((type == 21 || type == 22) && f_access == 0 && !can_seek(f, name)) {
        // GRIB products and GRID-code messages are found by moving back and
        // forth in the stream.
        f = spool(f, name);
        if (f == nullptr) return -1;
    }
    auto rec = std::make_unique<GRD_file>();
    std::memset(rec.get(), 0, sizeof(GRD_file));
    rec->file = f;
    rec->hfile = nullptr;
    rec->fd = 1;
    rec->type = type;
    rec->cur_var = -1;
    gfile[std::size_t(slot)] = std::move(rec);

    SlotState &s = state[std::size_t(slot)];
    s = SlotState{};
    s.name = name;
    s.seekable = can_seek(f, name) || ((type == 21 || type == 22) && f_access == 0);
    if (type == 22) grd_code::reset(slot);
    return slot;
}

int GRD_hdr_open(int grd_fd, const char *filename) {
    GRD_file *g = open_slot(grd_fd);
    if (use_hdrfile == 0 || g == nullptr || g->type != 21 || filename == nullptr || filename[0] == '\0')
        return -1;
    FILE *h = FILE_open(filename, "r");
    if (h == nullptr) return -1;
    if (g->hfile != nullptr) FILE_close(g->hfile);
    g->hfile = h;
    return 0;
}

int GRD_rewind(int grd_fd) {
    if (grd_fd < 0 || grd_fd >= GRD_MAX_FILES) return -1;
    GRD_file *g = open_slot(grd_fd);
    if (g == nullptr) return 0;
    SlotState &s = state[std::size_t(grd_fd)];
    if (is_stdio_type(g->type)) {
        if (!s.seekable) return 0;
        std::fseek(g->file, 0, SEEK_SET);
        if (g->hfile != nullptr) std::fseek(g->hfile, 0, SEEK_SET);
        if (g->type == 2 || g->type == 3) {
            std::string line;
            if (!read_line(g->file, line) || !is_magic(line)) std::fseek(g->file, 0, SEEK_SET);
        }
        g->num = 0;
        s.cur_pos = std::ftell(g->file);
        s.new_pos = -1;
        s.grib.restart();
    } else if (g->type == 11) {
        g->cur_var = -1;
        g->num = 0;
    }
    return 0;
}

int GRD_close(int grd_fd) {
    if (grd_fd < 0 || grd_fd >= GRD_MAX_FILES) return -1;
    GRD_file *g = open_slot(grd_fd);
    if (g == nullptr) return 0;
    if (g->type == 11) {
        grd_cdf::close(grd_fd, g->fd);
        gfile[std::size_t(grd_fd)].reset();
        state[std::size_t(grd_fd)] = SlotState{};
        return 0;
    }
    if (!is_stdio_type(g->type)) return -1;
    if (g->type == 22) grd_code::reset(grd_fd);
    if (g->file != nullptr) FILE_close(g->file);
    if (g->hfile != nullptr) FILE_close(g->hfile);
    gfile[std::size_t(grd_fd)].reset();
    state[std::size_t(grd_fd)] = SlotState{};
    return 0;
}

int GRD_getinfo(int grd_fd, GRD_info *info) {
    GRD_file *g = open_slot(grd_fd);
    if (g != nullptr && g->type == 21) return info != nullptr ? GRIB_file_info(grd_fd, info) : -1;
    if (g != nullptr && g->type == 11) return info != nullptr ? grd_cdf::getinfo(grd_fd, g, info) : -1;
    if (g != nullptr && g->type == 22) return info != nullptr ? grd_code::getinfo(grd_fd, g, info) : -1;
    if (g == nullptr || info == nullptr || !is_native(g->type)) return -1;
    SlotState &s = state[std::size_t(grd_fd)];
    std::string line;
    bool have = read_line(g->file, line);
    if (have && is_magic(line)) {
        if (g->type == 4) g->itype = line.size() > 8 && line[8] == 'B' ? 3 : 0;
        have = read_line(g->file, line);
    }
    if (!have) line.clear();
    copy_text(info->datim, line);
    copy_text(g->datim, line);
    DATE_decode_label(line.c_str(), &info->date);
    g->date = info->date;
    info->grid_type = 0;
    s.cur_pos = 0;
    s.new_pos = -1;
    s.label_pending = !s.seekable && have;
    return 0;
}

int GRD_putinfo(int grd_fd, const GRD_info *info) {
    GRD_file *g = open_slot(grd_fd);
    if (g == nullptr) return -1;
    if (g->type == 11) return grd_cdf::putinfo(grd_fd, g, info);
    if (g->type == 1) return 0;
    if (g->type != 2 && g->type != 3) return -1;
    std::fputs("ZEQGRID\n", g->file);
    return std::ferror(g->file) ? -1 : 0;
}

int GRD_read(int grd_fd, GRD_report *grd, int rep_type, int *grdnum) {
    GRD_file *g = open_slot(grd_fd);
    if (g == nullptr || grd == nullptr || grdnum == nullptr) return -1;
    if (g->type == 21) return GRIB_read_grid(grd_fd, grd, rep_type, grdnum);
    if (g->type == 11) return grd_cdf::read(grd_fd, g, grd, rep_type, grdnum);
    if (g->type == 22) return grd_code::read(grd_fd, g, grd, rep_type, grdnum);
    if (!is_native(g->type)) return -1;
    return native_read(grd_fd, g, state[std::size_t(grd_fd)], grd, rep_type, grdnum);
}

int GRD_write(int grd_fd, GRD_report *grd, int, int *grd_num) {
    GRD_file *g = open_slot(grd_fd);
    if (g == nullptr) return -1;
    if (g->type == 21) return grib_write(g, state[std::size_t(grd_fd)], grd);
    if (g->type == 11) return grd_cdf::write(grd_fd, g, grd, grd_num);
    if (g->type < 1 || g->type > 3) return -1;
    return native_write(g, state[std::size_t(grd_fd)], grd);
}

GRD_file *GRD_get_gfile(int ind) {
    return open_slot(ind);
}

long GRD_get_pos(int grd_fd) {
    if (grd_fd < 0 || grd_fd >= GRD_MAX_FILES) return 0;
    return state[std::size_t(grd_fd)].cur_pos;
}

int GRD_setpos(int grd_fd, long offset, int grdnum) {
    GRD_file *g = open_slot(grd_fd);
    if (g != nullptr && g->type == 21) {
        std::fseek(g->file, offset, SEEK_SET);
        state[std::size_t(grd_fd)].new_pos = offset;
        state[std::size_t(grd_fd)].grib.cont = false;
        g->num = grdnum;
    }
    return 1;
}

int GRD_get_header(int grd_fd, char *header) {
    GRD_file *g = open_slot(grd_fd);
    if (g == nullptr || header == nullptr || g->file == nullptr) return -1;
    const long pos = state[std::size_t(grd_fd)].cur_pos;
    std::memset(header, 0, 160);
    std::fseek(g->file, pos, SEEK_SET);
    const std::size_t n = std::fread(header, 1, 160, g->file);
    (void)n;
    std::fseek(g->file, pos, SEEK_SET);
    return 0;
}

int GRD_use_hdr_file(int val) {
    use_hdrfile = val;
    return 0;
}

int GRD_set_format(const char *str) {
    if (str == nullptr || str[0] == '\0') {
        format[0] = '\0';
        return 0;
    }
    if (std::strlen(str) >= sizeof format || !string_is_float_format(str)) {
        MESS_print(M_WARN, "GRD_set_format: Invalid grid value format: %s\n", str);
        return 0;
    }
    copy_text(format, str);
    return 0;
}

// ---- Services of the format readers ---------------------------------------------

namespace grd_file {

const char *name(int grd_fd) {
    if (open_slot(grd_fd) == nullptr) return "";
    return state[std::size_t(grd_fd)].name.c_str();
}

void set_cur_pos(int grd_fd, long pos) {
    if (open_slot(grd_fd) != nullptr) state[std::size_t(grd_fd)].cur_pos = pos;
}

GribPositions grib_positions(int grd_fd) {
    if (open_slot(grd_fd) == nullptr) return {nullptr, nullptr, nullptr};
    SlotState &s = state[std::size_t(grd_fd)];
    return {&s.cur_pos, &s.new_pos, &s.grib};
}

} // namespace grd_file
