// Upper-air input tools: the date label of the current upper-air data set.
// File-static state: that label.
#include "upperair/ua_tool.h"

#include <cstdio>

namespace {

// The date label that the sounding listings print.
char datim[40] = "";

} // namespace

int UPA_set_datim(const char *str) {
    std::snprintf(datim, sizeof datim, "%s", str != nullptr ? str : "");
    return 0;
}

const char *UPA_get_datim() {
    return datim;
}
