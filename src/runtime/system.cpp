// Process services: version, exit, background processes, child processes
// through pipes, terminal prompts and timing.
// File-static state: the child process table, the names of the last child
// input and output, and the clock start and sleep total.
#include "runtime/system.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/files.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/zeq.h"

extern char **environ;

namespace {

constexpr int NUM_PROCS = 10;
constexpr std::size_t PROC_NAME_SIZE = 15;
constexpr std::size_t CHILD_FILE_SIZE = 70;
constexpr std::size_t LINE_SIZE = 80;     // a prompt answer holds at most 79 characters
constexpr std::size_t SET_NAME_SIZE = 24; // a resource name typed after "set"

struct proc_item {
    int index;
    char name[PROC_NAME_SIZE];
    int id; // -1: free
};

std::array<proc_item, NUM_PROCS> procs = [] {
    std::array<proc_item, NUM_PROCS> p{};
    for (auto &e : p)
        e = {0, "", -1};
    return p;
}();
int procs_used = 0; // one past the highest entry filled so far

char child_in[CHILD_FILE_SIZE];
char child_out[CHILD_FILE_SIZE];

struct timeval clock_start {};
double sleep_sum = 0.0;

bool valid_proc(int proc) {
    return proc >= 0 && proc < NUM_PROCS;
}

// True when `line` begins with the word `word` (any case) followed by a
// blank, '=' or the end.
bool command_word(const char *line, const char *word) {
    std::size_t n = std::strlen(word);
    if (strnicmp(line, word, static_cast<int>(n)) != 0 || std::strlen(line) < n) return false;
    char c = line[n];
    return c == '\0' || c == ' ' || c == '\t' || c == '=';
}

// Reads one answer line; the rest of a line longer than the buffer is dropped.
// The end of input reads as an empty line.
void read_answer(char *line, std::size_t size) {
    std::fflush(stdout);
    std::size_t n = 0;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        if (n + 1 < size) line[n++] = static_cast<char>(c);
    line[n] = '\0';
    wstrim_string(line);
}

// Copies the first blank-separated word of `line` into `out` (at most max
// characters).
void first_word(const char *line, char *out, std::size_t max) {
    while (*line && std::isspace(static_cast<unsigned char>(*line)))
        ++line;
    std::size_t n = 0;
    for (; line[n] && !std::isspace(static_cast<unsigned char>(line[n])) && n < max; ++n)
        out[n] = line[n];
    out[n] = '\0';
}

// True when `line` begins (after blanks) with a decimal number.
bool begins_with_number(const char *line) {
    while (*line == ' ' || *line == '\t')
        ++line;
    if (*line == '+' || *line == '-') ++line;
    if (*line == '.') ++line;
    return std::isdigit(static_cast<unsigned char>(*line));
}

// Asks until the answer is not a command; the answer stays in `line`. An
// answer is the user's own text: it may name a command or a special file. In
// batch mode nobody answers: the answer is empty at once and standard input
// is never read.
void ask(const char *prompt, char *line, std::size_t size) {
    if (FLAG_batch()) {
        line[0] = '\0';
        MESS_print(M_WARN, "No answer in batch mode to: %s\n", prompt ? prompt : "");
        return;
    }
    for (;;) {
        MESS_print(M_PRINT, "%s", prompt ? prompt : "");
        read_answer(line, size);
        FILE_user_text(line);
        if (!line[0] || !ZEQ_set_command(line)) return;
    }
}

// Replaces a standard stream of a child by a file; false when it cannot be opened.
bool redirect(int fd, const char *name, int flags) {
    int f = open(name, flags, 0666);
    if (f < 0) return false;
    if (f != fd) {
        dup2(f, fd);
        close(f);
    }
    return true;
}

// Frees the entries of background children that have ended.
void reap_ended() {
    for (int i = 0; i < NUM_PROCS; ++i) {
        int status;
        if (procs[i].id > 0 && waitpid(procs[i].id, &status, WNOHANG) == procs[i].id) ZEQ_clr_proc(i);
    }
}

// Waits for the child `pid`; its exit status, or -1.
int wait_child(pid_t pid) {
    int status;
    pid_t w;
    while ((w = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    reap_ended();
    if (w != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

const char *ZEQ_version() {
    return "5.60.2-LINUX-X11";
}

void ZEQ_exit(int status) {
    std::fflush(nullptr);
    std::exit(status);
}

int ZEQ_get_pid() {
    return static_cast<int>(getpid());
}

int ZEQ_back_proc() {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        MESS_print(M_ERROR, "ZEQ_back_proc: Unable to start background process: %s\n", std::strerror(errno));
        return 0;
    }
    if (pid > 0) ZEQ_exit(0);

    std::signal(SIGINT, SIG_DFL);
    int fd = open("/dev/null", O_RDWR);
    if (fd < 0) return 0;
    dup2(fd, STDIN_FILENO);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    if (fd > STDERR_FILENO) close(fd);
    setpgid(0, 0);
    return 1;
}

int ZEQ_run(const char *filename, char **argv, char **env, int flag) {
    bool background = flag & 2;
    if (background) {
        bool free_entry = false;
        for (const auto &p : procs)
            free_entry = free_entry || p.id == -1;
        if (!free_entry) return -1;
    }
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        MESS_print(M_ERROR, "ZEQ_run: Unable to start %s: %s\n", filename, std::strerror(errno));
        return -1;
    }
    if (pid == 0) {
        std::signal(SIGINT, SIG_DFL);
        if (flag & 1) {
            if (chdir(filename) != 0) {
                // execvp below reports why the program cannot be started
            }
        }
        bool ok = true;
        if (child_in[0])
            ok = redirect(STDIN_FILENO, child_in, O_RDONLY);
        else if (background)
            ok = redirect(STDIN_FILENO, "/dev/null", O_RDONLY);
        if (ok && child_out[0]) ok = redirect(STDOUT_FILENO, child_out, O_WRONLY | O_CREAT | O_TRUNC);
        if (!ok) _exit(1);
        if (background) setpgid(0, 0);
        if (env) environ = env;
        execvp(filename, argv);
        char text[200];
        std::snprintf(text, sizeof text, "Running %s", filename);
        std::perror(text);
        _exit(2);
    }
    if (background) return ZEQ_add_proc(pid, argv && argv[0] ? argv[0] : filename);
    return wait_child(pid);
}

int ZEQ_run_func(int (*func)(int), int arg) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        MESS_print(M_ERROR, "ZEQ_run_func: Unable to start process: %s\n", std::strerror(errno));
        return -1;
    }
    if (pid == 0) {
        std::signal(SIGINT, SIG_DFL);
        int result = func ? func(arg) : 0;
        std::fflush(nullptr);
        _exit(result);
    }
    return wait_child(pid);
}

int ZEQ_set_infile(const char *name) {
    copy_text(child_in, sizeof child_in, name);
    return 1;
}

int ZEQ_set_outfile(const char *name) {
    copy_text(child_out, sizeof child_out, name);
    return 1;
}

int ZEQ_add_proc(int pid, const char *name) {
    for (int i = 0; i < NUM_PROCS; ++i) {
        if (procs[i].id == -1) {
            procs[i].id = pid;
            copy_text(procs[i].name, sizeof procs[i].name, name);
            if (i + 1 > procs_used) procs_used = i + 1;
            return i;
        }
    }
    return -1;
}

int ZEQ_numproc() {
    return procs_used;
}

int ZEQ_proc(int pid) {
    for (int i = 0; i < NUM_PROCS; ++i)
        if (procs[i].id != -1 && procs[i].id == pid) return i;
    return -1;
}

int ZEQ_proc_id(int proc) {
    return valid_proc(proc) ? procs[proc].id : -1;
}

const char *ZEQ_proc_name(int proc) {
    return valid_proc(proc) ? procs[proc].name : "";
}

int ZEQ_set_proc(int proc, int value) {
    if (!valid_proc(proc)) return -1;
    procs[proc].id = value;
    return 0;
}

int ZEQ_clr_proc(int proc) {
    if (!valid_proc(proc)) return -1;
    procs[proc].id = -1;
    procs[proc].name[0] = '\0';
    return 0;
}

int ZEQ_chk_proc(int proc) {
    if (!valid_proc(proc) || procs[proc].id == -1) return 0;
    pid_t id = procs[proc].id;
    int status;
    pid_t w = waitpid(id, &status, WNOHANG);
    if (w == 0) return 1;
    // Not a child of ours: ask whether the process still exists.
    if (w < 0 && kill(id, 0) == 0) return 1;
    ZEQ_clr_proc(proc);
    return 0;
}

int ZEQ_set_command(const char *string) {
    if (!string) return 0;
    if (command_word(string, "set")) {
        const char *p = string + 3;
        while (*p == ' ' || *p == '\t' || *p == '=')
            ++p;
        const char *name = p;
        while (*p && *p != '=' && *p != ' ' && *p != '\t')
            ++p;
        std::size_t len = static_cast<std::size_t>(p - name);
        if (len == 0) {
            MESS_print(M_MESS_D, "Set resources\n");
            RES_list();
            MESS_print(M_MESS_D, "\n");
            return 1;
        }
        char key[SET_NAME_SIZE];
        copy_text(key, len + 1 < sizeof key ? len + 1 : sizeof key, name);
        while (*p == '=' || *p == ' ' || *p == '\t')
            ++p;
        // The value is the user's as the answer it came with.
        FILE_user_text(p);
        RES_put(key, p);
        return 1;
    }
    if (command_word(string, "exit")) ZEQ_exit(0);
    return 0;
}

char *ZEQ_promptl(const char *prompt, char *str) {
    if (!str && !(str = static_cast<char *>(std::calloc(81, 1)))) return nullptr;
    char line[LINE_SIZE];
    ask(prompt, line, sizeof line);
    if (line[0]) first_word(line, str, 19);
    return str;
}

char *ZEQ_prompts(const char *prompt, char *str, int length) {
    if (length < 2) length = 2;
    if (!str && !(str = static_cast<char *>(std::calloc(static_cast<std::size_t>(length) + 1, 1))))
        return nullptr;
    char line[LINE_SIZE];
    ask(prompt, line, sizeof line);
    if (line[0]) first_word(line, str, static_cast<std::size_t>(length - 1));
    return str;
}

float ZEQ_promptf(const char *prompt) {
    char line[LINE_SIZE];
    for (;;) {
        ask(prompt, line, sizeof line);
        if (!line[0]) return 0.0f;
        if (begins_with_number(line)) return std::strtof(line, nullptr);
    }
}

int ZEQ_promptd(const char *prompt) {
    char line[LINE_SIZE];
    for (;;) {
        ask(prompt, line, sizeof line);
        if (!line[0]) return 0;
        if (begins_with_number(line)) {
            long v = std::strtol(line, nullptr, 10);
            return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
        }
    }
}

int ZEQ_sleep(float secs) {
    if (!(secs > 0.0f)) return -1;
    long usec = static_cast<long>(static_cast<double>(secs) * 1000000.0);
    struct timespec req {
        usec / 1000000, (usec % 1000000) * 1000
    };
    struct timespec rem {};
    while (nanosleep(&req, &rem) != 0 && errno == EINTR)
        req = rem;
    sleep_sum += secs;
    return 0;
}

int ZEQ_init_time() {
    gettimeofday(&clock_start, nullptr);
    sleep_sum = 0.0;
    return 0;
}

float ZEQ_elapse_time() {
    struct timeval now {};
    gettimeofday(&now, nullptr);
    long sec = now.tv_sec - clock_start.tv_sec;
    long usec = now.tv_usec - clock_start.tv_usec;
    if (usec < 0) {
        usec += 1000000;
        --sec;
    }
    return static_cast<float>(sec) + static_cast<float>(usec) / 1000000.0f;
}

int ZEQ_get_virt_mem() {
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%d/stat", ZEQ_get_pid());
    FILE *f = std::fopen(name, "r");
    if (!f) return 0;
    char buf[1024];
    std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    // The second field is the command name in parentheses, which may hold
    // blanks; count fields after its closing parenthesis (field 3 onwards).
    const char *p = std::strrchr(buf, ')');
    if (!p) return 0;
    ++p;
    for (int field = 3; field <= 23; ++field) {
        while (*p == ' ')
            ++p;
        if (!*p) return 0;
        if (field == 23) {
            unsigned long long v = std::strtoull(p, nullptr, 10);
            return v > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<int>(v);
        }
        while (*p && *p != ' ')
            ++p;
    }
    return 0;
}
