// Report operations: emptying a surface report, gross checks, and comparing
// and merging two reports of one station.
#pragma once

#include "surface/zeqsfc.h"

// Empties the report: every number missing, type, num_cld and flag 0, code
// characters blank, texts empty and weather " ". Returns 0.
int SFC_initialize(SFC_report *report);

// Replaces physically impossible values by -9999 in place; a dew point above
// the temperature becomes the temperature. Returns 0.
int SFC_check_valid(SFC_report *report);

// Compares two reports by the categories 1 type, 2 time, 3 temperature and dew
// point, 4 pressures, 5 wind, 6 weather, 7 clouds, 8 visibility, 9 tendency,
// 10 precipitation, 11 extremes, 12 snow, 13 sunshine, 14 sea, 15 cloud types,
// 16 comment, printing one message per difference (message level 0x8000000);
// returns the first category that differs, 0 when they agree.
int SFC_compare(const SFC_report *rep1, const SFC_report *rep2);

// Merges into rep1 every value that rep2 has in the categories up to lev (the
// comment when lev is 16 or more), printing one message per change (message
// level 0x8000000). Returns 0.
int SFC_update(SFC_report *rep1, const SFC_report *rep2, int lev);
