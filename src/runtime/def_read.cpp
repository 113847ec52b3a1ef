#include "runtime/def_read.h"

#include <cstdlib>
#include <string>

#include "runtime/resrc.h"

namespace {

// Names are kept to the lengths the matching subjects are built for.
constexpr std::size_t NAME_LEN = 29;

std::string prog_name = "Zeq";
std::string prog_title;

void copy_bounded(const char *src, char *dst, std::size_t size) {
    if (!dst || size == 0) return;
    std::size_t n = 0;
    for (; src && src[n] && n + 1 < size; ++n)
        dst[n] = src[n];
    dst[n] = '\0';
}

// The value of the environment variable `name`, or null.
const char *env_value(const std::string &name) {
    return name.empty() ? nullptr : std::getenv(name.c_str());
}

} // namespace

// Stands in for the defaults-file reader until it is built: no file opens.
int DEF_open(const char *) {
    return -1;
}

// Stands in for the defaults-file reader until it is built: nothing to close.
int DEF_close() {
    return 0;
}

// Stands in for the defaults-file reader until it is built: no lines.
int DEF_get(char *, std::size_t, char *, std::size_t) {
    return -1;
}

// Stands in for the defaults-line pattern matcher until it is built: no match.
int DEF_cmp(const char *, const char *) {
    return 0;
}

// Stands in for the defaults-line pattern matcher until it is built: no match.
int DEF_valid(const char *) {
    return 0;
}

// Stands in for the defaults-line name splitter until it is built: empty name.
int DEF_parse_name(const char *, char *ostr, std::size_t size) {
    copy_bounded("", ostr, size);
    return 1;
}

// Stands in for the defaults-file tag list until it is built: nothing kept.
int DEF_clr_tag() {
    return 0;
}

// Stands in for the defaults-file tag list until it is built: nothing kept.
int DEF_tag(const char *) {
    return 0;
}

int DEF_env(const char *resrc, const char *env, char *value, std::size_t size) {
    if (!resrc) return 0;
    std::string scoped;
    if (prog_title.empty())
        scoped = "zeq" + prog_name + "." + resrc;
    else if (prog_title[0] == '+')
        scoped = "zeq" + prog_name + "." + prog_title.substr(1) + "." + resrc;
    else
        scoped = "zeq" + prog_title + "." + resrc;

    const char *found = env_value(scoped);
    if (!found && env) found = env_value(env);
    if (!found) found = env_value(std::string("zeq") + resrc);
    if (!found) return 0;
    copy_bounded(found, value, size);
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
