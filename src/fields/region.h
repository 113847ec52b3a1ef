// Domains, domain texts, regions and the region prompt.
#pragma once

#include "fields/zeqgrd.h"

// 1 when the two domains describe the same grid, else 0.
int DOM_comp(const Domain *dom1, const Domain *dom2);
// Projection number of a projection word; -1 for null or an unknown word,
// -9999 for "miss".
int DOM_proj_str(const char *proj);
// Prints the domain in one line at message kind mess; returns 0.
int DOM_print(M_type mess, const Domain *domain);

// Parses a domain text into `domain`: 1 explicit domain, 2 region, -1
// invalid, -9999 empty or "miss".
int DOM_decode(const char *str, Domain *domain);

// The plot domain for the main loop: 1 or 2 a domain was decoded, -9999 ask
// again, 0 nothing more to do, -1 no usable answer.
int DOM_prompt_region(Domain *domain, int flag);
