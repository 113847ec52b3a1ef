// Messages by kind and level: filters every message by the level mask and
// sends it to the screen, a second output file and a log, with paging.
// File-static state: the level and how often it was set, the output mode, the
// log and second output files, and the paging settings and line count.
#include "runtime/mess.h"
#include "runtime/string.h"

#include <array>
#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/system.h"

namespace {

constexpr M_type kStartLevel = 0xFFFFF;
constexpr int kPageLength = 22;
constexpr std::size_t kLogNameSize = 160; // a dfi name of up to 159 characters

// Output modes.
constexpr int kLogOnly = 0;
constexpr int kScreenAndLog = 1;
constexpr int kStampedLog = -1;
constexpr int kReopenedLog = 2;

// Paging modes.
constexpr int kPageCount = 2;

M_type level = kStartLevel;
int set_count = 0;
int out_mode = kScreenAndLog;
FILE *log_file = nullptr;
std::array<char, kLogNameSize> log_name = {};
FILE *out_file = nullptr;
int page_mode = 1;
int page_length = kPageLength;
int line_count = 0;

struct Kind {
    std::string_view name;
    M_type mask;
};
constexpr std::array<Kind, 9> kinds = {{
    {"print", M_PRINT},
    {"error", M_ERROR},
    {"warn", M_WARN},
    {"mess", M_MESS},
    {"out1", M_OUT1},
    {"out2", M_OUT2},
    {"out3", M_OUT3},
    {"out4", M_OUT4},
    {"debug", M_DEBUG},
}};

// The mask with every bit below its highest set bit set as well.
M_type fill_below(M_type m) {
    m |= m >> 1;
    m |= m >> 2;
    m |= m >> 4;
    m |= m >> 8;
    m |= m >> 16;
    return m;
}

// Closes a stream of this module (a pipe too); the standard streams stay open.
void close_stream(FILE *&f) {
    if (f != nullptr) FILE_close(f);
    f = nullptr;
}

void write_text(FILE *f, const std::string &text) {
    std::fwrite(text.data(), 1, text.size(), f);
}

std::string format_text(const char *format, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    std::array<char, 512> small;
    const int n = std::vsnprintf(small.data(), small.size(), format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < small.size())
        return std::string(small.data(), static_cast<std::size_t>(n));
    std::string text(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, ap);
    return text;
}

// Replaces the log file by `name` opened with `access`, in output mode `mode`.
void open_log(const std::string &name, const char *access, int mode) {
    close_stream(log_file);
    out_mode = mode;
    if (!name.empty()) log_file = FILE_open(name.c_str(), access);
    if (log_file == nullptr) {
        // Without a log the messages stay on the screen.
        if (out_mode == kLogOnly) out_mode = kScreenAndLog;
        MESS_print(M_WARN, "MESS_set_str: Unable to open log file: %s\n", name.c_str());
    }
}

// Makes `name` the log file that is opened anew for every message.
void set_reopened_log(const std::string &name) {
    close_stream(log_file);
    log_name[0] = '\0';
    if (name.empty() || name.size() >= log_name.size()) {
        out_mode = kScreenAndLog;
        MESS_print(M_WARN, "MESS_set_str: Invalid log file name: %s\n", name.c_str());
        return;
    }
    name.copy(log_name.data(), log_name.size() - 1);
    log_name[name.size()] = '\0';
    out_mode = kReopenedLog;
}

// The page length of a "line" item: the number after the separator, or 22.
int page_length_of(std::string_view item) {
    const std::string number(item.substr(5));
    const long n = std::strtol(number.c_str(), nullptr, 10);
    if (n <= 0) return kPageLength;
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

void apply_level_word(std::string_view item) {
    char sign = '\0';
    if (item.front() == '+' || item.front() == '-') {
        sign = item.front();
        item.remove_prefix(1);
    }
    M_type mask = 0;
    for (const auto &k : kinds) {
        if (istarts_with(item, k.name)) {
            mask = k.mask;
            break;
        }
    }
    if (!item.empty()) {
        switch (std::tolower(static_cast<unsigned char>(item.back()))) {
        case 'a':
            mask &= 0x11111111;
            break;
        case 'b':
            mask &= 0x22222222;
            break;
        case 'c':
            mask &= 0x44444444;
            break;
        case 'd':
            mask &= 0x88888888;
            break;
        default:
            break;
        }
    }
    if (sign == '+')
        level |= mask;
    else if (sign == '-')
        level &= ~mask;
    else
        level = fill_below(mask);
}

void apply_item(std::string_view item) {
    // The file name of a log item starts one character after its key.
    auto name_after = [&item](std::size_t key) {
        return item.size() > key + 1 ? std::string(item.substr(key + 1)) : std::string();
    };
    if (istarts_with(item, "@fi")) {
        open_log(name_after(3), "a", kStampedLog);
    } else if (istarts_with(item, "+fi")) {
        open_log(name_after(3), "a", kScreenAndLog);
    } else if (istarts_with(item, "-fi")) {
        open_log(name_after(3), "w", kScreenAndLog);
    } else if (istarts_with(item, "dfi")) {
        set_reopened_log(name_after(3));
    } else if (istarts_with(item, "fi")) {
        open_log(name_after(2), "a", kLogOnly);
    } else if (iequals(item, "nopage")) {
        page_mode = 0;
    } else if (iequals(item, "page")) {
        page_mode = kPageCount;
    } else if (istarts_with(item, "line") && item.size() > 4) {
        page_length = page_length_of(item);
    } else {
        apply_level_word(item);
    }
}

} // namespace

int MESS_print(M_type type, const char *mess, ...) {
    if (!MESS_check(type) || mess == nullptr) return 0;
    std::string text;
    bool formatted = true;
    va_list ap;
    va_start(ap, mess);
    try {
        text = format_text(mess, ap);
    } catch (...) {
        formatted = false; // no memory for the text
    }
    va_end(ap);
    if (!formatted) return 0;

    if (out_file != nullptr) {
        write_text(out_file, text);
        std::fflush(out_file);
    }

    FILE *log = log_file;
    FILE *reopened = nullptr;
    if (out_mode == kReopenedLog) {
        if (log_name[0] != '\0') reopened = FILE_open(log_name.data(), "a");
        log = reopened;
    }
    if (log != nullptr) {
        if (out_mode == kStampedLog) {
            char stamp[32];
            DATE_get_current_str(stamp, sizeof stamp);
            std::fprintf(log, "%s -- ", stamp);
        }
        write_text(log, text);
        std::fflush(log);
    }
    close_stream(reopened);

    if (out_mode == kLogOnly) return 0;

    if (type & (M_ERROR | M_WARN)) {
        std::fflush(stdout); // keep the order of the two streams on one terminal
        write_text(stderr, text);
    } else {
        write_text(stdout, text);
    }

    if (page_mode == kPageCount) {
        for (const char *p = mess; *p != '\0'; ++p) {
            if (*p == '\n') ++line_count;
        }
        if (line_count > page_length) MESS_hold(type, "Press return to continue\n");
    }
    return 1;
}

int MESS_check(M_type mask) {
    return (mask & level) != 0 ? 1 : 0;
}

int MESS_set_str(const char *str) {
    ++set_count;
    if (str == nullptr) return 0;
    std::string_view rest(str);
    while (!rest.empty() && rest.back() == ',')
        rest.remove_suffix(1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        if (!item.empty()) apply_item(item);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return 0;
}

int MESS_set(int oper, M_type mask) {
    if (oper <= 4) ++set_count;
    if (oper >= 16 && set_count != 0) return 0;
    switch (oper) {
    case 0:
    case 10:
    case 20:
        level = fill_below(mask);
        break;
    case 1:
    case 11:
    case 21:
        level |= mask;
        break;
    case -1:
    case 9:
    case 19:
        level &= ~mask;
        break;
    default:
        break;
    }
    return 0;
}

M_type MESS_get() {
    return level;
}

int MESS_check_set() {
    return set_count;
}

int MESS_get_max_lines() {
    return page_length;
}

int MESS_set_page(int val) {
    page_mode = val;
    return 0;
}

int MESS_set_out(int val) {
    out_mode = val;
    return 0;
}

int MESS_file(const char *filename, const char *access) {
    close_stream(out_file);
    if (filename == nullptr || access == nullptr) return -1;
    out_file = FILE_open(filename, access);
    return out_file != nullptr ? 0 : -1;
}

int MESS_file_close() {
    close_stream(out_file);
    return 0;
}

int MESS_hold(M_type type, const char *mess) {
    if (!MESS_check(type) || out_mode == kLogOnly || FLAG_batch() || page_mode == 0) return 0;
    FILE *f = ((type & M_ERROR) && (type & M_WARN)) ? stderr : stdout;
    if (mess != nullptr) std::fputs(mess, f);
    std::fflush(stdout);
    std::fflush(stderr);
    // Wait for Return: the rest of the typed line is taken with it.
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
    line_count = 0;
    return 0;
}

int MESS_print_prog(const char *string) {
    MESS_print(M_MESS, "      %s (Ver %s)\n\n", string != nullptr ? string : "", ZEQ_version());
    return 0;
}
