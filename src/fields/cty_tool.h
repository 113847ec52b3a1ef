// The station database: look-ups in the station file and the table of
// stations placed in a plot domain.
#pragma once

// Looks the station `id` up in the station file `city_file` (the resource
// city_file, when set, names the file instead); 1 with its position in `lat`
// and `lon`, 0 when not found (outputs untouched).
int CTY_get_loc(const char *city_file, const char *id, float *lat, float *lon);
