// Defaults files: name patterns scoped by program and title, the line format,
// the tag lines, the file choice in a directory, and the search path as the
// resolution walks it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/def_read.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

using zeqtest::TempDir;
using zeqtest::write_file;

// Makes `prog` the program name (as argv[0] would) and `title` the title.
void set_program(const char *prog, const char *title = "") {
    static std::string arg0;
    static char *argv[2];
    arg0 = std::string("/usr/local/bin/") + prog;
    argv[0] = arg0.data();
    argv[1] = nullptr;
    RES_setCL(1, argv);
    DEF_prog();
    DEF_name(title);
}

// ---- Patterns ----------------------------------------------------------------

struct PatternCase {
    const char *prog;
    const char *title;
    const char *resource;
    const char *pattern;
    int expect;
};

std::ostream &operator<<(std::ostream &os, const PatternCase &c) {
    return os << c.prog << "/" << c.title << " " << c.resource << " ~ " << c.pattern;
}

class Pattern : public testing::TestWithParam<PatternCase> {};

TEST_P(Pattern, MatchesSubject) {
    const PatternCase &c = GetParam();
    set_program(c.prog, c.title);
    EXPECT_EQ(DEF_cmp(c.resource, c.pattern), c.expect);
}

INSTANTIATE_TEST_SUITE_P(
    Cmp, Pattern,
    testing::Values(PatternCase{"tarnisk", "", "variable", "tarnisk.variable", 1},
                    PatternCase{"tarnisk", "", "variable", "*.variable", 1},
                    PatternCase{"plotsfc", "", "variable", "*.variable", 1},
                    PatternCase{"tarnisk", "", "variable", "*variable", 1},
                    PatternCase{"tarnisk", "", "variable", "tar*.var*ble", 1},
                    PatternCase{"tarnisk", "", "variable", "variable", 0},
                    PatternCase{"tarnisk", "", "variable", "plotsfc.variable", 0},
                    PatternCase{"tarnisk", "", "variable", "tarnisk.*", 0},
                    PatternCase{"tarnisk", "", "variable", "tarnisk.variable*", 0},
                    PatternCase{"tarnisk", "", "variable", "tarnisk.variabl", 0},
                    PatternCase{"tarnisk", "", "variable", "tarnisk.variables", 0},
                    PatternCase{"tarnisk", "", "file_path", "*path", 1},
                    PatternCase{"tarnisk", "", "plot_param", "*path", 0},
                    PatternCase{"tarnisk", "", "con_path", "*.**path", 1},
                    // Only the first occurrence of a segment is tried: the 'a'
                    // of "tarnisk" is taken, so the pattern does not end with the subject.
                    PatternCase{"tarnisk", "", "data", "*a", 0},
                    // The subject keeps the program's case; patterns are lower case.
                    PatternCase{"Tarnisk", "", "variable", "tarnisk.variable", 0},
                    PatternCase{"Tarnisk", "", "variable", "*variable", 1},
                    // A title replaces the program name...
                    PatternCase{"tarnisk", "plot2", "variable", "plot2.variable", 1},
                    PatternCase{"tarnisk", "plot2", "variable", "tarnisk.variable", 0},
                    PatternCase{"tarnisk", "plot2", "variable", "*.variable", 1},
                    // ...and a '+' title goes between program and resource.
                    PatternCase{"tarnisk", "+night", "variable", "tarnisk.night.variable", 1},
                    PatternCase{"tarnisk", "+night", "variable", "tarnisk.variable", 0},
                    PatternCase{"tarnisk", "+night", "variable", "*.night.variable", 1},
                    PatternCase{"tarnisk", "+night", "variable", "*.variable", 1}));

TEST(Pattern, ValidWhenMeantForThisProgram) {
    set_program("tarnisk");
    const std::pair<const char *, int> cases[] = {
        {"tarnisk.myres", 1}, {"*.myres", 1},   {"*myres", 1},   {"plotsfc.myres", 0},
        {"myres", 0},         {"tarnisk.*", 0}, {"tarnisk.", 1}, {"", 0},
    };
    for (const auto &[pattern, expect] : cases)
        EXPECT_EQ(DEF_valid(pattern), expect) << pattern;
    set_program("tarnisk", "+night");
    EXPECT_EQ(DEF_valid("tarnisk.night.myres"), 1);
    EXPECT_EQ(DEF_valid("tarnisk.myres"), 0);
}

TEST(Pattern, ParseNameTakesTheLastComponent) {
    const std::pair<const char *, const char *> cases[] = {
        {"tarnisk.myres", "myres"}, {"*myres", "myres"}, {"a.b*c", "c"}, {"a*b.c", "c"},
        {"xmyres", "myres"},        {"tarnisk.", ""},    {"", ""},
    };
    char out[64];
    for (const auto &[str, expect] : cases) {
        EXPECT_EQ(DEF_parse_name(str, out, sizeof out), 1);
        EXPECT_STREQ(out, expect) << str;
    }
    char small[4];
    DEF_parse_name("tarnisk.variable", small, sizeof small);
    EXPECT_STREQ(small, "var");
}

// ---- Reading lines ---------------------------------------------------------------

using Lines = std::vector<std::pair<std::string, std::string>>;

// Every line DEF_get returns from the file.
Lines read_all(const std::string &file, std::size_t rsize = 64, std::size_t vsize = 256) {
    Lines out;
    if (DEF_open(file.c_str()) != 0) return out;
    std::vector<char> name(rsize), value(vsize);
    while (DEF_get(name.data(), rsize, value.data(), vsize) == 1)
        out.emplace_back(name.data(), value.data());
    DEF_close();
    return out;
}

Lines read_text(const std::string &text) {
    TempDir dir;
    write_file(dir.file("defs"), text);
    return read_all(dir.file("defs"));
}

TEST(Lines, NamesValuesCommentsAndQuotes) {
    set_program("tarnisk");
    Lines got = read_text("# a comment line\n"
                          "\n"
                          "   \t \n"
                          "lonely\n"
                          "Tarnisk.Variable temp extra words\n"
                          "tarnisk.plot_type:\tcf\n"
                          "  *.color_map   2\n"
                          "a.title \"a b  c\" after\n"
                          "a.label \"runs to the end \n"
                          "a.empty \"\"\n"
                          "a.lone \"\n"
                          " #not.comment x\n"
                          "last.line no_newline");
    Lines expect = {{"tarnisk.variable", "temp"},
                    {"tarnisk.plot_type", "cf"},
                    {"*.color_map", "2"},
                    {"a.title", "a b  c"},
                    {"a.label", "runs to the end "},
                    {"a.empty", "\"\""},
                    {"a.lone", "\""},
                    {"#not.comment", "x"},
                    {"last.line", "no_newline"}};
    EXPECT_EQ(got, expect);
}

TEST(Lines, NoFileOrNoBufferGivesEnd) {
    char name[64], value[64];
    EXPECT_EQ(DEF_get(name, sizeof name, value, sizeof value), -1);
    TempDir dir;
    write_file(dir.file("defs"), "a.b c\n");
    ASSERT_EQ(DEF_open(dir.file("defs").c_str()), 0);
    EXPECT_EQ(DEF_get(nullptr, 64, value, sizeof value), -1);
    EXPECT_EQ(DEF_get(name, sizeof name, value, sizeof value), 1);
    DEF_close();
    EXPECT_EQ(DEF_get(name, sizeof name, value, sizeof value), -1);
}

TEST(Lines, OverLongLineIsCutAndItsTailDropped) {
    std::string head = "tarnisk.a ";
    std::string line = head + std::string(249 - head.size(), 'x') + "tarnisk.tail 9";
    testing::internal::CaptureStderr();
    Lines got = read_text(line + "\ntarnisk.b 2\n");
    std::string err = testing::internal::GetCapturedStderr();
    Lines expect = {{"tarnisk.a", std::string(249 - head.size(), 'x')}, {"tarnisk.b", "2"}};
    EXPECT_EQ(got, expect);
    EXPECT_NE(err.find("line longer than 249 characters"), std::string::npos) << err;
}

TEST(Lines, LineOfExactlyTheLimitIsWhole) {
    std::string head = "tarnisk.a ";
    std::string line = head + std::string(249 - head.size(), 'y');
    testing::internal::CaptureStderr();
    Lines got = read_text(line + "\ntarnisk.b 2\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    Lines expect = {{"tarnisk.a", std::string(249 - head.size(), 'y')}, {"tarnisk.b", "2"}};
    EXPECT_EQ(got, expect);
}

TEST(Lines, NameOrValueBeyondTheBuffers) {
    TempDir dir;
    std::string long_name = "tarnisk." + std::string(60, 'n');
    write_file(dir.file("defs"), long_name + " 1\ntarnisk.v 0123456789\ntarnisk.w ok\n");
    testing::internal::CaptureStderr();
    Lines got = read_all(dir.file("defs"), 20, 6);
    std::string err = testing::internal::GetCapturedStderr();
    // A cut name could select other resources: the line is dropped. A value is cut.
    Lines expect = {{"tarnisk.v", "01234"}, {"tarnisk.w", "ok"}};
    EXPECT_EQ(got, expect);
    EXPECT_NE(err.find("resource name longer than 19 characters"), std::string::npos) << err;
    EXPECT_NE(err.find("value of tarnisk.v longer than 5 characters"), std::string::npos) << err;
}

// ---- Tags and conditional sections ---------------------------------------------------

struct TagCase {
    const char *label;
    std::vector<const char *> path_tags;
    const char *text;
    std::vector<const char *> expect; // names of the lines that count
};

std::ostream &operator<<(std::ostream &os, const TagCase &c) {
    return os << c.label;
}

class Tags : public testing::TestWithParam<TagCase> {};

TEST_P(Tags, SelectLines) {
    const TagCase &c = GetParam();
    set_program("tarnisk");
    DEF_clr_tag();
    for (const char *t : c.path_tags)
        ASSERT_EQ(DEF_tag(t), 0);
    testing::internal::CaptureStderr();
    Lines got = read_text(c.text);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    std::vector<std::string> names;
    for (const auto &l : got)
        names.push_back(l.first);
    EXPECT_EQ(names, std::vector<std::string>(c.expect.begin(), c.expect.end()));
}

INSTANTIATE_TEST_SUITE_P(
    IfLines, Tags,
    testing::Values(
        TagCase{
            "IfTaken", {"night"}, "IF night\na.if 1\nELSE\na.else 1\nEND\na.after 1\n", {"a.if", "a.after"}},
        TagCase{"ElseTaken", {}, "IF night\na.if 1\nELSE\na.else 1\nEND\na.after 1\n", {"a.else", "a.after"}},
        TagCase{"TagsIgnoreCase", {"Night"}, "IF NIGHT\na.if 1\nEND\n", {"a.if"}},
        TagCase{"ElifAfterTakenIfStaysInactive",
                {"day", "night"},
                "IF day\na.if 1\nELIF night\na.elif 1\nELSE\na.else 1\nEND\n",
                {"a.if"}},
        TagCase{"ElifTaken",
                {"night"},
                "IF day\na.if 1\nELIF night\na.elif 1\nELSE\na.else 1\nEND\n",
                {"a.elif"}},
        TagCase{"ElifNotTakenFallsToElse",
                {},
                "IF day\na.if 1\nELIF night\na.elif 1\nELSE\na.else 1\nEND\n",
                {"a.else"}},
        TagCase{"NestedIfInInactiveBranch",
                {"inner"},
                "IF outer\nIF inner\na.inner 1\nEND\na.outer 1\nEND\na.after 1\n",
                {"a.after"}},
        TagCase{"NestedIfInActiveBranch",
                {"outer", "inner"},
                "IF outer\nIF inner\na.inner 1\nEND\nIF none\na.none 1\nEND\na.outer 1\nEND\n",
                {"a.inner", "a.outer"}},
        TagCase{"DefineThenTest", {}, "DEF night\nIF night\na.if 1\nEND\n", {"a.if"}},
        TagCase{"UndefThenTest", {"night"}, "UNDEF night\nIF night\na.if 1\nEND\n", {}},
        TagCase{"UndefUnknownKeepsTags", {"night"}, "UNDEF day\nIF night\na.if 1\nEND\n", {"a.if"}},
        TagCase{"DefActsInInactiveBranch", {}, "IF none\nDEF late\nEND\nIF late\na.if 1\nEND\n", {"a.if"}},
        TagCase{"KeywordsWithoutTagIgnored", {}, "IF\nDEF\nUNDEF\nELIF\na.line 1\n", {"a.line"}},
        TagCase{"KeywordsAreUpperCaseOnly", {}, "if night\na.line 1\nend\n", {"if", "a.line"}}),
    [](const testing::TestParamInfo<TagCase> &info) { return std::string(info.param.label); });

TEST(TagLines, UnbalancedLinesWarnAndAreIgnored) {
    set_program("tarnisk");
    testing::internal::CaptureStderr();
    Lines got = read_text("ELIF x\nELSE\nEND\na.line 1\n");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(got, (Lines{{"a.line", "1"}}));
    EXPECT_EQ(err, "DEF_get: elif without an if\nDEF_get: else without an if\nDEF_get: end without an if\n");
}

TEST(TagLines, NestingBeyondTheStackWarnsAndIsInactive) {
    set_program("tarnisk");
    DEF_tag("on");
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "IF on\n";
    text += "a.ten 1\nIF on\na.eleven 1\nELSE\na.eleven_else 1\nEND\na.ten_again 1\n";
    for (int i = 0; i < 10; ++i)
        text += "END\n";
    text += "a.out 1\nEND\na.extra_end 1\n";
    testing::internal::CaptureStderr();
    Lines got = read_text(text);
    std::string err = testing::internal::GetCapturedStderr();
    std::vector<std::string> names;
    for (const auto &l : got)
        names.push_back(l.first);
    EXPECT_EQ(names, (std::vector<std::string>{"a.ten", "a.ten_again", "a.out", "a.extra_end"}));
    EXPECT_NE(err.find("DEF_get: IF nested deeper than 10 levels"), std::string::npos) << err;
    EXPECT_NE(err.find("DEF_get: end without an if"), std::string::npos) << err;
}

TEST(TagLines, OpenIfGovernsTheFollowingFiles) {
    set_program("tarnisk");
    TempDir dir;
    write_file(dir.file("one"), "a.first 1\nIF none\n");
    write_file(dir.file("two"), "a.hidden 1\nEND\na.shown 1\n");
    EXPECT_EQ(read_all(dir.file("one")), (Lines{{"a.first", "1"}}));
    EXPECT_EQ(read_all(dir.file("two")), (Lines{{"a.shown", "1"}}));
}

TEST(TagLines, AtMostTenTags) {
    set_program("tarnisk");
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i)
        names.push_back("t" + std::to_string(i));
    for (const auto &n : names)
        EXPECT_EQ(DEF_tag(n.c_str()), 0);
    EXPECT_EQ(DEF_tag("t10"), -1);
    // A DEF line is ignored as well once the list is full.
    Lines got = read_text("DEF t11\nIF t9\na.nine 1\nEND\nIF t10\na.ten 1\nEND\nIF t11\na.eleven 1\nEND\n");
    EXPECT_EQ(got, (Lines{{"a.nine", "1"}}));
    // The tags are copies: the caller's texts may go.
    names.clear();
    EXPECT_EQ(read_text("IF t0\na.zero 1\nEND\n"), (Lines{{"a.zero", "1"}}));
    DEF_clr_tag();
    EXPECT_EQ(read_text("IF t0\na.zero 1\nEND\n"), Lines{});
}

// ---- Opening -----------------------------------------------------------------------

struct DirCase {
    const char *label;
    std::vector<const char *> files;
    std::optional<std::string> expect; // the file read, none: nothing opens
};

std::ostream &operator<<(std::ostream &os, const DirCase &c) {
    return os << c.label;
}

class DirectoryChoice : public testing::TestWithParam<DirCase> {};

TEST_P(DirectoryChoice, FirstFoundWins) {
    const DirCase &c = GetParam();
    set_program("tarnisk");
    TempDir dir;
    for (const char *f : c.files)
        write_file(dir.file(f), std::string("tarnisk.from ") + f + "\n");
    for (const std::string &name : {dir.path(), dir.path() + "/"}) {
        Lines got = read_all(name);
        if (c.expect)
            EXPECT_EQ(got, (Lines{{"tarnisk.from", *c.expect}})) << name;
        else
            EXPECT_EQ(DEF_open(name.c_str()), -1) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Open, DirectoryChoice,
                         testing::Values(DirCase{"AllThree", {"Zeq.res", ".zeqdef", "zeq.cfg"}, "zeq.cfg"},
                                         DirCase{"CfgAndDotFile", {".zeqdef", "zeq.cfg"}, "zeq.cfg"},
                                         DirCase{"DotFileAndRes", {"Zeq.res", ".zeqdef"}, ".zeqdef"},
                                         DirCase{"ResOnly", {"Zeq.res"}, "Zeq.res"},
                                         DirCase{"OtherNamesOnly", {"zeq.res", "ZEQ.CFG"}, std::nullopt},
                                         DirCase{"Empty", {}, std::nullopt}),
                         [](const testing::TestParamInfo<DirCase> &info) {
                             return std::string(info.param.label);
                         });

TEST(Open, PlainFileMissingFileAndTheDefaultName) {
    set_program("tarnisk");
    TempDir dir;
    write_file(dir.file("site.defs"), "tarnisk.from site\n");
    write_file(dir.file(".zeqdef"), "tarnisk.from dotfile\n");
    EXPECT_EQ(read_all(dir.file("site.defs")), (Lines{{"tarnisk.from", "site"}}));
    EXPECT_EQ(DEF_open(dir.file("absent").c_str()), -1);
    char name[64], value[64];
    EXPECT_EQ(DEF_get(name, sizeof name, value, sizeof value), -1);
    // A null or empty name is the .zeqdef of the working directory.
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_EQ(read_all(""), (Lines{{"tarnisk.from", "dotfile"}}));
    ASSERT_EQ(DEF_open(nullptr), 0);
    EXPECT_EQ(DEF_get(name, sizeof name, value, sizeof value), 1);
    EXPECT_STREQ(value, "dotfile");
    // Opening another file closes the first.
    ASSERT_EQ(DEF_open("site.defs"), 0);
    EXPECT_EQ(DEF_get(name, sizeof name, value, sizeof value), 1);
    EXPECT_STREQ(value, "site");
    DEF_close();
}

// Only a regular file is a defaults file: a FIFO put in place of zeq.cfg
// neither blocks the start nor is read, a device is refused, and standard
// input is never read for defaults.
TEST(Open, OnlyRegularFiles) {
    const zeqtest::ChildResult r = zeqtest::run_child(
        [] {
            set_program("tarnisk");
            TempDir dir;
            if (mkfifo(dir.file("zeq.cfg").c_str(), 0600) != 0) return 1;
            int bad = 0;
            if (DEF_open(dir.path().c_str()) != -1) bad |= 1;
            if (DEF_open("/dev/zero") != -1) bad |= 2;
            if (DEF_open("-") != -1) bad |= 4;
            std::fprintf(stderr, "DIR %s\n", dir.path().c_str());
            return bad;
        },
        {"tarnisk.from stdin\n", true}, std::chrono::seconds(5));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 0);
    const std::string dir = r.err.substr(r.err.rfind("DIR ") + 4, r.err.size() - r.err.rfind("DIR ") - 5);
    EXPECT_NE(r.err.find("DEF_open: Not a regular file: " + dir + "/zeq.cfg ("), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("DEF_open: Not a regular file: /dev/zero ("), std::string::npos) << r.err;
}

// The values of a defaults file that the running user owns and no one else
// can write are the user's own texts (a command they name may run); those of
// any other file are data, and a command they name is refused with the file
// named. An environment value is the user's.
TEST(Open, TheUsersOwnFileSpeaksForTheUser) {
    set_program("tarnisk");
    FILE_set_trust(FILE_TRUST_USER);
    TempDir dir;
    for (const mode_t mode : {0600, 0644, 0664, 0606}) {
        SCOPED_TRACE(mode);
        const std::string name = dir.file("defs" + std::to_string(mode));
        const std::string command = "|echo " + std::to_string(mode);
        write_file(name, "tarnisk.out_file \"" + command + "\"\n");
        ASSERT_EQ(chmod(name.c_str(), mode), 0);
        const bool own = (mode & 022) == 0;
        ASSERT_EQ(DEF_open(name.c_str()), 0);
        EXPECT_EQ(DEF_trusted(), own ? 1 : 0);
        char res[64], value[64];
        ASSERT_EQ(DEF_get(res, sizeof res, value, sizeof value), 1);
        EXPECT_EQ(value, command);
        DEF_close();
        EXPECT_EQ(DEF_trusted(), 0);
        EXPECT_EQ(FILE_user_name(command.c_str()), own ? 1 : 0);
        if (!own) {
            testing::internal::CaptureStderr();
            EXPECT_EQ(FILE_open(command.c_str(), "r"), nullptr);
            EXPECT_NE(testing::internal::GetCapturedStderr().find("(read from the defaults file " + name +
                                                                  ", not the user's alone)"),
                      std::string::npos);
        }
    }
    setenv("zeqcity_file", "|echo environment", 1);
    char value[64];
    ASSERT_EQ(DEF_env("city_file", nullptr, value, sizeof value), 1);
    EXPECT_EQ(FILE_user_name("|echo environment"), 1);
    unsetenv("zeqcity_file");
}

// ---- The search path as resolution walks it -------------------------------------------------

// Resolves a command line of the program tarnisk for a few rows.
class Resolve {
public:
    explicit Resolve(std::vector<std::string> args) : args_(std::move(args)) {
        args_.insert(args_.begin(), "/usr/bin/tarnisk");
        for (auto &a : args_)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
        RES_init(static_cast<int>(args_.size()), argv_.data(), keys, pos);
    }

private:
    static constexpr res_type keys[] = {RES_help,     RES_message,  RES_file_path, RES_data_path,
                                        RES_con_path, RES_variable, RES_plot_type, RES_plot_param,
                                        RES_title,    RES_null};
    static constexpr res_type pos[] = {RES_filenames, RES_null};
    std::vector<std::string> args_;
    std::vector<char *> argv_;
};

struct PathCase {
    const char *label;
    std::vector<std::pair<const char *, const char *>> files; // name in the temp dir, content
    const char *path;                                         // "@" stands for the temp dir
    std::vector<std::string> args;
    std::vector<std::pair<const char *, std::optional<std::string>>> expect;
};

std::ostream &operator<<(std::ostream &os, const PathCase &c) {
    return os << c.label;
}

std::string expand(const std::string &text, const std::string &dir) {
    std::string out;
    for (char ch : text)
        out += ch == '@' ? dir : std::string(1, ch);
    return out;
}

class SearchPath : public testing::TestWithParam<PathCase> {};

TEST_P(SearchPath, Resolves) {
    const PathCase &c = GetParam();
    TempDir dir;
    for (const auto &[name, text] : c.files) {
        std::string file = dir.file(name);
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        write_file(file, text);
    }
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    unsetenv("zeqdefault");
    if (c.path) setenv("zeqdefault", expand(c.path, dir.path()).c_str(), 1);
    std::vector<std::string> args;
    for (const auto &a : c.args)
        args.push_back(expand(a, dir.path()));
    Resolve r(args);
    for (const auto &[name, value] : c.expect) {
        if (!value)
            EXPECT_EQ(RES_get(name), nullptr) << name;
        else
            EXPECT_STREQ(RES_get(name), expand(*value, dir.path()).c_str()) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Defaults, SearchPath,
    testing::Values(
        PathCase{"WorkingDirectoryByDefault",
                 {{"zeq.cfg", "tarnisk.variable temp\n"}},
                 nullptr,
                 {},
                 {{"variable", "temp"}}},
        PathCase{"LaterItemWins",
                 {{"a/zeq.cfg", "*.variable a\n*.plot_type cf\n"}, {"b/.zeqdef", "tarnisk.variable b\n"}},
                 "@/a:@/b",
                 {},
                 {{"variable", "b"}, {"plot_type", "cf"}}},
        PathCase{"LaterLineWins",
                 {{"zeq.cfg", "*.variable a\ntarnisk.variable b\n"}},
                 ".",
                 {},
                 {{"variable", "b"}}},
        PathCase{"OptionReplacesEnvironmentPath",
                 {{"a/zeq.cfg", "*.variable a\n"}, {"b/Zeq.res", "*.variable b\n"}},
                 "@/a",
                 {"-df", "@/b"},
                 {{"variable", "b"}, {"default", "@/b"}}},
        PathCase{"LongFormOfThePathOption",
                 {{"b/site", "*.variable b\n"}},
                 nullptr,
                 {"-default=@/b/site"},
                 {{"variable", "b"}}},
        PathCase{"EmptyItemIsTheDotFile",
                 {{".zeqdef", "*.variable dot\n"}, {"zeq.cfg", "*.variable cfg\n"}},
                 "/nonexistent::/nonexistent/too",
                 {},
                 {{"variable", "dot"}}},
        PathCase{"WildcardSetsEveryRow",
                 {{"zeq.cfg", "*path /data\n"}},
                 ".",
                 {},
                 {{"file_path", "/data"}, {"data_path", "/data"}, {"con_path", "/data"}, {"plot_param", {}}}},
        PathCase{"OtherProgramsLinesIgnored",
                 {{"zeq.cfg", "plotsfc.variable x\nplotsfc.other 1\ntarnisk.mine 2\n*.ours 3\n"}},
                 ".",
                 {},
                 {{"variable", {}}, {"other", {}}, {"mine", "2"}, {"ours", "3"}}},
        PathCase{"TitleReplacesProgram",
                 {{"zeq.cfg", "tarnisk.variable prog\nplot2.variable titled\n"}},
                 ".",
                 {"-na", "plot2"},
                 {{"variable", "titled"}, {"name", "plot2"}}},
        PathCase{
            "PlusTitleScopesProgram",
            {{"zeq.cfg", "tarnisk.night.variable night\ntarnisk.variable prog\ntarnisk.night.adhoc 1\n"}},
            ".",
            {"-name", "+night"},
            {{"variable", "night"}, {"adhoc", "1"}}},
        PathCase{"PlusItemDefinesTag",
                 {{"zeq.cfg", "IF night\n*.variable dark\nELSE\n*.variable light\nEND\n"}},
                 "+night:.",
                 {},
                 {{"variable", "dark"}}},
        PathCase{"TagOnlyFromEarlierItems",
                 {{"zeq.cfg", "IF night\n*.variable dark\nELSE\n*.variable light\nEND\n"}},
                 ".:+night",
                 {},
                 {{"variable", "light"}}},
        PathCase{"DefLineServesLaterFiles",
                 {{"a/zeq.cfg", "DEF night\n"}, {"b/zeq.cfg", "IF night\n*.variable dark\nEND\n"}},
                 "@/a:@/b",
                 {},
                 {{"variable", "dark"}}},
        PathCase{"CommandLineOverDefaults",
                 {{"zeq.cfg", "*.variable file\n*.plot_type cf\n"}},
                 ".",
                 {"-pl", "ln"},
                 {{"variable", "file"}, {"plot_type", "ln"}}},
        PathCase{"HelpFromDefaults", {{"zeq.cfg", "tarnisk.help: on\n"}}, ".", {}, {{"help", "on"}}}),
    [](const testing::TestParamInfo<PathCase> &info) { return std::string(info.param.label); });

TEST(SearchPath, EnvironmentAndCommandLineOverDefaults) {
    TempDir dir;
    write_file(dir.file("zeq.cfg"), "*.variable file\n*.plot_type file\n*.title file\n");
    setenv("zeqdefault", dir.path().c_str(), 1);
    setenv("zeqvar", "env", 1);
    setenv("zeqtitle", "env", 1);
    Resolve r({"-ti", "cmd"});
    EXPECT_STREQ(RES_get("variable"), "env");
    EXPECT_STREQ(RES_get("title"), "cmd");
    EXPECT_STREQ(RES_get("plot_type"), "file");
}

TEST(SearchPath, DefaultsLinesAreTraced) {
    TempDir dir;
    write_file(dir.file("zeq.cfg"), "*.Variable temp\n");
    setenv("zeqdefault", dir.path().c_str(), 1);
    MESS_set(0, 0xF0000000u);
    testing::internal::CaptureStdout();
    Resolve r({});
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("RESRC: *.variable=temp\n"), std::string::npos) << out;
}

} // namespace
