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
