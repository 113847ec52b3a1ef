// Paths, file tests, opening and the system's own file types, and which
// names may open a command or a file that is not regular.
// File-static state: the open pipes, the SIGPIPE handling while writing into
// one, the trust mode, the registered user and data texts, and the last file
// read.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files.h"
#include "runtime/files_int.h"
#include "runtime/flag.h"
#include "runtime/mess.h"
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

// ---- Where names come from ----

int trust_mode = FILE_TRUST_USER;

// A registered text; `source` is empty for the user's texts.
struct Registered {
    std::string text;
    std::string source;
};
std::vector<Registered> user_texts;
std::vector<Registered> data_texts;
// The last regular file opened for reading: a name refused while, or just
// after, it was read most likely came out of it.
std::string last_read;

// Where a name may begin and end to be a whole item of a registered text.
bool item_start(char c) {
    return c == ',' || c == '\n' || c == '=';
}
bool item_end(char c) {
    return c == ',' || c == '\n';
}

// Where `name` stands in `text`: 2 a whole item, 1 within it, 0 not at all.
int stands_in(const std::string &text, std::string_view name) {
    if (name.empty()) return 0;
    int found = 0;
    for (std::size_t p = text.find(name); p != std::string::npos; p = text.find(name, p + 1)) {
        const std::size_t end = p + name.size();
        if ((p == 0 || item_start(text[p - 1])) && (end == text.size() || item_end(text[end]))) return 2;
        found = 1;
    }
    return found;
}

bool given_by_user(const char *file) {
    if (trust_mode == FILE_TRUST_ALL) return true;
    if (trust_mode == FILE_TRUST_NONE || file == nullptr) return false;
    for (const Registered &r : user_texts)
        if (stands_in(r.text, file) == 2) return true;
    return false;
}

// Where a refused name came from, as the warning says it.
std::string source_of(const char *file) {
    if (trust_mode == FILE_TRUST_NONE) return "commands and special files are off";
    for (const Registered &r : data_texts)
        if (stands_in(r.text, file) != 0) return "read from " + r.source;
    int by_user = 0;
    for (const Registered &r : user_texts)
        by_user = std::max(by_user, stands_in(r.text, file));
    if (by_user == 2) return "given by the user";
    if (by_user == 1) return "part of a longer text given by the user";
    if (!last_read.empty()) return "read from " + last_read;
    return "read from data";
}

void refuse(const char *caller, const char *what, const char *file) {
    // The message may itself open a log file that is refused: say it once.
    static bool saying = false;
    if (saying) return;
    saying = true;
    MESS_print(M_WARN, "%s: %s: %s (%s)\n", caller, what, file, source_of(file).c_str());
    saying = false;
}

// Opens the expanded `name` for reading (access "r" or "r+", with or without
// "b") only when it is a regular file. The test is made
// on the open descriptor, opened without blocking, so that a FIFO put in
// place of a file can neither block the open nor slip in after a test by
// name. Null (errno set) when it cannot be opened; `special` tells that it
// opened but is no regular file.
FILE *open_regular(const std::string &name, const char *access, bool &special) {
    special = false;
    const int flags = std::strchr(access, '+') != nullptr ? O_RDWR : O_RDONLY;
    const int fd = ::open(name.c_str(), flags | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        special = true;
        ::close(fd);
        return nullptr;
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl != -1) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    FILE *f = ::fdopen(fd, access);
    if (f == nullptr) ::close(fd);
    return f;
}

// Remembers a regular file opened for reading as the last data read.
void note_read(const char *file, const char *access, FILE *f) {
    struct stat st;
    if (f != nullptr && access[0] == 'r' && ::fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode))
        last_read = file;
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
    return FILE_open_regular(name.c_str(), "FILE_open_table");
}

FILE *FILE_open_regular(const char *file, const char *caller) {
    if (file == nullptr || file[0] == '\0' || FILE_is_stdio(file)) return nullptr;
    if (file[0] == '|') {
        refuse(caller, "Not a regular file", file);
        return nullptr;
    }
    bool special = false;
    FILE *f = open_regular(files_int::user_path(file), "r", special);
    if (special) refuse(caller, "Not a regular file", file);
    note_read(file, "r", f);
    return f;
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
    const bool users = given_by_user(file);
    if (file[0] == '|') {
        if (!users) {
            refuse("FILE_open", "Command not run, the name does not come from the user", file);
            return nullptr;
        }
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
    // Writing goes where it is told; reading a name from data takes only a
    // regular file.
    if (users || access[0] != 'r') {
        FILE *f = std::fopen(name.c_str(), access);
        note_read(file, access, f);
        return f;
    }
    bool special = false;
    FILE *f = open_regular(name, access, special);
    if (special) refuse("FILE_open", "Not a regular file, the name does not come from the user", file);
    note_read(file, access, f);
    return f;
}

int FILE_set_trust(int mode) {
    const int before = trust_mode;
    if (mode == FILE_TRUST_USER || mode == FILE_TRUST_ALL || mode == FILE_TRUST_NONE) trust_mode = mode;
    return before;
}

int FILE_user_text(const char *text) {
    if (text == nullptr || text[0] == '\0' || trust_mode == FILE_TRUST_NONE) return 0;
    for (const Registered &r : user_texts)
        if (r.text == text) return 0;
    user_texts.push_back({text, {}});
    return 0;
}

int FILE_data_text(const char *text, const char *source) {
    if (text == nullptr || text[0] == '\0' || trust_mode == FILE_TRUST_NONE) return 0;
    // These serve the messages only: a bounded number, the latest kept.
    constexpr std::size_t kept = 1000;
    if (data_texts.size() >= kept) data_texts.erase(data_texts.begin());
    data_texts.push_back({text, source ? source : "data"});
    return 0;
}

int FILE_user_name(const char *file) {
    return given_by_user(file) ? 1 : 0;
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
