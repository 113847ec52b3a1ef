// Records the plotting code shares with the graphics layer.
#pragma once

#include "graphics/gks.h"

// A bundle of drawing attributes carried from the plotting code to the
// drawing layer. -9999 in a field (-9999.0 for the floats) leaves that
// attribute as it is when the bundle is applied.
struct Gattribs {
    Gint color;    // colour index; -1 not drawn, -2 ends a colour list
    Gfloat width;  // line width (lines, markers, stroke text)
    Gfloat height; // character or marker height
    Gfloat expan;  // text expansion factor
    Gint style;    // line type or marker type
    Gint fill_pat; // fill pattern 0-19, 0 solid
    Gint font;     // font number
};
