// Domain records: comparison, projection words and printing.
#pragma once

#include "fields/zeqgrd.h"

// 1 when the two domains describe the same grid, else 0.
int DOM_comp(const Domain *dom1, const Domain *dom2);
// Projection number of a projection word; -1 for null or an unknown word,
// -9999 for "miss".
int DOM_proj_str(const char *proj);
// Prints the domain in one line at message kind mess; returns 0.
int DOM_print(M_type mess, const Domain *domain);
