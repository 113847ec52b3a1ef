// Normalisation transformations, the workstation window and viewport, the
// conversions between world, normalised device (NDC), X pixel and print
// coordinates, and the clip region that follows the current viewport.
#pragma once

#include <cstdint>

#include "graphics/gks.h"

// A rectangle with its extents (x_ext = x_max - x_min, y_ext = y_max - y_min);
// note the field order, unlike Glim's.
struct Gcoords {
    float x_min;
    float y_min;
    float x_max;
    float y_max;
    float x_ext;
    float y_ext;
};

// A pair of scale factors.
struct Gtransform {
    float x;
    float y;
};

// A pixel rectangle laid out as Xlib's XRectangle (16-bit origin, 16-bit
// unsigned size), so that X code can hand it to Xlib as it is.
struct Gxrect {
    std::int16_t x;
    std::int16_t y;
    std::uint16_t width;
    std::uint16_t height;
};

// Resets for a device kind: 0 X window at open, 1 X window after a resize,
// 2 PostScript, 3 HP-GL, 4 metafile, 10 device size changed only (keeps
// every transformation). 0.
int ginit_tran(int type);
// Keeps the transformations (windows, viewports, the selection and the
// workstation window and viewport) aside, and puts them back. 0.
int gsave_tran();
int grestore_tran();

// Workstation window (NDC) and viewport (device units); 0, or -1 after a
// report for a rectangle of zero extent (the previous stays).
Gint gset_ws_win(Gint ws_id, const Glim *ws_win_lim);
Gint gset_ws_vp(Gint ws_id, const Glim *ws_vp_lim);
// Makes a transformation 0-5 current; 0, or -1 after a report.
Gint gsel_norm_tran(Gint tran_num);
// Window (world) and viewport (NDC) of a transformation 0-5; 0, or -1 after a
// report for another number or a rectangle of zero extent.
Gint gset_win(Gint tran_num, const Glim *win_lim);
Gint gset_vp(Gint tran_num, const Glim *vp_lim);
// Window and viewport of a transformation; 0, or -1 (nothing set) for a
// number outside 0-5.
Gint ginq_norm_tran(Gint norm_tran, Gint *err_ind, Gtran *tran);
Gint ginq_cur_norm_tran_num(Gint *err_ind, Gint *norm_tran);
Gint ginq_disp_space_size(Gws_type ws_type, Gint *err_ind, Gdsp_size *dsp_size);
// 1 unless the bounding box of the points lies wholly outside the current
// window (touching counts as inside), else 0.
Gint gpts_in_win(Gint num_pt, const Gpt *array_pt);

// World to NDC.
float xW_NDC(float x);
float yW_NDC(float y);
// World to X pixels (rows grow downwards), clamped to -30000..30000.
float xW_p(float x);
float yW_p(float y);
// X pixels to world.
float xp_W(float x);
float yp_W(float y);
// World to print units (y upwards), clamped to -100000..100000.
float xW_ps(float x);
float yW_ps(float y);
float xNDC_p(float x);
float yNDC_p(float y);
float xNDC_ps(float x);
float yNDC_ps(float y);
// World coordinate of transformation t1 to that of t2.
float xW_trans(float x, int t1, int t2);
float yW_trans(float y, int t1, int t2);

// The X clip rectangle of the current viewport. 0.
int gget_xviewport(Gxrect *clip_rect);
// The current viewport in device units (unchanged on a metafile). 0.
int gget_gviewport(Grectangle *clip_rect);
// Lists the current and the first four windows on standard output. 0.
int gprint_win();
int greset_clip();
