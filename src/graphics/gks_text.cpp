// Text: the text attributes and their setters, the font list, the stroke font
// reader, the text primitive gtext and the stroke renderer text, which draws
// each glyph as runs of connected strokes on the device of the workstation.
// File-static state: the text attributes, the drop-shadow depth, the font
// list and the loaded font (glyph bytes, glyph offsets and advance widths).
#include "graphics/gks_text.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/gks_colr.h"
#include "graphics/gks_hpgl.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_obj.h"
#include "graphics/gks_ps.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/gks_x11_xlib.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/tools.h"

namespace {

constexpr std::size_t MAX_FONTS = 40;      // entries of the font list
constexpr std::size_t MAX_FILE_FONTS = 10; // entries of a "fi:" font list file
constexpr std::size_t FONT_LIST_MAX = 79;
constexpr std::size_t GLYPH_BYTES = 15000;
constexpr int NUM_CHARS = 256;
constexpr int END_GLYPH = 255; // x byte that ends a glyph
constexpr int END_DATA = 254;  // code that ends the glyph data in a file
constexpr int MOVE = 128;      // x bytes from here on move without drawing
constexpr int RUN_MAX = 30;    // points of one connected run
constexpr const char *DEFAULT_FONT = "modern.fnt";
constexpr int LIST_LINE_MAX = 200; // characters of a font list line

int text_color = 1;
float text_width = 1.0f;
float text_height = 0.01f;
float text_expan = 1.0f;
float text_space = 0.25f;
float text_char_space = 0.0f;
int horiz_align = GNORMAL_HOR;
int vert_align = GNORMAL_VERT;
float upx = 0.0f;
float upy = 1.0f;
int drop_shadow = 0;
int drop_color = 1;
int font_ind = 1;
int font_type = 0; // 1 stroke font, 2 X core font

struct FontEntry {
    std::string abbr; // abbreviation, "" for entries of a comma list
    std::string name; // font file name, or "#" and an X font name
};
std::string font_list; // preset for the next gsetup_fonts
std::vector<FontEntry> fonts;

// The loaded stroke font: glyph bytes, the offset of each character's glyph
// (-1 none) and each character's advance width in font units.
std::array<unsigned char, GLYPH_BYTES> font_db{};
std::array<int, NUM_CHARS> font_index = [] {
    std::array<int, NUM_CHARS> a{};
    a.fill(-1);
    return a;
}();
std::array<unsigned char, NUM_CHARS> font_size{};

// ---- X window ----

GC text_gc = nullptr;
XFontStruct *font_info = nullptr; // the loaded X core font
// The run of stroke points being collected, in pixels.
std::array<XPoint, RUN_MAX> run_pts{};
int run_n = 0;

bool x_ready() {
    return gx_active() && text_gc != nullptr;
}

const char *x_font_list_default() {
    Display *d = gget_display();
    return d != nullptr ? XGetDefault(d, gget_prog_name(), "font_list") : nullptr;
}

bool x_load_font(const char *name) {
    if (!x_ready()) return false;
    XFontStruct *f = XLoadQueryFont(gget_display(), name);
    if (f == nullptr) return false;
    if (font_info != nullptr) XFreeFont(gget_display(), font_info);
    font_info = f;
    XSetFont(gget_display(), text_gc, f->fid);
    return true;
}

void x_text_color() {
    if (x_ready())
        XSetForeground(gget_display(), text_gc, static_cast<unsigned long>(gget_color_ind(text_color)));
}

void x_text_width() {
    if (!x_ready()) return;
    XGCValues v{};
    v.line_width = static_cast<int>(text_width);
    XChangeGC(gget_display(), text_gc, GCLineWidth, &v);
}

void x_init_text(int type) {
    if (type == 0) gx_create_gc(&text_gc, gget_text_colr);
    if (text_gc == nullptr) return;
    gx_reset_gc(text_gc);
    XGCValues v{};
    v.line_width = 1;
    v.line_style = LineSolid;
    v.cap_style = CapProjecting;
    v.join_style = JoinBevel;
    XChangeGC(gget_display(), text_gc, GCLineWidth | GCLineStyle | GCCapStyle | GCJoinStyle, &v);
}

// Drop shadows are drawn in the screen's black, the text in its colour.
void x_shadow_on() {
    if (x_ready()) XSetForeground(gget_display(), text_gc, BlackPixel(gget_display(), gget_screen()));
}

void x_shadow_off() {
    x_text_color();
}

// A string in the loaded X core font at a world position, aligned on its
// pixel width, the font's ascent and descent.
void x_text(float x, float y, const char *s) {
    if (!x_ready() || font_info == nullptr) return;
    const int px = static_cast<int>(xW_p(x) + 0.5f);
    const int py = static_cast<int>(yW_p(y) + 0.5f);
    const int len = static_cast<int>(std::min<std::size_t>(std::strlen(s), 1 << 20));
    const int w = XTextWidth(font_info, s, len);
    const int hoff = horiz_align == GCENTER_HOR ? -(w / 2) : horiz_align == GRIGHT_HOR ? -w : 0;
    int voff = 0;
    if (vert_align == GTOP_VERT || vert_align == GCAP_VERT)
        voff = font_info->ascent;
    else if (vert_align == GHALF_VERT)
        voff = font_info->ascent / 2;
    else if (vert_align == GBOTTOM_VERT)
        voff = -font_info->descent;
    Display *d = gget_display();
    if (drop_shadow > 0) {
        x_shadow_on();
        for (int i = 0; i < drop_shadow; ++i)
            XDrawString(d, gget_draw_window(), text_gc, px + hoff + i, py + voff + i, s, len);
        x_shadow_off();
    }
    XDrawString(d, gget_draw_window(), text_gc, px + hoff, py + voff, s, len);
}

XPoint pixel(float x, float y) {
    return {static_cast<short>(static_cast<int>(0.5f + xW_p(x))),
            static_cast<short>(static_cast<int>(0.5f + yW_p(y)))};
}

void x_pen_move(float x, float y) {
    run_n = 0;
    run_pts[0] = pixel(x, y);
    run_n = 1;
}

void x_pen_line(float x, float y) {
    if (run_n < RUN_MAX) run_pts[static_cast<std::size_t>(run_n++)] = pixel(x, y);
}

void x_pen_finish() {
    if (x_ready() && run_n >= 2)
        XDrawLines(gget_display(), gget_draw_window(), text_gc, run_pts.data(), run_n, CoordModeOrigin);
    run_n = 0;
}

// ---- HP-GL and CGM ----

void hpgl_text_attr() {
    ghpgl_set_width(text_color, text_width);
    ghpgl_set_color(text_color);
    ghpgl_set_type(1);
}

void hpgl_pen_move(float x, float y) {
    ghpgl_move(x, y);
}

void hpgl_pen_line(float x, float y) {
    ghpgl_line(x, y);
}

void hpgl_pen_finish() {
    ghpgl_printf("\n");
}

// A CGM carries no text: only the stroke attributes are set.
void cgm_text_attr() {
    gcgm_set_width(text_color, text_width);
    gcgm_set_color(text_color);
    gcgm_set_type(1);
}

// A truncation towards zero of a length in font units; absurd expansions
// and spacings are held to a range an int keeps.
int units(double v) {
    if (std::isnan(v)) return 0; // a zero expansion times an infinite spacing
    return static_cast<int>(std::clamp(v, -1e9, 1e9));
}

// A copy of a text for a one-line record: control characters become blanks,
// so that no text can end the record (or a PostScript comment) early.
std::string one_line(const char *s) {
    std::string t(s);
    for (char &c : t)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return t;
}

// ---- Layout ---------------------------------------------------------------------

// A character the renderer acts on: one with a glyph, or a blank.
bool drawn(unsigned char c) {
    return font_index[c] >= 0 || c == ' ';
}

int advance(unsigned char c) {
    if (text_char_space > 0) return units(text_expan * ((100 + 100 * text_space) * text_char_space));
    return units(text_expan * (font_size[c] + 100 * text_space));
}

// The string's length in font units: every drawn character but the last
// with its spacing, the last without, then expanded.
int text_length(const unsigned char *s) {
    double length = 0; // summed in double: a long text of wide spacing passes any int
    int last = -1;
    for (const unsigned char *p = s; *p != '\0'; ++p) {
        if (!drawn(*p)) continue;
        if (last >= 0) {
            const auto c = static_cast<unsigned char>(last);
            length += text_char_space > 0 ? units((100 + 100 * text_space) * text_char_space)
                                          : units(100 * text_space + font_size[c]);
        }
        last = *p;
    }
    if (last >= 0) {
        const auto c = static_cast<unsigned char>(last);
        length += text_char_space > 0 ? units(100 * text_char_space) : font_size[c];
    }
    return units(text_expan * length);
}

int start_offset(int length) {
    switch (horiz_align) {
    case GCENTER_HOR:
        return -(length / 2);
    case GRIGHT_HOR:
        return -length;
    default:
        return 0;
    }
}

int vertical_offset() {
    switch (vert_align) {
    case GTOP_VERT:
        return -FONT_TOP;
    case GCAP_VERT:
        return -FONT_CAP;
    case GHALF_VERT:
        return -FONT_HALF;
    case GBOTTOM_VERT:
        return 0;
    default: // normal and base
        return -FONT_BASE;
    }
}

// ---- Stroke runs on the device ----------------------------------------------------

// Collects glyph strokes into connected runs of at most RUN_MAX points and
// sends each run to the device as one piece.
class Pen {
public:
    Pen() : type_(gget_win_type()), cgm_(gtype_is_META()) {}

    void begin_glyph() {
        run_ = 0;
        if (type_ == GWS_PS) gps_printf("np\n");
    }
    void move(float x, float y) {
        if (run_ >= 2) finish_run(true);
        start(x, y);
        run_ = 1;
    }
    void line(float x, float y) {
        if (run_ == 0) { // a glyph that begins with a stroke starts there
            move(x, y);
            return;
        }
        if (cgm_) return;
        switch (type_) {
        case GWS_WIN:
        case GWS_PIX:
            x_pen_line(x, y);
            break;
        case GWS_PS:
            gps_line(x, y);
            break;
        case GWS_HPGL:
            hpgl_pen_line(x, y);
            break;
        default:
            break;
        }
        if (++run_ == RUN_MAX) {
            // A full run is sent and the next one starts at its last point,
            // where the HP-GL pen already is.
            finish_run(true);
            if (type_ != GWS_HPGL) start(x, y);
            run_ = 1;
        }
    }
    void end_glyph() {
        if (run_ >= 2) finish_run(false);
        run_ = 0;
    }

private:
    void start(float x, float y) {
        if (cgm_) return;
        switch (type_) {
        case GWS_WIN:
        case GWS_PIX:
            x_pen_move(x, y);
            break;
        case GWS_PS:
            gps_move(x, y);
            break;
        case GWS_HPGL:
            hpgl_pen_move(x, y);
            break;
        default:
            break;
        }
    }
    // Draws the current run; more_follow keeps a PostScript path open.
    void finish_run(bool more_follow) {
        if (cgm_) return;
        switch (type_) {
        case GWS_WIN:
        case GWS_PIX:
            x_pen_finish();
            break;
        case GWS_PS:
            gps_printf(more_follow ? "stroke\nnp\n" : "stroke\n");
            break;
        case GWS_HPGL:
            hpgl_pen_finish();
            break;
        default:
            break;
        }
    }

    int type_;
    bool cgm_; // strokes are computed, nothing is written
    int run_ = 0;
};

// ---- Stroke font files ----------------------------------------------------------

// The whitespace-separated words of a font file.
class Words {
    static constexpr std::size_t WORD_MAX = 40;

public:
    explicit Words(FILE *f) : f_(f) {}
    bool next(std::string &word) {
        word.clear();
        int c;
        while ((c = std::getc(f_)) != EOF && std::isspace(c))
            ;
        // Reading stops in a word of over 40 characters: it is no number.
        while (c != EOF && !std::isspace(c) && word.size() <= WORD_MAX) {
            word += static_cast<char>(c);
            c = std::getc(f_);
        }
        return !word.empty();
    }

private:
    FILE *f_;
};

bool to_int(const std::string &word, int *v) {
    const char *end = word.data() + word.size();
    const auto [p, ec] = std::from_chars(word.data(), end, *v);
    return ec == std::errc() && p == end;
}

struct StrokeFont {
    std::vector<unsigned char> db;
    std::array<int, NUM_CHARS> index{};
    std::array<unsigned char, NUM_CHARS> size{};
};

std::string printf_text(const char *format, int a, int b = 0) {
    char buf[120];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

// Reads a font file in either layout into font; "" or what is wrong with it.
std::string parse_font(FILE *f, StrokeFont &font) {
    Words words(f);
    std::string w;
    int v = 0;
    if (!words.next(w)) return "empty file";
    if (!to_int(w, &v)) return "no number at the start";
    const bool named = v != END_GLYPH;
    if (named) {
        if (!words.next(w)) return "ends in its header";
    } else {
        font.db.push_back(END_GLYPH);
    }
    for (;;) {
        if (!words.next(w)) return "the glyph data have no end code 254";
        if (!to_int(w, &v) || v < 0 || v > 255) return "glyph data value \"" + w + "\" is no byte";
        if (font.db.size() >= GLYPH_BYTES)
            return printf_text("more than %d bytes of glyph data", static_cast<int>(GLYPH_BYTES));
        if (v == END_DATA) {
            font.db.push_back(END_GLYPH);
            break;
        }
        font.db.push_back(static_cast<unsigned char>(v));
        if (named && v == END_GLYPH && !words.next(w)) return "a glyph label is missing";
    }
    const int bytes = static_cast<int>(font.db.size());
    for (int c = 0; c < NUM_CHARS; ++c) {
        if (!words.next(w)) return printf_text("%d glyph offsets, %d expected", c, NUM_CHARS);
        if (!to_int(w, &v)) return printf_text("glyph offset of character %d is no number", c);
        if (v != -1 && (v < 0 || v >= bytes))
            return printf_text("glyph offset %d of character %d lies outside the data", v, c);
        font.index[static_cast<std::size_t>(c)] = v;
    }
    // Every glyph must end inside the data; its advance width is its largest x.
    for (int c = 0; c < NUM_CHARS; ++c) {
        int k = font.index[static_cast<std::size_t>(c)];
        if (k < 0) continue;
        int width = 0;
        while (font.db[static_cast<std::size_t>(k)] != END_GLYPH) {
            if (k + 2 >= bytes) return printf_text("glyph of character %d has no end code", c);
            const int b = font.db[static_cast<std::size_t>(k)];
            width = std::max(width, b >= MOVE ? b - MOVE : b);
            k += 2;
        }
        font.size[static_cast<std::size_t>(c)] = static_cast<unsigned char>(width);
    }
    font.size[' '] = FONT_BLANK;
    return "";
}

void clear_font() {
    font_index.fill(-1);
    font_size.fill(0);
}

// ---- Font list -------------------------------------------------------------------

// Entries of a font list file: up to max lines that hold an abbreviation and
// a name (with rest_of_line the name runs to the end of the line). False
// when the file cannot be opened.
bool read_font_list(const char *file, std::size_t max, bool rest_of_line, std::string *path) {
    FILE *f = FILE_open_table(file, path);
    if (f == nullptr) return false;
    char buf[LIST_LINE_MAX + 1];
    int n;
    while (fonts.size() < max && (n = fgetnline(f, buf, LIST_LINE_MAX)) != EOF) {
        if (n >= LIST_LINE_MAX) fskipline(f); // the rest of an overlong line is dropped
        const std::string line(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
        const std::vector<std::string> words = split_words(line);
        if (words.size() < 2) continue;
        FontEntry e{words[0], words[1]};
        if (rest_of_line) {
            std::size_t at = line.find(words[0]) + words[0].size();
            at = line.find(words[1], at);
            std::vector<char> name(line.begin() + static_cast<std::ptrdiff_t>(at), line.end());
            name.push_back('\0');
            wstrim_string(name.data());
            e.name = name.data();
        }
        fonts.push_back(std::move(e));
    }
    FILE_close(f);
    return true;
}

void build_font_list() {
    fonts.clear();
    const char *list = !font_list.empty() ? font_list.c_str() : RES_get("font_list");
    if (list == nullptr || *list == '\0') list = x_font_list_default();
    if (list == nullptr || *list == '\0') {
        read_font_list("zeq.fnl", MAX_FONTS, true, nullptr);
        return;
    }
    if (strnicmp(list, "fi:", 3) == 0) {
        std::string path;
        if (!read_font_list(list + 3, MAX_FILE_FONTS, false, &path))
            MESS_print(M_WARN, "gsetup_fonts: unable to load font list file: %s\n", path.c_str());
        return;
    }
    int n = 0;
    char **items = nullptr;
    parse_string(list, ',', &n, &items);
    for (int i = 0; i < n && fonts.size() < MAX_FONTS; ++i)
        fonts.push_back({"", items[i]});
    free_parsed_array(n, items);
}

// The drop shadow of stroke text on the window: the string drawn in black
// 0 to depth - 1 pixels right and down of its place.
void stroke_shadow(float x, float y, const char *string) {
    const float dx = 1 / (xW_p(x + 1) - xW_p(x));
    const float dy = 1 / (yW_p(y + 1) - yW_p(y));
    x_shadow_on();
    for (int i = 0; i < drop_shadow; ++i)
        text(x + static_cast<float>(i) * dx, y + static_cast<float>(i) * dy, string);
    x_shadow_off();
}

} // namespace

// ---- The text primitive -----------------------------------------------------------

Gint gtext(const Gpt *text_pos, const Gchar *char_string) {
    if (!gcheck_open("gtext")) return -1;
    if (text_pos == nullptr || char_string == nullptr || *char_string == '\0') return 0;
    const bool meta = gtype_is_META();
    if (meta && gmeta_get_type() == META_TEXT) {
        gmeta_printf("TE %f,%f %s\n", text_pos->x, text_pos->y, one_line(char_string).c_str());
        return 0;
    }
    const std::size_t len = std::strlen(char_string);
    std::vector<char> obj(sizeof(Gpt) + len + 1);
    std::memcpy(obj.data(), text_pos, sizeof(Gpt));
    std::memcpy(obj.data() + sizeof(Gpt), char_string, len + 1);
    gnew_obj(50, 1, static_cast<int>(obj.size()), obj.data());
    if (font_type == 1) {
        if (gtype_is_WIN_PIX() && drop_shadow > 0) stroke_shadow(text_pos->x, text_pos->y, char_string);
        text(text_pos->x, text_pos->y, char_string);
    } else if (font_type == 2 && gtype_is_WIN_PIX()) {
        x_text(text_pos->x, text_pos->y, char_string);
    }
    return 0;
}

int text(float ox, float oy, const char *string) {
    if (string == nullptr) return 0;
    const auto *s = reinterpret_cast<const unsigned char *>(string);
    int h = start_offset(text_length(s));
    const int v = vertical_offset();
    switch (gget_win_type()) {
    case GWS_PS:
        gps_printf("%%%%TE:%f %f %s\n", ox, oy, one_line(string).c_str());
        gps_set_width(text_color, text_width);
        gps_set_color(text_color);
        gps_set_type(1);
        break;
    case GWS_HPGL:
        hpgl_text_attr();
        break;
    case GWS_META:
        cgm_text_attr();
        break;
    default:
        break;
    }
    const float scale = text_height / FONT_HEIGHT;
    Pen pen;
    for (const unsigned char *p = s; *p != '\0'; ++p) {
        const int at = font_index[*p];
        if (at < 0) {
            if (*p == ' ') h = units(static_cast<double>(h) + advance(*p));
            continue;
        }
        pen.begin_glyph();
        for (auto k = static_cast<std::size_t>(at); font_db[k] != END_GLYPH; k += 2) {
            const int b = font_db[k];
            const bool move = b >= MOVE;
            const float sx =
                scale * (static_cast<float>(move ? b - MOVE : b) * text_expan + static_cast<float>(h));
            const float sy = scale * static_cast<float>(font_db[k + 1] + v);
            const float x = ox + upy * sx + upx * sy;
            const float y = oy - upx * sx + upy * sy;
            if (move)
                pen.move(x, y);
            else
                pen.line(x, y);
        }
        h = units(static_cast<double>(h) + advance(*p));
        pen.end_glyph();
    }
    return 0;
}

// ---- Attributes -------------------------------------------------------------------

Gint gset_text_colr_ind(Gint ind) {
    if (!gcheck_open("gset_text_colr_ind")) return -1;
    if (gcheck_colr_ind("gset_text_colr_ind", &ind) != 0) return -1;
    if (ind == text_color) return 0;
    text_color = ind;
    if (gtype_is_META()) {
        gmeta_printf("TE_CLR %d\n", ind);
        return 0;
    }
    gnew_obj(56, ind, 0, nullptr);
    if (gtype_is_WIN_PIX()) x_text_color();
    return 0;
}

Gint gset_expan(Gfloat expansion) {
    if (!(expansion >= 0)) {
        gerr_printf("gset_expan", "invalid expansion factor: %f\n", static_cast<double>(expansion));
        return -1;
    }
    if (expansion == text_expan) return 0;
    text_expan = expansion;
    if (gtype_is_META()) {
        gmeta_printf("TE_EXP %f\n", static_cast<double>(expansion));
        return 0;
    }
    gnew_obj(55, 1, sizeof expansion, &expansion);
    return 0;
}

Gint gset_text_width(Gfloat width) {
    if (!(width >= 0)) {
        gerr_printf("gset_text_width", "invalid text width: %f\n", static_cast<double>(width));
        return -1;
    }
    if (width == text_width) return 0;
    if (gtype_is_PS() && width == 0) width = 1;
    text_width = width;
    if (gtype_is_META()) {
        gmeta_printf("TE_WDTH %f\n", static_cast<double>(width));
        return 0;
    }
    gnew_obj(61, 1, sizeof width, &width);
    if (gtype_is_WIN_PIX()) x_text_width();
    return 0;
}

Gint gset_char_ht(Gfloat height) {
    if (!(height >= 0)) {
        gerr_printf("gset_char_ht", "invalid character height: %f\n", static_cast<double>(height));
        return -1;
    }
    if (height == text_height) return 0;
    text_height = height;
    if (gtype_is_META()) {
        gmeta_printf("TE_HGHT %f\n", static_cast<double>(height));
        return 0;
    }
    gnew_obj(57, 1, sizeof height, &height);
    return 0;
}

Gint gset_char_up_vec(const Gpt *up) {
    const double length = up != nullptr ? std::hypot(up->x, up->y) : 0;
    if (!(length > 0) || !std::isfinite(length)) {
        gerr_printf("gset_char_up_vec", "invalid up vector: %f,%f\n", up != nullptr ? up->x : 0.0,
                    up != nullptr ? up->y : 0.0);
        return -1;
    }
    if (up->x == upx && up->y == upy) return 0;
    if (gtype_is_META()) {
        gmeta_printf("TE_UP %f,%f\n", static_cast<double>(up->x), static_cast<double>(up->y));
        return 0;
    }
    gnew_obj(58, 1, sizeof(Gpt), up);
    upx = static_cast<float>(up->x / length);
    upy = static_cast<float>(up->y / length);
    return 0;
}

Gint gset_text_align(const Gtext_align *align) {
    if (align == nullptr) return 0;
    if (align->hor == horiz_align && align->vert == vert_align) return 0;
    horiz_align = align->hor;
    vert_align = align->vert;
    if (gtype_is_META()) {
        gmeta_printf("TE_ALGN %d %d\n", horiz_align, vert_align);
        return 0;
    }
    gnew_obj(60, 1, sizeof(Gtext_align), align);
    return 0;
}

Gint ginq_text_align(Gint *err, Gtext_align *align) {
    if (err != nullptr) *err = 0;
    if (align != nullptr) *align = {static_cast<Gtext_hor>(horiz_align), static_cast<Gtext_ver>(vert_align)};
    return 0;
}

Gint gset_space(Gfloat space) {
    if (space == text_space) return 0;
    text_space = space;
    if (gtype_is_META()) {
        gmeta_printf("TE_SPC %f\n", static_cast<double>(space));
        return 0;
    }
    gnew_obj(53, 1, sizeof space, &space);
    return 0;
}

Gint gset_char_space(Gfloat space) {
    if (space == text_char_space) return 0;
    text_char_space = space;
    if (gtype_is_META()) {
        gmeta_printf("TE_CSPC %f\n", static_cast<double>(space));
        return 0;
    }
    gnew_obj(54, 1, sizeof space, &space);
    return 0;
}

Gint gset_text_path(Gtext_path) {
    return 0;
}

Gint gset_fontprec(const Gfontprec *fontprec) {
    if (fontprec == nullptr || fontprec->font == font_ind) return 0;
    const int font = fontprec->font;
    if (gtype_is_META()) {
        font_ind = font;
        gmeta_printf("TE_FNT %d %d\n", font, static_cast<int>(fontprec->prec));
        return 0;
    }
    if (!fonts.empty() && (font < 1 || static_cast<std::size_t>(font) > fonts.size())) {
        MESS_print(M_WARN, "gset_fontprec: invalid font id: %d\n", font);
        return -1;
    }
    font_ind = font;
    gnew_obj(59, 1, sizeof(Gfontprec), fontprec);
    if (!fonts.empty()) read_font(fonts[static_cast<std::size_t>(font - 1)].name.c_str());
    return 0;
}

// ---- Fonts -----------------------------------------------------------------------

int gset_font_list(const char *list) {
    font_list = std::string(list != nullptr ? list : "").substr(0, FONT_LIST_MAX);
    return 1;
}

int gsetup_fonts() {
    build_font_list();
    if (fonts.empty()) return read_font(DEFAULT_FONT);
    if (font_ind < 1 || static_cast<std::size_t>(font_ind) > fonts.size()) font_ind = 1;
    return read_font(fonts[static_cast<std::size_t>(font_ind - 1)].name.c_str());
}

int read_font(const char *name) {
    if (!gchk_graphics() || name == nullptr) return -1;
    clear_font();
    if (name[0] == '#') {
        if (gtype_is_WIN_PIX() && x_load_font(name + 1)) {
            font_type = 2;
            return 0;
        }
        MESS_print(M_WARN, "read_font: unable to load font: %s\n", name + 1);
        return -1;
    }
    std::string path;
    FILE *f = FILE_open_table(name, &path);
    if (f == nullptr) {
        MESS_print(M_WARN, "read_font: unable to load font file: %s\n", path.c_str());
        return -1;
    }
    font_type = 1;
    StrokeFont font;
    const std::string problem = parse_font(f, font);
    FILE_close(f);
    if (!problem.empty()) {
        MESS_print(M_WARN, "read_font: %s: %s\n", path.c_str(), problem.c_str());
        return -1;
    }
    std::copy(font.db.begin(), font.db.end(), font_db.begin());
    font_index = font.index;
    font_size = font.size;
    return 0;
}

int gget_font_index(const char *str) {
    if (str == nullptr) return 1;
    if (std::isdigit(static_cast<unsigned char>(str[0]))) {
        int n = 1;
        std::from_chars(str, str + std::strlen(str), n);
        return n;
    }
    for (std::size_t i = 0; i < fonts.size(); ++i)
        if (iequals(fonts[i].abbr, str)) return static_cast<int>(i + 1);
    return 1;
}

int gset_font_drop(int ind) {
    drop_shadow = ind;
    return 0;
}

int gget_font_drop() {
    return drop_shadow;
}

int gset_font_drop_color(int ind) {
    drop_color = ind;
    return 0;
}

int gget_text_colr() {
    return text_color;
}

GC gget_text_gc() {
    return text_gc;
}

int gfree_xfont() {
    if (font_info != nullptr && gget_display() != nullptr) XFreeFont(gget_display(), font_info);
    font_info = nullptr;
    return 0;
}

int ginit_text(int type) {
    if (type == 0 || type == 1) x_init_text(type);
    return 0;
}

int greset_text() {
    text_color = 1;
    text_width = 1.0f;
    text_height = 0.01f;
    text_expan = 1.0f;
    text_space = 0.25f;
    text_char_space = 0.0f;
    horiz_align = GNORMAL_HOR;
    vert_align = GNORMAL_VERT;
    upx = 0.0f;
    upy = 1.0f;
    font_ind = 1;
    return 0;
}
