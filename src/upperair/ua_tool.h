// Upper-air input tools: the input name convention, the one open input file
// with its date and date label, station listing, search and prompt, the
// vertical level menu and prompt; listings of reports and the rows of the
// sounding tables.
#pragma once

#include "runtime/zeq.h"
#include "upperair/zequpa.h"

// ---- Input file and date ------------------------------------------------------

// Selects the input name convention "upa_cvt" (flag slot 14 becomes 20), then
// each item of the resource in_file in turn: "upa" selects it again, any other
// item is a convention of its own; the last one wins. 0.
int UPA_in_file();
// Keeps the date of the input file: a copy of datim, or with null the date of
// the last file name. 0.
int UPA_set_date(const Date *datim);
// Copies the input file's date out; 0.
int UPA_get_date(Date *datim);
// Makes str (at most 39 characters kept) the date label of the current
// upper-air data set; 0.
int UPA_set_datim(const char *str);
// The current date label (empty until set).
const char *UPA_get_datim();

// Opens an upper-air file for reading as the input (its type detected), reads
// its header, keeps its date and date label, makes the label the upper-right
// plot label and prints "Date: ...". 1, or 0 with a warning when it cannot be
// opened.
int UPA_open_file(const char *filename);
// Goes back to the first station; the next UPA_read_station reads it. 0.
int UPA_rewind_file();
// Closes the input file; 0.
int UPA_close_file();

// ---- Stations ------------------------------------------------------------------

// Prints "Possible stations" and the identifiers of every station of the
// input file, 15 to a line. 0.
int UPA_list_stations();
// Reads the next station of the input file whole into report (the count moves
// on also when the read fails): 0, or -1 at the end of the file.
int UPA_read_station(UPA_report *report);
// Finds a station by identifier (any case) or, for a text that begins with a
// digit, by WMO number, and reads it whole into report. 1 found; 0 not found
// (with a warning).
int UPA_get_station(const char *id, UPA_report *report);
// Arms (1) or disarms (0) the station prompt; 0.
int UPA_set_prompt(int val);
// Chooses the station once: the resource identifier ("list" lists the
// stations and ends the program with status 0), else up to five answers to a
// prompt ("exit" ends the program with status 0). 1 when the station is read
// into report, 0 when it was chosen before; when none is found the program
// ends with status 31.
int UPA_prompt_station(UPA_report *report);

// ---- Levels ---------------------------------------------------------------------

// Arms (1) or disarms (0) the level prompt; 0.
int UPA_set_prompt_level(int val);
// Replaces the level menu by the rows of the menu file "<program>.lev" found
// along file_path: 1 when the file was read, 0 when there is none (the menu
// stays as it was).
int UPA_read_level_menu();
// Chooses the vertical level once: the resource level, "500" in batch mode,
// else the level menu ("exit" ends the program with status 0). Sets flag
// slots 8 (level) and 7 (level type) and the current level text. 1 when
// chosen; 0 when chosen before or the user went back.
int UPA_prompt_level();

// ---- Listings and table rows ---------------------------------------------------------
// Each prints through MESS_print on the message kinds given and returns 0.

// The date label and the station's identifier, WMO number, position and
// elevation (each only when known).
int UPA_print_locate(M_type mess, const UPA_report *report);
// The mandatory, significant and wind listings and a blank line.
int UPA_print_report(M_type mess, const UPA_report *report);
// The station line and one of the three listings (the wind listing is
// followed by a blank line).
int UPA_print_man(M_type mess, const UPA_report *report);
int UPA_print_sig(M_type mess, const UPA_report *report);
int UPA_print_wnd(M_type mess, const UPA_report *report);
// From now on missing values in UPA_print_level rows print as "-"; 0.
int UPA_set_miss_dash();
// The thermodynamic table: its header when level is null, else one row
// labelled by ind (-1 surface below 500 mb, -2 tropopause, -3 maximum wind,
// -4 parcel, -5 LCL, -6 LFC, -7 EL, -8 MPL, -9 wet-bulb zero, -10 freezing
// level; a level number otherwise). The basic columns go to mess1, the
// extended ones (dewpoint depression, wet bulb, potential temperatures,
// mixing ratio) to mess2.
int UPA_print_level(M_type mess1, M_type mess2, int ind, const UPA_level *level);
// The wind table: its header when level is null, else one row numbered ind
// with the wind and its components in m/s (mess1) and, when the storm motion
// is known, the storm-relative wind (mess2).
int UPA_print_wind(M_type mess1, M_type mess2, int ind, const UPA_level *level, const WIND *storm);
