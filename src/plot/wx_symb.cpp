// Weather symbols from the symbol file and the built-in sky cover symbols.
// File-static state: the open symbol file (its text, read whole when opened,
// and the name asked for) and its name index, built at the first look-up.
#include "plot/wx_symb.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

constexpr int MAX_NAMES = 100;
constexpr std::size_t NAME_LEN = 14;
constexpr int MAX_POINTS = 20;
// A symbol file is a few kilobytes; what lies beyond this is not read.
constexpr std::size_t MAX_FILE = 1 << 20;
constexpr double PI = 3.1415926535898;

struct Entry {
    std::string name; // at most 14 characters
    std::size_t loc;  // offset just after the name
};

bool open = false;
std::string content;  // the open file's text
std::string filename; // as asked for
int init = 0;
std::vector<Entry> wx;

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void skip_blanks(std::size_t &pos) {
    while (pos < content.size() && is_blank(content[pos]))
        ++pos;
}

// The next word at pos (pos moves past it); empty at the end of the text.
std::string_view read_word(std::size_t &pos) {
    skip_blanks(pos);
    const std::size_t start = pos;
    while (pos < content.size() && !is_blank(content[pos]))
        ++pos;
    return std::string_view(content).substr(start, pos - start);
}

void build_index() {
    init = 1;
    wx.clear();
    std::size_t pos = 0;
    while (pos < content.size() && static_cast<int>(wx.size()) < MAX_NAMES) {
        const std::string_view name = read_word(pos);
        if (name.empty()) break;
        wx.push_back({std::string(name.substr(0, NAME_LEN)), pos});
        const std::size_t end = content.find('$', pos);
        if (end == std::string::npos) break;
        pos = end + 1;
        skip_blanks(pos);
    }
}

// The entry of the longest name that str begins with (any case; the first
// such in file order among names of one length); null when none does.
const Entry *find(std::string_view str) {
    const Entry *best = nullptr;
    for (const Entry &e : wx) {
        if (e.name.empty() || !istarts_with(str, e.name)) continue;
        if (best == nullptr || e.name.size() > best->name.size()) best = &e;
    }
    return best;
}

// One pair "x,y" at pos: a number, a comma, optional white space and a
// number. pos moves past it only when the whole pair is there.
bool read_pair(std::size_t &pos, double &px, double &py) {
    std::size_t p = pos;
    skip_blanks(p);
    const std::string_view text(content);
    const std::size_t n1 = scan_decimal(text.substr(p), &px);
    if (n1 == 0) return false;
    p += n1;
    if (p >= text.size() || text[p] != ',') return false;
    ++p;
    skip_blanks(p);
    const std::size_t n2 = scan_decimal(text.substr(p), &py);
    if (n2 == 0) return false;
    pos = p + n2;
    return std::isfinite(px) && std::isfinite(py);
}

Gpt at_angle(float xc, float yc, float rad, double deg) {
    const double a = deg * PI / 180.0;
    return {static_cast<float>(xc + rad * std::cos(a)), static_cast<float>(yc + rad * std::sin(a))};
}

void fill(const std::vector<Gpt> &pts) {
    gset_fill_int_style(GSOLID);
    gfill_area(static_cast<Gint>(pts.size()), pts.data());
}

void line(Gpt a, Gpt b) {
    const Gpt pts[2] = {a, b};
    gpolyline(2, pts);
}

} // namespace

int WX_symb_file(const char *file) {
    const char *want = file != nullptr ? file : "wx.smb";
    if (open && stricmp(want, filename.c_str()) == 0) return -1;
    open = false;
    content.clear();
    wx.clear();
    std::string path;
    FILE *f = FILE_open_table(want, &path);
    if (f == nullptr) {
        MESS_print(M_WARN, "WX_symb_file: Unable to open file: %s\n", path.c_str());
        return -1;
    }
    char buf[4096];
    std::size_t n = 0;
    while (content.size() < MAX_FILE && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        content.append(buf, std::min(n, MAX_FILE - content.size()));
    FILE_close(f);
    open = true;
    filename = want;
    init = 0;
    return 0;
}

int WX_symb(float x, float y, const char *str, float size) {
    if (!open) WX_symb_file(nullptr);
    if (!open || str == nullptr || str[0] == '\0' || str[0] == ' ') return 0;
    if (init == 0) build_index();
    const Entry *e = find(str);
    if (e == nullptr) return 0;

    int hor = 0, vert = 0;
    GPH_get_text_align(&hor, &vert);
    if (hor == GRIGHT_HOR)
        x -= size;
    else if (hor == GCENTER_HOR)
        x -= size / 2;
    if (vert == GTOP_VERT || vert == GCAP_VERT)
        y -= size;
    else if (vert == GHALF_VERT)
        y -= size / 2;

    std::size_t pos = e->loc;
    std::array<Gpt, MAX_POINTS> pts{};
    while (pos < content.size()) {
        int n = 0;
        double px = 0, py = 0;
        while (n < MAX_POINTS && read_pair(pos, px, py))
            pts[static_cast<std::size_t>(n++)] = {static_cast<float>(x + size * px),
                                                  static_cast<float>(y + size * py)};
        if (n == 0) break;
        const std::string_view word = read_word(pos);
        // A single point draws nothing.
        if (n < 2) continue;
        if (!word.empty() && word[0] == 'F')
            gfill_area(n, pts.data());
        else
            gpolyline(n, pts.data());
    }
    return 1;
}

int WX_cloud(float x_center, float y_center, float rad, char cover) {
    std::vector<Gpt> circle;
    for (int a = 0; a <= 360; a += 30)
        circle.push_back(at_angle(x_center, y_center, rad, a));
    gpolyline(static_cast<Gint>(circle.size()), circle.data());
    const Gpt centre{x_center, y_center};
    const Gpt top{x_center, y_center + rad};
    const Gpt bottom{x_center, y_center - rad};
    auto arc = [&](int from, int to) {
        std::vector<Gpt> pts;
        for (int a = from; a <= to; a += 30)
            pts.push_back(at_angle(x_center, y_center, rad, a));
        return pts;
    };
    switch (cover) {
    case '0':
    case 'C':
    case 'b':
    case 'o':
    case 's':
    case 'x':
        break;
    case '1':
    case 'F':
        line(top, bottom);
        break;
    case '2':
    case 'S':
    case '3': {
        std::vector<Gpt> pts = arc(0, 90);
        pts.push_back(centre);
        pts.push_back(pts.front());
        fill(pts);
        if (cover == '3') line(centre, bottom);
        break;
    }
    case '4':
    case '5': {
        std::vector<Gpt> pts = arc(-90, 90);
        pts.push_back(pts.front());
        fill(pts);
        if (cover == '5') line(centre, {x_center - rad, y_center});
        break;
    }
    case '6':
    case 'B': {
        std::vector<Gpt> pts = arc(180, 360);
        for (const Gpt &p : arc(30, 90))
            pts.push_back(p);
        pts.push_back(centre);
        pts.push_back(pts.front());
        fill(pts);
        break;
    }
    case '7': {
        for (const std::array<int, 7> &angles : {std::array<int, 7>{-75, -60, -30, 0, 30, 60, 75},
                                                 std::array<int, 7>{105, 120, 150, 180, 210, 240, 255}}) {
            std::vector<Gpt> pts;
            for (int a : angles)
                pts.push_back(at_angle(x_center, y_center, rad, a));
            pts.push_back(pts.front());
            fill(pts);
        }
        break;
    }
    case '8':
    case 'O':
        fill(circle);
        break;
    case '9':
    case 'X':
        line(at_angle(x_center, y_center, rad, 45), at_angle(x_center, y_center, rad, 225));
        line(at_angle(x_center, y_center, rad, 135), at_angle(x_center, y_center, rad, 315));
        break;
    default: {
        const float a = 0.7f * rad;
        const Gpt m[5] = {{x_center - a, y_center - a},
                          {x_center - a, y_center + a},
                          {x_center, y_center},
                          {x_center + a, y_center + a},
                          {x_center + a, y_center - a}};
        gpolyline(5, m);
        break;
    }
    }
    return 0;
}
