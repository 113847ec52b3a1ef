// Test support: temporary directories, whole-file reads and a forked child
// whose standard input, output and error are real files or pipes, so that a
// test sees exactly what reached file descriptors 0, 1 and 2.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace zeqtest {

// A directory under /tmp removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/zeqtest.XXXXXX";
        if (mkdtemp(tmpl) != nullptr) path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string read_file(const std::string &name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const std::string &name, const std::string &text) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text;
}

// How the child's standard input is fed.
struct ChildInput {
    std::string text;       // what the child can read
    bool keep_open = false; // true: a pipe left open after the text, so that
                            // reading past the text blocks (a wait shows as a time-out)
};

struct ChildResult {
    int status = -1;        // exit status of the child; -1 when it did not exit normally
    bool timed_out = false; // killed after the time limit
    std::string out;        // everything written to standard output
    std::string err;        // everything written to standard error
};

// Runs `body` in a forked child; its return value becomes the exit status.
// Gives the child at most `limit` to finish.
inline ChildResult run_child(const std::function<int()> &body, const ChildInput &input = {},
                             std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    ChildResult result;
    TempDir dir;
    const std::string out_name = dir.file("stdout");
    const std::string err_name = dir.file("stderr");
    const std::string in_name = dir.file("stdin");
    write_file(in_name, input.text);

    int pipe_fd[2] = {-1, -1};
    if (input.keep_open) {
        if (pipe(pipe_fd) != 0) return result;
        if (!input.text.empty() && write(pipe_fd[1], input.text.data(), input.text.size()) < 0) return result;
    }

    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        int in_fd = input.keep_open ? pipe_fd[0] : open(in_name.c_str(), O_RDONLY);
        int out_fd = open(out_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err_fd = open(err_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in_fd < 0 || out_fd < 0 || err_fd < 0) _exit(126);
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        if (input.keep_open) close(pipe_fd[1]);
        const int rc = body();
        std::fflush(nullptr);
        _exit(rc);
    }
    if (input.keep_open) close(pipe_fd[0]);

    int status = 0;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (input.keep_open) close(pipe_fd[1]);
    if (!result.timed_out && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = read_file(out_name);
    result.err = read_file(err_name);
    return result;
}

} // namespace zeqtest
