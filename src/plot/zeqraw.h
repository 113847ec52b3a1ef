// Records of point data: one plottable item at a station, one station record
// of a point-data file, the file's header, and the designator by which the
// point-data operations address a field.
#pragma once

#include "graphics/zeqgks.h"
#include "runtime/zeq.h"

// One plottable point item. -9999 marks a missing position or value.
struct RAW_data {
    float x; // position in the plane of the current projection
    float y;
    int type;        // plot type code of the item (1 data, 2 value, 3 text, 4 mark, 5 int, 21 vect,
                     // 22 barb, 23 strm, 31 cloud, 32 wbarb, 33 cbarb, 34 dbarb, 35 vbarb, 36 symb, 37 line)
    Gattribs attr;   // attributes of this item; unset fields take the plotter's current ones
    char format[80]; // plot format tokens of this item, colon-separated
    char data[40];   // text of the item (text, marker or symbol name, weather or cloud code)
    float value[2];  // the value, or direction and speed for the pair kinds
};

// One station record of a point-data file.
struct RAW_report {
    char id[30];     // identifier, the first token of the line
    int type;        // read in the each-field mode: index of the field delivered; written: plot type code
    int wmo;         // numeric value of an identifier longer than 4 characters (else left as it was)
    float lat;       // latitude, or the pressure of a file whose second location column is one
    float lon;       // longitude
    float elev;      // elevation (not touched by the reader)
    int prior;       // priority (not touched by the reader)
    float value[2];  // the field's value, or the two numbers of a pair "a,b"
    char data[30];   // the field's text as read
    char format[40]; // the field list's format and the token's own, joined by ':'
};

// The header of a point-data file.
struct RAW_info {
    char datim[50];    // date label line
    char info[50];     // information line
    char file[20];     // file name
    char cmdline[160]; // command line
    Date date;         // decoded from datim
    int num_stat;      // number of stations; -9999 after a header is read
};

// Number of open point-data files.
inline constexpr int RAW_NUM_FILE = 5;
// Entries of a field list.
inline constexpr int RAW_NUM_FIELD = 75;

// A field designator: an integer code or a field name. -9999 designates no
// field. In the field-table operations code c is field index c - 7 (10 the
// first field after id, lat and lon; codes below 7 no field); in the reader 1
// is the each-field mode, 2 the id column and 10 to 75 data column c - 10. A
// name designates the field of that name (an entry stored as "-name" answers
// to it too); a null name is no field.
struct RAW_field {
    int code = MISSING;
    const char *name = nullptr;
    constexpr RAW_field() = default;
    constexpr RAW_field(int c) : code(c) {}
    constexpr RAW_field(const char *n) : name(n) {}
};

// Reader codes.
inline constexpr int RAW_EACH_FIELD = 1;
inline constexpr int RAW_ID_FIELD = 2;
inline constexpr int RAW_COLUMN = 10; // code of data column 0
