// Units: converts values between units named by short texts through the
// units table, scales unit labels and splits 'name (units)' labels.
// File-static state: the last unit pair converted.
#include "runtime/unittool.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/tools.h"

namespace {

constexpr std::size_t kUnitLen = 14;

// The last pair converted through the table.
struct Cache {
    std::string in;
    std::string out;
    float ifac = 1;
    float ofac = 1;
    float scale = 1;
    float offset = 0;
    bool found = true; // false: the table had no entry (or could not be read)
};
Cache cache;

// A unit text cut to its length limit, with underscores turned into blanks.
std::string unit_copy(const char *unit) {
    std::string u = unit != nullptr ? std::string(unit).substr(0, kUnitLen) : std::string();
    for (char &c : u)
        if (c == '_') c = ' ';
    return u;
}

// Length of the run of blanks at the start of s.
std::size_t blanks(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return i;
}

// A unit text taken apart into its factor and the unit proper (blanks of the
// unit proper turned into underscores). `tag` names the side in the traces.
struct Split {
    double factor = 1;
    std::string unit;
};

Split split_factor(const std::string &text, const char *tag) {
    Split r;
    const std::string_view s(text);
    double a = 0;
    double b = 0;
    std::size_t used = scan_decimal(s, &a);
    bool done = false;
    if (used > 0 && used < s.size() && s[used] == '^') {
        const std::size_t used_b = scan_decimal(s.substr(used + 1), &b);
        const std::size_t end = used + 1 + used_b;
        if (used_b > 0 && blanks(s.substr(end)) > 0) {
            r.factor = std::pow(a, b);
            r.unit = std::string(s.substr(end + blanks(s.substr(end))));
            MESS_print(M_DEBUG_C, "%sSC^: %f^%f %f %s\n", tag, a, b, r.factor, r.unit.c_str());
            done = true;
        }
    }
    if (!done && used > 0 && blanks(s.substr(used)) > 0) {
        r.factor = a;
        r.unit = std::string(s.substr(used + blanks(s.substr(used))));
        MESS_print(M_DEBUG_C, "%sSC: %f %s\n", tag, r.factor, r.unit.c_str());
        done = true;
    }
    if (!done && !s.empty() && s[0] == '-') {
        r.factor = -1;
        r.unit = std::string(s.substr(1));
        MESS_print(M_DEBUG_C, "%sSC-: %f %s\n", tag, r.factor, r.unit.c_str());
        done = true;
    }
    if (!done) r.unit = text;
    for (char &c : r.unit)
        if (c == ' ') c = '_';
    return r;
}

// The next white-space separated word of line from position *pos.
std::string_view next_word(std::string_view line, std::size_t *pos) {
    std::size_t i = *pos;
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
        ++i;
    std::size_t j = i;
    while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j])))
        ++j;
    *pos = j;
    return line.substr(i, j - i);
}

// Looks the pair up in units.lup: 1 found (scale and offset set), 0 not
// listed, -1 the table cannot be opened.
int table_lookup(const std::string &in, const std::string &out, float *scale, float *offset) {
    std::string name;
    FILE *file = FILE_open_table("units.lup", &name);
    if (file == nullptr) {
        MESS_print(M_DEBUG_D, "Unable to open units file: %s\n", name.c_str());
        return -1;
    }
    *scale = 1;
    *offset = 0;
    int found = 0;
    std::string line;
    while (found == 0 && fget_anyline(file, line)) {
        std::size_t pos = 0;
        const std::string_view w_in = next_word(line, &pos);
        if (w_in.empty() || w_in[0] == '#') continue;
        const std::string_view w_out = next_word(line, &pos);
        const std::string_view conv = next_word(line, &pos);
        if (conv.empty() || !iequals(w_in, in) || !iequals(w_out, out)) continue;
        std::size_t i = 0;
        double v = 0;
        if (i < conv.size() && conv[i] == '*') {
            const std::size_t used = scan_decimal(conv.substr(i + 1), &v);
            if (used > 0) {
                *scale = static_cast<float>(v);
                MESS_print(M_DEBUG_C, "SC: %f %s\n", v, std::string(conv).c_str());
                i += 1 + used;
            }
        }
        if (i < conv.size() && (conv[i] == '+' || conv[i] == '-')) {
            const std::size_t used = scan_decimal(conv.substr(i + 1), &v);
            if (used > 0) {
                *offset = static_cast<float>(conv[i] == '+' ? v : -v);
                MESS_print(M_DEBUG_C, conv[i] == '+' ? "OF: %f %s\n" : "OF-: %f %s\n", v,
                           std::string(conv).c_str());
            }
        }
        MESS_print(M_DEBUG_C, "%s %s %s %f %f\n", std::string(w_in).c_str(), std::string(w_out).c_str(),
                   std::string(conv).c_str(), static_cast<double>(*scale), static_cast<double>(*offset));
        found = 1;
    }
    FILE_close(file);
    return found;
}

float apply(const Cache &c, float value) {
    if (!c.found) return value;
    return static_cast<float>((static_cast<double>(c.ifac) * value * c.scale + c.offset) / c.ofac);
}

} // namespace

float UNIT_cvt(float value, const char *iunit, const char *ounit) {
    if (is_missing(value)) return value;
    const std::string in = unit_copy(iunit);
    const std::string out = unit_copy(ounit);
    if (iequals(in, out) || (!in.empty() && out.empty())) return value;
    if (iequals(in, cache.in) && iequals(out, cache.out)) return apply(cache, value);

    const Split is = split_factor(in, "I");
    const Split os = split_factor(out, "O");
    if (iequals(is.unit, os.unit)) return static_cast<float>(is.factor * value / os.factor);

    Cache c;
    c.in = in;
    c.out = out;
    c.ifac = static_cast<float>(is.factor);
    c.ofac = static_cast<float>(os.factor);
    const int found = table_lookup(is.unit, os.unit, &c.scale, &c.offset);
    if (found != 1) {
        // Without a conversion the value is kept as it is rather than lost.
        c.found = false;
        MESS_print(M_WARN_C, "UNIT_cvt: No conversion from %s to %s\n", in.c_str(), out.c_str());
    }
    cache = c;
    return apply(cache, value);
}

int UNIT_scale(const char *in, float scale, const char *mstr, char *out, std::size_t size) {
    const std::string text = unit_copy(in);
    const Split s = split_factor(text, "SC-I");
    const double product = s.factor * scale;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.0e %s%s", product, s.unit.c_str(), mstr != nullptr ? mstr : "");
    MESS_print(M_DEBUG_C, "SC: %s %e = %e = %s %s = %s\n", text.c_str(), static_cast<double>(scale), product,
               s.unit.c_str(), mstr != nullptr ? mstr : "", buf);
    copy_text(out, size, buf);
    return 0;
}

int UNIT_parse(const char *str, char *var, std::size_t var_size, char *units, std::size_t units_size) {
    copy_text(var, var_size, "");
    copy_text(units, units_size, "");
    if (str == nullptr) return 0;
    const std::string_view s(str);
    const std::size_t open = s.find('(');
    if (open == 0) return 0;
    std::string name(s.substr(0, open));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    copy_text(var, var_size, name);
    if (open != std::string_view::npos) {
        const std::string_view rest = s.substr(open + 1);
        copy_text(units, units_size, rest.substr(0, rest.find(')')));
    }
    MESS_print(M_DEBUG_C, "%s = %s %s\n", str, var != nullptr ? var : "", units != nullptr ? units : "");
    return 0;
}

int UNIT_change(char *str, std::size_t size, const char *units) {
    if (str == nullptr || size == 0) return 0;
    char name[50];
    char old_units[50];
    UNIT_parse(str, name, sizeof name, old_units, sizeof old_units);
    char new_units[50];
    copy_text(new_units, sizeof new_units, units != nullptr ? units : "");
    std::snprintf(str, size, "%s (%s)", name, new_units);
    return 0;
}
