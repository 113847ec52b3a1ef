// Domains, domain texts, regions and the region prompt.
#pragma once

#include "fields/zeqgrd.h"

// Parses a domain text into `domain`: 1 explicit domain, 2 region, -1
// invalid, -9999 empty or "miss".
int DOM_decode(const char *str, Domain *domain);

// The plot domain for the main loop: 1 or 2 a domain was decoded, -9999 ask
// again, 0 nothing more to do, -1 no usable answer.
int DOM_prompt_region(Domain *domain, int flag);
