// Paths, file tests, opening and the system's own file types.
// No file-static state.
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <sys/wait.h>

#include <array>
#include <csignal>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "runtime/files.h"
#include "runtime/files_int.h"
#include "runtime/flag.h"
#include "runtime/resrc.h"
#include "runtime/string.h"
#include "runtime/system.h"

namespace {

// Streams opened by FILE_open on a pipe, with true for a pipe we write into:
// they are closed with pclose.
std::map<FILE *, bool> pipes;

// While a pipe we write into is open, a command that ends early must not
// kill the program with SIGPIPE: the write fails instead and the close
// reports it. The handler in force before the first such pipe comes back
// when the last one is closed.
int write_pipes = 0;
struct sigaction pipe_action_before {};

void ignore_sigpipe(struct sigaction *before) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, before);
}

void hold_sigpipe() {
    if (write_pipes++ == 0) ignore_sigpipe(&pipe_action_before);
}

void release_sigpipe() {
    if (write_pipes == 0 || --write_pipes > 0) return;
    sigaction(SIGPIPE, &pipe_action_before, nullptr);
}

// Longest user name of a "~user" form.
constexpr std::size_t USER_NAME_MAX = 19;

// The system's own data files by their first characters.
struct Magic {
    const char *word;
    std::size_t len;
    int type;
};
constexpr std::array<Magic, 6> magic_words{{
    {"ZEQSFC", 6, 11},
    {"ZEQUPA", 6, 12},
    {"ZEQRAW", 6, 5},
    {"ZEQGRID", 7, 6},
    {"ZEQMETA", 7, 8},
    {"ZEQIMG", 6, 9},
}};

bool stat_name(const char *file, struct stat &st) {
    if (!file) return false;
    std::string name = files_int::user_path(file);
    return ::stat(name.c_str(), &st) == 0;
}

} // namespace

namespace files_int {

std::string add_path(const char *path, const char *file) {
    if (!file) file = "";
    if (FILE_is_stdio(file) || FILE_fullpath(file)) return file;
    std::string name = path ? path : "";
    if (!name.empty() && name.back() != '/') name += '/';
    name += file;
    return name;
}

std::string user_path(const char *file) {
    if (!file) return {};
    if (file[0] != '~') return file;
    const char *slash = std::strchr(file, '/');
    std::size_t len = slash ? static_cast<std::size_t>(slash - file - 1) : std::strlen(file + 1);
    const struct passwd *pw = nullptr;
    if (len == 0) {
        pw = getpwuid(getuid());
    } else if (len <= USER_NAME_MAX) {
        std::string user(file + 1, len);
        pw = getpwnam(user.c_str());
    }
    if (!pw || !pw->pw_dir) return file;
    std::string name = pw->pw_dir;
    if (slash) name += slash;
    return name;
}

} // namespace files_int

int FILE_fullpath(const char *filename) {
    return filename && (filename[0] == '/' || filename[0] == '.' || filename[0] == '~') ? 1 : 0;
}

char *FILE_add_path(const char *path, const char *file, char *filename, std::size_t size) {
    copy_text(filename, size, files_int::add_path(path, file));
    return filename;
}

std::string FILE_table_path(const char *file) {
    const char *path = RES_get("file_path");
    std::string name = files_int::add_path(path, file);
    if (!(path && path[0]) && file && file[0] && !FILE_fullpath(file) && !FILE_is_stdio(file) &&
        !FILE_exist(name.c_str())) {
        for (const char *dir : {ZEQ_DATA_DIR, ZEQ_BUILD_DATA_DIR}) {
            std::string installed = files_int::add_path(dir, file);
            if (FILE_exist(installed.c_str())) {
                name = installed;
                break;
            }
        }
    }
    return name;
}

FILE *FILE_open_table(const char *file, std::string *path) {
    const std::string name = FILE_table_path(file);
    if (path != nullptr) *path = name;
    // A table name may come from a data file: it never reads standard input,
    // runs a command or reads a device or pipe that may never end.
    if (file == nullptr || FILE_is_stdio(file) || name.empty() || name[0] == '|') return nullptr;
    if (!FILE_is_file(name.c_str())) return nullptr;
    return FILE_open(name.c_str(), "r");
}

int FILE_add_path_delim(char *path, std::size_t size) {
    if (!path) return 0;
    std::size_t n = std::strlen(path);
    if (n > 0 && path[n - 1] != '/' && n + 1 < size) {
        path[n] = '/';
        path[n + 1] = '\0';
    }
    return 0;
}

int FILE_add_user_path(const char *file, char *filename, std::size_t size) {
    copy_text(filename, size, files_int::user_path(file));
    return 0;
}

int FILE_is_stdio(const char *file) {
    if (!file) return 0;
    return file[0] == '\0' || std::strcmp(file, "-") == 0 || stricmp(file, "std") == 0 ||
                   stricmp(file, "stdn") == 0
               ? 1
               : 0;
}

int FILE_exist(const char *file) {
    if (FILE_is_stdio(file)) return 1;
    struct stat st;
    return stat_name(file, st) ? 1 : 0;
}

int FILE_is_dir(const char *file) {
    struct stat st;
    return stat_name(file, st) && S_ISDIR(st.st_mode) ? 1 : 0;
}

int FILE_is_file(const char *file) {
    struct stat st;
    return stat_name(file, st) && S_ISREG(st.st_mode) ? 1 : 0;
}

int FILE_is_fifo(const char *file) {
    struct stat st;
    return stat_name(file, st) && S_ISFIFO(st.st_mode) ? 1 : 0;
}

int FILE_is_device(const char *file) {
    struct stat st;
    return stat_name(file, st) && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ? 1 : 0;
}

long FILE_size(const char *file) {
    struct stat st;
    return stat_name(file, st) ? static_cast<long>(st.st_size) : -1L;
}

time_t FILE_modtime(const char *file) {
    struct stat st;
    return stat_name(file, st) ? st.st_mtime : static_cast<time_t>(-1);
}

int FILE_delete(const char *file) {
    if (!file) return 0;
    std::string name = files_int::user_path(file);
    ::unlink(name.c_str());
    return 0;
}

int FILE_make_dir(char *dir, int flag) {
    if (!dir) return 0;
    for (char *p = dir; *p; ++p)
        if (*p == '\\') *p = '/';

    if (dir[0] != '\0') {
        const char *last = std::strrchr(dir + 1, '/');
        if (last) {
            std::string parent(dir, static_cast<std::size_t>(last - dir));
            if (FILE_exist(parent.c_str())) return 1;
        }
    }

    // The parts between the separators: inner and leading separators give
    // empty parts, trailing ones give none.
    std::vector<std::string> parts;
    std::string text = files_int::user_path(dir);
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    if (!text.empty()) {
        std::size_t start = 0;
        for (;;) {
            std::size_t slash = text.find('/', start);
            parts.push_back(
                text.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
    }

    std::string built;
    long count = static_cast<long>(parts.size()) - flag;
    for (long i = 0; i < count; ++i) {
        const std::string &part = parts[static_cast<std::size_t>(i)];
        if (part.empty()) {
            if (built.empty() || built.back() != '/') built += '/';
            continue;
        }
        built += part;
        built += '/';
        // An existing directory is kept; other failures show at the open.
        ::mkdir(built.c_str(), 0755);
    }
    return 0;
}

int FILE_overwrite(const char *filename, int flag) {
    if (FILE_is_stdio(filename) || !FILE_exist(filename)) return 1;
    if (FLAG_get(FLAG_FILE_PARAM) > 0) return FLAG_get(FLAG_FILE_PARAM);
    if (FLAG_batch()) return 3;
    if (flag != 1 && flag != 2) return 0;

    std::string prompt = filename;
    prompt += flag == 2 ? ": exists overwrite (Y,N,Use,Over,App): " : ": exists overwrite (Y,N,Use,Over): ";
    char answer[FILE_KEY_SIZE] = "";
    ZEQ_prompts(prompt.c_str(), answer, static_cast<int>(sizeof answer));
    switch (answer[0]) {
    case 'y':
    case 'Y':
    case 'o':
    case 'O':
        return 1;
    case 'a':
    case 'A':
        return flag == 2 ? 2 : 3;
    default:
        return 3;
    }
}

FILE *FILE_open(const char *file, const char *access) {
    if (!file || !access) return nullptr;
    if (FILE_is_stdio(file)) return access[0] == 'r' ? stdin : stdout;
    if (file[0] == '|') {
        // Buffered output of ours must come before the command's.
        std::fflush(nullptr);
        const bool writing = access[0] != 'r';
        // The command starts with the program's own SIGPIPE handling.
        if (write_pipes > 0) sigaction(SIGPIPE, &pipe_action_before, nullptr);
        FILE *p = ::popen(file + 1, writing ? "w" : "r");
        if (write_pipes > 0) ignore_sigpipe(nullptr);
        if (p) {
            pipes.emplace(p, writing);
            if (writing) hold_sigpipe();
        }
        return p;
    }
    std::string name = files_int::user_path(file);
    if (access[0] == 'w' || access[0] == 'a') {
        std::string dir = name;
        FILE_make_dir(dir.data(), 1);
    }
    return std::fopen(name.c_str(), access);
}

int FILE_close(FILE *stream) {
    if (!stream) return -1;
    if (stream == stdin || stream == stdout || stream == stderr) {
        if (stream != stdin) std::fflush(stream);
        return 0;
    }
    auto it = pipes.find(stream);
    if (it != pipes.end()) {
        const bool writing = it->second;
        pipes.erase(it);
        int status = ::pclose(stream);
        if (writing) release_sigpipe();
        if (status == -1 || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    return std::fclose(stream);
}

int FILE_close_output(FILE *stream) {
    if (!stream) return -1;
    const bool write_failed = std::fflush(stream) != 0 || std::ferror(stream) != 0;
    const int closed = FILE_close(stream);
    return write_failed || closed != 0 ? -1 : 0;
}

int FILE_type(const char *filename) {
    if (!filename) return -1;
    FILE *f = FILE_open(filename, "r");
    if (!f) {
        // A suffix from the first '-' on is not part of the file name.
        const char *dash = std::strchr(filename, '-');
        if (!dash) return -1;
        std::string cut(filename, static_cast<std::size_t>(dash - filename));
        f = FILE_open(cut.c_str(), "r");
        if (!f) return -1;
    }
    char head[10];
    std::size_t n = std::fread(head, 1, sizeof head, f);
    FILE_close(f);
    for (const Magic &m : magic_words)
        if (n >= m.len && std::memcmp(head, m.word, m.len) == 0) return m.type;
    return -1;
}
