// Test support of the upper-air tests: the NumPy port of the parcel ascent
// (parcel_port.py) run on an input, and the values it prints compared with
// the library's.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "support/reference.h"
#include "upperair/zequpa.h"

namespace upatest {

// Values by case name and key, as the port prints them.
using PortValues = std::map<std::string, std::map<std::string, double>>;

// The keys of a parcel record.
inline std::map<std::string, double> parcel_values(const PARCEL_params &pp) {
    return {{"Satad", pp.Satad}, {"plcl", pp.plcl},   {"tlcl", pp.tlcl},     {"cap", pp.cap},
            {"lfc", pp.lfc},     {"el", pp.el},       {"mpl", pp.mpl},       {"Bel", pp.Bel},
            {"Bmpl", pp.Bmpl},   {"Bplus", pp.Bplus}, {"Bminus", pp.Bminus}, {"wmax", pp.wmax}};
}

// The port's input block of a sounding ("SND n" and "p h t td" lines).
inline std::string sounding_block(const UPA_level *lev, int num) {
    std::string out = "SND " + std::to_string(num) + "\n";
    char buf[128];
    for (int i = 0; i < num; ++i) {
        std::snprintf(buf, sizeof buf, "%.9g %.9g %.9g %.9g\n", double(lev[i].p), double(lev[i].h),
                      double(lev[i].t), double(lev[i].td));
        out += buf;
    }
    return out;
}

// Runs the port on input and compares each value it prints with
// got[name][key]: levels (plcl, lfc, el, mpl) within 0.1 mb, the others
// within 1e-3 relative, -9999 and -1 exactly. The number of values compared.
inline std::size_t compare_with_port(const std::string &input, PortValues &got) {
    const std::string script =
        zeqtest::read_file(std::string(ZEQ_SOURCE_DIR) + "/tests/upperair/parcel_port.py");
    const std::string out = zeqtest::run_python(script, input);
    std::size_t compared = 0;
    for (const std::string &line : zeqtest::text_lines(out)) {
        std::istringstream in(line);
        std::string name, key;
        double want = 0;
        if (!(in >> name >> key >> want) || got[name].count(key) != 1) {
            ADD_FAILURE() << "unexpected port line: " << line;
            continue;
        }
        const double value = got[name][key];
        const bool level = key == "plcl" || key == "lfc" || key == "el" || key == "mpl";
        if (want == -9999 || want == -1)
            EXPECT_EQ(value, want) << name << " " << key;
        else
            EXPECT_NEAR(value, want, level ? 0.1 : 1e-3 * std::max(1.0, std::fabs(want)))
                << name << " " << key;
        ++compared;
    }
    return compared;
}

} // namespace upatest
