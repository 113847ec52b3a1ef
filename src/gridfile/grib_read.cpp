// GRIB grid reading: numbering the grids of a GRIB file (one per edition 0
// or 1 product, one per data section of an edition 2 product), walking to the
// grid asked for, calling the decoder's entries in order, and index files
// whose lines give each grid's offset and keys.
// File-static state: which slot and product the decoder's edition 2 state
// (identification, grid and bit map of the product) was last built for, and
// the counter that tells files apart for it.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fields/grd_tool.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "gridfile/grd_read_int.h"
#include "gridfile/grib.h"
#include "gridfile/grib_int.h"
#include "runtime/date.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

constexpr std::size_t INDEX_TEXT = 128; // characters of an index line's header text that are used

unsigned long context_id = 0; // the file the decoder's product state belongs to
unsigned long last_id = 0;

// The slot being read: its record, positions and GRIB state.
struct Slot {
    int fd;
    GRD_file *g;
    FILE *f;
    long &cur_pos;
    long &new_pos;
    grd_file::GribSlot &s;
};

// What a section walk decodes: nothing but what later fields of the product
// reuse (identification, grid, bit map), the header, or the whole field.
enum class Walk { skip, header, full };

struct WalkResult {
    bool found = false; // a data section was reached
    bool ok = true;     // every section decoded was accepted
    bool grid = false;  // the walk decoded a grid definition
};

// Reads the header of the product that starts at or after cur_pos and notes
// where the product after it starts. The stream then stands past the
// product's indicator. false when no product follows.
bool enter_product(Slot &sl) {
    if (std::fseek(sl.f, sl.cur_pos, SEEK_SET) != 0 || GRIB_header(sl.fd) != 1) return false;
    sl.s.product_pos = sl.cur_pos;
    const long after = std::ftell(sl.f);
    sl.s.product_next = GRIB_next(sl.fd, 0);
    std::fseek(sl.f, after, SEEK_SET);
    context_id = sl.s.id;
    return true;
}

// Walks the sections of one field of the current edition 2 product from the
// stream: the first section after a data section ends the walk. Sets where
// the next grid starts (new_pos) and whether it continues the product.
WalkResult walk_field(Slot &sl, GRD_report *grd, Walk mode) {
    WalkResult w;
    const grib_int::Decoder &d = grib_int::decoder();
    for (;;) {
        if (GRIB_read_section(sl.fd) != 1) {
            // The end marker, the end of the file or a section that does not
            // fit: the product is over.
            sl.new_pos = sl.s.product_next >= 0 ? sl.s.product_next : -2;
            sl.s.cont = false;
            break;
        }
        const int sect = GRIB_get_sect();
        if (w.found) {
            const bool more = sect >= 2 && sect <= 7;
            sl.new_pos = more ? d.sect_start : (sl.s.product_next >= 0 ? sl.s.product_next : -2);
            sl.s.cont = more;
            break;
        }
        MESS_print(M_DEBUG_C, "SECT: %d %ld\n", sect, d.sect_start);
        switch (sect) {
        case 1:
            if (GRIB_IDS(sl.fd, mode == Walk::skip ? nullptr : grd) != 1 && mode != Walk::skip) w.ok = false;
            break;
        case 3:
            w.grid = true;
            if (GRIB_GDS(sl.fd, mode == Walk::skip ? nullptr : grd) != 1 && mode != Walk::skip) w.ok = false;
            break;
        case 4:
            if (mode == Walk::skip)
                GRIB_skip_section(sl.fd);
            else if (GRIB_PDS(sl.fd, grd) != 1)
                w.ok = false;
            break;
        case 5:
            if (mode == Walk::skip)
                GRIB_skip_section(sl.fd);
            else if (GRIB_DRS(sl.fd, grd) != 1)
                w.ok = false;
            break;
        case 6:
            // Read in every walk: a later field may use this map again.
            GRIB_BMS(sl.fd);
            break;
        case 7:
            w.found = true;
            if (mode == Walk::full && w.ok) {
                if (GRIB_DS(sl.fd, grd) != 1) w.ok = false;
            } else {
                if (mode == Walk::header && w.ok && grib_int::check_field(sl.fd) != 1) w.ok = false;
                GRIB_skip_section(sl.fd);
            }
            break;
        default:
            GRIB_skip_section(sl.fd);
            break;
        }
    }
    return w;
}

// Makes the decoder's product state (identification, grid, bit map) that of
// the product the current grid continues, walking its sections up to the
// grid when another product was decoded since.
bool restore_context(Slot &sl) {
    const long pos = sl.cur_pos;
    const bool same = context_id == sl.s.id && grib_int::product().start >= 0 &&
                      grib_int::product().start >= sl.s.product_pos && grib_int::product().start < pos;
    if (!same) {
        sl.cur_pos = sl.s.product_pos;
        const bool entered = enter_product(sl);
        sl.cur_pos = pos;
        if (!entered || GRIB_get_version() != 2) return false;
        for (int n = 0; std::ftell(sl.f) < pos && n < 100000; ++n) {
            if (GRIB_read_section(sl.fd) != 1) return false;
            switch (GRIB_get_sect()) {
            case 1:
                GRIB_IDS(sl.fd, nullptr);
                break;
            case 3:
                GRIB_GDS(sl.fd, nullptr);
                break;
            case 6:
                GRIB_BMS(sl.fd);
                break;
            default:
                GRIB_skip_section(sl.fd);
                break;
            }
        }
    }
    return std::fseek(sl.f, pos, SEEK_SET) == 0;
}

// Moves the stream to the start of the current grid: past its product's
// indicator, or to its first section when it continues a product. false
// when there is no grid there.
bool enter_grid(Slot &sl) {
    if (sl.s.pcont) return restore_context(sl);
    return enter_product(sl);
}

// Where the grid after the current one starts, found by passing over the
// current one when no read has told yet.
bool find_next(Slot &sl) {
    if (sl.new_pos != -1) return true;
    if (!enter_grid(sl)) {
        sl.new_pos = -2;
        return true;
    }
    if (GRIB_get_version() == 2) {
        walk_field(sl, nullptr, Walk::skip);
    } else {
        sl.new_pos = sl.s.product_next >= 0 ? sl.s.product_next : -2;
        sl.s.cont = false;
    }
    return true;
}

// Steps to the next grid: -1 when there is none.
int advance(Slot &sl) {
    find_next(sl);
    if (sl.new_pos < 0) return -1;
    sl.cur_pos = sl.new_pos;
    sl.s.pcont = sl.s.cont;
    sl.s.cont = false;
    sl.new_pos = -1;
    ++sl.g->num;
    return 0;
}

// A grid that cannot be decoded: the record holds no values.
int undecodable(Slot &sl, GRD_report *grd, int num) {
    MESS_print(M_WARN, "GRD_read: Grid %d cannot be read: %s\n", num, grd_file::name(sl.fd));
    std::free(grd->grid);
    grd->grid = nullptr;
    grd->source = 0;
    return 1;
}

// Reads the current grid from the GRIB file: 0, 1 undecodable, -1 none.
int read_current(Slot &sl, GRD_report *grd, int rep_type, int *grdnum) {
    if (!enter_grid(sl)) {
        sl.new_pos = -2;
        return -1;
    }
    std::free(grd->grid);
    GRD_init(grd);
    grd->units[0] = '\0';
    DOM_init(&grd->domain);
    const bool header_only = rep_type != 0;
    bool ok = true;
    if (GRIB_get_version() == 2) {
        const WalkResult w = walk_field(sl, grd, header_only ? Walk::header : Walk::full);
        const grib_int::Decoder &d = grib_int::decoder();
        // A field that reuses the product's grid takes it from the decoder.
        if (!w.grid && d.dv_ok && d.dv_product == grib_int::product().start) {
            grd->domain = d.dv;
            grd->type = d.dv_type;
        }
        if (!w.found) {
            MESS_print(M_WARN, "GRD_read: No product found: %s\n", grd_file::name(sl.fd));
            ok = false;
        } else if (!w.ok || !d.dv_ok || d.dv_product != grib_int::product().start) {
            ok = false;
        }
    } else {
        sl.new_pos = sl.s.product_next >= 0 ? sl.s.product_next : -2;
        sl.s.cont = false;
        ok = GRIB_PDB(sl.fd, grd, rep_type) == 1 && GRIB_GDB(sl.fd, grd) == 1;
        if (ok && !header_only) ok = GRIB_BMB(sl.fd) == 1 && GRIB_BDB(sl.fd, grd) == 1;
    }
    // Reading the same number again finds the same grid.
    std::fseek(sl.f, sl.cur_pos, SEEK_SET);
    *grdnum = sl.g->num;
    if (!ok) return undecodable(sl, grd, sl.g->num);
    return 0;
}

// ---- Index files ------------------------------------------------------------------------

// Reads a whole line of the index; false at its end.
bool index_line(FILE *h, std::string &line) {
    line.clear();
    int c = std::getc(h);
    if (c == EOF) return false;
    while (c != EOF && c != '\n') {
        if (line.size() < 4096) line.push_back(char(c));
        c = std::getc(h);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// An integer at p (optional sign); false without digits.
bool take_int(const char *&p, int &v) {
    char *end = nullptr;
    errno = 0;
    const long x = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || x < INT_MIN || x > INT_MAX) return false;
    v = int(x);
    p = end;
    return true;
}

void skip_blanks(const char *&p) {
    while (*p == ' ' || *p == '\t')
        ++p;
}

// The keys of a grid from its index text (after its first '/').
void index_keys(const std::string &text, GRD_report *grd) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return;
    const char *p = text.c_str() + slash + 1;
    skip_blanks(p);
    if (std::strncmp(p, "GRIB", 4) == 0) {
        // "/ GRIB1 S7 M80 G211 T12 L100 H500 V7": letter items after the
        // edition number, up to the first text that is not one.
        p += 4;
        while (std::isdigit(static_cast<unsigned char>(*p)))
            ++p;
        for (;;) {
            skip_blanks(p);
            if (!std::isalpha(static_cast<unsigned char>(*p))) break;
            const char key = *p;
            const char *q = p + 1;
            int v;
            if (!take_int(q, v) || (*q != '\0' && *q != ' ' && *q != '\t')) break;
            p = q;
            switch (key) {
            case 'S':
                grd->source = v;
                break;
            case 'M':
                grd->model = v;
                break;
            case 'G':
                grd->type = v;
                break;
            case 'T':
                grd->time = v;
                break;
            case 'L':
                grd->ltype = v;
                break;
            case 'H':
                grd->level = v;
                break;
            case 'V':
                grd->var = v;
                break;
            default:
                break;
            }
        }
        return;
    }
    // "/80 211 12 100 500 7" or "/7:80 211 12 100 500 7".
    int first;
    if (!take_int(p, first)) return;
    if (*p == ':') {
        ++p;
        grd->source = first;
        if (!take_int(p, first)) return;
    }
    grd->model = first;
    int *rest[] = {&grd->type, &grd->time, &grd->ltype, &grd->level, &grd->var};
    for (int *k : rest) {
        int v;
        if (!take_int(p, v)) return;
        *k = v;
    }
}

// Brings the index to line n: -1 when the index ends before it, 0 when the
// line was read, 1 when its offset lies outside the GRIB file (warned).
int index_seek(Slot &sl, int n) {
    FILE *h = sl.g->hfile;
    grd_file::GribSlot &s = sl.s;
    if (n < s.index_line) {
        // An earlier grid: the index is read again from its start.
        std::fseek(h, 0, SEEK_SET);
        s.index_line = -1;
        s.index_pos = -1;
        s.index_field = 0;
    }
    std::string line;
    while (s.index_line < n) {
        if (!index_line(h, line)) return -1;
        const char *p = line.c_str();
        skip_blanks(p);
        char *end = nullptr;
        errno = 0;
        const long long off = std::strtoll(p, &end, 10);
        long pos = -1;
        if (end != p && errno != ERANGE && off >= 0 && off <= LONG_MAX) pos = long(off);
        if (*end == ' ' || *end == '\t') ++end;
        // Lines naming the same product describe its further fields.
        s.index_field = pos >= 0 && pos == s.index_pos ? s.index_field + 1 : 0;
        s.index_pos = pos;
        s.index_text.assign(end, std::min<std::size_t>(std::strlen(end), INDEX_TEXT));
        ++s.index_line;
        MESS_print(M_DEBUG_C, "GRIB HDR%d: %ld %s\n", s.index_line == n ? 1 : 3, pos, s.index_text.c_str());
    }
    const long size = grib_int::file_size(sl.f);
    if (s.index_pos < 0 || (size >= 0 && s.index_pos >= size)) {
        MESS_print(M_WARN, "GRD_read: Index offset outside the GRIB file: %s line %d\n",
                   grd_file::name(sl.fd), n + 1);
        return 1;
    }
    return 0;
}

// The header of grid n from its index line, without reading the GRIB file.
void index_header(Slot &sl, GRD_report *grd, int rep_type) {
    std::free(grd->grid);
    GRD_init(grd);
    grd->version = 1;
    grd->source = sl.g->grid == 10 ? 98 : 7;
    grd->date = sl.g->date;
    grd->units[0] = '\0';
    index_keys(sl.s.index_text, grd);
    GRIB_units(grd);
    DOM_init(&grd->domain);
    GRIB_set_domain(grd->type, &grd->domain);
    MESS_print(M_DEBUG_C, "GRIB HDR--%d %d %d %d %d %d\n", grd->model, grd->type, grd->time, grd->ltype,
               grd->level, grd->var);
    if (rep_type == 2) {
        VAR_make_datatype(grd->time, grd->ltype, grd->level, grd->var, grd->units, grd->info,
                          sizeof grd->info);
        DATE_make_label_for_time(grd->time, grd->source * 1000 + grd->model, &grd->date, grd->datim,
                                 sizeof grd->datim);
    }
}

int read_indexed(Slot &sl, GRD_report *grd, int rep_type, int *grdnum) {
    const int n = *grdnum;
    const int r = index_seek(sl, n);
    if (r < 0) return -1;
    sl.g->num = n;
    *grdnum = n;
    if (r == 1) return undecodable(sl, grd, n);
    if (rep_type != 0) {
        index_header(sl, grd, rep_type);
        return 0;
    }
    // The grid is field index_field of the product at the line's offset.
    sl.cur_pos = sl.s.index_pos;
    sl.s.pcont = sl.s.cont = false;
    sl.new_pos = -1;
    for (int k = 0; k < sl.s.index_field; ++k)
        if (advance(sl) < 0) return undecodable(sl, grd, n);
    sl.g->num = n;
    const int result = read_current(sl, grd, rep_type, grdnum);
    return result < 0 ? undecodable(sl, grd, n) : result;
}

bool make_slot(int grd_fd, GRD_file *&g, grd_file::GribPositions &p) {
    g = GRD_get_gfile(grd_fd);
    p = grd_file::grib_positions(grd_fd);
    if (g == nullptr || g->file == nullptr || p.grib == nullptr) return false;
    if (p.grib->id == 0) p.grib->id = ++last_id;
    return true;
}

} // namespace

int GRIB_get_info(int grd_fd, GRD_info *info) {
    GRD_file *g = GRD_get_gfile(grd_fd);
    const grib_int::Product &p = grib_int::product();
    if (g == nullptr || g->file == nullptr || info == nullptr || p.start < 0) return -1;
    // The product definition block (editions 0 and 1) or the identification
    // section (edition 2) that follows the indicator.
    const int edition = p.edition == 2 && p.ind_len == 16 ? 2 : p.edition == 1 ? 1 : 0;
    const long at = p.start + (edition == 2 ? 16 : edition == 1 ? 8 : 4);
    unsigned char b[40];
    if (std::fseek(g->file, at, SEEK_SET) != 0 || std::fread(b, 1, sizeof b, g->file) != sizeof b) return -1;
    Date date{};
    if (edition == 2) {
        if (b[4] != 1) return -1;
        date.year = (b[12] << 8) | b[13];
        date.month = b[14];
        date.day = b[15];
        date.hour = b[16];
        date.min = b[17];
    } else {
        date.year = b[12] < 50 ? 2000 + b[12] : 1900 + b[12];
        date.month = b[13] > 12 ? 1 : b[13];
        date.day = b[14];
        date.hour = b[15];
        date.min = 0;
    }
    g->grid = edition == 0 && b[4] == 98 ? 10 : edition;
    info->date = date;
    DATE_make_label(&info->date, info->datim, sizeof info->datim);
    return 0;
}

int GRIB_file_info(int grd_fd, GRD_info *info) {
    GRD_file *g;
    grd_file::GribPositions pos;
    if (info == nullptr || !make_slot(grd_fd, g, pos)) return -1;
    info->grid_type = 0;
    GRD_rewind(grd_fd);
    int r = -1;
    if (GRIB_header(grd_fd) == 1 && GRIB_get_info(grd_fd, info) == 0) {
        g->date = info->date;
        copy_text(g->datim, info->datim);
        r = 0;
    } else {
        MESS_print(M_WARN, "GRD_getinfo: No GRIB product can be read: %s\n", grd_file::name(grd_fd));
    }
    GRD_rewind(grd_fd);
    return r;
}

int GRIB_read_grid(int grd_fd, GRD_report *grd, int rep_type, int *grdnum) {
    GRD_file *g;
    grd_file::GribPositions pos;
    if (grd == nullptr || grdnum == nullptr || !make_slot(grd_fd, g, pos)) return -1;
    Slot sl{grd_fd, g, g->file, *pos.cur_pos, *pos.new_pos, *pos.grib};
    const int n = *grdnum;
    auto none = [&] {
        std::free(grd->grid);
        grd->grid = nullptr;
        grd->source = 0;
        return -1;
    };
    if (n < 0) return none();
    if (g->hfile != nullptr) {
        const int r = read_indexed(sl, grd, rep_type, grdnum);
        return r < 0 ? none() : r;
    }
    if (n < g->num) GRD_rewind(grd_fd);
    while (g->num < n)
        if (advance(sl) < 0) return none();
    const int r = read_current(sl, grd, rep_type, grdnum);
    return r < 0 ? none() : r;
}
