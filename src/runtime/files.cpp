// File names: the name convention table and the file-name state, the
// expansion and building of names through templates, file sequences and the
// current file, and the interactive choice of the input file. File-static
// state: the naming state and its one save slot, keys, and the sequence.
// On purpose: "list" at the file prompt lists and asks again rather than
// taking the empty name as standard input.
#include "runtime/files.h"

#include <glob.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/date.h"
#include "runtime/files_int.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/tools.h"
#include "runtime/string.h"
#include "runtime/system.h"

namespace {

constexpr std::size_t EXT_MAX = 19;      // characters of the extension
constexpr std::size_t EXT_INFO_MAX = 39; // characters of the extra-info suffix
constexpr std::size_t KEY_MAX = FILE_KEY_SIZE - 1;
constexpr std::size_t RES_NAME_MAX = 79; // characters of a %{name} resource name
constexpr int RETRY = 4;                 // times the input-file prompt is asked
constexpr int LATE_TRIES = 500;          // tries of the latest-file search
constexpr long DEFAULT_STEP = 100000;    // step when the late offset is not positive
constexpr int ANSWER_LENGTH = 79;        // length of an answer at the file prompt

// ---- File-name state ----
char filename[FILE_NAME_SIZE] = "";
int filename_type = 0;
std::string conv;
std::string hconv;
long late_off = 3600;
long min_size = 0;
long rmin_size = 0;
std::string ext;
char ext_info[EXT_INFO_MAX + 1] = "";
std::array<std::string, 256> keys;
Date set{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, MISSING, 0};
Date file_date{0, 0, 0, 0, 0, 0, 0, 0};
int header = 0;
int file_type = 0;
bool key_init = false;
int shared_mode = 1;

// The single save slot.
long slate_off = 3600;
std::string sconv;
std::string shconv;
std::string sfilename;
int sfilename_type = 0;
// A NameConvScope holds the save slot.
bool name_conv_saved = false;

// The last latest-file search of more than one name: whether it found
// nothing, and the first and last names it tried.
struct LateSearch {
    bool failed = false;
    std::string first;
    std::string last;
};
LateSearch late_search;

// ---- Sequence state ----
int numfile = 0;
std::vector<std::string> files;
int file_ind = 0;
Date first_date{0, 0, 0, 0, 0, 0, 0, 0};
long num_hour = 0;
long skip = 0;
long offset = 0;
long secs = 0;
long nsecs = 0;
long def_hours = 0;

// The path letters of templates and their directory resources.
struct PathLetter {
    char letter;
    const char *resource;
};
constexpr std::array<PathLetter, 10> path_letters{{
    {'C', "con_path"},
    {'D', "data_path"},
    {'F', "file_path"},
    {'R', "raw_path"},
    {'G', "grid_path"},
    {'W', "watch_path"},
    {'I', "image_path"},
    {'T', "text_path"},
    {'M', "model_path"},
    {'S', "sat_path"},
}};

const char *path_resource(char c) {
    for (const PathLetter &p : path_letters)
        if (p.letter == c) return p.resource;
    return nullptr;
}

// The directory of a path resource, "." when it is unset.
std::string path_value(const char *resource) {
    const char *v = RES_get(resource);
    return v && v[0] ? v : ".";
}

bool is_digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The count written before a template code letter at tpl[ti] (the digits are
// passed over, values held below 100000): 1 without digits; `width` tells
// whether digits were there.
long code_count(const std::string &tpl, std::size_t &ti, bool &width) {
    width = false;
    if (ti >= tpl.size() || !is_digit(tpl[ti])) return 1;
    long n = 0;
    while (ti < tpl.size() && is_digit(tpl[ti])) {
        if (n < 100000) n = n * 10 + (tpl[ti] - '0');
        ++ti;
    }
    width = true;
    return n;
}

// Reads up to `n` digits at p; false (p unmoved) when there is none.
bool read_num(const char *&p, int n, int &out) {
    int v = 0, k = 0;
    for (; k < n && is_digit(*p); ++k, ++p)
        v = v * 10 + (*p - '0');
    if (k == 0) return false;
    out = v;
    return true;
}

void set_filename(const std::string &name) {
    copy_text(filename, sizeof filename, name);
}

// A late offset in seconds, kept within an int.
long clamp_late(long v) {
    return v > INT_MAX ? INT_MAX : v;
}

// The step of a stepped fixed hour or minute -(B x 100 + S): S, at least 1.
// Worked in long: no int field value can overflow the negation.
int field_step(int field) {
    const long s = -static_cast<long>(field) % 100;
    return s > 0 ? static_cast<int>(s) : 1;
}

int field_base(int field) {
    const long b = -static_cast<long>(field) / 100;
    return b > INT_MAX ? INT_MAX : static_cast<int>(b);
}

// A fixed hour or minute (0 to top) or a step -(B x 100 + N) whose values,
// the multiples of N plus B, all stay within 0 to top.
bool valid_clock_field(int field, int top) {
    if (field == MISSING) return true;
    if (field >= 0) return field <= top;
    if (-static_cast<long>(field) > static_cast<long>(top) * 100 + top + 1) return false;
    const long n = field_step(field);
    const long b = field_base(field);
    return n <= top + 1 && b <= top && top / n * n + b <= top;
}

// A stepped fixed field: negative, other than missing.
bool stepped(int field) {
    return field < 0 && field != MISSING;
}

std::string format_int(const char *format, int v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// Seconds since 1970 of a date, leaving the caller's record alone.
time_t date_secs(Date d) {
    return DATE_num_sec(&d);
}

Date secs_date(time_t t) {
    Date d;
    DATE_get_gmdate(&t, &d);
    return d;
}

// Cuts an extra-info suffix off `name`, looking from index `from` + 2.
void extract_extra(std::string &name, std::size_t from) {
    if (name.size() < from + 3) return;
    std::size_t pos = name.find_first_of("#-+:", from + 2);
    if (pos == std::string::npos) return;
    copy_text(ext_info, sizeof ext_info, name.substr(pos));
    name.erase(pos);
}

// A name that resolves a current-time spec rather than a template.
bool current_spec(const std::string &name) {
    return name[0] == '#' || strnicmp(name.c_str(), "cu", 2) == 0 || strnicmp(name.c_str(), "la", 2) == 0;
}

// Reads the '#' date suffix of a typed name into the fixed date fields; a
// date out of range is not taken.
void read_date_suffix(const char *text) {
    const char *p = text;
    Date d = set;
    if (!read_num(p, 4, d.year)) return;
    int *fields[] = {&d.month, &d.day, &d.hour, &d.min};
    for (int *f : fields)
        if (!read_num(p, 2, *f)) break;
    if (!FILE_valid_time(&d)) {
        MESS_print(M_WARN, "FILE_set_file: Date out of range: #%s\n", text);
        return;
    }
    set = d;
}

// ---- Expansion of a typed name ----

class Expansion {
public:
    Expansion(const std::string &tpl, const std::string &name)
        : tpl_(tpl), name_(name), iwhere_(name.find('/') == std::string::npos ? 2 : 0),
          full_(FILE_fullpath(name.c_str()) != 0) {}

    std::string run() {
        late_off = MISSING;
        while (ti_ < tpl_.size() && !done_) {
            step();
            MESS_print(M_DEBUG_D, "FILES:%s:%s:%s:%s:%s:%d\n", tpl_.c_str() + std::min(ti_, tpl_.size()),
                       name_.c_str() + std::min(fi_, name_.size()), out_.c_str(), name_.c_str(), out_.c_str(),
                       where_);
        }
        MESS_print(M_DEBUG_D, "FILES:%s:%s:%d\n", name_.c_str(), out_.c_str(), where_);
        DATE_print(M_DEBUG, &file_date);
        return out_;
    }

private:
    bool at_end() const { return fi_ >= name_.size(); }

    void copy_rest() {
        if (!at_end()) out_.append(name_, fi_, std::string::npos);
        fi_ = name_.size();
        done_ = true;
    }

    void group_run() {
        while (ti_ < tpl_.size() && tpl_[ti_] != '}' && tpl_[ti_] != '%')
            out_ += tpl_[ti_++];
        if (ti_ < tpl_.size() && tpl_[ti_] == '}') {
            ++ti_;
            group_ = false;
            where_ = 1;
        }
    }

    void step() {
        char c = tpl_[ti_];
        if (group_ && c != '%') return group_run();
        if (c == '*') return copy_rest();
        if (c == '{') {
            group_ = true;
            ++ti_;
            return group_run();
        }
        if (c == '%') return construct();
        literal(c);
    }

    void literal(char c) {
        ++ti_;
        if (at_end()) {
            if (where_ == 0)
                done_ = true;
            else
                out_ += c;
            return;
        }
        char t = name_[fi_];
        if (t == c) {
            out_ += c;
            if (where_ != 0 || iwhere_ == 2) {
                ++fi_;
                if (at_end()) where_ = 3;
            }
            return;
        }
        if (where_ == 1) {
            out_ += c;
            if (iwhere_ == 2) ++fi_;
            return;
        }
        copy_rest();
    }

    void construct() {
        ++ti_;
        bool width = false;
        long n = code_count(tpl_, ti_, width);
        if (ti_ >= tpl_.size()) {
            done_ = true;
            return;
        }
        std::size_t letter_pos = ti_;
        char k = tpl_[ti_++];
        switch (k) {
        case '%':
            out_ += '%';
            return;
        case 'e':
            return extension();
        case 'Y':
        case 'y':
        case 'm':
        case 'b':
        case 'd':
        case 'j':
        case 'h':
        case 'n':
            return date_field(k, n);
        default:
            break;
        }
        if (const char *res = path_resource(k)) return path(res, letter_pos);
        key(k, n, width);
    }

    void extension() {
        std::string rest = tpl_.substr(ti_);
        // An empty rest of the template matches at the end of the typed name.
        std::size_t found = rest.empty() ? name_.size() : name_.find(rest, std::min(fi_, name_.size()));
        if (!ext.empty()) {
            out_ += ext;
            if (found != std::string::npos) fi_ = found;
            return;
        }
        if (found == std::string::npos) return copy_rest();
        std::string typed = at_end() ? std::string() : name_.substr(fi_, found - fi_);
        ext = typed.substr(0, EXT_MAX);
        out_ += typed;
        fi_ = found;
    }

    void date_field(char k, long n) {
        static constexpr struct {
            char letter;
            int len;
        } lens[] = {{'Y', 4}, {'y', 2}, {'m', 2}, {'b', 3}, {'d', 2}, {'j', 3}, {'h', 2}, {'n', 2}};
        int len = 2;
        for (const auto &l : lens)
            if (l.letter == k) len = l.len;

        bool ok = false;
        int v = 0;
        std::size_t used = 0;
        if (!at_end()) {
            if (k == 'b') {
                used = std::min<std::size_t>(3, name_.size() - fi_);
                v = DATE_decode_month(name_.substr(fi_, used).c_str());
                ok = v != 0;
            } else {
                const char *p = name_.c_str() + fi_;
                const char *start = p;
                ok = read_num(p, len, v);
                used = static_cast<std::size_t>(p - start);
            }
        }
        if (ok) {
            out_.append(name_, fi_, used);
            fi_ += used;
            switch (k) {
            case 'Y':
                file_date.year = v;
                break;
            case 'y':
                file_date.year = v < 50 ? 2000 + v : 1900 + v;
                break;
            case 'm':
            case 'b':
                file_date.month = v;
                break;
            case 'd':
                file_date.day = v;
                break;
            case 'j':
                file_date.jday = v;
                DATE_julian_monday(file_date.year, v, &file_date.month, &file_date.day);
                break;
            case 'h':
                file_date.hour = v;
                break;
            case 'n':
                file_date.min = v;
                break;
            default:
                break;
            }
        }
        where_ = 2;
        switch (k) {
        case 'd':
        case 'j':
            late(set.day, 86400, n, false);
            break;
        case 'h':
            late(set.hour, 3600, n, true);
            break;
        case 'n':
            late(set.min, 60, n, true);
            break;
        default:
            break;
        }
        if (!ok) copy_rest();
    }

    // The late offset of a time letter: a stepped fixed field steps by its
    // step (the last two digits of an hour or minute), as when building.
    static void late(int field, long unit, long n, bool base_form) {
        if (stepped(field)) {
            long s = base_form ? field_step(field) : -static_cast<long>(field);
            late_off = clamp_late(s * unit);
        } else if (late_off == MISSING || late_off > n * unit) {
            late_off = clamp_late(n * unit);
        }
    }

    void path(const char *res, std::size_t letter_pos) {
        if (!full_) {
            out_ += path_value(res);
            if (ti_ < tpl_.size() && tpl_[ti_] == '/') {
                out_ += '/';
                ++ti_;
            }
        } else {
            long count = 0;
            for (std::size_t i = letter_pos; i < tpl_.size(); ++i)
                if (tpl_[i] == '/' || tpl_[i] == '\\' || tpl_[i] == ':') ++count;
            std::size_t pos = std::string::npos;
            for (std::size_t i = name_.size(); i > fi_ && count > 0;) {
                --i;
                if (name_[i] == '/' || (name_[i] == ':' && i == 1)) {
                    --count;
                    pos = i;
                }
            }
            if (pos != std::string::npos) {
                out_.append(name_, fi_, pos - fi_);
                fi_ = pos;
            }
        }
        where_ = 1;
    }

    void key(char k, long n, bool width) {
        const std::string &value = keys[static_cast<unsigned char>(k)];
        if (value.empty()) return copy_rest();
        std::size_t len = width ? static_cast<std::size_t>(n) : value.size();
        out_.append(value, 0, len);
        fi_ = std::min(fi_ + len, name_.size());
    }

    const std::string &tpl_;
    const std::string &name_;
    std::string out_;
    std::size_t ti_ = 0;
    std::size_t fi_ = 0;
    bool group_ = false;
    bool done_ = false;
    int where_ = 0;
    const int iwhere_;
    const bool full_;
};

// ---- Building a name from a date ----

class Build {
public:
    Build(const std::string &tpl, const Date &d, const std::string &typed_dir)
        : tpl_(tpl), d_(d), dir_(typed_dir) {}

    std::string run() {
        late_off = MISSING;
        while (ti_ < tpl_.size()) {
            char c = tpl_[ti_++];
            if (c == '%') {
                construct();
            } else if (c == '{' || c == '}') {
                // group marks have no meaning here
            } else {
                out_ += c == ' ' ? '_' : c;
            }
        }
        return out_;
    }

private:
    // The value of a day, hour or minute: fixed, free or stepped.
    struct Field {
        bool zero; // "00" written
        int value;
    };

    Field time_field(int fixed, int value, long n, bool base_form) {
        if (fixed >= 0) return {false, base_form ? static_cast<int>(fixed / n * n) : fixed};
        if (value < 0) return {true, MISSING};
        if (fixed == MISSING) return {false, static_cast<int>(value / n * n)};
        if (base_form) {
            int s = field_step(fixed);
            return {false, value / s * s + field_base(fixed)};
        }
        int s = -fixed;
        return {false, value / s * s};
    }

    void late(int fixed, long unit, long n, bool base_form) {
        if (stepped(fixed)) {
            long s = base_form ? field_step(fixed) : -static_cast<long>(fixed);
            late_off = clamp_late(s * unit);
        } else if (late_off == MISSING || n * unit < late_off) {
            late_off = clamp_late(n * unit);
        }
    }

    void write_field(const Field &f, const char *format, int &record) {
        out_ += f.zero ? "00" : format_int(format, f.value);
        record = f.zero ? MISSING : f.value;
    }

    void construct() {
        bool width = false;
        long n = code_count(tpl_, ti_, width);
        if (n < 1) n = 1;
        if (ti_ >= tpl_.size()) return;
        char k = tpl_[ti_++];
        switch (k) {
        case '%':
            out_ += '%';
            return;
        case 'Y':
            if (set.year >= 0) {
                out_ += format_int("%4.4d", set.year);
                file_date.year = set.year;
            } else if (d_.year < 0) {
                out_ += "0000";
                file_date.year = MISSING;
            } else {
                int y = static_cast<int>(d_.year / n * n);
                out_ += format_int("%4.4d", y);
                file_date.year = y;
            }
            return;
        case 'y':
            if (set.year >= 0) {
                out_ += format_int("%2.2d", set.year % 100);
                file_date.year = set.year;
            } else if (d_.year < 0) {
                out_ += "00";
                file_date.year = MISSING;
            } else {
                int y = static_cast<int>(d_.year % 100 / n * n);
                out_ += format_int("%2.2d", y);
                file_date.year = d_.year - d_.year % 100 + y;
            }
            return;
        case 'm':
            if (set.month >= 0) {
                write_field({false, set.month}, "%2.2d", file_date.month);
            } else {
                write_field(d_.month < 0 ? Field{true, MISSING}
                                         : Field{false, static_cast<int>(d_.month / n * n)},
                            "%2.2d", file_date.month);
            }
            return;
        case 'b': {
            int m = set.month >= 0 ? set.month : d_.month < 0 ? MISSING : static_cast<int>(d_.month / n * n);
            if (m == MISSING) {
                out_ += "xxx";
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "%3.3s", DATE_month_lower(m));
                out_ += buf;
            }
            file_date.month = m;
            return;
        }
        case 'd':
            write_field(time_field(set.day, d_.day, n, false), "%2.2d", file_date.day);
            late(set.day, 86400, n, false);
            return;
        case 'j': {
            int year = set.year >= 0 ? set.year : d_.year;
            int month = set.month >= 0 ? set.month : d_.month;
            int day = set.day >= 0         ? set.day
                      : set.day == MISSING ? static_cast<int>(d_.day / n * n)
                                           : d_.day / -set.day * -set.day;
            int jday = 0;
            DATE_monday_julian(year, month, day, &jday);
            out_ += format_int("%3.3d", jday);
            file_date.jday = jday;
            file_date.month = month;
            file_date.day = day;
            late(set.day, 86400, n, false);
            return;
        }
        case 'h':
            write_field(time_field(set.hour, d_.hour, n, true), "%2.2d", file_date.hour);
            late(set.hour, 3600, n, true);
            return;
        case 'n':
            write_field(time_field(set.min, d_.min, n, true), "%2.2d", file_date.min);
            late(set.min, 60, n, true);
            return;
        case 'e':
            out_ += ext;
            return;
        case '{': {
            std::size_t close = tpl_.find('}', ti_);
            std::string name = tpl_.substr(ti_, close == std::string::npos ? std::string::npos : close - ti_);
            ti_ = close == std::string::npos ? tpl_.size() : close + 1;
            name.resize(std::min(name.size(), RES_NAME_MAX));
            if (!dir_.empty()) {
                out_ += dir_;
            } else if (const char *v = RES_get(name.c_str())) {
                out_ += v;
            }
            return;
        }
        default:
            break;
        }
        if (const char *res = path_resource(k)) {
            out_ += dir_.empty() ? path_value(res) : dir_;
            return;
        }
        const std::string &value = keys[static_cast<unsigned char>(k)];
        if (value.empty())
            out_ += '0';
        else
            out_.append(value, 0, width ? static_cast<std::size_t>(n) : value.size());
    }

    const std::string &tpl_;
    const Date d_;
    const std::string dir_;
    std::string out_;
    std::size_t ti_ = 0;
};

// The directory of a typed full name that stands in for the template's
// directory part when names are built from it.
std::string typed_directory() {
    if (filename_type != 1 || !FILE_fullpath(filename)) return {};
    long count = 0;
    for (char c : conv)
        if (c == '/' || c == ':') ++count;
    std::string name = filename;
    std::size_t pos = std::string::npos;
    for (std::size_t i = name.size(); i > 0 && count > 0;) {
        --i;
        if (name[i] == '/' || (name[i] == ':' && i == 1)) {
            --count;
            pos = i;
        }
    }
    if (pos == std::string::npos) return {};
    std::string dir = name.substr(0, pos);
    MESS_print(M_DEBUG_C, "Extracted path: %s\n", dir.c_str());
    return dir;
}

// ---- Current-time specs ----

// Reads "YYYY[MM[DD[HH[mm]]]]" at p into seconds since 1970; the fields not
// read count from the start of the period given.
time_t read_spec_date(const char *&p) {
    Date d{0, 1, 1, MISSING, MISSING, 0, 0, 0};
    if (read_num(p, 4, d.year)) {
        int *fields[] = {&d.month, &d.day, &d.hour, &d.min};
        for (int *f : fields)
            if (!read_num(p, 2, *f)) break;
    }
    return DATE_num_sec(&d);
}

// Reads an offset "N d [H] [:M]" or "H [:M]" in seconds.
long read_offset(const char *&p) {
    std::size_t run = std::strspn(p, "0123456789d:");
    bool days = std::memchr(p, 'd', run) != nullptr;
    long total = 0;
    int v = 0;
    if (days) {
        if (read_num(p, 9, v)) total += v * 86400L;
        if (*p == 'd') ++p;
    }
    if (read_num(p, 9, v)) total += v * 3600L;
    if (*p == ':') {
        ++p;
        if (read_num(p, 9, v)) total += v * 60L;
    }
    return total;
}

// Rounds t down to a multiple of step (step > 0).
time_t floor_multiple(time_t t, long step) {
    time_t q = t / step;
    if (t % step != 0 && t < 0) --q;
    return q * step;
}

// Reads "H[:M]", or ":M", into seconds (a number may have blanks and a sign
// before it, as "%d" reads); with `signed_minutes` a negative hour, or "-0",
// makes the minutes negative. False, with a warning naming the resource, for
// a number beyond a hundred years.
bool read_hours(const char *text, bool signed_minutes, long &secs) {
    constexpr long max_hours = 876600;
    bool ok = true;
    auto number = [&ok](const char *&p, long limit, long &v) {
        char *end = nullptr;
        errno = 0;
        const long x = std::strtol(p, &end, 10);
        if (end == p) return false;
        if (errno == ERANGE || x > limit || x < -limit) ok = false;
        v = x;
        p = end;
        return true;
    };
    long h = 0, m = 0;
    const char *p = text;
    if (!number(p, max_hours, h)) h = 0;
    if (*p == ':') {
        ++p;
        if (!number(p, max_hours * 60, m)) m = 0;
    }
    if (!ok) {
        MESS_print(M_WARN, "FILE_num_hour: num_hour: value out of range, not used: %s\n", text);
        return false;
    }
    if (signed_minutes && ((h == 0 && text[0] == '-') || h < 0)) m = -std::labs(m);
    secs = h * 3600L + m * 60L;
    return true;
}

bool list_mode() {
    return numfile > 1 || (numfile == 1 && num_hour == 0);
}

// Reports a chosen file that does not exist. After a latest-file search that
// found nothing, the name is just one step beyond its last try, which would
// puzzle: the search is reported instead.
void warn_not_found(const char *name) {
    if (late_search.failed)
        MESS_print(M_WARN, "No file found from %s back to %s\n", late_search.first.c_str(),
                   late_search.last.c_str());
    else
        MESS_print(M_WARN, "File not found: %s\n", name);
}

// The input-file choice shared by FILE_get_file and FILE_get_file_only.
int choose_file(const char *prompt, char *outfile, std::size_t size, bool only) {
    int argc = 0;
    char **argv = nullptr;
    if (RES_getvals("filename", &argc, &argv) > 0) {
        if (stricmp(argv[0], "list") == 0) {
            FILE_list_file();
            free_parsed_array(argc, argv);
            ZEQ_exit(0);
        }
        if (!only) filename_type = 1;
        FILE_set_file(argv[0], filename);
        copy_text(outfile, size, filename);
        free_parsed_array(argc, argv);
        return FILE_exist(filename);
    }

    const char *cur = RES_get("current");
    if (!cur && FLAG_batch()) cur = "la";
    if (cur) {
        late_search = {};
        FILE_set_current(cur, filename);
        copy_text(outfile, size, filename);
        if (FILE_exist(filename)) {
            MESS_print(M_MESS, "Current filename: %s\n", filename);
            return 1;
        }
        if (only) return 0;
        warn_not_found(filename);
        ZEQ_exit(10);
    }

    MESS_print(M_PRINT, "List of available files:\n");
    FILE_list_file();
    MESS_print(M_PRINT, "\n");
    const int tries = only ? 1 : RETRY;
    for (int i = 0; i < tries;) {
        filename_type = 1;
        char answer[ANSWER_LENGTH + 1] = "";
        ZEQ_prompts(prompt ? prompt : "", answer, ANSWER_LENGTH);
        if (stricmp(answer, "exit") == 0) ZEQ_exit(0);
        if (stricmp(answer, "list") == 0) {
            // A request for the listing, not a choice: list and ask again.
            FILE_list_file();
            continue;
        }
        late_search = {};
        if (answer[0] == '#' || strnicmp(answer, "la", 2) == 0) {
            FILE_set_current(answer, filename);
            MESS_print(M_MESS, "Current filename: %s\n", filename);
        } else if (strnicmp(answer, "cu", 2) == 0) {
            FILE_set_current(answer + 2, filename);
            MESS_print(M_MESS, "Current filename: %s\n", filename);
        } else {
            FILE_set_file(answer, filename);
        }
        copy_text(outfile, size, filename);
        if (FILE_exist(filename)) return 1;
        warn_not_found(filename);
        ++i;
    }
    if (only) return 0;
    ZEQ_exit(10);
}

// Opens the convention table: along resource file_path; without that
// resource, a table missing from the working directory is taken from the
// system's data directory. Only a regular file is a table (a command, a
// device or a FIFO is refused with a warning). `tried` gets the name
// reported when none opens.
FILE *open_table(std::string &tried) {
    const char *res = RES_get("name_conv");
    const char *name = res && res[0] ? res : "name_conv";
    tried = FILE_table_path(name);
    return FILE_is_stdio(name) ? nullptr : FILE_open_regular(tried.c_str(), "FILE_set_name");
}

} // namespace

// ---- Name conventions and the file-name state --------------------------------

int FILE_set_name(char *type) {
    if (!key_init) {
        for (std::string &k : keys)
            k.clear();
        key_init = true;
    }
    filename[0] = '\0';
    if (!type) return 0;

    if (stricmp(type, "none") == 0) {
        conv.clear();
        return 0;
    }
    if (type[0] == '@') {
        conv = type + 1;
        return 1;
    }

    // Key suffixes ":k=value" set keys; the type ends at the first of them.
    const std::string whole = type;
    std::size_t cut = std::string::npos;
    for (std::size_t i = whole.find(':'); i != std::string::npos; i = whole.find(':', i + 1)) {
        if (i + 3 > whole.size() || whole[i + 2] != '=') continue;
        std::size_t end = whole.find(':', i + 3);
        std::string value = whole.substr(i + 3, end == std::string::npos ? std::string::npos : end - i - 3);
        if (value.empty()) continue;
        FILE_set_key(whole[i + 1], value.c_str());
        MESS_print(M_DEBUG_D, "KEY: %c = %s\n", whole[i + 1], value.c_str());
        if (cut == std::string::npos) cut = i;
    }
    if (cut != std::string::npos) type[cut] = '\0';

    std::string table;
    FILE *f = open_table(table);
    if (!f) {
        MESS_print(M_WARN, "FILE_set_name: No file name convention file: %s\n", table.c_str());
        conv = type;
        return 0;
    }
    MESS_print(M_DEBUG_A, "Opening name convention file: %s\n", table.c_str());
    ext.clear();

    std::string line;
    while (fget_anyline(f, line)) {
        if (!line.empty() && line[0] == '#') continue;
        conv.clear();
        hconv.clear();
        min_size = 0;
        std::vector<std::string> w = split_words(line);
        if (w.empty()) continue; // a blank line carries no type
        if (w.size() > 1) conv = w[1];
        if (w.size() > 2 && w[2] != "-") hconv = w[2];
        if (w.size() > 3) min_size = std::strtol(w[3].c_str(), nullptr, 10);
        const std::string &ltype = w[0];
        if (stricmp(type, ltype.c_str()) == 0) {
            MESS_print(M_DEBUG_A, "File name match for: %s\n", type);
            FILE_close(f);
            return 1;
        }
        if (strnicmp(ltype.c_str(), type, static_cast<int>(ltype.size())) == 0 &&
            std::strlen(type) >= ltype.size()) {
            const char *under = std::strrchr(type, '_');
            ext = under ? std::string(under + 1).substr(0, EXT_MAX) : std::string();
            MESS_print(M_DEBUG_A, "File name partial match for: %s-%s ext: %s\n", type, ltype.c_str(),
                       ext.c_str());
            FILE_close(f);
            return 1;
        }
    }
    FILE_close(f);
    conv = type;
    MESS_print(M_DEBUG_A, "No file name conversion for: %s\n", type);
    return 0;
}

int FILE_set_name_conv(const char *str) {
    hconv.clear();
    if (!str) return 0;
    std::vector<std::string> w = split_words(str);
    if (!w.empty()) {
        char *end = nullptr;
        long v = std::strtol(w[0].c_str(), &end, 10);
        if (end == w[0].c_str()) return 0;
        late_off = v;
    }
    if (w.size() > 1) conv = w[1];
    if (w.size() > 2) hconv = w[2];
    return 0;
}

int FILE_get_name_conv(char *str, std::size_t size) {
    std::string text = std::to_string(late_off) + " " + conv + " " + hconv;
    copy_text(str, size, text);
    return 0;
}

int FILE_save_name_conv() {
    slate_off = late_off;
    sconv = conv;
    shconv = hconv;
    sfilename = filename;
    sfilename_type = filename_type;
    return 0;
}

int FILE_restore_name_conv() {
    late_off = slate_off;
    conv = sconv;
    hconv = shconv;
    set_filename(sfilename);
    filename_type = sfilename_type;
    return 0;
}

NameConvScope::NameConvScope() : active_(!name_conv_saved) {
    if (!active_) {
        MESS_print(M_WARN_C, "FILE_save_name_conv: The naming state is already saved; not saved again\n");
        return;
    }
    name_conv_saved = true;
    FILE_save_name_conv();
}

NameConvScope::~NameConvScope() {
    if (!active_) return;
    FILE_restore_name_conv();
    name_conv_saved = false;
}

int FILE_set_filename(const char *str) {
    set_filename(str ? str : "");
    filename_type = 1;
    return 0;
}

char *FILE_get_filename(char *str, std::size_t size) {
    if (str && str != filename) copy_text(str, size, filename);
    return filename;
}

int FILE_set_late_off(int val) {
    late_off = val;
    return 0;
}

int FILE_get_late_off() {
    return static_cast<int>(late_off);
}

int FILE_set_min_size(int val) {
    rmin_size = val < 1 ? 0 : val;
    return 0;
}

int FILE_get_min_size() {
    return static_cast<int>(rmin_size != 0 ? rmin_size : min_size);
}

int FILE_set_time(const Date *datim) {
    if (datim) set = *datim;
    return 0;
}

int FILE_get_time(Date *datim) {
    if (datim) *datim = set;
    return 0;
}

int FILE_reset_time() {
    set.year = set.month = set.day = set.hour = set.min = MISSING;
    return 0;
}

int FILE_valid_time(const Date *d) {
    if (d == nullptr) return 0;
    auto in = [](int v, int lo, int hi) { return v == MISSING || (v >= lo && v <= hi); };
    return in(d->year, 0, 9999) && in(d->month, 1, 12) && in(d->day, -31, 31) &&
                   valid_clock_field(d->hour, 23) && valid_clock_field(d->min, 59)
               ? 1
               : 0;
}

int FILE_set_key(char key, const char *str) {
    std::string value = str ? str : "";
    value.resize(std::min(value.size(), KEY_MAX));
    std::replace(value.begin(), value.end(), ' ', '_');
    keys[static_cast<unsigned char>(key)] = value;
    return 0;
}

int FILE_get_key(char key, char *str, std::size_t size) {
    copy_text(str, size, keys[static_cast<unsigned char>(key)]);
    return 0;
}

int FILE_set_type(int type) {
    file_type = type;
    return 0;
}

char *FILE_get_ext_info() {
    return ext_info;
}

int FILE_set_ext_info(const char *str) {
    copy_text(ext_info, sizeof ext_info, str ? str : "");
    return 0;
}

int ZEQ_share(int mode) {
    shared_mode = mode;
    return 0;
}

int FILE_get_file(const char *prompt, char *outfile, std::size_t size) {
    return choose_file(prompt, outfile, size, false);
}

int FILE_get_file_only(const char *prompt, char *outfile, std::size_t size) {
    return choose_file(prompt, outfile, size, true);
}

// ---- Templates -------------------------------------------------------------

int FILE_set_file(const char *file, char *out_file, std::size_t size) {
    std::string name = file ? file : "";

    if (file_type == 1) {
        if (!name.empty()) extract_extra(name, 1);
    } else if (!name.empty() && !current_spec(name)) {
        // A '#' date suffix pins the date fields of later names. Current-time
        // specs keep their own '#' forms.
        std::size_t hash = name.find('#', 1);
        if (hash != std::string::npos) {
            read_date_suffix(name.c_str() + hash + 1);
            name.erase(hash);
        }
    }
    file_date = set;

    if (stricmp(name.c_str(), "exit") == 0) ZEQ_exit(0);
    if (!name.empty() && name[0] == '@') {
        copy_text(out_file, size, name.substr(1));
        filename_type = 1;
        return 0;
    }
    if (FILE_is_stdio(name.c_str()) || (!conv.empty() && FILE_is_stdio(conv.c_str()))) {
        copy_text(out_file, size, "-");
        return 0;
    }
    if (conv.empty()) {
        set_filename(name);
        filename_type = 1;
        copy_text(out_file, size, name);
        return 0;
    }
    const char *spec = nullptr;
    if (name[0] == '#' || strnicmp(name.c_str(), "la", 2) == 0)
        spec = name.c_str();
    else if (strnicmp(name.c_str(), "cu", 2) == 0)
        spec = name.c_str() + 2;
    if (spec) {
        char chosen[FILE_NAME_SIZE];
        FILE_set_current(spec, chosen, sizeof chosen);
        copy_text(out_file, size, chosen);
        MESS_print(M_MESS, "Current filename: %s\n", chosen);
        return 0;
    }
    if (stricmp(name.c_str(), "none") == 0 || (FILE_fullpath(conv.c_str()) && FILE_fullpath(name.c_str()))) {
        copy_text(out_file, size, name);
        return 0;
    }
    Expansion walk(header ? hconv : conv, name);
    copy_text(out_file, size, walk.run());
    return 0;
}

int FILE_set_date(const Date *datim, char *out_file, std::size_t size) {
    if (conv.empty()) {
        copy_text(out_file, size, filename[0] ? filename : "filename");
        filename_type = 1;
        return 1;
    }
    if (FILE_is_stdio(conv.c_str())) {
        copy_text(out_file, size, "-");
        filename_type = 0;
        return 1;
    }
    std::string dir = typed_directory();
    const std::string &tpl = header ? hconv : conv;
    late_off = MISSING;

    Date d = datim ? *datim : file_date;
    if (datim) file_date.year = file_date.month = file_date.day = file_date.hour = file_date.min = MISSING;
    if (d.year == MISSING && filename[0]) {
        copy_text(out_file, size, filename);
        filename_type = 1;
        return 1;
    }
    Build build(tpl, d, dir);
    std::string name = build.run();
    set_filename(name);
    copy_text(out_file, size, name);
    return 0;
}

int FILE_hdr_set_date(const Date *datim, char *out_file, std::size_t size) {
    header = 1;
    Date d = datim ? *datim : file_date;
    if (d.year == MISSING) {
        header = 0;
        return 0;
    }
    char name[FILE_NAME_SIZE] = "";
    FILE_set_date(&d, name, sizeof name);
    header = 0;
    copy_text(out_file, size, name);
    return name[0] ? 1 : 0;
}

int FILE_list_file() {
    std::string pattern;
    for (std::size_t i = 0; i < conv.size();) {
        char c = conv[i++];
        if (c == '{' || c == '}') continue;
        if (c != '%') {
            pattern += c;
            continue;
        }
        long n = 0;
        bool number = false;
        while (i < conv.size() && is_digit(conv[i])) {
            if (n < 1000) n = n * 10 + (conv[i] - '0');
            number = true;
            ++i;
        }
        if (i >= conv.size()) break;
        char k = conv[i++];
        switch (k) {
        case '%':
            pattern += '%';
            break;
        case 'e':
            pattern += ext.empty() ? "*" : ext;
            break;
        case 'Y':
            pattern += "?[0-9]??";
            break;
        case 'y':
        case 'm':
        case 'd':
        case 'h':
        case 'n':
            pattern += "[0-9]?";
            break;
        case 'b':
            pattern += "?[a-z]?";
            break;
        case 'j':
            pattern += "?[0-9]?";
            break;
        case '{': {
            // a resource of name building: any text
            std::size_t close = conv.find('}', i);
            i = close == std::string::npos ? conv.size() : close + 1;
            pattern += '*';
            break;
        }
        default:
            if (const char *res = path_resource(k)) {
                pattern += path_value(res);
            } else if (!keys[static_cast<unsigned char>(k)].empty()) {
                pattern += keys[static_cast<unsigned char>(k)];
            } else {
                pattern += number ? std::string(static_cast<std::size_t>(n), '?') : std::string("*");
            }
            break;
        }
    }
    if (pattern.empty()) pattern.push_back('*');
    MESS_print(M_DEBUG, "SEARCH: %s\n", pattern.c_str());

    std::vector<std::string> names;
    glob_t g{};
    if (::glob(pattern.c_str(), GLOB_TILDE, nullptr, &g) == 0) {
        for (std::size_t i = 0; i < g.gl_pathc; ++i)
            names.emplace_back(g.gl_pathv[i]);
    }
    ::globfree(&g);
    std::sort(names.begin(), names.end());

    // Across the lines in columns, as wide as the longest name and two blanks.
    constexpr std::size_t LINE_WIDTH = 80;
    std::size_t widest = 0;
    for (const std::string &s : names)
        widest = std::max(widest, s.size());
    const std::size_t col = widest + 2;
    const std::size_t per_line = std::max<std::size_t>(1, LINE_WIDTH / col);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += names[i];
        bool last = (i + 1) % per_line == 0 || i + 1 == names.size();
        if (last)
            text += '\n';
        else
            text.append(col - names[i].size(), ' ');
    }
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    return 0;
}

int FILE_extract_extra_info(char *file) {
    if (!file) return 0;
    std::size_t len = std::strlen(file);
    if (len < 3) return 0;
    char *p = std::strpbrk(file + 2, "#-+:");
    if (!p) return 0;
    copy_text(ext_info, sizeof ext_info, p);
    *p = '\0';
    return 0;
}

// ---- Sequences and the current file ------------------------------------------

time_t FILE_set_current(const char *cur, char *out, std::size_t size) {
    const char *p = cur ? cur : "la";
    filename_type = 0;

    time_t t;
    if (*p == '#') {
        ++p;
        t = read_spec_date(p);
    } else if (const char *env = std::getenv("zeqcurtime"); env && env[0]) {
        const char *q = env[0] == '#' ? env + 1 : env;
        t = read_spec_date(q);
    } else {
        t = DATE_get_time(nullptr);
    }

    // Fixed date fields pull the time back to the latest time that has them.
    Date dt = secs_date(t);
    if (set.month >= 0) {
        if (dt.month < set.month) --dt.year;
        dt.month = set.month;
        t = date_secs(dt);
        dt = secs_date(t);
    }
    if (set.day >= 0) {
        if (dt.day < set.day) {
            if (--dt.month < 1) {
                dt.month = 12;
                --dt.year;
            }
        }
        dt.day = set.day;
        t = date_secs(dt);
        dt = secs_date(t);
    }
    if (set.hour >= 0) {
        if (dt.hour < set.hour) dt = secs_date(t - 86400);
        dt.hour = set.hour;
        t = date_secs(dt);
        dt = secs_date(t);
    }
    if (set.min >= 0) {
        if (dt.min < set.min) dt = secs_date(t - 3600);
        dt.min = set.min;
        t = date_secs(dt);
    }

    int dir = -1;
    auto read_sign = [&]() {
        dir = *p == '+' ? 1 : -1;
        if (*p == '+' || *p == '-') ++p;
    };
    read_sign();
    if (is_digit(*p)) {
        long off = read_offset(p);
        t += dir * off;
        MESS_print(M_DEBUG, "CUR1:%d %ld %ld %d\n", dir, off, static_cast<long>(t),
                   static_cast<int>(late_off));
        MESS_print(M_DEBUG, "CUR1:%s %ld\n", p, static_cast<long>(t));
        read_sign();
    }
    if (*p == 'l' || *p == 'L') {
        ++p;
        if (*p == 'a' || *p == 'A') ++p;
        int tries = LATE_TRIES;
        if (*p == '#') {
            ++p;
            if (!read_num(p, 4, tries)) tries = LATE_TRIES;
        }
        char name[FILE_NAME_SIZE] = "";
        std::string first;
        bool found = false;
        for (int i = 0; i < tries; ++i) {
            Date d = secs_date(t);
            FILE_set_date(&d, name, sizeof name);
            if (i == 0) first = name;
            long sz = FILE_size(name);
            MESS_print(M_DEBUG, "LATE:%d %d %d %d %d\n", i, d.year, d.day, d.hour, d.min);
            MESS_print(M_DEBUG, "LATE: %s\n", name);
            if ((rmin_size > 0 && sz > rmin_size) || sz > min_size) {
                found = true;
                break;
            }
            t += dir * FILE_get_offset();
        }
        // Kept to say what was searched when no file comes of it.
        late_search = {!found && tries > 1, first, name};
        MESS_print(M_DEBUG, "LATEST: %s %s %d\n", name, filename, tries);
        read_sign();
    }
    if (is_digit(*p)) {
        long off = read_offset(p);
        t += dir * off;
        MESS_print(M_DEBUG, "CUR2:%d %ld %ld %d\n", dir, off, static_cast<long>(t),
                   static_cast<int>(late_off));
        MESS_print(M_DEBUG, "CUR2:%ld\n", static_cast<long>(t));
    }

    Date d = secs_date(t);
    char name[FILE_NAME_SIZE];
    FILE_set_date(&d, name, sizeof name);
    MESS_print(M_DEBUG, "%d %d %d %d\n", d.year, d.day, d.hour, d.min);
    copy_text(out, size, name);
    return floor_multiple(t, FILE_get_offset());
}

int FILE_first(const Date *datim) {
    files.clear();
    numfile = 0;
    int argc = 0;
    char **argv = nullptr;
    if (RES_getvals("filename", &argc, &argv) > 0) {
        for (int i = 0; i < argc; ++i)
            files.emplace_back(argv[i]);
        numfile = argc;
        if (strnicmp(argv[0], "la", 2) == 0 || strnicmp(argv[0], "cu", 2) == 0) numfile = 0;
    }
    free_parsed_array(argc, argv);

    file_ind = 0;
    if (datim) first_date = *datim;
    num_hour = FILE_num_hour();
    skip = FILE_get_skip();
    offset = FILE_get_offset();
    if (skip > 0 && skip >= offset) offset = offset * (skip / offset);
    // The first file is the earliest multiple of the step within a range
    // that lies before the first date.
    secs = num_hour < 0 ? num_hour / offset * offset : 0;
    nsecs = secs;
    return 0;
}

int FILE_get_next(char *file, std::size_t size) {
    if (list_mode()) {
        if (file_ind >= numfile) return 0;
        FILE_set_file(files[static_cast<std::size_t>(file_ind)].c_str(), file, size);
        ++file_ind;
        return 1;
    }
    if ((num_hour < 0 && nsecs > 0) || (num_hour >= 0 && nsecs > num_hour)) return 0;
    if (num_hour == 0) {
        copy_text(file, size, filename);
    } else {
        MESS_print(M_DEBUG, " in: ");
        DATE_print(M_DEBUG, &first_date);
        char name[FILE_NAME_SIZE];
        long r = FILE_set_date_off(&first_date, nsecs, name, sizeof name);
        MESS_print(M_DEBUG, "out: ");
        DATE_print(M_DEBUG, &file_date);
        MESS_print(M_DEBUG_C, "NEXT: %ld %ld %ld %ld %ld %s\n", nsecs, offset, skip, num_hour, r, name);
        copy_text(file, size, name);
    }
    nsecs += offset;
    return 1;
}

long FILE_get_num_file() {
    return list_mode() ? numfile - 1 : num_hour;
}

int FILE_next_file(char *file, std::size_t size) {
    secs += offset > 0 ? offset : FILE_get_offset();
    FILE_set_date_off(&first_date, secs, file, size);
    return 1;
}

int FILE_prev_file(char *file, std::size_t size) {
    secs -= offset > 0 ? offset : FILE_get_offset();
    FILE_set_date_off(&first_date, secs, file, size);
    return 1;
}

long FILE_set_date_off(const Date *datim, time_t off, char *out_file, std::size_t size) {
    Date d = datim ? *datim : file_date;
    DATE_print(M_DEBUG, &d);
    time_t t0 = date_secs(d);
    time_t t1 = t0 + off;
    Date nd = secs_date(t1);
    MESS_print(M_DEBUG, "%ld %ld = %d %d %d %d\n", static_cast<long>(t0), static_cast<long>(t1), nd.year,
               nd.day, nd.hour, nd.min);
    FILE_set_date(&nd, out_file, size);
    return static_cast<long>(off / FILE_get_offset());
}

long FILE_get_offset() {
    return late_off > 0 ? late_off : DEFAULT_STEP;
}

int FILE_set_def_hours(int hour) {
    def_hours = hour * 3600L;
    return 0;
}

long FILE_num_hour() {
    const char *v = RES_get("num_hour");
    long secs = 0;
    if (!v || !read_hours(v, true, secs)) return def_hours;
    return secs;
}

long FILE_get_skip() {
    const char *v = RES_get("num_hour");
    const char *comma = v ? std::strchr(v, ',') : nullptr;
    long secs = 0;
    if (!comma || !read_hours(comma + 1, false, secs)) return late_off;
    return secs;
}

long FILE_get_nsecs() {
    return nsecs;
}

int FILE_set_nsecs(long val) {
    nsecs = val;
    return 0;
}

long FILE_get_num_hour() {
    return num_hour;
}

int FILE_print_first_date(const char *str, ...) {
    if (str) {
        va_list ap;
        va_start(ap, str);
        char buf[512];
        std::vsnprintf(buf, sizeof buf, str, ap);
        va_end(ap);
        MESS_print(M_DEBUG, "%s", buf);
    }
    DATE_print(M_DEBUG, &first_date);
    return 0;
}

int FILE_get_date(Date *date) {
    if (date) *date = file_date;
    return 0;
}
