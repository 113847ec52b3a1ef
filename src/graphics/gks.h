// The graphics kernel: its shared types, the workstation types and the
// kernel's own operations (opening and closing the kernel and the one
// workstation, clearing, messages, segments, error reports and the state
// that every primitive asks for). The coordinate systems, the primitives and
// the drivers have their own headers (gks_tran.h, gks_line.h, ...).
#pragma once

#include <cstdint>

// ---- Shared types ------------------------------------------------------------

using Gint = std::int32_t;
using Gfloat = float;
using Gchar = char;

// A point, in world coordinates of the current normalisation transformation
// unless said otherwise.
struct Gpt {
    Gfloat x;
    Gfloat y;
};

// A rectangle: a window in world coordinates or a viewport in normalised
// device coordinates.
struct Glim {
    Gfloat x_min;
    Gfloat x_max;
    Gfloat y_min;
    Gfloat y_max;
};

struct Gint_pt {
    Gint x_coord;
    Gint y_coord;
};

// A normalisation transformation.
struct Gtran {
    Glim win;
    Glim vp;
};

struct Gaspect {
    Gfloat x;
    Gfloat y;
};

// Placement codes: 2 centred, 3 against the high edge.
struct Gcenter {
    Gint x;
    Gint y;
};

// An integer device rectangle.
struct Grectangle {
    Gint x;
    Gint y;
    Gint width;
    Gint height;
};

// The connection string of a workstation (may be null).
using Gconn_id = const Gchar *;
using Gws_type = Gint;

enum Gclear_flag : Gint { GCOND = 0, GALWAYS = 1 };
enum Gcoord_unit : Gint { GMETER_UNIT = 0, GOTHER_UNIT = 1 };

struct Gdsp_size {
    Gcoord_unit coord_units;
    Gpt coord_size;
    Gint_pt ras_size;
};

enum Gtext_prec : Gint { GSTRING_PREC = 0, GCHAR_PREC = 1, GSTROKE_PREC = 2 };

// A colour as red, green and blue fractions 0-1.
struct Gcolr_rep {
    Gfloat red;
    Gfloat green;
    Gfloat blue;
};

// Interior styles of fill areas.
enum Gfill_int_style : Gint { GHOLLOW = 0, GSOLID = 1, GPAT = 2, GHATCH = 3 };

// Workstation types; the workstation identifier is always 1.
inline constexpr Gws_type GWS_NONE = 0; // not chosen yet
inline constexpr Gws_type GWS_WIN = 1;  // own X window
inline constexpr Gws_type GWS_META = 3; // text metafile or CGM
inline constexpr Gws_type GWS_PS = 4;   // PostScript or EPS file
inline constexpr Gws_type GWS_HPGL = 5; // HP-GL/2 file
inline constexpr Gws_type GWS_PIX = 6;  // another program's X window

// ---- Kernel and workstation ----------------------------------------------------

// Chooses the error stream: the file err_f (created empty) or, when err_f is
// null, standard error. 1 when no stream could be had, else 0.
Gint gopen_gks(const Gchar *err_f, Gint mem);
// Closes a named error stream and forgets it; standard error stays. 0.
Gint gclose_gks();
Gint gemergency_close_gks();

// Opens the one workstation of type ws_type from the connection string
// (output name or display, then options). 0, or -1 after a message.
Gint gopen_ws(Gint ws_id, Gconn_id conn_id, Gws_type ws_type);
// Closes it, writing the file's trailer. -1 when none is open or the output
// could not be completed (the workstation is closed all the same), else 0.
Gint gclose_ws(Gint ws_id);
Gint gactivate_ws(Gint ws_id);
Gint gdeactivate_ws(Gint ws_id);
// Clears the own window; other devices are left as they are. 0.
Gint gclear_ws(Gint ws_id, Gclear_flag clear_flag);
// A message into the drawing (a metafile record, a PostScript comment). 0.
Gint gmessage(Gint ws_id, const Gchar *message);
// Segment markers: -1 on a metafile (after its record), else 0.
Gint gcreate_seg(Gint seg_name);
Gint gclose_seg(Gint seg_name);
Gint gdel_seg(Gint seg_name);

// 1 while a workstation is open, else 0.
Gint gchk_graphics();
// The check every primitive and setter makes first: 1 while a workstation is
// open, else 0 after reporting "GKS not opened" under the operation's name.
Gint gcheck_open(const char *func);
// Reports "func: message" in the warn kind while an error stream exists. 0.
[[gnu::format(printf, 2, 3)]] Gint gerr_printf(const char *func, const char *mess, ...);

// 1 when the open (or last opened) workstation is of that type, else 0.
Gint gtype_is_WIN();
Gint gtype_is_PIX();
Gint gtype_is_WIN_PIX();
Gint gtype_is_PS();
Gint gtype_is_HPGL();
Gint gtype_is_META();

Gint gget_ws_id();
Gint gset_win_type(Gint val);
Gint gget_win_type();
Gint gset_pix_mode(Gint mode);
// Presets the geometry of the next open (at most 39 characters kept). 1.
Gint gset_geometry(const Gchar *geom);
// Sets the device size and re-derives the device mapping, keeping every
// transformation. 0.
Gint gset_win_size(Gint width, Gint height);
Gint gget_win_size(Gint *width, Gint *height);
Gint gget_root_size(Gint *width, Gint *height);
Gint gget_win_offset(Gint *x, Gint *y);
Gint gset_xoff(Gint x, Gint y);
Gint gget_window_width();
Gint gget_window_height();
Gint gget_win_depth();
