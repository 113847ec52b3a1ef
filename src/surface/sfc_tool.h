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

// ---- Synoptic codes and the cloud summary ------------------------------------

// Letter code of a manned-station present weather ww, as WX_wmo_weather; the
// buffer holds WX_CODE_SIZE bytes. Returns 0.
int SYN_weather(int wx, char *wx_str);

// Letter code of an automatic-station present weather wawa, as
// WX_wmo_auto_weather. Returns 0.
int SYN_auto_weather(int wx, char *wx_str);

// Visibility in miles of a visibility code VV, the codes 90-99 included;
// -9999 for negative codes and codes above 99.
float SYN_visibility(int vis);

// Cloud-base height in feet of a cloud-base code h, as WX_wmo_cld_base.
float SYN_ceiling(int cb);

// The cloud-base code h (0-9) of a height in feet.
int SYN_ceiling_to_code(int cb);

// Summarises the cloud layers of a report into one cover character and its
// height (feet, -9999 missing): with several layers the kind of the last
// layer of few or more cloud, at the height of the layer that first raised
// the cover to scattered, then to broken or overcast (the ceiling); an
// obscured layer sets both; layers of no cover only make a clear sky. With
// no layer ' ' and -9999, with one layer that layer as it is; both return
// -1. Otherwise returns 0.
int WX_set_cloud(const SFC_report *report, char *cover, float *hght);
