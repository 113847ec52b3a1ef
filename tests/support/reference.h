// Test support: independent reference computations run as separate programs
// (Python with NumPy/SciPy, PROJ's tools, od), their output read back.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/child.h"

namespace zeqtest {

// Runs a shell command and returns everything it wrote to standard output;
// a command that cannot start or ends with a non-zero status fails the test.
inline std::string run_command(const std::string &cmd) {
    std::string text;
    FILE *p = popen(cmd.c_str(), "r");
    if (p == nullptr) {
        ADD_FAILURE() << "cannot run " << cmd;
        return text;
    }
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << cmd;
    return text;
}

// Runs a Python script with `input` on its standard input and returns its
// output. `packages` names the Debian packages the script needs, for the
// failure message when the system Python is missing.
inline std::string run_python(const std::string &script, const std::string &input,
                              const char *packages = "python3-numpy") {
    const char *py = "/usr/bin/python3";
    if (access(py, X_OK) != 0) {
        ADD_FAILURE() << "the reference needs " << py << " (Debian packages python3, " << packages << ")";
        return {};
    }
    TempDir dir;
    write_file(dir.file("ref.py"), script);
    write_file(dir.file("in.txt"), input);
    return run_command(std::string(py) + " " + dir.file("ref.py") + " < " + dir.file("in.txt"));
}

// The lines of a text, without their line feeds.
inline std::vector<std::string> text_lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// A line "name v v v ...\n" of floats written so that they read back exactly,
// as input for a reference script.
inline std::string numbers_line(const std::string &name, const std::vector<float> &values) {
    std::string line = name;
    char buf[32];
    for (float v : values) {
        std::snprintf(buf, sizeof buf, " %.9g", static_cast<double>(v));
        line += buf;
    }
    return line + "\n";
}

// Lines "name v v v ..." read into a map from name to numbers.
inline std::map<std::string, std::vector<double>> named_numbers(const std::string &text) {
    std::map<std::string, std::vector<double>> out;
    for (const std::string &line : text_lines(text)) {
        std::istringstream in(line);
        std::string name;
        in >> name;
        double x;
        while (in >> x)
            out[name].push_back(x);
    }
    return out;
}

} // namespace zeqtest
