// Records shared by the variable, grid and geography modules and their users.
#pragma once

#include "runtime/zeq.h"

// Projection and grid geometry shared by maps, grids and diagrams.
struct Domain {
    int proj;       // projection number; -9999 none
    float plat;     // latitude of the pole or reference point
    float plon;     // reference (central) longitude
    float param[5]; // projection parameters (true latitudes, satellite distance, grid scale ...)
    float clat;     // centre latitude
    float clon;     // centre longitude
    float dx;       // grid spacing: units of 100 km, degrees for latitude-longitude
    float dy;
    int nx;      // grid points along x (columns)
    int ny;      // grid points along y (rows)
    int ellipse; // 0 sphere, 1 ellipsoid
};

// One entry of the variable list: what one plot item draws, as parsed from a
// variable specification. The entry's index is also its grid slot.
struct VAR_data {
    int type;         // plot type code (1-5 station kinds, 6 map, 7 frame, 8 panel,
                      // 10-17 contour kinds, 20-23 vector kinds, 30 plot,
                      // 31-37 point symbol kinds, 40 const); -9999 unset
    char name[20];    // name as written (abbreviation, function, group or control word)
    char units[15];   // units the values are shown in; empty: the data's own
    int var[5];       // parameter numbers; var[0] carries ensemble and probability codes
    int tstat;        // how the time was set: 0 not a time, 1 default, 2 explicit
    int time;         // statistic*1000000 + start*1000 + end (hours); -9999 missing
    char tunits[5];   // time units text (not used by the variable module)
    int lstat;        // how the level was set, as tstat
    int ltype;        // level type (GRIB edition 1 with local extensions); -9999 missing
    int level;        // level value; a layer packs its two bounds
    char lunits[5];   // level units text (not used by the variable module)
    char format[101]; // plot options joined by ':'
    int flag;         // function depth * 10 + kind
};

// Number of entries of the variable list (and of slots of the grid table).
inline constexpr int VAR_MAX = 60;

// One gridded field: what it is, the geometry of its grid and its values.
// The value array holds nx*ny floats, row-major with x (east) fastest and row 0
// the northernmost; element (i, j) is grid[j*nx + i]; -9999 marks a missing
// value. The array belongs to the record that allocated it (GRD_alloc or the
// grid-file reader) and is released with GRD_free; plain record copies share it.
struct GRD_report {
    int type;       // grid number (GRIB grid number or the type a search asks for); 0 none
    int source;     // creation source (originating centre, 1 the analysis); 0 no data yet
    int version;    // grid encoding version
    char datim[50]; // date/time label; empty until made
    char info[70];  // description label: time and level words, name and " (units)"
    Date date;      // reference date and time
    int model;      // model (generating process) number
    int ltype;      // level type; -9999 any or missing
    int level;      // level value (layers packed); -9999 any or missing
    int time;       // statistic*1000000 + start*1000 + end (hours); -9999 missing
    int var;        // parameter number; 0 derived without a number; -9999 missing
    char units[15]; // units of the values as the units table writes them
    Domain domain;  // projection and geometry of the grid
    float *grid;    // the values, or null
};

// The file-level header of a grid file.
struct GRD_info {
    char datim[40]; // date/time label of the file
    int max_x;      // nx
    int max_y;      // ny
    int grid_type;  // 0 for the grids this system writes
    Date date;      // date of the file
};
