// The PostScript and EPS driver: opens the output (file, append or pipe),
// writes the prologue and trailer, writes colour, gray, width and dash
// operators only when they change, moves and lines in print units, and
// 8-bit images over the viewport.
// File-static state: the output stream and its name, the operators last
// written, the page options and the gray table of the 257 colour slots.
#include "graphics/gks_ps.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "graphics/colors.h"
#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_tran.h"
#include "graphics/gks_x11.h"
#include "graphics/img_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"

namespace {

constexpr int NUM_SLOTS = 257;
constexpr int BACK_SLOT = 256;
// Marks the RGB colour last written as unknown.
constexpr int NO_COLOUR = MISSING;

FILE *out_file = nullptr;
std::string out_name;
int append = 0;
std::array<float, NUM_SLOTS> gray{};
float gray_level = 0; // -1 after an RGB colour
int ps_col_ind = -1;  // colour index last written as RGB
float line_width = 1; // before the base factor; -1 unknown
float line_type = 1;
float base_width = 1;
int pr_color = 0;
int pr_eps = 0;
int pr_port = 0;
int pr_rev = 0;
float pr_scale = 1;
float sx = 0;
float sy = 0;

// Writes x as printf's "%.Nf" does for N = Decimals (2 or 3), to p; false
// (nothing written) when x is left to printf: not finite, large, or with
// its last decimal so near a rounding tie that the double product below
// could round the other way. Page coordinates come by the million in a
// contour plot, and printf's exact decimal conversion was most of the time
// spent writing them.
template <int Decimals> bool put_fixed(char *&p, float x) {
    static_assert(Decimals == 2 || Decimals == 3);
    constexpr long unit = Decimals == 3 ? 1000 : 100;
    const double d = x;
    const double a = std::fabs(d);
    if (!(a < 1e6)) return false;
    const double scaled = a * static_cast<double>(unit);
    const auto whole = static_cast<long>(scaled); // truncates: scaled >= 0
    const double frac = scaled - static_cast<double>(whole);
    if (std::fabs(frac - 0.5) < 1e-6) return false;
    const long n = frac > 0.5 ? whole + 1 : whole;
    if (std::signbit(d)) *p++ = '-';
    p = std::to_chars(p, p + 16, n / unit).ptr;
    *p++ = '.';
    long part = n % unit;
    if constexpr (Decimals == 3) {
        *p++ = static_cast<char>('0' + part / 100);
        part %= 100;
    }
    *p++ = static_cast<char>('0' + part / 10);
    *p++ = static_cast<char>('0' + part % 10);
    return true;
}

bool put_hundredths(char *&p, float x) {
    return put_fixed<2>(p, x);
}

// One point and its operator: "x y op" with both coordinates as "%3.2f".
void write_point(float x, float y, const char *op) {
    if (out_file == nullptr) return;
    char line[64];
    char *p = line;
    bool done = put_hundredths(p, x);
    if (done) {
        *p++ = ' ';
        done = put_hundredths(p, y);
    }
    if (!done) {
        std::fprintf(out_file, "%3.2f %3.2f%s", static_cast<double>(x), static_cast<double>(y), op);
        return;
    }
    const std::size_t len = std::strlen(op);
    std::memcpy(p, op, len);
    fwrite_unlocked(line, 1, static_cast<std::size_t>(p - line) + len,
                    out_file); // one thread writes the page
}

int slot(int ind) {
    return ind == -1 ? BACK_SLOT : ind;
}

void set_level(float level, const char *op) {
    if (gray_level == level) return;
    gps_printf("%s", op);
    gray_level = level;
}

// The fixed shades of the print colours: black, white and 0.7 gray.
void print_shade(int color) {
    if (color <= 502)
        set_level(0, "0 setgray\n");
    else if (color <= 505)
        set_level(1, "1 setgray\n");
    else
        set_level(0.7f, ".7 setgray\n");
}

void rgb_colour(int color) {
    if (color == ps_col_ind && gray_level < 0) return;
    float r = 0, g = 0, b = 0;
    gget_color_rgb(color, &r, &g, &b);
    // Colour parts lie in [0, 1], where "%4.2f" never pads.
    char line[64];
    char *p = line;
    bool done = r >= 0 && g >= 0 && b >= 0 && put_hundredths(p, r);
    if (done) *p++ = ' ';
    done = done && put_hundredths(p, g);
    if (done) *p++ = ' ';
    done = done && put_hundredths(p, b);
    if (done && out_file != nullptr) {
        std::memcpy(p, " setrgbcolor\n", 13);
        fwrite_unlocked(line, 1, static_cast<std::size_t>(p - line) + 13, out_file);
    } else {
        gps_printf("%4.2f %4.2f %4.2f setrgbcolor\n", r, g, b);
    }
    ps_col_ind = color;
    gray_level = -1;
}

void write_ctime() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (ctime_r(&now, text) == nullptr) text[0] = '\0';
    gps_printf("%%%%CreationDate: %s", text);
}

// The page area the drawing covers, in points: the device rectangle placed,
// scaled and turned as the prologue does it.
void write_bounding_box() {
    Gint w = 0, h = 0, x = 0, y = 0;
    gget_win_size(&w, &h);
    gget_win_offset(&x, &y);
    const double s = pr_scale;
    const double x0 = s * x, x1 = s * (x + w), y0 = s * y, y1 = s * (y + h);
    double llx = x0, lly = y0, urx = x1, ury = y1;
    if (!pr_port) {
        // "90 rotate" and a shift of the page height down: (u, v) -> (72 sy - v, u).
        llx = 72.0 * sy - y1;
        urx = 72.0 * sy - y0;
        lly = x0;
        ury = x1;
    }
    gps_printf("%%%%BoundingBox: %d %d %d %d\n", static_cast<int>(std::floor(std::min(llx, urx))),
               static_cast<int>(std::floor(std::min(lly, ury))),
               static_cast<int>(std::ceil(std::max(llx, urx))),
               static_cast<int>(std::ceil(std::max(lly, ury))));
}

void write_definitions() {
    gps_printf("/inch {72 mul} def\n");
    gps_printf("/dot {.33 mul} def\n");
    gps_printf("/mv {moveto} def\n");
    gps_printf("/ln {lineto} def\n");
    gps_printf("/lw {setlinewidth} def\n");
    gps_printf("/np {newpath} def\n");
    gps_printf("/cp {closepath} def\n");
}

void write_placement() {
    if (!pr_port) {
        gps_printf("90 rotate\n");
        if (pr_eps)
            gps_printf("0. inch -%.2f inch translate\n", sy);
        else
            gps_printf(".25 inch -%.2f inch translate\n", sy - 0.25f);
    } else if (!pr_eps) {
        gps_printf(".25 inch .25 inch translate\n");
    }
}

void write_colour_reset() {
    gps_printf(pr_color ? "0 0 0 setrgbcolor\n" : "0 setgray\n");
}

void write_scale() {
    if (pr_scale != 1) gps_printf("%.2f %.2f scale\n", pr_scale, pr_scale);
}

} // namespace

FILE *gprint_open(const char *filename, int *append) {
    *append = 0;
    FILE *f = nullptr;
    if (filename[0] == '|') {
        MESS_print(M_MESS, "Spooling to: %s\n", filename + 1);
        f = FILE_open(filename, "w");
    } else if (filename[0] == '+') {
        MESS_print(M_MESS, "Appending to: %s\n", filename + 1);
        f = FILE_open(filename + 1, "a");
        if (f != nullptr) *append = 1;
    } else {
        MESS_print(M_MESS, "Creating: %s\n", filename);
        f = FILE_open(filename, "w");
    }
    return f;
}

int gprint_close(FILE *stream, const std::string &name, const char *func, const char *done) {
    if (FILE_close_output(stream) != 0) {
        MESS_print(M_WARN, "%s: unable to complete %s\n", func, name.c_str());
        return -1;
    }
    MESS_print(M_MESS, "%s", done);
    return 0;
}

FILE *gps_open_file(const char *filename) {
    if (filename == nullptr || out_file != nullptr) return nullptr;
    FILE *f = gprint_open(filename, &append);
    if (f == nullptr) return nullptr;
    if (std::getenv("PSCOLOR") != nullptr) pr_color = 1;
    // A contour plot writes megabytes in lines of a few bytes.
    std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
    out_file = f;
    out_name = filename;
    return f;
}

int gps_init() {
    gray_level = 0;
    ps_col_ind = -1;
    line_width = 1;
    line_type = 1;
    return 0;
}

int gps_set_size(float x, float y) {
    sx = x;
    sy = y;
    return 0;
}

int gps_set_EPS(int val) {
    pr_eps = val;
    return 1;
}

int gps_set_orient(int val) {
    pr_port = val;
    return 1;
}

int gps_set_colorPS(int val) {
    pr_color = val;
    return 1;
}

int gps_set_reverse(int val) {
    pr_rev = val;
    return 1;
}

int gps_set_scale(float val) {
    pr_scale = val;
    return 1;
}

int gps_set_base_width(int width) {
    base_width = static_cast<float>(width);
    return 0;
}

int gps_get_colorPS() {
    return pr_color;
}

int gps_set_color_rep(int ind, float red, float green, float blue) {
    ind = slot(ind);
    if (ind < 0 || ind >= NUM_SLOTS) return 0;
    const double level = (0.9 * red + green + 0.8 * blue) / 2.7;
    gray[static_cast<std::size_t>(ind)] = static_cast<float>(pr_rev ? 1 - level : level);
    // A slot that changes colour must be written again.
    if (ind == slot(ps_col_ind)) ps_col_ind = NO_COLOUR;
    return 0;
}

float gps_get_gray(int ind) {
    ind = slot(ind);
    if (ind < 0 || ind >= NUM_SLOTS) return 0;
    return gray[static_cast<std::size_t>(ind)];
}

int gps_set_color(int color) {
    if (gis_print_colr(color))
        print_shade(color);
    else if (pr_color)
        rgb_colour(color);
    else
        set_level(0, "0 setgray\n"); // lines on gray output are black
    return 0;
}

int gps_set_fill_color(int color) {
    if (pr_color) {
        if (gis_print_colr(color))
            print_shade(color);
        else
            rgb_colour(color);
    } else if (gget_fill_print_solid()) {
        gps_printf("0 setgray\n");
        gray_level = 0;
    } else if (gis_print_colr(color)) {
        print_shade(color);
    } else if (color == -1) {
        set_level(1, "1 setgray\n");
    } else {
        const float level = gps_get_gray(color);
        if (level != gray_level) {
            char line[48];
            char *p = line;
            if (out_file != nullptr && put_fixed<3>(p, level)) {
                std::memcpy(p, " setgray\n", 9);
                fwrite_unlocked(line, 1, static_cast<std::size_t>(p - line) + 9, out_file);
            } else {
                gps_printf("%3.3f setgray\n", level);
            }
            gray_level = level;
        }
    }
    return 0;
}

int gps_set_width(int color, float width) {
    float factor = 0;
    if (color == 501 || color == 504 || color == 507) factor = 2;
    if (color == 502 || color == 505 || color == 508) factor = 4;
    if (factor > 0) {
        if (line_width != factor * width) {
            gps_printf("%d dot lw\n", static_cast<int>(width * base_width * factor));
            line_width = factor * width;
        }
        return 0;
    }
    const float bold = static_cast<float>(gget_line_print_bold());
    if (line_width != bold * width) {
        gps_printf("%2.1f dot lw\n", base_width * width * bold);
        line_width = bold * width;
    }
    return 0;
}

int gps_set_type(int type) {
    if (static_cast<float>(type) == line_type) return 0;
    static constexpr const char *dashes[] = {"[] 0 setdash\n", "[6] 0 setdash\n", "[3 6] 0 setdash\n",
                                             "[6 6 3 6] 0 setdash\n", "[2] 0 setdash\n"};
    if (type >= 1 && type <= 5) gps_printf("%s", dashes[type - 1]);
    line_type = static_cast<float>(type);
    return 0;
}

int gps_printf(const char *format, ...) {
    if (out_file == nullptr) return 0;
    // Operators without conversions ("np", "fill", "stroke") go out as they
    // stand: they are written once or twice for every primitive.
    if (std::strchr(format, '%') == nullptr) {
        fputs_unlocked(format, out_file); // one thread writes the page
        return 0;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(out_file, format, args);
    va_end(args);
    return 0;
}

int gps_count_comment(const char *tag, int count) {
    if (out_file == nullptr) return 0;
    char line[48] = "%%";
    const std::size_t len = std::min<std::size_t>(std::strlen(tag), 16);
    std::memcpy(line + 2, tag, len);
    char *p = line + 2 + len;
    *p++ = ':';
    p = std::to_chars(p, line + sizeof line - 1, count).ptr;
    *p++ = '\n';
    fwrite_unlocked(line, 1, static_cast<std::size_t>(p - line), out_file);
    return 0;
}

int gps_move(float x, float y) {
    return gps_move_abs(xW_ps(x), yW_ps(y));
}

int gps_line(float x, float y) {
    return gps_line_abs(xW_ps(x), yW_ps(y));
}

int gps_move_abs(float x, float y) {
    write_point(x, y, " mv\n");
    return 0;
}

int gps_line_abs(float x, float y) {
    write_point(x, y, " ln\n");
    return 0;
}

int gps_init_file() {
    if (append) {
        // An appended plot follows an earlier plot's trailer, which ended
        // its dictionary and page: it defines and places again what it uses.
        write_definitions();
        write_placement();
        write_colour_reset();
        gps_printf("2 setlinejoin\n");
        gps_printf("1 dot lw\n");
        gps_printf("[] 0 setdash\n");
        write_scale();
    } else {
        if (pr_eps) {
            gps_printf("%%!PS-Adobe-3.0 EPSF-3.0\n");
            write_bounding_box();
        } else {
            gps_printf("%%!PS-Adobe-1.0\n");
        }
        gps_printf("%%%%Title: ZEQ Graphics Display: %s\n", gget_win_title());
        gps_printf("%%%%Creator: ZEQ Postscript Processor-2.0\n");
        write_ctime();
        gps_printf("%%%%EndComments\n");
        gps_printf("%%%%Postscript initialization\n");
        if (!pr_eps) {
            gps_printf("30 dict begin\n");
            gps_printf("/saveobj save def\n");
        }
        write_definitions();
        write_placement();
        write_colour_reset();
        gps_printf("2 setlinejoin\n");
        gps_printf("1 dot lw\n");
        gps_printf("[] 0 setdash\n");
        write_scale();
        gps_printf("%%%%Begin plot\n");
    }
    // "1 dot lw" is the width 1 only with a base width of 1; otherwise the
    // first line writes its own width.
    line_width = base_width == 1 ? 1 : -1;
    gps_printf("%%%%ZEQ Plot: %s\n", gget_win_title());
    return 0;
}

int gps_close_file() {
    if (out_file == nullptr) return -1;
    gps_printf("%%%%End of plot\n");
    if (!append) {
        if (!pr_eps) gps_printf("saveobj restore\n");
        gps_printf("showpage\n");
        if (!pr_eps) gps_printf("end\n");
        gps_printf("%%%%EOF\n");
    }
    FILE *f = out_file;
    out_file = nullptr;
    return gprint_close(f, out_name, "gps_close_file", "Created Postscript file\n");
}

int gps_image(const IMG_report *image, int x, int y) {
    if (image->depth != 8 || IMG_pixel_bits(image) != 8 || image->data == nullptr) {
        MESS_print(M_WARN, "gps_image: Only 8-bit images are printed, not depth %d\n", image->depth);
        return -1;
    }
    Grectangle vp{};
    gget_gviewport(&vp);
    const int w = vp.width, h = vp.height;
    if (w <= 0 || h <= 0) return 0;
    gps_printf("gsave\n");
    gps_printf("%d %d translate\n", vp.x, vp.y);
    gps_printf("%d %d scale\n", w, h);
    gps_printf("/picstr %d string def\n", w);
    gps_printf("%d %d 8 [ %d 0 0 %d 0 %d ]\n", w, h, w, -h, h);
    gps_printf("{ currentfile picstr readhexstring pop }\n");
    gps_printf("%s", pr_color ? "false 3 colorimage\n" : "image\n");

    const char *blank = pr_color ? "FFFFFF" : "FF";
    std::string line;
    int count = 0; // values written in the row
    const auto value = [&](const char *hex) {
        line += hex;
        if (++count % 80 == 0 && count < w) line += '\n';
    };
    const auto pixel = [&](unsigned char v) {
        char hex[8];
        if (pr_color) {
            float r = 0, g = 0, b = 0;
            CLR_get_rgb(v, &r, &g, &b);
            std::snprintf(hex, sizeof hex, "%02X%02X%02X", static_cast<unsigned>(r * 255) & 0xFF,
                          static_cast<unsigned>(g * 255) & 0xFF, static_cast<unsigned>(b * 255) & 0xFF);
        } else {
            std::snprintf(hex, sizeof hex, "%02X", v);
        }
        value(hex);
    };
    const auto end_row = [&]() {
        while (count < w)
            value(blank);
        line += '\n';
        gps_printf("%s", line.c_str());
        line.clear();
        count = 0;
    };
    int rows = 0;
    for (; rows < std::min(-y, h); ++rows)
        end_row();
    for (int r = std::max(y, 0); rows < h && r < image->height; ++r, ++rows) {
        const unsigned char *src =
            image->data + static_cast<std::size_t>(r) * static_cast<std::size_t>(image->bytes_line);
        for (int i = 0; i < std::min(-x, w); ++i)
            value(blank);
        for (int c = std::max(x, 0); count < w && c < std::min(image->width, image->bytes_line); ++c)
            pixel(src[c]);
        end_row();
    }
    for (; rows < h; ++rows)
        end_row();
    gps_printf("grestore\n");
    return 0;
}
