// Test support of the plot tests: runs the plotting test driver
// (tests/plot/plot_driver.cpp, its path in PLOT_DRIVER) as a program of its
// own in a directory, with one entry point and resource arguments.
#pragma once

#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/child.h"

namespace zeqtest {

inline ChildResult run_plot_driver(const std::string &dir, const std::string &entry,
                                   const std::vector<std::string> &args, const ChildInput &input = {}) {
    return run_child(
        [&] {
            if (chdir(dir.c_str()) != 0) return 120;
            std::vector<char *> argv{const_cast<char *>(PLOT_DRIVER), const_cast<char *>(entry.c_str())};
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(PLOT_DRIVER, argv.data());
            return 121;
        },
        input, std::chrono::seconds(60));
}

} // namespace zeqtest
