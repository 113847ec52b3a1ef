#include "runtime/mess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>

#include "runtime/flag.h"
#include "support/child.h"

namespace {

using zeqtest::ChildInput;
using zeqtest::read_file;
using zeqtest::run_child;
using zeqtest::TempDir;
using zeqtest::write_file;

// True when this process holds a descriptor open on `path`.
bool holds_open(const std::string &path) {
    const std::string want = std::filesystem::canonical(path).string();
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const auto target = std::filesystem::read_symlink(entry.path(), ec);
        if (!ec && target.string() == want) return true;
    }
    return false;
}

// The stamps "YY MON DD  hh:mm:ssZ" of every second from `from` to `to`,
// written by strftime.
std::set<std::string> stamps_between(time_t from, time_t to) {
    std::set<std::string> out;
    for (time_t t = from; t <= to; ++t) {
        struct tm tm {};
        gmtime_r(&t, &tm);
        char buf[64];
        std::strftime(buf, sizeof buf, "%y %b %d  %H:%M:%SZ", &tm);
        std::string s(buf);
        for (char &c : s)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        out.insert(s);
    }
    return out;
}

// ---- Level words and operations ----------------------------------------------

struct LevelCase {
    const char *items;
    M_type expected;
};

void PrintTo(const LevelCase &c, std::ostream *os) {
    *os << '"' << c.items << '"';
}

class MessSetStr : public ::testing::TestWithParam<LevelCase> {};

TEST_P(MessSetStr, SetsTheLevel) {
    ASSERT_EQ(MESS_get(), 0xFFFFFu);
    ASSERT_EQ(MESS_check_set(), 0);
    EXPECT_EQ(MESS_set_str(GetParam().items), 0);
    EXPECT_EQ(MESS_get(), GetParam().expected) << '"' << GetParam().items << '"';
    EXPECT_EQ(MESS_check_set(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Words, MessSetStr,
    ::testing::Values(LevelCase{"mess", 0xFFF}, LevelCase{"+debugd", 0x800FFFFF},
                      LevelCase{"-print", 0xFFFF0}, LevelCase{"none", 0}, LevelCase{"warnc", 0x7F},
                      LevelCase{"warn", 0xFF}, LevelCase{"out2", 0xFFFFF}, LevelCase{"out1", 0xFFFF},
                      LevelCase{"debug", 0xFFFFFFFF}, LevelCase{"error", 0x3F}, LevelCase{"errora", 0x1F},
                      LevelCase{"MeSs", 0xFFF}, LevelCase{"-warnc", 0xFFFBF}, LevelCase{"+out3a", 0x1FFFFF},
                      LevelCase{"Out4B", 0x3FFFFFF}, LevelCase{"printd", 0xF},
                      LevelCase{"+debugA", 0x100FFFFF}, LevelCase{"bogus", 0}, LevelCase{"none,+error", 0x30},
                      LevelCase{"out1,+debugd", 0x8000FFFF}, LevelCase{"mess,,+debug,", 0xF0000FFF},
                      LevelCase{"", 0xFFFFF}, LevelCase{"-none", 0xFFFFF}, LevelCase{"+", 0xFFFFF},
                      LevelCase{"nopage,line=5", 0xFFFFF}, LevelCase{"line", 0}));

struct SetCase {
    bool explicit_before; // a MESS_set_str("out1") first (level 0xFFFF)
    int oper;
    M_type arg;
    M_type expected;
    int count; // explicit settings afterwards
};

void PrintTo(const SetCase &c, std::ostream *os) {
    *os << (c.explicit_before ? "after out1, " : "") << "operation " << c.oper << " 0x" << std::hex << c.arg
        << std::dec;
}

class MessSet : public ::testing::TestWithParam<SetCase> {};

TEST_P(MessSet, AppliesTheOperation) {
    const SetCase c = GetParam();
    if (c.explicit_before) MESS_set_str("out1");
    EXPECT_EQ(MESS_set(c.oper, c.arg), 0);
    EXPECT_EQ(MESS_get(), c.expected) << "operation " << c.oper;
    EXPECT_EQ(MESS_check_set(), c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, MessSet,
    ::testing::Values(SetCase{false, 0, 0xFF, 0xFF, 1}, SetCase{false, 0, 0x80, 0xFF, 1},
                      SetCase{false, 1, 0xF00000, 0xFFFFFF, 1}, SetCase{false, -1, 0xF, 0xFFFF0, 1},
                      SetCase{false, 2, 0xF, 0xFFFFF, 1}, SetCase{false, 9, 0xF, 0xFFFF0, 0},
                      SetCase{false, 10, 0x800, 0xFFF, 0}, SetCase{false, 11, 0x80000000, 0x800FFFFF, 0},
                      SetCase{false, 19, 0xF0000, 0xFFFF, 0}, SetCase{false, 20, 0xFF, 0xFF, 0},
                      SetCase{false, 21, 0x100000, 0x1FFFFF, 0}, SetCase{false, 5, 0xFF, 0xFFFFF, 0},
                      SetCase{false, 16, 0xFF, 0xFFFFF, 0}, SetCase{true, 20, 0xFF, 0xFFFF, 1},
                      SetCase{true, 21, 0xF00000, 0xFFFF, 1}, SetCase{true, 19, 0xF, 0xFFFF, 1},
                      SetCase{true, 10, 0xFF, 0xFF, 1}, SetCase{true, 0, 0xFF, 0xFF, 2}));

TEST(MessCheck, AnySharedBitShows) {
    EXPECT_EQ(MESS_check(0x80000), 1);
    EXPECT_EQ(MESS_check(0x100000), 0);
    EXPECT_EQ(MESS_check(0xF00000 | 0x8), 1);
    EXPECT_EQ(MESS_check(0), 0);
}

// ---- Output streams ------------------------------------------------------------

TEST(MessPrint, DefaultLevelSendsErrorsAndWarningsToStderr) {
    const auto r = run_child([] {
        int bad = 0;
        bad |= MESS_print(M_PRINT, "print %d\n", 1) != 1;
        bad |= MESS_print(M_ERROR, "error %s\n", "e") != 1;
        bad |= MESS_print(M_WARN, "warn\n") != 1;
        bad |= MESS_print(M_MESS, "mess\n") != 1;
        bad |= MESS_print(M_OUT1, "out1\n") != 1;
        bad |= MESS_print(M_OUT2, "out2\n") != 1;
        bad |= MESS_print(M_OUT3, "out3\n") != 0;
        bad |= MESS_print(M_OUT4, "out4\n") != 0;
        bad |= MESS_print(M_DEBUG, "debug\n") != 0;
        bad |= MESS_print(0x8, "sub 8\n") != 1;
        bad |= MESS_print(0x40, "sub 0x40\n") != 1;
        bad |= MESS_print(0x80000000, "sub debug d\n") != 0;
        return bad;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "print 1\nmess\nout1\nout2\nsub 8\n");
    EXPECT_EQ(r.err, "error e\nwarn\nsub 0x40\n");
}

TEST(MessPrint, LevelWordsDecideWhatShows) {
    const auto r = run_child([] {
        MESS_set_str("mess,+debugd,-print");
        MESS_print(M_PRINT, "print\n");
        MESS_print(M_MESS, "mess\n");
        MESS_print(M_OUT1, "out1\n");
        MESS_print(0x80000000, "trace\n");
        MESS_print(0x40000000, "other debug\n");
        MESS_print(M_WARN, "warn\n");
        return 0;
    });
    EXPECT_EQ(r.out, "mess\ntrace\n");
    EXPECT_EQ(r.err, "warn\n");
}

TEST(MessPrint, BannerAtTheMessKind) {
    const auto shown = run_child([] { return MESS_print_prog("SURFACE DATA CONTOURING"); });
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, "      SURFACE DATA CONTOURING (Ver 5.60.2-LINUX-X11)\n\n");
    const auto hidden = run_child([] {
        MESS_set_str("warn");
        return MESS_print_prog("SURFACE DATA CONTOURING");
    });
    EXPECT_EQ(hidden.out, "");
    EXPECT_EQ(hidden.err, "");
}

TEST(MessPrint, EveryOutputGetsTheSameFormattedText) {
    TempDir dir;
    const std::string copy = dir.file("copy.txt");
    const std::string log = dir.file("log.txt");
    const auto r = run_child([&] {
        if (MESS_file(copy.c_str(), "w") != 0) return 2;
        MESS_set_str(("+fi=" + log).c_str());
        MESS_print(M_PRINT, "%s=%d %5.1f\n", "value", 42, 2.25);
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "value=42   2.2\n");
    EXPECT_EQ(read_file(copy), r.out);
    EXPECT_EQ(read_file(log), r.out);
}

TEST(MessPrint, LongMessagesAreNotCut) {
    const std::string text(5000, 'x');
    const auto r = run_child([&] { return MESS_print(M_PRINT, "%s|\n", text.c_str()) == 1 ? 0 : 1; });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, text + "|\n");
}

TEST(MessFile, SecondOutputUntilClosed) {
    TempDir dir;
    const std::string copy = dir.file("copy.txt");
    const auto r = run_child([&] {
        if (MESS_file(copy.c_str(), "w") != 0) return 2;
        MESS_print(M_PRINT, "one\n");
        MESS_print(M_OUT4, "hidden\n");
        MESS_file_close();
        MESS_print(M_PRINT, "two\n");
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(copy), "one\n");
    EXPECT_EQ(r.out, "one\ntwo\n");
}

TEST(MessFile, UnopenableFileFails) {
    TempDir dir;
    write_file(dir.file("plain"), "");
    EXPECT_EQ(MESS_file(dir.file("plain/copy.txt").c_str(), "w"), -1);
}

// ---- Log files ---------------------------------------------------------------------

struct LogCase {
    const char *key;
    bool screen;    // messages also reach the screen
    bool keeps_old; // the earlier content of the file stays
    bool stamped;   // each entry starts with the current time
};

void PrintTo(const LogCase &c, std::ostream *os) {
    *os << c.key;
}

class MessLog : public ::testing::TestWithParam<LogCase> {};

TEST_P(MessLog, WritesTheLogFile) {
    const LogCase c = GetParam();
    TempDir dir;
    const std::string log = dir.file("run.log");
    write_file(log, "old\n");
    const time_t before = std::time(nullptr);
    const auto r = run_child([&] {
        MESS_set_str((std::string(c.key) + "=" + log).c_str());
        const int shown = MESS_print(M_PRINT, "hello %d\n", 1);
        MESS_print(M_WARN, "warned\n");
        MESS_print(M_DEBUG, "not shown\n");
        return shown == (c.screen ? 1 : 0) ? 0 : 3;
    });
    const time_t after = std::time(nullptr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.screen ? "hello 1\n" : "");
    EXPECT_EQ(r.err, c.screen ? "warned\n" : "");

    const std::string text = read_file(log);
    const std::string old = c.keeps_old ? "old\n" : "";
    if (!c.stamped) {
        EXPECT_EQ(text, old + "hello 1\nwarned\n");
        return;
    }
    // Each entry: a 20-character stamp that strftime writes for a second of
    // the run, then " -- " and the message.
    ASSERT_EQ(text.substr(0, old.size()), old);
    const auto now = stamps_between(before, after);
    std::size_t pos = old.size();
    for (const std::string message : {"hello 1\n", "warned\n"}) {
        const std::string stamp = text.substr(pos, 20);
        EXPECT_TRUE(now.count(stamp)) << "stamp \"" << stamp << "\" in " << text;
        EXPECT_EQ(text.substr(pos + 20, 4 + message.size()), " -- " + message);
        pos += 20 + 4 + message.size();
    }
    EXPECT_EQ(pos, text.size()) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, MessLog,
    ::testing::Values(LogCase{"fi", false, true, false}, LogCase{"FI", false, true, false},
                      LogCase{"@fi", true, true, true}, LogCase{"+fi", true, true, false},
                      LogCase{"-fi", true, false, false}, LogCase{"dfi", true, true, false}));

TEST(MessLog, ReopenedLogIsClosedAfterEveryMessage) {
    TempDir dir;
    const std::string log = dir.file("run.log");
    const std::string moved = dir.file("first.log");
    const auto r = run_child([&] {
        MESS_set_str(("dfi=" + log).c_str());
        MESS_print(M_PRINT, "one\n");
        if (holds_open(log)) return 4;
        if (std::rename(log.c_str(), moved.c_str()) != 0) return 5;
        MESS_print(M_PRINT, "two\n");
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(moved), "one\n");
    EXPECT_EQ(read_file(log), "two\n");
    EXPECT_EQ(r.out, "one\ntwo\n");
}

TEST(MessLog, ReopenedLogNameUpTo159Characters) {
    TempDir dir;
    const std::string base = dir.path() + "/";
    const std::string fits = base + std::string(159 - base.size(), 'a');
    const std::string too_long = base + std::string(160 - base.size(), 'b');
    ASSERT_EQ(fits.size(), 159u);

    const auto ok = run_child([&] {
        MESS_set_str(("dfi=" + fits).c_str());
        MESS_print(M_PRINT, "kept\n");
        return 0;
    });
    EXPECT_EQ(read_file(fits), "kept\n");
    EXPECT_EQ(ok.out, "kept\n");
    EXPECT_EQ(ok.err, "");

    const auto refused = run_child([&] {
        MESS_set_str(("dfi=" + too_long).c_str());
        MESS_print(M_PRINT, "still shown\n");
        return 0;
    });
    EXPECT_FALSE(std::filesystem::exists(too_long));
    EXPECT_FALSE(std::filesystem::exists(too_long.substr(0, 159)));
    EXPECT_EQ(refused.out, "still shown\n");
    EXPECT_THAT(refused.err, ::testing::HasSubstr("MESS_set_str: Invalid log file name: " + too_long));
}

struct BadLogCase {
    const char *key;
};

void PrintTo(const BadLogCase &c, std::ostream *os) {
    *os << c.key;
}

class MessBadLog : public ::testing::TestWithParam<BadLogCase> {};

TEST_P(MessBadLog, UnopenableLogWarnsAndKeepsTheScreen) {
    TempDir dir;
    write_file(dir.file("plain"), "");
    const std::string log = dir.file("plain/run.log"); // below a regular file: can never be made
    const auto r = run_child([&] {
        MESS_set_str((std::string(GetParam().key) + "=" + log).c_str());
        return MESS_print(M_PRINT, "shown\n") == 1 ? 0 : 3;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "shown\n");
    EXPECT_EQ(r.err, "MESS_set_str: Unable to open log file: " + log + "\n");
}

INSTANTIATE_TEST_SUITE_P(Keys, MessBadLog,
                         ::testing::Values(BadLogCase{"fi"}, BadLogCase{"@fi"}, BadLogCase{"+fi"},
                                           BadLogCase{"-fi"}));

TEST(MessLog, NoFileNameWarns) {
    const auto r = run_child([] {
        MESS_set_str("fi");
        return MESS_print(M_PRINT, "shown\n") == 1 ? 0 : 3;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "shown\n");
    EXPECT_THAT(r.err, ::testing::HasSubstr("MESS_set_str: Unable to open log file"));
}

struct ReplaceCase {
    const char *first;
    const char *second;
    const char *second_text; // what the replacing log holds
};

void PrintTo(const ReplaceCase &c, std::ostream *os) {
    *os << c.first << " then " << c.second;
}

class MessLogReplace : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(MessLogReplace, LaterLogClosesTheEarlierOne) {
    const ReplaceCase c = GetParam();
    TempDir dir;
    const std::string a = dir.file("a.log");
    const std::string b = dir.file("b.log");
    const auto r = run_child([&] {
        MESS_set_str((std::string(c.first) + "=" + a + "," + c.second + "=" + b).c_str());
        if (holds_open(a)) return 4;
        MESS_print(M_PRINT, "x\n");
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(a), "");
    EXPECT_EQ(read_file(b), c.second_text);
}

INSTANTIATE_TEST_SUITE_P(Items, MessLogReplace,
                         ::testing::Values(ReplaceCase{"+fi", "+fi", "x\n"}, ReplaceCase{"fi", "dfi", "x\n"},
                                           ReplaceCase{"-fi", "fi", "x\n"}));

// ---- Paging ----------------------------------------------------------------------

struct LineCase {
    const char *items;
    int lines;
};

void PrintTo(const LineCase &c, std::ostream *os) {
    *os << '"' << c.items << '"';
}

class MessLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(MessLines, SetsThePageLength) {
    MESS_set_str(GetParam().items);
    EXPECT_EQ(MESS_get_max_lines(), GetParam().lines) << GetParam().items;
    EXPECT_EQ(MESS_get(), 0xFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Items, MessLines,
                         ::testing::Values(LineCase{"nopage", 22}, LineCase{"line=10", 10},
                                           LineCase{"LINE:7", 7}, LineCase{"line=0", 22},
                                           LineCase{"line=-5", 22}, LineCase{"line=abc", 22},
                                           LineCase{"page,line=99999999999", 2147483647}));

TEST(MessPage, HoldsWhenThePageIsFull) {
    const auto r = run_child(
        [] {
            MESS_set_str("page,line=3");
            for (int i = 1; i <= 5; ++i)
                MESS_print(M_PRINT, "m%d\n", i);
            // The hold took the whole typed line and no more.
            char rest[32] = "";
            if (std::fgets(rest, sizeof rest, stdin) == nullptr) return 6;
            std::printf("stdin:%s", rest);
            return 0;
        },
        ChildInput{"x\nrest\n"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "m1\nm2\nm3\nm4\nPress return to continue\nm5\nstdin:rest\n");
}

TEST(MessPage, CountsNewlinesOfTheFormatOnly) {
    const auto r = run_child(
        [] {
            MESS_set_str("page,line=2");
            MESS_print(M_PRINT, "%s", "a\nb\nc\nd\n"); // no newline in the format
            MESS_print(M_ERROR, "e\n\n");
            MESS_print(M_ERROR, "f\n");
            return 0;
        },
        ChildInput{"\n"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "a\nb\nc\nd\nPress return to continue\n");
    EXPECT_EQ(r.err, "e\n\nf\n");
}

TEST(MessPage, BatchModeDoesNotWait) {
    // Standard input stays open with nothing to read: a wait would hang.
    const auto r = run_child(
        [] {
            FLAG_set_batch(1);
            MESS_set_str("page,line=3");
            for (int i = 1; i <= 8; ++i)
                MESS_print(M_PRINT, "m%d\n", i);
            return 0;
        },
        ChildInput{"", true}, std::chrono::seconds(5));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "m1\nm2\nm3\nm4\nm5\nm6\nm7\nm8\n");
}

TEST(MessPage, BatchModeKeepsCounting) {
    const auto r = run_child(
        [] {
            FLAG_set_batch(1);
            MESS_set_str("page,line=3");
            for (int i = 1; i <= 5; ++i)
                MESS_print(M_PRINT, "m%d\n", i);
            FLAG_set_batch(0);
            MESS_print(M_PRINT, "after\n"); // the count is past the page already
            return 0;
        },
        ChildInput{"\n"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "m1\nm2\nm3\nm4\nm5\nafter\nPress return to continue\n");
}

struct HoldCase {
    const char *name;
    void (*setup)();
    M_type type;
    bool waits;
    const char *out;
    const char *err;
};

void PrintTo(const HoldCase &c, std::ostream *os) {
    *os << c.name;
}

class MessHold : public ::testing::TestWithParam<HoldCase> {};

TEST_P(MessHold, WaitsOnlyWhenPaging) {
    const HoldCase c = GetParam();
    // A hold that waits takes "x\n" and leaves "left\n"; one that must not
    // wait gets an open, empty input and would hang.
    const auto r = run_child(
        [&] {
            c.setup();
            MESS_hold(c.type, "Hold\n");
            if (!c.waits) return 0;
            char rest[16] = "";
            if (std::fgets(rest, sizeof rest, stdin) == nullptr) return 6;
            return std::string(rest) == "left\n" ? 0 : 7;
        },
        c.waits ? ChildInput{"x\nleft\n"} : ChildInput{"", true}, std::chrono::seconds(5));
    EXPECT_FALSE(r.timed_out) << c.name;
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, MessHold,
    ::testing::Values(HoldCase{"default", [] {}, M_PRINT, true, "Hold\n", ""},
                      HoldCase{"error and warn bits", [] {}, M_ERROR | M_WARN, true, "", "Hold\n"},
                      HoldCase{"error bit only", [] {}, M_ERROR, true, "Hold\n", ""},
                      HoldCase{"nopage", [] { MESS_set_str("nopage"); }, M_PRINT, false, "", ""},
                      HoldCase{"log only", [] { MESS_set_out(0); }, M_PRINT, false, "", ""},
                      HoldCase{"batch", [] { FLAG_set_batch(1); }, M_PRINT, false, "", ""},
                      HoldCase{"kind off", [] {}, M_DEBUG, false, "", ""}));

} // namespace
