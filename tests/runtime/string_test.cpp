#include "runtime/string.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Items = std::vector<std::string>;

// A heap buffer holding exactly the text and its terminator, so that the
// address sanitizer reports any read or write past the end.
std::vector<char> exact(const std::string &text) {
    return {text.c_str(), text.c_str() + text.size() + 1};
}

// Checks the ownership layout of a parsed list (argv[0] is the one copy, every
// item lies inside it) and returns the items; the list is released here.
Items take_list(int argc, char **argv, std::size_t copy_len, bool null_after) {
    Items items;
    if (argc == 0) return items;
    const char *base = argv[0];
    for (int i = 0; i < argc; ++i) {
        EXPECT_GE(argv[i], base);
        EXPECT_LE(argv[i], base + copy_len);
        items.emplace_back(argv[i]);
    }
    if (null_after) {
        EXPECT_EQ(argv[argc], nullptr);
    }
    EXPECT_EQ(free_parsed_array(argc, argv), 0);
    return items;
}

// ---- parse_string -------------------------------------------------------------

struct SplitCase {
    const char *input;
    char delim;
    int result;
    Items items;
    friend void PrintTo(const SplitCase &c, std::ostream *os) { *os << (c.input ? c.input : "(null)"); }
};

class ParseString : public testing::TestWithParam<SplitCase> {};

TEST_P(ParseString, SplitsIntoOneOwnedCopy) {
    const SplitCase &c = GetParam();
    int argc = -5;
    char *sentinel[1] = {nullptr};
    char **argv = sentinel; // must be replaced
    std::vector<char> input;
    const char *text = nullptr;
    if (c.input) {
        input = exact(c.input);
        text = input.data();
    }
    ASSERT_EQ(parse_string(text, c.delim, &argc, &argv), c.result);
    if (c.result != 0) {
        EXPECT_EQ(argc, 0);
        EXPECT_EQ(argv, nullptr);
        return;
    }
    ASSERT_EQ(argc, static_cast<int>(c.items.size()));
    // The list is a copy: the caller's text is untouched.
    EXPECT_STREQ(text, c.input);
    EXPECT_NE(argv[0], text);
    EXPECT_EQ(take_list(argc, argv, std::strlen(c.input), false), c.items);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseString,
    testing::Values(SplitCase{"a,b,c", ',', 0, {"a", "b", "c"}}, SplitCase{"a,,b", ',', 0, {"a", "", "b"}},
                    SplitCase{",a", ',', 0, {"", "a"}}, SplitCase{"a,b,,", ',', 0, {"a", "b"}},
                    SplitCase{",,,", ',', 0, {""}}, SplitCase{"abc", ',', 0, {"abc"}},
                    SplitCase{"x y  z ", ' ', 0, {"x", "y", "", "z"}}, SplitCase{"k:v:", ':', 0, {"k", "v"}},
                    SplitCase{"\"a,b\",c", ',', 0, {"\"a", "b\"", "c"}}, SplitCase{"", ',', -1, {}},
                    SplitCase{nullptr, ',', -1, {}}));

TEST(FreeParsedArray, IgnoresEmptyLists) {
    EXPECT_EQ(free_parsed_array(0, nullptr), 0);
    EXPECT_EQ(free_parsed_array(3, nullptr), 0);
    char *dummy[1] = {nullptr};
    EXPECT_EQ(free_parsed_array(0, dummy), 0); // argc 0: nothing is freed
}

// ---- parse_command and parse_command_line --------------------------------------

struct CommandCase {
    const char *command; // only for parse_command_line
    const char *input;
    int result;
    Items items;
    friend void PrintTo(const CommandCase &c, std::ostream *os) {
        *os << (c.command ? c.command : "(null)") << " | " << (c.input ? c.input : "(null)");
    }
};

class ParseCommand : public testing::TestWithParam<CommandCase> {};

TEST_P(ParseCommand, SplitsAtBlanksWithQuotes) {
    const CommandCase &c = GetParam();
    int argc = -5;
    char **argv = nullptr;
    ASSERT_EQ(parse_command(c.input, &argc, &argv), c.result);
    if (c.result != 0) {
        EXPECT_EQ(argc, 0);
        EXPECT_EQ(argv, nullptr);
        return;
    }
    ASSERT_EQ(argc, static_cast<int>(c.items.size()));
    EXPECT_EQ(take_list(argc, argv, std::strlen(c.input), true), c.items);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCommand,
    testing::Values(CommandCase{nullptr, "  ls  \"my file\" x", 0, {"ls", "my file", "x"}},
                    CommandCase{nullptr, "ls -l   /tmp   ", 0, {"ls", "-l", "/tmp"}},
                    // A quote in the first item, or inside any item, is an ordinary character.
                    CommandCase{nullptr, "\"a b\" c", 0, {"\"a", "b\"", "c"}},
                    CommandCase{nullptr, "a b\"c d", 0, {"a", "b\"c", "d"}},
                    // Without a closing quote the item runs to the end, trailing blanks cut.
                    CommandCase{nullptr, "cp \"a  b  ", 0, {"cp", "a  b"}},
                    CommandCase{nullptr, "a \"\" b", 0, {"a", "", "b"}},
                    // Text right after a closing quote starts an item of its own.
                    CommandCase{nullptr, "a \"b c\"d e", 0, {"a", "b c", "d", "e"}},
                    CommandCase{nullptr, "a \"b\"\"c d\"", 0, {"a", "b", "c d"}},
                    CommandCase{nullptr, "   ", 0, {""}}, CommandCase{nullptr, "", -1, {}},
                    CommandCase{nullptr, nullptr, -1, {}}));

class ParseCommandLine : public testing::TestWithParam<CommandCase> {};

TEST_P(ParseCommandLine, PutsTheCommandWordsFirst) {
    const CommandCase &c = GetParam();
    int argc = -5;
    char **argv = nullptr;
    ASSERT_EQ(parse_command_line(c.command, c.input, &argc, &argv), c.result);
    if (c.result != 0) {
        EXPECT_EQ(argc, 0);
        EXPECT_EQ(argv, nullptr);
        return;
    }
    ASSERT_EQ(argc, static_cast<int>(c.items.size()));
    const std::size_t len = std::strlen(c.command ? c.command : "") + 1 + std::strlen(c.input);
    EXPECT_EQ(take_list(argc, argv, len, true), c.items);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCommandLine,
    testing::Values(CommandCase{"plot", "a b", 0, {"plot", "a", "b"}},
                    CommandCase{"plot -x", "   a \"b c\"  ", 0, {"plot", "-x", "a", "b c"}},
                    CommandCase{"plot", "", 0, {"plot"}},
                    // The joining blank stays with the first word of an empty command.
                    CommandCase{"", "a b", 0, {" a", "b"}}, CommandCase{nullptr, "a", 0, {" a"}},
                    CommandCase{"", "", -1, {}}, CommandCase{"plot", nullptr, -1, {}}));

// ---- Comparison ----------------------------------------------------------------

struct CompareCase {
    const char *s1;
    const char *s2;
    int n; // < -100: stricmp, else strnicmp over n
    int expected;
    friend void PrintTo(const CompareCase &c, std::ostream *os) {
        *os << (c.s1 ? c.s1 : "(null)") << " | " << (c.s2 ? c.s2 : "(null)") << " | " << c.n;
    }
};

class Compare : public testing::TestWithParam<CompareCase> {};

TEST_P(Compare, FoldsAsciiCase) {
    const CompareCase &c = GetParam();
    const int got = c.n < -100 ? stricmp(c.s1, c.s2) : strnicmp(c.s1, c.s2, c.n);
    EXPECT_EQ(got, c.expected);
}

constexpr int FULL = -1000;

INSTANTIATE_TEST_SUITE_P(
    Cases, Compare,
    testing::Values(CompareCase{"abc", "ABC", FULL, 0}, CompareCase{"abc", "ABD", FULL, 'c' - 'd'},
                    CompareCase{"ABD", "abc", FULL, 'd' - 'c'}, CompareCase{"ab", "ABC", FULL, -'c'},
                    CompareCase{"abc", "ab", FULL, 'c'}, CompareCase{"", "", FULL, 0},
                    // Only ASCII letters fold; bytes compare unsigned.
                    CompareCase{"\xc9", "\xe9", FULL, 0xc9 - 0xe9}, CompareCase{"[", "{", FULL, '[' - '{'},
                    CompareCase{nullptr, "a", FULL, 1}, CompareCase{"a", nullptr, FULL, 1},
                    CompareCase{"Temperature", "TEMP", 4, 0}, CompareCase{"Temperature", "TEMP", 5, 'e'},
                    CompareCase{"abc", "abd", 2, 0}, CompareCase{"abc", "abd", 3, 'c' - 'd'},
                    CompareCase{"ab", "ab", 10, 0},
                    // The first character is compared even for n < 1.
                    CompareCase{"a", "b", 0, 'a' - 'b'}, CompareCase{"ax", "AY", 0, 0},
                    CompareCase{"b", "a", -3, 'b' - 'a'}, CompareCase{nullptr, "a", 3, 1},
                    CompareCase{"a", nullptr, 3, 1}));

// ---- chk_arg, searchstr --------------------------------------------------------

TEST(ChkArg, NameOrNumberInRange) {
    const char *items[] = {"ALPHA", "BETA", "GAMMA"};
    const struct {
        const char *arg;
        int expected;
    } cases[] = {{"beta", 1},
                 {"ALPHA", 0},
                 {"Gamma", 2},
                 {"2", 2},
                 {"3", 3},
                 {" 1 ", 1},
                 {"4", -9999},
                 {"0", -9999},
                 {"-1", -9999},
                 {"delta", -9999},
                 {"", -9999},
                 {"2x", -9999},
                 {"99999999999999999999", -9999},
                 {nullptr, -9999}};
    for (const auto &c : cases) {
        EXPECT_EQ(chk_arg(c.arg, items, 3), c.expected) << (c.arg ? c.arg : "(null)");
    }
}

TEST(ChkArg, NameTakesPrecedenceOverNumber) {
    const char *items[] = {"1", "2", "3"};
    EXPECT_EQ(chk_arg("2", items, 3), 1);
    EXPECT_EQ(chk_arg("2", items, 0), -9999);
}

TEST(SearchStr, FindsAnyItemIgnoringCase) {
    const char *list[] = {"grid", "CONT", nullptr, "barb"};
    EXPECT_EQ(searchstr(list, 4, "cont"), 1);
    EXPECT_EQ(searchstr(list, 4, "BARB"), 1);
    EXPECT_EQ(searchstr(list, 3, "barb"), 0);
    EXPECT_EQ(searchstr(list, 4, "con"), 0);
    EXPECT_EQ(searchstr(list, 0, "grid"), 0);
}

// ---- set_num ---------------------------------------------------------------------

struct NumCase {
    const char *format;
    float x;
    const char *expected;
    friend void PrintTo(const NumCase &c, std::ostream *os) { *os << c.format << " " << c.x; }
};

class SetNum : public testing::TestWithParam<NumCase> {};

TEST_P(SetNum, FormatsBySignificantDigits) {
    const NumCase &c = GetParam();
    char buf[32];
    EXPECT_EQ(set_num(buf, sizeof buf, c.format, c.x), buf);
    EXPECT_STREQ(buf, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetNum,
    testing::Values(NumCase{"5.3.0", 12.345f, " 12.3"}, NumCase{"0.3.0", 0.012345f, "0.0123"},
                    NumCase{"5.3.0", 0.000001f, "    0"}, NumCase{"5.3.0", -0.000001f, "    0"},
                    NumCase{"1.1.0", 0.0f, "0"}, NumCase{"5.3.1", 12.345f, " 12.3"},
                    NumCase{"5.3.1", 1234.5f, "1234.5"}, NumCase{"1.1.1", 5.0f, "5.0"},
                    NumCase{"1.2.0", 0.5f, "0.50"}, NumCase{"2.2.0", 45.0f, "45"},
                    NumCase{"2.2.0", -3.25f, "-3.2"}, NumCase{"1.1.0", -9999.0f, "-9999"},
                    NumCase{"5.3.0", 1234567.0f, "1234567"},
                    // Width defaults to significant + 1 and is at most 9.
                    NumCase{"0.3.0", 2.5f, "2.50"}, NumCase{"12.3.0", 1.5f, "     1.50"},
                    // A width below the decimals grows to them.
                    NumCase{"3.8.0", 0.5f, "0.50000000"},
                    // Negative minimum decimals mean none, not printf's six.
                    NumCase{"5.3.-2", 12345.0f, "12345"}));

TEST(SetNum, NeverWritesPastTheBuffer) {
    std::vector<char> buf(8, 'x');
    EXPECT_EQ(set_num(buf.data(), buf.size(), "1.1.0", 3e38f), buf.data());
    EXPECT_EQ(std::strlen(buf.data()), 7u);

    std::vector<char> one(1, 'x');
    set_num(one.data(), one.size(), "5.3.0", 12.345f);
    EXPECT_EQ(one[0], '\0');
}

// ---- Bounded copies ---------------------------------------------------------------

TEST(CopyText, CopiesWithinTheBufferAndSaysWhenItCut) {
    struct Case {
        const char *src;
        std::size_t size;
        const char *expect; // null: nothing written
        bool whole;
    };
    const Case cases[] = {
        {"abc", 8, "abc", true},   {"abc", 4, "abc", true}, // exactly size - 1 fits
        {"abcd", 4, "abc", false}, {"abc", 1, "", false},      {"", 1, "", true},
        {nullptr, 4, "", true},    {"abc", 0, nullptr, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.src ? c.src : "(null)") + " into " + std::to_string(c.size));
        std::vector<char> buf(c.size + 2, '#');
        EXPECT_EQ(copy_text(buf.data(), c.size, c.src), c.whole);
        if (c.expect) {
            EXPECT_STREQ(buf.data(), c.expect);
        } else {
            EXPECT_EQ(buf[0], '#');
        }
        EXPECT_EQ(buf[c.size], '#') << "written past the buffer";
    }
    // A view need not be terminated; an array gives its own size.
    char arr[3];
    EXPECT_FALSE(copy_text(arr, std::string_view("xyzw", 4)));
    EXPECT_STREQ(arr, "xy");
    EXPECT_TRUE(copy_text(arr, std::string_view("xyzw", 1)));
    EXPECT_STREQ(arr, "x");
}

TEST(Strntcpy, CutsToNAndTerminates) {
    std::vector<char> buf(4, 'x'); // n + 1 bytes for n = 3
    EXPECT_EQ(strntcpy(buf.data(), "abcdef", 3), 1);
    EXPECT_STREQ(buf.data(), "abc");
    EXPECT_EQ(strntcpy(buf.data(), "ab", 3), 1);
    EXPECT_STREQ(buf.data(), "ab");
    EXPECT_EQ(strntcpy(buf.data(), nullptr, 3), 1);
    EXPECT_STREQ(buf.data(), "");
    EXPECT_EQ(strntcpy(buf.data(), "abc", 0), 1);
    EXPECT_STREQ(buf.data(), "");
    // The source is read no further than n characters.
    const char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(strntcpy(buf.data(), unterminated, 3), 1);
    EXPECT_STREQ(buf.data(), "xyz");
}

TEST(Strmcat, AppendsUpToMCharacters) {
    std::vector<char> buf(5, '\0'); // m + 1 bytes for m = 4
    std::strcpy(buf.data(), "ab");
    EXPECT_EQ(strmcat(buf.data(), "cdef", 4), 1);
    EXPECT_STREQ(buf.data(), "abcd");
    EXPECT_EQ(strmcat(buf.data(), "x", 4), 0); // already full
    EXPECT_STREQ(buf.data(), "abcd");
    EXPECT_EQ(strmcat(buf.data(), nullptr, 4), 0);
    EXPECT_EQ(strmcat(nullptr, "x", 4), 0);

    std::strcpy(buf.data(), "a");
    EXPECT_EQ(strmcat(buf.data(), "", 4), 1);
    EXPECT_EQ(strmcat(buf.data(), "b", 4), 1);
    EXPECT_STREQ(buf.data(), "ab");
}

TEST(CreateString, CopiesAndJoins) {
    char *copy = create_string("abc");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "abc");
    std::free(copy);
    EXPECT_EQ(create_string(nullptr), nullptr);

    char *joined = create_strcat("path", "/", "file");
    ASSERT_NE(joined, nullptr);
    EXPECT_STREQ(joined, "path/file");
    std::free(joined);
    joined = create_strcat("", "", "");
    ASSERT_NE(joined, nullptr);
    EXPECT_STREQ(joined, "");
    std::free(joined);
    EXPECT_EQ(create_strcat("a", ",", nullptr), nullptr);
}

TEST(Strlstr, FindsTheLastOccurrence) {
    const char *text = "abcabc";
    EXPECT_EQ(strlstr(text, "bc"), text + 4);
    EXPECT_EQ(strlstr(text, "abc"), text + 3);
    EXPECT_EQ(strlstr(text, "abcabc"), text);
    EXPECT_EQ(strlstr(text, "c"), text + 5);
    EXPECT_EQ(strlstr(text, ""), text + 5); // an empty pattern matches at the last character
    EXPECT_EQ(strlstr(text, "cab_"), nullptr);
    EXPECT_EQ(strlstr(text, "abcabcd"), nullptr);
    EXPECT_EQ(strlstr("", ""), nullptr);
    EXPECT_EQ(strlstr(text, nullptr), nullptr);

    std::vector<char> buf = exact("x.y.z");
    char *dot = strlstr(buf.data(), ".");
    ASSERT_EQ(dot, buf.data() + 3);
    *dot = '\0';
    EXPECT_STREQ(buf.data(), "x.y");
}

// ---- In-place editing ------------------------------------------------------------

struct EditCase {
    const char *name;
    int (*edit)(char *);
    const char *input;
    const char *expected;
    int result;
    friend void PrintTo(const EditCase &c, std::ostream *os) { *os << c.name; }
};

class Edit : public testing::TestWithParam<EditCase> {};

TEST_P(Edit, EditsInPlace) {
    const EditCase &c = GetParam();
    std::vector<char> buf = exact(c.input);
    EXPECT_EQ(c.edit(buf.data()), c.result);
    EXPECT_STREQ(buf.data(), c.expected);
}

int fill_dash(char *s) {
    return fill_string(s, '_', ' ');
}
int strip_dash(char *s) {
    return strip_string(s, '-');
}
int shift_m2(char *s) {
    return shift_string(s, -2);
}
int shift_p2(char *s) {
    return shift_string(s, 2);
}
int shift_m9(char *s) {
    return shift_string(s, -9);
}
int shift_p9(char *s) {
    return shift_string(s, 9);
}
int shift_0(char *s) {
    return shift_string(s, 0);
}
int shift_min(char *s) {
    return shift_string(s, -2147483647 - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Edit,
    testing::Values(
        EditCase{"fill", fill_dash, "a_b__c", "a b  c", 0}, EditCase{"strip", strip_dash, "-a--b-", "ab", 0},
        EditCase{"wsstrip", wsstrip_string, "a\r\nb \r\n", "ab ", 1},
        EditCase{"wstrim", wstrim_string, "ab\r\n  ", "ab", 1},
        EditCase{"wstrim_inner", wstrim_string, "a \r\n b \n ", "a  b", 1},
        EditCase{"wstrim_empty", wstrim_string, "", "", 1},
        EditCase{"trim", trim_string, "a b \t  ", "a b \t", 0},
        EditCase{"trim_all", trim_string, "   ", "", 0},
        EditCase{"trim_cr", trim_cr_string, "ab\r\r", "ab", 0},
        EditCase{"trim_cr_inner", trim_cr_string, "a\rb", "a\rb", 0},
        EditCase{"spaces", strip_spaces, "  a   b  c  ", " a b c", 0},
        EditCase{"spaces_blank", strip_spaces, "    ", "", 0},
        EditCase{"escape", strip_escape, "a\\\\b", "a\\b", 0},
        EditCase{"escape_quote", strip_escape, "\\\"x\\,y", "\"x,y", 0},
        EditCase{"escape_end", strip_escape, "ab\\", "ab", 0},
        EditCase{"shift_m2", shift_m2, "abcde", "cde", 0}, EditCase{"shift_p2", shift_p2, "abcde", "abc", 0},
        EditCase{"shift_m9", shift_m9, "abcde", "", 0}, EditCase{"shift_p9", shift_p9, "abcde", "", 0},
        EditCase{"shift_len", shift_m2, "ab", "", 0}, EditCase{"shift_0", shift_0, "abc", "abc", 0},
        EditCase{"shift_min", shift_min, "abc", "", 0}, EditCase{"up", up_string, "aZ1\xe9x", "AZ1\xe9X", 1},
        EditCase{"up_empty", up_string, "", "", 0}, EditCase{"low", low_string, "AbC-\xc9", "abc-\xc9", 1},
        EditCase{"low_empty", low_string, "", "", 0},
        EditCase{"clean_tail", clean_line, "ab\x01\x1f\n", "ab", 1},
        EditCase{"clean_inner", clean_line, "a\tb\xc3\n", "a b ", 1},
        EditCase{"clean_last_high", clean_line, "ab\x7f", "ab\x7f", 1},
        EditCase{"clean_only_ctl", clean_line, "\x01\x02", "", 1},
        EditCase{"clean_empty", clean_line, "", "", 0}),
    [](const testing::TestParamInfo<EditCase> &info) { return std::string(info.param.name); });

TEST(Edit, NullTexts) {
    EXPECT_EQ(up_string(nullptr), 0);
    EXPECT_EQ(low_string(nullptr), 0);
    EXPECT_EQ(clean_line(nullptr), 0);
}

// ---- Class tests -------------------------------------------------------------------

TEST(ClassTests, Table) {
    const struct {
        const char *text;
        int is_float, is_alpha, is_num, is_blank;
    } cases[] = {
        {"1.5", 1, 0, 0, 0},  {"1E5", 1, 0, 0, 0}, {"1e5", 0, 0, 0, 0},      {"-12", 0, 0, 1, 0},
        {"-", 0, 0, 1, 0},    {"--1", 0, 0, 0, 0}, {"12-", 0, 0, 0, 0},      {"abcXYZ", 0, 1, 0, 0},
        {"ab1", 0, 0, 0, 0},  {"E", 1, 1, 0, 0},   {"\xe9\xa0", 0, 0, 0, 1}, {" \t", 0, 0, 0, 1},
        {"\x7f", 0, 0, 0, 0}, {" a ", 0, 0, 0, 0}, {"", 0, 0, 0, 1},         {nullptr, 0, 0, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        EXPECT_EQ(string_is_float(c.text), c.is_float);
        EXPECT_EQ(string_is_alpha(c.text), c.is_alpha);
        EXPECT_EQ(string_is_num(c.text), c.is_num);
        EXPECT_EQ(string_is_blank(c.text), c.is_blank);
    }
}

TEST(ClassTests, NumLenLooksAtTheFirstCharactersOnly) {
    EXPECT_EQ(string_is_num_len("1234ab", 4), 1);
    EXPECT_EQ(string_is_num_len("123ab", 4), 0);
    EXPECT_EQ(string_is_num_len("-123", 2), 0);
    EXPECT_EQ(string_is_num_len("", 0), 0);
    EXPECT_EQ(string_is_num_len(nullptr, 2), 0);
    // A text shorter than len fails at its terminator without reading past it.
    std::vector<char> buf = exact("12");
    EXPECT_EQ(string_is_num_len(buf.data(), 10), 0);
}

TEST(Words, SplitAtRunsOfWhiteSpace) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split_words(""), V{});
    EXPECT_EQ(split_words(" \t\n"), V{});
    EXPECT_EQ(split_words("  ab\tc  d\r\n"), (V{"ab", "c", "d"}));
    EXPECT_EQ(split_words("x"), V{"x"});
}

TEST(Words, DecimalAtTheStart) {
    struct Case {
        const char *text;
        std::size_t used;
        double value;
    } cases[] = {
        {"12", 2, 12}, {"-1.5e3x", 6, -1500}, {"+.5", 3, 0.5}, {"3.", 2, 3},   {"2e", 1, 2},
        {"2e+", 1, 2}, {"7e-1mb", 4, 0.7},    {"", 0, -1},     {" 1", 0, -1},  {".", 0, -1},
        {"-", 0, -1},  {"inf", 0, -1},        {"nan", 0, -1},  {"0x10", 1, 0},
    };
    for (const Case &c : cases) {
        double v = -1;
        EXPECT_EQ(scan_decimal(c.text, &v), c.used) << c.text;
        EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
}

TEST(Words, CaseInsensitiveViews) {
    EXPECT_TRUE(iequals("Debug", "dEBUG"));
    EXPECT_FALSE(iequals("debug", "debugd"));
    EXPECT_TRUE(istarts_with("WARNc", "warn"));
    EXPECT_FALSE(istarts_with("wa", "warn"));
    EXPECT_TRUE(istarts_with("x", ""));
}

TEST(Words, FloatFormats) {
    struct Case {
        const char *format;
        int ok;
    } cases[] = {
        {"%f", 1},    {"%10.3e", 1}, {"%-+ #08.2g", 1}, {"v=%G%%", 1}, {"%%%a", 1}, {"%d", 0},  {"%s", 0},
        {"%f %f", 0}, {"", 0},       {"%", 0},          {"%10", 0},    {"%lf", 0},  {"%*f", 0}, {"%%", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(string_is_float_format(c.format), c.ok) << c.format;
    EXPECT_EQ(string_is_float_format(nullptr), 0);
}

TEST(Words, IntFormats) {
    struct Case {
        const char *format;
        int ok;
    } cases[] = {
        {"%d", 1},  {"%-+ 05.3i", 1}, {"n=%d%%", 1}, {"%4d", 1},  {"%#d", 0},
        {"%ld", 0}, {"%u", 0},        {"%f", 0},     {"%d%d", 0}, {"%s", 0},
        {"%*d", 0}, {"%%d", 0},       {"", 0},       {"%", 0},    {"%hd", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(string_is_int_format(c.format), c.ok) << c.format;
    EXPECT_EQ(string_is_int_format(nullptr), 0);
}

} // namespace

// Attribute texts stay well-formed: markup escaped, valid UTF-8 kept whole,
// control bytes and broken or overlong sequences replaced.
TEST(XmlText, EscapesAndUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d&apos;"},
        {"t\tn\nr\r", "t&#9;n&#10;r&#13;"},
        {std::string("x\x01y\x7f", 4), "x?y?"},
        {"M\xc3\xbcnchen", "M\xc3\xbcnchen"},
        {"\xe2\x82\xac", "\xe2\x82\xac"},
        {"\xc3", "?"},
        {"\xc0\xaf", "??"},
        {"\xed\xa0\x80", "???"},
        {"\xf4\x90\x80\x80", "????"},
    };
    for (const auto &[in, want] : cases)
        EXPECT_EQ(xml_attr_text(in), want) << in;
}
