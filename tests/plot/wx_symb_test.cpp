// Weather and sky-cover symbols as the polylines and fill areas they leave in
// a text metafile: the look-up by the longest name, stroke kinds, placement by
// the text alignment, the file's limits and reopening; every weather code of
// the code tables and METAR rules drawn from its own entry of data/wx.smb
// (read here on its own); and a legend page of every symbol rendered by
// ghostscript.
#include "plot/wx_symb.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../graphics/render.h"
#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_fill.h"
#include "graphics/gks_line.h"
#include "graphics/gks_text.h"
#include "graphics/gks_tool.h"
#include "graphics/gks_tran.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "support/metafile.h"

namespace {

using zeqtest::meta_drawn;
using zeqtest::MetaPoint;
using zeqtest::MetaRecord;
using zeqtest::read_file;
using zeqtest::show;
using zeqtest::TempDir;
using zeqtest::write_file;

const Glim WIN{-20, 20, -20, 20};

// The drawing records only (no attributes).
std::vector<MetaRecord> shapes(const std::vector<MetaRecord> &recs) {
    std::vector<MetaRecord> out;
    for (const MetaRecord &r : recs)
        if (r.key == "PL" || r.key == "FA") out.push_back(r);
    return out;
}

void expect_shapes(const std::vector<MetaRecord> &got, const std::vector<MetaRecord> &want,
                   const std::string &what = "") {
    ASSERT_EQ(got.size(), want.size()) << what << "\ngot:\n" << show(got) << "want:\n" << show(want);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].key, want[i].key) << what << " record " << i;
        ASSERT_EQ(got[i].pts.size(), want[i].pts.size()) << what << " record " << i << "\n" << show(got);
        for (std::size_t j = 0; j < got[i].pts.size(); ++j) {
            EXPECT_NEAR(got[i].pts[j].x, want[i].pts[j].x, 1e-4) << what << " record " << i << " point " << j;
            EXPECT_NEAR(got[i].pts[j].y, want[i].pts[j].y, 1e-4) << what << " record " << i << " point " << j;
        }
    }
}

// A symbol file in a temporary directory.
struct SymbolFile {
    TempDir dir;
    explicit SymbolFile(const std::string &text, const std::string &name = "test.smb") {
        write_file(dir.file(name), text);
    }
    bool open(const std::string &name = "test.smb") const {
        return WX_symb_file(dir.file(name).c_str()) == 0;
    }
};

// What WX_symb draws of str at (x, y) with a box of size, and its result.
std::vector<MetaRecord> symbol(const char *str, float x = 0, float y = 0, float size = 1, int *rc = nullptr) {
    return shapes(meta_drawn(WIN, [&] {
        const int r = WX_symb(x, y, str, size);
        if (rc != nullptr) *rc = r;
    }));
}

MetaRecord pl(std::vector<MetaPoint> pts) {
    return {"PL", std::move(pts)};
}
MetaRecord fa(std::vector<MetaPoint> pts) {
    return {"FA", std::move(pts)};
}

// ---- The symbol file -----------------------------------------------------------------

TEST(WeatherSymbol, LongestNameWinsInAnyCase) {
    // A file ordered for the first match: R before RW.
    SymbolFile f("R 0,0 1,0 L $\nRW 0,1 1,1 L $\n  S 0,0 0,1 L\n$ Q\n0,0 1,1 L $");
    ASSERT_TRUE(f.open());
    const MetaRecord r = pl({{0, 0}, {1, 0}}), rw = pl({{0, 1}, {1, 1}});
    const struct {
        const char *want;
        MetaRecord drawn;
    } cases[] = {{"RW", rw},
                 {"rw-", rw},
                 {"RW+SW", rw},
                 {"R", r},
                 {"r-", r},
                 {"RX", r},
                 {"s", pl({{0, 0}, {0, 1}})},
                 {"Q", pl({{0, 0}, {1, 1}})}};
    for (const auto &c : cases) {
        int rc = 0;
        expect_shapes(symbol(c.want, 0, 0, 1, &rc), {c.drawn}, c.want);
        EXPECT_EQ(rc, 1) << c.want;
    }
    for (const char *none : {"W", "", " R", "-R"}) {
        int rc = 1;
        EXPECT_TRUE(symbol(none, 0, 0, 1, &rc).empty()) << none;
        EXPECT_EQ(rc, 0) << none;
    }
}

TEST(WeatherSymbol, StrokeKindsFromTheClosingWord) {
    SymbolFile f("K 0,0 1,0 1,1 Fill 0,0 1,0 1,1 f\n0,0 1,0 1,1 L 0,0 1,0, 1,1 F $");
    ASSERT_TRUE(f.open());
    const std::vector<MetaPoint> tri{{0, 0}, {2, 0}, {2, 2}};
    // The second stroke's pair "1,0," is read up to its comma: "1,1" is
    // then the closing word and "F" reads as no pair, ending the entry.
    expect_shapes(symbol("K", 0, 0, 2), {fa(tri), pl(tri), pl(tri), pl({{0, 0}, {2, 0}})});
}

TEST(WeatherSymbol, BoxPlacedByTheTextAlignment) {
    SymbolFile f("B 0,0 1,0 1,1 0,1 0,0 L $");
    ASSERT_TRUE(f.open());
    auto box = [](float x0, float y0, float s) {
        return pl({{x0, y0}, {x0 + s, y0}, {x0 + s, y0 + s}, {x0, y0 + s}, {x0, y0}});
    };
    const struct {
        int hor, vert;
        float x0, y0;
    } cases[] = {{GCENTER_HOR, GHALF_VERT, 9, 9}, {GNORMAL_HOR, GNORMAL_VERT, 10, 10},
                 {GLEFT_HOR, GBASE_VERT, 10, 10}, {GRIGHT_HOR, GTOP_VERT, 8, 8},
                 {GRIGHT_HOR, GCAP_VERT, 8, 8},   {GCENTER_HOR, GBOTTOM_VERT, 9, 10}};
    for (const auto &c : cases) {
        const auto got = shapes(meta_drawn(WIN, [&] {
            GPH_text_align(c.hor, c.vert);
            WX_symb(10, 10, "B", 2);
        }));
        expect_shapes(got, {box(c.x0, c.y0, 2)}, std::to_string(c.hor) + "," + std::to_string(c.vert));
    }
}

TEST(WeatherSymbol, ReaderLimits) {
    // 101 entries (the last is never indexed), a name of 16 characters (cut
    // to 14) and a stroke of 22 pairs (cut after the 20th, whose next pair
    // becomes the closing word; the last pair alone draws nothing).
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "N" + std::to_string(i) + " 0,0 1,1 L $\n";
    text += "LAST 0,0 1,1 L $\n";
    std::string long_stroke;
    for (int i = 0; i < 22; ++i)
        long_stroke += " " + std::to_string(i) + ",0";
    SymbolFile f(text);
    write_file(f.dir.file("long.smb"), "ABCDEFGHIJKLMNOP" + long_stroke + " L 0,1 0,2 L $");
    ASSERT_TRUE(f.open());
    EXPECT_EQ(symbol("N99").size(), 1u);
    EXPECT_TRUE(symbol("LAST").empty());
    ASSERT_TRUE(f.open("long.smb"));
    const auto got = symbol("ABCDEFGHIJKLMNxyz");
    ASSERT_EQ(got.size(), 2u) << show(got);
    EXPECT_EQ(got[0].pts.size(), 20u);
    EXPECT_EQ(got[0].pts.back().x, 19);
    expect_shapes({got[1]}, {pl({{0, 1}, {0, 2}})});
}

TEST(WeatherSymbol, OpeningAgainAndFailing) {
    SymbolFile f("R 0,0 1,0 L $");
    write_file(f.dir.file("other.smb"), "R 0,0 0,1 L $");
    ASSERT_TRUE(f.open());
    symbol("R"); // builds the index
    // The open file asked for again, in any case: -1, and its index stays.
    EXPECT_EQ(WX_symb_file(f.dir.file("TEST.smb").c_str()), -1);
    write_file(f.dir.file("test.smb"), "");
    expect_shapes(symbol("R"), {pl({{0, 0}, {1, 0}})});
    EXPECT_TRUE(f.open("other.smb"));
    expect_shapes(symbol("R"), {pl({{0, 0}, {0, 1}})});

    testing::internal::CaptureStderr();
    EXPECT_EQ(WX_symb_file(f.dir.file("missing.smb").c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WX_symb_file: Unable to open file: " + f.dir.file("missing.smb") + "\n");
    // No file is open: the next symbol opens the default, found along
    // file_path, where there is none.
    RES_put("file_path", f.dir.path().c_str());
    testing::internal::CaptureStderr();
    int rc = 1;
    EXPECT_TRUE(shapes(meta_drawn(WIN, [&] { rc = WX_symb(0, 0, "R", 1); })).empty());
    EXPECT_EQ(rc, 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "WX_symb_file: Unable to open file: " + f.dir.file("wx.smb") + "\n"),
              std::string::npos);
    // A pipe or a directory is no symbol file.
    testing::internal::CaptureStderr();
    EXPECT_EQ(WX_symb_file("|echo R 0,0 1,1 L $"), -1);
    EXPECT_EQ(WX_symb_file("."), -1);
    testing::internal::GetCapturedStderr();
}

// ---- The shipped symbol file ---------------------------------------------------------------

// The entries of a symbol file, read on their own: a name, then strokes of
// "x,y" pairs each closed by a word (F... fills), up to "$".
std::map<std::string, std::vector<MetaRecord>> read_entries(const std::string &text) {
    std::map<std::string, std::vector<MetaRecord>> entries;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = text.find('$', pos);
        if (end == std::string::npos) break;
        std::istringstream in(text.substr(pos, end - pos));
        pos = end + 1;
        std::string name, word;
        if (!(in >> name)) break;
        std::vector<MetaRecord> strokes;
        std::vector<MetaPoint> pts;
        while (in >> word) {
            const std::size_t comma = word.find(',');
            if (comma != std::string::npos) {
                pts.push_back({std::stod(word.substr(0, comma)), std::stod(word.substr(comma + 1))});
            } else {
                strokes.push_back({word[0] == 'F' ? "FA" : "PL", pts});
                pts.clear();
            }
        }
        entries[name] = strokes;
    }
    return entries;
}

TEST(WeatherSymbol, EveryWeatherCodeDrawsItsOwnEntry) {
    const auto entries = read_entries(read_file(ZEQ_SOURCE_DIR "/data/wx.smb"));
    ASSERT_GT(entries.size(), 70u);
    std::ifstream list(ZEQ_TEST_DATA "/raw/wx_codes.txt");
    ASSERT_TRUE(list) << "tests/data/raw/wx_codes.txt";
    std::string line;
    int codes = 0;
    // No file_path: the shipped file from the data directory.
    const auto got = zeqtest::meta_drawn(WIN, [&] {
        while (std::getline(list, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream in(line);
            std::string code, entry;
            in >> code >> entry;
            gmessage(1, code.c_str());
            EXPECT_EQ(WX_symb(0, 0, code.c_str(), 1), 1) << code;
            ++codes;
        }
    });
    EXPECT_GT(codes, 120);
    // Split the records at the messages naming each code.
    std::map<std::string, std::vector<MetaRecord>> drawn;
    std::string current;
    for (const MetaRecord &r : got) {
        if (r.key.starts_with("ME ")) {
            current = r.key.substr(3);
        } else if (r.key == "PL" || r.key == "FA") {
            drawn[current].push_back(r);
        }
    }
    std::ifstream again(ZEQ_TEST_DATA "/raw/wx_codes.txt");
    while (std::getline(again, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        std::string code, entry;
        in >> code >> entry;
        ASSERT_TRUE(entries.count(entry)) << entry;
        expect_shapes(drawn[code], entries.at(entry), code + " from " + entry);
    }
}

// ---- Sky cover ----------------------------------------------------------------------------

MetaPoint polar(double deg, double r = 2) {
    const double a = deg * 3.1415926535898 / 180.0;
    return {r * std::cos(a), r * std::sin(a)};
}

std::vector<MetaPoint> arc(int from, int to) {
    std::vector<MetaPoint> pts;
    for (int a = from; a <= to; a += 30)
        pts.push_back(polar(a));
    return pts;
}

template <typename... T> std::vector<MetaPoint> join(std::vector<MetaPoint> a, T... more) {
    (a.insert(a.end(), more.begin(), more.end()), ...);
    return a;
}

TEST(SkyCover, EveryCoverCode) {
    const MetaRecord circle = pl(arc(0, 360));
    const MetaPoint c{0, 0};
    const MetaRecord quarter = fa(join(arc(0, 90), std::vector<MetaPoint>{c, polar(0)}));
    const MetaRecord half = fa(join(arc(-90, 90), std::vector<MetaPoint>{polar(-90)}));
    const MetaRecord down = pl({c, {0, -2}});
    const double a = 0.7 * 2;
    const struct {
        const char *covers;
        std::vector<MetaRecord> drawn;
    } cases[] = {
        {"0Cbosx", {circle}},
        {"1F", {circle, pl({{0, 2}, {0, -2}})}},
        {"2S", {circle, quarter}},
        {"3", {circle, quarter, down}},
        {"4", {circle, half}},
        {"5", {circle, half, pl({c, {-2, 0}})}},
        {"6B", {circle, fa(join(arc(180, 360), arc(30, 90), std::vector<MetaPoint>{c, polar(180)}))}},
        {"7",
         {circle,
          fa({polar(-75), polar(-60), polar(-30), polar(0), polar(30), polar(60), polar(75), polar(-75)}),
          fa({polar(105), polar(120), polar(150), polar(180), polar(210), polar(240), polar(255),
              polar(105)})}},
        {"8O", {circle, fa(arc(0, 360))}},
        {"9X", {circle, pl({polar(45), polar(225)}), pl({polar(135), polar(315)})}},
        {"M/cz-", {circle, pl({{-a, -a}, {-a, a}, {0, 0}, {a, a}, {a, -a}})}},
    };
    for (const auto &cs : cases) {
        for (const char *p = cs.covers; *p != '\0'; ++p) {
            const auto got = meta_drawn(WIN, [&] { EXPECT_EQ(WX_cloud(0, 0, 2, *p), 0); });
            expect_shapes(shapes(got), cs.drawn, std::string(1, *p));
            // Fills are solid.
            for (std::size_t i = 0; i < got.size(); ++i)
                if (got[i].key == "FA") {
                    EXPECT_NE(show(std::vector<MetaRecord>(got.begin(), got.begin() + static_cast<long>(i)))
                                  .find("FA_INT 1"),
                              std::string::npos)
                        << *p;
                    break;
                }
        }
    }
}

// ---- A legend page ---------------------------------------------------------------------------

// Every entry of data/wx.smb and every sky cover, each in a cell of a 10 x 10
// grid with its name below, on a portrait PostScript page (one world unit is
// 5.75 points on [0, 100]^2). Ghostscript renders it: every symbol box holds
// ink, and the space between the boxes stays white.
TEST(Legend, EverySymbolRenders) {
    if (!gkstest::have_gs()) return;
    TempDir dir;
    const std::string file = dir.file("legend.ps");
    std::vector<std::string> names;
    for (const auto &e : read_entries(read_file(ZEQ_SOURCE_DIR "/data/wx.smb")))
        names.push_back(e.first);
    const std::string covers = "0123456789/";
    ASSERT_LE(names.size() + covers.size(), 100u);
    const zeqtest::ChildResult r = zeqtest::run_child([&] {
        gopen_gks(nullptr, 0);
        if (gopen_ws(1, (file + ",port").c_str(), GWS_PS) != 0) return 2;
        const Gcolr_rep black{0, 0, 0};
        gset_colr_rep(1, 2, &black);
        const Glim win{0, 100, 0, 100};
        gset_win(1, &win);
        gsel_norm_tran(1);
        gset_line_colr_ind(2);
        gset_fill_colr_ind(2);
        gset_text_colr_ind(2);
        gset_char_ht(1.6f);
        for (std::size_t i = 0; i < names.size() + covers.size(); ++i) {
            const float x0 = 10.0f * static_cast<float>(i % 10),
                        y0 = 90.0f - 10.0f * static_cast<float>(i / 10);
            const bool cover = i >= names.size();
            const std::string label = cover ? "(" + covers.substr(i - names.size(), 1) + ")" : names[i];
            GPH_text_align(GCENTER_HOR, GHALF_VERT);
            if (cover) {
                WX_cloud(x0 + 5, y0 + 6.5f, 2.5f, covers[i - names.size()]);
            } else if (WX_symb(x0 + 5, y0 + 6.5f, names[i].c_str(), 6) != 1) {
                return 4;
            }
            GPH_text_align(GCENTER_HOR, GBOTTOM_VERT);
            const Gpt at{x0 + 5, y0 + 0.8f};
            gtext(&at, label.c_str());
        }
        return gclose_ws(1) == 0 ? 0 : 3;
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(gkstest::gs_check(file).status == 0);
    const gkstest::Raster img = gkstest::gs_render(file, gkstest::media(800, 800), 72);
    auto ink = [&](double x1, double y1, double x2, double y2) {
        int n = 0;
        for (double x = x1; x <= x2; x += 0.1)
            for (double y = y1; y <= y2; y += 0.1)
                n += img.black(5.75 * x + 18, 5.75 * y + 18) ? 1 : 0;
        return n;
    };
    for (std::size_t i = 0; i < names.size() + covers.size(); ++i) {
        const double x0 = 10.0 * static_cast<double>(i % 10), y0 = 90.0 - 10.0 * static_cast<double>(i / 10);
        const std::string what = i < names.size() ? names[i] : "cover " + covers.substr(i - names.size(), 1);
        EXPECT_GT(ink(x0 + 2, y0 + 3.5, x0 + 8, y0 + 9.5), 0) << what;
        EXPECT_GT(ink(x0 + 1, y0 + 0.8, x0 + 9, y0 + 2.4), 0) << what << " label";
        EXPECT_EQ(ink(x0 + 0.2, y0 + 3.5, x0 + 1.2, y0 + 9.8), 0) << what << " left of the box";
    }
}

} // namespace
