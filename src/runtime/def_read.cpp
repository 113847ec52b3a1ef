// Defaults files: reads resource lines scoped by program name, title and IF
// tags, and builds the program-scoped environment names of resources.
// File-static state: the program name and title, the IF tags and the IF
// stack, the open file and whether the running user holds it alone.
#include "runtime/def_read.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/resrc.h"
#include "runtime/string.h"

namespace {

// Program name and title are kept to this many characters.
constexpr std::size_t NAME_LEN = 29;
// Characters of a defaults line that are read; the rest of a longer line is dropped.
constexpr std::size_t LINE_LEN = 249;
constexpr std::size_t MAX_TAGS = 10;
constexpr std::size_t MAX_IF = 10;

// IF stack entries.
constexpr int IF_INACTIVE = 0; // no branch taken yet; the current one is inactive
constexpr int IF_ACTIVE = 1;   // the current branch is active
constexpr int IF_DONE = 99;    // a branch was taken; the rest of the IF is inactive

std::string prog_name = "Zeq";
std::string prog_title;

// Standard streams handed out for "-" and its kin stay open.
struct StreamCloser {
    void operator()(FILE *f) const {
        if (f && f != stdin && f != stdout && f != stderr) std::fclose(f);
    }
};
std::unique_ptr<FILE, StreamCloser> def_file;
std::string def_file_name;
// The open file is owned by the running user and no one else can write it:
// its values are the user's own (a command they name may run).
bool def_file_trusted = false;

std::vector<std::string> tags;

// The IF stack lives for the whole run, across files. Levels nested deeper
// than the stack are only counted; every line inside them is inactive.
std::vector<int> if_stack;
int if_overflow = 0;

// The value of the environment variable `name`, or null.
const char *env_value(const std::string &name) {
    return name.empty() ? nullptr : std::getenv(name.c_str());
}

// The text a line pattern is matched against for a resource name.
std::string subject(std::string_view resrc) {
    std::string s;
    if (prog_title.empty())
        s = prog_name;
    else if (prog_title[0] == '+')
        s = prog_name + "." + prog_title.substr(1);
    else
        s = prog_title;
    s += '.';
    s += resrc;
    return s;
}

// '*' takes the first occurrence of the literal segment after it (no other
// occurrence is tried); every other character must match exactly, and the
// pattern and the subject must end together.
bool match(const char *pat, std::string_view subj) {
    std::size_t s = 0;
    const char *p = pat;
    while (*p) {
        if (*p == '*') {
            ++p;
            const char *star = std::strchr(p, '*');
            std::size_t len = star ? static_cast<std::size_t>(star - p) : std::strlen(p);
            if (len == 0) {
                if (!star) return false; // a trailing '*' matches nothing
                continue;
            }
            std::size_t pos = subj.find(std::string_view(p, len), s);
            if (pos == std::string_view::npos) return false;
            s = pos + len;
            p += len;
        } else {
            if (s >= subj.size() || subj[s] != *p) return false;
            ++s;
            ++p;
        }
    }
    return s == subj.size();
}

// The text after the last '.' or '*', or null when there is neither.
const char *last_component(const char *str) {
    const char *dot = std::strrchr(str, '.');
    const char *star = std::strrchr(str, '*');
    const char *last = dot > star ? dot : star;
    return last ? last + 1 : nullptr;
}

bool tag_defined(const std::string &tag) {
    for (const auto &t : tags)
        if (stricmp(t.c_str(), tag.c_str()) == 0) return true;
    return false;
}

// Resource lines count only while every IF level is active.
bool lines_count() {
    if (if_overflow > 0) return false;
    for (int e : if_stack)
        if (e != IF_ACTIVE) return false;
    return true;
}

// Reads one line without its line feed, keeping at most LINE_LEN characters;
// false at the end of the file.
bool read_line(std::string &line) {
    line.clear();
    bool cut = false;
    int c;
    while ((c = std::getc(def_file.get())) != EOF && c != '\n') {
        if (line.size() < LINE_LEN)
            line += static_cast<char>(c);
        else
            cut = true;
    }
    if (c == EOF && line.empty() && !cut) return false;
    if (cut)
        MESS_print(M_WARN, "DEF_get: %s: line longer than %zu characters, the rest is ignored\n",
                   def_file_name.c_str(), LINE_LEN);
    return true;
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The first two blank-separated words of a line; a word is empty when absent.
// `second_at` is where the second word starts.
struct Words {
    std::string first;
    std::string second;
    std::size_t second_at = std::string::npos;
};

Words first_two_words(const std::string &line) {
    Words w;
    std::size_t i = 0;
    auto word = [&](std::string &out) {
        while (i < line.size() && blank(line[i]))
            ++i;
        std::size_t start = i;
        while (i < line.size() && !blank(line[i]))
            ++i;
        out = line.substr(start, i - start);
        return start;
    };
    word(w.first);
    std::size_t at = word(w.second);
    if (!w.second.empty()) w.second_at = at;
    return w;
}

void do_if(const std::string &tag) {
    if (if_overflow > 0 || if_stack.size() >= MAX_IF) {
        MESS_print(M_WARN, "DEF_get: IF nested deeper than %zu levels, treated as inactive\n", MAX_IF);
        ++if_overflow;
        return;
    }
    if_stack.push_back(tag_defined(tag) ? IF_ACTIVE : IF_INACTIVE);
}

void do_elif(const std::string &tag) {
    if (if_overflow > 0) return;
    if (if_stack.empty()) {
        MESS_print(M_WARN, "DEF_get: elif without an if\n");
        return;
    }
    int &top = if_stack.back();
    if (top != IF_INACTIVE)
        top = IF_DONE;
    else if (tag_defined(tag))
        top = IF_ACTIVE;
}

void do_else() {
    if (if_overflow > 0) return;
    if (if_stack.empty()) {
        MESS_print(M_WARN, "DEF_get: else without an if\n");
        return;
    }
    int &top = if_stack.back();
    top = top != IF_INACTIVE ? IF_DONE : IF_ACTIVE;
}

void do_end() {
    if (if_overflow > 0) {
        --if_overflow;
        return;
    }
    if (if_stack.empty()) {
        MESS_print(M_WARN, "DEF_get: end without an if\n");
        return;
    }
    if_stack.pop_back();
}

void do_undef(const std::string &tag) {
    for (auto it = tags.begin(); it != tags.end(); ++it) {
        if (stricmp(it->c_str(), tag.c_str()) == 0) {
            tags.erase(it);
            return;
        }
    }
}

// Handles a tag line; false when the line is not one.
bool tag_line(const Words &w) {
    const std::string &key = w.first;
    const std::string &tag = w.second;
    if (key == "ELSE") {
        do_else();
    } else if (key == "END") {
        do_end();
    } else if (key == "DEF") {
        if (!tag.empty() && tags.size() < MAX_TAGS) tags.push_back(tag);
    } else if (key == "UNDEF") {
        if (!tag.empty()) do_undef(tag);
    } else if (key == "IF") {
        if (!tag.empty()) do_if(tag);
    } else if (key == "ELIF") {
        if (!tag.empty()) do_elif(tag);
    } else {
        return false;
    }
    return true;
}

// The value of a resource line: the second word, or the text between a
// leading double quote and the next one (or the end of the line). Quotes with
// nothing between them stay as written.
std::string line_value(const std::string &line, const Words &w) {
    if (w.second[0] != '"') return w.second;
    std::size_t start = w.second_at + 1;
    std::size_t close = line.find('"', start);
    std::string quoted = line.substr(start, close == std::string::npos ? std::string::npos : close - start);
    return quoted.empty() ? w.second : quoted;
}

} // namespace

int DEF_open(const char *filename) {
    DEF_close();
    std::string name = filename && filename[0] ? filename : ".zeqdef";
    if (FILE_is_dir(name.c_str())) {
        std::string dir = name.back() == '/' ? name : name + "/";
        name = dir + "Zeq.res";
        for (const char *candidate : {"zeq.cfg", ".zeqdef"}) {
            if (FILE_exist((dir + candidate).c_str())) {
                name = dir + candidate;
                break;
            }
        }
    }
    // Only a regular file: a FIFO would block the start, a device never end.
    def_file.reset(FILE_open_regular(name.c_str(), "DEF_open"));
    if (!def_file) return -1;
    def_file_name = name;
    struct stat st;
    def_file_trusted = ::fstat(fileno(def_file.get()), &st) == 0 && st.st_uid == ::getuid() &&
                       (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    return 0;
}

int DEF_close() {
    def_file.reset();
    def_file_name.clear();
    def_file_trusted = false;
    return 0;
}

int DEF_trusted() {
    return def_file && def_file_trusted ? 1 : 0;
}

int DEF_get(char *resrc, std::size_t rsize, char *value, std::size_t vsize) {
    if (!resrc || rsize == 0 || !value || vsize == 0 || !def_file) return -1;
    std::string line;
    while (read_line(line)) {
        if (line.empty() || line[0] == '#') continue;
        Words w = first_two_words(line);
        if (w.first.empty()) continue;
        if (tag_line(w)) continue;
        if (w.second.empty() || !lines_count()) continue;

        std::string name = w.first;
        if (name.back() == ':') name.pop_back();
        for (char &c : name)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (name.size() >= rsize) {
            MESS_print(M_WARN, "DEF_get: %s: resource name longer than %zu characters, line ignored\n",
                       def_file_name.c_str(), rsize - 1);
            continue;
        }
        std::string val = line_value(line, w);
        if (val.size() >= vsize)
            MESS_print(M_WARN, "DEF_get: %s: value of %s longer than %zu characters, cut\n",
                       def_file_name.c_str(), name.c_str(), vsize - 1);
        copy_text(resrc, rsize, name.c_str());
        copy_text(value, vsize, val.c_str());
        if (def_file_trusted)
            FILE_user_text(value);
        else
            FILE_data_text(value, ("the defaults file " + def_file_name + ", not the user's alone").c_str());
        return 1;
    }
    return -1;
}

int DEF_cmp(const char *resrc, const char *string) {
    if (!resrc || !string) return 0;
    return match(string, subject(resrc)) ? 1 : 0;
}

int DEF_valid(const char *string) {
    if (!string) return 0;
    const char *comp = last_component(string);
    if (!comp) return 0;
    return match(string, subject(comp)) ? 1 : 0;
}

int DEF_parse_name(const char *str, char *ostr, std::size_t size) {
    const char *part = "";
    if (str && str[0]) {
        const char *comp = last_component(str);
        part = comp ? comp : str + 1;
    }
    copy_text(ostr, size, part);
    return 1;
}

int DEF_env(const char *resrc, const char *env, char *value, std::size_t size) {
    if (!resrc) return 0;
    const char *found = env_value("zeq" + subject(resrc));
    if (!found && env) found = env_value(env);
    if (!found) found = env_value(std::string("zeq") + resrc);
    if (!found) return 0;
    copy_text(value, size, found);
    FILE_user_text(value);
    return 1;
}

int DEF_prog() {
    if (!RES_get_prog()) return 0;
    char name[NAME_LEN + 1];
    RES_get_progname(name, sizeof name);
    prog_name = name;
    return 0;
}

int DEF_name(const char *name) {
    prog_title = std::string(name ? name : "").substr(0, NAME_LEN);
    return 0;
}

int DEF_title(const char *title) {
    return DEF_name(title);
}

int DEF_clr_tag() {
    tags.clear();
    return 0;
}

int DEF_tag(const char *str) {
    if (!str || tags.size() >= MAX_TAGS) return -1;
    tags.emplace_back(str);
    return 0;
}
