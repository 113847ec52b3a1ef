// Point-data files: the "ZEQRAW" text format, its header with the field list
// and its station records, read and written through open-file slots.
// File-static state: the slot table `rfile` (five slots, each with its stream,
// field list, record count and the line of the record being read).
#include "plot/raw_read.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fields/var_tool.h"
#include "plot/raw_tool.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/scanp.h"
#include "runtime/string.h"

namespace {

constexpr std::size_t LINE_SIZE = 400; // a record line: 399 characters
constexpr std::size_t TOKEN_SIZE = 80; // a data token: 79 characters
constexpr std::size_t VALUE_SIZE = 80; // the text of a written value
constexpr int FIELD_CODE_OFF = 7;      // field-table code c is field index c - 7

struct Slot {
    FILE *file = nullptr;
    std::string name;
    int fd = -1;             // -1 while being set up, 1 once open
    int type = 0;            // 1 or 2 with a header, 99 bare records
    int access = 0;          // 0 read, 1 write, 2 append
    bool sequential = false; // standard input or a pipe: read in sequence
    long data_pos = -1;      // offset of the first record, once known
    int num = -1;            // record number of the line read last; -1 none since the first record
    int ind = 0;             // next field's offset in line; 0 no record, -1 an empty one delivered
    bool ended = false;      // the end of the data was read (until a rewind)
    int cur_field = 0;
    int num_field = 0;
    int field_off = 0;
    int write_off = 0; // location columns of the records written (0: latitude and longitude)
    std::array<std::array<char, 20>, RAW_NUM_FIELD> field{};
    std::array<std::array<char, 60>, RAW_NUM_FIELD> field_info{};
    std::array<std::array<char, 40>, RAW_NUM_FIELD> field_fmt{};
    std::array<int, 3> field_ind{};
    char line[LINE_SIZE] = "";
};

std::array<std::unique_ptr<Slot>, RAW_NUM_FILE> rfile;

Slot *get_slot(int slot) {
    if (slot < 0 || slot >= RAW_NUM_FILE) return nullptr;
    Slot *s = rfile[static_cast<std::size_t>(slot)].get();
    return s != nullptr && s->fd == 1 ? s : nullptr;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads one line without its line feed, keeping at most size - 1 characters
// (the rest of a longer line is read and dropped); false at the end of the
// stream when nothing was read.
bool read_line(FILE *f, char *buf, std::size_t size) {
    std::size_t n = 0;
    int c = 0;
    bool any = false;
    while ((c = std::getc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (n + 1 < size) buf[n++] = static_cast<char>(c);
    }
    buf[n] = '\0';
    return any;
}

// The next whitespace-separated word of the stream (stored up to 200
// characters); false at the end of the stream.
bool read_word(FILE *f, std::string &word) {
    word.clear();
    int c = 0;
    while ((c = std::getc(f)) != EOF && is_blank(static_cast<char>(c))) {
    }
    if (c == EOF) return false;
    do {
        if (word.size() < 200) word.push_back(static_cast<char>(c));
    } while ((c = std::getc(f)) != EOF && !is_blank(static_cast<char>(c)));
    if (c != EOF) std::ungetc(c, f);
    return true;
}

// After the list's closing word: the rest of its line and the empty lines
// directly after it.
void skip_list_end(FILE *f) {
    int c = 0;
    while ((c = std::getc(f)) != EOF && c != '\n') {
    }
    while ((c = std::getc(f)) != EOF) {
        if (c == '\n') continue;
        if (c == '\r') {
            const int d = std::getc(f);
            if (d == '\n') continue;
            if (d != EOF) std::ungetc(d, f);
            break;
        }
        std::ungetc(c, f);
        break;
    }
}

// Number of location columns of a field list of num entries whose second
// entry is e1: 3 for "lat" or "x", 2 for "p" or "pres", else 1.
int location_columns(int num, std::string_view e1) {
    if (num >= 3 && (iequals(e1, "lat") || iequals(e1, "x"))) return 3;
    if (num >= 2 && (iequals(e1, "p") || iequals(e1, "pres"))) return 2;
    return num > 0 ? 1 : 0;
}

// Splits a list token "name[:info[:format]]".
void split_entry(std::string_view tok, std::string_view &name, std::string_view &info,
                 std::string_view &fmt) {
    name = tok;
    info = fmt = {};
    const std::size_t c1 = tok.find(':');
    if (c1 == std::string_view::npos) return;
    name = tok.substr(0, c1);
    const std::string_view rest = tok.substr(c1 + 1);
    const std::size_t c2 = rest.find(':');
    info = rest.substr(0, c2);
    if (c2 != std::string_view::npos) fmt = rest.substr(c2 + 1);
}

template <std::size_t N> void store(std::array<char, N> &dst, std::string_view src) {
    copy_text(dst.data(), N, src);
}

// Reads the header from the stream's position: magic line, date label,
// information line and, after a '!', the field list. With info null the
// header is only passed over and the slot's field list stays as it is.
void read_header(Slot &s, RAW_info *info) {
    char line[LINE_SIZE];
    read_line(s.file, line, sizeof line); // magic
    read_line(s.file, line, sizeof line);
    wstrim_string(line);
    if (info != nullptr) {
        copy_text(info->datim, line);
        DATE_decode_label(info->datim, &info->date);
    }
    read_line(s.file, line, sizeof line);
    wstrim_string(line);
    const bool list = line[0] == '!';
    if (info != nullptr) copy_text(info->info, list ? line + 1 : line);
    if (!list) return;
    int n = 0;
    std::string word;
    while (read_word(s.file, word) && word[0] != '$') {
        if (info == nullptr || n >= RAW_NUM_FIELD) continue;
        std::string_view name, inf, fmt;
        split_entry(word, name, inf, fmt);
        const auto i = static_cast<std::size_t>(n++);
        store(s.field[i], name);
        store(s.field_info[i], inf);
        fill_string(s.field_info[i].data(), '_', ' ');
        store(s.field_fmt[i], fmt);
    }
    skip_list_end(s.file);
    if (info == nullptr) return;
    s.num_field = n;
    s.field_off = location_columns(n, s.field[1].data());
}

// The field index of a name in the list: the first entry of that name or of
// '-' and that name; -1 when there is none.
int find_name(const Slot &s, const char *name) {
    if (name == nullptr) return -1;
    for (int i = 0; i < s.num_field; ++i) {
        const char *e = s.field[static_cast<std::size_t>(i)].data();
        if (std::strcmp(e, name) == 0 || (e[0] == '-' && std::strcmp(e + 1, name) == 0)) return i;
    }
    return -1;
}

// The field-table index of a designator, or -1.
int table_index(const Slot &s, RAW_field f) {
    if (f.name != nullptr) return find_name(s, f.name);
    if (f.code >= FIELD_CODE_OFF && f.code - FIELD_CODE_OFF < RAW_NUM_FIELD) return f.code - FIELD_CODE_OFF;
    return -1;
}

// One column of the field table (names, infos or formats).
template <std::size_t N> using Column = std::array<std::array<char, N>, RAW_NUM_FIELD> Slot::*;

// Stores text in the designated entry of a column; the list grows to hold
// it. 1 when stored, else 0.
template <std::size_t N> int set_entry(int slot, RAW_field field, const char *text, Column<N> column) {
    Slot *s = get_slot(slot);
    if (s == nullptr) return 0;
    const int i = table_index(*s, field);
    if (i < 0) return 0;
    copy_text(((*s).*column)[static_cast<std::size_t>(i)].data(), N, text);
    if (i >= s->num_field) s->num_field = i + 1;
    return 1;
}

// The designated entry of a column within the list, or null when it is
// outside or empty.
template <std::size_t N> const char *get_entry(int slot, RAW_field field, Column<N> column) {
    const Slot *s = get_slot(slot);
    if (s == nullptr) return nullptr;
    const int i = table_index(*s, field);
    if (i < 0 || i >= s->num_field) return nullptr;
    const char *t = ((*s).*column)[static_cast<std::size_t>(i)].data();
    return t[0] != '\0' ? t : nullptr;
}

// Passes over one record line; false at the end of the data (the end of the
// stream or an empty line).
bool skip_line(Slot &s) {
    char scratch[LINE_SIZE];
    if (!read_line(s.file, scratch, sizeof scratch)) return false;
    trim_cr_string(scratch);
    return scratch[0] != '\0';
}

// Positions a seekable stream at its first record.
void seek_records(Slot &s) {
    if (s.data_pos >= 0) {
        std::fseek(s.file, s.data_pos, SEEK_SET);
        return;
    }
    std::fseek(s.file, 0, SEEK_SET);
    if (s.type != 99) read_header(s, nullptr);
    s.data_pos = std::ftell(s.file);
}

// Token at or after pos in line: [start, end); false when there is none.
bool next_token(const char *line, int pos, int &start, int &end) {
    int i = pos < 0 ? 0 : pos;
    const int len = static_cast<int>(std::strlen(line));
    if (i > len) return false;
    while (i < len && is_blank(line[i]))
        ++i;
    if (i >= len) return false;
    start = i;
    while (i < len && !is_blank(line[i]))
        ++i;
    end = i;
    return true;
}

std::string token_text(const char *line, int start, int end) {
    const int n =
        end - start < static_cast<int>(TOKEN_SIZE) - 1 ? end - start : static_cast<int>(TOKEN_SIZE) - 1;
    return std::string(line + start, static_cast<std::size_t>(n));
}

float to_float(double v) {
    if (!std::isfinite(v) || std::fabs(v) > FLT_MAX) return FMISSING;
    return static_cast<float>(v);
}

// Reads the location at offset pos with "%!-!f" numbers followed by a blank
// or the end of the line; the number of numbers read (count of them wanted).
int read_location(char *line, int pos, int count, float *v, int *second, int *end) {
    parse_param p{};
    scanp_set(&p, line);
    int start = pos;
    while (line[start] != '\0' && is_blank(line[start]))
        ++start;
    scanp_off(&p, start);
    int n2 = 0;
    const int m = count == 2 ? scanp(&p, "%!-!f %n%!-!f ", &v[0], &n2, &v[1]) : scanp(&p, "%!-!f ", &v[0]);
    const bool whole = p.done == 1 || p.off + p.len >= p.length;
    if (m != (count == 2 ? 3 : 1) || !whole) return 0;
    *second = start + n2;
    *end = start + p.len;
    return count;
}

// Reads the identifier and the location columns of the slot's current line
// into the report; the offset where the data tokens start.
int parse_record(Slot &s, RAW_report *r) {
    int start = 0, end = 0;
    if (!next_token(s.line, 0, start, end)) start = end = static_cast<int>(std::strlen(s.line));
    s.field_ind = {start, end, -1};
    const std::string id(s.line + start, static_cast<std::size_t>(end - start));
    copy_text(r->id, id);
    if (id.size() > 4) {
        const long v = std::strtol(id.c_str(), nullptr, 10);
        r->wmo = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    }
    r->type = MISSING;
    r->lat = r->lon = FMISSING;
    r->value[0] = r->value[1] = FMISSING;
    r->data[0] = '\0';
    r->format[0] = '\0';

    int data = end;
    float v[2] = {FMISSING, FMISSING};
    int second = -1, after = end;
    if (s.num_field == 0 || s.field_off == 3) {
        if (read_location(s.line, end, 2, v, &second, &after) == 2) {
            r->lat = to_float(v[0]);
            r->lon = to_float(v[1]);
            s.field_ind[2] = second;
            data = after;
        } else if (s.field_off == 3) {
            // Not numbers: both tokens are passed over all the same.
            int t0 = 0, t1 = 0;
            if (next_token(s.line, end, t0, t1)) {
                data = t1;
                if (next_token(s.line, t1, t0, t1)) {
                    s.field_ind[2] = t0;
                    data = t1;
                }
            }
        }
    } else if (s.field_off == 2) {
        if (read_location(s.line, end, 1, v, &second, &after) == 1) {
            r->lat = to_float(v[0]);
            data = after;
        } else {
            int t0 = 0, t1 = 0;
            if (next_token(s.line, end, t0, t1)) data = t1;
        }
    }
    return data;
}

// Decodes the token at offset pos (if any) for field index k.
void decode_at(int slot, Slot &s, int pos, int k, RAW_report *r) {
    int start = 0, end = 0;
    if (pos >= 0 && next_token(s.line, pos, start, end))
        RAW_dec_line(slot, k, r, token_text(s.line, start, end).c_str());
}

// The text of one value of the kind, by the format (empty: the kind's default).
std::string value_text(const RAW_report *r, int kind, const std::string &fmt) {
    const char *f = fmt.empty() ? nullptr : fmt.c_str();
    char buf[VALUE_SIZE];
    switch (kind) {
    case 1:
    case 3:
    case 4:
    case 31:
    case 36: {
        const std::string_view d(r->data, strnlen(r->data, sizeof r->data));
        return d.empty() || d[0] == ' ' ? "-" : std::string(d);
    }
    case 2:
        if (is_missing(r->value[0])) return "-";
        RAW_format_float(buf, sizeof buf, f, r->value[0], "RAW_write");
        return buf;
    case 5: {
        const float v = r->value[0];
        // A value that is no whole number of an int's range has no integer text.
        if (is_missing(v) || !std::isfinite(v) || v >= 2147483648.0f || v < -2147483648.0f) return "-";
        RAW_format_int(buf, sizeof buf, f, static_cast<int>(v), "RAW_write");
        return buf;
    }
    case 21:
    case 22:
    case 33:
    case 34: {
        if (is_missing(r->value[0])) return "-";
        RAW_format_float(buf, sizeof buf, f, r->value[0], "RAW_write");
        std::string text = buf;
        RAW_format_float(buf, sizeof buf, f, r->value[1], "RAW_write");
        return text + "," + buf;
    }
    default:
        return "";
    }
}

// The empty line that closes the records of a written file would hide the
// records appended after it: it is removed before appending (and written
// again at the close).
void drop_closing_line(const char *file) {
    FILE *f = FILE_open(file, "r+");
    if (f == nullptr) return;
    char tail[2] = {0, 0};
    if (std::fseek(f, -2, SEEK_END) == 0 && std::fread(tail, 1, 2, f) == 2 && tail[0] == '\n' &&
        tail[1] == '\n') {
        const long size = std::ftell(f);
        std::fflush(f);
        if (size > 0 && ftruncate(fileno(f), size - 1) != 0)
            MESS_print(M_WARN, "RAW_open: Unable to append to file: %s\n", file);
    }
    FILE_close(f);
}

void put(FILE *f, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), f);
}

} // namespace

int RAW_chktype(const char *file) {
    FILE *f = FILE_open(file, "r");
    if (f == nullptr) return -1;
    const int c = std::getc(f);
    if (f == stdin && c != EOF) std::ungetc(c, f);
    FILE_close(f);
    return c == 'Z' ? 1 : 99;
}

int RAW_open(char *file, int access, int *type) {
    if (file == nullptr || type == nullptr) return -1;
    int slot = 0;
    while (slot < RAW_NUM_FILE && rfile[static_cast<std::size_t>(slot)]) {
        ++slot;
    }
    if (slot == RAW_NUM_FILE) return -1;
    auto s = std::make_unique<Slot>();
    int t = *type;
    if (std::strcmp(file, "") == 0 || std::strcmp(file, "-") == 0 || std::strcmp(file, "std") == 0) {
        t = 1;
    } else if (std::strcmp(file, "stdn") == 0) {
        file[1] = '\0';
        file[0] = '-';
        t = 99;
    }
    // Type 0 is found from the file when reading.
    if (!(t == 0 && access == 0) && t != 1 && t != 2 && t != 99) return -1;
    const char *mode = "r";
    if (access == 1) {
        mode = "w";
    } else if (access == 2) {
        // Appending needs a point-data file; a standard stream or a command
        // is not read to find out.
        if (FILE_is_stdio(file) == 0 && file[0] != '|') {
            if (RAW_chktype(file) != 1) return -1;
            drop_closing_line(file);
        }
        t = 1;
        mode = "a";
    }
    FILE *f = FILE_open(file, mode);
    if (f == nullptr) return -1;
    if (t == 0) {
        // The type from the first character, which stays to be read.
        const int c = std::getc(f);
        if (c != EOF) std::ungetc(c, f);
        t = c == 'Z' ? 1 : 99;
    }
    struct stat st {};
    s->sequential = f == stdin || f == stdout || fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode);
    s->file = f;
    s->name = file;
    s->type = t;
    s->access = access == 1 || access == 2 ? access : 0;
    s->fd = 1;
    if (t == 99) s->data_pos = 0;
    *type = t;
    rfile[static_cast<std::size_t>(slot)] = std::move(s);
    return slot;
}

int RAW_getinfo(int slot, RAW_info *info) {
    Slot *s = get_slot(slot);
    if (s == nullptr) return 0;
    if (s->type != 1 && s->type != 2) return -1;
    if (s->access != 0 || info == nullptr) return 0;
    if (!s->sequential) std::fseek(s->file, 0, SEEK_SET);
    info->num_stat = MISSING;
    info->datim[0] = info->info[0] = '\0';
    DATE_init(&info->date);
    s->num_field = 0;
    s->field_off = 0;
    for (std::size_t i = 0; i < RAW_NUM_FIELD; ++i)
        s->field[i][0] = s->field_info[i][0] = s->field_fmt[i][0] = '\0';
    read_header(*s, info);
    s->data_pos = s->sequential ? -1 : std::ftell(s->file);
    s->num = -1;
    s->ind = 0;
    s->ended = false;
    return 0;
}

int RAW_get_num_field(int slot) {
    const Slot *s = get_slot(slot);
    return s != nullptr ? s->num_field : 0;
}

int RAW_get_field_ind(int slot, RAW_field field) {
    const Slot *s = get_slot(slot);
    return s != nullptr ? table_index(*s, field) : -1;
}

void RAW_set_field_name(int slot, RAW_field field, const char *text) {
    set_entry(slot, field, text, &Slot::field);
}

int RAW_set_field_info(int slot, RAW_field field, const char *text) {
    return set_entry(slot, field, text, &Slot::field_info);
}

int RAW_set_field_fmt(int slot, RAW_field field, const char *text) {
    return set_entry(slot, field, text, &Slot::field_fmt);
}

const char *RAW_get_field_name(int slot, RAW_field field) {
    return get_entry(slot, field, &Slot::field);
}

const char *RAW_get_field_info(int slot, RAW_field field) {
    return get_entry(slot, field, &Slot::field_info);
}

const char *RAW_get_field_fmt(int slot, RAW_field field) {
    return get_entry(slot, field, &Slot::field_fmt);
}

int RAW_putinfo(int slot, const RAW_info *info) {
    Slot *s = get_slot(slot);
    if (s == nullptr) return 0;
    if (s->type != 1 && s->type != 2) return -1;
    if (s->access == 0) return -1;
    if (info == nullptr) return 0;
    const std::string_view datim(info->datim, strnlen(info->datim, sizeof info->datim));
    const std::string_view text(info->info, strnlen(info->info, sizeof info->info));
    put(s->file, "ZEQRAW\n");
    put(s->file, datim);
    put(s->file, "\n");
    if (s->num_field == 0) {
        put(s->file, text);
        put(s->file, "\n");
        s->write_off = 0;
        return 0;
    }
    put(s->file, "!");
    put(s->file, text);
    put(s->file, "\nid lat lon\n");
    for (int i = 3; i < s->num_field; ++i) {
        const auto k = static_cast<std::size_t>(i);
        std::string name = s->field[k].data(), inf = s->field_info[k].data(), fmt = s->field_fmt[k].data();
        for (std::string *p : {&name, &inf, &fmt})
            for (char &c : *p)
                if (c == ' ') c = '_';
        put(s->file, name + ":" + inf + ":" + fmt + "\n");
    }
    put(s->file, "$\n");
    s->write_off = 3;
    return 0;
}

int RAW_putheader(int slot, const char *text) {
    Slot *s = get_slot(slot);
    if (s == nullptr) return 0;
    if (s->type != 1 && s->type != 2) return -1;
    if (s->access == 0) return -1;
    if (text == nullptr) text = "";
    put(s->file, text);
    put(s->file, " $\n");
    // The records that follow carry the location columns this list names.
    const std::vector<std::string> words = split_words(text);
    if (!words.empty()) {
        std::string_view name, inf, fmt;
        if (words.size() > 1) split_entry(words[1], name, inf, fmt);
        const int off = location_columns(static_cast<int>(words.size()), name);
        s->write_off = off == 3 ? 0 : off;
    }
    return 0;
}

int RAW_rewind(int slot) {
    Slot *s = get_slot(slot);
    if (s == nullptr || s->access != 0) return -1;
    if (s->type != 1 && s->type != 2 && s->type != 99) return -1;
    if (!s->sequential) seek_records(*s);
    s->num = -1;
    s->ind = 0;
    s->ended = false;
    return 0;
}

int RAW_close(int slot) {
    Slot *s = get_slot(slot);
    if (s == nullptr) return -1;
    int rc = 0;
    if (s->access != 0) {
        std::fputc('\n', s->file);
        if (FILE_close_output(s->file) != 0) {
            MESS_print(M_WARN, "RAW_close: Unable to write file: %s\n", s->name.c_str());
            rc = -1;
        }
    } else {
        FILE_close(s->file);
    }
    rfile[static_cast<std::size_t>(slot)].reset();
    return rc;
}

int RAW_read(int slot, RAW_report *report, RAW_field field, const int *num) {
    Slot *s = get_slot(slot);
    if (s == nullptr || report == nullptr) return 0;
    if ((s->type != 1 && s->type != 2 && s->type != 99) || s->access != 0) return -1;
    const bool each = field.name == nullptr && field.code == RAW_EACH_FIELD;
    const int n = num != nullptr && *num > 0 ? *num : 0;

    if (!s->sequential) {
        if (each && s->ind != 0) {
            // The fields of a record in progress: the count follows the caller's.
            if (n > s->num) s->num = n;
        } else {
            // num is the number of the line read last (-1: none since the
            // first record): the next number reads on, a higher one skips
            // the lines between, the same or a lower one starts again.
            if (n <= s->num) RAW_rewind(slot);
            bool more = !s->ended;
            while (more && s->num + 1 < n) {
                more = skip_line(*s);
                ++s->num;
            }
            s->num = n;
            // The data end before the record asked for.
            if (!more) {
                s->ended = true;
                return -1;
            }
        }
    }

    if (s->ind == 0) {
        if (s->ended || !read_line(s->file, s->line, sizeof s->line)) {
            s->ended = true;
            return -1;
        }
        trim_cr_string(s->line);
        if (s->line[0] == '\0') {
            s->ended = true;
            return -1;
        }
    }
    const int data = parse_record(*s, report);

    if (each) {
        if (s->ind == -1) {
            s->ind = 0;
            return 0;
        }
        const bool progress = s->ind > 0;
        const int pos = progress ? s->ind : data;
        s->cur_field = progress ? s->cur_field + 1 : s->field_off;
        int start = 0, end = 0;
        if (next_token(s->line, pos, start, end)) {
            s->ind = end;
            RAW_dec_line(slot, s->cur_field, report, token_text(s->line, start, end).c_str());
            report->type = s->cur_field;
            return 1;
        }
        if (progress) {
            s->ind = 0;
            return 0;
        }
        s->ind = -1;
        return 1;
    }

    // One field: a location column, the id, a data column or name=value.
    int column = -1, location = -1;
    const char *search = nullptr;
    if (field.name != nullptr) {
        const int i = find_name(*s, field.name);
        if (i >= 0 && i < s->field_off)
            location = i;
        else if (i >= 0)
            column = i - s->field_off;
        else if (iequals(field.name, "id"))
            location = 0;
        else
            search = field.name;
    } else if (field.code == RAW_ID_FIELD) {
        location = 0;
    } else if (field.code >= RAW_COLUMN && field.code <= RAW_NUM_FIELD) {
        column = field.code - RAW_COLUMN;
    }
    if (location >= 0) {
        decode_at(slot, *s, s->field_ind[static_cast<std::size_t>(location)], location, report);
    } else if (column >= 0) {
        int start = 0, end = data;
        for (int c = 0; next_token(s->line, end, start, end); ++c) {
            if (c == column) {
                RAW_dec_line(slot, s->field_off + column, report, token_text(s->line, start, end).c_str());
                break;
            }
        }
    } else if (search != nullptr && search[0] != '\0') {
        const std::string prefix = std::string(search) + "=";
        int start = 0, end = data;
        while (next_token(s->line, end, start, end)) {
            const std::string tok = token_text(s->line, start, end);
            if (tok.starts_with(prefix)) {
                RAW_dec_line(slot, -1, report, tok.c_str() + prefix.size());
                break;
            }
        }
    }
    s->ind = 0;
    return 0;
}

int RAW_dec_line(int slot, int field, RAW_report *report, const char *token) {
    if (report == nullptr) return 0;
    const Slot *s = get_slot(slot);
    std::string fmt;
    if (s != nullptr && field >= 0 && field < s->num_field)
        fmt = s->field_fmt[static_cast<std::size_t>(field)].data();
    std::string tok = token != nullptr ? token : "";
    const std::size_t colon = tok.find(':');
    if (colon != std::string::npos) {
        const std::string own = tok.substr(colon + 1);
        fmt = fmt.empty() ? own : fmt + ":" + own;
        tok.resize(colon);
    }
    const std::size_t eq = tok.find('=');
    if (eq != std::string::npos) tok.erase(0, eq + 1);
    report->value[0] = report->value[1] = FMISSING;
    report->data[0] = '\0';
    copy_text(report->format, fmt);
    if (tok == "-") return 0;
    if (!tok.empty() && (tok[0] == '-' || tok[0] == '.' || (tok[0] >= '0' && tok[0] <= '9'))) {
        double v = 0;
        const std::size_t n = scan_decimal(tok, &v);
        if (n > 0) {
            report->value[0] = to_float(v);
            if (n < tok.size() && tok[n] == ',' && scan_decimal(std::string_view(tok).substr(n + 1), &v) > 0)
                report->value[1] = to_float(v);
        }
    }
    copy_text(report->data, tok);
    return 0;
}

int RAW_write(int slot, const RAW_report *report, int mode, int /*num*/) {
    if (report == nullptr) return 0;
    int kind = report->type;
    std::string fmt;
    if (const char *pf = RES_get("plot_format"); pf != nullptr) {
        std::string_view rest = pf;
        while (true) {
            const std::size_t comma = rest.find(',');
            const std::string item(rest.substr(0, comma));
            if (!item.empty() && item[0] == '%') {
                fmt = item;
                kind = 2;
            } else if (!item.empty()) {
                const int t = VAR_dec_type(item.c_str());
                if (t >= 0) kind = t;
            }
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    Slot *s = get_slot(slot);
    if (s == nullptr || (s->type != 1 && s->type != 2) || s->access == 0) return 0;
    FILE *f = s->file;
    if (mode == 1 || mode == 3) put(f, std::string_view(report->id, strnlen(report->id, sizeof report->id)));
    if (mode == 5) {
        put(f, "\n");
        return 0;
    }
    if ((mode == 1 || mode == 3) && !is_missing(report->lat)) {
        char loc[128];
        if (s->write_off == 2)
            std::snprintf(loc, sizeof loc, " %6.2f", static_cast<double>(report->lat));
        else if (s->write_off == 1)
            loc[0] = '\0';
        else
            std::snprintf(loc, sizeof loc, " %6.2f %7.2f", static_cast<double>(report->lat),
                          static_cast<double>(report->lon));
        put(f, loc);
    }
    if (mode == 3) return 0;
    put(f, " ");
    put(f, value_text(report, kind, fmt));
    if (report->format[0] != '\0') {
        put(f, ":");
        put(f, std::string_view(report->format, strnlen(report->format, sizeof report->format)));
    }
    if (mode == 1) put(f, "\n");
    return 1;
}
