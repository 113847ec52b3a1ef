// Character GRID code bulletins: blank-separated digit groups giving the
// centre, one of twelve 5-degree latitude-longitude octant grids, the
// parameter, level, date and forecast time, the packing, and the rows of
// packed values. Messages are numbered into grids in file order (a wind
// message gives two grids, u then v) and read like the records of a native
// file: on from the last, again, or from an earlier one.
// File-static state: for each slot the table of the messages found so far
// (offset, extent, the digit count in force at its start, its grid numbers).
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "gridfile/grd_read_int.h"
#include "runtime/date.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

constexpr int NX = 19; // points of every octant grid, 5 degrees apart
constexpr int NY = 15;
constexpr float SPACING = 5.0f;
constexpr std::size_t TOKEN_MAX = 32; // longer tokens are not groups of this code

struct Octant {
    float clat, clon;
};
constexpr std::array<Octant, 12> octants = {{{55, -45},
                                             {55, -135},
                                             {55, 135},
                                             {55, 45},
                                             {0, -45},
                                             {0, -135},
                                             {0, 135},
                                             {0, 45},
                                             {-55, -45},
                                             {-55, -135},
                                             {-55, 135},
                                             {-55, 45}}};

// One message found in the file.
struct Msg {
    long offset = 0; // where its first token starts
    long end = 0;    // where the next message may start
    int bpval = 0;   // digit count in force at its start
    int first = 0;   // number of its first grid
    int grids = 1;   // 2 for a wind message
};

struct CodeSlot {
    std::vector<Msg> msgs;
    bool complete = false; // every message of the file is in the table
    long scan_pos = 0;     // where the next message not yet in the table starts
    int bpval = 0;         // digit count after the messages in the table
};

std::array<CodeSlot, GRD_MAX_FILES> slots;

// ---- Tokens ---------------------------------------------------------------------------

// The white-space separated tokens of a stream, each with its offset.
class Tokens {
public:
    explicit Tokens(FILE *f) : f_(f) {}
    void seek(long pos) { std::fseek(f_, pos, SEEK_SET); }
    long tell() const { return std::ftell(f_); }

    // The next token; false at the end of the stream. A token longer than
    // TOKEN_MAX characters is returned cut, with `long_token` set.
    bool next(std::string &tok) {
        tok.clear();
        long_token = false;
        int c;
        do {
            c = std::getc(f_);
        } while (c != EOF && separator(c));
        if (c == EOF) {
            start = tell();
            return false;
        }
        start = tell() - 1;
        while (c != EOF && !separator(c)) {
            if (tok.size() < TOKEN_MAX)
                tok.push_back(char(c));
            else
                long_token = true;
            c = std::getc(f_);
        }
        if (c != EOF) std::ungetc(c, f_);
        return true;
    }
    // The next token when it begins with `digit`; otherwise the stream stays.
    bool next_if(char digit, std::string &tok) {
        const long pos = tell();
        if (next(tok) && tok[0] == digit && !long_token) return true;
        seek(pos);
        return false;
    }

    long start = 0; // offset of the token last read
    bool long_token = false;

private:
    // Blanks, line ends and the control characters of bulletin framing.
    static bool separator(int c) { return c <= ' ' || c == 0x7F; }
    FILE *f_;
};

bool all_digits(const std::string &t) {
    if (t.empty()) return false;
    for (char c : t)
        if (c < '0' || c > '9') return false;
    return true;
}

// The number of characters from..to (1-based, inclusive) of a group; -1 when
// the group is shorter or they are not digits.
int chars(const std::string &t, std::size_t from, std::size_t to) {
    if (t.size() < to) return -1;
    int v = 0;
    for (std::size_t i = from - 1; i < to; ++i) {
        if (t[i] < '0' || t[i] > '9') return -1;
        v = v * 10 + (t[i] - '0');
    }
    return v;
}

// ---- Messages -------------------------------------------------------------------------

// What one message says.
struct Parsed {
    bool present = false; // a message starts here
    const char *why = ""; // why it cannot be read; "" when it can
    int source = 0;       // centre (also the model)
    int g = 0;            // octant grid number
    int var = MISSING;    // parameter
    int ltype = MISSING;  // level type
    int level = MISSING;  // level
    int time = 0;         // forecast hours
    int yy = MISSING, mm = MISSING, dd = MISSING, hh = MISSING;
    int sign = 0;  // sign convention s
    int bpval = 0; // digit count d (carried to the next message)
    double scale = 1, ref = 0;
    long end = 0;          // where the next message may start
    std::vector<long> raw; // the packed integers, grid order (full reads)
    bool ok() const { return why[0] == '\0'; }
    void fail(const char *reason) {
        if (ok()) why = reason;
    }
};

double scale_of(char c) {
    switch (c) {
    case '1':
        return 0.1;
    case '2':
        return 0.01;
    case '3':
        return 0.001;
    case '4':
        return 0.0001;
    case '5':
        return 10;
    case '6':
        return 100;
    case '7':
        return 1000;
    case '8':
        return 10000;
    case '9':
        return 100000;
    default:
        return 1;
    }
}

// Passes over tokens up to the next "GRID" (the start of a message) or the
// end; `end` is where the next message may start.
void resync(Tokens &t, Parsed &p) {
    std::string tok;
    while (t.next(tok))
        if (tok == "GRID") {
            p.end = t.start;
            return;
        }
    p.end = t.tell();
}

// Reads the message that starts at `offset`, with the digit count `bpval` of
// the messages before it; `values` keeps the packed integers.
Parsed parse(FILE *f, long offset, int bpval, bool values) {
    Parsed p;
    p.bpval = bpval;
    Tokens t(f);
    t.seek(offset);
    std::string tok;
    // Words before the identification ("GRID", end markers) are not groups.
    do {
        if (!t.next(tok)) {
            p.end = t.tell();
            return p;
        }
    } while (tok[0] < '0' || tok[0] > '9');
    p.present = true;
    if (tok.size() != 5 || !all_digits(tok) || t.long_token) {
        p.fail("no identification group");
        resync(t, p);
        return p;
    }
    p.source = chars(tok, 1, 2);
    p.g = chars(tok, 3, 5);
    for (int k = 0; k < 2; ++k) {
        if (!t.next(tok)) {
            p.fail("cut short");
            p.end = t.tell();
            return p;
        }
    }

    // The groups of parameter, level, date and forecast time.
    if (t.next_if('1', tok)) p.var = chars(tok, 2, 3) >= 0 ? chars(tok, 2, 3) : MISSING;
    if (t.next_if('2', tok)) {
        const int lv = chars(tok, 2, 3);
        if (lv >= 0) {
            p.ltype = 10;
            p.level = 10 * lv;
        }
    }
    if (t.next_if('3', tok)) {
        const int lv = chars(tok, 2, 3);
        if (lv >= 0) {
            p.ltype = lv == 0 ? 12 : 13;
            p.level = 10 * lv;
        }
    }
    if (t.next_if('6', tok)) {
        if (chars(tok, 2, 3) >= 0) p.yy = chars(tok, 2, 3);
        if (chars(tok, 4, 5) >= 0) p.mm = chars(tok, 4, 5);
    }
    if (t.next_if('7', tok)) {
        if (chars(tok, 2, 3) >= 0) p.dd = chars(tok, 2, 3);
        if (chars(tok, 4, 5) >= 0) p.hh = chars(tok, 4, 5);
    }
    if (t.next_if('8', tok)) p.time = chars(tok, 3, 5) >= 0 ? chars(tok, 3, 5) : 0;
    t.next_if('0', tok);
    if (!t.next(tok)) {
        p.fail("cut short");
        p.end = t.tell();
        return p;
    }

    // The packing: sign convention, digits per value, scale and reference.
    if (t.next_if('1', tok) && tok.size() >= 5) p.sign = tok[4] - '0';
    if (t.next_if('2', tok)) p.bpval = tok.size() >= 2 && tok[1] >= '0' && tok[1] <= '9' ? tok[1] - '0' : 0;
    if (t.next_if('3', tok)) {
        p.scale = scale_of(tok.size() >= 2 ? tok[1] : ' ');
        if (!t.next(tok)) {
            p.fail("cut short");
            p.end = t.tell();
            return p;
        }
        char *end = nullptr;
        const double r = std::strtod(tok.c_str(), &end);
        if (end == tok.c_str() || *end != '\0' || !std::isfinite(r) || t.long_token)
            p.fail("no reference value");
        else
            p.ref = r;
        if (p.var == 4) p.ref = -p.ref;
        p.ref *= p.scale;
    }

    if (p.g < 1 || p.g > 12) {
        // The rows cannot be counted without the grid.
        p.fail("grid number outside 1 to 12");
        resync(t, p);
        return p;
    }
    const int width = p.sign == 1 ? p.bpval - 1 : p.bpval;
    if (p.bpval == 0)
        p.fail("no digit count");
    else if (width < 3 || width > 5)
        p.fail("digit count outside 3 to 5");

    // The rows: a kept and a passed-over group, then one value filling the
    // row (kept group beginning with '9') or a value per point. Any group
    // that is not digits begins the next message.
    if (values) p.raw.assign(std::size_t(NX) * NY, 0);
    const bool north = p.g <= 4;
    for (int r = 0; r < NY; ++r) {
        bool fill = false;
        for (int k = 0; k < 2; ++k) {
            const long before = t.tell();
            if (!t.next(tok) || !all_digits(tok)) {
                p.fail("rows cut short");
                p.end = before;
                return p;
            }
            if (k == 0) fill = tok[0] == '9';
        }
        const int n = fill ? 1 : NX;
        const int row = north ? NY - 1 - r : r;
        for (int i = 0; i < n; ++i) {
            const long before = t.tell();
            if (!t.next(tok) || !all_digits(tok)) {
                p.fail("rows cut short");
                p.end = before;
                return p;
            }
            if (!p.ok()) continue;
            if (int(tok.size()) != p.bpval || t.long_token) {
                p.fail("value of another width than the digit count");
                continue;
            }
            if (!values) continue;
            long v = std::strtol(tok.c_str() + (p.sign == 1 ? 1 : 0), nullptr, 10);
            if (p.sign == 1 && tok[0] == '1') v = -v;
            if (p.sign == 3) v = -v;
            long *out = &p.raw[std::size_t(row) * NX];
            if (fill)
                for (int x = 0; x < NX; ++x)
                    out[x] = v;
            else
                out[i] = v;
        }
    }
    p.end = t.tell();
    return p;
}

// Adds the next message of the file to the slot's table; false when there
// is none.
bool scan_next(CodeSlot &c, FILE *f) {
    if (c.complete) return false;
    const Parsed p = parse(f, c.scan_pos, c.bpval, false);
    if (!p.present || p.end <= c.scan_pos) {
        c.complete = true;
        return false;
    }
    Msg m;
    m.offset = c.scan_pos;
    m.end = p.end;
    m.bpval = c.bpval;
    m.first = c.msgs.empty() ? 0 : c.msgs.back().first + c.msgs.back().grids;
    m.grids = p.var == 22 ? 2 : 1;
    c.msgs.push_back(m);
    c.scan_pos = p.end;
    c.bpval = p.bpval;
    return true;
}

time_t reference_seconds(const Parsed &p) {
    if (p.yy == MISSING) return 0;
    struct tm tm {};
    tm.tm_year = p.yy; // two digits, read as the date functions read them
    tm.tm_mon = p.mm != MISSING ? p.mm - 1 : 0;
    tm.tm_mday = p.dd != MISSING ? p.dd : 1;
    tm.tm_hour = p.hh != MISSING ? p.hh : 0;
    return DATE_num_sec_tm(&tm);
}

Date message_date(const Parsed &p) {
    Date d;
    DATE_init(&d);
    if (p.yy != MISSING) d.year = p.yy < 50 ? 2000 + p.yy : 1900 + p.yy;
    d.month = p.mm;
    d.day = p.dd;
    d.hour = p.hh;
    if (p.hh != MISSING) d.min = d.sec = 0;
    return d;
}

void clear(GRD_report *grd) {
    std::free(grd->grid);
    grd->grid = nullptr;
    grd->source = 0;
}

} // namespace

namespace grd_code {

void reset(int slot) {
    if (slot >= 0 && slot < GRD_MAX_FILES) slots[std::size_t(slot)] = CodeSlot{};
}

int getinfo(int slot, GRD_file *g, GRD_info *info) {
    const Parsed p = parse(g->file, 0, 0, false);
    const Date d = message_date(p);
    info->date = d;
    DATE_make_label(&d, info->datim, sizeof info->datim);
    g->date = d;
    copy_text(g->datim, info->datim);
    GRD_rewind(slot);
    return 0;
}

int read(int slot, GRD_file *g, GRD_report *grd, int rep_type, int *grdnum) {
    CodeSlot &c = slots[std::size_t(slot)];
    const int n = *grdnum;
    std::free(grd->grid);
    grd->grid = nullptr;
    if (n < 0) {
        clear(grd);
        return -1;
    }
    while (c.msgs.empty() || c.msgs.back().first + c.msgs.back().grids <= n)
        if (!scan_next(c, g->file)) break;
    std::size_t mi = 0;
    while (mi < c.msgs.size() && c.msgs[mi].first + c.msgs[mi].grids <= n)
        ++mi;
    if (mi >= c.msgs.size()) {
        clear(grd);
        return -1;
    }
    const Msg &m = c.msgs[mi];
    grd_file::set_cur_pos(slot, m.offset);
    const Parsed p = parse(g->file, m.offset, m.bpval, rep_type == 0);
    std::fseek(g->file, m.end, SEEK_SET);
    g->num = n;
    *grdnum = n;

    const bool wind = m.grids == 2;
    const bool second = wind && n == m.first + 1;
    grd->source = grd->model = p.source;
    grd->version = 1;
    grd->type = p.g + 70;
    grd->var = wind ? (second ? 24 : 23) : p.var;
    grd->ltype = p.ltype;
    grd->level = p.level;
    grd->time = p.time;
    grd->units[0] = '\0';
    grd->datim[0] = grd->info[0] = '\0';
    grd->date = message_date(p);
    DOM_init(&grd->domain);
    if (p.g >= 1 && p.g <= 12) {
        Domain &d = grd->domain;
        d.proj = 2;
        d.clat = octants[std::size_t(p.g - 1)].clat;
        d.clon = octants[std::size_t(p.g - 1)].clon;
        d.nx = NX;
        d.ny = NY;
        d.dx = d.dy = SPACING;
    }
    if (!p.ok()) {
        MESS_print(M_WARN, "GRD_read: Grid %d cannot be read: %s message %d: %s\n", n, grd_file::name(slot),
                   int(mi) + 1, p.why);
        clear(grd);
        return 1;
    }
    if (rep_type != 0) return 0;

    VAR_make_datatype(grd->time, grd->ltype, grd->level, grd->var, grd->units, grd->info, sizeof grd->info);
    DATE_make_label_for(grd->time, grd->model, reference_seconds(p), grd->datim, sizeof grd->datim);
    grd->grid = static_cast<float *>(std::malloc(std::size_t(NX) * NY * sizeof(float)));
    if (grd->grid == nullptr) {
        MESS_print(M_WARN, "GRD_read: No memory for grid field\n");
        clear(grd);
        return -1;
    }
    for (std::size_t k = 0; k < p.raw.size(); ++k) {
        const long v = p.raw[k];
        if (wind) {
            // Direction in degrees times 100 plus speed.
            const double dir = double(v / 100) * DEG_TO_RAD;
            const double spd = double(v % 100);
            grd->grid[k] = float(second ? -spd * std::cos(dir) : -spd * std::sin(dir));
        } else {
            grd->grid[k] = float(p.ref + double(v) * p.scale);
        }
    }
    return 0;
}

} // namespace grd_code
