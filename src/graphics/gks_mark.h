// Markers.
#pragma once

// Restores the marker attribute defaults. 0.
int greset_marker();
// Device set-up of markers for an initialisation kind. 0.
int ginit_marker(int type);
