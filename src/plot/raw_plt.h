// Point plotting: one point item at a time on the current map (a number, a
// text, a marker, a sky cover circle, a wind barb or arrow, a storm track, a
// weather symbol, a line or a bar), drawn with the base attributes of the
// plot, the item's own attributes and the item's format tokens, coloured by
// the contour band of its value and filtered by a value range.
#pragma once

#include <cstddef>

#include "graphics/zeqgks.h"
#include "plot/zeqraw.h"
#include "runtime/zeq.h"

// The attributes a point item is drawn with.
struct RAW_attribs {
    Gattribs attrib; // colour, width, height, expansion, style, fill pattern, font
    float intrvl;    // contour interval of the colour by value (-9999 none)
    float scale;     // size factor of text, markers, symbols and offsets
    float base;      // contour base of the colour by value
    float min;       // items whose value lies below min or above max are not
    float max;       //   drawn (-9999 no limit)
    int type;        // plot type code named by a plot format
    char symbol[40]; // weather symbol file to load (empty: none)
    char text[10];   // fixed text drawn in place of every item (empty: none)
    char format[60]; // number format (empty: "%1.0f", or "%d" for whole numbers)
    int bar;         // a bar is drawn down or up to this y value (-9999 none)
    int marker;      // marker drawn for every item: 0 none, 1001 sky cover circle, else a marker type
    int hor;         // text alignment: 1 left, 2 centre, 3 right
    int vert;        //   1 top, 2 cap, 3 half, 4 base, 5 bottom
    float x;         // offset of the drawing point as fractions of the map height
    float y;
    int line; // 1: successive points are joined by lines in place of the items
    int skip; // only every skip-th record is drawn (file plots)
};

// Starts a point plot: attrib (may be null) and scale become the base
// attributes, then the plot_param keywords, the colour table of the contour
// bands (colour fill unless a contour type is set), resource plot_format,
// con_base ('>' v: minimum and base v, '<' v: maximum v, else the base) and
// con_interval apply to them; transformation 2 (the map) is selected. 0; -1
// (nothing set up) when graphics are not open, everything is switched off or
// the plot type is 99.
int RAW_plot_init(const Gattribs *attrib, float scale);
// Draws one item at its position plus the offset by its type: starting from
// the base attributes, with the item's own attributes, the band colour of its
// value and its format tokens (a type a format names replaces the item's
// type; a '%z' format leaves the value text in the item's text). 0; -1 when
// data drawing is switched off, the plot type is 99 or the value lies outside
// the range.
int RAW_plot_data(RAW_data *data);

// Initial values: attributes unset, no interval, scale 1, base 0, no range,
// type 1, no symbol file, text or format, no bar or marker, alignment centre
// and half, no offset, no lines, skip 1. 0.
int RAW_init_attrib(RAW_attribs *attr);
// Applies the plot_param keywords (skip, text, mark, line, ybar, xy= and the
// position words) to the base attributes. 0.
int RAW_plot_param();
// Applies the tokens of a plot format (joined by ':') to attr: number
// formats, plot type words, position words and the keys xy=, rs=, co=, fm=,
// hi=, sc=, wi=, fo=, te=, tx=, ta=, mk=, sf=, wf=, mn=, mx=, sk=; other
// tokens are ignored. The last plot type named (2 after a number format), 0
// when none.
int RAW_parse_format(RAW_attribs *attr, const char *format);
// Hands attr to the drawing layer: colour from resource color_data (default
// "green") when unset, text height 0.018 of the map height times the scale
// (times a set height), alignment, line, marker and fill attributes; loads
// the symbol file it names. 0.
int RAW_set_attribs(RAW_attribs *attr);
// Merges the set fields into the current attributes. 0.
int RAW_set_attr(const Gattribs *attrib);
// The item's value as text with the current format, into str (size bytes):
// the kinds data, value, text, int, mark, cloud and symbol as drawn, the wind
// kinds as "direction-speed"; an empty text for a missing value and for
// other kinds. 0.
int RAW_data_to_string(char *str, std::size_t size, const RAW_data *data);
// Clears the item (RAW_data_init) and fills it; format and data may be null.
// Returns data.
RAW_data *RAW_set(RAW_data *data, float x, float y, int type, const char *format, const char *str, float val1,
                  float val2);
// Prints position, type, format, text and value through MESS_print. 0.
int RAW_print(M_type kind, const RAW_data *data);

// The base interval, range and marker of the plot.
int RAW_set_intrvl(float value);
float RAW_get_intrvl();
int RAW_set_range(float max, float min);
int RAW_get_range(float *max, float *min);
int RAW_set_marker(int mark);
// The current scale, offsets and format; they last until the next
// RAW_plot_data, which starts again from the base attributes.
int RAW_set_scale(float value);
float RAW_get_scale();
int RAW_set_off(float xoff, float yoff);
int RAW_set_format(const char *text);
const char *RAW_get_format();
