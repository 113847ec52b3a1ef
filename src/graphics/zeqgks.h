// Records shared by the graphics layer and the plotting code above it: the
// drawing attribute bundle that plot settings fill and the GPH layer applies.
#pragma once

#include "graphics/gks.h"

// A drawing attribute bundle. In every field -9999 (-9999.0 for the floats)
// means unset: the attribute in force is left unchanged.
struct Gattribs {
    Gint color;    // colour index; -1 not drawn, -2 ends a colour list
    Gfloat width;  // line width of lines, markers and stroke text
    Gfloat height; // character or marker height, scaled by the GPH layer
    Gfloat expan;  // text expansion factor
    Gint style;    // line type or marker type
    Gint fill_pat; // fill pattern 0-19, 0 solid
    Gint font;     // font number, 1-based position in the font list
};

// Colour indices of colour and attribute lists: not drawn, end of a list.
inline constexpr Gint CLR_NONE = -1;
inline constexpr Gint CLR_END = -2;
