// Records of point data: one plottable item at a station.
#pragma once

#include "graphics/zeqgks.h"

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
