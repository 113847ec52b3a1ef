// Map backgrounds: the map window of transformation 2, the map list with its
// list files, regional blocks and size tests, the map database reader that
// draws records piece by piece across the seam of the projection, the
// latitude-longitude net (an axis grid on diagrams) and range circles.
// File-static state: the map list, the default item format, the fill-contour
// switch, the sign flag and regional state of the current draw, the fill
// choice of the current item and the spacings of the net.
#include "plot/map.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks_meta.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_img.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "plot/plt_tool.h"
#include "plot/raw_plt.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/zeq.h"

namespace {

constexpr std::size_t MAP_NAME_MAX = 249; // characters of the map list
constexpr std::size_t FORMAT_MAX = 39;    // characters of the default format
constexpr std::size_t WORD_MAX = 79;      // characters of a list-file word
constexpr std::size_t COLOUR_MAX = 9;     // characters of an image's transparent colour
constexpr unsigned FIXED_POINTS = 1000;   // records below this use the fixed buffers
constexpr float RECORD_SEAM = 20;         // x jump of a record crossing the seam
constexpr float NET_SEAM = 50;            // x jump of a net segment crossing the seam
constexpr double MAX_LINES = 3600;        // lines of one family of the net
constexpr int PLOT_MAP = 8;               // plot component switch of the map

std::string map_name; // the map list in use
std::string format;   // attributes of map database items that carry none
int fill_cont = 0;    // 1 while contours are colour-filled
int fill = 0;         // the map database item being drawn is filled
int over = 4;         // sign flag of the current MAP_draw
int reg_found = 1;    // regional state: 1 before a block, 2 in a matching one, 0/-1 skipping

float latln = 0; // spacings of the net drawn by MAP_draw
float lonln = 0;
int dot = 0;
int extra = 0;

// The x period of the projection's seam at plane height y (0: none).
float seam_period(int proj, float y) {
    switch (proj) {
    case 2:
        return 360.0f;
    case 3:
        return 400.31555892808814f;
    case 4:
        return 1000.0f;
    case 7: {
        const double v = y / 63.713;
        return 1.0 - v * v > 0.0 ? static_cast<float>(254.852 * std::sqrt(1.0 - v * v)) : 0.0f;
    }
    default:
        return 0.0f;
    }
}

// Sets the map list, cut with a warning when it is too long.
void set_map_name(const char *text, const char *who) {
    map_name = text != nullptr ? text : "";
    if (map_name.size() > MAP_NAME_MAX) {
        MESS_print(M_WARN, "%s: Map list cut to %zu characters: %s\n", who, MAP_NAME_MAX, map_name.c_str());
        map_name.resize(MAP_NAME_MAX);
    }
}

// ---- Map database files ----------------------------------------------------------------

// The next word of white space-separated text (at most 63 characters); false
// at the end of the file or for a longer word.
bool read_word(FILE *f, std::array<char, 64> &word) {
    int c = 0;
    while ((c = std::getc(f)) != EOF && std::isspace(c))
        ;
    if (c == EOF) return false;
    std::size_t n = 0;
    while (c != EOF && !std::isspace(c)) {
        if (n + 1 >= word.size()) return false;
        word[n++] = static_cast<char>(c);
        c = std::getc(f);
    }
    word[n] = '\0';
    return true;
}

bool word_float(const char *w, float &v) {
    double d = 0;
    const std::size_t used = scan_decimal(w, &d);
    if (used == 0 || w[used] != '\0') return false;
    v = static_cast<float>(d);
    return true;
}

// An unsigned 16-bit count: the binary form's type, so counts above 32767
// read the same in both forms.
bool word_count(const char *w, unsigned &v) {
    const std::size_t len = std::strlen(w);
    if (len == 0 || len > 5 || std::strspn(w, "0123456789") != len) return false;
    const unsigned long n = std::strtoul(w, nullptr, 10);
    if (n > 65535) return false;
    v = static_cast<unsigned>(n);
    return true;
}

bool word_integer(const char *w) {
    const char *digits = (*w == '-' || *w == '+') ? w + 1 : w;
    const std::size_t len = std::strlen(digits);
    return len > 0 && len <= 19 && std::strspn(digits, "0123456789") == len;
}

// A text record header "count maxlat minlat maxlon minlon offset".
bool text_header(FILE *f, unsigned &count) {
    std::array<char, 64> w{};
    float box = 0;
    if (!read_word(f, w) || !word_count(w.data(), count)) return false;
    for (int i = 0; i < 4; ++i)
        if (!read_word(f, w) || !word_float(w.data(), box)) return false;
    return read_word(f, w) && word_integer(w.data());
}

// A binary record header: big-endian count (16 bits), box (4 floats) and
// offset (32 bits), no padding.
bool binary_header(FILE *f, unsigned &count) {
    unsigned char h[22];
    if (std::fread(h, 1, sizeof h, f) != sizeof h) return false;
    count = static_cast<unsigned>(h[0]) << 8 | h[1];
    return true;
}

float big_endian_float(const unsigned char *b) {
    const std::uint32_t u = static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
                            static_cast<std::uint32_t>(b[2]) << 8 | b[3];
    float v = 0;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// Reads up to count latitude-longitude pairs into ll; the number read.
unsigned read_points(FILE *f, bool text, unsigned count, float *ll) {
    if (text) {
        std::array<char, 64> w{};
        for (unsigned i = 0; i < count; ++i) {
            if (!read_word(f, w) || !word_float(w.data(), ll[2 * i])) return i;
            if (!read_word(f, w) || !word_float(w.data(), ll[2 * i + 1])) return i;
        }
        return count;
    }
    std::array<unsigned char, 8 * 256> buf{};
    unsigned done = 0;
    while (done < count) {
        const unsigned want = std::min<unsigned>(count - done, 256);
        const std::size_t got = std::fread(buf.data(), 1, 8 * std::size_t{want}, f);
        for (std::size_t i = 0; i < got / 8; ++i) {
            ll[2 * (done + i)] = big_endian_float(&buf[8 * i]);
            ll[2 * (done + i) + 1] = big_endian_float(&buf[8 * i + 4]);
        }
        done += static_cast<unsigned>(got / 8);
        if (got < 8 * std::size_t{want}) break;
    }
    return done;
}

void draw_piece(const Gpt *pts, int n) {
    if (n >= 2) gpolyline(n, pts);
}

// Draws n points (latitude, longitude pairs) as line pieces: points that
// cannot be seen break the line; a jump in x across the projection's seam
// ends the piece at the point moved by the seam's period, and the next piece
// starts with the previous point moved back by the period, then the point
// itself (without a period the jump is drawn and the next piece starts at
// the point). piece holds n + 1 points.
void draw_line_record(const float *ll, unsigned n, Gpt *piece) {
    const int proj = MAP_get_proj();
    int len = 0;
    bool prev_seen = false;
    float prev_x = 0, prev_y = 0;
    for (unsigned i = 0; i < n; ++i) {
        float x = FMISSING, y = FMISSING;
        MAP_tran(ll[2 * i], ll[2 * i + 1], &x, &y);
        if (x == FMISSING || y == FMISSING) {
            draw_piece(piece, len);
            len = 0;
            prev_seen = false;
            continue;
        }
        if (prev_seen && std::fabs(x - prev_x) > RECORD_SEAM) {
            const float step = prev_x > x ? 1.0f : -1.0f;
            const float p = seam_period(proj, y);
            piece[len++] = {x + step * p, y};
            draw_piece(piece, len);
            len = 0;
            // The crossing segment again from the other side, so that both
            // pieces reach the edges.
            const float prev_p = seam_period(proj, prev_y);
            if (prev_p != 0) piece[len++] = {prev_x - step * prev_p, prev_y};
        }
        piece[len++] = {x, y};
        prev_x = x;
        prev_y = y;
        prev_seen = true;
    }
    draw_piece(piece, len);
}

// Where the seam of the current projection lies (the meridian opposite the
// reference longitude) and its two edges in the plane: the east edge
// (longitude reference + 180) and the west edge, at x = +-P/2 on the
// cylindrical and Mollweide maps and along the cone's cut on the Lambert map.
class Seam {
public:
    Seam() : proj_(MAP_get_proj()) {
        Domain d;
        MAP_get_domain(&d);
        plon_ = d.plon;
        if (proj_ != 4) return;
        sign_ = d.plat >= 0 ? 1.0 : -1.0;
        // The cone constant: the plane angle of 90 degrees of longitude.
        float x = FMISSING, y = FMISSING;
        if (MAP_tran(d.plat >= 0 ? 45.0f : -45.0f, d.plon + 90.0f, &x, &y) == 1)
            cone_ = std::atan2(static_cast<double>(x), -sign_ * y) / (std::numbers::pi / 2.0);
    }
    // Whether areas are cut at the seam.
    bool cuts() const { return proj_ == 2 || proj_ == 3 || proj_ == 7 || (proj_ == 4 && cone_ > 0); }
    // +1 when the step from lon1 to lon2 crosses the seam eastward, -1
    // westward, else 0.
    int crossing(float lon1, float lon2) const {
        const double d1 = fold(lon1 - static_cast<double>(plon_)),
                     d2 = fold(lon2 - static_cast<double>(plon_));
        if (std::fabs(d2 - d1) <= 180.0) return 0;
        return d1 > d2 ? 1 : -1;
    }
    // The point moved onto the east (side 1) or west (side -1) edge.
    Gpt edge(Gpt p, int side) const {
        if (proj_ != 4) return {static_cast<float>(side) * seam_period(proj_, p.y) / 2, p.y};
        const double rho = std::hypot(static_cast<double>(p.x), static_cast<double>(p.y));
        const double theta = side * std::numbers::pi * cone_;
        return {static_cast<float>(rho * std::sin(theta)),
                static_cast<float>(-sign_ * rho * std::cos(theta))};
    }

private:
    static double fold(double d) {
        d = std::fmod(d, 360.0);
        if (d > 180.0) d -= 360.0;
        if (d < -180.0) d += 360.0;
        return d;
    }
    int proj_;
    float plon_ = 0;
    double sign_ = 1.0;
    double cone_ = 0.0;
};

// Fills one run of visible points (ll their latitudes and longitudes, run
// their plane points). A run that crosses the seam is not cut into pieces,
// which would be closed by chords across the map: it is filled once for each
// stretch between the seam's edges that it reaches, with the points beyond
// that stretch moved onto its edges, which clips the area at the seam.
void fill_run(const float *ll, const Gpt *run, int len, const Seam &seam) {
    if (len < 2) return;
    int k = 0, k_min = 0, k_max = 0;
    for (int i = 1; i < len && seam.cuts(); ++i) {
        k += seam.crossing(ll[2 * i - 1], ll[2 * i + 1]);
        k_min = std::min(k_min, k);
        k_max = std::max(k_max, k);
    }
    if (k_min == k_max) {
        gfill_area(len, run);
        return;
    }
    std::vector<Gpt> part(static_cast<std::size_t>(len));
    for (int j = k_min; j <= k_max; ++j) {
        k = 0;
        for (int i = 0; i < len; ++i) {
            if (i > 0) k += seam.crossing(ll[2 * i - 1], ll[2 * i + 1]);
            part[static_cast<std::size_t>(i)] = k == j ? run[i] : seam.edge(run[i], k > j ? 1 : -1);
        }
        gfill_area(len, part.data());
    }
}

// Draws n points (latitude, longitude pairs) as an area: each run of points
// that can be seen is filled. run holds n points.
void draw_fill_record(const float *ll, unsigned n, Gpt *run) {
    const Seam seam;
    int len = 0;
    unsigned first = 0;
    for (unsigned i = 0; i < n; ++i) {
        float x = FMISSING, y = FMISSING;
        MAP_tran(ll[2 * i], ll[2 * i + 1], &x, &y);
        if (x == FMISSING || y == FMISSING) {
            fill_run(ll + 2 * first, run, len, seam);
            len = 0;
            continue;
        }
        if (len == 0) first = i;
        run[len++] = {x, y};
    }
    fill_run(ll + 2 * first, run, len, seam);
}

void draw_record(const float *ll, unsigned n, Gpt *piece) {
    if (fill)
        draw_fill_record(ll, n, piece);
    else
        draw_line_record(ll, n, piece);
}

// ---- Map list items ----------------------------------------------------------------------

// A number at p (after blanks); p moves past it.
bool read_number(const char *&p, float &v) {
    while (*p == ' ' || *p == '\t')
        ++p;
    double d = 0;
    const std::size_t used = scan_decimal(p, &d);
    if (used == 0) return false;
    p += used;
    v = static_cast<float>(d);
    return true;
}

// Moves p past the next ':'; false when there is none.
bool past_colon(const char *&p) {
    const char *c = std::strchr(p, ':');
    if (c == nullptr) return false;
    p = c + 1;
    return true;
}

enum class Size { pass, fail };

// One size test at p when the item begins with `key`: numbers N (and M after
// `second`), failing when the map height v is outside what they allow; a
// passed test moves p past its ':'.
Size size_test(const char *&p, const char *item, const char *key, char second, bool at_least) {
    const std::size_t len = std::strlen(key);
    if (std::strncmp(p, key, len) != 0) return Size::pass;
    p += len;
    float n = 0, m = 0;
    if (!read_number(p, n)) {
        MESS_print(M_WARN, "MAP_process: Bad size test in map item: %s\n", item);
        return Size::fail;
    }
    bool bound = false;
    if (second != '\0' && *p == second) {
        const char *q = p + 1;
        if (read_number(q, m)) {
            bound = true;
            p = q;
        }
    }
    const float v = MAP_get_vert();
    const bool fails = at_least ? (v < n || (bound && v > m)) : (v > n || (bound && v < m));
    if (fails || !past_colon(p)) return Size::fail;
    return Size::pass;
}

// The size tests that may begin an item, in their order: "s+N" (height at
// least N), ">N" or ">N<M", "s-N" (at most N), "<N" or "<N>M", "s+N" again
// and ">N" again. An item whose test fails, whose numbers cannot be read or
// that has no ':' after a test is skipped.
Size size_tests(const char *&p, const char *item) {
    struct Test {
        const char *key;
        char second;
        bool at_least;
    };
    static constexpr Test tests[] = {
        {"s+", '\0', true}, {">", '<', true},   {"s-", '\0', false},
        {"<", '>', false},  {"s+", '\0', true}, {">", '\0', true},
    };
    for (const Test &t : tests)
        if (size_test(p, item, t.key, t.second, t.at_least) == Size::fail) return Size::fail;
    return Size::pass;
}

// A regional block header after its '[': LAT1,LAT2,LON1,LON2[,SIZE].
void regional_block(const char *p, const Domain &dom) {
    if (reg_found == 2) {
        reg_found = -1;
        return;
    }
    float v[5] = {0, 0, 0, 0, 1000};
    int got = 0;
    while (got < 5 && read_number(p, v[got])) {
        ++got;
        if (*p != ',') break;
        ++p;
    }
    if (got < 4) {
        reg_found = 2;
        return;
    }
    const bool inside = std::min(v[0], v[1]) <= dom.clat && dom.clat <= std::max(v[0], v[1]) &&
                        std::min(v[2], v[3]) <= dom.clon && dom.clon <= std::max(v[2], v[3]) &&
                        MAP_get_vert() <= v[4];
    if (inside)
        reg_found = 2;
    else if (reg_found == 1)
        reg_found = 0;
}

// Text height of the net's labels: a fraction of the map window's height on
// maps, of the display on diagrams.
float net_text_scale() {
    return is_map_proj(MAP_get_proj()) ? 0.018f * MAP_get_vert() : 0.015f;
}

// An image overlay item "FILE[:BG[:X:Y]]": the image file under
// image_path drawn over the window at pixel offset X, Y of the viewport with
// the pixels of colour BG transparent (none given: the background).
int image_item(const char *rest) {
    std::vector<std::string> part;
    for (const char *p = rest;;) {
        const char *c = std::strchr(p, ':');
        part.emplace_back(p, c != nullptr ? static_cast<std::size_t>(c - p) : std::strlen(p));
        if (c == nullptr || part.size() == 4) break;
        p = c + 1;
    }
    char name[FILE_NAME_SIZE];
    FILE_add_path(RES_get("image_path"), part[0].c_str(), name, sizeof name);
    PLT_mess("Map-image: %s", name);
    std::string background = part.size() > 1 ? part[1] : "";
    if (background.size() > COLOUR_MAX) {
        MESS_print(M_WARN, "MAP_process: Colour name cut to %zu characters: %s\n", COLOUR_MAX,
                   background.c_str());
        background.resize(COLOUR_MAX);
    }
    const int x = part.size() > 2 ? std::atoi(part[2].c_str()) : 0;
    const int y = part.size() > 3 ? std::atoi(part[3].c_str()) : 0;
    return goverlay_image_file(name, background.c_str(), x, y);
}

// "mf:FILE": a text metafile replayed onto the plot (the reader warns itself
// about a file it cannot use).
int metafile_item(const char *name) {
    PLT_mess("Map-metafile: %s", name);
    return gread_metafile(name);
}

int rawfile_item(const char *file) {
    const std::string name = FILE_table_path(file);
    PLT_mess("Map-rawfile: %s", name.c_str());
    return RAW_plot_file(name.c_str(), 0);
}

// "lalo[:DLAT[:DLON]][:ATTRIBUTES]": the net at its own spacings.
int latlon_item(const char *p) {
    if (*p == ':') ++p;
    float dlat = 5, dlon = 5;
    if (read_number(p, dlat)) {
        dlon = dlat;
        const char *q = p;
        if (*q == ':' && (++q, read_number(q, dlon))) p = q;
    }
    if (*p == ':') ++p;
    PLT_mess("Map-lalo: %.1f,%.1f", static_cast<double>(dlat), static_cast<double>(dlon));
    Gattribs a;
    ATTRIB_init(&a);
    a.style = 4;
    if (*p != '\0')
        ATTRIB_parse(p, &a);
    else
        ATTRIB_get("color_line", "magenta:s4", &a);
    GPH_line_attr(nullptr);
    GPH_line_attr(&a);
    GPH_text_attr(&a, net_text_scale());
    if (a.color != -1) MAP_lines(dlat, dlon);
    return 0;
}

// "FILE[:ATTRIBUTES]": a map database file under file_path.
int database_item(const char *p) {
    const char *colon = std::strchr(p, ':');
    const std::string file(p, colon != nullptr ? static_cast<std::size_t>(colon - p) : std::strlen(p));
    const char *attrs = colon != nullptr && colon[1] != '\0' ? colon + 1 : nullptr;
    PLT_mess("Map: %s", file.c_str());
    GPH_line_attr(nullptr);
    GPH_fill_attr(nullptr);
    Gattribs a;
    ATTRIB_init(&a);
    if (attrs != nullptr)
        ATTRIB_parse(attrs, &a);
    else if (!format.empty())
        ATTRIB_parse(format.c_str(), &a);
    else if (fill_cont == 1)
        ATTRIB_get("color_cmap", "black", &a);
    else
        ATTRIB_get("color_map", "red", &a);
    GPH_line_attr(&a);
    fill = 0;
    if (a.fill_pat != MISSING) {
        GPH_fill_attr(&a);
        fill = 1;
    }
    std::string path;
    FILE *f = FILE_open_table(file.c_str(), &path);
    if (f == nullptr) {
        MESS_print(M_WARN, "MAP_process: Map file not found: %s\n", path.c_str());
        return -1;
    }
    if (a.color != -1) MAP_map(f, path.c_str());
    FILE_close(f);
    return 0;
}

// The words of a list file, each an item of the map list.
void draw_list_file(const char *file) {
    std::string path;
    FILE *f = FILE_open_table(file, &path);
    if (f == nullptr) {
        MESS_print(M_WARN, "MAP_draw: Unable to open map list file: %s\n", path.c_str());
        return;
    }
    std::string word;
    bool cut = false;
    const auto flush = [&] {
        if (word.empty()) return;
        if (cut)
            MESS_print(M_WARN, "MAP_draw: Word cut to %zu characters in %s: %s\n", WORD_MAX, path.c_str(),
                       word.c_str());
        MAP_process(word.c_str());
        word.clear();
        cut = false;
    };
    for (int c = 0; (c = std::getc(f)) != EOF;) {
        if (std::isspace(c))
            flush();
        else if (word.size() < WORD_MAX)
            word.push_back(static_cast<char>(c));
        else
            cut = true;
    }
    flush();
    FILE_close(f);
}

// ---- The net ------------------------------------------------------------------------------

// The number of values from + i step (i = 0, 1, ...) below `to` (or up to it
// when inclusive), step > 0; a step's millionth of slack keeps rounding from
// adding or losing the last one.
long count_steps(double from, double to, double step, bool inclusive) {
    const double slack = 1e-6 * step;
    const double n =
        inclusive ? std::floor((to - from + slack) / step) + 1 : std::ceil((to - from - slack) / step);
    if (!(n > 0)) return 0;
    return n > MAX_LINES + 1 ? static_cast<long>(MAX_LINES + 1) : static_cast<long>(n);
}

struct Net {
    MAP_limits lim{};
    float e = 0; // inset of the edge labels
    float p = 0; // seam period, 0 none
};

void label_at(float x, float y, const char *text) {
    const Gpt pt{x, y};
    GPH_pprint(&pt, text);
}

// A segment of a latitude circle with both ends seen; the left-edge label
// where the last segment drawn crosses the map's left edge.
void circle_segment(const Net &n, float x1, float y1, float x2, float y2, const char *label) {
    if (n.p != 0 && x2 - x1 < -NET_SEAM) {
        GPH_line(x1, y1, x2 + n.p, y2);
        GPH_line(x1 - n.p, y1, x2, y2);
        x1 -= n.p;
    } else if (n.p != 0 && x2 - x1 > NET_SEAM) {
        GPH_line(x1 + n.p, y1, x2, y2);
        GPH_line(x1, y1, x2 - n.p, y2);
        x2 -= n.p;
    } else {
        GPH_line(x1, y1, x2, y2);
    }
    const float t = x2 == x1 ? -1.0f : (n.lim.x_min - x1) / (x2 - x1);
    if (t < 0 || t >= 1) return;
    const float x = n.lim.x_min + n.e;
    const float y = y2 == y1 ? y1 : y1 + (y2 - y1) * (x - x1) / (x2 - x1);
    if (n.lim.y_min < y && y < n.lim.y_max) label_at(x, y, label);
}

// Extra labels inside the map every `extra` degrees along a latitude circle
// (longitudes up to 180) or a meridian (latitudes below 90), starting
// halfway between two lines of the other family (spacing `other`). The
// centred alignment stays for the edge labels of the following lines.
void extra_labels(bool along_circle, float fixed, float other, const char *label) {
    GPH_text_align(GCENTER_HOR, GHALF_VERT);
    const int limit = along_circle ? 179 : 89;
    const int first = (-limit / extra) * extra - extra / 2;
    const double l0 = std::trunc(first / static_cast<double>(other)) * other - other / 2.0;
    const long count = count_steps(l0, along_circle ? 180.0 : 90.0, extra, along_circle);
    for (long i = 0; i < count; ++i) {
        const auto v = static_cast<float>(l0 + static_cast<double>(i) * extra);
        float x = FMISSING, y = FMISSING;
        const int seen = along_circle ? MAP_tran(fixed, v, &x, &y) : MAP_tran(v, fixed, &x, &y);
        if (seen == 1) label_at(x, y, label);
    }
}

void latitude_circle(const Net &n, float lat, float dlon, const char *label) {
    float x1 = FMISSING, y1 = FMISSING;
    MAP_tran(lat, -180.0f, &x1, &y1);
    const long steps = count_steps(-175.0, 180.0, 2.5, true);
    for (long i = 0; i < steps; ++i) {
        float x2 = FMISSING, y2 = FMISSING;
        MAP_tran(lat, static_cast<float>(-175.0 + 2.5 * static_cast<double>(i)), &x2, &y2);
        if (x1 != FMISSING && x2 != FMISSING) circle_segment(n, x1, y1, x2, y2, label);
        x1 = x2;
        y1 = y2;
    }
    if (extra > 0) extra_labels(true, lat, dlon, label);
}

void meridian(const Net &n, float lon, float dlat, float top, const char *label) {
    float x1 = FMISSING, y1 = FMISSING;
    const long steps = count_steps(-top, top, dlat, true);
    for (long i = 0; i < steps; ++i) {
        float x2 = FMISSING, y2 = FMISSING;
        MAP_tran(static_cast<float>(-top + static_cast<double>(i) * dlat), lon, &x2, &y2);
        if (i > 0 && x1 != FMISSING && x2 != FMISSING) {
            GPH_line(x1, y1, x2, y2);
            const float t = y2 == y1 ? -1.0f : (n.lim.y_min - y1) / (y2 - y1);
            if (t >= 0 && t < 1) {
                const float y = n.lim.y_min + n.e;
                const float x = x2 == x1 ? x1 : x1 + (x2 - x1) * (y - y1) / (y2 - y1);
                if (n.lim.x_min < x && x < n.lim.x_max) label_at(x, y, label);
            }
        }
        x1 = x2;
        y1 = y2;
    }
    if (extra > 0) extra_labels(false, lon, dlat, label);
}

// A segment between two points of the net drawn when both are seen and
// they lie less than 5 plane units apart in x.
void dot_stroke(float lat1, float lon1, float lat2, float lon2) {
    float x1 = FMISSING, y1 = FMISSING, x2 = FMISSING, y2 = FMISSING;
    if (MAP_tran(lat1, lon1, &x1, &y1) != 1 || MAP_tran(lat2, lon2, &x2, &y2) != 1) return;
    if (std::fabs(x2 - x1) < 5) GPH_line(x1, y1, x2, y2);
}

int map_net(float dlat, float dlon) {
    Net n;
    MAP_get_limits(&n.lim);
    n.e = 0.01f * (n.lim.x_max - n.lim.x_min);
    const int proj = MAP_get_proj();
    if (proj == 2 || proj == 3 || proj == 4) n.p = seam_period(proj, 0);
    PLT_mess("Map-lalo: %.1f,%.1f", static_cast<double>(dlat), static_cast<double>(dlon));
    char label[10];

    // Latitude circles, north then south.
    GPH_text_align(GLEFT_HOR, GHALF_VERT);
    for (long i = 0, k = count_steps(0, 90, dlat, false); i < k; ++i) {
        const double lat = static_cast<double>(i) * dlat;
        if (i == 0)
            copy_text(label, "EQ");
        else
            std::snprintf(label, sizeof label, "%1.0fN", lat);
        latitude_circle(n, static_cast<float>(lat), dlon, label);
    }
    GPH_text_align(GLEFT_HOR, GHALF_VERT);
    for (long i = 1, k = count_steps(0, 90, dlat, false); i < k; ++i) {
        const double lat = static_cast<double>(i) * dlat;
        std::snprintf(label, sizeof label, "%1.0fS", lat);
        latitude_circle(n, static_cast<float>(-lat), dlon, label);
    }

    // Meridians, east then west.
    const float top = (proj == 1 || proj == 4 || proj == 9) ? std::trunc(89.0f / dlat) * dlat : 90.0f;
    GPH_text_align(GCENTER_HOR, GBASE_VERT);
    for (long i = 0, k = count_steps(0, 180, dlon, true); i < k; ++i) {
        const double lon = static_cast<double>(i) * dlon;
        if (i == 0)
            copy_text(label, "PM");
        else if (std::fabs(lon - 180.0) < 1e-6 * dlon)
            copy_text(label, "DL");
        else
            std::snprintf(label, sizeof label, "%1.0fE", lon);
        meridian(n, static_cast<float>(lon), dlat, top, label);
    }
    GPH_text_align(GCENTER_HOR, GBASE_VERT);
    for (long i = 1, k = count_steps(0, 180, dlon, false); i < k; ++i) {
        const double lon = static_cast<double>(i) * dlon;
        std::snprintf(label, sizeof label, "%1.0fW", lon);
        meridian(n, static_cast<float>(-lon), dlat, top, label);
    }

    // Small crosses.
    if (dot > 0) {
        for (long lat = (-79 / dot) * dot; lat < 80; lat += dot) {
            for (long lon = (-179 / dot) * dot; lon <= 180; lon += dot) {
                const float a = static_cast<float>(lat), o = static_cast<float>(lon);
                dot_stroke(a, o - 0.1f, a, o + 0.1f);
                dot_stroke(a - 0.1f, o, a + 0.1f, o);
            }
        }
    }
    GPH_line_attr(nullptr);
    GPH_text_attr(nullptr, 1);
    return 0;
}

// The axis grid of a diagram: the domain holds its lower-left corner in
// clat, clon and its extents in dx, dy (diagram values).
int diagram_net(float dlat, float dlon) {
    Domain d;
    MAP_get_domain(&d);
    double xa = d.clat, xb = static_cast<double>(d.clat) + d.dx;
    double ya = d.clon, yb = static_cast<double>(d.clon) + d.dy;
    if (dlat < 0) {
        dlat = -dlat;
        xa = std::trunc(xa / dlat) * dlat;
    }
    if (dlon < 0) {
        dlon = -dlon;
        ya = std::trunc(ya / dlon) * dlon;
    }
    const int proj = d.proj;
    double s = yb >= ya ? 1.0 : -1.0;
    if (proj == 24 || proj == 20 || proj == 99) s = 1.0;
    if (proj == 41 || proj == 22) s = -1.0;
    const long nx = count_steps(xa, xb, dlat, true);
    const long ny_lines = count_steps(s * ya, s * yb, dlon, false);
    const long ny_labels = count_steps(s * ya, s * yb, dlon, true);
    if (nx > MAX_LINES || ny_labels > MAX_LINES) {
        MESS_print(M_WARN, "MAP_lines: Spacing too small for the diagram: %g, %g\n",
                   static_cast<double>(dlat), static_cast<double>(dlon));
        return -1;
    }
    const auto gx = [&](long i) { return static_cast<float>(xa + static_cast<double>(i) * dlat); };
    const auto gy = [&](long i) { return static_cast<float>(ya + s * static_cast<double>(i) * dlon); };
    const auto line = [](float a1, float b1, float a2, float b2) {
        float x1 = FMISSING, y1 = FMISSING, x2 = FMISSING, y2 = FMISSING;
        if (MAP_tran(a1, b1, &x1, &y1) == 1 && MAP_tran(a2, b2, &x2, &y2) == 1) GPH_line(x1, y1, x2, y2);
    };
    for (long i = 0; i < nx; ++i)
        line(gx(i), static_cast<float>(ya), gx(i), static_cast<float>(yb));
    for (long i = 0; i < ny_lines; ++i)
        line(static_cast<float>(xa), gy(i), static_cast<float>(xb), gy(i));

    // Numeric labels beside the view, on the whole display.
    Glim view{};
    GPH_get_view(2, &view);
    GPH_trans(1);
    char label[10];
    if (proj != 24) {
        GPH_text_align(GCENTER_HOR, GCAP_VERT);
        for (long i = 0; i < nx; ++i) {
            float x = FMISSING, y = FMISSING;
            if (MAP_tran(gx(i), static_cast<float>(ya), &x, &y) != 1) continue;
            const float vx = xW_trans(x, 2, 1);
            if (vx < view.x_min || vx > view.x_max) continue;
            label_at(vx, view.y_min - 0.01f, set_num(label, sizeof label, "2.2.0", gx(i)));
        }
    }
    GPH_text_align(GRIGHT_HOR, GHALF_VERT);
    for (long i = 0; i < ny_labels; ++i) {
        float x = FMISSING, y = FMISSING;
        if (MAP_tran(static_cast<float>(xa), gy(i), &x, &y) != 1) continue;
        const float vy = yW_trans(y, 2, 1);
        if (vy < view.y_min || vy > view.y_max) continue;
        label_at(view.x_min - 0.01f, vy, set_num(label, sizeof label, "2.2.0", gy(i)));
    }
    // The map window stays the current transformation for what is drawn next.
    GPH_trans(2);
    GPH_line_attr(nullptr);
    GPH_text_attr(nullptr, 1);
    return -1;
}

} // namespace

// ---- The map window ------------------------------------------------------------------------

int MAP_setup(Domain *domain) {
    MAP_domain(domain);
    MAP_limits lim{};
    MAP_get_limits(&lim);
    const Glim win{lim.x_min, lim.x_max, lim.y_min, lim.y_max};
    gset_win(2, &win);
    GPH_trans(2);
    return 0;
}

int MAP_get_window(Glim *wind) {
    if (wind != nullptr) GPH_get_win(2, wind);
    return 0;
}

float MAP_get_vert() {
    Glim w{};
    GPH_get_win(2, &w);
    return w.y_max - w.y_min;
}

float MAP_get_hor() {
    Glim w{};
    GPH_get_win(2, &w);
    return w.x_max - w.x_min;
}

// ---- The map list ----------------------------------------------------------------------------

int MAP_set_format(const char *str) {
    format = str != nullptr ? str : "";
    if (format.size() > FORMAT_MAX) format.resize(FORMAT_MAX);
    return 0;
}

int MAP_fill_cont(int value) {
    fill_cont = value;
    return 0;
}

int MAP_file(const char *file) {
    set_map_name(file, "MAP_file");
    return 0;
}

int MAP_draw(int flag) {
    if (FLAG_getplot(PLOT_MAP) == 0) return 0;
    over = flag;
    GPH_trans(2);
    GPH_line_attr(nullptr);
    GPH_text_font(nullptr);
    Domain dom;
    MAP_get_domain(&dom);
    if (const char *res = RES_get("map_file"); res != nullptr) {
        set_map_name(res, "MAP_draw");
    } else if (map_name.empty()) {
        const bool north_america =
            dom.clat > 25 && dom.clat < 80 && dom.clon > -160 && dom.clon < -65 && MAP_get_vert() < 75;
        map_name = north_america ? "zeq.map" : "cont.map,country.map";
    }

    reg_found = 1;
    int argc = 0;
    char **argv = nullptr;
    if (parse_string(map_name.c_str(), ',', &argc, &argv) == 0) {
        for (int i = 0; i < argc; ++i) {
            if (strnicmp(argv[i], "fi:", 3) == 0)
                draw_list_file(argv[i] + 3);
            else
                MAP_process(argv[i]);
        }
        free_parsed_array(argc, argv);
    }

    if (latln > 0) {
        Gattribs a;
        ATTRIB_init(&a);
        if (is_map_proj(dom.proj)) {
            a.style = 4;
            ATTRIB_get("color_line", "magenta:s4", &a);
        } else {
            ATTRIB_get("color_line", "red", &a);
        }
        GPH_line_attr(nullptr);
        GPH_line_attr(&a);
        GPH_text_attr(&a, net_text_scale());
        if (a.color != -1) MAP_lines(latln, lonln);
    }
    return 0;
}

int MAP_process(const char *str) {
    if (str == nullptr || *str == '\0') return -1;
    Domain dom;
    MAP_get_domain(&dom);
    const char *p = str;
    if (*p == '-') {
        if ((over & 1) == 0) return -1;
        ++p;
    } else if (*p == '+') {
        if ((over & 2) == 0) return -1;
        ++p;
    } else if ((over & 4) == 0) {
        return -1;
    }
    if (*p == '[') {
        regional_block(p + 1, dom);
        return -1;
    }
    if (reg_found <= 0) return -1;
    if (size_tests(p, str) == Size::fail || *p == '\0') return -1;

    if (strnicmp(p, "im:", 3) == 0) return image_item(p + 3);
    if (strnicmp(p, "if:", 3) == 0) {
        GPH_trans(1);
        const int rc = image_item(p + 3);
        GPH_trans(2);
        return rc;
    }
    if (strnicmp(p, "mf:", 3) == 0) return metafile_item(p + 3);
    if (strnicmp(p, "rf:", 3) == 0) return rawfile_item(p + 3);
    if (strnicmp(p, "lalo", 4) == 0 && (p[4] == '\0' || p[4] == ':')) return latlon_item(p + 4);
    return database_item(p);
}

int MAP_map(FILE *map_file, const char *name) {
    if (!is_map_proj(MAP_get_proj())) return 1;
    if (map_file == nullptr) return -1;
    const char *shown = name != nullptr ? name : "map file";
    // The first header tells the form: a file whose first header does not
    // read as text is binary from its first byte.
    const long start = std::ftell(map_file);
    bool text = true;
    unsigned count = 0;
    if (!text_header(map_file, count)) {
        if (start < 0 || std::fseek(map_file, start, SEEK_SET) != 0) return -1;
        text = false;
        if (!binary_header(map_file, count)) return -1;
    }
    std::array<float, 2 * FIXED_POINTS> fixed_ll{};
    std::array<Gpt, FIXED_POINTS + 1> fixed_piece{};
    std::vector<float> big_ll;
    std::vector<Gpt> big_piece;
    while (count > 0) {
        float *ll = fixed_ll.data();
        Gpt *piece = fixed_piece.data();
        if (count >= FIXED_POINTS) {
            big_ll.assign(2 * std::size_t{count}, 0.0f);
            big_piece.assign(std::size_t{count} + 1, Gpt{});
            ll = big_ll.data();
            piece = big_piece.data();
        }
        const unsigned got = read_points(map_file, text, count, ll);
        draw_record(ll, got, piece);
        if (got < count) {
            MESS_print(M_WARN, "MAP_map: %s ends inside a record (%u of %u points)\n", shown, got, count);
            return -1;
        }
        big_ll.clear();
        big_piece.clear();
        if (!(text ? text_header(map_file, count) : binary_header(map_file, count))) return -1;
    }
    return 0;
}

// ---- Latitude-longitude net and range circles ------------------------------------------------

int MAP_latlon(float lat, float lon, int dt, int ex) {
    latln = lat;
    lonln = lon;
    dot = dt;
    extra = ex;
    return 0;
}

int MAP_get_latlon(float *lat, float *lon) {
    if (lat != nullptr) *lat = latln;
    if (lon != nullptr) *lon = lonln;
    return 0;
}

int MAP_lines(float dlat, float dlon) {
    if (dlat == FMISSING || dlon == FMISSING || !std::isfinite(dlat) || !std::isfinite(dlon)) return -1;
    if (!is_map_proj(MAP_get_proj())) {
        if (dlat == 0 || dlon == 0) return -1;
        return diagram_net(dlat, dlon);
    }
    // A spacing of 0 or below would never end the loops.
    if (dlat <= 0 || dlon <= 0) return -1;
    if (180.0 / dlat > MAX_LINES || 360.0 / dlon > MAX_LINES) {
        MESS_print(M_WARN, "MAP_lines: Spacing too small for the map: %g, %g\n", static_cast<double>(dlat),
                   static_cast<double>(dlon));
        return -1;
    }
    return map_net(dlat, dlon);
}

int MAP_draw_circle(float x, float y, float rad) {
    std::array<Gpt, 49> pts{};
    int len = 0;
    for (int i = 0; i <= 48; ++i) {
        float px = FMISSING, py = FMISSING;
        MAP_offset(x, y, 7.5f * static_cast<float>(i), rad, &px, &py);
        if (px == FMISSING || py == FMISSING) {
            if (len >= 2) gpolyline(len, pts.data());
            len = 0;
            continue;
        }
        pts[static_cast<std::size_t>(len++)] = {px, py};
    }
    if (len >= 2) gpolyline(len, pts.data());
    return 0;
}
