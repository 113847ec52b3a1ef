// The colour table: reading table files (fill colours, explicit indices,
// several files, limits of the 256 entries), colour names and "#" colours,
// and the names of fill patterns and markers and the attribute strings.
#include "graphics/colors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "runtime/resrc.h"
#include "support/child.h"
#include "graphics/xwin.h"

namespace {

using zeqtest::TempDir;
using zeqtest::write_file;

// n entries "cK" K/255 0 0, K counting from first.
std::string entries(int first, int n) {
    std::string s;
    for (int k = first; k < first + n; ++k)
        s += "c" + std::to_string(k) + " " + std::to_string(k / 255.0) + " 0 0\n";
    return s;
}

struct TableCase {
    const char *what;
    std::vector<std::pair<const char *, std::string>> files; // written into the directory
    const char *resource;                                    // color_table, or null
    const char *argument;                                    // CLR_read_table's, or null
    int num_colors;
    int num_fill;                                    // after a start at 99
    std::vector<std::pair<int, const char *>> names; // entries by index
};

// Each case reads in a process of its own, after a first table of 99
// entries named "x" and an "END" (num_fill 99), emptied again: entries 0-15
// keep their names until a line gives them new ones.
TEST(ColourTable, ReadingTableFiles) {
    const std::string long_line = "c0 1 0 0" + std::string(120, ' ') + "x";
    const std::vector<TableCase> cases = {
        {"fill colours end at END",
         {{"t.clr", entries(0, 15) + "END\n" + entries(15, 15)}},
         "t.clr",
         nullptr,
         30,
         15,
         {{0, "c0"}, {14, "c14"}, {15, "c15"}, {29, "c29"}}},
        {"END of the default table is not read",
         {{"zeq.clr", entries(0, 15) + "end\n" + entries(15, 15)}},
         nullptr,
         nullptr,
         30,
         99,
         {{15, "c15"}}},
        {"END of a named file is not read",
         {{"t.clr", entries(0, 15) + "END\n" + entries(15, 15)}},
         nullptr,
         "t.clr",
         30,
         99,
         {}},
        {"without END every entry fills", {{"t.clr", entries(0, 10)}}, "t.clr", nullptr, 10, 10, {{9, "c9"}}},
        {"trailing comment and END add nothing",
         {{"t.clr", "# head\n" + entries(0, 10) + "# tail\nEND\n"}},
         "t.clr",
         nullptr,
         10,
         10,
         {}},
        {"comments take no index",
         {{"t.clr", "#a\n" + entries(0, 2) + "#b\n" + entries(2, 1)}},
         "t.clr",
         nullptr,
         3,
         3,
         {{2, "c2"}}},
        {"blank and unreadable lines take an index",
         {{"t.clr", "c0 0 0 0\n\nrubbish\nc3 0 0 0\n"}},
         "t.clr",
         nullptr,
         4,
         4,
         {{0, "c0"}, {1, "x"}, {2, "x"}, {3, "c3"}}},
        {"two files",
         {{"a.clr", entries(0, 10)}, {"b.clr", entries(10, 10) + "3 again 0 0 1\n"}},
         "a.clr,b.clr",
         nullptr,
         20,
         10,
         {{9, "c9"}, {10, "c10"}, {13, "again"}, {14, "c14"}}},
        {"a missing file is skipped",
         {{"b.clr", entries(0, 5)}},
         nullptr,
         "none.clr,b.clr",
         5,
         99,
         {{4, "c4"}}},
        {"explicit indices",
         {{"t.clr", "5 five 0 0 0\nsix 0 0 0\n255 last #FF0000\n"}},
         "t.clr",
         nullptr,
         256,
         256,
         {{5, "five"}, {6, "six"}, {255, "last"}}},
        {"indices outside the table",
         {{"t.clr", "256 x 0 0 0\n-1 y 0 0 0\n99999999999999999999 z 0 0 0\nok 0 0 0\n"}},
         "t.clr",
         nullptr,
         1,
         1,
         {{0, "ok"}}},
        {"lines past 255",
         {{"t.clr", "254 a 0 0 0\nb 0 0 0\nc 0 0 0\n"}},
         "t.clr",
         nullptr,
         256,
         256,
         {{254, "a"}, {255, "b"}}},
        {"a long line reads as two",
         {{"t.clr", long_line + "\nc2 0 0 0\n"}},
         "t.clr",
         nullptr,
         3,
         3,
         {{0, "c0"}, {2, "c2"}}},
        {"a name of over 19 characters is no entry",
         {{"t.clr", "abcdefghijklmnopqrstu 1 0 0\nabcdefghijklmnopqrs 1 0 0\n"}},
         "t.clr",
         nullptr,
         2,
         2,
         {{0, "x"}, {1, "abcdefghijklmnopqrs"}}},
    };
    for (const TableCase &c : cases) {
        SCOPED_TRACE(c.what);
        const zeqtest::ChildResult r = zeqtest::run_child([&] {
            TempDir dir;
            // A first table leaves num_fill at 99.
            std::string first;
            for (int i = 0; i < 99; ++i)
                first += "x 0 0 0\n";
            write_file(dir.file("first.clr"), first + "END\n");
            for (const auto &[name, text] : c.files)
                write_file(dir.file(name), text);
            RES_put("file_path", dir.path().c_str());
            RES_put("color_table", "first.clr");
            CLR_read_table(nullptr);
            if (CLR_get_num_fill() != 99) return 1;
            CLR_clear_table();
            RES_put("color_table", c.resource != nullptr ? c.resource : "");
            CLR_read_table(c.argument);
            std::printf("%d %d\n", CLR_get_num(), CLR_get_num_fill());
            for (const auto &[ind, name] : c.names)
                std::printf("%d=%s\n", ind, CLR_get_name(ind));
            return 0;
        });
        std::string want = std::to_string(c.num_colors) + " " + std::to_string(c.num_fill) + "\n";
        for (const auto &[ind, name] : c.names)
            want += std::to_string(ind) + "=" + name + "\n";
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, want);
    }
}

// The two entry forms give the same fractions; a missing file leaves the
// table as it was; an empty table answers with nothing.
TEST(ColourTable, FractionsMissingFilesAndEmptyTable) {
    TempDir dir;
    write_file(dir.file("t.clr"), "orange 1.0 0.5019608 0\nOrange2 #FF8000\n\t\n");
    RES_put("file_path", dir.path().c_str());
    float r = -1, g = -1, b = -1;
    CLR_get_rgb(0, &r, &g, &b);
    EXPECT_EQ(std::string(CLR_get_name(3)), "");
    EXPECT_EQ(r + g + b, 0) << "an empty table reads zeros";
    CLR_read_table("t.clr");
    ASSERT_EQ(CLR_get_num(), 3);
    for (int i : {0, 1}) {
        CLR_get_rgb(i, &r, &g, &b);
        EXPECT_FLOAT_EQ(r, 1);
        EXPECT_NEAR(g, 128 / 255.0, 1e-6);
        EXPECT_FLOAT_EQ(b, 0);
    }
    EXPECT_EQ(std::string(CLR_get_name(99)), CLR_get_name(2)) << "past the table: the last entry";
    CLR_read_table("missing.clr");
    EXPECT_EQ(CLR_get_num(), 3);
    EXPECT_EQ(std::string(CLR_get_name(1)), "Orange2");
}

// Colour names, tried in order: special names, print colours, table
// entries (any case), new "#" entries added once, leading numbers.
TEST(ColourNames, IndexOfNames) {
    TempDir dir;
    write_file(dir.file("zeq.clr"), "black 0 0 0\nwhite 1 1 1\nred 1 0 0\nnone 0 0 1\n");
    RES_put("file_path", dir.path().c_str());
    CLR_read_table(nullptr);
    ASSERT_EQ(CLR_get_num(), 4);
    const struct {
        const char *name;
        int index;
        int num_after;
    } cases[] = {
        {nullptr, -1, 4},   {"", -1, 4},           {"END", -2, 4},    {"none", -1, 4},      {"Off", -1, 4},
        {"back", -1, 4},    {"pblk", 500, 4},      {"PTGRY", 508, 4}, {"pwht", 503, 4},     {"RED", 2, 4},
        {"White", 1, 4},    {"#ff0000", 4, 5},     {"#FF0000", 4, 5}, {"#000255000", 5, 6}, {"#12345", -1, 6},
        {"#gg0000", -1, 6}, {"#000256000", -1, 6}, {"12abc", 12, 6},  {"7", 7, 6},          {"-1", -1, 6},
        {"purple", -1, 6},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name != nullptr ? c.name : "null");
        EXPECT_EQ(CLR_get_ind(c.name), c.index);
        EXPECT_EQ(CLR_get_num(), c.num_after);
    }
    float r = 0, g = 0, b = 0;
    CLR_get_rgb(5, &r, &g, &b);
    EXPECT_EQ(std::string(CLR_get_name(5)), "#000255000");
    EXPECT_FLOAT_EQ(g, 1);
    EXPECT_FLOAT_EQ(r + b, 0);
}

// A "#" colour added while a workstation is open goes to the kernel's slot
// at once; on a full table it is refused.
TEST(ColourNames, AddedColoursReachTheKernelUntilTheTableIsFull) {
    TempDir dir;
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, dir.file("c.ps").c_str(), GWS_PS), 0);
    const int ind = CLR_get_ind("#336699");
    ASSERT_EQ(ind, 0);
    float r = 0, g = 0, b = 0;
    gget_color_rgb(ind, &r, &g, &b);
    EXPECT_NEAR(r, 0x33 / 255.0, 1e-6);
    EXPECT_NEAR(g, 0x66 / 255.0, 1e-6);
    EXPECT_NEAR(b, 0x99 / 255.0, 1e-6);
    for (int i = 1; i < 256; ++i)
        ASSERT_EQ(CLR_add(("c" + std::to_string(i)).c_str(), 0, 0, 0), i);
    EXPECT_EQ(CLR_add("more", 1, 1, 1), -1);
    EXPECT_EQ(CLR_get_ind("#010203"), -1);
    EXPECT_EQ(CLR_get_num(), 256);
    gclose_ws(1);
}

// The window's background named by the colour table: a table entry wins
// over X's own colour of that name; other names go to X.
TEST(ColourNames, WindowBackgroundFromTheTable) {
    if (!xtest::need_tools()) return;
    const struct {
        const char *name;
        xtest::Rgb rgb;
    } cases[] = {{"Navy", {255, 0, 0}}, {"tableGreen", {0, 127, 0}}, {"blue", {0, 0, 255}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const zeqtest::ChildResult r = zeqtest::run_child(
            [&] {
                TempDir dir;
                write_file(dir.file("zeq.clr"), "black 0 0 0\nnavy 1 0 0\ntablegreen 0 0.5 0\n");
                RES_put("file_path", dir.path().c_str());
                RES_put("background", c.name);
                CLR_read_table(nullptr);
                if (!xtest::open_window()) return 1;
                const xtest::Rgb p = xtest::grab_window().at(320, 256);
                gclose_ws(1);
                return p == c.rgb ? 0 : 2;
            },
            {}, std::chrono::seconds(60));
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.status, 0) << r.err;
    }
}

// ---- Names of fill patterns and markers ------------------------------------------------

TEST(AttributeNames, FillPatternsAndMarkers) {
    const std::pair<const char *, int> fills[] = {
        {"sol", 0},  {"ST", 1},  {"ost", 2}, {"rst", 3}, {"lst", 4},  {"vln", 5}, {"||", 5}, {"dlr", 6},
        {"\\\\", 6}, {"drl", 7}, {"//", 7},  {"hln", 8}, {"--", 8},   {"Hat", 9}, {"xx", 9}, {"clr", 10},
        {"0%", 10},  {"1%", 11}, {"9%", 19}, {"7", 7},   {"12x", 12}, {"abc", 0}, {"", 0},   {nullptr, 0},
    };
    for (const auto &[name, pat] : fills)
        EXPECT_EQ(ATTR_parse_fill_pat(name), pat) << (name != nullptr ? name : "null");
    const std::pair<const char *, int> markers[] = {
        {"pnt", 1},    {".", 1},    {"Plus", 2}, {"+", 2},   {"star", 3}, {"*", 3},      {"crcl", 4},
        {"Circle", 4}, {"open", 4}, {"x", 5},    {"xyz", 5}, {"sqr", 6},  {"square", 6}, {"#", 6},
        {"tri", 7},    {"^", 7},    {"itri", 9}, {"v", 9},   {"dot", 8},  {"12", 12},    {"diamond", 0},
    };
    for (const auto &[name, type] : markers)
        EXPECT_EQ(ATTR_parse_marker(name), type) << name;
}

// ---- Attribute strings ----------------------------------------------------------------

Gattribs parsed(const char *text) {
    Gattribs a;
    ATTRIB_init(&a);
    ATTRIB_parse(text, &a);
    return a;
}

void expect_attribs(const Gattribs &got, const Gattribs &want) {
    EXPECT_EQ(got.color, want.color);
    EXPECT_FLOAT_EQ(got.width, want.width);
    EXPECT_FLOAT_EQ(got.height, want.height);
    EXPECT_FLOAT_EQ(got.expan, want.expan);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ(got.fill_pat, want.fill_pat);
    EXPECT_EQ(got.font, want.font);
}

constexpr Gint U = -9999;
constexpr Gfloat F = -9999.0f;

TEST(AttributeStrings, ItemsOfAttributeStrings) {
    TempDir dir;
    write_file(dir.file("zeq.clr"), "black 0 0 0\nwhite 1 1 1\nred 1 0 0\nmagenta 1 0 1\ncyan 0 1 1\n");
    write_file(dir.file("zeq.fnl"), "modern modern.fnt\nroman roman.fnt\n");
    RES_put("file_path", dir.path().c_str());
    CLR_read_table(nullptr);
    const struct {
        const char *text;
        Gattribs want; // color, width, height, expan, style, fill_pat, font
    } cases[] = {
        {"", {U, F, F, F, U, U, U}},
        {"w2", {-1, F, F, F, U, U, U}},
        {":w2", {U, 2, F, F, U, U, U}},
        {"red:fM", {2, F, F, F, U, U, U}},
        {"red:f3::", {2, F, F, F, U, 3, U}},
        {"magenta:s4", {3, F, F, F, 4, U, U}},
        {"co=red:wi=2:st=dsh", {2, 2, F, F, 2, U, U}},
        {"white:h1.5:e0.8", {1, F, 1.5f, 0.8f, U, U, U}},
        {"CO=cyan:ST=LLSDSH:Fi=hat:sc=2:TE=3", {4, F, 2, 3, 4, 9, U}},
        {"st=7:fp=//:hi=0.5:t2", {U, F, 0.5f, F, 7, 7, 2}},
        {"fo=3", {U, F, F, F, U, U, 3}},
        {"black:W2:x5:wide", {0, F, F, F, U, U, U}},
        {"=:s2", {U, F, F, F, 2, U, U}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        expect_attribs(parsed(c.text), c.want);
    }
    // A font abbreviation needs the font list of an open workstation.
    gopen_gks(nullptr, 0);
    ASSERT_EQ(gopen_ws(1, dir.file("a.meta").c_str(), GWS_META), 0);
    EXPECT_EQ(parsed("fo=ROMAN").font, 2);
    EXPECT_EQ(parsed("fo=italic").font, 1);
    gclose_ws(1);

    // A string applies over a bundle; update copies only what is set.
    Gattribs a = parsed("red:w3");
    ATTRIB_parse("s2", &a);
    EXPECT_EQ(a.color, -1) << "a first item is a colour name";
    Gattribs b = parsed(":h4:f1");
    ATTRIB_update(&a, &b);
    expect_attribs(a, {-1, 3, 4, F, U, 1, U});
}

// ATTRIB_get: the default, then the resource over it.
TEST(AttributeStrings, DefaultAndResource) {
    TempDir dir;
    write_file(dir.file("zeq.clr"), "black 0 0 0\nmagenta 1 0 1\ncyan 0 1 1\n");
    RES_put("file_path", dir.path().c_str());
    CLR_read_table(nullptr);
    Gattribs a;
    ATTRIB_init(&a);
    EXPECT_EQ(ATTRIB_get("color_line", "magenta:s4", &a), 0);
    expect_attribs(a, {1, F, F, F, 4, U, U});
    RES_put("color_line", "cyan");
    ATTRIB_init(&a);
    EXPECT_EQ(ATTRIB_get("color_line", "magenta:s4", &a), 1);
    expect_attribs(a, {2, F, F, F, 4, U, U});
}

} // namespace
