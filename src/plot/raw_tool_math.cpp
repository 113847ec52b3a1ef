// Point-data files opened by name, and the point-data calculator: commands that combine one field of
// point-data files station by station through a station table, apply an operation with a constant, extract a
// field or collect a field of many files into a series. File-static state: the parameters (missing-value
// replacement, outmiss, noattr), the identifier selection, the result header and the pass counter.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plot/raw_read.h"
#include "plot/raw_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/table.h"
#include "runtime/zeq.h"

namespace {

// One station of a station table. The identifier is kept whole (as long as
// a record's), so that stations sharing their first characters stay apart.
struct stat_data {
    char id[sizeof RAW_report::id];
    float lat;
    float lon;
    float value; // the combined value; -9999 missing
    int flag;    // the pass that set the value last (0: taken from the first file)
};

constexpr int TABLE_BUCKETS = 800;

float miss_val = FMISSING;
int out_miss = 0;
int noattr = 0;
std::vector<std::string> ids;
RAW_info info{};
int pass = 0;

// The identifier selection of resource identifier (exact comparison).
void read_ids() {
    ids.clear();
    int count = 0;
    char **items = nullptr;
    RES_getvals("identifier", &count, &items);
    for (int i = 0; i < count; ++i)
        ids.emplace_back(items[i]);
    free_parsed_array(count, items);
}

bool selected(const char *id) {
    if (ids.empty()) return true;
    for (const std::string &s : ids)
        if (s == id) return true;
    return false;
}

// A value read: missing values become the replacement while one is set.
float take(float v) {
    return is_missing(v) && !is_missing(miss_val) ? miss_val : v;
}

// A result that is no finite number (a zero divisor, an overflow) is missing.
float finite(double v) {
    if (!std::isfinite(v) || std::fabs(v) > 3.4e38) return FMISSING;
    return static_cast<float>(v);
}

// t OP v for the table and constant operations.
float apply(const std::string &op, float t, float v) {
    const double a = t, b = v;
    if (op == "sum" || op == "add") return finite(a + b);
    if (op == "sub") return finite(a - b);
    if (op == "psub") return finite(b - a);
    if (op == "mul" || op == "scale") return finite(a * b);
    if (op == "div") return b == 0 ? FMISSING : finite(a / b);
    if (op == "pdiv") return a == 0 ? FMISSING : finite(b / a);
    if (op == "mod") return b == 0 ? FMISSING : finite(std::fmod(a, b));
    if (op == "pmod") return a == 0 ? FMISSING : finite(std::fmod(b, a));
    if (op == "max") return t > v ? t : v;
    if (op == "min") return t < v ? t : v;
    if (op == "ge") return t > v ? FMISSING : t;
    if (op == "le") return t < v ? FMISSING : t;
    return v;
}

// A point-data file opened by a file word: the word selects its own name
// convention (the convention in force is kept around it) and names the file
// of the current time when resource current is set. The name buffer holds
// the field name and format that RAW_file_open points into.
struct WordFile {
    char name[FILE_NAME_SIZE] = "";
    RAW_field field{RAW_EACH_FIELD};
    char *fmt = nullptr;
    int slot = -1;

    WordFile(const char *word, int mode) {
        char type[FILE_NAME_SIZE];
        copy_text(type, word != nullptr ? word : "");
        {
            NameConvScope naming;
            FILE_set_name(type);
            if (const char *cur = RES_get("current"); cur != nullptr)
                FILE_set_current(cur, name, sizeof name);
            else
                FILE_set_file(type, name, sizeof name);
        }
        slot = RAW_file_open(name, &field, &fmt, mode);
    }
    ~WordFile() {
        if (slot >= 0) RAW_close(slot);
    }
    WordFile(const WordFile &) = delete;
    WordFile &operator=(const WordFile &) = delete;

    bool each() const { return field.name == nullptr && field.code == RAW_EACH_FIELD; }

    // Calls fn(report) for every record (every delivered field in the
    // each-field mode) of a selected station, until fn returns false.
    template <typename Fn> void for_records(Fn fn) {
        RAW_report r{};
        int num = 0;
        while (true) {
            const int rc = RAW_read(slot, &r, field, &num);
            if (rc < 0) break;
            if (each() && rc == 0) {
                ++num;
                continue;
            }
            if (!each()) ++num;
            if (!selected(r.id)) continue;
            if (!fn(r)) break;
        }
    }
};

// Fills the empty texts of the result header from an input's header.
void fill_info(const RAW_info &in) {
    if (info.info[0] == '\0') copy_text(info.info, in.info);
    if (info.datim[0] == '\0') copy_text(info.datim, in.datim);
}

stat_data *find_station(TAB_table *table, const char *id) {
    return reinterpret_cast<stat_data *>(TAB_search(table, 1, id));
}

bool enter_station(TAB_table *table, const RAW_report &r, float value, int flag) {
    stat_data s{};
    copy_text(s.id, r.id);
    s.lat = r.lat;
    s.lon = r.lon;
    s.value = value;
    s.flag = flag;
    return TAB_enter(table, reinterpret_cast<const char *>(&s), s.id) == 0;
}

void invalid() {
    MESS_print(M_WARN, "RAW_math_command: Invalid operation\n");
}

// The index of the first word from `from` on that equals (or, with prefix,
// begins with) "=", or -1.
int find_eq(char **words, int num, int from, bool prefix) {
    for (int i = from; i < num; ++i)
        if (words[i] != nullptr && (prefix ? words[i][0] == '=' : std::strcmp(words[i], "=") == 0)) return i;
    return -1;
}

// Releases a station table at the end of a command.
struct TableScope {
    TAB_table table{};
    ~TableScope() { TAB_clear(&table); }
};

// A '#' constant: the number after the '#', false when it is none.
bool constant(const char *word, std::string &out) {
    out = word + 1;
    char *end = nullptr;
    const float v = std::strtof(out.c_str(), &end);
    return !out.empty() && end != nullptr && *end == '\0' && std::isfinite(v);
}

int table_command(char **words, int num, const std::string &op) {
    const int eq = find_eq(words, num, 2, false);
    if (eq < 0 || eq + 1 >= num) {
        invalid();
        return 0;
    }
    TableScope t;
    if (RAW_make_table(&t.table, words[1]) == 0) return 0;
    for (int i = 2; i < eq; ++i)
        RAW_math_table(&t.table, op.c_str(), words[i]);
    RAW_set_info(words, num, eq + 2);
    return RAW_save_table(&t.table, words[eq + 1], 0);
}

int two_operand(char **words, int num) {
    if (num < 5) {
        invalid();
        return 0;
    }
    std::string op = words[1];
    for (char &c : op)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const char *const ops[] = {"add", "sub", "mul", "div", "mod", "ge", "le"};
    bool known = false;
    for (const char *o : ops)
        known = known || op == o;
    if (!known) {
        invalid();
        return 0;
    }
    std::string c;
    if (words[0][0] == '#' || words[2][0] == '#') {
        const bool first = words[0][0] == '#';
        if (!constant(first ? words[0] : words[2], c)) {
            invalid();
            return 0;
        }
        if (first) {
            if (op == "sub") op = "psub";
            if (op == "div") op = "pdiv";
            if (op == "mod") op = "pmod";
        }
        info.info[0] = info.datim[0] = '\0';
        RAW_set_info(words, num, 5);
        return RAW_math(op.c_str(), first ? words[2] : words[0], c.c_str(), words[4]);
    }
    TableScope t;
    if (RAW_make_table(&t.table, words[0]) == 0) return 0;
    RAW_math_table(&t.table, op.c_str(), words[2]);
    RAW_set_info(words, num, 5);
    return RAW_save_table(&t.table, words[4], 1);
}

} // namespace

int RAW_file_open(char *file, RAW_field *ind, char **fmt, int mode) {
    if (ind != nullptr) *ind = RAW_field(RAW_EACH_FIELD);
    if (fmt != nullptr) *fmt = nullptr;
    if (file == nullptr) return -1;
    const std::size_t len = std::strlen(file);
    char *sep = len > 2 ? std::strpbrk(file + 2, "-:") : nullptr;
    char *format = nullptr;
    RAW_field field(RAW_EACH_FIELD);
    if (sep != nullptr && *sep == '-') {
        *sep = '\0';
        char *text = sep + 1;
        if (char *colon = std::strchr(text, ':'); colon != nullptr) {
            *colon = '\0';
            format = colon + 1;
        }
        if (*text >= '0' && *text <= '9') {
            int n = 0;
            const auto [end, ec] = std::from_chars(text, text + std::strlen(text), n);
            // Data columns end with the field list: codes 10 to 75.
            if (ec != std::errc() || n > RAW_NUM_FIELD - RAW_COLUMN) {
                MESS_print(M_WARN, "RAW_file_open: Field number out of range: %s\n", text);
                return -1;
            }
            (void)end;
            field = RAW_field(n + RAW_COLUMN);
        } else {
            field = RAW_field(static_cast<const char *>(text));
        }
    } else if (sep != nullptr) {
        *sep = '\0';
        format = sep + 1;
    }
    if (ind != nullptr) *ind = field;
    if (fmt != nullptr) *fmt = format;

    char full[FILE_NAME_SIZE];
    FILE_add_path(RES_get("raw_path"), file, full, sizeof full);
    int type = mode == 0 ? 0 : 1;
    const int slot = RAW_open(full, mode, &type);
    if (slot < 0) MESS_print(M_WARN, "RAW_file_open: Unable to open file:%s\n", full);
    return slot;
}

int RAW_parameter() {
    int count = 0;
    char **items = nullptr;
    RES_getvals("parameter", &count, &items);
    for (int i = 0; i < count; ++i) {
        const char *p = items[i];
        if (strnicmp(p, "miss", 4) == 0 && std::strlen(p) > 5) {
            char *end = nullptr;
            const float v = std::strtof(p + 5, &end);
            if (end != p + 5) miss_val = v;
        } else if (stricmp(p, "outmiss") == 0) {
            out_miss = 1;
        } else if (stricmp(p, "noattr") == 0) {
            noattr = 1;
        }
    }
    free_parsed_array(count, items);
    return 0;
}

int RAW_set_miss_val(float value) {
    miss_val = value;
    return 0;
}

int RAW_set_info(char **words, int num, int k) {
    auto usable = [&](int i) {
        return i >= 0 && i < num && words[i] != nullptr && words[i][0] != '\0' &&
               std::strcmp(words[i], "-") != 0;
    };
    if (usable(k)) copy_text(info.info, words[k]);
    if (usable(k + 1)) copy_text(info.datim, words[k + 1]);
    return 0;
}

int RAW_make_table(TAB_table *table, const char *file) {
    if (table == nullptr || TAB_create(table, TABLE_BUCKETS, sizeof(stat_data), 1) != 0) {
        MESS_print(M_WARN, "RAW_make_table: Unable to create search table\n");
        return 0;
    }
    WordFile in(file, 0);
    if (in.slot < 0) return 0;
    RAW_getinfo(in.slot, &info);
    in.for_records([&](RAW_report &r) {
        const float v = take(r.value[0]);
        if (is_missing(v) || find_station(table, r.id) != nullptr) return true;
        if (!enter_station(table, r, v, 0)) return false;
        MESS_print(M_OUT3, "Entered: %s %f\n", r.id, static_cast<double>(v));
        return true;
    });
    return 1;
}

int RAW_math_table(TAB_table *table, const char *op, const char *file) {
    if (table == nullptr) return 0;
    WordFile in(file, 0);
    if (in.slot < 0) return 0;
    RAW_info head{};
    RAW_getinfo(in.slot, &head);
    const std::string oper = op != nullptr ? op : "";
    const int p = pass;
    in.for_records([&](RAW_report &r) {
        float v = take(r.value[0]);
        if (is_missing(v)) return true;
        stat_data *s = find_station(table, r.id);
        // A repeated identifier: the station was combined in this pass already.
        if (s != nullptr && s->flag > p) return true;
        const float t = s != nullptr ? s->value : miss_val;
        if (!is_missing(t)) v = apply(oper, t, v);
        if (s != nullptr) {
            s->value = v;
            s->flag = p + 1;
            MESS_print(M_OUT3, "Updated: %s %f\n", r.id, static_cast<double>(v));
        } else if (!is_missing(miss_val)) {
            if (!enter_station(table, r, v, p + 1)) return false;
            MESS_print(M_OUT3, "Added: %s %f\n", r.id, static_cast<double>(v));
        }
        return true;
    });
    ++pass;
    return 1;
}

int RAW_save_table(TAB_table *table, const char *file, int flag) {
    if (table == nullptr) return 0;
    WordFile out(file, 1);
    if (out.slot < 0) return 0;
    RAW_putinfo(out.slot, &info);
    TAB_first(table);
    for (char *rec = TAB_next(table); rec != nullptr; rec = TAB_next(table)) {
        const stat_data *s = reinterpret_cast<const stat_data *>(rec);
        const bool have_miss = !is_missing(miss_val);
        if (is_missing(s->value)) continue;
        if (!have_miss && s->flag < flag) continue;
        if (have_miss && out_miss == 0 && s->value == miss_val) continue;
        RAW_report r{};
        copy_text(r.id, s->id);
        r.lat = s->lat;
        r.lon = s->lon;
        r.value[0] = s->value;
        r.value[1] = FMISSING;
        r.type = 2;
        RAW_write(out.slot, &r, 1, 0);
        MESS_print(M_OUT3, "Saved: %s %d %f\n", s->id, s->flag, static_cast<double>(s->value));
    }
    return 1;
}

int RAW_math(const char *op, const char *in_file, const char *c, const char *out_file) {
    std::string text = c != nullptr ? c : "";
    char *end = nullptr;
    const float cval = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(cval)) {
        invalid();
        return 0;
    }
    WordFile in(in_file, 0);
    if (in.slot < 0) return 0;
    WordFile out(out_file, 1);
    if (out.slot < 0) return 0;
    RAW_info head{};
    RAW_getinfo(in.slot, &head);
    fill_info(head);
    RAW_putinfo(out.slot, &info);
    const std::string oper = op != nullptr ? op : "";
    in.for_records([&](RAW_report &r) {
        r.type = 2;
        float v = take(r.value[0]);
        if (is_missing(v)) return true;
        r.value[0] = apply(oper, v, cval);
        MESS_print(M_OUT3, "Updated: %s %f\n", r.id, static_cast<double>(r.value[0]));
        RAW_write(out.slot, &r, 1, 0);
        return true;
    });
    return 1;
}

int RAW_extract(const char *in_file, const char *out_file) {
    WordFile in(in_file, 0);
    if (in.slot < 0) return 0;
    WordFile out(out_file, 1);
    if (out.slot < 0) return 0;
    RAW_info head{};
    RAW_getinfo(in.slot, &head);
    if (noattr != 0) RAW_set_field_fmt(in.slot, in.field, "");
    const char *finfo = in.each() ? nullptr : RAW_get_field_info(in.slot, in.field);
    if (finfo != nullptr) {
        copy_text(info.info, std::string(head.info) + "-" + finfo);
    } else if (in.field.name != nullptr) {
        copy_text(info.info, std::string(head.info) + "-" + in.field.name);
    } else if (info.info[0] == '\0') {
        copy_text(info.info, head.info);
    }
    if (info.datim[0] == '\0') copy_text(info.datim, head.datim);
    RAW_putinfo(out.slot, &info);
    in.for_records([&](RAW_report &r) {
        r.value[0] = take(r.value[0]);
        if (is_missing(r.value[0])) return true;
        r.type = 2;
        RAW_write(out.slot, &r, 1, 0);
        MESS_print(M_OUT3, "Saved: %s %f\n", r.id, static_cast<double>(r.value[0]));
        return true;
    });
    return 1;
}

int RAW_series(char **words, int num) {
    if (words == nullptr) return 0;
    const int eq = find_eq(words, num, 1, true);
    const char *out_name = eq >= 0 && eq + 1 < num ? words[eq + 1] : "-";
    WordFile out(out_name, 1);
    if (out.slot < 0) return 0;
    const int last = eq >= 0 ? eq : num;
    for (int i = 1; i < last; ++i) {
        MESS_print(M_OUT3, "Opening file: %s\n", words[i]);
        WordFile in(words[i], 0);
        if (in.slot < 0) return 0;
        RAW_info head{};
        RAW_getinfo(in.slot, &head);
        if (i == 1) {
            const char *finfo = in.each() ? nullptr : RAW_get_field_info(in.slot, in.field);
            if (finfo != nullptr) copy_text(info.info, finfo);
            if (eq >= 0) RAW_set_info(words, num, eq + 2);
            fill_info(head);
            RAW_putinfo(out.slot, &info);
        }
        char label[sizeof RAW_report::id];
        if (in.fmt != nullptr)
            std::snprintf(label, sizeof label, "%.10s", in.fmt);
        else
            std::snprintf(label, sizeof label, "%d", i);
        in.for_records([&](RAW_report &r) {
            r.value[0] = take(r.value[0]);
            if (is_missing(r.value[0])) return true;
            r.type = 2;
            copy_text(r.id, label);
            RAW_write(out.slot, &r, 1, 0);
            MESS_print(M_OUT3, "Saved: %s %f\n", r.id, static_cast<double>(r.value[0]));
            return true;
        });
    }
    return 1;
}

int RAW_math_command(int num, char **words) {
    RAW_parameter();
    read_ids();
    for (int i = 0; i < num; ++i)
        MESS_print(M_DEBUG_C, "Cmd: %d %s\n", i, words[i] != nullptr ? words[i] : "");
    if (num < 1 || words == nullptr) {
        invalid();
        return 0;
    }
    for (int i = 0; i < num; ++i)
        if (words[i] == nullptr) {
            invalid();
            return 0;
        }
    std::string cmd = words[0];
    for (char &c : cmd)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (cmd == "sum" || cmd == "max" || cmd == "min" || cmd == "copy" || cmd == "merge")
        return table_command(words, num, cmd);
    if (cmd == "ext") {
        if (num < 4) {
            invalid();
            return 0;
        }
        return RAW_extract(words[1], words[3]);
    }
    if (cmd == "series") return RAW_series(words, num);
    return two_operand(words, num);
}
