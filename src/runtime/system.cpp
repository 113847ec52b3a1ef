#include "runtime/system.h"

#include <cstdio>
#include <cstdlib>

const char *ZEQ_version() { return "5.60.2-LINUX-X11"; }

void ZEQ_exit(int status)
{
    std::fflush(nullptr);
    std::exit(status);
}
