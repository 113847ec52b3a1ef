// Coded frontal-position bulletins drawn on the current map: pressure centres
// as H and L with their pressures, cold, warm, occluded and stationary fronts
// as smooth curves with optional pips, troughs as dashed curves and tropical
// systems with a symbol and their name; one section (the analysis or a
// forecast hour) of a bulletin, or a stand-alone loop over a file sequence.
#pragma once

#include <cstdio>

#include "runtime/zeq.h"

struct Domain;

// Reads the bulletin and draws the wanted section (resource plot_param
// "hour:N"; the analysis by default) on the current map. An unreadable file
// gives a warning and draws nothing. 0.
int FRT_plot_file(const char *filename);
// The date the analysis section must match; null: the date of the file
// sequence's last file. 0.
int FRT_set_date(const Date *datim);
// Applies the front keywords of resource plot_param: "noprlab" (no pressures
// under the centres), "barb" (pips on fronts), "prrad:R" (half size in
// degrees of the box that thins the centres), "hour:N" (the section). 0.
int FRT_plot_param();
// Reads a spelled position ("THIRTY TWO POINT FIVE NORTH SEVENTY ONE WEST")
// from the file up to and including the first word that is not part of it;
// a coordinate never named keeps the caller's value. 0, or -1 at the end of
// the file.
int FRT_decode_locate(FILE *file, float *lat, float *lon);
// A coded position: latitude (2 digits, degrees north) and longitude (3
// digits, degrees west) read as "%2f%3f". 1 when both were read, else 0.
int decode_latlon(const char *text, float *lat, float *lon);
// The stand-alone driver, also its own zoom and resize function: every
// bulletin of the file sequence from the set date on the domain, one
// animation frame each when there are several. 0.
int FRT_plot(Domain *domain);
// The stand-alone driver's event callback: the position read-out, the zoom
// and the resize handlers in turn.
void FRT_callback(int type, const char *str, float x, float y);
