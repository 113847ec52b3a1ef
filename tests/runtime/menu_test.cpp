// Text menus: layout in one and two columns, the answer loop and the look-ups.
#include "runtime/menu.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/flag.h"
#include "support/child.h"

namespace {

// A menu table with row 0 "back" and the given rows, shown in menu 0 unless
// their display flag says otherwise.
class Table {
public:
    struct Row {
        std::string name;
        std::string abbr;
        int index;
        int disp0 = 1;
    };
    explicit Table(std::vector<Row> rows) : rows_(std::move(rows)) {
        items_.push_back(MENU_item{"Return to previous menu", "back", 0, {1}});
        for (const Row &r : rows_) {
            MENU_item item{r.name.c_str(), r.abbr.c_str(), r.index, {}};
            item.disp[0] = r.disp0;
            item.disp[3] = 1;
            items_.push_back(item);
        }
        items_.push_back(MENU_item{nullptr, nullptr, 0, {}});
    }
    const MENU_item *get() const { return items_.data(); }

private:
    std::vector<Row> rows_;
    std::vector<MENU_item> items_;
};

// n rows "Row k" with abbreviation "rk" and index 100 + k.
Table numbered(int n) {
    std::vector<Table::Row> rows;
    for (int k = 1; k <= n; ++k)
        rows.push_back({"Row " + std::to_string(k), "r" + std::to_string(k), 100 + k});
    return Table(rows);
}

std::string printed(const Table &t, int flag, int menu_num = 0) {
    testing::internal::CaptureStdout();
    MENU_print("Title", t.get(), menu_num, flag);
    return testing::internal::GetCapturedStdout();
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

std::string entry(int n, const std::string &name, bool last) {
    char buf[64];
    std::snprintf(buf, sizeof buf, last ? " %2d: %-30s" : " %2d: %-30s ", n, name.c_str());
    return buf;
}

TEST(MenuPrint, OneColumnWithSeparatorAndBottomEntries) {
    const Table t({{"Alpha", "a", 1}, {"-sep", "s", 2}, {"Gamma", "g", 3}, {"Hidden", "h", 4, 0}});
    const std::string back = "  0: Return to previous menu       ";
    const std::string exit_line = " -1: Exit program                  ";
    const std::string body = "Title\n" + entry(1, "Alpha", true) +
                             "\n --------------------               \n" + entry(3, "Gamma", true) + "\n";
    EXPECT_EQ(printed(t, 3), body + back + "\n" + exit_line + "\n\n");
    EXPECT_EQ(printed(t, 1), body + "  0: Exit program                  \n\n");
    EXPECT_EQ(printed(t, 2), body + back + "\n\n");
    EXPECT_EQ(printed(t, 0), body + "\n");
    EXPECT_EQ(printed(t, 4), body + " 99: Help                          \n\n");
    // Another menu number shows the rows flagged for it.
    EXPECT_EQ(printed(t, 0, 3), "Title\n" + entry(1, "Alpha", true) +
                                    "\n --------------------               \n" + entry(3, "Gamma", true) +
                                    "\n" + entry(4, "Hidden", true) + "\n\n");
}

TEST(MenuPrint, ColumnsFromThirteenRows) {
    struct Case {
        int rows;
        int body_lines;
        std::string last;
    };
    const Case cases[] = {
        {12, 12, entry(12, "Row 12", true)},
        {13, 7, entry(7, "Row 7", true)},
        {14, 7, entry(7, "Row 7", false) + entry(14, "Row 14", true)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        const std::vector<std::string> out = lines(printed(numbered(c.rows), 0));
        ASSERT_EQ(static_cast<int>(out.size()), 1 + c.body_lines + 1);
        EXPECT_EQ(out[static_cast<std::size_t>(c.body_lines)], c.last);
    }
    // Row i on the left, row i + 7 on the right.
    const std::vector<std::string> out = lines(printed(numbered(13), 3));
    EXPECT_EQ(out[1], entry(1, "Row 1", false) + entry(8, "Row 8", true));
    EXPECT_EQ(out[6], entry(6, "Row 6", false) + entry(13, "Row 13", true));
    // Two columns put the exit entry beside the return entry.
    EXPECT_EQ(out[8],
              "  0: Return to previous menu" + std::string(8, ' ') + " -1: Exit program                  ");
}

TEST(MenuPrint, AtMostSeventyNineRows) {
    const std::vector<std::string> out = lines(printed(numbered(90), 0));
    EXPECT_EQ(out.size(), 1u + 40u + 1u);
    EXPECT_EQ(out[40], entry(40, "Row 40", true));
}

struct Answer {
    int value;
    std::string string;
    std::string out;
};

// Runs MENU_process in a child that reads `input`.
Answer process(const Table &t, int flag, const std::string &input) {
    const zeqtest::ChildResult r = zeqtest::run_child(
        [&] {
            char string[20] = "unset";
            const int v = MENU_process("Title", t.get(), 0, "Answer: ", string, flag);
            std::printf("\nRESULT %d [%s]\n", v, string);
            return 0;
        },
        {input});
    EXPECT_EQ(r.status, 0);
    Answer a{-12345, "", r.out};
    const std::size_t at = r.out.rfind("RESULT ");
    if (at == std::string::npos) return a;
    char buf[64] = "";
    std::sscanf(r.out.c_str() + at, "RESULT %d [%63[^]]", &a.value, buf);
    a.string = buf;
    return a;
}

TEST(MenuProcess, Answers) {
    // Row 2 is shown in another menu only (display flag 2 counts as not shown).
    const Table t({{"Alpha one", "a1", 11}, {"Beta", "b2", 12, 2}, {"Gamma", "g3", 13}});
    struct Case {
        int flag;
        const char *input;
        int value;
        const char *string;
    };
    const Case cases[] = {
        {3, "1\n", 11, "a1"},
        {3, "2\n", 13, "g3"}, // numbers count shown rows
        {3, "G3\n", 13, "g3"},
        {3, "gamma\n", 13, "g3"},
        {3, "3\n", MISSING, "3"},
        {3, "b2\n", MISSING, "b2"}, // not shown, not accepted
        {3, "Beta\n", MISSING, "Beta"},
        {3, "0\n", 0, "0"},
        {3, "-1\n", -1, "-1"},
        {3, "main\n", 0, "main"},
        {3, "MAIN\n", 0, "MAIN"},
        {2, "-1\n", MISSING, "-1"},
        {2, "0\n", 0, "0"},
        {1, "-1\n", -1, "-1"},
        {0, "0\n", MISSING, "0"},
        {0, "back\n", 0, "back"}, // row 0 answers without the main flag too
        {3, "-\n", MISSING, "-"},
        {3, "99\n", MISSING, "99"},
        {3, "99999999999999999999\n", MISSING, "9999999999999999999"},
        {3, "ps,40,-100 more words\n", MISSING, "ps,40,-100"},
        {3, "\n\n  \n1\n", 11, "a1"}, // empty answers ask again
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("flag ") + std::to_string(c.flag) + " answer " + c.input);
        const Answer a = process(t, c.flag, c.input);
        EXPECT_EQ(a.value, c.value);
        EXPECT_EQ(a.string, c.string);
    }
}

TEST(MenuProcess, QuestionMarkListsAbbreviationsAndAsksAgain) {
    const Table t({{"Alpha", "a1", 11}, {"Beta", "b2", 12, 0}, {"Gamma", "g3", 13}});
    const Answer a = process(t, 3, "?\ng3\n");
    EXPECT_EQ(a.value, 13);
    EXPECT_NE(a.out.find("back,a1,g3\n\n"), std::string::npos) << a.out;
    // The menu is printed once, the prompt twice.
    EXPECT_EQ(a.out.find("Title"), a.out.rfind("Title"));
    EXPECT_NE(a.out.find("Answer: "), a.out.rfind("Answer: "));
}

TEST(MenuProcess, EndOfInputLeavesTheMenu) {
    const Table t({{"Alpha", "a1", 11}});
    const Answer both = process(t, 3, "");
    EXPECT_EQ(both.value, -1);
    EXPECT_EQ(both.string, "");
    EXPECT_EQ(process(t, 2, "\n").value, 0);
    EXPECT_EQ(process(t, 0, "").value, 0);
}

// In batch mode nobody answers: the menu is left at once, as at the end of
// input, and standard input (which here never ends) is not read.
TEST(MenuProcess, BatchModeLeavesTheMenu) {
    const Table t({{"Alpha", "a1", 11}});
    for (const int flag : {3, 2}) {
        const zeqtest::ChildResult r = zeqtest::run_child(
            [&t, flag] {
                FLAG_set_batch(1);
                char string[20] = "x";
                const int v = MENU_process("Title", t.get(), 0, "Answer: ", string, flag);
                std::printf("RESULT %d [%s]\n", v, string);
                return 0;
            },
            {"1\n", true}, std::chrono::seconds(5));
        EXPECT_FALSE(r.timed_out);
        EXPECT_NE(r.out.find(flag == 3 ? "RESULT -1 []" : "RESULT 0 []"), std::string::npos) << r.out;
    }
}

TEST(MenuProcess, LongAbbreviationIsCutToTheAnswerBuffer) {
    const Table t({{"Long", "abcdefghijklmnopqrstuvwxyz", 5}});
    const Answer a = process(t, 3, "1\n");
    EXPECT_EQ(a.value, 5);
    EXPECT_EQ(a.string, "abcdefghijklmnopqrs");
}

TEST(MenuLookups, SearchAbbrAndCheck) {
    const Table t({{"Alpha", "a1", 11}, {"Beta", "b2", 12, 2}, {"Gamma", "g3", 11}, {"Delta", "d4", 14, 0}});
    EXPECT_EQ(MENU_search("B2", t.get()), 12); // display flags ignored
    EXPECT_EQ(MENU_search("beta", t.get()), 12);
    EXPECT_EQ(MENU_search("back", t.get()), 0);
    EXPECT_EQ(MENU_search("nothing", t.get()), MISSING);
    EXPECT_EQ(MENU_search(nullptr, t.get()), MISSING);

    EXPECT_STREQ(MENU_get_abbr(11, t.get()), "a1"); // first row with the index
    EXPECT_STREQ(MENU_get_abbr(0, t.get()), "back");
    EXPECT_EQ(MENU_get_abbr(99, t.get()), nullptr);

    EXPECT_EQ(MENU_check(12, t.get(), 0), 1); // any non-zero flag
    EXPECT_EQ(MENU_check(14, t.get(), 0), 0);
    EXPECT_EQ(MENU_check(14, t.get(), 3), 1);
    EXPECT_EQ(MENU_check(99, t.get(), 0), 0);
    EXPECT_EQ(MENU_check(11, t.get(), 10), 0);
}

} // namespace
