// Test support of the graphics tests: ghostscript reads and renders the
// PostScript we write, and the rendered page is read back pixel by pixel.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "support/child.h"

namespace gkstest {

inline constexpr const char *GS = "/usr/bin/gs";

inline bool have_gs() {
    if (access(GS, X_OK) == 0) return true;
    ADD_FAILURE() << "these tests need " << GS << " (Debian package ghostscript)";
    return false;
}

struct GsRun {
    int status = -1;
    std::string out; // standard output and error
};

inline GsRun run_gs(const std::string &args) {
    GsRun run;
    const std::string cmd = std::string(GS) + " -q -dSAFER -dBATCH -dNOPAUSE " + args + " 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    if (p == nullptr) return run;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        run.out.append(buf, n);
    const int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Interprets a file on the null device; EPS files are read with -dEPSCrop.
inline GsRun gs_check(const std::string &file, bool eps = false) {
    return run_gs(std::string("-sDEVICE=nullpage ") + (eps ? "-dEPSCrop " : "") + "'" + file + "'");
}

// A rendered page: pixels per point `scale` (1 at 72 dpi).
struct Raster {
    int width = 0;
    int height = 0;
    double scale = 1;
    double origin_x = 0; // page point of the lower left corner
    double origin_y = 0;
    std::vector<unsigned char> rgb;

    std::array<int, 3> at(int col, int row) const {
        if (col < 0 || row < 0 || col >= width || row >= height) return {-1, -1, -1};
        const std::size_t i = (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                               static_cast<std::size_t>(col)) *
                              3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // The pixel under a page point (y upwards).
    std::array<int, 3> at_pt(double x, double y) const {
        return at(static_cast<int>(std::floor((x - origin_x) * scale)),
                  static_cast<int>(std::floor(static_cast<double>(height) - (y - origin_y) * scale)));
    }
    // The page's size in points.
    double width_pt() const { return width / scale; }
    double height_pt() const { return height / scale; }
    bool black(double x, double y) const {
        const auto p = at_pt(x, y);
        return p[0] >= 0 && p[0] < 64 && p[1] < 64 && p[2] < 64;
    }
    // The pixel is the colour within tol in every component.
    bool colour(double x, double y, int r, int g, int b, int tol = 4) const {
        const auto p = at_pt(x, y);
        return std::abs(p[0] - r) <= tol && std::abs(p[1] - g) <= tol && std::abs(p[2] - b) <= tol;
    }
    bool white(double x, double y) const {
        const auto p = at_pt(x, y);
        return p[0] > 240 && p[1] > 240 && p[2] > 240;
    }
};

// Renders the first page into a raw PPM at `dpi` and reads it. `args` adds
// options such as the media size or -dEPSCrop.
inline Raster gs_render(const std::string &file, const std::string &args = "", int dpi = 72) {
    Raster r;
    r.scale = dpi / 72.0;
    zeqtest::TempDir dir;
    const std::string ppm = dir.file("page.ppm");
    const GsRun run = run_gs("-sDEVICE=ppmraw -r" + std::to_string(dpi) + " -dFirstPage=1 -dLastPage=1 " +
                             args + " -sOutputFile='" + ppm + "' '" + file + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    const std::string data = zeqtest::read_file(ppm);
    // Header: "P6", width, height and the largest value, with '#' comment
    // lines between them; one blank before the pixels.
    std::size_t pos = 0;
    auto next_word = [&]() {
        for (;;) {
            while (pos < data.size() && std::isspace(static_cast<unsigned char>(data[pos])))
                ++pos;
            if (pos < data.size() && data[pos] == '#') {
                pos = data.find('\n', pos);
                if (pos == std::string::npos) pos = data.size();
                continue;
            }
            break;
        }
        const std::size_t start = pos;
        while (pos < data.size() && !std::isspace(static_cast<unsigned char>(data[pos])))
            ++pos;
        return data.substr(start, pos - start);
    };
    const std::string magic = next_word();
    r.width = std::atoi(next_word().c_str());
    r.height = std::atoi(next_word().c_str());
    const int maxval = std::atoi(next_word().c_str());
    if (magic != "P6" || r.width <= 0 || r.height <= 0 || maxval != 255) {
        ADD_FAILURE() << "no PPM image from " << file;
        return {};
    }
    const std::size_t start = pos + 1;
    const std::size_t size = static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height) * 3;
    if (data.size() < start + size) {
        ADD_FAILURE() << "short PPM image from " << file;
        return {};
    }
    r.rgb.assign(data.begin() + static_cast<std::ptrdiff_t>(start),
                 data.begin() + static_cast<std::ptrdiff_t>(start + size));
    return r;
}

// A media of width x height points that holds every placement of a plot.
inline std::string media(int width, int height) {
    return "-dDEVICEWIDTHPOINTS=" + std::to_string(width) +
           " -dDEVICEHEIGHTPOINTS=" + std::to_string(height) + " -dFIXEDMEDIA";
}

// One path command of a PostScript drawing, in print units: 'm' move, 'l'
// line, 's' stroke, 'n' newpath.
struct PathCmd {
    char op;
    float x = 0;
    float y = 0;
};

// The path commands after each comment that begins with `comment` (such as
// "%%TE:"), up to the next comment line: one list per such comment.
inline std::vector<std::vector<PathCmd>> ps_paths(const std::string &ps, const std::string &comment) {
    std::vector<std::vector<PathCmd>> blocks;
    std::size_t pos = 0;
    bool inside = false;
    while (pos < ps.size()) {
        std::size_t end = ps.find('\n', pos);
        if (end == std::string::npos) end = ps.size();
        const std::string line = ps.substr(pos, end - pos);
        pos = end + 1;
        if (line.starts_with("%%")) {
            inside = line.starts_with(comment);
            if (inside) blocks.emplace_back();
            continue;
        }
        if (!inside) continue;
        float x = 0, y = 0;
        char op[4] = "";
        if (std::sscanf(line.c_str(), "%f %f %3s", &x, &y, op) == 3 &&
            (std::string(op) == "mv" || std::string(op) == "ln"))
            blocks.back().push_back({op[0] == 'm' ? 'm' : 'l', x, y});
        else if (line == "stroke")
            blocks.back().push_back({'s'});
        else if (line == "np")
            blocks.back().push_back({'n'});
    }
    return blocks;
}

} // namespace gkstest
