#include "fields/region.h"

// Stands in for the domain-text decoder until it is built: nothing decoded.
int DOM_decode(const char *, Domain *) {
    return MISSING;
}

// Stands in for the region prompt until it is built: no region, nothing more to do.
int DOM_prompt_region(Domain *, int) {
    return 0;
}
