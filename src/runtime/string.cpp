// String utilities: in-place clean-up, case, character-class tests, bounded
// copies, case-insensitive comparison, splitters and the label number format.
// No file-static state.
#include "runtime/string.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "runtime/zeq.h"

namespace {

constexpr char BLANK = ' ';

unsigned char byte(char c) {
    return static_cast<unsigned char>(c);
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Bytes that read as white space or are outside 7-bit ASCII.
bool is_blankish(char c) {
    return byte(c) <= 0x20 || byte(c) > 0x7F;
}

// Removes every character for which drop(c) holds, closing the gaps.
template <typename Pred> void remove_if_chars(char *string, Pred drop) {
    char *out = string;
    for (const char *in = string; *in; ++in) {
        if (!drop(*in)) *out++ = *in;
    }
    *out = '\0';
}

void trim_trailing(char *string, char tar) {
    std::size_t n = std::strlen(string);
    while (n > 0 && string[n - 1] == tar)
        string[--n] = '\0';
}

char *heap_copy(const char *text, std::size_t len) {
    auto *copy = static_cast<char *>(std::malloc(len + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, len);
    copy[len] = '\0';
    return copy;
}

// Cuts the working text of the command splitters into items in place and
// hands back the pointer array (argc items and a null pointer). The first
// item starts at the start of the text and runs to the first blank after its
// first character; a later item starts at a non-blank character after a
// blank, and one that begins with a double quote runs to the next double
// quote (blanks included) and is stored without both quotes. Text right after
// a closing quote starts an item of its own.
int split_command(char *text, int *argc, char ***argv) {
    std::vector<char *> items;
    try {
        char *p = text;
        items.push_back(p);
        if (*p) ++p;
        while (*p && *p != BLANK)
            ++p;
        for (;;) {
            while (*p == BLANK)
                *p++ = '\0';
            if (!*p) break;
            if (*p == '"') {
                char *start = ++p;
                char *close = std::strchr(start, '"');
                items.push_back(start);
                if (!close) break;
                *close = '\0';
                p = close + 1;
            } else {
                items.push_back(p);
                while (*p && *p != BLANK)
                    ++p;
            }
        }
    } catch (const std::bad_alloc &) {
        std::free(text);
        return -1;
    }

    auto **list = static_cast<char **>(std::malloc((items.size() + 1) * sizeof(char *)));
    if (!list) {
        std::free(text);
        return -1;
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        list[i] = items[i];
    list[items.size()] = nullptr;
    *argc = static_cast<int>(items.size());
    *argv = list;
    return 0;
}

} // namespace

// ---- In-place editing -------------------------------------------------------

int fill_string(char *string, char tar, char fill) {
    if (!string) return 0;
    for (char *p = string; *p; ++p) {
        if (*p == tar) *p = fill;
    }
    return 0;
}

int strip_string(char *string, char tar) {
    if (!string) return 0;
    remove_if_chars(string, [tar](char c) { return c == tar; });
    return 0;
}

int wsstrip_string(char *string) {
    if (!string) return 1;
    remove_if_chars(string, [](char c) { return c == '\n' || c == '\r'; });
    return 1;
}

int wstrim_string(char *string) {
    if (!string) return 1;
    wsstrip_string(string);
    trim_trailing(string, BLANK);
    return 1;
}

int trim_string(char *string) {
    if (string) trim_trailing(string, BLANK);
    return 0;
}

int trim_cr_string(char *string) {
    if (string) trim_trailing(string, '\r');
    return 0;
}

int strip_spaces(char *string) {
    if (!string) return 0;
    trim_trailing(string, BLANK);
    char *out = string;
    for (const char *in = string; *in; ++in) {
        if (*in == BLANK && out > string && out[-1] == BLANK) continue;
        *out++ = *in;
    }
    *out = '\0';
    return 0;
}

int strip_escape(char *string) {
    if (!string) return 0;
    char *out = string;
    for (const char *in = string; *in; ++in) {
        if (*in == '\\') {
            ++in;
            if (!*in) break;
        }
        *out++ = *in;
    }
    *out = '\0';
    return 0;
}

int shift_string(char *string, int num) {
    if (!string) return 0;
    const std::size_t len = std::strlen(string);
    if (num < 0) {
        // Widen before negating: -INT_MIN does not fit an int.
        const auto cut = static_cast<std::size_t>(-static_cast<long long>(num));
        if (cut >= len) {
            string[0] = '\0';
        } else {
            std::memmove(string, string + cut, len - cut + 1);
        }
    } else {
        const auto cut = static_cast<std::size_t>(num);
        string[cut >= len ? 0 : len - cut] = '\0';
    }
    return 0;
}

int up_string(char *string) {
    if (!string || !*string) return 0;
    for (char *p = string; *p; ++p)
        *p = upper(*p);
    return 1;
}

int low_string(char *string) {
    if (!string || !*string) return 0;
    for (char *p = string; *p; ++p)
        *p = lower(*p);
    return 1;
}

int clean_line(char *line) {
    if (!line || !*line) return 0;
    std::size_t n = std::strlen(line);
    while (n > 0 && byte(line[n - 1]) < 0x20)
        line[--n] = '\0';
    if (n > 0 && byte(line[n - 1]) > 0x7F) line[n - 1] = BLANK;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (byte(line[i]) < 0x20 || byte(line[i]) > 0x7F) line[i] = BLANK;
    }
    return 1;
}

// ---- Tests -------------------------------------------------------------------

int string_is_float(const char *string) {
    if (!string || !*string) return 0;
    return (std::strchr(string, '.') || std::strchr(string, 'E')) ? 1 : 0;
}

int string_is_alpha(const char *string) {
    if (!string || !*string) return 0;
    for (const char *p = string; *p; ++p) {
        if (!is_alpha(*p)) return 0;
    }
    return 1;
}

int string_is_num(const char *string) {
    if (!string || !*string) return 0;
    const char *p = string;
    if (*p == '-') ++p;
    for (; *p; ++p) {
        if (!is_digit(*p)) return 0;
    }
    return 1;
}

int string_is_num_len(const char *string, int len) {
    if (!string || !*string) return 0;
    // The terminator is not a digit, so a shorter text fails without an overread.
    for (int i = 0; i < len; ++i) {
        if (!is_digit(string[i])) return 0;
    }
    return 1;
}

int string_is_blank(const char *string) {
    if (!string) return 1;
    for (const char *p = string; *p; ++p) {
        if (!is_blankish(*p)) return 0;
    }
    return 1;
}

// ---- Copies and search -------------------------------------------------------

char *create_string(const char *string) {
    if (!string) return nullptr;
    return heap_copy(string, std::strlen(string));
}

char *create_strcat(const char *oldstr, const char *delim, const char *string) {
    if (!string) return nullptr;
    if (!oldstr) oldstr = "";
    if (!delim) delim = "";
    const std::size_t l1 = std::strlen(oldstr);
    const std::size_t l2 = std::strlen(delim);
    const std::size_t l3 = std::strlen(string);
    auto *text = static_cast<char *>(std::malloc(l1 + l2 + l3 + 1));
    if (!text) return nullptr;
    std::memcpy(text, oldstr, l1);
    std::memcpy(text + l1, delim, l2);
    std::memcpy(text + l1 + l2, string, l3);
    text[l1 + l2 + l3] = '\0';
    return text;
}

int searchstr(const char *const *s1, int n, const char *s2) {
    if (!s1 || !s2) return 0;
    for (int i = 0; i < n; ++i) {
        if (s1[i] && stricmp(s1[i], s2) == 0) return 1;
    }
    return 0;
}

const char *strlstr(const char *s1, const char *s2) {
    if (!s1 || !s2) return nullptr;
    const std::size_t l1 = std::strlen(s1);
    const std::size_t l2 = std::strlen(s2);
    // Candidates from the last character backwards; strncmp stops at the
    // terminator, so a candidate near the end never reads past it.
    for (std::size_t i = l1; i > 0; --i) {
        const char *p = s1 + i - 1;
        if (std::strncmp(p, s2, l2) == 0) return p;
    }
    return nullptr;
}

char *strlstr(char *s1, const char *s2) {
    return const_cast<char *>(strlstr(static_cast<const char *>(s1), s2));
}

int stricmp(const char *s1, const char *s2) {
    if (!s1 || !s2) return 1;
    for (;; ++s1, ++s2) {
        const int c1 = byte(lower(*s1));
        const int c2 = byte(lower(*s2));
        if (c1 != c2 || c1 == 0) return c1 - c2;
    }
}

int strnicmp(const char *s1, const char *s2, int n) {
    if (!s1 || !s2) return 1;
    for (int i = 0;; ++i) {
        const int c1 = byte(lower(s1[i]));
        const int c2 = byte(lower(s2[i]));
        if (c1 != c2 || c1 == 0 || i >= n - 1) return c1 - c2;
    }
}

int strntcpy(char *str1, const char *str2, int n) {
    if (!str1 || n < 0) return 1;
    const std::size_t len = str2 ? strnlen(str2, static_cast<std::size_t>(n)) : 0;
    if (len > 0) std::memcpy(str1, str2, len);
    str1[len] = '\0';
    return 1;
}

bool copy_text(char *dst, std::size_t size, std::string_view src) {
    if (dst == nullptr || size == 0) return false;
    const std::size_t n = src.size() < size ? src.size() : size - 1;
    // The source may lie in the destination (a buffer copied onto itself).
    if (n > 0) std::memmove(dst, src.data(), n);
    dst[n] = '\0';
    return n == src.size();
}

bool copy_text(char *dst, std::size_t size, const char *src) {
    return copy_text(dst, size, src != nullptr ? std::string_view(src) : std::string_view());
}

int strmcat(char *s1, const char *s2, int m) {
    if (!s1 || !s2 || m < 0) return 0;
    const std::size_t max = static_cast<std::size_t>(m);
    const std::size_t l1 = strnlen(s1, max);
    if (l1 >= max) return 0;
    const std::size_t add = strnlen(s2, max - l1);
    std::memcpy(s1 + l1, s2, add);
    s1[l1 + add] = '\0';
    return 1;
}

char *set_num(char *str, std::size_t size, const char *format, float x) {
    if (!str || size == 0) return str;
    double value = x;
    if (std::fabs(value) < 1e-5) value = 0.0;

    // Decimal exponent; an infinite or undefined value has none to speak of.
    int e = 2;
    if (value != 0.0 && std::isfinite(value)) e = static_cast<int>(std::floor(std::log10(std::fabs(value))));

    int w = 0;
    int s = 0;
    int d = 0;
    if (format) std::sscanf(format, "%d.%d.%d", &w, &s, &d);
    if (w <= 0) w = s + 1;
    if (w > 9) w = 9;
    int dec = s - e - 1;
    if (dec < d) dec = d;
    // A negative precision would print six decimals; no decimals is meant.
    if (dec < 0) dec = 0;
    if (w < dec) w = dec;

    std::snprintf(str, size, "%*.*f", w, dec, value);
    return str;
}

int chk_arg(const char *arg, const char *const *items, int num_items) {
    if (!arg) return MISSING;
    for (int i = 0; items && i < num_items; ++i) {
        if (items[i] && stricmp(arg, items[i]) == 0) return i;
    }
    // A whole number: digits with an optional sign, blanks around them allowed.
    char *end = nullptr;
    const long num = std::strtol(arg, &end, 10);
    if (end == arg) return MISSING;
    while (*end == BLANK)
        ++end;
    if (*end) return MISSING;
    if (num < 1 || num > num_items) return MISSING;
    return static_cast<int>(num);
}

// ---- Splitters ---------------------------------------------------------------

int parse_string(const char *string, char delim, int *argc, char ***argv) {
    *argc = 0;
    *argv = nullptr;
    if (!string || !*string) return -1;

    char *copy = create_string(string);
    if (!copy) return -1;
    trim_trailing(copy, delim);

    int count = 1;
    for (const char *p = copy; *p; ++p) {
        if (*p == delim) ++count;
    }
    auto **list = static_cast<char **>(std::malloc(static_cast<std::size_t>(count) * sizeof(char *)));
    if (!list) {
        std::free(copy);
        return -1;
    }
    int n = 0;
    list[n++] = copy;
    for (char *p = copy; *p; ++p) {
        if (*p == delim) {
            *p = '\0';
            list[n++] = p + 1;
        }
    }
    *argc = count;
    *argv = list;
    return 0;
}

int parse_command(const char *string, int *argc, char ***argv) {
    *argc = 0;
    *argv = nullptr;
    if (!string || !*string) return -1;
    while (*string == BLANK)
        ++string;
    char *copy = create_string(string);
    if (!copy) return -1;
    trim_trailing(copy, BLANK);
    return split_command(copy, argc, argv);
}

int parse_command_line(const char *command, const char *string, int *argc, char ***argv) {
    *argc = 0;
    *argv = nullptr;
    if (!string) return -1;
    if (!command) command = "";
    if (!*command && !*string) return -1;
    while (*string == BLANK)
        ++string;
    char *text = create_strcat(command, " ", string);
    if (!text) return -1;
    trim_trailing(text, BLANK);
    return split_command(text, argc, argv);
}

int free_parsed_array(int argc, char **argv) {
    if (argc != 0 && argv) {
        std::free(argv[0]);
        std::free(argv);
    }
    return 0;
}

std::vector<std::string> split_words(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i > start) out.emplace_back(text.substr(start, i - start));
    }
    return out;
}

std::size_t scan_decimal(std::string_view s, double *value) {
    auto digit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    std::size_t mant = 0;
    for (; digit(i); ++i)
        ++mant;
    if (i < s.size() && s[i] == '.') {
        for (++i; digit(i); ++i)
            ++mant;
    }
    if (mant == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '-' || s[j] == '+')) ++j;
        if (digit(j)) {
            while (digit(j))
                ++j;
            i = j;
        }
    }
    *value = std::strtod(std::string(s.substr(0, i)).c_str(), nullptr);
    return i;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool istarts_with(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && iequals(text.substr(0, prefix.size()), prefix);
}

namespace {

// 1 when format holds exactly one conversion whose letter is in `letters`,
// with flags from `flags`, width and precision, and any "%%".
int is_one_conversion(const char *format, const char *flags, const char *letters) {
    if (format == nullptr) return 0;
    int conversions = 0;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p != '\0' && std::strchr(flags, *p) != nullptr)
            ++p;
        while (*p >= '0' && *p <= '9')
            ++p;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9')
                ++p;
        }
        if (*p == '\0' || std::strchr(letters, *p) == nullptr) return 0;
        ++conversions;
    }
    return conversions == 1 ? 1 : 0;
}

} // namespace

int string_is_float_format(const char *format) {
    return is_one_conversion(format, "-+ #0", "eEfFgGaA");
}

int string_is_int_format(const char *format) {
    // '#' has no meaning for d and i.
    return is_one_conversion(format, "-+ 0", "di");
}

// Text for an attribute value: the five markup characters escaped, tabs and
// line ends as character references, other control characters and bytes
// that are not UTF-8 as '?', so that the document stays well-formed.
std::string xml_attr_text(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\'':
            out += "&apos;";
            continue;
        case '\t':
            out += "&#9;";
            continue;
        case '\n':
            out += "&#10;";
            continue;
        case '\r':
            out += "&#13;";
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7f) {
            out += '?';
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        // A multi-byte UTF-8 sequence is kept whole when it is valid.
        const std::size_t len = c >= 0xc2 && c <= 0xdf   ? 2
                                : c >= 0xe0 && c <= 0xef ? 3
                                : c >= 0xf0 && c <= 0xf4 ? 4
                                                         : 0;
        bool valid = len > 0 && i + len <= text.size();
        for (std::size_t k = 1; valid && k < len; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
        if (valid && len == 3) {
            const auto c1 = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xe0 && c1 < 0xa0) && !(c == 0xed && c1 >= 0xa0) &&
                    !(c == 0xef && c1 == 0xbf && static_cast<unsigned char>(text[i + 2]) >= 0xbe);
        }
        if (valid && len == 4) {
            const auto c1 = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xf0 && c1 < 0x90) && !(c == 0xf4 && c1 >= 0x90);
        }
        if (!valid) {
            out += '?';
            continue;
        }
        out.append(text.substr(i, len));
        i += len - 1;
    }
    return out;
}
