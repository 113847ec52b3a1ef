#include "runtime/scanp.h"

#include "runtime/mess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int buf_size = 96;
constexpr char untouched = '#';

// Destinations of one scan, filled beforehand so that what a scan leaves
// alone shows.
struct Slots {
    char text[4][buf_size];
    int ints[4];
    float floats[4];
    Slots() {
        std::memset(text, untouched, sizeof text);
        for (int &i : ints)
            i = 12345;
        for (float &f : floats)
            f = 12345.0f;
    }
};

// Calls scanp with one pointer per letter of `sig`: 's' and 'c' a text
// buffer, 'd' an int, 'f' a float.
template <int Depth = 0, typename... P>
int call(parse_param *pp, const char *pat, const char *sig, Slots &s, P... args) {
    if constexpr (Depth < 4) {
        const int i = static_cast<int>(sizeof...(P));
        switch (*sig) {
        case 's':
        case 'c':
            return call<Depth + 1>(pp, pat, sig + 1, s, args..., s.text[i]);
        case 'd':
            return call<Depth + 1>(pp, pat, sig + 1, s, args..., &s.ints[i]);
        case 'f':
            return call<Depth + 1>(pp, pat, sig + 1, s, args..., &s.floats[i]);
        default:
            break;
        }
    }
    return scanp(pp, pat, args...);
}

// The destinations as "a|b|c": a text up to its terminator ("?" when there is
// none), the characters of c up to the fill, numbers as printed by %g.
std::string render(const char *sig, const Slots &s) {
    std::string out;
    for (int i = 0; sig[i]; ++i) {
        if (i) out += '|';
        const char *t = s.text[i];
        switch (sig[i]) {
        case 's': {
            const void *nul = std::memchr(t, '\0', buf_size);
            out += nul ? std::string(t) : std::string("?");
            break;
        }
        case 'c':
            out += std::string(t, static_cast<const char *>(std::memchr(t, untouched, buf_size)) - t);
            break;
        case 'd':
            out += std::to_string(s.ints[i]);
            break;
        case 'f': {
            char b[32];
            std::snprintf(b, sizeof b, "%g", static_cast<double>(s.floats[i]));
            out += b;
            break;
        }
        }
    }
    return out;
}

struct Case {
    const char *text;
    int off;
    const char *pat;
    const char *sig;
    int result, len, done, assigned;
    const char *values;
};

// Each case: the text from an offset, the pattern, the destinations, and what
// the scan reports and stores.
const Case cases[] = {
    // White space.
    {"  KDEN 39.7", 0, " ", "", 0, 2, 1, 0, ""},
    {"KDEN 39.7", 0, " ", "", 0, 0, 0, 0, ""},
    {" \t\r\nx", 0, " x", "", 0, 5, 1, 0, ""},
    // Literals: exact, case matters.
    {"KDEN", 0, "KD%s", "s", 1, 4, 1, 1, "EN"},
    {"KDEN", 0, "kd%s", "s", 0, 0, 0, 0, "?"},
    // Text fields.
    {"KDEN  39", 0, "%<79s ", "s", 1, 6, 1, 1, "KDEN"},
    {"ABC", 0, "%*s %s", "s", 1, 3, 0, 0, "?"},
    {"a b c", 0, "%*s %*s ", "", 2, 4, 1, 0, ""},
    {"KDEN39", 0, "%3s", "s", 1, 3, 1, 1, "KDE"},
    {"KD 39", 0, "%3s", "s", 0, 0, 0, 0, "?"},
    {"abc123", 0, "%A%N", "ss", 2, 6, 1, 2, "abc|123"},
    {"12345", 0, "%3N", "s", 1, 3, 1, 1, "123"},
    {"123", 0, "%A", "s", 0, 0, 0, 0, "?"},
    {"rest of line", 0, "%S", "s", 1, 12, 1, 1, "rest of line"},
    {"rest of line", 0, "%<4S", "s", 1, 4, 1, 1, "rest"},
    {" \t\nx", 0, "%W", "s", 1, 2, 1, 1, " \t"},
    {" \t\nx", 0, "%w", "s", 1, 3, 1, 1, " \t\n"},
    {"x", 0, "%w", "s", 0, 0, 0, 0, "?"},
    {"xyz", 0, "%c", "c", 1, 1, 1, 1, "x"},
    {"xyz", 0, "%2c", "c", 1, 2, 1, 1, "xy"},
    {"x", 0, "%2c", "c", 0, 0, 0, 0, ""},
    {"x y", 0, "%<5c", "c", 1, 3, 1, 1, "x y"},
    // Integers: exact and maximum widths, white space of D within the width.
    {"12 ", 0, "%3d", "d", 0, 0, 0, 0, "12345"},
    {"12 ", 0, "%<3d", "d", 1, 2, 1, 1, "12"},
    {"  12 x", 0, "%5D", "d", 1, 5, 1, 1, "12"},
    {" 12 34", 0, "%3D%3D", "dd", 2, 6, 1, 2, "12|34"},
    {"-17x", 0, "%d", "d", 1, 3, 1, 1, "-17"},
    {"+5", 0, "%d", "d", 0, 0, 0, 0, "12345"},
    {"-", 0, "%d", "d", 0, 0, 0, 0, "12345"},
    {"-", 0, "%!-!d", "d", 1, 1, 1, 1, "-9999"},
    {"42", 0, "%%d", "d", 1, 2, 1, 1, "42"},
    // Reals: one point, an exponent only when digits follow.
    {"12.5e", 0, "%f", "f", 1, 4, 1, 1, "12.5"},
    {"12.5e", 0, "%F", "f", 1, 4, 1, 1, "12.5"},
    {"1.5e3", 0, "%f", "f", 1, 5, 1, 1, "1500"},
    {"2.5E-2x", 0, "%f", "f", 1, 6, 1, 1, "0.025"},
    {"1.2.3", 0, "%f", "f", 1, 3, 1, 1, "1.2"},
    {"-.5", 0, "%f", "f", 1, 3, 1, 1, "-0.5"},
    {".", 0, "%f", "f", 0, 0, 0, 0, "12345"},
    {" -3.5  x", 0, "%F", "f", 1, 7, 1, 1, "-3.5"},
    {"12.50", 0, "%4f", "f", 1, 4, 1, 1, "12.5"},
    // The latitude and longitude of a point-data line.
    {"KDEN 39.7 -104.9", 5, "%!-!f %n%!-!f ", "fdf", 3, 11, 0, 3, "39.7|5|-104.9"},
    {"- -104.9", 0, "%!-!f %n%!-!f ", "fdf", 3, 8, 0, 3, "-9999|2|-104.9"},
    {"39.7 -", 0, "%!-!f %n%!-!f ", "fdf", 3, 6, 0, 3, "39.7|5|-9999"},
    // A default text that is not there skips the conversion, which still
    // passes its pointer over.
    {"ab", 0, "%!-!d%s", "ds", 1, 2, 1, 1, "12345|ab"},
    {"X 5", 0, "%!M!d %d", "dd", 0, 0, 0, 0, "12345|12345"},
    {"M 5", 0, "%!M!d %d", "dd", 2, 3, 1, 2, "-9999|5"},
    {"abcdefghijklmnopqrs", 0, "%!abcdefghijklmnopqrs!f", "f", 1, 19, 1, 1, "-9999"},
    // Alternatives.
    {"SW", 0, "%(N|S|E|W)", "s", 1, 1, 1, 1, "S"},
    {"NNE", 0, "%(N|NNE)", "s", 1, 1, 1, 1, "N"},
    {"X", 0, "%<(N|S)", "s", 1, 0, 1, 1, "?"},
    {"X", 0, "%(N|S)", "s", 0, 0, 0, 0, "?"},
    {"X", 0, "%(N|)", "s", 1, 0, 1, 1, ""},
    {"-x", 0, "%!--!(N|S)", "s", 1, 1, 1, 1, ""},
    {"NE", 0, "%1(NE|N)", "s", 1, 1, 1, 1, "N"},
    // Sets.
    {"abc-d1", 0, "%[/A-]", "s", 1, 5, 1, 1, "abc-d"},
    {"abc1", 0, "%[^/N]", "s", 1, 3, 1, 1, "abc"},
    {"N1", 0, "%[/N]", "s", 0, 0, 0, 0, "?"},
    {"a/b", 0, "%[a/]", "s", 1, 2, 1, 1, "a/"},
    {"//x", 0, "%[//]", "s", 1, 2, 1, 1, "//"},
    {"12345", 0, "%<3[/N]", "s", 1, 3, 1, 1, "123"},
    // A letter that is no conversion is a literal.
    {"x1", 0, "%x", "", 0, 1, 1, 0, ""},
    {"x1", 0, "%*<3x%d", "d", 1, 2, 1, 1, "1"},
};

TEST(Scanp, Cases) {
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("text '") + c.text + "' from " + std::to_string(c.off) + " pattern '" +
                     c.pat + "'");
        std::string text = c.text;
        parse_param pp{};
        scanp_set(&pp, text.data());
        scanp_off(&pp, c.off);
        Slots s;
        EXPECT_EQ(call(&pp, c.pat, c.sig, s), c.result);
        EXPECT_EQ(pp.matched, c.result);
        EXPECT_EQ(pp.len, c.len);
        EXPECT_EQ(pp.done, c.done);
        EXPECT_EQ(pp.assigned, c.assigned);
        EXPECT_EQ(render(c.sig, s), c.values);
        EXPECT_EQ(pp.off, c.off) << "a scan never moves the offset";
    }
}

TEST(Scanp, CharacterConversionWritesNoTerminator) {
    char text[] = "xyz";
    parse_param pp{};
    scanp_set(&pp, text);
    char buf[4] = {'#', '#', '#', '#'};
    ASSERT_EQ(scanp(&pp, "%c", buf), 1);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(buf[1], '#');
}

TEST(Scanp, NothingToScan) {
    char text[] = "KDEN";
    parse_param pp{};
    scanp_set(&pp, text);
    char buf[80];
    pp.len = pp.assigned = pp.matched = pp.done = 7;
    EXPECT_EQ(scanp(&pp, "", buf), -1);
    EXPECT_EQ(pp.len + pp.assigned + pp.matched + pp.done, 0);
    EXPECT_EQ(scanp(&pp, nullptr), -1);
    scanp_off(&pp, 4);
    EXPECT_EQ(scanp(&pp, "%s", buf), -1);
    scanp_off(&pp, -1);
    EXPECT_EQ(scanp(&pp, "%s", buf), -1);
    EXPECT_EQ(scanp(nullptr, "%s", buf), -1);
}

// Every conversion stops at 79 characters: the destination of 80 holds the
// field with its terminator, and the rest of the text is left for the next
// element.
TEST(Scanp, FieldsStopAt79Characters) {
    const struct {
        std::string text;
        const char *pat;
    } longs[] = {
        {std::string(100, 'a'), "%s"}, {std::string(100, 'a'), "%A"},    {std::string(100, '7'), "%N"},
        {std::string(100, 'a'), "%S"}, {std::string(120, 'a'), "%100S"}, {std::string(100, 'a'), "%<200[a]"},
        {std::string(100, ' '), "%w"}, {std::string(100, '\t'), "%W"},   {std::string(100, 'a'), "%[^/N]"},
    };
    for (const auto &c : longs) {
        SCOPED_TRACE(c.pat);
        std::string text = c.text;
        parse_param pp{};
        scanp_set(&pp, text.data());
        char buf[buf_size];
        std::memset(buf, untouched, sizeof buf);
        ASSERT_EQ(scanp(&pp, c.pat, buf), 1);
        EXPECT_EQ(pp.len, 79);
        EXPECT_EQ(std::string(buf), text.substr(0, 79));
        EXPECT_EQ(buf[80], untouched);
    }

    // The rest of a long word is the next field.
    std::string word = std::string(79, 'a') + "bcd";
    parse_param pp{};
    scanp_set(&pp, word.data());
    char first[80], second[80];
    ASSERT_EQ(scanp(&pp, "%s%s", first, second), 2);
    EXPECT_STREQ(second, "bcd");
    EXPECT_EQ(pp.len, 82);

    // Exact widths beyond the limit take the limit; so does c, which has no
    // terminator.
    std::string wide(100, 'z');
    scanp_set(&pp, wide.data());
    char cbuf[buf_size];
    std::memset(cbuf, untouched, sizeof cbuf);
    ASSERT_EQ(scanp(&pp, "%90c", cbuf), 1);
    EXPECT_EQ(pp.len, 79);
    EXPECT_EQ(cbuf[78], 'z');
    EXPECT_EQ(cbuf[79], untouched);

    // Numbers too: a run of digits longer than a field is cut, and its value
    // does not overflow.
    std::string digits(100, '9');
    scanp_set(&pp, digits.data());
    int i = 0;
    float f = 0;
    ASSERT_EQ(scanp(&pp, "%d", &i), 1);
    EXPECT_EQ(pp.len, 79);
    EXPECT_EQ(i, 2147483647);
    ASSERT_EQ(scanp(&pp, "%f", &f), 1);
    EXPECT_EQ(pp.len, 79);
    EXPECT_GT(f, 1e30f);
}

// A pattern the scanner cannot read stops the scan at that conversion and says
// so on standard error.
TEST(Scanp, PatternErrors) {
    const struct {
        const char *text;
        const char *pat;
        int result, len;
    } bad[] = {
        {"abcdefghijklmnopqrst", "%!abcdefghijklmnopqrst!d", 0, 0}, // default text of 20
        {"5 -", "%d %!-d", 1, 2},
        {"N", "%(N|S", 0, 0},
        {"abc", "%[abc", 0, 0},
    };
    for (const auto &c : bad) {
        SCOPED_TRACE(c.pat);
        std::string text = c.text;
        parse_param pp{};
        scanp_set(&pp, text.data());
        int a = 0, b = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(scanp(&pp, c.pat, &a, &b), c.result);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(pp.len, c.len);
        EXPECT_EQ(pp.done, 0);
        EXPECT_NE(err.find("scanp:"), std::string::npos) << err;
    }
}

// The point-data reader's walk over one data line: leading white space, then
// field after field from offsets it keeps.
TEST(Scanp, WalksALineFieldByField) {
    char line[] = "  KDEN  39.75 -104.87  1655 - CLR\n";
    parse_param pp{};
    scanp_set(&pp, line);
    ASSERT_EQ(scanp(&pp, " "), 0);
    scanp_inc(&pp);
    EXPECT_EQ(scanp_get_off(&pp), 2);

    char id[80];
    ASSERT_EQ(scanp(&pp, "%s ", id), 1);
    EXPECT_STREQ(id, "KDEN");
    scanp_inc(&pp);

    float lat = 0, lon = 0;
    int lon_off = 0;
    ASSERT_EQ(scanp(&pp, "%!-!f %n%!-!f ", &lat, &lon_off, &lon), 3);
    EXPECT_FLOAT_EQ(lat, 39.75f);
    EXPECT_FLOAT_EQ(lon, -104.87f);
    EXPECT_EQ(scanp_char(&pp, lon_off), '-');
    scanp_inc(&pp);

    float elev = 0, temp = 0;
    ASSERT_EQ(scanp(&pp, "%f %!-!f ", &elev, &temp), 2);
    EXPECT_FLOAT_EQ(elev, 1655.0f);
    EXPECT_FLOAT_EQ(temp, -9999.0f);
    scanp_inc(&pp);

    char sky[80];
    ASSERT_EQ(scanp(&pp, "%s ", sky), 1);
    EXPECT_STREQ(sky, "CLR");
    EXPECT_EQ(pp.done, 1);
    scanp_inc(&pp);
    EXPECT_EQ(scanp_get_off(&pp), static_cast<int>(std::strlen(line)));
    EXPECT_EQ(scanp(&pp, "%s", sky), -1);
}

TEST(Scanp, CursorOperations) {
    char line[] = "ID=KDEN T=21";
    parse_param pp{};
    EXPECT_EQ(scanp_set(&pp, line), 1);
    EXPECT_EQ(pp.length, 12);
    EXPECT_EQ(scanp_off(&pp, 3), 1);
    EXPECT_STREQ(scanp_str(&pp), "KDEN T=21");
    EXPECT_EQ(scanp_inc_off(&pp, 2), 1);
    EXPECT_EQ(scanp_get_off(&pp), 5);
    EXPECT_EQ(scanp_char(&pp, 0), 'E');
    EXPECT_EQ(scanp_char(&pp, -5), 'I');

    // Outside the text nothing is read or written.
    EXPECT_EQ(scanp_char(&pp, -6), '\0');
    EXPECT_EQ(scanp_char(&pp, 7), '\0');
    EXPECT_EQ(scanp_replace(&pp, 7, 'X'), 'X');
    EXPECT_EQ(scanp_replace(&pp, -6, 'X'), 'X');
    EXPECT_STREQ(line, "ID=KDEN T=21");

    EXPECT_EQ(scanp_replace(&pp, 1, '_'), '_');
    EXPECT_STREQ(line, "ID=KDE_ T=21");

    // Searching covers the whole text, not only what follows the offset.
    scanp_off(&pp, 10);
    EXPECT_EQ(scanp_search(&pp, "ID="), 1);
    EXPECT_EQ(scanp_get_off(&pp), 0);
    EXPECT_EQ(scanp_search(&pp, "T="), 1);
    EXPECT_EQ(scanp_get_off(&pp), 8);
    EXPECT_EQ(scanp_search(&pp, "P="), 0);
    EXPECT_EQ(scanp_get_off(&pp), 8);

    int t = 0;
    ASSERT_EQ(scanp(&pp, "T=%d", &t), 1);
    EXPECT_EQ(t, 21);
    EXPECT_EQ(scanp_inc(&pp), 1);
    EXPECT_EQ(scanp_get_off(&pp), 12);

    scanp_off(&pp, 8);
    ASSERT_EQ(scanp(&pp, "T=%d", &t), 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(scanp_print(&pp), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "scanp:T=21:4:1:1:1\n");
}

// A NUL stored into the text ends it for the scanner.
TEST(Scanp, StoredTerminatorEndsTheText) {
    char line[] = "ABC DEF";
    parse_param pp{};
    scanp_set(&pp, line);
    scanp_replace(&pp, 3, '\0');
    char a[80], b[80];
    EXPECT_EQ(scanp(&pp, "%S", a), 1);
    EXPECT_STREQ(a, "ABC");
    EXPECT_EQ(pp.len, 3);
    EXPECT_EQ(scanp(&pp, "%s %s", a, b), 1);
    EXPECT_EQ(pp.done, 0);
}

// With the debug level on, every element that succeeded and the end of the
// scan are traced.
TEST(Scanp, TracesAtDebugLevel) {
    char line[] = "KDEN 39.7";
    parse_param pp{};
    scanp_set(&pp, line);
    char id[80];
    testing::internal::CaptureStdout();
    ASSERT_EQ(scanp(&pp, "%s x", id), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "not traced at the default level";

    MESS_set(1, 0x80000000);
    testing::internal::CaptureStdout();
    ASSERT_EQ(scanp(&pp, "%s x", id), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "     : x: 39.7:\n"
                                                      "     :x:39.7:\n"
                                                      "SCANP:KDEN 39.7:%s x:0:5:0:1:1\n");
}

} // namespace
