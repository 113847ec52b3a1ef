// Test support: netCDF fixtures compiled from CDL with ncgen, and ncdump
// output, through the netCDF tools (Debian package netcdf-bin).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/reference.h"

namespace zeqtest {

inline bool have_netcdf_tool(const char *tool) {
    const std::string path = std::string("/usr/bin/") + tool;
    if (access(path.c_str(), X_OK) == 0) return true;
    ADD_FAILURE() << path << " is missing (Debian package netcdf-bin)";
    return false;
}

// Compiles the CDL fixture tests/data/<cdl> into out as a netCDF file of the
// given kind ("classic", "nc4", ...); false when ncgen fails.
inline bool compile_cdl(const std::string &cdl, const std::string &out, const char *kind = "classic") {
    if (!have_netcdf_tool("ncgen")) return false;
    const std::string cmd = std::string("/usr/bin/ncgen -k ") + kind + " -o '" + out + "' '" + ZEQ_TEST_DATA +
                            "/" + cdl + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    EXPECT_EQ(rc, 0) << cmd;
    return rc == 0;
}

// ncdump's text of a file with the given options ("-h", "-v T", ...).
inline std::string ncdump(const std::string &file, const std::string &options = "") {
    if (!have_netcdf_tool("ncdump")) return {};
    return run_command("/usr/bin/ncdump " + options + " '" + file + "'");
}

} // namespace zeqtest
