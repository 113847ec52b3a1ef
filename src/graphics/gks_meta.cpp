// Metafile output and input: opens the text metafile or CGM stream (file,
// append or pipe), writes the text metafile's header and records and the
// binary CGM elements, ends and closes the stream, and replays a text
// metafile through the kernel. File-static state: the stream and its name,
// the append flag, the metafile kind (which survives from one open to the
// next) and the line type last set on a CGM.
#include "graphics/gks_meta.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_mark.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "runtime/files.h"
#include "runtime/mess.h"

namespace {

FILE *out_file = nullptr;
std::string out_name;
int append = 0;
int meta_type = META_TEXT;
int cgm_line_type = 1;

// ---- CGM encoding ----------------------------------------------------------------

// CGM coordinates are ten times the print units.
constexpr float CGM_SCALE = 10;

bool cgm_open() {
    return out_file != nullptr && meta_type == META_CGM;
}

void put_bytes(std::initializer_list<int> bytes) {
    for (int b : bytes)
        std::fputc(b & 0xff, out_file);
}

void put_word(int v) {
    put_bytes({v >> 8, v});
}

// A coordinate as a 16-bit signed integer: the value truncated and held to
// the range.
void put_coord(float v) {
    if (std::isnan(v)) v = 0;
    put_word(static_cast<int>(std::clamp(std::trunc(v * CGM_SCALE), -32768.0f, 32767.0f)));
}

// The header elements: the metafile and its one picture begin.
void write_cgm_header() {
    gcgm_control(0, 1, 0, 0); // BEGIN METAFILE
    gcgm_control(1, 1, 2, 1); // METAFILE VERSION 1
    gcgm_control(1, 2, 11, 0);
    put_bytes({10, 'Z', 'E', 'Q', 'C', 'G', 'M', '-', '1', '.', '0', 0}); // METAFILE DESCRIPTION
    gcgm_control(1, 11, 6, 1);
    put_bytes({0xff, 0xff, 0x00, 0x01}); // METAFILE ELEMENT LIST: drawing-plus-control set
    gcgm_control(1, 9, 1, 0);
    put_bytes({0xff, 0x00}); // MAXIMUM COLOUR INDEX 255
    gcgm_control(2, 6, 8, 0);
    put_bytes({0x00, 0x00, 0x00, 0x00, 0x27, 0x10, 0x1f, 0x40}); // VDC EXTENT 0 0 10000 8000
    gcgm_control(0, 3, 0, 0);                                    // BEGIN PICTURE
    gcgm_control(0, 4, 0, 0);                                    // BEGIN PICTURE BODY
}

// ---- Text metafile reader ----------------------------------------------------------

// Longest text of a TE record that is replayed.
constexpr std::size_t TEXT_MAX = 100;
// Longest keyword; a longer word is no keyword.
constexpr std::size_t KEY_MAX = 9;

// Reads the items of a text metafile in the manner of scanf: numbers skip
// the white space before them, a comma must follow the x of a point at once.
class Reader {
public:
    explicit Reader(FILE *f) : f_(f) {}

    int line() const { return line_; }

    // The next word (up to white space), at most KEY_MAX + 1 characters kept;
    // false at the end of the file.
    bool word(std::string &w) {
        w.clear();
        int c = skip_space();
        while (c != EOF && !is_space(c)) {
            if (w.size() <= KEY_MAX) w += static_cast<char>(c);
            c = get();
        }
        unget(c);
        return !w.empty();
    }
    bool integer(int *v) {
        std::string t;
        int c = skip_space();
        if (c == '+' || c == '-') {
            t += static_cast<char>(c);
            c = get();
        }
        while (c >= '0' && c <= '9' && t.size() < 20) {
            t += static_cast<char>(c);
            c = get();
        }
        unget(c);
        errno = 0;
        char *end = nullptr;
        const long n = std::strtol(t.c_str(), &end, 10);
        if (t.empty() || *end != '\0' || errno != 0 || n < std::numeric_limits<int>::min() ||
            n > std::numeric_limits<int>::max())
            return false;
        *v = static_cast<int>(n);
        return true;
    }
    // A finite decimal number.
    bool number(float *v) {
        std::string t;
        int c = skip_space();
        int prev = 0;
        while (c != EOF && t.size() < 64 &&
               ((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' ||
                ((c == '+' || c == '-') && (t.empty() || prev == 'e' || prev == 'E')))) {
            t += static_cast<char>(c);
            prev = c;
            c = get();
        }
        unget(c);
        char *end = nullptr;
        const float n = std::strtof(t.c_str(), &end);
        if (t.empty() || *end != '\0' || !std::isfinite(n)) return false;
        *v = n;
        return true;
    }
    bool point(Gpt *p) { return number(&p->x) && get() == ',' && number(&p->y); }
    // The rest of the line after the blanks that begin it (the line feed
    // read, not kept), cut to max characters.
    void rest_of_line(std::string &s, std::size_t max) {
        s.clear();
        int c = get();
        while (c == ' ' || c == '\t')
            c = get();
        while (c != EOF && c != '\n') {
            if (s.size() < max) s += static_cast<char>(c);
            c = get();
        }
    }
    void skip_line() {
        int c;
        while ((c = get()) != EOF && c != '\n')
            ;
    }

private:
    static bool is_space(int c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    }
    int get() {
        const int c = std::getc(f_);
        if (c == '\n') ++line_;
        return c;
    }
    void unget(int c) {
        if (c == EOF) return;
        if (c == '\n') --line_;
        std::ungetc(c, f_);
    }
    int skip_space() {
        int c;
        while ((c = get()) != EOF && is_space(c))
            ;
        return c;
    }

    FILE *f_;
    int line_ = 1;
};

// A transformation record: number and x_min, y_min, x_max, y_max.
bool read_tran(Reader &in, int *n, Glim *lim) {
    return in.integer(n) && in.number(&lim->x_min) && in.number(&lim->y_min) && in.number(&lim->x_max) &&
           in.number(&lim->y_max);
}

// The points of a point record, read while they scan: a count alone never
// reserves room.
bool read_points(Reader &in, std::vector<Gpt> &pts) {
    int n = 0;
    if (!in.integer(&n) || n < 1) return false;
    pts.clear();
    for (int i = 0; i < n; ++i) {
        Gpt p{};
        if (!in.point(&p)) return false;
        pts.push_back(p);
    }
    return true;
}

using IntSetter = Gint (*)(Gint);
using FloatSetter = Gint (*)(Gfloat);

struct IntRecord {
    const char *key;
    IntSetter set;
};
struct FloatRecord {
    const char *key;
    FloatSetter set;
};

constexpr std::array<IntRecord, 9> int_records{{
    {"TR", gsel_norm_tran},
    {"PL_CLR", gset_line_colr_ind},
    {"PL_TYPE", gset_linetype},
    {"PM_CLR", gset_marker_colr_ind},
    {"PM_TYPE", gset_marker_type},
    {"FA_CLR", gset_fill_colr_ind},
    {"FA_INT", gset_fill_int_style},
    {"FA_ST", gset_fill_style_ind},
    {"TE_CLR", gset_text_colr_ind},
}};

constexpr std::array<FloatRecord, 8> float_records{{
    {"PL_LW", gset_linewidth},
    {"PM_SIZE", gset_marker_size},
    {"PM_WDTH", gset_marker_width},
    {"TE_HGHT", gset_char_ht},
    {"TE_EXP", gset_expan},
    {"TE_WDTH", gset_text_width},
    {"TE_SPC", gset_space},
    {"TE_CSPC", gset_char_space},
}};

// Replays one record of keyword key; false when it does not read.
bool replay(Reader &in, const std::string &key, std::vector<Gpt> &pts) {
    for (const IntRecord &r : int_records) {
        if (key != r.key) continue;
        int v = 0;
        if (!in.integer(&v)) return false;
        r.set(v);
        return true;
    }
    for (const FloatRecord &r : float_records) {
        if (key != r.key) continue;
        float v = 0;
        if (!in.number(&v)) return false;
        r.set(v);
        return true;
    }
    if (key == "WIN" || key == "VP") {
        int n = 0;
        Glim lim{};
        if (!read_tran(in, &n, &lim)) return false;
        if (key == "WIN")
            gset_win(n, &lim);
        else
            gset_vp(n, &lim);
    } else if (key == "WS_WIN") {
        int n = 0;
        Glim lim{};
        return read_tran(in, &n, &lim); // the reader keeps its own device
    } else if (key == "PL" || key == "FA" || key == "PM") {
        if (!read_points(in, pts)) return false;
        const auto n = static_cast<Gint>(pts.size());
        if (key == "PL")
            gpolyline(n, pts.data());
        else if (key == "FA")
            gfill_area(n, pts.data());
        else
            gpolymarker(n, pts.data());
    } else if (key == "TE") {
        Gpt p{};
        if (!in.point(&p)) return false;
        std::string text;
        in.rest_of_line(text, TEXT_MAX);
        gtext(&p, text.c_str());
    } else if (key == "CLR") {
        int ws = 0, ind = 0;
        Gcolr_rep rep{};
        if (!in.integer(&ws) || !in.integer(&ind) || !in.number(&rep.red) || !in.number(&rep.green) ||
            !in.number(&rep.blue))
            return false;
        gset_colr_rep(1, ind, &rep);
    } else if (key == "TE_UP") {
        Gpt up{};
        if (!in.point(&up)) return false;
        gset_char_up_vec(&up);
    } else if (key == "TE_ALGN") {
        int h = 0, v = 0;
        if (!in.integer(&h) || !in.integer(&v)) return false;
        const Gtext_align align{static_cast<Gtext_hor>(h), static_cast<Gtext_ver>(v)};
        gset_text_align(&align);
    } else if (key == "TE_FNT") {
        int font = 0, prec = 0;
        if (!in.integer(&font) || !in.integer(&prec)) return false;
        const Gfontprec fp{font, static_cast<Gtext_prec>(prec)};
        gset_fontprec(&fp);
    } else {
        // WS_VP, CLR_REG, ME, the segments, the header's comment lines and
        // any word the reader does not know.
        in.skip_line();
    }
    return true;
}

} // namespace

int gmeta_set_type(int type) {
    meta_type = type;
    return 0;
}

int gmeta_get_type() {
    return meta_type;
}

FILE *gmeta_open_file(const char *filename) {
    if (filename == nullptr || out_file != nullptr) return nullptr;
    MESS_print(M_MESS, "Creating metafile: %s\n", filename);
    append = 0;
    FILE *f = nullptr;
    if (filename[0] == '+') {
        f = FILE_open(filename + 1, "a");
        if (f != nullptr) append = 1;
    } else {
        f = FILE_open(filename, "w");
    }
    if (f == nullptr) return nullptr;
    out_file = f;
    out_name = filename;
    cgm_line_type = 1;
    return f;
}

int gmeta_init_file() {
    if (append) return 0;
    if (meta_type == META_CGM) {
        write_cgm_header();
        return 0;
    }
    gmeta_printf("ZEQMETA\n");
    gmeta_printf("#Title: ZEQ Graphics Display: %s\n", gget_win_title());
    gmeta_printf("#Creator: ZEQ Metafile Processor-1.0\n");
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (ctime_r(&now, text) == nullptr) text[0] = '\0';
    gmeta_printf("#CreationDate: %s", text);
    return 0;
}

int gmeta_printf(const char *format, ...) {
    if (out_file == nullptr || meta_type != META_TEXT) return 0;
    va_list args;
    va_start(args, format);
    std::vfprintf(out_file, format, args);
    va_end(args);
    return 0;
}

int gmeta_point_list(const char *key, int num_pt, const Gpt *array_pt, bool last_break) {
    gmeta_printf("%s %d ", key, num_pt);
    for (int i = 0; i < num_pt; ++i) {
        gmeta_printf("%f,%f ", array_pt[i].x, array_pt[i].y);
        if ((i + 1) % 4 == 0 && (last_break || i + 1 < num_pt)) gmeta_printf("\n   ");
    }
    if (!last_break || num_pt % 4 != 0) gmeta_printf("\n");
    return 0;
}

int gmeta_close_file() {
    if (out_file == nullptr) return -1;
    if (meta_type == META_CGM && !append) {
        gcgm_control(0, 5, 0, 0); // END PICTURE
        gcgm_control(0, 2, 0, 0); // END METAFILE
    }
    FILE *f = out_file;
    out_file = nullptr;
    return gprint_close(f, out_name, "gmeta_close_file", "Created metafile\n");
}

// ---- CGM elements ------------------------------------------------------------------

int gcgm_control(int cls, int id, int len, int param) {
    if (!cgm_open()) return -1;
    put_bytes({cls * 16 + id / 8, (id % 8) * 32 + len % 32});
    if (param > 0 || len == 31) put_word(param);
    return 0;
}

int gcgm_point(float x, float y) {
    return gcgm_ps_point(xW_ps(x), yW_ps(y));
}

int gcgm_ps_point(float x, float y) {
    if (!cgm_open()) return 0;
    put_coord(x);
    put_coord(y);
    return 0;
}

int gcgm_set_color(int) {
    return 0;
}

int gcgm_set_fill_color(int) {
    return 0;
}

int gcgm_set_width(int, float) {
    return 0;
}

int gcgm_set_type(int type) {
    if (type == cgm_line_type) return -1;
    cgm_line_type = type;
    return 0;
}

// ---- Text metafile reader -----------------------------------------------------------

int gread_metafile(const char *filename) {
    // The name may come from a data file: it never reads a standard stream,
    // runs a command or waits on a pipe or device.
    FILE *f = nullptr;
    if (filename != nullptr && !FILE_is_stdio(filename) && FILE_is_file(filename) != 0)
        f = std::fopen(filename, "r");
    if (f == nullptr) {
        MESS_print(M_WARN, "gread_metafile: Unable to open image file: %s\n",
                   filename != nullptr ? filename : "");
        return -1;
    }
    Reader in(f);
    in.skip_line(); // "ZEQMETA"
    std::string key;
    std::vector<Gpt> pts;
    for (;;) {
        if (!in.word(key)) break;
        const int line = in.line();
        if (!replay(in, key, pts)) {
            MESS_print(M_WARN, "gread_metafile: %s: unreadable %s record in line %d, replay ended\n",
                       filename, key.c_str(), line);
            break;
        }
    }
    std::fclose(f);
    return 0;
}
