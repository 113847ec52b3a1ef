// File names: conventions, templates, sequences and the current file, paths,
// opening and file types.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/date.h"
#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "support/child.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

Date make_date(int year, int month, int day, int hour, int min = 0) {
    return Date{year, month, day, MISSING, MISSING, hour, min, 0};
}

Date fixed(int year, int month, int day, int hour, int min) {
    return Date{year, month, day, MISSING, MISSING, hour, min, 0};
}

const Date FREE = fixed(MISSING, MISSING, MISSING, MISSING, MISSING);

// Makes `tpl` the current template.
void use_template(const std::string &tpl) {
    std::string type = "@" + tpl;
    FILE_set_name(type.data());
}

std::string expand(const char *typed) {
    char out[FILE_NAME_SIZE];
    FILE_set_file(typed, out);
    return out;
}

std::string build(const Date &d, int *result = nullptr) {
    char out[FILE_NAME_SIZE];
    int r = FILE_set_date(&d, out);
    if (result) *result = r;
    return out;
}

// The first selection of a convention clears the keys: keys are set after it.
void set_key(char key, const char *value) {
    char none[] = "none";
    FILE_set_name(none);
    FILE_set_key(key, value);
}

Date file_date() {
    Date d;
    FILE_get_date(&d);
    return d;
}

// A table of conventions in a directory named by resource file_path.
void use_table(const TempDir &dir, const std::string &rows) {
    write_file(dir.file("name_conv"), rows);
    RES_put("file_path", dir.path().c_str());
}

// An hourly surface convention over the directory `dir` and its dated files.
void hourly_files(const TempDir &dir, const std::vector<std::pair<std::string, std::string>> &names) {
    use_table(dir, "sfc_cvt %D/%y%m%d%h.sfc - 0\n");
    RES_put("data_path", dir.path().c_str());
    for (const auto &[name, text] : names)
        write_file(dir.file(name), text);
    char type[] = "sfc_cvt";
    ASSERT_EQ(FILE_set_name(type), 1);
}

// ---- Paths and file tests ------------------------------------------------------

TEST(FilePaths, AddPathJoinsOnlyRelativeNames) {
    struct Case {
        const char *path;
        const char *file;
        const char *expected;
    };
    const Case cases[] = {
        {"", "a.dat", "a.dat"},         {nullptr, "a.dat", "a.dat"},
        {"dir/", "a.dat", "dir/a.dat"}, {"dir", "a.dat", "dir/a.dat"},
        {"dir", "./a.dat", "./a.dat"},  {"dir", "~/a.dat", "~/a.dat"},
        {"dir", "/abs/a", "/abs/a"},    {"dir", "-", "-"},
        {"dir", "STD", "STD"},          {"dir", "", ""},
    };
    for (const Case &c : cases) {
        char out[FILE_NAME_SIZE];
        EXPECT_EQ(FILE_add_path(c.path, c.file, out), out);
        EXPECT_STREQ(out, c.expected) << (c.path ? c.path : "(null)") << " + " << c.file;
    }
    // Copies into a small buffer are cut to fit.
    char small[6];
    FILE_add_path("directory", "file", small, sizeof small);
    EXPECT_STREQ(small, "direc");

    char delim[FILE_NAME_SIZE] = "dir";
    FILE_add_path_delim(delim);
    EXPECT_STREQ(delim, "dir/");
    FILE_add_path_delim(delim);
    EXPECT_STREQ(delim, "dir/");
    char full[4] = "abc";
    FILE_add_path_delim(full, sizeof full);
    EXPECT_STREQ(full, "abc");
    EXPECT_EQ(FILE_fullpath("./x"), 1);
    EXPECT_EQ(FILE_fullpath("x/y"), 0);
}

TEST(FilePaths, HomeDirectoryForms) {
    const struct passwd *me = getpwuid(getuid());
    ASSERT_NE(me, nullptr);
    const std::string home = me->pw_dir;
    const struct passwd *root = getpwnam("root");
    ASSERT_NE(root, nullptr);
    struct Case {
        const char *file;
        std::string expected;
    };
    const Case cases[] = {
        {"~", home},
        {"~/x/y.dat", home + "/x/y.dat"},
        {"~root/a", std::string(root->pw_dir) + "/a"},
        {"~root", root->pw_dir},
        {"~nosuchuser4711/a", "~nosuchuser4711/a"},
        {"~averyveryverylongusername/a", "~averyveryverylongusername/a"},
        {"plain/~x", "plain/~x"},
    };
    for (const Case &c : cases) {
        char out[FILE_NAME_SIZE];
        FILE_add_user_path(c.file, out);
        EXPECT_EQ(out, c.expected) << c.file;
    }
}

TEST(FilePaths, StandardStreamNames) {
    for (const char *name : {"", "-", "std", "STD", "stdn", "StdN"}) {
        EXPECT_EQ(FILE_is_stdio(name), 1) << name;
        EXPECT_EQ(FILE_exist(name), 1) << name;
    }
    for (const char *name : {"stdx", "--", "st", "/dev/null/x"})
        EXPECT_EQ(FILE_is_stdio(name), 0) << name;
    EXPECT_EQ(FILE_open("", "r"), stdin);
    EXPECT_EQ(FILE_open("STD", "w"), stdout);
    EXPECT_EQ(FILE_open("stdn", "a"), stdout);
    // Closing a standard stream keeps it usable.
    EXPECT_EQ(FILE_close(FILE_open("-", "w")), 0);
    EXPECT_NE(fcntl(STDOUT_FILENO, F_GETFD), -1);
    EXPECT_GE(std::fputs("", stdout), 0);
}

TEST(FilePaths, FileTests) {
    TempDir dir;
    write_file(dir.file("a.dat"), "12345");
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(FILE_exist(dir.file("a.dat").c_str()), 1);
    EXPECT_EQ(FILE_exist(dir.file("none").c_str()), 0);
    EXPECT_EQ(FILE_size(dir.file("a.dat").c_str()), 5);
    EXPECT_EQ(FILE_size(dir.file("none").c_str()), -1);
    EXPECT_EQ(FILE_is_file(dir.file("a.dat").c_str()), 1);
    EXPECT_EQ(FILE_is_file(dir.path().c_str()), 0);
    EXPECT_EQ(FILE_is_dir(dir.path().c_str()), 1);
    EXPECT_EQ(FILE_is_dir(dir.file("a.dat").c_str()), 0);
    EXPECT_EQ(FILE_is_fifo(dir.file("fifo").c_str()), 1);
    EXPECT_EQ(FILE_is_fifo(dir.file("a.dat").c_str()), 0);
    EXPECT_EQ(FILE_is_device("/dev/null"), 1);
    EXPECT_EQ(FILE_is_device(dir.file("a.dat").c_str()), 0);
    EXPECT_EQ(FILE_modtime(dir.file("none").c_str()), -1);

    // Modification times past 2038 come back whole.
    const time_t later = 4102444800; // 2100-01-01
    struct timespec times[2] = {{later, 0}, {later, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("a.dat").c_str(), times, 0), 0);
    EXPECT_EQ(FILE_modtime(dir.file("a.dat").c_str()), later);

    FILE_delete(dir.file("a.dat").c_str());
    EXPECT_EQ(FILE_exist(dir.file("a.dat").c_str()), 0);
}

TEST(FilePaths, HomeDirectoryIsExpandedByTheTests) {
    TempDir dir;
    write_file(dir.file("h.dat"), "x");
    setenv("HOME", "/nonexistent", 1); // the password entry decides, not the environment
    const struct passwd *me = getpwuid(getuid());
    ASSERT_NE(me, nullptr);
    std::filesystem::path rel = std::filesystem::relative(dir.file("h.dat"), me->pw_dir);
    std::string name = "~/" + rel.string();
    EXPECT_EQ(FILE_exist(name.c_str()), 1) << name;
    EXPECT_EQ(FILE_size(name.c_str()), 1);
    std::string made = "~/" + std::filesystem::relative(dir.path(), me->pw_dir).string() + "/m/n/x.dat";
    EXPECT_EQ(FILE_make_dir(made.data(), 1), 0);
    EXPECT_EQ(FILE_is_dir(dir.file("m/n").c_str()), 1);
}

TEST(FilePaths, TablesAreFoundAlongFilePathElseInTheDataDirectories) {
    TempDir dir;
    write_file(dir.file("zeq.reg"), "x\n");
    auto r = zeqtest::run_child([&] {
        if (chdir(dir.path().c_str()) != 0) return 99;
        // In the working directory, the table there serves; missing there,
        // the shipped one and then the generated one.
        std::printf("[%s]", FILE_table_path("zeq.reg").c_str());
        std::printf("[%s]", FILE_table_path("units.lup").c_str());
        std::printf("[%s]", FILE_table_path("sao.cty").c_str());
        std::printf("[%s]", FILE_table_path("no_such.lup").c_str());
        std::printf("[%s]", FILE_table_path("./units.lup").c_str());
        // With file_path, only that directory.
        RES_put("file_path", "/elsewhere");
        std::printf("[%s]\n", FILE_table_path("units.lup").c_str());
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "[zeq.reg][" ZEQ_DATA_DIR "/units.lup][" ZEQ_BUILD_DATA_DIR
                     "/sao.cty][no_such.lup][./units.lup][/elsewhere/units.lup]\n");
}

TEST(FileMakeDir, MakesTheMissingDirectories) {
    TempDir dir;
    std::string name = dir.file("out/x/y.gif");
    FILE *f = FILE_open(name.c_str(), "w");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FILE_close(f), 0);
    EXPECT_EQ(FILE_is_dir(dir.file("out").c_str()), 1);
    EXPECT_EQ(FILE_is_dir(dir.file("out/x").c_str()), 1);
    EXPECT_EQ(FILE_is_file(name.c_str()), 1);

    // Appending makes them too; reading does not.
    EXPECT_EQ(FILE_open(dir.file("r/x.dat").c_str(), "r"), nullptr);
    EXPECT_EQ(FILE_exist(dir.file("r").c_str()), 0);
    f = FILE_open(dir.file("a/b/c.log").c_str(), "a");
    ASSERT_NE(f, nullptr);
    FILE_close(f);
    EXPECT_EQ(FILE_is_dir(dir.file("a/b").c_str()), 1);

    // The parent exists: 1 and nothing made; else 0.
    std::string existing = dir.file("out/x/z.gif");
    EXPECT_EQ(FILE_make_dir(existing.data(), 1), 1);
    std::string back = dir.path() + "\\p\\q\\r.dat";
    EXPECT_EQ(FILE_make_dir(back.data(), 1), 0);
    EXPECT_EQ(back, dir.path() + "/p/q/r.dat");
    EXPECT_EQ(FILE_is_dir(dir.file("p/q").c_str()), 1);
    // Flag 0: every part is a directory.
    std::string all = dir.file("d1/d2");
    EXPECT_EQ(FILE_make_dir(all.data(), 0), 0);
    EXPECT_EQ(FILE_is_dir(dir.file("d1/d2").c_str()), 1);
}

TEST(FileMakeDir, LongPathsAreNotCut) {
    TempDir dir;
    std::string name = dir.path();
    for (int i = 0; i < 16; ++i)
        name += "/directory_level_" + std::to_string(i);
    name += "/file.dat";
    ASSERT_GT(name.size(), 250u);
    FILE *f = FILE_open(name.c_str(), "w");
    ASSERT_NE(f, nullptr);
    FILE_close(f);
    EXPECT_EQ(FILE_is_file(name.c_str()), 1);
}

TEST(FilePipes, ReadAndWriteThroughCommands) {
    FILE *in = FILE_open("|echo hello pipe", "r");
    ASSERT_NE(in, nullptr);
    char line[64] = "";
    ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
    EXPECT_STREQ(line, "hello pipe\n");
    EXPECT_EQ(FILE_close(in), 0);

    // The close waits for the command: its output is complete right after.
    TempDir dir;
    std::string command = "|cat > " + dir.file("piped.txt");
    FILE *out = FILE_open(command.c_str(), "w");
    ASSERT_NE(out, nullptr);
    for (int i = 0; i < 1000; ++i)
        std::fprintf(out, "line %d\n", i);
    EXPECT_EQ(FILE_close(out), 0);
    std::string text = read_file(dir.file("piped.txt"));
    EXPECT_EQ(count(text, "\n"), 1000u);

    // The command's exit status comes back, and no child is left over.
    FILE *fail = FILE_open("|exit 3", "r");
    ASSERT_NE(fail, nullptr);
    EXPECT_EQ(FILE_close(fail), 3);
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(FILE_close(nullptr), -1);
}

// Closing an output reports whether everything written arrived: a command
// that ends early (without killing the program with SIGPIPE), a full device
// and a failing command are failures; the handling of SIGPIPE comes back.
TEST(FilePipes, CloseOutputReportsLostWrites) {
    TempDir dir;
    const std::string name = dir.file("ok.txt");
    FILE *ok = FILE_open(name.c_str(), "w");
    ASSERT_NE(ok, nullptr);
    std::fputs("text\n", ok);
    EXPECT_EQ(FILE_close_output(ok), 0);
    EXPECT_EQ(read_file(name), "text\n");

    struct sigaction before {};
    sigaction(SIGPIPE, nullptr, &before);
    const std::string big(1 << 20, 'x'); // far more than a pipe holds
    for (const char *target : {"|false", "|exit 0", "/dev/full"}) {
        FILE *out = FILE_open(target, "w");
        ASSERT_NE(out, nullptr) << target;
        std::fwrite(big.data(), 1, big.size(), out);
        EXPECT_EQ(FILE_close_output(out), -1) << target;
    }
    struct sigaction after {};
    sigaction(SIGPIPE, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    EXPECT_EQ(FILE_close_output(nullptr), -1);
}

// ---- Where names come from -----------------------------------------------------

// FILE_open runs a command, or opens a device or FIFO, only for a name the
// user gave whole: a registered text or a whole item of one (items end at ','
// and new lines, and may begin after '='). Everything else is refused with a
// warning naming it and where it came from, and nothing runs.
TEST(FileTrust, CommandsOnlyFromTheUsersWholeNames) {
    TempDir dir;
    const std::string mark = dir.file("ran");
    const std::string touch = "|touch " + mark;
    FILE_set_trust(FILE_TRUST_USER);
    FILE_user_text(("ps," + touch + "1").c_str());
    FILE_user_text(("fi:" + touch + "2:temp").c_str());
    FILE_user_text(("-of=" + touch + "3").c_str());
    FILE_user_text((touch + "4 now").c_str());
    FILE_user_text((touch + "5").c_str());
    FILE_data_text(("fi:" + touch + "6").c_str(), "the defaults file site.cfg");
    struct Case {
        std::string name;
        bool runs;
        const char *from; // the source the warning names
    };
    const Case cases[] = {
        {touch + "1", true, ""},
        {touch + "2", false, "(part of a longer text given by the user)"},
        {touch + "3", true, ""},
        {touch + "4", false, "(part of a longer text given by the user)"},
        {touch + "5", true, ""},
        {touch + "6", false, "(read from the defaults file site.cfg)"},
        {touch + "7", false, "(read from data)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FILE_user_name(c.name.c_str()), c.runs ? 1 : 0);
        testing::internal::CaptureStderr();
        FILE *p = FILE_open(c.name.c_str(), "r");
        const std::string err = testing::internal::GetCapturedStderr();
        if (p) {
            EXPECT_EQ(FILE_close(p), 0);
        }
        const std::string marker = mark + c.name.substr(touch.size());
        EXPECT_EQ(std::filesystem::exists(marker), c.runs);
        EXPECT_EQ(p != nullptr, c.runs);
        if (c.runs) {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(err, "FILE_open: Command not run, the name does not come from the user: " + c.name +
                               " " + c.from + "\n");
        }
    }

    // A name refused while or after a data file was read is said to come
    // from that file.
    write_file(dir.file("evil.reg"), "text\n");
    FILE *data = FILE_open(dir.file("evil.reg").c_str(), "r");
    ASSERT_NE(data, nullptr);
    FILE_close(data);
    testing::internal::CaptureStderr();
    EXPECT_EQ(FILE_open((touch + "8").c_str(), "w"), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("(read from " + dir.file("evil.reg") + ")"),
              std::string::npos);

    // With commands off, not even the user's own names run.
    FILE_set_trust(FILE_TRUST_NONE);
    testing::internal::CaptureStderr();
    EXPECT_EQ(FILE_open((touch + "5").c_str(), "r"), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("(commands and special files are off)"),
              std::string::npos);
    EXPECT_EQ(FILE_set_trust(FILE_TRUST_USER), FILE_TRUST_NONE);
}

// A name from data reads regular files only: a device, FIFO or directory is
// refused (a FIFO without blocking at the open); the user's own name opens
// them. Tables and defaults refuse them whoever named them.
TEST(FileTrust, SpecialFilesOnlyFromTheUser) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    FILE_set_trust(FILE_TRUST_USER);
    for (const std::string &name : {std::string("/dev/zero"), fifo, dir.path()}) {
        SCOPED_TRACE(name);
        testing::internal::CaptureStderr();
        EXPECT_EQ(FILE_open(name.c_str(), "r"), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "FILE_open: Not a regular file, the name does not come from the user: " + name +
                      " (read from data)\n");
    }
    // Writing goes where it is told.
    FILE *sink = FILE_open("/dev/null", "w");
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(FILE_close_output(sink), 0);

    // Regular files, new or old, open as before.
    const std::string made = dir.file("sub/new.txt");
    FILE *w = FILE_open(made.c_str(), "w");
    ASSERT_NE(w, nullptr);
    std::fputs("abc\n", w);
    EXPECT_EQ(FILE_close_output(w), 0);
    FILE *a = FILE_open(made.c_str(), "a");
    ASSERT_NE(a, nullptr);
    std::fputs("def\n", a);
    EXPECT_EQ(FILE_close_output(a), 0);
    EXPECT_EQ(read_file(made), "abc\ndef\n");
    FILE *r = FILE_open(made.c_str(), "r");
    ASSERT_NE(r, nullptr);
    char line[8] = "";
    EXPECT_NE(std::fgets(line, sizeof line, r), nullptr);
    EXPECT_STREQ(line, "abc\n");
    FILE_close(r);

    // The user's own name opens the device.
    FILE_user_text("/dev/zero");
    FILE *z = FILE_open("/dev/zero", "r");
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(std::fgetc(z), 0);
    FILE_close(z);
    // ...but not as a table or defaults file.
    FILE_set_trust(FILE_TRUST_ALL);
    for (const std::string &name : {std::string("/dev/zero"), fifo}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(FILE_open_regular(name.c_str(), "TEST"), nullptr);
        const std::string from = name == fifo ? "(read from " + made + ")" : "(given by the user)";
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "TEST: Not a regular file: " + name + " " + from + "\n")
            << name;
        EXPECT_EQ(FILE_open_table(name.c_str(), nullptr), nullptr);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(FILE_open_regular("|touch ran", "TEST"), nullptr);
    EXPECT_EQ(FILE_open_table("|touch ran", nullptr), nullptr);
    EXPECT_EQ(FILE_open_regular("-", "TEST"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "TEST: Not a regular file: |touch ran (read from " + made + ")\n");
    EXPECT_FALSE(std::filesystem::exists("ran"));
}

// The fixed date fields take only dates within their ranges; a '#' date
// suffix out of range is warned of and not taken.
TEST(FileState, DateFieldsInRange) {
    const int M = MISSING;
    struct Case {
        Date d;
        int valid;
    };
    const Case cases[] = {
        {fixed(M, M, M, M, M), 1},      {fixed(2004, 12, 31, 23, 59), 1}, {fixed(0, 1, 1, 0, 0), 1},
        {fixed(M, M, -7, -3, -106), 1}, {fixed(M, M, M, -106, M), 1},     {fixed(M, M, M, -24, -60), 1},
        {fixed(10000, M, M, M, M), 0},  {fixed(M, 13, M, M, M), 0},       {fixed(M, 0, M, M, M), 0},
        {fixed(M, M, 32, M, M), 0},     {fixed(M, M, -32, M, M), 0},      {fixed(M, M, M, 24, M), 0},
        {fixed(M, M, M, -2400, M), 0},  {fixed(M, M, M, -100, M), 0},     {fixed(M, M, M, -25, M), 0},
        {fixed(M, M, M, -2123, M), 0},  {fixed(M, M, M, INT_MIN, M), 0},  {fixed(M, M, M, M, 60), 0},
        {fixed(M, M, M, M, -6100), 0},  {fixed(M, M, M, M, INT_MIN), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.d.year << "/" << c.d.month << "/" << c.d.day << " " << c.d.hour << ":" << c.d.min);
        EXPECT_EQ(FILE_valid_time(&c.d), c.valid);
    }
    EXPECT_EQ(FILE_valid_time(nullptr), 0);

    char none[] = "none";
    FILE_set_name(none);
    FILE_reset_time();
    testing::internal::CaptureStderr();
    expand("name#2004130112");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "FILE_set_file: Date out of range: #2004130112\n");
    Date d{};
    FILE_get_time(&d);
    EXPECT_EQ(d.year, MISSING);
    EXPECT_EQ(d.month, MISSING);
    expand("name#2004120112");
    FILE_get_time(&d);
    EXPECT_EQ(d.month, 12);
    EXPECT_EQ(d.hour, 12);
}

TEST(FileType, RecognisesTheMagicWords) {
    TempDir dir;
    struct Case {
        const char *text;
        int type;
    };
    const Case cases[] = {
        {"ZEQSFC 960101\n", 11}, {"ZEQUPA\n", 12},      {"ZEQRAW 1\n", 5}, {"ZEQGRID4\n", 6},
        {"ZEQMETA\n", 8},        {"ZEQIMG 2\n", 9},     {"ZEQSF\n", -1},   {"ZEQGRI", -1},
        {"zeqsfc\n", -1},        {"hello world\n", -1}, {"", -1},          {" ZEQSFC", -1},
    };
    char index = 'a';
    for (const Case &c : cases) {
        std::string name = dir.file(std::string(1, index++) + ".dat");
        write_file(name, c.text);
        EXPECT_EQ(FILE_type(name.c_str()), c.type) << c.text;
    }
    EXPECT_EQ(FILE_type(dir.file("missing").c_str()), -1);
    // A suffix from the first '-' on is not part of the name.
    write_file(dir.file("grid.dat"), "ZEQGRID4\n");
    std::string suffixed = dir.file("grid.dat-12");
    EXPECT_EQ(FILE_type(suffixed.c_str()), 6);
    EXPECT_EQ(FILE_type(dir.file("other.dat-12").c_str()), -1);
}

TEST(FileOverwrite, AnswersAndPrompts) {
    TempDir dir;
    std::string name = dir.file("out.dat");
    EXPECT_EQ(FILE_overwrite(name.c_str(), 1), 1); // does not exist
    EXPECT_EQ(FILE_overwrite("-", 2), 1);
    write_file(name, "x");

    struct Case {
        const char *answer;
        int flag;
        int expected;
    };
    const Case cases[] = {
        {"y\n", 1, 1}, {"Over\n", 1, 1}, {"n\n", 1, 3}, {"use\n", 2, 3}, {"App\n", 2, 2},
        {"a\n", 1, 3}, {"what\n", 2, 3}, {"\n", 2, 3},  {"x\n", 7, 0},
    };
    for (const Case &c : cases) {
        auto r = zeqtest::run_child([&] { return FILE_overwrite(name.c_str(), c.flag); }, {c.answer});
        EXPECT_EQ(r.status, c.expected) << c.answer << " flag " << c.flag;
        const std::string question =
            c.flag == 2 ? ": exists overwrite (Y,N,Use,Over,App): " : ": exists overwrite (Y,N,Use,Over): ";
        if (c.flag == 1 || c.flag == 2) {
            EXPECT_NE(r.out.find(name + question), std::string::npos);
        }
    }

    // The file_param slot answers for the user; batch mode uses the file.
    auto r = zeqtest::run_child([&] {
        FLAG_set(15, 2);
        return FILE_overwrite(name.c_str(), 1);
    });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    r = zeqtest::run_child([&] {
        FLAG_set_batch(1);
        return FILE_overwrite(name.c_str(), 2);
    });
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
}

// ---- Conventions ---------------------------------------------------------------

TEST(FileSetName, SearchesTheTable) {
    TempDir dir;
    use_table(dir, "# comment line sfc_cvt\n"
                   "\n"
                   "sfc_cvt   %D/%y%m%d%h.sfc   -          120\n"
                   "grd       %G/a%e.grd        %G/h.hdr\n"
                   "grd_grd   %G/never.grd      -\n"
                   "SFC       %D/plain_%e.sfc\n"
                   "  upa_cvt %D/%y%m%d%h.upa\n");
    struct Case {
        const char *type;
        int result;
        const char *conv; // FILE_get_name_conv after the late offset
    };
    const Case cases[] = {
        {"sfc_cvt", 1, "%D/%y%m%d%h.sfc "},
        {"SFC_CVT", 1, "%D/%y%m%d%h.sfc "},
        {"grd_grd", 1, "%G/a%e.grd %G/h.hdr"}, // an earlier prefix wins over a later exact type
        {"sfc_grd_temp", 1, "%D/plain_%e.sfc "},
        {"sfcgrd", 1, "%D/plain_%e.sfc "},
        {"upa_cvt", 1, "%D/%y%m%d%h.upa "},
        {"gr", 0, "gr "},
        {"comment", 0, "comment "},
    };
    for (const Case &c : cases) {
        char type[40];
        std::snprintf(type, sizeof type, "%s", c.type);
        EXPECT_EQ(FILE_set_name(type), c.result) << c.type;
        char conv[FILE_NAME_SIZE];
        FILE_get_name_conv(conv);
        EXPECT_EQ(std::string(conv).substr(std::string(conv).find(' ') + 1), c.conv) << c.type;
    }

    // The extension of a partial match, the minimum size of the row.
    char type[] = "sfc_grd_temp";
    FILE_set_name(type);
    use_template("%e");
    EXPECT_EQ(build(make_date(1996, 1, 1, 0)), "temp");
    char sfcgrd[] = "sfcgrd";
    FILE_set_name(sfcgrd);
    use_template("x%ex");
    EXPECT_EQ(build(make_date(1996, 1, 1, 0)), "xx");
    char sfc[] = "sfc_cvt";
    FILE_set_name(sfc);
    EXPECT_EQ(FILE_get_min_size(), 120);
    FILE_set_min_size(10);
    EXPECT_EQ(FILE_get_min_size(), 10);
    FILE_set_min_size(0);
    EXPECT_EQ(FILE_get_min_size(), 120);
}

TEST(FileSetName, SpecialTypesAndKeySuffixes) {
    TempDir dir;
    use_table(dir, "x %D/x.dat\ngrd_grd %G/%v_%l.grd\n");
    char none[] = "NONE";
    EXPECT_EQ(FILE_set_name(none), 0);
    EXPECT_EQ(expand("any/typed.name"), "any/typed.name"); // no template: the name unchanged

    char at[] = "@%D/lit%h";
    EXPECT_EQ(FILE_set_name(at), 1);
    char conv[FILE_NAME_SIZE];
    FILE_get_name_conv(conv);
    EXPECT_NE(std::string(conv).find("%D/lit%h"), std::string::npos);

    char keyed[] = "x:a=1:b";
    EXPECT_EQ(FILE_set_name(keyed), 1);
    EXPECT_STREQ(keyed, "x");
    char key[FILE_KEY_SIZE];
    FILE_get_key('a', key);
    EXPECT_STREQ(key, "1");
    FILE_get_key('b', key);
    EXPECT_STREQ(key, "");

    // No '=': no key, and the whole type is searched (the row "x" begins it).
    char no_key[] = "x:b";
    EXPECT_EQ(FILE_set_name(no_key), 1);
    EXPECT_STREQ(no_key, "x:b");
    char no_row[] = "y:b";
    EXPECT_EQ(FILE_set_name(no_row), 0);
    FILE_get_name_conv(conv);
    EXPECT_NE(std::string(conv).find(" y:b "), std::string::npos);

    char grid[] = "grd_grd:v=temp:l=500";
    EXPECT_EQ(FILE_set_name(grid), 1);
    EXPECT_STREQ(grid, "grd_grd");
    RES_put("grid_path", "/g");
    EXPECT_EQ(build(make_date(1996, 1, 1, 0)), "/g/temp_500.grd");
}

TEST(FileSetName, MissingTableAndTheShippedOne) {
    TempDir dir;
    auto r = zeqtest::run_child([&] {
        RES_put("file_path", dir.path().c_str());
        char type[] = "sfc_cvt";
        int result = FILE_set_name(type);
        char conv[FILE_NAME_SIZE];
        FILE_get_name_conv(conv);
        std::printf("[%s]\n", conv);
        return result;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE((r.out + r.err).find("FILE_set_name: No file name convention file: " + dir.file("name_conv")),
              std::string::npos);
    EXPECT_NE(r.out.find(" sfc_cvt ]"), std::string::npos);

    // Without file_path and without a table in the working directory, the
    // system's own table serves.
    r = zeqtest::run_child([&] {
        if (chdir(dir.path().c_str()) != 0) return 99;
        char type[] = "sfc_cvt";
        int result = FILE_set_name(type);
        char conv[FILE_NAME_SIZE];
        FILE_get_name_conv(conv);
        std::printf("[%s]\n", conv);
        return result;
    });
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("%D/%y%m%d%h.sfc"), std::string::npos);

    // A table in the working directory comes first.
    write_file(dir.file("name_conv"), "sfc_cvt %D/local.sfc\n");
    r = zeqtest::run_child([&] {
        if (chdir(dir.path().c_str()) != 0) return 99;
        char type[] = "sfc_cvt";
        int result = FILE_set_name(type);
        char conv[FILE_NAME_SIZE];
        FILE_get_name_conv(conv);
        std::printf("[%s]\n", conv);
        return result;
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("%D/local.sfc"), std::string::npos);
}

TEST(FileSetName, ShippedTableNamesTheSystemsConventions) {
    RES_put("file_path", ZEQ_SOURCE_DIR "/data");
    RES_put("data_path", "/d");
    RES_put("grid_path", "/g");
    RES_put("model_path", "/m");
    RES_put("raw_path", "/r");
    struct Case {
        const char *type;
        const char *name; // built for 1996-01-01 12 h, keys v=temp, l=500, f=0
    };
    const Case cases[] = {
        {"sfc_cvt", "/d/96010112.sfc"},
        {"sfc", "/d/96010112.sfc"},
        {"sfc_raw", "/r/96010112_sfc_temp.raw"},
        {"sfc_grd", "/g/96010112_sfc.grd"},
        {"sfc_grd_zeq", "/g/96010112_sfc.grd"},
        {"sfc_grd_cdf", "/g/96010112_sfc.nc"},
        {"frt_dat", "/d/96010112.frt"},
        {"frf_dat", "/d/96010112.frf"},
        {"grd_grd", "/g/96010112_temp_500_0.grd"},
        {"grd_zeq", "/g/96010112_temp_500_0.grd"},
        {"grd_cdf", "/g/96010112_temp_500_0.nc"},
        {"grd_grib", "/g/96010112_temp_500_0.grib"},
        {"raw_grd", "/g/96010112_raw.grd"},
        {"raw_grd_cdf", "/g/96010112_raw.nc"},
        {"grib_eta", "/m/96010112_eta.grib"},
        {"upa_cvt", "/d/96010112.upa"},
        {"upa_snd", "/r/96010112_upa.raw"},
    };
    set_key('v', "temp");
    FILE_set_key('l', "500");
    FILE_set_key('f', "0");
    for (const Case &c : cases) {
        char type[32];
        std::snprintf(type, sizeof type, "%s", c.type);
        EXPECT_EQ(FILE_set_name(type), 1) << c.type;
        FILE_set_key('v', "temp");
        EXPECT_EQ(build(make_date(1996, 1, 1, 12)), c.name) << c.type;
    }
    char grib[] = "grib_ngm";
    FILE_set_name(grib);
    char header[FILE_NAME_SIZE];
    Date d = make_date(1996, 1, 1, 12);
    EXPECT_EQ(FILE_hdr_set_date(&d, header), 1);
    EXPECT_STREQ(header, "/m/96010112_ngm.idx");
}

TEST(FileState, KeysSlotAndAccessors) {
    FILE_set_key('r', "north america west coast region");
    char key[FILE_KEY_SIZE];
    FILE_get_key('r', key);
    EXPECT_STREQ(key, "north_america_west_coast_regi");
    EXPECT_EQ(std::strlen(key), 29u);
    char small[5];
    FILE_get_key('r', small, sizeof small);
    EXPECT_STREQ(small, "nort");

    FILE_set_name_conv("1800 %D/a%h.x %D/h.x");
    FILE_set_filename("/some/file.x");
    FILE_save_name_conv();
    FILE_set_name_conv("60 other");
    FILE_set_filename("second");
    char conv[FILE_NAME_SIZE];
    FILE_get_name_conv(conv);
    EXPECT_STREQ(conv, "60 other ");
    FILE_restore_name_conv();
    FILE_get_name_conv(conv);
    EXPECT_STREQ(conv, "1800 %D/a%h.x %D/h.x");
    EXPECT_STREQ(FILE_get_filename(nullptr), "/some/file.x");
    EXPECT_EQ(FILE_get_late_off(), 1800);

    FILE_set_ext_info("#1234567890123456789012345678901234567890");
    EXPECT_EQ(std::strlen(FILE_get_ext_info()), 39u);
    Date t = fixed(1996, 2, 3, 4, 5);
    FILE_set_time(&t);
    FILE_reset_time();
    Date back;
    FILE_get_time(&back);
    EXPECT_EQ(back.year, MISSING);
    EXPECT_EQ(back.min, MISSING);
    EXPECT_EQ(back.sec, 0);
}

TEST(FileNameState, ScopeRestoresAndRefusesToNest) {
    auto r = zeqtest::run_child([] {
        char conv[FILE_NAME_SIZE];
        FILE_set_name_conv("1800 outer");
        FILE_set_filename("/outer/file");
        {
            NameConvScope first;
            if (!first.active()) return 1;
            FILE_set_name_conv("60 middle");
            {
                // A second scope would overwrite the one save slot: refused.
                NameConvScope second;
                if (second.active()) return 2;
                FILE_set_name_conv("30 inner");
                FILE_set_filename("inner");
            }
            FILE_get_name_conv(conv);
            std::printf("[%s]", conv); // the refused scope restored nothing
        }
        FILE_get_name_conv(conv);
        std::printf("[%s][%s]", conv, FILE_get_filename(nullptr));
        // Once the first scope has ended the slot is free again.
        NameConvScope again;
        return again.active() ? 0 : 3;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "[30 inner ][1800 outer ][/outer/file]");
    EXPECT_NE(r.err.find("FILE_save_name_conv: The naming state is already saved"), std::string::npos)
        << r.err;
}

// ---- Expanding typed names ---------------------------------------------------------

struct ExpandCase {
    const char *tpl;
    Date set;
    const char *typed;
    const char *expected;
    int late_off;
    int year, month, day, hour;
};

TEST(FileSetFile, ExpandsTypedNames) {
    RES_put("data_path", "/data");
    set_key('v', "temp");
    const Date H106 = fixed(MISSING, MISSING, MISSING, -106, MISSING);
    const Date M15 = fixed(MISSING, MISSING, MISSING, MISSING, -15);
    const Date D2 = fixed(MISSING, MISSING, -2, MISSING, MISSING);
    const ExpandCase cases[] = {
        {"%D/%y%m%d%h.sfc", FREE, "96010112", "/data/96010112.sfc", 3600, 1996, 1, 1, 12},
        {"%D/%y%m%d%h.sfc", FREE, "/x/y/96010112.sfc", "/x/y/96010112.sfc", 3600, 1996, 1, 1, 12},
        {"%D/%y%m%d%h.sfc", FREE, "12", "/data/12", MISSING, 2012, MISSING, MISSING, MISSING},
        {"%D/%y%m%d%h.sfc", FREE, "96010112.sfc", "/data/96010112.sfc", 3600, 1996, 1, 1, 12},
        {"%D/%Y%m%d_%3h", FREE, "19960101_12", "/data/19960101_12", 10800, 1996, 1, 1, 12},
        {"%D/%Y%m%d_%3h", FREE, "1996010112", "/data/1996010112", 86400, 1996, 1, 1, MISSING},
        {"%D/%y%m%d%h.sfc", H106, "96010119", "/data/96010119.sfc", 21600, 1996, 1, 1, 19},
        {"%D/%y%m%d%h%n", M15, "9601011230", "/data/9601011230", 900, 1996, 1, 1, 12},
        {"%D/%y%m%d", D2, "960104", "/data/960104", 172800, 1996, 1, 4, MISSING},
        {"%D/%y%j%h", FREE, "9603212", "/data/9603212", 3600, 1996, 2, 1, 12},
        {"%D/%v_%y%m%d%h.grd", FREE, "xxxx_96010112.grd", "/data/temp_96010112.grd", 3600, 1996, 1, 1, 12},
        {"%D/%2v%y%m%d%h", FREE, "te96010112", "/data/te96010112", 3600, 1996, 1, 1, 12},
        {"%D/%q%y%m", FREE, "9601", "/data/9601", MISSING, MISSING, MISSING, MISSING, MISSING},
        {"%D/{sfc/}%y%m%d%h.dat", FREE, "96010112", "/data/sfc/96010112.dat", 3600, 1996, 1, 1, 12},
        {"%D/*", FREE, "any thing", "/data/any thing", MISSING, MISSING, MISSING, MISSING, MISSING},
        {"sfc%y%m", FREE, "9601", "9601", MISSING, MISSING, MISSING, MISSING, MISSING},
        {"%D/a%%b", FREE, "a%b", "/data/a%b", MISSING, MISSING, MISSING, MISSING, MISSING},
        {"%C/%y.%W", FREE, "96.x", "./96..", MISSING, 1996, MISSING, MISSING, MISSING},
        {"%D/%y%m%d%h.sfc", FREE, "@/lit/eral", "/lit/eral", 3600, MISSING, MISSING, MISSING, MISSING},
        {"%D/%y%m%d%h.sfc", FREE, "std", "-", 3600, MISSING, MISSING, MISSING, MISSING},
        {"-", FREE, "96010112", "-", 3600, MISSING, MISSING, MISSING, MISSING},
        {"%D/%y%m%d%h.sfc", FREE, "none", "none", 3600, MISSING, MISSING, MISSING, MISSING},
        {"/abs/%y%m%d%h", FREE, "./rel", "./rel", 3600, MISSING, MISSING, MISSING, MISSING},
    };
    for (const ExpandCase &c : cases) {
        use_template(c.tpl);
        FILE_set_late_off(3600);
        FILE_set_time(&c.set);
        std::string got = expand(c.typed);
        EXPECT_EQ(got, c.expected) << c.tpl << " <- " << c.typed;
        EXPECT_EQ(FILE_get_late_off(), c.late_off) << c.tpl << " <- " << c.typed;
        Date d = file_date();
        EXPECT_EQ(d.year, c.year) << c.typed;
        EXPECT_EQ(d.month, c.month) << c.typed;
        EXPECT_EQ(d.day, c.day) << c.typed;
        EXPECT_EQ(d.hour, c.hour) << c.typed;
    }
}

TEST(FileSetFile, RepeatsAndSuffixes) {
    RES_put("data_path", "/data");
    use_template("%D/%y%m%d%h%n.sfc");
    EXPECT_EQ(expand("9601011230"), "/data/9601011230.sfc");
    EXPECT_EQ(FILE_get_late_off(), 60);
    EXPECT_EQ(expand("9601011230"), "/data/9601011230.sfc");
    EXPECT_EQ(FILE_get_late_off(), 60);

    // A '#' date suffix pins the date fields of later names.
    use_template("%D/%y%m%d%h.sfc");
    EXPECT_EQ(expand("96010112#199602"), "/data/96010112.sfc");
    Date t;
    FILE_get_time(&t);
    EXPECT_EQ(t.year, 1996);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, MISSING);
    EXPECT_EQ(build(make_date(2001, 7, 9, 3)), "/data/96020903.sfc");

    // With file type 1 the suffix is kept as extra info.
    FILE_reset_time();
    FILE_set_type(1);
    use_template("%D/%y%m%d%h.grd");
    EXPECT_EQ(expand("96010112.grd-12"), "/data/96010112.grd");
    EXPECT_STREQ(FILE_get_ext_info(), "-12");
    EXPECT_EQ(expand("96010112.grd#5:mb"), "/data/96010112.grd");
    EXPECT_STREQ(FILE_get_ext_info(), "#5:mb");

    char name[] = "ab-c";
    FILE_extract_extra_info(name);
    EXPECT_STREQ(name, "ab");
    EXPECT_STREQ(FILE_get_ext_info(), "-c");
    char short_name[] = "a-";
    FILE_extract_extra_info(short_name);
    EXPECT_STREQ(short_name, "a-");
}

TEST(FileSetFile, ExtensionFromTheTypedName) {
    RES_put("data_path", "/data");
    use_template("%D/sfc_%e.dat");
    EXPECT_EQ(expand("sfc_abc.dat"), "/data/sfc_abc.dat");
    use_template("%D/x.%e");
    EXPECT_EQ(expand("x.temp"), "/data/x.abc"); // the extension found before stays
    TempDir dir;
    use_table(dir, "sfc %D/%y%m%d%h.%e\n");
    char type[] = "sfc";
    FILE_set_name(type);
    EXPECT_EQ(expand("96010112.temp"), "/data/96010112.temp");
    EXPECT_EQ(build(make_date(1996, 1, 1, 13)), "/data/96010113.temp");
}

TEST(FileSetFile, ExitEndsTheProgram) {
    auto r = zeqtest::run_child([] {
        use_template("%D/%y");
        FILE_set_file("EXIT", nullptr);
        return 5;
    });
    EXPECT_EQ(r.status, 0);
}

// ---- Building names ------------------------------------------------------------------

struct BuildCase {
    const char *tpl;
    Date set;
    Date date;
    const char *expected;
    int late_off;
};

TEST(FileSetDate, BuildsNamesFromDates) {
    RES_put("data_path", "/data");
    RES_put("myres", "abc");
    set_key('v', "temp");
    const Date H106 = fixed(MISSING, MISSING, MISSING, -106, MISSING);
    const Date H12 = fixed(MISSING, MISSING, MISSING, 12, MISSING);
    const Date M15 = fixed(MISSING, MISSING, MISSING, MISSING, -15);
    const Date D2 = fixed(MISSING, MISSING, -2, MISSING, MISSING);
    const Date Y1990 = fixed(1990, 3, MISSING, MISSING, MISSING);
    const Date noon = make_date(1996, 1, 1, 12);
    const BuildCase cases[] = {
        {"%D/%y%m%d%h.sfc", FREE, noon, "/data/96010112.sfc", 3600},
        {"%Y%m%d_%3h", FREE, make_date(1996, 1, 1, 14), "19960101_12", 10800},
        {"%h", H106, make_date(1996, 1, 1, 20), "19", 21600},
        {"%h", H106, make_date(1996, 1, 1, 0), "01", 21600},
        {"%h", H106, make_date(1996, 1, 1, 6), "07", 21600},
        {"%h", H12, make_date(1996, 1, 1, 20), "12", 3600},
        {"%h%n", M15, make_date(1996, 1, 1, 20, 44), "2030", 900},
        {"%d", D2, make_date(1996, 1, 5, 0), "04", 172800},
        {"%y%m_%b", Y1990, noon, "9003_mar", MISSING},
        {"%b", FREE, Date{1996, MISSING, 1, 0, 0, 0, 0, 0}, "xxx", MISSING},
        {"%y%j", FREE, make_date(1996, 2, 1, 0), "96032", 86400},
        {"%Y", FREE, Date{-5, 1, 1, 0, 0, 0, 0, 0}, "0000", MISSING},
        {"%y", FREE, make_date(2005, 1, 1, 0), "05", MISSING},
        {"%2Y", FREE, make_date(1995, 1, 1, 0), "1994", MISSING},
        {"%v_%2v_%q_%%", FREE, noon, "temp_te_0_%", MISSING},
        {"a b{c}", FREE, noon, "a_bc", MISSING},
        {"{%D/}x%{myres}y%{unset}z", FREE, noon, "/data/xabcyz", MISSING},
        {"%C/%n", FREE, make_date(1996, 1, 1, 12, MISSING), "./00", 60},
    };
    for (const BuildCase &c : cases) {
        use_template(c.tpl);
        FILE_set_time(&c.set);
        int result = -1;
        EXPECT_EQ(build(c.date, &result), c.expected) << c.tpl;
        EXPECT_EQ(result, 0) << c.tpl;
        EXPECT_EQ(FILE_get_late_off(), c.late_off) << c.tpl;
        EXPECT_STREQ(FILE_get_filename(nullptr), c.expected) << c.tpl;
    }
}

TEST(FileSetDate, RecordsTheDateAndWholeNames) {
    RES_put("data_path", "/data");
    use_template("%D/%y%m%d%h.sfc");
    build(make_date(1996, 7, 4, 18, 30));
    Date d = file_date();
    EXPECT_EQ(d.year, 1996);
    EXPECT_EQ(d.month, 7);
    EXPECT_EQ(d.day, 4);
    EXPECT_EQ(d.hour, 18);
    EXPECT_EQ(d.min, MISSING); // not in the template
    // The date of the last name serves when no date is given.
    char out[FILE_NAME_SIZE];
    EXPECT_EQ(FILE_set_date(nullptr, out), 0);
    EXPECT_STREQ(out, "/data/96070418.sfc");

    // A date without a year gives the current name itself.
    int result = 0;
    EXPECT_EQ(build(Date{MISSING, 1, 1, 0, 0, 0, 0, 0}, &result), "/data/96070418.sfc");
    EXPECT_EQ(result, 1);

    // The directory of a typed full name stands in for the path letter.
    FILE_set_filename("/x/y/96010112.sfc");
    EXPECT_EQ(build(make_date(1996, 1, 1, 13)), "/x/y/96010113.sfc");

    // No template: the current name, or the word "filename".
    char none[] = "none";
    FILE_set_name(none);
    EXPECT_EQ(build(make_date(1996, 1, 1, 13), &result), "filename");
    EXPECT_EQ(result, 1);
    FILE_set_filename("given.dat");
    EXPECT_EQ(build(make_date(1996, 1, 1, 13), &result), "given.dat");
    use_template("STD");
    EXPECT_EQ(build(make_date(1996, 1, 1, 13), &result), "-");
    EXPECT_EQ(result, 1);
}

TEST(FileSetDate, HeaderNames) {
    RES_put("data_path", "/data");
    FILE_set_name_conv("3600 %D/%y%m%d%h.grb %D/%y%m%d%h.idx");
    char out[FILE_NAME_SIZE] = "untouched";
    Date no_year{MISSING, 1, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(FILE_hdr_set_date(&no_year, out), 0);
    EXPECT_STREQ(out, "untouched");
    Date d = make_date(1996, 1, 1, 6);
    EXPECT_EQ(FILE_hdr_set_date(&d, out), 1);
    EXPECT_STREQ(out, "/data/96010106.idx");
    EXPECT_EQ(build(d), "/data/96010106.grb"); // the header flag is off again
    FILE_set_name_conv("3600 %D/%y%m%d%h.grb");
    EXPECT_EQ(FILE_hdr_set_date(&d, out), 0);
    EXPECT_STREQ(out, "");
}

// ---- Listing -----------------------------------------------------------------------

TEST(FileListFile, ListsMatchingFilesWithoutAShell) {
    TempDir dir;
    for (const char *name :
         {"96010112.sfc", "96010106.sfc", "96123123.sfc", "9601011.sfc", "96010112.txt", "notes.sfc", "a;b"})
        write_file(dir.file(name), "x");
    auto r = zeqtest::run_child([&] {
        if (chdir(dir.path().c_str()) != 0) return 99;
        RES_put("data_path", ".");
        use_template("%D/%y%m%d%h.sfc");
        return FILE_list_file();
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "./96010106.sfc  ./96010112.sfc  ./96123123.sfc\n");
    const std::string d = dir.path();

    // Resources and keys are patterns, never shell text.
    r = zeqtest::run_child([&] {
        if (chdir(dir.path().c_str()) != 0) return 99;
        RES_put("data_path", "$(touch pwned_path)");
        set_key('k', "a;touch pwned_key");
        use_template("%D/%k;`touch pwned_tpl`");
        return FILE_list_file();
    });
    EXPECT_EQ(r.status, 0);
    for (const char *name : {"pwned_path", "pwned_key", "pwned_tpl"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;

    // Unset keys: question marks for a width, else any text.
    r = zeqtest::run_child([&] {
        MESS_set(0, M_DEBUG);
        RES_put("data_path", dir.path().c_str());
        use_template("%D/%4k%q%b%j%Y%e");
        return FILE_list_file();
    });
    EXPECT_NE(r.out.find("SEARCH: " + d + "/????*?[a-z]??[0-9]??[0-9]??*\n"), std::string::npos) << r.out;
}

TEST(FileListFile, ColumnsAcrossLines) {
    TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 30; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d.x", i);
        write_file(dir.file(name), "x");
        names.push_back(name);
    }
    auto r = zeqtest::run_child([&] {
        if (chdir(dir.path().c_str()) != 0) return 99;
        use_template("f*.x");
        return FILE_list_file();
    });
    // "f00.x" is 5 characters: columns of 7, 11 to a line of 80.
    std::string expected;
    for (std::size_t i = 0; i < names.size(); ++i) {
        expected += names[i];
        expected += (i + 1) % 11 == 0 || i + 1 == names.size() ? "\n" : "  ";
    }
    EXPECT_EQ(r.out, expected);
}

// ---- The current file ------------------------------------------------------------

TEST(FileSetCurrent, LatestAndOffsets) {
    TempDir dir;
    hourly_files(dir, {{"96010108.sfc", "data"}, {"96010106.sfc", "data"}, {"96010109.sfc", ""}});
    setenv("zeqcurtime", "#199601011000", 1);
    const std::string d = dir.path() + "/";
    struct Case {
        const char *spec;
        const char *name;
    };
    const Case cases[] = {
        {"la", "96010108.sfc"},    // third try: 10 missing, 09 empty
        {nullptr, "96010108.sfc"}, // null is "la"
        {"LA", "96010108.sfc"},
        {"la#2", "96010108.sfc"}, // gives up after 10 and 09: the hour before
        {"la#1", "96010109.sfc"},
        {"la-2", "96010106.sfc"},
        {"la+6", "96010114.sfc"},
        {"6", "96010104.sfc"},
        {"-1:30", "96010108.sfc"},
        {"+1d", "96010210.sfc"},
        {"+1d2", "96010212.sfc"},
        {"", "96010110.sfc"},
        {"#199601011200la", "96010108.sfc"},
        {"#199601011200", "96010112.sfc"},
        {"3l", "96010106.sfc"},
        {"2la#1", "96010108.sfc"},
    };
    for (const Case &c : cases) {
        char out[FILE_NAME_SIZE];
        FILE_set_current(c.spec, out);
        EXPECT_EQ(out, d + c.name) << (c.spec ? c.spec : "(null)");
        EXPECT_STREQ(FILE_get_filename(nullptr), out);
    }

    // A typed current-time spec keeps its '#' form: it is no date suffix.
    EXPECT_EQ(expand("la#1"), d + "96010109.sfc");
    Date fixed_fields;
    FILE_get_time(&fixed_fields);
    EXPECT_EQ(fixed_fields.year, MISSING);

    // Forward search from 08: 08 is there.
    char out[FILE_NAME_SIZE];
    FILE_set_current("#199601010700+la", out);
    EXPECT_EQ(out, d + "96010108.sfc");

    // The result is the time, rounded down to the step.
    time_t t = FILE_set_current("#199601011030", out);
    EXPECT_EQ(t, 820490400); // 1996-01-01 10:00 UTC
    // Dates past 2038 stay whole.
    t = FILE_set_current("#210001010000", out);
    EXPECT_EQ(t, 4102444800);
    EXPECT_EQ(out, d + "00010100.sfc");
}

TEST(FileSetCurrent, FixedFieldsAndMinimumSizes) {
    TempDir dir;
    hourly_files(dir, {{"95123112.sfc", "x"}});
    const std::string d = dir.path() + "/";
    setenv("zeqcurtime", "199601010800", 1);
    Date h12 = fixed(MISSING, MISSING, MISSING, 12, MISSING);
    FILE_set_time(&h12);
    char out[FILE_NAME_SIZE];
    FILE_set_current("", out);
    EXPECT_EQ(out, d + "95123112.sfc");
    FILE_reset_time();

    // A base date with only a year and month starts at the first of the month.
    FILE_set_current("#199602", out);
    EXPECT_EQ(out, d + "96020100.sfc");

    // The convention's minimum size: a caller's lower minimum admits a
    // smaller file, a higher one never raises the threshold.
    TempDir big;
    use_table(big, "sfc_cvt %D/%y%m%d%h.sfc - 100\n");
    RES_put("data_path", big.path().c_str());
    write_file(big.file("96010107.sfc"), std::string(50, 'x'));
    write_file(big.file("96010105.sfc"), std::string(150, 'x'));
    char type[] = "sfc_cvt";
    FILE_set_name(type);
    FILE_set_current("#199601010800la", out);
    EXPECT_EQ(out, big.path() + "/96010105.sfc");
    FILE_set_min_size(10);
    FILE_set_current("#199601010800la", out);
    EXPECT_EQ(out, big.path() + "/96010107.sfc");
    FILE_set_min_size(1000);
    FILE_set_current("#199601010800la", out);
    EXPECT_EQ(out, big.path() + "/96010105.sfc");
}

// ---- Sequences -----------------------------------------------------------------------

std::vector<std::string> walk() {
    std::vector<std::string> names;
    char name[FILE_NAME_SIZE];
    while (FILE_get_next(name) && names.size() < 100)
        names.emplace_back(name);
    return names;
}

TEST(FileSequence, TimeRangesAndSkips) {
    RES_put("data_path", "/d");
    use_template("%D/%y%m%d%h");
    const Date start = make_date(1996, 1, 1, 12);
    build(start); // the late offset of the template: one hour
    struct Case {
        const char *num_hour;
        std::vector<std::string> names;
        long num_file;
    };
    const std::vector<Case> cases = {
        {"-6",
         {"/d/96010106", "/d/96010107", "/d/96010108", "/d/96010109", "/d/96010110", "/d/96010111",
          "/d/96010112"},
         -21600},
        {"6,3", {"/d/96010112", "/d/96010115", "/d/96010118"}, 21600},
        {"6,1:30",
         {"/d/96010112", "/d/96010113", "/d/96010114", "/d/96010115", "/d/96010116", "/d/96010117",
          "/d/96010118"},
         21600},
        {"3", {"/d/96010112", "/d/96010113", "/d/96010114", "/d/96010115"}, 10800},
        {"-4,2", {"/d/96010108", "/d/96010110", "/d/96010112"}, -14400},
        {"-5,2", {"/d/96010108", "/d/96010110", "/d/96010112"}, -18000},
        {"24,12", {"/d/96010112", "/d/96010200", "/d/96010212"}, 86400},
    };
    for (const Case &c : cases) {
        RES_put("num_hour", c.num_hour);
        FILE_set_late_off(3600);
        FILE_first(&start);
        EXPECT_EQ(FILE_get_num_file(), c.num_file) << c.num_hour;
        EXPECT_EQ(walk(), c.names) << c.num_hour;
    }
}

TEST(FileSequence, RangeAndSkipForms) {
    struct Case {
        const char *text;
        long range;
        long skip;
    };
    const Case cases[] = {
        {"6", 21600, 3600},
        {"-6", -21600, 3600},
        {"6:30", 23400, 3600},
        {"-6:30", -23400, 3600},
        {"-0:30", -1800, 3600},
        {":45", 2700, 3600},
        {"6,3", 21600, 10800},
        {"6,1:30", 21600, 5400},
        {"6,:20", 21600, 1200},
        {"6,x", 21600, 0},
        // Beyond a hundred years: the default range, the late offset.
        {"-2147483648", 7200, 3600},
        {"6:-2147483648", 7200, 3600},
        {"99999999999", 7200, 3600},
        {"6,2147483647", 21600, 3600},
        {"876600", 876600L * 3600, 3600},
    };
    FILE_set_late_off(3600);
    FILE_set_def_hours(2);
    EXPECT_EQ(FILE_num_hour(), 7200);
    EXPECT_EQ(FILE_get_skip(), 3600);
    for (const Case &c : cases) {
        RES_put("num_hour", c.text);
        testing::internal::CaptureStderr();
        EXPECT_EQ(FILE_num_hour(), c.range) << c.text;
        EXPECT_EQ(FILE_get_skip(), c.skip) << c.text;
        const std::string err = testing::internal::GetCapturedStderr();
        const bool beyond = c.range == 7200 || (c.skip == 3600 && std::strchr(c.text, ','));
        EXPECT_EQ(err.find("FILE_num_hour: num_hour: value out of range, not used: ") != std::string::npos,
                  beyond)
            << c.text << ": " << err;
    }
}

TEST(FileSequence, ListedNamesAndSingleFiles) {
    RES_put("data_path", "/d");
    use_template("%D/%y%m%d%h");
    const Date start = make_date(1996, 1, 1, 12);
    RES_new(MISSING, "filename", "96010100\n96010103\n96010106", CV_strings);
    FILE_first(&start);
    EXPECT_EQ(FILE_get_num_file(), 2);
    EXPECT_EQ(walk(), (std::vector<std::string>{"/d/96010100", "/d/96010103", "/d/96010106"}));

    // One name: a single file, or a range from its date.
    RES_new(MISSING, "filename", "96010112", CV_strings);
    FILE_first(&start);
    EXPECT_EQ(FILE_get_num_file(), 0);
    EXPECT_EQ(walk(), (std::vector<std::string>{"/d/96010112"}));
    RES_put("num_hour", "3");
    FILE_first(&start);
    EXPECT_EQ(walk(), (std::vector<std::string>{"/d/96010112", "/d/96010113", "/d/96010114", "/d/96010115"}));

    // A current-time spec as the name is no list.
    RES_new(MISSING, "filename", "la#3", CV_strings);
    RES_put("num_hour", "-1");
    FILE_first(&start);
    EXPECT_EQ(walk(), (std::vector<std::string>{"/d/96010111", "/d/96010112"}));

    // Stepping the first file.
    char name[FILE_NAME_SIZE];
    EXPECT_EQ(FILE_next_file(name), 1);
    EXPECT_STREQ(name, "/d/96010112");
    EXPECT_EQ(FILE_prev_file(name), 1);
    EXPECT_STREQ(name, "/d/96010111");
    EXPECT_EQ(FILE_set_date_off(&start, 7200, name), 2);
    EXPECT_STREQ(name, "/d/96010114");
    use_template("%D/%y%m%d");
    EXPECT_EQ(FILE_set_date_off(&start, -86400 * 3, name), -3);
    EXPECT_STREQ(name, "/d/951229");
    use_template("fixed.dat");
    EXPECT_EQ(FILE_set_date_off(&start, 200000, name), 2);
    EXPECT_EQ(FILE_get_offset(), 100000);
}

// ---- Choosing the input file -----------------------------------------------------

struct Choice {
    zeqtest::ChildResult r;
    std::string name;
};

// Runs FILE_get_file (or the _only form) in a child with `input` on its
// standard input, after `setup`; the chosen name is printed last.
Choice choose(
    const TempDir &dir, const std::string &input, const std::function<void()> &setup = [] {},
    bool only = false) {
    Choice c;
    c.r = zeqtest::run_child(
        [&] {
            setenv("zeqcurtime", "#199601011000", 1);
            RES_put("file_path", dir.path().c_str());
            RES_put("data_path", dir.path().c_str());
            char type[] = "sfc_cvt";
            FILE_set_name(type);
            setup();
            char out[FILE_NAME_SIZE] = "";
            int r = only ? FILE_get_file_only("Enter the surface filename: ", out)
                         : FILE_get_file("Enter the surface filename: ", out);
            std::printf("\nCHOSEN[%s]\n", out);
            return r;
        },
        {input});
    std::size_t p = c.r.out.rfind("CHOSEN[");
    if (p != std::string::npos) c.name = c.r.out.substr(p + 7, c.r.out.find(']', p) - p - 7);
    return c;
}

class FileGetFile : public ::testing::Test {
protected:
    void SetUp() override {
        write_file(dir.file("name_conv"), "sfc_cvt %D/%y%m%d%h.sfc - 0\n");
        write_file(dir.file("96010108.sfc"), "ZEQSFC\n");
        write_file(dir.file("96010106.sfc"), "ZEQSFC\n");
    }
    std::string file(const char *name) const { return dir.file(name); }
    TempDir dir;
};

TEST_F(FileGetFile, Prompts) {
    // Four answers naming no file end the program.
    Choice c = choose(dir, "a\nb\nc\nd\ne\n");
    EXPECT_EQ(c.r.status, 10);
    EXPECT_EQ(count(c.r.out + c.r.err, "File not found: "), 4u);
    EXPECT_NE((c.r.out + c.r.err).find("File not found: " + file("d")), std::string::npos);
    EXPECT_EQ(count(c.r.out, "Enter the surface filename: "), 4u);
    EXPECT_NE(c.r.out.find("List of available files:\n" + file("96010106.sfc") + "  " + file("96010108.sfc")),
              std::string::npos);

    // "list" lists again and asks again; it chooses nothing.
    c = choose(dir, "list\na\nb\nc\nd\n");
    EXPECT_EQ(c.r.status, 10);
    EXPECT_EQ(count(c.r.out, file("96010106.sfc")), 2u);
    EXPECT_EQ(count(c.r.out, "Enter the surface filename: "), 5u);

    struct Case {
        const char *input;
        const char *name;
        bool current;
    };
    const Case cases[] = {
        {"x\n96010106\n", "96010106.sfc", false},  {"la\n", "96010108.sfc", true},
        {"la-2\n", "96010106.sfc", true},          {"cu2\n", "96010108.sfc", true},
        {"#199601010600\n", "96010106.sfc", true}, {"list\n96010108.sfc\n", "96010108.sfc", false},
    };
    for (const Case &k : cases) {
        c = choose(dir, k.input);
        EXPECT_EQ(c.r.status, 1) << k.input;
        EXPECT_EQ(c.name, file(k.name)) << k.input;
        EXPECT_EQ(c.r.out.find("Current filename: " + file(k.name)) != std::string::npos, k.current)
            << k.input;
    }

    // An empty answer, also the end of input, is standard input.
    c = choose(dir, "");
    EXPECT_EQ(c.r.status, 1);
    EXPECT_EQ(c.name, "-");
    c = choose(dir, "exit\n");
    EXPECT_EQ(c.r.status, 0);
    EXPECT_EQ(c.r.out.find("CHOSEN"), std::string::npos);

    // The _only form asks once and never ends the program for want of a file.
    c = choose(
        dir, "a\nla\n", [] {}, true);
    EXPECT_EQ(c.r.status, 0);
    EXPECT_EQ(count(c.r.out, "Enter the surface filename: "), 1u);
}

TEST_F(FileGetFile, ResourcesAndBatch) {
    // The current resource: found, or the end of the program.
    Choice c = choose(dir, "", [] { RES_put("current", "la"); });
    EXPECT_EQ(c.r.status, 1);
    EXPECT_EQ(c.name, file("96010108.sfc"));
    EXPECT_NE(c.r.out.find("Current filename: " + file("96010108.sfc") + "\n"), std::string::npos);
    c = choose(dir, "", [] { RES_put("current", "+2"); });
    EXPECT_EQ(c.r.status, 10);
    EXPECT_NE((c.r.out + c.r.err).find("File not found: " + file("96010112.sfc")), std::string::npos);
    c = choose(
        dir, "", [] { RES_put("current", "+2"); }, true);
    EXPECT_EQ(c.r.status, 0);
    EXPECT_EQ((c.r.out + c.r.err).find("File not found"), std::string::npos);

    // Batch mode takes the latest file without asking.
    c = choose(dir, "", [] { FLAG_set_batch(1); });
    EXPECT_EQ(c.r.status, 1);
    EXPECT_EQ(c.name, file("96010108.sfc"));
    EXPECT_EQ(c.r.out.find("Enter the surface filename"), std::string::npos);

    // The filename resource: its first name, found or not, without a prompt.
    c = choose(dir, "", [] { RES_new(MISSING, "filename", "96010106\n96010108", CV_strings); });
    EXPECT_EQ(c.r.status, 1);
    EXPECT_EQ(c.name, file("96010106.sfc"));
    c = choose(dir, "", [] { RES_new(MISSING, "filename", "96010107", CV_strings); });
    EXPECT_EQ(c.r.status, 0);
    EXPECT_EQ(c.name, file("96010107.sfc"));
    EXPECT_EQ((c.r.out + c.r.err).find("File not found"), std::string::npos);
    c = choose(dir, "", [] { RES_new(MISSING, "filename", "LIST", CV_strings); });
    EXPECT_EQ(c.r.status, 0);
    EXPECT_NE(c.r.out.find(file("96010106.sfc") + "  " + file("96010108.sfc") + "\n"), std::string::npos);
    EXPECT_EQ(c.r.out.find("CHOSEN"), std::string::npos);
}

} // namespace
