// Text: the stroke layout of a small fixture font in both file layouts
// (advance widths, blanks, alignment, up vector, expansion, spacing and the
// runs of connected strokes), the fonts we generate, font lists, refused
// font files, the setters and the records of a text metafile, and stroke
// text measured in the ink ghostscript draws.
#include "graphics/gks_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_tran.h"
#include "graphics/render.h"
#include "graphics/xwin.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

// ---- A fixture font ----------------------------------------------------------------
// 'A': one stroke from (0, 35) to (60, 35), 60 units wide. The blank: a tick
// from (0, 35) to (10, 35), yet 40 units wide. 'B': a zigzag of 35 connected
// points, x = 3 i, y = 35 or 45.

std::vector<int> glyph_a() {
    return {128, 35, 60, 35, 255};
}
std::vector<int> glyph_blank() {
    return {128, 35, 10, 35, 255};
}
std::vector<int> glyph_b() {
    std::vector<int> g{128, 35};
    for (int i = 1; i < 35; ++i) {
        g.push_back(3 * i);
        g.push_back(35 + (i % 2) * 10);
    }
    g.push_back(255);
    return g;
}

std::string join(const std::vector<int> &v) {
    std::ostringstream s;
    for (int x : v)
        s << x << ' ';
    s << '\n';
    return s.str();
}

std::string table(int a, int blank, int b) {
    std::ostringstream s;
    for (int c = 0; c < 256; ++c)
        s << (c == 'A' ? a : c == ' ' ? blank : c == 'B' ? b : -1) << (c % 16 == 15 ? '\n' : ' ');
    return s.str();
}

// Plain layout: 255 (the empty glyph at 0), the glyphs, 254, the offsets.
std::string plain_font() {
    return "255\n" + join(glyph_a()) + join(glyph_blank()) + join(glyph_b()) + "254\n" + table(1, 6, 11);
}

// Named layout: a number and a word, each glyph's end code followed by a
// label, the glyphs counted from 0.
std::string named_font() {
    auto labelled = [](const std::vector<int> &g, const char *label) {
        std::string s = join(g);
        s.insert(s.size() - 1, label);
        return s;
    };
    return "3 fixture\n" + labelled(glyph_a(), " A") + labelled(glyph_blank(), " blank") +
           labelled(glyph_b(), " B") + "254\n" + table(0, 5, 10);
}

using Cmd = gkstest::PathCmd;

// The drawing of each text ("%%TE:" comment up to the next comment).
std::vector<std::vector<Cmd>> text_blocks(const std::string &ps) {
    return gkstest::ps_paths(ps, "%%TE:");
}

// Opens a PostScript page whose transformation 1 makes one world unit one
// font unit at character height 105 (the height set).
void open_font_unit_page(const std::string &ps) {
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, (ps + ",port,eps").c_str(), GWS_PS), 0);
    const Glim win{0, 4000, 0, 4000}, vp{0, 1, 0, 1};
    gset_win(1, &win);
    gset_vp(1, &vp);
    gsel_norm_tran(1);
    gset_char_ht(105);
}

// A font-unit page (above) of the font text, with the text origin at
// (2000, 2000).
class StrokePage {
public:
    explicit StrokePage(const std::string &font_text) {
        font_ = dir_.file("fixture.fnt");
        write_file(font_, font_text);
        file_ = dir_.file("text.ps");
        open_font_unit_page(file_);
        EXPECT_EQ(read_font(font_.c_str()), 0);
    }
    // Print units of a font-unit offset from the origin.
    Cmd at(float dx, float dy) const { return {'?', xW_ps(2000 + dx), yW_ps(2000 + dy)}; }
    void draw(const char *s) const {
        const Gpt o{2000, 2000};
        gtext(&o, s);
    }
    std::vector<std::vector<Cmd>> close() {
        gclose_ws(1);
        return text_blocks(read_file(file_));
    }
    const std::string &file() const { return file_; }

private:
    TempDir dir_;
    std::string font_;
    std::string file_;
};

// The points a block draws, as (op, dx, dy) against expected offsets.
void expect_points(const std::vector<Cmd> &got, const std::vector<Cmd> &want) {
    std::vector<Cmd> pts;
    for (const Cmd &c : got)
        if (c.op == 'm' || c.op == 'l') pts.push_back(c);
    ASSERT_EQ(pts.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("point " + std::to_string(i));
        EXPECT_EQ(pts[i].op, want[i].op);
        EXPECT_NEAR(pts[i].x, want[i].x, 0.011);
        EXPECT_NEAR(pts[i].y, want[i].y, 0.011);
    }
}

struct Layout {
    const char *what;
    const char *text;
    Gtext_hor hor;
    Gtext_ver vert;
    Gpt up;
    float expan, space, char_space;
    std::vector<Cmd> points; // offsets from the origin in font units
};

// Both layouts of the fixture font draw the same strokes, placed as the
// advance widths, the alignment and the other attributes say.
TEST(StrokeText, LayoutOfTheFixtureFontInBothFileLayouts) {
    const Gpt up{0, 1};
    const std::vector<Layout> cases = {
        {"two 60-unit characters",
         "AA",
         GLEFT_HOR,
         GBASE_VERT,
         up,
         1,
         0.25f,
         0,
         {{'m', 0, 0}, {'l', 60, 0}, {'m', 85, 0}, {'l', 145, 0}}},
        {"145 long, centred from -72",
         "AA",
         GCENTER_HOR,
         GNORMAL_VERT,
         up,
         1,
         0.25f,
         0,
         {{'m', -72, 0}, {'l', -12, 0}, {'m', 13, 0}, {'l', 73, 0}}},
        {"right",
         "AA",
         GRIGHT_HOR,
         GBASE_VERT,
         up,
         1,
         0.25f,
         0,
         {{'m', -145, 0}, {'l', -85, 0}, {'m', -60, 0}, {'l', 0, 0}}},
        {"a blank is 40 wide despite its glyph",
         "A A",
         GLEFT_HOR,
         GBASE_VERT,
         up,
         1,
         0.25f,
         0,
         {{'m', 0, 0}, {'l', 60, 0}, {'m', 85, 0}, {'l', 95, 0}, {'m', 150, 0}, {'l', 210, 0}}},
        {"a character without a glyph takes no room",
         "AxA",
         GRIGHT_HOR,
         GBASE_VERT,
         up,
         1,
         0.25f,
         0,
         {{'m', -145, 0}, {'l', -85, 0}, {'m', -60, 0}, {'l', 0, 0}}},
        {"top", "A", GLEFT_HOR, GTOP_VERT, up, 1, 0.25f, 0, {{'m', 0, -125}, {'l', 60, -125}}},
        {"cap", "A", GLEFT_HOR, GCAP_VERT, up, 1, 0.25f, 0, {{'m', 0, -105}, {'l', 60, -105}}},
        {"half", "A", GLEFT_HOR, GHALF_VERT, up, 1, 0.25f, 0, {{'m', 0, -50}, {'l', 60, -50}}},
        {"bottom", "A", GLEFT_HOR, GBOTTOM_VERT, up, 1, 0.25f, 0, {{'m', 0, 35}, {'l', 60, 35}}},
        {"baseline upwards",
         "AA",
         GLEFT_HOR,
         GBASE_VERT,
         {-2, 0},
         1,
         0.25f,
         0,
         {{'m', 0, 0}, {'l', 0, 60}, {'m', 0, 85}, {'l', 0, 145}}},
        {"upside down, top",
         "A",
         GLEFT_HOR,
         GTOP_VERT,
         {0, -3},
         1,
         0.25f,
         0,
         {{'m', 0, 125}, {'l', -60, 125}}},
        {"expansion 2",
         "AA",
         GCENTER_HOR,
         GBASE_VERT,
         up,
         2,
         0.25f,
         0,
         {{'m', -145, 0}, {'l', -25, 0}, {'m', 25, 0}, {'l', 145, 0}}},
        {"no spacing",
         "AA",
         GLEFT_HOR,
         GBASE_VERT,
         up,
         1,
         0,
         0,
         {{'m', 0, 0}, {'l', 60, 0}, {'m', 60, 0}, {'l', 120, 0}}},
        {"fixed pitch",
         "AA",
         GRIGHT_HOR,
         GBASE_VERT,
         up,
         1,
         0.25f,
         1,
         {{'m', -225, 0}, {'l', -165, 0}, {'m', -100, 0}, {'l', -40, 0}}},
    };
    for (const std::string &font : {plain_font(), named_font()}) {
        SCOPED_TRACE(font.substr(0, 9));
        StrokePage page(font);
        std::vector<std::vector<Cmd>> want;
        for (const Layout &c : cases) {
            const Gtext_align align{c.hor, c.vert};
            gset_text_align(&align);
            gset_char_up_vec(&c.up);
            gset_expan(c.expan);
            gset_space(c.space);
            gset_char_space(c.char_space);
            page.draw(c.text);
            want.emplace_back();
            for (const Cmd &p : c.points) {
                Cmd w = page.at(p.x, p.y);
                w.op = p.op;
                want.back().push_back(w);
            }
        }
        const auto blocks = page.close();
        ASSERT_EQ(blocks.size(), cases.size());
        for (std::size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(cases[i].what);
            expect_points(blocks[i], want[i]);
        }
    }
}

// A glyph of 35 connected points goes out as a run of 30 points and one of 6
// that begins at the 30th.
TEST(StrokeText, LongStrokesGoOutInRunsOfThirty) {
    StrokePage page(plain_font());
    page.draw("B");
    const auto blocks = page.close();
    ASSERT_EQ(blocks.size(), 1u);
    std::string ops;
    for (const Cmd &c : blocks[0])
        ops += c.op;
    EXPECT_EQ(ops, "nm" + std::string(29, 'l') + "snm" + std::string(5, 'l') + "s");
    // The second run starts where the first ended.
    EXPECT_FLOAT_EQ(blocks[0][30].x, blocks[0][33].x);
    EXPECT_FLOAT_EQ(blocks[0][30].y, blocks[0][33].y);
}

// Spacings far beyond the page: the layout stays within int range (no
// overflow, no undefined conversion) and every point written is a number.
TEST(StrokeText, HugeSpacingsKeepTheLayoutInRange) {
    struct Case {
        const char *name;
        float expan, space, char_space;
    };
    const Case cases[] = {
        {"wide spacing, long text", 1.0f, 3.2e5f, 0.0f},
        {"zero expansion, infinite spacing", 0.0f, 3e38f, 0.0f},
        {"wide fixed character space", 1.0f, 0.0f, 3e38f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StrokePage page(plain_font());
        const Gtext_align centred{GCENTER_HOR, GHALF_VERT};
        gset_text_align(&centred);
        gset_expan(c.expan);
        gset_space(c.space);
        gset_char_space(c.char_space);
        page.draw(std::string(200, 'B').c_str());
        for (const auto &block : page.close())
            for (const Cmd &cmd : block) {
                EXPECT_TRUE(std::isfinite(cmd.x));
                EXPECT_TRUE(std::isfinite(cmd.y));
            }
    }
}

// ---- Font files ----------------------------------------------------------------------

std::string font_path(const char *name) {
    return std::string(ZEQ_BUILD_DATA_DIR) + "/" + name;
}

// Every font of the font list loads, draws every printable character but
// the blank, and its "H" stands on the baseline and reaches the cap height.
TEST(StrokeText, GeneratedFontsHoldEveryPrintableCharacter) {
    const std::string list = read_file(std::string(ZEQ_DATA_DIR) + "/zeq.fnl");
    std::istringstream in(list);
    std::string abbr, name;
    int fonts = 0;
    while (in >> abbr >> name) {
        SCOPED_TRACE(name);
        ++fonts;
        StrokePage page(read_file(font_path(name.c_str())));
        for (int c = 33; c < 127; ++c) {
            const char s[2] = {static_cast<char>(c), '\0'};
            page.draw(s);
        }
        page.draw("H");
        const auto blocks = page.close();
        ASSERT_EQ(blocks.size(), 95u);
        for (int c = 33; c < 127; ++c) {
            bool drawn = false;
            for (const Cmd &k : blocks[static_cast<std::size_t>(c - 33)])
                drawn = drawn || k.op == 'l';
            EXPECT_TRUE(drawn) << "character " << static_cast<char>(c);
        }
        float lo = 1e9f, hi = -1e9f;
        for (const Cmd &k : blocks.back())
            if (k.op == 'm' || k.op == 'l') {
                lo = std::min(lo, k.y);
                hi = std::max(hi, k.y);
            }
        EXPECT_NEAR(lo, page.at(0, 0).y, 0.011);
        EXPECT_NEAR(hi, page.at(0, 105).y, 0.011);
    }
    EXPECT_GT(fonts, 0);
}

// Damaged font files are refused with a warning naming the file and what is
// wrong; the font then has no glyphs, so text draws nothing.
TEST(StrokeText, DamagedFontFilesAreRefused) {
    const std::string head = "255\n" + join(glyph_a()) + "254\n";
    std::string big = "255\n", full = "255\n";
    for (int i = 0; i < 7500; ++i)
        big += "128 35 ";
    // 255, 7498 pairs and their end code, an empty glyph and the closing
    // code: 15000 bytes, the most a font may hold.
    for (int i = 0; i < 7498; ++i)
        full += "128 35 ";
    full += "255 255\n254\n" + table(1, -1, -1);
    const struct {
        const char *what;
        std::string text;
        std::string warning;
    } cases[] = {
        {"over 15000 glyph bytes", big + "255\n254\n" + table(1, -1, -1),
         "more than 15000 bytes of glyph data"},
        {"exactly 15000 glyph bytes", full, ""},
        {"offset outside the data", head + table(7, -1, -1),
         "glyph offset 7 of character 65 lies outside the data"},
        {"glyph without an end code", "255\n128 35 60 254\n" + table(1, -1, -1),
         "glyph of character 65 has no end code"},
        {"short table", head + "1 2 3\n", "3 glyph offsets, 256 expected"},
        {"no end of the data", "255 128 35 60 35 255", "the glyph data have no end code 254"},
        {"a word in the data", "255 128 x 254\n" + table(1, -1, -1), "glyph data value \"x\" is no byte"},
        {"a byte above 255", "255 128 300 254\n" + table(1, -1, -1), "glyph data value \"300\" is no byte"},
        {"empty file", "", "empty file"},
    };
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string font = dir.file("bad.fnt");
        write_file(font, c.text);
        const std::string ps = dir.file("out.ps");
        gopen_gks(nullptr, 0);
        ASSERT_EQ(gopen_ws(1, ps.c_str(), GWS_PS), 0);
        testing::internal::CaptureStderr();
        const int rc = read_font(font.c_str());
        const std::string err = testing::internal::GetCapturedStderr();
        const Gpt o{0.5f, 0.5f};
        gtext(&o, "A");
        gclose_ws(1);
        const auto blocks = text_blocks(read_file(ps));
        ASSERT_EQ(blocks.size(), 1u);
        if (c.warning.empty()) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(err, "");
            EXPECT_FALSE(blocks[0].empty());
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(err, "read_font: " + font + ": " + c.warning + "\n");
            EXPECT_TRUE(blocks[0].empty());
        }
    }
}

// A missing font file warns with the name tried, and the font loaded
// before it is gone: text draws nothing. Names that would read standard
// input or run a command are never opened.
TEST(StrokeText, MissingFontFilesAndNamesThatAreNoFiles) {
    TempDir dir;
    const std::string ran = dir.file("ran");
    write_file(dir.file("fixture.fnt"), plain_font());
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, dir.file("out.ps").c_str(), GWS_PS), 0);
    ASSERT_EQ(read_font(dir.file("fixture.fnt").c_str()), 0);
    const Gpt o{0.5f, 0.5f};
    gtext(&o, "A");
    for (const std::string &name :
         {dir.file("none.fnt"), "|touch " + ran, std::string("-"), std::string("stdn")}) {
        SCOPED_TRACE(name);
        testing::internal::CaptureStderr();
        EXPECT_EQ(read_font(name.c_str()), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "read_font: unable to load font file: " + name + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(ran));
    gtext(&o, "A");
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_font("#fixed"), -1); // no X display on PostScript
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "read_font: unable to load font: fixed\n");
    gclose_ws(1);
    const auto blocks = text_blocks(read_file(dir.file("out.ps")));
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_FALSE(blocks[0].empty());
    EXPECT_TRUE(blocks[1].empty());
    EXPECT_EQ(read_font(dir.file("none.fnt").c_str()), -1) << "the kernel is closed";
}

// ---- Font lists -----------------------------------------------------------------------

// A font list file of n lines "fN fN.fnt", each font a copy of the fixture
// whose 'A' is N units wide, so the loaded font shows which entry it is.
std::string font_list_file(const TempDir &dir, const char *name, int n) {
    std::string list;
    for (int i = 1; i <= n; ++i) {
        const std::string file = "f" + std::to_string(i) + ".fnt";
        write_file(dir.file(file), "255 128 35 " + std::to_string(i) + " 35 255 254\n" + table(1, -1, -1));
        list += "f" + std::to_string(i) + " " + file + "\n";
    }
    write_file(dir.file(name), list);
    return dir.file(name);
}

struct ListCase {
    const char *what;
    const char *resource;                            // font_list, or null
    int lines;                                       // lines of the list file
    const char *file;                                // its name
    std::vector<std::pair<const char *, int>> index; // gget_font_index cases
};

// The font list from zeq.fnl (45 lines give 40 entries) or a "fi:" file (12
// lines give 10), the font index of names and numbers, and the font each
// entry loads.
TEST(FontList, SourcesLimitsAndIndexOfNames) {
    const std::vector<ListCase> cases = {
        {"zeq.fnl",
         nullptr,
         45,
         "zeq.fnl",
         {{"f40", 40}, {"F3", 3}, {"f41", 1}, {"2", 2}, {"17x", 17}, {"nope", 1}}},
        {"fi: file", "fi:fonts.lst", 12, "fonts.lst", {{"f10", 10}, {"f11", 1}, {"f1", 1}}},
        {"FI: any case", "FI:fonts.lst", 12, "fonts.lst", {{"f10", 10}}},
    };
    for (const ListCase &c : cases) {
        SCOPED_TRACE(c.what);
        const int rc = zeqtest::run_child([&] {
                           TempDir dir;
                           font_list_file(dir, c.file, c.lines);
                           RES_put("file_path", dir.path().c_str());
                           if (c.resource != nullptr) RES_put("font_list", c.resource);
                           gopen_gks(nullptr, 0);
                           if (gopen_ws(1, dir.file("out.meta").c_str(), GWS_META) != 0) return 10;
                           for (const auto &[name, index] : c.index)
                               if (gget_font_index(name) != index) return 20 + index;
                           return 0;
                       }).status;
        EXPECT_EQ(rc, 0);
    }
}

// The widths of 'A' (one font unit per world unit) in the texts of a page.
std::vector<float> widths_of_a(const std::string &ps, float unit) {
    std::vector<float> widths;
    for (const auto &block : text_blocks(read_file(ps)))
        widths.push_back(block.size() == 4 ? std::round((block[2].x - block[1].x) / unit) : -1);
    return widths;
}

// Selecting fonts: entry n loads its own file; a number outside the list is
// refused every time and leaves the font in use; the entries of a comma list
// have no abbreviations.
TEST(FontList, SelectingFontsByNumber) {
    TempDir dir;
    font_list_file(dir, "two.lst", 2);
    RES_put("file_path", dir.path().c_str());
    RES_put("font_list", "fi:two.lst");
    const std::string ps = dir.file("out.ps");
    const Gpt o{2000, 2000};
    float unit = 0;
    auto open = [&] {
        open_font_unit_page(ps);
        unit = xW_ps(2001) - xW_ps(2000);
    };
    const Gfontprec one{1, GSTROKE_PREC}, two{2, GSTROKE_PREC}, three{3, GSTROKE_PREC};
    open();
    gtext(&o, "A");
    EXPECT_EQ(gset_fontprec(&two), 0);
    gtext(&o, "A");
    for (int i = 0; i < 2; ++i) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(gset_fontprec(&three), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "gset_fontprec: invalid font id: 3\n");
    }
    gtext(&o, "A");
    gclose_ws(1);
    EXPECT_EQ(widths_of_a(ps, unit), (std::vector<float>{1, 2, 2}));

    gset_font_list("f2.fnt,f1.fnt");
    open();
    EXPECT_EQ(gget_font_index("f1"), 1);
    gtext(&o, "A");
    EXPECT_EQ(gset_fontprec(&two), 0);
    gtext(&o, "A");
    EXPECT_EQ(gset_fontprec(&one), 0);
    gtext(&o, "A");
    gclose_ws(1);
    EXPECT_EQ(widths_of_a(ps, unit), (std::vector<float>{2, 1, 2}));
}

// A "fi:" list that cannot be read warns; the default font is then used.
TEST(FontList, UnreadableListFile) {
    TempDir dir;
    RES_put("file_path", dir.path().c_str());
    RES_put("font_list", "fi:missing.lst");
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStderr();
    ASSERT_EQ(gopen_ws(1, dir.file("out.meta").c_str(), GWS_META), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "gsetup_fonts: unable to load font list file: " + dir.path() +
                  "/missing.lst\n"
                  "read_font: unable to load font file: " +
                  dir.path() + "/modern.fnt\n");
    gclose_ws(1);
}

// ---- Setters and the text metafile --------------------------------------------------

// The setters' refusals and records: each effective change writes one record,
// an unchanged value or an empty string writes nothing, and text records stay
// on one line.
TEST(TextAttributes, SettersAndMetafileRecords) {
    TempDir dir;
    const std::string file = dir.file("t.meta");
    gopen_gks(nullptr, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gtext(nullptr, "x"), -1);
    EXPECT_EQ(gset_text_colr_ind(2), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "gtext: GKS not opened\n\ngset_text_colr_ind: GKS not opened\n\n");
    ASSERT_EQ(gopen_ws(1, file.c_str(), GWS_META), 0);
    const Gpt pos{0.25f, 0.5f};
    const Gpt zero{0, 0}, up2{0, 2}, left{-1, 0};
    const Gtext_align centre{GCENTER_HOR, GHALF_VERT};
    const Gfontprec font2{2, GSTROKE_PREC};
    const struct {
        const char *what;
        std::function<int()> call;
        int result;
        std::string err;
    } calls[] = {
        {"empty text", [&] { return gtext(&pos, ""); }, 0, ""},
        {"text", [&] { return gtext(&pos, "Hi there"); }, 0, ""},
        {"text with line ends", [&] { return gtext(&pos, "a\nPL 2 0,0 1,1\r"); }, 0, ""},
        {"colour", [] { return gset_text_colr_ind(0); }, 0, ""},
        {"colour unchanged", [] { return gset_text_colr_ind(0); }, 0, ""},
        {"colour 300", [] { return gset_text_colr_ind(300); }, -1,
         "gset_text_colr_ind: invalid color index: 300\n\n"},
        {"expansion", [] { return gset_expan(2); }, 0, ""},
        {"negative expansion", [] { return gset_expan(-1); }, -1,
         "gset_expan: invalid expansion factor: -1.000000\n\n"},
        {"width", [] { return gset_text_width(3); }, 0, ""},
        {"negative width", [] { return gset_text_width(-2); }, -1,
         "gset_text_width: invalid text width: -2.000000\n\n"},
        {"height", [] { return gset_char_ht(0.02f); }, 0, ""},
        {"negative height", [] { return gset_char_ht(-0.5f); }, -1,
         "gset_char_ht: invalid character height: -0.500000\n\n"},
        {"zero up vector", [&] { return gset_char_up_vec(&zero); }, -1,
         "gset_char_up_vec: invalid up vector: 0.000000,0.000000\n\n"},
        {"up vector as given", [&] { return gset_char_up_vec(&up2); }, 0, ""},
        {"up vector", [&] { return gset_char_up_vec(&left); }, 0, ""},
        {"alignment", [&] { return gset_text_align(&centre); }, 0, ""},
        {"alignment unchanged", [&] { return gset_text_align(&centre); }, 0, ""},
        {"space", [] { return gset_space(0.5f); }, 0, ""},
        {"character space", [] { return gset_char_space(1); }, 0, ""},
        {"font", [&] { return gset_fontprec(&font2); }, 0, ""},
        {"font unchanged", [&] { return gset_fontprec(&font2); }, 0, ""},
    };
    for (const auto &c : calls) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    }
    Gint err = -1;
    Gtext_align align{};
    ginq_text_align(&err, &align);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(align.hor, GCENTER_HOR);
    EXPECT_EQ(align.vert, GHALF_VERT);
    EXPECT_EQ(gget_text_colr(), 0);
    gclose_ws(1);
    const std::string text = read_file(file);
    const std::string body = text.substr(text.find("TE "));
    EXPECT_EQ(body, "TE 0.250000,0.500000 Hi there\n"
                    "TE 0.250000,0.500000 a PL 2 0,0 1,1 \n"
                    "TE_CLR 0\n"
                    "TE_EXP 2.000000\n"
                    "TE_WDTH 3.000000\n"
                    "TE_HGHT 0.020000\n"
                    "TE_UP 0.000000,2.000000\n"
                    "TE_UP -1.000000,0.000000\n"
                    "TE_ALGN 2 3\n"
                    "TE_SPC 0.500000\n"
                    "TE_CSPC 1.000000\n"
                    "TE_FNT 2 2\n");
}

// On PostScript a text width of 0 becomes 1; the up vector is kept at unit
// length, so (0, 2) is the default and (0, 1) afterwards changes nothing.
TEST(TextAttributes, PostScriptWidthAndUnitUpVector) {
    StrokePage page(plain_font());
    gset_text_width(3);
    page.draw("A");
    EXPECT_EQ(gset_text_width(0), 0);
    page.draw("A");
    const Gpt up2{0, 2};
    EXPECT_EQ(gset_char_up_vec(&up2), 0);
    page.draw("A");
    const auto blocks = page.close();
    const std::string text = read_file(page.file());
    // Widths are written as line width x 0.33 points ("dot").
    const std::size_t first = text.find("%%TE:");
    const std::size_t second = text.find("%%TE:", first + 1);
    EXPECT_NE(text.substr(first, second - first).find("3.0 dot lw"), std::string::npos);
    EXPECT_NE(text.substr(second).find("1.0 dot lw"), std::string::npos);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_NEAR(blocks[2][1].y, blocks[0][1].y, 0.011);
    EXPECT_NEAR(blocks[2][2].x, blocks[0][2].x, 0.011);
}

// A string that could end the "%%TE:" comment early stays a comment: the
// rest never becomes PostScript, and ghostscript reads the page.
TEST(TextAttributes, PostScriptCommentStaysOneLine) {
    if (!gkstest::have_gs()) return;
    StrokePage page(plain_font());
    page.draw("A\nshowpage quit\r");
    page.close();
    const std::string text = read_file(page.file());
    EXPECT_NE(text.find("%%TE:2000.000000 2000.000000 A showpage quit \n"), std::string::npos);
    EXPECT_EQ(text.find("\nshowpage quit"), std::string::npos);
    const auto run = gkstest::gs_check(page.file(), true);
    EXPECT_EQ(run.status, 0) << run.out;
}

// ---- Ink measured by ghostscript --------------------------------------------------------

// The ink box of "HH" in the default font, drawn 100 points high, for every
// alignment and several up vectors: ghostscript's bounding box of the page
// against the box the font's metrics give, within the line width.
TEST(StrokeText, InkBoxesMatchTheMetrics) {
    if (!gkstest::have_gs()) return;
    // The metrics of 'H' from the font file itself: its x extent and width.
    std::istringstream font(read_file(font_path("modern.fnt")));
    std::vector<int> words;
    for (int w; font >> w;)
        words.push_back(w);
    const auto end = std::find(words.begin(), words.end(), 254);
    ASSERT_NE(end, words.end());
    const std::vector<int> data(words.begin(), end);
    const int off = *(end + 1 + 'H');
    int xmin = 255, xmax = 0, ymin = 255, ymax = 0;
    for (std::size_t k = static_cast<std::size_t>(off); data[k] != 255; k += 2) {
        const int x = data[k] >= 128 ? data[k] - 128 : data[k];
        xmin = std::min(xmin, x);
        xmax = std::max(xmax, x);
        ymin = std::min(ymin, data[k + 1]);
        ymax = std::max(ymax, data[k + 1]);
    }
    ASSERT_EQ(ymin, 35);
    ASSERT_EQ(ymax, 140);
    const int length = xmax + 25 + xmax; // "HH": width, spacing, width

    const int vert_off[] = {-35, -160, -140, -85, -35, 0};
    const struct {
        float ux, uy;
        std::vector<int> hor;
        std::vector<int> vert;
    } ups[] = {{0, 1, {0, 1, 2, 3}, {0, 1, 2, 3, 4, 5}},
               {-1, 0, {2}, {3, 5}},
               {1, 1, {0, 3}, {1, 4}},
               {0, -1, {2}, {2}}};
    TempDir dir;
    for (const auto &u : ups)
        for (int hor : u.hor)
            for (int vert : u.vert) {
                SCOPED_TRACE("up " + std::to_string(u.ux) + "," + std::to_string(u.uy) + " align " +
                             std::to_string(hor) + "," + std::to_string(vert));
                const std::string ps = dir.file("ink.ps");
                gopen_gks(nullptr, 0);
                ASSERT_EQ(gopen_ws(1, (ps + ",port,eps").c_str(), GWS_PS), 0);
                // World units are print units on this page.
                const Glim ws{0, 1, 0, 575.0f / 755}, win{0, 755, 0, 575};
                gset_ws_win(1, &ws);
                const Glim &vp = ws;
                gset_win(1, &win);
                gset_vp(1, &vp);
                gsel_norm_tran(1);
                const float height = 100;
                gset_char_ht(height);
                gset_text_width(3); // 1 point
                const Gtext_align align{static_cast<Gtext_hor>(hor), static_cast<Gtext_ver>(vert)};
                gset_text_align(&align);
                const Gpt up{u.ux, u.uy};
                gset_char_up_vec(&up);
                const Gpt o{380, 290};
                gtext(&o, "HH");
                const float ox = xW_ps(o.x), oy = yW_ps(o.y);
                ASSERT_NEAR(xW_ps(o.x + 1) - ox, 1, 1e-3);
                gclose_ws(1);
                const std::string text = read_file(ps);
                EXPECT_NE(text.find("%%TE:380.000000 290.000000 HH\n"), std::string::npos);

                // The box in font units, turned by the up vector.
                const int h0 = hor == 2 ? -(length / 2) : hor == 3 ? -length : 0;
                const double len = std::hypot(u.ux, u.uy), ux = u.ux / len, uy = u.uy / len;
                const double s = height / 105;
                double lo_x = 1e9, hi_x = -1e9, lo_y = 1e9, hi_y = -1e9;
                for (double fx : {double(h0 + xmin), double(h0 + length)})
                    for (double fy : {35.0 + vert_off[vert], 140.0 + vert_off[vert]}) {
                        const double sx = s * fx, sy = s * fy;
                        const double x = ox + uy * sx + ux * sy, y = oy - ux * sx + uy * sy;
                        lo_x = std::min(lo_x, x), hi_x = std::max(hi_x, x);
                        lo_y = std::min(lo_y, y), hi_y = std::max(hi_y, y);
                    }
                const auto run = gkstest::run_gs("-sDEVICE=bbox '" + ps + "'");
                ASSERT_EQ(run.status, 0) << run.out;
                const std::size_t at = run.out.find("%%HiResBoundingBox:");
                ASSERT_NE(at, std::string::npos) << run.out;
                double bx0 = 0, by0 = 0, bx1 = 0, by1 = 0;
                ASSERT_EQ(std::sscanf(run.out.c_str() + at, "%%%%HiResBoundingBox: %lf %lf %lf %lf", &bx0,
                                      &by0, &bx1, &by1),
                          4);
                const double tol = 1.0; // the line width
                EXPECT_NEAR(bx0, lo_x, tol);
                EXPECT_NEAR(bx1, hi_x, tol);
                EXPECT_NEAR(by0, lo_y, tol);
                EXPECT_NEAR(by1, hi_y, tol);
            }
}

// ---- The X window ------------------------------------------------------------------------

// The box of the pixels of a picture that differ from black, within a region.
struct Ink {
    int x0 = 1 << 20, x1 = -1, y0 = 1 << 20, y1 = -1;
    bool any() const { return x1 >= 0; }
};

Ink ink(const xtest::Picture &pic, int x0, int y0, int x1, int y1) {
    Ink k;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (pic.at(x, y) != xtest::Rgb{0, 0, 0}) {
                k.x0 = std::min(k.x0, x), k.x1 = std::max(k.x1, x);
                k.y0 = std::min(k.y0, y), k.y1 = std::max(k.y1, y);
            }
    return k;
}

// "#fixed" is an X core font: it draws at its own size, placed by its pixel
// width, ascent and descent as X itself reports them.
TEST(XText, CoreFontPlacedByItsMetrics) {
    if (!xtest::need_tools()) return;
    gset_font_list("#fixed");
    ASSERT_TRUE(xtest::open_window());
    xtest::pixel_world();
    XFontStruct *f = XLoadQueryFont(gget_display(), "fixed");
    ASSERT_NE(f, nullptr);
    const int w = XTextWidth(f, "HHHH", 4), ascent = f->ascent, descent = f->descent;
    XFreeFont(gget_display(), f);
    const struct {
        Gtext_hor hor;
        Gtext_ver vert;
        int dx, dy; // the string's offset in pixels from its place
    } cases[] = {{GLEFT_HOR, GBASE_VERT, 0, 0},          {GCENTER_HOR, GNORMAL_VERT, -(w / 2), 0},
                 {GRIGHT_HOR, GTOP_VERT, -w, ascent},    {GNORMAL_HOR, GHALF_VERT, 0, ascent / 2},
                 {GLEFT_HOR, GBOTTOM_VERT, 0, -descent}, {GRIGHT_HOR, GCAP_VERT, -w, ascent}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Gtext_align a{cases[i].hor, cases[i].vert};
        gset_text_align(&a);
        const Gpt at = xtest::px(200, 40 + 60 * static_cast<float>(i));
        gtext(&at, "HHHH");
    }
    const xtest::Picture pic = xtest::grab_window();
    Ink base;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const int row = 40 + 60 * static_cast<int>(i);
        const Ink k = ink(pic, 100, row - 30, 300, row + 29);
        ASSERT_TRUE(k.any());
        if (i == 0) {
            base = k;
            // The ink lies in the cells: right of the place and above the baseline.
            EXPECT_GE(k.x0, 200);
            EXPECT_LT(k.x1, 200 + w);
            EXPECT_GE(k.y0, row - ascent);
            EXPECT_LT(k.y1, row + descent);
            continue;
        }
        EXPECT_EQ(k.x0 - base.x0, cases[i].dx);
        EXPECT_EQ(k.x1 - base.x1, cases[i].dx);
        EXPECT_EQ(k.y0 - (base.y0 - 40) - row, cases[i].dy);
    }
    gclose_ws(1);
}

// A core font is loaded on the display of each window: after a window on
// another screen (a new connection) it draws there, and no X error comes
// from the font of the first connection.
TEST(XText, CoreFontOnASecondDisplay) {
    if (!xtest::need_tools()) return;
    const zeqtest::ChildResult r = zeqtest::run_child(
        [] {
            gset_font_list("#fixed");
            const Gpt at = xtest::px(200, 40);
            for (int screen : {0, 1, 0}) {
                if (!xtest::open_window(xtest::screen_name(screen))) return 2;
                xtest::pixel_world();
                gtext(&at, "HHHH");
                const Ink k = ink(xtest::grab_window(), 150, 10, 300, 70);
                if (gclose_ws(1) != 0) return 3;
                if (!k.any()) return 4;
            }
            return 0;
        },
        {}, std::chrono::seconds(60));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

// Stroke text on the window, a font unit a pixel: the 35-point zigzag goes
// out as runs of 30 and 6 points that share the 30th (with an exclusive-or
// function the shared pixel, drawn twice, keeps the background), and a drop
// shadow of depth 2 lies one pixel right of and below the text, in black.
TEST(XText, StrokeTextRunsAndShadow) {
    if (!xtest::need_tools()) return;
    TempDir dir;
    write_file(dir.file("fixture.fnt"), plain_font());
    gset_font_list(dir.file("fixture.fnt").c_str());
    RES_put("background", "white");
    ASSERT_TRUE(xtest::open_window());
    xtest::pixel_world();
    const Gcolr_rep red{1, 0, 0};
    gset_colr_rep(1, 2, &red);
    gset_text_colr_ind(2);
    gset_char_ht(105);
    const Gtext_align base{GLEFT_HOR, GBASE_VERT};
    gset_text_align(&base);
    XSetFunction(gget_display(), gget_text_gc(), GXxor);
    const Gpt zig = xtest::px(100, 300);
    gtext(&zig, "B");
    XSetFunction(gget_display(), gget_text_gc(), GXcopy);
    gset_font_drop(2);
    const Gpt line = xtest::px(100, 400);
    gtext(&line, "A");
    gset_font_drop(0);
    // A wide stroke has projecting caps: half its width past either end.
    gset_text_width(5);
    const Gpt wide = xtest::px(100, 450);
    gtext(&wide, "A");
    const xtest::Picture pic = xtest::grab_window();
    const xtest::Rgb white{255, 255, 255}, once{0, 255, 255}, black{0, 0, 0}, shown{255, 0, 0};
    // Zigzag vertices (3 i, 35 or 45 font units): pixel (100 + 3 i, row 300 or 290).
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(pic.at(100 + 3 * i, i % 2 == 0 ? 300 : 290), i == 29 ? white : once) << "vertex " << i;
    // 'A' from 100 to 160 on row 400, its shadow from 101 to 161 on row 401.
    for (const auto &[x, y, rgb] :
         {std::tuple{100, 400, shown}, std::tuple{160, 400, shown}, std::tuple{161, 400, white},
          std::tuple{100, 401, white}, std::tuple{101, 401, black}, std::tuple{161, 401, black},
          std::tuple{162, 401, white}, std::tuple{130, 402, white}})
        EXPECT_EQ(pic.at(x, y), rgb) << x << "," << y;
    for (const auto &[x, rgb] : {std::pair{96, white}, std::pair{98, shown}, std::pair{130, shown},
                                 std::pair{162, shown}, std::pair{164, white}})
        EXPECT_EQ(pic.at(x, 450), rgb) << x;
    gclose_ws(1);
}

} // namespace
