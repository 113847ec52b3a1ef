// The data-source record and the generic data driver: the reports of any
// point-data source gathered into station arrays, analysed onto the grid
// table, function grids computed and grid files written.
#pragma once

#include "fields/zeqcty.h"
#include "fields/zeqgrd.h"
#include "plot/zeqraw.h"
#include "runtime/zeq.h"

// A data program's description of its source: the frame being drawn, the
// date and domains, and the callbacks that read, locate and value its reports.
struct DATA_info {
    int plot;          // frame number (0 for the first file of a sequence)
    int model;         // model number of time labels; -9999: grid labels take 1
    Date date;         // data date: file names, labels and grid file headers
    int (*out_raw)();  // point-data output wanted (sets the point-data name convention)
    int (*out_grid)(); // grid file type: 0 none, 2 text, 3 binary, 11 netCDF (sets the convention)
    Domain domain;     // plot domain: read_report places stations in its plane
    Domain grd_domain; // analysis domain, filled by DATA_setup_grid
    void *report;      // the source's report buffer
    // Fills the variable's units with the source's own when empty; 1 when known.
    int (*get_var)(VAR_data *var);
    // Reads the next report and locates its station: <0 end, 0 skip, >0 use.
    int (*read_report)(void *report, CTY_locate *loc);
    // Restarts reading at the first report.
    void (*rewind)();
    // The variable's value for the current report into item; 1 when known.
    int (*get_data)(void *report, VAR_data *var, RAW_data *item);
    // Draws variable-list entry ind itself; non-zero when drawn.
    int (*plot_data)(int ind);
    // Makes the grids of the frame.
    int (*grid_data)(DATA_info *data);
    // Event callback of the frame's contour and vector plots.
    void (*callback)(int kind, const char *event, float x, float y);
};

// ---- Station arrays -------------------------------------------------------------------

// Station arrays for lim stations (800 when not positive) with dim
// coordinates (1 x, 2 x and y, 3 x, y and z), no fields; resets the analysis
// parameters. 0; -1 (no arrays) when memory runs out.
int DATA_init(int lim, int dim);
// Gathers field fld (a variable-list index) with the entry vardata (copied
// into the list unless it is that entry). 0; -1 (field not gathered, warned)
// when memory runs out.
int DATA_add_field(int fld, const VAR_data *vardata);
// 1 when field fld is gathered.
int DATA_chk_field(int fld);
// Stores the position of station sta (x, then y and z as the dimension asks);
// at the capacity all arrays grow by 400 ("Increasing arrays to %d"). 0; -1
// when the arrays cannot grow (warned; the station is not stored).
int DATA_add_loc(int sta, ...);
// Stores the item's two values as station sta's values of field fld. 0.
int DATA_add_raw(int sta, int fld, const RAW_data *data);
// Fills item with station sta's position and its values of field fld, with
// the entry's type and plot format (cut to fit). 1; 0 outside the stored
// stations and fields.
int DATA_get_raw(int sta, int fld, RAW_data *data);
int DATA_get_num_stats();
int DATA_inc_num_stats(int inc);
// Analyses the first values of the gathered fields onto the grid slots of the
// same indices; the positions become grid coordinates. 0.
int DATA_object_analyze();
// Releases the station arrays. 0.
int DATA_free();
// One line "x y = u v" of field 0 per station on standard output. 0.
int DATA_print();

// ---- The driver ------------------------------------------------------------------------

// Clears the fitted mark and the source of every grid slot. 0.
int DATA_new_grid();
// Prepares the grid slots of the variable list (existing grid files of the
// analysis domain are read instead): 1 when some grid is to be analysed from
// the stations, else 0.
int DATA_setup_grid(DATA_info *data);
// Gathers the positions and values of every usable report. 0.
int DATA_get_data(DATA_info *data);
// Makes the grids once per fitted mark (data->grid_data) when the list holds
// a station-fitted grid. 0.
int DATA_fit_grid(DATA_info *data);
// Writes every grid of the list in the type data->out_grid chooses. 0.
int DATA_save_grid(DATA_info *data);
