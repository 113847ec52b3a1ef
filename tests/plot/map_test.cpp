// Map backgrounds: the map list (default choice, signs, size tests, regional
// blocks in list files, colours, missing files, overlays not drawn yet), the
// map database reader (binary and text records, short and unended files,
// pieces at the projection's seam and invisible points, areas clipped at the
// seam), the latitude-longitude net and the diagram grid, range circles, as
// a text metafile records them; and the plotting test driver's Lambert map
// of North America on PostScript, rendered by ghostscript and checked
// against PROJ's projection of known places.
#include "plot/map.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fields/maptran.h"
#include "fields/region.h"
#include "graphics/colors.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "graphics/gif.h"
#include "graphics/images.h"
#include "graphics/png.h"
#include "graphics/xdump.h"
#include "graphics/xwin.h"
#include "graphics/render.h"
#include "plot/plt_tool.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/zeq.h"
#include "support/child.h"
#include "support/grids.h"
#include "support/plot_driver.h"
#include "support/reference.h"

namespace {

using zeqtest::make_domain;
using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

const std::string FIXTURES = std::string(ZEQ_TEST_DATA) + "/map/";

// ---- Map files written by the tests ---------------------------------------------------------

using Record = std::vector<std::pair<float, float>>; // latitude, longitude

// The value of the first key within 1e-3 of v (the metafile writes six
// decimals), or `none`.
float value_near(const std::vector<std::pair<Gpt, float>> &keys, Gpt v, float none = -1e9f) {
    for (const auto &[k, value] : keys)
        if (std::fabs(k.x - v.x) < 1e-3f && std::fabs(k.y - v.y) < 1e-3f) return value;
    return none;
}

void put_be(std::string &out, const void *p, std::size_t n) {
    const auto *b = static_cast<const unsigned char *>(p);
    for (std::size_t i = n; i-- > 0;)
        out.push_back(static_cast<char>(b[i]));
}

// The binary form: big-endian count, box, offset and points; a zero-count
// record at the end unless `end` is false.
std::string binary_map(const std::vector<Record> &records, bool end = true) {
    std::string out;
    std::vector<Record> all = records;
    if (end) all.push_back({});
    for (const Record &r : all) {
        const auto count = static_cast<std::uint16_t>(r.size());
        put_be(out, &count, 2);
        const float box[4] = {0, 0, 0, 0};
        for (float b : box)
            put_be(out, &b, 4);
        const auto offset = static_cast<std::int32_t>(out.size());
        put_be(out, &offset, 4);
        for (const auto &[lat, lon] : r) {
            put_be(out, &lat, 4);
            put_be(out, &lon, 4);
        }
    }
    return out;
}

std::string text_map(const std::vector<Record> &records, bool end = true) {
    std::ostringstream out;
    for (const Record &r : records) {
        out << r.size() << " 0 0 0 0 0\n";
        for (const auto &[lat, lon] : r)
            out << lat << ' ' << lon << '\n';
    }
    if (end) out << "0 0 0 0 0 0\n";
    return out.str();
}

// A closed square ring.
Record square(float lat0, float lat1, float lon0, float lon1) {
    return {{lat0, lon0}, {lat0, lon1}, {lat1, lon1}, {lat1, lon0}, {lat0, lon0}};
}

// ---- The metafile read back -----------------------------------------------------------------

struct Prim {
    char kind; // 'L' polyline, 'F' fill area, 'T' text
    std::vector<Gpt> pts;
    std::string text;
    std::string item; // the last message before it ("Map: coast.map", "Map-lalo: ...")
    int colour;       // line colour of a polyline, fill colour of an area
    int hor;          // text alignment in force
    int vert;
};

std::vector<Prim> read_meta(const std::string &meta) {
    std::vector<Prim> out;
    std::istringstream in(meta);
    std::string line, item;
    int line_colour = -9, fill_colour = -9, hor = 0, vert = 0;
    bool open = false;
    const auto points = [&](std::istringstream &words) {
        std::string w;
        while (words >> w) {
            Gpt p{};
            if (std::sscanf(w.c_str(), "%f,%f", &p.x, &p.y) == 2) out.back().pts.push_back(p);
        }
    };
    while (std::getline(in, line)) {
        if (open && line.starts_with("   ")) {
            std::istringstream words(line);
            points(words);
            continue;
        }
        open = false;
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "ME") {
            item = line.substr(3);
        } else if (key == "PL_CLR") {
            words >> line_colour;
        } else if (key == "FA_CLR") {
            words >> fill_colour;
        } else if (key == "TE_ALGN") {
            words >> hor >> vert;
        } else if (key == "PL" || key == "FA") {
            int n = 0;
            words >> n;
            out.push_back(
                {key == "PL" ? 'L' : 'F', {}, "", item, key == "PL" ? line_colour : fill_colour, 0, 0});
            points(words);
            open = true;
        } else if (key == "TE") {
            // "TE x,y text": the text after one blank, its own blanks kept.
            Gpt p{};
            const std::size_t blank = line.find(' ', 3);
            if (std::sscanf(line.c_str(), "TE %f,%f", &p.x, &p.y) == 2 && blank != std::string::npos)
                out.push_back({'T', {p}, line.substr(blank + 1), item, 0, hor, vert});
        }
    }
    return out;
}

// Which map items drew what: "land.map:F coast.map:L" in the order drawn.
std::string drawn_items(const std::vector<Prim> &prims) {
    std::string out;
    std::set<std::string> seen;
    for (const Prim &p : prims) {
        if (!p.item.starts_with("Map: ") || p.kind == 'T') continue;
        const std::string key = p.item.substr(5) + ":" + p.kind;
        if (seen.insert(key).second) out += (out.empty() ? "" : " ") + key;
    }
    return out;
}

std::vector<const Prim *> of_kind(const std::vector<Prim> &prims, char kind, const std::string &item = "") {
    std::vector<const Prim *> out;
    for (const Prim &p : prims)
        if (p.kind == kind && (item.empty() || p.item.starts_with(item))) out.push_back(&p);
    return out;
}

std::vector<const Prim *> texts(const std::vector<Prim> &prims, const std::string &text) {
    std::vector<const Prim *> out;
    for (const Prim &p : prims)
        if (p.kind == 'T' && p.text == text) out.push_back(&p);
    return out;
}

template <typename F> std::string stderr_of(F f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

// A plot on a text metafile; the working directory is a fresh directory
// that holds the map and list files (tables missing there come from the
// system's data directories).
class MapPlot {
public:
    explicit MapPlot(const Domain &domain) : domain_(domain) {
        EXPECT_EQ(chdir(dir_.path().c_str()), 0);
        RES_put("device", ("meta," + dir_.file("plot.meta")).c_str());
        EXPECT_EQ(PLT_open(1.0f), 0);
        EXPECT_EQ(MAP_setup(&domain_), 0);
    }
    void write(const std::string &name, const std::string &bytes) const {
        write_file(dir_.file(name), bytes);
    }
    void copy_fixture(const std::string &name) const {
        std::filesystem::copy_file(FIXTURES + name, dir_.file(name));
    }
    std::string file(const std::string &name) const { return dir_.file(name); }
    // The primitives drawn, kept with the plot.
    const std::vector<Prim> &close() {
        EXPECT_EQ(PLT_close(), 0);
        prims_ = read_meta(read_file(dir_.file("plot.meta")));
        return prims_;
    }

private:
    TempDir dir_;
    std::vector<Prim> prims_;
    Domain domain_;
};

const Domain WORLD = make_domain(2, 0, 0, 361, 181, 1, 1); // x -180..180, y -90..90

// A latitude-longitude map centred on clat, clon whose height is `vert` degrees.
Domain latlon(float clat, float clon, float vert) {
    return make_domain(2, clat, clon, 41, 2, 1, vert);
}

// ---- The map list --------------------------------------------------------------------------

// Without map_file the first draw chooses zeq.map for North America (centre
// strictly inside 25..80 N, 160..65 W, height below 75), else cont.map and
// country.map, and keeps its choice for later draws.
TEST(MapList, DefaultChoiceKeptAfterwards) {
    const struct {
        Domain first;
        const char *want;
    } cases[] = {
        {latlon(40, -100, 20), "zeq.map:L"},
        {latlon(50, 10, 20), "cont.map:L country.map:L"},
        {latlon(40, -100, 75), "cont.map:L country.map:L"},
        {latlon(25, -100, 20), "cont.map:L country.map:L"},
        {latlon(40, -65, 20), "cont.map:L country.map:L"},
    };
    for (const auto &c : cases) {
        zeqtest::ChildResult r = zeqtest::run_child([&] {
            MapPlot plot(c.first);
            for (const char *name : {"zeq.map", "cont.map", "country.map"})
                plot.write(name,
                           text_map({{{c.first.clat, c.first.clon - 1}, {c.first.clat, c.first.clon + 1}}}));
            MAP_draw(5);
            // The other kind of domain: the choice stays.
            Domain other = c.first.clon < -60 ? latlon(50, 10, 20) : latlon(40, -100, 20);
            MAP_setup(&other);
            MAP_draw(5);
            std::printf("items=%s\n", drawn_items(plot.close()).c_str());
            return 0;
        });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("items=" + std::string(c.want) + "\n"), std::string::npos)
            << r.out << c.first.clat << " " << c.first.clon << " " << c.first.dy;
    }
}

// The signs choose items by the flag's bits: "-" bit 1, "+" bit 2, none bit 4;
// with the map switch off nothing is drawn.
TEST(MapList, SignFlags) {
    const struct {
        int flag;
        const char *want;
    } cases[] = {
        {5, "land.map:F coast.map:L"},
        {1, "land.map:F"},
        {6, "coast.map:L top.map:L"},
        {2, "top.map:L"},
        {4, "coast.map:L"},
        {0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flag);
        MapPlot plot(WORLD);
        plot.write("land.map", binary_map({square(10, 20, 10, 20)}));
        plot.write("coast.map", text_map({{{0, 0}, {5, 5}}}));
        plot.write("top.map", text_map({{{0, 0}, {-5, 5}}}));
        RES_put("map_file", "-land.map:fi=0,coast.map,+top.map");
        EXPECT_EQ(MAP_draw(c.flag), 0);
        EXPECT_EQ(drawn_items(plot.close()), c.want);
    }
    MapPlot plot(WORLD);
    plot.write("coast.map", text_map({{{0, 0}, {5, 5}}}));
    RES_put("map_file", "coast.map");
    FLAG_setplot(8, 0);
    EXPECT_EQ(MAP_draw(7), 0);
    EXPECT_EQ(drawn_items(plot.close()), "");
}

// Size tests against the map's height; an item with nothing after its test
// or a test whose number cannot be read is skipped.
TEST(MapList, SizeTests) {
    const struct {
        const char *item;
        float vert;
        int want; // MAP_process
    } cases[] = {
        {"s+20:a.map", 19, -1},    {"s+20:a.map", 20, 0},  {"s+20:a.map", 30, 0},  {"<10>2:a.map", 1, -1},
        {"<10>2:a.map", 2, 0},     {"<10>2:a.map", 5, 0},  {"<10>2:a.map", 10, 0}, {"<10>2:a.map", 11, -1},
        {"<10:a.map", 1, 0},       {">5<15:a.map", 4, -1}, {">5<15:a.map", 10, 0}, {">5<15:a.map", 16, -1},
        {">5:a.map", 6, 0},        {"s-8:a.map", 8, 0},    {"s-8:a.map", 9, -1},   {"s+5:<10:a.map", 7, 0},
        {"s+5:<10:a.map", 12, -1}, {"s+5", 7, -1},         {"s+x:a.map", 7, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.item) + " at " + std::to_string(c.vert));
        MapPlot plot(latlon(40, -100, c.vert));
        plot.write("a.map", text_map({{{40, -101}, {40, -99}}}));
        EXPECT_FLOAT_EQ(MAP_get_vert(), c.vert);
        int got = 0;
        const std::string err = stderr_of([&] { got = MAP_process(c.item); });
        EXPECT_EQ(got, c.want);
        EXPECT_EQ(drawn_items(plot.close()), c.want == 0 ? "a.map:L" : "");
        EXPECT_EQ(err.find("Bad size test") != std::string::npos, std::string(c.item) == "s+x:a.map") << err;
    }
}

// The list file of regional blocks: a block whose box holds the centre draws
// its items and the block right after it is skipped; a domain outside the
// first block draws the catch-all block after it. A size after the box
// limits the block to maps no higher than it.
TEST(MapList, RegionalListFile) {
    const struct {
        Domain domain;
        const char *list; // null: the fixture
        const char *want;
    } cases[] = {
        {latlon(40, -95, 20), nullptr, "us.map:L"},
        {latlon(50, 10, 20), nullptr, "world.map:L"},
        {latlon(40, -95, 20), "[20,60,-130,-60,10] us.map [] world.map", "world.map:L"},
        {latlon(40, -95, 20), "pre.map [50,60,0,20] us.map [0,90,-180,180] world.map",
         "pre.map:L world.map:L"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.list != nullptr ? c.list : "fixture");
        MapPlot plot(c.domain);
        if (c.list != nullptr)
            plot.write("regions.lst", c.list);
        else
            plot.copy_fixture("regions.lst");
        const Record line{{c.domain.clat, c.domain.clon - 1}, {c.domain.clat, c.domain.clon + 1}};
        for (const char *name : {"us.map", "world.map", "pre.map"})
            plot.write(name, text_map({line}));
        RES_put("map_file", "FI:regions.lst");
        MAP_draw(5);
        EXPECT_EQ(drawn_items(plot.close()), c.want);
    }
}

// A list file that cannot be opened, an over-long word of a list file and an
// over-long map list are reported; drawing goes on.
TEST(MapList, ListFileWarnings) {
    MapPlot plot(WORLD);
    plot.write("a.map", text_map({{{0, 0}, {5, 5}}}));
    const std::string word(100, 'w');
    plot.write("long.lst", word + "\na.map\n");
    RES_put("map_file", "fi:none.lst,fi:long.lst");
    std::string err = stderr_of([] { MAP_draw(5); });
    EXPECT_NE(err.find("MAP_draw: Unable to open map list file: none.lst"), std::string::npos) << err;
    EXPECT_NE(err.find("MAP_draw: Word cut to 79 characters"), std::string::npos) << err;
    EXPECT_NE(err.find("Map file not found: " + std::string(79, 'w') + "\n"), std::string::npos) << err;
    RES_put("map_file", (std::string(300, 'x') + ",a.map").c_str());
    err = stderr_of([] { MAP_draw(5); });
    EXPECT_NE(err.find("MAP_draw: Map list cut to 249 characters"), std::string::npos) << err;
    EXPECT_EQ(drawn_items(plot.close()), "a.map:L");
}

// The outline colour: the item's own attributes, else the map variable's
// format, else color_cmap over black under filled contours, else color_map
// over red; "none" opens and closes the file without drawing; a missing
// file is reported and the next item is drawn.
TEST(MapList, ColoursNoneAndMissingFiles) {
    const struct {
        const char *item;
        const char *format;
        int fill_cont;
        const char *color_map;
        const char *colour; // null: nothing drawn
    } cases[] = {
        {"a.map", nullptr, 0, nullptr, "red"},        {"a.map", nullptr, 1, nullptr, "black"},
        {"a.map", "blue", 1, nullptr, "blue"},        {"a.map:green", "blue", 0, nullptr, "green"},
        {"a.map:none", nullptr, 0, nullptr, nullptr}, {"a.map:none:fi=0", nullptr, 0, nullptr, nullptr},
        {"a.map", nullptr, 0, "cyan", "cyan"}, // the resource stays set: last
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        MapPlot plot(WORLD);
        plot.write("a.map", text_map({{{0, 0}, {5, 5}}}));
        MAP_set_format(c.format != nullptr ? c.format : "");
        MAP_fill_cont(c.fill_cont);
        if (c.color_map != nullptr) RES_put("color_map", c.color_map);
        const int want_colour = c.colour != nullptr ? CLR_get_ind(c.colour) : -9;
        EXPECT_EQ(MAP_process(c.item), 0);
        const auto lines = of_kind(plot.close(), 'L', "Map: a.map");
        if (c.colour == nullptr) {
            EXPECT_TRUE(lines.empty());
        } else {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0]->colour, want_colour);
        }
    }
    MapPlot plot(WORLD);
    plot.write("a.map", text_map({{{0, 0}, {5, 5}}}));
    RES_put("map_file", "gone.map,a.map,gone.map:none");
    const std::string err = stderr_of([] { MAP_draw(5); });
    // Both gone.map items are reported: an item drawn in "none" still opens its file.
    const std::string warning = "MAP_process: Map file not found: gone.map\n";
    const std::size_t first = err.find(warning);
    EXPECT_NE(first, std::string::npos) << err;
    EXPECT_NE(err.find(warning, first + 1), std::string::npos) << err;
    EXPECT_EQ(drawn_items(plot.close()), "a.map:L");
}

// Image and metafile overlays are marked in the output; image items draw
// nothing without a window (answering 0), a missing metafile is reported by
// its reader; the latitude-longitude item draws the net at its own spacings
// (5 degrees without numbers).
TEST(MapList, OverlayItemsAndLatLonItems) {
    const struct {
        const char *item;
        int want;
        bool lines;
        const char *mark;
        const char *warning;
    } cases[] = {
        {"im:radar.gif:black:10:-10", 0, false, "Map-image: /images/radar.gif", nullptr},
        {"IF:radar.gif", 0, false, "Map-image: /images/radar.gif", nullptr},
        {"mf:old.meta", -1, false, "Map-metafile: old.meta",
         "gread_metafile: Unable to open image file: old.meta"},
        {"lalo:30:45", 0, true, "Map-lalo: 30.0,45.0", nullptr},
        {"lalo:30:blue", 0, true, "Map-lalo: 30.0,30.0", nullptr},
        {"LALO", 0, true, "Map-lalo: 5.0,5.0", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        MapPlot plot(WORLD);
        RES_put("image_path", "/images");
        int got = 0;
        const std::string err = stderr_of([&] { got = MAP_process(c.item); });
        EXPECT_EQ(got, c.want);
        if (c.warning != nullptr) {
            EXPECT_NE(err.find(c.warning), std::string::npos) << err;
        } else {
            EXPECT_EQ(err, "");
        }
        const std::vector<Prim> prims = plot.close();
        const std::string meta = read_file(plot.file("plot.meta"));
        EXPECT_NE(meta.find(std::string("ME ") + c.mark + "\n"), std::string::npos) << meta.substr(0, 2000);
        EXPECT_EQ(of_kind(prims, 'L').empty(), !c.lines);
    }
}

// Image items on a window: "im:" places its file at the map viewport's
// offset, "if:" at the whole display's; the named colour stays transparent.
TEST(MapList, ImageItemsDrawTheirFiles) {
    if (!xtest::need_tools()) return;
    TempDir dir;
    imgtest::Image image;
    std::vector<unsigned char> px(20 * 10, 2);
    px[0] = 0;
    imgtest::fill_8bit(&image, 20, 10, px, {{1, 1, 1}, {1, 0, 0}, {0, 0, 1}});
    ASSERT_EQ(XWD_write(dir.file("blue.xwd").c_str(), &image), 1);
    ASSERT_EQ(GIF_write(dir.file("blue.gif").c_str(), &image), 1);
    ASSERT_EQ(PNG_write(dir.file("blue.png").c_str(), &image), 1);
    RES_put("image_path", dir.path().c_str());
    RES_put("device", "d");
    ASSERT_EQ(PLT_open(1.0f), 0);
    Domain world = WORLD;
    ASSERT_EQ(MAP_setup(&world), 0);
    Gxrect map_vp{}, all_vp{};
    gget_xviewport(&map_vp);
    EXPECT_EQ(MAP_process("im:blue.xwd:white:5:5"), 0);
    EXPECT_EQ(MAP_process("IF:blue.xwd::0:0"), 0);
    EXPECT_EQ(MAP_process("im:blue.gif:white:5:30"), 0);
    EXPECT_EQ(MAP_process("im:blue.png:white:5:50"), 0);
    gsel_norm_tran(1);
    gget_xviewport(&all_vp);
    const xtest::Picture pic = xtest::grab_window();
    const xtest::Rgb blue{0, 0, 255};
    EXPECT_EQ(pic.at(map_vp.x + 5 + 10, map_vp.y + 5 + 5), blue);
    EXPECT_EQ(pic.at(map_vp.x + 5 + 19, map_vp.y + 5 + 9), blue);
    EXPECT_NE(pic.at(map_vp.x + 5, map_vp.y + 5), (xtest::Rgb{255, 255, 255})) << "white is transparent";
    EXPECT_NE(pic.at(map_vp.x + 5 + 20, map_vp.y + 5), blue);
    EXPECT_EQ(pic.at(all_vp.x + 10, all_vp.y + 5), blue);
    for (int y : {30, 50}) {
        EXPECT_EQ(pic.at(map_vp.x + 5 + 10, map_vp.y + y + 5), blue) << y;
        EXPECT_NE(pic.at(map_vp.x + 5, map_vp.y + y), (xtest::Rgb{255, 255, 255})) << y;
    }
}

// An "mf:" item replays its text metafile onto the map: the polyline it
// holds is drawn in the map window.
TEST(MapList, MetafileItemReplaysItsFile) {
    MapPlot plot(WORLD);
    plot.write("lines.meta", "ZEQMETA\n"
                             "PL 3 -100.000000,40.000000 -90.000000,45.000000 -80.000000,40.000000 \n");
    EXPECT_EQ(MAP_process("mf:lines.meta"), 0);
    const std::vector<Prim> prims = plot.close();
    const std::string meta = read_file(plot.file("plot.meta"));
    EXPECT_NE(meta.find("ME Map-metafile: lines.meta\n"), std::string::npos);
    EXPECT_NE(meta.find("PL 3 -100.000000,40.000000 -90.000000,45.000000 -80.000000,40.000000"),
              std::string::npos)
        << meta.substr(0, 2000);
}

// ---- The map database reader ---------------------------------------------------------------

// Records read by MAP_map on the world map (plane x = longitude, y =
// latitude): the pieces drawn, the result and the warning.
TEST(MapFile, Records) {
    Record long_record;
    for (int i = 0; i < 40000; ++i)
        long_record.push_back({-60.0f + 0.003f * i, -170.0f + 0.008f * i});
    Record big_binary(long_record.begin(), long_record.begin() + 1500);
    const std::string truncated_binary = binary_map({{{0, 0}, {1, 1}, {2, 2}}}).substr(0, 22 + 16 + 4);
    const struct {
        const char *name;
        std::string bytes; // empty: the fixture of that name
        int want;
        std::vector<std::size_t> pieces; // points of each polyline
        bool warns;
    } cases[] = {
        {"three.map", "", 0, {3}, false},
        {"two.map", "", 0, {2}, false},
        {"count40000.map", text_map({long_record}), 0, {40000}, false},
        {"big.map", binary_map({big_binary}), 0, {1500}, false},
        {"short.txt", "5 0 0 0 0 0\n1 1\n2 2\n3 3\n", -1, {3}, true},
        {"short.bin", truncated_binary, -1, {2}, true},
        {"noend.txt", text_map({{{0, 0}, {1, 1}}}, false), -1, {2}, false},
        {"noend.bin", binary_map({{{0, 0}, {1, 1}}}, false), -1, {2}, false},
        {"badword.txt", "2 0 0 0 0 0\n1 1\n2 x\n", -1, {}, true},
        {"empty", "", -1, {}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MapPlot plot(WORLD);
        if (std::string(c.name) == "empty")
            plot.write(c.name, "");
        else if (c.bytes.empty())
            plot.copy_fixture(c.name);
        else
            plot.write(c.name, c.bytes);
        FILE *f = std::fopen(plot.file(c.name).c_str(), "rb");
        ASSERT_NE(f, nullptr);
        int got = 0;
        const std::string err = stderr_of([&] { got = MAP_map(f, c.name); });
        std::fclose(f);
        EXPECT_EQ(got, c.want);
        EXPECT_EQ(err.find(std::string("MAP_map: ") + c.name + " ends inside a record") != std::string::npos,
                  c.warns)
            << err;
        std::vector<std::size_t> pieces;
        for (const Prim *p : of_kind(plot.close(), 'L'))
            pieces.push_back(p->pts.size());
        EXPECT_EQ(pieces, c.pieces);
    }
}

// The points land where latitude and longitude put them on the world map;
// the bounding box and offset of a record are not used.
TEST(MapFile, PointsOfBinaryAndTextRecords) {
    MapPlot plot(WORLD);
    plot.copy_fixture("three.map");
    plot.copy_fixture("two.map");
    EXPECT_EQ(MAP_process("three.map"), 0);
    EXPECT_EQ(MAP_process("two.map"), 0);
    const auto lines = of_kind(plot.close(), 'L');
    ASSERT_EQ(lines.size(), 2u);
    const std::vector<std::vector<float>> want = {{20, 10, 22, 12.5f, 20, 15}, {-100, 40, -99, 41}};
    for (std::size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(lines[i]->pts.size() * 2, want[i].size());
        for (std::size_t k = 0; k < lines[i]->pts.size(); ++k) {
            EXPECT_FLOAT_EQ(lines[i]->pts[k].x, want[i][2 * k]);
            EXPECT_FLOAT_EQ(lines[i]->pts[k].y, want[i][2 * k + 1]);
        }
    }
}

// Not on a diagram: MAP_map reads nothing and gives 1.
TEST(MapFile, NothingOnDiagrams) {
    MapPlot plot(make_domain(41, -40, 1050, 0, 0, 80, -950));
    plot.copy_fixture("three.map");
    FILE *f = std::fopen(plot.file("three.map").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(MAP_map(f, "three.map"), 1);
    EXPECT_EQ(std::ftell(f), 0);
    std::fclose(f);
    EXPECT_TRUE(of_kind(plot.close(), 'L').empty());
}

// A line from 179 E to 179 W (at 10 N or 60 N) across the seam of each
// projection: two pieces, the first ending at the point after the seam moved
// by the projection's period, the second starting with the point before the
// seam moved back by it, so both reach the map's edges. Points that cannot
// be seen break the line.
TEST(MapFile, PiecesAtTheSeam) {
    const auto moll = [](float y) { return 254.852f * std::sqrt(1 - (y / 63.713f) * (y / 63.713f)); };
    const struct {
        const char *name;
        Domain domain;
        float lat;
        float plon;
        std::function<float(float)> period;
    } cases[] = {
        {"latlon", WORLD, 10, 0, [](float) { return 360.0f; }},
        {"mercator", make_domain(3, 0, 0, 101, 101, 10, 10), 10, 0,
         [](float) { return 400.31555892808814f; }},
        {"mollweide", make_domain(7, 0, 0, 101, 101, 3, 3), 10, 0, moll},
        {"lambert", make_domain(4, 60, -100, 101, 101, 2, 2), 60, -100, [](float) { return 1000.0f; }},
    };
    for (const auto &c : cases) {
        for (const int east : {1, -1}) { // eastward, then westward across the seam
            SCOPED_TRACE(std::string(c.name) + (east == 1 ? " east" : " west"));
            MapPlot plot(c.domain);
            const float seam = c.plon + 180;
            Record line;
            float x[4], y[4];
            for (int i = 0; i < 4; ++i) {
                const float lon = seam - static_cast<float>(east) * static_cast<float>(3 - 2 * i);
                line.push_back({c.lat, lon});
                MAP_tran(c.lat, lon, &x[i], &y[i]);
            }
            plot.write("cross.map", binary_map({line}));
            Glim win{};
            MAP_get_window(&win);
            EXPECT_EQ(MAP_process("cross.map"), 0);
            const auto lines = of_kind(plot.close(), 'L');
            ASSERT_EQ(lines.size(), 2u);
            ASSERT_EQ(lines[0]->pts.size(), 3u);
            ASSERT_EQ(lines[1]->pts.size(), 3u);
            const float step = x[1] > x[2] ? 1.0f : -1.0f; // x falls across the seam: moved right
            EXPECT_FLOAT_EQ(lines[0]->pts[1].x, x[1]);
            EXPECT_NEAR(lines[0]->pts[2].x, x[2] + step * c.period(y[2]), 1e-3);
            EXPECT_NEAR(lines[1]->pts[0].x, x[1] - step * c.period(y[1]), 1e-3);
            EXPECT_FLOAT_EQ(lines[1]->pts[1].x, x[2]);
            if (std::string(c.name) == "latlon") {
                // 179 E is x 179: the first piece leaves the map at its
                // right edge going east, at its left edge going west.
                EXPECT_FLOAT_EQ(lines[0]->pts[2].x, east == 1 ? 181 : -181);
                EXPECT_FLOAT_EQ(lines[1]->pts[0].x, east == 1 ? -181 : 181);
                EXPECT_GT(std::max(lines[0]->pts[2].x, lines[1]->pts[0].x), win.x_max);
                EXPECT_LT(std::min(lines[0]->pts[2].x, lines[1]->pts[0].x), win.x_min);
            }
        }
    }

    // The far side of an orthographic globe breaks the line.
    MapPlot plot(make_domain(5, 0, 0, 101, 101, 2, 2));
    plot.write("far.map", text_map({{{0, 0}, {0, 10}, {0, 20}, {0, 150}, {0, 80}, {0, 85}}}));
    EXPECT_EQ(MAP_process("far.map"), 0);
    std::vector<std::size_t> pieces;
    for (const Prim *p : of_kind(plot.close(), 'L'))
        pieces.push_back(p->pts.size());
    EXPECT_EQ(pieces, (std::vector<std::size_t>{3, 2}));
}

double shoelace(const std::vector<Gpt> &pts) {
    double a = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const Gpt &p = pts[i], &q = pts[(i + 1) % pts.size()];
        a += static_cast<double>(p.x) * q.y - static_cast<double>(q.x) * p.y;
    }
    return std::fabs(a) / 2;
}

// A filled square across the seam is clipped at it: its parts stay within
// the projected earth and, on a latitude-longitude map, add up to its area.
TEST(MapFile, AreasClippedAtTheSeam) {
    {
        MapPlot plot(make_domain(2, 0, -100, 361, 181, 1, 1)); // seam at 80 E
        plot.write("sq.map", binary_map({square(10, 20, 75, 85)}));
        EXPECT_EQ(MAP_process("sq.map:fi=0"), 0);
        const auto fills = of_kind(plot.close(), 'F');
        ASSERT_EQ(fills.size(), 2u);
        double area = 0;
        for (const Prim *f : fills) {
            for (const Gpt &p : f->pts)
                EXPECT_LE(std::fabs(p.x), 180.0f + 1e-4f);
            area += shoelace(f->pts);
        }
        EXPECT_NEAR(area, 100.0, 1e-3);
    }
    // On the Lambert cone (true latitudes 30 and 60) the parts stay within
    // the cone's opening of 2 pi n round its apex.
    MapPlot plot(make_domain(4, 60, -100, 101, 101, 2, 2));
    const double t1 = 30 * std::numbers::pi / 180, t2 = 60 * std::numbers::pi / 180;
    const double n =
        std::log(std::cos(t1) / std::cos(t2)) /
        std::log(std::tan(std::numbers::pi / 4 + t2 / 2) / std::tan(std::numbers::pi / 4 + t1 / 2));
    plot.write("sq.map", binary_map({square(55, 65, 75, 85)}));
    EXPECT_EQ(MAP_process("sq.map:fi=0"), 0);
    const auto fills = of_kind(plot.close(), 'F');
    ASSERT_EQ(fills.size(), 2u);
    for (const Prim *f : fills)
        for (const Gpt &p : f->pts)
            EXPECT_LE(std::fabs(std::atan2(p.x, -p.y)), n * std::numbers::pi + 1e-4) << p.x << "," << p.y;
}

// ---- The latitude-longitude net ------------------------------------------------------------

// On the world map (central longitude 0) with 30-degree spacing: the 30 N
// circle runs from -180 to 180 without a stroke across the map, 30N stands
// just inside the left edge at its height, 30W just above the bottom edge.
TEST(Net, WorldMapLabels) {
    MapPlot plot(WORLD);
    EXPECT_EQ(MAP_lines(30, 30), 0);
    const std::vector<Prim> prims = plot.close();
    float lo = 1e9f, hi = -1e9f;
    for (const Prim *p : of_kind(prims, 'L', "Map-lalo: 30.0,30.0")) {
        ASSERT_EQ(p->pts.size(), 2u);
        EXPECT_LE(std::fabs(p->pts[1].x - p->pts[0].x), 5.0f);
        if (p->pts[0].y == 30 && p->pts[1].y == 30) {
            lo = std::min({lo, p->pts[0].x, p->pts[1].x});
            hi = std::max({hi, p->pts[0].x, p->pts[1].x});
        }
    }
    EXPECT_EQ(lo, -180);
    EXPECT_EQ(hi, 180);
    const float e = 0.01f * 360;
    const struct {
        const char *text;
        float x, y;
        int hor, vert;
    } want[] = {
        {"30N", -180 + e, 30, 1, 3}, {"EQ", -180 + e, 0, 1, 3},   {"60S", -180 + e, -60, 1, 3},
        {"PM", 0, -90 + e, 2, 4},    {"30W", -30, -90 + e, 2, 4}, {"150E", 150, -90 + e, 2, 4},
    };
    for (const auto &w : want) {
        const auto found = texts(prims, w.text);
        ASSERT_EQ(found.size(), 1u) << w.text;
        EXPECT_NEAR(found[0]->pts[0].x, w.x, 1e-4) << w.text;
        EXPECT_NEAR(found[0]->pts[0].y, w.y, 1e-4) << w.text;
        EXPECT_EQ(found[0]->hor, w.hor) << w.text;
        EXPECT_EQ(found[0]->vert, w.vert) << w.text;
    }
    EXPECT_TRUE(texts(prims, "DL").empty()); // the 180 meridian lies on the edge
    EXPECT_TRUE(texts(prims, "90N").empty());
}

// Meridians span -L..L with L = int(89 / dlat) dlat on polar stereographic
// maps (80 for 10 degrees) and -90..90 on Mercator maps.
TEST(Net, MeridianRanges) {
    const struct {
        const char *name;
        Domain domain;
        int lo, hi;
    } cases[] = {
        {"polar", make_domain(1, 60, 0, 201, 201, 20, 20), -80, 80},
        {"mercator", make_domain(3, 0, 0, 101, 101, 10, 10), -90, 90},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MapPlot plot(c.domain);
        // Plane points of the prime meridian, from the north: where the
        // projection holds latitudes beyond a limit at it, the one nearest
        // the equator names the point.
        std::vector<std::pair<Gpt, float>> lat_of;
        for (int lat = 90; lat >= -90; lat -= 10) {
            Gpt p{};
            MAP_tran(static_cast<float>(lat), 0, &p.x, &p.y);
            lat_of.push_back({p, static_cast<float>(lat)});
        }
        std::stable_sort(lat_of.begin(), lat_of.end(), [](const auto &a, const auto &b) {
            return std::fabs(a.second) < std::fabs(b.second);
        });
        EXPECT_EQ(MAP_lines(10, 10), 0);
        int lo = 999, hi = -999;
        for (const Prim *p : of_kind(plot.close(), 'L')) {
            const float a = value_near(lat_of, p->pts[0]), b = value_near(lat_of, p->pts[1]);
            if (a < -999 || b < -999 || b - a != 10) continue;
            lo = std::min(lo, static_cast<int>(a));
            hi = std::max(hi, static_cast<int>(b));
        }
        EXPECT_EQ(lo, c.lo);
        EXPECT_EQ(hi, c.hi);
    }
}

// Extra labels every 30 degrees with meridians every 10: on each circle at
// -165, -135, ..., 165, on each meridian at -75, -45, ..., 75; dots every 10
// degrees from 70 S to 70 N.
TEST(Net, ExtraLabelsAndDots) {
    MapPlot plot(WORLD);
    MAP_latlon(30, 10, 10, 30);
    EXPECT_EQ(MAP_lines(30, 10), 0);
    const std::vector<Prim> prims = plot.close();
    std::vector<float> along_circle, along_meridian;
    // The edge labels of circles and meridians after the first of their
    // family keep the centred alignment of the extra labels: they are told
    // apart by their place at the edge.
    const float edge = 0.01f * 360;
    for (const Prim *t : texts(prims, "30N")) {
        EXPECT_EQ(t->hor, 2);
        EXPECT_EQ(t->vert, 3);
        if (std::fabs(t->pts[0].x - (-180 + edge)) > 1e-3f) along_circle.push_back(t->pts[0].x);
    }
    for (const Prim *t : texts(prims, "30W"))
        if (std::fabs(t->pts[0].y - (-90 + edge)) > 1e-3f) along_meridian.push_back(t->pts[0].y);
    std::vector<float> want_circle, want_meridian;
    for (int lon = -165; lon <= 165; lon += 30)
        want_circle.push_back(static_cast<float>(lon));
    for (int lat = -75; lat <= 75; lat += 30)
        want_meridian.push_back(static_cast<float>(lat));
    EXPECT_EQ(along_circle, want_circle);
    EXPECT_EQ(along_meridian, want_meridian);

    std::set<float> dot_lats;
    int across = 0, up = 0;
    for (const Prim *p : of_kind(prims, 'L')) {
        const float dx = std::fabs(p->pts[1].x - p->pts[0].x), dy = std::fabs(p->pts[1].y - p->pts[0].y);
        if (std::fabs(dx - 0.2f) < 1e-3f && dy == 0) {
            ++across;
            dot_lats.insert(p->pts[0].y);
        } else if (dx == 0 && std::fabs(dy - 0.2f) < 1e-3f) {
            ++up;
        }
    }
    EXPECT_EQ(*dot_lats.begin(), -70);
    EXPECT_EQ(*dot_lats.rbegin(), 70);
    EXPECT_EQ(dot_lats.size(), 15u);
    EXPECT_EQ(across, 15 * 35); // the crosses at 180 lose their stroke across the seam
    EXPECT_EQ(up, 15 * 36);
}

// Spacings that would never end the loops, missing ones and ones too small
// draw nothing; dots and extra labels at 0 or below mean none.
TEST(Net, RefusedSpacings) {
    const struct {
        float dlat, dlon;
        int want;
    } cases[] = {
        {10, 0, -1},        {0, 10, -1},      {-5, 10, -1}, {10, -5, -1},
        {FMISSING, 10, -1}, {0.001f, 10, -1}, {10, 10, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.dlat) + "," + std::to_string(c.dlon));
        MapPlot plot(WORLD);
        MAP_latlon(c.dlat, c.dlon, -5, -30);
        int got = 0;
        stderr_of([&] { got = MAP_lines(c.dlat, c.dlon); });
        EXPECT_EQ(got, c.want);
        const std::vector<Prim> prims = plot.close();
        EXPECT_EQ(of_kind(prims, 'L').empty(), c.want != 0);
        for (const Prim *p : of_kind(prims, 'L')) // no dots
            EXPECT_GT(std::fabs(p->pts[1].x - p->pts[0].x) + std::fabs(p->pts[1].y - p->pts[0].y), 1.0f);
        EXPECT_TRUE(texts(prims, "10N").size() <= 1u); // no extra labels
    }
    MapPlot plot(WORLD);
    EXPECT_EQ(MAP_process("lalo:-5"), 0);
    EXPECT_TRUE(of_kind(plot.close(), 'L').empty());
}

// The plot option lalo sets the spacings MAP_draw draws the net with; with
// a longitude spacing of 0 MAP_draw draws no net.
TEST(Net, PlotOptionAndMapDraw) {
    const struct {
        const char *option;
        float lat, lon;
        bool net;
    } cases[] = {{"lalo:10:20:5:30", 10, 20, true}, {"lalo:15", 15, 15, true}, {"lalo:10:0", 10, 0, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.option);
        RES_put("plot_param", c.option);
        RES_put("map_file", "");
        MapPlot plot(WORLD);
        float lat = 0, lon = 0;
        MAP_get_latlon(&lat, &lon);
        EXPECT_EQ(lat, c.lat);
        EXPECT_EQ(lon, c.lon);
        MAP_draw(5);
        const std::vector<Prim> prims = plot.close();
        EXPECT_EQ(!of_kind(prims, 'L').empty(), c.net);
        if (c.net) {
            EXPECT_EQ(of_kind(prims, 'L')[0]->colour, CLR_get_ind("magenta"));
        }
    }
}

// The axis grid of a Stuve diagram (lower-left corner -40 C, 1050 mb,
// extents 80 C and -950 mb): vertical lines from xa up to xb, horizontal
// lines from ya downwards while above yb; a negative spacing is made
// positive with its start moved to a multiple of it; labels beside the view
// on the whole display.
TEST(Net, DiagramGrid) {
    const struct {
        float dlat, dlon;
        int want;
        std::vector<float> xs, ys; // values of the vertical and horizontal lines
    } cases[] = {
        {10,
         100,
         -1,
         {-40, -30, -20, -10, 0, 10, 20, 30, 40},
         {1050, 950, 850, 750, 650, 550, 450, 350, 250, 150}},
        {-30, 100, -1, {-30, 0, 30}, {1050, 950, 850, 750, 650, 550, 450, 350, 250, 150}},
        {10, -300, -1, {-40, -30, -20, -10, 0, 10, 20, 30, 40}, {900, 600, 300}},
        {0, 100, -1, {}, {}},
        {10, FMISSING, -1, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.dlat) + "," + std::to_string(c.dlon));
        MapPlot plot(make_domain(41, -40, 1050, 0, 0, 80, -950));
        Glim view{};
        GPH_get_view(2, &view);
        // Plane positions of the values, read by the axis they lie along.
        std::vector<std::pair<Gpt, float>> value_of_x, value_of_y;
        for (float t = -40; t <= 40; t += 10) {
            float x = 0, y = 0;
            MAP_tran(t, 1050, &x, &y);
            value_of_x.push_back({{x, 0}, t});
        }
        for (float p = 1050; p >= 100; p -= 50) {
            float x = 0, y = 0;
            MAP_tran(-40, p, &x, &y);
            value_of_y.push_back({{0, y}, p});
        }
        EXPECT_EQ(MAP_lines(c.dlat, c.dlon), c.want);
        const std::vector<Prim> prims = plot.close();
        std::vector<float> xs, ys;
        for (const Prim *p : of_kind(prims, 'L')) {
            if (p->pts[0].x == p->pts[1].x) xs.push_back(value_near(value_of_x, {p->pts[0].x, 0}));
            if (p->pts[0].y == p->pts[1].y) ys.push_back(value_near(value_of_y, {0, p->pts[0].y}));
        }
        EXPECT_EQ(xs, c.xs);
        EXPECT_EQ(ys, c.ys);
        // One label for each line.
        std::vector<std::string> xl, yl;
        for (const Prim &p : prims) {
            if (p.kind != 'T') continue;
            if (p.hor == 2 && p.vert == 2) {
                EXPECT_NEAR(p.pts[0].y, view.y_min - 0.01f, 1e-5);
                xl.push_back(p.text);
            } else if (p.hor == 3 && p.vert == 3) {
                EXPECT_NEAR(p.pts[0].x, view.x_min - 0.01f, 1e-5);
                yl.push_back(p.text);
            }
        }
        std::vector<std::string> want_xl, want_yl;
        char buf[10];
        for (float t : c.xs)
            want_xl.emplace_back(set_num(buf, sizeof buf, "2.2.0", t));
        for (float p : c.ys)
            want_yl.emplace_back(set_num(buf, sizeof buf, "2.2.0", p));
        EXPECT_EQ(xl, want_xl);
        EXPECT_EQ(yl, want_yl);
    }
}

// Range circles: 49 points at bearings 0, 7.5, ..., 360 degrees, closed; a
// radius of 0 gives 49 coincident points; the points lie rad km from the
// centre along the earth (haversine on the sphere of radius 6371.22 km).
TEST(Circle, FortyNinePoints) {
    MapPlot plot(make_domain(1, 40, -100, 25, 17, 1.2f, 1.2f));
    float cx = 0, cy = 0;
    MAP_tran(39.74f, -104.99f, &cx, &cy);
    EXPECT_EQ(MAP_draw_circle(cx, cy, 0), 0);
    EXPECT_EQ(MAP_draw_circle(cx, cy, 500), 0);
    std::vector<EarthPoint> ring;
    const auto lines = of_kind(plot.close(), 'L');
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0]->pts.size(), 49u);
    for (const Gpt &p : lines[0]->pts) {
        EXPECT_NEAR(p.x, cx, 1e-4);
        EXPECT_NEAR(p.y, cy, 1e-4);
    }
    ASSERT_EQ(lines[1]->pts.size(), 49u);
    EXPECT_NEAR(lines[1]->pts.front().x, lines[1]->pts.back().x, 1e-4);
    EXPECT_NEAR(lines[1]->pts.front().y, lines[1]->pts.back().y, 1e-4);
    // The offsets are taken on a flat earth around the centre: exact along
    // the meridian (bearings 0 and 180), within 2 % across it.
    const double r = 6371.22, d2r = std::numbers::pi / 180;
    for (std::size_t i = 0; i < lines[1]->pts.size(); ++i) {
        const Gpt &p = lines[1]->pts[i];
        float lat = 0, lon = 0;
        MAP_untran(p.x, p.y, &lat, &lon);
        const double a =
            std::pow(std::sin((lat - 39.74) * d2r / 2), 2) +
            std::cos(lat * d2r) * std::cos(39.74 * d2r) * std::pow(std::sin((lon + 104.99) * d2r / 2), 2);
        const double km = 2 * r * std::asin(std::sqrt(a));
        EXPECT_NEAR(km, 500.0, i % 24 == 0 ? 0.5 : 10.0) << "bearing " << 7.5 * static_cast<double>(i);
    }
    // North first, then clockwise (east).
    EXPECT_GT(lines[1]->pts[0].y, cy);
    EXPECT_GT(lines[1]->pts[12].x, cx);
}

// ---- The plotting test driver on PostScript ------------------------------------------------

// The driver's Lambert map centred on 40 N 100 W with land filled light gray
// under the North American coastlines and borders and a 10-degree net, in
// colour PostScript rendered by ghostscript at 144 dpi: Denver and Chicago
// lie on land, the sea off both coasts is background, and coastline pixels
// lie within 2 pixels of the places PROJ puts known capes at.
TEST(MapDriver, LambertNorthAmericaOnPostScript) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const zeqtest::ChildResult r =
        zeqtest::run_plot_driver(dir.path(), "map",
                                 {"-de", "ps,out.ps", "-pd", "lc,40,-100,51,31,1.2",
                                  "-mf=-land.map:LGray:fi=0,zeq.map", "-pp", "lalo:10,pscolor"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    int w = 0, h = 0, x0 = 0, y0 = 0;
    Glim win{}, view{};
    ASSERT_NE(r.out.find("device "), std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.find("device "),
                          "device %d %d %d %d\nwindow %f %f %f %f\nview %f %f %f %f", &w, &h, &x0, &y0,
                          &win.x_min, &win.x_max, &win.y_min, &win.y_max, &view.x_min, &view.x_max,
                          &view.y_min, &view.y_max),
              12)
        << r.out;
    const std::string ps = read_file(dir.file("out.ps"));
    EXPECT_NE(ps.find("%%Message: Map: land.map\n"), std::string::npos);
    EXPECT_NE(ps.find("%%Message: Map: zeq.map\n"), std::string::npos);
    EXPECT_NE(ps.find("%%Message: Map-lalo: 10.0,10.0\n"), std::string::npos);
    const gkstest::GsRun check = gkstest::gs_check(dir.file("out.ps"));
    EXPECT_EQ(check.status, 0) << check.out;

    // PROJ's Lambert conformal cone with true latitudes 30 and 60 and its
    // apex at the origin: the plane of the map in metres.
    const struct {
        const char *name;
        double lat, lon;
        char what; // 'l' land, 's' sea, 'c' coast
    } places[] = {
        {"Denver", 39.74, -104.99, 'l'},         {"Chicago", 41.98, -87.90, 'l'},
        {"Pacific", 37.0, -126.0, 's'},          {"Atlantic", 36.0, -70.0, 's'},
        {"Cape Hatteras", 35.23, -75.53, 'c'},   {"Point Conception", 34.45, -120.47, 'c'},
        {"Cape Mendocino", 40.44, -124.41, 'c'}, {"Cape Sable", 25.12, -81.09, 'c'},
    };
    std::string input;
    for (const auto &p : places)
        input += std::to_string(p.lon) + " " + std::to_string(p.lat) + "\n";
    TempDir ref;
    write_file(ref.file("in.txt"), input);
    if (std::system("command -v cs2cs >/dev/null 2>&1") != 0) {
        ADD_FAILURE() << "cs2cs not found: install the Debian package proj-bin";
        return;
    }
    const std::string out = zeqtest::run_command(
        "cs2cs -f %.6f +proj=longlat +R=6371220 +to +proj=lcc +lat_0=90 +lat_1=30 +lat_2=60 +lon_0=-100 "
        "+R=6371220 " +
        ref.file("in.txt"));
    const std::vector<std::string> lines = zeqtest::text_lines(out);
    ASSERT_EQ(lines.size(), std::size(places)) << out;

    const int dpi = 144;
    const gkstest::Raster img = gkstest::gs_render(dir.file("out.ps"), gkstest::media(1000, 1000), dpi);
    // Plane (100 km) -> normalised coordinates of the view -> device points
    // -> the landscape page.
    // The display (1 by 575/755 in normalised coordinates) covers the device.
    const double s = std::max(w, h) - 1;
    const auto page = [&](double x, double y) {
        const double nx = view.x_min + (x - win.x_min) / (win.x_max - win.x_min) * (view.x_max - view.x_min);
        const double ny = view.y_min + (y - win.y_min) / (win.y_max - win.y_min) * (view.y_max - view.y_min);
        const double u = x0 + nx * s, v = y0 + ny * s;
        return std::pair<double, double>{72 * (8.5 - 0.25) - v, u + 18};
    };
    for (std::size_t i = 0; i < std::size(places); ++i) {
        SCOPED_TRACE(places[i].name);
        double xm = 0, ym = 0;
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "%lf %lf", &xm, &ym), 2) << lines[i];
        const auto [px, py] = page(xm / 1e5, ym / 1e5);
        const auto at = img.at_pt(px, py);
        if (places[i].what == 'l') {
            EXPECT_TRUE(img.colour(px, py, 191, 191, 191, 3)) << at[0] << " " << at[1] << " " << at[2];
        } else if (places[i].what == 's') {
            EXPECT_TRUE(img.white(px, py)) << at[0] << " " << at[1] << " " << at[2];
        } else {
            bool coast = false;
            for (int dx = -2; dx <= 2; ++dx)
                for (int dy = -2; dy <= 2; ++dy)
                    if (dx * dx + dy * dy <= 4 &&
                        img.colour(px + dx / img.scale, py + dy / img.scale, 255, 0, 0, 60))
                        coast = true;
            EXPECT_TRUE(coast) << "no coastline pixel within 2 pixels of " << px << "," << py;
        }
    }
}

} // namespace
