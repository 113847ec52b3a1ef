// Records of the station database: a station as read from the station file,
// and a station placed in a plot domain.
#pragma once

// One station of the station file.
struct CTY_data {
    char name[21];  // station name, one word (blanks written as '_')
    char state[3];  // state or province code
    char region[3]; // country code; "B_" marks stations whose WMO key carries the prefix 'b'
    char id[10];    // identifier; '-' as second character: the station has no letter identifier
    int prior;      // priority number, 0 (most important) to 9
    char mos;       // ' ' or '*'
    char ua;        // ' ' or '*' (an upper-air station)
    float lat;      // degrees north
    float lon;      // degrees east
    float el;       // elevation; -9999 missing
    int wmo;        // WMO station number; 99999 none
    int num;        // a count carried with the station
};

// A station placed in a plot domain.
struct CTY_locate {
    char id[11]; // the identifier chosen by the identifier kind
    int wmo;     // WMO station number
    float x;     // position in the plane of the domain of the store
    float y;
    float el; // elevation
    int pr;   // priority number
};

// What CTY_getinfo reports about the open station file.
struct CTY_info {
    int dtype; // the file type given when the file was opened
};
