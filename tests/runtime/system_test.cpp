// Exit, prompts and their commands, child processes, background mode and timing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/system.h"
#include "support/child.h"

namespace {

using zeqtest::read_file;
using zeqtest::TempDir;
using zeqtest::write_file;
using Child = zeqtest::ChildResult;

// Runs `body` in a child reading `input`, or with its standard input closed.
Child run_child(const std::string &input, const std::function<int()> &body, bool close_input = false) {
    if (!close_input) return zeqtest::run_child(body, {input});
    return zeqtest::run_child([&body] {
        close(STDIN_FILENO);
        return body();
    });
}

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

// ---- The prompt commands -----------------------------------------------------

TEST(SetCommand, StoresResources) {
    struct Case {
        const char *line;
        const char *name;
        const char *value;
    };
    const Case cases[] = {
        {"set plot_type=cf", "plot_type", "cf"},
        {"set plot_type2 cf", "plot_type2", "cf"},
        {"SET x=1", "x", "1"},
        {"set  y = = two words", "y", "two words"},
        {"set z", "z", ""},
        {"set=w=3", "w", "3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ZEQ_set_command(c.line), 1);
        EXPECT_STREQ(RES_get(c.name), c.value);
    }
}

TEST(SetCommand, LongNameIsCut) {
    std::string name(40, 'n');
    EXPECT_EQ(ZEQ_set_command(("set " + name + "=v").c_str()), 1);
    EXPECT_STREQ(RES_get(name.substr(0, 23).c_str()), "v");
}

TEST(SetCommand, AloneListsResources) {
    RES_put("alpha", "1");
    RES_put("beta", nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZEQ_set_command("set"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Set resources\nalpha: 1\nbeta:\n\n");
}

TEST(SetCommand, CommandsAreWholeWords) {
    // Each line in a child of its own: a line taken for "exit" would end the
    // test process with a passing status.
    for (const char *line : {"settings.dat", "exitcode.sfc", "Setup", "exits", "", "file set x=1"}) {
        SCOPED_TRACE(line);
        Child c =
            run_child("", [line] { return 10 + ZEQ_set_command(line) + (RES_get("tings.dat") ? 5 : 0); });
        EXPECT_EQ(c.status, 10);
    }
}

TEST(SetCommand, ExitEndsWithStatusZero) {
    EXPECT_EXIT(ZEQ_set_command("exit"), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(ZEQ_set_command("EXIT now"), testing::ExitedWithCode(0), "");
}

// ---- Prompts on piped standard input -------------------------------------------

TEST(Prompt, SetCommandsAskAgainThenTheAnswerIsTaken) {
    Child c = run_child("set plot_type=cf\nset Other value here\nSET x=1\n  file.sfc more\n", [] {
        char buf[80] = "default";
        ZEQ_prompts("Enter the surface filename: ", buf, 79);
        std::printf("\n[%s][%s][%s][%s]\n", buf, RES_get("plot_type"), RES_get("Other"), RES_get("x"));
        return 0;
    });
    EXPECT_FALSE(c.timed_out);
    EXPECT_EQ(count(c.out, "Enter the surface filename: "), 4u);
    EXPECT_NE(c.out.find("[file.sfc][cf][value here][1]"), std::string::npos) << c.out;
}

TEST(Prompt, SetAloneListsAndAsksAgain) {
    Child c = run_child("set\nanswer\n", [] {
        RES_put("alpha", "1");
        char buf[80] = "";
        ZEQ_prompts("? ", buf, 79);
        std::printf("[%s]\n", buf);
        return 0;
    });
    EXPECT_NE(c.out.find("? Set resources\nalpha: 1\n\n? [answer]"), std::string::npos) << c.out;
}

TEST(Prompt, ExitEndsTheProgram) {
    Child c = run_child("exit\n", [] {
        char buf[80] = "";
        ZEQ_prompts("? ", buf, 79);
        return 3;
    });
    EXPECT_EQ(c.status, 0);
}

TEST(Prompt, AnswersBeginningWithCommandLettersAreFileNames) {
    Child c = run_child("exitcode.sfc\nsettings.dat\n", [] {
        char a[80] = "", b[80] = "";
        ZEQ_prompts("? ", a, 79);
        ZEQ_prompts("? ", b, 79);
        std::printf("[%s][%s]\n", a, b);
        return 3;
    });
    EXPECT_EQ(c.status, 3);
    EXPECT_NE(c.out.find("[exitcode.sfc][settings.dat]"), std::string::npos) << c.out;
}

TEST(Prompt, EmptyAnswerKeepsTheCallersDefault) {
    Child c = run_child("\n   \nset a=1\n", [] {
        char a[80] = "first", b[80] = "second", d[80] = "third";
        ZEQ_prompts("? ", a, 79);
        ZEQ_prompts("? ", b, 79);
        // After a command the end of input stands for an empty answer: the
        // command word does not become the answer.
        ZEQ_prompts("? ", d, 79);
        std::printf("[%s][%s][%s][%s]\n", a, b, d, RES_get("a"));
        return 0;
    });
    EXPECT_NE(c.out.find("[first][second][third][1]"), std::string::npos) << c.out;
}

TEST(Prompt, EndOfInputNeverSpins) {
    for (bool closed : {false, true}) {
        Child c = run_child(
            "abc\n",
            [] {
                char buf[80] = "keep";
                float f = ZEQ_promptf("f? ");
                int d = ZEQ_promptd("d? ");
                ZEQ_prompts("s? ", buf, 79);
                char *l = ZEQ_promptl("l? ", nullptr);
                std::printf("\n[%g][%d][%s][%s]\n", f, d, buf, l);
                std::free(l);
                return 0;
            },
            closed);
        EXPECT_FALSE(c.timed_out);
        EXPECT_EQ(c.status, 0);
        EXPECT_NE(c.out.find("[0][0][keep][]"), std::string::npos) << c.out;
    }
}

// In batch mode nobody answers: every prompt says so and returns the empty
// answer at once, without reading standard input (which here never ends).
TEST(Prompt, BatchModeReadsNoAnswer) {
    const Child c = zeqtest::run_child(
        [] {
            FLAG_set_batch(1);
            char buf[80] = "keep";
            const float f = ZEQ_promptf("Enter the central latitude: ");
            const int d = ZEQ_promptd("d? ");
            ZEQ_prompts("s? ", buf, 79);
            char *l = ZEQ_promptl("l? ", nullptr);
            std::printf("[%g][%d][%s][%s]\n", f, d, buf, l);
            std::free(l);
            return 0;
        },
        {"12\n34\nword\nother\n", true}, std::chrono::seconds(5));
    EXPECT_FALSE(c.timed_out);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out, "[0][0][keep][]\n");
    EXPECT_EQ(c.err,
              "No answer in batch mode to: Enter the central latitude: \nNo answer in batch mode to: d? \n"
              "No answer in batch mode to: s? \nNo answer in batch mode to: l? \n");
}

// A typed answer, and the value of a "set" command, are the user's own texts:
// a command they name may run.
TEST(Prompt, AnswersAreTheUsersTexts) {
    const Child c = run_child("set out_file |echo set\n|echo typed more\n", [] {
        FILE_set_trust(FILE_TRUST_USER);
        char buf[80] = "";
        ZEQ_prompts("? ", buf, 79);
        std::printf("[%s][%d%d%d]\n", buf, FILE_user_name("|echo set"), FILE_user_name("|echo typed more"),
                    FILE_user_name("|echo typed"));
        return 0;
    });
    EXPECT_NE(c.out.find("[|echo][110]"), std::string::npos) << c.out;
}

TEST(Prompt, NumbersAskAgainUntilTheAnswerBeginsWithOne) {
    Child c = run_child("abc\n12abc\nx\n-7.9\n\n", [] {
        float f = ZEQ_promptf("f? ");
        int d = ZEQ_promptd("d? ");
        float e = ZEQ_promptf("e? ");
        std::printf("\n[%g][%d][%g]\n", f, d, e);
        return 0;
    });
    EXPECT_EQ(count(c.out, "f? "), 2u);
    EXPECT_EQ(count(c.out, "d? "), 2u);
    EXPECT_NE(c.out.find("[12][-7][0]"), std::string::npos) << c.out;
}

TEST(Prompt, WordsAreCutToTheirBuffers) {
    std::string longline(100, 'x');
    Child c = run_child("abcdefgh\n" + longline + "\nnext\n" + std::string(30, 'w') + "\n", [] {
        char four[5] = "";
        char *small = ZEQ_prompts("? ", four, 5);
        char *line = ZEQ_prompts("? ", nullptr, 200);
        char *after = ZEQ_prompts("? ", nullptr, 79);
        char *word = ZEQ_promptl("? ", nullptr);
        std::printf("\n[%s][%zu][%s][%zu]\n", small, std::strlen(line), after, std::strlen(word));
        std::free(line);
        std::free(after);
        std::free(word);
        return 0;
    });
    // A line holds at most 79 characters; the rest of a longer line is dropped.
    EXPECT_NE(c.out.find("[abcd][79][next][19]"), std::string::npos) << c.out;
}

// ---- Child processes ---------------------------------------------------------

TEST(Run, ForegroundReturnsTheExitStatus) {
    char *argv[] = {const_cast<char *>("sh"), const_cast<char *>("-c"), const_cast<char *>("exit 3"),
                    nullptr};
    EXPECT_EQ(ZEQ_run("sh", argv, nullptr, 0), 3);

    char *missing[] = {const_cast<char *>("zeq-no-such-program"), nullptr};
    testing::internal::CaptureStderr();
    EXPECT_EQ(ZEQ_run("zeq-no-such-program", missing, nullptr, 0), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Running zeq-no-such-program"), std::string::npos);
}

TEST(Run, EnvironmentAndChildFiles) {
    TempDir dir;
    std::string in = dir.file("in.txt"), out = dir.file("out.txt");
    write_file(in, "line one\nline two\n");
    std::string path = std::string("PATH=") + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    char *env[] = {path.data(), const_cast<char *>("ZEQX=yes"), nullptr};
    char *sh[] = {const_cast<char *>("sh"), const_cast<char *>("-c"),
                  const_cast<char *>("test \"$ZEQX\" = yes && cat"), nullptr};

    ZEQ_set_infile(in.c_str());
    ZEQ_set_outfile(out.c_str());
    EXPECT_EQ(ZEQ_run("sh", sh, env, 0), 0);
    EXPECT_EQ(read_file(out), "line one\nline two\n");

    // A file that cannot be opened ends the child with status 1.
    ZEQ_set_infile(dir.file("missing").c_str());
    EXPECT_EQ(ZEQ_run("sh", sh, env, 0), 1);
    ZEQ_set_infile("");
    ZEQ_set_outfile("");
}

TEST(Run, BackgroundChildIsRecordedAndDetached) {
    char *argv[] = {const_cast<char *>("sleep"), const_cast<char *>("5"), nullptr};
    int proc = ZEQ_run("sleep", argv, nullptr, 2);
    ASSERT_EQ(proc, 0);
    pid_t pid = ZEQ_proc_id(proc);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(ZEQ_proc(pid), proc);
    EXPECT_STREQ(ZEQ_proc_name(proc), "sleep");
    EXPECT_EQ(ZEQ_numproc(), 1);
    EXPECT_EQ(ZEQ_chk_proc(proc), 1);
    // Its own process group, away from the terminal's interrupt.
    for (int i = 0; i < 100 && getpgid(pid) != pid; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(getpgid(pid), pid);

    kill(pid, SIGTERM);
    int alive = 1;
    for (int i = 0; i < 200 && alive; ++i) {
        alive = ZEQ_chk_proc(proc);
        if (alive) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(ZEQ_proc_id(proc), -1);
    EXPECT_EQ(ZEQ_chk_proc(proc), 0);
}

TEST(Run, RefusesWhenEveryEntryIsInUse) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(ZEQ_add_proc(getpid(), "a-rather-long-program-name"), i);
    EXPECT_STREQ(ZEQ_proc_name(9), "a-rather-long-");
    EXPECT_EQ(ZEQ_add_proc(getpid(), "x"), -1);

    TempDir dir;
    std::string marker = dir.file("started");
    std::string script = "touch " + marker;
    char *argv[] = {const_cast<char *>("sh"), const_cast<char *>("-c"), script.data(), nullptr};
    EXPECT_EQ(ZEQ_run("sh", argv, nullptr, 2), -1);

    // A freed entry is used again; the count of entries in use decides.
    ZEQ_clr_proc(3);
    int proc = ZEQ_run("sh", argv, nullptr, 2);
    EXPECT_EQ(proc, 3);
    EXPECT_EQ(ZEQ_numproc(), 10);
    for (int i = 0; i < 200 && ZEQ_chk_proc(proc); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST(Run, ForegroundWaitFreesEndedBackgroundChildren) {
    char *quick[] = {const_cast<char *>("true"), nullptr};
    int proc = ZEQ_run("true", quick, nullptr, 2);
    ASSERT_EQ(proc, 0);
    char *wait[] = {const_cast<char *>("sleep"), const_cast<char *>("0.3"), nullptr};
    EXPECT_EQ(ZEQ_run("sleep", wait, nullptr, 0), 0);
    EXPECT_EQ(ZEQ_proc_id(proc), -1);
}

int times_six(int arg) {
    return arg * 6;
}

TEST(Run, FunctionInAChild) {
    EXPECT_EQ(ZEQ_run_func(times_six, 7), 42);
    EXPECT_EQ(ZEQ_run_func(times_six, 0), 0);
}

// ---- Background mode -----------------------------------------------------------

TEST(BackProc, ParentEndsAndChildDetaches) {
    TempDir dir;
    std::string marker = dir.file("child");
    EXPECT_EXIT(
        {
            if (ZEQ_back_proc() == 1) {
                // The detached child: record its state, then leave quietly.
                char c = 'x';
                bool input_empty = read(STDIN_FILENO, &c, 1) == 0;
                std::ofstream(marker) << (getpgrp() == getpid()) << input_empty;
                _exit(0);
            }
            _exit(9);
        },
        testing::ExitedWithCode(0), "");
    std::string state;
    for (int i = 0; i < 200 && state.size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        state = read_file(marker);
    }
    EXPECT_EQ(state, "11");
}

// Forbids new processes (as an unprivileged user), then asks for the
// background; ends with 1 as the plot layer does when that fails.
[[noreturn]] void back_proc_without_processes() {
    if (getuid() == 0 && setuid(65534) != 0) _exit(8);
    struct rlimit none {};
    setrlimit(RLIMIT_NPROC, &none);
    _exit(ZEQ_back_proc() == 0 ? 1 : 9);
}

TEST(BackProc, FailedSplitIsReportedAndLeftToTheCaller) {
    // The caller, not a lost background process, decides the status.
    EXPECT_EXIT(back_proc_without_processes(), testing::ExitedWithCode(1),
                "ZEQ_back_proc: Unable to start background process");
}

// ---- Timing and the process ----------------------------------------------------

TEST(Timing, SleepAndElapsedTime) {
    EXPECT_EQ(ZEQ_sleep(0.0f), -1);
    EXPECT_EQ(ZEQ_sleep(-1.0f), -1);
    ZEQ_init_time();
    EXPECT_EQ(ZEQ_sleep(0.05f), 0);
    float t = ZEQ_elapse_time();
    EXPECT_GE(t, 0.05f);
    EXPECT_LT(t, 1.0f);
}

TEST(Process, IdentityVersionAndMemory) {
    EXPECT_STREQ(ZEQ_version(), "5.60.2-LINUX-X11");
    EXPECT_EQ(ZEQ_get_pid(), static_cast<int>(getpid()));
    EXPECT_GT(ZEQ_get_virt_mem(), 1000000);
}

} // namespace
