// Character GRID code bulletins: written by a small encoder from NumPy
// arrays, read back through the grid file table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fields/calc.h"
#include "fields/grd_tool.h"
#include "fields/region.h"
#include "gridfile/grd_read.h"
#include "support/child.h"
#include "support/grid_records.h"
#include "support/grids.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

// The encoder: messages of octant grids from NumPy arrays (row 0 the
// northernmost), each described by a Python dict; writes the bulletin and
// prints, for every grid the reader should give, a line
// "grid N var ltype level time source clat clon v v v ...".
const char *ENCODER = R"(
import sys, json, numpy as np

CENTRES = [(55, -45), (55, -135), (55, 135), (55, 45), (0, -45), (0, -135), (0, 135), (0, 45),
           (-55, -45), (-55, -135), (-55, 135), (-55, 45)]
SCALES = {"1": 0.1, "2": 0.01, "3": 0.001, "4": 0.0001, "5": 10.0, "6": 100.0, "7": 1000.0,
          "8": 10000.0, "9": 100000.0}
NX, NY = 19, 15

def value_group(v, sign, digits):
    if sign == 1:
        return ("1" if v < 0 else "0") + "%0*d" % (digits - 1, abs(v))
    return "%0*d" % (digits, abs(v))

def encode(m):
    t = ["GRID", "%02d%03d" % (m["centre"], m["g"]), "ABCDE", "FGHIJ"]
    if "var" in m: t.append("1%02d00" % m["var"])
    if "lev2" in m: t.append("2%02d00" % m["lev2"])
    if "lev3" in m: t.append("3%02d00" % m["lev3"])
    if "ym" in m: t.append("6%02d%02d" % tuple(m["ym"]))
    if "dh" in m: t.append("7%02d%02d" % tuple(m["dh"]))
    if "fh" in m: t.append("80%03d" % m["fh"])
    t.append("55555")
    if "sign" in m: t.append("1000%d" % m["sign"])
    if "digits" in m: t.append("2%d000" % m["digits"])
    if "scale" in m: t += ["3%s000" % m["scale"], m["ref"]]
    a = m["packed"]
    north = m["g"] <= 4
    for r in range(NY):
        row = a[NY - 1 - r] if north else a[r]
        fill = r in m.get("fill", [])
        t += [("9%04d" if fill else "0%04d") % r, "44444"]
        cells = [row[0]] if fill else list(row)
        t += [value_group(int(v), m.get("sign", 0), m["width"]) for v in cells]
    lines = [" ".join(t[k:k + 12]) for k in range(0, len(t), 12)]
    return "\r\r\n".join(lines) + "\r\r\n"

def grids(m):
    a = np.array(m["packed"], dtype=np.int64)
    f = SCALES.get(m.get("scale", "0"), 1.0)
    ref = float(m.get("ref", "0"))
    if m.get("var") == 4: ref = -ref
    ref *= f
    out = []
    if m.get("var") == 22:
        d = np.radians((a // 100).astype(float))
        s = (a % 100).astype(float)
        out.append((23, -s * np.sin(d)))
        out.append((24, -s * np.cos(d)))
    else:
        v = -a if m.get("sign") == 3 else a
        out.append((m.get("var", -9999), ref + v * f))
    return out

spec = json.loads(sys.stdin.read())
rng = np.random.default_rng(spec["seed"])
text = ""
n = 0
for m in spec["messages"]:
    m["width"] = m.get("digits", m.get("carried", 0))
    if "packed" not in m:
        top = 10 ** (m["width"] - (1 if m.get("sign") == 1 else 0)) - 1
        lo, hi = m.get("range", (-top if m.get("sign") == 1 else 0, top))
        m["packed"] = rng.integers(lo, hi + 1, size=(NY, NX))
        for r in m.get("fill", []):
            row = NY - 1 - r if m["g"] <= 4 else r
            m["packed"][row, :] = m["packed"][row, 0]
    text += encode(m)
    ltype, level = -9999, -9999
    if "lev2" in m: ltype, level = 10, 10 * m["lev2"]
    if "lev3" in m: ltype, level = (12 if m["lev3"] == 0 else 13), 10 * m["lev3"]
    for var, g in grids(m):
        centre = CENTRES[m["g"] - 1] if m["g"] <= 12 else (0, 0)
        print("grid", n, var, ltype, level, m.get("fh", 0), m["centre"], *centre,
              " ".join("%.9g" % x for x in g.ravel()))
        n += 1
open(spec["file"], "w").write(text)
)";

struct Expected {
    int var, ltype, level, time, source;
    float clat, clon;
    std::vector<double> values;
};

// Writes the bulletin that the JSON spec describes and returns the grids the
// reader should give.
std::vector<Expected> encode(const std::string &spec) {
    const std::string out = zeqtest::run_python(ENCODER, spec);
    std::vector<Expected> grids;
    for (const std::string &line : zeqtest::text_lines(out)) {
        std::istringstream in(line);
        std::string word;
        int n = 0;
        in >> word >> n;
        if (word != "grid") continue;
        Expected e;
        in >> e.var >> e.ltype >> e.level >> e.time >> e.source >> e.clat >> e.clon;
        double v;
        while (in >> v)
            e.values.push_back(v);
        grids.push_back(e);
    }
    return grids;
}

using Read = zeqtest::GridRead;

int open_code(const std::string &name, GRD_info *info = nullptr) {
    int type = 0;
    const int fd = GRD_open(name.c_str(), 0, &type);
    EXPECT_EQ(type, 22);
    GRD_info local{};
    if (fd >= 0) GRD_getinfo(fd, info != nullptr ? info : &local);
    return fd;
}

void expect_grid(const GRD_report &r, const Expected &e, const std::string &what) {
    EXPECT_EQ(r.var, e.var) << what;
    EXPECT_EQ(r.ltype, e.ltype) << what;
    EXPECT_EQ(r.level, e.level) << what;
    EXPECT_EQ(r.time, e.time) << what;
    EXPECT_EQ(r.source, e.source) << what;
    EXPECT_EQ(r.model, e.source) << what;
    EXPECT_EQ(r.domain.proj, 2) << what;
    EXPECT_EQ(r.domain.clat, e.clat) << what;
    EXPECT_EQ(r.domain.clon, e.clon) << what;
    EXPECT_EQ(r.domain.nx, 19) << what;
    EXPECT_EQ(r.domain.ny, 15) << what;
    EXPECT_EQ(r.domain.dx, 5.0f) << what;
    EXPECT_EQ(r.domain.dy, 5.0f) << what;
    zeqtest::expect_grid_values(e.values, r.grid, 19 * 15, what, 1e-6, 1e-4);
}

// Messages over the octants with every packing form; message 2 has no digit
// count of its own and takes message 1's.
std::string main_spec(const std::string &file) {
    return R"({"seed": 7, "file": ")" + file + R"(", "messages": [
 {"centre": 7, "g": 1, "var": 11, "lev2": 50, "ym": [24, 1], "dh": [5, 12], "fh": 24,
  "digits": 3, "scale": "1", "ref": "2.5"},
 {"centre": 7, "g": 6, "var": 4, "lev3": 0, "ym": [99, 12], "dh": [31, 0], "sign": 1, "digits": 4,
  "scale": "1", "ref": "2.5", "fill": [0, 7]},
 {"centre": 58, "g": 3, "var": 7, "lev3": 50, "sign": 3, "carried": 4, "scale": "5", "ref": "100",
  "fh": 120},
 {"centre": 74, "g": 12, "var": 22, "lev2": 85, "digits": 5,
  "packed": [[27015, 18020, 9005, 0, 36099, 4510, 13525, 22530, 31535, 100, 200, 300, 400, 500, 600,
              700, 800, 900, 1000]]},
 {"centre": 7, "g": 9, "var": 13, "digits": 5, "scale": "9", "ref": "0", "fill": [14]},
 {"centre": 7, "g": 4, "var": 2, "lev2": 30, "sign": 1, "digits": 6, "scale": "2", "ref": "-1.5"},
 {"centre": 7, "g": 8, "digits": 3, "scale": "x", "ref": "7"}
]})";
}

TEST(GridCode, BulletinsReadBackAsTheArraysTheyWereMadeFrom) {
    TempDir dir;
    const std::string name = dir.file("main.grid");
    std::string spec = main_spec(name);
    // The wind message's rows: the first row given, repeated.
    const std::string row = "[27015, 18020, 9005, 0, 36099, 4510, 13525, 22530, 31535, 100, 200, 300, 400, "
                            "500, 600, 700, 800, 900, 1000]";
    std::string rows = "[" + row;
    for (int r = 1; r < 15; ++r)
        rows += ", " + row;
    rows += "]";
    spec.replace(spec.find("[[27015"), spec.find("]]") + 2 - spec.find("[[27015"), rows);
    const std::vector<Expected> want = encode(spec);
    ASSERT_EQ(want.size(), 8u);
    EXPECT_EQ(GRD_chktype(name.c_str()), 22);

    GRD_info info{};
    const int fd = open_code(name, &info);
    ASSERT_GE(fd, 0);
    const int octant[] = {1, 6, 3, 12, 12, 9, 4, 8};
    EXPECT_EQ(info.date.year, 2024);
    EXPECT_EQ(info.date.month, 1);
    EXPECT_EQ(info.date.day, 5);
    EXPECT_EQ(info.date.hour, 12);
    for (std::size_t n = 0; n < want.size(); ++n) {
        const std::string what = "grid " + std::to_string(n);
        Read h, r;
        int num = int(n);
        ASSERT_EQ(GRD_read(fd, &h.r, 1, &num), 0) << what;
        EXPECT_EQ(h.r.grid, nullptr);
        EXPECT_EQ(h.r.var, want[n].var) << what;
        num = int(n);
        ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0) << what;
        EXPECT_EQ(num, int(n));
        EXPECT_EQ(r.r.type, 70 + octant[n]) << what;
        expect_grid(r.r, want[n], what);
    }
    Read r;
    int num = 8;
    EXPECT_EQ(GRD_read(fd, &r.r, 1, &num), -1);
    // The wind message: 27015 is u 15 and v 0.
    num = 3;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    EXPECT_NEAR(r.r.grid[0], 15.0, 1e-4);
    num = 4;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    EXPECT_NEAR(r.r.grid[0], 0.0, 1e-4);
    // Dates and forecast hours in the labels.
    num = 0;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    EXPECT_EQ(r.r.date.year, 2024);
    EXPECT_EQ(r.r.date.hour, 12);
    EXPECT_NE(std::string(r.r.datim).find("JAN 24"), std::string::npos) << r.r.datim;
    num = 1;
    ASSERT_EQ(GRD_read(fd, &r.r, 0, &num), 0);
    EXPECT_EQ(r.r.date.year, 1999);
    EXPECT_EQ(r.r.date.day, 31);
    GRD_close(fd);

    // A message whose digit count comes from the message before it reads the
    // same when asked for first.
    const int f2 = open_code(name);
    num = 2;
    ASSERT_EQ(GRD_read(f2, &r.r, 0, &num), 0);
    expect_grid(r.r, want[2], "grid 2 first");
    GRD_close(f2);
}

TEST(GridCode, MessagesThatCannotBeReadGiveOne) {
    TempDir dir;
    const std::string name = dir.file("bad.grid");
    // 0 no digit count; 1 good; 2 grid number 13; 3 digit count 6; 4 takes
    // that count too; 5 good (var from no group: cleared); 6 rows cut short.
    const std::vector<Expected> want = encode(R"({"seed": 3, "file": ")" + name + R"(", "messages": [
 {"centre": 7, "g": 2, "var": 11, "carried": 3},
 {"centre": 7, "g": 2, "var": 11, "digits": 3},
 {"centre": 7, "g": 13, "var": 11, "digits": 3},
 {"centre": 7, "g": 2, "var": 12, "digits": 6},
 {"centre": 7, "g": 2, "var": 13, "carried": 6},
 {"centre": 7, "g": 5, "digits": 4},
 {"centre": 7, "g": 7, "var": 15, "digits": 3}
]})");
    ASSERT_EQ(want.size(), 7u);
    // Cut the last message inside its rows.
    std::string text = read_file(name);
    text.resize(text.size() - 200);
    write_file(name, text);
    auto r = run_child([&] {
        const int fd = open_code(name);
        Read g;
        for (int pass = 0; pass < 2; ++pass) {
            for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 5, 1}) {
                int num = n;
                const int rc = GRD_read(fd, &g.r, pass, &num);
                std::printf("%d:%d ", rc, rc == 0 ? g.r.var : 0);
                if (rc != 0 && g.r.grid != nullptr) std::printf("array! ");
            }
            std::printf("\n");
        }
        return 0;
    });
    EXPECT_EQ(r.out, "1:0 0:11 1:0 1:0 1:0 0:-9999 1:0 -1:0 0:-9999 0:11 \n"
                     "1:0 0:11 1:0 1:0 1:0 0:-9999 1:0 -1:0 0:-9999 0:11 \n")
        << r.err;
    EXPECT_NE(r.err.find("GRD_read: Grid 0 cannot be read: " + name + " message 1: no digit count"),
              std::string::npos)
        << r.err;
    EXPECT_NE(
        r.err.find("GRD_read: Grid 2 cannot be read: " + name + " message 3: grid number outside 1 to 12"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Grid 3 cannot be read: " + name + " message 4: digit count outside 3 to 5"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Grid 6 cannot be read: " + name + " message 7: rows cut short"), std::string::npos)
        << r.err;
}

TEST(GridCode, DigitCountIsNotCarriedIntoAnotherFile) {
    TempDir dir;
    const std::string a = dir.file("a.grid");
    const std::string b = dir.file("b.grid");
    encode(R"({"seed": 1, "file": ")" + a +
           R"(", "messages": [{"centre": 7, "g": 5, "var": 1, "digits": 4}]})");
    encode(R"({"seed": 2, "file": ")" + b +
           R"(", "messages": [{"centre": 7, "g": 5, "var": 1, "carried": 4}]})");
    auto r = run_child([&] {
        Read g;
        int num = 0;
        const int fa = open_code(a);
        std::printf("%d ", GRD_read(fa, &g.r, 0, &num));
        const int fb = open_code(b);
        num = 0;
        std::printf("%d ", GRD_read(fb, &g.r, 0, &num));
        GRD_close(fa);
        GRD_close(fb);
        return 0;
    });
    EXPECT_EQ(r.out, "0 1 ") << r.err;
}

TEST(GridCode, SearchesAndTheCalculatorReadTheRightMessage) {
    TempDir dir;
    const std::string name = dir.file("three.grid");
    const std::vector<Expected> want = encode(R"({"seed": 11, "file": ")" + name + R"(", "messages": [
 {"centre": 7, "g": 5, "var": 7, "lev2": 50, "digits": 4, "fh": 12},
 {"centre": 7, "g": 5, "var": 11, "lev2": 50, "digits": 4, "scale": "1", "ref": "-200", "fh": 12},
 {"centre": 7, "g": 5, "var": 22, "lev2": 50, "digits": 5, "range": [0, 9999], "fh": 12}
]})");
    ASSERT_EQ(want.size(), 4u);
    auto r = run_child([&] {
        GRD_report g{};
        g.grid = nullptr;
        GRD_info info{};
        int type = 0;
        int rc = GRD_read_file((name + "+12::11").c_str(), &g, &info, &type);
        std::printf("\nspec11 %d %d %.9g\n", rc, g.var, g.grid != nullptr ? double(g.grid[0]) : -1.0);
        std::free(g.grid);
        g.grid = nullptr;
        rc = GRD_read_file((name + "+12::24").c_str(), &g, &info, &type);
        std::printf("\nspec24 %d %d %.9g\n", rc, g.var, g.grid != nullptr ? double(g.grid[0]) : -1.0);
        std::free(g.grid);
        g.grid = nullptr;
        rc = GRD_read_file((name + "+12::52").c_str(), &g, &info, &type);
        std::printf("\nnone %d\n", rc);
        std::free(g.grid);
        // Octant 5 is centred on 0 N 45 W: the point 5 N 40 W is row 6, column 10.
        const std::string word = name + "+12::11";
        const char *cmd[] = {"val", word.c_str(), "ll", "5,-40"};
        return GRD_math_command(4, cmd) == 1 ? 0 : 1;
    });
    EXPECT_EQ(r.status, 0) << r.err;
    // The numbers after a word, and the last line that is a number alone.
    auto after = [&](const std::string &word) {
        std::vector<double> v;
        const std::size_t at = r.out.find(word + " ");
        if (at == std::string::npos) return v;
        std::istringstream in(r.out.substr(at + word.size(), r.out.find('\n', at) - at - word.size()));
        double x;
        while (in >> x)
            v.push_back(x);
        return v;
    };
    const std::vector<double> s11 = after("spec11"), s24 = after("spec24"), none = after("none");
    ASSERT_EQ(s11.size(), 3u) << r.out;
    EXPECT_EQ(s11[0], 1);
    EXPECT_EQ(s11[1], 11);
    EXPECT_NEAR(s11[2], want[1].values[0], 1e-4);
    ASSERT_EQ(s24.size(), 3u) << r.out;
    EXPECT_EQ(s24[1], 24);
    EXPECT_NEAR(s24[2], want[3].values[0], 1e-4);
    ASSERT_EQ(none.size(), 1u) << r.out;
    EXPECT_EQ(none[0], 0);
    double val = NAN;
    for (const std::string &l : zeqtest::text_lines(r.out)) {
        char *end = nullptr;
        const double x = std::strtod(l.c_str(), &end);
        if (!l.empty() && *end == '\0') val = x;
    }
    EXPECT_NEAR(val, want[1].values[6 * 19 + 10], 1e-4) << r.out;
}

} // namespace
