// The GPH drawing layer: how the plotting code opens, lays out, draws on and
// closes the graphics: the device from the resources (or asked for), the
// display in normalised device coordinates, the plot panel of a fixed
// aspect, attribute bundles, simple shapes and formatted text.
#pragma once

#include <cstddef>

#include "graphics/gks.h"
#include "graphics/zeqgks.h"

// Opens kernel and workstation from the resources (device, draw, colour
// table, window names) and lays out the display. 0; a failed open ends the
// program with status 4.
int GPH_setup(Gint *ws_id, Gws_type *ws_type, float asp_ratio, Glim *offset);
// Opens kernel and workstation, asking "Display (D) or Postscript (P): "
// when *ws_type is 0. 0; a failed open ends the program with status 4.
int GPH_begin(Gint *ws_id, Gconn_id conn_id, Gws_type *ws_type);
// Closes everything and gives the device flag back the type GPH_begin was
// given. 0; -1 when no workstation was open or its output could not be
// completed (a print file that could not be written to its end).
int GPH_end(Gint ws_id);
// Clears the display and lays it out again: the whole display as
// transformation 1, the panel, the colour table, the default font. 0.
int GPH_reset(Gint *ws_id, Gws_type *ws_type, float asp_ratio, Glim *offset);
// Lays out the panel (transformations 2 and 3) inside the margins of
// *offset (fractions of the plot area) at the aspect asp_ratio (0: the plot
// area's own) and writes the panel viewport back into *offset. 0.
int GPH_panel(Gint *ws_id, Gws_type *ws_type, float asp_ratio, Glim *offset);
// The plot area as fractions of the display, for the next GPH_panel. 0.
int GPH_set_view_size(float sx, float sy, float ox, float oy);
int GPH_get_view_size(Glim *limit);
float GPH_get_vert_win_size();
// Asks for the device when *ws_type is 0: 4 for an answer beginning with P
// or p, else 1. 0.
int GPH_device_prompt(int *ws_type);
// Splits "device,connection": the connection (up to white space) into
// conn_id (size bytes); the workstation type of the device word.
int gdevice_setup(const char *str, char *conn_id, std::size_t size);
// The display's extent in normalised device coordinates: 1 on its longer
// side. 0.
int ginq_maxview(Gws_type ws_type, Gfloat *xvp, Gfloat *yvp);
// The largest box of aspect asp inside vin, placed by center (2 centred, 3
// against the high edge). 0.
int gset_aspect(const Glim *vin, Glim *vout, Gaspect asp, Gcenter center);
// Brings the window up to date and, on the own window, holds it for
// interaction until the user ends input. 0.
int GPH_hold(Gint ws_id);
void GPH_trans(int trans);
int GPH_view(int tran, const Glim *view);
int GPH_win(int tran, const Glim *win);
int GPH_get_view(int tran, Glim *view);
int GPH_get_win(int tran, Glim *win);
int GPH_print_view(const Glim *view);
// Attribute bundles (null: the defaults); fields at -9999 are left alone.
int GPH_line_attr(const Gattribs *attrib);
int GPH_fill_attr(const Gattribs *attrib);
int GPH_mark_attr(const Gattribs *attrib, float scale);
// -1 for a null bundle (after setting the defaults), else 0.
int GPH_text_attr(const Gattribs *attrib, float scale);
int GPH_set_color(int ind, float red, float grn, float blu);
// Selects a font by name or number (null: the default font name).
int GPH_text_font(const char *str);
// The default font name of GPH_text_font(null) (at most 19 characters). 0.
int GPH_set_def_font(const char *str);
int GPH_text_align(int x, int y);
int GPH_get_text_align(int *x, int *y);
// Turns text by rot degrees anticlockwise; the result of gset_char_up_vec.
int GPH_text_rotate(float rot);
int GPH_line(Gfloat x1, Gfloat y1, Gfloat x2, Gfloat y2);
int GPH_mark(Gfloat x1, Gfloat y1);
int GPH_border(const Glim *limit);
int GPH_rect(Gfloat x1, Gfloat y1, Gfloat x2, Gfloat y2);
int GPH_frect(Gfloat x1, Gfloat y1, Gfloat x2, Gfloat y2);
int GPH_circle(float x, float y, float rad);
int GPH_fcircle(float x, float y, float rad);
int GPH_pprint(const Gpt *pt, const char *str);
// Formatted text, cut at 59 characters (GPH_pprintf) or 99 (GPH_printf).
[[gnu::format(printf, 2, 3)]] int GPH_pprintf(const Gpt *pt, const char *format, ...);
[[gnu::format(printf, 3, 4)]] int GPH_printf(Gfloat x1, Gfloat y1, const char *format, ...);
// The program name and window title from the resources name and title. 0.
int GPH_set_win_title();
