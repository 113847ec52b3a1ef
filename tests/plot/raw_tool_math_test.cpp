// The point-data calculator: commands over small files checked against an
// independent Python model of the station arithmetic (table combinations
// with and without a missing-value replacement, two-file and constant
// operations, repeated stations, outmiss, series labels), extraction, info
// words, and the commands and files it refuses.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "plot/raw_read.h"
#include "plot/raw_tool.h"
#include "runtime/resrc.h"
#include "runtime/zeq.h"
#include "support/child.h"
#include "support/reference.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

// Station values: S1 twice (the first record counts), S3 missing, two
// identifiers that share their first ten characters, a zero divisor in b.
const char *const FILE_A = "ZEQRAW\n12Z  5 JAN 24\ninfo a\n"
                           "S1 40.00 -100.00 10\n"
                           "S2 41.00 -101.00 20\n"
                           "S3 42.00 -102.00 -\n"
                           "S4 43.00 -103.00 4\n"
                           "S1 40.00 -100.00 99\n"
                           "LONGSTATIONID1 44.00 -104.00 1.5\n"
                           "LONGSTATIONID2 45.00 -105.00 6\n";
const char *const FILE_B = "ZEQRAW\n00Z  6 JAN 24\ninfo b\n"
                           "S1 40.00 -100.00 3\n"
                           "S2 41.00 -101.00 0\n"
                           "S5 46.00 -106.00 7\n"
                           "LONGSTATIONID2 45.00 -105.00 5\n"
                           "S5 46.00 -106.00 70\n";
const char *const FILE_C = "ZEQRAW\n12Z  6 JAN 24\ninfo c\n"
                           "S1 40.00 -100.00 1\n"
                           "S4 43.00 -103.00 2\n"
                           "S5 46.00 -106.00 5\n";

// The model: the same rules written independently, reading the fixtures as
// plain text. Input: lines "CASE PARAMS WORDS..."; output per case the
// lines "CASE ID VALUE" in file order ("-" a missing value).
const char *const MODEL = R"PY(
import sys, math
def read(name):
    recs = []
    for line in open(name).read().split('\n')[3:]:
        w = line.split()
        if not w: break
        v = None if w[3] == '-' else float(w[3])
        recs.append((w[0], v))
    return recs
def op2(op, t, v):
    try:
        r = {'sum': lambda: t + v, 'add': lambda: t + v, 'sub': lambda: t - v, 'mul': lambda: t * v,
             'div': lambda: t / v, 'mod': lambda: math.fmod(t, v), 'max': lambda: max(t, v),
             'min': lambda: min(t, v), 'ge': lambda: None if t > v else t,
             'le': lambda: None if t < v else t}.get(op, lambda: v)()
    except ZeroDivisionError:
        return None
    return r
for line in sys.stdin:
    w = line.split()
    case, params, words = w[0], w[1], w[2:]
    miss = None; outmiss = False
    for p in params.split(','):
        if p.startswith('miss='): miss = float(p[5:])
        if p == 'outmiss': outmiss = True
    fix = lambda v: miss if v is None else v
    out = []
    if words[0] in ('sum', 'max', 'min', 'copy', 'merge') or words[1] in ('sub', 'div', 'ge') and words[0][0] != '#' and words[2][0] != '#':
        two = words[0] not in ('sum', 'max', 'min', 'copy', 'merge')
        op = words[1] if two else words[0]
        files = [words[0], words[2]] if two else words[1:words.index('=')]
        table = {}; order = []
        for i, v in read(files[0]):
            v = fix(v)
            if v is not None and i not in table:
                table[i] = [v, 0]; order.append(i)
        for p, f in enumerate(files[1:]):
            seen = set()
            for i, v in read(f):
                v = fix(v)
                if v is None or i in seen: continue
                seen.add(i)
                t = table[i][0] if i in table else miss
                if t is not None: v = op2(op, t, v)
                if i in table: table[i] = [v, p + 1]
                elif miss is not None:
                    table[i] = [v, p + 1]; order.append(i)
        flag = 1 if two else 0
        for i in order:
            v, f = table[i]
            if v is None: continue
            if miss is None and f < flag: continue
            if miss is not None and not outmiss and v == miss: continue
            out.append((i, v))
    elif words[0] == 'series':
        for k, f in enumerate(words[1:words.index('=')]):
            name, _, label = f.partition(':')
            for i, v in read(name):
                if fix(v) is not None: out.append((label or str(k + 1), fix(v)))
    else:
        first = words[0][0] == '#'
        c = float((words[0] if first else words[2])[1:])
        for i, v in read(words[2] if first else words[0]):
            v = fix(v)
            if v is None: continue
            a, b = (c, v) if first else (v, c)
            out.append((i, op2(words[1], a, b)))
    for i, v in out:
        print(case, i, '-' if v is None else '%.4f' % v)
)PY";

struct Case {
    const char *params; // resource parameter ("-" none)
    const char *command;
};

// The records of a written file: "ID VALUE" lines, the value as written
// (the format's ':' suffix dropped).
std::vector<std::string> records(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    for (int i = 0; i < 3 && std::getline(in, line); ++i) {
    }
    while (std::getline(in, line) && !line.empty()) {
        std::istringstream w(line);
        std::string id, lat, lon, value;
        w >> id >> lat >> lon >> value;
        out.push_back(id + " " + value.substr(0, value.find(':')));
    }
    return out;
}

// Runs one command given as a line of words.
int command(const std::string &line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    return RAW_math_command(static_cast<int>(argv.size()), argv.data());
}

class RawMath : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        write_file(dir.file("a.raw"), FILE_A);
        write_file(dir.file("b.raw"), FILE_B);
        write_file(dir.file("c.raw"), FILE_C);
        RES_put("plot_format", "%.4f");
    }
    TempDir dir;
};

// Every case of the table: the output file equals the model's records.
TEST_F(RawMath, CommandsMatchModel) {
    const Case cases[] = {
        {"-", "sum a.raw b.raw c.raw = out.raw"},
        {"miss=0", "sum a.raw b.raw c.raw = out.raw"},
        {"miss=0,outmiss", "sum a.raw b.raw c.raw = out.raw"},
        {"-", "max a.raw b.raw c.raw = out.raw"},
        {"-", "min a.raw b.raw = out.raw"},
        {"-", "copy a.raw c.raw = out.raw"},
        {"-", "merge a.raw b.raw = out.raw"},
        {"-", "a.raw sub b.raw = out.raw"},
        {"-", "a.raw div b.raw = out.raw"},
        {"miss=0", "a.raw sub b.raw = out.raw"},
        {"-", "#100 sub a.raw = out.raw"},
        {"-", "a.raw sub #100 = out.raw"},
        {"-", "#100 div b.raw = out.raw"},
        {"-", "a.raw ge #5 = out.raw"},
        {"-", "a.raw le #5 = out.raw"},
        {"-", "a.raw mod #4 = out.raw"},
        {"-", "a.raw mul #-2 = out.raw"},
        {"-", "series a.raw:00Z c.raw:12Z = out.raw"},
        {"-", "series a.raw c.raw = out.raw"},
    };
    std::string input;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        input += std::to_string(i) + " " + cases[i].params + " " + cases[i].command + "\n";
    // The model reads the fixtures from the working directory.
    std::string script = "import os\nos.chdir('" + dir.path() + "')\n" + MODEL;
    const std::string expected_text = zeqtest::run_python(script, input);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].command);
        std::vector<std::string> expected;
        for (const std::string &l : zeqtest::text_lines(expected_text))
            if (l.rfind(std::to_string(i) + " ", 0) == 0) expected.push_back(l.substr(l.find(' ') + 1));
        // Each case is a fresh run: its own process state.
        const zeqtest::ChildResult r = zeqtest::run_child(
            [&] {
                RES_put("parameter", std::strcmp(cases[i].params, "-") == 0 ? "" : cases[i].params);
                RES_put("plot_format", "%.4f");
                return command(cases[i].command) == 1 ? 0 : 1;
            },
            {}, std::chrono::seconds(30));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(records(read_file(dir.file("out.raw"))), expected);
        std::remove(dir.file("out.raw").c_str());
    }
}

// The header of a combined file: the info words, else the first file's texts.
TEST_F(RawMath, InfoWords) {
    ASSERT_EQ(command("sum a.raw b.raw = o1.raw Pressure 06Z_7_JAN_24"), 1);
    EXPECT_EQ(read_file(dir.file("o1.raw")).substr(0, 29), "ZEQRAW\n06Z_7_JAN_24\nPressure\n");
    ASSERT_EQ(command("sum a.raw b.raw = o2.raw - -"), 1);
    EXPECT_EQ(read_file(dir.file("o2.raw")).substr(0, 28), "ZEQRAW\n12Z  5 JAN 24\ninfo a\n");
    // A constant operation clears the texts and fills them from its input.
    ASSERT_EQ(command("b.raw add #1 = o3.raw"), 1);
    EXPECT_EQ(read_file(dir.file("o3.raw")).substr(0, 28), "ZEQRAW\n00Z  6 JAN 24\ninfo b\n");
}

// Extraction of a named field: the info joins the file's and the field's;
// with noattr the field's format is not carried into the records.
TEST_F(RawMath, ExtractField) {
    write_file(dir.file("f.raw"), "ZEQRAW\n12Z  5 JAN 24\n!Surface\nid lat lon\n"
                                  "temp:Temperature:%.1f\ndewp:Dew_point:%.1f\n$\n"
                                  "S1 40.00 -100.00 71.5 60\nS2 41.00 -101.00 - 50\n");
    RES_put("plot_format", "");
    ASSERT_EQ(command("ext f.raw-dewp = x.raw"), 1);
    EXPECT_EQ(
        read_file(dir.file("x.raw")),
        "ZEQRAW\n12Z  5 JAN 24\nSurface-Dew point\nS1  40.00 -100.00 60:%.1f\nS2  41.00 -101.00 50:%.1f\n\n");
    RES_put("parameter", "noattr");
    ASSERT_EQ(command("ext f.raw-1 = y.raw"), 1);
    EXPECT_EQ(read_file(dir.file("y.raw")),
              "ZEQRAW\n12Z  5 JAN 24\nSurface-Dew point\nS1  40.00 -100.00 60\nS2  41.00 -101.00 50\n\n");
}

// Identifiers longer than ten characters stay whole and apart.
TEST_F(RawMath, LongIdentifiersStayApart) {
    ASSERT_EQ(command("copy a.raw = o.raw"), 1);
    const std::vector<std::string> recs = records(read_file(dir.file("o.raw")));
    EXPECT_NE(std::find(recs.begin(), recs.end(), "LONGSTATIONID1 1.5000"), recs.end());
    EXPECT_NE(std::find(recs.begin(), recs.end(), "LONGSTATIONID2 6.0000"), recs.end());
}

// Commands, operations, constants and files that are refused: 0 and the message.
TEST_F(RawMath, Refused) {
    const struct {
        const char *command;
        const char *message;
    } cases[] = {
        {"a.raw pow b.raw = o.raw", "RAW_math_command: Invalid operation\n"},
        {"a.raw sub b.raw", "RAW_math_command: Invalid operation\n"},
        {"#abc sub a.raw = o.raw", "RAW_math_command: Invalid operation\n"},
        {"a.raw add #1e99 = o.raw", "RAW_math_command: Invalid operation\n"},
        {"sum a.raw b.raw", "RAW_math_command: Invalid operation\n"},
        {"ext a.raw", "RAW_math_command: Invalid operation\n"},
        {"sum nothere.raw b.raw = o.raw", "RAW_file_open: Unable to open file:"},
        {"nothere.raw add #1 = o.raw", "RAW_file_open: Unable to open file:"},
        {"series a.raw nothere.raw = o.raw", "RAW_file_open: Unable to open file:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        testing::internal::CaptureStderr();
        EXPECT_EQ(command(c.command), 0);
        EXPECT_NE(testing::internal::GetCapturedStderr().find(c.message), std::string::npos);
    }
}

// Opening by name: the name cut at the separators, the field and format.
TEST(RawFileOpen, NamesFieldsAndFormats) {
    TempDir dir;
    for (const char *f : {"sfc", "ab", "a:b"})
        write_file(dir.file(f), "ZEQRAW\n12Z  5 JAN 24\ninfo\nS1 40.00 -100.00 1\n");
    RES_put("raw_path", dir.path().c_str());
    struct {
        const char *name, *cut;
        int code;
        const char *field, *fmt;
    } cases[] = {
        {"sfc-temp", "sfc", MISSING, "temp", nullptr}, {"ab-3:%.2f", "ab", 13, nullptr, "%.2f"},
        {"a:b", "a:b", 1, nullptr, nullptr},           {"sfc:co=red", "sfc", 1, nullptr, "co=red"},
        {"sfc", "sfc", 1, nullptr, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        char name[160];
        std::snprintf(name, sizeof name, "%s", c.name);
        RAW_field ind;
        char *fmt = reinterpret_cast<char *>(1);
        const int slot = RAW_file_open(name, &ind, &fmt, 0);
        ASSERT_GE(slot, 0);
        RAW_close(slot);
        EXPECT_STREQ(name, c.cut);
        EXPECT_EQ(ind.code, c.code);
        EXPECT_STREQ(ind.name, c.field);
        EXPECT_STREQ(fmt, c.fmt);
    }
    // A missing file and a field number past the field list.
    char missing[] = "none-1";
    RAW_field ind;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RAW_file_open(missing, &ind, nullptr, 0), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("RAW_file_open: Unable to open file:" + dir.path() +
                                                          "/none"),
              std::string::npos);
    char past[] = "sfc-66";
    EXPECT_EQ(RAW_file_open(past, &ind, nullptr, 0), -1);
}

} // namespace
