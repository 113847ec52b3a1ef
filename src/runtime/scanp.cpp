// Pattern scanner: reads fields out of a line of text by a pattern, from a
// cursor that remembers how far the line has been read.
// No file-static state (the cursor is the caller's).
#include "runtime/scanp.h"

#include "runtime/mess.h"
#include "runtime/zeq.h"

#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr int field_max = 79;   // characters of one field's text
constexpr int default_max = 19; // characters of a default text
constexpr int width_max = 999;  // the largest width a pattern can ask for

// White space of a blank in the pattern and of w; W leaves out the newline.
bool is_blank(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}
bool is_line_blank(char c) {
    return c == ' ' || c == '\r' || c == '\t';
}
// White space around the numbers of D and F.
bool is_num_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_alpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool is_space(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The text from the scan's start; reading past its end (or a NUL within it)
// gives '\0', which no element matches.
struct Text {
    const char *s;
    int avail;
    char at(int i) const { return i >= 0 && i < avail ? s[i] : '\0'; }
};

// One conversion as written in the pattern.
struct Conv {
    bool store = true; // no '*'
    bool lt = false;   // '<': the width is a maximum
    int width = 0;     // 0: none written
    bool has_default = false;
    std::string_view def;
    std::string_view body; // the alternatives of ( ) or the members of [ ]
    bool negated = false;  // [^ ]
    char letter = '\0';

    // Characters the field may take: the width, never past one field's text.
    int limit() const { return width > 0 && width < field_max ? width : field_max; }
    // Whether a field of n characters keeps the field rule.
    bool fits(int n) const { return width > 0 && !lt ? n == limit() : n >= 1 && n <= limit(); }
};

enum class Parse { ok, literal, error };

// Reads a conversion from just after its '%'; `next` is left after it (for a
// letter that is no conversion, at that letter).
Parse parse_conv(const char *p, Conv &cv, const char *&next) {
    if (*p == '*') {
        cv.store = false;
        ++p;
    }
    if (*p == '<') {
        cv.lt = true;
        ++p;
    }
    while (is_digit(*p)) {
        cv.width = cv.width * 10 + (*p - '0');
        if (cv.width > width_max) cv.width = width_max;
        ++p;
    }
    if (*p == '!') {
        const char *end = std::strchr(p + 1, '!');
        if (!end || end - (p + 1) > default_max) return Parse::error;
        cv.has_default = true;
        cv.def = std::string_view(p + 1, static_cast<std::size_t>(end - (p + 1)));
        p = end + 1;
    }
    cv.letter = *p;
    switch (cv.letter) {
    case 'n':
    case 'A':
    case 'N':
    case 's':
    case 'S':
    case 'c':
    case 'w':
    case 'W':
    case 'd':
    case 'D':
    case 'f':
    case 'F':
        next = p + 1;
        return Parse::ok;
    case '(':
    case '[': {
        const char close = cv.letter == '(' ? ')' : ']';
        const char *start = p + 1;
        if (close == ']' && *start == '^') {
            cv.negated = true;
            ++start;
        }
        const char *end = std::strchr(start, close);
        if (!end) return Parse::error;
        cv.body = std::string_view(start, static_cast<std::size_t>(end - start));
        next = end + 1;
        return Parse::ok;
    }
    default:
        next = p;
        return Parse::literal;
    }
}

template <typename Pred> int run_length(const Text &t, int pos, int lim, Pred pred) {
    int n = 0;
    while (n < lim && pred(t.at(pos + n)))
        ++n;
    return n;
}

// Length of the number of d, D, f or F at `pos` within `lim` characters (0
// when there is none); [num_start, num_end) is the number without white space.
int number_length(const Text &t, int pos, int lim, char letter, int &num_start, int &num_end) {
    const bool spaced = letter == 'D' || letter == 'F';
    const bool real = letter == 'f' || letter == 'F';
    auto at = [&](int i) { return i < lim ? t.at(pos + i) : '\0'; };
    int i = 0;
    if (spaced) {
        while (is_num_space(at(i)))
            ++i;
    }
    num_start = i;
    if (at(i) == '-') ++i;
    int digits = 0;
    bool point = false;
    for (;; ++i) {
        const char c = at(i);
        if (is_digit(c)) {
            ++digits;
        } else if (real && c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return 0;
    if (real && (at(i) == 'e' || at(i) == 'E')) {
        // The exponent letter belongs to the number only when digits follow.
        int j = i + 1;
        if (at(j) == '+' || at(j) == '-') ++j;
        if (is_digit(at(j))) {
            while (is_digit(at(j)))
                ++j;
            i = j;
        }
    }
    num_end = i;
    if (spaced) {
        while (is_num_space(at(i)))
            ++i;
    }
    return i;
}

int int_value(const char *s, int n) {
    int i = 0;
    const bool neg = n > 0 && s[0] == '-';
    if (neg) ++i;
    long long v = 0;
    for (; i < n; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
    }
    if (neg) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    return static_cast<int>(v);
}

float float_value(const char *s, int n) {
    char buf[field_max + 1];
    const int m = n < field_max ? n : field_max;
    std::memcpy(buf, s, static_cast<std::size_t>(m));
    buf[m] = '\0';
    const double v = std::strtod(buf, nullptr);
    // Beyond the range of a float the value is an infinity of its sign.
    if (v > FLT_MAX) return HUGE_VALF;
    if (v < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(v);
}

bool in_set(std::string_view members, char c) {
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (members[i] == '/' && i + 1 < members.size()) {
            const char m = members[i + 1];
            if (m == 'A' || m == 'N' || m == '/') {
                ++i;
                if ((m == 'A' && is_alpha(c)) || (m == 'N' && is_digit(c)) || (m == '/' && c == '/'))
                    return true;
                continue;
            }
        }
        if (members[i] == c) return true;
    }
    return false;
}

// Copies n characters of the text (at most one field's) to a caller's buffer,
// with a terminator unless told otherwise.
void store_text(char *dest, const char *src, int n, bool terminate = true) {
    if (!dest) return;
    if (n > field_max) n = field_max;
    if (n > 0) std::memcpy(dest, src, static_cast<std::size_t>(n));
    if (terminate) dest[n] = '\0';
}

// Outcome of one conversion: how many characters it consumed, or that it
// failed (the scan stops) or was skipped (nothing counted or consumed).
struct Result {
    enum { matched, skipped, failed } what;
    int n = 0;
};

Result convert(const Conv &cv, const Text &t, int pos, va_list &ap, parse_param *param) {
    const int lim = cv.limit();
    const char *here = t.s + pos;
    auto count = [&](bool stored) {
        ++param->matched;
        if (stored) ++param->assigned;
    };

    switch (cv.letter) {
    case 'n': {
        if (cv.store) {
            int *dest = va_arg(ap, int *);
            if (dest) *dest = pos;
        }
        count(cv.store);
        return {Result::matched, 0};
    }
    case 'A':
    case 'N':
    case 's':
    case 'S':
    case 'w':
    case 'W':
    case '[':
    case 'c': {
        int n = 0;
        switch (cv.letter) {
        case 'A':
            n = run_length(t, pos, lim, is_alpha);
            break;
        case 'N':
            n = run_length(t, pos, lim, is_digit);
            break;
        case 's':
            n = run_length(t, pos, lim, [](char c) { return c != '\0' && !is_space(c); });
            break;
        case 'w':
            n = run_length(t, pos, lim, is_blank);
            break;
        case 'W':
            n = run_length(t, pos, lim, is_line_blank);
            break;
        case '[':
            n = run_length(t, pos, lim,
                           [&](char c) { return c != '\0' && in_set(cv.body, c) != cv.negated; });
            break;
        default: // S and c: any characters
            n = run_length(t, pos, cv.letter == 'c' && cv.width == 0 ? 1 : lim,
                           [](char c) { return c != '\0'; });
            break;
        }
        const bool ok = cv.letter == 'c' && cv.width == 0 ? n == 1 : cv.fits(n);
        if (!ok) return {Result::failed, 0};
        if (cv.store) store_text(va_arg(ap, char *), here, n, cv.letter != 'c');
        count(cv.store);
        return {Result::matched, n};
    }
    case 'd':
    case 'D':
    case 'f':
    case 'F': {
        const bool real = cv.letter == 'f' || cv.letter == 'F';
        int num_start = 0, num_end = 0;
        int n = number_length(t, pos, lim, cv.letter, num_start, num_end);
        int consumed = 0;
        bool missing = false;
        if (n > 0 && cv.fits(n)) {
            consumed = n;
        } else if (cv.has_default) {
            // The default text stands in for the number at the field's start.
            const int k = static_cast<int>(cv.def.size()) < lim ? static_cast<int>(cv.def.size()) : lim;
            for (int i = 0; i < k; ++i) {
                if (t.at(pos + i) != cv.def[static_cast<std::size_t>(i)]) {
                    // Skipped: the conversion's pointer is passed over all the
                    // same, so that the next conversion gets its own.
                    if (cv.store && real) (void)va_arg(ap, float *);
                    if (cv.store && !real) (void)va_arg(ap, int *);
                    return {Result::skipped, 0};
                }
            }
            consumed = k;
            missing = true;
        } else {
            return {Result::failed, 0};
        }
        if (cv.store) {
            if (real) {
                float *dest = va_arg(ap, float *);
                if (dest) *dest = missing ? FMISSING : float_value(here + num_start, num_end - num_start);
            } else {
                int *dest = va_arg(ap, int *);
                if (dest) *dest = missing ? MISSING : int_value(here + num_start, num_end - num_start);
            }
        }
        count(cv.store);
        return {Result::matched, consumed};
    }
    case '(': {
        // The first alternative the text begins with wins.
        std::string_view rest = cv.body;
        for (;;) {
            const std::size_t bar = rest.find('|');
            const std::string_view alt = rest.substr(0, bar);
            bool hit = static_cast<int>(alt.size()) <= lim;
            for (std::size_t i = 0; hit && i < alt.size(); ++i)
                hit = t.at(pos + static_cast<int>(i)) == alt[i];
            if (hit) {
                const int n = static_cast<int>(alt.size());
                if (cv.store) store_text(va_arg(ap, char *), alt.data(), n);
                count(cv.store);
                return {Result::matched, n};
            }
            if (bar == std::string_view::npos) break;
            rest.remove_prefix(bar + 1);
        }
        if (cv.has_default) {
            // As much of the default text as the text repeats.
            int k = 0;
            while (k < static_cast<int>(cv.def.size()) && k < lim &&
                   t.at(pos + k) == cv.def[static_cast<std::size_t>(k)])
                ++k;
            if (cv.store) store_text(va_arg(ap, char *), here, 0);
            count(cv.store);
            return {Result::matched, k};
        }
        if (cv.lt && cv.width == 0) {
            // An optional group: matches, consumes nothing, writes nothing.
            if (cv.store) (void)va_arg(ap, char *);
            count(cv.store);
            return {Result::matched, 0};
        }
        return {Result::failed, 0};
    }
    default:
        return {Result::failed, 0};
    }
}

} // namespace

int scanp(parse_param *param, const char *pat, ...) {
    if (!param) return -1;
    param->len = 0;
    param->assigned = 0;
    param->matched = 0;
    param->done = 0;
    if (!pat || !*pat || !param->ptr || param->off < 0 || param->off >= param->length) return -1;

    const Text t{param->ptr + param->off, param->length - param->off};
    va_list ap;
    va_start(ap, pat);
    const char *p = pat;
    int pos = 0;
    while (*p) {
        if (*p == ' ') {
            const int n = run_length(t, pos, INT_MAX, is_blank);
            if (n == 0) break;
            pos += n;
            ++p;
        } else if (*p == '%') {
            Conv cv;
            const char *next = p;
            const Parse how = parse_conv(p + 1, cv, next);
            if (how == Parse::error) {
                MESS_print(M_ERROR, "scanp: Bad conversion in pattern %s\n", pat);
                break;
            }
            if (how == Parse::literal) {
                // Not a conversion: its letter is read as the next element.
                p = next;
                continue;
            }
            const Result r = convert(cv, t, pos, ap, param);
            if (r.what == Result::failed) break;
            pos += r.n;
            p = next;
        } else {
            if (t.at(pos) != *p) break;
            ++pos;
            ++p;
        }
        MESS_print(M_DEBUG_D, "     :%s:%.50s:\n", p, t.s + pos);
    }
    va_end(ap);

    param->done = *p == '\0' ? 1 : 0;
    param->len = pos;
    MESS_print(M_DEBUG_D, "SCANP:%.50s:%s:%d:%d:%d:%d:%d\n", t.s, pat, param->off, param->len, param->done,
               param->assigned, param->matched);
    return param->matched;
}

int scanp_set(parse_param *param, char *str) {
    if (!param) return 1;
    param->ptr = str;
    param->length = str ? static_cast<int>(std::strlen(str)) : 0;
    param->off = 0;
    return 1;
}

int scanp_get_off(parse_param *param) {
    return param ? param->off : 0;
}

int scanp_off(parse_param *param, int off) {
    if (param) param->off = off;
    return 1;
}

int scanp_inc_off(parse_param *param, int off) {
    if (param) param->off += off;
    return 1;
}

int scanp_inc(parse_param *param) {
    if (param) param->off += param->len;
    return 1;
}

char *scanp_str(parse_param *param) {
    if (!param || !param->ptr) return nullptr;
    int off = param->off;
    if (off < 0) off = 0;
    if (off > param->length) off = param->length;
    return param->ptr + off;
}

char scanp_char(parse_param *param, int off) {
    if (!param || !param->ptr) return '\0';
    const long i = static_cast<long>(param->off) + off;
    return i >= 0 && i < param->length ? param->ptr[i] : '\0';
}

char scanp_replace(parse_param *param, int off, char ch) {
    if (!param || !param->ptr) return ch;
    const long i = static_cast<long>(param->off) + off;
    if (i >= 0 && i < param->length) param->ptr[i] = ch;
    return ch;
}

int scanp_search(parse_param *param, const char *str) {
    if (!param || !param->ptr || !str) return 0;
    const char *found = std::strstr(param->ptr, str);
    if (!found) return 0;
    param->off = static_cast<int>(found - param->ptr);
    return 1;
}

int scanp_print(parse_param *param) {
    if (!param) return 1;
    MESS_print(M_PRINT, "scanp:%s:%d:%d:%d:%d\n", scanp_str(param) ? scanp_str(param) : "", param->len,
               param->done, param->assigned, param->matched);
    return 1;
}
