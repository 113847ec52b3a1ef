// Domains, domain texts, regions and the region prompt.
//
// A domain text is a comma-separated list: [proj[:e][:plat[:plon[:p0..p3]]]],
// clat, clon [,nx,ny] [,dx[,dy]] in one of a fixed set of positional forms,
// "size,nx,ny", "id:STATION" (or "id:FILE:STATION") for the centre, or a
// region: an abbreviation of the region file, a built-in region, "fi:FILE"
// (the first region of FILE), "FILE:NAME" or "FILE:" (load FILE as the region
// menu).
#pragma once

#include <cstddef>

#include "fields/zeqgrd.h"

// ---- The domain record and its text ----------------------------------------

// Every field missing (-9999), `ellipse` 0; returns 0.
int DOM_init(Domain *domain);
// 1 when the two domains describe the same grid, else 0. A missing reference
// point equals the other side's reference point when that is this side's centre.
int DOM_comp(const Domain *dom1, const Domain *dom2);
// 1 when the two have the same projection (number, reference point,
// parameters, ellipsoid), else 0.
int DOM_comp_proj(const Domain *dom1, const Domain *dom2);
// Projection number of a projection word (matched by prefix, any case); -1
// for null or an unknown word, -9999 for "miss".
int DOM_proj_str(const char *proj);
// True for the map projections (numbers 1 to 9), whose plane is a map of
// the earth; the other numbers are diagrams and plain grids.
inline bool is_map_proj(int proj) {
    return proj >= 1 && proj <= 9;
}
// The largest grid a domain may describe: points each way and in all.
inline constexpr int DOM_MAX_SIDE = 100000;
inline constexpr long long DOM_MAX_POINTS = 100000000;

// Parses a domain text into `domain`: 1 explicit domain, 2 region, -1
// invalid (with a warning), -9999 empty or "miss". For 1, 2 and -1 flag slot
// 5 takes the result and the station priority level follows the domain's
// north-south extent. A domain that cannot be drawn is invalid: one without a
// centre (as "none" or a projection word alone gives), with a size below 1
// or above DOM_MAX_SIDE each way (DOM_MAX_POINTS in all), a spacing of 0 or
// below, a coordinate that is not finite, a latitude beyond 90 degrees or a
// map longitude beyond 360. A size command ("size,nx,ny") needs only its
// size; a region item that loads a region menu ("FILE:") stays all missing.
int DOM_decode(const char *str, Domain *domain);
// Fills `domain` with the built-in region `region` ("us", "ne", "at", "se",
// "mw", "sp", "nw", "sw", or "var", which asks for the centre: in batch mode
// nobody answers and the centre stays missing); 1 when it names one, else 0
// (the domain then holds the built-in size and spacing).
int DOM_get_def_region(const char *region, Domain *domain);
// Prints the domain in one line at message kind `mess` (nothing when that
// kind is off); returns 0.
int DOM_print(M_type mess, const Domain *domain);
// (nx - 1)/(ny - 1); 1 when nx or ny is not above 1.
float DOM_aspect(const Domain *domain);

// ---- Station priority level -------------------------------------------------

// Sets the level from a north-south extent in plane units (larger domains,
// fewer stations), then applies the resource stat_prior ("+N", "-N" or "N",
// one digit); returns 0.
int DOM_set_base_prior(float size);
int DOM_set_prior(int prior); // returns 0
int DOM_get_prior();
// The priority number of a report whose station is not in the station file.
int DOM_set_loc_prior(int prior); // returns 0
int DOM_get_loc_prior();

// ---- Region file, region menu and the region prompt ---------------------------
// Region files are found along the resource file_path (the build's data
// directory when it is unset). One region a line: ABBR (at most 5
// characters), DESC (one word, '_' for blanks, at most 20 characters shown),
// DISP (1 shown in the menu, 0 not) and the domain text (at most 79
// characters). Blank lines and lines beginning with '#' are passed over.

// Loads rows 1..19 of the region menu from `file`; 1 when read, 0 when it
// cannot be opened (the menu stays as it was).
int DOM_read_menu(const char *file);
// Copies the domain text of region `str` (any case), or with `str` null the
// domain text of the first usable line (a line of one token is a domain text
// on its own), into `domstr` (`size` bytes); 1 found, 0 not.
int DOM_search_file(const char *file, const char *str, char *domstr, std::size_t size);
// Lists the regions of `file` (abbreviation and description); returns 0.
int DOM_print_file(const char *file);
// Domain from the resources plot_domain (flag 1, 3 or 4), else region, else
// (flag 4) the first region of the menu; the decode result, 0 when none is set.
int DOM_get_region(Domain *domain, int flag);
// Domain of the analysis grid: the first set of grid_domain, region,
// plot_domain; the decode result, 0 when none is set.
int DOM_get_grid_domain(Domain *domain);
// The plot domain for the main loop, from plot_domain (flag 1), region, the
// first region of the menu in batch mode, or the region menu: 1 or 2 a domain
// was decoded, -9999 ask again, 0 nothing more to do. A domain from a resource
// or the batch default is used once. Ends the program with status 43 when a
// resource or the batch default is invalid, when batch mode finds no region,
// or after five unusable answers; with status 0 on the menu's exit entry.
int DOM_prompt_region(Domain *domain, int flag);
// Re-arms (1) or ends (0) the region prompt; returns 0.
int DOM_set_prompt_region(int val);
// The description of row `region` of the loaded menu; null outside it.
const char *DOM_get_region_name(int region);
