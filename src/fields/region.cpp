#include "fields/region.h"

// Stands in for the domain comparison until the region module is built: no two domains are found equal.
int DOM_comp(const Domain *, const Domain *) { return 0; }

// Stands in for the projection-word table until the region module is built: no word is known.
int DOM_proj_str(const char *) { return -1; }

// Stands in for the domain printer until the region module is built: nothing is printed.
int DOM_print(M_type, const Domain *) { return 0; }

// Stands in for the domain-text decoder until it is built: nothing decoded.
int DOM_decode(const char *, Domain *) { return MISSING; }

// Stands in for the region prompt until it is built: no region, nothing more to do.
int DOM_prompt_region(Domain *, int) { return 0; }
