// Point-data files as pictures, run by the plotting test driver: values at
// their stations with the file's labels (metafile positions, PostScript
// rendered by ghostscript), skip and each-field mode, the "rf:" map item; the
// gridding of stations sampling an analytic field compared with the NumPy
// Barnes reference through the netCDF file python3-netcdf4 reads, its reuse,
// the array growth; the grid output choice; the stand-alone contour driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "../graphics/render.h"
#include "plot/raw_plt.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/metafile.h"
#include "support/plot_driver.h"
#include "support/reference.h"

namespace {

using zeqtest::MetaPrimitive;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

constexpr const char *DOMAIN = "ps,40,-105,21,17,1";

// Two fields with formats and infos; KCOS's temperature missing.
const char *const OBS = "ZEQRAW\n12Z  5 JAN 24\n!Surface\nid lat lon\n"
                        "temp:Temperature:%.1f\ndewp:Dew_point:%.0f\n$\n"
                        "KDEN 39.85 -104.65 71.46 40\n"
                        "KCOS 38.82 -104.72 - 38\n"
                        "KGJT 39.13 -108.53 80 31\n"
                        "KCYS 41.15 -104.80 60.04 29\n";

struct Station {
    const char *id;
    float lat, lon;
};
const Station STATIONS[] = {{"KDEN", 39.85f, -104.65f},
                            {"KCOS", 38.82f, -104.72f},
                            {"KGJT", 39.13f, -108.53f},
                            {"KCYS", 41.15f, -104.80f}};

struct Drawn {
    zeqtest::ChildResult child;
    std::vector<MetaPrimitive> texts;
};

Drawn run(const TempDir &dir, const std::string &entry, std::vector<std::string> args) {
    args.insert(args.begin(), {"-de", "meta,out.meta", "-pd", DOMAIN, "-rp", dir.path(), "-cf", "none"});
    Drawn d;
    d.child = zeqtest::run_plot_driver(dir.path(), entry, args);
    for (const MetaPrimitive &m :
         zeqtest::meta_primitives(zeqtest::meta_records(read_file(dir.file("out.meta")))))
        if (m.rec.key == "TE") d.texts.push_back(m);
    return d;
}

Gpt at(float lat, float lon) {
    Domain d;
    EXPECT_EQ(DOM_decode(DOMAIN, &d), 1);
    MAP_domain(&d);
    Gpt p{};
    MAP_tran(lat, lon, &p.x, &p.y);
    return p;
}

// The texts drawn at map points (labels on the display excluded), in order,
// each checked against the station at its place.
std::vector<std::string> at_stations(const Drawn &d) {
    std::vector<std::string> out;
    for (const MetaPrimitive &m : d.texts) {
        for (const Station &s : STATIONS) {
            const Gpt p = at(s.lat, s.lon);
            if (std::fabs(m.rec.pts[0].x - p.x) < 1e-4 && std::fabs(m.rec.pts[0].y - p.y) < 1e-4)
                out.push_back(std::string(s.id) + "=" + m.rec.text);
        }
    }
    return out;
}

bool has_text(const Drawn &d, const std::string &t) {
    for (const MetaPrimitive &m : d.texts)
        if (m.rec.text == t) return true;
    return false;
}

// A named field with the file name's format, the column field, each field
// with the field formats, and skip 3; labels from the file and field infos.
TEST(RawPlotFile, ValuesAtStations) {
    TempDir dir;
    write_file(dir.file("obs.raw"), OBS);
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> want;
        const char *label;
    } cases[] = {
        {{"obs.raw-temp:%.2f"}, {"KDEN=71.46", "KGJT=80.00", "KCYS=60.04"}, "Surface-Temperature"},
        {{"obs.raw-1"}, {"KDEN=40", "KCOS=38", "KGJT=31", "KCYS=29"}, "Surface-Dew point"},
        {{"obs.raw"},
         {"KDEN=71.5", "KDEN=40", "KCOS=38", "KGJT=80.0", "KGJT=31", "KCYS=60.0", "KCYS=29"},
         "Surface"},
        {{"-pp", "skip=3", "obs.raw-dewp"}, {"KDEN=40", "KCYS=29"}, "Surface-Dew point"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.back());
        const Drawn d = run(dir, "raw_file", c.args);
        ASSERT_EQ(d.child.status, 0) << d.child.out << d.child.err;
        EXPECT_EQ(at_stations(d), c.want);
        EXPECT_TRUE(has_text(d, c.label)) << c.label;
        EXPECT_TRUE(has_text(d, "12Z  5 JAN 24"));
    }
    // A file that cannot be opened: the warning, nothing drawn, 0.
    const Drawn none = run(dir, "raw_file", {"nothere.raw-temp"});
    ASSERT_EQ(none.child.status, 0);
    EXPECT_NE(none.child.out.find("RAW_plot_file 0"), std::string::npos);
    EXPECT_NE(none.child.err.find("RAW_file_open: Unable to open file:" + dir.path() + "/nothere.raw"),
              std::string::npos);
    EXPECT_TRUE(at_stations(none).empty());
}

// A format from the file name that is no number format is replaced by the
// plain one with a warning.
TEST(RawPlotFile, BadFormatFromName) {
    TempDir dir;
    write_file(dir.file("obs.raw"), OBS);
    const Drawn d = run(dir, "raw_file", {"obs.raw-temp:%s%n"});
    ASSERT_EQ(d.child.status, 0) << d.child.out << d.child.err;
    EXPECT_EQ(at_stations(d), (std::vector<std::string>{"KDEN=71", "KGJT=80", "KCYS=60"}));
    EXPECT_NE(d.child.err.find("Bad number format"), std::string::npos) << d.child.err;
}

// On a category diagram (projection 24) the record number is the abscissa
// and the value the ordinate; the identifiers of the points inside the view
// are written under it, every record when the diagram's spacing is below 10.
TEST(RawPlotFile, CategoryDiagramLabels) {
    TempDir dir;
    write_file(dir.file("p.raw"),
               "ZEQRAW\n12Z  5 JAN 24\nCats\nAAA 40 -100 0.3\nBBB 41 -101 0.5\nCCC 42 -102 0.7\n");
    const zeqtest::ChildResult r = zeqtest::run_plot_driver(
        dir.path(), "raw_file",
        {"-de", "meta,out.meta", "-pd", "cat,0,0,10,10,1,1", "-rp", dir.path(), "-cf", "none", "p.raw"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::vector<std::string> labels, values;
    for (const MetaPrimitive &m :
         zeqtest::meta_primitives(zeqtest::meta_records(read_file(dir.file("out.meta"))))) {
        if (m.rec.key != "TE") continue;
        if (m.height == 0.015) labels.push_back(m.rec.text);
        if (m.rec.text == "0.3") {
            EXPECT_NEAR(m.rec.pts[0].x, 0.0, 1e-5);
            EXPECT_NEAR(m.rec.pts[0].y, 3.0, 1e-5);
        }
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"AAA", "BBB"}));
}

// On PostScript: each value's text comment at its station's page point, and
// a page that ghostscript renders without complaint.
TEST(RawPlotFile, PostScriptRendered) {
    if (!gkstest::have_gs()) FAIL() << "ghostscript is missing: install the Debian package ghostscript";
    TempDir dir;
    write_file(dir.file("obs.raw"), OBS);
    const zeqtest::ChildResult meta = zeqtest::run_plot_driver(
        dir.path(), "raw_file",
        {"-de", "meta,out.meta", "-pd", DOMAIN, "-rp", dir.path(), "-cf", "none", "obs.raw-temp"});
    ASSERT_EQ(meta.status, 0) << meta.err;
    const zeqtest::ChildResult ps = zeqtest::run_plot_driver(
        dir.path(), "raw_file",
        {"-de", "ps,out.ps", "-pd", DOMAIN, "-rp", dir.path(), "-cf", "none", "obs.raw-temp"});
    ASSERT_EQ(ps.status, 0) << ps.err;
    // The window and view of the map, to put plane points on the page.
    std::vector<std::string> comments;
    std::istringstream in(read_file(dir.file("out.ps")));
    std::string line;
    while (std::getline(in, line)) {
        char text[100] = "";
        double x = 0, y = 0;
        if (std::sscanf(line.c_str(), "%%%%TE:%lf %lf %99s", &x, &y, text) == 3) comments.push_back(text);
    }
    for (const char *v : {"71.5", "80.0", "60.0"})
        EXPECT_NE(std::find(comments.begin(), comments.end(), v), comments.end()) << v;
    const gkstest::GsRun check = gkstest::gs_check(dir.file("out.ps"));
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, "");
}

// The "rf:" map item draws the values without the file's labels.
TEST(RawPlotFile, MapItem) {
    TempDir dir;
    write_file(dir.file("obs.raw"), OBS);
    const zeqtest::ChildResult r =
        zeqtest::run_plot_driver(dir.path(), "map",
                                 {"-de", "meta,out.meta", "-pd", DOMAIN, "-fp", dir.path(), "-cf", "none",
                                  "-mf", "rf:obs.raw-temp:%.1f"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    Drawn d;
    for (const MetaPrimitive &m :
         zeqtest::meta_primitives(zeqtest::meta_records(read_file(dir.file("out.meta")))))
        if (m.rec.key == "TE") d.texts.push_back(m);
    EXPECT_EQ(at_stations(d), (std::vector<std::string>{"KDEN=71.5", "KGJT=80.0", "KCYS=60.0"}));
    EXPECT_FALSE(has_text(d, "Surface-Temperature"));
}

// Stations sampling an analytic field on a Lambert grid.
struct Sample {
    std::string file;
    std::string reference_input;
};

double field(double lat, double lon) {
    return 10 * std::sin(lat * 0.05) + 5 * std::cos(lon * 0.04) + 0.1 * (lat - 40) * (lon + 100);
}

Sample sample(int count, const Domain &d) {
    MAP_domain(&d);
    MAP_limits lim{};
    MAP_get_limits(&lim);
    Sample s;
    s.file = "ZEQRAW\n12Z  5 JAN 24\nAnalytic\n";
    std::ostringstream ref;
    ref.precision(9);
    ref << d.nx << ' ' << d.ny << ' ' << d.dx << ' ' << d.dy << ' ' << lim.x_min << ' ' << lim.y_max
        << " 3 1 1 0.2 -9999 1\n1\n"
        << count << '\n';
    unsigned seed = 11;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return float((seed >> 8) & 0xFFFF) / 65536.0f;
    };
    for (int k = 0; k < count; ++k) {
        // Inside the grid, so that every station enters the analysis.
        const float x = lim.x_min + (lim.x_max - lim.x_min) * next();
        const float y = lim.y_min + (lim.y_max - lim.y_min) * next();
        float lat = 0, lon = 0;
        MAP_untran(x, y, &lat, &lon);
        char line[100];
        std::snprintf(line, sizeof line, "S%04d %.4f %.4f %.4f\n", k, lat, lon, field(lat, lon));
        s.file += line;
        // The plane point the driver gets from the written position and value.
        float px = 0, py = 0, v = 0;
        std::sscanf(line + 6, "%f %f %f", &lat, &lon, &v);
        MAP_tran(lat, lon, &px, &py);
        ref << px << ' ' << py << ' ' << v << '\n';
    }
    s.reference_input = ref.str();
    return s;
}

const char *const LAMBERT = "lc,40,-100,17,13,1.5";

// The netCDF grid that python3-netcdf4 reads equals the NumPy Barnes
// reference; a second run reuses the file without analysing.
TEST(RawGridFile, NetcdfGridMatchesBarnesReference) {
    TempDir dir;
    Domain d;
    ASSERT_EQ(DOM_decode(LAMBERT, &d), 1);
    const Sample s = sample(150, d);
    write_file(dir.file("obs.raw"), s.file);
    const std::vector<std::string> args = {"-pd", LAMBERT, "-rp", dir.path(), "-gp",  dir.path(),
                                           "-of", "cdf",   "-ba", "-me",      "mess", "obs.raw"};
    const zeqtest::ChildResult first = zeqtest::run_plot_driver(dir.path(), "raw_grid", args);
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_NE(first.out.find("Reading in data from raw file...\n"), std::string::npos)
        << first.out << first.err;
    const std::string nc = dir.file("00000000_raw.nc");
    ASSERT_TRUE(FILE_exist(nc.c_str())) << first.out;

    const std::string ref = zeqtest::run_python(
        read_file(std::string(ZEQ_SOURCE_DIR) + "/tests/surface/object_ref.py"), s.reference_input);
    const std::vector<double> want = zeqtest::named_numbers(ref).at("G1");
    const std::string got_text =
        zeqtest::run_python("import netCDF4\n"
                            "v = netCDF4.Dataset('" +
                                nc +
                                "').variables['values'][0]\n"
                                "print('N', ' '.join('%.9g' % x for x in v.filled(-9999).ravel()))\n",
                            "", "python3-netcdf4");
    const std::vector<double> got = zeqtest::named_numbers(got_text).at("N");
    ASSERT_EQ(got.size(), want.size());
    std::vector<float> gotf(got.begin(), got.end());
    zeqtest::expect_grid_values(want, gotf.data(), gotf.size(), "netCDF grid", 1e-5, 1e-5);

    const zeqtest::ChildResult again = zeqtest::run_plot_driver(dir.path(), "raw_grid", args);
    ASSERT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(again.out.find("Reading in data"), std::string::npos) << again.out;
    EXPECT_EQ(again.out.substr(again.out.find("\ngrid ")), first.out.substr(first.out.find("\ngrid ")));
}

// 1000 stations grow the arrays once and all enter the analysis.
TEST(RawGridFile, ArraysGrow) {
    TempDir dir;
    Domain d;
    ASSERT_EQ(DOM_decode(LAMBERT, &d), 1);
    const Sample s = sample(1000, d);
    write_file(dir.file("obs.raw"), s.file);
    const zeqtest::ChildResult r =
        zeqtest::run_plot_driver(dir.path(), "raw_grid", {"-pd", LAMBERT, "-rp", dir.path(), "obs.raw"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::size_t first = r.out.find("Increasing arrays to 1200\n");
    EXPECT_NE(first, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Increasing arrays", first + 1), std::string::npos);
    const std::vector<double> want =
        zeqtest::named_numbers(
            zeqtest::run_python(read_file(std::string(ZEQ_SOURCE_DIR) + "/tests/surface/object_ref.py"),
                                s.reference_input))
            .at("G1");
    std::vector<float> got;
    std::istringstream in(r.out.substr(r.out.find("grid ")));
    std::string line;
    std::getline(in, line);
    for (double v; in >> v;)
        got.push_back(static_cast<float>(v));
    zeqtest::expect_grid_values(want, got.data(), got.size(), "grid", 1e-5, 1e-5);
}

// A file that cannot be opened leaves grid 0 alone and gives -1.
TEST(RawGridFile, MissingFile) {
    TempDir dir;
    const zeqtest::ChildResult r =
        zeqtest::run_plot_driver(dir.path(), "raw_grid", {"-pd", LAMBERT, "-rp", dir.path(), "nothere.raw"});
    EXPECT_NE(r.out.find("RAW_grid_file -1"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("grid "), std::string::npos) << r.out;
}

// The grid output of out_file: type, flag slot 17 and name convention.
TEST(RawGridFile, OutputChoice) {
    const struct {
        const char *out_file;
        int type;
        const char *conv;
    } cases[] = {
        {"zeqb:mygrd", 3, "mygrd"},        {"cdf", 11, "%G/%y%m%d%h_raw.nc"},
        {"zeq", 2, "%G/%y%m%d%h_raw.grd"}, {"none", 0, "%G/%y%m%d%h_raw.grd"},
        {"gif,cdf:cc", 11, "cc"},          {"other", 2, "other"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.out_file);
        RES_put("out_file", c.out_file);
        FLAG_set(FLAG_GRID_KIND, 99);
        EXPECT_EQ(RAW_grd_out_file(), c.type);
        EXPECT_EQ(FLAG_get(FLAG_GRID_KIND), c.type);
        char conv[FILE_NAME_SIZE];
        FILE_get_name_conv(conv, sizeof conv);
        EXPECT_NE(std::string(conv).find(std::string(" ") + c.conv + " "), std::string::npos) << conv;
    }
}

// Station arrays refuse indices past the next growth and fields outside 0-19.
TEST(RawOaData, Bounds) {
    RAW_init_oa_data();
    EXPECT_EQ(RAW_add_oa_field(20), -1);
    EXPECT_EQ(RAW_add_oa_field(-1), -1);
    EXPECT_EQ(RAW_add_oa_field(19), 0);
    EXPECT_EQ(RAW_chk_oa_data(19), 1);
    EXPECT_EQ(RAW_chk_oa_data(3), 0);
    EXPECT_EQ(RAW_add_oa_loc(5000, 1, 1), -1);
    EXPECT_EQ(RAW_add_oa_loc(799, 1, 1), 0);
    EXPECT_EQ(RAW_add_oa_loc(800, 1, 1), 0);
    EXPECT_EQ(RAW_add_oa_data(19, 5000, 1), -1);
    EXPECT_EQ(RAW_add_oa_data(19, 1100, 2), 0);
    RAW_free_oa_data();
}

// The stand-alone driver: two files gridded and contoured in turn (colour
// fill) with one colour bar, drawn on the display's transformation 1 once.
TEST(RawPlot, TwoFilesOneBar) {
    TempDir dir;
    Domain d;
    ASSERT_EQ(DOM_decode(LAMBERT, &d), 1);
    write_file(dir.file("a.raw"), sample(80, d).file);
    write_file(dir.file("b.raw"), sample(60, d).file);
    const zeqtest::ChildResult r =
        zeqtest::run_plot_driver(dir.path(), "raw_plot",
                                 {"-ba", "-me", "mess", "-de", "meta,out.meta", "-pd", LAMBERT, "-rp",
                                  dir.path(), "-pl", "cf", "-pp", "bar", "a.raw", "b.raw"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    auto count = [](const std::string &text, const std::string &what) {
        std::size_t n = 0;
        for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(r.out, "Reading in data from raw file...\n"), 2u) << r.out;
    const std::string meta = read_file(dir.file("out.meta"));
    const std::string before_labels = meta.substr(0, meta.find("ME Labels"));
    EXPECT_EQ(count(before_labels, "\nTR 1\n"), 1u);
    const std::size_t bar = before_labels.find("\nTR 1\n");
    ASSERT_NE(bar, std::string::npos);
    EXPECT_NE(meta.substr(bar, meta.find("\nTR ", bar + 1) - bar).find("\nFA "), std::string::npos);
    EXPECT_GT(count(meta, "\nFA "), 50u);
}

} // namespace
