// Station file reading: opens one station file at a time (text, one station
// per line) and reads its records field by field.
// File-static state: the open station file and its type.
#include "fields/cty_read.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/files.h"
#include "runtime/mess.h"

namespace {

// The one open station file and the type given when it was opened.
FILE *city_file = nullptr;
int file_type = 1;

// Longest line kept; the rest of a longer line is read and dropped.
constexpr std::size_t max_line = 512;

// Reads the next line (without its line feed) into line; false at the end.
bool read_line(FILE *f, std::string &line) {
    line.clear();
    int c = std::getc(f);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::getc(f)) {
        if (line.size() < max_line) line.push_back(static_cast<char>(c));
    }
    return true;
}

bool is_blank(const std::string &line) {
    for (char c : line) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\f' && c != '\v') return false;
    }
    return true;
}

// A record with nothing read into it: no elevation, no WMO number, count 0.
void clear_record(CTY_data *city) {
    std::memset(city, 0, sizeof *city);
    city->mos = ' ';
    city->ua = ' ';
    city->lat = -9999.0f;
    city->lon = -9999.0f;
    city->el = -9999.0f;
    city->wmo = 99999;
    city->num = 0;
}

// The priority token: an optional '*' (mos), the digit, an optional '*' (ua).
// A token without a digit gives the least important priority, 9.
void decode_priority(const char *token, CTY_data *city) {
    const char *p = token;
    if (*p == '*') {
        city->mos = '*';
        ++p;
    }
    if (*p >= '0' && *p <= '9') {
        city->prior = *p - '0';
        ++p;
    } else {
        city->prior = 9;
    }
    if (*p == '*') city->ua = '*';
}

// The blank-separated words of a line, one at a time.
class Words {
public:
    explicit Words(const char *line) : p_(line) {}
    // The next word and its length; false at the end of the line.
    bool next(const char **word, std::size_t *len) {
        while (*p_ && std::isspace(static_cast<unsigned char>(*p_)))
            ++p_;
        if (!*p_) return false;
        *word = p_;
        while (*p_ && !std::isspace(static_cast<unsigned char>(*p_)))
            ++p_;
        *len = static_cast<std::size_t>(p_ - *word);
        return true;
    }

private:
    const char *p_;
};

// Reads the ten fields of a station line as the format
// "%20s %2s %2s %9s %3s %f %f %f %d %d" would, each text field limited to its
// width; a word longer than its field sets *overlong instead of running into
// the next field. Returns the number of fields read before the first missing
// or unreadable one.
int scan_station(const char *line, CTY_data *city, char *token, bool *overlong) {
    struct Text {
        char *out;
        std::size_t width;
    };
    const Text texts[] = {{city->name, sizeof city->name - 1},
                          {city->state, sizeof city->state - 1},
                          {city->region, sizeof city->region - 1},
                          {city->id, sizeof city->id - 1},
                          {token, 3}};
    Words words(line);
    const char *w = nullptr;
    std::size_t len = 0;
    int n = 0;
    for (const Text &t : texts) {
        if (!words.next(&w, &len)) return n;
        if (len > t.width) {
            *overlong = true;
            return n;
        }
        std::memcpy(t.out, w, len);
        t.out[len] = '\0';
        ++n;
    }
    float *const floats[] = {&city->lat, &city->lon, &city->el};
    for (float *f : floats) {
        if (!words.next(&w, &len)) return n;
        char word[64];
        if (len >= sizeof word) return n;
        std::memcpy(word, w, len);
        word[len] = '\0';
        char *end = nullptr;
        const float v = std::strtof(word, &end);
        if (end == word) return n;
        *f = v;
        ++n;
    }
    int *const ints[] = {&city->wmo, &city->num};
    for (int *i : ints) {
        if (!words.next(&w, &len)) return n;
        char word[64];
        if (len >= sizeof word) return n;
        std::memcpy(word, w, len);
        word[len] = '\0';
        char *end = nullptr;
        const long v = std::strtol(word, &end, 10);
        if (end == word || v < INT_MIN || v > INT_MAX) return n;
        *i = static_cast<int>(v);
        ++n;
    }
    return n;
}

} // namespace

int CTY_open(const char *filename, int f_access, int f_type) {
    const char *access = f_access == 0 ? "r" : f_access == 1 ? "w" : nullptr;
    if (!access || !filename) return -1;
    if (city_file) {
        std::fclose(city_file);
        city_file = nullptr;
    }
    city_file = FILE_open(filename, access);
    if (!city_file) return -1;
    file_type = f_type;
    return fileno(city_file);
}

int CTY_getinfo(int, CTY_info *info) {
    if (!city_file) return -1;
    std::rewind(city_file);
    if (info) info->dtype = file_type;
    return 0;
}

int CTY_rewind(int) {
    if (!city_file) return -1;
    std::rewind(city_file);
    return 0;
}

int CTY_close(int) {
    if (!city_file) return -1;
    std::fclose(city_file);
    city_file = nullptr;
    return 0;
}

int CTY_read(int, CTY_data *city) {
    if (!city_file || !city) return -1;
    std::string line;
    while (read_line(city_file, line)) {
        if (is_blank(line)) continue;
        clear_record(city);
        char token[4] = "";
        bool overlong = false;
        const int n = scan_station(line.c_str(), city, token, &overlong);
        if (overlong) {
            MESS_print(M_WARN, "CTY_read: Station field too long, line skipped: %.80s\n", line.c_str());
            continue;
        }
        if (n < 7) {
            MESS_print(M_WARN, "CTY_read: Station without position skipped: %.80s\n", line.c_str());
            continue;
        }
        decode_priority(token, city);
        if (n < 8 || city->el > 9000.0f) city->el = -9999.0f;
        if (n < 9) city->wmo = 99999;
        if (n < 10) city->num = 0;
        return n;
    }
    return -1;
}
