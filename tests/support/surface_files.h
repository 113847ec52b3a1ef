// Test support: every report of a surface file, read through the surface
// file module as the plot driver reads them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "surface/sfc_read.h"

namespace zeqtest {

// Opens the file (type 0: detected), reads its header (its date label into
// *datim when given), rewinds and reads reports 0, 1, 2, ... to the end.
// A failed open or a type other than `expect_type` (when not 0) fails the test.
inline std::vector<SFC_report> read_surface_file(const std::string &name, int type, int expect_type = 0,
                                                 std::string *datim = nullptr) {
    std::vector<SFC_report> out;
    int t = type;
    if (SFC_open(name.c_str(), 0, &t) < 0) {
        ADD_FAILURE() << "cannot open " << name;
        return out;
    }
    if (expect_type != 0) {
        EXPECT_EQ(t, expect_type) << name;
    }
    SFC_info info;
    const int header = SFC_getinfo(0, &info);
    EXPECT_EQ(header, 0) << name;
    if (datim != nullptr) *datim = info.datim;
    SFC_rewind(0);
    SFC_report r;
    for (int n = 0; SFC_read(0, &r, 0, &n) == 0; ++n)
        out.push_back(r);
    SFC_close(0);
    return out;
}

} // namespace zeqtest
