// Grid calculator commands over grid files. Every case writes its input
// grids with the grid module's own saving into a temporary directory, runs
// the command in a child process and reads the output file back; values are
// compared with NumPy computed on the same inputs.
#include "fields/calc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fields/grd_tool.h"
#include "fields/region.h"
#include "fields/var_tool.h"
#include "gridfile/grd_read.h"
#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

constexpr float M = -9999.0f;

Domain latlon(float clat, float clon, int nx, int ny, float dx, float dy) {
    return zeqtest::make_domain(2, clat, clon, nx, ny, dx, dy);
}

// The grid of most cases: 10 x 7 points, 2 degrees by 1.5 degrees, from
// 105 W to 87 W and from 44.5 N down to 35.5 N.
Domain main_domain() {
    return latlon(40.0f, -96.0f, 10, 7, 2.0f, 1.5f);
}

Date jan5() {
    Date d;
    DATE_init(&d);
    d.year = 2024;
    d.month = 1;
    d.day = 5;
    d.hour = 12;
    return d;
}

// One input grid and how it is labelled.
struct Input {
    Domain dom = main_domain();
    std::vector<float> v;
    int var = 11;
    const char *units = "K";
    int ltype = 100;
    int level = 850;
};

template <typename F> std::vector<float> field(const Domain &d, F f) {
    std::vector<float> v(std::size_t(d.nx) * d.ny);
    for (int j = 0; j < d.ny; ++j)
        for (int i = 0; i < d.nx; ++i)
            v[std::size_t(j) * d.nx + i] = float(f(i, j));
    return v;
}

// Writes a one-grid file of `type` under the grid path with GRD_save_file.
void save(const std::string &name, const Input &in, int type = 2) {
    GRD_report r;
    std::memset(&r, 0, sizeof r);
    GRD_init(&r);
    r.source = 1;
    r.model = 1;
    r.version = 1;
    r.var = in.var;
    r.ltype = in.ltype;
    r.level = in.level;
    r.time = 0;
    r.date = jan5();
    r.domain = in.dom;
    std::snprintf(r.units, sizeof r.units, "%s", in.units);
    std::snprintf(r.datim, sizeof r.datim, "12Z  5 JAN 24");
    GRD_make_datatype(&r);
    std::vector<float> v = in.v;
    r.grid = v.data();
    GRD_info info{};
    const Date d = jan5();
    GRD_set_info(&info, &d, &in.dom);
    std::snprintf(info.datim, sizeof info.datim, "12Z  5 JAN 24");
    ASSERT_EQ(GRD_save_file(name.c_str(), &r, &info, type), 1) << name;
}

// A grid read back from a file.
struct Output {
    int rc = -1;
    GRD_report r;
    GRD_info info{};
    Output() {
        std::memset(&r, 0, sizeof r);
        GRD_init(&r);
    }
    ~Output() { std::free(r.grid); }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;
    std::size_t size() const { return std::size_t(r.domain.nx) * std::size_t(r.domain.ny); }
};

void read_back(const std::string &path, Output *out) {
    int type = 0;
    out->rc = GRD_read_file(path.c_str(), &out->r, &out->info, &type);
}

std::vector<std::string> split(const std::string &line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

struct Result {
    int rc = -1; // the command's result, as the child's exit status
    std::string out, err;
};

Result run_words(const std::vector<std::string> &words) {
    auto r = run_child([&] {
        std::vector<const char *> w;
        for (const std::string &s : words)
            w.push_back(s.c_str());
        return GRD_math_command(int(w.size()), w.data());
    });
    return {r.status, r.out, r.err};
}

Result command(const std::string &line) {
    return run_words(split(line));
}

// Runs commands one after the other in one process, as a program would:
// each finds the grid table as the one before left it. Their results.
std::vector<int> sequence(const std::vector<std::string> &lines) {
    auto r = run_child([&] {
        std::string rcs = "RC:";
        for (const std::string &l : lines) {
            const std::vector<std::string> words = split(l);
            std::vector<const char *> w;
            for (const std::string &s : words)
                w.push_back(s.c_str());
            rcs += char('0' + GRD_math_command(int(w.size()), w.data()));
        }
        std::printf("\n%s\n", rcs.c_str());
        return 0;
    });
    std::vector<int> out;
    const std::size_t at = r.out.rfind("RC:");
    if (at == std::string::npos) return out;
    for (std::size_t k = at + 3; k < r.out.size() && r.out[k] != '\n'; ++k)
        out.push_back(r.out[k] - '0');
    return out;
}

// ---- NumPy --------------------------------------------------------------------------

// Runs a Python script over `input`; each output line is a name followed by
// numbers.
std::map<std::string, std::vector<double>> python(const std::string &script, const std::string &input) {
    return zeqtest::named_numbers(zeqtest::run_python(script, input, "python3-numpy"));
}

// One line "name v v v ..." of NumPy input.
std::string line(const std::string &name, const std::vector<float> &v) {
    std::ostringstream s;
    s.precision(9);
    s << name;
    for (float x : v)
        s << ' ' << double(x);
    s << '\n';
    return s.str();
}

// The head of every reference script: the input lines as masked float32
// arrays in `g` (missing values masked), and `put` to print a result with
// missing and non-finite values as -9999.
const char *const kPyHead = R"(
import sys
import numpy as np
g = {}
for ln in sys.stdin:
    w = ln.split()
    if w:
        g[w[0]] = np.ma.masked_equal(np.array([float(x) for x in w[1:]], dtype=np.float32), -9999.0)
def put(name, a):
    a = np.ma.masked_invalid(np.ma.asarray(a, dtype=np.float64))
    print(name, ' '.join(repr(float(x)) for x in a.filled(-9999.0).ravel()))
)";

// Missing values must match exactly; others to a relative tolerance.
void expect_values(const std::vector<double> &want, const float *got, std::size_t n, const std::string &what,
                   double rel = 2e-6, double abs = 0.0) {
    zeqtest::expect_grid_values(want, got, n, what, rel, abs);
}

[[maybe_unused]] bool has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

class CalcCommand : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override {
        RES_put("file_path", ZEQ_SOURCE_DIR "/data");
        RES_put("grid_path", dir.path().c_str());
        RES_put("city_file", ZEQ_TEST_DATA "/sao_test.cty");
    }
    std::string path(const std::string &name) const { return dir.file(name); }
    bool exists(const std::string &name) const { return access(path(name).c_str(), F_OK) == 0; }
};

// A temperature field with one missing point, and a second field with a
// zero (for division) and a missing point of its own.
Input temperature() {
    Input t;
    t.v = field(t.dom, [](int i, int j) { return 250.0 + 3.1 * i - 2.3 * j + 0.07 * i * j; });
    t.v[13] = M;
    return t;
}

Input second() {
    Input u;
    u.var = 11;
    u.v = field(u.dom, [](int i, int j) { return 1.5 * (i - 4) + 0.25 * j * j; });
    u.v[4 * 10 + 4] = 0.0f; // i = 4, j = 4 gives 4: make it 0 explicitly
    u.v[5] = M;
    return u;
}

} // namespace

// ---- Arithmetic --------------------------------------------------------------------------

TEST_F(CalcCommand, ArithmeticOfFilesAndLiterals) {
    const Input t = temperature(), u = second();
    save("t.grd", t);
    save("u.grd", u, 3);
    struct Case {
        const char *cmd;
        const char *out;
        const char *ref;
    };
    const Case cases[] = {
        {"t.grd add #5 = o_add.grd", "o_add.grd", "t + 5"},
        {"#10 sub t.grd = o_sub.grd", "o_sub.grd", "10 - t"},
        {"t.grd SUB #-2.5 = o_sub2.grd", "o_sub2.grd", "t + 2.5"},
        {"t.grd mul u.grd = o_mul.grd", "o_mul.grd", "t * u"},
        {"t.grd Div u.grd = o_div.grd", "o_div.grd", "t / u"},
        {"#2 div u.grd = o_rdiv.grd", "o_rdiv.grd", "2 / u"},
        {"t.grd mod #7 = o_mod.grd", "o_mod.grd", "np.fmod(t, 7)"},
        {"u.grd sub t.grd = o_usub.grd", "o_usub.grd", "u - t"},
    };
    std::string script = kPyHead;
    script += "t = g['t'].astype(np.float64)\nu = g['u'].astype(np.float64)\n"
              "with np.errstate(divide='ignore', invalid='ignore'):\n";
    for (const Case &c : cases)
        script += std::string("    put('") + c.out + "', " + c.ref + ")\n";
    const auto ref = python(script, line("t", t.v) + line("u", u.v));
    for (const Case &c : cases) {
        const Result r = command(c.cmd);
        EXPECT_EQ(r.rc, 1) << c.cmd << r.err;
        Output o;
        read_back(path(c.out), &o);
        ASSERT_EQ(o.rc, 1) << c.cmd << r.out << r.err;
        // The result keeps the first input's header.
        EXPECT_EQ(o.r.level, 850) << c.cmd;
        EXPECT_EQ(o.r.ltype, 100) << c.cmd;
        EXPECT_EQ(o.r.date.day, 5) << c.cmd;
        EXPECT_EQ(o.r.domain.nx, 10) << c.cmd;
        expect_values(ref.at(c.out), o.r.grid, o.size(), c.cmd);
    }
}

TEST_F(CalcCommand, CoriolisParameter) {
    Input v;
    v.var = 41;
    v.units = "1e-5/s";
    v.v = field(v.dom, [](int i, int j) { return 4.0 - 0.9 * i + 1.3 * j; });
    v.v[22] = M;
    save("v.grd", v);
    struct Case {
        const char *cmd;
        const char *out;
        const char *ref;
    };
    const Case cases[] = {
        {"#cor sub v.grd = c_fsub.grd", "c_fsub.grd", "f - v"},
        {"v.grd sub #cor = c_subf.grd", "c_subf.grd", "v - f"},
        {"v.grd add #COR = c_add.grd", "c_add.grd", "v + f"},
        {"#cor add v.grd = c_add2.grd", "c_add2.grd", "f + v"},
        {"#cor div v.grd = c_fdiv.grd", "c_fdiv.grd", "f / v"},
        {"v.grd div #cor = c_divf.grd", "c_divf.grd", "v / f"},
        {"#cor mul v.grd = c_mul.grd", "c_mul.grd", "f * v"},
    };
    // f = 2 omega sin(lat) in 1e-5/s at the latitudes of the grid's rows.
    std::string script = kPyHead;
    script += "v = g['v'].astype(np.float64).reshape(7, 10)\n"
              "lat = 44.5 - 1.5 * np.arange(7)\n"
              "f = np.repeat((2 * 7.292e-5 * 1e5 * np.sin(np.radians(lat)))[:, None], 10, axis=1)\n"
              "with np.errstate(divide='ignore', invalid='ignore'):\n";
    for (const Case &c : cases)
        script += std::string("    put('") + c.out + "', " + c.ref + ")\n";
    const auto ref = python(script, line("v", v.v));
    for (const Case &c : cases) {
        const Result r = command(c.cmd);
        EXPECT_EQ(r.rc, 1) << c.cmd << r.err;
        Output o;
        read_back(path(c.out), &o);
        ASSERT_EQ(o.rc, 1) << c.cmd;
        expect_values(ref.at(c.out), o.r.grid, o.size(), c.cmd, 1e-5);
    }
    // The Coriolis parameter has no remainder: nothing is written.
    const Result r = command("#cor mod v.grd = c_mod.grd");
    EXPECT_EQ(r.rc, 0);
    EXPECT_TRUE(has(r.err, "GRD_math_command: No Coriolis combination for: mod")) << r.err;
    EXPECT_FALSE(exists("c_mod.grd"));
}

// ---- Printing ---------------------------------------------------------------------------

namespace {

// The last line a command printed (the reader's own messages come first).
std::string last_line(const std::string &out) {
    std::string text = out;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t nl = text.rfind('\n');
    return nl == std::string::npos ? text : text.substr(nl + 1);
}

std::vector<double> numbers(const std::string &text) {
    std::istringstream in(text);
    std::vector<double> v;
    double x;
    while (in >> x)
        v.push_back(x);
    return v;
}

} // namespace

TEST_F(CalcCommand, StatisticsAndDescriptions) {
    const Input t = temperature();
    save("t.grd", t);
    Input none = t;
    for (float &x : none.v)
        x = M;
    save("none.grd", none);

    std::string script = kPyHead;
    script += "t = g['t'].astype(np.float64)\n"
              "print('max', t.max())\nprint('min', t.min())\nprint('maxmin', t.max(), t.min())\n"
              "print('avg', t.mean())\nprint('avgnum', t.mean(), t.count())\n";
    const auto ref = python(script, line("t", t.v));
    for (const char *op : {"max", "min", "maxmin", "avg", "avgnum", "MAX"}) {
        std::string key = op;
        for (char &c : key)
            c = char(std::tolower(c));
        const Result r = command(std::string(op) + " t.grd =");
        EXPECT_EQ(r.rc, 1) << op;
        const std::string got = last_line(r.out);
        // "%f " for each statistic, then the newline.
        EXPECT_EQ(got.back(), ' ') << got;
        const std::vector<double> v = numbers(got);
        ASSERT_EQ(v.size(), ref.at(key).size()) << op << ": " << got;
        for (std::size_t k = 0; k < v.size(); ++k)
            EXPECT_NEAR(v[k], ref.at(key)[k], 2e-4) << op;
    }
    // A grid without any present value prints the missing form.
    EXPECT_EQ(last_line(command("max none.grd =").out), "-- ");
    EXPECT_EQ(last_line(command("maxmin none.grd =").out), "-- ");
    EXPECT_EQ(last_line(command("avgnum none.grd =").out), "-- 0.000000 ");

    const Result info = command("info t.grd =");
    EXPECT_EQ(info.rc, 1);
    EXPECT_TRUE(has(info.out, "12Z  5 JAN 24-850 mb Temperature (K)\n")) << info.out;
    EXPECT_TRUE(has(info.out, "Model: 1 Ltype: 100 Level: 850 Var: 11 [K] Hour: 0 Grid: 0\n")) << info.out;
    EXPECT_TRUE(has(info.out, "Proj: 2 Lat: 40.00 Lon: -96.00 NX: 10 NY: 7 DX: 2.00 DY: 1.50\n")) << info.out;
    EXPECT_TRUE(has(info.out, "Domain: latlon:")) << info.out;
    const Result dom = command("domain t.grd");
    EXPECT_EQ(dom.rc, 0) << "fewer than three words";
    const Result dom2 = command("domain t.grd =");
    EXPECT_EQ(dom2.rc, 1);
    EXPECT_EQ(last_line(dom2.out).substr(0, 7), "latlon:") << dom2.out;
    EXPECT_TRUE(has(dom2.out, ",40.000,-96.000,10,7,2.0000,1.5000\n")) << dom2.out;
    EXPECT_FALSE(has(dom2.out, "Domain: "));

    // Nothing to read, nothing printed (the first file is read by its date).
    const Result absent = command("max absent.grd =");
    EXPECT_EQ(absent.rc, 0);
    EXPECT_TRUE(has(absent.err, "GRD_read_file_date: Unable to open grid file: " + path("absent.grd")))
        << absent.err;
}

namespace {

// Reference of values at places: bilinear interpolation on the main grid,
// missing outside or next to a missing value; stations from the station
// file itself.
const char *const kPyPlaces = R"(
t = g['t'].astype(np.float64).reshape(7, 10)
stations = {}
with open(sys.argv[1]) as f:
    for ln in f:
        w = ln.split()
        stations[w[3]] = (float(w[5]), float(w[6]))
def value(gx, gy):
    if gx < 0 or gy < 0 or gx > 9 or gy > 6:
        return -9999.0
    i, j = min(int(gx), 8), min(int(gy), 5)
    fx, fy = gx - i, gy - j
    c = t[j:j + 2, i:i + 2]
    if np.ma.count_masked(c):
        return -9999.0
    return (1 - fy) * (1 - fx) * c[0, 0] + (1 - fy) * fx * c[0, 1] + fy * (1 - fx) * c[1, 0] + fy * fx * c[1, 1]
def grid(lat, lon):
    return (lon + 105.0) / 2.0, (44.5 - lat) / 1.5
for name, place in (('kord', stations['KORD']), ('kden', stations['KDEN']), ('ll', (40.0, -90.0)),
                    ('ll2', (38.2, -100.4))):
    gx, gy = grid(*place)
    print(name, value(gx, gy), gx, gy)
print('pt', value(4.5, 3.0))
print('nearmiss', value(3.5, 1.5))
)";

} // namespace

TEST_F(CalcCommand, ValuesAtStationsPlacesAndGridPoints) {
    const Input t = temperature();
    save("t.grd", t);
    std::string script = std::string(kPyHead) + kPyPlaces;
    // The script takes the station file as its argument.
    const std::string runner = "import sys\nsys.argv = ['', '" ZEQ_TEST_DATA "/sao_test.cty']\n";
    const auto ref = python(runner + script, line("t", t.v));

    const Result r = command("val t.grd id KORD ll 40,-90 4.5,3 id=KDEN ll:38.2,-100.4 3.5,1.5 id XXXX");
    EXPECT_EQ(r.rc, 1) << r.err;
    // The values follow the reader's and the station look-ups' messages.
    std::vector<double> got;
    std::istringstream lines(r.out);
    std::string ln;
    while (std::getline(lines, ln))
        if (!ln.empty() && (std::isdigit(static_cast<unsigned char>(ln[0])) || ln[0] == '-'))
            got.push_back(std::stod(ln));
    const std::vector<double> want = {
        ref.at("kord")[0], ref.at("ll")[0],       ref.at("pt")[0], ref.at("kden")[0],
        ref.at("ll2")[0],  ref.at("nearmiss")[0], -9999.0};
    ASSERT_EQ(got.size(), want.size()) << r.out;
    for (std::size_t k = 0; k < want.size(); ++k)
        EXPECT_NEAR(got[k], want[k], 2e-4) << k << "\n" << r.out;
    EXPECT_EQ(want[5], -9999.0) << "a point next to the missing value";
    EXPECT_TRUE(has(r.err, "GRD_math_command: Station not found: XXXX")) << r.err;

    // The value format comes from plot_format; one that is not a single
    // float conversion is refused.
    RES_put("plot_format", "%.2f K");
    const Result f = command("val t.grd 4.5,3");
    char want_text[32];
    std::snprintf(want_text, sizeof want_text, "%.2f K", ref.at("pt")[0]);
    EXPECT_EQ(last_line(f.out), want_text);
    RES_put("plot_format", "%s%n");
    const Result bad = command("val t.grd 4.5,3");
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(has(bad.err, "GRD_math_command: Invalid value format: %s%n")) << bad.err;
    EXPECT_NEAR(std::stod(last_line(bad.out)), ref.at("pt")[0], 2e-4);

    // A location that cannot be read ends the command.
    for (const char *c :
         {"val t.grd 4.5;3", "val t.grd ll", "val t.grd id", "val t.grd ll x,y", "val t.grd ida"})
        EXPECT_EQ(command(c).rc, 0) << c;
}

TEST_F(CalcCommand, GridCoordinatesOfPlacesAndPlacesOfGridPoints) {
    const Input t = temperature();
    save("t.grd", t);
    std::string script = std::string(kPyHead) + kPyPlaces;
    const std::string runner = "import sys\nsys.argv = ['', '" ZEQ_TEST_DATA "/sao_test.cty']\n";
    const auto ref = python(runner + script, line("t", t.v));

    const Result ll = command("loc t.grd ll 40,-90");
    EXPECT_EQ(ll.rc, 1);
    const std::vector<double> g1 = numbers(last_line(ll.out));
    ASSERT_EQ(g1.size(), 2u);
    EXPECT_NEAR(g1[0], ref.at("ll")[1], 1e-4);
    EXPECT_NEAR(g1[1], ref.at("ll")[2], 1e-4);
    const Result id = command("loc t.grd id KORD");
    const std::vector<double> g2 = numbers(last_line(id.out));
    ASSERT_EQ(g2.size(), 2u) << id.out;
    EXPECT_NEAR(g2[0], ref.at("kord")[1], 1e-4);
    EXPECT_NEAR(g2[1], ref.at("kord")[2], 1e-4);
    // Grid point (4, 2): 8 degrees east of 105 W, 3 degrees south of 44.5 N.
    const std::vector<double> p = numbers(last_line(command("loc t.grd 4,2").out));
    ASSERT_EQ(p.size(), 2u);
    EXPECT_NEAR(p[0], 41.5, 1e-4);
    EXPECT_NEAR(p[1], -97.0, 1e-4);
    EXPECT_EQ(command("loc t.grd 4;2").rc, 0);
    EXPECT_EQ(command("loc t.grd ll").rc, 0);

    // On a polar stereographic grid the two directions invert each other.
    Input ps;
    ps.dom = latlon(55.0f, -100.0f, 21, 17, 1.0f, 1.0f);
    ps.dom.proj = 1;
    ps.dom.plat = 90.0f;
    ps.dom.plon = -105.0f;
    ps.v = field(ps.dom, [](int i, int j) { return i + 100.0 * j; });
    save("ps.grd", ps);
    const std::vector<double> gp = numbers(last_line(command("loc ps.grd ll 50,-110").out));
    ASSERT_EQ(gp.size(), 2u);
    char word[64];
    std::snprintf(word, sizeof word, "%.6f,%.6f", gp[0], gp[1]);
    const std::vector<double> back = numbers(last_line(command(std::string("loc ps.grd ") + word).out));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_NEAR(back[0], 50.0, 1e-3);
    EXPECT_NEAR(back[1], -110.0, 1e-3);
    // The value there is the field i + 100 j at that grid position.
    const std::vector<double> v = numbers(last_line(command("val ps.grd ll=50,-110").out));
    ASSERT_EQ(v.size(), 1u);
    EXPECT_NEAR(v[0], gp[0] + 100.0 * gp[1], 1e-2);
}

// ---- Mosaic, units, remapping and cut-off ----------------------------------------------

TEST_F(CalcCommand, PiecesIntoAMosaic) {
    // Four 4 x 3 pieces of 1 degree sharing their edges: a and b on top, c and
    // d below; together 7 x 5 points from 100 W to 94 W and 45 N to 41 N.
    const Domain doms[] = {latlon(44.0f, -98.5f, 4, 3, 1.0f, 1.0f), latlon(44.0f, -95.5f, 4, 3, 1.0f, 1.0f),
                           latlon(42.0f, -98.5f, 4, 3, 1.0f, 1.0f), latlon(42.0f, -95.5f, 4, 3, 1.0f, 1.0f)};
    const char *names[] = {"a.grd", "b.grd", "c.grd", "d.grd"};
    std::string input;
    for (int k = 0; k < 4; ++k) {
        Input p;
        p.dom = doms[k];
        p.v = field(p.dom, [k](int i, int j) { return 1000.0 * (k + 1) + 10.0 * j + i; });
        save(names[k], p);
        input += line(std::string("p") + char('0' + k), p.v);
    }
    std::string script = kPyHead;
    script += R"(
def mosaic(order):
    m = np.full((5, 7), -9999.0)
    for place, k in enumerate(order):
        if k is None:
            continue
        r, c = 2 * (place // 2), 3 * (place % 2)
        m[r:r + 3, c:c + 4] = g['p%d' % k].filled(-9999.0).reshape(3, 4)
    return m
put('all', mosaic([0, 1, 2, 3]))
put('gap', mosaic([0, None, 2, 3]))
)";
    const auto ref = python(script, input);

    const Result r = command("piece 2x2 a.grd b.grd c.grd d.grd = m.grd");
    EXPECT_EQ(r.rc, 1) << r.err;
    Output o;
    read_back(path("m.grd"), &o);
    ASSERT_EQ(o.rc, 1);
    EXPECT_EQ(o.r.domain.nx, 7);
    EXPECT_EQ(o.r.domain.ny, 5);
    EXPECT_NEAR(o.r.domain.clat, 43.0f, 1e-4);
    EXPECT_NEAR(o.r.domain.clon, -97.0f, 1e-4);
    expect_values(ref.at("all"), o.r.grid, o.size(), "mosaic");

    // A file that cannot be read leaves its place empty.
    const Result g = command("piece 2x2 a.grd nofile.grd c.grd d.grd = gap.grd");
    EXPECT_EQ(g.rc, 1);
    Output og;
    read_back(path("gap.grd"), &og);
    ASSERT_EQ(og.rc, 1);
    expect_values(ref.at("gap"), og.r.grid, og.size(), "mosaic with a gap");

    // No piece read: no mosaic written, though the grid table still holds
    // the one before.
    EXPECT_EQ(sequence({"piece 2x2 a.grd b.grd c.grd d.grd = m1.grd",
                        "piece 2x2 nofile.grd other.grd = none.grd", "piece 1x1 d.grd = m2.grd"}),
              (std::vector<int>{1, 0, 1}));
    EXPECT_TRUE(exists("m1.grd"));
    EXPECT_FALSE(exists("none.grd"));
    EXPECT_TRUE(exists("m2.grd"));
    // Pieces of another size are refused, naming both files.
    Input big;
    big.dom = latlon(44.0f, -95.0f, 5, 3, 1.0f, 1.0f);
    big.v = field(big.dom, [](int i, int j) { return i + j; });
    save("big.grd", big);
    const Result mixed = command("piece 2x1 a.grd big.grd = mixed.grd");
    EXPECT_EQ(mixed.rc, 0);
    EXPECT_TRUE(has(mixed.err, "GRD_math_command: Pieces of different grids: a.grd and big.grd"))
        << mixed.err;
    EXPECT_FALSE(exists("mixed.grd"));
    EXPECT_EQ(command("piece 2 a.grd b.grd = bad.grd").rc, 0);
    EXPECT_EQ(command("piece 0x2 a.grd b.grd = bad.grd").rc, 0);
}

TEST_F(CalcCommand, UnitsRemappingAndCutoff) {
    const Input t = temperature();
    save("t.grd", t);
    Input s;
    s.v = field(s.dom, [](int i, int j) { return 270.0 + 0.5 * i * i - 1.25 * j; });
    save("s.grd", s);
    std::string script = kPyHead;
    script += R"(
t = g['t'].astype(np.float64)
s = g['s'].astype(np.float64).reshape(7, 10)
put('unit', t - 273.15)
put('lower', np.ma.where(t < 260, 0.0, t))
put('higher', np.ma.where(t > 260, -1.0, t))
put('remap', s[1:4, 2:7])
)";
    const auto ref = python(script, line("t", t.v) + line("s", s.v));

    EXPECT_EQ(command("unit t.grd C = tc.grd").rc, 1);
    Output u;
    read_back(path("tc.grd"), &u);
    ASSERT_EQ(u.rc, 1);
    EXPECT_STREQ(u.r.units, "C");
    expect_values(ref.at("unit"), u.r.grid, u.size(), "unit", 1e-5);

    EXPECT_EQ(command("cutoff t.grd lower 260 0 = lo.grd").rc, 1);
    EXPECT_EQ(command("cutoff t.grd HIGHER 260 -1 = hi.grd").rc, 1);
    for (const char *name : {"lower", "higher"}) {
        Output c;
        read_back(path(std::string(name) == "lower" ? "lo.grd" : "hi.grd"), &c);
        ASSERT_EQ(c.rc, 1);
        expect_values(ref.at(name), c.r.grid, c.size(), name);
    }
    EXPECT_EQ(command("cutoff t.grd lower 260 0").rc, 0) << "no word after the value";

    // The remapped domain's points fall on points of the input.
    EXPECT_EQ(command("remap s.grd ll,41.5,-97,5,3,2,1.5 = rm.grd").rc, 1);
    Output rm;
    read_back(path("rm.grd"), &rm);
    ASSERT_EQ(rm.rc, 1);
    EXPECT_EQ(rm.r.domain.nx, 5);
    EXPECT_EQ(rm.r.domain.ny, 3);
    expect_values(ref.at("remap"), rm.r.grid, rm.size(), "remap", 1e-6);
    EXPECT_EQ(command("remap s.grd nowhere_at_all = rm2.grd").rc, 0);
    EXPECT_FALSE(exists("rm2.grd"));
}

// ---- Several files ------------------------------------------------------------------------

TEST_F(CalcCommand, PointByPointOverSeveralFiles) {
    Input a, b, c;
    a.var = b.var = c.var = 7;
    a.units = b.units = c.units = "m";
    a.v = field(a.dom, [](int i, int j) { return 1500.0 + 7.0 * i - 3.0 * j; });
    b.v = field(b.dom, [](int i, int j) { return 1490.0 + 2.0 * i * j - 5.0 * i; });
    c.v = field(c.dom, [](int i, int j) { return 1510.0 - 4.0 * i + 6.0 * j; });
    a.v[3] = M;
    b.v[40] = M;
    save("a.grd", a);
    save("b.grd", b, 3);
    save("c.grd", c);
    std::string script = kPyHead;
    script += R"(
a, b, c = (g[k].astype(np.float64) for k in 'abc')
put('avg', (a + b + c) / 3)
put('sum', a + c)
put('max', np.ma.maximum(np.ma.maximum(a, b), c))
put('min', np.ma.minimum(a, b))
)";
    const auto ref = python(script, line("a", a.v) + line("b", b.v) + line("c", c.v));
    struct Case {
        const char *cmd;
        const char *out;
        const char *ref;
    };
    const Case cases[] = {
        {"avg a.grd b.grd c.grd = f_avg.grd", "f_avg.grd", "avg"},
        // A file that cannot be read is passed over.
        {"sum a.grd nofile.grd c.grd = f_sum.grd", "f_sum.grd", "sum"},
        {"max a.grd b.grd c.grd = f_max.grd", "f_max.grd", "max"},
        {"min a.grd b.grd = f_min.grd", "f_min.grd", "min"},
    };
    for (const Case &k : cases) {
        const Result r = command(k.cmd);
        EXPECT_EQ(r.rc, 1) << k.cmd << r.err;
        Output o;
        read_back(path(k.out), &o);
        ASSERT_EQ(o.rc, 1) << k.cmd;
        expect_values(ref.at(k.ref), o.r.grid, o.size(), k.cmd);
    }
    // The abbreviation after '-' gives the result its parameter number.
    EXPECT_EQ(command("avg-temp a.grd c.grd = f_avg2.grd").rc, 1);
    Output o;
    read_back(path("f_avg2.grd"), &o);
    ASSERT_EQ(o.rc, 1);
    EXPECT_EQ(o.r.var, VAR_search_var_num("temp"));

    // A grid of another domain is refused, naming both files.
    Input other;
    other.dom = latlon(41.0f, -96.0f, 10, 7, 2.0f, 1.5f);
    other.v = a.v;
    save("other.grd", other);
    const Result r = command("max a.grd b.grd other.grd = f_bad.grd");
    EXPECT_EQ(r.rc, 0);
    EXPECT_TRUE(has(r.err, "GRD_math_file: Grids of different domains: a.grd and other.grd")) << r.err;
    EXPECT_FALSE(exists("f_bad.grd"));
}

TEST(CalcCommandFiles, OtherFunctionNamesAndAnEmptyFirstSlot) {
    const char *files[] = {"x.grd"};
    EXPECT_EQ(GRD_math_file("copy", files, 1), -1);
    EXPECT_EQ(GRD_math_file("avg2", files, 1), -1);
    GRD_init_grids();
    auto r = run_child([&] { return GRD_math_file("max-temp", files, 1); });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("GRD_math_file: Invalid grids\n"), std::string::npos) << r.err;
}

// ---- Calculator functions -------------------------------------------------------------

TEST_F(CalcCommand, ThermodynamicFunctions) {
    const Input t = temperature();
    Input td = t;
    td.var = 17; // dew point
    for (float &x : td.v)
        if (x != M) x -= 6.0f;
    td.v[60] = M;
    save("t.grd", t);
    save("td.grd", td, 3);
    std::string script = kPyHead;
    script += R"(
t = g['t'].astype(np.float64)
td = g['td'].astype(np.float64)
p = 850.0
put('theta', t * (1000.0 / p) ** 0.286)
# Bolton (1980) equivalent potential temperature.
e = 6.112 * np.ma.exp(17.67 * (td - 273.15) / (td - 273.15 + 243.5))
r = 622.0 * e / (p - e)
tl = 1.0 / (1.0 / (td - 56.0) + np.ma.log(t / td) / 800.0) + 56.0
put('thetae', t * (1000.0 / p) ** (0.2854 * (1.0 - 0.28e-3 * r)) * np.ma.exp((3.376 / tl - 0.00254) * r * (1.0 + 0.81e-3 * r)))
)";
    const auto ref = python(script, line("t", t.v) + line("td", td.v));

    const Result r = command("thetae t.grd td.grd = te.grd");
    EXPECT_EQ(r.rc, 1) << r.err;
    Output te;
    read_back(path("te.grd"), &te);
    ASSERT_EQ(te.rc, 1);
    EXPECT_STREQ(te.r.units, "K");
    EXPECT_EQ(te.r.var, VAR_search_var_num("thetae"));
    // Bolton's formula is an independent approximation: within 1 K.
    expect_values(ref.at("thetae"), te.r.grid, te.size(), "thetae", 0.0, 1.0);

    EXPECT_EQ(command("theta t.grd = th.grd").rc, 1);
    Output th;
    read_back(path("th.grd"), &th);
    ASSERT_EQ(th.rc, 1);
    expect_values(ref.at("theta"), th.r.grid, th.size(), "theta", 1e-5);
}

TEST_F(CalcCommand, AFunctionThatFailsWritesNothing) {
    const Input t = temperature();
    save("t.grd", t);
    struct Case {
        const char *cmd;
        const char *err;
    };
    const Case cases[] = {
        {"nosuch t.grd = x1.grd", "GRD_math: Math function not available: nosuch"},
        // The thermodynamic functions take no literal numbers.
        {"dewp t.grd #50 = x2.grd", "GRD_math: Invalid grids"},
        {"grad t.grd = x3.grd", "GRD_math_command: Function without a grid result: grad"},
        {"wind t.grd t.grd = x4.grd", "GRD_math_command: Function without a grid result: wind"},
        {"thetae t.grd t.grd t.grd t.grd t.grd = x5.grd", "GRD_math_command: Too many operands for: thetae"},
        {"add t.grd #5x = x6.grd", "GRD_math_command: Invalid number: #5x"},
        {"t.grd add #abc = x7.grd", "GRD_math_command: Invalid number: #abc"},
        {"thetae t.grd nofile.grd = x8.grd", "GRD_read_file: Unable to open grid file"},
    };
    for (const Case &c : cases) {
        const Result r = command(c.cmd);
        EXPECT_EQ(r.rc, 0) << c.cmd;
        EXPECT_TRUE(has(r.err, c.err)) << c.cmd << ": " << r.err;
    }
    for (const char *name : {"x1.grd", "x2.grd", "x3.grd", "x4.grd", "x5.grd", "x6.grd", "x7.grd", "x8.grd"})
        EXPECT_FALSE(exists(name)) << name;
    // A literal operand of a function that takes one.
    EXPECT_EQ(command("add t.grd #5 = x9.grd").rc, 1);
    EXPECT_TRUE(exists("x9.grd"));
}

TEST_F(CalcCommand, OperandsOfAnotherDomainAreRefused) {
    const Input t = temperature();
    save("t.grd", t);
    Input other = t;
    other.dom.dx = 1.0f;
    save("other.grd", other);
    for (const char *c : {"t.grd add other.grd = y1.grd", "thetae t.grd other.grd = y2.grd"}) {
        const Result r = command(c);
        EXPECT_EQ(r.rc, 0) << c;
        EXPECT_TRUE(has(r.err, "GRD_math_command: Grids of different domains: t.grd and other.grd")) << r.err;
    }
    EXPECT_FALSE(exists("y1.grd"));
    EXPECT_FALSE(exists("y2.grd"));
}

// ---- Output name, label, date label and value format ---------------------------------------

TEST_F(CalcCommand, OutputNameInfoAndDateLabel) {
    const Input t = temperature();
    save("t.grd", t);
    // The output convention gets the operator as key v and the input's date.
    EXPECT_EQ(command("t.grd add #1 = @o_%v_%y%m%d%h.grd").rc, 1);
    EXPECT_TRUE(exists("o_add_24010512.grd"));

    // v=ABBR: parameter number, key v and a rebuilt label.
    EXPECT_EQ(command("t.grd add #1 = @o_%v.grd v=thetae").rc, 1);
    Output v;
    read_back(path("o_thetae.grd"), &v);
    ASSERT_EQ(v.rc, 1);
    EXPECT_EQ(v.r.var, VAR_search_var_num("thetae"));
    EXPECT_STREQ(v.r.info, "850 mb Pseudo-adiabatic potential temperature (K)");
    EXPECT_STREQ(v.r.datim, "12Z  5 JAN 24");

    // Any other INFO is the label; DATIM replaces the date label; "-" keeps.
    EXPECT_EQ(command("t.grd add #1 = o_lab.grd Warmed 06Z_6_JAN").rc, 1);
    Output lab;
    read_back(path("o_lab.grd"), &lab);
    ASSERT_EQ(lab.rc, 1);
    EXPECT_STREQ(lab.r.info, "Warmed");
    EXPECT_STREQ(lab.r.datim, "06Z_6_JAN");
    EXPECT_EQ(command("t.grd add #1 = o_keep.grd - 06Z").rc, 1);
    Output keep;
    read_back(path("o_keep.grd"), &keep);
    ASSERT_EQ(keep.rc, 1);
    EXPECT_STREQ(keep.r.info, "850 mb Temperature (K)");
    EXPECT_STREQ(keep.r.datim, "06Z");

    // Long labels are cut to their fields.
    const std::string info(200, 'i'), datim(120, 'd');
    EXPECT_EQ(run_words({"t.grd", "add", "#1", "=", "o_long.grd", info, datim}).rc, 1);
    Output lg;
    read_back(path("o_long.grd"), &lg);
    ASSERT_EQ(lg.rc, 1);
    EXPECT_EQ(std::string(lg.r.info), info.substr(0, sizeof lg.r.info - 1));
    EXPECT_EQ(std::string(lg.r.datim), datim.substr(0, sizeof lg.r.datim - 1));

    // Without an output word the grid goes to standard output.
    const Result out = command("t.grd add #1 =");
    EXPECT_EQ(out.rc, 1);
    EXPECT_TRUE(has(out.out, "ZEQGRID")) << out.out;
}

TEST_F(CalcCommand, GridValueFormatFromTheParameterResource) {
    Input t;
    t.v = field(t.dom, [](int i, int j) { return 250.0 + i + 0.5 * j; });
    save("t.grd", t);
    RES_put("parameter", "labnorm,grdfmt:%8.3f");
    EXPECT_EQ(command("t.grd add #1 = f1.grd").rc, 1);
    const std::string f1 = read_file(path("f1.grd"));
    EXPECT_TRUE(has(f1, "\n 251.000\n 252.000\n")) << f1;
    RES_put("parameter", "GRDFMT=%6.1f");
    EXPECT_EQ(command("t.grd add #1 = f2.grd").rc, 1);
    const std::string f2 = read_file(path("f2.grd"));
    EXPECT_TRUE(has(f2, "\n 251.0\n 252.0\n")) << f2;
    Output o;
    read_back(path("f2.grd"), &o);
    ASSERT_EQ(o.rc, 1);
    EXPECT_EQ(o.r.grid[1], 252.0f);
}

// ---- File words ----------------------------------------------------------------------------

TEST_F(CalcCommand, FileWordsGridSpecsAndNameConventions) {
    // Two grids in one file: temperature, then dew point.
    const Input t = temperature();
    Input td = t;
    td.var = 17;
    for (float &x : td.v)
        if (x != M) x -= 4.0f;
    {
        int type = 2;
        const int fd = GRD_open(path("two.grd").c_str(), 1, &type);
        ASSERT_GE(fd, 0);
        GRD_info info{};
        GRD_putinfo(fd, &info);
        for (const Input *in : {&t, static_cast<const Input *>(&td)}) {
            GRD_report r;
            std::memset(&r, 0, sizeof r);
            GRD_init(&r);
            r.source = 1;
            r.var = in->var;
            r.ltype = 100;
            r.level = 850;
            r.time = 0;
            r.date = jan5();
            r.domain = in->dom;
            std::snprintf(r.units, sizeof r.units, "K");
            std::vector<float> v = in->v;
            r.grid = v.data();
            int num = 0;
            ASSERT_EQ(GRD_write(fd, &r, 0, &num), 0);
        }
        GRD_close(fd);
    }
    // The grid spec after '+' picks the dew point for the first word only: the
    // second word reads the file's first grid.
    EXPECT_EQ(command("two.grd+::dewp sub two.grd = dd.grd").rc, 1);
    Output dd;
    read_back(path("dd.grd"), &dd);
    ASSERT_EQ(dd.rc, 1);
    for (std::size_t k = 0; k < dd.size(); ++k)
        EXPECT_EQ(dd.r.grid[k], t.v[k] == M ? M : -4.0f) << k;

    // A name convention with the resource current names the file by date.
    write_file(path("conv"), "tdate " + dir.path() + "/%y%m%d%h_t.grd - 0\n");
    save("24010512_t.grd", t);
    RES_put("name_conv", path("conv").c_str());
    RES_put("current", "#2024010512");
    const Result r = command("max tdate =");
    EXPECT_EQ(r.rc, 1) << r.err;
    float max = M, min = M;
    GRD_report rec;
    std::memset(&rec, 0, sizeof rec);
    rec.domain = t.dom;
    std::vector<float> v = t.v;
    rec.grid = v.data();
    GRD_maxmin(&rec, &max, &min);
    EXPECT_NEAR(numbers(last_line(r.out)).at(0), max, 1e-3) << r.out;

    // The first file is read by its date with the word's own convention, and
    // its grid spec still chooses the grid: the dew point of a dated file.
    write_file(path("24010512_t.grd"), read_file(path("two.grd")));
    const Result rd = command("max tdate+::dewp =");
    EXPECT_EQ(rd.rc, 1) << rd.err;
    EXPECT_NEAR(numbers(last_line(rd.out)).at(0), max - 4.0f, 1e-3) << rd.out;
    EXPECT_TRUE(has(rd.out, "Reading from grid file: " + dir.path() + "/24010512_t.grd")) << rd.out;
    // Without a file for that date nothing is read.
    RES_put("current", "#2024010612");
    EXPECT_EQ(command("max tdate =").rc, 0);

    // Over-long words are refused, never cut.
    const std::string long_name(400, 'f');
    const Result lr = run_words({long_name, "add", "#1", "=", "o.grd"});
    EXPECT_EQ(lr.rc, 0);
    EXPECT_TRUE(has(lr.err, "GRD_math_command: Name too long")) << lr.err;
    const Result lo = run_words({"two.grd", "add", "#1", "=", long_name});
    EXPECT_EQ(lo.rc, 0);
    EXPECT_TRUE(has(lo.err, "GRD_math_command: Name too long")) << lo.err;
    const Result ls = run_words({"two.grd+" + std::string(60, 's'), "add", "#1", "=", "o.grd"});
    EXPECT_EQ(ls.rc, 0);
    EXPECT_TRUE(has(ls.err, "GRD_math_command: Grid spec too long")) << ls.err;
    EXPECT_FALSE(exists("o.grd"));
}
