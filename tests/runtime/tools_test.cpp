#include "runtime/tools.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A real stream holding text, positioned at its start.
class Stream {
public:
    explicit Stream(const std::string &text) : file_(std::tmpfile()) {
        if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file_);
        std::rewind(file_);
    }
    ~Stream() { std::fclose(file_); }
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;
    FILE *get() const { return file_; }
    // The bytes written so far, from the start.
    std::string contents() const {
        std::fflush(file_);
        std::rewind(file_);
        std::string out;
        for (int c; (c = std::getc(file_)) != EOF;)
            out.push_back(static_cast<char>(c));
        return out;
    }

private:
    FILE *file_;
};

using Reads = std::vector<std::pair<int, std::string>>;

// Reads until EOF with fgetnline (len > 0) or fgetline (len 0) into a heap
// buffer of exactly the width + 1 bytes; at EOF the buffer must be unchanged.
Reads read_all(const std::string &text, int len) {
    Stream s(text);
    const int width = len > 0 ? len : 160;
    std::vector<char> buf(static_cast<std::size_t>(width) + 1, '\0');
    Reads out;
    for (int guard = 0; guard < 1000; ++guard) {
        std::strcpy(buf.data(), "#");
        const int r = len > 0 ? fgetnline(s.get(), buf.data(), len) : fgetline(s.get(), buf.data());
        if (r == EOF) {
            EXPECT_STREQ(buf.data(), "#");
            out.emplace_back(EOF, "");
            break;
        }
        out.emplace_back(r, buf.data());
    }
    return out;
}

// ---- Line readers ------------------------------------------------------------

struct LineCase {
    const char *name;
    std::string text;
    int len; // 0: fgetline
    Reads reads;
    friend void PrintTo(const LineCase &c, std::ostream *os) { *os << c.name; }
};

class LineReader : public testing::TestWithParam<LineCase> {};

TEST_P(LineReader, ReadsLinesInPieces) {
    const LineCase &c = GetParam();
    EXPECT_EQ(read_all(c.text, c.len), c.reads);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineReader,
    testing::Values(
        LineCase{"blank_line", "abc\n\ndef\n", 0, {{3, "abc"}, {0, ""}, {3, "def"}, {EOF, ""}}},
        LineCase{"first_empty", "\nfirst\nsecond", 0, {{5, "first"}, {6, "second"}, {EOF, ""}}},
        LineCase{"two_blank", "a\n\n\nb\n", 0, {{1, "a"}, {0, ""}, {0, ""}, {1, "b"}, {EOF, ""}}},
        LineCase{"only_lf", "\n", 0, {{EOF, ""}}}, LineCase{"two_lf", "\n\n", 0, {{0, ""}, {EOF, ""}}},
        LineCase{"empty", "", 0, {{EOF, ""}}}, LineCase{"no_final_lf", "x", 0, {{1, "x"}, {EOF, ""}}},
        LineCase{"cr_kept", "a\r\n", 0, {{2, "a\r"}, {EOF, ""}}},
        LineCase{"long",
                 std::string(200, 'x') + "\nend\n",
                 0,
                 {{160, std::string(160, 'x')}, {40, std::string(40, 'x')}, {3, "end"}, {EOF, ""}}},
        LineCase{"exact_width",
                 std::string(160, 'y') + "\n\nz\n",
                 0,
                 {{160, std::string(160, 'y')}, {0, ""}, {1, "z"}, {EOF, ""}}},
        LineCase{"n_hello", "hello world\n", 5, {{5, "hello"}, {5, " worl"}, {1, "d"}, {EOF, ""}}},
        LineCase{"n_one", "ab\n\nc", 1, {{1, "a"}, {1, "b"}, {0, ""}, {1, "c"}, {EOF, ""}}},
        LineCase{"n_nul", std::string("a\0b\n", 4), 9, {{3, "a"}, {EOF, ""}}}),
    [](const testing::TestParamInfo<LineCase> &info) { return std::string(info.param.name); });

// The readers against a reference built on the scanf formats that define
// them, over random texts of letters, blanks, carriage returns and line feeds.
int scanf_reference(FILE *f, char *buf, int len, bool count) {
    char fmt1[32];
    char fmt2[32];
    std::snprintf(fmt1, sizeof fmt1, count ? "%%%d[^\n]%%n" : "%%%d[^\n]", len);
    std::snprintf(fmt2, sizeof fmt2, count ? "%%*c%%%d[^\n]%%n" : "%%*c%%%d[^\n]", len);
    int n = 0;
    int r = std::fscanf(f, fmt1, buf, &n);
    if (r == 0) {
        r = std::fscanf(f, fmt2, buf, &n);
        if (r == 0) {
            buf[0] = '\0';
            return 0;
        }
        --n; // the count of the second read leaves out the skipped line feed
    }
    if (r == EOF) return EOF;
    return count ? n : r;
}

TEST(LineReader, AgreesWithScanfReference) {
    std::mt19937 rng(12345);
    const char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\n'};
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int size = static_cast<int>(rng() % 24);
        for (int i = 0; i < size; ++i)
            text.push_back(alphabet[rng() % sizeof alphabet]);
        const int len = 1 + static_cast<int>(rng() % 6);
        const bool count = (round % 2) == 0;
        SCOPED_TRACE(testing::Message() << "len " << len << " text '" << text << "'");

        Stream ours(text);
        Stream ref(text);
        std::vector<char> a(static_cast<std::size_t>(len) + 1, '\0');
        std::vector<char> b(static_cast<std::size_t>(len) + 1, '\0');
        for (int step = 0; step < 40; ++step) {
            const int got =
                count ? fgetnline(ours.get(), a.data(), len) : fgetstring(ours.get(), a.data(), len);
            const int want = scanf_reference(ref.get(), b.data(), len, count);
            ASSERT_EQ(got, want) << "step " << step;
            if (got == EOF) break;
            ASSERT_STREQ(a.data(), b.data()) << "step " << step;
        }
    }
}

TEST(LineReader, FgetstringAndRawstring) {
    Stream s("ab\t c\r\n\nx\xe9y\r z\n");
    std::vector<char> buf(21, '\0');
    EXPECT_EQ(fget_rawstring(s.get(), buf.data(), 20), 1);
    EXPECT_STREQ(buf.data(), "ab  c"); // tab to blank, carriage return ends it
    EXPECT_EQ(fget_rawstring(s.get(), buf.data(), 20), 0);
    EXPECT_STREQ(buf.data(), "");
    EXPECT_EQ(fget_rawstring(s.get(), buf.data(), 20), 1);
    EXPECT_STREQ(buf.data(), "x y"); // the first carriage return ends the text
    std::strcpy(buf.data(), "kept");
    EXPECT_EQ(fget_rawstring(s.get(), buf.data(), 20), EOF);
    EXPECT_STREQ(buf.data(), "kept");

    Stream t("long line\n");
    std::vector<char> small(5, '\0');
    EXPECT_EQ(fgetstring(t.get(), small.data(), 4), 1);
    EXPECT_STREQ(small.data(), "long");
}

TEST(LineReader, WidthBelowOneReadsNothing) {
    Stream s("abc\n");
    char buf[2] = {'k', '\0'};
    EXPECT_EQ(fgetnline(s.get(), buf, 0), EOF);
    EXPECT_EQ(fgetstring(s.get(), buf, -3), EOF);
    EXPECT_STREQ(buf, "k");
    EXPECT_EQ(std::getc(s.get()), 'a');
}

TEST(LineReader, AnyLengthLines) {
    const std::string longline(5000, 'x');
    Stream s("ab\n\n" + longline + "\nlast");
    std::string line;
    std::vector<std::string> got;
    while (fget_anyline(s.get(), line))
        got.push_back(line);
    EXPECT_EQ(got, (std::vector<std::string>{"ab", "", longline, "last"}));
    EXPECT_FALSE(fget_anyline(nullptr, line));
}

// A line longer than the limit is cut there with a warning; the rest of it is
// passed over and the next line reads whole.
TEST(LineReader, AnyLineIsCutAtTheLimit) {
    const std::string longline(LINE_LIMIT + 1000, 'y');
    Stream s("a\n" + longline + "\nnext\n");
    std::string line;
    ASSERT_TRUE(fget_anyline(s.get(), line));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(fget_anyline(s.get(), line));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "fget_anyline: Line longer than " + std::to_string(LINE_LIMIT) + " characters cut\n");
    EXPECT_EQ(line, longline.substr(0, LINE_LIMIT));
    ASSERT_TRUE(fget_anyline(s.get(), line));
    EXPECT_EQ(line, "next");
}

TEST(Fskipline, SkipsTheRestOfTheLine) {
    Stream s("first line\nsecond\nthird");
    char buf[161];
    ASSERT_EQ(fgetline(s.get(), buf), 10);
    // Right after a read the stream stands at the line feed: nothing is consumed.
    EXPECT_EQ(fskipline(s.get()), 0);
    EXPECT_EQ(fgetline(s.get(), buf), 6);
    EXPECT_STREQ(buf, "second");

    Stream t("abc def\nnext\ntail");
    ASSERT_EQ(fgetnline(t.get(), buf, 3), 3);
    EXPECT_EQ(fskipline(t.get()), 0); // the rest " def" and its line feed
    EXPECT_EQ(std::getc(t.get()), 'n');
    EXPECT_EQ(fskipline(t.get()), 0);
    EXPECT_EQ(fskipline(t.get()), EOF); // "tail" ends without a line feed
    EXPECT_EQ(fskipline(t.get()), EOF);
}

// ---- Byte order --------------------------------------------------------------

constexpr bool little_host = std::endian::native == std::endian::little;

TEST(ByteOrder, SwapsBeforeAnySetup) {
    unsigned char v[2] = {1, 2};
    EXPECT_EQ(swap_short(v), 0);
    EXPECT_EQ(v[0], 2);
    EXPECT_EQ(v[1], 1);
}

TEST(ByteOrder, SetupDecidesByHostOrder) {
    const struct {
        int flag;
        bool swaps;
    } cases[] = {{-1, false}, {1, little_host}, {2, !little_host}, {0, true}, {3, true}, {-2, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flag);
        EXPECT_EQ(swap_setup(c.flag), 0);
        unsigned char v[4] = {1, 2, 3, 4};
        EXPECT_EQ(swap_long(v), c.swaps ? 0 : -1);
        const unsigned char want_swapped[4] = {4, 3, 2, 1};
        const unsigned char want_same[4] = {1, 2, 3, 4};
        EXPECT_EQ(std::memcmp(v, c.swaps ? want_swapped : want_same, 4), 0);
    }
}

TEST(ByteOrder, ReadsFixedOrderValues) {
    const std::string bytes("\x00\x00\x01\x02", 4);
    std::uint32_t v = 0;

    swap_setup(1); // big-endian data
    Stream big(bytes);
    EXPECT_EQ(fread_long_swap(reinterpret_cast<unsigned char *>(&v), big.get()), 1);
    EXPECT_EQ(v, 258u);

    swap_setup(2); // little-endian data
    Stream little(bytes);
    EXPECT_EQ(fread_long_swap(reinterpret_cast<unsigned char *>(&v), little.get()), 1);
    EXPECT_EQ(v, 33619968u);

    swap_setup(1);
    Stream shorts(std::string("\x01\x02\xff", 3));
    std::uint16_t h = 0;
    EXPECT_EQ(fread_short_swap(reinterpret_cast<unsigned char *>(&h), shorts.get()), 1);
    EXPECT_EQ(h, 0x0102);
    // A short read at the end gives 0.
    EXPECT_EQ(fread_short_swap(reinterpret_cast<unsigned char *>(&h), shorts.get()), 0);

    // 1.5 as a big-endian IEEE double.
    Stream dbl(std::string("\x3f\xf8\x00\x00\x00\x00\x00\x00", 8));
    double d = 0;
    EXPECT_EQ(fread_double_swap(reinterpret_cast<unsigned char *>(&d), dbl.get()), 1);
    EXPECT_EQ(d, 1.5);
    EXPECT_EQ(fread_double_swap(reinterpret_cast<unsigned char *>(&d), dbl.get()), 0);
    EXPECT_EQ(d, 1.5);
}

TEST(ByteOrder, WritesFixedOrderAndLeavesTheValueReversed) {
    swap_setup(1);
    Stream out("");
    std::uint32_t v = 0x01020304;
    std::uint16_t h = 0x0506;
    EXPECT_EQ(fwrite_long_swap(reinterpret_cast<unsigned char *>(&v), out.get()), 1);
    EXPECT_EQ(fwrite_short_swap(reinterpret_cast<unsigned char *>(&h), out.get()), 1);
    EXPECT_EQ(out.contents(), std::string("\x01\x02\x03\x04\x05\x06", 6));
    if (little_host) {
        EXPECT_EQ(v, 0x04030201u);
        EXPECT_EQ(h, 0x0605);
    }

    swap_setup(-1);
    Stream raw("");
    std::uint32_t w = 0x01020304;
    EXPECT_EQ(fwrite_long_swap(reinterpret_cast<unsigned char *>(&w), raw.get()), 1);
    EXPECT_EQ(w, 0x01020304u);
    std::uint32_t back = 0;
    std::string written = raw.contents();
    ASSERT_EQ(written.size(), 4u);
    std::memcpy(&back, written.data(), 4);
    EXPECT_EQ(back, 0x01020304u);
}

TEST(ByteOrder, ArraysAndDoubles) {
    swap_setup(0);
    unsigned char s[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(swap_shorts(s, 3), 0);
    const unsigned char ws[6] = {2, 1, 4, 3, 6, 5};
    EXPECT_EQ(std::memcmp(s, ws, 6), 0);

    unsigned char l[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(swap_longs(l, 2), 0);
    const unsigned char wl[8] = {4, 3, 2, 1, 8, 7, 6, 5};
    EXPECT_EQ(std::memcmp(l, wl, 8), 0);
    EXPECT_EQ(swap_longs(l, 0), 0);

    unsigned char d[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(swap_double(d), 0);
    const unsigned char wd[8] = {8, 7, 6, 5, 4, 3, 2, 1};
    EXPECT_EQ(std::memcmp(d, wd, 8), 0);

    swap_setup(-1);
    EXPECT_EQ(swap_shorts(s, 3), -1);
    EXPECT_EQ(swap_double(d), -1);
    EXPECT_EQ(swap_short(s), -1);
    EXPECT_EQ(std::memcmp(s, ws, 6), 0);
    EXPECT_EQ(std::memcmp(d, wd, 8), 0);
}

// ---- Numbers -----------------------------------------------------------------

TEST(Float2int, Codes) {
    const std::pair<float, int> cases[] = {
        {0.0f, 0},     {12.0f, 112},  {5.0f, 50},     {1.0f, 10},      {10.0f, 110},  {99.0f, 199},
        {100.0f, 210}, {250.0f, 225}, {273.15f, 227}, {1000.0f, 310},  {2.5f, 25},    {0.5f, 900},
        {0.25f, 950},  {0.123f, 923}, {0.05f, 800},   {-12.0f, -112},  {-0.5f, -900}, {-3.0f, -30},
        {0.12f, 919},  {0.01f, 799},  {-0.0f, 0},     {1e-30f, -1891}, {3e38f, 3830}, {1e-6f, 499},
    };
    for (const auto &[x, code] : cases)
        EXPECT_EQ(float2int(x), code) << x;
}

TEST(Float2int, NonFiniteGivesZero) {
    EXPECT_EQ(float2int(std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(float2int(-std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(float2int(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(Numbers, LinearInterpAndSwap) {
    EXPECT_FLOAT_EQ(linear_interp(5, 0, 10, 100, 200), 150.0f);
    EXPECT_FLOAT_EQ(linear_interp(0, -2, 3, 800, 700), 760.0f);
    EXPECT_FLOAT_EQ(linear_interp(20, 0, 10, 100, 200), 300.0f); // extrapolates
    float a = 1.5f;
    float b = -2.0f;
    EXPECT_EQ(fswap(&a, &b), 0);
    EXPECT_EQ(a, -2.0f);
    EXPECT_EQ(b, 1.5f);
}

// ---- WMO numbers and ICAO prefixes -------------------------------------------

TEST(WmoToId, PrefixRangesAndPlainNumbers) {
    const std::pair<int, const char *> cases[] = {
        {1492, "EN492"},  {72530, "K2530"}, {34560, "X4560"}, {8600, "08600"},  {3772, "EG772"},
        {94120, "Y4120"}, {51234, "Z1234"}, {41150, "OB150"}, {0, "00000"},     {99999, "99999"},
        {1000, "EN000"},  {1499, "EN499"},  {1500, "01500"},  {20000, "U0000"}, {29999, "U9999"},
        {94099, "94099"}, {94100, "Y4100"}, {91749, "N1749"}, {74000, "K4000"}, {73000, "73000"},
        {64360, "FZ360"}, {64361, "64361"}, {40350, "OE350"}, {41160, "OE160"}, {78551, "78551"},
        {69999, "KQ999"}, {98999, "RP999"}, {12099, "12099"}, {8579, "LP579"},  {8580, "08580"},
    };
    for (const auto &[wmo, id] : cases) {
        char buf[6] = "#####";
        EXPECT_EQ(wmo_to_id(buf, wmo), 0);
        EXPECT_STREQ(buf, id) << wmo;
    }
}

TEST(WmoToId, OutOfRangeNumbersStayInTheBuffer) {
    // The buffer holds 6 bytes; a number of more than five characters is cut.
    char buf[8] = "#######";
    wmo_to_id(buf, 1234567);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(buf[6], '#');
    wmo_to_id(buf, -12);
    EXPECT_STREQ(buf, "-0001"); // "-00012" cut to five characters
}

TEST(IdToWmo, Forms) {
    struct Case {
        const char *id;
        int wmo;
        int result;
    };
    const Case cases[] = {
        {"72530", 72530, -1}, // five digits: the number, but no letter prefix
        {"00123", 123, -1},   {"KORD", 99999, -1}, {"K2530", 72530, 0},   {"QQ123", 123, 0},
        {"OE350", 41350, 0},  {"U1234", 21234, 0}, {"X0001", 30001, 0},   {"Y4120", 94120, 0},
        {"Z1234", 51234, 0},  {"ZM123", 44123, 0}, {"ZK001", 47001, 0},   {"UA123", 123, 0},
        {"kd123", 123, 0},    {"en492", 492, 0},   {"N1700", 91700, 0},   {"1A123", 99999, -1},
        {"K2A30", 99999, -1}, {"K253", 99999, -1}, {"K25300", 99999, -1}, {"", 99999, -1},
        {"EN49 ", 99999, -1},
    };
    for (const Case &c : cases) {
        int wmo = -1;
        EXPECT_EQ(id_to_wmo(c.id, &wmo), c.result) << c.id;
        EXPECT_EQ(wmo, c.wmo) << c.id;
    }
    int wmo = -1;
    EXPECT_EQ(id_to_wmo(nullptr, &wmo), -1);
    EXPECT_EQ(wmo, 99999);
}

// The forward and reverse tables are separate transcriptions: every identifier
// made from a number must decode to that number, except in 40350..40499, whose
// prefix OE also serves 41000..41179 and decodes into that range.
TEST(IdToWmo, RoundTripOfEveryNumber) {
    int plain = 0;
    for (int w = 0; w <= 99999; ++w) {
        char id[6];
        wmo_to_id(id, w);
        ASSERT_EQ(std::strlen(id), 5u) << w;
        int back = -1;
        const int r = id_to_wmo(id, &back);
        const bool digits = id[0] >= '0' && id[0] <= '9';
        plain += digits ? 1 : 0;
        ASSERT_EQ(r, digits ? -1 : 0) << w << " " << id;
        const int expected = w >= 40350 && w <= 40499 ? w + 1000 : w;
        ASSERT_EQ(back, expected) << w << " " << id;
    }
    // Numbers in no prefix range: 0-999, the gaps of the block tables, and
    // those of block 9 below 91000 and above 98999.
    EXPECT_GT(plain, 0);
}

} // namespace
